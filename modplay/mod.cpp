/*
 * mod: the MOD loader (see mod.h): refuses every image until it is written.
 */
#include "modplay/mod.h"

int MODFILE_SetMOD(const char*, int, MODFILE*)
{
    return -1;
}

int MODFILE_IsMOD(const char*, int)
{
    return 0;
}

int MODFILE_MODGetFormatID(void) { return 1; }
const char* MODFILE_MODGetDescription(void) { return "Amiga Pro/Soundtracker"; }
const char* MODFILE_MODGetAuthor(void) { return "Orvel developers"; }
const char* MODFILE_MODGetVersion(void) { return "v0.03b"; }
const char* MODFILE_MODGetCopyright(void) { return "Copyright the Orvel developers"; }
