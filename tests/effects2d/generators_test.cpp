/* Generators: rotozoom (plain and blended), tunnel (plain and inverse). */
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "effects2d/kv_effects.h"
#include "tests/support/test_support.h"
#include "tests/effects2d/fx_surface.h"

namespace {

using Surface = Guarded<uint16_t>;

/* A texture whose texel at (row, col) holds (row << 8) | col. */
struct CodedTexture {
    std::vector<uint16_t> px;
    Pic16b pic{};
    CodedTexture(int w, int h) : px((size_t)w * h)
    {
        for (int r = 0; r < h; r++)
            for (int c = 0; c < w; c++)
                px[(size_t)r * w + c] = (uint16_t)((r << 8) | c);
        pic.pixels = px.data();
        pic.width = (uint16_t)w;
        pic.height = (uint16_t)h;
    }
};

struct Generators : ::testing::Test {
    void TearDown() override { fx_updateTime(0); }
};

TEST_F(Generators, RotozoomAtAngleZeroZoomOneShowsTheTextureCentredAndRepeating)
{
    CodedTexture t(256, 256);
    Surface s;
    gen_rotozoom(0.0f, 1.0f, &t.pic, s.s());
    EXPECT_EQ(s.at(160, 120), 0x8080); /* texel (128, 128) */
    for (int y = 0; y < SCR_H; y++)
        for (int x = 0; x < SCR_W; x++) {
            uint16_t want = (uint16_t)((((y + 8) & 255) << 8) | ((x - 32) & 255));
            ASSERT_EQ(s.at(x, y), want) << x << "," << y;
            if (x + 256 < SCR_W) {
                ASSERT_EQ(s.at(x, y), s.at(x + 256, y));
            }
        }
    EXPECT_TRUE(s.intact());
}

TEST_F(Generators, RotozoomWithZoomZeroShowsTheCentreTexelEverywhere)
{
    for (int size : {256, 64}) {
        CodedTexture t(size, size);
        Surface s;
        gen_rotozoom(0.7f, 0.0f, &t.pic, s.s());
        uint16_t centre = (uint16_t)(((size / 2) << 8) | (size / 2));
        for (int i = 0; i < SCR_PIXELS; i++)
            ASSERT_EQ(s.s()[i], centre) << size << " at " << i;
    }
}

TEST_F(Generators, RotozoomWrapsRowsByHeightAndColumnsByWidth)
{
    /* wider than high: the rows must wrap at 64, not at 256, or the walk
     * reads far beyond the texture */
    CodedTexture t(256, 64);
    Surface s;
    gen_rotozoom(0.0f, 1.0f, &t.pic, s.s());
    for (int y = 0; y < SCR_H; y++)
        for (int x = 0; x < SCR_W; x++) {
            uint16_t want = (uint16_t)((((y - 88) & 63) << 8) | ((x - 32) & 255));
            ASSERT_EQ(s.at(x, y), want) << x << "," << y;
        }
    /* any angle and zoom stays inside both buffers */
    gen_rotozoom(2.3f, 3.7f, &t.pic, s.s());
    gen_rotozoom(-1.0f, -250.0f, &t.pic, s.s());
    EXPECT_TRUE(s.intact());
}

TEST_F(Generators, RotozoomAlphaBlendsALoadedPictureIntoA24BitImage)
{
    /* A 64x32 TGA (non-square: rows wrap at 32, columns at 64): texel
     * (row, col) is (4 col, 8 row, 248), column 0 the key colour. */
    const int w = 64, h = 32;
    std::vector<uint8_t> file = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, w, 0, h, 0, 24, 0x20}; /* top-down */
    for (int r = 0; r < h; r++)
        for (int c = 0; c < w; c++) {
            if (c == 0)
                file.insert(file.end(), {255, 0, 255}); /* B, G, R */
            else
                file.insert(file.end(), {200, (uint8_t)(8 * r), (uint8_t)(4 * c)});
        }
    std::string dir = ts::makeTempDir("rotoalpha");
    ASSERT_TRUE(ts::writeFile(dir + "/t.tga", file));
    Pic16b tex{};
    loadTGA16b((dir + "/t.tga").c_str(), &tex);
    ASSERT_EQ(tex.width, w);
    ASSERT_EQ(tex.height, h);

    std::vector<uint8_t> dst(SCR_PIXELS * 3, 100); /* exactly 320x240x3: a write past it is caught */
    gen_rotozoomAlpha(0.0f, 1.0f, 0.0f, &tex, dst.data());
    /* 5 and 6 bits widened to 8 by repeating the top bits, then * 255 >> 8 */
    auto c5 = [](int v8) { int v = v8 >> 3; return ((v << 3 | v >> 2) * 255) >> 8; };
    auto c6 = [](int v8) { int v = v8 >> 2; return ((v << 2 | v >> 4) * 255) >> 8; };
    for (int y = 0; y < SCR_H; y++)
        for (int x = 0; x < SCR_W; x++) {
            int col = (x - 128) & 63, row = (y - 104) & 31; /* (160, 120) shows (32, 16) */
            const uint8_t* p = &dst[(size_t)(y * SCR_W + x) * 3];
            if (col == 0) {
                ASSERT_TRUE(p[0] == 100 && p[1] == 100 && p[2] == 100) << x << "," << y;
            } else {
                ASSERT_EQ(p[0], c5(4 * col)) << x << "," << y;
                ASSERT_EQ(p[1], c6(8 * row)) << x << "," << y;
                ASSERT_EQ(p[2], c5(200)) << x << "," << y;
            }
        }
    /* the offset moves the start of the walk by whole texels */
    gen_rotozoomAlpha(0.0f, 1.0f, 1.0f, &tex, dst.data());
    EXPECT_EQ(dst[(size_t)(120 * SCR_W + 160) * 3], c5(4 * 33));
    /* any angle, zoom and offset reads and writes inside both pictures */
    gen_rotozoomAlpha(1.1f, 9.0f, -77.5f, &tex, dst.data());
    gen_rotozoomAlpha(-2.0f, 0.3f, 1e6f, &tex, dst.data());
    killPic16b(&tex);
    ts::removeTree(dir);
}

