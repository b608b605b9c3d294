/*
 * kv_font: bitmap font (see kv_font.h).
 */
#include "video/kv_font.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

/* ---- Globals -------------------------------------------------------------
 * Lifetime: whole run. */
const char chrmap[] = "abcdefghijklmnopqrstuvwxyz0123456789\"'(),.;:+-!?\\/<>*=_~$@%&";
Font* curFnt = nullptr; /* set by fnt_loadFnt / fnt_setFnt */
int16_t curx = 0;       /* pixels, 16-bit wrap-around arithmetic */
int16_t cury = 0;       /* pixels */

enum { FNT_TEXT_MAX = 256 };

void fnt_loadFnt(Font* fnt, const char* path, int16_t sheetW, int16_t sheetH, int16_t charW, int16_t charH)
{
    loadRAW16b(path, &fnt->sheet, sheetW, sheetH);
    fnt->charW = charW;
    fnt->charH = charH;
    curFnt = fnt;
}

void fnt_killFnt(Font* fnt)
{
    killPic16b(&fnt->sheet);
    fnt->charW = 0;
    fnt->charH = 0;
}

void fnt_setFnt(Font* fnt)
{
    curFnt = fnt;
}

Font* fnt_getFnt(void)
{
    return curFnt;
}

void setcursor(int16_t x, int16_t y)
{
    curx = x;
    cury = y;
}

int findchar(int c)
{
    c &= 0xFF;
    if (c >= 'A' && c <= 'Z')
        c += 32;
    if (c == 0)
        return 255;
    const char* p = strchr(chrmap, c);
    return p ? (int)(p - chrmap) : 255;
}

void printchar(int c, int x, int y)
{
    const Font* f = curFnt;
    if (!f)
        return;
    int w = f->charW, h = f->charH;
    if (x >= SCR_W || x < -w || y >= SCR_H || y < -h)
        return;
    int g = findchar(c);
    if (g == 255)
        return;
    const Pic16b* s = &f->sheet;
    /* Never read outside the sheet: a missing sheet or one too small for the
     * glyph draws nothing. */
    if (!s->pixels || w <= 0 || h <= 0 || w * (g + 1) > s->width || h > s->height)
        return;
    for (int i = 0; i < w; i++) {
        if (x + i < 0 || x + i >= SCR_W)
            continue;
        for (int j = 0; j < h; j++) {
            if (y + j < 0)
                continue;
            uint16_t p = s->pixels[i + j * s->width + w * g];
            if (p != PIC_KEY)
                scr_putpixelc((uint16_t)(x + i), (uint16_t)(y + j), p);
        }
    }
}

void bprint(const char* text)
{
    const Font* f = curFnt;
    if (!f || !text)
        return;
    for (const unsigned char* p = (const unsigned char*)text; *p; p++) {
        if (*p == '\n') {
            curx = 0;
            cury = (int16_t)(cury + f->charH);
            continue;
        }
        printchar(*p, curx, cury);
        curx = (int16_t)(curx + f->charW + 1);
        if (curx > SCR_W) {
            curx = 0;
            cury = (int16_t)(cury + f->charH + 1);
        }
    }
}

void bprintf(const char* fmt, ...)
{
    char buf[FNT_TEXT_MAX];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    bprint(buf);
}

void bprintxy(int16_t x, int16_t y, const char* fmt, ...)
{
    char buf[FNT_TEXT_MAX];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    setcursor(x, y);
    bprint(buf);
}
