/*
 * kv_effects: filters, generators and ribbons (see kv_effects.h).
 */
#include "effects2d/kv_effects.h"

#include <cstdlib>
#include <cstring>

#include "math/kv_random.h"
#include "video/kv_texture.h"

/* ---- Globals -------------------------------------------------------------
 * Lifetime: whole run. */
int gTime = 0; /* effect clock, milliseconds */

/* Lifetime: one call (contents are not needed between calls). */
static uint16_t fx_line16[SCR_W]; /* mod_blur line buffer, RGB565, one row or column */
static uint8_t fx_line8[SCR_W];   /* mod_blur8b line buffer, bytes, one row or column */

/* Lifetime: first use .. fx_kill. Contents persist between calls: mod_wind
 * leaves the rows it did not reach as they were. */
static uint16_t* fx_waveBuf = nullptr; /* mod_wave scratch, 320x240 RGB565, or null */
static uint16_t* fx_windBuf = nullptr; /* mod_wind scratch, 320x240 RGB565, or null */

/* Largest half-window worth computing: 512 covers every row and column, so a
 * larger shift gives the same windows (and 2^(shift-1) would overflow). */
static const int FX_MAX_HALF = 512;

/* The tunnel's fixed-point constants, as raw 20.12 values. */
static const fixed TUNNEL_DEPTH = 65536000; /* 16000.0: depth = 16000 / distance */
static const fixed TUNNEL_MIN_R = 100;      /* distance used for the centre pixel (0.024) */

enum {
    RIBBON_SAMPLES = 409, /* brush stamps along the curve */
    BRUSH_W = 64,         /* brush texture width (and height) in texels */
    RAMP_LEN = 256        /* colour ramp entries, one per intensity */
};

/* ---- Clock and scratch pictures ------------------------------------------ */

void fx_updateTime(int time)
{
    gTime = time;
}

/* The scratch picture behind *buf, allocated zero-filled on first use;
 * nullptr when memory runs out (the filter then does nothing). */
static uint16_t* fx_scratch(uint16_t** buf)
{
    if (!*buf)
        *buf = (uint16_t*)calloc(SCR_PIXELS, sizeof(uint16_t));
    return *buf;
}

void fx_kill(void)
{
    free(fx_waveBuf);
    free(fx_windBuf);
    fx_waveBuf = nullptr;
    fx_windBuf = nullptr;
}

/* ---- Rectangles ----------------------------------------------------------- */

/* Clamps a rectangle to the surface: x0, y0 at least 0, x1 at most 320, y1 at
 * most 240. Returns 0 when it is empty. */
static int fx_clip(int16_t x0, int16_t y0, int16_t x1, int16_t y1, int* cx0, int* cy0, int* cx1, int* cy1)
{
    *cx0 = x0 < 0 ? 0 : x0;
    *cy0 = y0 < 0 ? 0 : y0;
    *cx1 = x1 > SCR_W ? (int)SCR_W : x1;
    *cy1 = y1 > SCR_H ? (int)SCR_H : y1;
    return *cx0 < *cx1 && *cy0 < *cy1;
}

/* ---- Blurs ---------------------------------------------------------------- */

/* Half the window, 2^(shift-1), for shift >= 1. */
static int fx_half(int shift)
{
    return shift > 10 ? FX_MAX_HALF : 1 << (shift - 1);
}

/* Blurs n pixels spaced `stride` apart in place: element i averages the
 * elements max(i-c, 0) .. min(i+c, n)-1, field by field. */
static void blur_line16(uint16_t* p, int stride, int n, int c)
{
    for (int i = 0; i < n; i++) {
        int lo = i - c < 0 ? 0 : i - c;
        int hi = i + c > n ? n : i + c;
        unsigned r = 0, g = 0, b = 0;
        for (int k = lo; k < hi; k++) {
            unsigned v = p[k * stride];
            r += v & 0xF800;
            g += v & 0x07E0;
            b += v & 0x001F;
        }
        unsigned cnt = (unsigned)(hi - lo);
        fx_line16[i] = (uint16_t)(((r / cnt) & 0xF800) | ((g / cnt) & 0x07E0) | ((b / cnt) & 0x001F));
    }
    for (int i = 0; i < n; i++)
        p[i * stride] = fx_line16[i];
}

