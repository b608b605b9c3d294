/* The handheld's system layer and program, checked on the host: the open
 * flags and the stat64 record against the kernel's and the C library's own
 * headers, the system-call numbers against the kernel's table, the clock
 * over a wall clock that is set back, the OSS request numbers, and the
 * cross-built programs' instructions and build attributes. */
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <linux/soundcard.h>
#include <map>
#include <regex>
#include <sstream>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/gp2x/gp2x.h"
#include "platform/gp2x/linux24/lx_abi.h"
#include "tests/platform/linux24_calls.h"
#include "tests/platform/proc_util.h"
#include "tests/support/test_support.h"

namespace {

const std::string kArmBuild = ORVEL_ARM_BUILD_DIR;

/* The #define NAME VALUE lines of C headers, read as text (the headers are
 * for other machines and cannot be included here). */
struct Defines {
    std::map<std::string, std::string> text;

    /* Adds the file's definitions; a name already defined keeps its first
     * value (the headers define with #ifndef). False when it is missing. */
    bool read(const std::string& path)
    {
        std::ifstream in(path);
        if (!in)
            return false;
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream ss(line);
            std::string hash, name;
            ss >> hash >> name;
            if (hash != "#define" || name.find('(') != std::string::npos)
                continue;
            std::string value;
            std::getline(ss, value);
            value = value.substr(0, value.find("/*"));
            text.emplace(name, value);
        }
        return true;
    }

    /* The value of a name: numbers (octal, hex, decimal), names, and the
     * | and + of both, with parentheses. -1 when it cannot be worked out. */
    long long value(const std::string& name, int depth = 0) const
    {
        auto it = text.find(name);
        return it == text.end() || depth > 8 ? -1 : eval(it->second, depth + 1);
    }

    long long eval(const std::string& expr, int depth) const
    {
        long long acc = 0;
        char op = '|';
        size_t i = 0;
        while (i < expr.size()) {
            char c = expr[i];
            if (isspace((unsigned char)c) || c == '(' || c == ')') {
                i++;
                continue;
            }
            if (c == '|' || c == '+') {
                op = c;
                i++;
                continue;
            }
            size_t j = i;
            while (j < expr.size() && (isalnum((unsigned char)expr[j]) || expr[j] == '_'))
                j++;
            if (j == i)
                return -1;
            std::string tok = expr.substr(i, j - i);
            long long v = isdigit((unsigned char)tok[0]) ? strtoll(tok.c_str(), nullptr, 0) : value(tok, depth);
            if (v < 0)
                return -1;
            acc = op == '|' ? (acc | v) : (acc + v);
            i = j;
        }
        return acc;
    }
};

/* ---- Open flags ----------------------------------------------------------- */

TEST(Linux24Abi, OpenFlagsBecomeTheKernelsOwn)
{
    Defines lib, kernel;
    if (!lib.read("/usr/lib/arm-none-eabi/include/sys/_default_fcntl.h") ||
        !lib.read("/usr/lib/arm-none-eabi/include/sys/fcntl.h"))
        GTEST_SKIP() << "newlib's headers are missing (Debian libnewlib-arm-none-eabi)";
    /* ARM's own values first, then the generic ones it does not override */
    if (!kernel.read("/usr/arm-linux-gnueabi/include/asm/fcntl.h") ||
        !kernel.read("/usr/arm-linux-gnueabi/include/asm-generic/fcntl.h"))
        GTEST_SKIP() << "the kernel's ARM headers are missing (Debian linux-libc-dev-armel-cross)";

    /* each flag alone and with each access mode */
    for (const char* flag : {"O_CREAT", "O_EXCL", "O_NOCTTY", "O_TRUNC", "O_APPEND", "O_NONBLOCK", "O_SYNC",
                             "O_DIRECT", "O_DIRECTORY", "O_NOFOLLOW", "O_CLOEXEC"})
        for (const char* mode : {"O_RDONLY", "O_WRONLY", "O_RDWR"}) {
            long long from = lib.value(flag) | lib.value(mode);
            long long want = kernel.value(flag) | kernel.value(mode);
            ASSERT_GE(lib.value(flag), 0) << flag;
            ASSERT_GE(kernel.value(flag), 0) << flag;
            EXPECT_EQ(lx_openFlags((uint32_t)from), (uint32_t)want) << flag << " | " << mode;
        }
    /* fopen's "rb" and "wb": Linux has no binary mode, and the library's
     * O_BINARY is the ARM kernel's O_DIRECT */
    EXPECT_EQ(lib.value("O_BINARY"), kernel.value("O_DIRECT"));
    EXPECT_EQ(lx_openFlags((uint32_t)lib.value("O_BINARY")), 0u);
    long long wb = lib.value("O_WRONLY") | lib.value("O_CREAT") | lib.value("O_TRUNC") | lib.value("O_BINARY");
    EXPECT_EQ(lx_openFlags((uint32_t)wb),
              (uint32_t)(kernel.value("O_WRONLY") | kernel.value("O_CREAT") | kernel.value("O_TRUNC")));
}

