/*
 * modplay_core: ticks, rows, note triggering and periods (see modplay_core.h).
 */
#include "modplay/modplay_core.h"

#include <climits>

#include "modplay/effects.h"
#include "modplay/envelope.h"
#include "modplay/mod.h"

/* ---- Constant tables ------------------------------------------------------
 * Lifetime: whole run; read only. */

/* Entry 12 * o + s = floor(B[s] * 16 * 8363 / 2^o) for octaves o = 0..15,
 * B = 1712 1616 1524 1440 1356 1280 1208 1140 1076 1016 960 907: the period
 * of the note times the C-4 rate. One row per octave. */
const int32_t mod_notetable[192] = {
    229079296, 216233728, 203923392, 192683520, 181443648, 171274240, 161640064, 152541120, 143977408, 135948928, 128455680, 121363856,
    114539648, 108116864, 101961696, 96341760, 90721824, 85637120, 80820032, 76270560, 71988704, 67974464, 64227840, 60681928,
    57269824, 54058432, 50980848, 48170880, 45360912, 42818560, 40410016, 38135280, 35994352, 33987232, 32113920, 30340964,
    28634912, 27029216, 25490424, 24085440, 22680456, 21409280, 20205008, 19067640, 17997176, 16993616, 16056960, 15170482,
    14317456, 13514608, 12745212, 12042720, 11340228, 10704640, 10102504, 9533820, 8998588, 8496808, 8028480, 7585241,
    7158728, 6757304, 6372606, 6021360, 5670114, 5352320, 5051252, 4766910, 4499294, 4248404, 4014240, 3792620,
    3579364, 3378652, 3186303, 3010680, 2835057, 2676160, 2525626, 2383455, 2249647, 2124202, 2007120, 1896310,
    1789682, 1689326, 1593151, 1505340, 1417528, 1338080, 1262813, 1191727, 1124823, 1062101, 1003560, 948155,
    894841, 844663, 796575, 752670, 708764, 669040, 631406, 595863, 562411, 531050, 501780, 474077,
    447420, 422331, 398287, 376335, 354382, 334520, 315703, 297931, 281205, 265525, 250890, 237038,
    223710, 211165, 199143, 188167, 177191, 167260, 157851, 148965, 140602, 132762, 125445, 118519,
    111855, 105582, 99571, 94083, 88595, 83630, 78925, 74482, 70301, 66381, 62722, 59259,
    55927, 52791, 49785, 47041, 44297, 41815, 39462, 37241, 35150, 33190, 31361, 29629,
    27963, 26395, 24892, 23520, 22148, 20907, 19731, 18620, 17575, 16595, 15680, 14814,
    13981, 13197, 12446, 11760, 11074, 10453, 9865, 9310, 8787, 8297, 7840, 7407,
    6990, 6598, 6223, 5880, 5537, 5226, 4932, 4655, 4393, 4148, 3920, 3703,};

/* Entry n = floor(14317456 * 2^((48 - n) / 12)) for n = 0..191: the period
 * of note index n in equal temperament times the C-4 rate (entry 48 is
 * 1712 * 8363, as in mod_notetable). One row per octave. */
const int32_t mod_notetable_equal[192] = {
    229079296, 216222063, 204086451, 192631958, 181820357, 171615565, 161983523, 152892087, 144310913, 136211364, 128566407, 121350529,
    114539648, 108111031, 102043225, 96315979, 90910178, 85807782, 80991761, 76446043, 72155456, 68105682, 64283203, 60675264,
    57269824, 54055515, 51021612, 48157989, 45455089, 42903891, 40495880, 38223021, 36077728, 34052841, 32141601, 30337632,
    28634912, 27027757, 25510806, 24078994, 22727544, 21451945, 20247940, 19111510, 18038864, 17026420, 16070800, 15168816,
    14317456, 13513878, 12755403, 12039497, 11363772, 10725972, 10123970, 9555755, 9019432, 8513210, 8035400, 7584408,
    7158728, 6756939, 6377701, 6019748, 5681886, 5362986, 5061985, 4777877, 4509716, 4256605, 4017700, 3792204,
    3579364, 3378469, 3188850, 3009874, 2840943, 2681493, 2530992, 2388938, 2254858, 2128302, 2008850, 1896102,
    1789682, 1689234, 1594425, 1504937, 1420471, 1340746, 1265496, 1194469, 1127429, 1064151, 1004425, 948051,
    894841, 844617, 797212, 752468, 710235, 670373, 632748, 597234, 563714, 532075, 502212, 474025,
    447420, 422308, 398606, 376234, 355117, 335186, 316374, 298617, 281857, 266037, 251106, 237012,
    223710, 211154, 199303, 188117, 177558, 167593, 158187, 149308, 140928, 133018, 125553, 118506,
    111855, 105577, 99651, 94058, 88779, 83796, 79093, 74654, 70464, 66509, 62776, 59253,
    55927, 52788, 49825, 47029, 44389, 41898, 39546, 37327, 35232, 33254, 31388, 29626,
    27963, 26394, 24912, 23514, 22194, 20949, 19773, 18663, 17616, 16627, 15694, 14813,
    13981, 13197, 12456, 11757, 11097, 10474, 9886, 9331, 8808, 8313, 7847, 7406,
    6990, 6598, 6228, 5878, 5548, 5237, 4943, 4665, 4404, 4156, 3923, 3703,
};

