/*
 * mk_text: type in pictures, set with FreeType from the DejaVu fonts of
 * Debian's fonts-dejavu-core (/usr/share/fonts/truetype/dejavu). Glyphs are
 * rendered unhinted at fractional pen positions into coverage masks; the same
 * FreeType and font files give the same bytes.
 */
#ifndef ORVEL_TOOLS_MKDATA_MK_TEXT_H
#define ORVEL_TOOLS_MKDATA_MK_TEXT_H

#include <string>

#include "tools/mkdata/mk_image.h"

enum FontFace {
    FONT_SANS_BOLD,       /* DejaVuSans-Bold */
    FONT_SANS_LIGHT,      /* DejaVuSans-ExtraLight */
    FONT_SANS,            /* DejaVuSans */
    FONT_CONDENSED_BOLD,  /* DejaVuSansCondensed-Bold */
    FONT_SERIF_BOLDITALIC, /* DejaVuSerif-BoldItalic */
    FONT_COUNT
};

enum Align {
    ALIGN_LEFT,   /* x is the pen start */
    ALIGN_CENTRE, /* x is the middle of the advance width */
    ALIGN_RIGHT   /* x is the pen end */
};

/* Opens FreeType and every face. Returns 0, or -1 with *why set (library or
 * font file missing). */
int text_init(std::string* why);

/* Releases what text_init opened. */
void text_done(void);

/* Advance width in pixels of s at size px (pixels an em) with `tracking`
 * extra pixels after each letter but the last. */
float text_width(FontFace f, float px, const std::string& s, float tracking = 0.0f);

/* Draws s into dst (max-combined) with its baseline at y. Returns the
 * advance width. */
float text_draw(Mask& dst, FontFace f, float px, const std::string& s, float x, float y, Align a,
                float tracking = 0.0f);

#endif
