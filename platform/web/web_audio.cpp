/*
 * Browser audio output: the ring drained like a device, into the page's Web
 * Audio output or, on the virtual clock, into nothing at the clock's pace
 * (see web.h).
 */
#include "audio/kv_audio.h"
#include "platform/kv_sys.h"
#include "platform/web/web.h"

/* ---- Globals -------------------------------------------------------------
 * Lifetime: whole run. */
int16_t sndBuf[16384];    /* the ring: interleaved stereo samples */
const int sndLen = 16384; /* ring length in samples, mask 0x3FFF, 0.37 s */

/* Lifetime: snd_platOpen .. snd_platClose. */
enum { DEV_NONE, DEV_PAGE, DEV_VIRTUAL };
static int devOpen = DEV_NONE; /* which output is open */
static int devRate = 22050;    /* frames a second */
static int devChannels = 2;    /* samples a frame: 1 or 2 */
static int devStart = 0;       /* ms: the clock at snd_init (virtual output) */
static long long devTaken = 0; /* samples taken since snd_init */

static_assert((sizeof sndBuf / sizeof sndBuf[0]) == 16384, "ring length");

int web_audioRate(void)
{
    return devRate;
}

int snd_platOpen(int rate, int stereo)
{
    if (devOpen != DEV_NONE)
        snd_platClose();
    devRate = rate > 0 ? rate : 22050;
    devChannels = stereo ? 2 : 1;
    devTaken = 0;
    if (web_clockVirtual()) {
        devOpen = DEV_VIRTUAL;
        devStart = timer_platNow();
        return 1;
    }
    /* the page's output plays interleaved stereo only */
    if (!stereo || !web_jsAudioOpen(devRate))
        return 0;
    devOpen = DEV_PAGE;
    web_clockAudio(1);
    return 1;
}

int snd_platClose(void)
{
    if (devOpen == DEV_PAGE) {
        web_clockAudio(0); /* the wall clock goes on from the audio clock's last value */
        web_jsAudioClose();
    }
    devOpen = DEV_NONE;
    return 0;
}

int snd_platSend(void)
{
    if (devOpen == DEV_NONE)
        return 0;
    int request = snd_devRequest();
    if (request <= 0)
        return 0;
    long long room;
    if (devOpen == DEV_VIRTUAL) {
        /* samples played by now; the clock wraps in 32 bits like every clock here */
        long long ms = (int)((unsigned)timer_platNow() - (unsigned)devStart);
        if (ms < 0)
            ms = 0;
        room = ms * devRate / 1000 * devChannels - devTaken;
    } else {
        room = (long long)(WEB_AUDIO_LEAD_FRAMES - web_jsAudioQueued()) * 2;
    }
    if (room <= 0)
        return snd_devAccepted(-1, request); /* full: refused */
    int n = room < request ? (int)room : request;
    if (devOpen == DEV_PAGE)
        web_jsAudioPush(sndBuf + bufPos, n);
    devTaken += n;
    return snd_devAccepted(2L * n, request);
}
