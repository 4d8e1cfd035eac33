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

CString BuildRtfDocument(const char* narrowMarkup, int charsetState)
{
    CString document;
    CString fontEntry;
    if (!fontEntry.Format(kFontEntryFormat, charsetState)) return document;
    CString body = HighlightMarkup(narrowMarkup);

    // One block of the final size: the body, the page's bulk, is copied once
    // instead of once per growing append.
    const int headerLength = static_cast<int>(sizeof kHeader - 1);
    const int colourLength = static_cast<int>(sizeof kColourTable - 1);
    const int trailerLength = static_cast<int>(sizeof kTrailer - 1);
    const long long total = static_cast<long long>(headerLength) + fontEntry.GetLength()
                          + colourLength + body.GetLength() + trailerLength;
    if (total > 0x7FFFFF00LL) return document;
    if (!document.GetWriteBuffer(static_cast<int>(total))) return document;
    document.ReleaseWriteBuffer(0);

    // A document without its body or its trailer would show a wrong page;
    // when any piece cannot be placed the document stays empty instead.
    if (!document.AssignText(kHeader, headerLength)
        || !document.Append(fontEntry)
        || !document.Append(kColourTable, colourLength)
        || (!body.IsEmpty() && !document.Append(body))
        || !document.Append(kTrailer, trailerLength)) {
        return CString();
    }
    return document;
}
