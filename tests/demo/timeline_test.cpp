/* The running order: which scene each millisecond picks, with what local
 * time and arguments. */
#include <gtest/gtest.h>

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

TEST(Timeline, EveryRowBoundIsInclusiveAndTheNextRowStartsAfterIt)
{
    /* upper bound of each row, then the first row of the next one */
    const unsigned bounds[] = {2520,  5041,  7562,  10082, 20159, 23317, 25838, 28359, 30880,  33389,
                               35897, 40949, 45991, 51033, 56075, 65874, 72352, 74860, 81175,  83776,
                               103931, 108998, 114065, 119132, 124202, 139292, 141813, 144334};
    for (int r = 0; r < 28; r++) {
        EXPECT_EQ(at(bounds[r]).row, r + 1) << bounds[r];
        EXPECT_EQ(at(bounds[r] + 1).row, r + 2) << bounds[r] + 1;
    }
    EXPECT_EQ(at(0).row, 1);
    EXPECT_EQ(at(0xFFFFFFFFu).row, 29); /* comparisons are unsigned */
}

TEST(Timeline, LocalTimesOfEachRow)
{
    expectCall(10083, SCENE_KUBE, 0, 2);
    expectCall(25839, SCENE_FKUBE, 3781, -1, 0);
    expectCall(28360, SCENE_FKUBE, 5042, -1, 1);
    expectCall(33389, SCENE_FKUBE, 12592, -1, 0);
    expectCall(33390, SCENE_FRACT, 0, 0);
    expectCall(35898, SCENE_FLOWER, 0, -1);
    expectCall(40950, SCENE_FLOWER, 2531, 1);
    expectCall(45992, SCENE_FLOWER, 5052, 2);
    expectCall(51034, SCENE_FLOWER, 7573, 3);
    expectCall(56076, SCENE_FRACT, 9799, -1); /* backwards */
    expectCall(65874, SCENE_FRACT, 1, -1);
    expectCall(65875, SCENE_ROBOT, 0, -1);
    expectCall(72353, SCENE_FRACT, 0, 1);
    expectCall(74860, SCENE_FRACT, -2507, 1);
    expectCall(74861, SCENE_ROBOT, 6315, -1);
    expectCall(81175, SCENE_ROBOT, 1, -1);
    expectCall(81176, SCENE_FRACT, 0, -1); /* 2t - 162352 */
    expectCall(103932, SCENE_TUNNEL, 0, -1);
    expectCall(108999, SCENE_TUNNEL, 3807, -1);
    expectCall(114066, SCENE_TUNNEL, 7613, -1);
    expectCall(124201, SCENE_TUNNEL, -10136, -1);
    expectCall(139292, SCENE_TITLE, 7544, 0);
    expectCall(141814, SCENE_TITLE, 10066, 3);
    expectCall(144335, SCENE_TITLE, 11326, -1);
    expectCall(145001, SCENE_TITLE, 11659, -1);
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
