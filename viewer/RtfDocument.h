#pragma once
#include "text/CString.h"

// The charset state a viewer starts with: the font charset number, or the
// ANSI code page identifier when the page declares none (negative).
int InitialCharsetState(int fontCharset);

// Everything the document holds before its body: header, font table with
// the charset state, colour table and the start of the text.
CString BuildRtfProlog(int charsetState);

// A whole document: the prolog, bodyLength bytes of body, the closing words
// (format words that the final paragraph mark takes, or none) and the
// trailer, in one block of the final size. Empty when it cannot be made: a
// document without its body or its trailer would show a wrong page.
CString ComposeRtfDocument(const CString& prolog, const char* body, int bodyLength, const char* closingWords);

// The whole RTF document the viewer streams into its control: header, font
// table with the charset state, colour table, highlighted body, trailer.
CString BuildRtfDocument(const char* narrowMarkup, int charsetState);
