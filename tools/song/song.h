/*
 * song: the demo's soundtrack, written as an XM file by the XM writer.
 *
 * Everything (instruments, samples, patterns) is generated in code with its
 * own seeded random generator, so the file is the same bytes on every run and
 * machine.
 */
#ifndef ORVEL_TOOLS_SONG_SONG_H
#define ORVEL_TOOLS_SONG_SONG_H

#include <cstdint>
#include <string>
#include <vector>

/* The soundtrack's XM file image (about 560 KB, one pass of 147.5 s). The
 * music is fixed in code, so this always succeeds; a composing mistake in
 * that code (two notes in one cell, clashing effects, a section that does
 * not last its beats) throws std::logic_error, which the song's tests
 * would catch first. */
std::vector<uint8_t> song_build(void);

/* Writes the soundtrack to path. Returns 0, or -1 when the file cannot be
 * written. */
int song_write(const std::string& path);

#endif
