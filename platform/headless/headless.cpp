/*
 * Headless platform half of the screen and the clock (see headless.h).
 */
#include "platform/headless/headless.h"

#include <cstdlib>

#include "platform/kv_sys.h"
#include "video/kv_video.h"

/* ---- Globals -------------------------------------------------------------
 * Lifetime: whole run. */
static HeadlessSink sink = nullptr; /* frame receiver, or null */
static void* sinkUser = nullptr;    /* handed back to the sink */
static long frames = 0;             /* frames shown so far */
static int failNextOpen = 0;        /* 0 or 1 */
static int virtualClock = 0;        /* 0 = monotonic clock, 1 = virtual */
static int virtualNow = 0;          /* ms, the virtual clock's value */
static uint32_t buttons = 0;        /* KB_* bits the next kb_platRead reads */
static int failNextKb = 0;          /* 0 or 1 */

/* Lifetime: scr_platOpen .. scr_platClose. */
static uint16_t* back = nullptr; /* 320x240 RGB565 heap buffer */

void headless_setSink(HeadlessSink s, void* user)
{
    sink = s;
    sinkUser = user;
}

long headless_frameCount(void)
{
    return frames;
}

void headless_failOpen(int fail)
{
    failNextOpen = fail != 0;
}

void headless_setClock(int ms)
{
    virtualClock = 1;
    virtualNow = ms;
}

void headless_realClock(void)
{
    virtualClock = 0;
}

uint16_t* scr_platOpen(void)
{
    if (failNextOpen) {
        failNextOpen = 0;
        return nullptr;
    }
    back = (uint16_t*)calloc(SCR_PIXELS, sizeof(uint16_t));
    return back;
}

void scr_platShow(uint16_t* b)
{
    frames++;
    if (sink)
        sink(b, sinkUser);
}

void scr_platClose(void)
{
    free(back);
    back = nullptr;
}

int timer_platNow(void)
{
    return virtualClock ? virtualNow : timer_monotonicMs();
}

/* ---- Controller ---------------------------------------------------------- */

void headless_setButtons(uint32_t word)
{
    buttons = word;
}

void headless_failKbOpen(int fail)
{
    failNextKb = fail != 0;
}

int kb_platOpen(void)
{
    if (failNextKb) {
        failNextKb = 0;
        return -1;
    }
    return 0;
}

int kb_platRead(uint32_t* word)
{
    *word = buttons;
    return 1;
}

void kb_platClose(void)
{
}

/* ---- Program entry and exit ---------------------------------------------- */

const int sysHandheld = 0;

int sys_init(void)
{
    return 0;
}

void sys_exit(void)
{
}
