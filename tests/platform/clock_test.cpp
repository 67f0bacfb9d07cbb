#include <gtest/gtest.h>

#include "platform/clock.h"

TEST(Clock, SleepWaitsAtLeastItsTime) {
    const double waits[] = {0.0005, 0.003, 0.02};
    for (double wait : waits) {
        double start = zolm_time_seconds();
        zolm_sleep_seconds(wait);
        double slept = zolm_time_seconds() - start;
        EXPECT_GE(slept, wait - 0.000001);
        EXPECT_LT(slept, wait + 0.05);   // generous for a loaded machine
    }
}
