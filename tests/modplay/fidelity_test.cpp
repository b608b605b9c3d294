/* Real songs nobody here wrote sound as two independent players play them:
 * the first 30 s of each, rendered by orvel-modplay, openmpt123 and xmp
 * (22050 Hz, no interpolation, no volume ramping), reduced to loudness
 * envelopes of the mid and side signals, must correlate with at least one
 * peer within 0.05 of how well the two peers agree with each other. The
 * alignment is searched in steps of an eighth of a window (ours is
 * enveloped from each of eight starting offsets), so that a start that
 * differs by a part of a window does not count as a difference. */
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/modplay/player.h"
#include "tests/support/test_support.h"

namespace {

const int RATE = 22050;
const int SECONDS = 30;
const int WINDOW = RATE / 50;     /* 20 ms of frames */
const int MAX_LAG = 25;           /* windows: best alignment within 0.5 s */
const int PHASES = 8;             /* starting offsets of ours within a window */
const double TOLERANCE = 0.05;    /* how far below the peers' agreement ours may be */
const double SILENT_SPREAD = 8.0; /* an envelope that varies less (16-bit units) says nothing */

/* Interleaved 16-bit stereo frames of a PCM WAV file; empty when it is not one. */
std::vector<int16_t> readWav(const std::string& path)
{
    std::vector<uint8_t> b = ts::readFile(path);
    std::vector<int16_t> pcm;
    if (b.size() < 12 || memcmp(b.data(), "RIFF", 4) || memcmp(b.data() + 8, "WAVE", 4))
        return pcm;
    auto le = [&](size_t at, int n) {
        uint32_t v = 0;
        for (int k = n - 1; k >= 0; k--)
            v = v << 8 | b[at + (size_t)k];
        return v;
    };
    unsigned channels = 0, bits = 0;
    for (size_t at = 12; at + 8 <= b.size();) {
        uint32_t size = le(at + 4, 4);
        size_t body = at + 8;
        if (!memcmp(&b[at], "fmt ", 4) && body + 16 <= b.size()) {
            channels = le(body + 2, 2);
            bits = le(body + 14, 2);
        } else if (!memcmp(&b[at], "data", 4)) {
            if (channels != 2 || bits != 16)
                return pcm;
            size_t n = std::min<size_t>(size, b.size() - body) / 2;
            pcm.resize(n);
            memcpy(pcm.data(), &b[body], n * 2);
            return pcm;
        }
        at = body + size + (size & 1);
    }
    return pcm;
}

/* RMS per 20 ms window of the mid ((L + R) / 2) and side ((L - R) / 2)
 * signals over the first 30 s. */
struct Envelopes {
    std::vector<double> mid, side;
};

Envelopes envelopes(const std::vector<int16_t>& pcm, size_t offset = 0)
{
    Envelopes e;
    size_t frames = std::min<size_t>(pcm.size() / 2, (size_t)RATE * SECONDS + offset);
    for (size_t w = 0; offset + (w + 1) * WINDOW <= frames; w++) {
        double m = 0, s = 0;
        for (size_t i = offset + w * WINDOW; i < offset + (w + 1) * WINDOW; i++) {
            double l = pcm[2 * i], r = pcm[2 * i + 1];
            m += (l + r) * (l + r) / 4;
            s += (l - r) * (l - r) / 4;
        }
        e.mid.push_back(sqrt(m / WINDOW));
        e.side.push_back(sqrt(s / WINDOW));
    }
    return e;
}

double spread(const std::vector<double>& v)
{
    if (v.empty())
        return 0;
    double mean = 0, var = 0;
    for (double x : v)
        mean += x;
    mean /= (double)v.size();
    for (double x : v)
        var += (x - mean) * (x - mean);
    return sqrt(var / (double)v.size());
}

/* Pearson correlation of a[i] with b[i + lag] over the windows both have. */
double correlationAt(const std::vector<double>& a, const std::vector<double>& b, int lag)
{
    double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
    int n = 0;
    for (int i = 0; i < (int)a.size(); i++) {
        int j = i + lag;
        if (j < 0 || j >= (int)b.size())
            continue;
        sa += a[(size_t)i];
        sb += b[(size_t)j];
        saa += a[(size_t)i] * a[(size_t)i];
        sbb += b[(size_t)j] * b[(size_t)j];
        sab += a[(size_t)i] * b[(size_t)j];
        n++;
    }
    if (n < 2)
        return 0;
    double va = saa - sa * sa / n, vb = sbb - sb * sb / n;
    if (va <= 0 || vb <= 0)
        return 0;
    return (sab - sa * sb / n) / sqrt(va * vb);
}

/* The best correlation over lags of up to 0.5 s either way. */
double bestCorrelation(const std::vector<double>& a, const std::vector<double>& b)
{
    double best = -1;
    for (int lag = -MAX_LAG; lag <= MAX_LAG; lag++)
        best = std::max(best, correlationAt(a, b, lag));
    return best;
}

struct Verdict {
    double oursMpt, oursXmp, peers;
    bool judged; /* false: the peers' envelope is flat (nothing to compare) */
    bool pass() const { return !judged || std::max(oursMpt, oursXmp) >= peers - TOLERANCE; }
};

/* ours: one envelope per starting offset; the best of them counts. */
Verdict judge(const std::vector<std::vector<double>>& ours, const std::vector<double>& mpt,
              const std::vector<double>& xmp)
{
    Verdict v{-1, -1, bestCorrelation(mpt, xmp), true};
    for (const std::vector<double>& o : ours) {
        v.oursMpt = std::max(v.oursMpt, bestCorrelation(o, mpt));
        v.oursXmp = std::max(v.oursXmp, bestCorrelation(o, xmp));
    }
    v.judged = spread(mpt) >= SILENT_SPREAD || spread(xmp) >= SILENT_SPREAD;
    return v;
}

std::string cellText(const Verdict& v)
{
    char buf[64];
    if (!v.judged)
        snprintf(buf, sizeof buf, "%5s %5s %5s", "-", "-", "-");
    else
        snprintf(buf, sizeof buf, "%5.2f %5.2f %5.2f", v.oursMpt, v.oursXmp, v.peers);
    return buf;
}

TEST(Fidelity, RealSongsSoundAsBothPeersPlayThem)
{
    std::vector<std::string> songs = mpt::realSongs(ORVEL_TEST_MODULES);
    if (songs.empty())
        GTEST_SKIP() << "no songs in " ORVEL_TEST_MODULES " (make test fetches them with scripts/get-test-modules)";
    if (ts::run("command -v openmpt123").empty())
        GTEST_SKIP() << "openmpt123 is not installed (scripts/install-deps installs it)";
    if (ts::run("command -v xmp").empty())
        GTEST_SKIP() << "xmp is not installed (scripts/install-deps installs it)";
    std::string dir = ts::makeTempDir("fidelity");
    printf("%-34s %-17s   %-17s\n", "", "mid", "side");
    printf("%-34s %5s %5s %5s   %5s %5s %5s\n", "song", "o-mpt", "o-xmp", "peers", "o-mpt", "o-xmp", "peers");
    int failed = 0;
    for (const std::string& path : songs) {
        std::string name = path.substr(path.rfind('/') + 1);
        std::string ours = dir + "/ours.wav", mpt = dir + "/mpt.wav", xmp = dir + "/xmp.wav";
        std::string q = "'" + path + "'";
        ts::run(std::string(ORVEL_MODPLAY_TOOL) + " " + q + " -o " + ours + " --seconds " + std::to_string(SECONDS) +
                " 2>&1");
        ts::run("openmpt123 --batch --no-float --samplerate 22050 --filter 1 --ramping 0 --end-time 30 --force -o " +
                mpt + " " + q + " >/dev/null 2>&1");
        ts::run("xmp -f 22050 -i nearest -t 30 -o " + xmp + " " + q + " >/dev/null 2>&1");
        std::vector<int16_t> pcm = readWav(ours);
        std::vector<std::vector<double>> oursMid, oursSide;
        for (int k = 0; k < PHASES; k++) {
            Envelopes eo = envelopes(pcm, (size_t)(k * WINDOW / PHASES));
            oursMid.push_back(eo.mid);
            oursSide.push_back(eo.side);
        }
        Envelopes em = envelopes(readWav(mpt)), ex = envelopes(readWav(xmp));
        ASSERT_FALSE(oursMid[0].empty()) << name << ": orvel-modplay wrote no audio";
        ASSERT_FALSE(em.mid.empty()) << name << ": openmpt123 wrote no audio";
        ASSERT_FALSE(ex.mid.empty()) << name << ": xmp wrote no audio";
        Verdict mid = judge(oursMid, em.mid, ex.mid), side = judge(oursSide, em.side, ex.side);
        bool ok = mid.pass() && side.pass();
        failed += ok ? 0 : 1;
        printf("%-34s %s   %s  %s\n", name.c_str(), cellText(mid).c_str(), cellText(side).c_str(),
               ok ? "" : "UNLIKE");
        EXPECT_TRUE(ok) << name << ": ours correlates with neither peer as well as they agree";
        remove(ours.c_str());
        remove(mpt.c_str());
        remove(xmp.c_str());
    }
    printf("%d of %zu songs sound unlike both peers\n", failed, songs.size());
    ts::removeTree(dir);
}

} // namespace
