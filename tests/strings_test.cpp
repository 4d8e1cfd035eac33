#include <windows.h>
#include <gtest/gtest.h>
#include <functional>
#include <string>
#include "text/CString.h"
#include "text/CBstr.h"
#include "resources/resource.h"

namespace {

bool DoubleByteCodePage() { return GetACP() == 932; }
bool Utf8CodePage() { return GetACP() == CP_UTF8; }

#define REQUIRE_CODE_PAGE_932()                                                        \
    if (!DoubleByteCodePage()) GTEST_SKIP() << "ANSI code page is " << GetACP()        \
                                            << ", the double-byte cases need 932"

std::string Text(const CString& s) { return std::string(s.c_str(), s.GetLength()); }

}  // namespace

static_assert(sizeof(CString) == sizeof(void*), "a CString is one pointer wide");

// ---------------------------------------------------------------- the shared empty string

TEST(CStringEmpty, DefaultCopyAndAssignmentStayOnTheSharedBlockUncounted)
{
    CString a;
    EXPECT_TRUE(a.IsSharedEmpty());
    EXPECT_EQ(-1, a.RefCount());
    EXPECT_STREQ("", a.c_str());
    {
        CString b(a);
        CString c;
        c = a;
        EXPECT_TRUE(b.IsSharedEmpty());
        EXPECT_TRUE(c.IsSharedEmpty());
        EXPECT_EQ(-1, a.RefCount());
    }
    EXPECT_EQ(-1, a.RefCount());
    EXPECT_TRUE(CString("").IsSharedEmpty());
    EXPECT_TRUE(CString(static_cast<const char*>(nullptr)).IsSharedEmpty());
    EXPECT_TRUE(CString(L"").IsSharedEmpty());
    EXPECT_TRUE(CString(static_cast<const wchar_t*>(nullptr)).IsSharedEmpty());

    CString s("abcdefg");
    EXPECT_TRUE(s.Prefix(0).IsSharedEmpty());
    EXPECT_TRUE(s.Prefix(-3).IsSharedEmpty());
    EXPECT_TRUE(s.Slice(9, 1).IsSharedEmpty());
    EXPECT_TRUE(s.Slice(3, 0).IsSharedEmpty());
    CString e;
    EXPECT_TRUE(e.Append("", 0));
    EXPECT_TRUE(e.IsSharedEmpty());
    e = "";
    EXPECT_TRUE(e.IsSharedEmpty());
}

TEST(CStringEmpty, EmptyTextKeepsAnOwnedBlockAndLeavesASharedOne)
{
    CString owned("hello");
    owned = "";
    EXPECT_FALSE(owned.IsSharedEmpty());
    EXPECT_EQ(0, owned.GetLength());
    EXPECT_EQ(5, owned.GetAllocLength());

    CString s("hello");
    CString t(s);
    s = "";
    EXPECT_TRUE(s.IsSharedEmpty());
    EXPECT_STREQ("hello", t.c_str());
    EXPECT_EQ(1, t.RefCount());
}

// ---------------------------------------------------------------- sharing and copy-on-write

TEST(CStringSharing, CopiesShareOneCountedBlock)
{
    CString a("shared text");
    EXPECT_EQ(1, a.RefCount());
    CString b(a);
    CString c;
    c = b;
    EXPECT_TRUE(a.SharesBlockWith(b));
    EXPECT_TRUE(a.SharesBlockWith(c));
    EXPECT_EQ(3, a.RefCount());
    c = "other";
    EXPECT_EQ(2, a.RefCount());
    EXPECT_FALSE(c.SharesBlockWith(a));
    a = a;
    EXPECT_EQ(2, a.RefCount());
}

TEST(CStringSharing, WriteBufferOnASharedStringCopiesFirst)
{
    CString original("xyzzy");
    CString copy(original);
    char* buffer = copy.GetWriteBuffer(100);
    ASSERT_NE(nullptr, buffer);
    EXPECT_STREQ("xyzzy", buffer);
    lstrcpyA(buffer, "abc");
    copy.ReleaseWriteBuffer(-1);
    EXPECT_EQ(3, copy.GetLength());
    EXPECT_EQ(100, copy.GetAllocLength());
    EXPECT_STREQ("abc", copy.c_str());
    EXPECT_STREQ("xyzzy", original.c_str());
    EXPECT_EQ(5, original.GetLength());
    EXPECT_EQ(1, original.RefCount());
}

