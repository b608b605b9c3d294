/*
 * score: cells, chords, voicings and the part notations of the soundtrack
 * (see score.h).
 */
#include "tools/song/score.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace score {

const double LEVEL[NUM_INSTRUMENTS + 1] = {
    1.0,  /* (no instrument) */
    1.0,  /* kick */
    1.0,  /* snares */
    1.1,  /* hats */
    1.0,  /* percussion */
    1.2,  /* slap bass */
    1.2,  /* synth bass */
    1.25, /* electric piano */
    1.1,  /* lead */
    2.2,  /* pluck: its attack is loud, its body soft */
    1.25, /* pad */
    1.3,  /* brass */
    1.0,  /* noise */
    1.0,  /* cymbals */
    1.1,  /* chip square */
};

namespace {

[[noreturn]] void fail(const std::string& what)
{
    throw std::logic_error("song: " + what);
}

int pitchClass(char letter)
{
    static const int pcs[7] = {9, 11, 0, 2, 4, 5, 7}; /* A B C D E F G */
    if (letter < 'A' || letter > 'G')
        fail(std::string("bad note letter ") + letter);
    return pcs[letter - 'A'];
}

/* Splits on spaces. */
std::vector<std::string> words(const char* text)
{
    std::vector<std::string> out;
    std::string cur;
    for (const char* p = text; *p; p++) {
        if (*p == ' ') {
            if (!cur.empty())
                out.push_back(cur);
            cur.clear();
        } else {
            cur += *p;
        }
    }
    if (!cur.empty())
        out.push_back(cur);
    return out;
}

/* Steps of a rhythm string: 1 to 16. */
int steps(const char* s, const char* what)
{
    if (!s)
        return 0;
    size_t n = strlen(s);
    if (n < 1 || n > 16)
        fail(std::string(what) + " pattern is not 1 to 16 steps: " + s);
    return (int)n;
}

} // namespace

int nt(const char* name)
{
    if (!name || !name[0])
        fail("empty note name");
    int pc = pitchClass(name[0]);
    const char* p = name + 1;
    if (*p == '#') {
        pc += 1;
        p++;
    } else if (*p == 'b') {
        pc -= 1;
        p++;
    } else if (*p == '-') {
        p++;
    }
    if (*p < '0' || *p > '7' || p[1])
        fail(std::string("bad note name ") + name);
    return (*p - '0') * 12 + pc;
}


/* ---- Sec ------------------------------------------------------------------------ */

xmw::Cell& Sec::at(int row, int ch)
{
    if (row < 0 || row >= rows || ch < 0 || ch >= NUM_CHANNELS)
        fail("cell out of the section: row " + std::to_string(row) + " channel " + std::to_string(ch));
    return p->at(row, ch);
}

bool Sec::fxFree(int row, int ch)
{
    xmw::Cell& c = at(row, ch);
    return c.effect == 0 && c.param == 0;
}

bool Sec::hasNote(int row, int ch)
{
    return at(row, ch).note != xmw::NOTE_NONE;
}

void Sec::note(int row, int ch, int n, int ins, int v)
{
    xmw::Cell& c = at(row, ch);
    if (c.note != xmw::NOTE_NONE)
        fail("two notes in one cell: row " + std::to_string(row) + " channel " + std::to_string(ch));
    if (n < 0 || n > 95)
        fail("note out of range: " + std::to_string(n));
    c.note = (uint8_t)(n + 1);
    c.instrument = (uint8_t)ins;
    if (v >= 0 && ins >= 1 && ins <= NUM_INSTRUMENTS)
        vol(row, ch, vSet((int)(v * LEVEL[ins] + 0.5)));
    else if (v >= 0)
        vol(row, ch, vSet(v));
}

void Sec::off(int row, int ch)
{
    xmw::Cell& c = at(row, ch);
    if (c.note != xmw::NOTE_NONE)
        fail("key off over a note: row " + std::to_string(row) + " channel " + std::to_string(ch));
    c.note = xmw::NOTE_OFF;
}

void Sec::fx(int row, int ch, int effect, int param)
{
    if (!tryFx(row, ch, effect, param))
        fail("effect column taken: row " + std::to_string(row) + " channel " + std::to_string(ch));
}

bool Sec::tryFx(int row, int ch, int effect, int param)
{
    if (!fxFree(row, ch))
        return false;
    xmw::Cell& c = at(row, ch);
    c.effect = (uint8_t)effect;
    c.param = (uint8_t)param;
    return true;
}

