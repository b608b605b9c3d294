/*
 * kv_3D: the triangle rasteriser: triangle and scanline routines (see kv_3D.h).
 */
#include "render3d/kv_3D.h"

#include <cstddef>
#include <cstring>

#include "render3d/kv_3D_local.h"
#include "render3d/kv_3D_span.h"
#include "video/kv_texture.h"

/* ---- Globals ---------------------------------------------------------------
 * Lifetime: whole run; the hooks persist until changed. */
FillTriFunc fillTri = nullptr;     /* current triangle routine; draw3D installs the default */
ScanLineFunc scanLine = nullptr;   /* current scanline routine; draw3D installs the default */
PixShaderFunc pixShader = nullptr; /* per-pixel hook of draw_scanline, or null */

/* The span forms of shaders (setShaderSpan): spanForms[0 .. spanFormCount)
 * in order of registration, each shader once, none null. */
enum { SPAN_FORMS_MAX = 4 };
static struct {
    PixShaderFunc shader;
    SpanShaderFunc span;
} spanForms[SPAN_FORMS_MAX];
static int spanFormCount = 0;

/* Lifetime: per draw3D call. */
uint16_t* rTarget = nullptr;  /* 320x240 RGB565 target, the back buffer; 4-byte aligned */
const Pic16b* curtex = nullptr; /* texture of the object being drawn, power-of-two sides */

/* Lifetime: per 3D frame, filled by clr3D. */
fixed zbuf[ZBUF_SIZE]; /* depth per pixel in world units (20.12), near .. far; smaller is nearer */

/* ---- Rasteriser: scanline routines --------------------------------------------
 * The running u, v, z are unsigned so that stepping wraps in 32 bits like the
 * fixed arithmetic everywhere else; they are read back as signed. Every
 * address written lies in [dst, dst + len) (the dbl routines: one more to the
 * left on an odd start), which the triangle routines keep inside the row. */

/* The loop of scan_keyed for a span wholly beyond near: the z entry alone
 * is tested. */
template <int RS>
static inline void scan_keyedFar(const ScanFast& f, uint32_t u, uint32_t v, uint32_t z, uint32_t du, uint32_t dv,
                                 uint32_t dz, uint16_t* dend, fixed* zend, int n)
{
    for (int i = -n; i < 0; i++, u += du, v += dv, z += dz) {
        if ((fixed)z <= zend[i]) {
            const unsigned texel = scan_fastTexel<RS>(f, u, v);
            if (texel != TEX_KEY) {
                dend[i] = (uint16_t)texel;
                zend[i] = (fixed)z;
            }
        }
    }
}

/* draw_scanline without a shader, for a texture with vshift <= 11: the
 * pixels of [dst, dst + n) and their z entries. A span wholly beyond near
 * tests the z entry alone. */
static __attribute__((noinline)) void scan_keyed(const ScanFast& f, uint32_t u, uint32_t v, uint32_t z, uint32_t du, uint32_t dv,
                              uint32_t dz, uint16_t* dst, fixed* zd, int n, fixed near)
{
    uint16_t* const dend = dst + n;
    fixed* const zend = zd + n;
    if (scan_aboveNear((fixed)z, (fixed)dz, n, near)) {
        if (f.rowShift == 3)
            scan_keyedFar<3>(f, u, v, z, du, dv, dz, dend, zend, n);
        else
            scan_keyedFar<-1>(f, u, v, z, du, dv, dz, dend, zend, n);
        return;
    }
    for (int i = -n; i < 0; i++, u += du, v += dv, z += dz) {
        if ((fixed)z <= zend[i] && (fixed)z > near) {
            const unsigned texel = scan_fastTexel<-1>(f, u, v);
            if (texel != TEX_KEY) {
                dend[i] = (uint16_t)texel;
                zend[i] = (fixed)z;
            }
        }
    }
}

