// Find, Find Next, Go To Line, line wrap, zoom and the viewer's keys, on the
// real viewer under Wine, driven with keys typed as a user types them.
#include <windows.h>
#include <dlgs.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>
#include "support/ViewerHarness.h"
#include "resources/resource.h"
#include "server/ModuleContext.h"
#include "viewer/TextSearch.h"

namespace {

const int kNoCharset = -1;
const char kWrapValue[] = "WrapLongLines";

// --- Keys ------------------------------------------------------------------

void Key(WORD vk, bool up)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof(input));
}

// vk with a modifier held (0: none).
void Chord(WORD modifier, WORD vk)
{
    if (modifier) Key(modifier, false);
    Key(vk, false);
    Key(vk, true);
    if (modifier) Key(modifier, true);
}

void TypeText(const char* text)
{
    for (const char* p = text; *p; ++p) {
        const SHORT scan = VkKeyScanA(*p);
        Chord((scan & 0x100) ? VK_SHIFT : 0, LOBYTE(scan));
    }
}

// The viewer in front with its text focused, as after a click into it.
void FocusText(const ViewerUnderTest& viewer)
{
    SetForegroundWindow(viewer.Window());
    SetFocus(viewer.Edit());
}

struct BoxSearch {
    const char* caption;
    HWND found;
};

BOOL CALLBACK MatchMessageBox(HWND hWnd, LPARAM param)
{
    BoxSearch* search = reinterpret_cast<BoxSearch*>(param);
    char name[64] = "", caption[128] = "";
    GetClassNameA(hWnd, name, sizeof name);
    GetWindowTextA(hWnd, caption, sizeof caption);
    // A message box's text is control 0xFFFF, which the viewer has not.
    if (strcmp(name, "#32770") == 0 && strcmp(caption, search->caption) == 0 && IsWindowVisible(hWnd) &&
        GetDlgItem(hWnd, 0xFFFF)) {
        search->found = hWnd;
        return FALSE;
    }
    return TRUE;
}

// A message box of this thread with that caption (the viewer has it too).
HWND MessageBoxWith(const char* caption)
{
    BoxSearch search = { caption, nullptr };
    EnumThreadWindows(GetCurrentThreadId(), MatchMessageBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string WindowText(HWND window)
{
    char text[512] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string MessageText(HWND box)
{
    return WindowText(GetDlgItem(box, 0xFFFF));
}

std::string SelectedText(HWND edit)
{
    char text[1024] = "";
    const CHARRANGE range = Selection(edit);
    if (range.cpMax - range.cpMin >= static_cast<LONG>(sizeof text) / 2) return "(too long)";
    SendMessageA(edit, EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(text));
    return text;
}

bool SameRange(const CHARRANGE& a, LONG start, LONG end)
{
    return a.cpMin == start && a.cpMax == end;
}

const wchar_t kWords[] =
    L"<P>alpha Beta gamma</P>\n"            // Beta at 9
    L"<P>xbeta beta_ beta. BETA</P>\n"      // line 2 starts at 25 (a paragraph mark is 2 positions)
    L"last beta";

// Positions in the control of kWords (LF = 2 positions).
const LONG kBetaFirst = 9;
const LONG kLine2 = 25;
const LONG kBetaXbeta = kLine2 + 4;         // inside "xbeta"
const LONG kBetaUnderscore = kLine2 + 9;    // "beta_"
const LONG kBetaDot = kLine2 + 15;          // "beta."
const LONG kBetaUpper = kLine2 + 21;        // "BETA"
const LONG kLine3 = kLine2 + 29 + 2;
const LONG kBetaLast = kLine3 + 5;

} // namespace

// --- Find ------------------------------------------------------------------

TEST(ViewerFind, CtrlFTypingAndEnterSelectsTheMatch)
{
    ViewerUnderTest viewer(kWords, kNoCharset);
    HWND dialog = nullptr, owner = nullptr, window = nullptr;
    bool tabbedAway = false, tabbedBack = false;
    CHARRANGE found = { -1, -1 };
    std::string selected;
    ModalScript script;
    script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
              window = viewer.Window();
              FocusText(viewer);
              Chord(VK_CONTROL, 'F');
          })
        .When("Find dialog", [&] { return FindTextDialog() != nullptr; }, [&] {
            dialog = FindTextDialog();
            owner = GetWindow(dialog, GW_OWNER);
            TypeText("gamma");
            Chord(0, VK_TAB);
        })
        .After(100, "Tab moved on", [&] {
            tabbedAway = GetFocus() != GetDlgItem(dialog, edt1);
            Chord(VK_SHIFT, VK_TAB);
        })
        .After(100, "Shift+Tab came back", [&] {
            tabbedBack = GetFocus() == GetDlgItem(dialog, edt1);
            Chord(0, VK_RETURN);
        })
        .When("match selected", [&] { return Selection(viewer.Edit()).cpMax > 0; }, [&] {
            found = Selection(viewer.Edit());
            selected = SelectedText(viewer.Edit());
            // Esc in the Find dialog closes it, as Cancel does.
            Chord(0, VK_ESCAPE);
        })
        .When("Find dialog closed", [&] { return FindTextDialog() == nullptr; },
              [&] { PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0); });
    viewer.RunWith(script);
    EXPECT_NE(nullptr, dialog);
    EXPECT_EQ(window, owner) << "the Find dialog belongs to the viewer";
    // Through the module's context, looked up in Comdlg32 as Save As is.
    EXPECT_NE(nullptr, g_moduleContext.findTextA);
    EXPECT_EQ(GetProcAddress(g_moduleContext.comdlg32, "FindTextA"), g_moduleContext.findTextA);
    EXPECT_TRUE(tabbedAway) << "Tab works in the Find dialog";
    EXPECT_TRUE(tabbedBack);
    EXPECT_TRUE(SameRange(found, 14, 19)) << found.cpMin << "-" << found.cpMax;
    EXPECT_EQ("gamma", selected);
}

