/*
 * kv_timer: millisecond clock (see kv_timer.h).
 */
#include "demo/kv_timer.h"

#include "platform/kv_sys.h"

/* ---- Globals -------------------------------------------------------------
 * Lifetime: whole run; milliseconds of the platform clock. */
int time_start = 0; /* ms at the last timer_reset */
int last_time = 0;  /* ms at the last timer_elapsed */

int timer_reset(void)
{
    time_start = timer_platNow();
    return 0;
}

int timer_global(void)
{
    return (int)((unsigned)timer_platNow() - (unsigned)time_start);
}

int timer_elapsed(void)
{
    int now = timer_platNow();
    int d = (int)((unsigned)now - (unsigned)last_time);
    last_time = now;
    return d;
}
