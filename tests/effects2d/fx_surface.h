/* A 320x240 surface with guard elements on both sides, to see that an
 * operation never writes outside it (and, under the address sanitizer, that
 * it never reads outside the whole block either). */
#ifndef ORVEL_TESTS_EFFECTS2D_FX_SURFACE_H
#define ORVEL_TESTS_EFFECTS2D_FX_SURFACE_H

#include <cstdint>
#include <vector>

#include "video/kv_video.h"

template <typename T>
struct Guarded {
    static constexpr int kGuard = 16;
    static constexpr T kMark = (T)0xA5A5;
    std::vector<T> mem = std::vector<T>(SCR_PIXELS + 2 * kGuard, kMark);
    T* s() { return mem.data() + kGuard; }
    T& at(int x, int y) { return s()[y * SCR_W + x]; }
    bool intact() const
    {
        for (int i = 0; i < kGuard; i++)
            if (mem[i] != kMark || mem[mem.size() - 1 - i] != kMark)
                return false;
        return true;
    }
    /* Every pixel a different-looking value: a hash of its index. */
    void fillPattern(unsigned seed = 1)
    {
        for (int i = 0; i < SCR_PIXELS; i++)
            s()[i] = (T)((i * 2654435761u + seed * 40503u) >> 13);
    }
    std::vector<T> copy() { return std::vector<T>(s(), s() + SCR_PIXELS); }
};

#endif
