#pragma once
#include "text/CString.h"

// Turns page markup (narrow, NUL-terminated, ANSI code page) into the coloured
// RTF body of the viewer's document. Null input gives an empty body.
CString HighlightMarkup(const char* input);
