/* The MOD loader: signatures, periods, sample headers, effect translation,
 * where patterns and sample data are found, and damaged files. */
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "modplay/effects.h"
#include "modplay/mod.h"
#include "tests/modplay/modwriter.h"
#include "tests/modplay/songcheck.h"

namespace {

/* Loads through the MOD loader. */
struct Loaded : mpt::Loaded {
    explicit Loaded(const std::vector<uint8_t>& img) : mpt::Loaded(img, MODFILE_SetMOD) {}
};

/* A 4-channel song with one pattern and one looping square sample. */
modw::Song basicSong(int channels = 4)
{
    modw::Song s;
    s.channels = channels;
    s.patterns.emplace_back(channels);
    s.samples.push_back(modw::squareSample(1000));
    return s;
}

bool isMod(const std::vector<uint8_t>& img)
{
    return MODFILE_IsMOD((const char*)img.data(), (int)img.size()) == 1;
}

TEST(ModLoader, TablesFollowTheirFormulas)
{
    for (int n = 0; n < 108; n++) {
        double exact = 6848.0 * exp2(-n / 12.0);
        EXPECT_NEAR(s3m_amiga2st3[n].period, exact, std::max(exact * 0.01, 1.0)) << n;
        EXPECT_EQ(s3m_amiga2st3[n].note, (n / 12) << 4 | n % 12) << n;
    }
    /* finetunes an eighth of a semitone apart */
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(s3m_finetunes[i], (int32_t)lround(8363.0 * exp2((i - 8) / 96.0))) << i;
}

TEST(ModLoader, SignaturesGiveChannelsAndNoSignatureFifteenInstruments)
{
    const struct {
        const char* tag;
        int channels;
    } sigs[] = {{"M.K.", 4}, {"FLT4", 4}, {"2CHN", 2}, {"6CHN", 6}, {"8CHN", 8}, {"10CH", 10}, {"12CH", 12},
                {"14CH", 14}, {"16CH", 16}, {"18CH", 18}, {"20CH", 20}, {"22CH", 22}, {"24CH", 24},
                {"26CH", 26}, {"28CH", 28}, {"30CH", 30}, {"32CH", 32}};
    for (const auto& sig : sigs) {
        SCOPED_TRACE(sig.tag);
        modw::Song s = basicSong(sig.channels);
        s.signature = sig.tag;
        s.patterns[0].at(1, sig.channels - 1) = {428, 1, 0, 0};
        std::vector<uint8_t> img = modw::write(s);
        EXPECT_TRUE(isMod(img));
        Loaded l(img);
        ASSERT_EQ(l.result, 0);
        EXPECT_EQ(l.mod.numChannels, sig.channels + 1);
        EXPECT_EQ(l.mod.numInstruments, 31);
        EXPECT_EQ(l.mod.numSamples, 31);
        EXPECT_EQ(l.cell(0, 1, sig.channels - 1).note, 0x40);
        EXPECT_EQ(mpt::songInvariants(l.mod), "");
    }

    /* no signature at 1080 (there lies pattern data): an old module of 15
     * instruments whose patterns start at 600 */
    modw::Song old = basicSong();
    old.signature = "";
    old.patterns[0].at(0, 0) = {428, 1, 0, 0};
    old.patterns[0].at(30, 0) = {0x858, 0x55, 8, 0x58}; /* "XXXX": a period no table has */
    old.patterns[0].at(63, 3) = {214, 2, 0xF, 3};
    std::vector<uint8_t> img = modw::write(old);
    ASSERT_EQ(memcmp(&img[1080], "XXXX", 4), 0);
    testing::internal::CaptureStderr();
    Loaded l(img);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Note not found: 858\n");
    ASSERT_EQ(l.result, 1);
    old.patterns[0].at(30, 0) = {};
    Loaded m(modw::write(old));
    EXPECT_EQ(m.result, 0);
    EXPECT_EQ(l.mod.numInstruments, 15);
    EXPECT_EQ(l.mod.numChannels, 5);
    EXPECT_EQ(l.cell(0, 0, 0).note, 0x40);
    EXPECT_EQ(l.cell(0, 63, 3).note, 0x50);
    EXPECT_EQ(l.cell(0, 63, 3).instrument, 2);
    EXPECT_EQ(l.cell(0, 63, 3).effect[0], 29);
    EXPECT_EQ(l.mod.samples[0].length, 1000);
    EXPECT_EQ(((int8_t*)l.mod.samples[0].data)[16], -100);
}

TEST(ModLoader, HeaderFieldsPanningsAndDescriptors)
{
    modw::Song s = basicSong(8);
    s.signature = "8CHN";
    s.name = "a mod song";
    s.orders = {0, 0, 0};
    Loaded l(modw::write(s));
    ASSERT_EQ(l.result, 0);
    EXPECT_STREQ(l.mod.name, std::string("a mod song").c_str());
    EXPECT_EQ(l.mod.songLength, 3);
    EXPECT_EQ(l.mod.numPatterns, 1);
    EXPECT_EQ(l.mod.patternRows[0], 64);
    EXPECT_EQ(l.mod.initSpeed, 6);
    EXPECT_EQ(l.mod.initBpm, 125);
    EXPECT_EQ(l.mod.initGlobalVolume, 64);
    EXPECT_EQ(l.mod.linearFreq, 0);
    EXPECT_EQ(l.mod.formatId, 1);
    /* left, right, right, left, as both independent players have it */
    const int pan[9] = {86, 167, 167, 86, 86, 167, 167, 86, 86};
    for (int c = 0; c < 9; c++) {
        EXPECT_EQ(l.mod.channels[c].defaultPanning, pan[c]) << c;
        EXPECT_EQ(l.mod.channels[c].voice.enabled, 1) << c;
    }
    /* every field of a cell the file leaves empty, the spare's included, is all ones */
    EXPECT_EQ(l.spare(0, 5).instrument, -1);
    EXPECT_EQ(l.spare(0, 5).effect[0], 0xFFFF);
    EXPECT_EQ(l.cell(0, 5, 2).effect[1], 0xFFFF);
    EXPECT_EQ(l.cell(0, 5, 2).effectOp[1], 255);
    EXPECT_EQ(MODFILE_MODGetFormatID(), 1);
    EXPECT_STREQ(MODFILE_MODGetDescription(), "Amiga Pro/Soundtracker");
    EXPECT_STREQ(MODFILE_MODGetVersion(), "v0.03b");
}

TEST(ModLoader, PeriodsBecomeNotesAndUnknownOnesAreReported)
{
    modw::Song s = basicSong();
    const uint16_t periods[] = {428, 15, 1140, 0, 3424, 1712, 14, 75, 692};
    const int notes[] = {0x40, 0x8A, 0x27, 255, 0x10, 0x20, 0x8B, 0x66, 0x34};
    for (int i = 0; i < 9; i++)
        s.patterns[0].at(i, 0) = {periods[i], 1, 0, 0};
    std::vector<uint8_t> img = modw::write(s);
    {
        Loaded l(img);
        ASSERT_EQ(l.result, 0);
        for (int i = 0; i < 9; i++)
            EXPECT_EQ(l.cell(0, i, 0).note, notes[i]) << periods[i];
        EXPECT_EQ(l.cell(0, 0, 0).instrument, 1);
        EXPECT_EQ(l.cell(0, 0, 0).volume, 255);
    }
    /* 999 is in no table: the note stays empty, the result is 1 and the
     * trial load refuses the file without a word */
    s.patterns[0].at(20, 2) = {999, 1, 0, 0};
    s.patterns[0].at(21, 2) = {0x3FF, 1, 0, 0};
    img = modw::write(s);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(isMod(img));
    EXPECT_EQ(MODFILE_Is((const char*)img.data(), (int)img.size()), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    testing::internal::CaptureStderr();
    Loaded l(img);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Note not found: 3e7\nNote not found: 3ff\n");
    ASSERT_EQ(l.result, 1);
    EXPECT_EQ(l.cell(0, 20, 2).note, 255);
    EXPECT_EQ(l.cell(0, 20, 2).instrument, 1);
    EXPECT_EQ(mpt::songInvariants(l.mod), "");
}

TEST(ModLoader, EveryPeriodFindsTheLastTableEntryOfIt)
{
    /* all 4096 periods, one a cell, over 16 patterns */
    modw::Song s = basicSong();
    s.orders.clear();
    for (int p = 0; p < 16; p++) {
        s.orders.push_back((uint8_t)p);
        s.patterns.resize(16, modw::Pattern(4));
        for (int k = 0; k < 256; k++)
            s.patterns[(size_t)p].at(k / 4, k % 4).period = (uint16_t)(p * 256 + k);
    }
    testing::internal::CaptureStderr();
    Loaded l(modw::write(s));
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(l.result, 1);
    int known = 0;
    for (int period = 0; period < 4096; period++) {
        int want = period == 0 ? 255 : -1;
        for (int i = 0; i < 115; i++)
            if (s3m_amiga2st3[i].period == period)
                want = s3m_amiga2st3[i].note;
        known += want >= 0 && period > 0;
        ASSERT_EQ(l.cell(period / 256, period % 256 / 4, period % 4).note, want < 0 ? 255 : want) << period;
    }
    EXPECT_EQ(known, 115 - 1 - 9); /* one period is listed twice, 9 lie past 12 bits */
}

TEST(ModLoader, SampleHeadersFinetunesLoopsAndData)
{
    modw::Song s = basicSong();
    s.samples.resize(6);
    s.samples[0].finetune = 0x0F;   /* -1 */
    s.samples[0].name = "first sample";
    s.samples[1] = modw::squareSample(100);
    s.samples[1].finetune = 0x08;   /* -8 */
    s.samples[1].volume = 80;       /* above 64: clamped */
    s.samples[1].loopStartWords = 5;
    s.samples[1].loopWords = 1;     /* a loop of one word is no loop */
    s.samples[2] = modw::squareSample(100);
    s.samples[2].finetune = 0x17;   /* only the low nibble counts: 7 */
    s.samples[2].loopStartWords = 30;
    s.samples[2].loopWords = 40;    /* ends past the sample: clamped */
    s.samples[3] = modw::squareSample(100);
    s.samples[3].loopStartWords = 60; /* starts past the sample: no loop */
    s.samples[3].loopWords = 10;
    s.samples[4].data = {1, -2, 3}; /* odd: padded to 4 bytes */
    s.samples[4].loopWords = 0;
    /* samples[5] stays empty */
    Loaded l(modw::write(s));
    ASSERT_EQ(l.result, 0);
    ASSERT_EQ(mpt::songInvariants(l.mod), "");
    const MODFILE_SAMPLE* sm = l.mod.samples;
    EXPECT_STREQ(sm[0].name, "first sample");
    EXPECT_EQ(sm[0].length, 1000);
    /* finetune -1: an eighth of a semitone below 8363 Hz */
    EXPECT_EQ(sm[0].initC4Rate, 8303);
    EXPECT_EQ(sm[0].c4Rate, 8303);
    EXPECT_EQ(sm[0].loop, 1);
    EXPECT_EQ(sm[0].loopStart, 500);
    EXPECT_EQ(sm[0].loopEnd, 1000);
    EXPECT_EQ(sm[0].panning, 255);
    EXPECT_EQ(sm[0].volume, 64);
    EXPECT_EQ(sm[0].is16Bit | sm[0].pingPong | sm[0].stereo | sm[0].relativeNote | sm[0].finetune, 0);
    EXPECT_EQ(sm[1].initC4Rate, 7894);
    EXPECT_EQ(sm[1].volume, 64);
    EXPECT_EQ(sm[1].loop, 0);
    EXPECT_EQ(sm[1].loopStart, 99);
    EXPECT_EQ(sm[1].loopEnd, 99);
    EXPECT_EQ(sm[2].initC4Rate, 8797);
    EXPECT_EQ(sm[2].loop, 1);
    EXPECT_EQ(sm[2].loopStart, 60);
    EXPECT_EQ(sm[2].loopEnd, 100);
    EXPECT_EQ(sm[3].loop, 0);
    EXPECT_EQ(sm[3].loopEnd, 99);
    const int8_t* d4 = (const int8_t*)sm[4].data;
    ASSERT_EQ(sm[4].length, 4);
    EXPECT_EQ((std::vector<int>{d4[0], d4[1], d4[2], d4[3], d4[4]}), (std::vector<int>{1, -2, 3, 0, 0}));
    EXPECT_EQ(sm[5].length, 0);
    EXPECT_EQ(sm[5].data, nullptr);
    EXPECT_EQ(sm[30].initC4Rate, 8363);
    const MODFILE_INSTRUMENT& ins = l.mod.instruments[2];
    EXPECT_STREQ(l.mod.instruments[0].name, "first sample");
    for (int j = 0; j < 256; j++) {
        ASSERT_EQ(ins.noteSample[j], &sm[2]);
        ASSERT_EQ(ins.noteMap[j], j);
    }
    EXPECT_EQ(ins.volEnvelope.enabled | ins.panEnvelope.enabled, 0);
    EXPECT_EQ(ins.fadeout, 0x7FFF);
}

TEST(ModLoader, EffectsAndTheSpareCell)
{
    modw::Song s = basicSong();
    modw::Pattern& p = s.patterns[0];
    /* row 0: every plain effect type, one a channel, over four rows */
    const int plain[][3] = {
        /* type, param, effect number */
        {0x0, 0x37, 1}, {0x0, 0x00, 0}, {0x1, 0x12, 2}, {0x2, 0x12, 3}, {0x3, 0x12, 4}, {0x4, 0x12, 5},
        {0x5, 0x12, 6}, {0x6, 0x12, 7}, {0x7, 0x12, 8}, {0x8, 0x80, 0}, {0x9, 0x12, 10}, {0xA, 0x12, 11},
        {0xF, 0x7D, 29}, {0xF, 0x03, 29},
    };
    const int nPlain = (int)(sizeof plain / sizeof plain[0]);
    for (int i = 0; i < nPlain; i++)
        p.at(i / 4, i % 4) = {0, 0, (uint8_t)plain[i][0], (uint8_t)plain[i][1]};
    /* extended effects: E x y */
    const int ext[][3] = {
        /* x, y, effect number */
        {0x1, 3, 15}, {0x2, 3, 16}, {0x4, 3, 17}, {0x7, 3, 20}, {0x8, 3, 21}, {0x9, 3, 22},
        {0xA, 3, 23}, {0xB, 3, 24}, {0xC, 3, 25}, {0xD, 3, 26}, {0x0, 1, 0},  {0x3, 1, 0},  {0xF, 1, 0},
    };
    const int nExt = (int)(sizeof ext / sizeof ext[0]);
    for (int i = 0; i < nExt; i++)
        p.at(8 + i / 4, i % 4) = {0, 0, 0xE, (uint8_t)(ext[i][0] << 4 | ext[i][1])};
    p.at(16, 0) = {0, 0, 0xC, 0x50}; /* C50: volume 64 */
    p.at(16, 1) = {0, 0, 0xC, 0x20};
    p.at(17, 2) = {0, 0, 0xD, 0x15}; /* D15: row 15 */
    p.at(18, 3) = {0, 0, 0xD, 0x64}; /* row 64 does not exist: 0 */
    p.at(19, 0) = {0, 0, 0xB, 0x03}; /* B03 ... */
    p.at(19, 2) = {0, 0, 0xD, 0x10}; /* ... then D10: position 3, row 10 */
    p.at(20, 1) = {0, 0, 0xD, 0x10}; /* D10 ... */
    p.at(20, 3) = {0, 0, 0xB, 0x03}; /* ... then B03: the jump starts at row 0 */
    p.at(21, 1) = {0, 0, 0xB, 0x07};
    p.at(22, 1) = {0, 0, 0xE, 0x62}; /* E62: loop */
    p.at(23, 2) = {0, 0, 0xE, 0xE4}; /* EE4: delay */
    for (int y = 0; y < 16; y++)
        p.at(24 + y, 0) = {0, 0, 0xE, (uint8_t)(0x50 | y)}; /* E5y: finetune */
    Loaded l(modw::write(s));
    ASSERT_EQ(l.result, 0);
    for (int i = 0; i < nPlain; i++) {
        const MODFILE_CELL& c = l.cell(0, i / 4, i % 4);
        EXPECT_EQ(c.effect[0], plain[i][2]) << i;
        EXPECT_EQ(c.effectOp[0], plain[i][1]) << i;
        EXPECT_EQ(c.volume, 255) << i;
    }
    for (int i = 0; i < nExt; i++) {
        const MODFILE_CELL& c = l.cell(0, 8 + i / 4, i % 4);
        EXPECT_EQ(c.effect[0], ext[i][2]) << i;
        /* the mapped ones keep y, the others the raw parameter */
        EXPECT_EQ(c.effectOp[0], ext[i][2] ? ext[i][1] : ext[i][0] << 4 | ext[i][1]) << i;
    }
    EXPECT_EQ(l.cell(0, 16, 0).volume, 64);
    EXPECT_EQ(l.cell(0, 16, 0).effect[0], 0);
    EXPECT_EQ(l.cell(0, 16, 0).effectOp[0], 64);
    EXPECT_EQ(l.cell(0, 16, 1).volume, 0x20);
    EXPECT_EQ(l.cell(0, 17, 2).effect[0], 0);
    EXPECT_EQ(l.cell(0, 17, 2).effectOp[0], 0);
    EXPECT_EQ(l.spare(0, 17).effect[0], 14);
    EXPECT_EQ(l.spare(0, 17).effectOp[0], 15);
    EXPECT_EQ(l.spare(0, 18).effectOp[0], 0);
    EXPECT_EQ(l.spare(0, 19).effect[0], MODFX_JUMP_TO_ROW);
    EXPECT_EQ(l.spare(0, 19).effectOp[0], 3);
    EXPECT_EQ(l.spare(0, 19).effectOp[1], 10);
    EXPECT_EQ(l.spare(0, 20).effect[0], MODFX_POSITION_JUMP);
    EXPECT_EQ(l.spare(0, 20).effectOp[0], 3);
    EXPECT_EQ(l.spare(0, 21).effect[0], 12);
    EXPECT_EQ(l.spare(0, 21).effectOp[0], 7);
    EXPECT_EQ(l.cell(0, 21, 1).effect[0], 0);
    /* pattern loop and delay stay in their channel, so that a jump or break
     * in the same row keeps its place in the spare cell */
    EXPECT_EQ(l.cell(0, 22, 1).effect[0], MODFX_PATTERN_LOOP);
    EXPECT_EQ(l.cell(0, 22, 1).effectOp[0], 2);
    EXPECT_EQ(l.cell(0, 23, 2).effect[0], MODFX_PATTERN_DELAY);
    EXPECT_EQ(l.cell(0, 23, 2).effectOp[0], 4);
    /* E5y sets the same rate as a sample header's finetune nibble y */
    for (int y = 0; y < 16; y++) {
        const MODFILE_CELL& c = l.cell(0, 24 + y, 0);
        EXPECT_EQ(c.effect[0], 18);
        EXPECT_EQ(c.effectOp[0], (y < 8 ? y : y - 16) + 8) << y;
    }
}

TEST(ModLoader, NotesPlayAtTheirAmigaPitch)
{
    modw::Song s = basicSong();
    s.patterns[0].at(0, 0) = {428, 1, 0, 0};
    s.patterns[0].at(0, 1) = {214, 1, 0, 0};
    std::vector<uint8_t> img = modw::write(s);
    MODFILE mod;
    MODFILE_Init(&mod);
    ASSERT_EQ(MODFILE_Set((const char*)img.data(), (int)img.size(), &mod), 0);
    mod.musicVolume = 64;
    MODFILE_Start(&mod);
    MODFILE_SetFormat(&mod, 22050, 2, 16, 1);
    std::vector<int16_t> out(441 * 2 * 7);
    mod.outBuffer = out.data();
    mod.outBytes = (int)out.size() * 2;
    MODFILE_Player(&mod);
    EXPECT_EQ(mod.channels[0].voice.active, 1);
    EXPECT_EQ(mod.channels[0].basePeriod, 1712);
    /* the PAL Amiga's C-4 (period 428), 7093789.2 / 856 = 8287 Hz, in 22.10 */
    EXPECT_EQ(mod.channels[0].voice.step, 384u);
    EXPECT_EQ(mod.channels[1].basePeriod, 856);
    int16_t peak = 0;
    for (int16_t v : out)
        peak = std::max<int16_t>(peak, (int16_t)std::abs(v));
    EXPECT_GT(peak, 1000);
    MODFILE_Stop(&mod);
    MODFILE_Free(&mod);
}

TEST(ModLoader, PatternCountAndWhereTheSampleDataStarts)
{
    /* exactly as long as declared: the patterns fill the gap (3, though the
     * order list names only pattern 0), the data follows them */
    modw::Song s = basicSong();
    s.patterns.resize(3, modw::Pattern(4));
    s.patterns[2].at(0, 0) = {428, 1, 0, 0};
    std::vector<uint8_t> img = modw::write(s);
    {
        Loaded l(img);
        ASSERT_EQ(l.result, 0);
        EXPECT_EQ(l.mod.numPatterns, 3);
        EXPECT_EQ(l.cell(2, 0, 0).note, 0x40);
        EXPECT_EQ(((int8_t*)l.mod.samples[0].data)[0], 100);
        EXPECT_EQ(((int8_t*)l.mod.samples[0].data)[16], -100);
    }
    /* one byte more: the order list gives the count, the data is the last
     * bytes of the file */
    std::vector<uint8_t> longer = img;
    longer.insert(longer.begin() + 1084 + 3 * 1024, 77);
    {
        Loaded l(longer);
        ASSERT_EQ(l.result, 0);
        EXPECT_EQ(l.mod.numPatterns, 1);
        EXPECT_EQ(((int8_t*)l.mod.samples[0].data)[0], 100);
        EXPECT_EQ(((int8_t*)l.mod.samples[0].data)[16], -100);
        EXPECT_EQ(mpt::songInvariants(l.mod), "");
    }
    /* a gap that is a whole number of patterns but fewer than the orders
     * name: the orders win, so every entry names a pattern */
    modw::Song t = basicSong();
    t.orders = {0, 3};
    std::vector<uint8_t> cut = modw::write(t);
    cut.erase(cut.begin() + 1084 + 2 * 1024, cut.begin() + 1084 + 4 * 1024);
    testing::internal::CaptureStderr(); /* patterns 2 and 3 are read from the sample data */
    Loaded l(cut);
    testing::internal::GetCapturedStderr();
    ASSERT_GE(l.result, 0);
    EXPECT_EQ(l.mod.numPatterns, 4);
    EXPECT_EQ(mpt::songInvariants(l.mod), "");
}

TEST(ModLoader, OrderListsAreChecked)
{
    modw::Song s = basicSong();
    s.songLength = 0;
    std::vector<uint8_t> img = modw::write(s);
    MODFILE mod;
    MODFILE_Init(&mod);
    MODFILE copy = mod;
    EXPECT_EQ(MODFILE_SetMOD((const char*)img.data(), (int)img.size(), &mod), -1);
    EXPECT_EQ(memcmp(&copy, &mod, sizeof mod), 0);
    EXPECT_FALSE(isMod(img));
    EXPECT_EQ(MODFILE_SetMOD(nullptr, 5000, &mod), -1);
    EXPECT_EQ(MODFILE_SetMOD((const char*)img.data(), (int)img.size(), nullptr), -1);

    s.songLength = 200; /* above 128: the table's 128 entries */
    s.orders.assign(128, 0);
    s.orders[127] = 1;
    Loaded l(modw::write(s));
    ASSERT_EQ(l.result, 0);
    EXPECT_EQ(l.mod.songLength, 128);
    EXPECT_EQ(l.mod.numPatterns, 2);
    EXPECT_EQ(l.mod.orders[128], 0);

    modw::Song m = basicSong();
    m.orders = {254, 255};
    EXPECT_FALSE(isMod(modw::write(m))); /* nothing to play */
}

TEST(ModLoader, ShortFilesKeepEmptyPatternsAndCutSamples)
{
    modw::Song s = basicSong();
    s.orders = {0, 1};
    s.patterns.resize(2, modw::Pattern(4));
    for (int r = 0; r < 64; r++)
        s.patterns[1].at(r, 2) = {428, 1, 0xA, 0x01};
    s.samples.push_back(modw::squareSample(600));
    s.samples[1].loopStartWords = 200;
    s.samples[1].loopWords = 100;
    std::vector<uint8_t> img = modw::write(s);
    size_t samplesAt = 1084 + 2 * 1024;

    /* shorter than the 15-instrument header */
    std::vector<uint8_t> tiny(img.begin(), img.begin() + 599);
    {
        Loaded l(tiny);
        EXPECT_EQ(l.result, -1);
    }
    EXPECT_FALSE(isMod(std::vector<uint8_t>(img.begin(), img.begin() + 1079)));

    /* the file ends in row 10 of pattern 1, channel 2 */
    std::vector<uint8_t> cut(img.begin(), img.begin() + (long)(1084 + 1024 + 10 * 16 + 8 + 2));
    {
        Loaded l(cut);
        ASSERT_EQ(l.result, 0);
        EXPECT_EQ(l.mod.numPatterns, 2);
        EXPECT_EQ(l.cell(1, 9, 2).note, 0x40);
        EXPECT_EQ(l.cell(1, 10, 2).note, 255);
        EXPECT_EQ(l.cell(1, 10, 2).instrument, -1);
        EXPECT_EQ(l.cell(1, 63, 2).effect[0], 0xFFFF);
        EXPECT_EQ(l.mod.samples[0].length, 0);
        EXPECT_EQ(l.mod.samples[0].data, nullptr);
        EXPECT_EQ(mpt::songInvariants(l.mod), "");
        EXPECT_TRUE(isMod(cut));
    }
    /* the file ends 450 bytes into the second sample: it is cut there and
     * its loop (400..600) ends at the cut */
    std::vector<uint8_t> part(img.begin(), img.begin() + (long)(samplesAt + 1000 + 450));
    {
        Loaded l(part);
        ASSERT_EQ(l.result, 0);
        EXPECT_EQ(l.mod.numPatterns, 2);
        EXPECT_EQ(l.mod.samples[0].length, 1000);
        EXPECT_EQ(l.mod.samples[1].length, 450);
        EXPECT_EQ(l.mod.samples[1].loopStart, 400);
        EXPECT_EQ(l.mod.samples[1].loopEnd, 450);
        EXPECT_EQ(((int8_t*)l.mod.samples[1].data)[449], ((int8_t*)l.mod.samples[0].data)[449]);
        EXPECT_EQ(((int8_t*)l.mod.samples[1].data)[450], 0);
        EXPECT_EQ(l.cell(1, 63, 2).note, 0x40);
        EXPECT_EQ(mpt::songInvariants(l.mod), "");
    }
}

TEST(ModLoader, AnyImageIsReadWithinItsBoundsAndWithinBoundedMemory)
{
    /* random bytes read as a 15-instrument module: at most 256 patterns,
     * samples no longer than the file, and the trial load never prints */
    std::mt19937 rng(99);
    for (int round = 0; round < 200; round++) {
        size_t n = 1080 + rng() % (round < 150 ? 4000 : 300000);
        std::vector<uint8_t> img(n);
        for (uint8_t& b : img)
            b = (uint8_t)rng();
        if (round % 3 == 0) /* periods all 0: the trial may accept it */
            for (size_t i = 600; i < n; i += 4)
                img[i] = img[i + 1 < n ? i + 1 : i] = 0;
        testing::internal::CaptureStderr();
        int trial = MODFILE_IsMOD((const char*)img.data(), (int)n);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        testing::internal::CaptureStderr();
        Loaded l(img);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(trial, l.result == 0 ? 1 : 0);
        if (l.result < 0)
            continue;
        EXPECT_LE(l.mod.numPatterns, 256);
        int64_t bytes = 0;
        for (int i = 0; i < l.mod.numSamples; i++)
            bytes += l.mod.samples[i].length;
        EXPECT_LE(bytes, (int64_t)n);
        ASSERT_EQ(mpt::songInvariants(l.mod), "");
    }
}

TEST(ModLoader, DamagedFilesNeverReadOrWriteOutside)
{
    modw::Song s = basicSong(6);
    s.signature = "6CHN";
    s.orders = {0, 1, 0, 2};
    s.patterns.resize(3, modw::Pattern(6));
    for (int r = 0; r < 64; r++)
        for (int c = 0; c < 6; c++)
            s.patterns[(size_t)(r % 3)].at(r, c) = {(uint16_t)s3m_amiga2st3[(r * 7 + c) % 108].period,
                                                      (uint8_t)(1 + (r + c) % 3), (uint8_t)((r + c) % 16),
                                                      (uint8_t)(r * 5 + c)};
    s.samples.push_back(modw::squareSample(300));
    s.samples.push_back(modw::squareSample(3000));
    s.samples[2].loopWords = 0;
    std::vector<uint8_t> img = modw::write(s);
    std::string broken;
    for (size_t n = 1080; n < img.size(); n += 37) {
        testing::internal::CaptureStderr();
        mpt::loadCheckAndPlay(std::vector<uint8_t>(img.begin(), img.begin() + (long)n), &broken, MODFILE_SetMOD);
        testing::internal::GetCapturedStderr();
        ASSERT_EQ(broken, "") << n;
    }
    std::mt19937 rng(4321);
    for (int round = 0; round < 300; round++) {
        std::vector<uint8_t> b = img;
        int changes = 1 + (int)(rng() % 8);
        for (int k = 0; k < changes; k++)
            b[rng() % b.size()] = (uint8_t)rng();
        testing::internal::CaptureStderr();
        mpt::loadCheckAndPlay(b, &broken, MODFILE_SetMOD);
        testing::internal::GetCapturedStderr();
        ASSERT_EQ(broken, "") << round;
    }
}

} // namespace
