// The script runner against the real registry: grammar, variables, both
// passes, roll-back and the refusals of malformed scripts. Every key lives
// below HKCU\Software\GlimmerdeckRegistrarTests.
#include <gtest/gtest.h>
#include <objbase.h>
#include "server/RegistryTree.h"
#include "server/ScriptRunner.h"
#include "server/ScriptVariables.h"
#include "support/RegistryScratch.h"

using namespace regtest;

namespace {

class ScriptRun : public testing::Test {
protected:
    void SetUp() override
    {
        RemoveTree(HKEY_CURRENT_USER, kScratchPath);
        MakeKey(HKEY_CURRENT_USER, kScratchPath);
        variables.Add(L"Module", L"C:\\Apps\\O''Brien\\Glimmerdeck.dll");
    }
    void TearDown() override { RemoveTree(HKEY_CURRENT_USER, kScratchPath); }

    HRESULT Register(const std::string& entries) { return RunText(InScratch(entries), true); }
    HRESULT Unregister(const std::string& entries) { return RunText(InScratch(entries), false); }
    HRESULT RunText(const std::string& text, bool doRegister)
    {
        ScriptRunner runner(variables);
        return runner.Run(text.c_str(), doRegister);
    }

    std::string Str(const std::string& path, const char* name) { return ReadString(HKEY_CURRENT_USER, ScratchPath(path), name); }
    bool Exists(const std::string& path) { return KeyExists(HKEY_CURRENT_USER, ScratchPath(path)); }
    void Set(const std::string& path, const char* name, const char* text) { SetString(HKEY_CURRENT_USER, ScratchPath(path), name, text); }
    void Make(const std::string& path) { MakeKey(HKEY_CURRENT_USER, ScratchPath(path)); }

