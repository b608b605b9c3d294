/* Pictures: TGA and raw loading, size parsing, keyed and additive blits. */
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "video/kv_video.h"

#include <stb_image.h>

namespace {

using ts::put16le;
using ts::put8;

/* 3 x 2 picture, row-major from the top-left, as R, G, B. */
const uint8_t kImg[2][3][3] = {
    {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}},
    {{255, 255, 255}, {8, 4, 8}, {255, 0, 255}},
};

uint16_t rgb565(const uint8_t* p)
{
    return (uint16_t)(((p[0] >> 3) << 11) | ((p[1] >> 2) << 5) | (p[2] >> 3));
}

/* A TGA header, written by hand. type 2 = true colour, 10 = RLE true colour. */
std::vector<uint8_t> tgaHeader(int type, int w, int h, int bpp, int descriptor, int idLen = 0)
{
    std::vector<uint8_t> b;
    put8(b, idLen);
    put8(b, 0);    /* no colour map */
    put8(b, type);
    for (int i = 0; i < 5; i++)
        put8(b, 0); /* colour map: first entry, length, entry size (none) */
    put16le(b, 0);
    put16le(b, 0);
    put16le(b, w);
    put16le(b, h);
    put8(b, bpp);
    put8(b, descriptor);
    for (int i = 0; i < idLen; i++)
        put8(b, 'A' + i);
    return b;
}

/* The 3x2 picture as an uncompressed 24-bit TGA in the given origin. */
std::vector<uint8_t> tgaImage(bool topFirst, bool rightFirst)
{
    std::vector<uint8_t> b = tgaHeader(2, 3, 2, 24, (topFirst ? 0x20 : 0) | (rightFirst ? 0x10 : 0), 3);
    for (int i = 0; i < 2; i++) {
        int row = topFirst ? i : 1 - i;
        for (int j = 0; j < 3; j++) {
            int col = rightFirst ? 2 - j : j;
            const uint8_t* p = kImg[row][col];
            put8(b, p[2]);
            put8(b, p[1]);
            put8(b, p[0]);
        }
    }
    return b;
}

struct Pictures : ::testing::Test {
    std::string dir;
    uint16_t* buf = nullptr;
    void SetUp() override
    {
        dir = ts::makeTempDir("pic");
        buf = scr_init();
        ASSERT_NE(buf, nullptr);
        scr_clrc(0);
    }
    void TearDown() override
    {
        scr_exit();
        ts::removeTree(dir);
    }
    std::string path(const std::string& name) const { return dir + "/" + name; }
    void expectKImg(const Pic16b& p)
    {
        ASSERT_NE(p.pixels, nullptr);
        ASSERT_EQ(p.width, 3);
        ASSERT_EQ(p.height, 2);
        for (int i = 0; i < 2; i++)
            for (int j = 0; j < 3; j++)
                EXPECT_EQ(p.pixels[i * 3 + j], rgb565(kImg[i][j])) << "row " << i << " col " << j;
    }
};

TEST_F(Pictures, TgaLoadsTopDownLeftToRightInAllFourOrigins)
{
    for (int top = 0; top < 2; top++)
        for (int right = 0; right < 2; right++) {
            SCOPED_TRACE(testing::Message() << "top " << top << " right " << right);
            std::string f = path(std::string("o") + char('0' + top) + char('0' + right) + ".tga");
            ASSERT_TRUE(ts::writeFile(f, tgaImage(top, right)));
            Pic16b p{};
            loadTGA16b(f.c_str(), &p);
            expectKImg(p);
            EXPECT_EQ(p.widthLog2, 1);
            killPic16b(&p);
        }
}

