// The setup program as an administrator deploys it: a silent installation
// puts each module into the program-files folder of its bitness and registers
// it in the registry view of its bitness, the browser stand-in presses the
// button through the installed module, and a silent uninstallation leaves
// nothing of ours. An installation whose registration fails must fail and
// leave nothing either. Then as a user installs it just for themselves: the
// modules under their local application data, the classes under their own
// HKEY_CURRENT_USER\Software\Classes, nothing for the machine; the pages that
// lead there; and the refusal of one mode while the other is installed.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <knownfolders.h>
#include <algorithm>
#include <cstring>
#include <string>
#include "support/ServerModule.h"
#include "support/TestSupport.h"

namespace {

const DWORD kDeadlineMs = 120000;
const char kModule[] = "Glimmerdeck.dll";
const char kUninstaller[] = "Uninstall.exe";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Glimmerdeck";
// Under HKEY_CURRENT_USER a user's own classes, under HKEY_LOCAL_MACHINE the
// machine's: HKEY_CLASSES_ROOT merges the two on Windows.
const char kClasses[] = "Software\\Classes\\";
const char kPage[] = "<html><head><title>T</title></head><body><p class=\"x\">Glimmer</p></body></html>\r\n";

// This test program is 64-bit: the 32-bit view has to be asked for.
const REGSAM kView32 = KEY_WOW64_32KEY;
const REGSAM kView64 = KEY_WOW64_64KEY;

std::string SetupProgram()
{
    return ProgramFolder() + GD_SETUP_NAME;
}

std::string KnownFolder(REFKNOWNFOLDERID id)
{
    PWSTR wide = nullptr;
    std::string narrow;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &wide))) {
        char buffer[MAX_PATH] = {};
        WideCharToMultiByte(CP_ACP, 0, wide, -1, buffer, MAX_PATH, nullptr, nullptr);
        narrow = buffer;
    }
    CoTaskMemFree(wide);
    return narrow;
}

std::string Folder32()
{
    return KnownFolder(FOLDERID_ProgramFilesX86) + "\\Glimmerdeck";
}

std::string Folder64()
{
    return KnownFolder(FOLDERID_ProgramFilesX64) + "\\Glimmerdeck";
}

// The per-user installation's folder, and its module folder of each bitness.
std::string UserFolder()
{
    return KnownFolder(FOLDERID_LocalAppData) + "\\Programs\\Glimmerdeck";
}

std::string UserFolder32()
{
    return UserFolder() + "\\x86";
}

std::string UserFolder64()
{
    return UserFolder() + "\\x64";
}

// A folder that an administrator might give with /D.
std::string Elsewhere()
{
    return KnownFolder(FOLDERID_ProgramFilesX86) + "\\Elsewhere";
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A value of the module file's version block, as Explorer's properties show it.
std::string VersionString(const std::string& file, const char* name)
{
    DWORD ignored = 0, size = GetFileVersionInfoSizeA(file.c_str(), &ignored);
    std::string block(size, '\0');
    if (!size || !GetFileVersionInfoA(file.c_str(), 0, size, &block[0])) return "";
    char* text = nullptr;
    UINT length = 0;
    std::string query = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueA(&block[0], query.c_str(), reinterpret_cast<void**>(&text), &length) || !length) return "";
    return text;
}

// The machine field of a PE file's header: 0x14c for i386, 0x8664 for x86-64.
unsigned PeMachine(const std::string& file)
{
    std::string bytes = ReadFileBytes(file);
    if (bytes.size() < 64 || bytes.compare(0, 2, "MZ") != 0) return 0;
    DWORD offset = *reinterpret_cast<const DWORD*>(&bytes[60]);
    if (offset + 6 > bytes.size() || bytes.compare(offset, 4, std::string("PE\0\0", 4)) != 0) return 0;
    return *reinterpret_cast<const WORD*>(&bytes[offset + 4]);
}

