/* Fuzzer of the WAV reader: the file loader itself (loadwav), then the same
 * bytes through a sample slot (loadWav), played into the audio ring. */
#include <cstdint>
#include <cstdlib>

#include "audio/kv_audio.h"
#include "audio/kv_loadwav.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fz::setUp();
    const char* path = fz::memFile(data, size);
    int bytes = -1;
    int16_t* samples = loadwav(path, &bytes);
    int code = wav_code(samples);
    if (code == 0) {
        if (bytes <= 0 || bytes % 2)
            fz::fail("a loaded WAV reports a size that is not a positive number of samples");
        /* every sample is there to be read (the sanitizer checks the end) */
        int sum = 0;
        for (int i = 0; i < bytes / 2; i++)
            sum += samples[i];
        volatile int keep = sum;
        (void)keep;
        free(samples);
    } else if (!wav_message(code)) {
        fz::fail("a failed WAV load gives a code without a message");
    }

    int slot = loadWav(path);
    if (slot >= 0) {
        if (snd[slot].bytes != bytes || snd[slot].len != bytes / 2)
            fz::fail("the slot holds another size than the file loader gave");
        loopSnd(slot);
        snd_mix();
        killSnd(slot);
    } else if (code == 0) {
        fz::fail("a WAV the file loader reads is refused by the slot loader");
    }
    return 0;
}
