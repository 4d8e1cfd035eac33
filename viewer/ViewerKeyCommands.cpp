#include "viewer/ViewerDialog.h"
#include "resources/resource.h"
#include "viewer/TextZoom.h"
#include "viewer/WrapSetting.h"

// The commands that the viewer's keys and window menu reach: Find, Find
// Next, Go To Line, wrapping, zoom, Save and Select All. Failures end a
// command silently.

namespace {

const WPARAM kSystemCommandMask = 0xFFF0;   // the low four bits are the system's

} // namespace

// A key arrives as a WM_COMMAND from the accelerator table; every other
// command goes on to default processing.
LRESULT CViewerDialog::OnViewerKey(UINT, WPARAM wParam, LPARAM, BOOL& handled)
{
    handled = HIWORD(wParam) == CViewerKeys::kFromKeys && RunViewerCommand(LOWORD(wParam));
    return 0;
}

LRESULT CViewerDialog::OnSysCommand(UINT, WPARAM wParam, LPARAM, BOOL& handled)
{
    handled = RunViewerCommand(static_cast<UINT>(wParam & kSystemCommandMask));
    return 0;
}

// The Find dialog's message. Should it not have been registered, the map
// sees WM_NULL here, which goes on to default processing.
LRESULT CViewerDialog::OnFindMessage(UINT message, WPARAM, LPARAM lParam, BOOL& handled)
{
    if (message == WM_NULL) {
        handled = FALSE;
        return 0;
    }
    m_find.OnFindMessage(reinterpret_cast<const FINDREPLACEA*>(lParam), IsFilling());
    return 0;
}

bool CViewerDialog::RunViewerCommand(UINT id)
{
    switch (id) {
    case ID_VIEW_FIND:          m_find.OpenFind(); return true;
    case ID_VIEW_FIND_NEXT:     m_find.FindAgain(true, IsFilling()); return true;
    case ID_VIEW_FIND_PREVIOUS: m_find.FindAgain(false, IsFilling()); return true;
    case ID_VIEW_GO_TO_LINE:    m_find.GoToLine(IsFilling()); return true;
    case ID_VIEW_WRAP:          SwitchWrap(); return true;
    case ID_VIEW_ZOOM_IN:       Zoom(1); return true;
    case ID_VIEW_ZOOM_OUT:      Zoom(-1); return true;
    case ID_VIEW_ZOOM_RESET:    Zoom(0); return true;
    case ID_VIEW_SELECT_ALL:    SelectAll(); return true;
    case ID_VIEW_SAVE: {
        BOOL handled = TRUE;
        OnSave(BN_CLICKED, IDC_SAVE, GetDlgItem(m_hWnd, IDC_SAVE), handled);
        return true;
    }
    default:
        return false;
    }
}

// The whole page, as Copy takes it, not the part that has gone in so far.
void CViewerDialog::SelectAll()
{
    HWND edit = GetDlgItem(m_hWnd, IDC_SOURCE);
    if (!edit) return;
    FinishFill();
    SendMessageA(edit, EM_SETSEL, 0, -1);
}

// A fresh control at the other style takes the document, first screen at
// once and the rest filling behind it, as after a resize; it keeps the
// user's first line and selection.
void CViewerDialog::SwitchWrap()
{
    HWND edit = GetDlgItem(m_hWnd, IDC_SOURCE);
    if (!edit) return;
    m_wrap = !m_wrap;
    WriteWrapLongLines(m_wrap);
    m_keys.ShowWrap(m_wrap);
    // An empty control is not replaced by a rebuild; it is here.
    if (GetWindowTextLengthA(edit) == 0) {
        if (HWND fresh = ReplaceSourceControl(edit)) ShowWindow(fresh, SW_SHOWNA);
        BuildDocument();
        return;
    }
    RebuildKeepingPlace(edit, nullptr);
}

void CViewerDialog::Zoom(int direction)
{
    HWND edit = GetDlgItem(m_hWnd, IDC_SOURCE);
    if (!edit) return;
    const int next = NextZoom(m_zoom, direction);
    if (next == m_zoom) return;
    // A control that cannot zoom is left as it is, and says so in the menu.
    if (!ApplyZoom(edit, next)) {
        m_keys.EnableZoom(false);
        return;
    }
    m_zoom = next;
}

void CViewerDialog::ApplyViewSettings(HWND edit)
{
    if (!m_wrap) SendMessageA(edit, EM_SETTARGETDEVICE, 0, 1);
    if (m_zoom != kActualSize) ApplyZoom(edit, m_zoom);
}
