// The search over the viewer's shown text, its lines, and the positions it
// gives the text control, without a window. The same program runs under a
// double-byte code page (932), where a match never starts inside a
// character and case folding leaves double-byte characters alone.
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include "viewer/TextSearch.h"

namespace {

const unsigned kDown = CTextSearch::kDown;
const unsigned kCase = CTextSearch::kMatchCase;
const unsigned kWord = CTextSearch::kWholeWord;

struct SearchCase {
    const char* text;
    const char* what;
    int from;
    unsigned options;
    int expected;
};

} // namespace

TEST(TextSearch, FindsAsNotepadDoesWithoutWrapping)
{
    const SearchCase cases[] = {
        { "alpha Beta beta", "beta", 0, kDown, 6 },
        { "alpha Beta beta", "beta", 0, kDown | kCase, 11 },
        { "alpha Beta beta", "beta", 7, kDown, 11 },
        { "alpha Beta beta", "beta", 12, kDown, -1 },                  // no wrapping at the end
        { "alpha Beta beta", "beta", 15, 0, 11 },                      // up: wholly before from
        { "alpha Beta beta", "beta", 14, 0, 6 },
        { "alpha Beta beta", "alpha", 3, 0, -1 },                      // no wrapping at the top
        { "xbeta beta_ beta. BETA", "beta", 0, kDown | kWord, 12 },
        { "xbeta beta_ beta. BETA", "beta", 13, kDown | kWord, 18 },
        { "xbeta beta_ beta. BETA", "beta", 22, kWord, 18 },
        { "beta9 beta", "beta", 0, kDown | kWord, 6 },
        { "(beta)", "beta", 0, kDown | kWord, 1 },
        { "aaa", "aa", 0, kDown, 0 },
        { "aaa", "aa", 1, kDown, 1 },
        { "aaa", "aa", 3, 0, 1 },
        { "short", "longer than the text", 0, kDown, -1 },
        { "text", "", 0, kDown, -1 },
        { "line\r\nnext", "\r\nn", 0, kDown, 4 },
        { "caf\xC9 CAF\xE9", "caf\xE9", 0, kDown, 0 },                  // folded as code page 1252 folds
        { "end", "end", 99, 0, 0 },                                    // from past the end
        { "end", "end", -5, kDown, 0 },
    };
    if (GetACP() != 1252) GTEST_SKIP() << "the cases are written in code page 1252";
    for (const SearchCase& c : cases) {
        CTextSearch search;
        search.SetText(CString(c.text));
        EXPECT_EQ(c.expected, search.Find(c.what, c.from, c.options))
            << "\"" << c.what << "\" in \"" << c.text << "\" from " << c.from << " options " << c.options;
    }
}

TEST(TextSearch, DoubleByteCharactersAreNeverSplitOrFolded)
{
    if (GetACP() != 932) GTEST_SKIP() << "needs code page 932 (LC_ALL=ja_JP.UTF-8), not " << GetACP();
    // 0x83 0x41 is katakana A: its trail byte is an 'A'. 0x82 0x60 is the
    // full-width A, whose trail byte is a back-quote; 0x82 0x81 its lower case.
    const SearchCase cases[] = {
        { "\x83\x41 A", "A", 0, kDown, 3 },                     // not the trail byte of katakana A
        { "\x83\x41 A", "a", 0, kDown, 3 },
        { "\x83\x41 A", "A", 3, 0, -1 },
        { "x\x83\x41", "\x83\x41", 0, kDown, 1 },
        { "\x82\x60 \x82\x81", "\x82\x81", 0, kDown, 3 },        // full-width letters are not folded
        { "\x83\x41word \x83\x41", "word", 0, kDown | kWord, -1 },   // a double-byte neighbour is a letter
        { "a\n\x83\x41\x83\x41", "A", 0, kDown | kCase, -1 },
        { "\x83\x41\x83\x41 A\x83\x41", "A", 99, 0, 5 },
        { "\x83\x41\x83\x41 A\x83\x41", "A", 5, 0, -1 },
    };
    for (const SearchCase& c : cases) {
        CTextSearch search;
        search.SetText(CString(c.text));
        EXPECT_EQ(c.expected, search.Find(c.what, c.from, c.options)) << "case \"" << c.text << "\" / \"" << c.what << "\"";
    }
}