// Runs a command line and waits, up to the deadline, until the process and
// every process that it started have ended: an NSIS uninstaller hands its
// work to a copy of itself in the temporary folder and returns at once.
// Returns the started process's exit code; -1 (and everything it started
// ended) when it could not start or the deadline passed.
int RunToTheEnd(const std::string& commandLine, DWORD timeoutMs)
{
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    if (!job) return -1;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &startup,
                        &process)) {
        CloseHandle(job);
        return -1;
    }
    // Without the job the wait would end with the first process: refuse.
    bool ended = false;
    if (AssignProcessToJobObject(job, process.hProcess)) {
        ResumeThread(process.hThread);
        DWORD start = GetTickCount();
        while (!ended && GetTickCount() - start < timeoutMs) {
            JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info = {};
            ended = QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof info,
                                              nullptr) && info.ActiveProcesses == 0;
            if (!ended) Sleep(50);
        }
    }
    DWORD code = static_cast<DWORD>(-1);
    if (ended) {
        GetExitCodeProcess(process.hProcess, &code);
    } else {
        TerminateJobObject(job, 1);
        TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(job);
    return static_cast<int>(code);
}

// A setup program run as a user runs it, ended if a test leaves it running.
class SetupProcess {
public:
    explicit SetupProcess(const std::string& commandLine)
    {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        std::string line = commandLine;
        if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &m_process))
            m_process = {};
    }
    ~SetupProcess()
    {
        if (!m_process.hProcess) return;
        if (WaitForSingleObject(m_process.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(m_process.hProcess, 1);
        CloseHandle(m_process.hThread);
        CloseHandle(m_process.hProcess);
    }
    SetupProcess(const SetupProcess&) = delete;
    SetupProcess& operator=(const SetupProcess&) = delete;

    bool Started() const { return m_process.hProcess != nullptr; }

    // Its visible window and, owned by it, its message box, once they are up.
    HWND Window() const { return Find(false); }
    HWND MessageBox() const { return Find(true); }

    // Its exit code once it has ended within the deadline, or -1.
    int WaitForExit(DWORD timeoutMs) const
    {
        DWORD code = static_cast<DWORD>(-1);
        if (WaitForSingleObject(m_process.hProcess, timeoutMs) == WAIT_OBJECT_0)
            GetExitCodeProcess(m_process.hProcess, &code);
        return static_cast<int>(code);
    }

private:
    struct Search {
        DWORD process;
        bool owned;
        HWND found;
    };

    HWND Find(bool owned) const
    {
        Search search = { m_process.dwProcessId, owned, nullptr };
        EnumWindows(
            [](HWND window, LPARAM context) -> BOOL {
                Search& search = *reinterpret_cast<Search*>(context);
                DWORD process = 0;
                char name[16] = {};
                GetWindowThreadProcessId(window, &process);
                GetClassNameA(window, name, sizeof name);
                if (process == search.process && IsWindowVisible(window) && lstrcmpA(name, "#32770") == 0 &&
                    (GetWindow(window, GW_OWNER) != nullptr) == search.owned) {
                    search.found = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    PROCESS_INFORMATION m_process = {};
};

// Waits for found() to give a window, up to the deadline.
template <class Find>
HWND WaitForWindow(Find found, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (HWND window = found()) return window;
        if (GetTickCount() - start > timeoutMs) return nullptr;
        Sleep(50);
    }
}

void Click(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// The setup program and the 32-bit regsvr32 are 32-bit programs. Whether
// this machine runs them is found by trying: some x86-64 kernels run no
// 32-bit programs, and then 32-bit Wine cannot start at all.
std::string Why32BitProgramsCannotRun()
{
    char wow[MAX_PATH] = {};
    if (!GetSystemWow64DirectoryA(wow, MAX_PATH)) return "this system has no 32-bit subsystem";
    const std::string probe = std::string("\"") + wow + "\\cmd.exe\" /c exit 7";
    int code = RunProgram(probe, 60000);
    if (code == 7) return "";
    return "the setup program is 32-bit and 32-bit programs do not run here: a 32-bit probe (" + probe +
           ") ended with exit code " + std::to_string(code) + ", not 7 (a kernel that runs no 32-bit programs)";
}

// Everything that an installation of either mode can leave, the keys in
// both views.
const struct {
    HKEY root;
    std::string key;
} kOurKeys[] = {
    { HKEY_CLASSES_ROOT, kClassKey },
    { HKEY_CLASSES_ROOT, kProgId },
    { HKEY_CLASSES_ROOT, kIndependentProgId },
    { HKEY_CURRENT_USER, kExtensionKey },
    { HKEY_LOCAL_MACHINE, kUninstallKey },
    { HKEY_CURRENT_USER, std::string(kClasses) + kClassKey },
    { HKEY_CURRENT_USER, std::string(kClasses) + kProgId },
    { HKEY_CURRENT_USER, std::string(kClasses) + kIndependentProgId },
    { HKEY_CURRENT_USER, kUninstallKey },
};

// What the per-machine mode writes under HKEY_LOCAL_MACHINE, which the
// per-user mode must not touch.
const std::string kMachineKeys[] = {
    std::string(kClasses) + kClassKey,
    std::string(kClasses) + kProgId,
    std::string(kClasses) + kIndependentProgId,
    kUninstallKey,
};

// The text of every window inside WINDOW, its pages' controls included, one
// per line.
std::string TextsIn(HWND window)
{
    std::string texts;
    EnumChildWindows(
        window,
        [](HWND child, LPARAM context) -> BOOL {
            char text[1024] = {};
            DWORD_PTR ignored = 0;
            if (IsWindowVisible(child) &&
                SendMessageTimeoutA(child, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                                    5000, &ignored) && *text)
                *reinterpret_cast<std::string*>(context) += std::string(text) + "\n";
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&texts));
    return texts;
}

// The visible control inside WINDOW whose text begins with PREFIX.
HWND ControlStartingWith(HWND window, const std::string& prefix)
{
    struct Search {
        const std::string& prefix;
        HWND found;
    } search = { prefix, nullptr };
    EnumChildWindows(
        window,
        [](HWND child, LPARAM context) -> BOOL {
            Search& search = *reinterpret_cast<Search*>(context);
            char text[256] = {};
            DWORD_PTR ignored = 0;
            if (IsWindowVisible(child) &&
                SendMessageTimeoutA(child, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                                    5000, &ignored) &&
                std::string(text).compare(0, search.prefix.size(), search.prefix) == 0) {
                search.found = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The setup program's window once its page shows TEXT, or null at the deadline.
HWND WaitForPage(const SetupProcess& setup, const std::string& text)
{
    return WaitForWindow([&]() -> HWND {
        HWND window = setup.Window();
        return window && TextsIn(window).find(text) != std::string::npos ? window : nullptr;
    }, kDeadlineMs);
}

// Waits for the page that shows TEXT and goes on with its Next button.
void PassThePage(const SetupProcess& setup, const std::string& text)
{
    HWND window = WaitForPage(setup, text);
    ASSERT_TRUE(window) << "no page shows \"" << text << "\"";
    Click(window, IDOK);
}

// The entry in the list of installed programs under ROOT, named from the
// version block of the installed 32-bit module, for an installation whose
// uninstaller is in FOLDER.
void ExpectUninstallEntry(HKEY root, REGSAM view, const std::string& folder, const std::string& module32)
{
    const std::string uninstaller = folder + "\\" + kUninstaller;
    const struct { const char* name; std::string value; } kEntry[] = {
        { "DisplayName", VersionString(module32, "ProductName") },
        { "DisplayVersion", VersionString(module32, "ProductVersion") },
        { "Publisher", VersionString(module32, "CompanyName") },
        { "InstallLocation", folder },
        { "UninstallString", "\"" + uninstaller + "\"" },
        { "QuietUninstallString", "\"" + uninstaller + "\" /S" },
        { "DisplayIcon", module32 + ",0" },
    };
    for (const auto& expected : kEntry) {
        ASSERT_FALSE(expected.value.empty()) << expected.name;
        std::string value;
        EXPECT_TRUE(ReadString(root, kUninstallKey, expected.name, value, view)) << expected.name;
        EXPECT_EQ(expected.value, value) << expected.name;
    }
}

// Whether the user's class key has a view of each bitness, found by trying.
// Windows keeps one for 32-bit programs (Software\Classes\Wow6432Node\CLSID);
// Wine has one key for both, which then holds the registration made last.
bool UserClassIdsSplitByView()
{
    const std::string probe = std::string(kClasses) + "CLSID\\{9C1F3E52-7B0A-4D86-A5E3-1B2C4D6E8F70}";
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, probe.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | kView64, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return true;
    RegCloseKey(key);
    bool split = !KeyExists(HKEY_CURRENT_USER, probe, kView32);
    DeleteTree(HKEY_CURRENT_USER, probe, kView64);
    return split;
}

class Installer : public testing::Test {
protected:
    void SetUp() override
    {
        static const std::string why = Why32BitProgramsCannotRun();
        if (!why.empty()) GTEST_SKIP() << why;
        ASSERT_TRUE(FileExists(SetupProgram())) << SetupProgram();
        ASSERT_FALSE(KnownFolder(FOLDERID_ProgramFilesX86).empty());
        ASSERT_NE(KnownFolder(FOLDERID_ProgramFilesX86), KnownFolder(FOLDERID_ProgramFilesX64));
        // A previous run may have stopped half-way.
        RemoveEverything();
    }

    void TearDown() override
    {
        if (!IsSkipped()) RemoveEverything();
    }

    // Leaves the prefix as before any installation, whatever the product did.
    void RemoveEverything()
    {
        for (const std::string& folder : { Folder32(), UserFolder() })
            if (FileExists(folder + "\\" + kUninstaller))
                RunToTheEnd("\"" + folder + "\\" + kUninstaller + "\" /S", kDeadlineMs);
        RemoveBlockedClassKeys();
        for (const std::string& folder :
             { Folder32(), Folder64(), Elsewhere(), UserFolder32(), UserFolder64(), UserFolder() }) {
            DeleteFileA((folder + "\\" + kModule).c_str());
            DeleteFileA((folder + "\\" + kUninstaller).c_str());
            RemoveDirectoryA(folder.c_str());
        }
        for (const auto& key : kOurKeys) {
            DeleteTree(key.root, key.key, kView32);
            DeleteTree(key.root, key.key, kView64);
        }
    }

    // After an installation that the blocked class key made fail: the key
    // is as it was, all else is gone, a 32-bit registration that had
    // succeeded included.
    void ExpectRolledBack(HKEY root = HKEY_CLASSES_ROOT, const std::string& classKey = kClassKey)
    {
        EXPECT_TRUE(KeyExists(root, classKey, kView64, READ_CONTROL));
        RemoveBlockedClassKeys();
        DeleteTree(root, classKey, kView64);
        ExpectNothingOfOursLeft();
    }

    void ExpectNothingOfOursLeft()
    {
        for (const std::string& folder : { Folder32(), Folder64(), UserFolder() })
            EXPECT_FALSE(FileExists(folder)) << folder;
        for (const auto& key : kOurKeys) {
            EXPECT_FALSE(KeyExists(key.root, key.key, kView32)) << key.key << " (32-bit view)";
            EXPECT_FALSE(KeyExists(key.root, key.key, kView64)) << key.key << " (64-bit view)";
        }
    }

    // The 64-bit class key, made so that nobody may write or read it, only
    // change its permissions or delete it: the 64-bit registration cannot
    // create its class entry there, after the 32-bit one has registered.
    void BlockClassKey64(HKEY root = HKEY_CLASSES_ROOT, const std::string& classKey = kClassKey)
    {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, classKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | kView64,
                                                 nullptr, &key, nullptr));
        SetAccess(key, READ_CONTROL | WRITE_DAC | DELETE);
        RegCloseKey(key);
        ASSERT_FALSE(KeyExists(root, classKey, kView64)) << "the platform ignored the key's permissions";
    }

    // The machine's and the user's class key, either of which a test blocks.
    void RemoveBlockedClassKeys()
    {
        const struct {
            HKEY root;
            std::string key;
        } kBlockable[] = { { HKEY_CLASSES_ROOT, kClassKey }, { HKEY_CURRENT_USER, std::string(kClasses) + kClassKey } };
        for (const auto& blocked : kBlockable) {
            HKEY key;
            if (RegOpenKeyExA(blocked.root, blocked.key.c_str(), 0, WRITE_DAC | kView64, &key) != ERROR_SUCCESS)
                continue;
            SetAccess(key, KEY_ALL_ACCESS);
            RegCloseKey(key);
        }
    }

    // Neither the files nor the keys of a per-machine installation.
    void ExpectNothingForTheMachine()
    {
        for (const std::string& folder : { Folder32(), Folder64() })
            EXPECT_FALSE(FileExists(folder)) << folder;
        for (const std::string& key : kMachineKeys) {
            EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key, kView32)) << "HKLM\\" << key << " (32-bit view)";
            EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key, kView64)) << "HKLM\\" << key << " (64-bit view)";
        }
    }

    // Gives everyone exactly the access given, no more.
    static void SetAccess(HKEY key, DWORD access)
    {
        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        PSID everyone = nullptr;
        ASSERT_TRUE(AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
        char aclBuffer[256];
        ACL* acl = reinterpret_cast<ACL*>(aclBuffer);
        SECURITY_DESCRIPTOR descriptor;
        bool made = InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION) &&
                    AddAccessAllowedAce(acl, ACL_REVISION, access, everyone) &&
                    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
                    SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
        LONG status = made ? RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor) : -1;
        FreeSid(everyone);
        ASSERT_EQ(ERROR_SUCCESS, status);
    }
};

TEST_F(Installer, SilentRoundTripInstallsBothModulesPressesTheButtonAndRemovesEverything)
{
    const std::string module32 = Folder32() + "\\" + kModule;
    const std::string module64 = Folder64() + "\\" + kModule;
    const std::string uninstaller = Folder32() + "\\" + kUninstaller;

    // Installing again over an installation, as an update does, ends in the same state.
    ASSERT_EQ(0, RunProgram("\"" + SetupProgram() + "\" /S", kDeadlineMs));
    ASSERT_EQ(0, RunProgram("\"" + SetupProgram() + "\" /S", kDeadlineMs));

    // Each module in the folder of its bitness, the 64-bit one as built here.
    EXPECT_EQ(0x14cu, PeMachine(module32)) << module32;
    EXPECT_EQ(0x8664u, PeMachine(module64)) << module64;
    EXPECT_TRUE(ReadFileBytes(module64) == ReadFileBytes(DllPath())) << module64 << " differs from " << DllPath();
    EXPECT_TRUE(FileExists(uninstaller));

    // Each registered in its own view; the shared button names the module
    // registered last, the 64-bit one.
    const std::string server32 = std::string(kClassKey) + "\\InprocServer32";
    std::string value;
    EXPECT_TRUE(ReadString(HKEY_CLASSES_ROOT, server32, "", value, kView32));
    EXPECT_EQ(0, lstrcmpiA(module32.c_str(), value.c_str())) << value;
    EXPECT_TRUE(ReadString(HKEY_CLASSES_ROOT, server32, "", value, kView64));
    EXPECT_EQ(0, lstrcmpiA(module64.c_str(), value.c_str())) << value;
    EXPECT_TRUE(ReadString(HKEY_CURRENT_USER, kExtensionKey, "Icon", value, 0));
    EXPECT_EQ(0, lstrcmpiA((module64 + ",101").c_str(), value.c_str())) << value;

    // The entry in the list of installed programs, named from the version block.
    ExpectUninstallEntry(HKEY_LOCAL_MACHINE, kView32, Folder32(), module32);

    // The browser's press reaches the installed 64-bit module and opens the viewer.
    TempFile page("installer-page.html", kPage);
    TempFile log("installer-host.log");
    TempFile shot("installer-viewer.png");
    std::string output;
    EXPECT_EQ(0, RunProgram("\"" + ProgramFolder() + "glimmerdeck-host.exe\" --timeout 60 --log \"" + log.Path() +
                            "\" --screenshot \"" + shot.Path() + "\" \"" + page.Path() + "\"",
                            kDeadlineMs, output)) << output;
    std::string calls = log.Read();
    calls.erase(std::remove(calls.begin(), calls.end(), '\r'), calls.end());
    EXPECT_NE(std::string::npos, calls.find("Host.Server " + module64 + "\n")) << calls;
    EXPECT_NE(std::string::npos, calls.find("Host.Viewer owner=browser")) << calls;
    EXPECT_EQ(0u, shot.Read().find("\x89PNG"));

    // As an administrator uninstalls it, from the entry's own command line.
    std::string quiet;
    ASSERT_TRUE(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString", quiet, kView32));
    EXPECT_EQ(0, RunToTheEnd(quiet, kDeadlineMs));
    ExpectNothingOfOursLeft();
}

TEST_F(Installer, AFolderOfItsOwnIsRefusedWithAnExitCode)
{
    const std::string elsewhere = Elsewhere();
    EXPECT_EQ(2, RunProgram("\"" + SetupProgram() + "\" /S /D=" + elsewhere, kDeadlineMs));
    EXPECT_FALSE(FileExists(elsewhere));
    ExpectNothingOfOursLeft();
}

TEST_F(Installer, FailedRegistrationFailsTheSilentInstallationWithAnExitCodeAndLeavesNothing)
{
    BlockClassKey64();
    if (HasFatalFailure()) return;

    EXPECT_EQ(2, RunProgram("\"" + SetupProgram() + "\" /S", kDeadlineMs));
    ExpectRolledBack();
}

TEST_F(Installer, FailedRegistrationSaysWhyInAMessageBoxAndLeavesNothing)
{
    BlockClassKey64();
    if (HasFatalFailure()) return;

    SetupProcess setup("\"" + SetupProgram() + "\"");
    ASSERT_TRUE(setup.Started());
    PassThePage(setup, "Close your browser before you continue.");
    PassThePage(setup, "Install for anyone using this computer");
    HWND box = WaitForWindow([&] { return setup.MessageBox(); }, kDeadlineMs);
    ASSERT_TRUE(box) << "no message box";
    char text[1024] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    const std::string module64 = Folder64() + "\\" + kModule;
    EXPECT_NE(nullptr, strstr(text, ("The 64-bit module " + module64 + " could not be registered").c_str())) << text;
    EXPECT_NE(nullptr, strstr(text, "Glimmerdeck has not been installed.")) << text;
    Click(box, IDOK);

    // The window then says so again and offers only to cancel.
    HWND window = WaitForWindow([&]() -> HWND {
        HWND shown = setup.Window();
        return shown && !setup.MessageBox() && IsWindowEnabled(GetDlgItem(shown, IDCANCEL)) ? shown : nullptr;
    }, kDeadlineMs);
    ASSERT_TRUE(window) << "the setup program's window did not offer to cancel";
    char status[256] = {};
    GetDlgItemTextA(FindWindowExA(window, nullptr, "#32770", nullptr), 1006, status, sizeof status);
    EXPECT_STREQ("Glimmerdeck has not been installed.", status);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, IDOK)));
    Click(window, IDCANCEL);
    EXPECT_EQ(2, setup.WaitForExit(kDeadlineMs));
    ExpectRolledBack();
}

