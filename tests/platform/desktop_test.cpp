/* The desktop program in a private X server: the doubled window, the
 * keyboard as the handheld's buttons, quitting, the audio stream into a
 * configured ALSA device, running on without sound, and no display at all. */
#include <gtest/gtest.h>

#include <map>
#include <sys/stat.h>

#include "tests/platform/check_pattern.h"
#include "tests/platform/proc_util.h"
#include "tests/support/test_support.h"
#include "video/kv_video.h"

namespace {

const char* const WINDOW_NAME = "platform_check_win";

/* Pixels of the 640x480 window that are not their back-buffer pixel's 2x2
 * copy. The X server widens RGB565 to 8 bits a channel with its own table, so
 * each channel is compared after cutting it back to 5, 6 and 5 bits. */
int badPixels(const pu::Shot& s, const uint16_t* back)
{
    if (s.w < 2 * SCR_W || s.h < 2 * SCR_H)
        return -1;
    int bad = 0;
    for (int y = 0; y < 2 * SCR_H; y++)
        for (int x = 0; x < 2 * SCR_W; x++) {
            uint16_t c = back[(y / 2) * SCR_W + x / 2];
            const uint8_t* p = &s.rgb[((size_t)y * s.w + x) * 3];
            bad += (p[0] >> 3) != (c >> 11) || (p[1] >> 2) != ((c >> 5) & 63) || (p[2] >> 3) != (c & 31);
        }
    return bad;
}

struct Desktop : pu::XTest {
    std::string out, err, cfgDir;
    std::vector<std::string> env;

