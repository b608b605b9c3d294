/* orvel-modplay: WAV output, options, one pass, --info, --dump-ticks and
 * refusals. */
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/modplay/modwriter.h"
#include "tests/modplay/player.h"
#include "tests/modplay/s3mwriter.h"
#include "tests/support/test_support.h"

namespace {

struct ToolRun {
    int status;
    std::string out;
};

ToolRun tool(const std::string& args)
{
    ToolRun r{-1, ""};
    r.out = ts::run(std::string(ORVEL_MODPLAY_TOOL) + " " + args + " 2>&1", &r.status);
    return r;
}

uint32_t le32(const std::vector<uint8_t>& b, size_t at)
{
    return (uint32_t)b[at] | (uint32_t)b[at + 1] << 8 | (uint32_t)b[at + 2] << 16 | (uint32_t)b[at + 3] << 24;
}

struct Tool : ::testing::Test {
    std::string dir, song;
    void SetUp() override
    {
        dir = ts::makeTempDir("modplay");
        song = dir + "/song.xm";
        /* 8 rows; rows 2..4 loop twice more (E60 ... E62), then a jump back
         * to the start ends the pass: 8 + 6 rows of 6 ticks, plus the silent
         * row before the first */
        xmw::Song s = mpt::basicSong();
        s.patterns[0] = xmw::Pattern(8, 1);
        s.patterns[0].at(0, 0) = {49, 1, 0, 0, 0};
        s.patterns[0].at(2, 0) = {0, 0, 0, 0xE, 0x60};
        s.patterns[0].at(4, 0) = {0, 0, 0, 0xE, 0x62};
        s.patterns[0].at(7, 0) = {0, 0, 0, 0xB, 0x00};
        ASSERT_TRUE(xmw::writeFile(s, song));
    }
    void TearDown() override { ts::removeTree(dir); }
};

TEST_F(Tool, OnePassToWavStopsAtTheJumpBackButNotInsideTheLoop)
{
    ToolRun r = tool(song + " -o " + dir + "/out.wav");
    ASSERT_EQ(r.status, 0) << r.out;
    std::vector<uint8_t> w = ts::readFile(dir + "/out.wav");
    ASSERT_GE(w.size(), 44u);
    EXPECT_EQ(std::string(w.begin(), w.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(w.begin() + 8, w.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(le32(w, 24), 22050u);
    EXPECT_EQ(w[22], 2);
    EXPECT_EQ(w[34], 16);
    EXPECT_EQ(le32(w, 40), w.size() - 44);
    EXPECT_EQ(le32(w, 4), w.size() - 8);
    EXPECT_EQ((w.size() - 44) / 4, (size_t)(1 + 8 + 6) * 6 * 441);
    ToolRun info = tool(song + " --info");
    ASSERT_EQ(info.status, 0);
    EXPECT_NE(info.out.find("format: xm\n"), std::string::npos);
    EXPECT_NE(info.out.find("title: test"), std::string::npos);
    EXPECT_NE(info.out.find("channels: 1\n"), std::string::npos);
    EXPECT_NE(info.out.find("patterns: 1\n"), std::string::npos);
    EXPECT_NE(info.out.find("instruments: 1\n"), std::string::npos);
    EXPECT_NE(info.out.find("samples: 1\n"), std::string::npos);
    EXPECT_NE(info.out.find("orders: 1\n"), std::string::npos);
    EXPECT_NE(info.out.find("speed: 6\n"), std::string::npos);
    EXPECT_NE(info.out.find("tempo: 125\n"), std::string::npos);
    EXPECT_NE(info.out.find("linear: 1\n"), std::string::npos);
    EXPECT_NE(info.out.find("duration_ms: 1800\n"), std::string::npos) << info.out;
}

TEST_F(Tool, OnePassIsCutAfterAnHour)
{
    /* 256 positions of a 256-row pattern at 2.4 s a row: days without a revisit */
    xmw::Song s = mpt::basicSong();
    s.patterns[0] = xmw::Pattern(256, 1);
    s.orders.assign(256, 0);
    s.speed = 31;
    s.tempo = 32;
    ASSERT_TRUE(xmw::writeFile(s, dir + "/long.xm"));
    ToolRun r = tool(dir + "/long.xm --info --rate 8000");
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("duration_ms: 3600000\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("capped: "), std::string::npos) << r.out;
}

TEST_F(Tool, FormatsSecondsAndRates)
{
    ToolRun r = tool(song + " -o " + dir + "/m.wav --seconds 0.5 --mono --bits 8 --rate 11025");
    ASSERT_EQ(r.status, 0) << r.out;
    std::vector<uint8_t> w = ts::readFile(dir + "/m.wav");
    EXPECT_EQ(w.size(), 44u + 5512u);
    EXPECT_EQ(w[22], 1);
    EXPECT_EQ(w[34], 8);
    EXPECT_EQ(le32(w, 24), 11025u);
    EXPECT_EQ(w[44], 0x80); /* unsigned 8-bit silence before the first row */
    r = tool(song + " -o " + dir + "/l.wav --seconds 10");
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(ts::readFile(dir + "/l.wav").size(), 44u + 220500u * 4);
}

TEST_F(Tool, DumpTicks)
{
    ToolRun r = tool(song + " --dump-ticks --seconds 0.5");
    ASSERT_EQ(r.status, 0);
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < r.out.size()) {
        size_t nl = r.out.find('\n', at);
        lines.push_back(r.out.substr(at, nl - at));
        at = nl + 1;
    }
    ASSERT_GE(lines.size(), 20u);
    EXPECT_EQ(lines[0], "tick_index\trow\ttick\tsong_pos\tchannel\tnote\tperiod\tstep\tvolume\tenv_volume\tpanning\tposition\tactive");
    EXPECT_EQ(lines[1].substr(0, 9), "0\t-1\t0\t-1");
    /* tick 6 is row 0, tick 0, with the note sounding at 8363 Hz */
    EXPECT_EQ(lines[7], "6\t0\t0\t0\t0\t64\t4608\t388\t64\t64\t128\t0\t1");
    EXPECT_EQ(lines.size(), 1u + 25); /* 0.5 s = 25 ticks and a bit */
}

TEST_F(Tool, RefusalsAndBadArguments)
{
    ASSERT_TRUE(ts::writeText(dir + "/text.xm", "hello, this is not music"));
    ToolRun r = tool(dir + "/text.xm --info");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
    std::vector<uint8_t> img = ts::readFile(song);
    img[68] = 0; /* no channels */
    ASSERT_TRUE(ts::writeFile(dir + "/bad.xm", img));
    r = tool(dir + "/bad.xm -o " + dir + "/x.wav");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("damaged"), std::string::npos);
    EXPECT_EQ(tool(dir + "/missing.xm --info").status, 1);
    EXPECT_EQ(tool(song + " -o /nonexistent/dir/x.wav").status, 1);
    EXPECT_EQ(tool(song).status, 2);
    EXPECT_EQ(tool(song + " --info --dump-ticks").status, 2);
    EXPECT_EQ(tool(song + " -o x.wav --bits 12").status, 2);
    EXPECT_EQ(tool(song + " -o x.wav --rate 0").status, 2);
    EXPECT_EQ(tool(song + " -o x.wav --seconds -1").status, 2);
    EXPECT_EQ(tool("--info").status, 2);
}

TEST_F(Tool, ModAndS3mSongsPlayAndReportLikeXm)
{
    /* one 64-row pattern at speed 6 and a jump back: 1 + 64 rows of 6 ticks */
    modw::Song m;
    m.name = "mod song";
    m.patterns.emplace_back(4);
    m.patterns[0].at(0, 1) = {428, 1, 0, 0};
    m.patterns[0].at(63, 0) = {0, 0, 0xB, 0};
    m.samples.push_back(modw::squareSample(2000));
    ASSERT_TRUE(ts::writeFile(dir + "/song.mod", modw::write(m)));
    s3mw::Song s;
    s.name = "s3m song";
    s.patterns[0].rows[0] = {{1, 0x40, 1, -1, -1, 0}};
    s.patterns[0].rows[63] = {{0, -1, 0, -1, 2, 0}};
    s.instruments.push_back(s3mw::squareInstrument(2000));
    ASSERT_TRUE(ts::writeFile(dir + "/song.s3m", s3mw::write(s)));
    const char* formats[] = {"mod", "s3m"};
    for (const char* f : formats) {
        SCOPED_TRACE(f);
        std::string path = dir + "/song." + f;
        ToolRun info = tool(path + " --info");
        ASSERT_EQ(info.status, 0) << info.out;
        EXPECT_NE(info.out.find(std::string("format: ") + f + "\n"), std::string::npos) << info.out;
        EXPECT_NE(info.out.find(std::string("title: ") + f + " song"), std::string::npos) << info.out;
        EXPECT_NE(info.out.find("channels: 4\n"), std::string::npos) << info.out;
        EXPECT_NE(info.out.find("duration_ms: 7800\n"), std::string::npos) << info.out;
        ToolRun r = tool(path + " -o " + dir + "/out.wav");
        ASSERT_EQ(r.status, 0) << r.out;
        std::vector<uint8_t> w = ts::readFile(dir + "/out.wav");
        ASSERT_GE(w.size(), 44u);
        EXPECT_EQ((w.size() - 44) / 4, (size_t)65 * 6 * 441);
        bool sound = false;
        for (size_t i = 44; i + 1 < w.size() && !sound; i += 2)
            sound = (int16_t)(w[i] | w[i + 1] << 8) != 0;
        EXPECT_TRUE(sound);
    }
}

} // namespace
