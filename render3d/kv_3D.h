/*
 * kv_3D: the software 3D renderer.
 *
 * Objects are textured triangle meshes with one or more frames of vertex
 * positions. One global camera holds the eye, its orientation and the
 * projection; projecting an object transforms the current frame's vertices
 * into screen space (fixed point), and the rasteriser draws its triangles
 * into the back buffer with a z-buffer.
 *
 * A 3D frame runs: cam_setClip, cam_set, cam_update, clr3D, then for each
 * object set3D, project, optionally make_envmap, and draw3D.
 *
 * Texture coordinates: in a vertex, 128.0 (524288) is the whole texture
 * width or height; the rasteriser turns them into texel coordinates (fixed,
 * 1.0 = one texel). Textures must be powers of two in both directions:
 * coordinates wrap by masking.
 */
#ifndef ORVEL_RENDER3D_KV_3D_H
#define ORVEL_RENDER3D_KV_3D_H

#include <cstdint>

#include "math/kv_math.h"
#include "math/kv_matrix.h"
#include "video/kv_video.h"

enum {
    EDGE_MAX = 32768,            /* entries of the scratch edge table */
    OBJ_MAX_BYTES = 64 << 20,    /* largest vertex + face arrays a loader accepts */
    ZBUF_SIZE = SCR_W * SCR_H,   /* z-buffer entries, one per screen pixel */
    TEX_KEY = PIC_KEY            /* texel value that the keyed routines skip */
};

/* One triangle: three vertex indices within a frame and its three edges. */
struct Face3D {
    uint32_t ia, ib, ic; /* vertex indices, 0 .. vertCount-1 (checked at load) */
    int32_t eab;         /* index into edges of edge ia-ib */
    int32_t ebc;         /* index into edges of edge ib-ic */
    int32_t eac;         /* index into edges of edge ia-ic */
    uint8_t visible;     /* 0xFF or 0, written by draw3D from the out-codes */
};

/* One edge shared by the triangles that name it, with the per-draw set-up
 * that the cached triangle routine fills (calc_edge). */
struct Edge3D {
    int32_t va, vb;         /* the two vertex indices, as first met */
    const Vertex3D* top;    /* upper end point (smaller sy) of this draw */
    const Vertex3D* bottom; /* lower end point */
    fixed x, y, z;          /* at the top (clipped to row 0): x in pixels, y row, depth */
    fixed u, v;             /* texel coordinates at the top */
    fixed dx, dz, du, dv;   /* per scanline; 0 for a flat edge */
    int32_t flat;           /* 1 when bottom.sy - top.sy < 1.0 (one scanline) */
    int32_t ready;          /* 1 once set up in this draw; cleared by clr_edge */
};

/* A textured mesh. Empty (all zero) until a loader fills it. */
struct Object3D {
    uint32_t vertCount;  /* vertices per frame */
    uint32_t faceCount;  /* triangles */
    int32_t edgeCount;   /* shared edges, 0 .. EDGE_MAX */
    uint32_t frameCount; /* frames (1 for .bof) */
    Vertex3D* verts;     /* frameCount * vertCount records, frame after frame */
    Face3D* faces;       /* faceCount records */
    Edge3D* edges;       /* edgeCount records */
    float x, y, z;       /* position, world units */
    float rotY, rotX, rotZ; /* rotation, radians, applied in this order */
    int32_t texture;     /* texture slot 0..63, -1 for none */
    int32_t frame;       /* frame used by project, make_envmap, draw3D: 0 .. frameCount-1 */
    uint8_t projected;   /* 1 once project has run; draw3D draws nothing while 0 */
};

/* One horizontal run of pixels handed to a scanline routine. */
struct Span {
    int len;                /* pixels, >= 1 */
    fixed u, v;             /* texel coordinates at the first pixel */
    fixed du, dv;           /* per pixel */
    fixed z, dz;            /* depth at the first pixel, per pixel */
    int width, height;      /* texture size, powers of two */
    int umask, vmask;       /* width - 1, height - 1 */
    int vshift;             /* log2(width) */
    const uint16_t* texels; /* texture pixels, RGB565 */
    uint16_t* dst;          /* first pixel in rTarget */
    fixed* zdst;            /* its entry in zbuf */
};

typedef void (*FillTriFunc)(const Face3D* face, Object3D* obj);
typedef void (*ScanLineFunc)(Span* span);
typedef void (*PixShaderFunc)(unsigned short* pixel, fixed* zentry, unsigned texel, fixed z);
typedef void (*SpanShaderFunc)(Span* span);

/* ---- Globals --------------------------------------------------------------- */