namespace {

struct FindCase {
    const char* what;
    bool matchCase;
    bool wholeWord;
    bool up;
    LONG from;          // the caret before the search
    LONG expected;      // start of the match; -1: "Cannot find"
};

} // namespace

// The dialog's own options, set as a user clicks them; the search runs on
// Enter. No wrapping at either end, as Notepad does it.
TEST(ViewerFind, MatchCaseWholeWordUpwardAndTheEnds)
{
    const FindCase cases[] = {
        { "beta", false, false, false, 0, kBetaFirst },
        { "beta", true, false, false, 0, kBetaXbeta },
        { "beta", false, true, false, kBetaFirst + 1, kBetaDot },
        { "BETA", true, true, false, 0, kBetaUpper },
        { "beta", false, false, true, kBetaUnderscore, kBetaXbeta },
        { "beta", true, true, true, kBetaLast, kBetaDot },
        { "alpha", false, false, true, 3, -1 },                 // the top: no wrapping
        { "beta", false, false, false, kBetaLast + 1, -1 },     // the end: no wrapping
        { "BETA", true, false, true, kBetaUpper, -1 },
        { "nowhere", false, false, false, 0, -1 },
    };
    ViewerUnderTest viewer(kWords, kNoCharset);
    size_t index = 0;
    std::vector<std::string> failures;
    std::vector<std::string> boxTexts;
    std::vector<HWND> boxOwners;
    bool viewerEnabledUnderBox = false, viewerEnabledAtEnd = false;
    HWND window = nullptr;
    ModalScript script;
    auto settle = std::make_shared<DWORD>(0);
    script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
              window = viewer.Window();
              FocusText(viewer);
              Chord(VK_CONTROL, 'F');
          })
        .When("Find dialog", [&] { return FindTextDialog() != nullptr; }, [] {});
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        script
            .When("set up the case", [] { return true; }, [&, i] {
                const FindCase& c = cases[i];
                index = i;
                HWND dialog = FindTextDialog();
                SendMessageA(viewer.Edit(), EM_SETSEL, c.from, c.from);
                SetDlgItemTextA(dialog, edt1, c.what);
                CheckDlgButton(dialog, chx2, c.matchCase ? BST_CHECKED : BST_UNCHECKED);
                CheckDlgButton(dialog, chx1, c.wholeWord ? BST_CHECKED : BST_UNCHECKED);
                SendMessageA(GetDlgItem(dialog, c.up ? rad1 : rad2), BM_CLICK, 0, 0);
                SetForegroundWindow(dialog);
                SetFocus(GetDlgItem(dialog, edt1));
                Chord(0, VK_RETURN);
                *settle = GetTickCount();
            })
            .When("search done",
                  [&, i] {
                      const bool moved = Selection(viewer.Edit()).cpMin != cases[i].from ||
                                         Selection(viewer.Edit()).cpMax != cases[i].from;
                      return moved || MessageBoxWith("Glimmerdeck") != nullptr ||
                             GetTickCount() - *settle > 2000;
                  },
                  [&, i] {
                      const FindCase& c = cases[i];
                      char label[160];
                      snprintf(label, sizeof label, "case %zu (\"%s\"%s%s%s from %ld)", i, c.what,
                               c.matchCase ? " case" : "", c.wholeWord ? " word" : "", c.up ? " up" : "", c.from);
                      HWND box = MessageBoxWith("Glimmerdeck");
                      const CHARRANGE got = Selection(viewer.Edit());
                      if (c.expected < 0) {
                          if (!box) failures.push_back(std::string(label) + ": no \"Cannot find\" message");
                      } else if (box || !SameRange(got, c.expected, c.expected + static_cast<LONG>(strlen(c.what)))) {
                          char text[96];
                          snprintf(text, sizeof text, ": selected %ld-%ld%s", got.cpMin, got.cpMax,
                                   box ? " and a message" : "");
                          failures.push_back(std::string(label) + text);
                      }
                      if (box) {
                          boxTexts.push_back(MessageText(box));
                          boxOwners.push_back(GetWindow(box, GW_OWNER));
                          if (IsWindowEnabled(window)) viewerEnabledUnderBox = true;
                          SetForegroundWindow(box);
                          Chord(0, VK_RETURN);
                      }
                  })
            .When("message dismissed", [] { return MessageBoxWith("Glimmerdeck") == nullptr; }, [] {});
    }
    script.When("all cases", [] { return true; }, [&] {
        viewerEnabledAtEnd = IsWindowEnabled(window) != FALSE;
        PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
    });
    viewer.RunWith(script, 60000);
    (void)index;
    for (const std::string& failure : failures) ADD_FAILURE() << failure;
    ASSERT_EQ(4u, boxTexts.size());
    EXPECT_EQ("Cannot find \"alpha\"", boxTexts[0]);
    EXPECT_EQ("Cannot find \"nowhere\"", boxTexts[3]);
    for (HWND owner : boxOwners) {
        EXPECT_NE(window, owner) << "the message belongs to the Find dialog";
        EXPECT_NE(nullptr, owner);
    }
    EXPECT_FALSE(viewerEnabledUnderBox) << "the viewer could be closed under the message";
    EXPECT_TRUE(viewerEnabledAtEnd) << "the viewer takes input again after the message";
}

