/*
 * kv_effects: 2D image filters, image generators and ribbons.
 *
 * Every operation works on a 320x240 surface, row-major, 320 elements a row:
 * RGB565 pixels (red in bits 15-11, green 10-5, blue 4-0) for everything but
 * mod_blur8b, which works on a plane of 320x240 bytes such as scr8b. A null
 * surface, plane, texture or record makes an operation do nothing.
 *
 * Rectangles are given as x0, y0, x1, y1 after the surface, each a signed
 * 16-bit value. A negative x0 or y0 becomes 0, x1 is limited to 320 and y1
 * to 240; the rectangle is the half-open range x0 <= x < x1, y0 <= y < y1
 * and is empty when x0 >= x1 or y0 >= y1. Nothing is ever read or written
 * outside the surface.
 *
 * The effect clock gTime drives mod_wave, gen_tunnel and gen_tunnelAlpha;
 * fx_updateTime sets it.
 *
 * Work buffers: a line of 320 pixels for mod_blur, a line of 320 bytes for
 * mod_blur8b, and two 320x240 RGB565 scratch pictures, one for mod_wave and
 * one for mod_wind. The scratch pictures are allocated, zero-filled, on the
 * first call that needs them and kept from then on; fx_kill releases them at
 * teardown (a later call allocates them again, zero-filled). They are shared
 * by all calls: nothing here is re-entrant.
 */
#ifndef ORVEL_EFFECTS2D_KV_EFFECTS_H
#define ORVEL_EFFECTS2D_KV_EFFECTS_H

#include <cstdint>

#include "math/kv_math.h"
#include "math/kv_vector.h"
#include "video/kv_video.h"

extern int gTime; /* effect clock in milliseconds; 0 at start */

/* ---- Clock and teardown -------------------------------------------------- */

/* Sets gTime. */
void fx_updateTime(int time);

/* Frees the two scratch pictures of mod_wave and mod_wind. Harmless when they
 * were never allocated; call it once at teardown. */
void fx_kill(void);

/* ---- Filters (in place) -------------------------------------------------- */

/* Box blur of the rectangle with a window of 2^shift pixels, horizontal pass
 * then vertical pass. With c = 2^(shift-1), pixel x of a row averages the
 * pixels max(x-c, x0) .. min(x+c, x1)-1 of that row: red, green and blue are
 * summed separately in place (pixel & 0xF800, & 0x07E0, & 0x001F), divided by
 * the window's pixel count (truncating) and masked again. The window never
 * leaves the rectangle. The vertical pass does the same along each column on
 * the output of the first. Nothing happens for shift <= 0; shifts from 10 up
 * give windows of the whole row or column. */
void mod_blur(uint16_t* surface, int16_t x0, int16_t y0, int16_t x1, int16_t y1, int8_t shift);

/* The same blur on a plane of 320x240 bytes: each average is the integer sum
 * of the window divided by its count. */
void mod_blur8b(uint8_t* plane, int16_t x0, int16_t y0, int16_t x1, int16_t y1, int8_t shift);

/* Random noise over the rectangle. For each pixel, row by row and left to
 * right, n = kv_rand() % amount - amount / 2 on a 0..255 scale; red and blue
 * get n / 8 (their 5-bit scale), green n / 4 (its 6-bit scale), both divisions
 * truncating toward zero, each field clamped to its range. One kv_rand() per
 * pixel. Nothing happens for amount 0. */
void mod_noize(uint16_t* surface, int16_t x0, int16_t y0, int16_t x1, int16_t y1, uint8_t amount);

/* Level stretch over the rectangle: each of red, green and blue, read on a
 * 0..255 scale (its bits repeated into the low bits, so 31 reads as 255),
 * becomes (int)((v - lo) * (256.0f / (hi - lo))) clamped to 0..255, then is
 * cut back to its width. [lo, hi] is thus stretched over the full range:
 * lo 0, hi 255 changes nothing; hi < lo gives the inverse stretch; hi == lo
 * gives a threshold (above lo: full, at or below: 0). */
