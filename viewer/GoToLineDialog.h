#pragma once
#include <windows.h>
#include "server/WindowBinding.h"

// The "Go To Line" box: one line number of the page, asked for modally. A
// number beyond the page's last line is refused with a message and the box
// stays open.
class CGoToLineDialog : public CDialogObject {
public:
    // currentLine: shown at first; lineCount: the highest number taken.
    CGoToLineDialog(int currentLine, int lineCount);

    // The line chosen, or 0 when the box was cancelled or could not be run.
    int Run(HWND owner);

private:
    DECLARE_MESSAGE_MAP()

    LRESULT OnInitDialog(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnOK(WORD code, WORD id, HWND control, BOOL& handled);
    LRESULT OnCancel(WORD code, WORD id, HWND control, BOOL& handled);

    int m_line;
    int m_lineCount;
};
