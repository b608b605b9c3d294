/* Integer forms of float and 64-bit work that the renderer does per vertex
 * and per pixel (cheaper on a machine without FPU or divider), each against
 * the form it replaces, kept here as the reference: the results must be the
 * same for every input, the awkward ones first. */
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "math/kv_math.h"
#include "math/kv_vector.h"
#include "render3d/kv_3D.h"

namespace {

/* The float-compare saturation that fp_ftoi replaced. */
int refFtoi(float f)
{
    if (f >= -2147483648.0f && f < 2147483648.0f)
        return (int)f;
    if (f >= 2147483648.0f)
        return INT32_MAX;
    if (f < 0.0f)
        return INT32_MIN;
    return 0;
}

float bits(uint32_t b)
{
    return std::bit_cast<float>(b);
}

TEST(IntegerForms, FtoiOnTheFloatsBitsSaturatesAsTheFloatCompares)
{
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<float> v = {0.0f, -0.0f, 1.0f, -1.0f, 0.999999f, -0.999999f, 1.5f, -1.5f, 8388607.5f,
                            -8388607.5f, 8388608.0f, 16777217.0f, 2147483520.0f, -2147483520.0f,
                            2147483648.0f, -2147483648.0f, 2147483904.0f, -2147483904.0f, 3e38f, -3e38f,
                            inf, -inf, bits(0x7FC00000u), bits(0xFFC00000u), bits(0x7F800001u),
                            bits(0xFF800001u), bits(0x00000001u), bits(0x80000001u), bits(0x007FFFFFu),
                            bits(0x3F7FFFFFu), bits(0x3F800000u), bits(0x4EFFFFFFu), bits(0xCEFFFFFFu),
                            bits(0x4F000000u), bits(0xCF000000u)};
    std::mt19937 rng(7);
    for (int i = 0; i < 200000; i++)
        v.push_back(bits(rng()));
    for (int e = 118; e < 160; e++) /* every exponent around 1 and 2^31 */
        for (uint32_t m : {0u, 1u, 0x400000u, 0x7FFFFFu})
            for (uint32_t s : {0u, 0x80000000u})
                v.push_back(bits(s | (uint32_t)e << 23 | m));
    for (float f : v)
        ASSERT_EQ(fp_ftoi(f), refFtoi(f)) << std::hex << std::bit_cast<uint32_t>(f);
}

TEST(IntegerForms, DivisionIn32BitsWhereTheShiftedDividendFits)
{
    std::vector<int32_t> a = {0, 1, -1, 4095, -4096, (1 << 19) - 1, -(1 << 19) + 1, 1 << 19, -(1 << 19),
                              (1 << 19) + 1, INT32_MAX, INT32_MIN, 131072, 1 << 24, -(1 << 24)};
    std::vector<int32_t> b = {1, -1, 2, -2, 3, 4096, -4096, 7, 65535, INT32_MAX, INT32_MIN, 1 << 20, INT32_MIN + 1};
    std::mt19937 rng(11);
    for (int i = 0; i < 2000; i++) {
        a.push_back((int32_t)rng() >> (rng() % 32));
        b.push_back((int32_t)rng() >> (rng() % 32));
    }
    for (int32_t x : a)
        for (int32_t y : b) {
            if (y == 0)
                continue;
            int32_t ref = (int32_t)(uint32_t)(((int64_t)x * 4096) / (int64_t)y);
            ASSERT_EQ(fp_div(x, y), ref) << x << " / " << y;
        }
}

/* The division by a reciprocal is exact: divisors and dividends of every
 * bit length, each near a power of two, the extremes, and random ones. */
TEST(IntegerForms, DivisionByAReciprocalIsExact)
{
    std::vector<uint32_t> v = {0, 1, 2, 3, 5, 7, 255, 256, 257, 4095, 4096, 4097, 0x7FFFFFFFu, 0x80000000u,
                               0x80000001u, 0xFFFFFFFEu, 0xFFFFFFFFu};
    for (int b = 1; b < 32; b++)
        for (uint32_t d : {0u - 1u, 0u, 1u})
            v.push_back((1u << b) + d);
    std::mt19937 rng(13);
    for (int i = 0; i < 3000; i++)
        v.push_back(rng() >> (rng() % 32));
    for (uint32_t d : v) {
        if (d == 0)
            continue;
        for (uint32_t n : v)
            ASSERT_EQ(fp_udivRecip(n, d), n / d) << n << " / " << d;
        ASSERT_EQ(fp_udivRecip(0xFFFFFFFFu, d), 0xFFFFFFFFu / d) << d; /* fp_divisor's reciprocal */
        ASSERT_EQ(fp_udivRecip24(d), (1u << 24) / d) << d;              /* the edges' 1 / height */
        const uint64_t r = fp_recip32(d), exact = (1ull << 32) / d;    /* fp_divisor's reciprocal */
        ASSERT_TRUE(r <= exact && exact - r <= 1 + 4 / d) << d;
    }
}

/* One divisor's reciprocal for several quotients gives fp_div's, dividends
 * and divisors at every size boundary of both forms. */
TEST(IntegerForms, DivisionThroughOneDivisorsReciprocal)
{
    std::vector<int32_t> a = {0, 1, -1, 4095, -4096, (1 << 19) - 1, -(1 << 19) + 1, 1 << 19, -(1 << 19),
                              (1 << 19) + 1, INT32_MAX, INT32_MIN, INT32_MIN + 1, 1 << 24, -(1 << 24)};
    std::vector<int32_t> b = {0, 1, -1, 2, -2, 3, 4096, -4096, 7, 65535, (1 << 20) - 1, 1 << 20, -(1 << 20),
                              (1 << 20) + 1, INT32_MAX, INT32_MIN, INT32_MIN + 1};
    std::mt19937 rng(12);
    for (int i = 0; i < 1500; i++) {
        a.push_back((int32_t)rng() >> (rng() % 32));
        b.push_back((int32_t)rng() >> (rng() % 32));
    }
    for (int32_t y : b) {
        const FpDivisor k = fp_divisor(y);
        for (int32_t x : a)
            ASSERT_EQ(fp_divBy(x, k), fp_div(x, y)) << x << " / " << y;
    }
}

/* The float form of fp_vecNormal's scale. */
fixed refNormalScale(fixed len2)
{
    float len = bsqrt(fp_fconv(len2));
    if (len == 0.0f)
        return 0;
    return fp_convf(1.0f / len);
}

TEST(IntegerForms, NormalScaleMatchesTheFloatFormAcrossTheRange)
{
    /* every value up to 2^20, then a stride over the rest with the float
     * rounding boundaries (powers of two, ties) checked nearby */
    for (fixed l = -1000; l <= (1 << 20); l++)
        ASSERT_EQ(vec_normalScale(l), refNormalScale(l)) << l;
    for (int64_t l = 1 << 20; l <= INT32_MAX; l += 4099)
        ASSERT_EQ(vec_normalScale((fixed)l), refNormalScale((fixed)l)) << l;
    for (int p = 20; p <= 31; p++) {
        for (int64_t d = -300; d <= 300; d++) {
            int64_t l = ((int64_t)1 << p) + d * (p > 24 ? (1 << (p - 24)) / 2 : 1);
            if (l > 0 && l <= INT32_MAX) {
                ASSERT_EQ(vec_normalScale((fixed)l), refNormalScale((fixed)l)) << l;
            }
        }
    }
    EXPECT_EQ(vec_normalScale(INT32_MIN), 0);
}

TEST(IntegerForms, SphereMapInIntegersWhereTheFloatStepsAreExact)
{
    const std::vector<fixed> n = {0, 1, -1, 4096, -4096, -4097, 8192, -8192, (1 << 23) - 1, -(1 << 23) + 1,
                                  1 << 23, -(1 << 23), (1 << 24) + 1, -(1 << 24) - 3, INT32_MAX, INT32_MIN, 12345678};
    std::vector<Vertex3D> verts(n.size() * n.size());
    for (size_t i = 0; i < verts.size(); i++) {
        verts[i] = {};
        verts[i].tnx = n[i % n.size()];
        verts[i].tny = n[i / n.size()];
    }
    Object3D o{};
    o.vertCount = (uint32_t)verts.size();
    o.frameCount = 1;
    o.verts = verts.data();
    make_envmap(&o);
    for (const Vertex3D& v : verts) {
        EXPECT_EQ(v.u, refFtoi(524288.0f * ((float)v.tnx * (1.0f / 4096.0f) * 0.5f + 0.5f))) << v.tnx;
        EXPECT_EQ(v.v, refFtoi(524288.0f * ((float)v.tny * (1.0f / 4096.0f) * -0.5f + 0.5f))) << v.tny;
    }
}

} // namespace
