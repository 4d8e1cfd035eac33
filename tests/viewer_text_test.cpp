// What the viewer shows of a page, without a window: the markup cut at the
// control's limit in the ANSI code page (run under 1252 and under the
// double-byte 932), and the guess that tells whether the text certainly
// needs the scroll bar.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include "viewer/CertainlyOverflows.h"
#include "viewer/ShownMarkup.h"

namespace {

std::string Shown(const wchar_t* markup, int limit)
{
    CString shown = ShownMarkup(markup, limit);
    return std::string(shown.c_str(), shown.GetLength());
}

} // namespace

TEST(ShownMarkup, CodePageIsTheOneTheLocaleAsksFor)
{
    // The run under ja_JP must really be double-byte, or it tests 1252 twice.
    const char* locale = getenv("LC_ALL");
    if (locale && strstr(locale, "ja_JP"))
        EXPECT_EQ(932u, GetACP());
    else
        EXPECT_EQ(1252u, GetACP());
}

// A line feed takes two characters of the control (a paragraph mark), a
// carriage return none, any other byte one; the cut keeps the most that fits.
TEST(ShownMarkup, CutKeepsWhatFitsCountingLineFeedsTwiceAndReturnsNever)
{
    struct Case { const wchar_t* markup; int limit; const char* shown; };
    const Case cases[] = {
        { L"abc", 3, "abc" },
        { L"abc", 2, "ab" },
        { L"abc", 1, "a" },
        { L"abc", 0, "" },
        { L"abc", -1, "" },
        { L"abc", 2147483647, "abc" },
        { L"", 10, "" },
        { nullptr, 10, "" },
        { L"a\nb", 4, "a\nb" },
        { L"a\nb", 3, "a\n" },
        { L"a\nb", 2, "a" },              // the line feed would make three
        { L"\n", 1, "" },
        { L"a\r\nb", 3, "a\r\n" },
        { L"a\rb", 1, "a\r" },            // a return costs nothing
        { L"\r\r\r", 1, "\r\r\r" },
        { L"ab\r\n\r\ncd", 6, "ab\r\n\r\n" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.shown, Shown(c.markup, c.limit)) << "limit " << c.limit;
}

TEST(ShownMarkup, NulEndsTheText)
{
    const wchar_t markup[] = { L'a', L'b', 0, L'c', L'd', 0 };
    EXPECT_EQ("ab", Shown(markup, 10));
    EXPECT_EQ("a", Shown(markup, 1));
}

// Under a double-byte code page a character of two bytes takes two places
// of the limit, and the cut never falls between its bytes; elsewhere it
// becomes one byte of the code page.
TEST(ShownMarkup, DoubleByteCharacterIsKeptWholeOrLeftOut)
{
    const wchar_t markup[] = L"a\x65E5\x672C" L"b";     // a, two kanji, b
    if (GetACP() == 932) {
        const std::string nichi = "\x93\xfa", hon = "\x96\x7b";
        struct Case { int limit; std::string shown; };
        const Case cases[] = {
            { 1, "a" }, { 2, "a" }, { 3, "a" + nichi }, { 4, "a" + nichi },
            { 5, "a" + nichi + hon }, { 6, "a" + nichi + hon + "b" },
        };
        for (const Case& c : cases) EXPECT_EQ(c.shown, Shown(markup, c.limit)) << "limit " << c.limit;
    } else {
        EXPECT_EQ("a?", Shown(markup, 2));
        EXPECT_EQ("a??b", Shown(markup, 4));
    }
}

// Every line is at least 8 pixels high, every line feed starts a line, and
// every byte from the space up is at least a pixel wide: the guess says yes
// only when even the narrowest layout needs more height than there is.
TEST(CertainlyOverflows, SaysYesOnlyWhenEvenTheNarrowestLayoutIsTooHigh)
{
    const std::string ten(9, '\n'), eleven(10, '\n');
    const std::string full(100, 'x'), over(101, 'x'), controls(300, '\t');
    struct Case { const char* text; int width; int height; bool overflows; const char* what; };
    const Case cases[] = {
        { nullptr, 100, 0, false, "no text" },
        { "", 100, 8, false, "an empty line in one line's height" },
        { "", 100, 7, true, "an empty line in less" },
        { "", 100, -5, true, "a height below zero counts as none" },
        { ten.c_str(), 100, 80, false, "ten lines in 80 pixels" },
        { eleven.c_str(), 100, 80, true, "eleven lines in 80 pixels" },
        { eleven.c_str(), 100, 88, false, "eleven lines in 88 pixels" },
        { full.c_str(), 100, 8, false, "a line of 100 bytes in 100 pixels" },
        { over.c_str(), 100, 8, true, "101 bytes in 100 pixels wrap" },
        { over.c_str(), 100, 16, false, "101 bytes in two lines' height" },
        { controls.c_str(), 1, 8, false, "bytes below the space take no width" },
        { "ab", 0, 8, true, "a width below one counts as one" },
        { "a", 0, 8, false, "one byte in a width of one" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.overflows, CertainlyOverflows(c.text, c.width, c.height)) << c.what;
}