void mod_level(uint16_t* surface, int16_t x0, int16_t y0, int16_t x1, int16_t y1, int16_t lo, int16_t hi);

/* Replaces each pixel of the rectangle by its bitwise complement. */
void mod_invert(uint16_t* surface, int16_t x0, int16_t y0, int16_t x1, int16_t y1);

/* Sine displacement of the whole surface. With t = gTime * speed, pixel
 * (x, y) takes the pixel at
 *   sx = (int)(bsin(t + fx * x) * ax + x), clamped to 0..319,
 *   sy = (int)(bcos(t + fy * y) * ay + y), clamped to 0..239,
 * all in float, truncated toward zero. Built in the wave scratch picture,
 * then copied over the surface. ax = ay = 0 leaves the surface unchanged. */
void mod_wave(uint16_t* surface, float fx, float fy, float ax, float ay, float speed);

/* Random row shifting ("wind") of the whole surface, read as one array of
 * 76800 pixels. A gust g (pixels) starts with probability 1/startChance per
 * row and is g = (int)((kv_rand() % 16 - 7) * a); it dies down with
 * probability 1/stopChance per row, by d = (int)((kv_rand() % 16 - 7) * b) at a
 * time, never past 0. Each row copies 320 pixels from the source position,
 * which the gusts move, into the wind scratch picture; the whole scratch
 * picture (rows not reached keep their earlier contents) is then copied over
 * the surface. kv_rand() is the engine's (math/kv_random.h). Nothing happens when either chance
 * is below 1. Start chance 1 with a = 0 leaves the surface unchanged. */
void mod_wind(uint16_t* surface, float a, float b, int startChance, int stopChance);

/* Saturating add of a colour into one pixel: nothing for colour 0, else the
 * per-field half-sum doubled with saturation (pic_addPixel); each field
 * loses its lowest bit. 0xF800 + 0xF800 = 0xF000, 0x0010 + 0x0010 = 0x003E,
 * 0xFFFF + 0xFFFF = 0xFFFE, 0x1234 onto 0 = 0x1214. */
void pixelAdd(uint16_t* pixel, uint16_t colour);

/* ---- Generators ---------------------------------------------------------- */

/* Fills the surface with the texture rotated by angle (radians) and scaled
 * by zoom about the screen centre: (160, 120) shows texel (W/2, H/2). The
 * texture coordinates u (along the width W) and v (along the height H) are
 * stepped in float, truncated toward zero and wrapped with AND (W-1) and
 * AND (H-1), so sizes are meant to be powers of two (other sizes stay inside
 * the texture but do not wrap evenly). */
void gen_rotozoom(float angle, float zoom, const Pic16b* texture, uint16_t* surface);

/* The rotozoom walk (both start values raised by offset) blending a picture
 * into a 24-bit image. The texture is a picture like any other (RGB565
 * texels, rows masked by its height and columns by its width); each texel
 * is widened to 8 bits a channel (the top bits repeated) and carries alpha
 * a = 0 when it is the key colour 0xF81F, 255 otherwise. The destination is
 * 320*240 pixels of three bytes (R, G, B), 960 bytes a row: 230400 bytes,
 * all of which may be written and no byte beyond. Each destination byte
 * becomes (old * (255 - a) + colour * a) >> 8 with the matching colour
 * byte: a keyed texel leaves the pixel as it was. */
void gen_rotozoomAlpha(float angle, float zoom, float offset, const Pic16b* texture, uint8_t* dest);

/* Fills the surface with the texture wrapped round a tunnel seen end-on from
 * (cx, cy), in fixed point: the distance r from the centre (at least 100 raw
 * units, so the centre pixel divides by nothing), depth = 16000 / r, the
 * angle from the table arc tangent of dx / dy (dy raised by 0.1 on the
 * centre row). u = (gTime * 0.1 + depth) * W * 0.008 along the texture's
 * width, v = (gTime * 0.0001 + angle / 2pi) * H * 6 along its height, both
 * wrapped with AND. */
