/*
 * demo: loading, timeline, scenes, pixel hooks and input (see demo.h); the
 * fractal's drawing is in demo_fractal.cpp.
 *
 * Scene arithmetic is single-precision float with conversions truncating
 * toward zero, exactly as written in each scene; per-vertex and per-pixel
 * work is the renderer's fixed point.
 */
#include "demo/demo.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "audio/kv_audio.h"
#include "demo/kv_input.h"
#include "demo/kv_timer.h"
#include "math/kv_random.h"
#include "math/kv_vector.h"
#include "platform/kv_sys.h"
#include "render3d/kv_3D_span.h"
#include "video/kv_texture.h"

/* ---- Globals -------------------------------------------------------------
 * Lifetime: demo_load .. demo_kill (all zero before loading). */
Pic16b title[4];  /* a, brindels, title, end */
Pic16b layer[7];  /* ship_layer, ossik, quillmar, ilvo, fuckings, software, (empty) */
Pic16b frtext[2]; /* fractal, fractalagain */
Pic16b dogS[5];   /* dog1S..dog5S */
Pic16b dogF[5];   /* dog1F..dog5F */
Pic16b bgGirlA, bgGirlB;
Object3D kkube, petal, tnl, shp, bot, grtgrnd, grt, bll, bll2;
Object3D fkube[2];
Font smallfont;
MODFILE mod;

/* Constant: the set-up failure lines of the programs' main (demo.h). */
const char demo_msgNoScreen[] = "Orvel: the screen could not be opened; the demo is skipped\n";
const char demo_msgNoController[] = "Orvel: the controller could not be opened; the demo is skipped\n";

/* Lifetime: whole run. */
int sh_noise = 15; /* mask of func_noise; part_tunnel sets t & 15 */

/* ---- Loading ---------------------------------------------------------------- */

/* One progress dot on the loading screen. */
static void demo_dot(void)
{
    bprintf(" .");
    scr_flip();
}

/* loadBOF, then a texture in the next free slot. */
static void demo_loadTextured(const char* obj, const char* texture, Object3D* o)
{
    loadBOF(obj, o);
    setTexture(o, loadRawTex(texture));
}

