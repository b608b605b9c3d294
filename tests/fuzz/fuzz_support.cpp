/*
 * Shared pieces of the loader fuzzers (see fuzz_support.h).
 */
#include "tests/fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include "modplay/mod.h"
#include "modplay/s3m.h"
#include "modplay/xm.h"
#include "render3d/kv_3D.h"
#include "tests/modplay/songcheck.h"
#include "video/kv_texture.h"
#include "video/kv_video.h"

namespace fz {

static int memFd = -1;      /* the in-memory file, or -1 before the first use */
static char memPath[64];    /* its name under /proc/self/fd */

void setUp(void)
{
    static bool done = false;
    if (done)
        return;
    done = true;
    /* the loaders print a line for every bad file: millions of them. Their
     * standard output goes to /dev/null; so do their writes to the stderr
     * stream (the MOD loader's unknown periods), while the descriptor
     * itself stays open for the sanitizers' and libFuzzer's reports, which
     * write to it directly. */
    if (!freopen("/dev/null", "w", stdout))
        fail("cannot send standard output to /dev/null");
    FILE* quiet = fopen("/dev/null", "w");
    if (!quiet)
        fail("cannot open /dev/null");
    stderr = quiet;
    scr_init();
}

const char* memFile(const uint8_t* data, size_t size)
{
    if (memFd < 0) {
        memFd = memfd_create("orvel-fuzz", 0);
        if (memFd < 0)
            fail("memfd_create failed");
        snprintf(memPath, sizeof memPath, "/proc/self/fd/%d", memFd);
    }
    if (ftruncate(memFd, 0) != 0)
        fail("cannot empty the in-memory file");
    size_t done = 0;
    while (done < size) {
        ssize_t n = pwrite(memFd, data + done, size - done, (off_t)done);
        if (n <= 0)
            fail("cannot fill the in-memory file");
        done += (size_t)n;
    }
    return memPath;
}

void fail(const char* what, const char* detail)
{
    /* straight to the descriptor: the stderr stream may be /dev/null */
    dprintf(2, "fuzz: broken: %s%s%s\n", what, detail ? ": " : "", detail ? detail : "");
    abort();
}

/* ---- Pictures ------------------------------------------------------------------ */

void checkPicture(const Pic16b& pic)
{
    if (!pic.pixels) {
        if (pic.width || pic.height || pic.widthLog2)
            fail("an empty picture record keeps a size");
        return;
    }
    long long n = (long long)pic.width * pic.height;
    if (n < 1 || n > PIC_MAX_PIXELS)
        fail("a loaded picture has a size out of range");
    unsigned l = 0;
    for (unsigned w = pic.width; w > 1; w >>= 1)
        l++;
    if (pic.widthLog2 != l)
        fail("widthLog2 does not match the width");
    volatile uint16_t last = pic.pixels[n - 1]; /* the whole block is there */
    (void)last;
}

/* ---- Objects ------------------------------------------------------------------- */

/* A 64x64 texture in slot 0 (a checker with keyed cells), made once. */
static void makeTexture(void)
{
    if (tex[0].pixels)
        return;
    texCleared = 1; /* a later loadRawTex must not free it */
    tex[0].pixels = (uint16_t*)malloc(64 * 64 * sizeof(uint16_t));
    if (!tex[0].pixels)
        fail("no memory for the texture");
    for (int i = 0; i < 64 * 64; i++)
        tex[0].pixels[i] = ((i >> 3) ^ (i >> 9)) & 1 ? (uint16_t)PIC_KEY : (uint16_t)(i * 37);
    tex[0].width = 64;
    tex[0].height = 64;
    tex[0].widthLog2 = 6;
}

/* A pixel hook that writes the texel dimmed, as the demo's shaders do. */
static void dimShader(unsigned short* pixel, fixed* zentry, unsigned texel, fixed z)
{
    *pixel = (unsigned short)((texel >> 1) & 0x7BEF);
    *zentry = z;
}

static void checkObject(const Object3D& o)
{
    if (o.texture != -1 || o.frame != 0 || o.projected)
        fail("a loaded object is not reset");
    if (!o.faces && !o.verts) {
        if (o.vertCount || o.faceCount || o.edgeCount || o.edges)
            fail("an empty object keeps counts or arrays");
        return;
    }
    if (o.frameCount < 1 || (o.vertCount && !o.verts) || (o.faceCount && !o.faces))
        fail("a loaded object lacks frames or arrays");
    if (o.edgeCount < 0 || o.edgeCount > EDGE_MAX || (o.faceCount && (!o.edges || o.edgeCount < 1)))
        fail("a loaded object has a bad edge table");
    volatile fixed last = o.verts ? o.verts[(size_t)o.vertCount * o.frameCount - 1].x : 0;
    (void)last;
    for (uint32_t i = 0; i < o.faceCount; i++) {
        const Face3D& f = o.faces[i];
        if (f.ia >= o.vertCount || f.ib >= o.vertCount || f.ic >= o.vertCount)
            fail("a triangle names a vertex that is not there");
        int32_t e[3] = {f.eab, f.ebc, f.eac};
        for (int32_t k : e)
            if (k < 0 || k >= o.edgeCount)
                fail("a triangle names an edge that is not there");
    }
    for (int32_t i = 0; i < o.edgeCount; i++)
        if ((uint32_t)o.edges[i].va >= o.vertCount || (uint32_t)o.edges[i].vb >= o.vertCount)
            fail("an edge names a vertex that is not there");
}

void drawObject(const uint8_t* data, size_t size, int multi)
{
    setUp();
    makeTexture();
    Object3D obj{};
    if (multi)
        loadBAF(memFile(data, size), &obj);
    else
        loadBOF(memFile(data, size), &obj);
    checkObject(obj);
    setTexture(&obj, 0);
    add_normal(&obj);
    cam_setClip(&cam, 10, 1500, 315.0f);
    int frames = obj.frameCount < 4 ? (int)obj.frameCount : 4;
    for (int pose = 0; pose < 2; pose++) {
        cam_set(&cam, 0.0f, 0.0f, -600.0f, pose * 20.0f, 0.0f, 0.0f);
        cam_update(&cam);
        clr3D();
        for (int f = 0; f < frames; f++) {
            obj.frame = f;
            set3D(&obj, 0.0f, pose * 50.0f, 0.0f, 0.7f * f, 1.1f * pose, 0.3f);
            project(&obj);
            make_envmap(&obj);
            setFillFunc((f + pose) & 1);
            setScanFunc((2 * f + pose) & 3);
            setShader(f == 1 ? dimShader : nullptr);
            draw3D(&obj);
        }
    }
    setShader(nullptr);
    setFillFunc(1);
    setScanFunc(0);
    kill3D(&obj);
}

/* ---- Modules ---------------------------------------------------------------- */

const char* playbackBroken(const MODFILE& m)
{
    if (m.songPos < 0 || m.songPos >= m.songLength)
        return "song position outside the order list";
    int p = m.orders[m.songPos];
    if (p >= m.numPatterns)
        return "song position on a marker or a missing pattern";
    if (m.row < 0 || m.row >= m.patternRows[p])
        return "row outside its pattern";
    if (m.bpm < 32 || m.bpm > 255 || m.samplesPerTick <= 0)
        return "tempo";
    if (m.globalVolume > 64)
        return "global volume";
    if (m.tickPos < 0 || m.tickPos >= m.samplesPerTick)
        return "tick position";
    for (int c = 0; c < m.numChannels + m.numSfxChannels; c++) {
        const MODFILE_CHANNEL& ch = m.channels[c];
        if (ch.voice.volume > 64 || ch.voice.envVolume > 64 || ch.voice.envPanning > 64)
            return "channel volume or envelope value";
        const MODFILE_SAMPLE* s = ch.voice.sample;
        if (s && (s < m.samples || s >= m.samples + m.numSamples))
            return "voice sample outside the sample array";
        if (ch.noteSample && (ch.noteSample < m.samples || ch.noteSample >= m.samples + m.numSamples))
            return "note sample outside the sample array";
        if (ch.instrument && (ch.instrument < m.instruments || ch.instrument >= m.instruments + m.numInstruments))
            return "instrument outside the instrument array";
        if (ch.voice.active && s && (ch.voice.position >> 10) > (uint32_t)s->length)
            return "voice position past its sample";
    }
    return "";
}

/* Renders `blocks` blocks of `frames` frames into out, checking after each. */
static void render(MODFILE* mod, std::vector<uint8_t>* out, int frames, int blocks)
{
    int frameBytes = mod->mixChannels * (mod->mixBits / 8);
    out->assign((size_t)frames * (size_t)frameBytes, 0);
    mod->outBuffer = out->data();
    mod->outBytes = (int32_t)out->size();
    for (int b = 0; b < blocks; b++) {
        MODFILE_Player(mod);
        const char* broken = playbackBroken(*mod);
        if (*broken)
            fail("playback", broken);
    }
}

void playModule(const uint8_t* data, size_t size, ModuleKind kind)
{
    setUp();
    std::vector<uint8_t> image(data, data + size);
    /* steer the image into the detector of the loader aimed at */
    if (kind == MODULE_XM) {
        if (image.size() < 1024)
            image.resize(1024, 0);
        memcpy(image.data(), "Extended Module: ", 17);
        image[37] = 0x1A;
    } else if (kind == MODULE_S3M) {
        if (image.size() < 48)
            image.resize(48, 0);
        memcpy(image.data() + 44, "SCRM", 4);
    }
    const char* bytes = (const char*)image.data();
    int len = (int)image.size();

    static MODFILE mod; /* large: kept off the stack */
    MODFILE_Init(&mod);
    int known = MODFILE_Is(bytes, len);
    int r = MODFILE_Set(bytes, len, &mod);
    if (r == 0 && !known)
        fail("MODFILE_Set loaded an image that MODFILE_Is turns down");
    if (r < 0 && mod.loaded)
        fail("a failed load left the record loaded");
    if (r < 0 && kind == MODULE_MOD && !MODFILE_IsS3M(bytes, len) && !MODFILE_IsXM(bytes, len)) {
        /* a module with one unknown period is refused by the detector but
         * still loads through the MOD loader itself */
        MODFILE_Init(&mod);
        r = MODFILE_SetMOD(bytes, len, &mod);
        if (r >= 0)
            mod.loaded = 1;
    }
    if (r < 0) {
        /* nothing loaded: playing the empty record gives silence */
        MODFILE_Init(&mod);
        MODFILE_Start(&mod);
        MODFILE_SetFormat(&mod, 8000, 2, 16, 1);
        std::vector<uint8_t> out(256);
        mod.outBuffer = out.data();
        mod.outBytes = (int32_t)out.size();
        MODFILE_Player(&mod);
        MODFILE_Stop(&mod);
        return;
    }
    std::string broken = mpt::songInvariants(mod);
    if (!broken.empty())
        fail("loaded song", broken.c_str());

    mod.musicVolume = 64;
    mod.sfxVolume = 64;
    MODFILE_Start(&mod);
    if (mod.playing != 1)
        fail("MODFILE_Start did not start");
    std::vector<uint8_t> out;
    /* a low rate makes many ticks of few frames: rows go by quickly */
    MODFILE_SetFormat(&mod, 8000, 2, 16, 1);
    render(&mod, &out, 1000, 24);
    /* a change of format while playing remakes the mix buffer */
    MODFILE_SetFormat(&mod, 22050, 1, 8, 0);
    render(&mod, &out, 777, 8);
    for (int c = 0; c < mod.numChannels; c++) {
        MODFILE_GetNote(&mod, mod.row, c);
        MODFILE_GetInstr(&mod, mod.row, c);
        MODFILE_GetEffect(&mod, mod.row, c, 1);
        MODFILE_GetEffectOp(&mod, mod.row, c, 0);
    }
    MODFILE_Stop(&mod);
    MODFILE_Free(&mod);
    if (mod.loaded || mod.playing)
        fail("the record is still loaded or playing after Stop and Free");
}

} // namespace fz
