/*
 * kv_math: fixed-point arithmetic and table trigonometry (see kv_math.h).
 */
#include "math/kv_math.h"

#include <cstring>

/* ---- Globals -------------------------------------------------------------
 * Constant data for the whole run. */

/* SinTable[i] = sin(2*pi*i/256) rounded to 6 decimal places, as float.
 * Unitless, -1.0 .. 1.0; 256 entries a turn. */
const float SinTable[256] = {
    0.000000f, 0.024541f, 0.049068f, 0.073565f, 0.098017f, 0.122411f, 0.146730f, 0.170962f,
    0.195090f, 0.219101f, 0.242980f, 0.266713f, 0.290285f, 0.313682f, 0.336890f, 0.359895f,
    0.382683f, 0.405241f, 0.427555f, 0.449611f, 0.471397f, 0.492898f, 0.514103f, 0.534998f,
    0.555570f, 0.575808f, 0.595699f, 0.615232f, 0.634393f, 0.653173f, 0.671559f, 0.689541f,
    0.707107f, 0.724247f, 0.740951f, 0.757209f, 0.773010f, 0.788346f, 0.803208f, 0.817585f,
    0.831470f, 0.844854f, 0.857729f, 0.870087f, 0.881921f, 0.893224f, 0.903989f, 0.914210f,
    0.923880f, 0.932993f, 0.941544f, 0.949528f, 0.956940f, 0.963776f, 0.970031f, 0.975702f,
    0.980785f, 0.985278f, 0.989177f, 0.992480f, 0.995185f, 0.997290f, 0.998795f, 0.999699f,
    1.000000f, 0.999699f, 0.998795f, 0.997290f, 0.995185f, 0.992480f, 0.989177f, 0.985278f,
    0.980785f, 0.975702f, 0.970031f, 0.963776f, 0.956940f, 0.949528f, 0.941544f, 0.932993f,
    0.923880f, 0.914210f, 0.903989f, 0.893224f, 0.881921f, 0.870087f, 0.857729f, 0.844854f,
    0.831470f, 0.817585f, 0.803208f, 0.788346f, 0.773010f, 0.757209f, 0.740951f, 0.724247f,
    0.707107f, 0.689541f, 0.671559f, 0.653173f, 0.634393f, 0.615232f, 0.595699f, 0.575808f,
    0.555570f, 0.534998f, 0.514103f, 0.492898f, 0.471397f, 0.449611f, 0.427555f, 0.405241f,
    0.382683f, 0.359895f, 0.336890f, 0.313682f, 0.290285f, 0.266713f, 0.242980f, 0.219101f,
    0.195090f, 0.170962f, 0.146730f, 0.122411f, 0.098017f, 0.073565f, 0.049068f, 0.024541f,
    0.000000f, -0.024541f, -0.049068f, -0.073565f, -0.098017f, -0.122411f, -0.146730f, -0.170962f,
    -0.195090f, -0.219101f, -0.242980f, -0.266713f, -0.290285f, -0.313682f, -0.336890f, -0.359895f,
    -0.382683f, -0.405241f, -0.427555f, -0.449611f, -0.471397f, -0.492898f, -0.514103f, -0.534998f,
    -0.555570f, -0.575808f, -0.595699f, -0.615232f, -0.634393f, -0.653173f, -0.671559f, -0.689541f,
    -0.707107f, -0.724247f, -0.740951f, -0.757209f, -0.773010f, -0.788346f, -0.803208f, -0.817585f,
    -0.831470f, -0.844854f, -0.857729f, -0.870087f, -0.881921f, -0.893224f, -0.903989f, -0.914210f,
    -0.923880f, -0.932993f, -0.941544f, -0.949528f, -0.956940f, -0.963776f, -0.970031f, -0.975702f,
    -0.980785f, -0.985278f, -0.989177f, -0.992480f, -0.995185f, -0.997290f, -0.998795f, -0.999699f,
    -1.000000f, -0.999699f, -0.998795f, -0.997290f, -0.995185f, -0.992480f, -0.989177f, -0.985278f,
    -0.980785f, -0.975702f, -0.970031f, -0.963776f, -0.956940f, -0.949528f, -0.941544f, -0.932993f,
    -0.923880f, -0.914210f, -0.903989f, -0.893224f, -0.881921f, -0.870087f, -0.857729f, -0.844854f,
    -0.831470f, -0.817585f, -0.803208f, -0.788346f, -0.773010f, -0.757209f, -0.740951f, -0.724247f,
    -0.707107f, -0.689541f, -0.671559f, -0.653173f, -0.634393f, -0.615232f, -0.595699f, -0.575808f,
    -0.555570f, -0.534998f, -0.514103f, -0.492898f, -0.471397f, -0.449611f, -0.427555f, -0.405241f,
    -0.382683f, -0.359895f, -0.336890f, -0.313682f, -0.290285f, -0.266713f, -0.242980f, -0.219101f,
    -0.195090f, -0.170962f, -0.146730f, -0.122411f, -0.098017f, -0.073565f, -0.049068f, -0.024541f,
};

