/*
 * Device requests on the console's kernel (the C library of the handheld
 * build has none; lx_syscalls.cpp implements the call).
 */
#ifndef ORVEL_LX_SYS_IOCTL_H
#define ORVEL_LX_SYS_IOCTL_H

#ifdef __cplusplus
extern "C" {
#endif

/* Request `request` of the device behind fd, with one argument (a number
 * or an address). Returns the driver's result (>= 0), or -1 with errno set. */
int ioctl(int fd, unsigned long request, ...);

#ifdef __cplusplus
}
#endif

#endif
