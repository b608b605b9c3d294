/* Filters: the saturating add, the rectangle rules, blurs, noise, levels,
 * inversion, wave and wind. */
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "effects2d/kv_effects.h"
#include "math/kv_random.h"
#include "tests/effects2d/fx_surface.h"

namespace {

using Surface = Guarded<uint16_t>;
using Plane = Guarded<uint8_t>;

uint16_t rgb(int r5, int g6, int b5)
{
    return (uint16_t)((r5 << 11) | (g6 << 5) | b5);
}

struct Filters : ::testing::Test {
    void TearDown() override
    {
        fx_updateTime(0);
        fx_kill();
    }
};

TEST(PixelAdd, WorkedValues)
{
    struct {
        uint16_t pixel, colour, want;
    } cases[] = {
        {0xF800, 0xF800, 0xF000}, /* red saturates, loses its low bit */
        {0x0010, 0x0010, 0x003E}, /* blue carries into bit 4: saturates */
        {0xFFFF, 0xFFFF, 0xFFFE},
        {0x0000, 0x1234, 0x1214}, /* each field loses its lowest bit */
        {0xABCD, 0x0000, 0xABCD}, /* colour 0: nothing */
        {0x0000, 0x0000, 0x0000},
    };
    for (auto& c : cases) {
        uint16_t p = c.pixel;
        pixelAdd(&p, c.colour);
        EXPECT_EQ(p, c.want) << std::hex << c.pixel << " + " << c.colour;
    }
    pixelAdd(nullptr, 0x1234); /* ignored */
}

TEST_F(Filters, RectanglesAreClampedHalfOpenAndSigned16Bit)
{
    Surface s;
    for (int i = 0; i < SCR_PIXELS; i++)
        s.s()[i] = 0;
    gen_fill(s.s(), -5, -5, 400, 300, 0x1111);
    for (int i = 0; i < SCR_PIXELS; i++)
        ASSERT_EQ(s.s()[i], 0x1111) << i;
    EXPECT_TRUE(s.intact());

    gen_fill(s.s(), 0, 0, 320, 240, 0);
    gen_fill(s.s(), 50, 10, 50, 20, 7); /* x1 == x0 */
    gen_fill(s.s(), 60, 10, 40, 20, 7); /* x1 < x0 */
    gen_fill(s.s(), 10, 30, 20, 30, 7); /* y1 == y0 */
    gen_fill(s.s(), 320, 0, 400, 240, 7);
    gen_fill(s.s(), -100, -100, 0, 0, 7);
    for (int i = 0; i < SCR_PIXELS; i++)
        ASSERT_EQ(s.s()[i], 0) << i;

    /* half-open: exactly the 2 x 2 pixels (10..11, 20..21) */
    mod_invert(s.s(), 10, 20, 12, 22);
    int changed = 0;
    for (int y = 0; y < SCR_H; y++)
        for (int x = 0; x < SCR_W; x++)
            if (s.at(x, y)) {
                changed++;
                EXPECT_TRUE(x >= 10 && x < 12 && y >= 20 && y < 22) << x << "," << y;
            }
    EXPECT_EQ(changed, 4);

    /* coordinates are 16-bit signed: 0xFFFF is -1, so this starts at 0 */
    gen_fill(s.s(), (int16_t)0xFFFF, 0, 1, 1, 9);
    EXPECT_EQ(s.at(0, 0), 9);
    /* a rectangle reaching the last pixel */
    gen_fill(s.s(), 318, 238, 330, 250, 5);
    EXPECT_EQ(s.at(318, 238), 5);
    EXPECT_EQ(s.at(319, 239), 5);
    EXPECT_EQ(s.at(317, 239), 0);
    EXPECT_TRUE(s.intact());
}

TEST_F(Filters, InvertTwiceRestoresAndBlackBecomesWhite)
{
    Surface s;
    s.fillPattern();
    s.s()[0] = 0;
    auto before = s.copy();
    mod_invert(s.s(), 0, 0, 320, 240);
    EXPECT_EQ(s.s()[0], 0xFFFF);
    EXPECT_EQ(s.s()[5], (uint16_t)~before[5]);
    mod_invert(s.s(), 0, 0, 320, 240);
    EXPECT_EQ(s.copy(), before);
    EXPECT_TRUE(s.intact());
}

TEST_F(Filters, BlurShiftOneAveragesWithLeftThenUpperNeighbour)
{
    Surface s;
    for (int i = 0; i < SCR_PIXELS; i++)
        s.s()[i] = 0xFFFF;
    /* blue values of a 3 x 2 rectangle at (10, 10) */
    const int blue[2][3] = {{2, 4, 8}, {6, 10, 20}};
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 3; x++)
            s.at(10 + x, 10 + y) = (uint16_t)blue[y][x];
    mod_blur(s.s(), 10, 10, 13, 12, 1);
    /* rows: [2, 3, 6] and [6, 8, 15]; then columns: the top row alone,
     * the second averaged with the first */
    const int want[2][3] = {{2, 3, 6}, {4, 5, 10}};
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 3; x++)
            EXPECT_EQ(s.at(10 + x, 10 + y), want[y][x]) << x << "," << y;
    EXPECT_EQ(s.at(9, 10), 0xFFFF);
    EXPECT_EQ(s.at(13, 11), 0xFFFF);
    EXPECT_EQ(s.at(10, 12), 0xFFFF);

    /* the three fields are averaged separately */
    s.at(100, 100) = 0xF800;
    s.at(101, 100) = 0x001F;
    mod_blur(s.s(), 100, 100, 102, 101, 1);
    EXPECT_EQ(s.at(101, 100), 0x780F); /* red (0xF800 / 2) & 0xF800, blue 31 / 2 */
    EXPECT_TRUE(s.intact());
}