void draw_scanline(Span* s)
{
    const fixed near = cam.near;
    const ScanTex t = scan_tex(s);
    uint32_t u = (uint32_t)s->u, v = (uint32_t)s->v, z = (uint32_t)s->z;
    const uint32_t du = (uint32_t)s->du, dv = (uint32_t)s->dv, dz = (uint32_t)s->dz;
    uint16_t* dst = s->dst;
    fixed* zd = s->zdst;
    const int n = s->len;
    const PixShaderFunc shader = pixShader;
    if (shader) {
        for (int k = 0; k < spanFormCount; k++) {
            if (spanForms[k].shader == shader) {
                spanForms[k].span(s);
                return;
            }
        }
        for (int i = 0; i < n; i++, u += du, v += dv, z += dz) {
            if ((fixed)z <= zd[i] && (fixed)z > near) {
                unsigned texel = scan_texel(t, u, v);
                if (texel != TEX_KEY)
                    shader(&dst[i], &zd[i], texel, (fixed)z);
            }
        }
        return;
    }
    if (t.vshift <= 11) {
        scan_keyed(scan_fast(t), u, v, z, du, dv, dz, dst, zd, n, near);
        return;
    }
    for (int i = 0; i < n; i++, u += du, v += dv, z += dz) {
        if ((fixed)z <= zd[i] && (fixed)z > near) {
            unsigned texel = scan_texel(t, u, v);
            if (texel != TEX_KEY) {
                dst[i] = (uint16_t)texel;
                zd[i] = (fixed)z;
            }
        }
    }
}

int setShaderSpan(PixShaderFunc shader, SpanShaderFunc span)
{
    if (!shader)
        return 0;
    int k = 0;
    while (k < spanFormCount && spanForms[k].shader != shader)
        k++;
    if (!span) { /* removed: the later entries move down */
        for (; k + 1 < spanFormCount; k++)
            spanForms[k] = spanForms[k + 1];
        if (k < spanFormCount)
            spanFormCount--;
        return 1;
    }
    if (k == SPAN_FORMS_MAX)
        return 0;
    spanForms[k].shader = shader;
    spanForms[k].span = span;
    if (k == spanFormCount)
        spanFormCount++;
    return 1;
}

void draw_scanline_noTransp(Span* s)
{
    const fixed near = cam.near;
    const ScanTex t = scan_tex(s);
    uint32_t u = (uint32_t)s->u, v = (uint32_t)s->v, z = (uint32_t)s->z;
    const uint32_t du = (uint32_t)s->du, dv = (uint32_t)s->dv, dz = (uint32_t)s->dz;
    uint16_t* dst = s->dst;
    fixed* zd = s->zdst;
    const int n = s->len;
    for (int i = 0; i < n; i++, u += du, v += dv, z += dz) {
        if ((fixed)z <= zd[i] && (fixed)z > near) {
            zd[i] = (fixed)z;
            dst[i] = (uint16_t)scan_texel(t, u, v);
        }
    }
}

/* Pairs of pixels from one texel. A span starting on an odd pixel (a dst not
 * on a 4-byte boundary) starts one pixel to its left, so every store is an
 * aligned pair; that pixel is inside the row because row starts are aligned.
 * (len + a) >> 1 pairs never pass the span's right end. */
static inline void scan_dbl(Span* s, int keyed)
{
    const fixed near = cam.near;
    const ScanTex t = scan_tex(s);
    const int a = ((uintptr_t)s->dst & 3) ? 1 : 0;
    uint16_t* dst = s->dst - a;
    fixed* zd = s->zdst - a;
    const int pairs = (s->len + a) >> 1;
    uint32_t u = (uint32_t)s->u, v = (uint32_t)s->v, z = (uint32_t)s->z;
    const uint32_t du = (uint32_t)s->du * 2, dv = (uint32_t)s->dv * 2, dz = (uint32_t)s->dz * 2;
    for (int p = 0; p < pairs; p++, dst += 2, zd += 2, u += du, v += dv, z += dz) {
        if ((fixed)z <= zd[0] && (fixed)z > near) {
            unsigned texel = scan_texel(t, u, v);
            if (!keyed || texel != TEX_KEY) {
                uint32_t two = texel | texel << 16;
                memcpy(dst, &two, sizeof two); /* one aligned 32-bit store */
                zd[0] = (fixed)z;
                zd[1] = (fixed)z;
            }
        }
    }
}

void draw_scanline_dbl(Span* s)
{
    scan_dbl(s, 1);
}

void draw_scanline_dbl_noTransp(Span* s)
{
    scan_dbl(s, 0);
}

/* ---- Rasteriser: triangle routines ---------------------------------------------- */

