/*
 * kv_3D: scene drawing: the z-buffer clear, the hooks and draw3D (see kv_3D.h).
 */
#include "render3d/kv_3D.h"

#include <cstddef>

#include "render3d/kv_3D_local.h"
#include "video/kv_texture.h"
#include "video/kv_video.h"

/* ---- Scene drawing and hooks ---------------------------------------------------- */

void clr3D(void)
{
    /* block stores (ZBUF_SIZE is a multiple of 8) */
    scr_fillWords((uint32_t*)zbuf, (uint32_t)cam.far, ZBUF_SIZE);
}

void setTexture(Object3D* obj, int slot)
{
    obj->texture = slot;
}

void setFillFunc(int flag)
{
    fillTri = flag ? drawtritex16b_FixPoint_split : drawtritex16b_FixPoint_split2;
}

void setScanFunc(int type)
{
    switch (type) {
    case 0:
        scanLine = draw_scanline;
        break;
    case 1:
        scanLine = draw_scanline_dbl;
        break;
    case 2:
        scanLine = draw_scanline_noTransp;
        break;
    case 3:
        scanLine = draw_scanline_dbl_noTransp;
        break;
    default:
        break; /* unknown: unchanged */
    }
}

void setShader(PixShaderFunc shader)
{
    pixShader = shader;
}

void clr_edge(Object3D* obj)
{
    for (int32_t i = 0; i < obj->edgeCount; i++)
        obj->edges[i].ready = 0;
}

/* A signed 128-bit value hi * 2^64 + lo, for the back-face products (the
 * handheld's compiler has no 128-bit integer type). */
struct TriWide {
    int64_t hi;
    uint64_t lo;
};

/* a * b >> 12 for differences of fixed values (|a|, |b| < 2^33), without
 * truncation: the exact product needs up to 67 bits. Rounds toward -inf as
 * fp_mul does. */
static TriWide tri_mulWide(int64_t a, int64_t b)
{
    uint64_t ua = a < 0 ? 0 - (uint64_t)a : (uint64_t)a;
    uint64_t ub = b < 0 ? 0 - (uint64_t)b : (uint64_t)b;
    uint64_t a0 = ua & 0xFFFFFFFFu, a1 = ua >> 32;
    uint64_t b0 = ub & 0xFFFFFFFFu, b1 = ub >> 32;
    uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
    uint64_t mid = (p00 >> 32) + (p01 & 0xFFFFFFFFu) + (p10 & 0xFFFFFFFFu);
    uint64_t lo = (p00 & 0xFFFFFFFFu) | (mid << 32);
    uint64_t hi = p11 + (p01 >> 32) + (p10 >> 32) + (mid >> 32);
    if ((a < 0) != (b < 0)) { /* two's complement negation of hi:lo */
        lo = ~lo + 1;
        hi = ~hi + (lo == 0);
    }
    /* arithmetic shift right by 12 of the 128-bit value */
    TriWide r;
    r.lo = (lo >> FP_SHIFT) | (hi << (64 - FP_SHIFT));
    r.hi = (int64_t)hi >> FP_SHIFT;
    return r;
}

/* x < y for two 128-bit values. */
static int tri_less(TriWide x, TriWide y)
{
    return x.hi < y.hi || (x.hi == y.hi && x.lo < y.lo);
}

/* The back-face test of draw3D: (A-B).x * (B-C).y < (A-B).y * (B-C).x with
 * the products >> 12 kept whole. When the four differences fit in 32 bits
 * (every triangle of a sane size) the products fit in 63 and 64-bit
 * arithmetic gives the same shifted values; else the 128-bit form. */
static int tri_backFace(const Vertex3D* a, const Vertex3D* b, const Vertex3D* c)
{
    /* A 32-bit difference that does not overflow is the whole one, so the
     * test picks the 64-bit form exactly when the four fit, with one
     * 32 x 32-bit multiply a product. */
    int32_t abx, bcy, aby, bcx;
    if (!__builtin_sub_overflow(a->sx, b->sx, &abx) && !__builtin_sub_overflow(b->sy, c->sy, &bcy) &&
        !__builtin_sub_overflow(a->sy, b->sy, &aby) && !__builtin_sub_overflow(b->sx, c->sx, &bcx))
        return (((int64_t)abx * bcy) >> FP_SHIFT) < (((int64_t)aby * bcx) >> FP_SHIFT);
    return tri_less(tri_mulWide((int64_t)a->sx - b->sx, (int64_t)b->sy - c->sy),
                    tri_mulWide((int64_t)a->sy - b->sy, (int64_t)b->sx - c->sx));
}

/* 1 when the picture can be sampled by masking: pixels present, both sides
 * powers of two, widthLog2 matching the width. */
static int tex_usable(const Pic16b* t)
{
    return t->pixels && t->width && t->height && (t->width & (t->width - 1)) == 0 &&
           (t->height & (t->height - 1)) == 0 && (1u << t->widthLog2) == t->width;
}

void draw3D(Object3D* obj)
{
    if (!obj || !obj->projected)
        return;
    /* The target is the back buffer as it is now: a screen closed and
     * reopened must never leave the rasteriser writing into freed memory.
     * Row starts are then 4-byte aligned, which the dbl routines rely on. */
    rTarget = scr_getBuf();
    if (!rTarget || ((uintptr_t)rTarget & 3))
        return;
    if (!fillTri)
        fillTri = drawtritex16b_FixPoint_split;
    if (!scanLine)
        scanLine = draw_scanline;
    if (obj->texture < 0 || obj->texture >= TEX_SLOTS)
        return; /* untextured objects are not drawn */
    if (!tex_usable(&tex[obj->texture]))
        return;
    curtex = &tex[obj->texture];
    if (!obj_frameOk(obj) || (obj->faceCount && !obj->edges))
        return;
    clr_edge(obj);

    const Vertex3D* base = obj->verts + (size_t)obj->frame * obj->vertCount;
    const fixed sw = fp_convi(SCR_W), sh = fp_convi(SCR_H);
    for (uint32_t i = 0; i < obj->faceCount; i++) {
        Face3D* fc = &obj->faces[i];
        const Vertex3D* a = &base[fc->ia];
        const Vertex3D* b = &base[fc->ib];
        const Vertex3D* c = &base[fc->ic];
        /* wholly outside one plane of the view volume */
        fc->visible = (a->clip & b->clip & c->clip) == 0 ? 0xFF : 0;
        /* no clipping at the eye plane: one vertex behind drops the triangle */
        if (!fc->visible || (a->behind | b->behind | c->behind))
            continue;
        /* wholly off one side of the screen (all three negative: the sign
         * bit of the three ANDed) */
        if ((a->sx & b->sx & c->sx) < 0 || (a->sy & b->sy & c->sy) < 0 ||
            ((a->sx >= sw) & (b->sx >= sw) & (c->sx >= sw)) || ((a->sy >= sh) & (b->sy >= sh) & (c->sy >= sh)))
            continue;
        /* back faces: counter-clockwise on the screen. The differences and
         * products are kept whole: truncated to 32 bits the products wrap
         * once a triangle spans more than about 724 x 724 pixels (one close
         * to the eye), and the test would drop front faces or keep back
         * faces. */
        if (tri_backFace(a, b, c))
            continue;
        fillTri(fc, obj);
    }
}
