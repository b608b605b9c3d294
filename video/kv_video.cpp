/*
 * kv_video: back buffer, primitives and pictures (see kv_video.h).
 */
#include "video/kv_video.h"

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_TGA
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_NO_THREAD_LOCALS
#include <stb_image.h>

/* ---- Globals -------------------------------------------------------------
 * Lifetime: scr_init .. scr_exit. */
static uint16_t* scr1 = nullptr; /* back buffer, 320x240 RGB565, or null */

/* Lifetime: whole run. */
uint8_t scr8b[SCR_PIXELS]; /* ribbon intensity plane, 320x240 bytes 0..255 */

/* Two RGB565 pixels in one 32-bit word, the left one in the low half (both
 * machines are little-endian); may alias the uint16_t pixels it is read
 * from and written to. */
typedef uint32_t __attribute__((may_alias)) PixPair;
static_assert(std::endian::native == std::endian::little, "pixel pairs assume a little-endian machine");

/* Constant: the loaders' two standard messages (kv_video.h). */
const char kv_msgNotFound[] = "EEEEEEEEEEEK!!!     file not found!!";
const char kv_msgNoMem[] = "EEEEEEEEEEEK!!!     not nuff mem!!";
static const char tgaRefused[] = "%s: not a readable TGA (%s)\n"; /* path, reason */

/* ---- Screen -------------------------------------------------------------- */

uint16_t* scr_init(void)
{
    if (scr1)
        return scr1;
    scr1 = scr_platOpen();
    return scr1;
}

void scr_exit(void)
{
    if (!scr1)
        return;
    scr_platClose();
    scr1 = nullptr;
}

uint16_t* scr_getBuf(void)
{
    return scr1;
}

void scr_flip(void)
{
    if (scr1)
        scr_platShow(scr1);
}

