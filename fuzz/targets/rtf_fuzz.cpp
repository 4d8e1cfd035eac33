// BuildRtfDocument on arbitrary markup and charset states: the fixed header,
// the font entry carrying the state as a signed decimal, the colour table,
// the highlighted body exactly as HighlightMarkup gives it, and the trailer,
// with nothing between them.
#include "viewer/RtfDocument.h"
#include "viewer/Highlighter.h"
#include <fuzzer/FuzzedDataProvider.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    int charset = in.ConsumeIntegral<int>();
    bool absent = in.ConsumeProbability<float>() < 0.01f;
    std::string markup = in.ConsumeRemainingBytesAsString();

    int state = InitialCharsetState(charset);
    Check(state == (charset < 0 ? static_cast<int>(GetACP()) : charset), "initial charset state differs");

    const char* text = absent ? nullptr : markup.c_str();
    CString document = BuildRtfDocument(text, state);
    CString body = HighlightMarkup(text);

    char fontEntry[160];
    snprintf(fontEntry, sizeof(fontEntry),
             "{\\f0\\froman\\fcharset%d\\fprq2{\\*\\panose 02020603050405020304}Courier New;}", state);
    std::string expected = std::string(kHeader) + fontEntry + kColourTable +
                           std::string(body.c_str(), body.GetLength()) + kTrailer;

    Check(document.GetLength() == static_cast<int>(expected.size()), "document length differs");
    Check(memcmp(document.c_str(), expected.data(), expected.size()) == 0, "document differs from its pieces");
    Check(document.c_str()[document.GetLength()] == '\0', "document is not terminated");
    return 0;
}
