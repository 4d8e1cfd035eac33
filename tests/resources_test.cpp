// The resources of the built Glimmerdeck.dll, read back from the file as the
// registrar, the loader and the dialogs will read them.
#include <windows.h>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>
#include "resources/resource.h"
#include "support/TestSupport.h"

namespace {

std::string ModulePath()
{
    return ProgramFolder() + "Glimmerdeck.dll";
}

// The DLL loaded as data, once for the whole program: its code never runs.
HMODULE Module()
{
    static HMODULE module = LoadLibraryExA(ModulePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    return module;
}

std::string ResourceBytes(LPCSTR type, LPCSTR name)
{
    HRSRC info = FindResourceA(Module(), name, type);
    if (!info) return std::string();
    HGLOBAL loaded = LoadResource(Module(), info);
    const char* data = static_cast<const char*>(LockResource(loaded));
    return data ? std::string(data, SizeofResource(Module(), info)) : std::string();
}

std::string ResourceBytes(LPCSTR type, WORD id)
{
    return ResourceBytes(type, MAKEINTRESOURCEA(id));
}

std::string Narrow(const std::wstring& wide)
{
    std::string out;
    for (wchar_t c : wide) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

// A forward reader over resource bytes; reading past the end yields zeros and
// marks the reader as overrun, so a short resource fails its test, not the program.
class Reader {
public:
    explicit Reader(const std::string& bytes) : m_bytes(bytes) {}

    BYTE Byte()
    {
        BYTE value = 0;
        Take(&value, sizeof value);
        return value;
    }
    WORD Word()
    {
        WORD value = 0;
        Take(&value, sizeof value);
        return value;
    }
    DWORD Dword()
    {
        DWORD value = 0;
        Take(&value, sizeof value);
        return value;
    }
    short Short() { return static_cast<short>(Word()); }

    std::wstring WideString()
    {
        std::wstring text;
        for (WORD c = Word(); c != 0 && !m_overrun; c = Word()) text += static_cast<wchar_t>(c);
        return text;
    }

    // A name or an ordinal, as dialog templates store them; ordinals come
    // back as "#<number>" and a missing entry as "".
    std::string NameOrOrdinal()
    {
        WORD first = Word();
        if (first == 0) return std::string();
        if (first == 0xFFFF) return "#" + std::to_string(Word());
        m_pos -= sizeof(WORD);
        return Narrow(WideString());
    }

    void AlignDword() { m_pos = (m_pos + 3) & ~size_t(3); }
    void Skip(size_t count) { m_pos += count; }
    size_t Position() const { return m_pos; }
    bool Overrun() const { return m_overrun || m_pos > m_bytes.size(); }
    bool AtEnd() const { return m_pos >= m_bytes.size(); }

private:
    void Take(void* out, size_t size)
    {
        if (m_pos + size > m_bytes.size()) {
            m_overrun = true;
            m_pos += size;
            return;
        }
        memcpy(out, m_bytes.data() + m_pos, size);
        m_pos += size;
    }

    const std::string& m_bytes;
    size_t m_pos = 0;
    bool m_overrun = false;
};

std::string Hex(DWORD value)
{
    char text[16];
    wsprintfA(text, "0x%08lX", value);
    return text;
}

} // namespace

TEST(Resources, ModuleLoadsAsDataFile) {
    ASSERT_NE(nullptr, Module()) << ModulePath() << ": error " << GetLastError();
}

// ---------------------------------------------------------------------------
// What the module holds: every type and, for each, exactly the expected names.

namespace {

BOOL CALLBACK CollectType(HMODULE, LPSTR type, LONG_PTR param)
{
    auto* types = reinterpret_cast<std::set<std::string>*>(param);
    types->insert(IS_INTRESOURCE(type) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(type)) : std::string(type));
    return TRUE;
}

BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR param)
{
    auto* names = reinterpret_cast<std::set<std::string>*>(param);
    names->insert(IS_INTRESOURCE(name) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name)) : std::string(name));
    return TRUE;
}

struct TypeContent {
    const char* label;
    LPCSTR type;
    std::set<std::string> names;
};

} // namespace

