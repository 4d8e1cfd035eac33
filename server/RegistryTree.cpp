#include "server/RegistryTree.h"
#include "server/Handles.h"

namespace {

// Deep enough for any tree the registry can hold; a loop through a link
// must not run the stack out.
const int kMaxTreeDepth = 512;

LONG DeleteKeyTreeAt(HKEY parent, const char* name, int depth)
{
    if (!name || !*name) return ERROR_INVALID_PARAMETER;
    if (depth > kMaxTreeDepth) return ERROR_CANTOPEN;

    RegistryKeyHandle key;
    LONG error = key.Open(parent, name, KEY_READ | KEY_WRITE);
    if (error != ERROR_SUCCESS) return error;

    // Always take the first subkey: deleting it shifts the rest down.
    for (;;) {
        char subkey[256];
        DWORD length = sizeof(subkey);
        if (RegEnumKeyExA(key, 0, subkey, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        error = DeleteKeyTreeAt(key, subkey, depth + 1);
        if (error != ERROR_SUCCESS) return error;
    }
    key.Close();
    return RegDeleteKeyA(parent, name);
}

}  // namespace

LONG DeleteKeyTree(HKEY parent, const char* name)
{
    return DeleteKeyTreeAt(parent, name, 0);
}

bool KeyHasSubkeys(HKEY key)
{
    DWORD subkeys = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    return subkeys > 0;
}

bool KeyHasNamedValue(HKEY key)
{
    DWORD values = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         &values, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    if (values != 1) return values > 0;

    // One value: it counts only if it is not the default value. A name too
    // long for the buffer is certainly not the empty one.
    char name[4096];
    DWORD length = sizeof(name);
    LONG error = RegEnumValueA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (error == ERROR_MORE_DATA) return true;
    return error == ERROR_SUCCESS && name[0] != '\0';
}
