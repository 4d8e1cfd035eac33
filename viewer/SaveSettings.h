#pragma once
#include <windows.h>
#include <commdlg.h>

// The Save As dialog's settings, filled into the viewer's record for each
// Save: filter and fileName are the caller's buffers (the filter as
// CopySaveFilter writes it, the name MAX_PATH bytes).
const int kSaveFilterSize = 58;
void CopySaveFilter(char (&filter)[kSaveFilterSize]);
void FillSaveSettings(OPENFILENAMEA& ofn, HWND owner, char* filter, char* fileName);
