// The `solve` command and the run of the solver, and the `check` command.
#include "solver/solve.h"

#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/paramdcl.h"
#include "instance/stamps.h"
#include "instance/xcg.h"
#include "session/sysdecls.h"

namespace vexo {

void tempfile_zap() {}

int check_cmd() {
  for (int32_t i = 0; i < xclass[XC_CHECKS].n; ++i) {
    xnode* k = xclass[XC_CHECKS].a[i];
    dep_note(k->num);
    k->xr.instamp = nextgenlev;
  }
  if (double* c = sysparam_cell(check_failures)) {
    *c = 0;
    ts_update(check_failures, 0);
  }
  return xcg(0) != nullptr;
}

}  // namespace vexo
