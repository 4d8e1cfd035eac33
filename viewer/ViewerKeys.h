#pragma once
#include <windows.h>

class CFindController;

// The viewer's keys and its items in the window menu. The viewer runs in
// the dialog manager's modal loop, which knows nothing of accelerators or
// of the modeless Find dialog: a message-filter hook on that loop, one per
// viewer on the viewer's own thread, translates the viewer's keys and lets
// the Find dialog have Tab, Enter and Esc. The hook finds its viewer from
// the window a message is for, so that two viewers on two threads, or one
// inside another, never share anything.
class CViewerKeys {
public:
    // The notification code of a WM_COMMAND that a key of the table sends.
    static const WORD kFromKeys = 1;

    CViewerKeys();
    ~CViewerKeys();
    CViewerKeys(const CViewerKeys&) = delete;
    CViewerKeys& operator=(const CViewerKeys&) = delete;

    // find: the viewer's Find, whose dialog gets its keys; it outlives this.
    void Install(HWND viewer, const CFindController* find);
    void Remove();

    // The check mark of "Wrap Long Lines"; the zoom items, greyed when the
    // text control cannot zoom.
    void ShowWrap(bool on);
    void EnableZoom(bool enabled);

private:
    static LRESULT CALLBACK FilterProc(int code, WPARAM wParam, LPARAM lParam);
    static CViewerKeys* ForWindow(HWND hWnd);
    bool Filter(MSG* msg);
    void AddMenuItems();

    HWND m_viewer;
    const CFindController* m_find;
    HHOOK m_hook;
    HACCEL m_keys;              // a resource: the system frees it with the module
    bool m_filtering;           // the Find dialog's own filtering comes back through the hook
};
