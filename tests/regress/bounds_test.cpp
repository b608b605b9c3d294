/* Bounded resources: no loader allocates more than the file in hand can
 * justify. Each input here is a few bytes that declare a huge picture,
 * object, sample or song; before these were fixed, the picture and object
 * loaders allocated what the header claimed (up to 80 MB for a 22-byte TGA,
 * 48 MB for a 22-byte .bof) and only then found the file empty.
 *
 * The peak is measured by counting every malloc, calloc, realloc and free of
 * the engine: this program is linked with --wrap for those four, so the
 * counts see the loaders' and stb_image's own calls. */
#include <gtest/gtest.h>

#include <fcntl.h>
#include <malloc.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "audio/kv_loadwav.h"
#include "modplay/modplay.h"
#include "render3d/kv_3D.h"
#include "tests/support/test_support.h"
#include "video/kv_font.h"
#include "video/kv_video.h"

extern "C" {
void* __real_malloc(size_t n);
void* __real_calloc(size_t n, size_t size);
void* __real_realloc(void* p, size_t n);
void __real_free(void* p);
}

namespace {

/* Bytes in use by counted blocks since the measurement began, and the most
 * there ever were. Blocks from before it began count as 0 when freed. */
long long inUse = 0, peak = 0;
bool counting = false;

void counted(long long delta)
{
    if (!counting)
        return;
    inUse += delta;
    if (inUse > peak)
        peak = inUse;
}

} // namespace

extern "C" {
void* __wrap_malloc(size_t n)
{
    void* p = __real_malloc(n);
    if (p)
        counted((long long)malloc_usable_size(p));
    return p;
}

void* __wrap_calloc(size_t n, size_t size)
{
    void* p = __real_calloc(n, size);
    if (p)
        counted((long long)malloc_usable_size(p));
    return p;
}

void* __wrap_realloc(void* old, size_t n)
{
    long long before = old ? (long long)malloc_usable_size(old) : 0;
    void* p = __real_realloc(old, n);
    if (p)
        counted((long long)malloc_usable_size(p) - before);
    return p;
}

void __wrap_free(void* p)
{
    if (p)
        counted(-(long long)malloc_usable_size(p));
    __real_free(p);
}
}

namespace {

const std::string kInputs = ORVEL_REGRESS_INPUTS;

/* Runs f and returns the peak of counted bytes in use while it ran. */
template <typename F>
long long peakOf(F f)
{
    inUse = peak = 0;
    counting = true;
    f();
    counting = false;
    return peak;
}

/* Runs f with standard output captured and returns what it printed. */
template <typename F>
std::string saying(F f)
{
    testing::internal::CaptureStdout();
    f();
    return testing::internal::GetCapturedStdout();
}

struct Bounds : ::testing::Test {
    std::string dir;
    void SetUp() override { dir = ts::makeTempDir("bounds"); }
    void TearDown() override { ts::removeTree(dir); }
};

const long long KiB = 1024, MiB = 1024 * 1024;

TEST_F(Bounds, TgaHeaderCannotClaimMorePixelsThanTheFileHolds)
{
    for (const char* name : {"declares_4096x4096_plain.tga", "declares_4096x4096_rle.tga"}) {
        Pic16b p{};
        std::string out;
        long long used = peakOf([&] { out = saying([&] { loadTGA16b((kInputs + "/tga/" + name).c_str(), &p); }); });
        EXPECT_LT(used, 64 * KiB) << name;
        EXPECT_EQ(p.pixels, nullptr) << name;
        EXPECT_NE(out.find("too short"), std::string::npos) << out;
    }
    /* run-length encoding may hold many pixels in few bytes: a 1024x1024
     * picture of runs of 128 takes 32 KiB and loads */
    std::vector<uint8_t> b = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 4, 24, 0x20};
    for (int i = 0; i < 1024 * 1024 / 128; i++) {
        b.push_back(0xFF);
        b.push_back((uint8_t)i), b.push_back((uint8_t)(i >> 8)), b.push_back(7);
    }
    ASSERT_TRUE(ts::writeFile(dir + "/runs.tga", b));
    Pic16b p{};
    loadTGA16b((dir + "/runs.tga").c_str(), &p);
    ASSERT_NE(p.pixels, nullptr);
    EXPECT_EQ(p.width, 1024);
    EXPECT_EQ(p.height, 1024);
    /* one byte less and the last run is cut: refused */
    b.pop_back();
    ASSERT_TRUE(ts::writeFile(dir + "/cut.tga", b));
    Pic16b q{};
    saying([&] { loadTGA16b((dir + "/cut.tga").c_str(), &q); });
    EXPECT_EQ(q.pixels, nullptr);
    killPic16b(&p);
}

