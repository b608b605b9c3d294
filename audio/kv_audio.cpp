/*
 * kv_audio: ring buffer, producers and slot table (see kv_audio.h). The ring
 * itself, its size and the output that drains it are the platform half's.
 */
#include "audio/kv_audio.h"

#include <cstdio>
#include <cstdlib>

#include "audio/kv_loadwav.h"

/* ---- Globals -------------------------------------------------------------
 * Lifetime: whole run. */
SndSlot snd[SND_SLOTS];       /* sample slots; all free at start */
int bufPos = 0;               /* samples, 0 .. sndLen-1: next sample to hand over */
int bufClr = sndLen;          /* samples, 0 .. sndLen: free room (whole ring at start) */
static uint16_t toneVal = 0;  /* snd_genTone's sawtooth, wraps in 16 bits */

/* ---- Opening and closing ------------------------------------------------ */

/* Empties one slot: stopped, free, volume 100, data freed; pos is kept. */
static void snd_clearSlot(SndSlot* s)
{
    s->state = SND_STOP;
    s->vol = 100;
    s->bytes = 0;
    free(s->data);
    s->data = nullptr;
}

int snd_init(int rate, int stereo)
{
    bufPos = 0;
    bufClr = sndLen;
    if (!snd_platOpen(rate, stereo))
        return 0;
    killAllSnd();
    return 1;
}

int snd_exit(void)
{
    return snd_platClose();
}

/* ---- The ring ----------------------------------------------------------- */

void snd_bufPosLenLEN(int* pos, int* len, int* mask)
{
    *pos = bufPos - bufClr + sndLen;
    *len = bufClr / 2;
    *mask = sndLen - 1;
}

void snd_setBufClr(void)
{
    bufClr = 0;
}

int snd_clrBuf(int n)
{
    bufClr -= n;
    return bufClr;
}

int snd_getBufPos(void)
{
    return bufPos;
}

int snd_getBufUsg(void)
{
    return sndLen - bufClr;
}

int snd_getBufSz(void)
{
    return sndLen;
}

int16_t* snd_getBuf(void)
{
    return sndBuf;
}

/* ---- Built-in producers -------------------------------------------------- */

/* First ring index of the free room. It is odd after a device took half a
 * frame, so the producers mask the right sample's index as well. */
static int snd_roomStart(void)
{
    return (bufPos - bufClr + sndLen) & (sndLen - 1);
}

void snd_genNoise(void)
{
    int mask = sndLen - 1;
    int p = snd_roomStart();
    for (int i = bufClr / 2; i > 0; i--) {
        int16_t v = (int16_t)(uint16_t)rand();
        sndBuf[p] = v;
        sndBuf[(p + 1) & mask] = v;
        p = (p + 2) & mask;
    }
    bufClr = 0;
}

void snd_genTone(void)
{
    int mask = sndLen - 1;
    int p = snd_roomStart();
    for (int i = bufClr / 2; i > 0; i--) {
        toneVal = (uint16_t)(toneVal + 100);
        sndBuf[p] = (int16_t)toneVal;
        sndBuf[(p + 1) & mask] = (int16_t)toneVal;
        p = (p + 2) & mask;
    }
    bufClr = 0;
}

void snd_mix(void)
{
    int mask = sndLen - 1;
    int p = snd_roomStart();
    for (int i = bufClr / 2; i > 0; i--) {
        int32_t sum = 0;
        for (int k = SND_SLOTS - 1; k >= 0; k--) {
            SndSlot* s = &snd[k];
            if ((s->state != SND_PLAY && s->state != SND_LOOP) || !s->data)
                continue;
            sum += s->data[s->pos] * s->vol / 100;
            if (++s->pos >= s->len) {
                s->pos = 0;
                if (s->state == SND_PLAY)
                    s->state = SND_STOP;
            }
        }
        /* symmetric clamp: -32768 is never produced */
        if (sum > 32767)
            sum = 32767;
        if (sum < -32767)
            sum = -32767;
        sndBuf[p] = (int16_t)sum;
        sndBuf[(p + 1) & mask] = (int16_t)sum;
        p = (p + 2) & mask;
    }
    bufClr = 0;
}

/* ---- Transfer ------------------------------------------------------------ */

int sendSound(void)
{
    return snd_platSend();
}

int snd_update(void)
{
    int n = snd_platSend();
    if (n == 0)
        return 0;
    return n + snd_platSend();
}

int snd_devRequest(void)
{
    int toEnd = sndLen - bufPos;
    int fresh = sndLen - bufClr;
    return fresh < toEnd ? fresh : toEnd;
}

int snd_devAccepted(long result, int request)
{
    if (result < 0)
        return 0;
    int n = result == 0 ? request : (int)(result >> 1);
    bufClr += n;
    bufPos = (bufPos + n) & (sndLen - 1);
    return n;
}

/* ---- Sample slots ----------------------------------------------------------- */

static int snd_validSlot(int i)
{
    return i >= 0 && i < SND_SLOTS;
}

int findFreeSnd(void)
{
    for (int i = 0; i < SND_SLOTS; i++)
        if (snd[i].bytes == 0)
            return i;
    return -1;
}

int loadSnd(void)
{
    return 0;
}

int loadWav(const char* path)
{
    int i = findFreeSnd();
    if (i < 0) {
        snd_platMessage("EEEEEEEEEEEK!!!    no empty slot!\n");
        return -1;
    }
    SndSlot* s = &snd[i];
    int16_t* data = loadwav(path, &s->bytes);
    int code = wav_code(data);
    if (code != 0) {
        /* The loader has freed what it read; the slot stays free. */
        char line[SND_MESSAGE_MAX];
        snprintf(line, sizeof line, "EEK!!!  %s  %s\n", path ? path : "", wav_message(code));
        snd_platMessage(line);
        snd_clearSlot(s);
        return -1;
    }
    s->data = data;
    s->state = SND_STOP;
    s->vol = 100;
    s->len = s->bytes / 2;
    s->pos = 0;
    return i;
}

void killSnd(int index)
{
    if (snd_validSlot(index))
        snd_clearSlot(&snd[index]);
}

void killAllSnd(void)
{
    for (int i = 0; i < SND_SLOTS; i++)
        snd_clearSlot(&snd[i]);
}

int getSndState(int index)
{
    return snd_validSlot(index) ? snd[index].state : SND_STOP;
}

/* Sets a valid slot's state. */
static void snd_setState(int index, int state)
{
    if (snd_validSlot(index))
        snd[index].state = state;
}

void playSnd(int index)
{
    snd_setState(index, SND_PLAY);
}

void loopSnd(int index)
{
    snd_setState(index, SND_LOOP);
}

void pauseSnd(int index)
{
    snd_setState(index, SND_PAUSE);
}

void stopSnd(int index)
{
    if (!snd_validSlot(index))
        return;
    snd[index].state = SND_STOP;
    snd[index].pos = 0;
}
