// The About box run modally from its template, driven from a timer inside its
// own modal loop. No test activates a link: that would start a real browser or
// mail program.
#include <windows.h>
#include <gtest/gtest.h>
#include <functional>
#include <string>
#include "about/AboutBox.h"
#include "about/AboutDialog.h"
#include "resources/resource.h"
#include "support/TestSupport.h"

namespace {

const DWORD kWaitMs = 10000;
const INT_PTR kEndedByTimeout = 99;

// One modal run of the box: what to do with it once it shows, and what was seen.
struct AboutRun {
    std::function<void(HWND)> act;
    HWND dialog = nullptr;
    bool timedOut = false;
    DWORD start = 0;
};

AboutRun* g_run = nullptr;

BOOL CALLBACK FindAboutWindow(HWND window, LPARAM found)
{
    char className[16] = {}, caption[64] = {};
    GetClassNameA(window, className, sizeof(className));
    GetWindowTextA(window, caption, sizeof(caption));
    if (lstrcmpA(className, "#32770") == 0 && lstrcmpA(caption, "About Glimmerdeck") == 0 && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindAboutBox()
{
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindAboutWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Acts once on the box when it shows; ends it and marks the run failed when
// the deadline passes, so a stuck modal loop fails instead of hanging.
VOID CALLBACK DriveAboutBox(HWND, UINT, UINT_PTR, DWORD)
{
    static bool busy = false;
    if (!g_run || busy) return;
    busy = true;
    HWND dialog = FindAboutBox();
    if (dialog && !g_run->dialog) {
        g_run->dialog = dialog;
        g_run->act(dialog);
    } else if (GetTickCount() - g_run->start > kWaitMs) {
        g_run->timedOut = true;
        if (dialog) EndDialog(dialog, kEndedByTimeout);
    }
    busy = false;
}

// Runs the box with act applied once it shows. run() is RunAboutBox or a
// direct modal run of the dialog.
AboutRun RunAbout(const std::function<void()>& run, const std::function<void(HWND)>& act)
{
    AboutRun state;
    state.act = act;
    state.start = GetTickCount();
    g_run = &state;
    UINT_PTR timer = SetTimer(nullptr, 0, 20, DriveAboutBox);
    run();
    KillTimer(nullptr, timer);
    g_run = nullptr;
    return state;
}

void ClickOk(HWND dialog) { SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0); }

std::string WindowText(HWND window)
{
    char text[256] = {};
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

LONG FontWeight(HFONT font)
{
    LOGFONTA description = {};
    return GetObjectA(font, sizeof(description), &description) ? description.lfWeight : -1;
}

TEST(AboutBox, ShowsTheBoldVersionLineAndTakesOverBothLinks)
{
    HWND owner = CreateWindowExA(0, "static", "viewer stand-in", WS_POPUP | WS_CAPTION | WS_VISIBLE,
                                 0, 0, 300, 200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(owner != nullptr);
    SetForegroundWindow(owner);
    SetActiveWindow(owner);
    ASSERT_EQ(owner, GetActiveWindow());

    HWND seenOwner = nullptr, focus = nullptr, okButton = nullptr;
    std::string version;
    LONG weight = 0;
    DWORD homeStyle = 0, supportStyle = 0;
    AboutRun run = RunAbout(RunAboutBox, [&](HWND dialog) {
        seenOwner = GetWindow(dialog, GW_OWNER);
        focus = GetFocus();
        okButton = GetDlgItem(dialog, IDOK);
        HWND versionLine = GetDlgItem(dialog, IDC_VERSION_TEXT);
        version = WindowText(versionLine);
        weight = FontWeight(reinterpret_cast<HFONT>(SendMessageA(versionLine, WM_GETFONT, 0, 0)));
        homeStyle = GetWindowLongA(GetDlgItem(dialog, IDC_HOME_LINK), GWL_STYLE);
        supportStyle = GetWindowLongA(GetDlgItem(dialog, IDC_SUPPORT_LINK), GWL_STYLE);
        ClickOk(dialog);
    });
    DestroyWindow(owner);

    ASSERT_TRUE(run.dialog != nullptr) << "the About box did not show";
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(owner, seenOwner);
    EXPECT_EQ(okButton, focus) << "the focus is not on OK";
    EXPECT_EQ("Glimmerdeck  version 1.0.3 (Build 17)", version);
    EXPECT_EQ(FW_BOLD, weight);
    // The link control adds SS_NOTIFY to the statics that it takes over.
    EXPECT_TRUE(homeStyle & SS_NOTIFY) << "the home link was not taken over";
    EXPECT_TRUE(supportStyle & SS_NOTIFY) << "the support link was not taken over";
}

TEST(AboutBox, CreatesAndDeletesTheBoldFontEachTimeItOpens)
{
    HFONT previous = nullptr;
    for (int round = 0; round < 2; ++round) {
        DWORD objectsBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
        HFONT font = nullptr;
        DWORD typeWhileOpen = 0;
        AboutRun run = RunAbout(RunAboutBox, [&](HWND dialog) {
            font = reinterpret_cast<HFONT>(SendDlgItemMessageA(dialog, IDC_VERSION_TEXT, WM_GETFONT, 0, 0));
            typeWhileOpen = GetObjectType(font);
            ClickOk(dialog);
        });
        ASSERT_TRUE(run.dialog != nullptr) << "round " << round;
        EXPECT_FALSE(run.timedOut) << "round " << round;
        EXPECT_EQ(static_cast<DWORD>(OBJ_FONT), typeWhileOpen) << "round " << round;
        EXPECT_NE(GetStockObject(DEFAULT_GUI_FONT), font) << "round " << round;
        EXPECT_EQ(0u, GetObjectType(font)) << "the bold font survived the box, round " << round;
        if (previous) {
            EXPECT_EQ(0u, GetObjectType(previous));
        }
        // Wine answers 0 for the count; there the handle checks above are what hold.
        EXPECT_EQ(objectsBefore, GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) << "round " << round;
        previous = font;
    }
}

struct CloseCase {
    const char* name;
    void (*close)(HWND dialog);
    INT_PTR expected;
};

const CloseCase kCloseCases[] = {
    { "OK", ClickOk, IDOK },
    { "Esc", [](HWND dialog) {
          HWND focus = GetFocus();
          PostMessageA(focus ? focus : dialog, WM_KEYDOWN, VK_ESCAPE, 1);
      }, IDCANCEL },
    { "close box", [](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }, IDCANCEL },
};

TEST(AboutBox, EscAndTheCloseBoxEndItLikeOk)
{
    for (const CloseCase& c : kCloseCases) {
        INT_PTR result = -1;
        HFONT font = nullptr;
        AboutRun run = RunAbout([&] {
            CAboutDialog dialog;
            result = dialog.RunModal(IDD_ABOUT, nullptr);
            EXPECT_EQ(nullptr, dialog.VersionFont()) << c.name;
            EXPECT_EQ(nullptr, dialog.m_hWnd) << c.name;
        }, [&](HWND dialog) {
            font = reinterpret_cast<HFONT>(SendDlgItemMessageA(dialog, IDC_VERSION_TEXT, WM_GETFONT, 0, 0));
            c.close(dialog);
        });
        ASSERT_TRUE(run.dialog != nullptr) << c.name;
        EXPECT_FALSE(run.timedOut) << c.name << " did not end the box";
        EXPECT_EQ(c.expected, result) << c.name;
        EXPECT_FALSE(IsWindow(run.dialog)) << c.name;
        EXPECT_EQ(0u, GetObjectType(font)) << c.name;
    }
}

TEST(AboutBox, VersionFontIsBoldStockFontOrBoldMsSansSerif)
{
    HGDIOBJ stock = GetStockObject(DEFAULT_GUI_FONT);
    LOGFONTA stockDescription = {};
    ASSERT_TRUE(GetObjectA(stock, sizeof(stockDescription), &stockDescription));

    HFONT fromStock = CAboutDialog::CreateVersionFont(stock);
    LOGFONTA description = {};
    ASSERT_TRUE(GetObjectA(fromStock, sizeof(description), &description));
    EXPECT_EQ(FW_BOLD, description.lfWeight);
    EXPECT_EQ(stockDescription.lfHeight, description.lfHeight);
    EXPECT_STREQ(stockDescription.lfFaceName, description.lfFaceName);
    DeleteObject(fromStock);

    // Without a stock font: bold "MS Sans Serif" at height -11.
    HFONT fallback = CAboutDialog::CreateVersionFont(nullptr);
    description = LOGFONTA();
    ASSERT_TRUE(GetObjectA(fallback, sizeof(description), &description));
    EXPECT_EQ(FW_BOLD, description.lfWeight);
    EXPECT_EQ(-11, description.lfHeight);
    EXPECT_STREQ("MS Sans Serif", description.lfFaceName);
    EXPECT_EQ(PROOF_QUALITY, description.lfQuality);
    EXPECT_EQ(VARIABLE_PITCH | FF_SWISS, description.lfPitchAndFamily);
    EXPECT_EQ(ANSI_CHARSET, description.lfCharSet);
    EXPECT_FALSE(description.lfItalic || description.lfUnderline || description.lfStrikeOut);
    DeleteObject(fallback);
}

} // namespace
