#pragma once
#include <windows.h>

// Deletes the key `name` under `parent` with every key below it. Returns the
// error code of the last registry call (the first failure ends the walk).
// An empty name is refused: it would mean the parent itself.
LONG DeleteKeyTree(HKEY parent, const char* name);

// Whether the key has at least one subkey (false when it cannot be asked).
bool KeyHasSubkeys(HKEY key);

// Whether the key has a value with a name; a lone default value does not count.
bool KeyHasNamedValue(HKEY key);
