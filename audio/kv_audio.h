/*
 * kv_audio: the audio ring buffer, its transfer to the output, and the
 * table of 64 sample slots.
 *
 * The ring sndBuf holds interleaved stereo signed 16-bit samples (even index
 * left, odd index right), sndLen samples long; every ring position is taken
 * modulo sndLen (a power of two, so the mask is sndLen - 1). Its size belongs
 * to the output that drains it and is defined by the platform half:
 *   handheld (OSS device)      65536 samples, mask 0xFFFF, about 1.49 s
 *   desktop (Allegro stream)   16384 samples, mask 0x3FFF, about 0.37 s
 *   headless (virtual device)  65536 samples, the handheld's ring, because
 *                              it drains like the handheld's device.
 *
 * bufPos is the read position (next sample to hand to the output); bufClr is
 * the free room, the samples handed over since the last refill. The free room
 * is the window of bufClr samples that ends just before bufPos. A producer
 * asks snd_bufPosLenLEN where and how much to write, writes it, then calls
 * snd_setBufClr and snd_update:
 *
 *     int pos, len, mask;
 *     snd_bufPosLenLEN(&pos, &len, &mask);
 *     for (int i = 0; i < len; i++) {
 *         sndBuf[pos & mask] = left; sndBuf[(pos + 1) & mask] = right;
 *         pos += 2;
 *     }
 *     snd_setBufClr();
 *     snd_update();
 *
 * Everything runs on the main thread; nothing here takes a lock.
 */
#ifndef ORVEL_AUDIO_KV_AUDIO_H
#define ORVEL_AUDIO_KV_AUDIO_H

#include <cstdint>

enum {
    SND_SLOTS = 64,        /* sample slots in snd */
    SND_MESSAGE_MAX = 256  /* message line buffer, bytes with the end; a longer line is cut */
};

/* Slot states. */
enum {
    SND_STOP = 0,  /* stopped */
    SND_PLAY = 1,  /* playing once, stops at its end */
    SND_LOOP = 2,  /* playing, restarts at its end */
    SND_PAUSE = 3  /* paused: keeps its position */
};

/* One sound-effect sample. A slot is free while bytes is 0. */
struct SndSlot {
    int state;     /* SND_STOP .. SND_PAUSE */
    int bytes;     /* size of data in bytes; 0 = free slot */
    int len;       /* length in samples (bytes / 2) */
    int vol;       /* volume in percent, 100 after loading or clearing */
    int pos;       /* play position in samples, 0 .. len-1 */
    int16_t* data; /* signed 16-bit mono samples, owned by the slot, or null */
};

extern SndSlot snd[SND_SLOTS]; /* the sample slots, mixed by snd_mix */

extern int16_t sndBuf[];  /* the ring, sndLen samples (platform half) */
extern const int sndLen;  /* ring length in samples, a power of two (platform half) */
extern int bufPos;        /* read position, 0 .. sndLen-1 */
extern int bufClr;        /* free room in samples, 0 .. sndLen; sndLen at start */

/* ---- Opening and closing ------------------------------------------------ */

/* Opens the output at `rate` Hz (the demo passes 22050), stereo when `stereo`
 * is 1, with bufPos = 0 and bufClr = sndLen; then clears all 64 slots.
 * Returns 1, or 0 when the output could not be opened (the slots are then
 * left as they are; later transfers hand nothing over). */
int snd_init(int rate, int stereo);

/* Closes the output. Returns the result of closing the device on the
 * handheld (0, or -1 on error; the negative descriptor when nothing was
 * open), 0 elsewhere. */
int snd_exit(void);

/* ---- The ring ----------------------------------------------------------- */

/* *pos = bufPos - bufClr + sndLen (not reduced: apply the mask),
 * *len = bufClr / 2 (stereo frames to produce), *mask = sndLen - 1.
 * Changes nothing. */
void snd_bufPosLenLEN(int* pos, int* len, int* mask);

/* Marks the whole free room as filled (bufClr = 0). */
void snd_setBufClr(void);

/* Marks n samples of the free room as filled (bufClr -= n). Returns the new
 * bufClr. */
int snd_clrBuf(int n);

/* bufPos. */
int snd_getBufPos(void);

/* Samples in the ring not yet handed to the output: sndLen - bufClr. */
int snd_getBufUsg(void);

