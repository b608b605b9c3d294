/*
 * The data set's meshes: they load with the engine's loaders, their faces
 * index only existing vertices, their triangle counts fit the scenes'
 * budgets, and their winding keeps the visible side through the renderer's
 * back-face test.
 */
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "math/kv_matrix.h"
#include "render3d/kv_3D.h"

namespace {

const std::string DATA = ORVEL_DATA_DIR;

struct MeshBudget {
    const char* name;
    unsigned frames;
    unsigned minFaces, maxFaces;
};

/* Triangle budgets: the handheld ran at 200 MHz. */
const MeshBudget MESHES[] = {
    {"kkube.bof", 1, 200, 1500},      {"fractalkube.bof", 1, 500, 6000}, {"fractalkube2.bof", 1, 500, 6000},
    {"petal.bof", 1, 50, 600},        {"tunnel.bof", 1, 200, 3000},      {"ship.bof", 1, 40, 400},
    {"botrun.baf", 60, 150, 600},     {"greetground.bof", 1, 8, 400},    {"grt.baf", 6, 2, 400},
    {"bll4.bof", 1, 1000, 2000},
};

void load(const std::string& name, Object3D* o)
{
    std::string path = DATA + "/" + name;
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".baf") == 0)
        loadBAF(path.c_str(), o);
    else
        loadBOF(path.c_str(), o);
}

/* Reads the file's counts and faces on its own, without the engine's
 * loader, so a loader that forgave a bad index would not hide it. */
void parse(const std::string& name, unsigned* v, unsigned* f, unsigned* n, std::vector<unsigned>* idx)
{
    std::ifstream in(DATA + "/" + name);
    std::string head;
    in >> head >> *v >> *f;
    *n = 1;
    if (name.find(".baf") != std::string::npos)
        in >> *n;
    float x, y, z;
    in >> x >> y >> z;
    for (unsigned i = 0; i < *v * *n; i++) {
        unsigned k;
        float a, b, c, d, e;
        in >> k >> a >> b >> c >> d >> e;
    }
    for (unsigned i = 0; i < *f; i++) {
        unsigned k, a, b, c;
        in >> k >> a >> b >> c;
        idx->insert(idx->end(), {a, b, c});
    }
    ASSERT_TRUE((bool)in) << name << " ends early";
    std::string rest;
    in >> rest;
    EXPECT_TRUE(rest.empty()) << name << " has trailing data";
}

TEST(DataMeshes, LoadWithTheirFramesAndBudgets)
{
    for (const MeshBudget& m : MESHES) {
        SCOPED_TRACE(m.name);
        unsigned v = 0, f = 0, n = 0;
        std::vector<unsigned> idx;
        parse(m.name, &v, &f, &n, &idx);
        for (unsigned i : idx)
            ASSERT_LT(i, v) << "face index out of range";
        Object3D o{};
        load(m.name, &o);
        EXPECT_EQ(o.vertCount, v);
        EXPECT_EQ(o.faceCount, f);
        EXPECT_EQ(o.frameCount, m.frames);
        EXPECT_GE(o.faceCount, m.minFaces);
        EXPECT_LE(o.faceCount, m.maxFaces);
        EXPECT_GT(o.edgeCount, 0);
        kill3D(&o);
    }
}

/* World position of object point p when the object is posed with set3D at
 * the origin with these angles: p * (RotZ * (RotX * RotY)), as project does. */
Vec3 turned(Vec3 p, float rotY, float rotX, float rotZ)
{
    Mat4 rx, ry, rz, t, m;
    matRotX(&rx, rotX);
    matRotY(&ry, rotY);
    matRotZ(&rz, rotZ);
    matMul(&t, &rx, &ry);
    matMul(&m, &rz, &t);
    return {p.x * m.m[0] + p.y * m.m[4] + p.z * m.m[8], p.x * m.m[1] + p.y * m.m[5] + p.z * m.m[9],
            p.x * m.m[2] + p.y * m.m[6] + p.z * m.m[10]};
}

Vec3 at(const Object3D& o, unsigned i)
{
    const Vertex3D& v = o.verts[i];
    return {fp_fconv(v.x), fp_fconv(v.y), fp_fconv(v.z)};
}

