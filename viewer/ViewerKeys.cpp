#include "viewer/ViewerKeys.h"
#include "resources/resource.h"
#include "server/Handles.h"
#include "server/ModuleState.h"
#include "viewer/FindController.h"

namespace {

// The viewer's window carries its keys, as it carries its window object.
const char kKeysProperty[] = "Glimmerdeck.ViewerKeys";

} // namespace

CViewerKeys::CViewerKeys()
    : m_viewer(nullptr), m_find(nullptr), m_hook(nullptr), m_keys(nullptr), m_filtering(false)
{
}

CViewerKeys::~CViewerKeys()
{
    Remove();
}

void CViewerKeys::Install(HWND viewer, const CFindController* find)
{
    // Without the hook the keys do nothing; the window menu still works.
    Remove();
    m_viewer = viewer;
    m_find = find;
    m_keys = LoadAcceleratorsA(g_module.resourceInstance, MAKEINTRESOURCEA(IDR_VIEWER_KEYS));
    if (SetPropA(viewer, kKeysProperty, this))
        m_hook = SetWindowsHookExA(WH_MSGFILTER, FilterProc, nullptr, GetCurrentThreadId());
    AddMenuItems();
}

void CViewerKeys::Remove()
{
    if (m_hook) UnhookWindowsHookEx(m_hook);
    m_hook = nullptr;
    if (m_viewer && GetPropA(m_viewer, kKeysProperty) == this) RemovePropA(m_viewer, kKeysProperty);
    m_viewer = nullptr;
    m_find = nullptr;
}

// Below a separator, the items of the commands menu with their keys. The
// window menu is the window's own copy and goes with it.
void CViewerKeys::AddMenuItems()
{
    HMENU system = GetSystemMenu(m_viewer, FALSE);
    MenuHandle commands(LoadMenuA(g_module.resourceInstance, MAKEINTRESOURCEA(IDR_VIEWER_COMMANDS)));
    HMENU items = commands.Get() ? GetSubMenu(commands.Get(), 0) : nullptr;
    if (!system || !items) return;
    AppendMenuA(system, MF_SEPARATOR, 0, nullptr);
    const int count = GetMenuItemCount(items);
    for (int i = 0; i < count; ++i) {
        char text[128] = "";
        GetMenuStringA(items, i, text, sizeof(text), MF_BYPOSITION);
        AppendMenuA(system, MF_STRING, GetMenuItemID(items, i), text);
    }
}

void CViewerKeys::ShowWrap(bool on)
{
    if (HMENU system = GetSystemMenu(m_viewer, FALSE))
        CheckMenuItem(system, ID_VIEW_WRAP, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

void CViewerKeys::EnableZoom(bool enabled)
{
    HMENU system = GetSystemMenu(m_viewer, FALSE);
    if (!system) return;
    const UINT state = MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(system, ID_VIEW_ZOOM_IN, state);
    EnableMenuItem(system, ID_VIEW_ZOOM_OUT, state);
    EnableMenuItem(system, ID_VIEW_ZOOM_RESET, state);
}

// The viewer whose window, or whose Find dialog, a message is for.
CViewerKeys* CViewerKeys::ForWindow(HWND hWnd)
{
    HWND root = hWnd ? GetAncestor(hWnd, GA_ROOT) : nullptr;
    if (!root) return nullptr;
    if (CViewerKeys* keys = static_cast<CViewerKeys*>(GetPropA(root, kKeysProperty))) return keys;
    HWND owner = GetWindow(root, GW_OWNER);
    CViewerKeys* keys = owner ? static_cast<CViewerKeys*>(GetPropA(owner, kKeysProperty)) : nullptr;
    return keys && keys->m_find && keys->m_find->Dialog() == root ? keys : nullptr;
}

LRESULT CALLBACK CViewerKeys::FilterProc(int code, WPARAM wParam, LPARAM lParam)
{
    MSG* msg = reinterpret_cast<MSG*>(lParam);
    if (code == MSGF_DIALOGBOX && msg) {
        CViewerKeys* keys = ForWindow(msg->hwnd);
        if (keys && !keys->m_filtering && keys->Filter(msg)) return TRUE;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool CViewerKeys::Filter(MSG* msg)
{
    HWND root = GetAncestor(msg->hwnd, GA_ROOT);
    if (m_find && root == m_find->Dialog()) {
        m_filtering = true;
        const bool handled = IsDialogMessageA(root, msg) != FALSE;
        m_filtering = false;
        return handled;
    }
    if (root != m_viewer) return false;
    // Ctrl with the wheel zooms in the viewer's steps, not the control's own.
    if (msg->message == WM_MOUSEWHEEL && (GET_KEYSTATE_WPARAM(msg->wParam) & MK_CONTROL)) {
        const WORD command = GET_WHEEL_DELTA_WPARAM(msg->wParam) > 0 ? ID_VIEW_ZOOM_IN : ID_VIEW_ZOOM_OUT;
        SendMessageA(m_viewer, WM_COMMAND, MAKEWPARAM(command, kFromKeys), 0);
        return true;
    }
    if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN) return false;
    return m_keys && TranslateAcceleratorA(m_viewer, m_keys, msg) != 0;
}
