/* Effects, tick by tick: each test builds a one-pattern XM with the writer,
 * loads it through the XM loader and compares period, volume, panning or
 * position per tick with an annotated array. Rows last 6 ticks; linear
 * periods, C-4 = 4608, 64 units a semitone. Effects the XM loader never
 * produces (the plain MOD kinds and the S3M ones) are placed into the loaded
 * pattern directly. */
#include <gtest/gtest.h>

#include "modplay/effects.h"
#include "modplay/modplay_core.h"
#include "tests/modplay/player.h"

using mpt::Player;
using mpt::put;
using V = std::vector<int>;

namespace {

/* The period, volume, panning or position of channel 0 per tick. */
V periods(Player& p, int n)
{
    return p.track(n, [&] { return p.ch().basePeriod + p.ch().periodOffset; });
}
V volumes(Player& p, int n)
{
    return p.track(n, [&] { return (int)p.ch().voice.volume; });
}
V pannings(Player& p, int n)
{
    return p.track(n, [&] { return (int)p.ch().voice.panning; });
}

TEST(Effects, PortamentoUpAndDownWithMemory)
{
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "C-4", 1, 0, 0x1, 2); /* 102 */
    put(s, 1, 0, nullptr, 0, 0, 0x1, 0); /* 100: remembered 2 */
    put(s, 2, 0, nullptr, 0, 0, 0x2, 0); /* 200: portamento memory is shared */
    Player p(s);
    p.toFirstRow();
    EXPECT_EQ(periods(p, 18), (V{4608, 4600, 4592, 4584, 4576, 4568,   /* row 0: -8 from tick 1 */
                                 4568, 4560, 4552, 4544, 4536, 4528,   /* row 1: memory */
                                 4528, 4536, 4544, 4552, 4560, 4568})); /* row 2: down, same memory */
}

TEST(Effects, PlainPortamentosHaveNoMemory)
{
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "C-4");
    Player p(s);
    p.cell(0, 0, 0).effect[1] = 2; /* 1xx without memory */
    p.cell(0, 0, 0).effectOp[1] = 1;
    p.cell(0, 1, 0).effect[1] = 3; /* 2xx, operand 0: nothing */
    p.cell(0, 1, 0).effectOp[1] = 0;
    p.toFirstRow();
    EXPECT_EQ(periods(p, 12), (V{4608, 4604, 4600, 4596, 4592, 4588, 4588, 4588, 4588, 4588, 4588, 4588}));
}

TEST(Effects, TonePortamentoGlidesAndStopsOnTheTarget)
{
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "C-4");
    put(s, 1, 0, "D-4", 1, 0, 0x3, 0x10); /* 310: 64 a tick towards 4480 */
    put(s, 2, 0, "C-4", 1, 0, 0x3, 0x30); /* 330: 192 a tick, overshoots */
    put(s, 3, 0, nullptr, 0, 0, 0x3, 0);  /* 300: memory 0x30 */
    Player p(s);
    p.toFirstRow();
    p.track(5, [] { return 0; });
    uint32_t before = p.ch().voice.position;
    p.tick(); /* row 1, tick 0: the note glides, the sample does not restart */
    EXPECT_GT(p.ch().voice.position, before);
    EXPECT_EQ(periods(p, 18), (V{4608, 4544, 4480, 4480, 4480, 4480,    /* row 1 */
                                 4480, 4608, 4608, 4608, 4608, 4608,    /* row 2: back up, clamped */
                                 4608, 4608, 4608, 4608, 4608, 4608})); /* row 3: at the target */
}

