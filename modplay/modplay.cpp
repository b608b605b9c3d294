/*
 * modplay: the player interface and the format table (see modplay.h).
 */
#include "modplay/modplay.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "modplay/effects.h"
#include "modplay/envelope.h"
#include "modplay/mixer.h"
#include "modplay/mod.h"
#include "modplay/modplay_core.h"
#include "modplay/s3m.h"
#include "modplay/xm.h"

/* ---- Constant tables ------------------------------------------------------
 * Lifetime: whole run; read only. */

const MODFILE_FORMAT mod_formats[4] = {
    {MODFILE_SetS3M, MODFILE_IsS3M, MODFILE_S3MGetFormatID, MODFILE_S3MGetDescription, MODFILE_S3MGetAuthor,
     MODFILE_S3MGetVersion, MODFILE_S3MGetCopyright},
    {MODFILE_SetXM, MODFILE_IsXM, MODFILE_XMGetFormatID, MODFILE_XMGetDescription, MODFILE_XMGetAuthor,
     MODFILE_XMGetVersion, MODFILE_XMGetCopyright},
    {MODFILE_SetMOD, MODFILE_IsMOD, MODFILE_MODGetFormatID, MODFILE_MODGetDescription, MODFILE_MODGetAuthor,
     MODFILE_MODGetVersion, MODFILE_MODGetCopyright},
    {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
};

/* Entry 16 * o + s: the note name of semitone s (0..11) followed by the
 * octave digit o (0..7); "???" for s = 12..15. One row per octave. */
const char* const mod_notes[128] = {
    "C-0", "C#0", "D-0", "D#0", "E-0", "F-0", "F#0", "G-0", "G#0", "A-0", "A#0", "B-0", "???", "???", "???", "???",
    "C-1", "C#1", "D-1", "D#1", "E-1", "F-1", "F#1", "G-1", "G#1", "A-1", "A#1", "B-1", "???", "???", "???", "???",
    "C-2", "C#2", "D-2", "D#2", "E-2", "F-2", "F#2", "G-2", "G#2", "A-2", "A#2", "B-2", "???", "???", "???", "???",
    "C-3", "C#3", "D-3", "D#3", "E-3", "F-3", "F#3", "G-3", "G#3", "A-3", "A#3", "B-3", "???", "???", "???", "???",
    "C-4", "C#4", "D-4", "D#4", "E-4", "F-4", "F#4", "G-4", "G#4", "A-4", "A#4", "B-4", "???", "???", "???", "???",
    "C-5", "C#5", "D-5", "D#5", "E-5", "F-5", "F#5", "G-5", "G#5", "A-5", "A#5", "B-5", "???", "???", "???", "???",
    "C-6", "C#6", "D-6", "D#6", "E-6", "F-6", "F#6", "G-6", "G#6", "A-6", "A#6", "B-6", "???", "???", "???", "???",
    "C-7", "C#7", "D-7", "D#7", "E-7", "F-7", "F#7", "G-7", "G#7", "A-7", "A#7", "B-7", "???", "???", "???", "???",
};

/* Texts (see modplay.h). */
const char MODFILE_AUTHOR_TEXT[] = "Orvel developers";
const char MODFILE_COPYRIGHT_TEXT[] = "Copyright the Orvel developers";
const char MODFILE_NOT_A_MODULE_TEXT[] = "not a module this player reads";
static const char OUT_OF_MEMORY_TEXT[] = "out of memory";
static const char DAMAGED_TEXT[] = "damaged or unsupported module";

const char* MODFILE_ResultText(int result)
{
    if (result >= 0)
        return "";
    return result == -2 ? OUT_OF_MEMORY_TEXT : DAMAGED_TEXT;
}

/* ---- Loading and release ------------------------------------------------- */

void MODFILE_Init(MODFILE* mod)
{
    if (mod)
        memset(mod, 0, sizeof(*mod));
}

/* The first row of mod_formats that accepts the image, or null. */
static const MODFILE_FORMAT* detectFormat(const char* data, int len)
{
    for (const MODFILE_FORMAT* f = mod_formats; f->set && f->is; f++)
        if (f->is(data, len))
            return f;
    return nullptr;
}

int MODFILE_Is(const char* data, int len)
{
    if (!data || len < 1)
        return 0;
    return detectFormat(data, len) ? 1 : 0;
}

int MODFILE_Set(const char* data, int len, MODFILE* mod)
{
    if (!data || !mod || len < 1 || mod->loaded)
        return -1;
    const MODFILE_FORMAT* f = detectFormat(data, len);
    if (!f)
        return -1;
    int result = f->set(data, len, mod);
    if (result < 0)
        return result;
    mod->loaded = 1;
    return 0;
}

int MODFILE_Load(const char* path, MODFILE* mod)
{
    if (!path || !mod)
        return -1;
    FILE* f = fopen(path, "rb");
    if (!f)
        return -1;
    setvbuf(f, nullptr, _IONBF, 0); /* read whole into image, without the C library's copy */
    long length = -1;
    if (fseek(f, 0, SEEK_END) == 0)
        length = ftell(f);
    if (length <= 0 || length > INT_MAX || fseek(f, 0, SEEK_SET) != 0) {
        fclose(f);
        return -1;
    }
    char* image = (char*)malloc((size_t)length);
    if (!image) {
        fclose(f);
        return -1;
    }
    size_t got = fread(image, 1, (size_t)length, f);
    fclose(f);
    int result = (got == (size_t)length) ? MODFILE_Set(image, (int)length, mod) : -1;
    free(image);
    return result;
}

void MODFILE_ReleaseSong(MODFILE* mod)
{
    if (!mod)
        return;
    if (mod->patterns) {
        for (int p = 0; p < mod->numPatterns; p++)
            free(mod->patterns[p]);
        free(mod->patterns);
        mod->patterns = nullptr;
    }
    if (mod->instruments) {
        for (int i = 0; i < mod->numInstruments; i++) {
            free(mod->instruments[i].volEnvelope.points);
            free(mod->instruments[i].panEnvelope.points);
        }
        free(mod->instruments);
        mod->instruments = nullptr;
    }
    if (mod->samples) {
        for (int s = 0; s < mod->numSamples; s++)
            free(mod->samples[s].data);
        free(mod->samples);
        mod->samples = nullptr;
    }
    free(mod->patternRows);
    mod->patternRows = nullptr;
    /* the music channels pointed into what was just released */
    for (int c = 0; c < mod->numChannels && c < MODFILE_MAX_CHANNELS; c++) {
        MODFILE_CHANNEL* ch = &mod->channels[c];
        ch->instrument = nullptr;
        ch->noteSample = nullptr;
        ch->voice.sample = nullptr;
        ch->voice.active = 0;
        ch->volEnv.env = nullptr;
        ch->panEnv.env = nullptr;
        ch->fx[0].delayedCell = ch->fx[1].delayedCell = nullptr;
        ch->lastInstrument = 0;
    }
}

void MODFILE_Free(MODFILE* mod)
{
    if (!mod || !mod->loaded)
        return;
    MODFILE_ReleaseSong(mod);
    mod->loaded = 0;
}

/* ---- Playback ------------------------------------------------------------ */

/* Releases the mix buffer and makes one for a tick at the slowest tempo (32
 * BPM) in stereo at the current rate. */
static void remakeMixBuffer(MODFILE* mod)
{
    free(mod->mixBuffer);
    int frames = MODFILE_BPM2SamplesPerTick(mod, 32);
    mod->mixBuffer = (int32_t*)malloc((size_t)(frames > 1 ? frames : 1) * 8);
}

void MODFILE_Start(MODFILE* mod)
{
    if (!mod)
        return;
    mod->speed = mod->initSpeed;
    MODFILE_SetBPM(mod, mod->initBpm);
    mod->row = mod->songPos = mod->patternDelay = mod->tickPos = mod->tick = 0;
    mod->loopRow = mod->loopCount = 0;
    mod->globalVolume = mod->initGlobalVolume;
    remakeMixBuffer(mod);
    for (int s = 0; s < mod->numSamples && mod->samples; s++)
        mod->samples[s].c4Rate = mod->samples[s].initC4Rate;
    for (int c = 0; c < MODFILE_MAX_CHANNELS; c++) {
        MODFILE_CHANNEL* ch = &mod->channels[c];
        ch->voice.active = 0;
        ch->voice.volume = 64;
        ch->lastInstrument = 0;
        ch->voice.panning = ch->defaultPanning;
        for (int j = 0; j < 2; j++) {
            ch->fx[j].effect = MODFX_UNSET;
            ch->fx[j].op = 255;
            ch->fx[j].vibWave = ch->fx[j].vibPos = 0;
            ch->fx[j].tremWave = ch->fx[j].tremPos = 0;
        }
    }
    /* an order list may begin with markers: start at the first real entry */
    if (mod->loaded && mod->songLength > 0 && mod->orders[0] > 253)
        MODFILE_NextOrder(mod);
    mod->playing = 1;
}

void MODFILE_SetFormat(MODFILE* mod, int rate, int channels, int bits, int signedFlag)
{
    if (!mod)
        return;
    mod->mixRate = rate;
    if (channels == 1 || channels == 2)
        mod->mixChannels = channels;
    if (bits == 8 || bits == 16)
        mod->mixBits = bits;
    mod->mixSigned = signedFlag;
    if (mod->playing) {
        remakeMixBuffer(mod);
        MODFILE_SetBPM(mod, mod->bpm);
    }
}

/* Fills frames output frames with the format's silence. */
static void writeSilence(void* out, int frames, int flags)
{
    int samples = frames * ((flags & MIX_STEREO) ? 2 : 1);
    if (flags & MIX_SIGNED) {
        memset(out, 0, (size_t)samples * ((flags & MIX_16BIT) ? 2 : 1));
    } else if (flags & MIX_16BIT) {
        uint16_t* o = (uint16_t*)out;
        for (int i = 0; i < samples; i++)
            o[i] = 0x8000;
    } else {
        memset(out, 0x80, (size_t)samples);
    }
}

void MODFILE_Player(MODFILE* mod)
{
    if (!mod || !mod->outBuffer)
        return;
    int frames = mod->outBytes;
    if (mod->mixChannels == 2)
        frames /= 2;
    if (mod->mixBits == 16)
        frames /= 2;
    int flags = MIX_ON | (mod->mixChannels == 2 ? MIX_STEREO : 0) | (mod->mixBits == 16 ? MIX_16BIT : 0) |
                (mod->mixSigned ? MIX_SIGNED : 0);
    uint32_t triggered = 0;

    if (!mod->loaded) {
        /* no song: silence */
        if (frames > 0)
            writeSilence(mod->outBuffer, frames, flags);
    } else {
        if (!mod->mixBuffer || mod->samplesPerTick <= 0)
            return;
        uint8_t* out = (uint8_t*)mod->outBuffer;
        int frameBytes = mix_destbufsize(flags);
        int done = 0;
        while (done < frames) {
            int n = mod->samplesPerTick - mod->tickPos;
            if (n > frames - done)
                n = frames - done;
            if (n < 0)
                n = 0;
            MODFILE_Mix(mod, flags, out + (size_t)done * (size_t)frameBytes, n);
            mod->tickPos += n;
            if (mod->tickPos >= mod->samplesPerTick) {
                mod->tickPos -= mod->samplesPerTick;
                mod->tick++;
                if (mod->tick >= mod->speed + mod->patternDelay) {
                    mod->patternDelay = 0;
                    triggered |= MODFILE_Process(mod);
                    mod->tick = 0;
                }
                MODFILE_EffectHandler(mod);
            }
            done += n;
        }
    }
    mod->triggeredChannels = triggered;
    if (mod->playerCallback)
        mod->playerCallback(mod);
}

void MODFILE_Stop(MODFILE* mod)
{
    if (!mod)
        return;
    free(mod->mixBuffer);
    mod->mixBuffer = nullptr;
    mod->playing = 0;
}

/* ---- Sound-effect channels ---------------------------------------------- */

int MODFILE_AllocSFXChannels(MODFILE* mod, int count)
{
    if (!mod || count < 0 || count > 32 || mod->numChannels + count > MODFILE_MAX_CHANNELS)
        return -1;
    mod->numSfxChannels = count;
    for (int c = mod->numChannels; c < mod->numChannels + count; c++) {
        mod->channels[c].voice.enabled = 1;
        printf("%d\n", c);
    }
    return 0;
}

MODFILE_INSTRUMENT* MODFILE_MakeInstrument(void* data, int bytes, int bits)
{
    if (!data || bytes <= 0 || (bits != 8 && bits != 16))
        return nullptr;
    MODFILE_INSTRUMENT* ins = (MODFILE_INSTRUMENT*)calloc(1, sizeof(MODFILE_INSTRUMENT));
    MODFILE_SAMPLE* s = (MODFILE_SAMPLE*)calloc(1, sizeof(MODFILE_SAMPLE));
    if (!ins || !s) {
        free(ins);
        free(s);
        return nullptr;
    }
    s->length = bits == 16 ? bytes / 2 : bytes;
    s->loopStart = 0;
    s->loopEnd = s->length - 1;
    s->data = data;
    s->is16Bit = bits == 16;
    s->volume = 64;
    s->c4Rate = s->initC4Rate = 8363;
    s->panning = 32;
    s->initVolume = 64;
    for (int m = 0; m < 256; m++) {
        ins->noteSample[m] = s;
        ins->noteMap[m] = (uint8_t)m;
    }
    ins->volEnvelope.loopStart = ins->volEnvelope.loopEnd = ins->volEnvelope.sustain = 255;
    ins->panEnvelope.loopStart = ins->panEnvelope.loopEnd = ins->panEnvelope.sustain = 255;
    ins->fadeout = 4096;
    return ins;
}

void MODFILE_TriggerSFX(MODFILE* mod, MODFILE_INSTRUMENT* instrument, int k, int note)
{
    if (!mod || !instrument || k < 0 || k >= mod->numSfxChannels || (note & 15) > 11)
        return;
    int c = mod->numChannels + k;
    MODFILE_CHANNEL* ch = &mod->channels[c];
    MODFILE_SAMPLE* s = instrument->noteSample[note & 255];
    if (!s)
        return;
    ch->noteSample = ch->voice.sample = s;
    ch->voice.position = ch->voice.positionFrac = 0;
    ch->voice.forward = 1;
    ch->instrument = instrument;
    int t = ((note >> 4) * 12 + (note & 15) + s->relativeNote) & 255;
    int e = (((t / 12) << 4) | (t % 12)) & 255;
    MODFILE_SetNote(mod, c, instrument->noteMap[e], s->c4Rate, s->finetune);
    ch->voice.volume = s->volume;
    ch->volEnv.env = &instrument->volEnvelope;
    EnvTrigger(&ch->volEnv);
    ch->panEnv.env = &instrument->panEnvelope;
    EnvTrigger(&ch->panEnv);
    ch->fadeStep = 0;
    ch->voice.panning = 128;
    ch->fadeVolume = 0x8000;
    ch->voice.active = 1;
}

/* ---- Pattern access ------------------------------------------------------ */

void MODFILE_ClearPattern(MODFILE* mod, int p)
{
    if (!mod || !mod->patterns || p < 0 || p >= mod->numPatterns || !mod->patterns[p])
        return;
    int cells = mod->patternRows[p] * mod->numChannels;
    for (int i = 0; i < cells; i++) {
        MODFILE_CELL* cell = &mod->patterns[p][i];
        cell->instrument = 0;
        cell->volume = 255;
        cell->note = 255;
        cell->effect[0] = cell->effect[1] = 0;
        cell->effectOp[0] = cell->effectOp[1] = 0;
    }
}

/* The cell (row, channel) of the pattern at the current song position, or
 * null when there is none. */
static const MODFILE_CELL* currentCell(const MODFILE* mod, int row, int channel)
{
    if (!mod || !mod->loaded || mod->songPos < 0 || mod->songPos >= mod->songLength)
        return nullptr;
    int p = mod->orders[mod->songPos];
    if (p >= mod->numPatterns || row < 0 || row >= mod->patternRows[p] || channel < 0 || channel >= mod->numChannels)
        return nullptr;
    return &mod->patterns[p][row * mod->numChannels + channel];
}

int MODFILE_GetNote(MODFILE* mod, int row, int channel)
{
    const MODFILE_CELL* cell = currentCell(mod, row, channel);
    return cell ? cell->note : 255;
}

int MODFILE_GetInstr(MODFILE* mod, int row, int channel)
{
    const MODFILE_CELL* cell = currentCell(mod, row, channel);
    int v = cell ? cell->instrument & 255 : 0;
    return v == 255 ? 0 : v;
}

int MODFILE_GetEffect(MODFILE* mod, int row, int channel, int column)
{
    const MODFILE_CELL* cell = currentCell(mod, row, channel);
    if (!cell || column < 0 || column > 1)
        return 0;
    return cell->effect[column] == 255 ? 0 : cell->effect[column];
}

int MODFILE_GetEffectOp(MODFILE* mod, int row, int channel, int column)
{
    const MODFILE_CELL* cell = currentCell(mod, row, channel);
    if (!cell || column < 0 || column > 1)
        return 0;
    return cell->effectOp[column] == 255 ? 0 : cell->effectOp[column];
}

const char* MODFILE_GetNoteString(int note)
{
    if (note & 0x80)
        return "---";
    return mod_notes[note & 127];
}
