#pragma once
#include <windows.h>
#include "about/LinkLabel.h"
#include "server/Handles.h"
#include "server/WindowBinding.h"

// The modal About box on dialog template IDD_ABOUT: banner, icon, the bold version
// line, notice lines and two links (home page and support mail).
class CAboutDialog : public CDialogObject {
public:
    CAboutDialog();

    // The version line's font: bold, from the stock GUI font, or from a fixed
    // description when there is no stock font.
    static HFONT CreateVersionFont(HGDIOBJ stockFont);

    HFONT VersionFont() const { return m_boldFont.Get(); }

    DECLARE_MESSAGE_MAP()

private:
    LRESULT OnInitDialog(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnOK(WORD code, WORD id, HWND control, BOOL& handled);
    LRESULT OnCancel(WORD code, WORD id, HWND control, BOOL& handled);
    LRESULT OnDestroy(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);

    void AttachLink(CLinkLabel& link, int itemId, const char* target, const char* label);

    CLinkLabel m_homeLink;
    CLinkLabel m_supportLink;
    FontHandle m_boldFont;
};
