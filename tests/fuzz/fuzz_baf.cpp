/* Fuzzer of the multi-frame object loader (loadBAF): what loads gets its
 * normals and its first frames are projected and drawn with every triangle
 * and scanline routine. */
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fz::drawObject(data, size, 1);
    return 0;
}
