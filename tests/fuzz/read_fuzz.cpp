// Fuzz target: the input is the file of read commands after a fixed model
// (numeric and symbolic params, scalar and indexed, one indexing that
// depends on a value read before), read in the data modes: the model's
// read commands take their values from the input file, then the input is
// read as data as well.
#include "fuzz/harness.h"

namespace {

const char model[] = R"(param n;
param a {1..n};
param s symbolic;
param t {1..2} symbolic;
param b {1..2, 1..2};
read n, {i in 1..n} (a[i]) < input;
read s, {j in 1..2} (t[j]), {i in 1..2, j in 1..2} (b[i, j]) < input;
read {i in 1..2}: t[i], b[i, 1] < input;
display n, a, s, t, b;
)";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using vexo::fuzz::input_mode;
  vexo::fuzz::run_program(input_mode::data, data, size, model);
  return vexo::fuzz::run_program(input_mode::data_typed, data, size, model);
}
