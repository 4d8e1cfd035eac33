#include "about/LinkLabel.h"
#include <new>
#include <string.h>
#include <commctrl.h>
#include <olectl.h>
#include <shellapi.h>
#include "server/ModuleContext.h"
#include "server/ModuleState.h"
#include "server/Handles.h"

namespace {

const char kBrowserSettingsKey[] = "Software\\Microsoft\\Internet Explorer\\Settings";
const COLORREF kDefaultLinkColor = RGB(0, 0, 255);
const COLORREF kDefaultVisitedColor = RGB(128, 0, 128);
const DWORD kHoverTimeMs = 10;
// Colour texts are at most 11 characters and their NUL.
const DWORD kColorTextBytes = 12;

POINT PointFromLParam(LPARAM lParam)
{
    POINT point = { static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)) };
    return point;
}

char* CopyText(const char* text)
{
    char* copy = new (std::nothrow) char[lstrlenA(text) + 1];
    if (copy) lstrcpyA(copy, text);
    return copy;
}

// One component of a colour text: its value modulo 256, and whether it was
// exactly -1, which marks a missing component.
struct ColorComponent {
    BYTE value;
    bool minusOne;
};

// Decimal with leading white space and a sign, up to the first non-digit.
// Exact for any number of digits: only the low byte and "is it -1" count.
ColorComponent ReadComponent(const char* p)
{
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    unsigned low = 0;
    unsigned magnitude = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        unsigned digit = static_cast<unsigned>(*p - '0');
        low = (low * 10 + digit) & 0xFF;
        if (magnitude < 10) magnitude = magnitude * 10 + digit;
    }
    ColorComponent component;
    component.value = static_cast<BYTE>(negative ? 0u - low : low);
    component.minusOne = negative && magnitude == 1;
    return component;
}

// Leaves color alone unless the value reads as a valid colour text.
void ReadColorValue(HKEY key, const char* name, COLORREF& color)
{
    // One spare byte keeps the text terminated even when the stored data
    // carries no NUL of its own.
    char text[kColorTextBytes + 1] = {};
    DWORD size = kColorTextBytes;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS)
        return;
    if (size > kColorTextBytes) return;
    // Twelve characters without a NUL are one too many, just as the same text
    // stored with its NUL would not fit.
    if (size == kColorTextBytes && !memchr(text, '\0', size)) return;
    text[size] = '\0';
    COLORREF parsed = CLinkLabel::ParseColorString(text);
    if (parsed != CLR_INVALID) color = parsed;
}

} // namespace

CLinkLabel::CLinkLabel()
    : m_label(nullptr), m_target(nullptr), m_cursor(nullptr),
      m_linkRect(), m_paintLabel(true), m_tooltip(nullptr), m_visited(false),
      m_linkColor(kDefaultLinkColor), m_visitedColor(kDefaultVisitedColor),
      m_hover(0), m_tracking(0), m_fontDescription()
{
    HGDIOBJ stockFont = GetStockObject(DEFAULT_GUI_FONT);
    if (stockFont) GetObjectA(stockFont, sizeof(m_fontDescription), &m_fontDescription);
    m_normalFont.Reset(CreateFontIndirectA(&m_fontDescription));
    m_measuringFont.Reset(CreateFontIndirectA(&m_fontDescription));
    m_fontDescription.lfUnderline = TRUE;
    m_underlinedFont.Reset(CreateFontIndirectA(&m_fontDescription));
}

CLinkLabel::~CLinkLabel()
{
    // The owners would release the fonts too; this keeps the order of release.
    m_normalFont.Close();
    m_underlinedFont.Close();
    delete[] m_label;
    delete[] m_target;
    m_measuringFont.Close();
}

bool CLinkLabel::SetLabel(const char* text)
{
    delete[] m_label;
    m_label = text ? CopyText(text) : nullptr;
    if (!m_label) return false;
    ComputeLinkRect();
    return true;
}

bool CLinkLabel::SetTarget(const char* text)
{
    delete[] m_target;
    m_target = text ? CopyText(text) : nullptr;
    if (!m_target) return false;
    if (!m_label) ComputeLinkRect();
    return true;
}