/* atanTable[i] = atan(i/256) rounded to 6 decimal places, as float.
 * Radians, 0.0 .. 0.783441; the arc tangent of quotients 0 .. 255/256. */
const float atanTable[256] = {
    0.000000f, 0.003906f, 0.007812f, 0.011718f, 0.015624f, 0.019529f, 0.023433f, 0.027337f,
    0.031240f, 0.035142f, 0.039043f, 0.042942f, 0.046841f, 0.050738f, 0.054633f, 0.058527f,
    0.062419f, 0.066309f, 0.070197f, 0.074083f, 0.077967f, 0.081848f, 0.085727f, 0.089603f,
    0.093477f, 0.097348f, 0.101215f, 0.105080f, 0.108942f, 0.112800f, 0.116655f, 0.120507f,
    0.124355f, 0.128199f, 0.132040f, 0.135876f, 0.139709f, 0.143537f, 0.147361f, 0.151181f,
    0.154997f, 0.158808f, 0.162614f, 0.166415f, 0.170212f, 0.174004f, 0.177790f, 0.181572f,
    0.185348f, 0.189119f, 0.192884f, 0.196644f, 0.200399f, 0.204147f, 0.207890f, 0.211627f,
    0.215358f, 0.219083f, 0.222801f, 0.226514f, 0.230220f, 0.233919f, 0.237612f, 0.241299f,
    0.244979f, 0.248652f, 0.252318f, 0.255977f, 0.259630f, 0.263275f, 0.266913f, 0.270544f,
    0.274167f, 0.277784f, 0.281392f, 0.284994f, 0.288587f, 0.292173f, 0.295752f, 0.299322f,
    0.302885f, 0.306440f, 0.309986f, 0.313525f, 0.317056f, 0.320578f, 0.324092f, 0.327598f,
    0.331096f, 0.334585f, 0.338066f, 0.341538f, 0.345002f, 0.348457f, 0.351904f, 0.355342f,
    0.358771f, 0.362191f, 0.365602f, 0.369005f, 0.372398f, 0.375783f, 0.379159f, 0.382525f,
    0.385883f, 0.389231f, 0.392570f, 0.395900f, 0.399221f, 0.402532f, 0.405834f, 0.409127f,
    0.412410f, 0.415684f, 0.418949f, 0.422204f, 0.425450f, 0.428686f, 0.431912f, 0.435129f,
    0.438337f, 0.441534f, 0.444722f, 0.447901f, 0.451070f, 0.454229f, 0.457378f, 0.460518f,
    0.463648f, 0.466768f, 0.469878f, 0.472979f, 0.476069f, 0.479150f, 0.482221f, 0.485283f,
    0.488334f, 0.491375f, 0.494407f, 0.497429f, 0.500441f, 0.503443f, 0.506435f, 0.509417f,
    0.512389f, 0.515352f, 0.518304f, 0.521247f, 0.524180f, 0.527102f, 0.530015f, 0.532918f,
    0.535811f, 0.538694f, 0.541568f, 0.544431f, 0.547284f, 0.550128f, 0.552962f, 0.555785f,
    0.558599f, 0.561403f, 0.564198f, 0.566982f, 0.569756f, 0.572521f, 0.575276f, 0.578021f,
    0.580756f, 0.583482f, 0.586198f, 0.588904f, 0.591600f, 0.594286f, 0.596963f, 0.599630f,
    0.602287f, 0.604935f, 0.607573f, 0.610201f, 0.612820f, 0.615429f, 0.618029f, 0.620619f,
    0.623199f, 0.625770f, 0.628332f, 0.630883f, 0.633426f, 0.635959f, 0.638482f, 0.640996f,
    0.643501f, 0.645996f, 0.648482f, 0.650959f, 0.653426f, 0.655884f, 0.658333f, 0.660773f,
    0.663203f, 0.665624f, 0.668036f, 0.670439f, 0.672833f, 0.675217f, 0.677593f, 0.679959f,
    0.682317f, 0.684665f, 0.687004f, 0.689335f, 0.691657f, 0.693969f, 0.696273f, 0.698568f,
    0.700854f, 0.703132f, 0.705400f, 0.707660f, 0.709912f, 0.712154f, 0.714388f, 0.716613f,
    0.718830f, 0.721038f, 0.723238f, 0.725429f, 0.727611f, 0.729785f, 0.731951f, 0.734108f,
    0.736257f, 0.738398f, 0.740530f, 0.742654f, 0.744770f, 0.746878f, 0.748977f, 0.751068f,
    0.753151f, 0.755226f, 0.757293f, 0.759352f, 0.761403f, 0.763446f, 0.765480f, 0.767507f,
    0.769526f, 0.771538f, 0.773541f, 0.775537f, 0.777524f, 0.779504f, 0.781477f, 0.783441f,
};

