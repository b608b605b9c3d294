/*
 * kv_3D: the camera and the projection of an object's vertices (see kv_3D.h).
 */
#include "render3d/kv_3D.h"

#include <cstddef>

#include "render3d/kv_3D_local.h"

/* ---- Globals ---------------------------------------------------------------
 * Lifetime: whole run; set by the scenes every frame. */
Camera cam = {
    0.0f, 0.0f, 0.0f,  /* eye position, world units */
    0.0f, 0.0f, 0.0f,  /* view angles, radians */
    200.0f,            /* zoom */
    10 * FP_ONE,       /* near: 10.0 */
    5000 * FP_ONE,     /* far: 5000.0 */
    0,                 /* depth: set by cam_setClip */
    {},                /* viewProj: zero until cam_update */
    {},                /* viewRot: zero until cam_update */
};

/* ---- Camera and projection -------------------------------------------------- */

void cam_setClip(Camera* c, int near, int far, float zoom)
{
    c->near = fp_convi(near);
    c->far = fp_convi(far);
    c->depth = fp_convi(far - near);
    c->zoom = zoom;
}

void cam_set(Camera* c, float x, float y, float z, float rotY, float rotX, float rotZ)
{
    c->x = x;
    c->y = y;
    c->z = z;
    c->rotY = (rotY * 3.1416f) / 180.0f;
    c->rotX = (rotX * 3.1416f) / 180.0f;
    c->rotZ = (rotZ * 3.1416f) / 180.0f;
}

void cam_update(Camera* c)
{
    FpMat4 t, rx, ry, rz, p, tmp;
    fp_matTranslate(&t, fp_convf(-c->x), fp_convf(-c->y), fp_convf(-c->z));
    fp_matRotX(&rx, c->rotX);
    fp_matRotY(&ry, c->rotY);
    fp_matRotZ(&rz, c->rotZ);
    fp_matProject(&p, c);
    fp_matMul(&tmp, &ry, &rx);
    fp_matMul(&c->viewRot, &tmp, &rz);
    fp_matMul(&tmp, &t, &c->viewRot);
    fp_matMul(&c->viewProj, &tmp, &p);
}

/* The out-code of setViewFlag for x, y, z. */
static inline uint8_t view_flag(fixed x, fixed y, fixed z)
{
    uint8_t f = 0;
    if (x < -FP_ONE)
        f |= 0x01;
    else if (x > FP_ONE)
        f |= 0x02;
    if (y < -FP_ONE)
        f |= 0x04;
    else if (y > FP_ONE)
        f |= 0x08;
    if (z < -FP_ONE)
        f |= 0x10; /* beyond the far plane */
    else if (z > FP_ONE)
        f |= 0x20; /* nearer than the near plane */
    return f;
}

void setViewFlag(Vertex3D* v)
{
    v->clip = view_flag(v->sx, v->sy, v->sz);
}

/* The columns of the two matrices of project, each as the four values
 * that one output takes (m(0,j), m(1,j), m(2,j), m(3,j)): the transform's
 * four, the view normal's three. */
struct ProjCols {
    fixed m[4][4];
    fixed n[3][4];
};

static ProjCols proj_cols(const FpMat4* m, const FpMat4* n)
{
    ProjCols c;
    for (int j = 0; j < 4; j++)
        for (int k = 0; k < 4; k++) {
            c.m[j][k] = m->m[4 * k + j];
            if (j < 3)
                c.n[j][k] = n->m[4 * k + j];
        }
    return c;
}

/* One output of fp_matVecMul (and of fp_vecMulNormal): the products as
 * fp_mul, the sums wrapping. */
static inline fixed proj_dot(const fixed* col, fixed x, fixed y, fixed z)
{
    return fp_add(fp_add(fp_add(fp_mul(col[0], x), fp_mul(col[1], y)), fp_mul(col[2], z)), col[3]);
}

/* One vertex of project: what fp_matVecMul, fp_vecMulNormal and the
 * projection make of it, in one pass (each vertex's outputs depend on that
 * vertex alone). */
static inline void proj_vertex(Vertex3D* v, const ProjCols& c, fixed near, fixed depth)
{
    const fixed x = v->x, y = v->y, z = v->z;
    const fixed sx = proj_dot(c.m[0], x, y, z), sy = proj_dot(c.m[1], x, y, z);
    const fixed sz = proj_dot(c.m[2], x, y, z), sw = proj_dot(c.m[3], x, y, z);
    const fixed nx = v->nx, ny = v->ny, nz = v->nz;
    v->tnx = proj_dot(c.n[0], nx, ny, nz);
    v->tny = proj_dot(c.n[1], nx, ny, nz);
    v->tnz = proj_dot(c.n[2], nx, ny, nz);
    /* 32.0 / W: five extra bits of precision for the reciprocal */
    const fixed e = sw == 0 ? 0 : fp_div(131072, sw);
    const fixed xp = fp_mul(sx, e) >> 5;
    const fixed yp = fp_mul(sy, e) >> 5;
    const fixed zp = fp_mul(sz, e) >> 5;
    v->sw = FP_ONE;
    v->behind = e > 0 ? 0xFF : 0; /* in front of the eye W < 0, so e < 0 */
    v->clip = view_flag(xp, yp, zp);
    v->sx = fp_sub(fp_convi(160), fp_muli(xp, 160));
    v->sy = fp_add(fp_convi(120), fp_muli(yp, 120));
    v->sz = fp_add(near, fp_mul(depth, fp_sub(FP_ONE, zp) >> 1));
}

void project(Object3D* obj)
{
    if (!obj_frameOk(obj))
        return;
    Vertex3D* base = obj->verts + (size_t)obj->frame * obj->vertCount;

    FpMat4 rx, ry, rz, tmp, mr, t, m, mvp, nrm;
    fp_matRotX(&rx, obj->rotX);
    fp_matRotY(&ry, obj->rotY);
    fp_matRotZ(&rz, obj->rotZ);
    fp_matMul(&tmp, &rx, &ry);
    fp_matMul(&mr, &rz, &tmp);
    fp_matTranslate(&t, fp_convf(obj->x), fp_convf(obj->y), fp_convf(obj->z));
    fp_matMul(&m, &mr, &t);
    fp_matMul(&mvp, &m, &cam.viewProj);
    obj->projected = 1;

    fp_matMul(&nrm, &mr, &cam.viewRot);
    const ProjCols cols = proj_cols(&mvp, &nrm);
    for (uint32_t i = 0; i < obj->vertCount; i++)
        proj_vertex(&base[i], cols, cam.near, cam.depth);
}
