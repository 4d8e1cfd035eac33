// Copy, Save and the Encoding menu on the real viewer under Wine: the real
// clipboard, the system's Save As dialog with names typed into it, and the
// pop-up menu opened by a real right-button release over the text.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <set>
#include "support/ViewerHarness.h"
#include "resources/resource.h"
#include "viewer/RtfDocument.h"
#include "viewer/SaveSettings.h"
#include "viewer/ShownMarkup.h"

namespace {

const int kNoCharset = -1;
const char kSaveTitle[] = "Save Web Glimmerdeck As";

std::string ReadFileBytes(const std::string& path)
{
    std::string bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "(cannot open)";
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::set<std::string> FilesIn(const std::string& folder)
{
    std::set<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.insert(data.cFileName);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
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

POINT CentreOf(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    return POINT{ (r.left + r.right) / 2, (r.top + r.bottom) / 2 };
}

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

struct SaveRun {
    std::string streamedRtf;
    std::string streamedText;
    std::vector<std::string> fileTypes;     // the dialog's "Save as type" list
    bool readOnlyBoxShown = true;
    bool dialogSeen = false;
};

// Opens the viewer, presses Save, types the name, confirms any prompt, closes.
SaveRun SaveThroughDialog(const wchar_t* markup, const std::string& typed, ModalScript& script)
{
    ViewerUnderTest viewer(markup, kNoCharset);
    SaveRun run;
    script.SetAnswerYes(true);
    script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
              run.streamedRtf = ControlStream(viewer.Edit(), SF_RTF);
              run.streamedText = ControlStream(viewer.Edit(), SF_TEXT);
              PostMessageA(GetDlgItem(viewer.Window(), IDC_SAVE), BM_CLICK, 0, 0);
          })
        .When("Save As dialog", [&] { return SaveDialog(viewer) != nullptr; }, [&] {
            HWND dialog = SaveDialog(viewer);
            run.dialogSeen = true;
            HWND types = GetDlgItem(dialog, cmb1);
            int count = static_cast<int>(SendMessageA(types, CB_GETCOUNT, 0, 0));
            for (int i = 0; i < count; ++i) {
                char item[128] = "";
                if (SendMessageA(types, CB_GETLBTEXTLEN, i, 0) < static_cast<LRESULT>(sizeof item))
                    SendMessageA(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
                run.fileTypes.push_back(item);
            }
            HWND readOnly = GetDlgItem(dialog, chx1);
            run.readOnlyBoxShown = readOnly && IsWindowVisible(readOnly);
            TypeNameAndSave(dialog, typed);
        })
        .When("Save As dialog closed", [&] { return SaveDialog(viewer) == nullptr && IsWindowEnabled(viewer.Window()); },
              [&] { PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0); });
    viewer.RunWith(script, 30000);
    return run;
}

const wchar_t kPage[] =
    L"<HTML>\n<HEAD><TITLE>Page</TITLE></HEAD>\n<BODY CLASS=\"main\">\n<!-- a comment -->\n"
    L"<P ID=first>Text {with} braces \\ and a backslash</P>\n</BODY>\n</HTML>";

} // namespace

// --- Copy ---------------------------------------------------------------

TEST(ViewerCopy, CodePageIsTheOneTheLocaleAsksFor)
{
    // The run under ja_JP must really be double-byte, or it tests 1252 twice.
    const char* locale = getenv("LC_ALL");
    if (locale && strstr(locale, "ja_JP")) {
        EXPECT_EQ(932u, GetACP());
    }
}

TEST(ViewerCopy, CopiesTheWholeTextAndLeavesTheCaretAtTheStart)
{
    ViewerUnderTest viewer(kPage, kNoCharset);
    SetClipboardText("before");
    std::string text, clip;
    CHARRANGE after = { -1, -1 };
    ModalScript script;
    script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
        text = ControlText(viewer.Edit());
        SendMessageA(viewer.Edit(), EM_SETSEL, 5, 9);
        SendMessageA(GetDlgItem(viewer.Window(), IDC_COPY), BM_CLICK, 0, 0);
        clip = ClipboardText();
        after = Selection(viewer.Edit());
        PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
    });
    viewer.RunWith(script);
    EXPECT_EQ(text, clip);
    EXPECT_NE(std::string::npos, clip.find("</HTML>"));
    EXPECT_EQ(0, after.cpMin);
    EXPECT_EQ(0, after.cpMax);
}

TEST(ViewerCopy, EmptyControlLeavesTheClipboardAsItWas)
{
    ViewerUnderTest viewer(L"<P>x</P>", kNoCharset);
    SetClipboardText("before");
    std::string clip;
    ModalScript script;
    script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
        SetWindowTextA(viewer.Edit(), "");
        SendMessageA(viewer.Window(), WM_COMMAND, MAKEWPARAM(IDC_COPY, BN_CLICKED), 0);
        clip = ClipboardText();
        PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
    });
    viewer.RunWith(script);
    EXPECT_EQ("before", clip);
}

// In a double-byte code page the text needs more bytes than it has character
// positions; the copy must still hold all of it, up to the page's last byte.
TEST(ViewerCopy, DoubleByteTextIsCopiedWhole)
{
    std::wstring markup = L"<HTML><BODY>\n";
    for (int line = 0; line < 40; ++line)
        markup += L"<P>\x65E5\x672C\x8A9E\x306E\x30DA\x30FC\x30B8\x3067\x3059\x3002</P>\n";
    markup += L"<P>END</P></BODY></HTML>";
    ViewerUnderTest viewer(markup.c_str(), SHIFTJIS_CHARSET);
    SetClipboardText("before");
    std::string text, clip;
    LONG characters = 0;
    ModalScript script;
    script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
        text = ControlText(viewer.Edit());
        GETTEXTLENGTHEX count = { GTL_NUMCHARS | GTL_PRECISE | GTL_USECRLF, 1200 };
        characters = static_cast<LONG>(SendMessageA(viewer.Edit(), EM_GETTEXTLENGTHEX,
                                                    reinterpret_cast<WPARAM>(&count), 0));
        SendMessageA(viewer.Window(), WM_COMMAND, MAKEWPARAM(IDC_COPY, BN_CLICKED), 0);
        clip = ClipboardText();
        PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
    });
    viewer.RunWith(script);
    printf("[figure] code page %u: %ld characters, %zu bytes of narrow text\n", GetACP(), characters, clip.size());
    EXPECT_EQ(text, clip);
    EXPECT_NE(std::string::npos, clip.find("END</P></BODY></HTML>"));
    if (GetACP() == 932) {
        EXPECT_GT(static_cast<LONG>(clip.size()), characters);
    }
}

