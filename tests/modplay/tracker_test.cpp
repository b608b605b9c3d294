/* Songs built to isolate one behaviour each, played as the trackers that
 * made their formats play them.
 *
 * How the expected values were measured: each song was written to a file
 * (with the same writers) and rendered by both independent players,
 * openmpt123 (--no-float --samplerate 22050 --filter 1 --ramping 0) and
 * xmp (-f 22050 -i nearest). The samples are square waves, so a tick's peak
 * gives the volume (each side's peak the panning) and the spacing of the
 * wave's edges the pitch; a jump's target row is told by notes that mark
 * the rows. The values below are those readings turned into the player's
 * units: volume 0..64, panning 0..255, linear periods (C-4 = 4608, 64 a
 * semitone), Amiga-style periods (C-4 = 1712). Where the two players
 * disagree, the comment says which one plays as the format's own tracker
 * did and why. */
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "modplay/effects.h"
#include "modplay/modplay_core.h"
#include "tests/modplay/modwriter.h"
#include "tests/modplay/player.h"
#include "tests/modplay/s3mwriter.h"

using mpt::Player;
using mpt::put;
using V = std::vector<int>;
using Rows = std::vector<std::pair<int, int>>;

namespace {

V volumes(Player& p, int n, int c = 0)
{
    return p.track(n, [&] { return (int)p.ch(c).voice.volume; });
}
V periods(Player& p, int n)
{
    return p.track(n, [&] { return p.ch().basePeriod + p.ch().periodOffset + p.ch().autoVibOffset; });
}
V repeat(int value, int n)
{
    return V((size_t)n, value);
}
V concat(std::initializer_list<V> parts)
{
    V v;
    for (const V& part : parts)
        v.insert(v.end(), part.begin(), part.end());
    return v;
}

/* A one-channel XM with a sustained envelope of one level, so that key off
 * only starts the fade-out. */
xmw::Song sustainedSong(int fadeout)
{
    xmw::Song s = mpt::basicSong();
    s.instruments[0].fadeout = (uint16_t)fadeout;
    s.instruments[0].volume.on = true;
    s.instruments[0].volume.points = {{0, 64}, {12, 64}};
    s.instruments[0].volume.sustain = 0;
    return s;
}

/* A MOD of four channels, its first sample a looping square. */
modw::Song modSong(int patterns = 1)
{
    modw::Song s;
    s.patterns.assign((size_t)patterns, modw::Pattern(4));
    s.samples.push_back(modw::squareSample(2048));
    return s;
}

/* An S3M of four channels with one looping square sample. */
s3mw::Song s3mSong()
{
    s3mw::Song s;
    s.sampleFormat = 1;
    s.instruments.push_back(s3mw::squareInstrument(2048));
    return s;
}

s3mw::Entry entry(int channel, int note, int command = -1, int param = 0, int volume = -1)
{
    s3mw::Entry e;
    e.channel = channel;
    e.note = note;
    e.instrument = note >= 0 ? 1 : 0;
    e.volume = volume;
    e.command = command;
    e.param = param;
    return e;
}

/* ---- 1: an XM instrument number without a note ---------------------------- */

TEST(Tracker, XmInstrumentWithoutNoteGivesBackVolumeEnvelopesAndTheKey)
{
    /* C-4 at volume 16, then "-- 01": both players go from peak 768 to
     * 3072 (openmpt123), 1024 to 4096 (xmp): volume 16, then 64 */
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "C-4", 1, 0x10 + 16);
    s.patterns[0].at(2, 0).instrument = 1;
    Player p(s);
    p.toFirstRow();
    EXPECT_EQ(volumes(p, 18), concat({repeat(16, 12), repeat(64, 6)}));

    /* the volume envelope (64 falling to 16 over 12 ticks) starts again:
     * xmp's peaks 3072 .. 960 by tick 11, then 4096, 3840, 3584 */
    xmw::Song e = mpt::basicSong();
    e.instruments[0].volume.on = true;
    e.instruments[0].volume.points = {{0, 64}, {12, 16}, {100, 16}};
    put(e, 0, 0, "C-4", 1, 0x10 + 48);
    e.patterns[0].at(2, 0).instrument = 1;
    Player q(e);
    q.toFirstRow();
    q.track(12, [] { return 0; });
    EXPECT_EQ(q.track(3, [&] { return (int)q.ch().voice.envVolume; }), (V{64, 60, 56}));

    /* after a key off, the instrument number holds the note again: the
     * fade-out (2048 a tick) stops and the volume is full (peaks back at
     * 3072 / 4096 from row 2 on, where key off had faded them) */
    xmw::Song k = sustainedSong(2048);
    put(k, 0, 0, "C-4");
    put(k, 1, 0, "===", 0);
    k.patterns[0].at(2, 0).instrument = 1;
    Player r(k);
    r.toFirstRow();
    r.track(12, [] { return 0; });
    EXPECT_EQ(r.track(6, [&] { return (int)r.ch().fadeVolume; }), repeat(0x8000, 6));

