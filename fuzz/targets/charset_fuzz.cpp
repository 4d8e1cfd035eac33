// CharsetFromMeta on arbitrary markup against the ordered rule table, read
// here as plain data: the first rule whose pattern occurs (at a character
// boundary, in a double-byte code page) decides; "utf-" gives the ANSI code
// page; nothing known gives -1.
#include "capture/CharsetFromMeta.h"
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>

namespace {

struct Rule {
    const char* pattern;
    int result;     // -2: the ANSI code page
};

const Rule kRules[] = {
    { "windows-1250", 238 }, { "windows-1251", 204 }, { "windows-1252", 0 },
    { "windows-1253", 161 }, { "windows-1254", 162 }, { "windows-1255", 177 },
    { "windows-1256", 178 }, { "windows-1257", 186 },
    { "iso-8859-1", 0 },   { "iso-8859-2", 238 }, { "iso-8859-3", 162 },
    { "iso-8859-4", 186 }, { "iso-8859-5", 204 }, { "iso-8859-6", 178 },
    { "iso-8859-7", 161 }, { "iso-8859-8", 177 }, { "iso-8859-9", 162 },
    { "koi", 204 }, { "ks_c", 129 },
    { "latin1", 0 }, { "latin2", 238 }, { "latin4", 186 }, { "latin5", 162 },
    { "shift", 128 }, { "greek", 161 }, { "visual", 177 }, { "arabic", 178 },
    { "asmo-708", 178 }, { "big5", 136 }, { "chinese", 136 }, { "cn-gb", 136 },
    { "cyrillic", 204 }, { "utf-", -2 },
};

bool OccursAtCharacterStart(const std::string& text, const char* pattern)
{
    size_t n = strlen(pattern);
    for (size_t pos = 0; pos + n <= text.size();) {
        if (memcmp(text.data() + pos, pattern, n) == 0) return true;
        pos += (IsDBCSLeadByte(static_cast<BYTE>(text[pos])) && pos + 1 < text.size()) ? 2 : 1;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    CString markup;
    markup.AssignText(text.data(), static_cast<int>(text.size()));

    int expected = -1;
    for (const Rule& rule : kRules) {
        if (OccursAtCharacterStart(text, rule.pattern)) {
            expected = rule.result == -2 ? static_cast<int>(GetACP()) : rule.result;
            break;
        }
    }
    int actual = CharsetFromMeta(markup);
    if (actual != expected) {
        fprintf(stderr, "charset_fuzz: CharsetFromMeta gave %d, the rule table %d\n", actual, expected);
        abort();
    }
    if (markup.GetLength() != static_cast<int>(size) || memcmp(markup.c_str(), data, size) != 0) {
        fprintf(stderr, "charset_fuzz: the markup was changed\n");
        abort();
    }
    return 0;
}
