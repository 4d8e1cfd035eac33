#pragma once
#include <windows.h>
#include <richedit.h>
#include "text/CString.h"

// What a fill does to the viewer's rich-edit control: documents and pieces
// go in, the user's place (selection and first visible line) stays, and
// the control keeps no undo of the fill. The control is borrowed.

// Streams document into edit, replacing its content or, with SFF_SELECTION
// in format, its selection.
void StreamIn(HWND edit, const CString& document, UINT format);
// Inserts a piece at the end of the text, keeping the user's selection and
// scroll position.
void AppendPiece(HWND edit, const CString& piece);
// Puts back the user's selection and first line, then draws again (the
// caller turned drawing off before the text moved).
void ShowPlace(HWND edit, const CHARRANGE& selection, LRESULT firstLine);
// Scrolls the text so that line is the first visible one.
void ScrollToLine(HWND edit, LRESULT line);

// Turns the control's undo off while pieces go in; true when it is off.
bool TurnUndoOff(HWND edit);
// Gives the control its usual undo again, as one stream-in of the whole
// document leaves it.
void TurnUndoOn(HWND edit);