// --- Save ---------------------------------------------------------------

// What the user sees of the settings: the caption (the dialog is found by
// it), the two file types, no read-only box.
TEST(ViewerSave, SaveAsDialogShowsTheViewersOwnSettings)
{
    std::string folder = NewFolder("ofn");
    ModalScript script;
    SaveRun run = SaveThroughDialog(L"<P>x</P>", folder + "settings.txt", script);
    ASSERT_TRUE(run.dialogSeen);
    EXPECT_EQ((std::vector<std::string>{ "Text Files (*.txt)", "Rich Text Format (*.rtf)" }), run.fileTypes);
    EXPECT_FALSE(run.readOnlyBoxShown);
}

// The record itself, as the viewer fills it for each Save.
TEST(ViewerSave, SaveAsSettingsAreFilledAsTheDialogNeedsThem)
{
    OPENFILENAMEA ofn;
    memset(&ofn, 0xCC, sizeof ofn);
    char filter[kSaveFilterSize];
    CopySaveFilter(filter);
    char name[MAX_PATH] = "";
    HWND owner = GetDesktopWindow();
    FillSaveSettings(ofn, owner, filter, name);
    const char expectedFilter[] = "Text Files (*.txt)\0*.txt\0Rich Text Format (*.rtf)\0*.rtf\0\0";
    EXPECT_EQ(std::string(expectedFilter, 58), std::string(filter, 58));
    // The record's older, shorter form: 76 bytes in a 32-bit process, 136 in a 64-bit one.
    EXPECT_EQ(sizeof(void*) == 4 ? 76u : 136u, ofn.lStructSize);
    EXPECT_EQ(owner, ofn.hwndOwner);
    EXPECT_EQ(filter, ofn.lpstrFilter);
    EXPECT_EQ(name, ofn.lpstrFile);
    EXPECT_EQ(static_cast<DWORD>(OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_CREATEPROMPT | OFN_EXPLORER), ofn.Flags)
        << std::hex << ofn.Flags;
    EXPECT_STREQ(kSaveTitle, ofn.lpstrTitle);
    EXPECT_STREQ("txt", ofn.lpstrDefExt);
    EXPECT_EQ(260u, ofn.nMaxFile);
    EXPECT_EQ(260u, ofn.nMaxFileTitle);
    EXPECT_EQ(0u, ofn.nFilterIndex);
    EXPECT_EQ(nullptr, ofn.lpstrFileTitle);
    EXPECT_EQ(nullptr, ofn.lpstrCustomFilter);
    EXPECT_EQ(nullptr, ofn.lpstrInitialDir);
    EXPECT_EQ(nullptr, ofn.lpfnHook);
    EXPECT_EQ(nullptr, ofn.lpTemplateName);
}