extern Camera cam;             /* the camera every projection uses */
extern uint16_t* rTarget;      /* 320x240 RGB565 target; draw3D keeps it on the back buffer */
extern fixed zbuf[ZBUF_SIZE];  /* depth per pixel, row-major; smaller is nearer */
extern Edge3D edge[EDGE_MAX];  /* scratch table while an object's edges are collected */
extern int edgenum;            /* entries of edge in use, 0 .. EDGE_MAX */
extern FillTriFunc fillTri;    /* current triangle routine, or null (draw3D installs the default) */
extern ScanLineFunc scanLine;  /* current scanline routine, or null (draw3D installs the default) */
extern PixShaderFunc pixShader; /* per-pixel hook of draw_scanline, or null */
extern const Pic16b* curtex;   /* texture of the object being drawn */

/* ---- Objects --------------------------------------------------------------- */

/* Reads a one-frame object from the text format: a header word, V, F, the
 * position x y z, V vertices "n x y z u v", F triangles "n a b c". The object
 * is reset first (texture -1, pose 0, frame 0, not projected). No result.
 * Failures leave the object empty (counts 0, arrays null, texture -1):
 *   missing file: "EEEEEEEEEEEK!!!     file not found!!" through bprint and
 *     scr_flip (shown on the loading screen);
 *   vertex and face arrays above 64 MiB, or no memory: "EEEEEEEEEEEK!!!
 *     not nuff mem!!" on the same route;
 *   a face index >= V, more than 32768 distinct edges, counts the file is
 *     too short to hold (a vertex entry takes at least 12 bytes, a triangle
 *     entry 8; nothing is allocated for them), or frames x triangles of 2^20
 *     and more that exceed 16 times the vertex and triangle entries (more
 *     work for add_normal than any ordinary mesh needs): a one-line reason
 *     on standard output.
 * A file that ends early, or a malformed number, leaves that value and every
 * later one 0. A header word longer than 9 characters is skipped whole. */
void loadBOF(const char* path, Object3D* obj);

/* Reads a multi-frame object: as loadBOF with the frame count N after F and
 * V*N vertices, frame after frame. Messages all go to standard output with
 * printf. N = 0 counts as "not nuff mem"; with V = 0 any larger N is read
 * as one (empty) frame. */
void loadBAF(const char* path, Object3D* obj);

/* Builds the object's edge table from its faces: each face's eab, ebc, eac
 * through find_edge, in face order, then copies the scratch table into a new
 * edges array (cache fields 0). Edges are numbered in order of first
 * appearance. With more than 32768 distinct edges, or no memory, it prints a
 * one-line reason, frees the object's arrays and leaves it empty. */
void add_edge(Object3D* obj);

/* Index in the scratch table of the edge joining vertices a and b, in either
 * order, appended as (va, vb) = (a, b) when absent. Returns -1 when it is
 * absent and the table already holds 32768 edges. */
int find_edge(int a, int b);

/* Smooth normals for every vertex of every frame: the unit normals of the
 * faces touching a vertex (each face counted with unit weight), summed and
 * normalised. A vertex of no face, or of zero-area faces only, gets 0. */
void add_normal(Object3D* obj);

/* Sphere mapping: u, v of the current frame's vertices from their view-space
 * normals, u = 64.0 + 64.0 * tnx, v = 64.0 - 64.0 * tny. Does nothing when
 * frame is outside 0 .. frameCount-1. */
void make_envmap(Object3D* obj);

/* Sets the position (world units) and the three angles (radians). */
void set3D(Object3D* obj, float x, float y, float z, float rotY, float rotX, float rotZ);

/* Frees the arrays, sets the pointers and vertCount, faceCount, edgeCount
 * to 0 and texture to -1. Harmless on an empty object and when repeated. */
void kill3D(Object3D* obj);

/* ---- Camera and projection -------------------------------------------------- */

/* near = near << 12, far = far << 12, depth = (far - near) << 12, zoom. Whole
 * world units. */
void cam_setClip(Camera* c, int near, int far, float zoom);

/* Position in world units; angles in degrees, stored as radians
 * (angle * 3.1416) / 180. */
void cam_set(Camera* c, float x, float y, float z, float rotY, float rotX, float rotZ);

/* Rebuilds viewRot = (RotY * RotX) * RotZ and viewProj = (Translate(-eye) *
 * viewRot) * Projection. Call after any change to the camera. */
void cam_update(Camera* c);

/* Transforms the current frame's vertices with the object's pose and cam:
 * screen sx, sy (fixed pixels, centre 160, 120), depth sz (near .. far),
 * sw = 4096, view normals tnx, tny, tnz, out-code clip and behind. Sets
 * projected = 1. Does nothing when frame is outside 0 .. frameCount-1. */
void project(Object3D* obj);

