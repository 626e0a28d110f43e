// Fuzz target: the input is standard input of "vexo -vi1" (errors abandon the
// statement only).
#include "fuzz/harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return vexo::fuzz::run_program(vexo::fuzz::input_mode::interactive, data,
                                 size);
}