TEST(ViewerFind, F3AndShiftF3RepeatTheSearchAfterTheDialogIsClosed)
{
    ViewerUnderTest viewer(kWords, kNoCharset);
    CHARRANGE first = { -1, -1 }, next = { -1, -1 }, back = { -1, -1 };
    ModalScript script;
    script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
              FocusText(viewer);
              Chord(VK_CONTROL, 'F');
          })
        .When("Find dialog", [&] { return FindTextDialog() != nullptr; }, [&] {
            TypeText("beta");
            Chord(0, VK_RETURN);
        })
        .When("first match", [&] { return Selection(viewer.Edit()).cpMax > 0; }, [&] {
            first = Selection(viewer.Edit());
            Chord(0, VK_ESCAPE);
        })
        .When("Find dialog closed", [&] { return FindTextDialog() == nullptr; }, [&] {
            FocusText(viewer);
            Chord(0, VK_F3);
        })
        .When("next match", [&] { return Selection(viewer.Edit()).cpMin != first.cpMin; }, [&] {
            next = Selection(viewer.Edit());
            Chord(VK_SHIFT, VK_F3);
        })
        .When("back", [&] { return Selection(viewer.Edit()).cpMin != next.cpMin; }, [&] {
            back = Selection(viewer.Edit());
            PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
        });
    viewer.RunWith(script);
    EXPECT_TRUE(SameRange(first, kBetaFirst, kBetaFirst + 4));
    EXPECT_TRUE(SameRange(next, kBetaXbeta, kBetaXbeta + 4)) << next.cpMin;
    EXPECT_TRUE(SameRange(back, kBetaFirst, kBetaFirst + 4)) << back.cpMin;
}

