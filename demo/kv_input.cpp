/*
 * kv_input: button tests on the controller word (see kv_input.h). Opening and
 * reading the controller are the platform half's.
 */
#include "demo/kv_input.h"

/* ---- Globals -------------------------------------------------------------
 * Lifetime: whole run. */
uint32_t kb_buf = 0; /* KB_* bits of the buttons held at the last poll */
int kb_fd = -1;      /* handheld button device, -1 while closed */

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
