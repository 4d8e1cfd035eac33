#include "text/CString.h"
#include <stdlib.h>
#include <string.h>

// The start of the image that this code is linked into: its module handle.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

// The one empty block every empty string points at. Its negative count keeps
// it out of sharing and release; it is never written.
struct EmptyBlock {
    StringHeader header;
    char nul[4];
};
EmptyBlock g_emptyBlock = { { -1, 0, 0 }, { 0, 0, 0, 0 } };

char* EmptyData() { return g_emptyBlock.header.Data(); }

// Largest block we ask the heap for: keeps header + n + 1 within an int.
const int kMaxLength = 0x7FFFFFFF - static_cast<int>(sizeof(StringHeader)) - 16;

StringHeader* NewBlock(int length)
{
    if (length <= 0 || length > kMaxLength) return nullptr;
    StringHeader* block = static_cast<StringHeader*>(malloc(sizeof(StringHeader) + length + 1));
    if (!block) return nullptr;
    block->refCount = 1;
    block->dataLength = length;
    block->allocLength = length;
    block->Data()[length] = '\0';
    return block;
}

int BoundedLength(const char* text, int limit)
{
    const void* nul = memchr(text, 0, limit);
    return nul ? static_cast<int>(static_cast<const char*>(nul) - text) : limit;
}

// Lead bytes of the ANSI code page, read once; all false in a single-byte one.
struct LeadByteTable {
    bool lead[256];
    LeadByteTable() : lead()
    {
        CPINFO info;
        if (!GetCPInfo(CP_ACP, &info) || info.MaxCharSize < 2) return;
        for (int i = 0; i < MAX_LEADBYTES - 1 && (info.LeadByte[i] || info.LeadByte[i + 1]); i += 2) {
            for (int b = info.LeadByte[i]; b <= info.LeadByte[i + 1] && b < 256; ++b) lead[b] = true;
        }
    }
};

const LeadByteTable& LeadBytes()
{
    static const LeadByteTable table;
    return table;
}

}  // namespace

bool IsAnsiLeadByte(unsigned char byte)
{
    return LeadBytes().lead[byte];
}

CString::CString() : m_data(EmptyData()) {}

CString::CString(const CString& other) : m_data(EmptyData())
{
    if (other.Header()->refCount >= 0) {
        m_data = other.m_data;
        InterlockedIncrement(&Header()->refCount);
    } else {
        AssignText(other.m_data, other.GetLength());
    }
}

CString::CString(const char* text) : m_data(EmptyData())
{
    if (!text) return;
    if (HIWORD(reinterpret_cast<ULONG_PTR>(text)) == 0) {
        LoadFromResource(LOWORD(reinterpret_cast<ULONG_PTR>(text)));
        return;
    }
    AssignText(text, lstrlenA(text));
}

CString::CString(const wchar_t* wide) : m_data(EmptyData())
{
    if (!wide || !*wide) return;
    // Ask for the size first: two bytes per unit is not enough where the ANSI
    // code page is UTF-8.
    int size = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1 || !AllocBuffer(size - 1)) return;
    int written = WideCharToMultiByte(CP_ACP, 0, wide, -1, m_data, size, nullptr, nullptr);
    if (written <= 0) {
        Release();
        return;
    }
    m_data[written - 1] = '\0';
    ReleaseWriteBuffer(-1);
    if (GetLength() == 0) Release();
}

CString::~CString()
{
    Release();
}

CString& CString::operator=(const CString& other)
{
    if (m_data == other.m_data) return *this;
    if ((Header()->refCount < 0 && !IsSharedEmpty()) || other.Header()->refCount < 0) {
        AssignText(other.m_data, other.GetLength());
    } else {
        Release();
        m_data = other.m_data;
        InterlockedIncrement(&Header()->refCount);
    }
    return *this;
}

CString& CString::operator=(const char* text)
{
    AssignText(text, text ? lstrlenA(text) : 0);
    return *this;
}

bool CString::IsSharedEmpty() const
{
    return m_data == EmptyData();
}

bool CString::AllocBuffer(int length)
{
    if (length == 0) {
        m_data = EmptyData();
        return true;
    }
    StringHeader* block = NewBlock(length);
    if (!block) return false;
    m_data = block->Data();
    return true;
}

void CString::Release()
{
    if (IsSharedEmpty()) return;
    if (InterlockedDecrement(&Header()->refCount) <= 0) free(Header());
    m_data = EmptyData();
}

void CString::MakeUnique()
{
    if (Header()->refCount <= 1) return;
    // Copy before letting go of our share: another thread may drop the last
    // share of the old block the moment ours is gone.
    int length = GetLength();
    StringHeader* block = NewBlock(length);
    if (block) memcpy(block->Data(), m_data, length + 1);
    Release();
    if (block) m_data = block->Data();
}

