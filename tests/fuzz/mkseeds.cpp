/*
 * fuzz-mkseeds DIR [--songs FOLDER]... [--data FOLDER] [FUZZER...]
 *
 * Writes the fuzzers' seed inputs into DIR/<fuzzer>/ for the fuzzers named
 * (default: all of xm, mod, s3m, wav, tga, raw, bof, baf, font).
 *
 * The generated seeds are built in code with the project's own writers:
 * small, valid files that between them use every feature of their format a
 * loader reads (every effect, both sample widths, every loop kind,
 * envelopes, every TGA image type and origin, mono and stereo WAV with
 * foreign chunks, one- and multi-frame objects). --songs adds every .xm,
 * .mod and .s3m file found under a folder (the real songs of
 * scripts/get-test-modules); --data adds the demo's data set, each file to
 * the fuzzer of its kind, raw pictures and the font sheet wrapped in the
 * input layout of their fuzzers.
 *
 * Exit status: 0 written, 1 a file cannot be written or read, 2 bad
 * arguments.
 */
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "tests/modplay/modwriter.h"
#include "tests/modplay/s3mwriter.h"
#include "tests/support/test_support.h"
#include "tools/xmwriter/xmwriter.h"
#include "video/kv_video.h"

namespace {

std::string outDir;
std::set<std::string> wanted; /* fuzzers to write seeds for */
bool ok = true;

void save(const std::string& fuzzer, const std::string& name, const std::vector<uint8_t>& bytes)
{
    if (!wanted.count(fuzzer))
        return;
    std::string dir = outDir + "/" + fuzzer;
    mkdir(dir.c_str(), 0777);
    if (!ts::writeFile(dir + "/" + name, bytes)) {
        fprintf(stderr, "fuzz-mkseeds: cannot write %s/%s\n", dir.c_str(), name.c_str());
        ok = false;
    }
}

std::vector<uint8_t> bytesOf(const std::string& s)
{
    return std::vector<uint8_t>(s.begin(), s.end());
}

/* ---- XM ------------------------------------------------------------------------ */

/* Two instruments (8-bit forward loop with envelopes, 16-bit ping-pong plus a
 * one-shot sample), a pattern that plays every effect type with a
 * parameter and every volume-column kind, and a short second pattern. */
xmw::Song xmSong(bool packed)
{
    xmw::Song s;
    s.name = "seed";
    s.channels = 4;
    s.orders = {0, 1, 0};
    s.restart = 1;
    s.packCells = packed;
    int p0 = s.addPattern(64);
    int p1 = s.addPattern(16);
    xmw::Instrument a;
    a.name = "square";
    xmw::Sample sq = xmw::squareSample(96, 16, 90, false);
    sq.loop = xmw::LOOP_FORWARD;
    sq.loopStart = 32;
    sq.loopLength = 64;
    sq.finetune = -20;
    sq.relativeNote = 3;
    a.samples.push_back(sq);
    for (int i = 0; i < 96; i++)
        a.noteSample[i] = 0;
    a.volume.on = true;
    a.volume.points = {{0, 64}, {8, 40}, {20, 50}, {40, 0}};
    a.volume.sustain = 1;
    a.volume.loopStart = 1;
    a.volume.loopEnd = 2;
    a.panning.on = true;
    a.panning.points = {{0, 32}, {10, 0}, {20, 64}};
    a.panning.loopStart = 0;
    a.panning.loopEnd = 2;
    a.fadeout = 800;
    s.instruments.push_back(a);
    xmw::Instrument b;
    b.name = "ramp";
    xmw::Sample r16 = xmw::rampSample(80, true);
    r16.loop = xmw::LOOP_PINGPONG;
    r16.loopStart = 10;
    r16.loopLength = 50;
    r16.panning = 40;
    b.samples.push_back(r16);
    b.samples.push_back(xmw::squareSample(40, 8, 20000, true));
    for (int i = 0; i < 96; i++)
        b.noteSample[i] = (uint8_t)(i / 48);
    s.instruments.push_back(b);

    const uint8_t params[] = {0x37, 0x08, 0x04, 0x10, 0x46, 0x21, 0x12, 0x35, 0x80, 0x02, 0x1F,
                              0x01, 0x30, 0x10, 0x00, 0x04, 0x30, 0x1F, 0, 0, 0, 0, 0, 0, 0, 0x21};
    for (int e = 0; e < 26; e++) {
        /* the jump (to position 1) and the break end the pattern */
        int row = e == 0xB ? 60 : e == 0xD ? 61 : e;
        xmw::Cell& c = s.patterns[p0].at(row, e % 4);
        c.note = (uint8_t)(1 + (e * 7) % 96);
        c.instrument = (uint8_t)(1 + e % 2);
        c.effect = (uint8_t)e;
        c.param = e == 0xB ? 1 : e == 0xD ? 0x10 : params[e];
    }
    const uint8_t extended[] = {0x13, 0x23, 0x31, 0x42, 0x51, 0x61, 0x72, 0x88, 0x93, 0xA2, 0xB2, 0xC3, 0xD2, 0xE1};
    for (int i = 0; i < 14; i++) {
        xmw::Cell& c = s.patterns[p0].at(30 + i, i % 4);
        c.note = xmw::note(i % 2 ? "C-4" : "G#5");
        c.instrument = 1;
        c.effect = 0xE;
        c.param = extended[i];
    }
    const uint8_t volumes[] = {0x10, 0x30, 0x50, 0x58, 0x63, 0x74, 0x82, 0x93, 0xA4, 0xB5, 0xC7, 0xD2, 0xE3, 0xF4};
    for (int i = 0; i < 14; i++) {
        xmw::Cell& c = s.patterns[p0].at(45 + i, (i + 1) % 4);
        c.note = i == 13 ? (uint8_t)xmw::NOTE_OFF : xmw::note("E-3");
        c.instrument = 2;
        c.volume = volumes[i];
    }
    s.patterns[p1].at(0, 0).note = xmw::note("C-2");
    s.patterns[p1].at(0, 0).instrument = 2;
    s.patterns[p1].at(8, 3).note = xmw::NOTE_OFF;
    s.patterns[p1].at(15, 2).effect = 0xB;
    s.patterns[p1].at(15, 2).param = 2;
    return s;
}

void xmSeeds()
{
    save("xm", "features.xm", xmw::write(xmSong(true)));
    save("xm", "unpacked.xm", xmw::write(xmSong(false)));
    xmw::Song amiga = xmSong(true);
    amiga.linear = false;
    amiga.speed = 1;
    amiga.tempo = 200;
    amiga.channels = 4;
    save("xm", "amiga.xm", xmw::write(amiga));
    /* no instruments, one empty pattern */
    xmw::Song empty;
    empty.channels = 1;
    empty.addPattern(1);
    save("xm", "empty.xm", xmw::write(empty));
}

/* ---- MOD ------------------------------------------------------------------------ */

void modPut(modw::Pattern& p, int row, int ch, uint16_t period, int instrument, int effect, int param)
{
    modw::Cell& c = p.at(row, ch);
    c.period = period;
    c.instrument = (uint8_t)instrument;
    c.effect = (uint8_t)effect;
    c.param = (uint8_t)param;
}

modw::Song modSong(const std::string& signature, int channels)
{
    modw::Song s;
    s.name = "seed";
    s.signature = signature;
    s.channels = channels;
    s.orders = {0, 1, 0};
    s.patterns = {modw::Pattern(channels), modw::Pattern(channels)};
    s.samples.push_back(modw::squareSample(64));
    modw::Sample one = modw::squareSample(48);
    one.loopWords = 0;
    one.finetune = 0x0D;
    one.volume = 40;
    s.samples.push_back(one);
    const uint16_t periods[] = {428, 404, 381, 856, 214, 1712, 113, 1140, 75};
    const uint8_t params[] = {0x37, 0x08, 0x04, 0x10, 0x46, 0x21, 0x12, 0x35, 0x80,
                              0x02, 0x1F, 0x00, 0x30, 0x00, 0x00, 0x04};
    for (int e = 0; e < 16; e++) {
        /* the jump (to position 1) and the break end the pattern */
        int row = e == 0xB ? 60 : e == 0xD ? 61 : e * 2;
        modPut(s.patterns[0], row, e % channels, periods[e % 9], 1 + e % 2, e, e == 0xB ? 1 : params[e]);
    }
    const uint8_t extended[] = {0x13, 0x23, 0x31, 0x42, 0x51, 0x61, 0x72, 0x88, 0x93, 0xA2, 0xB2, 0xC3, 0xD2, 0xE1};
    for (int i = 0; i < 14; i++)
        modPut(s.patterns[0], 34 + i, i % channels, periods[i % 9], 1, 0xE, extended[i]);
    modPut(s.patterns[1], 0, 0, 254, 2, 0xF, 0x03);
    modPut(s.patterns[1], 4, channels - 1, 0, 0, 0xB, 0x01);
    modPut(s.patterns[1], 4, 0, 0, 0, 0xD, 0x10);
    return s;
}

void modSeeds()
{
    save("mod", "mk.mod", modw::write(modSong("M.K.", 4)));
    save("mod", "8chn.mod", modw::write(modSong("8CHN", 8)));
    save("mod", "2chn.mod", modw::write(modSong("2CHN", 2)));
    save("mod", "old15.mod", modw::write(modSong("", 4)));
}

/* ---- S3M ------------------------------------------------------------------------ */

s3mw::Song s3mSong(uint16_t sampleFormat)
{
    s3mw::Song s;
    s.name = "seed";
    s.sampleFormat = sampleFormat;
    s.orders = {0, 1, 254, 0, 255};
    s.patterns.resize(2);
    s3mw::Instrument a = s3mw::squareInstrument(64);
    a.loop = true;
    a.loopStart = 16;
    a.loopEnd = 64;
    s.instruments.push_back(a);
    s3mw::Instrument b;
    b.name = "wide";
    b.is16Bit = true;
    for (int i = 0; i < 40; i++)
        b.data.push_back((int16_t)(i * 700 - 14000));
    b.c4Rate = 11025;
    s.instruments.push_back(b);
    s3mw::Instrument st = s3mw::squareInstrument(32);
    st.stereo = true;
    st.data.insert(st.data.end(), st.data.begin(), st.data.end());
    s.instruments.push_back(st);
    s3mw::Instrument none;
    none.type = 0;
    s.instruments.push_back(none);

    for (int cmd = 1; cmd <= 26; cmd++) {
        s3mw::Entry e;
        e.channel = cmd % 4;
        e.note = 0x40 + cmd % 12;
        e.instrument = 1 + cmd % 3;
        e.volume = cmd % 3 ? -1 : 48;
        e.command = cmd;
        e.param = cmd == 2 ? 1 : cmd == 3 ? 0x10 : (cmd * 23) & 0xFF;
        /* the jump (to position 1) and the break end the pattern */
        s.patterns[0].rows[cmd == 2 ? 60 : cmd == 3 ? 61 : cmd].push_back(e);
    }
    const uint8_t special[] = {0x12, 0x21, 0x32, 0x41, 0x8A, 0xB2, 0xC2, 0xD1, 0xE1, 0xA1};
    for (int i = 0; i < 10; i++) {
        s3mw::Entry e;
        e.channel = i % 4;
        e.note = i == 9 ? 254 : 0x32;
        e.instrument = 1;
        e.command = 19; /* S */
        e.param = special[i];
        s.patterns[0].rows[30 + i].push_back(e);
    }
    s3mw::Entry first;
    first.note = 0x50;
    first.instrument = 2;
    s.patterns[1].rows[0].push_back(first);
    s3mw::Entry disabled;
    disabled.channel = 20; /* a channel whose setting is 255 */
    disabled.note = 0x40;
    disabled.instrument = 1;
    s.patterns[1].rows[1].push_back(disabled);
    return s;
}

void s3mSeeds()
{
    save("s3m", "unsigned.s3m", s3mw::write(s3mSong(2)));
    save("s3m", "signed.s3m", s3mw::write(s3mSong(1)));
}

/* ---- WAV ------------------------------------------------------------------------ */

void chunk(std::vector<uint8_t>& b, const char* id, const std::vector<uint8_t>& body)
{
    ts::putBytes(b, id, 4);
    ts::put32le(b, (uint32_t)body.size());
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() & 1)
        b.push_back(0);
}

