/*
 * kv_math: the engine's number formats.
 *
 * `fixed` is a signed 32-bit number with 12 fraction bits: 4096 is 1.0, 1 is
 * 1/4096, the range is -524288.0 to just under 524288.0. Every sum, product
 * and shift on it wraps in 32 bits (two's complement); nothing saturates.
 * The per-vertex and per-pixel paths use it because the handheld has no FPU;
 * set-up code (poses, angles, camera) uses single-precision floats.
 *
 * Angles are float radians. Sine and cosine interpolate linearly in the
 * 256-entry SinTable; arc tangent reads the 256-entry atanTable without
 * interpolation. Nothing here calls a system math library, keeps state or
 * allocates.
 *
 * Float-to-integer conversions truncate toward zero. Where the value does
 * not fit in 32 bits they saturate (NaN gives 0), which is what the
 * handheld's software float conversion does, instead of being undefined.
 *
 * Suffix i: the second operand is an int; suffix f: it is a float.
 */
#ifndef ORVEL_MATH_KV_MATH_H
#define ORVEL_MATH_KV_MATH_H

#include <cstdint>
#include <cstring>

typedef int32_t fixed; /* 20.12 fixed point, 4096 = 1.0 */

enum {
    FP_SHIFT = 12,   /* fraction bits of fixed */
    FP_ONE = 4096,   /* 1.0 in fixed */
    FP_HALFPI = 6434 /* pi/2 in fixed, as fp_atan uses it */
};

/* sin(2*pi*i/256) rounded to 6 decimal places, as float; entry 64 is 1.0,
 * entry 192 is -1.0, entry 256-i is the negation of entry i. */
extern const float SinTable[256];

/* atan(i/256) rounded to 6 decimal places, as float; entry 0 is 0.0,
 * entry 255 is 0.783441. */
extern const float atanTable[256];

/* ---- Conversions --------------------------------------------------------- */

/* A float truncated toward zero to an int. Values at or beyond +-2^31
 * saturate to INT32_MAX / INT32_MIN; NaN gives 0. */
inline int fp_ftoi(float f)
{
    /* Integer tests on the float's bits: no float compare, no conversion
     * call on a machine without FPU. e is the biased exponent; the value is
     * m * 2^(e - 150) with m the significand and its hidden bit. */
    uint32_t b;
    memcpy(&b, &f, sizeof b);
    const uint32_t e = (b >> 23) & 0xFFu;
    if (e < 127u)
        return 0; /* |f| < 1, zeros and denormals: truncated to 0 */
    if (e < 158u) { /* |f| < 2^31 */
        const uint32_t m = (b & 0x7FFFFFu) | 0x800000u;
        const uint32_t a = e >= 150u ? m << (e - 150u) : m >> (150u - e);
        return (int)((b >> 31) ? 0u - a : a);
    }
    if (e == 0xFFu && (b & 0x7FFFFFu))
        return 0; /* NaN */
    return (b >> 31) ? INT32_MIN : INT32_MAX; /* -2^31 itself is INT32_MIN */
}

/* i as fixed: i << 12, wrapping for |i| >= 524288. */
inline fixed fp_convi(int i)
{
    return (fixed)((uint32_t)i << FP_SHIFT);
}

/* The integer part of a: a >> 12, arithmetic, so it rounds toward -inf
 * (fp_iconv(-1) is -1). */
inline int fp_iconv(fixed a)
{
    return a >> FP_SHIFT;
}

/* f as fixed: (int)(f * 4096.0f), the float product truncated toward zero
 * (saturating as fp_ftoi). */
inline fixed fp_convf(float f)
{
    return fp_ftoi(f * 4096.0f);
}

/* a as float: (float)a * 2^-12. */
inline float fp_fconv(fixed a)
{
    return (float)a * (1.0f / 4096.0f);
}

/* ---- Arithmetic (all wrapping in 32 bits) -------------------------------- */

/* a + b. */
inline fixed fp_add(fixed a, fixed b)
{
    return (fixed)((uint32_t)a + (uint32_t)b);
}

/* a - b. */
inline fixed fp_sub(fixed a, fixed b)
{
    return (fixed)((uint32_t)a - (uint32_t)b);
}

/* a + (i << 12). */
inline fixed fp_addi(fixed a, int i)
{
    return fp_add(a, fp_convi(i));
}

/* a - (i << 12). */
inline fixed fp_subi(fixed a, int i)
{
    return fp_sub(a, fp_convi(i));
}

/* a + fp_convf(f). */
inline fixed fp_addf(fixed a, float f)
{
    return fp_add(a, fp_convf(f));
}

/* a - fp_convf(f). */
inline fixed fp_subf(fixed a, float f)
{
    return fp_sub(a, fp_convf(f));
}

/* a * b: the exact 64-bit product shifted right arithmetically by 12, low 32
 * bits kept. Rounds toward -inf: fp_mul(-1, 1) is -1. */
inline fixed fp_mul(fixed a, fixed b)
{
    return (fixed)(uint32_t)(((int64_t)a * (int64_t)b) >> FP_SHIFT);
}

