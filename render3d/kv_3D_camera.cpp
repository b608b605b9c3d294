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
    fixed n[3][4]; /* 0 */
    fixed m[4][4]; /* 48 */
    fixed near;    /* 112: cam.near */
    fixed depth;   /* 116: cam.depth */
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
    c.near = cam.near;
    c.depth = cam.depth;
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
static inline void proj_vertex(Vertex3D* v, const ProjCols& c)
{
    const fixed near = c.near, depth = c.depth;
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

#if defined(__arm__) && !defined(__thumb__)
/* fp_udiv for the ARM code below (a C name to call). */
extern "C" uint32_t proj_udiv(uint32_t n, uint32_t d)
{
    return fp_udiv(n, d);
}

/* proj_vertex for the vertices v .. end - 1 in ARM code for the handheld:
 * about 200 instructions a vertex (some 40 of them the division) where the
 * compiler's took about 250. Each output of a matrix takes its column in
 * one block load (ProjCols) and its three products as smull, the low 32
 * bits of the product >> 12 being lo >> 12 | hi << 20, as fp_mul. Per
 * vertex: the view normal (r0-r2 nx ny nz, each output in r3), then the
 * transform (r0-r2 x y z; sx sy sz sw in r12 lr r3 r0), kept in r7-r9 and
 * r6 across the division, then the projection. r4 the vertex, r5 the
 * columns, [sp] end. */
static_assert(sizeof(Vertex3D) == 64 && offsetof(Vertex3D, sx) == 12 && offsetof(Vertex3D, nx) == 36 &&
                  offsetof(Vertex3D, tnx) == 48 && offsetof(Vertex3D, clip) == 60 &&
                  offsetof(Vertex3D, behind) == 61 && offsetof(ProjCols, near) == 112,
              "proj_runArm reads Vertex3D and ProjCols at these offsets");
extern "C" void proj_runArm(Vertex3D* v, Vertex3D* end, const ProjCols* c);
__asm__(R"(
    .pushsection .text
    .arm
    .align 2
    .macro  proj_dot acc            @ acc = the next column . (r0, r1, r2, 1)
    ldmia   r5!, {r6-r9}
    smull   r10, r11, r6, r0
    mov     \acc, r10, lsr #12
    orr     \acc, \acc, r11, lsl #20
    smull   r10, r11, r7, r1
    mov     r10, r10, lsr #12
    orr     r10, r10, r11, lsl #20
    add     \acc, \acc, r10
    smull   r10, r11, r8, r2
    mov     r10, r10, lsr #12
    orr     r10, r10, r11, lsl #20
    add     \acc, \acc, r10
    add     \acc, \acc, r9
    .endm
    .global proj_runArm
    .type proj_runArm, %function
proj_runArm:
    push    {r1, r4, r5, r6, r7, r8, r9, r10, r11, lr}
    mov     r4, r0
    mov     r5, r2
.Lproj_vertex:
    add     r12, r4, #36
    ldmia   r12, {r0-r2}            @ nx ny nz
    proj_dot r3
    str     r3, [r4, #48]           @ tnx
    proj_dot r3
    str     r3, [r4, #52]           @ tny
    proj_dot r3
    str     r3, [r4, #56]           @ tnz
    ldmia   r4, {r0-r2}             @ x y z
    proj_dot r12                    @ sx
    proj_dot lr                     @ sy
    proj_dot r3                     @ sz
    proj_dot r0                     @ sw
    mov     r7, r12
    mov     r8, lr
    mov     r9, r3
    movs    r6, r0                  @ W 0: e = 0 (r0)
    beq     .Lproj_e
    rsbmi   r1, r0, #0
    movpl   r1, r0
    mov     r0, #0x20000000         @ e = (32.0 << 12) / W, truncated
    bl      proj_udiv
    cmp     r6, #0
    rsblt   r0, r0, #0
.Lproj_e:                           @ r0 e
    smull   r10, r11, r7, r0
    mov     r10, r10, lsr #12
    orr     r10, r10, r11, lsl #20
    mov     r7, r10, asr #5         @ xp
    smull   r10, r11, r8, r0
    mov     r10, r10, lsr #12
    orr     r10, r10, r11, lsl #20
    mov     r8, r10, asr #5         @ yp
    smull   r10, r11, r9, r0
    mov     r10, r10, lsr #12
    orr     r10, r10, r11, lsl #20
    mov     r9, r10, asr #5         @ zp
    cmp     r0, #0
    movgt   r1, #0xFF
    movle   r1, #0
    strb    r1, [r4, #61]           @ behind
    mov     r1, #0                  @ the out-code
    cmn     r7, #4096
    orrlt   r1, r1, #0x01
    cmp     r7, #4096
    orrgt   r1, r1, #0x02
    cmn     r8, #4096
    orrlt   r1, r1, #0x04
    cmp     r8, #4096
    orrgt   r1, r1, #0x08
    cmn     r9, #4096
    orrlt   r1, r1, #0x10
    cmp     r9, #4096
    orrgt   r1, r1, #0x20
    strb    r1, [r4, #60]
    ldmia   r5, {r2, r3}            @ near depth
    add     r10, r7, r7, lsl #2
    mov     r11, #0xA0000
    sub     r6, r11, r10, lsl #5    @ sx = 160.0 - xp * 160
    rsb     r10, r8, r8, lsl #4
    mov     r11, #0x78000
    add     r7, r11, r10, lsl #3    @ sy = 120.0 + yp * 120
    rsb     r10, r9, #4096
    mov     r10, r10, asr #1
    smull   r11, r12, r3, r10
    mov     r11, r11, lsr #12
    orr     r11, r11, r12, lsl #20
    add     r8, r2, r11             @ sz = near + depth * ((1.0 - zp) >> 1)
    mov     r9, #4096               @ sw
    add     r12, r4, #12
    stmia   r12, {r6-r9}
    sub     r5, r5, #112
    add     r4, r4, #64
    ldr     r12, [sp]
    cmp     r4, r12
    bne     .Lproj_vertex
    pop     {r1, r4, r5, r6, r7, r8, r9, r10, r11, lr}
    bx      lr
    .size proj_runArm, . - proj_runArm
    .purgem proj_dot
    .popsection
)");
#endif

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
#if defined(__arm__) && !defined(__thumb__)
    if (obj->vertCount)
        proj_runArm(base, base + obj->vertCount, &cols);
#else
    for (uint32_t i = 0; i < obj->vertCount; i++)
        proj_vertex(&base[i], cols);
#endif
}
