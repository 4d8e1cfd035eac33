// One press of the button, through the real DLL and its real viewer, with the
// browser, its document and elements played by the stand-in's model. Every
// modal loop is watched and ended at a deadline, which fails the test.
#include <gtest/gtest.h>
#include <algorithm>
#include <stdlib.h>
#include <string.h>
#include <docobj.h>
#include <ocidl.h>
#include "support/ServerModule.h"
#include "tools/host/HostBrowser.h"
#include "tools/host/ModalWatcher.h"

namespace {

const DWORD kDeadlineMs = 30000;
const char kQuestion[] = "Document is not loaded yet.\nDo you want to display source anyway?";

testing::Environment* const g_environment = testing::AddGlobalTestEnvironment(new RegisteredServerEnvironment);

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

// What one press showed and what the stand-in was asked.
struct Press {
    HRESULT result = E_UNEXPECTED;
    std::vector<std::string> calls;     // without the ".final" records
    int liveAfterExec = -1;             // the stand-in's objects alive once Exec returned
    int liveAfterRelease = -1;
    bool timedOut = false;
    // The question, if one was asked.
    int questions = 0;
    std::string questionText, questionCaption;
    HWND questionOwner = nullptr;
    // The viewer, if one was shown.
    int viewers = 0;
    std::string viewerText;
    int viewerCharset = -1;
    HWND viewerOwner = nullptr;
};

// Plays the browser: a frame window that is the active window and the
// browser's top-level window, a site over model, and one button press.
class Browser : public testing::Test {
protected:
    // One frame for the suite: showing and activating a window under Wine
    // costs about a second.
    static void SetUpTestSuite()
    {
        WNDCLASSA frameClass = {};
        frameClass.lpfnWndProc = FrameProc;
        frameClass.hInstance = GetModuleHandleA(nullptr);
        frameClass.lpszClassName = "PressTestFrame";
        RegisterClassA(&frameClass);
        frame = CreateWindowExA(0, "PressTestFrame", "browser", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        SetForegroundWindow(frame);
    }
    static void TearDownTestSuite() { DestroyWindow(frame); }
    void SetUp() override { ASSERT_NE(nullptr, frame); }

    // answer: IDYES or IDNO for the question.
    Press PressButton(const PageModel& model, int answer = IDNO)
    {
        Press press;
        log.calls.clear();
        IOleCommandTarget* target = nullptr;
        HRESULT hr = CoCreateInstance(kClsidZExtension, nullptr, CLSCTX_INPROC_SERVER, IID_IOleCommandTarget,
                                      reinterpret_cast<void**>(&target));
        EXPECT_EQ(S_OK, hr);
        if (!target) return press;
        IObjectWithSite* object = nullptr;
        target->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&object));
        IUnknown* site = CreateHostSite(model, frame, &log);
        object->SetSite(site);
        site->Release();
        log.calls.clear();

        SetActiveWindow(frame);
        {
            ModalWatcher watcher(kDeadlineMs);
            watcher.onMessageBox = [&](HWND box) {
                char caption[64] = {};
                GetWindowTextA(box, caption, sizeof caption);
                press.questionCaption = caption;
                press.questionText = MessageBoxText(box);
                press.questionOwner = GetWindow(box, GW_OWNER);
                ClickButton(box, answer);
            };
            watcher.onViewer = [&](HWND viewer) {
                press.viewerText = ViewerText(viewer);
                press.viewerCharset = ViewerCharset(viewer);
                press.viewerOwner = GetWindow(viewer, GW_OWNER);
                CloseViewer(viewer);
            };
            press.result = target->Exec(nullptr, 0, OLECMDEXECOPT_DODEFAULT, nullptr, nullptr);
            press.timedOut = watcher.TimedOut();
            press.questions = watcher.MessageBoxesSeen();
            press.viewers = watcher.ViewersSeen();
        }
        press.liveAfterExec = log.liveObjects;
        for (const std::string& call : log.calls) {
            if (call.find(".final") == std::string::npos) press.calls.push_back(call);
        }
        object->SetSite(nullptr);
        object->Release();
        target->Release();
        press.liveAfterRelease = log.liveObjects;
        EXPECT_FALSE(press.timedOut) << "a modal loop had to be ended at the deadline";
        EXPECT_EQ(S_OK, press.result);
        EXPECT_EQ(2, press.liveAfterExec) << "Exec released all but the site and browser";
        EXPECT_EQ(0, press.liveAfterRelease);
        return press;
    }

    static bool Called(const Press& press, const std::string& call)
    {
        return std::find(press.calls.begin(), press.calls.end(), call) != press.calls.end();
    }
    static size_t IndexOf(const Press& press, const std::string& call)
    {
        return std::find(press.calls.begin(), press.calls.end(), call) - press.calls.begin();
    }

