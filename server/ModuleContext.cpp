#include "server/ModuleContext.h"

const LibraryDescriptor g_kernel32Library = { GetModuleHandleA, GetModuleHandleW, "Kernel32.dll", L"Kernel32.dll" };
const LibraryDescriptor g_comctl32Library = { LoadLibraryA, LoadLibraryW, "Comctl32.dll", L"Comctl32.dll" };
const LibraryDescriptor g_comdlg32Library = { LoadLibraryA, LoadLibraryW, "Comdlg32.dll", L"Comdlg32.dll" };

ModuleContextState g_moduleContext = {
    INVALID_HANDLE_VALUE, false,
    nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr,
    false, nullptr,
};

namespace {

typedef BOOL (WINAPI* ActivateActCtxFunction)(HANDLE, ULONG_PTR*);
typedef BOOL (WINAPI* DeactivateActCtxFunction)(DWORD, ULONG_PTR);
typedef BOOL (WINAPI* QueryActCtxWFunction)(DWORD, HANDLE, PVOID, ULONG, PVOID, SIZE_T, SIZE_T*);
typedef BOOL (WINAPI* FindActCtxSectionStringWFunction)(DWORD, const GUID*, ULONG, LPCWSTR,
                                                         PACTCTX_SECTION_KEYED_DATA);
typedef HANDLE (WINAPI* CreateActCtxWFunction)(PCACTCTXW);
typedef BOOL (WINAPI* GetModuleHandleExWFunction)(DWORD, LPCWSTR, HMODULE*);
typedef BOOL (WINAPI* InitCommonControlsExFunction)(const INITCOMMONCONTROLSEX*);
typedef BOOL (WINAPI* TrackMouseEventFunction)(LPTRACKMOUSEEVENT);
typedef BOOL (WINAPI* GetSaveFileNameAFunction)(LPOPENFILENAMEA);
typedef HWND (WINAPI* FindTextAFunction)(LPFINDREPLACEA);

const DWORD kWindows9x = 0x80000000;
const DWORD kModuleFromAddress = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                 GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
const size_t kPathBufferLength = 262;
const DWORD kLongestPath = 260;

template <class Function>
Function FunctionCast(FARPROC address)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}

bool IsWindows9x() { return (GetVersion() & kWindows9x) != 0; }

template <class Function>
Function KernelFunction(FARPROC& cache, LPCSTR name)
{
    if (!cache) cache = ModuleContext::ResolveFunction(g_kernel32Library, g_moduleContext.kernel32, name);
    return FunctionCast<Function>(cache);
}

// Resource 3 is never present, so on a system that built no context for the
// module this ends with the process default (NULL).
bool CreateContextFromModuleFile(HANDLE& context)
{
    FARPROC getModuleHandleExAddress = nullptr;
    auto getModuleHandleEx = KernelFunction<GetModuleHandleExWFunction>(getModuleHandleExAddress,
                                                                        "GetModuleHandleExW");
    if (!getModuleHandleEx) return false;
    HMODULE module = nullptr;
    if (!getModuleHandleEx(kModuleFromAddress, reinterpret_cast<LPCWSTR>(&g_moduleContext.context), &module))
        return false;

    WCHAR path[kPathBufferLength] = {};
    DWORD length = GetModuleFileNameW(module, path, kPathBufferLength - 1);
    if (length == 0) return false;
    if (length > kLongestPath) {
        SetLastError(ERROR_BUFFER_OVERFLOW);
        return false;
    }

    auto create = KernelFunction<CreateActCtxWFunction>(g_moduleContext.createActCtxW, "CreateActCtxW");
    HANDLE created = INVALID_HANDLE_VALUE;
    if (create) {
        ACTCTXW request = {};
        request.cbSize = sizeof(request);
        request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID | ACTCTX_FLAG_HMODULE_VALID;
        request.lpSource = path;
        request.lpResourceName = MAKEINTRESOURCEW(3);
        request.hModule = module;
        created = create(&request);
    }
    if (created != INVALID_HANDLE_VALUE) {
        context = created;
        return true;
    }
    DWORD error = GetLastError();
    if (error >= ERROR_RESOURCE_DATA_NOT_FOUND && error <= ERROR_RESOURCE_LANG_NOT_FOUND) {
        context = nullptr;
        return true;
    }
    return false;
}

