#include "tests/platform/proc_util.h"
#include "tests/support/test_support.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace pu {

pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
            const std::string& outPath, const std::string& errPath)
{
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    fflush(stdout);
    fflush(stderr);
    pid_t pid = fork();
    if (pid != 0)
        return pid;
    /* child: only async-signal-safe work until exec, plus setenv */
    int in = open("/dev/null", O_RDONLY);
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0)
        _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    setpgid(0, 0);
    for (const std::string& e : env) {
        size_t eq = e.find('=');
        if (eq == std::string::npos)
            unsetenv(e.c_str());
        else
            setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
    }
    execvp(args[0], args.data());
    _exit(127);
}

int waitExit(pid_t pid, int timeoutMs)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            if (WIFEXITED(status))
                return WEXITSTATUS(status);
            if (WIFSIGNALED(status))
                return 128 + WTERMSIG(status);
        }
        if (r < 0 && errno != EINTR)
            return -1;
        if (std::chrono::steady_clock::now() >= end)
            return -1;
        sleepMs(10);
    }
}

void stop(pid_t pid)
{
    if (pid <= 0)
        return;
    if (kill(pid, SIGTERM) != 0)
        return;
    if (waitExit(pid, 3000) >= 0)
        return;
    kill(pid, SIGKILL);
    waitExit(pid, 3000);
}

int run(const std::vector<std::string>& argv, const std::vector<std::string>& env,
        const std::string& outPath, const std::string& errPath, int timeoutMs)
{
    pid_t pid = spawn(argv, env, outPath, errPath);
    if (pid < 0)
        return -1;
    int r = waitExit(pid, timeoutMs);
    if (r < 0)
        stop(pid);
    return r;
}

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

/* True once the child has ended; it is not reaped here. */
static bool ended(pid_t pid)
{
    if (pid < 0)
        return false;
    /* WNOWAIT: leave the child for the caller's waitExit */
    siginfo_t info;
    memset(&info, 0, sizeof info);
    return waitid(P_PID, (id_t)pid, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
}

bool waitForText(const std::string& path, const std::string& text, int timeoutMs, pid_t pid)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (readText(path).find(text) != std::string::npos)
            return true;
        if (ended(pid))
            return readText(path).find(text) != std::string::npos;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        sleepMs(20);
    }
}

bool waitForSize(const std::string& path, long long bytes, int timeoutMs, pid_t pid)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        struct stat st;
        if (stat(path.c_str(), &st) == 0 && st.st_size >= bytes)
            return true;
        if (ended(pid) || std::chrono::steady_clock::now() >= end)
            return false;
        sleepMs(2);
    }
}

bool pressButtons(const std::string& fifo, uint32_t word)
{
    int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd < 0)
        return false;
    unsigned char b[4] = {(unsigned char)word, (unsigned char)(word >> 8), (unsigned char)(word >> 16),
                          (unsigned char)(word >> 24)};
    bool ok = write(fd, b, 4) == 4;
    close(fd);
    return ok;
}

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool makeFakeDev(const std::string& dir, FakeDev* d)
{
    *d = {dir, dir + "/fb0", dir + "/GPIO", dir + "/dsp"};
    return mkdir(dir.c_str(), 0755) == 0 && ts::writeFile(d->fb, std::vector<uint8_t>(320 * 240 * 2, 0)) &&
           mkfifo(d->gpio.c_str(), 0644) == 0 && ts::writeFile(d->dsp, {});
}

std::vector<std::string> consoleQemu(const std::string& root, const std::string& trace)
{
    return {"qemu-arm", "-cpu", "ti925t", "-r", "2.4.26", "-L", root, "-strace", "-D", trace};
}