static void blur_line8(uint8_t* p, int stride, int n, int c)
{
    for (int i = 0; i < n; i++) {
        int lo = i - c < 0 ? 0 : i - c;
        int hi = i + c > n ? n : i + c;
        unsigned sum = 0;
        for (int k = lo; k < hi; k++)
            sum += p[k * stride];
        fx_line8[i] = (uint8_t)(sum / (unsigned)(hi - lo));
    }
    for (int i = 0; i < n; i++)
        p[i * stride] = fx_line8[i];
}

void mod_blur(uint16_t* surface, int16_t x0, int16_t y0, int16_t x1, int16_t y1, int8_t shift)
{
    int a, b, c, d;
    if (!surface || shift <= 0 || !fx_clip(x0, y0, x1, y1, &a, &b, &c, &d))
        return;
    int half = fx_half(shift);
    for (int y = b; y < d; y++)
        blur_line16(surface + y * SCR_W + a, 1, c - a, half);
    for (int x = a; x < c; x++)
        blur_line16(surface + b * SCR_W + x, SCR_W, d - b, half);
}

void mod_blur8b(uint8_t* plane, int16_t x0, int16_t y0, int16_t x1, int16_t y1, int8_t shift)
{
    int a, b, c, d;
    if (!plane || shift <= 0 || !fx_clip(x0, y0, x1, y1, &a, &b, &c, &d))
        return;
    int half = fx_half(shift);
    for (int y = b; y < d; y++)
        blur_line8(plane + y * SCR_W + a, 1, c - a, half);
    for (int x = a; x < c; x++)
        blur_line8(plane + b * SCR_W + x, SCR_W, d - b, half);
}

/* ---- Noise, levels, inversion --------------------------------------------- */

static int fx_clampi(int v, int lo, int hi)
{
    return v < lo ? lo : v > hi ? hi : v;
}

void mod_noize(uint16_t* surface, int16_t x0, int16_t y0, int16_t x1, int16_t y1, uint8_t amount)
{
    int a, b, c, d;
    if (!surface || amount == 0 || !fx_clip(x0, y0, x1, y1, &a, &b, &c, &d))
        return;
    for (int y = b; y < d; y++) {
        uint16_t* p = surface + y * SCR_W;
        for (int x = a; x < c; x++) {
            int n = kv_rand() % amount - amount / 2; /* 0..255 scale */
            int r = fx_clampi((p[x] >> 11) + n / 8, 0, 31);
            int g = fx_clampi(((p[x] >> 5) & 63) + n / 4, 0, 63);
            int bl = fx_clampi((p[x] & 31) + n / 8, 0, 31);
            p[x] = (uint16_t)((r << 11) | (g << 5) | bl);
        }
    }
}

/* One field on the 0..255 scale stretched from [lo, hi] to 0..255. */
static int level_value(int v, int lo, int hi, float factor)
{
    if (hi == lo)
        return v > lo ? 255 : 0; /* the limit of the stretch: a threshold */
    return fx_clampi(fp_ftoi((float)(v - lo) * factor), 0, 255);
}

void mod_level(uint16_t* surface, int16_t x0, int16_t y0, int16_t x1, int16_t y1, int16_t lo, int16_t hi)
{
    int a, b, c, d;
    if (!surface || !fx_clip(x0, y0, x1, y1, &a, &b, &c, &d))
        return;
    float factor = hi == lo ? 0.0f : 256.0f / (float)(hi - lo);
    for (int y = b; y < d; y++) {
        uint16_t* p = surface + y * SCR_W;
        for (int x = a; x < c; x++) {
            int r5 = p[x] >> 11, g6 = (p[x] >> 5) & 63, b5 = p[x] & 31;
            /* widen to 8 bits by repeating the top bits: 31 -> 255, 63 -> 255 */
            int r = level_value((r5 << 3) | (r5 >> 2), lo, hi, factor);
            int g = level_value((g6 << 2) | (g6 >> 4), lo, hi, factor);
            int bl = level_value((b5 << 3) | (b5 >> 2), lo, hi, factor);
            p[x] = (uint16_t)(((r >> 3) << 11) | ((g >> 2) << 5) | (bl >> 3));
        }
    }
}

void mod_invert(uint16_t* surface, int16_t x0, int16_t y0, int16_t x1, int16_t y1)
{
    int a, b, c, d;
    if (!surface || !fx_clip(x0, y0, x1, y1, &a, &b, &c, &d))
        return;
    for (int y = b; y < d; y++)
        for (int x = a; x < c; x++)
            surface[y * SCR_W + x] = (uint16_t)~surface[y * SCR_W + x];
}

