/*
 * mk_image: painting surface, masks, shapes, noise and quantising (see
 * mk_image.h).
 */
#include "tools/mkdata/mk_image.h"

#include <algorithm>
#include <cmath>

#include "tools/mkdata/mk_rng.h"

/* 4x4 ordered dither thresholds: bayer[y][x] / 16 + 1/32 lies in (0, 1). */
static const uint8_t bayer4[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

Rgb rgb8(int r, int g, int b)
{
    return Rgb{(float)r / 255.0f, (float)g / 255.0f, (float)b / 255.0f};
}

Rgb mix(const Rgb& a, const Rgb& b, float t)
{
    return Rgb{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb scale(const Rgb& a, float k)
{
    return Rgb{a.r * k, a.g * k, a.b * k};
}

Rgb gradientAt(const std::vector<Stop>& stops, float t)
{
    if (stops.empty())
        return Rgb{0, 0, 0};
    if (t <= stops.front().t)
        return stops.front().c;
    for (size_t i = 1; i < stops.size(); i++) {
        if (t <= stops[i].t) {
            float span = stops[i].t - stops[i - 1].t;
            float k = span > 0.0f ? (t - stops[i - 1].t) / span : 1.0f;
            return mix(stops[i - 1].c, stops[i].c, k);
        }
    }
    return stops.back().c;
}

Img img_make(int w, int h, const Rgb& c)
{
    Img img;
    img.w = w;
    img.h = h;
    img.px.assign((size_t)w * h, c);
    return img;
}

Mask mask_make(int w, int h)
{
    Mask m;
    m.w = w;
    m.h = h;
    m.a.assign((size_t)w * h, 0.0f);
    return m;
}

void img_vgradient(Img& img, const std::vector<Stop>& stops)
{
    for (int y = 0; y < img.h; y++) {
        Rgb c = gradientAt(stops, img.h > 1 ? (float)y / (float)(img.h - 1) : 0.0f);
        for (int x = 0; x < img.w; x++)
            img.at(x, y) = c;
    }
}

void img_paint(Img& img, const Mask& m, const Rgb& c, float opacity)
{
    for (size_t i = 0; i < img.px.size(); i++) {
        float k = m.a[i] * opacity;
        if (k > 0.0f)
            img.px[i] = mix(img.px[i], c, std::min(k, 1.0f));
    }
}

void img_paintFn(Img& img, const Mask& m, const std::function<Rgb(int, int)>& colour, float opacity)
{
    for (int y = 0; y < img.h; y++)
        for (int x = 0; x < img.w; x++) {
            float k = m.at(x, y) * opacity;
            if (k > 0.0f)
                img.at(x, y) = mix(img.at(x, y), colour(x, y), std::min(k, 1.0f));
        }
}

void img_add(Img& img, const Mask& m, const Rgb& c, float gain)
{
    for (size_t i = 0; i < img.px.size(); i++) {
        float k = m.a[i] * gain;
        if (k > 0.0f) {
            img.px[i].r += c.r * k;
            img.px[i].g += c.g * k;
            img.px[i].b += c.b * k;
        }
    }
}

void img_glow(Img& img, const Mask& m, const Rgb& c, int radius, float gain)
{
    Mask b = m;
    mask_blur(b, radius);
    img_add(img, b, c, gain);
}

void img_map(Img& img, const std::function<Rgb(int, int, const Rgb&)>& f)
{
    for (int y = 0; y < img.h; y++)
        for (int x = 0; x < img.w; x++)
            img.at(x, y) = f(x, y, img.at(x, y));
}

/* One box pass of radius r over n values spaced stride apart, zero outside. */
static void boxPass(float* p, int n, int stride, int r, std::vector<float>& tmp)
{
    tmp.assign((size_t)n, 0.0f);
    float sum = 0.0f;
    for (int i = 0; i <= r && i < n; i++)
        sum += p[(size_t)i * stride];
    float inv = 1.0f / (float)(2 * r + 1);
    for (int i = 0; i < n; i++) {
        tmp[(size_t)i] = sum * inv;
        int add = i + r + 1, sub = i - r;
        if (add < n)
            sum += p[(size_t)add * stride];
        if (sub >= 0)
            sum -= p[(size_t)sub * stride];
    }
    for (int i = 0; i < n; i++)
        p[(size_t)i * stride] = tmp[(size_t)i];
}

void mask_blur(Mask& m, int r)
{
    if (r <= 0)
        return;
    std::vector<float> tmp;
    for (int pass = 0; pass < 3; pass++) {
        for (int y = 0; y < m.h; y++)
            boxPass(&m.a[(size_t)y * m.w], m.w, 1, r, tmp);
        for (int x = 0; x < m.w; x++)
            boxPass(&m.a[(size_t)x], m.h, m.w, r, tmp);
    }
}

void mask_stamp(Mask& dst, const Mask& src, int ox, int oy, float gain)
{
    for (int y = 0; y < src.h; y++) {
        int ty = oy + y;
        if (ty < 0 || ty >= dst.h)
            continue;
        for (int x = 0; x < src.w; x++) {
            int tx = ox + x;
            if (tx < 0 || tx >= dst.w)
                continue;
            dst.at(tx, ty) = std::max(dst.at(tx, ty), src.at(x, y) * gain);
        }
    }
}

Mask mask_dilate(const Mask& m, int r)
{
    Mask out = mask_make(m.w, m.h);
    for (int dy = -r; dy <= r; dy++)
        for (int dx = -r; dx <= r; dx++) {
            if (dx * dx + dy * dy > r * r + r)
                continue;
            for (int y = std::max(0, -dy); y < std::min(m.h, m.h - dy); y++)
                for (int x = std::max(0, -dx); x < std::min(m.w, m.w - dx); x++) {
                    float v = m.at(x, y);
                    float& o = out.at(x + dx, y + dy);
                    if (v > o)
                        o = v;
                }
        }
    return out;
}

Mask mask_shift(const Mask& m, int dx, int dy)
{
    Mask out = mask_make(m.w, m.h);
    mask_stamp(out, m, dx, dy);
    return out;
}

void mask_harden(Mask& m)
{
    for (float& v : m.a)
        v = v >= 0.5f ? 1.0f : 0.0f;
}

/* Coverage of a pixel whose centre lies d pixels outside a shape's edge
 * (negative inside): a one-pixel linear ramp. */
static float cover(float d)
{
    return std::clamp(0.5f - d, 0.0f, 1.0f);
}

/* Calls f(x, y, px, py) for the pixels of the box [x0, x1] x [y0, y1] that lie
 * inside the mask, with px, py the pixel centre. */
template <class F>
static void eachPixel(Mask& m, float x0, float y0, float x1, float y1, F f)
{
    int ix0 = std::max(0, (int)std::floor(x0) - 1), iy0 = std::max(0, (int)std::floor(y0) - 1);
    int ix1 = std::min(m.w - 1, (int)std::ceil(x1) + 1), iy1 = std::min(m.h - 1, (int)std::ceil(y1) + 1);
    for (int y = iy0; y <= iy1; y++)
        for (int x = ix0; x <= ix1; x++)
            f(x, y, (float)x + 0.5f, (float)y + 0.5f);
}

static void putMax(Mask& m, int x, int y, float v)
{
    float& o = m.at(x, y);
    if (v > o)
        o = v;
}

void mask_disc(Mask& m, float cx, float cy, float r, float gain)
{
    eachPixel(m, cx - r, cy - r, cx + r, cy + r, [&](int x, int y, float px, float py) {
        float d = std::hypot(px - cx, py - cy) - r;
        putMax(m, x, y, cover(d) * gain);
    });
}

void mask_ring(Mask& m, float cx, float cy, float r, float hw, float gain)
{
    eachPixel(m, cx - r - hw, cy - r - hw, cx + r + hw, cy + r + hw, [&](int x, int y, float px, float py) {
        float d = std::fabs(std::hypot(px - cx, py - cy) - r) - hw;
        putMax(m, x, y, cover(d) * gain);
    });
}

void mask_ellipse(Mask& m, float cx, float cy, float rx, float ry, float gain)
{
    eachPixel(m, cx - rx, cy - ry, cx + rx, cy + ry, [&](int x, int y, float px, float py) {
        float nx = (px - cx) / rx, ny = (py - cy) / ry;
        float k = std::sqrt(nx * nx + ny * ny);
        /* distance estimate: the normalised radius error times the local
         * radius of the ellipse in that direction */
        float local = k > 0.0f ? std::hypot(nx / k * rx, ny / k * ry) : std::min(rx, ry);
        putMax(m, x, y, cover((k - 1.0f) * local) * gain);
    });
}

void mask_line(Mask& m, float x0, float y0, float x1, float y1, float hw, float gain)
{
    float dx = x1 - x0, dy = y1 - y0, len2 = dx * dx + dy * dy;
    eachPixel(m, std::min(x0, x1) - hw, std::min(y0, y1) - hw, std::max(x0, x1) + hw, std::max(y0, y1) + hw,
              [&](int x, int y, float px, float py) {
                  float t = len2 > 0.0f ? ((px - x0) * dx + (py - y0) * dy) / len2 : 0.0f;
                  t = std::clamp(t, 0.0f, 1.0f);
                  float d = std::hypot(px - (x0 + t * dx), py - (y0 + t * dy)) - hw;
                  putMax(m, x, y, cover(d) * gain);
              });
}

void mask_rrect(Mask& m, float x0, float y0, float x1, float y1, float rad, float gain)
{
    float cx = (x0 + x1) * 0.5f, cy = (y0 + y1) * 0.5f;
    float hx = (x1 - x0) * 0.5f - rad, hy = (y1 - y0) * 0.5f - rad;
    eachPixel(m, x0, y0, x1, y1, [&](int x, int y, float px, float py) {
        float qx = std::fabs(px - cx) - hx, qy = std::fabs(py - cy) - hy;
        float out = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
        float d = out + std::min(std::max(qx, qy), 0.0f) - rad;
        putMax(m, x, y, cover(d) * gain);
    });
}

/* Non-zero winding number of the polygon around (px, py). */
static int winding(const std::vector<float>& xy, float px, float py)
{
    int wn = 0;
    size_t n = xy.size() / 2;
    for (size_t i = 0; i < n; i++) {
        float ax = xy[2 * i], ay = xy[2 * i + 1];
        float bx = xy[2 * ((i + 1) % n)], by = xy[2 * ((i + 1) % n) + 1];
        float side = (bx - ax) * (py - ay) - (px - ax) * (by - ay);
        if (ay <= py) {
            if (by > py && side > 0.0f)
                wn++;
        } else if (by <= py && side < 0.0f) {
            wn--;
        }
    }
    return wn;
}

void mask_polygon(Mask& m, const std::vector<float>& xy, float gain)
{
    if (xy.size() < 6)
        return;
    float x0 = xy[0], x1 = xy[0], y0 = xy[1], y1 = xy[1];
    for (size_t i = 0; i < xy.size(); i += 2) {
        x0 = std::min(x0, xy[i]), x1 = std::max(x1, xy[i]);
        y0 = std::min(y0, xy[i + 1]), y1 = std::max(y1, xy[i + 1]);
    }
    eachPixel(m, x0, y0, x1, y1, [&](int x, int y, float, float) {
        int in = 0;
        for (int sy = 0; sy < 4; sy++)
            for (int sx = 0; sx < 4; sx++)
                in += winding(xy, (float)x + 0.125f + 0.25f * (float)sx, (float)y + 0.125f + 0.25f * (float)sy) != 0;
        putMax(m, x, y, (float)in / 16.0f * gain);
    });
}

static float smooth(float t)
{
    return t * t * (3.0f - 2.0f * t);
}

/* Value noise with the lattice coordinates wrapped by period p (0: none). */
static float valueNoise(float x, float y, int p, uint32_t seed)
{
    float fx = std::floor(x), fy = std::floor(y);
    int ix = (int)fx, iy = (int)fy;
    float tx = smooth(x - fx), ty = smooth(y - fy);
    auto lat = [&](int a, int b) {
        if (p > 0) {
            a = ((a % p) + p) % p;
            b = ((b % p) + p) % p;
        }
        return rng_hash3(a, b, seed);
    };
    float v00 = lat(ix, iy), v10 = lat(ix + 1, iy), v01 = lat(ix, iy + 1), v11 = lat(ix + 1, iy + 1);
    float top = v00 + (v10 - v00) * tx, bottom = v01 + (v11 - v01) * tx;
    return top + (bottom - top) * ty;
}

float noise2(float x, float y, uint32_t seed)
{
    return valueNoise(x, y, 0, seed);
}

float noiseTile(float x, float y, int p, uint32_t seed)
{
    return valueNoise(x, y, p, seed);
}

float fbm(float x, float y, int octaves, uint32_t seed)
{
    float sum = 0.0f, amp = 1.0f, norm = 0.0f;
    for (int o = 0; o < octaves; o++) {
        sum += noise2(x, y, seed + (uint32_t)o * 7919u) * amp;
        norm += amp;
        amp *= 0.5f;
        x *= 2.0f;
        y *= 2.0f;
    }
    return sum / norm;
}

/* One channel at `bits` bits with the dither threshold d in (0, 1), widened
 * back to 8 bits by repeating the top bits. */
static int dither(float v, int bits, float d)
{
    int levels = (1 << bits) - 1;
    int q = (int)std::floor(std::clamp(v, 0.0f, 1.0f) * (float)levels + d);
    q = std::min(q, levels);
    return (q << (8 - bits)) | (q >> (2 * bits - 8));
}

Rgb8 img_quantise(const Img& img, QuantMode mode, const Mask* opaque)
{
    Rgb8 out;
    out.w = img.w;
    out.h = img.h;
    out.rgb.resize((size_t)img.w * img.h * 3);
    for (int y = 0; y < img.h; y++)
        for (int x = 0; x < img.w; x++) {
            size_t i = (size_t)y * img.w + x;
            uint8_t* o = &out.rgb[i * 3];
            if (mode == Q_KEYED && opaque && opaque->a[i] < 0.5f) {
                o[0] = 255, o[1] = 0, o[2] = 255;
                continue;
            }
            float d = ((float)bayer4[y & 3][x & 3] + 0.5f) / 16.0f;
            const Rgb& c = img.px[i];
            int r = dither(c.r, 5, d), g = dither(c.g, 6, d), b = dither(c.b, 5, d);
            /* Never the key by accident: move green one 565 step up. */
            if (r >= 248 && g < 4 && b >= 248)
                g = 4;
            o[0] = (uint8_t)r, o[1] = (uint8_t)g, o[2] = (uint8_t)b;
        }
    return out;
}

Rgb8 rgb8_resize(const Rgb8& src, int w, int h)
{
    Rgb8 out;
    out.w = w;
    out.h = h;
    out.rgb.assign((size_t)w * h * 3, 0);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            int sx0 = x * src.w / w, sx1 = std::max(sx0 + 1, (x + 1) * src.w / w);
            int sy0 = y * src.h / h, sy1 = std::max(sy0 + 1, (y + 1) * src.h / h);
            unsigned sum[3] = {0, 0, 0}, n = 0;
            for (int sy = sy0; sy < sy1 && sy < src.h; sy++)
                for (int sx = sx0; sx < sx1 && sx < src.w; sx++, n++)
                    for (int c = 0; c < 3; c++)
                        sum[c] += src.rgb[((size_t)sy * src.w + sx) * 3 + c];
            for (int c = 0; c < 3 && n; c++)
                out.rgb[((size_t)y * w + x) * 3 + c] = (uint8_t)(sum[c] / n);
        }
    return out;
}