TEST(TextSearch, LinesEndAtLfCrLfAndALoneCr)
{
    struct LineCase {
        const char* text;
        int lines;
        int starts[5];      // of lines 1 to 5; -1 beyond the last
    };
    const LineCase cases[] = {
        { "", 1, { 0, -1, -1, -1, -1 } },
        { "one", 1, { 0, -1, -1, -1, -1 } },
        { "one\ntwo\nthree", 3, { 0, 4, 8, -1, -1 } },
        { "one\rtwo\rthree", 3, { 0, 4, 8, -1, -1 } },
        { "one\r\ntwo\r\nthree", 3, { 0, 5, 10, -1, -1 } },
        { "a\n\r\n\rb", 4, { 0, 2, 4, 5, -1 } },
        { "ends\n", 2, { 0, 5, -1, -1, -1 } },
    };
    for (const LineCase& c : cases) {
        CTextSearch search;
        search.SetText(CString(c.text));
        EXPECT_EQ(c.lines, search.LineCount()) << c.text;
        EXPECT_EQ(-1, search.LineStart(0));
        for (int line = 1; line <= 5; ++line) {
            EXPECT_EQ(c.starts[line - 1], search.LineStart(line)) << "line " << line << " of \"" << c.text << "\"";
            if (c.starts[line - 1] >= 0) {
                EXPECT_EQ(line, search.LineOf(c.starts[line - 1]));
            }
        }
    }
    CTextSearch crlf;
    crlf.SetText(CString("ab\r\ncd"));
    EXPECT_EQ(1, crlf.LineOf(3)) << "between CR and LF";
    EXPECT_EQ(2, crlf.LineOf(4));
}

// As the control counts: a line feed is a paragraph mark of two positions, a
// carriage return none, a character one, also a double-byte one when the
// control reads the text in a double-byte code page.
TEST(TextSearch, PositionsAreTheControlsCharacterPositions)
{
    CTextSearch search;
    search.SetText(CString("ab\r\ncd\ref\n\x93\xfa\x8c\xeaxy"));
    const int offsets[] = { 0, 2, 3, 4, 6, 7, 9, 10, 12, 14, 16 };
    const LONG single[] = { 0, 2, 2, 4, 6, 6, 8, 10, 12, 14, 16 };
    const LONG japanese[] = { 0, 2, 2, 4, 6, 6, 8, 10, 11, 12, 14 };
    for (size_t i = 0; i < sizeof offsets / sizeof offsets[0]; ++i) {
        EXPECT_EQ(single[i], search.PositionOf(offsets[i], 1252)) << "offset " << offsets[i];
        EXPECT_EQ(japanese[i], search.PositionOf(offsets[i], 932)) << "offset " << offsets[i];
        // Back from a position: the first byte that has it, past any CR.
        const int back = search.OffsetOf(single[i], 1252);
        EXPECT_EQ(single[i], search.PositionOf(back, 1252));
        EXPECT_EQ(japanese[i], search.PositionOf(search.OffsetOf(japanese[i], 932), 932));
    }
    EXPECT_EQ(search.Length(), search.OffsetOf(100000, 1252));
    EXPECT_EQ(932u, ControlCodePage(SHIFTJIS_CHARSET));
    EXPECT_EQ(1251u, ControlCodePage(RUSSIAN_CHARSET));
    EXPECT_EQ(GetACP(), ControlCodePage(1252)) << "a code page number is no charset";
    EXPECT_EQ(GetACP(), ControlCodePage(-1));
}
