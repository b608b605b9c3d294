/*
 * mod: the MOD loader (see mod.h).
 *
 * The header is read and checked whole before the record is touched (the
 * trial load of MODFILE_IsMOD stops there and only scans the periods), then
 * the patterns and samples are allocated and filled.
 */
#include "modplay/mod.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "modplay/effects.h"
#include "modplay/modreader.h"

/* ---- Constant tables ------------------------------------------------------
 * Lifetime: whole run; read only. */

/* Entries 0..107: the period of note index n = 12 * octave + semitone,
 * close to 6848 * 2^(-n / 12) as the classic trackers rounded it (each within
 * 1%), with note value (n / 12) << 4 | n % 12. Entries 108..114: periods that
 * some trackers wrote off the table, with the note they stand for. Looked up
 * from the end, so the last entry of a period wins. */
const MOD_PERIODNOTE s3m_amiga2st3[115] = {
    {6848, 0x00}, {6464, 0x01}, {6096, 0x02}, {5760, 0x03}, {5424, 0x04}, {5120, 0x05}, /* octave 0 */
    {4832, 0x06}, {4560, 0x07}, {4304, 0x08}, {4064, 0x09}, {3840, 0x0A}, {3628, 0x0B},
    {3424, 0x10}, {3232, 0x11}, {3048, 0x12}, {2880, 0x13}, {2712, 0x14}, {2560, 0x15}, /* octave 1 */
    {2416, 0x16}, {2280, 0x17}, {2152, 0x18}, {2032, 0x19}, {1920, 0x1A}, {1814, 0x1B},
    {1712, 0x20}, {1616, 0x21}, {1525, 0x22}, {1440, 0x23}, {1359, 0x24}, {1283, 0x25}, /* octave 2 */
    {1211, 0x26}, {1143, 0x27}, {1078, 0x28}, {1018, 0x29}, {961, 0x2A},  {902, 0x2B},
    {856, 0x30},  {808, 0x31},  {762, 0x32},  {720, 0x33},  {678, 0x34},  {640, 0x35},  /* octave 3 */
    {604, 0x36},  {570, 0x37},  {538, 0x38},  {508, 0x39},  {480, 0x3A},  {453, 0x3B},
    {428, 0x40},  {404, 0x41},  {381, 0x42},  {360, 0x43},  {339, 0x44},  {320, 0x45},  /* octave 4 */
    {302, 0x46},  {285, 0x47},  {269, 0x48},  {254, 0x49},  {240, 0x4A},  {226, 0x4B},
    {214, 0x50},  {202, 0x51},  {190, 0x52},  {180, 0x53},  {170, 0x54},  {160, 0x55},  /* octave 5 */
    {151, 0x56},  {143, 0x57},  {135, 0x58},  {127, 0x59},  {120, 0x5A},  {113, 0x5B},
    {107, 0x60},  {101, 0x61},  {95, 0x62},   {90, 0x63},   {85, 0x64},   {80, 0x65},   /* octave 6 */
    {76, 0x66},   {71, 0x67},   {67, 0x68},   {63, 0x69},   {60, 0x6A},   {57, 0x6B},
    {53, 0x70},   {50, 0x71},   {47, 0x72},   {45, 0x73},   {42, 0x74},   {40, 0x75},   /* octave 7 */
    {37, 0x76},   {35, 0x77},   {33, 0x78},   {31, 0x79},   {30, 0x7A},   {28, 0x7B},
    {26, 0x80},   {25, 0x81},   {23, 0x82},   {22, 0x83},   {21, 0x84},   {20, 0x85},   /* octave 8 */
    {18, 0x86},   {17, 0x87},   {16, 0x88},   {15, 0x89},   {15, 0x8A},   {14, 0x8B},
    {75, 0x66},   {1140, 0x27}, {1280, 0x25}, {1524, 0x22}, {1356, 0x24}, {1016, 0x29}, /* off the table */
    {692, 0x34},
};