    /* "=== 01" is a key off that gives the volume back: with the envelope
     * both fade from full volume at row 2; without one the note goes on at
     * full volume (peaks 3072 / 4096 on) */
    xmw::Song o = sustainedSong(2048);
    put(o, 0, 0, "C-4", 1, 0x10 + 32);
    put(o, 2, 0, "===", 1);
    Player t(o);
    t.toFirstRow();
    t.track(12, [] { return 0; });
    EXPECT_EQ(t.ch().voice.volume, 64);
    EXPECT_EQ(t.track(3, [&] { return (int)t.ch().fadeVolume; }), (V{0x7800, 0x7000, 0x6800}));
    xmw::Song n = mpt::basicSong();
    put(n, 0, 0, "C-4", 1, 0x10 + 32);
    put(n, 2, 0, "===", 1);
    Player u(n);
    u.toFirstRow();
    u.track(12, [] { return 0; });
    EXPECT_EQ(volumes(u, 6), repeat(64, 6));
    EXPECT_EQ(u.ch().voice.active, 1);
}

/* ---- 2: coarse panning ------------------------------------------------------ */

TEST(Tracker, CoarsePanningSpansTheWidthAndHoldsAgainstTheNote)
{
    /* E8x with a note on rows 0, 2, .., x = 0, 4, 8, C, F. xmp: right
     * peaks 0, 2048, 4096, 6144, 7680 of 8192: 16x, as the XM tracker has
     * it (openmpt123 plays 17x). The note's instrument on the same row does
     * not take it back. */
    const int xs[5] = {0, 4, 8, 12, 15};
    xmw::Song s = mpt::basicSong();
    for (int i = 0; i < 5; i++)
        put(s, 2 * i, 0, "C-4", 1, 0, 0xE, 0x80 | xs[i]);
    put(s, 10, 0, "C-4");
    Player p(s);
    p.toFirstRow();
    V got;
    for (int i = 0; i < 6; i++) {
        got.push_back(p.ch().voice.panning);
        p.track(12, [] { return 0; });
    }
    EXPECT_EQ(got, (V{0, 64, 128, 192, 240, 128})); /* then the sample's own panning */

    /* MOD and S3M: 17x, hard right at F (openmpt123: right peaks 0, 2176,
     * 4384, 6560, 8192 of 8192; xmp plays 16x); the panning stays for the
     * later notes, whose samples have none of their own */
    modw::Song m = modSong();
    for (int i = 0; i < 5; i++)
        m.patterns[0].at(2 * i, 0) = {428, 1, 0xE, (uint8_t)(0x80 | xs[i])};
    m.patterns[0].at(10, 0) = {428, 1, 0, 0};
    Player q(modw::write(m));
    q.toFirstRow();
    got.clear();
    for (int i = 0; i < 6; i++) {
        got.push_back(q.ch().voice.panning);
        q.track(12, [] { return 0; });
    }
    EXPECT_EQ(got, (V{0, 68, 136, 204, 255, 255}));
    s3mw::Song t = s3mSong();
    t.patterns[0].rows[0] = {entry(0, 0x40, 19, 0x84)};
    Player r(s3mw::write(t));
    r.toFirstRow();
    EXPECT_EQ(r.ch().voice.panning, 68);
}

/* ---- 3: global effects sharing a row ---------------------------------------- */

/* Two channels; row 1 of pattern 0 holds effects a and b (channel order). */
xmw::Song twoEffectsXm(int fxA, int parA, int fxB, int parB)
{
    xmw::Song s = mpt::basicSong(2);
    for (int i = 0; i < 2; i++)
        s.addPattern(16);
    s.patterns[0] = xmw::Pattern(16, 2);
    s.orders = {0, 1, 2};
    put(s, 0, 0, "C-4");
    s.patterns[0].at(1, 0) = {0, 0, 0, (uint8_t)fxA, (uint8_t)parA};
    s.patterns[0].at(1, 1) = {0, 0, 0, (uint8_t)fxB, (uint8_t)parB};
    return s;
}

