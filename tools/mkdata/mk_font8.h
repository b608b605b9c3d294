/*
 * mk_font8: the demo's 8x8 bitmap font, designed here.
 *
 * 60 glyphs in the order of the engine's character map (a-z drawn as
 * capitals, 0-9, then " ' ( ) , . ; : + - ! ? \ / < > * = _ ~ $ @ % &). Each
 * glyph is 6 pixels wide and 7 high in the top-left of its 8x8 cell, with a
 * one-pixel drop shadow to the lower right; everything else is the magenta
 * key.
 */
#ifndef ORVEL_TOOLS_MKDATA_MK_FONT8_H
#define ORVEL_TOOLS_MKDATA_MK_FONT8_H

#include <cstdint>
#include <vector>

enum {
    FONT8_GLYPHS = 60,   /* glyphs in the sheet */
    FONT8_CELL = 8,      /* cell width and height, pixels */
    FONT8_SHEET_W = 480, /* FONT8_GLYPHS * FONT8_CELL */
    FONT8_BYTES = 11520  /* 480 * 8 pixels * 3 bytes */
};

/* Bit rows of glyph g (0..59): 7 rows, bit 5 the leftmost of 6 columns. */
const uint8_t* font8_glyph(int g);

/* The raw sheet: 480x8 pixels of R, G, B, top row first. */
std::vector<uint8_t> font8_sheet(void);

#endif