TEST_F(Pictures, RunLengthTgaMatchesTheUncompressedOne)
{
    /* bottom-up RLE: row 1 then row 0; a run packet and raw packets */
    std::vector<uint8_t> b = tgaHeader(10, 3, 2, 24, 0);
    put8(b, 0x80 | 0); /* run of 1: white */
    put8(b, 255), put8(b, 255), put8(b, 255);
    put8(b, 1); /* raw of 2 */
    put8(b, 8), put8(b, 4), put8(b, 8);
    put8(b, 255), put8(b, 0), put8(b, 255);
    put8(b, 2); /* raw of 3: row 0 */
    put8(b, 0), put8(b, 0), put8(b, 255);
    put8(b, 0), put8(b, 255), put8(b, 0);
    put8(b, 255), put8(b, 0), put8(b, 0);
    std::string f = path("rle.tga");
    ASSERT_TRUE(ts::writeFile(f, b));
    Pic16b p{};
    loadRAW16bAuto(f.c_str(), &p); /* chosen by the ".tga" in the name */
    expectKImg(p);
    killPic16b(&p);

    /* a run covering the whole picture */
    std::vector<uint8_t> r = tgaHeader(10, 4, 4, 24, 0x20);
    put8(r, 0x80 | 15);
    put8(r, 0x10), put8(r, 0x20), put8(r, 0x30);
    ASSERT_TRUE(ts::writeFile(f, r));
    loadTGA16b(f.c_str(), &p);
    ASSERT_NE(p.pixels, nullptr);
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(p.pixels[i], scr_RGB2W(0x30, 0x20, 0x10));
    killPic16b(&p);
}

/* The loader decodes 24-bit true colour itself (raw and run-length, the
 * data set's kinds): against stb_image's reading of the same files and the
 * conversion to RGB565, for random pictures in every origin, with an image
 * id, runs and raw packets across rows, and run-length files cut short
 * (past the end the reader sees zeros). */
TEST_F(Pictures, OwnTrueColourDecodingMatchesStbImage)
{
    std::mt19937 rng(9);
    int n = 0, compared = 0;
    for (int type : {2, 10})
        for (int desc : {0x00, 0x20, 0x10, 0x30})
            for (int cut : {0, 1, 7}) {
                if (type == 2 && cut)
                    continue; /* short raw files are refused before decoding */
                const int w = 5 + rng() % 40, h = 3 + rng() % 20;
                std::vector<uint8_t> b = tgaHeader(type, w, h, 24, desc, rng() % 3);
                for (int i = 0; i < w * h;) {
                    const int len = 1 + rng() % 130 % (w * h - i);
                    const uint8_t px[3] = {(uint8_t)rng(), (uint8_t)rng(), (uint8_t)rng()};
                    if (type == 2) {
                        b.insert(b.end(), px, px + 3);
                        i++;
                    } else if (rng() % 2 && len <= 128) { /* a run */
                        put8(b, 0x80 | (len - 1));
                        b.insert(b.end(), px, px + 3);
                        i += len;
                    } else { /* raw pixels */
                        const int k = len < 128 ? len : 128;
                        put8(b, k - 1);
                        for (int j = 0; j < 3 * k; j++)
                            put8(b, rng());
                        i += k;
                    }
                }
                b.resize(b.size() - (size_t)cut * b.size() / 20);
                const std::string f = path("cmp" + std::to_string(n++) + ".tga");
                ASSERT_TRUE(ts::writeFile(f, b));
                int sw = 0, sh = 0, comp = 0;
                unsigned char* rgb = stbi_load(f.c_str(), &sw, &sh, &comp, 3);
                Pic16b p{};
                testing::internal::CaptureStdout();
                loadTGA16b(f.c_str(), &p);
                std::string said = testing::internal::GetCapturedStdout();
                if (!p.pixels) { /* refused as too short: so be it, no decoding to compare */
                    EXPECT_NE(said, "");
                    stbi_image_free(rgb);
                    continue;
                }
                ASSERT_NE(rgb, nullptr);
                ASSERT_EQ(p.width, sw);
                ASSERT_EQ(p.height, sh);
                for (int y = 0; y < h; y++)
                    for (int x = 0; x < w; x++) {
                        const int sx = desc & 0x10 ? w - 1 - x : x;
                        ASSERT_EQ(p.pixels[y * w + x], rgb565(rgb + 3 * (y * w + sx)))
                            << "type " << type << " desc " << desc << " cut " << cut << " at " << x << "," << y;
                    }
                stbi_image_free(rgb);
                killPic16b(&p);
                compared++;
            }
    EXPECT_GE(compared, 14);
}

