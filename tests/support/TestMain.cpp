#include "support/TestModule.h"
#include <windows.h>
#include <objbase.h>
#include <gtest/gtest.h>
#include "server/ModuleLifetime.h"
#include "server/ModuleState.h"

namespace {

// Set by the programs' initializers, which run before main(); zero until then.
unsigned g_startup;

}  // namespace

bool UseTestStartup(unsigned flags)
{
    g_startup |= flags;
    return true;
}

int main(int argc, char** argv)
{
    if (g_startup & kTestStartupApartment) CoInitialize(nullptr);
    ModuleAttach(GetModuleHandleA(nullptr));
    if ((g_startup & kTestStartupWithoutRichEdit) && g_module.richEdit) {
        FreeLibrary(g_module.richEdit);
        g_module.richEdit = nullptr;
    }

    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();

    ModuleDetach();
    if (g_startup & kTestStartupApartment) CoUninitialize();
    return result;
}
