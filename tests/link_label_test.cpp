// The hyperlink control on real statics of a real dialog under Wine. Targets
// point at link_recorder.exe, which appends a line to a file each time the
// shell runs it; no browser or mail program is ever started.
#include <windows.h>
#include <commctrl.h>
#include <olectl.h>
#include <gtest/gtest.h>
#include <string.h>
#include <algorithm>
#include <list>
#include <string>
#include <vector>
#include "about/LinkLabel.h"
#include "support/TestSupport.h"

namespace {

const DWORD kWaitMs = 10000;
const char kSettingsKey[] = "Software\\Microsoft\\Internet Explorer\\Settings";
const char kScratchKey[] = "Software\\Glimmerdeck link tests";
const COLORREF kBlue = RGB(0, 0, 255);
const COLORREF kPurple = RGB(128, 0, 128);

std::vector<WORD> g_commands;   // WM_COMMAND ids that reached the test dialog

INT_PTR CALLBACK TestDialogProc(HWND, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_COMMAND) g_commands.push_back(LOWORD(wParam));
    return message == WM_INITDIALOG;
}

// An empty modeless dialog, with a template font when face is given.
HWND CreateTestDialog(const wchar_t* face = nullptr, WORD pointSize = 0)
{
    DLGTEMPLATE header = {};
    header.style = WS_POPUP | WS_BORDER | (face ? DS_SETFONT : 0);
    std::vector<WORD> words(sizeof(header) / sizeof(WORD));
    memcpy(words.data(), &header, sizeof(header));
    words.insert(words.end(), { 0, 0, 0 });     // no menu, default class, no title
    if (face) {
        words.push_back(pointSize);
        do words.push_back(static_cast<WORD>(*face)); while (*face++);
    }
    HWND window = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                             reinterpret_cast<DLGTEMPLATE*>(words.data()), nullptr,
                                             TestDialogProc, 0);
    if (window) SetWindowPos(window, HWND_TOPMOST, 40, 40, 480, 240, SWP_SHOWWINDOW | SWP_NOACTIVATE);
    return window;
}

// A window's client area as it paints itself on white.
struct Picture {
    int width = 0;
    std::vector<COLORREF> pixels;

    int Count(COLORREF color) const
    {
        int count = 0;
        for (COLORREF pixel : pixels) count += pixel == color;
        return count;
    }
    // An underline is one long run of the colour; glyphs make short ones.
    int LongestRun(COLORREF color) const
    {
        int longest = 0, run = 0;
        for (size_t i = 0; i < pixels.size(); ++i) {
            if (i % width == 0) run = 0;
            run = pixels[i] == color ? run + 1 : 0;
            longest = std::max(longest, run);
        }
        return longest;
    }
};

Picture Render(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    Picture picture;
    picture.width = client.right;
    BITMAPINFO info = {};
    info.bmiHeader = { sizeof(info.bmiHeader), client.right, -client.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0 };
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SendMessageA(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    GdiFlush();
    for (int i = 0; bits && i < client.right * client.bottom; ++i) {
        DWORD pixel = static_cast<const DWORD*>(bits)[i];
        picture.pixels.push_back(RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF));
    }
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return picture;
}

// While it lives, HKEY_CURRENT_USER of this process is an empty scratch key,
// so the tests set the browser's colours without touching the real ones.
class ScratchUserKey {
public:
    ScratchUserKey()
    {
        RegCreateKeyExA(HKEY_CURRENT_USER, kScratchKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_key, nullptr);
        RegOverridePredefKey(HKEY_CURRENT_USER, m_key);
    }
    ~ScratchUserKey()
    {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegCloseKey(m_key);
        RegDeleteTreeA(HKEY_CURRENT_USER, kScratchKey);
    }
    // Sets a value of the settings key, or removes it when bytes is null.
    void Set(const char* name, DWORD type, const char* bytes, DWORD size)
    {
        HKEY settings;
        if (RegCreateKeyExA(m_key, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &settings, nullptr)) return;
        RegDeleteValueA(settings, name);
        if (bytes) RegSetValueExA(settings, name, 0, type, reinterpret_cast<const BYTE*>(bytes), size);
        RegCloseKey(settings);
    }
    void SetText(const char* name, const char* text) { Set(name, REG_SZ, text, lstrlenA(text) + 1); }

private:
    HKEY m_key = nullptr;
};

