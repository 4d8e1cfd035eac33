// The viewer on the real rich edit under Wine: what the control holds after
// the document streamed in, the layout on resizes, closing, and placement.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include "support/ViewerHarness.h"
#include "resources/resource.h"
#include "viewer/RtfDocument.h"

namespace {

const int kNoCharset = -1;
const COLORREF kBlue = RGB(0, 0, 255);
const COLORREF kTeal = RGB(0, 128, 128);
const COLORREF kGreen = RGB(0, 110, 0);
const COLORREF kGrey = RGB(130, 130, 130);
const COLORREF kPurple = RGB(128, 0, 128);
const COLORREF kAuto = 0xFF000000;      // marks "the automatic colour" in the tables

std::string TrimTrailingBreaks(std::string text)
{
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
    return text;
}

std::string Narrow(const wchar_t* wide)
{
    char buffer[4096];
    int n = WideCharToMultiByte(CP_ACP, 0, wide, -1, buffer, sizeof(buffer), nullptr, nullptr);
    return n > 0 ? std::string(buffer, n - 1) : std::string();
}

} // namespace

// --- The document as the control holds it -------------------------------

TEST(ViewerDocument, StreamInHandsOutTheSameBytesInTheChunksAsked)
{
    const char document[] = "0123456789";
    CViewerDialog::StreamInSource source = { document, 10, 0 };
    std::string received;
    std::vector<LONG> chunks;
    for (int call = 0; call < 10; ++call) {
        BYTE buffer[4];
        LONG count = -1;
        EXPECT_EQ(0u, CViewerDialog::StreamInCallback(reinterpret_cast<DWORD_PTR>(&source), buffer, 4, &count));
        chunks.push_back(count);
        received.append(reinterpret_cast<char*>(buffer), count);
        if (count == 0) break;
    }
    EXPECT_EQ("0123456789", received);
    EXPECT_EQ((std::vector<LONG>{ 4, 4, 2, 0 }), chunks);
}

TEST(ViewerDocument, TextReadBackEqualsTheMarkup)
{
    struct Case { const wchar_t* markup; const char* text; };
    const Case cases[] = {
        { L"<B>x</B>", "<B>x</B>" },
        { L"<A HREF='x'>link</A>", "<A HREF='x'>link</A>" },
        { L"a{b}\\c", "a{b}\\c" },
        { L"<P>one\r\ntwo\nthree</P>", "<P>one\r\ntwo\r\nthree</P>" },
        { L"<SCRIPT>if (a<b) x = \"y\";</SCRIPT>", "<SCRIPT>if (a<b) x = \"y\";</SCRIPT>" },
        { L"", "" },
    };
    for (const Case& c : cases) {
        ViewerUnderTest viewer(c.markup, kNoCharset);
        std::string text = "(not read)";
        ModalScript script;
        script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
                  text = ControlText(viewer.Edit());
                  PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
              });
        viewer.RunWith(script);
        // The trailer's paragraph mark ends the text with a line break.
        EXPECT_EQ(c.text, TrimTrailingBreaks(text)) << "markup: " << Narrow(c.markup);
    }
}