/* C-4 rates for finetunes -8..7 (index = finetune + 8), each finetune step
 * an eighth of a semitone: entry i = round(8363 * 2^((i - 8) / 96)). */
const int32_t s3m_finetunes[16] = {
    7894, 7951, 8008, 8066, 8125, 8184, 8243, 8303, 8363, 8424, 8485, 8546, 8608, 8670, 8733, 8797,
};

/* What the loader says about a period it cannot place (on stderr). */
static const char NOTE_NOT_FOUND_FORMAT[] = "Note not found: %x\n";

/* Signatures at offset 1080 and their file channel counts. */
static const struct {
    char tag[5];
    int channels;
} modSignatures[] = {
    {"M.K.", 4}, {"FLT4", 4}, {"2CHN", 2}, {"6CHN", 6}, {"8CHN", 8}, {"10CH", 10}, {"12CH", 12}, {"14CH", 14},
    {"16CH", 16}, {"18CH", 18}, {"20CH", 20}, {"22CH", 22}, {"24CH", 24}, {"26CH", 26}, {"28CH", 28}, {"30CH", 30},
    {"32CH", 32},
};

enum {
    MOD_SIGNATURE_AT = 1080, /* the 4-byte signature of a 31-instrument file */
    MOD_HEADER_15 = 600,     /* header of a 15-instrument file: title, samples, length, restart, orders */
    MOD_HEADER_31 = 1084,    /* header of a 31-instrument file, signature included */
    MOD_ROWS = 64,           /* rows of every pattern */
    MOD_ORDERS = 128,        /* entries of the order table */
    MOD_MAX_PATTERNS = 256,  /* order entries are bytes */
    MOD_TRIAL_MIN = 1080     /* shortest image the trial load looks at */
};

/* ---- Descriptors ---------------------------------------------------------- */

int MODFILE_MODGetFormatID(void) { return MODFILE_FORMAT_MOD; }
const char* MODFILE_MODGetDescription(void) { return "Amiga Pro/Soundtracker"; }
const char* MODFILE_MODGetAuthor(void) { return MODFILE_AUTHOR_TEXT; }
const char* MODFILE_MODGetVersion(void) { return "v0.03b"; }
const char* MODFILE_MODGetCopyright(void) { return MODFILE_COPYRIGHT_TEXT; }

/* ---- Header --------------------------------------------------------------- */

/* What the header says, checked. */
struct ModHeader {
    int numInstruments;   /* 31, or 15 without a signature */
    int fileChannels;     /* 2..32 */
    int64_t patternsAt;   /* 600 or 1084 */
    int songLength;       /* 1..128 */
    int numPatterns;      /* 1..256, at least 1 + the largest order entry in use */
    int64_t sampleBytes;  /* sum of the declared sample lengths */
    int64_t sampleDataAt; /* where the first sample's data starts */
    uint8_t orders[MOD_ORDERS];
};

/* Reads and checks the header. 0, or -1 when the image is shorter than its
 * header, its song length is 0 or no order entry in use is below 254. */
