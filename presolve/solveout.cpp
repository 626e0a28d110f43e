// Solving out defined variables.
#include "presolve/solveout.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <utility>
#include <vector>

#include "frontend/decl.h"
#include "frontend/condcl.h"
#include "frontend/parse.h"
#include "frontend/vardcl.h"
#include "instance/ac.h"
#include "instance/collect.h"
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

// Among presolve's messages: the row is kept and the problem sent.
void treat_as_constraint(const AC* ac, int32_t j) {
  const char* n = xwho(&ac->var_names[j]);
  ps_warning("Treating \"var %s = ...\" as a constraint,\n\tsince %s appears "
             "in the right-hand side.\n", n, n);
}

// Whether row r is the defining row of column j's `var x = ...`
// declaration; otherwise it is an equality x = ... that option substout
// lets define x.
bool declared_def(const AC* ac, int32_t r, int32_t j) {
  const xnode* d = ac->var_names[j].decl;
  if (!d || (d->kind & ~1u) != DK_VAR) return false;
  const auto* v = static_cast<const var*>(d);
  return (v->flags & VF_DEFINED) && v->defcon == ac->con_names[r].decl;
}

// Row r may define column j.  Under substout an equality defines its lone
// left variable only while that variable has no declared bound (a bound
// would be lost), and silently stays a constraint otherwise.
// Piecewise-linear terms aside: the linear terms alone do not define j
// when the row holds such terms, and j's own terms would be lost (pllin's
// composition takes those rows).  paired: per column, whether it
// complements a row, or null.
bool candidate_apart_from_pl(Presolve* P, int32_t r, int32_t j, bool decl,
                             const char* paired) {
  AC* ac = P->ac;
  if (j < 0 || j >= P->nvars || gone(P, r)) return false;
  if (P->vstat[j] & (VS_INT | VS_BIN | VS_FIXED | DV_DEFINED)) return false;
  if ((P->dflag && (P->dflag[r] & 3)) || (P->cpair && P->cpair[r]))
    return false;
  if (!decl && (!(solveout & 1) || P->vlb0[j] > negInfinity ||
                P->vub0[j] < Infinity))
    return false;
  if (ac->con_nonlin[r] && in_nonlin(ac, r, j)) {
    if (decl) treat_as_constraint(ac, j);
    return false;
  }
  if (paired && paired[j]) return false;
  return P->rlb[r] == P->rub[r] && P->rlb2[r] == P->rub2[r];
}

bool candidate(Presolve* P, int32_t r, int32_t j, bool decl,
               const std::vector<char>& paired,
               const std::vector<char>& plrows) {
  if (plrows[size_t(r)] || (P->vpl && j >= 0 && j < P->nvars && P->vpl[j]))
    return false;
  return candidate_apart_from_pl(P, r, j, decl, paired.data());
}

// The terms of row R but j's, over -a, sorted by column: j's value in
// terms of the others, less the row's constant.
varref* solved_for(const Presolve* P, const row_terms& R, int32_t j, double a) {
  std::vector<std::pair<int32_t, double>> t(R.begin(), R.end());
  std::sort(t.begin(), t.end());
  varref* def = nullptr;
  for (auto it = t.rbegin(); it != t.rend(); ++it)
    if (it->first != j && !(P->vstat[it->first] & VS_FIXED))
      def = new_varref(def, it->first, -it->second / a);
  return def;
}

