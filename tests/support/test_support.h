/*
 * Helpers shared by the test suites: scratch files, byte writers, running a
 * command.
 */
#ifndef ORVEL_TESTS_SUPPORT_TEST_SUPPORT_H
#define ORVEL_TESTS_SUPPORT_TEST_SUPPORT_H

#include <cstdint>
#include <string>
#include <vector>

namespace ts {

/* A fresh empty directory under the build tree's temp area, removed by the
 * caller with removeTree when done (tests keep it on failure for a look). */
std::string makeTempDir(const std::string& tag);
void removeTree(const std::string& dir);

/* Writes bytes to a file; returns false when it cannot. */
bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
bool writeText(const std::string& path, const std::string& text);
std::vector<uint8_t> readFile(const std::string& path);

/* Every regular file under dir, at any depth, as paths beginning with dir,
 * sorted; none when dir cannot be read. */
std::vector<std::string> filesUnder(const std::string& dir);

/* True when `name` is an executable on PATH. */
bool haveTool(const std::string& name);

/* Little-endian appenders for building file images by hand. */
void put8(std::vector<uint8_t>& b, unsigned v);
void put16le(std::vector<uint8_t>& b, unsigned v);
void put32le(std::vector<uint8_t>& b, uint32_t v);
void put16be(std::vector<uint8_t>& b, unsigned v);
void putBytes(std::vector<uint8_t>& b, const char* s, size_t n);

/* Overwrites the 16-bit little-endian value at byte `at` (at + 1 < size). */
void set16le(std::vector<uint8_t>& b, size_t at, unsigned v);

/* Runs cmd through the shell and returns what it wrote on stdout ("" when
 * it cannot run); *status (when given) gets its exit status, -1 when it did
 * not exit normally. */
std::string run(const std::string& cmd, int* status = nullptr);

/* True when s ends with tail. */
bool endsWith(const std::string& s, const std::string& tail);

} // namespace ts

#endif
