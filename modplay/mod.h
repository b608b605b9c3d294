/*
 * mod: the Amiga Pro/Soundtracker (MOD) loader.
 *
 * Not built yet: the loader refuses every image, so MOD files are reported as
 * an unknown format. The descriptors are those of the format table's row.
 */
#ifndef MOD_H
#define MOD_H

#include "modplay/modplay.h"

/* Loads a MOD image into mod. For now always -1 (refused). */
int MODFILE_SetMOD(const char* data, int len, MODFILE* mod);

/* 1 when the image is a MOD the loader accepts; for now always 0. */
int MODFILE_IsMOD(const char* data, int len);

int MODFILE_MODGetFormatID(void);        /* 1 */
const char* MODFILE_MODGetDescription(void);
const char* MODFILE_MODGetAuthor(void);
const char* MODFILE_MODGetVersion(void); /* "v0.03b" */
const char* MODFILE_MODGetCopyright(void);

#endif
