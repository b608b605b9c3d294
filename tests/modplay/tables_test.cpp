/* The constant tables, regenerated from their formulas. */
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "modplay/effects.h"
#include "modplay/modplay.h"
#include "modplay/modplay_core.h"
#include "modplay/xm.h"

namespace {

TEST(Tables, NoteTableFromTheOctaveZeroPeriods)
{
    const int64_t B[12] = {1712, 1616, 1524, 1440, 1356, 1280, 1208, 1140, 1076, 1016, 960, 907};
    for (int o = 0; o < 16; o++)
        for (int s = 0; s < 12; s++)
            ASSERT_EQ(mod_notetable[12 * o + s], (int32_t)((B[s] * 16 * 8363) >> o)) << o << " " << s;
    EXPECT_EQ(mod_notetable[0], 229079296);
    EXPECT_EQ(mod_notetable[48], 14317456);
    EXPECT_EQ(mod_notetable[191], 3703);
    for (int n = 0; n < 192; n++)
        ASSERT_EQ(mod_notetable_equal[n], (int32_t)floorl(14317456.0L * exp2l((48 - n) / 12.0L))) << n;
    EXPECT_EQ(mod_notetable_equal[48], mod_notetable[48]);
}

TEST(Tables, LinearPeriodAndFinetuneTablesFromPowersOfTwo)
{
    for (int i = 0; i < 768; i++)
        ASSERT_EQ(linearperiodtab[i], (int32_t)floor(8363.0 * 16.0 * exp2(-i / 768.0))) << i;
    EXPECT_EQ(linearperiodtab[1], 133687);
    EXPECT_EQ(linearperiodtab[767], 66964);
    for (int i = 0; i < 256; i++)
        ASSERT_EQ(xmfinetab[i], (int32_t)floor(8363.0 * exp2((i - 128) / 1536.0))) << i;
    EXPECT_EQ(xmfinetab[0], 7893);
    EXPECT_EQ(xmfinetab[128], 8363);
    EXPECT_EQ(xmfinetab[255], 8856);
    /* the classic finetune rates: close to an eighth of a semitone apart */
    for (int i = 0; i < 16; i++) {
        EXPECT_NEAR(mod_finetunes[i], 8363.0 * exp2((i - 8) / 96.0), 8363.0 * 0.005) << i;
        if (i > 0) {
            EXPECT_GT(mod_finetunes[i], mod_finetunes[i - 1]);
        }
    }
    EXPECT_EQ(mod_finetunes[8], 8363);
}

TEST(Tables, Waveforms)
{
    for (int i = 0; i < 64; i++) {
        int sine = (int)floor(255.0 * sin(M_PI * (i & 31) / 32.0) + 1e-9);
        EXPECT_EQ(wavetab[0][i], i < 32 ? sine : -sine) << i;
        EXPECT_EQ(wavetab[1][i], i < 32 ? 8 * i : 8 * i - 511) << i; /* a rising ramp */
        EXPECT_EQ(wavetab[2][i], i < 32 ? 255 : -255) << i;
        EXPECT_LE(abs(wavetab[3][i]), 255);
    }
    EXPECT_EQ(wavetab[0][16], 255);
    EXPECT_EQ(wavetab[3][0], -26);
    EXPECT_EQ(wavetab[3][63], 29);
}

TEST(Tables, NoteNames)
{
    const char* names[12] = {"C-", "C#", "D-", "D#", "E-", "F-", "F#", "G-", "G#", "A-", "A#", "B-"};
    for (int o = 0; o < 8; o++)
        for (int s = 0; s < 16; s++)
            EXPECT_EQ(std::string(mod_notes[16 * o + s]), s < 12 ? names[s] + std::to_string(o) : "???");
    EXPECT_STREQ(MODFILE_GetNoteString(0x40), "C-4");
    EXPECT_STREQ(MODFILE_GetNoteString(0x7B), "B-7");
    EXPECT_STREQ(MODFILE_GetNoteString(0x4C), "???");
    EXPECT_STREQ(MODFILE_GetNoteString(0xFE), "---");
    EXPECT_STREQ(MODFILE_GetNoteString(0x80), "---");
}

/* The loader tries the formats in registry order: the two with a magic word
 * first, the magic-less MOD last, or any file would pass as a MOD. Every
 * entry answers each descriptor with a distinct, non-empty text. */
TEST(Tables, FormatRegistryTriesTheMagiclessModLast)
{
    EXPECT_EQ(mod_formats[0].getFormatId(), 2);
    EXPECT_EQ(mod_formats[1].getFormatId(), 3);
    EXPECT_EQ(mod_formats[2].getFormatId(), 1);
    EXPECT_EQ(mod_formats[3].set, nullptr);
    for (int i = 0; i < 3; i++) {
        for (auto text : {mod_formats[i].getDescription, mod_formats[i].getVersion, mod_formats[i].getAuthor,
                          mod_formats[i].getCopyright})
            EXPECT_GT(strlen(text()), 0u) << i;
        for (int j = 0; j < i; j++)
            EXPECT_STRNE(mod_formats[i].getDescription(), mod_formats[j].getDescription());
    }
}

} // namespace
