#pragma once
#include <windows.h>
#include "server/Handles.h"
#include "server/WindowBinding.h"

// Turns an existing static control into a hyperlink: the label in the
// browser's link colour, underlined while the mouse rests on it, the hand
// cursor over the text, the target in a tooltip, and the shell's "open" on a
// click, Enter or space. Messages it does not take go on to the static's own
// procedure.
class CLinkLabel : public CSubclassedWindow {
public:
    CLinkLabel();
    ~CLinkLabel() override;

    // Both keep a copy of text; false (and no text) when it cannot be copied.
    // Callers set them before attaching; a null text clears the field.
    bool SetLabel(const char* text);
    bool SetTarget(const char* text);

    // Run once after AttachToWindow succeeds: style, cursor, fonts, link
    // rectangle, tooltip and colours.
    void InitializeLink();
    // Places the link rectangle; false without a window or any text.
    bool ComputeLinkRect();
    // Opens the target through the shell; true when the shell accepted it.
    bool OpenTarget();

    // Reads "r,g,b" (decimal, each taken modulo 256) into a colour, or
    // CLR_INVALID. Writes into text: the commas become NULs.
    static COLORREF ParseColorString(char* text);

    const char* Label() const { return m_label; }
    const char* Target() const { return m_target; }
    const RECT& LinkRect() const { return m_linkRect; }
    bool PaintsLabel() const { return m_paintLabel; }
    bool IsVisited() const { return m_visited; }
    bool IsHovered() const { return m_hover != 0; }
    COLORREF LinkColor() const { return m_linkColor; }
    COLORREF VisitedColor() const { return m_visitedColor; }
    HWND Tooltip() const { return m_tooltip; }

    DECLARE_MESSAGE_MAP()

private:
    // Hover layer
    LRESULT OnHoverMouseMove(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnMouseHover(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnMouseLeave(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    // Link layer
    LRESULT OnCreate(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnRelayMouse(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnEraseBackground(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnPaint(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnFocusChange(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnMouseMove(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnLButtonDown(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnLButtonUp(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnChar(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnGetDlgCode(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnSetCursor(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnReflectedNotify(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);

    const char* ShownText() const { return m_label ? m_label : m_target; }
    bool OverLink(POINT point) const;
    void Paint(HDC dc);
    void CreateTooltip();
    void ReadLinkColors();

    char* m_label;
    char* m_target;
    HCURSOR m_cursor;
    FontHandle m_measuringFont;
    RECT m_linkRect;
    bool m_paintLabel;
    HWND m_tooltip;
    bool m_visited;
    COLORREF m_linkColor;
    COLORREF m_visitedColor;
    LONG m_hover;
    LONG m_tracking;
    LOGFONTA m_fontDescription;
    FontHandle m_normalFont;
    FontHandle m_underlinedFont;
};