/* ---- File status -------------------------------------------------------- */

/* The kernel's struct stat64 (Debian linux-libc-dev, arch/arm asm/stat.h):
 * st_dev (u64), __pad0[4], __st_ino (u32), st_mode, st_nlink, st_uid,
 * st_gid (u32 each), st_rdev (u64), __pad3[4], st_size (s64), st_blksize
 * (u32), st_blocks (u64), then time, nsec pairs for a, m and c (u32 each),
 * st_ino (u64); a program of the old interface gets it with 64-bit members
 * on 4-byte boundaries (no padding before st_size and st_blocks). */
struct KernelStat {
    std::vector<uint8_t> b;
    void u32(uint32_t v) { ts::put32le(b, v); }
    void u64(uint64_t v) { u32((uint32_t)v), u32((uint32_t)(v >> 32)); }
};

TEST(Linux24Abi, Stat64RecordFillsTheLibrarysStat)
{
    KernelStat k;
    k.u64(0x0803);          /* st_dev */
    k.u32(0xAAAAAAAA);      /* __pad0 */
    k.u32(0x23456789);      /* __st_ino: the low half only */
    k.u32(0100644);         /* st_mode: a regular file, rw-r--r-- */
    k.u32(3);               /* st_nlink */
    k.u32(1000);            /* st_uid */
    k.u32(100);             /* st_gid */
    k.u64(0x0A0B);          /* st_rdev */
    k.u32(0xBBBBBBBB);      /* __pad3 */
    k.u64(0x123456789ull);  /* st_size: above 4 GiB */
    k.u32(4096);            /* st_blksize */
    k.u64(0x100000010ull);  /* st_blocks */
    k.u32(1000000001), k.u32(11); /* st_atime, nsec */
    k.u32(1000000002), k.u32(22); /* st_mtime, nsec */
    k.u32(1000000003), k.u32(33); /* st_ctime, nsec */
    k.u64(0x123456789ull);  /* st_ino */
    ASSERT_EQ(k.b.size(), (size_t)LX_STAT64_SIZE);

    struct stat st;
    memset(&st, 0x5A, sizeof st);
    lx_statFromKernel(k.b.data(), &st);
    EXPECT_EQ(st.st_dev, 0x0803u);
    EXPECT_EQ(st.st_ino, 0x123456789u);
    EXPECT_EQ(st.st_mode, 0100644u);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_nlink, 3u);
    EXPECT_EQ(st.st_uid, 1000u);
    EXPECT_EQ(st.st_gid, 100u);
    EXPECT_EQ(st.st_rdev, 0x0A0Bu);
    EXPECT_EQ(st.st_size, 0x123456789ll);
    EXPECT_EQ(st.st_blksize, 4096);
    EXPECT_EQ(st.st_blocks, 0x100000010ll);
    EXPECT_EQ(st.st_atim.tv_sec, 1000000001);
    EXPECT_EQ(st.st_atim.tv_nsec, 11);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000002);
    EXPECT_EQ(st.st_mtim.tv_nsec, 22);
    EXPECT_EQ(st.st_ctim.tv_sec, 1000000003);
    EXPECT_EQ(st.st_ctim.tv_nsec, 33);
}

/* ---- System-call numbers -------------------------------------------------- */

