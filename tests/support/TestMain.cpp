#include <windows.h>
#include <gtest/gtest.h>
#include "server/ModuleLifetime.h"

// Test programs play the module: their own instance holds the resources that
// they link in, and the module is set up as process attach would: module
// state, common-control classes and the rich-edit library.
int main(int argc, char** argv)
{
    ModuleAttach(GetModuleHandleA(nullptr));
    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    ModuleDetach();
    return result;
}
