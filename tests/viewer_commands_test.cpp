// Copy, Save and the Encoding menu on the real viewer under Wine: the real
// clipboard, the system's Save As dialog with names typed into it, and the
// pop-up menu opened by a real right-button release over the text.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <set>
#include "support/TestSupport.h"
#include "support/ViewerHarness.h"
#include "resources/resource.h"
#include "viewer/RtfDocument.h"
#include "viewer/SaveSettings.h"

namespace {

const int kNoCharset = -1;

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
