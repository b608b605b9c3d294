/* Texture slots: first fit, reuse after a free, a full table, failed loads. */
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

} // namespace
