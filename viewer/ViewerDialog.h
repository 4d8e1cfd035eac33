#pragma once
#include <windows.h>
#include <commdlg.h>
#include "server/WindowBinding.h"
#include "text/CBstr.h"

// The modal, resizable source viewer.
class CViewerDialog : public CDialogObject {
public:
    // markup: the page's markup, of which the viewer keeps its own copy.
    // charset: font charset number, negative when the page declares none.
    CViewerDialog(BSTR markup, int charset);

    // Runs template 104 modally, owned by the window active at this moment.
    INT_PTR Run();

    DECLARE_MESSAGE_MAP()

    void BuildDocument();
    void SavePlacement();
    void RestorePlacement();

    LRESULT OnInitDialog(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnSize(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnGetMinMaxInfo(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnNotify(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnClose(WORD code, WORD id, HWND control, BOOL& handled);
    LRESULT OnAbout(WORD code, WORD id, HWND control, BOOL& handled);
    LRESULT OnCopy(WORD code, WORD id, HWND control, BOOL& handled);
    LRESULT OnSave(WORD code, WORD id, HWND control, BOOL& handled);

    int m_charset;
    CBstr m_markup;
    OPENFILENAMEA m_ofn;
};
