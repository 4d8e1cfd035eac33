#include "viewer/ShownMarkup.h"
#include <windows.h>
#include <limits.h>

CString ShownMarkup(const wchar_t* markup, int characterLimit)
{
    CString shown;
    if (!markup || !*markup || characterLimit <= 0) return shown;

    // Every unit becomes at least one byte, so the units up to the one that
    // passes the limit hold every byte that can be shown; the rest of a large
    // page is never converted.
    long long count = 0;
    size_t units = 0;
    while (markup[units] && count <= characterLimit && units < static_cast<size_t>(INT_MAX / 4)) {
        const wchar_t unit = markup[units++];
        count += unit == L'\r' ? 0 : unit == L'\n' ? 2 : 1;
    }
    // A surrogate pair converts as one character.
    if (units > 0 && markup[units - 1] >= 0xD800 && markup[units - 1] <= 0xDBFF && markup[units] >= 0xDC00 &&
        markup[units] <= 0xDFFF)
        ++units;

    const int size = WideCharToMultiByte(CP_ACP, 0, markup, static_cast<int>(units), nullptr, 0, nullptr, nullptr);
    if (size <= 0) return shown;
    char* buffer = shown.GetWriteBuffer(size);
    if (!buffer) return shown;
    const int written = WideCharToMultiByte(CP_ACP, 0, markup, static_cast<int>(units), buffer, size, nullptr, nullptr);
    if (written <= 0) {
        shown.ReleaseWriteBuffer(0);
        return CString();
    }

    count = 0;
    int cut = 0;
    while (cut < written) {
        const unsigned char b = static_cast<unsigned char>(buffer[cut]);
        const int bytes = IsAnsiLeadByte(b) && cut + 1 < written ? 2 : 1;
        const int characters = b == '\r' ? 0 : b == '\n' ? 2 : bytes;
        if (count + characters > characterLimit) break;
        count += characters;
        cut += bytes;
    }
    buffer[cut] = '\0';
    shown.ReleaseWriteBuffer(cut);
    return shown;
}