int demo_load(void)
{
    demo_registerSpanForms();
    Pic16b group{};
    loadRAW16bAuto("./data/group.tga", &group);
    drawPic16b(&group, 0, 0);
    scr_flip();
    killPic16b(&group);

    fnt_loadFnt(&smallfont, "./data/fnt/font480x8.raw", 480, 8, 8, 8);

    loadRAW16bAuto("./data/a.tga", &title[0]);
    loadRAW16bAuto("./data/brindels.tga", &title[1]);
    loadRAW16bAuto("./data/title.tga", &title[2]);
    loadRAW16bAuto("./data/end.tga", &title[3]);

    demo_loadTextured("./data/kkube.bof", "./data/shade.tga", &kkube);
    add_normal(&kkube);
    demo_dot();

    loadRAW16bAuto("./data/bgGirlA.tga", &bgGirlA);
    loadRAW16bAuto("./data/bgGirlB.tga", &bgGirlB);

    demo_loadTextured("./data/petal.bof", "./data/shade2.tga", &petal);
    add_normal(&petal);
    demo_dot();

    demo_loadTextured("./data/tunnel.bof", "./data/tunnel.tga", &tnl);
    demo_dot();

    demo_loadTextured("./data/ship.bof", "./data/ship.tga", &shp);
    add_normal(&shp);
    demo_dot();

    loadRAW16bAuto("./data/ship_layer.tga", &layer[0]);
    loadRAW16bAuto("./data/ossik.tga", &layer[1]);
    loadRAW16bAuto("./data/quillmar.tga", &layer[2]);
    loadRAW16bAuto("./data/ilvo.tga", &layer[3]);
    loadRAW16bAuto("./data/fuckings.tga", &layer[4]);
    loadRAW16bAuto("./data/software.tga", &layer[5]);

    loadRAW16bAuto("./data/fractal.tga", &frtext[0]);
    loadRAW16bAuto("./data/fractalagain.tga", &frtext[1]);

    loadBAF("./data/botrun.baf", &bot);
    setTexture(&bot, loadRawTex("./data/ship.tga"));
    add_normal(&bot);
    demo_dot();

    demo_loadTextured("./data/greetground.bof", "./data/greetground.tga", &grtgrnd);
    loadBAF("./data/grt.baf", &grt);
    setTexture(&grt, loadRawTex("./data/greets.tga"));
    loadBOF("./data/bll4.bof", &bll);
    loadBOF("./data/bll4.bof", &bll2);
    setTexture(&bll, loadRawTex("./data/chrome.tga"));
    demo_dot();

    for (int i = 1; i <= 5; i++) {
        char name[32];
        snprintf(name, sizeof name, "./data/dog%iS.tga", i);
        loadRAW16bAuto(name, &dogS[i - 1]);
        snprintf(name, sizeof name, "./data/dog%iF.tga", i);
        loadRAW16bAuto(name, &dogF[i - 1]);
    }

    demo_loadTextured("./data/fractalkube.bof", "./data/shade.tga", &fkube[0]);
    add_normal(&fkube[0]);
    demo_dot();

    demo_loadTextured("./data/fractalkube2.bof", "./data/shade2.tga", &fkube[1]);
    add_normal(&fkube[1]);
    demo_dot();

    snd_init(DEMO_RATE, 1);

    MODFILE_Init(&mod);
    if (MODFILE_Load("./data/funkyloo.xm", &mod) < 0)
        printf("COULD NOT LOAD MUSIC MODULE!");
    mod.musicVolume = 64;
    mod.sfxVolume = 64;
    MODFILE_Start(&mod);
    MODFILE_SetFormat(&mod, DEMO_RATE, 2, 16, 1);

    cam_setClip(&cam, 10, 1500, 315.0f);
    cam.x = 0.0f;
    cam.y = 0.0f;
    cam.z = -600.0f;
    cam.rotY = 0.0f;
    cam.rotX = 0.0f;
    cam.rotZ = 0.0f;

    timer_reset();
    return 1;
}

int demo_kill(void)
{
    fnt_killFnt(&smallfont);
    killAllTex();
    for (Pic16b& p : title)
        killPic16b(&p);
    for (Pic16b& p : layer)
        killPic16b(&p);
    killPic16b(&frtext[0]);
    killPic16b(&frtext[1]);
    killPic16b(&bgGirlA);
    killPic16b(&bgGirlB);
    kill3D(&bll);
    kill3D(&bll2);
    kill3D(&kkube);
    kill3D(&petal);
    kill3D(&tnl);
    kill3D(&shp);
    kill3D(&bot);
    kill3D(&grtgrnd);
    kill3D(&grt);
    kill3D(&fkube[0]);
    kill3D(&fkube[1]);
    for (Pic16b& p : dogF)
        killPic16b(&p);
    for (Pic16b& p : dogS)
        killPic16b(&p);
    MODFILE_Stop(&mod);
    MODFILE_Free(&mod);
    return snd_exit();
}

/* ---- Frame ------------------------------------------------------------------ */

int demo_input(void)
{
    kb_poll();
    int quit = kb_keypressed(KB_START) ? 1 : 0;
    if (kb_keypressed(KB_VOLUP))
        setFillFunc(0);
    if (kb_keypressed(KB_VOLDOWN))
        setFillFunc(1);
    return quit;
}

int demo_update(int t)
{
    int quit = demo_input();
    demo_draw((unsigned)t);
    demo_audio();
    return t > DEMO_LENGTH_MS ? 1 : quit;
}

