/*
 * mk_pictures: the picture generators (see mk_pictures.h).
 */
#include "tools/mkdata/mk_pictures.h"

#include <algorithm>
#include <cmath>

#include "tools/mkdata/mk_mesh.h"
#include "tools/mkdata/mk_rng.h"
#include "tools/mkdata/mk_text.h"

const char* const GREETED[6] = {"Quasar Owls", "Pixel Tartan", "Nullrhythm", "Velvet Vector", "Moss & Modem",
                                "Teal Foundry"};

namespace {

const float PI = 3.14159265358979f;

/* ---- The palette ------------------------------------------------------------ */
const Rgb BLACK = {0, 0, 0};
const Rgb NIGHT = rgb8(7, 5, 22);      /* deepest background */
const Rgb INDIGO = rgb8(26, 18, 70);   /* night sky */
const Rgb VIOLET = rgb8(74, 38, 128);  /* dusk */
const Rgb DUSK = rgb8(168, 60, 120);   /* magenta dusk above the horizon */
const Rgb AMBER = rgb8(255, 170, 60);  /* warm light */
const Rgb GOLD = rgb8(255, 212, 128);  /* bright amber */
const Rgb MAGENTA = rgb8(255, 60, 170);
const Rgb CYAN = rgb8(70, 220, 255);
const Rgb WHITE = rgb8(255, 248, 238);
const Rgb INK = rgb8(14, 10, 38);      /* silhouettes */

const int W = 320, H = 240;

/* ---- Shared painting steps ----------------------------------------------------- */

/* Light for an additive caption: a wide soft glow, a tight glow and the
 * bright core. */
void glowText(Img& img, const Mask& m, const Rgb& core, const Rgb& glow, float wide = 0.9f)
{
    img_glow(img, m, glow, 9, wide);
    img_glow(img, m, glow, 3, 0.8f);
    img_add(img, m, core, 1.0f);
}

/* Text filled with a vertical gradient from top to bottom colour between
 * rows y0 and y1, painted over img. */
void gradientFill(Img& img, const Mask& m, const Rgb& top, const Rgb& bottom, float y0, float y1)
{
    img_paintFn(img, m, [&](int, int y) { return mix(top, bottom, std::clamp(((float)y - y0) / (y1 - y0), 0.0f, 1.0f)); });
}

/* Stars: n points of random brightness and tint, the brightest with a soft
 * halo and a four-pointed glint. */
struct Keep {
    float cx, cy, rx, ry; /* an ellipse kept free of stars; rx 0: none */
};

void stars(Img& img, int n, uint64_t seed, float yMax, float gain, Keep keep = {0, 0, 0, 0})
{
    Rng r = rng_make(seed);
    Mask halo = mask_make(img.w, img.h);
    for (int i = 0; i < n; i++) {
        float x = rng_range(&r, 0, (float)img.w), y = rng_range(&r, 0, yMax);
        float b = std::pow(rng_unit(&r), 3.0f);
        float tint = rng_unit(&r);
        if (keep.rx > 0.0f && std::pow((x - keep.cx) / keep.rx, 2.0f) + std::pow((y - keep.cy) / keep.ry, 2.0f) < 1.0f)
            continue;
        Rgb c = tint < 0.6f ? WHITE : (tint < 0.8f ? GOLD : CYAN);
        int ix = (int)x, iy = (int)y;
        if (ix < 0 || iy < 0 || ix >= img.w || iy >= img.h)
            continue;
        Rgb& p = img.at(ix, iy);
        float k = (0.25f + 0.75f * b) * gain;
        p = {p.r + c.r * k, p.g + c.g * k, p.b + c.b * k};
        if (b > 0.55f) {
            mask_disc(halo, x, y, 1.2f, b);
            float arm = 3.0f + 6.0f * b;
            Mask g = mask_make(img.w, img.h);
            mask_line(g, x - arm, y, x + arm, y, 0.35f, 0.5f * b);
            mask_line(g, x, y - arm, x, y + arm, 0.35f, 0.5f * b);
            img_add(img, g, c, gain);
        }
    }
    img_glow(img, halo, rgb8(200, 210, 255), 3, 0.7f * gain);
}

/* Subtracts the darkest tail of an additive picture so that areas that
 * only hold the far edge of a glow come out exactly black. */
void clipFloor(Img& img, float floor)
{
    img_map(img, [&](int, int, const Rgb& c) {
        auto f = [&](float v) { return v <= floor ? 0.0f : (v - floor) / (1.0f - floor); };
        return Rgb{f(c.r), f(c.g), f(c.b)};
    });
}

Rgb8 additive(Img& img)
{
    clipFloor(img, 0.012f);
    return img_quantise(img, Q_ADDITIVE);
}

/* Keyed text: the fill blends into an outline of width `ring`, whose outer
 * edge is hard (the key allows no partial cover); a drop shadow below.
 * Adds the covered pixels to opaque. */
void keyedText(Img& img, Mask& opaque, const Mask& text, const Rgb& top, const Rgb& bottom, const Rgb& outline,
               int ring, float y0, float y1)
{
    Mask outer = mask_dilate(text, ring);
    mask_harden(outer);
    Mask shadow = mask_shift(outer, 2, 3);
    img_paint(img, shadow, scale(outline, 0.5f));
    img_paint(img, outer, outline);
    gradientFill(img, text, top, bottom, y0, y1);
    for (size_t i = 0; i < opaque.a.size(); i++)
        opaque.a[i] = std::max({opaque.a[i], outer.a[i], shadow.a[i]});
}

/* ---- Sphere maps ------------------------------------------------------------------ *
 * The renderer looks a vertex's colour up at u = 0.5 + 0.5 nx, v = 0.5 - 0.5 ny
 * of its view-space normal n. Texel (x, y) therefore holds the colour of a
 * shiny ball whose normal there is (nx, ny, -nz) facing the eye; texels
 * outside the ball's disc repeat its rim. */
struct V3f {
    float x, y, z;
};
float dot3(V3f a, V3f b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3f norm3(V3f a)
{
    float l = std::sqrt(dot3(a, a));
    return {a.x / l, a.y / l, a.z / l};
}

Rgb8 sphereMap(int size, const std::function<Rgb(V3f n, V3f refl)>& shade)
{
    Img img = img_make(size, size, BLACK);
    /* 2x2 supersampling keeps the rim smooth. */
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++) {
            Rgb acc = {0, 0, 0};
            for (int s = 0; s < 4; s++) {
                float u = ((float)x + 0.25f + 0.5f * (float)(s & 1)) / (float)size;
                float v = ((float)y + 0.25f + 0.5f * (float)(s >> 1)) / (float)size;
                float nx = (u - 0.5f) * 2.0f, ny = (0.5f - v) * 2.0f;
                float r2 = nx * nx + ny * ny;
                if (r2 > 0.995f) {
                    float k = std::sqrt(0.995f / r2);
                    nx *= k, ny *= k, r2 = 0.995f;
                }
                V3f n = {nx, ny, -std::sqrt(1.0f - r2)};
                /* The eye looks along +z; reflect that ray about n. */
                float d = n.z;
                V3f refl = {-2.0f * d * n.x, -2.0f * d * n.y, 1.0f - 2.0f * d * n.z};
                Rgb c = shade(n, refl);
                acc = {acc.r + c.r * 0.25f, acc.g + c.g * 0.25f, acc.b + c.b * 0.25f};
            }
            img.at(x, y) = acc;
        }
    return img_quantise(img, Q_OPAQUE);
}

/* A reflected world: sky above, a bright band at the horizon, ground below. */
Rgb environment(V3f r, const Rgb& zenith, const Rgb& horizon, const Rgb& ground, const Rgb& floorDeep)
{
    float e = r.y;
    if (e >= 0.0f) {
        float k = std::pow(e, 0.55f);
        return mix(horizon, zenith, k);
    }
    float k = std::pow(-e, 0.4f);
    return mix(ground, floorDeep, k);
}

/* Phong highlight: (r . l)^power for the reflected eye ray r. */
float specular(V3f refl, V3f light, float power)
{
    return std::pow(std::max(0.0f, dot3(refl, norm3(light))), power);
}
/* Lambert light: n . l, clamped at 0. */
float diffuse(V3f n, V3f light)
{
    return std::max(0.0f, dot3(n, norm3(light)));
}

Rgb8 shadeMap()
{
    /* Gold: warm reflected dusk, a white key light high left, a magenta rim
     * from behind right. */
    return sphereMap(256, [](V3f n, V3f r) {
        Rgb env = environment(r, rgb8(60, 30, 70), rgb8(255, 190, 90), rgb8(120, 60, 20), rgb8(30, 12, 8));
        Rgb c = scale(env, 0.85f);
        Rgb base = rgb8(220, 150, 50);
        float d = diffuse(n, {-0.5f, 0.7f, -0.6f});
        c = {c.r + base.r * d * 0.5f, c.g + base.g * d * 0.5f, c.b + base.b * d * 0.5f};
        float s = specular(r, {-0.5f, 0.7f, -0.6f}, 40.0f);
        float rim = specular(r, {0.8f, -0.2f, 0.7f}, 6.0f);
        return Rgb{c.r + s * 1.2f + rim * MAGENTA.r * 0.5f, c.g + s * 1.1f + rim * MAGENTA.g * 0.5f,
                   c.b + s * 0.9f + rim * MAGENTA.b * 0.5f};
    });
}

Rgb8 shade2Map()
{
    /* Pearl: hue drifting from magenta to cyan with the normal's angle, a
     * soft sheen and a sharp highlight. */
    return sphereMap(256, [](V3f n, V3f r) {
        /* Upward normals magenta, downward cyan, violet in between. */
        float t = 0.5f - 0.5f * n.y / std::sqrt(n.x * n.x + n.y * n.y + 1e-6f);
        Rgb hue = gradientAt({{0.0f, MAGENTA}, {0.5f, rgb8(150, 80, 230)}, {1.0f, CYAN}}, t);
        float facing = -n.z;
        Rgb c = mix(hue, scale(VIOLET, 0.9f), std::pow(facing, 3.0f) * 0.6f);
        Rgb env = environment(r, rgb8(60, 30, 110), rgb8(255, 200, 230), rgb8(50, 20, 60), rgb8(10, 6, 24));
        c = mix(c, env, 0.2f);
        float s = specular(r, {-0.4f, 0.6f, -0.7f}, 60.0f) + 0.4f * specular(r, {0.6f, 0.5f, -0.6f}, 12.0f);
        return Rgb{c.r + s, c.g + s, c.b + s};
    });
}

Rgb8 chromeMap()
{
    /* Chrome: a clean reflected world of indigo sky, a white-hot horizon and
     * a dark violet floor, with an amber sun low on the left. */
    return sphereMap(256, [](V3f n, V3f r) {
        (void)n;
        Rgb env = environment(r, rgb8(20, 40, 120), rgb8(235, 240, 255), rgb8(90, 40, 110), rgb8(12, 8, 30));
        float band = std::exp(-std::pow(r.y * 14.0f, 2.0f));
        env = mix(env, WHITE, band * 0.6f);
        float sun = specular(r, {-0.7f, 0.15f, 0.7f}, 30.0f);
        float key = specular(r, {0.3f, 0.8f, -0.5f}, 80.0f);
        return Rgb{env.r + sun * AMBER.r + key, env.g + sun * AMBER.g + key, env.b + sun * AMBER.b + key};
    });
}

Rgb8 shipMap()
{
    /* Polished white gold: a white sky, a gold horizon and an amber floor
     * reflected, lit from above. Even the darkest part is a bright amber, so
     * the few pixels the tunnel's stipple leaves of the ship still stand out
     * against the dark indigo wall and away from its cyan seams. */
    return sphereMap(256, [](V3f n, V3f r) {
        Rgb env = environment(r, rgb8(255, 252, 240), GOLD, AMBER, rgb8(230, 120, 40));
        float d = diffuse(n, {0.3f, 0.8f, -0.5f});
        Rgb c = mix(scale(env, 0.8f), WHITE, 0.35f * d);
        float s = specular(r, {-0.3f, 0.8f, -0.5f}, 40.0f);
        return Rgb{c.r + s, c.g + s, c.b + s};
    });
}

/* ---- Tiling textures ----------------------------------------------------------- */

/* The tunnel wall, 256x256, tiling both ways: riveted indigo panels between
 * glowing cyan seams, with an amber running light in every other panel. */
Rgb8 tunnelTex()
{
    const int S = 256;
    Img img = img_make(S, S, NIGHT);
    img_map(img, [&](int x, int y, const Rgb&) {
        float n = noiseTile((float)x / 16.0f, (float)y / 16.0f, 16, 11u) * 0.6f +
                  noiseTile((float)x / 4.0f, (float)y / 4.0f, 64, 12u) * 0.4f;
        /* Panels 64 texels wide and 128 high, each lit from its top. */
        float py = (float)(y % 128) / 128.0f;
        Rgb panel = mix(rgb8(46, 36, 104), rgb8(18, 14, 48), py);
        return mix(panel, scale(panel, 0.55f), n);
    });
    Mask seams = mask_make(S, S), lights = mask_make(S, S), rivets = mask_make(S, S);
    for (int k = 0; k <= 4; k++) {
        mask_line(seams, (float)(k * 64), -4.0f, (float)(k * 64), (float)S + 4.0f, 1.2f);
    }
    for (int k = 0; k <= 2; k++)
        mask_line(seams, -4.0f, (float)(k * 128), (float)S + 4.0f, (float)(k * 128), 1.5f);
    for (int px = 0; px < 4; px++)
        for (int pyi = 0; pyi < 2; pyi++) {
            float x0 = (float)(px * 64), y0 = (float)(pyi * 128);
            for (int c = 0; c < 4; c++)
                mask_disc(rivets, x0 + ((c & 1) ? 56.0f : 8.0f), y0 + ((c & 2) ? 120.0f : 8.0f), 2.2f);
            if ((px + pyi) % 2 == 0)
                mask_rrect(lights, x0 + 29.0f, y0 + 40.0f, x0 + 35.0f, y0 + 88.0f, 3.0f);
        }
    /* A magenta band round the tunnel below the lights of each panel row
     * marks the distance flown. */
    Mask band = mask_make(S, S);
    mask_line(band, -4.0f, 108.0f, (float)S + 4.0f, 108.0f, 2.0f);
    mask_line(band, -4.0f, 236.0f, (float)S + 4.0f, 236.0f, 2.0f);
    img_glow(img, band, MAGENTA, 4, 0.5f);
    img_add(img, band, MAGENTA, 0.5f);
    img_paint(img, rivets, rgb8(120, 110, 170));
    Mask seamGlow = seams;
    img_glow(img, seamGlow, CYAN, 3, 0.7f);
    img_add(img, seams, CYAN, 0.9f);
    img_glow(img, lights, AMBER, 5, 0.6f);
    img_add(img, lights, GOLD, 0.6f);
    return img_quantise(img, Q_OPAQUE);
}

/* The road, 256x256, tiling along its length: dark asphalt with a faint
 * cyan grid, amber edge lines and a dashed magenta centre. The texture spans
 * the road's width once. */
Rgb8 groundTex()
{
    const int S = 256;
    Img img = img_make(S, S, NIGHT);
    img_map(img, [&](int x, int y, const Rgb&) {
        float n = noiseTile((float)x / 8.0f, (float)y / 8.0f, 32, 21u);
        return mix(rgb8(22, 16, 52), rgb8(12, 9, 30), n);
    });
    Mask grid = mask_make(S, S), edge = mask_make(S, S), dash = mask_make(S, S);
    for (int k = 1; k < 8; k++) {
        mask_line(grid, (float)(k * 32), -2.0f, (float)(k * 32), (float)S + 2.0f, 0.5f, 0.5f);
        mask_line(grid, -2.0f, (float)(k * 32), (float)S + 2.0f, (float)(k * 32), 0.5f, 0.5f);
    }
    mask_line(grid, -2.0f, 0.0f, (float)S + 2.0f, 0.0f, 0.5f, 0.5f);
    mask_line(edge, 14.0f, -2.0f, 14.0f, (float)S + 2.0f, 2.2f);
    mask_line(edge, (float)S - 14.0f, -2.0f, (float)S - 14.0f, (float)S + 2.0f, 2.2f);
    mask_line(dash, 128.0f, 20.0f, 128.0f, 108.0f, 2.0f);
    mask_line(dash, 128.0f, 148.0f, 128.0f, 236.0f, 2.0f);
    img_add(img, grid, CYAN, 0.35f);
    img_glow(img, edge, AMBER, 4, 0.8f);
    img_add(img, edge, GOLD, 0.9f);
    img_glow(img, dash, MAGENTA, 3, 0.5f);
    img_add(img, dash, MAGENTA, 0.6f);
    return img_quantise(img, Q_OPAQUE);
}

/* The greetings, 512x512: eight bands of 64 rows, the names in bands 0-5,
 * light on black (the scene adds them onto the road). */
Rgb8 greetsTex()
{
    const int S = 512, BAND = S / GREET_BANDS;
    Img img = img_make(S, S, BLACK);
    for (int j = 0; j < 6; j++) {
        Mask m = mask_make(S, S);
        float base = (float)(j * BAND) + 50.0f;
        float size = 46.0f;
        float w = text_width(FONT_CONDENSED_BOLD, size, GREETED[j], 2.0f);
        if (w > 480.0f)
            size *= 480.0f / w;
        text_draw(m, FONT_CONDENSED_BOLD, size, GREETED[j], 256.0f, base, ALIGN_CENTRE, 2.0f);
        Rgb hue = j % 3 == 0 ? AMBER : (j % 3 == 1 ? MAGENTA : CYAN);
        /* The glow stays inside the band so no name bleeds into the next. */
        Mask g = m;
        mask_blur(g, 3);
        for (int y = 0; y < S; y++)
            if (y < j * BAND + 2 || y >= (j + 1) * BAND - 2)
                for (int x = 0; x < S; x++)
                    g.at(x, y) = 0.0f;
        img_add(img, g, hue, 1.1f);
        gradientFill(img, m, WHITE, mix(WHITE, hue, 0.5f), base - 36.0f, base);
    }
    return additive(img);
}

/* ---- Landscapes ---------------------------------------------------------------- */

/* A ridge line: the height above baseY at x, from octaves of noise. */
float ridge(float x, float amp, float freq, uint32_t seed)
{
    return amp * (fbm(x * freq, 0.5f, 5, seed) - 0.25f);
}

/* Fills below a ridge with colour c (anti-aliased top edge). */
Mask ridgeMask(int w, int h, float baseY, float amp, float freq, uint32_t seed)
{
    Mask m = mask_make(w, h);
    for (int x = 0; x < w; x++) {
        float top = baseY - ridge((float)x, amp, freq, seed);
        for (int y = 0; y < h; y++)
            m.at(x, y) = std::clamp((float)y + 0.5f - top, 0.0f, 1.0f);
    }
    return m;
}

/* The loading screen: the group's name over a dusk horizon. The top rows
 * stay near black for the progress dots. */
Rgb8 groupPic()
{
    Img img = img_make(W, H, BLACK);
    img_vgradient(img, {{0.0f, BLACK}, {0.08f, NIGHT}, {0.45f, INDIGO}, {0.78f, VIOLET}, {0.86f, DUSK}, {0.88f, AMBER}});
    stars(img, 140, 101, 180.0f, 0.8f, {160.0f, 110.0f, 150.0f, 62.0f});
    /* Rows 0-11 hold the progress dots: keep them dark. */
    for (int y = 0; y < 12; y++)
        for (int x = 0; x < W; x++)
            img.at(x, y) = scale(img.at(x, y), 0.15f);
    Mask far = ridgeMask(W, H, 206.0f, 34.0f, 0.012f, 5u);
    img_paint(img, far, rgb8(40, 22, 70));
    Mask nearR = ridgeMask(W, H, 222.0f, 30.0f, 0.02f, 6u);
    img_paint(img, nearR, INK);
    Mask ring = mask_make(W, H);
    mask_ring(ring, 160.0f, 104.0f, 64.0f, 1.0f);
    img_glow(img, ring, CYAN, 4, 0.7f);
    img_add(img, ring, CYAN, 0.6f);
    Mask name = mask_make(W, H);
    text_draw(name, FONT_SANS_BOLD, 42.0f, "BRINDELS", 160.0f, 120.0f, ALIGN_CENTRE, 3.0f);
    img_glow(img, name, MAGENTA, 8, 0.9f);
    img_glow(img, name, AMBER, 3, 0.6f);
    gradientFill(img, name, GOLD, MAGENTA, 88.0f, 122.0f);
    Mask sub = mask_make(W, H);
    text_draw(sub, FONT_SANS, 12.0f, "loading orvel", 160.0f, 146.0f, ALIGN_CENTRE, 4.0f);
    img_glow(img, sub, CYAN, 3, 0.5f);
    img_paint(img, sub, WHITE);
    return img_quantise(img, Q_OPAQUE);
}

/* The title scenes' backdrop, 1024x240, opaque: a striped sunset sun behind
 * two mountain ranges, a starry sky and a glowing grid floor. */
Rgb8 titleBackdrop()
{
    const int BW = 1024, HORIZON = 176;
    Img img = img_make(BW, H, BLACK);
    img_vgradient(img, {{0.0f, NIGHT}, {0.35f, INDIGO}, {0.58f, VIOLET}, {0.70f, DUSK}, {0.735f, AMBER}, {0.74f, NIGHT}, {1.0f, INDIGO}});
    stars(img, 420, 202, 140.0f, 0.9f);
    /* Sun: a disc graded gold to magenta, cut by widening gaps near its foot. */
    Mask sun = mask_make(BW, H);
    mask_disc(sun, 330.0f, 150.0f, 58.0f);
    for (int y = 0; y < H; y++) {
        float gap = (float)y - 128.0f;
        for (int k = 0; k < 6; k++) {
            float cy = 128.0f + (float)k * 9.0f, half = 0.6f + (float)k * 0.55f;
            if (std::fabs(gap - (cy - 128.0f)) < half)
                for (int x = 0; x < BW; x++)
                    sun.at(x, y) = 0.0f;
        }
    }
    img_glow(img, sun, MAGENTA, 16, 0.7f);
    img_glow(img, sun, AMBER, 6, 0.5f);
    gradientFill(img, sun, GOLD, MAGENTA, 92.0f, 200.0f);
    /* A cool little moon far to the right. */
    Mask moon = mask_make(BW, H), bite = mask_make(BW, H);
    mask_disc(moon, 800.0f, 52.0f, 13.0f);
    mask_disc(bite, 806.0f, 48.0f, 12.0f);
    for (size_t i = 0; i < moon.a.size(); i++)
        moon.a[i] *= 1.0f - bite.a[i];
    img_glow(img, moon, CYAN, 6, 0.6f);
    img_paint(img, moon, rgb8(220, 240, 255));
    /* Mountain ranges, rim-lit by the sun. */
    Mask far = ridgeMask(BW, H, 168.0f, 60.0f, 0.006f, 31u);
    Mask farRim = mask_shift(far, 0, -1);
    for (size_t i = 0; i < far.a.size(); i++)
        farRim.a[i] = std::max(0.0f, farRim.a[i] - far.a[i]);
    img_paint(img, far, rgb8(52, 26, 84));
    img_add(img, farRim, DUSK, 0.8f);
    Mask nearR = ridgeMask(BW, H, 178.0f, 40.0f, 0.011f, 32u);
    img_paint(img, nearR, rgb8(22, 14, 48));
    /* The floor: a perspective grid converging on the horizon. */
    Mask grid = mask_make(BW, H);
    for (int k = 0; k < 14; k++) {
        float z = 1.0f + (float)k * 0.55f;
        float y = (float)HORIZON + 64.0f / z;
        if (y < (float)HORIZON + 2.0f || y > (float)H)
            continue;
        mask_line(grid, -4.0f, y, (float)BW + 4.0f, y, 0.45f, 0.9f);
    }
    for (int k = -40; k <= 40; k++) {
        float xb = 512.0f + (float)k * 60.0f;
        mask_line(grid, 512.0f + (float)k * 6.0f, (float)HORIZON + 1.0f, xb, (float)H + 40.0f, 0.5f, 0.8f);
    }
    for (int y = 0; y <= HORIZON; y++)
        for (int x = 0; x < BW; x++)
            grid.at(x, y) = 0.0f;
    img_glow(img, grid, MAGENTA, 2, 0.6f);
    img_add(img, grid, MAGENTA, 0.7f);
    Mask hline = mask_make(BW, H);
    mask_line(hline, -4.0f, (float)HORIZON, (float)BW + 4.0f, (float)HORIZON, 0.6f);
    img_glow(img, hline, AMBER, 3, 0.8f);
    return img_quantise(img, Q_OPAQUE);
}

/* Hills with pines and a radio mast, keyed, for the title scenes (drawn 60
 * rows down, so rows 120-180 of it show at the bottom of the screen). */
Rgb8 titleForeground()
{
    Img img = img_make(W, H, INK);
    Mask opaque = mask_make(W, H);
    for (int x = 0; x < W; x++) {
        float t = (float)x / (float)W;
        float top = 200.0f - 78.0f * std::pow(t, 0.8f) - ridge((float)x, 14.0f, 0.03f, 41u);
        for (int y = 0; y < H; y++)
            opaque.at(x, y) = (float)y + 0.5f >= top ? 1.0f : 0.0f;
    }
    Rng r = rng_make(42);
    for (int i = 0; i < 16; i++) {
        float x = 40.0f + rng_range(&r, 0.0f, 250.0f);
        int ix = std::clamp((int)x, 0, W - 1);
        float ground = 0.0f;
        for (int y = 0; y < H; y++)
            if (opaque.at(ix, y) > 0.5f) {
                ground = (float)y;
                break;
            }
        float hgt = 18.0f + rng_range(&r, 0.0f, 22.0f), wid = hgt * 0.36f;
        for (int tier = 0; tier < 3; tier++) {
            float ty = ground - hgt * (0.35f + 0.3f * (float)tier), tw = wid * (1.0f - 0.25f * (float)tier);
            mask_polygon(opaque, {x, ty - hgt * 0.38f, x + tw, ty + 2.0f, x - tw, ty + 2.0f});
        }
        mask_line(opaque, x, ground - 4.0f, x, ground + 2.0f, 1.2f);
    }
    /* Radio mast with a lamp. */
    float mx = 286.0f, mtop = 58.0f;
    mask_line(opaque, mx - 7.0f, 128.0f, mx, mtop, 1.0f);
    mask_line(opaque, mx + 7.0f, 128.0f, mx, mtop, 1.0f);
    for (int k = 0; k < 6; k++) {
        float y = mtop + 10.0f + (float)k * 11.0f, hw = 1.0f + (float)k * 1.0f;
        mask_line(opaque, mx - hw, y, mx + hw, y + 5.0f, 0.6f);
        mask_line(opaque, mx + hw, y, mx - hw, y + 5.0f, 0.6f);
    }
    mask_harden(opaque);
    /* Rim light along the top edge, from the sunset behind. */
    Mask rim = mask_make(W, H);
    for (int y = 1; y < H; y++)
        for (int x = 0; x < W; x++)
            if (opaque.at(x, y) > 0.5f && opaque.at(x, y - 1) < 0.5f)
                rim.at(x, y) = 1.0f;
    img_paint(img, rim, rgb8(120, 50, 110));
    Mask lamp = mask_make(W, H);
    mask_disc(lamp, mx, mtop - 1.0f, 2.6f);
    mask_harden(lamp);
    img_paint(img, lamp, rgb8(255, 90, 80));
    for (size_t i = 0; i < opaque.a.size(); i++)
        opaque.a[i] = std::max(opaque.a[i], lamp.a[i]);
    return img_quantise(img, Q_KEYED, &opaque);
}

/* ---- Captions, added onto the screen ------------------------------------------------- */

Rgb8 captionA()
{
    Img img = img_make(W, H, BLACK);
    Mask m = mask_make(W, H);
    text_draw(m, FONT_SANS_LIGHT, 30.0f, "a demo by", 166.0f, 92.0f, ALIGN_CENTRE, 3.0f);
    glowText(img, m, WHITE, AMBER);
    return additive(img);
}

Rgb8 captionGroup()
{
    Img img = img_make(W, H, BLACK);
    Mask m = mask_make(W, H);
    float w = text_draw(m, FONT_SANS_BOLD, 42.0f, "BRINDELS", 166.0f, 100.0f, ALIGN_CENTRE, 4.0f);
    img_glow(img, m, MAGENTA, 10, 1.0f);
    img_glow(img, m, AMBER, 3, 0.7f);
    gradientFill(img, m, GOLD, MAGENTA, 68.0f, 102.0f);
    Mask line = mask_make(W, H);
    mask_line(line, 166.0f - w * 0.5f, 114.0f, 166.0f + w * 0.5f, 114.0f, 0.6f);
    img_glow(img, line, CYAN, 3, 0.8f);
    img_add(img, line, CYAN, 0.8f);
    return additive(img);
}

Rgb8 captionTitle()
{
    Img img = img_make(W, H, BLACK);
    Mask m = mask_make(W, H);
    text_draw(m, FONT_SERIF_BOLDITALIC, 76.0f, "Orvel", 166.0f, 112.0f, ALIGN_CENTRE, 1.0f);
    img_glow(img, m, MAGENTA, 14, 0.9f);
    img_glow(img, m, CYAN, 4, 0.7f);
    gradientFill(img, m, WHITE, CYAN, 58.0f, 114.0f);
    Mask sub = mask_make(W, H);
    text_draw(sub, FONT_SANS, 11.0f, "a realtime demo by brindels", 166.0f, 136.0f, ALIGN_CENTRE, 3.0f);
    glowText(img, sub, GOLD, AMBER, 0.5f);
    return additive(img);
}

Rgb8 captionEnd()
{
    Img img = img_make(W, H, BLACK);
    Mask m = mask_make(W, H);
    text_draw(m, FONT_SERIF_BOLDITALIC, 50.0f, "the end", 166.0f, 102.0f, ALIGN_CENTRE, 1.0f);
    img_glow(img, m, AMBER, 12, 0.9f);
    img_glow(img, m, MAGENTA, 4, 0.6f);
    gradientFill(img, m, WHITE, GOLD, 62.0f, 106.0f);
    Mask sub = mask_make(W, H);
    text_draw(sub, FONT_SANS, 12.0f, "thank you for watching", 166.0f, 126.0f, ALIGN_CENTRE, 3.0f);
    glowText(img, sub, WHITE, CYAN, 0.5f);
    return additive(img);
}

/* A credit on the left of the flower: a small label above a name. */
Rgb8 credit(const char* label, const char* name, const Rgb& hue)
{
    Img img = img_make(W, H, BLACK);
    Mask l = mask_make(W, H), n = mask_make(W, H), line = mask_make(W, H);
    text_draw(l, FONT_SANS, 13.0f, label, 22.0f, 38.0f, ALIGN_LEFT, 4.0f);
    float w = text_draw(n, FONT_SANS_BOLD, 30.0f, name, 20.0f, 72.0f, ALIGN_LEFT, 1.0f);
    mask_line(line, 22.0f, 84.0f, 22.0f + w, 84.0f, 0.6f);
    glowText(img, l, WHITE, CYAN, 0.5f);
    img_glow(img, n, hue, 9, 0.9f);
    img_glow(img, n, AMBER, 3, 0.5f);
    gradientFill(img, n, WHITE, mix(hue, GOLD, 0.5f), 50.0f, 74.0f);
    img_glow(img, line, hue, 3, 0.7f);
    img_add(img, line, hue, 0.7f);
    return additive(img);
}

Rgb8 creditCode() { return credit("code", "Ossik", AMBER); }
Rgb8 creditMusic() { return credit("music", "Quillmar", MAGENTA); }
Rgb8 creditGraphics() { return credit("graphics", "Ilvo", CYAN); }

/* The banner over the robots and greetings: friendly words to fellow demo
 * makers, in the sky above the road. */
Rgb8 banner()
{
    Img img = img_make(W, H, BLACK);
    Mask m = mask_make(W, H), s = mask_make(W, H);
    text_draw(m, FONT_SANS_BOLD, 25.0f, "hugs & respect", 160.0f, 32.0f, ALIGN_CENTRE, 2.0f);
    text_draw(s, FONT_SANS, 11.0f, "to every demo maker out there", 160.0f, 48.0f, ALIGN_CENTRE, 3.0f);
    img_glow(img, m, MAGENTA, 8, 0.9f);
    gradientFill(img, m, WHITE, GOLD, 14.0f, 33.0f);
    glowText(img, s, WHITE, CYAN, 0.5f);
    return additive(img);
}

/* A "software rendered" badge (loaded by the demo, never shown). */
Rgb8 softwareBadge()
{
    Img img = img_make(W, H, BLACK);
    Mask frame = mask_make(W, H), inner = mask_make(W, H);
    mask_rrect(frame, 58.0f, 92.0f, 262.0f, 148.0f, 12.0f);
    mask_rrect(inner, 60.0f, 94.0f, 260.0f, 146.0f, 10.5f);
    for (size_t i = 0; i < frame.a.size(); i++)
        frame.a[i] = std::max(0.0f, frame.a[i] - inner.a[i]);
    img_glow(img, frame, CYAN, 4, 0.7f);
    img_add(img, frame, CYAN, 0.8f);
    Mask t = mask_make(W, H), s = mask_make(W, H);
    text_draw(t, FONT_SANS_BOLD, 19.0f, "software rendered", 160.0f, 122.0f, ALIGN_CENTRE, 1.0f);
    text_draw(s, FONT_SANS, 9.0f, "fixed point, every pixel", 160.0f, 137.0f, ALIGN_CENTRE, 2.0f);
    glowText(img, t, WHITE, AMBER, 0.6f);
    glowText(img, s, GOLD, AMBER, 0.3f);
    return additive(img);
}

/* The tunnel's cockpit display: corner brackets, a reticle, two ladders and
 * small readouts, kept dim so the tunnel shows through. */
Rgb8 shipLayer()
{
    Img img = img_make(W, H, BLACK);
    Mask hud = mask_make(W, H);
    const float IN = 10.0f, ARM = 26.0f;
    for (int c = 0; c < 4; c++) {
        float x = (c & 1) ? (float)W - IN : IN, y = (c & 2) ? (float)H - IN : IN;
        float dx = (c & 1) ? -ARM : ARM, dy = (c & 2) ? -ARM : ARM;
        mask_line(hud, x, y, x + dx, y, 0.8f);
        mask_line(hud, x, y, x, y + dy, 0.8f);
    }
    mask_ring(hud, 160.0f, 120.0f, 16.0f, 0.6f, 0.8f);
    for (int k = 0; k < 4; k++) {
        float a = (float)k * PI * 0.5f;
        mask_line(hud, 160.0f + std::cos(a) * 20.0f, 120.0f + std::sin(a) * 20.0f, 160.0f + std::cos(a) * 28.0f,
                  120.0f + std::sin(a) * 28.0f, 0.6f, 0.8f);
    }
    for (int k = 0; k <= 12; k++) {
        float y = 60.0f + (float)k * 10.0f, len = k % 4 == 0 ? 9.0f : 5.0f;
        mask_line(hud, 22.0f, y, 22.0f + len, y, 0.5f, 0.7f);
        mask_line(hud, (float)W - 22.0f, y, (float)W - 22.0f - len, y, 0.5f, 0.7f);
    }
    img_glow(img, hud, CYAN, 3, 0.6f);
    img_add(img, hud, CYAN, 0.55f);
    Mask t = mask_make(W, H);
    text_draw(t, FONT_SANS, 9.0f, "orvel flight deck", 160.0f, 24.0f, ALIGN_CENTRE, 3.0f);
    text_draw(t, FONT_SANS, 9.0f, "hull 100%", 40.0f, 222.0f, ALIGN_LEFT, 1.5f);
    text_draw(t, FONT_SANS, 9.0f, "sector 7", (float)W - 40.0f, 222.0f, ALIGN_RIGHT, 1.5f);
    img_glow(img, t, AMBER, 2, 0.5f);
    img_add(img, t, GOLD, 0.8f);
    return additive(img);
}

/* ---- Captions drawn with the key over the fractal ---------------------------------- */

Rgb8 fractalCaption(const char* title, const char* sub, bool top)
{
    Img img = img_make(W, H, BLACK);
    Mask opaque = mask_make(W, H), t = mask_make(W, H), s = mask_make(W, H);
    float base = top ? 44.0f : 214.0f;
    float x = top ? (float)W - 14.0f : 14.0f;
    Align a = top ? ALIGN_RIGHT : ALIGN_LEFT;
    text_draw(t, FONT_SANS_BOLD, 30.0f, title, x, base, a, 1.0f);
    text_draw(s, FONT_SANS_BOLD, 11.0f, sub, x, base + 16.0f, a, 2.0f);
    keyedText(img, opaque, t, GOLD, AMBER, INK, 2, base - 24.0f, base);
    keyedText(img, opaque, s, WHITE, rgb8(200, 230, 255), INK, 1, base + 6.0f, base + 16.0f);
    return img_quantise(img, Q_KEYED, &opaque);
}

Rgb8 fractalText() { return fractalCaption("fractal", "62 steps a pixel, fixed point", false); }
Rgb8 fractalAgainText() { return fractalCaption("fractal again", "deeper this time", true); }

/* ---- Backdrops (loaded, never drawn) ------------------------------------------------- */

/* Aurora curtains over a still lake. */
Rgb8 backdropA()
{
    Img img = img_make(W, H, BLACK);
    img_vgradient(img, {{0.0f, NIGHT}, {0.6f, INDIGO}, {0.66f, VIOLET}, {0.67f, NIGHT}, {1.0f, INDIGO}});
    stars(img, 120, 301, 150.0f, 0.7f);
    Img sky = img_make(W, 160, BLACK);
    for (int band = 0; band < 3; band++) {
        Mask m = mask_make(W, 160);
        for (int x = 0; x < W; x++) {
            float cy = 60.0f + (float)band * 18.0f + 22.0f * std::sin((float)x * 0.021f + (float)band * 1.7f) +
                       10.0f * (fbm((float)x * 0.02f, (float)band, 3, 310u) - 0.5f);
            for (int y = 0; y < 160; y++) {
                float d = (cy - (float)y) / 36.0f;
                m.at(x, y) = d > 0.0f ? std::exp(-d * 3.0f) * (0.5f + 0.5f * fbm((float)x * 0.08f, 3.0f, 3, 320u))
                                      : std::exp(-d * d * 40.0f);
            }
        }
        img_add(sky, m, band == 1 ? MAGENTA : CYAN, 0.45f);
    }
    for (int y = 0; y < 160; y++)
        for (int x = 0; x < W; x++) {
            Rgb& p = img.at(x, y);
            const Rgb& a = sky.at(x, y);
            p = {p.r + a.r, p.g + a.g, p.b + a.b};
            /* The lake mirrors the sky below row 160, darkened and rippled. */
            int my = 319 - y;
            if (my < H) {
                float ripple = 0.6f + 0.4f * std::sin((float)my * 1.3f + (float)x * 0.05f);
                Rgb& q = img.at(x, my);
                q = {q.r + a.r * 0.45f * ripple, q.g + a.g * 0.45f * ripple, q.b + a.b * 0.45f * ripple};
            }
        }
    Mask hills = ridgeMask(W, H, 158.0f, 26.0f, 0.015f, 330u);
    for (int y = 161; y < H; y++)
        for (int x = 0; x < W; x++)
            hills.at(x, y) = 0.0f;
    img_paint(img, hills, INK);
    return img_quantise(img, Q_OPAQUE);
}

/* A nebula with a ringed planet. */
Rgb8 backdropB()
{
    Img img = img_make(W, H, NIGHT);
    img_map(img, [&](int x, int y, const Rgb& c) {
        float n = fbm((float)x * 0.012f, (float)y * 0.012f, 6, 401u);
        float m = fbm((float)x * 0.02f + 7.0f, (float)y * 0.02f, 5, 402u);
        float k = std::pow(std::max(0.0f, n - 0.35f) * 1.6f, 1.6f);
        Rgb neb = mix(MAGENTA, CYAN, std::clamp(m * 1.4f - 0.2f, 0.0f, 1.0f));
        return Rgb{c.r + neb.r * k * 0.6f, c.g + neb.g * k * 0.6f, c.b + neb.b * k * 0.6f};
    });
    stars(img, 220, 403, (float)H, 0.8f);
    Mask planet = mask_make(W, H), ringBack = mask_make(W, H), ringFront = mask_make(W, H);
    mask_disc(planet, 214.0f, 138.0f, 46.0f);
    mask_ellipse(ringBack, 214.0f, 138.0f, 86.0f, 16.0f);
    Mask hole = mask_make(W, H);
    mask_ellipse(hole, 214.0f, 138.0f, 66.0f, 11.0f);
    for (size_t i = 0; i < ringBack.a.size(); i++)
        ringBack.a[i] = std::max(0.0f, ringBack.a[i] - hole.a[i]);
    ringFront = ringBack;
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++)
            if (y < 138)
                ringFront.at(x, y) = 0.0f;
    img_paint(img, ringBack, rgb8(150, 110, 90), 0.8f);
    img_paintFn(img, planet, [&](int x, int y) {
        float nx = ((float)x - 214.0f) / 46.0f, ny = ((float)y - 138.0f) / 46.0f;
        float lit = std::clamp(0.2f - nx * 0.7f - ny * 0.5f, 0.0f, 1.0f);
        float bands = 0.5f + 0.5f * std::sin(ny * 14.0f + fbm((float)x * 0.05f, (float)y * 0.2f, 3, 404u) * 3.0f);
        return mix(rgb8(30, 16, 50), mix(AMBER, rgb8(200, 90, 60), bands), lit);
    });
    img_paint(img, ringFront, rgb8(190, 150, 120), 0.9f);
    return img_quantise(img, Q_OPAQUE);
}

