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

void setViewFlag(Vertex3D* v)
{
    uint8_t f = 0;
    if (v->sx < -FP_ONE)
        f |= 0x01;
    else if (v->sx > FP_ONE)
        f |= 0x02;
    if (v->sy < -FP_ONE)
        f |= 0x04;
    else if (v->sy > FP_ONE)
        f |= 0x08;
    if (v->sz < -FP_ONE)
        f |= 0x10; /* beyond the far plane */
    else if (v->sz > FP_ONE)
        f |= 0x20; /* nearer than the near plane */
    v->clip = f;
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

    fp_matVecMul(base, (int)obj->vertCount, &mvp);
    fp_matMul(&nrm, &mr, &cam.viewRot);
    fp_vecMulNormal(base, (int)obj->vertCount, &nrm);

    for (uint32_t i = 0; i < obj->vertCount; i++) {
        Vertex3D* v = &base[i];
        /* 32.0 / W: five extra bits of precision for the reciprocal */
        fixed e = v->sw == 0 ? 0 : fp_div(131072, v->sw);
        fixed xp = fp_mul(v->sx, e) >> 5;
        fixed yp = fp_mul(v->sy, e) >> 5;
        fixed zp = fp_mul(v->sz, e) >> 5;
        v->sw = FP_ONE;
        v->behind = e > 0 ? 0xFF : 0; /* in front of the eye W < 0, so e < 0 */
        v->sx = xp;
        v->sy = yp;
        v->sz = zp;
        setViewFlag(v);
        v->sx = fp_sub(fp_convi(160), fp_muli(xp, 160));
        v->sy = fp_add(fp_convi(120), fp_muli(yp, 120));
        v->sz = fp_add(cam.near, fp_mul(cam.depth, fp_sub(FP_ONE, zp) >> 1));
    }
}
