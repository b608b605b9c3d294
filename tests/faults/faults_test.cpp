/* Fault runs of the demo with a copy of the data set that is missing, cut
 * short or replaced in one way or another. Each damaged set is loaded with
 * demo_load, drawn for one frame of every row of the running order (every
 * scene with every caption it shows) and freed with demo_kill, in this
 * process: the loaders must print their messages for what is wrong, and in
 * a sanitizer build a leak or a bad access fails the run. One whole run of
 * orvel-capture over the intact set checks the program from end to end.
 *
 * The runs damage a copy of the real data set (the build tree's data/,
 * written by orvel-mkdata) and skip while it is absent. */
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "demo/demo.h"
#include "demo/kv_input.h"
#include "platform/headless/headless.h"
#include "tests/modplay/modwriter.h"
#include "tests/modplay/s3mwriter.h"
#include "tests/platform/proc_util.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace {

const std::string kData = ORVEL_DATA_DIR;
const std::string kCapture = ORVEL_CAPTURE;
const int kFps = 2;                   /* frames a second of the capture */
const long long kTimelineMs = 145000; /* the demo's length */
const int kTimeoutMs = 600000;        /* one run, even under sanitizers */

/* What one run did. */
struct CaptureRun {
    int status = -1;
    std::string out;       /* standard output and error */
    long long frames = -1; /* frames the summary line reports */
    std::vector<int16_t> audio;
};

/* The data set's files, relative to the data folder, sorted. */
std::vector<std::string> dataFiles()
{
    std::vector<std::string> files;
    for (const std::string& f : ts::filesUnder(kData))
        files.push_back(fs::relative(f, kData).string());
    return files;
}

struct Faults : ::testing::Test {
    std::string dir; /* the run's working folder; data/ inside it */
    std::vector<std::string> files;

    void SetUp() override
    {
        files = dataFiles();
        if (files.empty())
            GTEST_SKIP() << "no data set in " << kData << " (the build writes it with orvel-mkdata); "
                         << "the fault runs damage a copy of it";
        dir = ts::makeTempDir("faults");
    }
    void TearDown() override
    {
        if (!dir.empty())
            ts::removeTree(dir);
    }

    /* A fresh data/ in the working folder: every file of the real set
     * linked, except `skip`. */
    void stage(const std::string& skip = "")
    {
        fs::remove_all(dir + "/data");
        for (const std::string& f : files) {
            if (f == skip)
                continue;
            fs::create_directories(fs::path(dir + "/data/" + f).parent_path());
            fs::create_symlink(kData + "/" + f, dir + "/data/" + f);
        }
    }

    /* Replaces one staged file with these bytes. */
    void replace(const std::string& f, const std::vector<uint8_t>& bytes)
    {
        fs::remove(dir + "/data/" + f);
        ASSERT_TRUE(ts::writeFile(dir + "/data/" + f, bytes));
    }

    /* orvel-capture --wav over the whole timeline, run in the folder. */
    CaptureRun capture()
    {
        CaptureRun r;
        std::string wav = dir + "/out.wav", log = dir + "/out.log";
        fs::remove(wav);
        r.status = pu::run({"/bin/sh", "-c", "cd '" + dir + "' && exec '" + kCapture + "' --wav '" + wav +
                                                 "' --fps " + std::to_string(kFps) + " 2>&1"},
                           {}, log, log, kTimeoutMs);
        r.out = pu::readText(log);
        size_t at = r.out.find("orvel-capture: ");
        if (at != std::string::npos)
            r.frames = atoll(r.out.c_str() + at + 15);
        std::vector<uint8_t> w = ts::readFile(wav);
        for (size_t i = 44; i + 1 < w.size(); i += 2)
            r.audio.push_back((int16_t)(w[i] | w[i + 1] << 8));
        return r;
    }