/* The texture fields of a span, from curtex (power-of-two sides). */
static void tri_spanTexture(Span* sp)
{
    sp->width = curtex->width;
    sp->height = curtex->height;
    sp->umask = curtex->width - 1;
    sp->vmask = curtex->height - 1;
    sp->vshift = curtex->widthLog2;
    sp->texels = curtex->pixels;
}

/* Sorts a, b, c top to bottom by sy with three compare-exchanges, each
 * swapping when the later vertex is not strictly lower; the edges follow
 * their end points (ab, ac, bc may be null for the uncached routine). */
static void tri_sort(const Vertex3D** a, const Vertex3D** b, const Vertex3D** c, Edge3D** ab, Edge3D** ac,
                     Edge3D** bc)
{
    const Vertex3D* tv;
    Edge3D* te;
    if ((*c)->sy <= (*b)->sy) {
        tv = *b, *b = *c, *c = tv;
        te = *ab, *ab = *ac, *ac = te;
    }
    if ((*b)->sy <= (*a)->sy) {
        tv = *a, *a = *b, *b = tv;
        te = *ac, *ac = *bc, *bc = te;
    }
    if ((*c)->sy <= (*b)->sy) {
        tv = *b, *b = *c, *c = tv;
        te = *ab, *ab = *ac, *ac = te;
    }
}

void calc_edge(const Vertex3D* top, const Vertex3D* bottom, Edge3D* e)
{
    if (e->ready)
        return;
    const int w = curtex->width, h = curtex->height;
    const fixed height = fp_sub(bottom->sy, top->sy);
    e->ready = 1;
    e->flat = height < FP_ONE;
    e->top = top;
    e->bottom = bottom;
    e->u = fp_muli(top->u, w) >> 7; /* 128.0 is the whole texture */
    e->v = fp_muli(top->v, h) >> 7;
    e->x = top->sx;
    e->z = top->sz;
    e->y = top->sy;
    if (e->flat) {
        /* never stepped: the edge covers at most two rows at its start */
        e->dx = e->dz = e->du = e->dv = 0;
        return;
    }
    const fixed k = fp_recip(height); /* height >= 1.0 here */
    e->du = fp_mul(fp_sub(fp_muli(bottom->u, w) >> 7, e->u), k);
    e->dv = fp_mul(fp_sub(fp_muli(bottom->v, h) >> 7, e->v), k);
    e->dx = fp_mul(fp_sub(bottom->sx, top->sx), k);
    e->dz = fp_mul(fp_sub(bottom->sz, top->sz), k);
    if (e->y < 0) {
        /* starts above the screen: advance to row 0 */
        const fixed t = fp_sub(0, e->y);
        e->x = fp_add(e->x, fp_mul(e->dx, t));
        e->z = fp_add(e->z, fp_mul(e->dz, t));
        e->u = fp_add(e->u, fp_mul(e->du, t));
        e->v = fp_add(e->v, fp_mul(e->dv, t));
        e->y = 0;
    }
}

/* calc_edge(top, bottom, e) when both ends lie on the same sy (the edge's
 * top then follows the caller's order), else nothing. */
static inline void tri_edgeIfLevel(const Vertex3D* top, const Vertex3D* bottom, Edge3D* e)
{
    if (top->sy == bottom->sy)
        calc_edge(top, bottom, e);
}

/* An edge running down the rows of the cached routine: x, u, v, z on the
 * current row and their steps a row. The right edge of a span needs x
 * alone. */
struct TriEdge {
    fixed x, u, v, z;
    fixed dx, du, dv, dz;
};

static inline TriEdge tri_edge(const Edge3D* e)
{
    TriEdge t = {e->x, e->u, e->v, e->z, e->dx, e->du, e->dv, e->dz};
    return t;
}

/* The span of one row between the left edge l and the right edge's x, rx,
 * handed to sink(row, xl, len, u, v, z) when it is not empty. Columns are
 * clamped to the screen here: a span wholly left or right of it is empty,
 * one reaching past either side is cut to 0..319, its start values advanced
 * by the pixels cut on the left. */
