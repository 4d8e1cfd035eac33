#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>
#include "support/TestSupport.h"
#include "tools/reference/HighlightReference.h"
#include "viewer/Highlighter.h"

namespace {

// The plain reading of the conversion table, cut where the product's buffer
// for input of that length would cut it, or not at all.
std::string ReferenceBody(const std::string& input, size_t capacity)
{
    return ReferenceHighlight(input.c_str(), capacity);
}

size_t CapacityFor(size_t length) { return static_cast<size_t>(HighlightCapacity(length)); }

// Long bodies are compared by their first difference, not printed whole.
::testing::AssertionResult SameText(const std::string& expected, const std::string& actual)
{
    if (expected == actual) return ::testing::AssertionSuccess();
    size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
    size_t from = at < 40 ? 0 : at - 40;
    return ::testing::AssertionFailure()
           << "lengths " << expected.size() << " expected, " << actual.size() << " actual; first difference at "
           << at << "\n  expected: ..." << expected.substr(from, 80) << "\n  actual:   ..." << actual.substr(from, 80);
}

// Both block copies, with and without SSE2, must give the same body.
std::string Body(const std::string& input)
{
    CString body = HighlightMarkup(input.c_str());
    CString scalar = HighlightMarkupWithoutSse2(input.c_str());
    std::string text(body.c_str(), body.GetLength());
    EXPECT_TRUE(SameText(text, std::string(scalar.c_str(), scalar.GetLength()))) << "without SSE2";
    return text;
}

std::string Repeat(const std::string& piece, size_t times)
{
    std::string s;
    for (size_t i = 0; i < times; ++i) s += piece;
    return s;
}

struct Example {
    const char* input;
    const char* expected;
};

// Markup and the body it gives, one line per behaviour.
const Example kExamples[] = {
    { "", "" },
    { "a{b}\\c", "a\\{b\\}\\\\c" },
    { "<B>x</B>", "\\b <\\b0\\cf1 B\\cf0\\b >\\b0 x\\b <\\b0\\cf1 /B\\cf0\\b >\\b0 " },
    { "<A HREF='x'>", "\\b <\\b0\\cf1 A\\cf2  HREF\\cf5 ='\\I x\\I0 '\\cf0\\b >\\b0 " },
    { "<A B=C D>", "\\b <\\b0\\cf1 A\\cf2  B\\cf5 =C\\cf2  D\\cf0\\b >\\b0 " },
    { "<A  B>", "\\b <\\b0\\cf1 A\\cf2   B\\cf0\\b >\\b0 " },
    { "<A \tB>", "\\b <\\b0\\cf1 A\\cf2  \\cf2 \tB\\cf0\\b >\\b0 " },
    { "<A\t\tB>", "\\b <\\b0\\cf1 A\\cf2 \t\tB\\cf0\\b >\\b0 " },
    { "<!-- c -->", "\\b <\\b0\\cf1 \\cf4 !-- c --\\cf0\\b >\\b0 " },
    { "<!-->", "\\b <\\b0\\cf1 \\cf4 !--\\cf0\\b >\\b0 " },
    { "<!-- a>b -->", "\\b <\\b0\\cf1 \\cf4 !-- a>b --\\cf0\\b >\\b0 " },
    { "<SCRIPT>a<b</SCRIPT>",
      "\\b <\\b0\\cf1 SCRIPT\\cf0\\b >\\b0\\cf3 a<b\\cf0 \\b <\\b0\\cf1 /SCRIPT\\cf0\\b >\\b0 " },
    { "<script>a<b</script>",
      "\\b <\\b0\\cf1 script\\cf0\\b >\\b0 a\\b <\\b0\\cf1 b</script\\cf0\\b >\\b0 " },
    { "<SCRIPT>x</script>'\"=y</SCRIPT>",
      "\\b <\\b0\\cf1 SCRIPT\\cf0\\b >\\b0\\cf3 x</script>'\"=y\\cf0 \\b <\\b0\\cf1 /SCRIPT\\cf0\\b >\\b0 " },
    { "<SCRIPT>a<!-- b --></SCRIPT>",
      "\\b <\\b0\\cf1 SCRIPT\\cf0\\b >\\b0\\cf3 a<!-- b -->\\cf0 \\b <\\b0\\cf1 /SCRIPT\\cf0\\b >\\b0 " },
    { "<SCRIPTX>", "\\b <\\b0\\cf1 SCRIPTX\\cf0\\b >\\b0\\cf3 " },
    { "<SCRIP>", "\\b <\\b0\\cf1 SCRIP\\cf0\\b >\\b0 " },
    { "<SCRIPT SRC=\"a.js\"></SCRIPT>",
      "\\b <\\b0\\cf1 SCRIPT\\cf2  SRC\\cf5 =\"\\I a.js\\I0 \"\\cf0\\b >\\b0\\cf3 \\cf0 \\b <\\b0\\cf1 /SCRIPT\\cf0\\b >\\b0 " },
    { "<A T=\"a>b'c\">", "\\b <\\b0\\cf1 A\\cf2  T\\cf5 =\"\\I a>b'c\\I0 \"\\cf0\\b >\\b0 " },
    { "<A T='a\"b'>", "\\b <\\b0\\cf1 A\\cf2  T\\cf5 ='\\I a\"b\\I0 '\\cf0\\b >\\b0 " },
    { "<A T=\"x y=z\">", "\\b <\\b0\\cf1 A\\cf2  T\\cf5 =\"\\I x y=z\\I0 \"\\cf0\\b >\\b0 " },
    { "say \"hi\", it's a=b-c>d", "say \"hi\", it's a=b-c>d" },
    { "<A\"B'>", "\\b <\\b0\\cf1 A\"B'\\cf0\\b >\\b0 " },
    { "a\r\nb", "a\\par \nb" },
    { "a\rb\n\n", "ab\\par \n\\par \n" },
    { "<A\nB>", "\\b <\\b0\\cf1 A\\par \\cf2 \nB\\cf0\\b >\\b0 " },
    { "<A\r\nB='\nx'>", "\\b <\\b0\\cf1 A\\par \\cf2 \nB\\cf5 ='\\I \\par \nx\\I0 '\\cf0\\b >\\b0 " },
    { "\xE9t\xE9 \x80\xFF", "\xE9t\xE9 \x80\xFF" },
    { "<A B=\"x", "\\b <\\b0\\cf1 A\\cf2  B\\cf5 =\"\\I x" },
    { "<!-", "\\b <\\b0\\cf1 !-" },
    { "<", "\\b <\\b0\\cf1 " },
    { "<!-- a -- b ->", "\\b <\\b0\\cf1 \\cf4 !-- a -- b ->" },
    { "<!-- a --->", "\\b <\\b0\\cf1 \\cf4 !-- a ---\\cf0\\b >\\b0 " },
    { "<!-- <B> -->x", "\\b <\\b0\\cf1 \\cf4 !-- <B> --\\cf0\\b >\\b0 x" },
    { "<P>{\\}</P>", "\\b <\\b0\\cf1 P\\cf0\\b >\\b0 \\{\\\\\\}\\b <\\b0\\cf1 /P\\cf0\\b >\\b0 " },
    { "<A B=\\{}>", "\\b <\\b0\\cf1 A\\cf2  B\\cf5 =\\\\\\{\\}\\cf0\\b >\\b0 " },
    { "<<A>>", "\\b <\\b0\\cf1 <A\\cf0\\b >\\b0 >" },
    { "<A B==C>", "\\b <\\b0\\cf1 A\\cf2  B\\cf5 =\\cf5 =C\\cf0\\b >\\b0 " },
    { "<A=B>", "\\b <\\b0\\cf1 A=B\\cf0\\b >\\b0 " },
};

} // namespace

