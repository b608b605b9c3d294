/*
 * arrangement: the sections put in order and timed to the demo.
 *
 * Each section becomes one pattern, in playing order. Then the tempo is set
 * row by row so that the music follows the demo's running order: every cut
 * of the demo (a scene or caption change) is paired with the beat of the
 * music it falls on, and each row gets the tempo of the two neighbouring
 * whole tempos (95 and 96 on most of the grid) that keeps the row's end
 * closest to where that map puts it, as the engine's player times rows:
 * speed times 22050 * 5 / (2 * tempo) frames, truncated, after one silent
 * row at the header's speed and tempo. A tempo command goes into every row
 * whose tempo differs from the row played before it.
 */
#ifndef ORVEL_TOOLS_SONG_ARRANGEMENT_H
#define ORVEL_TOOLS_SONG_ARRANGEMENT_H

#include <vector>

#include "tools/xmwriter/xmwriter.h"

namespace arrangement {

/* One row as played: where it is in the song and when it starts. */
struct PlayedRow {
    int order, pattern, row;
    int ticks;         /* ticks it lasts (speed, times the row delay) */
    int tempo;         /* tempo it plays at */
    long long frame;   /* output frame at 22050 Hz where it starts */
    double beat;       /* musical position in beats at its start */
};

/* The whole song: header, patterns, order list, the given instruments and
 * the tempo commands. Throws std::logic_error if the music breaks its own
 * rules (two notes in a cell, a clash of effects, a pass that does not end). */
xmw::Song build(std::vector<xmw::Instrument> instruments);

/* One pass of the song as the engine's player plays it, read from the tempo
 * commands in the cells. */
std::vector<PlayedRow> play(const xmw::Song& song);

} // namespace arrangement

#endif
