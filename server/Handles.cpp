#include "server/Handles.h"

LONG RegistryKeyHandle::Open(HKEY parent, const char* name, REGSAM access)
{
    HKEY key = nullptr;
    LONG error = RegOpenKeyExA(parent, name, 0, access, &key);
    if (error == ERROR_SUCCESS) {
        Close();
        m_key = key;
    }
    return error;
}

LONG RegistryKeyHandle::Create(HKEY parent, const char* name)
{
    HKEY key = nullptr;
    LONG error = RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (error == ERROR_SUCCESS) {
        Close();
        m_key = key;
    }
    return error;
}

LONG RegistryKeyHandle::Close()
{
    LONG error = ERROR_SUCCESS;
    if (m_key) {
        error = RegCloseKey(m_key);
        m_key = nullptr;
    }
    return error;
}

RegistryKeyHandle& RegistryKeyHandle::operator=(RegistryKeyHandle&& other) noexcept
{
    if (this != &other) {
        Close();
        m_key = other.m_key;
        other.m_key = nullptr;
    }
    return *this;
}
