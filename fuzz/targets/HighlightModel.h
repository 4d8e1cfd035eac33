#pragma once
// The conversion table of the highlighter read the plain way: one byte at a
// time, one switch per byte, the text that each row emits written out, no
// block copies. The fuzz targets hold the product to this reading.
#include <string.h>
#include <string>

namespace model {

enum State { Text, Script, TagName, Attributes, QuotedValue, Comment };

inline bool Begins(const char* rest, const char* literal)
{
    // Stops at the input's NUL: a NUL never equals a literal's character.
    return strncmp(rest, literal, strlen(literal)) == 0;
}

inline bool IsAsciiAlnum(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// Capacity of the output buffer for an input of `length` bytes.
inline long long Capacity(size_t length)
{
    long long capacity = 8LL * static_cast<long long>(length);
    return capacity < 4000 ? 8000 : capacity;
}

// The body for NUL-terminated input. A run is copied within its step but
// cut where the buffer ends, which also ends the pass.
inline std::string Highlight(const char* input)
{
    const long long capacity = Capacity(strlen(input));
    const long long limit = capacity - 256;
    std::string out;
    State state = Text;
    bool scriptPending = false;
    char quoteChar = 0;
    const char* p = input;
    auto openTag = [&]() {
        out += "\\b <\\b0\\cf1 ";
        if (Begins(p, "SCRIPT")) scriptPending = true;
        if (Begins(p, "!--")) {
            out += "\\cf4 ";
            state = Comment;
        } else {
            state = TagName;
        }
    };
    for (;;) {
        char ch = *p++;
        bool inTag = state == TagName || state == Attributes;
        switch (ch) {
        case '\0':
            return out;
        case '\r':
            break;
        case '\n':
            if (inTag) {
                out += "\\par \\cf2 \n";
                state = Attributes;
            } else {
                out += "\\par \n";
            }
            break;
        case '\t':
        case ' ':
            if (inTag) {
                out += "\\cf2 ";
                state = Attributes;
            }
            out += ch;
            while (*p == ch && static_cast<long long>(out.size()) < capacity) out += *p++;
            break;
        case '"':
        case '\'':
            if (state == Attributes) {
                out += ch;
                out += "\\I ";
                quoteChar = ch;
                state = QuotedValue;
            } else if (state == QuotedValue && ch == quoteChar) {
                out += "\\I0 ";
                out += ch;
                state = Attributes;
            } else {
                out += ch;
            }
            break;
        case '-':
            out += ch;
            if (state == Comment && Begins(p, "->")) state = TagName;
            break;
        case '<':
            if (state == Text) {
                openTag();
            } else if (state == Script && Begins(p, "/SCRIPT")) {
                out += "\\cf0 ";
                openTag();
            } else {
                out += ch;
            }
            break;
        case '=':
            if (state == Attributes) out += "\\cf5 =";
            else out += ch;
            break;
        case '>':
            if (inTag && scriptPending) {
                out += "\\cf0\\b >\\b0\\cf3 ";
                scriptPending = false;
                state = Script;
            } else if (inTag) {
                out += "\\cf0\\b >\\b0 ";
                state = Text;
            } else {
                out += ch;
            }
            break;
        case '\\':
            out += "\\\\";
            break;
        case '{':
            out += "\\{";
            break;
        case '}':
            out += "\\}";
            break;
        default:
            out += ch;
            while (IsAsciiAlnum(*p) && static_cast<long long>(out.size()) < capacity) out += *p++;
            break;
        }
        if (static_cast<long long>(out.size()) > limit) return out;
    }
}

}  // namespace model
