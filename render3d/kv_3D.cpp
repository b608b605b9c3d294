/*
 * kv_3D: object files, camera and projection, the triangle rasteriser and
 * scene drawing (see kv_3D.h).
 */
#include "render3d/kv_3D.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "video/kv_font.h"
#include "video/kv_texture.h"
#include "video/kv_video.h"

/* ---- Globals ---------------------------------------------------------------
 * Lifetime: whole run; set by the scenes every frame. */
Camera cam = {
    0.0f, 0.0f, 0.0f,  /* eye position, world units */
    0.0f, 0.0f, 0.0f,  /* view angles, radians */
    200.0f,            /* zoom */
    10 * FP_ONE,       /* near: 10.0 */
    5000 * FP_ONE,     /* far: 5000.0 */
    0,                 /* depth: set by cam_setClip */
    {},                /* viewProj: zero until cam_update */
    {},                /* viewRot: zero until cam_update */
};

/* Lifetime: whole run; the hooks persist until changed. */
FillTriFunc fillTri = nullptr;     /* current triangle routine; draw3D installs the default */
ScanLineFunc scanLine = nullptr;   /* current scanline routine; draw3D installs the default */
PixShaderFunc pixShader = nullptr; /* per-pixel hook of draw_scanline, or null */

/* Lifetime: per draw3D call. */
uint16_t* rTarget = nullptr;  /* 320x240 RGB565 target, the back buffer; 4-byte aligned */
const Pic16b* curtex = nullptr; /* texture of the object being drawn, power-of-two sides */

/* Lifetime: per 3D frame, filled by clr3D. */
fixed zbuf[ZBUF_SIZE]; /* depth per pixel in world units (20.12), near .. far; smaller is nearer */

/* Lifetime: while one object's edges are collected (add_edge). */
Edge3D edge[EDGE_MAX]; /* scratch edge table, entries 0 .. edgenum-1 in use */
int edgenum = 0;       /* 0 .. EDGE_MAX */

/* Hash index over the scratch table, so that looking an edge up does not
 * scan every earlier edge: slot -> scratch index + 1, 0 = empty. Twice as
 * many slots as entries keeps the probe chains short and always ends a probe
 * at an empty slot. */
enum { EDGE_HASH_BITS = 16, EDGE_HASH = 1 << EDGE_HASH_BITS };
static int32_t edgeHash[EDGE_HASH]; /* 0 or scratch index + 1 */
static int edgeHashed = 0;          /* scratch entries 0 .. edgeHashed-1 are indexed */

static const char MSG_NOT_FOUND[] = "EEEEEEEEEEEK!!!     file not found!!";
static const char MSG_NO_MEM[] = "EEEEEEEEEEEK!!!     not nuff mem!!";

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

/* Empties the object without freeing: what a loader starts from and what it
 * leaves after a failure (after freeing what it allocated itself). */