TEST(Linux24Abi, CallNumbersAreTheOldInterfacesOwn)
{
    Defines d;
    if (!d.read("/usr/arm-linux-gnueabi/include/asm/unistd-oabi.h"))
        GTEST_SKIP() << "the kernel's ARM headers are missing (Debian linux-libc-dev-armel-cross)";
    d.text["__NR_SYSCALL_BASE"] = "0"; /* numbers relative to the interface's base */
    const struct {
        const char* name;
        unsigned nr;
    } layer[] = {
        {"exit", LX_NR_EXIT},       {"read", LX_NR_READ},       {"write", LX_NR_WRITE},
        {"open", LX_NR_OPEN},       {"close", LX_NR_CLOSE},     {"execve", LX_NR_EXECVE},
        {"chdir", LX_NR_CHDIR},     {"lseek", LX_NR_LSEEK},     {"getpid", LX_NR_GETPID},
        {"kill", LX_NR_KILL},       {"brk", LX_NR_BRK},         {"ioctl", LX_NR_IOCTL},
        {"gettimeofday", LX_NR_GETTIMEOFDAY}, {"readlink", LX_NR_READLINK}, {"mmap", LX_NR_OLD_MMAP},
        {"munmap", LX_NR_MUNMAP},   {"nanosleep", LX_NR_NANOSLEEP}, {"fstat64", LX_NR_FSTAT64},
    };
    for (const auto& c : layer) {
        EXPECT_EQ(d.value(std::string("__NR_") + c.name), (long long)c.nr) << "the layer's " << c.name;
        EXPECT_NE(linux24Call(c.name), nullptr) << c.name << " is not a 2.4 call";
    }
    for (const Linux24Call& c : kLinux24Calls)
        EXPECT_EQ(d.value(std::string("__NR_") + c.name), (long long)c.nr) << "the test's list: " << c.name;
    EXPECT_EQ(LX_SWI_BASE, 0x900000u);
}

/* ---- The clock ------------------------------------------------------------ */

TEST(Gp2xClock, CountsFromTheFirstReadingAndNeverRunsBackwards)
{
    const struct {
        long long wallUs;
        int ms;
    } steps[] = {
        {5000000000ll, 0},   /* the first reading is 0, wherever the wall clock is */
        {5000000999ll, 0},
        {5000001000ll, 1},
        {5000500000ll, 500},
        {5000200000ll, 500}, /* set back 300 ms: the clock holds */
        {5000200500ll, 500},
        {5000201000ll, 501}, /* and goes on from the new reading */
        {5060201000ll, 60501},
    };
    Gp2xClock c = {0, 0, 0};
    for (const auto& s : steps)
        EXPECT_EQ(gp2x_clockAdvance(&c, s.wallUs), s.ms) << "at " << s.wallUs;
}

/* ---- OSS requests --------------------------------------------------------- */

TEST(Gp2xOss, RequestNumbersFollowTheIoctlEncoding)
{
    EXPECT_EQ(GP2X_DSP_SPEED, (unsigned long)_IOWR('P', 2, int));
    EXPECT_EQ(GP2X_DSP_STEREO, (unsigned long)_IOWR('P', 3, int));
    EXPECT_EQ(GP2X_DSP_SETFMT, (unsigned long)_IOWR('P', 5, int));
    EXPECT_EQ(GP2X_DSP_SETFRAGMENT, (unsigned long)_IOWR('P', 10, int));
    EXPECT_EQ(GP2X_DSP_NONBLOCK, (unsigned long)_IO('P', 14));
    /* and the system's own names for them */
    EXPECT_EQ(GP2X_DSP_SPEED, (unsigned long)SNDCTL_DSP_SPEED);
    EXPECT_EQ(GP2X_DSP_STEREO, (unsigned long)SNDCTL_DSP_STEREO);
    EXPECT_EQ(GP2X_DSP_SETFMT, (unsigned long)SNDCTL_DSP_SETFMT);
    EXPECT_EQ(GP2X_DSP_SETFRAGMENT, (unsigned long)SNDCTL_DSP_SETFRAGMENT);
    EXPECT_EQ(GP2X_DSP_NONBLOCK, (unsigned long)SNDCTL_DSP_NONBLOCK);
    EXPECT_EQ(GP2X_AFMT_S16_LE, AFMT_S16_LE);
    EXPECT_EQ(GP2X_FRAGMENTS, 2 << 16 | 15); /* 2 fragments of 2^15 bytes */
}

/* ---- The cross-built programs ----------------------------------------------- */