TEST_F(Pictures, OtherTgaDepthsAreConvertedToRgb)
{
    std::vector<uint8_t> b = tgaHeader(2, 2, 1, 32, 0x20 | 8);
    put8(b, 0), put8(b, 0), put8(b, 255), put8(b, 128);   /* red, half alpha */
    put8(b, 255), put8(b, 0), put8(b, 0), put8(b, 0);     /* blue, no alpha */
    std::string f = path("a32.tga");
    ASSERT_TRUE(ts::writeFile(f, b));
    Pic16b p{};
    loadTGA16b(f.c_str(), &p);
    ASSERT_NE(p.pixels, nullptr);
    EXPECT_EQ(p.pixels[0], 0xF800);
    EXPECT_EQ(p.pixels[1], 0x001F);
    killPic16b(&p);

    std::vector<uint8_t> g = tgaHeader(3, 2, 1, 8, 0x20);
    put8(g, 0), put8(g, 255);
    ASSERT_TRUE(ts::writeFile(f, g));
    loadTGA16b(f.c_str(), &p);
    ASSERT_NE(p.pixels, nullptr);
    EXPECT_EQ(p.pixels[0], 0x0000);
    EXPECT_EQ(p.pixels[1], 0xFFFF);
    killPic16b(&p);
}

TEST_F(Pictures, BrokenTgaFilesLeaveAnEmptyRecordAndSayWhy)
{
    Pic16b p{};
    testing::internal::CaptureStdout();
    loadTGA16b(path("missing.tga").c_str(), &p);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "EEEEEEEEEEEK!!!     file not found!!");
    EXPECT_EQ(p.pixels, nullptr);

    const std::vector<std::vector<uint8_t>> bad = {
        {},
        {'h', 'e', 'l', 'l', 'o'},
        tgaHeader(2, 0, 5, 24, 0),  /* zero width */
        tgaHeader(7, 4, 4, 24, 0),  /* unknown image type */
        tgaHeader(2, 4, 4, 13, 0),  /* odd depth */
    };
    for (size_t i = 0; i < bad.size(); i++) {
        std::string f = path("bad" + std::to_string(i) + ".tga");
        ASSERT_TRUE(ts::writeFile(f, bad[i]));
        p = Pic16b{(uint16_t*)1, 9, 9, 9}; /* the loader overwrites every field */
        testing::internal::CaptureStdout();
        loadTGA16b(f.c_str(), &p);
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(p.pixels, nullptr) << i;
        EXPECT_EQ(p.width, 0) << i;
        EXPECT_FALSE(out.empty()) << i;
        EXPECT_EQ(out.find('\n'), out.size() - 1) << "one line: " << out;
    }

    /* Truncated plain pixel data: refused, never read past the end. */
    std::vector<uint8_t> t = tgaImage(true, false);
    t.resize(t.size() - 7);
    std::string f = path("trunc.tga");
    ASSERT_TRUE(ts::writeFile(f, t));
    testing::internal::CaptureStdout();
    loadTGA16b(f.c_str(), &p);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("too short"), std::string::npos);
    EXPECT_EQ(p.pixels, nullptr);
    killPic16b(&p);
}

TEST_F(Pictures, OversizedTgaIsRefused)
{
    std::vector<uint8_t> b = tgaHeader(10, 8192, 8192, 24, 0);
    put8(b, 0xFF), put8(b, 1), put8(b, 2), put8(b, 3);
    std::string f = path("huge.tga");
    ASSERT_TRUE(ts::writeFile(f, b));
    Pic16b p{};
    testing::internal::CaptureStdout();
    loadTGA16b(f.c_str(), &p);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "EEEEEEEEEEEK!!!     not nuff mem!!");
    EXPECT_EQ(p.pixels, nullptr);
}

TEST(PictureNames, IsTgaIsACaseSensitiveSubstringTest)
{
    EXPECT_EQ(isTGA("a.tga"), 1);
    EXPECT_EQ(isTGA("a.TGA"), 1);
    EXPECT_EQ(isTGA("x.TGA.raw"), 1);
    EXPECT_EQ(isTGA("a.Tga"), 0);
    EXPECT_EQ(isTGA("tga"), 0);
    EXPECT_EQ(isTGA(nullptr), 0);
}