/* kIsqrtTop[i] = floor(sqrt(i)) for i = 0 .. 4095 (at most 63): isqrt's
 * first six root bits for n below 2^20. */
static constexpr struct IsqrtTop {
    uint8_t r[4096];
    constexpr IsqrtTop() : r()
    {
        for (int i = 0, k = 0; i < 4096; i++) {
            while ((k + 1) * (k + 1) <= i)
                k++;
            r[i] = (uint8_t)k;
        }
    }
    constexpr uint8_t operator[](int i) const { return r[i]; }
} kIsqrtTop;

/* kLeadingZeros8[i]: the leading zero bits of i as an 8-bit value (8 for
 * 0). */
static constexpr struct LeadingZeros8 {
    uint8_t z[256];
    constexpr LeadingZeros8() : z()
    {
        for (int i = 0; i < 256; i++) {
            int k = 8;
            for (int v = i; v; v >>= 1)
                k--;
            z[i] = (uint8_t)k;
        }
    }
    constexpr uint8_t operator[](uint32_t i) const { return z[i]; }
} kLeadingZeros8;

/* kRecip9[i] = floor(2^40 / (257 + i)): a reciprocal, 2^63 over the upper
 * end of the bucket of 32-bit values whose top nine bits are 256 + i, so at
 * or below 2^63 / D for every D of the bucket; 2^31 .. 2^32. */
static constexpr struct Recip9 {
    uint32_t r[256];
    constexpr Recip9() : r()
    {
        for (int i = 0; i < 256; i++)
            r[i] = (uint32_t)((1ull << 40) / (uint64_t)(257 + i));
    }
    constexpr uint32_t operator[](uint32_t i) const { return r[i]; }
} kRecip9;

static const float SIN_STEPS_PER_RAD = 40.743664f; /* 256 / (2*pi) */
static const float HALF_PI_F = 1.5707964f;        /* pi/2 rounded to float */
static const float QUADRANT_ADD = 3.1416f;        /* added by batan2 for x > 0 */

/* ---- Integer square root ------------------------------------------------- */


/* The steps of isqrt for root bits 2^TOP down to 2^0, unrolled: r is what
 * is left of n, d twice the root found so far (see isqrt). */
template <int TOP>
static inline uint32_t isqrt_steps(int32_t r, uint32_t d)
{
#pragma GCC unroll 15
    for (int k = TOP; k >= 0; k--) {
        /* the trial value stays below 2^31: D < 2^17 is a multiple of 2^(k+2) */
        int32_t t = (int32_t)((d + (1u << k)) << k);
        if (r >= t) {
            r -= t;
            d |= 2u << k;
        }
    }
    return d;
}

int isqrt(int n)
{
    /* R: what is left of n; D: twice the root found so far, with the bits
     * above the current one. Each step tries the next root bit 2^k: taking it
     * costs (root + 2^k)^2 - root^2 = (D + 2^k) << k. The comparison is
     * signed, so a negative n never takes a bit and gives 0. Below
     * 4^(k + 1) no bit above 2^k can be taken (its trial value 4^k' is
     * larger than n), so a smaller n starts lower. */
    if (n < 0)
        return 0;
    if (n < (1 << 20)) {
        /* The root's bits from 2^4 up are the root of n >> 8 (the floor of
         * a root of a floor is the floor of the root), from the table; the
         * last four bits follow by the steps, from what is left of n. */
        const int32_t hi = (int32_t)kIsqrtTop[n >> 8] << 4;
        return (int)(isqrt_steps<3>(n - hi * hi, 2u * (uint32_t)hi) >> 1);
    }
    if (n < (1 << 24))
        return (int)(isqrt_steps<11>(n, 0) >> 1);
    if (n > 0x3FFFFFFF) /* top bit pair: root bit 2^15 */
        return (int)(isqrt_steps<14>(n - 0x40000000, 1u << 16) >> 1);
    return (int)(isqrt_steps<14>(n, 0) >> 1);
}

