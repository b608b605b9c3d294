/* The controller word: the any-button mask, all-of and any-of tests. */
#include <gtest/gtest.h>

#include "demo/kv_input.h"
#include "platform/headless/headless.h"

namespace {

void hold(uint32_t word)
{
    headless_setButtons(word);
    kb_poll();
    ASSERT_EQ(kb_buf, word);
}

TEST(Input, TheAnyButtonMaskIsTrueForAnyHeldBitAndFalseForNone)
{
    ASSERT_EQ(kb_init(), 0);
    hold(0);
    EXPECT_EQ(kb_keypressed(KB_ANY), 0);
    for (int b = 0; b < 19; b++) {
        hold(1u << b);
        EXPECT_EQ(kb_keypressed(KB_ANY), -1) << "bit " << b;
    }
    hold(0x80000); /* a bit above the nineteen still counts as a button */
    EXPECT_EQ(kb_keypressed(KB_ANY), -1);
    kb_exit();
}

TEST(Input, OtherMasksNeedEveryBitAndAnEmptyMaskIsAlwaysTrue)
{
    hold(KB_START);
    EXPECT_EQ(kb_keypressed(KB_START | KB_UP), 0);
    EXPECT_EQ(kb_keypressed(KB_START), -1);
    hold(KB_START | KB_UP);
    EXPECT_EQ(kb_keypressed(0x0101), -1);
    hold(0);
    EXPECT_EQ(kb_keypressed(0), -1);
    EXPECT_EQ(kb_keypressed(KB_START), 0);
    /* a mask holding all nineteen bits and one more is an ordinary mask */
    hold(KB_ANY);
    EXPECT_EQ(kb_keypressed(0xFFFFF), 0);
    EXPECT_EQ(kb_keypressed(0x3FFFF), -1);
}

TEST(Input, AnyPressedNeedsOneBitOfTheMask)
{
    hold(KB_VOLUP);
    EXPECT_EQ(kb_anypressed(KB_VOLUP | KB_VOLDOWN), -1);
    EXPECT_EQ(kb_anypressed(KB_VOLDOWN), 0);
    EXPECT_EQ(kb_anypressed(0), 0);
    hold(0);
    EXPECT_EQ(kb_anypressed(KB_ANY), 0);
}

TEST(Input, AFailedOpenIsReported)
{
    headless_failKbOpen(1);
    EXPECT_EQ(kb_init(), -1);
    EXPECT_EQ(kb_init(), 0);
    kb_exit();
}

} // namespace
