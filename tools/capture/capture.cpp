/*
 * orvel-capture: the demo headless, on a virtual clock, to video, PNG or WAV.
 *
 * It runs the very same demo_load / demo_update / demo_kill as the programs,
 * on the headless platform: the clock advances exactly 1000/fps ms a frame
 * (frame k is drawn at floor(k * 1000 / fps) ms), and the virtual audio
 * device takes exactly the samples that time covers, so a capture is a
 * faithful, repeatable recording of the demo. Run it in the build tree,
 * where the build writes ./data.
 *
 *   orvel-capture --video FILE.mp4 [--fps N]          H.264 + AAC via ffmpeg, 640x480
 *   orvel-capture --frames DIR [--fps N] [--scale 1|2] frame_000000.png ...
 *   orvel-capture --wav FILE.wav                      the audio, 22050 Hz stereo 16-bit
 *   orvel-capture --shot MS FILE.png [--fps N]        the frame shown at timeline time MS
 *   orvel-capture --bench [--fps N]                   per-scene frame times as JSON
 *   --from MS --to MS limits any of them to a window of the timeline.
 *
 * Exit status: 0 done, 1 an output could not be written, 2 bad arguments.
 */
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include "demo/demo.h"
#include "demo/kv_input.h"
#include "demo/kv_timer.h"
#include "platform/headless/headless.h"
#include "platform/kv_sys.h"
#include "video/kv_video.h"

namespace {

const char* const kUsage =
    "usage: orvel-capture (--video FILE.mp4 | --frames DIR | --wav FILE.wav | --shot MS FILE.png | --bench)\n"
    "                     [--fps N] [--scale 1|2] [--from MS] [--to MS]";

const char* const kSceneNames[] = {"part_title", "part_kube",  "part_fkube",  "part_fract",
                                   "part_flower", "part_robot", "part_deform", "part_tunnel"};
enum { SCENE_COUNT = 8 };

enum Mode { MODE_NONE, MODE_VIDEO, MODE_FRAMES, MODE_WAV, MODE_SHOT, MODE_BENCH };

struct Options {
    Mode mode = MODE_NONE;
    std::string out;       /* file or directory */
    int fps = 60;          /* frames per second of the virtual clock */
    int scale = 1;         /* --frames: 1 = 320x240, 2 = 640x480 */
    long long shotMs = -1; /* --shot */
    long long from = 0;    /* first timeline ms written */
    long long to = -1;     /* last timeline ms written, -1 = the end */
};

/* ---- Arguments ----------------------------------------------------------- */

int usage(const char* why)
{
    fprintf(stderr, "orvel-capture: %s\n%s\n", why, kUsage);
    return 2;
}

bool parseInt(const char* s, long long lo, long long hi, long long* out)
{
    if (!s || !*s)
        return false;
    char* end = nullptr;
    errno = 0;
    long long v = strtoll(s, &end, 10);
    if (errno || *end || v < lo || v > hi)
        return false;
    *out = v;
    return true;
}

/* Returns 0 when the options are good, else the exit status after a message. */
int parseArgs(int argc, char** argv, Options* o)
{
    bool haveTo = false;
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
        long long v = 0;
        auto setMode = [&](Mode m) {
            if (o->mode != MODE_NONE)
                return false;
            o->mode = m;
            return true;
        };
        if (a == "--help" || a == "-h") {
            printf("%s\n", kUsage);
            exit(0);
        } else if (a == "--video" || a == "--frames" || a == "--wav") {
            Mode m = a == "--video" ? MODE_VIDEO : a == "--frames" ? MODE_FRAMES : MODE_WAV;
            if (!next || !setMode(m))
                return usage(!next ? "missing output after an option" : "choose one of --video, --frames, --wav, --shot, --bench");
            o->out = next;
            i++;
        } else if (a == "--shot") {
            if (i + 2 >= argc || !setMode(MODE_SHOT))
                return usage("--shot needs MS and FILE.png (and no other output)");
            if (!parseInt(argv[i + 1], 0, 100000000, &o->shotMs))
                return usage("--shot MS must be a number of milliseconds");
            o->out = argv[i + 2];
            i += 2;
        } else if (a == "--bench") {
            if (!setMode(MODE_BENCH))
                return usage("choose one of --video, --frames, --wav, --shot, --bench");
        } else if (a == "--fps") {
            if (!parseInt(next, 1, 1000, &v))
                return usage("--fps takes a whole number from 1 to 1000");
            o->fps = (int)v;
            i++;
        } else if (a == "--scale") {
            if (!parseInt(next, 1, 2, &v))
                return usage("--scale takes 1 or 2");
            o->scale = (int)v;
            i++;
        } else if (a == "--from") {
            if (!parseInt(next, 0, 100000000, &o->from))
                return usage("--from takes milliseconds");
            i++;
        } else if (a == "--to") {
            if (!parseInt(next, 0, 100000000, &o->to))
                return usage("--to takes milliseconds");
            haveTo = true;
            i++;
        } else {
            return usage(("unknown argument " + a).c_str());
        }
    }
    if (o->mode == MODE_NONE)
        return usage("say what to capture");
    if (haveTo && o->to < o->from)
        return usage("--to must not be before --from");
    return 0;
}

