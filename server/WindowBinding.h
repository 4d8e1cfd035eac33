#pragma once
#include <windows.h>
#include "server/ModuleState.h"

// The message being dispatched to a window object.
struct MessageRecord {
    HWND hWnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result;
};

// Every dialog or window object of the module: its window handle, its entry in
// the list of windows being created until it is bound, and the message being
// processed. Objects are bound to their windows through a window property
// (not through code written into the object, which may live on the stack).
class CWindowObject {
public:
    CWindowObject();
    virtual ~CWindowObject();
    CWindowObject(const CWindowObject&) = delete;
    CWindowObject& operator=(const CWindowObject&) = delete;

    // The object's message map: true when an entry handled the message.
    virtual BOOL ProcessWindowMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                                      LRESULT& result, DWORD mapId) = 0;
    // The shared procedure that serves this kind of object.
    virtual WNDPROC GetWindowProc() = 0;
    // Called once after the window's last message.
    virtual void OnFinalMessage(HWND) {}

    HWND m_hWnd;

    // The object bound to a window, or null.
    static CWindowObject* FromHandle(HWND hWnd);
    // The message being dispatched to this object, or null between messages.
    const MessageRecord* CurrentMessage() const { return m_currentMessage; }

protected:
    CreateWindowEntry m_createEntry;
    const MessageRecord* m_currentMessage;

    // Binding refuses a window that is already bound to an object.
    bool Bind(HWND hWnd);
    void Unbind();
    // Runs the message map with the current-message record in place.
    BOOL Dispatch(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // After the window's last message: unbinds and runs OnFinalMessage.
    void FinishWindow(HWND hWnd);

    friend class CDialogObject;
    friend class CSubclassedWindow;
};

// A modal dialog bound from its first message on.
class CDialogObject : public CWindowObject {
public:
    WNDPROC GetWindowProc() override;

    // Enters the object in the list of windows being created and runs the
    // template modally through the module's activation context. Returns the
    // EndDialog code, or -1 when the dialog could not be created (the entry is
    // then taken off the list again).
    INT_PTR RunModal(UINT templateId, HWND owner);

    static INT_PTR CALLBACK StartDialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK SharedDialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
};

// An existing window taken over by replacing its procedure.
class CSubclassedWindow : public CWindowObject {
public:
    CSubclassedWindow();
    ~CSubclassedWindow() override;
    WNDPROC GetWindowProc() override;
    bool AttachToWindow(HWND hWnd);

    static LRESULT CALLBACK SharedWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    WNDPROC m_previousProc;
};

// Message maps read like a table, one line per entry. Every handler is called
// with the handled flag preset to TRUE and returns the message result; it may
// clear the flag to let the message go on to later entries and to default
// processing.
//   LRESULT OnXxx(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
//   LRESULT OnYyy(WORD code, WORD id, HWND control, BOOL& handled);
#define DECLARE_MESSAGE_MAP() \
    BOOL ProcessWindowMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, \
                              LRESULT& result, DWORD mapId) override;

#define BEGIN_MESSAGE_MAP(theClass) \
    BOOL theClass::ProcessWindowMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, \
                                        LRESULT& result, DWORD mapId) { \
        (void)hWnd; (void)mapId; BOOL handled = TRUE; (void)handled;

#define ON_MESSAGE(msg, func) \
        if (message == (msg)) { \
            handled = TRUE; result = func(message, wParam, lParam, handled); \
            if (handled) return TRUE; }

#define ON_MESSAGE_RANGE(first, last, func) \
        if (static_cast<UINT>(message - (first)) <= static_cast<UINT>((last) - (first))) { \
            handled = TRUE; result = func(message, wParam, lParam, handled); \
            if (handled) return TRUE; }

#define ON_COMMAND(id, code, func) \
        if (message == WM_COMMAND && LOWORD(wParam) == (id) && HIWORD(wParam) == (code)) { \
            handled = TRUE; \
            result = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), handled); \
            if (handled) return TRUE; }

#define END_MESSAGE_MAP() \
        return FALSE; }
