/* Matrices: builders, the product order, the vertex transforms, projection
 * and look-at, conversions. */
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "math/kv_matrix.h"
#include "render3d/kv_3D.h"

namespace {

const float QUARTER_TURN = 1.5707964f; /* exactly 64 table steps */

FpMat4 fpIdentity()
{
    FpMat4 m;
    fp_matIdentity(&m);
    return m;
}

void expectSame(const FpMat4& a, const FpMat4& b)
{
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(a.m[i], b.m[i]) << "element " << i;
}

Vertex3D vertexAt(fixed x, fixed y, fixed z)
{
    Vertex3D v;
    memset(&v, 0x5A, sizeof v);
    v.x = x;
    v.y = y;
    v.z = z;
    return v;
}

TEST(Matrix, IdentityAndZeroRotationsAreTheExactIdentity)
{
    FpMat4 id = fpIdentity(), m;
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(id.m[i], (i == 0 || i == 5 || i == 10 || i == 15) ? 4096 : 0) << i;
    fp_matRotX(&m, 0.0f);
    expectSame(m, id);
    fp_matRotY(&m, 0.0f);
    expectSame(m, id);
    fp_matRotZ(&m, 0.0f);
    expectSame(m, id);
    Mat4 f;
    matIdentity(&f);
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(f.m[i], (i % 5 == 0) ? 1.0f : 0.0f) << i;
}

TEST(Matrix, QuarterTurnsTakeEachAxisToTheNext)
{
    FpMat4 m;
    Vertex3D v;
    fp_matRotZ(&m, QUARTER_TURN); /* x -> y */
    v = vertexAt(4096, 0, 0);
    fp_matVecMul(&v, 1, &m);
    EXPECT_EQ(v.sx, 0); EXPECT_EQ(v.sy, 4096); EXPECT_EQ(v.sz, 0); EXPECT_EQ(v.sw, 4096);
    fp_matRotX(&m, QUARTER_TURN); /* y -> z */
    v = vertexAt(0, 4096, 0);
    fp_matVecMul(&v, 1, &m);
    EXPECT_EQ(v.sx, 0); EXPECT_EQ(v.sy, 0); EXPECT_EQ(v.sz, 4096);
    fp_matRotY(&m, QUARTER_TURN); /* z -> x */
    v = vertexAt(0, 0, 4096);
    fp_matVecMul(&v, 1, &m);
    EXPECT_EQ(v.sx, 4096); EXPECT_EQ(v.sy, 0); EXPECT_EQ(v.sz, 0);
}

TEST(Matrix, FloatAndFixedBuildersAgree)
{
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> angle(-7.0f, 7.0f);
    void (*floatRot[3])(Mat4*, float) = {matRotX, matRotY, matRotZ};
    void (*fixedRot[3])(FpMat4*, float) = {fp_matRotX, fp_matRotY, fp_matRotZ};
    for (int i = 0; i < 300; i++) {
        float a = angle(rng);
        for (int r = 0; r < 3; r++) {
            Mat4 f;
            FpMat4 want, got;
            floatRot[r](&f, a);
            mat_convfixed(&got, &f);
            fixedRot[r](&want, a);
            for (int e = 0; e < 16; e++)
                ASSERT_EQ(got.m[e], want.m[e]) << "rotation " << r << " angle " << a << " element " << e;
        }
    }
    Mat4 t;
    matTranslate(&t, 1.5f, -2.0f, 3.25f);
    FpMat4 tf, tw;
    mat_convfixed(&tf, &t);
    fp_matTranslate(&tw, 6144, -8192, 13312);
    expectSame(tf, tw);
}

TEST(Matrix, ProductsAreRowByColumnAndApplyTheLeftFactorFirst)
{
    FpMat4 a, b, p;
    for (int i = 0; i < 16; i++) {
        a.m[i] = fp_convi(i + 1);
        b.m[i] = fp_convi((i * 7) % 5 - 2);
    }
    fp_matMul(&p, &a, &b);
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++) {
            int want = 0;
            for (int k = 0; k < 4; k++)
                want += (4 * r + k + 1) * ((((4 * k + c) * 7) % 5) - 2);
            EXPECT_EQ(p.m[4 * r + c], fp_convi(want)) << r << "," << c;
        }
    fp_matMul(&a, &a, &b); /* the output may be an input */
    expectSame(a, p);

