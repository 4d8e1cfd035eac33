// glimmerdeck-host: plays the browser for the extension. It loads a page into
// a small document model, shows a browser-like window, creates the extension
// that the browser's registry entry names, sites it and presses its button.
#include <windows.h>
#include <objbase.h>
#include <ocidl.h>
#include <docobj.h>
#include <stdio.h>
#include <stdlib.h>
#include <fstream>
#include <sstream>
#include "tools/host/HostBrowser.h"
#include "tools/host/ModalWatcher.h"
#include "tools/host/PageModel.h"
#include "tools/host/Screenshot.h"

namespace {

const char kUsage[] =
    "usage: glimmerdeck-host [--loading | --ready-state TEXT] [--answer yes|no] [--lower-case-tags]\n"
    "                        [--fail CALL]... [--log FILE] [--screenshot FILE] [--timeout SECONDS] PAGE";
const char kExtensionKey[] =
    "Software\\Microsoft\\Internet Explorer\\Extensions\\{B43F0E27-91C6-4D58-A3E2-7F16C8D05B9A}";
const char kFrameClass[] = "GlimmerdeckHostFrame";

struct Options {
    std::string page;
    std::string readyState = "complete";
    std::string answer;             // "yes", "no" or empty: the user answers
    bool lowerCaseTags = false;
    std::vector<std::string> failing;
    std::string log;
    std::string screenshot;
    DWORD timeoutMs = 0;
};

int Fail(const std::string& message, int code = 1)
{
    fprintf(stderr, "glimmerdeck-host: %s\n", message.c_str());
    return code;
}

// Empty on success, else what is wrong with the command line.
std::string ParseArguments(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](std::string& out) -> bool {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string text;
        if (arg == "--loading") {
            options.readyState = "loading";
        } else if (arg == "--ready-state") {
            if (!value(options.readyState)) return "--ready-state needs a value";
        } else if (arg == "--answer") {
            if (!value(options.answer) || (options.answer != "yes" && options.answer != "no"))
                return "--answer takes yes or no";
        } else if (arg == "--lower-case-tags") {
            options.lowerCaseTags = true;
        } else if (arg == "--fail") {
            if (!value(text)) return "--fail needs a call name such as Browser.get_Document";
            options.failing.push_back(text);
        } else if (arg == "--log") {
            if (!value(options.log)) return "--log needs a file name";
        } else if (arg == "--screenshot") {
            if (!value(options.screenshot)) return "--screenshot needs a file name";
        } else if (arg == "--timeout") {
            if (!value(text)) return "--timeout needs a number of seconds";
            char* end = nullptr;
            long seconds = strtol(text.c_str(), &end, 10);
            if (text.empty() || *end || seconds <= 0 || seconds > 86400) return "--timeout takes 1 to 86400 seconds";
            options.timeoutMs = static_cast<DWORD>(seconds) * 1000;
        } else if (arg == "--help" || arg == "-h") {
            return kUsage;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return "unknown option " + arg;
        } else if (options.page.empty()) {
            options.page = arg;
        } else {
            return "only one PAGE may be given";
        }
    }
    if (options.page.empty()) return "no PAGE given";
    return std::string();
}

bool ReadPage(const std::string& path, std::string& bytes)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    std::ifstream in(path.c_str(), std::ios::binary);
    if (!in) return false;
    std::ostringstream content;
    content << in.rdbuf();
    bytes = content.str();
    return !in.bad();
}

// The class identifier that the browser's extension entry names, or false.
bool ReadExtensionClass(CLSID& clsid)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kExtensionKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    char text[64] = {};
    DWORD size = sizeof text - 1, type = 0;
    LONG status = RegQueryValueExA(key, "ClsidExtension", nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ) return false;
    wchar_t wide[64] = {};
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 64);
    return SUCCEEDED(CLSIDFromString(wide, &clsid));
}

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT client;
        GetClientRect(window, &client);
        const char* page = reinterpret_cast<const char*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (page) DrawTextA(dc, page, -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_PATH_ELLIPSIS);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_CLOSE:
        return 0;       // the frame goes when the host is done, not before
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateFrame(const std::string& page)
{
    WNDCLASSA frameClass = {};
    frameClass.lpfnWndProc = FrameProc;
    frameClass.hInstance = GetModuleHandleA(nullptr);
    frameClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    frameClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    frameClass.lpszClassName = kFrameClass;
    RegisterClassA(&frameClass);
    std::string title = page + " - Glimmerdeck host";
    HWND frame = CreateWindowExA(0, kFrameClass, title.c_str(), WS_OVERLAPPEDWINDOW, 40, 40, 900, 650,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!frame) return nullptr;
    static std::string shownPage;
    shownPage = page;
    SetWindowLongPtrA(frame, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(shownPage.c_str()));
    ShowWindow(frame, SW_SHOW);
    UpdateWindow(frame);
    SetForegroundWindow(frame);
    SetActiveWindow(frame);
    return frame;
}

