#pragma once

// Whether the viewer wraps long lines: a REG_DWORD "WrapLongLines" beside
// the placement values, non-zero or 0. A value that is missing, of another
// type or of another size means on, the viewer's layout from the start.
bool ReadWrapLongLines();
// Registry failures are silent: the choice then lasts for this viewer only.
void WriteWrapLongLines(bool wrap);
