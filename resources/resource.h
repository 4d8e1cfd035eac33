#pragma once
// Resource identifiers of the module. Fixed: the browser's registry entry and
// stored settings refer to some of them.

#define IDS_PRODUCT_NAME        100
#define IDS_CANNOT_FIND         112   // a printf format with one %s
#define IDS_LINE_BEYOND         113

#define IDI_BUTTON              101   // toolbar button and viewer icon
#define IDI_BUTTON_HOT          102   // hot toolbar button
#define IDI_ABOUT               103   // About box icon
#define IDD_VIEWER              104
#define IDR_ENCODING_MENU       105
#define IDD_ABOUT               106
#define IDR_VIEWER_KEYS         107   // the viewer's keys
#define IDD_GO_TO_LINE          108
#define IDR_VIEWER_COMMANDS     109   // the viewer's items of its window menu
#define IDR_REGISTRY_SCRIPT     201
#define IDB_ABOUT_BANNER        205
#define IDR_MANIFEST            2

// Viewer controls
#define IDC_ABOUT               202
#define IDC_SAVE                203
#define IDC_COPY                1002
#define IDC_SOURCE              1004

// Go To Line controls
#define IDC_LINE_NUMBER         1010

// The viewer's own commands, from its keys and its window menu. Items of a
// window menu arrive as WM_SYSCOMMAND, whose low four bits the system keeps
// for itself, and stay below the system's own (0xF000).
#define ID_VIEW_FIND            0x0110
#define ID_VIEW_FIND_NEXT       0x0120
#define ID_VIEW_FIND_PREVIOUS   0x0130
#define ID_VIEW_GO_TO_LINE      0x0140
#define ID_VIEW_WRAP            0x0150
#define ID_VIEW_ZOOM_IN         0x0160
#define ID_VIEW_ZOOM_OUT        0x0170
#define ID_VIEW_ZOOM_RESET      0x0180
#define ID_VIEW_SAVE            0x0190
#define ID_VIEW_SELECT_ALL      0x01A0

// About box controls
#define IDC_VERSION_TEXT        224
#define IDC_BANNER              227
#define IDC_HOME_LINK           1001
#define IDC_SUPPORT_LINK        1002

// Encoding menu commands
#define ID_ENCODING_DEFAULT     32768
#define ID_ENCODING_EASTEUROPE  32769
#define ID_ENCODING_GREEK       32770
#define ID_ENCODING_RUSSIAN     32771
#define ID_ENCODING_TURKISH     32772
#define ID_ENCODING_BALTIC      32773
#define ID_ENCODING_HEBREW      32774
#define ID_ENCODING_ARABIC      32775
#define ID_ENCODING_SHIFTJIS    32776
#define ID_ENCODING_GB2312      32777
#define ID_ENCODING_BIG5        32778
#define ID_ENCODING_OEM         32779
#define ID_ENCODING_SYMBOL      32780
#define ID_ENCODING_HANGUL      32781
#define ID_ENCODING_PAGE        32782
