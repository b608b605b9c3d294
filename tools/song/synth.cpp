/*
 * synth: deterministic arithmetic, random numbers, filters and the wave to
 * sample conversion of the soundtrack's instruments (see synth.h).
 */
#include "tools/song/synth.h"

#include <cmath>

namespace synth {

namespace {

const double LN2 = 0.693147180559945309417;
const double LN2_HI = 0.693145751953125;        /* ln 2 split in two so that k * LN2_HI is exact */
const double LN2_LO = 1.42860682030941723212e-6; /* ln 2 - LN2_HI */
const double LOG2E = 1.44269504088896340736;    /* 1 / ln 2 */

/* sin(a) and cos(a) for 0 <= a < pi/2 by their Taylor series, Horner form,
 * up to the a^17 and a^18 terms (the next terms are below 4e-14). */
double sinSeries(double a)
{
    double a2 = a * a;
    double s = 1.0 / 355687428096000.0; /* 1/17! */
    s = 1.0 / 1307674368000.0 - a2 * s; /* 1/15! */
    s = 1.0 / 6227020800.0 - a2 * s;    /* 1/13! */
    s = 1.0 / 39916800.0 - a2 * s;      /* 1/11! */
    s = 1.0 / 362880.0 - a2 * s;        /* 1/9! */
    s = 1.0 / 5040.0 - a2 * s;          /* 1/7! */
    s = 1.0 / 120.0 - a2 * s;           /* 1/5! */
    s = 1.0 / 6.0 - a2 * s;             /* 1/3! */
    s = 1.0 - a2 * s;
    return a * s;
}

double cosSeries(double a)
{
    double a2 = a * a;
    double c = 1.0 / 6402373705728000.0; /* 1/18! */
    c = 1.0 / 20922789888000.0 - a2 * c; /* 1/16! */
    c = 1.0 / 87178291200.0 - a2 * c;    /* 1/14! */
    c = 1.0 / 479001600.0 - a2 * c;      /* 1/12! */
    c = 1.0 / 3628800.0 - a2 * c;        /* 1/10! */
    c = 1.0 / 40320.0 - a2 * c;          /* 1/8! */
    c = 1.0 / 720.0 - a2 * c;            /* 1/6! */
    c = 1.0 / 24.0 - a2 * c;             /* 1/4! */
    c = 1.0 / 2.0 - a2 * c;              /* 1/2! */
    c = 1.0 - a2 * c;
    return c;
}

} // namespace

double sin2pi(double x)
{
    double r = x - floor(x); /* 0 <= r < 1 */
    double q4 = r * 4.0;
    double q = floor(q4);
    double a = (q4 - q) * (PI / 2.0);
    switch ((int)q) {
    case 0:
        return sinSeries(a);
    case 1:
        return cosSeries(a);
    case 2:
        return -sinSeries(a);
    default:
        return -cosSeries(a);
    }
}

double cos2pi(double x)
{
    return sin2pi(x + 0.25);
}

double expd(double x)
{
    if (x < -700.0)
        return 0.0;
    if (x > 700.0)
        x = 700.0;
    double k = floor(x * LOG2E + 0.5);
    double r = (x - k * LN2_HI) - k * LN2_LO; /* |r| <= 0.35 */
    /* Taylor series of e^r to r^13 */
    double p = 1.0 / 6227020800.0;
    const double inv[13] = {1.0 / 479001600.0, 1.0 / 39916800.0, 1.0 / 3628800.0, 1.0 / 362880.0,
                            1.0 / 40320.0,     1.0 / 5040.0,     1.0 / 720.0,     1.0 / 120.0,
                            1.0 / 24.0,        1.0 / 6.0,        1.0 / 2.0,       1.0,
                            1.0};
    for (double c : inv)
        p = c + r * p;
    return ldexp(p, (int)k);
}

double log2d(double x)
{
    if (!(x > 0.0))
        return -1100.0;
    int e = 0;
    double m = frexp(x, &e); /* 0.5 <= m < 1 */
    if (m < 0.70710678118654752440) {
        m *= 2.0;
        e -= 1;
    }
    /* ln m = 2 atanh(s), s = (m - 1) / (m + 1), |s| < 0.172: odd powers to s^23 */
    double s = (m - 1.0) / (m + 1.0);
    double s2 = s * s;
    double sum = 0.0;
    for (int k = 23; k >= 1; k -= 2)
        sum = 1.0 / k + s2 * sum;
    return e + 2.0 * s * sum * LOG2E;
}

double pow2d(double x)
{
    return expd(x * LN2);
}

double tanhd(double x)
{
    if (x > 20.0)
        return 1.0;
    if (x < -20.0)
        return -1.0;
    double e = expd(2.0 * x);
    return (e - 1.0) / (e + 1.0);
}

long roundd(double x)
{
    return x >= 0 ? (long)floor(x + 0.5) : -(long)floor(-x + 0.5);
}

uint64_t Rng::next64()
{
    state += 0x9E3779B97F4A7C15ull;
    uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double Rng::uni()
{
    return (double)(next64() >> 11) * (1.0 / 9007199254740992.0); /* 2^-53 */
}

double Rng::bi()
{
    return uni() * 2.0 - 1.0;
}

void Svf::set(double cutoff, double q)
{
    double c = cutoff / RATE;
    if (c > 0.49)
        c = 0.49;
    if (c < 0.00001)
        c = 0.00001;
    g = sin2pi(c / 2.0) / cos2pi(c / 2.0); /* tan(pi c) */
    k = 1.0 / q;
}

void Svf::run(double x)
{
    double a1 = 1.0 / (1.0 + g * (g + k));
    double a2 = g * a1;
    double a3 = g * a2;
    double v3 = x - ic2;
    double v1 = a1 * ic1 + a2 * v3;
    double v2 = ic2 + a2 * ic1 + a3 * v3;
    ic1 = 2.0 * v1 - ic1;
    ic2 = 2.0 * v2 - ic2;
    low = v2;
    band = v1;
    high = x - k * v1 - v2;
}

void OnePole::set(double cutoff)
{
    a = 1.0 - expd(-2.0 * PI * cutoff / RATE);
}

double OnePole::low(double x)
{
    y += a * (x - y);
    return y;
}

double OnePole::high(double x)
{
    return x - low(x);
}

Wave render(int n, const std::function<double(int, double)>& f)
{
    Wave w((size_t)n);
    for (int i = 0; i < n; i++)
        w[(size_t)i] = f(i, i / RATE);
    return w;
}

double peak(const Wave& w)
{
    double m = 0;
    for (double v : w)
        m = fabs(v) > m ? fabs(v) : m;
    return m;
}

double peak(const std::vector<const Wave*>& waves)
{
    double m = 0;
    for (const Wave* w : waves) {
        double p = peak(*w);
        m = p > m ? p : m;
    }
    return m;
}

void scale(Wave& w, double g)
{
    for (double& v : w)
        v *= g;
}

Wave additive(int attackFrames, int loopFrames, const Partials& p, double maxHz,
              const std::function<double(int, double)>& amp)
{
    const int64_t L = loopFrames;
    std::vector<double> table((size_t)L);
    for (int64_t j = 0; j < L; j++)
        table[(size_t)j] = sin2pi((double)j / (double)L);
    struct Live {
        int index;
        int64_t cycles, phase;
        double frozen;
    };
    std::vector<Live> live;
    for (size_t j = 0; j < p.cycles.size(); j++) {
        double hz = p.cycles[j] * RATE / (double)L;
        if (p.cycles[j] <= 0 || hz >= maxHz)
            continue;
        int64_t ph = (roundd(p.phase[j] * (double)L) % L + L) % L;
        live.push_back({(int)j, p.cycles[j], ph, amp((int)j, attackFrames / RATE)});
    }
    Wave w((size_t)(attackFrames + loopFrames));
    for (int64_t i = 0; i < attackFrames + L; i++) {
        double t = i / RATE;
        double v = 0;
        for (const Live& q : live) {
            double a = i < attackFrames ? amp(q.index, t) : q.frozen;
            v += a * table[(size_t)((q.cycles * i + q.phase) % L)];
        }
        w[(size_t)i] = v;
    }
    return w;
}

xmw::Sample toSample(const char* name, const Wave& w, double gain, bool is16Bit)
{
    xmw::Sample s;
    s.name = name;
    s.is16Bit = is16Bit;
    double full = is16Bit ? 32767.0 : 127.0;
    s.data.resize(w.size());
    for (size_t i = 0; i < w.size(); i++) {
        long v = roundd(w[i] * gain * full);
        v = v > (long)full ? (long)full : v < -(long)full ? -(long)full : v;
        s.data[i] = (int16_t)v;
    }
    return s;
}

double noteHz(double n)
{
    return 440.0 * pow2d((n - 57.0) / 12.0);
}

void tune(xmw::Sample& s, double hz)
{
    /* Note n plays the sample at 8363 * 2^((n + rel - 48) / 12 + ft / 1536)
     * frames a second, which sounds at hz times that over RATE; setting that
     * equal to noteHz(n) = 440 * 2^((n - 57) / 12) for every n gives
     * rel + ft / 128 = 12 log2(440 RATE / (8363 hz)) - 9. */
    double x = 12.0 * log2d(440.0 * RATE / (8363.0 * hz)) - 9.0;
    long rel = roundd(x);
    long ft = 2 * roundd((x - (double)rel) * 64.0);
    if (ft > 126)
        ft = 126;
    if (ft < -128)
        ft = -128;
    rel = rel > 95 ? 95 : rel < -96 ? -96 : rel;
    s.relativeNote = (int8_t)rel;
    s.finetune = (int8_t)ft;
}

void setLoop(xmw::Sample& s, xmw::LoopType type, int start, int length)
{
    s.loop = type;
    s.loopStart = start;
    s.loopLength = length;
}

void mapNotes(xmw::Instrument& ins, int from, int to, int k)
{
    for (int n = from; n <= to && n < 96; n++)
        if (n >= 0)
            ins.noteSample[n] = (uint8_t)k;
}

xmw::Envelope envelope(std::vector<xmw::EnvPoint> points, int sustain, int loopStart, int loopEnd)
{
    xmw::Envelope e;
    e.on = true;
    e.points = std::move(points);
    e.sustain = sustain;
    e.loopStart = loopStart;
    e.loopEnd = loopEnd;
    return e;
}

} // namespace synth
