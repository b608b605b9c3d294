/* The running order: which scene each millisecond picks, with what local
 * time and arguments. */
#include <gtest/gtest.h>

#include <cstdlib>

#include "demo/demo.h"

namespace {

DemoCall at(unsigned t)
{
    DemoCall c;
    demo_timeline(t, &c);
    return c;
}

void expectCall(unsigned t, int scene, int time, int arg, int which = 0)
{
    DemoCall c = at(t);
    EXPECT_EQ(c.scene, scene) << "t " << t;
    EXPECT_EQ(c.time, time) << "t " << t;
    EXPECT_EQ(c.arg, arg) << "t " << t;
    EXPECT_EQ(c.which, which) << "t " << t;
}

TEST(Timeline, TheWorkedExamples)
{
    expectCall(2520, SCENE_TITLE, 2520, -1);
    expectCall(2521, SCENE_TITLE, 2521, 0);
    expectCall(20160, SCENE_KUBE, 3158, -1);
    expectCall(23317, SCENE_KUBE, 1, -1);
    expectCall(23318, SCENE_FKUBE, 0, -1, 1);
    expectCall(83776, SCENE_FRACT, 5200, -1);
    expectCall(83777, SCENE_DEFORM, 0, -1);
    expectCall(119133, SCENE_TUNNEL, 0, -1);
    expectCall(124202, SCENE_TUNNEL, -10138, -1);
    expectCall(124203, SCENE_TITLE, 0, 0);
    expectCall(139293, SCENE_TITLE, 8175, 1);
}

TEST(Timeline, RowsAreContiguousAndCoverTheWholeRun)
{
    const DemoRow* rows = demo_rows();
    EXPECT_EQ(rows[DEMO_ROWS - 1].upTo, 0xFFFFFFFFu); /* the last row takes every later time */
    EXPECT_GE(rows[DEMO_ROWS - 2].upTo, 144000u);      /* and starts near the end of the run */
    EXPECT_LT(rows[DEMO_ROWS - 2].upTo, (unsigned)DEMO_LENGTH_MS);
    for (int r = 1; r < DEMO_ROWS; r++)
        EXPECT_GT(rows[r].upTo, rows[r - 1].upTo) << "row " << r + 1;
    /* every millisecond of the run picks the row whose stretch holds it */
    int row = 1;
    for (unsigned t = 0; t <= DEMO_LENGTH_MS + 1; t++) {
        DemoCall c = at(t);
        if (t > rows[row - 1].upTo)
            row++;
        ASSERT_EQ(c.row, row) << "t " << t;
        ASSERT_EQ(c.scene, rows[row - 1].scene) << "t " << t;
        ASSERT_EQ(c.arg, rows[row - 1].arg) << "t " << t;
    }
}

TEST(Timeline, EachRowsLocalTimeStaysInItsScenesRange)
{
    /* Along a row the local time moves steadily (0.5, 1 or 2 ms a ms, in
     * one direction); scenes that cannot run at negative times never get
     * one; the fractal's zoom (local * 0.001 + 4) stays above 1 so the
     * picture never turns inside out; no scene is asked for a time beyond
     * the longest stretch of the run. */
    const DemoRow* rows = demo_rows();
    unsigned first = 0;
    for (int r = 0; r < DEMO_ROWS - 1; r++) {
        const DemoRow* row = &rows[r];
        int prev = demo_localTime(row, first);
        int dir = 0;
        for (unsigned t = first; t <= row->upTo; t++) {
            int local = demo_localTime(row, t);
            SCOPED_TRACE(testing::Message() << "row " << r + 1 << ", t " << t << ", local " << local);
            ASSERT_LE(std::abs(local), 20200);
            if (row->scene == SCENE_FRACT) {
                ASSERT_GT((float)local * 0.001f + 4.0f, 1.0f);
            } else if (row->scene != SCENE_TUNNEL) {
                ASSERT_GE(local, 0);
            }
            int step = local - prev;
            ASSERT_LE(std::abs(step), 2);
            if (step != 0) {
                ASSERT_TRUE(dir == 0 || (step > 0) == (dir > 0));
                dir = step;
            }
            prev = local;
        }
        first = row->upTo + 1;
    }
}

TEST(Timeline, HalvingIsALogicalShiftOfTheUnsignedDifference)
{
    /* t - 121682 wraps for t below it; row 29 is never reached that way, but
     * a huge unsigned t still halves without a sign. */
    DemoCall c = at(0xFFFFFFFFu);
    EXPECT_EQ(c.time, (int)((0xFFFFFFFFu - 121682u) >> 1));
    EXPECT_GT(c.time, 0);
}

} // namespace