TEST(Tracker, GlobalEffectsSharingARowAllAct)
{
    /* Marker notes told the rows (C-3 + row in pattern 1, C-5 + row in
     * pattern 2); both players agree on every XM case. */
    struct Case {
        int fxA, parA, fxB, parB;
        Rows want; /* rows 1 .. of the song */
    } xm[] = {
        {0xB, 2, 0xD, 5, {{0, 1}, {2, 5}}},         /* B02 D05: position 2, row 5 */
        {0xD, 5, 0xB, 2, {{0, 1}, {2, 0}}},         /* D05 B02: the jump starts at row 0 */
        {0xB, 2, 0xE, 0xE2, {{0, 1}, {2, 0}}},      /* B02 EE2: the jump after three times the row */
        {0xD, 3, 0xE, 0xE2, {{0, 1}, {1, 3}}},      /* D03 EE2 */
    };
    for (const Case& c : xm) {
        Player p(twoEffectsXm(c.fxA, c.parA, c.fxB, c.parB));
        p.toFirstRow();
        EXPECT_EQ(mpt::rowsPlayed(p, 2), c.want) << c.fxA << " " << c.fxB;
    }
    Player d(twoEffectsXm(0xB, 2, 0xE, 0xE2));
    d.toFirstRow();
    d.track(6, [] { return 0; });
    EXPECT_EQ(d.mod.speed + d.mod.patternDelay, 18); /* the row lasts 3 x 6 ticks */

    /* MOD: a pattern delay with a break or jump goes one row further
     * (openmpt123: B02 EE2 lands on row 1, D03 EE2 on row 4, as the
     * ProTracker replayer steps on past the break's row while the row
     * repeats; xmp plays rows 0 and 3) */
    const int mod[2][4] = {{0xB, 0x02, 0xE, 0xE2}, {0xD, 0x03, 0xE, 0xE2}};
    const Rows modWant[2] = {{{0, 1}, {2, 1}}, {{0, 1}, {1, 4}}};
    for (int k = 0; k < 2; k++) {
        modw::Song m = modSong(3);
        m.orders = {0, 1, 2};
        m.patterns[0].at(0, 0) = {428, 1, 0, 0};
        m.patterns[0].at(1, 0) = {0, 0, (uint8_t)mod[k][0], (uint8_t)mod[k][1]};
        m.patterns[0].at(1, 1) = {0, 0, (uint8_t)mod[k][2], (uint8_t)mod[k][3]};
        Player p(modw::write(m));
        p.toFirstRow();
        EXPECT_EQ(mpt::rowsPlayed(p, 2), modWant[k]) << k;
    }

    /* S3M: a jump keeps the break's row in either order (openmpt123; xmp
     * starts the jump after a break at row 0) */
    for (bool breakFirst : {false, true}) {
        s3mw::Song t = s3mSong();
        t.orders = {0, 1, 2};
        t.patterns.resize(3);
        t.patterns[0].rows[0] = {entry(0, 0x40)};
        t.patterns[0].rows[1] = {entry(0, -1, breakFirst ? 3 : 2, breakFirst ? 0x05 : 2),
                                 entry(1, -1, breakFirst ? 2 : 3, breakFirst ? 2 : 0x05)};
        Player p(s3mw::write(t));
        p.toFirstRow();
        EXPECT_EQ(mpt::rowsPlayed(p, 2), (Rows{{0, 1}, {2, 5}})) << breakFirst;
    }
}

/* ---- 4: tone portamento with volume slide ------------------------------------ */

TEST(Tracker, TonePortamentoWithVolumeSlideGoesOnAtItsOwnSpeed)
{
    /* C-4, then C-3 with 304 (16 units a tick), then 500, 501, 500. Both
     * players: 522 Hz falling to 486 over row 1, to 452 over row 2 (500
     * goes on at 304's speed), to 421 over row 3; the volume falls by 1 a
     * tick in rows 3 and 4 (500 remembers 01). */
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "C-4");
    put(s, 1, 0, "C-3", 0, 0, 0x3, 0x04);
    put(s, 2, 0, nullptr, 0, 0, 0x5, 0x00);
    put(s, 3, 0, nullptr, 0, 0, 0x5, 0x01);
    put(s, 4, 0, nullptr, 0, 0, 0x5, 0x00);
    Player p(s);
    p.toFirstRow();
    p.track(6, [] { return 0; });
    EXPECT_EQ(periods(p, 18), (V{4608, 4624, 4640, 4656, 4672, 4688, 4688, 4704, 4720, 4736, 4752, 4768, 4768, 4784,
                                 4800, 4816, 4832, 4848}));
    EXPECT_EQ(volumes(p, 6), (V{59, 58, 57, 56, 55, 54}));

    /* S3M Lxy likewise goes on at Gxx's speed */
    s3mw::Song t = s3mSong();
    t.patterns[0].rows[0] = {entry(0, 0x40)};
    t.patterns[0].rows[1] = {entry(0, 0x30, 7, 0x04)};
    t.patterns[0].rows[2] = {entry(0, -1, 12, 0x00)};
    Player q(s3mw::write(t));
    q.toFirstRow();
    q.track(12, [] { return 0; });
    EXPECT_EQ(q.track(3, [&] { return q.ch().basePeriod; }), (V{1712 + 5 * 16, 1712 + 6 * 16, 1712 + 7 * 16}));
}

