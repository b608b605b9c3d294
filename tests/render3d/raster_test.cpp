/* The rasteriser: scanline routines pixel by pixel, the edge set-up, both
 * triangle routines against the closed form of their stepping rules, rows and
 * spans at the screen's borders, and shared edges. */
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <random>
#include <set>
#include <vector>

#include "tests/render3d/render_fixture.h"

namespace {

using rf::SV;

struct Raster : ::testing::Test {
    std::vector<uint16_t> screen = std::vector<uint16_t>(SCR_PIXELS, 0);
    Object3D obj{};
    void SetUp() override
    {
        rTarget = screen.data();
        cam_setClip(&cam, 10, 5000, 200.0f);
        clr3D();
        rf::makeTexture(0, 128, 64);
        curtex = &tex[0];
        scanLine = draw_scanline;
        pixShader = nullptr;
        rf::spans().clear();
    }
    void TearDown() override
    {
        kill3D(&obj);
        killAllTex();
        rTarget = nullptr;
        pixShader = nullptr;
    }
    /* Draws one triangle a, b, c (screen space) with a routine; spans are
     * recorded when the spy is installed. */
    void tri(FillTriFunc routine, SV a, SV b, SV c)
    {
        kill3D(&obj);
        rf::makeObject(&obj, {rf::screenVertex(a), rf::screenVertex(b), rf::screenVertex(c)}, {0, 1, 2});
        clr_edge(&obj);
        routine(&obj.faces[0], &obj);
    }
    std::set<int> spanRows() const
    {
        std::set<int> rows;
        for (auto& s : rf::spans())
            rows.insert(s.row);
        return rows;
    }
    /* A span over pixels x .. x + len - 1 of row 5 with constant u, v, z. */
    Span span(int x, int len, fixed u, fixed v, fixed z, const Pic16b* t)
    {
        Span s{};
        s.len = len;
        s.u = u, s.v = v, s.z = z;
        s.width = t->width, s.height = t->height;
        s.umask = t->width - 1, s.vmask = t->height - 1, s.vshift = t->widthLog2;
        s.texels = t->pixels;
        s.dst = rTarget + 5 * 320 + x;
        s.zdst = zbuf + 5 * 320 + x;
        return s;
    }
};

/* ---- Scanline routines ---------------------------------------------------- */

TEST_F(Raster, TexelsWrapByMaskingAndSpansStepPerPixel)
{
    rf::makeTexture(1, 64, 32);
    Span s = span(0, 3, (fixed)(70.5 * 4096), (fixed)(-1.25 * 4096), 100 * 4096, &tex[1]);
    s.du = 4096;
    s.dv = 32 * 4096;
    draw_scanline(&s);
    EXPECT_EQ(screen[5 * 320 + 0], rf::coordTexel(6, 30)); /* u 70.5 -> column 6, v -1.25 -> row 30 */
    EXPECT_EQ(screen[5 * 320 + 1], rf::coordTexel(7, 30)); /* v + 32 wraps to the same row */
    EXPECT_EQ(screen[5 * 320 + 2], rf::coordTexel(8, 30));
    EXPECT_EQ(zbuf[5 * 320 + 2], 100 * 4096);
    EXPECT_EQ(screen[5 * 320 + 3], 0);
}

TEST_F(Raster, DepthNearAndKeyRules)
{
    rf::makeTexture(1, 4, 4, TEX_KEY);
    rf::makeTexture(2, 4, 4, 0x0777);
    Span s = span(10, 1, 0, 0, 100 * 4096, &tex[1]);
    draw_scanline(&s); /* key colour: nothing written */
    EXPECT_EQ(screen[5 * 320 + 10], 0);
    EXPECT_EQ(zbuf[5 * 320 + 10], cam.far);
    draw_scanline_noTransp(&s); /* noTransp writes the key colour too */
    EXPECT_EQ(screen[5 * 320 + 10], TEX_KEY);

    s = span(20, 1, 0, 0, cam.near, &tex[2]); /* exactly at near: dropped */
    draw_scanline(&s);
    EXPECT_EQ(screen[5 * 320 + 20], 0);
    s.z = cam.far + 1; /* behind the cleared z-buffer: dropped */
    draw_scanline(&s);
    EXPECT_EQ(screen[5 * 320 + 20], 0);
    s.z = cam.far; /* exactly the stored depth: drawn */
    draw_scanline(&s);
    EXPECT_EQ(screen[5 * 320 + 20], 0x0777);
    s.texels = tex[0].pixels; /* a later pixel at the same depth wins */
    s.width = 128, s.umask = 127, s.vmask = 63, s.vshift = 7;
    draw_scanline(&s);
    EXPECT_EQ(screen[5 * 320 + 20], rf::coordTexel(0, 0));
    s.z = cam.far + 4096; /* farther than what is there: dropped */
    s.texels = tex[2].pixels, s.umask = 3, s.vmask = 3, s.vshift = 2;
    draw_scanline(&s);
    EXPECT_EQ(screen[5 * 320 + 20], rf::coordTexel(0, 0));
}

/* The default routine addresses texels with one shift and mask a
 * coordinate and drops the near test for spans wholly beyond it: against
 * the pixel rule on random spans (crossing near, wrapping, steep, up to a
 * row long) over textures 4 to 4096 texels wide, with keys and a random
 * z-buffer. */
TEST_F(Raster, DefaultScanlineKeepsThePixelRuleForEverySpan)
{
    std::mt19937 rng(21);
    int slot = 1;
    for (int lw : {2, 8, 11, 12}) {
        const int w = 1 << lw, h = 1 << (lw > 6 ? 6 : lw);
        rf::makeTexture(slot, w, h);
        Pic16b& t = tex[slot++];
        for (int i = 0; i < w * h; i += 7)
            t.pixels[i] = TEX_KEY;
        for (int k = 0; k < 300; k++) {
            std::vector<fixed> z0(SCR_W); /* the span's row, 5 */
            for (fixed& z : z0)
                z = (fixed)(rng() % (6000u * 4096)) - 100 * 4096;
            std::copy(z0.begin(), z0.end(), zbuf + 5 * SCR_W);
            std::fill(screen.begin() + 5 * SCR_W, screen.begin() + 6 * SCR_W, 0);
            const int x = rng() % 320, len = 1 + rng() % (320 - x);
            Span s = span(x, len, (fixed)rng(), (fixed)rng(), 0, &t);
            const int shape = k % 4;
            s.z = shape == 0 ? (fixed)rng() : (fixed)(rng() % (3000u * 4096)) - 20 * 4096;
            s.dz = shape == 1 ? (fixed)rng() : (fixed)(rng() % (1u << 22)) - (1 << 21);
            s.du = (fixed)(rng() % (1u << 20)) - (1 << 19);
            s.dv = shape == 2 ? (fixed)rng() : (fixed)(rng() % (1u << 20)) - (1 << 19);
            draw_scanline(&s);
            uint32_t u = (uint32_t)s.u, v = (uint32_t)s.v, z = (uint32_t)s.z;
            for (int i = 0; i < len; i++, u += (uint32_t)s.du, v += (uint32_t)s.dv, z += (uint32_t)s.dz) {
                const int at = 5 * 320 + x + i;
                uint16_t want = 0;
                fixed wantZ = z0[x + i];
                if ((fixed)z <= wantZ && (fixed)z > cam.near) {
                    const uint16_t texel =
                        t.pixels[(((int32_t)u >> 12) & (w - 1)) + ((((int32_t)v >> 12) & (h - 1)) << lw)];
                    if (texel != TEX_KEY)
                        want = texel, wantZ = (fixed)z;
                }
                ASSERT_EQ(screen[at], want) << "width " << w << " span " << k << " pixel " << i;
                ASSERT_EQ(zbuf[at], wantZ) << "width " << w << " span " << k << " pixel " << i;
            }
        }
    }
}

TEST_F(Raster, DoubledRoutinesWriteAlignedPairs)
{
    rf::makeTexture(1, 4, 4, 0x0123);
    for (auto routine : {draw_scanline_dbl, draw_scanline_dbl_noTransp}) {
        std::fill(screen.begin(), screen.end(), 0);
        clr3D();
        Span s = span(11, 4, 0, 0, 50 * 4096, &tex[1]); /* odd start: starts at 10 */
        routine(&s);
        for (int x = 9; x <= 15; x++)
            EXPECT_EQ(screen[5 * 320 + x], x >= 10 && x <= 13 ? 0x0123 : 0) << x;
        EXPECT_EQ(zbuf[5 * 320 + 10], 50 * 4096);
        EXPECT_EQ(zbuf[5 * 320 + 13], 50 * 4096);
        EXPECT_EQ(zbuf[5 * 320 + 14], cam.far);

        s = span(20, 5, 0, 0, 50 * 4096, &tex[1]); /* even start, odd length: last pixel left */
        routine(&s);
        for (int x = 19; x <= 25; x++)
            EXPECT_EQ(screen[5 * 320 + x], x >= 20 && x <= 23 ? 0x0123 : 0) << x;
    }
    /* one texel per pair: u advances by 2 du between pairs */
    Span s = span(40, 4, 0, 0, 50 * 4096, &tex[0]);
    s.du = 4096;
    draw_scanline_dbl(&s);
    EXPECT_EQ(screen[5 * 320 + 40], rf::coordTexel(0, 0));
    EXPECT_EQ(screen[5 * 320 + 41], rf::coordTexel(0, 0));
    EXPECT_EQ(screen[5 * 320 + 42], rf::coordTexel(2, 0));
    /* the key colour only in the keyed one; the depth test reads the pair's first entry */
    rf::makeTexture(2, 4, 4, TEX_KEY);
    s = span(60, 2, 0, 0, 50 * 4096, &tex[2]);
    draw_scanline_dbl(&s);
    EXPECT_EQ(screen[5 * 320 + 60], 0);
    zbuf[5 * 320 + 60] = 40 * 4096;
    zbuf[5 * 320 + 61] = cam.far;
    draw_scanline_dbl_noTransp(&s);
    EXPECT_EQ(screen[5 * 320 + 61], 0);
}

struct ShaderCall {
    unsigned short* px;
    fixed* z;
    unsigned texel;
    fixed depth;
};
std::vector<ShaderCall> shaderCalls;
void recordShader(unsigned short* px, fixed* z, unsigned texel, fixed depth)
{
    shaderCalls.push_back({px, z, texel, depth});
}

TEST_F(Raster, TheShaderTakesOverWritingOnlyInTheDefaultRoutine)
{
    shaderCalls.clear();
    setShader(recordShader);
    Span s = span(30, 2, 0, 0, 60 * 4096, &tex[0]);
    s.du = 4096;
    s.dz = 4096;
    draw_scanline(&s);
    ASSERT_EQ(shaderCalls.size(), 2u);
    EXPECT_EQ(shaderCalls[1].px, rTarget + 5 * 320 + 31);
    EXPECT_EQ(shaderCalls[1].z, zbuf + 5 * 320 + 31);
    EXPECT_EQ(shaderCalls[1].texel, rf::coordTexel(1, 0));
    EXPECT_EQ(shaderCalls[1].depth, 61 * 4096);
    EXPECT_EQ(screen[5 * 320 + 30], 0);
    EXPECT_EQ(zbuf[5 * 320 + 30], cam.far);
    for (auto routine : {draw_scanline_noTransp, draw_scanline_dbl, draw_scanline_dbl_noTransp}) {
        s = span(30, 2, 0, 0, 60 * 4096, &tex[0]);
        routine(&s);
    }
    EXPECT_EQ(shaderCalls.size(), 2u);
    EXPECT_EQ(screen[5 * 320 + 30], rf::coordTexel(0, 0));
    setShader(nullptr);
}

/* Span forms: a registered form gets the spans of its own shader only, in
 * place of the per-pixel calls, until it is removed; a fifth shader is
 * refused while four are registered. */
std::vector<const Span*> formSpans;
void recordForm(Span* s)
{
    formSpans.push_back(s);
}
void otherShader(unsigned short*, fixed*, unsigned, fixed) {}
void otherShader2(unsigned short*, fixed*, unsigned, fixed) {}
void otherShader3(unsigned short*, fixed*, unsigned, fixed) {}
void otherShader4(unsigned short*, fixed*, unsigned, fixed) {}

TEST_F(Raster, ASpanFormTakesTheSpansOfItsShaderOnly)
{
    shaderCalls.clear();
    formSpans.clear();
    ASSERT_EQ(setShaderSpan(recordShader, recordForm), 1);
    Span s = span(30, 2, 0, 0, 60 * 4096, &tex[0]);
    setShader(recordShader);
    draw_scanline(&s);
    ASSERT_EQ(formSpans.size(), 1u);
    EXPECT_EQ(formSpans[0], &s);
    EXPECT_TRUE(shaderCalls.empty());
    setShader(otherShader);
    draw_scanline(&s);
    EXPECT_EQ(formSpans.size(), 1u);
    EXPECT_EQ(setShaderSpan(otherShader, recordForm), 1);
    EXPECT_EQ(setShaderSpan(otherShader2, recordForm), 1);
    EXPECT_EQ(setShaderSpan(otherShader3, recordForm), 1);
    EXPECT_EQ(setShaderSpan(otherShader4, recordForm), 0);
    EXPECT_EQ(setShaderSpan(nullptr, recordForm), 0);
    for (PixShaderFunc f : {otherShader, otherShader2, otherShader3, recordShader})
        EXPECT_EQ(setShaderSpan(f, nullptr), 1);
    setShader(recordShader);
    draw_scanline(&s);
    EXPECT_EQ(formSpans.size(), 1u);
    EXPECT_EQ(shaderCalls.size(), 2u);
    setShader(nullptr);
}

/* ---- Edge set-up ------------------------------------------------------------ */

TEST_F(Raster, EdgeSetUpScalesTexelsAndStartsAtRowZero)
{
    Vertex3D top = rf::screenVertex({10, -2, 100, 64, 32});
    Vertex3D bot = rf::screenVertex({30, 6, 200, 0, 64});
    Edge3D e{};
    calc_edge(&top, &bot, &e);
    EXPECT_EQ(e.ready, 1);
    EXPECT_EQ(e.flat, 0);
    EXPECT_EQ(e.top, &top);
    const fixed k = 512; /* 4096 / 8 rows */
    EXPECT_EQ(e.dx, fp_mul(20 * 4096, k));
    EXPECT_EQ(e.du, fp_mul(0 - 64 * 4096, k)); /* u 64.0 on a 128 wide texture is texel 64 */
    EXPECT_EQ(e.dv, fp_mul(16 * 4096, k));     /* v 32.0 .. 64.0 on 64 rows: texel 16 .. 32 */
    EXPECT_EQ(e.y, 0);
    EXPECT_EQ(e.x, 10 * 4096 + fp_mul(e.dx, 2 * 4096));
    EXPECT_EQ(e.u, 64 * 4096 + fp_mul(e.du, 2 * 4096));
    /* once ready, nothing is recomputed */
    Vertex3D other = rf::screenVertex({0, 0, 0, 0, 0});
    calc_edge(&other, &bot, &e);
    EXPECT_EQ(e.top, &top);
    /* under one row: flat, gradients 0 */
    Edge3D f{};
    Vertex3D b2 = rf::screenVertex({40, -1.1, 0, 0, 0});
    calc_edge(&top, &b2, &f);
    EXPECT_EQ(f.flat, 1);
    EXPECT_EQ(f.dx | f.du | f.dv | f.dz, 0);
    EXPECT_EQ(f.x, top.sx);
}

/* ---- Triangle routines: rows and spans -------------------------------------- */

TEST_F(Raster, RowsRunFromTheTopRowToTheBottomRowInclusive)
{
    scanLine = rf::spyScanline;
    tri(drawtritex16b_FixPoint_split, {10, 10, 100, 0, 0}, {100, 10, 100, 0, 0}, {50, 20, 100, 0, 0});
    std::set<int> expect;
    for (int r = 10; r <= 20; r++)
        expect.insert(r);
    EXPECT_EQ(spanRows(), expect);
    rf::spans().clear();
    tri(drawtritex16b_FixPoint_split, {10, 10.2, 100, 0, 0}, {100, 10.9, 100, 0, 0}, {50, 10.5, 100, 0, 0});
    tri(drawtritex16b_FixPoint_split2, {10, 10.2, 100, 0, 0}, {100, 10.9, 100, 0, 0}, {50, 10.5, 100, 0, 0});
    EXPECT_TRUE(rf::spans().empty()); /* within one scanline */
    /* a span from x 10.7 to 20.2 covers pixels 10 .. 19 */
    tri(drawtritex16b_FixPoint_split, {10.7, 30, 100, 0, 0}, {20.2, 30, 100, 0, 0}, {10.7, 60, 100, 0, 0});
    ASSERT_FALSE(rf::spans().empty());
    EXPECT_EQ(rf::spans()[0].row, 30);
    EXPECT_EQ(rf::spans()[0].x, 10);
    EXPECT_EQ(rf::spans()[0].len, 10);
}

TEST_F(Raster, AMiddleVertexOnTheLongEdgeDrawsNothing)
{
    scanLine = rf::spyScanline;
    /* Q lies on P-R at its own row: width 0 there (16 rows make 1/height
     * exact, so the long edge passes through Q exactly) */
    tri(drawtritex16b_FixPoint_split, {10, 10, 100, 0, 0}, {26, 18, 100, 0, 0}, {42, 26, 100, 0, 0});
    EXPECT_TRUE(rf::spans().empty());
}

TEST_F(Raster, ClippedEdgesStartAtTheScreenBorderWithAdvancedValues)
{
    scanLine = rf::spyScanline;
    /* top 30 rows above the screen, the left edge crossing x = 0 */
    SV p = {-50, -30, 100, 0, 0}, q = {200, -30, 100, 128, 0}, r = {10, 50, 100, 0, 0};
    tri(drawtritex16b_FixPoint_split, p, q, r);
    std::set<int> rows = spanRows();
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(*rows.begin(), 0);
    EXPECT_EQ(*rows.rbegin(), 50);
    const rf::SpanRec& first = rf::spans()[0];
    EXPECT_EQ(first.x, 0);
    /* the left edge at row 0 is about -27.5; u there is 0, so u at pixel 0
     * is 28 pixels of du */
    Vertex3D vp = rf::screenVertex(p), vr = rf::screenVertex(r);
    Edge3D left{};
    calc_edge(&vp, &vr, &left);
    EXPECT_EQ(fp_iconv(left.x), -28);
    EXPECT_EQ(first.u, fp_muli(first.du, 28));
    EXPECT_NEAR(first.du / 4096.0, 128.0 / 250.0, 0.01);
    for (auto& s : rf::spans())
        EXPECT_LE(s.x + s.len, 320);
    /* a span ending past 319 stops at 319 */
    rf::spans().clear();
    tri(drawtritex16b_FixPoint_split, {300, 100, 100, 0, 0}, {400, 100, 100, 0, 0}, {300, 110, 100, 0, 0});
    ASSERT_FALSE(rf::spans().empty());
    EXPECT_EQ(rf::spans()[0].x + rf::spans()[0].len, 320);
    /* wholly off the bottom or the right: nothing */
    rf::spans().clear();
    tri(drawtritex16b_FixPoint_split, {10, 240, 100, 0, 0}, {90, 240, 100, 0, 0}, {10, 260, 100, 0, 0});
    tri(drawtritex16b_FixPoint_split2, {330, 10, 100, 0, 0}, {390, 10, 100, 0, 0}, {330, 60, 100, 0, 0});
    EXPECT_TRUE(rf::spans().empty());
}

/* The default routine's stepping in closed form: the long edge at row
 * ystart + k is PR's start + max(0, k - 1) steps; the short edge at rows up to
 * ymid is PQ's start + max(0, r - ystart - 1) steps (QR's start when ystart =
 * ymid), below ymid QR's start + (r - ymid - 1) steps. */
std::vector<rf::SpanRec> referenceSplit(const Vertex3D* p, const Vertex3D* q, const Vertex3D* r)
{
    std::vector<rf::SpanRec> out;
    Edge3D pq{}, pr{}, qr{};
    calc_edge(p, q, &pq);
    calc_edge(p, r, &pr);
    calc_edge(q, r, &qr);
    if (pr.flat)
        return out;
    int ystart = std::max(0, fp_iconv(p->sy)), ylast = std::min(fp_iconv(r->sy), 239);
    if (ylast - ystart <= 0)
        return out;
    int ymid = std::max(0, fp_iconv(q->sy));
    int s = ymid - ystart;
    auto at = [](fixed start, fixed step, int n) { return fp_add(start, fp_muli(step, n)); };
    fixed w = fp_sub(qr.x, at(pr.x, pr.dx, s));
    if (w == 0)
        return out;
    fixed du = fp_div(fp_sub(qr.u, at(pr.u, pr.du, s)), w);
    fixed dv = fp_div(fp_sub(qr.v, at(pr.v, pr.dv, s)), w);
    fixed dz = fp_div(fp_sub(qr.z, at(pr.z, pr.dz, s)), w);
    for (int row = ystart; row <= ylast; row++) {
        int kl = std::max(0, row - ystart - 1);
        fixed lx = at(pr.x, pr.dx, kl), lu = at(pr.u, pr.du, kl), lv = at(pr.v, pr.dv, kl), lz = at(pr.z, pr.dz, kl);
        const Edge3D* se;
        int ks;
        if (row <= ymid)
            se = ystart == ymid ? &qr : &pq, ks = std::max(0, row - ystart - 1);
        else
            se = &qr, ks = row - ymid - 1;
        fixed sx = at(se->x, se->dx, ks), su = at(se->u, se->du, ks), svv = at(se->v, se->dv, ks),
              sz = at(se->z, se->dz, ks);
        fixed x0 = w > 0 ? lx : sx, x1 = w > 0 ? sx : lx;
        fixed u = w > 0 ? lu : su, v = w > 0 ? lv : svv, z = w > 0 ? lz : sz;
        int xl = fp_iconv(x0), xr = fp_iconv(x1);
        if (xr < 0 || xl >= 320)
            continue;
        if (xl < 0) {
            u = at(u, du, -xl), v = at(v, dv, -xl), z = at(z, dz, -xl);
            xl = 0;
        }
        int len = std::min(xr, 320) - xl;
        if (len > 0)
            out.push_back({row, xl, len, u, v, du, dv, z, dz});
    }
    return out;
}

/* The alternative routine in closed form. */
std::vector<rf::SpanRec> referenceSplit2(const Vertex3D* p, const Vertex3D* q, const Vertex3D* r)
{
    std::vector<rf::SpanRec> out;
    auto at = [](fixed start, fixed step, int n) { return fp_add(start, fp_muli(step, n)); };
    const int su = curtex->width >> 7, sv = curtex->height >> 7;
    fixed pu = fp_muli(p->u, su), pv = fp_muli(p->v, sv), qu = fp_muli(q->u, su), qv = fp_muli(q->v, sv);
    fixed ru = fp_muli(r->u, su), rv = fp_muli(r->v, sv);
    int ytop = fp_iconv(p->sy), ymid = fp_iconv(q->sy), ybot = fp_iconv(r->sy);
    int ystart = std::max(0, ytop);
    int rows = std::min(ybot + 1, 240) - ystart;
    if (rows <= 2)
        return out;
    fixed h = fp_sub(r->sy, p->sy);
    fixed ldx = fp_div(fp_sub(r->sx, p->sx), h), ldz = fp_div(fp_sub(r->sz, p->sz), h);
    fixed ldu = fp_div(fp_sub(ru, pu), h), ldv = fp_div(fp_sub(rv, pv), h);
    fixed dxpq = q->sy != p->sy ? fp_div(fp_sub(q->sx, p->sx), fp_sub(q->sy, p->sy)) : 0;
    fixed dxqr = r->sy != q->sy ? fp_div(fp_sub(r->sx, q->sx), fp_sub(r->sy, q->sy)) : 0;
    fixed y0 = fp_convi(ystart), o = fp_sub(y0, p->sy);
    fixed lx0 = fp_add(p->sx, fp_mul(o, ldx)), lz0 = fp_add(p->sz, fp_mul(o, ldz));
    fixed lu0 = fp_add(pu, fp_mul(o, ldu)), lv0 = fp_add(pv, fp_mul(o, ldv));
    bool onQR = q->sy < 0;
    fixed sx0 = onQR ? fp_add(q->sx, fp_mul(fp_sub(y0, q->sy), dxqr)) : fp_add(p->sx, fp_mul(o, dxpq));
    fixed m = fp_sub(q->sy, y0);
    fixed w = fp_sub(q->sx, fp_add(lx0, fp_mul(ldx, m)));
    if (w == 0)
        w = 4096;
    fixed du = fp_div(fp_sub(qu, fp_add(lu0, fp_mul(ldu, m))), w);
    fixed dv = fp_div(fp_sub(qv, fp_add(lv0, fp_mul(ldv, m))), w);
    fixed dz = fp_div(fp_sub(q->sz, fp_add(lz0, fp_mul(ldz, m))), w);
    for (int row = ystart; row < ystart + rows; row++) {
        int n = row - ystart;
        fixed lx = row == ybot ? r->sx : at(lx0, ldx, n);
        fixed sx;
        if (onQR)
            sx = at(sx0, dxqr, n);
        else if (row == ystart)
            sx = sx0;
        else if (row < ymid)
            sx = at(sx0, dxpq, n);
        else if (row == ymid)
            sx = q->sx;
        else
            sx = at(q->sx, dxqr, row - ymid - 1);
        int xl = std::max(fp_iconv(w > 0 ? lx : sx), 0), xr = std::min(fp_iconv(w > 0 ? sx : lx), 320);
        if (xr - xl <= 0)
            continue;
        int k = xl - fp_iconv(lx);
        out.push_back({row, xl, xr - xl, at(at(lu0, ldu, n), du, k), at(at(lv0, ldv, n), dv, k), du, dv,
                       at(at(lz0, ldz, n), dz, k), dz});
    }
    return out;
}

/* Random triangles, some reaching past every border, with distinct rows for
 * their vertices (so the top-to-bottom order is unambiguous). */
std::vector<std::array<SV, 3>> randomTriangles(unsigned seed, int count, double reach)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> ux(-reach, 320 + reach), uy(-reach, 240 + reach), uz(20, 4000),
        ut(-300, 300);
    std::vector<std::array<SV, 3>> out;
    while ((int)out.size() < count) {
        std::array<SV, 3> t;
        for (auto& v : t)
            v = {ux(rng), uy(rng), uz(rng), ut(rng), ut(rng)};
        if (t[0].y == t[1].y || t[1].y == t[2].y || t[0].y == t[2].y)
            continue;
        out.push_back(t);
    }
    return out;
}

