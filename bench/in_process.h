// The evaluator started inside the benchmark's own process, as the test
// fixtures start it: the error stream, the machine constants, the token
// tables and the one start-up list.
#pragma once

#include "frontend/rawtok.h"
#include "session/startup.h"
#include "support/machine.h"

namespace bench {

inline void start_modules() {
  vexo::Init_Stderr();
  vexo::Mach();
  vexo::init_tok_types();
  vexo::init_modules(1);
}

}  // namespace bench
