/* The music producer: the player renders 4096 stereo frames at a time into a
 * staging buffer, and each frame the free room of the ring is filled from it.
 * (Its own program: the staging buffer lives for the whole process.) */
#include <gtest/gtest.h>

#include "audio/kv_audio.h"
#include "demo/demo.h"
#include "platform/headless/headless.h"

namespace {

int playerCalls = 0;

void countCall(MODFILE*)
{
    playerCalls++;
}

TEST(Staging, RefillsInBlocksOf4096FramesAndKeepsTheRest)
{
    headless_setClock(0);
    ASSERT_EQ(snd_init(DEMO_RATE, 1), 1);
    MODFILE_Init(&mod); /* no song: the player renders silence */
    mod.playerCallback = countCall;

    demo_audio(); /* the empty ring takes 32768 frames: eight whole blocks */
    EXPECT_EQ(playerCalls, 8);
    EXPECT_EQ(mod.outBytes, 16384);

    headless_forceSoundWrite(5000 * 4); /* the device takes 5000 frames */
    EXPECT_EQ(snd_update(), 10000);
    playerCalls = 0;
    demo_audio(); /* 4096 + 904 frames used, 3192 stay staged */
    EXPECT_EQ(playerCalls, 2);

    headless_forceSoundWrite(3192 * 4);
    snd_update();
    playerCalls = 0;
    demo_audio(); /* exactly what is staged: no call */
    EXPECT_EQ(playerCalls, 0);

    headless_forceSoundWrite(1 * 4);
    snd_update();
    demo_audio(); /* one frame more needs a new block */
    EXPECT_EQ(playerCalls, 1);
    snd_exit();
}

/* Every block the player renders: sample k of the block is 1000 + k. */
void rampBlock(MODFILE* m)
{
    int16_t* out = (int16_t*)m->outBuffer;
    for (int k = 0; k < m->outBytes / 2; k++)
        out[k] = (int16_t)(1000 + k);
}

TEST(Staging, AFrameStartingOnTheRingsLastSampleWrapsItsRightSample)
{
    /* An output that took an odd number of samples leaves the free room
     * starting on the ring's last sample: the frame's left sample goes there
     * and its right one to the ring's first, never one past the end. */
    headless_setClock(0);
    ASSERT_EQ(snd_init(DEMO_RATE, 1), 1);
    MODFILE_Init(&mod);
    mod.playerCallback = rampBlock;
    demo_audio(); /* fill the ring */
    sndBuf[0] = sndBuf[sndLen - 1] = 0;
    bufPos = 1; /* read position past one odd sample */
    bufClr = 2; /* room for one frame: samples sndLen - 1 and 0 */
    demo_audio();
    /* a left and right pair of the ramp, wherever the staging stood */
    EXPECT_GE(sndBuf[sndLen - 1], 1000);
    EXPECT_EQ(sndBuf[0], sndBuf[sndLen - 1] + 1);
    snd_exit();
}

} // namespace
