// Host versions of the platform calls declared in windows.h. Behaviour
// follows the platform where the pure core depends on it: lengths, code-page
// conversions and their buffer rules, lead bytes, case mapping through the
// ANSI code page, BSTR layout. The double-byte code page is 932 with a
// reduced table: its real lead and trail ranges, but each double-byte
// character stands for a made-up wide character in a block of its own.
#include <windows.h>
#include "fuzz/platform/HostPlatform.h"
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

// Stands for the module's image, whose handle string-table loading takes.
extern "C" IMAGE_DOS_HEADER __ImageBase;
IMAGE_DOS_HEADER __ImageBase = {};

namespace {

UINT ReadCodePage()
{
    const char* setting = getenv("GLIMMERDECK_FUZZ_ACP");
    return (setting && strcmp(setting, "932") == 0) ? 932 : 1252;
}

UINT CodePage()
{
    static const UINT codePage = ReadCodePage();
    return codePage;
}

bool Is932() { return CodePage() == 932; }

bool IsLead932(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool IsTrail932(unsigned char b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }
int LeadIndex932(unsigned char b) { return b <= 0x9F ? b - 0x81 : b - 0xE0 + 31; }
unsigned char LeadFromIndex932(int index) { return static_cast<unsigned char>(index < 31 ? index + 0x81 : index - 31 + 0xE0); }
const WCHAR kPairBase = 0x4E00;
const WCHAR kPairEnd = kPairBase + 60 * 256;
const WCHAR kBadSequence = 0x30FB;

const WCHAR k1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

WCHAR SingleToWide(unsigned char b)
{
    if (b < 0x80) return b;
    if (!Is932()) return b < 0xA0 ? k1252High[b - 0x80] : b;
    if (b == 0x80) return 0x0080;
    if (b == 0xA0) return 0xF8F0;
    if (b >= 0xA1 && b <= 0xDF) return static_cast<WCHAR>(0xFF61 + (b - 0xA1));
    if (b >= 0xFD) return static_cast<WCHAR>(0xF8F1 + (b - 0xFD));
    return kBadSequence;    // a lead byte without its trail
}

// Narrow form of one wide character: 1 or 2 bytes, 0 when the code page has none.
int WideToNarrow(WCHAR w, unsigned char out[2])
{
    if (w < 0x80) {
        out[0] = static_cast<unsigned char>(w);
        return 1;
    }
    if (!Is932()) {
        for (int i = 0; i < 32; ++i) {
            if (k1252High[i] == w) {
                out[0] = static_cast<unsigned char>(0x80 + i);
                return 1;
            }
        }
        if (w >= 0xA0 && w <= 0xFF) {
            out[0] = static_cast<unsigned char>(w);
            return 1;
        }
        return 0;
    }
    if (w >= kPairBase && w < kPairEnd) {
        int index = w - kPairBase;
        unsigned char trail = static_cast<unsigned char>(index & 0xFF);
        if (!IsTrail932(trail)) return 0;
        out[0] = LeadFromIndex932(index >> 8);
        out[1] = trail;
        return 2;
    }
    for (int b = 0x80; b < 0x100; ++b) {
        if (IsLead932(static_cast<unsigned char>(b))) continue;
        if (SingleToWide(static_cast<unsigned char>(b)) == w) {
            out[0] = static_cast<unsigned char>(b);
            return 1;
        }
    }
    return 0;
}

unsigned char UpperByte(unsigned char c)
{
    if (c >= 'a' && c <= 'z') return c - 0x20;
    if (Is932()) return c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
    switch (c) {
    case 0x9A: return 0x8A;
    case 0x9C: return 0x8C;
    case 0x9E: return 0x8E;
    case 0xFF: return 0x9F;
    default: return c;
    }
}

unsigned char LowerByte(unsigned char c)
{
    if (c >= 'A' && c <= 'Z') return c + 0x20;
    if (Is932()) return c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
    switch (c) {
    case 0x8A: return 0x9A;
    case 0x8C: return 0x9C;
    case 0x8E: return 0x9E;
    case 0x9F: return 0xFF;
    default: return c;
    }
}

LPSTR MapCase(LPSTR text, unsigned char (*map)(unsigned char))
{
    if (!text) return nullptr;
    if (HIWORD(text) == 0) {
        ULONG_PTR c = reinterpret_cast<ULONG_PTR>(text);
        return reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(map(static_cast<unsigned char>(c & 0xFF))));
    }
    unsigned char* p = reinterpret_cast<unsigned char*>(text);
    while (*p) {
        if (IsDBCSLeadByte(*p) && p[1]) {
            p += 2;    // the trail byte of a double-byte character is no letter
            continue;
        }
        *p = map(*p);
        ++p;
    }
    return text;
}

HostRegistry* g_registry = nullptr;

struct TaskHeader {
    size_t size;
    size_t pad;
};

struct BstrHeader {
    uint32_t length;     // characters, not counting the terminator
    uint32_t pad;
};

}  // namespace

