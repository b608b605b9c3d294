/*
 * orvel-fxview: renders the engine's 2D filters, generators and a ribbon over
 * a picture at a given effect time, into 320x240 PNG files or one contact
 * sheet, so a person can look at them.
 *
 *   orvel-fxview --list
 *   orvel-fxview --fx NAME --time MS [--picture FILE.tga] OUT.png
 *   orvel-fxview --sheet OUT.png [--time MS] [--picture FILE.tga]
 *
 * Without --picture the picture and the texture are drawn here in code
 * (gradients, a sun, hills, shapes; a plasma texture with rings and bands).
 * Exit 0 on success, 2 on bad arguments (with the usage), 1 when the picture
 * cannot be read or an output cannot be written (with the reason).
 */
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
#include <stb_easy_font.h>

#include "effects2d/kv_effects.h"
#include "math/kv_random.h"
#include "video/kv_texture.h"
#include "video/kv_video.h"

namespace {

const char kUsage[] =
    "usage: orvel-fxview --list\n"
    "       orvel-fxview --fx NAME --time MS [--picture FILE.tga] OUT.png\n"
    "       orvel-fxview --sheet OUT.png [--time MS] [--picture FILE.tga]\n";

const int kTexSize = 256; /* the generators' texture: 256 x 256 */

/* An owned picture of w x h RGB565 pixels. */
struct Image {
    int w = 0, h = 0;
    std::vector<uint16_t> px;
    Pic16b pic()
    {
        Pic16b p{};
        p.pixels = px.data();
        p.width = (uint16_t)w;
        p.height = (uint16_t)h;
        return p;
    }
};

/* What every effect starts from: the picture (320 x 240) and the texture. */
struct Inputs {
    Image picture;
    Image texture;
};

uint16_t rgb(double r, double g, double b)
{
    auto c = [](double v) { return (unsigned)(v < 0 ? 0 : v > 255 ? 255 : v); };
    return scr_RGB2W(c(r), c(g), c(b));
}

void unpack(uint16_t p, int* r, int* g, int* b)
{
    *r = (p >> 11) * 255 / 31;
    *g = ((p >> 5) & 63) * 255 / 63;
    *b = (p & 31) * 255 / 31;
}

/* ---- Procedural inputs ---------------------------------------------------- */

/* A landscape: sky gradient, a sun with a glow, two ranges of hills, a lake
 * with reflected stripes, and a few coloured shapes in front. */
Image drawPicture()
{
    Image im{SCR_W, SCR_H, std::vector<uint16_t>(SCR_PIXELS)};
    for (int y = 0; y < SCR_H; y++)
        for (int x = 0; x < SCR_W; x++) {
            double t = y / 150.0;
            double r = 20 + 230 * t, g = 30 + 120 * t, b = 90 + 40 * t; /* dusk sky */
            double d = std::hypot(x - 225.0, y - 95.0);
            double glow = std::exp(-d / 40.0) * 200;
            r += glow, g += glow * 0.8, b += glow * 0.3;
            if (d < 24)
                r = 255, g = 230 - d * 2, b = 120;
            double hill1 = 150 + 18 * std::sin(x * 0.031) + 9 * std::sin(x * 0.083 + 1.0);
            double hill2 = 172 + 14 * std::sin(x * 0.021 + 2.0) + 6 * std::sin(x * 0.11);
            if (y > hill1)
                r = 70 - (y - hill1) * 0.6, g = 60 + (y - hill1) * 0.4, b = 110;
            if (y > hill2)
                r = 30, g = 110 - (y - hill2) * 1.2, b = 50;
            if (y > 200) { /* lake with horizontal ripples */
                double ripple = 0.5 + 0.5 * std::sin(y * 1.7 + std::sin(x * 0.05) * 2);
                r = 30 + 90 * ripple, g = 60 + 80 * ripple, b = 140 + 80 * ripple;
            }
            im.px[y * SCR_W + x] = rgb(r, g, b);
        }
    /* shapes: a red block, a yellow ring, a white triangle, a cyan bar */
    for (int y = 20; y < 70; y++)
        for (int x = 24; x < 84; x++)
            im.px[y * SCR_W + x] = rgb(220, 40 + (x - 24) * 2, 40);
    for (int y = 0; y < SCR_H; y++)
        for (int x = 0; x < SCR_W; x++) {
            double d = std::hypot(x - 110.0, y - 150.0);
            if (d > 22 && d < 30)
                im.px[y * SCR_W + x] = rgb(250, 220, 30);
            if (y >= 110 && y < 190 && std::abs(x - 270) < (y - 110) / 2)
                im.px[y * SCR_W + x] = rgb(240, 240, 240);
            if (y >= 210 && y < 222 && x >= 20 && x < 300)
                im.px[y * SCR_W + x] = rgb(0, 200 + (x % 40), 230);
        }
    return im;
}

/* A 256 x 256 texture: a plasma of sines, concentric rings, diagonal bands
 * and a bright cross through the middle; it tiles seamlessly (every term
 * has a whole number of periods across the texture). */
Image drawTexture()
{
    Image im{kTexSize, kTexSize, std::vector<uint16_t>(kTexSize * kTexSize)};
    const double k = 2 * M_PI / kTexSize;
    for (int y = 0; y < kTexSize; y++)
        for (int x = 0; x < kTexSize; x++) {
            double p = std::sin(x * k * 2) + std::sin(y * k * 3) + std::sin((x + y) * k * 2);
            double ring = std::cos(std::hypot(std::sin(x * k) * 80, std::sin(y * k) * 80) * 0.35);
            double band = ((x + 2 * y) / 16) % 2 ? 1.0 : 0.75;
            double r = (128 + 60 * p) * band, g = (90 + 80 * ring) * band, b = (160 - 50 * p + 40 * ring) * band;
            if (std::abs(x - 128) < 3 || std::abs(y - 128) < 3)
                r = g = b = 250;
            im.px[y * kTexSize + x] = rgb(r, g, b);
        }
    return im;
}

/* A picture read from a TGA, scaled to w x h by nearest neighbour. */
bool loadScaled(const char* path, Image* picture, Image* texture)
{
    Pic16b src{};
    loadTGA16b(path, &src);
    if (!src.pixels)
        return false;
    auto scale = [&](int w, int h) {
        Image im{w, h, std::vector<uint16_t>((size_t)w * h)};
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                im.px[y * w + x] = src.pixels[(y * src.height / h) * src.width + x * src.width / w];
        return im;
    };
    *picture = scale(SCR_W, SCR_H);
    *texture = scale(kTexSize, kTexSize);
    killPic16b(&src);
    return true;
}

/* ---- The effects ---------------------------------------------------------- */

void showPicture(const Inputs& in, uint16_t* buf)
{
    memcpy(buf, in.picture.px.data(), SCR_BYTES);
}

void fxPicture(Inputs& in, uint16_t* buf, int)
{
    showPicture(in, buf);
}

void fxBlur(Inputs& in, uint16_t* buf, int ms)
{
    showPicture(in, buf);
    mod_blur(buf, 20, 20, 300, 220, (int8_t)(1 + (ms / 1000) % 5));
}

void fxBlur8b(Inputs& in, uint16_t* buf, int ms)
{
    for (int i = 0; i < SCR_PIXELS; i++) {
        int r, g, b;
        unpack(in.picture.px[i], &r, &g, &b);
        scr8b[i] = (uint8_t)((r * 3 + g * 6 + b) / 10);
    }
    mod_blur8b(scr8b, 0, 0, 320, 240, (int8_t)(1 + (ms / 1000) % 5));
    for (int i = 0; i < SCR_PIXELS; i++)
        buf[i] = scr_RGB2W(scr8b[i], scr8b[i], scr8b[i]);
}

void fxNoize(Inputs& in, uint16_t* buf, int ms)
{
    showPicture(in, buf);
    kv_srand((unsigned)ms);
    mod_noize(buf, 0, 0, 320, 240, 96);
}

void fxLevel(Inputs& in, uint16_t* buf, int ms)
{
    showPicture(in, buf);
    int swing = (ms / 20) % 100; /* lo 0..99, hi 255..156 */
    mod_level(buf, 0, 0, 320, 240, (int16_t)swing, (int16_t)(255 - swing));
}

void fxInvert(Inputs& in, uint16_t* buf, int ms)
{
    showPicture(in, buf);
    int x = 40 + (ms / 10) % 120;
    mod_invert(buf, (int16_t)x, 60, (int16_t)(x + 120), 180);
}

void fxWave(Inputs& in, uint16_t* buf, int ms)
{
    showPicture(in, buf);
    fx_updateTime(ms);
    mod_wave(buf, 0.05f, 0.04f, 6.0f, 4.0f, 0.004f);
}

void fxWind(Inputs& in, uint16_t* buf, int ms)
{
    showPicture(in, buf);
    kv_srand((unsigned)ms);
    mod_wind(buf, 6.0f, 2.0f, 5, 3);
}

void fxPixelAdd(Inputs& in, uint16_t* buf, int ms)
{
    showPicture(in, buf);
    double cx = 160 + 90 * std::sin(ms * 0.001), cy = 120 + 60 * std::cos(ms * 0.0013);
    for (int y = 0; y < SCR_H; y++)
        for (int x = 0; x < SCR_W; x++) {
            double glow = std::exp(-std::hypot(x - cx, y - cy) / 35.0);
            pixelAdd(&buf[y * SCR_W + x], rgb(255 * glow, 160 * glow, 60 * glow));
        }
}

void fxRotozoom(Inputs& in, uint16_t* buf, int ms)
{
    Pic16b t = in.texture.pic();
    gen_rotozoom(ms * 0.0005f, 1.2f + 0.6f * bsin(ms * 0.001f), &t, buf);
}

/* The picture as 24-bit pixels with the texture's round tiles on top: the
 * texture keyed outside a disc in each tile. */
void fxRotozoomAlpha(Inputs& in, uint16_t* buf, int ms)
{
    std::vector<uint8_t> dst((size_t)SCR_PIXELS * 3);
    for (int i = 0; i < SCR_PIXELS; i++) {
        int r, g, b;
        unpack(in.picture.px[i], &r, &g, &b);
        dst[3 * i] = (uint8_t)r, dst[3 * i + 1] = (uint8_t)g, dst[3 * i + 2] = (uint8_t)b;
    }
    std::vector<uint16_t> store((size_t)kTexSize * kTexSize);
    for (int y = 0; y < kTexSize; y++)
        for (int x = 0; x < kTexSize; x++) {
            double d = std::hypot(x - 128.0, y - 128.0) / 128.0;
            store[y * kTexSize + x] = d > 1 ? (uint16_t)PIC_KEY : in.texture.px[y * kTexSize + x];
        }
    Pic16b t = in.texture.pic();
    t.pixels = store.data();
    gen_rotozoomAlpha(-ms * 0.0007f, 1.6f, 0.0f, &t, dst.data());
    for (int i = 0; i < SCR_PIXELS; i++)
        buf[i] = scr_RGB2W(dst[3 * i], dst[3 * i + 1], dst[3 * i + 2]);
}

void tunnelCentre(int ms, float* cx, float* cy)
{
    *cx = 160.0f + 50.0f * bsin(ms * 0.0011f);
    *cy = 120.0f + 30.0f * bcos(ms * 0.0007f);
}

void fxTunnel(Inputs& in, uint16_t* buf, int ms)
{
    Pic16b t = in.texture.pic();
    float cx, cy;
    tunnelCentre(ms, &cx, &cy);
    fx_updateTime(ms);
    gen_tunnel(cx, cy, &t, buf);
}

/* The picture blended into the texture at its tunnel coordinates (the
 * inverse mapping), then the tunnel drawn with that texture: the picture
 * reappears where the two mappings agree. */
void fxTunnelAlpha(Inputs& in, uint16_t* buf, int ms)
{
    std::vector<int32_t> src((size_t)SCR_PIXELS * 4);
    for (int i = 0; i < SCR_PIXELS; i++) {
        int r, g, b;
        unpack(in.picture.px[i], &r, &g, &b);
        src[4 * i] = r, src[4 * i + 1] = g, src[4 * i + 2] = b, src[4 * i + 3] = 200;
    }
    std::vector<int32_t> texels((size_t)kTexSize * kTexSize * 4);
    for (int i = 0; i < kTexSize * kTexSize; i++) {
        int r, g, b;
        unpack(in.texture.px[i], &r, &g, &b);
        texels[4 * i] = r / 3, texels[4 * i + 1] = g / 3, texels[4 * i + 2] = b / 3;
    }
    Pic16b source{reinterpret_cast<uint16_t*>(src.data()), (uint16_t)kTexSize, (uint16_t)kTexSize, 8};
    float cx, cy;
    tunnelCentre(ms, &cx, &cy);
    fx_updateTime(ms);
    gen_tunnelAlpha(cx, cy, &source, texels.data());
    Image mixed{kTexSize, kTexSize, std::vector<uint16_t>(kTexSize * kTexSize)};
    for (int i = 0; i < kTexSize * kTexSize; i++)
        mixed.px[i] = rgb(texels[4 * i], texels[4 * i + 1], texels[4 * i + 2]);
    Pic16b t = mixed.pic();
    gen_tunnel(cx, cy, &t, buf);
}

void fxFill(Inputs& in, uint16_t* buf, int ms)
{
    showPicture(in, buf);
    for (int i = 0; i < 12; i++) {
        int x = (int)(160 + 150 * std::sin(ms * 0.001 + i * 0.9)) - 20;
        int y = (int)(120 + 110 * std::cos(ms * 0.0013 + i * 1.7)) - 15;
        gen_fill(buf, (int16_t)x, (int16_t)y, (int16_t)(x + 40), (int16_t)(y + 30),
                 rgb(128 + 120 * std::sin(i), 128 + 120 * std::sin(i + 2), 128 + 120 * std::sin(i + 4)));
    }
}

/* A ribbon of 24 points on a turning knot, projected with depth, over the
 * darkened picture. The ramp runs black - blue - cyan - white; the brush is
 * a soft disc (low bytes 0..31). */
void fxRibbon(Inputs& in, uint16_t* buf, int ms)
{
    showPicture(in, buf);
    mod_level(buf, 0, 0, 320, 240, 0, 600); /* darken: the ribbon adds light */
    killTex(0);
    killTex(1);
    Pic16b* ramp = &tex[0];
    Pic16b* brush = &tex[1];
    ramp->pixels = (uint16_t*)malloc(256 * sizeof(uint16_t));
    brush->pixels = (uint16_t*)malloc(64 * 64 * sizeof(uint16_t));
    if (!ramp->pixels || !brush->pixels)
        return;
    ramp->width = 256, ramp->height = 1;
    brush->width = 64, brush->height = 64;
    for (int i = 0; i < 256; i++)
        ramp->pixels[i] = i < 8 ? 0 : rgb(i < 128 ? 0 : (i - 128) * 2, i < 64 ? 0 : (i - 64) * 4 / 3, i * 2);
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 64; x++) {
            double d = std::hypot(x - 31.5, y - 31.5) / 32.0;
            brush->pixels[y * 64 + x] = (uint16_t)(d >= 1 ? 0 : 31 * (1 - d) * (1 - d));
        }
    const int n = 24;
    RibbonPoint pts[n] = {};
    double a = ms * 0.0008;
    for (int i = 0; i < n; i++) {
        double s = i * 2 * M_PI / (n - 1);
        double x = std::sin(2 * s + a) * 90, y = std::sin(3 * s) * 60, z = std::cos(2 * s + a) * 60 + 200;
        double depth = z / 100.0; /* 1.4 .. 2.6 */
        pts[i].pos = {fp_convf((float)x), fp_convf((float)y), fp_convf((float)z)};
        pts[i].proj = {fp_convf((float)(160 + x * 1.6 / depth)), fp_convf((float)(120 + y * 1.6 / depth)),
                       fp_convf((float)depth)};
    }
    Ribbon r{n, pts, 0};
    calcRibbonLen(&r);
    drawRibbon(&r, 40);
    killTex(0);
    killTex(1);
}