/* ---- 5: E9x retrigger ----------------------------------------------------------- */

TEST(Tracker, RetriggerKeepsTheVolumeAndRestartsTheEnvelope)
{
    /* E93 at volume 16: both players hold peak 768 / 1024 (volume 16) */
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "C-4", 1, 0x10 + 16, 0xE, 0x93);
    Player p(s);
    p.toFirstRow();
    EXPECT_EQ(volumes(p, 12), repeat(16, 12));

    /* E94 with a falling envelope: it starts again at tick 4 (openmpt123;
     * xmp lets it fall on) */
    xmw::Song e = mpt::basicSong();
    e.instruments[0].volume.on = true;
    e.instruments[0].volume.points = {{0, 64}, {12, 16}, {100, 16}};
    put(e, 0, 0, "C-4", 1, 0x10 + 48, 0xE, 0x94);
    Player q(e);
    q.toFirstRow();
    EXPECT_EQ(q.track(6, [&] { return (int)q.ch().voice.envVolume; }), (V{64, 60, 56, 52, 64, 60}));

    /* the MOD kind too: E93 after C10 holds 16 */
    modw::Song m = modSong();
    m.patterns[0].at(0, 0) = {428, 1, 0xC, 0x10};
    m.patterns[0].at(1, 0) = {0, 0, 0xE, 0x93};
    Player r(modw::write(m));
    r.toFirstRow();
    EXPECT_EQ(volumes(r, 12), repeat(16, 12));
}

/* ---- 6: XM E5x --------------------------------------------------------------- */

TEST(Tracker, XmSetFinetuneActsOnTheNoteOfItsRow)
{
    /* C-3 with E5F plays 274.8 Hz against 261.3 (both players): 7/8 of a
     * semitone up, 56 units; the next C-3 without it plays 261.3 again and
     * E5F without a note changes nothing. The same in Amiga periods. */
    for (bool linear : {true, false}) {
        xmw::Song s = mpt::basicSong(1, linear);
        put(s, 0, 0, "C-3", 1, 0, 0xE, 0x5F);
        put(s, 2, 0, "C-3");
        put(s, 4, 0, nullptr, 0, 0, 0xE, 0x5F);
        Player p(s);
        p.toFirstRow();
        int plain = MODFILE_NotePeriod(&p.mod, 0x30, 8363, 0);
        int raised = p.ch().basePeriod;
        if (linear)
            EXPECT_EQ(raised, plain - 56);
        else
            EXPECT_NEAR(1.0 * plain / raised, exp2(7.0 / 96.0), 0.002);
        p.track(12, [] { return 0; });
        EXPECT_EQ(p.ch().basePeriod, plain);
        p.track(12, [] { return 0; });
        EXPECT_EQ(p.ch().basePeriod, plain);
    }
}

/* ---- 7: period limits --------------------------------------------------------- */

TEST(Tracker, PortamentoHoldsAtTheFormatsLimits)
{
    /* XM: C-7 with 120 every row (128 units a tick) rises to 2090 Hz and
     * holds there (openmpt123; xmp cuts the note): the highest pitch, not a
     * frozen voice */
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "C-7", 1, 0, 0x1, 0x20);
    for (int r = 1; r < 8; r++)
        put(s, r, 0, nullptr, 0, 0, 0x1, 0x20);
    Player p(s);
    p.toFirstRow();
    p.track(36, [] { return 0; });
    EXPECT_EQ(p.ch().basePeriod, 1);
    EXPECT_GT(p.ch().voice.step, 0u);

    /* MOD: up stops at the Amiga's B-3 (113: openmpt123 holds 122 Hz with
     * this sample), down at C-1 (856) */
    modw::Song m = modSong();
    m.patterns[0].at(0, 0) = {214, 1, 0x1, 0x08};
    m.patterns[0].at(0, 1) = {856, 1, 0x2, 0x20};
    for (int r = 1; r < 16; r++) {
        m.patterns[0].at(r, 0) = {0, 0, 0x1, 0x08};
        m.patterns[0].at(r, 1) = {0, 0, 0x2, 0x20};
    }
    Player q(modw::write(m));
    q.toFirstRow();
    q.track(90, [] { return 0; });
    EXPECT_EQ(q.ch(0).basePeriod, 4 * 113);
    EXPECT_EQ(q.ch(1).basePeriod, 4 * 856);

    /* S3M: C-7 with F01 every row (4 units a tick from 214). Both players
     * hold the pitch from tick 45 on (874 Hz: period 64) and cut the note
     * at tick 64, where the period passes 0. */
    s3mw::Song t = s3mSong();
    t.patterns[0].rows[0] = {entry(0, 0x70, 6, 0x01)};
    for (int r = 1; r < 16; r++)
        t.patterns[0].rows[r] = {entry(0, -1, 6, 0x01)};
    Player r(s3mw::write(t));
    r.toFirstRow();
    V steps = r.track(66, [&] { return (int)r.ch().voice.step; });
    EXPECT_LT(steps[44], steps[45]);
    EXPECT_EQ(steps[45], steps[63]);
    V active = r.track(1, [&] { return r.ch().voice.active; });
    EXPECT_EQ(active, (V{0}));
}

