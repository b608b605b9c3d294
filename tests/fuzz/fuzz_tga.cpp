/* Fuzzer of the TGA picture loader (loadTGA16b over stb_image). A picture
 * that loads is drawn both ways at a few places on the screen. */
#include "tests/fuzz/fuzz_support.h"
#include "video/kv_video.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fz::setUp();
    Pic16b pic{(uint16_t*)&pic, 7, 7, 7}; /* the loader must overwrite every field */
    loadTGA16b(fz::memFile(data, size), &pic);
    fz::checkPicture(pic);
    if (pic.pixels) {
        drawPic16b(&pic, 0, 0);
        drawPic16b(&pic, -pic.width / 2, 200);
        drawPic16b_add(&pic, 300, -pic.height / 2);
    }
    killPic16b(&pic);
    return 0;
}