std::vector<uint8_t> wav(int channels, int bits, int frames, bool extraChunks)
{
    std::vector<uint8_t> fmt;
    ts::put16le(fmt, 1);
    ts::put16le(fmt, (unsigned)channels);
    ts::put32le(fmt, 22050);
    ts::put32le(fmt, (uint32_t)(22050 * channels * bits / 8));
    ts::put16le(fmt, (unsigned)(channels * bits / 8));
    ts::put16le(fmt, (unsigned)bits);
    std::vector<uint8_t> data;
    for (int i = 0; i < frames * channels; i++) {
        if (bits == 16)
            ts::put16le(data, (unsigned)(uint16_t)(i * 1111 - 30000));
        else
            ts::put8(data, (unsigned)(i * 7));
    }
    std::vector<uint8_t> body;
    ts::putBytes(body, "WAVE", 4);
    if (extraChunks)
        chunk(body, "LIST", bytesOf("INFOISFT\x05\0\0\0seed\0"));
    chunk(body, "fmt ", fmt);
    if (extraChunks)
        chunk(body, "fact", {1, 2, 3});
    chunk(body, "data", data);
    std::vector<uint8_t> b;
    ts::putBytes(b, "RIFF", 4);
    ts::put32le(b, (uint32_t)body.size());
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

void wavSeeds()
{
    save("wav", "mono.wav", wav(1, 16, 40, false));
    save("wav", "stereo.wav", wav(2, 16, 30, true));
    save("wav", "eightbit.wav", wav(1, 8, 20, false));
}

/* ---- Pictures ------------------------------------------------------------------- */

std::vector<uint8_t> tgaHeader(int type, int w, int h, int bits, int descriptor, int mapLength = 0, int mapBits = 0)
{
    std::vector<uint8_t> b;
    ts::put8(b, 3);                   /* id length */
    ts::put8(b, mapLength ? 1 : 0);   /* colour map present */
    ts::put8(b, (unsigned)type);
    ts::put16le(b, 0);                /* first map entry */
    ts::put16le(b, (unsigned)mapLength);
    ts::put8(b, (unsigned)mapBits);
    ts::put16le(b, 0);                /* x origin */
    ts::put16le(b, 0);                /* y origin */
    ts::put16le(b, (unsigned)w);
    ts::put16le(b, (unsigned)h);
    ts::put8(b, (unsigned)bits);
    ts::put8(b, (unsigned)descriptor);
    ts::putBytes(b, "id!", 3);
    return b;
}

void tgaSeeds()
{
    const int w = 8, h = 6;
    /* plain true colour, 24 and 32 bits, in all four origins */
    for (int bits : {24, 32})
        for (int origin = 0; origin < 4; origin++) {
            std::vector<uint8_t> b = tgaHeader(2, w, h, bits, origin << 4);
            for (int i = 0; i < w * h; i++)
                for (int k = 0; k < bits / 8; k++)
                    ts::put8(b, (unsigned)(i * 13 + k * 71));
            save("tga", "true" + std::to_string(bits) + "_o" + std::to_string(origin) + ".tga", b);
        }
    /* run-length encoded: a run, then a raw packet */
    std::vector<uint8_t> rle = tgaHeader(10, w, h, 24, 0x20);
    ts::put8(rle, 0x80 | 29);
    ts::put8(rle, 10), ts::put8(rle, 200), ts::put8(rle, 30);
    ts::put8(rle, 17);
    for (int i = 0; i < 18 * 3; i++)
        ts::put8(rle, (unsigned)(i * 5));
    save("tga", "rle.tga", rle);
    /* colour-mapped and its run-length form */
    std::vector<uint8_t> mapped = tgaHeader(1, w, h, 8, 0, 4, 24);
    for (int i = 0; i < 4 * 3; i++)
        ts::put8(mapped, (unsigned)(i * 40));
    for (int i = 0; i < w * h; i++)
        ts::put8(mapped, (unsigned)(i % 4));
    save("tga", "mapped.tga", mapped);
    std::vector<uint8_t> mappedRle = tgaHeader(9, w, h, 8, 0, 4, 24);
    for (int i = 0; i < 4 * 3; i++)
        ts::put8(mappedRle, (unsigned)(i * 40));
    ts::put8(mappedRle, 0x80 | 47);
    ts::put8(mappedRle, 2);
    save("tga", "mapped_rle.tga", mappedRle);
    /* grey, plain and run-length */
    std::vector<uint8_t> grey = tgaHeader(3, w, h, 8, 0);
    for (int i = 0; i < w * h; i++)
        ts::put8(grey, (unsigned)(i * 5));
    save("tga", "grey.tga", grey);
    std::vector<uint8_t> greyRle = tgaHeader(11, w, h, 8, 0);
    ts::put8(greyRle, 0x80 | 47);
    ts::put8(greyRle, 99);
    save("tga", "grey_rle.tga", greyRle);
    /* 16-bit true colour */
    std::vector<uint8_t> hi = tgaHeader(2, w, h, 16, 0);
    for (int i = 0; i < w * h; i++)
        ts::put16le(hi, (unsigned)(i * 1001));
    save("tga", "true16.tga", hi);
}

void rawSeeds()
{
    /* one byte for the name's length, the name, then the pixels */
    std::string name = "pic_8x4.raw";
    std::vector<uint8_t> b;
    ts::put8(b, (unsigned)name.size());
    ts::putBytes(b, name.data(), name.size());
    for (int i = 0; i < 8 * 4 * 3; i++)
        ts::put8(b, (unsigned)(i * 11));
    save("raw", "named.raw", b);
    std::string odd = "./dir_x/q_12x3.RAW";
    b.clear();
    ts::put8(b, (unsigned)odd.size());
    ts::putBytes(b, odd.data(), odd.size());
    for (int i = 0; i < 12 * 3 * 3; i++)
        ts::put8(b, (unsigned)(i * 3));
    save("raw", "path.raw", b);
    /* no size in the name: the first two data bytes give 3x2 */
    b.clear();
    ts::put8(b, 4);
    ts::putBytes(b, "none", 4);
    ts::put8(b, 2), ts::put8(b, 1);
    for (int i = 0; i < 6 * 3 - 2; i++)
        ts::put8(b, (unsigned)(i * 29));
    save("raw", "unnamed.raw", b);
}

void fontSeeds()
{
    /* a 24x8 sheet of three 8x8 glyphs (a, b, c), text over all of them */
    std::vector<uint8_t> b;
    ts::put16le(b, 24);
    ts::put16le(b, 8);
    ts::put8(b, 8), ts::put8(b, 8);
    ts::put8(b, 20), ts::put8(b, 0xF6); /* x 40, y -20 */
    std::string text = "abc ABC\nxyz 0123 \"'(),.;:+-!?\\/<>*=_~$@%& caba";
    ts::put8(b, (unsigned)text.size());
    ts::putBytes(b, text.data(), text.size());
    for (int i = 0; i < 24 * 8; i++) {
        bool key = (i % 24) % 8 == (i / 24);
        ts::put8(b, key ? 255 : (unsigned)i), ts::put8(b, key ? 0 : 200), ts::put8(b, key ? 255 : 90);
    }
    save("font", "sheet.raw", b);
}

/* ---- Objects ---------------------------------------------------------------------- */

/* A cube of side 2s around the origin, 8 vertices, 12 triangles, as text;
 * frames > 0 writes a .baf of that many frames, growing frame by frame. */
std::string cubeText(int frames)
{
    const int corner[8][3] = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                              {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};
    const int tri[12][3] = {{0, 1, 2}, {0, 2, 3}, {4, 6, 5}, {4, 7, 6}, {0, 4, 5}, {0, 5, 1},
                            {3, 2, 6}, {3, 6, 7}, {1, 5, 6}, {1, 6, 2}, {0, 3, 7}, {0, 7, 4}};
    std::string t = frames > 0 ? "BAF 8 12 " + std::to_string(frames) + "\n" : "BOF 8 12\n";
    t += "0.0 -12.5 30\n";
    int n = frames > 0 ? frames : 1;
    for (int f = 0; f < n; f++)
        for (int i = 0; i < 8; i++) {
            char line[128];
            snprintf(line, sizeof line, "%d %g %g %g %g %g\n", i, corner[i][0] * (50.0 + 10 * f),
                     corner[i][1] * 50.0, corner[i][2] * 50.0, (corner[i][0] + 1) * 0.5, (corner[i][1] + 1) * 0.5);
            t += line;
        }
    for (int i = 0; i < 12; i++)
        t += std::to_string(i) + " " + std::to_string(tri[i][0]) + " " + std::to_string(tri[i][1]) + " " +
             std::to_string(tri[i][2]) + "\n";
    return t;
}

void objectSeeds()
{
    save("bof", "cube.bof", bytesOf(cubeText(0)));
    save("baf", "cube.baf", bytesOf(cubeText(3)));
    /* a large triangle crossing the eye plane, and one behind the eye */
    save("bof", "crossing.bof",
         bytesOf("x 4 2 0 0 0\n0 -4000 -300 -700 0 0\n1 4000 -300 900 1 0\n2 0 3000 100 0.5 1\n"
                 "3 10 10 -900 2.5 -1.5\n0 0 1 2\n1 0 2 3\n"));
}

/* ---- Found files ------------------------------------------------------------------ */

std::string lower(std::string s)
{
    for (char& c : s)
        c = (char)tolower((unsigned char)c);
    return s;
}

/* A file's bytes; an unreadable file is reported and gives nothing. */
std::vector<uint8_t> readOrSay(const std::string& path)
{
    std::vector<uint8_t> b = ts::readFile(path);
    if (b.empty()) {
        fprintf(stderr, "fuzz-mkseeds: cannot read %s (or it is empty)\n", path.c_str());
        ok = false;
    }
    return b;
}

/* A name for a found file: its parent folder and its own name. */
std::string seedName(const std::filesystem::path& p)
{
    std::string n = p.parent_path().filename().string() + "_" + p.filename().string();
    for (char& c : n)
        if (!isalnum((unsigned char)c) && c != '.' && c != '_' && c != '-')
            c = '_';
    return n;
}

void songSeeds(const std::string& dir)
{
    for (const std::filesystem::path p : ts::filesUnder(dir)) {
        std::string ext = lower(p.extension().string());
        if (ext == ".xm" || ext == ".mod" || ext == ".s3m")
            save(ext.substr(1), seedName(p), readOrSay(p.string()));
    }
}

void dataSeeds(const std::string& dir)
{
    for (const std::filesystem::path p : ts::filesUnder(dir)) {
        std::string ext = lower(p.extension().string());
        std::string name = p.filename().string();
        if (ext == ".tga" || ext == ".bof" || ext == ".baf" || ext == ".wav" || ext == ".xm" || ext == ".mod" ||
            ext == ".s3m") {
            save(ext.substr(1), "data_" + seedName(p), readOrSay(p.string()));
            continue;
        }
        if (ext != ".raw")
            continue;
        /* the size in the name, as the loader reads it; the demo's font
         * sheet has none in its name and is loaded as 480x8 */
        int w = 0, h = 0;
        extractSize(name.c_str(), &w, &h);
        if (w <= 0 || h <= 0)
            w = 480, h = 8;
        std::vector<uint8_t> pixels = readOrSay(p.string());
        /* the raw fuzzer: the name's length and the name, then the pixels */
        std::vector<uint8_t> raw;
        ts::put8(raw, (unsigned)std::min<size_t>(name.size(), 255));
        ts::putBytes(raw, name.data(), std::min<size_t>(name.size(), 255));
        raw.insert(raw.end(), pixels.begin(), pixels.end());
        save("raw", "data_" + seedName(p), raw);
        /* the font fuzzer: the sheet as the demo loads it, 8x8 cells */
        std::vector<uint8_t> font;
        ts::put16le(font, (unsigned)w);
        ts::put16le(font, (unsigned)h);
        ts::put8(font, 8), ts::put8(font, 8);
        ts::put8(font, 0), ts::put8(font, 0);
        std::string text = "greetings to everybody!\n0123456789 +-*/ \"the end\" ";
        ts::put8(font, (unsigned)text.size());
        ts::putBytes(font, text.data(), text.size());
        font.insert(font.end(), pixels.begin(), pixels.end());
        save("font", "data_" + seedName(p), font);
    }
}

} // namespace

