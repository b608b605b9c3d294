/*
 * The platform check's picture and sound, shared by the check program and
 * the tests that read its frames and samples back.
 */
#ifndef ORVEL_TESTS_PLATFORM_CHECK_PATTERN_H
#define ORVEL_TESTS_PLATFORM_CHECK_PATTERN_H

#include <cstdint>

#include "video/kv_video.h"

/* Pixel (x, y) of frame f: a hash of the column shifted by the frame number
 * and the row, so every frame differs and neighbouring pixels differ in all
 * three channels. */
inline uint16_t check_pixel(unsigned x, unsigned y, unsigned f)
{
    uint32_t h = (x + f) * 73856093u ^ y * 19349663u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return (uint16_t)h;
}

/* Frame f of the check: the pattern, and a white line drawn with scr_line,
 * whose float arithmetic would trap on a machine without an FPU if a hardware
 * float instruction slipped into the build. Draws into scr, which must be the
 * open back buffer. */
inline void check_draw(uint16_t* scr, unsigned f)
{
    for (unsigned y = 0; y < SCR_H; y++)
        for (unsigned x = 0; x < SCR_W; x++)
            scr[y * SCR_W + x] = check_pixel(x, y, f);
    scr_line((uint16_t)(f % SCR_W), 0, (uint16_t)(SCR_W - 1 - f % SCR_W), SCR_H - 1, 0xFFFF);
}

/* The test tone: the n-th stereo frame since snd_init (from 0) holds this
 * value in both channels (the tone's counter is raised by 100 before each
 * frame and wraps in 16 bits). */
inline int16_t check_tone(long long n)
{
    return (int16_t)(uint16_t)((n + 1) * 100);
}

#endif
