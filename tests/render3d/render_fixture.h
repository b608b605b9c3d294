/*
 * Helpers of the renderer tests: objects built in memory, a texture whose
 * texels encode their own coordinates, a scanline spy, text files.
 */
#ifndef ORVEL_TESTS_RENDER3D_RENDER_FIXTURE_H
#define ORVEL_TESTS_RENDER3D_RENDER_FIXTURE_H

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "render3d/kv_3D.h"
#include "video/kv_texture.h"

namespace rf {

/* Texel of column c, row r in the coordinate texture: c + 128 r + 1, never
 * the key colour and never 0 (so "unwritten" is 0). */
inline uint16_t coordTexel(int c, int r)
{
    return (uint16_t)(c + 128 * r + 1);
}

/* Puts a w x h picture into slot `slot`: the coordinate texture when
 * fill < 0, else every texel = fill. */
inline void makeTexture(int slot, int w, int h, int fill = -1)
{
    killTex(slot);
    Pic16b* t = &tex[slot];
    t->pixels = (uint16_t*)calloc((size_t)w * h, sizeof(uint16_t));
    t->width = (uint16_t)w;
    t->height = (uint16_t)h;
    uint16_t l = 0;
    while ((1 << (l + 1)) <= w)
        l++;
    t->widthLog2 = l;
    for (int r = 0; r < h; r++)
        for (int c = 0; c < w; c++)
            t->pixels[r * w + c] = fill < 0 ? coordTexel(c, r) : (uint16_t)fill;
    texCleared = 1;
}

/* A screen-space vertex: sx, sy in pixels, depth sz, texture u, v in
 * vertex units (128.0 = the whole texture). */
struct SV {
    double x, y, z, u, v;
};

inline Vertex3D screenVertex(const SV& s)
{
    Vertex3D v;
    memset(&v, 0, sizeof v);
    v.sx = (fixed)(s.x * 4096.0);
    v.sy = (fixed)(s.y * 4096.0);
    v.sz = (fixed)(s.z * 4096.0);
    v.sw = 4096;
    v.u = (fixed)(s.u * 4096.0);
    v.v = (fixed)(s.v * 4096.0);
    return v;
}

/* An object of one frame built from vertices and triangles, with its edge
 * table, arrays from the C heap (kill3D frees them). */
inline void makeObject(Object3D* obj, const std::vector<Vertex3D>& verts, const std::vector<uint32_t>& tris,
                       int texture = 0)
{
    memset(obj, 0, sizeof *obj);
    obj->vertCount = (uint32_t)verts.size();
    obj->faceCount = (uint32_t)(tris.size() / 3);
    obj->frameCount = 1;
    obj->verts = (Vertex3D*)calloc(verts.size() + 1, sizeof(Vertex3D));
    obj->faces = (Face3D*)calloc(obj->faceCount + 1, sizeof(Face3D));
    if (!verts.empty())
        memcpy(obj->verts, verts.data(), verts.size() * sizeof(Vertex3D));
    for (uint32_t i = 0; i < obj->faceCount; i++) {
        obj->faces[i].ia = tris[3 * i];
        obj->faces[i].ib = tris[3 * i + 1];
        obj->faces[i].ic = tris[3 * i + 2];
    }
    add_edge(obj);
    obj->texture = texture;
}

/* What a scanline routine was handed, with its row and first column. */
struct SpanRec {
    int row, x, len;
    fixed u, v, du, dv, z, dz;
    bool operator==(const SpanRec& o) const
    {
        return row == o.row && x == o.x && len == o.len && u == o.u && v == o.v && du == o.du && dv == o.dv &&
               z == o.z && dz == o.dz;
    }
};

inline std::vector<SpanRec>& spans()
{
    static std::vector<SpanRec> s;
    return s;
}

/* A scanline routine that records each span and draws nothing. */
inline void spyScanline(Span* s)
{
    long off = s->dst - rTarget;
    spans().push_back({(int)(off / 320), (int)(off % 320), s->len, s->u, s->v, s->du, s->dv, s->z, s->dz});
}

/* Writes a text file; returns its path. */
std::string writeTextFile(const std::string& dir, const std::string& name, const std::string& text);

/* A cube of side 2*h centred at the origin in the text format, 24 vertices
 * (4 a face, texture corners 0..1) and 12 triangles wound so that
 * (B - A) x (C - A) points outwards. */
std::string cubeText(double h);

} // namespace rf

#endif
