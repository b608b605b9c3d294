/*
 * song: the demo's soundtrack (see song.h): the instruments synthesised, the
 * sections composed and arranged to the demo's running order, written as XM.
 */
#include "tools/song/song.h"

#include <cstdio>

#include "tools/song/arrangement.h"
#include "tools/song/instruments.h"
#include "tools/xmwriter/xmwriter.h"

std::vector<uint8_t> song_build(void)
{
    return xmw::write(arrangement::build(instruments::build()));
}

int song_write(const std::string& path)
{
    std::vector<uint8_t> img = song_build();
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return -1;
    size_t n = fwrite(img.data(), 1, img.size(), f);
    return fclose(f) == 0 && n == img.size() ? 0 : -1;
}