    static HWND frame;
    CallLog log;
};
HWND Browser::frame = nullptr;

// HTML(0) HEAD(1) META(2) BODY(3) B(4)
const wchar_t kRussianPage[] =
    L"<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\"></head>"
    L"<body><b>Glimmer</b></body></html>";

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

TEST_F(Browser, CompletePageShowsTheRootMarkupWithTheDeclaredCharset)
{
    Press press = PressButton(PageModel::FromText(kRussianPage));
    ASSERT_EQ(1, press.viewers);
    EXPECT_EQ(0, press.questions);
    EXPECT_EQ(Narrow(kRussianPage), press.viewerText);
    EXPECT_EQ(RUSSIAN_CHARSET, press.viewerCharset);
    EXPECT_EQ(frame, press.viewerOwner) << "the viewer is owned by the active window";
}

TEST_F(Browser, CallsTheDocumentModelInTheFixedOrder)
{
    Press press = PressButton(PageModel::FromText(kRussianPage));
    std::vector<std::string> expected = kPressOpeningCalls;
    expected.insert(expected.end(), {
        // Charset pass: up to the first META that mentions charset.
        "Collection.item(0)", "Element[0].QueryInterface(IHTMLElement)", "Element[0].get_tagName",
        "Collection.item(1)", "Element[1].QueryInterface(IHTMLElement)", "Element[1].get_tagName",
        "Collection.item(2)", "Element[2].QueryInterface(IHTMLElement)", "Element[2].get_tagName",
        "Element[2].get_outerHTML",
        // Markup pass: from the start again, up to the first HTML element.
        "Collection.item(0)", "Element[0].QueryInterface(IHTMLElement)", "Element[0].get_tagName",
        "Element[0].get_outerHTML",
    });
    EXPECT_EQ(expected, press.calls);
}

TEST_F(Browser, EachElementIsReleasedBeforeTheNextIsFetched)
{
    PressButton(PageModel::FromText(kRussianPage));
    auto at = [&](const std::string& call) {
        return std::find(log.calls.begin(), log.calls.end(), call) - log.calls.begin();
    };
    EXPECT_LT(at("Element[0].final"), at("Collection.item(1)"));
    EXPECT_LT(at("Element[1].final"), at("Collection.item(2)"));
}

struct ReadyStateCase {
    const char* readyState;
    bool asks;
};

TEST_F(Browser, AsksWhenTheReadyStateIsNotExactlyComplete)
{
    const ReadyStateCase kCases[] = {
        { "complete", false }, { "Complete", true }, { "COMPLETE", true }, { "loading", true },
        { "interactive", true }, { "", true }, { "complete ", true },
    };
    for (const ReadyStateCase& c : kCases) {
        PageModel model = PageModel::FromText(kRussianPage);
        model.readyState = c.readyState;
        Press press = PressButton(model, IDNO);
        EXPECT_EQ(c.asks ? 1 : 0, press.questions) << '"' << c.readyState << '"';
        EXPECT_EQ(c.asks ? 0 : 1, press.viewers) << '"' << c.readyState << '"';
    }
}

TEST_F(Browser, LoadingPageAnsweredNoEndsWithoutStoppingTheBrowser)
{
    PageModel model = PageModel::FromText(kRussianPage);
    model.readyState = "loading";
    Press press = PressButton(model, IDNO);
    ASSERT_EQ(1, press.questions);
    EXPECT_EQ(kQuestion, press.questionText);
    EXPECT_EQ("Glimmerdeck", press.questionCaption);
    EXPECT_EQ(frame, press.questionOwner) << "the question is owned by the browser's window";
    EXPECT_EQ(0, press.viewers);
    EXPECT_FALSE(Called(press, "Browser.Stop"));
    EXPECT_EQ("Document.get_readyState", press.calls.back());
}

TEST_F(Browser, LoadingPageAnsweredYesStopsTheBrowserAndShowsTheMarkup)
{
    PageModel model = PageModel::FromText(kRussianPage);
    model.readyState = "loading";
    Press press = PressButton(model, IDYES);
    EXPECT_EQ(1, press.questions);
    ASSERT_EQ(1, press.viewers);
    EXPECT_EQ(Narrow(kRussianPage), press.viewerText);
    ASSERT_TRUE(Called(press, "Browser.Stop"));
    EXPECT_EQ(IndexOf(press, "Document.get_readyState") + 1, IndexOf(press, "Browser.Stop"));
    EXPECT_EQ(IndexOf(press, "Browser.Stop") + 1, IndexOf(press, "Document.get_all"));
}

TEST_F(Browser, QuestionHasNoOwnerWhenTheBrowserWindowIsUnknown)
{
    PageModel model = PageModel::FromText(kRussianPage);
    model.readyState = "loading";
    log.failing = { "Browser.get_HWND" };
    Press press = PressButton(model, IDNO);
    ASSERT_EQ(1, press.questions);
    EXPECT_EQ(nullptr, press.questionOwner);
}

