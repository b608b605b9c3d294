/*
 * composition: the music of the soundtrack, section by section.
 *
 * Each section is one pattern, written to fit one stretch of the demo's
 * running order: the titles, the cube and its rewind, the fractal cubes, a
 * stop-time break over the first fractal zoom, the flower and credits, a
 * breakdown over the fractal zooming back, the robots with their breaks, the
 * build-up and the drop over the deformed ball, the tunnel, the end titles
 * and the final chord. A section's `beats` is how long it plays (its rows,
 * with the loops, delays and breaks it holds, at four rows a beat); the
 * arrangement times the rows so each section starts on its scene's cut.
 *
 * The key is A minor (dorian in the grooves), sixteenth notes on rows, the
 * rhythm section swung by a tick on the off-beat sixteenths.
 */
#ifndef ORVEL_TOOLS_SONG_COMPOSITION_H
#define ORVEL_TOOLS_SONG_COMPOSITION_H

#include <vector>

#include "tools/song/score.h"

namespace composition {

struct Section {
    const char* name;
    int rows;  /* rows of the pattern as written */
    int beats; /* beats it plays */
    void (*write)(score::Sec& s);
};

/* The sections in playing order. */
const std::vector<Section>& sections(void);

} // namespace composition

#endif
