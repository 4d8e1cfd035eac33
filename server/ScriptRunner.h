#pragma once
#include <windows.h>
#include "server/ScriptVariables.h"

// Walks a registry script: expands its variables, then either registers what
// it names (opening or creating keys, writing values) or unregisters it
// (removing keys and values, sparing NoRemove keys and keys that still hold
// subkeys the script does not account for).
class ScriptRunner {
public:
    // A token holds at most this many single-byte characters (buffer 4096).
    static const size_t kMaxTokenChars = 4094;
    // Key and value names are kept in buffers of 260 bytes.
    static const size_t kMaxNameChars = 259;
    // Variable names are at most this many bytes.
    static const size_t kMaxVariableNameChars = 31;
    // Blocks nest at most this deep (the registry's own limit on key depth).
    static const int kMaxBlockDepth = 512;

    explicit ScriptRunner(const ScriptVariables& variables);
    ScriptRunner(const ScriptRunner&) = delete;
    ScriptRunner& operator=(const ScriptRunner&) = delete;

    // Runs the NUL-terminated script in the register pass (doRegister true)
    // or the unregister pass. A failing root block of the register pass is
    // rolled back and the walk stops with its error.
    HRESULT Run(const char* text, bool doRegister);

    // Copies `text` with "%%" and "%name%" replaced. On success *expanded is
    // task memory that the caller frees with CoTaskMemFree.
    HRESULT ExpandVariables(const char* text, char** expanded) const;

private:
    struct EntryHead;

    void SkipBlanks();
    HRESULT ReadToken();
    HRESULT CopyName(char* name) const;
    static bool IsKeyName(const char* token);
    HRESULT ReadEntryHead(EntryHead* entry);
    HRESULT RunKeyBlock(HKEY parent, bool doRegister, bool skipping, int depth);
    HRESULT RunChildBlock(HKEY parent, bool doRegister, bool skipping, int depth);
    HRESULT RegisterBlock(HKEY parent, int depth);
    HRESULT UnregisterBlock(HKEY parent, bool skipping, int depth);
    HRESULT WriteValue(HKEY key, const char* valueName);
    HRESULT PassOverAssignment();
    HRESULT EndBlocklessEntry();

    const ScriptVariables& m_variables;
    const char* m_pos;
    char m_token[kMaxTokenChars + 2];
};