TEST(Resources, HoldsExactlyTheIdentifiersOfEachType) {
    ASSERT_NE(nullptr, Module());
    std::vector<std::string> iconImages;
    for (int id = 1; id <= 16; ++id) iconImages.push_back("#" + std::to_string(id));
    const TypeContent table[] = {
        { "dialog",      RT_DIALOG,     { "#104", "#106", "#108" } },
        { "menu",        RT_MENU,       { "#105", "#109" } },
        { "keys",        RT_ACCELERATOR, { "#107" } },
        { "icon group",  RT_GROUP_ICON, { "#101", "#102", "#103" } },
        { "icon image",  RT_ICON,       std::set<std::string>(iconImages.begin(), iconImages.end()) },
        { "bitmap",      RT_BITMAP,     { "#205" } },
        { "string",      RT_STRING,     { "#7", "#8" } },   // blocks of strings 96 to 111 and 112 to 127
        { "version",     RT_VERSION,    { "#1" } },
        { "manifest",    RT_MANIFEST,   { "#2" } },
        { "script",      "REGISTRY",    { "#201" } },
    };

    std::set<std::string> types;
    EnumResourceTypesA(Module(), CollectType, reinterpret_cast<LONG_PTR>(&types));
    std::set<std::string> expectedTypes;
    for (const auto& row : table)
        expectedTypes.insert(IS_INTRESOURCE(row.type) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(row.type))
                                                      : std::string(row.type));
    EXPECT_EQ(expectedTypes, types);

    for (const auto& row : table) {
        std::set<std::string> names;
        EnumResourceNamesA(Module(), row.type, CollectName, reinterpret_cast<LONG_PTR>(&names));
        EXPECT_EQ(row.names, names) << row.label;
    }
}

TEST(Resources, ProductNameIsString100) {
    char text[64] = {};
    ASSERT_EQ(11, LoadStringA(Module(), IDS_PRODUCT_NAME, text, sizeof text));
    EXPECT_STREQ("Glimmerdeck", text);
    for (UINT id = 96; id <= 111; ++id) {
        if (id == IDS_PRODUCT_NAME) continue;
        EXPECT_EQ(0, LoadStringA(Module(), id, text, sizeof text)) << "unexpected string " << id;
    }
}

// ---------------------------------------------------------------------------
// Pictures

namespace {

struct IconImage {
    int size;
    int bits;
};

struct IconGroupCase {
    WORD id;
    std::vector<IconImage> images;     // in directory order
};

const IconGroupCase kIconGroups[] = {
    { IDI_BUTTON,     { { 24, 8 }, { 20, 8 }, { 16, 8 }, { 32, 32 }, { 24, 32 }, { 20, 32 }, { 16, 32 } } },
    { IDI_BUTTON_HOT, { { 24, 8 }, { 20, 8 }, { 16, 8 }, { 32, 32 }, { 24, 32 }, { 20, 32 }, { 16, 32 } } },
    { IDI_ABOUT,      { { 48, 8 }, { 48, 32 } } },
};

// Counts the pixels that the AND mask leaves opaque.
int OpaquePixels(const std::string& image, const BITMAPINFOHEADER& header, int size)
{
    size_t colours = header.biBitCount <= 8 ? (header.biClrUsed ? header.biClrUsed : 1u << header.biBitCount) : 0;
    size_t xorStride = ((size * header.biBitCount + 31) / 32) * 4;
    size_t andStride = ((size + 31) / 32) * 4;
    size_t maskAt = header.biSize + colours * 4 + xorStride * size;
    if (maskAt + andStride * size > image.size()) return -1;
    int opaque = 0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            if (!(static_cast<BYTE>(image[maskAt + y * andStride + x / 8]) & (0x80 >> (x % 8)))) ++opaque;
    return opaque;
}

} // namespace

