/*
 * kv_3D: the handheld's ARM code for the rows of a triangle (tri_runFast,
 * see kv_3D_local.h).
 */
#include <cstddef>

#include "render3d/kv_3D_local.h"

#if defined(__arm__) && !defined(__thumb__)
/* tri_runPortable in ARM code for the handheld: about 40 instructions a
 * row with a span (the compiler's took some 90, spilling the texture
 * addressing around the pixel loop), 15 a drawn pixel and 8 a hidden one.
 * On a texture without the key colour (keyFree) every texel that passes
 * the z entry is stored, and the pixels go two on a word of the screen:
 * when both pass, their depths with one stm and their texels with one
 * word store, 24 instructions the pair; a pair with a hidden pixel, a
 * pixel off the word grid at the start and a last one alone take the
 * single pixel's steps (14 drawn, 8 hidden). With the texels as words
 * (TriRun wide, texWide) a texel is one ldr with the index scaled: 22
 * the pair, 13 a single drawn pixel. A span whose first depth lies in (near, 2^30) and whose last
 * depth, first + (len - 1) * dz, lies beyond near has every depth beyond
 * near (|dz| <= 2^21 and len <= 320: the depths run in a straight line
 * without wrapping), so its pixel loop tests the z entry alone; any other
 * span goes to tri_runNearSpan (kv_3D_raster.cpp). The run's fields are
 * read at their fixed offsets (TriRun); [sp] keeps its address. Pixel loop
 * registers: r0 texel, r1 U, r2 v, r3 z, r4 dU, r5 dv, r6 dz, r7 loopTexels,
 * r8 the span's z entries end, r9 its pixels end, r10 texel row offset,
 * r11 loopMask, r12 k (-2 * pixels left, stepping 2 up to 0: the pixel at
 * r9 + k, its z entry at r8 + 2k), lr the key. */
static_assert(offsetof(TriRun, rx) == 16 && offsetof(TriRun, at) == 20 && offsetof(TriRun, ldx) == 24 &&
                  offsetof(TriRun, rdx) == 40 && offsetof(TriRun, atEnd) == 44 &&
                  offsetof(TriRun, dU) == 48 && offsetof(TriRun, loopTexels) == 60 && offsetof(TriRun, key) == 76 &&
                  offsetof(TriRun, near) == 80 && offsetof(TriRun, lowerAtEnd) == 84 &&
                  offsetof(TriRun, lower) == 88 && offsetof(TriRun, scratch) == 132,
              "tri_runArm reads TriRun at these offsets");
extern "C" void tri_runArm(TriRun* r);
extern "C" void tri_runArmKeyFree(TriRun* r);
extern "C" void tri_runArmWide(TriRun* r);
/* The same loops for a run whose spans all lie beyond near (tri_runFar):
 * no span is tested. */
