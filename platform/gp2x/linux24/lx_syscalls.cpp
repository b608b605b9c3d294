/*
 * lx_syscalls: the C library's system calls over the console's Linux 2.4
 * kernel and its old system-call interface (see lx_abi.h). Handheld build
 * only: the C library (newlib) calls the _-prefixed stubs below for its
 * files, heap, clock and exit; the platform half calls ioctl, mmap, munmap,
 * chdir, execve and readlink directly.
 *
 * Every call returns what POSIX says it returns; a kernel failure sets errno
 * to the kernel's error number (1..34 are the C library's numbers too; the
 * larger ones, which nothing here reads, are passed on as they are).
 */
#include <cerrno>
#include <cstdarg>
#include <cstddef>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include "platform/gp2x/linux24/lx_abi.h"

/* Our numbers for the C library's flags and mode bits must be its own. */
static_assert(NL_O_APPEND == O_APPEND && NL_O_CREAT == O_CREAT && NL_O_TRUNC == O_TRUNC, "newlib flags");
static_assert(NL_O_EXCL == O_EXCL && NL_O_SYNC == O_SYNC && NL_O_NONBLOCK == O_NONBLOCK, "newlib flags");
static_assert(NL_O_NOCTTY == O_NOCTTY && NL_O_BINARY == O_BINARY && NL_O_CLOEXEC == O_CLOEXEC, "newlib flags");
static_assert(NL_O_DIRECT == O_DIRECT && NL_O_NOFOLLOW == O_NOFOLLOW && NL_O_DIRECTORY == O_DIRECTORY,
              "newlib flags");
static_assert(S_IFMT == 0170000 && S_IFREG == 0100000 && S_IFCHR == 0020000 && S_IFDIR == 0040000,
              "newlib's mode bits are the kernel's");

/* ---- Globals -------------------------------------------------------------
 * Lifetime: whole run. */
static char* heapEnd = nullptr; /* the program break as the C library sees it; null until the first _sbrk */

/* ---- The kernel call ---------------------------------------------------- */

/* One call through the old interface: system call Nr with up to six
 * arguments. Returns the kernel's raw result (-4095..-1 = -errno). */
template <unsigned Nr>
static inline long lx_call(long a0 = 0, long a1 = 0, long a2 = 0, long a3 = 0, long a4 = 0, long a5 = 0)
{
    register long r0 asm("r0") = a0;
    register long r1 asm("r1") = a1;
    register long r2 asm("r2") = a2;
    register long r3 asm("r3") = a3;
    register long r4 asm("r4") = a4;
    register long r5 asm("r5") = a5;
    /* the kernel keeps every register but r0, which carries the result */
    asm volatile("swi %[nr]"
                 : "+r"(r0)
                 : "r"(r1), "r"(r2), "r"(r3), "r"(r4), "r"(r5), [nr] "i"(LX_SWI_BASE + Nr)
                 : "memory");
    return r0;
}

/* True for a raw result that is a failure. */
static inline bool lx_failed(long r)
{
    return (unsigned long)r >= (unsigned long)-LX_MAX_ERRNO;
}

/* The POSIX result of a raw one: r itself, or -1 with errno set. */
static long lx_result(long r)
{
    if (lx_failed(r)) {
        errno = (int)-r;
        return -1;
    }
    return r;
}

/* The kernel's struct timeval and struct timespec: 32-bit fields (the C
 * library's time_t is 64-bit). */
struct LxTime {
    long sec;
    long frac; /* microseconds (timeval) or nanoseconds (timespec) */
};

