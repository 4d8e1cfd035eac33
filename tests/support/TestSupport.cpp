#include "support/TestSupport.h"
#include <stdio.h>

std::string ProgramFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    size_t slash = folder.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

bool RunningOnWine()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

std::string ModuleScriptFile()
{
    std::string script;
    FILE* file = fopen((ProgramFolder() + "Registration.script").c_str(), "rb");
    if (!file) return script;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) script.append(chunk, n);
    fclose(file);
    return script;
}
