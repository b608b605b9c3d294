/*
 * xm: the Extended Module loader (see xm.h).
 */
#include "modplay/xm.h"

#include <cstdlib>
#include <cstring>

#include "modplay/effects.h"
#include "modplay/modreader.h"

/* ---- Constant tables ------------------------------------------------------
 * Lifetime: whole run; read only. */

/* Entry i = floor(8363 * 2^((i - 128) / 1536)), i = 0..255. */
const int32_t xmfinetab[256] = {
    7893, 7897, 7900, 7904, 7907, 7911, 7915, 7918, 7922, 7925, 7929, 7932, 7936, 7940, 7943, 7947,
    7950, 7954, 7958, 7961, 7965, 7968, 7972, 7975, 7979, 7983, 7986, 7990, 7993, 7997, 8001, 8004,
    8008, 8012, 8015, 8019, 8022, 8026, 8030, 8033, 8037, 8041, 8044, 8048, 8051, 8055, 8059, 8062,
    8066, 8070, 8073, 8077, 8081, 8084, 8088, 8091, 8095, 8099, 8102, 8106, 8110, 8113, 8117, 8121,
    8124, 8128, 8132, 8135, 8139, 8143, 8146, 8150, 8154, 8157, 8161, 8165, 8169, 8172, 8176, 8180,
    8183, 8187, 8191, 8194, 8198, 8202, 8205, 8209, 8213, 8217, 8220, 8224, 8228, 8231, 8235, 8239,
    8243, 8246, 8250, 8254, 8257, 8261, 8265, 8269, 8272, 8276, 8280, 8284, 8287, 8291, 8295, 8299,
    8302, 8306, 8310, 8314, 8317, 8321, 8325, 8329, 8332, 8336, 8340, 8344, 8347, 8351, 8355, 8359,
    8363, 8366, 8370, 8374, 8378, 8381, 8385, 8389, 8393, 8397, 8400, 8404, 8408, 8412, 8416, 8419,
    8423, 8427, 8431, 8435, 8438, 8442, 8446, 8450, 8454, 8457, 8461, 8465, 8469, 8473, 8476, 8480,
    8484, 8488, 8492, 8496, 8499, 8503, 8507, 8511, 8515, 8519, 8523, 8526, 8530, 8534, 8538, 8542,
    8546, 8549, 8553, 8557, 8561, 8565, 8569, 8573, 8577, 8580, 8584, 8588, 8592, 8596, 8600, 8604,
    8608, 8611, 8615, 8619, 8623, 8627, 8631, 8635, 8639, 8643, 8646, 8650, 8654, 8658, 8662, 8666,
    8670, 8674, 8678, 8682, 8686, 8690, 8693, 8697, 8701, 8705, 8709, 8713, 8717, 8721, 8725, 8729,
    8733, 8737, 8741, 8745, 8749, 8752, 8756, 8760, 8764, 8768, 8772, 8776, 8780, 8784, 8788, 8792,
    8796, 8800, 8804, 8808, 8812, 8816, 8820, 8824, 8828, 8832, 8836, 8840, 8844, 8848, 8852, 8856,
};

enum {
    XM_MIN_FILE = 1024,        /* shortest image accepted */
    XM_MAX_CHANNELS = 32,      /* file channels */
    XM_MAX_PATTERNS = 256,
    XM_MAX_INSTRUMENTS = 128,
    XM_MAX_SAMPLES = 16,       /* per instrument */
    XM_MAX_ROWS = 256,
    XM_EMPTY_ROWS = 64,        /* rows of a pattern stored with 0 rows */
    XM_MAX_ENV_POINTS = 12,
    XM_MAX_FRAMES = (1 << 21) - 1 /* longest sample kept: positions are 22.10 in 32 bits */
};

static const char XM_TAG[] = "Extended Module: ";

/* ---- Descriptors ---------------------------------------------------------- */

int MODFILE_XMGetFormatID(void) { return MODFILE_FORMAT_XM; }
const char* MODFILE_XMGetDescription(void) { return "Triton FastTracker II Extended Module"; }
const char* MODFILE_XMGetAuthor(void) { return MODFILE_AUTHOR_TEXT; }
const char* MODFILE_XMGetVersion(void) { return "v0.01b"; }
const char* MODFILE_XMGetCopyright(void) { return MODFILE_COPYRIGHT_TEXT; }

