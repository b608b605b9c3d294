/*
 * mk_mesh: the demo's meshes and the text object format they are written in.
 *
 * A mesh is a list of vertices (position, texture coordinates with 1.0 = the
 * whole texture) and triangles. Triangles are wound so that (B - A) x (C - A)
 * points out of the surface's visible side: seen from that side a triangle
 * runs clockwise on the screen (y down), which is what the renderer's
 * back-face test keeps. An animation is one triangle list with several
 * frames of vertices.
 *
 * Units are the scenes' world units; each mesh is sized for the camera of
 * the scene that draws it.
 */
#ifndef ORVEL_TOOLS_MKDATA_MK_MESH_H
#define ORVEL_TOOLS_MKDATA_MK_MESH_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct MVert {
    float x, y, z; /* object space */
    float u, v;    /* 1.0 = one texture width or height */
};

typedef std::array<uint32_t, 3> MTri; /* vertex indices a, b, c */

struct Mesh {
    std::vector<MVert> v;
    std::vector<MTri> f;
};

struct Anim {
    std::vector<std::vector<MVert>> frames; /* each frame has the same vertex count */
    std::vector<MTri> f;
};

/* The text formats: a header word, V, F, (N), the position 0 0 0, the
 * vertices "i x y z u v", the triangles "i a b c". */
std::string mesh_bof(const Mesh& m);
std::string mesh_baf(const Anim& a);

/* The data set's objects. */
Mesh mesh_kkube(void);        /* bevelled cube, half size 110, for the cube scene */
Mesh mesh_fractalkube(void);  /* a cube with smaller cubes grown on its faces, 3 levels */
Mesh mesh_fractalkube2(void); /* a Menger sponge of level 2 with the eye at its centre */
Mesh mesh_petal(void);        /* one gently cupped, two-sided petal along +x and a 1/7 wedge of the heart */
Mesh mesh_tunnel(void);       /* a tube around the z axis, seen from inside */
Mesh mesh_ship(void);         /* a ship along +z, 16.6 long, its body 2 ahead of the origin */
Anim anim_botrun(void);       /* 60 frames of a robot running towards +z, feet at y = -13 */
Mesh mesh_greetground(void);  /* a road tile, x -280..280, z -639..0 */
Anim anim_grt(void);          /* 6 frames: greeting j on a sheet just above the road, 900 before the tile origin */
Mesh mesh_ball(void);         /* a smooth sphere */

/* Sizes the scenes rely on. */
extern const float BALL_RADIUS;    /* bll4 */
extern const float TUNNEL_RADIUS;  /* tunnel */
extern const int GREET_BANDS;      /* greets.tga holds this many equal bands, name j in band j */

#endif
