/* Fuzzer of the font sheet: loading (fnt_loadFnt over the raw loader) with
 * any sheet and cell size, then printing any text with it.
 *
 * Input: sheet width and height (16-bit little-endian, signed), glyph width
 * and height (one signed byte each), the cursor x and y (one signed byte
 * each, times 2), one byte n, n bytes of text (cut to what is there), then
 * the sheet file's bytes. */
#include <string>

#include "tests/fuzz/fuzz_support.h"
#include "video/kv_font.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fz::setUp();
    if (size < 9)
        return 0;
    int16_t sheetW = (int16_t)(data[0] | data[1] << 8);
    int16_t sheetH = (int16_t)(data[2] | data[3] << 8);
    int16_t charW = (int8_t)data[4];
    int16_t charH = (int8_t)data[5];
    int x = 2 * (int8_t)data[6], y = 2 * (int8_t)data[7];
    size_t n = data[8];
    if (n > size - 9)
        n = size - 9;
    std::string text((const char*)data + 9, n);
    const uint8_t* sheet = data + 9 + n;
    size_t sheetSize = size - 9 - n;

    static Font font;
    fnt_loadFnt(&font, fz::memFile(sheet, sheetSize), sheetW, sheetH, charW, charH);
    fz::checkPicture(font.sheet);
    if (fnt_getFnt() != &font)
        fz::fail("fnt_loadFnt did not make the font current");
    setcursor((int16_t)x, (int16_t)y);
    bprint(text.c_str());
    bprintf("%s|%d", text.c_str(), (int)n);
    bprintxy((int16_t)(x * 3), (int16_t)(-y), "%s", text.c_str());
    for (size_t i = 0; i < text.size() && i < 16; i++)
        printchar((unsigned char)text[i], x + (int)i * 7, y - (int)i * 5);
    fnt_killFnt(&font);
    /* printing with the emptied sheet draws nothing and reads nothing */
    bprint(text.c_str());
    return 0;
}
