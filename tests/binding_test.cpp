#include <windows.h>
#include <gtest/gtest.h>
#include <functional>
#include <stdexcept>
#include <vector>
#include "server/ModuleState.h"
#include "server/WindowBinding.h"
#include "support/TestSupport.h"
#include "binding_test_resource.h"

namespace {

const UINT_PTR kScriptTimer = 1;         // the test's steps run inside the modal loop, once it idles
const UINT WM_PING = WM_APP + 2;         // handled, 0x1234
const UINT WM_PASS_ON = WM_APP + 3;      // first entry passes it on, second answers 0x55
const UINT WM_DECLINED = WM_APP + 4;     // the only entry declines it
const UINT WM_RECORD = WM_APP + 5;       // notes the current message record, nesting wParam deep
const UINT WM_THROW = WM_APP + 6;        // its handler throws
const UINT WM_BASE_ONLY = WM_APP + 10;   // answered 99 by the base window procedure
const UINT WM_OBJECT_ONLY = WM_APP + 11; // answered 77 by the subclassing object
const DWORD kDeadlineMs = 10000;
const LONG kUntouched = 0x7777;

// Ends every dialog of this thread when a test's dialog is stuck, so that the
// test fails instead of hanging the run.
class Watchdog {
public:
    Watchdog() : m_timer(SetTimer(nullptr, 0, kDeadlineMs, OnTimer)) { s_fired = false; }
    ~Watchdog() { KillTimer(nullptr, m_timer); }
    static bool Fired() { return s_fired; }

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD)
    {
        s_fired = true;
        EnumThreadWindows(GetCurrentThreadId(), EndOne, 0);
    }
    static BOOL CALLBACK EndOne(HWND hWnd, LPARAM)
    {
        EndDialog(hWnd, -2);
        return TRUE;
    }
    UINT_PTR m_timer;
    static bool s_fired;
};
bool Watchdog::s_fired = false;

class CTestDialog : public CDialogObject {
public:
    DECLARE_MESSAGE_MAP()

    std::function<LRESULT(CTestDialog&)> onInit;   // answer of WM_INITDIALOG; TRUE when unset
    std::function<void(CTestDialog&)> script;      // runs once, inside the modal loop
    std::vector<UINT> messages;
    bool boundFromFirstMessage = true;
    int finalMessages = 0;
    HWND handleInFinalHook = reinterpret_cast<HWND>(1);
    std::vector<WPARAM> records;

    INT_PTR Run(UINT templateId = IDD_BINDING_TEST, HWND owner = nullptr)
    {
        Watchdog watchdog;
        INT_PTR result = RunModal(templateId, owner);
        EXPECT_FALSE(Watchdog::Fired()) << "dialog " << templateId << " had to be ended by the watchdog";
        return result;
    }

    LRESULT OnAnyMessage(UINT message, WPARAM, LPARAM, BOOL& handled)
    {
        if (messages.empty() && (!m_hWnd || CurrentMessage() == nullptr || CurrentMessage()->hWnd != m_hWnd))
            boundFromFirstMessage = false;
        messages.push_back(message);
        handled = FALSE;
        return 0;
    }
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
    {
        SetTimer(m_hWnd, kScriptTimer, 10, nullptr);
        return onInit ? onInit(*this) : TRUE;
    }
    LRESULT OnTimer(UINT, WPARAM timer, LPARAM, BOOL& handled)
    {
        if (timer != kScriptTimer) {
            handled = FALSE;
            return 0;
        }
        KillTimer(m_hWnd, kScriptTimer);
        std::function<void(CTestDialog&)> steps;
        steps.swap(script);
        if (steps) steps(*this);
        return 0;
    }
    LRESULT OnPing(UINT, WPARAM, LPARAM, BOOL&) { return 0x1234; }
    LRESULT OnPassOnFirst(UINT, WPARAM, LPARAM, BOOL& handled)
    {
        handled = FALSE;
        return 0x11;
    }
    LRESULT OnPassOnSecond(UINT, WPARAM, LPARAM, BOOL&) { return 0x55; }
    LRESULT OnDeclined(UINT, WPARAM, LPARAM, BOOL& handled)
    {
        handled = FALSE;
        return 0x66;
    }
    LRESULT OnCtlColorStatic(UINT, WPARAM, LPARAM, BOOL&)
    {
        return reinterpret_cast<LRESULT>(GetStockObject(GRAY_BRUSH));
    }
    LRESULT OnRecord(UINT, WPARAM wParam, LPARAM, BOOL&)
    {
        records.push_back(CurrentMessage()->wParam);
        if (wParam > 0) SendMessageA(m_hWnd, WM_RECORD, wParam - 1, 0);
        records.push_back(CurrentMessage()->wParam);
        return 0;
    }
    LRESULT OnThrow(UINT, WPARAM, LPARAM, BOOL&) { throw std::runtime_error("handler failed"); }
    LRESULT OnButton(WORD, WORD, HWND, BOOL&) { return 0x4321; }
    LRESULT OnCancel(WORD, WORD id, HWND, BOOL&)
    {
        EndDialog(m_hWnd, id);
        return 0;
    }
    void OnFinalMessage(HWND) override
    {
        ++finalMessages;
        handleInFinalHook = m_hWnd;
    }
};