template <class Sink>
static inline void tri_span(int row, const TriEdge& l, fixed rx, fixed du, fixed dv, fixed dz, Sink& sink)
{
    int xl = fp_iconv(l.x);
    int xr = fp_iconv(rx);
    if (xr > SCR_W)
        xr = SCR_W;
    fixed u = l.u, v = l.v, z = l.z;
    if (xl < 0) {
        if (xr <= 0)
            return;
        const int t = -xl;
        u = fp_add(u, fp_muli(du, t));
        v = fp_add(v, fp_muli(dv, t));
        z = fp_add(z, fp_muli(dz, t));
        xl = 0;
    }
    const int len = xr - xl;
    if (len > 0)
        sink(row, xl, len, u, v, z);
}

/* Rows row .. last, each drawn, then both edges stepped. */
template <class Sink>
static inline void tri_run(int row, int last, TriEdge& l, fixed& rx, fixed rdx, fixed du, fixed dv, fixed dz,
                           Sink& sink)
{
    for (; row <= last; row++) {
        tri_span(row, l, rx, du, dv, dz, sink);
        l.x = fp_add(l.x, l.dx);
        l.u = fp_add(l.u, l.du);
        l.v = fp_add(l.v, l.dv);
        l.z = fp_add(l.z, l.dz);
        rx = fp_add(rx, rdx);
    }
}

/* The rows ystart..ylast of the cached routine (clamped to the screen by
 * the caller), with the long edge pr on the left when longLeft. The short
 * edge starts on pq (on qr when the middle vertex's row is the first) and
 * restarts on qr after row ymid; the first two rows of each run share the
 * start values. So: row ystart at the start values; rows ystart + 1 ..
 * ymid at the same start values, both edges stepping after each row; rows
 * ymid + 1 .. ylast with the short edge from qr's start values and the long
 * edge running on. run(row, last, l, rx, rdx) draws rows row .. last (none
 * when row > last) as tri_run does, stepping l and rx. */
template <class Runner>
static inline void tri_rows(const Edge3D* pr, const Edge3D* pq, const Edge3D* qr, bool longLeft, int ystart,
                            int ymid, int ylast, Runner& run)
{
    const Edge3D* s0 = ystart < ymid ? pq : qr;
    const Edge3D* re = longLeft ? s0 : pr;
    TriEdge l = tri_edge(longLeft ? pr : s0);
    fixed rx = re->x, rdx = re->dx;
    TriEdge l1 = l;
    fixed rx1 = rx;
    run(ystart, ystart, l1, rx1, rdx); /* stepped copies: the next row starts at the same values */
    const int last = ymid < ylast ? ymid : ylast;
    run(ystart + 1, last, l, rx, rdx);
    if (last == ylast)
        return;
    if (longLeft) {
        rx = qr->x;
        rdx = qr->dx;
    } else {
        l = tri_edge(qr);
    }
    run(ymid + 1, ylast, l, rx, rdx);
}

/* The spans of the cached routine for the default scanline routine without
 * a shader and textures up to 2048 texels wide: the keyed loop, its span
 * passed in registers (the same work as draw_scanline on the span). */
struct TriFastSink {
    ScanFast f;
    uint32_t du, dv, dz;
    fixed near;
    void operator()(int row, int xl, int len, fixed u, fixed v, fixed z) const
    {
        const int at = SCR_W * row + xl;
        scan_keyed(f, (uint32_t)u, (uint32_t)v, (uint32_t)z, du, dv, dz, rTarget + at, zbuf + at, len, near);
    }
};

/* The spans of the cached routine through scanLine. */
struct TriSpanSink {
    Span* sp;
    void operator()(int row, int xl, int len, fixed u, fixed v, fixed z) const
    {
        sp->len = len;
        sp->u = u;
        sp->v = v;
        sp->z = z;
        sp->dst = rTarget + SCR_W * row + xl;
        sp->zdst = zbuf + SCR_W * row + xl;
        scanLine(sp);
    }
};

/* Runs of rows span by span through a sink (tri_rows' runner). */
template <class Sink>
struct TriSinkRunner {
    Sink sink;
    fixed du, dv, dz;
    void operator()(int row, int last, TriEdge& l, fixed& rx, fixed rdx)
    {
        tri_run(row, last, l, rx, rdx, du, dv, dz, sink);
    }
};

/* ---- The rows of a triangle on a 256-wide texture (TriRun) ---------------- */

