/* Ribbons: cubic interpolation, arc lengths, points along the curve, the
 * brush stamps and the colour pass, and fp_lerp. */
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "effects2d/kv_effects.h"
#include "video/kv_texture.h"

namespace {

fixed fx(float v)
{
    return fp_convf(v);
}

RibbonPoint point(float x, float y, float z, float sx, float sy, float depth)
{
    RibbonPoint p{};
    p.pos = {fx(x), fx(y), fx(z)};
    p.proj = {fx(sx), fx(sy), fx(depth)};
    return p;
}

fixed down16(fixed v)
{
    return (v >> 4) * 16;
}

TEST(Cerp, EqualPointsAndTheStartGiveThePointRoundedDownTo16)
{
    for (fixed v : {0, 12345, -12345, 409607, -1})
        for (fixed t : {0, 1000, 2048, 4095, 4096})
            EXPECT_EQ(cerp(v, v, v, v, t), down16(v)) << v << " at " << t;
    EXPECT_EQ(cerp(fx(3), fx(-7.3f), fx(40), fx(2), 0), down16(fx(-7.3f)));
    EXPECT_EQ(cerp(-99999, 55555, 1, 77777, 0), down16(55555));
}

TEST(Cerp, EndsAtTheSecondPointUpToTheShifts)
{
    struct {
        float p0, p1, p2, p3;
    } cases[] = {{0, 10, 20, 30}, {-5, 3, -40, 7}, {100, 100.5f, 99, 50}, {1, -1, 1, -1}};
    for (auto& c : cases) {
        fixed r = cerp(fx(c.p0), fx(c.p1), fx(c.p2), fx(c.p3), FP_ONE);
        EXPECT_NEAR(r, fx(c.p2), 48) << c.p2;
    }
}

TEST(RibbonLength, SumsTheSegmentsAndIsZeroForOnePoint)
{
    RibbonPoint one[1] = {point(5, 5, 5, 0, 0, 1)};
    one[0].totalLen = 777;
    Ribbon r1{1, one, 0};
    EXPECT_EQ(calcRibbonLen(&r1), 0);
    EXPECT_EQ(one[0].totalLen, 0);

    RibbonPoint three[3] = {point(0, 0, 0, 0, 0, 1), point(3, 4, 0, 0, 0, 1), point(3, 4, 12, 0, 0, 1)};
    three[2].segLen = -5; /* the last point has no segment: left alone */
    Ribbon r3{3, three, 0};
    EXPECT_EQ(calcRibbonLen(&r3), fx(17));
    EXPECT_EQ(three[0].segLen, fx(5));
    EXPECT_EQ(three[1].segLen, fx(12));
    EXPECT_EQ(three[2].segLen, -5);
    EXPECT_EQ(three[0].totalLen, fx(17));

    Ribbon none{0, nullptr, 0};
    EXPECT_EQ(calcRibbonLen(&none), 0);
    EXPECT_EQ(calcRibbonLen(nullptr), 0);
}

TEST(RibbonCurve, TwoPointsMakeAStraightSegment)
{
    RibbonPoint pts[2] = {point(0, 0, 0, 10, 20, 1), point(100, 50, 0, 110, 70, 3)};
    Ribbon r{2, pts, 0};
    calcRibbonLen(&r);
    fixed lastX = -1;
    for (int k = 0; k <= 64; k++) {
        fixed x, y, d;
        cerpTotal(&r, k * 64, &x, &y, &d);
        fixed dx = x - fx(10), dy = y - fx(20), dd = d - fx(1);
        /* on the line: dx = 2 dy, depth = 1 + dx / 50 */
        EXPECT_NEAR(dx, 2 * dy, 64) << k;
        EXPECT_NEAR(dd, dx / 50, 32) << k;
        EXPECT_GE(x, lastX) << k;
        lastX = x;
    }
    fixed x, y, d;
    cerpTotal(&r, 0, &x, &y, &d);
    EXPECT_EQ(x, fx(10));
    EXPECT_EQ(y, fx(20));
    cerpTotal(&r, FP_ONE, &x, &y, &d);
    EXPECT_NEAR(x, fx(110), 48);
    EXPECT_NEAR(y, fx(70), 48);
    EXPECT_NEAR(d, fx(3), 48);
}

TEST(RibbonCurve, PassesThroughTheInnerPoints)
{
    RibbonPoint pts[4] = {point(0, 0, 0, 0, 0, 1), point(10, 0, 0, 50, 80, 2), point(20, 0, 0, 100, 20, 2),
                          point(30, 0, 0, 150, 60, 1)};
    Ribbon r{4, pts, 0};
    calcRibbonLen(&r);
    fixed x, y, d;
    cerpTotal(&r, FP_ONE / 3 + 1, &x, &y, &d); /* just past the end of segment 0 */
    EXPECT_NEAR(x, fx(50), 300);
    EXPECT_NEAR(y, fx(80), 300);
    cerpTotal(&r, 2 * FP_ONE / 3 + 1, &x, &y, &d);
    EXPECT_NEAR(x, fx(100), 300);
    EXPECT_NEAR(y, fx(20), 300);
}

TEST(RibbonCurve, OutsideItsBoundsGivesTheNearestValidPoint)
{
    RibbonPoint pts[3] = {point(0, 0, 0, 10, 20, 1), point(10, 0, 0, 60, 20, 1), point(20, 0, 0, 110, 40, 2)};
    Ribbon r{3, pts, 0};
    calcRibbonLen(&r);
    fixed x, y, d, x2, y2, d2;
    cerpTotal(&r, -5000, &x, &y, &d);
    cerpTotal(&r, 0, &x2, &y2, &d2);
    EXPECT_EQ(x, x2);
    EXPECT_EQ(y, y2);
    cerpTotal(&r, 100 * FP_ONE, &x, &y, &d); /* past the end: the end */
    cerpTotal(&r, FP_ONE, &x2, &y2, &d2);
    EXPECT_EQ(x, x2);
    EXPECT_NEAR(x, fx(110), 48);
    EXPECT_NEAR(y, fx(40), 48);

    /* one point: that point; none: zeros */
    Ribbon r1{1, pts, 0};
    cerpTotal(&r1, 2000, &x, &y, &d);
    EXPECT_EQ(x, pts[0].proj.x);
    EXPECT_EQ(d, pts[0].proj.z);
    Ribbon r0{0, nullptr, 0};
    cerpTotal(&r0, 2000, &x, &y, &d);
    EXPECT_EQ(x | y | d, 0);

    /* a first segment of length 0, and a ribbon of length 0: the start */
    RibbonPoint same[3] = {point(1, 1, 1, 30, 40, 1), point(1, 1, 1, 70, 80, 1), point(9, 1, 1, 90, 90, 1)};
    Ribbon rs{3, same, 0};
    calcRibbonLen(&rs);
    EXPECT_EQ(same[0].segLen, 0);
    cerpTotal(&rs, 0, &x, &y, &d);
    EXPECT_EQ(x, fx(30));
    EXPECT_EQ(y, fx(40));
    same[2].pos = same[0].pos;
    calcRibbonLen(&rs);
    cerpTotal(&rs, 3000, &x, &y, &d);
    EXPECT_EQ(x, fx(30));

    /* lengths that no longer add up (pos moved, not recalculated): the end */
    calcRibbonLen(&r);
    pts[0].totalLen *= 10;
    cerpTotal(&r, FP_ONE / 2, &x, &y, &d);
    EXPECT_NEAR(x, fx(110), 48);
}

TEST(Lerp, FloatBlendTruncatedTowardZero)
{
    EXPECT_EQ(fp_lerp(10.0f, 20.0f, 2048.0f), 15);
    EXPECT_EQ(fp_lerp(10.0f, 20.0f, 0.0f), 10);
    EXPECT_EQ(fp_lerp(10.0f, 20.0f, 4096.0f), 20);
    EXPECT_EQ(fp_lerp(-10.0f, 0.0f, 1.0f), -9);   /* -9.9976 */
    EXPECT_EQ(fp_lerp(0.0f, 100.0f, 4095.0f), 99); /* 99.9756 */
    EXPECT_EQ(fp_lerp(0.0f, 1e6f, 1e12f), INT32_MAX); /* saturates */
}

/* drawRibbon with a ramp in slot 0 (every intensity but 0 shows 0xFFFF) and
 * a uniform brush in slot 1. */
struct Drawing : ::testing::Test {
    uint16_t* frame = nullptr;
    RibbonPoint pts[2] = {};
    Ribbon rib{2, pts, 0};

