#include <windows.h>
#include <objbase.h>
#include "server/ClassTable.h"
#include "server/ModuleLifetime.h"
#include "server/ModuleState.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        ModuleAttach(instance);
        ClassTableStart();
    } else if (reason == DLL_PROCESS_DETACH) {
        ClassTableStop();
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
    return ClassTableGetClassObject(clsid, iid, out);
}

STDAPI DllRegisterServer()
{
    return ClassTableRegister();
}

STDAPI DllUnregisterServer()
{
    return ClassTableUnregister();
}