    /* move to (1, 2, 3), then a quarter turn about z: (-2, 1, 3) */
    FpMat4 t, rz, tr, rt;
    fp_matTranslate(&t, fp_convi(1), fp_convi(2), fp_convi(3));
    fp_matRotZ(&rz, QUARTER_TURN);
    fp_matMul(&tr, &t, &rz);
    fp_matMul(&rt, &rz, &t);
    Vertex3D v = vertexAt(0, 0, 0);
    fp_matVecMul(&v, 1, &tr);
    EXPECT_EQ(v.sx, fp_convi(-2)); EXPECT_EQ(v.sy, fp_convi(1)); EXPECT_EQ(v.sz, fp_convi(3));
    fp_matVecMul(&v, 1, &rt);
    EXPECT_EQ(v.sx, fp_convi(1)); EXPECT_EQ(v.sy, fp_convi(2)); EXPECT_EQ(v.sz, fp_convi(3));

    Mat4 ft, frz, ftr;
    matTranslate(&ft, 1.0f, 2.0f, 3.0f);
    matRotZ(&frz, QUARTER_TURN);
    matMul(&ftr, &ft, &frz);
    EXPECT_EQ(ftr.m[12], -2.0f); EXPECT_EQ(ftr.m[13], 1.0f); EXPECT_EQ(ftr.m[14], 3.0f);
    matMul(&ft, &ft, &frz);
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(ft.m[i], ftr.m[i]) << i;
}

TEST(Matrix, TheIdentityLeavesEveryElementAlone)
{
    std::mt19937 rng(8);
    FpMat4 a, id = fpIdentity(), out;
    for (int round = 0; round < 50; round++) {
        for (int i = 0; i < 16; i++)
            a.m[i] = (int32_t)rng();
        a.m[round % 16] = INT32_MIN;
        fp_matMul(&out, &a, &id);
        expectSame(out, a);
        fp_matMul(&out, &id, &a);
        expectSame(out, a);
    }
}

TEST(Matrix, VertexTransformsWriteOnlyTheirFieldsAndOnlyCountRecords)
{
    FpMat4 t;
    fp_matTranslate(&t, fp_convi(10), fp_convi(-20), 5);
    Vertex3D v[3] = {vertexAt(4096, 8192, -4096), vertexAt(-7, 0, 1), vertexAt(1, 2, 3)};
    Vertex3D before[3];
    memcpy(before, v, sizeof v);
    fp_matVecMul(v, 0, &t);
    fp_matVecMul(v, -1, &t);
    fp_vecMulNormal(v, 0, &t);
    fp_vecMulNormal(v, -5, &t);
    EXPECT_EQ(memcmp(v, before, sizeof v), 0);

    fp_matVecMul(v, 2, &t);
    EXPECT_EQ(v[0].sx, 4096 + 40960); EXPECT_EQ(v[0].sy, 8192 - 81920);
    EXPECT_EQ(v[0].sz, -4096 + 5);    EXPECT_EQ(v[0].sw, 4096);
    EXPECT_EQ(v[1].sx, -7 + 40960);   EXPECT_EQ(v[1].sz, 6);
    EXPECT_EQ(memcmp(&v[2], &before[2], sizeof v[2]), 0);
    EXPECT_EQ(v[0].tnx, before[0].tnx);

    FpMat4 rz;
    fp_matRotZ(&rz, QUARTER_TURN);
    v[0].nx = 4096; v[0].ny = 0; v[0].nz = 0;
    Vertex3D mid = v[0];
    fp_vecMulNormal(v, 1, &rz);
    EXPECT_EQ(v[0].tnx, 0); EXPECT_EQ(v[0].tny, 4096); EXPECT_EQ(v[0].tnz, 0);
    EXPECT_EQ(v[0].sx, mid.sx); EXPECT_EQ(v[0].u, mid.u); EXPECT_EQ(v[0].clip, mid.clip);
    fp_vecMulNormal(v, 1, &t); /* the translation row is added */
    EXPECT_EQ(v[0].tnx, 4096 + 40960); EXPECT_EQ(v[0].tnz, 5);
}

