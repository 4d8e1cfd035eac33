// Stands in for a browser or mail program: a link under test opens this
// program, and it appends one line to the file named in GD_LINK_RECORD so the
// test can see that (and how often) the shell ran it.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("GD_LINK_RECORD", path, sizeof(path));
    if (length == 0 || length >= sizeof(path)) return 1;
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    char line[512];
    int size = wsprintfA(line, "ran %.480s\r\n", commandLine ? commandLine : "");
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);
    return 0;
}
