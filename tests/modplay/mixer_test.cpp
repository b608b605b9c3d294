/* The mixer on hand-made voices: loop kinds, gains, panning and every output
 * format. */
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "modplay/mixer.h"
#include "modplay/modplay_core.h"
#include "tests/modplay/player.h"

namespace {

const int MONO16 = MIX_ON | MIX_16BIT | MIX_SIGNED;
const int STEREO16 = MONO16 | MIX_STEREO;

/* A sample of `n` frames counting 1, 2, 3, ... (plus the zero guard frame). */
struct Smp {
    std::vector<int8_t> d8;
    std::vector<int16_t> d16;
    MODFILE_SAMPLE s{};
    Smp(int n, bool is16, int loopStart = -1, int loopEnd = -1, bool pingPong = false)
    {
        d8.assign((size_t)n + 1, 0);
        d16.assign((size_t)n + 1, 0);
        for (int i = 0; i < n; i++) {
            d8[(size_t)i] = (int8_t)(i + 1);
            d16[(size_t)i] = (int16_t)((i + 1) * 256);
        }
        s.length = n;
        s.is16Bit = is16;
        s.data = is16 ? (void*)d16.data() : (void*)d8.data();
        if (loopStart >= 0) {
            s.loop = 1;
            s.pingPong = pingPong;
            s.loopStart = loopStart;
            s.loopEnd = loopEnd;
        } else {
            s.loopStart = s.loopEnd = n - 1;
        }
    }
};

MODFILE_VOICE voice(MODFILE_SAMPLE* s, uint32_t step, int volume = 64)
{
    MODFILE_VOICE v{};
    v.enabled = v.active = v.forward = 1;
    v.panning = 128;
    v.envPanning = 32;
    v.envVolume = 64;
    v.volume = (uint8_t)volume;
    v.step = step;
    v.sample = s;
    return v;
}

/* The sample frames (as 1, 2, 3, ...) read by a mono mix of `frames` frames
 * at gain 64 (master 64): accumulator / (256 * 64). */
std::vector<int> framesRead(MODFILE_VOICE* v, int frames)
{
    std::vector<int32_t> acc((size_t)frames, 0);
    mix_final_1616bit(MIX_ON, acc.data(), frames, v, 64);
    std::vector<int> r;
    for (int32_t a : acc)
        r.push_back(a / (256 * 64));
    return r;
}

using V = std::vector<int>;

TEST(Mixer, OneShotSampleStopsMidBlockAtItsEnd)
{
    for (bool is16 : {false, true}) {
        Smp s(5, is16);
        MODFILE_VOICE v = voice(&s.s, 1024);
        EXPECT_EQ(framesRead(&v, 8), (V{1, 2, 3, 4, 0, 0, 0, 0})); /* loopEnd = 4: frame 4 is never read */
        EXPECT_EQ(v.active, 0);
        EXPECT_EQ(v.position, 4u << 10);
    }
}

TEST(Mixer, ForwardLoopWrapsByOneLoopLengthAndStaysInsideForLongSteps)
{
    Smp s(6, false, 2, 5);
    MODFILE_VOICE v = voice(&s.s, 1024);
    EXPECT_EQ(framesRead(&v, 10), (V{1, 2, 3, 4, 5, 3, 4, 5, 3, 4}));
    MODFILE_VOICE h = voice(&s.s, 512); /* half speed: every frame twice */
    EXPECT_EQ(framesRead(&h, 12), (V{1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 3, 3}));
    MODFILE_VOICE f = voice(&s.s, 4 * 1024); /* a step longer than the 3-frame loop */
    V got = framesRead(&f, 50);
    EXPECT_EQ((V{got[0], got[1]}), (V{1, 5}));
    for (size_t i = 2; i < got.size(); i++)
        ASSERT_TRUE(got[i] >= 3 && got[i] <= 5) << i;
    EXPECT_LT(f.position, 5u << 10);
}

TEST(Mixer, PingPongPlaysTheTurningFramesTwice)
{
    Smp s(6, true, 2, 5, true);
    MODFILE_VOICE v = voice(&s.s, 1024);
    /* the way back turns one step before the loop start: a three-frame loop
     * at one frame a step keeps playing its last frame */
    EXPECT_EQ(framesRead(&v, 9), (V{1, 2, 3, 4, 5, 5, 5, 5, 5}));
    /* a longer loop shows both ends */
    Smp l(10, false, 2, 8, true);
    MODFILE_VOICE w = voice(&l.s, 1024);
    EXPECT_EQ(framesRead(&w, 20), (V{1, 2, 3, 4, 5, 6, 7, 8, 8, 7, 6, 5, 5, 6, 7, 8, 8, 7, 6, 5}));
    /* a step as long as the whole loop still turns inside the sample */
    MODFILE_VOICE big = voice(&l.s, 7 * 1024);
    V got = framesRead(&big, 40);
    for (int x : got)
        ASSERT_TRUE(x >= 1 && x <= 10);
}

TEST(Mixer, PositionsPastTheLoopEndComeBack)
{
    /* a sample offset can put the position at the very end of the data */
    Smp s(8, false, 1, 4);
    MODFILE_VOICE v = voice(&s.s, 1024);
    v.position = 8u << 10;
    V got = framesRead(&v, 6);
    EXPECT_EQ(got[0], 0); /* the zero frame after the data */
    for (size_t i = 1; i < got.size(); i++)
        ASSERT_TRUE(got[i] >= 2 && got[i] <= 4) << i;
    Smp p(8, false, 1, 4, true);
    MODFILE_VOICE w = voice(&p.s, 1024);
    w.position = 8u << 10;
    got = framesRead(&w, 20);
    for (int x : got)
        ASSERT_TRUE(x >= 0 && x <= 8);
}

TEST(Mixer, GainsAndPanning)
{
    Smp s8(100, false, 0, 100), s16(100, true, 0, 100);
    std::vector<int32_t> acc(2, 0);
    MODFILE_VOICE v = voice(&s8.s, 0);
    mix_final_1616bit(STEREO16, acc.data(), 1, &v, 64);
    EXPECT_EQ(acc[0], 1 * 256 * 32); /* centre: half the gain each side */
    EXPECT_EQ(acc[1], 1 * 256 * 32);
    /* the panning envelope swings the panning by the room towards the
     * nearer side: from the centre to 255 (panning >> 2 = 63 of 64) */
    acc.assign(2, 0);
    v.envPanning = 64;
    mix_final_1616bit(STEREO16, acc.data(), 1, &v, 64);
    EXPECT_EQ(acc[0], 256 * 1);
    EXPECT_EQ(acc[1], 256 * 63);
    /* 16-bit samples as well; panning 192 with envelope 48 gives 224, seven
     * eighths to the right, as both independent players play it (a square
     * with that panning and a flat envelope at 48: peaks 768 / 5376 in
     * openmpt123, 1024 / 7168 in xmp) */
    acc.assign(2, 0);
    MODFILE_VOICE w = voice(&s16.s, 0);
    w.envPanning = 48;
    w.panning = 192;
    mix_final_1616bit(STEREO16, acc.data(), 1, &w, 64);
    EXPECT_EQ(acc[0], 256 * 8);
    EXPECT_EQ(acc[1], 256 * 56);
    /* gain = envVolume * master * volume >> 12 */
    acc.assign(1, 0);
    MODFILE_VOICE q = voice(&s16.s, 0, 32);
    q.envVolume = 32;
    mix_final_1616bit(MONO16, acc.data(), 1, &q, 64);
    EXPECT_EQ(acc[0], 256 * 16);
    /* mixing off does nothing */
    acc.assign(1, 0);
    EXPECT_EQ(mix_final_1616bit(MIX_16BIT, acc.data(), 1, &q, 64), 0);
    EXPECT_EQ(acc[0], 0);
}

TEST(Mixer, ConversionsAndSilenceInEveryFormat)
{
    const int32_t in[6] = {0, 0x800000, -0x800000, 0x7FFFFF, -0x800001, 0x12345};
    int16_t s16[6];
    copybuf_s32_to_s16(s16, in, 6, 1);
    EXPECT_EQ((V{s16[0], s16[1], s16[2], s16[3], s16[4], s16[5]}), (V{0, 32767, -32768, 32767, -32768, 0x123}));
    int8_t s8[6];
    copybuf_s32_to_s8(s8, in, 3, 2);
    EXPECT_EQ((V{s8[0], s8[1], s8[2], s8[3], s8[4], s8[5]}), (V{0, 127, -128, 127, -128, 1}));
    uint8_t u8[6];
    copybuf_s32_to_u8(u8, in, 6, 1);
    EXPECT_EQ((V{u8[0], u8[1], u8[2], u8[3], u8[4]}), (V{128, 255, 0, 255, 0}));
    uint16_t u16[6];
    copybuf_s32_to_u16(u16, in, 6, 1);
    /* unsigned 16-bit is the signed value with its sign bit flipped: the
     * same gain */
    EXPECT_EQ((V{u16[0], u16[1], u16[2], u16[5]}), (V{0x8000, 0xFFFF, 0x0000, 0x8000 + 0x123}));
    EXPECT_EQ(mix_destbufsize(STEREO16), 4);
    EXPECT_EQ(mix_destbufsize(MONO16), 2);
    EXPECT_EQ(mix_destbufsize(MIX_ON | MIX_STEREO), 2);
    EXPECT_EQ(mix_destbufsize(MIX_ON), 1);

    /* a record without sounding voices gives each format's silence */
    xmw::Song song = mpt::basicSong();
    for (int bits : {8, 16})
        for (int channels : {1, 2})
            for (int sign : {0, 1}) {
                mpt::Player p(song, 22050, channels, bits, sign);
                std::vector<uint8_t> out = p.render(100);
                ASSERT_EQ(out.size(), (size_t)(100 * channels * bits / 8));
                for (size_t i = 0; i < out.size(); i++) {
                    int want = sign ? 0 : (bits == 8 ? 0x80 : (i % 2 ? 0x80 : 0));
                    ASSERT_EQ(out[i], want) << bits << channels << sign << " " << i;
                }
            }
}

TEST(Mixer, EveryOutputFormatCarriesTheSameNote)
{
    xmw::Song song = mpt::basicSong();
    mpt::put(song, 0, 0, "C-4");
    std::vector<int> ref;
    for (int bits : {16, 8})
        for (int channels : {2, 1})
            for (int sign : {1, 0}) {
                mpt::Player p(song, 22050, channels, bits, sign);
                p.render(2646);
                std::vector<uint8_t> out = p.render(200);
                std::vector<int> left; /* back to signed 16-bit scale, first channel */
                for (int i = 0; i < 200; i++) {
                    size_t at = (size_t)(i * channels * bits / 8);
                    int v = bits == 16 ? (int)(int16_t)(out[at] | out[at + 1] << 8) : (int)(int8_t)out[at] * 256;
                    if (!sign)
                        v = bits == 16 ? (int)(uint16_t)(out[at] | out[at + 1] << 8) - 0x8000 : ((int)out[at] - 128) * 256;
                    if (channels == 2)
                        v *= 2; /* centre panning halves each side */
                    left.push_back(v);
                }
                if (ref.empty()) {
                    ref = left;
                    continue;
                }
                for (int i = 0; i < 200; i++)
                    ASSERT_NEAR(left[(size_t)i], ref[(size_t)i], 2 * 256 + 4) << bits << channels << sign << " " << i;
            }
    EXPECT_NE(ref[0], 0);
}

TEST(Mixer, TheSpareChannelIsNeverMixed)
{
    xmw::Song song = mpt::basicSong();
    mpt::put(song, 0, 0, "C-4");
    mpt::Player p(song);
    p.toFirstRow();
    MODFILE_TriggerNote(&p.mod, 1, 0x40, 1, 64); /* a note on the spare channel */
    MODFILE_TriggerNote(&p.mod, 0, 0x40, 1, 0);  /* channel 0 silent */
    EXPECT_EQ(p.mod.channels[1].voice.active, 1);
    auto out = mpt::samples16(p.tick());
    for (int16_t v : out)
        ASSERT_EQ(v, 0);
}

} // namespace
