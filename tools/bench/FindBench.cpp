// glimmerdeck-bench-find: Find, F3, Go To Line and the wrap switch on large
// pages, each beside the press that opened the page, in one run.
//
//   glimmerdeck-bench-find PAGE...
//
// A word is put into the last tenth of each page, four times; nothing else
// on the page holds it. Per page: Find Next pressed at the first screen,
// while the rest still goes in, to the match selected and painted; the same
// once the whole page is in; F3 to each further match; Go To Line to the
// last line, from OK to the caret painted there; and switching wrap off
// beside widening the viewer (first screen and whole document).
//
// Prints rows of the one table (BenchSupport.h). Exit codes: 0 done, 1 a
// page could not be read or a step did not happen, 2 bad arguments.
#include <windows.h>
#include <dlgs.h>
#include <objbase.h>
#include <richedit.h>
#include <stdio.h>
#include <string>
#include <vector>
#include "resources/resource.h"
#include "server/ModuleLifetime.h"
#include "tools/bench/BenchSupport.h"
#include "tools/bench/ButtonPress.h"
#include "tools/host/ModalWatcher.h"
#include "viewer/ViewerDialog.h"

namespace {

const DWORD kDeadlineMs = 60 * 60 * 1000;
const char kWord[] = "latecomer";
const double kWordPlaces[] = { 0.91, 0.93, 0.95, 0.97 };
const WORD kFromKeys = 1;

bool Filling(HWND viewer)
{
    CViewerDialog* dialog = dynamic_cast<CViewerDialog*>(CWindowObject::FromHandle(viewer));
    return dialog && dialog->IsFilling();
}

// The viewer shows at most this many characters of a page; a line feed
// counts as two, a carriage return as none.
const long long kShownCharacters = 5000000;

// The page with the word in new paragraphs at the places given of the part
// that the viewer shows, each put after a line end.
std::string WithLateWord(const std::string& page)
{
    size_t shown = 0;
    for (long long characters = 0; shown < page.size(); ++shown) {
        const char c = page[shown];
        characters += c == '\r' ? 0 : c == '\n' ? 2 : 1;
        if (characters > kShownCharacters) break;
    }
    std::string out;
    size_t from = 0;
    for (double place : kWordPlaces) {
        size_t at = page.find('\n', static_cast<size_t>(shown * place));
        if (at == std::string::npos) break;
        ++at;
        out.append(page, from, at - from);
        out += "<P>";
        out += kWord;
        out += "</P>\n";
        from = at;
    }
    out.append(page, from, std::string::npos);
    return out;
}

std::string SelectedText(HWND edit)
{
    char text[64] = "";
    CHARRANGE range = { 0, 0 };
    SendMessageA(edit, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
    if (range.cpMax - range.cpMin <= 0 || range.cpMax - range.cpMin >= 32) return "";
    SendMessageA(edit, EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(text));
    return text;
}

BOOL CALLBACK MatchFindDialog(HWND hWnd, LPARAM param)
{
    char name[64] = "";
    GetClassNameA(hWnd, name, sizeof name);
    if (strcmp(name, "#32770") != 0 || !IsWindowVisible(hWnd) || !GetDlgItem(hWnd, edt1) || !GetDlgItem(hWnd, rad1))
        return TRUE;
    *reinterpret_cast<HWND*>(param) = hWnd;
    return FALSE;
}

BOOL CALLBACK MatchGoToLine(HWND hWnd, LPARAM param)
{
    if (!IsWindowVisible(hWnd) || !GetDlgItem(hWnd, IDC_LINE_NUMBER)) return TRUE;
    *reinterpret_cast<HWND*>(param) = hWnd;
    return FALSE;
}

HWND GoToLineDialog()
{
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), MatchGoToLine, reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND FindDialog()
{
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), MatchFindDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Lets the viewer's fill go on until the whole document is in.
void PumpUntilFilled(HWND viewer)
{
    MSG msg;
    while (Filling(viewer)) {
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

struct Figures {
    bool fillAtOnce = false;        // after the press, the rest of the page goes in at once
    double duringFill = -1;         // Find Next at the first screen to the match painted
    double execToPress = -1;        // Exec to the Find Next press
    double afterFill = -1;
    std::vector<double> again;      // F3
    std::vector<double> againControl;   // the control selecting and painting the same match
    double goToLine = -1;
    double resizeFirst = -1, resizeWhole = -1;
    double wrapFirst = -1, wrapWhole = -1;
    std::string failure;
};

// The page in progress; timers carry no context of their own.
struct Run {
    Figures* figures;
    LARGE_INTEGER exec;
    LARGE_INTEGER pressed;
    HWND viewer;
    int lastLine;
    UINT_PTR watchdog;
};
Run* g_run;

// A message box here means a step went wrong ("Cannot find", a line
// refused): it is answered so that the run ends and says so.
void CALLBACK DismissMessageBoxes(HWND, UINT, UINT_PTR, DWORD)
{
    HWND box = FindThreadMessageBox();
    if (!box || !g_run) return;
    if (g_run->figures->failure.empty()) g_run->figures->failure = "unexpected message: " + MessageBoxText(box);
    ClickButton(box, IDOK);
}

void CALLBACK WatchPendingMatch(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND edit = GetDlgItem(g_run->viewer, IDC_SOURCE);
    if (!edit || SelectedText(edit) != kWord) return;
    KillTimer(nullptr, timer);
    UpdateWindow(edit);
    g_run->figures->duringFill = SecondsSince(g_run->pressed) * 1000;
}

// At the first screen: Find Next for the word, as Enter in the Find dialog
// presses it.
void CALLBACK PressFindWhileFilling(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    HWND viewer = g_run->viewer;
    SendMessageA(viewer, WM_SYSCOMMAND, ID_VIEW_FIND, 0);
    HWND dialog = FindDialog();
    if (!dialog) {
        g_run->figures->failure = "no Find dialog";
        return;
    }
    if (!Filling(viewer)) g_run->figures->failure = "the page was in before Find was pressed";
    SetDlgItemTextA(dialog, edt1, kWord);
    g_run->pressed = Now();
    g_run->figures->execToPress = SecondsSince(g_run->exec) * 1000;
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    if (g_run->figures->fillAtOnce) {
        // The other way: everything up to the match (here: the rest) goes in
        // now, the window frozen meanwhile.
        CViewerDialog* viewerObject = dynamic_cast<CViewerDialog*>(CWindowObject::FromHandle(viewer));
        if (viewerObject) viewerObject->FinishFill();
        HWND edit = GetDlgItem(viewer, IDC_SOURCE);
        if (!edit || SelectedText(edit) != kWord) {
            g_run->figures->failure = "the match was not shown once the rest was in";
            return;
        }
        UpdateWindow(edit);
        g_run->figures->duringFill = SecondsSince(g_run->pressed) * 1000;
        return;
    }
    SetTimer(nullptr, 0, 1, WatchPendingMatch);
}

void CALLBACK DriveGoToLine(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = GoToLineDialog();
    HWND box = FindThreadMessageBox();
    if (box) {
        KillTimer(nullptr, timer);
        g_run->figures->failure = "Go To Line refused the last line: " + MessageBoxText(box);
        ClickButton(box, IDOK);
        if (dialog) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    if (!dialog) return;
    KillTimer(nullptr, timer);
    SetDlgItemInt(dialog, IDC_LINE_NUMBER, static_cast<UINT>(g_run->lastLine), FALSE);
    g_run->pressed = Now();
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    // A refusal would come as a message box.
    SetTimer(nullptr, 0, 20, DriveGoToLine);
}

int LineCount(HWND viewer)
{
    const std::string text = ViewerText(viewer);
    int lines = 1;
    for (char c : text)
        if (c == '\n') ++lines;
    return lines;
}

void WhileShown(HWND viewer)
{
    Figures& f = *g_run->figures;
    HWND edit = GetDlgItem(viewer, IDC_SOURCE);
    HWND dialog = FindDialog();
    if (!edit || !dialog) {
        f.failure = "no text control or Find dialog once the page was in";
        return;
    }
    if (f.duringFill < 0) {
        // The match came with the fill's last piece, after the last check.
        if (SelectedText(edit) == kWord) f.duringFill = SecondsSince(g_run->pressed) * 1000;
        else f.failure = "the match found during the fill was not shown";
    }
    if (f.fillAtOnce) {
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return;
    }
    // From the top again, the whole page in the control.
    SendMessageA(edit, EM_SETSEL, 0, 0);
    LARGE_INTEGER t0 = Now();
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    UpdateWindow(edit);
    f.afterFill = SecondsSince(t0) * 1000;
    if (SelectedText(edit) != kWord) f.failure = "Find after the fill selected no match";
    for (size_t i = 1; i < sizeof kWordPlaces / sizeof kWordPlaces[0]; ++i) {
        CHARRANGE before = { 0, 0 }, after = { 0, 0 };
        SendMessageA(edit, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&before));
        t0 = Now();
        SendMessageA(viewer, WM_COMMAND, MAKEWPARAM(ID_VIEW_FIND_NEXT, kFromKeys), 0);
        UpdateWindow(edit);
        f.again.push_back(SecondsSince(t0) * 1000);
        if (SelectedText(edit) != kWord) f.failure = "F3 selected no match";
        // The control's own share: the same move of the selection, made directly.
        SendMessageA(edit, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&after));
        SendMessageA(edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&before));
        SendMessageA(edit, EM_SCROLLCARET, 0, 0);
        UpdateWindow(edit);
        t0 = Now();
        SendMessageA(edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&after));
        SendMessageA(edit, EM_SCROLLCARET, 0, 0);
        UpdateWindow(edit);
        f.againControl.push_back(SecondsSince(t0) * 1000);
    }
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);

