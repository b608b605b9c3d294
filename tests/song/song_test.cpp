/* The soundtrack as the demo plays it: its bytes, what it uses of the
 * format, its timing against the demo's running order, its length, its
 * ending and its level, and an independent player's view of it. */
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "demo/demo.h"
#include "modplay/modplay.h"
#include "tests/support/test_support.h"
#include "tools/song/arrangement.h"
#include "tools/song/instruments.h"
#include "tools/song/song.h"

namespace {

const int RATE = 22050;

/* One pass of the song rendered by the engine's player as the demo sets it
 * up (musicVolume 64, Start, then 22050 Hz stereo 16-bit signed), a tick at
 * a time, with the output frame at which each row starts. */
struct Row {
    int pos, row;
    long long frame;
};

struct Render {
    std::vector<uint8_t> image;
    std::vector<int16_t> pcm; /* interleaved left, right */
    std::vector<Row> rows;
    long long frames = 0;
    bool loaded = false;
};

const Render& render()
{
    static Render r;
    static bool done = false;
    if (done)
        return r;
    done = true;
    r.image = song_build();
    static MODFILE mod;
    MODFILE_Init(&mod);
    if (MODFILE_Set((const char*)r.image.data(), (int)r.image.size(), &mod) != 0)
        return r;
    r.loaded = true;
    mod.musicVolume = 64;
    mod.sfxVolume = 64;
    MODFILE_Start(&mod);
    MODFILE_SetFormat(&mod, RATE, 2, 16, 1);
    std::set<std::pair<int, int>> seen;
    std::vector<int16_t> tick;
    /* the pass ends where a row already played would start again outside
     * a pattern loop */
    while (r.frames < 10LL * 60 * RATE) {
        int n = mod.samplesPerTick - mod.tickPos;
        bool rowEnds = mod.tick + 1 >= mod.speed + mod.patternDelay;
        int pos = mod.songPos, row = mod.row;
        bool last = rowEnds && seen.count({pos, row}) && mod.loopCount == 0;
        tick.assign((size_t)n * 2, 0);
        mod.outBuffer = tick.data();
        mod.outBytes = n * 4;
        MODFILE_Player(&mod);
        r.pcm.insert(r.pcm.end(), tick.begin(), tick.end());
        r.frames += n;
        if (last)
            break;
        if (rowEnds) {
            seen.insert({pos, row});
            r.rows.push_back({pos, row, r.frames});
        }
    }
    MODFILE_Stop(&mod);
    MODFILE_Free(&mod);
    return r;
}

double ms(long long frame)
{
    return frame * 1000.0 / RATE;
}

/* The running order's changes: t where demo_timeline picks another scene
 * (scene) or another row of its table (any). */
std::vector<unsigned> cuts(bool scenesOnly)
{
    std::vector<unsigned> out;
    DemoCall prev;
    demo_timeline(0, &prev);
    for (unsigned t = 1; t <= DEMO_LENGTH_MS; t++) {
        DemoCall c;
        demo_timeline(t, &c);
        if (c.scene != prev.scene || (!scenesOnly && c.row != prev.row))
            out.push_back(t);
        prev = c;
    }
    return out;
}

/* Signed distance in ms from a cut to the nearest start of a beat (a row
 * whose number in its pattern is a multiple of 4). */
double beatError(const Render& r, unsigned t)
{
    double best = 1e9;
    for (const Row& row : r.rows)
        if (row.row % 4 == 0) {
            double e = ms(row.frame) - t;
            if (fabs(e) < fabs(best))
                best = e;
        }
    return best;
}

/* The robots' stretch of the running order, which leaves the beat grid. */
bool inRobotSection(unsigned t)
{
    return t > 56000 && t < 83777;
}

TEST(Song, TheSameBytesEveryTimeAndUnderOneMebibyte)
{
    std::vector<uint8_t> a = song_build();
    std::vector<uint8_t> b = song_build();
    EXPECT_EQ(a, b);
    EXPECT_LT(a.size(), 1u << 20);
    std::string dir = ts::makeTempDir("song");
    ASSERT_EQ(song_write(dir + "/funkyloo.xm"), 0);
    EXPECT_EQ(ts::readFile(dir + "/funkyloo.xm"), a);
    EXPECT_EQ(song_write(dir + "/no/such/dir/funkyloo.xm"), -1);
    ts::removeTree(dir);
}

TEST(Song, EverySceneCutFallsOnABeat)
{
    const Render& r = render();
    ASSERT_TRUE(r.loaded);
    std::vector<unsigned> c = cuts(true);
    ASSERT_GE(c.size(), 12u);
    int onGrid = 0;
    for (unsigned t : c) {
        double e = beatError(r, t);
        printf("scene cut at %6u ms: nearest beat %+7.1f ms%s\n", t, e, inRobotSection(t) ? " (robots)" : "");
        if (!inRobotSection(t)) {
            EXPECT_LE(fabs(e), 60.0) << "cut at " << t << " ms";
            onGrid++;
        }
    }
    EXPECT_EQ(onGrid, 7);
}

TEST(Song, TheRobotSectionFollowsItsOwnCuts)
{
    const Render& r = render();
    ASSERT_TRUE(r.loaded);
    int n = 0;
    for (unsigned t : cuts(true))
        if (inRobotSection(t)) {
            EXPECT_LE(fabs(beatError(r, t)), 60.0) << "cut at " << t << " ms";
            n++;
        }
    EXPECT_GE(n, 4);
}

TEST(Song, CaptionChangesFallOnBeatsToo)
{
    const Render& r = render();
    ASSERT_TRUE(r.loaded);
    for (unsigned t : cuts(false)) {
        double e = beatError(r, t);
        printf("timeline row at %6u ms: nearest beat %+7.1f ms\n", t, e);
        EXPECT_LE(fabs(e), 60.0) << "change at " << t << " ms";
    }
}

TEST(Song, ThePlayerPlaysTheRowsWhenTheArrangementPlannedThem)
{
    const Render& r = render();
    ASSERT_TRUE(r.loaded);
    std::vector<arrangement::PlayedRow> plan = arrangement::play(arrangement::build(instruments::build()));
    ASSERT_EQ(plan.size(), r.rows.size());
    for (size_t i = 0; i < plan.size(); i++) {
        ASSERT_EQ(plan[i].order, r.rows[i].pos) << i;
        ASSERT_EQ(plan[i].row, r.rows[i].row) << i;
        ASSERT_EQ(plan[i].frame, r.rows[i].frame) << i;
    }
    long long end = plan.back().frame + (long long)plan.back().ticks * (RATE * 5 / (plan.back().tempo * 2));
    EXPECT_EQ(end, r.frames);
}

TEST(Song, TempoStaysNearTheGrid)
{
    /* on the grid the tempo keeps to 94..96 at speed 6 and never jumps by
     * more than 2 from a row to the next; the robots' stretch takes what its
     * cuts need */
    std::vector<arrangement::PlayedRow> plan = arrangement::play(arrangement::build(instruments::build()));
    for (size_t i = 0; i < plan.size(); i++) {
        const arrangement::PlayedRow& p = plan[i];
        EXPECT_EQ(p.ticks % 6, 0);
        bool robots = p.beat >= 89 && p.beat < 133;
        EXPECT_GE(p.tempo, robots ? 92 : 94) << "row " << i;
        EXPECT_LE(p.tempo, robots ? 98 : 96) << "row " << i;
        if (i > 0 && !robots && !(plan[i - 1].beat >= 89 && plan[i - 1].beat < 133)) {
            EXPECT_LE(abs(p.tempo - plan[i - 1].tempo), 2) << "row " << i;
        }
    }
}

TEST(Song, OnePassOutlastsTheDemoAndEndsInSilence)
{
    const Render& r = render();
    ASSERT_TRUE(r.loaded);
    double length = ms(r.frames);
    printf("one pass: %.0f ms\n", length);
    EXPECT_GE(length, 146000.0);
    EXPECT_LT(length, 150000.0);
    /* the last sound: a final chord ringing out near the demo's end */
    long long last = 0;
    for (size_t i = 0; i < r.pcm.size(); i++)
        if (abs(r.pcm[i]) > 32)
            last = (long long)(i / 2);
    printf("last sound at %.0f ms\n", ms(last));
    EXPECT_GT(ms(last), 143500.0);
    EXPECT_LT(ms(last), 146000.0);
    auto rms = [&](double fromMs, double toMs) {
        double e = 0;
        size_t a = (size_t)(fromMs * RATE / 1000) * 2, b = (size_t)(toMs * RATE / 1000) * 2;
        for (size_t i = a; i < b; i++)
            e += (double)r.pcm[i] * r.pcm[i];
        return sqrt(e / (double)(b - a));
    };
    double chord = rms(141900, 142900), middle = rms(90000, 100000);
    EXPECT_GT(chord, middle * 0.3) << "the final chord is heard";
    EXPECT_GT(middle, 1500.0);
}

TEST(Song, RarelyClipsAtTheDemosVolume)
{
    const Render& r = render();
    ASSERT_TRUE(r.loaded);
    long long clipped = 0;
    for (int16_t v : r.pcm)
        clipped += v == 32767 || v == -32768;
    printf("clipped samples: %lld of %zu\n", clipped, r.pcm.size());
    EXPECT_LT(clipped * 10000, (long long)r.pcm.size());
}

/* ---- What the file holds -------------------------------------------------------- */

struct Scan {
    std::set<int> effects;    /* XM effect types with a meaningful parameter */
    std::set<int> extended;   /* E sub-commands */
    std::set<int> volumeKind; /* volume column high nibble: 1..5 set, 6.. others */
    bool keyOff = false;
    int channels = 0, patterns = 0;
};

uint32_t le(const std::vector<uint8_t>& b, size_t at, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; i--)
        v = v << 8 | (at + (size_t)i < b.size() ? b[at + (size_t)i] : 0);
    return v;
}