/* The texel of U (u << 12) and v on a texture 256 texels wide. */
static inline unsigned tri_runTexel(const TriRun* r, uint32_t U, uint32_t v)
{
    return *(const uint16_t*)((const char*)r->texels + ((U >> 24) << 1) + (((int32_t)v >> 3) & r->rowMask));
}

/* The pixels first .. first + len - 1 of a span of r, from U, v, z. */
static inline void tri_runSpan(const TriRun* r, int first, int len, uint32_t U, uint32_t v, uint32_t z)
{
    for (int i = first, end = first + len; i < end; i++, U += r->dU, v += r->dv, z += r->dz) {
        if ((fixed)z <= r->zb[i] && (fixed)z > r->near) {
            const unsigned texel = tri_runTexel(r, U, v);
            if (texel != r->key) {
                r->target[i] = (uint16_t)texel;
                r->zb[i] = (fixed)z;
            }
        }
    }
}

/* The span of the current row of r, then, unless held, both edges a row
 * on. */
static inline void tri_runRow(TriRun* r, bool held)
{
    const fixed lx = r->lx, rx = r->rx;
    uint32_t U = r->lU, v = r->lv, z = r->lz;
    if (!held) {
        r->lx = fp_add(lx, r->ldx);
        r->lU += r->ldU;
        r->lv += r->ldv;
        r->lz += r->ldz;
        r->rx = fp_add(rx, r->rdx);
    }
    int xl = fp_iconv(lx), xr = fp_iconv(rx);
    if (xr > SCR_W)
        xr = SCR_W;
    if (xl < 0) {
        if (xr <= 0)
            return;
        const uint32_t t = (uint32_t)-xl;
        U += r->dU * t;
        v += r->dv * t;
        z += r->dz * t;
        xl = 0;
    }
    if (xr > xl)
        tri_runSpan(r, r->at + xl, xr - xl, U, v, z);
}

void tri_runPortable(TriRun* r)
{
    tri_runRow(r, true);
    for (;;) {
        for (r->at += SCR_W; r->at != r->atEnd; r->at += SCR_W)
            tri_runRow(r, false);
        if (!r->lowerAtEnd)
            return;
        r->atEnd = r->lowerAtEnd;
        r->lowerAtEnd = 0;
        memcpy(r, r->lower, sizeof r->lower); /* lx .. rdx; at is atEnd already */
        r->at -= SCR_W;
    }
}

#if defined(__arm__) && !defined(__thumb__)
/* A span the ARM code cannot show to lie beyond near: the whole rule, from
 * the U, v, z in r->scratch. */
extern "C" void tri_runNearSpan(TriRun* r, int first, int len)
{
    tri_runSpan(r, first, len, r->scratch[0], r->scratch[1], r->scratch[2]);
}
#endif

/* The edges of one part of a TriRun (lx .. rdx but at): the left edge l
 * advanced ln rows (x, u, v, z each plus that many of its steps; u
 * shifted for the run), the right edge r's x advanced rn rows, their
 * steps. The edges are picked as pointers and read field by field, which
 * keeps the set-up in registers. */
static inline void tri_runEdges(uint32_t* w, const Edge3D* l, int ln, const Edge3D* r, int rn)
{
    w[0] = (uint32_t)fp_add(l->x, fp_muli(l->dx, ln));
    w[1] = (uint32_t)fp_add(l->u, fp_muli(l->du, ln)) << FP_SHIFT;
    w[2] = (uint32_t)fp_add(l->v, fp_muli(l->dv, ln));
    w[3] = (uint32_t)fp_add(l->z, fp_muli(l->dz, ln));
    w[4] = (uint32_t)fp_add(r->x, fp_muli(r->dx, rn));
    w[6] = (uint32_t)l->dx;
    w[7] = (uint32_t)l->du << FP_SHIFT;
    w[8] = (uint32_t)l->dv;
    w[9] = (uint32_t)l->dz;
    w[10] = (uint32_t)r->dx;
}

/* The rows of tri_rows as one TriRun: the rows to the middle vertex's (when
 * it is below the first) with the short edge pq, the held first row at
 * their start values; below it the short edge qr from its start and the
 * long edge pr from ymid - ystart rows on. When the middle vertex's row is
 * the first, the first part is the lower one (pr at its start). */
