/* Sample slots: loading WAVs into free slots, reuse, refused files, and the
 * play / loop / pause / stop states as the slot mixer sees them. */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/kv_audio.h"
#include "platform/headless/headless.h"
#include "tests/support/test_support.h"
#include "video/kv_font.h"
#include "video/kv_video.h"

namespace {

/* A mono 16-bit PCM WAV of the given samples. */
std::vector<uint8_t> wav(const std::vector<int16_t>& s)
{
    std::vector<uint8_t> b;
    ts::putBytes(b, "RIFF", 4);
    ts::put32le(b, 36 + 2 * (uint32_t)s.size());
    ts::putBytes(b, "WAVEfmt ", 8);
    ts::put32le(b, 16);
    ts::put16le(b, 1);
    ts::put16le(b, 1);
    ts::put32le(b, 22050);
    ts::put32le(b, 44100);
    ts::put16le(b, 2);
    ts::put16le(b, 16);
    ts::putBytes(b, "data", 4);
    ts::put32le(b, 2 * (uint32_t)s.size());
    for (int16_t v : s)
        ts::put16le(b, (uint16_t)v);
    return b;
}

struct Slots : ::testing::Test {
    std::string dir, file;
    Font fnt{};
    uint16_t* screen = nullptr;
    void SetUp() override
    {
        dir = ts::makeTempDir("slots");
        file = dir + "/beep.wav";
        ASSERT_TRUE(ts::writeFile(file, wav({1000, -2000, 3000, -4000})));
        /* an 8x8 font of solid glyphs, so messages leave pixels behind */
        ASSERT_TRUE(ts::writeFile(dir + "/f.raw", std::vector<uint8_t>(480 * 8 * 3, 0xC0)));
        screen = scr_init();
        ASSERT_NE(screen, nullptr);
        scr_clrc(0);
        fnt_loadFnt(&fnt, (dir + "/f.raw").c_str(), 480, 8, 8, 8);
        setcursor(0, 0);
        headless_setClock(0);
        ASSERT_EQ(snd_init(22050, 1), 1);
    }
    void TearDown() override
    {
        killAllSnd();
        snd_exit();
        headless_realClock();
        fnt_killFnt(&fnt);
        fnt_setFnt(nullptr);
        scr_exit();
        ts::removeTree(dir);
    }
    bool screenTouched() const
    {
        for (int i = 0; i < SCR_PIXELS; i++)
            if (screen[i])
                return true;
        return false;
    }
    /* Mixes `frames` stereo frames into a fresh room; returns the left samples. */
    static std::vector<int16_t> mix(int frames)
    {
        bufClr = 2 * frames;
        int pos, len, mask;
        snd_bufPosLenLEN(&pos, &len, &mask);
        snd_mix();
        std::vector<int16_t> left;
        for (int i = 0; i < frames; i++)
            left.push_back(sndBuf[(pos + 2 * i) & mask]);
        return left;
    }
};

TEST_F(Slots, WavsFillFreeSlotsInOrderAndFreedSlotsAreReused)
{
    for (int i = 0; i < SND_SLOTS; i++)
        ASSERT_EQ(loadWav(file.c_str()), i);
    EXPECT_EQ(snd[0].len, 4);
    EXPECT_EQ(snd[0].bytes, 8);
    EXPECT_EQ(snd[0].vol, 100);
    EXPECT_EQ(snd[0].state, SND_STOP);
    EXPECT_EQ(findFreeSnd(), -1);
    EXPECT_FALSE(screenTouched());
    EXPECT_EQ(loadWav(file.c_str()), -1);
    EXPECT_TRUE(screenTouched()); /* "no empty slot" is printed on screen */
    killSnd(5);
    EXPECT_EQ(snd[5].data, nullptr);
    EXPECT_EQ(findFreeSnd(), 5);
    EXPECT_EQ(loadWav(file.c_str()), 5);
    EXPECT_EQ(loadSnd(), 0);
    killSnd(-1); /* out of range: ignored */
    killSnd(64);
    EXPECT_EQ(getSndState(99), SND_STOP);
}

TEST_F(Slots, FilesThatCannotBeReadLeaveTheSlotFreeAndSaySo)
{
    EXPECT_EQ(loadWav((dir + "/missing.wav").c_str()), -1);
    EXPECT_TRUE(screenTouched());
    EXPECT_EQ(findFreeSnd(), 0);
    EXPECT_EQ(snd[0].bytes, 0);

    std::vector<uint8_t> cut = wav(std::vector<int16_t>(100, 7));
    cut.resize(cut.size() - 51); /* data runs past the end: -3 */
    ASSERT_TRUE(ts::writeFile(dir + "/cut.wav", cut));
    EXPECT_EQ(loadWav((dir + "/cut.wav").c_str()), -1);
    EXPECT_EQ(snd[0].bytes, 0);
    EXPECT_EQ(snd[0].data, nullptr);
    EXPECT_EQ(loadWav(file.c_str()), 0);
}

TEST_F(Slots, PlayLoopPauseAndStopAsTheMixerSeesThem)
{
    int s = loadWav(file.c_str());
    ASSERT_EQ(s, 0);
    EXPECT_EQ(mix(2), (std::vector<int16_t>{0, 0})); /* stopped: silent */
    playSnd(s);
    EXPECT_EQ(getSndState(s), SND_PLAY);
    EXPECT_EQ(mix(2), (std::vector<int16_t>{1000, -2000}));
    pauseSnd(s);
    EXPECT_EQ(mix(3), (std::vector<int16_t>{0, 0, 0}));
    EXPECT_EQ(snd[s].pos, 2); /* a paused slot keeps its place */
    playSnd(s);
    EXPECT_EQ(mix(3), (std::vector<int16_t>{3000, -4000, 0})); /* ends, stops */
    EXPECT_EQ(getSndState(s), SND_STOP);
    EXPECT_EQ(snd[s].pos, 0);
    loopSnd(s);
    EXPECT_EQ(mix(6), (std::vector<int16_t>{1000, -2000, 3000, -4000, 1000, -2000}));
    stopSnd(s);
    EXPECT_EQ(snd[s].pos, 0);
    playSnd(s);
    EXPECT_EQ(mix(1), (std::vector<int16_t>{1000})); /* after stop: from the start */
    snd[s].vol = 50;
    EXPECT_EQ(mix(1), (std::vector<int16_t>{-1000}));
}

} // namespace
