#include "about/AboutDialog.h"
#include "about/AboutBox.h"
#include "resources/resource.h"

namespace {

const char kHomePageUrl[] = "https://www.glimmerdeck.example/";
const char kHomePageShown[] = "www.glimmerdeck.example";
const char kSupportTarget[] = "mailto:support@glimmerdeck.example";
const char kSupportAddress[] = "support@glimmerdeck.example";

} // namespace

void RunAboutBox()
{
    // A box that cannot be created shows nothing and reports nothing.
    CAboutDialog dialog;
    dialog.RunModal(IDD_ABOUT, GetActiveWindow());
}

CAboutDialog::CAboutDialog() {}

HFONT CAboutDialog::CreateVersionFont(HGDIOBJ stockFont)
{
    LOGFONTA description = {};
    if (!stockFont || !GetObjectA(stockFont, sizeof(description), &description)) {
        description = LOGFONTA();
        description.lfHeight = -11;
        description.lfCharSet = ANSI_CHARSET;
        description.lfOutPrecision = OUT_DEFAULT_PRECIS;
        description.lfClipPrecision = CLIP_DEFAULT_PRECIS;
        description.lfQuality = PROOF_QUALITY;
        description.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
        lstrcpynA(description.lfFaceName, "MS Sans Serif", LF_FACESIZE);
    }
    description.lfWeight = FW_BOLD;
    return CreateFontIndirectA(&description);
}

BEGIN_MESSAGE_MAP(CAboutDialog)
    ON_MESSAGE(WM_INITDIALOG,           OnInitDialog)
    ON_COMMAND(IDOK, 0,                 OnOK)
    ON_COMMAND(IDCANCEL, 0,             OnCancel)
    ON_MESSAGE(WM_DESTROY,              OnDestroy)
END_MESSAGE_MAP()

void CAboutDialog::AttachLink(CLinkLabel& link, int itemId, const char* target, const char* label)
{
    // A link that is missing or cannot be taken over stays a plain static.
    link.SetTarget(target);
    link.SetLabel(label);
    if (link.AttachToWindow(GetDlgItem(m_hWnd, itemId))) link.InitializeLink();
}

LRESULT CAboutDialog::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    AttachLink(m_homeLink, IDC_HOME_LINK, kHomePageUrl, kHomePageShown);
    AttachLink(m_supportLink, IDC_SUPPORT_LINK, kSupportTarget, kSupportAddress);

    m_boldFont.Reset(CreateVersionFont(GetStockObject(DEFAULT_GUI_FONT)));
    if (HWND version = GetDlgItem(m_hWnd, IDC_VERSION_TEXT))
        SendMessageA(version, WM_SETFONT, reinterpret_cast<WPARAM>(m_boldFont.Get()), TRUE);
    // TRUE: the system puts the focus on the first tab stop, the OK button.
    return TRUE;
}

LRESULT CAboutDialog::OnOK(WORD, WORD id, HWND, BOOL&)
{
    EndDialog(m_hWnd, id);
    return 0;
}

LRESULT CAboutDialog::OnCancel(WORD, WORD id, HWND, BOOL&)
{
    EndDialog(m_hWnd, id);
    return 0;
}

LRESULT CAboutDialog::OnDestroy(UINT, WPARAM, LPARAM, BOOL&)
{
    // The version static still holds the font; nothing draws it any more.
    m_boldFont.Close();
    return 0;
}
