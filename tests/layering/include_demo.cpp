/* A probe of the layering: see CMakeLists.txt. */
#include "demo/demo.h"
