#include "viewer/TextSearch.h"
#include <limits.h>
#include <string.h>

namespace {

inline bool IsLineEnd(unsigned char c)
{
    return c == '\n' || c == '\r';
}

// Bytes of the line end that starts at p (0 when none): CR LF counts as one end.
inline int LineEndLength(const unsigned char* p, const unsigned char* end)
{
    if (*p == '\n') return 1;
    if (*p != '\r') return 0;
    return p + 1 < end && p[1] == '\n' ? 2 : 1;
}

// Line ends are single bytes below 0x40, which no double-byte code page uses
// as a trail byte: the character after one always starts at a boundary.
int LineStartBefore(const unsigned char* text, int at)
{
    while (at > 0 && !IsLineEnd(text[at - 1])) --at;
    return at;
}

} // namespace

CTextSearch::CTextSearch()
    : m_doubleByte(false), m_mark{ 0, 0, 0 }
{
    for (int b = 0; b < 256; ++b) {
        m_lead[b] = IsAnsiLeadByte(static_cast<unsigned char>(b));
        if (m_lead[b]) m_doubleByte = true;
        char one[2] = { static_cast<char>(b), 0 };
        if (b != 0 && !m_lead[b]) CharLowerBuffA(one, 1);
        m_fold[b] = static_cast<unsigned char>(one[0]);
        m_word[b] = !m_lead[b] && b != 0 && (b == '_' || IsCharAlphaNumericA(static_cast<char>(b)));
    }
}

void CTextSearch::SetText(const CString& text)
{
    m_text = text;
    m_mark = Mark{ 0, 0, 0 };
}

void CTextSearch::LeadBytesOf(UINT codePage, bool (&lead)[256]) const
{
    CPINFO info = {};
    const bool doubleByte = GetCPInfo(codePage, &info) && info.MaxCharSize > 1;
    for (int b = 0; b < 256; ++b) lead[b] = doubleByte && IsDBCSLeadByteEx(codePage, static_cast<BYTE>(b));
}

bool CTextSearch::MatchesAt(int at, const char* what, int length, bool matchCase) const
{
    const unsigned char* t = reinterpret_cast<const unsigned char*>(m_text.c_str()) + at;
    const unsigned char* w = reinterpret_cast<const unsigned char*>(what);
    if (matchCase) return memcmp(t, w, length) == 0;
    // Both sides step through the pattern's characters: the bytes of a
    // double-byte character compare as they are, single bytes folded.
    for (int i = 0; i < length;) {
        if (m_lead[w[i]] && i + 1 < length) {
            if (t[i] != w[i] || t[i + 1] != w[i + 1]) return false;
            i += 2;
        } else {
            if (m_fold[t[i]] != m_fold[w[i]]) return false;
            ++i;
        }
    }
    return true;
}

// A double-byte character counts as a letter.
bool CTextSearch::IsWordByteAt(int at) const
{
    const unsigned char b = static_cast<unsigned char>(m_text.c_str()[at]);
    return m_lead[b] || m_word[b];
}

// before: where the character before the match starts (-1 at the start);
// after: where the match ends.
bool CTextSearch::IsWordBoundary(int before, int after) const
{
    if (before >= 0 && IsWordByteAt(before)) return false;
    return after >= m_text.GetLength() || !IsWordByteAt(after);
}

int CTextSearch::Find(const char* what, int from, unsigned options) const
{
    const int n = m_text.GetLength();
    const int m = what ? static_cast<int>(strlen(what)) : 0;
    if (m == 0 || m > n) return -1;
    if (from < 0) from = 0;
    if (from > n) from = n;
    const bool down = (options & kDown) != 0;
    const bool matchCase = (options & kMatchCase) != 0;
    const bool wholeWord = (options & kWholeWord) != 0;
    const unsigned char* t = reinterpret_cast<const unsigned char*>(m_text.c_str());
    const unsigned char first = static_cast<unsigned char>(what[0]);
    const unsigned char firstFolded = m_fold[first];
    // A pattern that starts with a double-byte character needs its bytes as they are.
    const bool foldFirst = !matchCase && !m_lead[first];

    // Upward, the last match wholly before from; downward, the first at or after it.
    const int last = down ? n - m : from - m;
    int at = down ? from : 0;
    // In a double-byte code page the walk goes character by character from
    // a known boundary; otherwise it skips to the next possible first byte.
    if (m_doubleByte) at = LineStartBefore(t, at);
    int previous = at - 1;
    int found = -1;
    while (at <= last) {
        if (!m_doubleByte) {
            const unsigned char* hit;
            if (foldFirst) {
                hit = t + at;
                const unsigned char* stop = t + last;
                while (hit <= stop && m_fold[*hit] != firstFolded) ++hit;
                if (hit > stop) break;
            } else {
                hit = static_cast<const unsigned char*>(memchr(t + at, first, last - at + 1));
                if (!hit) break;
            }
            at = static_cast<int>(hit - t);
            previous = at - 1;
        }
        const bool candidate = (!down || at >= from) && (foldFirst ? m_fold[t[at]] == firstFolded : t[at] == first);
        if (candidate && MatchesAt(at, what, m, matchCase) && (!wholeWord || IsWordBoundary(previous, at + m))) {
            if (down) return at;
            found = at;
        }
        previous = at;
        at += m_lead[t[at]] && at + 1 < n ? 2 : 1;
    }
    return found;
}

