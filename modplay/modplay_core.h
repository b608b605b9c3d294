/*
 * modplay_core: the tick and row engine of the module player.
 *
 * MODFILE_Player renders audio tick by tick; at the end of every tick it
 * calls MODFILE_EffectHandler, and at the end of a row's last tick first the
 * row handler MODFILE_Process. The row handler reads one pattern row, runs
 * the effects' start and stop entries, triggers notes and moves on to the
 * next row and order position. Notes become periods and periods become the
 * mixer's 22.10 step, in the linear or the Amiga-style period system.
 */
#ifndef ORVEL_MODPLAY_MODPLAY_CORE_H
#define ORVEL_MODPLAY_MODPLAY_CORE_H

#include "modplay/modplay.h"

/* Start flags: what an effect's start entry asks of the row handler. */
enum {
    MODFX_NO_TRIGGER = 0x01,   /* do not trigger the cell's note/instrument */
    MODFX_NO_ADVANCE = 0x02,   /* the effect has set row/songPos itself */
    MODFX_KEEP_POSITION = 0x04, /* keep the sample position across the trigger */
    MODFX_KEEP_PERIOD = 0x08,  /* keep the period across the trigger */
    MODFX_KEEP_PANNING = 0x10, /* keep the panning across the trigger */
    MODFX_KEEP_VOLUME = 0x20   /* keep the volume across the trigger */
};

/* 192 entries by note index n = 12 * octave + semitone:
 * floor(B[s] * 16 * 8363 / 2^octave), B = 1712 1616 1524 1440 1356 1280 1208
 * 1140 1076 1016 960 907. Divided by a C-4 rate it gives the Amiga period. */
extern const int32_t mod_notetable[192];

/* 192 entries by note index n: floor(14317456 * 2^((48 - n) / 12)), the
 * periods of equal temperament (times the C-4 rate) that songs with
 * equalTempered set play instead of mod_notetable's. */
extern const int32_t mod_notetable_equal[192];

/* 768 entries: floor(8363 * 16 * 2^(-i / 768)). Four times entry i is the
 * frequency in Hz of linear period i; every further 768 units halve it. */
extern const int32_t linearperiodtab[768];

/* Processes the current row (see the file comment); returns the trigger
 * bits: bit c set when channel c (c < 32) started a note. */
uint32_t MODFILE_Process(MODFILE* mod);

/* Per-tick work: envelopes, fade-out, the effects' per-tick entries and the
 * instrument's auto-vibrato for every enabled music channel, envelopes and
 * fade-out for the SFX channels. Returns 0. */
int MODFILE_EffectHandler(MODFILE* mod);

/* Starts, changes or releases the note of channel c: note value (254 key
 * off, 255 none), instrument 0..255 (0 = the last one), volume 0..64 or 255
 * for none. Non-zero when a note or an instrument was started. */
int MODFILE_TriggerNote(MODFILE* mod, int c, int note, int instrument, int volume);

/* The period of note value v for a sample with C-4 rate r (0 = 8363) and
 * finetune f, in the song's period system. */
int32_t MODFILE_NotePeriod(const MODFILE* mod, int v, int r, int f);

/* The period instrument ins plays note value `note` at with sample s: the
 * note moved by the sample's relative note, through the instrument's
 * noteMap, with C-4 rate r and finetune f (normally the sample's own). */
int32_t MODFILE_SamplePeriod(const MODFILE* mod, const MODFILE_INSTRUMENT* ins, const MODFILE_SAMPLE* s, int note,
                             int r, int f);

/* Key off on channel c: the envelopes pass their sustain points and, with
 * a volume envelope, the fade-out starts. Without one an XM note falls
 * silent (volume 0, unless withInstrument says the key off's cell named an
 * instrument, which gave the volume back) and a MOD or S3M note stops. */
void MODFILE_KeyOff(MODFILE* mod, int c, int withInstrument);

/* Starts channel c's sample again from its first frame, with its envelopes,
 * fade-out and auto-vibrato; volume and period stay. Nothing without a
 * sample. */
void MODFILE_Retrigger(MODFILE* mod, int c);

/* The 16 fraction bits (0..65535) an Amiga-style note period has beyond
 * MODFILE_NotePeriod's whole units, in an S3M or XM song; 0 for linear
 * periods and in a MOD, whose periods are whole as its tracker has them. */
uint16_t MODFILE_NotePeriodFrac(const MODFILE* mod, int v, int r);

/* basePeriod (and periodFrac) = the period of note value v (rate r,
 * finetune f); recomputes step. */
void MODFILE_SetNote(MODFILE* mod, int c, int v, int r, int f);

/* basePeriod = period; recomputes step. */
void MODFILE_SetPeriod(MODFILE* mod, int c, int32_t period);

/* periodOffset = offset; recomputes step. */
void MODFILE_SetPeriodOfs(MODFILE* mod, int c, int32_t offset);

/* Moves basePeriod by delta (negative: up in pitch) as far as the format
 * lets a slide go, and recomputes step: a MOD stays within the Amiga's B-3
 * to C-1 (4 * 113 .. 4 * 856; a note already beyond keeps its period as the
 * limit), an XM within 1..31999, an S3M below 32768, and an S3M slide past
 * period 0 cuts the note (its pitch holds at the top meanwhile, see
 * MODFILE_UpdateStep). */
void MODFILE_SlidePeriod(MODFILE* mod, int c, int32_t delta);

/* Recomputes step from basePeriod + periodOffset + autoVibOffset, a sum
 * below 1 (below 64 in an S3M) taken as 1 (64): the highest pitch holds
 * instead of the step vanishing. */
void MODFILE_UpdateStep(MODFILE* mod, int c);

/* Sets the tempo and the tick length if 32 <= bpm <= 255, else ignores it. */
void MODFILE_SetBPM(MODFILE* mod, int bpm);

/* mixRate * 5 / (bpm * 2), integer division (0 for bpm <= 0). */
int MODFILE_BPM2SamplesPerTick(const MODFILE* mod, int bpm);

/* volume = min(volume + amount, 64). */
void MODFILE_AddVolume(MODFILE* mod, int c, int amount);

/* volume = volume - amount, or 0 when amount >= volume. */
void MODFILE_SubVolume(MODFILE* mod, int c, int amount);

/* Moves songPos to the next order entry below 254; past the end of the
 * order list the song goes on at restartPos (0 when it is out of range). */
void MODFILE_NextOrder(MODFILE* mod);

#endif
