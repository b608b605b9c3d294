/*
 * kv_3D: an object's edges, normals, sphere map, pose and teardown (see kv_3D.h).
 */
#include "render3d/kv_3D.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "math/kv_vector.h"
#include "render3d/kv_3D_local.h"
#include "video/kv_video.h"

/* ---- Globals ---------------------------------------------------------------
 * Lifetime: while one object's edges are collected (add_edge). */
Edge3D edge[EDGE_MAX]; /* scratch edge table, entries 0 .. edgenum-1 in use */
int edgenum = 0;       /* 0 .. EDGE_MAX */

/* Hash index over the scratch table, so that looking an edge up does not
 * scan every earlier edge: slot -> scratch index + 1, 0 = empty. Twice as
 * many slots as entries keeps the probe chains short and always ends a probe
 * at an empty slot. */
enum { EDGE_HASH_BITS = 16, EDGE_HASH = 1 << EDGE_HASH_BITS };
static int32_t edgeHash[EDGE_HASH]; /* 0 or scratch index + 1 */
static int edgeHashed = 0;          /* scratch entries 0 .. edgeHashed-1 are indexed */

/* Empties the object without freeing: what a loader starts from and what it
 * leaves after a failure (after freeing what it allocated itself). */
void obj_reset(Object3D* obj)
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
            printf("%s", kv_msgNoMem);
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
int obj_frameOk(const Object3D* obj)
{
    return obj->frame >= 0 && (uint32_t)obj->frame < obj->frameCount && obj->verts;
}

void make_envmap(Object3D* obj)
{
    if (!obj_frameOk(obj))
        return;
    Vertex3D* base = obj->verts + (size_t)obj->frame * obj->vertCount;
    for (uint32_t i = 0; i < obj->vertCount; i++) {
        const fixed tnx = base[i].tnx, tny = base[i].tny;
        if (tnx > -(1 << 23) && tnx < (1 << 23) && tny > -(1 << 23) && tny < (1 << 23)) {
            /* Every float step is exact here: n * 2^-12 * 0.5 + 0.5 is
             * (n + 4096) * 2^-13 with n + 4096 below 2^24, and * 524288
             * makes it (n + 4096) * 64, a whole number below 2^30. */
            base[i].u = (tnx + 4096) * 64;
            base[i].v = (4096 - tny) * 64;
            continue;
        }
        float nx = fp_fconv(tnx);
        float ny = fp_fconv(tny);
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
