#pragma once
// Host stand-in for the few Win32 and Automation calls that the pure core
// makes, so that it can be built natively under the sanitizers. Only the
// fuzz build sees this folder; the product itself always builds against the
// real platform headers. The ANSI code page is 1252, or 932 (with a reduced
// double-byte table) when GLIMMERDECK_FUZZ_ACP=932 is set for the process.
#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

typedef int BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef uint32_t UINT;
typedef uint32_t ULONG;
typedef int32_t LONG;
typedef int32_t HRESULT;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t DWORD_PTR;
typedef char CHAR;
typedef wchar_t WCHAR;          // 32 bits on the host; values stay below 0x10000
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef const WCHAR* LPCWSTR;
typedef WCHAR* LPWSTR;
typedef BYTE* LPBYTE;
typedef DWORD* LPDWORD;
typedef LONG* PLONG;
typedef void* HANDLE;
typedef DWORD LCID;
typedef DWORD REGSAM;
typedef struct HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
typedef struct HKEY__* HKEY;
typedef struct HMENU__* HMENU;
typedef struct HFONT__* HFONT;
typedef void* HGLOBAL;
typedef HKEY* PHKEY;
typedef struct { void* reserved[6]; } CRITICAL_SECTION;
typedef struct { DWORD low, high; } FILETIME;
typedef struct { WORD e_magic; } IMAGE_DOS_HEADER;

#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)
#define TRUE 1
#define FALSE 0

// Wider than the platform's WORD macros on purpose: a 64-bit pointer whose
// bits 16 to 31 are zero must not pass for a resource number.
#define HIWORD(l) ((ULONG_PTR)(l) >> 16)
#define LOWORD(l) ((WORD)((ULONG_PTR)(l) & 0xFFFF))

#define S_OK                ((HRESULT)0)
#define S_FALSE             ((HRESULT)1)
#define E_FAIL              ((HRESULT)0x80004005u)
#define E_OUTOFMEMORY       ((HRESULT)0x8007000Eu)
#define E_INVALIDARG        ((HRESULT)0x80070057u)
#define E_POINTER           ((HRESULT)0x80004003u)
#define DISP_E_EXCEPTION    ((HRESULT)0x80020009u)
#define DISP_E_TYPEMISMATCH ((HRESULT)0x80020005u)
#define DISP_E_OVERFLOW     ((HRESULT)0x8002000Au)
#define SUCCEEDED(hr)       (((HRESULT)(hr)) >= 0)
#define FAILED(hr)          (((HRESULT)(hr)) < 0)

#define ERROR_SUCCESS            0L
#define ERROR_FILE_NOT_FOUND     2L
#define ERROR_ACCESS_DENIED      5L
#define ERROR_INVALID_PARAMETER  87L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_MORE_DATA          234L
#define ERROR_NO_MORE_ITEMS      259L
#define ERROR_CANTOPEN           1011L

#define CP_ACP 0
#define MAX_LEADBYTES 12
#define MAX_DEFAULTCHAR 2
typedef struct {
    UINT MaxCharSize;
    BYTE DefaultChar[MAX_DEFAULTCHAR];
    BYTE LeadByte[MAX_LEADBYTES];
} CPINFO;

#define ANSI_CHARSET        0
#define DEFAULT_CHARSET     1
#define SYMBOL_CHARSET      2
#define SHIFTJIS_CHARSET    128
#define HANGUL_CHARSET      129
#define GB2312_CHARSET      134
#define CHINESEBIG5_CHARSET 136
#define GREEK_CHARSET       161
#define TURKISH_CHARSET     162
#define HEBREW_CHARSET      177
#define ARABIC_CHARSET      178
#define BALTIC_CHARSET      186
#define RUSSIAN_CHARSET     204
#define EASTEUROPE_CHARSET  238
#define OEM_CHARSET         255