/* ---- Scrolling layers, added onto the screen ---------------------------------------- */

/* Soft bokeh drifting past the flower: magenta, cyan and amber discs. */
Rgb8 pollenLayer()
{
    const int LH = 768;
    Img img = img_make(W, LH, BLACK);
    Rng r = rng_make(501);
    for (int i = 0; i < 70; i++) {
        float x = rng_range(&r, 0, (float)W), y = rng_range(&r, 0, (float)LH);
        float rad = 1.5f + 8.0f * std::pow(rng_unit(&r), 2.0f);
        float pick = rng_unit(&r);
        Rgb c = pick < 0.4f ? MAGENTA : (pick < 0.75f ? CYAN : AMBER);
        Mask m = mask_make(W, LH);
        mask_disc(m, x, y, rad);
        mask_ring(m, x, y, rad - 0.7f, 0.7f, 1.0f);
        img_add(img, m, c, 0.10f + 0.16f * rng_unit(&r));
        Mask ringOnly = mask_make(W, LH);
        mask_ring(ringOnly, x, y, rad - 0.7f, 0.6f);
        img_add(img, ringOnly, c, 0.12f);
    }
    stars(img, 160, 502, (float)LH, 0.5f);
    return additive(img);
}

/* A starfield with a few shooting stars, for the cube. */
Rgb8 starLayer()
{
    const int LH = 768;
    Img img = img_make(W, LH, BLACK);
    stars(img, 700, 601, (float)LH, 0.9f);
    Rng r = rng_make(602);
    for (int i = 0; i < 5; i++) {
        float x = rng_range(&r, 20, 300), y = rng_range(&r, 40, 720), len = rng_range(&r, 30, 70);
        Mask m = mask_make(W, LH);
        for (int k = 0; k < 12; k++) {
            float a = (float)k / 12.0f;
            mask_line(m, x - len * a, y - len * a * 0.45f, x - len * (a + 0.09f), y - len * (a + 0.09f) * 0.45f, 0.6f,
                      1.0f - a);
        }
        img_glow(img, m, CYAN, 2, 0.5f);
        img_add(img, m, WHITE, 0.7f);
    }
    return additive(img);
}

