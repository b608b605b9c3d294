/*
 * kv_input: the controller as one word of button bits, the same word on
 * every build (the desktop builds it from the keyboard).
 *
 * The word kb_buf has one bit a button in the handheld's own layout; the
 * eight stick directions are bits of their own, diagonals included. A poll
 * replaces the whole word; a poll that reads nothing keeps the old one.
 * Tests return -1 for true and 0 for false.
 */
#ifndef ORVEL_DEMO_KV_INPUT_H
#define ORVEL_DEMO_KV_INPUT_H

#include <cstdint>

#include "platform/kv_sys.h" /* the KB_* button bits */

extern uint32_t kb_buf; /* held buttons, KB_* bits; 0 at start */

/* -1 when the buttons of mask are held, else 0. The mask KB_ANY is special:
 * true when any bit of kb_buf is set (bits above the nineteen included).
 * Any other mask is true when every one of its bits is held, so a mask of 0
 * is always true. */
int kb_keypressed(int mask);

/* -1 when at least one bit of mask is held, else 0. */
int kb_anypressed(int mask);

/* ---- Opening and reading, over the platform half (platform/kv_sys.h) ----- */

/* Opens the controller. Returns 0, or -1 when it cannot be opened. */
int kb_init(void);

/* Reads the controller into kb_buf (keeps the old word when nothing could be
 * read). Returns nothing. */
void kb_poll(void);

/* Closes the controller; harmless when it is not open. */
void kb_exit(void);

#endif