TEST(CStringSharing, NoRoomAskedOfASharedEmptyBlockIsNoFailure)
{
    CString owned("hello");
    owned = "";
    CString copy(owned);
    ASSERT_TRUE(copy.SharesBlockWith(owned));

    char* buffer = copy.GetWriteBuffer(0);
    ASSERT_NE(nullptr, buffer);
    EXPECT_EQ('\0', buffer[0]);
    copy.ReleaseWriteBuffer(-1);
    EXPECT_EQ(0, copy.GetLength());
    EXPECT_EQ(1, owned.RefCount());

    CString formatted(owned);
    EXPECT_TRUE(formatted.Format(""));
    EXPECT_EQ(0, formatted.GetLength());
}

TEST(CStringSharing, AppendAndAssignOnASharedStringLeaveTheOtherAlone)
{
    CString a("left");
    CString b(a);
    EXPECT_TRUE(b.Append("", 0));
    EXPECT_TRUE(b.SharesBlockWith(a));
    EXPECT_TRUE(b.Append("-right", 6));
    EXPECT_STREQ("left-right", b.c_str());
    EXPECT_STREQ("left", a.c_str());
    CString c(a);
    EXPECT_TRUE(c.AssignText("new", 3));
    EXPECT_STREQ("left", a.c_str());
    EXPECT_EQ(1, a.RefCount());
    CString d(a);
    d.ReleaseWriteBuffer(2);
    EXPECT_STREQ("le", d.c_str());
    EXPECT_STREQ("left", a.c_str());
}

DWORD WINAPI CopyManyTimes(LPVOID param)
{
    const CString& shared = *static_cast<const CString*>(param);
    for (int i = 0; i < 20000; ++i) {
        CString copy(shared);
        CString other;
        other = copy;
        other.ReleaseWriteBuffer(3);   // copy-on-write while the other thread shares too
        if (lstrcmpA(other.c_str(), "cou") != 0) return 1;
    }
    return 0;
}

TEST(CStringSharing, CountsSurviveCopiesOnTwoThreads)
{
    CString shared("counted from two threads");
    HANDLE threads[2];
    for (HANDLE& thread : threads) {
        thread = CreateThread(nullptr, 0, CopyManyTimes, &shared, 0, nullptr);
        ASSERT_NE(nullptr, thread);
    }
    EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, threads, TRUE, 60000));
    for (HANDLE thread : threads) {
        DWORD exitCode = 2;
        GetExitCodeThread(thread, &exitCode);
        EXPECT_EQ(0u, exitCode);
        CloseHandle(thread);
    }
    EXPECT_EQ(1, shared.RefCount());
}

// ---------------------------------------------------------------- exact sizes and building

TEST(CStringBuilding, BlocksAreExactlyTheRequestedSize)
{
    CString s("hello");
    EXPECT_EQ(5, s.GetAllocLength());
    EXPECT_TRUE(s.Append(" world", 6));
    EXPECT_EQ(11, s.GetAllocLength());
    EXPECT_STREQ("hello world", s.c_str());
    EXPECT_TRUE(s.AssignText("hi", 2));
    EXPECT_EQ(11, s.GetAllocLength());   // reused in place
    EXPECT_EQ(2, s.GetLength());
    EXPECT_TRUE(s.Append("!!!", 3));     // fits behind the text
    EXPECT_EQ(11, s.GetAllocLength());
    EXPECT_STREQ("hi!!!", s.c_str());
    EXPECT_TRUE(s.AssignText("a longer text than before", 25));
    EXPECT_EQ(25, s.GetAllocLength());
}

TEST(CStringBuilding, AppendOfItselfAndAssignFromItsOwnText)
{
    CString s("abc");
    EXPECT_TRUE(s.Append(s));
    EXPECT_STREQ("abcabc", s.c_str());
    s = s.c_str() + 2;
    EXPECT_STREQ("cabc", s.c_str());
    CString t("0123456789");
    EXPECT_TRUE(t.AssignText(t.c_str() + 4, 3));
    EXPECT_STREQ("456", t.c_str());
}