/* ---- Division -------------------------------------------------------------- */

/* The leading zero bits of d >= 1 (0..31), from kLeadingZeros8. */
static inline int fp_leadingZeros(uint32_t d)
{
    if (d >> 16)
        return d >> 24 ? kLeadingZeros8[d >> 24] : 8 + kLeadingZeros8[d >> 16];
    return d >> 8 ? 16 + kLeadingZeros8[d >> 8] : 24 + kLeadingZeros8[d];
}

/* A reciprocal R <= 2^63 / D of a normalised D (2^31 <= D < 2^32), below
 * 2^32: kRecip9's entry for D's top nine bits, then `steps` Newton steps
 * (1 or 2, see fp_udivRecip for why each stays at or below 2^63 / D). */
static inline uint32_t fp_newtonRecip(uint32_t D, int steps)
{
    uint32_t R = kRecip9[(D >> 23) & 255u];
    for (int step = 0; step < steps; step++) {
        const uint64_t e = (1ull << 63) - (uint64_t)D * R;
        R += (uint32_t)(((uint64_t)R * (uint32_t)(e >> 32)) >> 31);
    }
    return R;
}

uint32_t fp_udivRecip(uint32_t n, uint32_t d)
{
    /* s: the leading zeros of d; D = d << s lies in [2^31, 2^32). */
    const int s = fp_leadingZeros(d);
    const uint32_t D = d << s;
    /* R <= 2^63 / D throughout: the table's entry for D's top nine bits is
     * the reciprocal of the bucket's upper end. A Newton step from below,
     * R + R * e / 2^63 with e = 2^63 - D * R >= 0, stays at or below 2^63 /
     * D (the true step's shortfall is (2^63 / D) * (e / 2^63)^2), and
     * every truncation below (e's low word, the product's low bits) only
     * lowers it; each step squares the relative shortfall, 2^-8, 2^-16,
     * then about 2^-30. R stays below 2^32. */
    const uint32_t R = fp_newtonRecip(D, 2);
    /* q = n * 2^s / D >= n * R / 2^(63 - s), the estimate; its shortfall is
     * below q * 2^-29 + 1, a few units at most */
    uint32_t q = (uint32_t)(((uint64_t)n * R) >> 32) >> (31 - s);
    uint32_t rem = n - q * d;
    while (rem >= d) {
        q++;
        rem -= d;
    }
    return q;
}

uint32_t fp_recip32(uint32_t d)
{
    const int s = fp_leadingZeros(d);
    const uint32_t D = d << s;
    /* fp_udivRecip's two steps: R <= 2^63 / D, short of it by about 2^-30
     * of itself; 2^32 / d is 2^63 / D >> (31 - s) */
    const uint32_t R = fp_newtonRecip(D, 2);
    return R >> (31 - s);
}

uint32_t fp_udivRecip24(uint32_t d)
{
    const int s = fp_leadingZeros(d);
    const uint32_t D = d << s;
    /* As fp_udivRecip: R stays at or below 2^63 / D. One Newton step
     * leaves it short by about 2^-16 of itself, so the estimate below is
     * short by less than q * 2^-16 + 1, at most 2 for q <= 2^16 (d >=
     * 256); smaller divisors take the second step. */
    const uint32_t R = fp_newtonRecip(D, d < 256 ? 2 : 1);
    /* 2^24 * R >> 32 is R >> 8 exactly; then >> (31 - s). For s <= 7 (d
     * >= 2^24, a quotient of 0 or 1) the estimate is 0. */
    uint32_t q = s > 7 ? R >> (39 - s) : 0u;
    uint32_t rem = (1u << 24) - q * d;
    while (rem >= d) {
        q++;
        rem -= d;
    }
    return q;
}