TEST_F(Filters, BlurWindowsNeverLeaveTheRectangle)
{
    Surface s;
    for (int i = 0; i < SCR_PIXELS; i++)
        s.s()[i] = 0xFFFF;
    gen_fill(s.s(), 100, 50, 110, 60, 0);
    mod_blur(s.s(), 100, 50, 110, 60, 3);
    for (int y = 0; y < SCR_H; y++)
        for (int x = 0; x < SCR_W; x++) {
            bool inside = x >= 100 && x < 110 && y >= 50 && y < 60;
            ASSERT_EQ(s.at(x, y), inside ? 0 : 0xFFFF) << x << "," << y;
        }
}

TEST_F(Filters, BlurLeavesUniformAreasAndDoesNothingForShiftZeroOrLess)
{
    Surface s;
    s.fillPattern();
    auto before = s.copy();
    mod_blur(s.s(), 0, 0, 320, 240, 0);
    mod_blur(s.s(), 0, 0, 320, 240, -3);
    EXPECT_EQ(s.copy(), before);

    gen_fill(s.s(), 20, 20, 200, 100, 0x7BCF);
    mod_blur(s.s(), 20, 20, 200, 100, 4);
    for (int y = 20; y < 100; y++)
        for (int x = 20; x < 200; x++)
            ASSERT_EQ(s.at(x, y), 0x7BCF);

    /* a shift beyond the rectangle's size averages whole rows, then whole
     * columns: the rectangle ends up one colour */
    s.fillPattern(3);
    mod_blur(s.s(), 0, 0, 320, 240, 127);
    for (int i = 1; i < SCR_PIXELS; i++)
        ASSERT_EQ(s.s()[i], s.s()[0]) << i;
    EXPECT_TRUE(s.intact());
}

TEST_F(Filters, ByteBlurSpreadsAPointOverItsWindowAndShrinksAtEdges)
{
    Plane p;
    for (int i = 0; i < SCR_PIXELS; i++)
        p.s()[i] = 0;
    p.at(50, 50) = 255;
    p.at(0, 0) = 255;
    mod_blur8b(p.s(), 0, 0, 320, 240, 2); /* window x-2 .. x+1 */
    for (int y = 40; y < 60; y++)
        for (int x = 40; x < 60; x++) {
            bool hit = x >= 49 && x <= 52 && y >= 49 && y <= 52;
            ASSERT_EQ(p.at(x, y), hit ? 15 : 0) << x << "," << y; /* 255/4 = 63, 63/4 = 15 */
        }
    /* at the corner the windows hold 2, 3, 4 pixels: 127, 85, 63 across,
     * then down again */
    EXPECT_EQ(p.at(0, 0), 63);  /* 127 / 2 */
    EXPECT_EQ(p.at(1, 0), 42);  /* 85 / 2 */
    EXPECT_EQ(p.at(0, 1), 42);  /* 127 / 3 */
    EXPECT_EQ(p.at(2, 2), 15);  /* 63 / 4 */
    EXPECT_EQ(p.at(3, 0), 0);
    auto before = p.copy();
    mod_blur8b(p.s(), 0, 0, 320, 240, 0);
    EXPECT_EQ(p.copy(), before);
    EXPECT_TRUE(p.intact());
}

