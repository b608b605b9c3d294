/* Fuzzer of the MOD loader: whatever the format table hands to the MOD row,
 * and what its detector refuses for an unknown period straight to
 * MODFILE_SetMOD. Whatever loads is started and played for a few hundred
 * ticks. */
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fz::playModule(data, size, fz::MODULE_MOD);
    return 0;
}
