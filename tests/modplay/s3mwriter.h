/* Test helper: builds the bytes of an S3M (Screamtracker 3) file from a song
 * described in code. Values are written as given, so tests can also write
 * odd files; the layout of the image is reported so that tests can damage
 * it in chosen places. */
#ifndef ORVEL_TESTS_MODPLAY_S3MWRITER_H
#define ORVEL_TESTS_MODPLAY_S3MWRITER_H

#include <cstdint>
#include <string>
#include <vector>

namespace s3mw {

/* One entry of a packed row. Fields left at -1 are not written (the
 * matching bit of the entry's first byte stays clear). */
struct Entry {
    int channel = 0;     /* file channel 0..31 */
    int note = -1;       /* note byte (octave << 4 | semitone, 254 off, 255 none), with instrument */
    int instrument = 0;  /* written with the note */
    int volume = -1;     /* 0..64 */
    int command = -1;    /* 1 = A .. 26 = Z, with param */
    int param = 0;
};

/* 64 rows of entries, written in the order given, each row ended by 0. */
struct Pattern {
    std::vector<Entry> rows[64];
};

struct Instrument {
    int type = 1;                /* 1 sample, 0 empty */
    std::string name;
    std::vector<int16_t> data;   /* frames: -128..127 for 8-bit samples */
    bool is16Bit = false;
    bool stereo = false;         /* the data then holds the left then the right block */
    bool loop = false;
    uint32_t loopStart = 0, loopEnd = 0;
    uint8_t volume = 64;
    uint32_t c4Rate = 8363;
    int64_t length = -1;         /* -1: frames of data (halved for stereo); else written as given */
    bool scrs = true;            /* false: the header lacks "SCRS" */
};

struct Song {
    std::string name = "test";
    uint8_t type = 16;
    uint8_t flags = 0;
    uint16_t trackerVersion = 0x1320; /* written little-endian at 40 */
    uint16_t sampleFormat = 2;        /* 1 signed, 2 unsigned: sample data is written in this form */
    uint8_t globalVolume = 64, speed = 6, tempo = 125;
    uint8_t masterVolume = 0xB0;      /* bit 7: stereo */
    std::vector<uint8_t> panning;     /* the default panning table (32 bytes) when not empty */
    uint8_t channelSettings[32];      /* default: 0, 8, 1, 9, then 255 */
    std::vector<uint8_t> orders = {0};
    std::vector<Pattern> patterns = std::vector<Pattern>(1);
    std::vector<Instrument> instruments;
    Song();
};

/* Where write() put things. */
struct Layout {
    size_t instrumentPointers = 0, patternPointers = 0;
    std::vector<size_t> instruments, patterns, sampleData; /* byte offsets (multiples of 16) */
};

std::vector<uint8_t> write(const Song& song, Layout* layout = nullptr);

/* An 8-bit square wave of `frames` frames (amplitude 100, period 32). */
Instrument squareInstrument(int frames);

} // namespace s3mw

#endif