    ScriptVariables variables;
};

// ---- Grammar ---------------------------------------------------------------

TEST_F(ScriptRun, RegistersNestedKeysWithDefaultAndNamedValues) {
    ASSERT_EQ(S_OK, Register(
        "A = s 'top'\r\n{\r\n\tB\r\n\t{\r\n\t\tval x = s 'bx'\r\n\t}\r\n\tval y = s 'ay'\r\n}\r\n"
        "C = s 'sibling'\r\n"
        "{0C1D2E3F-4A5B-4C6D-8E7F-90A1B2C3D4E5} = s 'named by a class id'"));
    EXPECT_EQ("top", Str("A", nullptr));
    EXPECT_EQ("bx", Str("A\\B", "x"));
    EXPECT_EQ("<missing>", Str("A\\B", nullptr));
    EXPECT_EQ("ay", Str("A", "y"));
    EXPECT_EQ("sibling", Str("C", nullptr));
    // Only a lone "{" opens a key's block here: a name that begins with one is the next key.
    EXPECT_EQ("named by a class id", Str("{0C1D2E3F-4A5B-4C6D-8E7F-90A1B2C3D4E5}", nullptr));
}

TEST_F(ScriptRun, ReadsQuotedTokens) {
    ASSERT_EQ(S_OK, Register(
        "'Key With Spaces' = s 'it''s ''quoted'''\n"
        "'Q'= s 'glued to the quote'\n"
        "K2 '{' val z = s '' val 'a b' = s '{}' '}'\n"
        "'K3' { val '' = s 'default through val' }"));
    EXPECT_EQ("it's 'quoted'", Str("Key With Spaces", nullptr));
    EXPECT_EQ("glued to the quote", Str("Q", nullptr));
    EXPECT_EQ("", Str("K2", "z"));
    EXPECT_EQ("{}", Str("K2", "a b"));
    EXPECT_EQ("default through val", Str("K3", nullptr));
}

TEST_F(ScriptRun, KeywordsTypeLettersAndRootNamesIgnoreCase) {
    std::string text =
        "hkey_current_user { noremove SOFTWARE { NOREMOVE GlimmerdeckRegistrarTests {\n"
        "  FORCEREMOVE Upper = S 'u' { VAL n = D '7' }\n"
        "  forceremove lower = s 'l' { vAl b = B '01' }\n"
        "} } }";
    ASSERT_EQ(S_OK, RunText(text, true));
    EXPECT_EQ("u", Str("Upper", nullptr));
    EXPECT_EQ(REG_DWORD, ReadRaw(HKEY_CURRENT_USER, ScratchPath("Upper"), "n").type);
    EXPECT_EQ("l", Str("lower", nullptr));
    EXPECT_EQ(std::vector<BYTE>{1}, ReadRaw(HKEY_CURRENT_USER, ScratchPath("lower"), "b").data);
}

TEST_F(ScriptRun, AcceptsEmptyAndBlankScripts) {
    EXPECT_EQ(S_OK, RunText("", true));
    EXPECT_EQ(S_OK, RunText(" \r\n\t", true));
    EXPECT_EQ(S_OK, RunText("", false));
}

// ---- Variables -------------------------------------------------------------

TEST_F(ScriptRun, ExpandsVariablesWhateverTheirCase) {
    variables.Add(L"Other", L"%Module%");
    ASSERT_EQ(S_OK, Register(
        "V {\n"
        "  val lower = s '%module%'\n"
        "  val mixed = s '%Module%'\n"
        "  val upper = s '%MODULE%,101'\n"
        "  val percent = s '100%% sure'\n"
        "  val once = s '%other%'\n"
        "}"));
    // The path's quote was doubled for the script, so the token holds one.
    EXPECT_EQ("C:\\Apps\\O'Brien\\Glimmerdeck.dll", Str("V", "lower"));
    EXPECT_EQ("C:\\Apps\\O'Brien\\Glimmerdeck.dll", Str("V", "mixed"));
    EXPECT_EQ("C:\\Apps\\O'Brien\\Glimmerdeck.dll,101", Str("V", "upper"));
    EXPECT_EQ("100% sure", Str("V", "percent"));
    EXPECT_EQ("%Module%", Str("V", "once"));   // a value is not expanded again
}

TEST_F(ScriptRun, RefusesBadVariableReferencesBeforeTouchingAnything) {
    const std::string name31(31, 'n');
    const std::string name32(32, 'n');
    variables.Add(std::wstring(name31.begin(), name31.end()).c_str(), L"31");
    variables.Add(std::wstring(name32.begin(), name32.end()).c_str(), L"32");
    struct Case {
        const char* label;
        std::string reference;
        HRESULT expected;
    } cases[] = {
        { "name of 31 bytes", "%" + name31 + "%", S_OK },
        { "name of 32 bytes", "%" + name32 + "%", E_FAIL },
        { "unknown name",     "%nosuchname%",     DISP_E_EXCEPTION },
        { "no closing %",     "%module",          DISP_E_EXCEPTION },
        { "% at the end",     "%",                DISP_E_EXCEPTION },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        RemoveTree(HKEY_CURRENT_USER, ScratchPath("Made"));
        std::string text = InScratch("Made = s 'x'") + "HKCU { NoRemove Software { val never = s '" +
                           c.reference + "' } }";
        EXPECT_EQ(c.expected, RunText(text, true));
        // Expansion comes before any key is touched.
        EXPECT_EQ(c.expected == S_OK, Exists("Made"));
    }
    RegDeleteValueA(HKEY_CURRENT_USER, "Software\\never");
}

TEST(ScriptExpansion, GrowsItsBufferForLongValues) {
    ScriptVariables variables;
    std::wstring longValue(5000, L'v');
    longValue[4999] = L'e';
    ASSERT_EQ(S_OK, variables.Add(L"Long", longValue.c_str()));
    ScriptRunner runner(variables);
    char* expanded = nullptr;
    ASSERT_EQ(S_OK, runner.ExpandVariables("<%long%|%LONG%>", &expanded));
    std::string expected = "<" + std::string(4999, 'v') + "e|" + std::string(4999, 'v') + "e>";
    EXPECT_EQ(expected, std::string(expanded));
    CoTaskMemFree(expanded);
}

TEST(ScriptVariablesList, FindsTheFirstPairOfANameAndKeepsCopies) {
    ScriptVariables variables;
    wchar_t name[] = L"Name";
    wchar_t value[] = L"first";
    ASSERT_EQ(S_OK, variables.Add(name, value));
    name[0] = L'X';
    value[0] = L'X';                            // the list holds its own copies
    ASSERT_EQ(S_OK, variables.Add(L"NAME", L"second"));
    for (int i = 0; i < 25; ++i)                // past the first two doublings
        ASSERT_EQ(S_OK, variables.Add((L"v" + std::to_wstring(i)).c_str(), std::to_wstring(i).c_str()));
    ASSERT_EQ(27, variables.Count());
    ASSERT_NE(nullptr, variables.Find("name"));
    EXPECT_STREQ(L"first", variables.Find("name"));
    EXPECT_STREQ(L"24", variables.Find("V24"));
    EXPECT_EQ(nullptr, variables.Find("Xame"));
    variables.Clear();
    EXPECT_EQ(nullptr, variables.Find("name"));
    EXPECT_EQ(0, variables.Count());
}

// ---- Register pass: values -------------------------------------------------

TEST_F(ScriptRun, WritesValuesOfEachType) {
    struct Case {
        const char* entry;
        DWORD type;
        std::vector<BYTE> data;
    } cases[] = {
        { "val v = s 'text'",       REG_SZ,     { 't', 'e', 'x', 't', 0 } },
        { "val v = s ''",           REG_SZ,     { 0 } },
        { "val v = d '305419896'",  REG_DWORD,  { 0x78, 0x56, 0x34, 0x12 } },
        { "val v = d 4294967295",   REG_DWORD,  { 0xFF, 0xFF, 0xFF, 0xFF } },
        { "val v = b '0a1B'",       REG_BINARY, { 0x0A, 0x1B } },
        { "val v = b 'FFff00'",     REG_BINARY, { 0xFF, 0xFF, 0x00 } },
        { "val v = b 'zz1g'",       REG_BINARY, { 0x00, 0x10 } },   // other characters count as 0
        { "val v = b ''",           REG_BINARY, {} },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry);
        ASSERT_EQ(S_OK, Register(std::string("Values { ") + c.entry + " }"));
        RawValue value = ReadRaw(HKEY_CURRENT_USER, ScratchPath("Values"), "v");
        ASSERT_TRUE(value.found);
        EXPECT_EQ(c.type, value.type);
        EXPECT_EQ(c.data, value.data);
    }
}