BOOL CALLBACK CollectChild(HWND child, LPARAM children)
{
    reinterpret_cast<std::vector<HWND>*>(children)->push_back(child);
    return TRUE;
}

class LinkLabelTest : public testing::Test {
protected:
    // One dialog serves the suite; each test takes away the children it added.
    static void SetUpTestSuite() { s_dialog = CreateTestDialog(); }
    static void TearDownTestSuite() { DestroyWindow(s_dialog); }

    void SetUp() override
    {
        ASSERT_TRUE(s_dialog != nullptr);
        g_commands.clear();
        char folder[MAX_PATH];
        GetTempPathA(MAX_PATH, folder);
        m_recordFile = std::string(folder) + "gd_link_record.txt";
        DeleteFileA(m_recordFile.c_str());
        SetEnvironmentVariableA("GD_LINK_RECORD", m_recordFile.c_str());
    }

    void TearDown() override
    {
        for (CLinkLabel& link : m_links)
            if (IsWindow(link.Tooltip())) DestroyWindow(link.Tooltip());
        std::vector<HWND> children;
        EnumChildWindows(s_dialog, CollectChild, reinterpret_cast<LPARAM>(&children));
        for (HWND child : children) DestroyWindow(child);
        DeleteFileA(m_recordFile.c_str());
    }

