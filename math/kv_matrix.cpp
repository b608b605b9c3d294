/*
 * kv_matrix: float and fixed-point 4x4 matrices (see kv_matrix.h).
 */
#include "math/kv_matrix.h"


/* ---- Builders ------------------------------------------------------------ */

void matIdentity(Mat4* m)
{
    for (int i = 0; i < 16; i++)
        m->m[i] = (i % 5 == 0) ? 1.0f : 0.0f; /* 0, 5, 10, 15: the diagonal */
}

void fp_matIdentity(FpMat4* m)
{
    for (int i = 0; i < 16; i++)
        m->m[i] = (i % 5 == 0) ? FP_ONE : 0;
}

void matTranslate(Mat4* m, float x, float y, float z)
{
    matIdentity(m);
    m->m[12] = x;
    m->m[13] = y;
    m->m[14] = z;
}

void fp_matTranslate(FpMat4* m, fixed x, fixed y, fixed z)
{
    fp_matIdentity(m);
    m->m[12] = x;
    m->m[13] = y;
    m->m[14] = z;
}

void matRotX(Mat4* m, float rad)
{
    float c = bcos(rad), s = bsin(rad);
    matIdentity(m);
    m->m[5] = c;
    m->m[6] = s;
    m->m[9] = -s;
    m->m[10] = c;
}

void matRotY(Mat4* m, float rad)
{
    float c = bcos(rad), s = bsin(rad);
    matIdentity(m);
    m->m[0] = c;
    m->m[2] = -s;
    m->m[8] = s;
    m->m[10] = c;
}

void matRotZ(Mat4* m, float rad)
{
    float c = bcos(rad), s = bsin(rad);
    matIdentity(m);
    m->m[0] = c;
    m->m[1] = s;
    m->m[4] = -s;
    m->m[5] = c;
}

/* |s| <= 4096, so the negations below cannot overflow. */
void fp_matRotX(FpMat4* m, float rad)
{
    fixed c = fp_convf(bcos(rad)), s = fp_convf(bsin(rad));
    fp_matIdentity(m);
    m->m[5] = c;
    m->m[6] = s;
    m->m[9] = -s;
    m->m[10] = c;
}

void fp_matRotY(FpMat4* m, float rad)
{
    fixed c = fp_convf(bcos(rad)), s = fp_convf(bsin(rad));
    fp_matIdentity(m);
    m->m[0] = c;
    m->m[2] = -s;
    m->m[8] = s;
    m->m[10] = c;
}

void fp_matRotZ(FpMat4* m, float rad)
{
    fixed c = fp_convf(bcos(rad)), s = fp_convf(bsin(rad));
    fp_matIdentity(m);
    m->m[0] = c;
    m->m[1] = s;
    m->m[4] = -s;
    m->m[5] = c;
}

/* 160 and 120 are half the width and height of the 320x240 screen. */
void matProject(Mat4* m, const Camera* cam)
{
    float nearf = fp_fconv(cam->near);
    float farf = fp_fconv(cam->far);
    float depthf = fp_fconv(cam->depth);
    matIdentity(m);
    m->m[0] = cam->zoom / 160.0f;
    m->m[5] = cam->zoom / 120.0f;
    m->m[10] = (farf + nearf) / depthf;
    m->m[14] = nearf * (farf * -2.0f) / depthf;
    m->m[11] = -1.0f;
    m->m[15] = 0.0f;
}

void fp_matProject(FpMat4* m, const Camera* cam)
{
    fp_matIdentity(m);
    m->m[0] = fp_convf(cam->zoom / 160.0f);
    m->m[5] = fp_convf(cam->zoom / 120.0f);
    m->m[10] = fp_div(fp_add(cam->far, cam->near), cam->depth);
    m->m[14] = fp_div(fp_mul(fp_muli(cam->far, -2), cam->near), cam->depth);
    m->m[11] = -FP_ONE;
    m->m[15] = 0;
}

