#include "tools/bench/ButtonPress.h"
#include <psapi.h>
#include <richedit.h>
#include <ocidl.h>
#include <docobj.h>
#include "capture/ZExtension.h"
#include "resources/resource.h"
#include "tools/bench/BenchSupport.h"
#include "tools/host/HostBrowser.h"
#include "tools/host/ModalWatcher.h"
#include "viewer/ViewerDialog.h"

namespace {

// The press in progress; hooks and timer callbacks carry no context of their own.
struct Press {
    const PressOptions* options;
    PressResult* result;
    LARGE_INTEGER start;
    HWND viewer;
    bool painted;
    bool closing;
    LARGE_INTEGER streamStart;
    SIZE_T bytesBeforeStream;
    SIZE_T bytesBeforeDocument;     // at the first stream-in of the press
    bool documentStarted;
    enum Stage { WaitWhole, WaitRerender, Done } stage;
    LARGE_INTEGER stageStart;
    double* streamSeconds;      // where the time inside the stream-in goes
    UINT_PTR deadline;
};
Press* g_press;

bool IsTextControl(HWND window)
{
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    return lstrcmpiA(className, "RICHEDIT") == 0 && GetDlgCtrlID(window) == IDC_SOURCE;
}

void Close(HWND viewer)
{
    if (g_press->closing) return;
    g_press->closing = true;
    PostMessageA(viewer, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
}

// Whether the viewer is still putting pieces of its document into the control.
bool Filling(HWND viewer)
{
    CViewerDialog* dialog = dynamic_cast<CViewerDialog*>(CWindowObject::FromHandle(viewer));
    return dialog && dialog->IsFilling();
}

// Runs from the viewer's own loop after the first paint, every few
// milliseconds while the document fills, then steps through the press.
void CALLBACK AfterFirstPaint(HWND, UINT, UINT_PTR timer, DWORD)
{
    Press& press = *g_press;
    HWND viewer = press.viewer;
    HWND edit = GetDlgItem(viewer, IDC_SOURCE);
    if (edit && Filling(viewer)) return;
    KillTimer(nullptr, timer);
    if (edit) UpdateWindow(edit);
    const double sinceStage = SecondsSince(press.stageStart);

    if (press.stage == Press::WaitWhole) {
        press.result->wholeSeconds = SecondsSince(press.start);
        SIZE_T now, peak;
        PrivateBytes(&now, &peak);
        if (press.documentStarted && now > press.bytesBeforeDocument)
            press.result->heldByControl = now - press.bytesBeforeDocument;
        if (press.options->rerender && edit) {
            // A right-button release over the text, as the control reports it;
            // keys queued for the menu's own loop choose: first item
            // ("Encoding"), its submenu, the item below "Default" (Arabic).
            MSGFILTER filter = {};
            filter.nmhdr.hwndFrom = edit;
            filter.nmhdr.idFrom = IDC_SOURCE;
            filter.nmhdr.code = EN_MSGFILTER;
            filter.msg = WM_RBUTTONUP;
            const WPARAM keys[] = { VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN };
            for (WPARAM key : keys) PostMessageA(viewer, WM_KEYDOWN, key, 1);
            press.streamSeconds = &press.result->rerenderStreamSeconds;
            press.stage = Press::WaitRerender;
            press.stageStart = Now();
            SendMessageA(viewer, WM_NOTIFY, IDC_SOURCE, reinterpret_cast<LPARAM>(&filter));
            HWND fresh = GetDlgItem(viewer, IDC_SOURCE);
            if (fresh) UpdateWindow(fresh);
            press.result->rerenderFirstSeconds = SecondsSince(press.stageStart);
            SetTimer(nullptr, 0, 5, AfterFirstPaint);
            return;
        }
    } else if (press.stage == Press::WaitRerender) {
        press.result->rerenderSeconds = sinceStage;
    }
    press.stage = Press::Done;
    edit = GetDlgItem(viewer, IDC_SOURCE);
    if (press.options->resize && edit) {
        RECT frame;
        GetWindowRect(viewer, &frame);
        LARGE_INTEGER t0 = Now();
        SetWindowPos(viewer, nullptr, 0, 0, frame.right - frame.left + 80, frame.bottom - frame.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        UpdateWindow(viewer);
        UpdateWindow(edit);
        press.result->resizeSeconds = SecondsSince(t0);
    }
    if (press.options->whileShown) press.options->whileShown(viewer);
    if (edit) {
        press.result->textLength = static_cast<int>(SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0));
        if (press.options->readText) press.result->text = ViewerText(viewer);
        press.result->charset = ViewerCharset(viewer);
    }
    Close(viewer);
}

void CALLBACK Deadline(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    g_press->result->timedOut = true;
    // Whatever modal loop is up (menu, viewer) is ended.
    EndMenu();
    HWND box = FindThreadMessageBox();
    if (box) ClickButton(box, IDNO);
    HWND viewer = g_press->viewer ? g_press->viewer : FindThreadViewer();
    if (viewer) {
        g_press->closing = false;
        Close(viewer);
    }
}

WNDPROC g_textProc;

// Wraps the text control for its first paint only: the time is taken when
// the paint has been done, then the control gets its own procedure back.
LRESULT CALLBACK FirstPaintProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC own = g_textProc;
    LRESULT result = CallWindowProcA(own, window, message, wParam, lParam);
    if (message == WM_PAINT && g_press && !g_press->painted) {
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(own));
        g_press->painted = true;
        g_press->result->openSeconds = SecondsSince(g_press->start);
        g_press->result->viewerShown = true;
        // Further steps run from the viewer's own loop, not from inside a paint.
        g_press->stageStart = Now();
        SetTimer(nullptr, 0, 5, AfterFirstPaint);
        if (g_press->options->atFirstScreen) g_press->options->atFirstScreen(g_press->viewer);
    }
    return result;
}

