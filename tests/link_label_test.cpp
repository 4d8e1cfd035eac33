// The hyperlink control on real static controls of a real dialog under Wine.
// Targets point at link_recorder.exe, which appends a line to a file each
// time the shell runs it; no browser or mail program is ever started.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include <string.h>
#include <list>
#include <string>
#include <vector>
#include "about/LinkLabel.h"
#include "support/TestSupport.h"

namespace {

const DWORD kWaitMs = 10000;
const char kSettingsKey[] = "Software\\Microsoft\\Internet Explorer\\Settings";
const COLORREF kBlue = RGB(0, 0, 255);
const COLORREF kPurple = RGB(128, 0, 128);
const int kQuitButton = 100;

std::vector<WORD> g_commands;   // WM_COMMAND ids that reached the test dialog

INT_PTR CALLBACK TestDialogProc(HWND, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_COMMAND) g_commands.push_back(LOWORD(wParam));
    return message == WM_INITDIALOG;
}

// An empty modeless dialog, with a template font when face is given; the
// tests add the statics they need. Shown without activation and without a
// caption, Wine leaves the window to itself instead of to a window manager,
// and does not wait for one when the window goes.
HWND CreateTestDialog(const wchar_t* face = nullptr, WORD pointSize = 0)
{
    DLGTEMPLATE header = {};
    header.style = WS_POPUP | WS_BORDER | (face ? DS_SETFONT : 0);
    header.cx = 200;
    header.cy = 100;
    std::vector<WORD> words(sizeof(header) / sizeof(WORD));
    memcpy(words.data(), &header, sizeof(header));
    words.insert(words.end(), { 0, 0, 0 });     // no menu, default class, empty title
    if (face) {
        words.push_back(pointSize);
        for (const wchar_t* p = face;; ++p) {
            words.push_back(static_cast<WORD>(*p));
            if (!*p) break;
        }
    }
    HWND window = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                             reinterpret_cast<DLGTEMPLATE*>(words.data()), nullptr,
                                             TestDialogProc, 0);
    if (window) SetWindowPos(window, HWND_TOPMOST, 40, 40, 480, 240, SWP_SHOWWINDOW | SWP_NOACTIVATE);
    return window;
}

std::string RecorderPath() { return ProgramFolder() + "link_recorder.exe"; }

// Pixels of a window's client area as it paints itself on white.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;

    COLORREF At(int x, int y) const { return pixels[y * width + x]; }
    int Count(COLORREF color) const
    {
        int count = 0;
        for (COLORREF pixel : pixels) count += pixel == color;
        return count;
    }
    // The longest horizontal run of one colour: an underline is one long run,
    // glyphs alone make only short ones.
    int LongestRun(COLORREF color) const
    {
        int longest = 0;
        for (int y = 0; y < height; ++y) {
            int run = 0;
            for (int x = 0; x < width; ++x) {
                run = At(x, y) == color ? run + 1 : 0;
                if (run > longest) longest = run;
            }
        }
        return longest;
    }
};

Picture Render(HWND window)
{
    Picture picture;
    RECT client;
    GetClientRect(window, &client);
    picture.width = client.right;
    picture.height = client.bottom;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) {
        DeleteDC(dc);
        return picture;
    }
    HGDIOBJ previous = SelectObject(dc, bitmap);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SendMessageA(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    GdiFlush();
    const DWORD* source = static_cast<const DWORD*>(bits);
    for (int i = 0; i < picture.width * picture.height; ++i)
        picture.pixels.push_back(RGB((source[i] >> 16) & 0xFF, (source[i] >> 8) & 0xFF, source[i] & 0xFF));
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return picture;
}

LPARAM PointParam(int x, int y) { return MAKELPARAM(x, y); }

