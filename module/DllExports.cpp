// The top of the module: its one class, named here and nowhere below, and the
// four exports that the browser and the registration tool call.
#include <windows.h>
#include <objbase.h>
#include "capture/ZExtension.h"
#include "resources/resource.h"
#include "server/ClassFactory.h"
#include "server/ClassTable.h"
#include "server/ModuleLifetime.h"
#include "server/ModuleState.h"
#include "server/Registrar.h"

namespace {

HRESULT UpdateZExtensionRegistry(BOOL reg)
{
    return ApplyRegistryScript(IDR_REGISTRY_SCRIPT, reg != FALSE, nullptr);
}

const char* NoDescription() { return nullptr; }
const void* NoCategories() { return nullptr; }
void NoStartStop(BOOL) {}

// The module's one creatable class.
ClassEntry g_classTable[] = {
    { &CLSID_ZExtension, UpdateZExtensionRegistry, CClassFactory::Create, ZExtension::CreateInstance,
      nullptr, 0, NoDescription, NoCategories, NoStartStop },
    { nullptr, nullptr, nullptr, nullptr, nullptr, 0, nullptr, nullptr, nullptr },
};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        ModuleAttach(instance);
        ClassTableStart(g_classTable);
    } else if (reason == DLL_PROCESS_DETACH) {
        ClassTableStop(g_classTable);
        ModuleDetach();
    }
    return TRUE;
}

STDAPI DllCanUnloadNow()
{
    return ModuleLockCount() == 0 ? S_OK : S_FALSE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out)
{
    return ClassTableGetClassObject(g_classTable, clsid, iid, out);
}

STDAPI DllRegisterServer()
{
    return ClassTableRegister(g_classTable);
}

STDAPI DllUnregisterServer()
{
    return ClassTableUnregister(g_classTable);
}