int main(int argc, char** argv)
{
    const char* const all[] = {"xm", "mod", "s3m", "wav", "tga", "raw", "bof", "baf", "font"};
    std::vector<std::string> songs, data;
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        if ((a == "--songs" || a == "--data") && i + 1 < argc) {
            (a == "--songs" ? songs : data).push_back(argv[++i]);
        } else if (outDir.empty() && !a.empty() && a[0] != '-') {
            outDir = a;
        } else if (std::find(std::begin(all), std::end(all), a) != std::end(all)) {
            wanted.insert(a);
        } else {
            fprintf(stderr, "usage: fuzz-mkseeds DIR [--songs FOLDER]... [--data FOLDER] [FUZZER...]\n");
            return 2;
        }
    }
    if (outDir.empty()) {
        fprintf(stderr, "usage: fuzz-mkseeds DIR [--songs FOLDER]... [--data FOLDER] [FUZZER...]\n");
        return 2;
    }
    if (wanted.empty())
        wanted.insert(std::begin(all), std::end(all));
    mkdir(outDir.c_str(), 0777);
    xmSeeds();
    modSeeds();
    s3mSeeds();
    wavSeeds();
    tgaSeeds();
    rawSeeds();
    fontSeeds();
    objectSeeds();
    for (const std::string& d : songs)
        songSeeds(d);
    for (const std::string& d : data)
        dataSeeds(d);
    return ok ? 0 : 1;
}
