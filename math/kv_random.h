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
 *
 * The words are made ahead in blocks, so that drawing one is a load and a
 * shift: the stippled shader draws one or two a pixel. Making them ahead
 * changes nothing in the sequence.
 */
#ifndef ORVEL_MATH_KV_RANDOM_H
#define ORVEL_MATH_KV_RANDOM_H

#include <cstdint>

enum {
    KV_RAND_MAX = 0x7FFFFFFF, /* largest value kv_rand returns */
    KV_RAND_AHEAD = 1024      /* most numbers kv_randAhead can promise at once */
};

/* Where the sequence stands: the words made ahead and not drawn yet are
 * next .. end - 1, in order; the number each one gives is the word >> 1.
 * Read by kv_rand and by loops that draw many numbers through
 * kv_randAhead; written by this module (and by those loops moving next
 * over the words they drew). */
struct KvRandom {
    const uint32_t* next;
    const uint32_t* end;
};
extern KvRandom kvRandom;

/* Restarts the sequence from seed (0 counts as 1). Before the first call the
 * sequence runs as if seeded with 1. A seed from 2^31 up is taken as its
 * unsigned value (glibc's srand reads it as negative: those seeds draw other
 * numbers there). */
void kv_srand(unsigned seed);

/* kv_rand when no word is made ahead: makes more, then draws. */
int kv_randMore(void);

/* The next number of the sequence, 0 .. KV_RAND_MAX. */
inline int kv_rand(void)
{
    if (kvRandom.next == kvRandom.end)
        return kv_randMore();
    return (int)(*kvRandom.next++ >> 1);
}

/* Makes at least n words (0 <= n <= KV_RAND_AHEAD) available from
 * kvRandom.next on without drawing any, and returns kvRandom.next. A loop
 * may then take the numbers word >> 1 from there in order, at most n of
 * them, and must set kvRandom.next past the last one it took: the sequence
 * goes on exactly as if it had called kv_rand that many times. Any other
 * call of this module ends what it returned. */
const uint32_t* kv_randAhead(int n);

#endif