int MODFILE_IsXM(const char* data, int len)
{
    if (!data || len < XM_MIN_FILE)
        return 0;
    return memcmp(data, XM_TAG, 17) == 0 && (uint8_t)data[37] == 0x1A;
}

/* ---- Effects ------------------------------------------------------------- */

void convertXMEffects(MODFILE* mod, int pattern, int row, int type, int param, uint16_t* effect, uint8_t* effectOp)
{
    if (!effect || !effectOp)
        return;
    MODFILE_CELL* spare = nullptr;
    if (mod && pattern >= 0 && pattern < mod->numPatterns && mod->patterns && mod->patterns[pattern] && row >= 0 &&
        row < mod->patternRows[pattern])
        spare = &mod->patterns[pattern][row * mod->numChannels + mod->numChannels - 1];

    int x = param >> 4, y = param & 15;
    *effectOp = (uint8_t)param;
    switch (type) {
    case 0x0: *effect = param ? MODFX_ARPEGGIO : MODFX_NONE; break; /* 0xy arpeggio */
    case 0x1: *effect = MODFX_XM_PORTA_UP; break; /* 1xx portamento up */
    case 0x2: *effect = MODFX_XM_PORTA_DOWN; break; /* 2xx portamento down */
    case 0x3: *effect = MODFX_TONE_PORTA; break; /* 3xx tone portamento */
    case 0x4: *effect = MODFX_VIBRATO; break; /* 4xy vibrato */
    case 0x5: *effect = MODFX_XM_TONE_PORTA_VOLSLIDE; break; /* 5xy tone portamento + volume slide */
    case 0x6: *effect = MODFX_XM_VIBRATO_VOLSLIDE; break; /* 6xy vibrato + volume slide */
    case 0x7: *effect = MODFX_TREMOLO; break; /* 7xy tremolo */
    case 0x8: *effect = MODFX_SET_PANNING; break; /* 8xx set panning */
    case 0x9: *effect = MODFX_SAMPLE_OFFSET; break; /* 9xx sample offset */
    case 0xA: *effect = MODFX_XM_VOLUME_SLIDE; break; /* Axy volume slide */
    case 0xB: /* Bxx position jump: global */
        if (spare)
            effect_spareJump(spare, 1, param, 0);
        break;
    case 0xC: /* Cxx set volume */
        *effect = MODFX_SET_VOLUME;
        *effectOp = (uint8_t)(param > 64 ? 64 : param);
        break;
    case 0xD: /* Dxx pattern break, decimal row: global */
        *effect = MODFX_NONE;
        if (spare)
            effect_spareJump(spare, 0, x * 10 + y, 0);
        break;
    case 0xE: /* Exy extended */
        switch (x) {
        case 0x1: *effect = MODFX_FINE_PORTA_UP; *effectOp = (uint8_t)y; break; /* E1x fine portamento up */
        case 0x2: *effect = MODFX_FINE_PORTA_DOWN; *effectOp = (uint8_t)y; break; /* E2x fine portamento down */
        case 0x4: *effect = MODFX_VIBRATO_WAVE; *effectOp = (uint8_t)y; break; /* E4x vibrato waveform */
        case 0x5: *effect = MODFX_XM_SET_FINETUNE; *effectOp = (uint8_t)y; break; /* E5x set finetune */
        case 0x7: *effect = MODFX_TREMOLO_WAVE; *effectOp = (uint8_t)y; break; /* E7x tremolo waveform */
        case 0x8: *effect = MODFX_COARSE_PANNING; *effectOp = (uint8_t)y; break; /* E8x coarse panning */
        case 0x9: *effect = MODFX_RETRIGGER; *effectOp = (uint8_t)y; break; /* E9x retrigger */
        case 0xA: *effect = MODFX_FINE_VOLUME_UP; *effectOp = (uint8_t)y; break; /* EAx fine volume up */
        case 0xB: *effect = MODFX_FINE_VOLUME_DOWN; *effectOp = (uint8_t)y; break; /* EBx fine volume down */
        case 0xC: *effect = MODFX_NOTE_CUT; *effectOp = (uint8_t)y; break; /* ECx note cut */
        case 0xD: *effect = MODFX_NOTE_DELAY; *effectOp = (uint8_t)y; break; /* EDx note delay */
        case 0x6: *effect = MODFX_PATTERN_LOOP; *effectOp = (uint8_t)y; break; /* E6x pattern loop */
        case 0xE: *effect = MODFX_PATTERN_DELAY; *effectOp = (uint8_t)y; break; /* EEx pattern delay */
        default: /* E0x filter, E3x glissando, EFx: nothing */
            *effect = MODFX_NONE;
            break;
        }
        break;
    case 0xF: *effect = MODFX_SPEED_TEMPO; break; /* Fxx speed / tempo */
    case 0x10: *effect = MODFX_GLOBAL_VOLUME; break; /* Gxx set global volume */
    case 0x11: *effect = MODFX_GLOBAL_VOLUME_SLIDE; break; /* Hxy global volume slide */
    case 0x14: *effect = MODFX_XM_KEY_OFF; break; /* Kxx key off at tick xx */
    case 0x15: *effect = MODFX_XM_ENV_POSITION; break; /* Lxx set envelope position */
    case 0x19: *effect = MODFX_PANNING_SLIDE; break; /* Pxy panning slide */
    case 0x1B: *effect = MODFX_XM_MULTI_RETRIG; break; /* Rxy multi retrigger */
    case 0x1D: *effect = MODFX_XM_TREMOR; break; /* Txy tremor */
    case 0x21: /* X1x, X2x extra fine portamento */
        *effect = x == 1 ? MODFX_XM_XFINE_PORTA_UP : x == 2 ? MODFX_XM_XFINE_PORTA_DOWN : MODFX_NONE;
        *effectOp = (uint8_t)y;
        break;
    default: *effect = MODFX_NONE; break; /* I, J, M..O, Q, S, U..W, Y, Z: nothing */
    }
}

