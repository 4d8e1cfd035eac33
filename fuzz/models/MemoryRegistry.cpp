#include "fuzz/models/MemoryRegistry.h"
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <iterator>

namespace {

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

const char* RootName(HKEY key)
{
    ULONG_PTR value = reinterpret_cast<ULONG_PTR>(key);
    if (value >= 0x80000000u && value <= 0x80000006u) {
        static const char* const names[] = { "hkcr", "hkcu", "hklm", "hku", "hkpd", "hkcc", "hkdd" };
        return names[value - 0x80000000u];
    }
    return nullptr;
}

}  // namespace

LONG MemoryRegistry::Open(HKEY parent, const char* name, REGSAM, HKEY* result)
{
    std::string parentPath, path;
    PathOf(parent, name, &parentPath, &path);
    if (!m_keys.count(path)) return ERROR_FILE_NOT_FOUND;
    *result = NewHandle(path);
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::Create(HKEY parent, const char* name, HKEY* result)
{
    std::string parentPath, path;
    PathOf(parent, name, &parentPath, &path);
    if (!m_keys.count(path)) {
        m_keys[path].parent = parentPath;
        auto up = m_keys.find(parentPath);
        if (up != m_keys.end()) up->second.children.insert(Folded(name));
    }
    *result = NewHandle(path);
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::Close(HKEY key)
{
    Check(m_open.erase(key) == 1, "a key was closed that is not open");
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::SetValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size)
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
    if (name && *name && !RootName(key)) ++m_keys[m_open[key]].values;
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::DeleteValue(HKEY key, const char*)
{
    Check(IsRootOrOpen(key), "a value was deleted from a key that is not open");
    return ERROR_FILE_NOT_FOUND;
}

LONG MemoryRegistry::DeleteKey(HKEY parent, const char* name)
{
    std::string parentPath, path;
    PathOf(parent, name, &parentPath, &path);
    auto key = m_keys.find(path);
    if (key == m_keys.end()) return ERROR_FILE_NOT_FOUND;
    if (!key->second.children.empty()) return ERROR_ACCESS_DENIED;
    auto up = m_keys.find(parentPath);
    if (up != m_keys.end()) up->second.children.erase(Folded(name));
    m_keys.erase(key);
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::EnumKey(HKEY key, DWORD index, char* name, DWORD* nameLength)
{
    Check(m_open.count(key) == 1, "subkeys listed of a key that is not open");
    const std::set<std::string>& children = m_keys[m_open[key]].children;
    if (index >= children.size()) return ERROR_NO_MORE_ITEMS;
    auto child = children.begin();
    std::advance(child, index);
    if (child->size() + 1 > *nameLength) return ERROR_MORE_DATA;
    memcpy(name, child->c_str(), child->size() + 1);
    *nameLength = static_cast<DWORD>(child->size());
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::EnumValue(HKEY key, DWORD, char* name, DWORD* nameLength)
{
    Check(m_open.count(key) == 1, "values listed of a key that is not open");
    if (*nameLength < 2) return ERROR_MORE_DATA;
    memcpy(name, "v", 2);
    *nameLength = 1;
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::QueryInfo(HKEY key, DWORD* subkeys, DWORD* values)
{
    Check(m_open.count(key) == 1, "a key asked about that is not open");
    const Key& info = m_keys[m_open[key]];
    *subkeys = static_cast<DWORD>(info.children.size());
    *values = info.values;
    return ERROR_SUCCESS;
}

bool MemoryRegistry::IsRootOrOpen(HKEY key) const
{
    return RootName(key) || m_open.count(key);
}

void MemoryRegistry::PathOf(HKEY parent, const char* name, std::string* parentPath, std::string* path)
{
    Check(name && *name, "a key without a name was handed to the registry");
    Check(!HasBackslash(name), "a key name with a backslash was handed to the registry");
    if (const char* root = RootName(parent)) {
        *parentPath = root;
    } else {
        Check(m_open.count(parent) == 1, "a key was used as parent that is not open");
        *parentPath = m_open[parent];
    }
    // A separator no name can hold keeps paths apart.
    *path = *parentPath + '\0' + Folded(name);
}

HKEY MemoryRegistry::NewHandle(const std::string& path)
{
    HKEY key = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(++m_nextHandle));
    m_open[key] = path;
    return key;
}
