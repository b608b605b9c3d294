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

#endif