TEST(Resources, IconGroupsHoldTheirSizesAndDepths) {
    for (const auto& group : kIconGroups) {
        SCOPED_TRACE("icon group " + std::to_string(group.id));
        std::string directory = ResourceBytes(RT_GROUP_ICON, group.id);
        Reader reader(directory);
        EXPECT_EQ(0, reader.Word());                 // reserved
        EXPECT_EQ(1, reader.Word());                 // icons, not cursors
        ASSERT_EQ(group.images.size(), reader.Word());

        for (const auto& expected : group.images) {
            SCOPED_TRACE(std::to_string(expected.size) + " px, " + std::to_string(expected.bits) + " bpp");
            BYTE width = reader.Byte();
            BYTE height = reader.Byte();
            WORD colourCountAndReserved = reader.Word();
            WORD planes = reader.Word();
            WORD bits = reader.Word();
            DWORD bytes = reader.Dword();
            WORD imageId = reader.Word();
            ASSERT_FALSE(reader.Overrun());
            EXPECT_EQ(expected.size, width);
            EXPECT_EQ(expected.size, height);
            EXPECT_EQ(0, colourCountAndReserved);    // 256 colours and more count as 0
            EXPECT_EQ(1, planes);
            EXPECT_EQ(expected.bits, bits);

            std::string image = ResourceBytes(RT_ICON, imageId);
            ASSERT_EQ(bytes, image.size()) << "image " << imageId;
            ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER));
            BITMAPINFOHEADER header;
            memcpy(&header, image.data(), sizeof header);
            EXPECT_EQ(sizeof(BITMAPINFOHEADER), header.biSize);
            EXPECT_EQ(expected.size, header.biWidth);
            EXPECT_EQ(expected.size * 2, header.biHeight);   // colour image and mask
            EXPECT_EQ(1, header.biPlanes);
            EXPECT_EQ(expected.bits, header.biBitCount);
            EXPECT_EQ(static_cast<DWORD>(BI_RGB), header.biCompression);

            // A picture, not an empty square: most of it is drawn, some of it is clear.
            int opaque = OpaquePixels(image, header, expected.size);
            EXPECT_GT(opaque, expected.size * expected.size / 2);
            EXPECT_LT(opaque, expected.size * expected.size);

            // The system accepts the image as an icon of that size.
            HICON icon = CreateIconFromResourceEx(reinterpret_cast<BYTE*>(&image[0]), static_cast<DWORD>(image.size()),
                                                  TRUE, 0x00030000, expected.size, expected.size, LR_DEFAULTCOLOR);
            ASSERT_NE(nullptr, icon);
            ICONINFO info = {};
            ASSERT_TRUE(GetIconInfo(icon, &info));
            BITMAP colour = {};
            GetObjectA(info.hbmColor, sizeof colour, &colour);
            EXPECT_EQ(expected.size, colour.bmWidth);
            EXPECT_EQ(expected.size, colour.bmHeight);
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
            DestroyIcon(icon);
        }
    }
}

TEST(Resources, HotButtonIconDiffersFromTheButtonIcon) {
    std::string normal = ResourceBytes(RT_GROUP_ICON, IDI_BUTTON);
    std::string hot = ResourceBytes(RT_GROUP_ICON, IDI_BUTTON_HOT);
    ASSERT_EQ(normal.size(), hot.size());
    // Entry 0's image of each group, compared picture to picture.
    WORD normalId = *reinterpret_cast<const WORD*>(normal.data() + 6 + 12);
    WORD hotId = *reinterpret_cast<const WORD*>(hot.data() + 6 + 12);
    EXPECT_NE(ResourceBytes(RT_ICON, normalId), ResourceBytes(RT_ICON, hotId));
}

