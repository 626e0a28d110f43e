// Generation of variable members.
#include "instance/genvar.h"

#include <cmath>
#include <cstring>

#include "compiler/ecopy.h"
#include "compiler/tva.h"
#include "data/values.h"
#include "eval/dispatch.h"
#include "eval/evalerr.h"
#include "eval/indexing.h"
#include "eval/entref.h"
#include "eval/iterate.h"
#include "eval/paramref.h"
#include "eval/set.h"
#include "frontend/expr.h"
#include "frontend/vardcl.h"
#include "instance/ac.h"
#include "instance/gencon.h"
#include "instance/members.h"
#include "instance/memberset.h"
#include "instance/renum.h"
#include "instance/sufinit.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"

namespace vexo {

namespace {

// Whether v's members get initial values of their own (`:=` or
// `default`); a defined variable's init is its definition, a random one's
// its distribution.
bool has_init(const var* v) {
  return (v->init || v->dflt) && !(v->flags & VF_DEFINED) &&
         !(v->flags & XF_RANDOM) && !val_symbolic(v);
}

// The per-member arrays of v hold 1 << member_class entries once made.
// When they are full (or not made), every array moves to a block of the
// next class (the first time: class first_class, by default 0, one entry),
// the old entries copied.
void grow(var* v, int first_class = 0) {
  cvgen& g = v->gen;
  if (g.lb && g.member_count < (int32_t(1) << g.member_class)) return;
  int k = g.lb ? g.member_class + 1 : first_class;
  double** arrays[] = {&g.lb, &g.ub, has_init(v) ? &g.init_vals : nullptr};
  for (double** a : arrays) {
    if (!a) continue;
    auto* b = static_cast<double*>(new_mblk(k, 1));
    if (*a) {
      std::memcpy(b, *a, size_t(g.member_count) * sizeof(double));
      del_mblk(blkclass(*a), *a);
    }
    *a = b;
  }
  g.member_class = k;
}

// Makes v's first per-member arrays large enough for n members, when
// the count is foreseen: blocks outgrown on the way would stay in the pool.
void presize(var* v, int32_t n) {
  int k = 0;
  while (k < 30 && (int32_t(1) << k) < n) ++k;
  grow(v, k);
}

[[noreturn]] void inappropriate(TVA* c, double x) {
  mgwhere(c);
  Fprintf(Stderr, "Inappropriate use of %g.\n", x);
  bailout();
}

// The value of a bound expression, or dflt without one.  A defined
// variable's lb is its definition, not a bound.
double bound(const var* v, expr* e, double dflt, TVA* c) {
  if (!e || (v->flags & VF_DEFINED)) return dflt;
  return eval_num(e, c);
}

// A random variable's member keeps its distribution, instantiated for the
// member's dummy values with its random calls left as calls, to be drawn
// at each use (eval/randvar.h).  Without random calls there is no
// distribution: the member holds a plain value.
void keep_distribution(var* v, int32_t i, TVA* c) {
  expr* d = v->init ? v->init : v->dflt;
  if (d && has_flag(d, EF_RANDOM)) set_distribution(v, i, d, c);
}

// A symbolic variable's member with subscript tuple (null for a scalar):
// its value cell, which it keeps by data index, made (marked as holding no
// data) when absent.  An empty cell takes the declared initial value; a
// value outside the domain ends the generation.
void sym_member(var* v, symbol* const* tuple, TVA* c) {
  int32_t i = -1;
  if (!tuple)
    i = v->nvals ? 0 : -1;
  else if (v->dindex)
    i = int32_t(set_lookup(v->dindex, const_cast<symbol**>(tuple)));
  if (i < 0) {
    i = val_add(v, tuple);
    *stat_of(v, i) |= MS_NOVALUE;
  }
  symbol** cell = static_cast<symbol**>(v->vals) + i;
  if (!*cell && (v->init || v->dflt)) {
    expr* e = v->init ? v->init : v->dflt;
    symbol* s = has_flag(e, EF_NUMERIC) ? Number(eval_num(e, c))
                                        : value_symbol(symbolic_value(e, c));
    svar_offset(v, tuple, s, c);
    *cell = s;
  } else if (*cell) {
    svar_offset(v, tuple, *cell, c);
  }
}

}  // namespace

void set_distribution(var* v, int32_t i, expr* d, TVA* c) {
  cvgen& g = v->gen;
  if (!g.rand_exprs || blkclass(g.rand_exprs) < g.member_class) {
    auto* b = static_cast<expr**>(new_mblk(g.member_class, 1));
    if (g.rand_exprs) {
      std::memcpy(b, g.rand_exprs, size_t(g.member_count) * sizeof(expr*));
      del_mblk(blkclass(g.rand_exprs), g.rand_exprs);
    }
    g.rand_exprs = b;
  }
  g.rand_exprs[i] = ecopy(d, c);
}

void gen1var(var* v, TVA* c, set_spec*, expr* sufinit) {
  cvgen& g = v->gen;
  grow(v);
  int32_t i = g.member_count;
  double lo = bound(v, v->lb, -Infinity, c);
  // `= e` fixes both bounds to its value.
  double hi = (v->flags & VF_FIXED) ? lo : bound(v, v->ub, Infinity, c);
  // -Infinity below and +Infinity above are the absence of a bound.
  if (!(lo < Infinity)) inappropriate(c, lo);
  if (!(hi > -Infinity)) inappropriate(c, hi);
  if (v->flags & VF_BINARY) {
    if (lo < 0) lo = 0;
    if (hi > 1) hi = 1;
  }
  g.lb[i] = lo;
  g.ub[i] = hi;
  if (sufinit) do_sufinit(v, i, sufinit, nullptr, c);
  if (has_init(v)) g.init_vals[i] = eval_num(v->init ? v->init : v->dflt, c);
  if (v->flags & XF_RANDOM) keep_distribution(v, i, c);
  g.member_count = i + 1;
  int32_t j = c->ac->n_var_gen++;
  if (v->defcon) gen_defrow(v, c, i, j);
  if (v->arcs) gen_colterms(v, c, j);
}

int gen_var(var* v, TVA* tva) {
  // An index set that never got data leaves v ungenerated: the command
  // that cited v says what is missing.
  if (v->indexing)
    for (Index* ix = v->indexing->first; ix; ix = ix->next)
      if (ix->s && set_without_data(ix->s)) {
        gen_var_abandon(v, tva);
        return 0;
      }
  cvgen& g = v->gen;
  AC* ac = tva->ac;
  var_terms_begin(v);
  int32_t old_n = g.member_count;
  int32_t old_first = old_n > 0 ? g.first_col : -1;
  g.first_col = columns_begin(v, ac, old_first, old_n);
  g.member_count = 0;
  g.member_class = 0;
  set_spec* ss = v->indexing;
  bool indexed = v->kind & 1;
  bool symbolic = val_symbolic(v);
  // A defined variable's definition, its column clauses' messages and a
  // symbolic variable's values read the members generated so far: they
  // get them one by one.  Other variables build their set on the side
  // (it may be one that an earlier declaration holds).
  bool aside = indexed && !symbolic && !v->defcon && !v->arcs;
  if (indexed && !aside) g.members = set_enum(new_enum(), ss->arity);
  if (!ss) {
    gen1var(v, tva, nullptr, v->sufinit);
    if (symbolic) sym_member(v, nullptr, tva);
  } else if (aside) {
    member_builder b(ss->arity);
    if (TVA* c = ss_begin(ss, tva)) do {
        b.add(ss->first->vals);
        if (!g.lb) presize(v, b.expected());
        gen1var(v, c, nullptr, v->sufinit);
      } while (ss_continue(ss, c));
    g.members = b.finish();
  } else if (TVA* c = ss_begin(ss, tva)) {
    do {
      if (indexed) set_addmem(g.members, ss->first->vals);
      gen1var(v, c, nullptr, v->sufinit);
      if (symbolic) sym_member(v, indexed ? ss->first->vals : nullptr, c);
    } while (ss_continue(ss, c));
  }
  if (!g.member_count) {
    if (g.members) sdelete(g.members);
    g.members = nullptr;
    g.first_col = -1;
  }
  columns_end(v, ac, old_first, old_n);
  // Values and states kept from the last generation follow the members by
  // subscript; then what data gave by subscript joins them.  A symbolic
  // variable keeps its values by data index.
  dropcheck(v, 0, tva);
  sufinit_flush(v, tva);
  v->ninst = g.member_count;
  if (!symbolic) copy_sufs(v, tva);
  return 1;
}

void gen_var_abandon(var* v, TVA* tva) {
  cvgen& g = v->gen;
  var_terms_abandon(v);
  if (tva && tva->ac && g.first_col >= 0)
    columns_gone(tva->ac, g.first_col, g.member_count);
  g.member_count = 0;
  g.first_col = -1;
}

}  // namespace vexo
