// glimmerdeck-user-register: registers or unregisters a module for the
// current user alone. It points this process's HKEY_CLASSES_ROOT at the
// user's own classes key, HKEY_CURRENT_USER\Software\Classes, then lets the
// module's own DllRegisterServer or DllUnregisterServer run its registry
// script: what is registered stays written down in one place, the module.
// A helper of each bitness exists because a process loads modules of its own
// bitness only, and each writes the registry view of its bitness. It is a GUI
// program that opens no window unless it has no stream to speak on: a console
// program would start a console host, which keeps its own settings for the
// user.
#include <windows.h>
#include <ole2.h>
#include <stdio.h>
#include <string.h>
#include <string>
#include "server/Handles.h"

namespace {

const char kUsage[] = "usage: glimmerdeck-user-register --register|--unregister MODULE";
const char kUserClasses[] = "Software\\Classes";

enum ExitCode { kDone = 0, kBadArguments = 1, kFailed = 2 };

// Says TEXT where it can be read: on the stream that the setup program reads
// (a GUI program, this starts no console), or else in a message box.
void Say(FILE* stream, DWORD handle, const std::string& text, UINT icon)
{
    HANDLE std = GetStdHandle(handle);
    if (std && std != INVALID_HANDLE_VALUE) {
        fprintf(stream, "%s\n", text.c_str());
        fflush(stream);
    } else {
        MessageBoxA(nullptr, text.c_str(), "glimmerdeck-user-register", MB_OK | icon);
    }
}

int Fail(const std::string& message, int code = kFailed)
{
    Say(stderr, STD_ERROR_HANDLE, "glimmerdeck-user-register: " + message, MB_ICONSTOP);
    return code;
}

// The system's own words for a Win32 error or an HRESULT, with its number.
std::string Describe(DWORD error)
{
    char text[512] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                  text, sizeof text, nullptr);
    while (length && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' '))
        text[--length] = '\0';
    char number[16];
    snprintf(number, sizeof number, error > 0xFFFF ? "0x%08lX" : "%lu", static_cast<unsigned long>(error));
    return length ? std::string(text) + " (" + number + ")" : std::string("error ") + number;
}

// HKEY_CLASSES_ROOT means the user's classes key while it lives, in this
// process only, and the merged view again afterwards.
class CUserClassesRoot {
public:
    explicit CUserClassesRoot(HKEY classes) : m_status(RegOverridePredefKey(HKEY_CLASSES_ROOT, classes)) {}
    ~CUserClassesRoot()
    {
        if (m_status == ERROR_SUCCESS) RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    }
    CUserClassesRoot(const CUserClassesRoot&) = delete;
    CUserClassesRoot& operator=(const CUserClassesRoot&) = delete;

    LONG Status() const { return m_status; }

private:
    LONG m_status;
};

int Run(bool registering, const char* path)
{
    RegistryKeyHandle classes;
    LONG status = classes.Create(HKEY_CURRENT_USER, kUserClasses);
    if (status != ERROR_SUCCESS)
        return Fail(std::string("cannot open HKEY_CURRENT_USER\\") + kUserClasses + ": " + Describe(status));
    CUserClassesRoot root(classes.Get());
    if (root.Status() != ERROR_SUCCESS)
        return Fail("cannot point HKEY_CLASSES_ROOT at the user's classes: " + Describe(root.Status()));

    // As regsvr32 does: a registration may use COM.
    HRESULT initialized = OleInitialize(nullptr);
    int code = kDone;
    {
        LibraryHandle module(LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
        const char* entry = registering ? "DllRegisterServer" : "DllUnregisterServer";
        if (!module.Get()) {
            DWORD error = GetLastError();
            code = Fail(std::string("cannot load ") + path + ": " + Describe(error) +
                        (error == ERROR_BAD_EXE_FORMAT ? "; a module is registered by the helper of its bitness" : ""));
        } else if (auto function = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
                       reinterpret_cast<void*>(GetProcAddress(module.Get(), entry)))) {
            HRESULT result = function();
            if (FAILED(result)) code = Fail(std::string(entry) + " of " + path + " failed: " + Describe(result));
        } else {
            code = Fail(std::string(path) + " has no " + entry);
        }
    }
    if (SUCCEEDED(initialized)) OleUninitialize();
    return code;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "/?") == 0)) {
        Say(stdout, STD_OUTPUT_HANDLE, kUsage, MB_ICONINFORMATION);
        return kDone;
    }
    if (argc != 3) return Fail(std::string("expected two arguments\n") + kUsage, kBadArguments);
    bool registering = strcmp(argv[1], "--register") == 0;
    if (!registering && strcmp(argv[1], "--unregister") != 0)
        return Fail(std::string("unknown action '") + argv[1] + "'\n" + kUsage, kBadArguments);
    // A full path: the module is loaded from there and names itself by it.
    char path[MAX_PATH];
    DWORD length = *argv[2] ? GetFullPathNameA(argv[2], MAX_PATH, path, nullptr) : 0;
    if (!length || length >= MAX_PATH)
        return Fail(std::string("'") + argv[2] + "' is not a module's path\n" + kUsage, kBadArguments);
    return Run(registering, path);
}
