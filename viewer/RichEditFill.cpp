#include "viewer/RichEditFill.h"
#include "viewer/ViewerDialog.h"

namespace {

// The control's own undo limit, which it has again after a fill.
const WPARAM kUndoLimit = 100;

} // namespace

void StreamIn(HWND edit, const CString& document, UINT format)
{
    CViewerDialog::StreamInSource source = { document.c_str(), document.GetLength(), 0 };
    EDITSTREAM stream = {};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
    stream.dwError = 0;
    stream.pfnCallback = CViewerDialog::StreamInCallback;
    // A document the control rejects or cuts at its limit shows what it took.
    SendMessageA(edit, EM_STREAMIN, format, reinterpret_cast<LPARAM>(&stream));
}

// Scrolls the text so that line is the first visible one. The pixel
// position is no help: past 65535 pixels the control reports it scaled down
// to 16 bits. A line scroll moves by lines of the control's own font, not the
// document's, so the first one tells how far a line scroll goes.
void ScrollToLine(HWND edit, LRESULT line)
{
    LRESULT asked = 0, moved = 0;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const LRESULT now = SendMessageA(edit, EM_GETFIRSTVISIBLELINE, 0, 0);
        const LRESULT lines = line - now;
        if (!lines) break;
        LRESULT step = lines;
        if (asked && moved && (asked > 0) == (moved > 0)) step = lines * asked / moved;
        if (!step) step = lines > 0 ? 1 : -1;
        SendMessageA(edit, EM_LINESCROLL, 0, step);
        asked = step;
        moved = SendMessageA(edit, EM_GETFIRSTVISIBLELINE, 0, 0) - now;
        if (!moved) break;
    }
}

void AppendPiece(HWND edit, const CString& piece)
{
    CHARRANGE kept = { 0, 0 };
    SendMessageA(edit, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&kept));
    const LRESULT firstLine = SendMessageA(edit, EM_GETFIRSTVISIBLELINE, 0, 0);

    // The control scrolls to the caret at the end of the text and back to
    // the user's; with drawing off, the user sees neither.
    SendMessageA(edit, WM_SETREDRAW, FALSE, 0);
    CHARRANGE end = { -1, -1 };
    SendMessageA(edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&end));
    StreamIn(edit, piece, SF_RTF | SFF_SELECTION);
    ShowPlace(edit, kept, firstLine);
}

void ShowPlace(HWND edit, const CHARRANGE& selection, LRESULT firstLine)
{
    SendMessageA(edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    ScrollToLine(edit, firstLine);
    SendMessageA(edit, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(edit, nullptr, FALSE);
}

bool TurnUndoOff(HWND edit)
{
    return SendMessageA(edit, EM_SETUNDOLIMIT, 0, 0) == 0;
}

void TurnUndoOn(HWND edit)
{
    SendMessageA(edit, EM_SETUNDOLIMIT, kUndoLimit, 0);
}