void SetHostRegistry(HostRegistry* registry) { g_registry = registry; }

WCHAR HostSingleByteToWide(unsigned char byte) { return SingleToWide(byte); }

int lstrlenA(LPCSTR text) { return text ? static_cast<int>(strlen(text)) : 0; }

int lstrlenW(LPCWSTR text) { return text ? static_cast<int>(wcslen(text)) : 0; }

int lstrcmpiA(LPCSTR a, LPCSTR b)
{
    if (!a || !b) return a ? 1 : (b ? -1 : 0);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(a);
    const unsigned char* q = reinterpret_cast<const unsigned char*>(b);
    for (;; ++p, ++q) {
        unsigned char x = LowerByte(*p), y = LowerByte(*q);
        if (x != y) return x < y ? -1 : 1;
        if (!x) return 0;
        if (IsDBCSLeadByte(*p) && p[1] && q[1]) {
            // The trail bytes of two double-byte characters compare exactly.
            ++p;
            ++q;
            if (*p != *q) return *p < *q ? -1 : 1;
        }
    }
}

LPSTR CharNextA(LPCSTR p)
{
    if (!*p) return const_cast<LPSTR>(p);
    if (IsDBCSLeadByte(static_cast<BYTE>(*p)) && p[1]) return const_cast<LPSTR>(p + 2);
    return const_cast<LPSTR>(p + 1);
}

LPSTR CharUpperA(LPSTR text) { return MapCase(text, UpperByte); }
LPSTR CharLowerA(LPSTR text) { return MapCase(text, LowerByte); }

BOOL IsDBCSLeadByte(BYTE b) { return Is932() && IsLead932(b); }

BOOL IsDBCSLeadByteEx(UINT codePage, BYTE b)
{
    if (codePage == CP_ACP) codePage = CodePage();
    return codePage == 932 && IsLead932(b);
}

UINT GetACP() { return CodePage(); }

BOOL GetCPInfo(UINT codePage, CPINFO* info)
{
    if (!info) return FALSE;
    if (codePage == CP_ACP) codePage = CodePage();
    if (codePage != 932 && codePage != 1252) return FALSE;
    memset(info, 0, sizeof(*info));
    info->DefaultChar[0] = '?';
    info->MaxCharSize = codePage == 932 ? 2 : 1;
    if (codePage == 932) {
        const BYTE ranges[] = { 0x81, 0x9F, 0xE0, 0xFC };
        memcpy(info->LeadByte, ranges, sizeof(ranges));
    }
    return TRUE;
}

