/* The audio ring on the headless device: positions and masks, the device
 * write accounting (partial, refused, empty, wrapping), the capture sink, and
 * the built-in producers including the slot mix. */
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "audio/kv_audio.h"
#include "platform/headless/headless.h"

namespace {

/* Every sample the device takes, in order, and the calls that brought them. */
struct Capture {
    std::vector<int16_t> samples;
    std::vector<int> calls; /* ring index of each call's first sample */
};

void onSound(const int16_t* s, int n, void* user)
{
    Capture* c = (Capture*)user;
    c->samples.insert(c->samples.end(), s, s + n);
    c->calls.push_back((int)(s - sndBuf));
}

struct Ring : ::testing::Test {
    Capture cap;
    void SetUp() override
    {
        headless_setClock(1000);
        headless_setSoundSink(onSound, &cap);
        ASSERT_EQ(snd_init(22050, 1), 1);
    }
    void TearDown() override
    {
        headless_setSoundSink(nullptr, nullptr);
        snd_exit();
        headless_realClock();
    }
    /* a fresh ring of distinct values: sample i holds i*3 */
    static void fillIndexed()
    {
        for (int i = 0; i < sndLen; i++)
            sndBuf[i] = (int16_t)(i * 3);
    }
};

/* frames played by ms after snd_init, in samples */
long long due(long long ms)
{
    return ms * 22050 / 1000 * 2;
}

TEST_F(Ring, StartsEmptyWithTheWholeRingToFill)
{
    int pos, len, mask;
    snd_bufPosLenLEN(&pos, &len, &mask);
    EXPECT_EQ(pos, 0); /* 0 - 65536 + 65536 */
    EXPECT_EQ(len, 32768);
    EXPECT_EQ(mask, 0xFFFF);
    EXPECT_EQ(snd_getBufSz(), 65536);
    EXPECT_EQ(snd_getBufUsg(), 0);
    EXPECT_EQ(snd_getBufPos(), 0);
    EXPECT_EQ(snd_getBuf(), sndBuf);
    /* a partial refill */
    EXPECT_EQ(snd_clrBuf(100), 65436);
    EXPECT_EQ(snd_getBufUsg(), 100);
    snd_setBufClr();
    EXPECT_EQ(snd_getBufUsg(), 65536);
}

TEST_F(Ring, TheDeviceTakesWhatTheClockHasPlayedAndTheRoomFollows)
{
    fillIndexed();
    snd_setBufClr();
    EXPECT_EQ(snd_update(), 0); /* no time has passed: the device is full */
    headless_setClock(1100);
    int n = (int)due(100); /* 4410 */
    EXPECT_EQ(snd_update(), n);
    EXPECT_EQ(bufPos, n);
    EXPECT_EQ(bufClr, n);
    ASSERT_EQ((int)cap.samples.size(), n);
    for (int i = 0; i < n; i++)
        ASSERT_EQ(cap.samples[i], (int16_t)(i * 3));
    int pos, len, mask;
    snd_bufPosLenLEN(&pos, &len, &mask);
    EXPECT_EQ(pos, 65536); /* bufPos - n + L: the mask brings it back to 0 */
    EXPECT_EQ(pos & mask, 0);
    EXPECT_EQ(len, n / 2);
}

TEST_F(Ring, RefusedWritesChangeNothingAndEmptyOnesTakeTheWholeRequest)
{
    snd_genTone();
    headless_setClock(1100);
    snd_update();
    int pos0 = bufPos;
    ASSERT_EQ(pos0, 4410);
    snd_setBufClr();

    headless_forceSoundWrite(-1);
    EXPECT_EQ(sendSound(), 0);
    EXPECT_EQ(bufPos, pos0);
    EXPECT_EQ(bufClr, 0);

    /* a write reporting 0 bytes counts as the whole request: to the ring's end */
    headless_forceSoundWrite(0);
    EXPECT_EQ(sendSound(), 65536 - pos0);
    EXPECT_EQ(bufPos, 0);
    EXPECT_EQ(bufClr, 65536 - pos0);

    /* an odd byte count takes whole samples only */
    headless_forceSoundWrite(7);
    EXPECT_EQ(sendSound(), 3);
    EXPECT_EQ(bufPos, 3);
}

TEST_F(Ring, ADeviceWithRoomToSpareGetsEachSampleOnce)
{
    /* ten seconds of room, far more than the ring: the first write takes the
     * ring to its end, the second finds nothing fresh to offer */
    fillIndexed();
    snd_setBufClr();
    headless_setClock(11000);
    EXPECT_EQ(snd_update(), 65536);
    EXPECT_EQ(bufClr, 65536);
    EXPECT_EQ(bufPos, 0);
    EXPECT_EQ((int)cap.samples.size(), 65536);
    EXPECT_EQ(cap.calls.size(), 1u);
    int pos, len, mask;
    snd_bufPosLenLEN(&pos, &len, &mask);
    EXPECT_EQ(len, 32768); /* never more than the ring */
}

TEST_F(Ring, ACaptureGetsEveryToneFrameOnceInOrderAcrossWraps)
{
    /* 60 frames a second of demo loop for 5 s: the ring wraps twice over */
    int ms = 0;
    int wrapped = 0;
    snd_genTone();
    uint16_t tone0 = (uint16_t)(sndBuf[0] - 100); /* the tone's counter before this run */
    snd_update();
    for (int f = 1; f <= 300; f++) {
        ms = f * 1000 / 60;
        headless_setClock(1000 + ms);
        int before = bufPos;
        size_t callsBefore = cap.calls.size();
        snd_genTone();
        int got = snd_update();
        ASSERT_GT(got, 0) << "frame " << f;
        if (bufPos < before) {
            /* the transfer reached the ring's end and went on from index 0 */
            ASSERT_EQ(cap.calls.size(), callsBefore + 2);
            EXPECT_EQ(cap.calls.back(), 0);
            wrapped++;
        }
    }
    EXPECT_GE(wrapped, 2);
    ASSERT_EQ((long long)cap.samples.size(), due(ms));
    for (size_t i = 0; i < cap.samples.size(); i += 2) {
        int16_t want = (int16_t)(uint16_t)(tone0 + 100 * (i / 2 + 1));
        ASSERT_EQ(cap.samples[i], want) << "frame " << i / 2;
        ASSERT_EQ(cap.samples[i + 1], want);
    }
    EXPECT_EQ(headless_soundTaken(), due(ms));
}

TEST_F(Ring, AFreeRoomThatWrapsIsFilledAtTheEndThenFromTheStart)
{
    for (int i = 0; i < sndLen; i++)
        sndBuf[i] = 7;
    snd_setBufClr();
    headless_forceSoundWrite(2 * (65536 - 6));
    EXPECT_EQ(sendSound(), 65530);
    snd_setBufClr();
    headless_forceSoundWrite(2 * 6);
    EXPECT_EQ(sendSound(), 6); /* to the end of the ring */
    headless_forceSoundWrite(2 * 4);
    EXPECT_EQ(sendSound(), 4); /* on from index 0 */
    ASSERT_EQ(bufPos, 4);
    ASSERT_EQ(bufClr, 10);
    int pos, len, mask;
    snd_bufPosLenLEN(&pos, &len, &mask);
    EXPECT_EQ(pos & mask, 65530);
    EXPECT_EQ(len, 5);
    snd_genTone();
    EXPECT_EQ(bufClr, 0);
    int16_t a = sndBuf[65530];
    for (int k = 0; k < 5; k++) {
        int at = (65530 + 2 * k) & 0xFFFF;
        EXPECT_EQ(sndBuf[at], (int16_t)(a + 100 * k)) << at;
        EXPECT_EQ(sndBuf[at + 1], sndBuf[at]);
    }
    EXPECT_EQ(sndBuf[4], 7); /* nothing past the room */
    EXPECT_EQ(sndBuf[65529], 7);
}

TEST_F(Ring, AHalfFrameTakenByTheDeviceKeepsTheProducersInsideTheRing)
{
    /* a device that takes odd sample counts leaves the room starting on the
     * ring's last sample: the frame written there wraps its right sample */
    snd_setBufClr();
    headless_forceSoundWrite(2 * 65535);
    EXPECT_EQ(sendSound(), 65535);
    snd_setBufClr();
    headless_forceSoundWrite(2);
    EXPECT_EQ(sendSound(), 1);
    headless_forceSoundWrite(2);
    EXPECT_EQ(sendSound(), 1);
    ASSERT_EQ(bufPos, 1);
    ASSERT_EQ(bufClr, 2);
    sndBuf[65535] = 1;
    sndBuf[0] = 2;
    sndBuf[1] = 5;
    snd_genTone();
    EXPECT_EQ(sndBuf[0], sndBuf[65535]); /* left at the end, right at index 0 */
    EXPECT_EQ(sndBuf[1], 5);
}

TEST_F(Ring, NoiseIsTheLowBitsOfRandInBothChannels)
{
    bufPos = 0;
    bufClr = 8;
    srand(42);
    std::vector<int16_t> want;
    for (int i = 0; i < 4; i++)
        want.push_back((int16_t)(uint16_t)rand());
    srand(42);
    snd_genNoise();
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(sndBuf[65528 + 2 * i], want[i]);
        EXPECT_EQ(sndBuf[65529 + 2 * i], want[i]);
    }
    EXPECT_EQ(bufClr, 0);
    /* an empty room writes nothing */
    sndBuf[0] = 1;
    snd_genNoise();
    snd_genTone();
    snd_mix();
    EXPECT_EQ(sndBuf[0], 1);
}