// A value that cannot be written as asked fails the run; the root block is
// then taken back, so the key made before it is gone too.
TEST_F(ScriptRun, RefusedValuesFailTheRunAndRollBack) {
    struct Case {
        const char* entry;
        HRESULT expected;
    } cases[] = {
        { "val v = b '0a1'",        E_FAIL },
        { "val v = d 'twelve'",     DISP_E_TYPEMISMATCH },
        { "val v = d '4294967296'", DISP_E_OVERFLOW },
        { "val v = x 'y'",          DISP_E_EXCEPTION },
        { "val v = sz 'y'",         DISP_E_EXCEPTION },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry);
        EXPECT_EQ(c.expected, Register(std::string("Made { val ok = s 'x' }\nValues { ") + c.entry + " }"));
        EXPECT_FALSE(Exists("Made"));
        EXPECT_FALSE(Exists("Values"));
        EXPECT_TRUE(Exists(""));             // NoRemove
    }
}

// ---- Register pass: ForceRemove, Delete, protected names -------------------

TEST_F(ScriptRun, ForceRemoveRebuildsTheKeyFromScratch) {
    for (const char* form : { "ForceRemove Cls", "ForceRemove NoRemove Cls" }) {
        SCOPED_TRACE(form);
        Set("Cls", "hand", "added by hand");
        Set("Cls\\Sub\\Deep", nullptr, "deep");
        ASSERT_EQ(S_OK, Register(std::string(form) + " = s 'new' { val a = s '1' }"));
        EXPECT_EQ("new", Str("Cls", nullptr));
        EXPECT_EQ("1", Str("Cls", "a"));
        EXPECT_EQ("<missing>", Str("Cls", "hand"));
        EXPECT_FALSE(Exists("Cls\\Sub"));
    }
}

TEST_F(ScriptRun, DeleteRemovesTheTreeAndCreatesNothing) {
    Set("Gone\\Child\\Grandchild", "v", "x");
    Set("Gone", "w", "y");
    ASSERT_EQ(S_OK, Register("Delete Gone\nDelete Absent = s 'passed over'\nAfter = s 'still read'"));
    EXPECT_FALSE(Exists("Gone"));
    EXPECT_FALSE(Exists("Absent"));
    EXPECT_EQ("still read", Str("After", nullptr));
}

TEST_F(ScriptRun, NeverRemovesProtectedNames) {
    Set("CLSID\\{Other}", nullptr, "other class");
    Set("TypeLib\\{Lib}", nullptr, "other library");
    ASSERT_EQ(S_OK, Register("ForceRemove clsid { val mine = s 'x' }\nDelete TYPELIB"));
    EXPECT_EQ("other class", Str("CLSID\\{Other}", nullptr));
    EXPECT_EQ("x", Str("CLSID", "mine"));
    EXPECT_EQ("other library", Str("TypeLib\\{Lib}", nullptr));
}