int MultiByteToWideChar(UINT codePage, DWORD, LPCSTR text, int bytes, LPWSTR wide, int wideCount)
{
    if (codePage != CP_ACP && codePage != CodePage()) return 0;
    if (!text || bytes == 0 || bytes < -1 || wideCount < 0 || (wideCount > 0 && !wide)) return 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    size_t length = bytes == -1 ? strlen(text) + 1 : static_cast<size_t>(bytes);
    int produced = 0;
    for (size_t i = 0; i < length;) {
        WCHAR w;
        if (IsDBCSLeadByte(p[i]) && i + 1 < length && IsTrail932(p[i + 1])) {
            w = static_cast<WCHAR>(kPairBase + LeadIndex932(p[i]) * 256 + p[i + 1]);
            i += 2;
        } else {
            w = SingleToWide(p[i]);
            i += 1;
        }
        if (wideCount) {
            if (produced >= wideCount) return 0;    // ERROR_INSUFFICIENT_BUFFER
            wide[produced] = w;
        }
        ++produced;
    }
    return produced;
}

int WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR wide, int wideCount, LPSTR text, int bytes,
                        LPCSTR defaultChar, BOOL* usedDefault)
{
    if (codePage != CP_ACP && codePage != CodePage()) return 0;
    if (!wide || wideCount == 0 || wideCount < -1 || bytes < 0 || (bytes > 0 && !text)) return 0;
    size_t count = wideCount == -1 ? wcslen(wide) + 1 : static_cast<size_t>(wideCount);
    if (usedDefault) *usedDefault = FALSE;
    int produced = 0;
    for (size_t i = 0; i < count; ++i) {
        unsigned char out[2];
        int n = (wide[i] < 0 || wide[i] > 0xFFFF) ? 0 : WideToNarrow(wide[i], out);
        if (n == 0) {
            out[0] = defaultChar ? static_cast<unsigned char>(*defaultChar) : '?';
            n = 1;
            if (usedDefault) *usedDefault = TRUE;
        }
        if (bytes) {
            if (produced + n > bytes) return 0;    // ERROR_INSUFFICIENT_BUFFER
            memcpy(text + produced, out, n);
        }
        produced += n;
    }
    return produced;
}