TEST_F(Raster, BothRoutinesStepExactlyAsTheirClosedForms)
{
    scanLine = rf::spyScanline;
    int nonEmpty = 0;
    for (auto& t : randomTriangles(11, 3000, 120)) {
        std::vector<Vertex3D> v = {rf::screenVertex(t[0]), rf::screenVertex(t[1]), rf::screenVertex(t[2])};
        std::vector<const Vertex3D*> s = {&v[0], &v[1], &v[2]};
        std::sort(s.begin(), s.end(), [](auto a, auto b) { return a->sy < b->sy; });
        rf::spans().clear();
        tri(drawtritex16b_FixPoint_split, t[0], t[1], t[2]);
        auto want = referenceSplit(s[0], s[1], s[2]);
        ASSERT_EQ(rf::spans(), want) << t[0].y << " " << t[1].y << " " << t[2].y;
        nonEmpty += !want.empty();
        rf::spans().clear();
        tri(drawtritex16b_FixPoint_split2, t[0], t[1], t[2]);
        ASSERT_EQ(rf::spans(), referenceSplit2(s[0], s[1], s[2])) << t[0].y << " " << t[1].y << " " << t[2].y;
    }
    EXPECT_GT(nonEmpty, 1000);
}

/* draw_scanline reached through another pointer: the triangle routine
 * hands it every span instead of drawing the rows itself. */