TEST(PictureNames, ExtractSizeReadsUnderscoreAndX)
{
    int a = -1, b = -1;
    EXPECT_EQ(extractSize("./data/fnt/pic_320x240.raw", &a, &b), 1);
    EXPECT_EQ(a, 320);
    EXPECT_EQ(b, 240);
    EXPECT_EQ(extractSize("q_1x4096.bin", &a, &b), 1);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 4096);
    /* an x in a directory name before the number does not confuse it */
    EXPECT_EQ(extractSize("box_dir/img_64x32.raw", &a, &b), 1);
    EXPECT_EQ(a, 64);
    EXPECT_EQ(b, 32);
}

TEST(PictureNames, ExtractSizeNeverReadsOutsideTheName)
{
    const char* names[] = {"", ".", "noext", "a.raw", "ax.raw", "_x.raw", "x5.raw", "_5x.raw",
                           "_12345x4.raw", "_4x12345.raw", "x", "_", "..", "_3x4"};
    for (const char* n : names) {
        /* copy into an exact-size heap block so that an overrun shows under ASan */
        size_t len = strlen(n);
        char* s = new char[len + 1];
        memcpy(s, n, len + 1);
        int a = -7, b = -7;
        int r = extractSize(s, &a, &b);
        EXPECT_LE(r, 1) << n;
        delete[] s;
    }
    int a = -7, b = -7;
    EXPECT_EQ(extractSize("_12345x4.raw", &a, &b), 0);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(extractSize("img.raw", &a, &b), 0);
}

TEST_F(Pictures, RawFilesLoadByTheSizeInTheName)
{
    std::vector<uint8_t> px(64 * 32 * 3);
    for (size_t i = 0; i < px.size(); i++)
        px[i] = (uint8_t)(i * 7);
    std::string f = path("tile_64x32.raw");
    ASSERT_TRUE(ts::writeFile(f, px));
    Pic16b p{};
    loadRAW16bAuto(f.c_str(), &p);
    ASSERT_NE(p.pixels, nullptr);
    EXPECT_EQ(p.width, 64);
    EXPECT_EQ(p.height, 32);
    EXPECT_EQ(p.widthLog2, 6);
    for (int i = 0; i < 64 * 32; i++)
        ASSERT_EQ(p.pixels[i], rgb565(&px[3 * i])) << i;
    killPic16b(&p);
    killPic16b(&p); /* twice is harmless */

    std::vector<uint8_t> w100(100 * 3, 0);
    ASSERT_TRUE(ts::writeFile(path("a_100x1.raw"), w100));
    loadRAW16bAuto(path("a_100x1.raw").c_str(), &p);
    EXPECT_EQ(p.widthLog2, 6);
    killPic16b(&p);
    loadRAW16b(path("a_100x1.raw").c_str(), &p, 1, 100);
    EXPECT_EQ(p.widthLog2, 0);
    killPic16b(&p);
}

TEST_F(Pictures, ShortRawFileLeavesTheRestBlackAndLongerOneLoads)
{
    std::vector<uint8_t> px(10 * 3 + 2, 0xFF); /* 10 pixels and a bit */
    std::string f = path("s_8x4.raw");
    ASSERT_TRUE(ts::writeFile(f, px));
    Pic16b p{};
    testing::internal::CaptureStdout();
    loadRAW16bAuto(f.c_str(), &p);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    ASSERT_NE(p.pixels, nullptr);
    EXPECT_EQ(p.width, 8);
    EXPECT_EQ(p.height, 4);
    for (int i = 0; i < 32; i++)
        EXPECT_EQ(p.pixels[i], i < 10 ? 0xFFFF : 0) << i;
    px.assign(8 * 4 * 3 + 5, 0xFF); /* bytes past the last pixel are ignored */
    ASSERT_TRUE(ts::writeFile(f, px));
    killPic16b(&p);
    loadRAW16bAuto(f.c_str(), &p);
    ASSERT_NE(p.pixels, nullptr);
    EXPECT_EQ(p.pixels[31], 0xFFFF);
    killPic16b(&p);
}

