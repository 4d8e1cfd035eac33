#include "text/CBstr.h"
#include <stdlib.h>

namespace {

// Scratch space for a conversion: on the stack when short, on the heap when
// long, since the page decides how long an attribute is and the browser's
// stack is small.
template <class T, int StackCount>
class ScratchBuffer {
public:
    ScratchBuffer() : m_heap(nullptr) {}
    ~ScratchBuffer() { free(m_heap); }
    ScratchBuffer(const ScratchBuffer&) = delete;
    ScratchBuffer& operator=(const ScratchBuffer&) = delete;

    // Room for count elements, or null when the heap refuses.
    T* Reserve(int count)
    {
        if (count <= StackCount) return m_stack;
        m_heap = static_cast<T*>(malloc(static_cast<size_t>(count) * sizeof(T)));
        return m_heap;
    }

private:
    T m_stack[StackCount];
    T* m_heap;
};

// Every ANSI code page carries the ASCII range unchanged, and case maps it
// only between A-Z and a-z. Text that is ASCII throughout needs no round
// trip through the code page, which a capture would otherwise make for
// every element of a page.
bool IsAsciiText(const char* text)
{
    for (; *text; ++text) {
        if (static_cast<unsigned char>(*text) >= 0x80) return false;
    }
    return true;
}

}  // namespace

CBstr::CBstr(const CBstr& other)
    : m_str(SysAllocStringLen(other.m_str, SysStringLen(other.m_str)))
{
}

CBstr& CBstr::operator=(const CBstr& other)
{
    if (m_str == other.m_str) return *this;
    BSTR copy = SysAllocStringLen(other.m_str, SysStringLen(other.m_str));
    SysFreeString(m_str);
    m_str = copy;
    return *this;
}

CBstr::~CBstr()
{
    SysFreeString(m_str);
}

BSTR* CBstr::Receive()
{
    SysFreeString(m_str);
    m_str = nullptr;
    return &m_str;
}

void CBstr::Attach(BSTR adopt)
{
    if (adopt == m_str) return;
    SysFreeString(m_str);
    m_str = adopt;
}

BSTR CBstr::Detach()
{
    BSTR str = m_str;
    m_str = nullptr;
    return str;
}

HRESULT CBstr::ToLower()
{
    return MapCase(false);
}

HRESULT CBstr::ToUpper()
{
    return MapCase(true);
}

HRESULT CBstr::MapCase(bool upper)
{
    if (!m_str) return S_OK;

    // ASCII text without an embedded NUL maps in place, as the round trip
    // would map it.
    const UINT length = SysStringLen(m_str);
    UINT ascii = 0;
    while (ascii < length && m_str[ascii] != L'\0' && m_str[ascii] < 0x80) ++ascii;
    if (ascii == length) {
        const wchar_t from = upper ? L'a' : L'A';
        for (UINT i = 0; i < length; ++i) {
            if (m_str[i] >= from && m_str[i] <= from + 25) m_str[i] = static_cast<wchar_t>(m_str[i] ^ 0x20);
        }
        return S_OK;
    }

    // Sized by asking the conversion: a fixed two bytes per unit falls short
    // where the ANSI code page is UTF-8. A failed conversion maps as empty text.
    int size = WideCharToMultiByte(CP_ACP, 0, m_str, -1, nullptr, 0, nullptr, nullptr);
    if (size < 1) size = 1;
    ScratchBuffer<char, 512> scratch;
    char* narrow = scratch.Reserve(size);
    if (!narrow) return E_OUTOFMEMORY;
    narrow[0] = '\0';
    if (WideCharToMultiByte(CP_ACP, 0, m_str, -1, narrow, size, nullptr, nullptr) <= 0)
        narrow[0] = '\0';
    narrow[size - 1] = '\0';

    if (!(upper ? CharUpperA(narrow) : CharLowerA(narrow))) return E_OUTOFMEMORY;

    // Keep the text we hold when its replacement cannot be made.
    BSTR mapped = NarrowToBstr(narrow, -1);
    if (!mapped) return E_OUTOFMEMORY;
    SysFreeString(m_str);
    m_str = mapped;
    return S_OK;
}

bool CBstr::EqualsNarrow(const char* text) const
{
    if (!m_str || !text) return !m_str && !text;

    if (IsAsciiText(text)) {
        const wchar_t* held = m_str;
        for (; *held == static_cast<unsigned char>(*text); ++held, ++text) {
            if (*held == L'\0') return true;
        }
        return false;
    }

    int count = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (count < 1) return false;
    ScratchBuffer<wchar_t, 128> scratch;
    wchar_t* wide = scratch.Reserve(count);
    if (!wide) return false;
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide, count) <= 0) return false;
    wide[count - 1] = L'\0';

    const wchar_t* held = m_str;
    for (; *held == *wide; ++held, ++wide) {
        if (*held == L'\0') return true;
    }
    return false;
}

BSTR NarrowToBstr(const char* text, int n)
{
    if (!text) return nullptr;
    if (n == 0) return SysAllocStringLen(nullptr, 0);
    int count = MultiByteToWideChar(CP_ACP, 0, text, n, nullptr, 0);
    if (count <= 0) return nullptr;
    // Only a length of -1 brings its NUL along; an explicit byte count
    // converts exactly those bytes, its last character included.
    int length = (n < 0) ? count - 1 : count;
    BSTR result = SysAllocStringLen(nullptr, static_cast<UINT>(length));
    if (!result) return nullptr;
    if (length > 0 && MultiByteToWideChar(CP_ACP, 0, text, n < 0 ? -1 : n, result, count) <= 0) {
        SysFreeString(result);
        return nullptr;
    }
    return result;
}
