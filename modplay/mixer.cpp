/*
 * mixer: voices into the accumulation buffer, and conversion (see mixer.h).
 *
 * Speed: a voice is mixed in runs. Before each run the number of frames until
 * the position reaches the loop end (forward) or the turning point (backward)
 * is worked out once, so the inner loops only fetch, multiply, add and step.
 * There is one inner loop per sample width, output channel count and
 * direction, instantiated from templates; the loop kind (none, forward,
 * ping-pong) only decides what happens at the end of a run.
 */
#include "modplay/mixer.h"

#include <cstring>

enum {
    LOOP_NONE = 0,    /* one-shot: the voice stops at loopEnd */
    LOOP_FORWARD = 1, /* wraps from loopEnd back to loopStart */
    LOOP_PINGPONG = 2 /* turns at loopEnd and at loopStart */
};

/* ---- Inner loops ---------------------------------------------------------- */

/* n frames from position p moving by step (DIR +1 forward, -1 backward).
 * Sample frames are scaled by `scale` (256 for 8-bit data, 1 for 16-bit) in
 * the gains. Every position read lies below loopEnd or at most at length,
 * which the caller has made sure of. */
template <typename T, int STEREO, int DIR>
static void mixRun(int32_t* buf, int n, const T* data, uint32_t p, uint32_t step, int32_t gl, int32_t gr)
{
    const uint32_t d = DIR > 0 ? step : 0u - step; /* unsigned: wraps to a subtraction */
    int i = 0;
    if (STEREO) {
        /* groups of eight frames, then the rest */
        for (; i + 8 <= n; i += 8) {
            for (int k = 0; k < 8; k++) {
                int32_t s = data[p >> 10];
                buf[2 * (i + k)] += s * gl;
                buf[2 * (i + k) + 1] += s * gr;
                p += d;
            }
        }
        for (; i < n; i++) {
            int32_t s = data[p >> 10];
            buf[2 * i] += s * gl;
            buf[2 * i + 1] += s * gr;
            p += d;
        }
    } else {
        for (; i + 8 <= n; i += 8) {
            for (int k = 0; k < 8; k++) {
                buf[i + k] += (int32_t)data[p >> 10] * gl;
                p += d;
            }
        }
        for (; i < n; i++) {
            buf[i] += (int32_t)data[p >> 10] * gl;
            p += d;
        }
    }
}

/* Adds `frames` frames of the voice and writes its state back. gl, gr are the
 * left/right (or mono, gl) gains including the 8-bit scale. */
template <typename T, int STEREO, int KIND>
static void mixVoice(int32_t* buf, int frames, MODFILE_VOICE* v, int32_t gl, int32_t gr)
{
    const MODFILE_SAMPLE* smp = v->sample;
    const T* data = (const T*)smp->data;
    const int64_t S = (int64_t)(uint32_t)smp->loopStart << 10;
    const int64_t E = (int64_t)(uint32_t)smp->loopEnd << 10;
    const int64_t step = v->step;
    int64_t p = v->position;
    int fwd = v->forward;
    int done = 0;
    const int words = STEREO ? 2 : 1;

    while (done < frames) {
        int left = frames - done;
        int64_t k; /* frames up to and including the one whose step crosses */
        if (fwd) {
            /* first k >= 1 with p + k * step >= E */
            if (p >= E)
                k = 1;
            else
                k = step ? (E - p + step - 1) / step : (int64_t)left + 1;
        } else {
            /* first k >= 1 with (p - k * step) - S <= step; a position already
             * within two steps of the loop start (or before it) turns at once */
            int64_t d = p - S;
            if (d <= 2 * step)
                k = 1;
            else
                k = step ? (d + step - 1) / step - 1 : (int64_t)left + 1;
        }
        if (k > left) {
            if (fwd)
                mixRun<T, STEREO, 1>(buf + done * words, left, data, (uint32_t)p, (uint32_t)step, gl, gr);
            else
                mixRun<T, STEREO, -1>(buf + done * words, left, data, (uint32_t)p, (uint32_t)step, gl, gr);
            p += fwd ? left * step : -left * step;
            break;
        }
        int n = (int)k;
        if (fwd) {
            mixRun<T, STEREO, 1>(buf + done * words, n, data, (uint32_t)p, (uint32_t)step, gl, gr);
            p += n * step; /* now at or past loopEnd */
            done += n;
            if (KIND == LOOP_NONE) {
                v->active = 0;
                p = E;
                break;
            } else if (KIND == LOOP_PINGPONG) {
                p -= step; /* the last frame read is played again backwards */
                fwd = 0;
            } else {
                p -= E - S;
                /* a step longer than the loop would leave it: keep inside */
                if (p >= E)
                    p = S + (p - S) % (E - S);
            }
        } else {
            mixRun<T, STEREO, -1>(buf + done * words, n, data, (uint32_t)p, (uint32_t)step, gl, gr);
            p -= n * step;
            done += n;
            if (KIND == LOOP_NONE) {
                v->active = 0;
                p = S;
                break;
            } else if (KIND == LOOP_PINGPONG) {
                p += step;
                fwd = 1;
            } else {
                int64_t len = E - S;
                p += len;
                if (p < S || p >= E)
                    p = S + (((p - S) % len) + len) % len;
            }
        }
    }
    v->position = (uint32_t)p;
    v->forward = fwd;
}