void throughTheHook(Span* s)
{
    draw_scanline(s);
}

TEST_F(Raster, TheRoutinesOwnRowsDrawWhatTheScanlineDrawsSpanBySpan)
{
    /* Random triangles, some far wider than the screen, some crossing near
     * or with steep depths, some drawn twice (equal depths), on textures 256
     * wide (the run of rows) and 128 wide, with keys, over a random
     * z-buffer: the same pixels and z entries as draw_scanline given each
     * span. */
    std::mt19937 rng(17);
    rf::makeTexture(1, 256, 64);
    rf::makeTexture(2, 128, 32);
    rf::makeTexture(3, 256, 16, 0x1234);
    for (int slot : {1, 2})
        for (int i = 0; i < tex[slot].width * tex[slot].height; i += 5)
            tex[slot].pixels[i] = TEX_KEY;
    std::vector<fixed> z0(SCR_PIXELS);
    std::vector<uint16_t> s0(SCR_PIXELS);
    int n = 0;
    for (auto& t : randomTriangles(23, 1200, 400)) {
        const int kind = n++ % 4;
        for (SV& v : t) {
            if (kind == 1)
                v.z = 5 + (v.z - 20) / 100; /* about near (10) */
            else if (kind == 2)
                v.z = (v.z - 2000) * 50;    /* steep, some behind near */
        }
        for (int i = n % 10; i < SCR_PIXELS; i += 10) /* a tenth of it anew each time */
            z0[i] = (fixed)(rng() % (5000u * 4096)), s0[i] = (uint16_t)rng();
        std::vector<uint16_t> want[2];
        std::vector<fixed> wantZ[2];
        for (int hook = 0; hook < 2; hook++) {
            curtex = &tex[kind == 3 ? 2 : 1];
            std::copy(z0.begin(), z0.end(), zbuf);
            screen = s0;
            scanLine = hook ? throughTheHook : draw_scanline;
            kill3D(&obj);
            rf::makeObject(&obj, {rf::screenVertex(t[0]), rf::screenVertex(t[1]), rf::screenVertex(t[2])}, {0, 1, 2},
                           kind == 3 ? 2 : 1);
            clr_edge(&obj);
            drawtritex16b_FixPoint_split(&obj.faces[0], &obj);
            if (kind == 0) { /* again on another texture, at equal depths: drawn over */
                obj.texture = 3;
                curtex = &tex[3];
                clr_edge(&obj);
                drawtritex16b_FixPoint_split(&obj.faces[0], &obj);
            }
            want[hook] = screen;
            wantZ[hook].assign(zbuf, zbuf + SCR_PIXELS);
        }
        ASSERT_EQ(want[0], want[1]) << "triangle " << n;
        ASSERT_EQ(wantZ[0], wantZ[1]) << "triangle " << n;
    }
}

