/*
 * demo: the stippled pixel hook func_noise and its span form (see demo.h),
 * with the span form's loop in ARM code on the handheld.
 */
#include <cstddef>
#include <cstdint>

#include "demo/demo.h"
#include "math/kv_random.h"
#include "render3d/kv_3D_span.h"

/* func_noise's rule for one pixel, taking its random numbers from draw(). */
template <class Draw>
static inline void noise_pixel(Draw& draw, unsigned mask, uintptr_t target, uint16_t* pixel, fixed* zentry,
                               unsigned colour, fixed z)
{
    if (((unsigned)draw() & mask) == 0)
        return;
    /* The position term makes the density vary in bands of 128 pixels along
     * the screen. It is the pixel's index in the target, not its address, so
     * the stipple is the same wherever the back buffer was allocated. */
    const unsigned band = (unsigned)(((uintptr_t)pixel - target) >> 8);
    if ((unsigned)draw() & mask & band) {
        *pixel = (uint16_t)colour;
        *zentry = z;
    }
}

void func_noise(uint16_t* pixel, fixed* zentry, unsigned colour, fixed z)
{
    auto draw = [] { return kv_rand(); };
    noise_pixel(draw, (unsigned)sh_noise, (uintptr_t)rTarget, pixel, zentry, colour, z);
}

/* A piece of a span for the stipple's fast loop: pixels wholly beyond near,
 * a texture of 256 x 256 texels, a mask of 0..15 and one band. Its n pixels
 * end at pend (pixels) and zend (z entries); k = -2n. words: the random
 * words, one or two a pixel that passes the z entry and the key. A number
 * is word >> 1, so number & m is nonzero exactly when word & (m << 1) is:
 * the loop tests the words against mask2 = mask << 1 and band2 = (mask &
 * band) << 1. Field offsets are fixed: the ARM code reads them. */
struct NoiseRun {
    uint32_t u, v, z;        /* 0: at the first pixel */
    uint32_t du, dv, dz;     /* 12: steps a pixel */
    const uint16_t* texels;  /* 24 */
    fixed* zend;             /* 28 */
    uint16_t* pend;          /* 32 */
    int32_t k;               /* 36: -2 * pixels */
    const uint32_t* words;   /* 40 */
    uint32_t band2;          /* 44 */
    uint32_t mask;           /* 48: 0..15 */
    uint32_t keyFree;        /* 52: 1 when no texel is TEX_KEY (the texture's keyFree) */
};

/* The texel at u, v of a 256 x 256 texture: column bits 12..19 of u, row
 * bits 12..19 of v (the fast loop's masks, umask = vmask = 255). */
static inline unsigned noise_texel(const uint16_t* texels, uint32_t u, uint32_t v)
{
    return texels[((u & 0xFF000u) >> 12) + ((v & 0xFF000u) >> 4)];
}

/* The piece's pixels in C++; returns the word after the last one drawn.
 * (Unused on the handheld, which runs the ARM code.) */
[[maybe_unused]] static const uint32_t* noise_runPortable(const NoiseRun* r)
{
    uint32_t u = r->u, v = r->v, z = r->z;
    const uint32_t* w = r->words;
    for (int i = r->k / 2; i < 0; i++, u += r->du, v += r->dv, z += r->dz) {
        if ((fixed)z > r->zend[i])
            continue;
        const unsigned texel = noise_texel(r->texels, u, v);
        if ((!r->keyFree && texel == TEX_KEY) || (*w++ & (r->mask << 1)) == 0)
            continue;
        if (*w++ & r->band2) {
            r->pend[i] = (uint16_t)texel;
            r->zend[i] = (fixed)z;
        }
    }
    return w;
}

#if defined(__arm__) && !defined(__thumb__)
/* noise_runPortable in ARM code: 8 instructions a hidden pixel, 23 a pixel
 * that draws; on a key-free texture the texel is read only to be stored,
 * 11 a pixel whose first number fails the mask, 14 whose second fails the
 * band, 21 a pixel that draws. The mask is an immediate of the
 * loop, one loop for each of the 16 masks and each of keyed and key-free,
 * so that every value stays in a register: r0 texel, r1 u, r2 v, r3 z,
 * r4-r6 du dv dz, r7 texels, r8 zend, r9 pend, r10 scratch, r11 the next
 * word, r12 k (the pixel at r9 + k, its z entry at r8 + 2k), lr band2. The
 * key is tested as texel ^ 0xF800 == 0x1F. */
static_assert(offsetof(NoiseRun, k) == 36 && offsetof(NoiseRun, words) == 40 && offsetof(NoiseRun, band2) == 44 &&
                  offsetof(NoiseRun, mask) == 48 && offsetof(NoiseRun, keyFree) == 52 && TEX_KEY == 0xF81F,
              "noise_runArm reads NoiseRun at these offsets");
