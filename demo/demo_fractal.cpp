/*
 * demo: the fractal scene's drawing (see draw_fractal_fp in demo.h): an 80x120
 * block of iteration counts in 24.8 positions, doubled over the screen.
 */
#include <cstdint>
#include <cstring>

#include "demo/demo.h"
#include "math/kv_random.h"
#include "platform/kv_sys.h"
#include "video/kv_video.h"

/* Lifetime: from the first fractal frame to the end of the run. */
static uint16_t fractalPalette[64]; /* RGB565; all 0 until built */

const uint16_t* demo_fractalPalette(void)
{
    return fractalPalette;
}

/* Builds the 64-colour ramp from about (105, 108, 99) to (109, 186, 144), each
 * channel jittered by 0..3 from kv_rand(). The handheld build draws the three
 * random values in the order m, o, r; the others in the order r, o, m. */
static void demo_buildPalette(void)
{
    for (int i = 0; i < 64; i++) {
        float l = 1.0f - (float)i * 0.015625f;
        int m, o, r;
        if (sysHandheld) {
            m = kv_rand();
            o = kv_rand();
            r = kv_rand();
        } else {
            r = kv_rand();
            o = kv_rand();
            m = kv_rand();
        }
        unsigned red = (unsigned)((float)(i * 109) * 0.015625f + l * 105.0f + (float)(m & 3));
        unsigned green = (unsigned)((float)(i * 187) * 0.015625f + l * 108.0f + (float)(o & 3));
        unsigned blue = (unsigned)((float)(i * 145) * 0.015625f + l * 99.0f + (float)(r & 3));
        fractalPalette[i] = scr_RGB2W(red & 0xFF, green & 0xFF, blue & 0xFF);
    }
}

/* The iteration count of the point c = (cx, cy): from z = 0, z becomes
 * (x*x - y*y + cx, 3*x*y + cy) with fp_mul products, counting steps until
 * x*x + y*y (of the step's start, wrapping) passes 4.0 or 63 steps. */
static int fractal_iter(fixed cx, fixed cy)
{
    fixed x = 0, y = 0, xx, yy;
    int i = 0;
    do {
        xx = fp_mul(x, x);
        yy = fp_mul(y, y);
        fixed xy = fp_mul(x, y);
        i++;
        x = (fixed)((uint32_t)xx - (uint32_t)yy + (uint32_t)cx);
        y = (fixed)(3u * (uint32_t)xy + (uint32_t)cy);
    } while ((fixed)((uint32_t)xx + (uint32_t)yy) <= 16384 && i <= 62);
    return i;
}

/* fractal_iter for |cx|, |cy| <= FRACTAL_SMALL_C, with 32-bit products.
 * Every step that starts has passed the test xx + yy <= 16384 on its
 * predecessor (or starts at 0), so |x| <= 16384 + C and |y| <= 3 * 8194 + C
 * (|x*y| / 4096 is at most (xx + yy) / 2 plus two); with C = 21000 that is
 * |x| <= 37384 and |y| <= 45582, whose squares and product stay below
 * 2^31: the 32-bit product is the exact one, shifted the same way, and no
 * sum wraps. */
enum { FRACTAL_SMALL_C = 21000 };
[[maybe_unused]] static int fractal_iterSmall(fixed cx, fixed cy)
{
    /* The 63rd step ends the count whatever its test says, so only 62 are
     * taken here; unrolled whole, a step has no counter to keep. */
    int32_t x = 0, y = 0;
#pragma GCC unroll 62
    for (int i = 1; i <= 62; i++) {
        const int32_t xx = (x * x) >> FP_SHIFT;
        const int32_t yy = (y * y) >> FP_SHIFT;
        const int32_t xy = (x * y) >> FP_SHIFT;
        x = xx - yy + cx;
        y = 3 * xy + cy;
        if (xx + yy > 16384)
            return i;
    }
    return 63;
}

#if defined(__arm__) && !defined(__thumb__)
/* fractal_iterSmall in ARM code for the handheld, 10 instructions a step
 * where the compiler's takes 15 (ARMv4's mul may not write its first
 * operand, and the compiler moves values about for that; here no step
 * needs to). Arguments cx in r0, cy in r1; the count in r0. The first step
 * from 0 is x = cx, y = cy and never ends the count; steps 2 to 62 follow,
 * each leaving for its own exit, which returns the step's number, when
 * xx + yy of its start passes 16384; 63 after the 62nd. cx is folded into
 * yy once: with d = yy - cx, x becomes xx - d, and xx + yy > 16384 is
 * xx + d > 16384 - cx (no sum wraps: see fractal_iterSmall's bounds).
 * Registers: r2 x, r3 y, r4 x*x, r5 y*y then d, r6 x*y then xy, r7 the
 * constant 3, r8 16384 - cx, r12 xx + d. */