/* ---- 8: MOD stereo -------------------------------------------------------------- */

TEST(Tracker, ModChannelsPanLeftRightRightLeft)
{
    /* a note in each channel by turn: both players' left peak is the
     * larger for channels 0 and 3, the right one for 1 and 2 */
    modw::Song m = modSong();
    for (int c = 0; c < 4; c++) {
        m.patterns[0].at(2 * c, c) = {428, 1, 0, 0};
        m.patterns[0].at(2 * c + 1, c) = {0, 0, 0xC, 0}; /* silent again */
    }
    Player p(modw::write(m));
    p.toFirstRow();
    V side;
    for (int c = 0; c < 4; c++) {
        auto out = mpt::samples16(p.tick());
        int left = 0, right = 0;
        for (size_t i = 0; i + 1 < out.size(); i += 2) {
            left = std::max(left, std::abs(out[i]));
            right = std::max(right, std::abs(out[i + 1]));
        }
        side.push_back(left > right ? -1 : 1);
        p.track(11, [] { return 0; });
    }
    EXPECT_EQ(side, (V{-1, 1, 1, -1}));
}

/* ---- 9: S3M pattern break ---------------------------------------------------------- */

TEST(Tracker, S3mPatternBreakRowIsDecimal)
{
    /* C12 on row 1: both players go on at C-3, the note marking row 12 of
     * the next pattern */
    s3mw::Song t = s3mSong();
    t.orders = {0, 1};
    t.patterns.resize(2);
    t.patterns[0].rows[0] = {entry(0, 0x40)};
    t.patterns[0].rows[1] = {entry(0, -1, 3, 0x12)};
    Player p(s3mw::write(t));
    p.toFirstRow();
    EXPECT_EQ(mpt::rowsPlayed(p, 2), (Rows{{0, 1}, {1, 12}}));
}

/* ---- 10: the panning envelope of 16-bit samples ------------------------------------ */

TEST(Tracker, SixteenBitSamplesFollowThePanningEnvelope)
{
    /* a panning envelope 0 -> 64 -> 0 over 40 ticks, at the centre: both
     * players put a 16-bit note hard left at tick 0, in the middle at 10,
     * hard right at 20, as an 8-bit one */
    for (bool wide : {false, true}) {
        xmw::Song s = mpt::basicSong();
        xmw::Sample& smp = s.instruments[0].samples[0];
        smp = xmw::squareSample(2000, 40, wide ? 16000 : 64, wide);
        smp.loop = xmw::LOOP_FORWARD;
        smp.loopLength = 2000;
        s.instruments[0].panning.on = true;
        s.instruments[0].panning.points = {{0, 0}, {20, 64}, {40, 0}};
        put(s, 0, 0, "C-4");
        Player p(s);
        p.toFirstRow();
        V ratio;
        for (int t = 0; t < 21; t++) {
            auto out = mpt::samples16(p.tick());
            if (t % 10)
                continue;
            int left = 0, right = 0;
            for (size_t i = 0; i + 1 < out.size(); i += 2) {
                left = std::max(left, std::abs(out[i]));
                right = std::max(right, std::abs(out[i + 1]));
            }
            ratio.push_back(100 * right / (left + right));
        }
        EXPECT_EQ(ratio, (V{0, 50, 98})) << wide;
    }
}

/* ---- 11: S3M global volume ------------------------------------------------------------ */

double rms(const std::vector<int16_t>& v)
{
    double e = 0;
    for (int16_t x : v)
        e += (double)x * x;
    return sqrt(e / (double)v.size());
}

TEST(Tracker, S3mHeaderGlobalVolumeCountsOnce)
{
    /* global volume 32 against 64 in the header: openmpt123's level ratio
     * is 0.50 (2460 / 4920 peak) */
    double level[2];
    for (int k = 0; k < 2; k++) {
        s3mw::Song t = s3mSong();
        t.globalVolume = k ? 64 : 32;
        t.patterns[0].rows[0] = {entry(0, 0x40)};
        Player p(s3mw::write(t));
        p.toFirstRow();
        level[k] = rms(mpt::samples16(p.render(4410)));
    }
    EXPECT_NEAR(level[0] / level[1], 0.5, 0.02);
}

/* ---- 12: unsigned 16-bit output --------------------------------------------------------- */