/* Embers rising with short trails, for the deformed ball. */
Rgb8 emberLayer()
{
    const int LH = 768;
    Img img = img_make(W, LH, BLACK);
    Rng r = rng_make(701);
    Mask heads = mask_make(W, LH), trails = mask_make(W, LH), pink = mask_make(W, LH);
    for (int i = 0; i < 120; i++) {
        float x = rng_range(&r, 0, (float)W), y = rng_range(&r, 0, (float)LH);
        float b = 0.3f + 0.7f * rng_unit(&r), len = 6.0f + 22.0f * rng_unit(&r);
        Mask& h = rng_unit(&r) < 0.25f ? pink : heads;
        mask_disc(h, x, y, 0.9f + 0.9f * b, b);
        for (int k = 0; k < 8; k++) {
            float a = (float)k / 8.0f;
            mask_line(trails, x, y + len * a, x + 1.5f * a, y + len * (a + 0.125f), 0.5f, b * (1.0f - a) * 0.6f);
        }
    }
    img_glow(img, heads, AMBER, 3, 0.9f);
    img_add(img, heads, GOLD, 1.0f);
    img_glow(img, pink, MAGENTA, 3, 0.9f);
    img_add(img, pink, rgb8(255, 180, 220), 1.0f);
    img_add(img, trails, AMBER, 0.5f);
    return additive(img);
}

