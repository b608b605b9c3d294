/*
 * s3m: the S3M loader (see s3m.h).
 *
 * The header, the order list, both parapointer tables and every sample
 * instrument's "SCRS" are checked before the record is touched; after that
 * only a lack of memory can make the load fail.
 */
#include "modplay/s3m.h"

#include <cstdlib>
#include <cstring>

#include "modplay/effects.h"
#include "modplay/modreader.h"

enum {
    S3M_MIN_FILE = 48,          /* shortest image the detector looks at */
    S3M_HEADER = 96,            /* fixed header: the order list follows */
    S3M_FILE_TYPE = 16,         /* byte 29 of every S3M */
    S3M_CHANNELS = 32,          /* channel settings in the header */
    S3M_ROWS = 64,              /* rows of every pattern */
    S3M_MAX_INSTRUMENTS = 255,  /* cells name instruments with one byte */
    S3M_MAX_PATTERNS = 256,     /* order entries are bytes */
    S3M_MAX_ORDERS = 256,       /* entries of the record's order list */
    S3M_INSTRUMENT_HEADER = 80, /* bytes of an instrument header */
    /* the longest packed pattern a writer can mean: 64 rows of 32 entries of
     * at most 6 bytes and an end byte each; a row that never ends is cut
     * there */
    S3M_MAX_PACKED = S3M_ROWS * (S3M_CHANNELS * 6 + 1),
    S3M_MAX_FRAMES = (1 << 21) - 1, /* longest sample kept: positions are 22.10 in 32 bits */
    S3M_PANNING_TABLE = 252        /* byte 53 when the default panning table is there */
};

static const char S3M_TAG[] = "SCRM";
static const char S3M_SAMPLE_TAG[] = "SCRS";

/* ---- Descriptors ---------------------------------------------------------- */

int MODFILE_S3MGetFormatID(void) { return MODFILE_FORMAT_S3M; }
const char* MODFILE_S3MGetDescription(void) { return "Future Crew Screamtracker 3"; }
const char* MODFILE_S3MGetAuthor(void) { return MODFILE_AUTHOR_TEXT; }
const char* MODFILE_S3MGetVersion(void) { return "v0.01b"; }
const char* MODFILE_S3MGetCopyright(void) { return MODFILE_COPYRIGHT_TEXT; }

int MODFILE_IsS3M(const char* data, int len)
{
    if (!data || len < S3M_MIN_FILE)
        return 0;
    return memcmp(data + 44, S3M_TAG, 4) == 0;
}

/* ---- Commands ------------------------------------------------------------- */

/* Translates command cmd (1 = A .. 26 = Z) with its parameter into the cell's
 * first column (and the row's spare cell for the global effects). */