struct Effect {
    const char* name;
    void (*render)(Inputs&, uint16_t*, int);
    const char* what;
};

const Effect kEffects[] = {
    {"picture", fxPicture, "the input picture, unchanged"},
    {"blur", fxBlur, "mod_blur of (20,20)-(300,220), shift 1 + (MS/1000) % 5"},
    {"blur8b", fxBlur8b, "the picture's brightness in scr8b, mod_blur8b, shift 1 + (MS/1000) % 5"},
    {"noize", fxNoize, "mod_noize of the whole picture, amount 96, kv_srand(MS)"},
    {"level", fxLevel, "mod_level, lo = (MS/20) % 100, hi = 255 - lo"},
    {"invert", fxInvert, "mod_invert of a 120 x 120 square moving with MS"},
    {"wave", fxWave, "mod_wave fx 0.05 fy 0.04 ax 6 ay 4 speed 0.004 at gTime MS"},
    {"wind", fxWind, "mod_wind a 6 b 2, start chance 5, stop chance 3, kv_srand(MS)"},
    {"pixeladd", fxPixelAdd, "pixelAdd of an orange glow moving with MS"},
    {"rotozoom", fxRotozoom, "gen_rotozoom of the texture, angle MS * 0.0005, zoom 1.2 + 0.6 sin"},
    {"rotozoomalpha", fxRotozoomAlpha, "gen_rotozoomAlpha: the texture keyed outside a disc, over the picture"},
    {"tunnel", fxTunnel, "gen_tunnel of the texture at gTime MS, centre moving with MS"},
    {"tunnelalpha", fxTunnelAlpha, "gen_tunnelAlpha of the picture into the texture, shown by gen_tunnel"},
    {"fill", fxFill, "gen_fill of twelve rectangles moving with MS"},
    {"ribbon", fxRibbon, "drawRibbon of a 24-point knot turning with MS, size 40"},
};

