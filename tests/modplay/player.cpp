#include "tests/modplay/player.h"

#include <cctype>
#include <cstring>

#include "tests/support/test_support.h"

namespace mpt {

xmw::Song basicSong(int channels, bool linear)
{
    xmw::Song s;
    s.name = "test";
    s.channels = channels;
    s.linear = linear;
    s.addPattern(64);
    xmw::Instrument ins;
    ins.name = "square";
    xmw::Sample smp = xmw::squareSample(2000, 40, 100, false);
    smp.loop = xmw::LOOP_FORWARD;
    smp.loopStart = 1000;
    smp.loopLength = 1000;
    ins.samples.push_back(smp);
    s.instruments.push_back(ins);
    return s;
}

void put(xmw::Song& s, int row, int channel, const char* note, int instrument, int volume, int effect, int param)
{
    xmw::Cell& c = s.patterns[0].at(row, channel);
    c.note = note ? xmw::note(note) : 0;
    c.instrument = (uint8_t)(note ? instrument : 0);
    c.volume = (uint8_t)volume;
    c.effect = (uint8_t)effect;
    c.param = (uint8_t)param;
}

Player::Player(const xmw::Song& song, int rate, int channels, int bits, int sign)
    : Player(xmw::write(song), rate, channels, bits, sign)
{
}

Player::Player(std::vector<uint8_t> img, int rate, int channels, int bits, int sign) : image(std::move(img))
{
    MODFILE_Init(&mod);
    loadResult = MODFILE_Set((const char*)image.data(), (int)image.size(), &mod);
    mod.musicVolume = 64;
    mod.sfxVolume = 64;
    MODFILE_Start(&mod);
    MODFILE_SetFormat(&mod, rate, channels, bits, sign);
}

Player::~Player()
{
    MODFILE_Stop(&mod);
    MODFILE_Free(&mod);
}

std::vector<uint8_t> Player::tick()
{
    return render(mod.samplesPerTick - mod.tickPos);
}

std::vector<uint8_t> Player::render(int frames)
{
    int frameBytes = (mod.mixBits / 8) * mod.mixChannels;
    std::vector<uint8_t> out((size_t)frames * (size_t)frameBytes + 1);
    mod.outBuffer = out.data();
    mod.outBytes = frames * frameBytes;
    MODFILE_Player(&mod);
    out.pop_back();
    return out;
}

void Player::toFirstRow()
{
    for (int i = 0; i < mod.speed; i++)
        tick();
}

MODFILE_CELL& Player::cell(int pattern, int row, int channel)
{
    return mod.patterns[pattern][row * mod.numChannels + channel];
}

std::vector<int> Player::track(int n, const std::function<int()>& f)
{
    std::vector<int> v;
    for (int i = 0; i < n; i++) {
        v.push_back(f());
        tick();
    }
    return v;
}

std::vector<std::pair<int, int>> rowsPlayed(Player& p, int rows)
{
    std::vector<std::pair<int, int>> v;
    while ((int)v.size() < rows) {
        bool ends = p.mod.tick + 1 >= p.mod.speed + p.mod.patternDelay;
        int pos = p.mod.songPos, row = p.mod.row;
        p.tick();
        if (ends)
            v.push_back({pos, row});
    }
    return v;
}

std::vector<int16_t> samples16(const std::vector<uint8_t>& bytes)
{
    std::vector<int16_t> s(bytes.size() / 2);
    memcpy(s.data(), bytes.data(), s.size() * 2);
    return s;
}

std::vector<int16_t> renderSong(const xmw::Song& song, int frames)
{
    Player p(song);
    return samples16(p.render(frames));
}

std::vector<std::string> realSongs(const std::string& dir)
{
    std::vector<std::string> songs;
    for (const std::string& f : ts::filesUnder(dir)) {
        std::string lower = f;
        for (char& ch : lower)
            ch = (char)tolower((unsigned char)ch);
        if (ts::endsWith(lower, ".xm") || ts::endsWith(lower, ".mod") || ts::endsWith(lower, ".s3m"))
            songs.push_back(f);
    }
    return songs;
}

} // namespace mpt