TEST(ViewerSave, WritesRtfOrTextByTheNameTyped)
{
    std::string folder = NewFolder("names");
    CreateDirectoryA((folder + "old.rtf").c_str(), nullptr);
    struct Case { const char* typed; const char* written; bool rtf; };
    const Case cases[] = {
        { "page.rtf", "page.rtf", true },
        { "page.RTF", "page.RTF", false },
        { "page.txt", "page.txt", false },
        { "plain", "plain.txt", false },
        { "notes.rtf.txt", "notes.rtf.txt", true },
        { "old.rtf\\inner.txt", "old.rtf\\inner.txt", true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        ModalScript script;
        SaveRun run = SaveThroughDialog(kPage, folder + c.typed, script);
        std::string saved = ReadFileBytes(folder + c.written);
        EXPECT_EQ(c.rtf ? run.streamedRtf : run.streamedText, saved);
        EXPECT_EQ(c.rtf, saved.compare(0, 5, "{\\rtf") == 0);
    }
    // Nothing left behind but the files asked for; page.rtf and page.RTF are
    // one file on a case-insensitive file system.
    std::set<std::string> actual;
    for (std::string name : FilesIn(folder)) {
        CharLowerA(&name[0]);
        actual.insert(name);
    }
    EXPECT_EQ((std::set<std::string>{ "page.rtf", "page.txt", "plain.txt", "notes.rtf.txt" }), actual);
    EXPECT_EQ(std::set<std::string>{ "inner.txt" }, FilesIn(folder + "old.rtf\\"));
}

TEST(ViewerSave, ExistingFileIsReplacedAfterConfirmation)
{
    std::string folder = NewFolder("replace");
    std::string path = folder + "existing.txt";
    WriteFileBytes(path, "previous content that is longer than the new one ............................");
    ModalScript script;
    SaveRun run = SaveThroughDialog(L"<P>new</P>", path, script);
    EXPECT_EQ(1, script.PromptsAnswered());
    EXPECT_EQ(run.streamedText, ReadFileBytes(path));
    EXPECT_EQ(std::set<std::string>{ "existing.txt" }, FilesIn(folder));
}

// A file that cannot be written ends the save silently and stays as it was;
// no temporary file is left beside it.
TEST(ViewerSave, FileThatCannotBeReplacedStaysUnchanged)
{
    struct Case { const char* what; bool holdOpen; bool readOnly; };
    const Case cases[] = {
        { "held open elsewhere without sharing", true, false },
        { "read-only", false, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string folder = NewFolder("locked");
        std::string path = folder + "locked.rtf";
        WriteFileBytes(path, "previous content");
        HANDLE holder = INVALID_HANDLE_VALUE;
        if (c.holdOpen)
            holder = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (c.readOnly) SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
        ModalScript script;
        SaveRun run = SaveThroughDialog(L"<P>new</P>", path, script);
        EXPECT_TRUE(run.dialogSeen);
        if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ("previous content", ReadFileBytes(path));
        EXPECT_EQ(std::set<std::string>{ "locked.rtf" }, FilesIn(folder));
    }
}

TEST(ViewerSave, FailedWriteStopsTheStream)
{
    std::string path = NewFolder("callback") + "out.txt";
    WriteFileBytes(path, "");
    BYTE bytes[5] = { 'a', 'b', 'c', 'd', 'e' };
    struct Case { const char* what; DWORD access; DWORD answer; LONG written; };
    const Case cases[] = {
        { "writable handle", GENERIC_WRITE, 0, 5 },
        { "handle opened for reading only", GENERIC_READ, 1, 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HANDLE file = CreateFileA(path.c_str(), c.access, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        LONG written = -1;
        EXPECT_EQ(c.answer, CViewerDialog::StreamOutCallback(reinterpret_cast<DWORD_PTR>(file), bytes, 5, &written));
        EXPECT_EQ(c.written, written);
        CloseHandle(file);
    }
}

TEST(ViewerSave, CancelledDialogWritesNothing)
{
    std::string folder = NewFolder("cancel");
    ViewerUnderTest viewer(L"<P>x</P>", kNoCharset);
    ModalScript script;
    script.When("viewer shown", [&] { return viewer.Shown(); },
                [&] { PostMessageA(GetDlgItem(viewer.Window(), IDC_SAVE), BM_CLICK, 0, 0); })
        .When("Save As dialog", [&] { return SaveDialog(viewer) != nullptr; }, [&] {
            HWND dialog = SaveDialog(viewer);
            SetWindowTextA(GetDlgItem(dialog, cmb13) ? GetDlgItem(dialog, cmb13) : GetDlgItem(dialog, edt1),
                           (folder + "never.txt").c_str());
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        })
        .When("Save As dialog closed", [&] { return SaveDialog(viewer) == nullptr; },
              [&] { PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0); });
    viewer.RunWith(script);
    EXPECT_TRUE(FilesIn(folder).empty());
}

// --- Encoding menu ------------------------------------------------------

namespace {

const UINT kEncodingIds[] = {
    ID_ENCODING_DEFAULT, ID_ENCODING_EASTEUROPE, ID_ENCODING_GREEK, ID_ENCODING_RUSSIAN, ID_ENCODING_TURKISH,
    ID_ENCODING_BALTIC, ID_ENCODING_HEBREW, ID_ENCODING_ARABIC, ID_ENCODING_SHIFTJIS, ID_ENCODING_GB2312,
    ID_ENCODING_BIG5, ID_ENCODING_OEM, ID_ENCODING_SYMBOL, ID_ENCODING_HANGUL, ID_ENCODING_PAGE,
};

struct MenuRun {
    std::vector<UINT> checked;
    bool menuAfterPressAlone = false;
    POINT cursor = {};
    RECT menuRect = {};
    std::vector<UINT> checkedAfter;     // when the menu opens again: the charset state
    BYTE controlCharset = 0;
    std::string textAfter;
};

// Opens the menu with a real right-button press and release over the text,
// reads its check marks, then presses keys (or none: the menu is dismissed).
MenuRun RunEncodingMenu(ViewerUnderTest& viewer, const std::vector<WORD>& keys, bool scribbleFirst = false)
{
    MenuRun run;
    ModalScript script;
    script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
              SetForegroundWindow(viewer.Window());
              if (scribbleFirst) SetWindowTextA(viewer.Edit(), "scribble");
              MoveMouseTo(CentreOf(viewer.Edit()));
              MouseButton(MOUSEEVENTF_RIGHTDOWN);
          })
        .After(300, "right button released", [&] {
            run.menuAfterPressAlone = VisibleMenuWindow() != nullptr;
            MouseButton(MOUSEEVENTF_RIGHTUP);
        })
        .When("menu shown", [&] { return VisibleMenuWindow() != nullptr; }, [&] {
            GetCursorPos(&run.cursor);
            GetWindowRect(VisibleMenuWindow(), &run.menuRect);
            HMENU menu = reinterpret_cast<HMENU>(SendMessageA(VisibleMenuWindow(), MN_GETHMENU, 0, 0));
            for (UINT id : kEncodingIds)
                if (GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) run.checked.push_back(id);
            for (WORD key : keys) PressKey(key);
        })
        .When("menu closed", [&] { return VisibleMenuWindow() == nullptr; }, [] {})
        .After(100, "read back, open the menu again", [&] {
            run.controlCharset = CharFormatAt(viewer.Edit(), 1).bCharSet;
            run.textAfter = ControlText(viewer.Edit());
            MoveMouseTo(CentreOf(viewer.Edit()));
            MouseButton(MOUSEEVENTF_RIGHTDOWN);
            MouseButton(MOUSEEVENTF_RIGHTUP);
        })
        .When("menu shown again", [&] { return VisibleMenuWindow() != nullptr; }, [&] {
            HMENU menu = reinterpret_cast<HMENU>(SendMessageA(VisibleMenuWindow(), MN_GETHMENU, 0, 0));
            for (UINT id : kEncodingIds)
                if (GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) run.checkedAfter.push_back(id);
            PressKey(VK_ESCAPE);
        })
        .When("menu closed again", [&] { return VisibleMenuWindow() == nullptr; }, [&] {
            PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
        });
    viewer.RunWith(script);
    return run;
}

BYTE ControlCharsetWithoutDeclaration()
{
    ViewerUnderTest viewer(L"<P>x</P>", kNoCharset);
    BYTE charset = 0;
    ModalScript script;
    script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
        charset = CharFormatAt(viewer.Edit(), 1).bCharSet;
        PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
    });
    viewer.RunWith(script);
    return charset;
}

} // namespace