/* Entry i = floor(8363 * 16 * 2^(-i / 768)), i = 0..767: a quarter of the
 * frequency in Hz of linear period i. */
const int32_t linearperiodtab[768] = {
    133808, 133687, 133566, 133446, 133325, 133205, 133085, 132965, 132845, 132725, 132605, 132486,
    132366, 132247, 132127, 132008, 131889, 131770, 131651, 131532, 131414, 131295, 131177, 131059,
    130940, 130822, 130704, 130586, 130468, 130351, 130233, 130116, 129998, 129881, 129764, 129647,
    129530, 129413, 129296, 129180, 129063, 128947, 128830, 128714, 128598, 128482, 128366, 128250,
    128134, 128019, 127903, 127788, 127673, 127558, 127442, 127328, 127213, 127098, 126983, 126869,
    126754, 126640, 126526, 126411, 126297, 126183, 126070, 125956, 125842, 125729, 125615, 125502,
    125389, 125276, 125163, 125050, 124937, 124824, 124712, 124599, 124487, 124374, 124262, 124150,
    124038, 123926, 123814, 123703, 123591, 123480, 123368, 123257, 123146, 123035, 122924, 122813,
    122702, 122591, 122481, 122370, 122260, 122150, 122039, 121929, 121819, 121709, 121600, 121490,
    121380, 121271, 121161, 121052, 120943, 120834, 120725, 120616, 120507, 120398, 120290, 120181,
    120073, 119964, 119856, 119748, 119640, 119532, 119424, 119317, 119209, 119101, 118994, 118887,
    118779, 118672, 118565, 118458, 118351, 118244, 118138, 118031, 117925, 117818, 117712, 117606,
    117500, 117394, 117288, 117182, 117076, 116971, 116865, 116760, 116654, 116549, 116444, 116339,
    116234, 116129, 116024, 115920, 115815, 115711, 115606, 115502, 115398, 115294, 115190, 115086,
    114982, 114878, 114775, 114671, 114568, 114464, 114361, 114258, 114155, 114052, 113949, 113846,
    113743, 113641, 113538, 113436, 113334, 113231, 113129, 113027, 112925, 112823, 112721, 112620,
    112518, 112417, 112315, 112214, 112113, 112012, 111911, 111810, 111709, 111608, 111507, 111407,
    111306, 111206, 111105, 111005, 110905, 110805, 110705, 110605, 110505, 110406, 110306, 110207,
    110107, 110008, 109909, 109809, 109710, 109611, 109512, 109414, 109315, 109216, 109118, 109019,
    108921, 108823, 108725, 108627, 108529, 108431, 108333, 108235, 108137, 108040, 107942, 107845,
    107748, 107651, 107553, 107456, 107359, 107263, 107166, 107069, 106973, 106876, 106780, 106683,
    106587, 106491, 106395, 106299, 106203, 106107, 106011, 105916, 105820, 105725, 105629, 105534,
    105439, 105344, 105249, 105154, 105059, 104964, 104869, 104775, 104680, 104586, 104492, 104397,
    104303, 104209, 104115, 104021, 103927, 103834, 103740, 103646, 103553, 103459, 103366, 103273,
    103180, 103086, 102993, 102901, 102808, 102715, 102622, 102530, 102437, 102345, 102253, 102160,
    102068, 101976, 101884, 101792, 101700, 101609, 101517, 101425, 101334, 101242, 101151, 101060,
    100969, 100878, 100787, 100696, 100605, 100514, 100423, 100333, 100242, 100152, 100061, 99971,
    99881, 99791, 99701, 99611, 99521, 99431, 99342, 99252, 99162, 99073, 98984, 98894,
    98805, 98716, 98627, 98538, 98449, 98360, 98271, 98183, 98094, 98006, 97917, 97829,
    97741, 97653, 97564, 97476, 97389, 97301, 97213, 97125, 97038, 96950, 96863, 96775,
    96688, 96601, 96514, 96426, 96339, 96253, 96166, 96079, 95992, 95906, 95819, 95733,
    95646, 95560, 95474, 95388, 95302, 95216, 95130, 95044, 94958, 94873, 94787, 94701,
    94616, 94531, 94445, 94360, 94275, 94190, 94105, 94020, 93935, 93851, 93766, 93681,
    93597, 93512, 93428, 93344, 93260, 93175, 93091, 93007, 92923, 92840, 92756, 92672,
    92589, 92505, 92422, 92338, 92255, 92172, 92089, 92005, 91922, 91840, 91757, 91674,
    91591, 91509, 91426, 91344, 91261, 91179, 91097, 91014, 90932, 90850, 90768, 90686,
    90605, 90523, 90441, 90360, 90278, 90197, 90115, 90034, 89953, 89872, 89791, 89710,
    89629, 89548, 89467, 89386, 89306, 89225, 89145, 89064, 88984, 88904, 88823, 88743,
    88663, 88583, 88503, 88423, 88344, 88264, 88184, 88105, 88025, 87946, 87867, 87787,
    87708, 87629, 87550, 87471, 87392, 87313, 87234, 87156, 87077, 86998, 86920, 86842,
    86763, 86685, 86607, 86529, 86451, 86373, 86295, 86217, 86139, 86061, 85984, 85906,
    85829, 85751, 85674, 85597, 85519, 85442, 85365, 85288, 85211, 85134, 85057, 84981,
    84904, 84827, 84751, 84675, 84598, 84522, 84446, 84369, 84293, 84217, 84141, 84065,
    83989, 83914, 83838, 83762, 83687, 83611, 83536, 83461, 83385, 83310, 83235, 83160,
    83085, 83010, 82935, 82860, 82785, 82711, 82636, 82561, 82487, 82413, 82338, 82264,
    82190, 82116, 82042, 81968, 81894, 81820, 81746, 81672, 81598, 81525, 81451, 81378,
    81304, 81231, 81158, 81085, 81011, 80938, 80865, 80792, 80719, 80647, 80574, 80501,
    80429, 80356, 80284, 80211, 80139, 80066, 79994, 79922, 79850, 79778, 79706, 79634,
    79562, 79490, 79419, 79347, 79275, 79204, 79133, 79061, 78990, 78919, 78847, 78776,
    78705, 78634, 78563, 78492, 78422, 78351, 78280, 78209, 78139, 78068, 77998, 77928,
    77857, 77787, 77717, 77647, 77577, 77507, 77437, 77367, 77297, 77227, 77158, 77088,
    77019, 76949, 76880, 76810, 76741, 76672, 76603, 76534, 76465, 76396, 76327, 76258,
    76189, 76120, 76052, 75983, 75914, 75846, 75778, 75709, 75641, 75573, 75504, 75436,
    75368, 75300, 75232, 75165, 75097, 75029, 74961, 74894, 74826, 74759, 74691, 74624,
    74556, 74489, 74422, 74355, 74288, 74221, 74154, 74087, 74020, 73953, 73887, 73820,
    73753, 73687, 73620, 73554, 73488, 73421, 73355, 73289, 73223, 73157, 73091, 73025,
    72959, 72893, 72827, 72762, 72696, 72630, 72565, 72499, 72434, 72369, 72303, 72238,
    72173, 72108, 72043, 71978, 71913, 71848, 71783, 71718, 71654, 71589, 71524, 71460,
    71395, 71331, 71267, 71202, 71138, 71074, 71010, 70946, 70882, 70818, 70754, 70690,
    70626, 70563, 70499, 70435, 70372, 70308, 70245, 70182, 70118, 70055, 69992, 69929,
    69866, 69803, 69740, 69677, 69614, 69551, 69488, 69426, 69363, 69300, 69238, 69175,
    69113, 69051, 68988, 68926, 68864, 68802, 68740, 68678, 68616, 68554, 68492, 68430,
    68369, 68307, 68245, 68184, 68122, 68061, 67999, 67938, 67877, 67815, 67754, 67693,
    67632, 67571, 67510, 67449, 67388, 67328, 67267, 67206, 67145, 67085, 67024, 66964,};