// Saves the browser's settings key and puts it back as it was afterwards.
class BrowserSettingsGuard {
public:
    BrowserSettingsGuard()
    {
        HKEY key;
        m_existed = RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
        if (!m_existed) return;
        for (DWORD index = 0;; ++index) {
            char name[256];
            BYTE data[1024];
            DWORD nameSize = sizeof(name), dataSize = sizeof(data), type = 0;
            if (RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS) break;
            m_values.push_back({ name, type, std::vector<BYTE>(data, data + dataSize) });
        }
        DWORD subkeys = 0;
        RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr);
        m_hasSubkeys = subkeys != 0;
        RegCloseKey(key);
    }
    ~BrowserSettingsGuard()
    {
        if (!m_hasSubkeys) RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
        if (!m_existed) return;
        HKEY key;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            return;
        RegDeleteValueA(key, "Anchor Color");
        RegDeleteValueA(key, "Anchor Color Visited");
        for (const Value& value : m_values)
            RegSetValueExA(key, value.name.c_str(), 0, value.type, value.data.data(),
                           static_cast<DWORD>(value.data.size()));
        RegCloseKey(key);
    }
    bool CanRemoveKey() const { return !m_hasSubkeys; }

private:
    struct Value {
        std::string name;
        DWORD type;
        std::vector<BYTE> data;
    };
    bool m_existed = false;
    bool m_hasSubkeys = false;
    std::vector<Value> m_values;
};

// How a colour value is stored: absent, or a type with exactly these bytes.
struct StoredValue {
    bool present;
    DWORD type;
    const char* bytes;
    DWORD size;
};

const StoredValue kAbsent = { false, 0, nullptr, 0 };
StoredValue Text(const char* text) { return { true, REG_SZ, text, static_cast<DWORD>(lstrlenA(text) + 1) }; }

void Store(HKEY key, const char* name, const StoredValue& value)
{
    RegDeleteValueA(key, name);
    if (value.present)
        RegSetValueExA(key, name, 0, value.type, reinterpret_cast<const BYTE*>(value.bytes), value.size);
}

BOOL CALLBACK CollectChild(HWND child, LPARAM children)
{
    reinterpret_cast<std::vector<HWND>*>(children)->push_back(child);
    return TRUE;
}

class LinkLabelTest : public testing::Test {
protected:
    // One dialog serves the whole suite: Wine waits for a window manager that
    // is not there each time a top-level window goes, children it does not.
    static void SetUpTestSuite() { s_dialog = CreateTestDialog(); }
    static void TearDownTestSuite()
    {
        if (s_dialog) DestroyWindow(s_dialog);
        s_dialog = nullptr;
    }

    void SetUp() override
    {
        g_commands.clear();
        m_dialog = s_dialog;
        ASSERT_TRUE(m_dialog != nullptr);
        char recordPath[MAX_PATH];
        GetTempPathA(MAX_PATH, recordPath);
        m_recordFile = std::string(recordPath) + "gd_link_record.txt";
        DeleteFileA(m_recordFile.c_str());
        SetEnvironmentVariableA("GD_LINK_RECORD", m_recordFile.c_str());
    }

    void TearDown() override
    {
        for (CLinkLabel& link : m_links)
            if (IsWindow(link.Tooltip())) DestroyWindow(link.Tooltip());
        std::vector<HWND> children;
        EnumChildWindows(s_dialog, CollectChild, reinterpret_cast<LPARAM>(&children));
        for (HWND child : children)
            if (IsWindow(child)) DestroyWindow(child);
        if (m_dialog != s_dialog) DestroyWindow(m_dialog);
        SetEnvironmentVariableA("GD_LINK_RECORD", nullptr);
        DeleteFileA(m_recordFile.c_str());
    }

