#pragma once
#include <windows.h>
#include <string>
#include <vector>

// The stand-in's document model: the page's elements in document order, as a
// browser's element collection lists them.
struct PageElement {
    std::string tagName;        // as the model reports it (upper case unless told otherwise)
    std::wstring outerHTML;
};

struct PageModel {
    std::wstring markup;        // the whole page
    std::vector<PageElement> elements;
    std::string readyState = "complete";

    // Builds the model from the page's bytes: UTF-8 when they are valid UTF-8
    // (a byte-order mark is dropped), the ANSI code page otherwise. A page
    // without an HTML element gets one around everything, as a browser makes.
    static PageModel FromBytes(const std::string& bytes, bool lowerCaseTags = false);
    static PageModel FromText(const std::wstring& text, bool lowerCaseTags = false);
};
