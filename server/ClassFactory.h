#pragma once
#include <windows.h>
#include <objbase.h>
#include "server/ComObject.h"

// The class object of one class. All client references together hold one
// module lock: the class table's own cached reference keeps the count at 1,
// so a factory that only the module holds does not keep the module loaded.
class CClassFactory final : public IClassFactory {
public:
    // Creates a factory serving creator and asks it for iid.
    static HRESULT Create(InstanceCreator creator, REFIID iid, void** out);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IClassFactory
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    explicit CClassFactory(InstanceCreator creator);
    ~CClassFactory();
    CClassFactory(const CClassFactory&) = delete;
    CClassFactory& operator=(const CClassFactory&) = delete;

    static const InterfaceEntry s_interfaces[];

    volatile LONG m_count;
    CRITICAL_SECTION m_lock;
    InstanceCreator m_creator;
};
