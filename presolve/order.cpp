// Classes and order of the variables and rows sent.
#include "presolve/order.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "eval/evalerr.h"
#include "eval/settest.h"
#include "frontend/decl.h"
#include "frontend/strexpr.h"
#include "frontend/vardcl.h"
#include "instance/ac.h"
#include "instance/collect.h"
#include "instance/members.h"
#include "instance/names.h"
#include "instance/sufdecl.h"
#include "instance/sufstore.h"
#include "presolve/internal.h"
#include "presolve/presolve.h"
#include "session/opttable.h"
#include "session/sysdecls.h"
#include "support/block.h"
#include "support/list.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"

namespace vexo {

// ---- Nonlinear incidence ----------------------------------------------------

static expr* row_nonlin(const AC* ac, int32_t r) {
  return r < ac->n_con ? ac->con_nonlin[r]
                       : ac->obj_nonlin ? ac->obj_nonlin[r - ac->n_con]
                                        : nullptr;
}

void nl_incidence(Presolve* P, int32_t r0, int32_t r1) {
  AC* ac = P->ac;
  varref** c = ac->col_nl_rows;
  if (!c) {
    // A new block comes zeroed: no page of it is written here.
    c = ac->col_nl_rows = static_cast<varref**>(new_mblk(ac->var_class, 1));
  } else {
    for (int32_t j = 0; j < ac->n_var; ++j)
      if (c[j]) {
        free_varref(c[j]);
        c[j] = nullptr;
      }
  }
  P->nlcols = c;
  // A row using a defined variable uses, nonlinearly, what its body uses
  // (the problem file's Jacobian lists them for the row).
  std::vector<int32_t> body, stamp;
  if (ac->dv_bodies && ac->dv_col) {
    body.assign(size_t(ac->n_var), -1);
    stamp.assign(size_t(ac->n_var), -1);
    for (int32_t b = 0; b < ac->n_dv_bodies; ++b)
      if (ac->dv_col[b] >= 0 && ac->dv_col[b] < ac->n_var && ac->dv_bodies[b])
        body[size_t(ac->dv_col[b])] = b;
  }
  std::vector<int32_t> todo;
  // Rows from the last, so that each column lists its rows increasing.
  for (int32_t r = r1 - 1; r >= r0; --r) {
    auto note = [&](int32_t j, expr*) {
      if (j < 0 || j >= ac->n_var) return;
      if (!body.empty() && body[size_t(j)] >= 0 && stamp[size_t(j)] != r) {
        stamp[size_t(j)] = r;
        todo.push_back(body[size_t(j)]);
      }
      if (c[j] && c[j]->index == r) return;
      c[j] = new_varref(c[j], r, 1);
    };
    for (expr* e = row_nonlin(ac, r); e; e = e->next) each_var(e, 0, note);
    while (!todo.empty()) {
      int32_t b = todo.back();
      todo.pop_back();
      for (expr* e = ac->dv_bodies[b]; e; e = e->next) each_var(e, 0, note);
    }
  }
}

// ---- Variables --------------------------------------------------------------

static bool row_kept(const Presolve* P, int32_t r) {
  return r >= P->ncons || !P->rstat || !(P->rstat[r] & RS_GONE);
}

// Status bits VS_LIN, VS_NLCON, VS_NLOBJ of the kept variables, and the
// integrality option applied.
static void classify(Presolve* P) {
  AC* ac = P->ac;
  uint32_t* vs = P->vstat;
  for (int32_t i = 0; i < P->nfv; ++i) {
    int32_t j = P->vorder[i];
    vs[j] &= ~(VS_LIN | VS_NLCON | VS_NLOBJ);
    for (const varref* t = ac->col_terms ? ac->col_terms[j] : nullptr; t;
         t = vnext(t))
      if (row_kept(P, t->index)) {
        vs[j] |= VS_LIN;
        break;
      }
    for (const varref* t = ac->col_nl_rows ? ac->col_nl_rows[j] : nullptr; t;
         t = vnext(t)) {
      if (t->index >= P->ncons)
        vs[j] |= VS_NLOBJ;
      else if (row_kept(P, t->index))
        vs[j] |= VS_NLCON;
    }
    // Integrality: option relax_integrality 1 keeps it only for the
    // variables presolve added, 2 or more drops it everywhere.
    if (relax_integrality >= 2 || (relax_integrality == 1 && j < P->nvars0))
      vs[j] &= ~uint32_t(VS_INT | VS_BIN);
  }
  if (ac->compl_var)
    for (int32_t r = 0; r < P->ncons; ++r)
      if (ac->compl_var[r] > 0 && row_kept(P, r))
        vs[ac->compl_var[r] - 1] |= VS_LIN;
}

// Random variables with finite bounds after presolve: reported, and the
// command abandoned.
static void random_bounds(Presolve* P) {
  AC* ac = P->ac;
  std::vector<int32_t> hit;
  for (int32_t j = 0; j < P->nvars; ++j) {
    if (!(P->vstat[j] & VS_RANDOM)) continue;
    if (std::isfinite(P->vlb[j]) || std::isfinite(P->vub[j])) hit.push_back(j);
  }
  if (hit.empty()) return;
  errorstart("error_warning");
  Fprintf(Stderr, "Presolve deduces bounds on %d random variables:\n",
          int(hit.size()));
  int shown = 0;
  for (int32_t j : hit) {
    if (shown >= randvar_warn) break;
    Fprintf(Stderr, "\t[%g,%g] on %s\n", P->vlb[j], P->vub[j],
            xwho(&ac->var_names[j]));
    ++shown;
  }
  if (int rest = int(hit.size()) - shown)
    Fprintf(Stderr, "\tand %d others.\n", rest);
  bailout();
}

// The columns of members whose relax suffix is 2 or more: integer through
// collection and presolve (x.int reads 1), sent continuous.
static std::vector<char> relaxed_when_sent(const Presolve* P) {
  std::vector<char> r;
  for (const list* l = relax2list; l; l = l->next) {
    var* v = static_cast<var*>(l->item.p);
    const SufVal* relax = sufval_of(v, relax_suf->classnum);
    if (!relax || !relax->values) continue;
    if (r.empty()) r.assign(size_t(P->nvars), 0);
    for (int32_t i = 0; i < v->gen.member_count; ++i)
      if (int32_t j = v->gen.first_col + i;
          relax->values[i] >= 2 && j >= 0 && j < P->nvars)
        r[size_t(j)] = 1;
  }
  return r;
}

// Whether kept variable j is sent integer.
static bool sent_int(const Presolve* P, int32_t j,
                     const std::vector<char>& relaxed) {
  return (P->vstat[j] & (VS_INT | VS_BIN)) &&
         (relaxed.empty() || !relaxed[size_t(j)]);
}

// The class of kept variable j (0 .. 9, the order of the problem file).
static int var_class_of(const Presolve* P, int32_t j,
                        const std::vector<char>& relaxed) {
  uint32_t s = P->vstat[j];
  bool is_int = sent_int(P, j, relaxed);
  uint32_t nl = s & (VS_NLCON | VS_NLOBJ);
  if (nl == (VS_NLCON | VS_NLOBJ)) return is_int;
  if (nl == VS_NLCON) return 2 + is_int;
  if (nl == VS_NLOBJ) return 4 + is_int;
  if (s & VS_NET) return 6;
  if (!is_int) return 7;
  double lb = P->vlb[j], ub = P->vub[j];
  if ((s & VS_BIN) || (lb > -1 && ub < 2)) return 8;
  return 9;
}

// A kept variable that occurs nowhere takes the bound its value violates,
// in its declaration's current values and in the AC's.
static void bump_unused(Presolve* P, int32_t j) {
  double lb = P->vlb[j], ub = P->vub[j];
  double* x = P->ac->var_init_val;
  if (!x || (x[j] >= lb && x[j] <= ub)) return;
  double v = x[j] < lb ? lb : ub;
  x[j] = v;
  ++P->nbumped;
  member_value_set(j, v);
}

void member_value_set(int32_t j, double v) {
  var* d = var_of_column(j);
  if (!d) return;
  int32_t i = j - d->gen.first_col;
  if (i < 0 || i >= d->gen.member_count) return;
  if (!d->gen.cur_vals) vval_alloc(d);
  d->gen.cur_vals[i] = v;
  if (d->gen.member_status) d->gen.member_status[i] |= GS_HASVAL;
}

int nlvshift(Presolve* P) {
  AC* ac = P->ac;
  if (!P->classified) classify(P);
  random_bounds(P);
  int32_t n = P->nfv;
  int cnt[10] = {}, ints[10] = {};
  std::vector<int8_t> cls(size_t(n > 0 ? n : 0));
  std::vector<char> relaxed = relaxed_when_sent(P);
  for (int32_t i = 0; i < n; ++i) {
    int32_t j = P->vorder[i];
    int c = var_class_of(P, j, relaxed);
    cls[size_t(i)] = int8_t(c);
    ++cnt[c];
    if (sent_int(P, j, relaxed)) ++ints[c];
    if (!(P->vstat[j] & (VS_LIN | VS_NLCON | VS_NLOBJ))) bump_unused(P, j);
  }
  int start[11] = {};
  for (int c = 0; c < 10; ++c) start[c + 1] = start[c] + cnt[c];
  std::vector<int32_t> sorted(size_t(n > 0 ? n : 0));
  int pos[10];
  std::copy(start, start + 10, pos);
  for (int32_t i = 0; i < n; ++i)
    sorted[size_t(pos[int(cls[size_t(i)])]++)] = P->vorder[i];
  // Class sizes: pairs (continuous, integer) of the nonlinear classes.
  int32_t both = cnt[0] + cnt[1], ncon = cnt[2] + cnt[3],
          nobj = cnt[4] + cnt[5];
  bool same = true;
  for (int32_t i = 0; i < n && same; ++i) same = sorted[size_t(i)] == P->vorder[i];
  if ((nl_permute & 2) || same) {
    std::copy(sorted.begin(), sorted.end(), P->vorder);
  } else {
    // The incoming order stays: each nonlinear class runs up to the
    // position of its last member.
    int32_t lb = 0, lc = 0, lo = 0;
    for (int32_t i = 0; i < n; ++i) {
      int c = cls[size_t(i)];
      if (c < 2) lb = i + 1;
      else if (c < 4) lc = i + 1;
      else if (c < 6) lo = i + 1;
    }
    lc = std::max(lc, lb);
    lo = lo ? std::max(lo, lc) : lc;
    both = lb;
    ncon = lc - lb;
    nobj = lo - lc;
    if (!(nl_permute & 16)) P->nlflags |= 2;
  }
  ac->n_nlv_both = both;
  ac->n_nlv_both_int = ints[1];
  ac->n_nlv_con = ncon;
  ac->n_nlv_con_int = ints[3];
  ac->n_nlv_obj = nobj;
  ac->n_nlv_obj_int = ints[5];
  ac->n_nlv_sent = both + ncon + nobj;
  ac->n_lin_net_var = cnt[6];
  ac->n_lin_bin = cnt[8];
  ac->n_lin_int = cnt[9];
  for (int32_t i = 0; i < P->nvars; ++i) ac->var_pos[P->vorder[i]] = i;
  ac->n_var_sent = n;
  return n;
}

// ---- Rows -------------------------------------------------------------------

// Whether the nonlinear part of row r is more than a constant.
static bool nonlinear_row(const AC* ac, int32_t r) {
  for (expr* e = row_nonlin(ac, r); e; e = e->next)
    if (opcode(e) != OPNUM) return true;
  return false;
}

// The class of kept constraint r: 0 nonlinear, 1 nonlinear network, 2
// linear network, 3 linear, 4 logical.
static int row_class_of(const Presolve* P, int32_t r) {
  const AC* ac = P->ac;
  if ((P->rstat && (P->rstat[r] & RS_LOGICAL)) ||
      (P->dflag && (P->dflag[r] & 3)))
    return 4;
  bool nl = ac->cpair && ac->cpair[r] ? (ac->cpair[r] & 2) != 0
                                      : nonlinear_row(ac, r);
  const xnode* d = ac->con_names ? ac->con_names[r].decl : nullptr;
  bool net = d && (d->flags & VF_ARC);
  return nl ? (net ? 1 : 0) : (net ? 2 : 3);
}

void nlcshift(Presolve* P, int alt) {
  AC* ac = P->ac;
  SendShape* sh = alt ? &ac->shape_alt : &ac->shape_work;
  int32_t nc = P->ncons, no = ac->n_obj;
  int32_t* order = sh->order;
  std::vector<int32_t> kept;
  std::vector<int8_t> cls;
  std::vector<int32_t> gone;
  for (int32_t r = 0; r < nc; ++r) {
    if (row_kept(P, r)) {
      kept.push_back(r);
      cls.push_back(int8_t(row_class_of(P, r)));
    } else {
      gone.push_back(r);
    }
  }
  int cnt[5] = {};
  for (int8_t c : cls) ++cnt[int(c)];
  int32_t nalg = int32_t(kept.size()) - cnt[4];
  std::vector<int32_t> sorted(kept.size());
  int pos[5] = {0, cnt[0], cnt[0] + cnt[1], cnt[0] + cnt[1] + cnt[2], nalg};
  for (size_t i = 0; i < kept.size(); ++i) sorted[size_t(pos[cls[i]]++)] = kept[i];
  int32_t n_nonlin = cnt[0] + cnt[1];
  if (!(nl_permute & 1)) {
    // The incoming order of the algebraic rows stays when it differs.
    std::vector<int32_t> alg;
    for (size_t i = 0; i < kept.size(); ++i)
      if (cls[i] != 4) alg.push_back(kept[i]);
    if (!std::equal(alg.begin(), alg.end(), sorted.begin())) {
      std::copy(alg.begin(), alg.end(), sorted.begin());
      n_nonlin = 0;
      for (int32_t i = 0; i < nalg; ++i)
        if (nonlinear_row(ac, alg[size_t(i)])) n_nonlin = i + 1;
      if (!(nl_permute & 8)) P->nlflags |= 1;
    }
  }
  // Sent rows, the objectives, the removed rows, the logical rows last.
  int32_t k = 0;
  for (int32_t i = 0; i < nalg; ++i) order[k++] = sorted[size_t(i)];
  for (int32_t j = 0; j < no; ++j) order[k++] = nc + j;
  for (int32_t r : gone) order[k++] = r;
  for (int32_t i = nalg; i < int32_t(sorted.size()); ++i)
    order[k++] = sorted[size_t(i)];
  sh->n_con = nalg;
  sh->n_nonlin = n_nonlin;
  sh->n_nonlin_net = cnt[1];
  sh->n_lin_net = cnt[2];
  sh->n_logical = cnt[4];
  // Objectives: with nl_permute bit 4 the nonlinear ones first.
  if (ac->obj_order && no > 0) {
    int32_t m = 0, last = 0;
    if (nl_permute & 4) {
      for (int32_t j = 0; j < no; ++j)
        if (nonlinear_row(ac, nc + j)) ac->obj_order[m++] = j;
      int32_t nnl = m;
      for (int32_t j = 0; j < no; ++j)
        if (!nonlinear_row(ac, nc + j)) ac->obj_order[m++] = j;
      ac->n_nonlin_obj = nnl;
    } else {
      for (int32_t j = 0; j < no; ++j) {
        ac->obj_order[j] = j;
        if (nonlinear_row(ac, nc + j)) last = j + 1;
      }
      ac->n_nonlin_obj = last;
    }
  }
}

// ---- Random-variable expressions --------------------------------------------

void varvalify(TVA* tva, expr* e) {
  if (!e || !(e->opword & (EF_VARS | EF_RANDOM | EF_RANDVAR))) return;
  int op = opcode(e);
  if (op == OPSVEXOVAR || op == OPSVEXOVARSUB) {
    var* v = static_cast<var*>(e->L.x);
    int32_t i = 0;
    if (op == OPSVEXOVARSUB) {
      i = f_OPLOOKUP(e, tva).i;
      if (i < 0)
        eerror(tva, "invalid subscript for %s", v->name->name);
      edelete(e->R.e);
    }
    e->opword = 74758;  // OPVARVAL146 with EF_VARS | EF_NUMERIC
    e->L.i = v->gen.first_col + i;
    e->R.p = nullptr;
    return;
  }
  switch (shape(e)) {
    case SH_VARVAL:
    case SH_PLTERM:
    case SH_LINPART:
      return;
    case SH_UNARY:
    case SH_FUNC1:
    case SH_TO_NUMBER:
    case SH_RECPAR:
      varvalify(tva, e->L.e);
      return;
    case SH_BINARY:
    case SH_FUNC2:
    case SH_COUNTREL:
      varvalify(tva, e->L.e);
      varvalify(tva, e->R.e);
      return;
    case SH_IF:
    case SH_IMPELSE:
      varvalify(tva, e->L.e);
      if (e->R.e) {
        varvalify(tva, e->R.e->L.e);
        varvalify(tva, e->R.e->R.e);
      }
      return;
    case SH_LIST:
    case SH_SUMLIST:
      for (expr* a = e->L.e; a; a = a->next) varvalify(tva, a);
      return;
    case SH_ARGLIST:
      varvalify(tva, e->L.e);
      for (expr* a = e->R.e; a; a = a->next)
        varvalify(tva, opcode(a) == OPARG ? a->R.e : a);
      return;
    case SH_CALL:
      for (expr* a = e->R.e; a; a = a->next)
        varvalify(tva, opcode(a) == OPARG ? a->R.e : a);
      return;
    default:
      badtype("varvalify", e->opword);
  }
}

}  // namespace vexo
