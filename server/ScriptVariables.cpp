#include "server/ScriptVariables.h"
#include <objbase.h>
#include <string.h>
#include <wchar.h>

namespace {

const int kInitialCapacity = 10;

wchar_t* CopyWide(const wchar_t* text)
{
    size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    wchar_t* copy = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
    if (copy) memcpy(copy, text, bytes);
    return copy;
}

}  // namespace

char* AnsiInTaskMemory(const wchar_t* text)
{
    int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return nullptr;
    char* ansi = static_cast<char*>(CoTaskMemAlloc(bytes));
    if (ansi && WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, bytes, nullptr, nullptr) != bytes) {
        CoTaskMemFree(ansi);
        ansi = nullptr;
    }
    return ansi;
}

HRESULT ScriptVariables::Add(const wchar_t* name, const wchar_t* value)
{
    if (!name) return E_INVALIDARG;
    if (!value) value = L"";

    if (m_count == m_capacity) {
        if (m_capacity > 0x10000000 / static_cast<int>(sizeof(Pair))) return E_OUTOFMEMORY;
        int capacity = m_capacity ? m_capacity * 2 : kInitialCapacity;
        Pair* pairs = static_cast<Pair*>(CoTaskMemRealloc(m_pairs, capacity * sizeof(Pair)));
        if (!pairs) return E_OUTOFMEMORY;
        m_pairs = pairs;
        m_capacity = capacity;
    }

    wchar_t* nameCopy = CopyWide(name);
    wchar_t* valueCopy = CopyWide(value);
    if (!nameCopy || !valueCopy) {
        CoTaskMemFree(nameCopy);
        CoTaskMemFree(valueCopy);
        return E_OUTOFMEMORY;
    }
    m_pairs[m_count].name = nameCopy;
    m_pairs[m_count].value = valueCopy;
    ++m_count;
    return S_OK;
}

const wchar_t* ScriptVariables::Find(const char* name) const
{
    if (!name) return nullptr;
    for (int i = 0; i < m_count; ++i) {
        char* stored = AnsiInTaskMemory(m_pairs[i].name);
        bool match = stored && lstrcmpiA(stored, name) == 0;
        CoTaskMemFree(stored);
        if (match) return m_pairs[i].value;
    }
    return nullptr;
}

void ScriptVariables::Clear()
{
    for (int i = 0; i < m_count; ++i) {
        CoTaskMemFree(m_pairs[i].name);
        CoTaskMemFree(m_pairs[i].value);
    }
    CoTaskMemFree(m_pairs);
    m_pairs = nullptr;
    m_count = 0;
    m_capacity = 0;
}

wchar_t* QuoteForScript(const wchar_t* text)
{
    size_t length = 0;
    for (const wchar_t* p = text; *p; ++p) length += *p == L'\'' ? 2 : 1;
    wchar_t* quoted = static_cast<wchar_t*>(CoTaskMemAlloc((length + 1) * sizeof(wchar_t)));
    if (!quoted) return nullptr;
    wchar_t* out = quoted;
    for (const wchar_t* p = text; *p; ++p) {
        if (*p == L'\'') *out++ = L'\'';
        *out++ = *p;
    }
    *out = L'\0';
    return quoted;
}