TEST(CStringBuilding, WriteBufferKeepsTheTextAndGrowsExactly)
{
    CString s("abc");
    char* buffer = s.GetWriteBuffer(2);   // already big enough: same block
    EXPECT_EQ(s.c_str(), buffer);
    EXPECT_EQ(3, s.GetAllocLength());
    buffer = s.GetWriteBuffer(10);
    ASSERT_NE(nullptr, buffer);
    EXPECT_EQ(10, s.GetAllocLength());
    EXPECT_EQ(3, s.GetLength());
    EXPECT_STREQ("abc", buffer);
    memcpy(buffer + 3, "defghij", 7);
    s.ReleaseWriteBuffer(10);
    EXPECT_STREQ("abcdefghij", s.c_str());
}

TEST(CStringBuilding, ReleaseWriteBufferStaysInsideTheBlock)
{
    CString s;
    char* buffer = s.GetWriteBuffer(4);
    ASSERT_NE(nullptr, buffer);
    memcpy(buffer, "wxyzQ", 5);          // the writer overwrote the NUL room too
    s.ReleaseWriteBuffer(-1);
    EXPECT_EQ(4, s.GetLength());
    EXPECT_STREQ("wxyz", s.c_str());
    s.ReleaseWriteBuffer(50);            // past the capacity: held at it
    EXPECT_EQ(4, s.GetLength());
}

TEST(CStringBuilding, ConstructionFromWideText)
{
    CString plain(L"markup <b>");
    EXPECT_STREQ("markup <b>", plain.c_str());
    EXPECT_EQ(10, plain.GetLength());

    CString cut(L"before\0after");
    EXPECT_STREQ("before", cut.c_str());
    EXPECT_EQ(6, cut.GetLength());

    if (!Utf8CodePage()) {
        // U+0E01 is in neither 1252 nor 932: the code page's default character.
        CPINFO info;
        ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
        CString outside(L"a\x0E01z");
        EXPECT_EQ(3, outside.GetLength());
        EXPECT_EQ(static_cast<char>(info.DefaultChar[0]), outside.c_str()[1]);
    }
}

TEST(CStringBuilding, WideTextNeedingThreeBytesAUnitConvertsWhole)
{
    if (!Utf8CodePage()) GTEST_SKIP() << "ANSI code page is " << GetACP() << ", this case needs 65001";
    CString thai(L"<p>\x0E01\x0E02\x0E03</p>");
    EXPECT_EQ("<p>\xE0\xB8\x81\xE0\xB8\x82\xE0\xB8\x83</p>", Text(thai));
    EXPECT_EQ(16, thai.GetAllocLength());
}

TEST(CStringBuilding, ConstructionFromAStringTableIdentifier)
{
    CString name(MAKEINTRESOURCEA(IDS_PRODUCT_NAME));
    EXPECT_STREQ("Glimmerdeck", name.c_str());
    EXPECT_TRUE(CString(MAKEINTRESOURCEA(4095)).IsSharedEmpty());
}

// The long entries of strings_test.rc: letters in a pattern that shows a
// dropped or repeated stretch.
std::string EntryPattern(int length, int seed)
{
    std::string text;
    for (int i = 0; i < length; ++i) text += static_cast<char>('a' + (i * 7 + seed) % 26);
    return text;
}

TEST(CStringResource, LoadsEntriesOfEveryLengthWhole)
{
    static const int lengths[] = { 253, 254, 255, 256, 600, 1000 };
    for (int i = 0; i < 6; ++i) {
        CString s("previous text");
        EXPECT_TRUE(s.LoadFromResource(3000 + i)) << "entry " << 3000 + i;
        EXPECT_EQ(EntryPattern(lengths[i], i), Text(s)) << "entry " << 3000 + i;
        EXPECT_LE(s.GetLength(), s.GetAllocLength());
    }
}

TEST(CStringResource, MissingEntryLeavesTheStringEmpty)
{
    CString s("previous text");
    CString other(s);
    EXPECT_FALSE(s.LoadFromResource(4095));
    EXPECT_EQ(0, s.GetLength());
    EXPECT_STREQ("previous text", other.c_str());
    EXPECT_TRUE(s.LoadFromResource(IDS_PRODUCT_NAME));
    EXPECT_STREQ("Glimmerdeck", s.c_str());
}

// ---------------------------------------------------------------- Prefix and Slice

struct SliceCase {
    int first;
    int count;
    const char* expected;
};

