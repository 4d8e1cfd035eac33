#include "server/ClassTable.h"
#include "capture/ZExtension.h"
#include "server/ClassFactory.h"
#include "server/ModuleState.h"
#include "server/Registrar.h"
#include "resources/resource.h"

namespace {

HRESULT UpdateZExtensionRegistry(BOOL reg)
{
    return ApplyRegistryScript(IDR_REGISTRY_SCRIPT, reg != FALSE, nullptr);
}

const char* NoDescription() { return nullptr; }
const void* NoCategories() { return nullptr; }
void NoStartStop(BOOL) {}

}  // namespace

ClassEntry g_classTable[] = {
    { &CLSID_ZExtension, UpdateZExtensionRegistry, CClassFactory::Create, ZExtension::CreateInstance,
      nullptr, 0, NoDescription, NoCategories, NoStartStop },
    { nullptr, nullptr, nullptr, nullptr, nullptr, 0, nullptr, nullptr, nullptr },
};

HRESULT ClassTableGetClassObject(REFCLSID clsid, REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    for (ClassEntry* entry = g_classTable; entry->clsid; ++entry) {
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

HRESULT ClassTableRegister()
{
    for (ClassEntry* entry = g_classTable; entry->clsid; ++entry) {
        if (entry->objectDescription() != nullptr) continue;
        HRESULT hr = entry->updateRegistry(TRUE);
        if (FAILED(hr)) return hr;
        // No component categories to register: the category map is empty.
    }
    return S_OK;
}

HRESULT ClassTableUnregister()
{
    for (ClassEntry* entry = g_classTable; entry->clsid; ++entry) {
        if (entry->objectDescription() != nullptr) continue;
        entry->updateRegistry(FALSE);
    }
    return S_OK;
}

void ClassTableStart()
{
    for (ClassEntry* entry = g_classTable; entry->clsid; ++entry) entry->startStop(TRUE);
}

void ClassTableStop()
{
    for (ClassEntry* entry = g_classTable; entry->clsid; ++entry) {
        if (entry->factory) {
            IUnknown* factory = entry->factory;
            entry->factory = nullptr;
            factory->Release();
        }
        entry->startStop(FALSE);
    }
}