/* Reads the pattern data of an XM image straight from its bytes. */
Scan scan(const std::vector<uint8_t>& b)
{
    Scan s;
    s.channels = (int)le(b, 68, 2);
    s.patterns = (int)le(b, 70, 2);
    size_t at = 60 + le(b, 60, 4);
    for (int p = 0; p < s.patterns && at < b.size(); p++) {
        size_t headerLen = le(b, at, 4);
        int rows = (int)le(b, at + 5, 2);
        size_t packed = le(b, at + 7, 2);
        size_t q = at + headerLen, end = q + packed;
        for (int cell = 0; cell < rows * s.channels && q < end; cell++) {
            int note = 0, vol = 0, fx = 0, param = 0;
            uint8_t first = b[q++];
            int mask = first & 0x80 ? first : 0x1F;
            if (!(first & 0x80))
                note = first;
            else if (mask & 1)
                note = b[q++];
            if (mask & 2)
                q++;
            if (mask & 4)
                vol = b[q++];
            if (mask & 8)
                fx = b[q++];
            if (mask & 16)
                param = b[q++];
            s.keyOff = s.keyOff || note == 97;
            if (vol >= 0x10)
                s.volumeKind.insert(vol <= 0x50 ? 1 : vol >> 4);
            if (fx == 0xE)
                s.extended.insert(param >> 4);
            else if (fx != 0 || param != 0)
                s.effects.insert(fx);
        }
        at = end;
    }
    return s;
}

