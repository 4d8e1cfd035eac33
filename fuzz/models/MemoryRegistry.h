#pragma once
// A small registry kept in memory for the registrar's fuzz target. Besides
// answering, it checks how it is called: only open keys are used, closed
// once each; key names are single names without a backslash; string values
// are their text and one NUL; number values four bytes. A call that breaks
// one of these ends the process with a message. Built without coverage:
// it steers nothing.
#include <windows.h>
#include "fuzz/platform/HostPlatform.h"
#include <map>
#include <string>
#include <vector>

// Keys by number: each knows its subkeys by folded name and how many named
// values it holds. The seven root keys are the first seven.
class MemoryRegistry : public HostRegistry {
public:
    MemoryRegistry();

    LONG Open(HKEY parent, const char* name, REGSAM access, HKEY* result) override;
    LONG Create(HKEY parent, const char* name, HKEY* result) override;
    LONG Close(HKEY key) override;
    LONG SetValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) override;
    LONG DeleteValue(HKEY key, const char* name) override;
    LONG DeleteKey(HKEY parent, const char* name) override;
    LONG EnumKey(HKEY key, DWORD index, char* name, DWORD* nameLength) override;
    LONG EnumValue(HKEY key, DWORD index, char* name, DWORD* nameLength) override;
    LONG QueryInfo(HKEY key, DWORD* subkeys, DWORD* values) override;

    size_t OpenCount() const { return m_open.size(); }

private:
    struct Key {
        std::map<std::string, size_t> children;
        DWORD values = 0;
    };

    // The key that a handle stands for: a root key, or one opened here.
    size_t KeyOf(HKEY key, const char* use);
    HKEY NewHandle(size_t key);

    std::vector<Key> m_keys;
    std::map<HKEY, size_t> m_open;
    ULONG_PTR m_nextHandle = 0x1000;
    unsigned m_checksum = 0;
};