static void s3mConvertEffect(MODFILE_CELL* cell, MODFILE_CELL* spare, int cmd, int param)
{
    int x = param >> 4, y = param & 15;
    cell->effectOp[0] = (uint8_t)param;
    switch (cmd) {
    case 1: cell->effect[0] = MODFX_S3M_SPEED; break; /* Axx set speed */
    case 2: /* Bxx jump to order: global */
        cell->effect[0] = MODFX_NONE;
        cell->effectOp[0] = 0;
        effect_spareJump(spare, 1, param, 1);
        break;
    case 3: /* Cxy pattern break to decimal row xy: global */
        cell->effect[0] = MODFX_NONE;
        cell->effectOp[0] = 0;
        effect_spareJump(spare, 0, (x * 10 + y > 63) ? 0 : x * 10 + y, 1);
        break;
    case 4: cell->effect[0] = MODFX_S3M_VOLUME_SLIDE; break; /* Dxy volume slide, fine kinds */
    case 5: cell->effect[0] = MODFX_S3M_PORTA_DOWN; break; /* Exx portamento down, fine kinds */
    case 6: cell->effect[0] = MODFX_S3M_PORTA_UP; break; /* Fxx portamento up, fine kinds */
    case 7: cell->effect[0] = MODFX_TONE_PORTA; break; /* Gxx tone portamento */
    case 8: cell->effect[0] = MODFX_VIBRATO; break; /* Hxy vibrato */
    case 10: cell->effect[0] = MODFX_ARPEGGIO; break; /* Jxy arpeggio */
    case 11: cell->effect[0] = MODFX_S3M_VIBRATO_VOLSLIDE; break; /* Kxy vibrato + volume slide */
    case 12: cell->effect[0] = MODFX_S3M_TONE_PORTA_VOLSLIDE; break; /* Lxy tone portamento + volume slide */
    case 15: cell->effect[0] = MODFX_SAMPLE_OFFSET; break; /* Oxx sample offset */
    case 17: cell->effect[0] = MODFX_S3M_RETRIGGER; break; /* Qxy retrigger + volume change */
    case 18: cell->effect[0] = MODFX_S3M_TREMOLO; break; /* Rxy tremolo */
    case 19: /* Sxy special */
        cell->effectOp[0] = (uint8_t)y;
        switch (x) {
        case 0x2: cell->effect[0] = MODFX_SET_FINETUNE; break; /* S2x set finetune */
        case 0x3: cell->effect[0] = MODFX_VIBRATO_WAVE; break; /* S3x vibrato waveform */
        case 0x4: cell->effect[0] = MODFX_TREMOLO_WAVE; break; /* S4x tremolo waveform */
        case 0x8: cell->effect[0] = MODFX_COARSE_PANNING; break; /* S8x coarse panning */
        case 0xC: cell->effect[0] = MODFX_NOTE_CUT; break; /* SCx note cut */
        case 0xD: cell->effect[0] = MODFX_NOTE_DELAY; break; /* SDx note delay */
        case 0xB: cell->effect[0] = MODFX_PATTERN_LOOP; break;  /* SBx pattern loop */
        case 0xE: cell->effect[0] = MODFX_PATTERN_DELAY; break; /* SEx pattern delay */
        default: /* S0x filter, S1x glissando, SAx stereo control, ...: nothing */
            cell->effect[0] = MODFX_NONE;
            cell->effectOp[0] = (uint8_t)param;
            break;
        }
        break;
    case 20: cell->effect[0] = MODFX_S3M_TEMPO; break; /* Txx set tempo */
    case 24: /* Xxx set panning, 0x00 left .. 0x80 right (0xA4 surround: the centre) */
        cell->effect[0] = param <= 0x80 || param == 0xA4 ? MODFX_SET_PANNING : MODFX_NONE;
        cell->effectOp[0] = (uint8_t)(param == 0xA4 ? 128 : param >= 0x80 ? 255 : 2 * param);
        break;
    case 22: cell->effect[0] = MODFX_GLOBAL_VOLUME; break; /* Vxx set global volume */
    default: cell->effect[0] = MODFX_NONE; break; /* none, I, M, N, P, U, W, Y, Z: nothing */
    }
}

/* ---- Patterns ------------------------------------------------------------- */

/* Unpacks the 64 rows of pattern p from the window r, placing file channel
 * i in record channel remap[i] (255: skipped); stops at the first entry that
 * runs past the window (the rest stays empty). */
