/*
 * The headless platform: no display, no devices, no wall clock needed.
 *
 * The screen is a plain heap buffer; scr_flip hands each finished frame to a
 * sink that a test or a tool registers. The clock is the monotonic clock
 * until a caller sets a virtual time, after which it reads only what the
 * caller sets (so captures and tests are repeatable).
 *
 * The controller is a word the caller sets. The audio output is a virtual
 * device that plays in step with the clock: by the time the clock has moved
 * t ms past snd_init it has consumed floor(t * rate / 1000) frames in all,
 * and each write takes up to that total minus what it has already taken
 * (never more than the ring holds of fresh audio). What it takes goes to a
 * sound sink in order, each sample once, with no gaps; a ring that runs dry
 * is caught up on later writes instead of leaving silence. The ring is the
 * handheld's (65536 samples), since this device drains it the same way.
 * The device's time origin is the clock at snd_init, so a capture switches to
 * the virtual clock before snd_init.
 */
#ifndef ORVEL_PLATFORM_HEADLESS_HEADLESS_H
#define ORVEL_PLATFORM_HEADLESS_HEADLESS_H

#include <cstdint>

/* Receives every shown frame: 320*240 RGB565 pixels, valid during the call. */
typedef void (*HeadlessSink)(const uint16_t* frame, void* user);

/* Registers the frame sink (nullptr: frames are dropped). */
void headless_setSink(HeadlessSink sink, void* user);

/* Number of frames shown since start. */
long headless_frameCount(void);

/* Makes the next scr_init fail (returns null) when fail is non-zero, to test
 * the set-up failure paths. */
void headless_failOpen(int fail);

/* Switches the clock to virtual time and sets it to ms. */
void headless_setClock(int ms);

/* Switches back to the monotonic clock. */
void headless_realClock(void);

/* ---- Controller ---------------------------------------------------------- */

/* Sets the word the next kb_poll reads into kb_buf (KB_* bits). */
void headless_setButtons(uint32_t word);

/* Makes the next kb_init fail (returns -1) when fail is non-zero. */
void headless_failKbOpen(int fail);

/* ---- Audio output -------------------------------------------------------- */

/* Receives what the virtual device takes: count interleaved samples (count/2
 * stereo frames), valid during the call, in the order they are played. */
typedef void (*HeadlessSoundSink)(const int16_t* samples, int count, void* user);

/* Registers the sound sink (nullptr: the samples are dropped). */
void headless_setSoundSink(HeadlessSoundSink sink, void* user);

/* Makes the next snd_init fail (returns 0) when fail is non-zero. */
void headless_failSoundOpen(int fail);

/* Makes the next device write return `bytes` instead of what the clock
 * allows (-1: refused as a full device refuses; 0: a write that reports
 * nothing), without passing anything to the sink. One write only. */
void headless_forceSoundWrite(long bytes);

/* Samples the device has taken since snd_init. */
long long headless_soundTaken(void);

#endif