/* ---- Wave and wind --------------------------------------------------------- */

void mod_wave(uint16_t* surface, float fx, float fy, float ax, float ay, float speed)
{
    uint16_t* out = fx_scratch(&fx_waveBuf);
    if (!surface || !out)
        return;
    float t = (float)gTime * speed;
    /* sx depends on x alone and sy on y alone: one table of columns */
    int sxTab[SCR_W];
    for (int x = 0; x < SCR_W; x++)
        sxTab[x] = fx_clampi(fp_ftoi(bsin(t + fx * (float)x) * ax + (float)x), 0, SCR_W - 1);
    for (int y = 0; y < SCR_H; y++) {
        int sy = fx_clampi(fp_ftoi(bcos(t + fy * (float)y) * ay + (float)y), 0, SCR_H - 1);
        const uint16_t* src = surface + sy * SCR_W;
        uint16_t* dst = out + y * SCR_W;
        for (int x = 0; x < SCR_W; x++)
            dst[x] = src[sxTab[x]];
    }
    memcpy(surface, out, SCR_BYTES);
}

void mod_wind(uint16_t* surface, float a, float b, int startChance, int stopChance)
{
    if (!surface || startChance < 1 || stopChance < 1)
        return;
    uint16_t* out = fx_scratch(&fx_windBuf);
    if (!out)
        return;
    /* 64-bit positions: a and b scale the gusts freely, and the source index
     * is only limited from above, so it must not overflow on the way down. */
    const long long last = SCR_PIXELS - 1;
    long long s = 0, g = 0;
    int o = 0; /* at most 320 per row: stays below 76800 */
    for (int row = 0; row < SCR_H; row++) {
        if (kv_rand() % stopChance == 0) {
            long long d = fp_ftoi((float)(kv_rand() % 16 - 7) * b);
            if (g != 0) {
                if ((g > 0 && d > g) || (g < 0 && d < g)) {
                    s -= g; /* the gust dies out, no further */
                    g = 0;
                } else {
                    g -= d;
                    s -= d;
                }
            }
        }
        if (kv_rand() % startChance == 0) {
            g = fp_ftoi((float)(kv_rand() % 16 - 7) * a);
            s += g;
        }
        if (s > last - 1)
            s = last;
        for (int k = 0; k < SCR_W; k++) {
            if (s >= 0)
                out[o++] = surface[s++];
            if (s > last - 1)
                s = last;
        }
    }
    memcpy(surface, out, SCR_BYTES);
}

void pixelAdd(uint16_t* pixel, uint16_t colour)
{
    if (colour == 0 || !pixel)
        return;
    *pixel = pic_addPixel(*pixel, colour);
}

/* ---- Generators ----------------------------------------------------------- */

/* The rotozoom start values: texture coordinates of screen pixel (0, 0). */
static void roto_start(float ca, float sa, int w, int h, float* u, float* v)
{
    *u = (float)w * 0.5f - (ca * 160.0f - sa * 120.0f);
    *v = (float)h * 0.5f - (sa * 160.0f + ca * 120.0f);
}

void gen_rotozoom(float angle, float zoom, const Pic16b* texture, uint16_t* surface)
{
    if (!texture || !texture->pixels || !surface || texture->width == 0 || texture->height == 0)
        return;
    int w = texture->width, h = texture->height;
    float ca = bcos(angle) * zoom;
    float sa = zoom * bsin(angle);
    float uRow, vRow;
    roto_start(ca, sa, w, h, &uRow, &vRow);
    for (int y = 0; y < SCR_H; y++) {
        float u = uRow, v = vRow;
        uint16_t* dst = surface + y * SCR_W;
        for (int x = 0; x < SCR_W; x++) {
            /* the row follows v and wraps with the height, the column u with
             * the width, so every index lies inside the texture */
            dst[x] = texture->pixels[(fp_ftoi(v) & (h - 1)) * w + (fp_ftoi(u) & (w - 1))];
            u += ca;
            v += sa;
        }
        uRow -= sa;
        vRow += ca;
    }
}

