/*
 * kv_font: fixed-cell bitmap font and text printing onto the back buffer.
 *
 * The glyphs of a font are cut from one picture, the sheet, side by side in
 * one row of cells: glyph k occupies columns k*charW .. k*charW+charW-1, rows
 * 0 .. charH-1. The character map chrmap gives each glyph its character;
 * capitals print with the small letters' glyphs; there is no glyph for the
 * space. Sheet pixels of 0xF81F are transparent.
 *
 * Printing keeps a cursor (curx, cury: the top-left corner of the next cell).
 * A line feed moves it to x 0 and down by charH; a glyph moves it right by
 * charW + 1, and when it then passes x 320 it wraps to x 0, down by charH + 1.
 */
#ifndef ORVEL_VIDEO_KV_FONT_H
#define ORVEL_VIDEO_KV_FONT_H

#include "video/kv_video.h"

struct Font {
    Pic16b sheet;  /* the glyphs side by side; owned by the font */
    int16_t charW; /* glyph cell width in pixels */
    int16_t charH; /* glyph cell height in pixels */
};

/* "abcdefghijklmnopqrstuvwxyz0123456789\"'(),.;:+-!?\\/<>*=_~$@%&": the glyph
 * number of a character is its position here (0..59). */
extern const char chrmap[];

extern Font* curFnt;  /* current font, or nullptr */
extern int16_t curx;  /* text cursor x in screen pixels */
extern int16_t cury;  /* text cursor y in screen pixels */

/* Loads the sheet as a raw picture of sheetW*sheetH (loadRAW16b), stores the
 * cell size and makes the font current. A missing sheet is reported by the
 * picture loader; printing with it then moves the cursor but draws nothing. */
void fnt_loadFnt(Font* fnt, const char* path, int16_t sheetW, int16_t sheetH, int16_t charW, int16_t charH);

/* Frees the sheet and sets the cell size to 0. The current font is kept. */
void fnt_killFnt(Font* fnt);

/* Makes the font current (nullptr: no font). */
void fnt_setFnt(Font* fnt);

/* The current font, or nullptr. */
Font* fnt_getFnt(void);

/* Sets the cursor. */
void setcursor(int16_t x, int16_t y);

/* Glyph number of a character (capitals folded to small letters), or 255 when
 * the map has no glyph for it (space, bytes >= 128, control codes). */
int findchar(int c);

/* Draws one glyph with its top-left corner at (x, y); the cursor is not used.
 * Nothing is drawn without a current font, for a character without a glyph,
 * for a glyph that lies outside the sheet, or when the cell is entirely off
 * the left, right or bottom edge (x >= 320, x < -charW, y >= 240, y < -charH). */
void printchar(int c, int x, int y);

/* Prints a text at the cursor and moves it. Without a current font nothing is
 * drawn and the cursor stays. */
void bprint(const char* text);

/* Formats like printf into 256 bytes (longer output is cut), then bprint. */
void bprintf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

/* Sets the cursor to (x, y), then formats and prints as bprintf. */
void bprintxy(int16_t x, int16_t y, const char* fmt, ...) __attribute__((format(printf, 3, 4)));

#endif
