/* The playback core and the player interface: periods and steps, timing,
 * triggering, the record's life cycle and the sound-effect channels. */
#include <gtest/gtest.h>

#include <cstring>

#include "modplay/mixer.h"
#include "modplay/modplay_core.h"
#include "tests/modplay/player.h"

using mpt::Player;
using mpt::put;

namespace {

TEST(Core, NoteC4PlaysAt8363HzInBothPeriodSystems)
{
    MODFILE mod;
    MODFILE_Init(&mod);
    mod.mixRate = 22050;
    mod.linearFreq = 0;
    MODFILE_SetNote(&mod, 0, 0x40, 8363, 0);
    EXPECT_EQ(mod.channels[0].basePeriod, 1712);
    EXPECT_EQ(mod.channels[0].voice.step, 388u);
    MODFILE_SetNote(&mod, 0, 0x40, 0, 0); /* rate 0 means 8363 */
    EXPECT_EQ(mod.channels[0].voice.step, 388u);
    mod.linearFreq = 1;
    MODFILE_SetNote(&mod, 0, 0x40, 8363, 0);
    EXPECT_EQ(mod.channels[0].basePeriod, 4608);
    EXPECT_EQ(mod.channels[0].voice.step, 388u);
    MODFILE_SetNote(&mod, 0, 0x40, 8363, -128); /* a semitone lower */
    EXPECT_EQ(mod.channels[0].basePeriod, 4608 + 64);
    MODFILE_SetNote(&mod, 0, 0x40, 8363, 127);
    EXPECT_EQ(mod.channels[0].basePeriod, 4608 - 63);
    MODFILE_SetNote(&mod, 0, 0xA0, 8363, 0); /* note index 120: period 0 */
    EXPECT_EQ(mod.channels[0].basePeriod, 0);
    /* a period below 1 plays period 1, the highest pitch, rather than
     * freezing the voice: 4 * 133687 Hz, in 22.10 at 22050 Hz */
    MODFILE_SetPeriod(&mod, 0, -100000);
    EXPECT_EQ(mod.channels[0].voice.step, 24833u);
    MODFILE_SetPeriod(&mod, 0, 4608 + 768); /* an octave lower: half the step */
    EXPECT_EQ(mod.channels[0].voice.step, 194u);
    MODFILE_SetPeriodOfs(&mod, 0, -768);
    EXPECT_EQ(mod.channels[0].voice.step, 388u);
    mod.linearFreq = 0;
    MODFILE_SetPeriod(&mod, 0, 0); /* as period 1: 14317056 Hz */
    EXPECT_EQ(mod.channels[0].voice.step, 664882u);
    /* semitone nibbles past B in the highest octave read the last table entry */
    EXPECT_EQ(MODFILE_NotePeriod(&mod, 0xFF, 1, 0), 3703);
}

TEST(Core, TempoVolumeHelpers)
{
    MODFILE mod;
    MODFILE_Init(&mod);
    mod.mixRate = 22050;
    EXPECT_EQ(MODFILE_BPM2SamplesPerTick(&mod, 125), 441);
    MODFILE_SetBPM(&mod, 31);
    EXPECT_EQ(mod.bpm, 0);
    MODFILE_SetBPM(&mod, 256);
    EXPECT_EQ(mod.bpm, 0);
    MODFILE_SetBPM(&mod, 32);
    EXPECT_EQ(mod.samplesPerTick, 1722);
    mod.channels[1].voice.volume = 60;
    MODFILE_AddVolume(&mod, 1, 10);
    EXPECT_EQ(mod.channels[1].voice.volume, 64);
    MODFILE_SubVolume(&mod, 1, 10);
    EXPECT_EQ(mod.channels[1].voice.volume, 54);
    MODFILE_SubVolume(&mod, 1, 54);
    EXPECT_EQ(mod.channels[1].voice.volume, 0);
}

TEST(Core, FirstRowStartsAfterOneRowOfTicks)
{
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "C-4");
    Player p(s);
    ASSERT_EQ(p.loadResult, 0);
    EXPECT_EQ(p.mod.samplesPerTick, 441);
    auto out = mpt::samples16(p.render(2646 + 10));
    for (int i = 0; i < 2646 * 2; i++)
        ASSERT_EQ(out[(size_t)i], 0) << i;
    EXPECT_NE(out[2646 * 2] | out[2646 * 2 + 1], 0);
    EXPECT_EQ(p.mod.triggeredChannels, 1u);
    EXPECT_EQ(p.mod.row, 1);
}