// Wine's own HKEY_CLASSES_ROOT does not merge the user's classes under
// HKEY_CURRENT_USER\Software\Classes, as Windows does: under Wine a browser
// finds no class registered for one user alone, so these tests show where the
// per-user registration lands, not a press through it. On Windows the merged
// view serves it.
TEST_F(Installer, SilentRoundTripJustForMeWritesOnlyTheUsersFilesAndKeysAndRemovesThem)
{
    const std::string module32 = UserFolder32() + "\\" + kModule;
    const std::string module64 = UserFolder64() + "\\" + kModule;
    const std::string uninstaller = UserFolder() + "\\" + kUninstaller;

    // Installing again over an installation, as an update does, ends in the same state.
    ASSERT_EQ(0, RunProgram("\"" + SetupProgram() + "\" /S /CurrentUser", kDeadlineMs));
    ASSERT_EQ(0, RunProgram("\"" + SetupProgram() + "\" /S /CurrentUser", kDeadlineMs));

    // Each module in the user's folder of its bitness.
    EXPECT_EQ(0x14cu, PeMachine(module32)) << module32;
    EXPECT_EQ(0x8664u, PeMachine(module64)) << module64;
    EXPECT_TRUE(ReadFileBytes(module64) == ReadFileBytes(DllPath())) << module64 << " differs from " << DllPath();
    EXPECT_TRUE(FileExists(uninstaller));

    // Each class entry in the user's classes, in the view of its bitness,
    // with the ProgIDs beside it; the shared button names the 64-bit module.
    const std::string server = std::string(kClasses) + kClassKey + "\\InprocServer32";
    std::string value;
    EXPECT_TRUE(ReadString(HKEY_CURRENT_USER, server, "", value, kView32)) << server << " (32-bit view)";
    const std::string& last32 = UserClassIdsSplitByView() ? module32 : module64;  // Wine: one key for both
    EXPECT_EQ(0, lstrcmpiA(last32.c_str(), value.c_str())) << value;
    EXPECT_TRUE(ReadString(HKEY_CURRENT_USER, server, "", value, kView64)) << server << " (64-bit view)";
    EXPECT_EQ(0, lstrcmpiA(module64.c_str(), value.c_str())) << value;
    for (const char* progId : { kProgId, kIndependentProgId }) {
        EXPECT_TRUE(ReadString(HKEY_CURRENT_USER, std::string(kClasses) + progId + "\\CLSID", "", value, kView64))
            << progId;
        EXPECT_EQ(kClsidText, value) << progId;
    }
    EXPECT_TRUE(ReadString(HKEY_CURRENT_USER, kExtensionKey, "Icon", value, 0));
    EXPECT_EQ(0, lstrcmpiA((module64 + ",101").c_str(), value.c_str())) << value;
    ExpectNothingForTheMachine();

    // The entry in the user's own list of installed programs.
    ExpectUninstallEntry(HKEY_CURRENT_USER, 0, UserFolder(), module32);

    std::string quiet;
    ASSERT_TRUE(ReadString(HKEY_CURRENT_USER, kUninstallKey, "QuietUninstallString", quiet, 0));
    EXPECT_EQ(0, RunToTheEnd(quiet, kDeadlineMs));
    ExpectNothingOfOursLeft();
}

