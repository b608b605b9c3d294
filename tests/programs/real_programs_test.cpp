/* Both real programs with the real data set: the desktop one in a private X
 * server (the loading screen, then the first title, Escape quits), the
 * handheld one under qemu on a CPU without FPU with fake devices (frames in
 * the frame buffer, PCM in the audio device, start quits). The console's own
 * CPU and kernel run the handheld one in tests/platform/handheld_test.cpp. */
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/platform/proc_util.h"
#include "tests/support/test_support.h"
#include "video/kv_video.h"

namespace {

const std::string kRun = ORVEL_RUN_DIR;

/* A data folder of links to the real files, except one file served through a
 * FIFO: loading stops there until the test writes it, so the loading screen
 * can be looked at. */
struct SlowData {
    std::string root, held, heldSource;
};

bool makeSlowData(const std::string& root, const std::string& heldName, SlowData* s)
{
    s->root = root;
    s->heldSource = kRun + "/data/" + heldName;
    s->held = root + "/data/" + heldName;
    if (mkdir((root + "/data").c_str(), 0755) || mkdir((root + "/data/fnt").c_str(), 0755))
        return false;
    for (std::string sub : {"", "fnt/"}) {
        DIR* d = opendir((kRun + "/data/" + sub).c_str());
        if (!d)
            return false;
        while (dirent* e = readdir(d)) {
            std::string name = sub + e->d_name;
            if (e->d_name[0] == '.' || name == "fnt" || name == heldName)
                continue;
            if (symlink((kRun + "/data/" + name).c_str(), (root + "/data/" + name).c_str()))
                return false;
        }
        closedir(d);
    }
    return mkfifo(s->held.c_str(), 0644) == 0;
}

/* Writes the held file into its FIFO (blocks until the program opens it). */
bool releaseHeld(const SlowData& s)
{
    std::vector<uint8_t> bytes = ts::readFile(s.heldSource);
    int fd = open(s.held.c_str(), O_WRONLY);
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            break;
        done += (size_t)n;
    }
    close(fd);
    return done == bytes.size();
}

/* Screen pixels of the doubled window that are not the picture's pixel
 * (compared after cutting the X server's 8-bit channels back to 5/6/5), over
 * rows y0..y1-1 with the picture shifted left by dx. */
int mismatches(const pu::Shot& s, const Pic16b& pic, int dx, int y0, int y1)
{
    int bad = 0;
    for (int y = y0; y < y1; y++)
        for (int x = 0; x < SCR_W; x++) {
            uint16_t c = pic.pixels[y * pic.width + x + dx];
            const uint8_t* p = &s.rgb[((size_t)(2 * y) * s.w + 2 * x) * 3];
            bad += (p[0] >> 3) != (c >> 11) || (p[1] >> 2) != ((c >> 5) & 63) || (p[2] >> 3) != (c & 31);
        }
    return bad;
}

struct Desktop : pu::XTest {
    void SetUp() override { setUpX("orvelwin"); }
    std::string xrun(const std::vector<std::string>& argv)
    {
        std::string o = tmp + "/xrun.txt";
        int code = pu::run(argv, {"DISPLAY=" + x.display}, o, tmp + "/xrun.err", 60000);
        EXPECT_EQ(code, 0) << argv[0] << ": " << pu::readText(tmp + "/xrun.err");
        return pu::readText(o);
    }
    bool shot(const std::string& id, pu::Shot* s)
    {
        std::string dump = tmp + "/shot.xwd";
        xrun({"xwd", "-silent", "-id", id, "-out", dump});
        return pu::readXwd(dump, s) && s->w >= 2 * SCR_W && s->h >= 2 * SCR_H;
    }
};

