/*
 * mk_image: the data generator's painting surface.
 *
 * Pictures are painted in linear float RGB (0..1 a channel) on an Img, with
 * coverage masks (Mask, 0..1 a pixel) for shapes and type. Shapes are drawn
 * anti-aliased from their signed distance (or by 4x4 supersampling for
 * polygons). At the end a picture is quantised to 8-bit RGB with an ordered
 * dither at the engine's RGB565 precision, so gradients stay smooth on the
 * 16-bit screen; exact black and the magenta key (255, 0, 255) are kept
 * where they mean "nothing" and "transparent", and never produced by accident.
 */
#ifndef ORVEL_TOOLS_MKDATA_MK_IMAGE_H
#define ORVEL_TOOLS_MKDATA_MK_IMAGE_H

#include <cstdint>
#include <functional>
#include <vector>

struct Rgb {
    float r, g, b; /* 0..1 each; painting may overshoot, quantising clamps */
};

struct Img {
    int w = 0, h = 0;
    std::vector<Rgb> px; /* w*h, row-major, top row first */
    Rgb& at(int x, int y) { return px[(size_t)y * w + x]; }
    const Rgb& at(int x, int y) const { return px[(size_t)y * w + x]; }
};

struct Mask {
    int w = 0, h = 0;
    std::vector<float> a; /* w*h coverage, 0..1 */
    float& at(int x, int y) { return a[(size_t)y * w + x]; }
    float at(int x, int y) const { return a[(size_t)y * w + x]; }
};

/* 8-bit RGB pixels as written to a file. */
struct Rgb8 {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb; /* w*h*3: R, G, B; top row first */
};

struct Stop {
    float t; /* position 0..1 along the gradient, ascending */
    Rgb c;
};

/* ---- Colours ------------------------------------------------------------- */
Rgb rgb8(int r, int g, int b);                /* from 0..255 components */
Rgb mix(const Rgb& a, const Rgb& b, float t); /* a + (b - a) t */
Rgb scale(const Rgb& a, float k);
Rgb gradientAt(const std::vector<Stop>& stops, float t); /* clamped at both ends */

/* ---- Surfaces -------------------------------------------------------------- */
Img img_make(int w, int h, const Rgb& c);
Mask mask_make(int w, int h);
/* Fills every row y with gradientAt(stops, y / (h - 1)). */
void img_vgradient(Img& img, const std::vector<Stop>& stops);
/* Blends colour over img by coverage * opacity. */
void img_paint(Img& img, const Mask& m, const Rgb& c, float opacity = 1.0f);
/* As img_paint with a colour per pixel. */
void img_paintFn(Img& img, const Mask& m, const std::function<Rgb(int, int)>& colour, float opacity = 1.0f);
/* Adds colour * coverage * gain (light). */
void img_add(Img& img, const Mask& m, const Rgb& c, float gain = 1.0f);
/* Adds a blurred copy of the mask as coloured light: a glow of about radius
 * pixels around the shape. */
void img_glow(Img& img, const Mask& m, const Rgb& c, int radius, float gain);
/* Every pixel through f(x, y, pixel). */
void img_map(Img& img, const std::function<Rgb(int, int, const Rgb&)>& f);

/* ---- Masks ------------------------------------------------------------------ */
/* Three box passes of radius r in each direction (close to a gaussian of
 * sigma ~ r); zero outside the mask. */
void mask_blur(Mask& m, int r);
/* dst = max(dst, src) with src's top-left corner at (ox, oy), clipped. */
void mask_stamp(Mask& dst, const Mask& src, int ox, int oy, float gain = 1.0f);
/* A disc-shaped max filter of radius r (for outlines). */
Mask mask_dilate(const Mask& m, int r);
/* The same mask moved by (dx, dy), zero where nothing moves in. */
Mask mask_shift(const Mask& m, int dx, int dy);
/* Coverage thresholded at 0.5 to 0 or 1. */
void mask_harden(Mask& m);

/* Shapes, max-combined into the mask with anti-aliased edges. */
void mask_disc(Mask& m, float cx, float cy, float r, float gain = 1.0f);
void mask_ring(Mask& m, float cx, float cy, float r, float halfWidth, float gain = 1.0f);
void mask_ellipse(Mask& m, float cx, float cy, float rx, float ry, float gain = 1.0f);
/* A line of half width hw with round ends. */
void mask_line(Mask& m, float x0, float y0, float x1, float y1, float hw, float gain = 1.0f);
/* A rectangle with rounded corners of radius rad. */
void mask_rrect(Mask& m, float x0, float y0, float x1, float y1, float rad, float gain = 1.0f);
/* A closed polygon (non-zero winding), 4x4 supersampled. */
void mask_polygon(Mask& m, const std::vector<float>& xy, float gain = 1.0f);

/* ---- Noise ------------------------------------------------------------------- */
/* Smooth value noise in 0..1 on a unit lattice; equal arguments give equal
 * values. fbm sums octaves of halving amplitude and doubling frequency,
 * normalised to 0..1. */
float noise2(float x, float y, uint32_t seed);
float fbm(float x, float y, int octaves, uint32_t seed);
/* Value noise tiling with period p lattice cells in x and y. */
float noiseTile(float x, float y, int p, uint32_t seed);

/* ---- Quantising ----------------------------------------------------------------- */
enum QuantMode {
    Q_OPAQUE,   /* every pixel shown: the key colour is never produced */
    Q_ADDITIVE, /* added to the screen: black means nothing, kept exact */
    Q_KEYED     /* drawn with the key: pixels whose opaque coverage is below
                 * 0.5 become exactly (255, 0, 255), the others never do */
};
/* 8-bit RGB with a 4x4 ordered dither at 5-6-5 bits (values are stored as
 * the 565 level widened back to 8 bits). keyed needs opaque (w*h coverage). */
Rgb8 img_quantise(const Img& img, QuantMode mode, const Mask* opaque = nullptr);

/* Scales an 8-bit picture by box filtering (down) or nearest (up). */
Rgb8 rgb8_resize(const Rgb8& src, int w, int h);

#endif