void gen_rotozoomAlpha(float angle, float zoom, float offset, const Pic16b* texture, uint8_t* dest)
{
    if (!texture || !texture->pixels || !dest || texture->width == 0 || texture->height == 0)
        return;
    int w = texture->width, h = texture->height;
    const uint16_t* texels = texture->pixels;
    float ca = bcos(angle) * zoom;
    float sa = zoom * bsin(angle);
    float uRow, vRow;
    roto_start(ca, sa, w, h, &uRow, &vRow);
    uRow = offset + uRow;
    vRow = offset + vRow;
    for (int y = 0; y < SCR_H; y++) {
        float u = uRow, v = vRow;
        uint8_t* dst = dest + y * SCR_W * 3;
        for (int x = 0; x < SCR_W; x++, dst += 3) {
            /* rows masked by the height, columns by the width, so a
             * non-square texture is read inside its own pixels */
            unsigned t = texels[(fp_ftoi(v) & (h - 1)) * w + (fp_ftoi(u) & (w - 1))];
            u += ca;
            v += sa;
            if (t == PIC_KEY)
                continue; /* alpha 0: the destination stays */
            /* RGB565 widened to 8 bits a channel by repeating the top bits */
            unsigned r = t >> 11, g = (t >> 5) & 63, b = t & 31;
            const unsigned c[3] = {r << 3 | r >> 2, g << 2 | g >> 4, b << 3 | b >> 2};
            for (int k = 0; k < 3; k++)
                dst[k] = (uint8_t)((c[k] * 255u) >> 8); /* (old * 0 + colour * 255) >> 8 */
        }
        uRow -= sa;
        vRow += ca;
    }
}

void gen_tunnel(float cx, float cy, const Pic16b* texture, uint16_t* surface)
{
    if (!texture || !texture->pixels || !surface || texture->width == 0 || texture->height == 0)
        return;
    int w = texture->width, h = texture->height;
    const fixed twoPi = fp_convf(6.2832f);
    const fixed t1 = fp_convf((float)gTime * 0.1f);    /* travel along the tunnel */
    const fixed t2 = fp_convf((float)gTime * 0.0001f); /* turn round it */
    const fixed s = fp_convf((float)w * 0.008f);
    const fixed eps = fp_convf(0.1f);
    const int hv = h * 6;
    for (int y = 0; y < SCR_H; y++) {
        fixed dy = fp_convf((float)y - cy);
        fixed dy2 = fp_mul(dy, dy);
        fixed dyq = fp_add(dy, dy == 0 ? eps : 0); /* never 0: the quotient's divisor */
        uint16_t* dst = surface + y * SCR_W;
        for (int x = 0; x < SCR_W; x++) {
            fixed dx = fp_convf((float)x - cx);
            /* sum of squares >> 8 is 16 * d^2, its root 4 * d: << 10 is d in 20.12.
             * A wrapped (negative) sum far off screen reads as distance 0. */
            fixed r = (fixed)((uint32_t)isqrt(fp_add(dy2, fp_mul(dx, dx)) >> 8) << 10);
            if (r == 0)
                r = TUNNEL_MIN_R;
            fixed depth = fp_div(TUNNEL_DEPTH, r);
            fixed ang = fp_div(fp_atan(fp_div(dx, dyq)), twoPi);
            int u = fp_iconv(fp_mul(fp_add(t1, depth), s));
            int v = fp_iconv(fp_muli(fp_add(t2, ang), hv));
            dst[x] = texture->pixels[(v & (h - 1)) * w + (u & (w - 1))];
        }
    }
}

/* One 32-bit word of a source pixel, through its low 16 bits as signed. */
static int tunnel_word(const uint8_t* p)
{
    uint32_t v;
    memcpy(&v, p, 4);
    return (int16_t)(uint16_t)v;
}

void gen_tunnelAlpha(float cx, float cy, const Pic16b* source, int32_t* dest)
{
    if (!source || !source->pixels || !dest || source->width == 0 || source->height == 0)
        return;
    int w = source->width, h = source->height;
    const uint8_t* src = (const uint8_t*)source->pixels; /* 16 bytes a pixel */
    float cyl = cy; /* raised by 0.1 once the centre row is met */
    for (int y = 0; y < SCR_H; y++) {
        float fy = (float)y - cyl;
        for (int x = 0; x < SCR_W; x++, src += 16) {
            float fx = (float)x - cx;
            float dist = bsqrt(fy * fy + fx * fx);
            float depth = dist == 0.0f ? 0.0f : 200.0f / dist * 80.0f;
            if ((float)y - cyl == 0.0f)
                cyl = cyl + 0.1f;
            float angle = batan(fx / ((float)y - cyl));
            int u = fp_ftoi((depth - (float)gTime * 0.1f) * (float)w * 0.004f);
            int v = fp_ftoi((angle / 6.2832f - (float)gTime * 0.0001f) * (float)h * 4.0f);
            int32_t* t = dest + 4 * ((v & (h - 1)) * w + (u & (w - 1)));
            long long al = tunnel_word(src + 12);
            for (int k = 0; k < 3; k++) {
                long long mix = ((long long)t[k] * (255 - al) + tunnel_word(src + 4 * k) * al) >> 8;
                t[k] = (int32_t)mix;
            }
        }
    }
}