/* ---- Patterns ------------------------------------------------------------ */

/* Stores the volume-column byte v of a cell. */
static void xmVolumeColumn(MODFILE_CELL* cell, int v)
{
    int y = v & 15;
    switch (v >> 4) {
    case 0x1: case 0x2: case 0x3: case 0x4: /* 0x10..0x4F set volume */
        cell->volume = (uint8_t)(v - 16);
        break;
    case 0x5: /* 0x50 set volume 64; 0x51..0x5F nothing */
        if (v == 0x50)
            cell->volume = 64;
        break;
    case 0x6: cell->effect[0] = MODFX_XM_VOLUME_SLIDE; cell->effectOp[0] = (uint8_t)y; break;        /* slide down */
    case 0x7: cell->effect[0] = MODFX_XM_VOLUME_SLIDE; cell->effectOp[0] = (uint8_t)(y << 4); break; /* slide up */
    case 0x8: cell->effect[0] = MODFX_FINE_VOLUME_DOWN; cell->effectOp[0] = (uint8_t)y; break;        /* fine slide down */
    case 0x9: cell->effect[0] = MODFX_FINE_VOLUME_UP; cell->effectOp[0] = (uint8_t)y; break;        /* fine slide up */
    case 0xC: cell->effect[0] = MODFX_SET_PANNING; cell->effectOp[0] = (uint8_t)(y << 4); break;  /* set panning */
    case 0xD: cell->effect[0] = MODFX_PANNING_SLIDE; cell->effectOp[0] = (uint8_t)y; break;        /* panning slide left */
    case 0xE: cell->effect[0] = MODFX_PANNING_SLIDE; cell->effectOp[0] = (uint8_t)(y << 4); break; /* panning slide right */
    case 0xA: cell->effect[0] = MODFX_XM_VOL_VIBRATO_SPEED; cell->effectOp[0] = (uint8_t)y; break; /* vibrato speed */
    case 0xB: cell->effect[0] = MODFX_XM_VOL_VIBRATO; cell->effectOp[0] = (uint8_t)y; break; /* vibrato */
    case 0xF: cell->effect[0] = MODFX_XM_VOL_TONE_PORTA; cell->effectOp[0] = (uint8_t)y; break; /* tone portamento */
    default: /* 0x00..0x0F: nothing */
        break;
    }
}

/* Decodes `rows` packed rows of pattern p from the window r; stops at the
 * first cell that runs past the window (the rest stays empty). */