/* The running order, one row a stretch of the timeline: the row's last
 * millisecond (inclusive, unsigned), the scene, how the scene's local time
 * follows from t (computed in 32-bit unsigned arithmetic and read as int),
 * the origin of that mapping, the caption/overlay argument and, for the
 * fractal cubes, which cube. The first row whose bound holds is drawn; the
 * last row takes every later time. */
static const DemoRow demoRows[DEMO_ROWS] = {
    /* up to     scene         time map      origin   arg which */
    {2520u,      SCENE_TITLE,  MAP_FORWARD,  0u,      -1, 0}, /*  1 opening, no caption */
    {5041u,      SCENE_TITLE,  MAP_FORWARD,  0u,       0, 0}, /*  2 caption a */
    {7562u,      SCENE_TITLE,  MAP_FORWARD,  0u,       1, 0}, /*  3 caption brindels */
    {10082u,     SCENE_TITLE,  MAP_FORWARD,  0u,       2, 0}, /*  4 caption title */
    {20159u,     SCENE_KUBE,   MAP_FORWARD,  10083u,   2, 0}, /*  5 cube with the title caption */
    {23317u,     SCENE_KUBE,   MAP_BACKWARD, 23318u,  -1, 0}, /*  6 cube runs back to its start */
    {25838u,     SCENE_FKUBE,  MAP_FORWARD,  23318u,  -1, 1}, /*  7 second cube, 0..2520 */
    {28359u,     SCENE_FKUBE,  MAP_FORWARD,  22058u,  -1, 0}, /*  8 first cube, 3781..6301 */
    {30880u,     SCENE_FKUBE,  MAP_FORWARD,  23318u,  -1, 1}, /*  9 second cube, 5042..7562 */
    {33389u,     SCENE_FKUBE,  MAP_FORWARD,  20797u,  -1, 0}, /* 10 first cube, 10084..12592 */
    {35897u,     SCENE_FRACT,  MAP_FORWARD,  33390u,   0, 0}, /* 11 fractal zooms in, caption */
    {40949u,     SCENE_FLOWER, MAP_FORWARD,  35898u,  -1, 0}, /* 12 flower */
    {45991u,     SCENE_FLOWER, MAP_FORWARD,  38419u,   1, 0}, /* 13 flower, credit 1 */
    {51033u,     SCENE_FLOWER, MAP_FORWARD,  40940u,   2, 0}, /* 14 flower, credit 2 */
    {56075u,     SCENE_FLOWER, MAP_FORWARD,  43461u,   3, 0}, /* 15 flower, credit 3 */
    {65874u,     SCENE_FRACT,  MAP_BACKWARD, 65875u,  -1, 0}, /* 16 fractal zooms out */
    {72352u,     SCENE_ROBOT,  MAP_FORWARD,  65875u,  -1, 0}, /* 17 robots run */
    {74860u,     SCENE_FRACT,  MAP_BACKWARD, 72353u,   1, 0}, /* 18 fractal out again, caption */
    {81175u,     SCENE_ROBOT,  MAP_BACKWARD, 81176u,  -1, 0}, /* 19 robots run backwards */
    {83776u,     SCENE_FRACT,  MAP_DOUBLE,   162352u, -1, 0}, /* 20 fractal in at double speed */
    {103931u,    SCENE_DEFORM, MAP_FORWARD,  83777u,  -1, 0}, /* 21 the deformed ball */
    {108998u,    SCENE_TUNNEL, MAP_FORWARD,  103932u, -1, 0}, /* 22 tunnel */
    {114065u,    SCENE_TUNNEL, MAP_FORWARD,  105192u, -1, 0}, /* 23 tunnel, a step back */
    {119132u,    SCENE_TUNNEL, MAP_FORWARD,  106453u, -1, 0}, /* 24 tunnel, another step back */
    {124202u,    SCENE_TUNNEL, MAP_BACK2,    119133u, -1, 0}, /* 25 tunnel, negative, twice as fast */
    {139292u,    SCENE_TITLE,  MAP_HALF,     124203u,  0, 0}, /* 26 closing titles at half speed */
    {141813u,    SCENE_TITLE,  MAP_HALF,     122943u,  1, 0}, /* 27 caption brindels */
    {144334u,    SCENE_TITLE,  MAP_HALF,     121682u,  3, 0}, /* 28 the end picture */
    {0xFFFFFFFFu, SCENE_TITLE, MAP_HALF,     121682u, -1, 0}, /* 29 beyond: no caption */
};

