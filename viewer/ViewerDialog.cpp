#include "viewer/ViewerDialog.h"
#include <string.h>
#include "about/AboutBox.h"
#include "resources/resource.h"
#include "server/ModuleContext.h"
#include "server/ModuleState.h"
#include "viewer/RtfDocument.h"

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

void MoveControl(HWND dialog, int id, int x, int y, int width, int height)
{
    HWND control = GetDlgItem(dialog, id);
    if (control) MoveWindow(control, x, y, width, height, TRUE);
}

} // namespace

BEGIN_MESSAGE_MAP(CViewerDialog)
    ON_MESSAGE(WM_INITDIALOG,               OnInitDialog)
    ON_MESSAGE(WM_SIZE,                     OnSize)
    ON_MESSAGE(WM_GETMINMAXINFO,            OnGetMinMaxInfo)
    ON_MESSAGE(WM_NOTIFY,                   OnNotify)
    ON_MESSAGE(kDiscardSourceMessage,       OnDiscardSource)
    ON_COMMAND(IDOK,       BN_CLICKED,      OnClose)
    ON_COMMAND(IDCANCEL,   BN_CLICKED,      OnClose)
    ON_COMMAND(IDC_ABOUT,  BN_CLICKED,      OnAbout)
    ON_COMMAND(IDC_COPY,   BN_CLICKED,      OnCopy)
    ON_COMMAND(IDC_SAVE,   BN_CLICKED,      OnSave)
END_MESSAGE_MAP()

CViewerDialog::CViewerDialog(BSTR markup, int charset)
    : m_charset(InitialCharsetState(charset))
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
    BuildDocument();
    RestorePlacement();
    return TRUE;
}

void CViewerDialog::BuildDocument()
{
    CString narrowMarkup(m_markup.Get() ? m_markup.Get() : L"");
    CString document = BuildRtfDocument(narrowMarkup, m_charset);

    HWND edit = GetDlgItem(m_hWnd, IDC_SOURCE);
    if (!edit) return;
    // Emptying a rich-edit control that holds a large page can take time
    // that grows with the square of its content (minutes for a few
    // megabytes); a fresh control takes the new document in linear time.
    HWND fresh = GetWindowTextLengthA(edit) > 0 ? ReplaceSourceControl(edit) : nullptr;
    if (fresh) edit = fresh;
    StreamInSource source = { document.c_str(), document.GetLength(), 0 };
    EDITSTREAM stream = {};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
    stream.dwError = 0;
    stream.pfnCallback = StreamInCallback;
    // A document the control rejects or cuts at its limit shows what it took.
    SendMessageA(edit, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
    if (fresh) ShowWindow(fresh, SW_SHOWNA);
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
    DWORD style = static_cast<DWORD>(GetWindowLongA(edit, GWL_STYLE)) & ~WS_VISIBLE;
    DWORD exStyle = static_cast<DWORD>(GetWindowLongA(edit, GWL_EXSTYLE));
    HWND fresh = ContextCreateWindowExA(exStyle, kSourceClass, "", style, place.left, place.top,
                                        place.right - place.left, place.bottom - place.top, m_hWnd,
                                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_SOURCE)),
                                        g_module.instance, nullptr);
    if (!fresh) return nullptr;
    SetWindowPos(fresh, edit, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SendMessageA(fresh, WM_SETFONT, SendMessageA(edit, WM_GETFONT, 0, 0), FALSE);
    SetUpSourceControl(fresh);

    bool hadFocus = GetFocus() == edit;
    SendMessageA(edit, EM_SETEVENTMASK, 0, 0);
    SetWindowLongA(edit, GWL_ID, 0);
    ShowWindow(edit, SW_HIDE);
    if (hadFocus) SetFocus(fresh);
    PostMessageA(m_hWnd, kDiscardSourceMessage, reinterpret_cast<WPARAM>(edit), 0);
    return fresh;
}

LRESULT CViewerDialog::OnDiscardSource(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    HWND old = reinterpret_cast<HWND>(wParam);
    if (IsWindow(old) && GetParent(old) == m_hWnd && old != GetDlgItem(m_hWnd, IDC_SOURCE))
        DestroyWindow(old);
    return 0;
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
    RECT client;
    if (!GetClientRect(m_hWnd, &client)) return 0;
    int width = client.right;
    int height = client.bottom;
    int buttonTop = height - kButtonFromBottom;

    MoveControl(m_hWnd, IDC_SOURCE, 0, kEditTop, width, height - kButtonStrip);
    MoveControl(m_hWnd, IDC_ABOUT, kAboutLeft, buttonTop, kButtonWidth, kButtonHeight);
    MoveControl(m_hWnd, IDC_COPY, width - kCopyFromRight, buttonTop, kButtonWidth, kButtonHeight);
    MoveControl(m_hWnd, IDC_SAVE, width - kSaveFromRight, buttonTop, kButtonWidth, kButtonHeight);
    InvalidateRect(m_hWnd, nullptr, FALSE);
    return 0;
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
    SavePlacement();
    EndDialog(m_hWnd, id);
    return 0;
}

LRESULT CViewerDialog::OnAbout(WORD, WORD, HWND, BOOL&)
{
    RunAboutBox();
    return 0;
}