TEST(ViewerEncodingMenu, OpensOnReleaseWithTheCurrentCharsetChecked)
{
    struct Case { const char* what; int charset; UINT checked; };
    const Case cases[] = {
        { "page declared windows-1251", RUSSIAN_CHARSET, ID_ENCODING_RUSSIAN },
        { "page without a declaration", kNoCharset, ID_ENCODING_PAGE },
        { "western page", ANSI_CHARSET, ID_ENCODING_DEFAULT },
        { "Shift-JIS page", SHIFTJIS_CHARSET, ID_ENCODING_SHIFTJIS },
        { "charset not in the menu", 77, ID_ENCODING_PAGE },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ViewerUnderTest viewer(L"<P>text</P>", c.charset);
        MenuRun run = RunEncodingMenu(viewer, { VK_ESCAPE });
        EXPECT_FALSE(run.menuAfterPressAlone);
        EXPECT_EQ(std::vector<UINT>{ c.checked }, run.checked);
        // Left and top aligned at the cursor.
        EXPECT_EQ(run.cursor.x, run.menuRect.left);
        EXPECT_EQ(run.cursor.y, run.menuRect.top);
    }
}

TEST(ViewerEncodingMenu, ChoiceChangesTheCharsetTheControlReadsIn)
{
    const BYTE undeclared = ControlCharsetWithoutDeclaration();
    struct Case { const char* what; std::vector<WORD> keys; UINT checkedAfter; BYTE controlCharset; };
    // Down selects "Encoding  ", Right opens it with its first item selected;
    // Down and Up skip separators and wrap round. "Page Defined" sets the
    // state to the ANSI code page, which the control reads as a page
    // without a declaration.
    const Case cases[] = {
        { "Default (Windows-1252)", { VK_DOWN, VK_RIGHT, VK_RETURN }, ID_ENCODING_DEFAULT, ANSI_CHARSET },
        { "Greek", { VK_DOWN, VK_RIGHT, VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN }, ID_ENCODING_GREEK, GREEK_CHARSET },
        { "Turkish", { VK_DOWN, VK_RIGHT, VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN },
          ID_ENCODING_TURKISH, TURKISH_CHARSET },
        { "Page Defined", { VK_DOWN, VK_RIGHT, VK_UP, VK_RETURN }, ID_ENCODING_PAGE, undeclared },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ViewerUnderTest viewer(L"<P>text</P>", RUSSIAN_CHARSET);
        MenuRun run = RunEncodingMenu(viewer, c.keys);
        EXPECT_EQ(std::vector<UINT>{ c.checkedAfter }, run.checkedAfter);
        EXPECT_EQ(c.controlCharset, run.controlCharset);
    }
}

TEST(ViewerEncodingMenu, DismissingTheMenuRebuildsTheUnchangedDocument)
{
    ViewerUnderTest viewer(L"<P>text</P>", RUSSIAN_CHARSET);
    MenuRun run = RunEncodingMenu(viewer, { VK_ESCAPE }, true);
    EXPECT_EQ(std::vector<UINT>{ ID_ENCODING_RUSSIAN }, run.checkedAfter);
    EXPECT_EQ(RUSSIAN_CHARSET, run.controlCharset);
    EXPECT_EQ(0u, run.textAfter.find("<P>text</P>")) << run.textAfter;
}

TEST(ViewerEncodingMenu, OtherNotificationsArePassedOnUntouched)
{
    struct Case { const char* what; UINT_PTR from; UINT code; UINT message; };
    const Case cases[] = {
        { "right-button release from the Copy button", IDC_COPY, EN_MSGFILTER, WM_RBUTTONUP },
        { "right-button press from the text", IDC_SOURCE, EN_MSGFILTER, WM_RBUTTONDOWN },
        { "left-button release from the text", IDC_SOURCE, EN_MSGFILTER, WM_LBUTTONUP },
        { "mouse move over the text", IDC_SOURCE, EN_MSGFILTER, WM_MOUSEMOVE },
        { "selection change from the text", IDC_SOURCE, EN_SELCHANGE, WM_RBUTTONUP },
    };
    ViewerUnderTest viewer(L"<P>text</P>", RUSSIAN_CHARSET);
    std::vector<LRESULT> answers;
    std::string text;
    ModalScript script;
    script.SetDismissMenus(true);
    script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
        SetWindowTextA(viewer.Edit(), "scribble");
        for (const Case& c : cases) {
            MSGFILTER filter = {};
            filter.nmhdr.hwndFrom = GetDlgItem(viewer.Window(), static_cast<int>(c.from));
            filter.nmhdr.idFrom = c.from;
            filter.nmhdr.code = c.code;
            filter.msg = c.message;
            answers.push_back(SendMessageA(viewer.Window(), WM_NOTIFY, c.from, reinterpret_cast<LPARAM>(&filter)));
        }
        // No record at all.
        SendMessageA(viewer.Window(), WM_NOTIFY, IDC_SOURCE, 0);
        text = ControlText(viewer.Edit());
        PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
    });
    viewer.RunWith(script);
    EXPECT_FALSE(script.MenuSeen());
    EXPECT_EQ("scribble", text.substr(0, 8));     // nothing was rebuilt, in any charset
    for (size_t i = 0; i < answers.size(); ++i) {
        SCOPED_TRACE(cases[i].what);
        EXPECT_EQ(0, answers[i]);     // lets the control go on with the mouse message
    }
}

// --- About --------------------------------------------------------------

