#pragma once
#include <windows.h>
#include "server/ScriptVariables.h"

// Runs the registry script held in the module's resources (type "REGISTRY")
// in the register pass (doRegister true) or the unregister pass. The script
// sees the variable "Module" (the module's file path, quotes doubled) and the
// pairs of `extra`, which ends with a pair whose name is null.
HRESULT ApplyRegistryScript(WORD resourceId, bool doRegister, const ScriptVariablePair* extra);

// Loads `modulePath` as a data file, takes the script resource
// (resourceId, resourceType) from it and runs it with `variables`.
HRESULT RunScriptResource(const wchar_t* modulePath, WORD resourceId, const char* resourceType,
                          bool doRegister, const ScriptVariables& variables);
