#include <windows.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <string>
#include "text/CString.h"
#include "text/CBstr.h"

// Figures, not verdicts: each case prints its throughput and checks only
// that the work was really done.
namespace {

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / frequency.QuadPart;
}

template <class Work>
void Measure(const char* name, double megabytes, int rounds, Work work)
{
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < rounds; ++i) work();
    QueryPerformanceCounter(&end);
    double seconds = Seconds(start, end);
    printf("[ FIGURE   ] %-44s %8.2f ms/round %9.1f MB/s (code page %u)\n", name,
           seconds * 1000 / rounds, seconds > 0 ? megabytes * rounds / seconds : 0.0, GetACP());
}

const int kPageBytes = 1024 * 1024;

}  // namespace

TEST(StringFigures, PageSizedOperations)
{
    std::string page;
    while (static_cast<int>(page.size()) < kPageBytes) page += "<td class=\"cell\">value &amp; more</td>\r\n";
    std::wstring widePage(page.begin(), page.end());
    CString markup(page.c_str());
    double mb = page.size() / 1048576.0;

    int found = 0;
    Measure("Find of an absent needle in 1 MB", mb, 20, [&] { found += markup.Find("charset="); });
    EXPECT_EQ(-20, found);

    int length = 0;
    Measure("CString from 1 MB of wide text", mb, 10, [&] { length = CString(widePage.c_str()).GetLength(); });
    EXPECT_EQ(static_cast<int>(page.size()), length);

    HRESULT hr = E_FAIL;
    Measure("CBstr::ToLower of 1 MB", mb, 10, [&] {
        CBstr text(SysAllocStringLen(widePage.c_str(), static_cast<UINT>(widePage.size())));
        hr = text.ToLower();
    });
    EXPECT_EQ(S_OK, hr);

    CString document;
    Measure("Append of 64 pieces of 16 KB (exact growth)", mb, 5, [&] {
        document = "";
        for (int i = 0; i < 64; ++i) document.Append(markup.c_str() + i * 16384, 16384);
    });
    EXPECT_EQ(kPageBytes, document.GetLength());
}
