#pragma once
#include <windows.h>
#include <string>

// Folder of the running test program (where the DLL and tools are built too),
// with a trailing backslash.
std::string ProgramFolder();

// A whole file's bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);

// The module's registry script byte for byte as resources/Registration.script
// holds it (the build copies the file beside the test programs); empty when
// the file cannot be read.
std::string ModuleScriptFile();

// Whether the platform is Wine, for the differences a test marks where they occur.
bool RunningOnWine();

// Pumps messages until pred() is true or the timeout passes; returns pred().
template <class Pred>
bool PumpUntil(Pred pred, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (pred()) return true;
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(5);
    }
}
