#pragma once
#include "text/CString.h"

// The charset state a viewer starts with: the font charset number, or the
// ANSI code page identifier when the page declares none (negative).
int InitialCharsetState(int fontCharset);

// Everything the document holds before its body: header, font table with
// the charset state, colour table and the start of the text.
CString BuildRtfProlog(int charsetState);

// The whole RTF document the viewer streams into its control: header, font
// table with the charset state, colour table, highlighted body, trailer.
CString BuildRtfDocument(const char* narrowMarkup, int charsetState);
