// Registration and unregistration through the module's own exports and
// through regsvr32, read back from the real registry.
#include <gtest/gtest.h>
#include "support/ServerModule.h"

namespace {

const std::string kForeignExtensionKey = std::string(kExtensionsKey) + "\\{0A1B2C3D-4E5F-4061-8293-A4B5C6D7E8F9}";

typedef std::vector<std::string> Names;

class Registration : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Loaded()) << DllPath();
        server.Unregister();
        DeleteTree(HKEY_CURRENT_USER, kForeignExtensionKey);
    }
    void TearDown() override
    {
        server.Unregister();
        DeleteTree(HKEY_CLASSES_ROOT, kClassKey);
        DeleteTree(HKEY_CURRENT_USER, kForeignExtensionKey);
    }

    // Every key and value that registration writes, each exactly once.
    void ExpectRegisteredEntries()
    {
        const std::string path = server.Path();
        const std::string classKey = kClassKey;
        const struct { HKEY root; std::string key, name, value; } kValues[] = {
            { HKEY_CLASSES_ROOT, kProgId, "", "ZExtension Class" },
            { HKEY_CLASSES_ROOT, std::string(kProgId) + "\\CLSID", "", kClsidText },
            { HKEY_CLASSES_ROOT, kIndependentProgId, "", "ZExtension Class" },
            { HKEY_CLASSES_ROOT, std::string(kIndependentProgId) + "\\CLSID", "", kClsidText },
            { HKEY_CLASSES_ROOT, std::string(kIndependentProgId) + "\\CurVer", "", kProgId },
            { HKEY_CLASSES_ROOT, classKey, "", "ZExtension Class" },
            { HKEY_CLASSES_ROOT, classKey + "\\ProgID", "", kProgId },
            { HKEY_CLASSES_ROOT, classKey + "\\VersionIndependentProgID", "", kIndependentProgId },
            { HKEY_CLASSES_ROOT, classKey + "\\InprocServer32", "", path },
            { HKEY_CLASSES_ROOT, classKey + "\\InprocServer32", "ThreadingModel", "Apartment" },
            { HKEY_CURRENT_USER, kExtensionKey, "ButtonText", "Glimmerdeck" },
            { HKEY_CURRENT_USER, kExtensionKey, "Icon", path + ",101" },
            { HKEY_CURRENT_USER, kExtensionKey, "HotIcon", path + ",102" },
            { HKEY_CURRENT_USER, kExtensionKey, "CLSID", kButtonClsidText },
            { HKEY_CURRENT_USER, kExtensionKey, "ClsidExtension", kClsidText },
            { HKEY_CURRENT_USER, kExtensionKey, "MenuText", "Glimmerdeck" },
            { HKEY_CURRENT_USER, kExtensionKey, "MenuStatusBar", "Displays current page HTML code" },
        };
        for (const auto& expected : kValues) {
            std::string actual;
            EXPECT_TRUE(ReadString(expected.root, expected.key, expected.name, actual))
                << expected.key << " [" << expected.name << "] missing";
            EXPECT_EQ(expected.value, actual) << expected.key << " [" << expected.name << "]";
        }

        const struct { HKEY root; std::string key; Names values, subkeys; } kShapes[] = {
            { HKEY_CLASSES_ROOT, kProgId, { "" }, { "CLSID" } },
            { HKEY_CLASSES_ROOT, kIndependentProgId, { "" }, { "CLSID", "CurVer" } },
            { HKEY_CLASSES_ROOT, classKey, { "" }, { "InprocServer32", "ProgID", "VersionIndependentProgID" } },
            { HKEY_CLASSES_ROOT, classKey + "\\InprocServer32", { "", "ThreadingModel" }, {} },
            { HKEY_CURRENT_USER, kExtensionKey,
              { "ButtonText", "CLSID", "ClsidExtension", "HotIcon", "Icon", "MenuStatusBar", "MenuText" }, {} },
        };
        for (const auto& shape : kShapes) {
            EXPECT_EQ(shape.values, ValueNames(shape.root, shape.key)) << shape.key;
            EXPECT_EQ(shape.subkeys, SubkeyNames(shape.root, shape.key)) << shape.key;
        }
    }

    void ExpectNothingOfOursRegistered()
    {
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kProgId));
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kIndependentProgId));
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kExtensionKey));
    }

    ServerModule server;
};

TEST_F(Registration, RegisterWritesExactlyTheScriptsEntries)
{
    ASSERT_EQ(S_OK, server.Register());
    ExpectRegisteredEntries();
}