static void tri_runRows(TriRun* run, const Edge3D* pr, const Edge3D* pq, const Edge3D* qr, bool longLeft,
                        int ystart, int ymid, int ylast)
{
    const int s = ymid - ystart;
    /* the lower part: pr s rows on and qr from its start */
    const Edge3D* const ll = longLeft ? pr : qr;
    const Edge3D* const lr = longLeft ? qr : pr;
    const int lln = longLeft ? s : 0, lrn = longLeft ? 0 : s;
    if (ystart < ymid) {
        tri_runEdges((uint32_t*)run, longLeft ? pr : pq, 0, longLeft ? pq : pr, 0);
        run->atEnd = SCR_W * ((ymid < ylast ? ymid : ylast) + 1);
        run->lowerAtEnd = 0;
        if (ymid < ylast) { /* lower is read only then */
            run->lowerAtEnd = SCR_W * (ylast + 1);
            tri_runEdges(run->lower, ll, lln, lr, lrn);
            run->lower[5] = (uint32_t)run->atEnd; /* the lower part's first row */
        }
    } else {
        tri_runEdges((uint32_t*)run, ll, lln, lr, lrn);
        run->atEnd = SCR_W * (ylast + 1);
        run->lowerAtEnd = 0;
    }
    run->at = SCR_W * ystart;
    tri_runFast(run);
}

/* The rows of the cached routine span by span: through scanLine (another
 * scanline routine, a shader, or a texture wider than 2048), else the keyed
 * loop in registers (textures other than 256 wide, or steep depths). Out of
 * line, so that the TriRun set-up keeps its values in registers. */
static __attribute__((noinline)) void tri_spanRows(const Edge3D* pr, const Edge3D* pq, const Edge3D* qr,
                                                   bool longLeft, int ystart, int ymid, int ylast, fixed du, fixed dv,
                                                   fixed dz)
{
    Span sp;
    tri_spanTexture(&sp);
    sp.du = du;
    sp.dv = dv;
    sp.dz = dz;
    if (scanLine != draw_scanline || pixShader || sp.vshift > 11) {
        TriSinkRunner<TriSpanSink> run = {{&sp}, du, dv, dz};
        tri_rows(pr, pq, qr, longLeft, ystart, ymid, ylast, run);
        return;
    }
    const TriFastSink fast = {scan_fast(scan_tex(&sp)), (uint32_t)du, (uint32_t)dv, (uint32_t)dz, cam.near};
    TriSinkRunner<TriFastSink> run = {fast, du, dv, dz};
    tri_rows(pr, pq, qr, longLeft, ystart, ymid, ylast, run);
}

/* A TriRun's texture fields for curtex: its texels and row mask, keyFree,
 * texWide's words on a keyFree texture, and what the ARM loop reads. Made
 * again only when curtex, its pixels, height or keyFree, or the slots'
 * words (texWideEpoch) change. */
struct TriTexFields {
    const Pic16b* of;
    const uint16_t* pixels;
    unsigned epoch;
    int32_t height, keyFree, rowMask, loopMask;
    const uint32_t* wide;
    const void* loopTexels;
};

static const TriTexFields& tri_texFields()
{
    static TriTexFields f = {};
    if (curtex != f.of || curtex->pixels != f.pixels || texWideEpoch != f.epoch || curtex->keyFree != f.keyFree ||
        curtex->height != f.height) {
        f.of = curtex;
        f.pixels = curtex->pixels;
        f.height = curtex->height;
        f.epoch = texWideEpoch;
        f.keyFree = curtex->keyFree;
        f.rowMask = (curtex->height - 1) << 9;
        f.wide = f.keyFree ? texWide(curtex) : nullptr;
        f.loopTexels = f.wide ? (const void*)f.wide : (const void*)f.pixels;
        f.loopMask = f.wide ? (curtex->height - 1) << 8 : f.rowMask;
    }
    return f;
}

