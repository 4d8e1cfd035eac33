#pragma once
#include "text/CString.h"

// Turns page markup (narrow, NUL-terminated, ANSI code page) into the coloured
// RTF body of the viewer's document. Null input gives an empty body.
CString HighlightMarkup(const char* input);

// The capacity of the buffer that holds the body of an input of `length`
// bytes: eight bytes for each input byte, or 8000 where that comes to less
// than 4000; 0 for an input too large for an int-sized buffer.
int HighlightCapacity(size_t length);

// The same conversion without the SSE2 block scan, as it runs on processors
// that lack SSE2; the output is identical.
CString HighlightMarkupWithoutSse2(const char* input);
