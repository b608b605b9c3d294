/*
 * effects: the pattern effect handlers (see effects.h).
 *
 * Naming: effect_<id>_Start/_Process/_Stop, where the id says where the
 * effect comes from: ST (the shared tracker effects, by their letter and
 * extended nibble), XM and S3M (the variants those formats need). "Memory"
 * means: an operand of 0 takes the remembered one, any other is remembered.
 */
#include "modplay/effects.h"

#include "modplay/envelope.h"
#include "modplay/mod.h"
#include "modplay/modplay_core.h"
#include "modplay/xm.h"

/* ---- Constant tables ------------------------------------------------------
 * Lifetime: whole run; read only. */

/* Row 0: floor(255 * sin(pi * i / 32)) for i = 0..31, then the same negated.
 * Row 1: a rising ramp, 8 * i for i < 32, else 8 * i - 511 (-255 up to -7).
 * Row 2: 255 for i < 32, else -255. Row 3: a fixed random row (no
 * formula). */
const int16_t wavetab[4][64] = {
    {0, 24, 49, 74, 97, 120, 141, 161, 180, 197, 212, 224, 235, 244, 250, 253,
     255, 253, 250, 244, 235, 224, 212, 197, 180, 161, 141, 120, 97, 74, 49, 24,
     0, -24, -49, -74, -97, -120, -141, -161, -180, -197, -212, -224, -235, -244, -250, -253,
     -255, -253, -250, -244, -235, -224, -212, -197, -180, -161, -141, -120, -97, -74, -49, -24},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 72, 80, 88, 96, 104, 112, 120,
     128, 136, 144, 152, 160, 168, 176, 184, 192, 200, 208, 216, 224, 232, 240, 248,
     -255, -247, -239, -231, -223, -215, -207, -199, -191, -183, -175, -167, -159, -151, -143, -135,
     -127, -119, -111, -103, -95, -87, -79, -71, -63, -55, -47, -39, -31, -23, -15, -7},
    {255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255,
     255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255,
     -255, -255, -255, -255, -255, -255, -255, -255, -255, -255, -255, -255, -255, -255, -255, -255,
     -255, -255, -255, -255, -255, -255, -255, -255, -255, -255, -255, -255, -255, -255, -255, -255},
    {-26, -251, -198, -46, -96, 198, 168, 228, -49, -153, -236, -174, -37, 61, 187, 120,
     56, -197, 248, -58, -204, 172, 58, 253, -155, 57, 62, -62, 60, -137, -101, -184,
     66, -160, 160, -29, -91, 243, 175, -175, 149, 97, 3, -113, 7, 249, -241, -247,
     110, -180, -139, -20, 246, -86, -80, -134, 219, 117, -143, -226, -166, 120, -47, 29},
};

/* The classic tracker C-4 rates for finetunes -8..7 (index = finetune + 8):
 * listed values without an exact formula, rising with the index and each
 * within 0.5% of 8363 * 2^((index - 8) / 96). */
const int32_t mod_finetunes[16] = {
    7895, 7941, 7985, 8046, 8107, 8169, 8232, 8280, 8363, 8413, 8463, 8529, 8581, 8651, 8723, 8757,
};

/* ---- Shared steps -------------------------------------------------------- */

static MODFILE_CHANNEL* chan(MODFILE* mod, int c)
{
    return &mod->channels[c];
}

/* Memory: an operand of 0 takes the remembered one, any other is remembered. */
static void memory(MODFILE_FXSTATE* fx, uint8_t* mem)
{
    if (fx->op == 0)
        fx->op = *mem;
    else
        *mem = fx->op;
}

/* Volume slide: up by the high nibble, else down by the low one. */
static void volumeSlide(MODFILE* mod, int c, int op)
{
    if (op & 0xF0)
        MODFILE_AddVolume(mod, c, op >> 4);
    else if (op & 0x0F)
        MODFILE_SubVolume(mod, c, op & 0x0F);
}

/* A fine S3M slide: low or high nibble 15, except 0x0F and 0xF0. */
static int s3mFineSlide(int op)
{
    return ((op & 0x0F) == 0x0F || (op & 0xF0) == 0xF0) && op != 0x0F && op != 0xF0;
}

/* Start of the S3M volume slides: memory. */
static void s3mSlideStart(MODFILE* mod, int c, int col)
{
    MODFILE_FXSTATE* fx = &chan(mod, c)->fx[col];
    memory(fx, &fx->volSlideMem);
}

/* An S3M whose volume slides act on a row's first tick as well: the
 * header's fast-slides flag (bit 6) or a song saved by Screamtracker 3.00
 * (tracker version 0x1300; trackerVersion holds its bytes swapped). */
static int s3mFastSlides(const MODFILE* mod)
{
    return mod->s3mFlags[5] || mod->trackerVersion == 0x0013;
}

/* Per tick of the S3M volume slides: down by the low nibble, else up by the
 * high one; nothing for fine slides (they act on the row's first tick
 * only), nor on a row's first tick unless the song asks for fast slides. */
static void s3mSlideTick(MODFILE* mod, int c, int col)
{
    int op = chan(mod, c)->fx[col].op;
    /* the fine slides act once, on the row's first tick (after its note) */
    if (mod->tick == 0 && (op & 0x0F) == 0x0F && op != 0x0F)
        MODFILE_AddVolume(mod, c, op >> 4);
    else if (mod->tick == 0 && (op & 0xF0) == 0xF0 && op != 0xF0)
        MODFILE_SubVolume(mod, c, op & 0x0F);
    if (s3mFineSlide(op) || (mod->tick == 0 && !s3mFastSlides(mod)))
        return;
    if (op & 0x0F)
        MODFILE_SubVolume(mod, c, op & 0x0F);
    else if (op >> 4)
        MODFILE_AddVolume(mod, c, op >> 4);
}

/* Tone portamento one tick towards the target at d period units. */
static void tonePortaTick(MODFILE* mod, int c, int col, int d)
{
    MODFILE_CHANNEL* ch = chan(mod, c);
    int32_t target = ch->fx[col].targetPeriod;
    int32_t p = ch->basePeriod;
    if ((uint32_t)p > (uint32_t)target) {
        p -= d;
        if (p < target || p < 0)
            p = target;
    } else if ((uint32_t)p < (uint32_t)target) {
        p += d;
        if (p > target)
            p = target;
    }
    MODFILE_SetPeriod(mod, c, p);
}

static void vibratoSetup(MODFILE_FXSTATE* fx)
{
    memory(fx, &fx->vibMem);
    if (fx->op & 0x0F)
        fx->vibDepth = fx->op & 0x0F;
    if (fx->op >> 4)
        fx->vibSpeed = fx->op >> 4;
}

/* The vibrato's period offset at fx's position, depth and wave. */
static void vibratoApply(MODFILE* mod, int c, const MODFILE_FXSTATE* fx)
{
    MODFILE_SetPeriodOfs(mod, c, (fx->vibDepth * wavetab[fx->vibWave & 3][fx->vibPos]) >> 5);
}