void gen_fill(uint16_t* surface, int16_t x0, int16_t y0, int16_t x1, int16_t y1, uint16_t colour)
{
    int a, b, c, d;
    if (!surface || !fx_clip(x0, y0, x1, y1, &a, &b, &c, &d))
        return;
    for (int y = b; y < d; y++)
        for (int x = a; x < c; x++)
            surface[y * SCR_W + x] = colour;
}

/* ---- Ribbons -------------------------------------------------------------- */

/* 32-bit wrapping sum and difference. */
static fixed w_add(fixed a, fixed b)
{
    return (fixed)((uint32_t)a + (uint32_t)b);
}

static fixed w_sub(fixed a, fixed b)
{
    return (fixed)((uint32_t)a - (uint32_t)b);
}

/* 64-bit wrapping sum and product. */
static int64_t w_add64(int64_t a, int64_t b)
{
    return (int64_t)((uint64_t)a + (uint64_t)b);
}

static int64_t w_mul64(int64_t a, int64_t b)
{
    return (int64_t)((uint64_t)a * (uint64_t)b);
}

fixed calcRibbonLen(Ribbon* ribbon)
{
    if (!ribbon || !ribbon->points || ribbon->numPoints < 1)
        return 0;
    RibbonPoint* p = ribbon->points;
    p[0].totalLen = 0;
    for (int i = 0; i + 1 < ribbon->numPoints; i++) {
        fixed dx = w_sub(p[i].pos.x, p[i + 1].pos.x);
        fixed dy = w_sub(p[i].pos.y, p[i + 1].pos.y);
        fixed dz = w_sub(p[i].pos.z, p[i + 1].pos.z);
        p[i].segLen = fp_bsqrt(w_add(w_add(fp_bsqr(dx), fp_bsqr(dy)), fp_bsqr(dz)));
        p[0].totalLen = w_add(p[0].totalLen, p[i].segLen);
    }
    return p[0].totalLen;
}

fixed cerp(fixed p0, fixed p1, fixed p2, fixed p3, fixed t)
{
    fixed a0 = w_add(w_sub(w_sub(p3, p2), p0), p1);
    fixed a1 = w_sub(w_sub(p0, p1), a0);
    fixed a2 = w_sub(p2, p0);
    fixed t2 = fp_mul(t, t);
    /* The products are taken in 64 bits: the cubic term passes 2^31 once a0
     * reaches 128.0 (a straight stretch of 64 pixels between two points
     * already does), where 32-bit products would throw the point across the
     * screen. Below that the result is the same as with 32-bit products.
     * They wrap in 64 bits, which only a t far outside 0 .. 1.0 reaches. */
    int64_t cube = w_mul64(w_mul64(t >> 4, a0 >> 4), t2 >> 4) >> 8;
    int64_t sum = w_add64(w_add64(w_mul64(t2 >> 4, a1 >> 4), w_mul64(t >> 4, a2 >> 4)), cube) >> 8;
    return (fixed)(uint32_t)((uint64_t)w_add64(sum, p1 >> 4) << 4);
}

/* The proj values of a point as x, y, depth. */
static void ribbon_proj(const RibbonPoint* p, fixed c[3])
{
    c[0] = p->proj.x;
    c[1] = p->proj.y;
    c[2] = p->proj.z;
}

