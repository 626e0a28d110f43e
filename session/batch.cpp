// The batch path and the times report.
#include "session/batch.h"

#include "frontend/neighbours.h"
#include "session/startup.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"

namespace vexo {

void Process(int r) {
  if (r == 0) rc = force_exit_0 ? 0 : 2;
  parse_time = 0;
  if (in_cmds < 2) {
    if (rc && bailquit) myexit(rc);
  } else {
    rc = 0;
  }
  parse_time = 1;
}

void time_heading() {
  if (!allow_times) return;
  Fprintf(Stderr,
          "#\t\tuser\t\tsystem\t\tincremental\ttotal\n"
          "#phase\t\tseconds\t\tseconds\t\tmemory\t\tmemory\n");
}

}  // namespace vexo