TEST_F(Filters, NoiseAddsOneSignedAmountScaledToEachField)
{
    Surface s;
    const uint16_t grey = rgb(16, 32, 16);
    for (int i = 0; i < SCR_PIXELS; i++)
        s.s()[i] = grey;
    mod_noize(s.s(), 0, 0, 320, 240, 0);
    for (int i = 0; i < SCR_PIXELS; i++)
        ASSERT_EQ(s.s()[i], grey);

    kv_srand(1234);
    mod_noize(s.s(), 0, 0, 320, 240, 100);
    int moved = 0;
    for (int i = 0; i < SCR_PIXELS; i++) {
        int p = s.s()[i];
        int dr = (p >> 11) - 16, dg = ((p >> 5) & 63) - 32, db = (p & 31) - 16;
        ASSERT_EQ(dr, db) << i;
        ASSERT_LE(std::abs(dr), 50 / 8) << i;
        /* green gets n / 4, red and blue n / 8 of the same n */
        ASSERT_LE(std::abs(dg - 2 * dr), 1) << i;
        ASSERT_LE(std::abs(dg), 50 / 4) << i;
        moved += p != grey;
    }
    EXPECT_GT(moved, SCR_PIXELS / 2);

    /* the same seed gives the same picture */
    auto once = s.copy();
    for (int i = 0; i < SCR_PIXELS; i++)
        s.s()[i] = grey;
    kv_srand(1234);
    mod_noize(s.s(), 0, 0, 320, 240, 100);
    EXPECT_EQ(s.copy(), once);
    EXPECT_TRUE(s.intact());
}

TEST_F(Filters, NoiseAndLevelsSaturateAndStayInsideUpToTheLastPixel)
{
    Surface s;
    for (int i = 0; i < SCR_PIXELS; i++)
        s.s()[i] = (i & 1) ? 0xFFFF : 0x0000;
    kv_srand(99);
    mod_noize(s.s(), 300, 230, 320, 240, 255);
    EXPECT_TRUE(s.intact());
    /* black and white can only move inwards; untouched outside */
    int changed = 0;
    for (int y = 0; y < SCR_H; y++)
        for (int x = 0; x < SCR_W; x++) {
            uint16_t was = ((y * SCR_W + x) & 1) ? 0xFFFF : 0x0000;
            if (x < 300 || y < 230)
                ASSERT_EQ(s.at(x, y), was);
            else
                changed += s.at(x, y) != was;
        }
    EXPECT_GT(changed, 0);

    mod_level(s.s(), 300, 230, 320, 240, 0, 1);
    EXPECT_TRUE(s.intact());
}

TEST_F(Filters, LevelsStretchTheRangeOverTheFullScale)
{
    Surface s;
    /* every RGB565 colour once: 0 .. 65535, then a few repeated */
    for (int i = 0; i < SCR_PIXELS; i++)
        s.s()[i] = (uint16_t)i;
    mod_level(s.s(), 0, 0, 320, 240, 0, 255);
    for (int i = 0; i < SCR_PIXELS; i++)
        ASSERT_EQ(s.s()[i], (uint16_t)i) << "0..255 is the identity, colour " << i;

    /* [64, 191] stretched: below 64 black, above 191 full */
    s.at(0, 0) = rgb(7, 15, 7);    /* 8-bit 57, 60, 57 */
    s.at(1, 0) = rgb(24, 48, 24);  /* 8-bit 198, 195, 198 */
    s.at(2, 0) = rgb(16, 32, 16);  /* 8-bit 132, 130, 132 */
    mod_level(s.s(), 0, 0, 3, 1, 64, 191);
    EXPECT_EQ(s.at(0, 0), 0x0000);
    EXPECT_EQ(s.at(1, 0), 0xFFFF);
    /* (132 - 64) * 256/127 = 137.07 -> 137 >> 3 = 17; (130 - 64) * 256/127 = 133.04 -> 133 >> 2 = 33 */
    EXPECT_EQ(s.at(2, 0), rgb(17, 33, 17));

    /* hi < lo stretches the other way round: an inversion for 255, 0 */
    s.at(0, 0) = 0x0000;
    s.at(1, 0) = 0xFFFF;
    mod_level(s.s(), 0, 0, 2, 1, 255, 0);
    EXPECT_EQ(s.at(0, 0), 0xFFFF);
    EXPECT_EQ(s.at(1, 0), 0x0000);

    /* hi == lo is a threshold, not a division by zero */
    s.at(0, 0) = rgb(16, 31, 15); /* 8-bit 132, 125, 123 */
    mod_level(s.s(), 0, 0, 1, 1, 128, 128);
    EXPECT_EQ(s.at(0, 0), rgb(31, 0, 0));
    EXPECT_TRUE(s.intact());
}