/* One vibrato step with the depth, speed, wave and position of fx. */
static void vibratoStepFx(MODFILE* mod, int c, MODFILE_FXSTATE* fx)
{
    vibratoApply(mod, c, fx);
    fx->vibPos = (fx->vibPos + fx->vibSpeed) & 63;
}

/* The vibrato of one tick: later ticks play the wave at its position and
 * move it on; a row's first tick plays the position without moving it (in
 * a MOD it plays the note's own period, as the stop entry left it). */
static void vibratoTickFx(MODFILE* mod, int c, MODFILE_FXSTATE* fx)
{
    if (mod->tick != 0)
        vibratoStepFx(mod, c, fx);
    else if (mod->formatId != MODFILE_FORMAT_MOD)
        vibratoApply(mod, c, fx);
}

static void vibratoTick(MODFILE* mod, int c, int col)
{
    vibratoTickFx(mod, c, &chan(mod, c)->fx[col]);
}

static void tremoloSetup(MODFILE* mod, int c, int col)
{
    MODFILE_FXSTATE* fx = &chan(mod, c)->fx[col];
    memory(fx, &fx->tremMem);
    if (fx->op & 0x0F)
        fx->tremDepth = fx->op & 0x0F;
    if (fx->op >> 4)
        fx->tremSpeed = fx->op >> 4;
}

/* Tremolo volume for this tick around the volume the row started with (the
 * first tick takes it, after the row's note and volume); the position moves
 * when `move` is set. */
static void tremoloStep(MODFILE* mod, int c, int col, int move)
{
    MODFILE_CHANNEL* ch = chan(mod, c);
    MODFILE_FXSTATE* fx = &ch->fx[col];
    if (mod->tick == 0)
        fx->tremBaseVolume = ch->voice.volume;
    int v = fx->tremBaseVolume + ((int16_t)(fx->tremDepth * wavetab[fx->tremWave & 3][fx->tremPos]) >> 7);
    ch->voice.volume = (uint8_t)(v < 0 ? 0 : v > 64 ? 64 : v);
    if (move)
        fx->tremPos = (fx->tremPos + fx->tremSpeed) & 63;
}

/* The note of the channel's last played note moved by `add` semitones
 * (arpeggio), through the sample's relative note and the noteMap. */
static void arpeggioNote(MODFILE* mod, int c, int add)
{
    MODFILE_CHANNEL* ch = chan(mod, c);
    MODFILE_SAMPLE* s = ch->noteSample;
    int b = (s->relativeNote + (ch->playedNote & 15) + 12 * (ch->playedNote >> 4)) & 255;
    int semi = b % 12 + add;
    int oct = (b / 12) & 15;
    while (semi > 11) {
        semi -= 12;
        oct++;
    }
    MODFILE_SetNote(mod, c, ch->instrument->noteMap[((oct << 4) | semi) & 255], s->c4Rate, s->finetune);
}

/* Jump target checks: a position past the song plays position 0, a marker
 * position plays the next real entry, a row past the pattern plays row 0. */
static void enterOrder(MODFILE* mod, int pos)
{
    mod->songPos = (pos >= 0 && pos < mod->songLength) ? pos : 0;
    if (mod->orders[mod->songPos] > 253)
        MODFILE_NextOrder(mod);
}

static void enterRow(MODFILE* mod, int row)
{
    mod->row = (row < mod->patternRows[mod->orders[mod->songPos]]) ? row : 0;
}

/* ---- 0 None -------------------------------------------------------------- */

static int effect_None_Start(MODFILE*, int, int, MODFILE_CELL*) { return 0; }
static int effect_None_Process(MODFILE*, int, int) { return 0; }
static int effect_None_Stop(MODFILE*, int, int) { return 0; }

/* ---- 1 ST00: 0xy arpeggio ------------------------------------------------ */

static int effect_ST00_Start(MODFILE*, int, int, MODFILE_CELL*) { return 0; }

static int effect_ST00_Process(MODFILE* mod, int c, int col)
{
    MODFILE_CHANNEL* ch = chan(mod, c);
    MODFILE_FXSTATE* fx = &ch->fx[col];
    if (!ch->noteSample || !ch->instrument)
        return 0;
    int add = fx->arpCount == 1 ? fx->op >> 4 : fx->arpCount == 2 ? fx->op & 15 : 0;
    arpeggioNote(mod, c, add);
    fx->arpCount = (uint8_t)((fx->arpCount + 1) % 3);
    return 0;
}

static int effect_ST00_Stop(MODFILE* mod, int c, int)
{
    if (chan(mod, c)->noteSample && chan(mod, c)->instrument)
        arpeggioNote(mod, c, 0);
    return 0;
}

/* ---- 2 ST10: 1xx portamento up ------------------------------------------- */

static int effect_ST10_Start(MODFILE*, int, int, MODFILE_CELL*) { return 0; }

static int effect_ST10_Process(MODFILE* mod, int c, int col)
{
    if (mod->tick != 0)
        MODFILE_SlidePeriod(mod, c, -4 * chan(mod, c)->fx[col].op);
    return 0;
}

static int effect_ST10_Stop(MODFILE*, int, int) { return 0; }

/* ---- 3 ST20: 2xx portamento down ----------------------------------------- */

static int effect_ST20_Start(MODFILE*, int, int, MODFILE_CELL*) { return 0; }

static int effect_ST20_Process(MODFILE* mod, int c, int col)
{
    if (mod->tick != 0)
        MODFILE_SlidePeriod(mod, c, 4 * chan(mod, c)->fx[col].op);
    return 0;
}

static int effect_ST20_Stop(MODFILE*, int, int) { return 0; }

/* ---- 4 ST30: 3xx tone portamento ----------------------------------------- */

static int effect_ST30_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    MODFILE_FXSTATE* fx = &chan(mod, c)->fx[col];
    memory(fx, &fx->tonePortaMem);
    return MODFX_KEEP_POSITION | MODFX_KEEP_PERIOD;
}

static int effect_ST30_Process(MODFILE* mod, int c, int col)
{
    if (mod->tick != 0)
        tonePortaTick(mod, c, col, 4 * chan(mod, c)->fx[col].op);
    return 0;
}

static int effect_ST30_Stop(MODFILE*, int, int) { return 0; }

/* ---- 5 ST40: 4xy vibrato ------------------------------------------------- */

static int effect_ST40_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    vibratoSetup(&chan(mod, c)->fx[col]);
    return 0;
}

static int effect_ST40_Process(MODFILE* mod, int c, int col)
{
    vibratoTick(mod, c, col);
    return 0;
}

static int effect_ST40_Stop(MODFILE* mod, int c, int)
{
    MODFILE_SetPeriodOfs(mod, c, 0);
    return 0;
}

/* ---- 6 ST50: 5xy tone portamento + volume slide -------------------------- */

static int effect_ST50_Start(MODFILE*, int, int, MODFILE_CELL*) { return 0; }

/* the portamento goes on at the speed the last 3xx left; xy is the slide */
static int effect_ST50_Process(MODFILE* mod, int c, int col)
{
    if (mod->tick != 0) {
        MODFILE_FXSTATE* fx = &chan(mod, c)->fx[col];
        tonePortaTick(mod, c, col, 4 * fx->tonePortaMem);
        volumeSlide(mod, c, fx->op);
    }
    return 0;
}

