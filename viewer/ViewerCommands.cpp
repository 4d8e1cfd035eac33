#include "viewer/ViewerDialog.h"
#include <string.h>
#include "resources/resource.h"
#include "server/Handles.h"
#include "server/ModuleContext.h"
#include "server/ModuleState.h"
#include "viewer/SaveSettings.h"

// Copy and Save work on what the rich-edit control holds at the moment.
// Failures in both end the command silently.

namespace {

// The narrow text streamed out of the control, in a heap buffer that grows
// when the control hands out more than was foreseen.
class TextSink {
public:
    explicit TextSink(LONG expected)
        : m_data(nullptr), m_length(0), m_capacity(0), m_failed(false)
    {
        Reserve(expected > 0 ? expected : 1);
    }
    ~TextSink() { if (m_data) HeapFree(GetProcessHeap(), 0, m_data); }
    TextSink(const TextSink&) = delete;
    TextSink& operator=(const TextSink&) = delete;

    bool Failed() const { return m_failed; }
    // NUL-terminated; empty when nothing came.
    const char* Text() const { return m_data && !m_failed ? m_data : ""; }

    static DWORD CALLBACK Collect(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* done)
    {
        TextSink* sink = reinterpret_cast<TextSink*>(cookie);
        if (done) *done = 0;
        if (size < 0 || !sink->Reserve(sink->m_length + size)) return 1;
        memcpy(sink->m_data + sink->m_length, buffer, size);
        sink->m_length += size;
        sink->m_data[sink->m_length] = '\0';
        if (done) *done = size;
        return 0;
    }

private:
    bool Reserve(LONG length)
    {
        if (m_failed) return false;
        if (length < 0 || length >= LONG_MAX / 2) return Fail();
        if (length < m_capacity) return true;
        LONG capacity = m_capacity ? m_capacity : length + 1;
        while (capacity <= length) capacity *= 2;
        void* grown = m_data ? HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, m_data, capacity)
                             : HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, capacity);
        if (!grown) return Fail();
        m_data = static_cast<char*>(grown);
        m_capacity = capacity;
        return true;
    }
    bool Fail() { m_failed = true; return false; }

    char* m_data;
    LONG m_length;
    LONG m_capacity;
    bool m_failed;
};

// Bytes the whole text needs in the ANSI code page: in a double-byte code
// page more than it has character positions.
LONG NarrowTextBytes(HWND edit, LONG characters)
{
    GETTEXTLENGTHEX request = { GTL_NUMBYTES | GTL_PRECISE | GTL_USECRLF, CP_ACP };
    LONG bytes = static_cast<LONG>(SendMessageA(edit, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&request), 0));
    return bytes > characters ? bytes : characters;
}

// Puts text on the clipboard as CF_TEXT; the clipboard stays empty when the
// block cannot be had.
void PutTextOnClipboard(HWND owner, const char* text)
{
    if (!OpenClipboard(owner)) return;
    EmptyClipboard();
    SIZE_T size = strlen(text) + 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size);
    if (block) {
        void* target = GlobalLock(block);
        if (target) {
            memcpy(target, text, size);
            GlobalUnlock(block);
            // From here on the block is the clipboard's.
            if (!SetClipboardData(CF_TEXT, block)) GlobalFree(block);
        } else {
            GlobalFree(block);
        }
    }
    CloseClipboard();
}

// The folder part of a path, for a temporary file beside the target.
void FolderOf(const char* path, char* folder, size_t size)
{
    const char* lastSeparator = nullptr;
    for (const char* p = path; *p; p = CharNextA(p))
        if (*p == '\\' || *p == '/' || *p == ':') lastSeparator = p;
    size_t length = lastSeparator ? static_cast<size_t>(lastSeparator - path) + 1 : 0;
    if (length == 0 || length >= size) {
        lstrcpynA(folder, ".", static_cast<int>(size));
        return;
    }
    memcpy(folder, path, length);
    folder[length] = '\0';
}

} // namespace