TEST(CStringSlicing, SliceAndPrefixClampTheirArguments)
{
    const CString seven("abcdefg");
    static const SliceCase cases[] = {
        { 5, 10, "fg" },      { 9, 1, "" },        { 7, 1, "" },      { 0, 7, "abcdefg" },
        { -2, 3, "abc" },     { 2, -1, "" },       { 3, 2, "de" },    { 6, 0x7FFFFFFF, "g" },
        { 0x7FFFFFFF, 5, "" },
    };
    for (const SliceCase& c : cases) {
        CString slice = seven.Slice(c.first, c.count);
        EXPECT_EQ(c.expected, Text(slice)) << "Slice(" << c.first << ", " << c.count << ")";
    }
    static const SliceCase prefixes[] = {
        { 0, -3, "" }, { 0, 0, "" }, { 0, 3, "abc" }, { 0, 7, "abcdefg" }, { 0, 70, "abcdefg" },
    };
    for (const SliceCase& c : prefixes)
        EXPECT_EQ(c.expected, Text(seven.Prefix(c.count))) << "Prefix(" << c.count << ")";
}

// ---------------------------------------------------------------- Find

struct FindCase {
    const char* subject;
    const char* needle;
    int start;
    int expected;
};

TEST(CStringFind, FindsTheFirstOccurrenceAtOrAfterStart)
{
    static const FindCase cases[] = {
        { "abcd", "cd", 0, 2 },
        { "abcdefg", "a", 8, -1 },
        { "abcdefg", "g", 7, -1 },
        { "abcdefg", "g", 6, 6 },
        { "abcabc", "abc", 1, 3 },
        { "abcabc", "abc", 0, 0 },
        { "abcabc", "ABC", 0, -1 },
        { "abc", "abcd", 0, -1 },
        { "", "a", 0, -1 },
        { "charset=windows-1251", "windows-1251", 0, 8 },
        { "aaab", "aab", 0, 1 },
        { "abc", "c", -4, 2 },
    };
    for (const FindCase& c : cases) {
        CString subject(c.subject);
        EXPECT_EQ(c.expected, subject.Find(c.needle, c.start))
            << "\"" << c.needle << "\" in \"" << c.subject << "\" from " << c.start;
    }
    EXPECT_EQ(2, CString("abcd").Find("cd"));
    EXPECT_EQ(-1, CString("abcd").Find(nullptr));
}

TEST(CStringFind, DoubleByteNeedleIsNotFoundInsideACharacter)
{
    REQUIRE_CODE_PAGE_932();
    // 0x83 0x41 is one character (katakana A); its trail byte is the letter 'A'.
    CString s("\x83\x41" "xA");
    EXPECT_EQ(3, s.Find("A"));
    CString only("\x83\x41\x83\x41");
    EXPECT_EQ(-1, only.Find("A"));
    EXPECT_EQ(2, only.Find("\x83\x41", 1));   // starts are walked from the given start
    // Katakana A, a letter A, katakana A: only the middle one is a character.
    CString pair("\x83\x41\x41\x83\x41");
    EXPECT_EQ(2, pair.Find("A"));
    EXPECT_EQ(2, pair.Find("\x41\x83"));    // begins on a boundary, compared byte by byte
    EXPECT_EQ(-1, pair.Find("\x41", 3));     // from the last lead byte: no boundary left
}

TEST(CStringFind, WideConstructionProducesDoubleByteText)
{
    REQUIRE_CODE_PAGE_932();
    CString s(L"\x30A2\x30A4=utf-8");   // katakana A, I
    EXPECT_EQ(10, s.GetLength());
    EXPECT_EQ(10, s.GetAllocLength());
    EXPECT_EQ(4, s.Find("=utf-"));
}

// ---------------------------------------------------------------- Format

struct FormatCase {
    const char* name;
    std::function<bool(CString&)> format;
    const char* text;
    int capacity;
};

