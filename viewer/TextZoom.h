#pragma once
#include <windows.h>

// Zoom of the viewer's text, in percent of the document's own size: the
// control's own zoom (EM_SETZOOM), which changes what is drawn and nothing
// of the text, its formats, what Copy takes or what Save writes.
const int kActualSize = 100;

// The next step from percent: direction above 0 in, below 0 out, 0 back to
// the actual size. The steps run from 50% to 400%; beyond them percent stays.
int NextZoom(int percent, int direction);

// Sets edit's zoom; false when the control does not take it.
bool ApplyZoom(HWND edit, int percent);