const Effect* findEffect(const std::string& name)
{
    for (const Effect& e : kEffects)
        if (name == e.name)
            return &e;
    return nullptr;
}

/* ---- Output ----------------------------------------------------------------- */

void toRgb(const uint16_t* src, int w, int h, int stride, uint8_t* dst, int dstStride)
{
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            int r, g, b;
            unpack(src[y * stride + x], &r, &g, &b);
            uint8_t* p = dst + (size_t)y * dstStride + 3 * x;
            p[0] = (uint8_t)r, p[1] = (uint8_t)g, p[2] = (uint8_t)b;
        }
}

/* Draws a label with stb_easy_font's quads (axis-aligned rectangles). */
void drawLabel(uint8_t* rgb, int w, int h, int x0, int y0, const char* text)
{
    static char vbuf[64 * 1024];
    std::string t = text;
    int quads = stb_easy_font_print((float)x0, (float)y0, t.data(), nullptr, vbuf, sizeof vbuf);
    for (int q = 0; q < quads; q++) {
        const float* v0 = reinterpret_cast<const float*>(vbuf + q * 64);
        const float* v2 = reinterpret_cast<const float*>(vbuf + q * 64 + 32);
        for (int y = (int)v0[1]; y < (int)v2[1]; y++)
            for (int x = (int)v0[0]; x < (int)v2[0]; x++)
                if (x >= 0 && x < w && y >= 0 && y < h)
                    memset(rgb + ((size_t)y * w + x) * 3, 240, 3);
    }
}