TEST(Effects, VibratoSineAndItsContinuationWithVolumeSlide)
{
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "C-4", 1, 0, 0x4, 0x4F); /* 44F: speed 4, depth 15 */
    put(s, 1, 0, nullptr, 0, 0, 0x6, 0x01); /* 601: same vibrato, volume -1 */
    put(s, 2, 0, nullptr, 0, 0, 0, 0);
    Player p(s);
    p.toFirstRow();
    V offsets = p.track(13, [&] { return p.ch().periodOffset; });
    /* (15 * sine[pos]) >> 5, position += 4 from tick 1; the peak gives 119 */
    EXPECT_EQ(offsets, (V{0, 0, 45, 84, 110, 119,   /* row 0 */
                          110, 110, 84, 45, 0, -46, /* row 1: tick 0 holds position 20, then on */
                          0}));                     /* row 2: the stop clears it */
}

TEST(Effects, VibratoRestartsOnNotesOnlyForWavesBelowFour)
{
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "C-4", 1, 0, 0xE, 0x41); /* E41: ramp, restarting */
    put(s, 1, 0, "C-4", 1, 0, 0x4, 0x4F);
    put(s, 2, 0, "C-4", 1, 0, 0x4, 0x4F);
    put(s, 3, 0, nullptr, 0, 0, 0xE, 0x45); /* E45: ramp, not restarting */
    put(s, 4, 0, "C-4", 1, 0, 0x4, 0x4F);
    Player p(s);
    p.toFirstRow();
    p.track(6, [] { return 0; });
    V row1 = p.track(6, [&] { return p.ch().periodOffset; });
    EXPECT_EQ(row1, (V{0, 0, 15, 30, 45, 60})); /* rising ramp: (15 * 8 pos) >> 5, pos += 4 */
    V row2 = p.track(6, [&] { return p.ch().periodOffset; });
    EXPECT_EQ(row2, row1); /* the note restarted the wave */
    p.track(6, [] { return 0; });
    EXPECT_EQ(p.ch().fx[1].vibWave, 5);
    EXPECT_EQ(p.ch().fx[1].vibPos, 20); /* tick 0 of row 4: the note did not restart it */
}

TEST(Effects, TonePortamentoOntoAShorterSampleStaysInsideIt)
{
    xmw::Song s = mpt::basicSong();
    xmw::Sample shortOne = xmw::squareSample(100, 10, 50, true);
    s.instruments[0].samples.push_back(shortOne);
    s.instruments[0].noteSample[xmw::note("D-4") - 1] = 1;
    put(s, 0, 0, "C-4");
    put(s, 4, 0, "D-4", 1, 0, 0x3, 0x10);
    Player p(s);
    p.toFirstRow();
    p.track(23, [] { return 0; });
    EXPECT_GT(p.ch().voice.position >> 10, 100u); /* well into the long sample */
    p.tick();                                      /* row 4: the short sample, position kept */
    EXPECT_EQ(p.ch().voice.sample->length, 100);
    EXPECT_LE(p.ch().voice.position >> 10, 100u);
    p.track(6, [] { return 0; });
    EXPECT_EQ(p.ch().voice.active, 0);
}

TEST(Effects, FinePortamentos)
{
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "C-4");
    put(s, 1, 0, nullptr, 0, 0, 0xE, 0x13); /* E13: -12 once */
    put(s, 2, 0, nullptr, 0, 0, 0xE, 0x25); /* E25: +20 once */
    put(s, 3, 0, "C-4", 1, 0, 0xE, 0x13);   /* with a note: after it, from 4608 */
    Player p(s);
    p.toFirstRow();
    p.track(6, [] { return 0; });
    EXPECT_EQ(periods(p, 18), (V{4596, 4596, 4596, 4596, 4596, 4596, 4616, 4616, 4616, 4616, 4616, 4616, 4596, 4596,
                                 4596, 4596, 4596, 4596}));
}

TEST(Effects, TonePortamentoWithVolumeSlideRestartsItsNote)
{
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "C-4");
    put(s, 1, 0, "D-4", 1, 0, 0x5, 0x02); /* 502 */
    Player p(s);
    p.toFirstRow();
    p.track(6, [] { return 0; });
    EXPECT_EQ(p.ch().voice.position >> 10, 0u);
    EXPECT_EQ(periods(p, 3), (V{4480, 4480, 4480}));
    EXPECT_EQ(p.ch().voice.volume, 58); /* ticks 1, 2, 3 */
}