static void s3mDecodePattern(MODFILE* mod, int p, ModReader* r, const uint8_t* remap)
{
    for (int row = 0; row < S3M_ROWS; row++) {
        MODFILE_CELL* cells = mod->patterns[p] + row * mod->numChannels;
        MODFILE_CELL* spare = cells + mod->numChannels - 1;
        for (;;) {
            unsigned b = mr_u8(r);
            if (b == 0)
                break; /* end of the row (or of the data: then r->error) */
            unsigned note = 255, instrument = 0, volume = 255, cmd = 0, param = 0;
            if (b & 0x20) {
                note = mr_u8(r);
                instrument = mr_u8(r);
            }
            if (b & 0x40)
                volume = mr_u8(r);
            if (b & 0x80) {
                cmd = mr_u8(r);
                param = mr_u8(r);
            }
            if (r->error)
                return;
            unsigned channel = remap[b & 31];
            if (channel == 255)
                continue; /* a disabled channel: its bytes are skipped */
            MODFILE_CELL* cell = cells + channel;
            if (b & 0x20) {
                cell->note = (uint8_t)note;
                cell->instrument = (int32_t)instrument;
            }
            if (b & 0x40)
                cell->volume = (uint8_t)volume;
            if (b & 0x80)
                s3mConvertEffect(cell, spare, (int)cmd, (int)param);
        }
        if (r->error)
            return;
    }
}

/* Allocates every pattern (all bytes 0xFF) and unpacks those the file holds;
 * patterns past filePatterns stay empty. 0, or -2 when out of memory. */
static int s3mPatterns(MODFILE* mod, ModReader* r, int64_t pointersAt, int filePatterns, const uint8_t* remap)
{
    mod->patterns = (MODFILE_CELL**)calloc((size_t)mod->numPatterns, sizeof(MODFILE_CELL*));
    mod->patternRows = (int32_t*)calloc((size_t)mod->numPatterns, sizeof(int32_t));
    if (!mod->patterns || !mod->patternRows)
        return -2;
    for (int p = 0; p < mod->numPatterns; p++) {
        size_t bytes = (size_t)S3M_ROWS * (size_t)mod->numChannels * sizeof(MODFILE_CELL);
        mod->patterns[p] = (MODFILE_CELL*)malloc(bytes);
        if (!mod->patterns[p])
            return -2;
        memset(mod->patterns[p], 0xFF, bytes);
        mod->patternRows[p] = S3M_ROWS;
        if (p >= filePatterns)
            continue;
        mr_seek(r, pointersAt + 2 * p);
        int64_t at = (int64_t)mr_u16(r) * 16;
        if (at == 0)
            continue; /* parapointer 0: an empty pattern */
        /* the packed data follows its 2-byte length, which is not trusted */
        ModReader w = mr_window(r, at + 2, S3M_MAX_PACKED);
        s3mDecodePattern(mod, p, &w, remap);
    }
    return 0;
}

/* ---- Instruments and samples ---------------------------------------------- */

/* The header offset of instrument i, or 0 when it has none (parapointer 0
 * or a header past the file). */
static int64_t s3mInstrumentAt(ModReader* r, int64_t pointersAt, int i)
{
    mr_seek(r, pointersAt + 2 * i);
    int64_t at = (int64_t)mr_u16(r) * 16;
    return (at > 0 && at < r->len) ? at : 0;
}

/* 1 when instrument header `at` is a sample (type 1). */
static int s3mIsSample(ModReader* r, int64_t at)
{
    if (at == 0)
        return 0;
    mr_seek(r, at);
    return mr_u8(r) == 1;
}

/* Fills sample and instrument i from the header at `at` and copies the
 * sample data (cut to what the file holds, followed by a zero guard frame).
 * *budget is how many bytes of sample data may still be allocated: the
 * data is cut to it and it is lowered by what is taken, so that headers
 * pointing at the same bytes cannot make the loader allocate more than the
 * file's size in all. 0, or -2 when out of memory. */
