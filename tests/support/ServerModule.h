#pragma once
#include <windows.h>
#include <gtest/gtest.h>
#include <objbase.h>
#include <string>
#include <vector>
#include "support/Constants.h"

// The built Glimmerdeck.dll, loaded as the registration tool loads it.
class ServerModule {
public:
    ServerModule();
    ~ServerModule();
    ServerModule(const ServerModule&) = delete;
    ServerModule& operator=(const ServerModule&) = delete;

    bool Loaded() const { return m_module != nullptr; }
    std::string Path() const;           // as the module reports it

    HRESULT CanUnloadNow();
    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out);
    HRESULT Register();
    HRESULT Unregister();

private:
    HMODULE m_module;
};

std::string DllPath();

// Registry reading: what a user would find with regedit. view: 0 for the
// program's own registry view, or KEY_WOW64_32KEY / KEY_WOW64_64KEY.
bool KeyExists(HKEY root, const std::string& key, REGSAM view = 0, REGSAM access = KEY_READ);
// A REG_SZ value ("" names the default value); false when absent or of another type.
bool ReadString(HKEY root, const std::string& key, const std::string& name, std::string& value, REGSAM view = 0);
std::vector<std::string> ValueNames(HKEY root, const std::string& key);   // sorted; "" is the default value
std::vector<std::string> SubkeyNames(HKEY root, const std::string& key);  // sorted
bool WriteString(HKEY root, const std::string& key, const std::string& name, const std::string& value);
void DeleteTree(HKEY root, const std::string& key, REGSAM view = 0);

// Runs a program with a command line and waits for it (with a deadline);
// its exit code, or -1 when it could not be started or did not finish.
int RunProgram(const std::string& commandLine, DWORD timeoutMs);
// The same, with the program's standard output and error gathered in output.
int RunProgram(const std::string& commandLine, DWORD timeoutMs, std::string& output);

// A file in the temporary folder, removed again when the holder goes.
class TempFile {
public:
    TempFile(const std::string& name, const std::string& content = std::string());
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& Path() const { return m_path; }
    std::string Read() const;
private:
    std::string m_path;
};

// COM initialised and the built DLL registered for the whole test program,
// unregistered again at its end.
class RegisteredServerEnvironment : public testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;
};
