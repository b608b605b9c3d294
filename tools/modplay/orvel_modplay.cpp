/*
 * orvel-modplay: renders a tracker module with the engine's player.
 *
 *   orvel-modplay FILE -o OUT.wav [--rate HZ] [--seconds S] [--mono] [--bits 8|16]
 *   orvel-modplay FILE --info
 *   orvel-modplay FILE --dump-ticks [--seconds S]
 *
 * Without --seconds one pass of the song is rendered: playback stops when the
 * player is about to play a (song position, row) pair it has already played,
 * except while a pattern loop repeats its rows. The pass is watched from
 * outside through the public calls: every MODFILE_Player call renders exactly
 * what is left of the current tick, so before each call the tool knows
 * whether the row handler will run at its end and which row it will read.
 * One pass is capped at 60 minutes of audio.
 *
 * --dump-ticks prints one TSV line per tick and file channel with the state
 * the tick is mixed with: tick_index, row and song_pos of the row playing (-1
 * before the first row), tick, channel, note (last note value played),
 * period (basePeriod + periodOffset), step (22.10), volume, env_volume,
 * panning, position (whole frames) and active.
 *
 * Exit status: 0 done, 1 the file is not a module, is damaged or the output
 * cannot be written (one line on stderr says why), 2 bad arguments.
 */
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "modplay/modplay.h"

namespace {

const int MAX_PASS_SECONDS = 3600; /* one pass is cut after this much audio */

/* Said (on stderr, or as the --info line "capped:") when a pass hit the cap. */
std::string cappedText()
{
    return "one pass cut at " + std::to_string(MAX_PASS_SECONDS / 60) + " minutes";
}

struct Options {
    std::string file, out;
    int rate = 22050;
    double seconds = 0; /* 0: one pass */
    int channels = 2;
    int bits = 16;
    bool info = false, dump = false;
};

void usage()
{
    fprintf(stderr, "usage: orvel-modplay FILE (-o OUT.wav [--rate HZ] [--seconds S] [--mono] [--bits 8|16] | --info | "
                    "--dump-ticks [--seconds S])\n");
}

/* Prints "orvel-modplay: " and the formatted message on a line of stderr. */
__attribute__((format(printf, 1, 2))) void fail(const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    fputs("orvel-modplay: ", stderr);
    vfprintf(stderr, fmt, ap);
    fputc('\n', stderr);
    va_end(ap);
}

bool parseInt(const char* s, int lo, int hi, int* v)
{
    char* end = nullptr;
    errno = 0;
    long x = strtol(s, &end, 10);
    if (errno || !end || *end || end == s || x < lo || x > hi)
        return false;
    *v = (int)x;
    return true;
}

bool parseArgs(int argc, char** argv, Options* o)
{
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        bool hasNext = i + 1 < argc;
        if (a == "-o" && hasNext) {
            o->out = argv[++i];
        } else if (a == "--rate" && hasNext) {
            if (!parseInt(argv[++i], 8000, 192000, &o->rate))
                return false;
        } else if (a == "--seconds" && hasNext) {
            char* end = nullptr;
            o->seconds = strtod(argv[++i], &end);
            if (!end || *end || !(o->seconds > 0) || o->seconds > 86400)
                return false;
        } else if (a == "--bits" && hasNext) {
            if (!parseInt(argv[++i], 8, 16, &o->bits) || (o->bits != 8 && o->bits != 16))
                return false;
        } else if (a == "--mono") {
            o->channels = 1;
        } else if (a == "--info") {
            o->info = true;
        } else if (a == "--dump-ticks") {
            o->dump = true;
        } else if (!a.empty() && a[0] != '-' && o->file.empty()) {
            o->file = a;
        } else {
            return false;
        }
    }
    if (o->file.empty())
        return false;
    int modes = (o->info ? 1 : 0) + (o->dump ? 1 : 0) + (!o->out.empty() ? 1 : 0);
    return modes == 1;
}

