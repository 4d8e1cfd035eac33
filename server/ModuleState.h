#pragma once
#include <windows.h>

class CWindowObject;

// One entry of the list of windows being created.
struct CreateWindowEntry {
    CWindowObject* object;
    DWORD threadId;
    CreateWindowEntry* next;
};

// The one per-process record of the module.
struct ModuleState {
    HINSTANCE instance;
    HINSTANCE resourceInstance;
    volatile LONG lockCount;
    CRITICAL_SECTION classTableLock;
    CRITICAL_SECTION windowCreationLock;
    CRITICAL_SECTION typeInfoLock;      // created and deleted with the others, never entered
    CreateWindowEntry* windowsBeingCreated;
    HMODULE richEdit;                   // "RICHED32.DLL", loaded for the life of the module
};

extern ModuleState g_module;

// Set up at process attach, torn down at detach: ModuleAttach and
// ModuleDetach (server/ModuleLifetime.h) wrap these with the rest of process
// attach and detach.
void ModuleStartup(HINSTANCE instance);
void ModuleShutdown();

LONG ModuleLock();
LONG ModuleUnlock();
LONG ModuleLockCount();

void AddCreateWindowEntry(CreateWindowEntry* entry, CWindowObject* object);
CWindowObject* TakeCreateWindowEntry();
// Takes off the entry of an object whose window was never created.
bool RemoveCreateWindowEntry(CWindowObject* object);