TEST(Effects, TremoloFromTheRowVolumeAndItsClamps)
{
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "C-4", 1, 0x30, 0x7, 0x4F); /* volume 32, 74F */
    put(s, 1, 0, nullptr, 0, 0, 0, 0);
    put(s, 2, 0, nullptr, 0, 0x10 + 20, 0xE, 0x72); /* volume 20, square wave */
    put(s, 3, 0, nullptr, 0, 0, 0x7, 0x8F);
    put(s, 4, 0, "C-4", 1, 0x10 + 50, 0x7, 0x8F); /* the note restarts the square */
    Player p(s);
    p.toFirstRow();
    EXPECT_EQ(volumes(p, 7), (V{32, 32, 43, 53, 59, 61, /* 32 + (15 * sine) >> 7, moving from tick 1 */
                                32}));                  /* the stop puts 32 back */
    p.track(11, [] { return 0; });
    /* the position goes on from 20 where row 0 left it, 8 a tick: 20 + 29,
     * then past 32 the square's 20 - 30 clamps to 0 */
    EXPECT_EQ(volumes(p, 6), (V{49, 49, 49, 0, 0, 0}));
    EXPECT_EQ(volumes(p, 1), (V{64}));                    /* 50 + 29 clamps to 64 */
}

TEST(Effects, PanningSetSlideAndCoarse)
{
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "C-4", 1, 0, 0x8, 0x40); /* 840 survives the note */
    put(s, 1, 0, nullptr, 0, 0, 0x19, 0x20); /* P20: +2 from tick 1 */
    put(s, 2, 0, nullptr, 0, 0xD3, 0, 0);  /* volume column D3: -3 */
    put(s, 3, 0, nullptr, 0, 0, 0xE, 0x8F); /* E8F: 16 * 15 = 240, near the right */
    put(s, 4, 0, nullptr, 0, 0, 0xE, 0x80); /* E80: 0, the left */
    put(s, 5, 0, nullptr, 0, 0xC4, 0, 0);  /* volume column C4: 0x40 */
    put(s, 6, 0, "C-4", 1, 0, 0, 0);       /* an instrument: the sample's panning 32 * 4 */
    Player p(s);
    p.toFirstRow();
    EXPECT_EQ(pannings(p, 6), (V{0x40, 0x40, 0x40, 0x40, 0x40, 0x40}));
    EXPECT_EQ(pannings(p, 6), (V{0x40, 0x42, 0x44, 0x46, 0x48, 0x4A}));
    EXPECT_EQ(pannings(p, 6), (V{0x4A, 0x47, 0x44, 0x41, 0x3E, 0x3B}));
    EXPECT_EQ(pannings(p, 1), (V{240}));
    p.track(5, [] { return 0; });
    EXPECT_EQ(pannings(p, 1), (V{0}));
    p.track(5, [] { return 0; });
    EXPECT_EQ(pannings(p, 1), (V{0x40}));
    p.track(5, [] { return 0; });
    EXPECT_EQ(pannings(p, 1), (V{128}));
}

