// Child processes, the -x time limit and pipes.
#include "session/child.h"

#include "session/options.h"

extern char** environ;

namespace vexo {

char** child_env() { return ev ? Get_env() : environ; }

void start_alarm(double) {}

}  // namespace vexo