    // Go To Line runs its own modal loop, which the timer drives.
    g_run->lastLine = LineCount(viewer);
    SendMessageA(edit, EM_SETSEL, 0, 0);
    SetTimer(nullptr, 0, 5, DriveGoToLine);
    SendMessageA(viewer, WM_SYSCOMMAND, ID_VIEW_GO_TO_LINE, 0);
    edit = GetDlgItem(viewer, IDC_SOURCE);
    UpdateWindow(edit);
    f.goToLine = SecondsSince(g_run->pressed) * 1000;
    CHARRANGE caret = { 0, 0 };
    SendMessageA(edit, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&caret));
    if (caret.cpMin == 0 && f.failure.empty()) f.failure = "Go To Line left the caret at the top";

    // Widening, then switching wrap off, each to its first screen and its
    // whole document, with the user at the top of the page.
    SendMessageA(edit, EM_SETSEL, 0, 0);
    SendMessageA(edit, EM_SCROLLCARET, 0, 0);
    RECT frame;
    GetWindowRect(viewer, &frame);
    t0 = Now();
    SetWindowPos(viewer, nullptr, 0, 0, frame.right - frame.left + 80, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateWindow(viewer);
    UpdateWindow(GetDlgItem(viewer, IDC_SOURCE));
    f.resizeFirst = SecondsSince(t0) * 1000;
    PumpUntilFilled(viewer);
    UpdateWindow(GetDlgItem(viewer, IDC_SOURCE));
    f.resizeWhole = SecondsSince(t0) * 1000;

    t0 = Now();
    SendMessageA(viewer, WM_SYSCOMMAND, ID_VIEW_WRAP, 0);
    UpdateWindow(GetDlgItem(viewer, IDC_SOURCE));
    f.wrapFirst = SecondsSince(t0) * 1000;
    PumpUntilFilled(viewer);
    UpdateWindow(GetDlgItem(viewer, IDC_SOURCE));
    f.wrapWhole = SecondsSince(t0) * 1000;
    // The next run opens with wrapping, as a user's first one does.
    SendMessageA(viewer, WM_SYSCOMMAND, ID_VIEW_WRAP, 0);
}

