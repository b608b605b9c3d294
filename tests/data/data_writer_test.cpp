/*
 * The generator's own pieces: the TGA writer (both encodings read back
 * through the engine's loader), the quantiser's rules for black and the key,
 * and the seeded random numbers.
 */
#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_support.h"
#include "tools/mkdata/mk_image.h"
#include "tools/mkdata/mk_rng.h"
#include "tools/mkdata/mk_tga.h"
#include "video/kv_video.h"

namespace {

uint16_t to565(const uint8_t* p)
{
    return (uint16_t)(((p[0] >> 3) << 11) | ((p[1] >> 2) << 5) | (p[2] >> 3));
}

/* A picture with long runs (over 128, across rows), short runs, and lone
 * pixels, so every kind of packet is written. */
Rgb8 runsPicture(int w, int h)
{
    Rgb8 p;
    p.w = w, p.h = h;
    p.rgb.resize((size_t)w * h * 3);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint8_t* o = &p.rgb[((size_t)y * w + x) * 3];
            bool flat = x < 150 || (x / 3) % 2 == 0;
            o[0] = flat ? 200 : (uint8_t)(x * 7 + y);
            o[1] = flat ? (uint8_t)(y * 8) : (uint8_t)(x * 13);
            o[2] = flat ? 16 : (uint8_t)(y * 29 + x);
        }
    return p;
}

TEST(DataWriter, BothTgaEncodingsReadBackExactly)
{
    std::string dir = ts::makeTempDir("tga_writer");
    Rgb8 pic = runsPicture(301, 7);
    for (TgaKind kind : {TGA_RAW, TGA_RLE}) {
        std::string path = dir + (kind == TGA_RLE ? "/rle.tga" : "/raw.tga");
        std::vector<uint8_t> file = tga_encode(pic, kind);
        ASSERT_EQ(mk_writeFile(path, file), 0);
        EXPECT_EQ(file[2], kind == TGA_RLE ? 10 : 2);
        if (kind == TGA_RAW)
            EXPECT_EQ(file.size(), 18u + 301u * 7u * 3u);
        else
            EXPECT_LT(file.size(), 18u + 301u * 7u * 3u);
        Pic16b p{};
        loadTGA16b(path.c_str(), &p);
        ASSERT_NE(p.pixels, nullptr);
        ASSERT_EQ(p.width, 301);
        ASSERT_EQ(p.height, 7);
        for (int i = 0; i < 301 * 7; i++)
            ASSERT_EQ(p.pixels[i], to565(&pic.rgb[(size_t)i * 3])) << "pixel " << i;
        killPic16b(&p);
    }
    ts::removeTree(dir);
}

TEST(DataWriter, QuantiserKeepsBlackAndTheKeyWhereTheyMeanNothing)
{
    Img img = img_make(8, 4, Rgb{0, 0, 0});
    img.at(1, 0) = Rgb{1.0f, 0.0f, 1.0f}; /* would be the key by accident */
    img.at(2, 0) = Rgb{0.5f, 0.25f, 0.75f};
    Mask opaque = mask_make(8, 4);
    opaque.at(1, 0) = 1.0f;
    opaque.at(2, 0) = 0.6f;
    opaque.at(3, 0) = 0.4f;
    Rgb8 added = img_quantise(img, Q_ADDITIVE);
    EXPECT_EQ(to565(&added.rgb[0]), 0) << "black stays exactly black";
    EXPECT_NE(to565(&added.rgb[3]), PIC_KEY) << "no accidental key";
    Rgb8 keyed = img_quantise(img, Q_KEYED, &opaque);
    EXPECT_EQ(to565(&keyed.rgb[0]), PIC_KEY) << "uncovered pixels are the key";
    EXPECT_NE(to565(&keyed.rgb[3]), PIC_KEY) << "covered pixels never are";
    EXPECT_NE(to565(&keyed.rgb[6]), PIC_KEY);
    EXPECT_EQ(to565(&keyed.rgb[9]), PIC_KEY) << "coverage under one half is transparent";
    /* A flat mid grey dithers to the two neighbouring 565 levels only. */
    Img grey = img_make(4, 4, Rgb{0.5f, 0.5f, 0.5f});
    Rgb8 g = img_quantise(grey, Q_OPAQUE);
    for (int i = 0; i < 16; i++) {
        int r5 = g.rgb[(size_t)i * 3] >> 3;
        EXPECT_TRUE(r5 == 15 || r5 == 16) << r5;
    }
}

TEST(DataWriter, RandomNumbersRepeatPerSeedAndStayInRange)
{
    Rng a = rng_make(7), b = rng_make(7), c = rng_make(8);
    int same = 0;
    for (int i = 0; i < 1000; i++) {
        uint64_t x = rng_next(&a);
        EXPECT_EQ(x, rng_next(&b));
        same += x == rng_next(&c);
        float u = rng_unit(&a);
        rng_unit(&b);
        EXPECT_GE(u, 0.0f);
        EXPECT_LT(u, 1.0f);
        int k = rng_int(&a, 5);
        rng_int(&b, 5);
        EXPECT_GE(k, 0);
        EXPECT_LT(k, 5);
        rng_unit(&c), rng_int(&c, 5);
    }
    EXPECT_EQ(same, 0);
    /* The first value from seed 1, pinned: every picture depends on the
     * sequence, so a change here changes the data set. */
    Rng one = rng_make(1);
    EXPECT_EQ(rng_next(&one), 0x2A4C004B6AE97D7Full);
}

} // namespace
