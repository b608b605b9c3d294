/* A probe of the layering: see CMakeLists.txt. */
#include "render3d/kv_3D.h"