static void xmDecodePattern(MODFILE* mod, int p, int rows, ModReader* r)
{
    int fileChannels = mod->numChannels - 1;
    for (int row = 0; row < rows; row++) {
        for (int c = 0; c < fileChannels; c++) {
            unsigned b = mr_u8(r);
            unsigned note, ins, vol, type, param;
            if (b & 0x80) {
                note = (b & 0x01) ? mr_u8(r) : 0;
                ins = (b & 0x02) ? mr_u8(r) : 0;
                vol = (b & 0x04) ? mr_u8(r) : 0;
                type = (b & 0x08) ? mr_u8(r) : 0;
                param = (b & 0x10) ? mr_u8(r) : 0;
            } else {
                note = b;
                ins = mr_u8(r);
                vol = mr_u8(r);
                type = mr_u8(r);
                param = mr_u8(r);
            }
            if (r->error)
                return;
            MODFILE_CELL* cell = &mod->patterns[p][row * mod->numChannels + c];
            if (note == 97)
                cell->note = 254;
            else if (note >= 1 && note <= 96)
                cell->note = (uint8_t)(((note - 1) / 12) << 4 | (note - 1) % 12);
            cell->instrument = (int32_t)ins;
            xmVolumeColumn(cell, (int)vol);
            convertXMEffects(mod, p, row, (int)type, (int)param, &cell->effect[1], &cell->effectOp[1]);
        }
    }
}

/* ---- Instruments and samples --------------------------------------------- */

/* Fills an envelope from the instrument header at `base` (points at
 * base + pointsAt, count, sustain and loop points, type byte); -2 when the
 * point array cannot be allocated. */
static int xmEnvelope(ModReader* r, int64_t base, MODFILE_ENVELOPE* env, int pointsAt, int countAt, int sustainAt,
                      int loopStartAt, int loopEndAt, int typeAt)
{
    mr_seek(r, base + typeAt);
    unsigned type = mr_u8(r);
    mr_seek(r, base + countAt);
    unsigned count = mr_u8(r);
    if (!(type & 1) || count == 0) {
        env->enabled = 0;
        env->loopStart = env->loopEnd = env->sustain = 255;
        return 0;
    }
    if (count > XM_MAX_ENV_POINTS)
        count = XM_MAX_ENV_POINTS;
    env->points = (MODFILE_ENVPOINT*)calloc(count, sizeof(MODFILE_ENVPOINT));
    if (!env->points)
        return -2;
    env->enabled = 1;
    env->numPoints = (uint8_t)count;
    mr_seek(r, base + sustainAt);
    unsigned sustain = mr_u8(r);
    mr_seek(r, base + loopStartAt);
    unsigned loopStart = mr_u8(r);
    mr_seek(r, base + loopEndAt);
    unsigned loopEnd = mr_u8(r);
    env->sustain = (type & 2) ? (uint8_t)sustain : 255;
    env->loopStart = (type & 4) ? (uint8_t)loopStart : 255;
    env->loopEnd = (type & 4) ? (uint8_t)loopEnd : 255;
    mr_seek(r, base + pointsAt);
    for (unsigned i = 0; i < count; i++) {
        unsigned tick = mr_u16(r);
        unsigned value = mr_u16(r);
        /* the first point is at tick 0, where every envelope starts (the
         * player steps from point to point and would otherwise run past the
         * last one, or reach back before the first); ticks never go back;
         * values stay in 0..64 */
        if (i == 0)
            tick = 0;
        if (i > 0 && tick < env->points[i - 1].tick)
            tick = env->points[i - 1].tick;
        env->points[i].tick = (uint16_t)tick;
        env->points[i].value = (uint16_t)(value > 64 ? 64 : value);
    }
    return 0;
}

/* Fills sample s from its 40-byte header at the reader's position; `bytesLeft`
 * is how much of the file remains from the sample's data on, so a sample cut
 * by the end of the file is shortened to what is there. Returns the declared
 * data size in bytes. */