TEST(Effects, SampleOffsetStartsTheRowsNoteAndStopsAtTheSampleEnd)
{
    /* Both independent players (openmpt123 and xmp, MOD, S3M and XM alike;
     * a sample of three levels, peaks per tick) start a note with 9xx xx *
     * 256 frames in, take the last offset for 900, and leave a playing
     * sample where it is when the row has no note. */
    xmw::Song s = mpt::basicSong();
    s.instruments[0].samples[0].loop = xmw::LOOP_NONE;
    put(s, 0, 0, "C-4", 1, 0, 0x9, 0x02); /* 902: frame 512 */
    put(s, 1, 0, nullptr, 0, 0, 0x9, 0x01); /* 901 without a note: nothing moves */
    put(s, 2, 0, "C-4", 1, 0, 0x9, 0x00); /* 900: the last offset, 256 */
    put(s, 3, 0, "C-4", 1, 0, 0x9, 0xFF); /* past the end: the sample's length */
    Player p(s);
    p.toFirstRow();
    EXPECT_EQ(p.ch().voice.position >> 10, 512u);
    p.track(6, [] { return 0; });
    EXPECT_GT(p.ch().voice.position >> 10, 512u + 900); /* a row at 8363 Hz on from 512 */
    p.track(6, [] { return 0; });
    EXPECT_EQ(p.ch().voice.position >> 10, 256u);
    p.track(6, [] { return 0; });
    EXPECT_EQ(p.ch().voice.position >> 10, 2000u);
    p.tick();
    EXPECT_EQ(p.ch().voice.active, 0);
}

TEST(Effects, VolumeSlidesSetVolumeAndFineSlides)
{
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "C-4", 1, 0, 0xA, 0x02); /* A02 */
    put(s, 1, 0, nullptr, 0, 0, 0xA, 0x00); /* A00: memory */
    put(s, 2, 0, nullptr, 0, 0, 0xA, 0x30); /* A30: +3, capped at 64 */
    put(s, 3, 0, nullptr, 0, 0, 0xE, 0xB5); /* EB5 once */
    put(s, 4, 0, nullptr, 0, 0, 0xE, 0xB0); /* EB0: memory 5 */
    put(s, 5, 0, nullptr, 0, 0, 0xE, 0xA3); /* EA3 */
    put(s, 6, 0, "C-4", 1, 0, 0xC, 0x20); /* C20 wins over the note's volume */
    put(s, 7, 0, nullptr, 0, 0x65, 0, 0); /* volume column: slide down 5 */
    put(s, 8, 0, nullptr, 0, 0x72, 0, 0); /* slide up 2 */
    put(s, 9, 0, nullptr, 0, 0x84, 0, 0); /* fine down 4 */
    put(s, 10, 0, nullptr, 0, 0x93, 0, 0); /* fine up 3 */
    Player p(s);
    p.toFirstRow();
    EXPECT_EQ(volumes(p, 6), (V{64, 62, 60, 58, 56, 54}));
    EXPECT_EQ(volumes(p, 6), (V{54, 52, 50, 48, 46, 44}));
    EXPECT_EQ(volumes(p, 6), (V{44, 47, 50, 53, 56, 59}));
    EXPECT_EQ(volumes(p, 2), (V{54, 54}));
    p.track(4, [] { return 0; });
    EXPECT_EQ(volumes(p, 1), (V{49}));
    p.track(5, [] { return 0; });
    EXPECT_EQ(volumes(p, 1), (V{52}));
    p.track(5, [] { return 0; });
    EXPECT_EQ(volumes(p, 1), (V{32}));
    p.track(5, [] { return 0; });
    EXPECT_EQ(volumes(p, 6), (V{32, 27, 22, 17, 12, 7}));
    EXPECT_EQ(volumes(p, 6), (V{7, 9, 11, 13, 15, 17}));
    EXPECT_EQ(volumes(p, 1), (V{13}));
    p.track(5, [] { return 0; });
    EXPECT_EQ(volumes(p, 1), (V{16}));
}

TEST(Effects, PlainVolumeSlideHasNoMemory)
{
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "C-4");
    Player p(s);
    p.cell(0, 0, 0).effect[1] = 11;
    p.cell(0, 0, 0).effectOp[1] = 0x04;
    p.cell(0, 1, 0).effect[1] = 11;
    p.cell(0, 1, 0).effectOp[1] = 0;
    p.toFirstRow();
    EXPECT_EQ(volumes(p, 12), (V{64, 60, 56, 52, 48, 44, 44, 44, 44, 44, 44, 44}));
}

