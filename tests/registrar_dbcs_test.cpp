// The script runner in a double-byte code page (932): a lead byte and its
// trail byte are one character, so trail bytes that look like a backslash
// or a quote do not act as one.
#include <gtest/gtest.h>
#include "server/ScriptRunner.h"
#include "server/ScriptVariables.h"
#include "support/RegistryScratch.h"

using namespace regtest;

namespace {

// U+8868 in code page 932: its trail byte is 0x5C, the backslash.
const char kTableChar[] = "\x95\x5C";

class DbcsScript : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(932u, GetACP()) << "run under LC_ALL=ja_JP.UTF-8";
        RemoveTree(HKEY_CURRENT_USER, kScratchPath);
        MakeKey(HKEY_CURRENT_USER, kScratchPath);
    }
    void TearDown() override { RemoveTree(HKEY_CURRENT_USER, kScratchPath); }

    HRESULT Run(const std::string& text, bool doRegister)
    {
        ScriptRunner runner(variables);
        return runner.Run(text.c_str(), doRegister);
    }

    ScriptVariables variables;
};

TEST_F(DbcsScript, TrailByteOfABackslashIsPartOfTheKeyName) {
    const std::string script = InScratch(std::string(kTableChar) + " = s 'x'\n'" + kTableChar + "2' = s 'y'");
    ASSERT_EQ(S_OK, Run(script, true));
    EXPECT_EQ("x", ReadString(HKEY_CURRENT_USER, ScratchPath(kTableChar), nullptr));
    EXPECT_EQ("y", ReadString(HKEY_CURRENT_USER, ScratchPath(std::string(kTableChar) + "2"), nullptr));
    EXPECT_EQ(2u, SubkeyNames(HKEY_CURRENT_USER, kScratchPath).size());

    ASSERT_EQ(S_OK, Run(script, false));
    EXPECT_TRUE(SubkeyNames(HKEY_CURRENT_USER, kScratchPath).empty());
}

TEST_F(DbcsScript, VariableValuesGoInAsAnsiText) {
    variables.Add(L"Module", L"C:\\\x8868\x793A\\x.dll");
    ASSERT_EQ(S_OK, Run(InScratch("V { val path = s '%MODULE%' }"), true));
    RawValue value = ReadRaw(HKEY_CURRENT_USER, ScratchPath("V"), "path");
    const std::string expected("C:\\\x95\x5C\x8E\xA6\\x.dll", 13);
    EXPECT_EQ(std::vector<BYTE>(expected.begin(), expected.end() + 1), value.data);
}

TEST_F(DbcsScript, TokenLimitCountsWholeCharacters) {
    // A double-byte character may start at byte 4093, not at 4094.
    const std::string fits = std::string(4093, 'x') + kTableChar;
    ASSERT_EQ(S_OK, Run(InScratch("T { val v = s '" + fits + "' }"), true));
    EXPECT_EQ(fits, ReadString(HKEY_CURRENT_USER, ScratchPath("T"), "v"));
    const std::string tooLong = std::string(4094, 'x') + kTableChar;
    EXPECT_EQ(DISP_E_EXCEPTION, Run(InScratch("T { val v = s '" + tooLong + "' }"), true));
    EXPECT_EQ(DISP_E_EXCEPTION, Run(InScratch("T { val v = s " + tooLong + " }"), true));
}

// A lead byte takes the next byte with it, even a quote; one left at the very
// end stands alone. Neither reads past the text.
TEST_F(DbcsScript, LeadBytesNeverCarryTheWalkPastTheEnd) {
    const std::string prefix =
        "HKCU { NoRemove Software { NoRemove GlimmerdeckRegistrarTests { Made = s 'x' } val v = s ";
    for (const char* end : { "'\x95' } }", "\x95", "'\x95", "'%\x95" }) {
        SCOPED_TRACE(end);
        EXPECT_EQ(DISP_E_EXCEPTION, Run(prefix + end, true));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, ScratchPath("Made")));   // rolled back
    }
}

}  // namespace
