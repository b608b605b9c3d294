/*
 * kv_texture: the 64 texture slots of the 3D renderer.
 *
 * A texture is loaded into the first free slot (first fit from slot 0) and is
 * known by its slot number from then on; loading the same file twice fills two
 * slots. A slot is free while its pixels pointer is null.
 */
#ifndef ORVEL_VIDEO_KV_TEXTURE_H
#define ORVEL_VIDEO_KV_TEXTURE_H

#include "video/kv_video.h"

enum { TEX_SLOTS = 64 };

extern Pic16b tex[TEX_SLOTS]; /* the slots; free when pixels == nullptr */
extern int texCleared;        /* 0 until the first load empties every slot */

/* Index of the first free slot, or -1 when all 64 hold a picture. */
int findFreeTex(void);

/* Loads a TGA or raw picture (chosen by name as loadRAW16bAuto does) into the
 * first free slot. Returns the slot, or -1 when every slot is taken or the
 * picture could not be loaded (the loader has printed why; the slot stays
 * free). */
int loadRawTex(const char* path);

/* Loads a raw picture of w*h pixels into the first free slot. Returns the
 * slot, or -1 as loadRawTex. */
int loadTex(const char* path, int w, int h);

/* Frees the picture of one slot; slots outside 0..63 are ignored. */
void killTex(int slot);

/* Frees every slot that holds a picture. */
void killAllTex(void);

/* The texels of slot t's picture as words, each texel in the low half and
 * 0 in the high one, for the triangle rows on the handheld: made by the
 * loaders for a keyFree picture 256 wide, freed with the slot. nullptr
 * elsewhere (and off the handheld), or when t's pixels are no longer the
 * ones it was made from. Valid while t->keyFree holds (whoever changes
 * the pixels clears keyFree). */
const uint32_t* texWide(const Pic16b* t);

/* Counts the makings and freeings of texWide's words: a texWide result
 * kept for the same slot and pixels stays valid while it is unchanged. */
extern unsigned texWideEpoch;

/* Reserved for mipmaps: does nothing. */
void makeMipmap(int slot);

#endif
