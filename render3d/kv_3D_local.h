/*
 * kv_3D_local: what the renderer's source files share among themselves and
 * with their tests, and nobody else calls.
 */
#ifndef ORVEL_RENDER3D_KV_3D_LOCAL_H
#define ORVEL_RENDER3D_KV_3D_LOCAL_H

#include "render3d/kv_3D.h"

/* Empties the object without freeing: counts 0, arrays null, pose 0,
 * texture -1, frame 0, not projected. What a loader starts from and what it
 * leaves after a failure (after freeing what it allocated itself). */
void obj_reset(Object3D* obj);

/* 1 when obj->frame names one of the object's frames and it has vertices,
 * else 0. */
int obj_frameOk(const Object3D* obj);

/* The rows of one triangle of the cached routine on a texture 256 texels
 * wide, without a shader. Row at / SCR_W (the held row) is drawn at the
 * edges' values without stepping them; then rows from at + SCR_W up to
 * atEnd (exclusive), each drawn, then both edges stepped; then, when
 * lowerAtEnd is not 0, the edges take the lower block's values and the rows
 * go on to lowerAtEnd (the short edge restarting below the middle vertex).
 * A row's span runs from xl = lx >> 12 (arithmetic) to xr = min(rx >> 12,
 * SCR_W), exclusive; a span starting left of the screen starts at pixel 0,
 * its start values advanced by the pixels cut. Its pixels: u, v, z from the
 * left edge's, adding du, dv, dz a pixel; drawn when near < z <= the z
 * entry and the texel at ((u >> 12) & 255, (v >> 12) & vmask) is not
 * TEX_KEY: pixel = texel, z entry = z. u is kept shifted left by 12 (U = u
 * << 12, so U >> 24 is the texel column); the sums wrap in 32 bits. |dz| <=
 * 2^21. Field offsets are fixed: the ARM code reads them. */
struct TriRun {
    fixed lx;                /* 0: left edge on the current row: x */
    uint32_t lU, lv, lz;     /* 4: u << 12, v, z */
    fixed rx;                /* 16: right edge x on the current row */
    int32_t at;              /* 20: SCR_W * the current row */
    fixed ldx;               /* 24: the left edge's steps a row */
    uint32_t ldU, ldv, ldz;  /* 28 */
    fixed rdx;               /* 40: the right edge's step a row */
    int32_t atEnd;           /* 44: SCR_W * (last row + 1) */
    uint32_t dU, dv, dz;     /* 48: steps a pixel, dU = du << 12 */
    const void* loopTexels;  /* 60: the ARM loop's texels: texels, or wide */
    fixed* zb;               /* 64: zbuf */
    uint16_t* target;        /* 68: rTarget */
    int32_t loopMask;        /* 72: rowMask, or rowMask8 with wide */
    uint32_t key;            /* 76: TEX_KEY */
    fixed near;              /* 80: cam.near */
    int32_t lowerAtEnd;      /* 84: 0, or SCR_W * (last row of the lower part + 1) */
    uint32_t lower[11];      /* 88: lx .. rdx below the middle vertex's row (at: atEnd) */
    uint32_t scratch[3];     /* 132: U, v, z of a span handed to tri_runNearSpan */
    int32_t keyFree;         /* 144: 1 when no texel is TEX_KEY (Pic16b keyFree) */
    const uint16_t* texels;  /* 148: the texture, 256 texels a row */
    int32_t rowMask;         /* 152: vmask << 9, the byte offset of a texel row */
    const uint32_t* wide;    /* 156: the texels as words (texWide), or nullptr */
};

/* The rows in C++. */
void tri_runPortable(TriRun* r);

/* The rows: the ARM code on the handheld (on a keyFree texture, a loop
 * without the key test, reading the words of wide when it is set; a run
 * of 16 rows or more whose depths are shown to lie beyond near skips each
 * span's near test),
 * tri_runPortable elsewhere; the same pixels, z
 * entries and final edges. */
void tri_runFast(TriRun* r);

#endif