#define HKEY_CLASSES_ROOT     ((HKEY)(ULONG_PTR)0x80000000u)
#define HKEY_CURRENT_USER     ((HKEY)(ULONG_PTR)0x80000001u)
#define HKEY_LOCAL_MACHINE    ((HKEY)(ULONG_PTR)0x80000002u)
#define HKEY_USERS            ((HKEY)(ULONG_PTR)0x80000003u)
#define HKEY_PERFORMANCE_DATA ((HKEY)(ULONG_PTR)0x80000004u)
#define HKEY_CURRENT_CONFIG   ((HKEY)(ULONG_PTR)0x80000005u)
#define HKEY_DYN_DATA         ((HKEY)(ULONG_PTR)0x80000006u)

#define REG_NONE    0
#define REG_SZ      1
#define REG_BINARY  3
#define REG_DWORD   4
#define REG_OPTION_NON_VOLATILE 0
#define KEY_READ       0x20019
#define KEY_WRITE      0x20006
#define KEY_ALL_ACCESS 0xF003F

// Atomic on the host as on the platform.
inline LONG InterlockedIncrement(volatile LONG* value) { return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST); }
inline LONG InterlockedDecrement(volatile LONG* value) { return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST); }

// Text and code pages.
int lstrlenA(LPCSTR text);
int lstrlenW(LPCWSTR text);
int lstrcmpiA(LPCSTR a, LPCSTR b);
LPSTR CharNextA(LPCSTR p);
LPSTR CharUpperA(LPSTR text);
LPSTR CharLowerA(LPSTR text);
BOOL IsDBCSLeadByte(BYTE b);
BOOL IsDBCSLeadByteEx(UINT codePage, BYTE b);
UINT GetACP();
BOOL GetCPInfo(UINT codePage, CPINFO* info);
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int bytes, LPWSTR wide, int wideCount);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideCount, LPSTR text, int bytes,
                        LPCSTR defaultChar, BOOL* usedDefault);
int wvsprintfA(LPSTR out, LPCSTR format, va_list args);
#define PF_XMMI64_INSTRUCTIONS_AVAILABLE 10
BOOL IsProcessorFeaturePresent(DWORD feature);
int LoadStringA(HINSTANCE module, UINT id, LPSTR buffer, int size);
void OutputDebugStringA(LPCSTR text);

// Registry: refuses everything unless a fuzz target installs its own answers
// (HostPlatform.h).
LONG RegOpenKeyExA(HKEY parent, LPCSTR name, DWORD options, REGSAM access, PHKEY result);
LONG RegCreateKeyExA(HKEY parent, LPCSTR name, DWORD reserved, LPSTR keyClass, DWORD options,
                     REGSAM access, void* security, PHKEY result, LPDWORD disposition);
LONG RegCloseKey(HKEY key);
LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
LONG RegDeleteValueA(HKEY key, LPCSTR name);
LONG RegDeleteKeyA(HKEY parent, LPCSTR name);
LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved,
                   LPSTR keyClass, LPDWORD classLength, FILETIME* lastWrite);
LONG RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD dataLength);
LONG RegQueryInfoKeyA(HKEY key, LPSTR keyClass, LPDWORD classLength, LPDWORD reserved,
                      LPDWORD subkeys, LPDWORD maxSubkeyLength, LPDWORD maxClassLength,
                      LPDWORD values, LPDWORD maxValueNameLength, LPDWORD maxValueLength,
                      LPDWORD securityLength, FILETIME* lastWrite);

// Automation strings and task memory (oleauto.h and objbase.h on the platform).
typedef WCHAR OLECHAR;
typedef OLECHAR* BSTR;
typedef const OLECHAR* LPCOLESTR;
BSTR SysAllocString(const OLECHAR* text);
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
void SysFreeString(BSTR text);
UINT SysStringLen(BSTR text);
HRESULT VarUI4FromStr(LPCOLESTR text, LCID locale, ULONG flags, ULONG* result);
void* CoTaskMemAlloc(size_t size);
void* CoTaskMemRealloc(void* block, size_t size);
void CoTaskMemFree(void* block);

// Declared for the owners of server/Handles.h; the pure core never calls them.
BOOL CloseHandle(HANDLE handle);
BOOL DestroyMenu(HMENU menu);
BOOL DeleteObject(void* object);
BOOL FreeLibrary(HMODULE module);
HGLOBAL GlobalFree(HGLOBAL block);
