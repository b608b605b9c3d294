/*
 * The meshes in their scenes: the demo loads the generated data set, each
 * scene function runs with its own camera, and each object it projects must
 * land on the screen at a sensible size and draw cleanly.
 */
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <vector>

#include "demo/demo.h"
#include "render3d/kv_3D.h"
#include "video/kv_texture.h"
#include "video/kv_video.h"

namespace {

struct Box {
    float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
    int behind = 0;
    float w() const { return x1 - x0; }
    float h() const { return y1 - y0; }
    void add(const Box& b)
    {
        x0 = std::min(x0, b.x0), y0 = std::min(y0, b.y0), x1 = std::max(x1, b.x1), y1 = std::max(y1, b.y1);
        behind += b.behind;
    }
};

/* Screen box of the object's projected current frame (vertices in front of
 * the eye only). */
Box screenBox(const Object3D& o)
{
    Box b;
    const Vertex3D* v = o.verts + (size_t)o.frame * o.vertCount;
    for (unsigned i = 0; i < o.vertCount; i++) {
        if (v[i].behind) {
            b.behind++;
            continue;
        }
        float x = fp_fconv(v[i].sx), y = fp_fconv(v[i].sy);
        b.x0 = std::min(b.x0, x), b.x1 = std::max(b.x1, x);
        b.y0 = std::min(b.y0, y), b.y1 = std::max(b.y1, y);
    }
    return b;
}

bool inside(const Box& b, float slack)
{
    return b.x0 >= -slack && b.y0 >= -slack && b.x1 <= 320.0f + slack && b.y1 <= 240.0f + slack;
}

/* Share of screen pixels that differ from c. */
float coverage(uint16_t c)
{
    const uint16_t* px = scr_getBuf();
    int n = 0;
    for (int i = 0; i < SCR_PIXELS; i++)
        n += px[i] != c;
    return (float)n / (float)SCR_PIXELS;
}

class DataScenes : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_EQ(chdir(ORVEL_RUN_DIR), 0);
        ASSERT_NE(scr_init(), nullptr);
        demo_load();
        fflush(stdout);
        ASSERT_GT(kkube.faceCount, 0u) << "the data set did not load";
    }
    static void TearDownTestSuite()
    {
        demo_kill();
        scr_exit();
    }
};

TEST_F(DataScenes, CubeTurnsOnTheRightOfTheScreen)
{
    for (int t : {0, 1700, 3300, 5000, 7500, 10076}) {
        part_kube(t, -1);
        Box b = screenBox(kkube);
        EXPECT_TRUE(inside(b, 4.0f)) << "t " << t << ": " << b.x0 << ".." << b.x1 << ", " << b.y0 << ".." << b.y1;
        EXPECT_GT(b.w(), 80.0f) << t;
        EXPECT_LT(b.w(), 200.0f) << t;
        EXPECT_GT((b.x0 + b.x1) * 0.5f, 160.0f) << t;
    }
}

TEST_F(DataScenes, CubeFlakeFitsAndTheSpongeSurroundsTheEye)
{
    for (int t : {3781, 6301, 10084, 12592}) {
        part_fkube(t, -1, 0);
        Box b = screenBox(fkube[0]);
        EXPECT_TRUE(inside(b, 12.0f)) << "t " << t << ": " << b.x0 << ".." << b.x1 << ", " << b.y0 << ".." << b.y1;
        EXPECT_GT(b.w(), 120.0f) << t;
    }
    const uint16_t brown = scr_RGB2W(147, 115, 53);
    for (int t : {0, 1300, 2520, 5042, 7562}) {
        part_fkube(t, -1, 1);
        EXPECT_GT(coverage(brown), 0.35f) << "t " << t << ": the eye should sit inside the sponge";
        EXPECT_LT(coverage(brown), 0.97f) << "t " << t << ": the sponge should leave gaps";
    }
}

TEST_F(DataScenes, SevenPetalsMakeAFlowerOnScreen)
{
    for (int t : {0, 5000, 10000, 12614}) {
        part_flower(t, -1);
        Box all;
        float s = (float)t * 0.0004f;
        for (int i = 0; i < 7; i++) {
            set3D(&petal, 100.0f, 0, 0, (float)i * 6.2832f / 7.0f + s, 0, 0);
            project(&petal);
            all.add(screenBox(petal));
        }
        EXPECT_TRUE(inside(all, 4.0f)) << "t " << t << ": " << all.x0 << ".." << all.x1 << ", " << all.y0 << ".."
                                       << all.y1;
        EXPECT_GT(all.w(), 120.0f) << t;
        EXPECT_GT(all.h(), 50.0f) << t;
    }
}

TEST_F(DataScenes, DeformedBallStaysInView)
{
    for (int t : {0, 4000, 9000, 15000, 20154}) {
        part_deform(t);
        Box b = screenBox(bll);
        EXPECT_TRUE(inside(b, 0.0f)) << "t " << t;
        EXPECT_GT(b.w(), 70.0f) << t;
        EXPECT_LT(b.w(), 220.0f) << t;
        EXPECT_EQ(b.behind, 0) << t;
    }
}

