// The stand-in's document model: what the demo and the host test show the
// extension must look like a browser's element collection.
#include <gtest/gtest.h>
#include "tools/host/PageModel.h"

namespace {

std::wstring Outer(const PageModel& model, size_t index)
{
    size_t length = 0;
    const wchar_t* text = model.OuterHTML(index, length);
    return std::wstring(text, length);
}

struct ModelCase {
    const char* name;
    const wchar_t* page;
    std::vector<std::string> tags;
    std::vector<std::wstring> outer;    // of the elements after the root, in order
};

TEST(PageModel, ListsElementsInDocumentOrderWithTheirOuterMarkup)
{
    const ModelCase kCases[] = {
        { "nested", L"<html><body><p>a<b>b</b></p></body></html>", { "HTML", "BODY", "P", "B" },
          { L"<body><p>a<b>b</b></p></body>", L"<p>a<b>b</b></p>", L"<b>b</b>" } },
        { "void and self-closed", L"<HTML><meta charset=x><br/><img src='a>b'></HTML>", { "HTML", "META", "BR", "IMG" },
          { L"<meta charset=x>", L"<br/>", L"<img src='a>b'>" } },
        { "comments and declarations skipped", L"<!DOCTYPE html><!-- <p> --><html><i>x</i></html>", { "HTML", "I" },
          { L"<i>x</i>" } },
        { "script text is not markup", L"<html><script>if (a<b) x='<p>';</script></html>", { "HTML", "SCRIPT" },
          { L"<script>if (a<b) x='<p>';</script>" } },
        { "unclosed element ends with its parent", L"<html><ul><li>a<li>b</ul></html>", { "HTML", "UL", "LI", "LI" },
          { L"<ul><li>a<li>b</ul>", L"<li>a<li>b</ul>", L"<li>b</ul>" } },
        { "no HTML element: one made around the page", L"<p>x</p>", { "HTML", "P" }, { L"<p>x</p>" } },
        { "empty page", L"", { "HTML" }, {} },
    };
    for (const ModelCase& c : kCases) {
        PageModel model = PageModel::FromText(c.page);
        std::vector<std::string> tags;
        for (const PageElement& element : model.elements) tags.push_back(element.tagName);
        EXPECT_EQ(c.tags, tags) << c.name;
        ASSERT_FALSE(model.elements.empty()) << c.name;
        EXPECT_TRUE(std::wstring(c.page) == Outer(model, 0)) << c.name << ": the root is the whole page";
        for (size_t i = 0; i < c.outer.size() && i + 1 < model.elements.size(); ++i) {
            EXPECT_TRUE(c.outer[i] == Outer(model, i + 1)) << c.name << ", element " << i + 1;
        }
        EXPECT_EQ("complete", model.readyState);
    }
}

TEST(PageModel, ReportsLowerCaseTagNamesWhenAsked)
{
    PageModel model = PageModel::FromText(L"<HTML><Meta charset=x></HTML>", true);
    ASSERT_EQ(2u, model.elements.size());
    EXPECT_EQ("html", model.elements[0].tagName);
    EXPECT_EQ("meta", model.elements[1].tagName);
}

TEST(PageModel, DecodesUtf8PagesAndFallsBackToTheAnsiCodePage)
{
    PageModel utf8 = PageModel::FromBytes("\xEF\xBB\xBF<html>\xC3\xA9</html>");
    EXPECT_TRUE(std::wstring(L"<html>\x00E9</html>") == utf8.markup) << "byte-order mark dropped, UTF-8 decoded";

    ASSERT_EQ(1252u, GetACP());
    PageModel ansi = PageModel::FromBytes("<html>\xE9</html>");
    EXPECT_TRUE(std::wstring(L"<html>\x00E9</html>") == ansi.markup);
}

}  // namespace