void drawtritex16b_FixPoint_split(const Face3D* face, Object3D* obj)
{
    const Vertex3D* base = obj->verts + (size_t)obj->frame * obj->vertCount;
    const Vertex3D* p = base + face->ia;
    const Vertex3D* q = base + face->ib;
    const Vertex3D* r = base + face->ic;
    Edge3D* pq = &obj->edges[face->eab];
    Edge3D* pr = &obj->edges[face->eac];
    Edge3D* qr = &obj->edges[face->ebc];
    tri_sort(&p, &q, &r, &pq, &pr, &qr);

    /* Rows are clamped to the screen here: 0 <= ystart, ylast <= 239. */
    int ystart = fp_iconv(p->sy);
    if (ystart < 0)
        ystart = 0;
    int ylast = fp_iconv(r->sy);
    if (ylast > SCR_H - 1)
        ylast = SCR_H - 1;
    if (ylast - ystart <= 0) {
        /* within one scanline, or off the screen: nothing drawn. An edge
         * whose ends lie on different sy has one top, so whichever
         * triangle makes it later makes the same values; one whose ends
         * share sy takes its top from this triangle's order, so it is made
         * here as when every triangle made its edges. */
        tri_edgeIfLevel(p, q, pq);
        tri_edgeIfLevel(p, r, pr);
        tri_edgeIfLevel(q, r, qr);
        return;
    }
    int ymid = fp_iconv(q->sy);
    if (ymid < 0)
        ymid = 0;
    /* pq is read only when the middle vertex's row is below the first */
    if (ystart < ymid)
        calc_edge(p, q, pq);
    else
        tri_edgeIfLevel(p, q, pq);
    calc_edge(p, r, pr);
    calc_edge(q, r, qr);
    if (pr->flat)
        return;

    /* Horizontal gradients, measured on the middle vertex's row. */
    const int s = ymid - ystart;
    const fixed xL = fp_add(pr->x, fp_muli(pr->dx, s));
    const fixed uL = fp_add(pr->u, fp_muli(pr->du, s));
    const fixed vL = fp_add(pr->v, fp_muli(pr->dv, s));
    const fixed zL = fp_add(pr->z, fp_muli(pr->dz, s));
    const fixed w = fp_sub(qr->x, xL);
    if (w == 0)
        return;
    const FpDivisor kw = fp_divisor(w); /* one division for the three */
    const fixed du = fp_divBy(fp_sub(qr->u, uL), kw);
    const fixed dv = fp_divBy(fp_sub(qr->v, vL), kw);
    const fixed dz = fp_divBy(fp_sub(qr->z, zL), kw);

    if (scanLine != draw_scanline || pixShader || curtex->width != 256 || dz < -(1 << 21) || dz > (1 << 21)) {
        tri_spanRows(pr, pq, qr, w > 0, ystart, ymid, ylast, du, dv, dz);
        return;
    }
    TriRun run;
    run.dU = (uint32_t)du << FP_SHIFT;
    run.dv = (uint32_t)dv;
    run.dz = (uint32_t)dz;
    const TriTexFields& tf = tri_texFields();
    run.texels = tf.pixels;
    run.zb = zbuf;
    run.target = rTarget;
    run.rowMask = tf.rowMask;
    run.key = TEX_KEY;
    run.keyFree = tf.keyFree;
    run.wide = tf.wide;
    run.loopTexels = tf.loopTexels;
    run.loopMask = tf.loopMask;
    run.near = cam.near;
    tri_runRows(&run, pr, pq, qr, w > 0, ystart, ymid, ylast);
}

