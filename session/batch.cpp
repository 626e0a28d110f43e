// The batch path and the times report.
#include "session/batch.h"

#include "eval/random.h"
#include "frontend/decl.h"
#include "frontend/keywords.h"
#include "frontend/parse.h"
#include "frontend/reader.h"
#include "instance/collect.h"
#include "instance/stamps.h"
#include "instance/sufdecl.h"
#include "presolve/presolve.h"
#include "report/print.h"
#include "session/cmdfiles.h"
#include "session/cmdrec.h"
#include "session/include.h"
#include "session/loop.h"
#include "session/options.h"
#include "session/opttable.h"
#include "session/startup.h"
#include "solver/output.h"
#include "solver/solve.h"
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

AC* output_time(AC* ac, int mode) {
  if (!ac) return nullptr;
  if (trans_state < 3) {
    if (trans_state == 0 || trans_state == 1) {
      if (!(ac = collect(ac))) return nullptr;
      if (mode == 2) return ac;
    } else if (trans_state == 2 && mode == 2) {
      return ac;
    }
    presolve(ac, presolve_opt);
    set_trans_state(3);
  }
  if (const char* msg = no_vars(ac)) {
    set_trans_state(5);
    if (mode > 2 && !pr_cmd && solver_msg > 0) {
      Printf("%s\n", msg);
      std::fflush(stdout);
    }
    return ac;
  }
  if (mode >= 4 && output(ac)) set_trans_state(4);
  return ac;
}

void reset() {
  if (cmdstate) {
    // A compound command being built would be freed under the parser: the
    // reset is refused and the compound abandoned, as other misplaced
    // statements are.
    error(0, "reset is not allowed inside a compound command.");
    cmd_reset2();
    return;
  }
  throw reset_request{};
}

// Nothing to undo: only the system's declarations, the model prompts.
static bool gratuitous_reset() {
  return dac.next == N_System_Pars && prompts == prompt0;
}

void reset_session() {
  restart_random();
  if (nfs > 0) {
    // Inside an included file: it and the files that included it end.
    end_include(0);
  } else if (gratuitous_reset()) {
    reset_time = e_time();
    file_reinit(0);
    return;
  }
  suf_clear();
  env_reset(0);
  reset_modules();
  env_reset(1);
}

void time_heading() {
  if (!allow_times) return;
  Fprintf(Stderr,
          "#\t\tuser\t\tsystem\t\tincremental\ttotal\n"
          "#phase\t\tseconds\t\tseconds\t\tmemory\t\tmemory\n");
}

}  // namespace vexo
