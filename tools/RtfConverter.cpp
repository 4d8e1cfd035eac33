// glimmerdeck-rtf: writes the viewer's RTF document (or only its coloured
// body) for a page, or resolves the charset of a META element, so that
// coloured HTML source can be taken into a word processor.
//
//   glimmerdeck-rtf [--body] [--charset N] [FILE]
//   glimmerdeck-rtf --meta [FILE]
//
// FILE absent or "-" reads standard input. Exit codes: 0 done, 1 a file could
// not be read or the output not written, 2 bad arguments.
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include <limits.h>
#include "text/CString.h"
#include "text/CBstr.h"
#include "capture/CharsetFromMeta.h"
#include "viewer/Highlighter.h"
#include "viewer/RtfDocument.h"

namespace {

const char kUsage[] =
    "usage: glimmerdeck-rtf [--body] [--charset N] [FILE] | glimmerdeck-rtf --meta [FILE]\n";

enum ExitCode { ExitDone = 0, ExitFailed = 1, ExitUsage = 2 };

struct Options {
    bool body = false;
    bool meta = false;
    bool haveCharset = false;
    int charset = -1;
    const char* file = nullptr;     // null: standard input
};

bool WriteAll(HANDLE handle, const char* data, size_t length)
{
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
    // Bounded chunks: consoles refuse very large single writes.
    while (length > 0) {
        DWORD chunk = length > (1u << 20) ? (1u << 20) : static_cast<DWORD>(length);
        DWORD written = 0;
        if (!WriteFile(handle, data, chunk, &written, nullptr) || written == 0) return false;
        data += written;
        length -= written;
    }
    return true;
}

void PrintError(const char* text)
{
    WriteAll(GetStdHandle(STD_ERROR_HANDLE), text, strlen(text));
}

bool ParseCharset(const char* text, int* value)
{
    const char* p = text;
    bool negative = false;
    if (*p == '-' || *p == '+') negative = *p++ == '-';
    if (*p < '0' || *p > '9') return false;
    long long n = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        n = n * 10 + (*p - '0');
        if (n > static_cast<long long>(INT_MAX) + 1) return false;
    }
    if (*p) return false;
    if (negative) n = -n;
    if (n < INT_MIN || n > INT_MAX) return false;
    *value = static_cast<int>(n);
    return true;
}

// Returns ExitDone when the arguments make sense; ExitUsage otherwise, or
// with *help set when only the usage was asked for.
ExitCode ParseArguments(int argc, char** argv, Options* options, bool* help)
{
    bool haveFile = false;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const bool isOption = !optionsEnded && arg[0] == '-' && arg[1] != '\0';
        if (!isOption) {
            if (haveFile) return ExitUsage;
            haveFile = true;
            options->file = strcmp(arg, "-") == 0 && !optionsEnded ? nullptr : arg;
        } else if (strcmp(arg, "--") == 0) {
            optionsEnded = true;
        } else if (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0) {
            *help = true;
            return ExitDone;
        } else if (strcmp(arg, "--body") == 0 && !options->body) {
            options->body = true;
        } else if (strcmp(arg, "--meta") == 0 && !options->meta) {
            options->meta = true;
        } else if (strcmp(arg, "--charset") == 0 && !options->haveCharset) {
            if (i + 1 >= argc || !ParseCharset(argv[++i], &options->charset)) return ExitUsage;
            options->haveCharset = true;
        } else {
            return ExitUsage;
        }
    }
    // The META mode prints a number: a document option with it is a mistake.
    if (options->meta && (options->body || options->haveCharset)) return ExitUsage;
    return ExitDone;
}

// Owner of the bytes read from the input, NUL-terminated.
class InputBytes {
public:
    InputBytes() : m_data(nullptr), m_length(0), m_capacity(0) {}
    ~InputBytes() { if (m_data) HeapFree(GetProcessHeap(), 0, m_data); }
    InputBytes(const InputBytes&) = delete;
    InputBytes& operator=(const InputBytes&) = delete;

