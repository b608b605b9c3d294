/* Real songs nobody here wrote (fetched by scripts/get-test-modules into the
 * build tree): they load, play, are not silent, and one pass lasts as long
 * as an independent player says. */
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "tests/modplay/player.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace {

#define NEED_SONGS(list)                                                                                              \
    if ((list).empty())                                                                                               \
    GTEST_SKIP() << "no songs in " ORVEL_TEST_MODULES " (make test fetches them with scripts/get-test-modules)"

TEST(RealSongs, LoadAndPlayTwentySecondsThatAreNotSilent)
{
    std::vector<std::string> songs = mpt::realSongs(ORVEL_TEST_MODULES);
    NEED_SONGS(songs);
    for (const std::string& path : songs) {
        SCOPED_TRACE(path);
        MODFILE mod;
        MODFILE_Init(&mod);
        ASSERT_EQ(MODFILE_Load(path.c_str(), &mod), 0);
        mod.musicVolume = 64;
        MODFILE_Start(&mod);
        MODFILE_SetFormat(&mod, 22050, 2, 16, 1);
        std::vector<int16_t> buf(4096 * 2);
        double energy = 0;
        long long clipped = 0, n = 0;
        for (int block = 0; block < 20 * 22050 / 4096; block++) {
            mod.outBuffer = buf.data();
            mod.outBytes = (int)buf.size() * 2;
            MODFILE_Player(&mod);
            for (int16_t v : buf) {
                energy += (double)v * v;
                clipped += (v == 32767 || v == -32768);
                n++;
            }
        }
        double rms = sqrt(energy / (double)n);
        EXPECT_GT(rms, 100.0);
        EXPECT_LT(clipped, n / 100);
        MODFILE_Stop(&mod);
        MODFILE_Free(&mod);
    }
}

/* Songs whose one pass differs from the independent player's because an
 * effect means something else here. Empty: every song agrees within 2%
 * (one pass is the first subsong: what plays from the song's start until
 * it repeats; the independent player's plain duration adds up every
 * subsong, such as a jingle placed after a jump back to the start). */
const std::map<std::string, std::string> knownDifferences = {};

TEST(RealSongs, OnePassLastsAsLongAsOpenMPTSays)
{
    std::vector<std::string> songs = mpt::realSongs(ORVEL_TEST_MODULES);
    NEED_SONGS(songs);
    if (ts::run("command -v openmpt123").empty())
        GTEST_SKIP() << "openmpt123 is not installed (scripts/install-deps installs it)";
    for (const std::string& path : songs) {
        SCOPED_TRACE(path);
        std::string info = ts::run(std::string(ORVEL_MODPLAY_TOOL) + " '" + path + "' --info");
        size_t at = info.find("duration_ms: ");
        ASSERT_NE(at, std::string::npos) << info;
        double ours = atof(info.c_str() + at + 13) / 1000.0;
        std::string ref = ts::run("openmpt123 --info --subsong 0 '" + path + "' 2>&1");
        size_t d = ref.find("Duration...: ");
        ASSERT_NE(d, std::string::npos) << ref;
        int minutes = 0;
        double seconds = 0;
        ASSERT_EQ(sscanf(ref.c_str() + d + 13, "%d:%lf", &minutes, &seconds), 2);
        double theirs = minutes * 60 + seconds;
        std::string name = fs::path(path).filename().string();
        printf("%-30s ours %8.3f s  openmpt123 %8.3f s  %+.2f%%\n", name.c_str(), ours, theirs,
               100.0 * (ours - theirs) / theirs);
        if (knownDifferences.count(name))
            continue;
        EXPECT_NEAR(ours, theirs, theirs * 0.02);
    }
}

} // namespace