    void SetUp() override
    {
        setUpX("desktop");
        if (IsSkipped())
            return;
        out = tmp + "/out.txt";
        err = tmp + "/err.txt";
        cfgDir = tmp + "/cfg";
        mkdir(cfgDir.c_str(), 0755);
        /* no Allegro configuration but ours: none from the home directory */
        env = {"DISPLAY=" + x.display, "ALLEGRO=" + cfgDir, "HOME=" + tmp,
               std::string("LSAN_OPTIONS=") + ORVEL_LSAN_ALLEGRO};
    }
    void start(const std::vector<std::string>& args)
    {
        std::vector<std::string> argv = {ORVEL_CHECK_WIN};
        argv.insert(argv.end(), args.begin(), args.end());
        pid = pu::spawn(argv, env, out, err);
        ASSERT_GT(pid, 0);
        ASSERT_TRUE(pu::waitForText(out, "check: first frame shown", 20000, pid))
            << pu::readText(out) << pu::readText(err);
    }
    /* Runs an X client to its end; its output is returned. */
    std::string xrun(const std::vector<std::string>& argv)
    {
        std::string o = tmp + "/xrun.txt";
        int code = pu::run(argv, {"DISPLAY=" + x.display}, o, tmp + "/xrun.err", 60000);
        EXPECT_EQ(code, 0) << argv[0] << ": " << pu::readText(tmp + "/xrun.err");
        return pu::readText(o);
    }
    /* Holds start (Escape) and waits for the program to leave. */
    void quit()
    {
        xrun({"xdotool", "keydown", "Escape"});
        EXPECT_TRUE(pu::waitForText(out, "check: buttons 0x00100", 10000, pid)) << pu::readText(out);
        EXPECT_EQ(pu::waitExit(pid, 60000), 0) << pu::readText(out) << pu::readText(err);
        pid = -1;
        xrun({"xdotool", "keyup", "Escape"});
    }
    long frames() const
    {
        std::string text = pu::readText(out);
        size_t at = text.find("check: frames ");
        return at == std::string::npos ? -1 : atol(text.c_str() + at + 14);
    }
};

TEST_F(Desktop, EachBackBufferPixelIsShownAsATwoByTwoBlock)
{
    start({"--still"});
    std::string id = xrun({"xdotool", "search", "--sync", "--name", WINDOW_NAME});
    id = id.substr(0, id.find('\n'));
    ASSERT_FALSE(id.empty());

    uint16_t* back = scr_init();
    ASSERT_NE(back, nullptr);
    check_draw(back, 0);
    /* the first frames may still be on their way to the server */
    int bad = -1;
    for (int tries = 0; tries < 20 && bad != 0; tries++) {
        std::string dump = tmp + "/shot.xwd";
        xrun({"xwd", "-silent", "-id", id, "-out", dump});
        pu::Shot s;
        ASSERT_TRUE(pu::readXwd(dump, &s)) << "not a 24/32-bit xwd dump";
        ASSERT_GE(s.w, 640);
        ASSERT_GE(s.h, 480);
        bad = badPixels(s, back);
        if (bad != 0)
            pu::sleepMs(200);
    }
    EXPECT_EQ(bad, 0) << "window pixels that are not the back buffer doubled";
    scr_exit();
    quit();
}

TEST_F(Desktop, ArrowKeysMakeTheDiagonalAndEscapeQuits)
{
    start({});
    /* without a window manager the keyboard goes where the pointer is */
    xrun({"xdotool", "mousemove", "100", "100"});
    xrun({"xdotool", "keydown", "Up", "keydown", "Left"});
    EXPECT_TRUE(pu::waitForText(out, "check: buttons 0x00007", 10000, pid)) << pu::readText(out);
    xrun({"xdotool", "keyup", "Up", "keyup", "Left"});
    EXPECT_TRUE(pu::waitForText(out, "check: buttons 0x00000", 10000, pid)) << pu::readText(out);
    quit();
    EXPECT_GT(frames(), 0);
}

/* The tone through Allegro's stream into an ALSA PCM that writes a file.
 * Allegro mixes the stream at its own level, so the test looks for the
 * tone's shape: left and right alike, rising by one step a frame, wrapping
 * every 655.36 frames. */
TEST_F(Desktop, TheStreamPlaysTheToneIntoTheConfiguredDevice)
{
    std::string raw = tmp + "/sound.raw";
    ASSERT_TRUE(ts::writeText(cfgDir + "/allegro.cfg", "[sound]\nalsa_device = file:FILE=" + raw +
                                                           ",FORMAT=raw\nsound_freq = 22050\n"));
    start({});
    EXPECT_TRUE(pu::waitForSize(raw, 4LL * 3 * 8192, 20000, pid)) << "the stream did not reach the device";
    quit();

    std::vector<uint8_t> b = ts::readFile(raw);
    size_t n = b.size() / 4;
    std::vector<int> left(n), right(n);
    for (size_t i = 0; i < n; i++) {
        left[i] = b[4 * i] | b[4 * i + 1] << 8;
        right[i] = b[4 * i + 2] | b[4 * i + 3] << 8;
    }
    /* skip the device's leading silence */
    size_t first = 0;
    while (first + 1 < n && left[first + 1] == left[first])
        first++;
    ASSERT_GT(n - first, (size_t)(2 * 8192)) << "too little sound";
    /* the most common rise from frame to frame, and how often it occurs */
    std::map<int, int> rises;
    for (size_t i = first; i + 1 < n; i++)
        rises[(left[i + 1] - left[i]) & 0xFFFF]++;
    int step = 0, count = 0;
    for (auto& [r, c] : rises)
        if (c > count)
            step = r, count = c;
    int around = rises[step - 1] + rises[step] + rises[step + 1];
    EXPECT_GT(step, 10);
    EXPECT_LT(step, 200);
    EXPECT_GT(around, (int)((n - first) * 9 / 10)) << "not a steady sawtooth";
    /* wraps: falls of more than half the range */
    std::vector<size_t> wraps;
    for (size_t i = first; i + 1 < n; i++)
        if (((left[i + 1] - left[i]) & 0xFFFF) >= 0x8000 && ((left[i + 1] - left[i]) & 0xFFFF) < 0x10000 - 4 * step)
            wraps.push_back(i);
    ASSERT_GE(wraps.size(), 10u);
    double period = (double)(wraps.back() - wraps.front()) / (double)(wraps.size() - 1);
    EXPECT_NEAR(period, 655.36, 1.0);
    /* right follows left */
    long long diff = 0;
    for (size_t i = first; i < n; i++) {
        int d = (right[i] - left[i]) & 0xFFFF;
        diff += d > 0x8000 ? 0x10000 - d : d;
    }
    EXPECT_LT(diff / (long long)(n - first), 4 * step);
}

TEST_F(Desktop, WithoutASoundDeviceItRunsOnSilently)
{
    start({});
    pu::sleepMs(2000);
    quit();
    /* a program waiting on a stream that never drains would show a frame or two */
    EXPECT_GT(frames(), 20);
}

TEST_F(Desktop, WithoutADisplayItSaysSoAndLeavesCleanly)
{
    env[0] = "DISPLAY"; /* removed */
    int code = pu::run({ORVEL_CHECK_WIN}, env, out, err, 60000);
    std::string text = pu::readText(out);
    EXPECT_EQ(code, 0) << text << pu::readText(err);
    EXPECT_NE(text.find("no display found"), std::string::npos) << text;
    EXPECT_NE(text.find("check: screen failed, buttons failed, sound failed"), std::string::npos) << text;
    EXPECT_NE(text.find("check: frames 0"), std::string::npos) << text;
}

} // namespace
