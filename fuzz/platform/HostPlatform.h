#pragma once
// What the fuzz targets may ask of the host stand-in beyond the platform calls.
#include <windows.h>

// Every byte of fresh task memory holds this value, and fresh Automation
// strings hold its wide form, so that text read before it is written, or
// read past its terminator into spare capacity, never looks like a NUL.
const unsigned char kFreshByte = 0xA5;
const WCHAR kFreshWide = 0xA5A5;

// The registry that a target scripts. Each call that the platform would make
// reaches the installed answers; with none installed, every call is refused.
class HostRegistry {
public:
    virtual ~HostRegistry() {}
    virtual LONG Open(HKEY parent, const char* name, REGSAM access, HKEY* result) = 0;
    virtual LONG Create(HKEY parent, const char* name, HKEY* result) = 0;
    virtual LONG Close(HKEY key) = 0;
    virtual LONG SetValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) = 0;
    virtual LONG DeleteValue(HKEY key, const char* name) = 0;
    virtual LONG DeleteKey(HKEY parent, const char* name) = 0;
    virtual LONG EnumKey(HKEY key, DWORD index, char* name, DWORD* nameLength) = 0;
    virtual LONG EnumValue(HKEY key, DWORD index, char* name, DWORD* nameLength) = 0;
    virtual LONG QueryInfo(HKEY key, DWORD* subkeys, DWORD* values) = 0;
};
void SetHostRegistry(HostRegistry* registry);

// The wide character that the narrow one stands for in the ANSI code page,
// for models that decode byte by byte: single bytes only (not lead bytes).
WCHAR HostSingleByteToWide(unsigned char byte);
