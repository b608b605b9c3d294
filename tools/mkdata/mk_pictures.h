/*
 * mk_pictures: every picture of the demo's data set, painted in code.
 *
 * One palette runs through the set: a deep indigo night, warm amber light,
 * and magenta and cyan accents. Pictures the demo adds to the screen are
 * black wherever nothing shows; pictures it draws with the colour key are
 * magenta (255, 0, 255) where transparent; backdrops and textures are opaque
 * and never contain the key. Textures are powers of two.
 */
#ifndef ORVEL_TOOLS_MKDATA_MK_PICTURES_H
#define ORVEL_TOOLS_MKDATA_MK_PICTURES_H

#include <string>
#include <vector>

#include "tools/mkdata/mk_image.h"
#include "tools/mkdata/mk_tga.h"

struct PictureFile {
    const char* name;     /* file name in the data folder */
    Rgb8 (*make)(void);   /* paints and quantises it */
    TgaKind kind;         /* how it is stored */
};

/* Every picture file, in a fixed order. Needs text_init first. */
const std::vector<PictureFile>& pictures_all(void);

/* The six greeted groups, in the order of the frames of grt.baf. */
extern const char* const GREETED[6];

#endif
