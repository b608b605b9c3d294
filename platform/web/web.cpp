/*
 * Browser platform half of the screen, the controller, the clock and the
 * program's entry and exit (see web.h).
 */
#include "platform/web/web.h"

#include <cstdlib>
#include <cstring>
#include <emscripten/html5.h>

#include "platform/kv_sys.h"
#include "video/kv_video.h"

/* ---- Globals -------------------------------------------------------------
 * Lifetime: whole run. */
static int presenting = 1;    /* 1: scr_flip hands frames to the page */
static uint32_t keysDown = 0; /* K_* bits of the demo's keys down now */
enum { CLOCK_WALL, CLOCK_AUDIO, CLOCK_VIRTUAL };
static int clockSource = CLOCK_WALL; /* the clock's source (web.h) */
static int clockLast = 0;            /* ms: the last value timer_platNow returned */
static int clockBase = 0;            /* ms: added to the source's own count */
static int virtualNow = 0;           /* ms: the virtual clock's value */

/* Lifetime: scr_platOpen .. scr_platClose. */
static uint16_t* back = nullptr;  /* 320x240 RGB565 heap buffer, zeroed */
static uint32_t* rgba = nullptr;  /* 640x480 RGBA words for the canvas */

/* Lifetime: kb_platOpen .. kb_platClose. */
static int kbOpen = 0; /* 1 while the key handlers are installed */

/* The keys the demo reads, by KeyboardEvent.code: the desktop build's keys.
 * Bit i of keysDown is keyCodes[i]. */
static const char* const keyCodes[] = {"ArrowUp", "ArrowLeft", "ArrowDown", "ArrowRight", "Escape",
                                       "Enter", "Delete", "PageDown", "KeyA", "KeyS", "KeyZ", "KeyX",
                                       "NumpadAdd", "NumpadSubtract", "Tab"};
enum {
    K_UP = 1 << 0, K_LEFT = 1 << 1, K_DOWN = 1 << 2, K_RIGHT = 1 << 3, K_ESC = 1 << 4, K_ENTER = 1 << 5,
    K_DEL = 1 << 6, K_PGDN = 1 << 7, K_A = 1 << 8, K_S = 1 << 9, K_Z = 1 << 10, K_X = 1 << 11,
    K_PLUS = 1 << 12, K_MINUS = 1 << 13, K_TAB = 1 << 14,
    KEY_CODES = 15
};

/* The keyboard as the handheld's buttons: a button is held while all its
 * keys are down. The diagonals are pairs of arrow keys, since the handheld
 * reports its diagonal stick positions as bits of their own. */
struct WebKey {
    uint32_t bit;  /* KB_* */
    uint32_t keys; /* K_* of the keys that make it */
};
static const WebKey keyTable[] = {
    {KB_UP, K_UP},
    {KB_UPLEFT, K_UP | K_LEFT},
    {KB_LEFT, K_LEFT},
    {KB_DOWNLEFT, K_DOWN | K_LEFT},
    {KB_DOWN, K_DOWN},
    {KB_DOWNRIGHT, K_DOWN | K_RIGHT},
    {KB_RIGHT, K_RIGHT},
    {KB_UPRIGHT, K_UP | K_RIGHT},
    {KB_START, K_ESC},      /* start: quits the demo */
    {KB_SELECT, K_ENTER},
    {KB_L, K_DEL},
    {KB_R, K_PGDN},
    {KB_A, K_A},
    {KB_B, K_S},
    {KB_X, K_Z},
    {KB_Y, K_X},
    {KB_VOLUP, K_PLUS},     /* keypad +: first triangle routine */
    {KB_VOLDOWN, K_MINUS},  /* keypad -: second triangle routine */
    {KB_STICK, K_TAB},
};

/* ---- Program entry and exit ---------------------------------------------- */

const int sysHandheld = 0;

int sys_init(void)
{
    return 0;
}

void sys_exit(void)
{
}

/* ---- Screen -------------------------------------------------------------- */

/* RGBA of one RGB565 pixel as orvel-capture writes its PNGs: each field
 * widened to 8 bits by repeating its top bits, alpha 255; red in the low
 * byte of the little-endian word. */
static uint32_t web_rgba(uint16_t p)
{
    unsigned r = p >> 11, g = (p >> 5) & 63, b = p & 31;
    r = (r << 3) | (r >> 2);
    g = (g << 2) | (g >> 4);
    b = (b << 3) | (b >> 2);
    return 0xFF000000u | (b << 16) | (g << 8) | r;
}

/* A 320x240 frame doubled into 640x480 RGBA words. */
static void web_double(const uint16_t* frame, uint32_t* out)
{
    for (int y = 0; y < SCR_H; y++) {
        uint32_t* row = out + 2 * y * WEB_W;
        for (int x = 0; x < SCR_W; x++) {
            uint32_t c = web_rgba(frame[y * SCR_W + x]);
            row[2 * x] = c;
            row[2 * x + 1] = c;
        }
        memcpy(row + WEB_W, row, WEB_W * sizeof(uint32_t));
    }
}