static int modReadHeader(ModReader* r, ModHeader* h)
{
    h->numInstruments = 15;
    h->fileChannels = 4;
    if (r->len >= MOD_HEADER_31) {
        mr_seek(r, MOD_SIGNATURE_AT);
        char tag[4];
        mr_bytes(r, tag, 4);
        for (const auto& sig : modSignatures) {
            if (memcmp(tag, sig.tag, 4) == 0) {
                h->numInstruments = 31;
                h->fileChannels = sig.channels;
                break;
            }
        }
    }
    h->patternsAt = (h->numInstruments == 31) ? MOD_HEADER_31 : MOD_HEADER_15;
    if (r->len < h->patternsAt)
        return -1;

    h->sampleBytes = 0;
    for (int i = 0; i < h->numInstruments; i++) {
        mr_seek(r, 20 + 30 * i + 22);
        h->sampleBytes += (int64_t)mr_u16be(r) * 2;
    }
    mr_seek(r, 20 + 30 * h->numInstruments);
    int songLength = (int)mr_u8(r);
    mr_u8(r); /* restart byte: not used */
    mr_bytes(r, h->orders, MOD_ORDERS);
    if (songLength == 0)
        return -1;
    /* the order table has 128 entries */
    h->songLength = songLength > MOD_ORDERS ? MOD_ORDERS : songLength;

    int largest = -1, playable = 0;
    for (int i = 0; i < h->songLength; i++) {
        if (h->orders[i] > largest)
            largest = h->orders[i];
        if (h->orders[i] < 254)
            playable = 1;
    }
    if (!playable)
        return -1;

    /* The patterns fill what is left between the 1084-byte header and the
     * sample data when that is a whole number of them; otherwise the order
     * table says how many there are. Never fewer than the orders name. */
    int64_t patternBytes = (int64_t)h->fileChannels * 4 * MOD_ROWS;
    int64_t rest = r->len - h->sampleBytes - MOD_HEADER_31;
    int fromOrders = largest + 1;
    int count = fromOrders;
    if (rest >= 0 && rest % patternBytes == 0 && rest / patternBytes <= MOD_MAX_PATTERNS)
        count = (int)(rest / patternBytes);
    h->numPatterns = count < fromOrders ? fromOrders : count;

    /* The sample data follows the last pattern when the file holds exactly
     * what it declares, else it is the file's last sampleBytes bytes. A file
     * too short for that has its samples right after the patterns, cut
     * where the file ends. */
    int64_t patternsEnd = h->patternsAt + (int64_t)h->numPatterns * patternBytes;
    if (r->len == (int64_t)h->numPatterns * patternBytes + h->sampleBytes + MOD_HEADER_31)
        h->sampleDataAt = patternsEnd;
    else
        h->sampleDataAt = r->len - h->sampleBytes;
    if (h->sampleDataAt < patternsEnd)
        h->sampleDataAt = patternsEnd;
    return 0;
}

/* ---- Cells ---------------------------------------------------------------- */

/* The note value of a period: the last table entry with that period; 255
 * for period 0; -1 when the period is not in the table. */
static int modPeriodNote(unsigned period)
{
    if (period == 0)
        return 255;
    for (int i = 114; i >= 108; i--)
        if (s3m_amiga2st3[i].period == period)
            return s3m_amiga2st3[i].note;
    /* entries 0..107 never rise: find the last one not below the period */
    int lo = 0, hi = 107;
    while (lo < hi) {
        int mid = (lo + hi + 1) / 2;
        if (s3m_amiga2st3[mid].period >= period)
            lo = mid;
        else
            hi = mid - 1;
    }
    return s3m_amiga2st3[lo].period == period ? s3m_amiga2st3[lo].note : -1;
}

/* Translates effect `type` with its parameter into the cell's first column
 * (and the row's spare cell for the global effects). */