Spread Same(double value)
{
    return Spread{ value, value, value };
}

int BenchPress(const std::string& path, bool fillAtOnce)
{
    std::string bytes;
    if (!ReadWholeFile(path, bytes) || bytes.empty()) {
        fprintf(stderr, "glimmerdeck-bench-find: cannot read %s\n", path.c_str());
        return 1;
    }
    const std::string page = WithLateWord(bytes);
    PageModel model = PageModel::FromBytes(page);

    Figures figures;
    figures.fillAtOnce = fillAtOnce;
    Run run = {};
    run.figures = &figures;
    g_run = &run;
    PressOptions options;
    options.deadlineMs = kDeadlineMs;
    options.atFirstScreen = [&](HWND viewer) {
        run.viewer = viewer;
        SetTimer(nullptr, 0, 1, PressFindWhileFilling);
        run.watchdog = SetTimer(nullptr, 0, 100, DismissMessageBoxes);
    };
    options.whileShown = WhileShown;
    run.exec = Now();
    PressResult press = PressButton(model, options);
    if (run.watchdog) KillTimer(nullptr, run.watchdog);
    g_run = nullptr;
    if (!press.viewerShown || press.timedOut || !figures.failure.empty() || figures.duringFill < 0) {
        fprintf(stderr, "glimmerdeck-bench-find: %s: %s\n", path.c_str(),
                figures.failure.empty() ? "the viewer did not show the page in time" : figures.failure.c_str());
        return 1;
    }

    char what[160];
    const double mb = page.size() / 1048576.0;
    if (fillAtOnce) {
        const double leftAtOnce = press.wholeSeconds * 1000 - figures.execToPress;
        const Spread leftOnce = Same(leftAtOnce), shareOnce = Same(figures.duringFill / leftAtOnce);
        PrintRow("  the same, the rest put in at once", "ms", Same(figures.duringFill), "the fill left at the press",
                 &leftOnce, &shareOnce);
        return 0;
    }
    const Spread whole = Same(press.wholeSeconds * 1000);
    // What the fill still had to do when Find was pressed.
    const double left = press.wholeSeconds * 1000 - figures.execToPress;
    const Spread leftSpread = Same(left);
    const Spread share = Same(figures.duringFill / left);
    snprintf(what, sizeof what, "find: Find Next during the fill (%.2f MB), to the match shown", mb);
    PrintRow(what, "ms", Same(figures.duringFill), "the fill left at the press", &leftSpread, &share);
    const Spread afterShare = Same(figures.afterFill / (press.wholeSeconds * 1000));
    PrintRow("  Find Next once the page is in", "ms", Same(figures.afterFill), "Exec to whole document", &whole,
             &afterShare);
    const Spread control = SpreadOf(figures.againControl);
    std::vector<double> againShare;
    for (size_t i = 0; i < figures.again.size(); ++i) againShare.push_back(figures.again[i] / figures.againControl[i]);
    const Spread againRatio = SpreadOf(againShare);
    PrintRow("  F3 to each further match", "ms", SpreadOf(figures.again), "the control selecting it itself", &control,
             &againRatio);
    PrintRow("  Go To Line, OK to the last line shown", "ms", Same(figures.goToLine));
    const Spread resizeFirst = Same(figures.resizeFirst), resizeWhole = Same(figures.resizeWhole);
    const Spread firstShare = Same(figures.wrapFirst / figures.resizeFirst);
    const Spread wholeShare = Same(figures.wrapWhole / figures.resizeWhole);
    PrintRow("  wrap switched off, first screen", "ms", Same(figures.wrapFirst), "widening by 80 px", &resizeFirst,
             &firstShare);
    PrintRow("  wrap switched off, whole document", "ms", Same(figures.wrapWhole), "widening by 80 px", &resizeWhole,
             &wholeShare);
    return 0;
}

// Two presses of the page: a match that the control does not hold yet
// waits for the fill, or the rest of the page goes in at once.
int Bench(const std::string& path)
{
    int code = BenchPress(path, false);
    return code ? code : BenchPress(path, true);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fputs("usage: glimmerdeck-bench-find PAGE...\n", stderr);
        return 2;
    }
    if (FAILED(CoInitialize(nullptr))) return 1;
    ModuleAttach(GetModuleHandleA(nullptr));
    int code = 0;
    for (int i = 1; i < argc && code == 0; ++i) code = Bench(argv[i]);
    ModuleDetach();
    CoUninitialize();
    return code;
}