TEST_F(Generators, TunnelWorkedPixelsAndTheCentreWithoutDivisionByZero)
{
    CodedTexture t(256, 256);
    Surface s;
    fx_updateTime(0);
    gen_tunnel(160.0f, 120.0f, &t.pic, s.s());
    /* centre: r = 100 raw, depth = 16000/r wraps to -1610612736; times
     * s = 8388 (2.048) it wraps to 243328.0, u = 128; dx = 0 gives angle 0 */
    EXPECT_EQ(s.at(160, 120), (0 << 8) | 128);
    /* (260, 120): r = 100.0, depth = 160.0, u = 160 * 2.048 = 327 -> 71;
     * dy = 0 so dx / 0.1 = 1001.5, atan -> pi/2 = 6434, / 2pi -> 1024 (0.25),
     * v = 0.25 * 256 * 6 = 384 -> 128 */
    EXPECT_EQ(s.at(260, 120), (128 << 8) | 71);
    /* a centre far off the screen wraps the squared distance: still inside */
    gen_tunnel(-70000.0f, 90000.0f, &t.pic, s.s());
    fx_updateTime(987654);
    gen_tunnel(3.5f, -2.25f, &t.pic, s.s());
    EXPECT_TRUE(s.intact());
}

TEST_F(Generators, TunnelMovesAlongTheTunnelWithTime)
{
    CodedTexture t(256, 256);
    Surface a, b;
    fx_updateTime(0);
    gen_tunnel(160.0f, 120.0f, &t.pic, a.s());
    /* 10 s later: t1 is 1000.0 more, which moves u by 1000 * 2.048 = 2047.85
     * texels (2047 or 2048 after truncation, -1 or 0 round the texture);
     * t2 is 1.0 more, which turns v by exactly 6 * 256 texels */
    fx_updateTime(10000);
    gen_tunnel(160.0f, 120.0f, &t.pic, b.s());
    int moved = 0;
    for (int i = 0; i < SCR_PIXELS; i++) {
        ASSERT_EQ(a.s()[i] >> 8, b.s()[i] >> 8) << i;
        int du = ((b.s()[i] & 0xFF) - (a.s()[i] & 0xFF)) & 255;
        ASSERT_TRUE(du == 0 || du == 255) << i << ": " << du;
        moved += du == 255;
    }
    EXPECT_GT(moved, SCR_PIXELS / 20);
    EXPECT_LT(moved, SCR_PIXELS / 4);
}

TEST_F(Generators, TunnelAlphaGivesTheCentreDepthZeroAndBlendsLow16BitWords)
{
    const int w = 64, h = 64;
    std::vector<int32_t> src(SCR_PIXELS * 4, 0);
    int32_t* last = &src[(size_t)(SCR_PIXELS - 1) * 4];
    last[0] = 0x0001FFFF; /* low 16 bits: -1 */
    last[1] = 2000;
    last[2] = 3000;
    last[3] = 0x000100FF; /* alpha 255 */
    Pic16b source{reinterpret_cast<uint16_t*>(src.data()), (uint16_t)h, (uint16_t)w, 6};
    std::vector<int32_t> dst(w * h * 4 + 16, 0);
    for (int i = 0; i < 16; i++)
        dst[w * h * 4 + i] = 0x5A5A5A5A;

    /* centred on the last pixel, which is processed last: every other pixel
     * has alpha 0 and value 0 and leaves the zero texture as it is */
    fx_updateTime(0);
    gen_tunnelAlpha(319.0f, 239.0f, &source, dst.data());
    EXPECT_EQ(dst[0], -1);   /* (-1 * 255) >> 8 */
    EXPECT_EQ(dst[1], 1992); /* (2000 * 255) >> 8 */
    EXPECT_EQ(dst[2], 2988);
    EXPECT_EQ(dst[3], 0); /* the alpha word is not blended */
    for (int i = 4; i < w * h * 4; i++)
        ASSERT_EQ(dst[i], 0) << i;

    for (float cx : {160.0f, -1000.0f, 1e9f}) {
        fx_updateTime(4321);
        gen_tunnelAlpha(cx, 120.0f, &source, dst.data());
    }
    for (int i = 0; i < 16; i++)
        ASSERT_EQ(dst[w * h * 4 + i], 0x5A5A5A5A);
}

TEST_F(Generators, NullArgumentsDoNothing)
{
    CodedTexture t(16, 16);
    Surface s;
    s.fillPattern();
    auto before = s.copy();
    Pic16b empty{};
    gen_rotozoom(0, 1, nullptr, s.s());
    gen_rotozoom(0, 1, &empty, s.s());
    gen_rotozoom(0, 1, &t.pic, nullptr);
    gen_tunnel(0, 0, &empty, s.s());
    gen_tunnel(0, 0, &t.pic, nullptr);
    gen_rotozoomAlpha(0, 1, 0, &empty, nullptr);
    gen_tunnelAlpha(0, 0, &empty, nullptr);
    gen_fill(nullptr, 0, 0, 10, 10, 1);
    mod_blur(nullptr, 0, 0, 10, 10, 2);
    mod_wave(nullptr, 0, 0, 0, 0, 0);
    mod_wind(nullptr, 0, 0, 1, 1);
    EXPECT_EQ(s.copy(), before);
    fx_kill();
}

} // namespace