    HWND AddStatic(const char* text, DWORD style, int x, int y, int width, int height, HWND parent = s_dialog)
    {
        return CreateWindowExA(0, "static", text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
    }

    // Set up as the About box does: texts, attach, initialise.
    CLinkLabel& AddLink(const char* label, const char* target, HWND control)
    {
        m_links.emplace_back();
        CLinkLabel& link = m_links.back();
        if (target) link.SetTarget(target);
        if (label) link.SetLabel(label);
        EXPECT_TRUE(link.AttachToWindow(control));
        link.InitializeLink();
        return link;
    }

    CLinkLabel& AddRecorderLink(const char* label = "Open the recorder", DWORD style = SS_LEFT)
    {
        int y = 10 + 25 * static_cast<int>(m_links.size() % 8);
        return AddLink(label, RecorderPath().c_str(), AddStatic("", style, 10, y, 300, 20));
    }

    std::string RecorderPath() const { return ProgramFolder() + "link_recorder.exe"; }

    // How often the shell ran the recorder so far.
    int RecorderRuns() const
    {
        HANDLE file = CreateFileA(m_recordFile.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return 0;
        char buffer[4096];
        DWORD read = 0;
        ReadFile(file, buffer, sizeof(buffer), &read, nullptr);
        CloseHandle(file);
        return static_cast<int>(std::count(buffer, buffer + read, '\n'));
    }

    bool WaitForRuns(int runs)
    {
        return PumpUntil([&] { return RecorderRuns() >= runs; }, kWaitMs);
    }

    // A modeless dialog's loop: its keyboard handling sees what is posted.
    template <class Pred>
    bool PumpDialogUntil(Pred pred, DWORD timeoutMs)
    {
        DWORD start = GetTickCount();
        for (;;) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (IsDialogMessageA(s_dialog, &msg)) continue;
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            if (pred()) return true;
            if (GetTickCount() - start > timeoutMs) return false;
            Sleep(5);
        }
    }

    static HWND s_dialog;
    std::string m_recordFile;
    std::list<CLinkLabel> m_links;      // outlive their windows, which TearDown destroys
};

HWND LinkLabelTest::s_dialog = nullptr;

// --- Colours ----------------------------------------------------------------

const struct {
    const char* text;
    COLORREF expected;
} kColorTexts[] = {
    { "0,0,255", RGB(0, 0, 255) },
    { "255,0", CLR_INVALID },                      // no third part
    { "1,2,", CLR_INVALID },                       // nothing after the second comma
    { "300,0,0", RGB(44, 0, 0) },                  // modulo 256
    { "-1,0,0", CLR_INVALID },                     // -1 marks a missing part
    { "0,-1,0", CLR_INVALID },
    { "-0001,0,0", CLR_INVALID },
    { "0,0,-1", RGB(0, 0, 255) },                  // the third part is not checked for -1
    { "-2,256,511", RGB(254, 0, 255) },
    { " 12, +34,\t56", RGB(12, 34, 56) },
    { "1,2,3 and more", RGB(1, 2, 3) },
    { ",,5", RGB(0, 0, 5) },                       // empty parts read as 0
    { "99999999999999999999,0,0", RGB(255, 0, 0) },  // 10^20 - 1, exact modulo 256
    { "255", CLR_INVALID },
    { "", CLR_INVALID },
};

TEST(LinkColorText, ParsesEachCaseAsDescribed)
{
    for (const auto& c : kColorTexts) {
        char text[64];
        lstrcpynA(text, c.text, sizeof(text));
        EXPECT_EQ(c.expected, CLinkLabel::ParseColorString(text)) << "text \"" << c.text << "\"";
    }
    EXPECT_EQ(CLR_INVALID, CLinkLabel::ParseColorString(nullptr));
}

// How a colour value is stored; no bytes: absent.
struct Stored {
    DWORD type;
    const char* bytes;
    DWORD size;
};
Stored Text(const char* text) { return { REG_SZ, text, static_cast<DWORD>(lstrlenA(text) + 1) }; }
const Stored kAbsent = { REG_SZ, nullptr, 0 };

const struct {
    const char* name;
    Stored anchor, visited;
    COLORREF link, visitedColor;
} kStoredColors[] = {
    { "both set", Text("0,128,0"), Text("255,0,0"), RGB(0, 128, 0), RGB(255, 0, 0) },
    { "neither set", kAbsent, kAbsent, kBlue, kPurple },
    { "only visited", kAbsent, Text("1,2,3"), kBlue, RGB(1, 2, 3) },
    { "11 characters fit", Text("000,128,000"), Text("  9,  8,  7"), RGB(0, 128, 0), RGB(9, 8, 7) },
    { "12 characters are too long", Text("0000,128,000"), Text("0, 0, 0     "), kBlue, kPurple },
    { "not parsable", Text("1,2,"), Text("-1,0,0"), kBlue, kPurple },
    // Stored without a NUL: the text must still end inside the buffer.
    { "no NUL", { REG_BINARY, "0,128,0", 7 }, { REG_BINARY, "7,8,9", 5 }, RGB(0, 128, 0), RGB(7, 8, 9) },
    { "12 bytes, no NUL", { REG_BINARY, "000,128,0000", 12 }, { REG_SZ, "000,128,0000X", 12 }, kBlue, kPurple },
    { "a number", { REG_DWORD, "\x01\x02\x03\x04", 4 }, kAbsent, kBlue, kPurple },
};

TEST_F(LinkLabelTest, ReadsTheBrowsersLinkColours)
{
    {
        ScratchUserKey user;    // no settings key at all
        CLinkLabel& link = AddRecorderLink();
        EXPECT_EQ(kBlue, link.LinkColor()) << "without the key";
        EXPECT_EQ(kPurple, link.VisitedColor()) << "without the key";
    }
    for (const auto& c : kStoredColors) {
        ScratchUserKey user;
        user.Set("Anchor Color", c.anchor.type, c.anchor.bytes, c.anchor.size);
        user.Set("Anchor Color Visited", c.visited.type, c.visited.bytes, c.visited.size);
        CLinkLabel& link = AddRecorderLink();
        EXPECT_EQ(c.link, link.LinkColor()) << c.name;
        EXPECT_EQ(c.visitedColor, link.VisitedColor()) << c.name;
    }
}

TEST_F(LinkLabelTest, PaintsInTheLinkColourBeforeAndAfterAVisit)
{
    ScratchUserKey user;
    user.SetText("Anchor Color", "0,160,0");
    user.SetText("Anchor Color Visited", "200,0,0");
    CLinkLabel& link = AddRecorderLink("WWWWWWWW");

    int before = Render(link.m_hWnd).Count(RGB(0, 160, 0));
    EXPECT_GT(before, 20);
    ASSERT_TRUE(link.OpenTarget());
    ASSERT_TRUE(WaitForRuns(1)) << "the recorder did not run";
    EXPECT_TRUE(link.IsVisited());
    Picture after = Render(link.m_hWnd);
    EXPECT_EQ(before, after.Count(RGB(0, 160, 0)));
    EXPECT_EQ(0, after.Count(RGB(200, 0, 0))) << "painted in the visited colour";
}

// --- Taking over the static -------------------------------------------------

TEST_F(LinkLabelTest, TakesOverTheStaticWithTooltipAndTexts)
{
    // Label and target from the window text; SS_NOTIFY added.
    CLinkLabel& link = AddLink(nullptr, nullptr, AddStatic("Read me", SS_LEFT, 10, 10, 300, 20));
    EXPECT_STREQ("Read me", link.Label());
    EXPECT_STREQ("Read me", link.Target());
    EXPECT_TRUE(GetWindowLongA(link.m_hWnd, GWL_STYLE) & SS_NOTIFY);

    // The tooltip: one tool for the control, showing the target.
    CLinkLabel& home = AddLink("Home", "https://www.glimmerdeck.example/", AddStatic("", 0, 10, 40, 300, 20));
    char className[32] = {}, text[256] = {};
    GetClassNameA(home.Tooltip(), className, sizeof(className));
    EXPECT_STREQ("tooltips_class32", className);
    EXPECT_EQ(1, SendMessageA(home.Tooltip(), TTM_GETTOOLCOUNT, 0, 0));
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.hwnd = s_dialog;
    tool.uId = reinterpret_cast<UINT_PTR>(home.m_hWnd);
    tool.lpszText = text;
    SendMessageA(home.Tooltip(), TTM_GETTEXTA, sizeof(text), reinterpret_cast<LPARAM>(&tool));
    EXPECT_STREQ("https://www.glimmerdeck.example/", text);

    // No text at all: an empty link area; a press there takes nothing.
    CLinkLabel& empty = AddLink(nullptr, nullptr, AddStatic("", 0, 10, 70, 300, 20));
    EXPECT_TRUE(IsRectEmpty(&empty.LinkRect()));
    SetFocus(home.m_hWnd);
    SendMessageA(empty.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(0, 0));
    EXPECT_EQ(home.m_hWnd, GetFocus());
    EXPECT_NE(empty.m_hWnd, GetCapture());

    // No window: attaching fails and initialising makes no tooltip.
    m_links.emplace_back();
    CLinkLabel& unattached = m_links.back();
    EXPECT_FALSE(unattached.AttachToWindow(GetDlgItem(s_dialog, 4321)));
    unattached.InitializeLink();
    EXPECT_EQ(nullptr, unattached.Tooltip());
}

TEST_F(LinkLabelTest, MeasuresTheTextWithTheParentsFontWhereTheStaticAlignsIt)
{
    for (DWORD style : { SS_LEFT, SS_CENTER, SS_RIGHT }) {
        const RECT text = AddRecorderLink("short text", style).LinkRect();
        const int width = text.right - text.left;
        EXPECT_GT(width, 10) << "style " << style;
        EXPECT_LT(width, 150) << "style " << style;
        EXPECT_EQ(0, text.top) << "style " << style;
        const int left = style == SS_CENTER ? (300 - width) / 2 : style == SS_RIGHT ? 300 - width : 0;
        EXPECT_NEAR(left, text.left, 1) << "style " << style;
    }

    // The fixture's dialog has no font: the stock GUI font measures. A dialog
    // with a large font measures with that.
    const RECT stock = AddRecorderLink("Measure me").LinkRect();
    HWND large = CreateTestDialog(L"Tahoma", 24);
    ASSERT_TRUE(SendMessageA(large, WM_GETFONT, 0, 0) != 0) << "the dialog has no font";
    const RECT measured = AddLink("Measure me", nullptr, AddStatic("", 0, 0, 0, 400, 60, large)).LinkRect();
    DestroyWindow(large);
    EXPECT_GT(measured.bottom, stock.bottom + 15);
    EXPECT_GT(measured.right, stock.right + 30);
}

// --- Mouse ------------------------------------------------------------------

TEST_F(LinkLabelTest, OpensOnlyWhenPressAndReleaseAreBothOnTheText)
{
    CLinkLabel& link = AddRecorderLink();
    HWND other = AddStatic("elsewhere", SS_NOTIFY, 10, 200, 80, 20);
    const RECT text = link.LinkRect();
    const LPARAM inside = MAKELPARAM(text.left + 2, text.bottom / 2);
    const LPARAM outside = MAKELPARAM(text.right + 20, text.bottom / 2);
    ASSERT_LT(text.right + 20, 300);

    // Pressed outside: neither focus nor capture, and the release opens nothing.
    SetFocus(other);
    SendMessageA(link.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, outside);
    EXPECT_EQ(other, GetFocus());
    EXPECT_NE(link.m_hWnd, GetCapture());
    SendMessageA(link.m_hWnd, WM_LBUTTONUP, 0, inside);
    EXPECT_FALSE(link.IsVisited());

    // Pressed inside, released outside: focus and capture taken, then let go.
    SendMessageA(link.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, inside);
    EXPECT_EQ(link.m_hWnd, GetFocus());
    EXPECT_EQ(link.m_hWnd, GetCapture());
    SendMessageA(link.m_hWnd, WM_LBUTTONUP, 0, outside);
    EXPECT_NE(link.m_hWnd, GetCapture());
    EXPECT_FALSE(link.IsVisited());

    // A full click opens, once.
    SendMessageA(link.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, inside);
    SendMessageA(link.m_hWnd, WM_LBUTTONUP, 0, inside);
    EXPECT_TRUE(link.IsVisited());
    ASSERT_TRUE(WaitForRuns(1)) << "the recorder did not run";
    EXPECT_EQ(1, RecorderRuns()) << "only the full click may open the target";
}

TEST_F(LinkLabelTest, ShowsTheHandOnlyOverTheMeasuredText)
{
    CLinkLabel& link = AddRecorderLink();
    const RECT text = link.LinkRect();
    const int y = text.bottom / 2;
    HCURSOR hand = LoadCursorA(nullptr, IDC_HAND), cross = LoadCursorA(nullptr, IDC_CROSS);

    SetCursor(cross);
    SendMessageA(link.m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(text.left + 1, y));
    EXPECT_EQ(hand, GetCursor()) << "over the text";
    SetCursor(cross);
    SendMessageA(link.m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(text.right + 20, y));
    EXPECT_EQ(cross, GetCursor()) << "beside the text";

    // WM_SETCURSOR keeps the hand over the text; beside it the window's own
    // arrow comes back.
    const WPARAM self = reinterpret_cast<WPARAM>(link.m_hWnd);
    POINT screen = { text.left + 1, y };
    ClientToScreen(link.m_hWnd, &screen);
    SetCursorPos(screen.x, screen.y);
    SetCursor(hand);
    EXPECT_EQ(TRUE, SendMessageA(link.m_hWnd, WM_SETCURSOR, self, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(hand, GetCursor());
    SetCursorPos(screen.x + text.right + 20, screen.y);
    SendMessageA(link.m_hWnd, WM_SETCURSOR, self, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), GetCursor());
}

// Wine sends WM_MOUSEHOVER and WM_MOUSELEAVE from the real pointer position,
// so the pointer is moved onto the control and away again.
TEST_F(LinkLabelTest, UnderlinesWhileTheMouseRestsOnIt)
{
    CLinkLabel& link = AddRecorderLink("WWWWWWWWWWWW");
    const RECT text = link.LinkRect();
    const int half = (text.right - text.left) / 2;
    EXPECT_LT(Render(link.m_hWnd).LongestRun(kBlue), half) << "underlined before any hover";

    POINT onText = { text.left + 3, text.bottom / 2 };
    ClientToScreen(link.m_hWnd, &onText);
    SetCursorPos(onText.x, onText.y);
    ASSERT_TRUE(PumpUntil([&] { return WindowFromPoint(onText) == link.m_hWnd; }, kWaitMs))
        << "the control is not under the pointer";
    SendMessageA(link.m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(text.left + 3, text.bottom / 2));
    ASSERT_TRUE(PumpUntil([&] { return link.IsHovered(); }, kWaitMs)) << "no WM_MOUSEHOVER arrived";
    EXPECT_GE(Render(link.m_hWnd).LongestRun(kBlue), half) << "no underline while hovered";

    SetCursorPos(onText.x, onText.y + 300);
    ASSERT_TRUE(PumpUntil([&] { return !link.IsHovered(); }, kWaitMs)) << "no WM_MOUSELEAVE arrived";
    EXPECT_LT(Render(link.m_hWnd).LongestRun(kBlue), half) << "underline left behind";
}

// --- Keyboard ---------------------------------------------------------------

void PostKey(HWND window, UINT virtualKey)
{
    LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC)) << 16;
    PostMessageA(window, WM_KEYDOWN, virtualKey, scan | 1);
    PostMessageA(window, WM_KEYUP, virtualKey, scan | 1 | (3u << 30));
}