bool startX(XServer* x, std::string* why)
{
    if (!ts::haveTool("Xvfb")) {
        *why = "Xvfb is not installed";
        return false;
    }
    int fds[2];
    if (pipe(fds) != 0) {
        *why = "no pipe";
        return false;
    }
    fflush(stdout);
    fflush(stderr);
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        setpgid(0, 0);
        std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "800x600x24", "-nolisten", "tcp",
               "-noreset", (char*)nullptr);
        _exit(127);
    }
    close(fds[1]);
    std::string num;
    struct pollfd p = {fds[0], POLLIN, 0};
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < end) {
        if (poll(&p, 1, 100) > 0) {
            char c;
            ssize_t n = read(fds[0], &c, 1);
            if (n <= 0)
                break;
            if (c == '\n')
                break;
            num += c;
        }
    }
    close(fds[0]);
    if (num.empty()) {
        stop(pid);
        *why = "Xvfb did not start";
        return false;
    }
    x->pid = pid;
    x->display = ":" + num;
    return true;
}

void stopX(XServer* x)
{
    stop(x->pid);
    x->pid = -1;
}

static uint32_t be32(const std::vector<uint8_t>& b, size_t at)
{
    return (uint32_t)b[at] << 24 | (uint32_t)b[at + 1] << 16 | (uint32_t)b[at + 2] << 8 | b[at + 3];
}

/* Scales a masked channel to 8 bits. */
static uint8_t channel(uint32_t pixel, uint32_t mask)
{
    if (!mask)
        return 0;
    int shift = 0, bits = 0;
    while (!(mask >> shift & 1))
        shift++;
    while (mask >> (shift + bits) & 1)
        bits++;
    uint32_t v = (pixel & mask) >> shift;
    return (uint8_t)(bits >= 8 ? v >> (bits - 8) : v << (8 - bits));
}

/* Reads a ZPixmap xwd dump of 24 or 32 bits a pixel; false when it is not one. */
bool readXwd(const std::string& path, Shot* s)
{
    std::vector<uint8_t> b = ts::readFile(path);
    if (b.size() < 100)
        return false;
    uint32_t headerSize = be32(b, 0), format = be32(b, 8), width = be32(b, 16), height = be32(b, 20);
    uint32_t byteOrder = be32(b, 28), bpp = be32(b, 44), bpl = be32(b, 48);
    uint32_t rmask = be32(b, 56), gmask = be32(b, 60), bmask = be32(b, 64), ncolors = be32(b, 76);
    if (format != 2 || (bpp != 32 && bpp != 24) || width > 4096 || height > 4096)
        return false;
    size_t data = (size_t)headerSize + (size_t)ncolors * 12;
    if (b.size() < data + (size_t)bpl * height)
        return false;
    s->w = (int)width;
    s->h = (int)height;
    s->rgb.resize((size_t)width * height * 3);
    for (uint32_t y = 0; y < height; y++)
        for (uint32_t x = 0; x < width; x++) {
            const uint8_t* p = &b[data + (size_t)y * bpl + (size_t)x * (bpp / 8)];
            uint32_t v = 0;
            for (uint32_t k = 0; k < bpp / 8; k++)
                v |= (uint32_t)p[k] << (byteOrder == 0 ? 8 * k : 8 * (bpp / 8 - 1 - k));
            uint8_t* o = &s->rgb[((size_t)y * width + x) * 3];
            o[0] = channel(v, rmask);
            o[1] = channel(v, gmask);
            o[2] = channel(v, bmask);
        }
    return true;
}

void XTest::setUpX(const char* tag)
{
    for (const char* tool : {"xdotool", "xwd"})
        if (!ts::haveTool(tool))
            GTEST_SKIP() << tool << " is not installed (Debian xdotool, x11-apps)";
    std::string why;
    if (!startX(&x, &why))
        GTEST_SKIP() << why << " (Debian xvfb)";
    tmp = ts::makeTempDir(tag);
}

void XTest::TearDown()
{
    if (pid > 0)
        stop(pid);
    stopX(&x);
    if (!HasFailure() && !tmp.empty())
        ts::removeTree(tmp);
}

/* Every needle appears in the text, each after the one before. */
void expectInOrder(const std::string& text, const std::vector<std::string>& needles)
{
    size_t from = 0;
    for (const std::string& n : needles) {
        size_t at = text.find(n, from);
        ASSERT_NE(at, std::string::npos) << "missing, or out of order: " << n;
        from = at + n.size();
    }
}

} // namespace pu
