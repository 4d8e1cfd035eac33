#include "server/Registrar.h"
#include <objbase.h>
#include <string.h>
#include <wchar.h>
#include "server/Handles.h"
#include "server/ModuleContext.h"
#include "server/ModuleState.h"
#include "server/ScriptRunner.h"

namespace {

// The last error as an HRESULT; a failure never turns into success because
// the call forgot to set an error.
HRESULT LastErrorResult()
{
    DWORD error = GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

}  // namespace

HRESULT RunScriptResource(const wchar_t* modulePath, WORD resourceId, const char* resourceType,
                          bool doRegister, const ScriptVariables& variables)
{
    if (!modulePath || !resourceType) return E_INVALIDARG;
    char path[MAX_PATH];
    if (!WideCharToMultiByte(CP_ACP, 0, modulePath, -1, path, MAX_PATH, nullptr, nullptr))
        return LastErrorResult();

    LibraryHandle module(ContextLoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module.IsValid()) return LastErrorResult();

    HRSRC resource = FindResourceA(module.Get(), MAKEINTRESOURCEA(resourceId), resourceType);
    HGLOBAL loaded = resource ? LoadResource(module.Get(), resource) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) return LastErrorResult();

    // The resource carries no terminating NUL of its own.
    DWORD size = SizeofResource(module.Get(), resource);
    TaskMemory<char> text(static_cast<char*>(CoTaskMemAlloc(size + 1)));
    if (!text.IsValid()) return E_OUTOFMEMORY;
    memcpy(text.Get(), bytes, size);
    text.Get()[size] = '\0';
    ScriptRunner runner(variables);
    return runner.Run(text.Get(), doRegister);
}

HRESULT ApplyRegistryScript(WORD resourceId, bool doRegister, const ScriptVariablePair* extra)
{
    ScriptVariables variables;

    // A path cut short would register another file's name: refuse it.
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(g_module.instance, path, MAX_PATH);
    if (length == 0) return LastErrorResult();
    if (length >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    path[length] = '\0';

    wchar_t widePath[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, MAX_PATH)) return LastErrorResult();

    // A variable that could not be stored is simply missing: a reference to
    // it then fails the expansion.
    TaskMemory<wchar_t> quotedPath(QuoteForScript(widePath));
    if (quotedPath.IsValid()) variables.Add(L"Module", quotedPath.Get());
    for (const ScriptVariablePair* pair = extra; pair && pair->name; ++pair)
        variables.Add(pair->name, pair->value);

    HRESULT hr = RunScriptResource(widePath, resourceId, "REGISTRY", doRegister, variables);
    variables.Clear();
    return hr;
}
