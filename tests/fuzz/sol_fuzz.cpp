// Fuzz target: the input is a solution file, text or binary form, taken
// apart by the solution reader's parse against a small problem (three
// variables, two constraints, one objective sent).  Malformed files are
// ordinary outcomes.  Its extra seeds, tests/fuzz/seeds/sol/, are solution
// files of the default solver and of the reader's cases.
#include <cstddef>
#include <cstdint>

#include "solver/solparse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const vexo::sol_counts counts{3, 2, 1, {3, 2, 1, 1}};
  vexo::sol_data d;
  vexo::parse_soln("input.sol", data, size, counts, &d);
  return 0;
}
