/* Bitmap font: glyph lookup, drawing and clipping, cursor moves. */
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "video/kv_font.h"

namespace {

/* A 60-glyph 8x8 sheet: glyph k is filled with colour k + 1 except its
 * top-left pixel, which is the key. */
struct Fonts : ::testing::Test {
    std::string dir;
    Font fnt{};
    uint16_t* buf = nullptr;
    void SetUp() override
    {
        dir = ts::makeTempDir("font");
        std::vector<uint8_t> raw;
        for (int y = 0; y < 8; y++)
            for (int x = 0; x < 480; x++) {
                int k = x / 8;
                bool key = (x % 8 == 0 && y == 0);
                uint16_t c = key ? 0xF81F : (uint16_t)((k + 1) << 5); /* green levels only */
                raw.push_back((uint8_t)((c >> 11) << 3));
                raw.push_back((uint8_t)(((c >> 5) & 63) << 2));
                raw.push_back((uint8_t)((c & 31) << 3));
            }
        ASSERT_TRUE(ts::writeFile(dir + "/font480x8.raw", raw));
        buf = scr_init();
        ASSERT_NE(buf, nullptr);
        scr_clrc(0);
        fnt_loadFnt(&fnt, (dir + "/font480x8.raw").c_str(), 480, 8, 8, 8);
        ASSERT_EQ(fnt_getFnt(), &fnt);
        setcursor(0, 0);
    }
    void TearDown() override
    {
        fnt_killFnt(&fnt);
        fnt_setFnt(nullptr);
        scr_exit();
        ts::removeTree(dir);
    }
    uint16_t at(int x, int y) const { return buf[y * 320 + x]; }
    static uint16_t glyphColour(int k) { return (uint16_t)((k + 1) << 5); }
};

TEST(FontMap, FindCharFoldsCapitalsAndRejectsTheRest)
{
    EXPECT_EQ(findchar('Q'), 16);
    EXPECT_EQ(findchar('q'), 16);
    EXPECT_EQ(findchar('a'), 0);
    EXPECT_EQ(findchar('0'), 26);
    EXPECT_EQ(findchar('"'), 36);
    EXPECT_EQ(findchar('\\'), 48);
    EXPECT_EQ(findchar('&'), 59);
    EXPECT_EQ(findchar(' '), 255);
    EXPECT_EQ(findchar('^'), 255);
    EXPECT_EQ(findchar(0), 255);
    EXPECT_EQ(findchar(0xC1), 255); /* 'A' + 128 must not fold into the map */
    EXPECT_EQ(findchar(-63), 255);
    EXPECT_EQ(strlen(chrmap), 60u);
}

TEST_F(Fonts, TwoGlyphsAreOnePixelApart)
{
    bprint("ab");
    EXPECT_EQ(at(0, 0), 0);       /* key pixel left alone */
    EXPECT_EQ(at(1, 0), glyphColour(0));
    EXPECT_EQ(at(7, 7), glyphColour(0));
    EXPECT_EQ(at(8, 3), 0);       /* the gap */
    EXPECT_EQ(at(10, 0), glyphColour(1));
    EXPECT_EQ(at(16, 7), glyphColour(1));
    EXPECT_EQ(at(17, 3), 0);
    EXPECT_EQ(curx, 18);
    EXPECT_EQ(cury, 0);
}

TEST_F(Fonts, CursorWrapsPastTheRightEdgeAndOnLineFeed)
{
    setcursor(315, 0);
    bprint("a");
    EXPECT_EQ(at(319, 5), glyphColour(0)); /* clipped at column 319 */
    EXPECT_EQ(curx, 0);
    EXPECT_EQ(cury, 9);
    setcursor(311, 0);
    bprint("a");
    EXPECT_EQ(curx, 320);
    EXPECT_EQ(cury, 0);
    setcursor(0, 0);
    scr_clrc(0);
    bprint("a\nb");
    EXPECT_EQ(at(1, 8), glyphColour(1));
    EXPECT_EQ(curx, 9);
    EXPECT_EQ(cury, 8);
    setcursor(0, 0);
    bprint("a b");          /* the space moves but draws nothing */
    EXPECT_EQ(curx, 27);
}

TEST_F(Fonts, GlyphsAreClippedAtEveryEdge)
{
    printchar('a', -8, 0); /* considered, but every column off screen */
    printchar('a', -9, 0);
    printchar('a', 320, 0);
    printchar('a', 0, 240);
    printchar('a', 0, -9);
    int n = 0;
    for (int i = 0; i < SCR_PIXELS; i++)
        n += buf[i] != 0;
    EXPECT_EQ(n, 0);
    printchar('a', -4, -4);
    EXPECT_EQ(at(0, 0), glyphColour(0));
    EXPECT_EQ(at(3, 3), glyphColour(0));
    EXPECT_EQ(at(4, 0), 0);
    printchar('a', 100, 236); /* rows below the screen dropped */
    EXPECT_EQ(at(101, 239), glyphColour(0));
}

TEST_F(Fonts, CharactersOutsideTheMapDrawNothing)
{
    std::string s = "\x01^{}`";
    s += (char)0xC1;
    s += (char)0xFF;
    bprint(s.c_str());
    int n = 0;
    for (int i = 0; i < SCR_PIXELS; i++)
        n += buf[i] != 0;
    EXPECT_EQ(n, 0);
    EXPECT_EQ(curx, 9 * 7);
}

TEST_F(Fonts, LongFormattedTextIsCutAt255Characters)
{
    std::string longText(1000, '.');
    bprintf("%s", longText.c_str());
    /* 255 characters of 9 pixels: 35 a line before the wrap (x 0..315) */
    int chars = 0;
    chars = (cury / 9) * 36 + curx / 9;
    EXPECT_EQ(chars, 255);
    bprintxy(5, 6, "%d", 42);
    EXPECT_EQ(curx, 5 + 18);
    EXPECT_EQ(cury, 6);
}

TEST_F(Fonts, NoFontDrawsNothingAndKeepsTheCursor)
{
    fnt_setFnt(nullptr);
    setcursor(10, 20);
    bprint("abc");
    bprintf("x%d", 1);
    printchar('a', 0, 0);
    EXPECT_EQ(curx, 10);
    EXPECT_EQ(cury, 20);
    int n = 0;
    for (int i = 0; i < SCR_PIXELS; i++)
        n += buf[i] != 0;
    EXPECT_EQ(n, 0);
}

TEST_F(Fonts, AMissingSheetMovesTheCursorButDrawsNothing)
{
    Font bad{};
    testing::internal::CaptureStdout();
    fnt_loadFnt(&bad, (dir + "/nothere.raw").c_str(), 480, 8, 8, 8);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "EEEEEEEEEEEK!!!     file not found!!");
    bprint("ab");
    EXPECT_EQ(curx, 18);
    int n = 0;
    for (int i = 0; i < SCR_PIXELS; i++)
        n += buf[i] != 0;
    EXPECT_EQ(n, 0);
    fnt_killFnt(&bad);
    EXPECT_EQ(bad.charW, 0);
    fnt_setFnt(&fnt);
    /* a sheet too narrow for a glyph: that glyph draws nothing */
    Font narrow{};
    std::vector<uint8_t> raw(16 * 8 * 3, 0xFF);
    ASSERT_TRUE(ts::writeFile(dir + "/n_16x8.raw", raw));
    fnt_loadFnt(&narrow, (dir + "/n_16x8.raw").c_str(), 16, 8, 8, 8);
    setcursor(0, 100);
    bprint("z");
    EXPECT_EQ(at(3, 103), 0);
    bprint("b");
    EXPECT_EQ(at(12, 103), 0xFFFF);
    fnt_killFnt(&narrow);
    fnt_setFnt(&fnt);
}

} // namespace