void drawtritex16b_FixPoint_split2(const Face3D* face, Object3D* obj)
{
    const Vertex3D* base = obj->verts + (size_t)obj->frame * obj->vertCount;
    const Vertex3D* p = base + face->ia;
    const Vertex3D* q = base + face->ib;
    const Vertex3D* r = base + face->ic;
    Edge3D *e0 = nullptr, *e1 = nullptr, *e2 = nullptr;
    tri_sort(&p, &q, &r, &e0, &e1, &e2);

    /* Texture coordinates scaled by size / 128, the size divided first. */
    const int su = curtex->width >> 7, sv = curtex->height >> 7;
    const fixed pu = fp_muli(p->u, su), pv = fp_muli(p->v, sv);
    const fixed qu = fp_muli(q->u, su), qv = fp_muli(q->v, sv);
    const fixed ru = fp_muli(r->u, su), rv = fp_muli(r->v, sv);

    /* Rows are clamped to the screen here: ystart >= 0 and the last row,
     * ystart + rows - 1, is at most 239. */
    const int ytop = fp_iconv(p->sy), ymid = fp_iconv(q->sy), ybot = fp_iconv(r->sy);
    const int ystart = ytop < 0 ? 0 : ytop;
    const int rows = (ybot + 1 < SCR_H ? ybot + 1 : SCR_H) - ystart;
    if (rows <= 2)
        return;

    const fixed hpr = fp_sub(r->sy, p->sy); /* >= 2.0 here */
    const fixed ldx = fp_div(fp_sub(r->sx, p->sx), hpr);
    const fixed ldz = fp_div(fp_sub(r->sz, p->sz), hpr);
    const fixed ldu = fp_div(fp_sub(ru, pu), hpr);
    const fixed ldv = fp_div(fp_sub(rv, pv), hpr);
    const fixed hpq = fp_sub(q->sy, p->sy), hqr = fp_sub(r->sy, q->sy);
    const fixed dxpq = hpq ? fp_div(fp_sub(q->sx, p->sx), hpq) : 0;
    const fixed dxqr = hqr ? fp_div(fp_sub(r->sx, q->sx), hqr) : 0;

    /* Start on the first row's own y. */
    const fixed y0 = fp_convi(ystart);
    const fixed o = fp_sub(y0, p->sy);
    fixed lx = fp_add(p->sx, fp_mul(o, ldx));
    fixed lz = fp_add(p->sz, fp_mul(o, ldz));
    fixed lu = fp_add(pu, fp_mul(o, ldu));
    fixed lv = fp_add(pv, fp_mul(o, ldv));
    int onQR = q->sy < 0;
    fixed sx = onQR ? fp_add(q->sx, fp_mul(fp_sub(y0, q->sy), dxqr)) : fp_add(p->sx, fp_mul(o, dxpq));

    /* Horizontal gradients at the middle vertex. */
    const fixed m = fp_sub(q->sy, y0);
    const fixed mx = fp_add(lx, fp_mul(ldx, m));
    const fixed mz = fp_add(lz, fp_mul(ldz, m));
    const fixed mu = fp_add(lu, fp_mul(ldu, m));
    const fixed mv = fp_add(lv, fp_mul(ldv, m));
    fixed w = fp_sub(q->sx, mx);
    if (w == 0)
        w = FP_ONE;
    const fixed du = fp_div(fp_sub(qu, mu), w);
    const fixed dv = fp_div(fp_sub(qv, mv), w);
    const fixed dz = fp_div(fp_sub(q->sz, mz), w);

    Span sp;
    tri_spanTexture(&sp);
    sp.du = du;
    sp.dv = dv;
    sp.dz = dz;
    const int yend = ystart + rows;
    for (int row = ystart; row < yend; row++) {
        /* Columns are clamped here: xl >= 0, xr <= 320, so a span with
         * len > 0 lies in 0..319; a span wholly off either side (xr < 0 or
         * xl >= 320) has len <= 0 and is skipped. */
        int xl = fp_iconv(w > 0 ? lx : sx);
        int xr = fp_iconv(w > 0 ? sx : lx);
        if (xl < 0)
            xl = 0;
        if (xr > SCR_W)
            xr = SCR_W;
        const int len = xr - xl;
        if (len > 0) {
            const int k = xl - fp_iconv(lx);
            sp.len = len;
            sp.u = fp_add(lu, fp_muli(du, k));
            sp.v = fp_add(lv, fp_muli(dv, k));
            sp.z = fp_add(lz, fp_muli(dz, k));
            sp.dst = rTarget + SCR_W * row + xl;
            sp.zdst = zbuf + SCR_W * row + xl;
            scanLine(&sp);
        }
        lx = row + 1 == ybot ? r->sx : fp_add(lx, ldx);
        lz = fp_add(lz, ldz);
        lu = fp_add(lu, ldu);
        lv = fp_add(lv, ldv);
        const int k = row + 1 - ymid;
        if (k < 0) {
            sx = fp_add(sx, dxpq);
        } else if (k == 0) {
            sx = q->sx;
        } else if (!onQR) {
            sx = fp_add(q->sx, fp_muli(dxqr, k - 1));
            onQR = 1;
        } else {
            sx = fp_add(sx, dxqr);
        }
    }
}
