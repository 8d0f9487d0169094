// The duration formatter of the test reports.
#include <gtest/gtest.h>

#include "stats.h"

TEST(Stats, TimeClean) {
    EXPECT_STREQ(Time_clean(0), "00:00:00");
    EXPECT_STREQ(Time_clean(999), "00:00:00");
    EXPECT_STREQ(Time_clean(45296000), "12:34:56");
    EXPECT_STREQ(Time_clean(360000000), "100:00:00");
}