TEST_F(Registration, RegisteringAgainRebuildsClassAndExtensionKeysButKeepsProgIdAdditions)
{
    ASSERT_EQ(S_OK, server.Register());
    ASSERT_TRUE(WriteString(HKEY_CLASSES_ROOT, kClassKey, "HandAdded", "x"));
    ASSERT_TRUE(WriteString(HKEY_CLASSES_ROOT, std::string(kClassKey) + "\\Stale", "", "x"));
    ASSERT_TRUE(WriteString(HKEY_CURRENT_USER, kExtensionKey, "HandAdded", "x"));
    ASSERT_TRUE(WriteString(HKEY_CLASSES_ROOT, kProgId, "HandAdded", "kept"));

    ASSERT_EQ(S_OK, server.Register());

    std::string value;
    EXPECT_FALSE(ReadString(HKEY_CLASSES_ROOT, kClassKey, "HandAdded", value));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::string(kClassKey) + "\\Stale"));
    EXPECT_FALSE(ReadString(HKEY_CURRENT_USER, kExtensionKey, "HandAdded", value));
    EXPECT_TRUE(ReadString(HKEY_CLASSES_ROOT, kProgId, "HandAdded", value));
    EXPECT_EQ("kept", value);

    // The rest is as after one registration, apart from the kept value.
    HKEY progId;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CLASSES_ROOT, kProgId, 0, KEY_ALL_ACCESS, &progId));
    RegDeleteValueA(progId, "HandAdded");
    RegCloseKey(progId);
    ExpectRegisteredEntries();
}

TEST_F(Registration, UnregisterRemovesOurEntriesAndKeepsSharedAndForeignKeys)
{
    ASSERT_EQ(S_OK, server.Register());
    ASSERT_TRUE(WriteString(HKEY_CURRENT_USER, kForeignExtensionKey, "ButtonText", "Other"));

    EXPECT_EQ(S_OK, server.Unregister());

    ExpectNothingOfOursRegistered();
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kExtensionsKey));
    std::string value;
    EXPECT_TRUE(ReadString(HKEY_CURRENT_USER, kForeignExtensionKey, "ButtonText", value));
    EXPECT_EQ("Other", value);
}

TEST_F(Registration, UnregisterLeavesTheClassKeyWhenAnotherProgramAddedASubkey)
{
    ASSERT_EQ(S_OK, server.Register());
    const std::string foreign = std::string(kClassKey) + "\\Implemented Categories";
    ASSERT_TRUE(WriteString(HKEY_CLASSES_ROOT, foreign, "", "theirs"));

    EXPECT_EQ(S_OK, server.Unregister());

    EXPECT_EQ(Names{ "Implemented Categories" }, SubkeyNames(HKEY_CLASSES_ROOT, kClassKey));
    std::string value;
    EXPECT_TRUE(ReadString(HKEY_CLASSES_ROOT, foreign, "", value));
    EXPECT_EQ("theirs", value);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kProgId));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kExtensionKey));
}

TEST_F(Registration, UnregisterWhenNothingIsRegisteredSucceedsAndTouchesNothing)
{
    ASSERT_TRUE(WriteString(HKEY_CURRENT_USER, kForeignExtensionKey, "ButtonText", "Other"));
    Names extensionsBefore = SubkeyNames(HKEY_CURRENT_USER, kExtensionsKey);

    EXPECT_EQ(S_OK, server.Unregister());
    EXPECT_EQ(S_OK, server.Unregister());

    ExpectNothingOfOursRegistered();
    EXPECT_EQ(extensionsBefore, SubkeyNames(HKEY_CURRENT_USER, kExtensionsKey));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID"));
}

TEST_F(Registration, RegsvrRegistersAndUnregistersTheModule)
{
    const std::string quoted = "\"" + DllPath() + "\"";
    ASSERT_EQ(0, RunProgram("regsvr32.exe /s " + quoted, 60000));
    std::string clsid, server32;
    EXPECT_TRUE(ReadString(HKEY_CURRENT_USER, kExtensionKey, "ClsidExtension", clsid));
    EXPECT_EQ(kClsidText, clsid);
    EXPECT_TRUE(ReadString(HKEY_CLASSES_ROOT, std::string(kClassKey) + "\\InprocServer32", "", server32));
    EXPECT_EQ(0, lstrcmpiA(server.Path().c_str(), server32.c_str())) << server32;

    ASSERT_EQ(0, RunProgram("regsvr32.exe /u /s " + quoted, 60000));
    ExpectNothingOfOursRegistered();
}

}  // namespace
