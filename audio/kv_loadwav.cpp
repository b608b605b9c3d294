/*
 * kv_loadwav: WAV file reader (see kv_loadwav.h).
 */
#include "audio/kv_loadwav.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

/* ---- Globals -------------------------------------------------------------
 * Constant data for the whole run. */
static const struct {
    int code;
    const char* text;
} WAV_MESSAGES[] = {
    {WAV_NOT_FOUND, "file not found!"},
    {WAV_NOT_PCM16, "must be PCM 16b!"},
    {WAV_NOT_WAVE, "not a WAVE file!"},
    {WAV_CORRUPT, "file corrupted!"},
    {WAV_NO_MEM, "not enough mem!"},
};

enum {
    WAV_FMT_MIN = 16,    /* bytes of the format chunk that are read */
    WAV_TAG_PCM = 1,     /* format tag of integer PCM */
    WAV_BITS = 16,       /* the only sample width read */
    WAV_BLOCK = 4096     /* bytes of sample data read at a time */
};

/* ---- Bounds-checked reader -----------------------------------------------
 * Reads never pass the end of the file: a read that would returns zeros and
 * sets the sticky error flag, as does an I/O error. */
struct WavReader {
    FILE* f;
    long long len; /* file length in bytes */
    long long pos; /* offset of the next read, 0 .. len */
    int err;       /* 0, or 1 once a read failed */
};

static void wr_read(WavReader* r, uint8_t* buf, long long n)
{
    if (r->err || n > r->len - r->pos) {
        memset(buf, 0, (size_t)n);
        r->err = 1;
        return;
    }
    if (fread(buf, 1, (size_t)n, r->f) != (size_t)n) {
        memset(buf, 0, (size_t)n);
        r->err = 1;
        return;
    }
    r->pos += n;
}

static uint32_t wr_u32(WavReader* r)
{
    uint8_t b[4];
    wr_read(r, b, 4);
    return (uint32_t)b[0] | (uint32_t)b[1] << 8 | (uint32_t)b[2] << 16 | (uint32_t)b[3] << 24;
}

static unsigned wr_u16(WavReader* r)
{
    uint8_t b[2];
    wr_read(r, b, 2);
    return (unsigned)b[0] | (unsigned)b[1] << 8;
}

/* 1 when the next four bytes are the given tag. */
static int wr_tag(WavReader* r, const char* tag)
{
    uint8_t b[4];
    wr_read(r, b, 4);
    return !r->err && memcmp(b, tag, 4) == 0;
}

/* Moves to offset pos, which must lie within the file. */
static void wr_seek(WavReader* r, long long pos)
{
    if (r->err || pos < 0 || pos > r->len || fseek(r->f, (long)pos, SEEK_SET) != 0) {
        r->err = 1;
        return;
    }
    r->pos = pos;
}

/* ---- Loader --------------------------------------------------------------- */

static int16_t* wav_fail(int code, int* size)
{
    if (size)
        *size = 0;
    return (int16_t*)(intptr_t)code;
}

/* Where the samples are and how they are laid out; set by wav_walk. */
struct WavLayout {
    long long dataPos; /* offset of the sample data */
    long long dataLen; /* bytes of sample data, all inside the file */
    int channels;      /* 1 or 2 */
};

/* Checks the format chunk whose body starts at the reader's position. */
static int wav_format(WavReader* r, uint32_t size, WavLayout* out)
{
    if (size < WAV_FMT_MIN)
        return WAV_CORRUPT;
    unsigned tag = wr_u16(r);
    unsigned channels = wr_u16(r);
    wr_u32(r); /* sample rate: not used, nothing is resampled */
    wr_u32(r); /* byte rate */
    wr_u16(r); /* block alignment */
    unsigned bits = wr_u16(r);
    if (r->err)
        return WAV_CORRUPT;
    if (tag != WAV_TAG_PCM || bits != WAV_BITS || (channels != 1 && channels != 2))
        return WAV_NOT_PCM16;
    out->channels = (int)channels;
    return 0;
}

/* Walks the chunks after "WAVE" until both "fmt " and "data" are found.
 * Returns 0 or a code. */