// The per-body arrays, one body per constraint row (the defining row's
// number), made on first need and grown with the rows that linearisations
// add (their definitions are solved out after them).
void dv_arrays(Presolve* P) {
  AC* ac = P->ac;
  if (!ac->dv_const) {
    ac->dv_class = ac->con_class;
    ac->dv_const = static_cast<double*>(new_mblk(ac->dv_class, 1));
    ac->n_dv_bodies = P->ncons;
  }
  if (ac->n_dv_bodies < P->ncons) {
    int k = ac->dv_class, kn = std::max(k, ac->con_class);
    int32_t n = ac->n_dv_bodies;
    ac->dv_const = static_cast<double*>(
        upgrade(ac->dv_const, k, kn, sizeof(double) * size_t(n)));
    if (ac->dv_bodies) {
      ac->dv_bodies = static_cast<expr**>(
          upgrade(ac->dv_bodies, k, kn, sizeof(expr*) * size_t(n)));
      ac->dv_col = static_cast<int32_t*>(
          upgrade(ac->dv_col, elem_class(k, 4), elem_class(kn, 4),
                  sizeof(int32_t) * size_t(n)));
      for (int32_t b = n; b < P->ncons; ++b) ac->dv_col[b] = -1;
    }
    if (ac->dv_rhs) {
      ac->dv_rhs = static_cast<double*>(
          upgrade(ac->dv_rhs, k, kn, sizeof(double) * size_t(n)));
      for (int32_t b = n; b < P->ncons; ++b) ac->dv_rhs[b] = Infinity;
    }
    ac->dv_class = kn;
    ac->n_dv_bodies = P->ncons;
  }
  if (!ac->dv_bodies) {
    ac->dv_bodies = static_cast<expr**>(new_mblk(ac->dv_class, 1));
    ac->dv_col = static_cast<int32_t*>(new_mblk(elem_class(ac->dv_class, 4)));
    for (int32_t k = 0; k < ac->n_dv_bodies; ++k) ac->dv_col[k] = -1;
  }
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
  std::vector<std::pair<int32_t, double>> uses;  // for r's dual
  for (int32_t s : W.cols[size_t(j)]) {
    if (s == r || gone(P, s)) continue;
    double g = coef_in(W.rows[size_t(s)], j);
    if (g == 0) continue;
    uses.emplace_back(s, g);
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
    // j = c/a - sum of (b/a) x over the row's other terms; dv_col finds
    // the constant for a variable that no declaration defines.
    if (!ac->var_lindef)
      ac->var_lindef = static_cast<varref**>(new_mblk(ac->var_class, 1));
    ac->var_lindef[j] = solved_for(P, R, j, a);
    dv_arrays(P);
    ac->dv_const[r] = c / a;
    ac->dv_col[r] = j;
  }
  // The defining row keeps its terms: it is gone, and what reads removed
  // rows (the dual recovery, expand) finds it as it was.
  duals_defined(P, r, j, a, uses);
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

// ---- Nonlinear definitions ------------------------------------------------

expr** nonlin_of(AC* ac, int32_t r, int32_t ncons) {
  return r < ncons ? &ac->con_nonlin[r] : &ac->obj_nonlin[r - ncons];
}

expr* node(int opc, uint32_t flags, expr* l, expr* r) {
  expr* e = new_expr(opword(opc, flags), l, r);
  e->op = functab[size_t(opc)];
  return e;
}

// f times the tree x (which keeps its place in no chain).
expr* scaled(expr* x, double f) {
  uint32_t fl = (eflags(x) & (EF_VARS | EF_NONLIN)) | EF_NUMERIC;
  if (f == 1) return x;
  if (f == -1) {
    if (opcode(x) == OPUMINUS) {
      expr* y = x->L.e;
      free_node(x);
      return y;
    }
    return node(OPUMINUS, fl, x, nullptr);
  }
  expr* k = new_num(f);
  k->op = functab[size_t(OPNUM)];
  return node(OPMULT, fl, k, x);
}

// Column j is used in a complementarity row: it stays a column there.
bool in_paired_row(const elim& W, int32_t j) {
  const Presolve* P = W.P;
  if (!P->cpair) return false;
  for (int32_t s : W.cols[size_t(j)])
    if (s < P->ncons && P->cpair[s] && !gone(P, s) &&
        coef_in(W.rows[size_t(s)], j) != 0)
      return true;
  return false;
}

// Column j becomes a defined variable whose body is row r's definition
// (j = (c - other terms - nonlinear part) / a); its linear uses become
// references to it in the using rows' nonlinear parts, and its nonlinear
// uses name it already.
void eliminate_nl(elim& W, int32_t r, int32_t j) {
  Presolve* P = W.P;
  AC* ac = P->ac;
  row_terms& R = W.rows[size_t(r)];
  double a = coef_in(R, j);
  dv_arrays(P);
  varref* lin = solved_for(P, R, j, a);
  // The linear part first, unbound: def_comp binds the body on first use.
  expr* body = new_expr(opword(OPLINPART, EF_NUMERIC | EF_VARS), lin);
  expr** tail = &body->next;
  // Copies: the row keeps its parts for what reads removed rows (expand).
  for (expr* x = ac->con_nonlin[r]; x; x = x->next) {
    *tail = scaled(copye(x), -1 / a);
    tail = &(*tail)->next;
  }
  ac->dv_bodies[r] = body;
  ac->dv_col[r] = j;
  ac->dv_const[r] = P->rlb[r] / a;
  std::vector<int32_t>& holders = W.cols[size_t(j)];
  std::sort(holders.begin(), holders.end());
  holders.erase(std::unique(holders.begin(), holders.end()), holders.end());
  for (int32_t s : holders) {
    if (s == r || gone(P, s)) continue;
    row_terms& S = W.rows[size_t(s)];
    auto it = S.find(j);
    if (it == S.end()) continue;
    double g = it->second;
    S.erase(it);
    expr* v = new_expr(opword(OPVARVAL146, EF_NUMERIC | EF_VARS | EF_NONLIN));
    v->L.i = j;
    v->op = functab[size_t(OPVARVAL146)];
    expr** link = nonlin_of(ac, s, P->ncons);
    while (*link) link = &(*link)->next;
    *link = scaled(v, g);
  }
  P->vstat[j] |= DV_NONLIN;
  P->vorder[--P->nfv] = j;
  ++P->nnldef;
  rowelim(P, r, 2);
}

// The columns that occur in the nonlinear part of a kept row or of an
// objective.
std::vector<char> nonlinear_columns(const Presolve* P) {
  AC* ac = P->ac;
  std::vector<char> nl(size_t(P->nvars), 0);
  auto see = [&](int32_t k, expr*) {
    if (k >= 0 && k < P->nvars) nl[size_t(k)] = 1;
  };
  for (int32_t r = 0; r < P->nrows; ++r) {
    if (gone(P, r)) continue;
    for (expr* e = *nonlin_of(ac, r, P->ncons); e; e = e->next)
      each_var(e, 0, see);
  }
  return nl;
}

// The references to defined variables are marked nonlinear, so that the
// simplification after this pass keeps them in the nonlinear parts.
void mark_references(Presolve* P) {
  AC* ac = P->ac;
  auto mark = [&](int32_t k, expr* x) {
    if (k >= 0 && k < P->nvars && (P->vstat[k] & DV_NONLIN) &&
        shape(x) == SH_VARVAL)
      x->opword |= EF_NONLIN;
  };
  for (int32_t r = 0; r < P->nrows; ++r)
    if (!gone(P, r))
      for (expr* e = *nonlin_of(ac, r, P->ncons); e; e = e->next)
        each_var(e, 0, mark);
  for (int32_t b = 0; b < ac->n_dv_bodies; ++b)
    for (expr* e = ac->dv_bodies[b]; e; e = e->next) each_var(e, 0, mark);
}

// The messages on the nonlinear definitions: how many, and whom they
// serve (constraints, objectives, both or none; through other defined
// variables too).
void nonlinear_tally(Presolve* P) {
  AC* ac = P->ac;
  std::vector<uint8_t> use(size_t(P->nvars), 0);
  std::vector<std::pair<int32_t, uint8_t>> todo;
  auto reach = [&](int32_t k, uint8_t bit) {
    if (k < 0 || k >= P->nvars || !(P->vstat[k] & DV_NONLIN)) return;
    if (use[size_t(k)] & bit) return;
    use[size_t(k)] |= bit;
    todo.push_back({k, bit});
  };
  std::vector<int32_t> body(size_t(P->nvars), -1);
  for (int32_t b = 0; b < ac->n_dv_bodies; ++b)
    if (ac->dv_col[b] >= 0 && ac->dv_bodies[b]) body[size_t(ac->dv_col[b])] = b;
  for (int32_t r = 0; r < P->nrows; ++r) {
    if (gone(P, r)) continue;
    uint8_t bit = r < P->ncons ? 1 : 2;
    auto see = [&](int32_t k, expr*) { reach(k, bit); };
    for (expr* e = *nonlin_of(ac, r, P->ncons); e; e = e->next)
      each_var(e, 0, see);
    while (!todo.empty()) {
      int32_t k = todo.back().first;
      uint8_t b = todo.back().second;
      todo.pop_back();
      auto deeper = [&](int32_t i, expr*) { reach(i, b); };
      for (expr* e = ac->dv_bodies[body[size_t(k)]]; e; e = e->next)
        each_var(e, 0, deeper);
    }
  }
  int n[4] = {};
  for (int32_t j = 0; j < P->nvars; ++j)
    if (P->vstat[j] & DV_NONLIN) ++n[use[size_t(j)]];
  ps_warning("%d nonlinear definitional constraints eliminated\n", P->nnldef);
  const char* line[4] = {"\t%d unused\n", "\t%d for constraints only\n",
                         "\t%d for objectives only\n",
                         "\t%d for both constraints and objectives\n"};
  for (int c : {3, 1, 2, 0})
    if (n[c]) ps_warning(line[c], n[c]);
}

}  // namespace