// ---- Register pass: roll-back ----------------------------------------------

TEST_F(ScriptRun, RollsBackOnlyTheFailingRootBlock) {
    Set("Second\\Foreign", nullptr, "kept");   // not the script's: survives the roll-back
    std::string text =
        InScratch("First { val a = s 'one' }") +
        InScratch("Second { Inner { val b = s 'two' } }\nThird = s 'three'\nBroken = b '0a1'") +
        InScratch("Never = s 'not reached'");
    EXPECT_EQ(E_FAIL, RunText(text, true));
    EXPECT_EQ("one", Str("First", "a"));
    EXPECT_FALSE(Exists("Second\\Inner"));
    EXPECT_FALSE(Exists("Third"));
    EXPECT_FALSE(Exists("Broken"));
    EXPECT_FALSE(Exists("Never"));
    EXPECT_EQ("kept", Str("Second\\Foreign", nullptr));
}

// ---- Unregister pass -------------------------------------------------------

const char kAppScript[] =
    "Plain { val v = s 'x' }\r\n"
    "NoRemove Shared\r\n"
    "{\r\n"
    "\tForceRemove App = s 'app'\r\n"
    "\t{\r\n"
    "\t\tProgID = s 'App.1'\r\n"
    "\t\tServer = s 'x.dll' { val Model = s 'Apartment' }\r\n"
    "\t}\r\n"
    "}";

TEST_F(ScriptRun, UnregisterRemovesWhatRegisterMadeButNoRemoveKeys) {
    ASSERT_EQ(S_OK, Register(kAppScript));
    ASSERT_EQ("Apartment", Str("Shared\\App\\Server", "Model"));
    ASSERT_EQ(S_OK, Unregister(kAppScript));
    EXPECT_FALSE(Exists("Shared\\App"));
    EXPECT_FALSE(Exists("Plain"));
    EXPECT_TRUE(Exists("Shared"));                          // NoRemove, even though empty
    EXPECT_TRUE(SubkeyNames(HKEY_CURRENT_USER, ScratchPath("Shared")).empty());
}

TEST_F(ScriptRun, UnregisterDeletesValEntriesOfKeysItKeeps) {
    ASSERT_EQ(S_OK, Register("NoRemove Keep { val mine = s 'x' }"));
    Set("Keep", "theirs", "y");
    ASSERT_EQ(S_OK, Unregister("NoRemove Keep { val mine = s 'x' }"));
    EXPECT_EQ("<missing>", Str("Keep", "mine"));
    EXPECT_EQ("y", Str("Keep", "theirs"));
}

TEST_F(ScriptRun, NoRemoveHoldsForLaterKeysOfTheSameBlock) {
    const char* script = "First { val a = s 'x' }\nNoRemove Second\nThird { val b = s 'y' }";
    ASSERT_EQ(S_OK, Register(script));
    ASSERT_EQ(S_OK, Unregister(script));
    EXPECT_FALSE(Exists("First"));
    EXPECT_TRUE(Exists("Second"));
    EXPECT_TRUE(Exists("Third"));
    EXPECT_EQ("<missing>", Str("Third", "b"));
}

TEST_F(ScriptRun, UnregisterOfAMissingKeySkipsItsWholeBlock) {
    // The block names a value of the same name as one in the parent: a
    // missing key's block must not reach back to the parent.
    Set("", "v", "parent's own");
    ASSERT_EQ(S_OK, Unregister("Missing { val v = s 'x' Child { val v = s 'y' } }"));
    EXPECT_EQ("parent's own", Str("", "v"));
}

TEST(KeyContents, CountsOnlyNamedValuesAndSubkeys) {
    const std::string path = ScratchPath("Contents");
    struct Case {
        const char* label;
        std::vector<std::string> valueNames;   // "" is the default value
        bool subkey;
        bool hasNamedValue;
    } cases[] = {
        { "empty",                    {},                             false, false },
        { "lone default value",       { "" },                         false, false },
        { "lone named value",         { "n" },                        false, true },
        { "default and named",        { "", "n" },                    false, true },
        { "lone very long name",      { std::string(5000, 'L') },     false, true },
        { "subkey only",              {},                             true,  false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        RemoveTree(HKEY_CURRENT_USER, path);
        MakeKey(HKEY_CURRENT_USER, path);
        for (const std::string& name : c.valueNames) SetString(HKEY_CURRENT_USER, path, name.c_str(), "x");
        if (c.subkey) MakeKey(HKEY_CURRENT_USER, path + "\\Sub");
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key));
        EXPECT_EQ(c.hasNamedValue, KeyHasNamedValue(key));
        EXPECT_EQ(c.subkey, KeyHasSubkeys(key));
        RegCloseKey(key);
    }
    RemoveTree(HKEY_CURRENT_USER, kScratchPath);
}