static void modConvertEffect(MODFILE_CELL* cell, MODFILE_CELL* spare, int type, int param)
{
    int x = param >> 4, y = param & 15;
    cell->effectOp[0] = (uint8_t)param;
    switch (type) {
    case 0x0: cell->effect[0] = param ? MODFX_ARPEGGIO : MODFX_NONE; break; /* 0xy arpeggio */
    case 0x1: cell->effect[0] = MODFX_PORTA_UP; break;
    case 0x2: cell->effect[0] = MODFX_PORTA_DOWN; break;
    case 0x3: cell->effect[0] = MODFX_TONE_PORTA; break;
    case 0x4: cell->effect[0] = MODFX_VIBRATO; break;
    case 0x5: cell->effect[0] = MODFX_TONE_PORTA_VOLSLIDE; break;
    case 0x6: cell->effect[0] = MODFX_VIBRATO_VOLSLIDE; break;
    case 0x7: cell->effect[0] = MODFX_TREMOLO; break;
    case 0x8: cell->effect[0] = MODFX_NONE; break; /* 8xx panning: not played */
    case 0x9: cell->effect[0] = MODFX_SAMPLE_OFFSET; break;
    case 0xA: cell->effect[0] = MODFX_VOLUME_SLIDE; break;
    case 0xB: /* Bxx position jump: global */
        cell->effect[0] = MODFX_NONE;
        cell->effectOp[0] = 0;
        effect_spareJump(spare, 1, param, 0);
        break;
    case 0xC: /* Cxx set volume, through the volume column */
        cell->effect[0] = MODFX_NONE;
        cell->effectOp[0] = (uint8_t)(param > 64 ? 64 : param);
        cell->volume = cell->effectOp[0];
        break;
    case 0xD: /* Dxy pattern break to decimal row xy: global */
        cell->effect[0] = MODFX_NONE;
        cell->effectOp[0] = 0;
        effect_spareJump(spare, 0, (x * 10 + y > 63) ? 0 : x * 10 + y, 0);
        break;
    case 0xE: /* Exy extended */
        cell->effectOp[0] = (uint8_t)y;
        switch (x) {
        case 0x1: cell->effect[0] = MODFX_FINE_PORTA_UP; break;
        case 0x2: cell->effect[0] = MODFX_FINE_PORTA_DOWN; break;
        case 0x4: cell->effect[0] = MODFX_VIBRATO_WAVE; break;
        case 0x5: /* E5x finetune: the sample header's nibble, 8 = -8; the
                     player's rates are indexed by finetune + 8 */
            cell->effect[0] = MODFX_SET_FINETUNE;
            cell->effectOp[0] = (uint8_t)(y ^ 8);
            break;
        case 0x7: cell->effect[0] = MODFX_TREMOLO_WAVE; break;
        case 0x8: cell->effect[0] = MODFX_COARSE_PANNING; break;
        case 0x9: cell->effect[0] = MODFX_RETRIGGER; break;
        case 0xA: cell->effect[0] = MODFX_FINE_VOLUME_UP; break;
        case 0xB: cell->effect[0] = MODFX_FINE_VOLUME_DOWN; break;
        case 0xC: cell->effect[0] = MODFX_NOTE_CUT; break;
        case 0xD: cell->effect[0] = MODFX_NOTE_DELAY; break;
        case 0x6: cell->effect[0] = MODFX_PATTERN_LOOP; break;
        case 0xE: cell->effect[0] = MODFX_PATTERN_DELAY; break;
        default: /* E0x filter, E3x glissando, EFx: nothing */
            cell->effect[0] = MODFX_NONE;
            cell->effectOp[0] = (uint8_t)param;
            break;
        }
        break;
    default: cell->effect[0] = MODFX_SPEED_TEMPO; break; /* Fxx speed (1..31) or tempo (32..255) */
    }
}

/* A row that delays the pattern (EEx, x > 0) and also breaks or jumps
 * continues one row further than the break says: while the row repeats,
 * the tracker has already moved to the break's row and steps past it when
 * the delay ends. Moves the row in the spare cell on by one. */
static void modDelayedBreak(const MODFILE_CELL* cells, int fileChannels, MODFILE_CELL* spare)
{
    int delays = 0;
    for (int c = 0; c < fileChannels; c++)
        if (cells[c].effect[0] == MODFX_PATTERN_DELAY && cells[c].effectOp[0] != 0)
            delays = 1;
    if (!delays)
        return;
    if (spare->effect[0] == MODFX_PATTERN_BREAK) {
        spare->effectOp[0]++;
    } else if (spare->effect[0] == MODFX_POSITION_JUMP) {
        spare->effect[0] = MODFX_JUMP_TO_ROW;
        spare->effectOp[1] = 1;
    } else if (spare->effect[0] == MODFX_JUMP_TO_ROW) {
        spare->effectOp[1]++;
    }
}

/* 1 when some period of the patterns is not in the table (the trial load's
 * scan: no record, no messages), else 0. */
