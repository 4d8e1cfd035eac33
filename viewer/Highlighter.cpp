#include "viewer/Highlighter.h"
#include <string.h>
#include <limits.h>

namespace {

enum State { Text, Script, TagName, Attributes, QuotedValue, Comment, StateCount };

enum ByteClass : unsigned char {
    ClassOther, ClassNul, ClassCr, ClassLf, ClassBlank, ClassQuote,
    ClassDash, ClassLess, ClassEquals, ClassGreater, ClassEscape,
};

// plain[state][byte] marks the bytes that the state copies unchanged without
// leaving the state: the pass copies those in blocks while far from the limit.
struct ByteTables {
    unsigned char cls[256];
    bool alnum[256];
    unsigned char plain[StateCount][256];
};

constexpr ByteTables MakeByteTables()
{
    ByteTables t{};
    t.cls[0] = ClassNul;
    t.cls['\r'] = ClassCr;
    t.cls['\n'] = ClassLf;
    t.cls['\t'] = t.cls[' '] = ClassBlank;
    t.cls['"'] = t.cls['\''] = ClassQuote;
    t.cls['-'] = ClassDash;
    t.cls['<'] = ClassLess;
    t.cls['='] = ClassEquals;
    t.cls['>'] = ClassGreater;
    t.cls['\\'] = t.cls['{'] = t.cls['}'] = ClassEscape;
    for (int c = '0'; c <= '9'; ++c) t.alnum[c] = true;
    for (int c = 'A'; c <= 'Z'; ++c) t.alnum[c] = t.alnum[c + ('a' - 'A')] = true;

    for (int s = 0; s < StateCount; ++s) {
        const bool inTag = s == TagName || s == Attributes;
        for (int c = 0; c < 256; ++c) {
            bool plain = false;
            switch (t.cls[c]) {
            case ClassOther:   plain = true; break;
            case ClassBlank:   plain = !inTag; break;
            case ClassQuote:   plain = s != Attributes && s != QuotedValue; break;
            case ClassDash:    plain = s != Comment; break;
            case ClassLess:    plain = s != Text && s != Script; break;
            case ClassEquals:  plain = s != Attributes; break;
            case ClassGreater: plain = !inTag; break;
            default:           plain = false; break;
            }
            t.plain[s][c] = plain;
        }
    }
    return t;
}

constexpr ByteTables s_bytes = MakeByteTables();

const int kMinCapacity = 8000;
const int kSmallOutput = 4000;
const int kMargin = 256;

// The longest fixed text one step writes ("\cf0 " and "\b <\b0\cf1 " at the
// end of a script, or '<' with "\cf4 "). A step starts only while the margin
// is left, so the limit test between steps is what keeps these writes inside
// the buffer; runs, which can be longer, check the end byte by byte.
const int kMaxStep = 17;
static_assert(kMaxStep < kMargin, "a step must fit in the margin");

// Whether the input at p begins with the literal; stops at the input's NUL.
template <size_t N>
inline bool StartsWith(const unsigned char* p, const char (&literal)[N])
{
    for (size_t i = 0; i + 1 < N; ++i)
        if (p[i] != static_cast<unsigned char>(literal[i])) return false;
    return true;
}

template <size_t N>
inline void Emit(char*& out, const char (&text)[N])
{
    static_assert(N - 1 <= kMaxStep, "longer than a step may write");
    memcpy(out, text, N - 1);
    out += N - 1;
}

// The '<' that opens a tag or comment, in Text or at "</SCRIPT".
inline int OpenTag(char*& out, const unsigned char* rest, bool& scriptPending)
{
    Emit(out, "\\b <\\b0\\cf1 ");
    if (StartsWith(rest, "SCRIPT")) scriptPending = true;
    if (!StartsWith(rest, "!--")) return TagName;
    Emit(out, "\\cf4 ");
    return Comment;
}

} // namespace