TEST(ViewerFind, FindStartsWithTheSelectedTextWithinOneLine)
{
    ViewerUnderTest viewer(kWords, kNoCharset);
    std::string offered, offeredAcrossLines;
    ModalScript script;
    script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
              FocusText(viewer);
              SendMessageA(viewer.Edit(), EM_SETSEL, 3, 8);     // "alpha"
              Chord(VK_CONTROL, 'F');
          })
        .When("Find dialog", [&] { return FindTextDialog() != nullptr; }, [&] {
            offered = WindowText(GetDlgItem(FindTextDialog(), edt1));
            Chord(0, VK_ESCAPE);
        })
        .When("Find dialog closed", [&] { return FindTextDialog() == nullptr; }, [&] {
            FocusText(viewer);
            SendMessageA(viewer.Edit(), EM_SETSEL, 15, kLine2 + 3);
            Chord(VK_CONTROL, 'F');
        })
        .When("Find dialog again", [&] { return FindTextDialog() != nullptr; }, [&] {
            offeredAcrossLines = WindowText(GetDlgItem(FindTextDialog(), edt1));
            PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
        });
    viewer.RunWith(script);
    EXPECT_EQ("alpha", offered);
    EXPECT_EQ("alpha", offeredAcrossLines) << "a selection over two lines keeps the last text sought";
    EXPECT_EQ(nullptr, FindTextDialog()) << "closing the viewer closes the Find dialog";
}

// Under a double-byte code page the control counts a double-byte character
// as one position when it reads the text in that code page, and as two
// when the font's charset is a single-byte one.
TEST(ViewerFind, MatchAfterDoubleByteTextIsSelectedInEveryCharset)
{
    const wchar_t page[] = L"<P>\x65E5\x672C\x8A9E</P>\n<P>\x65E5\x672C \x8A9E target</P>";
    const int charsets[] = { kNoCharset, SHIFTJIS_CHARSET, ANSI_CHARSET };
    for (int charset : charsets) {
        SCOPED_TRACE(charset);
        ViewerUnderTest viewer(page, charset);
        std::string selected;
        ModalScript script;
        script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
                  FocusText(viewer);
                  Chord(VK_CONTROL, 'F');
              })
            .When("Find dialog", [&] { return FindTextDialog() != nullptr; }, [&] {
                TypeText("target");
                Chord(0, VK_RETURN);
            })
            .When("match selected", [&] { return Selection(viewer.Edit()).cpMax > 0; }, [&] {
                selected = SelectedText(viewer.Edit());
                PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
            });
        viewer.RunWith(script);
        EXPECT_EQ("target", selected);
    }
}

namespace {

// A page of some hundred kilobytes with a word that occurs only near its end.
std::wstring LargePageWithLateWord(const wchar_t* word)
{
    std::wstring page = L"<HTML><BODY>\n";
    wchar_t line[160];
    for (int i = 0; page.size() < 600000; ++i) {
        swprintf(line, 160, L"<TR CLASS=\"r%d\"><TD>cell %d</TD><!-- note %d --></TR>\n", i % 7, i, i);
        page += line;
    }
    page += L"<P>the ";
    page += word;
    page += L" is here</P>\n</BODY></HTML>";
    return page;
}

} // namespace

TEST(ViewerFind, FindDuringTheFillShowsAMatchTheControlDoesNotHoldYet)
{
    const std::wstring page = LargePageWithLateWord(L"zebrafinch");
    ViewerUnderTest viewer(page.c_str(), kNoCharset);
    CTextSearch search;
    search.SetText(CString(page.c_str()));
    const LONG expected = search.PositionOf(search.Find("zebrafinch", 0, CTextSearch::kDown), GetACP());
    bool fillingAtPress = false;
    LONG heldAtPress = -1;
    CHARRANGE found = { -1, -1 };
    std::string selected;
    LRESULT firstVisible = -1, lineOfMatch = -2;
    ModalScript script;
    script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
              FocusText(viewer);
              Chord(VK_CONTROL, 'F');
          })
        .When("Find dialog", [&] { return FindTextDialog() != nullptr; }, [&] {
            TypeText("zebrafinch");
            fillingAtPress = viewer.Dialog().IsFilling();
            heldAtPress = GetWindowTextLengthA(viewer.Edit());
            Chord(0, VK_RETURN);
        })
        .When("match shown", [&] { return Selection(viewer.Edit()).cpMax > 0; }, [&] {
            found = Selection(viewer.Edit());
            selected = SelectedText(viewer.Edit());
            firstVisible = SendMessageA(viewer.Edit(), EM_GETFIRSTVISIBLELINE, 0, 0);
            lineOfMatch = SendMessageA(viewer.Edit(), EM_EXLINEFROMCHAR, 0, found.cpMin);
            PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
        });
    viewer.RunWith(script, 120000);
    EXPECT_TRUE(fillingAtPress);
    EXPECT_LT(heldAtPress, expected) << "the control held the match already";
    EXPECT_TRUE(SameRange(found, expected, expected + 10)) << found.cpMin;
    EXPECT_EQ("zebrafinch", selected);
    EXPECT_LE(firstVisible, lineOfMatch);
    EXPECT_GT(lineOfMatch - firstVisible, -1) << "the match is scrolled into view";
    EXPECT_LT(lineOfMatch - firstVisible, 60) << "the match is scrolled into view";
}