uint16_t* scr_platOpen(void)
{
    back = (uint16_t*)calloc(SCR_PIXELS, sizeof(uint16_t));
    rgba = (uint32_t*)malloc((size_t)WEB_W * WEB_H * sizeof(uint32_t));
    if (!back || !rgba) {
        scr_platClose();
        return nullptr;
    }
    return back;
}

void web_present(void)
{
    if (back && rgba) {
        web_double(back, rgba);
        web_jsPresent(rgba);
    }
}

void scr_platShow(uint16_t*)
{
    if (presenting)
        web_present();
}

void scr_platClose(void)
{
    free(back);
    free(rgba);
    back = nullptr;
    rgba = nullptr;
}

void web_setPresenting(int on)
{
    presenting = on != 0;
}

/* ---- Keyboard ------------------------------------------------------------ */

/* The button word (KB_* bits) of a set of keys down (K_* bits). */
static uint32_t web_buttons(uint32_t keys)
{
    uint32_t w = 0;
    for (const WebKey& k : keyTable)
        if ((keys & k.keys) == k.keys)
            w |= k.bit;
    return w;
}

/* A key of ours going down or up; other keys stay the page's. */
static EM_BOOL web_onKey(int type, const EmscriptenKeyboardEvent* e, void*)
{
    for (int i = 0; i < KEY_CODES; i++) {
        if (strcmp(keyCodes[i], e->code) != 0)
            continue;
        if (type == EMSCRIPTEN_EVENT_KEYDOWN)
            keysDown |= 1u << i;
        else
            keysDown &= ~(1u << i);
        return EM_TRUE; /* no scrolling or focus moves on the demo's keys */
    }
    return EM_FALSE;
}

/* A window that loses the focus gets no key releases: let everything go. */
static EM_BOOL web_onBlur(int, const EmscriptenFocusEvent*, void*)
{
    keysDown = 0;
    return EM_FALSE;
}

int kb_platOpen(void)
{
    const char* win = EMSCRIPTEN_EVENT_TARGET_WINDOW;
    if (emscripten_set_keydown_callback(win, nullptr, EM_TRUE, web_onKey) != EMSCRIPTEN_RESULT_SUCCESS ||
        emscripten_set_keyup_callback(win, nullptr, EM_TRUE, web_onKey) != EMSCRIPTEN_RESULT_SUCCESS) {
        kb_platClose();
        return -1;
    }
    emscripten_set_blur_callback(win, nullptr, EM_TRUE, web_onBlur);
    kbOpen = 1;
    return 0;
}

int kb_platRead(uint32_t* word)
{
    if (!kbOpen)
        return 0;
    *word = web_buttons(keysDown);
    return 1;
}

void kb_platClose(void)
{
    /* a null callback removes the handler: a page that starts the demo
     * again gets a fresh program whose handlers are the only ones */
    const char* win = EMSCRIPTEN_EVENT_TARGET_WINDOW;
    emscripten_set_keydown_callback(win, nullptr, EM_TRUE, nullptr);
    emscripten_set_keyup_callback(win, nullptr, EM_TRUE, nullptr);
    emscripten_set_blur_callback(win, nullptr, EM_TRUE, nullptr);
    kbOpen = 0;
    keysDown = 0;
}

/* ---- Clock --------------------------------------------------------------- */

/* The current real source's own count in ms (wrapping in 32 bits); the
 * virtual clock never comes here. */
static int web_sourceMs(void)
{
    if (clockSource == CLOCK_AUDIO)
        return (int)(long long)(web_jsAudioHeard() * 1000.0 / web_audioRate());
    return (int)(long long)web_jsNow();
}

int timer_platNow(void)
{
    if (clockSource == CLOCK_VIRTUAL)
        return virtualNow;
    int now = (int)((unsigned)clockBase + (unsigned)web_sourceMs());
    if ((int)((unsigned)now - (unsigned)clockLast) < 0)
        now = clockLast; /* never backwards */
    clockLast = now;
    return now;
}

/* Makes `source` the clock, going on from the last value returned. */
static void web_clockFrom(int source)
{
    int last = timer_platNow();
    clockSource = source;
    clockBase = (int)((unsigned)last - (unsigned)web_sourceMs());
    clockLast = last;
}

void web_setVirtualClock(int ms)
{
    clockSource = CLOCK_VIRTUAL;
    virtualNow = ms;
    clockLast = ms;
}

void web_clockAudio(int on)
{
    if (clockSource == CLOCK_VIRTUAL)
        return;
    web_clockFrom(on ? CLOCK_AUDIO : CLOCK_WALL);
}

int web_clockVirtual(void)
{
    return clockSource == CLOCK_VIRTUAL;
}