    /* The checks every run must pass: exit 0, every frame of the timeline
     * drawn, all of its audio written. */
    void expectCompleted(const CaptureRun& r, const std::string& what)
    {
        EXPECT_EQ(r.status, 0) << what << ":\n" << r.out;
        EXPECT_EQ(r.frames, kTimelineMs * kFps / 1000 + 2) << what << ":\n" << r.out;
        EXPECT_GE((long long)r.audio.size() / 2, kTimelineMs * 22050 / 1000) << what;
    }

    /* demo_load, the first frame of every row of the running order, and
     * demo_kill, on the headless platform in the working folder: what the
     * loaders printed, the frames shown and the audio the device took. */
    CaptureRun window()
    {
        CaptureRun r;
        std::string cwd = fs::current_path().string();
        fs::current_path(dir);
        headless_setClock(0); /* virtual before the audio opens */
        headless_setSoundSink(collect, &r.audio);
        long before = headless_frameCount();
        testing::internal::CaptureStdout();
        int ok = scr_init() != nullptr;
        ok = kb_init() == 0 && ok;
        ok = demo_load() && ok;
        unsigned first = 0;
        for (int i = 0; i < DEMO_ROWS; i++) {
            headless_setClock((int)first);
            demo_update((int)first);
            first = demo_rows()[i].upTo + 1;
        }
        demo_kill();
        scr_exit();
        kb_exit();
        fflush(stdout);
        r.out = testing::internal::GetCapturedStdout();
        headless_setSoundSink(nullptr, nullptr);
        fs::current_path(cwd);
        r.status = ok ? 0 : 1;
        r.frames = headless_frameCount() - before;
        return r;
    }
    static void collect(const int16_t* samples, int count, void* user)
    {
        auto* audio = (std::vector<int16_t>*)user;
        audio->insert(audio->end(), samples, samples + count);
    }

    /* A window run drew every row and the device took audio all along:
     * every row lasts longer than the ring (65536 samples, 1.49 s), so each
     * frame after the first hands over a whole ring. */
    void expectWindow(const CaptureRun& r, const std::string& what)
    {
        EXPECT_EQ(r.status, 0) << what << ":\n" << r.out;
        EXPECT_GE(r.frames, DEMO_ROWS) << what; /* the loading screen's flips come first */
        EXPECT_GE((long long)r.audio.size(), (DEMO_ROWS - 1) * 65536LL) << what;
    }
};

bool silent(const std::vector<int16_t>& audio)
{
    return std::all_of(audio.begin(), audio.end(), [](int16_t s) { return s == 0; });
}

/* A 24-bit run-length TGA of w x h pixels of one colour. */
std::vector<uint8_t> plainTga(int w, int h)
{
    std::vector<uint8_t> b = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    ts::put16le(b, (unsigned)w);
    ts::put16le(b, (unsigned)h);
    b.push_back(24);
    b.push_back(0x20);
    for (long long left = (long long)w * h; left > 0; left -= 128) {
        b.push_back((uint8_t)(0x80 | (std::min<long long>(left, 128) - 1)));
        b.push_back(40), b.push_back(160), b.push_back(220);
    }
    return b;
}