TEST_F(Filters, WaveWithoutAmplitudeIsTheIdentity)
{
    Surface s;
    s.fillPattern();
    auto before = s.copy();
    fx_updateTime(12345);
    mod_wave(s.s(), 0.05f, 0.07f, 0.0f, 0.0f, 0.003f);
    EXPECT_EQ(s.copy(), before);
}

TEST_F(Filters, WaveShiftsByTheSineAndClampsAtTheEdges)
{
    Surface s;
    s.fillPattern();
    auto before = s.copy();
    /* t = pi/2: sine 1 shifts every column by 3.5 -> 3 */
    fx_updateTime(1);
    mod_wave(s.s(), 0.0f, 0.0f, 3.5f, 0.0f, 1.5707964f);
    for (int y = 0; y < SCR_H; y++)
        for (int x = 0; x < SCR_W; x++) {
            int sx = x + 3 > 319 ? 319 : x + 3;
            ASSERT_EQ(s.at(x, y), before[y * SCR_W + sx]) << x << "," << y;
        }
    /* a huge amplitude only ever reads the edge pixels */
    s.fillPattern();
    before = s.copy();
    mod_wave(s.s(), 0.0f, 0.0f, -1e9f, 0.0f, 1.5707964f);
    for (int y = 0; y < SCR_H; y++)
        ASSERT_EQ(s.at(200, y), before[y * SCR_W]);
    EXPECT_TRUE(s.intact());
}

TEST_F(Filters, WindWithStartChanceOneAndNoGustIsTheIdentity)
{
    Surface s;
    s.fillPattern();
    auto before = s.copy();
    kv_srand(5);
    mod_wind(s.s(), 0.0f, 3.0f, 1, 2);
    EXPECT_EQ(s.copy(), before);
    /* a chance below 1 does nothing at all */
    mod_wind(s.s(), 5.0f, 3.0f, 0, 2);
    mod_wind(s.s(), 5.0f, 3.0f, 2, -1);
    EXPECT_EQ(s.copy(), before);
}

TEST_F(Filters, WindCopiesContiguousRunsAndStaysInsideForAnyGust)
{
    Surface s;
    for (int i = 0; i < SCR_PIXELS; i++)
        s.s()[i] = (uint16_t)(i + 1); /* the source index + 1, mod 65536 */
    kv_srand(77);
    mod_wind(s.s(), 1.0f, 0.0f, 1, 1000000);
    /* every written row is a run of consecutive source pixels, except where
     * the source stops at its last pixel; unwritten rows stay 0 (the scratch
     * picture starts zero-filled) */
    for (int y = 0; y < SCR_H; y++) {
        if (s.at(0, y) == 0)
            continue;
        for (int x = 1; x < SCR_W; x++) {
            uint16_t a = s.at(x - 1, y), b = s.at(x, y);
            ASSERT_TRUE(b == (uint16_t)(a + 1) || (a == b && a == (uint16_t)SCR_PIXELS)) << x << "," << y;
        }
    }
    /* gusts far past both ends of the surface */
    for (unsigned seed = 1; seed < 6; seed++) {
        kv_srand(seed);
        mod_wind(s.s(), 1e7f, -1e9f, 2, 3);
        mod_wind(s.s(), -3e9f, 1e9f, 1, 1);
        ASSERT_TRUE(s.intact());
    }
}

} // namespace
