/*
 * System calls the console's Linux 2.4 ARM kernel has (the ones a C program
 * may plausibly make), by the name qemu-arm -strace prints and the number in
 * the kernel's old interface (swi 0x900000 + number). Calls of later kernels
 * are left out on purpose: exit_group (248), clock_gettime (263), openat,
 * set_tid_address, set_robust_list, getrandom, statx, ugetrlimit.
 */
#ifndef ORVEL_LINUX24_CALLS_H
#define ORVEL_LINUX24_CALLS_H

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

struct Linux24Call {
    const char* name;
    unsigned nr;
};

inline constexpr Linux24Call kLinux24Calls[] = {
    {"exit", 1},          {"fork", 2},        {"read", 3},          {"write", 4},       {"open", 5},
    {"close", 6},         {"creat", 8},       {"unlink", 10},       {"execve", 11},     {"chdir", 12},
    {"time", 13},         {"lseek", 19},      {"getpid", 20},       {"access", 33},     {"kill", 37},
    {"rename", 38},       {"mkdir", 39},      {"rmdir", 40},        {"dup", 41},        {"pipe", 42},
    {"brk", 45},          {"ioctl", 54},      {"fcntl", 55},        {"dup2", 63},       {"getppid", 64},
    {"gettimeofday", 78}, {"readlink", 85},   {"mmap", 90},         {"munmap", 91},     {"stat", 106},
    {"lstat", 107},       {"fstat", 108},     {"wait4", 114},       {"uname", 122},     {"mprotect", 125},
    {"getdents", 141},    {"_newselect", 142}, {"readv", 145},      {"writev", 146},    {"nanosleep", 162},
    {"poll", 168},        {"rt_sigaction", 174}, {"rt_sigprocmask", 175}, {"getcwd", 183}, {"vfork", 190},
    {"mmap2", 192},       {"stat64", 195},    {"lstat64", 196},     {"fstat64", 197},   {"getdents64", 217},
    {"fcntl64", 221},
};

/* The entry for a name, or null when the kernel has no such call. */
inline const Linux24Call* linux24Call(const std::string& name)
{
    for (const Linux24Call& c : kLinux24Calls)
        if (name == c.name)
            return &c;
    return nullptr;
}

inline const Linux24Call* linux24Call(unsigned nr)
{
    for (const Linux24Call& c : kLinux24Calls)
        if (nr == c.nr)
            return &c;
    return nullptr;
}

/* The system calls of a qemu-arm -strace log, in order, by name: each line
 * "PID name(arguments) = result" gives one, a line "PID Unknown syscall N"
 * the name "Unknown"; other lines are skipped. */
inline std::vector<std::string> stracedCalls(const std::string& log)
{
    std::vector<std::string> calls;
    size_t at = 0;
    while (at < log.size()) {
        size_t end = log.find('\n', at);
        if (end == std::string::npos)
            end = log.size();
        std::string line = log.substr(at, end - at);
        at = end + 1;
        size_t i = 0;
        while (i < line.size() && isdigit((unsigned char)line[i]))
            i++;
        if (i == 0 || i + 1 >= line.size() || line[i] != ' ')
            continue;
        /* up to the parenthesis; qemu prints a call it does not know as
         * "PID Unknown syscall N" */
        size_t stop = line.find_first_of("( ", i + 1);
        calls.push_back(line.substr(i + 1, stop == std::string::npos ? std::string::npos : stop - i - 1));
    }
    return calls;
}

/* Each call of the log that is not in kLinux24Calls, once. */
inline std::vector<std::string> callsNot24(const std::string& log)
{
    std::vector<std::string> bad;
    for (const std::string& c : stracedCalls(log))
        if (!linux24Call(c) && std::find(bad.begin(), bad.end(), c) == bad.end())
            bad.push_back(c);
    return bad;
}

#endif