extern "C" void tri_runArmFar(TriRun* r);
extern "C" void tri_runArmKeyFreeFar(TriRun* r);
extern "C" void tri_runArmWideFar(TriRun* r);
__asm__(R"(
    .pushsection .text
    .arm
    .macro  tri_texel d, wide       @ d = the texel at U v; r0, r10 scratch
    .if \wide                       @ words: r7 wide, r11 its row mask, vmask << 8
    and     r10, r11, r2, asr #4    @ texel row * 256
    add     r10, r10, r1, lsr #24   @ ... + column (u >> 12 & 255)
    ldr     \d, [r7, r10, lsl #2]
    .else                           @ r7 texels, r11 rowMask
    mov     r0, r1, lsr #24         @ texel column: u >> 12 & 255
    and     r10, r11, r2, asr #3    @ texel row * 512 bytes
    add     r0, r7, r0, lsl #1
    ldrh    \d, [r0, r10]
    .endif
    .endm
    .macro  tri_pixel l, wide       @ one pixel of a key-free texture at r9 + r12
    ldr     r0, [r8], #4            @ its z entry, r8 then at the next
    cmp     r3, r0
    bgt     \l\()f
    tri_texel r0, \wide
    strh    r0, [r9, r12]
    str     r3, [r8, #-4]
\l\():
    add     r1, r1, r4
    add     r2, r2, r5
    add     r3, r3, r6
    .endm
    .macro  tri_run name, keyed, wide, far
    .align 2
    .global \name
    .type \name, %function
\name:
    push    {r0, r4, r5, r6, r7, r8, r9, r10, r11, lr}
    mov     lr, r0                  @ the held row: edges not stepped
    ldmia   lr, {r0-r11}
    add     r11, r5, #320
    str     r11, [lr, #20]
    b       .Ltri_run_\name\()_X
.Ltri_run_\name\()_Row:
    ldr     lr, [sp]                @ the run
    ldmia   lr, {r0-r11}            @ lx lU lv lz rx at ldx ldU ldv ldz rdx atEnd
    cmp     r5, r11
    beq     .Ltri_run_\name\()_End
    add     r6, r0, r6              @ the left edge a row on
    add     r7, r1, r7
    add     r8, r2, r8
    add     r9, r3, r9
    add     r10, r4, r10            @ the right edge a row on
    add     r11, r5, #320           @ the next row
    stmia   lr, {r6-r11}
.Ltri_run_\name\()_X:                       @ r0-r3 lx lU lv lz, r4 rx, r5 the row
    mov     r8, r4, asr #12         @ xr, cut at the right side
    cmp     r8, #320
    movgt   r8, #320
    movs    r12, r0, asr #12        @ xl
    bmi     .Ltri_run_\name\()_Left
.Ltri_run_\name\()_Span:                      @ r12 xl >= 0, r8 xr, r5 the row, r1-r3 U v z at xl
    subs    r11, r8, r12            @ pixels
    ble     .Ltri_run_\name\()_Row
    add     r10, r5, r12            @ the span's first pixel
    .if \far                        @ every span's depths known beyond near
    .if !\keyed
    rsb     r12, r11, #1            @ 1 - pixels
    .endif
    .else
    ldr     r0, [lr, #80]           @ near
    ldr     r6, [lr, #56]           @ dz
    cmp     r3, #0x40000000         @ first depth in [0, 2^30) ...
    bhs     .Ltri_run_\name\()_Near
    cmp     r3, r0                  @ ... and beyond near
    ble     .Ltri_run_\name\()_Near
    sub     r12, r11, #1
    mla     r4, r6, r12, r3         @ the last depth
    cmp     r4, r0
    ble     .Ltri_run_\name\()_Near
    .endif
    .if \keyed
    add     r10, r10, r11           @ one past the span's last pixel
    rsb     r12, r11, #0
    mov     r12, r12, lsl #1        @ k
    add     r0, lr, #48
    ldmia   r0, {r4-r9, r11, lr}    @ dU dv dz texels zbuf target mask key
    add     r8, r8, r10, lsl #2     @ the z entries end
    add     r9, r9, r10, lsl #1     @ the pixels end
.Ltri_run_\name\()_Pixel:
    ldr     r0, [r8, r12, lsl #1]   @ the z entry
    cmp     r3, r0
    bgt     .Ltri_run_\name\()_Hidden
    mov     r0, r1, lsr #24         @ texel column: u >> 12 & 255
    and     r10, r11, r2, asr #3    @ texel row * 512 bytes
    add     r0, r7, r0, lsl #1
    ldrh    r0, [r0, r10]
    cmp     r0, lr
    strneh  r0, [r9, r12]
    strne   r3, [r8, r12, lsl #1]
.Ltri_run_\name\()_Hidden:
    add     r1, r1, r4
    add     r2, r2, r5
    add     r3, r3, r6
    adds    r12, r12, #2
    bne     .Ltri_run_\name\()_Pixel
    b       .Ltri_run_\name\()_Row
    .else                           @ r8 the z entry of the pixel at r9 + k,
    add     r0, lr, #48             @ r9 the span's last pixel, k from
    ldmia   r0, {r4-r9, r11}        @ 2 - 2 * pixels up to 0 by 2: k < 0
    add     r8, r8, r10, lsl #2     @ while two pixels are left
    tst     r10, #1                 @ the first pixel off the word grid
    .if \far                        @ (the target is on it); the flags
    sub     r10, r10, r12           @ are kept to the bne
    .else                           @ r12: 1 - pixels when far, else
    add     r10, r10, r12           @ pixels - 1
    .endif
    add     r9, r9, r10, lsl #1
    .if !\far
    rsb     r12, r12, #0
    .endif
    mov     r12, r12, lsl #1
    bne     .Ltri_run_\name\()_Peel
    cmp     r12, #0
    beq     .Ltri_run_\name\()_Tail
.Ltri_run_\name\()_Pair:                    @ two pixels on one word
    ldmia   r8!, {r10, lr}          @ their z entries
    cmp     r3, r10
    bgt     .Ltri_run_\name\()_Apart
    add     r10, r3, r6             @ the second depth
    cmp     r10, lr
    bgt     .Ltri_run_\name\()_Apart
    stmdb   r8, {r3, r10}           @ both pass: both depths stored
    add     r3, r10, r6
    tri_texel lr, \wide             @ the first texel
    add     r1, r1, r4
    add     r2, r2, r5
    tri_texel r0, \wide             @ the second
    add     r1, r1, r4
    add     r2, r2, r5
    orr     r0, lr, r0, lsl #16
    str     r0, [r9, r12]           @ both pixels
    adds    r12, r12, #4
    bmi     .Ltri_run_\name\()_Pair
    bne     .Ltri_run_\name\()_Row
    b       .Ltri_run_\name\()_Tail
.Ltri_run_\name\()_Apart:                   @ one of the two hidden: each alone
    sub     r8, r8, #8
    tri_pixel 5, \wide
    add     r12, r12, #2
    tri_pixel 6, \wide
    adds    r12, r12, #2
    bmi     .Ltri_run_\name\()_Pair
    bne     .Ltri_run_\name\()_Row
.Ltri_run_\name\()_Tail:                    @ the last pixel, k = 0
    tri_pixel 7, \wide
    b       .Ltri_run_\name\()_Row
.Ltri_run_\name\()_Peel:                    @ one pixel to reach the word grid
    tri_pixel 3, \wide
    adds    r12, r12, #2
    bmi     .Ltri_run_\name\()_Pair
    beq     .Ltri_run_\name\()_Tail
    b       .Ltri_run_\name\()_Row
    .endif
.Ltri_run_\name\()_Left:                      @ xl < 0: the span starts at pixel 0
    cmp     r8, #0
    ble     .Ltri_run_\name\()_Row            @ wholly left of the screen
    rsb     r12, r12, #0            @ the pixels cut
    add     r0, lr, #48
    ldmia   r0, {r6, r7, r9}        @ dU dv dz (r5 keeps the row)
    mla     r1, r6, r12, r1
    mla     r2, r7, r12, r2
    mla     r3, r9, r12, r3
    mov     r12, #0
    b       .Ltri_run_\name\()_Span
.Ltri_run_\name\()_Near:                      @ r10 the first pixel, r11 pixels
    add     r0, lr, #132
    stmia   r0, {r1-r3}             @ U v z
    mov     r0, lr
    mov     r1, r10
    mov     r2, r11
    bl      tri_runNearSpan
    b       .Ltri_run_\name\()_Row
.Ltri_run_\name\()_End:                       @ the lower part, if any
    ldr     r0, [lr, #84]
    cmp     r0, #0
    beq     .Ltri_run_\name\()_Done
    str     r0, [lr, #44]
    mov     r1, #0
    str     r1, [lr, #84]
    add     r12, lr, #88            @ lx .. rdx, at the first row below
    ldmia   r12, {r0-r10}
    stmia   lr, {r0-r10}
    b       .Ltri_run_\name\()_Row
.Ltri_run_\name\()_Done:
    pop     {r0, r4, r5, r6, r7, r8, r9, r10, r11, lr}
    bx      lr
    .size \name, . - \name
    .endm
    tri_run tri_runArm, 1, 0, 0
    tri_run tri_runArmKeyFree, 0, 0, 0
    tri_run tri_runArmWide, 0, 1, 0
    tri_run tri_runArmFar, 1, 0, 1
    tri_run tri_runArmKeyFreeFar, 0, 0, 1
    tri_run tri_runArmWideFar, 0, 1, 1
    .purgem tri_run
    .purgem tri_pixel
    .purgem tri_texel
    .popsection
)");
#endif

#if defined(__arm__) && !defined(__thumb__)
/* 1 when v lies in [0, 2^30) and beyond near. */
static inline int tri_farDepth(int32_t v, int32_t near)
{
    return (uint32_t)v < (1u << 30) && v > near;
}

/* 1 when a step a row moves less than 2^22 either way (239 of them less
 * than 2^30). */
static inline int tri_smallStep(uint32_t d)
{
    return d + (1u << 22) < (1u << 23);
}

/* 1 when no depth of a part of a run lies outside (near, 2^30): w its
 * fields lx .. rdx, n in [1, 240] its rows, dz the step a pixel (|dz| <=
 * 2^21). Its rows' left edges are at lz + k * ldz for k in [0, n) (the
 * held row and the next share k = 0), its x edges at lx + k * ldx and rx +
 * k * rdx. With the steps a row below 2^22 and the x ends within +-2^30
 * every sum below fits in 32 bits and the running sums are the whole ones.
 * A row's span from lx >> 12 to rx >> 12 has at most ((rx - lx) >> 12) + 1
 * pixels, rx - lx running straight between its ends, so its depths lie
 * between the left edge's and that many steps of dz on, fewer than 512
 * here: the four corners bound them all (a span cut at either screen side
 * keeps a part of its pixels). */
static int tri_runFarPart(const uint32_t* w, int32_t n, int32_t dz, int32_t near)
{
    const int32_t k = n - 1;
    if (!tri_smallStep(w[6]) || !tri_smallStep(w[9]) || !tri_smallStep(w[10]))
        return 0;
    const int32_t lx = (int32_t)w[0], rx = (int32_t)w[4];
    if (lx + (1u << 30) >= (1u << 31) || rx + (1u << 30) >= (1u << 31))
        return 0;
    const int32_t lxK = lx + k * (int32_t)w[6], rxK = rx + k * (int32_t)w[10];
    if (lxK + (1u << 30) >= (1u << 31) || rxK + (1u << 30) >= (1u << 31))
        return 0;
    const int32_t lz = (int32_t)w[3];
    if (!tri_farDepth(lz, near))
        return 0;
    const int32_t lzK = lz + k * (int32_t)w[9];
    if (!tri_farDepth(lzK, near))
        return 0;
    const int32_t wide = rx - lx > rxK - lxK ? rx - lx : rxK - lxK; /* within +-2^31 */
    const int32_t steps = wide < 0 ? 0 : wide >> FP_SHIFT;        /* pixels - 1 at most */
    if (steps >= 512)
        return 0;
    return tri_farDepth(lz + steps * dz, near) && tri_farDepth(lzK + steps * dz, near);
}

/* 1 when every depth of r lies beyond near and below 2^30, so that every
 * span would pass the loops' test (tri_runFarPart for each part); only
 * for runs of 16 rows or more, where the tests it saves outweigh it. */
static int tri_runFar(const TriRun* r)
{
    const int32_t end = r->lowerAtEnd ? r->lowerAtEnd : r->atEnd;
    if (end - r->at < 16 * SCR_W)
        return 0;
    const int32_t dz = (int32_t)r->dz, near = r->near;
    if (!tri_runFarPart((const uint32_t*)r, (r->atEnd - r->at) / SCR_W, dz, near))
        return 0;
    return !r->lowerAtEnd || tri_runFarPart(r->lower, (r->lowerAtEnd - r->atEnd) / SCR_W, dz, near);
}
#endif

void tri_runFast(TriRun* r)
{
#if defined(__arm__) && !defined(__thumb__)
    const int far = tri_runFar(r);
    if (r->keyFree && r->wide)
        (far ? tri_runArmWideFar : tri_runArmWide)(r);
    else if (r->keyFree)
        (far ? tri_runArmKeyFreeFar : tri_runArmKeyFree)(r);
    else
        (far ? tri_runArmFar : tri_runArm)(r);
#else
    tri_runPortable(r);
#endif
}