TEST(CStringFormat, EstimateSizesTheBlock)
{
    const FormatCase cases[] = {
        { "%i", [](CString& s) { return s.Format("%i", 1251); }, "1251", 32 },
        { "%d negative", [](CString& s) { return s.Format("%d", -7); }, "-7", 32 },
        { "font entry", [](CString& s) { return s.Format("\\fcharset%i ", 204); }, "\\fcharset204 ", 42 },
        { "width 5 string", [](CString& s) { return s.Format("%5s", "ab"); }, "   ab", 5 },
        { "null string", [](CString& s) { return s.Format("%s", static_cast<const char*>(nullptr)); }, "(null)", 6 },
        { "empty string", [](CString& s) { return s.Format("[%s]", ""); }, "[]", 3 },
        { "wide string", [](CString& s) { return s.Format("%ls", L"wide"); }, "wide", 4 },
        { "S is wide", [](CString& s) { return s.Format("%S", L"wide"); }, "wide", 4 },
        { "hS is narrow", [](CString& s) { return s.Format("%hS", "nar"); }, "nar", 3 },
        { "char", [](CString& s) { return s.Format("%c", 'x'); }, "x", 2 },
        { "percent", [](CString& s) { return s.Format("100%%"); }, "100%", 4 },
        { "hash", [](CString& s) { return s.Format("%#x", 255); }, "0xff", 34 },
        { "width plus precision", [](CString& s) { return s.Format("%30.10d", 5); },
          "                    0000000005", 40 },
        // The platform formatter knows no '*'; the estimate still reserves the width.
        { "star width", [](CString& s) { return s.Format("%*s|", 8, "ab"); }, "*s|", 9 },
        { "precision cuts", [](CString& s) { return s.Format("%.2s", "abcdef"); }, "ab", 2 },
        { "two args", [](CString& s) { return s.Format("%s=%u", "key", 42u); }, "key=42", 36 },
        { "literal only", [](CString& s) { return s.Format("plain"); }, "plain", 5 },
        { "empty format", [](CString& s) { return s.Format(""); }, "", 0 },
    };
    for (const FormatCase& c : cases) {
        CString s;
        EXPECT_TRUE(c.format(s)) << c.name;
        EXPECT_EQ(c.text, Text(s)) << c.name;
        EXPECT_EQ(c.capacity, s.GetAllocLength()) << c.name;
    }
}

TEST(CStringFormat, ConversionsTheEstimateDoesNotKnowAreKeptWhole)
{
    // The estimate counts nothing for them, but the platform prints them as
    // text; what it wrote must all arrive.
    const char* const formats[] = { "%y|", "%5%|", "[%q]", "a%" };
    for (const char* format : formats) {
        char expected[64] = {};
        wsprintfA(expected, format);
        CString s;
        EXPECT_TRUE(s.Format(format)) << format;
        EXPECT_EQ(std::string(expected), Text(s)) << format;
        EXPECT_LE(s.GetLength(), s.GetAllocLength()) << format;
    }
}

TEST(CStringFormat, PaddingWiderThanThePrecisionFitsTheBlock)
{
    // Cut first, then padded: the text is ten bytes, not three.
    CString s;
    EXPECT_TRUE(s.Format("%10.3s", "abcdef"));
    EXPECT_EQ("       abc", Text(s));
    EXPECT_GE(s.GetAllocLength(), s.GetLength());
}

TEST(CStringFormat, FloatingPointConversionsAreSkippedWithoutBreaking)
{
    CString s;
    EXPECT_TRUE(s.Format("%i%f", 3));
    EXPECT_EQ('3', s.c_str()[0]);
    EXPECT_LE(s.GetLength(), s.GetAllocLength());
}

TEST(CStringFormat, DoubleByteLiteralCountsBothBytes)
{
    REQUIRE_CODE_PAGE_932();
    CString s;
    EXPECT_TRUE(s.Format("\x83\x41%%"));
    EXPECT_EQ("\x83\x41%", Text(s));
    EXPECT_EQ(3, s.GetAllocLength());
}

TEST(CStringFormat, ArgumentsMayPointIntoTheStringItself)
{
    CString s("abc");
    EXPECT_TRUE(s.Format("%s and %s, formatted at length", s.c_str(), s.c_str()));
    EXPECT_STREQ("abc and abc, formatted at length", s.c_str());
}

TEST(CStringFormat, OutputPastThePlatformLimitIsCutNotOverrun)
{
    // The platform formatter writes at most 1024 characters; the block is
    // still sized by the estimate.
    std::string longText(3000, 'w');
    CString s;
    EXPECT_TRUE(s.Format("<%s>", longText.c_str()));
    EXPECT_EQ(3002, s.GetAllocLength());
    EXPECT_GE(s.GetLength(), 1023);
    EXPECT_LE(s.GetLength(), 1024);
    EXPECT_EQ(("<" + longText).substr(0, s.GetLength()), Text(s));
}