TEST(Highlighter, ConvertsMarkupToTheColouredBody) {
    for (const Example& example : kExamples) {
        EXPECT_EQ(example.expected, Body(example.input)) << "input: " << example.input;
        EXPECT_EQ(example.expected, ReferenceBody(example.input, CapacityFor(strlen(example.input))))
            << "reference model, input: " << example.input;
    }
}

TEST(Highlighter, AbsentInputGivesEmptyBodyWithoutBuffer) {
    CString body = HighlightMarkup(nullptr);
    EXPECT_EQ(0, body.GetLength());
    EXPECT_TRUE(body.IsSharedEmpty());
}

TEST(Highlighter, SizesTheBufferFromTheInputLength) {
    struct Case { size_t length; int capacity; };
    const Case cases[] = {
        { 0, 8000 }, { 1, 8000 }, { 499, 8000 }, { 500, 4000 }, { 999, 7992 }, { 1000, 8000 }, { 1001, 8008 },
    };
    for (const Case& c : cases) {
        CString body = HighlightMarkup(std::string(c.length, 'a').c_str());
        EXPECT_EQ(c.capacity, body.GetAllocLength()) << "input of " << c.length << " bytes";
        EXPECT_EQ(static_cast<int>(c.length), body.GetLength());
    }
}

// "<>" grows to 24 bytes: twelve times the input, faster than the buffer's eight.
TEST(Highlighter, CutsOffSilentlyAfterTheStepThatPassesTheLimit) {
    const std::string tag = "\\b <\\b0\\cf1 ";
    const std::string close = "\\cf0\\b >\\b0 ";

    // 499 bytes get 8000 bytes of room: 6000 bytes of output fit whole.
    EXPECT_TRUE(SameText(Repeat(tag + close, 249) + tag, Body(Repeat("<>", 249) + "<")));

    // 500 bytes get 4000: the limit is 3744, and the 313th step ends at 3756.
    std::string cut = Body(Repeat("<>", 250));
    EXPECT_TRUE(SameText(Repeat(tag + close, 156) + tag, cut));
    EXPECT_EQ(3756u, cut.size());
}