BEGIN_MESSAGE_MAP(CTestDialog)
    ON_MESSAGE_RANGE(0, 0xFFFF, OnAnyMessage)
    ON_MESSAGE(WM_INITDIALOG, OnInitDialog)
    ON_MESSAGE(WM_TIMER, OnTimer)
    ON_MESSAGE(WM_PING, OnPing)
    ON_MESSAGE(WM_PASS_ON, OnPassOnFirst)
    ON_MESSAGE(WM_PASS_ON, OnPassOnSecond)
    ON_MESSAGE(WM_DECLINED, OnDeclined)
    ON_MESSAGE(WM_CTLCOLORSTATIC, OnCtlColorStatic)
    ON_MESSAGE(WM_RECORD, OnRecord)
    ON_MESSAGE(WM_THROW, OnThrow)
    ON_COMMAND(IDC_TEST_BUTTON, BN_CLICKED, OnButton)
    ON_COMMAND(IDCANCEL, BN_CLICKED, OnCancel)
END_MESSAGE_MAP()

void Close(CTestDialog& dialog)
{
    SendMessageA(dialog.m_hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

bool Contains(const std::vector<UINT>& messages, UINT message)
{
    for (UINT seen : messages)
        if (seen == message) return true;
    return false;
}

TEST(DialogBinding, EveryMessageFromTheFirstReachesTheObject) {
    CTestDialog dialog;
    HWND window = nullptr;
    bool foundFromHandle = false;
    dialog.script = [&](CTestDialog& self) {
        window = self.m_hWnd;
        foundFromHandle = CWindowObject::FromHandle(window) == &self;
        Close(self);
    };
    EXPECT_EQ(IDCANCEL, dialog.Run());
    EXPECT_NE(nullptr, window);
    EXPECT_TRUE(foundFromHandle);
    EXPECT_TRUE(dialog.boundFromFirstMessage);
    ASSERT_FALSE(dialog.messages.empty());
    // The template asks for a font, so the very first message is WM_SETFONT,
    // ahead of WM_INITDIALOG.
    EXPECT_EQ(static_cast<UINT>(WM_SETFONT), dialog.messages.front());
    EXPECT_TRUE(Contains(dialog.messages, WM_INITDIALOG));
    EXPECT_EQ(static_cast<UINT>(WM_NCDESTROY), dialog.messages.back());
}

struct FocusCase {
    const char* name;
    BOOL answer;              // what the WM_INITDIALOG handler answers
    int focusedByHandler;     // control the handler focuses itself, 0 for none
    int expectedFocus;
};

const FocusCase kFocusCases[] = {
    { "TrueLetsTheSystemFocusTheFirstTabStop", TRUE, 0, IDC_TEST_EDIT },
    { "FalseKeepsTheHandlersOwnFocus", FALSE, IDC_TEST_BUTTON, IDC_TEST_BUTTON },
};

class InitDialogAnswer : public testing::TestWithParam<FocusCase> {};

TEST_P(InitDialogAnswer, DecidesTheFocus) {
    const FocusCase& test = GetParam();
    CTestDialog dialog;
    int focused = -1;
    bool active = false;
    dialog.onInit = [&](CTestDialog& self) -> LRESULT {
        if (test.focusedByHandler) SetFocus(GetDlgItem(self.m_hWnd, test.focusedByHandler));
        return test.answer;
    };
    dialog.script = [&](CTestDialog& self) {
        // With no window manager on the display the new dialog is not always
        // activated on its own; activation is where the dialog restores the
        // focus that its initialisation chose.
        if (GetActiveWindow() != self.m_hWnd) SetForegroundWindow(self.m_hWnd);
        active = PumpUntil([&] { return IsWindowVisible(self.m_hWnd) && GetActiveWindow() == self.m_hWnd; },
                           5000);
        focused = GetDlgCtrlID(GetFocus());
        Close(self);
    };
    EXPECT_EQ(IDCANCEL, dialog.Run());
    EXPECT_TRUE(active) << "the dialog never became the active window";
    EXPECT_EQ(test.expectedFocus, focused);
}

INSTANTIATE_TEST_SUITE_P(DialogBinding, InitDialogAnswer, testing::ValuesIn(kFocusCases),
                         [](const testing::TestParamInfo<FocusCase>& info) { return std::string(info.param.name); });

struct AnswerCase {
    const char* name;
    UINT message;
    WPARAM wParam;
    bool brushAnswer;         // the answer is the handler's brush itself
    INT_PTR procedureAnswer;  // what the dialog procedure answers otherwise
    LRESULT messageResult;    // DWLP_MSGRESULT afterwards
    LRESULT sendResult;       // what SendMessage gives the sender
};

const AnswerCase kAnswerCases[] = {
    { "HandledCommandGoesThroughMsgResult", WM_COMMAND, MAKEWPARAM(IDC_TEST_BUTTON, BN_CLICKED),
      false, TRUE, 0x4321, 0x4321 },
    { "HandledPrivateMessageGoesThroughMsgResult", WM_PING, 0, false, TRUE, 0x1234, 0x1234 },
    { "ClearedFlagPassesOnToTheNextEntry", WM_PASS_ON, 0, false, TRUE, 0x55, 0x55 },
    { "DeclinedMessageGoesToDefaultProcessing", WM_DECLINED, 0, false, FALSE, kUntouched, 0 },
    { "ThrowingHandlerAnswersZero", WM_THROW, 0, false, TRUE, 0, 0 },
    { "ControlColourAnswersTheBrushDirectly", WM_CTLCOLORSTATIC, 0, true, 0, kUntouched, 0 },
};

class HandledMessage : public testing::TestWithParam<AnswerCase> {};

TEST_P(HandledMessage, AnswersByItsRule) {
    const AnswerCase& test = GetParam();
    const INT_PTR brush = reinterpret_cast<INT_PTR>(GetStockObject(GRAY_BRUSH));
    CTestDialog dialog;
    INT_PTR procedureAnswer = -1;
    LONG_PTR messageResult = -1;
    LRESULT sendResult = -1;
    dialog.script = [&](CTestDialog& self) {
        DLGPROC procedure = reinterpret_cast<DLGPROC>(GetWindowLongPtrA(self.m_hWnd, DWLP_DLGPROC));
        SetWindowLongPtrA(self.m_hWnd, DWLP_MSGRESULT, kUntouched);
        procedureAnswer = procedure(self.m_hWnd, test.message, test.wParam, 0);
        messageResult = GetWindowLongPtrA(self.m_hWnd, DWLP_MSGRESULT);
        sendResult = SendMessageA(self.m_hWnd, test.message, test.wParam, 0);
        Close(self);
    };
    EXPECT_EQ(IDCANCEL, dialog.Run());
    EXPECT_EQ(test.brushAnswer ? brush : test.procedureAnswer, procedureAnswer);
    EXPECT_EQ(test.messageResult, messageResult);
    EXPECT_EQ(test.brushAnswer ? brush : test.sendResult, sendResult);
}

INSTANTIATE_TEST_SUITE_P(DialogBinding, HandledMessage, testing::ValuesIn(kAnswerCases),
                         [](const testing::TestParamInfo<AnswerCase>& info) { return std::string(info.param.name); });

TEST(DialogBinding, LastMessageUnbindsAndRunsTheHookOnce) {
    CTestDialog dialog;
    HWND window = nullptr;
    dialog.script = [&](CTestDialog& self) {
        window = self.m_hWnd;
        Close(self);
    };
    EXPECT_EQ(IDCANCEL, dialog.Run());
    EXPECT_EQ(nullptr, dialog.m_hWnd);
    EXPECT_EQ(1, dialog.finalMessages);
    EXPECT_EQ(nullptr, dialog.handleInFinalHook) << "the handle is cleared before the hook runs";
    EXPECT_EQ(nullptr, dialog.CurrentMessage());
    EXPECT_FALSE(IsWindow(window));
}

TEST(DialogBinding, NestedDialogsBindToTheirOwnObjects) {
    CTestDialog outer, inner;
    HWND outerWindow = nullptr, innerWindow = nullptr;
    CWindowObject* outerFound = nullptr;
    CWindowObject* innerFound = nullptr;
    CWindowObject* outerFoundDuringInner = nullptr;
    INT_PTR innerResult = 0;
    inner.script = [&](CTestDialog& self) {
        innerWindow = self.m_hWnd;
        innerFound = CWindowObject::FromHandle(innerWindow);
        outerFoundDuringInner = CWindowObject::FromHandle(outer.m_hWnd);
        Close(self);
    };
    outer.script = [&](CTestDialog& self) {
        outerWindow = self.m_hWnd;
        innerResult = inner.RunModal(IDD_BINDING_TEST, self.m_hWnd);
        outerFound = CWindowObject::FromHandle(outerWindow);
        SendMessageA(self.m_hWnd, WM_PING, 0, 0);
        Close(self);
    };
    EXPECT_EQ(IDCANCEL, outer.Run());
    EXPECT_EQ(IDCANCEL, innerResult);
    EXPECT_NE(nullptr, innerWindow);
    EXPECT_NE(outerWindow, innerWindow);
    EXPECT_EQ(&inner, innerFound);
    EXPECT_EQ(&outer, outerFoundDuringInner);
    EXPECT_EQ(&outer, outerFound) << "the outer dialog is still bound after the inner one ended";
    EXPECT_TRUE(Contains(outer.messages, WM_PING));
    EXPECT_FALSE(Contains(inner.messages, WM_PING));
    EXPECT_EQ(1, outer.finalMessages);
    EXPECT_EQ(1, inner.finalMessages);
}

TEST(DialogBinding, NestedMessagesSeeTheirOwnRecord) {
    CTestDialog dialog;
    dialog.script = [&](CTestDialog& self) {
        SendMessageA(self.m_hWnd, WM_RECORD, 2, 0);
        Close(self);
    };
    EXPECT_EQ(IDCANCEL, dialog.Run());
    const std::vector<WPARAM> expected = { 2, 1, 0, 0, 1, 2 };
    EXPECT_EQ(expected, dialog.records);
    EXPECT_EQ(nullptr, dialog.CurrentMessage());
}

TEST(DialogBinding, MissingTemplateLeavesNoEntryBehind) {
    CTestDialog dialog;
    SetLastError(0);
    EXPECT_EQ(-1, dialog.Run(IDD_MISSING));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError());
    EXPECT_EQ(nullptr, TakeCreateWindowEntry()) << "the entry of the dialog that never came is still listed";
    EXPECT_EQ(nullptr, dialog.m_hWnd);
    EXPECT_EQ(0, dialog.finalMessages);
    EXPECT_TRUE(dialog.messages.empty());
}

TEST(DialogBinding, DialogThatFailsHalfwayIsUnboundOnce) {
    // The template names a control class that does not exist: the dialog
    // window is made and bound, then destroyed before WM_INITDIALOG.
    CTestDialog dialog;
    EXPECT_EQ(-1, dialog.Run(IDD_BROKEN));
    EXPECT_EQ(nullptr, TakeCreateWindowEntry());
    EXPECT_EQ(nullptr, dialog.m_hWnd);
    EXPECT_EQ(1, dialog.finalMessages);
    EXPECT_FALSE(Contains(dialog.messages, WM_INITDIALOG));
}

TEST(DialogBinding, DialogWithoutEntryEndsUnboundAndTakesNoOtherEntry) {
    CTestDialog waiting;
    CreateWindowEntry otherThreadsEntry;
    AddCreateWindowEntry(&otherThreadsEntry, &waiting);
    otherThreadsEntry.threadId = GetCurrentThreadId() + 1;   // as if another thread had entered it

    Watchdog watchdog;
    INT_PTR result = DialogBoxParamA(g_module.resourceInstance, MAKEINTRESOURCEA(IDD_BINDING_TEST), nullptr,
                                     CDialogObject::StartDialogProc, 0);
    EXPECT_FALSE(Watchdog::Fired());
    EXPECT_EQ(-1, result);
    EXPECT_TRUE(RemoveCreateWindowEntry(&waiting)) << "the other thread's entry was taken";
    EXPECT_TRUE(waiting.messages.empty());
}

// The list of windows being created, across threads.
struct ThreadEntry {
    CTestDialog* object;
    HANDLE added;
    HANDLE mayTake;
    CWindowObject* taken;
    CWindowObject* takenAgain;
};

DWORD WINAPI AddThenTake(LPVOID parameter)
{
    ThreadEntry& work = *static_cast<ThreadEntry*>(parameter);
    CreateWindowEntry entry;
    AddCreateWindowEntry(&entry, work.object);
    SetEvent(work.added);
    WaitForSingleObject(work.mayTake, kDeadlineMs);
    work.taken = TakeCreateWindowEntry();
    work.takenAgain = TakeCreateWindowEntry();
    return 0;
}

TEST(CreateWindowList, EachThreadTakesBackItsOwnEntry) {
    CTestDialog mine, first, second, theirs;
    ThreadEntry work = { &theirs, CreateEventA(nullptr, TRUE, FALSE, nullptr),
                         CreateEventA(nullptr, TRUE, FALSE, nullptr), nullptr, nullptr };
    HANDLE thread = CreateThread(nullptr, 0, AddThenTake, &work, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(work.added, kDeadlineMs));

    // The other thread's entry is at the head now; this thread does not see it.
    EXPECT_EQ(nullptr, TakeCreateWindowEntry());
    CreateWindowEntry firstEntry, secondEntry;
    AddCreateWindowEntry(&firstEntry, &first);
    AddCreateWindowEntry(&secondEntry, &second);
    EXPECT_EQ(&second, TakeCreateWindowEntry()) << "the entry added last comes first";

    SetEvent(work.mayTake);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, kDeadlineMs));
    EXPECT_EQ(&theirs, work.taken);
    EXPECT_EQ(nullptr, work.takenAgain);
    EXPECT_EQ(&first, TakeCreateWindowEntry());
    EXPECT_EQ(nullptr, TakeCreateWindowEntry());
    CloseHandle(thread);
    CloseHandle(work.added);
    CloseHandle(work.mayTake);
}

