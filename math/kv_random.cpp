/*
 * kv_random: the engine's pseudo-random numbers (see kv_random.h).
 */
#include "math/kv_random.h"

#include <cstdint>

enum {
    RAND_DEG = 31, /* words of state */
    RAND_SEP = 3   /* distance between the two taps */
};

/* ---- Globals -------------------------------------------------------------
 * Lifetime: whole run; seeded with 1 until kv_srand. */
static int32_t randState[RAND_DEG]; /* the 31 words, any value */
static int randFront = RAND_SEP;    /* index of the tap written, 0..30 */
static int randRear = 0;            /* index of the tap read, 0..30 */
static int randSeeded = 0;          /* 0 until the state holds a seed */

/* One step: the front word takes the sum of both taps, both move on. */
static int32_t rand_step(void)
{
    uint32_t v = (uint32_t)randState[randFront] + (uint32_t)randState[randRear];
    randState[randFront] = (int32_t)v;
    randFront = randFront + 1 == RAND_DEG ? 0 : randFront + 1;
    randRear = randRear + 1 == RAND_DEG ? 0 : randRear + 1;
    return (int32_t)(v >> 1);
}

void kv_srand(unsigned seed)
{
    if (seed == 0)
        seed = 1;
    randState[0] = (int32_t)seed;
    /* s[i] = 16807 s[i-1] mod (2^31 - 1), by Schrage's method so that the
     * product never overflows: 2^31 - 1 = 16807 * 127773 + 2836. */
    int64_t word = seed;
    for (int i = 1; i < RAND_DEG; i++) {
        int64_t hi = word / 127773, lo = word % 127773;
        word = 16807 * lo - 2836 * hi;
        if (word < 0)
            word += 2147483647;
        randState[i] = (int32_t)word;
    }
    randFront = RAND_SEP;
    randRear = 0;
    randSeeded = 1;
    for (int i = 0; i < 10 * RAND_DEG; i++)
        rand_step();
}

int kv_rand(void)
{
    if (!randSeeded)
        kv_srand(1);
    return rand_step();
}
