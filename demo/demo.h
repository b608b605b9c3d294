/*
 * demo: the demo itself. Loading and freeing every asset, the timeline that
 * picks one scene for each millisecond, the scenes, the per-pixel hooks and
 * the controller's few live buttons.
 *
 * The demo runs one loop: demo_update(t) once a frame polls the controller,
 * draws the frame for time t (milliseconds since loading finished) and tops
 * up the audio ring with music. After t passes 145000 it asks to end.
 */
#ifndef ORVEL_DEMO_DEMO_H
#define ORVEL_DEMO_DEMO_H

#include "math/kv_math.h"
#include "modplay/modplay.h"
#include "render3d/kv_3D.h"
#include "video/kv_font.h"
#include "video/kv_video.h"

enum {
    DEMO_LENGTH_MS = 145000, /* the last frame time that does not end the run */
    DEMO_RATE = 22050,       /* output sample rate, Hz */
    DEMO_BLOCK_FRAMES = 4096 /* stereo frames the player renders per call */
};

/* ---- Assets (filled by demo_load, freed by demo_kill) ---------------------- */
extern Pic16b title[4];  /* captions: a, brindels, title, end */
extern Pic16b layer[7];  /* overlays; [6] stays empty */
extern Pic16b frtext[2]; /* fractal captions */
extern Pic16b dogS[5];   /* scrolling layers dog1S..dog5S */
extern Pic16b dogF[5];   /* keyed foregrounds dog1F..dog5F */
extern Pic16b bgGirlA, bgGirlB;
extern Object3D kkube, petal, tnl, shp, bot, grtgrnd, grt, bll, bll2;
extern Object3D fkube[2];
extern Font smallfont;
extern MODFILE mod;
extern int sh_noise; /* func_noise's mask, 0..15 in the demo; 15 at start */

/* ---- Program ---------------------------------------------------------------- */

/* The lines a program's main prints when set-up fails and the demo is
 * skipped: "Orvel: the screen could not be opened; the demo is skipped\n"
 * and "Orvel: the controller could not be opened; the demo is skipped\n". */
extern const char demo_msgNoScreen[];
extern const char demo_msgNoController[];

/* Registers the pixel hooks' span forms (demo_registerSpanForms), shows
 * the loading screen with progress dots, loads every asset in a fixed
 * order, opens the audio output, loads and starts the music, sets the camera
 * defaults and resets the clock. Missing or damaged files are reported by the
 * loaders and skipped. Returns 1. */
int demo_load(void);

/* Frees every asset, stops and frees the music and closes the audio output.
 * Returns what snd_exit returns. */
int demo_kill(void);

/* One frame at time t (ms): input, drawing, audio. Returns 1 when the demo is
 * to end (t > 145000, signed), else the quit flag of demo_input. */
int demo_update(int t);

/* Polls the controller. Volume up selects the alternative triangle routine,
 * volume down the default one (both held: the default). Returns 1 while start
 * is held, else 0. */
int demo_input(void);

/* Draws the frame for t (compared unsigned) with the timeline's scene, then
 * shows it. */
void demo_draw(unsigned t);

/* Fills the free room of the audio ring from a staging buffer that the music
 * player refills 4096 stereo frames at a time, then hands the ring to the
 * output. */
void demo_audio(void);

/* ---- Timeline ---------------------------------------------------------------- */

/* The scene functions the timeline can pick. */
enum DemoScene {
    SCENE_TITLE,  /* part_title(time, arg) */
    SCENE_KUBE,   /* part_kube(time, arg) */
    SCENE_FKUBE,  /* part_fkube(time, arg, which) */
    SCENE_FRACT,  /* part_fract(time, arg) */
    SCENE_FLOWER, /* part_flower(time, arg) */
    SCENE_ROBOT,  /* part_robot(time) */
    SCENE_DEFORM, /* part_deform(time) */
    SCENE_TUNNEL  /* part_tunnel(time) */
};

/* One pick of the timeline: which scene, its local time and arguments. */
struct DemoCall {
    int scene; /* DemoScene */
    int row;   /* 1..29: the row of the running order that matched */
    int time;  /* scene-local time, ms (may be negative or run backwards) */
    int arg;   /* caption/overlay/mode argument, -1 for none */
    int which; /* part_fkube's object, 0 or 1; 0 elsewhere */
};

