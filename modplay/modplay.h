/*
 * modplay: the tracker module player's song record and its public face.
 *
 * Everything known about one song, and all of its playback state, lives in
 * one caller-owned record, MODFILE. The loaders (mod, s3m, xm) fill its song
 * half from a whole file image; the host picks the output format, starts it
 * and renders audio block by block with MODFILE_Player into a buffer it names
 * in the record; the playback core, the effect handlers and the envelopes
 * update the channel records once per tick; the mixer reads the voice part of
 * each channel and advances its play position.
 *
 * Encodings used throughout:
 *   note value  (octave << 4) | semitone, semitone 0..11; 254 key off, 255 none
 *   period      int32; linear (64 units a semitone, larger = lower) or
 *               Amiga-style (a quarter of the classic period: note index 48
 *               at 8363 Hz is 1712), chosen per song by linearFreq
 *   position    22.10 fixed point in sample frames; step is added per frame
 *   volume      0..64 (64 = full); panning 0..255, 128 centre, 0 left
 *
 * Invariants the loaders guarantee and the player relies on (no checks on the
 * hot path): songLength 1..256 with at least one order entry below 254; every
 * order entry below 254 in use names an existing pattern; every pattern has
 * 1..256 rows of numChannels cells; every sample's data holds length + 1
 * frames, the last one zero; a looping sample has
 * 0 <= loopStart < loopEnd <= length; a sample is shorter than 2^21 frames;
 * volumes and envelope values are 0..64; an enabled envelope has 1..12
 * points, the first at tick 0, ticks never going back; numChannels +
 * numSfxChannels <= 33.
 *
 * All operations take a MODFILE* and return 0 for success and a negative
 * value for failure; nothing throws and nothing exits.
 */
#ifndef ORVEL_MODPLAY_MODPLAY_H
#define ORVEL_MODPLAY_MODPLAY_H

#include <cstdint>

enum {
    MODFILE_MAX_CHANNELS = 33 /* channel slots: music channels first, then SFX */
};

/* Format ids (formatId, and what each loader's GetFormatID returns). */
enum {
    MODFILE_FORMAT_MOD = 1,
    MODFILE_FORMAT_S3M = 2,
    MODFILE_FORMAT_XM = 3
};

/* The default panning (0..255) of a left and a right channel in MOD and S3M
 * songs: a third of the way in from each side. */
enum {
    MODFILE_PAN_LEFT = 86,
    MODFILE_PAN_RIGHT = 167
};

struct MODFILE;

/* One pattern cell; the cell of channel c in row r of pattern p is
 * patterns[p][r * numChannels + c]. */
struct MODFILE_CELL {
    int32_t instrument;  /* 1-based instrument; 0 none (core uses the low byte) */
    uint8_t volume;      /* 0..64 set the channel volume; 255 none; 65..254 ignored */
    uint8_t note;        /* note value; 254 key off; 255 none */
    uint16_t effect[2];  /* effect number (MODFX_ID, MODPLAY_EffectHandlers); 255 none */
    uint8_t effectOp[2]; /* operand byte of each effect column */
};

/* One sample. */
struct MODFILE_SAMPLE {
    int32_t length;       /* frames */
    int32_t loopStart;    /* loop start frame */
    int32_t loopEnd;      /* frame where forward playback stops, wraps or turns;
                             never read itself; <= length */
    int32_t loop;         /* non-zero: the sample loops */
    int32_t pingPong;     /* non-zero with loop: back and forth */
    void* data;           /* signed 8- or 16-bit mono frames */
    int32_t is16Bit;      /* non-zero: data holds 16-bit frames */
    int32_t stereo;       /* an S3M header's stereo bit; ignored by the player */
    char name[28];        /* NUL-terminated */
    uint8_t volume;       /* default volume 0..64 */
    int32_t c4Rate;       /* Hz of note index 48 in Amiga mode; 0 means 8363 */
    int32_t initC4Rate;   /* the loaded c4Rate, restored by MODFILE_Start */
    int8_t finetune;      /* linear mode: the period is lowered by finetune / 2 */
    int8_t relativeNote;  /* semitones added to every note of this sample */
    uint8_t panning;      /* 0..64 default panning (64 -> 255, v -> 4v); >64 keep */
    uint8_t initVolume;   /* the loaded volume */
};