/* ---- Outputs ------------------------------------------------------------- */

/* RGB888 of a 320x240 RGB565 frame, doubled when scale is 2. */
void toRgb(const uint16_t* f, int scale, std::vector<uint8_t>* rgb)
{
    int w = SCR_W * scale, h = SCR_H * scale;
    rgb->resize((size_t)w * h * 3);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint16_t p = f[(y / scale) * SCR_W + x / scale];
            uint8_t* d = &(*rgb)[((size_t)y * w + x) * 3];
            /* widen each field by repeating its top bits */
            unsigned r = p >> 11, g = (p >> 5) & 63, b = p & 31;
            d[0] = (uint8_t)((r << 3) | (r >> 2));
            d[1] = (uint8_t)((g << 2) | (g >> 4));
            d[2] = (uint8_t)((b << 3) | (b >> 2));
        }
}

bool writePng(const std::string& path, const uint16_t* f, int scale)
{
    std::vector<uint8_t> rgb;
    toRgb(f, scale, &rgb);
    return stbi_write_png(path.c_str(), SCR_W * scale, SCR_H * scale, 3, rgb.data(), SCR_W * scale * 3) != 0;
}

void put16(FILE* f, unsigned v)
{
    fputc((int)(v & 0xFF), f);
    fputc((int)((v >> 8) & 0xFF), f);
}

void put32(FILE* f, uint32_t v)
{
    put16(f, v & 0xFFFF);
    put16(f, v >> 16);
}

/* A 44-byte header of 16-bit PCM, stereo, 22050 Hz, for `bytes` of data. */
void writeWavHeader(FILE* f, uint32_t bytes)
{
    fwrite("RIFF", 1, 4, f);
    put32(f, 36 + bytes);
    fwrite("WAVEfmt ", 1, 8, f);
    put32(f, 16);
    put16(f, 1);
    put16(f, 2);
    put32(f, DEMO_RATE);
    put32(f, DEMO_RATE * 4);
    put16(f, 4);
    put16(f, 16);
    fwrite("data", 1, 4, f);
    put32(f, bytes);
}

/* ---- The run -------------------------------------------------------------- */

struct Run {
    Options opt;
    /* the frame currently being drawn */
    long long frameMs = 0;
    bool frameWanted = false;
    long long framesWritten = 0;
    bool failed = false;
    std::string failure;
    /* --video: ffmpeg reading raw frames */
    FILE* ffmpeg = nullptr;
    std::string tmpVideo, tmpAudio;
    /* --wav and --video: the samples taken in the window */
    FILE* audio = nullptr;
    uint64_t audioBytes = 0;
    long long samplesSeen = 0; /* every sample the device took, window or not */
    /* --shot: the last frame at or before the shot time */
    std::vector<uint16_t> shot;
    /* --bench: microseconds per frame by scene */
    std::vector<double> us[SCENE_COUNT];
    double loadMs = 0;
};

bool inWindow(const Run& r, long long ms)
{
    return ms >= r.opt.from && (r.opt.to < 0 || ms <= r.opt.to);
}

void fail(Run* r, const std::string& why)
{
    if (!r->failed) {
        r->failed = true;
        r->failure = why;
    }
}

void onFrame(const uint16_t* frame, void* user)
{
    Run* r = (Run*)user;
    if (!r->frameWanted || r->failed)
        return;
    switch (r->opt.mode) {
    case MODE_FRAMES: {
        char name[64];
        snprintf(name, sizeof name, "/frame_%06lld.png", r->framesWritten);
        if (!writePng(r->opt.out + name, frame, r->opt.scale))
            fail(r, "cannot write " + r->opt.out + name);
        break;
    }
    case MODE_VIDEO:
        if (fwrite(frame, 2, SCR_PIXELS, r->ffmpeg) != (size_t)SCR_PIXELS)
            fail(r, "ffmpeg stopped taking frames");
        break;
    case MODE_SHOT:
        r->shot.assign(frame, frame + SCR_PIXELS);
        break;
    default:
        break;
    }
    r->framesWritten++;
}