// --- Go To Line --------------------------------------------------------------

namespace {

HWND GoToLineDialog()
{
    return FindThreadWindow("#32770", "Go To Line");
}

struct LinePage {
    const char* what;
    const wchar_t* markup;
    LONG thirdLine;     // the control's position of the third line's start
};

} // namespace

TEST(ViewerGoToLine, GoesToTheStartOfAPageLineAndRefusesOneBeyondTheEnd)
{
    // A carriage return alone is no paragraph mark in the control, but it
    // ends a line of the page.
    const LinePage pages[] = {
        { "LF", L"one\ntwo\nthree", 3 + 2 + 3 + 2 },
        { "CR", L"one\rtwo\rthree", 6 },
        { "CR LF", L"one\r\ntwo\r\nthree", 3 + 2 + 3 + 2 },
    };
    for (const LinePage& p : pages) {
        SCOPED_TRACE(p.what);
        ViewerUnderTest viewer(p.markup, kNoCharset);
        std::string caption, beyond, offered;
        bool openAfterBeyond = false;
        CHARRANGE caret = { -1, -1 };
        ModalScript script;
        script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
                  FocusText(viewer);
                  Chord(VK_CONTROL, 'G');
              })
            .When("Go To Line", [&] { return GoToLineDialog() != nullptr; }, [&] {
                HWND dialog = GoToLineDialog();
                caption = WindowText(dialog);
                offered = WindowText(GetDlgItem(dialog, IDC_LINE_NUMBER));
                TypeText("4");
                Chord(0, VK_RETURN);
            })
            .When("refused", [&] { return MessageBoxWith("Glimmerdeck") != nullptr; }, [&] {
                HWND box = MessageBoxWith("Glimmerdeck");
                beyond = MessageText(box);
                Chord(0, VK_RETURN);
            })
            .When("message dismissed", [&] { return MessageBoxWith("Glimmerdeck") == nullptr; }, [&] {
                openAfterBeyond = GoToLineDialog() != nullptr;
                SetFocus(GetDlgItem(GoToLineDialog(), IDC_LINE_NUMBER));
                SendMessageA(GetDlgItem(GoToLineDialog(), IDC_LINE_NUMBER), EM_SETSEL, 0, -1);
                TypeText("3");
                Chord(0, VK_RETURN);
            })
            .When("Go To Line closed", [&] { return GoToLineDialog() == nullptr; }, [&] {
                caret = Selection(viewer.Edit());
                PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
            });
        viewer.RunWith(script);
        EXPECT_EQ("1", offered) << "the box offers the caret's line";
        EXPECT_EQ("The line number is beyond the total number of lines", beyond);
        EXPECT_TRUE(openAfterBeyond);
        EXPECT_TRUE(SameRange(caret, p.thirdLine, p.thirdLine)) << caret.cpMin << "-" << caret.cpMax;
    }
}

// --- Wrap --------------------------------------------------------------------

