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
    g_module.richEdit = nullptr;
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
    EnterCriticalSection(&g_module.windowCreationLock);
    // An entry put in twice would link the list into a ring.
    for (CreateWindowEntry** link = &g_module.windowsBeingCreated; *link; link = &(*link)->next) {
        if (*link == entry) {
            *link = entry->next;
            break;
        }
    }
    entry->object = object;
    entry->threadId = GetCurrentThreadId();
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
            CreateWindowEntry* entry = *link;
            object = entry->object;
            *link = entry->next;
            entry->object = nullptr;
            entry->next = nullptr;
            break;
        }
    }
    LeaveCriticalSection(&g_module.windowCreationLock);
    return object;
}

bool RemoveCreateWindowEntry(CWindowObject* object)
{
    bool removed = false;
    if (!object) return false;
    EnterCriticalSection(&g_module.windowCreationLock);
    for (CreateWindowEntry** link = &g_module.windowsBeingCreated; *link; link = &(*link)->next) {
        if ((*link)->object == object) {
            CreateWindowEntry* entry = *link;
            *link = entry->next;
            entry->object = nullptr;
            entry->next = nullptr;
            removed = true;
            break;
        }
    }
    LeaveCriticalSection(&g_module.windowCreationLock);
    return removed;
}