/* sndLen. */
int snd_getBufSz(void);

/* The ring itself. */
int16_t* snd_getBuf(void);

/* ---- Built-in producers ---------------------------------------------------
 * Each writes bufClr / 2 stereo frames from (bufPos - bufClr) mod sndLen on,
 * the same value into left and right, then sets bufClr = 0. */

/* Noise: each frame is the low 16 bits of rand(). */
void snd_genNoise(void);

/* Test tone: a 16-bit counter kept between calls (0 at start) is raised by
 * 100 before each frame and written: a sawtooth of 655.36 frames. */
void snd_genTone(void);

/* The mix of the slots: per frame, slots 63 down to 0 that are SND_PLAY or
 * SND_LOOP add data[pos] * vol / 100 (truncated toward zero) to a 32-bit sum
 * and advance pos; at pos >= len the slot restarts at 0, and a SND_PLAY slot
 * stops. The sum is clamped to -32767 .. 32767. Slots in other states keep
 * their position. A playing slot without data is skipped. */
void snd_mix(void);

/* ---- Transfer ------------------------------------------------------------ */

/* One transfer attempt to the output. Returns the samples handed over (0
 * when the output took nothing). */
int sendSound(void);

/* Up to two transfer attempts, so that a transfer that reaches the end of the
 * ring goes on from its start: the second is made only when the first handed
 * something over. Returns the samples handed over in all. */
int snd_update(void);

/* ---- For outputs that drain the ring like a device -------------------------
 * A device write offers the samples from bufPos to the end of the ring, but
 * never more than the ring holds of audio not yet handed over
 * (sndLen - bufClr): a device with room to spare must not be given the same
 * samples twice. */

/* The samples the next device write offers, from sndBuf + bufPos on. */
int snd_devRequest(void);

/* Books the result of a device write of `request` samples that returned
 * `result` bytes: negative = refused (nothing changes, returns 0); 0 = taken
 * as the whole request; else n = result / 2 samples. bufClr grows and bufPos
 * advances (mod sndLen) by n. Returns n. */
int snd_devAccepted(long result, int request);

/* ---- Sample slots ---------------------------------------------------------
 * Sound effects: WAV files loaded into the first free slot as signed 16-bit
 * mono samples, played, looped, paused and stopped by slot index, and mixed
 * into the ring by snd_mix. Indices outside 0..63 are ignored (getSndState
 * reports SND_STOP for them). */

/* Loads a WAV file (loadwav) into the first free slot. Returns the slot
 * index, or -1: with no free slot it prints "EEEEEEEEEEEK!!!    no empty
 * slot!\n" on the screen; for a file that cannot be read it prints
 * "EEK!!!  <path>  <reason>\n" with the reason of the loader's code and
 * leaves the slot free. Either message goes to snd_platMessage, which shows
 * it on the screen on every build (cut to SND_MESSAGE_MAX - 1 bytes). A
 * loaded slot starts stopped at position 0, volume 100. */
int loadWav(const char* path);

/* Index of the first free slot (bytes 0), or -1 when all 64 are in use. */
int findFreeSnd(void);

/* Always 0; reserved. */
int loadSnd(void);

/* Clears one slot: state SND_STOP, vol 100, bytes 0, data freed and null;
 * pos is kept. */
void killSnd(int index);

/* Clears all 64 slots the same way (snd_init does this too). */
void killAllSnd(void);

/* The slot's state (SND_STOP .. SND_PAUSE). */
int getSndState(int index);

/* Set the state to SND_PLAY, SND_LOOP or SND_PAUSE keeping the position, so
 * playing a paused slot resumes it. Play only slots that hold data. */
void playSnd(int index);
void loopSnd(int index);
void pauseSnd(int index);

/* Stops the slot and rewinds it: SND_STOP, pos 0. */
void stopSnd(int index);

/* ---- Platform half, one per build under platform/ ------------------------ */

/* Opens the output. Returns 1, or 0 when it cannot be opened. */
int snd_platOpen(int rate, int stereo);
/* Closes the output; returns what snd_exit returns. */
int snd_platClose(void);
/* One transfer attempt (what sendSound returns). */
int snd_platSend(void);
/* Shows a message line of the sample slots to the viewer: every build prints
 * it on the screen with the font and shows the frame (the audio module has
 * no screen of its own). */
void snd_platMessage(const char* line);

#endif
