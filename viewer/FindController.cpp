#include "viewer/FindController.h"
#include <richedit.h>
#include <string.h>
#include "resources/resource.h"
#include "server/ModuleContext.h"
#include "server/ModuleState.h"
#include "viewer/GoToLineDialog.h"
#include "viewer/ShownMarkup.h"

// Failures here end the command silently, apart from the two messages the
// user is meant to see: a text not found and a line beyond the end.

namespace {

const DWORD kDialogOptions = FR_DOWN | FR_MATCHCASE | FR_WHOLEWORD;

unsigned SearchOptions(DWORD flags)
{
    return ((flags & FR_DOWN) ? CTextSearch::kDown : 0) | ((flags & FR_MATCHCASE) ? CTextSearch::kMatchCase : 0) |
           ((flags & FR_WHOLEWORD) ? CTextSearch::kWholeWord : 0);
}

// Characters in the control, its final paragraph mark not counted. While
// the fill goes on the control holds a beginning of the page.
LONG ControlLength(HWND edit)
{
    GETTEXTLENGTHEX request = { GTL_NUMCHARS, CP_ACP };
    LRESULT length = SendMessageA(edit, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&request), 0);
    if (length <= 0) length = SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0);
    return static_cast<LONG>(length);
}

CHARRANGE SelectionOf(HWND edit)
{
    CHARRANGE range = { 0, 0 };
    SendMessageA(edit, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
    return range;
}

} // namespace

CFindController::CFindController(const CBstr& markup, const int& charset, int characterLimit)
    : m_markup(markup), m_charset(charset), m_characterLimit(characterLimit), m_viewer(nullptr),
      m_searchReady(false), m_options(CTextSearch::kDown), m_dialog(nullptr),
      m_findMessage(RegisterWindowMessageA(FINDMSGSTRINGA)), m_pendingStart(-1), m_pendingEnd(-1)
{
    ZeroMemory(&m_record, sizeof(m_record));
    ZeroMemory(m_findWhat, sizeof(m_findWhat));
}

CFindController::~CFindController()
{
    Close();
}

void CFindController::Attach(HWND viewer)
{
    m_viewer = viewer;
}

void CFindController::Close()
{
    // The dialog goes with its owner; this only makes the order certain.
    if (m_dialog && IsWindow(m_dialog)) DestroyWindow(m_dialog);
    m_dialog = nullptr;
    m_pendingStart = m_pendingEnd = -1;
}

// The text is made on the first search: most viewers never search, and it
// costs as much memory as the page.
CTextSearch& CFindController::Search()
{
    if (!m_searchReady) {
        m_search.SetText(ShownMarkup(m_markup.Get(), m_characterLimit));
        m_searchReady = true;
    }
    return m_search;
}

HWND CFindController::Edit() const
{
    return m_viewer ? GetDlgItem(m_viewer, IDC_SOURCE) : nullptr;
}

UINT CFindController::CodePage() const
{
    return ControlCodePage(m_charset);
}

void CFindController::TakeSelection()
{
    HWND edit = Edit();
    if (!edit) return;
    const CHARRANGE range = SelectionOf(edit);
    const LONG length = range.cpMax - range.cpMin;
    if (length <= 0 || length >= static_cast<LONG>(sizeof(m_findWhat))) return;
    // A double-byte character takes two bytes for its one position.
    char selected[sizeof(m_findWhat) * 2] = "";
    SendMessageA(edit, EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(selected));
    selected[sizeof(selected) - 1] = '\0';
    if (!selected[0] || strpbrk(selected, "\r\n")) return;
    if (strlen(selected) >= sizeof(m_findWhat)) return;
    lstrcpynA(m_findWhat, selected, sizeof(m_findWhat));
}

void CFindController::OpenFind()
{
    if (!m_viewer) return;
    if (m_dialog && IsWindow(m_dialog)) {
        SetActiveWindow(m_dialog);
        return;
    }
    TakeSelection();
    ZeroMemory(&m_record, sizeof(m_record));
    m_record.lStructSize = sizeof(m_record);
    m_record.hwndOwner = m_viewer;
    m_record.hInstance = g_module.instance;
    m_record.Flags = ((m_options & CTextSearch::kDown) ? FR_DOWN : 0) |
                     ((m_options & CTextSearch::kMatchCase) ? FR_MATCHCASE : 0) |
                     ((m_options & CTextSearch::kWholeWord) ? FR_WHOLEWORD : 0);
    m_record.lpstrFindWhat = m_findWhat;
    m_record.wFindWhatLen = sizeof(m_findWhat);
    m_dialog = ContextFindTextA(&m_record);
}

