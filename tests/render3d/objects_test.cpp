/* Object files: reading, the edge table, bad input, normals, sphere mapping,
 * teardown. */
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <utility>

#include "platform/headless/headless.h"
#include "tests/render3d/render_fixture.h"
#include "tests/support/test_support.h"
#include "video/kv_font.h"

namespace {

struct Objects : ::testing::Test {
    std::string dir;
    Object3D obj{};
    void SetUp() override { dir = ts::makeTempDir("obj"); }
    void TearDown() override
    {
        kill3D(&obj);
        ts::removeTree(dir);
    }
    std::string file(const std::string& name, const std::string& text) { return rf::writeTextFile(dir, name, text); }
    void expectEmpty() const
    {
        EXPECT_EQ(obj.vertCount, 0u);
        EXPECT_EQ(obj.faceCount, 0u);
        EXPECT_EQ(obj.edgeCount, 0);
        EXPECT_EQ(obj.frameCount, 0u);
        EXPECT_EQ(obj.verts, nullptr);
        EXPECT_EQ(obj.faces, nullptr);
        EXPECT_EQ(obj.edges, nullptr);
        EXPECT_EQ(obj.texture, -1);
    }
    /* Loads a .baf and returns what it printed. */
    std::string loadBafSaying(const std::string& path)
    {
        testing::internal::CaptureStdout();
        loadBAF(path.c_str(), &obj);
        return testing::internal::GetCapturedStdout();
    }
};

/* The quadratic lookup of the edge table, as a scan from entry 0. */
std::vector<std::pair<int, int>> referenceEdges(const std::vector<uint32_t>& tris, std::vector<int>* idx)
{
    std::vector<std::pair<int, int>> e;
    auto find = [&](int a, int b) {
        for (size_t i = 0; i < e.size(); i++)
            if ((e[i].first == a && e[i].second == b) || (e[i].first == b && e[i].second == a))
                return (int)i;
        e.push_back({a, b});
        return (int)e.size() - 1;
    };
    for (size_t t = 0; t < tris.size(); t += 3) {
        idx->push_back(find(tris[t], tris[t + 1]));
        idx->push_back(find(tris[t + 1], tris[t + 2]));
        idx->push_back(find(tris[t], tris[t + 2]));
    }
    return e;
}

/* The values of a .bof as formatted input reads them token by token (the
 * loader converts plain tokens itself and must agree on every file): the
 * counts, the position and 5 numbers a vertex, as loadBOF converts them,
 * and the face indices; 0 from the first token that does not convert. */
struct ScannedBof {
    std::vector<fixed> vals; /* x y z u v a vertex, then ia ib ic a face */
    float pos[3] = {0, 0, 0};
};

ScannedBof scanBof(const std::string& path)
{
    ScannedBof r;
    FILE* f = fopen(path.c_str(), "r");
    bool stop = false;
    char word[10];
    if (fscanf(f, "%9s", word) != 1 || fscanf(f, "%*[^ \t\r\n\v\f]") == EOF)
        stop = true;
    auto u = [&] {
        unsigned x = 0;
        if (!stop && fscanf(f, "%u", &x) != 1)
            stop = true, x = 0;
        return x;
    };
    auto fl = [&] {
        float x = 0;
        if (!stop && fscanf(f, "%f", &x) != 1)
            stop = true, x = 0;
        return x;
    };
    unsigned v = u(), fc = u();
    for (float& p : r.pos)
        p = fl();
    for (unsigned i = 0; i < v; i++) {
        u();
        for (int k = 0; k < 3; k++)
            r.vals.push_back(fp_convf(fl()));
        for (int k = 0; k < 2; k++)
            r.vals.push_back(fp_mulf(524288, fl()));
    }
    for (unsigned i = 0; i < fc; i++) {
        u();
        for (int k = 0; k < 3; k++)
            r.vals.push_back((fixed)u());
    }
    fclose(f);
    return r;
}

TEST_F(Objects, NumbersReadAsFormattedInputReadsThemWhateverTheirShape)
{
    /* random plain numbers (the loader's own conversion and strtof), then
     * every shape that formatted input treats its own way, each alone in
     * an otherwise plain file, at the start, in the middle and at the end */
    std::mt19937 rng(3);
    std::string plain;
    const int kVerts = 400;
    for (int i = 0; i < kVerts; i++) {
        plain += std::to_string(i);
        for (int k = 0; k < 5; k++) {
            int digits = 1 + rng() % 12, decimals = rng() % 13;
            std::string num = rng() % 2 ? "-" : "";
            for (int d = 0; d < digits; d++)
                num += (char)('0' + rng() % 10);
            if (decimals) {
                num += '.';
                for (int d = 0; d < decimals; d++)
                    num += (char)('0' + rng() % 10);
            }
            plain += (rng() % 3 ? " " : "\t") + num;
        }
        plain += i % 7 ? "\n" : "\r\n";
    }
    plain += "0 0 1 2\n1 1 2 3";
    const std::string head = "obj " + std::to_string(kVerts) + " 2 1.5 -2 3\n";
    std::vector<std::string> odd = {"+1.5", "1e3", "1E-2", "0x1p4", "inf", "-nan", "1.5x", ".5", "-.5", "5.",
                                    "-", "1..2", "12345678901", "4294967296", "-7", "+7", "1.5e", "0012.50",
                                    std::string(70, '9') + ".5", "0." + std::string(70, '3'), "abc", "1,5"};
    std::vector<std::string> files = {head + plain, head + plain.substr(0, plain.size() / 2)};
    for (const std::string& o : odd)
        for (size_t at : {head.size() + 2, head.size() + plain.size() / 2, head.size() + plain.size() - 3}) {
            std::string text = head + plain;
            size_t b = text.find_first_of(" \t\n", at); /* replace the token after a blank */
            size_t e = text.find_first_of(" \t\r\n", b + 1);
            text.replace(b + 1, (e == std::string::npos ? text.size() : e) - b - 1, o);
            files.push_back(text);
        }
    size_t compared = 0;
    for (size_t n = 0; n < files.size(); n++) {
        std::string path = file("shape" + std::to_string(n) + ".bof", files[n]);
        ScannedBof want = scanBof(path);
        testing::internal::CaptureStdout();
        loadBOF(path.c_str(), &obj);
        testing::internal::GetCapturedStdout();
        if (obj.vertCount == 0) /* refused (an index out of range): nothing to compare */
            continue;
        ASSERT_EQ(obj.vertCount, (unsigned)kVerts) << n;
        EXPECT_EQ(obj.x, want.pos[0]) << n;
        EXPECT_EQ(obj.z, want.pos[2]) << n;
        std::vector<fixed> got;
        for (unsigned i = 0; i < obj.vertCount; i++) {
            const Vertex3D& v = obj.verts[i];
            got.insert(got.end(), {v.x, v.y, v.z, v.u, v.v});
        }
        for (unsigned i = 0; i < obj.faceCount; i++)
            got.insert(got.end(), {(fixed)obj.faces[i].ia, (fixed)obj.faces[i].ib, (fixed)obj.faces[i].ic});
        ASSERT_EQ(got, want.vals) << "file " << n;
        kill3D(&obj);
        compared++;
    }
    EXPECT_GT(compared, files.size() * 3 / 4);
}

TEST_F(Objects, ReadsTheTextFormatWithItsConversions)
{
    loadBOF(file("o.bof", "head 3 1 10.5 -2 0.25\n"
                          "0 1.5 -1.5 0 0.5 1\n"
                          "1 0 0 -0.00001 1 0.25\n"
                          "2 2 2 2 0 -0.5\n"
                          "0 0 1 2\n")
                .c_str(),
            &obj);
    ASSERT_EQ(obj.vertCount, 3u);
    EXPECT_EQ(obj.faceCount, 1u);
    EXPECT_EQ(obj.frameCount, 1u);
    EXPECT_EQ(obj.texture, -1);
    EXPECT_EQ(obj.frame, 0);
    EXPECT_FLOAT_EQ(obj.x, 10.5f);
    EXPECT_FLOAT_EQ(obj.y, -2.0f);
    EXPECT_FLOAT_EQ(obj.z, 0.25f);
    EXPECT_EQ(obj.verts[0].x, 6144);
    EXPECT_EQ(obj.verts[0].y, -6144);
    EXPECT_EQ(obj.verts[0].u, 262144); /* 0.5 -> 64.0 */
    EXPECT_EQ(obj.verts[0].v, 524288); /* 1.0 -> 128.0 */
    EXPECT_EQ(obj.verts[1].z, 0);      /* truncated toward zero */
    EXPECT_EQ(obj.verts[1].v, 131072);
    EXPECT_EQ(obj.verts[2].v, -262144);
    EXPECT_EQ(obj.faces[0].ic, 2u);
}

TEST_F(Objects, AHeaderWordOfAnyLengthIsSkippedWhole)
{
    loadBOF(file("h.bof", "averyveryverylongheaderword 3 1 0 0 0\n0 0 0 0 0 0\n1 1 0 0 0 0\n2 0 1 0 0 0\n0 0 1 2\n")
                .c_str(),
            &obj);
    EXPECT_EQ(obj.vertCount, 3u);
    EXPECT_EQ(obj.faceCount, 1u);
    EXPECT_EQ(obj.verts[1].x, 4096);
    kill3D(&obj);
    loadBOF(file("h9.bof", "ninechars 3 0 0 0 0\n0 0 0 0 0 0\n1 1 0 0 0 0\n2 0 1 0 0 0\n").c_str(), &obj);
    EXPECT_EQ(obj.vertCount, 3u);
}

TEST_F(Objects, AnimationFramesFollowEachOther)
{
    loadBAF(file("a.baf", "anim 3 1 2 0 0 0\n"
                          "0 0 0 0 0 0\n1 1 0 0 0 0\n2 0 1 0 0 0\n"
                          "0 0 0 5 0 0\n1 1 0 5 0 0\n2 0 1 5 0 0\n"
                          "0 0 1 2\n")
                .c_str(),
            &obj);
    ASSERT_EQ(obj.frameCount, 2u);
    EXPECT_EQ(obj.verts[3 + 2].y, 4096);
    EXPECT_EQ(obj.verts[3 + 2].z, 5 * 4096);
}

TEST_F(Objects, CubeEdgesAreTwelveSidesAndSixDiagonals)
{
    /* 8 corners, two triangles a face, then the first triangle again with
     * the opposite winding: no new edges. */
    std::string text = "kube 8 13 0 0 0\n";
    for (int i = 0; i < 8; i++)
        text += std::to_string(i) + " " + std::to_string(i & 1) + " " + std::to_string(i >> 1 & 1) + " " +
                std::to_string(i >> 2) + " 0 0\n";
    const int quads[6][4] = {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}};
    int n = 0;
    for (auto& q : quads) {
        text += std::to_string(n++) + " " + std::to_string(q[0]) + " " + std::to_string(q[1]) + " " +
                std::to_string(q[2]) + "\n";
        text += std::to_string(n++) + " " + std::to_string(q[0]) + " " + std::to_string(q[2]) + " " +
                std::to_string(q[3]) + "\n";
    }
    text += "12 3 1 0\n";
    loadBOF(file("k.bof", text).c_str(), &obj);
    ASSERT_EQ(obj.faceCount, 13u);
    EXPECT_EQ(obj.edgeCount, 18);
    for (uint32_t i = 0; i < obj.faceCount; i++) {
        const Face3D& f = obj.faces[i];
        EXPECT_NE(f.eab, f.ebc);
        EXPECT_NE(f.eab, f.eac);
        EXPECT_NE(f.ebc, f.eac);
        auto ends = [&](int e) { return std::set<int>{obj.edges[e].va, obj.edges[e].vb}; };
        EXPECT_EQ(ends(f.eab), (std::set<int>{(int)f.ia, (int)f.ib}));
        EXPECT_EQ(ends(f.ebc), (std::set<int>{(int)f.ib, (int)f.ic}));
        EXPECT_EQ(ends(f.eac), (std::set<int>{(int)f.ia, (int)f.ic}));
    }
    for (int i = 0; i < obj.edgeCount; i++)
        EXPECT_EQ(obj.edges[i].ready, 0);
}