TEST_F(Faults, TheIntactDataSetPlaysWithoutAMessage)
{
    stage();
    CaptureRun r = capture();
    expectCompleted(r, "intact");
    EXPECT_EQ(r.out.find("EEEEEEEEEEEK"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("COULD NOT LOAD MUSIC MODULE!"), std::string::npos) << r.out;
    EXPECT_FALSE(silent(r.audio));
}

TEST_F(Faults, WithoutTheDataFolderEveryLoaderSaysSo)
{
    CaptureRun r = window(); /* no data/ at all */
    expectWindow(r, "no data folder");
    EXPECT_NE(r.out.find("EEEEEEEEEEEK!!!     file not found!!"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("COULD NOT LOAD MUSIC MODULE!"), std::string::npos) << r.out;
    EXPECT_TRUE(silent(r.audio));
}

TEST_F(Faults, EachFileMissingInTurn)
{
    for (const std::string& f : files) {
        stage(f);
        CaptureRun r = window();
        expectWindow(r, "without " + f);
        /* .bof files say it on the loading screen, the others on standard
         * output */
        if (ts::endsWith(f, ".xm")) {
            EXPECT_NE(r.out.find("COULD NOT LOAD MUSIC MODULE!"), std::string::npos) << f << ":\n" << r.out;
        } else if (!ts::endsWith(f, ".bof")) {
            EXPECT_NE(r.out.find("file not found"), std::string::npos) << f << ":\n" << r.out;
        }
    }
}

TEST_F(Faults, EachFileCutToHalf)
{
    for (const std::string& f : files) {
        stage();
        std::vector<uint8_t> b = ts::readFile(kData + "/" + f);
        b.resize(b.size() / 2);
        replace(f, b);
        CaptureRun r = window();
        expectWindow(r, "half of " + f);
        /* a raw picture cut in half loads black where it ends; a plain TGA
         * cut in half is refused, a run-length one may still hold enough
         * runs for its size and then decodes as far as it goes */
    }
}

TEST_F(Faults, TheSongReplacedByAModAndByAnS3mPlaysThem)
{
    const std::string song = "funkyloo.xm";
    ASSERT_NE(std::find(files.begin(), files.end(), song), files.end());

    modw::Song m;
    m.patterns = {modw::Pattern(4)};
    m.samples.push_back(modw::squareSample(2000));
    m.patterns[0].at(0, 0).period = 428;
    m.patterns[0].at(0, 0).instrument = 1;
    stage();
    replace(song, modw::write(m));
    CaptureRun r = window();
    expectWindow(r, "a MOD as the song");
    EXPECT_EQ(r.out.find("COULD NOT LOAD MUSIC MODULE!"), std::string::npos) << r.out;
    EXPECT_FALSE(silent(r.audio));

    s3mw::Song s;
    s.instruments.push_back(s3mw::squareInstrument(2000));
    s.instruments[0].loop = true;
    s.instruments[0].loopEnd = 2000;
    s3mw::Entry e;
    e.note = 0x40;
    e.instrument = 1;
    s.patterns[0].rows[0].push_back(e);
    stage();
    replace(song, s3mw::write(s));
    r = window();
    expectWindow(r, "an S3M as the song");
    EXPECT_EQ(r.out.find("COULD NOT LOAD MUSIC MODULE!"), std::string::npos) << r.out;
    EXPECT_FALSE(silent(r.audio));
}

TEST_F(Faults, TheSongReplacedByGarbageIsRefusedAndTheDemoPlaysOn)
{
    std::mt19937 rng(7);
    std::vector<uint8_t> junk(40000);
    for (uint8_t& b : junk)
        b = (uint8_t)rng();
    stage();
    replace("funkyloo.xm", junk);
    CaptureRun r = window();
    expectWindow(r, "garbage as the song");
    EXPECT_NE(r.out.find("COULD NOT LOAD MUSIC MODULE!"), std::string::npos) << r.out;
    EXPECT_TRUE(silent(r.audio));
}

/* One picture of each use: the loading screen, a full-screen title, an
 * additive overlay, a sprite, a texture and the fractal's caption. */
const char* const kPictures[] = {"group.tga", "a.tga", "ship_layer.tga", "dog1S.tga", "shade.tga", "fractal.tga"};

TEST_F(Faults, APictureReplacedByOnePixel)
{
    for (const char* p : kPictures) {
        stage();
        replace(p, plainTga(1, 1));
        CaptureRun r = window();
        expectWindow(r, std::string("1x1 ") + p);
    }
}

TEST_F(Faults, APictureReplacedBy4096x4096)
{
    std::vector<uint8_t> huge = plainTga(4096, 4096);
    for (const char* p : kPictures) {
        stage();
        replace(p, huge);
        CaptureRun r = window();
        expectWindow(r, std::string("4096x4096 ") + p);
        EXPECT_EQ(r.out.find("EEEEEEEEEEEK"), std::string::npos) << p << ":\n" << r.out;
    }
}

} // namespace