/* The Amiga-style clocks: period p plays at AMIGA_HZ / p Hz (C-4, period
 * 1712, at about 8363 Hz); a MOD plays at the PAL Amiga's clock, 7093789.2
 * Hz / 2 for the classic period (a quarter of ours), so C-4 at 8287 Hz. */
static const uint32_t AMIGA_HZ = 14317056;
static const uint32_t AMIGA_PAL_HZ = 14187578;

/* Bits of stepFrac below the 22.10 step. */
static const int STEP_FINE_BITS = 22;

/* Where slides stop (periods; the Amiga-style ones are four times the
 * classic Amiga period): a MOD between the Amiga's B-3 (113) and C-1 (856),
 * an S3M at 32767 downwards, an XM between 1 and 31999. */
enum {
    MOD_TOP_PERIOD = 4 * 113,
    MOD_BOTTOM_PERIOD = 4 * 856,
    S3M_BOTTOM_PERIOD = 32767,
    XM_TOP_PERIOD = 1,
    XM_BOTTOM_PERIOD = 31999
};

/* Notes of the MOD period table (octaves 0..8). */
enum {
    MOD_TABLE_NOTES = 108
};

/* ---- Periods and steps --------------------------------------------------- */

/* The note periods (times the C-4 rate) of the song's Amiga-style notes. */
static const int32_t* noteTable(const MODFILE* mod)
{
    return mod->equalTempered ? mod_notetable_equal : mod_notetable;
}