TEST(ViewerDocument, ColoursAndBoldOfEachPartOfTheMarkup)
{
    const wchar_t markup[] =
        L"<HTML><!-- note --><SCRIPT>var a=1;</SCRIPT><BODY CLASS=\"main\" ID=x>Hi</BODY></HTML>";
    struct Case { const char* what; const char* needle; int offset; COLORREF colour; bool bold; };
    const Case cases[] = {
        { "opening bracket",        "<HTML",       0, kAuto,   true },
        { "tag name",               "HTML>",       0, kBlue,   false },
        { "comment opening",        "!-- note",    0, kGrey,   false },
        { "comment text",           "note",        0, kGrey,   false },
        { "comment's closing >",    "--><SCRIPT",  2, kAuto,   true },
        { "script tag name",        "SCRIPT>var",  0, kBlue,   false },
        { "script body",            "var a",       0, kGreen,  false },
        { "script body's =",        "=1;",         0, kGreen,  false },
        { "end tag name",           "/SCRIPT",     1, kBlue,   false },
        { "attribute name",         "CLASS",       0, kTeal,   false },
        { "attribute =",            "=\"main",     0, kPurple, false },
        { "quoted value",           "main",        0, kPurple, false },
        { "second attribute name",  "ID=",         0, kTeal,   false },
        { "unquoted value",         "=x",          1, kPurple, false },
        { "text between tags",      "Hi",          0, kAuto,   false },
        { "closing bracket",        ">Hi",         0, kAuto,   true },
    };
    ViewerUnderTest viewer(markup, kNoCharset);
    std::string text;
    std::vector<CHARFORMATA> formats;
    ModalScript script;
    script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
              text = ControlText(viewer.Edit());
              for (const Case& c : cases) {
                  size_t at = text.find(c.needle);
                  formats.push_back(at == std::string::npos ? CHARFORMATA{}
                                                            : CharFormatAt(viewer.Edit(), LONG(at + c.offset)));
              }
              PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
          });
    viewer.RunWith(script);
    ASSERT_EQ(Narrow(markup), TrimTrailingBreaks(text));
    ASSERT_EQ(std::size(cases), formats.size());
    for (size_t i = 0; i < formats.size(); ++i) {
        const Case& c = cases[i];
        const CHARFORMATA& f = formats[i];
        SCOPED_TRACE(c.what);
        if (c.colour == kAuto) {
            EXPECT_TRUE((f.dwEffects & CFE_AUTOCOLOR) || f.crTextColor == 0)
                << "expected the automatic colour, got " << std::hex << f.crTextColor;
        } else {
            EXPECT_FALSE(f.dwEffects & CFE_AUTOCOLOR);
            EXPECT_EQ(c.colour, f.crTextColor) << std::hex << "expected " << c.colour << " got " << f.crTextColor;
        }
        EXPECT_EQ(c.bold, (f.dwEffects & CFE_BOLD) != 0);
    }
}

TEST(ViewerDocument, FontIsCourierNewTenPointsInTheGivenCharset)
{
    struct Case { int charset; BYTE controlCharset; };
    const Case cases[] = {
        { RUSSIAN_CHARSET, RUSSIAN_CHARSET },
        { ANSI_CHARSET, ANSI_CHARSET },
        { GREEK_CHARSET, GREEK_CHARSET },
        { EASTEUROPE_CHARSET, EASTEUROPE_CHARSET },
    };
    for (const Case& c : cases) {
        ViewerUnderTest viewer(L"<P>text</P>", c.charset);
        CHARFORMATA format = {};
        ModalScript script;
        script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
                  format = CharFormatAt(viewer.Edit(), 4);
                  PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
              });
        viewer.RunWith(script);
        SCOPED_TRACE(c.charset);
        EXPECT_STREQ("Courier New", format.szFaceName);
        EXPECT_EQ(200, format.yHeight);     // twips: 10 points
        EXPECT_EQ(c.controlCharset, format.bCharSet);
    }
}

TEST(ViewerDocument, ControlIsSetUpForTheViewer)
{
    ViewerUnderTest viewer(L"<P>x</P>", kNoCharset);
    LRESULT limit = 0, mask = 0, margins = 0;
    HICON smallIcon = nullptr, bigIcon = nullptr;
    ModalScript script;
    script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
              limit = SendMessageA(viewer.Edit(), EM_GETLIMITTEXT, 0, 0);
              mask = SendMessageA(viewer.Edit(), EM_GETEVENTMASK, 0, 0);
              margins = SendMessageA(viewer.Edit(), EM_GETMARGINS, 0, 0);
              smallIcon = reinterpret_cast<HICON>(SendMessageA(viewer.Window(), WM_GETICON, ICON_SMALL, 0));
              bigIcon = reinterpret_cast<HICON>(SendMessageA(viewer.Window(), WM_GETICON, ICON_BIG, 0));
              PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
          });
    viewer.RunWith(script);
    EXPECT_EQ(5000000, limit);
    EXPECT_EQ(ENM_MOUSEEVENTS | ENM_LINK, mask);
    // Wine's rich edit does not answer EM_GETMARGINS (0); where it does, both are 10.
    if (margins) {
        EXPECT_EQ(MAKELONG(10, 10), margins);
    }
    EXPECT_NE(nullptr, smallIcon);
    EXPECT_EQ(nullptr, bigIcon);
}