/* One envelope point. */
struct MODFILE_ENVPOINT {
    uint16_t tick;  /* ticks from the envelope start */
    uint16_t value; /* 0..64 */
};

/* A volume or panning envelope of an instrument. */
struct MODFILE_ENVELOPE {
    int32_t enabled;          /* non-zero: the envelope is used */
    uint8_t numPoints;        /* 0..12 */
    uint8_t loopStart;        /* loop start point; 255 none */
    uint8_t loopEnd;          /* loop end point; 255 none */
    uint8_t sustain;          /* sustain point; 255 none */
    MODFILE_ENVPOINT* points; /* numPoints points, ascending in tick; owned */
};

/* One instrument; cells index the instruments array from 1. */
struct MODFILE_INSTRUMENT {
    char name[28];                   /* NUL-terminated */
    MODFILE_SAMPLE* noteSample[256]; /* sample per raw note value; null refuses the note */
    uint8_t noteMap[256];            /* transposed note value -> note value played */
    MODFILE_ENVELOPE panEnvelope;
    MODFILE_ENVELOPE volEnvelope;
    uint16_t fadeout;                /* subtracted from fadeVolume per tick after key off */
    uint8_t vibType;                 /* auto-vibrato wave: 0 sine, 1 square, 2 ramp down, 3 ramp up */
    uint8_t vibSweep;                /* ticks for the auto-vibrato to reach its depth; 0 at once */
    uint8_t vibDepth;                /* auto-vibrato depth 0..15 */
    uint8_t vibRate;                 /* auto-vibrato position step a tick, 0..63 of 256 */
};

/* One running envelope of a channel. */
struct MODFILE_ENVSTATE {
    MODFILE_ENVELOPE* env; /* the envelope followed; set before EnvTrigger */
    int32_t running;       /* 1 while it advances */
    int32_t fresh;         /* 1 from EnvTrigger until the first EnvProcess, which
                              keeps the first point's value for the note's first tick */
    int32_t sustained;     /* 1 while the key is held */
    uint8_t point;         /* start point of the current segment */
    uint16_t value;        /* current value 0..64 */
    uint16_t pos;          /* current position in ticks */
};

/* State of one effect column of a channel. */
struct MODFILE_FXSTATE {
    uint16_t effect;           /* effect active in this column; 255 none */
    uint8_t op;                /* operand in force (after memory substitution) */
    uint8_t panSlideMem;       /* last non-zero panning slide operand */
    uint8_t volSlideMem;       /* last non-zero operand of the remembering volume slides */
    uint8_t portaMem;          /* last non-zero portamento up/down operand */
    uint8_t tonePortaMem;      /* last non-zero tone portamento speed */
    int32_t targetPeriod;      /* goal of tone portamento */
    uint8_t vibDepth;          /* 0..15 */
    uint8_t vibSpeed;          /* 0..15 */
    uint8_t vibMem;            /* last non-zero vibrato operand */
    int32_t vibWave;           /* 0..7: low two bits the wave; < 4 restarts per note */
    int32_t vibPos;            /* 0..63 */
    uint8_t tremDepth;         /* 0..15 */
    uint8_t tremSpeed;         /* 0..15 */
    uint8_t tremMem;           /* last non-zero tremolo operand */
    int32_t tremWave;          /* as vibWave */
    uint8_t tremBaseVolume;    /* channel volume when the tremolo started, 0..64 */
    int32_t tremPos;           /* 0..63 */
    uint8_t retrigCount;       /* ticks since the last S3M retrigger */
    uint8_t retrigMem;         /* last non-zero S3M retrigger operand */
    MODFILE_CELL* delayedCell; /* the cell a note delay will play */
    uint8_t arpCount;          /* arpeggio phase 0..2 */
    uint8_t fineVolDownMem;    /* last non-zero fine volume down operand */
    uint8_t fineVolUpMem;      /* last non-zero fine volume up operand */
    uint8_t globalVolSlideMem; /* last non-zero global volume slide operand */
    uint8_t tremorMem;         /* last non-zero tremor operand */
    uint8_t tremorPos;         /* ticks into the tremor's on and off phases */
    uint8_t tremorBaseVolume;  /* channel volume when the tremor started, 0..64 */
    uint8_t xfinePortaUpMem;   /* last non-zero extra fine portamento up operand */
    uint8_t xfinePortaDownMem; /* last non-zero extra fine portamento down operand */
    uint8_t offsetMem;         /* last non-zero sample offset operand */
};