void matLookAt(Mat4* m, const Vec3* eye, const Vec3* target, const Vec3* up)
{
    Vec3 f, r, u;
    vecSub(&f, target, eye);
    vecNormal(&f);
    vecCross(&r, up, &f);
    vecNormal(&r);
    vecCross(&u, &f, &r);
    m->m[0] = r.x; m->m[1] = u.x; m->m[2] = f.x;  m->m[3] = 0.0f;
    m->m[4] = r.y; m->m[5] = u.y; m->m[6] = f.y;  m->m[7] = 0.0f;
    m->m[8] = r.z; m->m[9] = u.z; m->m[10] = f.z; m->m[11] = 0.0f;
    m->m[12] = -vecDot(&r, eye);
    m->m[13] = -vecDot(&u, eye);
    m->m[14] = -vecDot(&f, eye);
    m->m[15] = 1.0f;
}

void fp_matLookAt(FpMat4* m, const FpVec3* eye, const FpVec3* target, const FpVec3* up)
{
    FpVec3 f, r, u;
    fp_vecSub(&f, target, eye);
    fp_vecNormal(&f);
    fp_vecCross(&r, up, &f);
    fp_vecNormal(&r);
    fp_vecCross(&u, &f, &r);
    m->m[0] = r.x; m->m[1] = u.x; m->m[2] = f.x;  m->m[3] = 0;
    m->m[4] = r.y; m->m[5] = u.y; m->m[6] = f.y;  m->m[7] = 0;
    m->m[8] = r.z; m->m[9] = u.z; m->m[10] = f.z; m->m[11] = 0;
    m->m[12] = fp_sub(0, fp_vecDot(&r, eye));
    m->m[13] = fp_sub(0, fp_vecDot(&u, eye));
    m->m[14] = fp_sub(0, fp_vecDot(&f, eye));
    m->m[15] = FP_ONE;
}

/* ---- Products ------------------------------------------------------------ */

void matMul(Mat4* out, const Mat4* a, const Mat4* b)
{
    Mat4 p; /* built apart, so out may be a or b */
    for (int i = 0; i < 4; i++) {
        for (int j = 0; j < 4; j++) {
            float s = 0.0f;
            for (int k = 0; k < 4; k++)
                s = s + a->m[4 * i + k] * b->m[4 * k + j];
            p.m[4 * i + j] = s;
        }
    }
    *out = p;
}

void fp_matMul(FpMat4* out, const FpMat4* a, const FpMat4* b)
{
    FpMat4 p; /* built apart, so out may be a or b */
    for (int i = 0; i < 4; i++) {
        for (int j = 0; j < 4; j++) {
            fixed s = 0;
            for (int k = 0; k < 4; k++)
                s = fp_add(s, fp_optmul(a->m[4 * i + k], b->m[4 * k + j]));
            p.m[4 * i + j] = s;
        }
    }
    *out = p;
}

/* Component j of (x, y, z, 1) * m. The products are fp_mul, which is what
 * fp_optmul gives in every case; per vertex the multiply is cheaper than
 * the tests that would skip it. */
static inline fixed fp_rowVec(const FpMat4* m, int j, fixed x, fixed y, fixed z)
{
    return fp_add(fp_add(fp_add(fp_mul(m->m[j], x), fp_mul(m->m[4 + j], y)), fp_mul(m->m[8 + j], z)),
                  m->m[12 + j]);
}

void fp_matVecMul(Vertex3D* v, int count, const FpMat4* m)
{
    for (int i = 0; i < count; i++, v++) {
        fixed x = v->x, y = v->y, z = v->z;
        v->sx = fp_rowVec(m, 0, x, y, z);
        v->sy = fp_rowVec(m, 1, x, y, z);
        v->sz = fp_rowVec(m, 2, x, y, z);
        v->sw = fp_rowVec(m, 3, x, y, z);
    }
}

void fp_vecMulNormal(Vertex3D* v, int count, const FpMat4* m)
{
    for (int i = 0; i < count; i++, v++) {
        fixed x = v->nx, y = v->ny, z = v->nz;
        v->tnx = fp_rowVec(m, 0, x, y, z);
        v->tny = fp_rowVec(m, 1, x, y, z);
        v->tnz = fp_rowVec(m, 2, x, y, z);
    }
}

/* ---- Conversions --------------------------------------------------------- */

void mat_convfloat(Mat4* out, const FpMat4* in)
{
    for (int i = 0; i < 16; i++)
        out->m[i] = fp_fconv(in->m[i]);
}

void mat_convfixed(FpMat4* out, const Mat4* in)
{
    for (int i = 0; i < 16; i++)
        out->m[i] = fp_convf(in->m[i]);
}
