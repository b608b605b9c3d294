/*
 * kv_monotonic: the system's monotonic clock for the halves whose systems
 * have one (see timer_monotonicMs in kv_sys.h). Compiled into every half
 * that does not bring its own clock.
 */
#include "platform/kv_sys.h"

#include <ctime>

int timer_monotonicMs(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    unsigned long long ms = (unsigned long long)ts.tv_sec * 1000u + (unsigned long long)(ts.tv_nsec / 1000000);
    return (int)(unsigned)ms;
}