    HWND AddStatic(const char* text, DWORD style, int x, int y, int width, int height, int id = 0)
    {
        return CreateWindowExA(0, "static", text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, m_dialog,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr),
                               nullptr);
    }

    // A link over a new static, attached and initialised as the About box does.
    CLinkLabel& AddLink(const char* label, const char* target, DWORD style = SS_LEFT,
                        int width = 300, int height = 20, const char* windowText = "")
    {
        m_links.emplace_back();
        CLinkLabel& link = m_links.back();
        if (target) link.SetTarget(target);
        if (label) link.SetLabel(label);
        HWND control = AddStatic(windowText, style, 10, 10 + 30 * static_cast<int>(m_links.size() - 1), width, height);
        EXPECT_TRUE(link.AttachToWindow(control));
        link.InitializeLink();
        return link;
    }

    CLinkLabel& AddRecorderLink(const char* label = "Open the recorder")
    {
        return AddLink(label, RecorderPath().c_str());
    }

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
        int lines = 0;
        for (DWORD i = 0; i < read; ++i) lines += buffer[i] == '\n';
        return lines;
    }

    bool WaitForRuns(int runs)
    {
        return PumpUntil([&] { return RecorderRuns() >= runs; }, kWaitMs);
    }

    // A message loop as a modeless dialog has it, so the dialog's keyboard
    // handling (IsDialogMessage) sees what is posted.
    template <class Pred>
    bool PumpDialogUntil(Pred pred, DWORD timeoutMs)
    {
        DWORD start = GetTickCount();
        for (;;) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (IsDialogMessageA(m_dialog, &msg)) continue;
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            if (pred()) return true;
            if (GetTickCount() - start > timeoutMs) return false;
            Sleep(5);
        }
    }

    void PostKey(HWND window, UINT virtualKey)
    {
        LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC)) << 16;
        PostMessageA(window, WM_KEYDOWN, virtualKey, scan | 1);
        PostMessageA(window, WM_KEYUP, virtualKey, scan | 1 | (3u << 30));
    }

    static HWND s_dialog;
    HWND m_dialog = nullptr;            // s_dialog unless a test makes its own
    std::string m_recordFile;
    std::list<CLinkLabel> m_links;    // outlive the windows, which TearDown destroys
};

HWND LinkLabelTest::s_dialog = nullptr;

// --- Colour text -----------------------------------------------------------

struct ColorCase {
    const char* text;
    COLORREF expected;
};

const ColorCase kColorCases[] = {
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
    { "", CLR_INVALID },
    { "255", CLR_INVALID },
    { "0;0;255", CLR_INVALID },
};

TEST(LinkColorText, ParsesEachCaseAsDescribed)
{
    for (const ColorCase& c : kColorCases) {
        char text[64];
        lstrcpynA(text, c.text, sizeof(text));
        EXPECT_EQ(c.expected, CLinkLabel::ParseColorString(text)) << "text \"" << c.text << "\"";
    }
    EXPECT_EQ(CLR_INVALID, CLinkLabel::ParseColorString(nullptr));
}

// --- Colours from the browser's settings ------------------------------------

struct RegistryColorCase {
    const char* name;
    StoredValue anchor;
    StoredValue visited;
    COLORREF expectedLink;
    COLORREF expectedVisited;
};

const RegistryColorCase kRegistryColorCases[] = {
    { "both set", Text("0,128,0"), Text("255,0,0"), RGB(0, 128, 0), RGB(255, 0, 0) },
    { "neither set", kAbsent, kAbsent, kBlue, kPurple },
    { "only visited", kAbsent, Text("1,2,3"), kBlue, RGB(1, 2, 3) },
    { "11 characters fit", Text("000,128,000"), Text("  9,  8,  7"), RGB(0, 128, 0), RGB(9, 8, 7) },
    { "12 characters are too long", Text("0000,128,000"), Text("0, 0, 0     "), kBlue, kPurple },
    { "not parsable", Text("1,2,"), Text("-1,0,0"), kBlue, kPurple },
    // Stored without a NUL: the text must still end inside the buffer.
    { "binary without NUL", { true, REG_BINARY, "0,128,0", 7 }, { true, REG_BINARY, "7,8,9", 5 },
      RGB(0, 128, 0), RGB(7, 8, 9) },
    { "12 bytes without NUL", { true, REG_BINARY, "000,128,0000", 12 }, { true, REG_SZ, "000,128,0000X", 12 },
      kBlue, kPurple },
    { "a number, not text", { true, REG_DWORD, "\x01\x02\x03\x04", 4 }, kAbsent, kBlue, kPurple },
};

TEST_F(LinkLabelTest, ReadsTheBrowsersLinkColours)
{
    BrowserSettingsGuard guard;
    for (const RegistryColorCase& c : kRegistryColorCases) {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &key, nullptr));
        Store(key, "Anchor Color", c.anchor);
        Store(key, "Anchor Color Visited", c.visited);
        RegCloseKey(key);
        CLinkLabel& link = AddRecorderLink();
        EXPECT_EQ(c.expectedLink, link.LinkColor()) << c.name;
        EXPECT_EQ(c.expectedVisited, link.VisitedColor()) << c.name;
    }
}