void onSound(const int16_t* samples, int count, void* user)
{
    Run* r = (Run*)user;
    /* sample n (stereo pair n/2) plays at (n/2) * 1000 / 22050 ms */
    for (int i = 0; i < count; i += 2) {
        long long ms = (r->samplesSeen / 2) * 1000 / DEMO_RATE;
        r->samplesSeen += 2;
        if (!r->audio || !inWindow(*r, ms) || r->failed)
            continue;
        if (fwrite(samples + i, 2, 2, r->audio) != 2)
            fail(r, "cannot write the audio");
        r->audioBytes += 4;
    }
}

/* A progress bar on a terminal, nothing otherwise. */
void progress(long long ms, long long end)
{
    static int last = -1;
    if (!isatty(2))
        return;
    int pct = (int)std::min<long long>(100, ms * 100 / std::max<long long>(1, end));
    if (pct == last)
        return;
    last = pct;
    int bar = pct * 40 / 100;
    fprintf(stderr, "\r[%.*s%*s] %3d%%  %6.1f s", bar, "########################################", 40 - bar, "",
            pct, ms / 1000.0);
    fflush(stderr);
}

int runDemo(Run* r)
{
    headless_setClock(0); /* virtual before anything opens the audio */
    headless_setSink(onFrame, r);
    headless_setSoundSink(onSound, r);
    sys_init();
    bool ok = scr_init() != nullptr;
    ok = kb_init() == 0 && ok;
    auto t0 = std::chrono::steady_clock::now();
    ok = demo_load() && ok;
    r->loadMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    timer_reset();

    /* The run ends after the frame past the timeline's end, or at the end of
     * the window (a shot needs nothing after its frame). */
    long long end = DEMO_LENGTH_MS + 1;
    if (r->opt.mode == MODE_SHOT)
        end = r->opt.shotMs;
    else if (r->opt.to >= 0)
        end = std::min(end, r->opt.to);
    for (long long k = 0; ok && !r->failed; k++) {
        long long ms = k * 1000 / r->opt.fps;
        if (ms > end && r->opt.mode == MODE_SHOT)
            break;
        headless_setClock((int)ms);
        r->frameMs = ms;
        r->frameWanted = r->opt.mode == MODE_SHOT ? true : inWindow(*r, ms);
        int done;
        if (r->opt.mode == MODE_BENCH) {
            /* demo_update's three steps, timing the drawing alone */
            int quit = demo_input();
            DemoCall call;
            demo_timeline((unsigned)ms, &call);
            auto a = std::chrono::steady_clock::now();
            demo_draw((unsigned)ms);
            auto b = std::chrono::steady_clock::now();
            demo_audio();
            r->us[call.scene].push_back(std::chrono::duration<double, std::micro>(b - a).count());
            done = ms > DEMO_LENGTH_MS ? 1 : quit;
        } else {
            done = demo_update(timer_global());
        }
        progress(ms, end);
        if (done || (r->opt.to >= 0 && ms >= r->opt.to))
            break;
    }
    if (isatty(2))
        fprintf(stderr, "\n");
    demo_kill();
    scr_exit();
    kb_exit();
    sys_exit();
    headless_setSink(nullptr, nullptr);
    headless_setSoundSink(nullptr, nullptr);
    return ok ? 0 : -1;
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n & 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

int finishBench(Run* r, FILE* out)
{
    fprintf(out, "{\n  \"fps\": %d,\n  \"load_ms\": %.1f,\n  \"scenes\": {\n", r->opt.fps, r->loadMs);
    bool first = true;
    for (int s = 0; s < SCENE_COUNT; s++) {
        const std::vector<double>& v = r->us[s];
        if (v.empty())
            continue;
        fprintf(out, "%s    \"%s\": {\"frames\": %zu, \"min_us\": %.1f, \"median_us\": %.1f, \"max_us\": %.1f}",
                first ? "" : ",\n", kSceneNames[s], v.size(), *std::min_element(v.begin(), v.end()), median(v),
                *std::max_element(v.begin(), v.end()));
        first = false;
    }
    fprintf(out, "\n  }\n}\n");
    return 0;
}

std::string tempPath(const char* tag)
{
    const char* dir = getenv("TMPDIR");
    std::string base = dir && *dir ? dir : "/tmp";
    return base + "/orvel-capture-" + std::to_string(getpid()) + "-" + tag;
}

} // namespace