// Time inside the control's stream-in, apart from the module's own work.
LRESULT CALLBACK OnCall(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && g_press && call->message == EM_STREAMIN && IsTextControl(call->hwnd))
    {
        SIZE_T peak;
        PrivateBytes(&g_press->bytesBeforeStream, &peak);
        if (!g_press->documentStarted) {
            g_press->documentStarted = true;
            g_press->bytesBeforeDocument = g_press->bytesBeforeStream;
        }
        g_press->streamStart = Now();
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK OnCallReturn(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPRETSTRUCT* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && g_press && call->message == EM_STREAMIN && IsTextControl(call->hwnd))
    {
        *g_press->streamSeconds += SecondsSince(g_press->streamStart);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Sees the text control's first paint arrive, before it is dispatched.
LRESULT CALLBACK OnGetMessage(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG* msg = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && g_press && !g_press->painted && !g_press->viewer &&
        msg->message == WM_PAINT && IsTextControl(msg->hwnd)) {
        g_press->viewer = GetParent(msg->hwnd);
        g_textProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(msg->hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FirstPaintProc)));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND BrowserFrame()
{
    static HWND frame;
    if (frame && IsWindow(frame)) return frame;
    WNDCLASSA frameClass = {};
    frameClass.lpfnWndProc = FrameProc;
    frameClass.hInstance = GetModuleHandleA(nullptr);
    frameClass.lpszClassName = "GlimmerdeckPressFrame";
    RegisterClassA(&frameClass);
    frame = CreateWindowExA(0, frameClass.lpszClassName, "browser", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300,
                            nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetForegroundWindow(frame);
    return frame;
}

// Wine's PeakPagefileUsage is the current figure, not a peak; a thread
// samples the current figure every millisecond for the length of the press.
struct PeakSampler {
    volatile LONG stop;
    SIZE_T peak;
};

DWORD WINAPI SamplePeak(void* param)
{
    PeakSampler* sampler = static_cast<PeakSampler*>(param);
    while (!sampler->stop) {
        SIZE_T now, peak;
        PrivateBytes(&now, &peak);
        if (now > sampler->peak) sampler->peak = now;
        if (peak > sampler->peak) sampler->peak = peak;
        Sleep(1);
    }
    return 0;
}

} // namespace

void PrivateBytes(SIZE_T* now, SIZE_T* peak)
{
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof counters)) {
        *now = *peak = 0;
        return;
    }
    // Wine reports PrivateUsage as 0 and keeps the commit charge in
    // PagefileUsage, whose peak is PeakPagefileUsage on both.
    *now = counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
    *peak = counters.PeakPagefileUsage;
}

PressResult PressButton(const PageModel& model, const PressOptions& options)
{
    PressResult result;
    HWND frame = BrowserFrame();
    // Nobody reads the calls of a press: a browser keeps no log of them.
    CallLog log;
    log.keepCalls = false;
    IUnknown* site = CreateHostSite(model, frame, &log);
    IOleCommandTarget* target = nullptr;
    if (FAILED(ZExtension::CreateInstance(nullptr, IID_IOleCommandTarget, reinterpret_cast<void**>(&target)))) {
        site->Release();
        return result;
    }
    IObjectWithSite* withSite = nullptr;
    target->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&withSite));
    if (withSite) withSite->SetSite(site);

    Press press = {};
    press.options = &options;
    press.result = &result;
    g_press = &press;
    HHOOK paintHook = SetWindowsHookExA(WH_GETMESSAGE, OnGetMessage, nullptr, GetCurrentThreadId());
    HHOOK callHook = SetWindowsHookExA(WH_CALLWNDPROC, OnCall, nullptr, GetCurrentThreadId());
    HHOOK returnHook = SetWindowsHookExA(WH_CALLWNDPROCRET, OnCallReturn, nullptr, GetCurrentThreadId());
    press.streamSeconds = &result.openStreamSeconds;
    press.deadline = SetTimer(nullptr, 0, options.deadlineMs, Deadline);

    SIZE_T peak;
    PrivateBytes(&result.privateBefore, &peak);
    PeakSampler sampler = { 0, result.privateBefore };
    HANDLE samplerThread = CreateThread(nullptr, 0, SamplePeak, &sampler, 0, nullptr);
    press.start = Now();
    result.hr = target->Exec(nullptr, 0, OLECMDEXECOPT_DODEFAULT, nullptr, nullptr);

    KillTimer(nullptr, press.deadline);
    InterlockedExchange(&sampler.stop, 1);
    if (samplerThread) {
        WaitForSingleObject(samplerThread, INFINITE);
        CloseHandle(samplerThread);
    }
    UnhookWindowsHookEx(returnHook);
    UnhookWindowsHookEx(callHook);
    UnhookWindowsHookEx(paintHook);
    g_press = nullptr;
    // A step still queued for a viewer that is gone must not run later.
    MSG stray;
    while (PeekMessageA(&stray, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) {}

    if (withSite) {
        withSite->SetSite(nullptr);
        withSite->Release();
    }
    target->Release();
    site->Release();
    PrivateBytes(&result.privateAfter, &peak);
    result.peakPrivate = sampler.peak > peak ? sampler.peak : peak;
    return result;
}