TEST(Effects, ArpeggioCyclesThreeNotesAndRestoresOnTheNextRow)
{
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "C-4", 1, 0, 0x0, 0x37); /* 037 */
    Player p(s);
    p.toFirstRow();
    EXPECT_EQ(periods(p, 7), (V{4608, 4416, 4160, 4608, 4416, 4160, /* +0, +3, +7 */
                                4608}));                            /* stop: the note itself */
}

TEST(Effects, ArpeggioCarriesPastTheOctave)
{
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "B-4", 1, 0, 0x0, 0xFF); /* B-4 + 15 semitones: D-6 */
    Player p(s);
    p.toFirstRow();
    EXPECT_EQ(periods(p, 2), (V{7680 - 64 * 59, 7680 - 64 * 74}));
}

TEST(Effects, NoteCutDelayAndRetrigger)
{
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "C-4", 1, 0, 0xE, 0xC3); /* EC3 */
    put(s, 1, 0, "C-4", 1, 0, 0xE, 0xC0); /* EC0: never */
    put(s, 2, 0, "D-4", 1, 0, 0xE, 0xD3); /* ED3 */
    put(s, 3, 0, "C-4", 1, 0, 0xE, 0x92); /* E92 */
    put(s, 4, 0, nullptr, 0, 0, 0xE, 0x90); /* E90: nothing */
    Player p(s);
    p.toFirstRow();
    EXPECT_EQ(volumes(p, 6), (V{64, 64, 64, 0, 0, 0}));
    EXPECT_EQ(volumes(p, 6), (V{64, 64, 64, 64, 64, 64}));
    EXPECT_EQ(periods(p, 6), (V{4608, 4608, 4608, 4480, 4480, 4480}));
    V pos = p.track(6, [&] { return (int)(p.ch().voice.position >> 10); });
    EXPECT_EQ(pos[2], 0); /* retriggered on ticks 2 and 4 */
    EXPECT_EQ(pos[4], 0);
    EXPECT_GT(pos[3], 0);
    V pos2 = p.track(6, [&] { return (int)(p.ch().voice.position >> 10); });
    for (int i = 1; i < 6; i++)
        EXPECT_GT(pos2[i], pos2[i - 1]);
}

TEST(Effects, NoteDelayZeroNeverPlays)
{
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "C-4", 1, 0, 0xE, 0xD0);
    Player p(s);
    p.toFirstRow();
    EXPECT_EQ(p.track(6, [&] { return p.ch().voice.active; }), (V{0, 0, 0, 0, 0, 0}));
}

TEST(Effects, SpeedTempoAndGlobalVolume)
{
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "C-4", 1, 0, 0xF, 0x03); /* F03 */
    put(s, 1, 0, nullptr, 0, 0, 0xF, 0x96); /* F96: 150 BPM */
    put(s, 2, 0, nullptr, 0, 0, 0xF, 0x00); /* F00: nothing */
    put(s, 3, 0, nullptr, 0, 0, 0x10, 0x20); /* G20 */
    put(s, 4, 0, nullptr, 0, 0, 0x11, 0x02); /* H02: -2 from tick 1 */
    put(s, 5, 0, nullptr, 0, 0, 0x11, 0x00); /* H00: memory */
    put(s, 6, 0, nullptr, 0, 0, 0x11, 0x22); /* H22: the high nibble wins, +2 */
    put(s, 7, 0, nullptr, 0, 0, 0x11, 0xF0); /* HF0: +15, capped */
    Player p(s);
    p.toFirstRow();
    EXPECT_EQ(p.mod.speed, 3);
    p.track(3, [] { return 0; });
    EXPECT_EQ(p.mod.bpm, 150);
    EXPECT_EQ(p.mod.samplesPerTick, 367);
    p.track(3, [] { return 0; });
    EXPECT_EQ(p.mod.speed, 3);
    EXPECT_EQ(p.mod.bpm, 150);
    p.track(3, [] { return 0; });
    V g = p.track(12, [&] { return (int)p.mod.globalVolume; });
    EXPECT_EQ(g, (V{32, 32, 32, 32, 30, 28, 28, 26, 24, 24, 26, 28}));
    EXPECT_EQ(p.track(3, [&] { return (int)p.mod.globalVolume; }), (V{28, 43, 58}));
}