int32_t MODFILE_NotePeriod(const MODFILE* mod, int v, int r, int f)
{
    int n = (v & 15) + 12 * ((v >> 4) & 15);
    if (mod->linearFreq == 1)
        return 7680 - 64 * n - f / 2;
    /* semitone nibbles 12..15 of octave 15 lie past the table's last note */
    if (n > 191)
        n = 191;
    uint32_t rate = (r != 0) ? (uint32_t)r : 8363u;
    /* a MOD plays its tracker's own periods (the table its notes were read
     * from), moved by the finetune's rate and kept whole; others keep the
     * rest in MODFILE_NotePeriodFrac */
    if (mod->formatId == MODFILE_FORMAT_MOD && n < MOD_TABLE_NOTES)
        return (int32_t)(((uint64_t)s3m_amiga2st3[n].period * 4 * 8363 + rate / 2) / rate);
    return (int32_t)((uint32_t)noteTable(mod)[n] / rate);
}

/* Output periods below these are held there: an S3M channel at 64 (its
 * highest pitch), any other at 1, so that the step never vanishes. */
enum {
    S3M_TOP_PERIOD = 64,
    TOP_PERIOD = 1
};

void MODFILE_UpdateStep(MODFILE* mod, int c)
{
    MODFILE_CHANNEL* ch = &mod->channels[c];
    int64_t sum = (int64_t)ch->basePeriod + ch->periodOffset + ch->autoVibOffset;
    int top = mod->formatId == MODFILE_FORMAT_S3M ? S3M_TOP_PERIOD : TOP_PERIOD;
    uint32_t p = (uint32_t)(sum < top ? top : sum > INT32_MAX ? INT32_MAX : sum);
    uint64_t rate = (uint64_t)mod->mixRate;
    if (mod->mixRate <= 0) {
        ch->voice.step = ch->voice.stepFrac = 0;
        return;
    }
    /* the step in 32.32 fixed point: Hz * 2^32 / mixRate */
    uint64_t step;
    if (mod->linearFreq == 1) {
        /* linear period p plays at 4 * linearperiodtab[p % 768] / 2^(p / 768) Hz */
        uint32_t shift = p / 768;
        uint64_t quarterHz = (uint64_t)linearperiodtab[p % 768];
        step = shift > 34 ? (quarterHz << 34 >> shift) / rate : (quarterHz << (34 - shift)) / rate;
    } else {
        /* the period with its 16 fraction bits (those of a note's period) */
        uint64_t p16 = ((uint64_t)p << 16) + (sum == (int64_t)p ? ch->periodFrac : 0);
        uint64_t hz = mod->formatId == MODFILE_FORMAT_MOD ? AMIGA_PAL_HZ : AMIGA_HZ;
        step = ((hz << 32) / rate << 16) / p16;
    }
    if (step >> 54)
        step = ((uint64_t)1 << 54) - 1; /* 22 whole bits at most */
    ch->voice.step = (uint32_t)(step >> STEP_FINE_BITS);
    ch->voice.stepFrac = (uint32_t)step & ((1u << STEP_FINE_BITS) - 1);
}

