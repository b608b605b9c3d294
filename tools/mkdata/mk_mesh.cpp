/*
 * mk_mesh: mesh generators and the object file writer (see mk_mesh.h).
 */
#include "tools/mkdata/mk_mesh.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <tuple>

const float BALL_RADIUS = 190.0f;
const float TUNNEL_RADIUS = 24.0f;
const int GREET_BANDS = 8;

namespace {

const float PI = 3.14159265358979f;

struct V3 {
    float x, y, z;
};
V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 operator*(V3 a, float k) { return {a.x * k, a.y * k, a.z * k}; }
float dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
float len(V3 a) { return std::sqrt(dot(a, a)); }
V3 norm(V3 a)
{
    float l = len(a);
    return l > 0.0f ? a * (1.0f / l) : a;
}
V3 pos(const MVert& v) { return {v.x, v.y, v.z}; }

uint32_t addVert(Mesh& m, V3 p, float u, float v)
{
    m.v.push_back({p.x, p.y, p.z, u, v});
    return (uint32_t)(m.v.size() - 1);
}

/* A triangle wound so that its normal (B - A) x (C - A) agrees with out. */
void addTri(Mesh& m, uint32_t a, uint32_t b, uint32_t c, V3 out)
{
    V3 n = cross(pos(m.v[b]) - pos(m.v[a]), pos(m.v[c]) - pos(m.v[a]));
    if (dot(n, out) < 0.0f)
        std::swap(b, c);
    m.f.push_back({a, b, c});
}

/* A quad a-b-c-d (in order around it) as two triangles facing out. */
void addQuad(Mesh& m, uint32_t a, uint32_t b, uint32_t c, uint32_t d, V3 out)
{
    addTri(m, a, b, c, out);
    addTri(m, a, c, d, out);
}

/* Appends src to dst, turning each vertex by f. */
template <class F>
void append(Mesh& dst, const Mesh& src, F f)
{
    uint32_t base = (uint32_t)dst.v.size();
    for (const MVert& v : src.v)
        dst.v.push_back(f(v));
    for (const MTri& t : src.f)
        dst.f.push_back({t[0] + base, t[1] + base, t[2] + base});
}

/* An axis-aligned box of 8 shared corners (smooth normals round its edges),
 * texture coordinates from the corner's octant. */
void addBox(Mesh& m, V3 c, V3 h)
{
    uint32_t base = (uint32_t)m.v.size();
    for (int i = 0; i < 8; i++) {
        float sx = (i & 1) ? 1.0f : -1.0f, sy = (i & 2) ? 1.0f : -1.0f, sz = (i & 4) ? 1.0f : -1.0f;
        addVert(m, {c.x + sx * h.x, c.y + sy * h.y, c.z + sz * h.z}, (sx + 1.0f) * 0.5f, (sy + 1.0f) * 0.5f);
    }
    /* Each face: the four corners with one coordinate fixed, in order around. */
    static const int FACE[6][4] = {{0, 2, 6, 4}, {1, 3, 7, 5}, {0, 1, 5, 4}, {2, 3, 7, 6}, {0, 1, 3, 2}, {4, 5, 7, 6}};
    static const float OUT[6][3] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};
    for (int f = 0; f < 6; f++)
        addQuad(m, base + FACE[f][0], base + FACE[f][1], base + FACE[f][2], base + FACE[f][3],
                {OUT[f][0], OUT[f][1], OUT[f][2]});
}

/* Welds vertices at the same position (to 1/1000 unit) so that smooth
 * normals run across seams; the first vertex's texture coordinates stay. */
Mesh weld(const Mesh& m)
{
    Mesh out;
    std::map<std::tuple<long, long, long>, uint32_t> seen;
    std::vector<uint32_t> remap(m.v.size());
    for (size_t i = 0; i < m.v.size(); i++) {
        auto key = std::make_tuple(std::lround(m.v[i].x * 1000.0f), std::lround(m.v[i].y * 1000.0f),
                                   std::lround(m.v[i].z * 1000.0f));
        auto it = seen.find(key);
        if (it == seen.end()) {
            out.v.push_back(m.v[i]);
            it = seen.emplace(key, (uint32_t)(out.v.size() - 1)).first;
        }
        remap[i] = it->second;
    }
    for (const MTri& t : m.f) {
        MTri r = {remap[t[0]], remap[t[1]], remap[t[2]]};
        if (r[0] != r[1] && r[1] != r[2] && r[0] != r[2])
            out.f.push_back(r);
    }
    return out;
}

/* A convex slab: the convex planar polygon pts (in order) swept by the
 * vector thick; faces point away from the slab's centre. */