void gen_tunnel(float cx, float cy, const Pic16b* texture, uint16_t* surface);

/* The inverse tunnel in float: blends a 320x240 source image into a texture
 * at the tunnel coordinates of each source pixel. The source record's pixel
 * block holds 320*240 pixels of four 32-bit words (red, green, blue, alpha,
 * each used through its low 16 bits as a signed value); its width W and
 * height H are the texture's size. dest holds W*H texels of four 32-bit
 * words; the first three of the texel hit by each source pixel become
 * (old * (255 - a) + value * a) >> 8 (64-bit arithmetic, low 32 bits kept).
 * A source pixel at distance 0 from the centre gets depth 0. */
void gen_tunnelAlpha(float cx, float cy, const Pic16b* source, int32_t* dest);

/* Sets every pixel of the rectangle (clamped as for the filters) to colour. */
void gen_fill(uint16_t* surface, int16_t x0, int16_t y0, int16_t x1, int16_t y1, uint16_t colour);

/* ---- Ribbons ------------------------------------------------------------- */

struct RibbonPoint {
    FpVec3 pos;     /* the point in space (20.12); used for the arc length */
    FpVec3 proj;    /* screen x, screen y (pixels, 20.12), depth divisor z (20.12) */
    fixed segLen;   /* length to the next point (20.12); set by calcRibbonLen */
    fixed totalLen; /* first point only: the sum of all segLen (20.12) */
};

struct Ribbon {
    int numPoints;       /* entries in points */
    RibbonPoint* points; /* numPoints records, owned by the caller */
    int texSlot;         /* texture slot of the colour ramp (>= 256 texels);
                            the brush (64x64 texels) is in texSlot + 1 */
};

/* Sets each point's segLen (points 0 .. numPoints-2) and the first point's
 * totalLen from pos, with fp_bsqrt of the sum of fp_bsqr of the differences.
 * Returns the total: 0 for a ribbon of one point (and for none, where
 * nothing is written). */
fixed calcRibbonLen(Ribbon* ribbon);

/* Cubic interpolation from p1 (t = 0) to p2 (t = 1.0) with the outer
 * neighbours p0 and p3, every factor cut to 8 fraction bits, wrapping in 32
 * bits. Equal points v give v rounded down to a multiple of 16; t = 0 gives
 * p1 rounded down to a multiple of 16. */
fixed cerp(fixed p0, fixed p1, fixed p2, fixed p3, fixed t);

/* The point of the curve at arc-length fraction t (0 .. 1.0, 20.12),
 * interpolated with cerp in the proj values of the segment that holds it;
 * the outer neighbours of the first and last segments are extrapolated.
 * Outside its bounds it returns the nearest valid point: t is clamped to
 * 0 .. 1.0 (1.0 is the end of the curve), a ribbon of one point gives that
 * point's proj, a segment of length 0 gives its start, and a ribbon without
 * points gives 0, 0, 0. */
void cerpTotal(const Ribbon* ribbon, fixed t, fixed* x, fixed* y, fixed* depth);

/* Draws the ribbon onto the back buffer: clears scr8b, stamps the brush at
 * 409 evenly spaced curve positions (side size / depth pixels, max-blended,
 * column 0 and row 0 of the screen never stamped; samples with depth <= 0 or
 * side <= 0 skipped), blurs the plane with a window of 4, and adds ramp[plane]
 * onto every frame pixel with pixelAdd. Draws nothing without a back buffer,
 * with a texSlot outside 0..62, or when the ramp has fewer than 256 texels or
 * the brush fewer than 64x64. */
void drawRibbon(const Ribbon* ribbon, int size);

/* (int)((1 - t/4096) * a + (t/4096) * b) in float, truncated toward zero
 * (saturating as fp_ftoi): t is the weight of b in 1/4096 units. */
int fp_lerp(float a, float b, float t);

#endif
