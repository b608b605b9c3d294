/*
 * mk_text: FreeType type setting (see mk_text.h).
 */
#include "tools/mkdata/mk_text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>

/* Lifetime: text_init .. text_done. */
static FT_Library ftLib = nullptr;      /* the FreeType instance */
static FT_Face ftFace[FONT_COUNT] = {}; /* one face per FontFace */

static const char* const FONT_DIR = "/usr/share/fonts/truetype/dejavu/";
static const char* const FONT_FILE[FONT_COUNT] = {"DejaVuSans-Bold.ttf", "DejaVuSans-ExtraLight.ttf",
                                                  "DejaVuSans.ttf", "DejaVuSansCondensed-Bold.ttf",
                                                  "DejaVuSerif-BoldItalic.ttf"};

int text_init(std::string* why)
{
    if (ftLib)
        return 0;
    if (FT_Init_FreeType(&ftLib)) {
        *why = "cannot start FreeType";
        ftLib = nullptr;
        return -1;
    }
    for (int i = 0; i < FONT_COUNT; i++) {
        std::string path = std::string(FONT_DIR) + FONT_FILE[i];
        if (FT_New_Face(ftLib, path.c_str(), 0, &ftFace[i])) {
            *why = "cannot open the font " + path + " (Debian package fonts-dejavu-core)";
            ftFace[i] = nullptr;
            text_done();
            return -1;
        }
    }
    return 0;
}

void text_done(void)
{
    for (FT_Face& f : ftFace) {
        if (f)
            FT_Done_Face(f);
        f = nullptr;
    }
    if (ftLib)
        FT_Done_FreeType(ftLib);
    ftLib = nullptr;
}

/* Selects the size: px pixels an em, in 26.6 units. */
static FT_Face sized(FontFace f, float px)
{
    FT_Face face = ftFace[f];
    FT_Set_Char_Size(face, 0, (FT_F26Dot6)std::lround(px * 64.0f), 72, 72);
    return face;
}

/* Walks the glyphs of s, calling visit(glyph index, pen x in 26.6) and
 * returning the total advance in 26.6 units. */
template <class Visit>
static long walk(FT_Face face, const std::string& s, float tracking, Visit visit)
{
    long pen = 0;
    FT_UInt prev = 0;
    long track = std::lround(tracking * 64.0f);
    for (size_t i = 0; i < s.size(); i++) {
        FT_UInt gi = FT_Get_Char_Index(face, (unsigned char)s[i]);
        if (prev && gi && FT_HAS_KERNING(face)) {
            FT_Vector k;
            if (!FT_Get_Kerning(face, prev, gi, FT_KERNING_UNFITTED, &k))
                pen += k.x;
        }
        visit(gi, pen);
        if (!FT_Load_Glyph(face, gi, FT_LOAD_NO_HINTING))
            pen += face->glyph->advance.x;
        if (i + 1 < s.size())
            pen += track;
        prev = gi;
    }
    return pen;
}

float text_width(FontFace f, float px, const std::string& s, float tracking)
{
    if (!ftLib)
        return 0.0f;
    FT_Face face = sized(f, px);
    long w = walk(face, s, tracking, [](FT_UInt, long) {});
    return (float)w / 64.0f;
}

float text_draw(Mask& dst, FontFace f, float px, const std::string& s, float x, float y, Align a, float tracking)
{
    if (!ftLib)
        return 0.0f;
    float width = text_width(f, px, s, tracking);
    float start = a == ALIGN_LEFT ? x : (a == ALIGN_CENTRE ? x - width * 0.5f : x - width);
    FT_Face face = sized(f, px);
    /* Pen positions in 26.6 from the whole-pixel origin (ox, oy). */
    long ox = (long)std::floor(start), oy = (long)std::floor(y);
    long fracX = std::lround((start - (float)ox) * 64.0f), fracY = std::lround((y - (float)oy) * 64.0f);
    walk(face, s, tracking, [&](FT_UInt gi, long pen) {
        long at = pen + fracX;
        FT_Vector delta = {at & 63, -fracY};
        FT_Set_Transform(face, nullptr, &delta);
        if (FT_Load_Glyph(face, gi, FT_LOAD_NO_HINTING | FT_LOAD_RENDER)) {
            FT_Set_Transform(face, nullptr, nullptr);
            return;
        }
        FT_Set_Transform(face, nullptr, nullptr);
        const FT_Bitmap& bm = face->glyph->bitmap;
        long gx = ox + (at >> 6) + face->glyph->bitmap_left;
        long gy = oy - face->glyph->bitmap_top;
        for (unsigned r = 0; r < bm.rows; r++)
            for (unsigned c = 0; c < bm.width; c++) {
                long tx = gx + (long)c, ty = gy + (long)r;
                if (tx < 0 || ty < 0 || tx >= dst.w || ty >= dst.h)
                    continue;
                float v = (float)bm.buffer[(long)r * bm.pitch + (long)c] / 255.0f;
                float& o = dst.at((int)tx, (int)ty);
                if (v > o)
                    o = v;
            }
    });
    return width;
}