TEST(ViewerAbout, AboutButtonRunsTheAboutBoxOverTheViewer)
{
    ViewerUnderTest viewer(L"<P>x</P>", kNoCharset);
    HWND owner = nullptr, viewerWindow = nullptr;
    bool viewerOpenAfter = false;
    auto aboutBox = [&] { return FindThreadWindow("#32770", "About Glimmerdeck", viewer.Window()); };
    ModalScript script;
    script.When("viewer shown", [&] { return viewer.Shown(); },
                [&] {
                    viewerWindow = viewer.Window();
                    PostMessageA(GetDlgItem(viewer.Window(), IDC_ABOUT), BM_CLICK, 0, 0);
                })
        .When("About box", [&] { return aboutBox() != nullptr; }, [&] {
            owner = GetWindow(aboutBox(), GW_OWNER);
            PostMessageA(aboutBox(), WM_COMMAND, IDOK, 0);
        })
        .When("About box closed", [&] { return aboutBox() == nullptr; }, [&] {
            viewerOpenAfter = IsWindowVisible(viewer.Window()) != FALSE;
            PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
        });
    EXPECT_EQ(IDCANCEL, viewer.RunWith(script));
    EXPECT_EQ(viewerWindow, owner);
    EXPECT_TRUE(viewerOpenAfter);
}

// --- Re-rendering ---------------------------------------------------------

namespace {

std::vector<int> ChildIdsInTabOrder(HWND dialog)
{
    std::vector<int> ids;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        ids.push_back(GetDlgCtrlID(child));
    return ids;
}

} // namespace

TEST(ViewerRerender, NewDocumentTakesThePlaceOfTheOldInOneControl)
{
    ViewerUnderTest viewer(L"<P CLASS=\"a\">text</P>", RUSSIAN_CHARSET);
    HWND before = nullptr;
    RECT placeBefore = {}, placeAfter = {};
    std::vector<int> orderBefore, orderAfter;
    bool oldGone = false, newVisible = false;
    BYTE charsetAfter = 0;
    std::string textAfter;
    ModalScript script;
    script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
              before = viewer.Edit();
              placeBefore = ChildRectInClient(viewer.Window(), IDC_SOURCE);
              orderBefore = ChildIdsInTabOrder(viewer.Window());
              viewer.Dialog().BuildDocument();
          })
        .After(100, "read back and close", [&] {
            oldGone = !IsWindow(before);
            newVisible = IsWindowVisible(viewer.Edit()) != FALSE;
            placeAfter = ChildRectInClient(viewer.Window(), IDC_SOURCE);
            orderAfter = ChildIdsInTabOrder(viewer.Window());
            charsetAfter = CharFormatAt(viewer.Edit(), 1).bCharSet;
            textAfter = ControlText(viewer.Edit());
            PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
        });
    viewer.RunWith(script);
    EXPECT_TRUE(oldGone);
    EXPECT_TRUE(newVisible);
    EXPECT_EQ(Describe(placeBefore), Describe(placeAfter));
    EXPECT_EQ(orderBefore, orderAfter);
    EXPECT_EQ(RUSSIAN_CHARSET, charsetAfter);
    EXPECT_EQ(0u, textAfter.find("<P CLASS=\"a\">text</P>")) << textAfter;
}

// --- A page that goes into the control in pieces ----------------------------

namespace {

// Some hundred kilobytes that take many pieces: a long run of text before
// the first tag, a script, rows whose tags, values and comments span lines,
// long lines of tags and of words, text beyond the code page, and a last
// character in bold.
std::wstring PageInPieces()
{
    std::wstring page;
    wchar_t line[256];
    for (int i = 0; page.size() < 70000; ++i) {
        swprintf(line, 256, L"text line %d before any tag, {braces} \\ and caf\x00E9 \x65E5\x672C\r\n", i);
        page += line;
    }
    page += L"<HTML><HEAD><SCRIPT>\n";
    for (int i = 0; i < 300; ++i) {
        swprintf(line, 256, L"var a%d = 1 < 2 && \"s\" != '</B>'; // script line\n", i);
        page += line;
    }
    page += L"</SCRIPT></HEAD><BODY BGCOLOR=white>\n";
    for (int i = 0; page.size() < 300000; ++i) {
        swprintf(line, 256,
                 L"<TR CLASS=\"r%d\"\n    ID='x%d' DATA-X=y><TD>cell %d \x65E5</TD><!-- comment %d\n spans -- lines --></TR>\n",
                 i % 7, i, i, i);
        page += line;
        // Wine's rich edit lays out a long line in time that grows with its
        // square: these are just long enough to be cut.
        if (i == 1000) {
            page += L"<P>";
            for (int k = 0; k < 1400; ++k) page += L"<B>w</B> ";
            page += L"</P>\n";
            for (int k = 0; k < 2600; ++k) page += L"word ";
            page += L"\n";
        }
    }
    page += L"</BODY></HTML>";
    // Text after the last tag that reads like colour and bold words, and a
    // backslash at the very end: the format in force at the end is the last
    // tag's, which the pieces must find from the end.
    page += L"\ntrailing \\\\\\cf9 \\\\b0 text \\cf2 \\b \\";
    return page;
}

// What the viewer's control holds, read back.
struct Content {
    std::string text;
    std::string rtf;
    std::vector<CHARFORMATA> formats;   // of characters spread over the text
    bool scrollBar = false;
    bool canUndo = false;           // as the content was read
    bool undoesAnEdit = false;      // an edit made after it
};

Content ReadContent(HWND edit)
{
    Content content;
    content.text = ControlText(edit);
    content.rtf = ControlStream(edit, SF_RTF);
    const LONG length = static_cast<LONG>(SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0));
    // Selecting scrolls to the selection: no drawing meanwhile.
    SendMessageA(edit, WM_SETREDRAW, FALSE, 0);
    for (LONG at = 0; at < length; at += at + 40 < length ? length / 300 + 1 : 1)
        content.formats.push_back(CharFormatAt(edit, at));
    // The final paragraph mark, which takes the format in force at the end.
    content.formats.push_back(CharFormatAt(edit, length));
    SendMessageA(edit, WM_SETREDRAW, TRUE, 0);
    content.scrollBar = (GetWindowLongPtrA(edit, GWL_STYLE) & WS_VSCROLL) != 0;
    // Last, since it changes the text: the control's undo as it was left.
    content.canUndo = SendMessageA(edit, EM_CANUNDO, 0, 0) != 0;
    SendMessageA(edit, EM_SETSEL, 0, 0);
    SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("x"));
    content.undoesAnEdit = SendMessageA(edit, EM_CANUNDO, 0, 0) != 0;
    return content;
}

