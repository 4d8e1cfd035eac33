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
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <map>
#include <memory>
#include <set>
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

// Whole characters: a trail byte that happens to be 0x5C is no backslash.
bool HasBackslash(const char* name)
{
    for (const char* p = name; *p; p = CharNextA(p))
        if (*p == '\\') return true;
    return false;
}

std::string Folded(const char* text)
{
    std::string folded(text);
    CharLowerA(&folded[0]);
    return folded;
}

// Keys by their full path (folded), with the number of named values each holds.
class MemoryRegistry : public HostRegistry {
public:
    LONG Open(HKEY parent, const char* name, REGSAM, HKEY* result) override
    {
        std::string path;
        if (!PathOf(parent, name, &path)) return ERROR_INVALID_PARAMETER;
        if (!m_keys.count(path)) return ERROR_FILE_NOT_FOUND;
        *result = NewHandle(path);
        return ERROR_SUCCESS;
    }
    LONG Create(HKEY parent, const char* name, HKEY* result) override
    {
        std::string path;
        if (!PathOf(parent, name, &path)) return ERROR_INVALID_PARAMETER;
        m_keys.insert(std::make_pair(path, 0));
        *result = NewHandle(path);
        return ERROR_SUCCESS;
    }
    LONG Close(HKEY key) override
    {
        Check(m_open.erase(key) == 1, "a key was closed that is not open");
        return ERROR_SUCCESS;
    }
    LONG SetValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) override
    {
        Check(IsRootOrOpen(key), "a value was written to a key that is not open");
        if (type == REG_SZ) {
            Check(size >= 1 && data[size - 1] == 0 && strlen(reinterpret_cast<const char*>(data)) + 1 == size,
                  "a string value is not its text and one NUL");
        } else if (type == REG_DWORD) {
            Check(size == 4, "a number value is not four bytes");
        } else {
            Check(type == REG_BINARY, "a value of a type the script cannot name");
        }
        // Read every byte handed over, so that a short buffer shows.
        for (DWORD i = 0; i < size; ++i) m_checksum += data[i];
        if (name && *name && !RootName(key)) ++m_keys[m_open[key]];
        return ERROR_SUCCESS;
    }
    LONG DeleteValue(HKEY key, const char*) override
    {
        Check(IsRootOrOpen(key), "a value was deleted from a key that is not open");
        return ERROR_FILE_NOT_FOUND;
    }
    LONG DeleteKey(HKEY parent, const char* name) override
    {
        std::string path;
        if (!PathOf(parent, name, &path)) return ERROR_INVALID_PARAMETER;
        if (!m_keys.count(path)) return ERROR_FILE_NOT_FOUND;
        if (SubkeyCount(path)) return ERROR_ACCESS_DENIED;
        m_keys.erase(path);
        return ERROR_SUCCESS;
    }
    LONG EnumKey(HKEY key, DWORD index, char* name, DWORD* nameLength) override
    {
        Check(m_open.count(key) == 1, "subkeys listed of a key that is not open");
        std::string prefix = m_open[key] + "\\";
        DWORD i = 0;
        for (const auto& entry : m_keys) {
            if (entry.first.compare(0, prefix.size(), prefix) != 0) continue;
            std::string rest = entry.first.substr(prefix.size());
            if (rest.find('\\') != std::string::npos) continue;
            if (i++ != index) continue;
            if (rest.size() + 1 > *nameLength) return ERROR_MORE_DATA;
            memcpy(name, rest.c_str(), rest.size() + 1);
            *nameLength = static_cast<DWORD>(rest.size());
            return ERROR_SUCCESS;
        }
        return ERROR_NO_MORE_ITEMS;
    }
    LONG EnumValue(HKEY key, DWORD, char* name, DWORD* nameLength) override
    {
        Check(m_open.count(key) == 1, "values listed of a key that is not open");
        if (*nameLength < 2) return ERROR_MORE_DATA;
        memcpy(name, "v", 2);
        *nameLength = 1;
        return ERROR_SUCCESS;
    }
    LONG QueryInfo(HKEY key, DWORD* subkeys, DWORD* values) override
    {
        Check(m_open.count(key) == 1, "a key asked about that is not open");
        *subkeys = SubkeyCount(m_open[key]);
        *values = m_keys[m_open[key]];
        return ERROR_SUCCESS;
    }

    size_t OpenCount() const { return m_open.size(); }

private:
    bool IsRootOrOpen(HKEY key) const { return RootName(key) || m_open.count(key); }

    static const char* RootName(HKEY key)
    {
        ULONG_PTR value = reinterpret_cast<ULONG_PTR>(key);
        if (value >= 0x80000000u && value <= 0x80000006u) {
            static const char* const names[] = { "hkcr", "hkcu", "hklm", "hku", "hkpd", "hkcc", "hkdd" };
            return names[value - 0x80000000u];
        }
        return nullptr;
    }

    bool PathOf(HKEY parent, const char* name, std::string* path)
    {
        Check(name && *name, "a key without a name was handed to the registry");
        Check(!HasBackslash(name), "a key name with a backslash was handed to the registry");
        if (const char* root = RootName(parent)) {
            *path = std::string(root) + "\\" + Folded(name);
            return true;
        }
        Check(m_open.count(parent) == 1, "a key was used as parent that is not open");
        *path = m_open[parent] + "\\" + Folded(name);
        return true;
    }

    DWORD SubkeyCount(const std::string& path) const
    {
        std::string prefix = path + "\\";
        DWORD count = 0;
        for (const auto& entry : m_keys)
            if (entry.first.compare(0, prefix.size(), prefix) == 0 &&
                entry.first.find('\\', prefix.size()) == std::string::npos)
                ++count;
        return count;
    }

    HKEY NewHandle(const std::string& path)
    {
        HKEY key = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(++m_nextHandle));
        m_open[key] = path;
        return key;
    }

    std::map<std::string, DWORD> m_keys;
    std::map<HKEY, std::string> m_open;
    ULONG_PTR m_nextHandle = 0x1000;
    unsigned m_checksum = 0;
};

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