static void obj_reset(Object3D* obj)
{
    obj->vertCount = 0;
    obj->faceCount = 0;
    obj->edgeCount = 0;
    obj->frameCount = 0;
    obj->verts = nullptr;
    obj->faces = nullptr;
    obj->edges = nullptr;
    obj->x = obj->y = obj->z = 0.0f;
    obj->rotY = obj->rotX = obj->rotZ = 0.0f;
    obj->texture = -1;
    obj->frame = 0;
    obj->projected = 0;
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
        obj_say(onScreen, MSG_NOT_FOUND);
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
        obj_say(onScreen, MSG_NO_MEM);
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
        obj_say(onScreen, MSG_NO_MEM);
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

/* ---- Objects: edges ----------------------------------------------------------- */

/* Hash slot of the unordered pair {a, b}: the smaller index in the high half,
 * times the 64-bit golden-ratio constant 0x9E3779B97F4A7C15 (2^64 / phi),
 * top EDGE_HASH_BITS bits. */
static uint32_t edge_slot(int a, int b)
{
    uint32_t lo = (uint32_t)(a < b ? a : b), hi = (uint32_t)(a < b ? b : a);
    uint64_t k = ((uint64_t)lo << 32 | hi) * 0x9E3779B97F4A7C15ull;
    return (uint32_t)(k >> (64 - EDGE_HASH_BITS));
}

static int edge_matches(const Edge3D* e, int a, int b)
{
    return (e->va == a && e->vb == b) || (e->va == b && e->vb == a);
}

/* Brings the hash index in step with edgenum: rebuilt when the table was
 * emptied (edgenum dropped), extended when entries were added without it. */
static void edge_sync(void)
{
    if (edgenum < edgeHashed) {
        memset(edgeHash, 0, sizeof edgeHash);
        edgeHashed = 0;
    }
    for (; edgeHashed < edgenum; edgeHashed++) {
        uint32_t s = edge_slot(edge[edgeHashed].va, edge[edgeHashed].vb);
        while (edgeHash[s])
            s = (s + 1) & (EDGE_HASH - 1);
        edgeHash[s] = edgeHashed + 1;
    }
}

int find_edge(int a, int b)
{
    if (edgenum < 0 || edgenum > EDGE_MAX)
        return -1;
    edge_sync();
    /* Linear probing; every entry found is checked against (a, b), and the
     * table never holds two entries of one pair, so the match is the first
     * in table order, as a scan from entry 0 would find. */
    uint32_t s = edge_slot(a, b);
    while (edgeHash[s]) {
        int i = edgeHash[s] - 1;
        if (edge_matches(&edge[i], a, b))
            return i;
        s = (s + 1) & (EDGE_HASH - 1);
    }
    if (edgenum >= EDGE_MAX)
        return -1;
    int i = edgenum++;
    memset(&edge[i], 0, sizeof edge[i]);
    edge[i].va = a;
    edge[i].vb = b;
    edgeHash[s] = i + 1;
    edgeHashed = edgenum;
    return i;
}

/* Frees the object's arrays and leaves it empty (texture -1). */
static void obj_drop(Object3D* obj)
{
    free(obj->verts);
    free(obj->faces);
    free(obj->edges);
    obj_reset(obj);
}

void add_edge(Object3D* obj)
{
    edgenum = 0;
    edge_sync();
    for (uint32_t i = 0; i < obj->faceCount; i++) {
        Face3D* fc = &obj->faces[i];
        fc->eab = find_edge((int)fc->ia, (int)fc->ib);
        fc->ebc = find_edge((int)fc->ib, (int)fc->ic);
        fc->eac = find_edge((int)fc->ia, (int)fc->ic);
        if (fc->eab < 0 || fc->ebc < 0 || fc->eac < 0) {
            printf("object refused: more than %d distinct edges\n", EDGE_MAX);
            obj_drop(obj);
            return;
        }
    }
    Edge3D* copy = nullptr;
    if (edgenum > 0) {
        copy = (Edge3D*)malloc((size_t)edgenum * sizeof(Edge3D));
        if (!copy) {
            printf("%s", MSG_NO_MEM);
            obj_drop(obj);
            return;
        }
        memcpy(copy, edge, (size_t)edgenum * sizeof(Edge3D));
    }
    free(obj->edges);
    obj->edges = copy;
    obj->edgeCount = edgenum;
}

/* ---- Objects: normals, mapping, pose, teardown ------------------------------- */

static FpVec3 vec_of(fixed x, fixed y, fixed z)
{
    FpVec3 r = {x, y, z};
    return r;
}

void add_normal(Object3D* obj)
{
    size_t total = (size_t)obj->vertCount * obj->frameCount;
    for (size_t i = 0; i < total; i++)
        obj->verts[i].nx = obj->verts[i].ny = obj->verts[i].nz = 0;

    for (uint32_t k = 0; k < obj->frameCount; k++) {
        Vertex3D* base = obj->verts + (size_t)k * obj->vertCount;
        for (uint32_t i = 0; i < obj->faceCount; i++) {
            const Face3D* fc = &obj->faces[i];
            Vertex3D* a = &base[fc->ia];
            Vertex3D* b = &base[fc->ib];
            Vertex3D* c = &base[fc->ic];
            FpVec3 pa = vec_of(a->x, a->y, a->z);
            FpVec3 pb = vec_of(b->x, b->y, b->z);
            FpVec3 pc = vec_of(c->x, c->y, c->z);
            FpVec3 e1, e2, n;
            fp_vecSub(&e1, &pb, &pa);
            fp_vecSub(&e2, &pc, &pa);
            fp_vecNormal(&e1);
            fp_vecNormal(&e2);
            fp_vecCross(&n, &e1, &e2);
            fp_vecNormal(&n);
            Vertex3D* touched[3] = {a, b, c};
            for (Vertex3D* t : touched) {
                t->nx = fp_add(t->nx, n.x);
                t->ny = fp_add(t->ny, n.y);
                t->nz = fp_add(t->nz, n.z);
            }
        }
    }

    for (size_t i = 0; i < total; i++) {
        Vertex3D* vx = &obj->verts[i];
        FpVec3 n = vec_of(vx->nx, vx->ny, vx->nz);
        fp_vecNormal(&n);
        vx->nx = n.x;
        vx->ny = n.y;
        vx->nz = n.z;
    }
}

/* 1 when frame names one of the object's frames. */
static int obj_frameOk(const Object3D* obj)
{
    return obj->frame >= 0 && (uint32_t)obj->frame < obj->frameCount && obj->verts;
}

void make_envmap(Object3D* obj)
{
    if (!obj_frameOk(obj))
        return;
    Vertex3D* base = obj->verts + (size_t)obj->frame * obj->vertCount;
    for (uint32_t i = 0; i < obj->vertCount; i++) {
        float nx = fp_fconv(base[i].tnx);
        float ny = fp_fconv(base[i].tny);
        base[i].u = fp_mulf(524288, nx * 0.5f + 0.5f);
        base[i].v = fp_mulf(524288, ny * -0.5f + 0.5f);
    }
}

void set3D(Object3D* obj, float x, float y, float z, float rotY, float rotX, float rotZ)
{
    obj->x = x;
    obj->y = y;
    obj->z = z;
    obj->rotY = rotY;
    obj->rotX = rotX;
    obj->rotZ = rotZ;
}

void kill3D(Object3D* obj)
{
    free(obj->verts);
    free(obj->faces);
    free(obj->edges);
    obj->verts = nullptr;
    obj->faces = nullptr;
    obj->edges = nullptr;
    obj->vertCount = 0;
    obj->faceCount = 0;
    obj->edgeCount = 0;
    obj->texture = -1;
}

/* ---- Camera and projection -------------------------------------------------- */

void cam_setClip(Camera* c, int near, int far, float zoom)
{
    c->near = fp_convi(near);
    c->far = fp_convi(far);
    c->depth = fp_convi(far - near);
    c->zoom = zoom;
}

void cam_set(Camera* c, float x, float y, float z, float rotY, float rotX, float rotZ)
{
    c->x = x;
    c->y = y;
    c->z = z;
    c->rotY = (rotY * 3.1416f) / 180.0f;
    c->rotX = (rotX * 3.1416f) / 180.0f;
    c->rotZ = (rotZ * 3.1416f) / 180.0f;
}

void cam_update(Camera* c)
{
    FpMat4 t, rx, ry, rz, p, tmp;
    fp_matTranslate(&t, fp_convf(-c->x), fp_convf(-c->y), fp_convf(-c->z));
    fp_matRotX(&rx, c->rotX);
    fp_matRotY(&ry, c->rotY);
    fp_matRotZ(&rz, c->rotZ);
    fp_matProject(&p, c);
    fp_matMul(&tmp, &ry, &rx);
    fp_matMul(&c->viewRot, &tmp, &rz);
    fp_matMul(&tmp, &t, &c->viewRot);
    fp_matMul(&c->viewProj, &tmp, &p);
}

void setViewFlag(Vertex3D* v)
{
    uint8_t f = 0;
    if (v->sx < -FP_ONE)
        f |= 0x01;
    else if (v->sx > FP_ONE)
        f |= 0x02;
    if (v->sy < -FP_ONE)
        f |= 0x04;
    else if (v->sy > FP_ONE)
        f |= 0x08;
    if (v->sz < -FP_ONE)
        f |= 0x10; /* beyond the far plane */
    else if (v->sz > FP_ONE)
        f |= 0x20; /* nearer than the near plane */
    v->clip = f;
}

void project(Object3D* obj)
{
    if (!obj_frameOk(obj))
        return;
    Vertex3D* base = obj->verts + (size_t)obj->frame * obj->vertCount;

    FpMat4 rx, ry, rz, tmp, mr, t, m, mvp, nrm;
    fp_matRotX(&rx, obj->rotX);
    fp_matRotY(&ry, obj->rotY);
    fp_matRotZ(&rz, obj->rotZ);
    fp_matMul(&tmp, &rx, &ry);
    fp_matMul(&mr, &rz, &tmp);
    fp_matTranslate(&t, fp_convf(obj->x), fp_convf(obj->y), fp_convf(obj->z));
    fp_matMul(&m, &mr, &t);
    fp_matMul(&mvp, &m, &cam.viewProj);
    obj->projected = 1;

    fp_matVecMul(base, (int)obj->vertCount, &mvp);
    fp_matMul(&nrm, &mr, &cam.viewRot);
    fp_vecMulNormal(base, (int)obj->vertCount, &nrm);

    for (uint32_t i = 0; i < obj->vertCount; i++) {
        Vertex3D* v = &base[i];
        /* 32.0 / W: five extra bits of precision for the reciprocal */
        fixed e = v->sw == 0 ? 0 : fp_div(131072, v->sw);
        fixed xp = fp_mul(v->sx, e) >> 5;
        fixed yp = fp_mul(v->sy, e) >> 5;
        fixed zp = fp_mul(v->sz, e) >> 5;
        v->sw = FP_ONE;
        v->behind = e > 0 ? 0xFF : 0; /* in front of the eye W < 0, so e < 0 */
        v->sx = xp;
        v->sy = yp;
        v->sz = zp;
        setViewFlag(v);
        v->sx = fp_sub(fp_convi(160), fp_muli(xp, 160));
        v->sy = fp_add(fp_convi(120), fp_muli(yp, 120));
        v->sz = fp_add(cam.near, fp_mul(cam.depth, fp_sub(FP_ONE, zp) >> 1));
    }
}

/* ---- Rasteriser: scanline routines --------------------------------------------
 * The running u, v, z are unsigned so that stepping wraps in 32 bits like the
 * fixed arithmetic everywhere else; they are read back as signed. Every
 * address written lies in [dst, dst + len) (the dbl routines: one more to the
 * left on an odd start), which the triangle routines keep inside the row. */

/* The texture fields of a span, copied out once so that the z-buffer stores
 * of the loop (which could alias the span's int fields) do not force the
 * compiler to reload them for every pixel. */
struct ScanTex {
    const uint16_t* texels;
    int umask, vmask, vshift;
};

static inline ScanTex scan_tex(const Span* s)
{
    ScanTex t = {s->texels, s->umask, s->vmask, s->vshift};
    return t;
}

static inline unsigned scan_texel(const ScanTex& t, uint32_t u, uint32_t v)
{
    int col = t.umask & ((int32_t)u >> FP_SHIFT);
    int row = t.vmask & ((int32_t)v >> FP_SHIFT);
    return t.texels[col + (row << t.vshift)];
}

void draw_scanline(Span* s)
{
    const fixed near = cam.near;
    const ScanTex t = scan_tex(s);
    uint32_t u = (uint32_t)s->u, v = (uint32_t)s->v, z = (uint32_t)s->z;
    const uint32_t du = (uint32_t)s->du, dv = (uint32_t)s->dv, dz = (uint32_t)s->dz;
    uint16_t* dst = s->dst;
    fixed* zd = s->zdst;
    const int n = s->len;
    const PixShaderFunc shader = pixShader;
    if (shader) {
        for (int i = 0; i < n; i++, u += du, v += dv, z += dz) {
            if ((fixed)z <= zd[i] && (fixed)z > near) {
                unsigned texel = scan_texel(t, u, v);
                if (texel != TEX_KEY)
                    shader(&dst[i], &zd[i], texel, (fixed)z);
            }
        }
        return;
    }
    for (int i = 0; i < n; i++, u += du, v += dv, z += dz) {
        if ((fixed)z <= zd[i] && (fixed)z > near) {
            unsigned texel = scan_texel(t, u, v);
            if (texel != TEX_KEY) {
                dst[i] = (uint16_t)texel;
                zd[i] = (fixed)z;
            }
        }
    }
}

void draw_scanline_noTransp(Span* s)
{
    const fixed near = cam.near;
    const ScanTex t = scan_tex(s);
    uint32_t u = (uint32_t)s->u, v = (uint32_t)s->v, z = (uint32_t)s->z;
    const uint32_t du = (uint32_t)s->du, dv = (uint32_t)s->dv, dz = (uint32_t)s->dz;
    uint16_t* dst = s->dst;
    fixed* zd = s->zdst;
    const int n = s->len;
    for (int i = 0; i < n; i++, u += du, v += dv, z += dz) {
        if ((fixed)z <= zd[i] && (fixed)z > near) {
            zd[i] = (fixed)z;
            dst[i] = (uint16_t)scan_texel(t, u, v);
        }
    }
}

/* Pairs of pixels from one texel. A span starting on an odd pixel (a dst not
 * on a 4-byte boundary) starts one pixel to its left, so every store is an
 * aligned pair; that pixel is inside the row because row starts are aligned.
 * (len + a) >> 1 pairs never pass the span's right end. */
static inline void scan_dbl(Span* s, int keyed)
{
    const fixed near = cam.near;
    const ScanTex t = scan_tex(s);
    const int a = ((uintptr_t)s->dst & 3) ? 1 : 0;
    uint16_t* dst = s->dst - a;
    fixed* zd = s->zdst - a;
    const int pairs = (s->len + a) >> 1;
    uint32_t u = (uint32_t)s->u, v = (uint32_t)s->v, z = (uint32_t)s->z;
    const uint32_t du = (uint32_t)s->du * 2, dv = (uint32_t)s->dv * 2, dz = (uint32_t)s->dz * 2;
    for (int p = 0; p < pairs; p++, dst += 2, zd += 2, u += du, v += dv, z += dz) {
        if ((fixed)z <= zd[0] && (fixed)z > near) {
            unsigned texel = scan_texel(t, u, v);
            if (!keyed || texel != TEX_KEY) {
                uint32_t two = texel | texel << 16;
                memcpy(dst, &two, sizeof two); /* one aligned 32-bit store */
                zd[0] = (fixed)z;
                zd[1] = (fixed)z;
            }
        }
    }
}

void draw_scanline_dbl(Span* s)
{
    scan_dbl(s, 1);
}

void draw_scanline_dbl_noTransp(Span* s)
{
    scan_dbl(s, 0);
}

/* ---- Rasteriser: triangle routines ---------------------------------------------- */

/* The texture fields of a span, from curtex (power-of-two sides). */
static void tri_spanTexture(Span* sp)
{
    sp->width = curtex->width;
    sp->height = curtex->height;
    sp->umask = curtex->width - 1;
    sp->vmask = curtex->height - 1;
    sp->vshift = curtex->widthLog2;
    sp->texels = curtex->pixels;
}

/* Sorts a, b, c top to bottom by sy with three compare-exchanges, each
 * swapping when the later vertex is not strictly lower; the edges follow
 * their end points (ab, ac, bc may be null for the uncached routine). */
static void tri_sort(const Vertex3D** a, const Vertex3D** b, const Vertex3D** c, Edge3D** ab, Edge3D** ac,
                     Edge3D** bc)
{
    const Vertex3D* tv;
    Edge3D* te;
    if ((*c)->sy <= (*b)->sy) {
        tv = *b, *b = *c, *c = tv;
        te = *ab, *ab = *ac, *ac = te;
    }
    if ((*b)->sy <= (*a)->sy) {
        tv = *a, *a = *b, *b = tv;
        te = *ac, *ac = *bc, *bc = te;
    }
    if ((*c)->sy <= (*b)->sy) {
        tv = *b, *b = *c, *c = tv;
        te = *ab, *ab = *ac, *ac = te;
    }
}

void calc_edge(const Vertex3D* top, const Vertex3D* bottom, Edge3D* e)
{
    if (e->ready)
        return;
    const int w = curtex->width, h = curtex->height;
    const fixed height = fp_sub(bottom->sy, top->sy);
    e->ready = 1;
    e->flat = height < FP_ONE;
    e->top = top;
    e->bottom = bottom;
    e->u = fp_muli(top->u, w) >> 7; /* 128.0 is the whole texture */
    e->v = fp_muli(top->v, h) >> 7;
    e->x = top->sx;
    e->z = top->sz;
    e->y = top->sy;
    if (e->flat) {
        /* never stepped: the edge covers at most two rows at its start */
        e->dx = e->dz = e->du = e->dv = 0;
        return;
    }
    const fixed k = fp_div(FP_ONE, height);
    e->du = fp_mul(fp_sub(fp_muli(bottom->u, w) >> 7, e->u), k);
    e->dv = fp_mul(fp_sub(fp_muli(bottom->v, h) >> 7, e->v), k);
    e->dx = fp_mul(fp_sub(bottom->sx, top->sx), k);
    e->dz = fp_mul(fp_sub(bottom->sz, top->sz), k);
    if (e->y < 0) {
        /* starts above the screen: advance to row 0 */
        const fixed t = fp_sub(0, e->y);
        e->x = fp_add(e->x, fp_mul(e->dx, t));
        e->z = fp_add(e->z, fp_mul(e->dz, t));
        e->u = fp_add(e->u, fp_mul(e->du, t));
        e->v = fp_add(e->v, fp_mul(e->dv, t));
        e->y = 0;
    }
}

/* A running edge of the cached routine: its values on the current row and
 * its steps per row. */
struct RunEdge {
    fixed x, u, v, z;
    fixed dx, du, dv, dz;
};

static void run_start(RunEdge* r, const Edge3D* e)
{
    r->x = e->x;
    r->u = e->u;
    r->v = e->v;
    r->z = e->z;
    r->dx = e->dx;
    r->du = e->du;
    r->dv = e->dv;
    r->dz = e->dz;
}

static void run_step(RunEdge* r)
{
    r->x = fp_add(r->x, r->dx);
    r->u = fp_add(r->u, r->du);
    r->v = fp_add(r->v, r->dv);
    r->z = fp_add(r->z, r->dz);
}

void drawtritex16b_FixPoint_split(const Face3D* face, Object3D* obj)
{
    const Vertex3D* base = obj->verts + (size_t)obj->frame * obj->vertCount;
    const Vertex3D* p = base + face->ia;
    const Vertex3D* q = base + face->ib;
    const Vertex3D* r = base + face->ic;
    Edge3D* pq = &obj->edges[face->eab];
    Edge3D* pr = &obj->edges[face->eac];
    Edge3D* qr = &obj->edges[face->ebc];
    tri_sort(&p, &q, &r, &pq, &pr, &qr);

    calc_edge(p, q, pq);
    calc_edge(p, r, pr);
    calc_edge(q, r, qr);
    if (pr->flat)
        return;

    /* Rows are clamped to the screen here: 0 <= ystart, ylast <= 239. */
    int ystart = fp_iconv(p->sy);
    if (ystart < 0)
        ystart = 0;
    int ylast = fp_iconv(r->sy);
    if (ylast > SCR_H - 1)
        ylast = SCR_H - 1;
    if (ylast - ystart <= 0)
        return; /* within one scanline, or off the screen */
    int ymid = fp_iconv(q->sy);
    if (ymid < 0)
        ymid = 0;

    /* Horizontal gradients, measured on the middle vertex's row. */
    const int s = ymid - ystart;
    const fixed xL = fp_add(pr->x, fp_muli(pr->dx, s));
    const fixed uL = fp_add(pr->u, fp_muli(pr->du, s));
    const fixed vL = fp_add(pr->v, fp_muli(pr->dv, s));
    const fixed zL = fp_add(pr->z, fp_muli(pr->dz, s));
    const fixed w = fp_sub(qr->x, xL);
    if (w == 0)
        return;
    const fixed du = fp_div(fp_sub(qr->u, uL), w);
    const fixed dv = fp_div(fp_sub(qr->v, vL), w);
    const fixed dz = fp_div(fp_sub(qr->z, zL), w);

    RunEdge lng, sht;
    run_start(&lng, pr);
    run_start(&sht, ystart < ymid ? pq : qr);
    const RunEdge* left = w > 0 ? &lng : &sht;
    const RunEdge* right = w > 0 ? &sht : &lng;

    Span sp;
    tri_spanTexture(&sp);
    sp.du = du;
    sp.dv = dv;
    sp.dz = dz;
    for (int row = ystart; row <= ylast; row++) {
        int xl = fp_iconv(left->x);
        int xr = fp_iconv(right->x);
        /* Columns are clamped to the screen here: a span wholly left or right
         * of it is skipped, one reaching past either side is cut to 0..319. */
        if (xr >= 0 && xl < SCR_W) {
            fixed u = left->u, v = left->v, z = left->z;
            if (xl < 0) {
                const int t = -xl;
                u = fp_add(u, fp_muli(du, t));
                v = fp_add(v, fp_muli(dv, t));
                z = fp_add(z, fp_muli(dz, t));
                xl = 0;
            }
            const int len = (xr < SCR_W ? xr : SCR_W) - xl;
            if (len > 0) {
                sp.len = len;
                sp.u = u;
                sp.v = v;
                sp.z = z;
                sp.dst = rTarget + SCR_W * row + xl;
                sp.zdst = zbuf + SCR_W * row + xl;
                scanLine(&sp);
            }
        }
        /* The first two rows of each run share the start values. */
        if (row != ystart)
            run_step(&lng);
        if (row == ymid)
            run_start(&sht, qr);
        else if (row != ystart)
            run_step(&sht);
    }
}

void drawtritex16b_FixPoint_split2(const Face3D* face, Object3D* obj)
{
    const Vertex3D* base = obj->verts + (size_t)obj->frame * obj->vertCount;
    const Vertex3D* p = base + face->ia;
    const Vertex3D* q = base + face->ib;
    const Vertex3D* r = base + face->ic;
    Edge3D *e0 = nullptr, *e1 = nullptr, *e2 = nullptr;
    tri_sort(&p, &q, &r, &e0, &e1, &e2);

    /* Texture coordinates scaled by size / 128, the size divided first. */
    const int su = curtex->width >> 7, sv = curtex->height >> 7;
    const fixed pu = fp_muli(p->u, su), pv = fp_muli(p->v, sv);
    const fixed qu = fp_muli(q->u, su), qv = fp_muli(q->v, sv);
    const fixed ru = fp_muli(r->u, su), rv = fp_muli(r->v, sv);

    /* Rows are clamped to the screen here: ystart >= 0 and the last row,
     * ystart + rows - 1, is at most 239. */
    const int ytop = fp_iconv(p->sy), ymid = fp_iconv(q->sy), ybot = fp_iconv(r->sy);
    const int ystart = ytop < 0 ? 0 : ytop;
    const int rows = (ybot + 1 < SCR_H ? ybot + 1 : SCR_H) - ystart;
    if (rows <= 2)
        return;

    const fixed hpr = fp_sub(r->sy, p->sy); /* >= 2.0 here */
    const fixed ldx = fp_div(fp_sub(r->sx, p->sx), hpr);
    const fixed ldz = fp_div(fp_sub(r->sz, p->sz), hpr);
    const fixed ldu = fp_div(fp_sub(ru, pu), hpr);
    const fixed ldv = fp_div(fp_sub(rv, pv), hpr);
    const fixed hpq = fp_sub(q->sy, p->sy), hqr = fp_sub(r->sy, q->sy);
    const fixed dxpq = hpq ? fp_div(fp_sub(q->sx, p->sx), hpq) : 0;
    const fixed dxqr = hqr ? fp_div(fp_sub(r->sx, q->sx), hqr) : 0;

    /* Start on the first row's own y. */
    const fixed y0 = fp_convi(ystart);
    const fixed o = fp_sub(y0, p->sy);
    fixed lx = fp_add(p->sx, fp_mul(o, ldx));
    fixed lz = fp_add(p->sz, fp_mul(o, ldz));
    fixed lu = fp_add(pu, fp_mul(o, ldu));
    fixed lv = fp_add(pv, fp_mul(o, ldv));
    int onQR = q->sy < 0;
    fixed sx = onQR ? fp_add(q->sx, fp_mul(fp_sub(y0, q->sy), dxqr)) : fp_add(p->sx, fp_mul(o, dxpq));

    /* Horizontal gradients at the middle vertex. */
    const fixed m = fp_sub(q->sy, y0);
    const fixed mx = fp_add(lx, fp_mul(ldx, m));
    const fixed mz = fp_add(lz, fp_mul(ldz, m));
    const fixed mu = fp_add(lu, fp_mul(ldu, m));
    const fixed mv = fp_add(lv, fp_mul(ldv, m));
    fixed w = fp_sub(q->sx, mx);
    if (w == 0)
        w = FP_ONE;
    const fixed du = fp_div(fp_sub(qu, mu), w);
    const fixed dv = fp_div(fp_sub(qv, mv), w);
    const fixed dz = fp_div(fp_sub(q->sz, mz), w);

    Span sp;
    tri_spanTexture(&sp);
    sp.du = du;
    sp.dv = dv;
    sp.dz = dz;
    const int yend = ystart + rows;
    for (int row = ystart; row < yend; row++) {
        /* Columns are clamped here: xl >= 0, xr <= 320, so a span with
         * len > 0 lies in 0..319; a span wholly off either side (xr < 0 or
         * xl >= 320) has len <= 0 and is skipped. */
        int xl = fp_iconv(w > 0 ? lx : sx);
        int xr = fp_iconv(w > 0 ? sx : lx);
        if (xl < 0)
            xl = 0;
        if (xr > SCR_W)
            xr = SCR_W;
        const int len = xr - xl;
        if (len > 0) {
            const int k = xl - fp_iconv(lx);
            sp.len = len;
            sp.u = fp_add(lu, fp_muli(du, k));
            sp.v = fp_add(lv, fp_muli(dv, k));
            sp.z = fp_add(lz, fp_muli(dz, k));
            sp.dst = rTarget + SCR_W * row + xl;
            sp.zdst = zbuf + SCR_W * row + xl;
            scanLine(&sp);
        }
        lx = row + 1 == ybot ? r->sx : fp_add(lx, ldx);
        lz = fp_add(lz, ldz);
        lu = fp_add(lu, ldu);
        lv = fp_add(lv, ldv);
        const int k = row + 1 - ymid;
        if (k < 0) {
            sx = fp_add(sx, dxpq);
        } else if (k == 0) {
            sx = q->sx;
        } else if (!onQR) {
            sx = fp_add(q->sx, fp_muli(dxqr, k - 1));
            onQR = 1;
        } else {
            sx = fp_add(sx, dxqr);
        }
    }
}

/* ---- Scene drawing and hooks ---------------------------------------------------- */

void clr3D(void)
{
    const fixed far = cam.far;
    for (int i = 0; i < ZBUF_SIZE; i++)
        zbuf[i] = far;
}

void setTexture(Object3D* obj, int slot)
{
    obj->texture = slot;
}

void setFillFunc(int flag)
{
    fillTri = flag ? drawtritex16b_FixPoint_split : drawtritex16b_FixPoint_split2;
}

void setScanFunc(int type)
{
    switch (type) {
    case 0:
        scanLine = draw_scanline;
        break;
    case 1:
        scanLine = draw_scanline_dbl;
        break;
    case 2:
        scanLine = draw_scanline_noTransp;
        break;
    case 3:
        scanLine = draw_scanline_dbl_noTransp;
        break;
    default:
        break; /* unknown: unchanged */
    }
}

void setShader(PixShaderFunc shader)
{
    pixShader = shader;
}

void clr_edge(Object3D* obj)
{
    for (int32_t i = 0; i < obj->edgeCount; i++)
        obj->edges[i].ready = 0;
}

/* A signed 128-bit value hi * 2^64 + lo, for the back-face products (the
 * handheld's compiler has no 128-bit integer type). */
struct TriWide {
    int64_t hi;
    uint64_t lo;
};

/* a * b >> 12 for differences of fixed values (|a|, |b| < 2^33), without
 * truncation: the exact product needs up to 67 bits. Rounds toward -inf as
 * fp_mul does. */
static TriWide tri_mulWide(int64_t a, int64_t b)
{
    uint64_t ua = a < 0 ? 0 - (uint64_t)a : (uint64_t)a;
    uint64_t ub = b < 0 ? 0 - (uint64_t)b : (uint64_t)b;
    uint64_t a0 = ua & 0xFFFFFFFFu, a1 = ua >> 32;
    uint64_t b0 = ub & 0xFFFFFFFFu, b1 = ub >> 32;
    uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
    uint64_t mid = (p00 >> 32) + (p01 & 0xFFFFFFFFu) + (p10 & 0xFFFFFFFFu);
    uint64_t lo = (p00 & 0xFFFFFFFFu) | (mid << 32);
    uint64_t hi = p11 + (p01 >> 32) + (p10 >> 32) + (mid >> 32);
    if ((a < 0) != (b < 0)) { /* two's complement negation of hi:lo */
        lo = ~lo + 1;
        hi = ~hi + (lo == 0);
    }
    /* arithmetic shift right by 12 of the 128-bit value */
    TriWide r;
    r.lo = (lo >> FP_SHIFT) | (hi << (64 - FP_SHIFT));
    r.hi = (int64_t)hi >> FP_SHIFT;
    return r;
}

/* x < y for two 128-bit values. */
static int tri_less(TriWide x, TriWide y)
{
    return x.hi < y.hi || (x.hi == y.hi && x.lo < y.lo);
}

/* 1 when the picture can be sampled by masking: pixels present, both sides
 * powers of two, widthLog2 matching the width. */
static int tex_usable(const Pic16b* t)
{
    return t->pixels && t->width && t->height && (t->width & (t->width - 1)) == 0 &&
           (t->height & (t->height - 1)) == 0 && (1u << t->widthLog2) == t->width;
}

void draw3D(Object3D* obj)
{
    if (!obj || !obj->projected)
        return;
    /* The target is the back buffer as it is now: a screen closed and
     * reopened must never leave the rasteriser writing into freed memory.
     * Row starts are then 4-byte aligned, which the dbl routines rely on. */
    rTarget = scr_getBuf();
    if (!rTarget || ((uintptr_t)rTarget & 3))
        return;
    if (!fillTri)
        fillTri = drawtritex16b_FixPoint_split;
    if (!scanLine)
        scanLine = draw_scanline;
    if (obj->texture < 0 || obj->texture >= TEX_SLOTS)
        return; /* untextured objects are not drawn */
    if (!tex_usable(&tex[obj->texture]))
        return;
    curtex = &tex[obj->texture];
    if (!obj_frameOk(obj) || (obj->faceCount && !obj->edges))
        return;
    clr_edge(obj);

    const Vertex3D* base = obj->verts + (size_t)obj->frame * obj->vertCount;
    const fixed sw = fp_convi(SCR_W), sh = fp_convi(SCR_H);
    for (uint32_t i = 0; i < obj->faceCount; i++) {
        Face3D* fc = &obj->faces[i];
        const Vertex3D* a = &base[fc->ia];
        const Vertex3D* b = &base[fc->ib];
        const Vertex3D* c = &base[fc->ic];
        /* wholly outside one plane of the view volume */
        fc->visible = (a->clip & b->clip & c->clip) == 0 ? 0xFF : 0;
        /* no clipping at the eye plane: one vertex behind drops the triangle */
        if (!fc->visible || a->behind || b->behind || c->behind)
            continue;
        if ((a->sx < 0 && b->sx < 0 && c->sx < 0) || (a->sx >= sw && b->sx >= sw && c->sx >= sw) ||
            (a->sy < 0 && b->sy < 0 && c->sy < 0) || (a->sy >= sh && b->sy >= sh && c->sy >= sh))
            continue;
        /* back faces: counter-clockwise on the screen. The differences and
         * products are kept whole: truncated to 32 bits the products wrap
         * once a triangle spans more than about 724 x 724 pixels (one close
         * to the eye), and the test would drop front faces or keep back
         * faces. */
        if (tri_less(tri_mulWide((int64_t)a->sx - b->sx, (int64_t)b->sy - c->sy),
                     tri_mulWide((int64_t)a->sy - b->sy, (int64_t)b->sx - c->sx)))
            continue;
        fillTri(fc, obj);
    }
}
