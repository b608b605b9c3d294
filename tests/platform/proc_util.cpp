#include "tests/platform/proc_util.h"

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

bool haveTool(const std::string& name)
{
    const char* path = getenv("PATH");
    std::stringstream ss(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(ss, dir, ':')) {
        std::string p = (dir.empty() ? "." : dir) + "/" + name;
        if (access(p.c_str(), X_OK) == 0)
            return true;
    }
    return false;
}

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

bool startX(XServer* x, std::string* why)
{
    if (!haveTool("Xvfb")) {
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

} // namespace pu
