/*
 * instruments: the soundtrack's fourteen instruments, synthesised in code.
 *
 * Drums are one-shot samples (kick, a snare kit, hi-hats, percussion,
 * cymbals) played at their own pitch on the keys of score::Key. The tonal
 * instruments (slap and synth bass, electric piano, lead, pluck, pad, brass,
 * chip square) are multi-sampled about every octave, each sample made at the
 * pitch it plays at most so the player's resampling stays close to one frame
 * a frame; relative note and finetune tune each sample exactly. Sustaining
 * sounds end in a seamless loop (forward, or ping-pong for the pad) shaped
 * by volume envelopes with sustain or loop points and a fade-out.
 */
#ifndef ORVEL_TOOLS_SONG_INSTRUMENTS_H
#define ORVEL_TOOLS_SONG_INSTRUMENTS_H

#include <vector>

#include "tools/xmwriter/xmwriter.h"

namespace instruments {

/* Every instrument of the song, in the order of score::Instrument. */
std::vector<xmw::Instrument> build(void);

} // namespace instruments

#endif
