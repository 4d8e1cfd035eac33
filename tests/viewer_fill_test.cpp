// The fill: how the pacer sizes the pieces of a page, without a window; and
// the real viewer under Wine taking a large page in pieces while the user
// scrolls, selects, resizes, copies, saves and changes the encoding.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <vector>
#include "support/TestSupport.h"
#include "support/ViewerHarness.h"
#include "resources/resource.h"
#include "viewer/FillPacer.h"
#include "viewer/RtfDocument.h"
#include "viewer/ShownMarkup.h"

namespace {

const int kNoCharset = -1;

// A room with no limit that a test process comes near.
CFillRoom PlentyOfRoom()
{
    return CFillRoom(~0ull);
}

struct FillFigures {
    int pieces = 0;
    long long walked = 0;       // the body already in, summed over the pieces
};

// A fill of a page of pageBytes into a control that walks the text already
// in for every piece: each piece takes a millisecond for every walkRate
// bytes in, and one more.
FillFigures SimulateFill(int pageBytes, int walkRate)
{
    CFillPacer pacer(PlentyOfRoom());
    pacer.Start();
    FillFigures figures;
    int in = 0;
    while (in < pageBytes) {
        const int size = pacer.NextPieceBytes(pageBytes - in, false);
        if (size <= 0) break;
        const int bytes = size < pageBytes - in ? size : pageBytes - in;
        figures.walked += in;
        ++figures.pieces;
        in += bytes;
        pacer.PieceWentIn(bytes, static_cast<DWORD>(in / walkRate + 1), in);
    }
    return figures;
}

} // namespace

// --- The pacer, without a window -------------------------------------------

// Each piece costs a walk over the text already in: were the pieces sized by
// time alone, a slow control would get ever smaller pieces and the fill
// would grow with the square of the page. The walks stay within a fixed
// multiple of the page, whatever its size.
TEST(FillPacer, PiecesGrowWithTheTextAlreadyInSoTheFillStaysLinear)
{
    struct Case { int pageBytes; int walkRate; };
    const Case cases[] = { { 1000000, 2000 }, { 5000000, 2000 }, { 5000000, 500 } };
    for (const Case& c : cases) {
        const FillFigures figures = SimulateFill(c.pageBytes, c.walkRate);
        const double multiple = static_cast<double>(figures.walked) / c.pageBytes;
        printf("  page %d bytes, %d bytes walked per ms: %d pieces, walks %.1f times the page\n", c.pageBytes,
               c.walkRate, figures.pieces, multiple);
        EXPECT_LT(multiple, 32.0) << "page of " << c.pageBytes << " bytes";
        EXPECT_LT(figures.pieces, 200) << "page of " << c.pageBytes << " bytes";
    }
}

TEST(FillPacer, ASlowPieceShrinksTheNextAndAFastOneGrowsIt)
{
    const int page = 50000000;
    CFillPacer pacer(PlentyOfRoom());
    pacer.Start();
    int in = 0;
    const int first = pacer.NextPieceBytes(page, false);
    ASSERT_GT(first, 0);
    in += first;
    pacer.PieceWentIn(first, 1, in);
    const int grown = pacer.NextPieceBytes(page - in, false);
    EXPECT_GT(grown, first) << "a fast piece did not grow the next";
    EXPECT_LE(grown, 2 * first) << "a piece more than doubled the last";
    in += grown;
    pacer.PieceWentIn(grown, 1, in);
    const int before = pacer.NextPieceBytes(page - in, false);
    in += before;
    pacer.PieceWentIn(before, 10 * CFillPacer::kPieceMs, in);
    const int shrunk = pacer.NextPieceBytes(page - in, false);
    EXPECT_LT(shrunk, before) << "a piece ten times too slow did not shrink the next";
    EXPECT_GT(shrunk, 0);

    // Fast pieces grow to a ceiling, and the whole rest wanted at once goes
    // in larger pieces still.
    int last = 0, size = 0;
    for (int piece = 0; piece < 40; ++piece) {
        last = size;
        size = pacer.NextPieceBytes(page - in, false);
        in += size;
        pacer.PieceWentIn(size, 1, in);
    }
    EXPECT_EQ(last, size) << "fast pieces grew without bound";
    EXPECT_GT(pacer.NextPieceBytes(page - in, true), size);
}

TEST(FillPacer, NoRoomEndsTheFillAfterThreeTicksOrAtOnceWhenFinishing)
{
    CFillPacer ticking{ CFillRoom(0) };
    ticking.Start();
    for (int tick = 1; tick <= 3; ++tick) {
        EXPECT_EQ(0, ticking.NextPieceBytes(100000, false)) << "tick " << tick;
        EXPECT_EQ(tick == 3, ticking.DropsTheRest()) << "tick " << tick;
    }
    ticking.Start();
    EXPECT_FALSE(ticking.DropsTheRest()) << "a new fill inherited the last one's verdict";

    CFillPacer finishing{ CFillRoom(0) };
    finishing.Start();
    EXPECT_EQ(0, finishing.NextPieceBytes(100000, true));
    EXPECT_TRUE(finishing.DropsTheRest());

    // With room, the pieces go in whatever the room had said before.
    CFillPacer roomy(PlentyOfRoom());
    roomy.Start();
    EXPECT_GT(roomy.NextPieceBytes(100000, false), 0);
    EXPECT_FALSE(roomy.DropsTheRest());
}

// --- A page that goes into the real control in pieces ----------------------

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
    bool fillingAtClick = false;
    Content filled, whole;
    ModalScript script;
    script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
              whole = OneStreamIn(viewer.Window(), page, GREEK_CHARSET);
              fillingAtClick = viewer.Dialog().IsFilling();
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
    // The click went in while the first fill was going; the menu itself may
    // open just after that fill ended. Either way the new render is whole.
    EXPECT_TRUE(fillingAtClick) << "the whole page went in before the click";
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