TEST_F(LinkLabelTest, EnterAndSpaceOpenOtherCharactersAreSwallowed)
{
    CreateWindowExA(0, "button", "&Quit", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 350, 150, 80, 24, s_dialog,
                    reinterpret_cast<HMENU>(100), GetModuleHandleA(nullptr), nullptr);
    CLinkLabel& link = AddRecorderLink();
    SetFocus(link.m_hWnd);
    ASSERT_EQ(link.m_hWnd, GetFocus());

    // 'q' would be the Quit button's mnemonic if the link let it through.
    PostMessageA(link.m_hWnd, WM_CHAR, 'q', 1);
    PostMessageA(link.m_hWnd, WM_CHAR, 'x', 1);
    PumpDialogUntil([] { return false; }, 100);
    EXPECT_TRUE(g_commands.empty()) << "a character reached the dialog as command " << g_commands[0];
    EXPECT_FALSE(link.IsVisited());

    // Through the dialog's own key handling, which would take Enter for its
    // default button if the link did not claim it.
    PostKey(link.m_hWnd, VK_RETURN);
    ASSERT_TRUE(PumpDialogUntil([&] { return RecorderRuns() >= 1; }, kWaitMs)) << "Enter did not open";
    EXPECT_TRUE(g_commands.empty()) << "Enter went to the dialog as command " << g_commands[0];
    PostKey(link.m_hWnd, VK_SPACE);
    ASSERT_TRUE(PumpDialogUntil([&] { return RecorderRuns() >= 2; }, kWaitMs)) << "space did not open";
    EXPECT_TRUE(g_commands.empty());
}

