/*
 * composition: the sections of the soundtrack (see composition.h).
 *
 * Rows are sixteenth notes; "bar b, step i" is row 16 b + i of a section.
 */
#include "tools/song/composition.h"

namespace composition {

namespace {

using namespace score;

/* What the swing delays: everything but the echo (a delay line keeps
 * straight time) and the pads. */
const std::vector<int> GROOVE = {KICK, SNARE, HATS, PERC, BASS, EP1, EP2, EP3, EP4, LEAD, PLUCK, HORN};

/* ---- Shared figures ------------------------------------------------------------- */

void crash(Sec& s, int row, int vol)
{
    s.note(row, CYMBAL, K_CRASH, I_CYMBALS, vol);
}

/* A reversed crash swelling into the downbeat `beats` beats (1 or 2) after
 * row: the sample is two beats long, so one beat starts it half-way in. */
void swellInto(Sec& s, int row, int beats, int vol)
{
    s.note(row, CYMBAL, K_REVERSE, I_CYMBALS);
    if (beats == 1) {
        s.fx(row, CYMBAL, FX_OFFSET, 0x36); /* 54 * 256 frames in */
        s.vol(row, CYMBAL, vSet(vol));
    } else {
        s.fx(row, CYMBAL, FX_VOLUME, vol);
    }
}

/* Rising noise over `rows` rows from note `from`: portamento up, the
 * volume climbing from 6 to about 38 by fine steps in the volume column (by
 * a slide for short risers), cut on the last tick. */
void riser(Sec& s, int row, int rows, int from, int speed)
{
    s.note(row, FX, from, I_NOISE, 6);
    int step = 32 / rows;
    for (int r = row + 1; r < row + rows; r++) {
        if (r == row + rows - 1)
            s.ext(r, FX, EX_CUT, 5);
        else
            s.fx(r, FX, FX_PORTA_UP, speed);
        s.vol(r, FX, step >= 3 ? vUp(1) : vFineUp(step < 1 ? 1 : step));
    }
}

/* The electric piano's tremolo over the held rows [from, to) of n voices. */
void tremolo(Sec& s, int from, int to, int n, int param)
{
    for (int r = from; r < to; r++)
        for (int j = 0; j < n; j++)
            if (!s.hasNote(r, EP1 + j))
                s.tryFx(r, EP1 + j, FX_TREMOLO, param);
}

/* Key off on channels [first, last]. */
void offs(Sec& s, int row, int first, int last)
{
    for (int c = first; c <= last; c++)
        s.off(row, c);
}

/* ---- Grooves -------------------------------------------------------------------- */

const Drums GROOVE_A1 = {"K..k......K.k...", "....S..g.g..S..g", "XhxhXhxhXhxhXhoh", nullptr};
const Drums GROOVE_A2 = {"K..k..K...K.....", "....S..g.g.gS..g", "XhxhXhxhXhxhXhxo", nullptr};
const Drums GROOVE_A_FILL = {"K..k......K..T.t", "....S..g.g..SsSS", "XhxhXhxhXhxh....", nullptr};
const Drums GROOVE_B1 = {"K..K..K...K..K..", "....S...g..gS..g", "XhxhXhohXhxhXhoh", "....t.......t..."};
const Drums GROOVE_B2 = {"K..K..K...K.k...", "....S...g..gS.gS", "XhxhXhohXhxhXhxo", "....t.......t.t."};
const Drums GROOVE_B_FILL = {"K..K..K...K..t.t", "....S...g..gSgSS", "XhxhXhohXhxh....", "....t..........."};

/* The hook over Am7 | D9 | Am7 | D9. */
const char* const HOOK_ONE = "-:2 A4:1 C5:2 D5:1 E5:3/ G5:1 E5:2 D5:1 C5:1 A4:2 "
                             "-:2 F#5:2 E5:1 D5:2 E5:5v -:2 D5:1 E5:1 "
                             "G5:2 A5:3v G5:1 E5:2 D5:1 E5:3 C5:3b A4:1 "
                             "-:1 C5:1 D5:2 F#5:1 A5:3/ G5:2 E5:6vf";

/* The answer over Fmaj7 | G6 | Em7 | Am7. */
const char* const HOOK_TWO = "E5:2 F5:1 A5:3v G5:1 E5:2 C5:1 D5:2 E5:2 -:2 "
                             "D5:1 E5:1 G5:2 A5:1 G5:2 E5:1 D5:3v B4:1 D5:2 -:2 "
                             "-:2 B4:1 D5:2 E5:1 G5:3/ F#5:1 E5:2 D5:2 B4:2 "
                             "C5:2 A4:1 C5:1 E5:4v D5:1 C5:1 A4:6vf";

const char* const BASS_MINOR_A = "R! . x O! . . R 7, . R x b3 . 4 #4 5";
const char* const BASS_MINOR_B = "R! . x O! . . R 7, . R x b3 . 5 . O";
const char* const BASS_DOM_A = "R! . x O! . 7 . 5 x R . 3 . 5 6 7";
const char* const BASS_DOM_B = "R! . x O! . 7 . 5 x R . 3 . 5 . A";
const char* const BASS_MAJ = "R! . . 5 . O! . 5 R . x 3' . 5 . A";
const char* const BASS_SIX = "R! . x O! . 5 . 6 x R . 3 . 5 . A";
const char* const BASS_MINOR_END = "R! . x O! . 7 . 5 x R . b3 . 5 . O!";

/* Four bars of the slap groove over Am7 | D9 | Am7 | D9 from row. */
void grooveOne(Sec& s, int row, bool fill, std::vector<int>* ep, const Chord& after)
{
    Chord am = chord("Am7"), d9 = chord("D9");
    drums(s, row, GROOVE_A1);
    drums(s, row + 16, GROOVE_A2);
    drums(s, row + 32, GROOVE_A1);
    drums(s, row + 48, fill ? GROOVE_A_FILL : GROOVE_A2);
    bass(s, row, I_SLAP, am, d9, BASS_MINOR_A);
    bass(s, row + 16, I_SLAP, d9, am, BASS_DOM_A);
    bass(s, row + 32, I_SLAP, am, d9, BASS_MINOR_B);
    bass(s, row + 48, I_SLAP, d9, after, BASS_DOM_B);
    comp(s, row, I_EP, am, "|.x..x.x...x..x.", 4, 26, 53, 72, ep);
    comp(s, row + 16, I_EP, d9, "X.....x.x..x.x..", 4, 26, 53, 72, ep);
    comp(s, row + 32, I_EP, am, "..x..x.x...x..x.", 4, 26, 53, 72, ep);
    comp(s, row + 48, I_EP, d9, "X.....x.x...X...", 4, 26, 53, 72, ep);
}

/* Four bars of the second groove over Fmaj7 | G6 | Em7 | Am7 from row. */
void grooveTwo(Sec& s, int row, std::vector<int>* ep)
{
    Chord f = chord("Fmaj7"), g = chord("G6"), em = chord("Em7"), am = chord("Am7"), e = chord("E7#9");
    drums(s, row, GROOVE_B1);
    drums(s, row + 16, GROOVE_B2);
    drums(s, row + 32, GROOVE_B1);
    drums(s, row + 48, GROOVE_B_FILL);
    bass(s, row, I_SLAP, f, g, BASS_MAJ);
    bass(s, row + 16, I_SLAP, g, em, BASS_SIX);
    bass(s, row + 32, I_SLAP, em, am, BASS_MINOR_A);
    bass(s, row + 48, I_SLAP, am, e, BASS_MINOR_END);
    comp(s, row, I_EP, f, "X.....x...x.x...", 4, 24, 53, 72, ep);
    comp(s, row + 16, I_EP, g, "..x..x.x...x..x.", 4, 24, 53, 72, ep);
    comp(s, row + 32, I_EP, em, "X.....x...x.x...", 4, 24, 53, 72, ep);
    comp(s, row + 48, I_EP, am, "..x..x.x...x..x.", 4, 24, 53, 72, ep);
}

/* ---- Sections ------------------------------------------------------------------- */

/* Titles (4 bars): the pad swells in over Am9 | Fmaj9 | Dm9 | E7sus4 E7#9,
 * the piano trembles, a pluck arpeggio and a shaker join, the last bar
 * builds with kick, hats, a snare roll, rising noise and a reversed crash. */
void intro(Sec& s)
{
    s.fx(0, COND, FX_GLOBAL_VOL, 64);
    Chord am9 = chord("Am9"), f9 = chord("Fmaj9"), dm9 = chord("Dm9"), sus = chord("E7sus4"), e = chord("E7#9");
    std::vector<int> pv, ev;
    pad(s, 0, am9, 26, &pv);
    for (int r : {4, 8, 12})
        for (int c = PAD1; c <= PAD3; c++)
            s.vol(r, c, vFineUp(2));
    pad(s, 16, f9, 30, &pv);
    pad(s, 32, dm9, 32, &pv);
    pad(s, 48, sus, 34, &pv);
    pad(s, 56, e, 34, &pv, 0x08);

    comp(s, 0, I_EP, am9, "X", 4, 28, 53, 72, &ev);
    s.ext(0, EP1, EX_TREM_WAVE, 0); /* sine */
    comp(s, 16, I_EP, f9, "X", 4, 28, 53, 72, &ev);
    comp(s, 32, I_EP, dm9, "X", 4, 28, 53, 72, &ev);
    comp(s, 48, I_EP, sus, "X", 4, 28, 53, 72, &ev);
    comp(s, 56, I_EP, e, "X", 4, 28, 53, 72, &ev);
    tremolo(s, 1, 64, 4, 0x46);

    arp(s, 16, PLUCK, I_PLUCK, f9, "0.2.1.3.2.4.3.5.", 18, 60, 79);
    arp(s, 32, PLUCK, I_PLUCK, dm9, "0.2.1.3.2.4.3.5.", 20, 60, 79);
    arp(s, 48, PLUCK, I_PLUCK, sus, "0.2.1.3.", 22, 60, 79);
    arp(s, 56, PLUCK, I_PLUCK, e, "2.4.3.5.", 24, 60, 79);

    drums(s, 32, {nullptr, nullptr, nullptr, "s.s.s.s.s.s.s.sS"});
    drums(s, 48, {"k...k...K...K...", "........s.s.rrqz", "h.h.h.h.x.x.xxxx", "s.s.s.s.S.S.S.S."});
    bass(s, 48, I_SYNBASS, sus, e, "R . . . . . . . . . . . . . . .", 36);
    riser(s, 48, 16, nt("C-4"), 0x04);
    swellInto(s, 56, 2, 40);
}

/* The cube (4 bars): the slap groove over Am7 | D9 with piano stabs and a
 * quiet pad, a fill into the rewind. */
void kube(Sec& s)
{
    Chord am = chord("Am7"), d9 = chord("D9");
    std::vector<int> ev, pv;
    crash(s, 0, 44);
    grooveOne(s, 0, true, &ev, am);
    pad(s, 0, am, 18, &pv);
    pad(s, 16, d9, 18, &pv);
    pad(s, 32, am, 18, &pv);
    pad(s, 48, d9, 18, &pv);
    s.note(44, HORN, nt("A-4"), I_BRASS, 36);
    s.ext(44, HORN, EX_CUT, 3);
    s.note(46, HORN, nt("C-5"), I_BRASS, 36);
    s.ext(46, HORN, EX_CUT, 3);
    s.note(47, HORN, nt("D-5"), I_BRASS, 40);
    s.ext(47, HORN, EX_CUT, 4);
    swing(s, 0, 64, GROOVE, 1);
}

/* The cube runs back (5 beats, the pattern broken after 20 rows): one beat
 * of the groove, then everything slows down like a stopped tape while noise
 * rewinds across the stereo field; a pickup into the fractal cubes. */
void rewind(Sec& s)
{
    Chord am = chord("Am7"), f = chord("Fmaj7");
    std::vector<int> ev, pv;
    drums(s, 0, {"K.k.", "..s.", "XhxhX", nullptr});
    bass(s, 0, I_SLAP, am, am, "R! . O", 48);
    comp(s, 0, I_EP, am, "X", 4, 28, 53, 72, &ev);
    pad(s, 0, am, 22, &pv);
    for (int r = 2; r < 12; r++) {
        int speed = 2 + (r - 2);
        s.fx(r, BASS, FX_PORTA_DOWN, speed);
        for (int c = EP1; c <= EP4; c++) {
            s.fx(r, c, FX_PORTA_DOWN, speed);
            s.vol(r, c, vDown(1));
        }
        for (int c = PAD1; c <= PAD3; c++)
            s.fx(r, c, FX_PORTA_DOWN, speed);
    }
    offs(s, 12, BASS, EP4);
    offs(s, 12, PAD1, PAD3);
    s.note(4, FX, nt("C-6"), I_NOISE, 24);
    for (int r = 5; r < 16; r++) {
        s.fx(r, FX, FX_PORTA_DOWN, 0x06);
        s.vol(r, FX, r < 10 ? vPanLeft(6) : vPanRight(6));
    }
    s.off(16, FX);
    swellInto(s, 16, 1, 40);
    drums(s, 16, {"K.T.", "ggsS", nullptr, nullptr});
    bass(s, 16, I_SLAP, f, f, "x C2 . E2", 48);
    s.note(18, HORN, nt("A-4"), I_BRASS, 36);
    s.ext(18, HORN, EX_CUT, 2);
    s.note(19, HORN, nt("C-5"), I_BRASS, 40);
    s.fx(19, COND, FX_BREAK, 0x00);
}

/* The fractal cubes (4 bars, a cube change a bar): the second groove and the
 * answer phrase on the lead with its echo. */
void fkube(Sec& s)
{
    Chord f = chord("Fmaj7"), g = chord("G6"), em = chord("Em7"), am = chord("Am7");
    std::vector<int> ev, pv;
    crash(s, 0, 44);
    crash(s, 16, 28);
    crash(s, 32, 32);
    crash(s, 48, 28);
    s.off(0, HORN);
    grooveTwo(s, 0, &ev);
    pad(s, 0, f, 18, &pv);
    pad(s, 16, g, 18, &pv);
    pad(s, 32, em, 18, &pv);
    pad(s, 48, am, 18, &pv);
    MelodyStyle lead{I_LEAD, 46, 0x82, 0x10, 0x02, 0};
    melody(s, 0, LEAD, lead, HOOK_TWO);
    echo(s, 0, ECHO, lead, HOOK_TWO, 3, 18);
    swing(s, 0, 64, GROOVE, 1);
}

/* First fractal zoom (4 beats in 13 rows): a stop-time hit on E7#9, a row
 * held three rows longer, then a snare roll, rising noise and a bass run
 * into the flower. */
void stop(Sec& s)
{
    Chord e = chord("E7#9"), f = chord("Fmaj7");
    std::vector<int> ev;
    offs(s, 0, LEAD, ECHO);
    offs(s, 0, PAD1, PAD3);
    crash(s, 0, 48);
    drums(s, 0, {"K...k...K", "....g.g.rrqqz", "....h.h.h.h.x", nullptr});
    bass(s, 0, I_SLAP, e, f, "R! . | . . . . . x . C2 D2 E2", 52);
    comp(s, 0, I_EP, e, "X.|", 4, 34, 53, 72, &ev);
    s.note(0, HORN, nt("E-5"), I_BRASS, 46);
    s.ext(0, HORN, EX_CUT, 4);
    s.ext(3, COND, EX_ROW_DELAY, 3);
    riser(s, 4, 9, nt("C-4"), 0x05);
    swellInto(s, 9, 1, 40);
}

/* The flower and the credits (8 bars): lighter drums with rim, shaker and
 * congas, the lyrical melody over a falling progression, plucked arpeggios,
 * the pad drifting apart in the stereo field. */
void flower(Sec& s)
{
    const char* names[8] = {"Fmaj7", "Em7", "Dm7", "G7", "Cmaj7", "Fmaj7", "Bm7b5", "Am7"};
    Chord e7 = chord("E7");
    std::vector<int> ev, pv;
    for (int b = 0; b < 8; b++) {
        int r = b * 16;
        Chord c = chord(names[b]);
        Chord next = b < 7 ? chord(names[b + 1]) : chord("Am9");
        pad(s, r, c, 24, &pv);
        s.fx(r, PAD1, FX_PAN, 0x60);
        s.fx(r, PAD3, FX_PAN, 0xA0);
        for (int k = 2; k < 14; k++) {
            s.fx(r + k, PAD1, FX_PAN_SLIDE, 0x01);
            s.fx(r + k, PAD3, FX_PAN_SLIDE, 0x10);
        }
        if (b == 6) {
            comp(s, r, I_EP, c, "X.......", 4, 20, 53, 72, &ev);
            comp(s, r + 8, I_EP, e7, "X.......", 4, 20, 53, 72, &ev);
            arp(s, r, PLUCK, I_PLUCK, c, "0.2.1.3.", 18, 60, 79);
            arp(s, r + 8, PLUCK, I_PLUCK, e7, "0.2.1.3.", 18, 60, 79);
            bass(s, r, I_SLAP, c, e7, "R! . . x 5 . . .", 44);
            bass(s, r + 8, I_SLAP, e7, next, "R! . . x 5 . A .", 44);
        } else {
            comp(s, r, I_EP, c, "X.......x.....x.", 4, 20, 53, 72, &ev);
            arp(s, r, PLUCK, I_PLUCK, c, b & 1 ? "4.3.2.1.0.1.2.3." : "0.2.1.3.2.4.3.5.", 18, 60, 79);
            bass(s, r, I_SLAP, c, next, b & 1 ? "R! . . x . . R . 5 . x . O . A ." : "R! . . x . . 5 . O . x . 7 . 5 .",
                 44);
        }
        if (b == 7)
            drums(s, r, {"K.......K.......", "....R...........", "x.h.x.h.x.h.....", "s.s.s.s.s.s....."});
        else if (b & 1)
            drums(s, r, {"K.......K...k...", "....R..g....R..g", "x.h.x.h.x.h.x.h.", "..c..l.c..c.l..."});
        else
            drums(s, r, {"K.......K.K.....", "....R.......R...", "x.h.x.h.x.h.x.ho", "s.s.s.s.s.s.s.s."});
    }
    crash(s, 0, 36);
    crash(s, 32, 24);
    crash(s, 64, 24);
    crash(s, 96, 24);
    MelodyStyle lead{I_LEAD, 40, 0x73, 0x10, 0x01, 0};
    const char* tune = "A5:6v G5:2 E5:4 C5:4 "
                       "D5:2 E5:2 G5:8v B4:4 "
                       "A5:4 F5:2 E5:2 D5:6v C5:2 "
                       "B4:2 D5:2 F5:4 E5:2 D5:6v "
                       "E5:6v D5:2 C5:2 B4:2 G4:4 "
                       "A4:2 C5:2 F5:8v E5:4 "
                       "D5:4 F5:4 E5:2 D5:2 G#4:4 "
                       "A4:12/f -:4";
    melody(s, 0, LEAD, lead, tune);
    echo(s, 0, ECHO, lead, tune, 3, 16);
    /* the congas placed apart: high ones right (E8B: 176), low ones left
     * (E85: 80) */
    for (int r = 0; r < 128; r++) {
        const xmw::Cell& c = s.at(r, PERC);
        if (c.note == nt("D#4") + 1)
            s.ext(r, PERC, EX_PAN, 11);
        else if (c.note == nt("A-3") + 1)
            s.ext(r, PERC, EX_PAN, 5);
    }
    swellInto(s, 120, 2, 36);
    swing(s, 0, 128, GROOVE, 1);
}

/* The fractal zooms back (4 bars, a little faster): a breakdown; the pad
 * glides from chord to chord, the piano trembles, arpeggios climb, then
 * kick, hats and a snare roll build with rising noise. */
void breakdown(Sec& s)
{
    Chord am9 = chord("Am9"), f9 = chord("Fmaj9"), dm9 = chord("Dm9"), sus = chord("E7sus4"), e = chord("E7#9");
    std::vector<int> ev, pv;
    crash(s, 0, 30);
    offs(s, 0, LEAD, ECHO);
    pad(s, 0, am9, 28, &pv);
    pad(s, 16, f9, 28, &pv, 0x08);
    pad(s, 32, dm9, 28, &pv, 0x08);
    pad(s, 48, sus, 28, &pv, 0x08);
    pad(s, 56, e, 28, &pv, 0x08);
    for (int r : {36, 40, 44, 52, 60})
        for (int c = PAD1; c <= PAD3; c++)
            s.ext(r, c, EX_FINE_VOL_UP, 2);
    comp(s, 0, I_EP, am9, "X", 4, 26, 53, 72, &ev);
    s.ext(0, EP1, EX_TREM_WAVE, 0);
    comp(s, 16, I_EP, f9, "X", 4, 26, 53, 72, &ev);
    comp(s, 32, I_EP, dm9, "X", 4, 26, 53, 72, &ev);
    comp(s, 48, I_EP, sus, "X", 4, 26, 53, 72, &ev);
    comp(s, 56, I_EP, e, "X", 4, 26, 53, 72, &ev);
    tremolo(s, 1, 64, 4, 0x56);
    arp(s, 0, PLUCK, I_PLUCK, am9, "0.1.2.3.4.5.6.7.", 16, 57, 76);
    arp(s, 16, PLUCK, I_PLUCK, f9, "0.1.2.3.4.5.6.7.", 18, 57, 76);
    arp(s, 32, PLUCK, I_PLUCK, dm9, "0.1.2.3.4.5.6.7.", 20, 57, 76);
    arp(s, 48, PLUCK, I_PLUCK, sus, "0.1.2.3.", 22, 57, 76);
    arp(s, 56, PLUCK, I_PLUCK, e, "4.5.6.7.", 24, 57, 76);
    bass(s, 0, I_SYNBASS, am9, f9, "R . . . . . . . . . . . . . . .", 40);
    bass(s, 16, I_SYNBASS, f9, dm9, "R . . . . . . . . . . . . . . .", 40);
    bass(s, 32, I_SYNBASS, dm9, sus, "R . . . . . . . . . . . . . . .", 40);
    bass(s, 48, I_SYNBASS, sus, e, "R . . . . . . . R . . . O . R .", 44);
    drums(s, 16, {nullptr, nullptr, nullptr, "s...s...s...s.s."});
    drums(s, 32, {"k...k...k...k...", nullptr, "..h...h...x...x.", "s.s.s.s.s.s.s.s."});
    drums(s, 48, {"K...K...K...K.K.", "s.s.s.s.SsSsrrqz", "x.x.x.x.xxxxxxxx", "S.s.S.s.S.s.S.S."});
    riser(s, 48, 16, nt("A-3"), 0x05);
    swellInto(s, 56, 2, 40);
}

/* The robots run (10 beats, slower): a mechanical funk, straight: chip
 * square arpeggios, a staccato synth bass, cowbell and claps, a robot
 * melody with a square vibrato; two beats of toms to finish. */
void robots(Sec& s)
{
    Chord am = chord("Am7");
    std::vector<int> pv;
    crash(s, 0, 36);
    offs(s, 0, EP1, EP4);
    drums(s, 0, {"K...K...K...K..k", "....C.......C...", "..x...x...x...x.", "b..b..b...b.b..."});
    drums(s, 16, {"K...K...K...K.kk", "....C.......C.cC", "..x...x...x...x.", "B..b..b...b.b..b"});
    drums(s, 32, {"K..T..t.", "..S.S.rz", nullptr, "c.m.l..."});
    bass(s, 0, I_SYNBASS, am, am, "R | O R | R O | R | O R 7 | 5 O", 48);
    bass(s, 16, I_SYNBASS, am, am, "R | O R | R O | R | O R 5 | b3 4", 48);
    bass(s, 32, I_SYNBASS, am, am, "R . 5 . 7 . O~ .", 48);
    const char* chip[16] = {"A-4", nullptr, "A-4", nullptr, "C-5", nullptr, "A-4", nullptr,
                            "G-4", nullptr, "A-4", nullptr, "E-5", nullptr, "D-5", nullptr};
    for (int b = 0; b < 2; b++)
        for (int i = 0; i < 16; i += 2) {
            int r = b * 16 + i;
            /* minor triads on A, major on C, a fourth and fifth on G, octaves on top */
            int arpOp = (i == 12 || i == 14) ? 0x0C : i == 4 ? 0x47 : i == 8 ? 0x57 : 0x37;
            s.note(r, PLUCK, nt(chip[i]), I_ROBOT, 30);
            s.fx(r, PLUCK, FX_ARP, arpOp);
            s.fx(r + 1, PLUCK, FX_ARP, arpOp);
        }
    s.off(32, PLUCK);
    pad(s, 0, am, 16, &pv);
    offs(s, 32, PAD1, PAD3);
    MelodyStyle lead{I_LEAD, 42, 0x64, 0x10, 0x02, 0};
    s.ext(0, LEAD, EX_VIB_WAVE, 2); /* square: a robot's trill */
    melody(s, 0, LEAD, lead,
           "A4:2 A4:1 C5:1 -:2 A4:1 G4:1 -:2 E4:2 G4:2 A4:2 "
           "C5:2 C5:1 D5:1 -:2 C5:1 A4:1 -:2 G4:2 E5:4v -:8");
    for (int r : {14, 30}) {
        s.note(r, HORN, nt("A-4"), I_BRASS, 38);
        s.ext(r, HORN, EX_CUT, 2);
    }
}

/* The fractal zooms back again (4 beats): two rows looped four times, a
 * stuttering stab, then a break where the robot's voice glitches down and
 * back up. */
void stutter(Sec& s)
{
    Chord am = chord("Am7");
    std::vector<int> ev;
    s.ext(0, COND, EX_LOOP, 0);
    s.ext(1, COND, EX_LOOP, 3);
    s.note(0, KICK, K_KICK, I_KICK, 56);
    comp(s, 0, I_EP, am, "x", 3, 30, 53, 72, &ev);
    s.note(0, HORN, nt("A-4"), I_BRASS, 40);
    s.ext(0, HORN, EX_CUT, 2);
    s.note(1, SNARE, K_CLAP, I_SNARES, 40);
    s.note(1, HATS, K_CLOSED, I_HATS, 30);
    s.note(1, PLUCK, nt("E-5"), I_ROBOT, 26);
    s.fx(1, PLUCK, FX_ARP, 0x0C);
    drums(s, 2, {"K..k....", "..S..grz", "h.h.h.h.", nullptr});
    bass(s, 2, I_SYNBASS, am, chord("Fmaj7"), "R! . . . . . x E1", 50);
    for (int r = 3; r < 6; r++)
        s.fx(r, BASS, FX_PORTA_DOWN, 0x10);
    s.note(2, LEAD, nt("A-5"), I_LEAD, 40);
    s.ext(3, LEAD, EX_FINE_DOWN, 15);
    s.ext(4, LEAD, EX_FINE_DOWN, 15);
    s.ext(5, LEAD, EX_FINE_UP, 15);
    s.ext(6, LEAD, EX_FINE_UP, 15);
    s.off(7, LEAD);
    swellInto(s, 6, 1, 40);
}

/* The robots run backwards (10 beats): the bass line played backwards over
 * Fmaj7 | G6, congas instead of the cowbell, a gated pad (a square tremolo),
 * the robot melody turned around; toms again. */
void robotsBack(Sec& s)
{
    Chord f = chord("Fmaj7"), g = chord("G6"), am = chord("Am7");
    std::vector<int> pv;
    crash(s, 0, 32);
    drums(s, 0, {"K...K...K...K..k", "....C.......C...", "..x...x...x...x.", "c..m..l.c..m.l.."});
    drums(s, 16, {"K...K...K...K.kk", "....C.......C.cC", "..x...x...x...x.", "c..m..l.c..m.lcc"});
    drums(s, 32, {"K.T.t.T.", "..S.SSqz", nullptr, "l...m..."});
    bass(s, 0, I_SYNBASS, f, g, "O 5 | 7 R O | R | O R | R O | R", 48);
    bass(s, 16, I_SYNBASS, g, am, "O 5 | 7 R O | R | O R | R O | R", 48);
    bass(s, 32, I_SYNBASS, am, am, "R . 5 . 7 . O~ .", 48);
    for (int b = 0; b < 2; b++) {
        Chord c = b ? g : f;
        pad(s, b * 16, c, 34, &pv);
        for (int j = PAD1; j <= PAD3; j++) {
            s.ext(b * 16, j, EX_TREM_WAVE, 2); /* square: a gate */
            for (int r = b * 16 + 1; r < b * 16 + 16; r++)
                s.fx(r, j, FX_TREMOLO, 0xAF);
        }
    }
    offs(s, 32, PAD1, PAD3);
    const char* roots[2] = {"F-4", "G-4"};
    for (int b = 0; b < 2; b++)
        for (int i = 0; i < 16; i += 2) {
            int r = b * 16 + i;
            s.note(r, PLUCK, nt(roots[b]) + (i == 8 ? 12 : 0), I_ROBOT, 28);
            s.fx(r, PLUCK, FX_ARP, 0x47);
            s.fx(r + 1, PLUCK, FX_ARP, 0x47);
        }
    s.off(32, PLUCK);
    MelodyStyle lead{I_LEAD, 42, 0x64, 0x10, 0x02, 0};
    melody(s, 0, LEAD, lead,
           "C5:2 A4:2 F4:2 -:2 A4:1 C5:1 -:2 E5:1 C5:1 A4:2 "
           "D5:2 B4:2 G4:2 -:2 B4:1 D5:1 -:2 E5:1 D5:1 B4:2 -:8");
    for (int r : {14, 30}) {
        s.note(r, HORN, nt("G-4"), I_BRASS, 38);
        s.ext(r, HORN, EX_CUT, 2);
    }
}

/* The fractal at double speed (4 beats): the build-up. The snare roll
 * doubles and doubles again, the bass zips up, noise rises and a reversed
 * crash swells into the drop. */
void build(Sec& s)
{
    Chord e = chord("E7#9");
    std::vector<int> ev, pv;
    drums(s, 0, {"K...K...K.K.KKKK", "ssssSSSSrrrrqqz.", "x.x.x.x.xxxxxxxx", nullptr});
    s.note(0, BASS, nt("A-1"), I_SYNBASS, 48);
    for (int r = 1; r < 15; r++)
        s.fx(r, BASS, FX_PORTA_UP, 0x02);
    s.off(15, BASS);
    comp(s, 0, I_EP, e, "x.x.x.x.x.x.x.x.", 4, 22, 53, 72, &ev);
    pad(s, 0, e, 20, &pv);
    for (int r : {4, 8, 12})
        for (int c = PAD1; c <= PAD3; c++)
            s.ext(r, c, EX_FINE_VOL_UP, 3);
    offs(s, 15, PAD1, PAD3);
    riser(s, 0, 16, nt("C-4"), 0x06);
    swellInto(s, 8, 2, 44);
}

/* The deformed ball (8 bars): the drop. Both grooves with the hook and its
 * answer on the lead, echoes, brass replies, arpeggios in the second half. */
void drop(Sec& s)
{
    Chord f = chord("Fmaj7"), g = chord("G6"), em = chord("Em7"), am = chord("Am7"), d9 = chord("D9");
    std::vector<int> ev, pv;
    crash(s, 0, 48);
    crash(s, 64, 40);
    grooveOne(s, 0, true, &ev, f);
    grooveTwo(s, 64, &ev);
    const Chord* bars[8] = {&am, &d9, &am, &d9, &f, &g, &em, &am};
    for (int b = 0; b < 8; b++)
        pad(s, b * 16, *bars[b], 20, &pv);
    for (int b = 4; b < 8; b++)
        arp(s, b * 16, PLUCK, I_PLUCK, *bars[b], "0.1.2.3.4.3.2.1.", 14, 60, 79);
    MelodyStyle lead{I_LEAD, 46, 0x82, 0x10, 0x02, 0};
    s.ext(0, LEAD, EX_VIB_WAVE, 0); /* back to the sine */
    melody(s, 0, LEAD, lead, HOOK_ONE);
    melody(s, 64, LEAD, lead, HOOK_TWO);
    echo(s, 0, ECHO, lead, HOOK_ONE, 3, 18);
    echo(s, 64, ECHO, lead, HOOK_TWO, 3, 18);
    const int horn[6] = {28, 29, 30, 92, 93, 94};
    const char* hornNotes[6] = {"A-4", "C-5", "D-5", "G-4", "B-4", "D-5"};
    for (int k = 0; k < 6; k++) {
        s.note(horn[k], HORN, nt(hornNotes[k]), I_BRASS, 36);
        s.ext(horn[k], HORN, EX_CUT, 3);
    }
    swing(s, 0, 128, GROOVE, 1);
}

/* The tunnel (8 bars): four on the floor, open hats on the off-beats, an
 * octave synth bass, a lead solo over Dm9 | Em7 | Fmaj7 | G6 and chip
 * arpeggios; the last two bars (the tunnel running back) build up. */
void tunnel(Sec& s)
{
    const char* names[8] = {"Dm9", "Em7", "Fmaj7", "G6", "Dm9", "Em7", "Fmaj7", "E7#9"};
    const int chipArp[8] = {0x37, 0x37, 0x47, 0x47, 0x37, 0x37, 0x47, 0x47};
    std::vector<int> ev, pv;
    for (int b = 0; b < 8; b++) {
        int r = b * 16;
        Chord c = chord(names[b]);
        Chord next = b < 7 ? chord(names[b + 1]) : chord("Am9");
        pad(s, r, c, 18, &pv);
        comp(s, r, I_EP, c, "x..x..x...x..x..", 4, 20, 53, 72, &ev);
        if (b < 6)
            drums(s, r, {"K...K...K...K...", b & 1 ? "....S.......S.gS" : "....S.......S..g", "XhohXhohXhohXhoh",
                         "....t.......t..."});
        else if (b == 6)
            drums(s, r, {"K...K...K...K...", "s.s.s.s.S.S.S.S.", "xxxxxxxxxxxxxxxx", "s.s.s.s.S.S.S.S."});
        else
            drums(s, r, {"K.K.K.K.KKKKKKKK", "SSSSrrrrqqqqzzzz", "xxxxxxxxrrrrrrrr", nullptr});
        if (b < 6)
            for (int k = 2; k < 16; k += 4)
                s.ext(r + k, HATS, EX_FINETUNE, 6); /* the open hat an eighth tone lower */
        if (b < 7)
            bass(s, r, I_SYNBASS, c, next, b & 1 ? "R! . O . R . O . R . O . 5 . A ." : "R! . O . R . O . R . O . R . O .",
                 48);
        else
            bass(s, r, I_SYNBASS, c, next, "R . . . R . . . R . R . R R R R", 50);
        int root = nt("C-5") + c.root;
        s.note(r, PLUCK, root, I_ROBOT, 20);
        for (int k = 0; k < 16; k++)
            s.fx(r + k, PLUCK, FX_ARP, chipArp[b]);
    }
    crash(s, 0, 46);
    crash(s, 32, 36);
    crash(s, 64, 40);
    MelodyStyle lead{I_LEAD, 46, 0x82, 0x0C, 0x02, 0};
    const char* solo = "D5:1 E5:1 F5:1 A5:1 C6:2 A5:1 F5:1 E5:2 D5:1 E5:1 F5:2 A5:2 "
                       "G5:3v E5:1 D5:1 B4:1 D5:2 E5:4v G5:2 A5:2 "
                       "C6:2 A5:1 G5:1 A5:2 F5:2 E5:1 F5:1 A5:2 C6:4v "
                       "B5:2 A5:1 G5:1 E5:2 D5:2 E5:2 G5:2 E5:2 D5:2 "
                       "-:2 A5:2 C6:2 D6:4v C6:1 A5:1 G5:2 F5:2 "
                       "E5:2 G5:2 B5:2 D6:6vf -:4 "
                       "F5:4 G5:4/ A5:4/ C6:4/ "
                       "B5:4v G#5:4v B5:2 D6:2 E6:4v";
    melody(s, 0, LEAD, lead, solo);
    echo(s, 0, ECHO, lead, solo, 3, 16);
    riser(s, 96, 32, nt("G-3"), 0x02);
    swellInto(s, 120, 2, 44);
    swing(s, 0, 96, GROOVE, 1);
}

/* The end titles (6 bars, half-time): a slower melody over Am9 | Fmaj9 |
 * Dm9 | E7sus4 | Am9 | Fmaj9, the trembling piano, arpeggios, long slap
 * notes. */
void outro(Sec& s)
{
    const char* names[6] = {"Am9", "Fmaj9", "Dm9", "E7sus4", "Am9", "Fmaj9"};
    std::vector<int> ev, pv;
    crash(s, 0, 40);
    offs(s, 0, LEAD, ECHO);
    s.ext(0, EP1, EX_TREM_WAVE, 0);
    for (int b = 0; b < 6; b++) {
        int r = b * 16;
        Chord c = chord(names[b]);
        Chord next = b < 5 ? chord(names[b + 1]) : chord("Dm9");
        pad(s, r, c, 22, &pv);
        comp(s, r, I_EP, c, "X", 4, 26, 53, 72, &ev);
        arp(s, r, PLUCK, I_PLUCK, c, b & 1 ? "4.3.2.1.0.1.2.3." : "0.2.1.3.2.4.3.5.", 16, 60, 79);
        bass(s, r, I_SLAP, c, next, b == 3 ? "R! . . . . . . . 5 . . . 7 . A ." : "R! . . . . . . . 5 . . . O . . .", 46);
        drums(s, r, {"K.........K.....", b == 5 ? "........S...g.gS" : "........S......g", "x.h.x.h.x.h.x.h.",
                     "s...s...s...s..."});
    }
    for (int b = 0; b < 6; b++)
        for (int c = EP1; c <= EP4; c++)
            s.vol(b * 16 + 8, c, vFineDown(3));
    for (int r : {84, 88, 92})
        for (int c = PAD1; c <= PAD3; c++)
            s.ext(r, c, EX_FINE_VOL_DOWN, 3);
    tremolo(s, 1, 96, 4, 0x46);
    MelodyStyle lead{I_LEAD, 42, 0x73, 0x10, 0x01, 0};
    const char* tune = "-:4 E5:4 G5:2 A5:6v "
                       "G5:2 E5:2 C5:4 D5:8v "
                       "-:2 F5:2 E5:2 D5:2 C5:4 A4:4 "
                       "B4:4 D5:4 E5:8v "
                       "-:4 A5:4 G5:2 E5:6v "
                       "D5:2 E5:2 C5:12vf";
    melody(s, 0, LEAD, lead, tune);
    echo(s, 0, ECHO, lead, tune, 6, 14);
    swing(s, 0, 96, GROOVE, 1);
}

/* The group's name (1 bar): Dm9 to E7#9, a fill with toms, the lead runs
 * down to the leading note; a reversed crash swells into the last chord. */
void lastBar(Sec& s)
{
    Chord dm9 = chord("Dm9"), e = chord("E7#9"), am9 = chord("Am9");
    std::vector<int> ev, pv;
    drums(s, 0, {"K.....K.t.T.t.T.", "....S.g.S.gsSsSS", "x.x.x.x.........", nullptr});
    bass(s, 0, I_SLAP, dm9, e, "R! . x O . . 5 .", 48);
    bass(s, 8, I_SLAP, e, am9, "R! . x O 7 . A .", 48);
    comp(s, 0, I_EP, dm9, "X", 4, 26, 53, 72, &ev);
    comp(s, 8, I_EP, e, "X", 4, 26, 53, 72, &ev);
    pad(s, 0, dm9, 24, &pv);
    pad(s, 8, e, 24, &pv, 0x10);
    MelodyStyle lead{I_LEAD, 44, 0x82, 0x10, 0x02, 0};
    melody(s, 0, LEAD, lead, "F5:2 E5:2 D5:2 C5:2 B4:2 G#4:2 B4:2 D5:2");
    swellInto(s, 8, 2, 44);
    swing(s, 0, 16, GROOVE, 1);
}

/* The end (9 beats): the final Am9 from everyone, ringing while the whole
 * song fades out by 145 s; keys released, silence, and back to the start. */
void ending(Sec& s)
{
    Chord am9 = chord("Am9");
    std::vector<int> ev, pv;
    offs(s, 0, ECHO, ECHO);
    crash(s, 0, 50);
    s.note(0, KICK, K_KICK, I_KICK, 64);
    s.note(0, BASS, nt("A-1"), I_SLAP, 60);
    comp(s, 0, I_EP, am9, "X", 4, 32, 53, 72, &ev);
    pad(s, 0, am9, 34, &pv);
    s.note(0, LEAD, nt("A-5"), I_LEAD, 48);
    for (int r = 1; r < 20; r++)
        s.fx(r, LEAD, FX_VIBRATO, 0x63);
    s.note(0, HORN, nt("A-4"), I_BRASS, 40);
    for (int r = 1; r < 20; r++)
        s.fx(r, HORN, FX_VOL_SLIDE, 0x01);
    s.note(0, PLUCK, nt("A-5"), I_PLUCK, 30);
    s.note(0, SNARE, K_CLAP, I_SNARES, 48);
    for (int r = 6; r < 19; r++)
        s.fx(r, COND, FX_GLOBAL_SLIDE, 0x01);
    offs(s, 20, BASS, HORN);
    s.fx(35, COND, FX_JUMP, 0);
}

const std::vector<Section> SECTIONS = {
    {"titles", 64, 16, intro},
    {"cube", 64, 16, kube},
    {"cube rewinds", 32, 5, rewind},
    {"fractal cubes", 64, 16, fkube},
    {"fractal zoom", 13, 4, stop},
    {"flower and credits", 128, 32, flower},
    {"fractal back", 64, 16, breakdown},
    {"robots", 40, 10, robots},
    {"fractal again", 10, 4, stutter},
    {"robots back", 40, 10, robotsBack},
    {"fractal double", 16, 4, build},
    {"deformed ball", 128, 32, drop},
    {"tunnel", 128, 32, tunnel},
    {"end titles", 96, 24, outro},
    {"group name", 16, 4, lastBar},
    {"the end", 36, 9, ending},
};

} // namespace

const std::vector<Section>& sections(void)
{
    return SECTIONS;
}

} // namespace composition