int CTextSearch::LineCount() const
{
    const unsigned char* t = reinterpret_cast<const unsigned char*>(m_text.c_str());
    const unsigned char* end = t + m_text.GetLength();
    int lines = 1;
    for (const unsigned char* p = t; p < end;) {
        const int ending = LineEndLength(p, end);
        if (ending) ++lines;
        p += ending ? ending : 1;
    }
    return lines;
}

int CTextSearch::LineStart(int line) const
{
    if (line < 1) return -1;
    const unsigned char* t = reinterpret_cast<const unsigned char*>(m_text.c_str());
    const unsigned char* end = t + m_text.GetLength();
    const unsigned char* p = t;
    for (int current = 1; current < line; ++current) {
        while (p < end && !IsLineEnd(*p)) {
            const unsigned char* next = static_cast<const unsigned char*>(memchr(p, '\n', end - p));
            const unsigned char* cr = static_cast<const unsigned char*>(memchr(p, '\r', (next ? next : end) - p));
            p = cr ? cr : next ? next : end;
        }
        if (p >= end) return -1;
        p += LineEndLength(p, end);
    }
    return static_cast<int>(p - t);
}

int CTextSearch::LineOf(int offset) const
{
    const unsigned char* t = reinterpret_cast<const unsigned char*>(m_text.c_str());
    const int n = m_text.GetLength();
    if (offset > n) offset = n;
    const unsigned char* end = t + offset;
    int line = 1;
    for (const unsigned char* p = t; p < end;) {
        // A CR LF that straddles the offset ends the line only once passed.
        const int ending = LineEndLength(p, t + n);
        if (ending && p + ending <= end) ++line;
        p += ending ? ending : 1;
    }
    return line;
}

// Walks from the mark (or the start) up to offset, or to the last character
// that starts at or before position, whichever comes first.
CTextSearch::Mark CTextSearch::WalkTo(int offset, LONG position, UINT codePage) const
{
    const unsigned char* t = reinterpret_cast<const unsigned char*>(m_text.c_str());
    const int n = m_text.GetLength();
    if (offset > n) offset = n;
    bool lead[256];
    LeadBytesOf(codePage, lead);

    const bool fromMark = m_mark.codePage == codePage && m_mark.offset <= offset && m_mark.position <= position;
    Mark at = fromMark ? m_mark : Mark{ 0, 0, codePage };
    while (at.offset < offset) {
        const unsigned char c = t[at.offset];
        const int characters = c == '\n' ? 2 : c == '\r' ? 0 : 1;
        if (characters > 0 && at.position + characters > position) break;
        at.position += characters;
        at.offset += !IsLineEnd(c) && lead[c] && at.offset + 1 < n && !IsLineEnd(t[at.offset + 1]) ? 2 : 1;
    }
    m_mark = at;
    return at;
}

LONG CTextSearch::PositionOf(int offset, UINT codePage) const
{
    return WalkTo(offset, LONG_MAX, codePage).position;
}

int CTextSearch::OffsetOf(LONG position, UINT codePage) const
{
    return WalkTo(m_text.GetLength(), position, codePage).offset;
}

UINT ControlCodePage(int charset)
{
    CHARSETINFO info = {};
    if (charset >= 0 && charset <= 255 &&
        TranslateCharsetInfo(reinterpret_cast<DWORD*>(static_cast<ULONG_PTR>(charset)), &info, TCI_SRCCHARSET))
        return info.ciACP;
    return GetACP();
}
