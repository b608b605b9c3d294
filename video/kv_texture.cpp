/*
 * kv_texture: texture slots (see kv_texture.h).
 */
#include "video/kv_texture.h"

#include <cstddef>
#include <cstdint>

/* ---- Globals -------------------------------------------------------------
 * Lifetime: whole run; filled while loading, emptied by killAllTex. */
Pic16b tex[TEX_SLOTS]; /* slot table, all empty at start */
int texCleared = 0;    /* 0 or 1: set by the first load */

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
    return slot;
}

void killTex(int slot)
{
    if (slot >= 0 && slot < TEX_SLOTS)
        killPic16b(&tex[slot]);
}

void killAllTex(void)
{
    for (int i = 0; i < TEX_SLOTS; i++)
        if (tex[i].pixels)
            killPic16b(&tex[i]);
}

void makeMipmap(int slot)
{
    (void)slot;
}
