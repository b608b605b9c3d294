#include "tests/render3d/render_fixture.h"

#include <cstdio>

#include "tests/support/test_support.h"

namespace rf {

std::string writeTextFile(const std::string& dir, const std::string& name, const std::string& text)
{
    std::string path = dir + "/" + name;
    ts::writeText(path, text);
    return path;
}

std::string cubeText(double h)
{
    std::string verts, tris;
    int nv = 0, nt = 0;
    const double corner[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    const double uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    char line[160];
    for (int axis = 0; axis < 3; axis++)
        for (int side = -1; side <= 1; side += 2) {
            int ua = (axis + 1) % 3, va = (axis + 2) % 3;
            double p[4][3];
            for (int k = 0; k < 4; k++) {
                p[k][axis] = side * h;
                p[k][ua] = corner[k][0] * h;
                p[k][va] = corner[k][1] * h;
            }
            /* (p1 - p0) x (p2 - p0) along +axis for this corner order, so
             * the -axis side takes the corners in reverse */
            int order[4] = {0, 1, 2, 3};
            if (side < 0)
                order[1] = 3, order[3] = 1;
            for (int k = 0; k < 4; k++) {
                const double* q = p[order[k]];
                snprintf(line, sizeof line, "%d %g %g %g %g %g\n", nv + k, q[0], q[1], q[2], uv[order[k]][0],
                         uv[order[k]][1]);
                verts += line;
            }
            snprintf(line, sizeof line, "%d %d %d %d\n%d %d %d %d\n", nt, nv, nv + 1, nv + 2, nt + 1, nv, nv + 2,
                     nv + 3);
            tris += line;
            nv += 4;
            nt += 2;
        }
    snprintf(line, sizeof line, "cube %d %d 0 0 0\n", nv, nt);
    return line + verts + tris;
}

} // namespace rf
