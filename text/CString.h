#pragma once
#include <windows.h>
#include <stdarg.h>

// Header that precedes the characters of every string block.
struct StringHeader {
    LONG refCount;      // sharers; negative marks a block that is never shared
    int  dataLength;    // bytes in use, terminator not counted
    int  allocLength;   // capacity in bytes, terminator not counted
    char* Data() { return reinterpret_cast<char*>(this + 1); }
};

// Narrow (ANSI code page) string: one pointer wide, shared reference-counted
// storage with copy-on-write, blocks sized exactly.
class CString {
public:
    CString();
    CString(const CString& other);
    CString(const char* text);          // high word 0: string-table id
    CString(const wchar_t* wide);       // converted through CP_ACP
    ~CString();

    CString& operator=(const CString& other);
    CString& operator=(const char* text);

    int GetLength() const { return Header()->dataLength; }
    int GetAllocLength() const { return Header()->allocLength; }
    bool IsEmpty() const { return GetLength() == 0; }
    const char* c_str() const { return m_data; }
    operator const char*() const { return m_data; }

    bool AssignText(const char* text, int length);
    bool Append(const char* text, int length);
    bool Append(const CString& other) { return Append(other.m_data, other.GetLength()); }

    // Room for minLength bytes and a NUL, the text kept; null when out of memory.
    char* GetWriteBuffer(int minLength);
    // length -1: up to the first NUL. Never beyond the block's capacity.
    void ReleaseWriteBuffer(int length = -1);

    CString Prefix(int count) const;
    CString Slice(int first, int count) const;

    // Byte offset of the first match at or after start, -1 when none. In a
    // double-byte code page a match begins only where a character begins.
    int Find(const char* sub) const { return Find(sub, 0); }
    int Find(const char* sub, int start) const;

    // wvsprintfA formats (no floating point); false when out of memory.
    bool Format(const char* format, ...);
    bool FormatV(const char* format, va_list args);
    // String-table entry id of module's resources; true when it is non-empty.
    bool LoadFromResource(HINSTANCE module, UINT id);
    // The same from the resources of the module that this code is linked
    // into, as the constructor takes a string-table id.
    bool LoadFromResource(UINT id);

    // For tests and diagnostics: whether two strings share one block.
    bool SharesBlockWith(const CString& other) const { return m_data == other.m_data; }
    LONG RefCount() const { return Header()->refCount; }
    bool IsSharedEmpty() const;

private:
    StringHeader* Header() const { return reinterpret_cast<StringHeader*>(m_data) - 1; }
    bool AllocBuffer(int length);
    void Release();
    void MakeUnique();

    char* m_data;
};

// Estimated output size of a wvsprintfA format with its arguments.
int EstimateFormatLength(const char* format, va_list args);

// Whether byte leads a two-byte character in the ANSI code page (never in a
// single-byte one); the code page's table is read once.
bool IsAnsiLeadByte(unsigned char byte);
