/*
 * orvel-armreport: turns what the icount plugin wrote into tables.
 *
 *   orvel-armreport counts EVENTS FRAMES FPS OUT.json
 *       EVENTS: the plugin's notes of a counting run of orvel-armbench with
 *       the marks demo_load, demo_draw, demo_audio, armbench_frameEnd (in
 *       that order); FRAMES: what the program printed ("frame MS SCENE
 *       ROW" lines). Prints per scene the median, 95th percentile and
 *       maximum of the instructions a frame for the drawing, for that
 *       frame's audio and for both, the drawing's p95 plus the audio of one
 *       60th of a second on average (the budget figure), and the load;
 *       writes the same as JSON.
 *   orvel-armreport profile PROFILE NM [N]
 *       PROFILE: the plugin's "ADDR COUNT" lines; NM: `nm -n -C` of the
 *       program. Prints the N (default 30) functions with the most
 *       instructions, with their share.
 *
 * Exit 0, or 1 with a reason when an input is missing or does not match.
 */
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

/* ---- Globals ----------------------------------------------------------------
 * The scenes, in DemoScene order; the budget in instructions a frame. */
const char* const kScenes[] = {"part_title", "part_kube",  "part_fkube",  "part_fract",
                               "part_flower", "part_robot", "part_deform", "part_tunnel"};
enum { SCENES = 8, MARK_LOAD = 0, MARK_DRAW = 1, MARK_AUDIO = 2, MARK_END = 3 };
const uint64_t kBudget = 3300000; /* 200 MHz / 60 fps, one instruction a cycle */

int fail(const char* why, const char* what)
{
    fprintf(stderr, "orvel-armreport: %s %s\n", why, what);
    return 1;
}

/* Nearest-rank percentile (p in 0..100) of a non-empty sorted list. */
uint64_t rank(const std::vector<uint64_t>& v, int p)
{
    size_t k = (v.size() * (size_t)p + 99) / 100;
    return v[k ? k - 1 : 0];
}

struct Stats {
    uint64_t median = 0, p95 = 0, max = 0;
};

Stats stats(std::vector<uint64_t> v)
{
    Stats s;
    if (v.empty())
        return s;
    std::sort(v.begin(), v.end());
    s.median = rank(v, 50);
    s.p95 = rank(v, 95);
    s.max = v.back();
    return s;
}

double m(uint64_t n)
{
    return (double)n / 1e6;
}

int counts(const char* eventsPath, const char* framesPath, int fps, const char* jsonPath)
{
    FILE* f = fopen(eventsPath, "r");
    if (!f)
        return fail("cannot read", eventsPath);
    std::vector<std::pair<int, uint64_t>> ev;
    char word[32];
    uint64_t n;
    while (fscanf(f, "%31s %" SCNu64, word, &n) == 2)
        if (strcmp(word, "total"))
            ev.push_back({atoi(word), n});
    fclose(f);
    f = fopen(framesPath, "r");
    if (!f)
        return fail("cannot read", framesPath);
    std::vector<int> scene;
    long long ms;
    int s, row;
    while (fscanf(f, " frame %lld %d %d", &ms, &s, &row) == 3)
        scene.push_back(s);
    fclose(f);

    /* load: demo_load .. the first end mark; then draw, audio, end a frame */
    size_t i = 0;
    while (i < ev.size() && ev[i].first != MARK_LOAD)
        i++;
    if (i + 1 >= ev.size() || ev[i + 1].first != MARK_END)
        return fail("no load in", eventsPath);
    uint64_t load = ev[i + 1].second - ev[i].second;
    i += 2;
    std::vector<uint64_t> draw[SCENES], audio[SCENES], both[SCENES];
    uint64_t audioTotal = 0;
    size_t frames = 0;
    for (; i + 2 < ev.size() && frames < scene.size(); i += 3, frames++) {
        if (ev[i].first != MARK_DRAW || ev[i + 1].first != MARK_AUDIO || ev[i + 2].first != MARK_END)
            return fail("marks out of order in", eventsPath);
        uint64_t d = ev[i + 1].second - ev[i].second, a = ev[i + 2].second - ev[i + 1].second;
        int sc = scene[frames];
        if (sc < 0 || sc >= SCENES)
            return fail("unknown scene in", framesPath);
        draw[sc].push_back(d);
        audio[sc].push_back(a);
        both[sc].push_back(d + a);
        audioTotal += a;
    }
    if (frames != scene.size() || frames == 0)
        return fail("frames and marks do not match:", framesPath);
    /* the audio of one 60th of a second, on average over the run */
    double seconds = (double)frames / fps;
    uint64_t audio60 = (uint64_t)((double)audioTotal / (seconds * 60.0));

    printf("ARM instructions a frame (millions), %zu frames at %d fps; budget %.1f M (200 MHz, 60 fps)\n", frames,
           fps, m(kBudget));
    printf("%-12s %6s | %-20s | %-20s | %-20s | %9s\n", "", "", "drawing", "that frame's audio", "drawing + audio",
           "p95 draw");
    printf("%-12s %6s | %6s %6s %6s | %6s %6s %6s | %6s %6s %6s | %9s\n", "scene", "frames", "median", "p95", "max",
           "median", "p95", "max", "median", "p95", "max", "+1/60 s");
    FILE* j = fopen(jsonPath, "w");
    if (!j)
        return fail("cannot write", jsonPath);
    fprintf(j, "{\n  \"fps\": %d,\n  \"frames\": %zu,\n  \"budget_instructions_per_frame\": %" PRIu64
               ",\n  \"load_instructions\": %" PRIu64 ",\n  \"audio_instructions_per_60th_second\": %" PRIu64
               ",\n  \"scenes\": {",
            fps, frames, kBudget, load, audio60);
    bool first = true, allFit = true;
    for (int sc = 0; sc < SCENES; sc++) {
        if (draw[sc].empty())
            continue;
        Stats d = stats(draw[sc]), a = stats(audio[sc]), b = stats(both[sc]);
        uint64_t budget = d.p95 + audio60;
        bool fits = budget <= kBudget;
        allFit = allFit && fits;
        printf("%-12s %6zu | %6.2f %6.2f %6.2f | %6.2f %6.2f %6.2f | %6.2f %6.2f %6.2f | %6.2f %s\n", kScenes[sc],
               draw[sc].size(), m(d.median), m(d.p95), m(d.max), m(a.median), m(a.p95), m(a.max), m(b.median),
               m(b.p95), m(b.max), m(budget), fits ? "fits" : "OVER");
        auto js = [](const Stats& st) {
            char buf[128];
            snprintf(buf, sizeof buf, "{\"median\": %" PRIu64 ", \"p95\": %" PRIu64 ", \"max\": %" PRIu64 "}",
                     st.median, st.p95, st.max);
            return std::string(buf);
        };
        fprintf(j, "%s\n    \"%s\": {\"frames\": %zu, \"draw\": %s, \"audio\": %s, \"draw_plus_audio\": %s, "
                   "\"p95_draw_plus_60th_audio\": %" PRIu64 ", \"fits\": %s}",
                first ? "" : ",", kScenes[sc], draw[sc].size(), js(d).c_str(), js(a).c_str(), js(b).c_str(), budget,
                fits ? "true" : "false");
        first = false;
    }
    fprintf(j, "\n  },\n  \"all_fit\": %s\n}\n", allFit ? "true" : "false");
    fclose(j);
    printf("audio: %.2f M instructions per 60th of a second on average (blocks of 4096 frames, so a frame's "
           "audio is 0 or a whole block)\n",
           m(audio60));
    printf("load (once): %.1f M instructions (budget 100 M)\n", m(load));
    return 0;
}

