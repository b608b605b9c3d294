/* Test helpers for the loaders: a song loaded with one loader, the
 * invariants a loaded song must keep so that the player needs no checks, and
 * a load-and-play run for damaged images. */
#ifndef ORVEL_TESTS_MODPLAY_SONGCHECK_H
#define ORVEL_TESTS_MODPLAY_SONGCHECK_H

#include <cstdint>
#include <string>
#include <vector>

#include "modplay/modplay.h"

namespace mpt {

/* An image loaded with one loader (MODFILE_SetMOD, MODFILE_SetS3M,
 * MODFILE_SetXM) into a fresh record, released when it goes. */
struct Loaded {
    MODFILE mod;
    int result; /* the loader's */
    Loaded(const std::vector<uint8_t>& img, int (*set)(const char* data, int len, MODFILE* mod));
    ~Loaded();
    Loaded(const Loaded&) = delete;
    Loaded& operator=(const Loaded&) = delete;
    /* Cell (row, channel) of pattern p, and the row's spare cell. */
    MODFILE_CELL& cell(int p, int row, int c) { return mod.patterns[p][row * mod.numChannels + c]; }
    MODFILE_CELL& spare(int p, int row) { return cell(p, row, mod.numChannels - 1); }
};

/* "" when the loaded song keeps every invariant the player relies on, else
 * a description of the first one it breaks. */
std::string songInvariants(const MODFILE& mod);

/* Loads the image with `set` (null: through the format table) and, when it
 * loads (result >= 0), checks the invariants and plays a few blocks of it.
 * Returns the load's result and sets *broken to the invariant check's text. */
int loadCheckAndPlay(const std::vector<uint8_t>& image, std::string* broken,
                     int (*set)(const char* data, int len, MODFILE* mod) = nullptr);

} // namespace mpt

#endif
