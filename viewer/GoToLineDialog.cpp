#include "viewer/GoToLineDialog.h"
#include "resources/resource.h"
#include "server/ModuleState.h"
#include "text/CString.h"

namespace {

// Ten digits hold every line number of a page the control can show.
const int kDigits = 10;

} // namespace

BEGIN_MESSAGE_MAP(CGoToLineDialog)
    ON_MESSAGE(WM_INITDIALOG,           OnInitDialog)
    ON_COMMAND(IDOK, BN_CLICKED,        OnOK)
    ON_COMMAND(IDCANCEL, BN_CLICKED,    OnCancel)
END_MESSAGE_MAP()

CGoToLineDialog::CGoToLineDialog(int currentLine, int lineCount)
    : m_line(currentLine), m_lineCount(lineCount)
{
}

int CGoToLineDialog::Run(HWND owner)
{
    return RunModal(IDD_GO_TO_LINE, owner) == IDOK ? m_line : 0;
}

LRESULT CGoToLineDialog::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    HWND number = GetDlgItem(m_hWnd, IDC_LINE_NUMBER);
    if (!number) return TRUE;
    SendMessageA(number, EM_LIMITTEXT, kDigits, 0);
    SetDlgItemInt(m_hWnd, IDC_LINE_NUMBER, static_cast<UINT>(m_line), FALSE);
    SendMessageA(number, EM_SETSEL, 0, -1);
    SetFocus(number);
    // FALSE: the focus stays where it was put.
    return FALSE;
}

LRESULT CGoToLineDialog::OnOK(WORD, WORD id, HWND, BOOL&)
{
    BOOL read = FALSE;
    const UINT line = GetDlgItemInt(m_hWnd, IDC_LINE_NUMBER, &read, FALSE);
    if (read && line >= 1 && line <= static_cast<UINT>(m_lineCount)) {
        m_line = static_cast<int>(line);
        EndDialog(m_hWnd, id);
        return 0;
    }
    // Empty, zero, too many digits or beyond the end: the box stays open.
    CString caption, message;
    caption.LoadFromResource(g_module.resourceInstance, IDS_PRODUCT_NAME);
    message.LoadFromResource(g_module.resourceInstance, IDS_LINE_BEYOND);
    MessageBoxA(m_hWnd, message, caption, MB_OK | MB_ICONINFORMATION);
    if (HWND number = GetDlgItem(m_hWnd, IDC_LINE_NUMBER)) {
        SetFocus(number);
        SendMessageA(number, EM_SETSEL, 0, -1);
    }
    return 0;
}

LRESULT CGoToLineDialog::OnCancel(WORD, WORD id, HWND, BOOL&)
{
    EndDialog(m_hWnd, id);
    return 0;
}
