#include "tools/reference/HighlightReference.h"
#include <string.h>

namespace {

enum State { Text, Script, TagName, Attributes, QuotedValue, Comment };

const size_t kMargin = 256;

bool Begins(const char* rest, const char* literal)
{
    // Stops at the input's NUL: a NUL never equals a literal's character.
    return strncmp(rest, literal, strlen(literal)) == 0;
}

bool IsAsciiAlnum(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// Where the body goes: a caller's buffer or a string.
struct BufferOut {
    char* out;
    size_t size;
    void Put(char c) { out[size++] = c; }
    void Put(const char* text) { while (*text) out[size++] = *text++; }
};

struct StringOut {
    std::string out;
    size_t size;
    void Put(char c) { out += c; ++size; }
    void Put(const char* text) { size_t n = strlen(text); out.append(text, n); size += n; }
};

template <class Out>
void Read(const char* p, Out& out, size_t capacity)
{
    const size_t limit = capacity < kMargin ? 0 : capacity - kMargin;
    State state = Text;
    bool scriptPending = false;
    char quoteChar = 0;
    auto openTag = [&]() {
        out.Put("\\b <\\b0\\cf1 ");
        if (Begins(p, "SCRIPT")) scriptPending = true;
        if (Begins(p, "!--")) {
            out.Put("\\cf4 ");
            state = Comment;
        } else {
            state = TagName;
        }
    };
    for (;;) {
        const char ch = *p++;
        const bool inTag = state == TagName || state == Attributes;
        switch (ch) {
        case '\0':
            return;
        case '\r':
            break;
        case '\n':
            if (inTag) {
                out.Put("\\par \\cf2 \n");
                state = Attributes;
            } else {
                out.Put("\\par \n");
            }
            break;
        case '\t':
        case ' ':
            if (inTag) {
                out.Put("\\cf2 ");
                state = Attributes;
            }
            out.Put(ch);
            while (*p == ch && out.size < capacity) out.Put(*p++);
            break;
        case '"':
        case '\'':
            if (state == Attributes) {
                out.Put(ch);
                out.Put("\\I ");
                quoteChar = ch;
                state = QuotedValue;
            } else if (state == QuotedValue && ch == quoteChar) {
                out.Put("\\I0 ");
                out.Put(ch);
                state = Attributes;
            } else {
                out.Put(ch);
            }
            break;
        case '-':
            out.Put(ch);
            if (state == Comment && Begins(p, "->")) state = TagName;
            break;
        case '<':
            if (state == Text) {
                openTag();
            } else if (state == Script && Begins(p, "/SCRIPT")) {
                out.Put("\\cf0 ");
                openTag();
            } else {
                out.Put(ch);
            }
            break;
        case '=':
            if (state == Attributes) out.Put("\\cf5 =");
            else out.Put(ch);
            break;
        case '>':
            if (inTag && scriptPending) {
                out.Put("\\cf0\\b >\\b0\\cf3 ");
                scriptPending = false;
                state = Script;
            } else if (inTag) {
                out.Put("\\cf0\\b >\\b0 ");
                state = Text;
            } else {
                out.Put(ch);
            }
            break;
        case '\\':
        case '{':
        case '}':
            out.Put('\\');
            out.Put(ch);
            break;
        default:
            out.Put(ch);
            while (IsAsciiAlnum(*p) && out.size < capacity) out.Put(*p++);
            break;
        }
        if (out.size > limit) return;
    }
}

}  // namespace

size_t ReferenceHighlight(const char* input, char* out, size_t capacity)
{
    BufferOut body = { out, 0 };
    Read(input, body, capacity);
    out[body.size] = '\0';
    return body.size;
}

std::string ReferenceHighlight(const char* input, size_t capacity)
{
    StringOut body = { std::string(), 0 };
    Read(input, body, capacity);
    return body.out;
}