TEST(Resources, BannerIs400By80At8Bits) {
    std::string dib = ResourceBytes(RT_BITMAP, IDB_ABOUT_BANNER);
    ASSERT_GE(dib.size(), sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER header;
    memcpy(&header, dib.data(), sizeof header);
    EXPECT_EQ(sizeof(BITMAPINFOHEADER), header.biSize);
    EXPECT_EQ(400, header.biWidth);
    EXPECT_EQ(80, header.biHeight);
    EXPECT_EQ(1, header.biPlanes);
    EXPECT_EQ(8, header.biBitCount);
    EXPECT_EQ(static_cast<DWORD>(BI_RGB), header.biCompression);
    DWORD colours = header.biClrUsed ? header.biClrUsed : 256;
    EXPECT_EQ(header.biSize + colours * 4 + 400 * 80, dib.size());

    // Many palette entries in use: a drawn banner, not a flat fill.
    std::set<BYTE> used;
    for (size_t i = header.biSize + colours * 4; i < dib.size(); ++i) used.insert(static_cast<BYTE>(dib[i]));
    EXPECT_GT(used.size(), 64u);
}

// ---------------------------------------------------------------------------
// Registry script and manifest: byte for byte.

TEST(Resources, RegistryScriptIsExact) {
    const std::string expected = ModuleScriptFile();
    ASSERT_FALSE(expected.empty()) << "resources/Registration.script was not copied beside the test";
    std::string script = ResourceBytes("REGISTRY", IDR_REGISTRY_SCRIPT);
    EXPECT_EQ(expected.size(), script.size());
    size_t first = 0;
    while (first < expected.size() && first < script.size() && expected[first] == script[first]) ++first;
    EXPECT_EQ(expected, script) << "first difference at byte " << first;
}

TEST(Resources, ManifestNamesCommonControls6) {
#ifdef _WIN64
    const std::string architecture = "amd64";
#else
    const std::string architecture = "X86";
#endif
    const std::string expected =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
        "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
        "\t<assemblyIdentity version=\"1.0.0.0\" processorArchitecture=\"" + architecture + "\" name=\"Dunmarrow.Glimmerdeck.dll\""
        " type=\"win32\"/>\r\n"
        "\t<description>Glimmerdeck.dll</description>\r\n"
        "\t<dependency>\r\n"
        "\t\t<dependentAssembly>\r\n"
        "\t\t\t<assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""
        " processorArchitecture=\"" + architecture + "\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/>\r\n"
        "\t\t</dependentAssembly>\r\n"
        "\t</dependency>\r\n"
        "</assembly>\r\n";
    EXPECT_EQ(expected, ResourceBytes(RT_MANIFEST, IDR_MANIFEST));
}

// The system makes an activation context from the manifest, and that context
// redirects the common controls: what the module relies on for version 6.
TEST(Resources, ManifestBuildsAContextThatRedirectsCommonControls) {
    std::string path = ModulePath();
    ACTCTXA request = {};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = path.c_str();
    request.lpResourceName = MAKEINTRESOURCEA(IDR_MANIFEST);
    HANDLE context = CreateActCtxA(&request);
    ASSERT_NE(INVALID_HANDLE_VALUE, context) << "error " << GetLastError();

    ULONG_PTR cookie = 0;
    ASSERT_TRUE(ActivateActCtx(context, &cookie));
    ACTCTX_SECTION_KEYED_DATA data = {};
    data.cbSize = sizeof data;
    BOOL redirected = FindActCtxSectionStringA(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION,
                                               "comctl32.dll", &data);
    DeactivateActCtx(0, cookie);
    ReleaseActCtx(context);
    EXPECT_TRUE(redirected) << "error " << GetLastError();
}

// ---------------------------------------------------------------------------
// Dialog templates, parsed from the plain DLGTEMPLATE form.

namespace {

struct DialogItem {
    int id;
    std::string cls;       // "#128" is the button class, "#130" the static class
    std::string text;      // "#<n>" is an image resource
    DWORD style;
    int x, y, cx, cy;
};

struct Dialog {
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::string menu, cls, caption, face;
    int points = 0;
    std::vector<DialogItem> items;
    bool extended = false;
    bool overrun = false;
};

Dialog ParseDialog(const std::string& bytes)
{
    Dialog dialog;
    // An extended template starts with version 1 and the signature 0xFFFF.
    if (bytes.compare(0, 4, std::string("\x01\x00\xFF\xFF", 4)) == 0) {
        dialog.extended = true;
        return dialog;
    }
    Reader r(bytes);
    dialog.style = r.Dword();
    dialog.exStyle = r.Dword();
    WORD count = r.Word();
    dialog.x = r.Short();
    dialog.y = r.Short();
    dialog.cx = r.Short();
    dialog.cy = r.Short();
    dialog.menu = r.NameOrOrdinal();
    dialog.cls = r.NameOrOrdinal();
    dialog.caption = Narrow(r.WideString());
    if (dialog.style & DS_SETFONT) {
        dialog.points = r.Word();
        dialog.face = Narrow(r.WideString());
    }
    for (WORD i = 0; i < count && !r.Overrun(); ++i) {
        r.AlignDword();
        DialogItem item;
        item.style = r.Dword();
        DWORD exStyle = r.Dword();
        EXPECT_EQ(0u, exStyle) << "item " << i << " has an extended style";
        item.x = r.Short();
        item.y = r.Short();
        item.cx = r.Short();
        item.cy = r.Short();
        item.id = r.Short();
        item.cls = r.NameOrOrdinal();
        item.text = r.NameOrOrdinal();
        WORD extra = r.Word();
        EXPECT_EQ(0, extra) << "item " << i << " carries creation data";
        r.Skip(extra);
        dialog.items.push_back(item);
    }
    dialog.overrun = r.Overrun();
    return dialog;
}

const char kButton[] = "#128";
const char kStatic[] = "#130";
const DWORD kChild = WS_CHILD | WS_VISIBLE;
const DWORD kPushButton = kChild | WS_TABSTOP | BS_PUSHBUTTON;
const DWORD kLabel = kChild | WS_GROUP | SS_LEFT;

struct DialogCase {
    WORD id;
    DWORD style;
    int cx, cy;
    const char* caption;
    std::vector<DialogItem> items;      // in template (tab) order
};

const DialogCase kDialogs[] = {
    { IDD_VIEWER,
      WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | DS_CENTER | DS_SETFONT,
      394, 225, "Glimmerdeck",
      {
          { IDC_COPY, kButton, "Copy", kPushButton, 341, 208, 50, 14 },
          { IDC_SOURCE, "RICHEDIT", "",
            kChild | WS_BORDER | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_WANTRETURN, 0, 1, 393, 203 },
          { IDC_ABOUT, kButton, "About", kPushButton, 2, 208, 50, 14 },
          { IDC_SAVE, kButton, "Save", kPushButton, 287, 208, 50, 14 },
      } },
    { IDD_ABOUT,
      WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT,
      267, 151, "About Glimmerdeck",
      {
          { IDOK, kButton, "OK", kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 212, 131, 50, 14 },
          { -1, kStatic, "#103", kChild | SS_ICON | SS_REALSIZEIMAGE, 15, 60, 20, 20 },
          { IDC_VERSION_TEXT, kStatic, "Glimmerdeck  version 1.0.3 (Build 17)", kLabel, 64, 58, 196, 9 },
          { -1, kStatic, "", kChild | SS_ETCHEDHORZ, 3, 125, 261, 1 },
          { -1, kStatic, "Copyright (c) 2026 Dunmarrow", kLabel, 64, 71, 196, 9 },
          { IDC_HOME_LINK, kStatic, "www.glimmerdeck.example", kLabel, 51, 99, 115, 8 },
          { IDC_BANNER, kStatic, "#205", kChild | SS_BITMAP | SS_REALSIZEIMAGE, 0, 0, 267, 49 },
          { -1, kStatic, "Home site:", kLabel, 8, 99, 36, 8 },
          { -1, kStatic, "Support:", kLabel, 8, 111, 36, 8 },
          { IDC_SUPPORT_LINK, kStatic, "support@glimmerdeck.example", kLabel, 51, 110, 115, 8 },
          { -1, kStatic, "Source in colour", kLabel, 65, 83, 58, 8 },
      } },
};

} // namespace

TEST(Resources, DialogTemplatesMatchTheirTables) {
    for (const auto& expected : kDialogs) {
        SCOPED_TRACE("dialog " + std::to_string(expected.id));
        Dialog dialog = ParseDialog(ResourceBytes(RT_DIALOG, expected.id));
        ASSERT_FALSE(dialog.extended) << "an extended template";
        ASSERT_FALSE(dialog.overrun);
        EXPECT_EQ(Hex(expected.style), Hex(dialog.style));
        EXPECT_EQ(0u, dialog.exStyle);
        EXPECT_EQ(0, dialog.x);
        EXPECT_EQ(0, dialog.y);
        EXPECT_EQ(expected.cx, dialog.cx);
        EXPECT_EQ(expected.cy, dialog.cy);
        EXPECT_EQ("", dialog.menu);
        EXPECT_EQ("", dialog.cls);
        EXPECT_EQ(expected.caption, dialog.caption);
        EXPECT_EQ(8, dialog.points);
        EXPECT_EQ("MS Sans Serif", dialog.face);

        ASSERT_EQ(expected.items.size(), dialog.items.size());
        for (size_t i = 0; i < expected.items.size(); ++i) {
            const DialogItem& want = expected.items[i];
            const DialogItem& got = dialog.items[i];
            SCOPED_TRACE("item " + std::to_string(i) + " (" + want.text + ")");
            EXPECT_EQ(want.id, got.id);
            EXPECT_EQ(want.cls, got.cls);
            EXPECT_EQ(want.text, got.text);
            EXPECT_EQ(Hex(want.style), Hex(got.style));
            EXPECT_EQ(want.x, got.x);
            EXPECT_EQ(want.y, got.y);
            EXPECT_EQ(want.cx, got.cx);
            EXPECT_EQ(want.cy, got.cy);
        }
    }
}

// ---------------------------------------------------------------------------
// Encoding menu, as the system loads it.

namespace {

struct MenuRow {
    UINT id;              // 0 for a separator
    const char* text;
};

const MenuRow kEncodingItems[] = {
    { ID_ENCODING_DEFAULT,    "Default (Windows-1252)" },
    { 0, nullptr },
    { ID_ENCODING_ARABIC,     "Arabic" },
    { ID_ENCODING_BALTIC,     "Baltic" },
    { ID_ENCODING_GREEK,      "Greek" },
    { ID_ENCODING_HEBREW,     "Hebrew" },
    { ID_ENCODING_RUSSIAN,    "Russian" },
    { ID_ENCODING_TURKISH,    "Turkish" },
    { 0, nullptr },
    { ID_ENCODING_GB2312,     "Chinese Simplified (GB2312)" },
    { ID_ENCODING_BIG5,       "Chinese Traditional (Big5)" },
    { ID_ENCODING_SHIFTJIS,   "Japanese (Shift-JIS)" },
    { ID_ENCODING_HANGUL,     "Korean" },
    { 0, nullptr },
    { ID_ENCODING_EASTEUROPE, "East and Center European" },
    { 0, nullptr },
    { ID_ENCODING_OEM,        "OEM" },
    { ID_ENCODING_SYMBOL,     "Symbol" },
    { 0, nullptr },
    { ID_ENCODING_PAGE,       "Page Defined" },
};

struct MenuEntry {
    UINT type = 0;
    UINT state = 0;
    UINT id = 0;
    HMENU submenu = nullptr;
    std::string text;
};

MenuEntry Entry(HMENU menu, int position)
{
    char text[128] = {};
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = sizeof text;
    MenuEntry entry;
    if (!GetMenuItemInfoA(menu, position, TRUE, &info)) return entry;
    entry.type = info.fType;
    entry.state = info.fState;
    entry.id = info.wID;
    entry.submenu = info.hSubMenu;
    entry.text = text;
    return entry;
}

} // namespace

TEST(Resources, EncodingMenuHoldsTheCharsetsInOrder) {
    std::string raw = ResourceBytes(RT_MENU, IDR_ENCODING_MENU);
    ASSERT_GE(raw.size(), 4u);
    Reader header(raw);
    EXPECT_EQ(0, header.Word()) << "a plain menu template";
    EXPECT_EQ(0, header.Word());

    HMENU menu = LoadMenuIndirectA(raw.data());
    ASSERT_NE(nullptr, menu);
    ASSERT_EQ(1, GetMenuItemCount(menu));
    MenuEntry popup = Entry(menu, 0);
    EXPECT_EQ("Popup", popup.text);
    ASSERT_NE(nullptr, popup.submenu);

    ASSERT_EQ(1, GetMenuItemCount(popup.submenu));
    MenuEntry encoding = Entry(popup.submenu, 0);
    EXPECT_EQ("Encoding  ", encoding.text);
    ASSERT_NE(nullptr, encoding.submenu);

    const int count = static_cast<int>(sizeof kEncodingItems / sizeof kEncodingItems[0]);
    ASSERT_EQ(count, GetMenuItemCount(encoding.submenu));
    std::set<UINT> ids;
    for (int i = 0; i < count; ++i) {
        const MenuRow& want = kEncodingItems[i];
        MenuEntry got = Entry(encoding.submenu, i);
        SCOPED_TRACE("position " + std::to_string(i));
        EXPECT_EQ(nullptr, got.submenu);
        if (!want.text) {
            EXPECT_TRUE(got.type & MFT_SEPARATOR);
            continue;
        }
        EXPECT_EQ(0u, got.state) << "checked, greyed or default in the template";
        EXPECT_EQ(static_cast<UINT>(MFT_STRING), got.type);
        EXPECT_EQ(want.id, got.id);
        EXPECT_EQ(want.text, got.text);
        ids.insert(got.id);
    }
    // The fifteen commands run from 32768 to 32782 without gaps.
    EXPECT_EQ(15u, ids.size());
    EXPECT_EQ(32768u, *ids.begin());
    EXPECT_EQ(32782u, *ids.rbegin());
    DestroyMenu(menu);
}

// ---------------------------------------------------------------------------
// Version block, read as any tool reads it: from the file.

TEST(Resources, VersionBlockSays1_0_3_2) {
    std::string path = ModulePath();
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_NE(0u, size);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
    EXPECT_EQ(Hex(MAKELONG(0, 1)), Hex(fixed->dwFileVersionMS));
    EXPECT_EQ(Hex(MAKELONG(2, 3)), Hex(fixed->dwFileVersionLS));
    EXPECT_EQ(Hex(MAKELONG(0, 1)), Hex(fixed->dwProductVersionMS));
    EXPECT_EQ(Hex(MAKELONG(2, 3)), Hex(fixed->dwProductVersionLS));
    EXPECT_EQ(static_cast<DWORD>(VFT_DLL), fixed->dwFileType);
    EXPECT_EQ(0u, fixed->dwFileFlags);

    const struct {
        const char* name;
        const char* value;
    } strings[] = {
        { "FileVersion", "1.0.3.2" },
        { "ProductVersion", "1.0.3.2" },
        { "ProductName", "Glimmerdeck" },
        { "CompanyName", "Dunmarrow" },
        { "OriginalFilename", "Glimmerdeck.dll" },
    };
    for (const auto& row : strings) {
        char* value = nullptr;
        std::string key = std::string("\\StringFileInfo\\040904B0\\") + row.name;
        ASSERT_TRUE(VerQueryValueA(block.data(), key.c_str(), reinterpret_cast<void**>(&value), &length)) << row.name;
        EXPECT_STREQ(row.value, value) << row.name;
    }
}

// ---------------------------------------------------------------------------
// The templates as the dialog manager builds them.

namespace {

INT_PTR CALLBACK PassiveDialogProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

// A dialog made from one of the module's templates, hidden or not, destroyed
// with the holder.
class TemplateDialog {
public:
    explicit TemplateDialog(WORD id)
    {
        m_template = ResourceBytes(RT_DIALOG, id);
        if (m_template.empty()) return;
        m_hWnd = CreateDialogIndirectParamA(Module(), reinterpret_cast<LPCDLGTEMPLATEA>(m_template.data()), nullptr,
                                            PassiveDialogProc, 0);
    }
    ~TemplateDialog()
    {
        if (m_hWnd) DestroyWindow(m_hWnd);
    }
    TemplateDialog(const TemplateDialog&) = delete;
    TemplateDialog& operator=(const TemplateDialog&) = delete;

    HWND Window() const { return m_hWnd; }

private:
    std::string m_template;
    HWND m_hWnd = nullptr;
};

// Width in pixels that the text of a control takes in the given font.
int TextWidth(HWND control, HFONT font)
{
    char text[256] = {};
    GetWindowTextA(control, text, sizeof text);
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE extent = {};
    GetTextExtentPoint32A(dc, text, lstrlenA(text), &extent);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return extent.cx;
}

struct TextFitCase {
    int id;              // -1 for the unnamed notice lines, found by text
    const char* text;
    bool bold;           // the version line is shown in bold
};

const TextFitCase kAboutTexts[] = {
    { IDC_VERSION_TEXT, "Glimmerdeck  version 1.0.3 (Build 17)", true },
    { -1, "Copyright (c) 2026 Dunmarrow", false },
    { -1, "Source in colour", false },
    { IDC_HOME_LINK, "www.glimmerdeck.example", false },
    { IDC_SUPPORT_LINK, "support@glimmerdeck.example", false },
    { -1, "Home site:", false },
    { -1, "Support:", false },
};

HWND ChildWithText(HWND dialog, const char* text)
{
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char buffer[256] = {};
        GetWindowTextA(child, buffer, sizeof buffer);
        if (lstrcmpA(buffer, text) == 0) return child;
    }
    return nullptr;
}

} // namespace

