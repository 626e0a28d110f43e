// Fuzz target: the input is a model or command file named on the command line.
#include "fuzz/harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return vexo::fuzz::run_program(vexo::fuzz::input_mode::file, data, size);
}