// --- Layout -------------------------------------------------------------

namespace {

// The text fills the client area above a strip with the buttons.
void ExpectControlsLaidOutIn(HWND viewer)
{
    RECT client;
    GetClientRect(viewer, &client);
    LONG w = client.right, h = client.bottom;
    SCOPED_TRACE(testing::Message() << "client " << w << "x" << h);
    struct Expected { int id; RECT rect; };
    const Expected expected[] = {
        { IDC_SOURCE, { 0, 2, w, 2 + h - 40 } },
        { IDC_ABOUT, { 3, h - 30, 3 + 75, h - 30 + 23 } },
        { IDC_COPY, { w - 79, h - 30, w - 79 + 75, h - 30 + 23 } },
        { IDC_SAVE, { w - 160, h - 30, w - 160 + 75, h - 30 + 23 } },
    };
    for (const Expected& e : expected) {
        RECT actual = ChildRectInClient(viewer, e.id);
        EXPECT_TRUE(EqualRect(&e.rect, &actual))
            << "control " << e.id << ": expected " << Describe(e.rect) << ", got " << Describe(actual);
    }
}

} // namespace

TEST(ViewerLayout, ControlsFollowEveryResize)
{
    const SIZE sizes[] = { { 640, 480 }, { 900, 700 }, { 400, 300 }, { 1024, 520 }, { 455, 333 } };
    ViewerUnderTest viewer(L"<P>x</P>", kNoCharset);
    ModalScript script;
    script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
        for (const SIZE& size : sizes) {
            SetWindowPos(viewer.Window(), nullptr, 20, 20, size.cx, size.cy, SWP_NOZORDER);
            SCOPED_TRACE(testing::Message() << "window " << size.cx << "x" << size.cy);
            ExpectControlsLaidOutIn(viewer.Window());
        }
        PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
    });
    viewer.RunWith(script);
}

TEST(ViewerLayout, ADragOfTheFrameLaysTheControlsOutOnceWhenItEnds)
{
    ViewerUnderTest viewer(L"<P>x</P>", kNoCharset);
    RECT before = {}, during = {};
    ModalScript script;
    script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
        HWND window = viewer.Window();
        SetWindowPos(window, nullptr, 20, 20, 640, 480, SWP_NOZORDER);
        before = ChildRectInClient(window, IDC_SOURCE);
        // What the system's loop for a drag of the frame sends.
        SendMessageA(window, WM_ENTERSIZEMOVE, 0, 0);
        SetWindowPos(window, nullptr, 20, 20, 700, 500, SWP_NOZORDER);
        SetWindowPos(window, nullptr, 20, 20, 820, 430, SWP_NOZORDER);
        during = ChildRectInClient(window, IDC_SOURCE);
        SendMessageA(window, WM_EXITSIZEMOVE, 0, 0);
        ExpectControlsLaidOutIn(window);
        // A drag that only moves the window changes nothing.
        SendMessageA(window, WM_ENTERSIZEMOVE, 0, 0);
        SetWindowPos(window, nullptr, 60, 40, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
        SendMessageA(window, WM_EXITSIZEMOVE, 0, 0);
        ExpectControlsLaidOutIn(window);
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    });
    viewer.RunWith(script);
    EXPECT_TRUE(EqualRect(&before, &during)) << "the text took sizes of the drag: " << Describe(before) << " "
                                             << Describe(during);
}

