/* Test helpers for the module player: songs built with the XM writer and
 * loaded through the real loader, played tick by tick. */
#ifndef ORVEL_TESTS_MODPLAY_PLAYER_H
#define ORVEL_TESTS_MODPLAY_PLAYER_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "modplay/modplay.h"
#include "tools/xmwriter/xmwriter.h"

namespace mpt {

/* A song of `channels` file channels, speed 6, tempo 125, one 64-row
 * pattern, and one instrument: an 8-bit looping square wave of 2000 frames
 * (loop 1000..2000), volume 64, every note on sample 0, no envelopes. */
xmw::Song basicSong(int channels = 1, bool linear = true);

/* Sets cell (row, channel) of pattern 0. */
void put(xmw::Song& s, int row, int channel, const char* note, int instrument = 1, int volume = 0, int effect = 0,
         int param = 0);

/* A loaded, started song rendered tick by tick into 16-bit signed stereo
 * (or another format), with the record's volumes at 64. */
struct Player {
    MODFILE mod;
    std::vector<uint8_t> image;
    int loadResult = -1;

    explicit Player(const xmw::Song& song, int rate = 22050, int channels = 2, int bits = 16, int sign = 1);
    /* Any module image (MOD, S3M or XM), loaded through the format table. */
    explicit Player(std::vector<uint8_t> image, int rate = 22050, int channels = 2, int bits = 16, int sign = 1);
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    /* Renders what is left of the current tick; returns its bytes. */
    std::vector<uint8_t> tick();
    /* Renders the speed ticks before the first row: afterwards the state is
     * that of row 0, tick 0. */
    void toFirstRow();
    /* n frames in one Player call. */
    std::vector<uint8_t> render(int frames);
    MODFILE_CHANNEL& ch(int c = 0) { return mod.channels[c]; }
    /* Cell (row, channel) of a pattern, to place effects the XM loader does
     * not produce. */
    MODFILE_CELL& cell(int pattern, int row, int channel);
    /* Records f() and then renders a tick, n times. */
    std::vector<int> track(int n, const std::function<int()>& f);
};

/* The (song position, row) pairs of the next `rows` rows the player
 * processes, in order (rendering tick by tick). */
std::vector<std::pair<int, int>> rowsPlayed(Player& p, int rows);

/* 16-bit signed samples of a byte buffer. */
std::vector<int16_t> samples16(const std::vector<uint8_t>& bytes);

/* The whole song rendered for `frames` frames of 16-bit stereo. */
std::vector<int16_t> renderSong(const xmw::Song& song, int frames);

/* Every .xm, .mod and .s3m file (any case) under dir, sorted; none when dir
 * is missing (scripts/get-test-modules fetches the real songs into it). */
std::vector<std::string> realSongs(const std::string& dir);

} // namespace mpt

#endif