int main(int argc, char** argv)
{
    Run r;
    if (int st = parseArgs(argc, argv, &r.opt))
        return st;
    const Options& o = r.opt;

    /* Open the outputs first, so a bad path fails before a long run. */
    if (o.mode == MODE_FRAMES) {
        mkdir(o.out.c_str(), 0777);
        struct stat st;
        std::string probe = o.out + "/.orvel-probe";
        FILE* p = stat(o.out.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? fopen(probe.c_str(), "wb") : nullptr;
        if (!p) {
            fprintf(stderr, "orvel-capture: cannot write into %s: %s\n", o.out.c_str(), strerror(errno));
            return 1;
        }
        fclose(p);
        remove(probe.c_str());
    }
    if (o.mode == MODE_WAV || o.mode == MODE_SHOT || o.mode == MODE_VIDEO) {
        FILE* p = fopen(o.out.c_str(), "wb");
        if (!p) {
            fprintf(stderr, "orvel-capture: cannot write %s: %s\n", o.out.c_str(), strerror(errno));
            return 1;
        }
        fclose(p);
        if (o.mode != MODE_WAV)
            remove(o.out.c_str());
    }
    if (o.mode == MODE_WAV) {
        r.audio = fopen(o.out.c_str(), "wb");
        writeWavHeader(r.audio, 0); /* sizes filled in at the end */
    }
    if (o.mode == MODE_VIDEO) {
        r.tmpVideo = tempPath("video.mp4");
        r.tmpAudio = tempPath("audio.raw");
        r.audio = fopen(r.tmpAudio.c_str(), "wb");
        std::string cmd = "ffmpeg -hide_banner -loglevel error -y -f rawvideo -pix_fmt rgb565le -s 320x240 -r " +
                          std::to_string(o.fps) + " -i pipe:0 -vf scale=640:480:flags=neighbor -c:v libx264 "
                          "-pix_fmt yuv420p -preset veryfast -crf 20 '" + r.tmpVideo + "'";
        r.ffmpeg = r.audio ? popen(cmd.c_str(), "w") : nullptr;
        if (!r.ffmpeg) {
            fprintf(stderr, "orvel-capture: cannot start ffmpeg\n");
            return 1;
        }
    }

    /* In bench mode the JSON owns standard output: the loaders' messages go
     * to standard error meanwhile. */
    int savedOut = -1;
    if (o.mode == MODE_BENCH) {
        fflush(stdout);
        savedOut = dup(1);
        dup2(2, 1);
    }
    int run = runDemo(&r);
    fflush(stdout);
    if (savedOut >= 0) {
        dup2(savedOut, 1);
        close(savedOut);
    }

    int status = 0;
    if (r.ffmpeg && pclose(r.ffmpeg) != 0)
        fail(&r, "ffmpeg could not encode the video");
    if (r.audio) {
        if (o.mode == MODE_WAV) {
            fseek(r.audio, 0, SEEK_SET);
            writeWavHeader(r.audio, (uint32_t)r.audioBytes);
        }
        if (fclose(r.audio) != 0)
            fail(&r, "cannot write the audio");
    }
    if (o.mode == MODE_VIDEO && !r.failed) {
        std::string cmd = "ffmpeg -hide_banner -loglevel error -y -i '" + r.tmpVideo +
                          "' -f s16le -ar 22050 -ac 2 -i '" + r.tmpAudio +
                          "' -map 0:v -map 1:a -c:v copy -c:a aac -b:a 160k -shortest '" + o.out + "'";
        if (system(cmd.c_str()) != 0)
            fail(&r, "ffmpeg could not write " + o.out);
    }
    if (!r.tmpVideo.empty()) {
        remove(r.tmpVideo.c_str());
        remove(r.tmpAudio.c_str());
    }
    if (o.mode == MODE_SHOT && !r.failed) {
        if (r.shot.empty())
            fail(&r, "no frame was drawn (the screen could not be opened)");
        else if (!writePng(o.out, r.shot.data(), 1))
            fail(&r, "cannot write " + o.out);
    }
    if (o.mode == MODE_BENCH)
        finishBench(&r, stdout);

    if (r.failed) {
        fprintf(stderr, "orvel-capture: %s\n", r.failure.c_str());
        status = 1;
    } else if (o.mode != MODE_BENCH) {
        fprintf(stderr, "orvel-capture: %lld frames at %d fps%s%s\n", r.framesWritten, o.fps,
                r.audioBytes ? ", audio " : "",
                r.audioBytes ? (std::to_string(r.audioBytes / 4) + " frames").c_str() : "");
    }
    (void)run;
    return status;
}
