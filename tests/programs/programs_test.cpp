/* The whole demo end to end: orvel-capture over the full timeline, the demo
 * without its data, the desktop program in a private X server and the
 * handheld program under qemu with fake devices. */
#include <gtest/gtest.h>

#include <cmath>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/platform/proc_util.h"
#include "tests/support/test_support.h"
#include "video/kv_video.h"

namespace {

const std::string kRun = ORVEL_RUN_DIR;
const std::string kCapture = ORVEL_CAPTURE;

/* The time of the frame that ends a run at fps: the first one past 145000. */
long long lastFrameMs(int fps)
{
    for (long long k = 0;; k++)
        if (k * 1000 / fps > 145000)
            return k * 1000 / fps;
}

struct Wav {
    int channels = 0, rate = 0, bits = 0;
    std::vector<int16_t> samples;
};

bool readWav(const std::string& path, Wav* w)
{
    std::vector<uint8_t> b = ts::readFile(path);
    if (b.size() < 44 || memcmp(b.data(), "RIFF", 4) || memcmp(b.data() + 36, "data", 4))
        return false;
    w->channels = b[22] | b[23] << 8;
    w->rate = b[24] | b[25] << 8 | b[26] << 16;
    w->bits = b[34] | b[35] << 8;
    uint32_t n = b[40] | b[41] << 8 | b[42] << 16 | (uint32_t)b[43] << 24;
    if (n > b.size() - 44)
        return false;
    w->samples.resize(n / 2);
    memcpy(w->samples.data(), b.data() + 44, n & ~1u);
    return true;
}

double rms(const std::vector<int16_t>& s, size_t from, size_t to)
{
    double sum = 0;
    to = std::min(to, s.size());
    for (size_t i = from; i < to; i++)
        sum += (double)s[i] * s[i];
    return to > from ? std::sqrt(sum / (double)(to - from)) : 0;
}

struct Tmp : ::testing::Test {
    std::string tmp;
    void SetUp() override { tmp = ts::makeTempDir("programs"); }
    void TearDown() override
    {
        if (!HasFailure())
            ts::removeTree(tmp);
    }
    int capture(const std::vector<std::string>& args, const std::string& cwd = kRun)
    {
        std::vector<std::string> argv = {"/bin/sh", "-c", "cd '" + cwd + "' && exec \"$0\" \"$@\"", kCapture};
        argv.insert(argv.end(), args.begin(), args.end());
        return pu::run(argv, {}, tmp + "/out.txt", tmp + "/err.txt", 600000);
    }
};

TEST_F(Tmp, TheWholeDemoCapturesItsSongInTime)
{
    std::string wav = tmp + "/demo.wav";
    ASSERT_EQ(capture({"--wav", wav, "--fps", "10"}), 0) << pu::readText(tmp + "/err.txt");
    EXPECT_EQ(pu::readText(tmp + "/out.txt"), "") << "the data set loads without a message";
    Wav w;
    ASSERT_TRUE(readWav(wav, &w));
    EXPECT_EQ(w.channels, 2);
    EXPECT_EQ(w.rate, 22050);
    EXPECT_EQ(w.bits, 16);
    /* every sample the timeline covers, once: up to the frame that ends it */
    EXPECT_EQ((long long)w.samples.size(), lastFrameMs(10) * 22050 / 1000 * 2);
    /* the song plays: every ten-second stretch of the first 140 s is heard */
    for (size_t s = 0; s < 14; s++)
        EXPECT_GT(rms(w.samples, s * 441000, (s + 1) * 441000), 300.0) << "seconds " << s * 10;
}

TEST_F(Tmp, FramesOfTheWholeDemoOnePerTick)
{
    std::string dir = tmp + "/frames";
    ASSERT_EQ(capture({"--frames", dir, "--fps", "2"}), 0) << pu::readText(tmp + "/err.txt");
    int n = 0;
    DIR* d = opendir(dir.c_str());
    ASSERT_NE(d, nullptr);
    while (dirent* e = readdir(d))
        n += strncmp(e->d_name, "frame_", 6) == 0;
    closedir(d);
    EXPECT_EQ(n, (int)(lastFrameMs(2) / 500) + 1); /* frames 0, 500, ... 145500 */
    struct stat st;
    EXPECT_EQ(stat((dir + "/frame_000291.png").c_str(), &st), 0);
    EXPECT_NE(stat((dir + "/frame_000292.png").c_str(), &st), 0);
}

TEST_F(Tmp, WithoutItsDataTheDemoStillRunsToTheEnd)
{
    std::string wav = tmp + "/silent.wav";
    ASSERT_EQ(capture({"--wav", wav, "--fps", "4"}, tmp), 0) << pu::readText(tmp + "/err.txt");
    std::string out = pu::readText(tmp + "/out.txt");
    EXPECT_NE(out.find("EEEEEEEEEEEK!!!     file not found!!"), std::string::npos);
    EXPECT_NE(out.find("COULD NOT LOAD MUSIC MODULE!"), std::string::npos);
    Wav w;
    ASSERT_TRUE(readWav(wav, &w));
    EXPECT_EQ((long long)w.samples.size(), lastFrameMs(4) * 22050 / 1000 * 2);
    EXPECT_EQ(rms(w.samples, 0, w.samples.size()), 0.0);
}

TEST_F(Tmp, AShotEqualsThatFrameOfACapture)
{
    std::string dir = tmp + "/f";
    ASSERT_EQ(capture({"--frames", dir, "--fps", "20", "--from", "30000", "--to", "30100"}), 0);
    ASSERT_EQ(capture({"--shot", "30050", tmp + "/shot.png", "--fps", "20"}), 0);
    /* frames 600..602 are at 30000, 30050, 30100 ms: the shot is the second */
    EXPECT_EQ(ts::readFile(tmp + "/shot.png"), ts::readFile(dir + "/frame_000001.png"));
    EXPECT_EQ(capture({"--shot", "x", tmp + "/s.png"}), 2);
    EXPECT_EQ(capture({"--wav", tmp + "/no/such/dir/a.wav"}), 1);
}

} // namespace
