#pragma once
#include <windows.h>
#include "text/CString.h"

// The viewer's RTF document in pieces. The first piece is a complete document
// that replaces the control's content; each later one is a complete document
// to be inserted at the end of the text (EM_STREAMIN with SFF_SELECTION). A
// piece ends on a step boundary of the body, preferably a line end, where the
// colour and bold in force are known; the next piece states them before its
// text. The first piece also states the colour and bold in force at the end
// of the whole body before its closing paragraph mark, which the control
// turns into the format of its final paragraph mark, as a single stream-in
// of the whole document does. Together the pieces leave the control as that
// single stream-in does.
class CDocumentPieces {
public:
    CDocumentPieces();
    CDocumentPieces(const CDocumentPieces&) = delete;
    CDocumentPieces& operator=(const CDocumentPieces&) = delete;

    // prolog: everything before the body (BuildRtfProlog); body: the
    // highlighted markup (HighlightMarkup). The next piece is the first.
    void Start(const CString& prolog, const CString& body);
    // Lets go of the document.
    void Clear();

    bool HasMore() const { return m_position < m_body.GetLength() || m_firstPending; }
    // Bytes of the body not yet handed out, and handed out.
    int Remaining() const { return m_body.GetLength() - m_position; }
    int HandedOut() const { return m_position; }

    // The next piece, holding about bodyBytes of the body, or more where no
    // step boundary comes sooner; the last piece takes the rest. False when
    // nothing is left or the piece cannot be made.
    bool Next(int bodyBytes, CString& piece);

private:
    // Colour index and bold in force; -1 while the body has not stated them.
    struct Format {
        int colour;
        int bold;
    };
    // Where the piece that starts at from should end, at about target, and
    // the format in force there; state holds the format in force at from.
    int FindEnd(int from, int target, Format& state) const;
    // The format in force at the end of the body.
    Format FinalFormat() const;

    CString m_prolog;
    CString m_body;
    int m_position;
    bool m_firstPending;    // Start was called and the first piece is still to go
    Format m_state;     // in force at m_position
    Format m_final;     // in force at the end of the body
};
