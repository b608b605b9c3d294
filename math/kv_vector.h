/*
 * kv_vector: 3-vectors in float (Vec3, for set-up) and fixed point (FpVec3,
 * for per-frame work).
 *
 * Every function writes through the pointer given first and allocates
 * nothing. The destination may be the same record as an operand everywhere,
 * the cross product included (it computes all three components before
 * writing any).
 *
 * The functions take Vec3 / FpVec3 records only. A caller holding the
 * coordinates inside another record (a vertex's position x, y, z or its
 * normal nx, ny, nz) copies them into a local FpVec3, calls, and copies the
 * result back; records of other types are never reinterpreted as vectors.
 */
#ifndef ORVEL_MATH_KV_VECTOR_H
#define ORVEL_MATH_KV_VECTOR_H

#include "math/kv_math.h"

struct Vec3 {
    float x, y, z; /* any unit */
};

struct FpVec3 {
    fixed x, y, z; /* 20.12 fixed */
};

/* ---- Float --------------------------------------------------------------- */

/* dst = a + b. */
void vecAdd(Vec3* dst, const Vec3* a, const Vec3* b);
/* dst = a - b. */
void vecSub(Vec3* dst, const Vec3* a, const Vec3* b);
/* dst = a * k. */
void vecMul(Vec3* dst, const Vec3* a, float k);
/* (a.x*b.x + a.y*b.y) + a.z*b.z. */
float vecDot(const Vec3* a, const Vec3* b);
/* dst = a x b = (a.y*b.z - a.z*b.y, a.z*b.x - a.x*b.z, a.x*b.y - a.y*b.x). */
void vecCross(Vec3* dst, const Vec3* a, const Vec3* b);
/* Scales v in place to about unit length: L = (x*x + y*y) + z*z, each
 * component times 1 / bsqrt(L). bsqrt has a resolution of 1/16, so the
 * length is only approximately 1. A vector whose bsqrt(L) is 0 (the zero
 * vector, or one shorter than 1/16) is left unchanged. */
void vecNormal(Vec3* v);

/* ---- Fixed (all sums wrap in 32 bits) ------------------------------------
 * The small ones are inline: the normal builder calls them per triangle. */

/* dst = a + b. */
inline void fp_vecAdd(FpVec3* dst, const FpVec3* a, const FpVec3* b)
{
    dst->x = fp_add(a->x, b->x);
    dst->y = fp_add(a->y, b->y);
    dst->z = fp_add(a->z, b->z);
}
/* dst = a - b. */
inline void fp_vecSub(FpVec3* dst, const FpVec3* a, const FpVec3* b)
{
    dst->x = fp_sub(a->x, b->x);
    dst->y = fp_sub(a->y, b->y);
    dst->z = fp_sub(a->z, b->z);
}
/* dst = a * k, fp_mul per component. */
inline void fp_vecMul(FpVec3* dst, const FpVec3* a, fixed k)
{
    dst->x = fp_mul(a->x, k);
    dst->y = fp_mul(a->y, k);
    dst->z = fp_mul(a->z, k);
}
/* (fp_mul(a.x, b.x) + fp_mul(a.y, b.y)) + fp_mul(a.z, b.z). */
fixed fp_vecDot(const FpVec3* a, const FpVec3* b);
/* dst = a x b as vecCross, each product an fp_mul. */
inline void fp_vecCross(FpVec3* dst, const FpVec3* a, const FpVec3* b)
{
    FpVec3 c;
    c.x = fp_sub(fp_mul(a->y, b->z), fp_mul(a->z, b->y));
    c.y = fp_sub(fp_mul(a->z, b->x), fp_mul(a->x, b->z));
    c.z = fp_sub(fp_mul(a->x, b->y), fp_mul(a->y, b->x));
    *dst = c;
}
/* Scales v in place to about unit length (4096): L = fp_mul(x, x) +
 * fp_mul(y, y) + fp_mul(z, z), k = fp_convf(1 / bsqrt(fp_fconv(L))), each
 * component becomes fp_mul(component, k). (8192, 0, 0) gives (4096, 0, 0).
 * A vector whose bsqrt(L) is 0 is left unchanged: the zero vector, one
 * shorter than 1/16, and one whose L wrapped negative. L wraps once the
 * length passes about 724.0; the result is then meaningless. */
void fp_vecNormal(FpVec3* v);

/* The k of fp_vecNormal for a squared length len2, computed in integers
 * with the same result as the float form: 0 when bsqrt(fp_fconv(len2)) is
 * 0 (len2 <= 15, or negative), else fp_convf(1.0f / that root). */
fixed vec_normalScale(fixed len2);

#endif
