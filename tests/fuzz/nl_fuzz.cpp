// Fuzz target: the input is a problem file for the default solver, read by
// its nl reader (both forms; refusals and errors are ordinary outcomes).
// Its extra seeds, tests/fuzz/seeds/nl/, are the solver tests' problem
// files in the text and binary forms.
#include <cstddef>
#include <cstdint>

#include "solvers/nlread.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    vexo::read_nl_bytes("input.nl", data, size);
  } catch (vexo::nl_error&) {
  }
  return 0;
}