LRESULT CViewerDialog::OnCopy(WORD, WORD, HWND, BOOL&)
{
    HWND edit = GetDlgItem(m_hWnd, IDC_SOURCE);
    if (!edit) return 0;
    // The whole page, not the part that has gone in so far.
    FinishFill();

    SendMessageA(edit, EM_SETSEL, 0, -1);
    CHARRANGE range = { 0, 0 };
    SendMessageA(edit, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
    LONG characters = range.cpMax;
    if (characters <= 0) return 0;

    // The whole text (all of it is selected) comes out through the control's
    // stream rather than its selected-text message, which may cut
    // double-byte text at the count of character positions. Unlike a stream
    // of the selection, it leaves out the final paragraph mark, as the
    // selected text does.
    TextSink text(NarrowTextBytes(edit, characters) + 1);
    EDITSTREAM stream = {};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&text);
    stream.pfnCallback = TextSink::Collect;
    SendMessageA(edit, EM_STREAMOUT, SF_TEXT, reinterpret_cast<LPARAM>(&stream));
    // An emptied control still reports its final paragraph mark as a
    // position; with no text, the clipboard stays as it was.
    if (stream.dwError == 0 && !text.Failed() && text.Text()[0]) PutTextOnClipboard(m_hWnd, text.Text());
    SendMessageA(edit, EM_SETSEL, 0, 0);
    return 0;
}

LRESULT CViewerDialog::OnSave(WORD, WORD, HWND, BOOL&)
{
    char filter[kSaveFilterSize];
    CopySaveFilter(filter);
    char fileName[MAX_PATH];
    ZeroMemory(fileName, sizeof(fileName));

    FillSaveSettings(m_ofn, m_hWnd, filter, fileName);

    BOOL chosen = ContextGetSaveFileNameA(&m_ofn);
    // The record must not keep pointers into this frame.
    m_ofn.lpstrFilter = nullptr;
    m_ofn.lpstrFile = nullptr;
    if (!chosen) return 0;
    fileName[MAX_PATH - 1] = '\0';

    HWND edit = GetDlgItem(m_hWnd, IDC_SOURCE);
    if (!edit) return 0;
    FinishFill();
    // Case-sensitive, anywhere in the path: a folder named old.rtf counts.
    SaveControlTo(edit, fileName, strstr(fileName, ".rtf") ? SF_RTF : SF_TEXT);
    return 0;
}

// The stream goes into a new file beside the target, which replaces the
// target only when every byte was written: a failed write (a full disk, a
// removed drive) leaves the user's previous file as it was.
void CViewerDialog::SaveControlTo(HWND edit, const char* path, UINT format)
{
    // A target held open elsewhere ends the save here, unchanged, just as
    // opening it without sharing would.
    bool targetExists = GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
    if (targetExists) {
        FileHandle probe(CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!probe.IsValid()) return;
    }

    char folder[MAX_PATH];
    FolderOf(path, folder, sizeof(folder));
    char tempPath[MAX_PATH];
    if (!GetTempFileNameA(folder, "gd", 0, tempPath)) return;

    bool written = false;
    {
        FileHandle file(CreateFileA(tempPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_ARCHIVE | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (file.IsValid()) {
            EDITSTREAM stream = {};
            stream.dwCookie = reinterpret_cast<DWORD_PTR>(file.Get());
            stream.dwError = 0;
            stream.pfnCallback = StreamOutCallback;
            SendMessageA(edit, EM_STREAMOUT, format, reinterpret_cast<LPARAM>(&stream));
            written = stream.dwError == 0;
            written = file.Close() && written;
        }
    }

    bool replaced = false;
    if (written) {
        if (targetExists)
            replaced = ReplaceFileA(path, tempPath, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != FALSE;
        else
            replaced = MoveFileExA(tempPath, path, MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH) != FALSE;
    }
    if (!replaced) DeleteFileA(tempPath);
}

DWORD CALLBACK CViewerDialog::StreamOutCallback(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* written)
{
    HANDLE file = reinterpret_cast<HANDLE>(cookie);
    DWORD count = 0;
    BOOL ok = size >= 0 && WriteFile(file, buffer, static_cast<DWORD>(size), &count, nullptr);
    if (written) *written = static_cast<LONG>(count);
    return ok && count == static_cast<DWORD>(size) ? 0 : 1;
}