TEST(CreateWindowList, EntryAddedTwiceIsListedOnce) {
    CTestDialog dialog;
    CreateWindowEntry entry;
    AddCreateWindowEntry(&entry, &dialog);
    AddCreateWindowEntry(&entry, &dialog);
    EXPECT_EQ(&dialog, TakeCreateWindowEntry());
    EXPECT_EQ(nullptr, TakeCreateWindowEntry());
}

// Windows taken over by replacing their procedure.
int g_baseNcDestroys = 0;

LRESULT CALLBACK BaseProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_BASE_ONLY) return 99;
    if (message == WM_NCDESTROY) ++g_baseNcDestroys;
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

WNDPROC g_laterPrevious = nullptr;
int g_laterCalls = 0;

LRESULT CALLBACK LaterSubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    ++g_laterCalls;
    return CallWindowProcA(g_laterPrevious, hWnd, message, wParam, lParam);
}

class CTestSubclass : public CSubclassedWindow {
public:
    DECLARE_MESSAGE_MAP()
    int finalMessages = 0;
    WNDPROC procedureAtFinal = nullptr;
    HWND handleInFinalHook = reinterpret_cast<HWND>(1);

    LRESULT OnObjectOnly(UINT, WPARAM, LPARAM, BOOL&) { return 77; }
    void OnFinalMessage(HWND hWnd) override
    {
        ++finalMessages;
        handleInFinalHook = m_hWnd;
        procedureAtFinal = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hWnd, GWLP_WNDPROC));
    }
};

