/*
 * kv_monotonic: the system's monotonic clock (see timer_monotonicMs in
 * kv_sys.h), compiled into every half on systems that have one.
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
