#include "viewer/ViewerDialog.h"
#include "resources/resource.h"
#include "server/Handles.h"
#include "server/ModuleState.h"

// The right-click Encoding menu over the viewer's text: it picks the charset
// in which the control reads the page's bytes from 0x80 up.

namespace {

struct EncodingItem {
    UINT id;
    int charset;
};

// "Page Defined" is not here: it stands for any other state and sets the
// ANSI code page of the moment.
const EncodingItem kEncodingItems[] = {
    { ID_ENCODING_DEFAULT,    ANSI_CHARSET },
    { ID_ENCODING_ARABIC,     ARABIC_CHARSET },
    { ID_ENCODING_BALTIC,     BALTIC_CHARSET },
    { ID_ENCODING_GREEK,      GREEK_CHARSET },
    { ID_ENCODING_HEBREW,     HEBREW_CHARSET },
    { ID_ENCODING_RUSSIAN,    RUSSIAN_CHARSET },
    { ID_ENCODING_TURKISH,    TURKISH_CHARSET },
    { ID_ENCODING_GB2312,     GB2312_CHARSET },
    { ID_ENCODING_BIG5,       CHINESEBIG5_CHARSET },
    { ID_ENCODING_SHIFTJIS,   SHIFTJIS_CHARSET },
    { ID_ENCODING_HANGUL,     HANGUL_CHARSET },
    { ID_ENCODING_EASTEUROPE, EASTEUROPE_CHARSET },
    { ID_ENCODING_OEM,        OEM_CHARSET },
    { ID_ENCODING_SYMBOL,     SYMBOL_CHARSET },
};

// The check-marked item for a charset state.
UINT EncodingItemFor(int charset)
{
    for (const EncodingItem& item : kEncodingItems)
        if (item.charset == charset) return item.id;
    return ID_ENCODING_PAGE;
}

// The state an item sets; false for an id that is not an Encoding item.
bool CharsetForItem(UINT id, int* charset)
{
    if (id == ID_ENCODING_PAGE) {
        *charset = static_cast<int>(GetACP());
        return true;
    }
    for (const EncodingItem& item : kEncodingItems) {
        if (item.id == id) {
            *charset = item.charset;
            return true;
        }
    }
    return false;
}

} // namespace

// Every notification counts as handled with result 0, which lets the control
// go on with the mouse message as usual.
LRESULT CViewerDialog::OnNotify(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
{
    const MSGFILTER* filter = reinterpret_cast<const MSGFILTER*>(lParam);
    if (wParam != IDC_SOURCE || !filter) return 0;
    // Only the mouse filter carries the message; a link notification for the
    // same release would otherwise open the menu a second time.
    if (filter->nmhdr.code != EN_MSGFILTER || filter->msg != WM_RBUTTONUP) return 0;

    MenuHandle menu(LoadMenuA(g_module.resourceInstance, MAKEINTRESOURCEA(IDR_ENCODING_MENU)));
    HMENU popup = menu.Get() ? GetSubMenu(menu.Get(), 0) : nullptr;
    if (!popup) return 0;
    // By command, so that the search reaches the items inside "Encoding  ".
    CheckMenuItem(popup, EncodingItemFor(m_charset), MF_BYCOMMAND | MF_CHECKED);

    POINT cursor = { 0, 0 };
    GetCursorPos(&cursor);
    // The control waits in its own WM_RBUTTONUP while the menu's loop
    // dispatches other messages.
    EnterControlNotification();
    UINT chosen = static_cast<UINT>(TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD | TPM_NONOTIFY,
                                                   cursor.x, cursor.y, 0, m_hWnd, nullptr));
    int charset;
    if (CharsetForItem(chosen, &charset)) m_charset = charset;
    BuildDocument();
    LeaveControlNotification();
    return 0;
}
