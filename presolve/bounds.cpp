// Bound checks and infeasibility reports.
#include "presolve/bounds.h"

#include <algorithm>

#include "instance/ac.h"
#include "instance/names.h"
#include "presolve/presolve.h"
#include "presolve/psmsg.h"
#include "session/located.h"
#include "support/format.h"
#include "support/message.h"

namespace vexo {

// ";\n\tdifference = %g\n" when both bounds are nonzero, else "\n": the
// tail of the two-bound reports.
static const char* diff_tail(double a, double b) {
  return a != 0 && b != 0 ? ";\n\tdifference = %g\n" : "\n";
}

// The member's name; "?" for an entry without one.
static const char* who(const xname* n) {
  return n && (n->decl || n->tail) ? xwho(n) : "?";
}

void bound_gap_report(const char* head, const char* a, const char* b,
                       double lo, double hi, double d) {
  char fmt[160];
  Snprintf(fmt, sizeof fmt, "%s%s", head, diff_tail(lo, hi));
  ps_report(fmt, a, b, lo, hi, d);
}

void bound_check(double* lb, double* ub, int32_t n, const xname* names,
                 const char* kind) {
  for (int32_t i = 0; i < n; ++i) {
    if (!(lb[i] > ub[i])) continue;
    double d = lb[i] - ub[i];
    if (d > preeps) {
      ++bad_bounds;
      preeps2 = std::min(preeps2, d);
      infeasible = 1;
      bound_gap_report("inconsistent bounds for %s %s:\n\tlower bound = %g > "
                 "upper bound = %g",
                 kind, names ? who(&names[i]) : "?", lb[i], ub[i], d);
    } else {
      preeps1 = std::max(preeps1, d);
    }
    lb[i] = ub[i] = ub[i] + d * 0.5;
  }
}

// The partner of a paired row, and the pair dissolved.
static void unpair(Presolve* P, int32_t row) {
  if (!P->cpair || !P->cpair[row]) return;
  int32_t other = (P->cpair[row] & 8) ? row - 1 : row + 1;
  P->cpair[row] = P->cpair[other] = 0;
  if (P->rstat) {
    P->rstat[row] &= ~RS_COMPL;
    P->rstat[other] &= ~RS_COMPL;
  }
}

void badcon(Presolve* P, int32_t row, int stop, const char* why) {
  infeasible = 1;
  AC* ac = P->ac;
  if (warnings < warnmax) {
    bool con = row < P->ncons;
    const xname* n = con ? &ac->con_names[row]
                         : &ac->obj_names[row - P->ncons];
    ps_warning("presolve, %s %s:\n\t%s\n", con ? "constraint" : "objective",
               who(n), why);
    if (stop) {
      warninc(16);
      bailout();
    }
    ps_warninc(1);
    unpair(P, row);
    return;
  }
  ++complained;
  if (stop) bailout();
}

void false_lc(Presolve* P, int32_t row) {
  badcon(P, row, 0, "Logical constraint is always false.");
  if (P->rstat) P->rstat[row] |= RS_INFEASIBLE;
}

}  // namespace vexo
