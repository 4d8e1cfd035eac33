#include "viewer/RtfDocument.h"
#include "viewer/Highlighter.h"

namespace {

// The header fixes code page 1251 and language 1049 whatever the page; only
// the font entry's charset follows the page and the Encoding menu.
const char kHeader[] =
    "{\\rtf1\\ansi\\ansicpg1251\\uc1\\deff0\\stshfdbch0\\stshfloch0\\stshfhich0\\stshfbi0"
    "\\deflang1049\\deflangfe1049{\\fonttbl";
const char kFontEntryFormat[] =
    "{\\f0\\froman\\fcharset%i\\fprq2{\\*\\panose 02020603050405020304}Courier New;}";
const char kColourTable[] =
    "}{\\colortbl ;\\red0\\green0\\blue255;\\red0\\green128\\blue128;\\red0\\green110\\blue0;"
    "\\red130\\green130\\blue130;\\red128\\green0\\blue128;}\\viewkind4\\uc1\\pard\\f0\\fs20 ";
const char kTrailer[] = "\\par}";

} // namespace

int InitialCharsetState(int fontCharset)
{
    return fontCharset < 0 ? static_cast<int>(GetACP()) : fontCharset;
}

CString BuildRtfProlog(int charsetState)
{
    CString prolog;
    CString fontEntry;
    if (!fontEntry.Format(kFontEntryFormat, charsetState)) return prolog;
    if (!prolog.AssignText(kHeader, static_cast<int>(sizeof kHeader - 1))
        || !prolog.Append(fontEntry)
        || !prolog.Append(kColourTable, static_cast<int>(sizeof kColourTable - 1))) {
        return CString();
    }
    return prolog;
}

CString ComposeRtfDocument(const CString& prolog, const char* body, int bodyLength, const char* closingWords)
{
    CString document;
    if (prolog.IsEmpty() || bodyLength < 0 || (bodyLength > 0 && !body)) return document;
    if (!closingWords) closingWords = "";
    // One block of the final size: the body, the page's bulk, is copied once
    // instead of once per growing append.
    const int wordsLength = lstrlenA(closingWords);
    const int trailerLength = static_cast<int>(sizeof kTrailer - 1);
    const long long total = static_cast<long long>(prolog.GetLength()) + bodyLength + wordsLength + trailerLength;
    if (total > 0x7FFFFF00LL) return document;
    if (!document.GetWriteBuffer(static_cast<int>(total))) return document;
    document.ReleaseWriteBuffer(0);

    if (!document.Append(prolog)
        || (bodyLength > 0 && !document.Append(body, bodyLength))
        || (wordsLength > 0 && !document.Append(closingWords, wordsLength))
        || !document.Append(kTrailer, trailerLength)) {
        return CString();
    }
    return document;
}

CString BuildRtfDocument(const char* narrowMarkup, int charsetState)
{
    const CString prolog = BuildRtfProlog(charsetState);
    if (prolog.IsEmpty()) return CString();
    const CString body = HighlightMarkup(narrowMarkup);
    return ComposeRtfDocument(prolog, body.c_str(), body.GetLength(), "");
}
