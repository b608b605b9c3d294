/* orvel-objview: a cube written here renders to a PNG that shows it; bad files
 * and arguments give one line and the documented exit status. */
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb_image.h>

#include "tests/render3d/render_fixture.h"
#include "tests/support/test_support.h"

namespace {

/* A w x h 24-bit top-down TGA: a white border two texels wide around
 * 8 x 8 checks of orange and blue. */
std::vector<uint8_t> checkerTga(int w, int h)
{
    std::vector<uint8_t> b = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    ts::put16le(b, w);
    ts::put16le(b, h);
    b.push_back(24);
    b.push_back(0x20); /* top-left origin */
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            bool border = x < 2 || y < 2 || x >= w - 2 || y >= h - 2;
            bool odd = (x / 8 + y / 8) & 1;
            uint8_t r = border ? 255 : odd ? 240 : 40, g = border ? 255 : odd ? 128 : 96, bl = border ? 255 : odd ? 16 : 224;
            b.insert(b.end(), {bl, g, r});
        }
    return b;
}

struct Objview : ::testing::Test {
    std::string dir, err;
    void SetUp() override
    {
        dir = ts::makeTempDir("objview");
        rf::writeTextFile(dir, "cube.bof", rf::cubeText(40));
        ASSERT_TRUE(ts::writeFile(dir + "/tex.tga", checkerTga(64, 64)));
    }
    void TearDown() override { ts::removeTree(dir); }
    /* Runs the tool; returns its exit status, keeps stderr in err. */
    int run(const std::string& args)
    {
        std::string cmd = std::string(OBJVIEW) + " " + args + " >" + dir + "/out.txt 2>" + dir + "/err.txt";
        int st = std::system(cmd.c_str());
        std::vector<uint8_t> e = ts::readFile(dir + "/err.txt");
        err.assign(e.begin(), e.end());
        return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }
    std::string p(const std::string& name) const { return dir + "/" + name; }
};

struct Image {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    const uint8_t* at(int x, int y) const { return &rgb[3 * (y * w + x)]; }
};

Image readPng(const std::string& path)
{
    Image im;
    int n = 0;
    unsigned char* d = stbi_load(path.c_str(), &im.w, &im.h, &n, 3);
    if (d) {
        im.rgb.assign(d, d + 3 * im.w * im.h);
        stbi_image_free(d);
    }
    return im;
}

TEST_F(Objview, RendersTheCubeCentredOnADarkBackground)
{
    ASSERT_EQ(run(p("cube.bof") + " " + p("tex.tga") + " " + p("cube.png")), 0) << err;
    Image im = readPng(p("cube.png"));
    ASSERT_EQ(im.w, 320);
    ASSERT_EQ(im.h, 240);
    const uint8_t* bg = im.at(0, 0);
    EXPECT_LT(bg[0] + bg[1] + bg[2], 120); /* dark */
    int minx = 320, maxx = -1, miny = 240, maxy = -1, count = 0, white = 0;
    for (int y = 0; y < 240; y++)
        for (int x = 0; x < 320; x++) {
            const uint8_t* c = im.at(x, y);
            if (c[0] == bg[0] && c[1] == bg[1] && c[2] == bg[2])
                continue;
            count++;
            white += c[0] > 240 && c[1] > 240 && c[2] > 240;
            minx = std::min(minx, x), maxx = std::max(maxx, x);
            miny = std::min(miny, y), maxy = std::max(maxy, y);
        }
    /* the whole cube in view, about the middle, filling a good part of it */
    EXPECT_GT(count, 320 * 240 / 8);
    EXPECT_LT(count, 320 * 240 / 2);
    EXPECT_GT(minx, 0);
    EXPECT_LT(maxx, 319);
    EXPECT_GT(miny, 0);
    EXPECT_LT(maxy, 239);
    EXPECT_NEAR((minx + maxx) / 2.0, 160, 20);
    EXPECT_NEAR((miny + maxy) / 2.0, 120, 20);
    EXPECT_GT(white, 300); /* the texture's borders trace the cube's edges */
    const uint8_t* mid = im.at(160, 120);
    EXPECT_FALSE(mid[0] == bg[0] && mid[1] == bg[1] && mid[2] == bg[2]);

    /* options: a head-on view from far away is a smaller square */
    ASSERT_EQ(run(p("cube.bof") + " " + p("tex.tga") + " " + p("far.png") +
                  " --yaw 0 --pitch 0 --distance 400 --envmap --frame 0"),
              0)
        << err;
    Image far = readPng(p("far.png"));
    ASSERT_EQ(far.w, 320);
    const uint8_t* c = far.at(160, 120);
    EXPECT_FALSE(c[0] == bg[0] && c[1] == bg[1] && c[2] == bg[2]);
    c = far.at(160, 120 - 40);
    EXPECT_TRUE(c[0] == bg[0] && c[1] == bg[1] && c[2] == bg[2]); /* half side 40 * 200 / 360 = 22 pixels */
}

