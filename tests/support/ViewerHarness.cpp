#include "support/ViewerHarness.h"
#include <dlgs.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <memory>

namespace {

// Per thread: each thread drives its own modal loops. A system slot rather
// than thread_local, whose storage the toolchain frees twice at thread exit.
DWORD ScriptSlot()
{
    static const DWORD slot = TlsAlloc();
    return slot;
}

ModalScript* ActiveScript()
{
    return static_cast<ModalScript*>(TlsGetValue(ScriptSlot()));
}

void SetActiveScript(ModalScript* script)
{
    TlsSetValue(ScriptSlot(), script);
}
const DWORD kTickMs = 15;

struct ThreadWindowSearch {
    const char* className;
    const char* caption;
    HWND except;
    HWND found;
};

BOOL CALLBACK MatchThreadWindow(HWND hWnd, LPARAM param)
{
    ThreadWindowSearch* search = reinterpret_cast<ThreadWindowSearch*>(param);
    if (hWnd == search->except || !IsWindowVisible(hWnd)) return TRUE;
    char text[256] = {};
    if (search->className) {
        GetClassNameA(hWnd, text, sizeof(text));
        if (strcmp(text, search->className) != 0) return TRUE;
    }
    if (search->caption) {
        GetWindowTextA(hWnd, text, sizeof(text));
        if (strcmp(text, search->caption) != 0) return TRUE;
    }
    search->found = hWnd;
    return FALSE;
}

BOOL CALLBACK FindPrompt(HWND hWnd, LPARAM param)
{
    char name[64] = {};
    GetClassNameA(hWnd, name, sizeof(name));
    if (strcmp(name, "#32770") == 0 && IsWindowVisible(hWnd) && GetDlgItem(hWnd, IDYES)) {
        *reinterpret_cast<HWND*>(param) = hWnd;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK EndThreadDialog(HWND hWnd, LPARAM)
{
    char name[64] = {};
    GetClassNameA(hWnd, name, sizeof(name));
    if (strcmp(name, "#32770") == 0 && IsWindowEnabled(hWnd)) EndDialog(hWnd, IDCANCEL);
    return TRUE;
}

DWORD CALLBACK CollectStream(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* done)
{
    reinterpret_cast<std::string*>(cookie)->append(reinterpret_cast<char*>(buffer), size);
    *done = size;
    return 0;
}

} // namespace

// ModalScript

ModalScript& ModalScript::When(const char* what, std::function<bool()> ready, std::function<void()> act)
{
    m_steps.push_back(Step{ what, std::move(ready), std::move(act) });
    return *this;
}

ModalScript& ModalScript::After(DWORD ms, const char* what, std::function<void()> act)
{
    // The wait starts when the step before it has run.
    auto started = std::make_shared<DWORD>(0);
    m_steps.push_back(Step{ "(start wait)", [] { return true; }, [started] { *started = GetTickCount(); } });
    return When(what, [started, ms] { return GetTickCount() - *started >= ms; }, std::move(act));
}

bool ModalScript::Drive(const std::function<void()>& run, DWORD timeoutMs)
{
    ModalScript* outer = ActiveScript();
    SetActiveScript(this);
    m_next = 0;
    m_failure.clear();
    m_rescuing = false;
    m_running = true;
    m_deadline = GetTickCount() + timeoutMs;
    UINT_PTR timer = SetTimer(nullptr, 0, kTickMs, OnTimer);
    run();
    KillTimer(nullptr, timer);
    m_running = false;
    SetActiveScript(outer);
    if (m_failure.empty() && m_next < m_steps.size())
        m_failure = "the modal run ended before step \"" + m_steps[m_next].what + "\"";
    return m_failure.empty();
}

void CALLBACK ModalScript::OnTimer(HWND, UINT, UINT_PTR, DWORD)
{
    if (ModalScript* script = ActiveScript()) script->Tick();
}

void ModalScript::Tick()
{
    if (!m_running) return;
    if (VisibleMenuWindow()) {
        m_menuSeen = true;
        if (m_dismissMenus) EndMenu();
    }
    if (m_answerYes) {
        HWND prompt = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), FindPrompt, reinterpret_cast<LPARAM>(&prompt));
        if (prompt && GetPropA(prompt, "gd.answered") == nullptr) {
            SetPropA(prompt, "gd.answered", reinterpret_cast<HANDLE>(1));
            ++m_promptsAnswered;
            PostMessageA(prompt, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(prompt, IDYES)));
        }
    }
    if (m_rescuing || static_cast<LONG>(GetTickCount() - m_deadline) > 0) {
        if (!m_rescuing) {
            m_failure = m_next < m_steps.size()
                ? "timed out waiting for step \"" + m_steps[m_next].what + "\""
                : "timed out after the last step: the modal run did not end";
            m_rescuing = true;
        }
        Rescue();
        return;
    }
    if (m_inStep) return;
    while (m_next < m_steps.size() && m_steps[m_next].ready()) {
        Step& step = m_steps[m_next++];
        m_inStep = true;
        step.act();
        m_inStep = false;
        // One step per tick lets the messages it caused be handled first.
        break;
    }
}

// Ends whatever modal loop is running so that the run returns and the test fails.
void ModalScript::Rescue()
{
    EndMenu();
    EnumThreadWindows(GetCurrentThreadId(), EndThreadDialog, 0);
}

// ViewerUnderTest

ViewerUnderTest::ViewerUnderTest(const wchar_t* markup, int charset)
{
    BSTR copy = markup ? SysAllocString(markup) : nullptr;
    m_dialog = new CViewerDialog(copy, charset);
    SysFreeString(copy);
}

ViewerUnderTest::~ViewerUnderTest()
{
    delete m_dialog;
}