TEST_F(Objects, EdgesAreNumberedInOrderOfFirstAppearance)
{
    loadBOF(file("t.bof", "t 4 2 0 0 0\n0 0 0 0 0 0\n1 1 0 0 0 0\n2 0 1 0 0 0\n3 1 1 0 0 0\n0 0 1 2\n1 2 1 3\n")
                .c_str(),
            &obj);
    ASSERT_EQ(obj.edgeCount, 5);
    const int ends[5][2] = {{0, 1}, {1, 2}, {0, 2}, {1, 3}, {2, 3}};
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(obj.edges[i].va, ends[i][0]) << i;
        EXPECT_EQ(obj.edges[i].vb, ends[i][1]) << i;
    }
    EXPECT_EQ(obj.faces[1].eab, 1); /* (2,1) matched reversed */
    EXPECT_EQ(obj.faces[1].ebc, 3);
    EXPECT_EQ(obj.faces[1].eac, 4);
}

TEST_F(Objects, HashedLookupNumbersLikeTheLinearScan)
{
    std::mt19937 rng(7);
    std::vector<Vertex3D> verts(300);
    std::vector<uint32_t> tris;
    for (int i = 0; i < 4000 * 3; i++)
        tris.push_back(rng() % 300);
    rf::makeObject(&obj, verts, tris);
    std::vector<int> idx;
    auto ref = referenceEdges(tris, &idx);
    ASSERT_EQ(obj.edgeCount, (int)ref.size());
    for (size_t i = 0; i < ref.size(); i++) {
        ASSERT_EQ(obj.edges[i].va, ref[i].first) << i;
        ASSERT_EQ(obj.edges[i].vb, ref[i].second) << i;
    }
    for (uint32_t f = 0; f < obj.faceCount; f++) {
        ASSERT_EQ(obj.faces[f].eab, idx[3 * f]);
        ASSERT_EQ(obj.faces[f].ebc, idx[3 * f + 1]);
        ASSERT_EQ(obj.faces[f].eac, idx[3 * f + 2]);
    }
    /* find_edge on its own, after the table was emptied by hand */
    edgenum = 0;
    EXPECT_EQ(find_edge(5, 9), 0);
    EXPECT_EQ(find_edge(9, 5), 0);
    EXPECT_EQ(find_edge(9, 9), 1);
    EXPECT_EQ(edgenum, 2);
}