static int effect_ST50_Stop(MODFILE*, int, int) { return 0; }

/* ---- 7 ST60: 6xy vibrato + volume slide ---------------------------------- */

static int effect_ST60_Start(MODFILE*, int, int, MODFILE_CELL*) { return 0; }

static int effect_ST60_Process(MODFILE* mod, int c, int col)
{
    vibratoTick(mod, c, col);
    if (mod->tick != 0)
        volumeSlide(mod, c, chan(mod, c)->fx[col].op);
    return 0;
}

static int effect_ST60_Stop(MODFILE* mod, int c, int)
{
    MODFILE_SetPeriodOfs(mod, c, 0);
    return 0;
}

/* ---- 8 ST70: 7xy tremolo ------------------------------------------------- */

static int effect_ST70_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    tremoloSetup(mod, c, col);
    return 0;
}

static int effect_ST70_Process(MODFILE* mod, int c, int col)
{
    tremoloStep(mod, c, col, mod->tick != 0);
    return 0;
}

static int effect_ST70_Stop(MODFILE* mod, int c, int col)
{
    chan(mod, c)->voice.volume = chan(mod, c)->fx[col].tremBaseVolume;
    return 0;
}

/* ---- 9 ST80: 8xx set panning --------------------------------------------- */

static int effect_ST80_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    chan(mod, c)->voice.panning = chan(mod, c)->fx[col].op;
    return MODFX_KEEP_PANNING;
}

static int effect_ST80_Process(MODFILE*, int, int) { return 0; }
static int effect_ST80_Stop(MODFILE*, int, int) { return 0; }

/* ---- 10 ST90: 9xx sample offset ------------------------------------------ */

/* The note of the same row starts xx * 256 frames into its sample (xx = 0:
 * the last offset); without a note nothing moves. The row handler keeps
 * the position across the trigger and holds it within the note's sample. */
static int effect_ST90_Start(MODFILE* mod, int c, int col, MODFILE_CELL* cell)
{
    MODFILE_CHANNEL* ch = chan(mod, c);
    MODFILE_FXSTATE* fx = &ch->fx[col];
    memory(fx, &fx->offsetMem);
    if (!cell || cell->note >= 254)
        return 0;
    ch->voice.forward = 1;
    ch->voice.position = ((uint32_t)fx->op * 256u) << 10;
    ch->voice.positionFrac = 0;
    return MODFX_KEEP_POSITION;
}

static int effect_ST90_Process(MODFILE*, int, int) { return 0; }

static int effect_ST90_Stop(MODFILE*, int, int) { return 0; }

/* ---- 11 STa0: Axy volume slide ------------------------------------------- */

static int effect_STa0_Start(MODFILE*, int, int, MODFILE_CELL*) { return 0; }

static int effect_STa0_Process(MODFILE* mod, int c, int col)
{
    if (mod->tick != 0)
        volumeSlide(mod, c, chan(mod, c)->fx[col].op);
    return 0;
}

static int effect_STa0_Stop(MODFILE*, int, int) { return 0; }

/* ---- 12 STb0: Bxx position jump ------------------------------------------ */

static int effect_STb0_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    enterOrder(mod, chan(mod, c)->fx[col].op);
    mod->row = 0;
    return MODFX_NO_ADVANCE;
}

static int effect_STb0_Process(MODFILE*, int, int) { return 0; }
static int effect_STb0_Stop(MODFILE*, int, int) { return 0; }

/* ---- 13 STc0: Cxx set volume --------------------------------------------- */

static int effect_STc0_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    int op = chan(mod, c)->fx[col].op;
    chan(mod, c)->voice.volume = (uint8_t)(op > 64 ? 64 : op);
    return MODFX_KEEP_VOLUME;
}

static int effect_STc0_Process(MODFILE*, int, int) { return 0; }
static int effect_STc0_Stop(MODFILE*, int, int) { return 0; }

/* ---- 14 STd0: Dxx pattern break ------------------------------------------ */

static int effect_STd0_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    MODFILE_NextOrder(mod);
    enterRow(mod, chan(mod, c)->fx[col].op);
    return MODFX_NO_ADVANCE;
}

static int effect_STd0_Process(MODFILE*, int, int) { return 0; }
static int effect_STd0_Stop(MODFILE*, int, int) { return 0; }

/* ---- 15 STe1: E1x fine portamento up ------------------------------------- */

/* The fine effects act once, on the row's first tick: after the row's
 * note, which they modify. */
static int effect_STe1_Start(MODFILE*, int, int, MODFILE_CELL*) { return 0; }

static int effect_STe1_Process(MODFILE* mod, int c, int col)
{
    if (mod->tick == 0)
        MODFILE_SlidePeriod(mod, c, -4 * chan(mod, c)->fx[col].op);
    return 0;
}
static int effect_STe1_Stop(MODFILE*, int, int) { return 0; }

/* ---- 16 STe2: E2x fine portamento down ----------------------------------- */

static int effect_STe2_Start(MODFILE*, int, int, MODFILE_CELL*) { return 0; }

static int effect_STe2_Process(MODFILE* mod, int c, int col)
{
    if (mod->tick == 0)
        MODFILE_SlidePeriod(mod, c, 4 * chan(mod, c)->fx[col].op);
    return 0;
}
static int effect_STe2_Stop(MODFILE*, int, int) { return 0; }

/* ---- 17 STe4: E4x vibrato waveform --------------------------------------- */

static int effect_STe4_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    chan(mod, c)->fx[col].vibWave = chan(mod, c)->fx[col].op & 7;
    return 0;
}

static int effect_STe4_Process(MODFILE*, int, int) { return 0; }
static int effect_STe4_Stop(MODFILE*, int, int) { return 0; }

/* ---- 18 STe5: E5x set finetune ------------------------------------------- */

static int effect_STe5_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    MODFILE_CHANNEL* ch = chan(mod, c);
    /* a MOD's finetunes are eighths of a semitone, an S3M's the
     * classic rates */
    const int32_t* rates = mod->formatId == MODFILE_FORMAT_MOD ? s3m_finetunes : mod_finetunes;
    if (ch->noteSample)
        ch->noteSample->c4Rate = rates[ch->fx[col].op & 15];
    return 0;
}

static int effect_STe5_Process(MODFILE* mod, int c, int col)
{
    effect_STe5_Start(mod, c, col, nullptr);
    return 0;
}

static int effect_STe5_Stop(MODFILE*, int, int) { return 0; }

/* ---- 19 STe6: E6x pattern loop ------------------------------------------- */

static int effect_STe6_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    int x = chan(mod, c)->fx[col].op & 15;
    if (x == 0) {
        mod->loopRow = mod->row;
        return 0;
    }
    if (mod->loopCount == 0) {
        mod->loopCount = x;
    } else {
        mod->loopCount--;
        if (mod->loopCount == 0)
            return 0;
    }
    /* a loop start remembered in a longer pattern restarts this one */
    enterRow(mod, mod->loopRow);
    return MODFX_NO_ADVANCE;
}