std::string toolOutput(const std::vector<std::string>& argv, const std::string& tmp)
{
    std::string out = tmp + "/tool.txt", err = tmp + "/tool.err";
    EXPECT_EQ(pu::run(argv, {}, out, err, 60000), 0) << argv[0] << ": " << pu::readText(err);
    return pu::readText(out);
}

/* An ARMv4T core has no clz, ldrd/strd, blx, pld, no v5 DSP or saturating
 * arithmetic, no coprocessor-2 forms, no VFP; and the console's kernel takes
 * system calls only through the old interface (swi 0x900000 + number).
 * The exception unwinder of the compiler's run-time library carries helpers
 * that save and restore VFP and iWMMXt registers; it calls them only for a
 * frame whose unwind table says it saved such registers, which no frame of
 * a soft-float ARMv4T program does. They are the one exception. */
TEST(HandheldBinary, ArmV4TSoftFloatWithOnlyOldInterfaceCalls)
{
    for (const char* tool : {"arm-none-eabi-objdump", "readelf"})
        if (!ts::haveTool(tool))
            GTEST_SKIP() << tool << " is not installed (Debian binutils-arm-none-eabi, binutils)";
    std::string tmp = ts::makeTempDir("armbin");
    for (const char* name : {"Orvel_gp2x", "platform_check_gp2x"}) {
        SCOPED_TRACE(name);
        std::string bin = kArmBuild + "/" + name;
        if (access(bin.c_str(), R_OK) != 0)
            GTEST_SKIP() << bin << " is missing: `make arm` builds it";

        std::string attrs = toolOutput({"readelf", "-A", bin}, tmp);
        EXPECT_NE(attrs.find("Tag_CPU_arch: v4T\n"), std::string::npos) << attrs;
        for (const char* fp : {"Tag_FP_arch", "Tag_VFP", "Tag_Advanced_SIMD", "Tag_MPextension"})
            EXPECT_EQ(attrs.find(fp), std::string::npos) << attrs;
        EXPECT_NE(toolOutput({"readelf", "-h", bin}, tmp).find("soft-float ABI"), std::string::npos);

        std::istringstream dis(toolOutput({"arm-none-eabi-objdump", "-d", "--no-show-raw-insn", bin}, tmp));
        /* (smull, smlal, umull and umlal are ARMv4's own) */
        const std::regex v5("^(blx|clz|ldrd|strd|pld|bkpt|qd?(add|sub)|smla[bt][bt]|smlaw[bt]|smlal[bt][bt]|"
                            "smul[bt][bt]|smulw[bt]|mcrr|mrrc|(ldc|stc|mcr|mrc|cdp)2)");
        const std::regex unwinderHelper("^[0-9a-f]+ <__gnu_Unwind_(Save|Restore)_(VFP|WMMX)[A-Za-z0-9_]*>:");
        std::string line;
        int calls = 0, bad = 0;
        bool skip = false; /* in one of the unwinder's helpers */
        while (std::getline(dis, line)) {
            /* "00008720 <_read>:" starts a function */
            if (!line.empty() && isxdigit((unsigned char)line[0]))
                skip = std::regex_search(line, unwinderHelper);
            /* "    8720:\tsvc\t0x00900005" */
            size_t tab = line.find(":\t");
            if (skip || tab == std::string::npos || line[0] != ' ')
                continue;
            std::istringstream ins(line.substr(tab + 2));
            std::string op, arg;
            ins >> op >> arg;
            if (std::regex_search(op, v5) && bad++ < 10)
                ADD_FAILURE() << "not ARMv4T: " << line;
            if (op[0] == 'v' && bad++ < 10)
                ADD_FAILURE() << "VFP: " << line;
            if (op.rfind("svc", 0) == 0 || op.rfind("swi", 0) == 0) {
                calls++;
                unsigned long n = strtoul(arg.c_str(), nullptr, 0);
                if (n < LX_SWI_BASE || !linux24Call((unsigned)(n - LX_SWI_BASE)))
                    ADD_FAILURE() << "not an old-interface call of the 2.4 kernel: " << line;
            }
        }
        EXPECT_GT(calls, 10) << "no system calls found: is this the program?";
    }
    if (!HasFailure())
        ts::removeTree(tmp);
}

} // namespace
