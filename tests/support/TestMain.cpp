#include "support/TestModule.h"
#include <windows.h>
#include <objbase.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include "server/ModuleLifetime.h"
#include "server/ModuleState.h"

namespace {

// Set by the programs' initializers, which run before main(); zero until then.
unsigned g_startup;

// A fault that nothing handles ends the program at once, saying where it
// happened. Left to Wine, it starts its debugger, which can wait for ever on
// a process whose other threads still run. Written without the heap, which
// the fault may have broken.
LONG WINAPI ReportUnhandledFault(EXCEPTION_POINTERS* fault)
{
    const EXCEPTION_RECORD& record = *fault->ExceptionRecord;
    char module[MAX_PATH] = "unknown module";
    HMODULE owner = nullptr;
    ULONG_PTR offset = 0;
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<LPCSTR>(record.ExceptionAddress), &owner)) {
        GetModuleFileNameA(owner, module, sizeof module);
        offset = reinterpret_cast<ULONG_PTR>(record.ExceptionAddress) - reinterpret_cast<ULONG_PTR>(owner);
    }
    char text[MAX_PATH + 200];
    int length = snprintf(text, sizeof text, "Unhandled exception %08lx at %p (%s+0x%lx) in thread %lu",
                          static_cast<unsigned long>(record.ExceptionCode), record.ExceptionAddress, module,
                          static_cast<unsigned long>(offset), GetCurrentThreadId());
    if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2 && length > 0 &&
        length < static_cast<int>(sizeof text))
        length += snprintf(text + length, sizeof text - length, ", %s of %p",
                           record.ExceptionInformation[0] == 1 ? "write" : "read",
                           reinterpret_cast<void*>(record.ExceptionInformation[1]));
    if (length > static_cast<int>(sizeof text) - 2) length = static_cast<int>(sizeof text) - 2;
    if (length > 0) {
        text[length++] = '\n';
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, length, &written, nullptr);
    }
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

bool UseTestStartup(unsigned flags)
{
    g_startup |= flags;
    return true;
}

int main(int argc, char** argv)
{
    SetUnhandledExceptionFilter(ReportUnhandledFault);
    if (g_startup & kTestStartupApartment) CoInitialize(nullptr);
    ModuleAttach(GetModuleHandleA(nullptr));
    if ((g_startup & kTestStartupWithoutRichEdit) && g_module.richEdit) {
        FreeLibrary(g_module.richEdit);
        g_module.richEdit = nullptr;
    }

    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();

    ModuleDetach();
    if (g_startup & kTestStartupApartment) CoUninitialize();
    return result;
}
