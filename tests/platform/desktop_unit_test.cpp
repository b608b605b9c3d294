/* The desktop half itself, in a private X server: the key table, the back
 * buffer's bitmaps and the window, and the audio stream's ring. */
#include <gtest/gtest.h>

#include <allegro.h>
#include <cstdlib>
#include <sys/stat.h>

#include "audio/kv_audio.h"
#include "demo/kv_input.h"
#include "platform/desktop/desktop.h"
#include "platform/kv_sys.h"
#include "tests/platform/check_pattern.h"
#include "tests/platform/proc_util.h"
#include "tests/support/test_support.h"
#include "video/kv_video.h"

namespace {

/* One X server for the test program; Allegro starts on it with no sound
 * configuration, so the stream gets Allegro's silent driver. */
pu::XServer xs;
std::string skipWhy; /* why there is no X server to test in, or empty */
int allegroUp = 0;   /* 1 once sys_init succeeded on it */
std::string home;

struct XEnvironment : ::testing::Environment {
    void SetUp() override
    {
        if (!pu::startX(&xs, &skipWhy))
            return;
        home = ts::makeTempDir("desktop-unit");
        setenv("DISPLAY", xs.display.c_str(), 1);
        setenv("ALLEGRO", home.c_str(), 1);
        setenv("HOME", home.c_str(), 1);
        allegroUp = sys_init() == 0;
    }
    void TearDown() override
    {
        sys_exit();
        pu::stopX(&xs);
        if (!home.empty())
            ts::removeTree(home);
    }
};
const auto* env = ::testing::AddGlobalTestEnvironment(new XEnvironment);

#define NEED_X()                                                                                                       \
    do {                                                                                                               \
        if (!skipWhy.empty())                                                                                          \
            GTEST_SKIP() << skipWhy << " (Debian xvfb)";                                                               \
        ASSERT_TRUE(allegroUp) << "Allegro did not start on " << xs.display;                                           \
    } while (0)

void releaseAll()
{
    for (int k = 0; k < KEY_MAX; k++)
        key[k] = 0;
}

TEST(DesktopKeys, EveryKeyAndArrowPairSetsItsButtons)
{
    NEED_X();
    ASSERT_EQ(kb_init(), 0);
    struct Row {
        std::vector<int> keys;
        uint32_t word;
    };
    const Row rows[] = {
        {{}, 0},
        {{KEY_UP}, 0x00001},
        {{KEY_LEFT}, 0x00004},
        {{KEY_DOWN}, 0x00010},
        {{KEY_RIGHT}, 0x00040},
        {{KEY_UP, KEY_LEFT}, 0x00007},      /* up, up-left, left */
        {{KEY_DOWN, KEY_LEFT}, 0x0001C},    /* down, down-left, left */
        {{KEY_DOWN, KEY_RIGHT}, 0x00070},   /* down, down-right, right */
        {{KEY_UP, KEY_RIGHT}, 0x000C1},     /* up, up-right, right */
        {{KEY_ESC}, 0x00100},
        {{KEY_ENTER}, 0x00200},
        {{KEY_DEL}, 0x00400},
        {{KEY_PGDN}, 0x00800},
        {{KEY_A}, 0x01000},
        {{KEY_S}, 0x02000},
        {{KEY_Z}, 0x04000},
        {{KEY_X}, 0x08000},
        {{KEY_PLUS_PAD}, 0x10000},
        {{KEY_MINUS_PAD}, 0x20000},
        {{KEY_TAB}, 0x40000},
        {{KEY_UP, KEY_DOWN, KEY_LEFT, KEY_RIGHT}, 0x000FF}, /* all four arrows: every direction */
        {{KEY_B, KEY_SPACE, KEY_F1}, 0},                   /* keys outside the table */
    };
    for (const Row& r : rows) {
        releaseAll();
        for (int k : r.keys)
            key[k] = 1;
        kb_poll();
        EXPECT_EQ(kb_buf, r.word) << "keys " << ::testing::PrintToString(r.keys);
    }
    releaseAll();
    kb_exit();
    /* without the keyboard a poll keeps the old word */
    kb_buf = 0x123;
    kb_poll();
    EXPECT_EQ(kb_buf, 0x123u);
    kb_buf = 0;
}

TEST(DesktopScreen, TheBackBufferIsOneBitmapsRowsAndTheWindowShowsItDoubled)
{
    NEED_X();
    uint16_t* back = scr_init();
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(SCREEN_W, 640);
    EXPECT_EQ(SCREEN_H, 480);
    check_draw(back, 7);
    scr_flip();
    /* the window's own 16-bit pixels: every one a copy of its source */
    int bad = 0;
    acquire_screen();
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++)
            bad += getpixel(screen, x, y) != back[(y / 2) * SCR_W + x / 2];
    release_screen();
    EXPECT_EQ(bad, 0);
    /* the back buffer keeps its contents after the flip */
    EXPECT_EQ(back[0], check_pixel(0, 0, 7));
    scr_exit();
    EXPECT_EQ(scr_getBuf(), nullptr);
}

TEST(DesktopSound, TheRingIsHandedToTheStreamWholeWithTheTopBitFlipped)
{
    NEED_X();
    EXPECT_EQ(snd_update(), 0); /* nothing is open yet: nothing to hand over */
    ASSERT_EQ(snd_init(22050, 1), 1);
    ASSERT_NE(sndStream, nullptr);
    int pos, len, mask;
    snd_bufPosLenLEN(&pos, &len, &mask);
    EXPECT_EQ(pos, 0);
    EXPECT_EQ(len, 8192);
    EXPECT_EQ(mask, 0x3FFF);
    EXPECT_EQ(snd_getBufSz(), 16384);
    EXPECT_EQ(snd_getBufUsg(), 0);

    /* no fresh audio: nothing is handed over and nothing changes */
    EXPECT_EQ(snd_update(), 0);
    EXPECT_EQ(bufClr, 16384);
    EXPECT_EQ(bufPos, 0);

    for (int i = 0; i < 16384; i++)
        sndBuf[i] = (int16_t)(i * 7 - 30000);
    snd_setBufClr();
    EXPECT_EQ(snd_getBufUsg(), 16384);
    /* the buffer the stream offers next is the one the ring goes into */
    uint16_t* next = (uint16_t*)get_audio_stream_buffer(sndStream);
    ASSERT_NE(next, nullptr) << "the stream offered no buffer";
    EXPECT_EQ(snd_update(), 16384);
    EXPECT_EQ(bufClr, 16384);
    EXPECT_EQ(bufPos, 0);
    int bad = 0;
    for (int i = 0; i < 16384; i++)
        bad += next[i] != (uint16_t)((uint16_t)sndBuf[i] ^ 0x8000);
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(next[0], (uint16_t)(-30000 + 0x8000));

    snd_exit();
    EXPECT_EQ(sndStream, nullptr);
    EXPECT_EQ(snd_update(), 0);
    snd_exit(); /* twice is harmless */
}

} // namespace