int profile(const char* profilePath, const char* nmPath, int top)
{
    FILE* f = fopen(nmPath, "r");
    if (!f)
        return fail("cannot read", nmPath);
    std::vector<std::pair<uint64_t, std::string>> syms;
    char line[4096];
    while (fgets(line, sizeof line, f)) {
        char type;
        unsigned long long addr;
        int used = 0;
        if (sscanf(line, "%llx %c %n", &addr, &type, &used) < 2 || !used)
            continue;
        if (!strchr("tTwW", type))
            continue;
        std::string name = line + used;
        while (!name.empty() && (name.back() == '\n' || name.back() == '\r'))
            name.pop_back();
        if (name.rfind("$", 0) == 0)
            continue; /* mapping symbols */
        syms.push_back({addr, name});
    }
    fclose(f);
    std::sort(syms.begin(), syms.end());
    f = fopen(profilePath, "r");
    if (!f)
        return fail("cannot read", profilePath);
    std::map<std::string, uint64_t> byFn;
    uint64_t total = 0;
    unsigned long long addr, n;
    while (fscanf(f, "%llx %llu", &addr, &n) == 2) {
        auto it = std::upper_bound(syms.begin(), syms.end(), std::make_pair((uint64_t)addr, std::string("\xff")));
        std::string name = it == syms.begin() ? "?" : std::prev(it)->second;
        byFn[name] += n;
        total += n;
    }
    fclose(f);
    std::vector<std::pair<uint64_t, std::string>> v;
    for (auto& kv : byFn)
        v.push_back({kv.second, kv.first});
    std::sort(v.rbegin(), v.rend());
    printf("%14s %6s  function (of %.1f M instructions)\n", "instructions", "share", m(total));
    for (int i = 0; i < top && i < (int)v.size(); i++)
        printf("%14" PRIu64 " %5.1f%%  %s\n", v[i].first, 100.0 * (double)v[i].first / (double)total,
               v[i].second.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 6 && !strcmp(argv[1], "counts"))
        return counts(argv[2], argv[3], atoi(argv[4]), argv[5]);
    if ((argc == 4 || argc == 5) && !strcmp(argv[1], "profile"))
        return profile(argv[2], argv[3], argc == 5 ? atoi(argv[4]) : 30);
    fprintf(stderr, "usage: orvel-armreport counts EVENTS FRAMES FPS OUT.json | profile PROFILE NM [N]\n");
    return 2;
}
