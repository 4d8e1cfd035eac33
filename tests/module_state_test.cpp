#include <gtest/gtest.h>
#include "server/ModuleState.h"

TEST(ModuleState, LockCountRisesAndFalls) {
    LONG before = ModuleLockCount();
    ModuleLock();
    EXPECT_EQ(before + 1, ModuleLockCount());
    ModuleUnlock();
    EXPECT_EQ(before, ModuleLockCount());
}
