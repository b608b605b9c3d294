/*
 * Memory mapping on the console's kernel (the C library of the handheld
 * build has none; lx_syscalls.cpp implements the calls). The numbers are
 * the kernel's.
 */
#ifndef ORVEL_LX_SYS_MMAN_H
#define ORVEL_LX_SYS_MMAN_H

#include <sys/types.h>

#define PROT_NONE 0x0
#define PROT_READ 0x1
#define PROT_WRITE 0x2
#define PROT_EXEC 0x4

#define MAP_SHARED 0x01
#define MAP_PRIVATE 0x02
#define MAP_FIXED 0x10
#define MAP_ANONYMOUS 0x20

#define MAP_FAILED ((void*)-1)

#ifdef __cplusplus
extern "C" {
#endif

/* Maps `length` bytes of fd from `offset` (a multiple of the page size).
 * Returns the address, or MAP_FAILED with errno set. */
void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset);

/* Unmaps a range mmap returned. Returns 0, or -1 with errno set. */
int munmap(void* addr, size_t length);

#ifdef __cplusplus
}
#endif

#endif
