#pragma once
#include <windows.h>
#include <ocidl.h>
#include <servprov.h>
#include <set>
#include <string>
#include <vector>
#include "tools/host/PageModel.h"

// Calls that the stand-in's objects receive, in order, as short lines such as
// "Browser.get_Document" or "Element[3].get_outerHTML"; an object's last
// Release is recorded as "<name>.final". A call named in failing answers
// E_FAIL, or E_NOINTERFACE for a QueryInterface (after being recorded);
// "Browser.get_Document=null" makes get_Document succeed with no document.
// A log that keeps no calls, writes no file and fails nothing is quiet: the
// stand-in then costs a huge page's millions of calls no more than a browser
// would, neither time nor memory.
class CallLog {
public:
    void Record(const std::string& call);
    bool Fails(const std::string& call) const { return failing.count(call) != 0; }
    // Records the call and tells whether it is to fail.
    bool RecordFails(const std::string& call) { Record(call); return Fails(call); }
    bool Quiet() const { return !keepCalls && path.empty() && failing.empty(); }

    bool keepCalls = true;
    std::vector<std::string> calls;
    int liveObjects = 0;        // the stand-in's objects not yet destroyed
    std::set<std::string> failing;
    std::string path;           // when set, every call is appended to this file too
};

// The browser as an extension meets it: a site that answers QueryService for
// the browser, whose document is built from model. window is the browser's
// top-level window (get_HWND). The returned site holds one reference.
IUnknown* CreateHostSite(const PageModel& model, HWND window, CallLog* log);

// Short name of an interface identifier that the stand-in knows, else its text.
std::string InterfaceName(REFIID iid);
