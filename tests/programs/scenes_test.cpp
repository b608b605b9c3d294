/* The scenes with the real data set: spot checks that would catch a scene
 * drawing the wrong thing in the wrong place. Runs in the build tree,
 * where the build writes ./data. */
#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>
#include <vector>

#include "demo/demo.h"
#include "math/kv_random.h"
#include "platform/headless/headless.h"
#include "video/kv_font.h"

namespace {

struct Scenes : ::testing::Test {
    static inline uint16_t* buf = nullptr;
    static void SetUpTestSuite()
    {
        ASSERT_EQ(chdir(ORVEL_RUN_DIR), 0);
        headless_setClock(0);
        buf = scr_init();
        ASSERT_NE(buf, nullptr);
        testing::internal::CaptureStdout();
        demo_load();
        std::string out = testing::internal::GetCapturedStdout();
        ASSERT_EQ(out, "") << "the data set should load without a message";
    }
    static void TearDownTestSuite()
    {
        demo_kill();
        fnt_setFnt(nullptr);
        scr_exit();
        headless_realClock();
    }
    std::vector<uint16_t> frame() const { return std::vector<uint16_t>(buf, buf + SCR_PIXELS); }
};

/* Bounding box and centroid of the pixels where two frames differ. */
struct Diff {
    int n = 0, x0 = 320, x1 = -1, y0 = 240, y1 = -1;
    double cx = 0, cy = 0;
};

Diff diff(const std::vector<uint16_t>& a, const std::vector<uint16_t>& b)
{
    Diff d;
    for (int i = 0; i < SCR_PIXELS; i++)
        if (a[i] != b[i]) {
            int x = i % SCR_W, y = i / SCR_W;
            d.n++;
            d.cx += x;
            d.cy += y;
            d.x0 = std::min(d.x0, x);
            d.x1 = std::max(d.x1, x);
            d.y0 = std::min(d.y0, y);
            d.y1 = std::max(d.y1, y);
        }
    if (d.n) {
        d.cx /= d.n;
        d.cy /= d.n;
    }
    return d;
}

TEST_F(Scenes, TheCubeStandsAtX150WithoutACaption)
{
    part_kube(0, -1);
    std::vector<uint16_t> with = frame();
    uint32_t faces = kkube.faceCount;
    kkube.faceCount = 0;
    part_kube(0, -1);
    kkube.faceCount = faces;
    std::vector<uint16_t> without = frame();
    Diff d = diff(with, without);
    ASSERT_GT(d.n, 500) << "the cube is not drawn";
    /* unrotated at world x 150: its centre, at distance 500 with zoom 200,
     * lands at 160 + 150 * 0.4 = 220 (the nearer face spreads it wider) */
    EXPECT_FLOAT_EQ(kkube.x, 150.0f);
    EXPECT_FLOAT_EQ(kkube.rotY, 0.0f);
    EXPECT_LT(d.x0, 220);
    EXPECT_GT(d.x1, 220);
    EXPECT_GT(d.x0, 160);
    EXPECT_LT(d.y0, 120);
    EXPECT_GT(d.y1, 120);
    /* a caption adds light; -1 adds none */
    part_kube(0, 0);
    EXPECT_GT(diff(frame(), with).n, 0);
}

TEST_F(Scenes, TheSecondFractalCubeDriftsSideways)
{
    part_fkube(2000, -1, 1);
    EXPECT_FLOAT_EQ(fkube[1].x, 1.0f);
    EXPECT_FLOAT_EQ(fkube[1].rotY, 2.0f);
    part_fkube(2000, -1, 0);
    EXPECT_FLOAT_EQ(fkube[0].x, 150.0f);
}

TEST_F(Scenes, TheFlowerTurnsSevenPetalsAndAddsItsOverlay)
{
    part_flower(0, 2);
    std::vector<uint16_t> with = frame();
    EXPECT_FLOAT_EQ(petal.rotY, 6.0f * 6.2832f / 7.0f); /* the last of seven */
    part_flower(0, -1);
    EXPECT_GT(diff(with, frame()).n, 0) << "layer[2] adds the credits";
    uint32_t faces = petal.faceCount;
    petal.faceCount = 0;
    part_flower(0, -1);
    std::vector<uint16_t> bare = frame();
    petal.faceCount = faces;
    part_flower(0, -1);
    Diff d = diff(frame(), bare);
    ASSERT_GT(d.n, 500) << "no petals drawn";
    /* seven petals turned about the centre spread far to both sides of it */
    EXPECT_GT(d.x1 - d.x0, 120);
}

TEST_F(Scenes, TheSameRobotsStandAtTheSamePlacesForTheSameTime)
{
    part_robot(1234);
    std::vector<uint16_t> first = frame();
    part_robot(500);
    part_tunnel(777); /* draws random numbers for its stipple */
    kv_srand(99);
    part_robot(1234);
    EXPECT_EQ(diff(first, frame()).n, 0);
    part_robot(-3000); /* negative local times are wrapped, never out of range */
    EXPECT_GE(bot.frame, 0);
    EXPECT_LT(bot.frame, 60);
}

TEST_F(Scenes, EveryTimelineRowDrawsSomething)
{
    for (unsigned t : {0u, 2600u, 12000u, 22000u, 24000u, 27000u, 34000u, 38000u, 60000u, 70000u, 73000u, 78000u,
                       82000u, 90000u, 105000u, 110000u, 116000u, 121000u, 130000u, 140000u, 143000u, 145000u}) {
        scr_clrc(0);
        demo_draw(t);
        int lit = 0;
        for (int i = 0; i < SCR_PIXELS; i++)
            lit += buf[i] != 0;
        EXPECT_GT(lit, SCR_PIXELS / 20) << "t " << t;
    }
}

} // namespace
