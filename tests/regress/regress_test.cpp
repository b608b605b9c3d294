/* Regression tests of the loaders: one named test per fault that fuzzing
 * found, each loading the smallest input that showed it (committed under
 * inputs/<fuzzer>/, in that fuzzer's input layout, so the fuzzers' replay
 * runs it too) and checking the sound behaviour. The comment on each test
 * says what the input broke. */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "modplay/modplay.h"
#include "render3d/kv_3D.h"
#include "tests/support/test_support.h"
#include "tools/xmwriter/xmwriter.h"

namespace {

const std::string kInputs = ORVEL_REGRESS_INPUTS;

/* A loaded song, started at 22050 Hz stereo 16-bit; freed at the end. */
struct Song {
    MODFILE mod;
    std::vector<int16_t> out;
    int result = -1;

    explicit Song(const std::vector<uint8_t>& image)
    {
        MODFILE_Init(&mod);
        result = MODFILE_Set((const char*)image.data(), (int)image.size(), &mod);
        if (result < 0)
            return;
        mod.musicVolume = 64;
        MODFILE_Start(&mod);
        MODFILE_SetFormat(&mod, 22050, 2, 16, 1);
    }
    ~Song()
    {
        MODFILE_Stop(&mod);
        MODFILE_Free(&mod);
    }

    /* Plays `ticks` ticks one Player call each; "" when every channel kept
     * its envelope inside its points and its values in 0..64 after every
     * tick, else what broke first. */
    std::string playChecked(int ticks)
    {
        for (int t = 0; t < ticks; t++) {
            int frames = mod.samplesPerTick - mod.tickPos;
            out.assign((size_t)frames * 2, 0);
            mod.outBuffer = out.data();
            mod.outBytes = frames * 4;
            MODFILE_Player(&mod);
            for (int c = 0; c < mod.numChannels; c++) {
                const MODFILE_CHANNEL& ch = mod.channels[c];
                const MODFILE_ENVSTATE* states[2] = {&ch.volEnv, &ch.panEnv};
                for (const MODFILE_ENVSTATE* st : states)
                    if (st->env && st->env->enabled && st->point >= st->env->numPoints)
                        return "tick " + std::to_string(t) + ": envelope past its last point";
                if (ch.voice.envVolume > 64 || ch.voice.envPanning > 64)
                    return "tick " + std::to_string(t) + ": envelope value " + std::to_string(ch.voice.envVolume) +
                           "/" + std::to_string(ch.voice.envPanning);
            }
        }
        return "";
    }
};

/* Found by fuzz_xm. An instrument whose envelope points all lie after tick 0
 * made the player read past the point array (the points all on one tick:
 * it stepped from point to point with no time passing and ran off the end)
 * or reach back before the first point (a first segment from tick 100:
 * envelope values far outside 0..64, a volume up to 255). The loader now
 * puts the first point at tick 0, where every envelope starts. */
TEST(Regress, XmEnvelopeWhosePointsAllLieAfterTickZero)
{
    Song found(ts::readFile(kInputs + "/xm/envelope_points_all_after_tick_0.xm"));
    ASSERT_EQ(found.result, 0);
    EXPECT_EQ(found.playChecked(600), "");

    xmw::Song s;
    s.channels = 1;
    s.addPattern(64);
    xmw::Instrument ins;
    xmw::Sample smp = xmw::squareSample(1000, 20, 100, false);
    smp.loop = xmw::LOOP_FORWARD;
    smp.loopLength = 1000;
    ins.samples.push_back(smp);
    ins.volume.on = true;
    ins.volume.points = {{50, 64}, {50, 0}, {50, 32}, {50, 16}};
    ins.panning.on = true;
    ins.panning.points = {{100, 0}, {200, 64}};
    s.instruments.push_back(ins);
    s.patterns[0].at(0, 0).note = xmw::note("C-4");
    s.patterns[0].at(0, 0).instrument = 1;
    Song made(xmw::write(s));
    ASSERT_EQ(made.result, 0);
    const MODFILE_INSTRUMENT& loaded = made.mod.instruments[0];
    EXPECT_EQ(loaded.volEnvelope.points[0].tick, 0);
    EXPECT_EQ(loaded.volEnvelope.points[1].tick, 50);
    EXPECT_EQ(loaded.panEnvelope.points[0].tick, 0);
    EXPECT_EQ(loaded.panEnvelope.points[1].tick, 200);
    EXPECT_EQ(made.playChecked(300), "");
    /* the panning envelope ran from tick 0 to its last point */
    EXPECT_EQ(made.mod.channels[0].voice.envPanning, 64);
}

/* Found by fuzz_baf (a time-out). The header "x 0 0 -1" reads the frame
 * count -1 as 4294967295; with no vertices no byte of the file stood for
 * those frames, and add_normal stepped through four billion empty ones. An
 * object without vertices is now read as one empty frame. */
TEST(Regress, BafWithoutVerticesInFourBillionFrames)
{
    Object3D obj{};
    loadBAF((kInputs + "/baf/no_vertices_in_4294967295_frames.baf").c_str(), &obj);
    EXPECT_EQ(obj.vertCount, 0u);
    EXPECT_EQ(obj.faceCount, 0u);
    EXPECT_EQ(obj.frameCount, 1u);
    add_normal(&obj);
    kill3D(&obj);
}

/* Found while taking the time-out above apart: thousands of triangles on one
 * vertex in thousands of frames fit in 64 KiB, and add_normal, which visits
 * every triangle in every frame, took 8 s over them in the fuzz build (a
 * megabyte of them would take minutes). Such an object is now refused; an
 * ordinary animation of the same size loads. */
TEST(Regress, BafOfManyTrianglesOnOneVertexInManyFrames)
{
    std::string dir = ts::makeTempDir("regress");
    std::string text = "x 1 4000 2700 0 0 0\n";
    for (int i = 0; i < 2700; i++)
        text += "0 0 0 0 0 0\n";
    for (int i = 0; i < 4000; i++)
        text += "0 0 0 0\n";
    ASSERT_TRUE(ts::writeText(dir + "/pile.baf", text));
    Object3D obj{};
    testing::internal::CaptureStdout();
    loadBAF((dir + "/pile.baf").c_str(), &obj);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(obj.verts, nullptr);
    EXPECT_NE(out.find("4000 triangles in each of 2700 frames of 1 vertices are too many to shade"), std::string::npos)
        << out;

    /* 100 frames of a strip of 200 vertices and 198 triangles */
    text = "x 200 198 100 0 0 0\n";
    for (int k = 0; k < 100; k++)
        for (int i = 0; i < 200; i++)
            text += std::to_string(i) + " " + std::to_string(i / 2) + " " + std::to_string(i % 2) + " " +
                    std::to_string(k) + " 0 0\n";
    for (int i = 0; i < 198; i++)
        text += std::to_string(i) + " " + std::to_string(i) + " " + std::to_string(i + 1) + " " +
                std::to_string(i + 2) + "\n";
    ASSERT_TRUE(ts::writeText(dir + "/strip.baf", text));
    loadBAF((dir + "/strip.baf").c_str(), &obj);
    EXPECT_EQ(obj.frameCount, 100u);
    EXPECT_EQ(obj.faceCount, 198u);
    add_normal(&obj);
    kill3D(&obj);
    ts::removeTree(dir);
}

} // namespace
