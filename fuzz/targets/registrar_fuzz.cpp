// The registrar on arbitrary script text, with the module's one variable
// "Module" (a path holding a quote): the expansion equals a plain reading of
// its rules; the register pass and then the unregister pass run against a
// small registry kept in memory and never read past the text (the text sits
// at the end of its heap block, and spare capacity never holds a NUL); every
// key opened is closed again; names handed to the registry hold no
// backslash; string values carry their NUL; the result is one the registrar
// documents.
#include "server/ScriptRunner.h"
#include "server/ScriptVariables.h"
#include "fuzz/platform/HostPlatform.h"
#include "fuzz/models/MemoryRegistry.h"
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <memory>
#include <string>

namespace {

const wchar_t kModulePath[] = L"C:\\Program Files\\Glim'mer\\Glimmerdeck.dll";
const char kModuleValue[] = "C:\\Program Files\\Glim''mer\\Glimmerdeck.dll";

void Check(bool condition, const char* what)
{
    if (!condition) {
        fprintf(stderr, "registrar_fuzz: %s\n", what);
        abort();
    }
}

bool SameNameIgnoringCase(const char* name, size_t length, const char* wanted)
{
    if (length != strlen(wanted)) return false;
    for (size_t i = 0; i < length; ++i) {
        char c = name[i];
        if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
        if (c != wanted[i]) return false;
    }
    return true;
}

// The expansion read plainly: characters copied whole, "%%" as one percent
// sign, "%module%" in any case as the quoted path; anything else fails.
HRESULT ModelExpand(const char* text, std::string* out)
{
    for (const char* p = text; *p;) {
        size_t bytes = (IsDBCSLeadByte(static_cast<BYTE>(*p)) && p[1]) ? 2 : 1;
        if (*p != '%') {
            out->append(p, bytes);
            p += bytes;
            continue;
        }
        if (p[1] == '%') {
            *out += '%';
            p += 2;
            continue;
        }
        const char* name = p + 1;
        const char* end = name;
        while (*end && *end != '%') end += (IsDBCSLeadByte(static_cast<BYTE>(*end)) && end[1]) ? 2 : 1;
        if (!*end) return DISP_E_EXCEPTION;
        if (end - name > 31) return E_FAIL;
        if (!SameNameIgnoringCase(name, end - name, "module")) return DISP_E_EXCEPTION;
        *out += kModuleValue;
        p = end + 1;
    }
    return S_OK;
}

bool Documented(HRESULT hr)
{
    return hr == S_OK || hr == DISP_E_EXCEPTION || hr == E_FAIL || hr == E_OUTOFMEMORY ||
           hr == DISP_E_TYPEMISMATCH || hr == DISP_E_OVERFLOW;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The text and its NUL end their heap block: a read past them is caught.
    std::unique_ptr<char[]> text(new char[size + 1]);
    memcpy(text.get(), data, size);
    text[size] = '\0';

    ScriptVariables variables;
    wchar_t* quoted = QuoteForScript(kModulePath);
    Check(quoted != nullptr, "QuoteForScript failed");
    Check(variables.Add(L"Module", quoted) == S_OK, "adding the variable failed");
    CoTaskMemFree(quoted);

    ScriptRunner runner(variables);
    char* expanded = nullptr;
    HRESULT hr = runner.ExpandVariables(text.get(), &expanded);
    std::string expected;
    HRESULT modelHr = ModelExpand(text.get(), &expected);
    Check(hr == modelHr, "expansion result differs from its rules");
    if (SUCCEEDED(hr)) {
        Check(expanded && strcmp(expanded, expected.c_str()) == 0, "expanded text differs from its rules");
    } else {
        Check(expanded == nullptr, "a failed expansion handed out text");
    }
    CoTaskMemFree(expanded);

    MemoryRegistry registry;
    SetHostRegistry(&registry);
    for (bool doRegister : { true, false }) {
        HRESULT result = runner.Run(text.get(), doRegister);
        Check(Documented(result), "a result the registrar does not document");
        Check(registry.OpenCount() == 0, "a key was left open");
        if (FAILED(modelHr)) Check(result == modelHr, "a failed expansion did not end the run with its result");
    }
    SetHostRegistry(nullptr);
    return 0;
}
