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

/* A run of rows of the cached triangle routine on a texture 256 texels wide,
 * without a shader, every pixel of it beyond near (the routine proves that
 * before it makes one). Rows at = SCR_W * row up to atEnd (exclusive), each
 * drawn, then both edges stepped. A row's span runs from xl = lx >> 12
 * (arithmetic) to xr = min(rx >> 12, SCR_W), exclusive; a span starting left
 * of the screen starts at pixel 0, its start values advanced by the pixels
 * cut. Its pixels: u, v, z from the left edge's, adding du, dv, dz a pixel;
 * drawn when z <= the z entry and the texel at ((u >> 12) & 255, (v >> 12) &
 * vmask) is not TEX_KEY: pixel = texel, z entry = z. u is kept shifted left
 * by 12 (U = u << 12, so U >> 24 is the texel column); the sums wrap in 32
 * bits. Field offsets are fixed: the ARM code reads them. */
struct TriRun {
    fixed lx;                /* 0: left edge on the next row: x */
    uint32_t lU, lv, lz;     /* 4: u << 12, v, z */
    fixed ldx;               /* 16: their steps a row */
    uint32_t ldU, ldv, ldz;  /* 20 */
    fixed rx, rdx;           /* 32: right edge x on the next row, its step */
    int32_t at, atEnd;       /* 40: SCR_W * the next row; SCR_W * (last row + 1) */
    uint32_t dU, dv, dz;     /* 48: steps a pixel, dU = du << 12 */
    const uint16_t* texels;  /* 60: the texture, 256 texels a row */
    fixed* zb;               /* 64: zbuf */
    uint16_t* target;        /* 68: rTarget */
    int32_t rowMask;         /* 72: vmask << 9, the byte offset of a texel row */
    uint32_t key;            /* 76: TEX_KEY */
};

/* The run in C++. */
void tri_runPortable(TriRun* r);

/* The run: the ARM code on the handheld, tri_runPortable elsewhere; the
 * same pixels, z entries and final edges. */
void tri_runFast(TriRun* r);

#endif
