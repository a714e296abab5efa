// The fuzzing engine's entry for one target, whose check is named when building
// (-DVELDRAN_FUZZ_ENTRY=fuzz::loader_input and so on); a failed check stops the engine there.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"

#ifndef VELDRAN_FUZZ_ENTRY
#error "VELDRAN_FUZZ_ENTRY names the target's entry"
#endif

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!VELDRAN_FUZZ_ENTRY(data, size)) __builtin_trap();
  return 0;
}