const DemoRow* demo_rows(void)
{
    return demoRows;
}

int demo_localTime(const DemoRow* row, unsigned t)
{
    unsigned o = row->origin;
    switch (row->map) {
    case MAP_FORWARD:
        return (int)(t - o);
    case MAP_BACKWARD:
        return (int)(o - t);
    case MAP_DOUBLE:
        return (int)(2u * t - o);
    case MAP_BACK2:
        return (int)((o - t) * 2u);
    case MAP_HALF:
        return (int)((t - o) >> 1); /* a logical shift of the difference */
    default:
        return 0;
    }
}

void demo_timeline(unsigned t, DemoCall* c)
{
    int i = 0;
    while (i < DEMO_ROWS - 1 && t > demoRows[i].upTo)
        i++;
    const DemoRow* r = &demoRows[i];
    *c = {r->scene, i + 1, demo_localTime(r, t), r->arg, r->which};
}

void demo_runScene(const DemoCall* c)
{
    switch (c->scene) {
    case SCENE_TITLE:
        part_title(c->time, c->arg);
        break;
    case SCENE_KUBE:
        part_kube(c->time, c->arg);
        break;
    case SCENE_FKUBE:
        part_fkube(c->time, c->arg, c->which);
        break;
    case SCENE_FRACT:
        part_fract(c->time, c->arg);
        break;
    case SCENE_FLOWER:
        part_flower(c->time, c->arg);
        break;
    case SCENE_ROBOT:
        part_robot(c->time);
        break;
    case SCENE_DEFORM:
        part_deform(c->time);
        break;
    case SCENE_TUNNEL:
        part_tunnel(c->time);
        break;
    default:
        break;
    }
}

void demo_draw(unsigned t)
{
    DemoCall c;
    demo_timeline(t, &c);
    demo_runScene(&c);
    scr_flip();
}

void demo_audio(void)
{
    static int16_t tmpbuf[2 * DEMO_BLOCK_FRAMES]; /* 16384 bytes: 4096 stereo frames */
    static int t = 0;                             /* samples of tmpbuf not yet used */
    int pos, frames, mask;
    snd_bufPosLenLEN(&pos, &frames, &mask);
    int16_t* buf = snd_getBuf();
    for (int i = 0; i < frames; i++) {
        if (t == 0) {
            mod.outBuffer = tmpbuf;
            mod.outBytes = (int)sizeof tmpbuf;
            MODFILE_Player(&mod);
            t = 2 * DEMO_BLOCK_FRAMES;
        }
        /* both indices masked: the free room may start on the ring's last
         * sample when the output took an odd number of samples */
        buf[pos & mask] = tmpbuf[2 * DEMO_BLOCK_FRAMES - t];
        buf[(pos + 1) & mask] = tmpbuf[2 * DEMO_BLOCK_FRAMES - t + 1];
        pos = (pos & mask) + 2;
        t -= 2;
    }
    snd_setBufClr();
    snd_update();
}

/* ---- 3D scenes ------------------------------------------------------------- */

/* The scenes' camera step: clip planes and zoom, position, angles in degrees. */
static void demo_camera(int n, int f, float k, float x, float y, float z, float a, float b, float c)
{
    cam_setClip(&cam, n, f, k);
    cam_set(&cam, x, y, z, a, b, c);
    cam_update(&cam);
}

/* Project, sphere-map and draw. */
static void demo_render(Object3D* o)
{
    project(o);
    make_envmap(o);
    draw3D(o);
}