/* The voice: the part of a channel the mixer reads (enabled .. sample). */
struct MODFILE_VOICE {
    int32_t enabled;        /* the slot is in use */
    int32_t active;         /* the voice sounds; cleared when a one-shot sample ends */
    int32_t forward;        /* 1 forward, 0 backward (ping-pong) */
    uint8_t panning;        /* 0..255, 128 centre */
    uint8_t envPanning;     /* panning envelope value 0..64, 32 when off */
    uint32_t position;      /* 22.10 frames */
    uint32_t step;          /* 22.10 frames per output frame */
    uint32_t positionFrac;  /* 22 finer bits below position's (0 when position is set) */
    uint32_t stepFrac;      /* 22 finer bits below step's */
    uint8_t volume;         /* 0..64 */
    uint8_t envVolume;      /* volume envelope value 0..64, 64 when off */
    MODFILE_SAMPLE* sample; /* the sample being played */
};

/* One channel slot. */
struct MODFILE_CHANNEL {
    uint16_t fadeVolume;            /* 0x8000 full; lowered by fadeStep per tick */
    uint16_t fadeStep;              /* 0 while the key is held; fadeout after key off */
    MODFILE_INSTRUMENT* instrument; /* current instrument */
    MODFILE_SAMPLE* noteSample;     /* sample chosen for the last note */
    MODFILE_VOICE voice;            /* what the mixer reads */
    MODFILE_ENVSTATE panEnv;        /* running panning envelope */
    MODFILE_ENVSTATE volEnv;        /* running volume envelope */
    uint8_t defaultPanning;         /* initial panning, 0..255 */
    int32_t basePeriod;             /* period of the current note */
    uint16_t periodFrac;            /* 16 fraction bits below basePeriod: what an S3M or
                                       Amiga-style XM note's period has beyond the whole unit */
    int32_t periodOffset;           /* vibrato offset added to basePeriod */
    int32_t autoVibOffset;          /* the instrument's auto-vibrato, added too */
    int32_t autoVibPos;             /* auto-vibrato wave position 0..255 */
    int32_t autoVibTicks;           /* ticks of auto-vibrato since the note started (sweep) */
    uint8_t lastInstrument;         /* last instrument (1-based) that started a note */
    uint8_t playedNote;             /* last note value triggered (not key off) */
    MODFILE_FXSTATE fx[2];          /* the two effect columns */
};

