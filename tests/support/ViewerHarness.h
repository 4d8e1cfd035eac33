#pragma once
#include <windows.h>
#include <richedit.h>
#include <functional>
#include <string>
#include <vector>
#include "resources/resource.h"
#include "viewer/ViewerDialog.h"

// Drives modal loops from inside: a thread timer runs the steps of a script
// in order, each once its condition holds. Steps must not block: anything
// that opens a modal loop (a button that opens a dialog, a mouse release that
// opens a menu) is posted or sent as input, and a later step drives it.
// When the deadline passes, the script ends every menu and dialog of the
// thread so that the modal run returns, and reports which step was waiting.
class ModalScript {
public:
    // Runs act once ready() is true.
    ModalScript& When(const char* what, std::function<bool()> ready, std::function<void()> act);
    // Waits a while (input settling), then runs act.
    ModalScript& After(DWORD ms, const char* what, std::function<void()> act);

    // Runs the modal loop(s) that run() enters, with this script driving.
    // False when the deadline passed or steps were left when run() returned.
    bool Drive(const std::function<void()>& run, DWORD timeoutMs = 20000);

    // Why Drive answered false.
    const std::string& Failure() const { return m_failure; }
    // Whether a pop-up menu was seen at any tick. With dismissMenus set, any
    // menu that no step expects is ended at once.
    bool MenuSeen() const { return m_menuSeen; }
    void SetDismissMenus(bool dismiss) { m_dismissMenus = dismiss; }
    // Answers Yes to every message box of the thread (a dialog with a Yes
    // button), such as the confirmation before a file is replaced.
    void SetAnswerYes(bool answer) { m_answerYes = answer; }
    int PromptsAnswered() const { return m_promptsAnswered; }

private:
    struct Step {
        std::string what;
        std::function<bool()> ready;
        std::function<void()> act;
    };
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    void Tick();
    void Rescue();

    std::vector<Step> m_steps;
    size_t m_next = 0;
    DWORD m_deadline = 0;
    bool m_running = false;
    bool m_inStep = false;
    bool m_rescuing = false;
    bool m_menuSeen = false;
    bool m_dismissMenus = false;
    bool m_answerYes = false;
    int m_promptsAnswered = 0;
    std::string m_failure;
};

// A viewer opened the way the command object opens it: entered in the list
// of windows being created and run from its template (IDD_VIEWER), owned by the active window.
class ViewerUnderTest {
public:
    ViewerUnderTest(const wchar_t* markup, int charset);
    ~ViewerUnderTest();

    CViewerDialog& Dialog() { return *m_dialog; }
    HWND Window() const { return m_dialog->m_hWnd; }
    HWND Edit() const { return GetDlgItem(m_dialog->m_hWnd, IDC_SOURCE); }
    bool Shown() const { return Window() && IsWindowVisible(Window()); }

    // Runs the viewer with the script driving; the result is Run()'s.
    INT_PTR RunWith(ModalScript& script, DWORD timeoutMs = 20000, bool* driven = nullptr);

private:
    CViewerDialog* m_dialog;
};

// Rich-edit read-back.
std::string ControlText(HWND edit);                     // EM_STREAMOUT SF_TEXT
std::string ControlStream(HWND edit, UINT format);      // EM_STREAMOUT with format
CHARFORMATA CharFormatAt(HWND edit, LONG position);     // EM_GETCHARFORMAT of one character
CHARRANGE Selection(HWND edit);

// Windows of this thread.
HWND FindThreadWindow(const char* className, const char* caption, HWND except = nullptr);
HWND VisibleMenuWindow();
// The system's Find dialog of this thread, known by its controls: its
// caption is in the language of the system.
HWND FindTextDialog();
POINT CentreOf(HWND window);                            // in screen coordinates

// The viewer's Save As dialog, by its title; and a name typed into it, saved.
extern const char kSaveTitle[];
HWND SaveDialog(const ViewerUnderTest& viewer);
void TypeNameAndSave(HWND dialog, const std::string& name);

// A fresh folder for one test's files, with a trailing backslash.
std::string NewFolder(const char* name);

// Real input through SendInput.
void MoveMouseTo(POINT screen);
void MouseButton(DWORD flags);                           // MOUSEEVENTF_RIGHTDOWN etc.
void PressKey(WORD vk);

// Clipboard text (CF_TEXT), or "(none)" when there is none.
std::string ClipboardText();
void SetClipboardText(const char* text);

// The viewer's settings key.
extern const char kSettingsKeyName[];
void DeleteSettings();
void WriteSetting(const char* name, DWORD type, const void* data, DWORD size);
void WriteNumberSetting(const char* name, LONG value);
bool ReadNumberSetting(const char* name, LONG* value);

// Rectangle helpers for messages.
std::string Describe(const RECT& r);
RECT ChildRectInClient(HWND dialog, int id);
