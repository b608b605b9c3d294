#include "tests/modplay/songcheck.h"

#include <cstring>

namespace mpt {

Loaded::Loaded(const std::vector<uint8_t>& img, int (*set)(const char* data, int len, MODFILE* mod))
{
    MODFILE_Init(&mod);
    result = set((const char*)img.data(), (int)img.size(), &mod);
}

Loaded::~Loaded()
{
    /* a refused load leaves the record as it was: nothing to release */
    if (result >= 0)
        MODFILE_ReleaseSong(&mod);
}

static std::string at(const char* what, int i)
{
    return std::string(what) + " " + std::to_string(i);
}

std::string songInvariants(const MODFILE& m)
{
    if (m.songLength < 1 || m.songLength > 256)
        return "songLength";
    if (m.numChannels < 1 || m.numChannels > MODFILE_MAX_CHANNELS)
        return "numChannels";
    if (m.initSpeed == 0 || m.initBpm < 32 || m.initGlobalVolume > 64)
        return "speed, tempo or global volume";
    bool playable = false;
    for (int i = 0; i < m.songLength; i++) {
        if (m.orders[i] > 253)
            continue;
        playable = true;
        if (m.orders[i] >= m.numPatterns)
            return at("order entry names no pattern:", i);
    }
    if (!playable)
        return "no playable order entry";
    if (m.numPatterns < 1 || !m.patterns || !m.patternRows)
        return "patterns";
    for (int p = 0; p < m.numPatterns; p++)
        if (!m.patterns[p] || m.patternRows[p] < 1 || m.patternRows[p] > 256)
            return at("pattern", p);
    if (m.numSamples < 0 || (m.numSamples > 0 && !m.samples))
        return "samples";
    for (int i = 0; i < m.numSamples; i++) {
        const MODFILE_SAMPLE& s = m.samples[i];
        if (s.length < 0 || s.length >= (1 << 21))
            return at("sample length", i);
        if (s.length > 0) {
            if (!s.data)
                return at("sample data", i);
            bool zero = s.is16Bit ? ((const int16_t*)s.data)[s.length] == 0 : ((const int8_t*)s.data)[s.length] == 0;
            if (!zero)
                return at("guard frame", i);
        }
        if (s.loop && !(s.loopStart >= 0 && s.loopStart < s.loopEnd && s.loopEnd <= s.length))
            return at("loop", i);
        if (s.loopEnd > s.length)
            return at("loop end", i);
        if (s.volume > 64)
            return at("sample volume", i);
    }
    if (m.numInstruments < 0 || (m.numInstruments > 0 && !m.instruments))
        return "instruments";
    for (int i = 0; i < m.numInstruments; i++) {
        for (int n = 0; n < 256; n++) {
            const MODFILE_SAMPLE* s = m.instruments[i].noteSample[n];
            if (s && (s < m.samples || s >= m.samples + m.numSamples))
                return at("note table of instrument", i);
        }
        /* an enabled envelope: 1..12 points, the first at tick 0, ticks
         * never going back, values 0..64 */
        const MODFILE_ENVELOPE* envs[2] = {&m.instruments[i].volEnvelope, &m.instruments[i].panEnvelope};
        for (const MODFILE_ENVELOPE* e : envs) {
            if (!e->enabled)
                continue;
            if (e->numPoints < 1 || e->numPoints > 12 || !e->points)
                return at("envelope point count of instrument", i);
            if (e->points[0].tick != 0)
                return at("envelope starting after tick 0 in instrument", i);
            for (int k = 0; k < e->numPoints; k++) {
                if (e->points[k].value > 64)
                    return at("envelope value of instrument", i);
                if (k > 0 && e->points[k].tick < e->points[k - 1].tick)
                    return at("envelope ticks going back in instrument", i);
            }
        }
    }
    return "";
}

int loadCheckAndPlay(const std::vector<uint8_t>& image, std::string* broken,
                     int (*set)(const char* data, int len, MODFILE* mod))
{
    broken->clear();
    MODFILE mod;
    MODFILE_Init(&mod);
    int r = (set ? set : MODFILE_Set)((const char*)image.data(), (int)image.size(), &mod);
    if (r < 0)
        return r;
    mod.loaded = 1;
    *broken = songInvariants(mod);
    if (broken->empty()) {
        mod.musicVolume = 64;
        MODFILE_Start(&mod);
        MODFILE_SetFormat(&mod, 22050, 2, 16, 1);
        std::vector<int16_t> out(4096 * 2);
        mod.outBuffer = out.data();
        mod.outBytes = (int)out.size() * 2;
        for (int i = 0; i < 6; i++)
            MODFILE_Player(&mod);
        MODFILE_Stop(&mod);
    }
    MODFILE_Free(&mod);
    return r;
}

} // namespace mpt