TEST_F(LinkLabelTest, KeepsDefaultColoursWithoutTheSettingsKey)
{
    BrowserSettingsGuard guard;
    if (!guard.CanRemoveKey()) GTEST_SKIP() << "the settings key has subkeys; not removing it";
    RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
    CLinkLabel& link = AddRecorderLink();
    EXPECT_EQ(kBlue, link.LinkColor());
    EXPECT_EQ(kPurple, link.VisitedColor());
}

TEST_F(LinkLabelTest, PaintsTheLabelInTheLinkColourBeforeAndAfterAVisit)
{
    BrowserSettingsGuard guard;
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    Store(key, "Anchor Color", Text("0,160,0"));
    Store(key, "Anchor Color Visited", Text("200,0,0"));
    RegCloseKey(key);
    CLinkLabel& link = AddRecorderLink("WWWWWWWW");

    Picture before = Render(link.m_hWnd);
    EXPECT_GT(before.Count(RGB(0, 160, 0)), 20);
    ASSERT_TRUE(link.OpenTarget());
    ASSERT_TRUE(WaitForRuns(1)) << "the recorder did not run";
    EXPECT_TRUE(link.IsVisited());
    Picture after = Render(link.m_hWnd);
    EXPECT_EQ(before.Count(RGB(0, 160, 0)), after.Count(RGB(0, 160, 0)));
    EXPECT_EQ(0, after.Count(RGB(200, 0, 0))) << "painted in the visited colour";
}

// --- Taking over the static -------------------------------------------------

TEST_F(LinkLabelTest, TakesLabelAndTargetFromTheWindowText)
{
    CLinkLabel& link = AddLink(nullptr, nullptr, SS_LEFT, 300, 20, "Read me");
    ASSERT_TRUE(link.Label() != nullptr);
    EXPECT_STREQ("Read me", link.Label());
    ASSERT_TRUE(link.Target() != nullptr);
    EXPECT_STREQ("Read me", link.Target());
    EXPECT_TRUE(GetWindowLongA(link.m_hWnd, GWL_STYLE) & SS_NOTIFY);
    EXPECT_TRUE(link.PaintsLabel());
}

TEST_F(LinkLabelTest, WithoutAWindowStaysUnattachedAndMakesNoTooltip)
{
    m_links.emplace_back();
    CLinkLabel& link = m_links.back();
    EXPECT_TRUE(link.SetTarget(RecorderPath().c_str()));
    EXPECT_FALSE(link.AttachToWindow(GetDlgItem(m_dialog, 4321)));
    link.InitializeLink();
    EXPECT_EQ(nullptr, link.Tooltip());
    EXPECT_FALSE(link.ComputeLinkRect());
    EXPECT_TRUE(IsRectEmpty(&link.LinkRect()));
}

TEST_F(LinkLabelTest, ShowsTheTargetInATooltip)
{
    CLinkLabel& link = AddLink("Home", "https://www.glimmerdeck.example/");
    HWND tip = link.Tooltip();
    ASSERT_TRUE(IsWindow(tip));
    char className[32] = {};
    GetClassNameA(tip, className, sizeof(className));
    EXPECT_STREQ("tooltips_class32", className);
    EXPECT_EQ(1, SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0));

    char text[256] = {};
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.hwnd = m_dialog;
    tool.uId = reinterpret_cast<UINT_PTR>(link.m_hWnd);
    tool.lpszText = text;
    SendMessageA(tip, TTM_GETTEXTA, sizeof(text), reinterpret_cast<LPARAM>(&tool));
    EXPECT_STREQ("https://www.glimmerdeck.example/", text);
}

