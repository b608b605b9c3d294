/*
 * kv_timer: the millisecond clock that drives the timeline.
 *
 * The clock is a monotonic wall clock in whole milliseconds (signed 32-bit),
 * read afresh by every call through the platform half timer_platNow()
 * (platform/kv_sys.h): the music plays in real time, so the scenes must
 * follow real time too.
 */
#ifndef ORVEL_DEMO_KV_TIMER_H
#define ORVEL_DEMO_KV_TIMER_H

extern int time_start; /* ms: clock value at the last timer_reset */
extern int last_time;  /* ms: clock value at the last timer_elapsed, 0 at start */

/* Sets time_start to the current clock. Returns 0. */
int timer_reset(void);

/* Milliseconds since the last timer_reset (current clock - time_start). */
int timer_global(void);

/* Milliseconds since the previous call (the first call measures from clock
 * value 0), and remembers the current clock in last_time. */
int timer_elapsed(void);

#endif
