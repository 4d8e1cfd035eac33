#pragma once
// Owners of the module's platform handles. Every handle has one owner that
// releases it; a raw handle is borrowed. Owners are small, non-copyable and
// movable; an empty owner releases nothing.
#include <windows.h>
#include <objbase.h>

template <class Traits>
class OwnedHandle {
public:
    typedef typename Traits::Type Type;

    OwnedHandle() : m_handle(Traits::Empty()) {}
    explicit OwnedHandle(Type handle) : m_handle(handle) {}
    ~OwnedHandle() { Close(); }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    OwnedHandle(OwnedHandle&& other) noexcept : m_handle(other.Detach()) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept
    {
        if (this != &other) Reset(other.Detach());
        return *this;
    }

    Type Get() const { return m_handle; }
    bool IsValid() const { return m_handle != Traits::Empty(); }
    // Releases what is held and holds handle instead.
    void Reset(Type handle) { Close(); m_handle = handle; }
    Type Detach() { Type handle = m_handle; m_handle = Traits::Empty(); return handle; }
    // Releases what is held; false when the platform refused.
    bool Close()
    {
        bool released = true;
        if (IsValid()) released = Traits::Release(m_handle);
        m_handle = Traits::Empty();
        return released;
    }

private:
    Type m_handle;
};

struct FileTraits {
    typedef HANDLE Type;
    static Type Empty() { return INVALID_HANDLE_VALUE; }
    static bool Release(Type handle) { return CloseHandle(handle) != FALSE; }
};

struct MenuTraits {
    typedef HMENU Type;
    static Type Empty() { return nullptr; }
    static bool Release(Type menu) { return DestroyMenu(menu) != FALSE; }
};

struct FontTraits {
    typedef HFONT Type;
    static Type Empty() { return nullptr; }
    static bool Release(Type font) { return DeleteObject(font) != FALSE; }
};

struct LibraryTraits {
    typedef HMODULE Type;
    static Type Empty() { return nullptr; }
    static bool Release(Type module) { return FreeLibrary(module) != FALSE; }
};

struct GlobalMemoryTraits {
    typedef HGLOBAL Type;
    static Type Empty() { return nullptr; }
    static bool Release(Type block) { return GlobalFree(block) == nullptr; }
};

template <class T>
struct TaskMemoryTraits {
    typedef T* Type;
    static Type Empty() { return nullptr; }
    static bool Release(Type block) { CoTaskMemFree(block); return true; }
};

typedef OwnedHandle<FileTraits> FileHandle;                 // CreateFileA; empty is INVALID_HANDLE_VALUE
typedef OwnedHandle<MenuTraits> MenuHandle;                 // LoadMenuA, CreatePopupMenu
typedef OwnedHandle<FontTraits> FontHandle;                 // CreateFontIndirectA
typedef OwnedHandle<LibraryTraits> LibraryHandle;           // LoadLibraryA, LoadLibraryExA
typedef OwnedHandle<GlobalMemoryTraits> GlobalMemoryHandle; // GlobalAlloc, until the clipboard takes it
template <class T>
using TaskMemory = OwnedHandle<TaskMemoryTraits<T>>;         // CoTaskMemAlloc

// Owns at most one open registry key and closes it when destroyed.
class RegistryKeyHandle {
public:
    RegistryKeyHandle() : m_key(nullptr) {}
    ~RegistryKeyHandle() { Close(); }
    RegistryKeyHandle(const RegistryKeyHandle&) = delete;
    RegistryKeyHandle& operator=(const RegistryKeyHandle&) = delete;
    RegistryKeyHandle(RegistryKeyHandle&& other) noexcept : m_key(other.m_key) { other.m_key = nullptr; }
    RegistryKeyHandle& operator=(RegistryKeyHandle&& other) noexcept;

    // Replaces the held key only when the new one opened.
    LONG Open(HKEY parent, const char* name, REGSAM access);
    LONG Create(HKEY parent, const char* name);
    LONG Close();

    HKEY Get() const { return m_key; }
    operator HKEY() const { return m_key; }

private:
    HKEY m_key;
};
