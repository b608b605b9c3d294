/*
 * xm: the Extended Module (XM) loader.
 *
 * Reads a whole XM file image held in memory into a MODFILE record: header,
 * order list, patterns with every cell translated into the player's note and
 * effect numbers (jumps and breaks moved into the spare last channel), the
 * instruments with their note-to-sample tables, envelopes and auto-vibrato,
 * and the samples with their delta-coded data decoded.
 *
 * Every read goes through the bounds-checked reader, and every count, index
 * and size is checked before it is trusted: a damaged file loads as far as it
 * safely can (cut patterns stay empty, cut samples are shortened, bad sample
 * numbers and envelope points are dropped or clamped) or is refused.
 */
#ifndef ORVEL_MODPLAY_XM_H
#define ORVEL_MODPLAY_XM_H

#include "modplay/modplay.h"

/* Entry i = floor(8363 * 2^((i - 128) / 1536)): the C-4 rate in Hz of a
 * sample with finetune i - 128 (1/128 semitone units). */
extern const int32_t xmfinetab[256];

/* 1 when data is not null, len >= 1024, the image starts with
 * "Extended Module: " and byte 37 is 0x1A; else 0. */
int MODFILE_IsXM(const char* data, int len);

/* Loads the image into mod (initialised by MODFILE_Init, not loaded).
 * 0 on success. -1 when the image is not an XM or is refused: a header size
 * that does not fit, 0 or more than 32 channels, more than 256 patterns, more
 * than 128 instruments, an instrument with more than 16 samples, a pattern of
 * more than 256 rows, or an order list without an entry below 254; the record
 * is then left as it was. -2 when memory runs out (everything the load
 * allocated is released first and the record is left as it was). */
int MODFILE_SetXM(const char* data, int len, MODFILE* mod);

/* Translates one XM effect (type, parameter) of the cell at (pattern, row)
 * into the player's effect number and operand at *effect and *effectOp; a
 * position jump or pattern break goes into the row's spare cell instead,
 * combined with those of the row's earlier channels (a jump after a break
 * starts its position at row 0). Pattern loop and delay stay in their
 * channel's cell. Nothing when either pointer is null; the spare cell is
 * written only when the pattern and row exist. */
void convertXMEffects(MODFILE* mod, int pattern, int row, int type, int param, uint16_t* effect, uint8_t* effectOp);

/* Format descriptors of the XM row of mod_formats. */
int MODFILE_XMGetFormatID(void);         /* 3 */
const char* MODFILE_XMGetDescription(void);
const char* MODFILE_XMGetAuthor(void);
const char* MODFILE_XMGetVersion(void);  /* "v0.01b" */
const char* MODFILE_XMGetCopyright(void);

#endif
