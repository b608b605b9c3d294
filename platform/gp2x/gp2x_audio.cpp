/*
 * Handheld audio output: the OSS device "/dev/dsp", non-blocking, drained
 * straight from the ring (see kv_audio.h).
 */
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "audio/kv_audio.h"
#include "platform/gp2x/gp2x.h"

/* ---- Globals -------------------------------------------------------------
 * Lifetime: whole run. */
int16_t sndBuf[65536];          /* the ring: interleaved stereo samples */
const int sndLen = 65536;       /* ring length in samples, mask 0xFFFF */
static int dspdev = -1;         /* audio device descriptor; negative = not open */
static int buflen = GP2X_FRAGMENTS; /* fragment request: count << 16 | log2(bytes) */

static_assert((sizeof sndBuf / sizeof sndBuf[0]) == 65536, "ring length");

int snd_platOpen(int rate, int stereo)
{
    dspdev = open(GP2X_DSP_PATH, O_WRONLY);
    if (dspdev < 0)
        return 0;
    /* Every setting is asked for and none is checked: the device is used
     * with whatever it accepted. */
    int speed = rate;
    int fmt = GP2X_AFMT_S16_LE;
    int st = stereo;
    int frag = buflen;
    (void)ioctl(dspdev, GP2X_DSP_SPEED, &speed);
    (void)ioctl(dspdev, GP2X_DSP_SETFMT, &fmt);
    (void)ioctl(dspdev, GP2X_DSP_STEREO, &st);
    (void)ioctl(dspdev, GP2X_DSP_SETFRAGMENT, &frag);
    /* from here on a write takes what fits in the fragments and never waits */
    (void)ioctl(dspdev, GP2X_DSP_NONBLOCK, 0);
    return 1;
}

int snd_platClose(void)
{
    if (dspdev < 0)
        return dspdev;
    int r = close(dspdev);
    dspdev = -1;
    return r;
}

int snd_platSend(void)
{
    int request = snd_devRequest();
    if (request <= 0)
        return 0;
    /* a refused write (device full, or no device) changes nothing */
    ssize_t r = write(dspdev, sndBuf + bufPos, (size_t)request * 2);
    return snd_devAccepted((long)r, request);
}