TEST_F(Objects, MissingFilesLeaveAnEmptyObjectAndSayWhereThePartSays)
{
    /* .bof: on the loading screen, shown at once */
    ASSERT_NE(scr_init(), nullptr);
    scr_clrc(0);
    static Font font{};
    font.sheet.pixels = (uint16_t*)calloc(480 * 8, sizeof(uint16_t));
    for (int i = 0; i < 480 * 8; i++)
        font.sheet.pixels[i] = 0xFFFF;
    font.sheet.width = 480;
    font.sheet.height = 8;
    font.charW = font.charH = 8;
    fnt_setFnt(&font);
    setcursor(0, 0);
    long shown = headless_frameCount();
    testing::internal::CaptureStdout();
    loadBOF((dir + "/none.bof").c_str(), &obj);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(headless_frameCount(), shown + 1);
    EXPECT_EQ(scr_getBuf()[2 * 320 + 2], 0xFFFF); /* the first glyph, an 'e' */
    expectEmpty();
    fnt_killFnt(&font);
    fnt_setFnt(nullptr);
    scr_exit();

    /* .baf: standard output, no line end */
    EXPECT_EQ(loadBafSaying(dir + "/none.baf"), "EEEEEEEEEEEK!!!     file not found!!");
    expectEmpty();
}