static int modScanPeriods(ModReader* r, const ModHeader* h)
{
    mr_seek(r, h->patternsAt);
    int64_t cells = (int64_t)h->numPatterns * MOD_ROWS * h->fileChannels;
    for (int64_t i = 0; i < cells; i++) {
        uint8_t b[4];
        if (mr_bytes(r, b, 4) < 4)
            return 0; /* the rest of the patterns is not in the file */
        if (modPeriodNote(((unsigned)(b[0] & 0x0F) << 8) | b[1]) < 0)
            return 1;
    }
    return 0;
}

/* Allocates every pattern (all bytes 0xFF) and decodes what the file holds.
 * 0; 1 when some period is not in the table; -2 when out of memory. */
static int modPatterns(MODFILE* mod, ModReader* r, const ModHeader* h)
{
    int result = 0;
    mod->patterns = (MODFILE_CELL**)calloc((size_t)h->numPatterns, sizeof(MODFILE_CELL*));
    mod->patternRows = (int32_t*)calloc((size_t)h->numPatterns, sizeof(int32_t));
    if (!mod->patterns || !mod->patternRows)
        return -2;
    mr_seek(r, h->patternsAt);
    for (int p = 0; p < h->numPatterns; p++) {
        size_t bytes = (size_t)MOD_ROWS * (size_t)mod->numChannels * sizeof(MODFILE_CELL);
        mod->patterns[p] = (MODFILE_CELL*)malloc(bytes);
        if (!mod->patterns[p])
            return -2;
        memset(mod->patterns[p], 0xFF, bytes);
        mod->patternRows[p] = MOD_ROWS;
        for (int row = 0; row < MOD_ROWS; row++) {
            MODFILE_CELL* cells = mod->patterns[p] + row * mod->numChannels;
            MODFILE_CELL* spare = cells + mod->numChannels - 1;
            for (int c = 0; c < h->fileChannels; c++) {
                uint8_t b[4];
                if (mr_bytes(r, b, 4) < 4)
                    break; /* past the end: the rest stays empty */
                MODFILE_CELL* cell = cells + c;
                unsigned period = ((unsigned)(b[0] & 0x0F) << 8) | b[1];
                cell->instrument = (int32_t)((b[0] & 0xF0) | (b[2] >> 4));
                cell->volume = 255;
                int note = modPeriodNote(period);
                if (note < 0) {
                    fprintf(stderr, NOTE_NOT_FOUND_FORMAT, period);
                    result = 1;
                    note = 255;
                }
                cell->note = (uint8_t)note;
                modConvertEffect(cell, spare, b[2] & 0x0F, b[3]);
            }
            modDelayedBreak(cells, h->fileChannels, spare);
        }
    }
    return result;
}

/* ---- Samples -------------------------------------------------------------- */

/* Fills the instruments and samples from their headers and copies the
 * sample data (each cut to what the file holds, followed by a zero guard
 * frame). 0, or -2 when out of memory. */