namespace {

const DWORD kNoWrap = WS_HSCROLL | ES_AUTOHSCROLL;
// The scroll bar styles come and go with the bars the control shows.
const DWORD kScrollBars = WS_HSCROLL | WS_VSCROLL;

std::wstring LongLinePage()
{
    std::wstring page = L"<P>";
    for (int i = 0; i < 400; ++i) page += L"word ";
    page += L"</P>\nsecond line";
    return page;
}

struct WrapSeen {
    DWORD style = 0;
    LRESULT lines = 0;
    UINT menuState = 0;
};

WrapSeen SeeWrap(const ViewerUnderTest& viewer)
{
    WrapSeen seen;
    seen.style = static_cast<DWORD>(GetWindowLongPtrA(viewer.Edit(), GWL_STYLE));
    seen.lines = SendMessageA(viewer.Edit(), EM_GETLINECOUNT, 0, 0);
    seen.menuState = GetMenuState(GetSystemMenu(viewer.Window(), FALSE), ID_VIEW_WRAP, MF_BYCOMMAND);
    return seen;
}

} // namespace

TEST(ViewerWrap, SwitchingIsRememberedByTheNextViewer)
{
    DeleteSettings();
    const std::wstring page = LongLinePage();
    WrapSeen first, switched, next, back;
    LONG stored = -1, storedBack = -1;
    {
        ViewerUnderTest viewer(page.c_str(), kNoCharset);
        ModalScript script;
        script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
                  first = SeeWrap(viewer);
                  // The window menu's item, as a click on it sends it.
                  PostMessageA(viewer.Window(), WM_SYSCOMMAND, ID_VIEW_WRAP, 0);
              })
            .After(200, "switched", [&] {
                switched = SeeWrap(viewer);
                PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
            });
        viewer.RunWith(script);
    }
    ReadNumberSetting(kWrapValue, &stored);
    {
        ViewerUnderTest viewer(page.c_str(), kNoCharset);
        ModalScript script;
        script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
                  next = SeeWrap(viewer);
                  PostMessageA(viewer.Window(), WM_SYSCOMMAND, ID_VIEW_WRAP, 0);
              })
            .After(200, "switched back", [&] {
                back = SeeWrap(viewer);
                PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
            });
        viewer.RunWith(script);
    }
    ReadNumberSetting(kWrapValue, &storedBack);

    EXPECT_EQ(0u, first.style & kNoWrap) << "wrapping, the control is the template's";
    EXPECT_GT(first.lines, 3);
    EXPECT_TRUE(first.menuState & MF_CHECKED);
    EXPECT_EQ(first.style & ~kScrollBars, switched.style & ~kScrollBars & ~ES_AUTOHSCROLL);
    EXPECT_EQ(kNoWrap, switched.style & kNoWrap) << "a horizontal scroll bar for the long line";
    EXPECT_EQ(2, switched.lines) << "one line of words and the second line";
    EXPECT_FALSE(switched.menuState & MF_CHECKED);
    EXPECT_EQ(0, stored);
    EXPECT_EQ(switched.style, next.style);
    EXPECT_EQ(2, next.lines);
    EXPECT_FALSE(next.menuState & MF_CHECKED);
    EXPECT_EQ(first.style, back.style);
    EXPECT_EQ(first.lines, back.lines);
    EXPECT_TRUE(back.menuState & MF_CHECKED);
    EXPECT_EQ(1, storedBack);
    DeleteSettings();
}

TEST(ViewerWrap, AValueThatIsMissingOrNoDwordMeansOn)
{
    struct Case {
        const char* what;
        DWORD type;
        std::vector<BYTE> data;
        bool wraps;
    };
    const Case cases[] = {
        { "missing", REG_NONE, {}, true },
        { "DWORD 0", REG_DWORD, { 0, 0, 0, 0 }, false },
        { "DWORD 7", REG_DWORD, { 7, 0, 0, 0 }, true },
        { "string \"0\"", REG_SZ, { '0', 0 }, true },
        { "binary of four zero bytes", REG_BINARY, { 0, 0, 0, 0 }, true },
        { "QWORD 0", REG_QWORD, { 0, 0, 0, 0, 0, 0, 0, 0 }, true },
        { "DWORD of two bytes", REG_DWORD, { 0, 0 }, true },
    };
    const std::wstring page = LongLinePage();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteSettings();
        if (c.type != REG_NONE) WriteSetting(kWrapValue, c.type, c.data.data(), static_cast<DWORD>(c.data.size()));
        ViewerUnderTest viewer(page.c_str(), kNoCharset);
        WrapSeen seen;
        ModalScript script;
        script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
            seen = SeeWrap(viewer);
            PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
        });
        viewer.RunWith(script);
        EXPECT_EQ(c.wraps ? 0u : kNoWrap, seen.style & kNoWrap);
        EXPECT_EQ(c.wraps, seen.lines > 2) << seen.lines << " lines";
    }
    DeleteSettings();
}