void addSlab(Mesh& m, const std::vector<V3>& pts, V3 thick)
{
    size_t n = pts.size();
    V3 c = {0, 0, 0};
    for (V3 p : pts)
        c = c + p;
    c = c * (1.0f / (float)n) + thick * 0.5f;
    uint32_t base = (uint32_t)m.v.size();
    for (size_t i = 0; i < n; i++)
        addVert(m, pts[i], (float)i / (float)n, 0.0f);
    for (size_t i = 0; i < n; i++)
        addVert(m, pts[i] + thick, (float)i / (float)n, 1.0f);
    for (size_t i = 1; i + 1 < n; i++) {
        addTri(m, base, base + (uint32_t)i, base + (uint32_t)i + 1, thick * -1.0f);
        addTri(m, base + (uint32_t)n, base + (uint32_t)(n + i), base + (uint32_t)(n + i + 1), thick);
    }
    for (size_t i = 0; i < n; i++) {
        uint32_t a = base + (uint32_t)i, b = base + (uint32_t)((i + 1) % n);
        V3 mid = (pts[i] + pts[(i + 1) % n]) * 0.5f + thick * 0.5f;
        addQuad(m, a, b, b + (uint32_t)n, a + (uint32_t)n, mid - c);
    }
}

/* A closed tube along local -y from 0 to -length: `sides` sides, radius r0 at
 * the top and r1 at the bottom, capped at both ends (joints and limbs). */
void addLimb(Mesh& m, float length, float r0, float r1, int sides)
{
    uint32_t base = (uint32_t)m.v.size();
    for (int ring = 0; ring < 2; ring++) {
        float r = ring ? r1 : r0, y = ring ? -length : 0.0f;
        for (int s = 0; s < sides; s++) {
            float a = 2.0f * PI * (float)s / (float)sides;
            addVert(m, {r * std::cos(a), y, r * std::sin(a)}, (float)s / (float)sides, (float)ring);
        }
    }
    uint32_t top = addVert(m, {0, r0 * 0.35f, 0}, 0.5f, 0.0f);
    uint32_t bottom = addVert(m, {0, -length - r1 * 0.35f, 0}, 0.5f, 1.0f);
    for (int s = 0; s < sides; s++) {
        uint32_t a = base + (uint32_t)s, b = base + (uint32_t)((s + 1) % sides);
        float am = 2.0f * PI * ((float)s + 0.5f) / (float)sides;
        V3 out = {std::cos(am), 0.0f, std::sin(am)};
        addQuad(m, a, b, b + (uint32_t)sides, a + (uint32_t)sides, out);
        addTri(m, top, a, b, {0, 1, 0});
        addTri(m, bottom, a + (uint32_t)sides, b + (uint32_t)sides, {0, -1, 0});
    }
}

/* ---- A small rigid-transform kit for the robot ---------------------------- */

struct Xf {
    float r[3][3]; /* rotation, columns are the local axes in the parent */
    V3 t;          /* origin in the parent */
};

V3 xfApply(const Xf& x, V3 p)
{
    return {x.r[0][0] * p.x + x.r[0][1] * p.y + x.r[0][2] * p.z + x.t.x,
            x.r[1][0] * p.x + x.r[1][1] * p.y + x.r[1][2] * p.z + x.t.y,
            x.r[2][0] * p.x + x.r[2][1] * p.y + x.r[2][2] * p.z + x.t.z};
}

Xf xfMul(const Xf& a, const Xf& b)
{
    Xf o;
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++)
            o.r[i][j] = a.r[i][0] * b.r[0][j] + a.r[i][1] * b.r[1][j] + a.r[i][2] * b.r[2][j];
    o.t = xfApply(a, b.t);
    return o;
}

/* Translation by t, then a turn of a radians about the local x axis: a
 * positive angle swings -y towards +z (a limb hanging down swings forward)
 * and +y towards -z. */
Xf xfJointX(V3 t, float a)
{
    float c = std::cos(a), s = std::sin(a);
    return Xf{{{1, 0, 0}, {0, c, s}, {0, -s, c}}, t};
}

/* A turn of a radians about the z axis (a sideways tilt). */
Xf xfRotZ(float a)
{
    float c = std::cos(a), s = std::sin(a);
    return Xf{{{c, -s, 0}, {s, c, 0}, {0, 0, 1}}, {0, 0, 0}};
}

} // namespace

/* ---- Writers ------------------------------------------------------------------ */

