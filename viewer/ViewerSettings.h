#pragma once
#include <windows.h>
#include "server/Handles.h"

// The viewer's settings per user: its placement values and its wrap choice,
// all in one key.
extern const char kViewerSettingsKey[];

// Opens the key for writing, making it first when it is missing.
LONG OpenViewerSettingsForWriting(RegistryKeyHandle& key);
