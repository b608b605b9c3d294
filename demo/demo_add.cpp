/*
 * demo: the additive pixel hook func_add and its span form (see demo.h),
 * with the span form's loop in ARM code on the handheld.
 */
#include <cstddef>
#include <cstdint>

#include "demo/demo.h"
#include "render3d/kv_3D_span.h"

/* func_add's rule for one pixel. */
static inline void add_pixel(uint16_t* pixel, unsigned colour)
{
    if (colour != 0)
        *pixel = pic_addPixel(*pixel, (uint16_t)colour);
}

void func_add(uint16_t* pixel, fixed* zentry, unsigned colour, fixed z)
{
    (void)zentry;
    (void)z;
    add_pixel(pixel, colour);
}

#if defined(__arm__) && !defined(__thumb__)
/* A span for the ARM loop: pixels wholly beyond near on a texture 256 or
 * 512 texels wide (lw 8 or 9). u is kept shifted so that its texel column
 * is the top lw bits (U = u << (20 - lw), dU likewise); the texel row's
 * byte offset is (v >> (11 - lw)) & rowMask, rowMask = vmask << (lw + 1),
 * as scan_fastTexel takes it. Its n pixels end at pend and zend; k = -2n.
 * Field offsets are fixed: the ARM code reads them. */
struct AddRun {
    uint32_t U, v, z;       /* 0: at the first pixel */
    uint32_t dU, dv, dz;    /* 12 */
    const uint16_t* texels; /* 24 */
    fixed* zend;            /* 28 */
    uint16_t* pend;         /* 32 */
    int32_t k;              /* 36 */
    int32_t rowMask;        /* 40 */
};

/* The span's pixels in ARM code, one routine for each width. The texel is
 * tested before the z entry (nothing is written before both pass, so the
 * order changes no pixel), as the added texts are mostly black: 12
 * instructions a key or black texel, 15 a lit one hidden, 28 an added one,
 * where the compiler's loop took 21, 9 and 35. The half-sum is
 * pic_addPixel's:
 * ((s & ~0x820) >> 1) + ((d & ~0x820) >> 1) is ((s >> 1) & 0x7BEF) + ((d >>
 * 1) & 0x7BEF) for 16-bit s and d. Registers: r0 texel, r1 U, r2 v, r3 z,
 * r4-r6 dU dv dz, r7 texels, r8 zend, r9 pend, r10 scratch, r11 rowMask,
 * r12 k (the pixel at r9 + k, its z entry at r8 + 2k), lr the key. */
static_assert(offsetof(AddRun, k) == 36 && offsetof(AddRun, rowMask) == 40 && TEX_KEY == 0xF81F,
              "add_runArm reads AddRun at these offsets");
extern "C" void add_runArm8(const AddRun* r);
extern "C" void add_runArm9(const AddRun* r);
__asm__(R"(
    .pushsection .text
    .arm
    .macro  add_run lw
    .align 2
    .global add_runArm\lw
    .type add_runArm\lw, %function
add_runArm\lw:
    push    {r4, r5, r6, r7, r8, r9, r10, r11, lr}
    ldmia   r0, {r1-r9, r12}        @ U v z dU dv dz texels zend pend k
    ldr     r11, [r0, #40]          @ rowMask
    mov     lr, #0xF800
    orr     lr, lr, #0x1F           @ the key
1:
    mov     r0, r1, lsr #(32 - \lw) @ texel column
    and     r10, r11, r2, asr #(11 - \lw)
    add     r0, r7, r0, lsl #1
    ldrh    r0, [r0, r10]
    cmp     r0, lr
    cmpne   r0, #0
    beq     2f                      @ the key, or black: nothing to add
    ldr     r10, [r8, r12, lsl #1]  @ the z entry
    cmp     r3, r10
    bgt     2f
    ldrh    r10, [r9, r12]
    bic     r0, r0, #0x820
    bic     r10, r10, #0x820
    mov     r0, r0, lsr #1
    add     r0, r0, r10, lsr #1     @ the halves' sum, a carry above each channel
    tst     r0, #0x8000
    orrne   r0, r0, #0x7800
    tst     r0, #0x400
    orrne   r0, r0, #0x3E0
    tst     r0, #0x10
    orrne   r0, r0, #0xF
    mov     r0, r0, lsl #1
    strh    r0, [r9, r12]
2:
    add     r1, r1, r4
    add     r2, r2, r5
    add     r3, r3, r6
    adds    r12, r12, #2
    bne     1b
    pop     {r4, r5, r6, r7, r8, r9, r10, r11, lr}
    bx      lr
    .size add_runArm\lw, . - add_runArm\lw
    .endm
    add_run 8
    add_run 9
    .purgem add_run
    .popsection
)");
#endif

void demo_addSpan(Span* s)
{
#if defined(__arm__) && !defined(__thumb__)
    const int lw = s->vshift;
    if ((lw == 8 || lw == 9) && s->umask == (1 << lw) - 1 && s->len > 0 &&
        scan_aboveNear(s->z, s->dz, s->len, cam.near)) {
        AddRun r;
        r.U = (uint32_t)s->u << (20 - lw);
        r.v = (uint32_t)s->v;
        r.z = (uint32_t)s->z;
        r.dU = (uint32_t)s->du << (20 - lw);
        r.dv = (uint32_t)s->dv;
        r.dz = (uint32_t)s->dz;
        r.texels = s->texels;
        r.zend = s->zdst + s->len;
        r.pend = s->dst + s->len;
        r.k = -2 * s->len;
        r.rowMask = s->vmask << (lw + 1);
        (lw == 8 ? add_runArm8 : add_runArm9)(&r);
        return;
    }
#endif
    auto shade = [](uint16_t* p, fixed*, unsigned c, fixed) { add_pixel(p, c); };
    scan_shadeSpan(s, shade);
}
