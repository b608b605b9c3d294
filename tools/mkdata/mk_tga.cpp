/*
 * mk_tga: TGA writer (see mk_tga.h).
 */
#include "tools/mkdata/mk_tga.h"

#include <cstdio>
#include <cstring>

static void put16(std::vector<uint8_t>& b, unsigned v)
{
    b.push_back((uint8_t)(v & 0xFF));
    b.push_back((uint8_t)(v >> 8));
}

/* One pixel in the file's blue, green, red order. */
static void putPixel(std::vector<uint8_t>& b, const uint8_t* rgb)
{
    b.push_back(rgb[2]);
    b.push_back(rgb[1]);
    b.push_back(rgb[0]);
}

/* Run-length packets of one row: a run of 2..128 equal pixels is one
 * repeated packet (0x80 | n-1, pixel); other pixels go in raw packets of up
 * to 128 (n-1, pixels). */
static void rleRow(std::vector<uint8_t>& b, const uint8_t* row, int w)
{
    auto same = [&](int i, int j) { return memcmp(row + 3 * i, row + 3 * j, 3) == 0; };
    int x = 0;
    while (x < w) {
        int run = 1;
        while (x + run < w && run < 128 && same(x, x + run))
            run++;
        if (run >= 2) {
            b.push_back((uint8_t)(0x80 | (run - 1)));
            putPixel(b, row + 3 * x);
            x += run;
            continue;
        }
        int n = 1; /* raw pixels up to the next pair of equal pixels */
        while (x + n < w && n < 128 && !(x + n + 1 < w && same(x + n, x + n + 1)))
            n++;
        b.push_back((uint8_t)(n - 1));
        for (int i = 0; i < n; i++)
            putPixel(b, row + 3 * (x + i));
        x += n;
    }
}

std::vector<uint8_t> tga_encode(const Rgb8& pic, TgaKind kind)
{
    std::vector<uint8_t> b;
    b.push_back(0);                             /* no image id */
    b.push_back(0);                             /* no colour map */
    b.push_back(kind == TGA_RLE ? 10 : 2);      /* true colour, RLE or raw */
    for (int i = 0; i < 5; i++)                 /* colour map fields (none) */
        b.push_back(0);
    put16(b, 0);                                /* x origin */
    put16(b, 0);                                /* y origin */
    put16(b, (unsigned)pic.w);
    put16(b, (unsigned)pic.h);
    b.push_back(24);                            /* bits a pixel */
    b.push_back(kind == TGA_RLE ? 0x20 : 0x00); /* bit 5: top row first */
    for (int i = 0; i < pic.h; i++) {
        int y = kind == TGA_RLE ? i : pic.h - 1 - i;
        const uint8_t* row = &pic.rgb[(size_t)y * pic.w * 3];
        if (kind == TGA_RLE) {
            rleRow(b, row, pic.w);
        } else {
            for (int x = 0; x < pic.w; x++)
                putPixel(b, row + 3 * x);
        }
    }
    return b;
}

int mk_writeFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return -1;
    size_t n = bytes.empty() ? 0 : fwrite(bytes.data(), 1, bytes.size(), f);
    int rc = fclose(f);
    return n == bytes.size() && rc == 0 ? 0 : -1;
}
