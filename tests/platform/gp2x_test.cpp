/* The handheld build against fake devices: the ARM program under qemu on
 * the console's CPU (ARMv4T, no FPU) reporting its kernel (2.4), and the
 * same code built natively in a private mount namespace. */
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "demo/kv_input.h"
#include "platform/gp2x/gp2x.h"
#include "tests/platform/check_pattern.h"
#include "tests/platform/linux24_calls.h"
#include "tests/platform/proc_util.h"
#include "tests/support/test_support.h"
#include "video/kv_video.h"

namespace {

long framesShown(const std::string& out)
{
    size_t at = out.find("check: frames ");
    return at == std::string::npos ? -1 : atol(out.c_str() + at + 14);
}

/* The frame buffer must hold the check's last frame exactly, pixel for pixel
 * in the handheld's little-endian RGB565. */
void expectLastFrame(const std::string& fbPath, long frames)
{
    ASSERT_GT(frames, 0);
    uint16_t* want = scr_init();
    ASSERT_NE(want, nullptr);
    check_draw(want, (unsigned)(frames - 1));
    std::vector<uint8_t> fb = ts::readFile(fbPath);
    ASSERT_EQ(fb.size(), (size_t)SCR_BYTES);
    int bad = 0;
    for (int i = 0; i < SCR_PIXELS; i++)
        bad += (uint16_t)(fb[2 * i] | fb[2 * i + 1] << 8) != want[i];
    EXPECT_EQ(bad, 0) << "pixels differing from frame " << frames - 1;
    scr_exit();
}

/* The PCM must be the test tone from its first frame on, left equal to
 * right, and hold exactly what the program produced, each frame once: a
 * plain file takes every write whole, so the ring's contents must not be
 * written twice. (A repeat of the whole ring would not show in the values:
 * 32768 frames of the tone are exactly 50 of its periods.) */
void expectTone(const std::string& dspPath, const std::string& out, long long minFrames)
{
    long long produced = -1, taken = -1;
    size_t at = out.find("check: tone frames ");
    ASSERT_NE(at, std::string::npos) << out;
    ASSERT_EQ(sscanf(out.c_str() + at, "check: tone frames %lld, samples taken %lld", &produced, &taken), 2);
    std::vector<uint8_t> pcm = ts::readFile(dspPath);
    ASSERT_EQ(pcm.size() % 4, 0u);
    long long frames = (long long)pcm.size() / 4;
    EXPECT_GE(frames, minFrames);
    EXPECT_EQ(frames, produced);
    EXPECT_EQ(taken, 2 * produced);
    for (long long i = 0; i < frames; i++) {
        int16_t l = (int16_t)(pcm[4 * i] | pcm[4 * i + 1] << 8);
        int16_t r = (int16_t)(pcm[4 * i + 2] | pcm[4 * i + 3] << 8);
        if (l != check_tone(i) || r != l) {
            ADD_FAILURE() << "frame " << i << " holds " << l << "/" << r << ", want " << check_tone(i);
            return;
        }
    }
}

/* Lets the program run until the device has taken three writes of the whole
 * ring, then holds start and waits for it to leave. Returns the exit code. */
int pressStartAndWait(pid_t pid, const pu::FakeDev& d)
{
    EXPECT_TRUE(pu::waitForSize(d.dsp, 3 * 131072, 30000, pid));
    EXPECT_TRUE(pu::pressButtons(d.gpio, KB_START));
    int code = pu::waitExit(pid, 30000);
    if (code < 0)
        pu::stop(pid);
    return code;
}

std::string armCheckPath()
{
    const char* env = getenv("ORVEL_ARM_BUILD");
    return std::string(env ? env : ORVEL_ARM_BUILD_DIR) + "/platform_check_gp2x";
}

/* Every call of the log is one the 2.4 kernel has. */
void expectOnly24Calls(const std::string& log)
{
    EXPECT_FALSE(stracedCalls(log).empty()) << "no calls logged";
    for (const std::string& c : callsNot24(log))
        ADD_FAILURE() << "a call Linux 2.4 lacks: " << c;
}

std::vector<std::string> plus(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(Gp2xUnderQemu, DrawsPlaysQuitsOnStartAndHandsOverToTheMenu)
{
    if (!ts::haveTool("qemu-arm"))
        GTEST_SKIP() << "qemu-arm (Debian qemu-user) is not installed";
    std::string bin = armCheckPath();
    if (access(bin.c_str(), X_OK) != 0)
        GTEST_SKIP() << bin << " is missing: `make arm` builds it";

    std::string tmp = ts::makeTempDir("qemu");
    pu::FakeDev d;
    ASSERT_TRUE(pu::makeFakeDev(tmp + "/dev", &d));
    std::string out = tmp + "/out.txt", err = tmp + "/err.txt", trace = tmp + "/strace.txt";
    pid_t pid = pu::spawn(plus(pu::consoleQemu(tmp, trace), {bin, "--frames", "300"}), {}, out, err);
    ASSERT_GT(pid, 0);
    if (!pu::waitForText(out, "check: first frame shown", 30000, pid)) {
        pu::stop(pid);
        FAIL() << "no frame shown: " << pu::readText(out) << pu::readText(trace).substr(0, 2000);
    }
    EXPECT_EQ(pressStartAndWait(pid, d), 0) << pu::readText(out);

    std::string text = pu::readText(out);
    EXPECT_NE(text.find("check: screen open, buttons open, sound open"), std::string::npos) << text;
    EXPECT_NE(text.find("check: buttons 0x00100"), std::string::npos) << text;
    long frames = framesShown(text);
    EXPECT_LT(frames, 300) << "start was not seen";
    expectLastFrame(d.fb, frames);
    expectTone(d.dsp, text, 3 * 32768);

    /* the device calls as the program made them, in order (qemu shows the
     * old mmap's arguments as the registers, not the block they are in;
     * the frame in the file shows the mapping) */
    std::string st = pu::readText(trace);
    pu::expectInOrder(st, {"open(\"/dev/fb0\",O_RDWR) = ", "mmap(", "open(\"/dev/GPIO\",O_RDWR|O_NONBLOCK) = ",
                       "open(\"/dev/dsp\",O_WRONLY) = ", "SNDCTL_DSP_SPEED,22050)", "SNDCTL_DSP_SETFMT,16)",
                       "SNDCTL_DSP_STEREO,1)", "SNDCTL_DSP_SETFRAGMENT,131087)", "SNDCTL_DSP_NONBLOCK)",
                       "chdir(\"/usr/gp2x\")", "execve(\"/usr/gp2x/gp2xmenu\",{\"/usr/gp2x/gp2xmenu\",NULL})",
                       "exit(0)"});
    expectOnly24Calls(st);
    if (!HasFailure())
        ts::removeTree(tmp);
}

TEST(Gp2xUnderQemu, MissingDevicesSkipTheLoopButStillHandOver)
{
    if (!ts::haveTool("qemu-arm"))
        GTEST_SKIP() << "qemu-arm (Debian qemu-user) is not installed";
    std::string bin = armCheckPath();
    if (access(bin.c_str(), X_OK) != 0)
        GTEST_SKIP() << bin << " is missing: `make arm` builds it";
    /* qemu falls back to the host's own file when the fake root lacks one */
    for (const char* dev : {"/dev/fb0", "/dev/GPIO", "/dev/dsp"})
        if (access(dev, F_OK) == 0)
            GTEST_SKIP() << "this machine has a real " << dev;

    std::string tmp = ts::makeTempDir("qemu-nodev");
    std::string out = tmp + "/out.txt", err = tmp + "/err.txt", trace = tmp + "/strace.txt";
    EXPECT_EQ(pu::run(plus(pu::consoleQemu(tmp, trace), {bin}), {}, out, err, 30000), 0) << pu::readText(err);
    std::string text = pu::readText(out);
    EXPECT_NE(text.find("check: screen failed, buttons failed, sound failed"), std::string::npos) << text;
    EXPECT_EQ(framesShown(text), 0);
    std::string st = pu::readText(trace);
    pu::expectInOrder(st, {"chdir(\"/usr/gp2x\")", "execve(\"/usr/gp2x/gp2xmenu\"", "exit(0)"});
    expectOnly24Calls(st);
    if (!HasFailure())
        ts::removeTree(tmp);
}

/* What fstat says under qemu, which lays out the kernel's stat64 for a
 * program of the old interface on its own, must be what the host says of the
 * same file (in the C library's field widths: 16-bit inode numbers and ids). */
TEST(Gp2xUnderQemu, FstatSeesWhatTheHostSees)
{
    if (!ts::haveTool("qemu-arm"))
        GTEST_SKIP() << "qemu-arm (Debian qemu-user) is not installed";
    std::string bin = armCheckPath();
    if (access(bin.c_str(), X_OK) != 0)
        GTEST_SKIP() << bin << " is missing: `make arm` builds it";
    std::string tmp = ts::makeTempDir("qemu-stat");
    std::string file = tmp + "/file";
    ASSERT_TRUE(ts::writeFile(file, std::vector<uint8_t>(70001, 7)));
    ASSERT_EQ(link(file.c_str(), (tmp + "/second-name").c_str()), 0);
    for (const std::string& path : {file, tmp, std::string("/dev/null")}) {
        SCOPED_TRACE(path);
        struct stat h;
        ASSERT_EQ(stat(path.c_str(), &h), 0);
        char want[256];
        snprintf(want, sizeof want,
                 "check: stat mode %o nlink %u uid %u gid %u ino %llu size %lld blksize %ld blocks %lld mtime %lld\n",
                 (unsigned)h.st_mode, (unsigned)h.st_nlink, (unsigned)(h.st_uid & 0xFFFF),
                 (unsigned)(h.st_gid & 0xFFFF), (unsigned long long)(h.st_ino & 0xFFFF), (long long)h.st_size,
                 (long)h.st_blksize, (long long)h.st_blocks, (long long)h.st_mtim.tv_sec);
        std::string out = tmp + "/out.txt", err = tmp + "/err.txt", trace = tmp + "/strace.txt";
        EXPECT_EQ(pu::run(plus(pu::consoleQemu(tmp + "/none", trace), {bin, "--stat", path}), {}, out, err, 30000), 0);
        EXPECT_EQ(pu::readText(out), want);
        EXPECT_NE(pu::readText(trace).find("fstat64("), std::string::npos);
    }
    if (!HasFailure())
        ts::removeTree(tmp);
}

TEST(Gp2xNative, RunsOnFakeDevicesMountedOverDevAndStartsTheMenu)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to mount the fake devices over /dev";
    if (!ts::haveTool("unshare"))
        GTEST_SKIP() << "unshare (util-linux) is not installed";

    std::string tmp = ts::makeTempDir("native");
    pu::FakeDev d;
    ASSERT_TRUE(pu::makeFakeDev(tmp + "/dev", &d));
    /* a stand-in menu program in an overlay over /usr, seen only inside the
     * namespace: it notes the directory it was started in */
    std::string upper = tmp + "/upper", work = tmp + "/work", marker = tmp + "/menu-ran";
    mkdir(upper.c_str(), 0755);
    mkdir((upper + "/gp2x").c_str(), 0755);
    mkdir(work.c_str(), 0755);
    ASSERT_TRUE(ts::writeText(upper + "/gp2x/gp2xmenu", "#!/bin/sh\npwd > " + marker + "\n"));
    chmod((upper + "/gp2x/gp2xmenu").c_str(), 0755);

    std::string out = tmp + "/out.txt", err = tmp + "/err.txt";
    /* exit code 90: no bind mount here (the namespace itself failing makes
     * unshare say so and exit 1) */
    std::string script = "mount --bind \"$1\" /dev || exit 90\n"
                         "mount -t overlay overlay -o lowerdir=/usr,upperdir=\"$2\",workdir=\"$3\" /usr "
                         "|| echo 'no overlay over /usr' >&2\n"
                         "exec \"$4\" --frames 300\n";
    pid_t pid = pu::spawn({"unshare", "-m", "sh", "-c", script, "sh", d.dir, upper, work, ORVEL_CHECK_GP2X}, {},
                          out, err);
    ASSERT_GT(pid, 0);
    if (!pu::waitForText(out, "check: first frame shown", 30000, pid)) {
        int early = pu::waitExit(pid, 5000);
        if (early < 0)
            pu::stop(pid);
        if (early == 90 || (early == 1 && pu::readText(err).find("unshare") != std::string::npos))
            GTEST_SKIP() << "no private mount namespace with bind mounts here: " << pu::readText(err);
        FAIL() << "no frame shown (exit " << early << "): " << pu::readText(out) << pu::readText(err);
    }
    int code = pressStartAndWait(pid, d);
    std::string errText = pu::readText(err);
    std::string text = pu::readText(out);
    EXPECT_EQ(code, 0) << text << errText;
    EXPECT_NE(text.find("check: screen open, buttons open, sound open"), std::string::npos) << text;
    long frames = framesShown(text);
    EXPECT_LT(frames, 300) << "start was not seen";
    expectLastFrame(d.fb, frames);
    expectTone(d.dsp, text, 3 * 32768);
    if (errText.find("no overlay") == std::string::npos)
        EXPECT_EQ(pu::readText(marker), "/usr/gp2x\n") << "the menu program was not started in /usr/gp2x";
    else
        std::cout << "note: no overlay over /usr here, the hand-over itself was not seen\n";
    if (!HasFailure())
        ts::removeTree(tmp);
}

} // namespace