/* Ribbons of aurora light (loaded, never drawn). */
Rgb8 auroraLayer()
{
    Img img = img_make(W, H, BLACK);
    for (int band = 0; band < 4; band++) {
        Mask m = mask_make(W, H);
        for (int x = 0; x < W; x++) {
            float cy = 120.0f + 50.0f * std::sin((float)x * 0.018f + (float)band * 1.3f) * (band % 2 ? 1.0f : -0.7f);
            for (int y = 0; y < H; y++) {
                float d = ((float)y - cy) / 10.0f;
                m.at(x, y) = std::exp(-d * d);
            }
        }
        img_add(img, m, band % 2 ? CYAN : MAGENTA, 0.4f);
    }
    return additive(img);
}

/* ---- Foregrounds drawn with the key ---------------------------------------------------- */

/* Grass and small flowers along the bottom left, for the flower scene. */
Rgb8 grassForeground()
{
    Img img = img_make(W, H, INK);
    Mask opaque = mask_make(W, H), blooms = mask_make(W, H);
    Rng r = rng_make(801);
    for (int i = 0; i < 90; i++) {
        float x = 230.0f * std::pow(rng_unit(&r), 1.4f);
        float hgt = 18.0f + 60.0f * rng_unit(&r) * (1.0f - x / 300.0f);
        float lean = rng_range(&r, -14.0f, 14.0f), wid = 2.0f + 2.5f * rng_unit(&r);
        std::vector<float> poly;
        const int SEG = 6;
        for (int k = 0; k <= SEG; k++) {
            float a = (float)k / (float)SEG;
            poly.push_back(x - wid * (1.0f - a) + lean * a * a);
            poly.push_back((float)H - hgt * a);
        }
        for (int k = SEG; k >= 0; k--) {
            float a = (float)k / (float)SEG;
            poly.push_back(x + wid * (1.0f - a) + lean * a * a);
            poly.push_back((float)H - hgt * a);
        }
        poly.push_back(x + wid);
        poly.push_back((float)H + 2.0f);
        poly.push_back(x - wid);
        poly.push_back((float)H + 2.0f);
        mask_polygon(opaque, poly);
        if (i % 11 == 3) {
            mask_line(opaque, x, (float)H, x + lean * 0.5f, (float)H - hgt - 12.0f, 0.9f);
            mask_disc(blooms, x + lean * 0.5f, (float)H - hgt - 14.0f, 4.0f);
        }
    }
    mask_harden(opaque);
    mask_harden(blooms);
    img_paintFn(img, opaque, [&](int, int y) { return mix(rgb8(60, 36, 110), INK, std::clamp(((float)y - 170.0f) / 60.0f, 0.0f, 1.0f)); });
    img_paint(img, blooms, AMBER);
    Mask heart = blooms;
    mask_blur(heart, 1);
    img_add(img, heart, GOLD, 0.5f);
    for (size_t i = 0; i < opaque.a.size(); i++)
        opaque.a[i] = std::max(opaque.a[i], blooms.a[i]);
    return img_quantise(img, Q_KEYED, &opaque);
}

