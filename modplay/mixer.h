/*
 * mixer: resampling voices into a 32-bit accumulation buffer and converting
 * it to the output format.
 *
 * Integer only, no interpolation: each output frame takes the sample frame at
 * the integer part of the voice's position (22.10 in position, 22 finer bits
 * in positionFrac: 32.32 in all), times a small integer gain, and moves on by
 * step and stepFrac alike. The accumulation buffer holds one int32 per
 * output sample (interleaved left/right in stereo; while MODFILE_Mix adds
 * stereo voices each pair is one 64-bit word, right * 2^32 + left, which it
 * splits again before converting); its full scale is +-0x800000, so signed
 * 16-bit output is the accumulator shifted right by 8.
 *
 * Mix flags, one byte passed to every routine:
 *   0x01 mixing on (every routine returns 0 at once, doing nothing, when clear)
 *   0x08 stereo output, 0x40 16-bit output (else 8-bit), 0x80 signed output.
 *
 * A voice is the MODFILE_VOICE of a channel. Its sample must satisfy the
 * loaders' invariants (modplay.h): data holds length + 1 frames, a loop has
 * loopStart < loopEnd <= length. The mixer writes back position, forward and,
 * when a one-shot sample ends, active.
 */
#ifndef ORVEL_MODPLAY_MIXER_H
#define ORVEL_MODPLAY_MIXER_H

#include "modplay/modplay.h"

enum {
    MIX_ON = 0x01,
    MIX_STEREO = 0x08,
    MIX_16BIT = 0x40,
    MIX_SIGNED = 0x80
};

/* Bytes per output frame: 16-bit stereo 4, 16-bit mono 2, 8-bit stereo 2,
 * 8-bit mono 1. */
int mix_destbufsize(int flags);

/* Zeroes frames x (2 if stereo else 1) words of buf. Returns frames. */
int clearbuf_final(int flags, int32_t* buf, int frames);

/* Adds the voice into buf for frames output frames with the master volume
 * (0..255) and advances it; stops adding when a one-shot sample ends. In
 * stereo each left/right pair takes the voice as one 64-bit add, so where a
 * left sum is negative its right word is one short until the caller adds
 * back the left word's sign bit (MODFILE_Mix does so after its voices).
 * Returns frames. */
int mix_final_1616bit(int flags, int32_t* buf, int frames, MODFILE_VOICE* voice, int master);

/* Converts frames x channels words of buf into the output format at out.
 * Returns frames. */
int copybuf_final(int flags, void* out, const int32_t* buf, int frames);

/* Mixes every channel of the record into out (frames output frames, at most
 * one tick): clears the accumulation buffer, adds each sounding music voice
 * (the spare last music channel excluded) with musicVolume and each SFX voice
 * with sfxVolume, and converts. A voice's master volume is globalVolume x
 * host volume x (fadeVolume >> 9) >> 12; its stereo panning is the channel's
 * panning swung by the panning envelope (envPanning, centre 32) by up to the
 * room towards the nearer side, for 8- and 16-bit samples alike. Returns
 * frames. */
int MODFILE_Mix(MODFILE* mod, int flags, void* out, int frames);

/* ---- Single-purpose routines, one fixed format each ---------------------- */

/* Zeroes frames x channels words. */
void clearbuf_s32(int32_t* buf, int frames, int channels);

/* An 8- or 16-bit mono sample into stereo (s32s) or mono (s32m)
 * accumulation. Return frames. */
int mix_s8m_to_s32s_1616bit(int32_t* buf, int frames, MODFILE_VOICE* voice, int master);
int mix_s16m_to_s32s_1616bit(int32_t* buf, int frames, MODFILE_VOICE* voice, int master);
int mix_s8m_to_s32m_1616bit(int32_t* buf, int frames, MODFILE_VOICE* voice, int master);
int mix_s16m_to_s32m_1616bit(int32_t* buf, int frames, MODFILE_VOICE* voice, int master);

/* Conversions of frames x channels words with clipping:
 *   s16: v < -0x800000 -> -32768, v >= 0x800000 -> 32767, else v >> 8
 *   s8:  v < -0x800000 -> -128, v >= 0x800000 -> 127, else v >> 16
 *   u8:  the s8 value + 128
 *   u16: the s16 value XOR 0x8000 (the same gain as s16) */
void copybuf_s32_to_s16(void* out, const int32_t* buf, int frames, int channels);
void copybuf_s32_to_s8(void* out, const int32_t* buf, int frames, int channels);
void copybuf_s32_to_u16(void* out, const int32_t* buf, int frames, int channels);
void copybuf_s32_to_u8(void* out, const int32_t* buf, int frames, int channels);

#endif
