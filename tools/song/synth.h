/*
 * synth: the small sound kit the soundtrack's instruments are made with.
 *
 * Everything here is deterministic to the bit on every machine: the only
 * floating-point operations are IEEE add, subtract, multiply, divide, floor,
 * ldexp and frexp (all exact or correctly rounded), so sine, exponential and
 * logarithm are computed here by series instead of by the C library, and the
 * random numbers come from our own seeded generator, never from rand().
 *
 * Waves are plain vectors of doubles at the song's sample rate, 22050 Hz,
 * nominally within -1..1. toSample() turns one into an 8- or 16-bit XM
 * sample; tune() sets a sample's relative note and finetune so that every
 * note plays at its equal-tempered pitch (A-4, note index 57, at 440 Hz).
 */
#ifndef ORVEL_TOOLS_SONG_SYNTH_H
#define ORVEL_TOOLS_SONG_SYNTH_H

#include <cstdint>
#include <functional>
#include <vector>

#include "tools/xmwriter/xmwriter.h"

namespace synth {

const double RATE = 22050.0; /* Hz, every sample is made at this rate */
const double PI = 3.14159265358979323846;

using Wave = std::vector<double>;

/* ---- Deterministic arithmetic --------------------------------------------- */

/* sin(2 pi x) for any finite x (x in cycles). Absolute error below 1e-11. */
double sin2pi(double x);
/* cos(2 pi x). */
double cos2pi(double x);
/* e^x; 0 below -700, capped at e^700. Relative error below 1e-14. */
double expd(double x);
/* log2(x) for x > 0; -1100 for x <= 0. Absolute error below 1e-14. */
double log2d(double x);
/* 2^x. */
double pow2d(double x);
/* tanh(x). */
double tanhd(double x);
/* x rounded to the nearest integer, halves away from zero. */
long roundd(double x);

/* ---- Random numbers -------------------------------------------------------- */

/* A 64-bit xorshift-multiply generator (splitmix64): the same sequence for
 * the same seed everywhere. */
struct Rng {
    uint64_t state;
    explicit Rng(uint64_t seed) : state(seed) {}
    uint64_t next64();
    /* uniform in [0, 1), 53 random bits */
    double uni();
    /* uniform in [-1, 1) */
    double bi();
};

/* ---- Filters ---------------------------------------------------------------- */

/* A state-variable filter (trapezoidal, zero-delay feedback): low-, band- and
 * high-pass outputs of one input sample. Stable for any cutoff below the
 * Nyquist frequency and any q > 0. */
struct Svf {
    double g = 0, k = 1, ic1 = 0, ic2 = 0;
    double low = 0, band = 0, high = 0;
    /* cutoff in Hz (clamped below 0.49 of the rate), q the resonance: 0.5
     * is smooth, larger rings. */
    void set(double cutoff, double q);
    void run(double x);
};

/* One-pole low-pass: y += a (x - y), a from the cutoff in Hz. */
struct OnePole {
    double a = 1, y = 0;
    void set(double cutoff);
    double low(double x);
    /* x minus its low-passed self */
    double high(double x);
};

/* ---- Building waves ----------------------------------------------------------- */

/* A wave of n frames, each f(i, t) with t = i / RATE seconds. */
Wave render(int n, const std::function<double(int, double)>& f);

/* Largest absolute value of the waves. */
double peak(const std::vector<const Wave*>& waves);
double peak(const Wave& w);

/* Multiplies every frame by g. */
void scale(Wave& w, double g);

/* A periodic tone made of partials, for looping: the loop is the last
 * `loopFrames` frames and holds exactly one period of everything, so it
 * repeats without a seam. Partial j turns `cycles[j]` whole times per loop
 * (its frequency is cycles * RATE / loopFrames) with the start phase
 * phase[j] (cycles); amp(j, t) gives its amplitude at t seconds, evaluated
 * up to the loop and frozen from there on. The wave is attackFrames +
 * loopFrames long. Partials whose frequency is at or above `maxHz` are left
 * out. */
struct Partials {
    std::vector<int> cycles;
    std::vector<double> phase;
};
Wave additive(int attackFrames, int loopFrames, const Partials& p, double maxHz,
              const std::function<double(int, double)>& amp);

/* ---- From waves to XM samples ------------------------------------------------- */

/* The sample of wave w multiplied by gain (1 = full scale), rounded and
 * clamped to the width: 16-bit (-32767..32767) or 8-bit (-127..127). */
xmw::Sample toSample(const char* name, const Wave& w, double gain, bool is16Bit);

/* Frequency in Hz of note index n (0 = C-0, 57 = A-4 = 440 Hz). */
double noteHz(double n);

/* Sets relativeNote and finetune so that the sample, whose wave has the
 * fundamental `hz` when played at RATE, sounds at noteHz(n) for every note n.
 * The finetune is kept even so that the player's halving of it is exact. */
void tune(xmw::Sample& s, double hz);

/* Sets a forward or ping-pong loop over frames [start, start + length). */
void setLoop(xmw::Sample& s, xmw::LoopType type, int start, int length);

/* Maps note indices [from, to] of the instrument to sample k. */
void mapNotes(xmw::Instrument& ins, int from, int to, int k);

/* An envelope from (tick, value) points, with the sustain point and the loop
 * points given as indices (-1 none). */
xmw::Envelope envelope(std::vector<xmw::EnvPoint> points, int sustain = -1, int loopStart = -1, int loopEnd = -1);

} // namespace synth

#endif
