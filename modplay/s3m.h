/*
 * s3m: the Future Crew Screamtracker 3 (S3M) loader.
 *
 * Not built yet: the loader refuses every image, so S3M files are reported as
 * an unknown format. The descriptors are those of the format table's row.
 */
#ifndef S3M_H
#define S3M_H

#include "modplay/modplay.h"

/* Loads an S3M image into mod. For now always -1 (refused). */
int MODFILE_SetS3M(const char* data, int len, MODFILE* mod);

/* 1 when the image is an S3M the loader accepts; for now always 0. */
int MODFILE_IsS3M(const char* data, int len);

int MODFILE_S3MGetFormatID(void);        /* 2 */
const char* MODFILE_S3MGetDescription(void);
const char* MODFILE_S3MGetAuthor(void);
const char* MODFILE_S3MGetVersion(void); /* "v0.01b" */
const char* MODFILE_S3MGetCopyright(void);

#endif
