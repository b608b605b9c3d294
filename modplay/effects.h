/*
 * effects: the pattern effects, as a table of handler triples.
 *
 * A cell's two effect columns hold effect numbers (MODFX_ID) that index
 * MODPLAY_EffectHandlers. Each row holds three entries:
 *   start   (mod, channel, column, cell) -> start flags (modplay_core.h), run
 *           by the row handler when a row sets the effect;
 *   process (mod, channel, column) -> 0, run on every tick of every row while
 *           the effect is set in that column (tick 0 included, right after
 *           the row handler);
 *   stop    (mod, channel, column) -> 0, run on the column's previous effect
 *           before the row sets the new one (also when it continues).
 * Entries that do nothing return 0; no entry is null except in the final row.
 * Per-effect memory lives in the channel's MODFILE_FXSTATE of the column.
 */
#ifndef ORVEL_MODPLAY_EFFECTS_H
#define ORVEL_MODPLAY_EFFECTS_H

#include "modplay/modplay.h"

/* Effect numbers: the index of each effect's row in MODPLAY_EffectHandlers,
 * as the loaders store them in a cell's effect columns. The tracker notation
 * of each is in the table's comments (effects.cpp). */
enum MODFX_ID {
    MODFX_NONE = 0,
    MODFX_ARPEGGIO = 1,              /* 0xy */
    MODFX_PORTA_UP = 2,              /* 1xx, no memory */
    MODFX_PORTA_DOWN = 3,            /* 2xx, no memory */
    MODFX_TONE_PORTA = 4,            /* 3xx */
    MODFX_VIBRATO = 5,               /* 4xy */
    MODFX_TONE_PORTA_VOLSLIDE = 6,   /* 5xy */
    MODFX_VIBRATO_VOLSLIDE = 7,      /* 6xy */
    MODFX_TREMOLO = 8,               /* 7xy */
    MODFX_SET_PANNING = 9,           /* 8xx */
    MODFX_SAMPLE_OFFSET = 10,        /* 9xx */
    MODFX_VOLUME_SLIDE = 11,         /* Axy, no memory */
    MODFX_POSITION_JUMP = 12,        /* Bxx */
    MODFX_SET_VOLUME = 13,           /* Cxx */
    MODFX_PATTERN_BREAK = 14,        /* Dxx */
    MODFX_FINE_PORTA_UP = 15,        /* E1x */
    MODFX_FINE_PORTA_DOWN = 16,      /* E2x */
    MODFX_VIBRATO_WAVE = 17,         /* E4x */
    MODFX_SET_FINETUNE = 18,         /* E5x */
    MODFX_PATTERN_LOOP = 19,         /* E6x */
    MODFX_TREMOLO_WAVE = 20,         /* E7x */
    MODFX_COARSE_PANNING = 21,       /* E8x */
    MODFX_RETRIGGER = 22,            /* E9x */
    MODFX_FINE_VOLUME_UP = 23,       /* EAx */
    MODFX_FINE_VOLUME_DOWN = 24,     /* EBx */
    MODFX_NOTE_CUT = 25,             /* ECx */
    MODFX_NOTE_DELAY = 26,           /* EDx */
    MODFX_PATTERN_DELAY = 27,        /* EEx */
    MODFX_EF_NOTHING = 28,           /* EFx */
    MODFX_SPEED_TEMPO = 29,          /* Fxx */
    MODFX_JUMP_TO_ROW = 30,          /* Bxx and Dyy in one row */
    MODFX_XM_PORTA_UP = 31,          /* 1xx with memory */
    MODFX_XM_PORTA_DOWN = 32,        /* 2xx with memory */
    MODFX_GLOBAL_VOLUME = 33,        /* Gxx */
    MODFX_GLOBAL_VOLUME_SLIDE = 34,  /* Hxy */
    MODFX_PANNING_SLIDE = 35,        /* Pxy */
    MODFX_XM_VOLUME_SLIDE = 36,      /* Axy with memory */
    MODFX_S3M_SPEED = 37,            /* S3M Axx */
    MODFX_S3M_VOLUME_SLIDE = 38,     /* S3M Dxy */
    MODFX_S3M_PORTA_DOWN = 39,       /* S3M Exx */
    MODFX_S3M_PORTA_UP = 40,         /* S3M Fxx */
    MODFX_S3M_VIBRATO_VOLSLIDE = 41, /* S3M Kxy */
    MODFX_S3M_TONE_PORTA_VOLSLIDE = 42, /* S3M Lxy */
    MODFX_S3M_RETRIGGER = 43,        /* S3M Qxy */
    MODFX_S3M_TREMOLO = 44,          /* S3M Rxy */
    MODFX_S3M_TEMPO = 45,            /* S3M Txx */
    MODFX_XM_TONE_PORTA_VOLSLIDE = 46, /* XM 5xy, slide with memory */
    MODFX_XM_VIBRATO_VOLSLIDE = 47,  /* XM 6xy, slide with memory */
    MODFX_XM_SET_FINETUNE = 48,      /* XM E5x */
    MODFX_XM_KEY_OFF = 49,           /* XM Kxx */
    MODFX_XM_ENV_POSITION = 50,      /* XM Lxx */
    MODFX_XM_MULTI_RETRIG = 51,      /* XM Rxy */
    MODFX_XM_TREMOR = 52,            /* XM Txy */
    MODFX_XM_XFINE_PORTA_UP = 53,    /* XM X1x */
    MODFX_XM_XFINE_PORTA_DOWN = 54,  /* XM X2x */
    MODFX_XM_VOL_VIBRATO_SPEED = 55, /* XM volume column Ax */
    MODFX_XM_VOL_VIBRATO = 56,       /* XM volume column Bx */
    MODFX_XM_VOL_TONE_PORTA = 57,    /* XM volume column Fx */
    MODFX_COUNT,                     /* number of effects */
    MODFX_LAST = MODFX_COUNT - 1
};

enum {
    MODFX_UNSET = 255 /* a column with no effect in force (what MODFILE_Start sets) */
};

struct MODPLAY_EFFECT {
    int (*start)(MODFILE* mod, int c, int col, MODFILE_CELL* cell);
    int (*process)(MODFILE* mod, int c, int col);
    int (*stop)(MODFILE* mod, int c, int col);
};

/* One row per effect number, then a row of nulls. */
extern const MODPLAY_EFFECT MODPLAY_EffectHandlers[MODFX_COUNT + 1];

/* Vibrato and tremolo waves by the low two bits of vibWave/tremWave, 64
 * positions each: 0 sine floor(255 * sin(pi * i / 32)), 1 a rising ramp
 * (8i, then 8i - 511),
 * 2 square 255 then -255, 3 a fixed random row. */
extern const int16_t wavetab[4][64];

/* C-4 rates in Hz by finetune operand 0..15 (8 = no finetune). */
extern const int32_t mod_finetunes[16];

/* For the loaders: puts a position jump (jump = 1, operand = the order
 * position: MODFX_POSITION_JUMP) or a pattern break (jump = 0, operand = the
 * row: MODFX_PATTERN_BREAK) into a row's spare cell, combining it with what
 * the row's earlier channels put there. A break after a jump becomes one
 * position jump with row (MODFX_JUMP_TO_ROW: position in operand 0, row in
 * operand 1). A jump after a break keeps the break's row when
 * jumpKeepsRow is set (S3M); otherwise (MOD, XM) the jump clears it and the
 * new position starts at row 0. A later jump replaces the position, a later
 * break the row. */
void effect_spareJump(MODFILE_CELL* spare, int jump, int operand, int jumpKeepsRow);

#endif
