#include "server/ScriptRunner.h"
#include <objbase.h>
#include <oleauto.h>
#include <string.h>
#include <utility>
#include "server/Handles.h"
#include "server/RegistryTree.h"

namespace {

// One row of a lookup table: a name the script may use and what it stands for.
template <class T>
struct NamedEntry {
    const char* name;
    T value;
};

const NamedEntry<HKEY> kRootKeys[] = {
    { "HKCR",                  HKEY_CLASSES_ROOT },
    { "HKCU",                  HKEY_CURRENT_USER },
    { "HKLM",                  HKEY_LOCAL_MACHINE },
    { "HKU",                   HKEY_USERS },
    { "HKPD",                  HKEY_PERFORMANCE_DATA },
    { "HKDD",                  HKEY_DYN_DATA },
    { "HKCC",                  HKEY_CURRENT_CONFIG },
    { "HKEY_CLASSES_ROOT",     HKEY_CLASSES_ROOT },
    { "HKEY_CURRENT_USER",     HKEY_CURRENT_USER },
    { "HKEY_LOCAL_MACHINE",    HKEY_LOCAL_MACHINE },
    { "HKEY_USERS",            HKEY_USERS },
    { "HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA },
    { "HKEY_DYN_DATA",         HKEY_DYN_DATA },
    { "HKEY_CURRENT_CONFIG",   HKEY_CURRENT_CONFIG },
};

const NamedEntry<DWORD> kValueTypes[] = {
    { "S", REG_SZ },
    { "D", REG_DWORD },
    { "B", REG_BINARY },
};

enum Keyword { kNoKeyword, kVal, kNoRemove, kForceRemove, kDelete };

const NamedEntry<Keyword> kKeywords[] = {
    { "Val",         kVal },
    { "NoRemove",    kNoRemove },
    { "ForceRemove", kForceRemove },
    { "Delete",      kDelete },
};

// Never removed by ForceRemove or Delete: they hold every other class.
const char* const kProtectedKeyNames[] = { "CLSID", "TYPELIB" };

// Names are compared without regard to case; the first row that matches counts.
template <class T, size_t N>
bool FindByName(const NamedEntry<T> (&table)[N], const char* name, T* value)
{
    for (const NamedEntry<T>& entry : table) {
        if (lstrcmpiA(entry.name, name) == 0) {
            *value = entry.value;
            return true;
        }
    }
    return false;
}

bool RootKeyByName(const char* name, HKEY* key) { return FindByName(kRootKeys, name, key); }

bool ValueTypeByLetter(const char* letter, DWORD* type) { return FindByName(kValueTypes, letter, type); }

Keyword KeywordOf(const char* token)
{
    Keyword keyword = kNoKeyword;
    FindByName(kKeywords, token, &keyword);
    return keyword;
}

bool IsProtectedKeyName(const char* name)
{
    for (const char* protectedName : kProtectedKeyNames)
        if (lstrcmpiA(protectedName, name) == 0) return true;
    return false;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Bytes of the character at `p`: a lead byte and its trail byte are one
// character, but a lead byte just before the end stands alone.
size_t CharBytes(const char* p)
{
    return (IsDBCSLeadByte(static_cast<BYTE>(*p)) && p[1]) ? 2 : 1;
}

// Looks at whole characters, so a trail byte that happens to be 0x5C is not
// taken for a backslash.
bool HasBackslash(const char* text)
{
    for (const char* p = text; *p; p += CharBytes(p))
        if (*p == '\\') return true;
    return false;
}

bool IsBlockOpen(const char* token) { return token[0] == '{' && token[1] == '\0'; }

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 0;
}

// Growing output of the expansion; doubles when the next character does not fit.
class ExpansionBuffer {
public:
    ExpansionBuffer() : m_size(0), m_capacity(0) {}

    bool Reserve(size_t capacity)
    {
        m_data.Reset(static_cast<char*>(CoTaskMemAlloc(capacity)));
        m_capacity = m_data.IsValid() ? capacity : 0;
        return m_data.IsValid();
    }

    bool Append(const char* bytes, size_t count)
    {
        while (m_capacity - m_size < count) {
            if (m_capacity > 0x40000000) return false;
            char* grown = static_cast<char*>(CoTaskMemRealloc(m_data.Get(), m_capacity * 2));
            if (!grown) return false;
            // The block moved: the old address is no longer the owner's to free.
            m_data.Detach();
            m_data.Reset(grown);
            m_capacity *= 2;
        }
        memcpy(m_data.Get() + m_size, bytes, count);
        m_size += count;
        return true;
    }

    char* Detach() { return m_data.Detach(); }

private:
    TaskMemory<char> m_data;
    size_t m_size;
    size_t m_capacity;
};

}  // namespace

ScriptRunner::ScriptRunner(const ScriptVariables& variables)
    : m_variables(variables), m_pos(nullptr)
{
    m_token[0] = '\0';
}

HRESULT ScriptRunner::ExpandVariables(const char* text, char** expanded) const
{
    *expanded = nullptr;
    size_t length = strlen(text);
    if (length > 0x20000000) return E_OUTOFMEMORY;

    // Twice the text, but never nothing: an empty buffer would not grow by doubling.
    ExpansionBuffer out;
    if (!out.Reserve(length * 2 > 16 ? length * 2 : 16)) return E_OUTOFMEMORY;

    const char* p = text;
    while (*p) {
        if (*p != '%') {
            size_t bytes = CharBytes(p);
            if (!out.Append(p, bytes)) return E_OUTOFMEMORY;
            p += bytes;
            continue;
        }
        if (p[1] == '%') {
            if (!out.Append("%", 1)) return E_OUTOFMEMORY;
            p += 2;
            continue;
        }

        const char* name = p + 1;
        const char* end = name;
        while (*end && *end != '%') end += CharBytes(end);
        if (!*end) return DISP_E_EXCEPTION;
        size_t nameLength = end - name;
        if (nameLength > kMaxVariableNameChars) return E_FAIL;

        char nameText[kMaxVariableNameChars + 1];
        memcpy(nameText, name, nameLength);
        nameText[nameLength] = '\0';
        const wchar_t* value = m_variables.Find(nameText);
        if (!value) return DISP_E_EXCEPTION;

        // The value goes in as it is: it is not expanded again.
        TaskMemory<char> ansi(AnsiInTaskMemory(value));
        if (!ansi.IsValid()) return E_OUTOFMEMORY;
        if (!out.Append(ansi.Get(), strlen(ansi.Get()))) return E_OUTOFMEMORY;
        p = end + 1;
    }
    if (!out.Append("", 1)) return E_OUTOFMEMORY;
    *expanded = out.Detach();
    return S_OK;
}

void ScriptRunner::SkipBlanks()
{
    while (IsBlank(*m_pos)) ++m_pos;
}

HRESULT ScriptRunner::ReadToken()
{
    m_token[0] = '\0';
    SkipBlanks();
    if (!*m_pos) return DISP_E_EXCEPTION;

    size_t length = 0;
    bool quoted = *m_pos == '\'';
    bool complete = !quoted;
    if (quoted) ++m_pos;
    while (*m_pos) {
        if (quoted && *m_pos == '\'') {
            ++m_pos;
            if (*m_pos != '\'') {
                complete = true;
                break;
            }
            // Two quotes stand for the one copied below.
        } else if (!quoted && IsBlank(*m_pos)) {
            break;
        }
        if (length >= kMaxTokenChars) {
            complete = false;
            break;
        }
        size_t bytes = CharBytes(m_pos);
        memcpy(m_token + length, m_pos, bytes);
        length += bytes;
        m_pos += bytes;
    }
    // Refused: a quoted token without its closing quote, or one too long.
    if (!complete) {
        m_token[0] = '\0';
        return DISP_E_EXCEPTION;
    }
    m_token[length] = '\0';
    return S_OK;
}

// Copies the token at hand into a name buffer of kMaxNameChars + 1 bytes.
HRESULT ScriptRunner::CopyName(char* name) const
{
    size_t length = strlen(m_token);
    if (length > kMaxNameChars) return DISP_E_EXCEPTION;
    memcpy(name, m_token, length + 1);
    return S_OK;
}

HRESULT ScriptRunner::Run(const char* text, bool doRegister)
{
    char* expanded = nullptr;
    HRESULT hr = ExpandVariables(text, &expanded);
    if (FAILED(hr)) return hr;

    m_pos = expanded;
    SkipBlanks();
    while (*m_pos) {
        hr = ReadToken();
        if (FAILED(hr)) break;
        HKEY root = nullptr;
        if (!RootKeyByName(m_token, &root)) {
            hr = DISP_E_EXCEPTION;
            break;
        }
        hr = ReadToken();
        if (FAILED(hr)) break;
        if (m_token[0] != '{') {
            hr = DISP_E_EXCEPTION;
            break;
        }

        if (doRegister) {
            const char* blockStart = m_pos;
            hr = RunKeyBlock(root, true, false, 1);
            if (FAILED(hr)) {
                // Take back what this root block did; earlier blocks stay.
                m_pos = blockStart;
                RunKeyBlock(root, false, false, 1);
                break;
            }
        } else {
            hr = RunKeyBlock(root, false, false, 1);
            if (FAILED(hr)) break;
        }
        SkipBlanks();
    }

    CoTaskMemFree(expanded);
    m_pos = nullptr;
    return hr;
}

// An empty name would stand for the parent itself, a path for a deeper key,
// and the keywords can never be key names.
bool ScriptRunner::IsKeyName(const char* token)
{
    return token[0] && !HasBackslash(token) && strlen(token) <= kMaxNameChars
        && KeywordOf(token) == kNoKeyword;
}

HRESULT ScriptRunner::RunKeyBlock(HKEY parent, bool doRegister, bool skipping, int depth)
{
    if (depth > kMaxBlockDepth) return DISP_E_EXCEPTION;
    // The block's first entry, or its closing brace.
    HRESULT hr = ReadToken();
    if (FAILED(hr)) return hr;
    return doRegister ? RegisterBlock(parent, depth) : UnregisterBlock(parent, skipping, depth);
}

// The parts of an entry up to its name. Both passes read them the same way
// and give them their own meaning.
struct ScriptRunner::EntryHead {
    bool forceRemove;
    bool isDelete;
    bool noRemove;
    bool isValue;                       // a val entry; otherwise a key entry
    char name[kMaxNameChars + 1];
};

// Reads an entry from its first token, the token at hand. A val entry is read
// up to its "=", which stays at hand; a key entry up to its name, which does.
HRESULT ScriptRunner::ReadEntryHead(EntryHead* entry)
{
    Keyword keyword = KeywordOf(m_token);
    entry->forceRemove = keyword == kForceRemove;
    entry->isDelete = keyword == kDelete;
    HRESULT hr = S_OK;
    if (entry->forceRemove || entry->isDelete) {
        hr = ReadToken();
        if (FAILED(hr)) return hr;
        keyword = KeywordOf(m_token);
    }

    entry->noRemove = keyword == kNoRemove;
    if (entry->noRemove) {
        hr = ReadToken();
        if (FAILED(hr)) return hr;
        keyword = KeywordOf(m_token);
    }

    // "Delete val" names neither a value nor, being a keyword, a key.
    entry->isValue = keyword == kVal && !entry->isDelete;
    if (entry->isValue) {
        hr = ReadToken();
        if (FAILED(hr)) return hr;
        hr = CopyName(entry->name);
        if (FAILED(hr)) return hr;
        hr = ReadToken();
        if (FAILED(hr)) return hr;
        return m_token[0] == '=' ? S_OK : DISP_E_EXCEPTION;
    }

    if (!IsKeyName(m_token)) return DISP_E_EXCEPTION;
    return CopyName(entry->name);
}

// Walks the nested block whose opening token is at hand, then reads the token
// after its end.
HRESULT ScriptRunner::RunChildBlock(HKEY parent, bool doRegister, bool skipping, int depth)
{
    HRESULT hr = RunKeyBlock(parent, doRegister, skipping, depth + 1);
    if (FAILED(hr)) return hr;
    return ReadToken();
}

HRESULT ScriptRunner::RegisterBlock(HKEY parent, int depth)
{
    RegistryKeyHandle current;
    EntryHead entry;
    while (m_token[0] != '}') {
        // NoRemove matters only to the unregister pass.
        HRESULT hr = ReadEntryHead(&entry);
        if (FAILED(hr)) return hr;

        if (entry.isValue) {
            hr = WriteValue(parent, entry.name);
            if (FAILED(hr)) return hr;
            if (IsBlockOpen(m_token)) return DISP_E_EXCEPTION;
            continue;
        }

        // The key may well not exist yet. The name is the one after NoRemove,
        // so "ForceRemove NoRemove Name" removes Name itself.
        if ((entry.forceRemove || entry.isDelete) && !IsProtectedKeyName(entry.name))
            DeleteKeyTree(parent, entry.name);
        if (entry.isDelete) {
            hr = ReadToken();
            if (FAILED(hr)) return hr;
            hr = EndBlocklessEntry();
            if (FAILED(hr)) return hr;
            continue;
        }

        RegistryKeyHandle key;
        if (key.Open(parent, entry.name, KEY_ALL_ACCESS) != ERROR_SUCCESS &&
            key.Open(parent, entry.name, KEY_READ) != ERROR_SUCCESS &&
            key.Create(parent, entry.name) != ERROR_SUCCESS)
            return DISP_E_EXCEPTION;
        if (current.Close() != ERROR_SUCCESS) return DISP_E_EXCEPTION;
        current = std::move(key);

        hr = ReadToken();
        if (FAILED(hr)) return hr;
        if (m_token[0] == '=') {
            hr = WriteValue(current, nullptr);
            if (FAILED(hr)) return hr;
        }

        if (IsBlockOpen(m_token)) {
            hr = RunChildBlock(current, true, false, depth);
            if (FAILED(hr)) return hr;
        }
    }
    return S_OK;
}

HRESULT ScriptRunner::UnregisterBlock(HKEY parent, bool skipping, int depth)
{
    RegistryKeyHandle current;
    bool noRemove = false;
    EntryHead entry;
    while (m_token[0] != '}') {
        // ForceRemove acts in the register pass only; a Delete entry is
        // handled as a plain key, without a block.
        HRESULT hr = ReadEntryHead(&entry);
        if (FAILED(hr)) return hr;
        // Holds for this key and every later key of the block.
        if (entry.noRemove) noRemove = true;

        if (entry.isValue) {
            if (!skipping) RegDeleteValueA(parent, entry.name);
            hr = EndBlocklessEntry();
            if (FAILED(hr)) return hr;
            continue;
        }

        // Write access lets the key's own val entries be deleted; a key that
        // only opens for reading is still walked.
        bool exists = !skipping &&
            (current.Open(parent, entry.name, KEY_READ | KEY_WRITE) == ERROR_SUCCESS ||
             current.Open(parent, entry.name, KEY_READ) == ERROR_SUCCESS);

        hr = ReadToken();
        if (FAILED(hr)) return hr;
        hr = PassOverAssignment();
        if (FAILED(hr)) return hr;
        if (entry.isDelete && IsBlockOpen(m_token)) return DISP_E_EXCEPTION;
        bool opensBlock = !entry.isDelete && m_token[0] == '{';

        if (exists && (KeyHasSubkeys(current) || KeyHasNamedValue(current))) {
            if (opensBlock) {
                hr = RunChildBlock(current, false, false, depth);
                if (FAILED(hr)) return hr;
                opensBlock = false;
            }
            // Subkeys the script does not account for keep the key alive.
            if (KeyHasSubkeys(current)) continue;
        }
        if (exists) {
            if (current.Close() != ERROR_SUCCESS) return DISP_E_EXCEPTION;
            if (!noRemove) RegDeleteKeyA(parent, entry.name);
        }

        // Nothing below a missing key, or below one that held nothing, is
        // touched; the block's own skipping flag stays as it was.
        if (opensBlock) {
            hr = RunChildBlock(parent, false, true, depth);
            if (FAILED(hr)) return hr;
        }
    }
    return S_OK;
}

HRESULT ScriptRunner::WriteValue(HKEY key, const char* valueName)
{
    HRESULT hr = ReadToken();
    if (FAILED(hr)) return hr;
    DWORD type = 0;
    if (!ValueTypeByLetter(m_token, &type)) return DISP_E_EXCEPTION;
    SkipBlanks();
    hr = ReadToken();
    if (FAILED(hr)) return hr;

    // Buffers here would sit in every level of a deep walk: decode in place
    // or on the heap instead.
    DWORD length = static_cast<DWORD>(strlen(m_token));
    switch (type) {
    case REG_SZ:
        RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(m_token), length + 1);
        break;
    case REG_DWORD: {
        // A number that does not convert fails the run rather than writing a guess.
        WCHAR* wide = static_cast<WCHAR*>(CoTaskMemAlloc((length + 1) * sizeof(WCHAR)));
        if (!wide) return E_OUTOFMEMORY;
        ULONG number = 0;
        hr = MultiByteToWideChar(CP_ACP, 0, m_token, -1, wide, length + 1)
           ? VarUI4FromStr(wide, 0, 0, &number) : DISP_E_TYPEMISMATCH;
        CoTaskMemFree(wide);
        if (FAILED(hr)) return hr;
        DWORD data = number;
        RegSetValueExA(key, valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data));
        break;
    }
    case REG_BINARY: {
        if (length % 2) return E_FAIL;
        // Byte i comes from characters 2i and 2i+1, which are read before it is written.
        BYTE* bytes = reinterpret_cast<BYTE*>(m_token);
        for (DWORD i = 0; i < length / 2; ++i)
            bytes[i] = static_cast<BYTE>(HexDigit(m_token[2 * i]) << 4 | HexDigit(m_token[2 * i + 1]));
        RegSetValueExA(key, valueName, 0, REG_BINARY, bytes, length / 2);
        break;
    }
    }
    return ReadToken();
}

HRESULT ScriptRunner::PassOverAssignment()
{
    if (m_token[0] != '=') return S_OK;
    HRESULT hr = ReadToken();
    if (FAILED(hr)) return hr;
    SkipBlanks();
    hr = ReadToken();
    if (FAILED(hr)) return hr;
    return ReadToken();
}

// Ends an entry that has no block: passes over its assignment and refuses a
// block after it.
HRESULT ScriptRunner::EndBlocklessEntry()
{
    HRESULT hr = PassOverAssignment();
    if (FAILED(hr)) return hr;
    return IsBlockOpen(m_token) ? DISP_E_EXCEPTION : S_OK;
}
