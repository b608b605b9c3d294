/*
 * kv_input: button tests on the controller word (see kv_input.h). Opening and
 * reading the controller are the platform half's.
 */
#include "demo/kv_input.h"

/* ---- Globals -------------------------------------------------------------
 * Lifetime: whole run. */
uint32_t kb_buf = 0; /* KB_* bits of the buttons held at the last poll */

int kb_keypressed(int mask)
{
    if (mask == KB_ANY)
        return kb_buf != 0 ? -1 : 0;
    return (kb_buf & (uint32_t)mask) == (uint32_t)mask ? -1 : 0;
}

int kb_anypressed(int mask)
{
    return (kb_buf & (uint32_t)mask) != 0 ? -1 : 0;
}

int kb_init(void)
{
    return kb_platOpen();
}

void kb_poll(void)
{
    /* read into a word of our own: a failed or short read keeps the old state */
    uint32_t word;
    if (kb_platRead(&word))
        kb_buf = word;
}

void kb_exit(void)
{
    kb_platClose();
}
