/* Trigonometry: the two tables regenerated from their formulas, the
 * interpolated sine and cosine, the table arc tangents. */
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <numbers>
#include <random>

#include "math/kv_math.h"

namespace {

/* v rounded to 6 decimal places as a decimal text, then read as a float:
 * what a literal written with those 6 decimals compiles to. */
float sixDecimals(double v)
{
    char text[32];
    snprintf(text, sizeof text, "%.6f", v);
    return strtof(text, nullptr);
}

TEST(TrigTables, SinTableIsTheSineRoundedToSixDecimals)
{
    for (int i = 0; i < 256; i++) {
        float want = sixDecimals(std::sin(2 * std::numbers::pi * i / 256));
        ASSERT_EQ(std::bit_cast<uint32_t>(SinTable[i]), std::bit_cast<uint32_t>(want))
            << "entry " << i << ": " << SinTable[i] << " vs " << want;
    }
    EXPECT_EQ(SinTable[64], 1.0f);
    EXPECT_EQ(SinTable[192], -1.0f);
}

TEST(TrigTables, AtanTableIsTheArcTangentRoundedToSixDecimals)
{
    for (int i = 0; i < 256; i++) {
        float want = sixDecimals(std::atan(i / 256.0));
        ASSERT_EQ(std::bit_cast<uint32_t>(atanTable[i]), std::bit_cast<uint32_t>(want))
            << "entry " << i << ": " << atanTable[i] << " vs " << want;
    }
    EXPECT_EQ(atanTable[0], 0.0f);
    EXPECT_EQ(atanTable[255], 0.783441f);
}

/* The exact odd and even symmetry of sine and cosine rest on these. */
TEST(TrigTables, SineTableIsExactlyOddAndMirroredAboutTheQuarterTurns)
{
    for (int i = 0; i < 256; i++) {
        EXPECT_EQ(SinTable[(256 - i) & 255], -SinTable[i]) << i;
        EXPECT_EQ(SinTable[(64 - i) & 255], SinTable[(64 + i) & 255]) << i;
    }
}

TEST(Trig, SineAndCosineHitTheTableAtWholeSteps)
{
    EXPECT_EQ(bsin(0.0f), 0.0f);
    EXPECT_EQ(bcos(0.0f), 1.0f);
    ASSERT_EQ(1.5707964f * 40.743664f, 64.0f);
    EXPECT_EQ(bsin(1.5707964f), 1.0f);
    EXPECT_EQ(bcos(1.5707964f), 0.0f);
    EXPECT_EQ(bsin(-1.5707964f), -1.0f);
    EXPECT_EQ(bcos(-1.5707964f), 0.0f);
}

TEST(Trig, SineAndCosineFollowTheTrueFunctionsClosely)
{
    /* linear interpolation over 1/256 of a turn is within 8e-5; a wrong
     * phase, index or missing blend is off by at least 2e-3 somewhere */
    for (int k = -40000; k <= 40000; k++) {
        float x = k * 0.0005f;
        ASSERT_NEAR(bsin(x), std::sin((double)x), 1e-4) << x;
        ASSERT_NEAR(bcos(x), std::cos((double)x), 1e-4) << x;
    }
    for (float x : {-0.02f, -0.01f, -0.001f, -1e-6f}) /* between -1 and 0 steps */
        EXPECT_NEAR(bsin(x), x, 3e-4 * std::fabs(x)) << x;
}

TEST(Trig, SineIsExactlyOddAndCosineExactlyEven)
{
    std::mt19937 rng(99);
    std::uniform_real_distribution<float> wide(-60.0f, 60.0f), narrow(-0.05f, 0.05f);
    for (int i = 0; i < 200000; i++) {
        float x = (i & 1) ? wide(rng) : narrow(rng);
        ASSERT_EQ(bsin(-x), -bsin(x)) << x;
        ASSERT_EQ(bcos(-x), bcos(x)) << x;
    }
    for (float x : {1e-10f, 1e-30f, 0.0245f, 1e8f})
        EXPECT_EQ(bsin(-x), -bsin(x)) << x;
}

TEST(Trig, AnglesOfSeveralTurnsWrap)
{
    for (float a : {0.3f, 1.0f, -2.0f, 2.5f}) {
        for (int k : {-3, -1, 1, 2, 5, 20}) {
            float x = (float)(2 * std::numbers::pi * k) + a;
            EXPECT_NEAR(bsin(x), bsin(a), 1e-4) << a << " + " << k << " turns";
            EXPECT_NEAR(bcos(x), bcos(a), 1e-4) << a << " + " << k << " turns";
        }
    }
    /* beyond 2^31 steps every position is a whole number of turns */
    EXPECT_EQ(bsin(1e12f), 0.0f);
    EXPECT_EQ(bcos(-1e12f), 1.0f);
    EXPECT_EQ(bsin(std::numeric_limits<float>::infinity()), 0.0f);
    EXPECT_EQ(bsin(std::numeric_limits<float>::quiet_NaN()), 0.0f);
}

TEST(Trig, ArcTangentBranches)
{
    const float halfPi = 1.5707964f;
    EXPECT_EQ(batan(0.0f), 0.0f);
    EXPECT_EQ(batan(0.5f), atanTable[128]);
    EXPECT_EQ(batan(-0.25f), -atanTable[64]);
    EXPECT_EQ(batan(0.99999994f), atanTable[255]);
    EXPECT_EQ(batan(1.0f), halfPi - 0.783441f); /* k = 256 clamped to 255 */
    EXPECT_EQ(batan(-1.0f), -(halfPi - 0.783441f));
    EXPECT_EQ(batan(2.0f), halfPi - atanTable[128]);
    EXPECT_EQ(batan(1000.0f), halfPi);
    for (int k = -4000; k <= 4000; k++) {
        float x = k * 0.01f;
        ASSERT_NEAR(batan(x), std::atan((double)x), 0.0045) << x; /* no interpolation */
    }

    EXPECT_EQ(batan2(5.0f, 0.0f), 0.0f);
    EXPECT_EQ(batan2(-5.0f, 0.0f), 0.0f);
    EXPECT_EQ(batan2(1.0f, 1.0f), (halfPi - 0.783441f) + 3.1416f);
    EXPECT_EQ(batan2(1.0f, -1.0f), -(halfPi - 0.783441f));
    EXPECT_EQ(batan2(-1.0f, 1.0f), -(halfPi - 0.783441f) + 3.1416f);
    EXPECT_EQ(batan2(0.5f, 2.0f), atanTable[64] + 3.1416f);
    EXPECT_EQ(batan2(-0.5f, -2.0f), atanTable[64]);
}

TEST(Trig, FixedArcTangentBranches)
{
    EXPECT_EQ(fp_atan(0), 0);
    EXPECT_EQ(fp_atan(15), 0);
    EXPECT_EQ(fp_atan(2048), 1899); /* 0.5: entry 128 */
    EXPECT_EQ(fp_atan(4095), 3208); /* entry 255 */
    EXPECT_EQ(fp_atan(4096), 3226); /* 6434 - 3208 */
    EXPECT_EQ(fp_atan(-4096), -3226);
    EXPECT_EQ(fp_atan(8192), 6434 - 1899);
    EXPECT_EQ(fp_atan(-2048), -1899);
    EXPECT_EQ(fp_atan(INT32_MAX), 6434);
    EXPECT_EQ(fp_atan(INT32_MIN), -6434);
    for (int a = -200000; a <= 200000; a += 7)
        ASSERT_NEAR(fp_atan(a), std::atan(a / 4096.0) * 4096, 20) << a;
}

} // namespace
