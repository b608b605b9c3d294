/* The millisecond clock: reset, global time, elapsed time. */
#include <gtest/gtest.h>

#include "demo/kv_timer.h"
#include "platform/headless/headless.h"
#include "platform/kv_sys.h"

namespace {

TEST(Timer, GlobalCountsFromTheLastResetAndElapsedFromTheLastCall)
{
    headless_setClock(5000);
    EXPECT_EQ(timer_elapsed(), 5000); /* the first call measures from 0 */
    EXPECT_EQ(last_time, 5000);
    timer_reset();
    EXPECT_EQ(time_start, 5000);
    EXPECT_EQ(timer_global(), 0);
    headless_setClock(5017);
    EXPECT_EQ(timer_global(), 17);
    EXPECT_EQ(timer_global(), 17); /* reading does not move anything */
    EXPECT_EQ(timer_elapsed(), 17);
    headless_setClock(5020);
    EXPECT_EQ(timer_elapsed(), 3);
    timer_reset();
    EXPECT_EQ(timer_global(), 0);
    headless_setClock(5010); /* a clock read before the reset gives negative time */
    EXPECT_EQ(timer_global(), -10);
}

TEST(Timer, WrapsInThirtyTwoBitsWithoutUndefinedOverflow)
{
    headless_setClock(0x7FFFFFF0);
    timer_reset();
    headless_setClock((int)0x80000010u);
    EXPECT_EQ(timer_global(), 0x20);
}

TEST(Timer, TheMonotonicClockNeverGoesBack)
{
    headless_realClock();
    int a = timer_monotonicMs();
    int b = timer_monotonicMs();
    EXPECT_GE((int)((unsigned)b - (unsigned)a), 0);
    timer_reset();
    EXPECT_GE(timer_global(), 0);
    EXPECT_LT(timer_global(), 1000);
}

} // namespace