static int s3mSample(MODFILE* mod, ModReader* r, int64_t at, int i, int64_t* budget)
{
    MODFILE_SAMPLE* s = &mod->samples[i];
    MODFILE_INSTRUMENT* ins = &mod->instruments[i];
    mr_seek(r, at + 13);
    int64_t dataAt = (int64_t)mr_u8(r) << 16;
    dataAt = (dataAt | mr_u16(r)) * 16;
    uint32_t length = mr_u32(r);
    uint32_t loopStart = mr_u32(r);
    uint32_t loopEnd = mr_u32(r);
    unsigned volume = mr_u8(r);
    mr_skip(r, 2); /* reserved, packing */
    unsigned flags = mr_u8(r);
    uint32_t rate = mr_u32(r);
    mr_seek(r, at + 48);
    mr_bytes(r, ins->name, 28);
    ins->name[27] = 0;
    memcpy(s->name, ins->name, sizeof s->name);

    s->is16Bit = (flags & 4) ? 1 : 0;
    s->stereo = (flags & 2) ? 1 : 0;
    s->loop = (flags & 1) ? 1 : 0;
    s->pingPong = 0;
    s->relativeNote = 0;
    s->finetune = 0;
    s->panning = 255;
    s->volume = s->initVolume = (uint8_t)(volume > 64 ? 64 : volume);
    s->c4Rate = s->initC4Rate = (int32_t)(rate > 0x7FFFFFFF ? 0x7FFFFFFF : rate);

    int width = s->is16Bit ? 2 : 1;
    int64_t frames = length;
    int64_t present = (dataAt < r->len) ? (r->len - dataAt) / width : 0;
    if (frames > present)
        frames = present;
    if (frames > S3M_MAX_FRAMES)
        frames = S3M_MAX_FRAMES;
    if (frames > *budget / width)
        frames = *budget / width;
    *budget -= frames * width;
    s->length = (int32_t)frames;
    /* a loop is kept inside the (possibly cut) sample */
    int64_t end = loopEnd < (uint32_t)frames ? (int64_t)loopEnd : frames;
    if ((int64_t)loopStart >= end)
        s->loop = 0;
    if (s->loop) {
        s->loopStart = (int32_t)loopStart;
        s->loopEnd = (int32_t)end;
    } else {
        s->loopStart = s->loopEnd = s->length - 1;
    }

    if (frames > 0) {
        /* stereo samples keep their first (left) block */
        void* d = calloc((size_t)frames + 1, (size_t)width);
        if (!d)
            return -2;
        mr_seek(r, dataAt);
        if (s->is16Bit) {
            int16_t* d16 = (int16_t*)d;
            unsigned flip = mod->s3mUnsignedSamples ? 0x8000 : 0;
            for (int64_t k = 0; k < frames; k++)
                d16[k] = (int16_t)(uint16_t)(mr_u16(r) ^ flip);
        } else {
            uint8_t* d8 = (uint8_t*)d;
            mr_bytes(r, d8, frames);
            if (mod->s3mUnsignedSamples)
                for (int64_t k = 0; k < frames; k++)
                    d8[k] ^= 0x80;
        }
        s->data = d;
    }
    for (int j = 0; j < 256; j++)
        ins->noteSample[j] = s;
    return 0;
}

/* Fills every instrument: sample instruments (type 1) get their sample,
 * the others an empty sample and an empty note table. 0, or -2. */
static int s3mInstruments(MODFILE* mod, ModReader* r, int64_t pointersAt)
{
    mod->samples = (MODFILE_SAMPLE*)calloc((size_t)mod->numSamples + 1, sizeof(MODFILE_SAMPLE));
    mod->instruments = (MODFILE_INSTRUMENT*)calloc((size_t)mod->numInstruments + 1, sizeof(MODFILE_INSTRUMENT));
    if (!mod->samples || !mod->instruments)
        return -2;
    int64_t budget = r->len; /* bytes of sample data left to allocate */
    for (int i = 0; i < mod->numInstruments; i++) {
        MODFILE_INSTRUMENT* ins = &mod->instruments[i];
        ins->fadeout = 0x7FFF;
        for (int j = 0; j < 256; j++)
            ins->noteMap[j] = (uint8_t)j;
        ins->volEnvelope.loopStart = ins->volEnvelope.loopEnd = ins->volEnvelope.sustain = 255;
        ins->panEnvelope.loopStart = ins->panEnvelope.loopEnd = ins->panEnvelope.sustain = 255;
        int64_t at = s3mInstrumentAt(r, pointersAt, i);
        if (s3mIsSample(r, at) && s3mSample(mod, r, at, i, &budget) < 0)
            return -2;
    }
    return 0;
}