TEST_F(LinkLabelTest, AnEmptyStaticHasNoLinkArea)
{
    CLinkLabel& link = AddLink(nullptr, nullptr);
    EXPECT_TRUE(IsRectEmpty(&link.LinkRect()));
    HWND other = AddStatic("x", SS_NOTIFY, 10, 200, 20, 20);
    SetFocus(other);
    SendMessageA(link.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, PointParam(0, 0));
    EXPECT_NE(link.m_hWnd, GetFocus());
    EXPECT_NE(link.m_hWnd, GetCapture());
    SendMessageA(link.m_hWnd, WM_LBUTTONUP, 0, PointParam(0, 0));
    EXPECT_FALSE(link.IsVisited());
}

struct AlignmentCase {
    const char* name;
    DWORD style;
};

TEST_F(LinkLabelTest, MeasuresTheTextWhereTheStaticAlignsIt)
{
    const AlignmentCase cases[] = { { "left", SS_LEFT }, { "centre", SS_CENTER }, { "right", SS_RIGHT } };
    for (const AlignmentCase& c : cases) {
        CLinkLabel& link = AddLink("short text", RecorderPath().c_str(), c.style, 300, 20);
        RECT client, text = link.LinkRect();
        GetClientRect(link.m_hWnd, &client);
        int width = text.right - text.left;
        EXPECT_GT(width, 10) << c.name;
        EXPECT_LT(width, 150) << c.name;
        EXPECT_EQ(0, text.top) << c.name;
        int expectedLeft = c.style == SS_CENTER ? (client.right - width) / 2
                         : c.style == SS_RIGHT ? client.right - width : 0;
        EXPECT_NEAR(expectedLeft, text.left, 1) << c.name;
    }
}

TEST_F(LinkLabelTest, MeasuresWithTheParentsFont)
{
    // The fixture's dialog has no font of its own: the stock GUI font,
    // underlined, measures.
    CLinkLabel& stock = AddRecorderLink("Measure me");
    m_dialog = CreateTestDialog(L"Tahoma", 24);
    ASSERT_TRUE(m_dialog != nullptr);
    ASSERT_TRUE(SendMessageA(m_dialog, WM_GETFONT, 0, 0) != 0) << "the dialog has no font";
    CLinkLabel& large = AddLink("Measure me", RecorderPath().c_str(), SS_LEFT, 400, 60);
    EXPECT_GT(large.LinkRect().bottom, stock.LinkRect().bottom + 15);
    EXPECT_GT(large.LinkRect().right, stock.LinkRect().right + 30);
}

// --- Mouse ------------------------------------------------------------------

TEST_F(LinkLabelTest, OpensOnlyWhenPressAndReleaseAreBothOnTheText)
{
    CLinkLabel& link = AddRecorderLink();
    HWND other = AddStatic("elsewhere", SS_NOTIFY, 10, 200, 80, 20);
    const RECT text = link.LinkRect();
    const int insideX = text.left + 2, insideY = (text.top + text.bottom) / 2;
    const int outsideX = text.right + 20;
    ASSERT_LT(outsideX, 300);

    // Pressed outside: neither focus nor capture, and the release opens nothing.
    SetFocus(other);
    SendMessageA(link.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, PointParam(outsideX, insideY));
    EXPECT_EQ(other, GetFocus());
    EXPECT_NE(link.m_hWnd, GetCapture());
    SendMessageA(link.m_hWnd, WM_LBUTTONUP, 0, PointParam(insideX, insideY));
    EXPECT_FALSE(link.IsVisited());

    // Pressed inside, released outside: focus and capture taken, then let go.
    SendMessageA(link.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, PointParam(insideX, insideY));
    EXPECT_EQ(link.m_hWnd, GetFocus());
    EXPECT_EQ(link.m_hWnd, GetCapture());
    SendMessageA(link.m_hWnd, WM_LBUTTONUP, 0, PointParam(outsideX, insideY));
    EXPECT_NE(link.m_hWnd, GetCapture());
    EXPECT_FALSE(link.IsVisited());

    // A full click opens once.
    SendMessageA(link.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, PointParam(insideX, insideY));
    SendMessageA(link.m_hWnd, WM_LBUTTONUP, 0, PointParam(insideX, insideY));
    EXPECT_TRUE(link.IsVisited());
    ASSERT_TRUE(WaitForRuns(1)) << "the recorder did not run";
    EXPECT_EQ(1, RecorderRuns()) << "only the full click may open the target";
    EXPECT_TRUE(IsWindow(m_dialog));
}

