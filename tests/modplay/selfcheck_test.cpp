/* Self-checking songs: an effect and the equivalent written-out song must
 * render to the same samples. */
#include <gtest/gtest.h>

#include "tests/modplay/player.h"

using mpt::put;

namespace {

const int TICK = 441; /* frames of a tick at 125 BPM, 22050 Hz */

void expectSame(const std::vector<int16_t>& a, size_t fromA, const std::vector<int16_t>& b, size_t fromB, size_t n)
{
    ASSERT_GE(a.size(), fromA + n);
    ASSERT_GE(b.size(), fromB + n);
    size_t loud = 0;
    for (size_t i = 0; i < n; i++) {
        ASSERT_EQ(a[fromA + i], b[fromB + i]) << "sample " << i;
        loud += a[fromA + i] != 0;
    }
    EXPECT_GT(loud, n / 4); /* the comparison was not of silence */
}

TEST(SelfCheck, SetVolumeAndFineSlideEqualTheVolumeColumn)
{
    xmw::Song a = mpt::basicSong(), b = mpt::basicSong();
    put(a, 0, 0, "C-4", 1, 0, 0xC, 0x20);
    put(b, 0, 0, "C-4", 1, 0x30);
    put(a, 2, 0, nullptr, 0, 0, 0xE, 0xA4);
    put(b, 2, 0, nullptr, 0, 0x94);
    put(a, 4, 0, nullptr, 0, 0, 0xA, 0x03);
    put(b, 4, 0, nullptr, 0, 0x63);
    auto x = mpt::renderSong(a, 40 * TICK), y = mpt::renderSong(b, 40 * TICK);
    expectSame(x, 0, y, 0, x.size());
}

TEST(SelfCheck, PatternLoopEqualsItsBodyWrittenThreeTimes)
{
    xmw::Song a = mpt::basicSong(), b = mpt::basicSong();
    const char* notes[3] = {"C-4", "E-4", "G-4"};
    for (int i = 0; i < 3; i++)
        put(a, i, 0, notes[i]);
    a.patterns[0].at(0, 0).effect = 0xE;
    a.patterns[0].at(0, 0).param = 0x60;
    a.patterns[0].at(2, 0).effect = 0xE;
    a.patterns[0].at(2, 0).param = 0x62;
    put(a, 3, 0, "C-5");
    for (int i = 0; i < 9; i++)
        put(b, i, 0, notes[i % 3]);
    put(b, 9, 0, "C-5");
    auto x = mpt::renderSong(a, 11 * 6 * TICK), y = mpt::renderSong(b, 11 * 6 * TICK);
    expectSame(x, 0, y, 0, x.size());
}

TEST(SelfCheck, PatternBreakAndDelayEqualShorterAndLongerPatterns)
{
    xmw::Song a = mpt::basicSong(), b = mpt::basicSong();
    a.addPattern(8);
    b.patterns[0] = xmw::Pattern(5, 1);
    b.addPattern(8);
    a.orders = b.orders = {0, 1};
    for (xmw::Song* s : {&a, &b}) {
        put(*s, 0, 0, "C-4");
        s->patterns[1].at(0, 0) = {xmw::note("A-4"), 1, 0, 0, 0};
    }
    put(a, 2, 0, "D-4");
    put(b, 3, 0, "D-4");
    a.patterns[0].at(1, 0) = {0, 0, 0, 0xE, 0xE1}; /* row 1 lasts two rows */
    a.patterns[0].at(3, 0) = {0, 0, 0, 0xD, 0x00}; /* ... and the pattern ends after row 3 */
    auto x = mpt::renderSong(a, 9 * 6 * TICK), y = mpt::renderSong(b, 9 * 6 * TICK);
    expectSame(x, 0, y, 0, x.size());
}

TEST(SelfCheck, SpeedAndTempoEffectsEqualTheHeaderValues)
{
    xmw::Song a = mpt::basicSong(), b = mpt::basicSong();
    put(a, 0, 0, "C-4", 1, 0, 0xF, 0x03);
    put(b, 0, 0, "C-4");
    b.speed = 3;
    for (xmw::Song* s : {&a, &b})
        put(*s, 1, 0, "G-4");
    /* the first row starts after 6 ticks in one and 3 in the other */
    auto x = mpt::renderSong(a, 20 * TICK), y = mpt::renderSong(b, 20 * TICK);
    expectSame(x, 6 * TICK * 2, y, 3 * TICK * 2, 10 * TICK * 2);

    xmw::Song c = mpt::basicSong(), d = mpt::basicSong();
    put(c, 0, 0, "C-4", 1, 0, 0xF, 150);
    put(d, 0, 0, "C-4");
    d.tempo = 150;
    for (xmw::Song* s : {&c, &d})
        put(*s, 1, 0, "G-4");
    auto u = mpt::renderSong(c, 20 * TICK), v = mpt::renderSong(d, 20 * TICK);
    expectSame(u, 6 * TICK * 2, v, 6 * 367 * 2, 10 * 367 * 2);
}

TEST(SelfCheck, SampleOffsetEqualsASampleThatStartsLater)
{
    xmw::Song a = mpt::basicSong(), b = mpt::basicSong();
    put(a, 0, 0, "C-4", 1, 0, 0x9, 0x01);
    xmw::Sample cut = b.instruments[0].samples[0];
    cut.data.erase(cut.data.begin(), cut.data.begin() + 256);
    cut.loopStart -= 256;
    b.instruments[0].samples[0] = cut;
    put(b, 0, 0, "C-4");
    auto x = mpt::renderSong(a, 30 * TICK), y = mpt::renderSong(b, 30 * TICK);
    expectSame(x, 0, y, 0, x.size());
}

} // namespace