/* ---- The loader ----------------------------------------------------------- */

int MODFILE_SetS3M(const char* data, int len, MODFILE* mod)
{
    if (!mod || !MODFILE_IsS3M(data, len))
        return -1;
    ModReader r;
    mr_init(&r, data, len);

    /* the header and the tables are checked whole before the record is touched */
    mr_seek(&r, 29);
    unsigned type = mr_u8(&r);
    mr_seek(&r, 32);
    unsigned orderCount = mr_u16(&r);
    unsigned instrumentCount = mr_u16(&r);
    unsigned patternCount = mr_u16(&r);
    unsigned flags = mr_u8(&r);
    mr_seek(&r, 40);
    unsigned versionHigh = mr_u8(&r);
    unsigned versionLow = mr_u8(&r);
    unsigned sampleFormat = mr_u8(&r);
    mr_seek(&r, 48);
    unsigned globalVolume = mr_u8(&r);
    unsigned speed = mr_u8(&r);
    unsigned tempo = mr_u8(&r);
    unsigned masterVolume = mr_u8(&r);
    mr_u8(&r); /* ultra click removal */
    unsigned panningTable = mr_u8(&r);
    uint8_t settings[S3M_CHANNELS];
    mr_seek(&r, 64);
    mr_bytes(&r, settings, S3M_CHANNELS);
    if (type != S3M_FILE_TYPE || instrumentCount > S3M_MAX_INSTRUMENTS || patternCount > S3M_MAX_PATTERNS)
        return -1;
    int64_t instrumentPointersAt = S3M_HEADER + (int64_t)orderCount;
    int64_t patternPointersAt = instrumentPointersAt + 2 * (int64_t)instrumentCount;
    if (patternPointersAt + 2 * (int64_t)patternCount > len)
        return -1;
    /* the default panning table follows the parapointers when byte 53 says
     * so; a channel's entry counts when its bit 5 is set */
    uint8_t panning[S3M_CHANNELS] = {};
    if (panningTable == S3M_PANNING_TABLE) {
        mr_seek(&r, patternPointersAt + 2 * (int64_t)patternCount);
        mr_bytes(&r, panning, S3M_CHANNELS);
    }

    uint8_t orders[S3M_MAX_ORDERS];
    int songLength = orderCount > S3M_MAX_ORDERS ? S3M_MAX_ORDERS : (int)orderCount;
    mr_seek(&r, S3M_HEADER);
    mr_bytes(&r, orders, songLength);
    /* 255 ends the song: what follows it plays only when jumped to, so one
     * pass stops there (unless nothing could be played before it) */
    int endAt = -1, playableBefore = 0;
    for (int i = 0; i < songLength && endAt < 0; i++) {
        if (orders[i] == 255)
            endAt = i;
        else if (orders[i] < 254)
            playableBefore = 1;
    }
    if (endAt >= 0 && playableBefore)
        songLength = endAt;
    int playable = 0, missing = 0;
    for (int i = 0; i < songLength; i++) {
        if (orders[i] < 254) {
            playable = 1;
            if (orders[i] >= patternCount)
                missing = 1;
        }
    }
    if (!playable)
        return -1;
    for (unsigned i = 0; i < instrumentCount; i++) {
        int64_t at = s3mInstrumentAt(&r, instrumentPointersAt, (int)i);
        if (!s3mIsSample(&r, at))
            continue;
        char tag[4];
        mr_seek(&r, at + 76);
        mr_bytes(&r, tag, 4);
        if (memcmp(tag, S3M_SAMPLE_TAG, 4) != 0)
            return -1;
    }

    /* from here on only a lack of memory can fail */
    MODFILE saved = *mod;
    mr_seek(&r, 0);
    mr_bytes(&r, mod->name, 28);
    mod->name[27] = 0;
    mod->songLength = songLength;
    mod->numInstruments = mod->numSamples = (int32_t)instrumentCount;
    mod->numPatterns = (int32_t)patternCount + (missing ? 1 : 0);
    mod->restartPos = 0;
    mod->linearFreq = 0;
    for (int k = 0; k < 6; k++)
        mod->s3mFlags[k] = (int32_t)((flags >> (k + 1)) & 1);
    mod->trackerVersion = (uint16_t)(versionHigh << 8 | versionLow);
    /* Screamtracker itself (tracker 1 in the version's top nibble) and
     * Imago Orpheus (2) play notes from the classic period table; songs
     * saved by the later trackers (Impulse Tracker 3, Schism 4, OpenMPT 5
     * and on) are meant in equal temperament */
    mod->equalTempered = (versionLow >> 4) >= 3 ? 1 : 0;
    mod->s3mUnsignedSamples = (sampleFormat == 2) ? 1 : 0;
    mod->initGlobalVolume = (uint8_t)(globalVolume > 64 ? 64 : globalVolume);
    /* a song must start with a speed and a tempo the player accepts */
    mod->initSpeed = (uint8_t)(speed == 0 ? 6 : speed);
    mod->initBpm = (uint8_t)(tempo < 32 ? 125 : tempo);

    /* file channel -> record channel; 255 for a disabled channel */
    uint8_t remap[S3M_CHANNELS];
    mod->numChannels = 0;
    for (int c = 0; c < MODFILE_MAX_CHANNELS; c++)
        mod->channels[c].voice.enabled = 0;
    for (int i = 0; i < S3M_CHANNELS; i++) {
        remap[i] = 255;
        if (settings[i] < 16) {
            MODFILE_CHANNEL* ch = &mod->channels[mod->numChannels];
            remap[i] = (uint8_t)mod->numChannels;
            ch->voice.enabled = 1;
            /* a mono song (master volume bit 7 clear) plays every channel
             * in the centre; else the table's position 0..15 counts, or
             * the left or right side of the channel's setting */
            if (!(masterVolume & 0x80))
                ch->defaultPanning = 128;
            else if (panning[i] & 0x20)
                ch->defaultPanning = (uint8_t)((panning[i] & 15) * 17);
            else
                ch->defaultPanning = settings[i] < 8 ? MODFILE_PAN_LEFT : MODFILE_PAN_RIGHT;
            mod->numChannels++;
        }
    }
    /* the spare channel holds the global effects; it is never mixed, but
     * it is enabled so that the per-tick entry of the pattern delay (SEx)
     * runs, as it does in MOD and XM songs */
    mod->channels[mod->numChannels].voice.enabled = 1;
    mod->channels[mod->numChannels].defaultPanning = 128;
    mod->numChannels++;

    memset(mod->orders, 0, sizeof mod->orders);
    memcpy(mod->orders, orders, (size_t)songLength);
    /* order entries naming patterns the file lacks play an empty pattern */
    for (int i = 0; i < songLength; i++)
        if (mod->orders[i] < 254 && mod->orders[i] >= patternCount)
            mod->orders[i] = (uint8_t)patternCount;
    mod->instruments = nullptr;
    mod->samples = nullptr;
    mod->patterns = nullptr;
    mod->patternRows = nullptr;

    if (s3mInstruments(mod, &r, instrumentPointersAt) < 0 ||
        s3mPatterns(mod, &r, patternPointersAt, (int)patternCount, remap) < 0) {
        MODFILE_ReleaseSong(mod);
        *mod = saved;
        return -2;
    }
    mod->formatId = MODFILE_FORMAT_S3M;
    return 0;
}
