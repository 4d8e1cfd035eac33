#include "RtfBodyCheck.h"
#include <string.h>

namespace model {

namespace {

inline bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

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
