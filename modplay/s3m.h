/*
 * s3m: the Future Crew Screamtracker 3 (S3M) loader.
 *
 * The file's enabled channels (settings below 16) are packed together
 * through a channel map made for each load (the spare last channel that
 * holds the global effects is enabled, like the file's channels) and take
 * their default panning (their side, the song's panning table, or the
 * centre in a mono song), each sample instrument becomes one sample and one
 * instrument, the packed patterns are unpacked into 64-row grids and the
 * commands become the player's effect numbers (jumps and breaks go to the
 * spare last channel). Songs saved by trackers later than Scream Tracker
 * (tracker id 3 and up) play their notes in equal temperament. Every count, parapointer and length is checked
 * against the image before it is trusted: tables that run past the file are
 * refused, parapointers past it give empty instruments and patterns, sample
 * data is cut where the file ends, and once the samples taken so far add up
 * to the file's length (headers may point at the same bytes) the rest are
 * cut to nothing.
 */
#ifndef ORVEL_MODPLAY_S3M_H
#define ORVEL_MODPLAY_S3M_H

#include <cstdint>

#include "modplay/modplay.h"

/* Loads an S3M image into mod. 0 on success; -1 when data or mod is null,
 * len < 48, "SCRM" is missing at offset 44, the file type is not 16, the
 * order or parapointer tables run past the image, more than 255 instruments
 * or 256 patterns are declared, no order entry can be played, or a sample
 * instrument's header lacks "SCRS" (all checked before anything is
 * allocated, so the record keeps no memory); -2 when memory runs out (the
 * record is then left as it was). */
int MODFILE_SetS3M(const char* data, int len, MODFILE* mod);

/* 1 when data is set, len >= 48 and bytes 44..47 are "SCRM"; else 0. */
int MODFILE_IsS3M(const char* data, int len);

int MODFILE_S3MGetFormatID(void);              /* 2 */
const char* MODFILE_S3MGetDescription(void);   /* "Future Crew Screamtracker 3" */
const char* MODFILE_S3MGetAuthor(void);
const char* MODFILE_S3MGetVersion(void);       /* "v0.01b" */
const char* MODFILE_S3MGetCopyright(void);

#endif
