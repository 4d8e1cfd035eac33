#include "viewer/ViewerDialog.h"
#include <string.h>
#include "about/AboutBox.h"
#include "resources/resource.h"
#include "server/ModuleContext.h"
#include "server/ModuleState.h"
#include "viewer/CertainlyOverflows.h"
#include "viewer/Highlighter.h"
#include "viewer/RichEditFill.h"
#include "viewer/RtfDocument.h"
#include "viewer/ShownMarkup.h"
#include "viewer/TextZoom.h"
#include "viewer/WrapSetting.h"

namespace {

const int kTextLimit = 5000000;
const char kSourceClass[] = "RICHEDIT";
const int kMargin = 10;
const int kMinTrackWidth = 400;
const int kMinTrackHeight = 300;

// Layout of the client area: the text above, the buttons in a strip below.
const int kButtonWidth = 75;
const int kButtonHeight = 23;
const int kEditTop = 2;
const int kButtonStrip = 40;
const int kButtonFromBottom = 30;
const int kAboutLeft = 3;
const int kCopyFromRight = 79;
const int kSaveFromRight = 160;

// A text control that holds more than this many characters takes a new
// width by building the document again into a fresh control: Wine's rich
// edit lays a large many-coloured text out again in time that grows much
// faster than the text (minutes for a few megabytes), a fresh control in
// linear time, first screen at once.
const int kRelayoutLimit = 256 * 1024;

void MoveControl(HWND dialog, int id, int x, int y, int width, int height)
{
    HWND control = GetDlgItem(dialog, id);
    if (control) MoveWindow(control, x, y, width, height, TRUE);
}

} // namespace

BEGIN_MESSAGE_MAP(CViewerDialog)
    ON_MESSAGE(WM_INITDIALOG,               OnInitDialog)
    ON_MESSAGE(WM_SIZE,                     OnSize)
    ON_MESSAGE(WM_ENTERSIZEMOVE,            OnEnterSizeMove)
    ON_MESSAGE(WM_EXITSIZEMOVE,             OnExitSizeMove)
    ON_MESSAGE(WM_GETMINMAXINFO,            OnGetMinMaxInfo)
    ON_MESSAGE(WM_NOTIFY,                   OnNotify)
    ON_MESSAGE(kDeferredWorkMessage,        OnDeferredWork)
    ON_MESSAGE(WM_TIMER,                    OnTimer)
    ON_MESSAGE(WM_DESTROY,                  OnDestroy)
    ON_COMMAND(IDOK,       BN_CLICKED,      OnClose)
    ON_COMMAND(IDCANCEL,   BN_CLICKED,      OnClose)
    ON_COMMAND(IDC_ABOUT,  BN_CLICKED,      OnAbout)
    ON_COMMAND(IDC_COPY,   BN_CLICKED,      OnCopy)
    ON_COMMAND(IDC_SAVE,   BN_CLICKED,      OnSave)
    ON_MESSAGE(WM_COMMAND,                  OnViewerKey)
    ON_MESSAGE(WM_SYSCOMMAND,               OnSysCommand)
    ON_MESSAGE(m_find.FindMessage(),        OnFindMessage)
END_MESSAGE_MAP()

CViewerDialog::CViewerDialog(BSTR markup, int charset)
    : m_charset(InitialCharsetState(charset)), m_undoOff(false), m_sizing(false), m_layoutPending(false),
      m_controlMessageDepth(0), m_find(m_markup, m_charset, kTextLimit), m_wrap(true), m_zoom(kActualSize)
{
    ZeroMemory(&m_ofn, sizeof(m_ofn));
    if (markup) m_markup.Attach(SysAllocStringLen(markup, SysStringLen(markup)));
}

INT_PTR CViewerDialog::Run()
{
    return RunModal(IDD_VIEWER, GetActiveWindow());
}

LRESULT CViewerDialog::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    // A shared icon of the small size: the system owns it, so nothing to free.
    HANDLE icon = LoadImageA(g_module.resourceInstance, MAKEINTRESOURCEA(IDI_BUTTON), IMAGE_ICON,
                             GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED);
    if (icon) SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));

    HWND edit = GetDlgItem(m_hWnd, IDC_SOURCE);
    if (edit) SetUpSourceControl(edit);
    m_find.Attach(m_hWnd);
    m_keys.Install(m_hWnd, &m_find);
    m_wrap = ReadWrapLongLines();
    m_keys.ShowWrap(m_wrap);
    // A control without zoom answers FALSE even to the actual size.
    m_keys.EnableZoom(edit && ApplyZoom(edit, kActualSize));
    // The template's control wraps; one that does not takes its place.
    if (edit && !m_wrap) {
        if (HWND fresh = ReplaceSourceControl(edit)) ShowWindow(fresh, SW_SHOWNA);
    }
    // The control lays its text out again whenever its width changes, which
    // for a large page costs more than the stream-in: take the final size
    // first, then the document.
    RestorePlacement();
    BuildDocument();
    return TRUE;
}

