/*
 * modreader: bounds-checked reads from a byte image (see modreader.h).
 */
#include "modplay/modreader.h"

#include <cstring>

void mr_init(ModReader* r, const void* data, int64_t len)
{
    r->data = (const uint8_t*)data;
    r->len = (data && len > 0) ? len : 0;
    r->pos = 0;
    r->error = 0;
}

ModReader mr_window(const ModReader* r, int64_t start, int64_t size)
{
    ModReader w = *r;
    w.error = 0;
    if (start < 0 || start > r->len)
        start = r->len;
    if (size < 0)
        size = 0;
    w.len = (size > r->len - start) ? r->len : start + size;
    w.pos = start;
    return w;
}

void mr_seek(ModReader* r, int64_t pos)
{
    r->pos = (pos < 0) ? r->len : pos;
}

void mr_skip(ModReader* r, int64_t n)
{
    if (n < 0)
        n = 0;
    /* positions never need to grow far past the end: keep them from wrapping */
    if (r->pos > r->len || n > r->len - r->pos)
        r->pos = r->len + 1;
    else
        r->pos += n;
}

int64_t mr_left(const ModReader* r)
{
    return (r->pos < r->len) ? r->len - r->pos : 0;
}

/* True when n more bytes can be read; otherwise marks the reader as run out. */
static int mr_have(ModReader* r, int64_t n)
{
    if (r->pos <= r->len && n <= r->len - r->pos)
        return 1;
    r->error = 1;
    r->pos = r->len + 1;
    return 0;
}

unsigned mr_u8(ModReader* r)
{
    if (!mr_have(r, 1))
        return 0;
    return r->data[r->pos++];
}

unsigned mr_u16(ModReader* r)
{
    if (!mr_have(r, 2))
        return 0;
    const uint8_t* p = r->data + r->pos;
    r->pos += 2;
    return (unsigned)p[0] | ((unsigned)p[1] << 8);
}

unsigned mr_u16be(ModReader* r)
{
    if (!mr_have(r, 2))
        return 0;
    const uint8_t* p = r->data + r->pos;
    r->pos += 2;
    return ((unsigned)p[0] << 8) | (unsigned)p[1];
}

uint32_t mr_u32(ModReader* r)
{
    if (!mr_have(r, 4))
        return 0;
    const uint8_t* p = r->data + r->pos;
    r->pos += 4;
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

int64_t mr_bytes(ModReader* r, void* dst, int64_t n)
{
    if (n <= 0)
        return 0;
    int64_t avail = mr_left(r);
    int64_t got = (n < avail) ? n : avail;
    if (got > 0)
        memcpy(dst, r->data + r->pos, (size_t)got);
    if (got < n) {
        memset((uint8_t*)dst + got, 0, (size_t)(n - got));
        r->error = 1;
        r->pos = r->len + 1;
    } else {
        r->pos += got;
    }
    return got;
}