/* Cross-section of a triangle at height y: [lo, hi], empty when lo > hi. */
std::pair<double, double> crossSection(const std::array<SV, 3>& t, double y)
{
    double lo = 1e9, hi = -1e9;
    for (int i = 0; i < 3; i++) {
        const SV &a = t[i], &b = t[(i + 1) % 3];
        if ((y < a.y && y < b.y) || (y > a.y && y > b.y) || a.y == b.y)
            continue;
        double x = a.x + (b.x - a.x) * (y - a.y) / (b.y - a.y);
        lo = std::min(lo, x), hi = std::max(hi, x);
    }
    return {lo, hi};
}

TEST_F(Raster, BothRoutinesWalkTheSameRows)
{
    /* Small triangles (the 1/height steps stay accurate) taller than two
     * rows. Neither routine draws outside rows floor(top) .. floor(bottom);
     * both draw every row where the triangle is at least 4 pixels wide over
     * the band of rows around it that their stepping may sample. */
    scanLine = rf::spyScanline;
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> cx(40, 280), cy(40, 200), d(-40, 40);
    int checked = 0;
    for (int n = 0; n < 3000; n++) {
        double x = cx(rng), y = cy(rng);
        std::array<SV, 3> t = {SV{x + d(rng), y + d(rng), 100, 0, 0}, SV{x + d(rng), y + d(rng), 100, 0, 0},
                               SV{x + d(rng), y + d(rng), 100, 0, 0}};
        double top = std::min({t[0].y, t[1].y, t[2].y}), bottom = std::max({t[0].y, t[1].y, t[2].y});
        if ((int)std::floor(bottom) - (int)std::floor(top) < 3)
            continue;
        std::set<int> rows[2];
        int i = 0;
        for (auto routine : {drawtritex16b_FixPoint_split, drawtritex16b_FixPoint_split2}) {
            rf::spans().clear();
            tri(routine, t[0], t[1], t[2]);
            rows[i++] = spanRows();
        }
        for (auto& rs : rows)
            for (int r : rs)
                ASSERT_TRUE(r >= (int)std::floor(top) && r <= (int)std::floor(bottom)) << r;
        for (int r = (int)std::floor(top); r <= (int)std::floor(bottom); r++) {
            if (r - 1.5 < top || r + 1.5 > bottom)
                continue;
            auto a = crossSection(t, r - 1.5), b = crossSection(t, r + 1.5);
            if (std::min(a.second, b.second) - std::max(a.first, b.first) < 4.0)
                continue;
            checked++;
            ASSERT_TRUE(rows[0].count(r)) << "default routine skipped row " << r;
            ASSERT_TRUE(rows[1].count(r)) << "alternative routine skipped row " << r;
        }
    }
    EXPECT_GT(checked, 10000);
}

