/* Screen: colour packing, clears, pixels, lines, the missing-screen rule. */
#include <gtest/gtest.h>

#include "platform/headless/headless.h"
#include "video/kv_video.h"

namespace {

struct Screen : ::testing::Test {
    uint16_t* buf = nullptr;
    void SetUp() override { buf = scr_init(); ASSERT_NE(buf, nullptr); scr_clrc(0); }
    void TearDown() override { scr_exit(); }
    int count(uint16_t c) const
    {
        int n = 0;
        for (int i = 0; i < SCR_PIXELS; i++)
            n += buf[i] == c;
        return n;
    }
};

TEST(ScreenPacking, TruncatesEachChannelAndUsesOnlyTheLowByte)
{
    EXPECT_EQ(scr_RGB2W(255, 255, 255), 0xFFFF);
    EXPECT_EQ(scr_RGB2W(147, 115, 53), 0x9386);
    EXPECT_EQ(scr_RGB2W(255, 0, 255), 0xF81F);
    EXPECT_EQ(scr_RGB2W(7, 3, 7), 0x0000); /* below one step: truncated */
    EXPECT_EQ(scr_RGB2W(0x1FF, 0, 0), scr_RGB2W(0xFF, 0, 0));
    EXPECT_EQ(scr_RGB2W(0, 0x104, 0), scr_RGB2W(0, 4, 0));
}

TEST_F(Screen, ClearFillsEveryPixelOnBothPaths)
{
    scr_clrc(0x1234); /* bytes differ: pixel by pixel */
    EXPECT_EQ(count(0x1234), SCR_PIXELS);
    scr_clrc(0x5555); /* bytes equal: byte fill */
    EXPECT_EQ(count(0x5555), SCR_PIXELS);
    scr_clr(147, 115, 53);
    EXPECT_EQ(count(0x9386), SCR_PIXELS);
}

TEST_F(Screen, PixelsOutsideTheScreenAreDropped)
{
    scr_putpixelc(319, 239, 0xABCD);
    EXPECT_EQ(buf[SCR_PIXELS - 1], 0xABCD);
    scr_putpixelc(320, 0, 1);
    scr_putpixelc(0, 240, 1);
    scr_putpixelc((uint16_t)-1, 5, 1);
    scr_putpixelc(5, (uint16_t)-1, 1);
    EXPECT_EQ(count(1), 0);
    scr_putpixel(3, 2, 255, 0, 255);
    EXPECT_EQ(buf[2 * 320 + 3], 0xF81F);
}

TEST_F(Screen, LinesLeaveOutTheirEndPoint)
{
    scr_line(10, 10, 10, 10, 7);
    EXPECT_EQ(count(7), 0);
    scr_line(0, 0, 3, 0, 7);
    EXPECT_EQ(count(7), 3);
    EXPECT_EQ(buf[0], 7);
    EXPECT_EQ(buf[2], 7);
    EXPECT_EQ(buf[3], 0);
    /* steep line going up-left: n = |dy| pixels, one per row */
    scr_clrc(0);
    scr_line(20, 40, 15, 10, 9);
    EXPECT_EQ(count(9), 30);
    EXPECT_EQ(buf[40 * 320 + 20], 9);
    for (int y = 11; y <= 40; y++) {
        int inRow = 0;
        for (int x = 0; x < 320; x++)
            inRow += buf[y * 320 + x] == 9;
        EXPECT_EQ(inRow, 1) << "row " << y;
    }
    /* a line leaving the screen is clipped, not wrapped */
    scr_clrc(0);
    scr_line(310, 5, 330, 5, 4);
    EXPECT_EQ(count(4), 10);
}

TEST(ScreenMissing, EveryOperationIsHarmlessWithoutABackBuffer)
{
    ASSERT_EQ(scr_getBuf(), nullptr);
    scr_clrc(0x1234);
    scr_clr(1, 2, 3);
    scr_putpixelc(1, 1, 1);
    scr_putpixel(1, 1, 1, 1, 1);
    scr_line(0, 0, 100, 100, 1);
    long before = headless_frameCount();
    scr_flip();
    EXPECT_EQ(headless_frameCount(), before);
    scr_exit();
    headless_failOpen(1);
    EXPECT_EQ(scr_init(), nullptr);
    EXPECT_EQ(scr_getBuf(), nullptr);
    scr_clrc(5);
}

TEST_F(Screen, FlipHandsTheFrameToTheSink)
{
    struct Seen {
        int calls = 0;
        uint16_t first = 0, last = 0;
    } seen;
    headless_setSink(
        [](const uint16_t* f, void* u) {
            Seen* s = (Seen*)u;
            s->calls++;
            s->first = f[0];
            s->last = f[SCR_PIXELS - 1];
        },
        &seen);
    scr_clrc(0x0F0F);
    scr_putpixelc(0, 0, 0xAAAA);
    scr_flip();
    headless_setSink(nullptr, nullptr);
    EXPECT_EQ(seen.calls, 1);
    EXPECT_EQ(seen.first, 0xAAAA);
    EXPECT_EQ(seen.last, 0x0F0F);
    EXPECT_EQ(buf[0], 0xAAAA); /* the back buffer keeps its contents */
}

} // namespace
