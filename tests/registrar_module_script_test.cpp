// The module's own registry script (resources/Registration.script), run against the real HKEY_CLASSES_ROOT and
// HKEY_CURRENT_USER of the test prefix: exactly these keys and values appear,
// and exactly these go again.
#include <gtest/gtest.h>
#include <objbase.h>
#include <algorithm>
#include "resources/resource.h"
#include "server/Registrar.h"
#include "server/ScriptRunner.h"
#include "server/ScriptVariables.h"
#include "support/Constants.h"
#include "support/TestSupport.h"
#include "support/RegistryScratch.h"

using namespace regtest;

namespace {

const char kForeignClassKey[] = "CLSID\\{0D5E1B7A-0000-4000-8000-6C1E2A3B4C5D}";
const std::string kForeignExtensionKey = std::string(kExtensionsKey) + "\\{0D5E1B7A-1111-4000-8000-6C1E2A3B4C5D}";

// The path holds a quote, which the variable carries doubled.
const wchar_t kModulePath[] = L"C:\\Program Files\\O'Neil Tools\\Glimmerdeck.dll";
const char kModulePathText[] = "C:\\Program Files\\O'Neil Tools\\Glimmerdeck.dll";

std::vector<std::string> Sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

class ModuleScript : public testing::Test {
protected:
    void SetUp() override
    {
        RemoveModuleKeys();
        script = ModuleScriptFile();
        ASSERT_FALSE(script.empty()) << "resources/Registration.script was not copied beside the test";
        wchar_t* quoted = QuoteForScript(kModulePath);
        ASSERT_NE(nullptr, quoted);
        variables.Add(L"Module", quoted);
        CoTaskMemFree(quoted);
    }
    void TearDown() override { RemoveModuleKeys(); }

    static void RemoveModuleKeys()
    {
        RemoveTree(HKEY_CLASSES_ROOT, kProgId);
        RemoveTree(HKEY_CLASSES_ROOT, kIndependentProgId);
        RemoveTree(HKEY_CLASSES_ROOT, kClassKey);
        RemoveTree(HKEY_CLASSES_ROOT, kForeignClassKey);
        RemoveTree(HKEY_CURRENT_USER, kExtensionKey);
        RemoveTree(HKEY_CURRENT_USER, kForeignExtensionKey);
    }

    HRESULT Run(bool doRegister)
    {
        ScriptRunner runner(variables);
        return runner.Run(script.c_str(), doRegister);
    }

    void ExpectRegistered()
    {
        using Names = std::vector<std::string>;
        const std::string path = kModulePathText;

        EXPECT_EQ("ZExtension Class", ReadString(HKEY_CLASSES_ROOT, kProgId, nullptr));
        EXPECT_EQ(Names{ "CLSID" }, Sorted(SubkeyNames(HKEY_CLASSES_ROOT, kProgId)));
        EXPECT_EQ(kClsidText, ReadString(HKEY_CLASSES_ROOT, std::string(kProgId) + "\\CLSID", nullptr));

        EXPECT_EQ("ZExtension Class", ReadString(HKEY_CLASSES_ROOT, kIndependentProgId, nullptr));
        EXPECT_EQ((Names{ "CLSID", "CurVer" }), Sorted(SubkeyNames(HKEY_CLASSES_ROOT, kIndependentProgId)));
        EXPECT_EQ(kClsidText, ReadString(HKEY_CLASSES_ROOT, std::string(kIndependentProgId) + "\\CLSID", nullptr));
        EXPECT_EQ(kProgId, ReadString(HKEY_CLASSES_ROOT, std::string(kIndependentProgId) + "\\CurVer", nullptr));

        const std::string cls = kClassKey;
        EXPECT_EQ("ZExtension Class", ReadString(HKEY_CLASSES_ROOT, cls, nullptr));
        EXPECT_EQ(Names{ "" }, ValueNames(HKEY_CLASSES_ROOT, cls));
        EXPECT_EQ((Names{ "InprocServer32", "ProgID", "VersionIndependentProgID" }),
                  Sorted(SubkeyNames(HKEY_CLASSES_ROOT, cls)));
        EXPECT_EQ(kProgId, ReadString(HKEY_CLASSES_ROOT, cls + "\\ProgID", nullptr));
        EXPECT_EQ(kIndependentProgId, ReadString(HKEY_CLASSES_ROOT, cls + "\\VersionIndependentProgID", nullptr));
        EXPECT_EQ(path, ReadString(HKEY_CLASSES_ROOT, cls + "\\InprocServer32", nullptr));
        EXPECT_EQ("Apartment", ReadString(HKEY_CLASSES_ROOT, cls + "\\InprocServer32", "ThreadingModel"));
        EXPECT_EQ((Names{ "", "ThreadingModel" }), Sorted(ValueNames(HKEY_CLASSES_ROOT, cls + "\\InprocServer32")));

        EXPECT_EQ((Names{ "ButtonText", "CLSID", "ClsidExtension", "HotIcon", "Icon", "MenuStatusBar", "MenuText" }),
                  Sorted(ValueNames(HKEY_CURRENT_USER, kExtensionKey)));
        EXPECT_TRUE(SubkeyNames(HKEY_CURRENT_USER, kExtensionKey).empty());
        struct { const char* name; std::string text; } values[] = {
            { "ButtonText",     "Glimmerdeck" },
            { "Icon",           path + ",101" },
            { "HotIcon",        path + ",102" },
            { "CLSID",          kButtonClsidText },
            { "ClsidExtension", kClsidText },
            { "MenuText",       "Glimmerdeck" },
            { "MenuStatusBar",  "Displays current page HTML code" },
        };
        for (const auto& v : values) EXPECT_EQ(v.text, ReadString(HKEY_CURRENT_USER, kExtensionKey, v.name)) << v.name;
    }