CString HighlightMarkup(const char* input)
{
    CString body;
    if (!input) return body;

    // A page too large for an int-sized capacity cannot be given a buffer.
    size_t length = strlen(input);
    if (length > static_cast<size_t>(INT_MAX - 64) / 8) return body;
    int capacity = static_cast<int>(length * 8);
    if (capacity < kSmallOutput) capacity = kMinCapacity;

    char* const buffer = body.GetWriteBuffer(capacity);
    if (!buffer) return body;

    char* const end = buffer + capacity;
    char* const limit = end - kMargin;
    char* out = buffer;
    const unsigned char* in = reinterpret_cast<const unsigned char*>(input);
    const unsigned char* const inputEnd = in + length;
    int state = Text;
    bool scriptPending = false;
    unsigned char quoteChar = 0;

    for (;;) {
        // Ordinary bytes go in blocks while every step among them would stay
        // within the limit; near the limit each step is taken on its own so
        // the cut falls exactly after the step that passes it.
        // Eight bytes are tested at once without branching, within the input
        // (its length is known) and the room before the limit.
        const unsigned char* const plain = s_bytes.plain[state];
        size_t room = static_cast<size_t>(limit - out);
        size_t block = static_cast<size_t>(inputEnd - in);
        if (block > room) block = room;
        while (block >= 8 && (plain[in[0]] & plain[in[1]] & plain[in[2]] & plain[in[3]]
                              & plain[in[4]] & plain[in[5]] & plain[in[6]] & plain[in[7]])) {
            memcpy(out, in, 8);
            out += 8;
            in += 8;
            block -= 8;
            room -= 8;
        }
        while (room && plain[*in]) {
            *out++ = static_cast<char>(*in++);
            --room;
        }

        const unsigned char ch = *in++;
        const bool inTag = state == TagName || state == Attributes;
        switch (s_bytes.cls[ch]) {
        case ClassNul:
            *out = '\0';
            body.ReleaseWriteBuffer(static_cast<int>(out - buffer));
            return body;
        case ClassCr:
            break;
        case ClassLf:
            if (inTag) {
                Emit(out, "\\par \\cf2 \n");
                state = Attributes;
            } else {
                Emit(out, "\\par \n");
            }
            break;
        case ClassBlank:
            if (inTag) {
                Emit(out, "\\cf2 ");
                state = Attributes;
            }
            *out++ = static_cast<char>(ch);
            // Runs may be longer than the margin: cut at the end of the
            // buffer, which also ends the pass.
            while (*in == ch && out < end) *out++ = static_cast<char>(*in++);
            break;
        case ClassQuote:
            if (state == Attributes) {
                *out++ = static_cast<char>(ch);
                Emit(out, "\\I ");
                quoteChar = ch;
                state = QuotedValue;
            } else if (state == QuotedValue && ch == quoteChar) {
                Emit(out, "\\I0 ");
                *out++ = static_cast<char>(ch);
                state = Attributes;
            } else {
                *out++ = static_cast<char>(ch);
            }
            break;
        case ClassDash:
            *out++ = static_cast<char>(ch);
            if (state == Comment && StartsWith(in, "->")) state = TagName;
            break;
        case ClassLess:
            if (state == Text) {
                state = OpenTag(out, in, scriptPending);
            } else if (state == Script && StartsWith(in, "/SCRIPT")) {
                Emit(out, "\\cf0 ");
                state = OpenTag(out, in, scriptPending);
            } else {
                *out++ = static_cast<char>(ch);
            }
            break;
        case ClassEquals:
            if (state == Attributes) Emit(out, "\\cf5 =");
            else *out++ = static_cast<char>(ch);
            break;
        case ClassGreater:
            if (inTag && scriptPending) {
                Emit(out, "\\cf0\\b >\\b0\\cf3 ");
                scriptPending = false;
                state = Script;
            } else if (inTag) {
                Emit(out, "\\cf0\\b >\\b0 ");
                state = Text;
            } else {
                *out++ = static_cast<char>(ch);
            }
            break;
        case ClassEscape:
            *out++ = '\\';
            *out++ = static_cast<char>(ch);
            break;
        default:
            *out++ = static_cast<char>(ch);
            while (s_bytes.alnum[*in] && out < end) *out++ = static_cast<char>(*in++);
            break;
        }

        if (out > limit) break;
    }

    *out = '\0';
    body.ReleaseWriteBuffer(static_cast<int>(out - buffer));
    return body;
}
