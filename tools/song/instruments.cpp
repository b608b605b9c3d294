/*
 * instruments: how each of the soundtrack's instruments is made (see
 * instruments.h). Levels: every instrument's samples are normalised together
 * to just under full scale; their balance in the mix comes from the sample
 * volumes here and the volumes the score gives each note.
 */
#include "tools/song/instruments.h"

#include <cmath>

#include "tools/song/score.h"
#include "tools/song/synth.h"

namespace instruments {

namespace {

using namespace synth;

const double FULL = 0.96; /* peak of every instrument's loudest sample */

int frames(double seconds)
{
    return (int)roundd(seconds * RATE);
}

/* A naive square wave of frequency f at t seconds (its aliasing is part of a
 * metal sound's noise). */
double square(double f, double t)
{
    double ph = f * t;
    return ph - floor(ph) < 0.5 ? 1.0 : -1.0;
}

/* Fades the last n frames linearly to silence. */
void fadeTail(Wave& w, int n)
{
    int len = (int)w.size();
    for (int i = 0; i < n && i < len; i++)
        w[(size_t)(len - 1 - i)] *= (double)i / n;
}

/* Normalises the waves together to FULL and makes samples of them. */
std::vector<xmw::Sample> samples(const std::vector<const Wave*>& waves, const std::vector<const char*>& names,
                                 const std::vector<bool>& wide)
{
    double g = FULL / peak(waves);
    std::vector<xmw::Sample> out;
    for (size_t i = 0; i < waves.size(); i++)
        out.push_back(toSample(names[i], *waves[i], g, wide[i]));
    return out;
}

double pw(double x, double e)
{
    return pow2d(e * log2d(x));
}

/* ---- Drums ------------------------------------------------------------------------ */

/* A sine whose pitch drops from a click to a low thump, a filtered noise
 * click on top, soft-clipped. The toms are this played higher. */
xmw::Instrument kick()
{
    Rng rng(0x6B69636Bull);
    OnePole lp;
    lp.set(2500);
    double phase = 0;
    int n = frames(0.42);
    Wave w = render(n, [&](int, double t) {
        double f = 46.0 + 100.0 * expd(-t / 0.032) + 70.0 * expd(-t / 0.005);
        double body = sin2pi(phase) * expd(-t / 0.17);
        phase += f / RATE;
        double click = lp.low(rng.bi()) * expd(-t / 0.003) * 0.8;
        return tanhd(1.7 * (body + click)) / tanhd(1.7);
    });
    fadeTail(w, 220);
    xmw::Instrument ins;
    ins.name = "kick";
    ins.samples = samples({&w}, {"kick 16-bit"}, {true});
    tune(ins.samples[0], noteHz(score::K_KICK));
    mapNotes(ins, 0, 95, 0);
    return ins;
}

/* Snare: two drum-head modes and band-passed noise, with a little room;
 * clap: four bursts of band-passed noise and a tail; rim: two short tones
 * and a click. */
xmw::Instrument snares()
{
    Rng rng(0x736E617265ull);
    Svf bp;
    bp.set(4200, 0.7);
    double p1 = 0, p2 = 0;
    Wave snare = render(frames(0.34), [&](int, double t) {
        double f1 = 185.0 + 60.0 * expd(-t / 0.012), f2 = 330.0 + 40.0 * expd(-t / 0.01);
        double tone = 0.55 * sin2pi(p1) * expd(-t / 0.055) + 0.3 * sin2pi(p2) * expd(-t / 0.03);
        p1 += f1 / RATE;
        p2 += f2 / RATE;
        bp.run(rng.bi());
        double noise = (1.2 * bp.band + 0.35 * bp.high) * (0.75 * expd(-t / 0.085) + 0.5 * expd(-t / 0.012));
        return tone + noise;
    });
    Wave room = snare;
    const int taps[3] = {263, 419, 587};
    const double gains[3] = {0.14, 0.10, 0.07};
    for (size_t i = 0; i < snare.size(); i++)
        for (int k = 0; k < 3; k++)
            if (i >= (size_t)taps[k])
                room[i] += gains[k] * snare[i - (size_t)taps[k]];
    fadeTail(room, 330);

    Svf cbp;
    cbp.set(1300, 1.6);
    const double bursts[3] = {0.0, 0.0105, 0.0215};
    Wave clap = render(frames(0.33), [&](int, double t) {
        double env = 0;
        for (double b : bursts)
            if (t >= b)
                env += expd(-(t - b) / 0.0045);
        if (t >= 0.033)
            env += expd(-(t - 0.033) / 0.13);
        cbp.run(rng.bi());
        return (1.5 * cbp.band + 0.3 * cbp.high) * env;
    });
    fadeTail(clap, 330);

    OnePole hp;
    hp.set(3000);
    Wave rim = render(frames(0.06), [&](int, double t) {
        return 0.6 * sin2pi(1720.0 * t) * expd(-t / 0.010) + 0.5 * sin2pi(790.0 * t) * expd(-t / 0.016) +
               0.6 * hp.high(rng.bi()) * expd(-t / 0.0015);
    });
    fadeTail(rim, 60);

    xmw::Instrument ins;
    ins.name = "snare clap rim";
    ins.samples = samples({&room}, {"snare 16-bit"}, {true});
    xmw::Sample c = samples({&clap}, {"clap 16-bit"}, {true})[0];
    xmw::Sample r = samples({&rim}, {"rim 8-bit"}, {false})[0];
    ins.samples.push_back(c);
    ins.samples.push_back(r);
    ins.samples[0].volume = 64;
    ins.samples[1].volume = 60;
    ins.samples[2].volume = 44;
    ins.samples[2].panning = 112;
    tune(ins.samples[0], noteHz(score::K_SNARE));
    tune(ins.samples[1], noteHz(score::K_CLAP));
    tune(ins.samples[2], noteHz(score::K_RIM));
    mapNotes(ins, 0, score::K_CLAP - 1, 0);
    mapNotes(ins, score::K_CLAP, score::K_RIM - 1, 1);
    mapNotes(ins, score::K_RIM, 95, 2);
    return ins;
}

/* Six square waves at inharmonic pitches, band-passed high, with noise;
 * closed, open and pedal differ in their decay. */
xmw::Instrument hats()
{
    Rng rng(0x68617473ull);
    const double f[6] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
    auto metal = [&](double decay, double seconds, double chick) {
        Svf bp, lo;
        bp.set(8500, 0.9);
        lo.set(2000, 0.8);
        OnePole hp;
        hp.set(6000);
        Wave w = render(frames(seconds), [&](int, double t) {
            double m = 0;
            for (double x : f)
                m += square(x * 1.4, t);
            bp.run(m / 6.0);
            double noise = rng.bi();
            lo.run(noise);
            double v = bp.band + 0.3 * bp.high + 0.5 * hp.high(noise) + chick * lo.band * expd(-t / 0.006);
            double attack = t < 0.0005 ? t / 0.0005 : 1.0;
            return v * attack * expd(-t / decay);
        });
        fadeTail(w, frames(0.01));
        return w;
    };
    Wave closed = metal(0.028, 0.09, 0.0), open = metal(0.2, 0.5, 0.0), pedal = metal(0.012, 0.05, 1.2);
    xmw::Instrument ins;
    ins.name = "hi-hats";
    ins.samples = {samples({&closed}, {"closed hat 8-bit"}, {false})[0], samples({&open}, {"open hat 8-bit"}, {false})[0],
                   samples({&pedal}, {"pedal hat 8-bit"}, {false})[0]};
    const int keys[3] = {score::K_CLOSED, score::K_OPEN, score::K_PEDAL};
    for (int k = 0; k < 3; k++) {
        ins.samples[(size_t)k].panning = 156;
        ins.samples[(size_t)k].volume = 52;
        tune(ins.samples[(size_t)k], noteHz(keys[k]));
    }
    mapNotes(ins, 0, score::K_OPEN - 1, 0);
    mapNotes(ins, score::K_OPEN, score::K_PEDAL - 1, 1);
    mapNotes(ins, score::K_PEDAL, 95, 2);
    return ins;
}

/* Conga (a pitched membrane with a slap), shaker (high noise with a soft
 * attack), cowbell (two squares through a band-pass), tambourine (jingles:
 * noise and metal in three quick bursts). */
xmw::Instrument perc()
{
    Rng rng(0x70657263ull);
    Svf sbp;
    sbp.set(2000, 1.0);
    double ph = 0;
    Wave conga = render(frames(0.3), [&](int, double t) {
        double f = 210.0 + 50.0 * expd(-t / 0.008);
        double body = sin2pi(ph) * expd(-t / 0.17);
        ph += f / RATE;
        sbp.run(rng.bi());
        return body + 0.35 * sbp.band * expd(-t / 0.004);
    });
    fadeTail(conga, 200);

    Svf shp;
    shp.set(5000, 0.7);
    Wave shaker = render(frames(0.11), [&](int, double t) {
        shp.run(rng.bi());
        double env = t < 0.018 ? (t / 0.018) * (t / 0.018) : expd(-(t - 0.018) / 0.03);
        return shp.high * env;
    });
    fadeTail(shaker, 100);

    Svf cbp;
    cbp.set(850, 1.4);
    Wave cowbell = render(frames(0.35), [&](int, double t) {
        cbp.run(square(562.0, t) + square(845.0, t));
        return cbp.band * (0.7 * expd(-t / 0.01) + 0.35 * expd(-t / 0.13));
    });
    fadeTail(cowbell, 300);

    Svf tbp, mbp;
    tbp.set(7200, 2.5);
    mbp.set(5200, 1.5);
    const double hits[3] = {0.0, 0.011, 0.024};
    Wave tamb = render(frames(0.25), [&](int, double t) {
        tbp.run(rng.bi());
        mbp.run(square(2350.0, t) + square(3710.0, t) + square(5170.0, t));
        double env = 0;
        for (int k = 0; k < 3; k++)
            if (t >= hits[k])
                env += expd(-(t - hits[k]) / 0.03) * (1.0 - 0.25 * k);
        return (1.6 * tbp.band + 0.25 * mbp.band) * env;
    });
    fadeTail(tamb, 300);

    xmw::Instrument ins;
    ins.name = "congas shaker bell";
    ins.samples = samples({&conga}, {"conga 8-bit"}, {false});
    ins.samples.push_back(samples({&shaker}, {"shaker 8-bit"}, {false})[0]);
    ins.samples.push_back(samples({&cowbell}, {"cowbell 8-bit"}, {false})[0]);
    ins.samples.push_back(samples({&tamb}, {"tambourine 8-bit"}, {false})[0]);
    const int keys[4] = {score::K_CONGA, score::K_SHAKER, score::K_COWBELL, score::K_TAMB};
    const uint8_t pans[4] = {100, 84, 148, 176};
    const uint8_t vols[4] = {48, 40, 40, 40};
    for (int k = 0; k < 4; k++) {
        tune(ins.samples[(size_t)k], noteHz(keys[k]));
        ins.samples[(size_t)k].panning = pans[k];
        ins.samples[(size_t)k].volume = vols[k];
    }
    mapNotes(ins, 0, score::K_SHAKER - 1, 0);
    mapNotes(ins, score::K_SHAKER, score::K_COWBELL - 1, 1);
    mapNotes(ins, score::K_COWBELL, score::K_TAMB - 1, 2);
    mapNotes(ins, score::K_TAMB, 95, 3);
    return ins;
}

/* Crash: inharmonic partials and high noise with a bright burst; the
 * reversed crash is its first two beats played backwards, swelling into the
 * next downbeat. */
xmw::Instrument cymbals()
{
    Rng rng(0x6372617368ull);
    const int P = 16;
    double pf[P], pa[P], pd[P];
    for (int k = 0; k < P; k++) {
        pf[k] = 400.0 * pow2d(rng.uni() * 4.5); /* 400 .. 9000 Hz */
        pa[k] = 0.3 + 0.7 * rng.uni();
        pd[k] = 0.3 + 0.7 * rng.uni();
    }
    Svf hp;
    hp.set(3500, 0.6);
    Wave crash = render(frames(1.5), [&](int, double t) {
        double m = 0;
        for (int k = 0; k < P; k++)
            m += pa[k] * sin2pi(pf[k] * t) * expd(-t / pd[k]);
        double noise = rng.bi();
        hp.run(noise);
        double v = 0.05 * m + hp.high * expd(-t / 0.45) + noise * expd(-t / 0.01);
        return v * (t < 0.002 ? t / 0.002 : 1.0);
    });
    fadeTail(crash, frames(0.1));
    /* two beats at the song's tempo: 2 * 4 rows * 6 ticks * 580 frames */
    const int swell = 27840;
    Wave reverse((size_t)swell);
    for (int i = 0; i < swell; i++)
        reverse[(size_t)i] = crash[(size_t)(swell - 1 - i)];
    fadeTail(reverse, 180);
    xmw::Instrument ins;
    ins.name = "crash reverse";
    ins.samples = samples({&crash, &reverse}, {"crash 16-bit", "reverse crash 16-bit"}, {true, true});
    ins.samples[0].volume = 40;
    ins.samples[1].volume = 36;
    ins.samples[0].panning = 100;
    tune(ins.samples[0], noteHz(score::K_CRASH));
    tune(ins.samples[1], noteHz(score::K_REVERSE));
    mapNotes(ins, 0, score::K_REVERSE - 1, 0);
    mapNotes(ins, score::K_REVERSE, 95, 1);
    return ins;
}

/* ---- Tonal instruments ------------------------------------------------------------ */

/* A loop of one period of `hz` at the sample rate: its length in frames. */
int period(double hz)
{
    return (int)roundd(RATE / hz);
}

/* Slap bass: a string's harmonics with a bright twang near 1.3 kHz that
 * dies fast while the fundamental stays, a click of noise on the attack;
 * frozen into a one-period loop after 0.3 s, the envelope does the decay.
 * Keys from C-6 up play a muted dead note. */
xmw::Instrument slap()
{
    Rng rng(0x736C6170ull);
    const int centres[3] = {21, 33, 45}; /* */
    std::vector<Wave> waves;
    std::vector<double> hz;
    int attack = frames(0.3);
    for (int c : centres) {
        int L = period(noteHz(c));
        double fs = RATE / L;
        Partials p;
        for (int k = 1; k * fs < 8000.0; k++) {
            p.cycles.push_back(k);
            p.phase.push_back(0.0);
        }
        Wave w = additive(attack, L, p, 8000.0, [&](int j, double t) {
            double k = j + 1.0, fk = k * fs;
            double base = pw(k, -0.85);
            double sus = j == 0 ? 1.0 : 0.9 * pw(k, -1.6);
            double z = (fk - 1300.0) / 900.0;
            double twang = 1.0 + 2.2 * expd(-z * z);
            double decay = 2.0 + 0.018 * fk;
            return base * (sus + (twang - sus) * expd(-t * decay));
        });
        Svf bp;
        bp.set(2400, 1.0);
        for (int i = 0; i < frames(0.05); i++) {
            double t = i / RATE;
            bp.run(rng.bi());
            w[(size_t)i] += 0.6 * bp.band * expd(-t / 0.006);
            if (t < 0.0004)
                w[(size_t)i] *= t / 0.0004;
        }
        waves.push_back(w);
        hz.push_back(fs);
    }
    Svf dbp;
    dbp.set(1100, 1.2);
    double ph = 0;
    Wave dead = render(frames(0.07), [&](int, double t) {
        double v = 0.8 * sin2pi(ph) * expd(-t / 0.018);
        ph += 95.0 / RATE;
        dbp.run(rng.bi());
        return v + 0.7 * dbp.band * expd(-t / 0.01);
    });
    fadeTail(dead, 100);

    xmw::Instrument ins;
    ins.name = "slap bass";
    ins.samples = samples({&waves[0], &waves[1], &waves[2]}, {"slap A-1 16-bit", "slap A-2 16-bit", "slap A-3 16-bit"},
                          {true, true, true});
    for (int k = 0; k < 3; k++) {
        xmw::Sample& s = ins.samples[(size_t)k];
        tune(s, hz[(size_t)k]);
        setLoop(s, xmw::LOOP_FORWARD, attack, (int)waves[(size_t)k].size() - attack);
        s.volume = 64;
    }
    ins.samples.push_back(samples({&dead}, {"dead note 8-bit"}, {false})[0]);
    ins.samples[3].volume = 40;
    tune(ins.samples[3], noteHz(score::K_DEAD));
    mapNotes(ins, 0, 26, 0);
    mapNotes(ins, 27, 38, 1);
    mapNotes(ins, 39, score::K_DEAD - 1, 2);
    mapNotes(ins, score::K_DEAD, 95, 3);
    ins.volume = envelope({{0, 64}, {8, 52}, {30, 40}, {90, 28}, {200, 18}});
    ins.fadeout = 2500;
    return ins;
}

/* Synth bass: a sawtooth with a sub through a resonant low-pass whose cutoff
 * falls from 2.8 kHz to 440 Hz in the first 0.2 s. */
xmw::Instrument synbass()
{
    const int centres[2] = {21, 33};
    std::vector<Wave> waves;
    std::vector<double> hz;
    int attack = frames(0.22);
    for (int c : centres) {
        int L = period(noteHz(c));
        double fs = RATE / L;
        Partials p;
        for (int k = 1; k * fs < 7000.0; k++) {
            p.cycles.push_back(k);
            p.phase.push_back(0.0);
        }
        waves.push_back(additive(attack, L, p, 7000.0, [&](int j, double t) {
            double k = j + 1.0, fk = k * fs;
            double fc = 380.0 + 2400.0 * expd(-t / 0.06), q = 2.2;
            double x = fk / fc;
            double h = 1.0 / sqrt((1.0 - x * x) * (1.0 - x * x) + (x / q) * (x / q));
            return h / k + (j == 0 ? 0.6 : 0.0);
        }));
        hz.push_back(fs);
    }
    xmw::Instrument ins;
    ins.name = "synth bass";
    ins.samples = samples({&waves[0], &waves[1]}, {"synth bass A-1 16-bit", "synth bass A-2 16-bit"}, {true, true});
    for (int k = 0; k < 2; k++) {
        xmw::Sample& s = ins.samples[(size_t)k];
        tune(s, hz[(size_t)k]);
        setLoop(s, xmw::LOOP_FORWARD, attack, (int)waves[(size_t)k].size() - attack);
        s.volume = 60;
    }
    mapNotes(ins, 0, 26, 0);
    mapNotes(ins, 27, 95, 1);
    ins.volume = envelope({{0, 64}, {6, 58}, {24, 50}}, 2);
    ins.fadeout = 3000;
    return ins;
}

/* Electric piano: a 1:1 frequency-modulated sine whose index falls from 1.7
 * to 0.22 (the bark of the attack) with a seventh-harmonic tine ping. */
xmw::Instrument ep()
{
    const int centres[3] = {42, 54, 66}; /* F#3, F#4, F#5 */
    std::vector<Wave> waves;
    std::vector<double> hz;
    int attack = frames(0.6);
    for (int c : centres) {
        int L = period(noteHz(c));
        double fs = RATE / L;
        bool tine = 7.0 * fs < 9000.0;
        Wave w((size_t)(attack + L));
        for (int i = 0; i < attack + L; i++) {
            double t = (i < attack ? i : attack) / RATE;
            double ph = (double)(i % L) / L;
            double index = 0.22 + 1.5 * expd(-t / 0.16);
            double v = sin2pi(ph + index * sin2pi(ph) / (2.0 * PI));
            if (tine)
                v += 0.22 * expd(-t / 0.035) * sin2pi(7.0 * ph);
            if (i < 22)
                v *= i / 22.0;
            w[(size_t)i] = v;
        }
        waves.push_back(w);
        hz.push_back(fs);
    }
    xmw::Instrument ins;
    ins.name = "electric piano";
    ins.samples = samples({&waves[0], &waves[1], &waves[2]}, {"ep F#3 16-bit", "ep F#4 16-bit", "ep F#5 16-bit"},
                          {true, true, true});
    for (int k = 0; k < 3; k++) {
        xmw::Sample& s = ins.samples[(size_t)k];
        tune(s, hz[(size_t)k]);
        setLoop(s, xmw::LOOP_FORWARD, attack, (int)waves[(size_t)k].size() - attack);
        s.volume = 48;
    }
    mapNotes(ins, 0, 47, 0);
    mapNotes(ins, 48, 59, 1);
    mapNotes(ins, 60, 95, 2);
    ins.volume = envelope({{0, 64}, {4, 58}, {24, 44}, {80, 32}, {200, 24}, {400, 18}});
    ins.fadeout = 1500;
    return ins;
}

/* Builds a loop of detuned oscillators: osc o turns cycles[o] times per
 * harmonic in the loop, with harmonic amplitudes amp(o, k, hz). */
Wave detuned(int L, const std::vector<int>& oscCycles, double maxHz, Rng& rng,
             const std::function<double(int, int, double)>& amp)
{
    Partials p;
    std::vector<double> a;
    for (size_t o = 0; o < oscCycles.size(); o++)
        for (int k = 1; (double)k * oscCycles[o] * RATE / L < maxHz; k++) {
            p.cycles.push_back(k * oscCycles[o]);
            p.phase.push_back(rng.uni());
            a.push_back(amp((int)o, k, (double)k * oscCycles[o] * RATE / L));
        }
    return additive(0, L, p, maxHz, [&](int j, double) { return a[(size_t)j]; });
}

/* Lead: a sawtooth and a 35% pulse a few cents apart (the loop holds whole
 * periods of both, so it beats smoothly through the loop), softened above
 * 3.8 kHz. */
xmw::Instrument lead()
{
    Rng rng(0x6C656164ull);
    const int centres[3] = {55, 64, 72}; /* G-4, E-5, C-6 */
    const int M = 250;
    std::vector<Wave> waves;
    std::vector<double> hz;
    for (int c : centres) {
        int L = (int)roundd(M * RATE / noteHz(c));
        waves.push_back(detuned(L, {M, M + 1}, 7500.0, rng, [](int o, int k, double f) {
            double x = f / 3800.0;
            double h = 1.0 / sqrt(1.0 + x * x * x * x);
            double a = o == 0 ? 0.6 / k : 0.5 * 2.0 / (PI * k) * sin2pi(0.35 * k / 2.0);
            return a * h;
        }));
        hz.push_back((M + 0.5) * RATE / L);
    }
    xmw::Instrument ins;
    ins.name = "lead";
    ins.samples = samples({&waves[0], &waves[1], &waves[2]}, {"lead G-4 16-bit", "lead E-5 16-bit", "lead C-6 16-bit"},
                          {true, true, true});
    for (int k = 0; k < 3; k++) {
        xmw::Sample& s = ins.samples[(size_t)k];
        tune(s, hz[(size_t)k]);
        setLoop(s, xmw::LOOP_FORWARD, 0, (int)waves[(size_t)k].size());
        s.volume = 52;
    }
    mapNotes(ins, 0, 59, 0);
    mapNotes(ins, 60, 67, 1);
    mapNotes(ins, 68, 95, 2);
    ins.volume = envelope({{0, 0}, {2, 64}, {10, 50}, {24, 46}}, 3);
    ins.fadeout = 2200;
    return ins;
}

/* Pluck: a plucked string (Karplus-Strong: a burst of noise circulating in a
 * delay line of one period through an averaging filter). */
xmw::Instrument pluck()
{
    Rng rng(0x706C75636Bull);
    const int centres[2] = {60, 74};
    std::vector<Wave> waves;
    std::vector<double> hz;
    for (int c : centres) {
        int N = period(noteHz(c));
        Wave w((size_t)frames(0.9));
        OnePole lp;
        lp.set(5000);
        double mean = 0;
        for (int i = 0; i < N; i++) {
            w[(size_t)i] = lp.low(rng.bi());
            mean += w[(size_t)i];
        }
        mean /= N;
        for (int i = 0; i < N; i++)
            w[(size_t)i] -= mean;
        for (size_t i = (size_t)N; i < w.size(); i++)
            w[i] = 0.5 * (w[i - (size_t)N] + w[i - (size_t)N - (i > (size_t)N ? 1 : 0)]) * 0.999;
        fadeTail(w, frames(0.04));
        waves.push_back(w);
        hz.push_back(RATE / (N + 0.5)); /* the averaging filter delays half a frame */
    }
    xmw::Instrument ins;
    ins.name = "pluck";
    ins.samples = samples({&waves[0], &waves[1]}, {"pluck C-5 8-bit", "pluck D-6 8-bit"}, {false, false});
    for (int k = 0; k < 2; k++) {
        tune(ins.samples[(size_t)k], hz[(size_t)k]);
        ins.samples[(size_t)k].volume = 44;
        ins.samples[(size_t)k].panning = 168;
    }
    mapNotes(ins, 0, 66, 0);
    mapNotes(ins, 67, 95, 1);
    ins.volume = envelope({{0, 64}, {30, 48}, {90, 20}, {150, 0}});
    ins.fadeout = 4000;
    return ins;
}

/* Pad: three sawtooths spread over 28 cents, low-passed; a slow swell held
 * at the sustain point, a long release. */
xmw::Instrument pad()
{
    Rng rng(0x706164ull);
    const int centres[2] = {48, 60};
    const int M = 120;
    std::vector<Wave> waves;
    std::vector<double> hz;
    for (int c : centres) {
        int L = (int)roundd(M * RATE / noteHz(c));
        waves.push_back(detuned(L, {M - 1, M, M + 1}, 7000.0, rng, [](int, int k, double f) {
            double x = f / 2000.0;
            return 1.0 / (k * (1.0 + x * x));
        }));
        hz.push_back(M * RATE / L);
    }
    xmw::Instrument ins;
    ins.name = "pad";
    ins.samples = samples({&waves[0], &waves[1]}, {"pad C-4 16-bit", "pad C-5 16-bit"}, {true, true});
    for (int k = 0; k < 2; k++) {
        xmw::Sample& s = ins.samples[(size_t)k];
        tune(s, hz[(size_t)k]);
        setLoop(s, xmw::LOOP_PINGPONG, 0, (int)waves[(size_t)k].size());
        s.volume = 44;
    }
    mapNotes(ins, 0, 53, 0);
    mapNotes(ins, 54, 95, 1);
    ins.volume = envelope({{0, 0}, {20, 34}, {48, 54}, {80, 60}}, 3);
    ins.fadeout = 400;
    return ins;
}

/* Brass: two sawtooths 11 cents apart whose low-pass opens to 4.5 kHz in
 * 25 ms and settles at 880 Hz. */
xmw::Instrument brass()
{
    Rng rng(0x6272617373ull);
    const int centres[2] = {55, 67};
    const int M = 160;
    int attack = frames(0.3);
    std::vector<Wave> waves;
    std::vector<double> hz;
    for (int c : centres) {
        int L = (int)roundd(M * RATE / noteHz(c));
        Partials p;
        std::vector<int> harmonic;
        std::vector<double> weight;
        for (int o = 0; o < 2; o++)
            for (int k = 1; (double)k * (M + o) * RATE / L < 8000.0; k++) {
                p.cycles.push_back(k * (M + o));
                p.phase.push_back(rng.uni());
                harmonic.push_back(k);
                weight.push_back(o == 0 ? 1.0 : 0.8);
            }
        waves.push_back(additive(attack, L, p, 8000.0, [&](int j, double t) {
            double k = harmonic[(size_t)j];
            double fk = p.cycles[(size_t)j] * RATE / L;
            double fc = t < 0.025 ? 700.0 + 3800.0 * (t / 0.025) : 700.0 + 3800.0 * expd(-(t - 0.025) / 0.09);
            double x = fk / fc;
            return weight[(size_t)j] / (k * sqrt(1.0 + x * x * x * x));
        }));
        hz.push_back((M + 0.4) * RATE / L);
    }
    xmw::Instrument ins;
    ins.name = "brass";
    ins.samples = samples({&waves[0], &waves[1]}, {"brass G-4 16-bit", "brass G-5 16-bit"}, {true, true});
    for (int k = 0; k < 2; k++) {
        xmw::Sample& s = ins.samples[(size_t)k];
        tune(s, hz[(size_t)k]);
        setLoop(s, xmw::LOOP_FORWARD, attack, (int)waves[(size_t)k].size() - attack);
        s.volume = 50;
    }
    mapNotes(ins, 0, 60, 0);
    mapNotes(ins, 61, 95, 1);
    ins.volume = envelope({{0, 0}, {1, 64}, {6, 50}, {14, 46}}, 3);
    ins.fadeout = 2600;
    return ins;
}

/* Noise for risers and sweeps: looped white noise, gated every row by a
 * looping volume envelope and swept from left to right by the panning
 * envelope (held right while the key is down). */
xmw::Instrument noise()
{
    Rng rng(0x6E6F697365ull);
    OnePole lp;
    lp.set(9000);
    Wave w = render(frames(0.5), [&](int, double) { return lp.low(rng.bi()); });
    xmw::Instrument ins;
    ins.name = "noise sweep";
    ins.samples = samples({&w}, {"noise 8-bit"}, {false});
    setLoop(ins.samples[0], xmw::LOOP_FORWARD, 0, (int)w.size());
    tune(ins.samples[0], noteHz(60));
    ins.samples[0].volume = 40;
    mapNotes(ins, 0, 95, 0);
    ins.volume = envelope({{0, 64}, {3, 30}, {6, 64}}, -1, 0, 2);
    ins.panning = envelope({{0, 12}, {96, 52}, {160, 32}}, 1);
    ins.fadeout = 800;
    return ins;
}

/* Chip square: one period of a band-limited 25% pulse, gated every row by
 * its looping volume envelope and swaying left and right. */
xmw::Instrument robot()
{
    const int centres[2] = {48, 60};
    std::vector<Wave> waves;
    std::vector<double> hz;
    for (int c : centres) {
        int L = period(noteHz(c));
        Partials p;
        for (int k = 1; k * RATE / L < 7000.0; k++) {
            p.cycles.push_back(k);
            p.phase.push_back(0.25);
        }
        waves.push_back(additive(0, L, p, 7000.0, [](int j, double) {
            double k = j + 1.0;
            return 2.0 / (PI * k) * sin2pi(0.25 * k / 2.0);
        }));
        hz.push_back(RATE / L);
    }
    xmw::Instrument ins;
    ins.name = "chip square";
    ins.samples = samples({&waves[0], &waves[1]}, {"square C-4 8-bit", "square C-5 8-bit"}, {false, false});
    for (int k = 0; k < 2; k++) {
        xmw::Sample& s = ins.samples[(size_t)k];
        tune(s, hz[(size_t)k]);
        setLoop(s, xmw::LOOP_FORWARD, 0, (int)waves[(size_t)k].size());
        s.volume = 34;
    }
    mapNotes(ins, 0, 53, 0);
    mapNotes(ins, 54, 95, 1);
    ins.volume = envelope({{0, 64}, {2, 60}, {3, 18}, {5, 16}, {6, 64}}, -1, 0, 4);
    ins.panning = envelope({{0, 16}, {24, 48}, {48, 16}}, -1, 0, 2);
    ins.fadeout = 5000;
    return ins;
}

} // namespace

std::vector<xmw::Instrument> build(void)
{
    std::vector<xmw::Instrument> v(score::NUM_INSTRUMENTS);
    v[score::I_KICK - 1] = kick();
    v[score::I_SNARES - 1] = snares();
    v[score::I_HATS - 1] = hats();
    v[score::I_PERC - 1] = perc();
    v[score::I_SLAP - 1] = slap();
    v[score::I_SYNBASS - 1] = synbass();
    v[score::I_EP - 1] = ep();
    v[score::I_LEAD - 1] = lead();
    v[score::I_PLUCK - 1] = pluck();
    v[score::I_PAD - 1] = pad();
    v[score::I_BRASS - 1] = brass();
    v[score::I_NOISE - 1] = noise();
    v[score::I_CYMBALS - 1] = cymbals();
    v[score::I_ROBOT - 1] = robot();
    return v;
}

} // namespace instruments