// A control of the viewer's kind beside the viewer's own, of its size, that
// takes the whole document in one stream-in.
Content OneStreamIn(HWND viewer, const std::wstring& markup, int charset)
{
    HWND edit = GetDlgItem(viewer, IDC_SOURCE);
    RECT place;
    GetWindowRect(edit, &place);
    MapWindowPoints(nullptr, viewer, reinterpret_cast<POINT*>(&place), 2);
    const DWORD style = (WS_CHILD | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_WANTRETURN);
    HWND whole = CreateWindowExA(0, "RICHEDIT", "", style, place.left, place.top, place.right - place.left,
                                 place.bottom - place.top, viewer, nullptr, GetModuleHandleA(nullptr), nullptr);
    // The dialog gives its controls its own font.
    SendMessageA(whole, WM_SETFONT, SendMessageA(viewer, WM_GETFONT, 0, 0), FALSE);
    SendMessageA(whole, EM_LIMITTEXT, 5000000, 0);
    SendMessageA(whole, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(10, 10));
    CString shown = ShownMarkup(markup.c_str(), 5000000);
    CString document = BuildRtfDocument(shown, InitialCharsetState(charset));
    CViewerDialog::StreamInSource source = { document.c_str(), document.GetLength(), 0 };
    EDITSTREAM stream = {};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
    stream.pfnCallback = CViewerDialog::StreamInCallback;
    SendMessageA(whole, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
    Content content = ReadContent(whole);
    DestroyWindow(whole);
    return content;
}

void ExpectSameContent(const Content& expected, const Content& actual)
{
    EXPECT_EQ(expected.text.size(), actual.text.size());
    EXPECT_TRUE(expected.text == actual.text) << "the text differs from one stream-in of the whole document";
    EXPECT_EQ(expected.rtf.size(), actual.rtf.size());
    if (expected.rtf != actual.rtf) {
        size_t at = 0;
        while (at < expected.rtf.size() && at < actual.rtf.size() && expected.rtf[at] == actual.rtf[at]) ++at;
        ADD_FAILURE() << "the RTF differs from one stream-in of the whole document at byte " << at << ": expected \""
                      << expected.rtf.substr(at > 40 ? at - 40 : 0, 120) << "\", got \""
                      << actual.rtf.substr(at > 40 ? at - 40 : 0, 120) << "\"";
    }
    ASSERT_EQ(expected.formats.size(), actual.formats.size());
    int differing = 0;
    for (size_t i = 0; i < expected.formats.size(); ++i) {
        const CHARFORMATA& e = expected.formats[i];
        const CHARFORMATA& a = actual.formats[i];
        // With the automatic colour the colour member means nothing (and Wine
        // leaves whatever it held there).
        const bool sameColour = (e.dwEffects & CFE_AUTOCOLOR) ? (a.dwEffects & CFE_AUTOCOLOR) != 0
                                                                : e.crTextColor == a.crTextColor;
        if (e.dwMask != a.dwMask || e.dwEffects != a.dwEffects || !sameColour || e.yHeight != a.yHeight ||
            e.bCharSet != a.bCharSet || strcmp(e.szFaceName, a.szFaceName) != 0)
            ++differing;
    }
    EXPECT_EQ(0, differing) << "of " << expected.formats.size() << " character formats compared";
    EXPECT_EQ(expected.scrollBar, actual.scrollBar);
    EXPECT_EQ(expected.canUndo, actual.canUndo);
    EXPECT_EQ(expected.undoesAnEdit, actual.undoesAnEdit);
}

} // namespace

TEST(ViewerFill, PiecesLeaveTheControlAsOneStreamInOfTheWholeDocument)
{
    const std::wstring page = PageInPieces();
    struct Case { const char* what; int charset; };
    const Case cases[] = { { "no charset declared", kNoCharset }, { "Russian", RUSSIAN_CHARSET } };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ViewerUnderTest viewer(page.c_str(), c.charset);
        bool fillingWhenShown = false;
        Content filled, whole;
        ModalScript script;
        // The one stream-in goes first: under Wine a control's stream-in slows
        // down in a heap that another large control has filled.
        script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
                  fillingWhenShown = viewer.Dialog().IsFilling();
                  whole = OneStreamIn(viewer.Window(), page, c.charset);
              })
            .When("filled", [&] { return !viewer.Dialog().IsFilling(); }, [&] {
                filled = ReadContent(viewer.Edit());
                PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
            });
        viewer.RunWith(script, 120000);
        EXPECT_TRUE(fillingWhenShown) << "the whole page went in before the viewer showed";
        EXPECT_TRUE(whole.scrollBar);
        ExpectSameContent(whole, filled);
        EXPECT_NE(std::string::npos, filled.text.find("</BODY></HTML>"));
    }
}

