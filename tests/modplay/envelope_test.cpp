/* Envelopes stepped directly, and through playback with key off and fade. */
#include <gtest/gtest.h>

#include "modplay/envelope.h"
#include "tests/modplay/player.h"

using V = std::vector<int>;

namespace {

struct Env {
    MODFILE_ENVPOINT pts[12];
    MODFILE_ENVELOPE env{};
    MODFILE_ENVSTATE st{};
    Env(std::initializer_list<MODFILE_ENVPOINT> p, int sustain = 255, int loopStart = 255, int loopEnd = 255)
    {
        int n = 0;
        for (auto x : p)
            pts[n++] = x;
        env.enabled = 1;
        env.numPoints = (uint8_t)n;
        env.points = pts;
        env.sustain = (uint8_t)sustain;
        env.loopStart = (uint8_t)loopStart;
        env.loopEnd = (uint8_t)loopEnd;
        st.env = &env;
        EnvTrigger(&st);
    }
    V run(int n)
    {
        V v;
        for (int i = 0; i < n; i++)
            v.push_back(EnvProcess(&st) ? st.value : -1);
        return v;
    }
};

TEST(Envelope, FallsLinearlyAndHoldsItsLastValue)
{
    Env e({{0, 64}, {10, 0}});
    EXPECT_EQ(e.st.value, 64);
    /* the first step keeps the first point: a note's first tick plays it */
    EXPECT_EQ(e.run(12), (V{64, 58, 52, 45, 39, 32, 26, 20, 13, 7, 0, 0}));
}

TEST(Envelope, OnePointOrDisabledIsNotUsed)
{
    Env one({{0, 40}});
    EXPECT_EQ(one.run(2), (V{-1, -1}));
    Env off({{0, 64}, {4, 0}});
    off.env.enabled = 0;
    EXPECT_EQ(off.run(1), (V{-1}));
    EXPECT_EQ(EnvProcess(nullptr), 0);
    MODFILE_ENVSTATE idle{};
    EXPECT_EQ(EnvProcess(&idle), 0);
}

TEST(Envelope, SustainHoldsUntilRelease)
{
    Env e({{0, 32}, {2, 64}, {4, 0}}, 0);
    EXPECT_EQ(e.run(3), (V{32, 32, 32}));
    EnvRelease(&e.st);
    EXPECT_EQ(e.run(5), (V{48, 64, 32, 0, 0}));
    Env mid({{0, 0}, {2, 64}, {4, 0}}, 1);
    EXPECT_EQ(mid.run(4), (V{0, 32, 64, 64})); /* arriving at the sustain point gives its value */
}

TEST(Envelope, LoopsWithOrWithoutTheKeyAndNoneWithoutAStart)
{
    Env e({{0, 0}, {2, 64}, {4, 0}}, 255, 1, 2);
    EXPECT_EQ(e.run(7), (V{0, 32, 64, 32, 64, 32, 64}));
    EnvRelease(&e.st);
    EXPECT_EQ(e.run(2), (V{32, 64}));
    Env none({{0, 0}, {2, 64}, {4, 0}}, 255, 255, 2);
    EXPECT_EQ(none.run(5), (V{0, 32, 64, 32, 0}));
}

TEST(Envelope, EqualTicksTakeTheLaterValue)
{
    Env e({{0, 10}, {0, 50}, {2, 0}});
    EXPECT_EQ(e.run(4), (V{10, 50, 25, 0}));
}

TEST(Envelope, ResetStopsAtTheFirstPoint)
{
    Env e({{0, 10}, {4, 50}});
    e.run(2);
    EnvReset(&e.st);
    EXPECT_EQ(e.st.value, 10);
    EXPECT_EQ(e.st.pos, 0);
    EXPECT_EQ(e.run(1), (V{-1}));
}

xmw::Song envelopeSong(bool volumeEnvelope)
{
    xmw::Song s = mpt::basicSong();
    xmw::Instrument& ins = s.instruments[0];
    ins.fadeout = 0x1000;
    if (volumeEnvelope) {
        ins.volume.on = true;
        ins.volume.points = {{0, 64}, {4, 32}, {8, 0}};
        ins.volume.sustain = 1;
    }
    ins.panning.on = true;
    ins.panning.points = {{0, 0}, {2, 64}};
    mpt::put(s, 0, 0, "C-4");
    mpt::put(s, 1, 0, "===", 0);
    return s;
}

TEST(Envelope, KeyOffWithAVolumeEnvelopeReleasesAndFades)
{
    mpt::Player p(envelopeSong(true));
    p.toFirstRow();
    V env = p.track(6, [&] { return (int)p.ch().voice.envVolume; });
    EXPECT_EQ(env, (V{64, 56, 48, 40, 32, 32})); /* to the sustain point, then held */
    EXPECT_EQ(p.ch().voice.envPanning, 64);
    V fade = p.track(6, [&] { return (int)p.ch().fadeVolume; });
    EXPECT_EQ(fade, (V{0x7000, 0x6000, 0x5000, 0x4000, 0x3000, 0x2000}));
    EXPECT_EQ(p.ch().voice.active, 1);
    EXPECT_EQ(p.ch().voice.envVolume, 0); /* released: on down to 0 */
    p.track(3, [] { return 0; });
    EXPECT_EQ(p.ch().fadeVolume, 0);
}

TEST(Envelope, KeyOffWithoutAVolumeEnvelopeSilencesUntilAVolumeComes)
{
    /* Both independent players (openmpt123, xmp; a square note, peaks per
     * tick) silence the note at the key off and let a volume column 0x50
     * two rows later bring it back at full volume: the note went on. */
    xmw::Song s = envelopeSong(false);
    s.patterns[0].at(3, 0).volume = 0x50;
    mpt::Player p(s);
    p.toFirstRow();
    EXPECT_EQ(p.ch().voice.envVolume, 64); /* no envelope: 64 */
    V volume = p.track(24, [&] { return (int)p.ch().voice.volume; });
    EXPECT_EQ(volume, (V{64, 64, 64, 64, 64, 64, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 64, 64, 64, 64, 64, 64}));
    EXPECT_EQ(p.ch().voice.active, 1);
}

} // namespace
