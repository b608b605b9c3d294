/*
 * kv_3D_span: the per-pixel work of draw_scanline in inline form, for the
 * scanline routines and for the span forms of pixel shaders
 * (setShaderSpan), which run draw_scanline's loop with their shader inline
 * instead of calling it through pixShader for every pixel.
 *
 * A span's pixels, in order i = 0 .. len - 1: u, v, z start at the span's
 * values and add du, dv, dz a pixel, wrapping in 32 bits; a pixel passes
 * when z <= its z entry and z > cam.near, and its texel (umask & (u >> 12),
 * vmask & (v >> 12), arithmetic shifts) is not TEX_KEY.
 */
#ifndef ORVEL_RENDER3D_KV_3D_SPAN_H
#define ORVEL_RENDER3D_KV_3D_SPAN_H

#include "render3d/kv_3D.h"

/* The texture fields of a span, copied out once so that the z-buffer stores
 * of a loop (which could alias the span's int fields) do not force the
 * compiler to reload them for every pixel. */
struct ScanTex {
    const uint16_t* texels;
    int umask, vmask, vshift;
};

static inline ScanTex scan_tex(const Span* s)
{
    ScanTex t = {s->texels, s->umask, s->vmask, s->vshift};
    return t;
}

/* The texel at u, v by the plain rule. */
static inline unsigned scan_texel(const ScanTex& t, uint32_t u, uint32_t v)
{
    int col = t.umask & ((int32_t)u >> FP_SHIFT);
    int row = t.vmask & ((int32_t)v >> FP_SHIFT);
    return t.texels[col + (row << t.vshift)];
}

/* 1 when the depth z + i * dz of every pixel i of a span of n (stepped in
 * 32 bits, read as signed) is greater than near, by a test cheap enough for
 * short spans: with |z| <= 2^30, |dz| <= 2^21 and at most 512 pixels, the
 * sums stay inside the int range (no wrap), so the depths run in a
 * straight line and it is enough that both ends are beyond near. */
static inline int scan_aboveNear(fixed z, fixed dz, int n, fixed near)
{
    /* -2^30 <= z < 2^30 and -2^21 <= dz < 2^21, one unsigned compare each */
    if (z <= near || (uint32_t)z + (1u << 30) >= (1u << 31) || (uint32_t)dz + (1u << 21) >= (1u << 22) || n > 512)
        return 0;
    return z + (n - 1) * dz > near;
}

/* The texel addressing of the fast loops for textures up to 2048 texels
 * wide (vshift <= 11): the texel's byte offset takes each coordinate's bits
 * in one shift and mask. ((u >> 12) & umask) * 2 is (u >> 11) & (umask <<
 * 1), and ((v >> 12) & vmask) << (vshift + 1) is (v >> (11 - vshift)) &
 * (vmask << (vshift + 1)): the sign bits of the arithmetic shifts land
 * above either mask. */
struct ScanFast {
    const char* tex;
    int32_t colMask, rowMask;
    int rowShift;
};

static inline ScanFast scan_fast(const ScanTex& t)
{
    ScanFast f = {(const char*)t.texels, t.umask << 1, t.vmask << (t.vshift + 1), 11 - t.vshift};
    return f;
}

/* The texel at u, v; RS is the row shift when known at compile time (the
 * textures 256 texels wide), else -1 for f.rowShift. */
template <int RS>
static inline unsigned scan_fastTexel(const ScanFast& f, uint32_t u, uint32_t v)
{
    const int rs = RS >= 0 ? RS : f.rowShift;
    return *(const uint16_t*)(f.tex + ((((int32_t)u >> 11) & f.colMask) + (((int32_t)v >> rs) & f.rowMask)));
}

/* The pixels of [dend - n, dend) that pass, handed to shade(pixel, zentry,
 * texel, z) in order; NEAR: the near test is made (else the caller knows
 * that every depth is beyond near). */
template <int RS, bool NEAR, class Shade>
static inline void scan_shadeRun(const ScanFast& f, uint32_t u, uint32_t v, uint32_t z, uint32_t du, uint32_t dv,
                                 uint32_t dz, uint16_t* dend, fixed* zend, int n, fixed near, Shade& shade)
{
    for (int i = -n; i < 0; i++, u += du, v += dv, z += dz) {
        if ((fixed)z <= zend[i] && (!NEAR || (fixed)z > near)) {
            const unsigned texel = scan_fastTexel<RS>(f, u, v);
            if (texel != TEX_KEY)
                shade(&dend[i], &zend[i], texel, (fixed)z);
        }
    }
}

/* draw_scanline's work on span s with shade in place of pixShader: for
 * every pixel that passes, in order, shade(pixel, zentry, texel, z) with
 * the addresses of the pixel and its z entry. Shade is any callable; it
 * runs inline. */
template <class Shade>
static inline void scan_shadeSpan(const Span* s, Shade& shade)
{
    const fixed near = cam.near;
    const ScanTex t = scan_tex(s);
    uint32_t u = (uint32_t)s->u, v = (uint32_t)s->v, z = (uint32_t)s->z;
    const uint32_t du = (uint32_t)s->du, dv = (uint32_t)s->dv, dz = (uint32_t)s->dz;
    const int n = s->len;
    if (t.vshift > 11) {
        for (int i = 0; i < n; i++, u += du, v += dv, z += dz) {
            if ((fixed)z <= s->zdst[i] && (fixed)z > near) {
                const unsigned texel = scan_texel(t, u, v);
                if (texel != TEX_KEY)
                    shade(&s->dst[i], &s->zdst[i], texel, (fixed)z);
            }
        }
        return;
    }
    const ScanFast f = scan_fast(t);
    uint16_t* const dend = s->dst + n;
    fixed* const zend = s->zdst + n;
    if (!scan_aboveNear((fixed)z, (fixed)dz, n, near))
        scan_shadeRun<-1, true>(f, u, v, z, du, dv, dz, dend, zend, n, near, shade);
    else if (f.rowShift == 3)
        scan_shadeRun<3, false>(f, u, v, z, du, dv, dz, dend, zend, n, near, shade);
    else
        scan_shadeRun<-1, false>(f, u, v, z, du, dv, dz, dend, zend, n, near, shade);
}

#endif
