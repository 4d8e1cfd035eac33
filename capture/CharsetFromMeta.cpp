#include "capture/CharsetFromMeta.h"

namespace {

struct CharsetRule {
    const char* pattern;
    int result;             // a GDI character set; kAnsiCodePage for "utf-"
};

const int kAnsiCodePage = -2;

// The first rule whose pattern occurs anywhere in the markup wins, so the
// order is behaviour: "iso-8859-1" also catches iso-8859-15 and -13, and a
// windows-125x name beats a "utf-" elsewhere in the same element.
const CharsetRule s_rules[] = {
    { "windows-1250", EASTEUROPE_CHARSET },
    { "windows-1251", RUSSIAN_CHARSET },
    { "windows-1252", ANSI_CHARSET },
    { "windows-1253", GREEK_CHARSET },
    { "windows-1254", TURKISH_CHARSET },
    { "windows-1255", HEBREW_CHARSET },
    { "windows-1256", ARABIC_CHARSET },
    { "windows-1257", BALTIC_CHARSET },
    { "iso-8859-1",   ANSI_CHARSET },
    { "iso-8859-2",   EASTEUROPE_CHARSET },
    { "iso-8859-3",   TURKISH_CHARSET },
    { "iso-8859-4",   BALTIC_CHARSET },
    { "iso-8859-5",   RUSSIAN_CHARSET },
    { "iso-8859-6",   ARABIC_CHARSET },
    { "iso-8859-7",   GREEK_CHARSET },
    { "iso-8859-8",   HEBREW_CHARSET },
    { "iso-8859-9",   TURKISH_CHARSET },
    { "koi",          RUSSIAN_CHARSET },
    { "ks_c",         HANGUL_CHARSET },
    { "latin1",       ANSI_CHARSET },
    { "latin2",       EASTEUROPE_CHARSET },
    { "latin4",       BALTIC_CHARSET },
    { "latin5",       TURKISH_CHARSET },
    { "shift",        SHIFTJIS_CHARSET },
    { "greek",        GREEK_CHARSET },
    { "visual",       HEBREW_CHARSET },
    { "arabic",       ARABIC_CHARSET },
    { "asmo-708",     ARABIC_CHARSET },
    { "big5",         CHINESEBIG5_CHARSET },
    { "chinese",      CHINESEBIG5_CHARSET },
    { "cn-gb",        CHINESEBIG5_CHARSET },
    { "cyrillic",     RUSSIAN_CHARSET },
    { "utf-",         kAnsiCodePage },
};

} // namespace

int CharsetFromMeta(const CString& text)
{
    for (const CharsetRule& rule : s_rules) {
        if (text.Find(rule.pattern) < 0) continue;
        // A Unicode page is shown in the system's own code page.
        return rule.result == kAnsiCodePage ? static_cast<int>(GetACP()) : rule.result;
    }
    return -1;
}