TEST(Effects, FinetuneChangesTheSampleUntilRestart)
{
    /* the MOD and S3M kind (an XM's E5x sets the finetune of its row's note) */
    xmw::Song s = mpt::basicSong(1, false);
    put(s, 0, 0, "C-4");
    Player p(s);
    p.cell(0, 0, 0).effect[1] = MODFX_SET_FINETUNE;
    p.cell(0, 0, 0).effectOp[1] = 15;
    p.toFirstRow();
    EXPECT_EQ(p.mod.samples[0].c4Rate, 8757);
    MODFILE_Start(&p.mod);
    EXPECT_EQ(p.mod.samples[0].c4Rate, 8363);
}

xmw::Song rowsSong(int patterns, int rows)
{
    xmw::Song s = mpt::basicSong();
    s.patterns.clear();
    s.orders.clear();
    for (int i = 0; i < patterns; i++) {
        s.addPattern(rows);
        s.orders.push_back((uint8_t)i);
    }
    return s;
}

TEST(Effects, PatternLoopPlaysItsBodyThreeTimes)
{
    xmw::Song s = rowsSong(1, 5);
    s.patterns[0].at(1, 0) = {0, 0, 0, 0xE, 0x60}; /* E60 */
    s.patterns[0].at(2, 0) = {0, 0, 0, 0xE, 0x62}; /* E62 */
    Player p(s);
    auto v = mpt::rowsPlayed(p, 9);
    std::vector<std::pair<int, int>> want = {{0, 0}, {0, 1}, {0, 2}, {0, 1}, {0, 2}, {0, 1}, {0, 2}, {0, 3}, {0, 4}};
    EXPECT_EQ(v, want);
}

TEST(Effects, JumpsAndBreaksIncludingOutOfRangeTargets)
{
    xmw::Song s = rowsSong(3, 4);
    s.patterns[0].at(1, 0) = {0, 0, 0, 0xB, 0x02}; /* B02 */
    s.patterns[2].at(1, 0) = {0, 0, 0, 0xD, 0x02}; /* D02: next order (0), row 2 */
    Player p(s);
    auto v = mpt::rowsPlayed(p, 6);
    std::vector<std::pair<int, int>> want = {{0, 0}, {0, 1}, {2, 0}, {2, 1}, {0, 2}, {0, 3}};
    EXPECT_EQ(v, want);

    xmw::Song t = rowsSong(2, 4);
    t.patterns[0].at(0, 0) = {0, 0, 0, 0xB, 0x09}; /* past the song: position 0 */
    t.patterns[0].at(1, 0) = {0, 0, 0, 0xD, 0x99}; /* row 99 of a 4-row pattern: row 0 */
    Player q(t);
    auto w = mpt::rowsPlayed(q, 4);
    std::vector<std::pair<int, int>> want2 = {{0, 0}, {0, 0}, {0, 0}, {0, 0}};
    EXPECT_EQ(w, want2);
    Player r(t);
    r.cell(0, 0, 1).effect[0] = 0; /* only the break is left */
    auto x = mpt::rowsPlayed(r, 3);
    std::vector<std::pair<int, int>> want3 = {{0, 0}, {0, 1}, {1, 0}};
    EXPECT_EQ(x, want3);
}

