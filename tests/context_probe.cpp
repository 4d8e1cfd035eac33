#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>
#include <cstring>
#include "server/ModuleContext.h"
#include "server/ModuleLifetime.h"
#include "server/ModuleState.h"
#include "context_probe.h"

namespace {

BOOL g_dialogButtonIsV6 = FALSE;

DWORD VersionOf(HMODULE module)
{
    typedef HRESULT (CALLBACK* DllGetVersionFunction)(DLLVERSIONINFO*);
    FARPROC address = module ? GetProcAddress(module, "DllGetVersion") : nullptr;
    if (!address) return 0;
    DLLVERSIONINFO info = {};
    info.cbSize = sizeof(info);
    if (FAILED(reinterpret_cast<DllGetVersionFunction>(reinterpret_cast<void*>(address))(&info))) return 0;
    return info.dwMajorVersion * 100 + info.dwMinorVersion;
}

BOOL AnswersIdealSize(HWND button)
{
    SIZE size = {};
    return button && SendMessageA(button, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&size)) && size.cx > 0;
}

INT_PTR CALLBACK ProbeDialogProc(HWND hWnd, UINT message, WPARAM, LPARAM)
{
    if (message != WM_INITDIALOG) return FALSE;
    g_dialogButtonIsV6 = AnswersIdealSize(GetDlgItem(hWnd, IDC_PROBE_BUTTON));
    EndDialog(hWnd, 7);
    return TRUE;
}

} // namespace

extern "C" __declspec(dllexport) void ProbeModuleState(ProbeState* state)
{
    state->context = g_moduleContext.context;
    state->unavailable = g_moduleContext.unavailable;
    state->comctl32Path[0] = '\0';
    if (g_moduleContext.comctl32) GetModuleFileNameA(g_moduleContext.comctl32, state->comctl32Path, MAX_PATH);
    state->comctl32Version = VersionOf(g_moduleContext.comctl32);
}

extern "C" __declspec(dllexport) BOOL ProbeDialogButton(int way, INT_PTR* dialogResult)
{
    g_dialogButtonIsV6 = FALSE;
    LPCSTR templateName = MAKEINTRESOURCEA(IDD_PROBE);
    *dialogResult = way == kThroughContext
        ? ContextDialogBoxParamA(g_module.resourceInstance, templateName, nullptr, ProbeDialogProc, 0)
        : DialogBoxParamA(g_module.resourceInstance, templateName, nullptr, ProbeDialogProc, 0);
    return g_dialogButtonIsV6;
}

extern "C" __declspec(dllexport) BOOL ProbeCreatedButton(int way)
{
    HWND button = way == kThroughContext
        ? ContextCreateWindowExA(0, "Button", "Button", WS_POPUP, 0, 0, 80, 20, nullptr, nullptr,
                                 g_module.instance, nullptr)
        : CreateWindowExA(0, "Button", "Button", WS_POPUP, 0, 0, 80, 20, nullptr, nullptr, g_module.instance,
                          nullptr);
    BOOL isV6 = AnswersIdealSize(button);
    if (button) DestroyWindow(button);
    return isV6;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) ModuleAttach(instance);
    else if (reason == DLL_PROCESS_DETACH) ModuleDetach();
    return TRUE;
}