static int effect_STe6_Process(MODFILE*, int, int) { return 0; }
static int effect_STe6_Stop(MODFILE*, int, int) { return 0; }

/* ---- 20 STe7: E7x tremolo waveform --------------------------------------- */

static int effect_STe7_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    chan(mod, c)->fx[col].tremWave = chan(mod, c)->fx[col].op & 7;
    return 0;
}

static int effect_STe7_Process(MODFILE*, int, int) { return 0; }
static int effect_STe7_Stop(MODFILE*, int, int) { return 0; }

/* ---- 21 STe8: E8x coarse panning ----------------------------------------- */

/* x from the left (0) to the right (15): 16x in an XM as its tracker has
 * it, 17x elsewhere so that 15 is hard right. The panning holds against an
 * instrument on the same row. */
static int effect_STe8_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    int x = chan(mod, c)->fx[col].op & 15;
    chan(mod, c)->voice.panning = (uint8_t)(mod->formatId == MODFILE_FORMAT_XM ? 16 * x : 17 * x);
    return MODFX_KEEP_PANNING;
}

static int effect_STe8_Process(MODFILE*, int, int) { return 0; }
static int effect_STe8_Stop(MODFILE*, int, int) { return 0; }

/* ---- 22 STe9: E9x retrigger ---------------------------------------------- */

static int effect_STe9_Start(MODFILE*, int, int, MODFILE_CELL*) { return 0; }

static int effect_STe9_Process(MODFILE* mod, int c, int col)
{
    MODFILE_CHANNEL* ch = chan(mod, c);
    int op = ch->fx[col].op;
    /* E90 would retrigger on every multiple of 0: it does nothing; the
     * volume stays what it is */
    if (op != 0 && mod->tick != 0 && mod->tick % op == 0)
        MODFILE_Retrigger(mod, c);
    return 0;
}

static int effect_STe9_Stop(MODFILE*, int, int) { return 0; }

/* ---- 23 STea: EAx fine volume up ----------------------------------------- */

static int effect_STea_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    MODFILE_FXSTATE* fx = &chan(mod, c)->fx[col];
    memory(fx, &fx->fineVolUpMem);
    return 0;
}

static int effect_STea_Process(MODFILE* mod, int c, int col)
{
    if (mod->tick == 0)
        MODFILE_AddVolume(mod, c, chan(mod, c)->fx[col].op);
    return 0;
}
static int effect_STea_Stop(MODFILE*, int, int) { return 0; }

/* ---- 24 STeb: EBx fine volume down --------------------------------------- */

static int effect_STeb_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    MODFILE_FXSTATE* fx = &chan(mod, c)->fx[col];
    memory(fx, &fx->fineVolDownMem);
    return 0;
}

static int effect_STeb_Process(MODFILE* mod, int c, int col)
{
    if (mod->tick == 0)
        MODFILE_SubVolume(mod, c, chan(mod, c)->fx[col].op);
    return 0;
}
static int effect_STeb_Stop(MODFILE*, int, int) { return 0; }

/* ---- 25 STec: ECx note cut ----------------------------------------------- */

static int effect_STec_Start(MODFILE*, int, int, MODFILE_CELL*) { return 0; }

static int effect_STec_Process(MODFILE* mod, int c, int col)
{
    int op = chan(mod, c)->fx[col].op;
    if (op != 0 && mod->tick == op)
        chan(mod, c)->voice.volume = 0;
    return 0;
}

static int effect_STec_Stop(MODFILE*, int, int) { return 0; }

/* ---- 26 STed: EDx note delay --------------------------------------------- */

static int effect_STed_Start(MODFILE* mod, int c, int col, MODFILE_CELL* cell)
{
    chan(mod, c)->fx[col].delayedCell = cell;
    return MODFX_NO_TRIGGER;
}

static int effect_STed_Process(MODFILE* mod, int c, int col)
{
    MODFILE_FXSTATE* fx = &chan(mod, c)->fx[col];
    if (fx->op != 0 && mod->tick == fx->op && fx->delayedCell) {
        MODFILE_CELL* cell = fx->delayedCell;
        MODFILE_TriggerNote(mod, c, cell->note, cell->instrument & 255, cell->volume);
    }
    return 0;
}

static int effect_STed_Stop(MODFILE*, int, int) { return 0; }

/* ---- 27 STee: EEx pattern delay ------------------------------------------ */

static int effect_STee_Start(MODFILE*, int, int, MODFILE_CELL*) { return 0; }

static int effect_STee_Process(MODFILE* mod, int c, int col)
{
    if (mod->tick == 0)
        mod->patternDelay = mod->speed * chan(mod, c)->fx[col].op;
    return 0;
}

static int effect_STee_Stop(MODFILE*, int, int) { return 0; }

/* ---- 28 STef: EFx (no effect) -------------------------------------------- */

static int effect_STef_Start(MODFILE*, int, int, MODFILE_CELL*) { return 0; }
static int effect_STef_Process(MODFILE*, int, int) { return 0; }
static int effect_STef_Stop(MODFILE*, int, int) { return 0; }

/* ---- 29 STf0: Fxx set speed / tempo -------------------------------------- */

static int effect_STf0_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    int op = chan(mod, c)->fx[col].op;
    if (op >= 1 && op <= 31)
        mod->speed = op;
    else if (op >= 32)
        MODFILE_SetBPM(mod, op);
    return 0;
}

static int effect_STf0_Process(MODFILE*, int, int) { return 0; }
static int effect_STf0_Stop(MODFILE*, int, int) { return 0; }

/* ---- 30 STg0: Bxx + Dyy position jump with row --------------------------- */

static int effect_STg0_Start(MODFILE* mod, int c, int col, MODFILE_CELL* cell)
{
    enterOrder(mod, chan(mod, c)->fx[col].op);
    /* the row is the operand byte stored after this column's */
    enterRow(mod, col == 0 ? cell->effectOp[1] : 0);
    return MODFX_NO_ADVANCE;
}

static int effect_STg0_Process(MODFILE*, int, int) { return 0; }
static int effect_STg0_Stop(MODFILE*, int, int) { return 0; }

/* ---- 31 XM01: 1xx portamento up, with memory ----------------------------- */

static int effect_XM01_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    memory(&chan(mod, c)->fx[col], &chan(mod, c)->fx[col].portaMem);
    return 0;
}

static int effect_XM01_Process(MODFILE* mod, int c, int col)
{
    return effect_ST10_Process(mod, c, col);
}

static int effect_XM01_Stop(MODFILE*, int, int) { return 0; }

/* ---- 32 XM02: 2xx portamento down, with memory --------------------------- */

static int effect_XM02_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    memory(&chan(mod, c)->fx[col], &chan(mod, c)->fx[col].portaMem);
    return 0;
}

static int effect_XM02_Process(MODFILE* mod, int c, int col)
{
    return effect_ST20_Process(mod, c, col);
}

static int effect_XM02_Stop(MODFILE*, int, int) { return 0; }

/* ---- 33 XM10: Gxx set global volume -------------------------------------- */

