/*
 * score: the vocabulary the soundtrack is written in.
 *
 * A section of the song is one pattern; Sec writes notes and effects into it
 * by row (16 rows a bar, 4 a beat). On top of that sit the musical helpers:
 * chords by name with voice-led voicings, drum grooves as 16-step strings,
 * bass lines as chord degrees, and melodies in a small text notation. The
 * helpers only ever fill a cell's effect column when it is empty, so the
 * effects a part asks for never overwrite each other silently (a clash is a
 * composing mistake and aborts the build in song_build's checks).
 *
 * Notes are note indices: 0 = C-0, 12 per octave, 57 = A-4 (440 Hz).
 */
#ifndef ORVEL_TOOLS_SONG_SCORE_H
#define ORVEL_TOOLS_SONG_SCORE_H

#include <string>
#include <vector>

#include "tools/xmwriter/xmwriter.h"

namespace score {

/* The song's channels (file channels, 0-based). */
enum Channel {
    KICK,   /* kick drum and the toms (the kick pitched up) */
    SNARE,  /* snare, clap, rim */
    HATS,   /* closed, open and pedal hi-hat */
    PERC,   /* congas, shaker, cowbell, tambourine */
    BASS,   /* slap or synth bass */
    EP1,    /* four voices of chords: electric piano or brass */
    EP2,
    EP3,
    EP4,
    LEAD,   /* the lead melody */
    ECHO,   /* the lead's echo, or a second line */
    PLUCK,  /* plucked and chip arpeggios */
    PAD1,   /* three pad voices */
    PAD2,
    PAD3,
    FX,     /* risers, sweeps, reversed cymbals */
    CYMBAL, /* crash */
    HORN,   /* the brass line */
    COND,   /* no notes: tempo, global volume, jumps, loops and delays */
    NUM_CHANNELS
};

/* The song's instruments (1-based, as cells name them). */
enum Instrument {
    I_KICK = 1,
    I_SNARES,
    I_HATS,
    I_PERC,
    I_SLAP,
    I_SYNBASS,
    I_EP,
    I_LEAD,
    I_PLUCK,
    I_PAD,
    I_BRASS,
    I_NOISE,
    I_CYMBALS,
    I_ROBOT,
    NUM_INSTRUMENTS = I_ROBOT
};

/* Keys of the drum kits: the note that plays each drum at its own pitch. */
enum Key {
    K_KICK = 60,    /* C-5; the toms are the kick an octave and a twelfth up */
    K_TOM_LO = 72,
    K_TOM_HI = 79,
    K_SNARE = 60,   /* in I_SNARES */
    K_CLAP = 62,
    K_RIM = 64,
    K_CLOSED = 60,  /* in I_HATS */
    K_OPEN = 62,
    K_PEDAL = 64,
    K_CONGA = 48,   /* in I_PERC: the conga plays any note up to B-4 */
    K_SHAKER = 60,
    K_COWBELL = 62,
    K_TAMB = 64,
    K_CRASH = 60,   /* in I_CYMBALS */
    K_REVERSE = 62,
    K_DEAD = 72     /* in I_SLAP: keys from C-6 up play a muted dead note */
};

/* XM effect numbers of the effect column. */
enum Effect {
    FX_ARP = 0x0,
    FX_PORTA_UP = 0x1,
    FX_PORTA_DOWN = 0x2,
    FX_TONE_PORTA = 0x3,
    FX_VIBRATO = 0x4,
    FX_TONE_VOL = 0x5,
    FX_VIB_VOL = 0x6,
    FX_TREMOLO = 0x7,
    FX_PAN = 0x8,
    FX_OFFSET = 0x9,
    FX_VOL_SLIDE = 0xA,
    FX_JUMP = 0xB,
    FX_VOLUME = 0xC,
    FX_BREAK = 0xD,
    FX_EXT = 0xE,
    FX_TEMPO = 0xF,
    FX_GLOBAL_VOL = 0x10,
    FX_GLOBAL_SLIDE = 0x11,
    FX_PAN_SLIDE = 0x19
};

/* Extended effects: param = (sub << 4) | x. */
enum ExtEffect {
    EX_FINE_UP = 0x1,
    EX_FINE_DOWN = 0x2,
    EX_VIB_WAVE = 0x4,
    EX_FINETUNE = 0x5,
    EX_LOOP = 0x6,
    EX_TREM_WAVE = 0x7,
    EX_PAN = 0x8,
    EX_RETRIG = 0x9,
    EX_FINE_VOL_UP = 0xA,
    EX_FINE_VOL_DOWN = 0xB,
    EX_CUT = 0xC,
    EX_DELAY = 0xD,
    EX_ROW_DELAY = 0xE
};

/* Volume-column bytes. */
inline uint8_t vSet(int v) { return (uint8_t)(0x10 + (v < 0 ? 0 : v > 64 ? 64 : v)); }
inline uint8_t vDown(int y) { return (uint8_t)(0x60 | (y & 15)); }
inline uint8_t vUp(int y) { return (uint8_t)(0x70 | (y & 15)); }
inline uint8_t vFineDown(int y) { return (uint8_t)(0x80 | (y & 15)); }
inline uint8_t vFineUp(int y) { return (uint8_t)(0x90 | (y & 15)); }
inline uint8_t vPan(int y) { return (uint8_t)(0xC0 | (y & 15)); }
inline uint8_t vPanLeft(int y) { return (uint8_t)(0xD0 | (y & 15)); }
inline uint8_t vPanRight(int y) { return (uint8_t)(0xE0 | (y & 15)); }

/* Note index from a name: "A-4", "C#5", "Bb3" (b for flat). Aborts on a
 * malformed name (the names are the composer's, fixed in the code). */
int nt(const char* name);

/* The mixing desk: every volume the score gives a note of instrument i is
 * scaled by LEVEL[i] (and held to 64) when it is written. */
extern const double LEVEL[NUM_INSTRUMENTS + 1];

/* ---- Writing a section ------------------------------------------------------ */

struct Sec {
    xmw::Pattern* p = nullptr;
    int rows = 0;

