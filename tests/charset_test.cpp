#include <gtest/gtest.h>
#include <string>
#include "capture/CharsetFromMeta.h"

namespace {

// Stands for the ANSI code page in the tables: the "utf-" rule yields it.
const int kAcp = -1000;

struct Case {
    const char* markup;     // lower-cased, as the page capture hands it over
    int expected;
};

int Resolve(const char* markup)
{
    return CharsetFromMeta(CString(markup));
}

int Expected(int expected)
{
    return expected == kAcp ? static_cast<int>(GetACP()) : expected;
}

// The run under another code page sets LC_ALL; make sure it took effect, or
// the double-byte cases would silently test the single-byte code page again.
TEST(Charset, RunsInTheCodePageTheLocaleAsksFor) {
    char locale[64] = "";
    GetEnvironmentVariableA("LC_ALL", locale, sizeof locale);
    if (std::string(locale).compare(0, 5, "ja_JP") == 0) {
        ASSERT_EQ(932u, GetACP());
        EXPECT_TRUE(IsDBCSLeadByte(0x82));
    }
}

TEST(Charset, EachRuleYieldsItsCharset) {
    const Case cases[] = {
        { "charset=windows-1250", 238 }, { "charset=windows-1251", 204 }, { "charset=windows-1252", 0 },
        { "charset=windows-1253", 161 }, { "charset=windows-1254", 162 }, { "charset=windows-1255", 177 },
        { "charset=windows-1256", 178 }, { "charset=windows-1257", 186 },
        { "charset=iso-8859-1", 0 }, { "charset=iso-8859-2", 238 }, { "charset=iso-8859-3", 162 },
        { "charset=iso-8859-4", 186 }, { "charset=iso-8859-5", 204 }, { "charset=iso-8859-6", 178 },
        { "charset=iso-8859-7", 161 }, { "charset=iso-8859-8", 177 }, { "charset=iso-8859-9", 162 },
        { "charset=koi8-r", 204 }, { "charset=koi8-u", 204 }, { "charset=ks_c_5601-1987", 129 },
        { "charset=latin1", 0 }, { "charset=latin2", 238 }, { "charset=latin4", 186 }, { "charset=latin5", 162 },
        { "charset=shift_jis", 128 }, { "charset=greek", 161 }, { "charset=visual", 177 },
        { "charset=arabic", 178 }, { "charset=asmo-708", 178 }, { "charset=big5", 136 },
        { "charset=chinese", 136 }, { "charset=cn-gb", 136 }, { "charset=cyrillic", 204 },
        { "charset=utf-8", kAcp },
    };
    for (const Case& c : cases)
        EXPECT_EQ(Expected(c.expected), Resolve(c.markup)) << c.markup;
}

TEST(Charset, FirstMatchingRuleInTableOrderWins) {
    const Case cases[] = {
        { "<meta http-equiv=\"content-type\" content=\"text/html; charset=windows-1251\">", 204 },
        { "<meta charset=\"iso-8859-2\">", 238 },
        { "charset=utf-16", kAcp },
        { "charset=x-utf-7", kAcp },
        // "iso-8859-1" is a prefix of these and comes first.
        { "charset=iso-8859-15", 0 },
        { "charset=iso-8859-13", 0 },
        { "charset=x-mac-cyrillic", 204 },
        // A name elsewhere in the element counts, and an earlier rule beats "utf-".
        { "<meta charset=\"utf-8\" content=\"windows-1251\">", 204 },
        { "<meta name=\"koi\" charset=\"big5\">", 204 },
        { "<meta charset=\"utf-8\" name=\"chinese\">", 136 },
    };
    for (const Case& c : cases)
        EXPECT_EQ(Expected(c.expected), Resolve(c.markup)) << c.markup;
}

TEST(Charset, UnknownNamesYieldMinusOne) {
    const char* const cases[] = {
        "charset=gb2312", "charset=euc-kr", "charset=us-ascii", "charset=windows-1258", "charset=latin3",
        "charset=euc-jp", "charset=iso-2022-jp", "<meta charset>", "",
        // Patterns are lower case: the capture lower-cases first.
        "charset=WINDOWS-1251", "charset=UTF-8",
    };
    for (const char* markup : cases)
        EXPECT_EQ(-1, Resolve(markup)) << markup;
}

// In a double-byte code page a match begins only at a character boundary:
// after the lead byte 0x82 the "k" is a trail byte, so "koi" is not there.
TEST(Charset, MatchesOnlyAtCharacterBoundaries) {
    const bool doubleByte = IsDBCSLeadByte(0x82) != FALSE;
    EXPECT_EQ(doubleByte ? -1 : 204, Resolve("charset=\x82koi8-r"));
    // A whole double-byte character before the name does not hide it.
    EXPECT_EQ(204, Resolve("charset=\x82\xA0koi8-r"));
    EXPECT_EQ(doubleByte ? -1 : 128, Resolve("\x82shift"));
    EXPECT_EQ(Expected(kAcp), Resolve("\x82\x82utf-8"));
}

} // namespace
