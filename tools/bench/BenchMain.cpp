// glimmerdeck-bench: the figures of scripts/bench that need no window.
//
//   glimmerdeck-bench highlight SAMPLE          HighlightMarkup beside memcpy and a byte-at-a-time switch
//   glimmerdeck-bench pages SAMPLE DIR          writes the synthetic pages that the other benchmarks read
//   glimmerdeck-bench convert CONVERTER PAGE OUT   glimmerdeck-rtf end to end beside a plain file copy
//
// Prints rows of the one table (BenchSupport.h). Exit codes: 0 done, 1 a file
// could not be read or written or two outputs differ, 2 bad arguments.
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>
#include "tools/bench/BenchSupport.h"
#include "tools/reference/HighlightReference.h"
#include "viewer/Highlighter.h"

namespace {

const char kUsage[] =
    "usage: glimmerdeck-bench highlight SAMPLE | pages SAMPLE DIR | convert CONVERTER PAGE OUT\n";

int Highlight(const std::string& samplePath)
{
    std::string sample;
    if (!ReadWholeFile(samplePath, sample) || sample.empty()) {
        fprintf(stderr, "glimmerdeck-bench: cannot read %s\n", samplePath.c_str());
        return 1;
    }
    struct Page { std::string name; std::string bytes; int rounds; };
    std::vector<Page> pages;
    pages.push_back({ "sample.html", sample, 31 });
    pages.push_back({ "1 MB page", GrowPage(sample, 1u << 20, false), 9 });
    pages.push_back({ "5 MB page", GrowPage(sample, 5u << 20, false), 7 });
    pages.push_back({ "5 MB, lower-case script", GrowPage(sample, 5u << 20, true), 7 });
    pages.push_back({ "20 MB page", GrowPage(sample, 20u << 20, false), 5 });

    for (const Page& page : pages) {
        // The byte-at-a-time reading cuts where the highlighter's buffer does.
        const size_t capacity = static_cast<size_t>(HighlightCapacity(page.bytes.size()));
        std::vector<char> copy(page.bytes.size());
        std::vector<double> fast, slow, floor, overNaive, overCopy;
        const double mb = page.bytes.size() / 1048576.0;
        for (int round = 0; round < page.rounds; ++round) {
            // Each pair back to back, so a busy machine slows both sides alike.
            LARGE_INTEGER t0 = Now();
            CString body = HighlightMarkup(page.bytes.c_str());
            double tFast = SecondsSince(t0);
            // A fresh buffer on both sides: the highlighter gets one per call too.
            t0 = Now();
            CString naive;
            char* naiveBuffer = naive.GetWriteBuffer(static_cast<int>(capacity));
            size_t naiveLength = naiveBuffer ? ReferenceHighlight(page.bytes.c_str(), naiveBuffer, capacity) : 0;
            naive.ReleaseWriteBuffer(static_cast<int>(naiveLength));
            double tSlow = SecondsSince(t0);
            t0 = Now();
            memcpy(copy.data(), page.bytes.data(), page.bytes.size());
            double tCopy = SecondsSince(t0);
            if (naiveLength != static_cast<size_t>(body.GetLength()) ||
                memcmp(naive.c_str(), body.c_str(), naiveLength) != 0) {
                fprintf(stderr, "glimmerdeck-bench: %s: HighlightMarkup and the byte-at-a-time reading differ\n",
                        page.name.c_str());
                return 1;
            }
            fast.push_back(mb / tFast);
            slow.push_back(mb / tSlow);
            floor.push_back(mb / tCopy);
            overNaive.push_back(tSlow / tFast);
            overCopy.push_back(tFast / tCopy);
        }
        Spread f = SpreadOf(fast), s = SpreadOf(slow), c = SpreadOf(floor);
        Spread speedUp = SpreadOf(overNaive), cost = SpreadOf(overCopy);
        char name[96];
        snprintf(name, sizeof name, "highlight %s (%.2f MB)", page.name.c_str(), mb);
        PrintRow(name, "MB/s", f, "byte-at-a-time MB/s", &s, &speedUp);
        PrintRow("  memcpy of the same bytes", "MB/s", c, "HighlightMarkup (time ratio)", &f, &cost);
    }
    return 0;
}

int Pages(const std::string& samplePath, const std::string& folder)
{
    std::string sample;
    if (!ReadWholeFile(samplePath, sample) || sample.empty()) {
        fprintf(stderr, "glimmerdeck-bench: cannot read %s\n", samplePath.c_str());
        return 1;
    }
    struct Made { const char* name; size_t bytes; };
    const Made made[] = {
        { "page-100k.html", 100u << 10 }, { "page-1m.html", 1u << 20 }, { "page-2m.html", 2u << 20 },
        { "page-5m.html", 5u << 20 },     { "page-20m.html", 20u << 20 },
    };
    // Text pages: prose lines with a tag every few hundred lines, few coloured
    // runs, on which Wine's rich edit streams in linear time.
    const std::string prose = "lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor\n";
    std::string block;
    for (int line = 0; line < 200; ++line) block += prose;
    block += "<P CLASS=\"para\">\n";
    for (const Made& m : made) {
        std::string path = folder + "\\" + m.name;
        std::string text = "<HTML><BODY>\n";
        while (text.size() < m.bytes) text += block;
        text += "</BODY></HTML>\n";
        std::string textPath = folder + "\\text-" + (m.name + 5);
        if (!WriteWholeFile(path, GrowPage(sample, m.bytes, false)) || !WriteWholeFile(textPath, text)) {
            fprintf(stderr, "glimmerdeck-bench: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}

// Runs command line with standard output to out; false when it cannot run or fails.
bool RunToFile(const std::string& commandLine, const std::string& out)
{
    SECURITY_ATTRIBUTES inherit = { sizeof inherit, nullptr, TRUE };
    HANDLE file = CreateFileA(out.c_str(), GENERIC_WRITE, 0, &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = file;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(file);
    if (!started) return false;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return code == 0;
}

int Convert(const std::string& converter, const std::string& page, const std::string& out)
{
    WIN32_FILE_ATTRIBUTE_DATA info;
    if (!GetFileAttributesExA(page.c_str(), GetFileExInfoStandard, &info) || info.nFileSizeLow == 0) {
        fprintf(stderr, "glimmerdeck-bench: cannot read %s\n", page.c_str());
        return 1;
    }
    const double mb = (static_cast<double>(info.nFileSizeHigh) * 4294967296.0 + info.nFileSizeLow) / 1048576.0;
    const std::string command = "\"" + converter + "\" \"" + page + "\"";
    const std::string copy = out + ".copy";
    std::vector<double> rate, copyRate, ratio;
    for (int round = 0; round < 5; ++round) {
        LARGE_INTEGER t0 = Now();
        if (!RunToFile(command, out)) {
            fprintf(stderr, "glimmerdeck-bench: %s failed\n", command.c_str());
            return 1;
        }
        double tConvert = SecondsSince(t0);
        t0 = Now();
        if (!CopyFileA(page.c_str(), copy.c_str(), FALSE)) {
            fprintf(stderr, "glimmerdeck-bench: cannot copy %s\n", page.c_str());
            return 1;
        }
        double tCopy = SecondsSince(t0);
        rate.push_back(mb / tConvert);
        copyRate.push_back(mb / tCopy);
        ratio.push_back(tConvert / tCopy);
    }
    DeleteFileA(copy.c_str());
    Spread r = SpreadOf(rate), c = SpreadOf(copyRate), q = SpreadOf(ratio);
    char name[96];
    snprintf(name, sizeof name, "glimmerdeck-rtf file to RTF (%.1f MB)", mb);
    PrintRow(name, "MB/s", r, "CopyFile (time ratio)", &c, &q);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "header" && argc == 2) {
        PrintHeader();
        return 0;
    }
    if (command == "highlight" && argc == 3) return Highlight(argv[2]);
    if (command == "pages" && argc == 4) return Pages(argv[2], argv[3]);
    if (command == "convert" && argc == 5) return Convert(argv[2], argv[3], argv[4]);
    fputs(kUsage, stderr);
    return 2;
}