/* Stores in v->clip the out-code of the perspective-divided coordinates held
 * in v->sx, v->sy, v->sz (+-4096 = +-1.0): 0x01 x < -1, 0x02 x > 1, 0x04
 * y < -1, 0x08 y > 1, 0x10 z < -1 (beyond far), 0x20 z > 1 (nearer than
 * near), each strict. */
void setViewFlag(Vertex3D* v);

/* ---- Rasteriser --------------------------------------------------------------
 * Both triangle routines read the object's current frame, curtex, rTarget,
 * zbuf and cam, and call scanLine for each non-empty span. Every pixel they
 * hand on lies inside the 320x240 target: rows are clamped to 0..239 and
 * spans to 0..319 when they are set up. They need curtex (a power-of-two
 * texture) and rTarget set; draw3D guarantees both. */

/* Edge set-up of the cached routine: does nothing if e->ready; else stores
 * top, bottom, flat, the texel u, v and x, z at the top, and, unless flat,
 * the gradients per scanline, advancing the start to row 0 when the edge
 * begins above the screen. */
void calc_edge(const Vertex3D* top, const Vertex3D* bottom, Edge3D* e);

/* Default triangle routine: edges set up once per draw through the object's
 * edge table (needs add_edge's indices in the face). */
void drawtritex16b_FixPoint_split(const Face3D* face, Object3D* obj);

/* Alternative triangle routine: everything set up per triangle; texture
 * coordinates scaled by (size >> 7), so textures narrower than 128 texels
 * sample coordinate 0. Triangles of two rows or fewer are not drawn. */
void drawtritex16b_FixPoint_split2(const Face3D* face, Object3D* obj);

/* Scanline routines. Per pixel: drawn when z <= the z entry and z > cam.near.
 * draw_scanline: skips texels equal to 0xF81F; writes pixel and z, or hands
 * both addresses, the texel and z to pixShader when one is set (the span
 * to the shader's span form when it has one, setShaderSpan).
 * draw_scanline_noTransp: no key colour, no shader.
 * draw_scanline_dbl: pairs of pixels from one texel, written with one aligned
 * 32-bit store; when dst is not 4-byte aligned it starts one pixel to the
 * left; (len + that pixel) >> 1 pairs, so an odd run from an aligned start
 * leaves its last pixel. Key colour, no shader.
 * draw_scanline_dbl_noTransp: the same without the key colour.
 * The dbl routines need rTarget and zbuf 4-byte aligned (rows are 640 bytes),
 * so stepping left from an odd pixel never leaves the row. */
void draw_scanline(Span* s);
void draw_scanline_noTransp(Span* s);
void draw_scanline_dbl(Span* s);
void draw_scanline_dbl_noTransp(Span* s);

/* ---- Scene drawing and hooks -------------------------------------------------- */

/* Sets every zbuf entry to cam.far. */
void clr3D(void);

/* obj->texture = slot (-1: none, not drawn). */
void setTexture(Object3D* obj, int slot);

/* fillTri = drawtritex16b_FixPoint_split when flag != 0, else
 * drawtritex16b_FixPoint_split2. */
void setFillFunc(int flag);

/* scanLine = 0: draw_scanline, 1: draw_scanline_dbl, 2: draw_scanline_noTransp,
 * 3: draw_scanline_dbl_noTransp; any other value leaves it unchanged. */
void setScanFunc(int type);

/* pixShader = shader; null restores plain writing. */
void setShader(PixShaderFunc shader);

/* Registers span as the span form of shader: a routine that does for one
 * span exactly what draw_scanline does for it while pixShader is shader
 * (the same calls of shader for the same pixels in the same order, or work
 * that leaves everything as they would; kv_3D_span.h has the loop). While
 * pixShader is a registered shader, draw_scanline hands each span to its
 * form instead. A shader registered again gets the new form; a null span
 * removes its registration. Returns 1, or 0 (nothing changed) for a null
 * shader or a fifth shader while four are registered. */
int setShaderSpan(PixShaderFunc shader, SpanShaderFunc span);

/* ready = 0 on all of the object's edges. */
void clr_edge(Object3D* obj);

/* Draws the object with the current hooks into the back buffer. Draws
 * nothing when there is no back buffer, the object was never projected, its
 * frame is out of range, it has faces but no edge table, its texture is -1,
 * outside 0..63, an empty slot, or not a power of two in width and height.
 * rTarget follows scr_getBuf() on every call. Per triangle, in file order:
 * dropped when all three out-codes share a bit, when any vertex is behind
 * the eye, when all three lie off one side of the screen, or when it faces
 * away ((A-B).x * (B-C).y < (A-B).y * (B-C).x, products >> 12 kept whole,
 * so front faces are clockwise on the screen); else fillTri. */
void draw3D(Object3D* obj);

#endif