// --- Zoom --------------------------------------------------------------------

namespace {

std::string Zoom(HWND edit)
{
    WPARAM numerator = 0;
    LPARAM denominator = 0;
    SendMessageA(edit, EM_GETZOOM, reinterpret_cast<WPARAM>(&numerator), reinterpret_cast<LPARAM>(&denominator));
    return std::to_string(numerator) + "/" + std::to_string(denominator);
}

} // namespace

TEST(ViewerZoom, KeysAndWheelStepBetweenHalfAndFourTimesAndChangeNoText)
{
    const wchar_t page[] = L"<HTML><BODY CLASS=\"x\"><!-- note --><P>Text</P></BODY></HTML>";
    ViewerUnderTest viewer(page, RUSSIAN_CHARSET);
    std::string rtfBefore, textBefore, rtfZoomed, textZoomed, clipboardZoomed;
    std::string afterOneIn, atTop, atBottom, afterReset, afterWheel, afterRebuild;
    BYTE charsetAfterRebuild = 0;
    ModalScript script;
    script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
              rtfBefore = ControlStream(viewer.Edit(), SF_RTF);
              textBefore = ControlText(viewer.Edit());
              FocusText(viewer);
              Chord(VK_CONTROL, VK_OEM_PLUS);
          })
        .After(100, "one step in", [&] {
            afterOneIn = Zoom(viewer.Edit());
            for (int i = 0; i < 20; ++i) Chord(VK_CONTROL, VK_ADD);
        })
        .After(300, "past the top", [&] {
            atTop = Zoom(viewer.Edit());
            rtfZoomed = ControlStream(viewer.Edit(), SF_RTF);
            textZoomed = ControlText(viewer.Edit());
            for (int i = 0; i < 30; ++i) Chord(VK_CONTROL, VK_OEM_MINUS);
        })
        .After(300, "past the bottom", [&] {
            atBottom = Zoom(viewer.Edit());
            Chord(VK_CONTROL, '0');
        })
        .After(100, "actual size", [&] {
            afterReset = Zoom(viewer.Edit());
            // One notch of the wheel towards the user with Ctrl held.
            POINT centre = { 0, 0 };
            RECT r;
            GetWindowRect(viewer.Edit(), &r);
            centre = POINT{ (r.left + r.right) / 2, (r.top + r.bottom) / 2 };
            MoveMouseTo(centre);
            Key(VK_CONTROL, false);
            INPUT wheel = {};
            wheel.type = INPUT_MOUSE;
            wheel.mi.dwFlags = MOUSEEVENTF_WHEEL;
            wheel.mi.mouseData = static_cast<DWORD>(WHEEL_DELTA);
            SendInput(1, &wheel, sizeof wheel);
            Key(VK_CONTROL, true);
        })
        .After(200, "wheel", [&] {
            afterWheel = Zoom(viewer.Edit());
            // The Encoding menu's rebuild puts a fresh control in place.
            viewer.Dialog().BuildDocument();
        })
        .After(200, "rebuilt", [&] {
            afterRebuild = Zoom(viewer.Edit());
            charsetAfterRebuild = CharFormatAt(viewer.Edit(), 1).bCharSet;
            PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
        });
    viewer.RunWith(script);
    EXPECT_EQ("110/100", afterOneIn);
    EXPECT_EQ("400/100", atTop);
    EXPECT_EQ("50/100", atBottom);
    EXPECT_EQ("0/0", afterReset) << "actual size turns the control's zoom off";
    EXPECT_EQ("110/100", afterWheel);
    EXPECT_EQ("110/100", afterRebuild) << "a fresh control keeps the zoom";
    EXPECT_EQ(RUSSIAN_CHARSET, charsetAfterRebuild);
    EXPECT_EQ(rtfBefore, rtfZoomed) << "zoom changes nothing that Save writes";
    EXPECT_EQ(textBefore, textZoomed);
}

// --- Keys and the window menu --------------------------------------------------

