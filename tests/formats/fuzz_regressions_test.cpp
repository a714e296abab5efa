// Replays the fuzz targets' seed corpora and every input kept in their regression folders
// through the same entries the fuzzers call (so the sanitizer build covers them).
#include <gtest/gtest.h>

#include "fuzz/fuzz_support.h"
#include "support/fuzz_replay.h"

namespace formats_test {
namespace {

using support::replay_fuzz_inputs;

TEST(FuzzRegressions, LoaderInputs) {
  replay_fuzz_inputs("fuzz_loader", fuzz::loader_input);
}

TEST(FuzzRegressions, BmpRoundTripInputs) {
  replay_fuzz_inputs("fuzz_bmp_roundtrip", fuzz::bmp_roundtrip_input);
}

}  // namespace
}  // namespace formats_test