TEST_F(Pictures, BadRawFilesPrintTheirMessageAndLeaveAnEmptyRecord)
{
    Pic16b p{};
    testing::internal::CaptureStdout();
    loadRAW16bAuto(path("none_8x8.raw").c_str(), &p);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "EEEEEEEEEEEK!!!     file not found!!");
    EXPECT_EQ(p.pixels, nullptr);

    ASSERT_TRUE(ts::writeFile(path("nosize.raw"), {1, 2, 3}));
    testing::internal::CaptureStdout();
    loadRAW16bAuto(path("nosize.raw").c_str(), &p);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("no size"), std::string::npos);
    EXPECT_EQ(p.pixels, nullptr);

    const int sizes[][2] = {{9999, 9999}, {4097, 4096}, {0, 5}, {5, -1}, {0x7FFFFFFF, 0x7FFFFFFF}, {-65536, -65536}};
    for (auto& s : sizes) {
        p = Pic16b{nullptr, 1, 1, 1};
        testing::internal::CaptureStdout();
        loadRAW16b(path("nosize.raw").c_str(), &p, s[0], s[1]);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "EEEEEEEEEEEK!!!     not nuff mem!!") << s[0] << "x" << s[1];
        EXPECT_EQ(p.pixels, nullptr);
        EXPECT_EQ(p.width, 0);
        EXPECT_EQ(p.height, 0);
    }
    /* the largest accepted size loads (short file: all black) */
    loadRAW16b(path("nosize.raw").c_str(), &p, 4096, 4096);
    ASSERT_NE(p.pixels, nullptr);
    EXPECT_EQ(p.pixels[4096 * 4096 - 1], 0);
    killPic16b(&p);
}

/* A 20x20 picture whose pixel (r, c) is r * 32 + c + 1 (never 0 or the key). */
struct Blits : Pictures {
    Pic16b pic{};
    std::vector<uint16_t> px;
    void SetUp() override
    {
        Pictures::SetUp();
        px.resize(400);
        for (int r = 0; r < 20; r++)
            for (int c = 0; c < 20; c++)
                px[r * 20 + c] = (uint16_t)(r * 32 + c + 1);
        pic = Pic16b{px.data(), 20, 20, 4};
    }
    int drawn() const
    {
        int n = 0;
        for (int i = 0; i < SCR_PIXELS; i++)
            n += buf[i] != 0;
        return n;
    }
};

TEST_F(Blits, KeyedCopyClipsOnAllFourSides)
{
    drawPic16b(&pic, -10, -10);
    EXPECT_EQ(drawn(), 100);
    EXPECT_EQ(buf[0], 10 * 32 + 10 + 1);
    EXPECT_EQ(buf[9 * 320 + 9], 19 * 32 + 19 + 1);

    scr_clrc(0);
    drawPic16b(&pic, 310, 230); /* right and bottom */
    EXPECT_EQ(drawn(), 100);
    EXPECT_EQ(buf[230 * 320 + 310], 1);
    EXPECT_EQ(buf[239 * 320 + 319], 9 * 32 + 9 + 1);

    scr_clrc(0);
    drawPic16b(&pic, 321, 0);
    drawPic16b(&pic, 320, 0);
    drawPic16b(&pic, 0, 240);
    drawPic16b(&pic, -20, 0);
    drawPic16b(&pic, 0, -20);
    EXPECT_EQ(drawn(), 0);
    drawPic16b(&pic, -19, -19);
    EXPECT_EQ(drawn(), 1);
}

TEST_F(Blits, KeyedCopySkipsTheKeyColour)
{
    px[0] = PIC_KEY;
    scr_clrc(0x1111);
    drawPic16b(&pic, 0, 0);
    EXPECT_EQ(buf[0], 0x1111);
    EXPECT_EQ(buf[1], 2);
}

TEST(PictureAdd, SaturatingHalfSum)
{
    EXPECT_EQ(pic_addPixel(0xF800, 0xF800), 0xF000);
    EXPECT_EQ(pic_addPixel(0xFFFF, 0xFFFF), 0xFFFE);
    EXPECT_EQ(pic_addPixel(0x0010, 0x0010), 0x003E);
    EXPECT_EQ(pic_addPixel(0x0841, 0x0841), 0x0080); /* 1+1 red and blue halve to 0 */
    EXPECT_EQ(pic_addPixel(0x07E0, 0x07E0), 0x0FC0); /* green overflow sets red's low bit */
    EXPECT_EQ(pic_addPixel(0, 0x1234), 0x1214);      /* each field loses its lowest bit */
}

