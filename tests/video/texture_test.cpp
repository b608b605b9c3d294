/* Texture slots: first fit, reuse after a free, a full table, failed loads,
 * the key-free mark. */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "video/kv_texture.h"

namespace {

struct Textures : ::testing::Test {
    std::string dir, file;
    void SetUp() override
    {
        dir = ts::makeTempDir("tex");
        file = dir + "/t_4x2.raw";
        ASSERT_TRUE(ts::writeFile(file, std::vector<uint8_t>(4 * 2 * 3, 0x80)));
    }
    void TearDown() override
    {
        killAllTex();
        ts::removeTree(dir);
    }
};

TEST_F(Textures, LoadsFillSlotsInOrderAndReuseTheLowestFreeOne)
{
    for (int i = 0; i < 10; i++)
        EXPECT_EQ(loadRawTex(file.c_str()), i);
    EXPECT_EQ(texCleared, 1);
    EXPECT_EQ(tex[9].width, 4);
    killTex(3);
    EXPECT_EQ(findFreeTex(), 3);
    EXPECT_EQ(loadTex(file.c_str(), 2, 4), 3);
    EXPECT_EQ(tex[3].width, 2);
    EXPECT_EQ(tex[3].height, 4);
    EXPECT_EQ(loadRawTex(file.c_str()), 10);
    killTex(-1); /* out of range: ignored, every slot keeps its picture */
    killTex(64);
    for (int i = 0; i <= 10; i++)
        EXPECT_NE(tex[i].pixels, nullptr) << i;
    EXPECT_EQ(findFreeTex(), 11);
}

TEST_F(Textures, AFullTableRefusesWithoutLoading)
{
    for (int i = 0; i < TEX_SLOTS; i++)
        ASSERT_EQ(loadRawTex(file.c_str()), i);
    EXPECT_EQ(findFreeTex(), -1);
    EXPECT_EQ(loadRawTex(file.c_str()), -1);
    EXPECT_EQ(loadTex(file.c_str(), 4, 2), -1);
    killAllTex();
    EXPECT_EQ(findFreeTex(), 0);
    killAllTex(); /* on an empty table: nothing */
}

TEST_F(Textures, AFailedLoadReturnsMinusOneAndKeepsTheSlotFree)
{
    testing::internal::CaptureStdout();
    EXPECT_EQ(loadRawTex((dir + "/missing.tga").c_str()), -1);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(findFreeTex(), 0);
    EXPECT_EQ(loadRawTex(file.c_str()), 0);
    /* the reserved mipmap call leaves the slot's picture as it is */
    const uint16_t* px = tex[0].pixels;
    makeMipmap(0);
    EXPECT_EQ(tex[0].pixels, px);
    EXPECT_EQ(tex[0].width, 4);
}

/* keyFree: 1 for a picture without a magenta (0xF81F) pixel, 0 with one
 * anywhere (either half of a word, any word of a block of four, the last
 * pixel of an odd count), 0 again once the slot is freed. */
TEST_F(Textures, TheKeyFreeMarkTellsWhetherAPixelIsMagenta)
{
    const struct {
        int w, h, magenta; /* the magenta pixel's index, -1 none */
        uint16_t keyFree;
    } cases[] = {{4, 2, -1, 1}, {4, 2, 0, 0}, {4, 2, 5, 0}, {4, 2, 7, 0}, {3, 3, 8, 0}, {3, 3, -1, 1},
                 {8, 4, 13, 0}, {8, 4, 30, 0}, {8, 4, -1, 1}};
    for (const auto& c : cases) {
        std::vector<uint8_t> rgb((size_t)c.w * c.h * 3, 0x80);
        if (c.magenta >= 0) {
            rgb[3 * c.magenta] = 0xFF;
            rgb[3 * c.magenta + 1] = 0x00;
            rgb[3 * c.magenta + 2] = 0xFF;
        }
        const std::string f = dir + "/k.raw";
        ASSERT_TRUE(ts::writeFile(f, rgb));
        const int slot = loadTex(f.c_str(), c.w, c.h);
        ASSERT_GE(slot, 0);
        EXPECT_EQ(tex[slot].keyFree, c.keyFree) << c.w << "x" << c.h << " magenta at " << c.magenta;
        killTex(slot);
        EXPECT_EQ(tex[slot].keyFree, 0);
    }
}

} // namespace