void Sec::vol(int row, int ch, uint8_t v)
{
    xmw::Cell& c = at(row, ch);
    if (c.volume != 0)
        fail("volume column taken: row " + std::to_string(row) + " channel " + std::to_string(ch));
    c.volume = v;
}

/* ---- Harmony -------------------------------------------------------------------- */

int Chord::third() const
{
    for (int i : intervals)
        if (i == 3 || i == 4)
            return i;
    return 5; /* suspended: the fourth */
}

int Chord::seventh() const
{
    for (int i : intervals)
        if (i == 10 || i == 11)
            return i;
    for (int i : intervals)
        if (i == 9)
            return 9;
    return 12;
}

Chord chord(const char* name)
{
    struct Quality {
        const char* name;
        std::vector<int> iv;
    };
    static const Quality qualities[] = {
        {"", {0, 4, 7}},
        {"m", {0, 3, 7}},
        {"7", {0, 4, 7, 10}},
        {"m7", {0, 3, 7, 10}},
        {"maj7", {0, 4, 7, 11}},
        {"9", {0, 4, 7, 10, 14}},
        {"m9", {0, 3, 7, 10, 14}},
        {"maj9", {0, 4, 7, 11, 14}},
        {"6", {0, 4, 7, 9}},
        {"m6", {0, 3, 7, 9}},
        {"7#9", {0, 4, 7, 10, 15}},
        {"7b9", {0, 4, 7, 10, 13}},
        {"7sus4", {0, 5, 7, 10}},
        {"m7b5", {0, 3, 6, 10}},
        {"13", {0, 4, 7, 10, 14, 21}},
        {"m11", {0, 3, 7, 10, 14, 17}},
    };
    if (!name || !name[0])
        fail("empty chord name");
    Chord c;
    c.root = pitchClass(name[0]);
    const char* q = name + 1;
    if (*q == '#') {
        c.root++;
        q++;
    } else if (*q == 'b') {
        c.root--;
        q++;
    }
    c.root = (c.root + 12) % 12;
    for (const Quality& k : qualities)
        if (!strcmp(k.name, q)) {
            c.intervals = k.iv;
            return c;
        }
    fail(std::string("unknown chord ") + name);
}

std::vector<int> voicing(const Chord& c, int n, int lo, int hi, const std::vector<int>& prev)
{
    /* the tones in order of importance: third, seventh (or sixth), colour
     * tones, fifth, root */
    std::vector<int> order;
    auto add = [&](int iv) {
        for (int x : c.intervals)
            if (x == iv) {
                for (int y : order)
                    if (y == iv)
                        return;
                order.push_back(iv);
            }
    };
    for (int iv : {3, 4, 5, 10, 11, 9, 14, 15, 13, 21, 17, 6, 7, 0})
        add(iv);
    std::vector<int> pcs;
    for (int iv : order)
        if ((int)pcs.size() < n)
            pcs.push_back((c.root + iv) % 12);
    for (int i = 0; (int)pcs.size() < n; i++) /* fewer tones than voices: double from the top of the list */
        pcs.push_back(pcs[(size_t)i % order.size()]);
    /* close voicings: each tone in turn at the bottom, the rest stacked */
    std::vector<std::vector<int>> cands;
    std::vector<int> cyc = pcs;
    std::sort(cyc.begin(), cyc.end());
    cyc.erase(std::unique(cyc.begin(), cyc.end()), cyc.end());
    for (int bottom = lo; bottom <= hi; bottom++) {
        int bpc = bottom % 12;
        bool in = false;
        for (int x : cyc)
            in = in || x == bpc;
        if (!in)
            continue;
        std::vector<int> v = {bottom};
        std::vector<int> need = pcs;
        need.erase(std::find(need.begin(), need.end(), bpc));
        int cur = bottom;
        while (!need.empty()) {
            /* the next tone above cur whose class is still needed */
            int best = -1;
            for (int d = 1; d <= 12 && best < 0; d++)
                for (size_t k = 0; k < need.size(); k++)
                    if ((cur + d) % 12 == need[k]) {
                        best = cur + d;
                        need.erase(need.begin() + (long)k);
                        break;
                    }
            if (best < 0)
                break;
            v.push_back(best);
            cur = best;
        }
        if ((int)v.size() == n && v.back() <= hi)
            cands.push_back(v);
    }
    if (cands.empty())
        fail("no voicing in range");
    size_t bestI = 0;
    long bestCost = -1;
    for (size_t i = 0; i < cands.size(); i++) {
        long cost = 0;
        if (prev.size() == (size_t)n) {
            for (int k = 0; k < n; k++)
                cost += labs(cands[i][(size_t)k] - prev[(size_t)k]);
        } else {
            long sum = 0;
            for (int x : cands[i])
                sum += x;
            cost = labs(2 * sum - (long)n * (lo + hi));
        }
        if (bestCost < 0 || cost < bestCost) {
            bestCost = cost;
            bestI = i;
        }
    }
    return cands[bestI];
}