// ---------------------------------------------------------------- CBstr

TEST(CBstrLifetime, CopiesHoldTheirOwnFullLengthString)
{
    CBstr absent;
    CBstr fromAbsent(absent);
    ASSERT_NE(nullptr, fromAbsent.Get());
    EXPECT_EQ(0u, fromAbsent.Length());

    CBstr counted(SysAllocStringLen(L"a\0b", 3));
    CBstr copy(counted);
    EXPECT_NE(counted.Get(), copy.Get());
    ASSERT_EQ(3u, copy.Length());
    EXPECT_EQ(0, memcmp(L"a\0b", copy.Get(), 3 * sizeof(wchar_t)));

    CBstr assigned;
    assigned = counted;
    EXPECT_EQ(3u, assigned.Length());
    BSTR before = assigned.Get();
    assigned = assigned;
    EXPECT_EQ(before, assigned.Get());

    BSTR* out = assigned.Receive();
    EXPECT_EQ(nullptr, assigned.Get());
    *out = SysAllocString(L"received");
    EXPECT_TRUE(assigned.EqualsNarrow("received"));
    BSTR detached = assigned.Detach();
    EXPECT_EQ(nullptr, assigned.Get());
    SysFreeString(detached);
}

struct CaseMapping {
    const wchar_t* input;
    UINT length;   // counted length of the held string
    bool upper;
    const wchar_t* expected;
};

TEST(CBstrCase, MapsThroughTheAnsiCodePage)
{
    static const CaseMapping cases[] = {
        { L"<META CHARSET=UTF-8>", 20, false, L"<meta charset=utf-8>" },
        { L"meta", 4, true, L"META" },
        { L"", 0, false, L"" },
        { L"cut\0here", 8, true, L"CUT" },
        // The neighbours of the letters keep their case.
        { L"@AZ[`az{", 8, true, L"@AZ[`AZ{" },
        { L"@AZ[`az{", 8, false, L"@az[`az{" },
    };
    for (const CaseMapping& c : cases) {
        CBstr s(SysAllocStringLen(c.input, c.length));
        EXPECT_EQ(S_OK, c.upper ? s.ToUpper() : s.ToLower());
        ASSERT_NE(nullptr, s.Get());
        EXPECT_EQ(std::wstring(c.expected), std::wstring(s.Get(), s.Length()));
    }
    CBstr absent;
    EXPECT_EQ(S_OK, absent.ToLower());
    EXPECT_EQ(nullptr, absent.Get());
}

TEST(CBstrCase, CharacterOutsideTheCodePageBecomesTheDefaultCharacter)
{
    if (Utf8CodePage()) GTEST_SKIP() << "no character lies outside UTF-8";
    CPINFO info;
    ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
    wchar_t defaultChar = 0;
    ASSERT_EQ(1, MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(info.DefaultChar), 1,
                                     &defaultChar, 1));
    CBstr s(SysAllocString(L"A\x0E01Z"));
    EXPECT_EQ(S_OK, s.ToLower());
    ASSERT_EQ(3u, s.Length());
    EXPECT_EQ(L'a', s.Get()[0]);
    EXPECT_EQ(defaultChar, s.Get()[1]);
    EXPECT_EQ(L'z', s.Get()[2]);
}

struct LowerJob {
    CBstr* s;
    HRESULT hr;
};

DWORD WINAPI LowerOnThread(LPVOID param)
{
    LowerJob* job = static_cast<LowerJob*>(param);
    job->hr = job->s->ToLower();
    return 0;
}

TEST(CBstrCase, TextNeedingThreeBytesAUnitKeepsEveryCharacter)
{
    if (!Utf8CodePage()) GTEST_SKIP() << "ANSI code page is " << GetACP() << ", this case needs 65001";
    CBstr s(SysAllocString(L"\x0E01\x0E02\x0E03x"));
    EXPECT_EQ(S_OK, s.ToUpper());
    ASSERT_NE(nullptr, s.Get());
    EXPECT_EQ(std::wstring(L"\x0E01\x0E02\x0E03X"), std::wstring(s.Get(), s.Length()));
}

