/*
 * song: the demo's soundtrack (see song.h). For now a short test loop: one
 * square-wave instrument playing a C major arpeggio.
 */
#include "tools/song/song.h"

#include <cstdio>

#include "tools/xmwriter/xmwriter.h"

std::vector<uint8_t> song_build(void)
{
    xmw::Song s;
    s.name = "funkyloo";
    s.channels = 4;
    s.speed = 6;
    s.tempo = 95;
    xmw::Instrument ins;
    ins.name = "square";
    ins.samples.push_back(xmw::squareSample(64, 64, 60, false));
    ins.samples[0].loop = xmw::LOOP_FORWARD;
    ins.samples[0].loopLength = 64;
    s.instruments.push_back(ins);
    int p = s.addPattern(64);
    const char* notes[] = {"C-4", "E-4", "G-4", "C-5"};
    for (int r = 0; r < 64; r += 4)
        s.patterns[p].at(r, 0) = {xmw::note(notes[(r / 4) & 3]), 1, 0x30, 0, 0};
    s.orders = {(uint8_t)p};
    return xmw::write(s);
}

int song_write(const std::string& path)
{
    std::vector<uint8_t> img = song_build();
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return -1;
    size_t n = fwrite(img.data(), 1, img.size(), f);
    return fclose(f) == 0 && n == img.size() ? 0 : -1;
}