/* Loads the file; on failure prints the reason and returns false. */
bool loadSong(const std::string& path, MODFILE* mod)
{
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) {
        fail("cannot open %s: %s", path.c_str(), strerror(errno));
        return false;
    }
    std::vector<char> image;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0 && image.size() < 0x7FFFFFFF)
        image.insert(image.end(), buf, buf + n);
    bool readError = ferror(f) != 0;
    fclose(f);
    if (readError || image.empty() || image.size() >= 0x7FFFFFFF) {
        fail("cannot read %s", path.c_str());
        return false;
    }
    int len = (int)image.size();
    MODFILE_Init(mod);
    if (!MODFILE_Is(image.data(), len)) {
        fail("%s: %s", path.c_str(), MODFILE_NOT_A_MODULE_TEXT);
        return false;
    }
    int r = MODFILE_Set(image.data(), len, mod);
    if (r < 0) {
        fail("%s: %s", path.c_str(), MODFILE_ResultText(r));
        return false;
    }
    return true;
}

/* Watches playback for the end of one pass. */
struct PassWatch {
    std::vector<unsigned char> played = std::vector<unsigned char>(256 * 256, 0);
    int playingRow = -1, playingPos = -1;
};

/* Renders the song tick by tick until `limit` frames are done or, when
 * onePass is set, the pass ends. Each tick's output goes to sink (may be
 * null); dump prints the tick lines. Returns the frames rendered; *capped is
 * set when a pass hit the limit. */
template <typename Sink>
long long render(MODFILE* mod, long long limit, bool onePass, bool dump, Sink sink, bool* capped)
{
    PassWatch w;
    int frameBytes = (mod->mixBits / 8) * mod->mixChannels;
    std::vector<uint8_t> tickBuf;
    long long frames = 0, tickIndex = 0;
    *capped = false;
    while (frames < limit) {
        long long n = mod->samplesPerTick - mod->tickPos;
        if (n <= 0)
            break; /* no tempo: nothing can play */
        if (n > limit - frames)
            n = limit - frames;
        bool rowEnds = mod->tickPos + n >= mod->samplesPerTick && mod->tick + 1 >= mod->speed + mod->patternDelay;
        int pos = mod->songPos, row = mod->row;
        bool lastTick = false;
        if (rowEnds) {
            unsigned char* seen = &w.played[(size_t)(pos & 255) * 256 + (size_t)(row & 255)];
            if (onePass && *seen && mod->loopCount == 0)
                lastTick = true;
            *seen = 1;
        }
        if (dump) {
            for (int c = 0; c < mod->numChannels - 1; c++) {
                const MODFILE_CHANNEL* ch = &mod->channels[c];
                printf("%lld\t%d\t%d\t%d\t%d\t%d\t%d\t%u\t%d\t%d\t%d\t%u\t%d\n", tickIndex, w.playingRow, mod->tick,
                       w.playingPos, c, ch->playedNote, ch->basePeriod + ch->periodOffset, ch->voice.step,
                       ch->voice.volume, ch->voice.envVolume, ch->voice.panning, ch->voice.position >> 10,
                       ch->voice.active);
            }
        }
        tickBuf.resize((size_t)n * (size_t)frameBytes);
        mod->outBuffer = tickBuf.data();
        mod->outBytes = (int32_t)(n * frameBytes);
        MODFILE_Player(mod);
        sink(tickBuf.data(), tickBuf.size());
        frames += n;
        if (rowEnds) {
            w.playingRow = row;
            w.playingPos = pos;
            tickIndex++;
        } else if (mod->tickPos == 0) {
            tickIndex++;
        }
        if (lastTick)
            return frames;
    }
    *capped = onePass;
    return frames;
}

void put32(uint8_t* p, uint32_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
    p[3] = (uint8_t)(v >> 24);
}

/* The 44-byte header of a PCM WAV file of dataBytes bytes. */
void wavHeader(uint8_t h[44], int rate, int channels, int bits, uint32_t dataBytes)
{
    memcpy(h, "RIFF", 4);
    put32(h + 4, 36 + dataBytes);
    memcpy(h + 8, "WAVEfmt ", 8);
    put32(h + 16, 16);
    h[20] = 1; /* PCM */
    h[21] = 0;
    h[22] = (uint8_t)channels;
    h[23] = 0;
    put32(h + 24, (uint32_t)rate);
    put32(h + 28, (uint32_t)(rate * channels * bits / 8));
    h[32] = (uint8_t)(channels * bits / 8);
    h[33] = 0;
    h[34] = (uint8_t)bits;
    h[35] = 0;
    memcpy(h + 36, "data", 4);
    put32(h + 40, dataBytes);
}