TEST_F(Installer, FailedRegistrationJustForMeFailsTheSilentInstallationWithAnExitCodeAndLeavesNothing)
{
    const std::string userClassKey = std::string(kClasses) + kClassKey;
    BlockClassKey64(HKEY_CURRENT_USER, userClassKey);
    if (HasFatalFailure()) return;

    EXPECT_EQ(2, RunProgram("\"" + SetupProgram() + "\" /S /CurrentUser", kDeadlineMs));
    ExpectRolledBack(HKEY_CURRENT_USER, userClassKey);
}

// Two registrations of one class would fight: each mode refuses while the
// other is installed, with the failure's exit code, and leaves it as it was.
TEST_F(Installer, EachModeRefusesToInstallWhileTheOtherIsInstalled)
{
    const std::string server = std::string(kClassKey) + "\\InprocServer32";
    const std::string userServer = std::string(kClasses) + server;
    std::string value;

    ASSERT_EQ(0, RunProgram("\"" + SetupProgram() + "\" /S", kDeadlineMs));
    EXPECT_EQ(2, RunProgram("\"" + SetupProgram() + "\" /S /CurrentUser", kDeadlineMs));
    EXPECT_FALSE(FileExists(UserFolder()));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, userServer, kView64));
    EXPECT_TRUE(ReadString(HKEY_CLASSES_ROOT, server, "", value, kView64));
    EXPECT_EQ(0, lstrcmpiA((Folder64() + "\\" + kModule).c_str(), value.c_str())) << value;
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kExtensionKey));

    std::string quiet;
    ASSERT_TRUE(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString", quiet, kView32));
    ASSERT_EQ(0, RunToTheEnd(quiet, kDeadlineMs));

    ASSERT_EQ(0, RunProgram("\"" + SetupProgram() + "\" /S /CurrentUser", kDeadlineMs));
    for (const char* switches : { " /S", " /S /AllUsers" }) {
        EXPECT_EQ(2, RunProgram("\"" + SetupProgram() + "\"" + switches, kDeadlineMs)) << switches;
        ExpectNothingForTheMachine();
        EXPECT_TRUE(ReadString(HKEY_CURRENT_USER, userServer, "", value, kView64)) << switches;
        EXPECT_EQ(0, lstrcmpiA((UserFolder64() + "\\" + kModule).c_str(), value.c_str())) << value;
        EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kExtensionKey)) << switches;
    }
}