void MODFILE_SlidePeriod(MODFILE* mod, int c, int32_t delta)
{
    MODFILE_CHANNEL* ch = &mod->channels[c];
    int32_t old = ch->basePeriod;
    int32_t p = old + delta;
    if (mod->formatId == MODFILE_FORMAT_MOD) {
        /* the Amiga's range, B-3 to C-1; a note already outside it stays */
        const int32_t top = MOD_TOP_PERIOD, bottom = MOD_BOTTOM_PERIOD;
        int32_t lo = old < top ? old : top;
        int32_t hi = old > bottom ? old : bottom;
        p = p < lo ? lo : p > hi ? hi : p;
    } else if (mod->formatId == MODFILE_FORMAT_S3M) {
        /* the output holds at the top (MODFILE_UpdateStep); a slide on past
         * period 0 cuts the note */
        if (p > S3M_BOTTOM_PERIOD)
            p = S3M_BOTTOM_PERIOD;
        if (p <= 0)
            ch->voice.active = 0;
    } else {
        const int32_t top = XM_TOP_PERIOD, bottom = XM_BOTTOM_PERIOD;
        p = p < top ? top : p > bottom ? bottom : p;
    }
    MODFILE_SetPeriod(mod, c, p);
}

uint16_t MODFILE_NotePeriodFrac(const MODFILE* mod, int v, int r)
{
    if (mod->linearFreq == 1 || mod->formatId == MODFILE_FORMAT_MOD)
        return 0;
    int n = (v & 15) + 12 * ((v >> 4) & 15);
    if (n > 191)
        n = 191;
    uint32_t rate = (r != 0) ? (uint32_t)r : 8363u;
    return (uint16_t)((((uint64_t)((uint32_t)noteTable(mod)[n] % rate)) << 16) / rate);
}

void MODFILE_SetNote(MODFILE* mod, int c, int v, int r, int f)
{
    mod->channels[c].basePeriod = MODFILE_NotePeriod(mod, v, r, f);
    mod->channels[c].periodFrac = MODFILE_NotePeriodFrac(mod, v, r);
    MODFILE_UpdateStep(mod, c);
}

void MODFILE_SetPeriod(MODFILE* mod, int c, int32_t period)
{
    mod->channels[c].basePeriod = period;
    MODFILE_UpdateStep(mod, c);
}

void MODFILE_SetPeriodOfs(MODFILE* mod, int c, int32_t offset)
{
    mod->channels[c].periodOffset = offset;
    MODFILE_UpdateStep(mod, c);
}

/* ---- Tempo and volume ---------------------------------------------------- */

int MODFILE_BPM2SamplesPerTick(const MODFILE* mod, int bpm)
{
    if (bpm <= 0)
        return 0;
    return mod->mixRate * 5 / (bpm * 2);
}

void MODFILE_SetBPM(MODFILE* mod, int bpm)
{
    if (bpm < 32 || bpm > 255)
        return;
    mod->bpm = bpm;
    mod->samplesPerTick = MODFILE_BPM2SamplesPerTick(mod, bpm);
}

void MODFILE_AddVolume(MODFILE* mod, int c, int amount)
{
    int v = mod->channels[c].voice.volume + amount;
    mod->channels[c].voice.volume = (uint8_t)(v > 64 ? 64 : v);
}

void MODFILE_SubVolume(MODFILE* mod, int c, int amount)
{
    int v = mod->channels[c].voice.volume;
    mod->channels[c].voice.volume = (uint8_t)(amount >= v ? 0 : v - amount);
}

/* ---- Notes --------------------------------------------------------------- */

