/*
 * kv_3D: reading .bof and .baf object files (see kv_3D.h).
 */
#include "render3d/kv_3D.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "render3d/kv_3D_local.h"
#include "video/kv_font.h"
#include "video/kv_video.h"

/* ---- Objects: loading ------------------------------------------------------- */

/* One-way token reader over the text format. A token that does not convert
 * (malformed number, end of file) stops the reader: that value and every later
 * one read as 0, which is what the formatted input leaves in zeroed targets.
 *
 * After the header word the rest of the file is read into memory, and the
 * plain tokens that make up every ordinary file are converted from there:
 * optional blanks, then digits for a count, or an optional minus, digits
 * and an optional point with digits for a number, each followed by a blank
 * or the end. For those, fscanf's "%u" and "%f" give exactly what strtoul
 * and strtof give on the token (which is what they call), and leave the
 * file just past it. The first token of any other shape (a sign where
 * fscanf would take one, an exponent, a hexadecimal or infinite number, a
 * count of ten digits or more, a character glued on) sends the reader back
 * to fscanf from that token's first byte, so malformed files read exactly
 * as they always did. */
struct ObjText {
    FILE* f;
    int stopped;     /* 0 or 1, sticky */
    char* buf;       /* the file from `base` on and a closing 0, or null: fscanf only */
    size_t len, at;  /* bytes in buf, next byte to read */
    long base;       /* file offset of buf[0] */
};

/* The characters fscanf skips as blanks (isspace in the C locale). */
static int obj_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

static int obj_digit(char c)
{
    return c >= '0' && c <= '9';
}

/* Skips blanks in the buffer; returns the next token's start, len when
 * only blanks are left. */
static size_t obj_skip(const ObjText* t)
{
    size_t i = t->at;
    while (i < t->len && obj_blank(t->buf[i]))
        i++;
    return i;
}

/* 1 when buf[k] ends a token: a blank or the end of the buffer. */
static int obj_ends(const ObjText* t, size_t k)
{
    return k == t->len || obj_blank(t->buf[k]);
}

/* Leaves the buffer for fscanf at the token starting at buf[from]; the
 * reader stops when the file cannot be positioned there. */
static void obj_toFile(ObjText* t, size_t from)
{
    free(t->buf);
    t->buf = nullptr;
    if (fseek(t->f, t->base + (long)from, SEEK_SET) != 0)
        t->stopped = 1;
}

/* A count from the buffer: 1 with *v set when the next token is plain (or
 * the file has ended: *v 0 and the reader stopped); else 0, the reader
 * being on fscanf from that token. */
static int obj_bufU(ObjText* t, unsigned* v)
{
    const size_t i = obj_skip(t);
    if (i == t->len) {
        t->stopped = 1;
        *v = 0;
        return 1;
    }
    unsigned x = 0;
    size_t k = i;
    for (; obj_digit(t->buf[k]); k++) /* the buffer's closing 0 stops it */
        x = x * 10 + (unsigned)(t->buf[k] - '0');
    if (k == i || k - i > 9 || !obj_ends(t, k)) {
        obj_toFile(t, i);
        return 0;
    }
    *v = x;
    t->at = k;
    return 1;
}

/* 10^k as float for k = 0..8, each exact (5^8 < 2^24). */
static const float kObjTen[9] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f};

/* A number from the buffer, as obj_bufU. A plain token of at most 8
 * digits (so at most 8 decimals) whose digits make a whole number below
 * 2^24 is the quotient of two floats that are exact, whose one rounding is the correct rounding of
 * the token's value, as strtof gives; longer plain tokens go to strtof. */
static int obj_bufF(ObjText* t, float* v)
{
    const size_t i = obj_skip(t);
    if (i == t->len) {
        t->stopped = 1;
        *v = 0.0f;
        return 1;
    }
    /* The digits are summed in 32 bits, which wraps beyond 9 of them; only
     * a sum of at most 8 digits is used. The buffer's closing 0 stops the
     * loops. */
    const char* b = t->buf;
    size_t k = i + (b[i] == '-');
    const size_t d0 = k;
    uint32_t mant = 0;
    for (; obj_digit(b[k]); k++)
        mant = mant * 10 + (uint32_t)(b[k] - '0');
    int plain = k > d0, decimals = 0;
    size_t digits = k - d0;
    if (plain && b[k] == '.') {
        const size_t f0 = ++k;
        for (; obj_digit(b[k]); k++)
            mant = mant * 10 + (uint32_t)(b[k] - '0');
        decimals = (int)(k - f0);
        digits += k - f0;
        plain = k > f0;
    }
    const int exact = digits <= 8 && mant < (1u << 24);
    char tok[64];
    if (!plain || !obj_ends(t, k) || (!exact && k - i >= sizeof tok)) {
        obj_toFile(t, i);
        return 0;
    }
    t->at = k;
    if (exact) {
        /* a whole number needs no division */
        const float q = decimals ? (float)mant / kObjTen[decimals] : (float)mant;
        *v = b[i] == '-' ? -q : q;
        return 1;
    }
    memcpy(tok, b + i, k - i);
    tok[k - i] = '\0';
    *v = strtof(tok, nullptr);
    return 1;
}

