#include "server/ClassTable.h"
#include "server/ModuleState.h"

HRESULT ClassTableGetClassObject(ClassEntry* table, REFCLSID clsid, REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    for (ClassEntry* entry = table; entry->clsid; ++entry) {
        if (!entry->createFactory || !IsEqualCLSID(*entry->clsid, clsid)) continue;
        // Double-checked: the common case, a cached factory, takes no lock.
        if (!entry->factory) {
            EnterCriticalSection(&g_module.classTableLock);
            HRESULT hr = S_OK;
            if (!entry->factory) {
                hr = entry->createFactory(entry->createInstance, IID_IUnknown,
                                          reinterpret_cast<void**>(&entry->factory));
            }
            LeaveCriticalSection(&g_module.classTableLock);
            if (FAILED(hr)) return hr;
        }
        if (entry->factory) return entry->factory->QueryInterface(iid, out);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT ClassTableRegister(ClassEntry* table)
{
    for (ClassEntry* entry = table; entry->clsid; ++entry) {
        if (entry->objectDescription() != nullptr) continue;
        HRESULT hr = entry->updateRegistry(TRUE);
        if (FAILED(hr)) return hr;
        // No component categories to register: the category map is empty.
    }
    return S_OK;
}

HRESULT ClassTableUnregister(ClassEntry* table)
{
    for (ClassEntry* entry = table; entry->clsid; ++entry) {
        if (entry->objectDescription() != nullptr) continue;
        entry->updateRegistry(FALSE);
    }
    return S_OK;
}

void ClassTableStart(ClassEntry* table)
{
    for (ClassEntry* entry = table; entry->clsid; ++entry) entry->startStop(TRUE);
}

void ClassTableStop(ClassEntry* table)
{
    for (ClassEntry* entry = table; entry->clsid; ++entry) {
        if (entry->factory) {
            IUnknown* factory = entry->factory;
            entry->factory = nullptr;
            factory->Release();
        }
        entry->startStop(FALSE);
    }
}
