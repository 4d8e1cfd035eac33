#pragma once

// Whether text laid out in a client area of width by height pixels certainly
// needs more height than that: every line is at least 8 pixels high, every
// line feed starts a line, and every byte from the space up is at least one
// pixel wide.
bool CertainlyOverflows(const char* text, int width, int height);