TEST_F(Browser, UnreadableReadyStateCountsAsComplete)
{
    log.failing = { "Document.get_readyState" };
    Press press = PressButton(PageModel::FromText(kRussianPage));
    EXPECT_EQ(0, press.questions);
    EXPECT_EQ(1, press.viewers);
}

TEST_F(Browser, LowerCaseTagNamesAreFound)
{
    Press press = PressButton(PageModel::FromText(kRussianPage, true));
    ASSERT_EQ(1, press.viewers);
    EXPECT_EQ(RUSSIAN_CHARSET, press.viewerCharset);
    EXPECT_EQ(Narrow(kRussianPage), press.viewerText);
}

struct CharsetCase {
    const char* name;
    const wchar_t* head;
    int charset;            // -1: whatever the viewer shows for an undeclared charset
};

TEST_F(Browser, TheFirstMetaThatMentionsCharsetDecidesAlone)
{
    const CharsetCase kCases[] = {
        { "declaration in capitals", L"<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; CHARSET=WINDOWS-1251\">",
          RUSSIAN_CHARSET },
        { "earlier META without charset is passed over",
          L"<meta name=\"author\" content=\"x\"><meta charset=\"iso-8859-7\">", GREEK_CHARSET },
        { "first declaration unknown, later one ignored",
          L"<meta charset=\"x-unknown\"><meta charset=\"windows-1251\">", -1 },
        { "first declaration known, later one ignored",
          L"<meta charset=\"iso-8859-2\"><meta charset=\"windows-1251\">", EASTEUROPE_CHARSET },
        { "no META at all", L"<title>t</title>", -1 },
    };
    PageModel undeclared = PageModel::FromText(L"<html><head></head><body>x</body></html>");
    int undeclaredCharset = PressButton(undeclared).viewerCharset;
    ASSERT_NE(RUSSIAN_CHARSET, undeclaredCharset);

    for (const CharsetCase& c : kCases) {
        std::wstring page = std::wstring(L"<html><head>") + c.head + L"</head><body>x</body></html>";
        Press press = PressButton(PageModel::FromText(page));
        ASSERT_EQ(1, press.viewers) << c.name;
        EXPECT_EQ(c.charset < 0 ? undeclaredCharset : c.charset, press.viewerCharset) << c.name;
    }
}

TEST_F(Browser, NoHtmlElementShowsNothing)
{
    PageModel model;
    model.markup = L"<body>x</body>";
    model.elements = { { "BODY", L"<body>x</body>" }, { "META", L"<meta charset=utf-8>" } };
    Press press = PressButton(model);
    EXPECT_EQ(0, press.viewers);
    EXPECT_TRUE(Called(press, "Element[1].get_outerHTML")) << "the charset pass ran";
    EXPECT_EQ("Element[1].get_tagName", press.calls.back()) << "the markup pass walked every element";

    PageModel empty;
    press = PressButton(empty);
    EXPECT_EQ(0, press.viewers);
    EXPECT_EQ("Collection.get_length", press.calls.back());
}

TEST_F(Browser, AnHtmlElementWithoutMarkupIsSkippedForALaterOne)
{
    PageModel model;
    model.elements = { { "HTML", L"<html>first</html>" }, { "HTML", L"<html>second</html>" } };
    log.failing = { "Element[0].get_outerHTML" };
    Press press = PressButton(model);
    ASSERT_EQ(1, press.viewers);
    EXPECT_EQ("<html>second</html>", press.viewerText);
}

struct FailureCase {
    const char* failing;
    const char* lastCall;       // the call after which Exec ends; null when the viewer still shows
};

TEST_F(Browser, FailingDocumentCallsEndTheCommandSilently)
{
    const FailureCase kCases[] = {
        { "Browser.get_Document", "Browser.get_Document" },
        { "Browser.get_Document=null", "Browser.get_Document" },
        { "Document.QueryInterface(IHTMLDocument2)", "Document.QueryInterface(IHTMLDocument2)" },
        { "Document.get_all", "Document.get_all" },
        { "Collection.get_length", "Collection.get_length" },
        { "Browser.get_HWND", nullptr },
        { "Collection.item(2)", nullptr },                       // the META is skipped
        { "Element[2].QueryInterface(IHTMLElement)", nullptr },
        { "Element[2].get_tagName", nullptr },
        { "Element[2].get_outerHTML", nullptr },
    };
    for (const FailureCase& c : kCases) {
        log.failing = { c.failing };
        Press press = PressButton(PageModel::FromText(kRussianPage));
        EXPECT_EQ(0, press.questions) << c.failing;
        if (c.lastCall) {
            EXPECT_EQ(0, press.viewers) << c.failing;
            ASSERT_FALSE(press.calls.empty()) << c.failing;
            EXPECT_EQ(c.lastCall, press.calls.back()) << c.failing;
        } else {
            EXPECT_EQ(1, press.viewers) << c.failing;
        }
        if (std::string(c.failing).find("Element[2]") == 0 || std::string(c.failing) == "Collection.item(2)") {
            EXPECT_NE(RUSSIAN_CHARSET, press.viewerCharset) << c.failing << ": the META was skipped";
        }
    }
}

