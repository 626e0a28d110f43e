// Generation of variable members.
#include "instance/genvar.h"

#include <cmath>
#include <cstring>

#include "compiler/tva.h"
#include "eval/dispatch.h"
#include "eval/evalerr.h"
#include "eval/indexing.h"
#include "eval/iterate.h"
#include "eval/set.h"
#include "frontend/vardcl.h"
#include "instance/ac.h"
#include "instance/gencon.h"
#include "instance/members.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"

namespace vexo {

namespace {

// The per-member arrays of v hold 1 << member_class entries once made.
// When they are full (or not made), every array moves to a block of the
// next class (the first time: class 0, one entry), the old entries copied.
void grow(cvgen& g) {
  if (g.lb && g.member_count < (int32_t(1) << g.member_class)) return;
  int k = g.lb ? g.member_class + 1 : 0;
  for (double** a : {&g.lb, &g.ub}) {
    auto* b = static_cast<double*>(new_mblk(k, 1));
    if (*a) {
      std::memcpy(b, *a, size_t(g.member_count) * sizeof(double));
      del_mblk(blkclass(*a), *a);
    }
    *a = b;
  }
  g.member_class = k;
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

}  // namespace

void gen1var(var* v, TVA* c, set_spec*, expr*) {
  cvgen& g = v->gen;
  grow(g);
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
  g.member_count = i + 1;
  int32_t j = c->ac->n_var_gen++;
  // A defined variable's row (gen_defrow) joins once its definition's
  // references to other variables are answered.
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
  // Its old columns, when they are the problem's last, are taken back.
  if (g.member_count > 0 && g.first_col >= 0 &&
      g.first_col + g.member_count == ac->n_var_gen)
    ac->n_var_gen = g.first_col;
  g.member_count = 0;
  g.member_class = 0;
  g.first_col = ac->n_var_gen;
  set_spec* ss = v->indexing;
  bool indexed = v->kind & 1;
  if (indexed) g.members = set_enum(new_enum(), ss->arity);
  if (!ss) {
    gen1var(v, tva, nullptr, v->sufinit);
  } else if (TVA* c = ss_begin(ss, tva)) {
    do {
      if (indexed) set_addmem(g.members, ss->first->vals);
      gen1var(v, c, nullptr, v->sufinit);
    } while (ss_continue(ss, c));
  }
  if (!g.member_count) {
    cv_release(v);
    g.first_col = -1;
  }
  // ninst stays -1: references read members' values through the data
  // index (xnode2), which follows the member set only once values are
  // carried across generations; until then they report the variable as
  // ungenerated.
  return 1;
}

void gen_var_abandon(var* v, TVA* tva) {
  cvgen& g = v->gen;
  var_terms_abandon(v);
  if (tva && tva->ac && g.first_col >= 0 &&
      g.first_col + g.member_count == tva->ac->n_var_gen)
    tva->ac->n_var_gen = g.first_col;
  g.member_count = 0;
  g.first_col = -1;
}

}  // namespace vexo