/* Picks the loop kind of the voice's sample. */
template <typename T, int STEREO>
static void mixByLoop(int32_t* buf, int frames, MODFILE_VOICE* v, int32_t gl, int32_t gr)
{
    const MODFILE_SAMPLE* smp = v->sample;
    if (!smp->loop)
        mixVoice<T, STEREO, LOOP_NONE>(buf, frames, v, gl, gr);
    else if (smp->pingPong)
        mixVoice<T, STEREO, LOOP_PINGPONG>(buf, frames, v, gl, gr);
    else
        mixVoice<T, STEREO, LOOP_FORWARD>(buf, frames, v, gl, gr);
}

/* ---- Gains ---------------------------------------------------------------- */

/* (envVolume * master * volume) >> 12: 64 at full volume. */
static int32_t voiceGain(const MODFILE_VOICE* v, int master)
{
    return (int32_t)(((uint32_t)v->envVolume * (uint32_t)(master & 255) * v->volume) >> 12);
}

/* ---- Single-purpose mixing routines --------------------------------------- */

int mix_s8m_to_s32s_1616bit(int32_t* buf, int frames, MODFILE_VOICE* v, int master)
{
    int32_t gain = voiceGain(v, master);
    /* 8-bit samples follow the panning envelope: centre 32 plus the channel's
     * panning / 4, clamped to 0..64 around it */
    int u = v->envPanning + (v->panning >> 2);
    int p = u > 96 ? 64 : u < 32 ? 0 : u - 32;
    int32_t gl = ((64 - p) * gain >> 6) & 255;
    int32_t gr = (gain * p >> 6) & 255;
    mixByLoop<int8_t, 1>(buf, frames, v, gl * 256, gr * 256);
    return frames;
}

int mix_s16m_to_s32s_1616bit(int32_t* buf, int frames, MODFILE_VOICE* v, int master)
{
    int32_t gain = voiceGain(v, master);
    /* 16-bit samples take the channel's panning only */
    int p = v->panning >> 2;
    int32_t gl = (gain * (64 - p) >> 6) & 255;
    int32_t gr = (gain * p >> 6) & 255;
    mixByLoop<int16_t, 1>(buf, frames, v, gl, gr);
    return frames;
}

int mix_s8m_to_s32m_1616bit(int32_t* buf, int frames, MODFILE_VOICE* v, int master)
{
    mixByLoop<int8_t, 0>(buf, frames, v, voiceGain(v, master) * 256, 0);
    return frames;
}

int mix_s16m_to_s32m_1616bit(int32_t* buf, int frames, MODFILE_VOICE* v, int master)
{
    mixByLoop<int16_t, 0>(buf, frames, v, voiceGain(v, master), 0);
    return frames;
}

/* ---- Clearing and conversion ---------------------------------------------- */

void clearbuf_s32(int32_t* buf, int frames, int channels)
{
    if (frames > 0)
        memset(buf, 0, (size_t)frames * (size_t)channels * sizeof(int32_t));
}

void copybuf_s32_to_s16(void* out, const int32_t* buf, int frames, int channels)
{
    int16_t* o = (int16_t*)out;
    int n = frames * channels;
    for (int i = 0; i < n; i++) {
        int32_t v = buf[i];
        /* clamping to -0x800000..0x7FFFFF first gives the same limits */
        v = v < -0x800000 ? -0x800000 : v > 0x7FFFFF ? 0x7FFFFF : v;
        o[i] = (int16_t)(v >> 8);
    }
}

void copybuf_s32_to_s8(void* out, const int32_t* buf, int frames, int channels)
{
    int8_t* o = (int8_t*)out;
    int n = frames * channels;
    for (int i = 0; i < n; i++) {
        int32_t v = buf[i];
        v = v < -0x800000 ? -0x800000 : v > 0x7FFFFF ? 0x7FFFFF : v;
        o[i] = (int8_t)(v >> 16);
    }
}

