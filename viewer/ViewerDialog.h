#pragma once
#include <windows.h>
#include <commdlg.h>
#include <richedit.h>
#include "server/WindowBinding.h"
#include "text/CBstr.h"
#include "viewer/DocumentPieces.h"
#include "viewer/FillPacer.h"
#include "viewer/FindController.h"
#include "viewer/ViewerKeys.h"

// The modal, resizable source viewer. What it shows and saves is seen through
// its window, its rich-edit control and the files it writes; its state is its own.
class CViewerDialog : public CDialogObject {
public:
    // markup: the page's markup, of which the viewer keeps its own copy; the
    // caller still owns and frees the string it passes.
    // charset: font charset number, negative when the page declares none.
    CViewerDialog(BSTR markup, int charset);

    // Runs the viewer's template (IDD_VIEWER) modally, owned by the window
    // active at this moment. Returns the EndDialog code (1 or 2), or -1 when
    // the dialog cannot be run.
    INT_PTR Run();

    // Rebuilds the RTF document from the markup and the charset state and
    // replaces the whole content of the rich-edit control with it. The
    // control takes a first part at once, enough for the first screens; the
    // rest follows in pieces from the dialog's own message loop.
    void BuildDocument();
    // Whether pieces of the document are still to go into the control.
    bool IsFilling() const { return m_pieces.HasMore(); }
    // Puts every piece still to come into the control now.
    void FinishFill();
    void SavePlacement();
    void RestorePlacement();

    // Rich-edit stream callbacks. Stream-in: the cookie is a StreamInSource.
    // Stream-out: the cookie is an open file handle; a failed or short write
    // answers 1, which stops the stream.
    static DWORD CALLBACK StreamInCallback(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* transferred);
    static DWORD CALLBACK StreamOutCallback(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* written);

    // The document handed to the control from a moving read position.
    struct StreamInSource {
        const char* data;
        LONG length;
        LONG position;
    };

private:
    DECLARE_MESSAGE_MAP()

    LRESULT OnInitDialog(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnSize(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnEnterSizeMove(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnExitSizeMove(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnGetMinMaxInfo(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnNotify(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnClose(WORD code, WORD id, HWND control, BOOL& handled);
    LRESULT OnAbout(WORD code, WORD id, HWND control, BOOL& handled);
    LRESULT OnCopy(WORD code, WORD id, HWND control, BOOL& handled);
    LRESULT OnSave(WORD code, WORD id, HWND control, BOOL& handled);

    // The commands of the viewer's keys and window menu.
    LRESULT OnViewerKey(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnSysCommand(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnFindMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    bool RunViewerCommand(UINT id);
    void SelectAll();
    void SwitchWrap();
    void Zoom(int direction);
    // The wrap and zoom of the viewer on a fresh text control.
    void ApplyViewSettings(HWND edit);

    // Posted to the viewer when replaced source controls may be destroyed and
    // a layout left pending may be done: never while the text control is
    // inside a message of its own, since it may be one of them.
    static const UINT kDeferredWorkMessage = WM_APP + 1;
    LRESULT OnDeferredWork(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    void EnterControlNotification();
    void LeaveControlNotification();
    // The fill's timer; other timers go to default processing.
    static const UINT_PTR kFillTimer = 0x6764;
    LRESULT OnTimer(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnDestroy(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);

    // Pieces for at most budgetMs (INFINITE: all of them), ending early when
    // input waits.
    void ContinueFill(DWORD budgetMs);
    void StopFill();

    // Places the text and the buttons in the client area.
    void LayOutControls();
    bool RebuildAtNewWidth(const RECT& place);
    // The document built again into a fresh control at place (null: where
    // edit stands), which then shows the same first line and selection.
    void RebuildKeepingPlace(HWND edit, const RECT* place);
    // BuildDocument, with the fresh control placed at place (dialog client
    // coordinates) before the text goes in; null: where the old one stands.
    void BuildDocumentAt(const RECT* place);

    static void SetUpSourceControl(HWND edit);
    HWND ReplaceSourceControl(HWND edit);
    // Streams the control's content into path, replacing the file there only
    // when the whole stream was written.
    static void SaveControlTo(HWND edit, const char* path, UINT format);

    int m_charset;
    CBstr m_markup;
    OPENFILENAMEA m_ofn;
    CDocumentPieces m_pieces;
    CFillPacer m_pacer;         // how large the next piece is, and whether the rest is dropped
    bool m_undoOff;             // the control records no undo while the pieces go in
    bool m_sizing;              // the user is dragging the frame
    bool m_layoutPending;       // the client area changed size during that drag or that notification
    int m_controlMessageDepth;  // notifications of the text control under way, nested (its own message waits on them)
    CFindController m_find;
    CViewerKeys m_keys;
    bool m_wrap;                // long lines wrap (the template's layout)
    int m_zoom;                 // percent
};