// The file of the module that serves an object, found from its vtable: which
// registered module the class's entry led to.
std::string ServingModule(IUnknown* object)
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            *reinterpret_cast<LPCSTR*>(object), &module))
        return "?";
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, MAX_PATH);
    return path;
}

std::string Hex(HRESULT hr)
{
    char text[16];
    wsprintfA(text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

int Run(const Options& options)
{
    std::string bytes;
    if (!ReadPage(options.page, bytes)) return Fail("cannot read page " + options.page);
    PageModel model = PageModel::FromBytes(bytes, options.lowerCaseTags);
    model.readyState = options.readyState;

    CallLog log;
    log.path = options.log;
    if (!log.path.empty()) {
        FILE* truncate = fopen(log.path.c_str(), "wb");
        if (!truncate) return Fail("cannot write log " + log.path);
        fclose(truncate);
    }
    log.failing.insert(options.failing.begin(), options.failing.end());

    CLSID clsid;
    if (!ReadExtensionClass(clsid))
        return Fail("the extension is not registered (no ClsidExtension under HKCU\\" + std::string(kExtensionKey) +
                    "); run regsvr32 Glimmerdeck.dll");

    HWND frame = CreateFrame(options.page);
    if (!frame) return Fail("cannot create the browser window");

    IUnknown* object = nullptr;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                  reinterpret_cast<void**>(&object));
    if (FAILED(hr)) {
        DestroyWindow(frame);
        return Fail("cannot create the extension object (" + Hex(hr) + ")");
    }
    IObjectWithSite* withSite = nullptr;
    IOleCommandTarget* target = nullptr;
    object->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&withSite));
    object->QueryInterface(IID_IOleCommandTarget, reinterpret_cast<void**>(&target));
    object->Release();
    if (!withSite || !target) {
        if (withSite) withSite->Release();
        if (target) target->Release();
        DestroyWindow(frame);
        return Fail("the extension object lacks IObjectWithSite or IOleCommandTarget");
    }

    log.Record("Host.Server " + ServingModule(withSite));
    IUnknown* site = CreateHostSite(model, frame, &log);
    log.Record("Host.SetSite");
    withSite->SetSite(site);

    OLECMD command = { 0, 0 };
    hr = target->QueryStatus(nullptr, 1, &command, nullptr);
    log.Record("Host.QueryStatus " + Hex(hr) + " flags " + std::to_string(command.cmdf));

    ModalWatcher watcher(options.timeoutMs);
    std::string screenshotError = options.screenshot.empty() ? "" : "the viewer did not appear";
    watcher.onMessageBox = [&](HWND box) {
        bool ownedByBrowser = GetWindow(box, GW_OWNER) == frame;
        std::string text = MessageBoxText(box);
        for (char& c : text) if (c == '\n') c = '|';
        char caption[64] = {};
        GetWindowTextA(box, caption, sizeof caption);
        log.Record(std::string("Host.MessageBox owner=") + (ownedByBrowser ? "browser" : "other") +
                   " caption=" + caption + " text=" + text);
        if (options.answer == "yes") ClickButton(box, IDYES);
        if (options.answer == "no") ClickButton(box, IDNO);
    };
    watcher.onViewer = [&](HWND viewer) {
        bool ownedByBrowser = GetWindow(viewer, GW_OWNER) == frame;
        log.Record(std::string("Host.Viewer owner=") + (ownedByBrowser ? "browser" : "other") +
                   " charset=" + std::to_string(ViewerCharset(viewer)));
        if (!options.screenshot.empty()) {
            screenshotError = SaveWindowImage(viewer, options.screenshot);
            CloseViewer(viewer);
        }
    };

    // The button press.
    log.Record("Host.Exec");
    hr = target->Exec(nullptr, 0, OLECMDEXECOPT_DODEFAULT, nullptr, nullptr);
    log.Record("Host.Exec returned " + Hex(hr));

    withSite->SetSite(nullptr);
    withSite->Release();
    target->Release();
    site->Release();
    DestroyWindow(frame);

    if (watcher.TimedOut()) return Fail("timed out: the viewer or the question was still open and was closed", 3);
    if (!screenshotError.empty()) return Fail(screenshotError);
    if (!options.screenshot.empty()) printf("%s\n", options.screenshot.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    std::string problem = ParseArguments(argc, argv, options);
    if (problem == kUsage) {
        printf("%s\n", kUsage);
        return 0;
    }
    if (!problem.empty()) return Fail(problem + " (--help for usage)", 2);
    if (FAILED(CoInitialize(nullptr))) return Fail("cannot initialise COM");
    int code = 1;
    try {
        code = Run(options);
    } catch (const std::exception& e) {
        code = Fail(std::string("internal error: ") + e.what());
    }
    CoUninitialize();
    return code;
}