int writeWav(MODFILE* mod, const Options& o)
{
    FILE* f = fopen(o.out.c_str(), "wb");
    if (!f) {
        fail("cannot write %s: %s", o.out.c_str(), strerror(errno));
        return 1;
    }
    uint8_t header[44];
    wavHeader(header, o.rate, o.channels, o.bits, 0);
    bool ok = fwrite(header, 1, 44, f) == 44;
    std::vector<uint8_t> pending;
    unsigned long long bytes = 0;
    auto sink = [&](const uint8_t* p, size_t n) {
        pending.insert(pending.end(), p, p + n);
        bytes += n;
        if (pending.size() >= (1u << 16)) {
            ok = ok && fwrite(pending.data(), 1, pending.size(), f) == pending.size();
            pending.clear();
        }
    };
    bool onePass = o.seconds == 0;
    long long limit = onePass ? (long long)MAX_PASS_SECONDS * o.rate : (long long)floor(o.seconds * o.rate);
    bool capped = false;
    render(mod, limit, onePass, false, sink, &capped);
    if (!pending.empty())
        ok = ok && fwrite(pending.data(), 1, pending.size(), f) == pending.size();
    if (bytes > 0xFFFFFFFFull - 36) {
        fclose(f);
        fail("%s: too long for a WAV file", o.out.c_str());
        return 1;
    }
    wavHeader(header, o.rate, o.channels, o.bits, (uint32_t)bytes);
    ok = ok && fseek(f, 0, SEEK_SET) == 0 && fwrite(header, 1, 44, f) == 44;
    if (fclose(f) != 0 || !ok) {
        fail("cannot write %s", o.out.c_str());
        return 1;
    }
    if (capped)
        fail("%s", cappedText().c_str());
    return 0;
}

const char* formatName(int id)
{
    return id == 1 ? "mod" : id == 2 ? "s3m" : id == 3 ? "xm" : "unknown";
}

int printInfo(MODFILE* mod, const Options& o)
{
    bool capped = false;
    long long frames =
        render(mod, (long long)MAX_PASS_SECONDS * o.rate, true, false, [](const uint8_t*, size_t) {}, &capped);
    printf("format: %s\n", formatName(mod->formatId));
    printf("title: %s\n", mod->name);
    printf("channels: %d\n", mod->numChannels - 1);
    printf("patterns: %d\n", mod->numPatterns);
    printf("instruments: %d\n", mod->numInstruments);
    printf("samples: %d\n", mod->numSamples);
    printf("orders: %d\n", mod->songLength);
    printf("speed: %d\n", mod->initSpeed);
    printf("tempo: %d\n", mod->initBpm);
    printf("linear: %d\n", mod->linearFreq == 1 ? 1 : 0);
    printf("duration_ms: %lld\n", frames * 1000 / o.rate);
    if (capped)
        printf("capped: %s\n", cappedText().c_str());
    return 0;
}

int dumpTicks(MODFILE* mod, const Options& o)
{
    bool onePass = o.seconds == 0;
    long long limit = onePass ? (long long)MAX_PASS_SECONDS * o.rate : (long long)floor(o.seconds * o.rate);
    bool capped = false;
    printf("tick_index\trow\ttick\tsong_pos\tchannel\tnote\tperiod\tstep\tvolume\tenv_volume\tpanning\tposition\tactive\n");
    render(mod, limit, onePass, true, [](const uint8_t*, size_t) {}, &capped);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!parseArgs(argc, argv, &o)) {
        usage();
        return 2;
    }
    static MODFILE mod;
    if (!loadSong(o.file, &mod))
        return 1;
    mod.musicVolume = 64;
    mod.sfxVolume = 64;
    MODFILE_Start(&mod);
    /* WAV keeps 8-bit samples unsigned and 16-bit ones signed */
    MODFILE_SetFormat(&mod, o.rate, o.channels, o.bits, o.bits == 16);
    int rc;
    if (o.info)
        rc = printInfo(&mod, o);
    else if (o.dump)
        rc = dumpTicks(&mod, o);
    else
        rc = writeWav(&mod, o);
    MODFILE_Stop(&mod);
    MODFILE_Free(&mod);
    return rc;
}