static void putVerts(std::string& s, const std::vector<MVert>& v, size_t first)
{
    char line[160];
    for (size_t i = 0; i < v.size(); i++) {
        snprintf(line, sizeof line, "%zu %.3f %.3f %.3f %.4f %.4f\n", first + i, v[i].x, v[i].y, v[i].z, v[i].u,
                 v[i].v);
        s += line;
    }
}

static void putFaces(std::string& s, const std::vector<MTri>& f)
{
    char line[96];
    for (size_t i = 0; i < f.size(); i++) {
        snprintf(line, sizeof line, "%zu %u %u %u\n", i, f[i][0], f[i][1], f[i][2]);
        s += line;
    }
}

std::string mesh_bof(const Mesh& m)
{
    char head[96];
    snprintf(head, sizeof head, "orvelobj\n%zu %zu\n0 0 0\n", m.v.size(), m.f.size());
    std::string s = head;
    putVerts(s, m.v, 0);
    putFaces(s, m.f);
    return s;
}

std::string mesh_baf(const Anim& a)
{
    size_t nv = a.frames.empty() ? 0 : a.frames[0].size();
    char head[96];
    snprintf(head, sizeof head, "orvelanim\n%zu %zu %zu\n0 0 0\n", nv, a.f.size(), a.frames.size());
    std::string s = head;
    for (size_t k = 0; k < a.frames.size(); k++)
        putVerts(s, a.frames[k], k * nv);
    putFaces(s, a.f);
    return s;
}

/* ---- The objects ---------------------------------------------------------------- */

Mesh mesh_kkube(void)
{
    /* Each face of the cube [-1, 1]^3 is a 9x9 grid; a grid point p maps to
     * the rounded box: q = p clamped to [-A, A], point = q + (1 - A) * unit(p - q).
     * The grid lines near the edges sit where the bevel's arc reaches 15 and 30
     * degrees, so the rounded edges get three strips a side. */
    const float HALF = 110.0f;
    const float A = 0.72f;
    const float T15 = A + (1.0f - A) * 0.267949f, T30 = A + (1.0f - A) * 0.577350f;
    const float G[9] = {-1.0f, -T30, -T15, -A, 0.0f, A, T15, T30, 1.0f};
    Mesh m;
    for (int axis = 0; axis < 3; axis++)
        for (int sign = -1; sign <= 1; sign += 2) {
            uint32_t base = (uint32_t)m.v.size();
            for (int j = 0; j < 9; j++)
                for (int i = 0; i < 9; i++) {
                    float p[3];
                    p[axis] = (float)sign;
                    p[(axis + 1) % 3] = G[i];
                    p[(axis + 2) % 3] = G[j];
                    float q[3], d[3];
                    for (int k = 0; k < 3; k++) {
                        q[k] = std::clamp(p[k], -A, A);
                        d[k] = p[k] - q[k];
                    }
                    V3 dv = norm({d[0], d[1], d[2]}) * (1.0f - A);
                    V3 pt = V3{q[0], q[1], q[2]} + dv;
                    addVert(m, pt * HALF, (G[i] + 1.0f) * 0.5f, (G[j] + 1.0f) * 0.5f);
                }
            for (int j = 0; j < 8; j++)
                for (int i = 0; i < 8; i++) {
                    uint32_t a = base + (uint32_t)(j * 9 + i);
                    V3 centre = (pos(m.v[a]) + pos(m.v[a + 10])) * 0.5f;
                    addQuad(m, a, a + 1, a + 10, a + 9, centre);
                }
        }
    return weld(m);
}

/* One level of the cube flake: a cube of half size h at c, and on every face
 * but the one facing its parent (from), a cube of half the size. */
