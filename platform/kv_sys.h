/*
 * kv_sys: what every platform half provides and the demo calls: the two
 * calls that bracket a program's main, the controller, and the clock.
 *
 *     int main(void)
 *     {
 *         sys_init();
 *         ... scr_init, kb_init, load, loop, teardown ...
 *         sys_exit();
 *         return 0;
 *     }
 *
 * Each build under platform/ (gp2x, desktop, headless, web) implements these
 * once; the demo's controller and clock (demo/kv_input.h, demo/kv_timer.h)
 * are built on them. No program's main needs to include a platform header.
 */
#ifndef ORVEL_PLATFORM_KV_SYS_H
#define ORVEL_PLATFORM_KV_SYS_H

#include <cstdint>

/* First call of main. Returns 0 when the platform is up, -1 when it is not
 * (desktop: no display; it prints one line saying so). The handheld changes
 * to the folder of the program's own file first, where its data/ is (the
 * console's menu may start it from anywhere). Either way the
 * program carries on: the set-up calls that need the platform then fail on
 * their own (scr_init returns null, kb_init -1, snd_init 0). */
int sys_init(void);

/* Last call of main, after teardown. Handheld: changes to "/usr/gp2x" and
 * replaces the process with "/usr/gp2x/gp2xmenu"; it returns only when that
 * fails, and main then returns 0. Desktop: shuts Allegro down. Headless:
 * nothing. */
void sys_exit(void);

/* 1 on the handheld build, 0 on the others. The few places where the builds
 * must differ in behaviour (the order in which the fractal palette draws its
 * random numbers) read it. */
extern const int sysHandheld;

/* ---- Controller ------------------------------------------------------------
 * The controller is one word of button bits in the handheld's own layout;
 * the eight stick directions are bits of their own, diagonals included. The
 * desktop builds the same word from the keyboard. */
enum {
    KB_UP = 0x00001,
    KB_UPLEFT = 0x00002,
    KB_LEFT = 0x00004,
    KB_DOWNLEFT = 0x00008,
    KB_DOWN = 0x00010,
    KB_DOWNRIGHT = 0x00020,
    KB_RIGHT = 0x00040,
    KB_UPRIGHT = 0x00080,
    KB_START = 0x00100,
    KB_SELECT = 0x00200,
    KB_L = 0x00400,         /* left shoulder */
    KB_R = 0x00800,         /* right shoulder */
    KB_A = 0x01000,
    KB_B = 0x02000,
    KB_X = 0x04000,
    KB_Y = 0x08000,
    KB_VOLUP = 0x10000,
    KB_VOLDOWN = 0x20000,
    KB_STICK = 0x40000,     /* stick pressed */
    KB_ANY = 0x7FFFF        /* all nineteen bits: the mask for "any button" */
};

/* Opens the controller. Returns 0, or -1 when it cannot be opened. */
int kb_platOpen(void);

/* Reads the buttons held now into *word (KB_* bits). Returns 1 when a whole
 * word was read, 0 when nothing could be read (*word is then untouched and
 * the caller keeps its old state). */
int kb_platRead(uint32_t* word);

/* Closes the controller; harmless when it is not open. */
void kb_platClose(void);

/* ---- Clock ---------------------------------------------------------------- */

/* The current clock in milliseconds, signed 32-bit, wrapping. It never runs
 * backwards while the program runs. */
int timer_platNow(void);

/* The system's monotonic clock in milliseconds, wrapping in 32 bits: what
 * the desktop build, the handheld build and the headless build's real clock
 * return from timer_platNow. CLOCK_MONOTONIC (platform/kv_monotonic.cpp),
 * except in the handheld build and on the console, whose kernel has none:
 * there it is the wall clock from its first reading, held where the wall
 * clock is set back (platform/gp2x/gp2x_clock.cpp). */
int timer_monotonicMs(void);

#endif
