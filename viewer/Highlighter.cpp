#include "viewer/Highlighter.h"
#include <string.h>
#include <limits.h>
#include <emmintrin.h>

namespace {

enum State { Text, Script, TagName, Attributes, QuotedValue, Comment, StateCount };

// What one input byte does in one state. Copy covers every byte that the
// state copies unchanged without leaving the state: those are copied in
// blocks, and reach the switch only at the limit.
enum Action : unsigned char {
    Copy, End, Drop, LineBreak, LineBreakInTag, BlankInTag, OpenQuote, QuoteInValue,
    DashInComment, LessInText, LessInScript, EqualsInTag, GreaterInTag, EscapeSpecial,
};

struct ByteTables {
    unsigned char action[StateCount][256];
    bool blank[256];
    bool alnum[256];
    bool ordinary[256];     // bytes with no meaning in markup or RTF
};

constexpr ByteTables MakeByteTables()
{
    ByteTables t{};
    for (int c = 0; c < 256; ++c) {
        t.alnum[c] = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        t.blank[c] = c == ' ' || c == '\t';
        t.ordinary[c] = true;
    }
    const char special[] = "\r\n\t \"'-<=>\\{}";
    t.ordinary[0] = false;
    for (const char* p = special; *p; ++p) t.ordinary[static_cast<unsigned char>(*p)] = false;

    for (int s = 0; s < StateCount; ++s) {
        const bool inTag = s == TagName || s == Attributes;
        unsigned char* a = t.action[s];
        a[0] = End;
        a['\r'] = Drop;
        a['\n'] = inTag ? LineBreakInTag : LineBreak;
        a[' '] = a['\t'] = inTag ? BlankInTag : Copy;
        a['"'] = a['\''] = s == Attributes ? OpenQuote : s == QuotedValue ? QuoteInValue : Copy;
        a['-'] = s == Comment ? DashInComment : Copy;
        a['<'] = s == Text ? LessInText : s == Script ? LessInScript : Copy;
        a['='] = s == Attributes ? EqualsInTag : Copy;
        a['>'] = inTag ? GreaterInTag : Copy;
        a['\\'] = a['{'] = a['}'] = EscapeSpecial;
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

// Sixteen bytes at a time where the processor has SSE2: a block ends at the
// first byte that may not be plain in the state, found by comparing with the
// bytes below (each repeated across a vector) and two ranges: 0x00-0x0D
// (NUL, tab, line feed, carriage return) and 0x7B-0x7D (the braces). A few
// plain bytes also stop the wide scan; the byte-wise loop then goes on.
struct alignas(16) WideStops {
    unsigned char byte[6][16];
};

constexpr WideStops MakeWideStops(const char (&list)[6])
{
    WideStops w{};
    for (int k = 0; k < 6; ++k)
        for (int i = 0; i < 16; ++i) w.byte[k][i] = static_cast<unsigned char>(list[k]);
    return w;
}

constexpr WideStops s_wideStops[StateCount] = {
    MakeWideStops({ '\\', '<', '<', '<', '<', '<' }),       // Text
    MakeWideStops({ '\\', '<', '<', '<', '<', '<' }),       // Script
    MakeWideStops({ '\\', ' ', '>', '>', '>', '>' }),       // TagName
    MakeWideStops({ '\\', ' ', '"', '\'', '=', '>' }),      // Attributes
    MakeWideStops({ '\\', '"', '\'', '\'', '\'', '\'' }),   // QuotedValue
    MakeWideStops({ '\\', '-', '-', '-', '-', '-' }),       // Comment
};

// Copies 16-byte blocks from in to out while none holds a stop candidate, and
// the candidate-free head of the block that does; n bounds both sides, so the
// reads stay within the input and the writes before the limit.
template <int S>
__attribute__((target("sse2"), noinline))
size_t CopyWide(const unsigned char* in, char* out, size_t n)
{
    const __m128i* stops = reinterpret_cast<const __m128i*>(s_wideStops[S].byte);
    const __m128i controls = _mm_set1_epi8(0x0D);
    const __m128i braceBase = _mm_set1_epi8(0x7B);
    const __m128i braceSpan = _mm_set1_epi8(2);
    size_t done = 0;
    while (done + 16 <= n) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + done));
        const __m128i b = _mm_sub_epi8(x, braceBase);
        __m128i m = _mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(x, controls), x),
                                 _mm_cmpeq_epi8(_mm_min_epu8(b, braceSpan), b));
        m = _mm_or_si128(m, _mm_or_si128(_mm_cmpeq_epi8(x, _mm_loadu_si128(stops + 0)),
                                         _mm_cmpeq_epi8(x, _mm_loadu_si128(stops + 1))));
        m = _mm_or_si128(m, _mm_or_si128(_mm_cmpeq_epi8(x, _mm_loadu_si128(stops + 2)),
                                         _mm_cmpeq_epi8(x, _mm_loadu_si128(stops + 3))));
        m = _mm_or_si128(m, _mm_or_si128(_mm_cmpeq_epi8(x, _mm_loadu_si128(stops + 4)),
                                         _mm_cmpeq_epi8(x, _mm_loadu_si128(stops + 5))));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + done), x);
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(m));
        if (mask) return done + static_cast<size_t>(__builtin_ctz(mask));
        done += 16;
    }
    return done;
}