/* Exactly fp_mul(a, b), skipping the multiply when either operand is 0 or
 * exactly 1.0 (frequent in rotation and translation matrices). */
inline fixed fp_optmul(fixed a, fixed b)
{
    if (a == 0 || b == 0)
        return 0;
    if (b == FP_ONE)
        return a;
    if (a == FP_ONE)
        return b;
    return fp_mul(a, b);
}

/* a * i in 32 bits, no shift. */
inline fixed fp_muli(fixed a, int i)
{
    return (fixed)((uint32_t)a * (uint32_t)i);
}

/* (int)((float)a * f), truncated toward zero (saturating as fp_ftoi). */
inline fixed fp_mulf(fixed a, float f)
{
    return fp_ftoi((float)a * f);
}

/* floor(n / d) for d >= 1 by a reciprocal, on every build: d shifted up to
 * its top bit (the shift from a table of leading zeros), a reciprocal of 8
 * bits from a 256-entry table and two Newton steps, each kept at or below
 * the true 2^63 / d (so the estimated quotient never passes the true one),
 * then a multiply and the remainder's correction, a few steps at most. No
 * division instruction: the handheld has no divider and the C library's
 * division loops over the quotient's bits. */
uint32_t fp_udivRecip(uint32_t n, uint32_t d);

/* A reciprocal of d >= 1 for fp_divisorQuot: at most 2^32 / d and short of
 * it by less than 1 + 4 / d. */
uint32_t fp_recip32(uint32_t d);

/* floor(2^24 / d) for d >= 1, the same quotient as fp_udivRecip(1 << 24,
 * d) with one Newton step fewer for d >= 256. */
uint32_t fp_udivRecip24(uint32_t d);

/* fp_div(FP_ONE, b) for b >= 1: fp_udivRecip24 on the handheld, the
 * machine's division elsewhere. */
inline fixed fp_recip(fixed b)
{
#if defined(__arm__)
    return (fixed)fp_udivRecip24((uint32_t)b);
#else
    return (fixed)((1u << 24) / (uint32_t)b);
#endif
}

/* floor(n / d) for d >= 1: fp_udivRecip on the handheld, the machine's
 * division elsewhere. */
inline uint32_t fp_udiv(uint32_t n, uint32_t d)
{
#if defined(__arm__)
    return fp_udivRecip(n, d);
#else
    return n / d;
#endif
}

/* n / d truncated toward zero, for d != 0 and n != INT32_MIN, through
 * fp_udiv on the magnitudes. */
inline int32_t fp_sdiv(int32_t n, int32_t d)
{
    const uint32_t un = n < 0 ? 0u - (uint32_t)n : (uint32_t)n;
    const uint32_t ud = d < 0 ? 0u - (uint32_t)d : (uint32_t)d;
    const uint32_t q = fp_udiv(un, ud);
    return (int32_t)((n < 0) != (d < 0) ? 0u - q : q);
}

/* fp_div for a dividend whose shift by 12 does not fit in 32 bits (b not
 * 0): for |b| <= 2^20 two 32-bit divisions, |a| / |b| and its remainder
 * shifted by 12 over |b|, make the same quotient; else the 64-bit
 * division. */
fixed fp_divWide(fixed a, fixed b);

/* a / b: ((64-bit)a << 12) / b, 64-bit division truncating toward zero, low
 * 32 bits kept: fp_div(-1, 8192) is 0. b == 0 gives 0 rather than a crash
 * (the renderer treats a zero divisor the same way). */
inline fixed fp_div(fixed a, fixed b)
{
    if (b == 0)
        return 0;
    /* a << 12 fits in 32 bits (and is not INT32_MIN, whose quotient by -1
     * would not): the 32-bit division gives the same quotient, at a
     * fraction of the 64-bit one's cost on a machine without divider. */
    if (a > -(1 << 19) && a < (1 << 19))
        return fp_sdiv(a * FP_ONE, b);
    return fp_divWide(a, b);
}

/* One divisor for several fp_div: its magnitude and a reciprocal, so that
 * each quotient takes a multiply and a correction instead of a division
 * (the handheld has no divider; the triangle set-up divides three
 * differences by one width). */
struct FpDivisor {
    fixed b;     /* the divisor */
    uint32_t ub; /* |b| */
    uint32_t r;  /* fp_recip32(|b|), 0 for b == 0 */
};

/* The divisor b, with one reciprocal (fp_recip32). */
inline FpDivisor fp_divisor(fixed b)
{
    const uint32_t ub = b < 0 ? 0u - (uint32_t)b : (uint32_t)b;
    FpDivisor k = {b, ub, ub ? fp_recip32(ub) : 0u};
    return k;
}

/* n / |k.b| for k.b != 0, exactly: r <= 2^32 / |b|, so n * r >> 32 is at
 * most the quotient and short of it by less than 7 (r is short of 2^32 /
 * |b| by less than 1 + 4 / |b|, and n < 2^32); the remainder's loop makes
 * up the difference. */