TEST_F(Objects, AbsurdCountsAreRefusedBeforeAllocating)
{
    const char* msg = "EEEEEEEEEEEK!!!     not nuff mem!!";
    EXPECT_EQ(loadBafSaying(file("n0.baf", "a 3 1 0 0 0 0\n")), msg); /* no frames */
    expectEmpty();
    EXPECT_EQ(loadBafSaying(file("v.baf", "a 4000000000 1 1 0 0 0\n")), msg);
    expectEmpty();
    /* V * N overflows 32 bits, V * N * sizeof overflows nothing but is huge */
    EXPECT_EQ(loadBafSaying(file("vn.baf", "a 70000 1 70000 0 0 0\n")), msg);
    expectEmpty();
    EXPECT_EQ(loadBafSaying(file("f.baf", "a 3 4294967295 1 0 0 0\n")), msg);
    expectEmpty();
    /* just above the cap together, each alone below it */
    unsigned v = (OBJ_MAX_BYTES / 2) / sizeof(Vertex3D) + 1, f = (OBJ_MAX_BYTES / 2) / sizeof(Face3D) + 1;
    EXPECT_EQ(loadBafSaying(file("cap.baf", "a " + std::to_string(v) + " " + std::to_string(f) + " 1 0 0 0\n")), msg);
    expectEmpty();
    testing::internal::CaptureStdout();
    loadBOF(file("n.bof", "a -1 1 0 0 0\n").c_str(), &obj); /* -1 reads as 4294967295 */
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");    /* the screen route */
    expectEmpty();
}