extern "C" {

/* ---- What the C library calls ------------------------------------------- */

int _open(const char* path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    int mode = (flags & O_CREAT) ? va_arg(ap, int) : 0;
    va_end(ap);
    return (int)lx_result(lx_call<LX_NR_OPEN>((long)path, (long)lx_openFlags((uint32_t)flags), mode));
}

_READ_WRITE_RETURN_TYPE _read(int fd, void* buf, size_t n)
{
    return lx_result(lx_call<LX_NR_READ>(fd, (long)buf, (long)n));
}

_READ_WRITE_RETURN_TYPE _write(int fd, const void* buf, size_t n)
{
    return lx_result(lx_call<LX_NR_WRITE>(fd, (long)buf, (long)n));
}

int _close(int fd)
{
    return (int)lx_result(lx_call<LX_NR_CLOSE>(fd));
}

_off_t _lseek(int fd, _off_t offset, int whence)
{
    /* SEEK_SET, SEEK_CUR and SEEK_END are 0, 1, 2 on both sides */
    return lx_result(lx_call<LX_NR_LSEEK>(fd, offset, whence));
}

int _fstat(int fd, struct stat* st)
{
    alignas(8) unsigned char k[LX_STAT64_SIZE];
    long r = lx_call<LX_NR_FSTAT64>(fd, (long)k);
    if (lx_failed(r))
        return (int)lx_result(r);
    lx_statFromKernel(k, st);
    return 0;
}

int _isatty(int fd)
{
    /* a terminal answers TCGETS (0x5401) with its settings (36 bytes) */
    alignas(4) unsigned char termios[64];
    return lx_result(lx_call<LX_NR_IOCTL>(fd, 0x5401, (long)termios)) == 0 ? 1 : 0;
}

void* _sbrk(ptrdiff_t increment)
{
    if (!heapEnd)
        heapEnd = (char*)lx_call<LX_NR_BRK>(0); /* brk(0) tells the current break */
    if (increment == 0)
        return heapEnd;
    char* want = heapEnd + increment;
    /* brk answers the new break, or the old one when it cannot move it */
    if ((char*)lx_call<LX_NR_BRK>((long)want) != want) {
        errno = ENOMEM;
        return (void*)-1;
    }
    char* old = heapEnd;
    heapEnd = want;
    return old;
}

void _exit(int status)
{
    lx_call<LX_NR_EXIT>(status);
    for (;;) {
    }
}

int _kill(pid_t pid, int sig)
{
    /* the only signal the C library sends is SIGABRT (6 on both sides) */
    return (int)lx_result(lx_call<LX_NR_KILL>(pid, sig));
}

pid_t _getpid(void)
{
    return (pid_t)lx_call<LX_NR_GETPID>();
}

int _gettimeofday(struct timeval* tv, void* tz)
{
    LxTime k;
    /* struct timezone is two ints on both sides */
    long r = lx_result(lx_call<LX_NR_GETTIMEOFDAY>(tv ? (long)&k : 0, (long)tz));
    if (r == 0 && tv) {
        tv->tv_sec = k.sec;
        tv->tv_usec = k.frac;
    }
    return (int)r;
}

int getentropy(void* buf, size_t n)
{
    /* nothing in the program needs randomness from the system */
    (void)buf;
    (void)n;
    errno = ENOSYS;
    return -1;
}

/* ---- What the platform half calls --------------------------------------- */

int ioctl(int fd, unsigned long request, ...)
{
    va_list ap;
    va_start(ap, request);
    long arg = va_arg(ap, long);
    va_end(ap);
    return (int)lx_result(lx_call<LX_NR_IOCTL>(fd, (long)request, arg));
}

void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset)
{
    /* the old mmap takes its six arguments from memory; PROT_* and MAP_*
     * are the kernel's numbers (sys/mman.h of this layer) */
    unsigned long args[6] = {(unsigned long)addr, length, (unsigned long)prot, (unsigned long)flags,
                             (unsigned long)fd, (unsigned long)offset};
    const long r = lx_result(lx_call<LX_NR_OLD_MMAP>((long)args));
    return r == -1 ? MAP_FAILED : (void*)r;
}

int munmap(void* addr, size_t length)
{
    return (int)lx_result(lx_call<LX_NR_MUNMAP>((long)addr, (long)length));
}

int nanosleep(const struct timespec* req, struct timespec* rem)
{
    LxTime k = {(long)req->tv_sec, req->tv_nsec}, left = {0, 0};
    long r = lx_result(lx_call<LX_NR_NANOSLEEP>((long)&k, (long)&left));
    if (rem) {
        rem->tv_sec = left.sec;
        rem->tv_nsec = left.frac;
    }
    return (int)r;
}

int chdir(const char* path)
{
    return (int)lx_result(lx_call<LX_NR_CHDIR>((long)path));
}

int execve(const char* path, char* const argv[], char* const envp[])
{
    return (int)lx_result(lx_call<LX_NR_EXECVE>((long)path, (long)argv, (long)envp));
}

ssize_t readlink(const char* path, char* buf, size_t size)
{
    return lx_result(lx_call<LX_NR_READLINK>((long)path, (long)buf, (long)size));
}

} // extern "C"
