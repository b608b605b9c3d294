/*
 * The data set on disk: every file the demo loads exists, every picture has
 * its intended size through our loader and through ImageMagick, keys and
 * black backgrounds are where the demo's drawing expects them, the font
 * sheet, and two runs of orvel-mkdata write identical bytes.
 */
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "video/kv_video.h"

namespace {

const std::string DATA = ORVEL_DATA_DIR;

/* How the demo puts a picture on the screen. */
enum Use {
    ADDED,  /* drawPic16b_add or func_add: black shows nothing */
    KEYED,  /* drawPic16b: magenta shows nothing */
    OPAQUE, /* drawn whole, or a texture: no key anywhere */
};

struct Expected {
    const char* name;
    int w, h;
    Use use;
};

/* Every picture the demo loads, with the size each scene needs. */
const Expected PICTURES[] = {
    {"group.tga", 320, 240, OPAQUE},     {"a.tga", 320, 240, ADDED},
    {"brindels.tga", 320, 240, ADDED},   {"title.tga", 320, 240, ADDED},
    {"end.tga", 320, 240, ADDED},        {"ship_layer.tga", 320, 240, ADDED},
    {"ossik.tga", 320, 240, ADDED},      {"quillmar.tga", 320, 240, ADDED},
    {"ilvo.tga", 320, 240, ADDED},       {"fuckings.tga", 320, 240, ADDED},
    {"software.tga", 320, 240, ADDED},   {"fractal.tga", 320, 240, KEYED},
    {"fractalagain.tga", 320, 240, KEYED}, {"bgGirlA.tga", 320, 240, OPAQUE},
    {"bgGirlB.tga", 320, 240, OPAQUE},   {"dog1S.tga", 320, 768, ADDED},
    {"dog2S.tga", 320, 768, ADDED},      {"dog3S.tga", 320, 768, ADDED},
    {"dog4S.tga", 1024, 240, OPAQUE},    {"dog5S.tga", 320, 240, ADDED},
    {"dog1F.tga", 320, 240, KEYED},      {"dog2F.tga", 320, 240, KEYED},
    {"dog3F.tga", 320, 240, KEYED},      {"dog4F.tga", 320, 240, KEYED},
    {"dog5F.tga", 320, 240, KEYED},      {"shade.tga", 256, 256, OPAQUE},
    {"shade2.tga", 256, 256, OPAQUE},    {"chrome.tga", 256, 256, OPAQUE},
    {"ship.tga", 256, 256, OPAQUE},      {"tunnel.tga", 256, 256, OPAQUE},
    {"greetground.tga", 256, 256, OPAQUE}, {"greets.tga", 512, 512, ADDED},
};

const char* const TEXTURES[] = {"shade.tga", "shade2.tga", "chrome.tga", "ship.tga",
                                "tunnel.tga", "greetground.tga", "greets.tga"};

const char* const OTHER_FILES[] = {"kkube.bof", "fractalkube.bof", "fractalkube2.bof", "petal.bof",
                                   "tunnel.bof", "ship.bof", "botrun.baf", "greetground.bof",
                                   "grt.baf", "bll4.bof", "fnt/font480x8.raw", "funkyloo.xm"};

TEST(DataFiles, EveryFileTheDemoLoadsExists)
{
    for (const Expected& e : PICTURES)
        EXPECT_TRUE(std::filesystem::is_regular_file(DATA + "/" + e.name)) << e.name;
    for (const char* f : OTHER_FILES)
        EXPECT_TRUE(std::filesystem::is_regular_file(DATA + "/" + f)) << f;
    EXPECT_GT(std::filesystem::file_size(DATA + "/funkyloo.xm"), 0u);
}

TEST(DataFiles, PicturesHaveTheirSizeAndTheirBackground)
{
    for (const Expected& e : PICTURES) {
        SCOPED_TRACE(e.name);
        Pic16b p{};
        loadRAW16bAuto((DATA + "/" + e.name).c_str(), &p);
        ASSERT_NE(p.pixels, nullptr);
        EXPECT_EQ(p.width, e.w);
        EXPECT_EQ(p.height, e.h);
        size_t keys = 0, blacks = 0, n = (size_t)p.width * p.height;
        for (size_t i = 0; i < n; i++) {
            keys += p.pixels[i] == PIC_KEY;
            blacks += p.pixels[i] == 0;
        }
        if (e.use == KEYED) {
            EXPECT_GT(keys, n / 10) << "a keyed picture is mostly transparent";
            EXPECT_LT(keys, n);
        } else {
            EXPECT_EQ(keys, 0u) << "the key colour would punch holes";
        }
        if (e.use == ADDED) {
            EXPECT_GT(blacks, n / 4) << "an added picture is black where nothing shows";
            EXPECT_LT(blacks, n);
        }
        killPic16b(&p);
    }
}

TEST(DataFiles, ImageMagickReadsEveryPictureWithTheSameSize)
{
    if (!std::filesystem::exists("/usr/bin/identify"))
        GTEST_SKIP() << "ImageMagick's identify is not installed";
    for (const Expected& e : PICTURES) {
        int status = 0;
        std::string out = ts::run("/usr/bin/identify -format '%w %h' '" + DATA + "/" + e.name + "' 2>&1", &status);
        EXPECT_EQ(status, 0) << e.name << ": " << out;
        EXPECT_EQ(out, std::to_string(e.w) + " " + std::to_string(e.h)) << e.name;
    }
}

TEST(DataFiles, ImageMagickDecodesTheSamePixelsAsOurLoader)
{
    if (!std::filesystem::exists("/usr/bin/convert"))
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    for (const Expected& e : PICTURES) {
        SCOPED_TRACE(e.name);
        std::string path = DATA + "/" + e.name;
        /* ImageMagick keeps a bottom-up file's rows as stored and tags the
         * orientation; -auto-orient turns them upright. */
        FILE* p = popen(("/usr/bin/convert '" + path + "' -auto-orient -depth 8 rgb:- 2>/dev/null").c_str(), "r");
        ASSERT_NE(p, nullptr);
        std::vector<uint8_t> rgb((size_t)e.w * e.h * 3 + 1);
        size_t got = fread(rgb.data(), 1, rgb.size(), p);
        EXPECT_EQ(pclose(p), 0);
        ASSERT_EQ(got, (size_t)e.w * e.h * 3);
        Pic16b pic{};
        loadRAW16bAuto(path.c_str(), &pic);
        ASSERT_NE(pic.pixels, nullptr);
        size_t differ = 0;
        for (size_t i = 0; i < (size_t)e.w * e.h; i++) {
            const uint8_t* c = &rgb[i * 3];
            differ += pic.pixels[i] != (uint16_t)(((c[0] >> 3) << 11) | ((c[1] >> 2) << 5) | (c[2] >> 3));
        }
        EXPECT_EQ(differ, 0u);
        killPic16b(&pic);
    }
}

TEST(DataFiles, TexturesArePowersOfTwoAtLeast128Wide)
{
    for (const char* name : TEXTURES) {
        Pic16b p{};
        loadRAW16bAuto((DATA + "/" + name).c_str(), &p);
        ASSERT_NE(p.pixels, nullptr) << name;
        EXPECT_GE(p.width, 128) << name;
        EXPECT_EQ(p.width & (p.width - 1), 0) << name;
        EXPECT_EQ(p.height & (p.height - 1), 0) << name;
        killPic16b(&p);
    }
}

TEST(DataFiles, BothTgaEncodingsAreUsed)
{
    int raw = 0, rle = 0;
    for (const Expected& e : PICTURES) {
        std::vector<uint8_t> b = ts::readFile(DATA + "/" + e.name);
        ASSERT_GT(b.size(), 18u) << e.name;
        EXPECT_EQ(b[16], 24) << e.name << " is 24 bits a pixel";
        raw += b[2] == 2;
        rle += b[2] == 10;
    }
    EXPECT_GT(raw, 0);
    EXPECT_GT(rle, 0);
    EXPECT_EQ(raw + rle, (int)(sizeof PICTURES / sizeof PICTURES[0]));
}

TEST(DataFiles, FontSheetHoldsSixtyGlyphsLightOnMagenta)
{
    std::vector<uint8_t> b = ts::readFile(DATA + "/fnt/font480x8.raw");
    ASSERT_EQ(b.size(), 11520u);
    Pic16b p{};
    loadRAW16b((DATA + "/fnt/font480x8.raw").c_str(), &p, 480, 8);
    ASSERT_NE(p.pixels, nullptr);
    for (int g = 0; g < 60; g++) {
        int ink = 0, keys = 0;
        for (int y = 0; y < 8; y++)
            for (int x = 0; x < 8; x++) {
                uint16_t c = p.pixels[y * 480 + g * 8 + x];
                keys += c == PIC_KEY;
                /* light ink: red and green high */
                ink += (c >> 11) >= 24 && ((c >> 5) & 63) >= 40;
            }
        EXPECT_GT(ink, 0) << "glyph " << g << " is empty";
        EXPECT_GE(keys, 8) << "glyph " << g << " has no transparent ground";
    }
    /* The magenta ground converts exactly to the key. */
    EXPECT_EQ(b[3 * 7], 255);
    EXPECT_EQ(b[3 * 7 + 1], 0);
    EXPECT_EQ(b[3 * 7 + 2], 255);
    killPic16b(&p);
}

TEST(DataTool, TwoRunsWriteIdenticalBytes)
{
    std::string a = ts::makeTempDir("mkdata_a"), b = ts::makeTempDir("mkdata_b");
    int status = 0;
    ts::run(std::string(MKDATA) + " " + a + " >/dev/null", &status);
    ASSERT_EQ(status, 0);
    ts::run(std::string(MKDATA) + " " + b + " >/dev/null", &status);
    ASSERT_EQ(status, 0);
    size_t files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(a)) {
        if (!entry.is_regular_file())
            continue;
        std::string rel = std::filesystem::relative(entry.path(), a).string();
        EXPECT_EQ(ts::readFile(entry.path().string()), ts::readFile(b + "/" + rel)) << rel;
        files++;
    }
    EXPECT_EQ(files, sizeof PICTURES / sizeof PICTURES[0] + sizeof OTHER_FILES / sizeof OTHER_FILES[0]);
    ts::removeTree(a);
    ts::removeTree(b);
}

TEST(DataTool, RefusesBadArgumentsAndUnwritableFolders)
{
    int status = 0;
    ts::run(std::string(MKDATA) + " 2>/dev/null", &status);
    EXPECT_EQ(status, 2);
    ts::run(std::string(MKDATA) + " a b 2>/dev/null", &status);
    EXPECT_EQ(status, 2);
    std::string dir = ts::makeTempDir("mkdata_ro");
    ts::writeText(dir + "/file", "not a folder");
    std::string out = ts::run(std::string(MKDATA) + " " + dir + "/file/data 2>&1", &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("orvel-mkdata: "), std::string::npos) << out;
    ts::removeTree(dir);
}

} // namespace
