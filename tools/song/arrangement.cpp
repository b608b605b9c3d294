/*
 * arrangement: patterns in order, the tempo map and the tempo commands (see
 * arrangement.h).
 */
#include "tools/song/arrangement.h"

#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>

#include "tools/song/composition.h"
#include "tools/song/score.h"

namespace arrangement {

namespace {

const int RATE = 22050;      /* Hz, the rate the demo plays the song at */
const int SPEED = 6;         /* ticks a row */
const int HEADER_SPEED = 1;  /* the header's speed and tempo only time the */
const int HEADER_TEMPO = 255; /* player's silent row before row 0: 216 frames */

/* The demo's cuts (ms since the demo's clock started) and the beat of the
 * music each falls on: the running order's scene and caption changes. The
 * robots (beats 89 to 133) are cut off the 630 ms grid, so the music's tempo
 * follows them there. After the last cut the grid goes on at 630.2 ms. */
struct Cut {
    double beat;
    double ms;
};
const Cut CUTS[] = {
    {4, 2521},    {8, 5042},    {12, 7563},   {16, 10083},  {32, 20160},  {37, 23318},  {41, 25839},
    {45, 28360},  {49, 30881},  {53, 33390},  {57, 35898},  {65, 40950},  {73, 45992},  {81, 51034},
    {89, 56076},  {105, 65875}, {115, 72353}, {119, 74861}, {129, 81176}, {133, 83777}, {165, 103932},
    {173, 108999}, {181, 114066}, {189, 119133}, {197, 124203}, {221, 139293}, {225, 141814}, {229, 144335},
};
const double GRID_MS = 630.2; /* a beat: a quarter of the timeline's 2520.8 ms bar */

[[noreturn]] void fail(const std::string& what)
{
    throw std::logic_error("song: " + what);
}

int framesPerTick(int tempo)
{
    return RATE * 5 / (tempo * 2);
}

/* The tempo map: ms of a beat, through the cuts. */
struct Anchor {
    double beat, ms;
};

std::vector<Anchor> anchors()
{
    std::vector<Anchor> a;
    a.push_back({0.0, HEADER_SPEED * framesPerTick(HEADER_TEMPO) * 1000.0 / RATE});
    for (const Cut& c : CUTS)
        a.push_back({c.beat, c.ms});
    return a;
}

/* The segment of the map holding beat b: [a[i], a[i+1]], extended past the
 * last cut on the grid. */
Anchor segStart(const std::vector<Anchor>& a, double b, Anchor* end)
{
    for (size_t i = 0; i + 1 < a.size(); i++)
        if (b < a[i + 1].beat) {
            *end = a[i + 1];
            return a[i];
        }
    *end = {a.back().beat + 1.0, a.back().ms + GRID_MS};
    return a.back();
}

double frameAt(const std::vector<Anchor>& a, double b)
{
    Anchor e;
    Anchor s = segStart(a, b, &e);
    double ms = s.ms + (b - s.beat) * (e.ms - s.ms) / (e.beat - s.beat);
    return ms * RATE / 1000.0;
}

/* The two neighbouring tempos whose tick lengths bracket the segment's. */
void tempoPair(const std::vector<Anchor>& a, double b, int* slow, int* fast)
{
    Anchor e;
    Anchor s = segStart(a, b, &e);
    double ideal = (e.ms - s.ms) / (e.beat - s.beat) / 24.0 * RATE / 1000.0; /* frames a tick */
    for (int t = 32; t < 255; t++)
        if (framesPerTick(t) >= ideal && framesPerTick(t + 1) <= ideal) {
            *slow = t;
            *fast = t + 1;
            return;
        }
    fail("no tempo fits the timeline");
}

/* The global effects of a row, as the player keeps them: the highest
 * channel's position jump, pattern break, pattern loop or row delay. */
struct Global {
    int effect = -1, param = 0;
};

Global globalOf(const xmw::Pattern& p, int row)
{
    Global g;
    for (int c = 0; c < p.channels; c++) {
        const xmw::Cell& cell = p.at(row, c);
        int sub = cell.param >> 4;
        if (cell.effect == score::FX_JUMP || cell.effect == score::FX_BREAK ||
            (cell.effect == score::FX_EXT && (sub == score::EX_LOOP || sub == score::EX_ROW_DELAY))) {
            if (g.effect >= 0)
                fail("two global effects in row " + std::to_string(row));
            g.effect = cell.effect;
            g.param = cell.param;
        }
    }
    return g;
}

/* Walks one pass of the song as the player does: rows in order, breaks,
 * jumps and loops, each row's length from the speed in force and its row
 * delay. tempoOf(row, tempo in force) gives the row's tempo. The pass ends
 * before a row already played is played again outside a loop. */
std::vector<PlayedRow> walk(const xmw::Song& s, const std::function<int(const PlayedRow&, int)>& tempoOf)
{
    std::vector<PlayedRow> out;
    std::set<std::pair<int, int>> seen;
    int len = (int)s.orders.size();
    int pos = 0, row = 0, loopRow = 0, loopCount = 0;
    int speed = s.speed, tempo = s.tempo;
    long long frame = (long long)speed * framesPerTick(tempo);
    long long ticks = 0;
    for (;;) {
        if (seen.count({pos, row}) && loopCount == 0)
            break;
        if (out.size() > 100000)
            fail("the song does not end");
        seen.insert({pos, row});
        int pat = s.orders[(size_t)pos];
        const xmw::Pattern& p = s.patterns[(size_t)pat];
        for (int c = 0; c < p.channels; c++) {
            const xmw::Cell& cell = p.at(row, c);
            if (cell.effect == score::FX_TEMPO && cell.param > 0 && cell.param < 0x20)
                speed = cell.param;
        }
        Global g = globalOf(p, row);
        int delay = g.effect == score::FX_EXT && (g.param >> 4) == score::EX_ROW_DELAY ? (g.param & 15) : 0;
        PlayedRow pr{pos, pat, row, speed * (1 + delay), 0, frame, ticks / 24.0};
        tempo = tempoOf(pr, tempo);
        pr.tempo = tempo;
        frame += (long long)pr.ticks * framesPerTick(tempo);
        ticks += pr.ticks;
        out.push_back(pr);

        bool jumped = false;
        if (g.effect == score::FX_JUMP) {
            pos = g.param;
            row = 0;
            jumped = true;
        } else if (g.effect == score::FX_BREAK) {
            do
                pos = (pos + 1) % len;
            while (s.orders[(size_t)pos] > 253);
            row = (g.param >> 4) * 10 + (g.param & 15);
            jumped = true;
        } else if (g.effect == score::FX_EXT && (g.param >> 4) == score::EX_LOOP) {
            int x = g.param & 15;
            if (x == 0) {
                loopRow = row;
            } else if (loopCount == 0) {
                loopCount = x;
                jumped = true;
            } else if (--loopCount > 0) {
                jumped = true;
            }
            if (jumped)
                row = loopRow;
        }
        if (!jumped && ++row >= p.rows) {
            row = 0;
            do
                pos = (pos + 1) % len;
            while (s.orders[(size_t)pos] > 253);
        }
        if (pos >= len)
            pos = 0;
        if (row >= s.patterns[(size_t)s.orders[(size_t)pos]].rows)
            fail("a break past the end of a pattern");
    }
    return out;
}

/* Puts a song-wide effect into the row: the conductor's effect column, or
 * the free effect column of another channel. */
void placeGlobal(xmw::Song& s, int pattern, int row, int effect, int param)
{
    xmw::Pattern& p = s.patterns[(size_t)pattern];
    for (int c = score::COND; c >= 0; c--) {
        xmw::Cell& cell = p.at(row, c);
        if (cell.effect == 0 && cell.param == 0) {
            cell.effect = (uint8_t)effect;
            cell.param = (uint8_t)param;
            return;
        }
    }
    fail("no free effect column for a tempo in row " + std::to_string(row));
}

} // namespace

std::vector<PlayedRow> play(const xmw::Song& song)
{
    return walk(song, [&](const PlayedRow& r, int tempo) {
        const xmw::Pattern& p = song.patterns[(size_t)r.pattern];
        for (int c = 0; c < p.channels; c++) {
            const xmw::Cell& cell = p.at(r.row, c);
            if (cell.effect == score::FX_TEMPO && cell.param >= 0x20)
                tempo = cell.param;
        }
        return tempo;
    });
}

xmw::Song build(std::vector<xmw::Instrument> instruments)
{
    xmw::Song s;
    s.name = "funkyloo";
    s.channels = score::NUM_CHANNELS;
    s.speed = HEADER_SPEED;
    s.tempo = HEADER_TEMPO;
    s.linear = true;
    s.orders.clear();
    const std::vector<composition::Section>& sections = composition::sections();
    for (const composition::Section& sec : sections) {
        int p = s.addPattern(sec.rows);
        score::Sec w;
        w.p = &s.patterns[(size_t)p];
        w.rows = sec.rows;
        sec.write(w);
        s.orders.push_back((uint8_t)p);
    }
    s.instruments = std::move(instruments);
    placeGlobal(s, 0, 0, score::FX_TEMPO, SPEED);

    /* each row's tempo: the one of its segment's pair that ends it nearest
     * to the map; a row played again (a loop) keeps the tempo it got */
    std::vector<Anchor> map = anchors();
    std::map<std::pair<int, int>, int> chosen;
    std::vector<PlayedRow> plan = walk(s, [&](const PlayedRow& r, int) {
        auto it = chosen.find({r.pattern, r.row});
        if (it != chosen.end())
            return it->second;
        int slow = 0, fast = 0;
        tempoPair(map, r.beat + r.ticks / 48.0, &slow, &fast);
        double target = frameAt(map, r.beat + r.ticks / 24.0);
        double endSlow = (double)r.frame + (double)r.ticks * framesPerTick(slow);
        double endFast = (double)r.frame + (double)r.ticks * framesPerTick(fast);
        int t = (endSlow - target) * (endSlow - target) <= (endFast - target) * (endFast - target) ? slow : fast;
        chosen[{r.pattern, r.row}] = t;
        return t;
    });

    /* a tempo command wherever the tempo in force changes, and at the start
     * (the song comes back there from its end) */
    std::set<std::pair<int, int>> need = {{s.orders[0], 0}};
    for (size_t i = 1; i < plan.size(); i++)
        if (plan[i].tempo != plan[i - 1].tempo)
            need.insert({plan[i].pattern, plan[i].row});
    for (const auto& pr : need)
        placeGlobal(s, pr.first, pr.second, score::FX_TEMPO, chosen.at(pr));

    /* the commands must give exactly the planned timing, and every section
     * must last the beats it was written for */
    std::vector<PlayedRow> check = play(s);
    if (check.size() != plan.size())
        fail("the tempo commands change the pass");
    for (size_t i = 0; i < plan.size(); i++)
        if (check[i].frame != plan[i].frame || check[i].tempo != plan[i].tempo)
            fail("the tempo commands do not give the planned timing at row " + std::to_string(i));
    std::vector<long long> ticks(sections.size(), 0);
    for (const PlayedRow& r : plan)
        ticks[(size_t)r.order] += r.ticks;
    for (size_t i = 0; i < sections.size(); i++)
        if (ticks[i] != sections[i].beats * 24LL)
            fail(std::string("section ") + sections[i].name + " plays " + std::to_string(ticks[i] / 24.0) +
                 " beats, not " + std::to_string(sections[i].beats));
    return s;
}

} // namespace arrangement