/* A raw file has no header: its name alone gives the size, and a short file
 * loads black where it ends. What a name can make us allocate is bounded by
 * the 4096x4096 cap (32 MiB), never by what the file holds; one larger is
 * refused before allocating. */
TEST_F(Bounds, RawFileNameCanClaimNoMoreThanTheSizeCap)
{
    /* the input is the raw fuzzer's: name length, name, pixels */
    std::vector<uint8_t> in = ts::readFile(kInputs + "/raw/declares_4096x4096.raw");
    ASSERT_FALSE(in.empty());
    std::string name(in.begin() + 1, in.begin() + 1 + in[0]);
    std::vector<uint8_t> body(in.begin() + 1 + in[0], in.end());
    ASSERT_LT(body.size(), 3u * 4096 * 4096);
    std::string path = dir + "/" + name;
    ASSERT_TRUE(ts::writeFile(path, body));
    Pic16b p{};
    std::string out;
    long long used = peakOf([&] { out = saying([&] { loadRAW16bAuto(path.c_str(), &p); }); });
    EXPECT_LE(used, 32 * MiB + 64 * KiB);
    EXPECT_EQ(out, "");
    ASSERT_NE(p.pixels, nullptr);
    EXPECT_EQ(p.width, 4096);
    EXPECT_EQ(p.height, 4096);
    EXPECT_EQ(p.pixels[body.size() / 3], 0) << "past the file's end: black";
    EXPECT_EQ(p.pixels[4096 * 4096 - 1], 0);
    killPic16b(&p);

    std::string big = dir + "/big_4096x4097.raw";
    ASSERT_TRUE(ts::writeFile(big, body));
    used = peakOf([&] { out = saying([&] { loadRAW16bAuto(big.c_str(), &p); }); });
    EXPECT_LT(used, 64 * KiB);
    EXPECT_EQ(out, "EEEEEEEEEEEK!!!     not nuff mem!!");
    EXPECT_EQ(p.pixels, nullptr);
}

TEST_F(Bounds, FontSheetShorterThanItsSizeLoadsBlackWithinItsSize)
{
    /* the input is the font fuzzer's: sheet 480x8, cells 8x8, text, pixels */
    std::vector<uint8_t> in = ts::readFile(kInputs + "/font/sheet_480x8_of_ten_bytes.raw");
    ASSERT_GE(in.size(), 9u);
    size_t skip = 9 + in[8];
    ASSERT_TRUE(ts::writeFile(dir + "/font.raw", std::vector<uint8_t>(in.begin() + (long)skip, in.end())));
    Font f{};
    long long used = peakOf([&] { saying([&] { fnt_loadFnt(&f, (dir + "/font.raw").c_str(), 480, 8, 8, 8); }); });
    EXPECT_LE(used, 480 * 8 * 2 + KiB); /* the sheet and small change */
    ASSERT_NE(f.sheet.pixels, nullptr);
    EXPECT_EQ(f.sheet.pixels[480 * 8 - 1], 0);
    fnt_killFnt(&f);
    fnt_setFnt(nullptr);
}

TEST_F(Bounds, ObjectCountsMustFitInTheFile)
{
    Object3D o{};
    std::string out;
    long long used = peakOf([&] {
        out = saying([&] { loadBOF((kInputs + "/bof/declares_500000_vertices.bof").c_str(), &o); });
    });
    EXPECT_LT(used, 64 * KiB);
    EXPECT_EQ(o.verts, nullptr);
    EXPECT_NE(out.find("cannot fit in its 22 bytes; object refused"), std::string::npos) << out;
    used = peakOf([&] {
        out = saying([&] { loadBAF((kInputs + "/baf/declares_100000_vertices_5_frames.baf").c_str(), &o); });
    });
    EXPECT_LT(used, 64 * KiB);
    EXPECT_EQ(o.verts, nullptr);
    EXPECT_NE(out.find("500000 vertex and 100000 triangle entries"), std::string::npos) << out;
    kill3D(&o);
}