/* Every 100 ms of the tunnel scene as the demo draws it: the wall fills the
 * view, and the ship's projected box keeps at least 40 pixels on its longer
 * side and 1000 square pixels on screen, whether it sits at the left edge at
 * the start or far down the tube at the end. The one exception is the pass:
 * the ship's origin reaches the eye's z of 50 at t = 10000 (116453 ms) and
 * the ship is then beside or behind the eye until the scene jumps back to
 * t = 0 at 119133 ms; that stretch must stay within those bounds. */
TEST_F(DataScenes, TunnelShipReadsAllThroughTheSceneButWhileItPassesTheEye)
{
    int passFirst = -1, passLast = -1;
    for (unsigned ms = 103932; ms <= 124202; ms += 100) {
        DemoCall c;
        demo_timeline(ms, &c);
        ASSERT_EQ(c.scene, SCENE_TUNNEL) << ms;
        demo_runScene(&c);
        EXPECT_GT(coverage(0), 0.9f) << ms << ": the tunnel wall should fill the view";
        Box b = screenBox(shp);
        float w = std::min(b.x1, 320.0f) - std::max(b.x0, 0.0f), h = std::min(b.y1, 240.0f) - std::max(b.y0, 0.0f);
        if (b.behind > 0 || w <= 0.0f || h <= 0.0f) {
            if (passFirst < 0)
                passFirst = (int)ms;
            EXPECT_TRUE(passLast < 0 || passLast == (int)ms - 100) << ms << ": the ship leaves the view twice";
            passLast = (int)ms;
            continue;
        }
        EXPECT_GE(std::max(w, h), 40.0f) << ms << ": " << b.x0 << ".." << b.x1 << ", " << b.y0 << ".." << b.y1;
        EXPECT_GE(w * h, 1000.0f) << ms << ": " << b.x0 << ".." << b.x1 << ", " << b.y0 << ".." << b.y1;
    }
    EXPECT_LE(passFirst, 116453);
    EXPECT_GE(passFirst, 116453 - 1000);
    EXPECT_LE(passLast, 119132);
}

/* The flower's petals are sphere-mapped with shade2.tga; a normal pointing
 * straight up on the screen reads its top edge, and a read just past that
 * edge wraps round to the bottom rows, drawing thin cyan streaks across the
 * pink. Every 50 ms of the flower scene, no pixel the flower adds to the
 * frame may carry a colour of those bottom rows. */
TEST_F(DataScenes, FlowerShowsNoStreaksOfTheTexturesFarEdge)
{
    const Pic16b& t = tex[petal.texture];
    ASSERT_NE(t.pixels, nullptr);
    std::set<uint16_t> far;
    for (int y = t.height - 8; y < t.height; y++)
        for (int x = 0; x < t.width; x++)
            far.insert(t.pixels[y * t.width + x]);
    std::vector<uint16_t> without(SCR_PIXELS);
    int total = 0, worstMs = 0, worst = 0;
    for (unsigned ms = 35900; ms <= 56075; ms += 50) {
        DemoCall c;
        demo_timeline(ms, &c);
        ASSERT_EQ(c.scene, SCENE_FLOWER) << ms;
        unsigned faces = petal.faceCount;
        petal.faceCount = 0;
        demo_runScene(&c);
        petal.faceCount = faces;
        std::copy(scr_getBuf(), scr_getBuf() + SCR_PIXELS, without.begin());
        demo_runScene(&c);
        const uint16_t* px = scr_getBuf();
        int n = 0;
        for (int i = 0; i < SCR_PIXELS; i++)
            n += px[i] != without[i] && far.count(px[i]);
        total += n;
        if (n > worst)
            worst = n, worstMs = (int)ms;
    }
    EXPECT_EQ(total, 0) << "the worst frame, at " << worstMs << " ms, has " << worst;
}

TEST_F(DataScenes, RobotsRunOnTheRoadAndEveryGreetingPassesByReadably)
{
    bool greeted[6] = {};
    for (int t = 0; t <= 6477; t += 150) {
        part_robot(t);
        Box bot7 = screenBox(bot);
        if (bot7.behind == 0 && bot7.x1 > 0.0f && bot7.x0 < 320.0f) {
            EXPECT_GT(bot7.h(), 25.0f) << t;
            EXPECT_LT(bot7.h(), 150.0f) << t;
        }
        /* The scene's own placement of the greetings, on its camera. */
        float g = (float)(2 * t) * -0.201f + 1000.0f;
        for (int j = 0; j < 6; j++) {
            set3D(&grt, -200.0f, 0, (float)(639 * j) + g, 0, 0, 0);
            grt.frame = j;
            project(&grt);
            Box b = screenBox(grt);
            float cx = (b.x0 + b.x1) * 0.5f, cy = (b.y0 + b.y1) * 0.5f;
            if (b.behind == 0 && cx > 60.0f && cx < 260.0f && cy > 60.0f && cy < 220.0f && b.w() > 100.0f)
                greeted[j] = true;
        }
    }
    for (int j = 0; j < 6; j++)
        EXPECT_TRUE(greeted[j]) << "greeting " << j << " never passes through the middle of the view";
}

} // namespace