TEST(Core, PlayerEdgeCases)
{
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "C-4");
    Player p(s);
    p.render(0);
    EXPECT_EQ(p.mod.tickPos, 0);
    EXPECT_EQ(p.mod.tick, 0);
    int calls = 0;
    static int* counter;
    counter = &calls;
    p.mod.playerCallback = [](MODFILE*) { (*counter)++; };
    p.render(100);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(p.mod.tickPos, 100);
    p.mod.playerCallback = nullptr;

    /* no tick length: returns without touching the buffer */
    p.mod.samplesPerTick = 0;
    std::vector<uint8_t> buf(64, 0xAA);
    p.mod.outBuffer = buf.data();
    p.mod.outBytes = 64;
    MODFILE_Player(&p.mod);
    EXPECT_EQ(buf[0], 0xAA);
}

TEST(Core, RecordWithoutSongPlaysSilence)
{
    MODFILE mod;
    MODFILE_Init(&mod);
    EXPECT_EQ(MODFILE_Set("not a module", 12, &mod), -1);
    EXPECT_EQ(mod.loaded, 0);
    MODFILE_Start(&mod);
    MODFILE_SetFormat(&mod, 22050, 2, 8, 0);
    std::vector<uint8_t> buf(400, 1);
    mod.outBuffer = buf.data();
    mod.outBytes = 400;
    MODFILE_Player(&mod);
    for (uint8_t b : buf)
        ASSERT_EQ(b, 0x80);
    MODFILE_SetFormat(&mod, 22050, 2, 16, 0);
    MODFILE_Player(&mod);
    EXPECT_EQ(buf[0] | buf[1] << 8, 0x8000);
    MODFILE_Stop(&mod);
    MODFILE_Free(&mod);
}

TEST(Core, LoadingIntoALoadedRecordFailsAndFreeAllowsAnother)
{
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "C-4");
    Player p(s);
    MODFILE before = p.mod;
    EXPECT_EQ(MODFILE_Set((const char*)p.image.data(), (int)p.image.size(), &p.mod), -1);
    EXPECT_EQ(memcmp(&before, &p.mod, sizeof before), 0);
    p.toFirstRow();
    p.tick();
    /* release and load again into the same, still started record: nothing
     * left over points into the released song */
    MODFILE_Free(&p.mod);
    EXPECT_EQ(p.mod.loaded, 0);
    EXPECT_EQ(p.mod.patterns, nullptr);
    xmw::Song t = mpt::basicSong();
    put(t, 0, 0, "D-4", 0); /* no instrument: nothing to play */
    std::vector<uint8_t> img = xmw::write(t);
    ASSERT_EQ(MODFILE_Set((const char*)img.data(), (int)img.size(), &p.mod), 0);
    MODFILE_Start(&p.mod);
    p.toFirstRow();
    p.tick();
    EXPECT_EQ(p.ch().voice.active, 0);
    EXPECT_EQ(MODFILE_Load("/nonexistent/file.xm", &p.mod), -1);
    EXPECT_EQ(MODFILE_Load(nullptr, &p.mod), -1);
}

TEST(Core, OrderMarkersAreSkippedAlsoAtTheStart)
{
    xmw::Song s = mpt::basicSong();
    s.patterns.clear();
    s.addPattern(2);
    s.addPattern(2);
    s.orders = {254, 0, 255, 1};
    Player p(s);
    ASSERT_EQ(p.loadResult, 0);
    EXPECT_EQ(p.mod.songPos, 1);
    std::vector<int> pos;
    for (int i = 0; i < 6; i++) {
        pos.push_back(p.mod.songPos);
        p.toFirstRow();
    }
    EXPECT_EQ(pos, (std::vector<int>{1, 1, 3, 3, 1, 1}));
}

TEST(Core, ABreakInOneChannelStillTriggersANoteInAnother)
{
    xmw::Song s = mpt::basicSong(2);
    s.addPattern(4);
    s.orders = {0, 1};
    put(s, 0, 0, nullptr, 0, 0, 0xD, 0x00);
    put(s, 0, 1, "C-4");
    Player p(s);
    p.toFirstRow();
    EXPECT_EQ(p.ch(1).voice.active, 1);
    EXPECT_EQ(p.mod.songPos, 1);
    EXPECT_EQ(p.mod.row, 0);
}

TEST(Core, InstrumentsWithoutASampleForTheNoteTriggerNothing)
{
    xmw::Song s = mpt::basicSong(2);
    put(s, 0, 0, "C-4", 5, 0x20); /* instrument 5 does not exist: only the volume applies */
    put(s, 0, 1, "C-4", 0);       /* no instrument ever: silent */
    Player p(s);
    p.toFirstRow();
    EXPECT_EQ(p.ch(0).voice.active, 0);
    EXPECT_EQ(p.ch(0).voice.volume, 0x10);
    EXPECT_EQ(p.ch(1).voice.active, 0);
    EXPECT_EQ(p.mod.triggeredChannels, 0u);
}

