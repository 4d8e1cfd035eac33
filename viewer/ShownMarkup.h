#pragma once
#include "text/CString.h"

// The part of the page that the control can show: the markup converted to
// the ANSI code page and cut so that the control holds at most
// characterLimit characters. A line feed becomes a paragraph mark of two
// characters and a carriage return none; any other byte counts as one
// character, which no charset of the Encoding menu exceeds. The cut never
// splits a double-byte character of the code page. An embedded NUL ends the
// text, as it ends every narrow text.
CString ShownMarkup(const wchar_t* markup, int characterLimit);
