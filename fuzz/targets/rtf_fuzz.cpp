// The RTF document of any page, both ways it is made:
// - the converter's: BuildRtfDocument on arbitrary markup and charset states
//   is the fixed header, the font entry carrying the state as a signed
//   decimal, the colour table, the highlighted body exactly as
//   HighlightMarkup gives it, and the trailer, with nothing between them;
// - the viewer's: the page as wide text, cut at a text limit by ShownMarkup
//   (the most that fits, never inside a double-byte character), and its
//   pieces in sizes of every kind, which streamed in order leave the control
//   as the single document of the cut page does
//   (fuzz/models/RtfPiecesCheck.h).
#include "viewer/DocumentPieces.h"
#include "viewer/Highlighter.h"
#include "viewer/RtfDocument.h"
#include "viewer/ShownMarkup.h"
#include "fuzz/models/RtfPiecesCheck.h"
#include <fuzzer/FuzzedDataProvider.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

const char kHeader[] =
    "{\\rtf1\\ansi\\ansicpg1251\\uc1\\deff0\\stshfdbch0\\stshfloch0\\stshfhich0\\stshfbi0"
    "\\deflang1049\\deflangfe1049{\\fonttbl";
const char kColourTable[] =
    "}{\\colortbl ;\\red0\\green0\\blue255;\\red0\\green128\\blue128;\\red0\\green110\\blue0;"
    "\\red130\\green130\\blue130;\\red128\\green0\\blue128;}\\viewkind4\\uc1\\pard\\f0\\fs20 ";
const char kTrailer[] = "\\par}";

void Check(bool condition, const char* what)
{
    if (!condition) {
        fprintf(stderr, "rtf_fuzz: %s\n", what);
        abort();
    }
}

std::string Bytes(const CString& text)
{
    return std::string(text.c_str(), text.GetLength());
}

std::string Prolog(int state)
{
    char fontEntry[160];
    snprintf(fontEntry, sizeof(fontEntry),
             "{\\f0\\froman\\fcharset%d\\fprq2{\\*\\panose 02020603050405020304}Courier New;}", state);
    return std::string(kHeader) + fontEntry + kColourTable;
}

void CheckConverterDocument(const char* text, int state)
{
    CString document = BuildRtfDocument(text, state);
    const std::string expected = Prolog(state) + Bytes(HighlightMarkup(text)) + kTrailer;
    Check(Bytes(document) == expected, "document differs from its parts");
    Check(document.c_str()[document.GetLength()] == '\0', "document is not terminated");
}

// Places of the control that a narrow text takes: a line feed two, a
// return none, any other byte one.
long long Places(const std::string& text)
{
    long long places = 0;
    for (unsigned char c : text) places += c == '\r' ? 0 : c == '\n' ? 2 : 1;
    return places;
}

// The page's whole narrow form, and the cut of it that the viewer shows.
std::string CheckShownMarkup(const std::vector<wchar_t>& wide, int limit)
{
    const std::string shown = Bytes(ShownMarkup(wide.data(), limit));
    std::string whole;
    const int units = static_cast<int>(wcslen(wide.data()));
    if (units > 0) {
        const int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
        whole.resize(size);
        WideCharToMultiByte(CP_ACP, 0, wide.data(), units, &whole[0], size, nullptr, nullptr);
    }
    Check(whole.compare(0, shown.size(), shown) == 0, "the shown text is not the start of the page");
    if (limit <= 0) {
        Check(shown.empty(), "a limit of nothing shows text");
        return shown;
    }
    Check(Places(shown) <= limit, "the shown text passes the limit");
    // The cut falls between characters, and the next one would not fit.
    size_t at = 0;
    while (at < shown.size()) at += IsDBCSLeadByte(static_cast<BYTE>(whole[at])) && at + 1 < whole.size() ? 2 : 1;
    Check(at == shown.size(), "the cut falls inside a double-byte character");
    if (shown.size() < whole.size()) {
        const size_t next = IsDBCSLeadByte(static_cast<BYTE>(whole[at])) && at + 1 < whole.size() ? 2 : 1;
        Check(Places(shown) + Places(whole.substr(at, next)) > limit, "the cut leaves out text that fits");
    }
    return shown;
}

// Piece sizes of every kind, from a byte or two up to beyond the page.
class PieceSizes {
public:
    explicit PieceSizes(uint32_t seed) : m_state(seed | 1) {}
    int Next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        static const int kScales[] = { 4, 32, 512, 16384 };
        return 1 + static_cast<int>((m_state >> 2) % kScales[m_state & 3]);
    }

private:
    uint32_t m_state;
};

void CheckViewerPieces(const std::string& shown, int state, uint32_t seed)
{
    const CString document = BuildRtfDocument(shown.c_str(), state);
    const CString prolog = BuildRtfProlog(state);
    Check(Bytes(prolog) == Prolog(state), "the prolog differs from its parts");

    CDocumentPieces pieces;
    pieces.Start(prolog, HighlightMarkup(shown.c_str()));
    PieceSizes sizes(seed);
    std::vector<std::string> streamed;
    while (pieces.HasMore()) {
        const int before = pieces.HandedOut();
        CString piece;
        Check(pieces.Next(sizes.Next(), piece), "a piece could not be made");
        Check(streamed.empty() || pieces.HandedOut() > before, "a later piece hands out nothing");
        streamed.push_back(Bytes(piece));
    }
    CString none;
    Check(!pieces.Next(1, none), "a piece came after the last");
    if (const char* fault = model::RtfPiecesFault(Bytes(document), Bytes(prolog), streamed)) Check(false, fault);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const int charset = in.ConsumeIntegral<int>();
    const bool absent = in.ConsumeProbability<float>() < 0.01f;
    const uint16_t limitDraw = in.ConsumeIntegral<uint16_t>();
    const uint32_t seed = in.ConsumeIntegral<uint32_t>();
    const std::string markup = in.ConsumeRemainingBytesAsString();

    const int state = InitialCharsetState(charset);
    Check(state == (charset < 0 ? static_cast<int>(GetACP()) : charset), "initial charset state differs");
    CheckConverterDocument(absent ? nullptr : markup.c_str(), state);

    // The page as the browser hands it over: wide text, up to its first NUL.
    std::vector<wchar_t> wide(markup.size() + 1, 0);
    if (!markup.empty() && markup[0])
        MultiByteToWideChar(CP_ACP, 0, markup.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    const int units = static_cast<int>(wcslen(wide.data()));
    // From below nothing to beyond the whole page.
    const int limit = static_cast<int>(limitDraw % (2 * units + 3)) - 1;
    const std::string shown = CheckShownMarkup(wide, limit);
    CheckViewerPieces(shown, state, seed);
    return 0;
}
