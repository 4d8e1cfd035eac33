#include "viewer/DocumentPieces.h"
#include "viewer/RtfDocument.h"
#include <limits.h>
#include <stdio.h>
#include <string.h>

namespace {

// A later piece closes its group and no more: a paragraph mark there would
// add an empty line at the end of the text.
const char kPieceEnd[] = "}";

inline bool IsLetter(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

inline bool IsDigit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

// A control word that starts with the backslash at b[i], before a letter.
struct ControlWord {
    bool colour;    // \cf
    bool bold;      // \b
    int value;      // -1 when it has none
    int end;        // where it ends, its delimiting space not included
};

ControlWord ReadControlWord(const unsigned char* b, int i)
{
    int j = i + 1;
    while (IsLetter(b[j])) ++j;
    const int nameLength = j - (i + 1);
    ControlWord word = { nameLength == 2 && b[i + 1] == 'c' && b[i + 2] == 'f', nameLength == 1 && b[i + 1] == 'b',
                         -1, 0 };
    if (b[j] == '-') ++j;
    if (IsDigit(b[j])) {
        word.value = 0;
        while (IsDigit(b[j])) {
            if (word.value < 100000) word.value = word.value * 10 + (b[j] - '0');
            ++j;
        }
    }
    word.end = j;
    return word;
}

// What a colour or bold word puts in force.
template <class Format>
void Apply(const ControlWord& control, Format& format)
{
    if (control.colour) format.colour = control.value < 0 ? 0 : control.value;
    if (control.bold) format.bold = control.value == 0 ? 0 : 1;
}

} // namespace

CDocumentPieces::CDocumentPieces()
    : m_position(0), m_firstPending(false), m_state{ -1, -1 }, m_final{ -1, -1 }
{
}

void CDocumentPieces::Start(const CString& prolog, const CString& body)
{
    m_prolog = prolog;
    m_body = body;
    m_position = 0;
    m_firstPending = true;
    m_state = Format{ -1, -1 };
    m_final = FinalFormat();
}

void CDocumentPieces::Clear()
{
    m_prolog = CString();
    m_body = CString();
    m_position = 0;
    m_firstPending = false;
}

// The body's last colour word and last bold word, sought from its end, so
// that a large page need not be read through before its first piece. A
// backslash starts a control word when the backslashes right before it are
// even in number: escaped backslashes come in pairs, and nothing else takes
// a backslash into a token.
CDocumentPieces::Format CDocumentPieces::FinalFormat() const
{
    const unsigned char* b = reinterpret_cast<const unsigned char*>(m_body.c_str());
    Format final = { -1, -1 };
    for (int i = m_body.GetLength() - 1; i >= 0 && (final.colour < 0 || final.bold < 0); --i) {
        if (b[i] != '\\' || !IsLetter(b[i + 1])) continue;
        int before = i;
        while (before > 0 && b[before - 1] == '\\') --before;
        if ((i - before) % 2 != 0) continue;
        const ControlWord control = ReadControlWord(b, i);
        if (control.colour && final.colour < 0) Apply(control, final);
        if (control.bold && final.bold < 0) Apply(control, final);
    }
    return final;
}

// The body is the highlighter's output: text in which every backslash and
// brace is escaped, control words, and a line feed after each paragraph
// mark. A piece may end after a line feed; after a colour or bold control
// word ended by its space; or, only where neither comes near, in the text
// after a byte below 0x40, which is never part of a double-byte character.
int CDocumentPieces::FindEnd(int from, int target, Format& state) const
{
    struct Candidate {
        int at;
        Format state;
    };
    Candidate line = { -1, {} }, word = { -1, {} }, text = { -1, {} };
    bool any = false;
    auto note = [&](Candidate& kind, int at, const Format& format) {
        // Past the target only the first boundary counts.
        if (at <= target || !any) {
            kind.at = at;
            kind.state = format;
            any = true;
        }
    };

    const unsigned char* b = reinterpret_cast<const unsigned char*>(m_body.c_str());
    const int n = m_body.GetLength();
    Format s = state;
    int i = from;
    while (i < n) {
        if (i > target && any) break;
        const unsigned char c = b[i];
        if (c == '\\') {
            if (IsLetter(b[i + 1])) {
                const ControlWord control = ReadControlWord(b, i);
                Apply(control, s);
                int j = control.end;
                if (b[j] == ' ') {
                    ++j;
                    if (control.colour || control.bold) note(word, j, s);
                }
                i = j;
            } else {
                i += b[i + 1] ? 2 : 1;
                note(text, i, s);
            }
        } else if (c == '\n') {
            ++i;
            note(line, i, s);
        } else {
            ++i;
            if (c < 0x40) note(text, i, s);
        }
    }
    if (i >= n) {
        state = s;
        return n;
    }
    // A line end in the second half of the window, else a control word,
    // else any line end, else the text.
    const Candidate& pick = line.at >= from + (target - from) / 2 ? line
                          : word.at >= 0                          ? word
                          : line.at >= 0                          ? line
                                                                  : text;
    state = pick.state;
    return pick.at;
}

bool CDocumentPieces::Next(int bodyBytes, CString& piece)
{
    piece = CString();
    if (!HasMore()) return false;
    if (bodyBytes < 1) bodyBytes = 1;

    const int from = m_position;
    const int n = m_body.GetLength();
    Format state = m_state;
    const int end = bodyBytes >= n - from ? n : FindEnd(from, from + bodyBytes, state);
    if (end == n) state = m_final;
    const bool first = m_firstPending;
    const bool last = end == n;

    // The format words: before the text of a later piece, the format in
    // force where it starts; after the text of a first piece that is not the
    // whole document, the format in force at the end of the whole body.
    char words[48] = "";
    if (!first) {
        snprintf(words, sizeof words, "\\cf%d\\b%s ", m_state.colour < 0 ? 0 : m_state.colour,
                 m_state.bold > 0 ? "" : "0");
    } else if (!last && (m_final.colour >= 0 || m_final.bold >= 0)) {
        char colour[16] = "", bold[8] = "";
        if (m_final.colour >= 0) snprintf(colour, sizeof colour, "\\cf%d", m_final.colour);
        if (m_final.bold >= 0) snprintf(bold, sizeof bold, "\\b%s", m_final.bold > 0 ? "" : "0");
        snprintf(words, sizeof words, "%s%s ", colour, bold);
    }
    if (first) {
        piece = ComposeRtfDocument(m_prolog, m_body.c_str() + from, end - from, words);
    } else {
        const int wordsLength = static_cast<int>(strlen(words));
        const int endLength = static_cast<int>(sizeof kPieceEnd - 1);
        const long long total = static_cast<long long>(m_prolog.GetLength()) + wordsLength + (end - from) + endLength;
        if (total > INT_MAX / 2 || !piece.GetWriteBuffer(static_cast<int>(total))) return false;
        piece.ReleaseWriteBuffer(0);
        if (!piece.Append(m_prolog) || !piece.Append(words, wordsLength) ||
            !piece.Append(m_body.c_str() + from, end - from) || !piece.Append(kPieceEnd, endLength))
            piece = CString();
    }
    if (piece.IsEmpty()) return false;
    m_firstPending = false;
    m_position = end;
    m_state = state;
    return true;
}
