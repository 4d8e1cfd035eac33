#pragma once
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

// Every call that loads a library, creates a window, runs a dialog or reaches
// a common-controls or common-dialog function goes through one of these, so
// that the module's own manifest (Common-Controls 6) governs what it creates.
// Each takes the arguments of the function it wraps and returns its result,
// with the thread's last error as the call left it.
HMODULE ContextLoadLibraryA(LPCSTR fileName);
HMODULE ContextLoadLibraryExA(LPCSTR fileName, HANDLE file, DWORD flags);
BOOL    ContextInitCommonControlsEx(const INITCOMMONCONTROLSEX* init);
INT_PTR ContextDialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner,
                               DLGPROC dialogProc, LPARAM initParam);
HWND    ContextCreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style,
                               int x, int y, int width, int height, HWND parent, HMENU menu,
                               HINSTANCE instance, LPVOID param);
BOOL    ContextTrackMouseEvent(LPTRACKMOUSEEVENT track);
BOOL    ContextGetSaveFileNameA(LPOPENFILENAMEA ofn);
HWND    ContextFindTextA(LPFINDREPLACEA record);

// How a library is reached: by module handle of a loaded library (Kernel32)
// or by loading it (Comctl32, Comdlg32); narrow forms on 9x, wide otherwise.
struct LibraryDescriptor {
    HMODULE (WINAPI* narrowFunction)(LPCSTR);
    HMODULE (WINAPI* wideFunction)(LPCWSTR);
    LPCSTR narrowName;
    LPCWSTR wideName;
};

extern const LibraryDescriptor g_kernel32Library;
extern const LibraryDescriptor g_comctl32Library;
extern const LibraryDescriptor g_comdlg32Library;

// The module's activation context and what was looked up to use it. Plain
// global state: it is first set up during process attach, under the loader's
// lock, and never released.
struct ModuleContextState {
    HANDLE context;             // INVALID_HANDLE_VALUE until set up; NULL: process default
    bool unavailable;           // the system has no activation contexts
    FARPROC activateActCtx;
    FARPROC deactivateActCtx;
    FARPROC queryActCtxW;
    FARPROC findActCtxSectionStringW;
    FARPROC createActCtxW;
    HMODULE kernel32;
    HMODULE comctl32;
    HMODULE comdlg32;
    FARPROC initCommonControlsEx;
    FARPROC trackMouseEvent;
    FARPROC getSaveFileNameA;
    FARPROC findTextA;
    bool unicodeLayerProbed;
    HMODULE unicows;
};

extern ModuleContextState g_moduleContext;

class ModuleContext {
public:
    // Makes the module's context active on this thread (setting it up on
    // first use). True with cookie 0 when the system has no contexts.
    static bool Activate(ULONG_PTR& cookie);
    static void Deactivate(ULONG_PTR cookie);
    // The address of a function of a library, loading or finding the library
    // on first use; null (with the system's last error) when there is none.
    static FARPROC ResolveFunction(const LibraryDescriptor& library, HMODULE& handle, LPCSTR name);
};