int bassRoot(const Chord& c)
{
    int n = 12 + c.root; /* C-1 .. B-1 */
    return n < 16 ? n + 12 : n;
}

/* ---- Parts --------------------------------------------------------------------- */

void drums(Sec& s, int row, const Drums& d)
{
    int nk = steps(d.kick, "kick"), ns = steps(d.snare, "snare"), nh = steps(d.hats, "hats"),
        np = steps(d.perc, "perc");
    for (int i = 0; i < 16; i++) {
        int r = row + i;
        if (i < nk) {
            switch (d.kick[i]) {
            case 'K': s.note(r, KICK, K_KICK, I_KICK, 64); break;
            case 'k': s.note(r, KICK, K_KICK, I_KICK, 38); break;
            case 'T': s.note(r, KICK, K_TOM_HI, I_KICK, 46); break;
            case 't': s.note(r, KICK, K_TOM_LO, I_KICK, 50); break;
            case '.': break;
            default: fail(std::string("kick step ") + d.kick[i]);
            }
        }
        if (i < ns) {
            switch (d.snare[i]) {
            case 'S': s.note(r, SNARE, K_SNARE, I_SNARES); break;
            case 's': s.note(r, SNARE, K_SNARE, I_SNARES, 38); break;
            case 'g': s.note(r, SNARE, K_SNARE, I_SNARES, 13); break;
            case 'C': s.note(r, SNARE, K_CLAP, I_SNARES); break;
            case 'c': s.note(r, SNARE, K_CLAP, I_SNARES, 30); break;
            case 'R': s.note(r, SNARE, K_RIM, I_SNARES); break;
            case 'r': s.note(r, SNARE, K_SNARE, I_SNARES); s.ext(r, SNARE, EX_RETRIG, 3); break;
            case 'q': s.note(r, SNARE, K_SNARE, I_SNARES); s.ext(r, SNARE, EX_RETRIG, 2); break;
            case 'z': s.note(r, SNARE, K_SNARE, I_SNARES); s.ext(r, SNARE, EX_RETRIG, 1); break;
            case '.': break;
            default: fail(std::string("snare step ") + d.snare[i]);
            }
        }
        if (i < nh) {
            switch (d.hats[i]) {
            case 'X': s.note(r, HATS, K_CLOSED, I_HATS, 50); break;
            case 'x': s.note(r, HATS, K_CLOSED, I_HATS, 36); break;
            case 'h': s.note(r, HATS, K_CLOSED, I_HATS, 22); break;
            case 'o': s.note(r, HATS, K_OPEN, I_HATS, 36); break;
            case 'p': s.note(r, HATS, K_PEDAL, I_HATS, 30); break;
            case 'r': s.note(r, HATS, K_CLOSED, I_HATS); s.ext(r, HATS, EX_RETRIG, 3); break;
            case '.': break;
            default: fail(std::string("hat step ") + d.hats[i]);
            }
        }
        if (i < np) {
            switch (d.perc[i]) {
            case 's': s.note(r, PERC, K_SHAKER, I_PERC, 24); break;
            case 'S': s.note(r, PERC, K_SHAKER, I_PERC, 38); break;
            case 'b': s.note(r, PERC, K_COWBELL, I_PERC, 30); break;
            case 'B': s.note(r, PERC, K_COWBELL, I_PERC, 44); break;
            case 'c': s.note(r, PERC, nt("D#4"), I_PERC, 40); break;
            case 'm': s.note(r, PERC, K_CONGA, I_PERC, 40); break;
            case 'l': s.note(r, PERC, nt("A-3"), I_PERC, 44); break;
            case 't': s.note(r, PERC, K_TAMB, I_PERC, 30); break;
            case '.': break;
            default: fail(std::string("perc step ") + d.perc[i]);
            }
        }
    }
}