/* Project and draw without the sphere map. */
static void demo_renderPlain(Object3D* o)
{
    project(o);
    draw3D(o);
}

/* A caption drifting left 10 pixels a second from x = 50. */
static void demo_caption(int t, int v)
{
    if (v >= 0)
        drawPic16b_add(&title[v], 50 - (int)((float)t * 0.01f), 0);
}

void part_kube(int t, int v)
{
    float ft = (float)t;
    demo_camera(72, 1200, 200.0f, 0, 0, -500.0f, 0, 0, 0);
    clr3D();
    setShader(nullptr);
    scr_clrc(0);
    set3D(&kkube, 150.0f, 0, 0, ft * 0.001f, ft * 0.0005f, ft * 0.0005f);
    demo_render(&kkube);
    drawPic16b_add(&dogS[1], 0, -(int)(ft * 0.05f));
    drawPic16b(&dogF[1], (int)(ft * 0.006f), 4);
    demo_caption(t, v);
}

void part_fkube(int t, int v, int which)
{
    float ft = (float)t;
    if (which == 0)
        demo_camera(72, 1200, 200.0f, 0, 0, -500.0f, 0, 0, 0);
    else
        demo_camera(60, 300, 200.0f, 0, 0, 0, 0, 0, 0);
    clr3D();
    setShader(nullptr);
    scr_clr(147, 115, 53);
    float a = ft * 0.0005f;
    Object3D* o = &fkube[which != 0];
    if (which == 0)
        set3D(o, 150.0f, 0, 0, ft * 0.001f, a, a);
    else
        set3D(o, a, 0, 0, ft * 0.001f, a, a);
    demo_render(o);
    drawPic16b(&dogF[1], (int)(ft * 0.006f), 4);
    demo_caption(t, v);
}

void part_flower(int t, int v)
{
    float ft = (float)t;
    demo_camera(72, 1200, 200.0f, 0, 200.0f, -300.0f, 0, -30.0f, 10.0f);
    clr3D();
    setShader(nullptr);
    scr_clrc(0);
    float s = ft * 0.0004f;
    for (int i = 0; i < 7; i++) {
        set3D(&petal, 100.0f, 0, 0, (float)i * 6.2832f / 7.0f + s, 0, 0);
        demo_render(&petal);
    }
    drawPic16b_add(&dogS[0], 0, -(int)(ft * 0.04f));
    drawPic16b(&dogF[0], (int)(ft * 0.01f), 0);
    if (v >= 0)
        drawPic16b_add(&layer[v], 0, 0);
}

void part_deform(int t)
{
    float s = (float)t * 0.0005f;
    float A = bsin(s) * 0.2f;
    float B = s * 20.0f;
    float W = bsin(s * 2.3f) * 0.125f;
    /* Rebuild bll's first frame from its undeformed twin: each vertex moves
     * radially by a factor of 1 +- 0.125 in waves along y. */
    unsigned n = bll.vertCount < bll2.vertCount ? bll.vertCount : bll2.vertCount;
    fixed lastY = 0, k = 0; /* the factor depends on y alone: the vertices */
    int haveK = 0;          /* of one ring, which follow each other, share it */
    for (unsigned i = 0; i < n; i++) {
        const Vertex3D* src = &bll2.verts[i];
        Vertex3D* dst = &bll.verts[i];
        FpVec3 p = {src->x, src->y, src->z};
        fp_vecMul(&p, &p, FP_ONE);
        if (!haveK || p.y != lastY) {
            float y = fp_fconv(p.y);
            float f = W * bsin(B + A * y) + 1.0f;
            k = fp_convf(f);
            lastY = p.y;
            haveK = 1;
        }
        fp_vecMul(&p, &p, k);
        dst->x = p.x;
        dst->y = p.y;
        dst->z = p.z;
    }
    add_normal(&bll);
    demo_camera(72, 1200, 200.0f, 350.0f, 88.0f, -1234.0f, -13.0f, 20.0f, -1.0f);
    setShader(nullptr);
    scr_clrc(0);
    clr3D();
    set3D(&bll, 630.0f, 345.0f, -628.0f, s * 0.1f, s * 0.2f, s * 0.3f);
    demo_render(&bll);
    drawPic16b_add(&dogS[2], 0, -(int)((float)t * 0.025f));
    drawPic16b(&dogF[2], 0, 0);
}

