#include "viewer/SaveSettings.h"
#include <string.h>
#include "server/ModuleState.h"

namespace {

// Two pairs of description and pattern, the list's terminator and a spare NUL.
const char kSaveFilter[] =
    "Text Files (*.txt)\0*.txt\0Rich Text Format (*.rtf)\0*.rtf\0\0";
static_assert(sizeof(kSaveFilter) == kSaveFilterSize, "the filter is 58 bytes");

const char kSaveTitle[] = "Save Web Glimmerdeck As";
const char kDefaultExtension[] = "txt";

} // namespace

void FillSaveSettings(OPENFILENAMEA& ofn, HWND owner, char* filter, char* fileName)
{
    ZeroMemory(&ofn, sizeof(ofn));
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;     // the older form every system takes
    ofn.hwndOwner = owner;
    ofn.hInstance = g_module.instance;
    ofn.lpstrFilter = filter;
    ofn.lpstrCustomFilter = nullptr;
    ofn.nMaxCustFilter = 0;
    ofn.nFilterIndex = 0;
    ofn.lpstrFile = fileName;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrFileTitle = nullptr;
    ofn.nMaxFileTitle = MAX_PATH;
    ofn.lpstrInitialDir = nullptr;
    ofn.lpstrTitle = kSaveTitle;
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_CREATEPROMPT | OFN_EXPLORER;
    ofn.nFileOffset = 0;
    ofn.nFileExtension = 0;
    ofn.lpstrDefExt = kDefaultExtension;
    ofn.lCustData = 0;
    ofn.lpfnHook = nullptr;
    ofn.lpTemplateName = nullptr;
}

void CopySaveFilter(char (&filter)[kSaveFilterSize])
{
    memcpy(filter, kSaveFilter, kSaveFilterSize);
}
