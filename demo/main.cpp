/*
 * The program: the same main for the handheld and the desktop build.
 *
 * Set-up opens the screen and the controller and loads the demo; all three
 * steps run even when one fails, and a failure only skips the loop. The loop
 * draws one frame at the current clock time until the timeline ends or start
 * is held; there is no frame pacing. Teardown always runs, then the platform
 * takes over (the handheld starts its menu program, the desktop shuts
 * Allegro down).
 */
#include <cstdio>

#include "demo/demo.h"
#include "demo/kv_input.h"
#include "demo/kv_timer.h"
#include "platform/kv_sys.h"
#include "video/kv_video.h"

int main(void)
{
    /* A platform that is not up (no display) has said so itself. */
    int platformUp = sys_init() == 0;
    int ok = 1;
    if (!scr_init()) {
        if (platformUp)
            fputs(demo_msgNoScreen, stdout);
        ok = 0;
    }
    if (kb_init() != 0) {
        if (platformUp)
            fputs(demo_msgNoController, stdout);
        ok = 0;
    }
    if (!demo_load())
        ok = 0;
    timer_reset();
    if (ok)
        while (!demo_update(timer_global())) {
        }
    demo_kill();
    scr_exit();
    kb_exit();
    fflush(stdout);
    sys_exit();
    return 0;
}