TEST_F(Objview, LargeObjectsAreFramedToo)
{
    /* A cube 1000 units across: the automatic camera's near and far planes
     * must keep the projection inside the fixed-point range, or nothing is
     * drawn. */
    rf::writeTextFile(dir, "big.bof", rf::cubeText(500));
    ASSERT_EQ(run(p("big.bof") + " " + p("tex.tga") + " " + p("big.png")), 0) << err;
    Image im = readPng(p("big.png"));
    ASSERT_EQ(im.w, 320);
    const uint8_t* bg = im.at(0, 0);
    const uint8_t* mid = im.at(160, 120);
    EXPECT_FALSE(mid[0] == bg[0] && mid[1] == bg[1] && mid[2] == bg[2]);
}

TEST_F(Objview, BadArgumentsGiveAUsageLineAndStatusTwo)
{
    for (std::string args : {std::string(""), p("cube.bof") + " " + p("tex.tga"),
                             p("cube.bof") + " " + p("tex.tga") + " o.png --frame x",
                             p("cube.bof") + " " + p("tex.tga") + " o.png --yaw",
                             p("cube.bof") + " " + p("tex.tga") + " o.png --distance -3",
                             p("cube.bof") + " " + p("tex.tga") + " o.png --zoom 2",
                             p("cube.obj") + " " + p("tex.tga") + " o.png"}) {
        EXPECT_EQ(run(args), 2) << args;
        EXPECT_NE(err.find("usage: orvel-objview"), std::string::npos) << err;
    }
}

TEST_F(Objview, BadFilesGiveOneLineAndStatusOne)
{
    rf::writeTextFile(dir, "empty.bof", "nothing 0 0 0 0 0\n");
    rf::writeTextFile(dir, "bad.bof", "bad 3 1 0 0 0\n0 0 0 0 0 0\n1 1 0 0 0 0\n2 0 1 0 0 0\n0 0 1 7\n");
    ASSERT_TRUE(ts::writeFile(dir + "/odd.tga", checkerTga(48, 64)));
    ASSERT_TRUE(ts::writeFile(dir + "/junk.tga", {1, 2, 3}));
    const std::string ok = p("tex.tga") + " " + p("o.png");
    for (std::string args : {p("none.bof") + " " + ok, p("empty.bof") + " " + ok, p("bad.bof") + " " + ok,
                             p("cube.bof") + " " + p("none.tga") + " " + p("o.png"),
                             p("cube.bof") + " " + p("odd.tga") + " " + p("o.png"),
                             p("cube.bof") + " " + p("junk.tga") + " " + p("o.png"),
                             p("cube.bof") + " " + ok + " --frame 1",
                             p("cube.bof") + " " + p("tex.tga") + " " + p("no/such/dir/o.png")}) {
        EXPECT_EQ(run(args), 1) << args;
        EXPECT_EQ(err.rfind("orvel-objview: ", 0), 0u) << err;
        EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    }
}

} // namespace