// Copies bytes that the state copies unchanged, at most block of them.
// Unrolled, with the state's table at a fixed address, because most blocks
// are a few bytes long and the loop around them is most of the cost.
template <int S>
inline void CopyPlain(const unsigned char*& inRef, char*& outRef, size_t block, bool wide)
{
    const unsigned char* const action = s_bytes.action[S];
    const unsigned char* in = inRef;
    char* out = outRef;
    for (; block >= 8; block -= 8, in += 8, out += 8) {
        // All eight go out first: the block stays before the limit, and what
        // lands after the block's end is overwritten by the next step.
        memcpy(out, in, 8);
        for (int k = 0; k < 8; ++k) {
            if (action[in[k]] != Copy) {
                inRef = in + k;
                outRef = out + k;
                return;
            }
        }
        // Eight plain bytes in a row: likely a long block, worth the wide scan.
        if (wide && block >= 8 + 16) {
            const size_t copied = CopyWide<S>(in + 8, out + 8, block - 8);
            in += copied;
            out += copied;
            block -= copied;
        }
    }
    for (; block && action[*in] == Copy; --block) *out++ = static_cast<char>(*in++);
    inRef = in;
    outRef = out;
}

// Where one pass stands. Local to one call; nothing survives between calls.
struct Pass {
    const unsigned char* in;
    const unsigned char* inputEnd;  // the input's NUL
    char* out;
    char* limit;                    // the pass goes on while out is at most this
    char* end;                      // the capacity: nothing is written at or past it
    int state;
    bool scriptPending;
    unsigned char quoteChar;
    bool wide;                      // SSE2 for long blocks
};

// The '<' that opens a tag or comment, in Text or at "</SCRIPT".
inline void OpenTag(Pass& p)
{
    Emit(p.out, "\\b <\\b0\\cf1 ");
    if (StartsWith(p.in, "SCRIPT")) p.scriptPending = true;
    if (StartsWith(p.in, "!--")) {
        Emit(p.out, "\\cf4 ");
        p.state = Comment;
    } else {
        p.state = TagName;
    }
}

