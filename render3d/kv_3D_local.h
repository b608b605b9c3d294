/*
 * kv_3D_local: what the renderer's source files share among themselves and
 * nobody else calls.
 */
#ifndef ORVEL_RENDER3D_KV_3D_LOCAL_H
#define ORVEL_RENDER3D_KV_3D_LOCAL_H

#include "render3d/kv_3D.h"

/* Empties the object without freeing: counts 0, arrays null, pose 0,
 * texture -1, frame 0, not projected. What a loader starts from and what it
 * leaves after a failure (after freeing what it allocated itself). */
void obj_reset(Object3D* obj);

/* 1 when obj->frame names one of the object's frames and it has vertices,
 * else 0. */
int obj_frameOk(const Object3D* obj);

#endif