static uint32_t xmSampleHeader(ModReader* r, MODFILE_SAMPLE* s, int64_t bytesLeft)
{
    uint32_t lengthBytes = mr_u32(r);
    uint32_t loopStartBytes = mr_u32(r);
    uint32_t loopLengthBytes = mr_u32(r);
    unsigned volume = mr_u8(r);
    int finetune = (int8_t)mr_u8(r);
    unsigned type = mr_u8(r);
    unsigned panning = mr_u8(r);
    int relativeNote = (int8_t)mr_u8(r);
    mr_u8(r); /* reserved */
    mr_bytes(r, s->name, 22);
    s->name[22] = 0;

    s->volume = s->initVolume = (uint8_t)(volume > 64 ? 64 : volume);
    s->finetune = (int8_t)finetune;
    s->c4Rate = s->initC4Rate = xmfinetab[finetune + 128];
    s->relativeNote = (int8_t)relativeNote;
    s->panning = (uint8_t)(panning >> 2);
    s->stereo = 0;
    s->is16Bit = (type & 0x10) ? 1 : 0;

    int shift = s->is16Bit ? 1 : 0;
    int64_t frames = (int64_t)(lengthBytes >> shift);
    int64_t present = (bytesLeft > 0 ? bytesLeft : 0) >> shift;
    if (frames > present)
        frames = present;
    if (frames > XM_MAX_FRAMES)
        frames = XM_MAX_FRAMES;
    int64_t loopStart = loopStartBytes >> shift;
    int64_t loopLength = loopLengthBytes >> shift;

    s->length = (int32_t)frames;
    int kind = type & 3;
    s->loop = (kind == 1 || kind == 2) ? 1 : 0;
    s->pingPong = (kind == 2) ? 1 : 0;
    /* a loop is kept inside the sample; one that ends past the data is cut */
    if (loopStart > frames)
        loopStart = frames;
    if (loopLength > frames - loopStart)
        loopLength = frames - loopStart;
    if (loopLength <= 0)
        s->loop = s->pingPong = 0;
    if (s->loop) {
        s->loopStart = (int32_t)loopStart;
        s->loopEnd = (int32_t)(loopStart + loopLength);
    } else {
        s->loopStart = s->loopEnd = s->length - 1;
    }
    return lengthBytes;
}

/* Allocates and decodes the delta-coded data of s from the reader's position
 * (length frames plus a zero guard frame). 0, or -2 when out of memory. */
static int xmSampleData(ModReader* r, MODFILE_SAMPLE* s)
{
    if (s->length <= 0)
        return 0;
    size_t frames = (size_t)s->length;
    if (s->is16Bit) {
        int16_t* d = (int16_t*)calloc(frames + 1, sizeof(int16_t));
        if (!d)
            return -2;
        uint16_t sum = 0;
        for (size_t i = 0; i < frames; i++) {
            sum = (uint16_t)(sum + mr_u16(r));
            d[i] = (int16_t)sum;
        }
        s->data = d;
    } else {
        int8_t* d = (int8_t*)calloc(frames + 1, 1);
        if (!d)
            return -2;
        mr_bytes(r, d, (int64_t)frames);
        uint8_t sum = 0;
        for (size_t i = 0; i < frames; i++) {
            sum = (uint8_t)(sum + (uint8_t)d[i]);
            d[i] = (int8_t)sum;
        }
        s->data = d;
    }
    return 0;
}

/* Counts the samples of all instruments from the reader's position without
 * moving it. -1 when an instrument claims more than 16 samples. */
static int xmCountSamples(const ModReader* from, int numInstruments, int* total)
{
    ModReader r = *from;
    *total = 0;
    for (int i = 0; i < numInstruments; i++) {
        int64_t start = r.pos;
        mr_seek(&r, start);
        uint32_t size = mr_u32(&r);
        mr_seek(&r, start + 27);
        unsigned n = mr_u16(&r);
        uint32_t headerStep = n > 0 ? mr_u32(&r) : 0;
        if (n > XM_MAX_SAMPLES)
            return -1;
        mr_seek(&r, start);
        mr_skip(&r, size);
        int64_t bytes = 0;
        for (unsigned k = 0; k < n; k++) {
            int64_t at = r.pos;
            bytes += mr_u32(&r);
            mr_seek(&r, at);
            mr_skip(&r, headerStep);
        }
        mr_skip(&r, bytes);
        *total += (int)n;
    }
    return 0;
}

/* Fills every instrument and sample from the reader's position. 0, or -2
 * when out of memory. */