/* The group's mascot, an owl on a branch at the bottom left, for the cube
 * scenes. */
Rgb8 owlForeground()
{
    Img img = img_make(W, H, INK);
    Mask opaque = mask_make(W, H);
    const float CX = 70.0f, CY = 188.0f;
    /* Branch with leaves. */
    Mask branch = mask_make(W, H), leaves = mask_make(W, H);
    mask_line(branch, -10.0f, 232.0f, 150.0f, 218.0f, 5.0f);
    mask_line(branch, 110.0f, 221.0f, 150.0f, 200.0f, 2.5f);
    for (int k = 0; k < 5; k++) {
        float lx = 124.0f + (float)k * 9.0f, ly = 214.0f - (float)k * 4.0f;
        mask_ellipse(leaves, lx, ly - 6.0f, 4.0f, 8.0f);
    }
    img_paint(img, branch, rgb8(40, 24, 40));
    img_paint(img, leaves, rgb8(40, 90, 90));
    /* Body, wings, belly, ears. */
    Mask body = mask_make(W, H), belly = mask_make(W, H), wings = mask_make(W, H), face = mask_make(W, H);
    mask_ellipse(body, CX, CY, 28.0f, 36.0f);
    mask_polygon(body, {CX - 26.0f, CY - 26.0f, CX - 22.0f, CY - 48.0f, CX - 8.0f, CY - 32.0f});
    mask_polygon(body, {CX + 26.0f, CY - 26.0f, CX + 22.0f, CY - 48.0f, CX + 8.0f, CY - 32.0f});
    mask_ellipse(wings, CX - 22.0f, CY + 6.0f, 9.0f, 24.0f);
    mask_ellipse(wings, CX + 22.0f, CY + 6.0f, 9.0f, 24.0f);
    mask_ellipse(belly, CX, CY + 12.0f, 16.0f, 20.0f);
    mask_ellipse(face, CX - 11.0f, CY - 16.0f, 12.0f, 12.0f);
    mask_ellipse(face, CX + 11.0f, CY - 16.0f, 12.0f, 12.0f);
    img_paintFn(img, body, [&](int x, int y) {
        float lit = std::clamp(0.5f + ((float)x - CX) / 50.0f - ((float)y - CY) / 90.0f, 0.0f, 1.0f);
        return mix(rgb8(44, 30, 96), rgb8(110, 70, 170), lit);
    });
    img_paint(img, wings, rgb8(52, 34, 104));
    img_paint(img, belly, rgb8(150, 120, 200));
    /* Chevrons on the belly. */
    Mask marks = mask_make(W, H);
    for (int row = 0; row < 3; row++)
        for (int col = -1; col <= 1; col++) {
            float mx = CX + (float)col * 8.0f, my = CY + 6.0f + (float)row * 9.0f;
            mask_line(marks, mx - 3.0f, my - 2.0f, mx, my + 1.0f, 0.7f);
            mask_line(marks, mx, my + 1.0f, mx + 3.0f, my - 2.0f, 0.7f);
        }
    img_paint(img, marks, rgb8(90, 66, 150));
    img_paint(img, face, rgb8(200, 180, 230));
    /* Eyes: amber irises with dark pupils and a catch light. */
    Mask iris = mask_make(W, H), pupil = mask_make(W, H), spark = mask_make(W, H), beak = mask_make(W, H);
    for (int e = -1; e <= 1; e += 2) {
        float ex = CX + (float)e * 11.0f, ey = CY - 16.0f;
        mask_disc(iris, ex, ey, 8.0f);
        mask_disc(pupil, ex + 1.0f, ey + 1.0f, 4.2f);
        mask_disc(spark, ex - 1.5f, ey - 2.0f, 1.6f);
    }
    mask_polygon(beak, {CX - 4.0f, CY - 8.0f, CX + 4.0f, CY - 8.0f, CX, CY});
    img_paintFn(img, iris, [&](int, int y) { return mix(GOLD, AMBER, std::clamp(((float)y - (CY - 24.0f)) / 16.0f, 0.0f, 1.0f)); });
    img_paint(img, pupil, INK);
    img_paint(img, spark, WHITE);
    img_paint(img, beak, AMBER);
    /* Feet on the branch. */
    Mask feet = mask_make(W, H);
    for (int f = -1; f <= 1; f += 2)
        for (int t = -1; t <= 1; t++)
            mask_line(feet, CX + (float)f * 9.0f, CY + 33.0f, CX + (float)f * 9.0f + (float)t * 3.0f, CY + 38.0f, 1.2f);
    img_paint(img, feet, AMBER);
    /* Cyan rim light down the right edge. */
    Mask rim = mask_shift(body, -2, 1);
    for (size_t i = 0; i < rim.a.size(); i++)
        rim.a[i] = std::max(0.0f, body.a[i] - rim.a[i]);
    for (int y = 0; y < H; y++)
        for (int x = 0; x < (int)CX; x++)
            rim.at(x, y) = 0.0f;
    img_paint(img, rim, CYAN, 0.9f);
    for (const Mask* m : {&branch, &leaves, &body, &wings, &feet, &iris, &beak})
        for (size_t i = 0; i < opaque.a.size(); i++)
            opaque.a[i] = std::max(opaque.a[i], m->a[i]);
    return img_quantise(img, Q_KEYED, &opaque);
}

