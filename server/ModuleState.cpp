#include "server/ModuleState.h"

ModuleState g_module;

void ModuleStartup(HINSTANCE instance)
{
    g_module.instance = instance;
    g_module.resourceInstance = instance;
    g_module.lockCount = 0;
    InitializeCriticalSection(&g_module.classTableLock);
    InitializeCriticalSection(&g_module.windowCreationLock);
    InitializeCriticalSection(&g_module.typeInfoLock);
    g_module.windowsBeingCreated = nullptr;
}

void ModuleShutdown()
{
    DeleteCriticalSection(&g_module.classTableLock);
    DeleteCriticalSection(&g_module.windowCreationLock);
    DeleteCriticalSection(&g_module.typeInfoLock);
}

LONG ModuleLock() { return InterlockedIncrement(&g_module.lockCount); }
LONG ModuleUnlock() { return InterlockedDecrement(&g_module.lockCount); }
LONG ModuleLockCount() { return InterlockedCompareExchange(&g_module.lockCount, 0, 0); }

void AddCreateWindowEntry(CreateWindowEntry* entry, CWindowObject* object)
{
    entry->object = object;
    entry->threadId = GetCurrentThreadId();
    EnterCriticalSection(&g_module.windowCreationLock);
    entry->next = g_module.windowsBeingCreated;
    g_module.windowsBeingCreated = entry;
    LeaveCriticalSection(&g_module.windowCreationLock);
}

CWindowObject* TakeCreateWindowEntry()
{
    CWindowObject* object = nullptr;
    DWORD thread = GetCurrentThreadId();
    EnterCriticalSection(&g_module.windowCreationLock);
    for (CreateWindowEntry** link = &g_module.windowsBeingCreated; *link; link = &(*link)->next) {
        if ((*link)->threadId == thread) {
            object = (*link)->object;
            *link = (*link)->next;
            break;
        }
    }
    LeaveCriticalSection(&g_module.windowCreationLock);
    return object;
}

bool RemoveCreateWindowEntry(CWindowObject* object)
{
    bool removed = false;
    EnterCriticalSection(&g_module.windowCreationLock);
    for (CreateWindowEntry** link = &g_module.windowsBeingCreated; *link; link = &(*link)->next) {
        if ((*link)->object == object) {
            *link = (*link)->next;
            removed = true;
            break;
        }
    }
    LeaveCriticalSection(&g_module.windowCreationLock);
    return removed;
}