static unsigned obj_readU(ObjText* t)
{
    unsigned v = 0;
    if (t->stopped || (t->buf && obj_bufU(t, &v)) || t->stopped)
        return v;
    if (fscanf(t->f, "%u", &v) != 1) {
        t->stopped = 1;
        v = 0;
    }
    return v;
}

static float obj_readF(ObjText* t)
{
    float v = 0.0f;
    if (t->stopped || (t->buf && obj_bufF(t, &v)) || t->stopped)
        return v;
    if (fscanf(t->f, "%f", &v) != 1) {
        t->stopped = 1;
        v = 0.0f;
    }
    return v;
}

/* Reads the rest of the file, from the current position, into the buffer
 * when its length can be told (fileLen >= 0); else, or without memory, the
 * reader stays on fscanf. */
static void obj_buffer(ObjText* t, long long fileLen)
{
    const long at = ftell(t->f);
    if (t->stopped || fileLen < 0 || at < 0 || at > fileLen)
        return;
    const size_t n = (size_t)(fileLen - at);
    char* b = (char*)malloc(n + 1);
    if (!b)
        return;
    b[n] = '\0'; /* stops the digit loops at the end */
    if (fread(b, 1, n, t->f) != n) {
        free(b);
        if (fseek(t->f, at, SEEK_SET) != 0)
            t->stopped = 1;
        return;
    }
    t->buf = b;
    t->len = n;
    t->at = 0;
    t->base = at;
}

/* The header word, ignored: its first 9 characters are read into a small
 * buffer and the rest of a longer word is skipped, so it never spills into
 * the buffer's neighbours or into the counts that follow. */
static void obj_readWord(ObjText* t)
{
    char word[10];
    if (t->stopped || fscanf(t->f, "%9s", word) != 1) {
        t->stopped = 1;
        return;
    }
    if (fscanf(t->f, "%*[^ \t\r\n\v\f]") == EOF)
        t->stopped = 1;
}

/* The loaders' two standard messages: on the loading screen for .bof (the
 * font's bprint, then shown with scr_flip), on standard output for .baf. */
static void obj_say(int onScreen, const char* msg)
{
    if (onScreen) {
        bprint(msg);
        scr_flip();
    } else {
        printf("%s", msg);
    }
}

/* 1 when V*N vertex records and F face records fit in OBJ_MAX_BYTES
 * together, every product and sum checked before it could overflow. */
static int obj_sizeOk(uint64_t v, uint64_t n, uint64_t f)
{
    uint64_t vn, vbytes, fbytes, total;
    if (__builtin_mul_overflow(v, n, &vn) || __builtin_mul_overflow(vn, (uint64_t)sizeof(Vertex3D), &vbytes) ||
        __builtin_mul_overflow(f, (uint64_t)sizeof(Face3D), &fbytes) ||
        __builtin_add_overflow(vbytes, fbytes, &total))
        return 0;
    return total <= (uint64_t)OBJ_MAX_BYTES;
}

/* 1 when a file of fileLen bytes can hold V*N vertex entries and F triangle
 * entries: six tokens a vertex and four a triangle, each at least one
 * character and a blank (the file's last token needs no blank). A stream
 * whose length cannot be told (fileLen -1: a pipe) is bounded by
 * obj_sizeOk alone. The counts have passed obj_sizeOk, so the products
 * cannot overflow. */
static int obj_fits(uint64_t v, uint64_t n, uint64_t f, long long fileLen)
{
    return fileLen < 0 || v * n * 12 + f * 8 <= (uint64_t)fileLen + 1;
}

/* 1 when the work of shading the object (add_normal visits every triangle
 * in every frame) is justified by its entries: frames x triangles below
 * 2^20, or at most 16 times the vertex and triangle entries together. An
 * ordinary mesh has about two triangles a vertex and stays far below; only
 * triangles piled on a few vertices over many frames go beyond, and would
 * take minutes to shade from a file of a megabyte. The counts have passed
 * obj_sizeOk, so nothing overflows. */
static int obj_workOk(uint64_t v, uint64_t n, uint64_t f)
{
    return n * f < (1u << 20) || n * f <= 16 * (v * n + f);
}

/* Length of the open file in bytes, -1 when it cannot be told; the read
 * position is kept. */
