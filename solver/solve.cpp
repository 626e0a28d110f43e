// The `solve` command and the run of the solver, and the `check` command.
#include "solver/solve.h"

#include <cstring>

#include "compiler/recomp.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/paramdcl.h"
#include "instance/ac.h"
#include "instance/stamps.h"
#include "instance/xcg.h"
#include "session/batch.h"
#include "session/cmdfiles.h"
#include "session/located.h"
#include "session/options.h"
#include "session/startup.h"
#include "session/opttable.h"
#include "session/sysdecls.h"
#include "support/format.h"
#include "support/message.h"
#include "support/text.h"

namespace vexo {

int show_files;

void tempfile_zap() {}

// Every check statement queued to run again, _check_failures from 0.
static void queue_checks() {
  for (int32_t i = 0; i < xclass[XC_CHECKS].n; ++i) {
    xnode* k = xclass[XC_CHECKS].a[i];
    dep_note(k->num);
    k->xr.instamp = nextgenlev;
  }
  if (double* c = sysparam_cell(check_failures)) {
    *c = 0;
    ts_update(check_failures, 0);
  }
}

int check_cmd() {
  queue_checks();
  return xcg(0) != nullptr;
}

int write_cmd1(int flags, const char* text, int) {
  error_kind = "error_write";
  queue_checks();
  if (rc <= 3) rc = 0;
  int fail = 2;
  if (xcg(0) && !rc) {
    AC* ac = new_ac();
    if (trans_state < 3) ac = output_time(ac, 3);
    if (!ac || trans_state < 3 || ac->n_var_sent <= 0) {
      // No problem was collected and presolved: nothing to send.
      if (flags & 2)
        Printf("No .nl file written:  no variables used.\n");
      return 0;
    }
    var_changes = con_changes = 0;
    if (text) setoption("outopt", text);
    output_time(ac, 5);
    if (trans_state == 3) return 1;
    return 0;
  }
  if (text && !std::strcmp(text, "0") && fail <= 1) {
    rc = 0;
    return 0;
  }
  rc |= 2;
  return rc;
}

void write_cmd(expr** pe, xrecomp* xr) {
  if (Serving) {
    cantserve("write", nullptr);
    return;
  }
  if (!*pe) {
    write_cmd1(show_write_files > 0 ? 2 : 0, nullptr, 1);
    return;
  }
  cstr* name = rdfname(pe, xr);
  write_cmd1(show_write_files & 2, name->text(), 1);
  zap_cstr(&name);
}

}  // namespace vexo