Camera cameraWithClip(int nearUnits, int farUnits, float zoom)
{
    Camera c;
    memset(&c, 0, sizeof c);
    c.near = fp_convi(nearUnits);
    c.far = fp_convi(farUnits);
    c.depth = fp_convi(farUnits - nearUnits);
    c.zoom = zoom;
    return c;
}

TEST(Matrix, ProjectionOfTheDemoCamera)
{
    Camera c = cameraWithClip(72, 1200, 200.0f);
    ASSERT_EQ(c.near, 294912);
    ASSERT_EQ(c.far, 4915200);
    ASSERT_EQ(c.depth, 4620288);
    FpMat4 p;
    fp_matProject(&p, &c);
    const fixed want[16] = {5120, 0, 0, 0,  0, 6826, 0, 0,  0, 0, 4618, -4096,  0, 0, -627472, 0};
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(p.m[i], want[i]) << i;

    /* z / w: +1.0 at the near plane, -1.0 at the far plane; w = -z */
    Vertex3D v[2] = {vertexAt(0, 0, c.near), vertexAt(0, 0, c.far)};
    fp_matVecMul(v, 2, &p);
    EXPECT_EQ(v[0].sw, -c.near);
    EXPECT_NEAR((double)v[0].sz / v[0].sw, 1.0, 1e-3);
    EXPECT_NEAR((double)v[1].sz / v[1].sw, -1.0, 1e-3);

    Mat4 pf;
    matProject(&pf, &c);
    FpMat4 pc;
    mat_convfixed(&pc, &pf);
    for (int i = 0; i < 16; i++)
        EXPECT_NEAR(pc.m[i], p.m[i], 1) << i;

    Camera unset = cameraWithClip(10, 10, 200.0f); /* depth 0: no crash */
    fp_matProject(&p, &unset);
    EXPECT_EQ(p.m[10], 0);
    EXPECT_EQ(p.m[14], 0);
}

TEST(Matrix, LookAtMovesTheEyeToTheOriginFacingPlusZ)
{
    Mat4 m;
    Vec3 eye = {0, 0, -10}, target = {0, 0, 0}, up = {0, 1, 0};
    matLookAt(&m, &eye, &target, &up);
    const float want[16] = {1, 0, 0, 0,  0, 1, 0, 0,  0, 0, 1, 0,  0, 0, 10, 1};
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(m.m[i], want[i]) << i;

    /* off-axis in fixed: the eye lands on the origin, the target on +z */
    FpMat4 f;
    FpVec3 feye = {fp_convi(30), fp_convi(-10), fp_convi(20)}, ftarget = {fp_convi(5), fp_convi(2), fp_convi(-4)};
    FpVec3 fup = {0, 4096, 0};
    fp_matLookAt(&f, &feye, &ftarget, &fup);
    EXPECT_EQ(f.m[3], 0); EXPECT_EQ(f.m[7], 0); EXPECT_EQ(f.m[11], 0); EXPECT_EQ(f.m[15], 4096);
    Vertex3D v[2] = {vertexAt(feye.x, feye.y, feye.z), vertexAt(ftarget.x, ftarget.y, ftarget.z)};
    fp_matVecMul(v, 2, &f);
    for (fixed c : {v[0].sx, v[0].sy, v[0].sz})
        EXPECT_NEAR(c, 0, 4096 / 4);
    double dist = std::sqrt(25.0 * 25 + 12 * 12 + 24 * 24) * 4096;
    EXPECT_NEAR(v[1].sx, 0, dist * 0.1);
    EXPECT_NEAR(v[1].sy, 0, dist * 0.1);
    EXPECT_NEAR(v[1].sz, dist, dist * 0.1);
}

TEST(Matrix, ConversionsRoundTripAndTruncate)
{
    FpMat4 a, b;
    Mat4 f;
    for (int i = 0; i < 16; i++)
        a.m[i] = (i - 8) * 123457 + i; /* well inside float's 24 bits */
    mat_convfloat(&f, &a);
    EXPECT_EQ(f.m[0], fp_fconv(a.m[0]));
    mat_convfixed(&b, &f);
    expectSame(a, b);
    f.m[0] = -0.9999f / 4096;
    f.m[1] = 2.99999f / 4096;
    mat_convfixed(&b, &f);
    EXPECT_EQ(b.m[0], 0);
    EXPECT_EQ(b.m[1], 2);
}

} // namespace
