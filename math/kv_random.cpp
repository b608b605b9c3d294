/*
 * kv_random: the engine's pseudo-random numbers (see kv_random.h).
 */
#include "math/kv_random.h"

#include <cstring>

enum {
    RAND_DEG = 31,     /* words of state */
    RAND_SEP = 3,      /* distance between the two taps */
    RAND_CHUNK = 4096, /* fewest words a fill makes, but the seed's own */
    RAND_BLOCK = 6,    /* the ARM loop makes words in blocks of this many */
    /* the sliding window below: the drawn history (at most 31 words), the
     * larger of a promise and a chunk, rounded up to a block */
    RAND_WORDS = RAND_DEG + (KV_RAND_AHEAD > RAND_CHUNK ? KV_RAND_AHEAD : RAND_CHUNK) + RAND_BLOCK
};

/* ---- Globals -------------------------------------------------------------
 * Lifetime: whole run; seeded with 1 on first use unless kv_srand ran.
 * randWords holds the sequence's words x[i] in order, oldest first: the
 * last 31 made (end - 31 .. end - 1, all the recurrence needs) and any
 * made ahead and not drawn yet (kvRandom.next .. end - 1). Words are
 * unsigned 32-bit, any value. */
static uint32_t randWords[RAND_WORDS];
KvRandom kvRandom = {randWords, randWords}; /* nothing made yet */
static int randSeeded = 0;                 /* 0 until the words hold a seed */
static int randFills = 0;                  /* fills since the last seed */

#if defined(__arm__) && !defined(__thumb__)
/* x[i] = x[i-31] + x[i-3] for the words from w on, in blocks of 6 up to
 * stop at least (the rounded count fits the window: RAND_BLOCK's room), 2
 * instructions a word where the compiler's loop took 6: each block loads
 * x[i-31 .. i-29] and x[i-28 .. i-26] in one instruction each, the newest
 * three words of the previous half staying in registers (r5-r7, then
 * r2-r4). r1 reads 31 words behind r0. */
extern "C" uint32_t* rand_makeArm(uint32_t* w, const uint32_t* stop);
__asm__(R"(
    .pushsection .text
    .arm
    .align 2
    .global rand_makeArm
    .type rand_makeArm, %function
rand_makeArm:
    push    {r4, r5, r6, r7, lr}
    mov     lr, r1                  @ stop
    sub     r1, r0, #124            @ x[i-31]
    ldmdb   r0, {r5-r7}             @ x[i-3 .. i-1]
1:
    ldmia   r1!, {r2-r4}
    add     r2, r2, r5
    add     r3, r3, r6
    add     r4, r4, r7
    stmia   r0!, {r2-r4}
    ldmia   r1!, {r5-r7}
    add     r5, r5, r2
    add     r6, r6, r3
    add     r7, r7, r4
    stmia   r0!, {r5-r7}
    cmp     r0, lr
    blo     1b
    pop     {r4, r5, r6, r7, lr}
    bx      lr
    .size rand_makeArm, . - rand_makeArm
    .popsection
)");
#endif

/* Makes at least n more words than are undrawn (n <= KV_RAND_AHEAD), and
 * at least RAND_CHUNK unless it is the seed's own fill, after moving what
 * is still needed (the last 31 words and the undrawn ones) to the window's
 * start. Needs a seed. */
static void rand_fill(int n)
{
    uint32_t* const end = randWords + (kvRandom.end - randWords);
    const uint32_t* keep = end - RAND_DEG;
    if (kvRandom.next < keep)
        keep = kvRandom.next;
    const size_t kept = (size_t)(end - keep);
    const size_t drawnAhead = (size_t)(kvRandom.next - keep); /* history words before next, <= 31 */
    memmove(randWords, keep, kept * sizeof *randWords);
    /* The seed's own fill makes only the words it discards (a scene that
     * seeds often draws few numbers each time); later ones make many, so
     * that the undrawn words are seldom moved. next + max(n, chunk) stays
     * inside: next <= 31 words in. */
    const int chunk = randFills++ ? RAND_CHUNK : 0;
    uint32_t* stop = randWords + drawnAhead + (n > chunk ? n : chunk);
    /* x[i] = x[i-31] + x[i-3]: the word 31 back is the oldest of the ring,
     * the one 3 back the newest but two. Making more words than asked
     * changes nothing in the sequence. */
#if defined(__arm__) && !defined(__thumb__)
    if (stop > randWords + kept)
        stop = rand_makeArm(randWords + kept, stop);
#else
    for (uint32_t* w = randWords + kept; w < stop; w++)
        *w = w[-RAND_DEG] + w[-RAND_SEP];
#endif
    kvRandom.next = randWords + drawnAhead;
    kvRandom.end = stop; /* beyond the kept words: fewer than n were undrawn */
}

void kv_srand(unsigned seed)
{
    if (seed == 0)
        seed = 1;
    /* s[i] = 16807 s[i-1] mod (2^31 - 1), by Schrage's method so that the
     * product never overflows: 2^31 - 1 = 16807 * 127773 + 2836. Every
     * term fits in 32 bits (the seed may reach 2^32 - 1, whose quotient is
     * at most 33614; later words are below 2^31). */
    uint32_t s[RAND_DEG];
    s[0] = seed;
    uint32_t word = seed;
    for (int i = 1; i < RAND_DEG; i++) {
        const uint32_t hi = word / 127773u, lo = word % 127773u;
        int32_t w = (int32_t)(16807u * lo) - (int32_t)(2836u * hi);
        if (w < 0)
            w += 2147483647;
        word = (uint32_t)w;
        s[i] = word;
    }
    /* The ring's first step adds s[0] into s[3]: its oldest word is s[3],
     * then s[4] .. s[30], s[0], s[1], s[2] the newest. */
    for (int k = 0; k < RAND_DEG; k++)
        randWords[k] = s[(RAND_SEP + k) % RAND_DEG];
    kvRandom.next = kvRandom.end = randWords + RAND_DEG;
    randSeeded = 1;
    randFills = 0;
    /* the first 310 outputs are discarded */
    kv_randAhead(10 * RAND_DEG);
    kvRandom.next += 10 * RAND_DEG;
}

const uint32_t* kv_randAhead(int n)
{
    if (!randSeeded)
        kv_srand(1);
    if (n > KV_RAND_AHEAD) /* more than promised: the window's bound */
        n = KV_RAND_AHEAD;
    if (kvRandom.end - kvRandom.next < n)
        rand_fill(n);
    return kvRandom.next;
}

int kv_randMore(void)
{
    kv_randAhead(1);
    return (int)(*kvRandom.next++ >> 1);
}