    void SetUp() override
    {
        frame = scr_init();
        ASSERT_NE(frame, nullptr);
        scr_clrc(0);
        setTexture(0, 256, 1, 0xFFFF);
        tex[0].pixels[0] = 0;
        setTexture(1, 64, 64, 0x21);
        at(160, 120, 1);
    }
    void TearDown() override
    {
        killAllTex();
        scr_exit();
    }
    static void setTexture(int slot, int w, int h, uint16_t v)
    {
        killTex(slot);
        tex[slot].pixels = (uint16_t*)malloc(sizeof(uint16_t) * w * h);
        tex[slot].width = (uint16_t)w;
        tex[slot].height = (uint16_t)h;
        for (int i = 0; i < w * h; i++)
            tex[slot].pixels[i] = v;
    }
    /* Both points at one screen position, a unit apart in space. */
    void at(float x, float y, float depth)
    {
        pts[0] = point(0, 0, 0, x, y, depth);
        pts[1] = point(1, 0, 0, x, y, depth);
        calcRibbonLen(&rib);
    }
    static int plane(int x, int y) { return scr8b[y * SCR_W + x]; }
    int lit() const
    {
        int n = 0;
        for (int i = 0; i < SCR_PIXELS; i++)
            n += frame[i] != 0;
        return n;
    }
};

TEST_F(Drawing, BrushLowByteIsShiftedAndWrapsThenBlurredAndColoured)
{
    drawRibbon(&rib, 40); /* a 40 x 40 stamp over columns 140..179, rows 100..139 */
    EXPECT_EQ(plane(160, 120), 8); /* 0x21 << 3 = 0x108 -> 8 */
    EXPECT_EQ(plane(140, 120), 4); /* blur window 138..141 holds two stamped pixels */
    EXPECT_EQ(plane(180, 120), 4);
    EXPECT_EQ(plane(181, 120), 2);
    EXPECT_EQ(plane(137, 120), 0);
    EXPECT_EQ(plane(160, 99), 2);
    EXPECT_EQ(frame[120 * SCR_W + 160], 0xF7DE); /* 0xFFFF added onto black: each field loses its low bit */
    EXPECT_EQ(frame[10 * SCR_W + 10], 0);

    setTexture(1, 64, 64, 0x1F);
    drawRibbon(&rib, 40);
    EXPECT_EQ(plane(160, 120), 248);
    setTexture(1, 64, 64, 0x20); /* 0x100: wraps to 0 */
    scr_clrc(0);
    drawRibbon(&rib, 40);
    EXPECT_EQ(plane(160, 120), 0);
    EXPECT_EQ(lit(), 0);
}

TEST_F(Drawing, SamplesWithoutDepthOrSizeDrawNothing)
{
    for (float depth : {0.0f, -3.0f, 0.5f}) {
        at(160, 120, depth);
        drawRibbon(&rib, 40);
        EXPECT_EQ(lit(), 0) << depth;
    }
    at(160, 120, 10);
    drawRibbon(&rib, 5); /* 5 / 10 = 0 pixels */
    EXPECT_EQ(lit(), 0);
    drawRibbon(&rib, -40);
    EXPECT_EQ(lit(), 0);
}

TEST_F(Drawing, StampsAreClippedAndNeverTouchColumnOrRowZero)
{
    at(-10, -10, 1);
    drawRibbon(&rib, 40); /* columns -30..9: only 1..9 are stamped */
    EXPECT_EQ(plane(5, 5), 8);
    EXPECT_EQ(plane(0, 5), 4); /* column 0 itself unstamped: half the window */
    EXPECT_EQ(plane(5, 0), 4);
    EXPECT_EQ(plane(12, 5), 0);

    /* a stamp far larger than the screen, and stamps far outside it */
    at(160, 120, 1);
    drawRibbon(&rib, 1 << 30);
    EXPECT_EQ(plane(160, 120), 8);
    EXPECT_EQ(plane(319, 239), 8);
    at(100000, -50000, 2);
    drawRibbon(&rib, 1 << 30);
    at(-500000, 500000, 1);
    drawRibbon(&rib, 64);
    EXPECT_EQ(plane(160, 120), 0);
}

TEST_F(Drawing, MissingOrSmallTexturesDrawNothing)
{
    for (int slot : {-1, 63, 5}) {
        rib.texSlot = slot;
        drawRibbon(&rib, 40);
        EXPECT_EQ(lit(), 0) << slot;
    }
    rib.texSlot = 0;
    setTexture(0, 255, 1, 0xFFFF); /* one entry short */
    drawRibbon(&rib, 40);
    EXPECT_EQ(lit(), 0);
    setTexture(0, 256, 1, 0xFFFF);
    setTexture(1, 64, 63, 0x1F); /* one row short */
    drawRibbon(&rib, 40);
    EXPECT_EQ(lit(), 0);
    drawRibbon(nullptr, 40);
    EXPECT_EQ(lit(), 0);
}

} // namespace