static int wav_walk(WavReader* r, WavLayout* out)
{
    int haveFmt = 0, haveData = 0;
    while (!(haveFmt && haveData)) {
        if (r->len - r->pos < 8)
            return WAV_CORRUPT; /* the list ended before both were found */
        uint8_t id[4];
        wr_read(r, id, 4);
        uint32_t size = wr_u32(r);
        long long body = r->pos;
        if (size > r->len - body)
            return WAV_CORRUPT; /* the chunk runs past the end of the file */
        if (memcmp(id, "fmt ", 4) == 0) {
            int code = wav_format(r, size, out);
            if (code)
                return code;
            haveFmt = 1;
        } else if (memcmp(id, "data", 4) == 0) {
            out->dataPos = body;
            out->dataLen = size;
            haveData = 1;
        }
        /* the next chunk starts after the pad byte of an odd size; a pad
         * missing at the very end of the file is forgiven */
        long long next = body + size + (size & 1);
        if (next > r->len)
            next = r->len;
        wr_seek(r, next);
        if (r->err)
            return WAV_CORRUPT;
    }
    return 0;
}

int16_t* loadwav(const char* path, int* size)
{
    FILE* f = path ? fopen(path, "rb") : nullptr;
    if (!f)
        return wav_fail(WAV_NOT_FOUND, size);
    WavReader r = {f, 0, 0, 0};
    if (fseek(f, 0, SEEK_END) == 0) {
        long end = ftell(f);
        r.len = end > 0 ? end : 0;
    }
    wr_seek(&r, 0);

    int code = 0;
    WavLayout lay = {0, 0, 0};
    if (!wr_tag(&r, "RIFF"))
        code = WAV_NOT_WAVE;
    wr_u32(&r); /* RIFF size: not trusted, the file length bounds the walk */
    if (!code && !wr_tag(&r, "WAVE"))
        code = WAV_NOT_WAVE;
    if (!code)
        code = wav_walk(&r, &lay);
    if (code) {
        fclose(f);
        return wav_fail(code, size);
    }

    /* whole frames only; a frame needs 2 bytes a channel */
    long long frames = lay.dataLen / 2 / lay.channels;
    if (frames == 0) {
        fclose(f);
        return wav_fail(WAV_CORRUPT, size);
    }
    if (frames > INT_MAX / 2) {
        fclose(f);
        return wav_fail(WAV_NO_MEM, size);
    }
    int16_t* data = (int16_t*)malloc((size_t)frames * sizeof(int16_t));
    if (!data) {
        fclose(f);
        return wav_fail(WAV_NO_MEM, size);
    }

    wr_seek(&r, lay.dataPos);
    uint8_t block[WAV_BLOCK]; /* a multiple of every frame size (2 and 4) */
    const long long frameBytes = 2LL * lay.channels;
    long long done = 0;
    while (done < frames && !r.err) {
        long long n = (frames - done) * frameBytes;
        if (n > WAV_BLOCK)
            n = WAV_BLOCK;
        wr_read(&r, block, n);
        for (long long i = 0; i < n; i += frameBytes) {
            int16_t left = (int16_t)(uint16_t)(block[i] | block[i + 1] << 8);
            if (lay.channels == 1) {
                data[done++] = left;
            } else {
                int16_t right = (int16_t)(uint16_t)(block[i + 2] | block[i + 3] << 8);
                data[done++] = (int16_t)((left >> 1) + (right >> 1));
            }
        }
    }
    fclose(f);
    if (r.err) { /* an I/O error: the size was checked before */
        free(data);
        return wav_fail(WAV_CORRUPT, size);
    }
    if (size)
        *size = (int)(frames * 2);
    return data;
}

int wav_code(const int16_t* result)
{
    if (!result)
        return WAV_NOT_FOUND;
    intptr_t v = (intptr_t)result;
    for (const auto& m : WAV_MESSAGES)
        if (v == m.code)
            return m.code;
    return 0;
}

const char* wav_message(int code)
{
    for (const auto& m : WAV_MESSAGES)
        if (code == m.code)
            return m.text;
    return nullptr;
}