BEGIN_MESSAGE_MAP(CTestSubclass)
    ON_MESSAGE(WM_OBJECT_ONLY, OnObjectOnly)
END_MESSAGE_MAP()

HWND MakeBaseWindow()
{
    static ATOM atom = 0;
    if (!atom) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = BaseProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "GdBindingBase";
        atom = RegisterClassA(&windowClass);
    }
    return CreateWindowExA(0, "GdBindingBase", "", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

struct RestoreCase {
    const char* name;
    bool laterSubclasser;
};

const RestoreCase kRestoreCases[] = {
    { "PreviousProcedureIsPutBack", false },
    { "LaterSubclasserKeepsItsProcedure", true },
};

class WindowTakenOver : public testing::TestWithParam<RestoreCase> {};

TEST_P(WindowTakenOver, EndsWithTheRightProcedure) {
    HWND window = MakeBaseWindow();
    ASSERT_NE(nullptr, window);
    CTestSubclass object;
    ASSERT_TRUE(object.AttachToWindow(window));
    EXPECT_EQ(window, object.m_hWnd);
    EXPECT_EQ(reinterpret_cast<WNDPROC>(BaseProc), object.m_previousProc);
    EXPECT_EQ(&object, CWindowObject::FromHandle(window));
    g_laterCalls = 0;
    if (GetParam().laterSubclasser)
        g_laterPrevious = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LaterSubclassProc)));
    EXPECT_EQ(77, SendMessageA(window, WM_OBJECT_ONLY, 0, 0)) << "answered by the object";
    EXPECT_EQ(99, SendMessageA(window, WM_BASE_ONLY, 0, 0)) << "passed on to the previous procedure";
    g_baseNcDestroys = 0;
    DestroyWindow(window);

    WNDPROC expected = GetParam().laterSubclasser ? LaterSubclassProc : BaseProc;
    EXPECT_EQ(expected, object.procedureAtFinal);
    EXPECT_EQ(1, object.finalMessages);
    EXPECT_EQ(nullptr, object.handleInFinalHook);
    EXPECT_EQ(nullptr, object.m_hWnd);
    EXPECT_EQ(1, g_baseNcDestroys) << "the previous procedure sees the last message too";
    if (GetParam().laterSubclasser) {
        EXPECT_GT(g_laterCalls, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(SubclassedWindow, WindowTakenOver, testing::ValuesIn(kRestoreCases),
                         [](const testing::TestParamInfo<RestoreCase>& info) { return std::string(info.param.name); });

TEST(SubclassedWindow, AttachRefusesWindowsItCannotTakeOver) {
    HWND gone = MakeBaseWindow();
    DestroyWindow(gone);
    CTestSubclass object;
    EXPECT_FALSE(object.AttachToWindow(gone));
    EXPECT_EQ(nullptr, object.m_hWnd);

    HWND window = MakeBaseWindow();
    CTestSubclass first, second;
    ASSERT_TRUE(first.AttachToWindow(window));
    EXPECT_FALSE(second.AttachToWindow(window)) << "a window is bound to one object";
    EXPECT_EQ(nullptr, second.m_hWnd);
    EXPECT_EQ(&first, CWindowObject::FromHandle(window));
    EXPECT_EQ(77, SendMessageA(window, WM_OBJECT_ONLY, 0, 0));
    DestroyWindow(window);
    EXPECT_EQ(1, first.finalMessages);
    EXPECT_EQ(0, second.finalMessages);
}

TEST(SubclassedWindow, WindowOutlivingItsObjectKeepsWorking) {
    for (bool laterSubclasser : { false, true }) {
        SCOPED_TRACE(laterSubclasser ? "with a later subclasser" : "alone");
        HWND window = MakeBaseWindow();
        ASSERT_NE(nullptr, window);
        {
            CTestSubclass object;
            ASSERT_TRUE(object.AttachToWindow(window));
            if (laterSubclasser)
                g_laterPrevious = reinterpret_cast<WNDPROC>(
                    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LaterSubclassProc)));
        }
        EXPECT_EQ(nullptr, CWindowObject::FromHandle(window));
        EXPECT_EQ(0, SendMessageA(window, WM_OBJECT_ONLY, 0, 0));
        EXPECT_EQ(99, SendMessageA(window, WM_BASE_ONLY, 0, 0));
        g_baseNcDestroys = 0;
        DestroyWindow(window);
        EXPECT_EQ(1, g_baseNcDestroys);
    }
}

} // namespace
