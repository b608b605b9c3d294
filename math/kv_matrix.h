/*
 * kv_matrix: 4x4 matrices in float (Mat4, for set-up) and fixed point
 * (FpMat4, for the per-frame transforms).
 *
 * Row-major: element (r, c) is m[4*r + c]. Matrices act on row vectors: a
 * point (x, y, z, 1) maps to (x, y, z, 1) * M, so the translation sits in
 * row 3 (m[12], m[13], m[14]) and the projective column is column 3 (m[3],
 * m[7], m[11], m[15]). A product A * B applies A first, then B.
 *
 * Angles are float radians in both forms; the rotation entries come from
 * bcos and bsin. Every function writes through the pointer given first and
 * allocates nothing. Fixed-point sums wrap in 32 bits.
 */
#ifndef ORVEL_MATH_KV_MATRIX_H
#define ORVEL_MATH_KV_MATRIX_H

#include "math/kv_math.h"
#include "math/kv_vector.h"

struct Mat4 {
    float m[16]; /* row-major, element (r, c) at 4*r + c */
};

struct FpMat4 {
    fixed m[16]; /* row-major, element (r, c) at 4*r + c; 20.12 fixed */
};

/* One vertex of one frame of a 3D object (the renderer's record, defined
 * here because the vertex transforms below step through arrays of it). */
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

/* The eye, its orientation and the projection (the renderer's camera;
 * the projection matrices below are built from it). */
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

/* ---- Builders: each first sets the whole matrix to the identity ----------- */

/* The identity: 1.0 (4096) on the diagonal, 0 elsewhere. */
void matIdentity(Mat4* m);
void fp_matIdentity(FpMat4* m);

/* Translation: the identity with m[12] = x, m[13] = y, m[14] = z. */
void matTranslate(Mat4* m, float x, float y, float z);
void fp_matTranslate(FpMat4* m, fixed x, fixed y, fixed z);

/* Rotations by rad, with c = bcos(rad), s = bsin(rad):
 *   X: m[5] = c, m[6] = s, m[9] = -s, m[10] = c
 *   Y: m[0] = c, m[2] = -s, m[8] = s, m[10] = c
 *   Z: m[0] = c, m[1] = s, m[4] = -s, m[5] = c
 * The fixed forms use c = fp_convf(bcos(rad)), s = fp_convf(bsin(rad)) and
 * the integer negation of s, so a zero angle gives the fixed identity. */
void matRotX(Mat4* m, float rad);
void matRotY(Mat4* m, float rad);
void matRotZ(Mat4* m, float rad);
void fp_matRotX(FpMat4* m, float rad);
void fp_matRotY(FpMat4* m, float rad);
void fp_matRotZ(FpMat4* m, float rad);

/* Perspective from the camera's zoom (float) and near, far, depth (fixed,
 * depth = far - near):
 *   m[0] = fp_convf(zoom / 160), m[5] = fp_convf(zoom / 120),
 *   m[10] = fp_div(far + near, depth),
 *   m[14] = fp_div(fp_mul(-2 * far, near), depth),
 *   m[11] = -4096, m[15] = 0.
 * w is then minus the view-space z, and z / w is +1.0 at the near plane and
 * -1.0 at the far plane. With depth 0, m[10] and m[14] are 0 (fp_div).
 * The float form computes the same in float from fp_fconv of near, far and
 * depth: m[10] = (far + near) / depth, m[14] = near * (far * -2) / depth,
 * m[11] = -1.0 (depth 0 gives non-finite entries there). */
void matProject(Mat4* m, const Camera* cam);
void fp_matProject(FpMat4* m, const Camera* cam);

/* View matrix looking from eye at target: f = target - eye normalised,
 * r = up x f normalised, u = f x r; row k (k = x, y, z) is (r_k, u_k, f_k, 0)
 * and row 3 is (-r.eye, -u.eye, -f.eye, 1.0). Normalisation is that of
 * vecNormal / fp_vecNormal (a zero or too short vector stays as it is). */
void matLookAt(Mat4* m, const Vec3* eye, const Vec3* target, const Vec3* up);
void fp_matLookAt(FpMat4* m, const FpVec3* eye, const FpVec3* target, const FpVec3* up);

/* ---- Products ------------------------------------------------------------ */

/* out = a * b in float: out(i, j) = ((0 + a(i,0)*b(0,j)) + a(i,1)*b(1,j))
 * + a(i,2)*b(2,j) + a(i,3)*b(3,j), summed in that order. out may be a or b. */
void matMul(Mat4* out, const Mat4* a, const Mat4* b);

/* out = a * b in fixed: out(i, j) = the sum over k of
 * fp_optmul(a(i,k), b(k,j)), each product rounded separately, the sum
 * wrapping in 32 bits. out may be a or b. */
void fp_matMul(FpMat4* out, const FpMat4* a, const FpMat4* b);

/* For each of `count` consecutive vertices: (sx, sy, sz, sw) = (x, y, z, 1)
 * * m, component j being fp_optmul(m(0,j), x) + fp_optmul(m(1,j), y) +
 * fp_optmul(m(2,j), z) + m(3,j). count 0 or negative writes nothing. */
void fp_matVecMul(Vertex3D* v, int count, const FpMat4* m);

/* For each of `count` consecutive vertices: (tnx, tny, tnz) = (nx, ny, nz, 1)
 * * m restricted to columns 0-2, computed as fp_matVecMul (row 3 is added,
 * so m is expected to be a pure rotation). count 0 or negative writes
 * nothing. */
void fp_vecMulNormal(Vertex3D* v, int count, const FpMat4* m);

/* ---- Conversions --------------------------------------------------------- */

/* Every element fp_fconv. */
void mat_convfloat(Mat4* out, const FpMat4* in);
/* Every element fp_convf (truncated toward zero). */
void mat_convfixed(FpMat4* out, const Mat4* in);

#endif