static int effect_XM10_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    int op = chan(mod, c)->fx[col].op;
    mod->globalVolume = (uint8_t)(op > 64 ? 64 : op);
    return 0;
}

static int effect_XM10_Process(MODFILE*, int, int) { return 0; }
static int effect_XM10_Stop(MODFILE*, int, int) { return 0; }

/* ---- 34 XM11: Hxy global volume slide ------------------------------------ */

static int effect_XM11_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    memory(&chan(mod, c)->fx[col], &chan(mod, c)->fx[col].globalVolSlideMem);
    return 0;
}

static int effect_XM11_Process(MODFILE* mod, int c, int col)
{
    if (mod->tick == 0)
        return 0;
    int op = chan(mod, c)->fx[col].op;
    int v = mod->globalVolume;
    if (op >> 4)
        v = v + (op >> 4) > 64 ? 64 : v + (op >> 4);
    else
        v = (op & 15) >= v ? 0 : v - (op & 15);
    mod->globalVolume = (uint8_t)v;
    return 0;
}

static int effect_XM11_Stop(MODFILE*, int, int) { return 0; }

/* ---- 35 XM19: Pxy panning slide ------------------------------------------ */

static int effect_XM19_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    memory(&chan(mod, c)->fx[col], &chan(mod, c)->fx[col].panSlideMem);
    return 0;
}

static int effect_XM19_Process(MODFILE* mod, int c, int col)
{
    if (mod->tick == 0)
        return 0;
    MODFILE_CHANNEL* ch = chan(mod, c);
    int op = ch->fx[col].op;
    int p = ch->voice.panning;
    if (op & 0xF0)
        p = p + (op >> 4) > 255 ? 255 : p + (op >> 4);
    else if (op & 15)
        p = (op & 15) >= p ? 0 : p - (op & 15);
    ch->voice.panning = (uint8_t)p;
    return 0;
}

static int effect_XM19_Stop(MODFILE*, int, int) { return 0; }

/* ---- 36 XMa0: Axy volume slide, with memory ------------------------------ */

static int effect_XMa0_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    memory(&chan(mod, c)->fx[col], &chan(mod, c)->fx[col].volSlideMem);
    return 0;
}

static int effect_XMa0_Process(MODFILE* mod, int c, int col)
{
    return effect_STa0_Process(mod, c, col);
}

static int effect_XMa0_Stop(MODFILE*, int, int) { return 0; }

/* ---- 37 S3Ma0: Axx set speed --------------------------------------------- */

static int effect_S3Ma0_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    int op = chan(mod, c)->fx[col].op;
    if (op != 0)
        mod->speed = op;
    return 0;
}

static int effect_S3Ma0_Process(MODFILE*, int, int) { return 0; }
static int effect_S3Ma0_Stop(MODFILE*, int, int) { return 0; }

/* ---- 38 S3Md0: Dxy volume slide with fine slides ------------------------- */

static int effect_S3Md0_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    s3mSlideStart(mod, c, col);
    return 0;
}

static int effect_S3Md0_Process(MODFILE* mod, int c, int col)
{
    s3mSlideTick(mod, c, col);
    return 0;
}

static int effect_S3Md0_Stop(MODFILE*, int, int) { return 0; }

/* ---- 39 S3Me0: Exx portamento down (EFx fine, EEx extra fine) ------------ */

/* S3M portamento by sign: the fine kinds (Fx four units, Ex one) once on
 * the row's first tick, after its note; the others 4 * op from tick 1. */
static void s3mPortaTick(MODFILE* mod, int c, int col, int sign)
{
    int op = chan(mod, c)->fx[col].op;
    if (mod->tick == 0 && (op & 0xF0) == 0xF0)
        MODFILE_SlidePeriod(mod, c, sign * 4 * (op & 15));
    else if (mod->tick == 0 && (op & 0xF0) == 0xE0)
        MODFILE_SlidePeriod(mod, c, sign * (op & 15));
    else if (mod->tick != 0 && op < 0xE0)
        MODFILE_SlidePeriod(mod, c, sign * 4 * op);
}

static int effect_S3Me0_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    memory(&chan(mod, c)->fx[col], &chan(mod, c)->fx[col].portaMem);
    return 0;
}

static int effect_S3Me0_Process(MODFILE* mod, int c, int col)
{
    s3mPortaTick(mod, c, col, 1);
    return 0;
}

static int effect_S3Me0_Stop(MODFILE*, int, int) { return 0; }

/* ---- 40 S3Mf0: Fxx portamento up (FFx fine, FEx extra fine) -------------- */

static int effect_S3Mf0_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    memory(&chan(mod, c)->fx[col], &chan(mod, c)->fx[col].portaMem);
    return 0;
}

static int effect_S3Mf0_Process(MODFILE* mod, int c, int col)
{
    s3mPortaTick(mod, c, col, -1);
    return 0;
}

static int effect_S3Mf0_Stop(MODFILE*, int, int) { return 0; }

/* ---- 41 S3Mk0: Kxy vibrato + S3M volume slide ---------------------------- */

static int effect_S3Mk0_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    s3mSlideStart(mod, c, col);
    return 0;
}

static int effect_S3Mk0_Process(MODFILE* mod, int c, int col)
{
    vibratoTick(mod, c, col);
    s3mSlideTick(mod, c, col);
    return 0;
}

static int effect_S3Mk0_Stop(MODFILE* mod, int c, int)
{
    MODFILE_SetPeriodOfs(mod, c, 0);
    return 0;
}

/* ---- 42 S3Ml0: Lxy tone portamento + S3M volume slide -------------------- */

static int effect_S3Ml0_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    s3mSlideStart(mod, c, col);
    return 0;
}

/* the portamento goes on at the speed the last Gxx left; xy is the slide */
static int effect_S3Ml0_Process(MODFILE* mod, int c, int col)
{
    if (mod->tick != 0)
        tonePortaTick(mod, c, col, 4 * chan(mod, c)->fx[col].tonePortaMem);
    s3mSlideTick(mod, c, col);
    return 0;
}

static int effect_S3Ml0_Stop(MODFILE*, int, int) { return 0; }

/* The volume change of a retrigger with volume change x (0..15). */
static void retrigVolume(MODFILE* mod, int c, int change)
{
    MODFILE_CHANNEL* ch = chan(mod, c);
    int v = ch->voice.volume;
    switch (change) {
    case 1: case 2: case 3: case 4: case 5: /* -1, -2, -4, -8, -16 */
        MODFILE_SubVolume(mod, c, 1 << (change - 1));
        break;
    case 6: /* two thirds */
        ch->voice.volume = (uint8_t)(2 * v / 3);
        break;
    case 7: /* half */
        ch->voice.volume = (uint8_t)(v / 2);
        break;
    case 9: case 10: case 11: case 12: case 13: /* +1, +2, +4, +8, +16 */
        MODFILE_AddVolume(mod, c, 1 << (change - 9));
        break;
    case 14: /* one and a half */
        ch->voice.volume = (uint8_t)(3 * v / 2 > 64 ? 64 : 3 * v / 2);
        break;
    case 15: /* double */
        ch->voice.volume = (uint8_t)(2 * v > 64 ? 64 : 2 * v);
        break;
    default: /* 0 and 8: volume unchanged */
        break;
    }
}