extern "C" const uint32_t* noise_runArm(const NoiseRun* r);
__asm__(R"(
    .pushsection .text
    .arm
    .align 2
    .global noise_runArm
    .type noise_runArm, %function
noise_runArm:
    push    {r4, r5, r6, r7, r8, r9, r10, r11, lr}
    ldmia   r0, {r1-r9, r12}        @ u v z du dv dz texels zend pend k
    ldr     r11, [r0, #40]          @ words
    ldr     lr, [r0, #44]           @ band2
    ldr     r10, [r0, #48]          @ mask
    ldr     r0, [r0, #52]           @ keyFree
    add     r10, r10, r0, lsl #4
    add     pc, pc, r10, lsl #2     @ to the loop of the mask, keyed or key-free
    mov     r0, r0
    .irp    f, 0, 1
    .irp    m, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15
    b       .Lnoise_\f\()_\m
    .endr
    .endr
    .irp    f, 0, 1
    .irp    m, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15
.Lnoise_\f\()_\m:
1:
    ldr     r0, [r8, r12, lsl #1]   @ the z entry
    cmp     r3, r0
    bgt     2f
    .if     \f == 0
    and     r0, r1, #0xFF000        @ texel column << 12
    and     r10, r2, #0xFF000       @ texel row << 12
    add     r0, r7, r0, lsr #11
    add     r0, r0, r10, lsr #3
    ldrh    r0, [r0]
    eor     r10, r0, #0xF800
    cmp     r10, #0x1F
    beq     2f                      @ the key
    ldr     r10, [r11], #4
    tst     r10, #(\m << 1)
    beq     2f
    ldr     r10, [r11], #4
    tst     r10, lr
    strneh  r0, [r9, r12]
    strne   r3, [r8, r12, lsl #1]
    .else                           @ no key: the texel only for a store
    ldr     r10, [r11], #4
    tst     r10, #(\m << 1)
    beq     2f
    ldr     r10, [r11], #4
    tst     r10, lr
    beq     2f
    and     r0, r1, #0xFF000
    and     r10, r2, #0xFF000
    add     r0, r7, r0, lsr #11
    add     r0, r0, r10, lsr #3
    ldrh    r0, [r0]
    strh    r0, [r9, r12]
    str     r3, [r8, r12, lsl #1]
    .endif
2:
    add     r1, r1, r4
    add     r2, r2, r5
    add     r3, r3, r6
    adds    r12, r12, #2
    bne     1b
    b       .Lnoise_done
    .endr
    .endr
.Lnoise_done:
    mov     r0, r11
    pop     {r4, r5, r6, r7, r8, r9, r10, r11, lr}
    bx      lr
    .size noise_runArm, . - noise_runArm
    .popsection
)");
#endif

/* The piece's pixels: the ARM code on the handheld. */
static inline const uint32_t* noise_run(const NoiseRun* r)
{
#if defined(__arm__) && !defined(__thumb__)
    return noise_runArm(r);
#else
    return noise_runPortable(r);
#endif
}

/* A span of noise_span's fast case from the words at w: cut where the band
 * changes (every 256 bytes of the target), each piece run by noise_run.
 * Returns the word after the last one drawn. The pieces' start values are
 * the span's plus i steps, in 32 bits as the stepping wraps. */
static const uint32_t* noise_far(const Span* s, unsigned mask, uintptr_t target, const uint32_t* w)
{
    NoiseRun r;
    r.du = (uint32_t)s->du;
    r.dv = (uint32_t)s->dv;
    r.dz = (uint32_t)s->dz;
    r.texels = s->texels;
    r.mask = mask;
    r.keyFree = curtex && curtex->pixels == s->texels ? curtex->keyFree : 0;
    const uintptr_t off = (uintptr_t)s->dst - target;
    for (int i = 0, n = s->len; i < n;) {
        const uintptr_t o = off + 2 * (uintptr_t)i; /* the pixel's byte offset */
        /* pixels before the next multiple of 256 bytes */
        int piece = (int)((((o | 255) + 1) - o + 1) >> 1);
        if (piece > n - i)
            piece = n - i;
        r.u = (uint32_t)s->u + (uint32_t)i * r.du;
        r.v = (uint32_t)s->v + (uint32_t)i * r.dv;
        r.z = (uint32_t)s->z + (uint32_t)i * r.dz;
        r.pend = s->dst + i + piece;
        r.zend = s->zdst + i + piece;
        r.k = -2 * piece;
        r.band2 = (mask & (unsigned)(o >> 8)) << 1;
        r.words = w;
        w = noise_run(&r);
        i += piece;
    }
    return w;
}

/* func_noise over a span: a pixel draws at most two numbers, taken straight
 * from the ones the generator makes ahead when the span is short enough
 * for them all to be promised (every span of the triangle routines is). */
void demo_noiseSpan(Span* s)
{
    const unsigned mask = (unsigned)sh_noise;
    const uintptr_t target = (uintptr_t)rTarget;
    if (s->len > KV_RAND_AHEAD / 2) {
        auto draw = [] { return kv_rand(); };
        auto shade = [&](uint16_t* p, fixed* ze, unsigned c, fixed z) { noise_pixel(draw, mask, target, p, ze, c, z); };
        scan_shadeSpan(s, shade);
        return;
    }
    const uint32_t* w = kv_randAhead(2 * s->len);
    if (mask <= 15 && s->vshift == 8 && s->umask == 255 && s->vmask == 255 &&
        scan_aboveNear(s->z, s->dz, s->len, cam.near)) {
        kvRandom.next = noise_far(s, mask, target, w);
        return;
    }
    auto draw = [&w] { return (int)(*w++ >> 1); };
    auto shade = [&](uint16_t* p, fixed* ze, unsigned c, fixed z) { noise_pixel(draw, mask, target, p, ze, c, z); };
    scan_shadeSpan(s, shade);
    kvRandom.next = w;
}
