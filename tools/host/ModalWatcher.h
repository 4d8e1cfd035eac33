#pragma once
#include <windows.h>
#include <functional>
#include <string>

// Watches, from inside whatever modal loop runs on this thread, for the
// extension's message box and viewer, hands each to a handler once, and ends
// them when the deadline passes so that no loop can hang its caller.
// One watcher per thread at a time.
class ModalWatcher {
public:
    // timeoutMs 0: no deadline.
    explicit ModalWatcher(DWORD timeoutMs);
    ~ModalWatcher();
    ModalWatcher(const ModalWatcher&) = delete;
    ModalWatcher& operator=(const ModalWatcher&) = delete;

    // Called once for each message box that appears; typically clicks a button.
    std::function<void(HWND)> onMessageBox;
    // Called once the viewer is up and painted; typically reads it and closes it.
    std::function<void(HWND)> onViewer;

    bool TimedOut() const { return m_timedOut; }
    int MessageBoxesSeen() const { return m_messageBoxes; }
    int ViewersSeen() const { return m_viewers; }

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    void Poll();

    UINT_PTR m_timer;
    DWORD m_start;
    DWORD m_timeoutMs;
    bool m_timedOut = false;
    int m_messageBoxes = 0;
    int m_viewers = 0;
    HWND m_lastMessageBox = nullptr;
    HWND m_lastViewer = nullptr;
    int m_viewerTicks = 0;
    bool m_busy = false;
};

// Visible message box / viewer of this thread, or null.
HWND FindThreadMessageBox();
HWND FindThreadViewer();

// The message box's text and the button click that answers it (IDYES, IDNO).
std::string MessageBoxText(HWND box);
void ClickButton(HWND dialog, int id);
// Ends the viewer as its close box does.
void CloseViewer(HWND viewer);

// What the viewer shows: its plain text, and the character set of its first character.
std::string ViewerText(HWND viewer);
int ViewerCharset(HWND viewer);