void bass(Sec& s, int row, int ins, const Chord& c, const Chord& next, const char* text, int vol)
{
    std::vector<std::string> w = words(text);
    if (w.empty() || w.size() > 16)
        fail(std::string("bass bar is not 1 to 16 steps: ") + text);
    int n16 = (int)w.size();
    int root = bassRoot(c);
    int nextRoot = bassRoot(next);
    while (nextRoot - root > 6)
        nextRoot -= 12;
    while (root - nextRoot > 6)
        nextRoot += 12;
    for (int i = 0; i < n16; i++) {
        const std::string& t = w[(size_t)i];
        int r = row + i;
        if (t == ".")
            continue;
        if (t == "|") {
            s.off(r, BASS);
            continue;
        }
        if (t == "x") {
            if (ins == I_SLAP)
                s.note(r, BASS, K_DEAD, I_SLAP, 34);
            else
                s.off(r, BASS);
            continue;
        }
        size_t k = 0;
        std::string deg;
        while (k < t.size() && !strchr("'!,/~", t[k]))
            deg += t[k++];
        int n;
        if (deg == "R")
            n = root;
        else if (deg == "O")
            n = root + 12;
        else if (deg == "3")
            n = root + c.third();
        else if (deg == "b3")
            n = root + 3;
        else if (deg == "4")
            n = root + 5;
        else if (deg == "#4")
            n = root + 6;
        else if (deg == "5")
            n = root + 7;
        else if (deg == "6")
            n = root + 9;
        else if (deg == "7")
            n = root + c.seventh();
        else if (deg == "9")
            n = root + 2;
        else if (deg == "A")
            n = nextRoot - 1;
        else if (deg == "a")
            n = nextRoot + 1;
        else if (deg == "N")
            n = nextRoot;
        else if (deg.size() >= 2 && deg[0] >= 'A' && deg[0] <= 'G' && deg.back() >= '0' && deg.back() <= '7')
            n = nt(deg.c_str()); /* a note by name */
        else
            fail("bass degree " + t);
        int v = vol;
        bool slide = false, fall = false;
        for (; k < t.size(); k++) {
            switch (t[k]) {
            case '\'': n += 12; break;
            case ',': n -= 12; break;
            case '!': v = vol + 12 > 64 ? 64 : vol + 12; break;
            case '/': slide = true; break;
            case '~': fall = true; break;
            default: break;
            }
        }
        s.note(r, BASS, n, ins, v);
        if (slide)
            s.fx(r, BASS, FX_TONE_PORTA, 0x20);
        if (fall && i + 1 < n16 && w[(size_t)i + 1] == ".")
            s.fx(r + 1, BASS, FX_PORTA_DOWN, 0x0C);
    }
}

namespace {

struct MelNote {
    int row, len, note; /* note -1: rest */
    std::string flags;
};

std::vector<MelNote> parseMelody(const char* text, int row)
{
    std::vector<MelNote> out;
    for (const std::string& t : words(text)) {
        size_t colon = t.find(':');
        if (colon == std::string::npos)
            fail("melody token without length: " + t);
        std::string name = t.substr(0, colon);
        size_t k = colon + 1;
        int len = 0;
        while (k < t.size() && t[k] >= '0' && t[k] <= '9')
            len = len * 10 + (t[k++] - '0');
        if (len <= 0)
            fail("melody token without length: " + t);
        int n = name == "-" ? -1 : nt(name.c_str());
        out.push_back({row, len, n, t.substr(k)});
        row += len;
    }
    return out;
}

bool has(const std::string& flags, char f)
{
    return flags.find(f) != std::string::npos;
}

} // namespace