std::vector<char> columns_used_nonlinearly(const Presolve* P) {
  return nonlinear_columns(P);
}

bool pl_defining_row(Presolve* P, int32_t r, int32_t j) {
  AC* ac = P->ac;
  if (!ac->con_defvar || !P->rstat || r < 0 || r >= P->ncons ||
      ac->con_defvar[r] != j + 1 || ac->con_nonlin[r])
    return false;
  return candidate_apart_from_pl(P, r, j, declared_def(ac, r, j), nullptr);
}

void define_by_body(Presolve* P, int32_t r, int32_t j, expr* body,
                    double c) {
  AC* ac = P->ac;
  dv_arrays(P);
  ac->dv_bodies[r] = body;
  ac->dv_col[r] = j;
  ac->dv_const[r] = c;
  P->vstat[j] |= DV_NONLIN;
  P->vorder[--P->nfv] = j;
  ++P->nnldef;
  ac->n_subst_var = P->ldef + P->nnldef;
  rowelim(P, r, 2);
}

void solve_out(Presolve* P, bool linearised) {
  AC* ac = P->ac;
  if (!linearised) {
    P->ldef = P->nfills = P->nnldef = 0;
    ac->n_subst_var = 0;  // an earlier presolve's count goes
    use_lnl = linelim != 0;
  }
  int32_t ldef0 = P->ldef, nnldef0 = P->nnldef;
  if (!ac->con_defvar || !P->rstat || !ac->col_terms) return;
  // A linearisation's row defines its variable only under substout or as
  // a declared definition: without such a row the problem-wide tables
  // below (megabytes after a large linearisation) are not made.
  if (linearised && !(solveout & 1)) {
    int32_t r = 0;
    for (; r < P->ncons; ++r) {
      int32_t j = ac->con_defvar[r] - 1;
      if ((P->rstat[r] & RS_DEFINES) && j >= 0 && j < P->nvars &&
          declared_def(ac, r, j))
        break;
    }
    if (r == P->ncons) return;
  }
  std::vector<int32_t> defs(size_t(P->nvars), -1);  // column: its row
  std::vector<char> paired(size_t(P->nvars), 0);    // complemented columns
  for (int32_t s = 0; ac->compl_var && s < P->ncons; ++s)
    if (ac->compl_var[s] > 0 && ac->compl_var[s] <= P->nvars)
      paired[size_t(ac->compl_var[s] - 1)] = 1;
  std::vector<char> plrows(size_t(P->nrows), 0);  // rows with pl terms
  for (int32_t j = 0; P->vpl && j < P->nvars; ++j)
    for (const plterm* t = P->vpl[j]; t; t = t->next)
      if (t->index >= 0 && t->index < P->nrows) plrows[size_t(t->index)] = 1;
  std::vector<int32_t> cand;
  std::vector<char> decl(size_t(P->ncons), 0);  // row of a var x = ...
  int32_t ncand = std::min(P->ncons, ac->n_con_aux ? ac->n_con_aux : P->ncons);
  for (int32_t r = 0; r < (linearised ? P->ncons : ncand); ++r) {
    if (linearised != ((P->rstat[r] & RS_DEFINES) != 0)) continue;
    int32_t j = ac->con_defvar[r] - 1;
    if (j < 0 || j >= P->nvars || defs[size_t(j)] >= 0) continue;
    decl[size_t(r)] = declared_def(ac, r, j);
    if (!candidate(P, r, j, decl[size_t(r)], paired, plrows)) continue;
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
    for (const varref* t = ac->col_terms[j]; t; t = vnext(t)) {
      if (t->index < 0 || t->index >= P->nrows) continue;
      W.rows[size_t(t->index)][j] += t->coef;
      W.cols[size_t(j)].push_back(t->index);
    }
  // A definition whose variable has no term of its own is a constraint.
  for (int32_t r : cand) {
    int32_t j = ac->con_defvar[r] - 1;
    if (coef_in(W.rows[size_t(r)], j) == 0) {
      if (decl[size_t(r)]) treat_as_constraint(ac, j);
      defs[size_t(j)] = -1;
    }
  }
  // Dependency order: a definition goes once no other pending definition's
  // variable occurs in its row, linearly or nonlinearly.
  std::vector<int32_t> waiting(size_t(P->nrows), 0);
  std::vector<std::vector<int32_t>> users(size_t(P->nvars));
  std::vector<int32_t> ready, dep;
  std::vector<int32_t> breakers;  // substout rows, which may break a cycle
  for (int32_t r : cand) {
    int32_t j = ac->con_defvar[r] - 1;
    if (defs[size_t(j)] != r) continue;
    if (!decl[size_t(r)]) breakers.push_back(r);
    dep.clear();
    auto note = [&](int32_t k, expr*) {
      if (k >= 0 && k < P->nvars && k != j && defs[size_t(k)] >= 0)
        dep.push_back(k);
    };
    for (const auto& [k, a] : W.rows[size_t(r)]) note(k, nullptr);
    for (expr* e = ac->con_nonlin[r]; e; e = e->next) each_var(e, 0, note);
    std::sort(dep.begin(), dep.end());
    dep.erase(std::unique(dep.begin(), dep.end()), dep.end());
    waiting[size_t(r)] = int32_t(dep.size());
    for (int32_t k : dep) users[size_t(k)].push_back(r);
    if (dep.empty()) ready.push_back(r);
  }
  std::vector<char> nlcol = nonlinear_columns(P);
  std::vector<bool> done(size_t(P->nrows), false);
  std::vector<int32_t> order;  // the definitions in dependency order
  // Row r is settled: the definitions waiting for its variable wait less.
  auto settle = [&](int32_t r) {
    done[size_t(r)] = true;
    for (int32_t s : users[size_t(ac->con_defvar[r] - 1)])
      if (--waiting[size_t(s)] == 0) ready.push_back(s);
  };
  for (size_t q = 0;;) {
    if (q == ready.size()) {
      // A cycle: the last substout row in it stays a constraint, which
      // frees the others; without one the cycle's rows all stay.
      while (!breakers.empty() && done[size_t(breakers.back())])
        breakers.pop_back();
      if (breakers.empty()) break;
      W.pending[size_t(breakers.back())] = 0;
      settle(breakers.back());
      continue;
    }
    int32_t r = ready[q++];
    if (done[size_t(r)]) continue;
    settle(r);
    order.push_back(r);
  }
  // Linear when the row, and every row that uses j, keep j linear.
  auto linear = [&](int32_t r) {
    return use_lnl && !ac->con_nonlin[r] && !nlcol[size_t(ac->con_defvar[r] - 1)];
  };
  // A nonlinear body is built from its row as it stands, so definitions
  // go after those they use.  When all are linear the order is free, and
  // the users go first: a chain x[i] = x[i-1] + y[i] then costs a term
  // per step, not a definition grown by every step below it.
  bool all_linear = std::all_of(order.begin(), order.end(), linear);
  if (all_linear) std::reverse(order.begin(), order.end());
  for (int32_t r : order) {
    int32_t j = ac->con_defvar[r] - 1;
    W.pending[size_t(r)] = 0;
    if (linear(r))
      eliminate(W, r, j);
    else if (!in_paired_row(W, j))
      eliminate_nl(W, r, j);
  }
  // A cycle of declared definitions: its rows stay constraints.
  for (int32_t r : cand) {
    int32_t j = ac->con_defvar[r] - 1;
    if (!done[size_t(r)] && defs[size_t(j)] == r && decl[size_t(r)])
      treat_as_constraint(ac, j);
  }
  if (P->ldef > ldef0 || P->nnldef > nnldef0) columns_back(W);
  if (P->nnldef > nnldef0) mark_references(P);
  ac->n_subst_var = P->ldef + P->nnldef;
  // The linearisations' definitions are counted with the others, whose
  // messages are out already.
  if (linearised) return;
  if (show_stats > 1 && P->ldef)
    ps_warning("%d linear definitional constraints eliminated (%d fills)\n",
               P->ldef, P->nfills);
  if (show_stats > 1 && P->nnldef) nonlinear_tally(P);
}

}  // namespace vexo
