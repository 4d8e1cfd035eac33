#pragma once
// The module's identities as the browser and the registry know them, and the
// fixed opening of a button press: written once for every test program.
#include <windows.h>
#include <string>
#include <vector>

#define GD_CLSID_TEXT "{6E2B94D1-5A07-4C3E-B18F-2D7C90A4E635}"
#define GD_EXTENSIONS_KEY "Software\\Microsoft\\Internet Explorer\\Extensions"

// ZExtension, the module's one class, and its two ProgIDs.
const CLSID kClsidZExtension =
    { 0x6E2B94D1, 0x5A07, 0x4C3E, { 0xB1, 0x8F, 0x2D, 0x7C, 0x90, 0xA4, 0xE6, 0x35 } };
const char kClsidText[] = GD_CLSID_TEXT;
const char kProgId[] = "Glimmerdeck.ZExtension.1";
const char kIndependentProgId[] = "Glimmerdeck.ZExtension";

// Under HKEY_CLASSES_ROOT.
const char kClassKey[] = "CLSID\\" GD_CLSID_TEXT;
// Under HKEY_CURRENT_USER: the browser's extensions, and the module's button among them.
const char kExtensionsKey[] = GD_EXTENSIONS_KEY;
const char kExtensionKey[] = GD_EXTENSIONS_KEY "\\{B43F0E27-91C6-4D58-A3E2-7F16C8D05B9A}";
// The browser's own class for toolbar buttons that run a COM object.
const char kButtonClsidText[] = "{1FBA04EE-3024-11d2-8F1F-0000F87ABD16}";

#undef GD_CLSID_TEXT
#undef GD_EXTENSIONS_KEY

// What every press asks the browser and its document first, in this order,
// before the walks over the page's elements.
inline const std::vector<std::string> kPressOpeningCalls = {
    "Browser.get_Document",
    "Document.QueryInterface(IHTMLDocument2)",
    "Browser.get_HWND",
    "Document.get_readyState",
    "Document.get_all",
    "Collection.get_length",
};
