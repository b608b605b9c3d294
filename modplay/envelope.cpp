/*
 * envelope: per-tick envelope stepping (see envelope.h).
 */
#include "modplay/envelope.h"

/* True when the state follows an enabled envelope. */
static int envInUse(const MODFILE_ENVSTATE* st)
{
    return st && st->env && st->env->enabled;
}

void EnvTrigger(MODFILE_ENVSTATE* st)
{
    if (!envInUse(st))
        return;
    st->point = 0;
    st->pos = 0;
    st->running = 1;
    st->sustained = 1;
    st->fresh = 1;
    st->value = st->env->numPoints > 0 ? st->env->points[0].value : 0;
}

void EnvReset(MODFILE_ENVSTATE* st)
{
    if (!envInUse(st))
        return;
    EnvTrigger(st);
    st->running = 0;
    st->sustained = 0;
    st->fresh = 0;
}

void EnvRelease(MODFILE_ENVSTATE* st)
{
    if (!envInUse(st))
        return;
    st->sustained = 0;
}

int EnvProcess(MODFILE_ENVSTATE* st)
{
    if (!envInUse(st))
        return 0;
    const MODFILE_ENVELOPE* env = st->env;
    if (env->numPoints <= 1 || !st->running)
        return 0;
    if (st->fresh) {
        st->fresh = 0;
        return 1;
    }
    if (st->sustained && st->point == env->sustain)
        return 1;
    if (st->pos >= env->points[env->numPoints - 1].tick)
        return 1;

    int i = st->point;
    const MODFILE_ENVPOINT* a = &env->points[i];
    const MODFILE_ENVPOINT* b = &env->points[i + 1];
    if (b->tick <= a->tick) {
        /* two points on one tick: the later point's value, no time passes */
        st->value = b->value;
    } else {
        st->pos = (uint16_t)(st->pos + 1);
        int dv = (int)b->value - (int)a->value;
        st->value = (uint16_t)(a->value + ((int)st->pos - (int)a->tick) * dv / ((int)b->tick - (int)a->tick));
        if (st->pos < b->tick)
            return 1;
    }

    st->point = (uint8_t)(i + 1);
    if (env->loopStart <= env->loopEnd && env->loopStart < env->numPoints && env->loopEnd < env->numPoints &&
        st->point == env->loopEnd) {
        st->point = env->loopStart;
        st->pos = env->points[env->loopStart].tick;
        st->value = env->points[env->loopStart].value;
    }
    return 1;
}

void EnvSetPosition(MODFILE_ENVSTATE* st, int pos)
{
    if (!envInUse(st) || st->env->numPoints == 0)
        return;
    const MODFILE_ENVELOPE* env = st->env;
    int last = env->numPoints - 1;
    int i = 0;
    while (i < last - 1 && env->points[i + 1].tick <= pos)
        i++;
    st->fresh = 0;
    st->pos = (uint16_t)pos;
    if (last == 0 || pos >= env->points[last].tick) {
        st->point = (uint8_t)(last > 0 ? last - 1 : 0);
        st->value = env->points[last].value;
        return;
    }
    const MODFILE_ENVPOINT* a = &env->points[i];
    const MODFILE_ENVPOINT* b = &env->points[i + 1];
    st->point = (uint8_t)i;
    int span = (int)b->tick - (int)a->tick;
    int into = pos - (int)a->tick;
    if (into < 0)
        into = 0;
    st->value = (uint16_t)(span > 0 ? a->value + into * ((int)b->value - (int)a->value) / span : b->value);
}
