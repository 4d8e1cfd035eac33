#include "server/WindowBinding.h"
#include "server/ModuleContext.h"

namespace {

// The object bound to a window, and for a window taken over the procedure it
// had before, kept on the window itself: objects may live on the stack, where
// no code can be run, so the window cannot call into them directly.
const char kObjectProperty[] = "Glimmerdeck.WindowObject";
const char kPreviousProcProperty[] = "Glimmerdeck.PreviousProc";

// Messages whose dialog-procedure answer is the result itself rather than a
// flag with the result in DWLP_MSGRESULT.
bool AnswersDirectly(UINT message)
{
    switch (message) {
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
        return true;
    default:
        return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
    }
}

// A dialog that found nothing to bind to (nobody entered an object for it) is
// ended at once and left to default processing; it must not take entries
// that later dialogs of this thread are waiting for.
INT_PTR CALLBACK UnboundDialogProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

} // namespace

CWindowObject::CWindowObject()
    : m_hWnd(nullptr), m_createEntry(), m_currentMessage(nullptr)
{
}

CWindowObject::~CWindowObject()
{
    // An object that goes before its window (or whose window never came)
    // must leave nothing behind that points at it.
    if (m_createEntry.object) RemoveCreateWindowEntry(this);
    if (m_hWnd && FromHandle(m_hWnd) == this) RemovePropA(m_hWnd, kObjectProperty);
}

CWindowObject* CWindowObject::FromHandle(HWND hWnd)
{
    if (!hWnd) return nullptr;
    return static_cast<CWindowObject*>(GetPropA(hWnd, kObjectProperty));
}

bool CWindowObject::Bind(HWND hWnd)
{
    if (!hWnd || m_hWnd || GetPropA(hWnd, kObjectProperty)) return false;
    if (!SetPropA(hWnd, kObjectProperty, this)) return false;
    m_hWnd = hWnd;
    return true;
}

void CWindowObject::Unbind()
{
    if (m_hWnd) RemovePropA(m_hWnd, kObjectProperty);
    m_hWnd = nullptr;
}

BOOL CWindowObject::Dispatch(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    MessageRecord record = { hWnd, message, wParam, lParam, 0 };
    const MessageRecord* outer = m_currentMessage;
    m_currentMessage = &record;
    BOOL handled;
    try {
        handled = ProcessWindowMessage(hWnd, message, wParam, lParam, record.result, 0);
    } catch (...) {
        // A handler that failed has still consumed the message: answering 0
        // is safer than running default processing on half-done work.
        handled = TRUE;
        record.result = 0;
    }
    m_currentMessage = outer;
    result = record.result;
    return handled;
}

// The window is gone after its last message: whatever the map did with it,
// the object is unbound and told so once.
void CWindowObject::FinishWindow(HWND hWnd)
{
    Unbind();
    try {
        OnFinalMessage(hWnd);
    } catch (...) {
    }
}

WNDPROC CDialogObject::GetWindowProc()
{
    return reinterpret_cast<WNDPROC>(SharedDialogProc);
}

INT_PTR CDialogObject::RunModal(UINT templateId, HWND owner)
{
    // One window per object: a second run while the first is open would
    // take the binding away from the first.
    if (m_hWnd) {
        SetLastError(ERROR_INVALID_OPERATION);
        return -1;
    }
    AddCreateWindowEntry(&m_createEntry, this);
    INT_PTR result = ContextDialogBoxParamA(g_module.resourceInstance, MAKEINTRESOURCEA(templateId), owner,
                                            StartDialogProc, 0);
    // A dialog that could not be created never took its entry; the object
    // ends with this call, so the entry must not stay in the list.
    if (RemoveCreateWindowEntry(this) && result != -1) result = -1;
    return result;
}

INT_PTR CALLBACK CDialogObject::StartDialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWindowObject* object = TakeCreateWindowEntry();
    if (!object || !object->Bind(hWnd)) {
        SetWindowLongPtrA(hWnd, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(UnboundDialogProc));
        EndDialog(hWnd, -1);
        return FALSE;
    }
    WNDPROC procedure = object->GetWindowProc();
    SetWindowLongPtrA(hWnd, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(procedure));
    return static_cast<INT_PTR>(CallWindowProcA(procedure, hWnd, message, wParam, lParam));
}

INT_PTR CALLBACK CDialogObject::SharedDialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWindowObject* object = FromHandle(hWnd);
    if (!object) return FALSE;

    LRESULT result = 0;
    BOOL handled = object->Dispatch(hWnd, message, wParam, lParam, result);
    INT_PTR answer = FALSE;
    if (handled) {
        if (AnswersDirectly(message)) {
            answer = static_cast<INT_PTR>(result);
        } else {
            SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, static_cast<LONG_PTR>(result));
            answer = TRUE;
        }
    }
    if (message == WM_NCDESTROY) object->FinishWindow(hWnd);
    return answer;
}

CSubclassedWindow::CSubclassedWindow()
    : m_previousProc(DefWindowProcA)
{
}

CSubclassedWindow::~CSubclassedWindow()
{
    // Going before the window: give the window its own procedure back, or, if
    // a later subclasser still calls ours, leave it the way on to the previous one.
    if (!m_hWnd || FromHandle(m_hWnd) != this) return;
    HWND hWnd = m_hWnd;
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hWnd, GWLP_WNDPROC)) == GetWindowProc())
        SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previousProc));
    else
        SetPropA(hWnd, kPreviousProcProperty, reinterpret_cast<HANDLE>(m_previousProc));
    Unbind();
}

WNDPROC CSubclassedWindow::GetWindowProc()
{
    return SharedWindowProc;
}

bool CSubclassedWindow::AttachToWindow(HWND hWnd)
{
    if (m_hWnd || !Bind(hWnd)) return false;
    LONG_PTR previous = SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GetWindowProc()));
    if (!previous) {
        Unbind();
        return false;
    }
    m_previousProc = reinterpret_cast<WNDPROC>(previous);
    return true;
}

LRESULT CALLBACK CSubclassedWindow::SharedWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CSubclassedWindow* object = static_cast<CSubclassedWindow*>(FromHandle(hWnd));
    if (!object) {
        // The object went before its window while a later subclasser still
        // calls this procedure.
        WNDPROC previous = reinterpret_cast<WNDPROC>(GetPropA(hWnd, kPreviousProcProperty));
        if (message == WM_NCDESTROY) RemovePropA(hWnd, kPreviousProcProperty);
        if (previous) return CallWindowProcA(previous, hWnd, message, wParam, lParam);
        return DefWindowProcA(hWnd, message, wParam, lParam);
    }

    LRESULT result = 0;
    if (object->Dispatch(hWnd, message, wParam, lParam, result)) {
        if (message == WM_NCDESTROY) object->FinishWindow(hWnd);
        return result;
    }
    if (message != WM_NCDESTROY) return CallWindowProcA(object->m_previousProc, hWnd, message, wParam, lParam);

    WNDPROC previous = object->m_previousProc;
    result = CallWindowProcA(previous, hWnd, message, wParam, lParam);
    // Only while ours is still the window's procedure: a later subclasser
    // keeps its own.
    if (previous != DefWindowProcA &&
        reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hWnd, GWLP_WNDPROC)) == object->GetWindowProc())
        SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    object->FinishWindow(hWnd);
    return result;
}
