#pragma once
// What the viewer needs of the highlighted body as RTF, checked on any body.
// Built without coverage: the check steers nothing, and runs stay quick.
#include <stddef.h>

namespace model {

// Null when the body reads as RTF the way the viewer needs: each control word
// ends in a space or the next backslash, only backslash and braces are
// escaped, no brace stands alone, and bold ("\\b") covers exactly one angle
// bracket and is off again ("\\b0") before anything else and at the end;
// otherwise what is wrong.
const char* RtfBodyFault(const char* body, size_t length);

}  // namespace model