TEST(Tracker, UnsignedSixteenBitOutputHasTheSignedGain)
{
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "C-4");
    Player sign(s), unsign(s, 22050, 2, 16, 0);
    sign.toFirstRow();
    unsign.toFirstRow();
    std::vector<int16_t> a = mpt::samples16(sign.render(1000));
    std::vector<int16_t> b = mpt::samples16(unsign.render(1000));
    for (size_t i = 0; i < a.size(); i++)
        ASSERT_EQ((uint16_t)a[i] ^ 0x8000, (uint16_t)b[i]) << i;
}

/* ---- 13: S3M volume slide ------------------------------------------------------------------ */

TEST(Tracker, S3mVolumeSlideSkipsTheFirstTickUnlessTheSongAsksForFastSlides)
{
    /* D04 then D00: both players slide 4 a tick on ticks 1..5 (64 -> 44 ->
     * 24); with the fast slides flag, or saved by Screamtracker 3.00, also
     * on tick 0 (64 -> 40) */
    const int kinds = 3;
    for (int k = 0; k < kinds; k++) {
        s3mw::Song t = s3mSong();
        if (k == 1)
            t.flags = 0x40;
        if (k == 2)
            t.trackerVersion = 0x1300;
        t.patterns[0].rows[0] = {entry(0, 0x40, -1, 0, 64)};
        t.patterns[0].rows[1] = {entry(0, -1, 4, 0x04)};
        t.patterns[0].rows[2] = {entry(0, -1, 4, 0x00)};
        Player p(s3mw::write(t));
        p.toFirstRow();
        p.track(6, [] { return 0; });
        V got = volumes(p, 12);
        if (k == 0)
            EXPECT_EQ(got, (V{64, 60, 56, 52, 48, 44, 44, 40, 36, 32, 28, 24}));
        else
            EXPECT_EQ(got, (V{60, 56, 52, 48, 44, 40, 36, 32, 28, 24, 20, 16})) << k;
    }
}

/* ---- 14: global volume slide ---------------------------------------------------------------- */

TEST(Tracker, GlobalVolumeSlideUpWinsOverDown)
{
    /* G20, H12, -, H21: both players rise 1 a tick in row 1, 2 in row 3 */
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "C-4", 1, 0, 0x10, 0x20);
    put(s, 1, 0, nullptr, 0, 0, 0x11, 0x12);
    put(s, 3, 0, nullptr, 0, 0, 0x11, 0x21);
    Player p(s);
    p.toFirstRow();
    p.track(6, [] { return 0; });
    EXPECT_EQ(p.track(18, [&] { return (int)p.mod.globalVolume; }),
              (V{32, 33, 34, 35, 36, 37, 37, 37, 37, 37, 37, 37, 37, 39, 41, 43, 45, 47}));
}

/* ---- 15: MOD break and jump in one row ------------------------------------------------------- */

TEST(Tracker, ModBreakThenJumpStartsTheJumpAtRowZero)
{
    /* D05 then B02: both players go to position 2, row 0. B02 then D05:
     * position 2, row 5, as the ProTracker replayer has it (its jump
     * clears the break row, its break sets it) and xmp plays it
     * (openmpt123 plays row 0 here too). */
    const int fx[2][4] = {{0xD, 0x05, 0xB, 0x02}, {0xB, 0x02, 0xD, 0x05}};
    const Rows want[2] = {{{0, 1}, {2, 0}}, {{0, 1}, {2, 5}}};
    for (int k = 0; k < 2; k++) {
        modw::Song m = modSong(3);
        m.orders = {0, 1, 2};
        m.patterns[0].at(0, 0) = {428, 1, 0, 0};
        m.patterns[0].at(1, 0) = {0, 0, (uint8_t)fx[k][0], (uint8_t)fx[k][1]};
        m.patterns[0].at(1, 1) = {0, 0, (uint8_t)fx[k][2], (uint8_t)fx[k][3]};
        Player p(modw::write(m));
        p.toFirstRow();
        EXPECT_EQ(mpt::rowsPlayed(p, 2), want[k]) << k;
    }
}

/* ---- 16: what later XM songs use ---------------------------------------------------------------- */

