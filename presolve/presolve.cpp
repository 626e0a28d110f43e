// Presolve state read by the options (stand-in until presolve exists).
#include "presolve/presolve.h"

namespace vexo {

double abs_bt[3];
double rel_bt[3];
int bigM_used;
int need_fd;

void boundstats(AC*) {}

}  // namespace vexo
