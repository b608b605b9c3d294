/*
 * Renderer benchmark: one textured, sphere-mapped torus (64 x 32 quads, 4096
 * triangles) posed to fill much of the screen, drawn again and again with
 * each triangle routine. Reports triangles handed to the triangle routine
 * and pixels handed to the scanline routine, per second.
 */
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "render3d/kv_3D.h"
#include "video/kv_texture.h"
#include "video/kv_video.h"

namespace {

const int RING = 64, TUBE = 32;           /* quads around the ring and the tube */
const float RING_R = 100.0f, TUBE_R = 45.0f; /* world units */

Object3D torus;

/* Torus vertices on a (RING + 1) x (TUBE + 1) grid (seams doubled for the
 * texture), two triangles a quad wound so that (B - A) x (C - A) points
 * out of the surface. */
void buildTorus()
{
    const uint32_t cols = RING + 1, rows = TUBE + 1;
    torus.vertCount = cols * rows;
    torus.faceCount = 2 * RING * TUBE;
    torus.frameCount = 1;
    torus.verts = (Vertex3D*)calloc(torus.vertCount, sizeof(Vertex3D));
    torus.faces = (Face3D*)calloc(torus.faceCount, sizeof(Face3D));
    for (uint32_t i = 0; i < cols; i++)
        for (uint32_t j = 0; j < rows; j++) {
            double a = 2 * M_PI * i / RING, b = 2 * M_PI * j / TUBE;
            Vertex3D* v = &torus.verts[i * rows + j];
            double ring = RING_R + TUBE_R * std::cos(b);
            v->x = fp_convf((float)(ring * std::cos(a)));
            v->y = fp_convf((float)(TUBE_R * std::sin(b)));
            v->z = fp_convf((float)(ring * std::sin(a)));
            v->u = fp_mulf(524288, (float)i / RING * 4.0f);
            v->v = fp_mulf(524288, (float)j / TUBE * 2.0f);
        }
    Face3D* f = torus.faces;
    for (uint32_t i = 0; i < RING; i++)
        for (uint32_t j = 0; j < TUBE; j++) {
            uint32_t a = i * rows + j, b = (i + 1) * rows + j, c = (i + 1) * rows + j + 1, d = i * rows + j + 1;
            f->ia = a, f->ib = d, f->ic = c, f++;
            f->ia = a, f->ib = c, f->ic = b, f++;
        }
    add_edge(&torus);
    add_normal(&torus);
}

/* A 128 x 128 texture of soft rings and stripes in slot 0, no key colour. */
void buildTexture()
{
    Pic16b* t = &tex[0];
    t->width = t->height = 128;
    t->widthLog2 = 7;
    t->pixels = (uint16_t*)calloc(128 * 128, sizeof(uint16_t));
    for (int y = 0; y < 128; y++)
        for (int x = 0; x < 128; x++) {
            double d = std::hypot(x - 64.0, y - 64.0);
            unsigned r = (unsigned)(128 + 120 * std::cos(d * 0.3)), g = (unsigned)(x * 2), b = (unsigned)(255 - y * 2);
            uint16_t c = scr_RGB2W(r, g, b);
            t->pixels[y * 128 + x] = c == PIC_KEY ? 0 : c;
        }
    texCleared = 1;
    torus.texture = 0;
}

void setUpScene()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    scr_init();
    buildTorus();
    buildTexture();
    cam_setClip(&cam, 10, 2000, 200.0f);
    cam_set(&cam, 0, 0, -330, 0, 0, 0);
    cam_update(&cam);
    set3D(&torus, 0, 0, 0, 0.4f, 0.9f, 0.2f);
    project(&torus);
    make_envmap(&torus);
}

/* One draw with counting hooks around the real routines: how many
 * triangles and pixels one draw hands on. */
FillTriFunc realFill;
long countedTris, countedPixels;
void countFill(const Face3D* f, Object3D* o)
{
    countedTris++;
    realFill(f, o);
}
void countScan(Span* s)
{
    countedPixels += s->len;
    draw_scanline(s);
}

void measureOneDraw(FillTriFunc routine, long* tris, long* pixels)
{
    realFill = routine;
    countedTris = countedPixels = 0;
    fillTri = countFill;
    scanLine = countScan;
    clr3D();
    draw3D(&torus);
    *tris = countedTris;
    *pixels = countedPixels;
}

void drawLoop(benchmark::State& state, FillTriFunc routine)
{
    setUpScene();
    long tris, pixels;
    measureOneDraw(routine, &tris, &pixels);
    fillTri = routine;
    scanLine = draw_scanline;
    for (auto _ : state) {
        clr3D();
        draw3D(&torus);
        benchmark::ClobberMemory();
    }
    state.counters["triangles"] = benchmark::Counter((double)tris, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["pixels"] = benchmark::Counter((double)pixels, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["tris_per_draw"] = (double)tris;
    state.counters["pixels_per_draw"] = (double)pixels;
}

/* clr3D and draw3D with the default (edge-cached) triangle routine. */
void BM_DrawDefaultRoutine(benchmark::State& state)
{
    drawLoop(state, drawtritex16b_FixPoint_split);
}

/* clr3D and draw3D with the alternative (uncached) triangle routine. */
void BM_DrawAlternativeRoutine(benchmark::State& state)
{
    drawLoop(state, drawtritex16b_FixPoint_split2);
}

/* A whole 3D frame of the object: clear, project, sphere map, draw. */
void BM_FrameDefaultRoutine(benchmark::State& state)
{
    setUpScene();
    fillTri = drawtritex16b_FixPoint_split;
    scanLine = draw_scanline;
    float a = 0;
    for (auto _ : state) {
        set3D(&torus, 0, 0, 0, 0.4f + a, 0.9f, 0.2f);
        clr3D();
        project(&torus);
        make_envmap(&torus);
        draw3D(&torus);
        a += 0.01f;
        benchmark::ClobberMemory();
    }
    state.counters["vertices"] =
        benchmark::Counter((double)torus.vertCount, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_DrawDefaultRoutine)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawAlternativeRoutine)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameDefaultRoutine)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
