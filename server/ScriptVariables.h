#pragma once
#include <windows.h>

// One (name, value) pair handed in by a caller; a list of them ends with a
// pair whose name is null.
struct ScriptVariablePair {
    const wchar_t* name;
    const wchar_t* value;
};

// The variables of a registry script: an ordered list of (name, value) pairs
// of wide strings, each string copied when the pair is added.
class ScriptVariables {
public:
    ScriptVariables() : m_pairs(nullptr), m_count(0), m_capacity(0) {}
    ~ScriptVariables() { Clear(); }
    ScriptVariables(const ScriptVariables&) = delete;
    ScriptVariables& operator=(const ScriptVariables&) = delete;

    // Appends the pair without looking for an existing one of the same name.
    // A null value is stored as empty text. S_OK, E_INVALIDARG or E_OUTOFMEMORY.
    HRESULT Add(const wchar_t* name, const wchar_t* value);
    // The value of the first pair whose name, in the ANSI code page, matches
    // `name` without regard to case; null when there is none.
    const wchar_t* Find(const char* name) const;
    void Clear();

    int Count() const { return m_count; }

private:
    struct Pair {
        wchar_t* name;
        wchar_t* value;
    };

    Pair* m_pairs;
    int m_count;
    int m_capacity;
};

// `text` with every single quote doubled, so that a value holding a quote
// stays one quoted token inside a script. Task memory for the caller to free
// with CoTaskMemFree; null when out of memory.
wchar_t* QuoteForScript(const wchar_t* text);

// `text` in the ANSI code page, in task memory for the caller to free with
// CoTaskMemFree; null when it cannot be made.
char* AnsiInTaskMemory(const wchar_t* text);