void CViewerDialog::BuildDocument()
{
    BuildDocumentAt(nullptr);
}

void CViewerDialog::BuildDocumentAt(const RECT* place)
{
    StopFill();
    CString shown = ShownMarkup(m_markup.Get(), kTextLimit);
    CString prolog = BuildRtfProlog(m_charset);
    // A document without its font and colour tables would show a wrong
    // page; the control is emptied instead.
    CString body = prolog.IsEmpty() ? CString() : HighlightMarkup(shown);

    HWND edit = GetDlgItem(m_hWnd, IDC_SOURCE);
    if (!edit) return;
    // Emptying a rich-edit control that holds a large page can take time
    // that grows with the square of its content (minutes for a few
    // megabytes); a fresh control takes the new document in linear time.
    HWND fresh = GetWindowTextLengthA(edit) > 0 ? ReplaceSourceControl(edit) : nullptr;
    if (fresh) edit = fresh;
    // Sized while it is empty, which costs it nothing.
    if (place) MoveWindow(edit, place->left, place->top, place->right - place->left, place->bottom - place->top, FALSE);

    // Where the text will certainly not fit, the scroll bar goes up before
    // the text goes in, so that the control lays the text out once, at the
    // width it keeps.
    RECT client;
    if (GetClientRect(edit, &client) && CertainlyOverflows(shown, client.right, client.bottom))
        ShowScrollBar(edit, SB_VERT, TRUE);
    shown = CString();

    CString first;
    if (!prolog.IsEmpty()) {
        m_pieces.Start(prolog, body);
        body = CString();
        m_pieces.Next(CFillPacer::kFirstPieceBytes, first);
    }
    StreamIn(edit, first, SF_RTF);
    if (fresh) ShowWindow(fresh, SW_SHOWNA);
    // An insertion into the text is an undoable edit: the control keeps a
    // record of every run of every piece, and once it holds more pieces than
    // its undo limit it drops the oldest piece's records with each new one,
    // which made every later piece many times slower. Nothing of the fill is
    // for undoing.
    if (m_pieces.HasMore()) m_undoOff = TurnUndoOff(edit);

    m_pacer.Start();
    if (m_pieces.HasMore() && SetTimer(m_hWnd, kFillTimer, CFillPacer::kTimerMs, nullptr)) return;
    // Without a timer the rest goes in now.
    FinishFill();
}

void CViewerDialog::ContinueFill(DWORD budgetMs)
{
    HWND edit = GetDlgItem(m_hWnd, IDC_SOURCE);
    if (!edit) {
        StopFill();
        return;
    }
    const bool finishing = budgetMs == INFINITE;
    const DWORD start = GetTickCount();
    while (m_pieces.HasMore()) {
        const int before = m_pieces.Remaining();
        const int size = m_pacer.NextPieceBytes(before, finishing);
        if (size == 0) {
            if (m_pacer.DropsTheRest()) m_pieces.Clear();
            break;
        }
        CString piece;
        // A piece that cannot be made now never can: the rest is dropped.
        if (!m_pieces.Next(size, piece)) {
            m_pieces.Clear();
            break;
        }
        const DWORD pieceStart = GetTickCount();
        AppendPiece(edit, piece);
        m_pacer.PieceWentIn(before - m_pieces.Remaining(), GetTickCount() - pieceStart, m_pieces.HandedOut());

        if (finishing) continue;
        if (GetTickCount() - start >= budgetMs || GetQueueStatus(QS_INPUT) != 0) break;
    }
    if (m_pieces.HasMore()) return;
    // The undo of the insertions would take the page apart again.
    SendMessageA(edit, EM_EMPTYUNDOBUFFER, 0, 0);
    StopFill();
}

void CViewerDialog::FinishFill()
{
    if (m_pieces.HasMore()) ContinueFill(INFINITE);
    StopFill();
    // The timer that would have shown a waiting match is gone.
    m_find.ShowPending(false);
}

void CViewerDialog::StopFill()
{
    if (m_hWnd) {
        KillTimer(m_hWnd, kFillTimer);
        // A fill leaves the control with its usual undo, as one stream-in of
        // the whole document does.
        HWND edit = GetDlgItem(m_hWnd, IDC_SOURCE);
        if (m_undoOff && edit) TurnUndoOn(edit);
    }
    m_undoOff = false;
    m_pieces.Clear();
}

