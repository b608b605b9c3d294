/*
 * The headless platform: no display, no devices, no wall clock needed.
 *
 * The screen is a plain heap buffer; scr_flip hands each finished frame to a
 * sink that a test or a tool registers. The clock is the monotonic clock
 * until a caller sets a virtual time, after which it reads only what the
 * caller sets (so captures and tests are repeatable).
 */
#ifndef ORVEL_HEADLESS_H
#define ORVEL_HEADLESS_H

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

#endif
