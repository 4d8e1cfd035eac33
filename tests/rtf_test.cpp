#include <gtest/gtest.h>
#include <string>
#include "viewer/DocumentPieces.h"
#include "viewer/Highlighter.h"
#include "viewer/RtfDocument.h"

namespace {

const std::string kHeader =
    "{\\rtf1\\ansi\\ansicpg1251\\uc1\\deff0\\stshfdbch0\\stshfloch0\\stshfhich0\\stshfbi0"
    "\\deflang1049\\deflangfe1049{\\fonttbl";
const std::string kColourTable =
    "}{\\colortbl ;\\red0\\green0\\blue255;\\red0\\green128\\blue128;\\red0\\green110\\blue0;"
    "\\red130\\green130\\blue130;\\red128\\green0\\blue128;}\\viewkind4\\uc1\\pard\\f0\\fs20 ";
const std::string kTrailer = "\\par}";

std::string FontEntry(const std::string& charset)
{
    return "{\\f0\\froman\\fcharset" + charset + "\\fprq2{\\*\\panose 02020603050405020304}Courier New;}";
}

std::string Document(const char* markup, int charsetState)
{
    CString document = BuildRtfDocument(markup, charsetState);
    return std::string(document.c_str(), document.GetLength());
}

const std::string kAcp = std::to_string(GetACP());

} // namespace

TEST(RtfDocument, CharsetStateFallsBackToTheAnsiCodePage) {
    struct Case { int fontCharset; int state; };
    const Case cases[] = {
        { -1, static_cast<int>(GetACP()) }, { -7, static_cast<int>(GetACP()) },
        { 0, 0 }, { 204, 204 }, { 255, 255 }, { 1252, 1252 },
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.state, InitialCharsetState(c.fontCharset)) << "font charset " << c.fontCharset;
}

TEST(RtfDocument, EmptyMarkupGivesTheFramePiecesOnly) {
    struct Case { const char* markup; int state; std::string charset; };
    const Case cases[] = {
        { "", 0, "0" },
        { "", 204, "204" },
        { nullptr, 128, "128" },
        { "", InitialCharsetState(-1), kAcp },
        { "\r\r", 1252, "1252" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(kHeader + FontEntry(c.charset) + kColourTable + kTrailer, Document(c.markup, c.state))
            << "charset state " << c.state;
}

TEST(RtfDocument, WrapsTheHighlightedBody) {
    EXPECT_EQ(kHeader + FontEntry("0") + kColourTable
                  + "\\b <\\b0\\cf1 B\\cf0\\b >\\b0 x\\b <\\b0\\cf1 /B\\cf0\\b >\\b0 " + kTrailer,
              Document("<B>x</B>", 0));
    EXPECT_EQ(kHeader + FontEntry("-5") + kColourTable + "a\\par \nb" + kTrailer, Document("a\r\nb", -5));
}

TEST(RtfDocument, CarriesALargeBodyWhole) {
    std::string page;
    for (int i = 0; i < 20000; ++i) page += "<P CLASS=\"x\">line {" + std::to_string(i) + "}</P>\r\n";
    CString body = HighlightMarkup(page.c_str());
    std::string expected = kHeader + FontEntry(kAcp) + kColourTable + std::string(body.c_str(), body.GetLength())
                         + kTrailer;
    CString document = BuildRtfDocument(page.c_str(), InitialCharsetState(-1));
    EXPECT_EQ(expected, std::string(document.c_str(), document.GetLength()));
    // Built in one block of the final size, with no spare room.
    EXPECT_EQ(document.GetLength(), document.GetAllocLength());
}

// The first piece of a body that needs more than one states, before its
// closing paragraph mark, the colour and bold in force at the end of the
// whole body. Text backslashes come escaped in pairs: a word counts only when
// the backslashes right before it are even in number.
TEST(DocumentPieces, FirstPieceStatesTheFormatInForceAtTheEnd) {
    struct Case { const char* tail; const char* words; };
    const Case cases[] = {
        { "x\\\\\\\\\\cf3 y", "\\cf3 " },           // an escaped backslash, then \cf3
        { "x\\\\cf3 y", "" },                        // the text \cf3
        { "\\cf1 b\\\\\\cf2 c", "\\cf2 " },          // \cf1, a text backslash, \cf2
        { "\\cf1 b\\\\\\\\cf2 c", "\\cf1 " },        // \cf1, the text \\cf2
        { "\\b x\\\\b0 y", "\\b " },                 // \b, then the text \b0
        { "\\cf4\\b0 x\\cf0 y\\\\", "\\cf0\\b0 " },  // ends in a text backslash
        { "plain", "" },
    };
    for (const Case& c : cases) {
        const std::string body = std::string("firstline\n") + c.tail;
        CDocumentPieces pieces;
        pieces.Start(CString("{P"), CString(body.c_str()));
        CString piece;
        ASSERT_TRUE(pieces.Next(1, piece)) << c.tail;
        EXPECT_EQ(std::string("{Pfirstline\n") + c.words + "\\par}", std::string(piece.c_str(), piece.GetLength()))
            << c.tail;
        EXPECT_TRUE(pieces.HasMore()) << c.tail;
    }
}