TEST(Tracker, XmVolumeColumnVibratoAndTonePortamento)
{
    /* A4 (speed 4), B8 (depth 8), B0, nothing: openmpt123 plays 522 Hz,
     * then 512, 502, 496, 494 over row 1, holds 496 on row 2's first tick,
     * 502, 512, 522, 534, and 522 again on row 3: offsets of 8 * sine >> 5
     * (24, 45, 58, 63 units) */
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "C-4", 1, 0xA4);
    put(s, 1, 0, nullptr, 0, 0xB8);
    put(s, 2, 0, nullptr, 0, 0xB0);
    Player p(s);
    p.toFirstRow();
    p.track(6, [] { return 0; });
    EXPECT_EQ(p.track(13, [&] { return p.ch().periodOffset; }),
              (V{0, 0, 24, 45, 58, 63, 58, 58, 45, 24, 0, -25, 0}));

    /* C-4, C-3 with F2 (speed 32: 128 units a tick), F0: both players 467,
     * 415, 369, 330, 293 Hz over row 1 and C-3 from row 2's second tick */
    xmw::Song t = mpt::basicSong();
    put(t, 0, 0, "C-4");
    put(t, 1, 0, "C-3", 0, 0xF2);
    put(t, 2, 0, nullptr, 0, 0xF0);
    Player q(t);
    q.toFirstRow();
    q.track(6, [] { return 0; });
    EXPECT_EQ(periods(q, 8), (V{4608, 4736, 4864, 4992, 5120, 5248, 5248, 5376}));
}

TEST(Tracker, XmKeyOffAtATick)
{
    /* K03 with a sustained envelope and fadeout 4096: the fade starts on
     * tick 4 (openmpt123; xmp on tick 3). K00 with a note: the note does
     * not play (openmpt123, as the XM tracker reads K00 as a key off in
     * the note's place; xmp plays it). Without an envelope K02 silences the
     * note from tick 2 (both). */
    xmw::Song s = sustainedSong(4096);
    put(s, 0, 0, "C-4", 1, 0, 0x14, 0x03);
    Player p(s);
    p.toFirstRow();
    EXPECT_EQ(p.track(6, [&] { return (int)p.ch().fadeVolume; }),
              (V{0x8000, 0x8000, 0x8000, 0x8000, 0x7000, 0x6000}));
    xmw::Song k = sustainedSong(4096);
    put(k, 0, 0, "C-4", 1, 0, 0x14, 0x00);
    Player q(k);
    q.toFirstRow();
    EXPECT_EQ(q.ch().voice.active, 0);
    xmw::Song n = mpt::basicSong();
    put(n, 0, 0, "C-4", 1, 0, 0x14, 0x02);
    Player r(n);
    r.toFirstRow();
    EXPECT_EQ(volumes(r, 4), (V{64, 64, 0, 0}));
}

TEST(Tracker, XmSetEnvelopePosition)
{
    /* a volume envelope 64 -> 0 over 32 ticks; L04 on row 2 and a note
     * with L10 on row 4: xmp's peaks give 54 on row 2's first tick (the
     * tick after 4) and 30 on row 4's (openmpt123 one tick behind) */
    xmw::Song s = mpt::basicSong();
    s.instruments[0].volume.on = true;
    s.instruments[0].volume.points = {{0, 64}, {32, 0}};
    put(s, 0, 0, "C-4");
    put(s, 2, 0, nullptr, 0, 0, 0x15, 0x04);
    put(s, 4, 0, "C-4", 1, 0, 0x15, 0x10);
    Player p(s);
    p.toFirstRow();
    p.track(12, [] { return 0; });
    EXPECT_EQ(p.track(2, [&] { return (int)p.ch().voice.envVolume; }), (V{54, 52}));
    p.track(10, [] { return 0; });
    EXPECT_EQ(p.ch().voice.envVolume, 30);
}

TEST(Tracker, XmMultiRetrigger)
{
    /* sample volume 32; C-4 R23, C-4 R00, R00, R00: openmpt123's peaks give
     * 32 32 30 30 30 28 | 32 32 30 30 30 28 | 28 28 26 26 26 24 | 24 24 22:
     * the count runs on every tick from the note and across rows (xmp
     * counts from tick 1 of each row) */
    xmw::Song s = mpt::basicSong();
    s.instruments[0].samples[0].volume = 32;
    put(s, 0, 0, "C-4", 1, 0, 0x1B, 0x23);
    put(s, 1, 0, "C-4", 1, 0, 0x1B, 0x00);
    put(s, 2, 0, nullptr, 0, 0, 0x1B, 0x00);
    put(s, 3, 0, nullptr, 0, 0, 0x1B, 0x00);
    Player p(s);
    p.toFirstRow();
    EXPECT_EQ(volumes(p, 21), (V{32, 32, 30, 30, 30, 28, 32, 32, 30, 30, 30, 28, 28, 28, 26, 26, 26, 24, 24, 24, 22}));

    /* a volume column in the row holds it back (openmpt123: no change while
     * every row names a volume) */
    xmw::Song v = mpt::basicSong();
    put(v, 0, 0, "C-4", 1, 0x10 + 32, 0x1B, 0x21);
    Player q(v);
    q.toFirstRow();
    EXPECT_EQ(volumes(q, 6), repeat(32, 6));
}