int melody(Sec& s, int row, int ch, const MelodyStyle& st, const char* text)
{
    std::vector<MelNote> notes = parseMelody(text, row);
    bool sounding = false;
    for (size_t i = 0; i < notes.size(); i++) {
        const MelNote& m = notes[i];
        if (m.note < 0) {
            if (sounding)
                s.off(m.row, ch);
            sounding = false;
            continue;
        }
        int v = has(m.flags, '!') ? st.vol + 12 : st.vol;
        s.note(m.row, ch, m.note + st.octave, st.ins, v > 64 ? 64 : v);
        bool glide = has(m.flags, '/') && sounding;
        if (glide)
            s.fx(m.row, ch, FX_TONE_PORTA, st.glide);
        sounding = true;
        bool vib = has(m.flags, 'v'), fade = has(m.flags, 'f');
        for (int r = m.row + 1; r < m.row + m.len; r++) {
            int k = r - m.row;
            if (has(m.flags, 'b') && k == 1) {
                s.fx(r, ch, FX_PORTA_UP, 0x03); /* 60 of the 64 units of a semitone over the row */
                continue;
            }
            if (has(m.flags, 'b') && k == 2) {
                s.ext(r, ch, EX_FINE_UP, 1); /* and the last 4 */
                continue;
            }
            if (has(m.flags, '~') && r == m.row + m.len - 1) {
                s.fx(r, ch, FX_PORTA_DOWN, 0x08);
                continue;
            }
            if (vib && fade)
                s.fx(r, ch, k == 1 ? FX_VIBRATO : FX_VIB_VOL, k == 1 ? st.vibrato : st.fade);
            else if (vib)
                s.fx(r, ch, FX_VIBRATO, st.vibrato);
            else if (fade && glide)
                s.fx(r, ch, FX_TONE_VOL, st.fade);
            else if (fade)
                s.fx(r, ch, FX_VOL_SLIDE, st.fade);
        }
    }
    return notes.empty() ? row : notes.back().row + notes.back().len;
}

void echo(Sec& s, int row, int ch, const MelodyStyle& st, const char* text, int delay, int vol)
{
    std::vector<MelNote> notes = parseMelody(text, row + delay);
    bool sounding = false;
    int side = 0;
    for (const MelNote& m : notes) {
        if (m.row >= s.rows)
            break;
        if (m.note < 0) {
            if (sounding)
                s.off(m.row, ch);
            sounding = false;
            continue;
        }
        s.note(m.row, ch, m.note + st.octave, st.ins);
        s.vol(m.row, ch, vPan(side ? 12 : 3));
        s.fx(m.row, ch, FX_VOLUME, vol);
        side ^= 1;
        sounding = true;
    }
}

void comp(Sec& s, int row, int ins, const Chord& c, const char* rhythm, int n, int vol, int lo, int hi,
          std::vector<int>* prev, int firstChannel)
{
    int len = steps(rhythm, "comp");
    std::vector<int> v = voicing(c, n, lo, hi, *prev);
    bool used = false;
    for (int i = 0; i < len; i++) {
        int r = row + i;
        char k = rhythm[i];
        for (int j = 0; j < n; j++) {
            int ch = firstChannel + j;
            if (k == 'X' || k == 'x') {
                s.note(r, ch, v[(size_t)j], ins, vol);
                if (k == 'x')
                    s.ext(r, ch, EX_CUT, 3);
                used = true;
            } else if (k == '|') {
                s.off(r, ch);
            } else if (k != '.') {
                fail(std::string("comp step ") + k);
            }
        }
    }
    if (used)
        *prev = v;
}

void pad(Sec& s, int row, const Chord& c, int vol, std::vector<int>* prev, int glide, int lo, int hi)
{
    std::vector<int> v = voicing(c, 3, lo, hi, *prev);
    for (int j = 0; j < 3; j++) {
        s.note(row, PAD1 + j, v[(size_t)j], I_PAD, vol);
        if (glide)
            s.fx(row, PAD1 + j, FX_TONE_PORTA, glide);
    }
    *prev = v;
}

void arp(Sec& s, int row, int ch, int ins, const Chord& c, const char* pattern, int vol, int lo, int hi)
{
    int len = steps(pattern, "arp");
    std::vector<int> v = voicing(c, 4, lo, hi, {});
    for (int i = 0; i < len; i++) {
        char k = pattern[i];
        if (k == '.')
            continue;
        if (k < '0' || k > '7')
            fail(std::string("arp step ") + k);
        int idx = (k - '0') & 3;
        int n = v[(size_t)idx] + (k >= '4' ? 12 : 0);
        s.note(row + i, ch, n, ins, vol);
    }
}

void swing(Sec& s, int from, int to, const std::vector<int>& channels, int ticks)
{
    for (int r = from; r < to && r < s.rows; r++) {
        if ((r & 1) == 0)
            continue;
        for (int ch : channels)
            if (s.hasNote(r, ch) && s.fxFree(r, ch))
                s.ext(r, ch, EX_DELAY, ticks);
    }
}

} // namespace score
