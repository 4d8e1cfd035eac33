#include <windows.h>
#include <gtest/gtest.h>
#include "server/ModuleState.h"

// Test programs play the module: their own instance holds the resources that
// they link in, and the module state is set up as process attach would.
int main(int argc, char** argv)
{
    ModuleStartup(GetModuleHandleA(nullptr));
    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    ModuleShutdown();
    return result;
}