TEST(Song, UsesEveryEffectThePlayerTranslates)
{
    Scan s = scan(song_build());
    EXPECT_EQ(s.channels, 19);
    for (int fx : {0x0, 0x1, 0x2, 0x3, 0x4, 0x5, 0x6, 0x7, 0x8, 0x9, 0xA, 0xB, 0xC, 0xD, 0xE, 0xF, 0x10, 0x11, 0x19}) {
        if (fx == 0xE)
            EXPECT_FALSE(s.extended.empty());
        else
            EXPECT_TRUE(s.effects.count(fx)) << "effect " << std::hex << fx;
    }
    for (int x : {0x1, 0x2, 0x4, 0x5, 0x6, 0x7, 0x8, 0x9, 0xA, 0xB, 0xC, 0xD, 0xE})
        EXPECT_TRUE(s.extended.count(x)) << "E" << std::hex << x;
    /* volume column: set, slide down and up, fine down and up, panning,
     * panning slides left and right */
    for (int k : {1, 6, 7, 8, 9, 0xC, 0xD, 0xE})
        EXPECT_TRUE(s.volumeKind.count(k)) << "volume column " << std::hex << k;
    EXPECT_TRUE(s.keyOff);
}

TEST(Song, InstrumentsUseEveryKindOfSampleLoopAndEnvelope)
{
    std::vector<uint8_t> img = song_build();
    MODFILE mod;
    MODFILE_Init(&mod);
    ASSERT_EQ(MODFILE_Set((const char*)img.data(), (int)img.size(), &mod), 0);
    EXPECT_EQ(mod.linearFreq, 1);
    bool bits8 = false, bits16 = false, forward = false, pingPong = false, relative = false, finetune = false;
    for (int i = 0; i < mod.numSamples; i++) {
        const MODFILE_SAMPLE& s = mod.samples[i];
        (s.is16Bit ? bits16 : bits8) = true;
        forward = forward || (s.loop && !s.pingPong);
        pingPong = pingPong || (s.loop && s.pingPong);
        relative = relative || s.relativeNote != 0;
        finetune = finetune || s.finetune != 0;
    }
    bool sustain = false, loop = false, panning = false, fadeout = false, multi = false;
    for (int i = 0; i < mod.numInstruments; i++) {
        const MODFILE_INSTRUMENT& ins = mod.instruments[i];
        sustain = sustain || (ins.volEnvelope.enabled && ins.volEnvelope.sustain != 255);
        loop = loop || (ins.volEnvelope.enabled && ins.volEnvelope.loopStart != 255);
        panning = panning || ins.panEnvelope.enabled;
        fadeout = fadeout || ins.fadeout > 0;
        std::set<const MODFILE_SAMPLE*> used;
        for (int n = 0; n < 256; n++)
            if (ins.noteSample[n])
                used.insert(ins.noteSample[n]);
        multi = multi || used.size() > 1;
    }
    EXPECT_TRUE(bits8);
    EXPECT_TRUE(bits16);
    EXPECT_TRUE(forward);
    EXPECT_TRUE(pingPong);
    EXPECT_TRUE(relative);
    EXPECT_TRUE(finetune);
    EXPECT_TRUE(sustain);
    EXPECT_TRUE(loop);
    EXPECT_TRUE(panning);
    EXPECT_TRUE(fadeout);
    EXPECT_TRUE(multi);
    MODFILE_Free(&mod);
}

