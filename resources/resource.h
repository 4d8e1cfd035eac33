#pragma once
// Resource identifiers of the module. Fixed: the browser's registry entry and
// stored settings refer to some of them.

#define IDS_PRODUCT_NAME        100

#define IDI_BUTTON              101   // toolbar button and viewer icon
#define IDI_BUTTON_HOT          102   // hot toolbar button
#define IDI_ABOUT               103   // About box icon
#define IDD_VIEWER              104
#define IDR_ENCODING_MENU       105
#define IDD_ABOUT               106
#define IDR_REGISTRY_SCRIPT     201
#define IDB_ABOUT_BANNER        205
#define IDR_MANIFEST            2

// Viewer controls
#define IDC_ABOUT               202
#define IDC_SAVE                203
#define IDC_COPY                1002
#define IDC_SOURCE              1004

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