TEST(ViewerLayout, WindowIsNotMadeSmallerThan400By300)
{
    ViewerUnderTest viewer(L"<P>x</P>", kNoCharset);
    RECT rect = {};
    MINMAXINFO info = {};
    ModalScript script;
    script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
        SetWindowPos(viewer.Window(), nullptr, 30, 30, 200, 100, SWP_NOZORDER);
        GetWindowRect(viewer.Window(), &rect);
        info.ptMaxSize = { 1111, 2222 };
        info.ptMaxTrackSize = { 3333, 4444 };
        SendMessageA(viewer.Window(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
        PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
    });
    viewer.RunWith(script);
    EXPECT_EQ(400, rect.right - rect.left) << Describe(rect);
    EXPECT_EQ(300, rect.bottom - rect.top) << Describe(rect);
    EXPECT_EQ(400, info.ptMinTrackSize.x);
    EXPECT_EQ(300, info.ptMinTrackSize.y);
    EXPECT_EQ(1111, info.ptMaxSize.x);      // the other members are left alone
    EXPECT_EQ(4444, info.ptMaxTrackSize.y);
}

// --- Closing ------------------------------------------------------------

TEST(ViewerClose, EveryWayOfClosingStoresThePlacementFirst)
{
    struct Case { const char* how; std::function<void(HWND)> close; INT_PTR result; };
    const Case cases[] = {
        { "Escape key", [](HWND) { PressKey(VK_ESCAPE); }, IDCANCEL },
        { "close box", [](HWND w) { PostMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0); }, IDCANCEL },
        { "IDOK", [](HWND w) { PostMessageA(w, WM_COMMAND, IDOK, 0); }, IDOK },
        { "IDCANCEL", [](HWND w) { PostMessageA(w, WM_COMMAND, IDCANCEL, 0); }, IDCANCEL },
    };
    int shift = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        DeleteSettings();
        ViewerUnderTest viewer(L"<P>x</P>", kNoCharset);
        RECT before = {};
        ModalScript script;
        script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
                  SetWindowPos(viewer.Window(), nullptr, 123 + shift, 77, 530, 410, SWP_NOZORDER);
                  SetForegroundWindow(viewer.Window());
                  SetFocus(viewer.Edit());
                  GetWindowRect(viewer.Window(), &before);
              })
            .After(50, "close", [&] { c.close(viewer.Window()); });
        EXPECT_EQ(c.result, viewer.RunWith(script));
        LONG cmd = -1, x = 0, y = 0, right = 0, bottom = 0;
        ASSERT_TRUE(ReadNumberSetting("WindowCmd", &cmd));
        ASSERT_TRUE(ReadNumberSetting("WindowPosX", &x));
        ASSERT_TRUE(ReadNumberSetting("WindowPosY", &y));
        ASSERT_TRUE(ReadNumberSetting("WindowSizeX", &right));
        ASSERT_TRUE(ReadNumberSetting("WindowSizeY", &bottom));
        EXPECT_EQ(0, cmd);
        RECT stored = { x, y, right, bottom };
        EXPECT_TRUE(EqualRect(&before, &stored)) << "window " << Describe(before) << ", stored " << Describe(stored);
        shift += 10;
    }
}

TEST(ViewerClose, OtherNotificationsOnButtonsAreIgnored)
{
    const WORD ids[] = { IDOK, IDCANCEL, IDC_COPY, IDC_SAVE, IDC_ABOUT };
    const WORD codes[] = { BN_DOUBLECLICKED, BN_SETFOCUS, BN_KILLFOCUS };
    ViewerUnderTest viewer(L"<P>x</P>", kNoCharset);
    SetClipboardText("before");
    bool stillOpen = false;
    ModalScript script;
    script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
              for (WORD id : ids)
                  for (WORD code : codes)
                      SendMessageA(viewer.Window(), WM_COMMAND, MAKEWPARAM(id, code),
                                   reinterpret_cast<LPARAM>(GetDlgItem(viewer.Window(), id)));
          })
        .After(100, "check and close", [&] {
            stillOpen = IsWindowVisible(viewer.Window()) != FALSE;
            PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
        });
    viewer.RunWith(script);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ("before", ClipboardText());
    EXPECT_FALSE(script.MenuSeen());
}