TEST(Effects, PatternLoopBackToARowTheShorterPatternLacks)
{
    xmw::Song s = rowsSong(2, 4);
    s.patterns[0] = xmw::Pattern(8, 1);
    s.patterns[0].at(6, 0) = {0, 0, 0, 0xE, 0x60}; /* loop start at row 6 */
    s.patterns[1].at(1, 0) = {0, 0, 0, 0xE, 0x61}; /* loop back in a 4-row pattern: row 0 */
    Player p(s);
    auto v = mpt::rowsPlayed(p, 12);
    std::vector<std::pair<int, int>> want = {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 5},
                                             {0, 6}, {0, 7}, {1, 0}, {1, 1}, {1, 0}, {1, 1}};
    EXPECT_EQ(v, want);
}

TEST(Effects, JumpWithRowAndJumpOntoAMarker)
{
    xmw::Song s = rowsSong(2, 4);
    s.orders = {0, 254, 1};
    Player p(s);
    p.cell(0, 0, 1).effect[0] = 30; /* position 2, row 3 */
    p.cell(0, 0, 1).effectOp[0] = 2;
    p.cell(0, 0, 1).effectOp[1] = 3;
    p.cell(1, 3, 1).effect[0] = 12; /* jump onto the marker: plays the entry after it */
    p.cell(1, 3, 1).effectOp[0] = 1;
    auto v = mpt::rowsPlayed(p, 3);
    std::vector<std::pair<int, int>> want = {{0, 0}, {2, 3}, {2, 0}};
    EXPECT_EQ(v, want);
}

TEST(Effects, PatternDelayStretchesTheRow)
{
    xmw::Song s = rowsSong(1, 4);
    s.patterns[0].at(1, 0) = {0, 0, 0, 0xE, 0xE2}; /* EE2: two more rows' worth */
    Player p(s);
    p.toFirstRow();
    int ticks = 0;
    while (p.mod.row != 3) {
        p.tick();
        ticks++;
    }
    /* row 0: 6 ticks, row 1: 6 + 12 */
    EXPECT_EQ(ticks, 6 + 18);
}

TEST(Effects, S3MVolumeSlidesFineAndEveryTick)
{
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "C-4");
    Player p(s);
    auto set = [&](int row, int e, int op) {
        p.cell(0, row, 0).effect[1] = (uint16_t)e;
        p.cell(0, row, 0).effectOp[1] = (uint8_t)op;
    };
    set(0, 38, 0xF2); /* fine down 2 */
    set(1, 38, 0x2F); /* fine up 2 */
    set(2, 38, 0x03); /* down 3 a tick, from tick 1 (no fast slides) */
    set(3, 38, 0x00); /* memory */
    set(4, 38, 0x0F); /* not fine: down 15 a tick */
    p.mod.channels[0].voice.volume = 64;
    p.toFirstRow();
    EXPECT_EQ(volumes(p, 6), (V{62, 62, 62, 62, 62, 62})); /* after the row's note */
    EXPECT_EQ(volumes(p, 6), (V{64, 64, 64, 64, 64, 64}));
    EXPECT_EQ(volumes(p, 6), (V{64, 61, 58, 55, 52, 49}));
    EXPECT_EQ(volumes(p, 6), (V{49, 46, 43, 40, 37, 34}));
    EXPECT_EQ(volumes(p, 3), (V{34, 19, 4}));
}