/* The song and the player. */
struct MODFILE {
    char name[28];              /* song name, NUL-terminated */
    int32_t numChannels;        /* file channels + 1 (the spare for global effects) */
    int32_t numSfxChannels;     /* SFX channels behind the music channels */
    int32_t songLength;         /* order entries in use, 1..256 */
    int32_t numInstruments;     /* entries of instruments */
    int32_t numSamples;         /* entries of samples */
    int32_t numPatterns;        /* entries of patterns and patternRows */
    int32_t restartPos;         /* order position the song continues at after its end */
    int32_t linearFreq;         /* 1 linear periods, else Amiga-style */
    int32_t equalTempered;      /* 1: Amiga-style notes in equal temperament
                                   (mod_notetable_equal), 0: the classic table */
    int32_t s3mFlags[6];        /* bits 1..6 of an S3M header's flags, 0/1 each */
    int32_t s3mUnsignedSamples; /* 1 when an S3M file has unsigned samples */
    uint8_t initGlobalVolume;   /* 0..64 at song start */
    uint8_t globalVolume;       /* 0..64 now */
    uint8_t musicVolume;        /* 0..64 master of the music channels (host) */
    uint8_t sfxVolume;          /* 0..64 master of the SFX channels (host) */
    uint8_t initSpeed;          /* ticks per row at song start */
    uint8_t initBpm;            /* tempo at song start, 32..255 */
    uint16_t trackerVersion;    /* an S3M header's tracker version */
    uint8_t orders[256];        /* pattern per song position; 254, 255 skipped */
    MODFILE_CHANNEL channels[MODFILE_MAX_CHANNELS];
    MODFILE_INSTRUMENT* instruments; /* numInstruments; owned */
    MODFILE_SAMPLE* samples;         /* numSamples; owned */
    MODFILE_CELL** patterns;         /* numPatterns arrays of rows * numChannels; owned */
    int32_t* patternRows;            /* rows per pattern; owned */
    int32_t mixRate;            /* output Hz */
    int32_t mixBits;            /* output sample width, 8 or 16 */
    void* outBuffer;            /* where MODFILE_Player writes (host) */
    int32_t outBytes;           /* bytes of outBuffer (host) */
    int32_t mixChannels;        /* 1 mono, 2 interleaved stereo */
    int32_t mixSigned;          /* non-zero signed output, 0 unsigned */
    int32_t patternDelay;       /* extra ticks of the current row */
    int32_t row;                /* next row to process in the current pattern */
    int32_t songPos;            /* current index into orders */
    int32_t tick;               /* tick within the row */
    int32_t speed;              /* ticks per row */
    int32_t bpm;                /* tempo 32..255 */
    int32_t samplesPerTick;     /* output frames a tick: mixRate * 5 / (bpm * 2) */
    int32_t tickPos;            /* frames already produced of the current tick */
    int32_t loopRow;            /* row remembered by the pattern loop */
    int32_t loopCount;          /* remaining pattern loop repetitions */
    int32_t* mixBuffer;         /* 32-bit accumulation, allocated by MODFILE_Start */
    int32_t formatId;           /* MODFILE_FORMAT_MOD, _S3M or _XM */
    int32_t playing;            /* 1 between MODFILE_Start and MODFILE_Stop */
    int32_t loaded;             /* 1 after a successful load, 0 after MODFILE_Free */
    uint32_t triggeredChannels; /* bit c: channel c started a note in the last Player call */
    void (*playerCallback)(MODFILE* mod); /* optional; called after every Player call */
};

/* One row of the format table. */
struct MODFILE_FORMAT {
    int (*set)(const char* data, int len, MODFILE* mod); /* loader; negative = failure */
    int (*is)(const char* data, int len);                /* non-zero: image in this format */
    int (*getFormatId)(void);
    const char* (*getDescription)(void);
    const char* (*getAuthor)(void);
    const char* (*getVersion)(void);
    const char* (*getCopyright)(void);
};

/* The formats, tried in order S3M, XM, MOD; a row of nulls ends the table. */
extern const MODFILE_FORMAT mod_formats[4];

/* Display texts of note values 0..127: "C-0" .. "B-7", "???" for semitones
 * 12..15. */
extern const char* const mod_notes[128];

/* Texts the loaders and the tools share. */
extern const char MODFILE_AUTHOR_TEXT[];    /* author text of every loader */
extern const char MODFILE_COPYRIGHT_TEXT[]; /* copyright text of every loader */

/* A one-line reason, without a line end, for a negative result of
 * MODFILE_Set or MODFILE_Load: -2 "out of memory", any other negative value
 * "damaged or unsupported module"; "" for a result of 0 or more. A host that
 * wants to tell an image that is not a module at all asks MODFILE_Is first
 * and prints MODFILE_NOT_A_MODULE_TEXT. */
const char* MODFILE_ResultText(int result);
extern const char MODFILE_NOT_A_MODULE_TEXT[];

/* ---- Loading and release ------------------------------------------------- */