void part_tunnel(int t)
{
    float ft = (float)t;
    demo_camera(4, 200, 320.0f, 8.0f, 5.0f, 50.0f, 144.0f - ft * 0.001f, -12.0f, 0);
    clr3D();
    scr_clrc(0);
    set3D(&tnl, 0, 0, (float)(-t) * 0.001f, 0, 0, ft * 0.0005f);
    demo_renderPlain(&tnl);
    setShader(func_noise);
    sh_noise = t & 15;
    set3D(&shp, 0, 0, ft * 0.005f, 0, 0, (float)(-t) * 0.0005f);
    demo_render(&shp);
    setShader(nullptr);
    drawPic16b_add(&layer[0], 0, 0);
}

void part_robot(int t)
{
    float u = (float)(2 * t);
    demo_camera(100, 2000, 320.0f, 160.0f, 100.0f, 1000.0f, 144.0f - u * 0.001f, -12.0f, 0);
    clr3D();
    scr_clrc(0);
    for (int n = 0; n < 8; n++) {
        kv_srand((unsigned)n);
        int r = kv_rand();
        /* The 60-frame run cycle; negative local times (never passed by the
         * timeline) wrap into 0..59 instead of indexing before the frames. */
        int frame = ((int)(u * 0.02f + (float)(r & 7))) % 60;
        bot.frame = frame < 0 ? frame + 60 : frame;
        float x = (float)((r & 31) * -15);
        float z = (float)(((r & (r + 31)) & 15) * 15 + 500) + u * 0.005f;
        set3D(&bot, x, 13.0f, z, 0, 0, 0);
        demo_render(&bot);
    }
    float g = u * -0.201f + 1000.0f;
    for (int j = 0; j < 7; j++) {
        float zj = (float)(639 * j) + g;
        set3D(&grtgrnd, -200.0f, 0, zj, 0, 0, 0);
        demo_renderPlain(&grtgrnd);
        if (j < 6) {
            set3D(&grt, -200.0f, 0, zj, 0, 0, 0);
            grt.frame = j;
            project(&grt);
            setShader(func_add);
            draw3D(&grt);
            setShader(nullptr);
        }
    }
    drawPic16b_add(&layer[4], 0, 0);
}

/* ---- 2D scenes --------------------------------------------------------------- */

void part_title(int t, int v)
{
    float ft = (float)t;
    cam_setClip(&cam, 72, 1200, 200.0f);
    cam_set(&cam, 0, 0, -500.0f, 0, 0, 0);
    cam_update(&cam);
    clr3D();
    setShader(nullptr);
    drawPic16b(&dogS[3], -(int)(ft * 0.05f), 0);
    drawPic16b(&dogF[3], (int)(ft * 0.006f), 60);
    demo_caption(t, v);
}

void part_fract(int t, int mode)
{
    draw_fractal_fp((float)t * 0.001f + 4.0f, mode);
}

/* ---- Pixel hooks ------------------------------------------------------------------
 * Each hook's rule is written once, inline, and used both by the hook that
 * draw_scanline calls per pixel and by its span form (setShaderSpan), which
 * runs draw_scanline's loop with the rule inline: the same pixels, the same
 * random numbers in the same order, the same stores. func_noise is in
 * demo_noise.cpp, func_add in demo_add.cpp. */

void demo_registerSpanForms(void)
{
    setShaderSpan(func_noise, demo_noiseSpan);
    setShaderSpan(func_add, demo_addSpan);
}