/* The note value of note value `note` moved by a sample's relative note:
 * t = (relativeNote + note index) mod 256, re-encoded as (t / 12) << 4 |
 * t mod 12 and kept to 8 bits. */
static int transposedNote(const MODFILE_SAMPLE* s, int note)
{
    int t = (s->relativeNote + (note & 15) + 12 * (note >> 4)) & 255;
    return (((t / 12) << 4) | (t % 12)) & 255;
}

/* Restarts the instrument's envelopes, fade-out and auto-vibrato on channel
 * c (what an instrument number does to a channel). */
static void restartInstrument(MODFILE_CHANNEL* ch)
{
    ch->volEnv.env = &ch->instrument->volEnvelope;
    EnvTrigger(&ch->volEnv);
    ch->panEnv.env = &ch->instrument->panEnvelope;
    EnvTrigger(&ch->panEnv);
    ch->fadeVolume = 0x8000;
    ch->fadeStep = 0;
    ch->autoVibPos = 0;
    ch->autoVibTicks = 0;
    ch->autoVibOffset = 0;
}

int MODFILE_TriggerNote(MODFILE* mod, int c, int note, int instr, int vol)
{
    MODFILE_CHANNEL* ch = &mod->channels[c];
    int result = 0;

    if (instr - 1 >= mod->numInstruments)
        return 0;
    /* the sample the named instrument has for the note; without a note (or
     * with key off), for the channel's last note */
    MODFILE_SAMPLE* named = nullptr;
    if (instr != 0) {
        named = mod->instruments[instr - 1].noteSample[note < 254 ? note : ch->playedNote];
        if (!named)
            return 0;
    }

    if (instr != 255 && note < 254) {
        ch->voice.position = ch->voice.positionFrac = 0;
        ch->voice.forward = 1;
        if (instr != 0) {
            ch->lastInstrument = (uint8_t)instr;
            ch->instrument = &mod->instruments[instr - 1];
            ch->noteSample = named;
            ch->voice.sample = named;
            ch->voice.active = 1;
            result = 1;
        }
        for (int j = 0; j < 2; j++) {
            if (ch->fx[j].vibWave < 4)
                ch->fx[j].vibPos = 0;
            if (ch->fx[j].tremWave < 4)
                ch->fx[j].tremPos = 0;
        }
    }

    if (note < 254) {
        ch->playedNote = (uint8_t)note;
        MODFILE_SAMPLE* s;
        if (ch->lastInstrument != 0) {
            s = mod->instruments[ch->lastInstrument - 1].noteSample[note];
            ch->noteSample = s;
        } else {
            s = ch->noteSample;
        }
        if (s && ch->instrument) {
            ch->voice.sample = s;
            ch->voice.active = 1;
            ch->voice.forward = 1;
            MODFILE_SetNote(mod, c, ch->instrument->noteMap[transposedNote(s, note)], s->c4Rate, s->finetune);
            result = 1;
        }
    }

    /* an instrument number gives the sample's volume and panning (a sample
     * without its own panning keeps the channel's) and restarts the
     * envelopes; without a note the playing sample goes on */
    if (instr >= 1 && instr <= 254) {
        ch->lastInstrument = (uint8_t)instr;
        ch->instrument = &mod->instruments[instr - 1];
        MODFILE_SAMPLE* s = note < 254 ? ch->noteSample : named;
        ch->voice.volume = 64;
        if (s) {
            ch->voice.volume = s->volume;
            if (note < 254)
                ch->voice.active = 1;
            if (s->panning == 64)
                ch->voice.panning = 255;
            else if (s->panning < 64)
                ch->voice.panning = (uint8_t)(4 * s->panning);
            result = 1;
        }
        restartInstrument(ch);
    }

    if (vol <= 64)
        ch->voice.volume = (uint8_t)vol;

    /* key off; a voice revived by an effect may sound without an instrument */
    if (note == 254 && ch->voice.active && ch->instrument)
        MODFILE_KeyOff(mod, c, instr >= 1 && instr <= 254);
    return result;
}

