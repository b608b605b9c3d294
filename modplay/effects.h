/*
 * effects: the pattern effects, as a table of handler triples.
 *
 * A cell's two effect columns hold effect numbers 0..45 that index
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

enum {
    MODFX_COUNT = 46, /* effect numbers 0..45 */
    MODFX_LAST = 45
};

struct MODPLAY_EFFECT {
    int (*start)(MODFILE* mod, int c, int col, MODFILE_CELL* cell);
    int (*process)(MODFILE* mod, int c, int col);
    int (*stop)(MODFILE* mod, int c, int col);
};

/* Rows 0..45 by effect number, then a row of nulls. */
extern const MODPLAY_EFFECT MODPLAY_EffectHandlers[MODFX_COUNT + 1];

/* Vibrato and tremolo waves by the low two bits of vibWave/tremWave, 64
 * positions each: 0 sine floor(255 * sin(pi * i / 32)), 1 ramp 255 - 8i,
 * 2 square 255 then -255, 3 a fixed random row. */
extern const int16_t wavetab[4][64];

/* C-4 rates in Hz by finetune operand 0..15 (8 = no finetune). */
extern const int32_t mod_finetunes[16];

/* For the loaders: puts a position jump (jump = 1, operand = the order
 * position: effect 12) or a pattern break (jump = 0, operand = the row:
 * effect 14) into a row's spare cell. A jump and a break in one row, in
 * either order, become one position jump with row (effect 30: position in
 * operand 0, row in operand 1). */
void effect_spareJump(MODFILE_CELL* spare, int jump, int operand);

#endif