static void flake(Mesh& m, V3 c, float h, int from, int depth)
{
    addBox(m, c, {h, h, h});
    if (depth == 0)
        return;
    static const int DIR[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    float child = h * 0.5f, reach = h + child * 1.2f;
    for (int d = 0; d < 6; d++) {
        if (from >= 0 && d == (from ^ 1))
            continue;
        V3 dir = {(float)DIR[d][0], (float)DIR[d][1], (float)DIR[d][2]};
        flake(m, c + dir * reach, child, d, depth - 1);
    }
}

Mesh mesh_fractalkube(void)
{
    Mesh m;
    flake(m, {0, 0, 0}, 70.0f, -1, 3); /* 1 + 6 + 30 + 150 cubes */
    return m;
}

Mesh mesh_fractalkube2(void)
{
    /* Level 2 of the Menger sponge: of the 27 cells of a cube, keep the 20
     * with at most one coordinate in the middle; twice. Each kept cell is a
     * cube a little smaller than its cell, so the lattice shows gaps. */
    const float HALF = 216.0f;
    Mesh m;
    for (int a = 0; a < 27; a++) {
        int ax = a % 3, ay = a / 3 % 3, az = a / 9;
        if ((ax == 1) + (ay == 1) + (az == 1) >= 2)
            continue;
        for (int b = 0; b < 27; b++) {
            int bx = b % 3, by = b / 3 % 3, bz = b / 9;
            if ((bx == 1) + (by == 1) + (bz == 1) >= 2)
                continue;
            float cell = 2.0f * HALF / 9.0f;
            V3 c = {-HALF + cell * (float)(ax * 3 + bx) + cell * 0.5f, -HALF + cell * (float)(ay * 3 + by) + cell * 0.5f,
                    -HALF + cell * (float)(az * 3 + bz) + cell * 0.5f};
            float h = cell * 0.5f * 0.86f;
            addBox(m, c, {h, h, h});
        }
    }
    return m;
}

Mesh mesh_petal(void)
{
    /* The blade: s runs out along +x from the heart, w across it. It rises
     * along a smoothstep and its edges curl up in a cosine cup.
     *
     * The flower's eye looks down 30 degrees with a 10 degree roll, so its
     * screen's up is 31.5 degrees from the vertical, and as the flower turns
     * every petal passes through every heading. A sheet whose normal tilts
     * near that direction is seen edge-on with a normal pointing straight
     * up on the screen: the sphere map is read at its top edge, and a normal
     * that comes out of the engine's normalisation a few percent long reads
     * above it, wrapping round to the bottom edge (cyan on shade2.tga) in
     * thin streaks. So no part of the sheet is steeper than about 19 degrees
     * (LIFT and CUP), which keeps every normal well clear of the eye's up. */
    const float LENGTH = 138.0f, BASE = 14.0f, WIDTH = 40.0f, LIFT = 26.0f, CUP = 4.0f;
    const int NS = 12, NW = 6;
    /* The underside lies just below the top and inside its outline, so it
     * can neither win the depth test where the top is drawn nor show past
     * its edge. */
    const float DROP = 1.0f, INSET = 0.97f;
    Mesh m;
    auto blade = [&](float s, float w) -> V3 {
        float half = WIDTH * std::pow(std::max(0.0f, std::sin(PI * std::pow(s, 0.75f))), 0.85f) + 1.0f;
        float x = BASE + (LENGTH - BASE) * s;
        float y = LIFT * s * s * (3.0f - 2.0f * s) +
                  CUP * (0.5f - 0.5f * std::cos(PI * w)) * std::sin(PI * std::min(1.0f, s * 1.3f));
        return {x, y, w * half};
    };
    for (int side = 0; side < 2; side++) {
        uint32_t base = (uint32_t)m.v.size();
        for (int i = 0; i <= NS; i++)
            for (int j = 0; j <= NW; j++) {
                float s = (float)i / (float)NS, w = (float)j / (float)NW * 2.0f - 1.0f;
                V3 p = side ? blade(s, w * INSET) - V3{0, DROP, 0} : blade(s, w);
                addVert(m, p, s, (w + 1.0f) * 0.5f);
            }
        for (int i = 0; i < NS; i++)
            for (int j = 0; j < NW; j++) {
                uint32_t a = base + (uint32_t)(i * (NW + 1) + j);
                uint32_t b = a + 1, c = a + (uint32_t)(NW + 1) + 1, d = a + (uint32_t)(NW + 1);
                V3 n = cross(pos(m.v[d]) - pos(m.v[a]), pos(m.v[b]) - pos(m.v[a]));
                if (n.y < 0.0f)
                    n = n * -1.0f;
                addQuad(m, a, b, c, d, side ? n * -1.0f : n);
            }
    }
    /* The heart: a dome of radius 26 over the origin, of which each petal
     * carries the wedge between -pi/7 and pi/7 about its own axis. Its rings
     * skip the band of slopes that would face the eye's up (see above): the
     * first ring's normals lean less than it, the second's well past it. */
    const float HEART = 26.0f;
    const int NA = 3, NR = 4;
    const float RING[NR] = {18.0f, 55.0f, 75.0f, 90.0f}; /* polar angles, degrees */
    uint32_t apex = addVert(m, {0, HEART * 0.8f, 0}, 0.5f, 0.5f);
    uint32_t base = (uint32_t)m.v.size();
    for (int r = 0; r < NR; r++)
        for (int k = 0; k <= NA; k++) {
            float polar = RING[r] * PI / 180.0f;
            float az = -PI / 7.0f + 2.0f * PI / 7.0f * (float)k / (float)NA;
            V3 p = {HEART * std::sin(polar) * std::cos(az), HEART * 0.8f * std::cos(polar), HEART * std::sin(polar) * std::sin(az)};
            addVert(m, p, 0.5f + p.x / (2.0f * HEART), 0.5f + p.z / (2.0f * HEART));
        }
    for (int k = 0; k < NA; k++)
        addTri(m, apex, base + (uint32_t)k, base + (uint32_t)k + 1, {0, 1, 0});
    for (int r = 0; r + 1 < NR; r++)
        for (int k = 0; k < NA; k++) {
            uint32_t a = base + (uint32_t)(r * (NA + 1) + k);
            V3 out = pos(m.v[a]) + pos(m.v[a + (uint32_t)NA + 2]);
            addQuad(m, a, a + 1, a + (uint32_t)NA + 2, a + (uint32_t)NA + 1, out);
        }
    return m;
}

Mesh mesh_tunnel(void)
{
    /* Rings from z = 76 (behind the scene's eye at z = 50) down to z = -184
     * (beyond its far plane), 4 units apart near the eye and 8 further on,
     * so that few triangles straddle the eye. Seen from inside. */
    const int SIDES = 20;
    std::vector<float> rings;
    for (float z = 76.0f; z > -40.0f; z -= 4.0f)
        rings.push_back(z);
    for (float z = -40.0f; z >= -184.0f; z -= 8.0f)
        rings.push_back(z);
    Mesh m;
    for (float z : rings)
        for (int s = 0; s <= SIDES; s++) {
            float a = 2.0f * PI * (float)s / (float)SIDES;
            addVert(m, {TUNNEL_RADIUS * std::cos(a), TUNNEL_RADIUS * std::sin(a), z}, 4.0f * (float)s / (float)SIDES,
                    z / 16.0f);
        }
    for (size_t r = 0; r + 1 < rings.size(); r++)
        for (int s = 0; s < SIDES; s++) {
            uint32_t a = (uint32_t)(r * (SIDES + 1) + (size_t)s);
            uint32_t b = a + 1, c = a + (uint32_t)SIDES + 2, d = a + (uint32_t)SIDES + 1;
            V3 mid = (pos(m.v[a]) + pos(m.v[c])) * 0.5f;
            addQuad(m, a, b, c, d, V3{-mid.x, -mid.y, 0.0f}); /* inward */
        }
    return m;
}

/* A loft through rings of `sides` points (ellipses of rx, ry about (0, cy)
 * at z), from the back to the nose, closed at both ends by a point. */
static void addLoft(Mesh& m, const std::vector<std::array<float, 4>>& rings, int sides, V3 tail, V3 nose)
{
    uint32_t base = (uint32_t)m.v.size();
    for (size_t r = 0; r < rings.size(); r++)
        for (int s = 0; s < sides; s++) {
            float a = 2.0f * PI * (float)s / (float)sides;
            addVert(m, {rings[r][1] * std::cos(a), rings[r][3] + rings[r][2] * std::sin(a), rings[r][0]},
                    (float)s / (float)sides, (float)r / (float)rings.size());
        }
    uint32_t t = addVert(m, tail, 0.5f, 0.0f), n = addVert(m, nose, 0.5f, 1.0f);
    uint32_t last = base + (uint32_t)((rings.size() - 1) * (size_t)sides);
    for (int s = 0; s < sides; s++) {
        uint32_t s0 = (uint32_t)s, s1 = (uint32_t)((s + 1) % sides);
        for (size_t r = 0; r + 1 < rings.size(); r++) {
            uint32_t a = base + (uint32_t)(r * (size_t)sides);
            V3 c = {0, rings[r][3], (rings[r][0] + rings[r + 1][0]) * 0.5f};
            V3 mid = (pos(m.v[a + s0]) + pos(m.v[a + (uint32_t)sides + s1])) * 0.5f;
            addQuad(m, a + s0, a + s1, a + (uint32_t)sides + s1, a + (uint32_t)sides + s0, mid - c);
        }
        addTri(m, t, base + s0, base + s1, {0, 0, -1});
        addTri(m, n, last + s0, last + s1, {0, 0, 1});
    }
}

Mesh mesh_ship(void)
{
    Mesh m;
    /* Fuselage rings: z, half width, half height, centre height. */
    addLoft(m,
            {{{-1.7f, 0.44f, 0.34f, 0.02f}},
             {{-1.1f, 0.60f, 0.47f, 0.05f}},
             {{-0.2f, 0.65f, 0.55f, 0.08f}},
             {{0.7f, 0.47f, 0.42f, 0.06f}},
             {{1.5f, 0.22f, 0.20f, 0.02f}}},
            8, {0, 0.02f, -1.85f}, {0, 0.0f, 2.3f});
    /* Canopy: a small raised bubble. */
    addLoft(m, {{{-0.4f, 0.20f, 0.12f, 0.52f}}, {{0.1f, 0.26f, 0.18f, 0.58f}}, {{0.6f, 0.15f, 0.10f, 0.48f}}}, 6,
            {0, 0.50f, -0.7f}, {0, 0.42f, 0.95f});
    /* Broad swept wings (slabs) with an engine pod under each. */
    Mesh pod;
    addLoft(pod, {{{-1.5f, 0.18f, 0.18f, 0.0f}}, {{-0.9f, 0.24f, 0.24f, 0.0f}}, {{-0.2f, 0.17f, 0.17f, 0.0f}}}, 6,
            {0, 0.0f, -1.6f}, {0, 0.0f, 0.15f});
    for (int side = -1; side <= 1; side += 2) {
        float s = (float)side;
        addSlab(m, {{s * 0.40f, 0.0f, 0.7f}, {s * 2.2f, -0.12f, -0.85f}, {s * 2.2f, -0.12f, -1.5f}, {s * 0.40f, 0.0f, -1.3f}},
                {0, 0.14f, 0});
        append(m, pod, [&](MVert v) {
            v.x += s * 1.0f;
            v.y -= 0.16f;
            return v;
        });
    }
    /* Tail fin. */
    addSlab(m, {{-0.035f, 0.30f, -0.7f}, {-0.035f, 0.95f, -1.55f}, {-0.035f, 0.95f, -1.8f}, {-0.035f, 0.25f, -1.65f}},
            {0.07f, 0, 0});
    /* Drawn about 4 units long and 4.4 across the wings, scaled four times:
     * the tunnel scene flies the ship's origin along the tube's axis while
     * its eye, 9.4 units off the axis, looks across the tube, so for the
     * first seconds the origin sits 45 units away at the screen's left edge,
     * seen nearly nose-on, and on the way back it recedes to 90 units, seen
     * nearly tail-on; drawn with a stipple that keeps from none to two
     * thirds of its pixels, the ship needs this size, and a full body and
     * thick wings for what it shows end-on, to read there. Close by it then
     * fills much of the screen as it passes.
     * The wing tips (8.8 from the axis) stay inside the eye's 9.4, and the
     * body sits 2 units ahead of the origin, which brings more of it in from
     * the edge early on. */
    const float SCALE = 4.0f, AHEAD = 2.0f;
    for (MVert& v : m.v)
        v.x *= SCALE, v.y *= SCALE, v.z = v.z * SCALE + AHEAD;
    return m;
}

Anim anim_botrun(void)
{
    /* Bones, each placed in its parent by a joint (offset, then a turn about
     * x). Parts are meshes in their bone's space. */
    enum { PELVIS, TORSO, HEAD, NECK, ARM_L, FORE_L, ARM_R, FORE_R, THIGH_L, SHIN_L, FOOT_L, THIGH_R, SHIN_R, FOOT_R, BONES };
    static const int PARENT[BONES] = {-1, PELVIS, TORSO, TORSO, TORSO, ARM_L, TORSO, ARM_R, PELVIS, THIGH_L, SHIN_L, PELVIS, THIGH_R, SHIN_R};
    const float THIGH = 21.0f, SHIN = 20.0f, UPPER = 14.0f, FORE = 13.0f;

    std::vector<std::pair<int, Mesh>> parts;
    auto part = [&](int bone) -> Mesh& {
        parts.push_back({bone, Mesh()});
        return parts.back().second;
    };
    addBox(part(PELVIS), {0, 0, 0}, {9.0f, 4.0f, 5.5f});
    addBox(part(TORSO), {0, 16.0f, 0}, {11.0f, 13.0f, 6.5f});
    addBox(part(TORSO), {0, 18.0f, 6.5f}, {6.0f, 6.0f, 1.4f}); /* chest plate */
    addBox(part(HEAD), {0, 8.0f, 0}, {7.0f, 7.5f, 7.5f});
    addBox(part(HEAD), {0, 9.0f, 7.2f}, {5.5f, 2.2f, 1.6f}); /* visor */
    addLimb(part(NECK), 4.0f, 3.0f, 3.0f, 6);
    for (int b : {ARM_L, ARM_R})
        addLimb(part(b), UPPER, 3.4f, 2.8f, 6);
    for (int b : {FORE_L, FORE_R}) {
        Mesh& fore = part(b);
        addLimb(fore, FORE, 2.8f, 2.4f, 6);
        addBox(fore, {0, -FORE - 2.5f, 0}, {2.6f, 3.0f, 2.6f}); /* hand */
    }
    for (int b : {THIGH_L, THIGH_R})
        addLimb(part(b), THIGH, 4.6f, 3.6f, 6);
    for (int b : {SHIN_L, SHIN_R})
        addLimb(part(b), SHIN, 3.6f, 2.8f, 6);
    for (int b : {FOOT_L, FOOT_R})
        addBox(part(b), {0, -2.5f, 2.5f}, {3.6f, 2.5f, 6.5f});

    Anim anim;
    uint32_t vbase = 0;
    for (const auto& p : parts) {
        for (const MTri& t : p.second.f)
            anim.f.push_back({t[0] + vbase, t[1] + vbase, t[2] + vbase});
        vbase += (uint32_t)p.second.v.size();
    }

    const int FRAMES = 60, STRIDES = 2; /* two full strides in the loop */
    for (int fr = 0; fr < FRAMES; fr++) {
        float ph = 2.0f * PI * (float)(STRIDES * fr) / (float)FRAMES;
        Xf local[BONES];
        float bounce = 0.05f * std::sin(2.0f * ph);
        local[PELVIS] = xfMul(xfJointX({0, 0, 0}, 0.0f), xfRotZ(0.06f * std::sin(ph)));
        local[TORSO] = xfJointX({0, 3.0f, 0}, -0.28f + bounce);
        local[NECK] = xfJointX({0, 33.0f, 0}, PI); /* turned over: the neck limb points up */
        local[HEAD] = xfJointX({0, 31.0f, 0}, 0.15f);
        for (int side = 0; side < 2; side++) {
            float legPh = ph + (float)side * PI;
            float sx = side ? -1.0f : 1.0f;
            float thigh = 0.75f * std::sin(legPh);
            float swing = std::max(0.0f, std::cos(legPh));
            float knee = 0.3f + 1.6f * std::pow(swing, 1.3f);
            float foot = -0.6f * (thigh - knee) - 0.2f;
            int t = side ? THIGH_R : THIGH_L, s = side ? SHIN_R : SHIN_L, f = side ? FOOT_R : FOOT_L;
            local[t] = xfJointX({sx * 6.0f, -1.0f, 0}, thigh);
            local[s] = xfJointX({0, -THIGH, 0}, -knee);
            local[f] = xfJointX({0, -SHIN, 0}, foot);
            /* The arm on the same side swings against the leg. */
            int a = side ? ARM_R : ARM_L, fa = side ? FORE_R : FORE_L;
            local[a] = xfMul(xfJointX({sx * 14.5f, 27.0f, 0}, -0.9f * std::sin(legPh)), xfRotZ(sx * 0.12f));
            local[fa] = xfJointX({0, -UPPER, 0}, 1.45f - 0.3f * std::sin(legPh));
        }
        Xf world[BONES];
        for (int b = 0; b < BONES; b++)
            world[b] = PARENT[b] < 0 ? local[b] : xfMul(world[PARENT[b]], local[b]);
        std::vector<MVert> verts;
        for (const auto& p : parts)
            for (MVert v : p.second.v) {
                V3 q = xfApply(world[p.first], pos(v));
                v.x = q.x, v.y = q.y, v.z = q.z;
                verts.push_back(v);
            }
        /* Stand the lowest point of the body on y = -13. */
        float low = 1e30f;
        for (const MVert& v : verts)
            low = std::min(low, v.y);
        for (MVert& v : verts)
            v.y += -13.0f - low;
        anim.frames.push_back(verts);
    }
    return anim;
}

namespace {
const float GROUND_HALF_W = 280.0f;   /* road half width, x */
const float GROUND_LEN = 639.0f;      /* tile length, z from -639 to 0 */
const int GROUND_NX = 4, GROUND_NZ = 16;
} // namespace

Mesh mesh_greetground(void)
{
    Mesh m;
    for (int k = 0; k <= GROUND_NZ; k++)
        for (int i = 0; i <= GROUND_NX; i++) {
            float x = -GROUND_HALF_W + 2.0f * GROUND_HALF_W * (float)i / (float)GROUND_NX;
            float z = -GROUND_LEN * (float)k / (float)GROUND_NZ;
            /* The texture spans the road once across and five times along. */
            addVert(m, {x, 0, z}, (float)i / (float)GROUND_NX, 5.0f * (float)k / (float)GROUND_NZ);
        }
    for (int k = 0; k < GROUND_NZ; k++)
        for (int i = 0; i < GROUND_NX; i++) {
            uint32_t a = (uint32_t)(k * (GROUND_NX + 1) + i);
            addQuad(m, a, a + 1, a + (uint32_t)GROUND_NX + 2, a + (uint32_t)GROUND_NX + 1, {0, 1, 0});
        }
    return m;
}

Anim anim_grt(void)
{
    /* One sheet raised a little over the road; frame j maps band j of
     * greets.tga onto it. The scene places greeting j with tile j, and the
     * road moves 2604 units in all, so the sheet lies 900 units before the
     * tile's origin (over the previous tile): then greeting 0 starts well in
     * view and greeting 5 arrives in view before the road stops. The robot scene's eye looks down the road
     * at a grazing angle and turned aside: on the ground, its screen's right
     * runs along about 138 degrees from +x towards +z, its screen's up along
     * about -132 degrees, and ground lengths along "up" shrink about six
     * times more than along "right". So the sheet is laid along those two
     * directions and its letters are six times longer than wide, like road
     * markings: from the scene's eye the names read upright, left to right. */
    const float ANGLE = 138.0f * PI / 180.0f;
    const V3 RIGHT = {std::cos(ANGLE), 0.0f, std::sin(ANGLE)};
    const V3 UP = {-std::sin(ANGLE), 0.0f, std::cos(ANGLE)}; /* RIGHT turned a quarter towards -z */
    const V3 CENTRE = {0.0f, 3.0f, -900.0f};
    const float WIDTH = 440.0f;
    const float HEIGHT = WIDTH / (float)GREET_BANDS * 6.0f; /* a band is 8 times wider than high */
    const int NI = 8, NK = 6;
    Mesh sheet;
    for (int k = 0; k <= NK; k++)
        for (int i = 0; i <= NI; i++) {
            float s = (float)i / (float)NI - 0.5f, t = (float)k / (float)NK - 0.5f;
            addVert(sheet, CENTRE + RIGHT * (s * WIDTH) + UP * (t * HEIGHT), (float)i / (float)NI, (float)k / (float)NK);
        }
    for (int k = 0; k < NK; k++)
        for (int i = 0; i < NI; i++) {
            uint32_t a = (uint32_t)(k * (NI + 1) + i);
            addQuad(sheet, a, a + 1, a + (uint32_t)NI + 2, a + (uint32_t)NI + 1, {0, 1, 0});
        }
    Anim anim;
    anim.f = sheet.f;
    for (int j = 0; j < 6; j++) {
        std::vector<MVert> verts = sheet.v;
        for (MVert& v : verts) {
            /* u runs left to right; v from the band's top (the far edge, k = NK)
             * to its bottom, inset so no neighbouring band shows. */
            float top = 1.0f - v.v;
            v.v = ((float)j + 0.03f + 0.94f * top) / (float)GREET_BANDS;
        }
        anim.frames.push_back(verts);
    }
    return anim;
}

Mesh mesh_ball(void)
{
    const int SEGS = 40, STACKS = 24;
    Mesh m;
    uint32_t top = addVert(m, {0, BALL_RADIUS, 0}, 0.5f, 0.0f);
    for (int r = 1; r < STACKS; r++) {
        float polar = PI * (float)r / (float)STACKS;
        for (int s = 0; s < SEGS; s++) {
            float az = 2.0f * PI * (float)s / (float)SEGS;
            addVert(m, {BALL_RADIUS * std::sin(polar) * std::cos(az), BALL_RADIUS * std::cos(polar),
                        BALL_RADIUS * std::sin(polar) * std::sin(az)},
                    (float)s / (float)SEGS, (float)r / (float)STACKS);
        }
    }
    uint32_t bottom = addVert(m, {0, -BALL_RADIUS, 0}, 0.5f, 1.0f);
    auto at = [&](int r, int s) { return (uint32_t)(1 + (r - 1) * SEGS + (s % SEGS)); };
    for (int s = 0; s < SEGS; s++) {
        addTri(m, top, at(1, s), at(1, s + 1), pos(m.v[at(1, s)]));
        addTri(m, bottom, at(STACKS - 1, s), at(STACKS - 1, s + 1), pos(m.v[at(STACKS - 1, s)]));
        for (int r = 1; r + 1 < STACKS; r++) {
            V3 mid = (pos(m.v[at(r, s)]) + pos(m.v[at(r + 1, s + 1)])) * 0.5f;
            addQuad(m, at(r, s), at(r, s + 1), at(r + 1, s + 1), at(r + 1, s), mid);
        }
    }
    return m;
}