// One block of bytes that state S copies unchanged, then one step on the
// byte after it. Returns false at the input's NUL. Each state has its own
// copy of this code, so its table sits at a fixed address.
template <int S>
inline bool Step(Pass& p)
{
    // The block stays within the limit: one byte out for each byte in.
    size_t block = static_cast<size_t>(p.inputEnd - p.in);
    if (block > static_cast<size_t>(p.limit - p.out)) block = static_cast<size_t>(p.limit - p.out);
    CopyPlain<S>(p.in, p.out, block, p.wide);

    const unsigned char ch = *p.in++;
    switch (s_bytes.action[S][ch]) {
    case Copy:
        // At the limit: this one step, with its run, and the pass ends.
        *p.out++ = static_cast<char>(ch);
        if (s_bytes.blank[ch]) {
            while (*p.in == ch && p.out < p.end) *p.out++ = static_cast<char>(*p.in++);
        } else if (s_bytes.ordinary[ch]) {
            while (s_bytes.alnum[*p.in] && p.out < p.end) *p.out++ = static_cast<char>(*p.in++);
        }
        break;
    case End:
        --p.in;
        return false;
    case Drop:
        // A carriage return writes nothing, so the line feed that nearly
        // always follows is its own step without a limit test in between.
        if (*p.in == '\n') {
            ++p.in;
            if (S == TagName || S == Attributes) {
                Emit(p.out, "\\par \\cf2 \n");
                p.state = Attributes;
            } else {
                Emit(p.out, "\\par \n");
            }
        }
        break;
    case LineBreak:
        Emit(p.out, "\\par \n");
        break;
    case LineBreakInTag:
        Emit(p.out, "\\par \\cf2 \n");
        p.state = Attributes;
        break;
    case BlankInTag:
        Emit(p.out, "\\cf2 ");
        *p.out++ = static_cast<char>(ch);
        // Runs may be longer than the margin: cut at the end of the buffer,
        // which also ends the pass.
        while (*p.in == ch && p.out < p.end) *p.out++ = static_cast<char>(*p.in++);
        p.state = Attributes;
        break;
    case OpenQuote:
        *p.out++ = static_cast<char>(ch);
        Emit(p.out, "\\I ");
        p.quoteChar = ch;
        p.state = QuotedValue;
        break;
    case QuoteInValue:
        if (ch == p.quoteChar) {
            Emit(p.out, "\\I0 ");
            p.state = Attributes;
        }
        *p.out++ = static_cast<char>(ch);
        break;
    case DashInComment:
        *p.out++ = static_cast<char>(ch);
        if (StartsWith(p.in, "->")) p.state = TagName;
        break;
    case LessInText:
        OpenTag(p);
        break;
    case LessInScript:
        if (StartsWith(p.in, "/SCRIPT")) {
            Emit(p.out, "\\cf0 ");
            OpenTag(p);
        } else {
            *p.out++ = static_cast<char>(ch);
        }
        break;
    case EqualsInTag:
        Emit(p.out, "\\cf5 =");
        // A quote nearly always follows; take its step here when the limit
        // lets the pass go on.
        if ((*p.in == '"' || *p.in == '\'') && p.out <= p.limit) {
            p.quoteChar = *p.in++;
            *p.out++ = static_cast<char>(p.quoteChar);
            Emit(p.out, "\\I ");
            p.state = QuotedValue;
        }
        break;
    case GreaterInTag:
        if (p.scriptPending) {
            Emit(p.out, "\\cf0\\b >\\b0\\cf3 ");
            p.scriptPending = false;
            p.state = Script;
        } else {
            Emit(p.out, "\\cf0\\b >\\b0 ");
            p.state = Text;
        }
        break;
    case EscapeSpecial:
        *p.out++ = '\\';
        *p.out++ = static_cast<char>(ch);
        break;
    }
    return true;
}

// Steps in state S while it lasts. Returns false when the pass is over: at
// the input's NUL or once a step has passed the limit.
template <int S>
inline bool StepsIn(Pass& p)
{
    do {
        if (!Step<S>(p) || p.out > p.limit) return false;
    } while (p.state == S);
    return true;
}

CString Highlight(const char* input, bool wide)
{
    CString body;
    if (!input) return body;

    // A page too large for an int-sized capacity cannot be given a buffer.
    const size_t length = strlen(input);
    const int capacity = HighlightCapacity(length);
    if (capacity == 0) return body;

    char* const buffer = body.GetWriteBuffer(capacity);
    if (!buffer) return body;

    Pass p;
    p.in = reinterpret_cast<const unsigned char*>(input);
    p.inputEnd = p.in + length;
    p.out = buffer;
    p.end = buffer + capacity;
    p.limit = p.end - kMargin;
    p.state = Text;
    p.scriptPending = false;
    p.quoteChar = 0;
    p.wide = wide;

    // Ordinary bytes go in blocks while every step among them stays within
    // the limit; near the limit each step is taken on its own, so the cut
    // falls exactly after the step that passes it. A state's steps repeat in
    // a loop of their own, so only a change of state goes through the switch.
    for (;;) {
        bool more;
        switch (p.state) {
        case Text:        more = StepsIn<Text>(p); break;
        case Script:      more = StepsIn<Script>(p); break;
        case TagName:     more = StepsIn<TagName>(p); break;
        case Attributes:  more = StepsIn<Attributes>(p); break;
        case QuotedValue: more = StepsIn<QuotedValue>(p); break;
        default:          more = StepsIn<Comment>(p); break;
        }
        if (!more) break;
    }

    *p.out = '\0';
    body.ReleaseWriteBuffer(static_cast<int>(p.out - buffer));
    return body;
}

} // namespace

int HighlightCapacity(size_t length)
{
    if (length > static_cast<size_t>(INT_MAX - 64) / 8) return 0;
    const int capacity = static_cast<int>(length * 8);
    return capacity < kSmallOutput ? kMinCapacity : capacity;
}

CString HighlightMarkup(const char* input)
{
    return Highlight(input, IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE) != FALSE);
}

CString HighlightMarkupWithoutSse2(const char* input)
{
    return Highlight(input, false);
}