void MODFILE_KeyOff(MODFILE* mod, int c, int withInstrument)
{
    MODFILE_CHANNEL* ch = &mod->channels[c];
    if (!ch->instrument)
        return;
    if (ch->instrument->panEnvelope.enabled)
        EnvRelease(&ch->panEnv);
    if (ch->instrument->volEnvelope.enabled) {
        EnvRelease(&ch->volEnv);
        ch->fadeStep = ch->instrument->fadeout;
    } else if (mod->formatId != MODFILE_FORMAT_XM) {
        ch->voice.active = 0;
    } else if (!withInstrument) {
        /* an XM note without a volume envelope falls silent but goes on, so
         * that a later volume brings it back; an instrument number in the
         * key off's own cell has already given the volume back */
        ch->voice.volume = 0;
    }
}

void MODFILE_Retrigger(MODFILE* mod, int c)
{
    MODFILE_CHANNEL* ch = &mod->channels[c];
    if (!ch->voice.sample)
        return;
    ch->voice.position = ch->voice.positionFrac = 0;
    ch->voice.forward = 1;
    ch->voice.active = 1;
    if (ch->instrument) {
        /* the envelopes start again on this very tick, which has already
         * taken its envelope values */
        restartInstrument(ch);
        ch->voice.envVolume = EnvProcess(&ch->volEnv) ? (uint8_t)ch->volEnv.value : 64;
        ch->voice.envPanning = EnvProcess(&ch->panEnv) ? (uint8_t)ch->panEnv.value : 32;
    }
    MODFILE_UpdateStep(mod, c);
}

int32_t MODFILE_SamplePeriod(const MODFILE* mod, const MODFILE_INSTRUMENT* ins, const MODFILE_SAMPLE* s, int note,
                             int rate, int finetune)
{
    return MODFILE_NotePeriod(mod, ins->noteMap[transposedNote(s, note)], rate, finetune);
}

/* ---- Rows and ticks ------------------------------------------------------ */

void MODFILE_NextOrder(MODFILE* mod)
{
    /* past the end the song goes on at its restart position; should only
     * markers follow that, at position 0 (which the loaders make sure leads
     * to a pattern) */
    int wraps = 0;
    do {
        mod->songPos++;
        if (mod->songPos >= mod->songLength) {
            int restart = mod->restartPos >= 0 && mod->restartPos < mod->songLength ? mod->restartPos : 0;
            mod->songPos = wraps++ == 0 ? restart : 0;
        }
    } while (mod->orders[mod->songPos] > 253);
}

uint32_t MODFILE_Process(MODFILE* mod)
{
    uint32_t triggered = 0;
    int noAdvance = 0;
    MODFILE_CELL* rowCells = mod->patterns[mod->orders[mod->songPos]] + mod->row * mod->numChannels;

    for (int c = 0; c < mod->numChannels; c++) {
        MODFILE_CHANNEL* ch = &mod->channels[c];
        /* effects may move row/songPos; every channel still reads this row */
        MODFILE_CELL* cell = rowCells + c;
        int flags = 0;

        for (int j = 0; j < 2; j++) {
            MODFILE_FXSTATE* fx = &ch->fx[j];
            if (cell->note < 254 && ch->noteSample) {
                MODFILE_SAMPLE* s = ch->noteSample;
                fx->targetPeriod = MODFILE_NotePeriod(mod, transposedNote(s, cell->note), s->c4Rate, s->finetune);
            }
            if (fx->effect <= MODFX_LAST)
                MODPLAY_EffectHandlers[fx->effect].stop(mod, c, j);
            fx->effect = cell->effect[j];
            fx->op = cell->effectOp[j];
            if (cell->volume <= 64)
                ch->voice.volume = cell->volume;
            if (fx->effect <= MODFX_LAST) {
                int f = MODPLAY_EffectHandlers[fx->effect].start(mod, c, j, cell);
                if (f & MODFX_NO_ADVANCE)
                    noAdvance = 1;
                flags |= f;
            }
        }

        if (!(flags & MODFX_NO_TRIGGER)) {
            uint8_t panning = ch->voice.panning;
            uint8_t volume = ch->voice.volume;
            uint32_t position = ch->voice.position;
            uint32_t positionFrac = ch->voice.positionFrac;
            int32_t basePeriod = ch->basePeriod;
            uint16_t periodFrac = ch->periodFrac;
            if (MODFILE_TriggerNote(mod, c, cell->note, cell->instrument & 255, cell->volume) && c < 32)
                triggered |= 1u << c;
            if (flags & MODFX_KEEP_POSITION) {
                /* the note may have switched to a shorter sample: stay in it */
                ch->voice.position = position;
                ch->voice.positionFrac = positionFrac;
                if (ch->voice.sample && position > ((uint32_t)ch->voice.sample->length << 10)) {
                    ch->voice.position = (uint32_t)ch->voice.sample->length << 10;
                    ch->voice.positionFrac = 0;
                }
            }
            if (flags & MODFX_KEEP_PERIOD) {
                ch->basePeriod = basePeriod;
                ch->periodFrac = periodFrac;
                MODFILE_UpdateStep(mod, c);
            }
            if (flags & MODFX_KEEP_PANNING)
                ch->voice.panning = panning;
            if (flags & MODFX_KEEP_VOLUME)
                ch->voice.volume = volume;
        }
        if (cell->volume <= 64)
            ch->voice.volume = cell->volume;
    }

    if (!noAdvance) {
        mod->row++;
        if (mod->row >= mod->patternRows[mod->orders[mod->songPos]]) {
            mod->row = 0;
            MODFILE_NextOrder(mod);
        }
    }
    if (mod->songPos >= mod->songLength)
        mod->songPos = 0;
    return triggered;
}

