/*
 * envelope: volume and panning envelopes of instruments.
 *
 * An envelope is a polyline of points over ticks, with an optional sustain
 * point where it waits while the key is held and an optional loop. A channel
 * follows one volume and one panning envelope through its two MODFILE_ENVSTATE
 * records; the note trigger starts them, key off releases them and the
 * per-tick handler advances them. The state's env is set by the caller before
 * the state is started.
 *
 * All four operations do nothing (EnvProcess returns 0) when the state, its
 * env or the envelope's enabled flag is null or zero.
 */
#ifndef ORVEL_MODPLAY_ENVELOPE_H
#define ORVEL_MODPLAY_ENVELOPE_H

#include "modplay/modplay.h"

/* Starts from the first point with the key held. */
void EnvTrigger(MODFILE_ENVSTATE* st);

/* Advances one tick; the first call after EnvTrigger keeps the first point,
 * which is what the note's first tick plays. 1 when the state's value is to
 * be used, 0 when the envelope is not in use (fewer than two points, not
 * running, disabled). */
int EnvProcess(MODFILE_ENVSTATE* st);

/* Moves a running envelope to tick `pos` (0..65535): the segment that holds
 * it and the value there (the last point's value past the end); the next
 * EnvProcess goes on from there. */
void EnvSetPosition(MODFILE_ENVSTATE* st, int pos);

/* The key is released: the sustain point no longer holds. */
void EnvRelease(MODFILE_ENVSTATE* st);

/* Back to the first point, stopped. */
void EnvReset(MODFILE_ENVSTATE* st);

#endif