    xmw::Cell& at(int row, int ch);
    bool fxFree(int row, int ch);
    /* A note (index, or xmw::NOTE_OFF via off()) with instrument and, when
     * vol >= 0, a volume-column volume (through the mixing desk). */
    void note(int row, int ch, int n, int ins, int vol = -1);
    void off(int row, int ch);
    /* The effect column; aborts if it is already taken. */
    void fx(int row, int ch, int effect, int param);
    /* The effect column if it is free; returns whether it was. */
    bool tryFx(int row, int ch, int effect, int param);
    void ext(int row, int ch, int sub, int x) { fx(row, ch, FX_EXT, (sub << 4) | (x & 15)); }
    /* The volume column (raw byte); aborts if it is already taken. */
    void vol(int row, int ch, uint8_t v);
    bool hasNote(int row, int ch);
};

/* ---- Harmony ------------------------------------------------------------------- */

struct Chord {
    int root = 0;               /* pitch class 0..11, C = 0 */
    std::vector<int> intervals; /* semitones above the root, ascending, root 0 first */
    /* the chord's third and seventh in semitones (3 or 4; 10 or 11; 0 if none) */
    int third() const;
    int seventh() const;
};

/* "Am7", "D9", "Fmaj7", "E7#9", "Bbmaj7", "Bm7b5", "E7sus4", "G6", "Dm9",
 * "Cmaj9", "Fmaj9", "Am9", "G13", "Em7", "Dm7", "G7", "F7", "E7". */
Chord chord(const char* name);

/* A voicing of n notes within [lo, hi] led smoothly from `prev` (empty for
 * the first): the chord's colour tones first, the root dropped when the chord
 * has more tones than voices. Returns ascending note indices. */
std::vector<int> voicing(const Chord& c, int n, int lo, int hi, const std::vector<int>& prev);

/* The root of the chord as a bass note between E-1 and D#2. */
int bassRoot(const Chord& c);

/* ---- Parts ---------------------------------------------------------------------- */

/* One bar of drums from strings of up to 16 steps (null = nothing):
 *   kick:  K kick, k soft kick, T high tom, t low tom
 *   snare: S snare, s soft snare, g ghost note, C clap, c soft clap, R rim,
 *          r snare roll (retriggered twice a row), q snare roll three times
 *          a row, z six times a row
 *   hats:  X accent, x closed, h soft, o open, p pedal, r closed roll
 *   perc:  s shaker, S accented shaker, b cowbell, B accented cowbell,
 *          c high conga, m mid conga, l low conga, t tambourine
 * '.' is a rest. */
struct Drums {
    const char* kick = nullptr;
    const char* snare = nullptr;
    const char* hats = nullptr;
    const char* perc = nullptr;
};
void drums(Sec& s, int row, const Drums& d);

/* One bar of bass over chord c (next = the chord that follows, for approach
 * notes): up to 16 space-separated steps, each '.' (hold), '|' (key off), 'x' (dead
 * note) or a degree: R root, O octave, 3 the chord's third, b3 minor third,
 * 4, #4, 5, 6, 7 (the chord's seventh), 9, A (a semitone below the next root),
 * a (a semitone above it), N (the next root), or a note by name ("E2");
 * suffixes ' (octave up),
 * , (octave down), ! (accent), / (slide into it), ~ (fall off it). */
void bass(Sec& s, int row, int ins, const Chord& c, const Chord& next, const char* steps, int vol = 48);

/* A melody: space-separated notes "E5:3" (name without '-', length in
 * rows), rests "-:2", with flags after the length: v vibrato while held,
 * f fade while held, / glide in from the previous note, b bend up a
 * semitone on the second row, ~ fall at the end, ! accent. Returns the row
 * after the melody. */
struct MelodyStyle {
    int ins = 0;
    int vol = 44;       /* volume of a note, accent 56 */
    int vibrato = 0x82; /* 4xy operand */
    int glide = 0x10;   /* 3xx operand */
    int fade = 0x02;    /* fade: volume slide down per tick */
    int octave = 0;     /* semitones added to every note */
};
int melody(Sec& s, int row, int ch, const MelodyStyle& st, const char* text);

/* The same melody as an echo `delay` rows later on another channel: softer
 * (the effect column's set volume), panned to alternate sides (volume
 * column), without vibratos or slides, cut at the section's end. */
void echo(Sec& s, int row, int ch, const MelodyStyle& st, const char* text, int delay, int vol);

/* Chords on channels EP1..EP4 (n voices): rhythm of up to 16 steps: X hit held,
 * x short stab (cut after 3 ticks), | key off, '.' nothing. Voices from
 * voicing() within [lo, hi], led from *prev (updated). */
void comp(Sec& s, int row, int ins, const Chord& c, const char* rhythm, int n, int vol, int lo, int hi,
          std::vector<int>* prev, int firstChannel = EP1);

/* Sustained chord on the pad channels: notes at row (3 voices), gliding
 * from the previous chord at the tone portamento speed `glide` unless 0. */
void pad(Sec& s, int row, const Chord& c, int vol, std::vector<int>* prev, int glide = 0, int lo = 48, int hi = 67);

/* Sixteenths over the chord's tones on channel ch: up to 16 steps, each an
 * index 0..3 into the chord's voicing of 4 notes within [lo, hi], 4..7 the
 * same an octave up, '.' a rest. */
void arp(Sec& s, int row, int ch, int ins, const Chord& c, const char* pattern, int vol, int lo, int hi);

/* Adds note delays of `ticks` to every note on an odd row (the off-beat
 * sixteenths) of the given channels between rows [from, to) whose effect
 * column is free: the swing of the groove. */
void swing(Sec& s, int from, int to, const std::vector<int>& channels, int ticks);

} // namespace score

#endif
