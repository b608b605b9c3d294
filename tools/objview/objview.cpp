/*
 * orvel-objview: renders one object file with the engine into a 320x240 PNG,
 * for people who make meshes.
 *
 *   orvel-objview FILE.bof|FILE.baf TEXTURE OUT.png [--frame N] [--yaw DEG]
 *                 [--pitch DEG] [--distance D] [--envmap]
 *
 * The object is turned by yaw (about its vertical axis) and pitch, its
 * bounding-box centre is put at the origin, and the camera looks at it from
 * -z. Without --distance the camera stands far enough back for the whole
 * bounding sphere to fit the screen. --envmap replaces the file's texture
 * coordinates by the sphere mapping of the engine's smooth normals.
 *
 * Exit status: 0 written; 1 a file could not be read or written, or the
 * object cannot be drawn (one line on stderr says why); 2 bad arguments
 * (with a usage line).
 */
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb_image_write.h>

#include "math/kv_matrix.h"
#include "render3d/kv_3D.h"
#include "video/kv_texture.h"
#include "video/kv_video.h"

namespace {

const char USAGE[] = "usage: orvel-objview FILE.bof|FILE.baf TEXTURE.tga OUT.png [--frame N] [--yaw DEG] "
                     "[--pitch DEG] [--distance D] [--envmap]";

const float DEFAULT_YAW = 35.0f;   /* degrees: a three-quarter view */
const float DEFAULT_PITCH = -25.0f; /* degrees: tips the top towards the eye */
const float FIT_PIXELS = 100.0f;   /* the bounding sphere's radius on screen, pixels */
const float LENS_ZOOM = 200.0f;    /* the demo's usual zoom, used with --distance */
const float MAX_REACH = 100000.0f; /* camera distance + radius the fixed-point range allows */

struct Options {
    std::string object, texture, out;
    int frame = 0;
    float yaw = DEFAULT_YAW, pitch = DEFAULT_PITCH;
    float distance = 0.0f; /* 0: automatic */
    bool envmap = false;
};

[[noreturn]] void usage(const std::string& why)
{
    fprintf(stderr, "orvel-objview: %s\n%s\n", why.c_str(), USAGE);
    exit(2);
}

[[noreturn]] void fail(const std::string& why)
{
    fprintf(stderr, "orvel-objview: %s\n", why.c_str());
    exit(1);
}

bool parseFloat(const char* s, float* out)
{
    char* end = nullptr;
    errno = 0;
    float v = strtof(s, &end);
    if (end == s || *end || errno || !std::isfinite(v))
        return false;
    *out = v;
    return true;
}

bool parseInt(const char* s, int* out)
{
    char* end = nullptr;
    errno = 0;
    long v = strtol(s, &end, 10);
    if (end == s || *end || errno || v < 0 || v > 1000000000L)
        return false;
    *out = (int)v;
    return true;
}

bool endsWith(const std::string& s, const char* tail)
{
    size_t n = strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

Options parseArgs(int argc, char** argv)
{
    Options o;
    std::vector<std::string> pos;
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc)
                usage(std::string(name) + " needs a value");
            return argv[++i];
        };
        if (a == "--frame") {
            if (!parseInt(value("--frame"), &o.frame))
                usage("--frame needs a whole number >= 0");
        } else if (a == "--yaw") {
            if (!parseFloat(value("--yaw"), &o.yaw))
                usage("--yaw needs a number of degrees");
        } else if (a == "--pitch") {
            if (!parseFloat(value("--pitch"), &o.pitch))
                usage("--pitch needs a number of degrees");
        } else if (a == "--distance") {
            if (!parseFloat(value("--distance"), &o.distance) || o.distance <= 0.0f)
                usage("--distance needs a number > 0");
        } else if (a == "--envmap") {
            o.envmap = true;
        } else if (a == "--help" || a == "-h") {
            printf("%s\n", USAGE);
            exit(0);
        } else if (a.size() > 1 && a[0] == '-') {
            usage("unknown option " + a);
        } else {
            pos.push_back(a);
        }
    }
    if (pos.size() != 3)
        usage("expected an object file, a texture and an output file");
    o.object = pos[0];
    o.texture = pos[1];
    o.out = pos[2];
    if (!endsWith(o.object, ".bof") && !endsWith(o.object, ".baf"))
        usage("the object file must end in .bof or .baf: " + o.object);
    return o;
}

void checkReadable(const std::string& path, const char* what)
{
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        fail(std::string("cannot open ") + what + " " + path + ": " + strerror(errno));
    fclose(f);
}

/* Bounding-box centre and bounding-sphere radius (about that centre) of one
 * frame, in world units. */
void bounds(const Object3D& obj, Vec3* centre, float* radius)
{
    const Vertex3D* v = obj.verts + (size_t)obj.frame * obj.vertCount;
    Vec3 lo = {1e30f, 1e30f, 1e30f}, hi = {-1e30f, -1e30f, -1e30f};
    for (uint32_t i = 0; i < obj.vertCount; i++) {
        float p[3] = {fp_fconv(v[i].x), fp_fconv(v[i].y), fp_fconv(v[i].z)};
        lo.x = std::fmin(lo.x, p[0]), hi.x = std::fmax(hi.x, p[0]);
        lo.y = std::fmin(lo.y, p[1]), hi.y = std::fmax(hi.y, p[1]);
        lo.z = std::fmin(lo.z, p[2]), hi.z = std::fmax(hi.z, p[2]);
    }
    *centre = {(lo.x + hi.x) * 0.5f, (lo.y + hi.y) * 0.5f, (lo.z + hi.z) * 0.5f};
    float r2 = 0.0f;
    for (uint32_t i = 0; i < obj.vertCount; i++) {
        float dx = fp_fconv(v[i].x) - centre->x, dy = fp_fconv(v[i].y) - centre->y, dz = fp_fconv(v[i].z) - centre->z;
        r2 = std::fmax(r2, dx * dx + dy * dy + dz * dz);
    }
    *radius = std::sqrt(r2);
}