TEST(Resources, AboutTemplateShowsItsPicturesAndEveryTextFits) {
    TemplateDialog about(IDD_ABOUT);
    ASSERT_NE(nullptr, about.Window());
    HWND dialog = about.Window();

    HWND banner = GetDlgItem(dialog, IDC_BANNER);
    ASSERT_NE(nullptr, banner);
    HBITMAP bitmap = reinterpret_cast<HBITMAP>(SendMessageA(banner, STM_GETIMAGE, IMAGE_BITMAP, 0));
    ASSERT_NE(nullptr, bitmap);
    BITMAP info = {};
    GetObjectA(bitmap, sizeof info, &info);
    EXPECT_EQ(400, info.bmWidth);
    EXPECT_EQ(80, info.bmHeight);

    // With "MS Sans Serif" 8 the template's 267 units are the banner's 400
    // pixels. Wine substitutes a wider face (7 pixels a base unit, not 6), so
    // here the box only has to hold the banner.
    RECT client = {};
    GetClientRect(dialog, &client);
    EXPECT_LE(info.bmWidth, client.right);

    HWND icon = nullptr;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) icon = child;
    ASSERT_NE(nullptr, icon);
    EXPECT_NE(nullptr, reinterpret_cast<HICON>(SendMessageA(icon, STM_GETICON, 0, 0)));

    HFONT font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
    ASSERT_NE(nullptr, font);
    LOGFONTA logfont = {};
    GetObjectA(font, sizeof logfont, &logfont);
    logfont.lfWeight = FW_BOLD;
    HFONT bold = CreateFontIndirectA(&logfont);

    for (const auto& row : kAboutTexts) {
        SCOPED_TRACE(row.text);
        HWND control = row.id == -1 ? ChildWithText(dialog, row.text) : GetDlgItem(dialog, row.id);
        ASSERT_NE(nullptr, control);
        char text[256] = {};
        GetWindowTextA(control, text, sizeof text);
        EXPECT_STREQ(row.text, text);
        RECT box = {};
        GetClientRect(control, &box);
        EXPECT_LE(TextWidth(control, row.bold ? bold : font), box.right) << "the text is cut off";
    }
    DeleteObject(bold);
}

TEST(Resources, ViewerTemplateCreatesItsControls) {
    // The rich-edit class comes from its library, as the module loads it at start-up.
    HMODULE richEdit = LoadLibraryA("RICHED32.DLL");
    ASSERT_NE(nullptr, richEdit);
    {
        TemplateDialog viewer(IDD_VIEWER);
        ASSERT_NE(nullptr, viewer.Window());
        EXPECT_FALSE(IsWindowVisible(viewer.Window()));
        const int ids[] = { IDC_COPY, IDC_SOURCE, IDC_ABOUT, IDC_SAVE };
        for (int id : ids) EXPECT_NE(nullptr, GetDlgItem(viewer.Window(), id)) << id;

        // Lines wrap: no horizontal scrolling, and the text is read-only.
        LONG style = GetWindowLongA(GetDlgItem(viewer.Window(), IDC_SOURCE), GWL_STYLE);
        EXPECT_FALSE(style & (WS_HSCROLL | ES_AUTOHSCROLL));
        EXPECT_TRUE(style & ES_READONLY);
    }
    FreeLibrary(richEdit);
}