void copybuf_s32_to_u8(void* out, const int32_t* buf, int frames, int channels)
{
    uint8_t* o = (uint8_t*)out;
    int n = frames * channels;
    for (int i = 0; i < n; i++) {
        int32_t v = buf[i];
        v = v < -0x800000 ? -0x800000 : v > 0x7FFFFF ? 0x7FFFFF : v;
        o[i] = (uint8_t)((v >> 16) + 128);
    }
}

void copybuf_s32_to_u16(void* out, const int32_t* buf, int frames, int channels)
{
    uint16_t* o = (uint16_t*)out;
    int n = frames * channels;
    for (int i = 0; i < n; i++) {
        int32_t w = buf[i] >> 7;
        w = w < -32768 ? -32768 : w > 32767 ? 32767 : w;
        o[i] = (uint16_t)(w ^ 0x8000);
    }
}

/* ---- Dispatch by flags ---------------------------------------------------- */

int mix_destbufsize(int flags)
{
    return ((flags & MIX_16BIT) ? 2 : 1) * ((flags & MIX_STEREO) ? 2 : 1);
}

int clearbuf_final(int flags, int32_t* buf, int frames)
{
    if (!(flags & MIX_ON))
        return 0;
    clearbuf_s32(buf, frames, (flags & MIX_STEREO) ? 2 : 1);
    return frames;
}

int mix_final_1616bit(int flags, int32_t* buf, int frames, MODFILE_VOICE* voice, int master)
{
    if (!(flags & MIX_ON))
        return 0;
    if (flags & MIX_STEREO)
        return voice->sample->is16Bit ? mix_s16m_to_s32s_1616bit(buf, frames, voice, master)
                                      : mix_s8m_to_s32s_1616bit(buf, frames, voice, master);
    return voice->sample->is16Bit ? mix_s16m_to_s32m_1616bit(buf, frames, voice, master)
                                  : mix_s8m_to_s32m_1616bit(buf, frames, voice, master);
}

int copybuf_final(int flags, void* out, const int32_t* buf, int frames)
{
    if (!(flags & MIX_ON))
        return 0;
    int channels = (flags & MIX_STEREO) ? 2 : 1;
    if (flags & MIX_16BIT) {
        if (flags & MIX_SIGNED)
            copybuf_s32_to_s16(out, buf, frames, channels);
        else
            copybuf_s32_to_u16(out, buf, frames, channels);
    } else if (flags & MIX_SIGNED) {
        copybuf_s32_to_s8(out, buf, frames, channels);
    } else {
        copybuf_s32_to_u8(out, buf, frames, channels);
    }
    return frames;
}

/* A channel's voice can be mixed: in use, sounding, with sample data. */
static int voiceSounds(const MODFILE_CHANNEL* ch)
{
    return ch->voice.enabled && ch->voice.active && ch->noteSample && ch->noteSample->data && ch->voice.sample &&
           ch->voice.sample->data;
}

/* (initGlobalVolume * globalVolume * host volume * (fadeVolume >> 9)) >> 18,
 * kept to 8 bits: 64 with everything at full. */
static int masterVolume(const MODFILE* mod, const MODFILE_CHANNEL* ch, int hostVolume)
{
    uint32_t m = (uint32_t)mod->initGlobalVolume * mod->globalVolume * (uint32_t)hostVolume * (uint32_t)(ch->fadeVolume >> 9);
    return (int)((m >> 18) & 255);
}

int MODFILE_Mix(MODFILE* mod, int flags, void* out, int frames)
{
    clearbuf_final(flags, mod->mixBuffer, frames);
    for (int c = 0; c < mod->numChannels - 1; c++) {
        MODFILE_CHANNEL* ch = &mod->channels[c];
        if (voiceSounds(ch))
            mix_final_1616bit(flags, mod->mixBuffer, frames, &ch->voice, masterVolume(mod, ch, mod->musicVolume));
    }
    for (int c = mod->numChannels; c < mod->numChannels + mod->numSfxChannels; c++) {
        MODFILE_CHANNEL* ch = &mod->channels[c];
        if (voiceSounds(ch))
            mix_final_1616bit(flags, mod->mixBuffer, frames, &ch->voice, masterVolume(mod, ch, mod->sfxVolume));
    }
    copybuf_final(flags, out, mod->mixBuffer, frames);
    return frames;
}
