/*
 * kv_vector: float and fixed-point 3-vectors (see kv_vector.h).
 */
#include "math/kv_vector.h"

/* ---- Float --------------------------------------------------------------- */

void vecAdd(Vec3* dst, const Vec3* a, const Vec3* b)
{
    dst->x = a->x + b->x;
    dst->y = a->y + b->y;
    dst->z = a->z + b->z;
}

void vecSub(Vec3* dst, const Vec3* a, const Vec3* b)
{
    dst->x = a->x - b->x;
    dst->y = a->y - b->y;
    dst->z = a->z - b->z;
}

void vecMul(Vec3* dst, const Vec3* a, float k)
{
    dst->x = a->x * k;
    dst->y = a->y * k;
    dst->z = a->z * k;
}

float vecDot(const Vec3* a, const Vec3* b)
{
    return (a->x * b->x + a->y * b->y) + a->z * b->z;
}

void vecCross(Vec3* dst, const Vec3* a, const Vec3* b)
{
    Vec3 c;
    c.x = a->y * b->z - a->z * b->y;
    c.y = a->z * b->x - a->x * b->z;
    c.z = a->x * b->y - a->y * b->x;
    *dst = c;
}

void vecNormal(Vec3* v)
{
    float len2 = (v->x * v->x + v->y * v->y) + v->z * v->z;
    if (len2 == 0.0f)
        return;
    float len = bsqrt(len2);
    if (len == 0.0f) /* shorter than bsqrt can measure: 1/len would be infinite */
        return;
    float k = 1.0f / len;
    v->x = v->x * k;
    v->y = v->y * k;
    v->z = v->z * k;
}

/* ---- Fixed --------------------------------------------------------------- */

void fp_vecAdd(FpVec3* dst, const FpVec3* a, const FpVec3* b)
{
    dst->x = fp_add(a->x, b->x);
    dst->y = fp_add(a->y, b->y);
    dst->z = fp_add(a->z, b->z);
}

void fp_vecSub(FpVec3* dst, const FpVec3* a, const FpVec3* b)
{
    dst->x = fp_sub(a->x, b->x);
    dst->y = fp_sub(a->y, b->y);
    dst->z = fp_sub(a->z, b->z);
}

void fp_vecMul(FpVec3* dst, const FpVec3* a, fixed k)
{
    dst->x = fp_mul(a->x, k);
    dst->y = fp_mul(a->y, k);
    dst->z = fp_mul(a->z, k);
}

fixed fp_vecDot(const FpVec3* a, const FpVec3* b)
{
    return fp_add(fp_add(fp_mul(a->x, b->x), fp_mul(a->y, b->y)), fp_mul(a->z, b->z));
}

void fp_vecCross(FpVec3* dst, const FpVec3* a, const FpVec3* b)
{
    FpVec3 c;
    c.x = fp_sub(fp_mul(a->y, b->z), fp_mul(a->z, b->y));
    c.y = fp_sub(fp_mul(a->z, b->x), fp_mul(a->x, b->z));
    c.z = fp_sub(fp_mul(a->x, b->y), fp_mul(a->y, b->x));
    *dst = c;
}

void fp_vecNormal(FpVec3* v)
{
    fixed len2 = fp_add(fp_add(fp_mul(v->x, v->x), fp_mul(v->y, v->y)), fp_mul(v->z, v->z));
    if (len2 == 0)
        return;
    float len = bsqrt(fp_fconv(len2));
    if (len == 0.0f) /* too short to measure, or len2 wrapped negative */
        return;
    fixed k = fp_convf(1.0f / len);
    v->x = fp_mul(v->x, k);
    v->y = fp_mul(v->y, k);
    v->z = fp_mul(v->z, k);
}