    void ExpectUnregistered()
    {
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kProgId));
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kIndependentProgId));
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kExtensionKey));
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID"));
        EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kExtensionsKey));
    }

    ScriptVariables variables;
    std::string script;
};

TEST_F(ModuleScript, RegistersExactlyItsKeysAndValues) {
    ASSERT_EQ(S_OK, Run(true));
    ExpectRegistered();
}

TEST_F(ModuleScript, RegisteringAgainRebuildsClassAndExtensionKeys) {
    ASSERT_EQ(S_OK, Run(true));
    SetString(HKEY_CLASSES_ROOT, kClassKey, "ByHand", "x");
    SetString(HKEY_CLASSES_ROOT, std::string(kClassKey) + "\\Added", nullptr, "x");
    SetString(HKEY_CURRENT_USER, kExtensionKey, "ByHand", "x");
    SetString(HKEY_CLASSES_ROOT, kProgId, "ByHand", "kept");

    ASSERT_EQ(S_OK, Run(true));
    ExpectRegistered();   // also: nothing more under the class and extension keys
    EXPECT_EQ("kept", ReadString(HKEY_CLASSES_ROOT, kProgId, "ByHand"));
}

TEST_F(ModuleScript, UnregisterRemovesExactlyItsOwnEntries) {
    SetString(HKEY_CLASSES_ROOT, kForeignClassKey, nullptr, "another class");
    SetString(HKEY_CURRENT_USER, kForeignExtensionKey, "ButtonText", "another button");
    ASSERT_EQ(S_OK, Run(true));

    ASSERT_EQ(S_OK, Run(false));
    ExpectUnregistered();
    EXPECT_EQ("another class", ReadString(HKEY_CLASSES_ROOT, kForeignClassKey, nullptr));
    EXPECT_EQ("another button", ReadString(HKEY_CURRENT_USER, kForeignExtensionKey, "ButtonText"));
}

TEST_F(ModuleScript, UnregisterKeepsTheSharedKeysEvenWhenEmpty) {
    // Start with no Extensions key at all, so registering makes it.
    bool hadNoExtensions = SubkeyNames(HKEY_CURRENT_USER, kExtensionsKey).empty();
    if (hadNoExtensions) RemoveTree(HKEY_CURRENT_USER, kExtensionsKey);
    ASSERT_EQ(S_OK, Run(true));
    ASSERT_EQ(S_OK, Run(false));
    ExpectUnregistered();
    if (hadNoExtensions) {
        EXPECT_TRUE(SubkeyNames(HKEY_CURRENT_USER, kExtensionsKey).empty());
    }
}

TEST_F(ModuleScript, UnregisterWithNothingRegisteredDeletesNothing) {
    SetString(HKEY_CLASSES_ROOT, kForeignClassKey, nullptr, "another class");
    SetString(HKEY_CURRENT_USER, kForeignExtensionKey, "ButtonText", "another button");
    size_t classes = SubkeyNames(HKEY_CLASSES_ROOT, "CLSID").size();

    EXPECT_EQ(S_OK, Run(false));
    ExpectUnregistered();
    EXPECT_EQ(classes, SubkeyNames(HKEY_CLASSES_ROOT, "CLSID").size());
    EXPECT_EQ("another class", ReadString(HKEY_CLASSES_ROOT, kForeignClassKey, nullptr));
    EXPECT_EQ("another button", ReadString(HKEY_CURRENT_USER, kForeignExtensionKey, "ButtonText"));
}

// ForceRemove acts in the register pass only: another program's key under
// the class key keeps the class key alive.
TEST_F(ModuleScript, UnregisterLeavesAClassKeyHoldingAForeignSubkey) {
    ASSERT_EQ(S_OK, Run(true));
    const std::string foreign = std::string(kClassKey) + "\\Implemented Categories";
    SetString(HKEY_CLASSES_ROOT, foreign, nullptr, "another program");

    ASSERT_EQ(S_OK, Run(false));
    EXPECT_EQ("another program", ReadString(HKEY_CLASSES_ROOT, foreign, nullptr));
    EXPECT_EQ(std::vector<std::string>{ "Implemented Categories" }, SubkeyNames(HKEY_CLASSES_ROOT, kClassKey));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kProgId));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kExtensionKey));
}

// The DLL built beside the test carries exactly this script, and running it
// from there has the same effect.
TEST_F(ModuleScript, TheBuiltModuleCarriesThisScript) {
    const std::string dll = ProgramFolder() + "Glimmerdeck.dll";
    HMODULE module = LoadLibraryExA(dll.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module) << dll;
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(IDR_REGISTRY_SCRIPT), "REGISTRY");
    ASSERT_NE(nullptr, resource);
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(module, resource)));
    std::string text(bytes, SizeofResource(module, resource));
    FreeLibrary(module);
    EXPECT_EQ(script, text);

    std::wstring widePath(dll.begin(), dll.end());
    ASSERT_EQ(S_OK, RunScriptResource(widePath.c_str(), IDR_REGISTRY_SCRIPT, "REGISTRY", true, variables));
    ExpectRegistered();
    ASSERT_EQ(S_OK, RunScriptResource(widePath.c_str(), IDR_REGISTRY_SCRIPT, "REGISTRY", false, variables));
    ExpectUnregistered();
}

TEST_F(ModuleScript, WithoutTheModuleVariableTouchesNothing) {
    variables.Clear();
    EXPECT_EQ(DISP_E_EXCEPTION, Run(true));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kProgId));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kExtensionKey));
}

}  // namespace