void CFindController::FindAgain(bool down, bool filling)
{
    if (!m_findWhat[0]) {
        OpenFind();
        return;
    }
    FindNext(down, filling);
}

void CFindController::OnFindMessage(const FINDREPLACEA* record, bool filling)
{
    if (record != &m_record) return;
    if (record->Flags & FR_DIALOGTERM) {
        m_dialog = nullptr;
        return;
    }
    if (!(record->Flags & FR_FINDNEXT)) return;
    m_findWhat[sizeof(m_findWhat) - 1] = '\0';
    m_options = SearchOptions(record->Flags & kDialogOptions);
    FindNext((m_options & CTextSearch::kDown) != 0, filling);
}

// As Notepad does: down from the end of the selection, up from its start,
// and no wrapping at either end of the page. A match still waiting for the
// fill counts as the selection.
void CFindController::FindNext(bool down, bool filling)
{
    HWND edit = Edit();
    if (!edit || !m_findWhat[0]) return;
    CTextSearch& search = Search();
    int from;
    if (m_pendingStart >= 0) {
        from = down ? m_pendingEnd : m_pendingStart;
    } else {
        const CHARRANGE selection = SelectionOf(edit);
        from = search.OffsetOf(down ? selection.cpMax : selection.cpMin, CodePage());
    }
    const unsigned options = (m_options & ~CTextSearch::kDown) | (down ? CTextSearch::kDown : 0);
    const int found = search.Find(m_findWhat, from, options);
    if (found < 0) {
        ReportNotFound();
        return;
    }
    Show(found, found + static_cast<int>(strlen(m_findWhat)), filling);
}

void CFindController::ReportNotFound()
{
    CString caption, format, message;
    caption.LoadFromResource(g_module.resourceInstance, IDS_PRODUCT_NAME);
    format.LoadFromResource(g_module.resourceInstance, IDS_CANNOT_FIND);
    if (!message.Format(format, m_findWhat)) return;
    // Over the Find dialog while it is open, as Notepad does. The viewer
    // waits for the answer too: closing it would take the Find dialog, and
    // the message with it, away in the middle of the dialog's own message.
    HWND owner = m_dialog && IsWindow(m_dialog) && IsWindowVisible(m_dialog) ? m_dialog : m_viewer;
    const bool viewerStaysEnabled = owner != m_viewer && IsWindowEnabled(m_viewer);
    if (viewerStaysEnabled) EnableWindow(m_viewer, FALSE);
    MessageBoxA(owner, message, caption, MB_OK | MB_ICONINFORMATION);
    if (viewerStaysEnabled) EnableWindow(m_viewer, TRUE);
}

void CFindController::GoToLine(bool filling)
{
    HWND edit = Edit();
    if (!edit) return;
    CTextSearch& search = Search();
    const CHARRANGE selection = SelectionOf(edit);
    const int current = search.LineOf(search.OffsetOf(selection.cpMin, CodePage()));
    CGoToLineDialog dialog(current, search.LineCount());
    const int line = dialog.Run(m_viewer);
    if (line <= 0) return;
    const int start = search.LineStart(line);
    if (start >= 0) Show(start, start, filling);
}

void CFindController::Show(int start, int end, bool filling)
{
    HWND edit = Edit();
    if (!edit) return;
    m_pendingStart = m_pendingEnd = -1;
    if (ShowIfHeld(edit, start, end) || !filling) return;
    m_pendingStart = start;
    m_pendingEnd = end;
}

bool CFindController::ShowIfHeld(HWND edit, int start, int end)
{
    CTextSearch& search = Search();
    const UINT codePage = CodePage();
    CHARRANGE range = { search.PositionOf(start, codePage), search.PositionOf(end, codePage) };
    if (range.cpMax > ControlLength(edit)) return false;
    SendMessageA(edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    SendMessageA(edit, EM_SCROLLCARET, 0, 0);
    // The Find dialog has the focus: the match is shown selected all the
    // same, where the control can (Wine's keeps it hidden until focused).
    SendMessageA(edit, EM_HIDESELECTION, FALSE, FALSE);
    return true;
}

void CFindController::ShowPending(bool filling)
{
    if (m_pendingStart < 0) return;
    HWND edit = Edit();
    if (edit && ShowIfHeld(edit, m_pendingStart, m_pendingEnd)) filling = false;
    if (!filling) m_pendingStart = m_pendingEnd = -1;
}
