/*
 * kv_loadwav: the WAV file reader behind the sample slots.
 *
 * Reads a RIFF WAVE file of 16-bit PCM, mono or stereo, into signed 16-bit
 * mono samples (a stereo frame becomes (left >> 1) + (right >> 1), each
 * halved with an arithmetic shift before the sum). The sample rate is not
 * looked at: samples are never resampled.
 *
 * The chunk list is walked from offset 12: unknown chunks (LIST, fact, cue,
 * ...) are skipped by their size plus the pad byte of an odd size, an "fmt "
 * chunk longer than 16 bytes has its extension skipped, and "fmt " and
 * "data" are taken wherever they stand. Nothing is read past the end of the
 * file, and the sample block is allocated only once the file is known to
 * hold all of it.
 */
#ifndef ORVEL_AUDIO_KV_LOADWAV_H
#define ORVEL_AUDIO_KV_LOADWAV_H

#include <cstdint>

/* Result codes. loadWav prints wav_message(code) for each of them. */
enum {
    WAV_NOT_FOUND = -404, /* "file not found!": the file cannot be opened */
    WAV_NOT_PCM16 = -1,   /* "must be PCM 16b!": format tag not 1, bits not 16,
                             or channels not 1 or 2 */
    WAV_NOT_WAVE = -2,    /* "not a WAVE file!": no "RIFF" or no "WAVE" tag */
    WAV_CORRUPT = -3,     /* "file corrupted!": a chunk or the sample data runs
                             past the end of the file, a format chunk shorter
                             than 16 bytes, no "fmt " or no "data" chunk, or
                             no whole sample frame */
    WAV_NO_MEM = -4       /* "not enough mem!": the samples do not fit in
                             memory (or above 2^31 - 1 bytes) */
};

/* Loads a WAV file. On success returns the samples (malloc'd; the caller
 * frees them) and stores their size in bytes, 2 per sample, in *size.
 * On failure returns one of the codes above cast to a pointer, frees
 * whatever it allocated and stores 0 in *size; read the code with wav_code.
 * Never returns nullptr. size may be nullptr. */
int16_t* loadwav(const char* path, int* size);

/* The code carried by a result of loadwav: 0 for sample data, else one of
 * WAV_NOT_FOUND, WAV_NOT_PCM16, WAV_NOT_WAVE, WAV_CORRUPT, WAV_NO_MEM.
 * nullptr reads as WAV_NOT_FOUND. */
int wav_code(const int16_t* result);

/* The message of a code ("file not found!", "must be PCM 16b!", "not a WAVE
 * file!", "file corrupted!", "not enough mem!"), or nullptr for any other
 * value. */
const char* wav_message(int code);

#endif
