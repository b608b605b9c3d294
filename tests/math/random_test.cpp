/* The engine's generator against the C library's rand of this (glibc)
 * host, which is the same generator: equal sequences for seeds small and
 * large, the unseeded start included, and the numbers a loop takes through
 * kv_randAhead in step with the ones kv_rand draws. */
#include <gtest/gtest.h>

#include <cstdlib>

#include "math/kv_random.h"

namespace {

TEST(Random, RepeatsTheHostLibrarysRandForEverySeed)
{
    /* the unseeded generators both start as if seeded with 1 */
    kv_srand(1);
    srand(1);
    for (int i = 0; i < 100; i++)
        ASSERT_EQ(kv_rand(), rand()) << i;
    for (unsigned seed : {0u, 1u, 2u, 7u, 99u, 1234u, 65535u, 123456789u, 2147483647u}) {
        kv_srand(seed);
        srand(seed);
        /* several fills of the words made ahead */
        for (int i = 0; i < 3000; i++)
            ASSERT_EQ(kv_rand(), rand()) << "seed " << seed << ", draw " << i;
    }
}

/* The generator as a ring of 31 words, one step a number; the seed is
 * taken as the unsigned value it is (glibc reads seeds from 2^31 up as
 * negative and draws other numbers for them). */
struct RingRand {
    int64_t r[31];
    int front = 3, rear = 0;
    explicit RingRand(unsigned seed)
    {
        int64_t w = seed ? seed : 1;
        r[0] = w;
        for (int i = 1; i < 31; i++) {
            w = 16807 * (w % 127773) - 2836 * (w / 127773);
            r[i] = w < 0 ? w + 2147483647 : w;
            w = r[i];
        }
        for (int i = 0; i < 310; i++)
            next();
    }
    int next()
    {
        r[front] = (int64_t)(uint32_t)(r[front] + r[rear]);
        front = (front + 1) % 31, rear = (rear + 1) % 31;
        return (int)((uint32_t)r[(front + 30) % 31] >> 1);
    }
};

TEST(Random, SeedsFrom2To31UpAreTheirUnsignedValue)
{
    for (unsigned seed : {2147483648u, 3000000000u, 4294967295u}) {
        kv_srand(seed);
        RingRand ref(seed);
        for (int i = 0; i < 1000; i++)
            ASSERT_EQ(kv_rand(), ref.next()) << "seed " << seed << ", draw " << i;
    }
}

TEST(Random, NumbersTakenAheadFollowTheSequence)
{
    kv_srand(42);
    srand(42);
    unsigned state = 7;
    for (int round = 0; round < 400; round++) {
        /* a few single draws, then a loop taking k of the n promised */
        state = state * 1103515245u + 12345u;
        for (unsigned i = (state >> 8) % 5; i > 0; i--)
            ASSERT_EQ(kv_rand(), rand()) << round;
        const int n = (int)((state >> 12) % (KV_RAND_AHEAD + 1));
        const int k = n ? (int)((state >> 4) % (unsigned)(n + 1)) : 0;
        const uint32_t* w = kv_randAhead(n);
        ASSERT_GE(kvRandom.end - w, n);
        for (int i = 0; i < k; i++)
            ASSERT_EQ((int)(w[i] >> 1), rand()) << round << " " << i;
        kvRandom.next = w + k;
    }
}

} // namespace
