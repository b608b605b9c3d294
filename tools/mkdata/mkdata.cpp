/*
 * orvel-mkdata: writes the demo's whole data set into a folder.
 *
 *   orvel-mkdata DIR
 *
 * Every picture, the font sheet, every mesh and the soundtrack are made here
 * in code (pictures painted with the generator's own raster kit and type set
 * with FreeType from the DejaVu fonts; meshes built from formulas; the song
 * by the song generator), with seeded generators of our own, so every run
 * writes the same bytes.
 *
 * Exit status: 0 written; 1 a file could not be written or a font is missing
 * (one line on stderr says which); 2 bad arguments (with a usage line).
 */
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "tools/mkdata/mk_font8.h"
#include "tools/mkdata/mk_mesh.h"
#include "tools/mkdata/mk_pictures.h"
#include "tools/mkdata/mk_text.h"
#include "tools/mkdata/mk_tga.h"
#include "tools/song/song.h"

namespace {

const char USAGE[] = "usage: orvel-mkdata DIR";

int fail(const std::string& why)
{
    fprintf(stderr, "orvel-mkdata: %s\n", why.c_str());
    text_done();
    return 1;
}

int writeText(const std::string& path, const std::string& text)
{
    return mk_writeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        printf("%s\n", USAGE);
        return 0;
    }
    if (argc != 2 || argv[1][0] == '\0' || argv[1][0] == '-') {
        fprintf(stderr, "orvel-mkdata: expected one folder\n%s\n", USAGE);
        return 2;
    }
    const std::string dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir + "/fnt", ec);
    if (ec)
        return fail("cannot create " + dir + "/fnt: " + ec.message());

    std::string why;
    if (text_init(&why) < 0)
        return fail(why);
    int files = 0;

    for (const PictureFile& p : pictures_all()) {
        std::string path = dir + "/" + p.name;
        if (mk_writeFile(path, tga_encode(p.make(), p.kind)) < 0)
            return fail("cannot write " + path);
        files++;
    }

    struct { const char* name; Mesh (*make)(void); } meshes[] = {
        {"kkube.bof", mesh_kkube},       {"fractalkube.bof", mesh_fractalkube},
        {"fractalkube2.bof", mesh_fractalkube2}, {"petal.bof", mesh_petal},
        {"tunnel.bof", mesh_tunnel},     {"ship.bof", mesh_ship},
        {"greetground.bof", mesh_greetground},   {"bll4.bof", mesh_ball},
    };
    for (const auto& m : meshes) {
        std::string path = dir + "/" + m.name;
        if (writeText(path, mesh_bof(m.make())) < 0)
            return fail("cannot write " + path);
        files++;
    }
    struct { const char* name; Anim (*make)(void); } anims[] = {{"botrun.baf", anim_botrun}, {"grt.baf", anim_grt}};
    for (const auto& a : anims) {
        std::string path = dir + "/" + a.name;
        if (writeText(path, mesh_baf(a.make())) < 0)
            return fail("cannot write " + path);
        files++;
    }

    std::string fontPath = dir + "/fnt/font480x8.raw";
    if (mk_writeFile(fontPath, font8_sheet()) < 0)
        return fail("cannot write " + fontPath);
    files++;

    std::string songPath = dir + "/funkyloo.xm";
    if (song_write(songPath) < 0)
        return fail("cannot write " + songPath);
    files++;

    text_done();
    printf("orvel-mkdata: %d files in %s\n", files, dir.c_str());
    return 0;
}