TEST(ViewerFill, ScrollSelectionAndResizeStayAsTheUserLeftThemWhileItFills)
{
    const std::wstring page = PageInPieces();
    ViewerUnderTest viewer(page.c_str(), kNoCharset);
    bool fillingAtStart = false;
    LRESULT lineWhileFilling = -1, lineAfter = -2;
    CHARRANGE selectionAfter = { -1, -1 };
    RECT editAfter = {}, expected = {};
    ModalScript script;
    script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
              fillingAtStart = viewer.Dialog().IsFilling();
              SetWindowPos(viewer.Window(), nullptr, 30, 30, 700, 520, SWP_NOZORDER);
              SendMessageA(viewer.Edit(), EM_SETSEL, 5, 9);
              for (int page = 0; page < 3; ++page) SendMessageA(viewer.Edit(), WM_VSCROLL, SB_PAGEDOWN, 0);
              lineWhileFilling = SendMessageA(viewer.Edit(), EM_GETFIRSTVISIBLELINE, 0, 0);
          })
        .When("filled", [&] { return !viewer.Dialog().IsFilling(); }, [&] {
            lineAfter = SendMessageA(viewer.Edit(), EM_GETFIRSTVISIBLELINE, 0, 0);
            selectionAfter = Selection(viewer.Edit());
            editAfter = ChildRectInClient(viewer.Window(), IDC_SOURCE);
            RECT client;
            GetClientRect(viewer.Window(), &client);
            expected = RECT{ 0, 2, client.right, 2 + client.bottom - 40 };
            PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
        });
    viewer.RunWith(script, 120000);
    EXPECT_TRUE(fillingAtStart);
    EXPECT_GT(lineWhileFilling, 0);
    EXPECT_EQ(lineWhileFilling, lineAfter) << "the text moved under the user while the page went in";
    EXPECT_EQ(5, selectionAfter.cpMin);
    EXPECT_EQ(9, selectionAfter.cpMax);
    EXPECT_TRUE(EqualRect(&expected, &editAfter)) << Describe(expected) << " " << Describe(editAfter);
}

// A large page takes a new width as a document built again at that width:
// the same content as one stream-in there, the user's first line and
// selection kept.
TEST(ViewerFill, WideningALargePageKeepsTheUsersPlaceAndTheContent)
{
    const std::wstring page = PageInPieces();
    ViewerUnderTest viewer(page.c_str(), kNoCharset);
    HWND before = nullptr;
    LONG firstChar = -1;
    bool placeKept = false;
    CHARRANGE selectionBefore = { -2, -2 }, selectionAfter = { -1, -1 };
    RECT editAfter = {}, expected = {};
    Content whole, widened;
    ModalScript script;
    script.When("filled", [&] { return viewer.Shown() && !viewer.Dialog().IsFilling(); }, [&] {
              before = viewer.Edit();
              SendMessageA(before, EM_SETSEL, 150000, 150010);
              SendMessageA(before, EM_SCROLLCARET, 0, 0);
              selectionBefore = Selection(before);
              firstChar = static_cast<LONG>(
                  SendMessageA(before, EM_LINEINDEX, SendMessageA(before, EM_GETFIRSTVISIBLELINE, 0, 0), 0));
              RECT frame;
              GetWindowRect(viewer.Window(), &frame);
              SetWindowPos(viewer.Window(), nullptr, 0, 0, frame.right - frame.left + 120, frame.bottom - frame.top,
                           SWP_NOMOVE | SWP_NOZORDER);
              HWND edit = viewer.Edit();
              placeKept = SendMessageA(edit, EM_EXLINEFROMCHAR, 0, firstChar) ==
                          SendMessageA(edit, EM_GETFIRSTVISIBLELINE, 0, 0);
              selectionAfter = Selection(edit);
              editAfter = ChildRectInClient(viewer.Window(), IDC_SOURCE);
              RECT client;
              GetClientRect(viewer.Window(), &client);
              expected = RECT{ 0, 2, client.right, 2 + client.bottom - 40 };
              whole = OneStreamIn(viewer.Window(), page, kNoCharset);
          })
        .When("filled again", [&] { return !viewer.Dialog().IsFilling(); }, [&] {
            widened = ReadContent(viewer.Edit());
            PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
        });
    viewer.RunWith(script, 120000);
    EXPECT_GT(firstChar, 100000);
    EXPECT_NE(before, viewer.Edit()) << "the control laid the large text out again itself";
    EXPECT_TRUE(placeKept) << "the line holding character " << firstChar << " is no longer the first one shown";
    EXPECT_EQ(selectionBefore.cpMin, selectionAfter.cpMin);
    EXPECT_EQ(selectionBefore.cpMax, selectionAfter.cpMax);
    EXPECT_TRUE(EqualRect(&expected, &editAfter)) << Describe(expected) << " " << Describe(editAfter);
    ExpectSameContent(whole, widened);
}

TEST(ViewerFill, CopyAndSaveWhileItFillsTakeTheWholePage)
{
    const std::wstring page = PageInPieces();
    const std::string folder = NewFolder("fill");
    ViewerUnderTest viewer(page.c_str(), kNoCharset);
    bool fillingAtCopy = false, fillingAtSave = false;
    std::string clip, text, rtf;
    ModalScript script;
    script.SetAnswerYes(true);
    script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
              fillingAtCopy = viewer.Dialog().IsFilling();
              SendMessageA(GetDlgItem(viewer.Window(), IDC_COPY), BM_CLICK, 0, 0);
              clip = ClipboardText();
              text = ControlText(viewer.Edit());
              rtf = ControlStream(viewer.Edit(), SF_RTF);
          })
        .When("closed and reopened", [] { return true; }, [&] {
            // A second viewer of the same page, still filling, saves.
            PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
        });
    viewer.RunWith(script, 120000);
    EXPECT_TRUE(fillingAtCopy);
    EXPECT_EQ(text.size(), clip.size());
    EXPECT_TRUE(text == clip) << "Copy did not take the whole page";
    EXPECT_NE(std::string::npos, clip.find("</BODY></HTML>"));

    ViewerUnderTest saving(page.c_str(), kNoCharset);
    ModalScript saveScript;
    saveScript.SetAnswerYes(true);
    saveScript.When("viewer shown", [&] { return saving.Shown(); }, [&] {
                  fillingAtSave = saving.Dialog().IsFilling();
                  PostMessageA(GetDlgItem(saving.Window(), IDC_SAVE), BM_CLICK, 0, 0);
              })
        .When("Save As dialog", [&] { return SaveDialog(saving) != nullptr; },
              [&] { TypeNameAndSave(SaveDialog(saving), folder + "page.rtf"); })
        .When("Save As dialog closed", [&] { return SaveDialog(saving) == nullptr && IsWindowEnabled(saving.Window()); },
              [&] { PostMessageA(saving.Window(), WM_COMMAND, IDCANCEL, 0); });
    saving.RunWith(saveScript, 120000);
    EXPECT_TRUE(fillingAtSave);
    const std::string saved = ReadFileBytes(folder + "page.rtf");
    EXPECT_EQ(rtf.size(), saved.size());
    EXPECT_TRUE(rtf == saved) << "Save did not write the whole page";
}