/* ---- 43 S3Mq0: Qxy retrigger with volume change -------------------------- */

static int effect_S3Mq0_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    MODFILE_FXSTATE* fx = &chan(mod, c)->fx[col];
    memory(fx, &fx->retrigMem);
    fx->retrigCount = 0;
    return 0;
}

static int effect_S3Mq0_Process(MODFILE* mod, int c, int col)
{
    MODFILE_CHANNEL* ch = chan(mod, c);
    MODFILE_FXSTATE* fx = &ch->fx[col];
    fx->retrigCount++;
    if (mod->tick == 0 || (fx->op & 15) > fx->retrigCount)
        return 0;
    fx->retrigCount = 0;
    retrigVolume(mod, c, fx->op >> 4);
    ch->voice.forward = 1;
    ch->voice.position = ch->voice.positionFrac = 0;
    ch->voice.active = 1;
    return 0;
}

static int effect_S3Mq0_Stop(MODFILE*, int, int) { return 0; }

/* ---- 44 S3Mr0: Rxy tremolo, position moves every tick -------------------- */

static int effect_S3Mr0_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    tremoloSetup(mod, c, col);
    return 0;
}

static int effect_S3Mr0_Process(MODFILE* mod, int c, int col)
{
    tremoloStep(mod, c, col, 1);
    return 0;
}

static int effect_S3Mr0_Stop(MODFILE* mod, int c, int col)
{
    return effect_ST70_Stop(mod, c, col);
}

/* ---- 45 S3Mt0: Txx set tempo --------------------------------------------- */

static int effect_S3Mt0_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    int op = chan(mod, c)->fx[col].op;
    if (op != 0)
        MODFILE_SetBPM(mod, op);
    return 0;
}

static int effect_S3Mt0_Process(MODFILE*, int, int) { return 0; }
static int effect_S3Mt0_Stop(MODFILE*, int, int) { return 0; }

/* ---- 46 XM50: 5xy tone portamento + volume slide, with memory ------------ */

/* the portamento goes on at the speed the last 3xx left; the slide
 * remembers its operand with Axy's memory */
static int effect_XM50_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    memory(&chan(mod, c)->fx[col], &chan(mod, c)->fx[col].volSlideMem);
    return 0;
}

static int effect_XM50_Stop(MODFILE*, int, int) { return 0; }

/* ---- 47 XM60: 6xy vibrato + volume slide, with memory ---------------------- */

static int effect_XM60_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    memory(&chan(mod, c)->fx[col], &chan(mod, c)->fx[col].volSlideMem);
    return 0;
}


/* ---- 48 XMe5: E5x set finetune for the row's note -------------------------- */

/* The note in the same row plays with finetune (x - 8) / 8 of a semitone
 * instead of its sample's; without a note nothing changes. */
static int effect_XMe5_Start(MODFILE* mod, int c, int col, MODFILE_CELL* cell)
{
    MODFILE_CHANNEL* ch = chan(mod, c);
    if (!cell || cell->note >= 254)
        return 0;
    int instr = cell->instrument & 255;
    if (instr < 1 || instr > mod->numInstruments)
        instr = ch->lastInstrument;
    if (instr < 1 || instr > mod->numInstruments)
        return 0;
    const MODFILE_INSTRUMENT* ins = &mod->instruments[instr - 1];
    const MODFILE_SAMPLE* s = ins->noteSample[cell->note];
    if (!s)
        return 0;
    int finetune = (ch->fx[col].op & 15) * 16 - 128;
    ch->basePeriod = MODFILE_SamplePeriod(mod, ins, s, cell->note, xmfinetab[finetune + 128], finetune);
    return MODFX_KEEP_PERIOD;
}

static int effect_XMe5_Process(MODFILE*, int, int) { return 0; }
static int effect_XMe5_Stop(MODFILE*, int, int) { return 0; }

/* ---- 49 XMk0: Kxx key off at tick xx --------------------------------------- */

/* K00 is a key off in place of the row's note, which does not play. */
static int effect_XMk0_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    if (chan(mod, c)->fx[col].op != 0)
        return 0;
    if (chan(mod, c)->voice.active)
        MODFILE_KeyOff(mod, c, 0);
    return MODFX_NO_TRIGGER;
}

static int effect_XMk0_Process(MODFILE* mod, int c, int col)
{
    int op = chan(mod, c)->fx[col].op;
    if (op != 0 && mod->tick == op && chan(mod, c)->voice.active)
        MODFILE_KeyOff(mod, c, 0);
    return 0;
}

static int effect_XMk0_Stop(MODFILE*, int, int) { return 0; }

/* ---- 50 XMl0: Lxx set envelope position ------------------------------------ */

/* Moves the volume envelope to tick xx on the row's first tick (after its
 * note), and the row's first tick already plays from there (the tick after
 * xx); the panning envelope moves with it only when the volume envelope
 * has a sustain point, as the tracker does it. */
static int effect_XMl0_Start(MODFILE*, int, int, MODFILE_CELL*) { return 0; }

static int effect_XMl0_Process(MODFILE* mod, int c, int col)
{
    MODFILE_CHANNEL* ch = chan(mod, c);
    if (mod->tick != 0 || !ch->instrument)
        return 0;
    EnvSetPosition(&ch->volEnv, ch->fx[col].op);
    if (EnvProcess(&ch->volEnv))
        ch->voice.envVolume = (uint8_t)ch->volEnv.value;
    if (ch->instrument->volEnvelope.sustain != 255) {
        EnvSetPosition(&ch->panEnv, ch->fx[col].op);
        if (EnvProcess(&ch->panEnv))
            ch->voice.envPanning = (uint8_t)ch->panEnv.value;
    }
    return 0;
}

static int effect_XMl0_Stop(MODFILE*, int, int) { return 0; }

/* ---- 51 XMr0: Rxy multi retrigger ------------------------------------------ */

/* The ticks are counted on every tick, across rows, from the row's note;
 * when the count reaches y the sample starts again and the volume changes
 * by x as in the S3M retrigger. x and y are remembered each on its own. As
 * in the tracker, a row whose volume column holds anything does not
 * retrigger (the count goes on). */
static int effect_XMr0_Start(MODFILE* mod, int c, int col, MODFILE_CELL* cell)
{
    MODFILE_FXSTATE* fx = &chan(mod, c)->fx[col];
    int x = fx->op >> 4, y = fx->op & 15;
    if (x == 0)
        x = fx->retrigMem >> 4;
    if (y == 0)
        y = fx->retrigMem & 15;
    fx->retrigMem = (uint8_t)(x << 4 | y);
    fx->op = fx->retrigMem;
    if (cell && cell->note < 254)
        fx->retrigCount = 0;
    /* the operand in force is 0 in a row that does not retrigger; x and y
     * live in retrigMem */
    if (cell && (cell->volume <= 64 || cell->effect[0] != MODFX_NONE))
        fx->op = 0;
    return 0;
}

