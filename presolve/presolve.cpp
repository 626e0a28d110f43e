// Presolve state read by the options (stand-in until presolve exists).
#include "presolve/presolve.h"

namespace vexo {

double abs_bt[3];
double rel_bt[3];
int bigM_used;
int need_fd;
int presolve_req;
int pl_lin_req;
int ifixeps = NO_TOL, ipreeps = NO_TOL, iinteps = NO_TOL;
double vb_tol;

void presolve_reset() {
  presolve_req = pl_lin_req = 0;
  ifixeps = ipreeps = iinteps = NO_TOL;
  vb_tol = 0;
}

void boundstats(AC*) {}

void fixed_duals(AC*) { need_fd = 0; }

}  // namespace vexo
