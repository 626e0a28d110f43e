// Shared inside presolve/: the walk over the variable references of an
// expression tree, and the scratch blocks of a run.
#ifndef VEXO_PRESOLVE_INTERNAL_H
#define VEXO_PRESOLVE_INTERNAL_H

#include <cstdint>
#include <utility>
#include <vector>

#include "eval/optab.h"
#include "frontend/expr.h"
#include "instance/varref.h"

namespace vexo {

struct Presolve;

// Calls f(column, node) for every variable reference below e (e included)
// whose subtree's op word has a bit of gate (0: every subtree): variable
// values (SH_VARVAL), piecewise-linear terms (their variable) and the
// terms of linear parts (node is then the linear-part node).  Calls into
// imported functions are walked through their arguments.
template <class F>
void each_var(expr* e, uint32_t gate, F& f);

namespace detail {
template <class F>
struct var_walker : walker_defaults {
  uint32_t gate;
  F& f;
  var_walker(uint32_t g, F& fn) : gate(g), f(fn) {}
  void operand(expr*& x) {
    if (x) each_var(x, gate, f);
  }
  void chain(expr*& c) {
    for (expr* x = c; x; x = x->next) each_var(x, gate, f);
  }
  void args(expr*& a, bool sets) {
    if (sets) return;
    for (expr* x = a; x; x = x->next) {
      if (opcode(x) != OPARG) {
        each_var(x, gate, f);
      } else if (x->L.p) {
        args(x->R.e, false);
      } else if (x->R.e) {
        each_var(x->R.e, gate, f);
      }
    }
  }
};
}  // namespace detail

template <class F>
void each_var(expr* e, uint32_t gate, F& f) {
  if (gate && !(e->opword & gate)) return;
  switch (shape(e)) {
    case SH_VARVAL:
      f(e->L.i, e);
      return;
    case SH_PLTERM:
      if (e->L.p) f(static_cast<const plterm*>(e->L.p)->index, e);
      return;
    case SH_LINPART:
      for (const varref* v = e->L.vr; v; v = vnext(v)) f(v->index, e);
      return;
    default: {
      detail::var_walker<F> w(gate, f);
      visit_operands(e, w);
    }
  }
}

// Stage s (0, 1, 2) of fetching the first terms of a column list early:
// its head, the second term, the third.  A stage reads what the stage
// before fetched, so stages are issued in order, some work apart.
inline void prefetch_terms(const varref* h, int s) {
  if (!h) return;
  if (s >= 1 && !(h = vnext(h))) return;
  if (s >= 2 && !(h = vnext(h))) return;
  __builtin_prefetch(h);
}

// Calls f(j) for the columns j = 0 .. n - 1 of cols, in order.  A
// column's terms lie where their rows were generated, far apart, so a walk
// over the lists is a chain of cache misses: the first three terms of the
// columns ahead are fetched early, each stage reading what the stage
// before fetched, which overlaps the misses without changing the order in
// which f sees anything.
template <class F>
void each_column(varref* const* cols, int32_t n, F&& f) {
  constexpr int32_t D = 8;  // columns between the stages
  for (int32_t j = 0; j < n; ++j) {
    if (j + 3 * D < n)
    {
      prefetch_terms(cols[j + 3 * D], 0);
      prefetch_terms(cols[j + 2 * D], 1);
      prefetch_terms(cols[j + D], 2);
    }
    f(j);
  }
}

// Records block p of class k in the run's scratch, freed by pstempzap.
void scratch_add(Presolve* P, void* p, int k);
// The scratch's block old (null: none) is freed and replaced by p of
// class k.
void scratch_swap(Presolve* P, void* old, void* p, int k);
// Stores v as the current value of the variable member of column j (the
// declaration's values made on first use).
void member_value_set(int32_t j, double v);
// The reductions of levels above 0 and the fixing of variables the `fix`
// command fixed (passes.cpp): column and row lists, activity intervals,
// the pass loop and the range handling.  Returns the passes run.
void reduce(Presolve* P, int level, const int32_t* fixed, int32_t nfixed);
// The first steps of reduce: the per-constraint arrays, the activity
// intervals and row lists from the columns at the current bounds.
void reduce_start(Presolve* P);
// The row lists reduce_start made are let go (their block stays in the
// scratch, freed with it).
void rows_free(Presolve* P);
// Keeps what the dual recovery needs from the run P (duals.cpp): the
// removed rows in removal order and the rows that set each bound.  With
// no row removed, the block of duals_sidechg is given back (P's sidechg
// is then no longer valid).
void duals_record(const Presolve* P);
// The zeroed block of class k (two int32 per variable, nvars of them)
// where a run records the row + 1 that set each bound (Presolve's
// sidechg): owned by the dual recovery, which keeps it as the run's record
// without a copy and reuses it for the next run.  The record of the run
// before is forgotten.
int32_t* duals_sidechg(int k, int32_t nvars);
// Forgets it (start-up and `reset`).
void duals_reset();
// Notes that fixing column j took its piecewise-linear term of row
// (constraints, then objectives) out, with the slope at the fixed value:
// the dual recovery counts it as a linear term.  duals_pl_clear forgets
// the notes (at the start of each run).
void duals_pl_fixed(int32_t j, int32_t row, double slope);
void duals_pl_clear();
// Notes, before a composition rewrites them, the uses of column j, which
// row r (j's coefficient a) defines and which leaves with r: r's dual
// comes back from j's stationarity over those uses.  Cleared with the
// notes above.
void duals_composed(const Presolve* P, int32_t r, int32_t j, double a);
// The same for row r solving column j out, its linear uses given as
// (row, coefficient) pairs.
void duals_defined(const Presolve* P, int32_t r, int32_t j, double a,
                   const std::vector<std::pair<int32_t, double>>& uses);

}  // namespace vexo

#endif  // VEXO_PRESOLVE_INTERNAL_H
