/*
 * kv_video: the back buffer, its drawing primitives, and pictures.
 *
 * The one drawing surface is a 320x240 back buffer of RGB565 pixels (red in
 * bits 15-11, green 10-5, blue 4-0), row-major, 320 pixels a row, no padding.
 * Everything draws into it; scr_flip shows it. Opening, showing and closing
 * the visible surface is done by the platform half (scr_plat*), one per build
 * under platform/.
 *
 * While there is no back buffer (before scr_init, after scr_exit, or when
 * scr_init failed) every screen and picture drawing operation is a no-op, so
 * a failed set-up can still run the loaders that draw.
 *
 * Pictures (Pic16b) hold 16-bit RGB565 pixels; 0xF81F is the transparent key
 * everywhere. They come from 24-bit TGA files (decoded with stb_image) or
 * headerless raw RGB files whose size is written in the file name.
 */
#ifndef ORVEL_VIDEO_KV_VIDEO_H
#define ORVEL_VIDEO_KV_VIDEO_H

#include <cstdint>

enum {
    SCR_W = 320,              /* back buffer width in pixels */
    SCR_H = 240,              /* back buffer height in pixels */
    SCR_PIXELS = 76800,       /* SCR_W * SCR_H */
    SCR_BYTES = 153600,       /* SCR_PIXELS * 2 */
    PIC_KEY = 0xF81F,         /* transparent colour (magenta) */
    PIC_MAX_PIXELS = 4096 * 4096 /* largest picture a loader accepts */
};

/* A 16-bit picture. An empty record has pixels == nullptr. */
struct Pic16b {
    uint16_t* pixels;   /* width*height RGB565, row-major, top row first; owned */
    uint16_t height;    /* rows */
    uint16_t width;     /* pixels a row */
    uint16_t widthLog2; /* floor(log2(width)) for width >= 2, else 0 */
    uint16_t keyFree = 0; /* 1 when no pixel is PIC_KEY, as the texture slots'
                           * loaders find (kv_texture.h); 0 is always safe:
                           * whoever changes the pixels of a slot after
                           * loading sets it to 0 */
};

/* The ribbons' intensity plane: 320x240 bytes (0..255), row-major, 320 a
 * row, zero at start. Only the ribbon drawer (effects2d) uses it. */
extern uint8_t scr8b[SCR_PIXELS];

/* ---- Screen ------------------------------------------------------------ */

/* Opens the visible surface and the back buffer. Returns the back buffer, or
 * nullptr when the platform could not open it (nothing is printed). */
uint16_t* scr_init(void);

/* Releases the surface and the back buffer; afterwards scr_getBuf() is null.
 * Harmless when nothing is open. */
void scr_exit(void);

/* The back buffer (320*240 pixels), or nullptr when none is open. */
uint16_t* scr_getBuf(void);

/* Shows the back buffer. The back buffer keeps its contents. No-op without
 * a back buffer. */
void scr_flip(void);

/* Packs the low 8 bits of r, g, b into RGB565 by truncation:
 * ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3). */
uint16_t scr_RGB2W(unsigned r, unsigned g, unsigned b);

/* One pixel at (x, y), written only when x < 320 and y < 240 (coordinates are
 * unsigned 16-bit, so negative values wrap and are dropped). */
void scr_putpixel(uint16_t x, uint16_t y, uint8_t r, uint8_t g, uint8_t b);
void scr_putpixelc(uint16_t x, uint16_t y, uint16_t c);

/* Fills the whole back buffer with one colour. */
void scr_clr(unsigned r, unsigned g, unsigned b);
void scr_clrc(uint16_t c);

/* Stores v in the n 32-bit words from d (d 4-byte aligned, n a multiple of
 * 8), eight words a step: block stores on the handheld. */
void scr_fillWords(uint32_t* d, uint32_t v, int n);

/* A straight line of n = max(|dx|, |dy|) pixels from (x0, y0); the end point
 * itself is not drawn, a zero-length line draws nothing. Pixels outside the
 * screen are dropped as by scr_putpixelc. */
void scr_line(uint16_t x0, uint16_t y0, uint16_t x1, uint16_t y1, uint16_t c);

/* ---- Platform half, implemented once per build in platform/<build>/ ----- */

