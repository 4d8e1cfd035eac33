#include "tools/host/ModalWatcher.h"
#include <richedit.h>

namespace {

ModalWatcher* g_watcher;

const int kSourceControl = 1004;
const DWORD kTickMs = 50;
// The viewer is handed over a few ticks after it appears, once its first
// paint and placement are done.
const int kViewerSettleTicks = 4;

struct Search {
    bool viewer;
    HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM param)
{
    Search* search = reinterpret_cast<Search*>(param);
    char className[32] = {};
    GetClassNameA(window, className, sizeof className);
    if (lstrcmpA(className, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    bool isViewer = GetDlgItem(window, kSourceControl) != nullptr;
    bool isMessageBox = GetDlgItem(window, IDYES) != nullptr && GetDlgItem(window, IDNO) != nullptr;
    if ((search->viewer && isViewer) || (!search->viewer && isMessageBox && !isViewer)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindDialogOfThisThread(bool viewer)
{
    Search search = { viewer, nullptr };
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK LongestStatic(HWND child, LPARAM param)
{
    std::string* text = reinterpret_cast<std::string*>(param);
    char className[32] = {};
    GetClassNameA(child, className, sizeof className);
    if (lstrcmpiA(className, "Static") != 0) return TRUE;
    char buffer[1024] = {};
    GetWindowTextA(child, buffer, sizeof buffer);
    if (lstrlenA(buffer) > static_cast<int>(text->size())) *text = buffer;
    return TRUE;
}

DWORD CALLBACK AppendOut(DWORD_PTR cookie, LPBYTE buffer, LONG count, LONG* written)
{
    reinterpret_cast<std::string*>(cookie)->append(reinterpret_cast<char*>(buffer), count);
    *written = count;
    return 0;
}

}  // namespace

ModalWatcher::ModalWatcher(DWORD timeoutMs) : m_start(GetTickCount()), m_timeoutMs(timeoutMs)
{
    g_watcher = this;
    m_timer = SetTimer(nullptr, 0, kTickMs, OnTimer);
}

ModalWatcher::~ModalWatcher()
{
    KillTimer(nullptr, m_timer);
    g_watcher = nullptr;
}

void CALLBACK ModalWatcher::OnTimer(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_watcher && !g_watcher->m_busy) g_watcher->Poll();
}

void ModalWatcher::Poll()
{
    // A handler may itself pump messages (closing a dialog does); do not re-enter.
    m_busy = true;
    HWND box = FindThreadMessageBox();
    HWND viewer = FindThreadViewer();
    if (box && box != m_lastMessageBox) {
        m_lastMessageBox = box;
        ++m_messageBoxes;
        if (onMessageBox) onMessageBox(box);
    }
    if (viewer && viewer != m_lastViewer) {
        if (++m_viewerTicks >= kViewerSettleTicks) {
            m_lastViewer = viewer;
            m_viewerTicks = 0;
            ++m_viewers;
            RedrawWindow(viewer, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
            if (onViewer) onViewer(viewer);
        }
    }
    if (m_timeoutMs && GetTickCount() - m_start > m_timeoutMs) {
        box = FindThreadMessageBox();
        viewer = FindThreadViewer();
        if (box || viewer) m_timedOut = true;
        if (box) ClickButton(box, IDNO);
        if (viewer) CloseViewer(viewer);
    }
    m_busy = false;
}

HWND FindThreadMessageBox() { return FindDialogOfThisThread(false); }
HWND FindThreadViewer() { return FindDialogOfThisThread(true); }

std::string MessageBoxText(HWND box)
{
    std::string text;
    EnumChildWindows(box, LongestStatic, reinterpret_cast<LPARAM>(&text));
    return text;
}

void ClickButton(HWND dialog, int id)
{
    // The command a click would send: it does not depend on the box having focus.
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void CloseViewer(HWND viewer)
{
    PostMessageA(viewer, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

std::string ViewerText(HWND viewer)
{
    std::string text;
    EDITSTREAM stream = { reinterpret_cast<DWORD_PTR>(&text), 0, AppendOut };
    SendDlgItemMessageA(viewer, kSourceControl, EM_STREAMOUT, SF_TEXT, reinterpret_cast<LPARAM>(&stream));
    return text;
}

int ViewerCharset(HWND viewer)
{
    HWND edit = GetDlgItem(viewer, kSourceControl);
    CHARRANGE first = { 0, 1 };
    SendMessageA(edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&first));
    CHARFORMATA format = {};
    format.cbSize = sizeof format;
    SendMessageA(edit, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    return format.bCharSet;
}