static int effect_XMr0_Process(MODFILE* mod, int c, int col)
{
    MODFILE_CHANNEL* ch = chan(mod, c);
    MODFILE_FXSTATE* fx = &ch->fx[col];
    int y = fx->retrigMem & 15;
    if (fx->retrigCount < 255)
        fx->retrigCount++;
    if (y == 0 || fx->retrigCount < y || fx->op == 0)
        return 0;
    fx->retrigCount = 0;
    retrigVolume(mod, c, fx->retrigMem >> 4);
    if (ch->voice.sample) {
        ch->voice.position = ch->voice.positionFrac = 0;
        ch->voice.forward = 1;
        ch->voice.active = 1;
    }
    return 0;
}

static int effect_XMr0_Stop(MODFILE*, int, int) { return 0; }

/* ---- 52 XMt0: Txy tremor --------------------------------------------------- */

/* The channel sounds for x + 1 ticks, then is silent for y + 1, over and
 * over (the count goes on across rows); a row's first tick changes nothing
 * but takes the volume to sound with, unless the channel is silent (a
 * tremor going on from the row before). When the tremor ends the channel
 * stays as it left it, silent or not. */
static int effect_XMt0_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    memory(&chan(mod, c)->fx[col], &chan(mod, c)->fx[col].tremorMem);
    return 0;
}

static int effect_XMt0_Process(MODFILE* mod, int c, int col)
{
    MODFILE_CHANNEL* ch = chan(mod, c);
    MODFILE_FXSTATE* fx = &ch->fx[col];
    if (mod->tick == 0) {
        if (ch->voice.volume != 0)
            fx->tremorBaseVolume = ch->voice.volume;
        return 0;
    }
    /* tremorPos: bit 7 set while sounding, low bits the ticks left */
    int on = fx->tremorPos & 0x80;
    int left = (fx->tremorPos & 0x7F) - 1;
    if (left < 0) {
        on = on ? 0 : 0x80;
        left = on ? fx->op >> 4 : fx->op & 15;
    }
    fx->tremorPos = (uint8_t)(on | left);
    ch->voice.volume = on ? fx->tremorBaseVolume : 0;
    return 0;
}

static int effect_XMt0_Stop(MODFILE*, int, int) { return 0; }

/* ---- 53 XMx1: X1x extra fine portamento up --------------------------------- */

static int effect_XMx1_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    MODFILE_FXSTATE* fx = &chan(mod, c)->fx[col];
    memory(fx, &fx->xfinePortaUpMem);
    return 0;
}

static int effect_XMx1_Process(MODFILE* mod, int c, int col)
{
    if (mod->tick == 0)
        MODFILE_SlidePeriod(mod, c, -(chan(mod, c)->fx[col].op & 15));
    return 0;
}
static int effect_XMx1_Stop(MODFILE*, int, int) { return 0; }

/* ---- 54 XMx2: X2x extra fine portamento down ------------------------------- */

static int effect_XMx2_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    MODFILE_FXSTATE* fx = &chan(mod, c)->fx[col];
    memory(fx, &fx->xfinePortaDownMem);
    return 0;
}

static int effect_XMx2_Process(MODFILE* mod, int c, int col)
{
    if (mod->tick == 0)
        MODFILE_SlidePeriod(mod, c, chan(mod, c)->fx[col].op & 15);
    return 0;
}
static int effect_XMx2_Stop(MODFILE*, int, int) { return 0; }

/* ---- 55 XMva: volume column Ax set vibrato speed --------------------------- */

/* The volume column's vibrato shares speed, depth, wave and position with
 * the effect column's (column 1), as in the tracker. */
static int effect_XMva_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    int x = chan(mod, c)->fx[col].op & 15;
    if (x)
        chan(mod, c)->fx[1].vibSpeed = (uint8_t)x;
    return 0;
}

static int effect_XMva_Process(MODFILE*, int, int) { return 0; }
static int effect_XMva_Stop(MODFILE*, int, int) { return 0; }

/* ---- 56 XMvb: volume column Bx vibrato ------------------------------------- */

static int effect_XMvb_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    int x = chan(mod, c)->fx[col].op & 15;
    if (x)
        chan(mod, c)->fx[1].vibDepth = (uint8_t)x;
    return 0;
}

static int effect_XMvb_Process(MODFILE* mod, int c, int)
{
    vibratoTickFx(mod, c, &chan(mod, c)->fx[1]);
    return 0;
}

static int effect_XMvb_Stop(MODFILE* mod, int c, int)
{
    MODFILE_SetPeriodOfs(mod, c, 0);
    return 0;
}

/* ---- 57 XMvf: volume column Fx tone portamento ----------------------------- */

/* Speed 16x (x = 0: the last speed), shared with 3xx in column 1. */
static int effect_XMvf_Start(MODFILE* mod, int c, int col, MODFILE_CELL*)
{
    int x = chan(mod, c)->fx[col].op & 15;
    if (x)
        chan(mod, c)->fx[1].tonePortaMem = (uint8_t)(x << 4);
    return MODFX_KEEP_POSITION | MODFX_KEEP_PERIOD;
}

static int effect_XMvf_Process(MODFILE* mod, int c, int col)
{
    if (mod->tick != 0)
        tonePortaTick(mod, c, col, 4 * chan(mod, c)->fx[1].tonePortaMem);
    return 0;
}

static int effect_XMvf_Stop(MODFILE*, int, int) { return 0; }

/* ---- The table ----------------------------------------------------------- */

