/* Fuzzer of the XM loader. The image gets the XM tag and is padded to 1024
 * bytes, so every input reaches MODFILE_SetXM through MODFILE_Set; whatever
 * loads is started and played for a few hundred ticks. */
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fz::playModule(data, size, fz::MODULE_XM);
    return 0;
}
