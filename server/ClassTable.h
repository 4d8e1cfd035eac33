#pragma once
#include <windows.h>
#include <objbase.h>

// Creates an object of a class, plain when outer is null, aggregated otherwise.
typedef HRESULT (*InstanceCreator)(IUnknown* outer, REFIID iid, void** out);
typedef HRESULT (*FactoryCreator)(InstanceCreator creator, REFIID iid, void** out);

// One creatable class of the module. The table drives class-object lookup,
// registration and start-up; it ends with a row whose clsid is null.
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

extern ClassEntry g_classTable[];

// What the exports do, over the class table.
HRESULT ClassTableGetClassObject(REFCLSID clsid, REFIID iid, void** out);
HRESULT ClassTableRegister();
HRESULT ClassTableUnregister();
void ClassTableStart();
// Releases the cached factories and stops the classes.
void ClassTableStop();
