/* Vectors: arithmetic, the cross product, normalisation. */
#include <gtest/gtest.h>

#include "math/kv_vector.h"

namespace {

TEST(Vector, FixedArithmeticWrapsAndAllowsTheDestinationAsOperand)
{
    FpVec3 a = {fp_convi(1), fp_convi(2), fp_convi(3)}, b = {fp_convi(4), fp_convi(5), fp_convi(6)}, d;
    fp_vecAdd(&d, &a, &b);
    EXPECT_EQ(d.x, fp_convi(5)); EXPECT_EQ(d.y, fp_convi(7)); EXPECT_EQ(d.z, fp_convi(9));
    fp_vecSub(&d, &d, &b);
    EXPECT_EQ(d.x, a.x); EXPECT_EQ(d.y, a.y); EXPECT_EQ(d.z, a.z);
    fp_vecMul(&d, &d, 2048);
    EXPECT_EQ(d.x, 2048); EXPECT_EQ(d.y, 4096); EXPECT_EQ(d.z, 6144);
    EXPECT_EQ(fp_vecDot(&a, &b), fp_convi(32));
    FpVec3 m = {-1, -1, -1}, one = {1, 1, 1};
    EXPECT_EQ(fp_vecDot(&m, &one), -3); /* each product rounds toward -inf */
    FpVec3 big = {INT32_MAX, 0, 0}, e = {1, 0, 0};
    fp_vecAdd(&d, &big, &e);
    EXPECT_EQ(d.x, INT32_MIN);
}

TEST(Vector, CrossProductByHand)
{
    FpVec3 a = {fp_convi(1), fp_convi(2), fp_convi(3)}, b = {fp_convi(4), fp_convi(5), fp_convi(6)}, d;
    fp_vecCross(&d, &a, &b);
    EXPECT_EQ(d.x, fp_convi(-3)); EXPECT_EQ(d.y, fp_convi(6)); EXPECT_EQ(d.z, fp_convi(-3));
    FpVec3 x = {4096, 0, 0}, y = {0, 4096, 0};
    fp_vecCross(&d, &x, &y);
    EXPECT_EQ(d.x, 0); EXPECT_EQ(d.y, 0); EXPECT_EQ(d.z, 4096);
    fp_vecCross(&a, &a, &b); /* the destination may be an operand */
    EXPECT_EQ(a.x, fp_convi(-3)); EXPECT_EQ(a.y, fp_convi(6)); EXPECT_EQ(a.z, fp_convi(-3));

    Vec3 fa = {1, 2, 3}, fb = {4, 5, 6}, fd;
    vecCross(&fd, &fa, &fb);
    EXPECT_EQ(fd.x, -3.0f); EXPECT_EQ(fd.y, 6.0f); EXPECT_EQ(fd.z, -3.0f);
    vecCross(&fb, &fa, &fb);
    EXPECT_EQ(fb.x, -3.0f); EXPECT_EQ(fb.y, 6.0f); EXPECT_EQ(fb.z, -3.0f);
    EXPECT_EQ(vecDot(&fa, &fa), 14.0f);
    vecAdd(&fd, &fa, &fa);
    vecSub(&fd, &fd, &fa);
    vecMul(&fd, &fd, 0.5f);
    EXPECT_EQ(fd.x, 0.5f); EXPECT_EQ(fd.y, 1.0f); EXPECT_EQ(fd.z, 1.5f);
}

TEST(Vector, FixedNormalisation)
{
    FpVec3 v = {0, 0, 0};
    fp_vecNormal(&v);
    EXPECT_EQ(v.x, 0); EXPECT_EQ(v.y, 0); EXPECT_EQ(v.z, 0);
    v = {8192, 0, 0};
    fp_vecNormal(&v);
    EXPECT_EQ(v.x, 4096); EXPECT_EQ(v.y, 0); EXPECT_EQ(v.z, 0);
    v = {0, 0, -8192};
    fp_vecNormal(&v);
    EXPECT_EQ(v.z, -4096);
    v = {fp_convi(3), fp_convi(4), 0}; /* length 5: k = fp_convf(0.2) = 819 */
    fp_vecNormal(&v);
    EXPECT_EQ(v.x, 2457); EXPECT_EQ(v.y, 3276); EXPECT_EQ(v.z, 0);

    /* too short for bsqrt (length below 1/16) and wrapped lengths stay as
     * they are instead of being scaled by an infinite factor */
    v = {200, 0, 0};
    fp_vecNormal(&v);
    EXPECT_EQ(v.x, 200);
    v = {fp_convi(725), 0, 0};
    fp_vecNormal(&v);
    EXPECT_EQ(v.x, fp_convi(725));
}

TEST(Vector, FloatNormalisation)
{
    Vec3 v = {3, 4, 0};
    vecNormal(&v);
    EXPECT_FLOAT_EQ(v.x, 0.6f); EXPECT_FLOAT_EQ(v.y, 0.8f); EXPECT_EQ(v.z, 0.0f);
    v = {0, 0, 0};
    vecNormal(&v);
    EXPECT_EQ(v.x, 0.0f); EXPECT_EQ(v.y, 0.0f); EXPECT_EQ(v.z, 0.0f);
    v = {0.01f, 0, 0};
    vecNormal(&v);
    EXPECT_EQ(v.x, 0.01f);
    v = {0, 0, -2.0f};
    vecNormal(&v);
    EXPECT_EQ(v.z, -1.0f);
}

} // namespace
