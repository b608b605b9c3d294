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

} // namespace
