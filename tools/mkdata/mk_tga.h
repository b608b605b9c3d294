/*
 * mk_tga: a small writer of 24-bit true-colour TGA files.
 *
 * Uncompressed files (image type 2) are stored bottom row first, the usual
 * origin; run-length encoded ones (image type 10) top row first, so the data
 * set exercises both decoders and both vertical origins.
 */
#ifndef ORVEL_TOOLS_MKDATA_MK_TGA_H
#define ORVEL_TOOLS_MKDATA_MK_TGA_H

#include <cstdint>
#include <string>
#include <vector>

#include "tools/mkdata/mk_image.h"

enum TgaKind {
    TGA_RAW, /* type 2, bottom-up */
    TGA_RLE  /* type 10, top-down, packets never cross a row */
};

/* The file image of a picture (w and h 1..65535). */
std::vector<uint8_t> tga_encode(const Rgb8& pic, TgaKind kind);

/* Writes bytes to path. Returns 0, or -1 when the file cannot be written. */
int mk_writeFile(const std::string& path, const std::vector<uint8_t>& bytes);

#endif
