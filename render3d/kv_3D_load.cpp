/*
 * kv_3D: reading .bof and .baf object files (see kv_3D.h).
 */
#include "render3d/kv_3D.h"

#include <cstdio>
#include <cstdlib>

#include "render3d/kv_3D_local.h"
#include "video/kv_font.h"
#include "video/kv_video.h"

/* ---- Objects: loading ------------------------------------------------------- */

/* One-way token reader over the text format. A token that does not convert
 * (malformed number, end of file) stops the reader: that value and every later
 * one read as 0, which is what the formatted input leaves in zeroed targets. */
struct ObjText {
    FILE* f;
    int stopped; /* 0 or 1, sticky */
};

static unsigned obj_readU(ObjText* t)
{
    unsigned v = 0;
    if (!t->stopped && fscanf(t->f, "%u", &v) != 1) {
        t->stopped = 1;
        v = 0;
    }
    return v;
}

static float obj_readF(ObjText* t)
{
    float v = 0.0f;
    if (!t->stopped && fscanf(t->f, "%f", &v) != 1) {
        t->stopped = 1;
        v = 0.0f;
    }
    return v;
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
    ObjText t = {f, 0};
    obj_readWord(&t);
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
        fclose(f);
        obj_say(onScreen, kv_msgNoMem);
        return;
    }
    /* Counts the file's bytes cannot hold are refused before anything is
     * allocated for them: a few bytes must not claim a million vertices. */
    long long fileLen = obj_fileLength(f);
    if (!obj_fits(v, n, fc, fileLen)) {
        fclose(f);
        printf("%s: %llu vertex and %u triangle entries cannot fit in its %lld bytes; object refused\n", path,
               (unsigned long long)v * n, fc, fileLen);
        return;
    }
    if (!obj_workOk(v, n, fc)) {
        fclose(f);
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
        fclose(f);
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
    fclose(f);

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
