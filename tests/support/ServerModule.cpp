#include "support/ServerModule.h"
#include <algorithm>
#include "support/TestSupport.h"

std::string DllPath()
{
    return ProgramFolder() + "Glimmerdeck.dll";
}

namespace {

// The exports' real types; GetProcAddress knows none of them.
template <class Fn>
Fn Export(HMODULE module, const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

ServerModule::ServerModule() : m_module(LoadLibraryA(DllPath().c_str())) {}

ServerModule::~ServerModule()
{
    if (m_module) FreeLibrary(m_module);
}

std::string ServerModule::Path() const
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(m_module, path, MAX_PATH);
    return path;
}

HRESULT ServerModule::CanUnloadNow()
{
    auto fn = Export<HRESULT(WINAPI*)()>(m_module, "DllCanUnloadNow");
    return fn ? fn() : E_UNEXPECTED;
}

HRESULT ServerModule::GetClassObject(REFCLSID clsid, REFIID iid, void** out)
{
    auto fn = Export<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(m_module, "DllGetClassObject");
    return fn ? fn(clsid, iid, out) : E_UNEXPECTED;
}

HRESULT ServerModule::Register()
{
    auto fn = Export<HRESULT(WINAPI*)()>(m_module, "DllRegisterServer");
    return fn ? fn() : E_UNEXPECTED;
}

HRESULT ServerModule::Unregister()
{
    auto fn = Export<HRESULT(WINAPI*)()>(m_module, "DllUnregisterServer");
    return fn ? fn() : E_UNEXPECTED;
}

bool KeyExists(HKEY root, const std::string& key, REGSAM view, REGSAM access)
{
    HKEY opened;
    if (RegOpenKeyExA(root, key.c_str(), 0, access | view, &opened) != ERROR_SUCCESS) return false;
    RegCloseKey(opened);
    return true;
}

bool ReadString(HKEY root, const std::string& key, const std::string& name, std::string& value, REGSAM view)
{
    HKEY opened;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ | view, &opened) != ERROR_SUCCESS) return false;
    char buffer[1024] = {};
    DWORD size = sizeof buffer - 1, type = 0;
    LONG status = RegQueryValueExA(opened, name.empty() ? nullptr : name.c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(opened);
    if (status != ERROR_SUCCESS || type != REG_SZ) return false;
    value = buffer;
    return true;
}

namespace {

// Names of a key's values or subkeys, sorted.
std::vector<std::string> EnumeratedNames(HKEY root, const std::string& key, bool subkeys)
{
    std::vector<std::string> names;
    HKEY opened;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
        char name[512];
        DWORD size = sizeof name;
        LONG status = subkeys ? RegEnumKeyExA(opened, i, name, &size, nullptr, nullptr, nullptr, nullptr)
                              : RegEnumValueA(opened, i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS) break;
        names.push_back(name);
    }
    RegCloseKey(opened);
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

std::vector<std::string> ValueNames(HKEY root, const std::string& key)
{
    return EnumeratedNames(root, key, false);
}

std::vector<std::string> SubkeyNames(HKEY root, const std::string& key)
{
    return EnumeratedNames(root, key, true);
}

bool WriteString(HKEY root, const std::string& key, const std::string& name, const std::string& value)
{
    HKEY opened;
    if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened, nullptr) != ERROR_SUCCESS)
        return false;
    LONG status = RegSetValueExA(opened, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() + 1));
    RegCloseKey(opened);
    return status == ERROR_SUCCESS;
}

void DeleteTree(HKEY root, const std::string& key, REGSAM view)
{
    HKEY opened;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_ALL_ACCESS | view, &opened) != ERROR_SUCCESS) return;
    for (;;) {
        char name[512];
        DWORD size = sizeof name;
        if (RegEnumKeyExA(opened, 0, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        DeleteTree(opened, name);
    }
    RegCloseKey(opened);
    RegDeleteKeyExA(root, key.c_str(), view, 0);
}

namespace {

int Run(const std::string& commandLine, DWORD timeoutMs, HANDLE output)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (output) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = output;
        startup.hStdError = output;
    }
    PROCESS_INFORMATION process = {};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, output != nullptr, 0, nullptr, nullptr, &startup,
                        &process))
        return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    } else {
        TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

std::string TempFolder()
{
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    return folder;
}

}  // namespace

int RunProgram(const std::string& commandLine, DWORD timeoutMs)
{
    return Run(commandLine, timeoutMs, nullptr);
}

int RunProgram(const std::string& commandLine, DWORD timeoutMs, std::string& output)
{
    TempFile capture("press-output.txt");
    SECURITY_ATTRIBUTES inherit = { sizeof inherit, nullptr, TRUE };
    HANDLE file = CreateFileA(capture.Path().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    int code = Run(commandLine, timeoutMs, file);
    CloseHandle(file);
    output = capture.Read();
    return code;
}

TempFile::TempFile(const std::string& name, const std::string& content) : m_path(TempFolder() + name)
{
    HANDLE file = CreateFileA(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
}

TempFile::~TempFile()
{
    DeleteFileA(m_path.c_str());
}

std::string TempFile::Read() const
{
    return ReadFileBytes(m_path);
}

void RegisteredServerEnvironment::SetUp()
{
    CoInitialize(nullptr);
    ServerModule server;
    ASSERT_EQ(S_OK, server.Register());
}

void RegisteredServerEnvironment::TearDown()
{
    ServerModule server;
    server.Unregister();
    CoUninitialize();
}
