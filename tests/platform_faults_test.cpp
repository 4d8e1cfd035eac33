// Platform faults met during a button press: each is silent and
// loses nothing. The rich-edit library is loaded by the tests that need it;
// the one test that runs without it comes last.
#include <gtest/gtest.h>
#include <objbase.h>
#include <string>
#include <vector>
#include <algorithm>
#include <stdio.h>
#include <stdlib.h>
#include <commdlg.h>
#include <dlgs.h>
#include "resources/resource.h"
#include "server/ModuleState.h"
#include "support/Constants.h"
#include "support/TestModule.h"
#include "support/TestSupport.h"
#include "tools/bench/ButtonPress.h"

namespace {

const bool g_startup = UseTestStartup(kTestStartupApartment | kTestStartupWithoutRichEdit);

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
        if (FAILED(w->getClassObject(kClsidZExtension, IID_IClassFactory, reinterpret_cast<void**>(&factory))) || !factory) {
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

// Steers the Save As dialog from inside its modal loop: types the name, says
// yes to the replace prompt, and cancels whatever is still up at the deadline.
struct SaveSteering {
    std::string name;
    DWORD started;
    bool typed;
    bool timedOut;
};
SaveSteering* g_save;

BOOL CALLBACK FindThreadDialog(HWND window, LPARAM param)
{
    char className[16] = {}, title[64] = {};
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, title, sizeof title);
    if (lstrcmpA(className, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    HWND* found = reinterpret_cast<HWND*>(param);
    // The replace prompt has a Yes button; the Save As dialog has the title.
    if (GetDlgItem(window, IDYES) || lstrcmpA(title, "Save Web Glimmerdeck As") == 0) {
        *found = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK SteerSave(HWND, UINT, UINT_PTR, DWORD)
{
    if (!g_save) return;
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindThreadDialog, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog) return;
    if (GetTickCount() - g_save->started > 20000) {
        g_save->timedOut = true;
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    if (GetDlgItem(dialog, IDYES)) {
        PostMessageA(dialog, WM_COMMAND, IDYES, 0);
        return;
    }
    if (g_save->typed) return;
    HWND box = GetDlgItem(dialog, cmb13);
    if (!box) box = GetDlgItem(dialog, edt1);
    SetWindowTextA(box, g_save->name.c_str());
    g_save->typed = true;
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (found.cFileName[0] != '.') names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadBytes(const std::string& path)
{
    std::string bytes;
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return "(unreadable)";
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, n);
    fclose(file);
    return bytes;
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
    auto getClassObject = reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    auto canUnload = reinterpret_cast<CanUnloadFn>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
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

// A full disk during Save: the folder is a small file system (scripts/test
// mounts one when it runs as root and names it in GD_FULL_DISK) filled to
// the last byte. The previous file stays as it was and no temporary file is left.
TEST(PlatformFaults, FullDiskDuringSaveKeepsThePreviousFile) {
    const char* unixFolder = getenv("GD_FULL_DISK");
    if (!unixFolder || !*unixFolder) GTEST_SKIP() << "no small file system given in GD_FULL_DISK";
    LoadRichEdit();
    std::string folder = std::string("Z:") + unixFolder;
    std::replace(folder.begin(), folder.end(), '/', '\\');
    const std::string target = folder + "\\page.txt";
    {
        FILE* previous = fopen(target.c_str(), "wb");
        ASSERT_NE(nullptr, previous) << target;
        fputs("previous content", previous);
        fclose(previous);
    }
    // Fill what is left, so that the save meets a full disk.
    HANDLE filler = CreateFileA((folder + "\\filler").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, filler);
    static char block[4096];
    DWORD written = 0;
    for (size_t size = sizeof block; size > 0; size /= 2)
        while (WriteFile(filler, block, static_cast<DWORD>(size), &written, nullptr) && written == size) {}
    CloseHandle(filler);

    SaveSteering steering = { target, GetTickCount(), false, false };
    PressOptions options;
    options.deadlineMs = 60000;
    options.whileShown = [&](HWND viewer) {
        g_save = &steering;
        UINT_PTR timer = SetTimer(nullptr, 0, 50, SteerSave);
        SendMessageA(viewer, WM_COMMAND, MAKEWPARAM(IDC_SAVE, BN_CLICKED), 0);
        KillTimer(nullptr, timer);
        g_save = nullptr;
    };
    std::string page = "<HTML><BODY>\n";
    while (page.size() < 200000) page += std::string(79, 'x') + "\n";
    PressResult press = PressButton(PageModel::FromBytes(page + "</BODY></HTML>"), options);
    EXPECT_EQ(S_OK, press.hr);
    EXPECT_FALSE(press.timedOut);
    EXPECT_TRUE(steering.typed) << "the Save As dialog did not appear";
    EXPECT_FALSE(steering.timedOut);
    EXPECT_EQ("previous content", ReadBytes(target));
    EXPECT_EQ((std::vector<std::string>{ "filler", "page.txt" }), FilesIn(folder));

    // With room again, the same save replaces the file: the steps above reached the write.
    DeleteFileA((folder + "\\filler").c_str());
    steering = { target, GetTickCount(), false, false };
    press = PressButton(PageModel::FromBytes(page + "</BODY></HTML>"), options);
    EXPECT_TRUE(steering.typed);
    EXPECT_EQ(page.size() + 14, ReadBytes(target).size() - std::count(page.begin(), page.end(), '\n'))
        << "the file was not replaced by the page's text";
    DeleteFileA(target.c_str());
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
