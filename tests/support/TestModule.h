#pragma once
// The module as every test program plays it. main() (support/TestMain.cpp)
// attaches it once, before the first test, as process attach does but with
// the program's own instance, so that the resources the program links in are
// found; it detaches it after the last test. Nothing else attaches it again.
//
// A program that needs another start-up says so once, at namespace scope, so
// that main() knows before it attaches:
//     const bool g_startup = UseTestStartup(kTestStartupApartment);
enum TestStartupFlags : unsigned {
    // COM initialised on the main thread around the whole program: a press
    // through the command object needs it.
    kTestStartupApartment = 1,
    // The rich-edit library let go again after the attach, as when it could
    // not be loaded: the tests load it where they need it.
    kTestStartupWithoutRichEdit = 2,
};

// Adds to the start-up that main() performs; returns true for the initializer.
bool UseTestStartup(unsigned flags);