// --- Non-text statics -------------------------------------------------------

TEST_F(LinkLabelTest, AnIconKeepsItsPaintingAndAllOfItIsTheLink)
{
    ScratchUserKey user;
    user.SetText("Anchor Color", "0,128,0");
    HICON icon = LoadIconA(nullptr, IDI_APPLICATION);
    int runs = 0;
    // SS_REALSIZECONTROL lies outside the type bits but inside the low byte.
    for (DWORD style : { SS_ICON, SS_ICON | SS_REALSIZECONTROL }) {
        HWND plain = AddStatic("", style, 200, 150, 32, 32);
        HWND control = AddStatic("", style, 250, 150, 32, 32);
        SendMessageA(plain, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
        SendMessageA(control, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
        CLinkLabel& link = AddLink(nullptr, RecorderPath().c_str(), control);

        EXPECT_FALSE(link.PaintsLabel()) << "style " << style;
        EXPECT_TRUE(GetWindowLongA(control, GWL_STYLE) & SS_NOTIFY) << "style " << style;
        EXPECT_EQ(kBlue, link.LinkColor()) << "a non-text static reads no colours, style " << style;
        RECT client;
        GetClientRect(control, &client);
        EXPECT_TRUE(EqualRect(&client, &link.LinkRect())) << "style " << style;
        Picture expected = Render(plain);
        EXPECT_TRUE(expected.pixels == Render(control).pixels) << "not painted as the static paints, style " << style;
        EXPECT_LT(expected.Count(RGB(255, 255, 255)), static_cast<int>(expected.pixels.size())) << "nothing painted";

        const LPARAM corner = MAKELPARAM(client.right - 1, client.bottom - 1);
        SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, corner);
        SendMessageA(control, WM_LBUTTONUP, 0, corner);
        ASSERT_TRUE(WaitForRuns(++runs)) << "a click in the corner did not open, style " << style;
        DestroyWindow(plain);
        DestroyWindow(control);
    }
}

TEST_F(LinkLabelTest, AnswersReflectedNotificationsAsDefaultProcessingWould)
{
    // A reflected WM_CTLCOLORSTATIC: default processing hands out a brush,
    // where the static's own procedure would not know the message.
    CLinkLabel& link = AddRecorderLink();
    HDC dc = GetDC(link.m_hWnd);
    EXPECT_NE(0, SendMessageA(link.m_hWnd, OCM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                              reinterpret_cast<LPARAM>(link.m_hWnd)));
    ReleaseDC(link.m_hWnd, dc);
}

} // namespace
