/*
 * kv_sys: the two calls that bracket a program's main on every build.
 *
 *     int main(void)
 *     {
 *         sys_init();
 *         ... scr_init, kb_init, load, loop, teardown ...
 *         sys_exit();
 *         return 0;
 *     }
 *
 * The desktop build starts and stops Allegro here; the handheld build hands
 * the process over to the console's menu program; the headless build does
 * nothing. No build needs the program's main to include a platform header.
 */
#ifndef KV_SYS_H
#define KV_SYS_H

/* First call of main. Returns 0 when the platform is up, -1 when it is not
 * (desktop: no display; it prints one line saying so). Either way the
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

#endif