TEST(ViewerKeys, WindowMenuListsTheCommandsWithTheirKeysBelowASeparator)
{
    struct Item {
        UINT id;
        const wchar_t* text;
    };
    const Item expected[] = {
        { ID_VIEW_FIND, L"&Find\x2026\tCtrl+F" },
        { ID_VIEW_FIND_NEXT, L"Find &Next\tF3" },
        { ID_VIEW_GO_TO_LINE, L"&Go To Line\x2026\tCtrl+G" },
        { ID_VIEW_WRAP, L"&Wrap Long Lines" },
        { ID_VIEW_ZOOM_IN, L"Zoom &In\tCtrl++" },
        { ID_VIEW_ZOOM_OUT, L"Zoom &Out\tCtrl+-" },
        { ID_VIEW_ZOOM_RESET, L"&Actual Size\tCtrl+0" },
    };
    const int count = static_cast<int>(sizeof expected / sizeof expected[0]);
    ViewerUnderTest viewer(L"<P>x</P>", kNoCharset);
    std::vector<std::wstring> texts;
    std::vector<UINT> ids;
    UINT separator = 0;
    ModalScript script;
    script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
        HMENU menu = GetSystemMenu(viewer.Window(), FALSE);
        const int total = GetMenuItemCount(menu);
        separator = GetMenuState(menu, total - count - 1, MF_BYPOSITION);
        for (int i = total - count; i < total; ++i) {
            wchar_t text[128] = L"";
            GetMenuStringW(menu, i, text, 128, MF_BYPOSITION);
            texts.push_back(text);
            ids.push_back(GetMenuItemID(menu, i));
        }
        PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
    });
    viewer.RunWith(script);
    EXPECT_TRUE(separator & MF_SEPARATOR);
    ASSERT_EQ(static_cast<size_t>(count), texts.size());
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(expected[i].id, ids[i]);
        EXPECT_TRUE(expected[i].text == texts[i]) << "item " << i;
        EXPECT_EQ(0u, ids[i] & 0xF) << "the system keeps the low four bits of a window-menu command";
        EXPECT_LT(ids[i], 0xF000u);
    }
}

TEST(ViewerKeys, CtrlSOpensSaveAsAndCtrlASelectsTheWholePage)
{
    const wchar_t page[] = L"<P>first</P>\n<P>second</P>";
    ViewerUnderTest viewer(page, kNoCharset);
    bool saveAsSeen = false;
    CHARRANGE all = { -1, -1 };
    LONG length = -1;
    std::string copied;
    std::vector<std::string> formats;
    SetClipboardText("before");
    ModalScript script;
    script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
              FocusText(viewer);
              Chord(VK_CONTROL, 'S');
          })
        .When("Save As", [&] { return FindThreadWindow("#32770", "Save Web Glimmerdeck As") != nullptr; }, [&] {
            saveAsSeen = true;
            HWND dialog = FindThreadWindow("#32770", "Save Web Glimmerdeck As");
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        })
        .When("Save As closed",
              [&] { return !FindThreadWindow("#32770", "Save Web Glimmerdeck As") && IsWindowEnabled(viewer.Window()); },
              [&] {
                  FocusText(viewer);
                  Chord(VK_CONTROL, 'A');
              })
        .After(100, "all selected", [&] {
            all = Selection(viewer.Edit());
            length = GetWindowTextLengthA(viewer.Edit());
            // Ctrl+C is the control's own: it copies the selection.
            SendMessageA(viewer.Edit(), EM_SETSEL, 3, 8);
            Chord(VK_CONTROL, 'C');
        })
        .After(200, "copied", [&] {
            copied = ClipboardText();
            if (OpenClipboard(nullptr)) {
                for (UINT format = EnumClipboardFormats(0); format; format = EnumClipboardFormats(format)) {
                    char name[64] = "";
                    if (GetClipboardFormatNameA(format, name, sizeof name)) formats.push_back(name);
                }
                CloseClipboard();
            }
            PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
        });
    viewer.RunWith(script, 30000);
    EXPECT_TRUE(saveAsSeen);
    EXPECT_EQ(0, all.cpMin);
    EXPECT_GE(all.cpMax, length) << "the whole text is selected";
    EXPECT_EQ("first", copied);
    // The control offers its selection as RTF too, so a paste into a rich
    // text editor keeps the colours.
    EXPECT_NE(formats.end(), std::find(formats.begin(), formats.end(), std::string("Rich Text Format")));
}