TEST_F(Objects, AFaceNamingAMissingVertexRefusesTheFile)
{
    std::string out = loadBafSaying(file("bad.baf", "a 3 2 1 0 0 0\n0 0 0 0 0 0\n1 1 0 0 0 0\n2 0 1 0 0 0\n"
                                                    "0 0 1 2\n1 0 3 1\n"));
    expectEmpty();
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.find('\n'), out.size() - 1) << out;
    EXPECT_NE(out.find("vertex 3"), std::string::npos) << out;
    /* -1 as an index is 4294967295 */
    testing::internal::CaptureStdout();
    loadBOF(file("neg.bof", "a 3 1 0 0 0\n0 0 0 0 0 0\n1 1 0 0 0 0\n2 0 1 0 0 0\n0 0 -1 2\n").c_str(), &obj);
    EXPECT_NE(testing::internal::GetCapturedStdout(), "");
    expectEmpty();
}

TEST_F(Objects, MoreThan32768EdgesAreRefused)
{
    /* 10923 separate triangles: 32769 edges */
    const int tris = 10923;
    std::string text = "big " + std::to_string(3 * tris) + " " + std::to_string(tris) + " 1 0 0 0\n";
    for (int i = 0; i < 3 * tris; i++)
        text += "0 0 0 0 0 0\n";
    for (int i = 0; i < tris; i++)
        text += "0 " + std::to_string(3 * i) + " " + std::to_string(3 * i + 1) + " " + std::to_string(3 * i + 2) + "\n";
    std::string out = loadBafSaying(file("big.baf", text));
    EXPECT_NE(out.find("32768"), std::string::npos) << out;
    expectEmpty();
    /* one triangle fewer fits exactly: 32766 edges */
    text = "big " + std::to_string(3 * (tris - 1)) + " " + std::to_string(tris - 1) + " 1 0 0 0\n";
    for (int i = 0; i < 3 * (tris - 1); i++)
        text += "0 0 0 0 0 0\n";
    for (int i = 0; i < tris - 1; i++)
        text += "0 " + std::to_string(3 * i) + " " + std::to_string(3 * i + 1) + " " + std::to_string(3 * i + 2) + "\n";
    EXPECT_EQ(loadBafSaying(file("ok.baf", text)), "");
    EXPECT_EQ(obj.edgeCount, 32766);
}