const MODPLAY_EFFECT MODPLAY_EffectHandlers[MODFX_COUNT + 1] = {
    {effect_None_Start, effect_None_Process, effect_None_Stop},    /*  0 none */
    {effect_ST00_Start, effect_ST00_Process, effect_ST00_Stop},    /*  1 0xy arpeggio */
    {effect_ST10_Start, effect_ST10_Process, effect_ST10_Stop},    /*  2 1xx portamento up */
    {effect_ST20_Start, effect_ST20_Process, effect_ST20_Stop},    /*  3 2xx portamento down */
    {effect_ST30_Start, effect_ST30_Process, effect_ST30_Stop},    /*  4 3xx tone portamento */
    {effect_ST40_Start, effect_ST40_Process, effect_ST40_Stop},    /*  5 4xy vibrato */
    {effect_ST50_Start, effect_ST50_Process, effect_ST50_Stop},    /*  6 5xy tone portamento + volume slide */
    {effect_ST60_Start, effect_ST60_Process, effect_ST60_Stop},    /*  7 6xy vibrato + volume slide */
    {effect_ST70_Start, effect_ST70_Process, effect_ST70_Stop},    /*  8 7xy tremolo */
    {effect_ST80_Start, effect_ST80_Process, effect_ST80_Stop},    /*  9 8xx set panning */
    {effect_ST90_Start, effect_ST90_Process, effect_ST90_Stop},    /* 10 9xx sample offset */
    {effect_STa0_Start, effect_STa0_Process, effect_STa0_Stop},    /* 11 Axy volume slide */
    {effect_STb0_Start, effect_STb0_Process, effect_STb0_Stop},    /* 12 Bxx position jump */
    {effect_STc0_Start, effect_STc0_Process, effect_STc0_Stop},    /* 13 Cxx set volume */
    {effect_STd0_Start, effect_STd0_Process, effect_STd0_Stop},    /* 14 Dxx pattern break */
    {effect_STe1_Start, effect_STe1_Process, effect_STe1_Stop},    /* 15 E1x fine portamento up */
    {effect_STe2_Start, effect_STe2_Process, effect_STe2_Stop},    /* 16 E2x fine portamento down */
    {effect_STe4_Start, effect_STe4_Process, effect_STe4_Stop},    /* 17 E4x vibrato waveform */
    {effect_STe5_Start, effect_STe5_Process, effect_STe5_Stop},    /* 18 E5x set finetune */
    {effect_STe6_Start, effect_STe6_Process, effect_STe6_Stop},    /* 19 E6x pattern loop */
    {effect_STe7_Start, effect_STe7_Process, effect_STe7_Stop},    /* 20 E7x tremolo waveform */
    {effect_STe8_Start, effect_STe8_Process, effect_STe8_Stop},    /* 21 E8x coarse panning */
    {effect_STe9_Start, effect_STe9_Process, effect_STe9_Stop},    /* 22 E9x retrigger */
    {effect_STea_Start, effect_STea_Process, effect_STea_Stop},    /* 23 EAx fine volume up */
    {effect_STeb_Start, effect_STeb_Process, effect_STeb_Stop},    /* 24 EBx fine volume down */
    {effect_STec_Start, effect_STec_Process, effect_STec_Stop},    /* 25 ECx note cut */
    {effect_STed_Start, effect_STed_Process, effect_STed_Stop},    /* 26 EDx note delay */
    {effect_STee_Start, effect_STee_Process, effect_STee_Stop},    /* 27 EEx pattern delay */
    {effect_STef_Start, effect_STef_Process, effect_STef_Stop},    /* 28 EFx (no effect) */
    {effect_STf0_Start, effect_STf0_Process, effect_STf0_Stop},    /* 29 Fxx set speed / tempo */
    {effect_STg0_Start, effect_STg0_Process, effect_STg0_Stop},    /* 30 Bxx + Dyy jump to position and row */
    {effect_XM01_Start, effect_XM01_Process, effect_XM01_Stop},    /* 31 1xx portamento up, with memory */
    {effect_XM02_Start, effect_XM02_Process, effect_XM02_Stop},    /* 32 2xx portamento down, with memory */
    {effect_XM10_Start, effect_XM10_Process, effect_XM10_Stop},    /* 33 Gxx set global volume */
    {effect_XM11_Start, effect_XM11_Process, effect_XM11_Stop},    /* 34 Hxy global volume slide */
    {effect_XM19_Start, effect_XM19_Process, effect_XM19_Stop},    /* 35 Pxy panning slide */
    {effect_XMa0_Start, effect_XMa0_Process, effect_XMa0_Stop},    /* 36 Axy volume slide, with memory */
    {effect_S3Ma0_Start, effect_S3Ma0_Process, effect_S3Ma0_Stop}, /* 37 Axx set speed */
    {effect_S3Md0_Start, effect_S3Md0_Process, effect_S3Md0_Stop}, /* 38 Dxy volume slide, fine kinds */
    {effect_S3Me0_Start, effect_S3Me0_Process, effect_S3Me0_Stop}, /* 39 Exx portamento down, fine kinds */
    {effect_S3Mf0_Start, effect_S3Mf0_Process, effect_S3Mf0_Stop}, /* 40 Fxx portamento up, fine kinds */
    {effect_S3Mk0_Start, effect_S3Mk0_Process, effect_S3Mk0_Stop}, /* 41 Kxy vibrato + volume slide */
    {effect_S3Ml0_Start, effect_S3Ml0_Process, effect_S3Ml0_Stop}, /* 42 Lxy tone portamento + volume slide */
    {effect_S3Mq0_Start, effect_S3Mq0_Process, effect_S3Mq0_Stop}, /* 43 Qxy retrigger + volume change */
    {effect_S3Mr0_Start, effect_S3Mr0_Process, effect_S3Mr0_Stop}, /* 44 Rxy tremolo */
    {effect_S3Mt0_Start, effect_S3Mt0_Process, effect_S3Mt0_Stop}, /* 45 Txx set tempo */
    {effect_XM50_Start, effect_ST50_Process, effect_XM50_Stop},    /* 46 5xy tone portamento + volume slide, memory */
    {effect_XM60_Start, effect_ST60_Process, effect_ST60_Stop},    /* 47 6xy vibrato + volume slide, memory */
    {effect_XMe5_Start, effect_XMe5_Process, effect_XMe5_Stop},    /* 48 E5x set finetune of the row's note */
    {effect_XMk0_Start, effect_XMk0_Process, effect_XMk0_Stop},    /* 49 Kxx key off at tick xx */
    {effect_XMl0_Start, effect_XMl0_Process, effect_XMl0_Stop},    /* 50 Lxx set envelope position */
    {effect_XMr0_Start, effect_XMr0_Process, effect_XMr0_Stop},    /* 51 Rxy multi retrigger */
    {effect_XMt0_Start, effect_XMt0_Process, effect_XMt0_Stop},    /* 52 Txy tremor */
    {effect_XMx1_Start, effect_XMx1_Process, effect_XMx1_Stop},    /* 53 X1x extra fine portamento up */
    {effect_XMx2_Start, effect_XMx2_Process, effect_XMx2_Stop},    /* 54 X2x extra fine portamento down */
    {effect_XMva_Start, effect_XMva_Process, effect_XMva_Stop},    /* 55 volume column Ax vibrato speed */
    {effect_XMvb_Start, effect_XMvb_Process, effect_XMvb_Stop},    /* 56 volume column Bx vibrato */
    {effect_XMvf_Start, effect_XMvf_Process, effect_XMvf_Stop},    /* 57 volume column Fx tone portamento */
    {nullptr, nullptr, nullptr},                                   /* end */
};

/* ---- For the loaders ------------------------------------------------------ */

void effect_spareJump(MODFILE_CELL* spare, int jump, int operand, int jumpKeepsRow)
{
    int e = spare->effect[0];
    int hasBreak = e == MODFX_PATTERN_BREAK || e == MODFX_JUMP_TO_ROW;
    int hasJump = e == MODFX_POSITION_JUMP || e == MODFX_JUMP_TO_ROW;
    if (jump) {
        if (hasBreak && jumpKeepsRow) {
            spare->effectOp[1] = e == MODFX_PATTERN_BREAK ? spare->effectOp[0] : spare->effectOp[1];
            spare->effect[0] = MODFX_JUMP_TO_ROW;
        } else {
            spare->effect[0] = MODFX_POSITION_JUMP;
        }
        spare->effectOp[0] = (uint8_t)operand;
    } else if (hasJump) {
        spare->effect[0] = MODFX_JUMP_TO_ROW;
        spare->effectOp[1] = (uint8_t)operand;
    } else {
        spare->effect[0] = MODFX_PATTERN_BREAK;
        spare->effectOp[0] = (uint8_t)operand;
    }
}

