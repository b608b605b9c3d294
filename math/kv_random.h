/*
 * kv_random: the engine's pseudo-random numbers, the same on every build.
 *
 * The scenes and the image filters draw random numbers while they run (the
 * fractal's palette, where the robots stand, which pixels the stippled
 * shader keeps). The C libraries of the builds (glibc on the desktop, newlib
 * on the handheld, musl in the browser) have different generators, so the
 * engine has its own: an additive lagged-Fibonacci generator over 31 words,
 * x[i] = x[i-31] + x[i-3] (mod 2^32), output x[i] >> 1, seeded by the
 * Park-Miller generator s[i] = 16807 s[i-1] mod (2^31 - 1) with the first 310
 * outputs discarded. That is the generator behind glibc's rand(), so a
 * desktop build draws exactly the numbers it always drew.
 */
#ifndef ORVEL_MATH_KV_RANDOM_H
#define ORVEL_MATH_KV_RANDOM_H

enum {
    KV_RAND_MAX = 0x7FFFFFFF /* largest value kv_rand returns */
};

/* Restarts the sequence from seed (0 counts as 1). Before the first call the
 * sequence runs as if seeded with 1. */
void kv_srand(unsigned seed);

/* The next number of the sequence, 0 .. KV_RAND_MAX. */
int kv_rand(void);

#endif