LRESULT CViewerDialog::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& handled)
{
    if (wParam != kFillTimer) {
        handled = FALSE;
        return 0;
    }
    if (m_pieces.HasMore())
        ContinueFill(CFillPacer::kTickMs);
    else
        StopFill();
    m_find.ShowPending(IsFilling());
    return 0;
}

LRESULT CViewerDialog::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled)
{
    StopFill();
    m_find.Close();
    m_keys.Remove();
    handled = FALSE;
    return 0;
}

void CViewerDialog::SetUpSourceControl(HWND edit)
{
    SendMessageA(edit, EM_LIMITTEXT, kTextLimit, 0);
    SendMessageA(edit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(kMargin, kMargin));
    SendMessageA(edit, EM_SETEVENTMASK, 0, ENM_MOUSEEVENTS | ENM_LINK);
}

// Puts a new, empty, hidden control of the same style, place, font and tab
// position in the place of edit. The old one may be in the middle of sending
// the notification that led here, so it is only hidden and renumbered now
// and destroyed once that message is over. Returns null when no new control
// can be made; the old one then stays in use.
HWND CViewerDialog::ReplaceSourceControl(HWND edit)
{
    RECT place;
    if (!GetWindowRect(edit, &place)) return nullptr;
    MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&place), 2);
    DWORD style = static_cast<DWORD>(GetWindowLongPtrA(edit, GWL_STYLE)) & ~WS_VISIBLE;
    // Without wrapping, long lines scroll sideways. The control drops the
    // scroll bar styles it does not show at the moment; the fresh one may
    // need them, as the template's did.
    const DWORD noWrap = WS_HSCROLL | ES_AUTOHSCROLL;
    style = (m_wrap ? style & ~noWrap : style | noWrap) | WS_VSCROLL;
    DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrA(edit, GWL_EXSTYLE));
    HWND fresh = ContextCreateWindowExA(exStyle, kSourceClass, "", style, place.left, place.top,
                                        place.right - place.left, place.bottom - place.top, m_hWnd,
                                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_SOURCE)),
                                        g_module.instance, nullptr);
    if (!fresh) return nullptr;
    SetWindowPos(fresh, edit, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    // The font the dialog gave the first control: Wine's rich edit answers
    // WM_GETFONT with none, which would leave the fresh one the bold system
    // font for every character the document does not format itself.
    SendMessageA(fresh, WM_SETFONT, SendMessageA(m_hWnd, WM_GETFONT, 0, 0), FALSE);
    SetUpSourceControl(fresh);
    ApplyViewSettings(fresh);

    bool hadFocus = GetFocus() == edit;
    SendMessageA(edit, EM_SETEVENTMASK, 0, 0);
    SetWindowLongPtrA(edit, GWLP_ID, 0);
    ShowWindow(edit, SW_HIDE);
    if (hadFocus) SetFocus(fresh);
    PostMessageA(m_hWnd, kDeferredWorkMessage, 0, 0);
    return fresh;
}

// Destroys the replaced source controls (hidden, numbered 0) and lays out
// what a change of size left pending. Inside a notification of the text
// control nothing happens: the notification's end posts this again.
LRESULT CViewerDialog::OnDeferredWork(UINT, WPARAM, LPARAM, BOOL&)
{
    if (m_controlMessageDepth > 0) return 0;
    HWND current = GetDlgItem(m_hWnd, IDC_SOURCE);
    HWND child = GetWindow(m_hWnd, GW_CHILD);
    while (child) {
        HWND next = GetWindow(child, GW_HWNDNEXT);
        char className[16] = "";
        GetClassNameA(child, className, sizeof className);
        if (child != current && GetDlgCtrlID(child) == 0 && lstrcmpiA(className, kSourceClass) == 0)
            DestroyWindow(child);
        child = next;
    }
    if (m_layoutPending && !m_sizing) {
        m_layoutPending = false;
        LayOutControls();
    }
    return 0;
}

void CViewerDialog::EnterControlNotification()
{
    ++m_controlMessageDepth;
}

void CViewerDialog::LeaveControlNotification()
{
    if (--m_controlMessageDepth == 0) PostMessageA(m_hWnd, kDeferredWorkMessage, 0, 0);
}

// The control asks for the document in chunks; hand them out from a read
// position so that a large page stays linear.
DWORD CALLBACK CViewerDialog::StreamInCallback(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* transferred)
{
    StreamInSource* source = reinterpret_cast<StreamInSource*>(cookie);
    LONG count = 0;
    if (source && buffer && size > 0) {
        LONG remaining = source->length - source->position;
        count = remaining < size ? remaining : size;
        if (count < 0) count = 0;
        memcpy(buffer, source->data + source->position, count);
        source->position += count;
    }
    if (transferred) *transferred = count;
    return 0;
}

