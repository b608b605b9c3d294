/*
 * Desktop platform half of the screen, the controller, the clock and the
 * program's entry and exit, on Allegro 4 (see desktop.h).
 */
#include "platform/desktop/desktop.h"

#include <allegro.h>
#include <cstdio>

#include "platform/kv_sys.h"
#include "video/kv_video.h"

/* ---- Globals -------------------------------------------------------------
 * Lifetime: sys_init .. sys_exit. */
static int alState = 0;     /* 0 = not tried, 1 = Allegro up, -1 = it failed */
static int kbInstalled = 0; /* 1 between a successful kb_platOpen and kb_platClose */

/* Lifetime: scr_platOpen .. scr_platClose. */
static BITMAP* backBmp = nullptr;    /* 16-bit 320x240 memory bitmap: the back buffer */
static BITMAP* stretchBmp = nullptr; /* 320x240 in the screen's depth, stretched to the window */

/* The keyboard as the handheld's buttons: bit, key, and a second key that
 * must be held too (0 = none). The diagonals are pairs of arrow keys, since
 * the handheld reports its diagonal stick positions as bits of their own. */
struct KeyBit {
    uint32_t bit;
    int key;
    int key2;
};
static const KeyBit keyTable[] = {
    {KB_UP, KEY_UP, 0},
    {KB_UPLEFT, KEY_UP, KEY_LEFT},
    {KB_LEFT, KEY_LEFT, 0},
    {KB_DOWNLEFT, KEY_DOWN, KEY_LEFT},
    {KB_DOWN, KEY_DOWN, 0},
    {KB_DOWNRIGHT, KEY_DOWN, KEY_RIGHT},
    {KB_RIGHT, KEY_RIGHT, 0},
    {KB_UPRIGHT, KEY_UP, KEY_RIGHT},
    {KB_START, KEY_ESC, 0},         /* start: quits the demo */
    {KB_SELECT, KEY_ENTER, 0},
    {KB_L, KEY_DEL, 0},
    {KB_R, KEY_PGDN, 0},
    {KB_A, KEY_A, 0},
    {KB_B, KEY_S, 0},
    {KB_X, KEY_Z, 0},
    {KB_Y, KEY_X, 0},
    {KB_VOLUP, KEY_PLUS_PAD, 0},    /* volume up: first triangle routine */
    {KB_VOLDOWN, KEY_MINUS_PAD, 0}, /* volume down: second triangle routine */
    {KB_STICK, KEY_TAB, 0},
};

/* ---- Entry and exit ------------------------------------------------------ */

/* Allegro's entry wrapper. On Linux it adds nothing and main is the ordinary
 * entry point; the program's main stays free of allegro.h (whose `fixed` type
 * would clash with the engine's) and starts Allegro through sys_init. */
END_OF_MAIN()

const int sysHandheld = 0;

int sys_init(void)
{
    if (alState == 0) {
        alState = allegro_init() == 0 ? 1 : -1;
        if (alState < 0) {
            printf("no display found: Allegro could not start (%s)\n",
                   allegro_error[0] ? allegro_error : "no X server");
            fflush(stdout);
        }
    }
    return alState > 0 ? 0 : -1;
}

void sys_exit(void)
{
    if (alState > 0)
        allegro_exit();
    alState = 0;
    kbInstalled = 0;
}

int desktop_ready(void)
{
    if (alState == 0)
        sys_init();
    return alState > 0;
}

int desktop_up(void)
{
    return alState > 0;
}

/* ---- Screen -------------------------------------------------------------- */

static void scr_destroyBitmaps(void)
{
    if (backBmp)
        destroy_bitmap(backBmp);
    if (stretchBmp)
        destroy_bitmap(stretchBmp);
    backBmp = nullptr;
    stretchBmp = nullptr;
}

uint16_t* scr_platOpen(void)
{
    if (!desktop_ready())
        return nullptr;
    set_color_depth(16);
    if (set_gfx_mode(GFX_AUTODETECT_WINDOWED, 2 * SCR_W, 2 * SCR_H, 0, 0) != 0)
        return nullptr;
    backBmp = create_bitmap_ex(16, SCR_W, SCR_H);
    /* the engine writes the back buffer as one block of rows 640 bytes apart */
    if (!backBmp || !backBmp->dat || backBmp->line[1] != backBmp->line[0] + 2 * SCR_W ||
        backBmp->dat != backBmp->line[0]) {
        scr_destroyBitmaps();
        return nullptr;
    }
    stretchBmp = create_bitmap(SCR_W, SCR_H);
    if (!stretchBmp) {
        scr_destroyBitmaps();
        return nullptr;
    }
    return (uint16_t*)backBmp->dat;
}

void scr_platShow(uint16_t*)
{
    blit(backBmp, stretchBmp, 0, 0, 0, 0, SCR_W, SCR_H);
    stretch_blit(stretchBmp, screen, 0, 0, SCR_W, SCR_H, 0, 0, 2 * SCR_W, 2 * SCR_H);
}

void scr_platClose(void)
{
    /* the window itself stays until Allegro shuts down */
    scr_destroyBitmaps();
}

/* ---- Keyboard ------------------------------------------------------------ */

int kb_platOpen(void)
{
    if (!desktop_ready())
        return -1;
    if (install_keyboard() != 0)
        return -1;
    kbInstalled = 1;
    return 0;
}

int kb_platRead(uint32_t* word)
{
    /* Allegro keeps key[] up to date itself; no poll_keyboard here */
    if (!kbInstalled)
        return 0;
    uint32_t w = 0;
    for (const KeyBit& k : keyTable)
        if (key[k.key] && (k.key2 == 0 || key[k.key2]))
            w |= k.bit;
    *word = w;
    return 1;
}

void kb_platClose(void)
{
    if (kbInstalled)
        remove_keyboard();
    kbInstalled = 0;
}

/* ---- Clock --------------------------------------------------------------- */

int timer_platNow(void)
{
    return timer_monotonicMs();
}