TEST_F(Blits, AdditiveBlitSkipsZeroAndKeyAndTakesSourceOnBlack)
{
    uint16_t one[4] = {0xF800, 0x0841, 0, PIC_KEY};
    Pic16b p{one, 1, 4, 2};
    buf[0] = 0xF800;
    buf[2] = 0x1234;
    buf[3] = 0x4321;
    drawPic16b_add(&p, 0, 0);
    EXPECT_EQ(buf[0], 0xF000); /* red saturated */
    EXPECT_EQ(buf[1], 0x0841); /* black target takes the source */
    EXPECT_EQ(buf[2], 0x1234);
    EXPECT_EQ(buf[3], 0x4321);

    scr_clrc(0);
    drawPic16b_add(&pic, 300, -15); /* clipped right and top */
    EXPECT_EQ(drawn(), 20 * 5);
    EXPECT_EQ(buf[300], 15 * 32 + 1);
}

/* The blits move pairs of pixels as words: against the one-pixel rule on
 * random pictures (with black, key and saturating pixels, and black
 * stretches that the additive blit passes four pairs at a time) and a random
 * screen (with black), at every alignment of source and target and with
 * clipping on either side. */
TEST_F(Blits, PairedBlitsMatchTheOnePixelRuleAtEveryAlignment)
{
    std::mt19937 rng(5);
    auto pixel = [&] {
        uint32_t r = rng();
        switch (r % 8) {
        case 0: return (uint16_t)0;
        case 1: return (uint16_t)PIC_KEY;
        case 2: return (uint16_t)0xFFFF;
        default: return (uint16_t)(r >> 16);
        }
    };
    std::vector<uint16_t> srcPx(37 * 9);
    for (int w : {36, 37}) {
        for (uint16_t& p : srcPx)
            p = pixel();
        for (int run = 0; run < 24; run++) { /* black and key stretches, as in the pictures the demo */
            const int at = (int)(rng() % srcPx.size()), len = 4 + (int)(rng() % 17); /* adds and keys */
            std::fill(srcPx.begin() + at, srcPx.begin() + std::min<int>(at + len, (int)srcPx.size()),
                      run % 2 ? (uint16_t)PIC_KEY : (uint16_t)0);
        }
        Pic16b p{srcPx.data(), 9, (uint16_t)w, 5}; /* height, width */
        for (int x : {-3, -2, -1, 0, 1, 2, 3, 282, 283, 284, 285, 300, 301}) {
            for (int add = 0; add < 2; add++) {
                std::vector<uint16_t> screen(SCR_PIXELS);
                for (uint16_t& q : screen)
                    q = pixel() == PIC_KEY ? 0 : pixel();
                std::vector<uint16_t> want = screen;
                for (int r = 0; r < 9; r++)
                    for (int c = 0; c < w; c++) {
                        int sx = x + c, sy = 5 + r;
                        if (sx < 0 || sx >= SCR_W)
                            continue;
                        uint16_t s = srcPx[r * w + c], &d = want[sy * SCR_W + sx];
                        if (!add && s != PIC_KEY)
                            d = s;
                        if (add && s != 0 && s != PIC_KEY)
                            d = d ? pic_addPixel(d, s) : s;
                    }
                std::copy(screen.begin(), screen.end(), buf);
                add ? drawPic16b_add(&p, x, 5) : drawPic16b(&p, x, 5);
                ASSERT_TRUE(std::equal(want.begin(), want.end(), buf)) << "width " << w << " x " << x << " add " << add;
            }
        }
    }
}

TEST_F(Blits, EmptyPicturesAndAMissingScreenDrawNothing)
{
    Pic16b empty{};
    drawPic16b(&empty, 0, 0);
    drawPic16b_add(&empty, 0, 0);
    drawPic16b(nullptr, 0, 0);
    EXPECT_EQ(drawn(), 0);
    scr_exit();
    drawPic16b(&pic, 0, 0);
    drawPic16b_add(&pic, 0, 0);
    buf = scr_init();
    ASSERT_NE(buf, nullptr);
}

} // namespace
