#pragma once
// A small DLL with a manifest of its own (id 2), built from the module's code,
// so that the context tests see what the module sees when a browser loads it.
#define IDD_PROBE           300
#define IDC_PROBE_BUTTON    301

#ifndef RC_INVOKED
#include <windows.h>

struct ProbeState {
    HANDLE context;
    BOOL unavailable;
    char comctl32Path[MAX_PATH];
    DWORD comctl32Version;      // DllGetVersion: major * 100 + minor
};

// Whether a Button made in each way is the common-controls 6 button: only
// that one answers BCM_GETIDEALSIZE.
enum ProbeWay { kPlainCall = 0, kThroughContext = 1 };

typedef void (*ProbeStateFunction)(ProbeState*);
typedef BOOL (*ProbeDialogButtonFunction)(int way, INT_PTR* dialogResult);
typedef BOOL (*ProbeCreatedButtonFunction)(int way);
#endif
