// The RTF document as the viewer's control reads it: Rich Edit 1.0, the real
// control, given the document by stream-in, and read back character by character.
#include <gtest/gtest.h>
#include <windows.h>
#include <richedit.h>
#include <string>
#include "viewer/RtfDocument.h"

namespace {

struct StreamSource {
    const char* data;
    LONG left;
};

DWORD CALLBACK ReadDocument(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* transferred)
{
    StreamSource* source = reinterpret_cast<StreamSource*>(cookie);
    LONG n = source->left < size ? source->left : size;
    memcpy(buffer, source->data, n);
    source->data += n;
    source->left -= n;
    *transferred = n;
    return 0;
}

class RichEditUnderTest {
public:
    RichEditUnderTest(const char* markup, int charsetState)
    {
        m_library = LoadLibraryA("RICHED32.DLL");
        m_window = CreateWindowExA(0, "RICHEDIT", "", WS_POPUP | ES_MULTILINE, 0, 0, 600, 400,
                                   nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        if (!m_window) return;
        CString document = BuildRtfDocument(markup, charsetState);
        StreamSource source = { document.c_str(), document.GetLength() };
        EDITSTREAM stream = { reinterpret_cast<DWORD_PTR>(&source), 0, ReadDocument };
        SendMessageA(m_window, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
    }
    ~RichEditUnderTest()
    {
        if (m_window) DestroyWindow(m_window);
        if (m_library) FreeLibrary(m_library);
    }
    RichEditUnderTest(const RichEditUnderTest&) = delete;
    RichEditUnderTest& operator=(const RichEditUnderTest&) = delete;

    bool Ready() const { return m_window != nullptr; }

    std::string Text() const
    {
        char text[4096] = "";
        GetWindowTextA(m_window, text, sizeof text);
        return text;
    }

    CHARFORMATA FormatAt(int position) const
    {
        SendMessageA(m_window, EM_SETSEL, position, position + 1);
        CHARFORMATA format = {};
        format.cbSize = sizeof format;
        SendMessageA(m_window, EM_GETCHARFORMAT, TRUE, reinterpret_cast<LPARAM>(&format));
        return format;
    }

private:
    HMODULE m_library = nullptr;
    HWND m_window = nullptr;
};

const COLORREF kAuto = 0xFFFFFFFF;

struct Expected {
    const char* character;  // the character looked at, for the message
    int position;
    COLORREF colour;        // kAuto: the automatic colour
    bool bold;
};

} // namespace

TEST(RtfRichEdit, ShowsTheMarkupWithItsColoursAndWeight) {
    const char markup[] = "<A HREF='x'>t</A><!-- c --><SCRIPT>s</SCRIPT>";
    RichEditUnderTest edit(markup, 0);
    ASSERT_TRUE(edit.Ready()) << "RICHEDIT window not created";
    // The escapes and line breaks aside, the control shows the markup as it was.
    EXPECT_EQ(0u, edit.Text().find(markup)) << edit.Text();

    const Expected cases[] = {
        { "<", 0, kAuto, true },
        { "A", 1, RGB(0, 0, 255), false },
        { "H of HREF", 3, RGB(0, 128, 128), false },
        { "=", 7, RGB(128, 0, 128), false },
        { "x in quotes", 9, RGB(128, 0, 128), false },
        { ">", 11, kAuto, true },
        { "t", 12, kAuto, false },
        { "/ of </A>", 14, RGB(0, 0, 255), false },
        { "! of the comment", 18, RGB(130, 130, 130), false },
        { "c", 22, RGB(130, 130, 130), false },
        { "> of the comment", 26, kAuto, true },
        { "s in the script", 35, RGB(0, 110, 0), false },
        { "/ of </SCRIPT>", 37, RGB(0, 0, 255), false },
    };
    for (const Expected& c : cases) {
        ASSERT_EQ(c.character[0], markup[c.position]) << "table entry " << c.character;
        CHARFORMATA format = edit.FormatAt(c.position);
        const bool autoColour = (format.dwEffects & CFE_AUTOCOLOR) != 0;
        if (c.colour == kAuto) {
            EXPECT_TRUE(autoColour) << c.character << " has colour " << std::hex << format.crTextColor;
        } else {
            EXPECT_FALSE(autoColour) << c.character;
            EXPECT_EQ(c.colour, format.crTextColor) << c.character;
        }
        EXPECT_EQ(c.bold, (format.dwEffects & CFE_BOLD) != 0) << c.character;
        EXPECT_STREQ("Courier New", format.szFaceName) << c.character;
        EXPECT_EQ(200, format.yHeight) << c.character << ": 10 points in twips";
    }
}

TEST(RtfRichEdit, CarriesTheCharsetIntoTheFont) {
    for (int charset : { 0, 204, 161 }) {
        RichEditUnderTest edit("<P>x</P>", charset);
        ASSERT_TRUE(edit.Ready());
        EXPECT_EQ(charset, edit.FormatAt(4).bCharSet) << "charset " << charset;
    }
}

TEST(RtfRichEdit, ShowsTheRtfSpecialCharactersAsText) {
    RichEditUnderTest edit("a{b}\\c\r\nd", 0);
    ASSERT_TRUE(edit.Ready());
    EXPECT_EQ(0u, edit.Text().find("a{b}\\c\r\nd")) << edit.Text();
}
