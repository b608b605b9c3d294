/*
 * kv_3D: the software 3D renderer.
 *
 * Objects are textured triangle meshes with one or more frames of vertex
 * positions. One global camera holds the eye, its orientation and the
 * projection; projecting an object transforms the current frame's vertices
 * into screen space (fixed point), and the rasteriser draws its triangles
 * into the back buffer with a z-buffer.
 */
#ifndef KV_3D_H
#define KV_3D_H

#include <cstdint>

#include "math/kv_math.h"
#include "math/kv_matrix.h"

/* One vertex of one frame. The transforms step through arrays of these. */
struct Vertex3D {
    fixed x, y, z;       /* object-space position */
    fixed sx, sy, sz, sw; /* clip-space coordinates after the transform; after
                           * projection: screen x, y in pixels, depth for the
                           * z-buffer (near .. far), and 4096 */
    fixed u, v;          /* texture coordinates, 128.0 = one texture width */
    fixed nx, ny, nz;    /* object-space unit normal */
    fixed tnx, tny, tnz; /* view-space normal */
    uint8_t clip;        /* out-code bits 0x01..0x20 */
    uint8_t behind;      /* 0xFF when behind the eye, else 0 */
};

/* The eye, its orientation and the projection. */
struct Camera {
    float x, y, z;          /* eye position, world units */
    float rotY, rotX, rotZ; /* view angles, radians */
    float zoom;             /* projection scale; x scale zoom/160, y zoom/120 */
    fixed near;             /* near clip distance, world units */
    fixed far;              /* far clip distance, world units */
    fixed depth;            /* far - near */
    FpMat4 viewProj;        /* world -> clip space */
    FpMat4 viewRot;         /* world -> view, rotation only (for normals) */
};

#endif
