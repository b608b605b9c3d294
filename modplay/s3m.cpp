/*
 * s3m: the S3M loader (see s3m.h): refuses every image until it is written.
 */
#include "modplay/s3m.h"

int MODFILE_SetS3M(const char*, int, MODFILE*)
{
    return -1;
}

int MODFILE_IsS3M(const char*, int)
{
    return 0;
}

int MODFILE_S3MGetFormatID(void) { return 2; }
const char* MODFILE_S3MGetDescription(void) { return "Future Crew Screamtracker 3"; }
const char* MODFILE_S3MGetAuthor(void) { return "Orvel developers"; }
const char* MODFILE_S3MGetVersion(void) { return "v0.01b"; }
const char* MODFILE_S3MGetCopyright(void) { return "Copyright the Orvel developers"; }