static int xmInstruments(MODFILE* mod, ModReader* r)
{
    int first = 0;
    for (int i = 0; i < mod->numInstruments; i++) {
        MODFILE_INSTRUMENT* ins = &mod->instruments[i];
        int64_t start = r->pos;
        uint32_t size = mr_u32(r);
        mr_bytes(r, ins->name, 22);
        ins->name[22] = 0;
        for (int m = 0; m < 256; m++) {
            ins->noteMap[m] = (uint8_t)m;
            ins->noteSample[m] = nullptr;
        }
        ins->volEnvelope.loopStart = ins->volEnvelope.loopEnd = ins->volEnvelope.sustain = 255;
        ins->panEnvelope.loopStart = ins->panEnvelope.loopEnd = ins->panEnvelope.sustain = 255;
        mr_seek(r, start + 27);
        unsigned n = mr_u16(r);
        if (n > (unsigned)(mod->numSamples - first))
            n = (unsigned)(mod->numSamples - first);
        if (n == 0) {
            mr_seek(r, start);
            mr_skip(r, size);
            continue;
        }
        uint32_t headerStep = mr_u32(r);
        uint8_t sampleOf[96];
        mr_bytes(r, sampleOf, 96);
        for (int note = 0; note < 96; note++)
            if (sampleOf[note] < n)
                ins->noteSample[((note / 12) << 4) | (note % 12)] = &mod->samples[first + sampleOf[note]];
        if (xmEnvelope(r, start, &ins->volEnvelope, 129, 225, 227, 228, 229, 233) < 0 ||
            xmEnvelope(r, start, &ins->panEnvelope, 177, 226, 230, 231, 232, 234) < 0)
            return -2;
        mr_seek(r, start + 235);
        ins->vibType = (uint8_t)(mr_u8(r) & 3);
        ins->vibSweep = (uint8_t)mr_u8(r);
        ins->vibDepth = (uint8_t)(mr_u8(r) & 15);
        ins->vibRate = (uint8_t)(mr_u8(r) & 63);
        ins->fadeout = (uint16_t)mr_u16(r);

        /* sample headers, then the data of each sample in order */
        mr_seek(r, start);
        mr_skip(r, size);
        int64_t headersAt = r->pos;
        mr_skip(r, (int64_t)n * headerStep);
        int64_t dataAt = r->pos;
        uint32_t declared[XM_MAX_SAMPLES];
        int64_t sampleAt = dataAt;
        for (unsigned k = 0; k < n; k++) {
            mr_seek(r, headersAt);
            mr_skip(r, (int64_t)k * headerStep);
            int64_t left = (sampleAt <= r->len) ? r->len - sampleAt : 0;
            declared[k] = xmSampleHeader(r, &mod->samples[first + k], left);
            sampleAt += declared[k];
        }
        mr_seek(r, dataAt);
        for (unsigned k = 0; k < n; k++) {
            int64_t at = r->pos;
            if (xmSampleData(r, &mod->samples[first + k]) < 0)
                return -2;
            mr_seek(r, at);
            mr_skip(r, declared[k]);
        }
        first += (int)n;
    }
    return 0;
}

/* Allocates and decodes every pattern from the reader's position (the file's
 * filePatterns, then an empty one for missing order entries when numPatterns
 * is larger). 0, or -2 when out of memory. */
static int xmPatterns(MODFILE* mod, ModReader* r, int filePatterns)
{
    mod->patterns = (MODFILE_CELL**)calloc((size_t)mod->numPatterns + 1, sizeof(MODFILE_CELL*));
    mod->patternRows = (int32_t*)calloc((size_t)mod->numPatterns + 1, sizeof(int32_t));
    if (!mod->patterns || !mod->patternRows)
        return -2;
    for (int p = 0; p < mod->numPatterns; p++) {
        int64_t start = r->pos;
        uint32_t headerLength = 0;
        unsigned rows = 0, packed = 0;
        if (p < filePatterns) {
            headerLength = mr_u32(r);
            mr_seek(r, start + 5);
            rows = mr_u16(r);
            packed = mr_u16(r);
        }
        int storedRows = rows == 0 ? XM_EMPTY_ROWS : (int)rows;
        mod->patternRows[p] = storedRows;
        mod->patterns[p] = (MODFILE_CELL*)malloc((size_t)storedRows * (size_t)mod->numChannels * sizeof(MODFILE_CELL));
        if (!mod->patterns[p])
            return -2;
        MODFILE_ClearPattern(mod, p);
        if (p >= filePatterns)
            continue;
        mr_seek(r, start);
        mr_skip(r, headerLength);
        if (packed != 0 && rows > 0) {
            ModReader w = mr_window(r, r->pos, packed);
            xmDecodePattern(mod, p, (int)rows, &w);
        }
        mr_skip(r, packed);
    }
    return 0;
}

/* Allocates the zeroed sample and instrument arrays. 0, or -2. */
static int xmAllocInstruments(MODFILE* mod)
{
    mod->samples = (MODFILE_SAMPLE*)calloc((size_t)mod->numSamples + 1, sizeof(MODFILE_SAMPLE));
    mod->instruments = (MODFILE_INSTRUMENT*)calloc((size_t)mod->numInstruments + 1, sizeof(MODFILE_INSTRUMENT));
    return (mod->samples && mod->instruments) ? 0 : -2;
}

