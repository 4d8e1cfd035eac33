#pragma once
#include <windows.h>

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