/* Opens the visible surface and provides a back buffer of 320*240 pixels,
 * rows 640 bytes apart. Returns it, or nullptr on failure. */
uint16_t* scr_platOpen(void);
/* Makes the finished back buffer visible. */
void scr_platShow(uint16_t* back);
/* Releases what scr_platOpen opened, including the back buffer. */
void scr_platClose(void);

/* ---- Pictures ---------------------------------------------------------- */

/* The loaders' two standard messages, printed without a line end by the
 * picture loaders here and the object loaders of the renderer:
 * "EEEEEEEEEEEK!!!     file not found!!" and
 * "EEEEEEEEEEEK!!!     not nuff mem!!". */
extern const char kv_msgNotFound[];
extern const char kv_msgNoMem[];

/* Loads a TGA when the path contains ".tga" or ".TGA" (case-sensitive
 * substring test), else a raw file whose size is read from the name with
 * extractSize (first number = width, second = height). A name without a
 * parsable size prints a message and leaves the record empty. */
void loadRAW16bAuto(const char* path, Pic16b* pic);

/* Loads a TGA picture (decoded with stb_image). 24-bit true colour, plain or
 * run-length encoded, in any of the four origins, is the native format;
 * other depths stb_image reads (32-bit, grey, colour-mapped) are converted to
 * RGB as it delivers them (alpha is dropped). On any failure the record is
 * left empty: a missing file prints "EEEEEEEEEEEK!!!     file not found!!",
 * an undecodable one a one-line reason, an oversized one the "not nuff mem"
 * message (all on standard output). A file too short to hold the pixels its
 * header declares is undecodable: nothing is allocated for it. */
void loadTGA16b(const char* path, Pic16b* pic);

/* Loads a headerless raw picture of w*h pixels, 3 bytes each (R, G, B).
 * Missing file: "EEEEEEEEEEEK!!!     file not found!!", empty record.
 * w or h not positive, w*h above 4096*4096, or no memory:
 * "EEEEEEEEEEEK!!!     not nuff mem!!", empty record.
 * A file shorter than w*h pixels loads what it holds; the missing pixels
 * are black (0). Bytes past the last pixel are ignored. */
void loadRAW16b(const char* path, Pic16b* pic, int w, int h);

/* Reads the size from a name ending in "_<first>x<second>.<ext>": the number
 * between the last '_' before the 'x' and that 'x', and the one between the
 * 'x' and the last '.'. Each number may have at most four characters.
 * Returns the result of the second number's conversion (1 = converted, 0 = not
 * a number, -1 = empty); returns 0 with both outputs 0 when the markers are
 * missing or a number is longer than four characters. Never reads outside
 * the string. */
int extractSize(const char* path, int* first, int* second);

/* 1 if the path contains ".tga" or ".TGA", else 0. */
int isTGA(const char* path);

/* Keyed copy with the top-left corner at (x, y), clipped to the screen;
 * pixels equal to 0xF81F are skipped. */
void drawPic16b(const Pic16b* pic, int x, int y);

/* Saturating add at (x, y), clipped; source pixels 0 and 0xF81F are
 * skipped, a black target takes the source unchanged, any other target
 * becomes the per-channel half-sum doubled with saturation. */
void drawPic16b_add(const Pic16b* pic, int x, int y);

/* The saturating add of one source pixel onto one target pixel used by
 * drawPic16b_add for a non-zero target (the 0x7BEF half-sum). Inline: the
 * additive pixel shader calls it for every pixel. */
inline uint16_t pic_addPixel(uint16_t dst, uint16_t src)
{
    /* Halve both and add channel-wise in one sum; each channel's carry lands
     * in the bit above it (15 for red, 10 for green, 4 for blue). */
    unsigned t = ((src >> 1) & 0x7BEF) + ((dst >> 1) & 0x7BEF);
    if (t & 0x8000)
        t |= 0x7800;
    if (t & 0x0400)
        t |= 0x03E0;
    if (t & 0x0010)
        t |= 0x000F;
    return (uint16_t)(t << 1);
}

/* Frees the pixels and empties the record; harmless on an empty record. */
void killPic16b(Pic16b* pic);

#endif