/* ---- An independent player ------------------------------------------------------- */

TEST(Song, OpenMPTAgreesOnTheLength)
{
    if (ts::run("command -v openmpt123").empty())
        GTEST_SKIP() << "openmpt123 is not installed (scripts/install-deps installs it)";
    std::string dir = ts::makeTempDir("song");
    std::string path = dir + "/funkyloo.xm";
    ASSERT_EQ(song_write(path), 0);
    std::string ref = ts::run("openmpt123 --info '" + path + "' 2>&1");
    size_t d = ref.find("Duration...: ");
    ASSERT_NE(d, std::string::npos) << ref;
    int minutes = 0;
    double seconds = 0;
    ASSERT_EQ(sscanf(ref.c_str() + d + 13, "%d:%lf", &minutes, &seconds), 2);
    double theirs = minutes * 60 + seconds;
    std::string info = ts::run(std::string(ORVEL_MODPLAY_TOOL) + " '" + path + "' --info");
    size_t at = info.find("duration_ms: ");
    ASSERT_NE(at, std::string::npos) << info;
    double ours = atof(info.c_str() + at + 13) / 1000.0;
    printf("one pass: ours %.3f s, openmpt123 %.3f s\n", ours, theirs);
    EXPECT_GE(theirs, 146.0);
    EXPECT_NEAR(ours, theirs, theirs * 0.01);
    ts::removeTree(dir);
}

} // namespace
