/* Camera and projection: set-up values, the perspective divide, out-codes,
 * the eye plane, and a quad landing where plain float geometry puts it. */
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/render3d/render_fixture.h"

namespace {

struct Projection : ::testing::Test {
    Object3D obj{};
    void SetUp() override
    {
        cam_setClip(&cam, 72, 1200, 200.0f);
        cam_set(&cam, 0, 0, -500, 0, 0, 0);
        cam_update(&cam);
    }
    void TearDown() override { kill3D(&obj); }
    /* Projects one object-space point with the object at the origin. */
    Vertex3D projectPoint(double x, double y, double z)
    {
        kill3D(&obj);
        Vertex3D v{};
        v.x = (fixed)(x * 4096);
        v.y = (fixed)(y * 4096);
        v.z = (fixed)(z * 4096);
        rf::makeObject(&obj, {v, v, v}, {0, 1, 2});
        set3D(&obj, 0, 0, 0, 0, 0, 0);
        project(&obj);
        return obj.verts[0];
    }
};

TEST(Camera, StartsAndSetsAsDescribed)
{
    /* ctest runs every test in a process of its own, so the global is
     * untouched here; in a single run of the whole program it may not be */
    if (cam.depth != 0)
        GTEST_SKIP() << "the camera was set by an earlier test in this process";
    Camera fresh = cam;
    EXPECT_EQ(fresh.zoom, 200.0f);
    EXPECT_EQ(fresh.near, 40960);
    EXPECT_EQ(fresh.far, 20480000);
    EXPECT_EQ(fresh.depth, 0);
    Camera c{};
    cam_setClip(&c, 72, 1200, 200.0f);
    EXPECT_EQ(c.near, 294912);
    EXPECT_EQ(c.far, 4915200);
    EXPECT_EQ(c.depth, 4620288);
    cam_set(&c, 1, 2, 3, 90, -45, 180);
    EXPECT_EQ(c.rotY, (90.0f * 3.1416f) / 180.0f);
    EXPECT_EQ(c.rotX, (-45.0f * 3.1416f) / 180.0f);
    EXPECT_EQ(c.rotZ, (180.0f * 3.1416f) / 180.0f);
    EXPECT_EQ(c.z, 3.0f);
}

TEST(Camera, OutCodeBitsAreStrict)
{
    auto code = [](fixed x, fixed y, fixed z) {
        Vertex3D v{};
        v.sx = x, v.sy = y, v.sz = z;
        setViewFlag(&v);
        return (int)v.clip;
    };
    EXPECT_EQ(code(4096, -4096, 4096), 0);
    EXPECT_EQ(code(-4097, 0, 0), 0x01);
    EXPECT_EQ(code(4097, 0, 0), 0x02);
    EXPECT_EQ(code(0, -4097, 0), 0x04);
    EXPECT_EQ(code(0, 4097, 0), 0x08);
    EXPECT_EQ(code(0, 0, -4097), 0x10);
    EXPECT_EQ(code(0, 0, 4097), 0x20);
    EXPECT_EQ(code(-9999, 9999, 9999), 0x01 | 0x08 | 0x20);
}

TEST_F(Projection, TheOriginLandsOnTheScreenCentre)
{
    Vertex3D v = projectPoint(0, 0, 0);
    EXPECT_EQ(obj.projected, 1);
    EXPECT_EQ(v.sx, 160 * 4096);
    EXPECT_EQ(v.sy, 120 * 4096);
    EXPECT_EQ(v.sw, 4096);
    EXPECT_EQ(v.behind, 0);
    EXPECT_EQ(v.clip, 0);
    EXPECT_GT(v.sz, cam.near);
    EXPECT_LT(v.sz, cam.far);
    /* view +x is drawn to the right, +y upwards */
    Vertex3D r = projectPoint(50, 50, 0);
    EXPECT_GT(r.sx, 160 * 4096);
    EXPECT_LT(r.sy, 120 * 4096);
}

TEST_F(Projection, APointOnTheEyePlaneHasNoReciprocal)
{
    Vertex3D v = projectPoint(30, 40, -500); /* W = 0 exactly */
    EXPECT_EQ(v.sx, 160 * 4096);
    EXPECT_EQ(v.sy, 120 * 4096);
    EXPECT_EQ(v.sz, cam.near + fp_mul(cam.depth, 2048));
    EXPECT_EQ(v.behind, 0);
    EXPECT_EQ(v.clip, 0);
}

TEST_F(Projection, PointsBehindTheEyeAreMarked)
{
    EXPECT_EQ(projectPoint(0, 0, -600).behind, 0xFF);
    EXPECT_EQ(projectPoint(0, 0, -499).behind, 0);
    /* nearer than the near plane, in front of the eye */
    EXPECT_EQ(projectPoint(0, 0, -450).clip & 0x20, 0x20);
    /* beyond the far plane */
    EXPECT_EQ(projectPoint(0, 0, 800).clip & 0x10, 0x10);
}

TEST_F(Projection, ObjectPoseRotatesAboutItsOriginThenMoves)
{
    kill3D(&obj);
    Vertex3D v{};
    v.x = 100 * 4096;
    rf::makeObject(&obj, {v, v, v}, {0, 1, 2});
    /* a quarter turn about z takes +x to +y; then the object moves right */
    set3D(&obj, 50, 0, 0, 0, 0, 1.5707964f);
    project(&obj);
    EXPECT_NEAR(fp_fconv(obj.verts[0].sx), 160 + 50 * 0.4, 0.05);
    EXPECT_NEAR(fp_fconv(obj.verts[0].sy), 120 - 100 * 0.4, 0.05);
    /* only the current frame is touched */
    obj.frame = 1;
    obj.verts[0].sx = 7;
    project(&obj);
    EXPECT_EQ(obj.verts[0].sx, 7);
}

/* A textured quad through the whole pipeline covers exactly the pixels that
 * float geometry predicts: rows floor(top) .. floor(bottom), columns
 * floor(left) .. floor(right) - 1; each pixel drawn once. */
std::vector<int> hits;
void countingShader(unsigned short* px, fixed*, unsigned, fixed)
{
    hits[px - rTarget]++;
}

TEST_F(Projection, AQuadLandsWhereFloatGeometrySaysToThePixel)
{
    ASSERT_NE(scr_init(), nullptr);
    rf::makeTexture(0, 16, 16, 0x1234);
    cam_setClip(&cam, 10, 3000, 240.0f);
    cam_set(&cam, 20, -10, -400, 0, 0, 0);
    cam_update(&cam);
    /* object placed at (40, 30, 200), corners at +-hw, +-hh in its plane */
    const double ox = 40, oy = 30, oz = 200, hw = 60.3, hh = 35.3;
    std::vector<Vertex3D> v(4);
    const int sgn[4][2] = {{-1, 1}, {1, 1}, {1, -1}, {-1, -1}}; /* TL, TR, BR, BL (y up) */
    for (int i = 0; i < 4; i++) {
        v[i].x = (fixed)(sgn[i][0] * hw * 4096);
        v[i].y = (fixed)(sgn[i][1] * hh * 4096);
    }
    /* (B - A) x (C - A) must face the eye (-z): TL, TR, BR and TL, BR, BL */
    rf::makeObject(&obj, v, {0, 1, 2, 0, 2, 3});
    set3D(&obj, (float)ox, (float)oy, (float)oz, 0, 0, 0);
    clr3D();
    project(&obj);

    /* plain perspective: screen = centre + (world - eye) * zoom / distance,
     * x scaled by 160 / 160, y by 120 / 120 with y flipped */
    const double dist = oz - (-400), zoom = 240;
    auto sx = [&](double wx) { return 160 + (wx - 20) * zoom / dist; };
    auto sy = [&](double wy) { return 120 - (wy - (-10)) * zoom / dist; };
    double left = sx(ox - hw), right = sx(ox + hw), top = sy(oy + hh), bottom = sy(oy - hh);
    for (double e : {left, right, top, bottom}) { /* no edge within reach of rounding */
        ASSERT_GT(e - std::floor(e), 0.05) << e;
        ASSERT_LT(e - std::floor(e), 0.95) << e;
    }

    const int y0 = (int)std::floor(top), y1 = (int)std::floor(bottom);
    const int x0 = (int)std::floor(left), x1 = (int)std::floor(right);
    for (int routine = 1; routine >= 0; routine--) {
        hits.assign(SCR_PIXELS, 0);
        setFillFunc(routine);
        setScanFunc(0);
        setShader(countingShader);
        draw3D(&obj);
        setShader(nullptr);
        int outside = 0, missing = 0, twice = 0;
        for (int y = 0; y < 240; y++)
            for (int x = 0; x < 320; x++) {
                bool inside = y >= y0 && y <= y1 && x >= x0 && x < x1;
                int h = hits[y * 320 + x];
                twice += h > 1;
                outside += h > 0 && !inside;
                /* the alternative routine starts its edges at the top of the
                 * first row, where a flat top has not begun: that row stays
                 * empty, and its two triangles may meet with an overlap */
                missing += h == 0 && inside && (routine == 1 || y > y0);
            }
        EXPECT_EQ(outside, 0) << "routine " << routine;
        EXPECT_EQ(missing, 0) << "routine " << routine;
        if (routine == 1) {
            EXPECT_EQ(twice, 0);
        }
    }
    setFillFunc(1);
    killTex(0);
    scr_exit();
}

} // namespace