TEST_F(Objects, AFileThatEndsEarlyLeavesZerosNotGarbage)
{
    /* the second vertex stops after y; everything later is 0 (the numbers
     * are long enough for the file to be able to hold its counts) */
    loadBOF(file("short.bof", "s 3 2 1 2 3\n0 5.000 6.000 7.000 0.500 0.500\n1 8.000 9.000").c_str(), &obj);
    ASSERT_EQ(obj.vertCount, 3u);
    EXPECT_EQ(obj.verts[0].x, 5 * 4096);
    EXPECT_EQ(obj.verts[1].x, 8 * 4096);
    EXPECT_EQ(obj.verts[1].y, 9 * 4096);
    EXPECT_EQ(obj.verts[1].z, 0);
    EXPECT_EQ(obj.verts[1].u, 0);
    EXPECT_EQ(obj.verts[2].x, 0);
    EXPECT_EQ(obj.verts[2].v, 0);
    EXPECT_EQ(obj.faces[1].ia + obj.faces[1].ib + obj.faces[1].ic, 0u);
    EXPECT_EQ(obj.edgeCount, 1); /* every triangle is (0, 0, 0) */
    /* a malformed number stops the reading the same way */
    kill3D(&obj);
    loadBOF(file("bad.bof", "s 2 0 0 0 0\n0 1 x 3 0 0\n1 4 4 4 4 4\n").c_str(), &obj);
    ASSERT_EQ(obj.vertCount, 2u);
    EXPECT_EQ(obj.verts[0].x, 4096);
    EXPECT_EQ(obj.verts[0].y, 0);
    EXPECT_EQ(obj.verts[1].x, 0);
}

TEST_F(Objects, KillTwiceIsHarmless)
{
    loadBOF(file("c.bof", rf::cubeText(1)).c_str(), &obj);
    ASSERT_EQ(obj.faceCount, 12u);
    obj.texture = 3;
    kill3D(&obj);
    kill3D(&obj);
    EXPECT_EQ(obj.verts, nullptr);
    EXPECT_EQ(obj.texture, -1);
    EXPECT_EQ(obj.faceCount, 0u);
}

TEST_F(Objects, NormalsOfAFlatSquareAreExactUnitVectors)
{
    std::vector<Vertex3D> v(4);
    const int pos[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int i = 0; i < 4; i++) {
        v[i].x = pos[i][0] * 4096;
        v[i].y = pos[i][1] * 4096;
        v[i].nx = 77; /* stale values are cleared first */
    }
    /* each triangle starts at its right-angle corner, so both face normals
     * come out exact */
    rf::makeObject(&obj, v, {0, 1, 3, 2, 3, 1});
    add_normal(&obj);
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(obj.verts[i].nx, 0) << i;
        EXPECT_EQ(obj.verts[i].ny, 0) << i;
        EXPECT_EQ(obj.verts[i].nz, 4096) << i; /* (0,0,8192) at the shared corners normalises exactly */
    }
    /* a vertex of no triangle keeps 0 */
    kill3D(&obj);
    v.push_back(v[0]);
    rf::makeObject(&obj, v, {0, 3, 1});
    add_normal(&obj);
    EXPECT_EQ(obj.verts[0].nz, -4096);
    EXPECT_EQ(obj.verts[4].nx | obj.verts[4].ny | obj.verts[4].nz, 0);
}

TEST_F(Objects, SphereMappingPutsAFacingNormalAtTheCentre)
{
    std::vector<Vertex3D> v(3);
    v[1].tnx = 4096;  /* facing right: u = 128.0 */
    v[2].tny = 4096;  /* facing up: v = 0 */
    v[2].tnx = -4096; /* facing left: u = 0 */
    rf::makeObject(&obj, v, {0, 1, 2});
    make_envmap(&obj);
    EXPECT_EQ(obj.verts[0].u, 262144);
    EXPECT_EQ(obj.verts[0].v, 262144);
    EXPECT_EQ(obj.verts[1].u, 524288);
    EXPECT_EQ(obj.verts[2].u, 0);
    EXPECT_EQ(obj.verts[2].v, 0);
    obj.frame = 1; /* out of range: nothing happens */
    obj.verts[0].u = 5;
    make_envmap(&obj);
    EXPECT_EQ(obj.verts[0].u, 5);
}

} // namespace
