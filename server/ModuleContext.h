#pragma once
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

// Every call that loads a library, creates a window, runs a dialog or reaches
// a common-controls or common-dialog function goes through one of these, so
// that the module's own manifest (Common-Controls 6) governs what it creates.
// Each takes the arguments of the function it wraps and returns its result.
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