/* The point p (a row vector) turned as project turns the object:
 * p * (RotZ * (RotX * RotY)). */
Vec3 turned(const Vec3& p, float rotY, float rotX, float rotZ)
{
    Mat4 rx, ry, rz, t, m;
    matRotX(&rx, rotX);
    matRotY(&ry, rotY);
    matRotZ(&rz, rotZ);
    matMul(&t, &rx, &ry);
    matMul(&m, &rz, &t);
    Vec3 r;
    r.x = p.x * m.m[0] + p.y * m.m[4] + p.z * m.m[8];
    r.y = p.x * m.m[1] + p.y * m.m[5] + p.z * m.m[9];
    r.z = p.x * m.m[2] + p.y * m.m[6] + p.z * m.m[10];
    return r;
}

bool isPowerOfTwo(unsigned n)
{
    return n && (n & (n - 1)) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    Options o = parseArgs(argc, argv);
    checkReadable(o.object, "object");
    checkReadable(o.texture, "texture");

    if (!scr_init())
        fail("cannot open the headless screen");

    static Object3D obj; /* empty until loaded */
    if (endsWith(o.object, ".baf"))
        loadBAF(o.object.c_str(), &obj);
    else
        loadBOF(o.object.c_str(), &obj);
    fflush(stdout);
    if (obj.faceCount == 0)
        fail(o.object + ": no triangles to draw (empty, damaged or refused file)");
    if ((uint32_t)o.frame >= obj.frameCount)
        fail(o.object + ": frame " + std::to_string(o.frame) + " asked for, the file has " +
             std::to_string(obj.frameCount));

    int slot = loadRawTex(o.texture.c_str());
    fflush(stdout);
    if (slot < 0)
        fail("cannot read texture " + o.texture);
    if (!isPowerOfTwo(tex[slot].width) || !isPowerOfTwo(tex[slot].height))
        fail("texture " + o.texture + " is " + std::to_string(tex[slot].width) + "x" +
             std::to_string(tex[slot].height) + "; both sides must be powers of two");
    setTexture(&obj, slot);

    obj.frame = o.frame;
    Vec3 centre;
    float radius;
    bounds(obj, &centre, &radius);
    if (radius <= 0.0f)
        radius = 1.0f;

    /* Camera: the bounding sphere seen from distance d fills FIT_PIXELS of
     * half the screen height when zoom * r / sqrt(d^2 - r^2) = FIT_PIXELS. */
    float d, zoom;
    if (o.distance > 0.0f) {
        d = o.distance;
        zoom = LENS_ZOOM;
    } else {
        d = radius * 2.3f;
        zoom = FIT_PIXELS * std::sqrt(d * d - radius * radius) / radius;
    }
    if (d + radius > MAX_REACH)
        fail(o.object + ": object too large for the renderer's fixed-point range (radius " +
             std::to_string(radius) + ")");
    int farPlane = (int)((d + radius) * 1.1f) + 2;
    int nearPlane = (int)((d - radius) * 0.5f);
    /* The projection computes 2 * far * near in fixed point, which must stay
     * below 2^31 (far * near < 262144): a far plane far away needs a nearer
     * near plane. */
    if (nearPlane > 262143 / farPlane)
        nearPlane = 262143 / farPlane;
    if (nearPlane < 1)
        nearPlane = 1;
    cam_setClip(&cam, nearPlane, farPlane, zoom);
    cam_set(&cam, 0.0f, 0.0f, -d, 0.0f, 0.0f, 0.0f);
    cam_update(&cam);

    const float degToRad = 3.1415927f / 180.0f;
    float yaw = o.yaw * degToRad, pitch = o.pitch * degToRad;
    Vec3 c = turned(centre, yaw, pitch, 0.0f);
    set3D(&obj, -c.x, -c.y, -c.z, yaw, pitch, 0.0f);

    scr_clrc(scr_RGB2W(24, 28, 36)); /* dark slate background */
    clr3D();
    setShader(nullptr);
    if (o.envmap)
        add_normal(&obj);
    project(&obj);
    if (o.envmap)
        make_envmap(&obj);
    draw3D(&obj);

    const uint16_t* px = scr_getBuf();
    std::vector<unsigned char> rgb((size_t)SCR_PIXELS * 3);
    for (int i = 0; i < SCR_PIXELS; i++) {
        unsigned r = px[i] >> 11, g = (px[i] >> 5) & 63, b = px[i] & 31;
        rgb[3 * i + 0] = (unsigned char)(r << 3 | r >> 2);
        rgb[3 * i + 1] = (unsigned char)(g << 2 | g >> 4);
        rgb[3 * i + 2] = (unsigned char)(b << 3 | b >> 2);
    }
    if (!stbi_write_png(o.out.c_str(), SCR_W, SCR_H, 3, rgb.data(), SCR_W * 3))
        fail("cannot write " + o.out + ": " + strerror(errno));

    kill3D(&obj);
    killAllTex();
    scr_exit();
    return 0;
}