INT_PTR ViewerUnderTest::RunWith(ModalScript& script, DWORD timeoutMs, bool* driven)
{
    INT_PTR result = -1;
    bool ok = script.Drive([&] { result = m_dialog->Run(); }, timeoutMs);
    if (driven) *driven = ok;
    else EXPECT_TRUE(ok) << script.Failure();
    return result;
}

// Rich-edit read-back

std::string ControlStream(HWND edit, UINT format)
{
    std::string text;
    EDITSTREAM stream = {};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&text);
    stream.pfnCallback = CollectStream;
    SendMessageA(edit, EM_STREAMOUT, format, reinterpret_cast<LPARAM>(&stream));
    return text;
}

std::string ControlText(HWND edit)
{
    return ControlStream(edit, SF_TEXT);
}

CHARFORMATA CharFormatAt(HWND edit, LONG position)
{
    CHARRANGE saved = Selection(edit);
    SendMessageA(edit, EM_SETSEL, position, position + 1);
    CHARFORMATA format = {};
    format.cbSize = sizeof(format);
    SendMessageA(edit, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    SendMessageA(edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&saved));
    return format;
}

CHARRANGE Selection(HWND edit)
{
    CHARRANGE range = { -1, -1 };
    SendMessageA(edit, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
    return range;
}

// Windows of this thread

HWND FindThreadWindow(const char* className, const char* caption, HWND except)
{
    ThreadWindowSearch search = { className, caption, except, nullptr };
    EnumThreadWindows(GetCurrentThreadId(), MatchThreadWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

namespace {

BOOL CALLBACK MatchFindTextDialog(HWND hWnd, LPARAM param)
{
    char name[64] = "";
    GetClassNameA(hWnd, name, sizeof name);
    if (strcmp(name, "#32770") != 0 || !IsWindowVisible(hWnd)) return TRUE;
    if (!GetDlgItem(hWnd, edt1) || !GetDlgItem(hWnd, rad1) || !GetDlgItem(hWnd, chx2)) return TRUE;
    *reinterpret_cast<HWND*>(param) = hWnd;
    return FALSE;
}

} // namespace

HWND FindTextDialog()
{
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), MatchFindTextDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND VisibleMenuWindow()
{
    HWND menu = FindWindowA("#32768", nullptr);
    return menu && IsWindowVisible(menu) ? menu : nullptr;
}

// Real input

void MoveMouseTo(POINT screen)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(screen.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(screen.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof(input));
    SetCursorPos(screen.x, screen.y);
}

void MouseButton(DWORD flags)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof(input));
}

void PressKey(WORD vk)
{
    INPUT inputs[2] = {};
    inputs[0].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = vk;
    inputs[1] = inputs[0];
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
}

// Clipboard

std::string ClipboardText()
{
    std::string text = "(none)";
    if (!OpenClipboard(nullptr)) return "(clipboard busy)";
    HANDLE data = GetClipboardData(CF_TEXT);
    if (data) {
        const char* locked = static_cast<const char*>(GlobalLock(data));
        if (locked) {
            text.assign(locked, strnlen(locked, GlobalSize(data)));
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

void SetClipboardText(const char* text)
{
    if (!OpenClipboard(nullptr)) return;
    EmptyClipboard();
    size_t size = strlen(text) + 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (block) {
        memcpy(GlobalLock(block), text, size);
        GlobalUnlock(block);
        if (!SetClipboardData(CF_TEXT, block)) GlobalFree(block);
    }
    CloseClipboard();
}

// Settings

const char kSettingsKeyName[] = "SOFTWARE\\Dunmarrow\\Glimmerdeck";

void DeleteSettings()
{
    RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKeyName);
}

void WriteSetting(const char* name, DWORD type, const void* data, DWORD size)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKeyName, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

void WriteNumberSetting(const char* name, LONG value)
{
    WriteSetting(name, REG_DWORD, &value, sizeof(value));
}

bool ReadNumberSetting(const char* name, LONG* value)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKeyName, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD type = 0, size = sizeof(*value);
    LONG error = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return error == ERROR_SUCCESS && type == REG_DWORD && size == sizeof(*value);
}

// Rectangles

std::string Describe(const RECT& r)
{
    char text[96];
    snprintf(text, sizeof(text), "(%ld,%ld)-(%ld,%ld) %ldx%ld", r.left, r.top, r.right, r.bottom,
             r.right - r.left, r.bottom - r.top);
    return text;
}

RECT ChildRectInClient(HWND dialog, int id)
{
    RECT r = {};
    HWND child = GetDlgItem(dialog, id);
    if (!child) return r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

POINT CentreOf(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    return POINT{ (r.left + r.right) / 2, (r.top + r.bottom) / 2 };
}

const char kSaveTitle[] = "Save Web Glimmerdeck As";

HWND SaveDialog(const ViewerUnderTest& viewer)
{
    return FindThreadWindow("#32770", kSaveTitle, viewer.Window());
}

// Types a name into the Save As dialog and presses its Save button.
void TypeNameAndSave(HWND dialog, const std::string& name)
{
    // The explorer-style dialog keeps its name in a combo box (cmb13) on some
    // systems and in an edit control (edt1) on others.
    HWND box = GetDlgItem(dialog, cmb13);
    if (!box) box = GetDlgItem(dialog, edt1);
    SetWindowTextA(box, name.c_str());
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

// A fresh folder for one test's files, with a trailing backslash.
std::string NewFolder(const char* name)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    char folder[MAX_PATH];
    snprintf(folder, sizeof(folder), "%sgdviewer_%s_%lu\\", temp, name, GetTickCount());
    CreateDirectoryA(folder, nullptr);
    return folder;
}
