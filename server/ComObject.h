#pragma once
#include <windows.h>
#include <objbase.h>
#include <stddef.h>

// One row of a class's interface table: the interface identifier and where
// that interface's vtable pointer sits inside the object. The first row also
// answers IUnknown and so gives the object its identity.
struct InterfaceEntry {
    const IID* iid;
    DWORD offset;
};

// Offset of base interface I inside class T, as a table row wants it.
template <class T, class I>
inline DWORD OffsetOf()
{
    // Any non-null address works; the cast adjusts it by the base's offset.
    return static_cast<DWORD>(reinterpret_cast<char*>(static_cast<I*>(reinterpret_cast<T*>(0x100))) -
                              reinterpret_cast<char*>(0x100));
}

// Creates an object of a class, plain when outer is null, aggregated otherwise.
typedef HRESULT (*InstanceCreator)(IUnknown* outer, REFIID iid, void** out);

// Looks iid up in a table ended by a null row. On a match the interface is
// AddRef'd and stored; otherwise *out is null and E_NOINTERFACE returned.
HRESULT QueryInterfaceFromTable(void* object, const InterfaceEntry* table, REFIID iid, void** out);

// Owner of one COM reference.
template <class T>
class ComPtr {
public:
    ComPtr() : m_p(nullptr) {}
    ~ComPtr() { Release(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) : m_p(other.m_p) { other.m_p = nullptr; }

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    // Releases what is held and gives the address for an out-parameter.
    T** Receive() { Release(); return &m_p; }
    void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }
    void Release() { if (m_p) { T* p = m_p; m_p = nullptr; p->Release(); } }
    // Holds a reference of its own to p (which may be null).
    void Copy(T* p) { if (p) p->AddRef(); Release(); m_p = p; }
    T* Detach() { T* p = m_p; m_p = nullptr; return p; }

private:
    T* m_p;
};