bool writePng(const char* path, int w, int h, const std::vector<uint8_t>& rgb)
{
    if (!stbi_write_png(path, w, h, 3, rgb.data(), w * 3)) {
        fprintf(stderr, "orvel-fxview: cannot write %s\n", path);
        return false;
    }
    return true;
}

int renderOne(Inputs& in, const Effect& e, int ms, const char* out)
{
    uint16_t* buf = scr_getBuf();
    e.render(in, buf, ms);
    std::vector<uint8_t> rgb((size_t)SCR_PIXELS * 3);
    toRgb(buf, SCR_W, SCR_H, SCR_W, rgb.data(), SCR_W * 3);
    return writePng(out, SCR_W, SCR_H, rgb) ? 0 : 1;
}

/* Every effect in a grid of five columns, each tile labelled below. */
int renderSheet(Inputs& in, int ms, const char* out)
{
    const int cols = 5, label = 16, gap = 4;
    const int n = (int)(sizeof kEffects / sizeof kEffects[0]);
    const int rows = (n + cols - 1) / cols;
    const int tileW = SCR_W + gap, tileH = SCR_H + label + gap;
    const int w = cols * tileW + gap, h = rows * tileH + gap;
    std::vector<uint8_t> rgb((size_t)w * h * 3, 24);
    uint16_t* buf = scr_getBuf();
    for (int i = 0; i < n; i++) {
        int x0 = gap + (i % cols) * tileW, y0 = gap + (i / cols) * tileH;
        kEffects[i].render(in, buf, ms);
        toRgb(buf, SCR_W, SCR_H, SCR_W, rgb.data() + ((size_t)y0 * w + x0) * 3, w * 3);
        std::string text = std::string(kEffects[i].name) + "  @ " + std::to_string(ms) + " ms";
        drawLabel(rgb.data(), w, h, x0 + 2, y0 + SCR_H + 4, text.c_str());
    }
    return writePng(out, w, h, rgb) ? 0 : 1;
}

