/*
 * kv_input: the controller as one word of button bits, the same word on
 * every build (the desktop builds it from the keyboard).
 *
 * The word kb_buf has one bit a button in the handheld's own layout; the
 * eight stick directions are bits of their own, diagonals included. A poll
 * replaces the whole word; a poll that reads nothing keeps the old one.
 * Tests return -1 for true and 0 for false.
 */
#ifndef KV_INPUT_H
#define KV_INPUT_H

#include <cstdint>

/* Button bits of kb_buf. */
enum {
    KB_UP = 0x00001,
    KB_UPLEFT = 0x00002,
    KB_LEFT = 0x00004,
    KB_DOWNLEFT = 0x00008,
    KB_DOWN = 0x00010,
    KB_DOWNRIGHT = 0x00020,
    KB_RIGHT = 0x00040,
    KB_UPRIGHT = 0x00080,
    KB_START = 0x00100,
    KB_SELECT = 0x00200,
    KB_L = 0x00400,         /* left shoulder */
    KB_R = 0x00800,         /* right shoulder */
    KB_A = 0x01000,
    KB_B = 0x02000,
    KB_X = 0x04000,
    KB_Y = 0x08000,
    KB_VOLUP = 0x10000,
    KB_VOLDOWN = 0x20000,
    KB_STICK = 0x40000,     /* stick pressed */
    KB_ANY = 0x7FFFF        /* all nineteen bits: the mask for "any button" */
};

extern uint32_t kb_buf; /* held buttons, KB_* bits; 0 at start */
extern int kb_fd;       /* handheld: button device descriptor, -1 when closed */

/* -1 when the buttons of mask are held, else 0. The mask KB_ANY is special:
 * true when any bit of kb_buf is set (bits above the nineteen included).
 * Any other mask is true when every one of its bits is held, so a mask of 0
 * is always true. */
int kb_keypressed(int mask);

/* -1 when at least one bit of mask is held, else 0. */
int kb_anypressed(int mask);

/* ---- Platform half, one per build under platform/ ------------------------ */

/* Opens the controller. Returns 0, or -1 when it cannot be opened. */
int kb_init(void);

/* Reads the controller into kb_buf (keeps the old word when nothing could be
 * read). Returns nothing. */
void kb_poll(void);

/* Closes the controller; harmless when it is not open. */
void kb_exit(void);

#endif