static int modSamples(MODFILE* mod, ModReader* r, const ModHeader* h)
{
    int64_t dataAt = h->sampleDataAt;
    for (int i = 0; i < h->numInstruments; i++) {
        MODFILE_SAMPLE* s = &mod->samples[i];
        MODFILE_INSTRUMENT* ins = &mod->instruments[i];
        mr_seek(r, 20 + 30 * i);
        mr_bytes(r, s->name, 22);
        s->name[22] = 0;
        int64_t declared = (int64_t)mr_u16be(r) * 2;
        int finetune = (int)(mr_u8(r) & 15);
        unsigned volume = mr_u8(r);
        int64_t loopStart = (int64_t)mr_u16be(r) * 2;
        unsigned loopWords = mr_u16be(r);

        int64_t present = (dataAt < r->len) ? r->len - dataAt : 0;
        int64_t length = declared < present ? declared : present;
        s->length = (int32_t)length;
        s->initC4Rate = s->c4Rate = s3m_finetunes[(finetune < 8 ? finetune : finetune - 16) + 8];
        s->volume = s->initVolume = (uint8_t)(volume > 64 ? 64 : volume);
        s->panning = 255;
        s->relativeNote = 0;
        s->finetune = 0;
        s->pingPong = s->is16Bit = s->stereo = 0;
        /* a loop is kept inside the (possibly cut) sample */
        int64_t loopEnd = loopStart + (int64_t)loopWords * 2;
        if (loopEnd > length)
            loopEnd = length;
        s->loop = (loopWords > 1 && loopStart < loopEnd) ? 1 : 0;
        if (s->loop) {
            s->loopStart = (int32_t)loopStart;
            s->loopEnd = (int32_t)loopEnd;
        } else {
            s->loopStart = s->loopEnd = s->length - 1;
        }
        if (length > 0) {
            int8_t* d = (int8_t*)calloc((size_t)length + 1, 1);
            if (!d)
                return -2;
            mr_seek(r, dataAt);
            mr_bytes(r, d, length);
            s->data = d;
        }
        dataAt += declared;

        memcpy(ins->name, s->name, sizeof ins->name);
        for (int j = 0; j < 256; j++) {
            ins->noteMap[j] = (uint8_t)j;
            ins->noteSample[j] = s;
        }
        ins->volEnvelope.enabled = ins->panEnvelope.enabled = 0;
        ins->volEnvelope.loopStart = ins->volEnvelope.loopEnd = ins->volEnvelope.sustain = 255;
        ins->panEnvelope.loopStart = ins->panEnvelope.loopEnd = ins->panEnvelope.sustain = 255;
        ins->fadeout = 0x7FFF;
    }
    return 0;
}

/* ---- The loader ----------------------------------------------------------- */

int MODFILE_SetMOD(const char* data, int len, MODFILE* mod)
{
    if (!data || !mod)
        return -1;
    ModReader r;
    mr_init(&r, data, len);
    ModHeader h;
    if (modReadHeader(&r, &h) < 0)
        return -1;

    /* from here on only a lack of memory can fail */
    MODFILE saved = *mod;
    mr_seek(&r, 0);
    mr_bytes(&r, mod->name, 20);
    mod->name[20] = 0;
    mod->numChannels = h.fileChannels + 1;
    mod->numInstruments = mod->numSamples = h.numInstruments;
    mod->songLength = h.songLength;
    mod->numPatterns = h.numPatterns;
    mod->restartPos = 0;
    mod->linearFreq = 0;
    mod->equalTempered = 0;
    memset(mod->orders, 0, sizeof mod->orders);
    memcpy(mod->orders, h.orders, (size_t)h.songLength);
    mod->instruments = nullptr;
    mod->samples = nullptr;
    mod->patterns = nullptr;
    mod->patternRows = nullptr;
    mod->instruments = (MODFILE_INSTRUMENT*)calloc((size_t)h.numInstruments, sizeof(MODFILE_INSTRUMENT));
    mod->samples = (MODFILE_SAMPLE*)calloc((size_t)h.numInstruments, sizeof(MODFILE_SAMPLE));
    int result = (mod->instruments && mod->samples) ? modSamples(mod, &r, &h) : -2;
    if (result == 0)
        result = modPatterns(mod, &r, &h);
    if (result < 0) {
        MODFILE_ReleaseSong(mod);
        *mod = saved;
        return -2;
    }
    /* the Amiga's channel pairs: left, right, right, left, left, right, ... */
    for (int c = 0; c < mod->numChannels; c++) {
        mod->channels[c].voice.enabled = 1;
        mod->channels[c].defaultPanning = ((c + 1) & 2) ? MODFILE_PAN_RIGHT : MODFILE_PAN_LEFT;
    }
    mod->initSpeed = 6;
    mod->initBpm = 125;
    mod->initGlobalVolume = 64;
    mod->s3mUnsignedSamples = 0;
    mod->formatId = MODFILE_FORMAT_MOD;
    return result;
}

int MODFILE_IsMOD(const char* data, int len)
{
    if (!data || len < MOD_TRIAL_MIN)
        return 0;
    ModReader r;
    mr_init(&r, data, len);
    ModHeader h;
    if (modReadHeader(&r, &h) < 0)
        return 0;
    return modScanPeriods(&r, &h) ? 0 : 1;
}