TEST(ViewerClose, MaximisedViewerStoresItsMaximisedRectangle)
{
    DeleteSettings();
    ViewerUnderTest viewer(L"<P>x</P>", kNoCharset);
    RECT maximised = {};
    ModalScript script;
    script.When("viewer shown", [&] { return viewer.Shown(); }, [&] { ShowWindow(viewer.Window(), SW_MAXIMIZE); })
        .When("maximised", [&] { return IsZoomed(viewer.Window()) != FALSE; }, [&] {
            GetWindowRect(viewer.Window(), &maximised);
            PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
        });
    viewer.RunWith(script);
    LONG cmd = 0, x = 0, y = 0, right = 0, bottom = 0;
    ReadNumberSetting("WindowCmd", &cmd);
    ReadNumberSetting("WindowPosX", &x);
    ReadNumberSetting("WindowPosY", &y);
    ReadNumberSetting("WindowSizeX", &right);
    ReadNumberSetting("WindowSizeY", &bottom);
    EXPECT_NE(0, cmd);
    RECT stored = { x, y, right, bottom };
    EXPECT_TRUE(EqualRect(&maximised, &stored)) << "maximised " << Describe(maximised) << ", stored " << Describe(stored);
}

// A minimised window reports a rectangle far off the screen; reopening there
// would show a modal window nobody can see. The rectangle it restores to is
// stored instead, with whether it restores maximised.
TEST(ViewerClose, MinimisedViewerStoresTheRectangleItRestoresTo)
{
    struct Case { const char* what; bool maximiseFirst; };
    const Case cases[] = { { "normal, then minimised", false }, { "maximised, then minimised", true } };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteSettings();
        ViewerUnderTest viewer(L"<P>x</P>", kNoCharset);
        RECT normal = {};
        ModalScript script;
        script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
                  SetWindowPos(viewer.Window(), nullptr, 150, 90, 520, 410, SWP_NOZORDER);
                  GetWindowRect(viewer.Window(), &normal);
                  if (c.maximiseFirst) ShowWindow(viewer.Window(), SW_MAXIMIZE);
                  ShowWindow(viewer.Window(), SW_MINIMIZE);
              })
            .When("minimised", [&] { return IsIconic(viewer.Window()) != FALSE; },
                  [&] { PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0); });
        viewer.RunWith(script);
        LONG cmd = -1, x = 0, y = 0, right = 0, bottom = 0;
        ReadNumberSetting("WindowCmd", &cmd);
        ReadNumberSetting("WindowPosX", &x);
        ReadNumberSetting("WindowPosY", &y);
        ReadNumberSetting("WindowSizeX", &right);
        ReadNumberSetting("WindowSizeY", &bottom);
        EXPECT_EQ(c.maximiseFirst ? 1 : 0, cmd);
        RECT stored = { x, y, right, bottom };
        EXPECT_TRUE(EqualRect(&normal, &stored)) << "normal " << Describe(normal) << ", stored " << Describe(stored);
    }
}

// --- Restoring ----------------------------------------------------------

namespace {

enum class Expect { TemplateCentred, Rectangle, Maximised };

struct RestoreCase {
    const char* what;
    std::function<void()> store;
    Expect expect;
    RECT rect;
};

// Whether the viewer's window was sized maximised at any time. Wine on a
// display without a window manager may restore a window that was maximised
// before it was first mapped; the maximised opening is seen here all the same.
bool g_sizedMaximised = false;

LRESULT CALLBACK WatchMaximise(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPRETSTRUCT* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_SIZE && call->wParam == SIZE_MAXIMIZED) g_sizedMaximised = true;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void StoreFive(LONG cmd, LONG x, LONG y, LONG right, LONG bottom)
{
    WriteNumberSetting("WindowCmd", cmd);
    WriteNumberSetting("WindowPosX", x);
    WriteNumberSetting("WindowPosY", y);
    WriteNumberSetting("WindowSizeX", right);
    WriteNumberSetting("WindowSizeY", bottom);
}

} // namespace

