#include <gtest/gtest.h>
#include <stdio.h>
#include <string>
#include <vector>
#include "support/TestSupport.h"
#include "viewer/Highlighter.h"
#include "viewer/RtfDocument.h"

namespace {

std::string TempFile(const std::string& content)
{
    char folder[MAX_PATH], path[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    GetTempFileNameA(folder, "gdr", 0, path);
    FILE* file = fopen(path, "wb");
    if (file) {
        fwrite(content.data(), 1, content.size(), file);
        fclose(file);
    }
    return path;
}

struct Outcome {
    DWORD exitCode = 0xFFFFFFFF;
    std::string out;
    std::string err;
};

HANDLE OpenInherited(const std::string& path, bool write)
{
    SECURITY_ATTRIBUTES inherit = { sizeof inherit, nullptr, TRUE };
    return CreateFileA(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       &inherit, write ? CREATE_ALWAYS : OPEN_EXISTING, 0, nullptr);
}

// Runs the built converter with its output in files; one that does not end
// within a minute is killed and the test fails.
Outcome RunConverter(const std::vector<std::string>& args, const std::string& input = std::string())
{
    Outcome run;
    std::string command = "\"" + ProgramFolder() + "glimmerdeck-rtf.exe\"";
    for (const std::string& arg : args) command += " \"" + arg + "\"";

    std::string inPath = TempFile(input), outPath = TempFile(""), errPath = TempFile("");
    HANDLE in = OpenInherited(inPath, false), out = OpenInherited(outPath, true), err = OpenInherited(errPath, true);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process = {};
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
            TerminateProcess(process.hProcess, 99);
            WaitForSingleObject(process.hProcess, 5000);
            ADD_FAILURE() << "converter did not finish: " << command;
        }
        GetExitCodeProcess(process.hProcess, &run.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else {
        ADD_FAILURE() << "cannot start " << command << ": error " << GetLastError();
    }
    CloseHandle(in);
    CloseHandle(out);
    CloseHandle(err);
    run.out = ReadFileBytes(outPath);
    run.err = ReadFileBytes(errPath);
    DeleteFileA(inPath.c_str());
    DeleteFileA(outPath.c_str());
    DeleteFileA(errPath.c_str());
    return run;
}

std::string Str(const CString& s) { return std::string(s.c_str(), s.GetLength()); }

const std::string kSamplePage = ProgramFolder() + "pages\\sample.html";

} // namespace

// The run under another code page sets LC_ALL; make sure it took effect.
TEST(Converter, RunsInTheCodePageTheLocaleAsksFor) {
    char locale[64] = "";
    GetEnvironmentVariableA("LC_ALL", locale, sizeof locale);
    if (std::string(locale).compare(0, 5, "ja_JP") == 0) {
        ASSERT_EQ(932u, GetACP());
    }
}

TEST(Converter, WritesTheDocumentOfAFile) {
    const std::string page = ReadFileBytes(kSamplePage);
    ASSERT_FALSE(page.empty()) << kSamplePage;

    Outcome run = RunConverter({ kSamplePage });
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ("", run.err);
    EXPECT_EQ(Str(BuildRtfDocument(page.c_str(), InitialCharsetState(-1))), run.out);

    run = RunConverter({ "--charset", "204", kSamplePage });
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(Str(BuildRtfDocument(page.c_str(), 204)), run.out);
    EXPECT_NE(std::string::npos, run.out.find("\\fcharset204\\fprq2"));
}

TEST(Converter, ReadsStandardInputAndWritesBinary) {
    struct Case { std::vector<std::string> args; std::string input; std::string expected; };
    const std::string boldB = "\\b <\\b0\\cf1 B\\cf0\\b >\\b0 x\\b <\\b0\\cf1 /B\\cf0\\b >\\b0 ";
    const Case cases[] = {
        { { "--body" }, "<B>x</B>", boldB },
        { { "--body", "-" }, "<B>x</B>", boldB },
        { { "--charset", "0", "--body" }, "<B>x</B>", boldB },
        // Line feeds stay single bytes: nothing translates them on the way out.
        { { "--body" }, "a\r\nb\n", "a\\par \nb\\par \n" },
        // The markup ends at the first NUL.
        { { "--body" }, std::string("<B>x</B>\0<I>y", 13), boldB },
        { { "--body" }, "", "" },
        { { "--charset", "-1" }, "", Str(BuildRtfDocument("", InitialCharsetState(-1))) },
        { { "--charset", "+161" }, "x", Str(BuildRtfDocument("x", 161)) },
        { {}, "<B>x</B>", Str(BuildRtfDocument("<B>x</B>", InitialCharsetState(-1))) },
    };
    for (const Case& c : cases) {
        Outcome run = RunConverter(c.args, c.input);
        EXPECT_EQ(0u, run.exitCode) << c.input;
        EXPECT_EQ(c.expected, run.out) << c.input;
        EXPECT_EQ("", run.err) << c.input;
    }
}

TEST(Converter, ResolvesTheCharsetOfAMetaElement) {
    struct Case { std::string markup; int expected; };
    const int acp = static_cast<int>(GetACP());
    const Case cases[] = {
        { "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=WINDOWS-1251\">", 204 },
        { "<meta charset=\"Shift_JIS\">", 128 },
        { "<meta charset=\"UTF-8\">", acp },
        { "<meta charset=\"gb2312\">", -1 },
        // Without the word "charset" the capture never asks.
        { "<meta name=\"x\" content=\"windows-1251\">", -1 },
        { "", -1 },
        // In a double-byte code page the "k" after 0x82 is a trail byte, not
        // the start of "koi".
        { "<meta charset=\x82koi8-r>", IsDBCSLeadByte(0x82) ? -1 : 204 },
    };
    for (const Case& c : cases) {
        std::string file = TempFile(c.markup);
        Outcome run = RunConverter({ "--meta", file });
        DeleteFileA(file.c_str());
        EXPECT_EQ(0u, run.exitCode) << c.markup;
        EXPECT_EQ(std::to_string(c.expected) + "\n", run.out) << c.markup;
    }
    Outcome run = RunConverter({ "--meta" }, "<meta charset=koi8-r>");
    EXPECT_EQ("204\n", run.out);
}

TEST(Converter, RefusesBadArgumentsWithTheUsageLine) {
    const std::vector<std::vector<std::string>> cases = {
        { "--charset" }, { "--charset", "abc" }, { "--charset", "12x" }, { "--charset", "99999999999" },
        { "--charset", "" }, { "--bogus" }, { "-x" }, { "a.html", "b.html" }, { "--meta", "--body" },
        { "--meta", "--charset", "1" }, { "--body", "--body" }, { "--charset", "1", "--charset", "2" },
    };
    for (const std::vector<std::string>& args : cases) {
        Outcome run = RunConverter(args);
        std::string shown;
        for (const std::string& arg : args) shown += "[" + arg + "]";
        EXPECT_EQ(2u, run.exitCode) << shown;
        EXPECT_EQ("", run.out) << shown;
        EXPECT_EQ(0u, run.err.find("usage: glimmerdeck-rtf")) << shown << " gave: " << run.err;
        EXPECT_EQ(run.err.size() - 1, run.err.find('\n')) << shown << ": one line";
    }
    Outcome help = RunConverter({ "--help" });
    EXPECT_EQ(0u, help.exitCode);
    EXPECT_EQ(0u, help.out.find("usage: glimmerdeck-rtf"));
}

TEST(Converter, NamesAFileThatCannotBeRead) {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    const std::string missing = std::string(folder) + "no-such-page-3141.html";
    // A folder is not a page either (no trailing backslash: it would quote the quote).
    std::string directory(folder);
    while (!directory.empty() && directory.back() == '\\') directory.pop_back();
    const std::string cases[] = { missing, directory };
    for (const std::string& path : cases) {
        for (const char* mode : { "--body", "--meta" }) {
            Outcome run = RunConverter({ mode, path });
            EXPECT_EQ(1u, run.exitCode) << path;
            EXPECT_EQ("", run.out) << path;
            EXPECT_NE(std::string::npos, run.err.find(path)) << run.err;
            EXPECT_EQ(run.err.size() - 1, run.err.find('\n')) << "one line: " << run.err;
        }
    }
}