/* Pixels drawn per screen position while drawing with the counting shader.
 * (Triangles that meet only at a vertex may both draw a pixel or two next to
 * it: each row samples its edges at or up to one row above the row's top,
 * so a bottom tip reaches into its last row.) */
std::vector<int> coverage;
void countShader(unsigned short* px, fixed*, unsigned, fixed)
{
    coverage[px - rTarget]++;
}

TEST_F(Raster, TwoTrianglesSharingAnEdgeLeaveNoGapAndNoOverlap)
{
    /* Random convex quads split along a diagonal, drawn with the counting
     * shader: no pixel drawn by both halves (except on the rows of a shared
     * edge under one row tall, which both sides draw), and on each row the
     * pixels drawn form one run (no crack along the diagonal). The diagonal
     * is set up once, through the object's edge table. */
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> arc(0.4, 2.6), rad(20, 150), cx(60, 260), cy(40, 200), ut(0, 128);
    setShader(countShader);
    int checkedRows = 0;
    for (int n = 0; n < 2000; n++) {
        double x = cx(rng), y = cy(rng), r = rad(rng), a[4];
        a[0] = arc(rng);
        for (int i = 1; i < 4; i++)
            a[i] = a[i - 1] + arc(rng);
        if (a[3] - a[0] > 2 * M_PI - 0.4 || a[3] - a[0] < M_PI + 0.4)
            continue; /* every arc, the closing one too, under half a turn */
        std::vector<Vertex3D> v;
        for (double t : a)
            v.push_back(rf::screenVertex({x + r * std::cos(t), y + r * std::sin(t), 100, ut(rng), ut(rng)}));
        kill3D(&obj);
        rf::makeObject(&obj, v, {0, 1, 2, 0, 2, 3});
        coverage.assign(SCR_PIXELS, 0);
        clr_edge(&obj);
        drawtritex16b_FixPoint_split(&obj.faces[0], &obj);
        drawtritex16b_FixPoint_split(&obj.faces[1], &obj);
        std::set<int> flatRows;
        for (int e = 0; e < obj.edgeCount; e++) {
            fixed ya = v[obj.edges[e].va].sy, yb = v[obj.edges[e].vb].sy;
            if (std::abs(ya - yb) < 4096)
                for (int row = fp_iconv(std::min(ya, yb)); row <= fp_iconv(std::max(ya, yb)); row++)
                    flatRows.insert(row);
        }
        for (int row = 0; row < 240; row++) {
            if (flatRows.count(row))
                continue;
            int runs = 0;
            for (int col = 0; col < 320; col++) {
                int c = coverage[row * 320 + col];
                ASSERT_LE(c, 1) << "quad " << n << " pixel " << col << "," << row;
                runs += c && (col == 0 || !coverage[row * 320 + col - 1]);
            }
            ASSERT_LE(runs, 1) << "quad " << n << " row " << row;
            checkedRows += runs;
        }
    }
    EXPECT_GT(checkedRows, 50000);
    setShader(nullptr);
}

} // namespace
