#pragma once
// One press of the button through the module's own code in this process:
// ZExtension sited on the browser stand-in over a page model, Exec, and the
// viewer watched from inside its modal loop. Shared by the press benchmark and
// the hostile-page tests. Call ModuleAttach first (server/ModuleLifetime.h).
#include <windows.h>
#include <functional>
#include <string>
#include "tools/host/PageModel.h"

struct PressOptions {
    bool rerender = false;      // once whole, run the Encoding menu once (Arabic chosen) and time the rebuild
    bool resize = false;        // once whole, widen the viewer by 80 pixels and time its relayout
    bool readText = false;      // read back the viewer's plain text before closing it
    DWORD deadlineMs = 120000;
    std::function<void(HWND viewer)> whileShown;    // runs once the whole document is in, before the viewer is closed
    // Runs inside the text control's first paint, while the rest of the
    // document may still be going in: it may start timers, nothing modal.
    std::function<void(HWND viewer)> atFirstScreen;
};

struct PressResult {
    HRESULT hr = E_UNEXPECTED;
    bool viewerShown = false;
    bool timedOut = false;
    double openSeconds = 0;         // Exec to the end of the text control's first paint: the first screen
    double wholeSeconds = 0;        // Exec to the whole document in the control, painted
    double rerenderSeconds = 0;     // the menu's choice to its whole document in the control, painted
    double rerenderFirstSeconds = 0;    // the menu's choice to the first screen of the new render
    double resizeSeconds = 0;       // a resize of the whole document to the end of its repaint
    double openStreamSeconds = 0;   // of openSeconds, inside the control's EM_STREAMIN
    double rerenderStreamSeconds = 0;
    int textLength = -1;            // characters in the control (WM_GETTEXTLENGTH)
    std::string text;               // with readText
    int charset = -1;               // of the first character, as the control reports it
    SIZE_T privateBefore = 0;       // private bytes just before Exec
    SIZE_T peakPrivate = 0;         // the process's peak private bytes after the press
    SIZE_T privateAfter = 0;        // private bytes once everything is released
    SIZE_T heldByControl = 0;       // private bytes that the stream-ins of the document added (the control's own store)
};

PressResult PressButton(const PageModel& model, const PressOptions& options = PressOptions());

// The process's private bytes now and at their peak, as the platform reports them.
void PrivateBytes(SIZE_T* now, SIZE_T* peak);