// Runs of one blank or of letters and digits are copied within one step, so
// one that starts just inside the limit could pass the end of the buffer: it
// is cut at the capacity instead.
TEST(Highlighter, CutsARunLongerThanTheMarginAtTheCapacity) {
    struct Case { const char* name; std::string lead; std::string run; };
    // Newlines inside a tag and "<>" pairs in text outgrow the buffer, so the
    // run starts just inside the limit and reaches past the capacity.
    const Case cases[] = {
        { "spaces inside a tag", "<" + std::string(10000, '\n'), std::string(4000, ' ') },
        { "tabs inside a tag", "<" + std::string(10000, '\n'), std::string(4000, '\t') },
        { "letters inside a tag", "<" + std::string(10000, '\n'), "x" + std::string(4000, 'a') },
        { "spaces in text", Repeat("<>", 10000), std::string(10700, ' ') },
        { "digits in text", Repeat("<>", 10000), "#" + std::string(10700, '7') },
    };
    for (const Case& c : cases) {
        const std::string input = c.lead + c.run;
        const size_t capacity = CapacityFor(input.size());
        const std::string whole = ReferenceBody(input, static_cast<size_t>(-1));
        ASSERT_LE(ReferenceBody(c.lead, static_cast<size_t>(-1)).size() + 256, capacity)
            << c.name << ": the run must start within the limit";
        ASSERT_GT(whole.size(), capacity) << c.name << ": the run must reach past the capacity";
        CString body = HighlightMarkup(input.c_str());
        EXPECT_EQ(static_cast<int>(capacity), body.GetAllocLength()) << c.name;
        EXPECT_TRUE(SameText(whole.substr(0, capacity), std::string(body.c_str(), body.GetLength()))) << c.name;
    }
}

