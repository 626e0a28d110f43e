// Final counts, the variable queue, expression classifiers and the walks
// of the random-variable stages.
#include "presolve/stages.h"

#include <algorithm>
#include <cmath>

#include "eval/funclib.h"
#include "frontend/expr.h"
#include "instance/ac.h"
#include "presolve/internal.h"
#include "presolve/presolve.h"
#include "solver/nlwrite.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/pool.h"

namespace vexo {

// ---- Counts of a shape ------------------------------------------------------

// sh's order made the AC's sending order.
static void send_order(AC* ac, const SendShape* sh) {
  int32_t nr = ac->n_con + ac->n_obj;
  if (!ac->con_pos && nr > 0)
    ac->con_pos =
        static_cast<int32_t*>(new_mblk(elem_class(ac->row_class, 4), 1));
  for (int32_t i = 0; i < nr; ++i) ac->con_pos[sh->order[i]] = i;
  if (ac->con_order_sent != sh->order) jac_forget(ac);
  ac->con_order_sent = sh->order;
}

// The linear terms of the sent variables in the objectives (the AC's
// grad_nonzeros) and, per shape of sh[0 .. n - 1] (sharing the AC's
// sending order), in its sent constraints; one walk over the columns.
static void count_terms(AC* ac, SendShape* const* sh, int n) {
  int64_t nz[2] = {0, 0}, nzo = 0;
  int32_t lim[2] = {sh[0]->n_con, sh[n - 1]->n_con};
  for (int32_t p = 0; p < ac->n_var_sent && ac->col_terms; ++p)
    for (const varref* t = ac->col_terms[ac->var_order[p]]; t; t = vnext(t)) {
      if (t->index >= ac->n_con) {
        ++nzo;
        continue;
      }
      int32_t pos = ac->con_pos[t->index];
      nz[0] += pos < lim[0];
      nz[1] += pos < lim[1];
    }
  for (int s = 0; s < n; ++s) sh[s]->nonzeros = nz[s];
  ac->grad_nonzeros = nzo;
}

// The equality and range rows among those sh sends.
static void row_kinds(SendShape* sh) {
  int32_t neq = 0, nrange = 0;
  for (int32_t i = 0; i < sh->n_con; ++i) {
    int32_t r = sh->order[i];
    double l = sh->lower[r], u = sh->upper[r];
    if (l <= negInfinity || u >= Infinity) continue;
    if (l == u)
      ++neq;
    else if (l < u)
      ++nrange;
  }
  sh->n_eq = neq;
  sh->n_range = nrange;
}

void nzcount(AC* ac, SendShape* sh) {
  send_order(ac, sh);
  count_terms(ac, &sh, 1);
  row_kinds(sh);
}

void nzcount_both(AC* ac, SendShape* alt, SendShape* work) {
  if (alt->order != work->order) {
    nzcount(ac, alt);
    nzcount(ac, work);
    return;
  }
  send_order(ac, work);
  SendShape* sh[2] = {alt, work};
  count_terms(ac, sh, 2);
  row_kinds(alt);
  row_kinds(work);
}

// ---- Variable queue ---------------------------------------------------------

void vq_setup(Presolve* P) {
  size_t nv = size_t(P->nvars), nr = size_t(P->nrows);
  for (int b = 0; b < 2; ++b) {
    int k = htcl(12 * nv + 8);
    scratch_add(P, new_mblk(k, 1), k);
  }
  int k = htcl(4 * (3 * nr + nv) + 8);
  int32_t* ints = static_cast<int32_t*>(new_mblk(k, 1));
  scratch_add(P, ints, k);
  P->vq = ints + 3 * nr;
  P->nvq = 0;
  for (int32_t j = 0; j < P->nvars; ++j)
    if (P->nlcols && P->nlcols[j]) P->vq[P->nvq++] = j;
}

// ---- Classifiers ------------------------------------------------------------

static bool has_vars(expr* e) {
  bool any = false;
  auto note = [&](int32_t, expr*) { any = true; };
  each_var(e, 0, note);
  return any;
}

int extype(expr* e) {
  if (!e) return 0;
  switch (opcode(e)) {
    case OPNUM:
      return 0;
    case OPVARVAL146:
      return 1;
    case OPLINPART:
      return e->L.vr ? 1 : 0;
    case OPUMINUS:
      return extype(e->L.e);
    case OPPLUS:
    case OPMINUS:
      return std::max(extype(e->L.e), extype(e->R.e));
    case OPSUMLIST: {
      int t = 0;
      for (expr* a = e->L.e; a && t < 2; a = a->next) t = std::max(t, extype(a));
      return t;
    }
    case OPMULT: {
      if (opcode(e->L.e) == OPNUM) return extype(e->R.e);
      if (opcode(e->R.e) == OPNUM) return extype(e->L.e);
      return has_vars(e) ? 2 : 0;
    }
    default:
      return has_vars(e) ? 2 : 0;
  }
}

// zrctype1's walk: at a linear position (sums, negation, products with a
// constant) variables count as linear; below anything else as nonlinear.
static int ztype(expr* e, bool linear) {
  if (!e) return 0;
  switch (shape(e)) {
    case SH_NUMBER:
      return 0;
    case SH_VARVAL:
    case SH_LINPART:
      return linear ? 1 : 2;
    case SH_PLTERM:
      return 4;
    default:
      break;
  }
  int op = opcode(e);
  if (op == OPPLUS || op == OPMINUS)
    return ztype(e->L.e, linear) | ztype(e->R.e, linear);
  if (op == OPUMINUS) return ztype(e->L.e, linear);
  if (op == OPSUMLIST) {
    int t = 0;
    for (expr* a = e->L.e; a; a = a->next) t |= ztype(a, linear);
    return t;
  }
  if (op == OPMULT && (opcode(e->L.e) == OPNUM || opcode(e->R.e) == OPNUM))
    return ztype(e->L.e, linear) | ztype(e->R.e, linear);
  if (!has_vars(e)) return 0;
  int t = 2;
  if (shape(e) == SH_CALL || shape(e) == SH_IF || shape(e) == SH_IMPELSE ||
      shape(e) == SH_COUNTREL || shape(e) == SH_ARGLIST)
    t |= 8;
  auto note = [&](int32_t, expr* n) {
    if (shape(n) == SH_PLTERM) t |= 4;
  };
  each_var(e, 0, note);
  return t;
}

int zrctype1(AC*, expr* e) { return ztype(e, true) & 15; }

// ---- Stage walks ------------------------------------------------------------

namespace {

// The calls of random functions below e, in subtrees flagged with gate.
struct random_calls : walker_defaults {
  uint32_t gate;
  int n = 0;
  void visit(expr* e) {
    if (!e || !(e->opword & gate)) return;
    if (shape(e) == SH_CALL) {
      const function* f = static_cast<const function*>(e->L.x);
      if (f && (f->fflags & 0x10000)) ++n;
    }
    visit_operands(e, *this);
  }
  void operand(expr*& x) { visit(x); }
  void chain(expr*& c) {
    for (expr* x = c; x; x = x->next) visit(x);
  }
  void args(expr*& a, bool sets) {
    if (sets) return;
    for (expr* x = a; x; x = x->next) {
      if (opcode(x) != OPARG)
        visit(x);
      else if (x->L.p)
        args(x->R.e, false);
      else
        visit(x->R.e);
    }
  }
};

}  // namespace

int nrand(expr* e, stage_info* s) {
  auto note = [&](int32_t j, expr* n) {
    if (shape(n) == SH_VARVAL && j >= s->base) j -= s->base;
    int c = s->cls ? s->cls[j] : 0;
    if (c < s->lo || c >= s->hi) return;
    double st = s->stage ? s->stage[j] : 0;
    if (st <= s->maxstage) return;
    s->maxstage = st;
    s->maxvar = j;
    if (s->entity >= 0 && s->flagged && !s->flagged[s->entity]) {
      s->flagged[s->entity] = 1;
      s->raised = new_list_int(s->raised, s->entity);
    }
  };
  each_var(e, 0x124, note);
  random_calls r;
  r.gate = 0x124;
  r.visit(e);
  return r.n;
}

int rand_use1(expr* e, const uint32_t* vstat) {
  bool any = false;
  auto note = [&](int32_t j, expr*) {
    if (vstat[j] & VS_RANDOM) any = true;
  };
  each_var(e, 0x104, note);
  return any;
}

void randprop(expr* e, rp_info* r) {
  auto note = [&](int32_t j, expr* n) {
    if (shape(n) == SH_VARVAL && j >= r->base) j -= r->base;
    if (!r->part || !r->part[j] || (r->vstat[j] & 0x2300)) return;
    r->vstat[j] |= r->bit;
    *r->out++ = j;
  };
  each_var(e, 0x100, note);
}

int jstage_cmp(const void* a, const void* b) {
  double x = *static_cast<const double*>(a), y = *static_cast<const double*>(b);
  if (x == y) return 0;
  if (x == 0) return -1;
  if (y == 0) return 1;
  return x < y ? -1 : 1;
}

int stgcmp(const void* a, const void* b, void* stages) {
  const int32_t* s = static_cast<const int32_t*>(stages);
  return s[*static_cast<const int32_t*>(a)] - s[*static_cast<const int32_t*>(b)];
}

}  // namespace vexo