TEST_F(Ring, AFailedOpenHandsNothingOverAndKeepsTheSlots)
{
    snd_exit();
    snd[3].state = SND_LOOP;
    snd[3].vol = 30;
    headless_failSoundOpen(1);
    EXPECT_EQ(snd_init(22050, 1), 0);
    EXPECT_EQ(snd[3].state, SND_LOOP);
    snd_genTone();
    EXPECT_EQ(snd_update(), 0);
    EXPECT_EQ(snd_exit(), 0);
    snd[3].state = SND_STOP;
    snd[3].vol = 100;
    ASSERT_EQ(snd_init(22050, 1), 1);
}

/* ---- The slot mix ---------------------------------------------------------- */

struct Mix : Ring {
    /* puts a sample into slot k (data owned by the slot, freed by snd_init) */
    static void load(int k, std::vector<int16_t> data, int state, int vol = 100)
    {
        SndSlot* s = &snd[k];
        free(s->data);
        s->data = (int16_t*)malloc(data.size() * sizeof(int16_t));
        memcpy(s->data, data.data(), data.size() * sizeof(int16_t));
        s->bytes = (int)data.size() * 2;
        s->len = (int)data.size();
        s->pos = 0;
        s->vol = vol;
        s->state = state;
    }
    /* mixes n frames from ring index 0 and returns the left channel */
    static std::vector<int> mix(int n)
    {
        bufPos = 2 * n;
        bufClr = 2 * n;
        snd_mix();
        std::vector<int> v;
        for (int i = 0; i < n; i++) {
            EXPECT_EQ(sndBuf[2 * i], sndBuf[2 * i + 1]);
            v.push_back(sndBuf[2 * i]);
        }
        return v;
    }
};

