/*
 * lx_abi: translations between the C library's open flags and struct stat
 * and the console kernel's (see lx_abi.h). Pure: no calls, no globals.
 */
#include "platform/gp2x/linux24/lx_abi.h"

#include <cstring>

/* ---- Open flags ---------------------------------------------------------- */

uint32_t lx_openFlags(uint32_t flags)
{
    static const struct {
        uint32_t lib, kernel;
    } map[] = {
        {NL_O_APPEND, LX_O_APPEND},       {NL_O_CREAT, LX_O_CREAT},     {NL_O_TRUNC, LX_O_TRUNC},
        {NL_O_EXCL, LX_O_EXCL},           {NL_O_SYNC, LX_O_SYNC},       {NL_O_NONBLOCK, LX_O_NONBLOCK},
        {NL_O_NOCTTY, LX_O_NOCTTY},       {NL_O_CLOEXEC, LX_O_CLOEXEC}, {NL_O_DIRECT, LX_O_DIRECT},
        {NL_O_NOFOLLOW, LX_O_NOFOLLOW},   {NL_O_DIRECTORY, LX_O_DIRECTORY},
    };
    uint32_t out = flags & NL_O_ACCMODE;
    for (const auto& m : map)
        if (flags & m.lib)
            out |= m.kernel;
    return out;
}

/* ---- File status --------------------------------------------------------- */

static uint32_t lx_u32(const unsigned char* k, int at)
{
    return (uint32_t)k[at] | (uint32_t)k[at + 1] << 8 | (uint32_t)k[at + 2] << 16 | (uint32_t)k[at + 3] << 24;
}

static uint64_t lx_u64(const unsigned char* k, int at)
{
    return (uint64_t)lx_u32(k, at) | (uint64_t)lx_u32(k, at + 4) << 32;
}

void lx_statFromKernel(const unsigned char* k, struct stat* st)
{
    memset(st, 0, sizeof *st);
    st->st_dev = (dev_t)lx_u64(k, 0);
    st->st_ino = (ino_t)lx_u64(k, 88);
    st->st_mode = (mode_t)lx_u32(k, 16);
    st->st_nlink = (nlink_t)lx_u32(k, 20);
    st->st_uid = (uid_t)lx_u32(k, 24);
    st->st_gid = (gid_t)lx_u32(k, 28);
    st->st_rdev = (dev_t)lx_u64(k, 32);
    st->st_size = (off_t)(int64_t)lx_u64(k, 44);
    st->st_blksize = (blksize_t)lx_u32(k, 52);
    st->st_blocks = (blkcnt_t)lx_u64(k, 56);
    st->st_atim.tv_sec = (time_t)lx_u32(k, 64);
    st->st_atim.tv_nsec = (long)lx_u32(k, 68);
    st->st_mtim.tv_sec = (time_t)lx_u32(k, 72);
    st->st_mtim.tv_nsec = (long)lx_u32(k, 76);
    st->st_ctim.tv_sec = (time_t)lx_u32(k, 80);
    st->st_ctim.tv_nsec = (long)lx_u32(k, 84);
}