int wvsprintfA(LPSTR out, LPCSTR format, va_list args)
{
    // The platform writes at most 1024 bytes, its NUL included.
    const int kLimit = 1024;
    int used = 0;
    auto put = [&](const char* text, int n) {
        for (int i = 0; i < n && used < kLimit - 1; ++i) out[used++] = text[i];
    };
    for (const char* p = format; *p;) {
        if (*p != '%') {
            put(p++, 1);
            continue;
        }
        const char* start = p++;
        if (*p == '%') {
            put(p++, 1);
            continue;
        }
        bool left = false, zero = false, hash = false;
        for (;; ++p) {
            if (*p == '-') left = true;
            else if (*p == '0') zero = true;
            else if (*p == '#') hash = true;
            else if (*p != '+' && *p != ' ') break;
        }
        int width = 0, precision = -1;
        while (*p >= '0' && *p <= '9') width = width < 10000 ? width * 10 + (*p++ - '0') : (p++, width);
        if (*p == '.') {
            ++p;
            precision = 0;
            while (*p >= '0' && *p <= '9') precision = precision < 10000 ? precision * 10 + (*p++ - '0') : (p++, precision);
        }
        bool wide = false, narrow = false, int64 = false;
        if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
            int64 = true;
            p += 3;
        } else if (*p == 'l') {
            wide = true;
            ++p;
        } else if (*p == 'h') {
            narrow = true;
            ++p;
        }
        char item[64];
        const char* text = item;
        int length = 0;
        char conversion = *p ? *p++ : '\0';
        switch (conversion) {
        case 'c': case 'C':
            item[0] = static_cast<char>(va_arg(args, int));
            length = 1;
            break;
        case 's': case 'S': {
            bool isWide = conversion == 'S' ? !narrow : wide;
            if (isWide) {
                const WCHAR* w = va_arg(args, const WCHAR*);
                static char converted[kLimit];
                int n = 0;
                if (!w) w = L"(null)";
                for (; *w && n < kLimit - 2; ++w) {
                    unsigned char bytes2[2];
                    int k = WideToNarrow(*w, bytes2);
                    if (!k) { bytes2[0] = '?'; k = 1; }
                    for (int j = 0; j < k; ++j) converted[n++] = static_cast<char>(bytes2[j]);
                }
                text = converted;
                length = n;
            } else {
                text = va_arg(args, const char*);
                if (!text) text = "(null)";
                length = static_cast<int>(strlen(text));
            }
            if (precision >= 0 && length > precision) length = precision;
            break;
        }
        case 'd': case 'i': case 'u': case 'x': case 'X': {
            char printfFormat[24];
            int n = 0;
            printfFormat[n++] = '%';
            if (hash) printfFormat[n++] = '#';
            // The platform pads with zeros to the precision, as the C library does.
            if (precision >= 0) n += snprintf(printfFormat + n, 8, ".%d", precision > 40 ? 40 : precision);
            if (int64) {
                printfFormat[n++] = 'l';
                printfFormat[n++] = 'l';
            }
            printfFormat[n++] = conversion == 'i' ? 'd' : conversion;
            printfFormat[n] = '\0';
            if (int64) length = snprintf(item, sizeof(item), printfFormat, va_arg(args, long long));
            else if (conversion == 'd' || conversion == 'i') length = snprintf(item, sizeof(item), printfFormat, va_arg(args, int));
            else length = snprintf(item, sizeof(item), printfFormat, va_arg(args, unsigned int));
            if (length > static_cast<int>(sizeof(item)) - 1) length = sizeof(item) - 1;
            break;
        }
        default:
            // Unknown conversions are copied as they stand.
            text = start;
            length = static_cast<int>(p - start);
            width = 0;
            break;
        }
        int pad = width > length ? width - length : 0;
        if (!left) {
            char fill = zero && conversion != 's' && conversion != 'S' ? '0' : ' ';
            if (fill == '0' && length > 0 && text[0] == '-') {
                put(text, 1);
                ++text;
                --length;
            }
            for (int i = 0; i < pad; ++i) put(&fill, 1);
        }
        put(text, length);
        if (left) for (int i = 0; i < pad; ++i) put(" ", 1);
    }
    out[used] = '\0';
    return used;
}

int LoadStringA(HINSTANCE, UINT, LPSTR buffer, int size)
{
    // The host build has no string table.
    if (buffer && size > 0) buffer[0] = '\0';
    return 0;
}

void OutputDebugStringA(LPCSTR) {}

BOOL IsProcessorFeaturePresent(DWORD feature)
{
    // Every x86-64 processor has SSE2; other features are not asked about.
#if defined(__x86_64__) || defined(__SSE2__)
    return feature == PF_XMMI64_INSTRUCTIONS_AVAILABLE;
#else
    (void)feature;
    return FALSE;
#endif
}

LONG RegOpenKeyExA(HKEY parent, LPCSTR name, DWORD, REGSAM access, PHKEY result)
{
    if (result) *result = nullptr;
    return g_registry ? g_registry->Open(parent, name, access, result) : ERROR_ACCESS_DENIED;
}

LONG RegCreateKeyExA(HKEY parent, LPCSTR name, DWORD, LPSTR, DWORD, REGSAM, void*, PHKEY result, LPDWORD)
{
    if (result) *result = nullptr;
    return g_registry ? g_registry->Create(parent, name, result) : ERROR_ACCESS_DENIED;
}

LONG RegCloseKey(HKEY key) { return g_registry ? g_registry->Close(key) : ERROR_ACCESS_DENIED; }

LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD, DWORD type, const BYTE* data, DWORD size)
{
    return g_registry ? g_registry->SetValue(key, name, type, data, size) : ERROR_ACCESS_DENIED;
}

LONG RegDeleteValueA(HKEY key, LPCSTR name) { return g_registry ? g_registry->DeleteValue(key, name) : ERROR_ACCESS_DENIED; }