TEST(ViewerFill, EncodingMenuWhileItFillsRendersTheWholePageAgain)
{
    const std::wstring page = PageInPieces();
    ViewerUnderTest viewer(page.c_str(), RUSSIAN_CHARSET);
    bool fillingAtMenu = false;
    Content filled, whole;
    ModalScript script;
    script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
              fillingAtMenu = viewer.Dialog().IsFilling();
              whole = OneStreamIn(viewer.Window(), page, GREEK_CHARSET);
              SetForegroundWindow(viewer.Window());
              MoveMouseTo(CentreOf(viewer.Edit()));
              MouseButton(MOUSEEVENTF_RIGHTDOWN);
              MouseButton(MOUSEEVENTF_RIGHTUP);
          })
        .When("menu shown", [&] { return VisibleMenuWindow() != nullptr; }, [&] {
            for (WORD key : { VK_DOWN, VK_RIGHT, VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN }) PressKey(key);
        })
        .When("filled again", [&] {
            return VisibleMenuWindow() == nullptr && CharFormatAt(viewer.Edit(), 1).bCharSet == GREEK_CHARSET &&
                   !viewer.Dialog().IsFilling();
        }, [&] {
            filled = ReadContent(viewer.Edit());
            PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
        });
    viewer.RunWith(script, 120000);
    // The menu may have been taken while the first fill was still going or
    // just after it ended; either way the new render is whole.
    (void)fillingAtMenu;
    ExpectSameContent(whole, filled);
}

// The Encoding menu's loop runs while the text control waits in its own
// right-button message: a resize then must not replace the control under
// that message. The new width is taken once the menu is gone.
TEST(ViewerFill, WideningWhileTheEncodingMenuIsOpenWaitsForTheMenu)
{
    const std::wstring page = PageInPieces();
    ViewerUnderTest viewer(page.c_str(), kNoCharset);
    HWND atMenu = nullptr, duringMenu = nullptr;
    LRESULT length = -1, lengthAfter = -2;
    RECT editAfter = {}, expected = {};
    ModalScript script;
    script.When("filled", [&] { return viewer.Shown() && !viewer.Dialog().IsFilling(); }, [&] {
              atMenu = viewer.Edit();
              length = SendMessageA(atMenu, WM_GETTEXTLENGTH, 0, 0);
              SetForegroundWindow(viewer.Window());
              MoveMouseTo(CentreOf(atMenu));
              MouseButton(MOUSEEVENTF_RIGHTDOWN);
              MouseButton(MOUSEEVENTF_RIGHTUP);
          })
        .When("menu shown", [&] { return VisibleMenuWindow() != nullptr; }, [&] {
            RECT frame;
            GetWindowRect(viewer.Window(), &frame);
            SetWindowPos(viewer.Window(), nullptr, 0, 0, frame.right - frame.left + 120, frame.bottom - frame.top,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            duringMenu = viewer.Edit();
            PressKey(VK_ESCAPE);
        })
        .When("laid out at the new width", [&] {
            RECT client;
            GetClientRect(viewer.Window(), &client);
            expected = RECT{ 0, 2, client.right, 2 + client.bottom - 40 };
            editAfter = ChildRectInClient(viewer.Window(), IDC_SOURCE);
            return VisibleMenuWindow() == nullptr && !viewer.Dialog().IsFilling() && EqualRect(&expected, &editAfter);
        }, [&] {
            lengthAfter = SendMessageA(viewer.Edit(), WM_GETTEXTLENGTH, 0, 0);
            PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
        });
    viewer.RunWith(script, 120000);
    EXPECT_GT(length, 256 * 1024);
    EXPECT_EQ(atMenu, duringMenu) << "the text control was replaced inside its own message";
    EXPECT_TRUE(EqualRect(&expected, &editAfter)) << Describe(expected) << " " << Describe(editAfter);
    EXPECT_EQ(length, lengthAfter);
}

TEST(ViewerFill, ClosingWhileItFillsEndsTheViewerAndStoresThePlacement)
{
    const std::wstring page = PageInPieces();
    DeleteSettings();
    ViewerUnderTest viewer(page.c_str(), kNoCharset);
    bool fillingAtClose = false;
    ModalScript script;
    script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
        fillingAtClose = viewer.Dialog().IsFilling();
        PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(IDCANCEL, viewer.RunWith(script, 20000));
    EXPECT_TRUE(fillingAtClose);
    EXPECT_FALSE(viewer.Dialog().IsFilling());
    LONG cmd = -1;
    EXPECT_TRUE(ReadNumberSetting("WindowCmd", &cmd));
    // Nothing of the fill is left to run against the closed window.
    MSG message;
    const DWORD until = GetTickCount() + 200;
    while (GetTickCount() < until) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        Sleep(10);
    }
    EXPECT_EQ(nullptr, viewer.Window());
}
