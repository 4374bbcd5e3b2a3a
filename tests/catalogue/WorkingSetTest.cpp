#include "catalogue/WorkingSet.h"

#include <gtest/gtest.h>

#include <thread>

using namespace vistrel::catalogue;

TEST(WorkingSet, TrimsAtMostOncePerInterval)
{
    trimWorkingSet();
    EXPECT_FALSE(trimWorkingSet());
    std::this_thread::sleep_for(kTrimInterval + std::chrono::milliseconds(10));
    EXPECT_TRUE(trimWorkingSet());
    EXPECT_FALSE(trimWorkingSet());
}
