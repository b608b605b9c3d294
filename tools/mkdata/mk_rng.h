/*
 * mk_rng: the data generator's own seeded random numbers (splitmix64), so the
 * data set is the same bytes on every run and machine. Never the C library's
 * rand.
 */
#ifndef ORVEL_TOOLS_MKDATA_MK_RNG_H
#define ORVEL_TOOLS_MKDATA_MK_RNG_H

#include <cstdint>

struct Rng {
    uint64_t state; /* advances by the golden-ratio step on every draw */
};

/* A generator started from seed; equal seeds give equal sequences. */
inline Rng rng_make(uint64_t seed)
{
    return Rng{seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull};
}

/* The next 64 random bits. */
inline uint64_t rng_next(Rng* r)
{
    uint64_t z = (r->state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

/* Uniform in [0, 1), 24 bits of resolution. */
inline float rng_unit(Rng* r)
{
    return (float)(rng_next(r) >> 40) * (1.0f / 16777216.0f);
}

/* Uniform in [lo, hi). */
inline float rng_range(Rng* r, float lo, float hi)
{
    return lo + (hi - lo) * rng_unit(r);
}

/* Uniform whole number in 0 .. n-1 (n >= 1). */
inline int rng_int(Rng* r, int n)
{
    return (int)((rng_next(r) >> 33) % (uint64_t)n);
}

/* A hash of three integers to [0, 1): the lattice values of value noise. */
inline float rng_hash3(int x, int y, uint32_t seed)
{
    uint64_t h = (uint64_t)(uint32_t)x * 0x8DA6B343ull ^ (uint64_t)(uint32_t)y * 0xD8163841ull ^
                 (uint64_t)seed * 0xCB1AB31Full;
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 32;
    return (float)(h >> 40) * (1.0f / 16777216.0f);
}

#endif
