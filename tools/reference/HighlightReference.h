#pragma once
// The highlighter's conversion table read the plain way: one byte at a time,
// one switch per byte, the text that each row writes spelled out, no block
// copies. The tests, the fuzz targets and the benchmark hold HighlightMarkup
// to this reading; the buffer's capacity comes from the product's own rule
// (HighlightCapacity in viewer/Highlighter.h).
//
// The pass ends after the step that leaves fewer than 256 bytes of room. A run
// of one blank, or of letters and digits after an ordinary byte, is copied
// within its step but cut at the capacity, which also ends the pass.
#include <stddef.h>
#include <string>

// The body for NUL-terminated input, written into out, which has room for
// capacity bytes and a NUL (capacity at least 256); returns its length.
size_t ReferenceHighlight(const char* input, char* out, size_t capacity);

// The same body as a string; any capacity, (size_t)-1 for no cut at all.
std::string ReferenceHighlight(const char* input, size_t capacity);