static long long obj_fileLength(FILE* f)
{
    long at = ftell(f);
    long long len = -1;
    if (at >= 0 && fseek(f, 0, SEEK_END) == 0)
        len = ftell(f);
    if (at < 0 || fseek(f, at, SEEK_SET) != 0)
        len = -1;
    return len;
}

/* Frees the buffer and closes the file. */
static void obj_close(ObjText* t)
{
    free(t->buf);
    t->buf = nullptr;
    fclose(t->f);
}

/* Reads a .bof (multi = 0) or .baf (multi = 1) into obj. */
static void obj_load(const char* path, Object3D* obj, int multi)
{
    const int onScreen = !multi;
    obj_reset(obj);
    FILE* f = path ? fopen(path, "r") : nullptr;
    if (!f) {
        obj_say(onScreen, kv_msgNotFound);
        return;
    }
    /* Unbuffered: after the header word the rest is read in one go
     * (obj_buffer), straight into our buffer rather than copied through the
     * C library's small one. */
    setvbuf(f, nullptr, _IONBF, 0);
    ObjText t = {f, 0, nullptr, 0, 0, 0};
    obj_readWord(&t);
    obj_buffer(&t, obj_fileLength(f));
    unsigned v = obj_readU(&t);
    unsigned fc = obj_readU(&t);
    unsigned n = multi ? obj_readU(&t) : 1;
    float px = obj_readF(&t);
    float py = obj_readF(&t);
    float pz = obj_readF(&t);

    /* An object without vertices has nothing to animate: its frames cost
     * no bytes, so their count is no measure of the file, yet every pass
     * over the object would step through them all. It is one empty frame. */
    if (v == 0 && n > 1)
        n = 1;
    /* Counts are checked before anything is allocated: no frames, or arrays
     * above the cap, are refused like a failed allocation. */
    if (n == 0 || !obj_sizeOk(v, n, fc)) {
        obj_close(&t);
        obj_say(onScreen, kv_msgNoMem);
        return;
    }
    /* Counts the file's bytes cannot hold are refused before anything is
     * allocated for them: a few bytes must not claim a million vertices. */
    long long fileLen = obj_fileLength(f);
    if (!obj_fits(v, n, fc, fileLen)) {
        obj_close(&t);
        printf("%s: %llu vertex and %u triangle entries cannot fit in its %lld bytes; object refused\n", path,
               (unsigned long long)v * n, fc, fileLen);
        return;
    }
    if (!obj_workOk(v, n, fc)) {
        obj_close(&t);
        printf("%s: %u triangles in each of %u frames of %u vertices are too many to shade; object refused\n", path,
               fc, n, v);
        return;
    }
    size_t nv = (size_t)v * n;
    Vertex3D* verts = nv ? (Vertex3D*)calloc(nv, sizeof(Vertex3D)) : nullptr;
    Face3D* faces = fc ? (Face3D*)calloc(fc, sizeof(Face3D)) : nullptr;
    if ((nv && !verts) || (fc && !faces)) {
        free(verts);
        free(faces);
        obj_close(&t);
        obj_say(onScreen, kv_msgNoMem);
        return;
    }

    for (size_t i = 0; i < nv; i++) {
        Vertex3D* vx = &verts[i];
        obj_readU(&t); /* vertex number, ignored */
        vx->x = fp_convf(obj_readF(&t));
        vx->y = fp_convf(obj_readF(&t));
        vx->z = fp_convf(obj_readF(&t));
        vx->u = fp_mulf(524288, obj_readF(&t)); /* 1.0 in the file is 128.0 */
        vx->v = fp_mulf(524288, obj_readF(&t));
    }
    for (unsigned i = 0; i < fc; i++) {
        obj_readU(&t); /* face number, ignored */
        faces[i].ia = obj_readU(&t);
        faces[i].ib = obj_readU(&t);
        faces[i].ic = obj_readU(&t);
    }
    obj_close(&t);

    /* Every index must name a vertex of the frame: the rasteriser and the
     * normal builder index the frame with them unchecked. */
    for (unsigned i = 0; i < fc; i++) {
        unsigned worst = faces[i].ia;
        if (faces[i].ib > worst)
            worst = faces[i].ib;
        if (faces[i].ic > worst)
            worst = faces[i].ic;
        if (worst >= v) {
            printf("%s: triangle %u names vertex %u, but there are %u; object refused\n", path, i, worst, v);
            free(verts);
            free(faces);
            return;
        }
    }

    obj->vertCount = v;
    obj->faceCount = fc;
    obj->frameCount = n;
    obj->verts = verts;
    obj->faces = faces;
    obj->x = px;
    obj->y = py;
    obj->z = pz;
    add_edge(obj);
}

void loadBOF(const char* path, Object3D* obj)
{
    obj_load(path, obj, 0);
}

void loadBAF(const char* path, Object3D* obj)
{
    obj_load(path, obj, 1);
}