void cerpTotal(const Ribbon* ribbon, fixed t, fixed* x, fixed* y, fixed* depth)
{
    if (!ribbon || !ribbon->points || ribbon->numPoints < 1) {
        *x = *y = *depth = 0;
        return;
    }
    const RibbonPoint* p = ribbon->points;
    int n = ribbon->numPoints;
    if (n == 1) {
        *x = p[0].proj.x;
        *y = p[0].proj.y;
        *depth = p[0].proj.z;
        return;
    }
    if (t < 0)
        t = 0;
    if (t > FP_ONE)
        t = FP_ONE; /* the end of the curve */
    fixed b = fp_mul(t, p[0].totalLen);
    /* the first segment whose cumulative end reaches b; lengths that do not
     * add up to totalLen fall back to the end of the last segment */
    int s = n - 2;
    fixed u = FP_ONE;
    fixed cum = 0;
    for (int i = 0; i + 1 < n; i++) {
        cum = w_add(cum, p[i].segLen);
        if (cum >= b) {
            s = i;
            /* a segment of length 0 has only its start */
            u = p[i].segLen != 0 ? fp_div(w_sub(w_add(b, p[i].segLen), cum), p[i].segLen) : 0;
            break;
        }
    }
    fixed p0[3], p1[3], p2[3], p3[3], out[3];
    ribbon_proj(&p[s], p1);
    ribbon_proj(&p[s + 1], p2);
    if (s > 0)
        ribbon_proj(&p[s - 1], p0);
    if (s + 2 < n)
        ribbon_proj(&p[s + 2], p3);
    for (int k = 0; k < 3; k++) {
        /* missing outer neighbours continue the segment straight on */
        if (s == 0)
            p0[k] = w_sub(w_add(p1[k], p1[k]), p2[k]);
        if (s + 2 >= n)
            p3[k] = w_sub(w_add(p2[k], p2[k]), p1[k]);
        out[k] = cerp(p0[k], p1[k], p2[k], p3[k], u);
    }
    *x = out[0];
    *y = out[1];
    *depth = out[2];
}

/* Max-blends one brush stamp of side c centred on (x, y) into scr8b; step is
 * the brush step per pixel in 1/256 texel. Only screen columns 1..319 and
 * rows 1..239 are stamped. k * step < c * step <= 16384, so brush rows and
 * columns stay in 0..63. */
static void ribbon_stamp(const uint16_t* brush, long long x, long long y, long long c, long long step)
{
    long long left = x - c / 2, top = y - c / 2;
    long long k0 = left < 1 ? 1 - left : 0, k1 = SCR_W - left < c ? SCR_W - left : c;
    long long l0 = top < 1 ? 1 - top : 0, l1 = SCR_H - top < c ? SCR_H - top : c;
    for (long long l = l0; l < l1; l++) {
        const uint16_t* brow = brush + ((l * step) >> 8) * BRUSH_W;
        long long row = (top + l) * SCR_W + left; /* plane index of column k is row + k */
        for (long long k = k0; k < k1; k++) {
            uint8_t v = (uint8_t)((brow[(k * step) >> 8] & 0xFF) << 3); /* low byte * 8, wrapping */
            if (scr8b[row + k] < v)
                scr8b[row + k] = v;
        }
    }
}

void drawRibbon(const Ribbon* ribbon, int size)
{
    uint16_t* frame = scr_getBuf();
    if (!frame || !ribbon || ribbon->texSlot < 0 || ribbon->texSlot > TEX_SLOTS - 2)
        return;
    const Pic16b* ramp = &tex[ribbon->texSlot];
    const Pic16b* brush = &tex[ribbon->texSlot + 1];
    if (!ramp->pixels || ramp->width * ramp->height < RAMP_LEN || !brush->pixels ||
        brush->width * brush->height < BRUSH_W * BRUSH_W)
        return;
    memset(scr8b, 0, sizeof scr8b);
    for (int i = 0; i < RIBBON_SAMPLES; i++) {
        fixed fx, fy, fd;
        cerpTotal(ribbon, fp_divi(i << FP_SHIFT, RIBBON_SAMPLES), &fx, &fy, &fd);
        int x = fp_iconv(fx), y = fp_iconv(fy), depth = fp_iconv(fd);
        if (depth <= 0)
            continue;
        int c = size / depth;
        if (c <= 0)
            continue;
        long long step = ((long long)depth << 14) / size; /* c pixels cover 64 texels */
        ribbon_stamp(brush->pixels, x, y, c, step);
    }
    mod_blur8b(scr8b, 0, 0, SCR_W, SCR_H, 2);
    for (int p = 0; p < SCR_PIXELS; p++)
        pixelAdd(&frame[p], ramp->pixels[scr8b[p]]);
}

int fp_lerp(float a, float b, float t)
{
    return fp_ftoi((1.0f - t / 4096.0f) * a + (t / 4096.0f) * b);
}