/* Letterbox bars with a hairline and small type, for the deformed ball. */
Rgb8 letterboxForeground()
{
    Img img = img_make(W, H, INK);
    Mask opaque = mask_make(W, H);
    const int BAR = 20;
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++)
            if (y < BAR || y >= H - BAR) {
                opaque.at(x, y) = 1.0f;
                float t = y < BAR ? (float)y / (float)BAR : (float)(H - 1 - y) / (float)BAR;
                img.at(x, y) = mix(BLACK, rgb8(24, 16, 56), t);
            }
    Mask hair = mask_make(W, H);
    mask_line(hair, 0.0f, (float)BAR - 1.0f, (float)W, (float)BAR - 1.0f, 0.5f);
    mask_line(hair, 0.0f, (float)(H - BAR), (float)W, (float)(H - BAR), 0.5f);
    img_paint(img, hair, AMBER);
    Mask t = mask_make(W, H);
    text_draw(t, FONT_SANS_BOLD, 9.0f, "BRINDELS", 12.0f, (float)H - 7.0f, ALIGN_LEFT, 2.0f);
    text_draw(t, FONT_SANS, 9.0f, "orvel  /  wave ball", (float)W - 12.0f, (float)H - 7.0f, ALIGN_RIGHT, 1.5f);
    text_draw(t, FONT_SANS, 8.0f, "20.12 fixed point", (float)W - 12.0f, 13.0f, ALIGN_RIGHT, 1.5f);
    img_paint(img, t, GOLD);
    return img_quantise(img, Q_KEYED, &opaque);
}

