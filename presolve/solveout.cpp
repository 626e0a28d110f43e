// Solving out linearly defined variables.
#include "presolve/solveout.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <utility>
#include <vector>

#include "frontend/decl.h"
#include "frontend/parse.h"
#include "instance/ac.h"
#include "instance/names.h"
#include "instance/varref.h"
#include "presolve/fixing.h"
#include "presolve/internal.h"
#include "presolve/presolve.h"
#include "presolve/psmsg.h"
#include "session/opttable.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"

namespace vexo {

namespace {

// A row's terms by column: a substitution costs the length of the
// definition, not of the (possibly long) row it goes into.
using row_terms = std::unordered_map<int32_t, double>;

// The pass's working copy: rows of terms, and per column the rows that
// may hold it (an entry stays after its term went; the row is checked).
struct elim {
  Presolve* P;
  std::vector<row_terms> rows;
  std::vector<std::vector<int32_t>> cols;
  std::vector<char> pending;  // per row: a definition not yet used
};

bool gone(const Presolve* P, int32_t r) {
  return r < P->ncons && P->rstat && (P->rstat[r] & RS_GONE);
}

double coef_in(const row_terms& t, int32_t j) {
  auto it = t.find(j);
  return it != t.end() ? it->second : 0;
}

// Whether column j occurs in row r's nonlinear part.
bool in_nonlin(const AC* ac, int32_t r, int32_t j) {
  bool found = false;
  auto see = [&](int32_t k, expr*) { found = found || k == j; };
  for (expr* e = ac->con_nonlin[r]; e && !found; e = e->next) each_var(e, 0, see);
  return found;
}

void treat_as_constraint(const AC* ac, int32_t j) {
  const char* n = xwho(&ac->var_names[j]);
  error(0, "Treating \"var %s = ...\" as a constraint,\n\tsince %s appears in "
        "the right-hand side.\n", n, n);
}

// Row r may define column j by linear substitution.
bool candidate(Presolve* P, int32_t r, int32_t j,
               const std::vector<char>& paired) {
  AC* ac = P->ac;
  if (j < 0 || j >= P->nvars || gone(P, r)) return false;
  if (P->vstat[j] & (VS_INT | VS_BIN | VS_FIXED | DV_DEFINED)) return false;
  if ((P->dflag && (P->dflag[r] & 3)) || (P->cpair && P->cpair[r]))
    return false;
  if (ac->con_nonlin[r] && in_nonlin(ac, r, j)) {
    treat_as_constraint(ac, j);
    return false;
  }
  if (ac->con_nonlin[r] || (ac->row_plterms && ac->row_plterms[r]))
    return false;
  if (ac->col_nl_rows && ac->col_nl_rows[j]) return false;
  if (P->vpl && P->vpl[j]) return false;
  if (paired[size_t(j)]) return false;
  return P->rlb[r] == P->rub[r] && P->rlb2[r] == P->rub2[r];
}

// rows[s] -= f * rows[r], column j dropped; returns the fills.
int lmerge(elim& W, int32_t s, int32_t r, int32_t j, double f) {
  const row_terms& A = W.rows[size_t(r)];
  row_terms& B = W.rows[size_t(s)];
  B.erase(j);
  int fills = 0;
  for (const auto& [k, a] : A) {
    if (k == j || (W.P->vstat[k] & VS_FIXED)) continue;
    auto [it, added] = B.try_emplace(k, 0.0);
    double v = std::fma(-f, a, it->second);
    if (added) {
      ++fills;
      W.cols[size_t(k)].push_back(s);
    }
    if (v == 0)
      B.erase(it);
    else
      it->second = v;
  }
  return fills;
}

// Column j leaves by row r's definition.
void eliminate(elim& W, int32_t r, int32_t j) {
  Presolve* P = W.P;
  AC* ac = P->ac;
  row_terms& R = W.rows[size_t(r)];
  double a = coef_in(R, j), c = P->rlb[r];
  for (int32_t s : W.cols[size_t(j)]) {
    if (s == r || gone(P, s)) continue;
    double g = coef_in(W.rows[size_t(s)], j);
    if (g == 0) continue;
    double f = g / a;
    // The definition's constant moves into the row (rhs_adjust).
    double d = f * c;
    if (s >= P->ncons) {
      ac->obj_const[s - P->ncons] += d;
    } else if (d != 0) {
      double* b[4] = {P->rlb, P->rub, P->rlb2, P->rub2};
      for (int k = 0; k < 4; ++k) {
        if (k >= 2 && b[k] == b[k - 2]) continue;
        if (b[k][s] > negInfinity && b[k][s] < Infinity) b[k][s] -= d;
      }
    }
    // Fills count where elimination makes work: in the definitions still
    // to be used, not in the rows that merely use j.
    int fills = lmerge(W, s, r, j, f);
    if (W.pending[size_t(s)]) P->nfills += fills;
  }
  if (in_cmds > 1) {
    // j = c/a - sum of (b/a) x over the row's other terms.
    if (!ac->var_lindef)
      ac->var_lindef = static_cast<varref**>(new_mblk(ac->var_class, 1));
    std::vector<std::pair<int32_t, double>> t(R.begin(), R.end());
    std::sort(t.begin(), t.end());
    varref* def = nullptr;
    for (auto it = t.rbegin(); it != t.rend(); ++it)
      if (it->first != j && !(P->vstat[it->first] & VS_FIXED))
        def = new_varref(def, it->first, -it->second / a);
    ac->var_lindef[j] = def;
    if (!ac->dv_const) {
      ac->dv_class = ac->con_class;
      ac->dv_const = static_cast<double*>(new_mblk(ac->dv_class, 1));
      ac->n_dv_bodies = P->ncons;
    }
    ac->dv_const[r] = c / a;
  }
  // The defining row keeps its terms: it is gone, and what reads removed
  // rows (the dual recovery, expand) finds it as it was.
  P->vstat[j] |= DV_LINEAR;
  P->vorder[--P->nfv] = j;
  ++P->ldef;
  rowelim(P, r, 2);
}

// The column lists made again from the rows.
void columns_back(elim& W) {
  AC* ac = W.P->ac;
  for (int32_t j = 0; j < W.P->nvars; ++j) {
    free_varref(ac->col_terms[j]);
    ac->col_terms[j] = nullptr;
  }
  for (int32_t r = int32_t(W.rows.size()) - 1; r >= 0; --r)
    for (const auto& [j, a] : W.rows[size_t(r)])
      ac->col_terms[j] = new_varref(ac->col_terms[j], r, a);
}

}  // namespace

void solve_out(Presolve* P) {
  AC* ac = P->ac;
  P->ldef = P->nfills = P->nnldef = 0;
  use_lnl = linelim != 0;
  if (!ac->con_defvar || !use_lnl || !P->rstat || !ac->col_terms) return;
  std::vector<int32_t> defs(size_t(P->nvars), -1);  // column: its row
  std::vector<char> paired(size_t(P->nvars), 0);    // complemented columns
  for (int32_t s = 0; ac->compl_var && s < P->ncons; ++s)
    if (ac->compl_var[s] > 0 && ac->compl_var[s] <= P->nvars)
      paired[size_t(ac->compl_var[s] - 1)] = 1;
  std::vector<int32_t> cand;
  int32_t ncand = std::min(P->ncons, ac->n_con_aux ? ac->n_con_aux : P->ncons);
  for (int32_t r = 0; r < ncand; ++r) {
    int32_t j = ac->con_defvar[r] - 1;
    if (j < 0 || !candidate(P, r, j, paired) || defs[size_t(j)] >= 0) continue;
    defs[size_t(j)] = r;
    cand.push_back(r);
  }
  if (cand.empty()) return;
  elim W{P, std::vector<row_terms>(size_t(P->nrows)),
         std::vector<std::vector<int32_t>>(size_t(P->nvars)),
         std::vector<char>(size_t(P->nrows), 0)};
  for (int32_t r : cand) W.pending[size_t(r)] = 1;
  // Two terms of one column in a row become one.
  for (int32_t j = 0; j < P->nvars; ++j)
    for (const varref* t = ac->col_terms[j]; t; t = t->next) {
      if (t->index < 0 || t->index >= P->nrows) continue;
      W.rows[size_t(t->index)][j] += t->coef;
      W.cols[size_t(j)].push_back(t->index);
    }
  // Dependency order: a definition goes once no other pending definition's
  // variable occurs in its row.
  std::vector<int32_t> waiting(size_t(P->nrows), 0);
  std::vector<int32_t> ready;
  for (int32_t r : cand) {
    int32_t j = ac->con_defvar[r] - 1;
    if (coef_in(W.rows[size_t(r)], j) == 0) {
      treat_as_constraint(ac, j);
      defs[size_t(j)] = -1;
      continue;
    }
    for (const auto& [k, a] : W.rows[size_t(r)])
      if (k != j && defs[size_t(k)] >= 0) ++waiting[size_t(r)];
  }
  for (int32_t r : cand)
    if (defs[size_t(ac->con_defvar[r] - 1)] == r && !waiting[size_t(r)])
      ready.push_back(r);
  std::vector<bool> done(size_t(P->nrows), false);
  for (size_t q = 0; q < ready.size(); ++q) {
    int32_t r = ready[q];
    int32_t j = ac->con_defvar[r] - 1;
    done[size_t(r)] = true;
    W.pending[size_t(r)] = 0;
    std::vector<int32_t>& holders = W.cols[size_t(j)];
    std::sort(holders.begin(), holders.end());
    holders.erase(std::unique(holders.begin(), holders.end()), holders.end());
    for (int32_t s : holders) {
      if (s == r || s >= P->ncons || done[size_t(s)] || !waiting[size_t(s)])
        continue;
      int32_t k = ac->con_defvar ? ac->con_defvar[s] - 1 : -1;
      if (k < 0 || defs[size_t(k)] != s || coef_in(W.rows[size_t(s)], j) == 0)
        continue;
      if (--waiting[size_t(s)] == 0) ready.push_back(s);
    }
    eliminate(W, r, j);
  }
  // A cycle of definitions: its rows stay constraints.
  for (int32_t r : cand) {
    int32_t j = ac->con_defvar[r] - 1;
    if (!done[size_t(r)] && defs[size_t(j)] == r) treat_as_constraint(ac, j);
  }
  if (P->ldef) columns_back(W);
  ac->n_subst_var = P->ldef;
  if (show_stats > 1 && P->ldef)
    ps_warning("%d linear definitional constraints eliminated (%d fills)\n",
               P->ldef, P->nfills);
}

}  // namespace vexo
