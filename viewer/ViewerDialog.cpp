#include "viewer/ViewerDialog.h"
#include <string.h>
#include "about/AboutBox.h"
#include "resources/resource.h"
#include "server/ModuleState.h"
#include "viewer/RtfDocument.h"

namespace {

const int kTextLimit = 5000000;
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
    if (edit) {
        SendMessageA(edit, EM_LIMITTEXT, kTextLimit, 0);
        SendMessageA(edit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(kMargin, kMargin));
        SendMessageA(edit, EM_SETEVENTMASK, 0, ENM_MOUSEEVENTS | ENM_LINK);
    }
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
    StreamInSource source = { document.c_str(), document.GetLength(), 0 };
    EDITSTREAM stream = {};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
    stream.dwError = 0;
    stream.pfnCallback = StreamInCallback;
    // A document the control rejects or cuts at its limit shows what it took.
    SendMessageA(edit, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
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
