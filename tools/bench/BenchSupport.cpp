#include "tools/bench/BenchSupport.h"
#include <stdio.h>
#include <algorithm>

bool ReadWholeFile(const std::string& path, std::string& bytes)
{
    bytes.clear();
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return false;
    char chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, n);
    bool ok = !ferror(file);
    fclose(file);
    return ok;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && ok;
}

std::string GrowPage(const std::string& sample, size_t targetBytes, bool lowerCaseScript)
{
    std::string page = sample;
    if (lowerCaseScript) {
        for (size_t at = 0; (at = page.find("SCRIPT", at)) != std::string::npos; at += 6) page.replace(at, 6, "script");
    }
    // The body's content is what repeats: the line after <BODY ...> up to </BODY>.
    size_t bodyTag = page.find("<BODY");
    size_t bodyStart = bodyTag == std::string::npos ? std::string::npos : page.find('\n', bodyTag);
    size_t bodyEnd = page.rfind("</BODY>");
    if (bodyStart == std::string::npos || bodyEnd == std::string::npos || bodyEnd <= bodyStart) {
        std::string whole;
        while (whole.size() < targetBytes) whole += page;
        return whole;
    }
    ++bodyStart;
    const std::string head = page.substr(0, bodyStart);
    const std::string unit = page.substr(bodyStart, bodyEnd - bodyStart);
    const std::string tail = page.substr(bodyEnd);
    std::string grown = head;
    grown.reserve(targetBytes + unit.size() + tail.size());
    do grown += unit; while (grown.size() + tail.size() < targetBytes);
    grown += tail;
    return grown;
}

LARGE_INTEGER Now()
{
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t;
}

double SecondsSince(LARGE_INTEGER from)
{
    LARGE_INTEGER to = Now(), frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / frequency.QuadPart;
}

Spread SpreadOf(std::vector<double> values)
{
    if (values.empty()) return { 0, 0, 0 };
    std::sort(values.begin(), values.end());
    return { values.front(), values[values.size() / 2], values.back() };
}

namespace {

std::string Figures(const Spread& s)
{
    char text[64];
    const char* format = s.max >= 100 ? "%8.0f %8.0f %8.0f" : "%8.2f %8.2f %8.2f";
    snprintf(text, sizeof text, format, s.min, s.median, s.max);
    return text;
}

} // namespace

void PrintHeader()
{
    printf("%-44s %-5s %26s   %-28s %26s   %20s\n", "measurement", "unit", "min      median       max",
           "baseline (same run)", "min      median       max", "ratio min/med/max");
}

void PrintRow(const std::string& what, const char* unit, const Spread& value, const std::string& baseline,
              const Spread* baseValue, const Spread* ratio)
{
    std::string base = baseValue ? Figures(*baseValue) : std::string();
    char ratioText[48] = "";
    if (ratio) snprintf(ratioText, sizeof ratioText, "%6.2f %6.2f %6.2f", ratio->min, ratio->median, ratio->max);
    printf("%-44s %-5s %26s   %-28s %26s   %20s\n", what.c_str(), unit, Figures(value).c_str(), baseline.c_str(),
           base.c_str(), ratioText);
    fflush(stdout);
}
