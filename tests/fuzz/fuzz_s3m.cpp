/* Fuzzer of the S3M loader. The image gets "SCRM" at offset 44, so every
 * input reaches MODFILE_SetS3M through MODFILE_Set; whatever loads is
 * started and played for a few hundred ticks. */
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fz::playModule(data, size, fz::MODULE_S3M);
    return 0;
}
