/*
 * orvel-armbench: the demo for counting the handheld's instructions under
 * emulation (bench/arm/run-arm-bench runs it in qemu-arm with the icount
 * plugin). The headless platform and its virtual clock, from a folder
 * holding ./data:
 *
 *   orvel-armbench [--fps N] [--from MS] [--to MS]
 *       loads, then draws every frame of the timeline at N frames a second
 *       (default 60; frame k at floor(k * 1000 / N) ms) with its audio, as
 *       the program's loop does: demo_input, demo_draw, demo_audio, then
 *       armbench_frameEnd. The icount plugin notes its count on entering
 *       demo_load, demo_draw, demo_audio and armbench_frameEnd, so each
 *       frame's drawing and audio, and the load, are differences of those
 *       notes. At the end it prints one line per frame drawn:
 *       "frame MS SCENE ROW". --from and --to draw only the frames of that
 *       window of the timeline (for a profile of some scenes: the frames
 *       before it are skipped, so the stipple's random numbers differ from
 *       a whole run's).
 *   orvel-armbench --hash [--fps N]
 *       prints the hashes of every frame and of the audio track, as the
 *       frozen-frames test lists them (tests/demo/timeline_hashes.txt at
 *       10 fps).
 */
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "demo/demo.h"
#include "demo/kv_input.h"
#include "demo/kv_timer.h"
#include "platform/headless/headless.h"
#include "platform/kv_sys.h"
#include "tests/demo/timeline_hashes.h"

/* Entered after each frame's audio (and once after loading): a mark for the
 * instruction counter, which must stay a call of its own. */
extern "C" __attribute__((noinline)) void armbench_frameEnd(void)
{
    __asm__ volatile("" ::: "memory");
}

int main(int argc, char** argv)
{
    int fps = 60;
    long long from = 0, to = -1;
    bool hash = false;
    for (int i = 1; i < argc; i++) {
        const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!strcmp(argv[i], "--hash")) {
            hash = true;
        } else if (!strcmp(argv[i], "--fps") && next) {
            fps = atoi(next);
            i++;
        } else if (!strcmp(argv[i], "--from") && next) {
            from = atoll(next);
            i++;
        } else if (!strcmp(argv[i], "--to") && next) {
            to = atoll(next);
            i++;
        } else {
            fprintf(stderr, "usage: orvel-armbench [--hash] [--fps N] [--from MS] [--to MS]\n");
            return 2;
        }
    }
    if (fps < 1 || fps > 1000) {
        fprintf(stderr, "orvel-armbench: --fps takes 1 to 1000\n");
        return 2;
    }
    if (hash) {
        fputs(th_run(fps).c_str(), stdout);
        return 0;
    }

    headless_setClock(0); /* virtual before the audio opens */
    sys_init();
    scr_init();
    kb_init();
    demo_load();
    armbench_frameEnd();
    timer_reset();
    struct Drawn {
        long long ms;
        int scene, row;
    };
    std::vector<Drawn> drawn;
    for (long long k = 0;; k++) {
        long long ms = k * 1000 / fps;
        if (ms < from)
            continue;
        if (to >= 0 && ms > to)
            break;
        headless_setClock((int)ms);
        int quit = demo_input();
        DemoCall call;
        demo_timeline((unsigned)ms, &call);
        demo_draw((unsigned)ms);
        demo_audio();
        armbench_frameEnd();
        drawn.push_back({ms, call.scene, call.row});
        if (quit || ms > DEMO_LENGTH_MS)
            break;
    }
    demo_kill();
    scr_exit();
    kb_exit();
    sys_exit();
    for (const Drawn& d : drawn)
        printf("frame %lld %d %d\n", d.ms, d.scene, d.row);
    return 0;
}