TEST(Effects, S3MPortamentoKindsRetriggerTremoloSpeedAndTempo)
{
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "C-4");
    Player p(s);
    auto set = [&](int row, int e, int op) {
        p.cell(0, row, 0).effect[1] = (uint16_t)e;
        p.cell(0, row, 0).effectOp[1] = (uint8_t)op;
    };
    set(1, 39, 0xF2); /* fine down: +8 once */
    set(2, 39, 0xE2); /* extra fine: +2 once */
    set(3, 40, 0x02); /* up: -8 from tick 1 */
    set(4, 43, 0x32); /* retrigger every 2 ticks, volume -4 */
    set(5, 44, 0x4F); /* tremolo moving on tick 0 too */
    set(6, 37, 0x04); /* speed 4 */
    set(7, 45, 0x40); /* tempo 64 */
    p.toFirstRow();
    p.track(6, [] { return 0; });
    EXPECT_EQ(periods(p, 6), (V{4616, 4616, 4616, 4616, 4616, 4616}));
    EXPECT_EQ(periods(p, 6), (V{4618, 4618, 4618, 4618, 4618, 4618}));
    EXPECT_EQ(periods(p, 6), (V{4618, 4610, 4602, 4594, 4586, 4578}));
    V vol = volumes(p, 6);
    EXPECT_EQ(vol, (V{64, 60, 60, 56, 56, 52}));
    V trem = volumes(p, 6);
    EXPECT_EQ(trem, (V{52, 63, 64, 64, 64, 64}));
    EXPECT_EQ(p.mod.speed, 4);
    p.track(4, [] { return 0; });
    EXPECT_EQ(p.mod.bpm, 64);
}

TEST(Effects, RetriggerRevivingAVoiceWithoutInstrumentThenKeyOff)
{
    xmw::Song s = mpt::basicSong();
    put(s, 1, 0, "===", 0);
    Player p(s);
    p.cell(0, 0, 0).effect[1] = 43;
    p.cell(0, 0, 0).effectOp[1] = 0x01;
    p.toFirstRow();
    p.track(6, [] { return 0; });
    EXPECT_EQ(p.ch().voice.active, 1); /* no instrument, no sample: nothing is mixed */
    auto out = mpt::samples16(p.tick());
    EXPECT_EQ(out[0], 0);
}

TEST(Effects, S3MVibratoAndTonePortamentoWithSlides)
{
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "C-4", 1, 0, 0x4, 0x4F);
    put(s, 2, 0, "D-4", 1, 0, 0x3, 0x01); /* towards D-4, 4 units a tick */
    Player p(s);
    p.cell(0, 1, 0).effect[1] = 41; /* vibrato as set by 44F, volume -1 every tick */
    p.cell(0, 1, 0).effectOp[1] = 0x01;
    p.cell(0, 3, 0).effect[1] = 42; /* on at the 3xx's speed, volume -1 a tick */
    p.cell(0, 3, 0).effectOp[1] = 0x01;
    p.toFirstRow();
    p.track(6, [] { return 0; });
    EXPECT_EQ(p.track(5, [&] { return p.ch().periodOffset; }), (V{110, 110, 84, 45, 0}));
    EXPECT_EQ(p.ch().voice.volume, 59); /* ticks 1 .. 5 */
    p.track(7, [] { return 0; });
    EXPECT_EQ(periods(p, 3), (V{4588, 4584, 4580}));
    EXPECT_EQ(p.ch().voice.volume, 61); /* ticks 1 .. 3 */
}

TEST(Effects, EveryEffectNumberHasThreeHandlersAndTheTableEnds)
{
    for (int e = 0; e < MODFX_COUNT; e++) {
        EXPECT_NE(MODPLAY_EffectHandlers[e].start, nullptr) << e;
        EXPECT_NE(MODPLAY_EffectHandlers[e].process, nullptr) << e;
        EXPECT_NE(MODPLAY_EffectHandlers[e].stop, nullptr) << e;
    }
    EXPECT_EQ(MODPLAY_EffectHandlers[MODFX_COUNT].start, nullptr);
    /* numbers past the table in a cell do nothing */
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "C-4");
    Player p(s);
    p.cell(0, 0, 0).effect[1] = MODFX_COUNT;
    p.cell(0, 0, 0).effectOp[1] = 9;
    p.cell(0, 1, 0).effect[1] = 28; /* EFx: nothing */
    p.toFirstRow();
    EXPECT_EQ(volumes(p, 12), V(12, 64));
}

} // namespace
