#include "viewer/ViewerDialog.h"
#include "viewer/ViewerSettings.h"

// The viewer's outer rectangle and maximised state, stored per user and
// restored on the next opening. Registry failures are silent throughout.

namespace {

const char kWindowCmd[] = "WindowCmd";
const char kWindowPosX[] = "WindowPosX";
const char kWindowPosY[] = "WindowPosY";
const char kWindowSizeX[] = "WindowSizeX";
const char kWindowSizeY[] = "WindowSizeY";

void WriteNumber(HKEY key, const char* name, LONG value)
{
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

// Any value of exactly four bytes counts, whatever its stored type.
bool ReadNumber(HKEY key, const char* name, LONG* value)
{
    LONG number = 0;
    DWORD size = sizeof(number);
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &size) != ERROR_SUCCESS)
        return false;
    if (size != sizeof(number)) return false;
    *value = number;
    return true;
}

LONG ReadNumberOr(HKEY key, const char* name, LONG fallback)
{
    LONG value;
    return ReadNumber(key, name, &value) ? value : fallback;
}

// The rectangle and maximised state the window comes back to. A minimised
// window reports a rectangle far off the screen; what matters is the one it
// restores to, which the placement record keeps in workspace coordinates.
void RestoredPlacementOf(HWND window, RECT* rect, BOOL* maximised)
{
    *maximised = IsZoomed(window);
    GetWindowRect(window, rect);
    if (!IsIconic(window)) return;

    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    if (!GetWindowPlacement(window, &placement)) return;
    *rect = placement.rcNormalPosition;
    *maximised = (placement.flags & WPF_RESTORETOMAXIMIZED) != 0;

    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (GetMonitorInfoA(MonitorFromRect(rect, MONITOR_DEFAULTTOPRIMARY), &monitor))
        OffsetRect(rect, monitor.rcWork.left - monitor.rcMonitor.left,
                   monitor.rcWork.top - monitor.rcMonitor.top);
}

} // namespace

void CViewerDialog::SavePlacement()
{
    RegistryKeyHandle key;
    if (OpenViewerSettingsForWriting(key) != ERROR_SUCCESS) return;

    RECT rect;
    BOOL maximised;
    RestoredPlacementOf(m_hWnd, &rect, &maximised);
    WriteNumber(key.Get(), kWindowCmd, maximised ? 1 : 0);
    WriteNumber(key.Get(), kWindowPosX, rect.left);
    WriteNumber(key.Get(), kWindowPosY, rect.top);
    WriteNumber(key.Get(), kWindowSizeX, rect.right);
    WriteNumber(key.Get(), kWindowSizeY, rect.bottom);
}

void CViewerDialog::RestorePlacement()
{
    RegistryKeyHandle key;
    if (key.Open(HKEY_CURRENT_USER, kViewerSettingsKey, KEY_ALL_ACCESS) != ERROR_SUCCESS) return;

    LONG command;
    if (ReadNumber(key.Get(), kWindowCmd, &command) && command != 0) {
        ShowWindow(m_hWnd, SW_SHOWMAXIMIZED);
        return;
    }

    RECT rect;
    rect.left = ReadNumberOr(key.Get(), kWindowPosX, 0);
    rect.top = ReadNumberOr(key.Get(), kWindowPosY, 0);
    rect.right = ReadNumberOr(key.Get(), kWindowSizeX, 640);
    rect.bottom = ReadNumberOr(key.Get(), kWindowSizeY, 480);

    // A rectangle left on a screen that is gone would open a modal window
    // nobody can see; keep the template placement instead.
    if (!MonitorFromRect(&rect, MONITOR_DEFAULTTONULL)) return;

    SetWindowPos(m_hWnd, HWND_NOTOPMOST, rect.left, rect.top,
                 rect.right - rect.left, rect.bottom - rect.top, SWP_SHOWWINDOW);
}
