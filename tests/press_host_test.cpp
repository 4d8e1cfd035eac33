// The browser stand-in as the demo runs it: a separate process that finds the
// extension through the registry, presses its button and reports.
#include <gtest/gtest.h>
#include <algorithm>
#include <sstream>
#include "support/ServerModule.h"
#include "support/TestSupport.h"

namespace {

const DWORD kDeadlineMs = 120000;
const char kPage[] =
    "<html>\r\n<head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">"
    "<title>T</title></head>\r\n<body><p class=\"x\">Glimmer</p><!-- c --></body>\r\n</html>\r\n";

testing::Environment* const g_environment = testing::AddGlobalTestEnvironment(new RegisteredServerEnvironment);

std::string Host(const std::string& arguments)
{
    return "\"" + ProgramFolder() + "glimmerdeck-host.exe\" " + arguments;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find(".final") == std::string::npos) lines.push_back(line);
    }
    return lines;
}

// True when expected appear in lines in this order (others may come between).
bool InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& expected)
{
    auto at = lines.begin();
    for (const std::string& line : expected) {
        at = std::find(at, lines.end(), line);
        if (at == lines.end()) return false;
        ++at;
    }
    return true;
}

TEST(Host, PressesTheButtonAndScreenshotsTheViewer)
{
    TempFile page("press-page.html", kPage);
    TempFile log("press-host.log");
    TempFile shot("press-viewer.png");
    std::string output;
    int code = RunProgram(Host("--log \"" + log.Path() + "\" --screenshot \"" + shot.Path() + "\" \"" +
                               page.Path() + "\""), kDeadlineMs, output);
    ASSERT_EQ(0, code) << output;
    EXPECT_EQ(shot.Path() + "\r\n", output.substr(output.size() - shot.Path().size() - 2));

    std::vector<std::string> lines = Lines(log.Read());
    std::vector<std::string> steps = {
        "Host.SetSite",
        "Site.QueryInterface(IServiceProvider)",
        "Site.QueryService(SID_SWebBrowserApp, IWebBrowser2)",
        "Host.QueryStatus 0x00000000 flags 2",
        "Host.Exec",
    };
    steps.insert(steps.end(), kPressOpeningCalls.begin(), kPressOpeningCalls.end());
    steps.insert(steps.end(), {
        "Element[2].get_outerHTML",                           // HTML HEAD META: the META
        "Element[0].get_outerHTML",                           // the root markup
        "Host.Viewer owner=browser charset=204",
        "Host.Exec returned 0x00000000",
    });
    EXPECT_TRUE(InOrder(lines, steps)) << log.Read();

    std::string png = shot.Read();
    ASSERT_GT(png.size(), 1000u);
    EXPECT_EQ(std::string("\x89PNG\r\n\x1a\n", 8), png.substr(0, 8));
}

TEST(Host, LoadingPageAsksInTheBrowsersNameAndNoEndsIt)
{
    TempFile page("press-page.html", kPage);
    TempFile log("press-host.log");
    std::string output;
    int code = RunProgram(Host("--loading --answer no --log \"" + log.Path() + "\" \"" + page.Path() + "\""),
                          kDeadlineMs, output);
    ASSERT_EQ(0, code) << output;
    std::vector<std::string> lines = Lines(log.Read());
    EXPECT_TRUE(InOrder(lines, {
        "Document.get_readyState",
        "Host.MessageBox owner=browser caption=Glimmerdeck "
        "text=Document is not loaded yet.|Do you want to display source anyway?",
        "Host.Exec returned 0x00000000" })) << log.Read();
    EXPECT_TRUE(std::none_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line == "Browser.Stop" || line.compare(0, 11, "Host.Viewer") == 0;
    })) << log.Read();
}

TEST(Host, DeadlineEndsAnUnansweredQuestionAndFails)
{
    TempFile page("press-page.html", kPage);
    std::string output;
    int code = RunProgram(Host("--loading --timeout 2 \"" + page.Path() + "\""), kDeadlineMs, output);
    EXPECT_EQ(3, code) << output;
    EXPECT_NE(std::string::npos, output.find("glimmerdeck-host: timed out")) << output;
}

struct BadInput {
    const char* arguments;
    int code;
    const char* message;
};

TEST(Host, BadInputGetsOneLineAndAnErrorCode)
{
    const BadInput kCases[] = {
        { "", 2, "glimmerdeck-host: no PAGE given" },
        { "--bogus page.html", 2, "glimmerdeck-host: unknown option --bogus" },
        { "--timeout x page.html", 2, "glimmerdeck-host: --timeout takes" },
        { "--answer maybe page.html", 2, "glimmerdeck-host: --answer takes yes or no" },
        { "a.html b.html", 2, "glimmerdeck-host: only one PAGE may be given" },
        { "C:\\no\\such\\page.html", 1, "glimmerdeck-host: cannot read page C:\\no\\such\\page.html" },
        { "C:\\windows", 1, "glimmerdeck-host: cannot read page C:\\windows" },
    };
    for (const BadInput& c : kCases) {
        std::string output;
        EXPECT_EQ(c.code, RunProgram(Host(c.arguments), kDeadlineMs, output)) << c.arguments;
        EXPECT_EQ(0u, output.find(c.message)) << c.arguments << ": " << output;
        EXPECT_EQ(1, std::count(output.begin(), output.end(), '\n')) << c.arguments << ": " << output;
    }
}

TEST(Host, UnregisteredExtensionIsReported)
{
    ServerModule server;
    ASSERT_EQ(S_OK, server.Unregister());
    TempFile page("press-page.html", kPage);
    std::string output;
    int code = RunProgram(Host("\"" + page.Path() + "\""), kDeadlineMs, output);
    EXPECT_EQ(S_OK, server.Register());
    EXPECT_EQ(1, code);
    EXPECT_EQ(0u, output.find("glimmerdeck-host: the extension is not registered")) << output;
}

}  // namespace
