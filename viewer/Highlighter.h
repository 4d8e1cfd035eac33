#pragma once
#include "text/CString.h"

// Turns page markup (narrow, NUL-terminated, ANSI code page) into the coloured
// RTF body of the viewer's document. Null input gives an empty body.
CString HighlightMarkup(const char* input);

// The same conversion without the SSE2 block scan, as it runs on processors
// that lack SSE2; the output is identical.
CString HighlightMarkupWithoutSse2(const char* input);
