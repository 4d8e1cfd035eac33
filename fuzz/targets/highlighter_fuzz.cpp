// HighlightMarkup on arbitrary markup: byte for byte the plain reading of the
// conversion table (tools/reference/HighlightReference.h), cut-off included;
// the buffer sized by the capacity rule and never written past; the body never
// ends inside a control word, opens no group and leaves bold off after every
// bold character (fuzz/models/RtfBodyCheck.h).
#include "viewer/Highlighter.h"
#include "fuzz/models/RtfBodyCheck.h"
#include "tools/reference/HighlightReference.h"
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <memory>
#include <string>

namespace {

void Fail(const char* what, const CString& body)
{
    fprintf(stderr, "highlighter_fuzz: %s (body of %d bytes in a block of %d)\n", what, body.GetLength(),
            body.GetAllocLength());
    abort();
}

void CheckBody(const CString& body, const std::string& expected, int capacity)
{
    if (body.GetAllocLength() != capacity) Fail("the buffer is not of the capacity the rules give", body);
    if (body.GetLength() > body.GetAllocLength()) Fail("the body is longer than its buffer", body);
    if (body.c_str()[body.GetLength()] != '\0') Fail("the body is not terminated", body);
    if (body.GetLength() != static_cast<int>(expected.size()) ||
        memcmp(body.c_str(), expected.data(), expected.size()) != 0) {
        size_t at = 0;
        while (at < expected.size() && at < static_cast<size_t>(body.GetLength()) && body.c_str()[at] == expected[at]) ++at;
        fprintf(stderr, "highlighter_fuzz: body differs from the table at byte %zu (lengths %d and %zu)\n", at,
                body.GetLength(), expected.size());
        abort();
    }
    if (const char* fault = model::RtfBodyFault(body.c_str(), body.GetLength())) Fail(fault, body);
}

void Run(const char* text, size_t size)
{
    // Exactly the input and its NUL on the heap: a read past it is caught.
    std::unique_ptr<char[]> input(new char[size + 1]);
    memcpy(input.get(), text, size);
    input[size] = '\0';

    const int capacity = HighlightCapacity(strlen(input.get()));
    const std::string expected = ReferenceHighlight(input.get(), static_cast<size_t>(capacity));
    // Both forms of the pass: with the SSE2 block scan and without it.
    CheckBody(HighlightMarkup(input.get()), expected, capacity);
    CheckBody(HighlightMarkupWithoutSse2(input.get()), expected, capacity);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool checkedAbsent = false;
    if (!checkedAbsent) {
        CString none = HighlightMarkup(nullptr);
        if (!none.IsSharedEmpty()) Fail("absent input gave a block", none);
        checkedAbsent = true;
    }
    Run(reinterpret_cast<const char*>(data), size);

    // Pages whose output outgrows eight bytes per input byte are cut off.
    // Tags that grow twelvefold, as many as the last two bytes say, bring
    // the rest of the input to wherever the cut-off falls.
    if (size < 2) return 0;
    size_t pairs = (data[size - 2] | data[size - 1] << 8) % 1500;
    std::string grown;
    for (size_t i = 0; i < pairs; ++i) grown += "<>";
    grown.append(reinterpret_cast<const char*>(data), size - 2);
    Run(grown.data(), grown.size());
    return 0;
}
