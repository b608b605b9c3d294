/* Scene drawing: what draw3D refuses to draw, its per-triangle decisions, and
 * the hooks. */
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/render3d/render_fixture.h"

namespace {

std::vector<const Face3D*> filled;
void spyFill(const Face3D* f, Object3D*)
{
    filled.push_back(f);
}

struct Scene : ::testing::Test {
    Object3D obj{};
    uint16_t* screen = nullptr;
    void SetUp() override
    {
        screen = scr_init();
        ASSERT_NE(screen, nullptr);
        scr_clrc(0);
        cam_setClip(&cam, 10, 5000, 200.0f);
        clr3D();
        rf::makeTexture(0, 64, 64, 0x0F0F);
        fillTri = nullptr;
        scanLine = nullptr;
        pixShader = nullptr;
        filled.clear();
    }
    void TearDown() override
    {
        kill3D(&obj);
        killAllTex();
        scr_exit();
        fillTri = nullptr;
        scanLine = nullptr;
        pixShader = nullptr;
    }
    /* One projected triangle with the given screen positions (pixels). */
    void oneTriangle(rf::SV a, rf::SV b, rf::SV c)
    {
        kill3D(&obj);
        rf::makeObject(&obj, {rf::screenVertex(a), rf::screenVertex(b), rf::screenVertex(c)}, {0, 1, 2});
        obj.projected = 1;
    }
    int drawn() const
    {
        int n = 0;
        for (int i = 0; i < SCR_PIXELS; i++)
            n += screen[i] != 0;
        return n;
    }
};

const rf::SV A = {100, 50, 100, 0, 0}, B = {200, 50, 100, 0, 0}, C = {100, 150, 100, 0, 0}; /* front-facing */

TEST_F(Scene, DrawsAFrontFacingTriangleWithTheDefaultHooks)
{
    oneTriangle(A, B, C);
    draw3D(&obj);
    EXPECT_EQ(fillTri, drawtritex16b_FixPoint_split);
    EXPECT_EQ(scanLine, draw_scanline);
    EXPECT_EQ(rTarget, screen);
    EXPECT_EQ(curtex, &tex[0]);
    EXPECT_GT(drawn(), 4000);
    EXPECT_EQ(screen[60 * 320 + 110], 0x0F0F);
}

TEST_F(Scene, RefusesWhatItCannotDrawSafely)
{
    oneTriangle(A, B, C);
    fillTri = spyFill;
    obj.projected = 0; /* never projected */
    draw3D(&obj);
    obj.projected = 1;
    for (int t : {-1, 64, 1000, 5}) { /* none, out of range, empty slot */
        obj.texture = t;
        draw3D(&obj);
    }
    rf::makeTexture(6, 48, 64); /* not a power of two */
    obj.texture = 6;
    draw3D(&obj);
    rf::makeTexture(7, 64, 64);
    tex[7].widthLog2 = 5; /* inconsistent with the width */
    obj.texture = 7;
    draw3D(&obj);
    obj.texture = 0;
    obj.frame = 1; /* no such frame */
    draw3D(&obj);
    obj.frame = -1;
    draw3D(&obj);
    obj.frame = 0;
    EXPECT_TRUE(filled.empty());
    draw3D(&obj);
    EXPECT_EQ(filled.size(), 1u);

    /* no back buffer: nothing, and no write into the freed one */
    scr_exit();
    filled.clear();
    draw3D(&obj);
    EXPECT_TRUE(filled.empty());
    screen = scr_init();
    ASSERT_NE(screen, nullptr);
    draw3D(&obj);
    EXPECT_EQ(rTarget, screen);

    /* after kill3D the object still says projected, but has nothing */
    kill3D(&obj);
    filled.clear();
    draw3D(&obj);
    EXPECT_TRUE(filled.empty());
}

TEST_F(Scene, TriangleDecisions)
{
    fillTri = spyFill;
    /* back faces: (0,0), (10,0), (0,10) is drawn, with B and C exchanged not */
    oneTriangle({0, 0, 100, 0, 0}, {10, 0, 100, 0, 0}, {0, 10, 100, 0, 0});
    draw3D(&obj);
    EXPECT_EQ(filled.size(), 1u);
    oneTriangle({0, 0, 100, 0, 0}, {0, 10, 100, 0, 0}, {10, 0, 100, 0, 0});
    draw3D(&obj);
    EXPECT_EQ(filled.size(), 1u);
    /* a large front face (products past 32 bits) is drawn, its mirror not */
    oneTriangle({-1000, -900, 100, 0, 0}, {1500, -20, 100, 0, 0}, {-300, 2000, 100, 0, 0});
    draw3D(&obj);
    EXPECT_EQ(filled.size(), 2u);
    oneTriangle({-1000, -900, 100, 0, 0}, {-300, 2000, 100, 0, 0}, {1500, -20, 100, 0, 0});
    draw3D(&obj);
    EXPECT_EQ(filled.size(), 2u);
    filled.pop_back();
    /* zero area passes */
    oneTriangle({0, 0, 100, 0, 0}, {10, 10, 100, 0, 0}, {20, 20, 100, 0, 0});
    draw3D(&obj);
    EXPECT_EQ(filled.size(), 2u);

    /* out-codes: all three outside one plane drops it */
    oneTriangle(A, B, C);
    obj.verts[0].clip = 0x01 | 0x08;
    obj.verts[1].clip = 0x01;
    obj.verts[2].clip = 0x01 | 0x04;
    draw3D(&obj);
    EXPECT_EQ(obj.faces[0].visible, 0);
    EXPECT_EQ(filled.size(), 2u);
    /* each outside a different plane: not dropped by the out-codes */
    obj.verts[0].clip = 0x01;
    obj.verts[1].clip = 0x02;
    obj.verts[2].clip = 0x08;
    draw3D(&obj);
    EXPECT_EQ(obj.faces[0].visible, 0xFF);
    EXPECT_EQ(filled.size(), 3u);
    /* one vertex behind the eye drops it whole */
    obj.verts[2].behind = 0xFF;
    draw3D(&obj);
    EXPECT_EQ(filled.size(), 3u);

    /* screen rejects: wholly below, right, left or above */
    oneTriangle({10, 240, 100, 0, 0}, {50, 240, 100, 0, 0}, {10, 300, 100, 0, 0});
    draw3D(&obj);
    oneTriangle({320, 10, 100, 0, 0}, {400, 10, 100, 0, 0}, {320, 90, 100, 0, 0});
    draw3D(&obj);
    oneTriangle({-50, 10, 100, 0, 0}, {-0.01, 10, 100, 0, 0}, {-50, 90, 100, 0, 0});
    draw3D(&obj);
    oneTriangle({10, -90, 100, 0, 0}, {90, -90, 100, 0, 0}, {10, -0.01, 100, 0, 0});
    draw3D(&obj);
    EXPECT_EQ(filled.size(), 3u);
    /* touching row 239 is not rejected */
    oneTriangle({10, 239.5, 100, 0, 0}, {50, 240, 100, 0, 0}, {10, 300, 100, 0, 0});
    draw3D(&obj);
    EXPECT_EQ(filled.size(), 4u);

    /* the edge cache is cleared for every draw */
    for (int i = 0; i < obj.edgeCount; i++)
        obj.edges[i].ready = 1;
    draw3D(&obj);
    for (int i = 0; i < obj.edgeCount; i++)
        EXPECT_EQ(obj.edges[i].ready, 0);
}

TEST_F(Scene, HookSelection)
{
    setFillFunc(0);
    EXPECT_EQ(fillTri, drawtritex16b_FixPoint_split2);
    setFillFunc(5);
    EXPECT_EQ(fillTri, drawtritex16b_FixPoint_split);
    const ScanLineFunc byType[4] = {draw_scanline, draw_scanline_dbl, draw_scanline_noTransp,
                                    draw_scanline_dbl_noTransp};
    for (int t = 0; t < 4; t++) {
        setScanFunc(t);
        EXPECT_EQ(scanLine, byType[t]);
    }
    setScanFunc(7);
    EXPECT_EQ(scanLine, draw_scanline_dbl_noTransp);
    setScanFunc(-1);
    EXPECT_EQ(scanLine, draw_scanline_dbl_noTransp);
    setTexture(&obj, 9);
    EXPECT_EQ(obj.texture, 9);
}

int shaded = 0;
void countShader(unsigned short*, fixed*, unsigned, fixed)
{
    shaded++;
}

TEST_F(Scene, EveryDrawnPixelGoesToTheShaderOnlyWithTheDefaultScanline)
{
    oneTriangle(A, B, C);
    draw3D(&obj);
    int plain = drawn();
    scr_clrc(0);
    clr3D();
    shaded = 0;
    setShader(countShader);
    draw3D(&obj);
    EXPECT_EQ(shaded, plain);
    EXPECT_EQ(drawn(), 0);
    setScanFunc(2);
    draw3D(&obj);
    EXPECT_EQ(shaded, plain);
    EXPECT_EQ(drawn(), plain);
    setShader(nullptr);
}

TEST_F(Scene, EveryScanlineRoutineStaysInsideTheScreenAndZBuffer)
{
    /* Triangles far past every border, with each routine and hook: the
     * sanitizer build turns any stray write into a failure. */
    for (int fill = 0; fill < 2; fill++)
        for (int scan = 0; scan < 4; scan++) {
            setFillFunc(fill);
            setScanFunc(scan);
            oneTriangle({-1000.5, -900.25, 100, 0, 0}, {1500.75, -20, 100, 128, 0}, {-300.3, 2000.6, 100, 0, 128});
            draw3D(&obj);
            oneTriangle({319.5, 239.5, 100, 0, 0}, {5000, 239.9, 100, 0, 0}, {319.9, 5000, 100, 0, 0});
            draw3D(&obj);
            oneTriangle({0.5, -3000, 100, 0, 0}, {1.5, 3000, 100, 0, 0}, {-700, 3000, 100, 0, 0});
            draw3D(&obj);
            /* the whole fixed range: every sum and product wraps */
            oneTriangle(A, B, C);
            obj.verts[0].sx = INT32_MIN, obj.verts[0].sy = INT32_MIN + 1;
            obj.verts[1].sx = INT32_MAX, obj.verts[1].sy = 50 * 4096;
            obj.verts[2].sx = 100 * 4096, obj.verts[2].sy = INT32_MAX;
            obj.verts[2].u = INT32_MAX, obj.verts[1].sz = INT32_MIN;
            draw3D(&obj);
        }
    EXPECT_GT(drawn(), 60000);
}

} // namespace
