/*
 * Running the platform programs from a test: child processes with their
 * output in files, waits with time limits, a private X server, and the
 * fake devices of the handheld.
 */
#ifndef ORVEL_TESTS_PLATFORM_PROC_UTIL_H
#define ORVEL_TESTS_PLATFORM_PROC_UTIL_H

#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <sys/types.h>
#include <vector>

namespace pu {

/* Starts argv[0] (searched on PATH) with stdin from /dev/null and stdout and
 * stderr into the given files. env entries "KEY=VALUE" are set, bare "KEY"
 * entries are removed. Returns the pid, or -1. */
pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
            const std::string& outPath, const std::string& errPath);

/* Waits up to timeoutMs for the child to end. Returns its exit code, 128 +
 * signal when a signal ended it, or -1 on time-out (the child is left
 * running). */
int waitExit(pid_t pid, int timeoutMs);

/* Ends a child that is still running (SIGTERM, then SIGKILL) and reaps it. */
void stop(pid_t pid);

/* spawn + waitExit; a child still running at the limit is stopped and -1
 * returned. */
int run(const std::vector<std::string>& argv, const std::vector<std::string>& env,
        const std::string& outPath, const std::string& errPath, int timeoutMs);

/* The whole file as text ("" when missing). */
std::string readText(const std::string& path);

/* Polls the file until it contains `text`. Gives up after timeoutMs, or as
 * soon as child `pid` (when >= 0) has ended without writing it. */
bool waitForText(const std::string& path, const std::string& text, int timeoutMs, pid_t pid = -1);

/* Polls the file until it is at least `bytes` long. */
bool waitForSize(const std::string& path, long long bytes, int timeoutMs, pid_t pid = -1);

/* Writes one 32-bit button word (little-endian) into a FIFO that a program
 * reads as its button device. */
bool pressButtons(const std::string& fifo, uint32_t word);

/* Sleeps. */
void sleepMs(int ms);

/* ---- The handheld under qemu-arm -------------------------------------------
 * A folder standing in for /dev: a frame buffer file of one black frame to
 * read frames back from, a FIFO to press buttons through, an empty plain file
 * for the PCM. */
struct FakeDev {
    std::string dir, fb, gpio, dsp;
};

/* Makes the folder `dir` with the three devices. False when it cannot. */
bool makeFakeDev(const std::string& dir, FakeDev* d);

/* The start of a qemu-arm command line that stands in for the console: an
 * ARM920T's ARMv4T core (ti925t: no FPU and no ARMv5 instruction; either
 * would end the program with SIGILL), reporting kernel 2.4.26, files looked
 * up under `root` first (root/dev/... for the devices), and the system calls
 * logged into `trace` (a log of its own, which a program closing its stderr
 * does not end). The program and its arguments follow. */
std::vector<std::string> consoleQemu(const std::string& root, const std::string& trace);

/* A private X server (Xvfb) on a display of its own choosing. */
struct XServer {
    pid_t pid = -1;
    std::string display; /* ":N" */
};

/* Starts Xvfb with one 800x600 24-bit screen. Returns false with a reason. */
bool startX(XServer* x, std::string* why);
void stopX(XServer* x);

/* A test with a private X server, a scratch folder and at most one child
 * program. setUpX (from SetUp) skips the test with the reason when Xvfb,
 * xdotool or xwd is missing; TearDown stops the child if it still runs,
 * then the server, and removes the scratch folder unless the test failed. */
struct XTest : ::testing::Test {
    XServer x;
    std::string tmp; /* scratch folder, "" until setUpX */
    pid_t pid = -1;  /* the child program, -1 for none */
    void setUpX(const char* tag);
    void TearDown() override;
};

/* One window dump (xwd format) as 8-bit R, G, B per pixel. */
struct Shot {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
};

/* Reads a ZPixmap xwd dump of 24 or 32 bits a pixel; false when it is not one. */
bool readXwd(const std::string& path, Shot* s);

/* Every needle appears in the text, each after the one before (a gtest
 * failure names the first that does not). */
void expectInOrder(const std::string& text, const std::vector<std::string>& needles);

} // namespace pu

#endif
