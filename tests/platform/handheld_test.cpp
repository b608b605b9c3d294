/* The SD-card package as a player uses it: unpacked, its program started
 * from another folder by a bare name, under qemu on the console's CPU and
 * kernel with fake devices. It finds its data beside itself, draws the very
 * frames the host build draws, plays, quits on start and hands over to the
 * menu, making only calls Linux 2.4 has. */
#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "demo/demo.h"
#include "platform/headless/headless.h"
#include "tests/platform/linux24_calls.h"
#include "tests/platform/proc_util.h"
#include "tests/support/test_support.h"
#include "video/kv_font.h"
#include "video/kv_video.h"

namespace {

const std::string kArmBuild = ORVEL_ARM_BUILD_DIR;
const std::string kRun = ORVEL_RUN_DIR; /* the host build, where ./data is */

using Clock = std::chrono::steady_clock;

long long msSince(Clock::time_point t0)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
}

/* A timeline time within `reach` ms of `near` at which the host build
 * (headless, in this process) draws exactly `fb` (little-endian RGB565), or
 * -1; the times nearest `near` are tried first. *closest gets the fewest
 * differing pixels seen. */
long findHostFrame(const std::vector<uint8_t>& fb, long near, long reach, int* closest)
{
    EXPECT_EQ(chdir(kRun.c_str()), 0);
    headless_setClock(0);
    uint16_t* buf = scr_init();
    testing::internal::CaptureStdout();
    int loaded = demo_load();
    std::string said = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(buf && loaded) << said;
    long found = -1;
    *closest = SCR_PIXELS;
    for (long step = 0; buf && loaded && step <= 2 * reach && found < 0; step++) {
        long t = near + (step & 1 ? (step + 1) / 2 : -step / 2); /* near, near+1, near-1, ... */
        demo_draw((unsigned)t);
        int bad = 0;
        for (int i = 0; i < SCR_PIXELS && bad < *closest; i++)
            bad += (uint16_t)(fb[2 * i] | fb[2 * i + 1] << 8) != buf[i];
        *closest = bad < *closest ? bad : *closest;
        if (bad == 0)
            found = t;
    }
    demo_kill();
    fnt_setFnt(nullptr);
    scr_exit();
    headless_realClock();
    return found;
}

TEST(HandheldPackage, RunsFromTheCardDrawsTheHostsFramesAndHandsOver)
{
    for (const char* tool : {"qemu-arm", "unzip"})
        if (!ts::haveTool(tool))
            GTEST_SKIP() << tool << " is not installed (Debian qemu-user, unzip)";
    std::string zip = kArmBuild + "/orvel-gp2x.zip";
    if (access(zip.c_str(), R_OK) != 0)
        GTEST_SKIP() << zip << " is missing: `make arm` makes it";

    std::string tmp = ts::makeTempDir("card");
    std::string card = tmp + "/card", elsewhere = tmp + "/elsewhere", root = tmp + "/root";
    std::string out = tmp + "/out.txt", err = tmp + "/err.txt", trace = tmp + "/strace.txt";
    ASSERT_EQ(pu::run({"unzip", "-q", zip, "-d", card}, {}, out, err, 60000), 0) << pu::readText(err);
    EXPECT_NE(pu::readText(card + "/orvel/README.txt").find("orvel.gpe"), std::string::npos) << "no README.txt";
    ASSERT_EQ(mkdir(elsewhere.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(root.c_str(), 0755), 0);
    pu::FakeDev d;
    ASSERT_TRUE(pu::makeFakeDev(root + "/dev", &d));

    /* started from another folder, by its bare name (as argv[0]) */
    std::string cmd = "cd '" + elsewhere + "' && exec";
    for (const std::string& a : pu::consoleQemu(root, trace))
        cmd += " '" + a + "'";
    cmd += " -0 orvel.gpe '" + card + "/orvel/orvel.gpe'";
    pid_t pid = pu::spawn({"/bin/sh", "-c", cmd}, {}, out, err);
    ASSERT_GT(pid, 0);

    /* The first PCM is written right after the first frame at time 0: the
     * timeline's clock starts about then. */
    ASSERT_TRUE(pu::waitForSize(d.dsp, 1, 120000, pid)) << pu::readText(out) << pu::readText(err);
    Clock::time_point t0 = Clock::now();
    ASSERT_TRUE(pu::waitForSize(d.dsp, 10LL * 4 * 22050, 60000, pid));
    /* the first ten seconds only: the file keeps growing fast, and a slow
     * (sanitizer) build reading to its end would chase it */
    std::vector<uint8_t> pcm(10 * 4 * 22050);
    int pcmFd = open(d.dsp.c_str(), O_RDONLY);
    ASSERT_GE(pcmFd, 0);
    ASSERT_EQ(read(pcmFd, pcm.data(), pcm.size()), (ssize_t)pcm.size());
    close(pcmFd);
    long long loud = 0;
    for (size_t i = 0; i + 1 < pcm.size(); i += 2)
        loud += (int16_t)(pcm[i] | pcm[i + 1] << 8) != 0;
    EXPECT_GT(loud, (long long)pcm.size() / 8) << "the song is in the PCM";

    /* Into the spinning cube (timeline 10083..20159 ms), the renderer's
     * whole path: start there. The plain file takes every write whole, so
     * it is cut back now and then to keep the disk out of it. */
    const long pressAt = 14000;
    while (msSince(t0) < pressAt) {
        ASSERT_EQ(truncate(d.dsp.c_str(), 0), 0);
        pu::sleepMs(100);
    }
    long pressed = (long)msSince(t0);
    ASSERT_TRUE(pu::pressButtons(d.gpio, 0x100)) << "the program ended before start was pressed: "
                                                  << pu::readText(out) << pu::readText(err);
    int code = pu::waitExit(pid, 60000);
    if (code < 0)
        pu::stop(pid);
    EXPECT_EQ(code, 0) << pu::readText(out) << pu::readText(err);
    /* the loaders say nothing when the whole data set is there */
    EXPECT_EQ(pu::readText(out), "") << "the packed data set is incomplete";

    /* the last frame drawn is the host build's frame of some time around
     * the press */
    std::vector<uint8_t> fb = ts::readFile(d.fb);
    ASSERT_EQ(fb.size(), (size_t)SCR_BYTES);
    int closest = 0;
    long at = findHostFrame(fb, pressed, 2000, &closest);
    EXPECT_GE(at, 0) << "no host frame within 2 s of " << pressed << " ms is the handheld's; the closest differs in "
                     << closest << " pixels";
    std::cout << "the handheld's last frame is the host's at " << at << " ms (start pressed at about " << pressed
              << " ms)\n";

    std::string st = pu::readText(trace);
    pu::expectInOrder(st, {"readlink(\"/proc/self/exe\"", "chdir(\"" + card + "/orvel\") = 0",
                       "open(\"/dev/fb0\",O_RDWR) = ", "open(\"./data/group.tga\",O_RDONLY) = ",
                       "open(\"/dev/dsp\",O_WRONLY) = ", "open(\"./data/funkyloo.xm\",O_RDONLY) = ",
                       "chdir(\"/usr/gp2x\")", "execve(\"/usr/gp2x/gp2xmenu\",{\"/usr/gp2x/gp2xmenu\",NULL})",
                       "exit(0)"});
    EXPECT_FALSE(stracedCalls(st).empty());
    for (const std::string& c : callsNot24(st))
        ADD_FAILURE() << "a call Linux 2.4 lacks: " << c;
    if (!HasFailure())
        ts::removeTree(tmp);
}

} // namespace
