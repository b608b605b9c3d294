/*
 * orvel-datasheet: contact sheets for people who make the demo's data.
 *
 *   orvel-datasheet --pictures DATADIR OUT.png
 *       every picture of the data set (read with the engine's own loaders)
 *       and the font sheet, each labelled with its name and size; pixels of
 *       the colour key show as slate.
 *   orvel-datasheet --grid OUT.png TITLE LABEL=FILE.png...
 *       PNG files (for instance orvel-objview renders) in a labelled grid.
 *
 * Exit status: 0 written; 1 a file could not be read or written (one line on
 * stderr says which); 2 bad arguments (with a usage line).
 */
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

/* A private PNG reader (the engine's stb_image reads TGA only). */
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#include <stb_image.h>
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb_image_write.h>

#include "tools/mkdata/mk_font8.h"
#include "tools/mkdata/mk_image.h"
#include "tools/mkdata/mk_pictures.h"
#include "tools/mkdata/mk_text.h"
#include "video/kv_video.h"

namespace {

const char USAGE[] = "usage: orvel-datasheet --pictures DATADIR OUT.png | --grid OUT.png TITLE LABEL=FILE.png...";

const int SHEET_W = 1400;           /* pixels */
const int CELL_W = 256, CELL_H = 192; /* thumbnail box */
const int LABEL_H = 20, GAP = 14, HEADER_H = 44;
const Rgb BACKGROUND = {0.075f, 0.07f, 0.12f};
const Rgb SLATE = {0.20f, 0.22f, 0.27f}; /* where a keyed picture is transparent */

struct Item {
    std::string label;
    Rgb8 pic;
};

[[noreturn]] void usage(const std::string& why)
{
    fprintf(stderr, "orvel-datasheet: %s\n%s\n", why.c_str(), USAGE);
    exit(2);
}

int fail(const std::string& why)
{
    fprintf(stderr, "orvel-datasheet: %s\n", why.c_str());
    text_done();
    return 1;
}

/* An engine picture as 8-bit RGB, the key shown as slate. */
Rgb8 fromPic(const Pic16b& p)
{
    Rgb8 out;
    out.w = p.width;
    out.h = p.height;
    out.rgb.resize((size_t)out.w * out.h * 3);
    for (size_t i = 0; i < (size_t)out.w * out.h; i++) {
        uint16_t c = p.pixels[i];
        unsigned r = c >> 11, g = (c >> 5) & 63, b = c & 31;
        uint8_t* o = &out.rgb[i * 3];
        if (c == PIC_KEY) {
            o[0] = (uint8_t)(SLATE.r * 255.0f), o[1] = (uint8_t)(SLATE.g * 255.0f), o[2] = (uint8_t)(SLATE.b * 255.0f);
        } else {
            o[0] = (uint8_t)(r << 3 | r >> 2), o[1] = (uint8_t)(g << 2 | g >> 4), o[2] = (uint8_t)(b << 3 | b >> 2);
        }
    }
    return out;
}

/* Scale of a picture in its cell: wide strips get a whole row. */
bool isStrip(const Rgb8& p)
{
    return p.w > 4 * p.h;
}

void blit(Img& sheet, const Rgb8& p, int x0, int y0)
{
    for (int y = 0; y < p.h; y++)
        for (int x = 0; x < p.w; x++) {
            int tx = x0 + x, ty = y0 + y;
            if (tx < 0 || ty < 0 || tx >= sheet.w || ty >= sheet.h)
                continue;
            const uint8_t* s = &p.rgb[((size_t)y * p.w + x) * 3];
            sheet.at(tx, ty) = {(float)s[0] / 255.0f, (float)s[1] / 255.0f, (float)s[2] / 255.0f};
        }
}

int writeSheet(const std::string& out, const std::string& title, const std::vector<Item>& items)
{
    /* Lay out: cells left to right, strips on rows of their own. */
    struct Place {
        int x, y;
        Rgb8 thumb;
    };
    std::vector<Place> places;
    int x = GAP, y = HEADER_H, rowH = 0;
    for (const Item& it : items) {
        Rgb8 thumb;
        if (isStrip(it.pic)) {
            float k = std::min(3.0f, (float)(SHEET_W - 2 * GAP) / (float)it.pic.w);
            thumb = rgb8_resize(it.pic, (int)((float)it.pic.w * k), std::max(1, (int)((float)it.pic.h * k)));
            if (x != GAP)
                x = GAP, y += rowH + LABEL_H + GAP, rowH = 0;
            places.push_back({x, y, thumb});
            y += thumb.h + LABEL_H + GAP;
            continue;
        }
        float k = std::min({1.0f, (float)CELL_W / (float)it.pic.w, (float)CELL_H / (float)it.pic.h});
        thumb = rgb8_resize(it.pic, std::max(1, (int)((float)it.pic.w * k)), std::max(1, (int)((float)it.pic.h * k)));
        if (x + CELL_W > SHEET_W)
            x = GAP, y += rowH + LABEL_H + GAP, rowH = 0;
        places.push_back({x + (CELL_W - thumb.w) / 2, y + (CELL_H - thumb.h) / 2, thumb});
        rowH = CELL_H;
        x += CELL_W + GAP;
    }
    int height = y + rowH + LABEL_H + GAP;
    Img sheet = img_make(SHEET_W, height, BACKGROUND);
    Mask text = mask_make(SHEET_W, height);
    text_draw(text, FONT_SANS_BOLD, 20.0f, title, (float)GAP, 30.0f, ALIGN_LEFT, 1.0f);
    for (size_t i = 0; i < items.size(); i++) {
        const Place& p = places[i];
        blit(sheet, p.thumb, p.x, p.y);
        bool strip = isStrip(items[i].pic);
        float lx = strip ? (float)p.x : (float)(p.x + p.thumb.w / 2);
        float ly = strip ? (float)(p.y + p.thumb.h + 14) : (float)(p.y - (CELL_H - p.thumb.h) / 2 + CELL_H + 14);
        text_draw(text, FONT_SANS, 12.0f, items[i].label, lx, ly, strip ? ALIGN_LEFT : ALIGN_CENTRE, 0.5f);
    }
    img_paint(sheet, text, {0.95f, 0.92f, 0.86f});
    std::vector<uint8_t> rgb((size_t)SHEET_W * height * 3);
    for (size_t i = 0; i < sheet.px.size(); i++) {
        rgb[i * 3 + 0] = (uint8_t)std::lround(std::clamp(sheet.px[i].r, 0.0f, 1.0f) * 255.0f);
        rgb[i * 3 + 1] = (uint8_t)std::lround(std::clamp(sheet.px[i].g, 0.0f, 1.0f) * 255.0f);
        rgb[i * 3 + 2] = (uint8_t)std::lround(std::clamp(sheet.px[i].b, 0.0f, 1.0f) * 255.0f);
    }
    if (!stbi_write_png(out.c_str(), SHEET_W, height, 3, rgb.data(), SHEET_W * 3))
        return fail("cannot write " + out);
    return 0;
}

std::string sizeLabel(const std::string& name, int w, int h)
{
    return name + "  " + std::to_string(w) + "x" + std::to_string(h);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        usage("expected --pictures or --grid");
    std::string mode = argv[1];
    std::string why;
    if (mode == "--help" || mode == "-h") {
        printf("%s\n", USAGE);
        return 0;
    }
    if (text_init(&why) < 0)
        return fail(why);
    std::vector<Item> items;
    std::string out, title;
    if (mode == "--pictures") {
        if (argc != 4)
            usage("--pictures needs DATADIR and OUT.png");
        std::string dir = argv[2];
        out = argv[3];
        title = "Orvel data set: pictures";
        for (const PictureFile& f : pictures_all()) {
            Pic16b p{};
            std::string path = dir + "/" + f.name;
            loadRAW16bAuto(path.c_str(), &p);
            fflush(stdout);
            if (!p.pixels)
                return fail("cannot read " + path);
            items.push_back({sizeLabel(f.name, p.width, p.height), fromPic(p)});
            killPic16b(&p);
        }
        Pic16b font{};
        std::string path = dir + "/fnt/font480x8.raw";
        loadRAW16b(path.c_str(), &font, FONT8_SHEET_W, FONT8_CELL);
        fflush(stdout);
        if (!font.pixels)
            return fail("cannot read " + path);
        items.push_back({"fnt/font480x8.raw  480x8 (shown 3x)", fromPic(font)});
        killPic16b(&font);
    } else if (mode == "--grid") {
        if (argc < 5)
            usage("--grid needs OUT.png, a title and at least one LABEL=FILE.png");
        out = argv[2];
        title = argv[3];
        for (int i = 4; i < argc; i++) {
            const char* eq = strchr(argv[i], '=');
            if (!eq)
                usage(std::string("expected LABEL=FILE.png: ") + argv[i]);
            std::string label(argv[i], (size_t)(eq - argv[i])), path(eq + 1);
            int w, h, n;
            unsigned char* px = stbi_load(path.c_str(), &w, &h, &n, 3);
            if (!px)
                return fail("cannot read " + path);
            Rgb8 p;
            p.w = w, p.h = h;
            p.rgb.assign(px, px + (size_t)w * h * 3);
            stbi_image_free(px);
            items.push_back({label, p});
        }
    } else {
        usage("unknown mode " + mode);
    }
    int rc = writeSheet(out, title, items);
    text_done();
    return rc;
}
