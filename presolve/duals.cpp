// Duals of the rows presolve removed, recovered after a solve from the
// objective's gradient and the kept rows' duals: the removed rows are
// walked from the last removed to the first, each taking the dual that
// makes the stationarity condition of a variable whose bound it set hold
// (that bound being active in the solution), and adding its own gradient
// before the next row is treated.
//
// Only linear gradients are formed: presolve removes linear rows alone,
// and when the objective in use or a kept row with a nonzero dual has a
// nonlinear part the removed rows keep the duals they have.
#include <cmath>
#include <utility>
#include <vector>

#include "instance/ac.h"
#include "presolve/internal.h"
#include "presolve/presolve.h"
#include "session/opttable.h"
#include "solver/solread.h"
#include "support/format.h"
#include "support/machine.h"

namespace vexo {

// What the last presolve left for the recovery: the removed constraint
// rows, last removed first, and per variable and side the row + 1 that
// set the bound (0: none).
static std::vector<int32_t> fd_removed;
static std::vector<int32_t> fd_sidechg;
static bool fd_ran;  // the recovery ran for this problem

void duals_record(const Presolve* P) {
  fd_removed.clear();
  fd_sidechg.clear();
  fd_ran = false;
  if (!P->rstat || !P->sidechg) return;
  for (int32_t k = P->nfc; k < P->nrows; ++k)
    if (P->rorder[k] < P->ncons) fd_removed.push_back(P->rorder[k]);
  fd_sidechg.assign(P->sidechg, P->sidechg + 2 * size_t(P->nvars));
}

void duals_reset() {
  fd_removed.clear();
  fd_removed.shrink_to_fit();
  fd_sidechg.clear();
  fd_sidechg.shrink_to_fit();
  fd_ran = false;
}

static bool nonlinear(const expr* e) {
  for (; e; e = e->next)
    if (opcode(e) != OPNUM) return true;
  return false;
}

// Whether x lies at bound b (lower: below side), within the tolerances;
// the distances tried are kept in the statistics words of abs_bt, rel_bt.
static bool at_bound(double x, double b, double other, bool lower) {
  if (lower ? x <= b : x >= b) return true;
  double d = std::fabs(x - b);
  if (std::isfinite(other) && std::fabs(other - x) <= d) return false;
  if (d <= abs_bt[0]) {
    if (d > abs_bt[1]) abs_bt[1] = d;
    return true;
  }
  if (!abs_bt[2] || d < abs_bt[2]) abs_bt[2] = d;
  if (b == 0) return false;
  double r = d / std::fabs(b);
  if (r <= rel_bt[0]) {
    if (r > rel_bt[1]) rel_bt[1] = r;
    return true;
  }
  if (!rel_bt[2] || r < rel_bt[2]) rel_bt[2] = r;
  return false;
}

void fixed_duals(AC* ac) {
  abs_bt[1] = abs_bt[2] = rel_bt[1] = rel_bt[2] = 0;
  // Without a solution there is nothing to recover from yet: the
  // recovery stays due.
  if (!ac || !ac->con_duals) return;
  if (!ac->col_terms || fd_removed.empty()) {
    need_fd = 0;
    return;
  }
  int32_t nv = ac->n_var, nc = ac->n_con;
  const double* y = ac->con_duals;
  const double* x = ac->var_init_val;
  auto kept = [&](int32_t r) {
    return !ac->con_pos || ac->con_pos[r] < ac->n_con_sent;
  };
  int32_t obj = ac->obj_no >= 0 && ac->obj_no < ac->n_obj ? ac->obj_no : -1;
  bool linear = obj < 0 || !ac->obj_nonlin || !nonlinear(ac->obj_nonlin[obj]);
  for (int32_t r = 0; r < nc && linear; ++r)
    if (kept(r) && y[r] != 0 && nonlinear(ac->con_nonlin[r])) linear = false;
  if (!linear || !x) {
    need_fd = 0;
    return;
  }
  // The gradient of the Lagrangian, and the terms of the removed rows.
  std::vector<double> X(size_t(nv), 0.0);
  std::vector<std::vector<std::pair<int32_t, double>>> terms(
      static_cast<size_t>(nc));
  std::vector<char> removed(size_t(nc), 0);
  for (int32_t r : fd_removed) removed[size_t(r)] = 1;
  for (int32_t j = 0; j < nv; ++j)
    for (const varref* t = ac->col_terms[j]; t; t = t->next) {
      int32_t r = t->index;
      if (r >= nc) {
        if (r - nc == obj) X[size_t(j)] += t->coef;
      } else if (removed[size_t(r)]) {
        terms[size_t(r)].push_back({j, t->coef});
      } else if (kept(r) && y[r] != 0) {
        X[size_t(j)] = std::fma(-y[r], t->coef, X[size_t(j)]);
      }
    }
  int sense = obj >= 0 && ac->obj_sense ? ac->obj_sense[obj] : 0;
  const double* lb = ac->var_lb_alt ? ac->var_lb_alt : ac->var_lb;
  const double* ub = ac->var_ub_alt ? ac->var_ub_alt : ac->var_ub;
  std::vector<double> dual(fd_removed.size(), 0.0);
  for (size_t k = 0; k < fd_removed.size(); ++k) {
    int32_t r = fd_removed[k];
    double pos = 0, neg = 0;
    bool have_pos = false, have_neg = false;
    for (auto [j, a] : terms[size_t(r)]) {
      for (int side = 0; side < 2; ++side) {
        if (size_t(2 * j + side) >= fd_sidechg.size() ||
            fd_sidechg[2 * size_t(j) + size_t(side)] != r + 1)
          continue;
        bool lower = side == 0;
        double b = lower ? lb[j] : ub[j], o = lower ? ub[j] : lb[j];
        if (!at_bound(x[j], b, o, lower)) continue;
        double c = X[size_t(j)] / a;
        int s = lower ? sense : 1 - sense;
        bool want_neg = (a > 0) == (s != 0);
        if (want_neg && c < 0 && (!have_neg || c < neg)) {
          neg = c;
          have_neg = true;
        } else if (!want_neg && c > 0 && (!have_pos || c > pos)) {
          pos = c;
          have_pos = true;
        }
      }
    }
    if (have_pos && have_neg) Fprintf(Stderr, "Bug? Case 3 in fixed_duals()\n");
    double d = have_pos ? pos : have_neg ? neg : 0;
    dual[k] = d;
    if (d != 0)
      for (auto [j, a] : terms[size_t(r)])
        X[size_t(j)] = std::fma(-d, a, X[size_t(j)]);
  }
  // All or nothing: the duals go in together.
  for (size_t k = 0; k < fd_removed.size(); ++k)
    ac->con_duals[fd_removed[k]] = dual[k];
  need_fd = 0;
  copy_ov(ac, 0);
  fd_ran = true;
  if (show_boundtol) boundstats(ac);
}

void boundstats(AC* ac) {
  if (need_fd) {
    fixed_duals(ac);
    if (show_boundtol) return;
  } else if (!fd_ran || fd_removed.empty()) {
    return;
  }
  const char* tail = "\nwill change deduced dual values.\n\n";
  bool sug = false, lim = false;
  if (abs_bt[2] > 0 && abs_bt[2] <= boundtol_max) {
    Printf("\n\"option abs_boundtol %.g;\"", abs_bt[2]);
    sug = true;
  }
  if (rel_bt[2] > 0 && rel_bt[2] <= boundtol_max) {
    Printf("%s\"option rel_boundtol %.g;\"", sug ? "\nor " : "\n", rel_bt[2]);
    sug = true;
  }
  if (sug) Printf("%s", tail);
  if (abs_bt[1] > 0) {
    Printf("%s\"option abs_boundtol nnn;\" with nnn < %.g", sug ? "" : "\n",
           abs_bt[1]);
    lim = true;
  }
  if (rel_bt[1] > 0) {
    Printf("%s\"option rel_boundtol nnn;\" with nnn < %.g",
           lim ? "\nand " : sug ? "" : "\n", rel_bt[1]);
    lim = true;
  }
  if (lim) Printf("%s", tail);
}

}  // namespace vexo
