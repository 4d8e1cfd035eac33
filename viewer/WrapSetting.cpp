#include "viewer/WrapSetting.h"
#include <windows.h>
#include "viewer/ViewerSettings.h"

namespace {

const char kWrapLongLines[] = "WrapLongLines";

} // namespace

bool ReadWrapLongLines()
{
    RegistryKeyHandle key;
    if (key.Open(HKEY_CURRENT_USER, kViewerSettingsKey, KEY_READ) != ERROR_SUCCESS) return true;
    DWORD value = 1, type = REG_NONE, size = sizeof(value);
    if (RegQueryValueExA(key.Get(), kWrapLongLines, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
        ERROR_SUCCESS)
        return true;
    return type != REG_DWORD || size != sizeof(value) || value != 0;
}

void WriteWrapLongLines(bool wrap)
{
    RegistryKeyHandle key;
    if (OpenViewerSettingsForWriting(key) != ERROR_SUCCESS) return;
    const DWORD value = wrap ? 1 : 0;
    RegSetValueExA(key.Get(), kWrapLongLines, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}
