// Scripts taken from a module's resources: the test program plays the module
// (its instance is the module's), and the built DLL carries the real script.
#include <gtest/gtest.h>
#include <objbase.h>
#include "server/Registrar.h"
#include "server/ScriptVariables.h"
#include "support/TestSupport.h"
#include "support/RegistryScratch.h"

using namespace regtest;

namespace {

class ResourceScript : public testing::Test {
protected:
    void SetUp() override
    {
        RemoveTree(HKEY_CURRENT_USER, kScratchPath);
        MakeKey(HKEY_CURRENT_USER, kScratchPath);
    }
    void TearDown() override { RemoveTree(HKEY_CURRENT_USER, kScratchPath); }
};

std::string ProgramPath()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

std::wstring Wide(const std::string& text)
{
    std::wstring wide(text.size(), L'\0');
    int length = MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), &wide[0], int(wide.size()));
    wide.resize(length);
    return wide;
}

TEST_F(ResourceScript, AppliesTheModulesScriptWithItsPathAndExtraVariables) {
    const ScriptVariablePair extra[] = { { L"Extra", L"extra value" }, { nullptr, nullptr } };
    ASSERT_EQ(S_OK, ApplyRegistryScript(301, true, extra));
    const std::string key = ScratchPath("Resource");
    EXPECT_EQ(ProgramPath(), ReadString(HKEY_CURRENT_USER, key, nullptr));
    EXPECT_EQ(ProgramPath() + ",101", ReadString(HKEY_CURRENT_USER, key, "Icon"));
    EXPECT_EQ("extra value", ReadString(HKEY_CURRENT_USER, key, "Extra"));

    ASSERT_EQ(S_OK, ApplyRegistryScript(301, false, extra));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kScratchPath));
}

// The same test, run by a copy of this program from a folder whose name holds
// a quote: the path reaches the registry intact through the quoted tokens.
TEST_F(ResourceScript, ModulePathWithAQuoteIsWrittenIntact) {
    char temp[MAX_PATH] = {};
    ASSERT_NE(0u, GetTempPathA(MAX_PATH, temp));
    const std::string folder = std::string(temp) + "Glimmerdeck O'Neil";
    const std::string copy = folder + "\\registrar_resource_test.exe";
    CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(ProgramPath().c_str(), copy.c_str(), FALSE));

    std::string command = "\"" + copy + "\" --gtest_filter=ResourceScript.AppliesTheModulesScriptWithItsPathAndExtraVariables";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    // A deadline only so that a fault cannot hang the suite.
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 120000));
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    EXPECT_EQ(0u, exitCode) << "the copy in " << folder << " failed";
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    DeleteFileA(copy.c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST_F(ResourceScript, MissingVariableFailsBeforeAnythingIsWritten) {
    EXPECT_EQ(DISP_E_EXCEPTION, ApplyRegistryScript(301, true, nullptr));   // no %Extra%
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, ScratchPath("Resource")));
}

TEST_F(ResourceScript, MalformedScriptIsRolledBack) {
    EXPECT_EQ(DISP_E_EXCEPTION, ApplyRegistryScript(302, true, nullptr));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, ScratchPath("Made")));
}

TEST_F(ResourceScript, ReportsWhatCouldNotBeLoaded) {
    ScriptVariables variables;
    const std::wstring program = Wide(ProgramPath());
    struct Case {
        const char* label;
        std::wstring path;
        WORD id;
        const char* type;
        DWORD error;
        DWORD otherError;   // what the other platform's loader reports
    } cases[] = {
        { "no such resource id",   program, 399, "REGISTRY",   ERROR_RESOURCE_NAME_NOT_FOUND, 0 },
        { "no such resource type", program, 301, "NOSUCHTYPE", ERROR_RESOURCE_TYPE_NOT_FOUND, 0 },
        // Wine's loader says the file was not found, Windows' the module.
        { "no such file", L"C:\\no\\such\\module.dll", 301, "REGISTRY", ERROR_FILE_NOT_FOUND, ERROR_MOD_NOT_FOUND },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        HRESULT hr = RunScriptResource(c.path.c_str(), c.id, c.type, true, variables);
        if (c.otherError && hr == HRESULT_FROM_WIN32(c.otherError)) continue;
        EXPECT_EQ(HRESULT_FROM_WIN32(c.error), hr);
    }
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND), ApplyRegistryScript(399, true, nullptr));
}

}  // namespace
