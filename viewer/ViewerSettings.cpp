#include "viewer/ViewerSettings.h"

const char kViewerSettingsKey[] = "SOFTWARE\\Dunmarrow\\Glimmerdeck";

LONG OpenViewerSettingsForWriting(RegistryKeyHandle& key)
{
    const LONG opened = key.Open(HKEY_CURRENT_USER, kViewerSettingsKey, KEY_ALL_ACCESS);
    return opened == ERROR_SUCCESS ? opened : key.Create(HKEY_CURRENT_USER, kViewerSettingsKey);
}
