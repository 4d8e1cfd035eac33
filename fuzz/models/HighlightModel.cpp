#include "HighlightModel.h"

namespace model {

namespace {

enum State { Text, Script, TagName, Attributes, QuotedValue, Comment };

inline bool Begins(const char* rest, const char* literal)
{
    // Stops at the input's NUL: a NUL never equals a literal's character.
    return strncmp(rest, literal, strlen(literal)) == 0;
}

inline bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

inline bool IsAsciiAlnum(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

}  // namespace

std::string Highlight(const char* input)
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


const char* RtfBodyFault(const char* body, size_t length)
{
    const char* p = body;
    const char* end = body + length;
    bool bold = false;
    while (p < end) {
        if (*p == '{' || *p == '}') return "the body opens or closes a group";
        if (*p != '\\') {
            ++p;
            continue;
        }
        ++p;
        if (p == end) return "the body ends inside an escape";
        if (*p == '\\' || *p == '{' || *p == '}') {
            ++p;
            continue;
        }
        if (!IsLetter(*p)) return "a backslash stands before a character that needs no escape";
        const char* name = p;
        while (p < end && IsLetter(*p)) ++p;
        const bool isBold = p - name == 1 && *name == 'b';
        const char* digits = p;
        while (p < end && *p >= '0' && *p <= '9') ++p;
        const bool noParameter = p == digits;
        const bool zero = p - digits == 1 && *digits == '0';
        if (p == end) return "the body ends inside a control word";
        if (*p != ' ' && *p != '\\') return "a control word runs into the text after it";
        if (*p == ' ') ++p;
        if (isBold && noParameter) {
            if (bold) return "bold switched on twice";
            bold = true;
        } else if (isBold && zero) {
            if (!bold) return "bold switched off while off";
            bold = false;
        } else if (isBold) {
            return "bold with an unexpected parameter";
        } else if (bold) {
            return "a control word other than \\b0 while bold";
        }
        if (bold) {
            if (p >= end || (*p != '<' && *p != '>')) return "bold covers something other than a bracket";
            ++p;
            if (end - p < 3 || memcmp(p, "\\b0", 3) != 0) return "a bold bracket is not followed by \\b0";
        }
    }
    return bold ? "the body ends bold" : nullptr;
}

}  // namespace model
