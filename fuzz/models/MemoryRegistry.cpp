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

const ULONG_PTR kFirstRoot = 0x80000000u;
const size_t kRootCount = 7;

// A key name as the registry hands it out, after the checks every name passes.
std::string NameOf(const char* name)
{
    Check(name && *name, "a key without a name was handed to the registry");
    Check(!HasBackslash(name), "a key name with a backslash was handed to the registry");
    return Folded(name);
}

}  // namespace

MemoryRegistry::MemoryRegistry() : m_keys(kRootCount) {}

size_t MemoryRegistry::KeyOf(HKEY key, const char* use)
{
    ULONG_PTR value = reinterpret_cast<ULONG_PTR>(key);
    if (value >= kFirstRoot && value < kFirstRoot + kRootCount) return value - kFirstRoot;
    auto open = m_open.find(key);
    if (open == m_open.end()) {
        fprintf(stderr, "registrar_fuzz: a key that is not open was %s\n", use);
        abort();
    }
    return open->second;
}

HKEY MemoryRegistry::NewHandle(size_t key)
{
    HKEY handle = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(++m_nextHandle));
    m_open[handle] = key;
    return handle;
}

LONG MemoryRegistry::Open(HKEY parent, const char* name, REGSAM, HKEY* result)
{
    std::string folded = NameOf(name);
    const Key& up = m_keys[KeyOf(parent, "used as parent")];
    auto child = up.children.find(folded);
    if (child == up.children.end()) return ERROR_FILE_NOT_FOUND;
    *result = NewHandle(child->second);
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::Create(HKEY parent, const char* name, HKEY* result)
{
    std::string folded = NameOf(name);
    size_t up = KeyOf(parent, "used as parent");
    auto child = m_keys[up].children.find(folded);
    size_t key;
    if (child != m_keys[up].children.end()) {
        key = child->second;
    } else {
        key = m_keys.size();
        m_keys.emplace_back();
        m_keys[up].children[folded] = key;
    }
    *result = NewHandle(key);
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::Close(HKEY key)
{
    Check(m_open.erase(key) == 1, "a key was closed that is not open");
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::SetValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size)
{
    size_t target = KeyOf(key, "given a value");
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
    if (name && *name) ++m_keys[target].values;
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::DeleteValue(HKEY key, const char*)
{
    KeyOf(key, "asked to delete a value");
    return ERROR_FILE_NOT_FOUND;
}

LONG MemoryRegistry::DeleteKey(HKEY parent, const char* name)
{
    std::string folded = NameOf(name);
    Key& up = m_keys[KeyOf(parent, "used as parent")];
    auto child = up.children.find(folded);
    if (child == up.children.end()) return ERROR_FILE_NOT_FOUND;
    if (!m_keys[child->second].children.empty()) return ERROR_ACCESS_DENIED;
    up.children.erase(child);
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::EnumKey(HKEY key, DWORD index, char* name, DWORD* nameLength)
{
    const Key& info = m_keys[KeyOf(key, "asked for its subkeys")];
    if (index >= info.children.size()) return ERROR_NO_MORE_ITEMS;
    auto child = info.children.begin();
    std::advance(child, index);
    if (child->first.size() + 1 > *nameLength) return ERROR_MORE_DATA;
    memcpy(name, child->first.c_str(), child->first.size() + 1);
    *nameLength = static_cast<DWORD>(child->first.size());
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::EnumValue(HKEY key, DWORD, char* name, DWORD* nameLength)
{
    KeyOf(key, "asked for its values");
    if (*nameLength < 2) return ERROR_MORE_DATA;
    memcpy(name, "v", 2);
    *nameLength = 1;
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::QueryInfo(HKEY key, DWORD* subkeys, DWORD* values)
{
    const Key& info = m_keys[KeyOf(key, "asked about")];
    *subkeys = static_cast<DWORD>(info.children.size());
    *values = info.values;
    return ERROR_SUCCESS;
}
