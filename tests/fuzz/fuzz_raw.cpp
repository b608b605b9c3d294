/* Fuzzer of the raw picture loader and of the size in a raw file's name.
 *
 * Input: one byte n, then n bytes of a file name (cut to what is there), then
 * the file's bytes. The name goes through extractSize (from an exact-size
 * copy, so a read past its end shows); the file is loaded by loadRAW16b with
 * the size the name gives, and with the size given by the first two bytes
 * of the data when the name gives none. */
#include <cstring>
#include <vector>

#include "tests/fuzz/fuzz_support.h"
#include "video/kv_video.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fz::setUp();
    if (size < 1)
        return 0;
    size_t n = data[0];
    if (n > size - 1)
        n = size - 1;
    std::vector<char> name(data + 1, data + 1 + n);
    name.push_back(0);
    int w = -1, h = -1;
    int conv = extractSize(name.data(), &w, &h);
    if (conv > 1 || conv < -1)
        fz::fail("extractSize returned what sscanf cannot");
    const uint8_t* body = data + 1 + n;
    size_t bodySize = size - 1 - n;
    if (w <= 0 || h <= 0) {
        /* no size in the name: take one from the data (1..256 each side) */
        w = bodySize > 0 ? body[0] + 1 : 1;
        h = bodySize > 1 ? body[1] + 1 : 1;
    }
    Pic16b pic{(uint16_t*)&pic, 7, 7, 7};
    loadRAW16b(fz::memFile(body, bodySize), &pic, w, h);
    fz::checkPicture(pic);
    if (pic.pixels) {
        drawPic16b(&pic, 10, 10);
        drawPic16b_add(&pic, -3, 230);
    }
    killPic16b(&pic);
    return 0;
}