// "<>" pairs (twelve times the input) and a pad of letters (once) bring the
// output close to the limit; their lengths move the limit across every byte
// of the markup after them, so each of its steps is once the step that passes it.
TEST(Highlighter, CutFallsAfterTheSameStepWhereverTheLimitLands) {
    const char* const tails[] = {
        "<A HREF=\"http://www.example.com/\" TITLE='x y'>",
        "<P CLASS=x\r\n  ID=\ty>text \\ {here}</P>\r\n",
        "<!-- a comment -- with dashes -->",
        "<SCRIPT>if (a<b) { c = \"</p>\"; }</SCRIPT>",
        "<IMG   SRC=a.gif\t\tALT=\"\">words and 1234 digits\xE9\xFF",
    };
    int cutInTail = 0;
    for (const char* tail : tails) {
        for (size_t pairs = 200; pairs < 330; ++pairs) {
            for (size_t pad = 300; pad < 308; ++pad) {
                const std::string lead = Repeat("<>", pairs) + std::string(pad, 'x');
                const std::string input = lead + tail;
                const size_t capacity = CapacityFor(input.size());
                const std::string expected = ReferenceBody(input, capacity);
                if (expected.size() + 256 > capacity && expected.size() > 24 * pairs + pad) ++cutInTail;
                ASSERT_TRUE(SameText(expected, Body(input))) << tail << ", " << pairs << " pairs, pad " << pad;
            }
        }
    }
    EXPECT_GT(cutInTail, 400) << "the limit must land inside the markup after the pairs";
}

// The block copy of ordinary bytes must not move the cut: compare with the
// plain reading on generated markup, much of it long enough to be cut.
TEST(Highlighter, AgreesWithAPlainReadingOnGeneratedMarkup) {
    static const char* const kPieces[] = {
        "<", ">", "<>", "\n", "\r\n", " ", "  ", "\t", "\"", "'", "=", "-", "->", "-->", "<!--", "!--",
        "SCRIPT", "<SCRIPT>", "</SCRIPT>", "/SCRIPT", "script", "\\", "{", "}", "abc", "Z9", "\xE9", "\x80",
        "<A HREF=\"http://www.example.com/\">", "long words and more words ", "0123456789",
    };
    const size_t pieceCount = sizeof kPieces / sizeof kPieces[0];
    unsigned seed = 12345;
    auto next = [&seed] { seed = seed * 1103515245u + 12345u; return (seed >> 16) & 0x7FFF; };
    int cut = 0;
    for (int round = 0; round < 1500; ++round) {
        std::string input;
        // Dense rounds are mostly "<>", which outgrows the buffer, so the cut
        // falls among the other pieces in every state.
        const bool dense = round % 3 == 0;
        const size_t pieces = dense ? 250 + next() % 1000 : 1 + next() % 150;
        for (size_t p = 0; p < pieces; ++p) {
            if (dense && next() % 10 != 0) input += "<>";
            else if (next() % 40 == 0) input += "<" + std::string(next() % 300, '\n');
            else input += kPieces[next() % pieceCount];
        }
        const std::string expected = ReferenceBody(input, CapacityFor(input.size()));
        if (expected.size() + 256 > CapacityFor(input.size())) ++cut;
        ASSERT_TRUE(SameText(expected, Body(input))) << "round " << round << ", input of " << input.size() << " bytes";
    }
    EXPECT_GT(cut, 50) << "too few generated inputs reached the cut-off to test it";
}

TEST(Highlighter, AgreesWithAPlainReadingOnTheSamplePage) {
    std::string path = ProgramFolder() + "pages\\sample.html";
    FILE* file = fopen(path.c_str(), "rb");
    ASSERT_NE(nullptr, file) << path;
    std::string page;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) page.append(chunk, n);
    fclose(file);
    ASSERT_GT(page.size(), 2000u);

    EXPECT_TRUE(SameText(ReferenceBody(page, CapacityFor(page.size())), Body(page)));
    // Pages large enough to be benchmarked convert alike as well.
    std::string large = Repeat(page, 200);
    EXPECT_TRUE(SameText(ReferenceBody(large, CapacityFor(large.size())), Body(large)));
}
