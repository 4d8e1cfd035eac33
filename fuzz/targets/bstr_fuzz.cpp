// CBstr case mapping and comparison on arbitrary wide text (embedded NULs,
// characters outside the code page, long enough to leave the stack buffers):
// mapping goes through the ANSI code page up to the first NUL and follows the
// code page's case table, written out here again; copies keep the full
// counted length; a string made from narrow text equals that text.
#include "text/CBstr.h"
#include "fuzz/platform/HostPlatform.h"
#include <fuzzer/FuzzedDataProvider.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

void Check(bool condition, const char* what)
{
    if (!condition) {
        fprintf(stderr, "bstr_fuzz: %s\n", what);
        abort();
    }
}

// The case pairs of the two code pages: ASCII letters; in 1252 also the
// accented letters of its upper half and the four pairs among 0x80 to 0x9F.
// A double-byte character is left alone, its trail byte included.
unsigned char ModelCase(unsigned char c, bool upper)
{
    static const unsigned char pairs1252[][2] = {
        { 0x8A, 0x9A }, { 0x8C, 0x9C }, { 0x8E, 0x9E }, { 0x9F, 0xFF },
    };
    bool single = GetACP() == 1252;
    if (upper) {
        if (c >= 'a' && c <= 'z') return c - 32;
        if (single && c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
        for (const auto& pair : pairs1252) if (single && c == pair[1]) return pair[0];
    } else {
        if (c >= 'A' && c <= 'Z') return c + 32;
        if (single && c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
        for (const auto& pair : pairs1252) if (single && c == pair[0]) return pair[1];
    }
    return c;
}

std::vector<WCHAR> ModelMapCase(const std::vector<WCHAR>& text, bool upper)
{
    std::vector<WCHAR> upToNul(text.begin(), text.end());
    for (size_t i = 0; i < upToNul.size(); ++i) {
        if (upToNul[i] == 0) {
            upToNul.resize(i);
            break;
        }
    }
    upToNul.push_back(0);
    int bytes = WideCharToMultiByte(CP_ACP, 0, upToNul.data(), -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(bytes, '\0');
    WideCharToMultiByte(CP_ACP, 0, upToNul.data(), -1, &narrow[0], bytes, nullptr, nullptr);
    for (size_t i = 0; i + 1 < narrow.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(narrow[i]);
        if (IsDBCSLeadByte(c) && narrow[i + 1] != '\0') {
            ++i;
            continue;
        }
        narrow[i] = static_cast<char>(ModelCase(c, upper));
    }
    int count = MultiByteToWideChar(CP_ACP, 0, narrow.c_str(), -1, nullptr, 0);
    std::vector<WCHAR> wide(count);
    MultiByteToWideChar(CP_ACP, 0, narrow.c_str(), -1, wide.data(), count);
    wide.pop_back();
    return wide;
}

std::vector<WCHAR> Units(const CBstr& s)
{
    Check(s.Get() != nullptr, "string is absent");
    Check(s.Get()[s.Length()] == 0, "string is not terminated at its length");
    return std::vector<WCHAR>(s.Get(), s.Get() + s.Length());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    bool upper = in.ConsumeBool();
    std::string narrow = in.ConsumeRandomLengthString(2000);
    std::vector<WCHAR> wide;
    while (in.remaining_bytes() >= 2) {
        // Mostly characters the code page has, so that mapping has work to do.
        uint16_t unit = in.ConsumeIntegral<uint16_t>();
        wide.push_back((unit & 0x8000) ? (unit & 0x7FFF) : HostSingleByteToWide(unit & 0xFF));
    }

    CBstr original(SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size())));
    CBstr copy(original);
    Check(Units(copy) == wide, "copy lost part of the counted length");

    Check(upper ? copy.ToUpper() == S_OK : copy.ToLower() == S_OK, "case mapping failed");
    std::vector<WCHAR> mapped = Units(copy);
    Check(mapped == ModelMapCase(wide, upper), "case mapping differs from the code page's table");
    Check(Units(original) == wide, "mapping a copy changed the original");
    CBstr again(copy);
    Check((upper ? again.ToUpper() : again.ToLower()) == S_OK && Units(again) == mapped,
          "mapping twice differs from mapping once");

    // A string built from narrow text equals that text, and only texts that
    // convert to the same characters up to the first NUL.
    CBstr fromNarrow(NarrowToBstr(narrow.c_str(), -1));
    Check(fromNarrow.EqualsNarrow(narrow.c_str()), "string made from narrow text differs from it");
    Check(!fromNarrow.EqualsNarrow(nullptr) && !CBstr().EqualsNarrow(narrow.c_str()),
          "absent and present text compare equal");
    Check(CBstr().EqualsNarrow(nullptr), "two absent texts differ");
    std::string other = in.ConsumeRandomLengthString(100) + narrow.c_str();
    int count = MultiByteToWideChar(CP_ACP, 0, other.c_str(), -1, nullptr, 0);
    std::vector<WCHAR> otherWide(count);
    MultiByteToWideChar(CP_ACP, 0, other.c_str(), -1, otherWide.data(), count);
    bool same = wcscmp(otherWide.data(), fromNarrow.Get()) == 0;
    Check(fromNarrow.EqualsNarrow(other.c_str()) == same, "comparison differs from a unit-by-unit one");
    Check(original.EqualsNarrow(narrow.c_str()) == (wcscmp(original.Get(), fromNarrow.Get()) == 0),
          "comparison of a string with NULs differs from a unit-by-unit one");

    // An explicit byte count converts exactly those bytes, NULs included.
    if (!narrow.empty()) {
        CBstr counted(NarrowToBstr(narrow.data(), static_cast<int>(narrow.size())));
        int units = MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), nullptr, 0);
        std::vector<WCHAR> expected(units);
        MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), expected.data(), units);
        Check(Units(counted) == expected, "counted conversion differs");
    }
    return 0;
}
