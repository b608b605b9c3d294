/*
 * kv_texture: texture slots (see kv_texture.h).
 */
#include "video/kv_texture.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

/* ---- Globals -------------------------------------------------------------
 * Lifetime: whole run; filled while loading, emptied by killAllTex. */
Pic16b tex[TEX_SLOTS]; /* slot table, all empty at start */
int texCleared = 0;    /* 0 or 1: set by the first load */
/* texWide's words for each slot (owned) and the pixels they were made from */
static uint32_t* wideTexels[TEX_SLOTS];
static const uint16_t* wideFrom[TEX_SLOTS];
unsigned texWideEpoch = 0;

int findFreeTex(void)
{
    for (int i = 0; i < TEX_SLOTS; i++)
        if (!tex[i].pixels)
            return i;
    return -1;
}

/* Empties every slot once, before the first load of the run. */
static void tex_clearOnce(void)
{
    if (texCleared)
        return;
    killAllTex();
    texCleared = 1;
}

/* 1 when no pixel of t is PIC_KEY. Two pixels a word: a 16-bit half of
 * w ^ (PIC_KEY * 0x10001) is 0 exactly for a key pixel, and (x - 0x10001)
 * & ~x & 0x80008000 is nonzero exactly when a half of x is 0 (a half at 1
 * or more keeps its top bit out of the difference; a borrow from the low
 * half into the high one needs a low half of 0). */
static uint16_t tex_keyFree(const Pic16b* t)
{
    typedef uint32_t __attribute__((may_alias)) TexPair; /* two pixels, read as one word */
    const size_t n = (size_t)t->width * t->height;
    const uint16_t* px = t->pixels;
    size_t i = 0;
    if (((uintptr_t)px & 3) == 0) {
        const uint32_t key2 = (uint32_t)PIC_KEY * 0x10001u;
        const TexPair* w = (const TexPair*)px;
        for (; i + 8 <= n; i += 8) { /* four words a test */
            const uint32_t a = w[i / 2] ^ key2, b = w[i / 2 + 1] ^ key2;
            const uint32_t c = w[i / 2 + 2] ^ key2, d = w[i / 2 + 3] ^ key2;
            if ((((a - 0x10001u) & ~a) | ((b - 0x10001u) & ~b) | ((c - 0x10001u) & ~c) | ((d - 0x10001u) & ~d)) &
                0x80008000u)
                return 0;
        }
        for (; i + 2 <= n; i += 2) {
            const uint32_t x = w[i / 2] ^ key2;
            if ((x - 0x10001u) & ~x & 0x80008000u)
                return 0;
        }
    }
    for (; i < n; i++)
        if (px[i] == PIC_KEY)
            return 0;
    return 1;
}

/* Frees slot i's words. */
static void tex_dropWide(int i)
{
    if (wideTexels[i])
        texWideEpoch++;
    free(wideTexels[i]);
    wideTexels[i] = nullptr;
    wideFrom[i] = nullptr;
}

#if defined(__arm__) && !defined(__thumb__)
/* w[k] = p[k] for 8 * groups texels, eight a loop: four words read (the
 * pixels are malloc'ed, so on the word grid), each half stored as a word
 * (the low one with the high half cleared), 13 instructions the eight. */
extern "C" void tex_widenArm(uint32_t* w, const uint16_t* p, size_t groups);
__asm__(R"(
    .pushsection .text
    .arm
    .align 2
    .global tex_widenArm
    .type tex_widenArm, %function
tex_widenArm:
    cmp     r2, #0
    bxeq    lr
    push    {r4, r5, r6, r7, r8, r9, r10}
    mov     r12, #0xFF000000
    orr     r12, r12, #0xFF0000     @ the high half
1:
    ldmia   r1!, {r3, r4, r5, r6}
    bic     r7, r3, r12
    mov     r8, r3, lsr #16
    bic     r9, r4, r12
    mov     r10, r4, lsr #16
    stmia   r0!, {r7, r8, r9, r10}
    bic     r7, r5, r12
    mov     r8, r5, lsr #16
    bic     r9, r6, r12
    mov     r10, r6, lsr #16
    stmia   r0!, {r7, r8, r9, r10}
    subs    r2, r2, #1
    bne     1b
    pop     {r4, r5, r6, r7, r8, r9, r10}
    bx      lr
    .size tex_widenArm, . - tex_widenArm
    .popsection
)");
#endif

/* Makes slot i's words (texWide) on the handheld, for a keyFree picture 256
 * wide; none elsewhere or when memory runs out. */
static void tex_makeWide(int i)
{
    tex_dropWide(i);
#if defined(__arm__) && !defined(__thumb__)
    const Pic16b* t = &tex[i];
    if (!t->keyFree || t->width != 256)
        return;
    const size_t n = (size_t)t->width * t->height;
    uint32_t* w = (uint32_t*)malloc(n * sizeof *w);
    if (!w)
        return;
    tex_widenArm(w, t->pixels, n / 8); /* n = 256 * height */
    wideTexels[i] = w;
    wideFrom[i] = t->pixels;
    texWideEpoch++;
#endif
}

const uint32_t* texWide(const Pic16b* t)
{
    if (t < tex || t >= tex + TEX_SLOTS)
        return nullptr;
    const size_t i = (size_t)(t - tex);
    return wideTexels[i] && wideFrom[i] == t->pixels ? wideTexels[i] : nullptr;
}

int loadRawTex(const char* path)
{
    tex_clearOnce();
    int slot = findFreeTex();
    if (slot < 0)
        return -1;
    loadRAW16bAuto(path, &tex[slot]);
    if (!tex[slot].pixels)
        return -1;
    tex[slot].keyFree = tex_keyFree(&tex[slot]);
    tex_makeWide(slot);
    return slot;
}

int loadTex(const char* path, int w, int h)
{
    tex_clearOnce();
    int slot = findFreeTex();
    if (slot < 0)
        return -1;
    loadRAW16b(path, &tex[slot], w, h);
    if (!tex[slot].pixels)
        return -1;
    tex[slot].keyFree = tex_keyFree(&tex[slot]);
    tex_makeWide(slot);
    return slot;
}

void killTex(int slot)
{
    if (slot >= 0 && slot < TEX_SLOTS) {
        killPic16b(&tex[slot]);
        tex_dropWide(slot);
    }
}

void killAllTex(void)
{
    for (int i = 0; i < TEX_SLOTS; i++) {
        if (tex[i].pixels)
            killPic16b(&tex[i]);
        tex_dropWide(i);
    }
}

void makeMipmap(int slot)
{
    (void)slot;
}
