#include "tools/host/PageModel.h"
#include <algorithm>

namespace {

// Elements that never hold content, so no end tag closes them.
const char* const kVoidElements[] = {
    "AREA", "BASE", "BASEFONT", "BR", "COL", "EMBED", "FRAME", "HR", "IMG", "INPUT",
    "ISINDEX", "LINK", "META", "PARAM", "SOURCE", "TRACK", "WBR",
};
// Elements whose content is raw text up to their own end tag.
const char* const kRawTextElements[] = { "SCRIPT", "STYLE", "TEXTAREA", "TITLE", "XMP" };

bool InList(const std::string& name, const char* const* list, size_t count)
{
    return std::find_if(list, list + count, [&](const char* item) { return name == item; }) != list + count;
}

bool IsNameChar(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
           c == L'-' || c == L'_' || c == L':';
}

std::string UpperAscii(const std::wstring& name)
{
    std::string out;
    for (wchar_t c : name) out += static_cast<char>(c >= L'a' && c <= L'z' ? c - 32 : c);
    return out;
}

// Position just past the '>' that ends the tag starting at from, honouring
// quoted attribute values; the text's end when there is none.
size_t EndOfTag(const std::wstring& text, size_t from)
{
    wchar_t quote = 0;
    for (size_t i = from; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == L'"' || c == L'\'') {
            quote = c;
        } else if (c == L'>') {
            return i + 1;
        }
    }
    return text.size();
}

size_t FindNoCase(const std::wstring& text, const std::wstring& what, size_t from)
{
    auto it = std::search(text.begin() + std::min(from, text.size()), text.end(), what.begin(), what.end(),
                          [](wchar_t a, wchar_t b) { return towupper(a) == towupper(b); });
    return it == text.end() ? std::wstring::npos : static_cast<size_t>(it - text.begin());
}

bool IsValidUtf8(const std::string& bytes)
{
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                               nullptr, 0) > 0 || bytes.empty();
}

std::wstring Decode(const std::string& bytes, UINT codePage)
{
    if (bytes.empty()) return std::wstring();
    int n = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(n, L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), &out[0], n);
    return out;
}

}  // namespace

PageModel PageModel::FromBytes(const std::string& bytes, bool lowerCaseTags)
{
    std::string body = bytes;
    if (body.compare(0, 3, "\xEF\xBB\xBF") == 0) body.erase(0, 3);
    return FromText(Decode(body, IsValidUtf8(body) ? CP_UTF8 : CP_ACP), lowerCaseTags);
}

PageModel PageModel::FromText(const std::wstring& text, bool lowerCaseTags)
{
    PageModel page;
    page.markup = text;

    struct Open { size_t index; size_t start; };
    std::vector<Open> open;
    std::vector<size_t> starts, ends;
    std::vector<std::string> names;

    auto closeAt = [&](size_t depth, size_t end) {
        while (open.size() > depth) {
            ends[open.back().index] = end;
            open.pop_back();
        }
    };

    size_t i = 0;
    while ((i = text.find(L'<', i)) != std::wstring::npos) {
        if (text.compare(i, 4, L"<!--") == 0) {
            size_t close = text.find(L"-->", i + 4);
            i = close == std::wstring::npos ? text.size() : close + 3;
            continue;
        }
        if (i + 1 < text.size() && (text[i + 1] == L'!' || text[i + 1] == L'?')) {
            i = EndOfTag(text, i + 1);
            continue;
        }
        bool endTag = i + 1 < text.size() && text[i + 1] == L'/';
        size_t nameStart = i + (endTag ? 2 : 1);
        size_t nameEnd = nameStart;
        while (nameEnd < text.size() && IsNameChar(text[nameEnd])) ++nameEnd;
        if (nameEnd == nameStart) {            // a lone '<' in text
            ++i;
            continue;
        }
        std::string name = UpperAscii(text.substr(nameStart, nameEnd - nameStart));
        size_t tagEnd = EndOfTag(text, nameEnd);
        if (endTag) {
            // Close the innermost open element of that name and everything inside it.
            for (size_t d = open.size(); d-- > 0;) {
                if (names[open[d].index] == name) {
                    closeAt(d, tagEnd);
                    break;
                }
            }
            i = tagEnd;
            continue;
        }
        size_t index = names.size();
        names.push_back(name);
        starts.push_back(i);
        ends.push_back(tagEnd);
        bool selfClosed = tagEnd >= 2 && text[tagEnd - 2] == L'/';
        if (InList(name, kRawTextElements, sizeof kRawTextElements / sizeof *kRawTextElements)) {
            size_t close = FindNoCase(text, L"</" + std::wstring(name.begin(), name.end()), tagEnd);
            ends[index] = close == std::wstring::npos ? text.size() : EndOfTag(text, close);
            i = ends[index];
            continue;
        }
        if (!selfClosed && !InList(name, kVoidElements, sizeof kVoidElements / sizeof *kVoidElements)) {
            open.push_back({ index, i });
        }
        i = tagEnd;
    }
    closeAt(0, text.size());

    bool hasRoot = std::find(names.begin(), names.end(), "HTML") != names.end();
    if (!hasRoot) page.elements.push_back({ "HTML", std::wstring(), true, 0, text.size() });
    for (size_t e = 0; e < names.size(); ++e) {
        // The root element serialises as the whole page, whatever surrounds its tags.
        if (names[e] == "HTML") {
            page.elements.push_back({ names[e], std::wstring(), true, 0, text.size() });
        } else {
            page.elements.push_back({ names[e], std::wstring(), true, starts[e], ends[e] - starts[e] });
        }
    }
    if (lowerCaseTags) {
        for (PageElement& element : page.elements) {
            for (char& c : element.tagName) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        }
    }
    return page;
}

const wchar_t* PageModel::OuterHTML(size_t index, size_t& length) const
{
    const PageElement& element = elements[index];
    if (!element.inMarkup) {
        length = element.outerHTML.size();
        return element.outerHTML.c_str();
    }
    length = element.length;
    return markup.c_str() + element.start;
}
