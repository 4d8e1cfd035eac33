#pragma once
#include <windows.h>
#include <string>
#include <vector>

// The stand-in's document model: the page's elements in document order, as a
// browser's element collection lists them.
struct PageElement {
    std::string tagName;        // as the model reports it (upper case unless told otherwise)
    std::wstring outerHTML;     // used when the element does not lie in the page's markup
    // Where the element lies in the page's markup. Parsed pages keep offsets,
    // not copies: unclosed elements of a large page would otherwise each hold
    // most of the page.
    bool inMarkup = false;
    size_t start = 0;
    size_t length = 0;
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

    // The element's outer markup as a pointer and length, without copying it.
    const wchar_t* OuterHTML(size_t index, size_t& length) const;
};
