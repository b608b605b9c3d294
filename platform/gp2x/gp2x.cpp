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

#include "platform/kv_sys.h"
#include "video/kv_video.h"

/* The name the program was started by (argv[0]): glibc's on the host, the
 * start-up's (platform/gp2x/linux24) on the console. */
extern "C" char* program_invocation_name;

/* ---- Globals -------------------------------------------------------------
 * Lifetime: scr_platOpen .. scr_platClose. */
static int fbdev = -1;           /* frame buffer descriptor, -1 when closed */
static uint16_t* scr0 = nullptr; /* the mapped frame buffer, 153600 bytes */
static uint16_t* back = nullptr; /* heap back buffer, 320x240 RGB565 */

/* Lifetime: kb_platOpen .. kb_platClose. */
static int kbFd = -1; /* button device descriptor, -1 while closed */

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

int kb_platOpen(void)
{
    kbFd = open(GP2X_GPIO_PATH, O_RDWR | O_NONBLOCK);
    return kbFd < 0 ? -1 : 0;
}

int kb_platRead(uint32_t* word)
{
    uint32_t w;
    if (read(kbFd, &w, sizeof w) != (ssize_t)sizeof w)
        return 0;
    *word = w;
    return 1;
}

void kb_platClose(void)
{
    if (kbFd >= 0)
        close(kbFd);
    kbFd = -1;
}

/* ---- Clock --------------------------------------------------------------- */

int timer_platNow(void)
{
    return timer_monotonicMs(); /* gp2x_clock.cpp */
}

/* ---- Program entry and exit ---------------------------------------------- */

const int sysHandheld = 1;

/* Changes to the folder that holds the program's file, where its data/ is:
 * the console's menu may start it from anywhere. The folder comes from
 * argv[0] when that names a path; a bare name (no slash) says nothing about
 * where the file is, so then from the kernel's link /proc/self/exe. When
 * neither tells, the program stays where it was started. */
static void gp2x_toOwnFolder(void)
{
    char path[1024];
    const char* self = program_invocation_name;
    if (self && strchr(self, '/')) {
        size_t n = strlen(self);
        if (n >= sizeof path)
            return;
        memcpy(path, self, n + 1);
    } else {
        ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
        if (n <= 0)
            return;
        path[n] = 0;
        if (!strchr(path, '/'))
            return;
    }
    char* slash = strrchr(path, '/');
    slash[slash == path ? 1 : 0] = 0; /* "/orvel.gpe" is in "/" */
    int r = chdir(path);
    (void)r; /* a folder we cannot enter: stay, and the loaders say what is missing */
}

int sys_init(void)
{
    gp2x_toOwnFolder();
    return 0;
}

void sys_exit(void)
{
    /* The menu is started by its full path, so a failed chdir is ignored;
     * execve returns only when the menu cannot be started. */
    int r = chdir(GP2X_MENU_DIR);
    (void)r;
    char* const argv[] = {(char*)GP2X_MENU_PATH, nullptr};
    execve(GP2X_MENU_PATH, argv, environ);
}
