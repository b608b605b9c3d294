/*
 * kv_texture: texture slots (see kv_texture.h).
 */
#include "video/kv_texture.h"

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

int loadRawTex(const char* path)
{
    tex_clearOnce();
    int slot = findFreeTex();
    if (slot < 0)
        return -1;
    loadRAW16bAuto(path, &tex[slot]);
    return tex[slot].pixels ? slot : -1;
}

int loadTex(const char* path, int w, int h)
{
    tex_clearOnce();
    int slot = findFreeTex();
    if (slot < 0)
        return -1;
    loadRAW16b(path, &tex[slot], w, h);
    return tex[slot].pixels ? slot : -1;
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
