/* The fractal zoom and the two pixel hooks. */
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <utility>
#include <vector>

#include "demo/demo.h"
#include "math/kv_random.h"
#include "platform/headless/headless.h"
#include "platform/kv_sys.h"
#include "video/kv_texture.h"

namespace {

struct Fractal : ::testing::Test {
    uint16_t* buf = nullptr;
    void SetUp() override
    {
        buf = scr_init();
        ASSERT_NE(buf, nullptr);
    }
    void TearDown() override { scr_exit(); }
};

/* The palette as the rule builds it from the generator seeded with seed:
 * the C library's own rand, whose numbers the engine's generator repeats. */
std::vector<uint16_t> expectedPalette(unsigned seed)
{
    srand(seed);
    std::vector<uint16_t> p;
    for (int i = 0; i < 64; i++) {
        int r = rand(), o = rand(), m = rand(); /* desktop and headless order */
        float l = 1.0f - (float)i * 0.015625f;
        unsigned red = (unsigned)((float)(i * 109) * 0.015625f + l * 105.0f + (float)(m & 3));
        unsigned green = (unsigned)((float)(i * 187) * 0.015625f + l * 108.0f + (float)(o & 3));
        unsigned blue = (unsigned)((float)(i * 145) * 0.015625f + l * 99.0f + (float)(r & 3));
        p.push_back(scr_RGB2W(red, green, blue));
    }
    return p;
}

TEST_F(Fractal, PaletteIsBuiltOnceFromRandAndTheDoublingRepeatsTheEdges)
{
    ASSERT_EQ(sysHandheld, 0);
    EXPECT_EQ(demo_fractalPalette()[0], 0);
    std::vector<uint16_t> want = expectedPalette(77);
    kv_srand(77);
    draw_fractal_fp(1.0f, -1);
    const uint16_t* pal = demo_fractalPalette();
    for (int i = 0; i < 64; i++)
        EXPECT_EQ(pal[i], want[i]) << i;
    /* ramp from about (105, 108, 99) to about (109, 186, 144) */
    EXPECT_NEAR(pal[0] >> 11, 105 >> 3, 1);
    EXPECT_NEAR(pal[63] >> 11, 109 >> 3, 1);
    EXPECT_NEAR((pal[63] >> 5) & 63, 186 >> 2, 1);

    /* At zoom 1 the top-left block pixel is c = (-40.4, -60.5): |c|^2 > 4
     * stops at i = 2 (the test uses the values before the update). */
    EXPECT_EQ(buf[0], pal[2]);

    /* every screen pixel comes from the block at (clamp(x-100, 0, 159) >> 1, y >> 1) */
    kv_srand(5);
    draw_fractal_fp(4.5f, -1);
    std::vector<uint16_t> doubled(buf, buf + SCR_PIXELS);
    for (int y = 0; y < SCR_H; y += 2) {
        for (int x = 0; x < 102; x++)
            ASSERT_EQ(doubled[y * 320 + x], doubled[y * 320]) << x << "," << y;
        for (int x = 258; x < 320; x++)
            ASSERT_EQ(doubled[y * 320 + x], doubled[y * 320 + 319]) << x << "," << y;
        for (int x = 100; x < 260; x += 2)
            ASSERT_EQ(doubled[y * 320 + x], doubled[y * 320 + x + 1]) << x << "," << y;
        for (int x = 0; x < 320; x++)
            ASSERT_EQ(doubled[y * 320 + x], doubled[(y + 1) * 320 + x]) << x << "," << y;
    }
    /* the palette stays as it was: rand is not drawn again */
    for (int i = 0; i < 64; i++)
        EXPECT_EQ(pal[i], want[i]) << i;
    /* every pixel is a palette colour */
    for (int i = 0; i < SCR_PIXELS; i++) {
        bool found = false;
        for (int k = 0; k < 63 && !found; k++)
            found = buf[i] == pal[k];
        ASSERT_TRUE(found) << i;
    }
}

TEST_F(Fractal, NoScreenNoDrawing)
{
    /* without a back buffer nothing runs: not even the palette's draws */
    kv_srand(3);
    int first = kv_rand();
    kv_srand(3);
    scr_exit();
    draw_fractal_fp(4.0f, 0);
    part_fract(0, -1);
    EXPECT_EQ(kv_rand(), first);
    buf = scr_init();
}

TEST(PixelHooks, NoiseWithAnEmptyMaskDrawsNothing)
{
    uint16_t px[512] = {};
    fixed z[512] = {};
    sh_noise = 0;
    for (int i = 0; i < 512; i++)
        func_noise(&px[i], &z[i], 0x1234, 77);
    for (int i = 0; i < 512; i++) {
        EXPECT_EQ(px[i], 0);
        EXPECT_EQ(z[i], 0);
    }
    /* With a full mask the density follows bands of 128 pixels counted from
     * the target's first pixel: band 0 is never drawn, the others in part,
     * pixel and depth together. */
    sh_noise = 15;
    static uint16_t band[4096];
    static fixed zb[4096];
    uint16_t* target = rTarget;
    rTarget = band;
    int drawn = 0;
    for (int i = 0; i < 4096; i++) {
        func_noise(&band[i], &zb[i], 0x1234, 77);
        EXPECT_EQ(band[i] == 0x1234, zb[i] == 77);
        if (i < 128) {
            EXPECT_EQ(band[i], 0) << i;
        }
        drawn += band[i] == 0x1234;
    }
    rTarget = target;
    EXPECT_GT(drawn, 0);
    EXPECT_LT(drawn, 4096);
}

TEST(PixelHooks, AddIsTheSaturatingHalfSumAndLeavesTheDepth)
{
    uint16_t px = 0;
    fixed z = 123;
    func_add(&px, &z, 0xF800, 5);
    EXPECT_EQ(px, 0xF000);
    px = 0;
    func_add(&px, &z, 0xFFFF, 5);
    EXPECT_EQ(px, 0xF7DE);
    func_add(&px, &z, 0, 5);
    EXPECT_EQ(px, 0xF7DE);
    EXPECT_EQ(z, 123);
}

/* The span forms that draw_scanline hands whole spans to against the hooks
 * called pixel by pixel: on random spans (crossing near, steep, up to three
 * rows long, so that the stipple's fallback for long spans runs too) over
 * textures with key and black texels, 256 texels wide (the fast loop's
 * constant row shift), 64 and 4096 (the plain addressing), from random
 * points of the random sequence: the same pixels, depths and next number.
 * 256 x 256 takes the stipple's fast loop, piece by piece of the bands. */
TEST(PixelHooks, SpanFormsDrawAndDrawNumbersAsTheHooksPixelByPixel)
{
    std::mt19937 rng(8);
    static uint16_t screen[SCR_PIXELS];
    uint16_t* const target = rTarget;
    rTarget = screen;
    cam_setClip(&cam, 10, 5000, 200.0f);
    int slot = 0;
    for (auto [lw, h] : {std::pair{8, 64}, {8, 256}, {9, 64}, {6, 64}, {12, 64}}) {
        const int w = 1 << lw;
        killTex(slot);
        Pic16b& t = tex[slot++];
        t.pixels = (uint16_t*)calloc((size_t)w * h, sizeof(uint16_t));
        t.width = (uint16_t)w, t.height = (uint16_t)h, t.widthLog2 = (uint16_t)lw;
        for (int i = 0; i < w * h; i++)
            t.pixels[i] = i % 7 == 0 ? TEX_KEY : i % 5 == 0 ? 0 : (uint16_t)(rng() | 1);
        for (int k = 0; k < 400; k++) {
            const PixShaderFunc hook = k % 2 ? func_noise : func_add;
            sh_noise = (int)(rng() % 16);
            const int at = 5 * SCR_W + (int)(rng() % SCR_W), len = 1 + (int)(rng() % (k % 8 ? 320 : 960));
            Span s{};
            s.len = len;
            s.u = (fixed)rng(), s.v = (fixed)rng();
            s.z = k % 3 ? (fixed)(rng() % (3000u * 4096)) - 20 * 4096 : (fixed)rng();
            s.dz = (fixed)(rng() % (1u << 22)) - (1 << 21);
            s.du = (fixed)(rng() % (1u << 20)) - (1 << 19);
            s.dv = (fixed)(rng() % (1u << 20)) - (1 << 19);
            s.width = w, s.height = h, s.umask = w - 1, s.vmask = h - 1, s.vshift = lw;
            s.texels = t.pixels;
            s.dst = screen + at;
            s.zdst = zbuf + at;
            std::vector<uint16_t> px0(screen + at, screen + at + len);
            std::vector<fixed> z0(len);
            for (fixed& z : z0)
                z = (fixed)(rng() % (6000u * 4096)) - 100 * 4096;
            const unsigned seed = rng(), skip = rng() % 2000;
            std::vector<uint16_t> px[2];
            std::vector<fixed> zs[2];
            int next[2];
            for (int form = 0; form < 2; form++) {
                std::copy(px0.begin(), px0.end(), screen + at);
                std::copy(z0.begin(), z0.end(), zbuf + at);
                setShaderSpan(hook, nullptr);
                if (form)
                    demo_registerSpanForms();
                kv_srand(seed);
                for (unsigned i = 0; i < skip; i++)
                    kv_rand();
                setShader(hook);
                draw_scanline(&s);
                setShader(nullptr);
                px[form].assign(screen + at, screen + at + len);
                zs[form].assign(zbuf + at, zbuf + at + len);
                next[form] = kv_rand();
            }
            ASSERT_EQ(px[0], px[1]) << "width " << w << " span " << k;
            ASSERT_EQ(zs[0], zs[1]) << "width " << w << " span " << k;
            ASSERT_EQ(next[0], next[1]) << "width " << w << " span " << k;
        }
    }
    killAllTex();
    rTarget = target;
}

} // namespace
