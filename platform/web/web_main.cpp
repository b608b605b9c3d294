/*
 * The program in the browser: the demo's main, with the loop turned inside
 * out. The browser calls us once a display frame (requestAnimationFrame,
 * through Emscripten's main loop) and we run one demo_update at the current
 * clock; a busy loop would freeze the page. Set-up and teardown are the
 * same calls in the same order as demo/main.cpp.
 *
 * The page starts a fresh instance of this program for every showing, with
 * one of:
 *   (no arguments)     the demo: on the audio clock, until the timeline ends
 *                      or Escape is held
 *   --selftest S       the demo for S seconds of its clock, then stop
 *   --shot MS          the frame shown at timeline time MS, reached as
 *                      `orvel-capture --shot MS --fps 60` reaches it: the
 *                      virtual clock from 0, frame k at floor(k * 1000 / 60)
 *                      ms, every frame until the next would be past MS
 * When it stops it tells the page why (web_jsEnded): "end" (the timeline
 * ended or Escape), "selftest", "shot" (the frame is on the canvas) or
 * "failed" (set-up failed; the demo was skipped).
 */
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <emscripten.h>

#include "demo/demo.h"
#include "demo/kv_input.h"
#include "demo/kv_timer.h"
#include "platform/kv_sys.h"
#include "platform/web/web.h"
#include "video/kv_video.h"

/* ---- Globals -------------------------------------------------------------
 * Lifetime: whole run. */
enum { RUN_PLAY, RUN_SELFTEST, RUN_SHOT };
enum {
    SHOT_FPS = 60,     /* the shot's virtual frame rate, as orvel-capture's default */
    SHOT_CHUNK = 120   /* frames of a shot's run-up per callback (the page stays live) */
};
static int runMode = RUN_PLAY;
static long long shotMs = 0;    /* ms: the shot's timeline time */
static long long shotFrame = 0; /* index of the shot's next frame */
static int selftestMs = 0;      /* ms of the demo's clock a selftest plays */

/* Teardown, as demo/main.cpp, then the page hears why we stopped. */
static void web_stop(const char* why)
{
    emscripten_cancel_main_loop();
    demo_kill();
    scr_exit();
    kb_exit();
    fflush(stdout);
    sys_exit();
    web_jsEnded(why);
}

/* One display frame of the demo (or of a selftest). */
static void web_frame(void)
{
    int t = timer_global();
    int done = demo_update(t);
    if (runMode == RUN_SELFTEST && t >= selftestMs)
        web_stop("selftest");
    else if (done)
        web_stop("end");
}

/* A run of the shot's frames; the last one is shown and stops the run. */
static void web_shotFrames(void)
{
    for (int i = 0; i < SHOT_CHUNK; i++) {
        long long ms = shotFrame * 1000 / SHOT_FPS;
        int done = 0;
        if (ms <= shotMs) {
            web_setVirtualClock((int)ms);
            done = demo_update(timer_global());
            shotFrame++;
        }
        if (ms > shotMs || done) {
            web_present();
            web_stop("shot");
            return;
        }
    }
}

int main(int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--shot")) {
            runMode = RUN_SHOT;
            shotMs = atoll(argv[i + 1]);
        } else if (!strcmp(argv[i], "--selftest")) {
            runMode = RUN_SELFTEST;
            selftestMs = atoi(argv[i + 1]) * 1000;
        }
    }
    if (runMode == RUN_SHOT) {
        web_setVirtualClock(0); /* virtual before anything opens the audio */
        web_setPresenting(0);
    }

    int ok = sys_init() == 0;
    if (!scr_init()) {
        fputs(demo_msgNoScreen, stdout);
        ok = 0;
    }
    if (kb_init() != 0) {
        fputs(demo_msgNoController, stdout);
        ok = 0;
    }
    if (!demo_load())
        ok = 0;
    timer_reset();
    if (!ok) {
        web_stop("failed");
        return 0;
    }
    /* fps 0: the browser's display rate (requestAnimationFrame); a shot runs
     * its frames as fast as it can, a chunk per zero-delay timer */
    emscripten_set_main_loop(runMode == RUN_SHOT ? web_shotFrames : web_frame, 0, 0);
    if (runMode == RUN_SHOT)
        emscripten_set_main_loop_timing(EM_TIMING_SETTIMEOUT, 0);
    return 0;
}
