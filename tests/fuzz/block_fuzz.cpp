// Fuzz target: the input is standard input of "vexo -b" (framed blocks).
#include "fuzz/harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return vexo::fuzz::run_program(vexo::fuzz::input_mode::block, data, size);
}
