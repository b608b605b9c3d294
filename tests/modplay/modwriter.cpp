#include "tests/modplay/modwriter.h"

#include <algorithm>
#include <cstring>

namespace modw {

Pattern::Pattern(int c) : channels(c), cells((size_t)(64 * c)) {}

Cell& Pattern::at(int row, int channel)
{
    return cells[(size_t)(row * channels + channel)];
}

size_t patternsAt(const Song& song)
{
    return song.signature.empty() ? 600 : 1084;
}

static void putBe16(std::vector<uint8_t>& b, size_t at, unsigned v)
{
    b[at] = (uint8_t)(v >> 8);
    b[at + 1] = (uint8_t)v;
}

std::vector<uint8_t> write(const Song& song)
{
    int numSamples = song.signature.empty() ? 15 : 31;
    size_t headerEnd = patternsAt(song);
    std::vector<uint8_t> b(headerEnd, 0);
    memcpy(b.data(), song.name.data(), std::min<size_t>(song.name.size(), 20));
    for (int i = 0; i < numSamples && i < (int)song.samples.size(); i++) {
        const Sample& s = song.samples[(size_t)i];
        size_t at = 20 + 30 * (size_t)i;
        memcpy(&b[at], s.name.data(), std::min<size_t>(s.name.size(), 22));
        int words = s.lengthWords >= 0 ? s.lengthWords : (int)(s.data.size() + 1) / 2;
        putBe16(b, at + 22, (unsigned)words);
        b[at + 24] = s.finetune;
        b[at + 25] = s.volume;
        putBe16(b, at + 26, s.loopStartWords);
        putBe16(b, at + 28, s.loopWords);
    }
    size_t lengthAt = 20 + 30 * (size_t)numSamples;
    b[lengthAt] = (uint8_t)(song.songLength >= 0 ? song.songLength : (int)song.orders.size());
    b[lengthAt + 1] = 127;
    for (size_t i = 0; i < song.orders.size() && i < 128; i++)
        b[lengthAt + 2 + i] = song.orders[i];
    if (!song.signature.empty())
        memcpy(&b[1080], song.signature.data(), std::min<size_t>(song.signature.size(), 4));

    size_t count = song.patterns.size();
    for (size_t i = 0; i < song.orders.size() && i < 128; i++)
        count = std::max(count, (size_t)song.orders[i] + 1);
    for (size_t p = 0; p < count; p++) {
        Pattern empty(song.channels);
        const Pattern& pat = p < song.patterns.size() ? song.patterns[p] : empty;
        for (int row = 0; row < 64; row++) {
            for (int c = 0; c < song.channels; c++) {
                Cell cell = c < pat.channels ? pat.cells[(size_t)(row * pat.channels + c)] : Cell{};
                b.push_back((uint8_t)((cell.instrument & 0xF0) | ((cell.period >> 8) & 0x0F)));
                b.push_back((uint8_t)cell.period);
                b.push_back((uint8_t)((cell.instrument << 4) | (cell.effect & 0x0F)));
                b.push_back(cell.param);
            }
        }
    }
    for (int i = 0; i < numSamples && i < (int)song.samples.size(); i++) {
        const Sample& s = song.samples[(size_t)i];
        for (int8_t v : s.data)
            b.push_back((uint8_t)v);
        if (s.data.size() & 1)
            b.push_back(0);
    }
    return b;
}

Sample squareSample(int frames)
{
    Sample s;
    s.name = "square";
    for (int i = 0; i < frames; i++)
        s.data.push_back((int8_t)((i / 16) % 2 ? -100 : 100));
    s.loopStartWords = (uint16_t)(frames / 4);
    s.loopWords = (uint16_t)(frames / 4);
    return s;
}

} // namespace modw
