#pragma once
// The conversion table of the highlighter read the plain way: one byte at a
// time, one switch per byte, the text that each row emits written out, no
// block copies. The fuzz targets hold the product to this reading. Built
// without coverage: the model and the checks steer nothing, and runs stay quick.
#include <string.h>
#include <string>

namespace model {

// Capacity of the output buffer for an input of `length` bytes.
inline long long Capacity(size_t length)
{
    long long capacity = 8LL * static_cast<long long>(length);
    return capacity < 4000 ? 8000 : capacity;
}

// The body for NUL-terminated input. A run is copied within its step but
// cut where the buffer ends, which also ends the pass.
std::string Highlight(const char* input);

// Null when the body reads as RTF the way the viewer needs: each control word
// ends in a space or the next backslash, only backslash and braces are
// escaped, no brace stands alone, and bold ("\\b") covers exactly one angle
// bracket and is off again ("\\b0") before anything else and at the end;
// otherwise what is wrong.
const char* RtfBodyFault(const char* body, size_t length);

}  // namespace model
