/*
 * Headless audio output: a virtual device that plays in step with the
 * platform clock and passes what it takes to a sound sink (see headless.h).
 */
#include "audio/kv_audio.h"
#include "platform/kv_sys.h"
#include "platform/headless/headless.h"

/* ---- Globals -------------------------------------------------------------
 * Lifetime: whole run. */
int16_t sndBuf[65536];                    /* the ring: interleaved stereo samples */
const int sndLen = 65536;                 /* ring length in samples, mask 0xFFFF */
static HeadlessSoundSink soundSink = nullptr; /* receiver of the taken samples, or null */
static void* soundUser = nullptr;         /* handed back to the sink */
static int failNextOpen = 0;              /* 0 or 1 */
static int forceWrite = 0;                /* 1: the next write returns forcedBytes */
static long forcedBytes = 0;              /* bytes, -1 or more */

/* Lifetime: snd_platOpen .. snd_platClose. */
static int devOpen = 0;        /* 0 or 1 */
static int devRate = 22050;    /* frames a second */
static int devChannels = 2;    /* samples a frame: 1 or 2 */
static int devStart = 0;       /* ms: the clock at snd_init */
static long long devTaken = 0; /* samples taken since snd_init */

static_assert((sizeof sndBuf / sizeof sndBuf[0]) == 65536, "ring length");

void headless_setSoundSink(HeadlessSoundSink sink, void* user)
{
    soundSink = sink;
    soundUser = user;
}

void headless_failSoundOpen(int fail)
{
    failNextOpen = fail != 0;
}

void headless_forceSoundWrite(long bytes)
{
    forceWrite = 1;
    forcedBytes = bytes;
}

long long headless_soundTaken(void)
{
    return devTaken;
}

int snd_platOpen(int rate, int stereo)
{
    if (failNextOpen) {
        failNextOpen = 0;
        devOpen = 0;
        return 0;
    }
    devOpen = 1;
    devRate = rate > 0 ? rate : 22050;
    devChannels = stereo ? 2 : 1;
    devStart = timer_platNow();
    devTaken = 0;
    return 1;
}

int snd_platClose(void)
{
    devOpen = 0;
    return 0;
}

int snd_platSend(void)
{
    if (!devOpen)
        return 0;
    int request = snd_devRequest();
    if (request <= 0)
        return 0;
    if (forceWrite) {
        forceWrite = 0;
        return snd_devAccepted(forcedBytes, request);
    }
    /* samples played by now; the clock wraps in 32 bits like every clock here */
    long long ms = (int)((unsigned)timer_platNow() - (unsigned)devStart);
    if (ms < 0)
        ms = 0;
    long long due = ms * devRate / 1000 * devChannels;
    long long room = due - devTaken;
    if (room <= 0)
        return snd_devAccepted(-1, request); /* full: refused */
    int n = room < request ? (int)room : request;
    if (soundSink)
        soundSink(sndBuf + bufPos, n, soundUser);
    devTaken += n;
    return snd_devAccepted(2L * n, request);
}
