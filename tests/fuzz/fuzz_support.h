/*
 * Shared pieces of the loader fuzzers.
 *
 * Each fuzzer is one LLVMFuzzerTestOneInput over one loader. Built with
 * clang's libFuzzer (make fuzz) they explore; built with any compiler against
 * replay_main.cpp they run the files and folders named on the command line
 * once each, which is how the test suite replays the seeds and the inputs
 * of tests/regress under every build.
 *
 * A fuzzer must never print per input (the loaders' messages go to
 * /dev/null) and must leave nothing allocated between inputs. A broken
 * invariant ends the run with fz_fail, which aborts so that both libFuzzer
 * and the replay runner report it with the input.
 */
#ifndef ORVEL_TESTS_FUZZ_FUZZ_SUPPORT_H
#define ORVEL_TESTS_FUZZ_FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>

#include "modplay/modplay.h"
#include "video/kv_video.h"

namespace fz {

/* Once per process: the loaders' messages to /dev/null (the stdout and
 * stderr streams; the descriptors stay open for the sanitizers' reports),
 * the headless screen open (so the loaders that draw their messages have a
 * back buffer). */
void setUp(void);

/* A path naming an in-memory file that holds exactly these bytes (one file
 * per process, rewritten on every call), for the loaders that open a path. */
const char* memFile(const uint8_t* data, size_t size);

/* Checks a picture record after a load: empty (all fields 0) or a
 * picture of 1..4096*4096 pixels with the right widthLog2 whose every pixel
 * can be read. */
void checkPicture(const Pic16b& pic);

/* Loads an object file (loadBOF, or loadBAF when multi is set) from the
 * bytes, checks the record, then builds its normals and draws every frame
 * (up to eight) from two poses with both triangle routines and every
 * scanline routine; frees it. */
void drawObject(const uint8_t* data, size_t size, int multi);

/* Prints what broke on descriptor 2 and aborts. */
[[noreturn]] void fail(const char* what, const char* detail = nullptr);

/* Which loader a module fuzzer aims at: the image is steered into that
 * format's detector before MODFILE_Set sees it. */
enum ModuleKind { MODULE_XM, MODULE_MOD, MODULE_S3M };

/* Loads the image through MODFILE_Set (for MOD, a file the detector turns
 * down is also handed to MODFILE_SetMOD directly, since one unknown period
 * is enough to refuse it), checks the song's invariants, then starts it and
 * renders a few hundred ticks in two output formats, checking the playback
 * state after every block; frees everything. */
void playModule(const uint8_t* data, size_t size, ModuleKind kind);

/* The invariants of a playing song after a Player call; "" when kept. */
const char* playbackBroken(const MODFILE& mod);

} // namespace fz

#endif
