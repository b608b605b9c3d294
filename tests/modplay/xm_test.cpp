/* The XM loader: header, cells, volume column and effect translation,
 * instruments and samples, and damaged files. */
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "modplay/effects.h"
#include "modplay/modplay_core.h"
#include "modplay/xm.h"
#include "tests/modplay/player.h"
#include "tests/modplay/songcheck.h"
#include "tests/support/test_support.h"

namespace {

/* Loads through the XM loader. */
struct Loaded : mpt::Loaded {
    explicit Loaded(const std::vector<uint8_t>& img) : mpt::Loaded(img, MODFILE_SetXM) {}
};

/* Offsets in a written file: the first pattern's header, its data. */
const int PATTERN0 = 336;
const int PATTERN0_DATA = 345;

TEST(XmLoader, DetectsTheTagAndRefusesShortImages)
{
    std::vector<uint8_t> img = xmw::write(mpt::basicSong());
    EXPECT_EQ(MODFILE_IsXM((const char*)img.data(), (int)img.size()), 1);
    EXPECT_EQ(MODFILE_IsXM((const char*)img.data(), 1023), 0);
    EXPECT_EQ(MODFILE_IsXM(nullptr, 5000), 0);
    EXPECT_EQ(MODFILE_Is((const char*)img.data(), (int)img.size()), 1);
    std::vector<uint8_t> bad = img;
    bad[37] = 0x1B;
    EXPECT_EQ(MODFILE_IsXM((const char*)bad.data(), (int)bad.size()), 0);
    bad = img;
    bad[0] = 'e';
    EXPECT_EQ(MODFILE_IsXM((const char*)bad.data(), (int)bad.size()), 0);
    MODFILE mod;
    MODFILE_Init(&mod);
    EXPECT_EQ(MODFILE_SetXM((const char*)img.data(), 1023, &mod), -1);
}

TEST(XmLoader, HeaderFieldsAndTheSpareChannel)
{
    xmw::Song s = mpt::basicSong(32, false);
    s.name = "Header Song";
    s.speed = 4;
    s.tempo = 140;
    s.restart = 1;
    s.addPattern(16);
    s.orders = {1, 0, 1};
    Loaded l(xmw::write(s));
    ASSERT_EQ(l.result, 0);
    EXPECT_STREQ(l.mod.name, "Header Song         ");
    EXPECT_EQ(l.mod.numChannels, 33);
    EXPECT_EQ(l.mod.songLength, 3);
    EXPECT_EQ(l.mod.restartPos, 1);
    EXPECT_EQ(l.mod.numPatterns, 2);
    EXPECT_EQ(l.mod.patternRows[1], 16);
    EXPECT_EQ(l.mod.linearFreq, 0);
    EXPECT_EQ(l.mod.initSpeed, 4);
    EXPECT_EQ(l.mod.initBpm, 140);
    EXPECT_EQ(l.mod.initGlobalVolume, 64);
    EXPECT_EQ(l.mod.formatId, 3);
    EXPECT_EQ(l.mod.orders[2], 1);
    EXPECT_EQ(l.mod.channels[32].voice.enabled, 1);
    EXPECT_EQ(l.mod.channels[32].defaultPanning, 128);
    EXPECT_EQ(l.cell(0, 5, 32).note, 255);
}

/* A song whose pattern 0 holds the cells of the translation tests. */
xmw::Song translationSong(bool packed)
{
    xmw::Song s = mpt::basicSong(8);
    s.packCells = packed;
    xmw::Pattern& p = s.patterns[0];
    p.at(0, 0) = {97, 0, 0, 0, 0};       /* key off */
    p.at(0, 1) = {1, 1, 0x40, 0, 0};     /* C-0, volume 48 */
    p.at(0, 2) = {13, 0, 0x50, 0, 0};    /* C-1, volume 64 */
    p.at(0, 3) = {96, 2, 0x65, 0, 0};    /* B-7, slide down 5 */
    p.at(0, 4) = {0, 0, 0x75, 0, 0};     /* slide up 5 */
    p.at(0, 5) = {0, 0, 0x51, 0, 0};     /* nothing */
    p.at(0, 6) = {0, 0, 0x8A, 0, 0};     /* fine down 10 */
    p.at(0, 7) = {0, 0, 0xC3, 0, 0};     /* panning 0x30 */
    p.at(1, 0) = {0, 0, 0, 0xD, 0x32};   /* D32: break to row 32 */
    p.at(2, 2) = {0, 0, 0, 0xB, 0x05};   /* B05 ... */
    p.at(2, 5) = {0, 0, 0, 0xD, 0x00};   /* ... and D00: position 5, row 0 */
    p.at(3, 0) = {0, 0, 0, 0xC, 0x50};
    p.at(3, 1) = {0, 0, 0, 0xC, 0x40};
    p.at(3, 2) = {0, 0, 0, 0xC, 0x3F};
    p.at(3, 3) = {0, 0, 0, 0xE, 0x00};   /* E00 */
    p.at(3, 4) = {0, 0, 0, 0xE, 0xF3};   /* EF3 */
    p.at(3, 5) = {0, 0, 0, 0xE, 0x32};   /* E32 glissando */
    p.at(3, 6) = {0, 0, 0, 0xE, 0x15};   /* E15 */
    p.at(3, 7) = {0, 0, 0, 0x12, 0x44};  /* I44: nothing */
    p.at(4, 3) = {0, 0, 0, 0xE, 0x62};   /* E62: loop, stays in the channel */
    p.at(5, 3) = {0, 0, 0, 0xE, 0xE3};   /* EE3: delay, stays in the channel */
    p.at(6, 0) = {0, 0, 0, 0x1, 0x20};
    p.at(6, 1) = {0, 0, 0, 0x3, 0x20};
    p.at(6, 2) = {0, 0, 0, 0x0, 0x37};
    p.at(6, 3) = {0, 0, 0, 0x0, 0x00};
    p.at(6, 4) = {0, 0, 0, 0xF, 0x7D};
    p.at(6, 5) = {0, 0, 0, 0x10, 0x30};
    p.at(6, 6) = {0, 0, 0, 0x11, 0x01};
    p.at(6, 7) = {0, 0, 0, 0x19, 0x10};
    /* the effects and volume column effects of the later trackers */
    p.at(7, 0) = {0, 0, 0xA3, 0x14, 0x05}; /* vibrato speed 3; K05 */
    p.at(7, 1) = {0, 0, 0xB4, 0x15, 0x10}; /* vibrato depth 4; L10 */
    p.at(7, 2) = {0, 0, 0xF2, 0x1B, 0x3A}; /* tone portamento 2; R3A */
    p.at(7, 3) = {0, 0, 0, 0x1D, 0x21};    /* T21 */
    p.at(7, 4) = {0, 0, 0, 0x21, 0x15};    /* X15 */
    p.at(7, 5) = {0, 0, 0, 0x21, 0x25};    /* X25 */
    p.at(7, 6) = {0, 0, 0, 0x21, 0x35};    /* X35: nothing */
    p.at(7, 7) = {0, 0, 0, 0xE, 0x53};     /* E53 */
    p.at(8, 0) = {0, 0, 0, 0x5, 0x12};
    p.at(8, 1) = {0, 0, 0, 0x6, 0x12};
    return s;
}

TEST(XmLoader, TranslatesNotesVolumeColumnAndEffects)
{
    for (bool packed : {true, false}) {
        Loaded l(xmw::write(translationSong(packed)));
        ASSERT_EQ(l.result, 0);
        int spare = 8;
        EXPECT_EQ(l.cell(0, 0, 0).note, 254);
        EXPECT_EQ(l.cell(0, 0, 1).note, 0x00);
        EXPECT_EQ(l.cell(0, 0, 1).volume, 48);
        EXPECT_EQ(l.cell(0, 0, 1).instrument, 1);
        EXPECT_EQ(l.cell(0, 0, 2).note, 0x10);
        EXPECT_EQ(l.cell(0, 0, 2).volume, 64);
        EXPECT_EQ(l.cell(0, 0, 3).note, 0x7B);
        EXPECT_EQ(l.cell(0, 0, 3).volume, 255);
        EXPECT_EQ(l.cell(0, 0, 3).effect[0], 36);
        EXPECT_EQ(l.cell(0, 0, 3).effectOp[0], 5);
        EXPECT_EQ(l.cell(0, 0, 4).effectOp[0], 0x50);
        EXPECT_EQ(l.cell(0, 0, 5).volume, 255);
        EXPECT_EQ(l.cell(0, 0, 5).effect[0], 0);
        EXPECT_EQ(l.cell(0, 0, 6).effect[0], 24);
        EXPECT_EQ(l.cell(0, 0, 7).effect[0], 9);
        EXPECT_EQ(l.cell(0, 0, 7).effectOp[0], 0x30);
        /* an empty cell */
        const MODFILE_CELL& e = l.cell(0, 10, 3);
        EXPECT_EQ(e.instrument, 0);
        EXPECT_EQ(e.note, 255);
        EXPECT_EQ(e.volume, 255);
        EXPECT_EQ(e.effect[0] | e.effect[1] | e.effectOp[0] | e.effectOp[1], 0);
        /* global effects */
        EXPECT_EQ(l.cell(0, 1, 0).effect[1], 0);
        EXPECT_EQ(l.cell(0, 1, spare).effect[0], 14);
        EXPECT_EQ(l.cell(0, 1, spare).effectOp[0], 32);
        EXPECT_EQ(l.cell(0, 2, spare).effect[0], MODFX_JUMP_TO_ROW);
        EXPECT_EQ(l.cell(0, 2, spare).effectOp[0], 5);
        EXPECT_EQ(l.cell(0, 2, spare).effectOp[1], 0);
        EXPECT_EQ(l.cell(0, 4, 3).effect[1], MODFX_PATTERN_LOOP);
        EXPECT_EQ(l.cell(0, 4, 3).effectOp[1], 2);
        EXPECT_EQ(l.cell(0, 5, 3).effect[1], MODFX_PATTERN_DELAY);
        EXPECT_EQ(l.cell(0, 5, 3).effectOp[1], 3);
        EXPECT_EQ(l.cell(0, 4, spare).effect[0] | l.cell(0, 5, spare).effect[0], 0);
        /* set volume, extended effects */
        EXPECT_EQ(l.cell(0, 3, 0).effectOp[1], 64);
        EXPECT_EQ(l.cell(0, 3, 1).effectOp[1], 64);
        EXPECT_EQ(l.cell(0, 3, 2).effectOp[1], 63);
        EXPECT_EQ(l.cell(0, 3, 2).effect[1], 13);
        EXPECT_EQ(l.cell(0, 3, 3).effect[1], 0);
        EXPECT_EQ(l.cell(0, 3, 4).effect[1], 0);
        EXPECT_EQ(l.cell(0, 3, 5).effect[1], 0);
        EXPECT_EQ(l.cell(0, 3, 6).effect[1], 15);
        EXPECT_EQ(l.cell(0, 3, 6).effectOp[1], 5);
        EXPECT_EQ(l.cell(0, 3, 7).effect[1], 0);
        EXPECT_EQ(l.cell(0, 3, 7).effectOp[1], 0x44);
        const int want[8] = {31, 4, 1, 0, 29, 33, 34, 35};
        for (int c = 0; c < 8; c++)
            EXPECT_EQ(l.cell(0, 6, c).effect[1], want[c]) << c;
        const int volumeColumn[3][2] = {{MODFX_XM_VOL_VIBRATO_SPEED, 3}, {MODFX_XM_VOL_VIBRATO, 4},
                                        {MODFX_XM_VOL_TONE_PORTA, 2}};
        const int column[8][2] = {{MODFX_XM_KEY_OFF, 5},          {MODFX_XM_ENV_POSITION, 0x10},
                                  {MODFX_XM_MULTI_RETRIG, 0x3A},  {MODFX_XM_TREMOR, 0x21},
                                  {MODFX_XM_XFINE_PORTA_UP, 5},   {MODFX_XM_XFINE_PORTA_DOWN, 5},
                                  {MODFX_NONE, 5},                {MODFX_XM_SET_FINETUNE, 3}};
        for (int c = 0; c < 8; c++) {
            if (c < 3) {
                EXPECT_EQ(l.cell(0, 7, c).effect[0], volumeColumn[c][0]) << c;
                EXPECT_EQ(l.cell(0, 7, c).effectOp[0], volumeColumn[c][1]) << c;
            }
            EXPECT_EQ(l.cell(0, 7, c).effect[1], column[c][0]) << c;
            EXPECT_EQ(l.cell(0, 7, c).effectOp[1], column[c][1]) << c;
        }
        EXPECT_EQ(l.cell(0, 8, 0).effect[1], MODFX_XM_TONE_PORTA_VOLSLIDE);
        EXPECT_EQ(l.cell(0, 8, 1).effect[1], MODFX_XM_VIBRATO_VOLSLIDE);
    }
}

TEST(XmLoader, ConvertXMEffectsIgnoresNullOutputs)
{
    uint16_t e = 7;
    uint8_t op = 7;
    convertXMEffects(nullptr, 0, 0, 0xB, 3, nullptr, &op);
    convertXMEffects(nullptr, 0, 0, 0xB, 3, &e, nullptr);
    EXPECT_EQ(e, 7);
    convertXMEffects(nullptr, 0, 0, 0xA, 3, &e, &op); /* no record: the cell only */
    EXPECT_EQ(e, 36);
    EXPECT_EQ(op, 3);
}

TEST(XmLoader, SamplesLoopsDeltasAndFinetunes)
{
    xmw::Song s = mpt::basicSong();
    xmw::Instrument ins;
    ins.name = "many";
    xmw::Sample a = xmw::rampSample(500, true); /* 1000 bytes */
    a.loop = xmw::LOOP_PINGPONG;
    a.loopStart = 100;
    a.loopLength = 200;
    a.finetune = -128;
    a.volume = 80; /* above 64: clamped */
    a.panning = 255;
    a.relativeNote = -12;
    xmw::Sample b = xmw::rampSample(10, false);
    b.finetune = 127;
    xmw::Sample c; /* empty */
    xmw::Sample d;
    d.data = {1, 2, 3, 0};
    d.loop = xmw::LOOP_FORWARD; /* loop length 0: no loop */
    ins.samples = {a, b, c, d};
    for (int n = 0; n < 96; n++)
        ins.noteSample[n] = (uint8_t)(n % 4);
    ins.noteSample[95] = 9; /* no such sample */
    s.instruments.push_back(ins);
    s.instruments.push_back(xmw::Instrument{}); /* no samples */
    Loaded l(xmw::write(s));
    ASSERT_EQ(l.result, 0);
    ASSERT_EQ(l.mod.numInstruments, 3);
    ASSERT_EQ(l.mod.numSamples, 5);
    const MODFILE_SAMPLE& sa = l.mod.samples[1];
    EXPECT_EQ(sa.length, 500);
    EXPECT_EQ(sa.loopStart, 100);
    EXPECT_EQ(sa.loopEnd, 300);
    EXPECT_EQ(sa.loop, 1);
    EXPECT_EQ(sa.pingPong, 1);
    EXPECT_EQ(sa.is16Bit, 1);
    EXPECT_EQ(sa.c4Rate, 7893);
    EXPECT_EQ(sa.initC4Rate, 7893);
    EXPECT_EQ(sa.volume, 64);
    EXPECT_EQ(sa.panning, 63);
    EXPECT_EQ(sa.relativeNote, -12);
    EXPECT_EQ(((int16_t*)sa.data)[499], 499);
    EXPECT_EQ(((int16_t*)sa.data)[500], 0); /* the guard frame */
    const MODFILE_SAMPLE& sb = l.mod.samples[2];
    EXPECT_EQ(sb.c4Rate, 8856);
    EXPECT_EQ(sb.loopStart, 9);
    EXPECT_EQ(sb.loopEnd, 9);
    EXPECT_EQ(sb.loop, 0);
    const MODFILE_SAMPLE& sc = l.mod.samples[3];
    EXPECT_EQ(sc.length, 0);
    EXPECT_EQ(sc.loopStart, -1);
    EXPECT_EQ(sc.loopEnd, -1);
    EXPECT_EQ(sc.data, nullptr);
    const MODFILE_SAMPLE& sd = l.mod.samples[4];
    const int8_t* dd = (const int8_t*)sd.data;
    EXPECT_EQ((std::vector<int>{dd[0], dd[1], dd[2], dd[3]}), (std::vector<int>{1, 2, 3, 0}));
    EXPECT_EQ(sd.loop, 0);
    EXPECT_EQ(l.mod.samples[0].c4Rate, 8363);
    const MODFILE_INSTRUMENT& in = l.mod.instruments[1];
    EXPECT_STREQ(in.name, "many");
    EXPECT_EQ(in.noteSample[0x00], &l.mod.samples[1]);
    EXPECT_EQ(in.noteSample[0x01], &l.mod.samples[2]);
    EXPECT_EQ(in.noteSample[0x7A], &l.mod.samples[3]);
    EXPECT_EQ(in.noteSample[0x7B], nullptr);
    EXPECT_EQ(in.noteSample[0x0C], nullptr); /* not a note */
    EXPECT_EQ(in.noteMap[0x33], 0x33);
    const MODFILE_INSTRUMENT& none = l.mod.instruments[2];
    for (int m = 0; m < 256; m++)
        ASSERT_EQ(none.noteSample[m], nullptr);
    EXPECT_EQ(none.volEnvelope.enabled, 0);
    EXPECT_EQ(none.panEnvelope.enabled, 0);
}

TEST(XmLoader, EnvelopesAreCopiedAndTheirPointsChecked)
{
    xmw::Song s = mpt::basicSong();
    xmw::Instrument& ins = s.instruments[0];
    ins.fadeout = 0x0123;
    ins.volume.on = true;
    ins.volume.points = {{0, 64}, {10, 80}, {5, 20}, {30, 0}};
    ins.volume.sustain = 1;
    ins.volume.loopStart = 1;
    ins.volume.loopEnd = 3;
    ins.panning.on = false;
    ins.panning.points = {{0, 32}, {4, 0}};
    std::vector<uint8_t> img = xmw::write(s);
    Loaded l(img);
    ASSERT_EQ(l.result, 0);
    const MODFILE_ENVELOPE& v = l.mod.instruments[0].volEnvelope;
    EXPECT_EQ(l.mod.instruments[0].fadeout, 0x0123);
    ASSERT_EQ(v.enabled, 1);
    ASSERT_EQ(v.numPoints, 4);
    EXPECT_EQ(v.sustain, 1);
    EXPECT_EQ(v.loopStart, 1);
    EXPECT_EQ(v.loopEnd, 3);
    EXPECT_EQ(v.points[1].value, 64); /* 80 clamped */
    EXPECT_EQ(v.points[2].tick, 10);  /* ticks never go back */
    EXPECT_EQ(v.points[3].tick, 30);
    EXPECT_EQ(l.mod.instruments[0].panEnvelope.enabled, 0);
    EXPECT_EQ(l.mod.instruments[0].panEnvelope.sustain, 255);

    /* a point count above 12 keeps 12 points (the instrument header ends 40
     * sample-header bytes and 2000 data bytes before the end) */
    size_t insAt = img.size() - 2000 - 40 - 263;
    ASSERT_EQ(img[insAt + 225], 4);
    img[insAt + 225] = 20;
    Loaded m(img);
    ASSERT_EQ(m.result, 0);
    ASSERT_EQ(m.mod.instruments[0].volEnvelope.numPoints, 12);
    EXPECT_EQ(m.mod.instruments[0].volEnvelope.points[11].tick, 30);
    EXPECT_EQ(m.mod.instruments[0].volEnvelope.points[11].value, 0);
}

TEST(XmLoader, RefusesWhatItCannotPlayAndLeavesTheRecordAlone)
{
    std::vector<uint8_t> good = xmw::write(mpt::basicSong());
    auto refused = [&](const std::vector<uint8_t>& img) {
        MODFILE mod;
        MODFILE_Init(&mod);
        mod.musicVolume = 33;
        MODFILE copy = mod;
        int r = MODFILE_SetXM((const char*)img.data(), (int)img.size(), &mod);
        bool same = memcmp(&copy, &mod, sizeof mod) == 0;
        if (r >= 0)
            MODFILE_ReleaseSong(&mod);
        return r == -1 && same;
    };
    auto patched = [&](size_t at, unsigned v16) {
        std::vector<uint8_t> b = good;
        ts::set16le(b, at, v16);
        return b;
    };
    EXPECT_TRUE(refused(patched(60, 19)));     /* header size too small */
    EXPECT_TRUE(refused(patched(62, 1)));      /* header size past the file */
    EXPECT_TRUE(refused(patched(68, 0)));      /* no channels */
    EXPECT_TRUE(refused(patched(68, 33)));     /* too many channels */
    EXPECT_TRUE(refused(patched(70, 257)));    /* too many patterns */
    EXPECT_TRUE(refused(patched(72, 129)));    /* too many instruments */
    EXPECT_TRUE(refused(patched(64, 0)));      /* an empty order list */
    EXPECT_TRUE(refused(patched(PATTERN0 + 5, 257))); /* rows */
    std::vector<uint8_t> markers = good;
    markers[80] = 254;
    EXPECT_TRUE(refused(markers)); /* no playable order entry */
    /* an instrument claiming 17 samples */
    xmw::Song one = mpt::basicSong();
    one.patterns[0] = xmw::Pattern(1, 1);
    std::vector<uint8_t> img = xmw::write(one);
    size_t ins = PATTERN0 + 9 + 1;
    ASSERT_EQ(img[ins], 7); /* the instrument header size, 263 */
    ts::set16le(img, ins + 27, 17);
    EXPECT_TRUE(refused(img));
    EXPECT_FALSE(refused(good));
}

TEST(XmLoader, OddButPlayableValues)
{
    xmw::Song s = mpt::basicSong();
    s.speed = 0;
    s.tempo = 20;
    s.orders = {0, 7}; /* pattern 7 does not exist: an empty one plays */
    s.addPattern(0);   /* 0 rows: 64 empty rows */
    s.orders.push_back(1);
    s.orders.resize(300, 0); /* more than 256 entries: 256 */
    Loaded l(xmw::write(s));
    ASSERT_EQ(l.result, 0);
    EXPECT_EQ(l.mod.initSpeed, 6);
    EXPECT_EQ(l.mod.initBpm, 125);
    EXPECT_EQ(l.mod.songLength, 256);
    EXPECT_EQ(l.mod.numPatterns, 3);
    EXPECT_EQ(l.mod.orders[1], 2);
    EXPECT_EQ(l.mod.patternRows[1], 64);
    EXPECT_EQ(l.mod.patternRows[2], 64);
}

TEST(XmLoader, PatternDataCutByItsSizeOrTheFileLeavesTheRestEmpty)
{
    xmw::Song s = mpt::basicSong(2);
    s.instruments.clear();
    for (int r = 0; r < 64; r++)
        s.patterns[0].at(r, 0) = {49, 1, 0, 0xA, 0x01};
    std::vector<uint8_t> img = xmw::write(s);
    /* each cell is mask, note, instrument, effect, param + an empty 0x80 */
    std::vector<uint8_t> cut = img;
    ts::set16le(cut, PATTERN0 + 7, 6 * 3 + 2); /* three rows and a bit */
    Loaded a(cut);
    ASSERT_EQ(a.result, 0);
    EXPECT_EQ(a.cell(0, 2, 0).note, 0x40);
    EXPECT_EQ(a.cell(0, 3, 0).note, 255);
    EXPECT_EQ(a.cell(0, 63, 0).note, 255);

    /* a file that ends inside the pattern data: 16 channels of 6-byte cells */
    xmw::Song wide = mpt::basicSong(16);
    wide.instruments.clear();
    for (int r = 0; r < 64; r++)
        for (int c = 0; c < 16; c++)
            wide.patterns[0].at(r, c) = {49, 1, 0x20, 0xA, 0x01};
    std::vector<uint8_t> full = xmw::write(wide);
    std::vector<uint8_t> shortFile(full.begin(), full.begin() + 2000);
    Loaded b(shortFile);
    ASSERT_EQ(b.result, 0);
    EXPECT_EQ(b.cell(0, 16, 15).note, 0x40); /* (2000 - 345) / 96 rows are there */
    EXPECT_EQ(b.cell(0, 18, 0).note, 255);
    EXPECT_EQ(b.cell(0, 63, 15).note, 255);
}

TEST(XmLoader, SampleDataPastTheEndIsCutAndLoopsClamped)
{
    xmw::Song s = mpt::basicSong();
    s.patterns[0] = xmw::Pattern(1, 1);
    std::vector<uint8_t> img = xmw::write(s);
    /* keep 1500 of the 2000 data bytes: the loop 1000..2000 ends past the data */
    img.resize(img.size() - 500);
    Loaded l(img);
    ASSERT_EQ(l.result, 0);
    const MODFILE_SAMPLE& smp = l.mod.samples[0];
    EXPECT_EQ(smp.length, 1500);
    EXPECT_EQ(smp.loopStart, 1000);
    EXPECT_EQ(smp.loopEnd, 1500);
    img.resize(img.size() - 600); /* now the loop starts past the data: no loop */
    Loaded m(img);
    ASSERT_EQ(m.result, 0);
    EXPECT_EQ(m.mod.samples[0].length, 900);
    EXPECT_EQ(m.mod.samples[0].loop, 0);
    EXPECT_EQ(m.mod.samples[0].loopEnd, 899);
}

/* A song that uses a bit of everything, for the damage tests. */
xmw::Song richSong()
{
    xmw::Song s = translationSong(true);
    s.addPattern(8);
    s.orders = {0, 1, 0};
    xmw::Instrument ins;
    ins.samples = {xmw::squareSample(300, 20, 20000, true), xmw::rampSample(200, false)};
    ins.samples[0].loop = xmw::LOOP_PINGPONG;
    ins.samples[0].loopStart = 50;
    ins.samples[0].loopLength = 100;
    for (int n = 0; n < 96; n++)
        ins.noteSample[n] = (uint8_t)(n & 1);
    ins.volume.on = true;
    ins.volume.points = {{0, 64}, {3, 10}, {9, 40}};
    ins.volume.loopStart = 0;
    ins.volume.loopEnd = 2;
    ins.panning.on = true;
    ins.panning.points = {{0, 0}, {5, 64}};
    ins.fadeout = 300;
    s.instruments.push_back(ins);
    for (int r = 8; r < 64; r += 3)
        s.patterns[0].at(r, r % 8) = {(uint8_t)(1 + r), (uint8_t)(1 + r % 2), 0x30, (uint8_t)(r % 16), (uint8_t)r};
    return s;
}

/* Loads the image and, when it loads, plays a little of it. */
void loadAndPlay(const std::vector<uint8_t>& img)
{
    MODFILE mod;
    MODFILE_Init(&mod);
    if (MODFILE_Set((const char*)img.data(), (int)img.size(), &mod) != 0)
        return;
    mod.musicVolume = 64;
    MODFILE_Start(&mod);
    MODFILE_SetFormat(&mod, 22050, 2, 16, 1);
    std::vector<int16_t> out(4096 * 2);
    mod.outBuffer = out.data();
    mod.outBytes = (int)out.size() * 2;
    for (int i = 0; i < 6; i++)
        MODFILE_Player(&mod);
    MODFILE_Stop(&mod);
    MODFILE_Free(&mod);
}

TEST(XmLoader, DamagedFilesNeverReadOrWriteOutside)
{
    std::vector<uint8_t> img = xmw::write(richSong());
    /* every length from the minimum up */
    for (size_t n = 1024; n < img.size(); n += 13)
        loadAndPlay(std::vector<uint8_t>(img.begin(), img.begin() + (long)n));
    /* random bytes changed anywhere past the tag */
    std::mt19937 rng(1234);
    for (int round = 0; round < 300; round++) {
        std::vector<uint8_t> b = img;
        int changes = 1 + (int)(rng() % 8);
        for (int k = 0; k < changes; k++)
            b[38 + rng() % (b.size() - 38)] = (uint8_t)rng();
        loadAndPlay(b);
    }
}

} // namespace