// ---- Malformed scripts -----------------------------------------------------

// Each bad entry follows a key made in the same root block, so a refusal
// also shows the roll-back.
TEST_F(ScriptRun, RefusesMalformedEntries) {
    const std::string longToken(4095, 't');
    struct Case {
        const char* label;
        std::string entries;
        bool endsHere;   // the script ends with the entry: no closing braces
    } cases[] = {
        { "backslash in key name",           "Made\\Deeper = s 'x'",                          false },
        { "backslash after ForceRemove",     "ForceRemove A\\B",                             false },
        { "backslash after Delete",          "Delete A\\B",                                  false },
        { "val without =",                   "val v s 'x'",                                  false },
        { "block after val",                 "val v = s 'x' { Sub }",                        false },
        { "block after Delete",              "Delete Old { Sub }",                           false },
        { "keyword as key name",             "NoRemove ForceRemove Key",                     false },
        { "Delete of a value",               "Delete val v = s 'x'",                         false },
        { "empty key name",                  "'' = s 'x'",                                   false },
        { "unclosed quote",                  "Key = s 'never closed }",                      true },
        { "script ends inside a block",      "Key { val v = s 'x'",                          true },
        { "key name of 260 bytes",           std::string(260, 'k'),                          false },
        { "value name of 260 bytes",         "val " + std::string(260, 'n') + " = s 'x'",    false },
        { "unquoted token of 4095 bytes",    "val v = s " + longToken,                       false },
        { "quoted token of 4095 bytes",      "val v = s '" + longToken + "'",                false },
        { "quoted token of '' at the limit", "val v = s '" + std::string(4094, 't') + "'''", false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::string text = InScratch("Made { val v = s 'x' }\n" + c.entries);
        if (c.endsHere) text = text.substr(0, text.find(c.entries) + c.entries.size());
        EXPECT_EQ(DISP_E_EXCEPTION, RunText(text, true));
        EXPECT_FALSE(Exists("Made"));
        EXPECT_TRUE(Exists(""));
    }
}

TEST_F(ScriptRun, AcceptsTokensAndNamesUpToTheirLimits) {
    const std::string token(4094, 't');
    const std::string valueName(259, 'n');
    ASSERT_EQ(S_OK, Register("Limits { val plain = s " + token + " val quoted = s '" + token + "' val " +
                             valueName + " = s 'x' }"));
    EXPECT_EQ(token, Str("Limits", "plain"));
    EXPECT_EQ(token, Str("Limits", "quoted"));
    EXPECT_EQ("x", Str("Limits", valueName.c_str()));
}

TEST_F(ScriptRun, RefusesBadRootEntriesBeforeTouchingAnything) {
    struct Case {
        const char* label;
        std::string text;
    } cases[] = {
        { "unknown root name",      "HKEY_NOWHERE { Made = s 'x' }" + InScratch("Made = s 'x'") },
        { "root without {",         "HKCU NoRemove Software { }" },
        { "root name at the end",   "HKCU" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(DISP_E_EXCEPTION, RunText(c.text, true));
        EXPECT_FALSE(Exists("Made"));
    }
}

// An empty name after ForceRemove would stand for the parent key itself.
TEST_F(ScriptRun, ForceRemoveOfAnEmptyNameLeavesTheParentAlone) {
    Set("Precious", "v", "x");
    EXPECT_EQ(DISP_E_EXCEPTION, Register("ForceRemove ''"));
    EXPECT_EQ("x", Str("Precious", "v"));
}

TEST_F(ScriptRun, RefusesNestingDeeperThanTheRegistryAllows) {
    auto nested = [](int levels) {
        std::string text;
        for (int i = 0; i < levels; ++i) text += "a = d 1 { ";
        for (int i = 0; i < levels; ++i) text += "} ";
        return text;
    };
    // In the unregister pass a missing key's block is only walked over.
    EXPECT_EQ(DISP_E_EXCEPTION, Unregister("Missing { " + nested(100000) + "}"));
    // The register pass stops where the registry or the walk's limit does.
    EXPECT_EQ(DISP_E_EXCEPTION, Register("Deep { " + nested(600) + "}"));
}

}  // namespace
