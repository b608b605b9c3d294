/*
 * Handheld platform half of the screen, the controller, the clock and the
 * program's exit (see gp2x.h).
 */
#include "platform/gp2x/gp2x.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include "demo/kv_input.h"
#include "demo/kv_timer.h"
#include "platform/kv_sys.h"
#include "video/kv_video.h"

/* ---- Globals -------------------------------------------------------------
 * Lifetime: scr_platOpen .. scr_platClose. */
static int fbdev = -1;           /* frame buffer descriptor, -1 when closed */
static uint16_t* scr0 = nullptr; /* the mapped frame buffer, 153600 bytes */
static uint16_t* back = nullptr; /* heap back buffer, 320x240 RGB565 */

/* ---- Screen -------------------------------------------------------------- */

uint16_t* scr_platOpen(void)
{
    fbdev = open(GP2X_FB_PATH, O_RDWR);
    if (fbdev < 0)
        return nullptr;
    void* map = mmap(nullptr, SCR_BYTES, PROT_WRITE, MAP_SHARED, fbdev, 0);
    if (map == MAP_FAILED) {
        close(fbdev);
        fbdev = -1;
        return nullptr;
    }
    back = (uint16_t*)malloc(SCR_BYTES);
    if (!back) {
        munmap(map, SCR_BYTES);
        close(fbdev);
        fbdev = -1;
        return nullptr;
    }
    scr0 = (uint16_t*)map;
    return back;
}

void scr_platShow(uint16_t* b)
{
    /* one copy, no page flip, no wait for the vertical blank */
    memcpy(scr0, b, SCR_BYTES);
}

void scr_platClose(void)
{
    close(fbdev);
    fbdev = -1;
    munmap(scr0, SCR_BYTES);
    scr0 = nullptr;
    free(back);
    back = nullptr;
}

/* ---- Buttons ------------------------------------------------------------- */

int kb_init(void)
{
    kb_fd = open(GP2X_GPIO_PATH, O_RDWR | O_NONBLOCK);
    return kb_fd < 0 ? -1 : 0;
}

void kb_poll(void)
{
    /* read into a word of our own: a failed or short read keeps the old state */
    uint32_t word;
    if (read(kb_fd, &word, sizeof word) == (ssize_t)sizeof word)
        kb_buf = word;
}

void kb_exit(void)
{
    if (kb_fd >= 0)
        close(kb_fd);
    kb_fd = -1;
}

/* ---- Clock --------------------------------------------------------------- */

int timer_platNow(void)
{
    return timer_monotonicMs();
}

/* ---- Program entry and exit ---------------------------------------------- */

const int sysHandheld = 1;

int sys_init(void)
{
    return 0;
}

void sys_exit(void)
{
    /* The menu is started by its full path, so a failed chdir is ignored;
     * execl returns only when the menu cannot be started. */
    int r = chdir(GP2X_MENU_DIR);
    (void)r;
    execl(GP2X_MENU_PATH, GP2X_MENU_PATH, (char*)nullptr);
}
