#include "tests/modplay/s3mwriter.h"

#include <algorithm>
#include <cstring>

namespace s3mw {

Song::Song()
{
    memset(channelSettings, 255, sizeof channelSettings);
    channelSettings[0] = 0;
    channelSettings[1] = 8;
    channelSettings[2] = 1;
    channelSettings[3] = 9;
}

static void put16(std::vector<uint8_t>& b, size_t at, unsigned v)
{
    b[at] = (uint8_t)v;
    b[at + 1] = (uint8_t)(v >> 8);
}

static void put32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (int k = 0; k < 4; k++)
        b[at + (size_t)k] = (uint8_t)(v >> (8 * k));
}

static void align16(std::vector<uint8_t>& b)
{
    while (b.size() % 16)
        b.push_back(0);
}

std::vector<uint8_t> write(const Song& song, Layout* layout)
{
    Layout l;
    std::vector<uint8_t> b(96, 0);
    memcpy(b.data(), song.name.data(), std::min<size_t>(song.name.size(), 27));
    b[28] = 0x1A;
    b[29] = song.type;
    put16(b, 32, (unsigned)song.orders.size());
    put16(b, 34, (unsigned)song.instruments.size());
    put16(b, 36, (unsigned)song.patterns.size());
    b[38] = song.flags;
    put16(b, 40, song.trackerVersion);
    put16(b, 42, song.sampleFormat);
    memcpy(&b[44], "SCRM", 4);
    b[48] = song.globalVolume;
    b[49] = song.speed;
    b[50] = song.tempo;
    b[51] = song.masterVolume;
    b[53] = song.panning.empty() ? 0 : 252;
    memcpy(&b[64], song.channelSettings, 32);
    for (uint8_t o : song.orders)
        b.push_back(o);
    l.instrumentPointers = b.size();
    b.resize(b.size() + 2 * song.instruments.size());
    l.patternPointers = b.size();
    b.resize(b.size() + 2 * song.patterns.size());
    if (!song.panning.empty()) {
        b.insert(b.end(), song.panning.begin(), song.panning.end());
        b.resize(l.patternPointers + 2 * song.patterns.size() + 32, 0);
    }
    align16(b);

    for (size_t i = 0; i < song.instruments.size(); i++) {
        const Instrument& ins = song.instruments[i];
        size_t at = b.size();
        l.instruments.push_back(at);
        put16(b, l.instrumentPointers + 2 * i, (unsigned)(at / 16));
        b.resize(at + 80, 0);
        b[at] = (uint8_t)ins.type;
        int64_t frames = ins.length >= 0 ? ins.length : (int64_t)ins.data.size() / (ins.stereo ? 2 : 1);
        put32(b, at + 16, (uint32_t)frames);
        put32(b, at + 20, ins.loopStart);
        put32(b, at + 24, ins.loopEnd);
        b[at + 28] = ins.volume;
        b[at + 31] = (uint8_t)((ins.loop ? 1 : 0) | (ins.stereo ? 2 : 0) | (ins.is16Bit ? 4 : 0));
        put32(b, at + 32, ins.c4Rate);
        memcpy(&b[at + 48], ins.name.data(), std::min<size_t>(ins.name.size(), 27));
        if (ins.scrs)
            memcpy(&b[at + 76], "SCRS", 4);
    }
    for (size_t p = 0; p < song.patterns.size(); p++) {
        align16(b);
        size_t at = b.size();
        l.patterns.push_back(at);
        put16(b, l.patternPointers + 2 * p, (unsigned)(at / 16));
        b.resize(at + 2);
        for (const auto& row : song.patterns[p].rows) {
            for (const Entry& e : row) {
                uint8_t what = (uint8_t)(e.channel & 31);
                if (e.note >= 0)
                    what |= 0x20;
                if (e.volume >= 0)
                    what |= 0x40;
                if (e.command >= 0)
                    what |= 0x80;
                b.push_back(what);
                if (e.note >= 0) {
                    b.push_back((uint8_t)e.note);
                    b.push_back((uint8_t)e.instrument);
                }
                if (e.volume >= 0)
                    b.push_back((uint8_t)e.volume);
                if (e.command >= 0) {
                    b.push_back((uint8_t)e.command);
                    b.push_back((uint8_t)e.param);
                }
            }
            b.push_back(0);
        }
        put16(b, at, (unsigned)(b.size() - at));
    }
    bool flip = song.sampleFormat == 2;
    for (size_t i = 0; i < song.instruments.size(); i++) {
        const Instrument& ins = song.instruments[i];
        align16(b);
        size_t at = b.size();
        l.sampleData.push_back(at);
        size_t header = l.instruments[i];
        b[header + 13] = (uint8_t)((at / 16) >> 16);
        put16(b, header + 14, (unsigned)(at / 16));
        for (int16_t v : ins.data) {
            if (ins.is16Bit) {
                uint16_t w = (uint16_t)v ^ (flip ? 0x8000 : 0);
                b.push_back((uint8_t)w);
                b.push_back((uint8_t)(w >> 8));
            } else {
                b.push_back((uint8_t)((uint8_t)v ^ (flip ? 0x80 : 0)));
            }
        }
    }
    if (layout)
        *layout = l;
    return b;
}

Instrument squareInstrument(int frames)
{
    Instrument ins;
    ins.name = "square";
    for (int i = 0; i < frames; i++)
        ins.data.push_back((int16_t)((i / 16) % 2 ? -100 : 100));
    ins.loop = true;
    ins.loopStart = (uint32_t)frames / 2;
    ins.loopEnd = (uint32_t)frames;
    return ins;
}

} // namespace s3mw