void CLinkLabel::InitializeLink()
{
    // Without a window there is nothing to take over, and a tooltip made now
    // would have no owner to go with.
    if (!m_hWnd || !IsWindow(m_hWnd)) return;
    char className[8] = {};
    if (GetClassNameA(m_hWnd, className, sizeof(className)) > 0 && lstrcmpiA(className, "static") == 0) {
        LONG style = GetWindowLongA(m_hWnd, GWL_STYLE);
        // Without SS_NOTIFY a static is transparent to the mouse and its
        // clicks would go to the dialog.
        if (!(style & SS_NOTIFY)) SetWindowLongA(m_hWnd, GWL_STYLE, style | SS_NOTIFY);
        // The type is masked with SS_TYPEMASK, not the whole low byte, so
        // that an icon or bitmap with SS_REALSIZECONTROL still counts.
        switch (style & SS_TYPEMASK) {
        case SS_ICON: case SS_BLACKRECT: case SS_GRAYRECT: case SS_WHITERECT:
        case SS_BLACKFRAME: case SS_GRAYFRAME: case SS_WHITEFRAME:
        case SS_OWNERDRAW: case SS_BITMAP: case SS_ENHMETAFILE:
            m_paintLabel = false;
            break;
        }
    }

    m_cursor = LoadCursorA(nullptr, IDC_HAND);

    if (m_paintLabel) {
        HFONT parentFont = reinterpret_cast<HFONT>(SendMessageA(GetParent(m_hWnd), WM_GETFONT, 0, 0));
        LOGFONTA description = {};
        if (parentFont && GetObjectA(parentFont, sizeof(description), &description)) {
            description.lfUnderline = TRUE;
            if (HFONT measuring = CreateFontIndirectA(&description)) m_measuringFont.Reset(measuring);
        }
    }

    if (!m_label) {
        int length = GetWindowTextLengthA(m_hWnd);
        if (length > 0) {
            char* text = new (std::nothrow) char[length + 1];
            if (text) {
                if (GetWindowTextA(m_hWnd, text, length + 1) > 0) SetLabel(text);
                delete[] text;
            }
        }
    }
    if (!m_target && m_label) SetTarget(m_label);

    ComputeLinkRect();
    CreateTooltip();
    if (m_paintLabel) ReadLinkColors();
}

