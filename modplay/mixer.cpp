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

/* Positions and steps inside the mixer are 32.32 fixed point: the voice's
 * 22.10 position or step with its 22 finer bits below. */
enum {
    FINE_BITS = 22, /* bits of positionFrac and stepFrac */
    FRAME_SHIFT = 32
};

/* A left/right pair of the stereo accumulation buffer as one word. */
typedef int64_t __attribute__((may_alias)) PackedPair;

/* n frames from position p moving by step (DIR +1 forward, -1 backward).
 * Sample frames are scaled by `scale` (256 for 8-bit data, 1 for 16-bit) in
 * the gains. Every position read lies below loopEnd or at most at length,
 * which the caller has made sure of. */
template <typename T, int STEREO, int DIR>
static void mixRun(int32_t* buf, int n, const T* data, uint64_t p, uint64_t step, int32_t gl, int32_t gr)
{
    const uint64_t d = DIR > 0 ? step : 0u - step; /* unsigned: wraps to a subtraction */
    int i = 0;
    if (STEREO) {
        /* both sides in one 64-bit add: the pair read as one little-endian
         * word is right * 2^32 + left (see MODFILE_Mix) */
        PackedPair* pair = (PackedPair*)buf;
        const int64_t g = (int64_t)gr * ((int64_t)1 << 32) + gl;
        for (; i + 8 <= n; i += 8) {
            for (int k = 0; k < 8; k++) {
                pair[i + k] += (int64_t)data[p >> FRAME_SHIFT] * g;
                p += d;
            }
        }
        for (; i < n; i++) {
            pair[i] += (int64_t)data[p >> FRAME_SHIFT] * g;
            p += d;
        }
    } else {
        for (; i + 8 <= n; i += 8) {
            for (int k = 0; k < 8; k++) {
                buf[i + k] += (int32_t)data[p >> FRAME_SHIFT] * gl;
                p += d;
            }
        }
        for (; i < n; i++) {
            buf[i] += (int32_t)data[p >> FRAME_SHIFT] * gl;
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
    const int64_t S = (int64_t)(uint32_t)smp->loopStart << FRAME_SHIFT;
    const int64_t E = (int64_t)(uint32_t)smp->loopEnd << FRAME_SHIFT;
    const int64_t step = (int64_t)((uint64_t)v->step << FINE_BITS | (v->stepFrac & ((1u << FINE_BITS) - 1)));
    int64_t p = (int64_t)((uint64_t)v->position << FINE_BITS | (v->positionFrac & ((1u << FINE_BITS) - 1)));
    int fwd = v->forward;
    int done = 0;
    const int words = STEREO ? 2 : 1;
    /* a silent voice only moves on */
    const bool audible = gl != 0 || gr != 0;

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
            if (audible && fwd)
                mixRun<T, STEREO, 1>(buf + done * words, left, data, (uint64_t)p, (uint64_t)step, gl, gr);
            else if (audible)
                mixRun<T, STEREO, -1>(buf + done * words, left, data, (uint64_t)p, (uint64_t)step, gl, gr);
            p += fwd ? left * step : -left * step;
            break;
        }
        int n = (int)k;
        if (fwd) {
            if (audible)
                mixRun<T, STEREO, 1>(buf + done * words, n, data, (uint64_t)p, (uint64_t)step, gl, gr);
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
            if (audible)
                mixRun<T, STEREO, -1>(buf + done * words, n, data, (uint64_t)p, (uint64_t)step, gl, gr);
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
    v->position = (uint32_t)(p >> FINE_BITS);
    v->positionFrac = (uint32_t)p & ((1u << FINE_BITS) - 1);
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

/* The voice's panning 0..255 with the panning envelope applied: the
 * envelope (centre 32) swings the channel's panning by up to the room it has
 * towards the nearer side, (envPanning - 32) * (128 - |panning - 128|) / 32. */
static int voicePanning(const MODFILE_VOICE* v)
{
    int room = 128 - (v->panning > 128 ? v->panning - 128 : 128 - v->panning);
    int p = v->panning + ((int)v->envPanning - 32) * room / 32;
    return p < 0 ? 0 : p > 255 ? 255 : p;
}

/* Left and right gains of a stereo voice: the panning's top six bits share
 * the gain, (gain * (64 - p)) >> 6 to the left and (gain * p) >> 6 to the
 * right, each kept to 8 bits. */
static void stereoGains(const MODFILE_VOICE* v, int master, int32_t* gl, int32_t* gr)
{
    int32_t gain = voiceGain(v, master);
    int p = voicePanning(v) >> 2;
    *gl = (gain * (64 - p) >> 6) & 255;
    *gr = (gain * p >> 6) & 255;
}

int mix_s8m_to_s32s_1616bit(int32_t* buf, int frames, MODFILE_VOICE* v, int master)
{
    int32_t gl, gr;
    stereoGains(v, master, &gl, &gr);
    mixByLoop<int8_t, 1>(buf, frames, v, gl * 256, gr * 256);
    return frames;
}

int mix_s16m_to_s32s_1616bit(int32_t* buf, int frames, MODFILE_VOICE* v, int master)
{
    int32_t gl, gr;
    stereoGains(v, master, &gl, &gr);
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
    /* the signed 16-bit value with its sign bit flipped: the same gain */
    uint16_t* o = (uint16_t*)out;
    int n = frames * channels;
    for (int i = 0; i < n; i++) {
        int32_t v = buf[i];
        v = v < -0x800000 ? -0x800000 : v > 0x7FFFFF ? 0x7FFFFF : v;
        o[i] = (uint16_t)((v >> 8) ^ 0x8000);
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

/* The stereo voices add each frame's left and right sums as one 64-bit
 * number, right * 2^32 + left, whose high word therefore holds right - 1
 * where left is negative: this puts the borrow back. */
static void unpackPairs(int32_t* buf, int frames)
{
    for (int i = 0; i < frames; i++)
        buf[2 * i + 1] += (int32_t)((uint32_t)buf[2 * i] >> 31);
}

/* A channel's voice can be mixed: in use, sounding, with sample data. */
static int voiceSounds(const MODFILE_CHANNEL* ch)
{
    return ch->voice.enabled && ch->voice.active && ch->noteSample && ch->noteSample->data && ch->voice.sample &&
           ch->voice.sample->data;
}

/* (globalVolume * host volume * (fadeVolume >> 9)) >> 12, kept to 8 bits:
 * 64 with everything at full. The song's initial global volume is where
 * globalVolume starts, so it counts once. */
static int masterVolume(const MODFILE* mod, const MODFILE_CHANNEL* ch, int hostVolume)
{
    uint32_t m = (uint32_t)mod->globalVolume * (uint32_t)hostVolume * (uint32_t)(ch->fadeVolume >> 9);
    return (int)((m >> 12) & 255);
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
    if (flags & MIX_STEREO)
        unpackPairs(mod->mixBuffer, frames);
    copybuf_final(flags, out, mod->mixBuffer, frames);
    return frames;
}