TEST(Tracker, XmTremor)
{
    /* T21, T00, nothing: both players sound for ticks 0..3, are silent
     * 4..6, sound 7..9 and stay silent from tick 10 on */
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "C-4", 1, 0, 0x1D, 0x21);
    put(s, 1, 0, nullptr, 0, 0, 0x1D, 0x00);
    Player p(s);
    p.toFirstRow();
    EXPECT_EQ(volumes(p, 14), (V{64, 64, 64, 64, 0, 0, 0, 64, 64, 64, 0, 0, 0, 0}));
}

TEST(Tracker, XmExtraFinePortamento)
{
    /* X1F with the note, X10 (remembered) three times, X2F four times:
     * openmpt123 plays 529.9, 537.0, 544.2, 551.9, then 544.4, 537.2, 529.9,
     * 522.8 Hz, a row each: 15 units a row, the first after the note (xmp
     * leaves X1x with a note and with memory out) */
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "C-4", 1, 0, 0x21, 0x1F);
    for (int r = 1; r < 4; r++)
        put(s, r, 0, nullptr, 0, 0, 0x21, 0x10);
    for (int r = 4; r < 8; r++)
        put(s, r, 0, nullptr, 0, 0, 0x21, 0x2F);
    Player p(s);
    p.toFirstRow();
    V got;
    for (int r = 0; r < 8; r++) {
        got.push_back(p.ch().basePeriod);
        p.track(6, [] { return 0; });
    }
    EXPECT_EQ(got, (V{4593, 4578, 4563, 4548, 4563, 4578, 4593, 4608}));
}

TEST(Tracker, XmInstrumentAutoVibrato)
{
    /* depth 15, rate 16 (a cycle of 16 ticks), no sweep. openmpt123, as
     * the XM tracker: the sine first raises the pitch (525 528 529 530 529
     * 528 525 522 Hz over the first 8 ticks, then 521 .. 516 .. 522), the
     * square holds 529.5 Hz for 8 ticks and 516 for the next 8, the ramp
     * (type 2) lowers the pitch tick by tick from 522 to 516 and jumps to
     * 529 at tick 7 (xmp starts the sine and the square the other way).
     * 516..530 Hz is about 15 units either side of C-4's 522.7. */
    V sign[3];
    for (int type = 0; type < 3; type++) {
        xmw::Song s = mpt::basicSong();
        s.instruments[0].vibratoType = (uint8_t)type;
        s.instruments[0].vibratoDepth = 15;
        s.instruments[0].vibratoRate = 16;
        put(s, 0, 0, "C-4");
        Player p(s);
        p.toFirstRow();
        V offsets = p.track(16, [&] { return p.ch().autoVibOffset; });
        for (int o : offsets) {
            EXPECT_LE(std::abs(o), 15) << type;
            sign[type].push_back(o < -2 ? -1 : o > 2 ? 1 : 0);
        }
        if (type == 1) {
            EXPECT_EQ(offsets, concat({repeat(-15, 7), repeat(15, 8), repeat(-15, 1)}));
        }
    }
    EXPECT_EQ(sign[0], (V{-1, -1, -1, -1, -1, -1, -1, 0, 1, 1, 1, 1, 1, 1, 1, 0}));
    /* (522 -> 521 Hz on tick 1 is about 3 units) */
    EXPECT_EQ(sign[2], (V{0, 1, 1, 1, 1, 1, 1, -1, -1, -1, -1, -1, -1, -1, 0, 0}));

    /* sweep 32: openmpt123's swing grows from none to the full depth over
     * 32 ticks (522 -> 524 Hz on the first cycle, a third of the depth at
     * most; 516..528 on the third) */
    xmw::Song w = mpt::basicSong();
    w.instruments[0].vibratoDepth = 15;
    w.instruments[0].vibratoRate = 16;
    w.instruments[0].vibratoSweep = 32;
    put(w, 0, 0, "C-4");
    Player q(w);
    q.toFirstRow();
    V offsets = q.track(48, [&] { return std::abs(q.ch().autoVibOffset); });
    EXPECT_LE(*std::max_element(offsets.begin(), offsets.begin() + 16), 6);
    EXPECT_GE(*std::max_element(offsets.begin() + 32, offsets.end()), 14);
}

TEST(Tracker, XmRestartPosition)
{
    /* orders 0 1 2, restart 1: after position 2 both players (looping) go
     * on at position 1 */
    xmw::Song s = mpt::basicSong();
    s.restart = 1;
    s.patterns.clear();
    for (int i = 0; i < 3; i++)
        s.addPattern(2);
    s.orders = {0, 1, 2};
    Player p(s);
    p.toFirstRow();
    EXPECT_EQ(mpt::rowsPlayed(p, 7), (Rows{{0, 1}, {1, 0}, {1, 1}, {2, 0}, {2, 1}, {1, 0}, {1, 1}}));
}

} // namespace
