/*
 * lx_abi: the console's kernel as the C library sees it. The console runs a
 * Linux 2.4 ARM kernel that knows only the old system-call interface: the
 * call's number is part of the instruction (swi 0x900000 + number), the
 * arguments go in r0..r5 and the result comes back in r0, where -4095..-1
 * is a failure carrying -errno.
 *
 * The C library of the handheld build (newlib, arm-none-eabi) was not made
 * for Linux: its open flags and its struct stat differ from the kernel's.
 * This header holds the numbers of both sides and the pure translations
 * between them, so they build and are tested on any machine; the calls
 * themselves are in lx_syscalls.cpp (handheld build only).
 */
#ifndef ORVEL_LX_ABI_H
#define ORVEL_LX_ABI_H

#include <cstdint>
#include <sys/stat.h>

/* ---- System-call numbers (old interface: swi LX_SWI_BASE + number) ------
 * Every call the layer makes; each is in the 2.4 kernel's table. */
enum : unsigned {
    LX_SWI_BASE = 0x900000u,
    LX_NR_EXIT = 1,
    LX_NR_READ = 3,
    LX_NR_WRITE = 4,
    LX_NR_OPEN = 5,
    LX_NR_CLOSE = 6,
    LX_NR_EXECVE = 11,
    LX_NR_CHDIR = 12,
    LX_NR_LSEEK = 19,
    LX_NR_GETPID = 20,
    LX_NR_KILL = 37,
    LX_NR_BRK = 45,
    LX_NR_IOCTL = 54,
    LX_NR_GETTIMEOFDAY = 78,
    LX_NR_READLINK = 85,
    LX_NR_OLD_MMAP = 90, /* one argument: the address of the six mmap arguments */
    LX_NR_MUNMAP = 91,
    LX_NR_NANOSLEEP = 162,
    LX_NR_FSTAT64 = 197
};

/* Results from -LX_MAX_ERRNO to -1 are failures (-errno). */
enum { LX_MAX_ERRNO = 4095 };

/* ---- Open flags --------------------------------------------------------
 * The kernel's (ARM; octal as in its headers). The access mode (0 read, 1
 * write, 2 both) is the same number on both sides. */
enum : uint32_t {
    LX_O_ACCMODE = 03,
    LX_O_CREAT = 0100,
    LX_O_EXCL = 0200,
    LX_O_NOCTTY = 0400,
    LX_O_TRUNC = 01000,
    LX_O_APPEND = 02000,
    LX_O_NONBLOCK = 04000,
    LX_O_SYNC = 04010000, /* 2.4 knows the 010000 part, later kernels both */
    LX_O_DIRECTORY = 040000,
    LX_O_NOFOLLOW = 0100000,
    LX_O_DIRECT = 0200000,
    LX_O_CLOEXEC = 02000000 /* unknown to 2.4, which ignores it */
};

/* The C library's (newlib's sys/_default_fcntl.h and sys/fcntl.h). */
enum : uint32_t {
    NL_O_ACCMODE = 0x3,
    NL_O_APPEND = 0x8,
    NL_O_CREAT = 0x200,
    NL_O_TRUNC = 0x400,
    NL_O_EXCL = 0x800,
    NL_O_SYNC = 0x2000,
    NL_O_NONBLOCK = 0x4000,
    NL_O_NOCTTY = 0x8000,
    NL_O_BINARY = 0x10000, /* fopen's "b"; Linux has no text mode */
    NL_O_CLOEXEC = 0x40000,
    NL_O_DIRECT = 0x80000,
    NL_O_NOFOLLOW = 0x100000,
    NL_O_DIRECTORY = 0x200000
};

/* The kernel's open flags for the C library's `flags`: the access mode as
 * it is, each known flag to its kernel value, O_BINARY and unknown bits
 * dropped (untranslated, O_BINARY would be the kernel's O_DIRECT and
 * O_NONBLOCK its O_DIRECTORY). */
uint32_t lx_openFlags(uint32_t flags);

/* ---- File status ---------------------------------------------------------
 * The kernel's struct stat64 as fstat64 writes it for a program of the old
 * interface: 96 bytes, little-endian, 64-bit fields aligned to 4 bytes.
 *
 *   offset  field                 offset  field
 *    0      st_dev (64)           52      st_blksize
 *   12      __st_ino (low 32)     56      st_blocks (64, 512-byte units)
 *   16      st_mode               64, 68  st_atime, st_atime_nsec
 *   20      st_nlink              72, 76  st_mtime, st_mtime_nsec
 *   24, 28  st_uid, st_gid        80, 84  st_ctime, st_ctime_nsec
 *   32      st_rdev (64)          88      st_ino (64)
 *   44      st_size (64, signed)
 */
enum { LX_STAT64_SIZE = 96 };

/* Fills the C library's *st from the kernel's record k (LX_STAT64_SIZE
 * bytes). Mode bits are the same numbers on both sides; fields narrower in
 * the library keep their low bits; the library's spare fields are zeroed. */
void lx_statFromKernel(const unsigned char* k, struct stat* st);

#endif
