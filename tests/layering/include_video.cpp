/* A probe of the layering: see CMakeLists.txt. */
#include "video/kv_video.h"