// Loading the redirected Comctl32 while the context is active puts the
// version that the manifest names, and its window classes, in place before
// the module makes any window.
void LoadRedirectedCommonControls()
{
    auto activate = KernelFunction<ActivateActCtxFunction>(g_moduleContext.activateActCtx, "ActivateActCtx");
    auto deactivate = KernelFunction<DeactivateActCtxFunction>(g_moduleContext.deactivateActCtx,
                                                               "DeactivateActCtx");
    if (!activate || !deactivate) return;
    ULONG_PTR cookie = 0;
    if (!activate(g_moduleContext.context, &cookie)) return;
    try {
        auto find = KernelFunction<FindActCtxSectionStringWFunction>(g_moduleContext.findActCtxSectionStringW,
                                                                     "FindActCtxSectionStringW");
        ACTCTX_SECTION_KEYED_DATA found = {};
        found.cbSize = sizeof(found);    // the layout with the assembly metadata: 64 bytes, 112 on x86-64
        if (find && find(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, L"Comctl32.dll", &found))
            LoadLibraryW(L"Comctl32.dll");
    } catch (...) {
    }
    deactivate(0, cookie);
}

// Runs again at each activation until it has succeeded once.
bool InitialiseContext()
{
    if (g_moduleContext.unavailable || g_moduleContext.context != INVALID_HANDLE_VALUE) return true;

    auto query = KernelFunction<QueryActCtxWFunction>(g_moduleContext.queryActCtxW, "QueryActCtxW");
    if (!query) return false;
    // The context that the loader built for this module from its manifest:
    // found from an address inside the module.
    ACTIVATION_CONTEXT_BASIC_INFORMATION information = {};
    if (!query(QUERY_ACTCTX_FLAG_ACTCTX_IS_ADDRESS | QUERY_ACTCTX_FLAG_NO_ADDREF, &g_moduleContext.context,
               nullptr, ActivationContextBasicInformation, &information, sizeof(information), nullptr))
        return false;

    HANDLE context = information.hActCtx;
    if (!context && !CreateContextFromModuleFile(context)) return false;
    g_moduleContext.context = context;
    LoadRedirectedCommonControls();
    return true;
}

// Holds the module's context active for the length of one wrapped call and
// hands the call's last error back across the deactivation.
class ContextScope {
public:
    ContextScope()
    {
        m_entered = ModuleContext::Activate(m_cookie);
        m_activated = m_entered && !g_moduleContext.unavailable;
    }
    ~ContextScope()
    {
        if (!m_activated) return;
        DWORD error = GetLastError();
        ModuleContext::Deactivate(m_cookie);
        SetLastError(error);
    }
    ContextScope(const ContextScope&) = delete;
    ContextScope& operator=(const ContextScope&) = delete;

    bool Entered() const { return m_entered; }

private:
    ULONG_PTR m_cookie = 0;
    bool m_entered = false;
    bool m_activated = false;
};

// Comctl32 and Comdlg32 are loaded on their first lookup; with the context
// active that load picks the version that the manifest names.
template <class Function>
Function ContextFunction(FARPROC& cache, const LibraryDescriptor& library, HMODULE& handle, LPCSTR name)
{
    if (!cache) {
        ContextScope scope;
        if (scope.Entered()) cache = ModuleContext::ResolveFunction(library, handle, name);
    }
    return FunctionCast<Function>(cache);
}

// Calls a library function that the module looks up on first use, inside the
// module's context; FALSE (or a null window) when the context or the
// function cannot be had.
template <class Function, class Argument>
auto CallInContext(FARPROC& cache, const LibraryDescriptor& library, HMODULE& handle, LPCSTR name,
                   Argument argument) -> decltype(FunctionCast<Function>(nullptr)(argument))
{
    typedef decltype(FunctionCast<Function>(nullptr)(argument)) Result;
    ContextScope scope;
    if (!scope.Entered()) return Result();
    auto function = ContextFunction<Function>(cache, library, handle, name);
    if (!function) return Result();
    return function(argument);
}

} // namespace

