/*
 * xmwriter: builds the bytes of an XM (Extended Module) file from a song
 * described in code.
 *
 * A Song holds the header values (speed, tempo, linear periods, order list),
 * patterns of cells and instruments with their samples and envelopes. write()
 * turns it into a complete XM file image (version 0x0104): packed pattern
 * data (or unpacked cells when packCells is false), instrument headers with
 * the 96-entry note-to-sample map and both envelopes, and delta-coded 8- or
 * 16-bit sample data. Values are written as given; write() does not check
 * them against what a player accepts, so tests can also write odd files.
 *
 * Notes in cells use the file's numbering: 0 none, 1 = C-0 ... 96 = B-7,
 * 97 key off (xmw::note() builds them from a name like "C-4").
 */
#ifndef ORVEL_TOOLS_XMWRITER_XMWRITER_H
#define ORVEL_TOOLS_XMWRITER_XMWRITER_H

#include <cstdint>
#include <string>
#include <vector>

namespace xmw {

enum : uint8_t {
    NOTE_NONE = 0,
    NOTE_OFF = 97
};

enum LoopType : uint8_t {
    LOOP_NONE = 0,
    LOOP_FORWARD = 1,
    LOOP_PINGPONG = 2
};

/* One cell. volume is the raw volume-column byte (0 none, 0x10 + v sets
 * volume v, 0x60.. the column effects); effect/param the effect column. */
struct Cell {
    uint8_t note = NOTE_NONE;
    uint8_t instrument = 0; /* 1-based, 0 none */
    uint8_t volume = 0;
    uint8_t effect = 0;
    uint8_t param = 0;
};

struct Pattern {
    int rows = 64;
    int channels = 0;
    std::vector<Cell> cells; /* rows * channels, row-major */

    Pattern() = default;
    Pattern(int rows, int channels);
    Cell& at(int row, int channel);
    const Cell& at(int row, int channel) const;
};

struct EnvPoint {
    uint16_t tick = 0;
    uint16_t value = 0; /* 0..64 */
};

struct Envelope {
    bool on = false;
    std::vector<EnvPoint> points; /* at most 12 are written */
    int sustain = -1;             /* point index, -1 none */
    int loopStart = -1, loopEnd = -1; /* point indices, -1 none */
};

struct Sample {
    std::string name;
    bool is16Bit = false;
    std::vector<int16_t> data; /* frames; -128..127 for 8-bit samples */
    LoopType loop = LOOP_NONE;
    int loopStart = 0;  /* frames */
    int loopLength = 0; /* frames */
    uint8_t volume = 64;
    int8_t finetune = 0;     /* 1/128 semitone */
    uint8_t panning = 128;
    int8_t relativeNote = 0; /* semitones */
};

struct Instrument {
    std::string name;
    std::vector<Sample> samples;   /* at most 16 */
    uint8_t noteSample[96] = {};   /* sample index for each note C-0 .. B-7 */
    Envelope volume, panning;
    uint16_t fadeout = 0;
    uint8_t vibratoType = 0;  /* auto-vibrato: 0 sine, 1 square, 2 ramp down, 3 ramp up */
    uint8_t vibratoSweep = 0; /* ticks to reach the depth */
    uint8_t vibratoDepth = 0; /* 0..15 */
    uint8_t vibratoRate = 0;  /* 0..63 */
};

struct Song {
    std::string name;
    int channels = 4;
    uint16_t speed = 6;
    uint16_t tempo = 125;
    bool linear = true;
    uint16_t restart = 0;
    std::vector<uint8_t> orders = {0};
    std::vector<Pattern> patterns;
    std::vector<Instrument> instruments;
    bool packCells = true; /* false: every cell as 5 plain bytes */

    /* Appends an empty pattern of `rows` rows with the song's channel count
     * and returns its index. */
    int addPattern(int rows = 64);
};

/* The note number of a name "C-4", "C#4", ... ("===" or "off" key off);
 * NOTE_NONE for anything else. */
uint8_t note(const char* name);

/* The XM file image of the song. */
std::vector<uint8_t> write(const Song& song);

/* Writes the image to a file; false when it cannot. */
bool writeFile(const Song& song, const std::string& path);

/* Handy samples: `frames` frames of a square wave of the given period in
 * frames and amplitude (8-bit: up to 127, 16-bit: up to 32767), or of a
 * ramp counting 0, 1, 2, ... (wrapping in the sample's width). */
Sample squareSample(int frames, int period, int amplitude, bool is16Bit);
Sample rampSample(int frames, bool is16Bit);

} // namespace xmw

#endif