LRESULT CViewerDialog::OnSize(UINT, WPARAM, LPARAM, BOOL&)
{
    // While the user drags the frame, the controls keep their places: every
    // new size of the text control costs it a layout of the whole text, which
    // takes seconds to minutes for a large page. They take the final size
    // once, when the drag ends. Inside a notification of the text control
    // (the Encoding menu's loop) the control must not be replaced under its
    // own message: the layout waits for the notification's end.
    if (m_sizing || m_controlMessageDepth > 0) {
        m_layoutPending = true;
        return 0;
    }
    LayOutControls();
    return 0;
}

LRESULT CViewerDialog::OnEnterSizeMove(UINT, WPARAM, LPARAM, BOOL& handled)
{
    m_sizing = true;
    handled = FALSE;
    return 0;
}

LRESULT CViewerDialog::OnExitSizeMove(UINT, WPARAM, LPARAM, BOOL& handled)
{
    m_sizing = false;
    if (m_layoutPending) LayOutControls();
    m_layoutPending = false;
    handled = FALSE;
    return 0;
}

// A large text takes a new width as a document built again into a fresh
// control at that width, which then shows the same first line and
// selection as the old one. False when the text control is left to lay its
// text out again itself (a small text, or only the height changes).
bool CViewerDialog::RebuildAtNewWidth(const RECT& place)
{
    HWND edit = GetDlgItem(m_hWnd, IDC_SOURCE);
    RECT now;
    if (!edit || !GetWindowRect(edit, &now) || now.right - now.left == place.right - place.left) return false;
    if (GetWindowTextLengthA(edit) <= kRelayoutLimit) return false;
    RebuildKeepingPlace(edit, &place);
    return true;
}

void CViewerDialog::RebuildKeepingPlace(HWND edit, const RECT* place)
{
    CHARRANGE selection = { 0, 0 };
    SendMessageA(edit, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    const LRESULT top = SendMessageA(edit, EM_LINEINDEX, SendMessageA(edit, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    BuildDocumentAt(place);
    HWND fresh = GetDlgItem(m_hWnd, IDC_SOURCE);
    if (!fresh || fresh == edit) return;
    // No message of the old control is under way here (inside one, the
    // layout waits): it goes before the fresh one fills up to the user's
    // place, so that the process never holds the page twice.
    DestroyWindow(edit);

    // The text up to the user's place goes in now; the rest follows as usual.
    const LONG needed = static_cast<LONG>(top > selection.cpMax ? top : selection.cpMax);
    while (m_pieces.HasMore() && GetWindowTextLengthA(fresh) <= needed) {
        const int handedOut = m_pieces.HandedOut();
        ContinueFill(CFillPacer::kPieceMs);
        // Without room for a piece now, the rest follows from the timer.
        if (m_pieces.HandedOut() == handedOut) break;
    }
    SendMessageA(fresh, WM_SETREDRAW, FALSE, 0);
    ShowPlace(fresh, selection, SendMessageA(fresh, EM_EXLINEFROMCHAR, 0, top));
}

void CViewerDialog::LayOutControls()
{
    RECT client;
    if (!GetClientRect(m_hWnd, &client)) return;
    int width = client.right;
    int height = client.bottom;
    int buttonTop = height - kButtonFromBottom;

    const RECT text = { 0, kEditTop, width, kEditTop + height - kButtonStrip };
    if (!RebuildAtNewWidth(text)) MoveControl(m_hWnd, IDC_SOURCE, 0, kEditTop, width, height - kButtonStrip);
    MoveControl(m_hWnd, IDC_ABOUT, kAboutLeft, buttonTop, kButtonWidth, kButtonHeight);
    MoveControl(m_hWnd, IDC_COPY, width - kCopyFromRight, buttonTop, kButtonWidth, kButtonHeight);
    MoveControl(m_hWnd, IDC_SAVE, width - kSaveFromRight, buttonTop, kButtonWidth, kButtonHeight);
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

LRESULT CViewerDialog::OnGetMinMaxInfo(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    MINMAXINFO* info = reinterpret_cast<MINMAXINFO*>(lParam);
    if (info) {
        info->ptMinTrackSize.x = kMinTrackWidth;
        info->ptMinTrackSize.y = kMinTrackHeight;
    }
    return 0;
}

LRESULT CViewerDialog::OnClose(WORD, WORD id, HWND, BOOL&)
{
    // Whatever is still to go into the control is dropped.
    StopFill();
    SavePlacement();
    EndDialog(m_hWnd, id);
    return 0;
}

LRESULT CViewerDialog::OnAbout(WORD, WORD, HWND, BOOL&)
{
    RunAboutBox();
    return 0;
}
