/*
 * Desktop audio output: an Allegro audio stream whose buffer is exactly the
 * whole ring (see kv_audio.h). The ring is handed over whole, so bufPos stays
 * 0 and the ring works as a single buffer.
 */
#include <allegro.h>

#include "audio/kv_audio.h"
#include "platform/desktop/desktop.h"

/* ---- Globals -------------------------------------------------------------
 * Lifetime: whole run. */
int16_t sndBuf[16384];                  /* the ring: interleaved stereo samples */
const int sndLen = 16384;               /* ring length in samples, mask 0x3FFF */
AUDIOSTREAM* sndStream = nullptr;       /* null until snd_init succeeds */

static_assert((sizeof sndBuf / sizeof sndBuf[0]) == 16384, "ring length");

int snd_platOpen(int rate, int stereo)
{
    if (!desktop_ready())
        return 0;
    if (sndStream)
        snd_platClose();
    /* No sound card and no configured device: Allegro falls back to its
     * silent driver, the stream takes its first buffers and then never
     * drains, and the program runs on without sound. */
    (void)install_sound(DIGI_AUTODETECT, MIDI_NONE, nullptr);
    /* one stream buffer of 16384 >> stereo frames is exactly the ring */
    sndStream = play_audio_stream(sndLen >> stereo, 16, stereo, rate, 255, 128);
    return sndStream ? 1 : 0;
}

int snd_platClose(void)
{
    if (!desktop_up())
        return 0;
    if (sndStream)
        stop_audio_stream(sndStream);
    sndStream = nullptr;
    remove_sound();
    return 0;
}

int snd_platSend(void)
{
    if (!sndStream)
        return 0;
    int n = sndLen - bufClr; /* fresh samples, from index 0 */
    uint16_t* out = (uint16_t*)get_audio_stream_buffer(sndStream);
    if (n <= 0 || !out)
        return 0;
    /* the stream takes unsigned samples: flip the top bit */
    int mask = sndLen - 1;
    for (int i = 0; i < n; i++)
        out[i] = (uint16_t)((uint16_t)sndBuf[(bufPos + i) & mask] ^ 0x8000u);
    free_audio_stream_buffer(sndStream);
    bufClr = sndLen;
    return n;
}