fixed fp_divWide(fixed a, fixed b)
{
    const uint32_t ua = a < 0 ? 0u - (uint32_t)a : (uint32_t)a;
    const uint32_t ub = b < 0 ? 0u - (uint32_t)b : (uint32_t)b;
    if (ub <= (1u << 20)) {
        /* |a| * 4096 / |b| = (|a| / |b|) * 4096 + (r * 4096) / |b| with r
         * the remainder, below |b|, so r * 4096 fits; the quotient wraps
         * to 32 bits as the 64-bit one's low half does */
        const uint32_t q1 = fp_udiv(ua, ub), r = ua - q1 * ub;
        const uint32_t q = (q1 << FP_SHIFT) + fp_udiv(r << FP_SHIFT, ub);
        return (fixed)((a < 0) != (b < 0) ? 0u - q : q);
    }
    return (fixed)(uint32_t)(((int64_t)a * FP_ONE) / (int64_t)b);
}

/* ---- Arc tangent --------------------------------------------------------- */

fixed fp_atan(fixed a)
{
    /* |a| in unsigned arithmetic: -INT32_MIN does not fit in an int */
    uint32_t b = a < 0 ? 0u - (uint32_t)a : (uint32_t)a;
    uint32_t k = b < 4096u ? b >> 4 : 1048576u / b; /* 1048576 = 256 * 4096 */
    if (k > 255u)
        k = 255u;
    fixed r = (fixed)(atanTable[k] * 4096.0f); /* truncated; 0 .. 3208 */
    if (b >= 4096u)
        r = FP_HALFPI - r; /* atan(x) = pi/2 - atan(1/x) */
    return a < 0 ? -r : r;
}

/* atan of a non-negative quotient (NaN reads as an infinite one), no
 * interpolation: the entry for a below 1, pi/2 minus the entry for 1/a
 * from 1 up. */
static float atan_pos(float a)
{
    if (a < 1.0f)
        return atanTable[fp_ftoi(a * 256.0f)]; /* a * 256 < 256 */
    int k = fp_ftoi(256.0f / a);
    if (k > 255)
        k = 255;
    return HALF_PI_F - atanTable[k];
}

float batan(float x)
{
    if (x < 0.0f)
        return -atan_pos(-x);
    return atan_pos(x);
}

float batan2(float y, float x)
{
    float q = 0.0f; /* x == 0: quotient 0, taken as positive */
    int neg = 0;
    if (x != 0.0f) {
        q = y / x;
        if (q < 0.0f) {
            q = -q;
            neg = 1;
        }
    }
    float r = atan_pos(q);
    if (neg)
        r = -r;
    if (x > 0.0f)
        r = r + QUADRANT_ADD;
    return r;
}

/* ---- Sine and cosine ----------------------------------------------------- */

/* Splits a table position p >= 0 into the entry index (the low 8 bits of
 * floor(p)) and the blend weight f = p - floor(p), 0 <= f < 1. From 2^31 on
 * every float is a multiple of 256, so the index is 0 and f is 0; NaN is
 * treated the same way. */
static void trig_split(float p, unsigned* idx, float* f)
{
    if (p < 2147483648.0f) {
        int i = (int)p; /* truncation is floor for p >= 0 */
        *idx = (unsigned)i & 255u;
        *f = p - (float)i; /* exact */
    } else {
        *idx = 0;
        *f = 0.0f;
    }
}

/* Interpolated table value at p >= 0 steps, starting from entry `phase`. */
static float trig_blend(float p, unsigned phase)
{
    unsigned i;
    float f;
    trig_split(p, &i, &f);
    return SinTable[(i + phase) & 255u] * (1.0f - f) + f * SinTable[(i + phase + 1u) & 255u];
}

/* Negative positions are mirrored onto positive ones: the table is exactly
 * odd about entry 0 and even about entry 64, so this is what the floor rule
 * gives in exact arithmetic, without the float rounding of p - floor(p) that
 * would otherwise bend the stretch between -1 and 0 steps. */
float bsin(float rad)
{
    float p = rad * SIN_STEPS_PER_RAD;
    if (p < 0.0f)
        return -trig_blend(-p, 0);
    return trig_blend(p, 0);
}

float bcos(float rad)
{
    float p = rad * SIN_STEPS_PER_RAD;
    return trig_blend(p < 0.0f ? -p : p, 64);
}

/* ---- Float helpers ------------------------------------------------------- */

float bsqrt(float x)
{
    return (float)isqrt(fp_ftoi(x * 256.0f)) * 0.0625f;
}

float babs(float x)
{
    if (x > 0.0f)
        return x;
    /* the sign bit flipped: -0.0 and NaNs come out with their sign cleared
     * or set exactly as the bits say */
    uint32_t bits;
    memcpy(&bits, &x, sizeof bits);
    bits ^= 0x80000000u;
    memcpy(&x, &bits, sizeof x);
    return x;
}
