// Platform faults met on the road of a button press: each is silent and
// loses nothing. The rich-edit library is loaded by the tests that need it;
// the one test that runs without it comes last.
#include <gtest/gtest.h>
#include <objbase.h>
#include <string>
#include <vector>
#include "resources/resource.h"
#include "server/ModuleState.h"
#include "support/TestSupport.h"
#include "tools/bench/RoadPress.h"

namespace {

class ModuleEnvironment : public testing::Environment {
public:
    void SetUp() override
    {
        CoInitialize(nullptr);
        ModuleStartup(GetModuleHandleA(nullptr));
    }
    void TearDown() override
    {
        ModuleShutdown();
        CoUninitialize();
    }
};
testing::Environment* const g_environment = testing::AddGlobalTestEnvironment(new ModuleEnvironment);

const char kPage[] = "<HTML><BODY><B>kept</B></BODY></HTML>";

void LoadRichEdit()
{
    if (!g_module.richEdit) g_module.richEdit = LoadLibraryA("RICHED32.DLL");
    ASSERT_NE(nullptr, g_module.richEdit);
}

bool PutClipboardText(const char* text)
{
    if (!OpenClipboard(nullptr)) return false;
    EmptyClipboard();
    size_t size = strlen(text) + 1;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    bool placed = false;
    if (memory) {
        memcpy(GlobalLock(memory), text, size);
        GlobalUnlock(memory);
        placed = SetClipboardData(CF_TEXT, memory) != nullptr;
        if (!placed) GlobalFree(memory);
    }
    CloseClipboard();
    return placed;
}

std::string ClipboardText()
{
    std::string text;
    if (!OpenClipboard(nullptr)) return "(clipboard cannot be opened)";
    HANDLE data = GetClipboardData(CF_TEXT);
    const char* locked = data ? static_cast<const char*>(GlobalLock(data)) : nullptr;
    if (locked) {
        text = locked;
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

// Holds the clipboard open on a thread of its own, as another program would.
struct ClipboardHolder {
    HANDLE opened = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = nullptr;
    bool held = false;

    static DWORD WINAPI Hold(void* param)
    {
        ClipboardHolder* holder = static_cast<ClipboardHolder*>(param);
        HWND window = CreateWindowExA(0, "STATIC", "holder", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        holder->held = OpenClipboard(window) != FALSE;
        SetEvent(holder->opened);
        WaitForSingleObject(holder->release, 30000);
        if (holder->held) CloseClipboard();
        DestroyWindow(window);
        return 0;
    }
    ClipboardHolder()
    {
        thread = CreateThread(nullptr, 0, Hold, this, 0, nullptr);
        WaitForSingleObject(opened, 10000);
    }
    ~ClipboardHolder()
    {
        SetEvent(release);
        WaitForSingleObject(thread, 10000);
        CloseHandle(thread);
        CloseHandle(opened);
        CloseHandle(release);
    }
};

typedef HRESULT(STDAPICALLTYPE* GetClassObjectFn)(REFCLSID, REFIID, void**);
const CLSID kClsid = { 0x6E2B94D1, 0x5A07, 0x4C3E, { 0xB1, 0x8F, 0x2D, 0x7C, 0x90, 0xA4, 0xE6, 0x35 } };

struct Worker {
    GetClassObjectFn getClassObject;
    HANDLE start;
    volatile LONG failures;
};

// Takes the class object, locks the server, makes and drops an object, unlocks.
DWORD WINAPI RunWorker(void* param)
{
    Worker* w = static_cast<Worker*>(param);
    WaitForSingleObject(w->start, 10000);
    for (int i = 0; i < 500; ++i) {
        IClassFactory* factory = nullptr;
        if (FAILED(w->getClassObject(kClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory))) || !factory) {
            InterlockedIncrement(&w->failures);
            continue;
        }
        IUnknown* object = nullptr;
        if (FAILED(factory->LockServer(TRUE))) InterlockedIncrement(&w->failures);
        if (FAILED(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object))) || !object)
            InterlockedIncrement(&w->failures);
        if (object) object->Release();
        if (FAILED(factory->LockServer(FALSE))) InterlockedIncrement(&w->failures);
        factory->Release();
    }
    return 0;
}

} // namespace

