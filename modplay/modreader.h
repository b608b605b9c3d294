/*
 * modreader: the bounds-checked reader every module loader reads through.
 *
 * A reader walks a byte image held in memory. Reads past the end (or from a
 * position moved past it) give 0 and set the sticky error flag; nothing is
 * ever read outside the image. Positions are 64-bit so that sums of 32-bit
 * sizes taken from a file cannot wrap. Multi-byte reads are little-endian
 * (the _be variants big-endian).
 *
 * A reader may be narrowed to a window of the image (mr_window) so that a
 * loader can decode a block whose stated size is smaller than what the file
 * holds: the window's end then counts as the end of the data.
 */
#ifndef ORVEL_MODPLAY_MODREADER_H
#define ORVEL_MODPLAY_MODREADER_H

#include <cstdint>

struct ModReader {
    const uint8_t* data; /* the image */
    int64_t len;         /* bytes readable: the image or the window end */
    int64_t pos;         /* next byte to read, 0..len (may pass len after a seek) */
    int error;           /* sticky: 1 once a read went past len */
};

/* A reader over len bytes at data (len < 0 counts as 0), at position 0. */
void mr_init(ModReader* r, const void* data, int64_t len);

/* A reader over the same image limited to [start, start + size) intersected
 * with the parent's bytes, positioned at start. */
ModReader mr_window(const ModReader* r, int64_t start, int64_t size);

/* Moves to an absolute position (>= 0; a negative one counts as len). */
void mr_seek(ModReader* r, int64_t pos);

/* Moves forward by n bytes (n >= 0). */
void mr_skip(ModReader* r, int64_t n);

/* Bytes left before the end, 0 when at or past it. */
int64_t mr_left(const ModReader* r);

/* One unsigned byte, 16-bit or 32-bit value; 0 (and the error flag) when any
 * byte of it lies past the end. */
unsigned mr_u8(ModReader* r);
unsigned mr_u16(ModReader* r);
uint32_t mr_u32(ModReader* r);
unsigned mr_u16be(ModReader* r);

/* Copies n bytes to dst; the bytes past the end are written as 0. Returns the
 * number of bytes that came from the image. */
int64_t mr_bytes(ModReader* r, void* dst, int64_t n);

#endif
