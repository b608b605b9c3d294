/*
 * kv_vector: float and fixed-point 3-vectors (see kv_vector.h).
 */
#include "math/kv_vector.h"

/* ---- Globals -------------------------------------------------------------
 * kVecRecip[n] = 65536 / n (integer division) for n = 1 .. VEC_RECIP - 1,
 * and 0 for n = 0: fp_vecNormal's scale for the roots of the vectors a
 * mesh normalises (unit normals, edges of up to 64 units), without a
 * division. */
enum { VEC_RECIP = 1024 };
static constexpr struct VecRecip {
    int32_t k[VEC_RECIP];
    constexpr VecRecip() : k()
    {
        for (int n = 1; n < VEC_RECIP; n++)
            k[n] = 65536 / n;
    }
    constexpr int32_t operator[](int n) const { return k[n]; }
} kVecRecip;

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

fixed fp_vecDot(const FpVec3* a, const FpVec3* b)
{
    return fp_add(fp_add(fp_mul(a->x, b->x), fp_mul(a->y, b->y)), fp_mul(a->z, b->z));
}

/* n rounded to the nearest float (ties to even), as an integer: n itself
 * below 2^24, else n with its bits below the top 24 rounded away. n < 2^31,
 * so the result is at most 2^31. */
static uint32_t vec_floatRound(uint32_t n)
{
    if (n < (1u << 24))
        return n;
    int s = 1; /* bits below the top 24 */
    while (n >> (24 + s))
        s++;
    const uint32_t low = n & ((1u << s) - 1), half = 1u << (s - 1);
    uint32_t q = n >> s;
    if (low > half || (low == half && (q & 1)))
        q++;
    return q << s;
}

fixed vec_normalScale(fixed len2)
{
    /* The float form: len = bsqrt(fp_fconv(len2)), k = fp_convf(1.0f /
     * len). fp_fconv and bsqrt's * 256 only scale by powers of two, so
     * bsqrt reads trunc(float(len2) / 16) and len = n / 16 with n its
     * isqrt. k = trunc(float(16 / n) * 4096) = trunc(float(65536 / n)):
     * the rounding to 24 bits never reaches the next integer, because the
     * fraction of 65536 / n is a multiple of 1 / n, which is coarser than
     * half a float step there (n < 2^16), so k = 65536 / n in integers. */
    if (len2 <= 0)
        return 0; /* bsqrt of a negative number is 0 */
    const int n = isqrt((int)(vec_floatRound((uint32_t)len2) >> 4));
    if (n < VEC_RECIP)
        return kVecRecip[n];
    return 65536 / n;
}

void fp_vecNormal(FpVec3* v)
{
    fixed len2 = fp_add(fp_add(fp_mul(v->x, v->x), fp_mul(v->y, v->y)), fp_mul(v->z, v->z));
    fixed k = vec_normalScale(len2);
    if (k == 0) /* too short to measure, or len2 wrapped negative */
        return;
    v->x = fp_mul(v->x, k);
    v->y = fp_mul(v->y, k);
    v->z = fp_mul(v->z, k);
}
