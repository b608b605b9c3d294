/* Test helper: builds the bytes of a MOD (Amiga Pro/Soundtracker) file from
 * a song described in code. Values are written as given, so tests can also
 * write odd files; write() only pads what is missing (absent patterns are
 * written empty up to the highest one named, absent samples are empty). */
#ifndef ORVEL_TESTS_MODPLAY_MODWRITER_H
#define ORVEL_TESTS_MODPLAY_MODWRITER_H

#include <cstdint>
#include <string>
#include <vector>

namespace modw {

/* One cell as the file stores it. */
struct Cell {
    uint16_t period = 0;    /* 12 bits; 0 none */
    uint8_t instrument = 0; /* 1-based, 0 none */
    uint8_t effect = 0;     /* 0..15 */
    uint8_t param = 0;
};

/* A pattern: 64 rows of `channels` cells. */
struct Pattern {
    int channels = 4;
    std::vector<Cell> cells;
    explicit Pattern(int channels = 4);
    Cell& at(int row, int channel);
};

struct Sample {
    std::string name;
    std::vector<int8_t> data;  /* an odd size is padded with a 0 */
    uint8_t finetune = 0;      /* the header byte (low nibble: 0..7, 8..15 = -8..-1) */
    uint8_t volume = 64;       /* the header byte, written as given */
    uint16_t loopStartWords = 0;
    uint16_t loopWords = 1;    /* 0 or 1: no loop */
    int lengthWords = -1;      /* -1: from data; else written as given */
};

struct Song {
    std::string name = "test";
    std::string signature = "M.K."; /* 4 bytes at 1080; "" writes a 15-instrument file */
    int channels = 4;
    int songLength = -1;            /* -1: orders.size() */
    std::vector<uint8_t> orders = {0};
    std::vector<Pattern> patterns;  /* pattern p is written at index p */
    std::vector<Sample> samples;    /* up to 31 (15) */
};

/* The MOD image of the song: header, 1 + the largest order entry (or as many
 * as given, if more) patterns, then the sample data in order. */
std::vector<uint8_t> write(const Song& song);

/* Offset of the first pattern in the image: 1084, or 600 without a
 * signature. */
size_t patternsAt(const Song& song);

/* A square wave sample of `frames` frames (amplitude 100, period 32),
 * looping over its second half. */
Sample squareSample(int frames);

} // namespace modw

#endif