/* Envelopes and fade-out of one channel for one tick. */
static void channelEnvelopes(MODFILE_CHANNEL* ch)
{
    ch->voice.envVolume = EnvProcess(&ch->volEnv) ? (uint8_t)ch->volEnv.value : 64;
    ch->voice.envPanning = EnvProcess(&ch->panEnv) ? (uint8_t)ch->panEnv.value : 32;
    ch->fadeVolume = (ch->fadeStep < ch->fadeVolume) ? (uint16_t)(ch->fadeVolume - ch->fadeStep) : 0;
}

/* The auto-vibrato wave at position pos (0..255), -64..64: 0 a sine that
 * starts upwards in pitch (downwards in period), 1 a square, 2 a ramp whose
 * pitch falls, 3 a ramp whose pitch rises. */
static int autoVibratoWave(int type, int pos)
{
    switch (type) {
    case 1: return pos > 127 ? 64 : -64;
    case 2: return (((pos >> 1) + 64) & 127) - 64;
    case 3: return (((0 - (pos >> 1)) + 64) & 127) - 64;
    default: return -(wavetab[0][pos >> 2] >> 2);
    }
}

/* One tick of the instrument's auto-vibrato on channel c: the wave moves on
 * by the rate, and its depth grows from 0 over `sweep` ticks; the offset, at
 * most +-depth period units, is added to the period. */
static void autoVibrato(MODFILE* mod, int c)
{
    MODFILE_CHANNEL* ch = &mod->channels[c];
    const MODFILE_INSTRUMENT* ins = ch->instrument;
    if (!ins || ins->vibDepth == 0 || !ch->voice.active) {
        if (ch->autoVibOffset != 0) {
            ch->autoVibOffset = 0;
            MODFILE_UpdateStep(mod, c);
        }
        return;
    }
    /* depth in 8.8 fixed point */
    int amp = ins->vibDepth << 8;
    if (ins->vibSweep > 0 && ch->autoVibTicks < ins->vibSweep) {
        ch->autoVibTicks++;
        amp = ch->autoVibTicks * ((ins->vibDepth << 8) / ins->vibSweep);
    }
    ch->autoVibPos = (ch->autoVibPos + ins->vibRate) & 255;
    ch->autoVibOffset = (autoVibratoWave(ins->vibType & 3, ch->autoVibPos) * amp) / 16384;
    MODFILE_UpdateStep(mod, c);
}

int MODFILE_EffectHandler(MODFILE* mod)
{
    for (int c = 0; c < mod->numChannels; c++) {
        MODFILE_CHANNEL* ch = &mod->channels[c];
        if (!ch->voice.enabled)
            continue;
        channelEnvelopes(ch);
        for (int j = 0; j < 2; j++)
            if (ch->fx[j].effect <= MODFX_LAST)
                MODPLAY_EffectHandlers[ch->fx[j].effect].process(mod, c, j);
        autoVibrato(mod, c);
    }
    /* sound effects have no pattern effects, but their envelopes run */
    for (int c = mod->numChannels; c < mod->numChannels + mod->numSfxChannels; c++)
        if (mod->channels[c].voice.enabled)
            channelEnvelopes(&mod->channels[c]);
    return 0;
}