/* Zero-fills the whole record (nothing if mod is null). */
void MODFILE_Init(MODFILE* mod);

/* 1 if a registered format accepts the image, else 0. */
int MODFILE_Is(const char* data, int len);

/* Detects the format and loads the image (which stays the caller's). 0 and
 * loaded = 1 on success; -1 for null arguments, len < 1, a record that is
 * still loaded, or an unknown format; otherwise the loader's negative result
 * (-1 refused, -2 out of memory). A failed load leaves loaded at 0. */
int MODFILE_Set(const char* data, int len, MODFILE* mod);

/* Reads the whole file and does what MODFILE_Set does. 0 on success; -1 when
 * the file cannot be read or as MODFILE_Set. */
int MODFILE_Load(const char* path, MODFILE* mod);

/* Releases all song memory and clears loaded; nothing unless loaded. */
void MODFILE_Free(MODFILE* mod);

/* Releases every song allocation whatever loaded says, nulling the pointers
 * (what a loader calls when it gives up half way). */
void MODFILE_ReleaseSong(MODFILE* mod);

/* ---- Playback ------------------------------------------------------------ */

/* Resets playback to the song start and allocates the mix buffer (a buffer
 * left by an earlier Start is released first). Nothing if mod is null. */
void MODFILE_Start(MODFILE* mod);

/* Sets the output format: rate in Hz, channels 1 or 2, bits 8 or 16 (other
 * channel counts and widths keep the previous value), signed flag. While
 * playing the mix buffer is remade for the new rate and the tick length
 * recomputed. */
void MODFILE_SetFormat(MODFILE* mod, int rate, int channels, int bits, int signedFlag);

/* Renders outBytes bytes of audio into outBuffer, running the song. A record
 * without a song renders silence; with no mix buffer or no tick length
 * (samplesPerTick 0) it returns at once. Calls playerCallback at the end. */
void MODFILE_Player(MODFILE* mod);

/* Releases the mix buffer and clears playing. */
void MODFILE_Stop(MODFILE* mod);

/* ---- Sound-effect channels ---------------------------------------------- */

/* Reserves count SFX channels behind the music channels (slots numChannels ..
 * numChannels + count - 1, each printed with "%d\n"). 0; -1 when mod is null,
 * count < 0, count > 32 or numChannels + count > 33. */
int MODFILE_AllocSFXChannels(MODFILE* mod, int count);

/* A new instrument with one sample over the caller's data (not copied), or
 * null when data is null, bytes <= 0, bits is not 8 or 16, or memory runs
 * out. The caller frees the instrument and its sample (noteSample[0]). */
MODFILE_INSTRUMENT* MODFILE_MakeInstrument(void* data, int bytes, int bits);

/* Starts the instrument on SFX channel k with the note value; nothing for
 * null arguments, k outside 0..numSfxChannels-1 or a semitone above 11. */
void MODFILE_TriggerSFX(MODFILE* mod, MODFILE_INSTRUMENT* instrument, int k, int note);

/* ---- Pattern access ------------------------------------------------------ */

/* Empties every cell of pattern p (instrument 0, volume 255, note 255,
 * effects and operands 0); nothing for a pattern that does not exist. */
void MODFILE_ClearPattern(MODFILE* mod, int p);

/* The note byte of cell (row, channel) of the pattern at the current song
 * position; 255 when there is no such cell. */
int MODFILE_GetNote(MODFILE* mod, int row, int channel);

/* Its instrument (low byte), 255 reported as 0; 0 when there is no cell. */
int MODFILE_GetInstr(MODFILE* mod, int row, int channel);

/* Its effect number of the column (0 or 1), 255 reported as 0; 0 when there
 * is no such cell. */
int MODFILE_GetEffect(MODFILE* mod, int row, int channel, int column);

/* Its operand of the column, 255 reported as 0; 0 when there is no cell. */
int MODFILE_GetEffectOp(MODFILE* mod, int row, int channel, int column);

/* "---" when bit 7 of the note value is set, else mod_notes[note]. */
const char* MODFILE_GetNoteString(int note);

#endif
