/*
 * mod: the Amiga Pro/Soundtracker (MOD) loader.
 *
 * Reads a 31-instrument module with a channel signature at offset 1080
 * ("M.K.", "8CHN", "32CH", ...) or, when no known signature is there, an old
 * 15-instrument, 4-channel one. Periods become note values through
 * s3m_amiga2st3, the effects become the player's effect numbers (jumps and
 * breaks go to the spare last channel), and the sample data is copied as
 * signed 8-bit. Every read goes through the bounds-checked reader: a file
 * shorter than what it declares keeps empty patterns and samples cut to what
 * is there.
 */
#ifndef ORVEL_MODPLAY_MOD_H
#define ORVEL_MODPLAY_MOD_H

#include <cstdint>

#include "modplay/modplay.h"

/* One period of the note table and its note value. */
struct MOD_PERIODNOTE {
    uint16_t period; /* quarter of the classic Amiga period unit: 14..6848 */
    uint8_t note;    /* note value (octave << 4) | semitone */
};

/* 108 periods of octaves 0..8 (entry 12 * o + s is note value o << 4 | s),
 * then 7 off-table periods some trackers wrote. */
extern const MOD_PERIODNOTE s3m_amiga2st3[115];

/* C-4 rates in Hz for the MOD finetunes -8..7 (index = finetune + 8), an
 * eighth of a semitone apart: round(8363 * 2^((index - 8) / 96)). */
extern const int32_t s3m_finetunes[16];

/* Loads a MOD image into mod. 0 on success; 1 on success when some period
 * was not in s3m_amiga2st3 (each one is reported on stderr as "Note not
 * found: %x\n" and its note left empty); -1 when data or mod is null, the
 * image is shorter than its header, its song length is 0 or no order entry
 * can be played; -2 when memory runs out (the record is then left as it
 * was). */
int MODFILE_SetMOD(const char* data, int len, MODFILE* mod);

/* The trial load: 1 when data is set, len >= 1080 and MODFILE_SetMOD would
 * load the image with result 0 (every period known); else 0. Allocates
 * nothing and prints nothing. */
int MODFILE_IsMOD(const char* data, int len);

int MODFILE_MODGetFormatID(void);              /* 1 */
const char* MODFILE_MODGetDescription(void);   /* "Amiga Pro/Soundtracker" */
const char* MODFILE_MODGetAuthor(void);
const char* MODFILE_MODGetVersion(void);       /* "v0.03b" */
const char* MODFILE_MODGetCopyright(void);

#endif