TEST(PlatformFaults, ClipboardHeldByAnotherKeepsItsContent) {
    LoadRichEdit();
    ASSERT_TRUE(PutClipboardText("what the user copied before"));
    ClipboardHolder holder;
    ASSERT_TRUE(holder.held) << "could not hold the clipboard open";
    PressOptions options;
    options.deadlineMs = 30000;
    options.whileShown = [](HWND viewer) { SendMessageA(viewer, WM_COMMAND, MAKEWPARAM(IDC_COPY, BN_CLICKED), 0); };
    PressResult press = PressButton(PageModel::FromBytes(kPage), options);
    EXPECT_EQ(S_OK, press.hr);
    EXPECT_FALSE(press.timedOut);
    EXPECT_TRUE(press.viewerShown);
    SetEvent(holder.release);
    WaitForSingleObject(holder.thread, 10000);
    EXPECT_EQ("what the user copied before", ClipboardText());

    // The same press with the clipboard free does copy: the click above reached Copy.
    press = PressButton(PageModel::FromBytes(kPage), options);
    EXPECT_TRUE(press.viewerShown);
    EXPECT_EQ("<HTML><BODY><B>kept</B></BODY></HTML>", ClipboardText());
}

// The class object, LockServer and objects, from 8 threads at once, through
// the real DLL's exports.
TEST(PlatformFaults, EightThreadsLeaveTheLockCountAtZero) {
    const std::string dll = ProgramFolder() + "Glimmerdeck.dll";
    HMODULE module = LoadLibraryA(dll.c_str());
    ASSERT_NE(nullptr, module) << dll;
    typedef HRESULT(STDAPICALLTYPE * CanUnloadFn)();
    auto getClassObject = reinterpret_cast<GetClassObjectFn>(GetProcAddress(module, "DllGetClassObject"));
    auto canUnload = reinterpret_cast<CanUnloadFn>(GetProcAddress(module, "DllCanUnloadNow"));
    ASSERT_TRUE(getClassObject && canUnload);

    Worker worker = { getClassObject, CreateEventA(nullptr, TRUE, FALSE, nullptr), 0 };
    std::vector<HANDLE> threads;
    for (int t = 0; t < 8; ++t)
        threads.push_back(CreateThread(nullptr, 0, RunWorker, &worker, 0, nullptr));
    SetEvent(worker.start);
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0),
              WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, 60000));
    for (HANDLE thread : threads) CloseHandle(thread);
    CloseHandle(worker.start);
    EXPECT_EQ(0, worker.failures);
    EXPECT_EQ(S_OK, canUnload()) << "the lock count did not return to 0";
    FreeLibrary(module);
}

// The activation-context functions missing: context_test's
// ModuleContextSetUp.SystemWithoutActivationContextsCallsStraightThrough.

// The placement key cannot be created: its parent is volatile, and a volatile
// key takes no lasting subkey. The viewer still opens, closes and stores nothing.
TEST(PlatformFaults, PlacementKeyThatCannotBeCreatedIsSkipped) {
    LoadRichEdit();
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Dunmarrow");
    HKEY parent = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Dunmarrow", 0, nullptr,
                                             REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &parent, nullptr));
    HKEY probe = nullptr;
    LONG refused = RegCreateKeyExA(parent, "Probe", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                   &probe, nullptr);
    if (probe) RegCloseKey(probe);
    RegCloseKey(parent);
    ASSERT_NE(ERROR_SUCCESS, refused) << "a lasting key was created under a volatile one";

    PressOptions options;
    options.deadlineMs = 30000;
    PressResult press = PressButton(PageModel::FromBytes(kPage), options);
    EXPECT_EQ(S_OK, press.hr);
    EXPECT_FALSE(press.timedOut);
    EXPECT_TRUE(press.viewerShown);
    HKEY placement = nullptr;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Dunmarrow\\Glimmerdeck", 0, KEY_READ,
                                           &placement));
    if (placement) RegCloseKey(placement);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Dunmarrow");
}

// Runs last: the module as it is when "RICHED32.DLL" could not be loaded at
// start-up, so that the viewer's template names a class nobody registered.
// Wine's own libraries may have loaded the library already; its class is
// then taken away, which is what the viewer meets when the library is missing.
TEST(PlatformFaults, RichEditLibraryMissingShowsNothingAndLeaksNothing) {
    if (g_module.richEdit) FreeLibrary(g_module.richEdit);
    g_module.richEdit = nullptr;
    HMODULE loaded = GetModuleHandleA("RICHED32.DLL");
    if (loaded) UnregisterClassA("RICHEDIT", loaded);
    WNDCLASSA info;
    ASSERT_FALSE(GetClassInfoA(nullptr, "RICHEDIT", &info)) << "the RICHEDIT class is still registered";
    PressOptions options;
    options.deadlineMs = 30000;
    PressResult press = PressButton(PageModel::FromBytes(kPage), options);
    EXPECT_EQ(S_OK, press.hr);
    EXPECT_FALSE(press.timedOut);
    EXPECT_FALSE(press.viewerShown);
    EXPECT_EQ(0, ModuleLockCount()) << "the command object is still counted";
    EXPECT_EQ(nullptr, g_module.windowsBeingCreated) << "the viewer was left in the list of windows being created";
}