bool CString::AssignText(const char* text, int length)
{
    if (!text || length < 0) length = 0;
    StringHeader* header = Header();
    if (header->refCount <= 1 && header->allocLength >= length) {
        if (IsSharedEmpty()) return true;
        memmove(m_data, text, length);
        header->dataLength = length;
        m_data[length] = '\0';
        return true;
    }
    // Allocate before releasing: the text may lie inside the block we hold.
    if (length == 0) {
        Release();
        return true;
    }
    StringHeader* block = NewBlock(length);
    if (!block) return false;
    memcpy(block->Data(), text, length);
    Release();
    m_data = block->Data();
    return true;
}

bool CString::Append(const char* text, int length)
{
    if (!text || length <= 0) return true;
    StringHeader* header = Header();
    int oldLength = header->dataLength;
    if (header->refCount <= 1 && !IsSharedEmpty() && length <= header->allocLength - oldLength) {
        memmove(m_data + oldLength, text, length);
        header->dataLength = oldLength + length;
        m_data[oldLength + length] = '\0';
        return true;
    }
    if (length > kMaxLength - oldLength) return false;
    StringHeader* block = NewBlock(oldLength + length);
    if (!block) return false;
    memcpy(block->Data(), m_data, oldLength);
    memcpy(block->Data() + oldLength, text, length);
    Release();
    m_data = block->Data();
    return true;
}

char* CString::GetWriteBuffer(int minLength)
{
    if (minLength < 0) minLength = 0;
    StringHeader* header = Header();
    if (header->refCount > 1 || header->allocLength < minLength) {
        int oldLength = header->dataLength;
        // A shared block holding empty text, asked for no room: the shared
        // empty block serves, and nothing failed.
        if (minLength == 0 && oldLength == 0) {
            Release();
            return m_data;
        }
        StringHeader* block = NewBlock(minLength > oldLength ? minLength : oldLength);
        if (!block) return nullptr;
        memcpy(block->Data(), m_data, oldLength + 1);
        block->dataLength = oldLength;
        Release();
        m_data = block->Data();
    }
    return m_data;
}

void CString::ReleaseWriteBuffer(int length)
{
    MakeUnique();
    if (IsSharedEmpty()) return;
    StringHeader* header = Header();
    // A writer that lost its NUL or names a length past the block must not
    // make us read or write beyond it.
    if (length < 0) length = BoundedLength(m_data, header->allocLength);
    if (length > header->allocLength) length = header->allocLength;
    header->dataLength = length;
    m_data[length] = '\0';
}

CString CString::Prefix(int count) const
{
    return Slice(0, count);
}

CString CString::Slice(int first, int count) const
{
    int length = GetLength();
    if (first < 0) first = 0;
    if (count < 0) count = 0;
    if (first > length) count = 0;
    else if (count > length - first) count = length - first;
    CString result;
    if (count > 0) result.AssignText(m_data + first, count);
    return result;
}

int CString::Find(const char* sub, int start) const
{
    int length = GetLength();
    if (!sub || start > length) return -1;
    if (start < 0) start = 0;
    int needle = lstrlenA(sub);
    if (needle == 0) return start;

    const LeadByteTable& table = LeadBytes();
    const unsigned char* text = reinterpret_cast<const unsigned char*>(m_data);
    for (int pos = start; needle <= length - pos;) {
        if (text[pos] == static_cast<unsigned char>(sub[0]) && memcmp(text + pos, sub, needle) == 0)
            return pos;
        // A match may begin only where a character begins.
        pos += (table.lead[text[pos]] && pos + 1 < length) ? 2 : 1;
    }
    return -1;
}

bool CString::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    bool result = FormatV(format, args);
    va_end(args);
    return result;
}

bool CString::FormatV(const char* format, va_list args)
{
    if (!format) format = "";
    va_list walk;
    va_copy(walk, args);
    int estimate = EstimateFormatLength(format, walk);
    va_end(walk);

    // wvsprintfA takes no buffer size and writes at most 1024 characters.
    // Formatting aside first means an estimate that falls short can never
    // write past the block, and arguments that point into this string are
    // read before its block may be replaced.
    const int kPlatformLimit = 1024;
    char aside[kPlatformLimit + 16] = {};
    wvsprintfA(aside, format, args);
    int length = BoundedLength(aside, kPlatformLimit);

    // The platform prints a conversion the estimate does not know ("%y",
    // a width before "%") as text; an estimate that falls short must not
    // cut what it wrote.
    char* buffer = GetWriteBuffer(length > estimate ? length : estimate);
    if (!buffer) return false;
    memcpy(buffer, aside, length);
    ReleaseWriteBuffer(length);
    return true;
}