// As a user who double-clicks it: the welcome page names the product and its
// version and asks to close the browser, the mode page offers both modes,
// and the finish page says where the button is.
TEST_F(Installer, PagesLeadThroughAnInstallationJustForMe)
{
    const std::string version = VersionString(SetupProgram(), "ProductVersion");
    ASSERT_FALSE(version.empty());
    SetupProcess setup("\"" + SetupProgram() + "\"");
    ASSERT_TRUE(setup.Started());

    HWND window = WaitForPage(setup, "Close your browser before you continue.");
    ASSERT_TRUE(window) << "no welcome page";
    EXPECT_NE(std::string::npos, TextsIn(window).find("Glimmerdeck " + version)) << TextsIn(window);
    Click(window, IDOK);

    // Under Wine the user is an administrator, who is offered both modes.
    window = WaitForPage(setup, "Install for anyone using this computer");
    ASSERT_TRUE(window) << "no mode page";
    HWND justMe = ControlStartingWith(window, "Install just for me");
    ASSERT_TRUE(justMe) << TextsIn(window);
    SendMessageA(justMe, BM_CLICK, 0, 0);
    EXPECT_EQ(BST_CHECKED, SendMessageA(justMe, BM_GETCHECK, 0, 0));
    Click(window, IDOK);

    window = WaitForPage(setup, "Glimmerdeck is installed. Open your browser:");
    ASSERT_TRUE(window) << "no finish page";
    const std::string texts = TextsIn(window);
    EXPECT_NE(std::string::npos, texts.find("Glimmerdeck is installed. Open your browser: the button is on its "
                                            "toolbar, and \"Displays current page HTML code\" is in its Tools menu."))
        << texts;
    EXPECT_NE(std::string::npos, texts.find("close it and start it again")) << texts;
    Click(window, IDOK);
    EXPECT_EQ(0, setup.WaitForExit(kDeadlineMs));

    EXPECT_TRUE(FileExists(UserFolder64() + "\\" + kModule));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));
    ExpectNothingForTheMachine();
}

}  // namespace