TEST_F(Browser, ReleasingTheObjectWhileTheViewerRunsIsSafe)
{
    // The browser closing its window drops the extension from inside the
    // viewer's message loop; Exec must finish on an object still alive.
    IOleCommandTarget* target = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(kClsidZExtension, nullptr, CLSCTX_INPROC_SERVER, IID_IOleCommandTarget,
                                     reinterpret_cast<void**>(&target)));
    IObjectWithSite* object = nullptr;
    target->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&object));
    IUnknown* site = CreateHostSite(PageModel::FromText(kRussianPage), frame, &log);
    object->SetSite(site);
    site->Release();
    HRESULT hr = E_UNEXPECTED;
    {
        ModalWatcher watcher(kDeadlineMs);
        watcher.onViewer = [&](HWND viewer) {
            object->SetSite(nullptr);
            object->Release();
            object = nullptr;
            target->Release();
            target = nullptr;
            CloseViewer(viewer);
        };
        // Held by the call itself only, as the browser's own reference is gone.
        IOleCommandTarget* calling = target;
        hr = calling->Exec(nullptr, 0, 0, nullptr, nullptr);
        EXPECT_FALSE(watcher.TimedOut());
        EXPECT_EQ(1, watcher.ViewersSeen());
    }
    EXPECT_EQ(S_OK, hr);
    EXPECT_EQ(nullptr, target);
    EXPECT_EQ(0, log.liveObjects) << "the object went, with its browser, once Exec returned";
}

TEST_F(Browser, ResitingWhileTheQuestionIsOpenStopsTheBrowserThatWasAsked)
{
    PageModel model = PageModel::FromText(kRussianPage);
    model.readyState = "loading";
    IOleCommandTarget* target = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(kClsidZExtension, nullptr, CLSCTX_INPROC_SERVER, IID_IOleCommandTarget,
                                     reinterpret_cast<void**>(&target)));
    IObjectWithSite* object = nullptr;
    target->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&object));
    CallLog other;
    IUnknown* site = CreateHostSite(model, frame, &log);
    IUnknown* otherSite = CreateHostSite(model, frame, &other);
    object->SetSite(site);
    site->Release();
    {
        ModalWatcher watcher(kDeadlineMs);
        watcher.onMessageBox = [&](HWND box) {
            object->SetSite(otherSite);
            ClickButton(box, IDYES);
        };
        watcher.onViewer = [&](HWND viewer) { CloseViewer(viewer); };
        EXPECT_EQ(S_OK, target->Exec(nullptr, 0, 0, nullptr, nullptr));
        EXPECT_FALSE(watcher.TimedOut());
        EXPECT_EQ(1, watcher.ViewersSeen());
    }
    EXPECT_NE(log.calls.end(), std::find(log.calls.begin(), log.calls.end(), "Browser.Stop"));
    EXPECT_EQ(0, log.liveObjects) << "the first site's objects all released";
    object->SetSite(nullptr);
    object->Release();
    target->Release();
    otherSite->Release();
    EXPECT_EQ(0, other.liveObjects);
}

TEST(CodePage, IsTheOneThisRunAskedFor)
{
    const char* locale = getenv("LC_ALL");
    bool japanese = locale && strstr(locale, "ja_JP");
    EXPECT_EQ(japanese ? 932u : 1252u, GetACP()) << (locale ? locale : "(no LC_ALL)");
}

TEST_F(Browser, PageTextReachesTheViewerInTheAnsiCodePage)
{
    // Japanese title text: double-byte under code page 932, '?' under 1252.
    const wchar_t kPage[] = L"<html><head><meta charset=\"Shift_JIS\"><title>\x65E5\x672C\x8A9E</title></head>"
                            L"<body>\x3053\x3093</body></html>";
    char narrow[256] = {};
    WideCharToMultiByte(CP_ACP, 0, kPage, -1, narrow, sizeof narrow, nullptr, nullptr);
    Press press = PressButton(PageModel::FromText(kPage));
    ASSERT_EQ(1, press.viewers);
    EXPECT_EQ(SHIFTJIS_CHARSET, press.viewerCharset);
    EXPECT_EQ(std::string(narrow), press.viewerText);
}

}  // namespace