/* ---- The loader ---------------------------------------------------------- */

int MODFILE_SetXM(const char* data, int len, MODFILE* mod)
{
    if (!mod || !MODFILE_IsXM(data, len))
        return -1;
    ModReader r;
    mr_init(&r, data, len);

    /* the header is checked whole before the record is touched */
    mr_seek(&r, 60);
    uint32_t headerSize = mr_u32(&r);
    unsigned songLength = mr_u16(&r);
    unsigned restartPos = mr_u16(&r);
    unsigned fileChannels = mr_u16(&r);
    unsigned filePatterns = mr_u16(&r);
    unsigned numInstruments = mr_u16(&r);
    unsigned flags = mr_u16(&r);
    unsigned speed = mr_u16(&r) & 255;
    unsigned tempo = mr_u16(&r) & 255;
    uint8_t orders[256];
    mr_bytes(&r, orders, 256);

    if (headerSize < 20 || (int64_t)headerSize > (int64_t)len - 60)
        return -1;
    if (fileChannels < 1 || fileChannels > XM_MAX_CHANNELS || filePatterns > XM_MAX_PATTERNS ||
        numInstruments > XM_MAX_INSTRUMENTS)
        return -1;
    if (songLength > 256)
        songLength = 256;
    int playable = 0, missing = 0;
    for (unsigned i = 0; i < songLength; i++) {
        if (orders[i] < 254) {
            playable = 1;
            if (orders[i] >= filePatterns)
                missing = 1;
        }
    }
    if (!playable)
        return -1;
    mr_seek(&r, 60 + (int64_t)headerSize);
    int64_t patternsAt = r.pos;
    for (unsigned p = 0; p < filePatterns; p++) {
        int64_t start = r.pos;
        uint32_t headerLength = mr_u32(&r);
        mr_seek(&r, start + 5);
        unsigned rows = mr_u16(&r);
        unsigned packed = mr_u16(&r);
        if (rows > XM_MAX_ROWS)
            return -1;
        mr_seek(&r, start);
        mr_skip(&r, headerLength);
        mr_skip(&r, packed);
    }
    int totalSamples = 0;
    if (xmCountSamples(&r, (int)numInstruments, &totalSamples) < 0)
        return -1;

    /* from here on only a lack of memory can fail */
    MODFILE saved = *mod;
    memcpy(mod->name, data + 17, 20);
    mod->name[20] = 0;
    mod->songLength = (int32_t)songLength;
    mod->restartPos = (int32_t)(restartPos < songLength ? restartPos : 0);
    mod->numChannels = (int32_t)fileChannels + 1;
    mod->numPatterns = (int32_t)filePatterns + (missing ? 1 : 0);
    mod->numInstruments = (int32_t)numInstruments;
    mod->numSamples = totalSamples;
    mod->linearFreq = (flags & 1) ? 1 : 0;
    mod->equalTempered = 0;
    /* a song must start with a speed and a tempo the player accepts */
    mod->initSpeed = (uint8_t)(speed == 0 ? 6 : speed);
    mod->initBpm = (uint8_t)(tempo < 32 ? 125 : tempo);
    memcpy(mod->orders, orders, 256);
    /* order entries naming patterns the file lacks play an empty pattern */
    for (unsigned i = 0; i < songLength; i++)
        if (orders[i] < 254 && orders[i] >= filePatterns)
            mod->orders[i] = (uint8_t)filePatterns;
    mod->instruments = nullptr;
    mod->samples = nullptr;
    mod->patterns = nullptr;
    mod->patternRows = nullptr;

    mr_seek(&r, patternsAt);
    if (xmPatterns(mod, &r, (int)filePatterns) < 0 || xmAllocInstruments(mod) < 0 || xmInstruments(mod, &r) < 0) {
        MODFILE_ReleaseSong(mod);
        *mod = saved;
        return -2;
    }
    mod->initGlobalVolume = 64;
    mod->s3mUnsignedSamples = 0;
    mod->formatId = MODFILE_FORMAT_XM;
    for (int c = 0; c < mod->numChannels; c++) {
        mod->channels[c].voice.enabled = 1;
        mod->channels[c].defaultPanning = 128;
    }
    return 0;
}