int usage(const char* why)
{
    fprintf(stderr, "orvel-fxview: %s\n%s", why, kUsage);
    return 2;
}

bool parseMs(const char* s, int* ms)
{
    char* end = nullptr;
    long v = strtol(s, &end, 10);
    if (!*s || *end || v < 0 || v > 100000000)
        return false;
    *ms = (int)v;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    std::string fxName, sheet, picture, out;
    int ms = -1;
    bool list = false;
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        bool hasValue = i + 1 < argc;
        if (a == "--list")
            list = true;
        else if (a == "--fx" && hasValue)
            fxName = argv[++i];
        else if (a == "--time" && hasValue) {
            if (!parseMs(argv[++i], &ms))
                return usage("--time needs milliseconds (0 or more)");
        } else if (a == "--picture" && hasValue)
            picture = argv[++i];
        else if (a == "--sheet" && hasValue)
            sheet = argv[++i];
        else if (a == "--help" || a == "-h") {
            printf("%s", kUsage);
            return 0;
        } else if (a.size() > 1 && a[0] == '-')
            return usage(("unknown or incomplete option " + a).c_str());
        else if (out.empty())
            out = a;
        else
            return usage("more than one output file");
    }
    if (list) {
        for (const Effect& e : kEffects)
            printf("%-14s %s\n", e.name, e.what);
        return 0;
    }
    const Effect* effect = nullptr;
    if (!sheet.empty()) {
        if (!fxName.empty() || !out.empty())
            return usage("--sheet takes no --fx and no other output");
        if (ms < 0)
            ms = 1000;
    } else {
        if (fxName.empty() || out.empty() || ms < 0)
            return usage("--fx NAME, --time MS and an output file are needed");
        effect = findEffect(fxName);
        if (!effect)
            return usage(("no effect called " + fxName + " (see --list)").c_str());
    }

    Inputs in;
    if (picture.empty()) {
        in.picture = drawPicture();
        in.texture = drawTexture();
    } else if (!loadScaled(picture.c_str(), &in.picture, &in.texture)) {
        fprintf(stderr, "\norvel-fxview: cannot read picture %s\n", picture.c_str());
        return 1;
    }
    if (!scr_init()) {
        fprintf(stderr, "orvel-fxview: no back buffer\n");
        return 1;
    }
    int rc = effect ? renderOne(in, *effect, ms, out.c_str()) : renderSheet(in, ms, sheet.c_str());
    fx_kill();
    killAllTex();
    scr_exit();
    return rc;
}
