// The fuzz targets' common part: runs the whole program in this process
// over one input, as a session started afresh would read it.
//
// A target is one file that names its mode:
//
//   #include "fuzz/harness.h"
//   extern "C" int LLVMFuzzerTestOneInput(const uint8_t* d, size_t n) {
//     return vexo::fuzz::run_program(vexo::fuzz::input_mode::block, d, n);
//   }
//
// named tests/fuzz/<target>_fuzz.cpp, which the build and make fuzz find by
// its name.  The same file is linked with the fuzzing engine (make fuzz,
// clang) and with the replay main (replay_main.cpp, the suite's ordinary
// build).  A reader that is not a session's input (a file format read by a
// routine of its own) gets a target that calls that routine instead, with
// extra seeds in tests/fuzz/seeds/<target>/.
//
// Each input gets the state of a new process: the recorded memory of the
// previous input is freed and start-up runs again with the one list of a
// new session (ppinit, init_modules).  The session's end (session_exit)
// and an abort outside the loop (command_abort) stay inside: nothing the
// input does ends the process.
// The program runs in server mode (-R) in a scratch directory of its own,
// emptied after each input, and may not start programs: fork, exec, the
// shell and chdir are refused while an input runs ("<command" input names
// and "|command" output names among them).  Server mode confines the
// file names an input may open to words, so an `include` or a `data`
// command inside the input reaches only the scratch directory's files:
// the input itself ("input") and, in the data modes, the model ("model").
#ifndef VEXO_TESTS_FUZZ_HARNESS_H
#define VEXO_TESTS_FUZZ_HARNESS_H

#include <cstddef>
#include <cstdint>

namespace vexo::fuzz {

enum class input_mode {
  file,         // the input is a model or command file named on the
                // command line: the session ends at its first error
  interactive,  // the input is standard input of "vexo -vi1": errors
                // abandon the statement and the session goes on
  block,        // the input is standard input of "vexo -b": framed blocks
  data,         // the input is a data file: the command line names the
                // target's model, written to the scratch directory as
                // "model" with "data input;" after it
  data_typed    // the input is data typed after the model under "vexo
                // -vi1": standard input is the model, "data;" and the
                // input, so that an error abandons one statement and the
                // input goes on with more data, or with commands after
                // "model;"
};

// Runs the program over data in mode; returns 0 (libFuzzer's convention).
// model is the model text of the data modes (null in the others).
int run_program(input_mode mode, const uint8_t* data, size_t size,
                const char* model = nullptr);

}  // namespace vexo::fuzz

#endif  // VEXO_TESTS_FUZZ_HARNESS_H