/* Corner flourishes (loaded, never drawn). */
Rgb8 cornerForeground()
{
    Img img = img_make(W, H, AMBER);
    Mask opaque = mask_make(W, H);
    for (int c = 0; c < 4; c++) {
        float sx = (c & 1) ? -1.0f : 1.0f, sy = (c & 2) ? -1.0f : 1.0f;
        float x0 = (c & 1) ? (float)W - 6.0f : 6.0f, y0 = (c & 2) ? (float)H - 6.0f : 6.0f;
        mask_line(opaque, x0, y0, x0 + sx * 40.0f, y0, 1.0f);
        mask_line(opaque, x0, y0, x0, y0 + sy * 30.0f, 1.0f);
        mask_ring(opaque, x0 + sx * 12.0f, y0 + sy * 12.0f, 6.0f, 1.0f);
        mask_disc(opaque, x0 + sx * 44.0f, y0, 2.5f);
    }
    mask_harden(opaque);
    return img_quantise(img, Q_KEYED, &opaque);
}

} // namespace

const std::vector<PictureFile>& pictures_all(void)
{
    static const std::vector<PictureFile> all = {
        {"group.tga", groupPic, TGA_RAW},
        {"a.tga", captionA, TGA_RLE},
        {"brindels.tga", captionGroup, TGA_RLE},
        {"title.tga", captionTitle, TGA_RLE},
        {"end.tga", captionEnd, TGA_RLE},
        {"ship_layer.tga", shipLayer, TGA_RLE},
        {"ossik.tga", creditCode, TGA_RLE},
        {"quillmar.tga", creditMusic, TGA_RLE},
        {"ilvo.tga", creditGraphics, TGA_RLE},
        {"fuckings.tga", banner, TGA_RLE},
        {"software.tga", softwareBadge, TGA_RAW},
        {"fractal.tga", fractalText, TGA_RLE},
        {"fractalagain.tga", fractalAgainText, TGA_RLE},
        {"bgGirlA.tga", backdropA, TGA_RAW},
        {"bgGirlB.tga", backdropB, TGA_RAW},
        {"dog1S.tga", pollenLayer, TGA_RLE},
        {"dog2S.tga", starLayer, TGA_RLE},
        {"dog3S.tga", emberLayer, TGA_RLE},
        {"dog4S.tga", titleBackdrop, TGA_RAW},
        {"dog5S.tga", auroraLayer, TGA_RAW},
        {"dog1F.tga", grassForeground, TGA_RLE},
        {"dog2F.tga", owlForeground, TGA_RLE},
        {"dog3F.tga", letterboxForeground, TGA_RLE},
        {"dog4F.tga", titleForeground, TGA_RLE},
        {"dog5F.tga", cornerForeground, TGA_RAW},
        {"shade.tga", shadeMap, TGA_RAW},
        {"shade2.tga", shade2Map, TGA_RAW},
        {"chrome.tga", chromeMap, TGA_RAW},
        {"ship.tga", shipMap, TGA_RAW},
        {"tunnel.tga", tunnelTex, TGA_RAW},
        {"greetground.tga", groundTex, TGA_RAW},
        {"greets.tga", greetsTex, TGA_RLE},
    };
    return all;
}
