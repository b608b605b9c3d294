/*
 * The handheld build: Linux frame buffer, button device, OSS audio device.
 *
 * Device paths and the display mode are the console's and are compiled in.
 * The display is used in the mode it is in (320x240 RGB565, rows of 640
 * bytes); nothing queries or sets it.
 */
#ifndef ORVEL_PLATFORM_GP2X_GP2X_H
#define ORVEL_PLATFORM_GP2X_GP2X_H

#define GP2X_FB_PATH "/dev/fb0"              /* frame buffer, mapped */
#define GP2X_GPIO_PATH "/dev/GPIO"           /* buttons: one 32-bit word a read */
#define GP2X_DSP_PATH "/dev/dsp"             /* OSS audio output */
#define GP2X_MENU_DIR "/usr/gp2x"            /* the menu's directory */
#define GP2X_MENU_PATH "/usr/gp2x/gp2xmenu"  /* the program that replaces us at exit */

/* OSS requests on the audio device. An OSS request number is
 * _IOC(dir, 'P', nr, size) = dir << 30 | size << 16 | 'P' << 8 | nr, with
 * dir 3 (read and write) for an int argument and 0 for none:
 *   SPEED     _IOWR('P', 2, int)   = 0xC0045002
 *   STEREO    _IOWR('P', 3, int)   = 0xC0045003
 *   SETFMT    _IOWR('P', 5, int)   = 0xC0045005
 *   SETFRAG   _IOWR('P', 10, int)  = 0xC004500A
 *   NONBLOCK  _IO('P', 14)         = 0x0000500E */
enum : unsigned long {
    GP2X_DSP_SPEED = 0xC0045002ul,
    GP2X_DSP_STEREO = 0xC0045003ul,
    GP2X_DSP_SETFMT = 0xC0045005ul,
    GP2X_DSP_SETFRAGMENT = 0xC004500Aul,
    GP2X_DSP_NONBLOCK = 0x0000500Eul
};

enum {
    GP2X_AFMT_S16_LE = 16,         /* signed 16-bit little-endian samples */
    GP2X_FRAGMENTS = 0x0002000F    /* at most 2 fragments of 2^15 bytes */
};

/* The handheld's clock: the console's kernel has no monotonic clock, so it
 * is built on the wall clock (gettimeofday), which can be set back. */
struct Gp2xClock {
    int started;         /* 0 until the first reading */
    long long lastUs;    /* us: the wall clock at the last reading */
    long long elapsedUs; /* us: the clock's time, summed over the readings */
};

/* Advances *c to the wall-clock reading nowUs (microseconds) and returns the
 * clock in milliseconds since its first reading, wrapping in 32 bits. A
 * reading earlier than the one before (the wall clock was set back) adds
 * nothing: the clock holds there and goes on from the new reading, so it
 * never runs backwards. */
inline int gp2x_clockAdvance(Gp2xClock* c, long long nowUs)
{
    if (c->started && nowUs > c->lastUs)
        c->elapsedUs += nowUs - c->lastUs;
    c->started = 1;
    c->lastUs = nowUs;
    return (int)(unsigned)(unsigned long long)(c->elapsedUs / 1000);
}

#endif
