/* WAV reader: files built here byte by byte, and files written by sox and
 * ffmpeg, compared sample by sample. */
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "audio/kv_loadwav.h"
#include "tests/support/test_support.h"

namespace {

using ts::put16le;
using ts::put32le;
using ts::putBytes;

struct Chunk {
    std::string id;
    std::vector<uint8_t> body;
};

/* A format chunk body: PCM fields, then `extra` bytes of extension. */
std::vector<uint8_t> fmtBody(int channels, int bits, int tag = 1, int extra = 0)
{
    std::vector<uint8_t> b;
    put16le(b, tag);
    put16le(b, channels);
    put32le(b, 22050);
    put32le(b, 22050 * channels * bits / 8);
    put16le(b, channels * bits / 8);
    put16le(b, bits);
    for (int i = 0; i < extra; i++)
        b.push_back(0);
    return b;
}

std::vector<uint8_t> samples16(const std::vector<int16_t>& s)
{
    std::vector<uint8_t> b;
    for (int16_t v : s)
        put16le(b, (uint16_t)v);
    return b;
}

/* RIFF/WAVE around the chunks; odd chunks get their pad byte. */
std::vector<uint8_t> riff(const std::vector<Chunk>& chunks)
{
    std::vector<uint8_t> body;
    putBytes(body, "WAVE", 4);
    for (auto& c : chunks) {
        putBytes(body, c.id.data(), 4);
        put32le(body, (uint32_t)c.body.size());
        body.insert(body.end(), c.body.begin(), c.body.end());
        if (c.body.size() & 1)
            body.push_back(0);
    }
    std::vector<uint8_t> b;
    putBytes(b, "RIFF", 4);
    put32le(b, (uint32_t)body.size());
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

std::vector<uint8_t> simpleWav(int channels, const std::vector<int16_t>& s)
{
    return riff({{"fmt ", fmtBody(channels, 16)}, {"data", samples16(s)}});
}

struct Wav : ::testing::Test {
    std::string dir;
    void SetUp() override { dir = ts::makeTempDir("wav"); }
    void TearDown() override { ts::removeTree(dir); }

    std::string write(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        std::string p = dir + "/" + name;
        EXPECT_TRUE(ts::writeFile(p, bytes));
        return p;
    }
    /* Loads a file that must load; returns its samples. */
    std::vector<int16_t> load(const std::string& path)
    {
        int size = -1;
        int16_t* d = loadwav(path.c_str(), &size);
        EXPECT_EQ(wav_code(d), 0) << path;
        if (wav_code(d))
            return {};
        std::vector<int16_t> out(d, d + size / 2);
        free(d);
        return out;
    }
    /* The code a file that must fail gives; its size must read 0. */
    int code(const std::string& path)
    {
        int size = -1;
        int16_t* d = loadwav(path.c_str(), &size);
        int c = wav_code(d);
        if (c == 0)
            free(d);
        else
            EXPECT_EQ(size, 0);
        return c;
    }
};

TEST(WavMessages, EachCodeHasItsText)
{
    EXPECT_STREQ(wav_message(WAV_NOT_FOUND), "file not found!");
    EXPECT_STREQ(wav_message(-1), "must be PCM 16b!");
    EXPECT_STREQ(wav_message(-2), "not a WAVE file!");
    EXPECT_STREQ(wav_message(-3), "file corrupted!");
    EXPECT_STREQ(wav_message(-4), "not enough mem!");
    EXPECT_EQ(wav_message(0), nullptr);
    EXPECT_EQ(wav_message(-5), nullptr);
    EXPECT_EQ(WAV_NOT_FOUND, -404);
}

TEST_F(Wav, MonoSamplesLoadAsTheyAre)
{
    std::vector<int16_t> s = {0, 1, -1, 1000, -1000, 32767, -32768, 5};
    int size = 0;
    int16_t* d = loadwav(write("m.wav", simpleWav(1, s)).c_str(), &size);
    ASSERT_EQ(wav_code(d), 0);
    EXPECT_EQ(size, 16);
    EXPECT_EQ(std::vector<int16_t>(d, d + 8), s);
    free(d);
}

TEST_F(Wav, StereoFramesAreHalvedBeforeTheSum)
{
    std::vector<int16_t> s = {1000, -1000, -1, -1, 32767, 32767, -32768, -32768, 3, 0};
    auto got = load(write("s.wav", simpleWav(2, s)));
    EXPECT_EQ(got, (std::vector<int16_t>{0, -2, 32766, -32768, 1}));
}

TEST_F(Wav, ChunksAreWalkedInAnyOrderWithPadsAndExtensions)
{
    std::vector<int16_t> s = {7, -7, 300};
    std::vector<uint8_t> list = {'I', 'N', 'F', 'O', 'I', 'C', 'M', 'T', 3, 0, 0, 0, 'a', 'b', 'c'}; /* odd: padded */
    /* an 18-byte format chunk (cbSize 0), LIST and fact before the data */
    auto p1 = write("a.wav", riff({{"fmt ", fmtBody(1, 16, 1, 2)},
                                   {"LIST", list},
                                   {"fact", {3, 0, 0, 0}},
                                   {"data", samples16(s)}}));
    EXPECT_EQ(load(p1), s);
    /* the data before the format */
    auto p2 = write("b.wav", riff({{"JUNK", {1, 2, 3}}, {"data", samples16(s)}, {"fmt ", fmtBody(1, 16)}}));
    EXPECT_EQ(load(p2), s);
    /* an odd data size: the half sample is dropped; the pad is optional at the end */
    auto b = simpleWav(1, s);
    b.push_back(0x55);
    b[40] = 7; /* data size 7 */
    EXPECT_EQ(load(write("c.wav", b)), s);
}

TEST_F(Wav, FormatsOtherThan16BitPcmMonoOrStereoAreRefused)
{
    std::vector<uint8_t> d8 = {0x80, 0x81, 0x7F, 0x80};
    EXPECT_EQ(code(write("8.wav", riff({{"fmt ", fmtBody(1, 8)}, {"data", d8}}))), WAV_NOT_PCM16);
    EXPECT_EQ(code(write("f.wav", riff({{"fmt ", fmtBody(1, 16, 3)}, {"data", d8}}))), WAV_NOT_PCM16);
    EXPECT_EQ(code(write("x.wav", riff({{"fmt ", fmtBody(1, 16, 0xFFFE, 22)}, {"data", d8}}))), WAV_NOT_PCM16);
    for (int ch : {0, 3, 6})
        EXPECT_EQ(code(write("c.wav", riff({{"fmt ", fmtBody(ch, 16)}, {"data", samples16({1, 2, 3, 4, 5, 6})}}))),
                  WAV_NOT_PCM16)
            << ch;
}

TEST_F(Wav, MissingForeignAndDamagedFilesGiveTheirCodes)
{
    EXPECT_EQ(code(dir + "/nothing-here.wav"), WAV_NOT_FOUND);
    EXPECT_EQ(wav_code(loadwav(nullptr, nullptr)), WAV_NOT_FOUND);
    EXPECT_EQ(code(write("e.wav", {})), WAV_NOT_WAVE);
    EXPECT_EQ(code(write("t.txt", std::vector<uint8_t>(100, 'x'))), WAV_NOT_WAVE);
    auto avi = simpleWav(1, {1, 2});
    avi[8] = 'A', avi[9] = 'V', avi[10] = 'I', avi[11] = ' ';
    EXPECT_EQ(code(write("v.avi", avi)), WAV_NOT_WAVE);

    EXPECT_EQ(code(write("nf.wav", riff({{"data", samples16({1, 2})}}))), WAV_CORRUPT);
    EXPECT_EQ(code(write("nd.wav", riff({{"fmt ", fmtBody(1, 16)}}))), WAV_CORRUPT);
    EXPECT_EQ(code(write("0.wav", riff({{"fmt ", fmtBody(1, 16)}, {"data", {}}}))), WAV_CORRUPT);
    EXPECT_EQ(code(write("1.wav", riff({{"fmt ", fmtBody(2, 16)}, {"data", {1, 2}}}))), WAV_CORRUPT);
    auto shortFmt = fmtBody(1, 16);
    shortFmt.resize(14);
    EXPECT_EQ(code(write("sf.wav", riff({{"fmt ", shortFmt}, {"data", samples16({1})}}))), WAV_CORRUPT);

    /* a data size far beyond the file: refused before anything is allocated */
    auto big = simpleWav(1, {1, 2, 3});
    big[40] = 0xF0, big[41] = 0xFF, big[42] = 0xFF, big[43] = 0xFF;
    EXPECT_EQ(code(write("big.wav", big)), WAV_CORRUPT);
    auto bigList = riff({{"fmt ", fmtBody(1, 16)}, {"LIST", {1, 2, 3, 4}}, {"data", samples16({1})}});
    bigList[40] = 0xFF, bigList[41] = 0xFF, bigList[42] = 0xFF, bigList[43] = 0x7F;
    EXPECT_EQ(code(write("bl.wav", bigList)), WAV_CORRUPT);
}

TEST_F(Wav, EveryTruncationIsRefusedAndOnlyTheWholeFileLoads)
{
    std::vector<int16_t> s;
    for (int i = 0; i < 50; i++)
        s.push_back((int16_t)(i * 1301 - 30000));
    auto whole = riff({{"fmt ", fmtBody(2, 16, 1, 2)}, {"LIST", {'I', 'N', 'F', 'O', 'x'}}, {"data", samples16(s)}});
    std::string p = dir + "/cut.wav";
    for (size_t n = 0; n < whole.size(); n++) {
        ASSERT_TRUE(ts::writeFile(p, std::vector<uint8_t>(whole.begin(), whole.begin() + n)));
        int c = code(p);
        ASSERT_TRUE(c == WAV_NOT_WAVE || c == WAV_CORRUPT) << n << " bytes: " << c;
    }
    ASSERT_TRUE(ts::writeFile(p, whole));
    EXPECT_EQ(load(p).size(), 25u);
}

/* Files written by independent tools. */
struct ToolWav : Wav {
    std::vector<int16_t> pcm;
    std::string raw;
    void SetUp() override
    {
        Wav::SetUp();
        for (int i = 0; i < 2000; i++)
            pcm.push_back((int16_t)((i * 7919) % 65536 - 32768));
        raw = write("in.raw", samples16(pcm));
    }
    std::string run(const std::string& cmd, const std::string& out)
    {
        EXPECT_EQ(std::system((cmd + " >/dev/null 2>&1").c_str()), 0) << cmd;
        return out;
    }
    std::string sox(const std::string& args, const std::string& name)
    {
        std::string out = dir + "/" + name;
        return run("sox -t raw -r 22050 -e signed -b 16 -L " + args + " '" + raw + "' '" + out + "'", out);
    }
};

TEST_F(ToolWav, SoxMonoAndStereoMatchTheSamples)
{
    if (!ts::haveTool("sox"))
        GTEST_SKIP() << "sox is not installed (scripts/install-deps installs it)";
    EXPECT_EQ(load(sox("-c 1", "mono.wav")), pcm);
    std::vector<int16_t> mixed;
    for (size_t i = 0; i + 1 < pcm.size(); i += 2)
        mixed.push_back((int16_t)((pcm[i] >> 1) + (pcm[i + 1] >> 1)));
    EXPECT_EQ(load(sox("-c 2", "stereo.wav")), mixed);
}

TEST_F(ToolWav, SoxFormatsThatAreNot16BitPcmAreRefused)
{
    if (!ts::haveTool("sox"))
        GTEST_SKIP() << "sox is not installed (scripts/install-deps installs it)";
    std::string out = dir + "/8.wav";
    EXPECT_EQ(code(run("sox -t raw -r 22050 -e signed -b 16 -c 1 '" + raw + "' -b 8 '" + out + "'", out)),
              WAV_NOT_PCM16);
    out = dir + "/f.wav"; /* 18-byte format chunk and a fact chunk */
    EXPECT_EQ(code(run("sox -t raw -r 22050 -e signed -b 16 -c 1 '" + raw + "' -e floating-point -b 32 '" + out + "'",
                       out)),
              WAV_NOT_PCM16);
    EXPECT_EQ(code(sox("-c 4", "quad.wav")), WAV_NOT_PCM16); /* extensible format, 4 channels */
}

/* sox writes no LIST chunk; ffmpeg puts one (LIST/INFO/ISFT) between the
 * format and the data. */
TEST_F(ToolWav, FfmpegFileWithAListChunkMatchesTheSamples)
{
    if (!ts::haveTool("ffmpeg"))
        GTEST_SKIP() << "ffmpeg is not installed (scripts/install-deps installs it)";
    std::string out = dir + "/list.wav";
    run("ffmpeg -v error -y -f s16le -ar 22050 -ac 1 -i '" + raw + "' -c:a pcm_s16le '" + out + "'", out);
    auto bytes = ts::readFile(out);
    ASSERT_GT(bytes.size(), 40u);
    ASSERT_NE(std::string(bytes.begin(), bytes.begin() + 64).find("LIST"), std::string::npos)
        << "this ffmpeg wrote no LIST chunk";
    EXPECT_EQ(load(out), pcm);
}

} // namespace