TEST_F(Bounds, WavDataSizeIsBoundedByTheFile)
{
    int size = -1;
    int16_t* data = nullptr;
    long long used = peakOf([&] { data = loadwav((kInputs + "/wav/declares_2gib_of_samples.wav").c_str(), &size); });
    EXPECT_LT(used, 64 * KiB);
    EXPECT_EQ(wav_code(data), WAV_CORRUPT);
}

/* A file read through a pipe has no length to measure its counts against:
 * it is bounded by the size caps alone and loads as before (the desktop
 * program's test holds the loading on a pipe). */
TEST_F(Bounds, PipesHaveNoLengthAndStillLoad)
{
    auto serve = [](const std::string& path, const std::string& bytes) {
        int fd = open(path.c_str(), O_WRONLY);
        if (fd >= 0) {
            (void)!write(fd, bytes.data(), bytes.size());
            close(fd);
        }
    };
    std::string obj = dir + "/tri.bof", raw = dir + "/px_2x1.raw";
    ASSERT_EQ(mkfifo(obj.c_str(), 0644), 0);
    ASSERT_EQ(mkfifo(raw.c_str(), 0644), 0);
    /* a loader that never reads leaves the writer waiting for a reader:
     * one is opened after the load, so a failure cannot hang the test */
    auto finish = [](std::thread& t, const std::string& path) {
        int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK);
        t.join();
        if (fd >= 0)
            close(fd);
    };
    std::thread a(serve, obj, std::string("t 3 1 0 0 0\n0 0 0 0 0 0\n1 1 0 0 0 0\n2 0 1 0 0 0\n0 0 1 2\n"));
    Object3D o{};
    loadBOF(obj.c_str(), &o);
    finish(a, obj);
    EXPECT_EQ(o.faceCount, 1u);
    kill3D(&o);
    std::thread b(serve, raw, std::string("\xff\0\0\0\0\xff", 6));
    Pic16b p{};
    loadRAW16bAuto(raw.c_str(), &p);
    finish(b, raw);
    ASSERT_NE(p.pixels, nullptr);
    EXPECT_EQ(p.pixels[0], 0xF800);
    EXPECT_EQ(p.pixels[1], 0x001F);
    killPic16b(&p);
}

/* The song grid a module declares is allocated whole (a pattern's rows play
 * even when empty), so it is bounded by the format's own limits: 256
 * patterns of 256 rows of 33 cells. Sample data is allocated only for bytes
 * the file holds, and at most once for each: the S3M input points all its
 * 255 instrument headers at one sample, which once made the loader copy the
 * same bytes 255 times (a 4 MB file could have claimed a gigabyte). */
TEST_F(Bounds, ModulesAllocateSampleDataOnlyForTheBytesPresent)
{
    const char* songs[] = {"xm/declares_256_full_patterns_and_2gib_samples.xm",
                           "mod/declares_254_patterns_and_4mib_of_samples.mod",
                           "s3m/declares_255_4gib_samples_and_256_patterns.s3m"};
    for (const char* name : songs) {
        std::vector<uint8_t> image = ts::readFile(kInputs + "/" + name);
        ASSERT_FALSE(image.empty()) << name;
        static MODFILE mod;
        MODFILE_Init(&mod);
        int r = -1;
        long long used = peakOf([&] { r = MODFILE_Set((const char*)image.data(), (int)image.size(), &mod); });
        ASSERT_EQ(r, 0) << name;
        EXPECT_LT(used, 32 * MiB) << name;
        long long sampleBytes = 0;
        for (int s = 0; s < mod.numSamples; s++)
            sampleBytes += (long long)mod.samples[s].length * (mod.samples[s].is16Bit ? 2 : 1);
        EXPECT_LE(sampleBytes, (long long)image.size()) << name;
        MODFILE_Free(&mod);
    }
}

} // namespace