/* How a row of the running order turns the frame time t into the scene's
 * local time, in 32-bit unsigned arithmetic read as int (o = the row's
 * origin). */
enum DemoTimeMap {
    MAP_FORWARD,  /* t - o */
    MAP_BACKWARD, /* o - t: the scene runs backwards */
    MAP_DOUBLE,   /* 2t - o: double speed */
    MAP_BACK2,    /* (o - t) * 2: backwards at double speed */
    MAP_HALF      /* (t - o) >> 1, a logical shift: half speed */
};

/* One row of the running order. */
struct DemoRow {
    unsigned upTo; /* last millisecond of the row, inclusive */
    int scene;     /* DemoScene */
    int map;       /* DemoTimeMap */
    unsigned origin; /* o of the time map, ms */
    int arg;       /* caption/overlay/mode argument, -1 for none */
    int which;     /* part_fkube's object, 0 or 1; 0 elsewhere */
};

enum { DEMO_ROWS = 29 /* rows of the running order */ };

/* The running order: DEMO_ROWS rows in order of time; the last row's bound
 * is 0xFFFFFFFF. */
const DemoRow* demo_rows(void);

/* The scene-local time of the row at frame time t. */
int demo_localTime(const DemoRow* row, unsigned t);

/* Fills *call for time t from the first row whose bound holds (unsigned
 * comparison against inclusive bounds). Pure; demo_draw runs the call it
 * returns. */
void demo_timeline(unsigned t, DemoCall* call);

/* Runs one timeline pick (draws the scene; does not flip). */
void demo_runScene(const DemoCall* call);

/* ---- Scenes (3D) ---------------------------------------------------------------- */
void part_kube(int t, int v);             /* env-mapped cube, caption v or -1 */
void part_fkube(int t, int v, int which); /* fractal cube fkube[which] */
void part_flower(int t, int v);           /* seven petals, overlay layer[v] or -1 */
void part_deform(int t);                  /* the ball deformed by travelling waves */
void part_tunnel(int t);                  /* the ship in the tunnel */
void part_robot(int t);                   /* running robots and greetings; any t */

/* ---- Scenes (2D) and pixel hooks ---------------------------------------------- */
void part_title(int t, int v);  /* scrolling backdrop, caption title[v] or -1 */
void part_fract(int t, int mode); /* fractal zoom at t*0.001+4, caption frtext[mode] or -1 */

/* Renders the fractal at a zoom into the back buffer: an 80x120 block in
 * fixed point in the top-left corner, doubled in place over the screen; mode
 * 0 or 1 adds frtext[mode]. The 64-colour palette is built from kv_rand() on the
 * first call. */
void draw_fractal_fp(float zoom, int mode);

/* The fractal's palette (64 RGB565 colours; all 0 until the first fractal
 * frame). */
const uint16_t* demo_fractalPalette(void);

/* Stippled drawing: stores colour and depth for some pixels only, chosen by
 * kv_rand(), sh_noise and the pixel's index in rTarget (bands of 128). */
void func_noise(uint16_t* pixel, fixed* zentry, unsigned colour, fixed z);

/* func_noise's span form (registered by demo_registerSpanForms): the
 * pixels of the span that draw_scanline would hand to func_noise, with the
 * same random numbers drawn in the same order. */
void demo_noiseSpan(Span* s);

/* Additive drawing: the saturating half-sum of colour and pixel (also onto
 * black); colour 0 draws nothing; the depth entry is never written. */
void func_add(uint16_t* pixel, fixed* zentry, unsigned colour, fixed z);

/* func_add's span form (registered by demo_registerSpanForms): the pixels
 * of the span that draw_scanline would hand to func_add. */
void demo_addSpan(Span* s);

/* Registers the span forms of func_noise and func_add with the rasteriser
 * (setShaderSpan), which then runs each span of those shaders with the
 * shader inline; what is drawn and the random numbers drawn are the same.
 * demo_load calls it first. */
void demo_registerSpanForms(void);

#endif
