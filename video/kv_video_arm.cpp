/*
 * kv_video: the handheld's ARM code for the drawing of pictures, keyed and
 * additive (drawPic16b's and drawPic16b_add's pairs on the word grid, see
 * kv_video.cpp).
 */
#include <cstdint>

#if defined(__arm__) && !defined(__thumb__)
/* pic_addTwoAt over the pairs d[0 .. pairs - 1] from s[0 .. pairs - 1], both
 * on the word grid: eight black source pairs are passed with one test
 * (about 11 instructions), a pair with a black half or the key, or over a
 * pixel of 0 beside a lit one, goes pixel by pixel (pic_addOne's rule),
 * two lit source pixels over two lit ones take pic_addTwo's word sum with
 * the carry masks in registers (31 instructions), over two black ones the
 * source word itself, a black source pair 4. Registers: r0 d, r1 s, r2 pairs left, r3
 * the screen word, r4 0x7BEF7BEF, r5 the key, r6-r8 the red, green and
 * blue carries of both halves, r9-r12 and lr the source words and scratch. */
extern "C" void pic_addPairsArm(uint32_t* d, const uint32_t* s, int pairs);
__asm__(R"(
    .pushsection .text
    .arm
    .macro  add_one h                @ pic_addOne on the half h of the pair at r0 from r9
    .if \h
    movs    r10, r9, lsr #16
    .else
    mov     r10, r9, lsl #16
    movs    r10, r10, lsr #16
    .endif
    beq     1f                      @ black adds nothing
    cmp     r10, r5
    beq     1f                      @ the key
    ldrh    r11, [r0, #(2 * \h)]
    cmp     r11, #0
    beq     2f                      @ over a black pixel: the source
    bic     r10, r10, #0x820
    bic     r11, r11, #0x820
    mov     r10, r10, lsr #1
    add     r10, r10, r11, lsr #1
    tst     r10, #0x8000
    orrne   r10, r10, #0x7800
    tst     r10, #0x400
    orrne   r10, r10, #0x3E0
    tst     r10, #0x10
    orrne   r10, r10, #0xF
    mov     r10, r10, lsl #1
2:
    strh    r10, [r0, #(2 * \h)]
1:
    .endm
    .macro  add_pair                @ pic_addTwoAt(r0, *r1), both a word on after
    ldr     r9, [r1], #4
    cmp     r9, #0
    beq     .Lpa_next\@            @ two black pixels
    mov     r10, r9, lsl #16
    cmp     r10, r5, lsl #16        @ low half the key ...
    cmpne   r10, #0                 @ ... or black
    movne   r10, r9, lsr #16
    cmpne   r10, r5                 @ high half the key ...
    cmpne   r10, #0                 @ ... or black
    beq     .Lpa_apart\@
    ldr     r3, [r0]
    movs    r10, r3, lsl #16
    beq     .Lpa_low0\@
    cmp     r3, #0x10000
    blo     .Lpa_apart\@           @ a black pixel beside a lit one
    and     r10, r4, r9, lsr #1     @ pic_addTwo
    and     r3, r4, r3, lsr #1
    add     r3, r3, r10
    and     r10, r3, r6
    sub     r10, r10, r10, lsr #4
    and     r11, r3, r7
    sub     r11, r11, r11, lsr #5
    orr     r10, r10, r11
    and     r11, r3, r8
    sub     r11, r11, r11, lsr #4
    orr     r10, r10, r11
    orr     r3, r3, r10
    mov     r3, r3, lsl #1
    bic     r3, r3, #0x10000
    str     r3, [r0]
    b       .Lpa_next\@
.Lpa_low0\@:
    cmp     r3, #0
    streq   r9, [r0]                @ over two black pixels: the source
    beq     .Lpa_next\@
.Lpa_apart\@:
    add_one 0
    add_one 1
.Lpa_next\@:
    add     r0, r0, #4
    .endm

    .align 2
    .global pic_addPairsArm
    .type pic_addPairsArm, %function
pic_addPairsArm:
    push    {r4, r5, r6, r7, r8, r9, r10, r11, lr}
    ldr     r4, =0x7BEF7BEF
    ldr     r5, =0xF81F
    ldr     r6, =0x80008000
    ldr     r7, =0x04000400
    ldr     r8, =0x00100010
    subs    r2, r2, #8
    bmi     .Lpic_add_rest
.Lpic_add_eight:                    @ eight pairs, r2 + 8 of them left
    ldmia   r1, {r3, r9, r10, r11, r12, lr}
    orr     r3, r3, r9
    orr     r3, r3, r10
    orr     r3, r3, r11
    orr     r3, r3, r12
    orr     r3, r3, lr
    ldr     r9, [r1, #24]
    ldr     r10, [r1, #28]
    orr     r3, r3, r9
    orrs    r3, r3, r10
    bne     .Lpic_add_lit
    add     r0, r0, #32
    add     r1, r1, #32
    subs    r2, r2, #8
    bpl     .Lpic_add_eight
.Lpic_add_rest:
    adds    r2, r2, #8
    beq     .Lpic_add_done
.Lpic_add_pair:                     @ one pair, r2 of them left
    add_pair
    subs    r2, r2, #1
    bne     .Lpic_add_pair
.Lpic_add_done:
    pop     {r4, r5, r6, r7, r8, r9, r10, r11, lr}
    bx      lr
.Lpic_add_lit:                      @ the eight one by one
    .rept   8
    add_pair
    .endr
    subs    r2, r2, #8
    bpl     .Lpic_add_eight
    b       .Lpic_add_rest

    .ltorg
    .size pic_addPairsArm, . - pic_addPairsArm
    .purgem add_pair
    .purgem add_one
    .popsection
)");

/* pic_copyTwo over the pairs d[0 .. pairs - 1] from s[0 .. pairs - 1], both
 * on the word grid: eight pairs of key pixels are passed with one block
 * load and eight compares (13 instructions), a pair without the key is one
 * word store (8), a pair with one key pixel stores the other alone.
 * Registers: r0 d, r1 s, r2 pairs left, r4 the key twice, r5 the key, r3
 * and r6-r12 the source words, r9 and r10 scratch. */
extern "C" void pic_copyPairsArm(uint32_t* d, const uint32_t* s, int pairs);
__asm__(R"(
    .pushsection .text
    .arm
    .macro  copy_pair               @ pic_copyTwo(r0, *r1), both a word on after
    ldr     r9, [r1], #4
    cmp     r9, r4
    beq     .Lpc_next\@            @ two key pixels
    mov     r10, r9, lsl #16
    cmp     r10, r5, lsl #16
    beq     .Lpc_apart\@           @ the low one the key
    cmp     r5, r9, lsr #16
    strne   r9, [r0]                @ neither the key: the word
    bne     .Lpc_next\@
.Lpc_apart\@:                      @ one of the two the key: the other alone
    cmp     r10, r5, lsl #16
    strneh  r9, [r0]
    mov     r10, r9, lsr #16
    cmp     r10, r5
    strneh  r10, [r0, #2]
.Lpc_next\@:
    add     r0, r0, #4
    .endm

    .align 2
    .global pic_copyPairsArm
    .type pic_copyPairsArm, %function
pic_copyPairsArm:
    push    {r4, r5, r6, r7, r8, r9, r10, r11, lr}
    ldr     r4, =0xF81FF81F
    ldr     r5, =0xF81F
    subs    r2, r2, #8
    bmi     .Lpic_copy_rest
.Lpic_copy_eight:                   @ eight pairs, r2 + 8 of them left
    ldmia   r1, {r3, r6, r7, r8, r9, r10, r11, r12}
    cmp     r3, r4
    cmpeq   r6, r4
    cmpeq   r7, r4
    cmpeq   r8, r4
    cmpeq   r9, r4
    cmpeq   r10, r4
    cmpeq   r11, r4
    cmpeq   r12, r4
    bne     .Lpic_copy_lit
    add     r0, r0, #32
    add     r1, r1, #32
    subs    r2, r2, #8
    bpl     .Lpic_copy_eight
.Lpic_copy_rest:
    adds    r2, r2, #8
    beq     .Lpic_copy_done
.Lpic_copy_pair:                    @ one pair, r2 of them left
    copy_pair
    subs    r2, r2, #1
    bne     .Lpic_copy_pair
.Lpic_copy_done:
    pop     {r4, r5, r6, r7, r8, r9, r10, r11, lr}
    bx      lr
.Lpic_copy_lit:                     @ the eight one by one
    .rept   8
    copy_pair
    .endr
    subs    r2, r2, #8
    bpl     .Lpic_copy_eight
    b       .Lpic_copy_rest
    .ltorg
    .size pic_copyPairsArm, . - pic_copyPairsArm
    .purgem copy_pair
    .popsection
)");
#endif
