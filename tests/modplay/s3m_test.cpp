/* The S3M loader: header, channel packing, packed patterns, command
 * translation, instruments and samples, the order list, and damaged files. */
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "modplay/effects.h"
#include "modplay/s3m.h"
#include "tests/modplay/s3mwriter.h"
#include "tests/modplay/songcheck.h"
#include "tests/support/test_support.h"

namespace {

/* Loads through the S3M loader. */
struct Loaded : mpt::Loaded {
    explicit Loaded(const std::vector<uint8_t>& img) : mpt::Loaded(img, MODFILE_SetS3M) {}
};

/* Four channels (settings 0, 8, 1, 9), one pattern, one square sample. */
s3mw::Song basicSong()
{
    s3mw::Song s;
    s.instruments.push_back(s3mw::squareInstrument(1000));
    return s;
}

/* The load leaves the record exactly as it was and returns -1. */
bool refused(const std::vector<uint8_t>& img)
{
    MODFILE mod;
    MODFILE_Init(&mod);
    mod.musicVolume = 21;
    MODFILE copy = mod;
    int r = MODFILE_SetS3M((const char*)img.data(), (int)img.size(), &mod);
    bool same = memcmp(&copy, &mod, sizeof mod) == 0;
    if (r >= 0)
        MODFILE_ReleaseSong(&mod);
    return r == -1 && same;
}

TEST(S3mLoader, DetectsTheTagAndReadsTheHeader)
{
    s3mw::Song s = basicSong();
    s.name = "An S3M song";
    s.flags = 0x55;               /* bits 0, 2, 4, 6 */
    s.trackerVersion = 0x1320;    /* bytes 0x20, 0x13 */
    s.globalVolume = 48;
    s.speed = 3;
    s.tempo = 150;
    s.orders = {0, 0};
    std::vector<uint8_t> img = s3mw::write(s);
    EXPECT_EQ(MODFILE_IsS3M((const char*)img.data(), (int)img.size()), 1);
    EXPECT_EQ(MODFILE_IsS3M((const char*)img.data(), 47), 0);
    EXPECT_EQ(MODFILE_IsS3M(nullptr, 100), 0);
    EXPECT_EQ(MODFILE_Is((const char*)img.data(), (int)img.size()), 1);
    Loaded l(img);
    ASSERT_EQ(l.result, 0);
    EXPECT_STREQ(l.mod.name, "An S3M song");
    EXPECT_EQ(l.mod.songLength, 2);
    EXPECT_EQ(l.mod.numInstruments, 1);
    EXPECT_EQ(l.mod.numSamples, 1);
    EXPECT_EQ(l.mod.numPatterns, 1);
    EXPECT_EQ((std::vector<int>(l.mod.s3mFlags, l.mod.s3mFlags + 6)), (std::vector<int>{0, 1, 0, 1, 0, 1}));
    EXPECT_EQ(l.mod.trackerVersion, 0x2013);
    EXPECT_EQ(l.mod.s3mUnsignedSamples, 1);
    EXPECT_EQ(l.mod.initGlobalVolume, 48);
    EXPECT_EQ(l.mod.initSpeed, 3);
    EXPECT_EQ(l.mod.initBpm, 150);
    EXPECT_EQ(l.mod.linearFreq, 0);
    EXPECT_EQ(l.mod.formatId, 2);
    EXPECT_EQ(l.mod.patternRows[0], 64);
    EXPECT_EQ(mpt::songInvariants(l.mod), "");
    EXPECT_EQ(MODFILE_S3MGetFormatID(), 2);
    EXPECT_STREQ(MODFILE_S3MGetDescription(), "Future Crew Screamtracker 3");
    EXPECT_STREQ(MODFILE_S3MGetVersion(), "v0.01b");

    /* values the player could not start with */
    s.speed = 0;
    s.tempo = 20;
    s.globalVolume = 200;
    s.sampleFormat = 1;
    Loaded m(s3mw::write(s));
    ASSERT_EQ(m.result, 0);
    EXPECT_EQ(m.mod.initSpeed, 6);
    EXPECT_EQ(m.mod.initBpm, 125);
    EXPECT_EQ(m.mod.initGlobalVolume, 64);
    EXPECT_EQ(m.mod.s3mUnsignedSamples, 0);
}

TEST(S3mLoader, EnabledChannelsArePackedAndDisabledOnesSkipped)
{
    s3mw::Song s = basicSong();
    memset(s.channelSettings, 255, 32);
    s.channelSettings[0] = 0;
    s.channelSettings[1] = 8;
    s.channelSettings[2] = 255;
    s.channelSettings[3] = 1;
    s.channelSettings[4] = 16; /* an AdLib channel: not played */
    auto& rows = s.patterns[0].rows;
    rows[0] = {{2, 0x40, 1, 30, 1, 4}, {3, 0x41, 1, -1, -1, 0}, {0, 0x32, 1, -1, -1, 0}};
    rows[1] = {{1, -1, 0, 12, -1, 0}, {4, 0x50, 1, 40, 20, 0}, {2, -1, 0, -1, 2, 3}};
    rows[2] = {{2, -1, 0, -1, 3, 0x10}, {1, 0x43, 1, -1, -1, 0}};
    Loaded l(s3mw::write(s));
    ASSERT_EQ(l.result, 0);
    EXPECT_EQ(l.mod.numChannels, 4);
    EXPECT_EQ(l.mod.channels[0].defaultPanning, 86);
    EXPECT_EQ(l.mod.channels[1].defaultPanning, 167);
    EXPECT_EQ(l.mod.channels[2].defaultPanning, 86);
    EXPECT_EQ(l.mod.channels[0].voice.enabled + l.mod.channels[1].voice.enabled + l.mod.channels[2].voice.enabled, 3);
    EXPECT_EQ(l.mod.channels[3].voice.enabled, 1); /* the spare: its effects' per-tick entries run */
    for (int c = 4; c < MODFILE_MAX_CHANNELS; c++)
        EXPECT_EQ(l.mod.channels[c].voice.enabled, 0) << c;
    /* file channel 3 lands in record channel 2, file channel 0 in 0 */
    EXPECT_EQ(l.cell(0, 0, 2).note, 0x41);
    EXPECT_EQ(l.cell(0, 0, 2).instrument, 1);
    EXPECT_EQ(l.cell(0, 0, 2).volume, 255);
    EXPECT_EQ(l.cell(0, 0, 0).note, 0x32);
    EXPECT_EQ(l.cell(0, 1, 1).volume, 12);
    EXPECT_EQ(l.cell(0, 1, 1).note, 255);
    EXPECT_EQ(l.cell(0, 1, 1).instrument, -1);
    EXPECT_EQ(l.cell(0, 2, 1).note, 0x43);
    /* the disabled channels' jump and break reached nothing */
    for (int r = 0; r < 3; r++)
        EXPECT_EQ(l.spare(0, r).effect[0], 0xFFFF) << r;
    EXPECT_EQ(l.cell(0, 3, 0).note, 255);

    /* the default panning table: entries with bit 5 place the channel at
     * 0..15 across the width (0 hard left, F hard right in both players),
     * the others keep their side; a mono song (master volume bit 7 clear)
     * has every channel in the centre */
    s.panning.assign(32, 0);
    s.panning[0] = 0x20 | 0xF;
    s.panning[1] = 0x20 | 0x3;
    Loaded t(s3mw::write(s));
    ASSERT_EQ(t.result, 0);
    EXPECT_EQ(t.mod.channels[0].defaultPanning, 255);
    EXPECT_EQ(t.mod.channels[1].defaultPanning, 51);
    EXPECT_EQ(t.mod.channels[2].defaultPanning, 86);
    s.masterVolume = 0x30;
    Loaded m(s3mw::write(s));
    ASSERT_EQ(m.result, 0);
    for (int c = 0; c < 3; c++)
        EXPECT_EQ(m.mod.channels[c].defaultPanning, 128) << c;
}

TEST(S3mLoader, CommandsAndTheSpareCell)
{
    s3mw::Song s = basicSong();
    const int plain[][3] = {
        /* command, parameter, effect number */
        {1, 0x05, 37},  {4, 0x0F, 38},  {5, 0xF2, 39},  {6, 0x12, 40},  {7, 0x20, 4},   {8, 0x44, 5},
        {10, 0x37, 1},  {11, 0x02, 41}, {12, 0x20, 42}, {15, 0x10, 10}, {17, 0x13, 43}, {18, 0x44, 44},
        {20, 0x90, 45}, {22, 0x30, 33}, {9, 0x11, 0},   {13, 0x20, 0},  {21, 0x21, 0},  {0, 0x99, 0},
    };
    const int nPlain = (int)(sizeof plain / sizeof plain[0]);
    auto& rows = s.patterns[0].rows;
    for (int i = 0; i < nPlain; i++)
        rows[i / 4].push_back({i % 4, -1, 0, -1, plain[i][0], plain[i][1]});
    const int special[][3] = {
        /* x, y, effect number */
        {0x2, 3, 18}, {0x3, 1, 17}, {0x4, 2, 20}, {0x8, 7, 21}, {0xC, 3, 25}, {0xD, 2, 26},
        {0x0, 1, 0},  {0x1, 1, 0},  {0xA, 1, 0},  {0xF, 1, 0},
    };
    const int nSpecial = (int)(sizeof special / sizeof special[0]);
    for (int i = 0; i < nSpecial; i++)
        rows[8 + i / 4].push_back({i % 4, -1, 0, -1, 19, special[i][0] << 4 | special[i][1]});
    rows[16] = {{1, -1, 0, -1, 19, 0xB2}};                      /* SB2: pattern loop */
    rows[17] = {{2, -1, 0, -1, 19, 0xE3}};                      /* SE3: pattern delay */
    rows[18] = {{3, -1, 0, -1, 3, 0x12}};                       /* C12: row 12, decimal */
    rows[19] = {{0, -1, 0, -1, 2, 0x04}};                       /* B04 */
    rows[20] = {{0, -1, 0, -1, 2, 0x04}, {3, -1, 0, -1, 3, 0x08}}; /* B04 then C08 */
    rows[21] = {{1, -1, 0, -1, 3, 0x08}, {2, -1, 0, -1, 2, 0x04}}; /* C08 then B04 */
    rows[22] = {{0, -1, 0, -1, 24, 0x20}, {1, -1, 0, -1, 24, 0x80}, {2, -1, 0, -1, 24, 0xA4},
                {3, -1, 0, -1, 24, 0x90}}; /* Xxx panning: 0x20, hard right, surround, nothing */
    Loaded l(s3mw::write(s));
    ASSERT_EQ(l.result, 0);
    for (int i = 0; i < nPlain; i++) {
        const MODFILE_CELL& c = l.cell(0, i / 4, i % 4);
        EXPECT_EQ(c.effect[0], plain[i][2]) << i;
        EXPECT_EQ(c.effectOp[0], plain[i][1]) << i;
        EXPECT_EQ(c.effect[1], 0xFFFF) << i;
        EXPECT_EQ(c.effectOp[1], 255) << i;
    }
    for (int i = 0; i < nSpecial; i++) {
        const MODFILE_CELL& c = l.cell(0, 8 + i / 4, i % 4);
        EXPECT_EQ(c.effect[0], special[i][2]) << i;
        EXPECT_EQ(c.effectOp[0], special[i][2] ? special[i][1] : special[i][0] << 4 | special[i][1]) << i;
    }
    EXPECT_EQ(l.cell(0, 9, 0).effect[0], 25); /* SC3 stays in its channel */
    /* pattern loop and delay stay in their channel */
    EXPECT_EQ(l.cell(0, 16, 1).effect[0], MODFX_PATTERN_LOOP);
    EXPECT_EQ(l.cell(0, 16, 1).effectOp[0], 2);
    EXPECT_EQ(l.cell(0, 17, 2).effect[0], MODFX_PATTERN_DELAY);
    EXPECT_EQ(l.cell(0, 17, 2).effectOp[0], 3);
    EXPECT_EQ(l.spare(0, 16).effect[0], 0xFFFF);
    EXPECT_EQ(l.spare(0, 18).effect[0], 14);
    EXPECT_EQ(l.spare(0, 18).effectOp[0], 12);
    EXPECT_EQ(l.cell(0, 18, 3).effect[0], 0);
    EXPECT_EQ(l.spare(0, 19).effect[0], 12);
    EXPECT_EQ(l.spare(0, 19).effectOp[0], 4);
    /* a jump keeps a break's row in either order */
    for (int row : {20, 21}) {
        EXPECT_EQ(l.spare(0, row).effect[0], 30) << row;
        EXPECT_EQ(l.spare(0, row).effectOp[0], 4) << row;
        EXPECT_EQ(l.spare(0, row).effectOp[1], 8) << row;
    }
    const int panning[4][2] = {{MODFX_SET_PANNING, 0x40}, {MODFX_SET_PANNING, 255}, {MODFX_SET_PANNING, 128},
                               {MODFX_NONE, 255}};
    for (int c = 0; c < 4; c++) {
        EXPECT_EQ(l.cell(0, 22, c).effect[0], panning[c][0]) << c;
        EXPECT_EQ(l.cell(0, 22, c).effectOp[0], panning[c][1]) << c;
    }
}

TEST(S3mLoader, PatternDelayHoldsTheRowAndNotesPlayAtTheirPitch)
{
    /* SE3 in row 0: the row lasts 4 x 6 ticks */
    s3mw::Song s = basicSong();
    s.instruments[0].c4Rate = 16726;
    s.patterns[0].rows[0] = {{1, 0x40, 1, -1, 19, 0xE3}};
    std::vector<uint8_t> img = s3mw::write(s);
    MODFILE mod;
    MODFILE_Init(&mod);
    ASSERT_EQ(MODFILE_Set((const char*)img.data(), (int)img.size(), &mod), 0);
    ASSERT_EQ(mod.formatId, 2);
    mod.musicVolume = 64;
    MODFILE_Start(&mod);
    MODFILE_SetFormat(&mod, 22050, 2, 16, 1);
    std::vector<int16_t> out(441 * 2);
    std::vector<int> rows;
    for (int t = 0; t < 32; t++) {
        mod.outBuffer = out.data();
        mod.outBytes = 441 * 4;
        MODFILE_Player(&mod);
        rows.push_back(mod.row);
        if (t == 6) {
            EXPECT_EQ(mod.channels[1].voice.active, 1);
            EXPECT_EQ(mod.channels[1].basePeriod, 856); /* C-4 at twice 8363 Hz */
            EXPECT_EQ(mod.channels[1].defaultPanning, 167);
        }
    }
    /* the row handler reads row 0 at the end of tick 5 and row 1 at the end
     * of tick 29 */
    EXPECT_EQ(rows[4], 0);
    for (int t = 5; t < 29; t++)
        ASSERT_EQ(rows[(size_t)t], 1) << t;
    EXPECT_EQ(rows[29], 2);
    MODFILE_Stop(&mod);
    MODFILE_Free(&mod);
}

TEST(S3mLoader, SampleInstruments)
{
    s3mw::Song s = basicSong();
    s.instruments[0].name = "square wave";
    s.instruments[0].volume = 99; /* above 64: clamped */
    s.instruments[0].c4Rate = 16726;
    s3mw::Instrument raw; /* unsigned bytes 0x80 and 0x00 are 0 and -128 */
    raw.data = {0, -128, 127, -1};
    s3mw::Instrument wide;
    wide.is16Bit = true;
    wide.data = {0, -32768, 32767, 1234};
    wide.loop = true;
    wide.loopStart = 1;
    wide.loopEnd = 9; /* past the sample: clamped */
    s3mw::Instrument stereo;
    stereo.stereo = true;
    stereo.data = {10, 20, 30, -10, -20, -30}; /* left block, then right */
    s3mw::Instrument badLoop = s3mw::squareInstrument(100);
    badLoop.loopStart = 100; /* the loop starts at the end: no loop */
    s3mw::Instrument empty;
    empty.type = 0;
    empty.name = "empty";
    s3mw::Instrument adlib;
    adlib.type = 2;
    adlib.scrs = false; /* only sample instruments are checked */
    s.instruments.insert(s.instruments.end(), {raw, wide, stereo, badLoop, empty, adlib});
    std::vector<uint8_t> img = s3mw::write(s);
    Loaded l(img);
    ASSERT_EQ(l.result, 0);
    ASSERT_EQ(l.mod.numSamples, 7);
    ASSERT_EQ(mpt::songInvariants(l.mod), "");
    const MODFILE_SAMPLE* sm = l.mod.samples;
    EXPECT_STREQ(sm[0].name, "square wave");
    EXPECT_STREQ(l.mod.instruments[0].name, "square wave");
    EXPECT_EQ(sm[0].length, 1000);
    EXPECT_EQ(sm[0].loop, 1);
    EXPECT_EQ(sm[0].loopStart, 500);
    EXPECT_EQ(sm[0].loopEnd, 1000);
    EXPECT_EQ(sm[0].volume, 64);
    EXPECT_EQ(sm[0].c4Rate, 16726);
    EXPECT_EQ(sm[0].initC4Rate, 16726);
    EXPECT_EQ(sm[0].panning, 255);
    EXPECT_EQ(sm[0].relativeNote | sm[0].pingPong | sm[0].is16Bit | sm[0].stereo, 0);
    EXPECT_EQ(((int8_t*)sm[0].data)[16], -100);
    const int8_t* r8 = (const int8_t*)sm[1].data;
    ASSERT_EQ(sm[1].length, 4);
    EXPECT_EQ((std::vector<int>{r8[0], r8[1], r8[2], r8[3], r8[4]}), (std::vector<int>{0, -128, 127, -1, 0}));
    EXPECT_EQ(sm[1].loop, 0);
    EXPECT_EQ(sm[1].loopStart, 3);
    EXPECT_EQ(sm[1].loopEnd, 3);
    const int16_t* r16 = (const int16_t*)sm[2].data;
    ASSERT_EQ(sm[2].is16Bit, 1);
    ASSERT_EQ(sm[2].length, 4);
    EXPECT_EQ((std::vector<int>{r16[0], r16[1], r16[2], r16[3], r16[4]}), (std::vector<int>{0, -32768, 32767, 1234, 0}));
    EXPECT_EQ(sm[2].loop, 1);
    EXPECT_EQ(sm[2].loopStart, 1);
    EXPECT_EQ(sm[2].loopEnd, 4);
    ASSERT_EQ(sm[3].stereo, 1);
    ASSERT_EQ(sm[3].length, 3);
    const int8_t* st = (const int8_t*)sm[3].data;
    EXPECT_EQ((std::vector<int>{st[0], st[1], st[2], st[3]}), (std::vector<int>{10, 20, 30, 0}));
    EXPECT_EQ(sm[4].loop, 0);
    EXPECT_EQ(sm[4].loopEnd, 99);
    for (int i : {5, 6}) {
        EXPECT_EQ(sm[i].length, 0) << i;
        EXPECT_EQ(sm[i].data, nullptr) << i;
        EXPECT_EQ(l.mod.instruments[i].fadeout, 0x7FFF) << i;
        for (int j = 0; j < 256; j++)
            ASSERT_EQ(l.mod.instruments[i].noteSample[j], nullptr) << i;
    }
    const MODFILE_INSTRUMENT& in = l.mod.instruments[2];
    for (int j = 0; j < 256; j++) {
        ASSERT_EQ(in.noteSample[j], &sm[2]);
        ASSERT_EQ(in.noteMap[j], j);
    }
    EXPECT_EQ(in.volEnvelope.enabled | in.panEnvelope.enabled, 0);
    EXPECT_EQ(in.fadeout, 0x7FFF);

    /* signed samples are taken as they are */
    s.sampleFormat = 1;
    Loaded m(s3mw::write(s));
    ASSERT_EQ(m.result, 0);
    const int8_t* m8 = (const int8_t*)m.mod.samples[1].data;
    EXPECT_EQ((std::vector<int>{m8[0], m8[1], m8[2], m8[3]}), (std::vector<int>{0, -128, 127, -1}));
    EXPECT_EQ(((const int16_t*)m.mod.samples[2].data)[1], -32768);
}

TEST(S3mLoader, UnsignedSampleBytesInTheFile)
{
    s3mw::Song s = basicSong();
    s.instruments[0].data = {0, -128};
    s3mw::Layout layout;
    std::vector<uint8_t> img = s3mw::write(s, &layout);
    ASSERT_EQ(img[layout.sampleData[0]], 0x80);
    ASSERT_EQ(img[layout.sampleData[0] + 1], 0x00);
    Loaded l(img);
    ASSERT_EQ(l.result, 0);
    EXPECT_EQ(((int8_t*)l.mod.samples[0].data)[0], 0);
    EXPECT_EQ(((int8_t*)l.mod.samples[0].data)[1], -128);
}

TEST(S3mLoader, AnInstrumentWithoutItsTagRefusesTheSongAndKeepsNoMemory)
{
    s3mw::Song s = basicSong();
    s.instruments.push_back(s3mw::squareInstrument(5000));
    s.instruments.push_back(s3mw::squareInstrument(300));
    s.instruments[2].scrs = false;
    std::vector<uint8_t> img = s3mw::write(s);
    EXPECT_TRUE(refused(img));
    /* the caller's release afterwards finds nothing to free (the leak
     * checker of the sanitizer build watches this) */
    MODFILE mod;
    MODFILE_Init(&mod);
    EXPECT_EQ(MODFILE_Set((const char*)img.data(), (int)img.size(), &mod), -1);
    EXPECT_EQ(mod.loaded, 0);
    EXPECT_EQ(mod.samples, nullptr);
    EXPECT_EQ(mod.instruments, nullptr);
    EXPECT_EQ(mod.patterns, nullptr);
    MODFILE_Free(&mod);
    EXPECT_EQ(MODFILE_SetS3M((const char*)img.data(), (int)img.size(), &mod), -1);
    MODFILE_Free(&mod);
}

TEST(S3mLoader, OrderLists)
{
    s3mw::Song s = basicSong();
    s.patterns.resize(3);
    s.patterns[2].rows[0] = {{0, 0x40, 1, -1, -1, 0}};
    /* 255 ends the song; a marker 254 is kept for the player to skip */
    s.orders = {0, 254, 2, 255, 1, 255};
    {
        Loaded l(s3mw::write(s));
        ASSERT_EQ(l.result, 0);
        EXPECT_EQ(l.mod.songLength, 3);
        EXPECT_EQ((std::vector<int>(l.mod.orders, l.mod.orders + 4)), (std::vector<int>{0, 254, 2, 0}));
        EXPECT_EQ(l.cell(2, 0, 0).note, 0x40);
    }
    /* a list that starts with 255 is played past it */
    s.orders = {255, 1, 255};
    {
        Loaded l(s3mw::write(s));
        ASSERT_EQ(l.result, 0);
        EXPECT_EQ(l.mod.songLength, 3);
        EXPECT_EQ(mpt::songInvariants(l.mod), "");
    }
    /* entries naming patterns the file lacks play one empty pattern */
    s.orders = {0, 7, 2, 9};
    {
        Loaded l(s3mw::write(s));
        ASSERT_EQ(l.result, 0);
        EXPECT_EQ(l.mod.numPatterns, 4);
        EXPECT_EQ((std::vector<int>(l.mod.orders, l.mod.orders + 4)), (std::vector<int>{0, 3, 2, 3}));
        EXPECT_EQ(l.cell(3, 0, 0).note, 255);
        EXPECT_EQ(mpt::songInvariants(l.mod), "");
    }
    /* more than 256 entries: the first 256 */
    s.orders.assign(300, 1);
    {
        Loaded l(s3mw::write(s));
        ASSERT_EQ(l.result, 0);
        EXPECT_EQ(l.mod.songLength, 256);
        EXPECT_EQ(l.mod.orders[255], 1);
        EXPECT_EQ(l.cell(2, 0, 0).note, 0x40); /* the tables after the list were found */
    }
    s.orders = {254, 255};
    EXPECT_TRUE(refused(s3mw::write(s)));
    s.orders = {};
    EXPECT_TRUE(refused(s3mw::write(s)));
}

TEST(S3mLoader, HeadersAndTablesThatDoNotFitAreRefused)
{
    s3mw::Song s = basicSong();
    s.patterns.resize(2);
    s3mw::Layout layout;
    std::vector<uint8_t> img = s3mw::write(s, &layout);
    EXPECT_FALSE(refused(img));
    EXPECT_TRUE(refused(std::vector<uint8_t>(img.begin(), img.begin() + 47)));
    EXPECT_TRUE(refused(std::vector<uint8_t>(img.begin(), img.begin() + 60)));
    /* the tables end at patternPointers + 4: one byte short */
    EXPECT_TRUE(refused(std::vector<uint8_t>(img.begin(), img.begin() + (long)layout.patternPointers + 3)));
    EXPECT_FALSE(refused(std::vector<uint8_t>(img.begin(), img.begin() + (long)layout.patternPointers + 4)));
    std::vector<uint8_t> b = img;
    b[29] = 17; /* file type */
    EXPECT_TRUE(refused(b));
    b = img;
    b[44] = 'X';
    EXPECT_TRUE(refused(b));
    b = img;
    ts::set16le(b, 34, 4000); /* instruments whose table runs past the file */
    EXPECT_TRUE(refused(b));
    b = img;
    ts::set16le(b, 36, 4000); /* patterns */
    EXPECT_TRUE(refused(b));
    b = img;
    ts::set16le(b, 32, 60000); /* orders */
    EXPECT_TRUE(refused(b));
    /* more instruments or patterns than cells and orders can name */
    s3mw::Song many = basicSong();
    many.instruments.resize(256);
    EXPECT_TRUE(refused(s3mw::write(many)));
    many.instruments.resize(255);
    EXPECT_FALSE(refused(s3mw::write(many)));
    many.patterns.resize(257);
    EXPECT_TRUE(refused(s3mw::write(many)));
}

TEST(S3mLoader, PointersPastTheFileAndCutDataLeaveEmptyParts)
{
    s3mw::Song s = basicSong();
    s.instruments.push_back(s3mw::squareInstrument(800));
    s.instruments[1].is16Bit = true;
    s.instruments[1].loopStart = 100;
    s.instruments[1].loopEnd = 700;
    s.patterns.resize(3);
    for (int r = 0; r < 64; r++)
        for (auto* p : {&s.patterns[0], &s.patterns[1], &s.patterns[2]})
            p->rows[r] = {{0, 0x40, 1, 32, 1, 3}, {1, 0x41, 2, -1, -1, 0}};
    s3mw::Layout layout;
    std::vector<uint8_t> img = s3mw::write(s, &layout);

    std::vector<uint8_t> b = img;
    ts::set16le(b, layout.patternPointers + 2, 0);      /* pattern 1: parapointer 0 */
    ts::set16le(b, layout.patternPointers + 4, 0xFFFF); /* pattern 2: past the file */
    ts::set16le(b, layout.instrumentPointers, 0xFFF0);  /* instrument 0: past the file */
    {
        Loaded l(b);
        ASSERT_EQ(l.result, 0);
        ASSERT_EQ(mpt::songInvariants(l.mod), "");
        EXPECT_EQ(l.cell(0, 63, 0).note, 0x40);
        EXPECT_EQ(l.cell(0, 63, 0).volume, 32);
        for (int p : {1, 2})
            for (int r = 0; r < 64; r++)
                for (int c = 0; c < 5; c++)
                    ASSERT_EQ(l.cell(p, r, c).note, 255) << p << " " << r << " " << c;
        EXPECT_EQ(l.mod.samples[0].length, 0);
        EXPECT_EQ(l.mod.instruments[0].noteSample[0x40], nullptr);
        EXPECT_EQ(l.mod.samples[1].length, 800);
    }
    /* the file ends 500 frames into the 16-bit sample (and an odd byte
     * more): it is cut to 500 frames and its loop to 100..500 */
    std::vector<uint8_t> cut(img.begin(), img.begin() + (long)layout.sampleData[1] + 1001);
    {
        Loaded l(cut);
        ASSERT_EQ(l.result, 0);
        ASSERT_EQ(mpt::songInvariants(l.mod), "");
        const MODFILE_SAMPLE& sm = l.mod.samples[1];
        EXPECT_EQ(sm.length, 500);
        EXPECT_EQ(sm.loopStart, 100);
        EXPECT_EQ(sm.loopEnd, 500);
        EXPECT_EQ(((int16_t*)sm.data)[499], 100 * ((499 / 16) % 2 ? -1 : 1));
        EXPECT_EQ(((int16_t*)sm.data)[500], 0);
    }
    /* a declared length far past the file */
    b = img;
    b[layout.instruments[1] + 19] = 0x7F;
    {
        Loaded l(b);
        ASSERT_EQ(l.result, 0);
        EXPECT_EQ(l.mod.samples[1].length, 800);
        ASSERT_EQ(mpt::songInvariants(l.mod), "");
    }
    /* the file ends in row 10 of pattern 2 */
    std::vector<uint8_t> shortPattern(img.begin(), img.begin() + (long)layout.patterns[2] + 2 + 10 * 10 + 3);
    {
        Loaded l(shortPattern);
        ASSERT_EQ(l.result, 0);
        EXPECT_EQ(l.cell(2, 9, 1).note, 0x41);
        EXPECT_EQ(l.cell(2, 10, 0).note, 255); /* the entry was cut */
        EXPECT_EQ(l.cell(2, 63, 0).note, 255);
        EXPECT_EQ(l.mod.samples[0].length, 0);
        ASSERT_EQ(mpt::songInvariants(l.mod), "");
    }
}

TEST(S3mLoader, ARowThatNeverEndsStopsTheUnpacking)
{
    /* pattern 0 is a long run of entries without an end byte: rows 0 takes
     * them all (each overwriting its cell) and the rest stays empty */
    s3mw::Song s = basicSong();
    s.patterns.resize(2);
    s.patterns[1].rows[0] = {{0, 0x40, 1, -1, -1, 0}};
    s3mw::Layout layout;
    std::vector<uint8_t> img = s3mw::write(s, &layout);
    std::vector<uint8_t> run;
    for (int k = 0; k < 20000; k++) {
        run.push_back((uint8_t)(0x20 | (k % 4)));
        run.push_back((uint8_t)(0x30 + k % 12));
        run.push_back(1);
    }
    size_t at = img.size();
    while (at % 16)
        at++;
    img.resize(at, 0);
    img.insert(img.end(), run.begin(), run.end());
    ts::set16le(img, layout.patternPointers, (unsigned)(at / 16));
    Loaded l(img);
    ASSERT_EQ(l.result, 0);
    ASSERT_EQ(mpt::songInvariants(l.mod), "");
    EXPECT_NE(l.cell(0, 0, 0).note, 255);
    for (int r = 1; r < 64; r++)
        ASSERT_EQ(l.cell(0, r, 0).note, 255) << r;
    EXPECT_EQ(l.cell(1, 0, 0).note, 0x40);
}

TEST(S3mLoader, DamagedFilesNeverReadOrWriteOutside)
{
    s3mw::Song s = basicSong();
    s.orders = {0, 1, 2, 1};
    s.patterns.resize(3);
    for (int r = 0; r < 64; r++)
        for (int c = 0; c < 4; c++)
            s.patterns[(size_t)(r % 3)].rows[r].push_back(
                {c, (r * 5 + c) % 0x80, 1 + (r + c) % 3, (r * 3) % 70, (r + c) % 23, r * 7 + c});
    s.instruments.push_back(s3mw::squareInstrument(300));
    s.instruments[1].is16Bit = true;
    s.instruments.push_back(s3mw::squareInstrument(900));
    s.instruments[2].loopStart = 10;
    s.instruments[2].loopEnd = 20;
    std::vector<uint8_t> img = s3mw::write(s);
    std::string broken;
    for (size_t n = 48; n < img.size(); n += 29) {
        mpt::loadCheckAndPlay(std::vector<uint8_t>(img.begin(), img.begin() + (long)n), &broken, MODFILE_SetS3M);
        ASSERT_EQ(broken, "") << n;
    }
    std::mt19937 rng(777);
    for (int round = 0; round < 400; round++) {
        std::vector<uint8_t> b = img;
        int changes = 1 + (int)(rng() % 8);
        for (int k = 0; k < changes; k++) {
            size_t at = rng() % b.size();
            if (at < 29 || (at >= 44 && at < 48))
                continue; /* keep the tags: the loader should get past them */
            b[at] = (uint8_t)rng();
        }
        mpt::loadCheckAndPlay(b, &broken, MODFILE_SetS3M);
        ASSERT_EQ(broken, "") << round;
    }
}

} // namespace
