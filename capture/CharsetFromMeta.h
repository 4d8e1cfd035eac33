#pragma once
#include "text/CString.h"

// Font charset number for the lower-cased narrow markup of a META element:
// a GDI character set, the ANSI code page for "utf-" names, or -1.
int CharsetFromMeta(const CString& text);
