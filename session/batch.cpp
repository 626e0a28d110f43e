// The batch path and the times report.
#include "session/batch.h"

#include <cstdio>
#include <cstring>

#include "compiler/compdecl.h"
#include "eval/funclib.h"
#include "eval/random.h"
#include "frontend/decl.h"
#include "frontend/keywords.h"
#include "frontend/parse.h"
#include "frontend/reader.h"
#include "instance/ac.h"
#include "instance/collect.h"
#include "instance/genmod.h"
#include "instance/stamps.h"
#include "instance/sufdecl.h"
#include "instance/sufstore.h"
#include "presolve/presolve.h"
#include "report/dataprint.h"
#include "report/modelprint.h"
#include "report/prex.h"
#include "report/print.h"
#include "session/cmdfiles.h"
#include "session/cmdrec.h"
#include "session/include.h"
#include "session/infiles.h"
#include "session/loop.h"
#include "session/options.h"
#include "session/opttable.h"
#include "session/startup.h"
#include "solver/output.h"
#include "solver/solve.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"

namespace vexo {

namespace {

// The base of the next line of the times report: process times and the
// recorded memory at the last line.
double last_user, last_sys;

// The separator after a text of len characters: one tab past a tab stop.
const char* tab_after(size_t len, size_t stop) {
  return len > stop ? "\t" : "\t\t";
}

// The total line at the end of the batch path's writing.
void report_total() {
  if (!tell_times) return;
  double t[2];
  cputimes(0, t);
  char user[40];
  std::snprintf(user, sizeof user, "%gu", t[1]);
  Fprintf(Stderr, "#Total\t\t%s%s%gs\n", user, tab_after(std::strlen(user), 7),
          t[0]);
  errorend();
}

}  // namespace

void report_times(const char* phase) {
  if (!tell_times) return;
  double t[2];
  cputimes(0, t);
  char user[40], sys[40], inc[48];
  std::snprintf(user, sizeof user, "%gu", t[1] - last_user);
  std::snprintf(sys, sizeof sys, "%gs", t[0] - last_sys);
  std::snprintf(inc, sizeof inc, "%.f", malloced_since_mark());
  Fprintf(Stderr, "#%s%s%s%s%s%s%s%s%.f\n", phase,
          tab_after(std::strlen(phase), 6), user,
          tab_after(std::strlen(user), 7), sys, tab_after(std::strlen(sys), 7),
          inc, tab_after(std::strlen(inc), 7), mem_used());
  errorend();
  last_user = t[1];
  last_sys = t[0];
}

void batch_reset() {
  double t[2];
  cputimes(0, t);
  last_user = t[1];
  last_sys = t[0];
}

AC* Process(int r) {
  if (r == 0)
    rc = force_exit_0 ? 0 : 2;
  else if (r == 1)
    report_times("parse");
  parse_time = 0;
  if (trans_state == 0 && at_eof && Print_all) {
    // The listings the command line asked for instead of a problem file.
    df = stdOut;
    decl_rev();
    if (Print_all & 3) {
      print_all();
      report_times("print_all()");
      if (Print_all < 4) myexit(rc);
    }
    if (bailquit && rc > 3) myexit(rc);
    if (in_cmds == 2) rc = 0;
    if ((Print_all & 10) == 8) print_data(-1);
    compile();
    if (Print_all & 4) {
      int saved = sharp_comments(1);
      print_model(1);
      sharp_comments(saved);
      std::fflush(display_stream());
      report_times("print_model()");
      if (Print_all < 8) return nullptr;
    }
    if (!genmod(1, nullptr)) return nullptr;
    print_data(2);
    std::fflush(display_stream());
    report_times("gen.data print");
    return nullptr;
  }
  if (in_cmds < 2) {
    if (rc && bailquit) myexit(rc);
  } else {
    rc = 0;
  }
  AC* ac = nullptr;
  if (r < 4) {
    ac = collect(new_ac());
    if (r != 3) ac = output_time(ac, 4);
  }
  parse_time = 1;
  return ac;
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
    report_times("presolve");
    set_trans_state(3);
  }
  if (const char* msg = no_vars(ac)) {
    set_trans_state(5);
    if (mode > 2 && !pr_cmd && solver_msg > 0) {
      Printf("%s\n", msg);
      std::fflush(stdout);
    }
    if (!(at_eof && mode == 4)) return ac;
    report_total();
    return ac;
  }
  if (mode >= 4) {
    // The suffix values a batch write sends are checked first; the write
    // command checks them itself.
    if (mode == 4 && sufcheck(ac)) return nullptr;
    if (output(ac)) set_trans_state(4);
    report_times("output");
    report_total();
  }
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
  func_reinit();
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
