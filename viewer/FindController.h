#pragma once
#include <windows.h>
#include <commdlg.h>
#include "text/CBstr.h"
#include "viewer/TextSearch.h"

// Find, Find Next and Go To Line of one viewer. The search runs over the
// page's text that the viewer shows, not over the text control, so that it
// takes milliseconds on a large page and sees the whole page while the
// control is still being filled; a match or line that the control does not
// hold yet is shown once the fill has put it in.
//
// The Find dialog is the system's modeless one, one at a time, owned by the
// viewer; its record and buffer live here, and it reports through the
// registered message FindMessage() sent to the viewer.
class CFindController {
public:
    // markup and charset: the viewer's own, which outlive this object;
    // characterLimit: the most characters the viewer shows of the page.
    CFindController(const CBstr& markup, const int& charset, int characterLimit);
    ~CFindController();
    CFindController(const CFindController&) = delete;
    CFindController& operator=(const CFindController&) = delete;

    void Attach(HWND viewer);
    // Closes the Find dialog; the viewer is going.
    void Close();

    HWND Dialog() const { return m_dialog; }
    UINT FindMessage() const { return m_findMessage; }

    // filling: whether the viewer is still putting pieces into the control.
    void OpenFind();
    // F3 and Shift+F3: the last search again, without the dialog; with no
    // search yet, the dialog opens.
    void FindAgain(bool down, bool filling);
    void OnFindMessage(const FINDREPLACEA* record, bool filling);
    void GoToLine(bool filling);
    // Shows a match or line that waited for the fill, if the control holds
    // it now; one that the control will never hold is dropped.
    void ShowPending(bool filling);
    bool HasPending() const { return m_pendingStart >= 0; }

private:
    CTextSearch& Search();
    HWND Edit() const;
    UINT CodePage() const;
    void FindNext(bool down, bool filling);
    // Selects the bytes from start to end of the page's text and scrolls
    // them into view, or keeps them pending while the fill goes on.
    void Show(int start, int end, bool filling);
    bool ShowIfHeld(HWND edit, int start, int end);
    void ReportNotFound();
    // The selection, when it lies within one line, becomes the text sought.
    void TakeSelection();

    const CBstr& m_markup;
    const int& m_charset;
    const int m_characterLimit;
    HWND m_viewer;
    CTextSearch m_search;
    bool m_searchReady;
    FINDREPLACEA m_record;
    char m_findWhat[256];
    unsigned m_options;         // of the last search, CTextSearch options
    HWND m_dialog;
    UINT m_findMessage;
    int m_pendingStart;         // byte offsets of what waits for the fill; -1 for none
    int m_pendingEnd;
};