FARPROC ModuleContext::ResolveFunction(const LibraryDescriptor& library, HMODULE& handle, LPCSTR name)
{
    bool windows9x = IsWindows9x();
    if (!g_moduleContext.unicodeLayerProbed) {
        g_moduleContext.unicodeLayerProbed = true;
        if (windows9x) {
            // A wide call makes the Unicode layer, if the process has one, load itself.
            GetFileAttributesW(L"???.???");
            g_moduleContext.unicows = GetModuleHandleA("Unicows.dll");
        }
    }
    if (g_moduleContext.unicows) {
        if (FARPROC address = GetProcAddress(g_moduleContext.unicows, name)) return address;
    }
    if (!handle) {
        handle = windows9x ? library.narrowFunction(library.narrowName) : library.wideFunction(library.wideName);
        if (!handle) return nullptr;
    }
    return GetProcAddress(handle, name);
}

bool ModuleContext::Activate(ULONG_PTR& cookie)
{
    cookie = 0;
    if (g_moduleContext.unavailable) return true;
    if (InitialiseContext()) {
        auto activate = KernelFunction<ActivateActCtxFunction>(g_moduleContext.activateActCtx, "ActivateActCtx");
        if (activate && activate(g_moduleContext.context, &cookie)) return true;
    }
    DWORD error = GetLastError();
    if (error == ERROR_PROC_NOT_FOUND || error == ERROR_CALL_NOT_IMPLEMENTED) {
        g_moduleContext.unavailable = true;
        cookie = 0;
        return true;
    }
    return false;
}

void ModuleContext::Deactivate(ULONG_PTR cookie)
{
    auto deactivate = KernelFunction<DeactivateActCtxFunction>(g_moduleContext.deactivateActCtx,
                                                               "DeactivateActCtx");
    if (deactivate) deactivate(0, cookie);
}

HMODULE ContextLoadLibraryA(LPCSTR fileName)
{
    ContextScope scope;
    if (!scope.Entered()) return nullptr;
    return LoadLibraryA(fileName);
}

HMODULE ContextLoadLibraryExA(LPCSTR fileName, HANDLE file, DWORD flags)
{
    ContextScope scope;
    if (!scope.Entered()) return nullptr;
    return LoadLibraryExA(fileName, file, flags);
}

BOOL ContextInitCommonControlsEx(const INITCOMMONCONTROLSEX* init)
{
    return CallInContext<InitCommonControlsExFunction>(g_moduleContext.initCommonControlsEx, g_comctl32Library,
                                                       g_moduleContext.comctl32, "InitCommonControlsEx", init);
}

INT_PTR ContextDialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner,
                               DLGPROC dialogProc, LPARAM initParam)
{
    ContextScope scope;
    if (!scope.Entered()) return -1;
    return DialogBoxParamA(instance, templateName, owner, dialogProc, initParam);
}

HWND ContextCreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style,
                            int x, int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param)
{
    ContextScope scope;
    if (!scope.Entered()) return nullptr;
    return CreateWindowExA(exStyle, className, windowName, style, x, y, width, height, parent, menu,
                           instance, param);
}

BOOL ContextTrackMouseEvent(LPTRACKMOUSEEVENT track)
{
    return CallInContext<TrackMouseEventFunction>(g_moduleContext.trackMouseEvent, g_comctl32Library,
                                                  g_moduleContext.comctl32, "_TrackMouseEvent", track);
}

BOOL ContextGetSaveFileNameA(LPOPENFILENAMEA ofn)
{
    return CallInContext<GetSaveFileNameAFunction>(g_moduleContext.getSaveFileNameA, g_comdlg32Library,
                                                   g_moduleContext.comdlg32, "GetSaveFileNameA", ofn);
}

// The Find dialog is modeless: the context governs its creation here, and
// the dialog keeps the classes it was made with.
HWND ContextFindTextA(LPFINDREPLACEA record)
{
    return CallInContext<FindTextAFunction>(g_moduleContext.findTextA, g_comdlg32Library, g_moduleContext.comdlg32,
                                            "FindTextA", record);
}