void CLinkLabel::CreateTooltip()
{
    // Failures here leave the link without a tooltip; it works all the same.
    if (m_tooltip && IsWindow(m_tooltip)) DestroyWindow(m_tooltip);
    m_tooltip = ContextCreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, 0,
                                       CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                       m_hWnd, nullptr, g_module.instance, nullptr);
    if (!m_tooltip) return;
    SendMessageA(m_tooltip, TTM_ACTIVATE, TRUE, 0);
    TOOLINFOA tool = {};
    // 44 bytes: the record up to and including lParam.
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = GetParent(m_hWnd);
    tool.uId = reinterpret_cast<UINT_PTR>(m_hWnd);
    tool.hinst = g_module.resourceInstance;
    tool.lpszText = m_target;
    tool.lParam = 0;
    SendMessageA(m_tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

void CLinkLabel::ReadLinkColors()
{
    // A key that cannot be opened, a missing value or one that does not
    // parse keeps the default colour.
    RegistryKeyHandle key;
    if (key.Open(HKEY_CURRENT_USER, kBrowserSettingsKey, KEY_ALL_ACCESS) != ERROR_SUCCESS) return;
    ReadColorValue(key, "Anchor Color", m_linkColor);
    ReadColorValue(key, "Anchor Color Visited", m_visitedColor);
}

bool CLinkLabel::ComputeLinkRect()
{
    if (!m_hWnd || !IsWindow(m_hWnd) || !ShownText()) return false;
    HDC dc = GetDC(m_hWnd);
    if (!dc) return false;
    RECT client;
    GetClientRect(m_hWnd, &client);
    m_linkRect = client;
    if (m_paintLabel) {
        LONG style = GetWindowLongA(m_hWnd, GWL_STYLE);
        UINT align = (style & SS_CENTER) ? DT_CENTER : (style & SS_RIGHT) ? DT_RIGHT : DT_LEFT;
        HGDIOBJ previousFont = m_measuringFont.IsValid() ? SelectObject(dc, m_measuringFont.Get()) : nullptr;
        DrawTextA(dc, ShownText(), -1, &m_linkRect, DT_CALCRECT | DT_WORDBREAK | align);
        if (previousFont) SelectObject(dc, previousFont);
        LONG room = client.right - m_linkRect.right;
        if (style & SS_CENTER) OffsetRect(&m_linkRect, room / 2, 0);
        else if (style & SS_RIGHT) OffsetRect(&m_linkRect, room, 0);
    }
    ReleaseDC(m_hWnd, dc);
    return true;
}

bool CLinkLabel::OpenTarget()
{
    // A refused open changes nothing and is not reported.
    if (!m_target) return false;
    HINSTANCE result = ShellExecuteA(nullptr, "open", m_target, nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(result) <= 32) return false;
    m_visited = true;
    if (m_hWnd) InvalidateRect(m_hWnd, nullptr, TRUE);
    return true;
}

COLORREF CLinkLabel::ParseColorString(char* text)
{
    if (!text) return CLR_INVALID;
    ColorComponent parts[3] = { { 0, true }, { 0, true }, { 0, true } };
    char* position = text;
    for (int i = 0; i < 2; ++i) {
        char* scan = position;
        while (*scan && *scan != ',') scan = CharNextA(scan);
        if (*scan == ',') {
            *scan = '\0';
            parts[i] = ReadComponent(position);
            position = scan + 1;
        }
        if (parts[i].minusOne) return CLR_INVALID;
    }
    if (!*position) return CLR_INVALID;
    parts[2] = ReadComponent(position);
    return RGB(parts[0].value, parts[1].value, parts[2].value);
}

bool CLinkLabel::OverLink(POINT point) const
{
    return PtInRect(&m_linkRect, point) != FALSE;
}

void CLinkLabel::Paint(HDC dc)
{
    RECT client;
    GetClientRect(m_hWnd, &client);
    COLORREF previousColor = SetTextColor(dc, m_linkColor);
    int previousMode = SetBkMode(dc, TRANSPARENT);
    HFONT font = m_hover ? m_underlinedFont.Get() : m_normalFont.Get();
    HGDIOBJ previousFont = font ? SelectObject(dc, font) : nullptr;
    // One line, vertically centred and left-aligned whatever the static's
    // own alignment.
    if (ShownText()) DrawTextA(dc, ShownText(), -1, &client, DT_SINGLELINE | DT_VCENTER);
    if (previousFont) SelectObject(dc, previousFont);
    SetBkMode(dc, previousMode);
    SetTextColor(dc, previousColor);
}

BEGIN_MESSAGE_MAP(CLinkLabel)
    // Hover layer
    ON_MESSAGE(WM_MOUSEMOVE,            OnHoverMouseMove)
    ON_MESSAGE(WM_MOUSEHOVER,           OnMouseHover)
    ON_MESSAGE(WM_MOUSELEAVE,           OnMouseLeave)
    // Link layer
    ON_MESSAGE(WM_CREATE,               OnCreate)
    ON_MESSAGE_RANGE(WM_MOUSEFIRST, WM_MOUSEWHEEL, OnRelayMouse)
    ON_MESSAGE(WM_ERASEBKGND,           OnEraseBackground)
    ON_MESSAGE(WM_PAINT,                OnPaint)
    ON_MESSAGE(WM_PRINTCLIENT,          OnPaint)
    ON_MESSAGE(WM_SETFOCUS,             OnFocusChange)
    ON_MESSAGE(WM_KILLFOCUS,            OnFocusChange)
    ON_MESSAGE(WM_MOUSEMOVE,            OnMouseMove)
    ON_MESSAGE(WM_LBUTTONDOWN,          OnLButtonDown)
    ON_MESSAGE(WM_LBUTTONUP,            OnLButtonUp)
    ON_MESSAGE(WM_CHAR,                 OnChar)
    ON_MESSAGE(WM_GETDLGCODE,           OnGetDlgCode)
    ON_MESSAGE(WM_SETCURSOR,            OnSetCursor)
    // Notifications that a parent reflects to its control
    ON_MESSAGE_RANGE(OCM_DRAWITEM, OCM_CHARTOITEM,          OnReflectedNotify)
    ON_MESSAGE(OCM_COMPAREITEM,                             OnReflectedNotify)
    ON_MESSAGE(OCM_NOTIFY,                                  OnReflectedNotify)
    ON_MESSAGE(OCM_COMMAND,                                 OnReflectedNotify)
    ON_MESSAGE_RANGE(OCM_HSCROLL, OCM_VSCROLL,              OnReflectedNotify)
    ON_MESSAGE_RANGE(OCM_CTLCOLORMSGBOX, OCM_CTLCOLORSTATIC, OnReflectedNotify)
    ON_MESSAGE(OCM_PARENTNOTIFY,                            OnReflectedNotify)
END_MESSAGE_MAP()

LRESULT CLinkLabel::OnHoverMouseMove(UINT, WPARAM, LPARAM lParam, BOOL& handled)
{
    if (!m_tracking) {
        TRACKMOUSEEVENT track = {};
        track.cbSize = sizeof(track);
        track.dwFlags = TME_HOVER | TME_LEAVE;
        track.hwndTrack = m_hWnd;
        track.dwHoverTime = kHoverTimeMs;
        m_tracking = ContextTrackMouseEvent(&track);
    }
    // Over the text the move stops here, so it is not relayed to the tooltip.
    if (m_target && OverLink(PointFromLParam(lParam))) {
        SetCursor(m_cursor);
        return 0;
    }
    handled = FALSE;
    return 0;
}

LRESULT CLinkLabel::OnMouseHover(UINT, WPARAM, LPARAM, BOOL&)
{
    m_hover = 1;
    InvalidateRect(m_hWnd, nullptr, TRUE);
    return 0;
}

LRESULT CLinkLabel::OnMouseLeave(UINT, WPARAM, LPARAM, BOOL&)
{
    m_tracking = 0;
    m_hover = 0;
    InvalidateRect(m_hWnd, nullptr, TRUE);
    return 0;
}

LRESULT CLinkLabel::OnCreate(UINT, WPARAM, LPARAM, BOOL&)
{
    InitializeLink();
    return 0;
}

LRESULT CLinkLabel::OnRelayMouse(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled)
{
    if (m_tooltip && IsWindow(m_tooltip)) {
        MSG relayed = {};
        relayed.hwnd = m_hWnd;
        relayed.message = message;
        relayed.wParam = wParam;
        relayed.lParam = lParam;
        SendMessageA(m_tooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
    }
    handled = FALSE;
    return 0;
}

LRESULT CLinkLabel::OnEraseBackground(UINT, WPARAM wParam, LPARAM, BOOL& handled)
{
    if (!m_paintLabel) {
        handled = FALSE;
        return 0;
    }
    HBRUSH brush = reinterpret_cast<HBRUSH>(
        SendMessageA(GetParent(m_hWnd), WM_CTLCOLORSTATIC, wParam, reinterpret_cast<LPARAM>(m_hWnd)));
    if (brush) {
        RECT client;
        GetClientRect(m_hWnd, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
    }
    return 1;
}

LRESULT CLinkLabel::OnPaint(UINT, WPARAM wParam, LPARAM, BOOL& handled)
{
    if (!m_paintLabel) {
        handled = FALSE;
        return 0;
    }
    if (wParam) {
        Paint(reinterpret_cast<HDC>(wParam));
        return 0;
    }
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hWnd, &paint);
    if (dc) Paint(dc);
    EndPaint(m_hWnd, &paint);
    return 0;
}

LRESULT CLinkLabel::OnFocusChange(UINT, WPARAM, LPARAM, BOOL& handled)
{
    if (!m_paintLabel) {
        handled = FALSE;
        return 0;
    }
    InvalidateRect(m_hWnd, nullptr, TRUE);
    return 0;
}

LRESULT CLinkLabel::OnMouseMove(UINT, WPARAM, LPARAM lParam, BOOL& handled)
{
    if (m_target && OverLink(PointFromLParam(lParam))) {
        SetCursor(m_cursor);
        return 0;
    }
    handled = FALSE;
    return 0;
}

LRESULT CLinkLabel::OnLButtonDown(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    if (OverLink(PointFromLParam(lParam))) {
        SetFocus(m_hWnd);
        SetCapture(m_hWnd);
    }
    return 0;
}

LRESULT CLinkLabel::OnLButtonUp(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    // Only a press that began on the link and ends on it opens the target.
    if (GetCapture() == m_hWnd) {
        ReleaseCapture();
        if (OverLink(PointFromLParam(lParam))) OpenTarget();
    }
    return 0;
}

LRESULT CLinkLabel::OnChar(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    if (wParam == '\r' || wParam == ' ') OpenTarget();
    return 0;
}

LRESULT CLinkLabel::OnGetDlgCode(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    // A dialog would take Enter's key-down for its default button before the
    // character ever reached the link; claim that one message so that Enter
    // opens the link as space does.
    const MSG* pending = reinterpret_cast<const MSG*>(lParam);
    if (pending && pending->message == WM_KEYDOWN && pending->wParam == VK_RETURN)
        return DLGC_WANTCHARS | DLGC_WANTMESSAGE;
    return DLGC_WANTCHARS;
}

LRESULT CLinkLabel::OnSetCursor(UINT, WPARAM, LPARAM, BOOL& handled)
{
    // Over the text the hand set on mouse moves stays; elsewhere the static
    // puts back its own cursor.
    POINT point;
    if (m_target && GetCursorPos(&point) && ScreenToClient(m_hWnd, &point) && OverLink(point))
        return TRUE;
    handled = FALSE;
    return 0;
}

LRESULT CLinkLabel::OnReflectedNotify(UINT message, WPARAM wParam, LPARAM lParam, BOOL&)
{
    return DefWindowProcA(m_hWnd, message - OCM__BASE, wParam, lParam);
}
