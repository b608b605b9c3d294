#include "tests/demo/timeline_hashes.h"

#include <cstdio>

#include "demo/demo.h"
#include "demo/kv_input.h"
#include "demo/kv_timer.h"
#include "platform/headless/headless.h"
#include "platform/kv_sys.h"
#include "tests/support/md5.h"

namespace {

/* One run's state, handed to the sinks. */
struct HashRun {
    std::string out;
    long long ms = -1; /* the frame being drawn; -1 while loading */
    int loads = 0;     /* loading-screen flips so far */
    Md5 audio;
    long long samples = 0;
};

void th_frame(const uint16_t* frame, void* user)
{
    HashRun* r = (HashRun*)user;
    char line[80];
    std::string h = md5_of(frame, sizeof(uint16_t) * SCR_PIXELS);
    if (r->ms < 0)
        snprintf(line, sizeof line, "load %d %s\n", r->loads++, h.c_str());
    else
        snprintf(line, sizeof line, "frame %lld %s\n", r->ms, h.c_str());
    r->out += line;
}

void th_sound(const int16_t* samples, int count, void* user)
{
    HashRun* r = (HashRun*)user;
    md5_update(&r->audio, samples, sizeof(int16_t) * (size_t)count);
    r->samples += count;
}

} // namespace

std::string th_run(int fps)
{
    HashRun r;
    md5_init(&r.audio);
    headless_setClock(0); /* virtual before the audio opens */
    headless_setSink(th_frame, &r);
    headless_setSoundSink(th_sound, &r);
    sys_init();
    scr_init();
    kb_init();
    demo_load();
    timer_reset();
    for (long long k = 0;; k++) {
        r.ms = k * 1000 / fps;
        headless_setClock((int)r.ms);
        if (demo_update(timer_global()))
            break;
    }
    demo_kill();
    scr_exit();
    kb_exit();
    sys_exit();
    headless_setSink(nullptr, nullptr);
    headless_setSoundSink(nullptr, nullptr);
    char line[80];
    snprintf(line, sizeof line, "audio %lld %s\n", r.samples, md5_hex(&r.audio).c_str());
    return r.out + line;
}
