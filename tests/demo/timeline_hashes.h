/*
 * timeline_hashes: the fingerprint of a whole run of the demo. Used by the
 * frozen-frames test on the host and by the handheld bench under emulation,
 * so both compare against the same list.
 */
#ifndef ORVEL_TESTS_DEMO_TIMELINE_HASHES_H
#define ORVEL_TESTS_DEMO_TIMELINE_HASHES_H

#include <string>

/* Runs demo_load, the whole timeline at `fps` frames a second of the virtual
 * clock (frame k at floor(k * 1000 / fps) ms, through demo_update, until it
 * asks to end) and demo_kill on the headless platform, from a folder holding
 * ./data. Returns one line per shown frame and one for the audio:
 *   load N MD5      the loading screen's N-th flip (from 0)
 *   frame MS MD5    the frame drawn at timeline time MS
 *   audio S MD5     every sample the audio device took (S samples, 16-bit
 *                   little-endian, interleaved stereo)
 * MD5 over the 320x240 RGB565 pixels as little-endian bytes. */
std::string th_run(int fps);

#endif
