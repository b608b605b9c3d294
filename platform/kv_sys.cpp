/*
 * kv_sys: the part every platform half shares (see kv_sys.h and the platform
 * calls of audio/kv_audio.h). Compiled into each half.
 */
#include "platform/kv_sys.h"

#include <ctime>

#include "audio/kv_audio.h"
#include "video/kv_font.h"
#include "video/kv_video.h"

int timer_monotonicMs(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    unsigned long long ms = (unsigned long long)ts.tv_sec * 1000u + (unsigned long long)(ts.tv_nsec / 1000000);
    return (int)(unsigned)ms;
}

void snd_platMessage(const char* line)
{
    bprint(line);
    scr_flip();
}