inline uint32_t fp_divisorQuot(const FpDivisor& k, uint32_t n)
{
    uint32_t q = (uint32_t)(((uint64_t)n * k.r) >> 32);
    uint32_t rem = n - q * k.ub;
    while (rem >= k.ub) {
        q++;
        rem -= k.ub;
    }
    return q;
}

/* Exactly fp_div(a, k.b). The quotient of magnitudes is the one fp_div
 * and fp_divWide take: |a| << 12 over |b| when it fits in 32 bits, else
 * (|a| / |b|) << 12 plus the remainder's << 12 over |b|, wrapping as they
 * do; a |b| above 2^20 with a wide dividend goes to fp_divWide. */
inline fixed fp_divBy(fixed a, const FpDivisor& k)
{
    if (k.ub == 0)
        return 0;
    const uint32_t ua = a < 0 ? 0u - (uint32_t)a : (uint32_t)a;
    uint32_t q;
    if (ua < (1u << 19)) {
        q = fp_divisorQuot(k, ua << FP_SHIFT);
    } else {
        if (k.ub > (1u << 20))
            return fp_divWide(a, k.b);
        const uint32_t q1 = fp_divisorQuot(k, ua), rem = ua - q1 * k.ub;
        q = (q1 << FP_SHIFT) + fp_divisorQuot(k, rem << FP_SHIFT);
    }
    return (fixed)((a < 0) != (k.b < 0) ? 0u - q : q);
}

/* a / i, 32-bit division truncating toward zero. i == 0 gives 0;
 * INT32_MIN / -1 wraps to INT32_MIN. */
inline fixed fp_divi(fixed a, int i)
{
    if (i == 0)
        return 0;
    if (i == -1)
        return (fixed)(0u - (uint32_t)a);
    return a / i;
}

/* (int)((float)a / f), truncated toward zero (saturating as fp_ftoi;
 * f == 0 gives the saturated value of the signed infinity, 0 / 0 gives 0). */
inline fixed fp_divf(fixed a, float f)
{
    return fp_ftoi((float)a / f);
}

/* The square of a fixed value without a 64-bit product: (a >> 6) * (a >> 6),
 * both factors shifted arithmetically first (the low 6 bits of a are lost).
 * The product wraps in 32 bits once it passes 524288.0, that is for |a|
 * above about 724.08. */
inline fixed fp_bsqr(fixed a)
{
    uint32_t h = (uint32_t)(a >> 6);
    return (fixed)(h * h);
}

/* floor(sqrt(n)) for 0 <= n <= 2^31 - 1; 0 for every negative n. Binary
 * digit-by-digit method: no division, no floating point. */
int isqrt(int n);

/* The square root of a fixed value as fixed, resolution 16/4096:
 * isqrt(a << 4) << 4. a << 4 wraps for a >= 32768.0, and a negative
 * (or wrapped negative) argument gives 0. */
inline fixed fp_bsqrt(fixed a)
{
    return (fixed)((uint32_t)isqrt((int)((uint32_t)a << 4)) << 4);
}

/* Arc tangent of a fixed value, in fixed radians: atanTable[min(|a| >> 4,
 * 255)] below 1.0, 6434 minus atanTable[min(1048576 / |a|, 255)] from 1.0
 * up, each entry truncated to fixed, negated for negative a. Results lie in
 * [-6434, 6434]; fp_atan(4096) is 3226. */
fixed fp_atan(fixed a);

/* ---- Float functions ----------------------------------------------------- */

/* Table sine of float radians, linearly interpolated between the entries
 * around rad * 40.743664 (256 steps a turn), in float. Odd: bsin(-x) is
 * exactly -bsin(x). Steps at or beyond +-2^31 (where every float step is a
 * multiple of 256) and NaN read entry 0. Result in [-1, 1]. */
float bsin(float rad);

/* Table cosine, as bsin a quarter turn (64 entries) on. Even: bcos(-x) is
 * exactly bcos(x). bcos(0) is 1.0. */
float bcos(float rad);

/* Table arc tangent, no interpolation: atanTable[(int)(|x| * 256)] below 1,
 * 1.5707964 - atanTable[min((int)(256 / |x|), 255)] from 1 up, negated for
 * negative x. Result in [-pi/2, pi/2]. */
float batan(float x);

/* Table arc tangent of y / x with this engine's quadrant rule: the quotient
 * is 0 when x == 0, r = batan(y / x), and 3.1416 is added when x > 0.
 * So batan2(y, 0) is 0 and results lie in about [-pi/2, 3*pi/2]. */
float batan2(float y, float x);

/* x * x. */
inline float bsqr(float x)
{
    return x * x;
}

/* Square root with a resolution of 1/16 from an input truncated to 1/256:
 * isqrt((int)(x * 256)) * 0.0625. Negative x gives 0; x * 256 beyond the
 * int range saturates (so results stop at 2896.25). */
float bsqrt(float x);

/* |x|: the sign bit is flipped when x is not greater than 0 (so +0.0 gives
 * -0.0, equal in value). */
float babs(float x);

#endif
