#pragma once
// Dialogs of the binding tests only.
#define IDD_BINDING_TEST        900
#define IDC_TEST_EDIT           901
#define IDC_TEST_BUTTON         902
#define IDD_BROKEN              910
#define IDD_MISSING             999
