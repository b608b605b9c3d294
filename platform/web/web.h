/*
 * The browser build: the demo compiled to WebAssembly and run by a page
 * (platform/web/index.html and page.js).
 *
 * Screen: a 320x240 RGB565 heap back buffer; every shown frame is doubled
 * (nearest neighbour) into a 640x480 RGBA picture that the page puts on its
 * canvas.
 *
 * Controller: the keyboard as on the desktop build (same keys, same button
 * bits), from the page's key events; the keys are held while down.
 *
 * Clock, one of three sources:
 *   audio    while the page's Web Audio output is open: the music the
 *            output has made audible, in milliseconds. The picture follows
 *            the music; when the output starves or is suspended, the clock
 *            stands still with it.
 *   wall     without an audio output: the page's monotonic clock.
 *   virtual  after web_setVirtualClock: only what the caller sets, as the
 *            headless build's virtual clock (the page's ?shot= hook).
 * The clock never runs backwards, also when its source changes.
 *
 * Audio: the ring is drained like a device. With the page's output, each
 * write takes as much as keeps about WEB_AUDIO_LEAD_FRAMES queued ahead of
 * what the output has played and hands it to the page. On the virtual clock
 * the device plays in step with the clock as the headless one does (by the
 * time the clock is t ms past snd_init it has taken floor(t * rate / 1000)
 * frames in all) and hands nothing to the page.
 */
#ifndef ORVEL_WEB_H
#define ORVEL_WEB_H

#include <cstdint>

enum {
    WEB_W = 640,                 /* the canvas: the back buffer doubled */
    WEB_H = 480,
    WEB_AUDIO_LEAD_FRAMES = 5512 /* stereo frames kept queued in the page's output, 250 ms */
};

/* Switches the clock to virtual time and sets it to ms. Call it before
 * snd_init, so the virtual audio device starts from it too. */
void web_setVirtualClock(int ms);

/* Whether scr_flip hands frames to the page (1, the default) or only keeps
 * them in the back buffer (0: a shot's run-up, which shows only its last
 * frame). */
void web_setPresenting(int on);

/* Converts the back buffer (scr_getBuf) to RGBA, doubled, and hands it to the
 * page's canvas. No-op without a back buffer. */
void web_present(void);

/* The audio output's clock: 1 makes it the clock (snd_init does, when the
 * page has an output), 0 goes back to the wall clock. Ignored on the virtual
 * clock. */
void web_clockAudio(int on);

/* 1 while the clock is virtual. */
int web_clockVirtual(void);

/* The rate the audio output was opened at, frames a second (22050 before). */
int web_audioRate(void);

/* ---- Calls into the page (platform/web/web_lib.js) ---------------------- */
extern "C" {
/* Puts 640x480 RGBA pixels (4 bytes each, row-major) on the canvas. */
void web_jsPresent(const uint32_t* rgba);
/* Opens the page's audio output for interleaved stereo 16-bit at rate Hz.
 * Returns 1, or 0 when the page has none (no Web Audio, or not started). */
int web_jsAudioOpen(int rate);
/* Closes it (queued audio is dropped). */
void web_jsAudioClose(void);
/* Hands count samples (count / 2 frames) to the output, in order. */
void web_jsAudioPush(const int16_t* samples, int count);
/* Frames handed over and not yet played by the output. */
int web_jsAudioQueued(void);
/* Frames of the stream audible by now (played minus the output's latency;
 * never decreasing while the output is open). */
double web_jsAudioHeard(void);
/* The page's monotonic clock in milliseconds. */
double web_jsNow(void);
/* Tells the page why the program stopped: "end" (the timeline ended or
 * Escape), "selftest", "shot" (the frame is on the canvas) or "failed". */
void web_jsEnded(const char* why);
}

#endif
