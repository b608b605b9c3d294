/* Test helpers for the loaders: the invariants a loaded song must keep so
 * that the player needs no checks, and a load-and-play run for damaged
 * images. */
#ifndef ORVEL_TESTS_MODPLAY_SONGCHECK_H
#define ORVEL_TESTS_MODPLAY_SONGCHECK_H

#include <cstdint>
#include <string>
#include <vector>

#include "modplay/modplay.h"

namespace mpt {

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