TEST_F(Desktop, LoadingScreenThenTheFirstTitleThenEscapeQuits)
{
    SlowData data;
    ASSERT_TRUE(makeSlowData(tmp, "petal.bof", &data));
    std::string out = tmp + "/out.txt", err = tmp + "/err.txt";
    pid = pu::spawn({"/bin/sh", "-c", "cd '" + tmp + "' && exec '" + ORVEL_WIN + "'"},
                    {"DISPLAY=" + x.display, "ALLEGRO=" + tmp, "HOME=" + tmp, std::string("LSAN_OPTIONS=") +
                     ORVEL_LSAN_ALLEGRO}, out, err);
    ASSERT_GT(pid, 0);
    std::string id = xrun({"xdotool", "search", "--sync", "--name", "Orvel"});
    id = id.substr(0, id.find('\n'));
    ASSERT_FALSE(id.empty()) << pu::readText(err);

    /* Loading waits for petal.bof: the group picture is up, with one dot
     * printed over its top rows. */
    Pic16b group{};
    loadTGA16b((kRun + "/data/group.tga").c_str(), &group);
    ASSERT_NE(group.pixels, nullptr);
    pu::Shot s;
    int bad = -1;
    for (int tries = 0; tries < 50 && bad != 0; tries++) {
        ASSERT_TRUE(shot(id, &s));
        bad = mismatches(s, group, 0, 8, SCR_H);
        if (bad)
            pu::sleepMs(100);
    }
    EXPECT_EQ(bad, 0) << "the loading screen shows group.tga";
    killPic16b(&group);

    /* Let loading finish: the first title's backdrop scrolls in, rows 0..59
     * being dog4S.tga shifted left by 50 pixels a second. */
    ASSERT_TRUE(releaseHeld(data));
    Pic16b back{};
    loadTGA16b((kRun + "/data/dog4S.tga").c_str(), &back);
    ASSERT_NE(back.pixels, nullptr);
    bool titled = false;
    for (int tries = 0; tries < 50 && !titled; tries++) {
        ASSERT_TRUE(shot(id, &s));
        for (int dx = 0; dx <= 200 && !titled; dx++)
            titled = mismatches(s, back, dx, 0, 60) < SCR_W * 60 / 100;
        if (!titled)
            pu::sleepMs(100);
    }
    EXPECT_TRUE(titled) << "the first title's backdrop is on screen";
    killPic16b(&back);

    /* Escape is start: the program ends (within a frame or two; the leak
     * check at the exit of a sanitizer build adds seconds). */
    xrun({"xdotool", "keydown", "Escape"});
    int code = pu::waitExit(pid, 60000);
    xrun({"xdotool", "keyup", "Escape"});
    EXPECT_EQ(code, 0) << pu::readText(out) << pu::readText(err);
    if (code >= 0)
        pid = -1;
}

TEST(Handheld, RunsUnderQemuIntoFakeDevicesAndQuitsOnStart)
{
    if (!ts::haveTool("qemu-arm"))
        GTEST_SKIP() << "qemu-arm (Debian qemu-user) is not installed";
    /* the program as packed for the SD card, with its data beside it (it
     * changes to its own folder), started from the host build's folder by
     * its full path */
    std::string bin = ORVEL_ARM_BUILD_DIR "/orvel/orvel.gpe";
    if (access(bin.c_str(), X_OK))
        GTEST_SKIP() << bin << " is not built (make arm)";
    std::string tmp = ts::makeTempDir("orvelgp2x");
    std::string dev = tmp + "/dev", fb = dev + "/fb0", gpio = dev + "/GPIO", dsp = dev + "/dsp";
    ASSERT_EQ(mkdir(dev.c_str(), 0755), 0);
    ASSERT_TRUE(ts::writeFile(fb, std::vector<uint8_t>(SCR_BYTES, 0)));
    ASSERT_EQ(mkfifo(gpio.c_str(), 0644), 0);
    ASSERT_TRUE(ts::writeFile(dsp, {}));
    std::string out = tmp + "/out.txt", err = tmp + "/err.txt";
    pid_t pid = pu::spawn({"/bin/sh", "-c", "cd '" + kRun + "' && exec qemu-arm -cpu pxa255 -L '" + tmp + "' '" +
                                                bin + "'"},
                          {}, out, err);
    ASSERT_GT(pid, 0);
    /* the music reaches the audio device once loading is done */
    EXPECT_TRUE(pu::waitForSize(dsp, 10LL * 4 * 22050, 120000, pid)) << pu::readText(out) << pu::readText(err);
    std::vector<uint8_t> frame = ts::readFile(fb);
    int lit = 0;
    for (size_t i = 0; i + 1 < frame.size(); i += 2)
        lit += frame[i] || frame[i + 1];
    EXPECT_GT(lit, SCR_PIXELS / 4) << "frames arrive in the frame buffer";
    /* the first ten seconds only: the program keeps writing, and a slow
     * (sanitizer) build reading to the end would chase it for gigabytes */
    std::vector<uint8_t> pcm(10 * 4 * 22050);
    int pcmFd = open(dsp.c_str(), O_RDONLY);
    ASSERT_GE(pcmFd, 0);
    ssize_t got = read(pcmFd, pcm.data(), pcm.size());
    close(pcmFd);
    pcm.resize(got > 0 ? (size_t)got : 0);
    long long loud = 0;
    for (size_t i = 0; i + 1 < pcm.size(); i += 2)
        loud += (int16_t)(pcm[i] | pcm[i + 1] << 8) != 0;
    EXPECT_GT(loud, (long long)pcm.size() / 8) << "the song is in the PCM";
    ASSERT_TRUE(pu::pressButtons(gpio, 0x100));
    int code = pu::waitExit(pid, 60000);
    if (code < 0)
        pu::stop(pid);
    EXPECT_EQ(code, 0) << pu::readText(out) << pu::readText(err);
    if (!::testing::Test::HasFailure())
        ts::removeTree(tmp);
}

} // namespace