TEST_F(LinkLabelTest, ShowsTheHandOnlyOverTheMeasuredText)
{
    CLinkLabel& link = AddRecorderLink();
    const RECT text = link.LinkRect();
    const int y = (text.top + text.bottom) / 2;
    HCURSOR hand = LoadCursorA(nullptr, IDC_HAND);
    HCURSOR cross = LoadCursorA(nullptr, IDC_CROSS);
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);

    SetCursor(cross);
    SendMessageA(link.m_hWnd, WM_MOUSEMOVE, 0, PointParam(text.left + 1, y));
    EXPECT_EQ(hand, GetCursor()) << "over the text";
    SetCursor(cross);
    SendMessageA(link.m_hWnd, WM_MOUSEMOVE, 0, PointParam(text.right + 20, y));
    EXPECT_EQ(cross, GetCursor()) << "beside the text";

    // WM_SETCURSOR over the text keeps the hand; beside it the window's own
    // cursor comes back.
    POINT screen = { text.left + 1, y };
    ClientToScreen(link.m_hWnd, &screen);
    SetCursorPos(screen.x, screen.y);
    SetCursor(hand);
    EXPECT_EQ(TRUE, SendMessageA(link.m_hWnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(link.m_hWnd),
                                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(hand, GetCursor());
    screen.x += text.right + 20;
    SetCursorPos(screen.x, screen.y);
    SendMessageA(link.m_hWnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(link.m_hWnd),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(arrow, GetCursor());
}

// Wine delivers WM_MOUSEHOVER and WM_MOUSELEAVE from the real pointer
// position, so the pointer is moved onto the control and away again.
TEST_F(LinkLabelTest, UnderlinesWhileTheMouseRestsOnIt)
{
    CLinkLabel& link = AddRecorderLink("WWWWWWWWWWWW");
    UpdateWindow(m_dialog);
    const RECT text = link.LinkRect();
    const int textWidth = text.right - text.left;
    EXPECT_LT(Render(link.m_hWnd).LongestRun(kBlue), textWidth / 2) << "underlined before any hover";

    POINT onText = { text.left + 3, (text.top + text.bottom) / 2 };
    ClientToScreen(link.m_hWnd, &onText);
    SetForegroundWindow(m_dialog);
    SetCursorPos(onText.x, onText.y);
    ASSERT_TRUE(PumpUntil([&] { return WindowFromPoint(onText) == link.m_hWnd; }, kWaitMs))
        << "the control is not under the pointer";
    SendMessageA(link.m_hWnd, WM_MOUSEMOVE, 0, PointParam(text.left + 3, (text.top + text.bottom) / 2));
    ASSERT_TRUE(PumpUntil([&] { return link.IsHovered(); }, kWaitMs)) << "no WM_MOUSEHOVER arrived";
    EXPECT_GE(Render(link.m_hWnd).LongestRun(kBlue), textWidth / 2) << "no underline while hovered";

    SetCursorPos(onText.x, onText.y + 300);
    ASSERT_TRUE(PumpUntil([&] { return !link.IsHovered(); }, kWaitMs)) << "no WM_MOUSELEAVE arrived";
    EXPECT_LT(Render(link.m_hWnd).LongestRun(kBlue), textWidth / 2) << "underline left behind";
}

// --- Keyboard ---------------------------------------------------------------

TEST_F(LinkLabelTest, EnterAndSpaceOpenOtherCharactersAreSwallowed)
{
    CreateWindowExA(0, "button", "&Quit", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 350, 150, 80, 24, m_dialog,
                    reinterpret_cast<HMENU>(kQuitButton), GetModuleHandleA(nullptr), nullptr);
    CLinkLabel& link = AddRecorderLink();
    EXPECT_EQ(DLGC_WANTCHARS, SendMessageA(link.m_hWnd, WM_GETDLGCODE, 0, 0) & DLGC_WANTCHARS);

    // 'q' would be the Quit button's mnemonic if the link let it through.
    SetFocus(link.m_hWnd);
    ASSERT_EQ(link.m_hWnd, GetFocus());
    PostMessageA(link.m_hWnd, WM_CHAR, 'q', 1);
    PostMessageA(link.m_hWnd, WM_CHAR, 'x', 1);
    PumpDialogUntil([] { return false; }, 100);
    EXPECT_TRUE(g_commands.empty()) << "a character reached the dialog, first command " << g_commands[0];
    EXPECT_FALSE(link.IsVisited());
    EXPECT_EQ(0, SendMessageA(link.m_hWnd, WM_CHAR, 'a', 1));

    PostKey(link.m_hWnd, VK_RETURN);
    ASSERT_TRUE(PumpDialogUntil([&] { return RecorderRuns() >= 1; }, kWaitMs)) << "Enter did not open";
    EXPECT_TRUE(g_commands.empty()) << "Enter went to the dialog as command " << g_commands[0];

    PostKey(link.m_hWnd, VK_SPACE);
    ASSERT_TRUE(PumpDialogUntil([&] { return RecorderRuns() >= 2; }, kWaitMs)) << "space did not open";
    EXPECT_TRUE(g_commands.empty());
    EXPECT_TRUE(link.IsVisited());
}

// --- Non-text statics -------------------------------------------------------

TEST_F(LinkLabelTest, AnIconKeepsItsPaintingAndAllOfItIsTheLink)
{
    BrowserSettingsGuard guard;
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    Store(key, "Anchor Color", Text("0,128,0"));
    RegCloseKey(key);

    // SS_REALSIZECONTROL lies outside the type bits but within the low byte.
    const DWORD styles[] = { SS_ICON, SS_ICON | SS_REALSIZECONTROL };
    HICON icon = LoadIconA(nullptr, IDI_APPLICATION);
    int runs = 0;
    for (DWORD style : styles) {
        HWND plain = AddStatic("", style, 200, 150, 32, 32);
        HWND control = AddStatic("", style, 250, 150, 32, 32);
        SendMessageA(plain, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
        SendMessageA(control, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
        m_links.emplace_back();
        CLinkLabel& link = m_links.back();
        link.SetTarget(RecorderPath().c_str());
        ASSERT_TRUE(link.AttachToWindow(control));
        link.InitializeLink();

        EXPECT_FALSE(link.PaintsLabel()) << "style " << style;
        EXPECT_TRUE(GetWindowLongA(control, GWL_STYLE) & SS_NOTIFY) << "style " << style;
        EXPECT_EQ(kBlue, link.LinkColor()) << "a non-text static reads no colours, style " << style;
        RECT client;
        GetClientRect(control, &client);
        EXPECT_TRUE(EqualRect(&client, &link.LinkRect())) << "style " << style;

        Picture expected = Render(plain), actual = Render(control);
        EXPECT_EQ(expected.width, actual.width) << "style " << style;
        EXPECT_TRUE(expected.pixels == actual.pixels) << "the icon is not painted as the static paints it, style "
                                                      << style;
        EXPECT_LT(expected.Count(RGB(255, 255, 255)), expected.width * expected.height) << "nothing painted";

        const LPARAM corner = PointParam(client.right - 1, client.bottom - 1);
        SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, corner);
        SendMessageA(control, WM_LBUTTONUP, 0, corner);
        ASSERT_TRUE(WaitForRuns(++runs)) << "a click in the corner did not open, style " << style;
        DestroyWindow(plain);
        DestroyWindow(control);
    }
}

// --- Notifications a parent reflects -----------------------------------------

TEST_F(LinkLabelTest, AnswersReflectedNotificationsAsDefaultProcessingWould)
{
    CLinkLabel& link = AddRecorderLink();
    HDC dc = GetDC(link.m_hWnd);
    // Reflected WM_CTLCOLORSTATIC: default processing hands out a brush.
    LRESULT brush = SendMessageA(link.m_hWnd, 0x2000 + WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                 reinterpret_cast<LPARAM>(link.m_hWnd));
    ReleaseDC(link.m_hWnd, dc);
    EXPECT_NE(0, brush);
}

} // namespace
