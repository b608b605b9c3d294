/*
 * The console's clock: its Linux 2.4 kernel has no monotonic clock, so
 * timer_monotonicMs (kv_sys.h) is built on the wall clock (gettimeofday)
 * and held where that is set back (gp2x_clockAdvance, gp2x.h). The handheld
 * half uses it on every system; on the console every half does.
 */
#include <sys/time.h>

#include "gp2x.h" /* by its own folder: halves that do not see platform/gp2x compile this too */
#include "platform/kv_sys.h"

/* ---- Globals -------------------------------------------------------------
 * Lifetime: whole run. */
static Gp2xClock clockState = {0, 0, 0}; /* from the first timer_monotonicMs call */

int timer_monotonicMs(void)
{
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    return gp2x_clockAdvance(&clockState, (long long)tv.tv_sec * 1000000 + tv.tv_usec);
}
