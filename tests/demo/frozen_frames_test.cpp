/* The demo's frozen output: the MD5 of every frame of the whole timeline at
 * 10 frames a second (the loading screen included) and of the audio track,
 * against tests/demo/timeline_hashes.txt. Speed work must leave every one of
 * them as it is; only a change meant to alter what is seen or heard (the
 * data set, a player fix) rewrites the list, in the commit that makes it:
 *
 *   ORVEL_WRITE_HASHES=tests/demo/timeline_hashes.txt \
 *       build/tests/demo/frozen_frames_test
 *
 * (from the repository root; the test then passes and says it wrote). */
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>
#include <vector>

#include "demo/demo.h"
#include "tests/demo/timeline_hashes.h"
#include "tests/support/md5.h"
#include "tests/support/test_support.h"

namespace {

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> v;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        v.push_back(l);
    return v;
}

/* "frame MS ..." -> the scene and row drawn at MS, for the failure report. */
std::string where(const std::string& line)
{
    long long ms;
    if (sscanf(line.c_str(), "frame %lld", &ms) != 1)
        return "";
    static const char* const names[] = {"title", "kube", "fkube", "fract", "flower", "robot", "deform", "tunnel"};
    DemoCall c;
    demo_timeline((unsigned)ms, &c);
    return std::string(" (") + names[c.scene] + ", row " + std::to_string(c.row) + ")";
}

/* The lists agree line by line; the first ten lines that differ are named
 * with the scene and row they were drawn in. */
void expectSameLines(const std::string& want, const std::string& got)
{
    std::vector<std::string> a = lines(want), b = lines(got);
    ASSERT_EQ(a.size(), b.size()) << "a different number of frames was shown";
    int differ = 0;
    for (size_t i = 0; i < a.size(); i++)
        if (a[i] != b[i] && ++differ <= 10)
            ADD_FAILURE() << "expected " << a[i] << "\n     got " << b[i] << where(b[i]);
    EXPECT_EQ(differ, 0) << "lines differ (the first ten are listed)";
}

TEST(FrozenFrames, TheDigestIsMd5InPiecesOrWhole)
{
    EXPECT_EQ(md5_of("", 0), "d41d8cd98f00b204e9800998ecf8427e");
    const std::string fox = "The quick brown fox jumps over the lazy dog";
    EXPECT_EQ(md5_of(fox.data(), fox.size()), "9e107d9d372bb6826bd81d3542a419d6");
    std::string big(1000, 'x');
    for (size_t i = 0; i < big.size(); i++)
        big[i] = (char)(i * 7);
    Md5 m;
    md5_init(&m);
    for (size_t at = 0, step = 1; at < big.size(); at += step, step = step * 3 % 97 + 1)
        md5_update(&m, big.data() + at, std::min(step, big.size() - at));
    EXPECT_EQ(md5_hex(&m), md5_of(big.data(), big.size()));
}

TEST(FrozenFrames, EveryFrameAt10FpsAndTheAudioTrackKeepTheirHashes)
{
    std::ifstream f(ORVEL_HASH_FILE);
    std::stringstream want;
    want << f.rdbuf();
    char* cwd = getcwd(nullptr, 0);
    const std::string here = cwd ? cwd : ".";
    free(cwd);
    ASSERT_EQ(chdir(ORVEL_RUN_DIR), 0);
    testing::internal::CaptureStdout(); /* the loaders stay quiet on the real set */
    std::string got = th_run(10);
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(chdir(here.c_str()), 0);

    if (const char* path = getenv("ORVEL_WRITE_HASHES")) {
        std::ofstream(path) << got;
        GTEST_SKIP() << "wrote the hashes of this build to " << path;
    }
    ASSERT_TRUE(f.good()) << "cannot read " << ORVEL_HASH_FILE;
    expectSameLines(want.str(), got);
}

/* The handheld build has ARM code of its own for the hot loops; the bench
 * program, cross-built with the console's toolchain by make arm, prints the
 * same list under qemu's ARMv4T core. */
TEST(FrozenFrames, TheHandheldBuildDrawsAndPlaysTheSame)
{
    const std::string prog = ORVEL_ARM_BENCH_PROG;
    if (!ts::haveTool("qemu-arm") || access(prog.c_str(), X_OK) != 0)
        GTEST_SKIP() << "needs qemu-arm and " << prog << " (make arm)";
    std::ifstream f(ORVEL_HASH_FILE);
    std::stringstream want;
    want << f.rdbuf();
    ASSERT_TRUE(f.good()) << "cannot read " << ORVEL_HASH_FILE;
    int status = -1;
    const std::string got =
        ts::run(std::string("cd '") + ORVEL_RUN_DIR + "' && qemu-arm -cpu ti925t '" + prog + "' --hash --fps 10", &status);
    ASSERT_EQ(status, 0);
    expectSameLines(want.str(), got);
}

} // namespace
