// Prints the highlighter's throughput beside two baselines measured in the
// same run on the same bytes: a plain copy (the floor) and a byte-at-a-time
// reading of the conversion rules, one switch per byte, the way a first
// version would be written. Fails only when the outputs differ, never on time.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <algorithm>
#include <string>
#include <vector>
#include "support/TestSupport.h"
#include "viewer/Highlighter.h"

namespace {

size_t NaiveBody(const char* input, char* out, size_t capacity)
{
    enum { Text, Script, TagName, Attributes, QuotedValue, Comment } state = Text;
    bool scriptPending = false;
    char quoteChar = 0;
    size_t pos = 0;
    const size_t limit = capacity - 256;
    auto put = [&](const char* text) { while (*text) out[pos++] = *text++; };
    auto rest = [&](const char* literal) { return strncmp(input, literal, strlen(literal)) == 0; };
    for (;;) {
        char ch = *input++;
        bool inTag = state == TagName || state == Attributes;
        switch (ch) {
        case '\0':
            out[pos] = '\0';
            return pos;
        case '\r':
            break;
        case '\n':
            put(inTag ? "\\par \\cf2 \n" : "\\par \n");
            if (inTag) state = Attributes;
            break;
        case ' ':
        case '\t':
            if (inTag) { put("\\cf2 "); state = Attributes; }
            out[pos++] = ch;
            break;
        case '"':
        case '\'':
            if (state == Attributes) { out[pos++] = ch; put("\\I "); quoteChar = ch; state = QuotedValue; }
            else if (state == QuotedValue && ch == quoteChar) { put("\\I0 "); out[pos++] = ch; state = Attributes; }
            else out[pos++] = ch;
            break;
        case '-':
            out[pos++] = ch;
            if (state == Comment && rest("->")) state = TagName;
            break;
        case '<':
            if (state == Text || (state == Script && rest("/SCRIPT"))) {
                if (state == Script) put("\\cf0 ");
                put("\\b <\\b0\\cf1 ");
                if (rest("SCRIPT")) scriptPending = true;
                if (rest("!--")) { put("\\cf4 "); state = Comment; }
                else state = TagName;
            } else {
                out[pos++] = ch;
            }
            break;
        case '=':
            if (state == Attributes) put("\\cf5 =");
            else out[pos++] = ch;
            break;
        case '>':
            if (inTag && scriptPending) { put("\\cf0\\b >\\b0\\cf3 "); scriptPending = false; state = Script; }
            else if (inTag) { put("\\cf0\\b >\\b0 "); state = Text; }
            else out[pos++] = ch;
            break;
        case '\\':
        case '{':
        case '}':
            out[pos++] = '\\';
            out[pos++] = ch;
            break;
        default:
            out[pos++] = ch;
            break;
        }
        if (pos > limit) {
            out[pos] = '\0';
            return pos;
        }
    }
}

std::string ReadSamplePage()
{
    std::string page;
    FILE* file = fopen((ProgramFolder() + "pages\\sample.html").c_str(), "rb");
    if (!file) return page;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) page.append(chunk, n);
    fclose(file);
    return page;
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / frequency.QuadPart;
}

struct Figures { double min, median, max; };

Figures Summarise(std::vector<double> rates)
{
    std::sort(rates.begin(), rates.end());
    return { rates.front(), rates[rates.size() / 2], rates.back() };
}

} // namespace

TEST(HighlighterBench, ThroughputBesideCopyAndByteAtATime) {
    const std::string sample = ReadSamplePage();
    ASSERT_FALSE(sample.empty());
    // The sample page again with its SCRIPT elements in lower case too, so the
    // figures cover both kinds of script handling.
    std::string lower = sample;
    for (size_t at = 0; (at = lower.find("SCRIPT", at)) != std::string::npos; at += 6) lower.replace(at, 6, "script");

    struct Page { const char* name; std::string bytes; };
    std::vector<Page> pages;
    for (size_t megabytes : { 1, 5 }) {
        std::string bytes;
        while (bytes.size() < megabytes << 20) bytes += sample;
        pages.push_back({ megabytes == 1 ? "sample x 1 MB" : "sample x 5 MB", bytes });
    }
    {
        std::string bytes;
        while (bytes.size() < 5u << 20) bytes += lower;
        pages.push_back({ "lower-case script 5 MB", bytes });
    }

    // The ratio is taken round by round, each pair timed back to back, so a
    // busy machine slows both sides of it alike.
    printf("%-24s %28s %28s %28s %22s\n", "page (MB/s min/med/max)", "HighlightMarkup", "byte-at-a-time",
           "memcpy", "speed-up min/med/max");
    for (const Page& page : pages) {
        const size_t capacity = page.bytes.size() * 8;
        std::vector<char> naive(capacity + 1), copy(capacity + 1);
        std::vector<double> fast, slow, floor, ratio;
        std::string expected;
        for (int round = 0; round < 9; ++round) {
            LARGE_INTEGER t0, t1, t2, t3;
            QueryPerformanceCounter(&t0);
            CString body = HighlightMarkup(page.bytes.c_str());
            QueryPerformanceCounter(&t1);
            CString naiveString;
            char* naiveBuffer = naiveString.GetWriteBuffer(static_cast<int>(capacity));
            size_t naiveLength = NaiveBody(page.bytes.c_str(), naiveBuffer, capacity);
            naiveString.ReleaseWriteBuffer(static_cast<int>(naiveLength));
            QueryPerformanceCounter(&t2);
            memcpy(copy.data(), page.bytes.data(), page.bytes.size());
            QueryPerformanceCounter(&t3);
            const double mb = page.bytes.size() / 1048576.0;
            fast.push_back(mb / Seconds(t0, t1));
            slow.push_back(mb / Seconds(t1, t2));
            floor.push_back(mb / Seconds(t2, t3));
            ratio.push_back(Seconds(t1, t2) / Seconds(t0, t1));
            ASSERT_EQ(naiveLength, static_cast<size_t>(body.GetLength())) << page.name;
            ASSERT_EQ(0, memcmp(naiveString.c_str(), body.c_str(), naiveLength)) << page.name;
        }
        Figures f = Summarise(fast), s = Summarise(slow), c = Summarise(floor), r = Summarise(ratio);
        printf("%-24s %8.0f %8.0f %8.0f   %8.0f %8.0f %8.0f   %8.0f %8.0f %8.0f   %6.2f %6.2f %6.2f\n", page.name,
               f.min, f.median, f.max, s.min, s.median, s.max, c.min, c.median, c.max, r.min, r.median, r.max);
    }
}
