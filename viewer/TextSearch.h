#pragma once
#include <windows.h>
#include "text/CString.h"

// The page's text as the viewer shows it (ShownMarkup: narrow, in the ANSI
// code page), searched and counted without the window: a search of a whole
// large page takes milliseconds, and it sees the whole page also while the
// text control is still being filled. Offsets are byte offsets into the text.
class CTextSearch {
public:
    // Search options, as the Find dialog gives them.
    static const unsigned kDown = 1;
    static const unsigned kMatchCase = 2;
    static const unsigned kWholeWord = 4;

    CTextSearch();
    CTextSearch(const CTextSearch&) = delete;
    CTextSearch& operator=(const CTextSearch&) = delete;

    void SetText(const CString& text);
    const CString& Text() const { return m_text; }
    int Length() const { return m_text.GetLength(); }

    // The first match of what that starts at or after from (kDown), or the
    // last one that ends at or before from; -1 when there is none. Case is
    // folded as the ANSI code page folds it, a match never starts inside a
    // double-byte character, and a whole word has no letter, digit or
    // underscore right before or after it.
    int Find(const char* what, int from, unsigned options) const;

    // The page's own lines, numbered from 1: CR LF, LF and a CR alone each
    // end one. A line end at the very end leaves an empty last line.
    int LineCount() const;
    // Where a line starts, or -1 beyond the last line.
    int LineStart(int line) const;
    int LineOf(int offset) const;

    // The text control's character position of a byte offset, for a control
    // that reads the bytes in codePage (ControlCodePage): a line feed is a
    // paragraph mark of two positions, a carriage return none, a double-byte
    // character of that code page one, every other byte one.
    LONG PositionOf(int offset, UINT codePage) const;
    // The byte offset of a character position; positions past the text give
    // its length.
    int OffsetOf(LONG position, UINT codePage) const;

private:
    // A place whose character position is known, so that the next mapping,
    // usually a little further on (F3), walks only the text in between.
    struct Mark {
        int offset;
        LONG position;
        UINT codePage;
    };
    void LeadBytesOf(UINT codePage, bool (&lead)[256]) const;
    Mark WalkTo(int offset, LONG position, UINT codePage) const;
    bool MatchesAt(int at, const char* what, int length, bool matchCase) const;
    bool IsWordBoundary(int before, int after) const;
    bool IsWordByteAt(int at) const;

    CString m_text;
    bool m_doubleByte;              // the ANSI code page has lead bytes
    unsigned char m_fold[256];      // lower case of each single byte
    bool m_lead[256];               // lead bytes of the ANSI code page
    bool m_word[256];               // single bytes that are letters, digits or the underscore
    mutable Mark m_mark;
};

// The code page in which a text control reads the bytes of a document whose
// font carries charset (the viewer's charset state): that of the charset,
// or the ANSI code page for a number that is no charset the system knows.
UINT ControlCodePage(int charset);
