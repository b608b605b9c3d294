/* Fuzzer of the one-frame object loader (loadBOF): what loads gets its
 * normals and is projected and drawn with every triangle and scanline
 * routine. */
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fz::drawObject(data, size, 0);
    return 0;
}