TEST(ViewerRestore, OpensWhereTheStoredValuesSay)
{
    const RestoreCase cases[] = {
        { "no key", [] {}, Expect::TemplateCentred, {} },
        { "all five values", [] { StoreFive(0, 60, 40, 760, 560); }, Expect::Rectangle, { 60, 40, 760, 560 } },
        { "only the position: defaults for right and bottom",
          [] { WriteNumberSetting("WindowCmd", 0); WriteNumberSetting("WindowPosX", 100); WriteNumberSetting("WindowPosY", 50); },
          Expect::Rectangle, { 100, 50, 640, 480 } },
        { "empty key: every default", [] { WriteSetting("Other", REG_SZ, "x", 2); }, Expect::Rectangle, { 0, 0, 640, 480 } },
        { "maximised ignores the rest", [] { StoreFive(1, 60, 40, 760, 560); }, Expect::Maximised, {} },
        { "a value of 8 bytes counts as missing",
          [] { StoreFive(0, 60, 40, 760, 560); LONGLONG big = 300; WriteSetting("WindowPosX", REG_BINARY, &big, sizeof(big)); },
          Expect::Rectangle, { 0, 40, 760, 560 } },
        { "a 4-byte value of another type is a number",
          [] { StoreFive(0, 60, 40, 760, 560); LONG x = 90; WriteSetting("WindowPosX", REG_BINARY, &x, sizeof(x)); },
          Expect::Rectangle, { 90, 40, 760, 560 } },
        { "a rectangle on no monitor keeps the template placement",
          [] { StoreFive(0, 5000, 4000, 5600, 4500); }, Expect::TemplateCentred, {} },
        { "a minimised window's rectangle keeps the template placement",
          [] { StoreFive(0, -32000, -32000, -31840, -31973); }, Expect::TemplateCentred, {} },
    };
    for (const RestoreCase& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteSettings();
        c.store();
        ViewerUnderTest viewer(L"<P>x</P>", kNoCharset);
        g_sizedMaximised = false;
        HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROCRET, WatchMaximise, nullptr, GetCurrentThreadId());
        RECT actual = {}, templateRect = { 0, 0, 394, 225 }, work = {};
        bool zoomed = false;
        ModalScript script;
        script.When("viewer shown", [&] { return viewer.Shown(); }, [&] {
            GetWindowRect(viewer.Window(), &actual);
            zoomed = IsZoomed(viewer.Window()) != FALSE;

            MapDialogRect(viewer.Window(), &templateRect);
            AdjustWindowRectEx(&templateRect, GetWindowLongA(viewer.Window(), GWL_STYLE), FALSE,
                               GetWindowLongA(viewer.Window(), GWL_EXSTYLE));
            SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
            PostMessageA(viewer.Window(), WM_COMMAND, IDCANCEL, 0);
        });
        viewer.RunWith(script);
        UnhookWindowsHookEx(hook);
        switch (c.expect) {
        case Expect::Maximised:
            EXPECT_TRUE(zoomed || g_sizedMaximised);
            break;
        case Expect::Rectangle:
            EXPECT_FALSE(zoomed || g_sizedMaximised);
            EXPECT_TRUE(EqualRect(&c.rect, &actual)) << "expected " << Describe(c.rect) << ", got " << Describe(actual);
            break;
        case Expect::TemplateCentred: {
            EXPECT_FALSE(zoomed || g_sizedMaximised);
            EXPECT_EQ(templateRect.right - templateRect.left, actual.right - actual.left) << Describe(actual);
            EXPECT_EQ(templateRect.bottom - templateRect.top, actual.bottom - actual.top) << Describe(actual);
            LONG centreX = (actual.left + actual.right) / 2, workX = (work.left + work.right) / 2;
            LONG centreY = (actual.top + actual.bottom) / 2, workY = (work.top + work.bottom) / 2;
            EXPECT_NEAR(workX, centreX, 2) << Describe(actual) << " in " << Describe(work);
            EXPECT_NEAR(workY, centreY, 2) << Describe(actual) << " in " << Describe(work);
            break;
        }
        }
        // Closing writes all five values, creating the key on the first run.
        LONG value;
        for (const char* name : { "WindowCmd", "WindowPosX", "WindowPosY", "WindowSizeX", "WindowSizeY" })
            EXPECT_TRUE(ReadNumberSetting(name, &value)) << name;
    }
    DeleteSettings();
}