uint16_t scr_RGB2W(unsigned r, unsigned g, unsigned b)
{
    r &= 0xFF;
    g &= 0xFF;
    b &= 0xFF;
    return (uint16_t)(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

void scr_putpixelc(uint16_t x, uint16_t y, uint16_t c)
{
    if (scr1 && x < SCR_W && y < SCR_H)
        scr1[y * SCR_W + x] = c;
}

void scr_putpixel(uint16_t x, uint16_t y, uint8_t r, uint8_t g, uint8_t b)
{
    scr_putpixelc(x, y, scr_RGB2W(r, g, b));
}

void scr_clrc(uint16_t c)
{
    if (!scr1)
        return;
    /* two pixels a word (the buffer is word aligned and SCR_PIXELS / 2 a
     * multiple of 8) */
    scr_fillWords((uint32_t*)scr1, (uint32_t)c * 0x10001u, SCR_PIXELS / 2);
}

void scr_fillWords(uint32_t* d, uint32_t v, int n)
{
#if defined(__arm__) && !defined(__thumb__)
    /* two block stores of four registers a step */
    register uint32_t r4 asm("r4") = v;
    register uint32_t r5 asm("r5") = v;
    register uint32_t r6 asm("r6") = v;
    register uint32_t r7 asm("r7") = v;
    int steps = n / 8;
    if (steps <= 0)
        return;
    __asm__ volatile("1:\n\t"
                     "stmia %0!, {r4-r7}\n\t"
                     "stmia %0!, {r4-r7}\n\t"
                     "subs %1, %1, #1\n\t"
                     "bne 1b"
                     : "+r"(d), "+r"(steps)
                     : "r"(r4), "r"(r5), "r"(r6), "r"(r7)
                     : "memory", "cc");
#else
    typedef uint32_t __attribute__((may_alias)) Word;
    Word* w = (Word*)d;
    for (int i = 0; i < n; i++)
        w[i] = v;
#endif
}

void scr_clr(unsigned r, unsigned g, unsigned b)
{
    scr_clrc(scr_RGB2W(r, g, b));
}

void scr_line(uint16_t x0, uint16_t y0, uint16_t x1, uint16_t y1, uint16_t c)
{
    int dx = (int)x1 - (int)x0;
    int dy = (int)y1 - (int)y0;
    float adx = (float)(dx < 0 ? -dx : dx);
    float ady = (float)(dy < 0 ? -dy : dy);
    int n = (int)(adx > ady ? adx : ady);
    if (n <= 0)
        return;
    float fn = (float)n;
    for (int i = 0; i < n; i++) {
        /* i*dx and i*dy are integer products, then float division by n */
        float fx = (float)(i * dx) / fn + (float)x0;
        float fy = (float)(i * dy) / fn + (float)y0;
        scr_putpixelc((uint16_t)(int)fx, (uint16_t)(int)fy, c);
    }
}

/* ---- Pictures ------------------------------------------------------------ */

/* floor(log2(w)) for w >= 2, else 0 */
static uint16_t pic_log2(unsigned w)
{
    uint16_t l = 0;
    while (w > 1) {
        w >>= 1;
        l++;
    }
    return l;
}

static uint16_t pic_rgb888(const unsigned char* p)
{
    return (uint16_t)(((p[0] >> 3) << 11) | ((p[1] >> 2) << 5) | (p[2] >> 3));
}

static void pic_empty(Pic16b* pic)
{
    pic->pixels = nullptr;
    pic->width = 0;
    pic->height = 0;
    pic->widthLog2 = 0;
}

/* Fills the record with a loaded pixel block of w x h. */
static void pic_set(Pic16b* pic, uint16_t* px, int w, int h)
{
    pic->pixels = px;
    pic->width = (uint16_t)w;
    pic->height = (uint16_t)h;
    pic->widthLog2 = pic_log2((unsigned)w);
}

/* Allocates w*h pixels after checking the size, cleared to 0 unless
 * `clear` is 0 (for a decoder that writes every pixel); prints the "not
 * nuff mem" message and returns nullptr when the size is absurd or memory
 * runs out. */
static uint16_t* pic_alloc(long long w, long long h, int clear = 1)
{
    if (w <= 0 || h <= 0 || w * h > PIC_MAX_PIXELS) {
        printf("%s", kv_msgNoMem);
        return nullptr;
    }
    const size_t n = (size_t)(w * h);
    uint16_t* p = (uint16_t*)(clear ? calloc(n, sizeof(uint16_t)) : malloc(n * sizeof(uint16_t)));
    if (!p)
        printf("%s", kv_msgNoMem);
    return p;
}

/* Length of an open file in bytes (-1 when it cannot be told); the file is
 * left at its start. */
static long long pic_fileLength(FILE* f)
{
    long long len = -1;
    if (fseek(f, 0, SEEK_END) == 0)
        len = ftell(f);
    if (fseek(f, 0, SEEK_SET) != 0)
        len = -1;
    return len;
}

int isTGA(const char* path)
{
    if (!path)
        return 0;
    return (strstr(path, ".tga") || strstr(path, ".TGA")) ? 1 : 0;
}

/* Collects the characters between position `end` (exclusive) and the nearest
 * `marker` before it into a right-aligned 5-character field and converts it
 * with "%d". Returns the marker's position, or -1 when there is none or the
 * number is longer than four characters. *conv receives sscanf's result. */
static int size_field(const char* path, int end, char marker, int* value, int* conv)
{
    int m = end - 1;
    while (m >= 0 && path[m] != marker)
        m--;
    if (m < 0 || end - m - 1 > 4)
        return -1;
    char field[6] = "     ";
    memcpy(field + 5 - (end - m - 1), path + m + 1, (size_t)(end - m - 1));
    *value = 0;
    *conv = sscanf(field, "%d", value);
    return m;
}

int extractSize(const char* path, int* first, int* second)
{
    int a = 0, b = 0, conv = 0;
    if (first)
        *first = 0;
    if (second)
        *second = 0;
    if (!path)
        return 0;
    const char* dot = strrchr(path, '.');
    if (!dot)
        return 0;
    int x = size_field(path, (int)(dot - path), 'x', &b, &conv);
    if (x < 0)
        return 0;
    int convSecond = conv;
    if (size_field(path, x, '_', &a, &conv) < 0)
        return 0;
    if (first)
        *first = a;
    if (second)
        *second = b;
    return convSecond;
}

void loadRAW16b(const char* path, Pic16b* pic, int w, int h)
{
    pic_empty(pic);
    FILE* f = path ? fopen(path, "rb") : nullptr;
    if (!f) {
        printf("%s", kv_msgNotFound);
        return;
    }
    /* The size cap bounds what a name can make us allocate (32 MiB for
     * 4096x4096, whatever the file holds). */
    uint16_t* px = pic_alloc(w, h);
    if (!px) {
        fclose(f);
        return;
    }
    /* Read row by row; a short file or a read error leaves the rest black
     * (calloc). */
    unsigned char row[3 * 4096];
    size_t n = (size_t)w * (size_t)h;
    size_t done = 0;
    while (done < n) {
        size_t want = n - done < 4096 ? n - done : 4096;
        size_t got = fread(row, 3, want, f);
        for (size_t i = 0; i < got; i++)
            px[done + i] = pic_rgb888(row + 3 * i);
        done += want;
        if (got < want)
            break;
    }
    fclose(f);
    pic_set(pic, px, w, h);
}

/* The fewest bytes a TGA with this 18-byte header and `pixels` pixels can
 * take: the header, the image id and the colour map, then every pixel stored
 * plainly or, run-length encoded (image types 9..11), in runs of at most
 * 128 pixels that each take a packet byte and one pixel. */
static long long tga_minBytes(const unsigned char* head, long long pixels)
{
    long long pixelBytes = (head[16] + 7) / 8; /* depth in bytes, 8..32 bits */
    long long at = 18 + head[0];              /* header and image id */
    if (head[1])                              /* a colour map follows */
        at += (long long)(head[5] | head[6] << 8) * ((head[7] + 7) / 8);
    if (head[2] & 8)
        return at + (pixels + 127) / 128 * (1 + pixelBytes);
    return at + pixels * pixelBytes;
}

/* 1 for the two kinds of TGA that the data set is made of, which we decode
 * ourselves: 24-bit true colour without a colour map, raw (type 2) or
 * run-length encoded (type 10), from a file whose length is known. */
static int tga_plain(const unsigned char* head, long long fileLen)
{
    return head[1] == 0 && (head[2] == 2 || head[2] == 10) && head[16] == 24 && fileLen > 0;
}

/* The next stored pixel (blue, green, red) as RGB565; bytes past end read
 * as 0. */
static inline uint16_t tga_pixel(const unsigned char** p, const unsigned char* end)
{
    unsigned v[3];
    for (unsigned& k : v)
        k = *p < end ? *(*p)++ : 0;
    return (uint16_t)(((v[2] >> 3) << 11) | ((v[1] >> 2) << 5) | (v[0] >> 3));
}

/* Decodes a tga_plain file of w x h pixels (the header checked) straight
 * into RGB565, exactly as stb_image's TGA reader followed by the
 * conversion to RGB565 does: pixels stored blue, green, red; rows bottom
 * up unless bit 5 of the descriptor is set; run-length packets (a count
 * byte, bit 7 for a run of one pixel, else that many raw pixels) may run
 * across rows; bytes past the end of the file read as 0. Columns are
 * mirrored when rightToLeft. Returns the pixels, or null after the "not
 * nuff mem" message. */
static uint16_t* tga_decodePlain(FILE* f, const unsigned char* head, long long fileLen, int w, int h,
                                 int rightToLeft)
{
    unsigned char* file = (unsigned char*)malloc((size_t)fileLen);
    uint16_t* px = pic_alloc(w, h, 0); /* every row and column is written below */
    if (!file || !px) {
        if (!file && px)
            printf("%s", kv_msgNoMem);
        free(file);
        free(px);
        return nullptr;
    }
    const size_t have = fseek(f, 0, SEEK_SET) == 0 ? fread(file, 1, (size_t)fileLen, f) : 0;
    const unsigned char* p = file + 18 + head[0];
    const unsigned char* const end = file + have;
    const int bottomUp = !(head[17] & 0x20);
    const int rle = head[2] == 10;
    const int step = rightToLeft ? -1 : 1;
    int count = 0, repeating = 0; /* pixels left in the packet, and its kind */
    uint16_t c = 0;               /* the pixel a run repeats */
    for (int fr = 0; fr < h; fr++) {
        uint16_t* row = px + (size_t)(bottomUp ? h - 1 - fr : fr) * w;
        uint16_t* d = rightToLeft ? row + w - 1 : row;
        for (int x = 0; x < w;) {
            int n = w - x; /* pixels of this row from the current packet */
            if (rle) {
                if (count == 0) {
                    const int cmd = p < end ? *p++ : 0;
                    count = 1 + (cmd & 127);
                    repeating = cmd >> 7;
                    if (repeating)
                        c = tga_pixel(&p, end);
                }
                if (count < n)
                    n = count;
                count -= n;
            }
            x += n;
            if (rle && repeating) {
                for (; n > 0; n--, d += step)
                    *d = c;
            } else if (end - p >= 3 * (ptrdiff_t)n) {
                for (; n > 0; n--, p += 3, d += step)
                    *d = (uint16_t)(((p[2] >> 3) << 11) | ((p[1] >> 2) << 5) | (p[0] >> 3));
            } else {
                for (; n > 0; n--, d += step)
                    *d = tga_pixel(&p, end);
            }
        }
    }
    free(file);
    return px;
}

void loadTGA16b(const char* path, Pic16b* pic)
{
    pic_empty(pic);
    FILE* f = path ? fopen(path, "rb") : nullptr;
    if (!f) {
        printf("%s", kv_msgNotFound);
        return;
    }
    /* Unbuffered: the whole file is read in one go below, which the C
     * library then reads straight into our buffer instead of copying it
     * through its own small one (the few header reads before cost a system
     * call each). */
    setvbuf(f, nullptr, _IONBF, 0);
    /* stb_image applies the vertical origin bit but not the horizontal one
     * (bit 4 of the descriptor byte at offset 17): read it ourselves. */
    long long fileLen = pic_fileLength(f);
    unsigned char head[18];
    size_t headLen = fread(head, 1, sizeof head, f);
    int rightToLeft = headLen == sizeof head && (head[17] & 0x10);
    fseek(f, 0, SEEK_SET);

    int w = 0, h = 0, comp = 0;
    if (!stbi_info_from_file(f, &w, &h, &comp)) {
        printf(tgaRefused, path, stbi_failure_reason());
        fclose(f);
        return;
    }
    if ((long long)w * h > PIC_MAX_PIXELS || w > 0xFFFF || h > 0xFFFF) {
        printf("%s", kv_msgNoMem);
        fclose(f);
        return;
    }
    /* stb_image would decode a file that ends early as if zeros followed,
     * after allocating the whole picture: a small file must not make us
     * allocate for a large one. */
    if (headLen < sizeof head || (fileLen >= 0 && fileLen < tga_minBytes(head, (long long)w * h))) {
        printf(tgaRefused, path, "file too short for its size");
        fclose(f);
        return;
    }
    if (tga_plain(head, fileLen)) {
        uint16_t* px = tga_decodePlain(f, head, fileLen, w, h, rightToLeft);
        fclose(f);
        if (px)
            pic_set(pic, px, w, h);
        return;
    }
    unsigned char* rgb = stbi_load_from_file(f, &w, &h, &comp, 3);
    fclose(f);
    if (!rgb) {
        printf(tgaRefused, path, stbi_failure_reason());
        return;
    }
    uint16_t* px = pic_alloc(w, h);
    if (!px) {
        stbi_image_free(rgb);
        return;
    }
    for (int i = 0; i < h; i++) {
        const unsigned char* src = rgb + (size_t)i * w * 3;
        uint16_t* dst = px + (size_t)i * w;
        for (int j = 0; j < w; j++) {
            int sc = rightToLeft ? w - 1 - j : j;
            dst[j] = pic_rgb888(src + 3 * sc);
        }
    }
    stbi_image_free(rgb);
    pic_set(pic, px, w, h);
}

void loadRAW16bAuto(const char* path, Pic16b* pic)
{
    if (isTGA(path)) {
        loadTGA16b(path, pic);
        return;
    }
    int w = 0, h = 0;
    extractSize(path, &w, &h);
    if (w <= 0 || h <= 0) {
        pic_empty(pic);
        printf("EEEEEEEEEEEK!!!     no size in file name!! %s\n", path ? path : "(null)");
        return;
    }
    loadRAW16b(path, pic, w, h);
}

/* Clips the picture placed at (x, y) to the screen. Returns 0 when nothing is
 * visible; else the visible source rectangle [c0, c1) x [r0, r1). */
static int pic_clip(const Pic16b* pic, int x, int y, int* c0, int* c1, int* r0, int* r1)
{
    if (!scr1 || !pic || !pic->pixels)
        return 0;
    int w = pic->width, h = pic->height;
    if (x + w < 0 || y + h < 0 || x > SCR_W || y > SCR_H || w * h <= 0)
        return 0;
    *c0 = x < 0 ? -x : 0;
    *r0 = y < 0 ? -y : 0;
    *c1 = x + w > SCR_W ? SCR_W - x : w;
    *r1 = y + h > SCR_H ? SCR_H - y : h;
    return *c0 < *c1 && *r0 < *r1;
}

/* ---- Picture rows, two pixels a word --------------------------------------
 * A row of n pixels from src onto dst: the first pixel alone when dst is
 * not word aligned, then pairs stored as words, then the last pixel alone.
 * For the additive drawing a source a pixel off the word grid is read as
 * aligned words and shifted into pairs (those reads never pass the word
 * holding the row's last pixel: the loop stops a pair early for that); the
 * keyed copy takes such a row pixel by pixel. Every pixel gets exactly what the
 * one-pixel rule (the *_one functions) gives it. */

/* Keyed copy of one pixel. */
static inline void pic_copyOne(uint16_t* d, uint16_t s)
{
    if (s != PIC_KEY)
        *d = s;
}

/* Keyed copy of a pair with one key pixel and one not, out of line so
 * that the common cases stay short. */
static __attribute__((noinline)) void pic_copyMixed(PixPair* d, uint32_t s)
{
    pic_copyOne((uint16_t*)d, (uint16_t)(s & 0xFFFFu));
    pic_copyOne((uint16_t*)d + 1, (uint16_t)(s >> 16));
}

/* Keyed copy of a pair: nothing for two key pixels (the transparent
 * stretches of a keyed picture), one word store when neither is the key. */
static inline void pic_copyTwo(PixPair* d, uint32_t s)
{
    if (s == (uint32_t)PIC_KEY * 0x10001u)
        return;
    if ((s & 0xFFFFu) != PIC_KEY && (s >> 16) != PIC_KEY)
        *d = s;
    else
        pic_copyMixed(d, s);
}

/* Additive drawing of one pixel (drawPic16b_add's rule). */
static inline void pic_addOne(uint16_t* d, uint16_t s)
{
    if (s == 0 || s == PIC_KEY)
        return;
    *d = *d ? pic_addPixel(*d, s) : s;
}

/* pic_addPixel on both halves of two words at once: the halved channels of
 * a pair sum to at most 0xF7DE a half, so no carry crosses into the other
 * pixel; each carry bit b of a half sets the bits below it that
 * pic_addPixel sets (m - (m >> k) for the mask m of the carries), and the
 * low half's bit 15, shifted into the high half's bit 0, is cleared as the
 * 16-bit result drops it. */
static inline uint32_t pic_addTwo(uint32_t d, uint32_t s)
{
    uint32_t t = ((s >> 1) & 0x7BEF7BEFu) + ((d >> 1) & 0x7BEF7BEFu);
    const uint32_t r = t & 0x80008000u, g = t & 0x04000400u, b = t & 0x00100010u;
    t |= (r - (r >> 4)) | (g - (g >> 5)) | (b - (b >> 4));
    return (t << 1) & 0xFFFEFFFEu;
}

/* Additive drawing of a pair: a pair of black source pixels is skipped at
 * once; when both source pixels are drawn, one word: the sum over two lit
 * pixels, the source itself over two black ones. */
static inline void pic_addTwoAt(PixPair* d, uint32_t s)
{
    if (s == 0)
        return;
    const uint32_t dw = *d;
    const uint32_t slo = s & 0xFFFFu, shi = s >> 16;
    if (slo && shi && slo != PIC_KEY && shi != PIC_KEY) {
        if ((dw & 0xFFFFu) && (dw >> 16)) {
            *d = pic_addTwo(dw, s);
            return;
        }
        if (dw == 0) {
            *d = s;
            return;
        }
    }
    pic_addOne((uint16_t*)d, (uint16_t)slo);
    pic_addOne((uint16_t*)d + 1, (uint16_t)shi);
}

#if defined(__arm__) && !defined(__thumb__)
/* pic_addTwoAt over pairs source pairs s and screen pairs d, both on the
 * word grid (kv_video_arm.cpp). */
extern "C" void pic_addPairsArm(PixPair* d, const PixPair* s, int pairs);
/* pic_copyTwo likewise (kv_video_arm.cpp). */
extern "C" void pic_copyPairsArm(PixPair* d, const PixPair* s, int pairs);
#endif

template <bool ADD>
static void pic_row(uint16_t* dst, const uint16_t* src, int n)
{
    if (n > 0 && ((uintptr_t)dst & 2)) {
        ADD ? pic_addOne(dst, *src) : pic_copyOne(dst, *src);
        dst++;
        src++;
        n--;
    }
    PixPair* d = (PixPair*)dst;
    int pairs = n >> 1;
    if (((uintptr_t)src & 2) == 0) {
        const PixPair* s = (const PixPair*)src;
        int k = 0;
#if defined(__arm__) && !defined(__thumb__)
        /* the same pairs in ARM code */
        ADD ? pic_addPairsArm(d, s, pairs) : pic_copyPairsArm(d, s, pairs);
        k = pairs;
#else
        if (ADD) {
            /* added pictures are mostly black: four black source pairs
             * (a pair of 0 adds nothing) are passed with one test */
            for (; k + 4 <= pairs; k += 4) {
                const uint32_t s0 = s[k], s1 = s[k + 1], s2 = s[k + 2], s3 = s[k + 3];
                if ((s0 | s1 | s2 | s3) == 0)
                    continue;
                pic_addTwoAt(d + k, s0);
                pic_addTwoAt(d + k + 1, s1);
                pic_addTwoAt(d + k + 2, s2);
                pic_addTwoAt(d + k + 3, s3);
            }
        }
        if (!ADD) {
            /* keyed pictures are mostly key: four pairs of key pixels are
             * passed with one test */
            const uint32_t key2 = (uint32_t)PIC_KEY * 0x10001u;
            for (; k + 4 <= pairs; k += 4) {
                const uint32_t s0 = s[k], s1 = s[k + 1], s2 = s[k + 2], s3 = s[k + 3];
                if (s0 == key2 && s1 == key2 && s2 == key2 && s3 == key2)
                    continue;
                pic_copyTwo(d + k, s0);
                pic_copyTwo(d + k + 1, s1);
                pic_copyTwo(d + k + 2, s2);
                pic_copyTwo(d + k + 3, s3);
            }
        }
#endif
        for (; k < pairs; k++)
            ADD ? pic_addTwoAt(d + k, s[k]) : pic_copyTwo(d + k, s[k]);
    } else if (!ADD) {
        /* a keyed copy off the word grid: pixel by pixel, two a step,
         * cheaper than shifting words into pairs; eight key pixels are
         * passed with one test, src[k .. k + 6] read as the high half of
         * the word holding src[k - 1] (inside the picture: src is off the
         * grid, the pixels' start on it) and three whole words */
        uint16_t* d1 = (uint16_t*)d;
        const PixPair* w = (const PixPair*)(src - 1);
        const uint32_t key2 = (uint32_t)PIC_KEY * 0x10001u;
        int k = 0;
        for (; k + 8 <= 2 * pairs; k += 8) {
            const int j = k >> 1;
            if ((w[j] >> 16) == PIC_KEY && w[j + 1] == key2 && w[j + 2] == key2 && w[j + 3] == key2 &&
                src[k + 7] == PIC_KEY)
                continue;
            for (int i = k; i < k + 8; i++)
                pic_copyOne(d1 + i, src[i]);
        }
        for (; k < 2 * pairs; k += 2) {
            pic_copyOne(d1 + k, src[k]);
            pic_copyOne(d1 + k + 1, src[k + 1]);
        }
    } else if (pairs > 0) {
        /* word k of s holds src[2k - 1] and src[2k]; the last pair's
         * second pixel is read alone */
        const PixPair* s = (const PixPair*)(src - 1);
        uint32_t prev = s[0];
        for (int k = 0; k < pairs - 1; k++) {
            const uint32_t cur = s[k + 1];
            const uint32_t two = (prev >> 16) | (cur << 16);
            ADD ? pic_addTwoAt(d + k, two) : pic_copyTwo(d + k, two);
            prev = cur;
        }
        const uint32_t last = (prev >> 16) | ((uint32_t)src[2 * pairs - 1] << 16);
        ADD ? pic_addTwoAt(d + pairs - 1, last) : pic_copyTwo(d + pairs - 1, last);
    }
    if (n & 1) {
        ADD ? pic_addOne(dst + n - 1, src[n - 1]) : pic_copyOne(dst + n - 1, src[n - 1]);
    }
}

void drawPic16b(const Pic16b* pic, int x, int y)
{
    int c0, c1, r0, r1;
    if (!pic_clip(pic, x, y, &c0, &c1, &r0, &r1))
        return;
    for (int r = r0; r < r1; r++) {
        const uint16_t* src = pic->pixels + (size_t)r * pic->width + c0;
        uint16_t* dst = scr1 + (y + r) * SCR_W + x + c0;
        pic_row<false>(dst, src, c1 - c0);
    }
}

void drawPic16b_add(const Pic16b* pic, int x, int y)
{
    int c0, c1, r0, r1;
    if (!pic_clip(pic, x, y, &c0, &c1, &r0, &r1))
        return;
    for (int r = r0; r < r1; r++) {
        const uint16_t* src = pic->pixels + (size_t)r * pic->width + c0;
        uint16_t* dst = scr1 + (y + r) * SCR_W + x + c0;
        pic_row<true>(dst, src, c1 - c0);
    }
}

void killPic16b(Pic16b* pic)
{
    if (!pic)
        return;
    free(pic->pixels);
    pic->pixels = nullptr;
    pic->width = 0;
    pic->height = 0;
    pic->keyFree = 0;
}