    // Reads to the end; on failure returns the Win32 error.
    DWORD ReadAll(HANDLE handle)
    {
        LARGE_INTEGER size;
        if (GetFileType(handle) == FILE_TYPE_DISK && GetFileSizeEx(handle, &size)) {
            if (size.QuadPart > 0x7FFFFFF0LL) return ERROR_NOT_ENOUGH_MEMORY;
            // Room for the terminator and one more byte, so the read that
            // finds the end needs no growth.
            if (!Reserve(static_cast<size_t>(size.QuadPart) + 2)) return ERROR_NOT_ENOUGH_MEMORY;
        }
        for (;;) {
            if (m_capacity - m_length <= 1 && !Reserve(m_capacity < 65536 ? 65536 : m_capacity * 2))
                return ERROR_NOT_ENOUGH_MEMORY;
            DWORD room = static_cast<DWORD>(m_capacity - m_length - 1);
            DWORD got = 0;
            if (!ReadFile(handle, m_data + m_length, room, &got, nullptr)) {
                DWORD error = GetLastError();
                if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) break;
                return error;
            }
            if (got == 0) break;
            m_length += got;
        }
        m_data[m_length] = '\0';
        return ERROR_SUCCESS;
    }

    // The markup is the text up to the first NUL.
    const char* Text() const { return m_data; }

private:
    bool Reserve(size_t capacity)
    {
        if (capacity <= m_capacity) return true;
        if (capacity > 0x7FFFFFF0u) return false;
        void* grown = m_data ? HeapReAlloc(GetProcessHeap(), 0, m_data, capacity)
                             : HeapAlloc(GetProcessHeap(), 0, capacity);
        if (!grown) return false;
        m_data = static_cast<char*>(grown);
        m_capacity = capacity;
        return true;
    }

    char* m_data;
    size_t m_length;
    size_t m_capacity;
};

void ReportReadFailure(const char* name, DWORD error)
{
    char reason[512] = "";
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                        reason, sizeof reason, nullptr)) {
        wsprintfA(reason, "error %lu", error);
    }
    // One line: the system's text ends in a line break of its own.
    size_t n = strlen(reason);
    while (n > 0 && (reason[n - 1] == '\r' || reason[n - 1] == '\n' || reason[n - 1] == ' ' || reason[n - 1] == '.'))
        reason[--n] = '\0';
    for (char* p = reason; *p; ++p)
        if (*p == '\r' || *p == '\n') *p = ' ';

    static const char kCannotRead[] = "glimmerdeck-rtf: cannot read ";
    CString line;
    line.AssignText(kCannotRead, static_cast<int>(sizeof kCannotRead - 1));
    line.Append(name, lstrlenA(name));
    line.Append(": ", 2);
    line.Append(reason, static_cast<int>(n));
    line.Append("\n", 1);
    PrintError(line.IsEmpty() ? "glimmerdeck-rtf: cannot read the input\n" : line.c_str());
}

DWORD ReadInput(const char* file, InputBytes* input)
{
    if (!file) {
        HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
        if (in == nullptr || in == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
        return input->ReadAll(in);
    }
    HANDLE handle = CreateFileA(file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return GetLastError();
    DWORD error = input->ReadAll(handle);
    CloseHandle(handle);
    return error;
}

// What the page capture gets for a META element with this outer markup:
// lower-cased through the ANSI code page, -1 unless it mentions "charset".
int ResolveMeta(const char* markup)
{
    CBstr wide(NarrowToBstr(markup, -1));
    if (!wide.Get() || FAILED(wide.ToLower())) return -1;
    CString lower(static_cast<const wchar_t*>(wide.Get()));
    if (lower.Find("charset") < 0) return -1;
    return CharsetFromMeta(lower);
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    bool help = false;
    if (ParseArguments(argc, argv, &options, &help) != ExitDone) {
        PrintError(kUsage);
        return ExitUsage;
    }
    if (help) {
        return WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), kUsage, sizeof kUsage - 1) ? ExitDone : ExitFailed;
    }

    InputBytes input;
    DWORD error = ReadInput(options.file, &input);
    if (error != ERROR_SUCCESS) {
        ReportReadFailure(options.file ? options.file : "standard input", error);
        return ExitFailed;
    }

    CString output;
    if (options.meta) {
        char line[16];
        wsprintfA(line, "%i\n", ResolveMeta(input.Text()));
        output = line;
    } else if (options.body) {
        output = HighlightMarkup(input.Text());
    } else {
        output = BuildRtfDocument(input.Text(), InitialCharsetState(options.charset));
        // The document always has its header: empty means it could not be built.
        if (output.IsEmpty()) {
            PrintError("glimmerdeck-rtf: not enough memory for the document\n");
            return ExitFailed;
        }
    }

    if (!WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), output.c_str(), static_cast<size_t>(output.GetLength()))) {
        PrintError("glimmerdeck-rtf: cannot write the output\n");
        return ExitFailed;
    }
    return ExitDone;
}