TEST(Core, RelativeNotesBelowTheFirstOctaveStayInTheNoteTable)
{
    for (bool linear : {true, false}) {
        xmw::Song s = mpt::basicSong(1, linear);
        s.instruments[0].samples[0].relativeNote = -24;
        put(s, 0, 0, "C-0"); /* transposed below note 0: wraps within the 256 note values */
        put(s, 1, 0, "C-4", 1, 0, 0x0, 0xFF);
        Player p(s);
        p.toFirstRow();
        EXPECT_EQ(p.ch().voice.active, 1);
        p.track(12, [] { return 0; });
        EXPECT_EQ(p.ch().basePeriod, MODFILE_NotePeriod(&p.mod, 0x20, 8363, 0)); /* C-2 */
    }
}

TEST(Core, PatternGettersReadTheCurrentPosition)
{
    xmw::Song s = mpt::basicSong();
    put(s, 3, 0, "C#5", 1, 0, 0xA, 0x12);
    Player p(s);
    EXPECT_EQ(MODFILE_GetNote(&p.mod, 3, 0), 0x51);
    EXPECT_EQ(MODFILE_GetInstr(&p.mod, 3, 0), 1);
    EXPECT_EQ(MODFILE_GetEffect(&p.mod, 3, 0, 1), 36);
    EXPECT_EQ(MODFILE_GetEffectOp(&p.mod, 3, 0, 1), 0x12);
    EXPECT_EQ(MODFILE_GetNote(&p.mod, 3, 1), 255);
    EXPECT_EQ(MODFILE_GetNote(&p.mod, 64, 0), 255);
    EXPECT_EQ(MODFILE_GetEffect(&p.mod, 3, 0, 2), 0);
    MODFILE_ClearPattern(&p.mod, 0);
    EXPECT_EQ(MODFILE_GetNote(&p.mod, 3, 0), 255);
    MODFILE_ClearPattern(&p.mod, 7); /* no such pattern */
}

TEST(Core, SoundEffectChannels)
{
    xmw::Song s = mpt::basicSong(4);
    Player p(s);
    EXPECT_EQ(p.mod.numChannels, 5);
    EXPECT_EQ(MODFILE_AllocSFXChannels(&p.mod, 29), -1);
    EXPECT_EQ(MODFILE_AllocSFXChannels(&p.mod, -1), -1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(MODFILE_AllocSFXChannels(&p.mod, 28), 0);
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed.substr(0, 4), "5\n6\n");
    EXPECT_EQ(p.mod.channels[32].voice.enabled, 1);

    int8_t data[1000];
    for (int i = 0; i < 1000; i++)
        data[i] = (int8_t)(i % 50 < 25 ? 100 : -100);
    EXPECT_EQ(MODFILE_MakeInstrument(data, 0, 8), nullptr);
    EXPECT_EQ(MODFILE_MakeInstrument(data, 10, 12), nullptr);
    MODFILE_INSTRUMENT* ins = MODFILE_MakeInstrument(data, 1000, 8);
    ASSERT_NE(ins, nullptr);
    EXPECT_EQ(ins->noteSample[0x40]->loopEnd, 999);
    EXPECT_EQ(ins->fadeout, 4096);
    MODFILE_TriggerSFX(&p.mod, ins, 28, 0x40); /* no such channel */
    MODFILE_TriggerSFX(&p.mod, ins, 0, 0x4C);  /* no such semitone */
    EXPECT_EQ(p.mod.channels[5].voice.active, 0);
    MODFILE_TriggerSFX(&p.mod, ins, 0, 0x40);
    EXPECT_EQ(p.mod.channels[5].voice.active, 1);
    EXPECT_EQ(p.mod.channels[5].voice.step, 388u);
    p.tick();
    /* without envelopes a sound effect is heard at full envelope values */
    EXPECT_EQ(p.mod.channels[5].voice.envVolume, 64);
    EXPECT_EQ(p.mod.channels[5].voice.envPanning, 32);
    auto out = mpt::samples16(p.tick());
    EXPECT_NE(out[0], 0);
    p.mod.sfxVolume = 0;
    out = mpt::samples16(p.tick());
    EXPECT_EQ(out[0], 0);
    free(ins->noteSample[0]);
    free(ins);
}

TEST(Core, FreshRecordIsSilentUntilTheHostSetsVolumes)
{
    xmw::Song s = mpt::basicSong();
    put(s, 0, 0, "C-4");
    Player p(s);
    p.mod.musicVolume = 0;
    auto out = mpt::samples16(p.render(5000));
    for (int16_t v : out)
        ASSERT_EQ(v, 0);
}

} // namespace