LONG RegDeleteKeyA(HKEY parent, LPCSTR name) { return g_registry ? g_registry->DeleteKey(parent, name) : ERROR_ACCESS_DENIED; }

LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD, LPSTR, LPDWORD, FILETIME*)
{
    return g_registry ? g_registry->EnumKey(key, index, name, nameLength) : ERROR_ACCESS_DENIED;
}

LONG RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD, LPDWORD, LPBYTE, LPDWORD)
{
    return g_registry ? g_registry->EnumValue(key, index, name, nameLength) : ERROR_ACCESS_DENIED;
}

LONG RegQueryInfoKeyA(HKEY key, LPSTR, LPDWORD, LPDWORD, LPDWORD subkeys, LPDWORD, LPDWORD,
                      LPDWORD values, LPDWORD, LPDWORD, LPDWORD, FILETIME*)
{
    if (!g_registry) return ERROR_ACCESS_DENIED;
    DWORD s = 0, v = 0;
    LONG error = g_registry->QueryInfo(key, &s, &v);
    if (error == ERROR_SUCCESS) {
        if (subkeys) *subkeys = s;
        if (values) *values = v;
    }
    return error;
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT length)
{
    if (length > 0x3FFFFFFF) return nullptr;
    BstrHeader* header = static_cast<BstrHeader*>(malloc(sizeof(BstrHeader) + (length + 1) * sizeof(OLECHAR)));
    if (!header) return nullptr;
    header->length = length;
    BSTR str = reinterpret_cast<BSTR>(header + 1);
    for (UINT i = 0; i < length; ++i) str[i] = text ? text[i] : kFreshWide;
    str[length] = 0;
    return str;
}

BSTR SysAllocString(const OLECHAR* text)
{
    return text ? SysAllocStringLen(text, static_cast<UINT>(wcslen(text))) : nullptr;
}

void SysFreeString(BSTR text)
{
    if (text) free(reinterpret_cast<BstrHeader*>(text) - 1);
}

UINT SysStringLen(BSTR text) { return text ? (reinterpret_cast<BstrHeader*>(text) - 1)->length : 0; }

HRESULT VarUI4FromStr(LPCOLESTR text, LCID, ULONG, ULONG* result)
{
    // Decimal only, with surrounding blanks; the platform also reads more forms.
    if (!text || !result) return E_INVALIDARG;
    while (*text == L' ' || *text == L'\t') ++text;
    if (*text == L'+') ++text;
    if (*text < L'0' || *text > L'9') return DISP_E_TYPEMISMATCH;
    uint64_t value = 0;
    for (; *text >= L'0' && *text <= L'9'; ++text) {
        value = value * 10 + (*text - L'0');
        if (value > 0xFFFFFFFFu) return DISP_E_OVERFLOW;
    }
    while (*text == L' ' || *text == L'\t') ++text;
    if (*text) return DISP_E_TYPEMISMATCH;
    *result = static_cast<ULONG>(value);
    return S_OK;
}

void* CoTaskMemAlloc(size_t size)
{
    TaskHeader* header = static_cast<TaskHeader*>(malloc(sizeof(TaskHeader) + size));
    if (!header) return nullptr;
    header->size = size;
    memset(header + 1, kFreshByte, size);
    return header + 1;
}

void* CoTaskMemRealloc(void* block, size_t size)
{
    if (!block) return CoTaskMemAlloc(size);
    if (size == 0) {
        CoTaskMemFree(block);
        return nullptr;
    }
    void* grown = CoTaskMemAlloc(size);
    if (!grown) return nullptr;
    size_t old = (static_cast<TaskHeader*>(block) - 1)->size;
    memcpy(grown, block, old < size ? old : size);
    CoTaskMemFree(block);
    return grown;
}

void CoTaskMemFree(void* block)
{
    if (block) free(static_cast<TaskHeader*>(block) - 1);
}