Vec3 sub(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 crs(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
float dt(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
float ln(Vec3 a) { return std::sqrt(dt(a, a)); }

/* Every face's normal (B - A) x (C - A) points away from the centre. */
void expectOutward(const char* name)
{
    SCOPED_TRACE(name);
    Object3D o{};
    load(name, &o);
    ASSERT_GT(o.faceCount, 0u);
    for (unsigned f = 0; f < o.faceCount; f++) {
        const Face3D& t = o.faces[f];
        Vec3 a = at(o, t.ia), b = at(o, t.ib), c = at(o, t.ic);
        Vec3 n = crs(sub(b, a), sub(c, a));
        Vec3 mid = {(a.x + b.x + c.x) / 3.0f, (a.y + b.y + c.y) / 3.0f, (a.z + b.z + c.z) / 3.0f};
        ASSERT_GT(dt(n, mid), 0.0f) << "face " << f << " points inwards";
    }
    kill3D(&o);
}

TEST(DataMeshes, SphereAndCubeNormalsPointOutwards)
{
    expectOutward("bll4.bof");
    expectOutward("kkube.bof");
}

/* Seen from outside at several turns of the object, the faces that face the
 * eye pass the renderer's back-face test and those facing away fail it. */
void expectBackFaceTestKeepsOutside(const char* name)
{
    SCOPED_TRACE(name);
    Object3D o{};
    load(name, &o);
    ASSERT_GT(o.faceCount, 0u);
    std::vector<Vec3> rest(o.vertCount);
    for (unsigned i = 0; i < o.vertCount; i++)
        rest[i] = at(o, i);
    const Vec3 eye = {0.0f, 0.0f, -900.0f};
    cam_setClip(&cam, 50, 2000, 200.0f);
    cam_set(&cam, eye.x, eye.y, eye.z, 0, 0, 0);
    cam_update(&cam);
    const float turns[][3] = {{0, 0, 0}, {0.7f, 0.3f, 0.1f}, {2.0f, -1.1f, 0.5f}, {-2.6f, 2.2f, -1.3f}};
    int kept = 0, dropped = 0;
    for (const auto& tr : turns) {
        set3D(&o, 0, 0, 0, tr[0], tr[1], tr[2]);
        project(&o);
        for (unsigned f = 0; f < o.faceCount; f++) {
            const Face3D& t = o.faces[f];
            Vec3 a = turned(rest[t.ia], tr[0], tr[1], tr[2]), b = turned(rest[t.ib], tr[0], tr[1], tr[2]),
                 c = turned(rest[t.ic], tr[0], tr[1], tr[2]);
            Vec3 n = crs(sub(b, a), sub(c, a));
            Vec3 mid = {(a.x + b.x + c.x) / 3.0f, (a.y + b.y + c.y) / 3.0f, (a.z + b.z + c.z) / 3.0f};
            Vec3 toEye = sub(eye, mid);
            if (ln(n) == 0.0f)
                continue;
            float facing = dt(n, toEye) / (ln(n) * ln(toEye));
            const Vertex3D &A = o.verts[t.ia], &B = o.verts[t.ib], &C = o.verts[t.ic];
            int64_t lhs = (int64_t)(A.sx - B.sx) * (B.sy - C.sy), rhs = (int64_t)(A.sy - B.sy) * (B.sx - C.sx);
            /* Near the silhouette the engine's table trigonometry and
             * fixed-point screen positions may round a sliver either way;
             * a triangle of zero area on the screen draws nothing. */
            if (lhs == rhs)
                continue;
            if (facing > 0.25f) {
                EXPECT_GE(lhs, rhs) << "face " << f << " faces the eye but is culled";
                kept++;
            } else if (facing < -0.25f) {
                EXPECT_LT(lhs, rhs) << "face " << f << " faces away but is drawn";
                dropped++;
            }
        }
    }
    EXPECT_GT(kept, 0);
    EXPECT_GT(dropped, 0);
    kill3D(&o);
}

TEST(DataMeshes, BackFaceTestKeepsTheOutsideOfSphereAndCube)
{
    expectBackFaceTestKeepsOutside("bll4.bof");
    expectBackFaceTestKeepsOutside("kkube.bof");
    expectBackFaceTestKeepsOutside("fractalkube.bof");
}

TEST(DataMeshes, TunnelFacesInwardsAndGroundUpwards)
{
    Object3D o{};
    load("tunnel.bof", &o);
    ASSERT_GT(o.faceCount, 0u);
    for (unsigned f = 0; f < o.faceCount; f++) {
        const Face3D& t = o.faces[f];
        Vec3 a = at(o, t.ia), b = at(o, t.ib), c = at(o, t.ic);
        Vec3 n = crs(sub(b, a), sub(c, a));
        Vec3 radial = {a.x + b.x + c.x, a.y + b.y + c.y, 0.0f};
        ASSERT_LT(dt(n, radial), 0.0f) << "tunnel face " << f << " faces outwards";
    }
    kill3D(&o);
    for (const char* name : {"greetground.bof", "grt.baf"}) {
        load(name, &o);
        ASSERT_GT(o.faceCount, 0u) << name;
        for (unsigned f = 0; f < o.faceCount; f++) {
            const Face3D& t = o.faces[f];
            Vec3 n = crs(sub(at(o, t.ib), at(o, t.ia)), sub(at(o, t.ic), at(o, t.ia)));
            ASSERT_GT(n.y, 0.0f) << name << " face " << f << " faces down";
        }
        kill3D(&o);
    }
}

TEST(DataMeshes, RobotStandsOnItsFeetInEveryFrame)
{
    Object3D o{};
    load("botrun.baf", &o);
    ASSERT_EQ(o.frameCount, 60u);
    for (unsigned k = 0; k < o.frameCount; k++) {
        float low = 1e9f, high = -1e9f;
        for (unsigned i = 0; i < o.vertCount; i++) {
            float y = fp_fconv(o.verts[k * o.vertCount + i].y);
            low = std::fmin(low, y);
            high = std::fmax(high, y);
        }
        EXPECT_NEAR(low, -13.0f, 0.01f) << "frame " << k;
        EXPECT_GT(high, 60.0f) << "frame " << k;
    }
    kill3D(&o);
}

} // namespace
