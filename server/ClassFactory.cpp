#include "server/ClassFactory.h"
#include <new>
#include "server/ModuleState.h"

const InterfaceEntry CClassFactory::s_interfaces[] = {
    { &IID_IClassFactory, OffsetOf<CClassFactory, IClassFactory>() },
    { nullptr, 0 },
};

CClassFactory::CClassFactory(InstanceCreator creator) : m_count(0), m_creator(creator)
{
    InitializeCriticalSection(&m_lock);
}

CClassFactory::~CClassFactory()
{
    DeleteCriticalSection(&m_lock);
}

HRESULT CClassFactory::Create(InstanceCreator creator, REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    CClassFactory* factory = new (std::nothrow) CClassFactory(creator);
    if (!factory) return E_OUTOFMEMORY;
    HRESULT hr = factory->QueryInterface(iid, out);
    if (FAILED(hr)) delete factory;
    return hr;
}

STDMETHODIMP CClassFactory::QueryInterface(REFIID iid, void** out)
{
    return QueryInterfaceFromTable(this, s_interfaces, iid, out);
}

STDMETHODIMP_(ULONG) CClassFactory::AddRef()
{
    EnterCriticalSection(&m_lock);
    LONG count = InterlockedIncrement(&m_count);
    if (count == 2) ModuleLock();
    LeaveCriticalSection(&m_lock);
    return count;
}

STDMETHODIMP_(ULONG) CClassFactory::Release()
{
    EnterCriticalSection(&m_lock);
    LONG count = InterlockedDecrement(&m_count);
    LeaveCriticalSection(&m_lock);
    if (count == 0) {
        delete this;
    } else if (count == 1) {
        ModuleUnlock();
    }
    return count;
}

STDMETHODIMP CClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer && !IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    return m_creator(outer, iid, out);
}

STDMETHODIMP CClassFactory::LockServer(BOOL lock)
{
    if (lock) {
        ModuleLock();
    } else {
        ModuleUnlock();
    }
    return S_OK;
}
