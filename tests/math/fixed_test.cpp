/* Fixed point: conversions, rounding directions, 32-bit wrap, the multiply
 * shortcut, square roots. */
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "math/kv_math.h"

namespace {

/* floor(a * b / 4096) reduced to 32 bits, by floor division instead of a
 * shift. */
int32_t refMul(int32_t a, int32_t b)
{
    int64_t p = (int64_t)a * b;
    int64_t q = p / 4096;
    if (p % 4096 != 0 && p < 0)
        q--;
    return (int32_t)(uint32_t)(uint64_t)q;
}

/* Values where the shortcuts and the wrap live, then pseudo-random ones. */
std::vector<int32_t> sampleValues(size_t randomCount)
{
    std::vector<int32_t> v = {0, 1, -1, 2, -2, 4095, 4096, 4097, -4095, -4096, -4097, 8192, -8192,
                              0x7FFFFFFF, (int32_t)0x80000000u, 0x7FFFF000, (int32_t)0x80001000u,
                              0x00010000, -0x00010000, 46341, -46341};
    std::mt19937 rng(12345);
    for (size_t i = 0; i < randomCount; i++) {
        uint32_t r = rng();
        switch (i % 3) {
        case 0: v.push_back((int32_t)r); break;              /* anywhere */
        case 1: v.push_back((int32_t)r >> 12); break;        /* |x| < 2^20 */
        default: v.push_back((int32_t)(r % 20001) - 10000); break; /* near 0 */
        }
    }
    return v;
}

TEST(FixedConvert, ShiftsTruncatesAndSaturates)
{
    EXPECT_EQ(fp_convi(1), 4096);
    EXPECT_EQ(fp_convi(-3), -12288);
    EXPECT_EQ(fp_convi(524288), INT32_MIN); /* wraps */
    EXPECT_EQ(fp_iconv(-1), -1);            /* toward -inf */
    EXPECT_EQ(fp_iconv(4095), 0);
    EXPECT_EQ(fp_iconv(-4096), -1);
    EXPECT_EQ(fp_iconv(-4097), -2);
    EXPECT_EQ(fp_convf(1.5f), 6144);
    EXPECT_EQ(fp_convf(-0.9999f / 4096), 0); /* toward zero */
    EXPECT_EQ(fp_convf(-1.9999f / 4096), -1);
    EXPECT_EQ(fp_convf(0.1f), 409);
    EXPECT_EQ(fp_fconv(6144), 1.5f);
    EXPECT_EQ(fp_fconv(-1), -1.0f / 4096);
    EXPECT_EQ(fp_ftoi(2147483520.0f), 2147483520); /* largest float below 2^31 */
    EXPECT_EQ(fp_ftoi(-2147483648.0f), INT32_MIN);
    EXPECT_EQ(fp_ftoi(3e9f), INT32_MAX);
    EXPECT_EQ(fp_ftoi(-3e9f), INT32_MIN);
    EXPECT_EQ(fp_ftoi(std::numeric_limits<float>::infinity()), INT32_MAX);
    EXPECT_EQ(fp_ftoi(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(fp_convf(1e6f), INT32_MAX);
}

TEST(FixedArith, MixedOperandFormsAndRoundingDirections)
{
    EXPECT_EQ(fp_addi(100, 2), 8292);
    EXPECT_EQ(fp_subi(0, 1), -4096);
    EXPECT_EQ(fp_addf(0, 0.5f), 2048);
    EXPECT_EQ(fp_subf(4096, 1.5f), -2048);
    EXPECT_EQ(fp_mul(-1, 1), -1); /* toward -inf */
    EXPECT_EQ(fp_mul(1, 1), 0);
    EXPECT_EQ(fp_mul(6144, 6144), 9216);
    EXPECT_EQ(fp_mul(-6144, 6144), -9216);
    EXPECT_EQ(fp_div(-1, 8192), 0); /* toward zero */
    EXPECT_EQ(fp_div(-3, 8192), -1);
    EXPECT_EQ(fp_div(4096, 12288), 1365);
    EXPECT_EQ(fp_div(-4096, 12288), -1365);
    EXPECT_EQ(fp_div(12288, -8192), -6144);
    EXPECT_EQ(fp_div(12345, 0), 0); /* no crash */
    EXPECT_EQ(fp_muli(-4096, 3), -12288);
    EXPECT_EQ(fp_mulf(4096, 2.5f), 10240);
    EXPECT_EQ(fp_mulf(-3, 0.5f), -1);
    EXPECT_EQ(fp_mulf(524288, 0.5f), 262144);
    EXPECT_EQ(fp_divi(-7, 2), -3);
    EXPECT_EQ(fp_divi(5, 0), 0);
    EXPECT_EQ(fp_divf(-3, 2.0f), -1);
    EXPECT_EQ(fp_divf(1, 0.0f), INT32_MAX);
    EXPECT_EQ(fp_divf(0, 0.0f), 0);
}

TEST(FixedArith, EverySumProductAndShiftWrapsInThirtyTwoBits)
{
    EXPECT_EQ(fp_add(INT32_MAX, 1), INT32_MIN);
    EXPECT_EQ(fp_sub(INT32_MIN, 1), INT32_MAX);
    EXPECT_EQ(fp_addi(INT32_MAX, 1), INT32_MIN + 4095);
    EXPECT_EQ(fp_mul(fp_convi(524287), fp_convi(2)), -8192); /* 1048574.0 wraps to -2.0 */
    EXPECT_EQ(fp_mul(INT32_MIN, INT32_MIN), 0);              /* 2^62 >> 12 = 2^50 */
    EXPECT_EQ(fp_muli(0x40000000, 2), INT32_MIN);
    EXPECT_EQ(fp_muli(-1, INT32_MIN), INT32_MIN);
    EXPECT_EQ(fp_div(fp_convi(1000), 1), -402653184); /* 16777216000 mod 2^32 */
    EXPECT_EQ(fp_divi(INT32_MIN, -1), INT32_MIN);
    EXPECT_EQ(fp_bsqr(8192), 16384);
    EXPECT_EQ(fp_bsqr(-8192), 16384);
    EXPECT_EQ(fp_bsqr(fp_convi(724)), 2147024896);
    EXPECT_EQ(fp_bsqr(fp_convi(725)), -2142007296);
    EXPECT_EQ(fp_bsqr(63), 0); /* the low 6 bits are dropped first */

    for (int32_t a : sampleValues(3000))
        for (int32_t b : {1, -1, 4096, -4097, 0x7FFFFFFF, (int32_t)0x80000000u, 123456789})
            ASSERT_EQ(fp_mul(a, b), refMul(a, b)) << a << " * " << b;
}

TEST(FixedArith, OptmulMatchesMulEverywhere)
{
    std::vector<int32_t> v = sampleValues(1500);
    for (int32_t a : v)
        for (int32_t b : v)
            ASSERT_EQ(fp_optmul(a, b), fp_mul(a, b)) << a << " * " << b;
}

TEST(FixedSqrt, IsqrtIsTheFloorOfTheRoot)
{
    auto check = [](int n) {
        ASSERT_EQ(isqrt(n), (int)std::floor(std::sqrt((double)n))) << n;
    };
    for (int n = 0; n < (1 << 20); n++) /* every n of the table's range */
        check(n);
    for (int k = 2; k <= 46340; k++) {
        check(k * k - 1);
        check(k * k);
        check(k * k + 1);
    }
    for (int n : {0x3FFFFFFF, 0x40000000, 0x40000001, 0x7FFFFFFE, 0x7FFFFFFF, 46341 * 46340})
        check(n);
    std::mt19937 rng(777);
    for (int i = 0; i < 1000000; i++)
        check((int)(rng() >> 1));
    EXPECT_EQ(isqrt(0x7FFFFFFF), 46340);
    EXPECT_EQ(isqrt(0x40000000), 32768);
    for (int n : {-1, -5, -0x40000000, INT32_MIN})
        EXPECT_EQ(isqrt(n), 0) << n;
    for (int i = 0; i < 10000; i++)
        ASSERT_EQ(isqrt((int)(rng() | 0x80000000u)), 0);
}

TEST(FixedSqrt, FixedAndFloatRootsHaveTheirResolution)
{
    EXPECT_EQ(fp_bsqrt(fp_convi(4)), 8192);
    EXPECT_EQ(fp_bsqrt(fp_convi(2)), 5792); /* isqrt(131072) = 362, 1.4140625 */
    EXPECT_EQ(fp_bsqrt(-4096), 0);
    EXPECT_EQ(fp_bsqrt(fp_convi(32768)), 0); /* a << 4 wraps negative */
    EXPECT_EQ(bsqrt(4.0f), 2.0f);
    EXPECT_EQ(bsqrt(2.0f), 1.375f); /* isqrt(512) = 22 */
    EXPECT_EQ(bsqrt(1.0f / 256), 0.0625f);
    EXPECT_EQ(bsqrt(1.0f / 512), 0.0f);
    EXPECT_EQ(bsqrt(-1.0f), 0.0f);
    EXPECT_EQ(bsqrt(1e10f), 2896.25f); /* input saturates at INT32_MAX */
    EXPECT_EQ(bsqr(-3.0f), 9.0f);
}

TEST(FixedSqrt, BabsFlipsTheSignBitOfEverythingNotPositive)
{
    EXPECT_EQ(babs(-2.5f), 2.5f);
    EXPECT_EQ(babs(3.0f), 3.0f);
    EXPECT_TRUE(std::signbit(babs(0.0f)));
    EXPECT_FALSE(std::signbit(babs(-0.0f)));
}

} // namespace
