#pragma once
#include <windows.h>
#include <oleauto.h>

// Owner of one Automation wide string (possibly absent).
class CBstr {
public:
    CBstr() : m_str(nullptr) {}
    explicit CBstr(BSTR adopt) : m_str(adopt) {}   // takes ownership
    CBstr(const CBstr& other);
    CBstr& operator=(const CBstr& other);
    ~CBstr();

    BSTR Get() const { return m_str; }
    BSTR* Receive();             // frees the held string, returns its address for an out-parameter
    void Attach(BSTR adopt);     // frees the held string and takes ownership of adopt
    BSTR Detach();
    UINT Length() const { return m_str ? SysStringLen(m_str) : 0; }

    HRESULT ToLower();
    HRESULT ToUpper();
    bool EqualsNarrow(const char* text) const;

private:
    HRESULT MapCase(bool upper);
    BSTR m_str;
};

// Narrow text of n bytes (-1: up to and including its NUL) as a new BSTR.
BSTR NarrowToBstr(const char* text, int n);