TEST_F(Mix, InitClearsEverySlotButItsPosition)
{
    load(5, {1, 2, 3}, SND_PLAY, 30);
    snd[5].pos = 2;
    snd_exit();
    ASSERT_EQ(snd_init(22050, 1), 1);
    EXPECT_EQ(snd[5].state, SND_STOP);
    EXPECT_EQ(snd[5].bytes, 0);
    EXPECT_EQ(snd[5].vol, 100);
    EXPECT_EQ(snd[5].data, nullptr);
    EXPECT_EQ(snd[5].pos, 2); /* the position is left as it was */
}

TEST_F(Mix, SumsClampSymmetricallyAndVolumesTruncateTowardZero)
{
    load(0, {32767, -32768, 1000}, SND_LOOP);
    load(63, {32767, -32768, -3000}, SND_LOOP);
    EXPECT_EQ(mix(3), (std::vector<int>{32767, -32767, -2000}));
    snd_init(22050, 1);
    load(10, {-3, 3, -199, 199}, SND_LOOP, 50);
    EXPECT_EQ(mix(4), (std::vector<int>{-1, 1, -99, 99}));
}

TEST_F(Mix, PlayStopsAfterItsLengthLoopWrapsAndPauseHoldsItsPlace)
{
    load(1, {10, 20, 30}, SND_PLAY);
    load(2, {1, 2}, SND_LOOP);
    load(3, {1000, 2000, 3000}, SND_PAUSE);
    snd[3].pos = 1;
    EXPECT_EQ(mix(5), (std::vector<int>{11, 22, 31, 0 + 2, 1}));
    EXPECT_EQ(snd[1].state, SND_STOP);
    EXPECT_EQ(snd[1].pos, 0);
    EXPECT_EQ(snd[2].state, SND_LOOP);
    EXPECT_EQ(snd[2].pos, 1);
    EXPECT_EQ(snd[3].pos, 1);
    EXPECT_EQ(snd[3].state, SND_PAUSE);
    /* resuming the paused slot goes on from its place */
    snd[3].state = SND_PLAY;
    snd[2].state = SND_STOP;
    EXPECT_EQ(mix(3), (std::vector<int>{2000, 3000, 0}));
    EXPECT_EQ(snd[3].state, SND_STOP);
}

TEST_F(Mix, APlayingSlotWithoutDataIsSkipped)
{
    snd[7].state = SND_PLAY;
    snd[7].len = 4;
    load(8, {5, 5}, SND_LOOP);
    EXPECT_EQ(mix(2), (std::vector<int>{5, 5}));
    EXPECT_EQ(snd[7].pos, 0);
    snd[7].state = SND_STOP;
}

} // namespace