extern "C" int demo_fractalIterArm(int32_t cx, int32_t cy);
__asm__(R"(
    .pushsection .text
    .arm
    .align 2
    .global demo_fractalIterArm
    .type demo_fractalIterArm, %function
demo_fractalIterArm:
    push    {r4, r5, r6, r7, r8}
    mov     r7, #3
    rsb     r8, r0, #16384          @ 16384 - cx
    mov     r2, r0                  @ step 1: x = cx
    mov     r3, r1                  @         y = cy
    .irp k, 2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,31,32,33,34,35,36,37,38,39,40,41,42,43,44,45,46,47,48,49,50,51,52,53,54,55,56,57,58,59,60,61,62
    mul     r4, r2, r2              @ x*x
    mul     r5, r3, r3              @ y*y
    rsb     r5, r0, r5, asr #12     @ d = yy - cx
    add     r12, r5, r4, asr #12    @ xx + d
    cmp     r12, r8                 @ xx + yy > 16384: the count is this step
    bgt     .Ldemo_fractalOut\k
    mul     r6, r2, r3              @ x*y (before x changes)
    rsb     r2, r5, r4, asr #12     @ x = xx - d = xx - yy + cx
    mov     r6, r6, asr #12         @ xy
    mla     r3, r6, r7, r1          @ y = 3 * xy + cy
    .endr
    mov     r0, #63
    pop     {r4, r5, r6, r7, r8}
    bx      lr
    .irp k, 2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,31,32,33,34,35,36,37,38,39,40,41,42,43,44,45,46,47,48,49,50,51,52,53,54,55,56,57,58,59,60,61,62
.Ldemo_fractalOut\k:
    mov     r0, #\k
    pop     {r4, r5, r6, r7, r8}
    bx      lr
    .endr
    .size demo_fractalIterArm, . - demo_fractalIterArm
    .popsection
)");
#endif

/* fractal_iterSmall: the ARM code on the handheld, the C++ elsewhere. */
static inline int fractal_iterSmallFast(fixed cx, fixed cy)
{
#if defined(__arm__) && !defined(__thumb__)
    return demo_fractalIterArm(cx, cy);
#else
    return fractal_iterSmall(cx, cy);
#endif
}

/* 1 when every c = (p0 + k * step) >> 8, k = 0..79 (or 119; the sums wrap
 * in 32 bits), is within +-FRACTAL_SMALL_C: the sums, taken exactly, stay
 * inside a range that does not wrap, and the ends are in bounds. */
static int fractal_cSmall(fixed p0, fixed step)
{
    const int64_t a = p0, b = (int64_t)p0 + 119 * (int64_t)step;
    const int64_t lo = a < b ? a : b, hi = a < b ? b : a;
    return lo >= -((int64_t)FRACTAL_SMALL_C << 8) && hi <= ((int64_t)FRACTAL_SMALL_C << 8);
}

/* Doubles the 80x120 block of the top-left corner over the screen: pixel
 * (x, y) becomes block pixel (clamp(x - 100, 0, 159) >> 1, y >> 1), so the
 * block shows 160x240 at x = 100..259, its first column repeated to the
 * left and its last to the right. Row y reads block row y >> 1, which lies
 * above it (or is row 0 itself): rows are written bottom up, row 0 from a
 * copy, so every read sees the block as drawn. Pairs of pixels are one
 * word (rows are word aligned and 100, 260 even). */
static void fractal_double(uint16_t* scr)
{
    typedef uint32_t __attribute__((may_alias)) Pair;
    uint16_t blockRow[80];
    for (int y = SCR_H - 1; y >= 0; y--) {
        const uint16_t* b = scr + (y >> 1) * SCR_W;
        if (y == 0) {
            memcpy(blockRow, b, sizeof blockRow);
            b = blockRow;
        }
        Pair* d = (Pair*)(scr + y * SCR_W);
        const uint32_t first = b[0] * 0x10001u, last = b[79] * 0x10001u;
        for (int k = 0; k < 50; k++) /* x = 0..99 */
            d[k] = first;
        for (int k = 0; k < 80; k++) /* x = 100..259 */
            d[50 + k] = b[k] * 0x10001u;
        for (int k = 130; k < 160; k++) /* x = 260..319 */
            d[k] = last;
    }
}

void draw_fractal_fp(float zoom, int mode)
{
    uint16_t* scr = scr_getBuf();
    if (!scr)
        return;
    if (fractalPalette[0] == 0)
        demo_buildPalette();

    float c3 = zoom * zoom * zoom;
    fixed step = fp_convf(256.0f / c3);
    fixed x0 = fp_convf((-40.0f / c3 - 0.3997f) * 256.0f);
    fixed y0 = fp_convf((-60.0f / c3 - 0.5003f) * 256.0f);

    /* The 80x120 block in the top-left corner. Positions carry 8 extra
     * fraction bits, shifted off per pixel; the running sums wrap in 32 bits.
     * When every c of the block is within +-FRACTAL_SMALL_C, the products
     * fit in 32 bits (fractal_iterSmall). */
    const int small = fractal_cSmall(x0, step) && fractal_cSmall(y0, step);
    uint32_t ry = (uint32_t)y0;
    for (int row = 0; row < 120; row++, ry += (uint32_t)step) {
        fixed cy = (fixed)ry >> 8;
        uint32_t rx = (uint32_t)x0;
        for (int col = 0; col < 80; col++, rx += (uint32_t)step) {
            fixed cx = (fixed)rx >> 8;
            const int i = small ? fractal_iterSmallFast(cx, cy) : fractal_iter(cx, cy);
            scr[row * SCR_W + col] = i <= 62 ? fractalPalette[i] : fractalPalette[0];
        }
    }
    fractal_double(scr);

    if (mode >= 0)
        drawPic16b(&frtext[mode], 0, 0);
}