bool CString::LoadFromResource(UINT id)
{
    return LoadFromResource(reinterpret_cast<HINSTANCE>(&__ImageBase), id);
}

bool CString::LoadFromResource(HINSTANCE module, UINT id)
{
    char local[256];
    int length = LoadStringA(module, id, local, sizeof(local));
    if (length <= 0) {
        length = 0;
        local[0] = '\0';
    }
    // An entry that fills the buffer to within two bytes may have been cut.
    if (static_cast<int>(sizeof(local)) - length > 2) {
        AssignText(local, length);
        return length > 0;
    }
    for (int size = 512;; size += 256) {
        char* buffer = GetWriteBuffer(size - 1);
        if (!buffer) {
            length = 0;
            break;
        }
        length = LoadStringA(module, id, buffer, size);
        if (length < 0) length = 0;
        if (size - length > 2) break;
    }
    ReleaseWriteBuffer(-1);
    return length > 0;
}

namespace {

const int kMaxField = 1 << 20;   // keeps width + precision sums far from overflow

int ReadNumber(const char*& p)
{
    int value = 0;
    while (*p >= '0' && *p <= '9') {
        if (value < kMaxField) value = value * 10 + (*p - '0');
        ++p;
    }
    return value < kMaxField ? value : kMaxField;
}

int Clamp(int value)
{
    // A negative width from '*' means left alignment of the same width.
    if (value < 0) return value < -kMaxField ? kMaxField : -value;
    return value < kMaxField ? value : kMaxField;
}

}  // namespace

int EstimateFormatLength(const char* format, va_list args)
{
    if (!format) return 0;
    long long total = 0;
    for (const char* p = format; *p; p = CharNextA(p)) {
        if (*p != '%') {
            total += CharNextA(p) - p;
            continue;
        }
        ++p;
        if (*p == '\0') break;
        if (*p == '%') {
            total += 1;
            continue;
        }

        int width = 0;
        for (;; ++p) {
            if (*p == '#') total += 2;
            else if (*p == '*') width = Clamp(va_arg(args, int));
            else if (*p != '-' && *p != '+' && *p != '0' && *p != ' ') break;
        }
        if (width == 0) width = ReadNumber(p);
        else while (*p >= '0' && *p <= '9') ++p;

        int precision = 0;
        if (*p == '.') {
            ++p;
            if (*p == '*') {
                precision = Clamp(va_arg(args, int));
                ++p;
            } else {
                precision = ReadNumber(p);
            }
        }

        enum { kDefault, kNarrow, kWide, kInt64 } size = kDefault;
        if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
            size = kInt64;
            p += 3;
        } else if (*p == 'h') {
            size = kNarrow;
            ++p;
        } else if (*p == 'l') {
            size = kWide;
            ++p;
        } else if (*p == 'F' || *p == 'L' || *p == 'N') {
            ++p;
        }
        if (*p == '\0') break;

        int item = 0;
        bool textItem = false;
        switch (*p) {
        case 'c':
        case 'C':
            va_arg(args, int);
            item = 2;
            textItem = true;
            break;
        case 's':
        case 'S': {
            bool wide = (*p == 'S') ? size != kNarrow : size == kWide;
            if (wide) {
                const wchar_t* text = va_arg(args, const wchar_t*);
                item = text ? lstrlenW(text) : 6;
            } else {
                const char* text = va_arg(args, const char*);
                item = text ? lstrlenA(text) : 6;
            }
            if (item < 1) item = 1;
            textItem = true;
            break;
        }
        case 'd': case 'i': case 'o': case 'u': case 'x': case 'X': case 'p':
            // A pointer is pointer-sized: reading it as an int would shift
            // every later argument on x86-64.
            if (*p == 'p') va_arg(args, void*);
            else if (size == kInt64) va_arg(args, long long);
            else va_arg(args, int);
            item = width + precision > 32 ? width + precision : 32;
            break;
        case 'n':
            va_arg(args, void*);
            break;
        case 'e': case 'f': case 'g': case 'G':
            // Not supported by the platform formatter; a programming error that
            // must not stop the browser, so it is only reported.
            OutputDebugStringA("CString::FormatV: floating-point conversions are not supported\n");
            break;
        default:
            break;
        }
        if (textItem) {
            // Cut to the precision before raising to the width: padding is
            // written even when the text itself is cut.
            if (precision != 0 && item > precision) item = precision;
            if (item < width) item = width;
        }
        total += item;
    }
    return total < kMaxLength ? static_cast<int>(total) : kMaxLength;
}
