/* The engine's generator against the C library's rand of this (glibc)
 * host, which is the same generator: equal sequences for seeds small and
 * large, the unseeded start included. */
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
        for (int i = 0; i < 1000; i++)
            ASSERT_EQ(kv_rand(), rand()) << "seed " << seed << ", draw " << i;
    }
}

} // namespace
