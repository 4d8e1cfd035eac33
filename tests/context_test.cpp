#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <cderr.h>
#include <gtest/gtest.h>
#include <functional>
#include <string>
#include "server/ModuleContext.h"
#include "server/ModuleState.h"
#include "support/TestSupport.h"
#include "binding_test_resource.h"
#include "context_probe.h"

namespace {

// A library that exists on every system but that nothing here loads on its own.
const char kUnusedLibrary[] = "msimg32.dll";
const char kMissingLibrary[] = "gd-no-such-library.dll";

// What a call leaves: whether it reported failure, and the last error.
struct Outcome {
    bool failed;
    DWORD error;
};

Outcome Observe(const std::function<bool()>& call)
{
    SetLastError(0xDEADBEEF);
    bool failed = call();
    return { failed, GetLastError() };
}

// Keeps the module's context state as it was, whatever a test does to it.
class SavedContextState {
public:
    SavedContextState() : m_saved(g_moduleContext) {}
    ~SavedContextState() { g_moduleContext = m_saved; }

private:
    ModuleContextState m_saved;
};

INT_PTR CALLBACK EndAtOnce(HWND hWnd, UINT message, WPARAM, LPARAM)
{
    if (message != WM_INITDIALOG) return FALSE;
    EndDialog(hWnd, 42);
    return TRUE;
}

BOOL WINAPI FailingQueryActCtxW(DWORD, HANDLE, PVOID, ULONG, PVOID, SIZE_T, SIZE_T*)
{
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

struct FailureCase {
    const char* name;
    std::function<bool()> wrapped;
    std::function<bool()> plain;
};

const FailureCase kFailureCases[] = {
    { "DialogWithMissingTemplate",
      [] { return ContextDialogBoxParamA(g_module.resourceInstance, MAKEINTRESOURCEA(IDD_MISSING), nullptr,
                                         EndAtOnce, 0) == -1; },
      [] { return DialogBoxParamA(g_module.resourceInstance, MAKEINTRESOURCEA(IDD_MISSING), nullptr,
                                  EndAtOnce, 0) == -1; } },
    { "LoadOfMissingLibrary",
      [] { return ContextLoadLibraryA(kMissingLibrary) == nullptr; },
      [] { return LoadLibraryA(kMissingLibrary) == nullptr; } },
    { "LoadAsDataOfMissingLibrary",
      [] { return ContextLoadLibraryExA(kMissingLibrary, nullptr, LOAD_LIBRARY_AS_DATAFILE) == nullptr; },
      [] { return LoadLibraryExA(kMissingLibrary, nullptr, LOAD_LIBRARY_AS_DATAFILE) == nullptr; } },
    { "WindowOfUnknownClass",
      [] { return ContextCreateWindowExA(0, "GdNoSuchClass", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                         g_module.instance, nullptr) == nullptr; },
      [] { return CreateWindowExA(0, "GdNoSuchClass", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  g_module.instance, nullptr) == nullptr; } },
    { "TrackingWithBadSize",
      [] { TRACKMOUSEEVENT track = {}; return !ContextTrackMouseEvent(&track); },
      [] { TRACKMOUSEEVENT track = {}; return !TrackMouseEvent(&track); } },
};

class WrappedFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(WrappedFailure, ReturnsTheFailureWithTheCallsLastError) {
    Outcome plain = Observe(GetParam().plain);
    Outcome wrapped = Observe(GetParam().wrapped);
    ASSERT_TRUE(plain.failed) << "the plain call was expected to fail";
    EXPECT_TRUE(wrapped.failed);
    EXPECT_EQ(plain.error, wrapped.error);
}

INSTANTIATE_TEST_SUITE_P(ContextWrappers, WrappedFailure, testing::ValuesIn(kFailureCases),
                         [](const testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST(ContextWrappers, SaveDialogIsLookedUpOnTheFirstSaveOnly) {
    EXPECT_EQ(nullptr, g_moduleContext.getSaveFileNameA) << "looked up before any Save";
    OPENFILENAMEA bad = {};
    EXPECT_FALSE(ContextGetSaveFileNameA(&bad));
    EXPECT_EQ(static_cast<DWORD>(CDERR_STRUCTSIZE), CommDlgExtendedError());
    ASSERT_NE(nullptr, g_moduleContext.comdlg32);
    EXPECT_EQ(GetProcAddress(g_moduleContext.comdlg32, "GetSaveFileNameA"), g_moduleContext.getSaveFileNameA);
}

TEST(ContextWrappers, SuccessfulCallsReturnTheirResults) {
    EXPECT_EQ(42, ContextDialogBoxParamA(g_module.resourceInstance, MAKEINTRESOURCEA(IDD_BINDING_TEST), nullptr,
                                         EndAtOnce, 0));

    INITCOMMONCONTROLSEX classes = { sizeof(classes), ICC_BAR_CLASSES | ICC_COOL_CLASSES };
    EXPECT_TRUE(ContextInitCommonControlsEx(&classes));

    HWND tooltip = ContextCreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                          g_module.instance, nullptr);
    EXPECT_NE(nullptr, tooltip);
    if (tooltip) DestroyWindow(tooltip);

    ASSERT_EQ(nullptr, GetModuleHandleA(kUnusedLibrary));
    HMODULE library = ContextLoadLibraryA(kUnusedLibrary);
    EXPECT_NE(nullptr, library);
    EXPECT_EQ(library, GetModuleHandleA(kUnusedLibrary));
    if (library) FreeLibrary(library);
}

TEST(ContextWrappers, RichEditLibraryIsLoadedAtAttach) {
    EXPECT_NE(nullptr, g_module.richEdit);
    WNDCLASSA richEdit = {};
    EXPECT_TRUE(GetClassInfoA(nullptr, "RICHEDIT", &richEdit)) << "the viewer's control class is not registered";
}

TEST(ModuleContextSetUp, ModuleWithoutContextOfItsOwnActivatesTheDefault) {
    // A test program carries no manifest of its own: the loader built no
    // context for it, and activation uses the process default.
    SavedContextState saved;
    g_moduleContext.context = INVALID_HANDLE_VALUE;
    ULONG_PTR cookie = 0;
    ASSERT_TRUE(ModuleContext::Activate(cookie));
    EXPECT_EQ(nullptr, g_moduleContext.context);
    EXPECT_FALSE(g_moduleContext.unavailable);
    ModuleContext::Deactivate(cookie);
}

TEST(ModuleContextSetUp, SystemWithoutActivationContextsCallsStraightThrough) {
    SavedContextState saved;
    // Kernel functions are looked up in a module that lacks them, as on a
    // system that has no activation contexts.
    g_moduleContext = ModuleContextState();
    g_moduleContext.context = INVALID_HANDLE_VALUE;
    g_moduleContext.kernel32 = GetModuleHandleA(nullptr);

    ASSERT_EQ(nullptr, GetModuleHandleA(kUnusedLibrary));
    HMODULE library = ContextLoadLibraryA(kUnusedLibrary);
    EXPECT_NE(nullptr, library);
    EXPECT_TRUE(g_moduleContext.unavailable);
    if (library) FreeLibrary(library);

    Outcome plain = Observe([] { return LoadLibraryA(kMissingLibrary) == nullptr; });
    Outcome wrapped = Observe([] { return ContextLoadLibraryA(kMissingLibrary) == nullptr; });
    EXPECT_TRUE(wrapped.failed);
    EXPECT_EQ(plain.error, wrapped.error);
    EXPECT_EQ(42, ContextDialogBoxParamA(g_module.resourceInstance, MAKEINTRESOURCEA(IDD_BINDING_TEST), nullptr,
                                         EndAtOnce, 0));
}

TEST(ModuleContextSetUp, OtherActivationFailureCallsNothingAndIsTriedAgain) {
    SavedContextState saved;
    FARPROC realQuery = g_moduleContext.queryActCtxW;
    ASSERT_NE(nullptr, realQuery);
    g_moduleContext.context = INVALID_HANDLE_VALUE;
    g_moduleContext.queryActCtxW = reinterpret_cast<FARPROC>(reinterpret_cast<void*>(FailingQueryActCtxW));

    ASSERT_EQ(nullptr, GetModuleHandleA(kUnusedLibrary));
    SetLastError(0);
    EXPECT_EQ(nullptr, ContextLoadLibraryA(kUnusedLibrary));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ(nullptr, GetModuleHandleA(kUnusedLibrary)) << "the library was loaded without the context";
    EXPECT_FALSE(g_moduleContext.unavailable);
    EXPECT_EQ(INVALID_HANDLE_VALUE, g_moduleContext.context);

    g_moduleContext.queryActCtxW = realQuery;
    HMODULE library = ContextLoadLibraryA(kUnusedLibrary);
    EXPECT_NE(nullptr, library) << "the next call tries the set-up again";
    EXPECT_NE(INVALID_HANDLE_VALUE, g_moduleContext.context);
    if (library) FreeLibrary(library);
}

struct LookupCase {
    const char* name;
    LibraryDescriptor library;
    const char* function;
    bool found;
    bool libraryKept;
    DWORD error;    // last error when nothing is found
};

const LookupCase kLookupCases[] = {
    { "KernelFunction", { GetModuleHandleA, GetModuleHandleW, "Kernel32.dll", L"Kernel32.dll" },
      "ActivateActCtx", true, true, 0 },
    { "CommonControlsFunction", { LoadLibraryA, LoadLibraryW, "Comctl32.dll", L"Comctl32.dll" },
      "_TrackMouseEvent", true, true, 0 },
    { "NameTheLibraryLacks", { LoadLibraryA, LoadLibraryW, "Comdlg32.dll", L"Comdlg32.dll" },
      "GdNoSuchFunction", false, true, ERROR_PROC_NOT_FOUND },
    { "LibraryThatCannotBeLoaded", { LoadLibraryA, LoadLibraryW, kMissingLibrary, L"gd-no-such-library.dll" },
      "GetSaveFileNameA", false, false, ERROR_MOD_NOT_FOUND },
};

class FunctionLookup : public testing::TestWithParam<LookupCase> {};

TEST_P(FunctionLookup, FindsWhatTheLibraryHas) {
    const LookupCase& test = GetParam();
    HMODULE handle = nullptr;
    SetLastError(0);
    FARPROC address = ModuleContext::ResolveFunction(test.library, handle, test.function);
    DWORD error = GetLastError();
    EXPECT_EQ(test.found, address != nullptr);
    EXPECT_EQ(test.libraryKept, handle != nullptr);
    if (!test.found) {
        EXPECT_EQ(test.error, error);
    }
}

INSTANTIATE_TEST_SUITE_P(ModuleContextSetUp, FunctionLookup, testing::ValuesIn(kLookupCases),
                         [](const testing::TestParamInfo<LookupCase>& info) { return std::string(info.param.name); });

// The module as a browser loads it: a DLL whose manifest names Common-Controls 6.
class ModuleWithManifest : public testing::Test {
protected:
    void SetUp() override
    {
        m_probe = LoadLibraryA((ProgramFolder() + "context_probe.dll").c_str());
        ASSERT_NE(nullptr, m_probe) << "context_probe.dll not found beside the test, error " << GetLastError();
    }
    void TearDown() override
    {
        if (m_probe) FreeLibrary(m_probe);
    }
    template <class Function>
    Function Export(const char* name)
    {
        FARPROC address = GetProcAddress(m_probe, name);
        EXPECT_NE(nullptr, address) << name;
        return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
    }

    HMODULE m_probe = nullptr;
};

TEST_F(ModuleWithManifest, UsesItsOwnContextAndTheCommonControls6Library) {
    ProbeState state = {};
    Export<ProbeStateFunction>("ProbeModuleState")(&state);
    EXPECT_FALSE(state.unavailable);
    EXPECT_NE(INVALID_HANDLE_VALUE, state.context);
    EXPECT_NE(nullptr, state.context) << "the loader's context for the module was not found";
    ASSERT_NE('\0', state.comctl32Path[0]) << "Comctl32 was not loaded through the context";
    std::string path = state.comctl32Path;
    for (char& c : path) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    bool fromAssembly = path.find("microsoft.windows.common-controls_6595b64144ccf1df_6.0") != std::string::npos;
    if (RunningOnWine()) {
        // Wine 8 keeps one Comctl32 per process, whichever path loaded it
        // first (here the test program's own, from system32), and its
        // DllGetVersion reports 5.81 either way; the version 6 controls show
        // in the windows' behaviour instead (next test).
        EXPECT_GE(state.comctl32Version, 581u) << path;
    } else {
        EXPECT_TRUE(fromAssembly) << "Comctl32 loaded from " << path;
        EXPECT_GE(state.comctl32Version, 600u);
    }
}

TEST_F(ModuleWithManifest, DialogsAndWindowsGetTheVersion6Controls) {
    auto dialogButton = Export<ProbeDialogButtonFunction>("ProbeDialogButton");
    auto createdButton = Export<ProbeCreatedButtonFunction>("ProbeCreatedButton");
    INT_PTR result = 0;
    EXPECT_TRUE(dialogButton(kThroughContext, &result)) << "button of a dialog run through the context";
    EXPECT_EQ(7, result);
    EXPECT_TRUE(createdButton(kThroughContext)) << "button created through the context";

    // The same calls made directly get the system's version 5 button: the
    // wrappers, not the process, make the difference.
    EXPECT_FALSE(dialogButton(kPlainCall, &result));
    EXPECT_EQ(7, result);
    EXPECT_FALSE(createdButton(kPlainCall));
}

} // namespace
