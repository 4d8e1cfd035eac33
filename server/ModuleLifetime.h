#pragma once
#include <windows.h>

// Process attach and detach of the module, apart from the class table, which
// the entry point handles itself. Test programs call these with their own
// instance so that the resources they link in are found.
void ModuleAttach(HINSTANCE instance);
void ModuleDetach();
