#pragma once
#include <windows.h>
#include <objbase.h>
#include "server/ComObject.h"

// Creates the class object that serves an instance creator.
typedef HRESULT (*FactoryCreator)(InstanceCreator creator, REFIID iid, void** out);

// One creatable class of the module. The table drives class-object lookup,
// registration and start-up; it ends with a row whose clsid is null. The
// module's own table stands beside its exports (module/DllExports.cpp).
struct ClassEntry {
    const CLSID* clsid;
    HRESULT (*updateRegistry)(BOOL reg);
    FactoryCreator createFactory;
    InstanceCreator createInstance;
    IUnknown* factory;                  // created on first request, then cached
    DWORD cookie;                       // never used: the module is in-process only
    const char* (*objectDescription)();
    const void* (*categoryMap)();
    void (*startStop)(BOOL start);
};

// What the exports do, over a class table.
HRESULT ClassTableGetClassObject(ClassEntry* table, REFCLSID clsid, REFIID iid, void** out);
HRESULT ClassTableRegister(ClassEntry* table);
HRESULT ClassTableUnregister(ClassEntry* table);
void ClassTableStart(ClassEntry* table);
// Releases the cached factories and stops the classes.
void ClassTableStop(ClassEntry* table);
