/* The soundtrack's sound kit and notation: the series arithmetic against the
 * C library, the generator against its published sequence, the tuning
 * through the player's own period arithmetic, seamless loops, the chord and
 * part notations and their refusals. */
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "tools/song/instruments.h"
#include "tools/song/score.h"
#include "tools/song/synth.h"

namespace {

using namespace synth;

TEST(Synth, SeriesArithmeticMatchesTheCLibrary)
{
    for (int i = -4000; i <= 4000; i++) {
        double x = i * 0.00731;
        ASSERT_NEAR(sin2pi(x), std::sin(2.0 * M_PI * x), 1e-11) << x;
        ASSERT_NEAR(cos2pi(x), std::cos(2.0 * M_PI * x), 1e-11) << x;
        double e = i * 0.0113;
        ASSERT_NEAR(expd(e) / std::exp(e), 1.0, 1e-13) << e;
        ASSERT_NEAR(tanhd(e), std::tanh(e), 1e-13) << e;
    }
    for (double x = 1e-6; x < 1e6; x *= 1.37)
        ASSERT_NEAR(log2d(x), std::log2(x), 1e-13) << x;
    EXPECT_EQ(expd(-800.0), 0.0);
    EXPECT_EQ(log2d(0.0), -1100.0);
    EXPECT_EQ(pow2d(10.0), 1024.0);
    EXPECT_EQ(roundd(2.5), 3);
    EXPECT_EQ(roundd(-2.5), -3);
    EXPECT_EQ(roundd(-2.4), -2);
}

TEST(Synth, GeneratorGivesThePublishedSequence)
{
    /* splitmix64 from seed 0: the reference outputs of its author */
    Rng r(0);
    EXPECT_EQ(r.next64(), 0xE220A8397B1DCDAFull);
    EXPECT_EQ(r.next64(), 0x6E789E6AA1B965F4ull);
    EXPECT_EQ(r.next64(), 0x06C45D188009454Full);
    Rng a(42), b(42);
    for (int i = 0; i < 1000; i++) {
        double u = a.uni();
        ASSERT_EQ(u, b.uni());
        ASSERT_GE(u, 0.0);
        ASSERT_LT(u, 1.0);
    }
}

/* The pitch a note of the sample sounds at in the player: linear period
 * 7680 - 64 (note + relative note) - finetune / 2, frequency 8363 *
 * 2^((4608 - period) / 768), times the wave's own pitch over its rate. */
double playedHz(const xmw::Sample& s, int note, double waveHz)
{
    int period = 7680 - 64 * (note + s.relativeNote) - s.finetune / 2;
    return 8363.0 * std::pow(2.0, (4608 - period) / 768.0) * waveHz / RATE;
}

TEST(Synth, TuningPlaysEveryNoteAtItsPitch)
{
    for (double hz : {41.2, 55.0, 100.0, 261.6, 440.0, 523.25, 1000.0, 2000.0, 8000.0}) {
        xmw::Sample s;
        tune(s, hz);
        EXPECT_EQ(s.finetune % 2, 0);
        for (int n = 12; n < 96 && n + s.relativeNote < 119; n += 7) {
            double cents = 1200.0 * std::log2(playedHz(s, n, hz) / noteHz(n));
            ASSERT_NEAR(cents, 0.0, 1.0) << hz << " Hz note " << n;
        }
    }
    EXPECT_DOUBLE_EQ(noteHz(57), 440.0);
}

TEST(Synth, AdditiveLoopsHoldWholePeriods)
{
    Partials p;
    p.cycles = {3, 7, 11, 40000};
    p.phase = {0.1, 0.5, 0.9, 0.0};
    Wave w = additive(100, 200, p, 9000.0, [](int j, double t) { return (j + 1) * (1.0 + t); });
    ASSERT_EQ(w.size(), 300u);
    /* frame 300 would be frame 100 again: compute it from the partials */
    double next = 0;
    double t = 100 / RATE;
    for (int j = 0; j < 3; j++)
        next += (j + 1) * (1.0 + t) * sin2pi((double)(p.cycles[(size_t)j] * 300 + (long)(p.phase[(size_t)j] * 200)) / 200.0);
    EXPECT_NEAR(next, w[100], 1e-9);
    /* the partial above maxHz is left out */
    double sum = 0;
    for (int j = 0; j < 3; j++)
        sum += (j + 1) * (1.0 + t) * sin2pi((double)(p.cycles[(size_t)j] * 150 + (long)(p.phase[(size_t)j] * 200)) / 200.0);
    EXPECT_NEAR(sum, w[150], 1e-9);
}

TEST(Synth, FiltersPassAndStop)
{
    /* a 100 Hz and a 5 kHz sine through a 1 kHz low-pass and high-pass */
    auto gain = [](double hz, bool low) {
        Svf f;
        f.set(1000, 0.7071);
        double top = 0;
        for (int i = 0; i < 22050; i++) {
            f.run(sin2pi(hz * i / RATE));
            if (i > 11025)
                top = std::max(top, std::fabs(low ? f.low : f.high));
        }
        return top;
    };
    EXPECT_NEAR(gain(100, true), 1.0, 0.02);
    EXPECT_LT(gain(5000, true), 0.05);
    EXPECT_NEAR(gain(5000, false), 1.0, 0.05);
    EXPECT_LT(gain(100, false), 0.02);
    OnePole p;
    p.set(100);
    double y = 0;
    for (int i = 0; i < 22050; i++)
        y = p.low(1.0);
    EXPECT_NEAR(y, 1.0, 1e-9);
}

TEST(Synth, SamplesAreRoundedAndClamped)
{
    Wave w = {0.0, 0.5, -0.5, 1.2, -1.2, 0.001};
    xmw::Sample a = toSample("a", w, 1.0, true);
    EXPECT_EQ(a.data, (std::vector<int16_t>{0, 16384, -16384, 32767, -32767, 33}));
    xmw::Sample b = toSample("b", w, 1.0, false);
    EXPECT_EQ(b.data, (std::vector<int16_t>{0, 64, -64, 127, -127, 0}));
}

TEST(Instruments, MapsLoopsAndSeams)
{
    std::vector<xmw::Instrument> all = instruments::build();
    ASSERT_EQ(all.size(), (size_t)score::NUM_INSTRUMENTS);
    for (const xmw::Instrument& ins : all) {
        SCOPED_TRACE(ins.name);
        EXPECT_LE(ins.name.size(), 22u);
        ASSERT_FALSE(ins.samples.empty());
        for (int n = 0; n < 96; n++)
            ASSERT_LT(ins.noteSample[n], ins.samples.size()) << n;
        for (const xmw::Sample& s : ins.samples) {
            SCOPED_TRACE(s.name);
            EXPECT_LE(s.name.size(), 22u);
            ASSERT_FALSE(s.data.empty());
            int lim = s.is16Bit ? 32767 : 127;
            int top = 0;
            for (int16_t v : s.data)
                top = std::max(top, abs(v));
            EXPECT_LE(top, lim);
            EXPECT_GT(top, lim / 2);
            if (s.loop == xmw::LOOP_NONE)
                continue;
            ASSERT_GT(s.loopLength, 0);
            ASSERT_LE(s.loopStart + s.loopLength, (int)s.data.size());
            if (s.loop != xmw::LOOP_FORWARD)
                continue;
            /* the step over the seam is no bigger than the loop's own steps */
            int maxStep = 0;
            for (int i = s.loopStart + 1; i < s.loopStart + s.loopLength; i++)
                maxStep = std::max(maxStep, abs(s.data[(size_t)i] - s.data[(size_t)i - 1]));
            int seam = abs(s.data[(size_t)s.loopStart] - s.data[(size_t)(s.loopStart + s.loopLength - 1)]);
            EXPECT_LE(seam, maxStep + 2);
        }
        for (const xmw::Envelope* e : {&ins.volume, &ins.panning}) {
            if (!e->on)
                continue;
            ASSERT_GE(e->points.size(), 2u);
            ASSERT_LE(e->points.size(), 12u);
            for (size_t i = 1; i < e->points.size(); i++)
                EXPECT_GT(e->points[i].tick, e->points[i - 1].tick);
            for (const xmw::EnvPoint& p : e->points)
                EXPECT_LE(p.value, 64);
            EXPECT_LT(e->sustain, (int)e->points.size());
            EXPECT_LT(e->loopEnd, (int)e->points.size());
            EXPECT_LE(e->loopStart, e->loopEnd);
        }
    }
}

TEST(Score, NotesChordsAndVoicings)
{
    using namespace score;
    EXPECT_EQ(nt("C-0"), 0);
    EXPECT_EQ(nt("A-4"), 57);
    EXPECT_EQ(nt("A4"), 57);
    EXPECT_EQ(nt("C#5"), 61);
    EXPECT_EQ(nt("Bb3"), 46);
    EXPECT_THROW(nt("H-4"), std::logic_error);
    EXPECT_THROW(nt("C-9"), std::logic_error);
    Chord c = chord("E7#9");
    EXPECT_EQ(c.root, 4);
    EXPECT_EQ(c.intervals, (std::vector<int>{0, 4, 7, 10, 15}));
    EXPECT_EQ(c.third(), 4);
    EXPECT_EQ(c.seventh(), 10);
    EXPECT_EQ(chord("Bbmaj7").root, 10);
    EXPECT_EQ(chord("G6").seventh(), 9);
    EXPECT_EQ(chord("E7sus4").third(), 5);
    EXPECT_THROW(chord("Cfoo"), std::logic_error);
    EXPECT_EQ(bassRoot(chord("E7")), 16);
    EXPECT_EQ(bassRoot(chord("D9")), 26);
    /* a voicing keeps within range, holds the third and seventh, drops the
     * root of a five-note chord, and moves little to the next chord */
    std::vector<int> am = voicing(chord("Am9"), 4, 53, 72, {});
    ASSERT_EQ(am.size(), 4u);
    std::set<int> pcs;
    for (int n : am) {
        EXPECT_GE(n, 53);
        EXPECT_LE(n, 72);
        pcs.insert(n % 12);
    }
    EXPECT_EQ(pcs, (std::set<int>{0, 7, 11, 4})); /* C, G, B, E: no A */
    std::vector<int> d9 = voicing(chord("D9"), 4, 53, 72, am);
    int moved = 0;
    for (size_t i = 0; i < 4; i++)
        moved += abs(d9[i] - am[i]);
    EXPECT_LE(moved, 8);
}

TEST(Score, PartsFillCellsAndRefuseClashes)
{
    using namespace score;
    xmw::Pattern p(32, NUM_CHANNELS);
    Sec s;
    s.p = &p;
    s.rows = 32;
    MelodyStyle st{I_LEAD, 40, 0x82, 0x10, 0x02, 0};
    int end = melody(s, 0, LEAD, st, "E5:2 G5:3v -:1 A5:2/ C5:4b B4:2f");
    EXPECT_EQ(end, 14);
    EXPECT_EQ(p.at(0, LEAD).note, nt("E5") + 1);
    EXPECT_EQ(p.at(0, LEAD).volume, vSet(44)); /* 40 through the desk */
    EXPECT_EQ(p.at(3, LEAD).effect, FX_VIBRATO);
    EXPECT_EQ(p.at(5, LEAD).note, xmw::NOTE_OFF);
    EXPECT_EQ(p.at(6, LEAD).effect, 0); /* no glide after a rest */
    EXPECT_EQ(p.at(9, LEAD).effect, FX_PORTA_UP);
    EXPECT_EQ(p.at(10, LEAD).effect, FX_EXT);
    EXPECT_EQ(p.at(10, LEAD).param, (EX_FINE_UP << 4) | 1);
    EXPECT_EQ(p.at(13, LEAD).effect, FX_VOL_SLIDE);
    bass(s, 16, I_SLAP, chord("Am7"), chord("D9"), "R! . x O 7, A b3' | E2");
    EXPECT_EQ(p.at(16, BASS).note, 21 + 1);
    EXPECT_EQ(p.at(18, BASS).note, K_DEAD + 1);
    EXPECT_EQ(p.at(19, BASS).note, 33 + 1);
    EXPECT_EQ(p.at(20, BASS).note, 19 + 1); /* G-1 */
    EXPECT_EQ(p.at(21, BASS).note, 25 + 1); /* C#2: below D-2 */
    EXPECT_EQ(p.at(22, BASS).note, 36 + 1);
    EXPECT_EQ(p.at(23, BASS).note, xmw::NOTE_OFF);
    EXPECT_EQ(p.at(24, BASS).note, nt("E-2") + 1);
    drums(s, 16, {"K...", "..r.", nullptr, nullptr});
    EXPECT_EQ(p.at(18, SNARE).param, (EX_RETRIG << 4) | 3);
    EXPECT_THROW(s.note(16, KICK, 60, I_KICK), std::logic_error);
    EXPECT_THROW(s.fx(18, SNARE, FX_VOLUME, 10), std::logic_error);
    EXPECT_THROW(drums(s, 0, {"K..Q", nullptr, nullptr, nullptr}), std::logic_error);
    EXPECT_THROW(s.note(40, KICK, 60, I_KICK), std::logic_error);
    swing(s, 0, 32, {BASS}, 1);
    EXPECT_EQ(p.at(19, BASS).effect, FX_EXT);
    EXPECT_EQ(p.at(19, BASS).param, (EX_DELAY << 4) | 1);
    EXPECT_EQ(p.at(20, BASS).effect, 0);
}

} // namespace
