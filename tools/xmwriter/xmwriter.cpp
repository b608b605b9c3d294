/*
 * xmwriter: XM file images from songs described in code (see xmwriter.h).
 */
#include "tools/xmwriter/xmwriter.h"

#include <cstdio>
#include <cstring>

namespace xmw {

namespace {

void put8(std::vector<uint8_t>& b, unsigned v)
{
    b.push_back((uint8_t)v);
}

void put16(std::vector<uint8_t>& b, unsigned v)
{
    put8(b, v & 0xFF);
    put8(b, (v >> 8) & 0xFF);
}

void put32(std::vector<uint8_t>& b, uint32_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

/* s padded with `pad` (or cut) to exactly n bytes. */
void putText(std::vector<uint8_t>& b, const std::string& s, size_t n, char pad)
{
    for (size_t i = 0; i < n; i++)
        put8(b, (uint8_t)(i < s.size() ? s[i] : pad));
}

void putPattern(std::vector<uint8_t>& b, const Pattern& p, int channels, bool pack)
{
    std::vector<uint8_t> data;
    for (int r = 0; r < p.rows; r++) {
        for (int c = 0; c < channels; c++) {
            Cell cell = (c < p.channels) ? p.at(r, c) : Cell{};
            if (!pack) {
                put8(data, cell.note);
                put8(data, cell.instrument);
                put8(data, cell.volume);
                put8(data, cell.effect);
                put8(data, cell.param);
                continue;
            }
            unsigned mask = 0x80 | (cell.note ? 0x01 : 0) | (cell.instrument ? 0x02 : 0) | (cell.volume ? 0x04 : 0) |
                            (cell.effect ? 0x08 : 0) | (cell.param ? 0x10 : 0);
            put8(data, mask);
            if (cell.note)
                put8(data, cell.note);
            if (cell.instrument)
                put8(data, cell.instrument);
            if (cell.volume)
                put8(data, cell.volume);
            if (cell.effect)
                put8(data, cell.effect);
            if (cell.param)
                put8(data, cell.param);
        }
    }
    put32(b, 9);            /* header length */
    put8(b, 0);             /* packing type */
    put16(b, (unsigned)p.rows);
    put16(b, (unsigned)data.size());
    b.insert(b.end(), data.begin(), data.end());
}

void putEnvelopePoints(std::vector<uint8_t>& b, const Envelope& e)
{
    for (size_t i = 0; i < 12; i++) {
        EnvPoint pt = i < e.points.size() ? e.points[i] : EnvPoint{};
        put16(b, pt.tick);
        put16(b, pt.value);
    }
}

unsigned envelopeType(const Envelope& e)
{
    return (e.on ? 1u : 0u) | (e.sustain >= 0 ? 2u : 0u) | (e.loopStart >= 0 && e.loopEnd >= 0 ? 4u : 0u);
}

unsigned envelopeCount(const Envelope& e)
{
    return (unsigned)(e.points.size() > 12 ? 12 : e.points.size());
}

void putInstrument(std::vector<uint8_t>& b, const Instrument& ins)
{
    size_t n = ins.samples.size() > 16 ? 16 : ins.samples.size();
    put32(b, n ? 263 : 29);
    putText(b, ins.name, 22, 0);
    put8(b, 0); /* type */
    put16(b, (unsigned)n);
    if (n == 0)
        return;
    put32(b, 40); /* sample header size */
    for (int i = 0; i < 96; i++)
        put8(b, ins.noteSample[i]);
    putEnvelopePoints(b, ins.volume);
    putEnvelopePoints(b, ins.panning);
    put8(b, envelopeCount(ins.volume));
    put8(b, envelopeCount(ins.panning));
    put8(b, (unsigned)(ins.volume.sustain >= 0 ? ins.volume.sustain : 0));
    put8(b, (unsigned)(ins.volume.loopStart >= 0 ? ins.volume.loopStart : 0));
    put8(b, (unsigned)(ins.volume.loopEnd >= 0 ? ins.volume.loopEnd : 0));
    put8(b, (unsigned)(ins.panning.sustain >= 0 ? ins.panning.sustain : 0));
    put8(b, (unsigned)(ins.panning.loopStart >= 0 ? ins.panning.loopStart : 0));
    put8(b, (unsigned)(ins.panning.loopEnd >= 0 ? ins.panning.loopEnd : 0));
    put8(b, envelopeType(ins.volume));
    put8(b, envelopeType(ins.panning));
    put8(b, ins.vibratoType);
    put8(b, ins.vibratoSweep);
    put8(b, ins.vibratoDepth);
    put8(b, ins.vibratoRate);
    put16(b, ins.fadeout);
    for (int i = 0; i < 22; i++)
        put8(b, 0);

    for (size_t k = 0; k < n; k++) {
        const Sample& s = ins.samples[k];
        unsigned width = s.is16Bit ? 2 : 1;
        put32(b, (uint32_t)(s.data.size() * width));
        put32(b, (uint32_t)s.loopStart * width);
        put32(b, (uint32_t)s.loopLength * width);
        put8(b, s.volume);
        put8(b, (uint8_t)s.finetune);
        put8(b, (unsigned)s.loop | (s.is16Bit ? 0x10u : 0u));
        put8(b, s.panning);
        put8(b, (uint8_t)s.relativeNote);
        put8(b, 0);
        putText(b, s.name, 22, 0);
    }
    for (size_t k = 0; k < n; k++) {
        const Sample& s = ins.samples[k];
        int prev = 0;
        for (int16_t v : s.data) {
            if (s.is16Bit)
                put16(b, (uint16_t)(v - prev));
            else
                put8(b, (uint8_t)(v - prev));
            prev = v;
        }
    }
}

} // namespace

Pattern::Pattern(int rows_, int channels_) : rows(rows_), channels(channels_), cells((size_t)(rows_ * channels_)) {}

Cell& Pattern::at(int row, int channel)
{
    return cells[(size_t)(row * channels + channel)];
}

const Cell& Pattern::at(int row, int channel) const
{
    return cells[(size_t)(row * channels + channel)];
}

int Song::addPattern(int rows)
{
    patterns.emplace_back(rows, channels);
    return (int)patterns.size() - 1;
}

uint8_t note(const char* name)
{
    static const char* const names[12] = {"C-", "C#", "D-", "D#", "E-", "F-", "F#", "G-", "G#", "A-", "A#", "B-"};
    if (!name)
        return NOTE_NONE;
    if (!strcmp(name, "===") || !strcmp(name, "off"))
        return NOTE_OFF;
    if (strlen(name) != 3 || name[2] < '0' || name[2] > '7')
        return NOTE_NONE;
    for (int s = 0; s < 12; s++)
        if (!strncmp(name, names[s], 2))
            return (uint8_t)(1 + (name[2] - '0') * 12 + s);
    return NOTE_NONE;
}

std::vector<uint8_t> write(const Song& song)
{
    std::vector<uint8_t> b;
    putText(b, "Extended Module: ", 17, ' ');
    putText(b, song.name, 20, ' ');
    put8(b, 0x1A);
    putText(b, "orvel xmwriter", 20, ' ');
    put16(b, 0x0104);
    put32(b, 276); /* header size from here */
    put16(b, (unsigned)song.orders.size());
    put16(b, song.restart);
    put16(b, (unsigned)song.channels);
    put16(b, (unsigned)song.patterns.size());
    put16(b, (unsigned)song.instruments.size());
    put16(b, song.linear ? 1 : 0);
    put16(b, song.speed);
    put16(b, song.tempo);
    for (size_t i = 0; i < 256; i++)
        put8(b, i < song.orders.size() ? song.orders[i] : 0);
    for (const Pattern& p : song.patterns)
        putPattern(b, p, song.channels, song.packCells);
    for (const Instrument& ins : song.instruments)
        putInstrument(b, ins);
    /* players want at least 1024 bytes */
    while (b.size() < 1024)
        put8(b, 0);
    return b;
}

bool writeFile(const Song& song, const std::string& path)
{
    std::vector<uint8_t> b = write(song);
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    size_t n = fwrite(b.data(), 1, b.size(), f);
    return fclose(f) == 0 && n == b.size();
}

Sample squareSample(int frames, int period, int amplitude, bool is16Bit)
{
    Sample s;
    s.is16Bit = is16Bit;
    s.data.resize((size_t)frames);
    for (int i = 0; i < frames; i++)
        s.data[(size_t)i] = (int16_t)((i % period) < period / 2 ? amplitude : -amplitude);
    return s;
}

Sample rampSample(int frames, bool is16Bit)
{
    Sample s;
    s.is16Bit = is16Bit;
    s.data.resize((size_t)frames);
    for (int i = 0; i < frames; i++)
        s.data[(size_t)i] = is16Bit ? (int16_t)i : (int16_t)(int8_t)(uint8_t)i;
    return s;
}

} // namespace xmw
