#pragma once
// Reading the real registry back for the registrar's tests.
#include <windows.h>
#include <string>
#include <vector>
#include "support/ServerModule.h"

namespace regtest {

// Keys and names as every test reads them back (names sorted).
using ::KeyExists;
using ::SubkeyNames;
using ::ValueNames;

// Every key a test makes lives below this one, under HKEY_CURRENT_USER.
const char kScratchPath[] = "Software\\GlimmerdeckRegistrarTests";

inline std::string ScratchPath(const std::string& below)
{
    return below.empty() ? std::string(kScratchPath) : std::string(kScratchPath) + "\\" + below;
}

// Wraps `entries` in blocks that reach the scratch key without removing it.
inline std::string InScratch(const std::string& entries)
{
    return "HKCU\r\n{\r\n\tNoRemove Software\r\n\t{\r\n\t\tNoRemove GlimmerdeckRegistrarTests\r\n\t\t{\r\n"
         + entries + "\r\n\t\t}\r\n\t}\r\n}\r\n";
}

// A value as raw bytes with its type; `found` false when it is not there.
struct RawValue {
    bool found = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

inline RawValue ReadRaw(HKEY root, const std::string& path, const char* name)
{
    RawValue value;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.data.resize(size);
        if (RegQueryValueExA(key, name, nullptr, &value.type, value.data.data(), &size) == ERROR_SUCCESS) {
            value.found = true;
            value.data.resize(size);
        }
    }
    RegCloseKey(key);
    return value;
}

// A REG_SZ value's text, or "<missing>" / "<type N>" when it is not one.
inline std::string ReadString(HKEY root, const std::string& path, const char* name)
{
    RawValue value = ReadRaw(root, path, name);
    if (!value.found) return "<missing>";
    if (value.type != REG_SZ) return "<type " + std::to_string(value.type) + ">";
    std::string text(value.data.begin(), value.data.end());
    if (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

inline void SetString(HKEY root, const std::string& path, const char* name, const char* text)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), DWORD(strlen(text) + 1));
    RegCloseKey(key);
}

inline void MakeKey(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS)
        RegCloseKey(key);
}

// Removes a tree without the code under test.
inline void RemoveTree(HKEY root, const std::string& path)
{
    RegDeleteTreeA(root, path.c_str());
    RegDeleteKeyA(root, path.c_str());
}

}  // namespace regtest