TEST(CBstrCase, MegabyteAttributeIsMappedWithoutExhaustingTheStack)
{
    // More than the stack of the thread that runs it could hold twice over.
    const UINT length = 1024 * 1024;
    BSTR big = SysAllocStringLen(nullptr, length);
    ASSERT_NE(nullptr, big);
    for (UINT i = 0; i < length; ++i) big[i] = (i % 7 == 0) ? L'Q' : L'x';
    CBstr s(big);
    LowerJob job = { &s, E_FAIL };
    // A thread with a small stack makes an unbounded stack buffer fail loudly.
    HANDLE thread = CreateThread(nullptr, 256 * 1024, LowerOnThread, &job,
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    ASSERT_NE(nullptr, thread);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 60000));
    DWORD exitCode = 1;
    GetExitCodeThread(thread, &exitCode);
    CloseHandle(thread);
    EXPECT_EQ(0u, exitCode);
    EXPECT_EQ(S_OK, job.hr);
    ASSERT_EQ(length, s.Length());
    EXPECT_EQ(L'q', s.Get()[0]);
    EXPECT_EQ(L'x', s.Get()[1]);
    EXPECT_EQ(L'q', s.Get()[length - 1 - (length - 1) % 7]);
}

struct EqualsCase {
    const wchar_t* held;   // null: absent
    const char* text;      // null: absent
    bool expected;
};

TEST(CBstrEquals, ComparesCodeUnitsExactly)
{
    static const EqualsCase cases[] = {
        { nullptr, nullptr, true },
        { nullptr, "", false },
        { L"", nullptr, false },
        { L"", "", true },
        { L"complete", "complete", true },
        { L"COMPLETE", "complete", false },
        { L"complete", "complet", false },
        { L"complet", "complete", false },
        { L"HTML", "HTML", true },
    };
    for (const EqualsCase& c : cases) {
        CBstr s(c.held ? SysAllocString(c.held) : nullptr);
        EXPECT_EQ(c.expected, s.EqualsNarrow(c.text))
            << (c.held ? "held" : "absent") << " vs " << (c.text ? c.text : "(absent)");
    }
}

TEST(CBstrEquals, LongNarrowTextIsCompared)
{
    std::string narrow(100000, 'm');
    std::wstring wide(100000, L'm');
    CBstr s(SysAllocStringLen(wide.c_str(), static_cast<UINT>(wide.size())));
    EXPECT_TRUE(s.EqualsNarrow(narrow.c_str()));
    narrow.back() = 'n';
    EXPECT_FALSE(s.EqualsNarrow(narrow.c_str()));
}

TEST(NarrowToBstr, ConvertsWholeTextOrExactlyTheGivenBytes)
{
    CBstr all(NarrowToBstr("readyState", -1));
    ASSERT_NE(nullptr, all.Get());
    EXPECT_EQ(std::wstring(L"readyState"), std::wstring(all.Get(), all.Length()));

    CBstr counted(NarrowToBstr("abcdef", 3));
    ASSERT_NE(nullptr, counted.Get());
    EXPECT_EQ(std::wstring(L"abc"), std::wstring(counted.Get(), counted.Length()));

    CBstr empty(NarrowToBstr("", -1));
    ASSERT_NE(nullptr, empty.Get());
    EXPECT_EQ(0u, empty.Length());
    CBstr none(NarrowToBstr("x", 0));
    ASSERT_NE(nullptr, none.Get());
    EXPECT_EQ(0u, none.Length());
    EXPECT_EQ(nullptr, NarrowToBstr(nullptr, -1));
}

TEST(NarrowToBstr, DoubleByteCharactersBecomeOneUnitEach)
{
    REQUIRE_CODE_PAGE_932();
    CBstr s(NarrowToBstr("\x83\x41\x83\x43", -1));
    ASSERT_EQ(2u, s.Length());
    EXPECT_EQ(L'\x30A2', s.Get()[0]);
    EXPECT_EQ(L'\x30A4', s.Get()[1]);
    EXPECT_TRUE(s.EqualsNarrow("\x83\x41\x83\x43"));
}

TEST(StringsCodePage, RunsUnderTheExpectedCodePage)
{
    // The locale run names 932 in its environment; a set-up that silently
    // fell back to 1252 would test the single-byte code page twice.
    char expected[16] = {};
    if (GetEnvironmentVariableA("GD_EXPECT_ACP", expected, sizeof(expected))) {
        EXPECT_EQ(static_cast<UINT>(atoi(expected)), GetACP());
    }
}
