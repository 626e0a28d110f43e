// Membership and generation of ranges, intervals, conditional, literal,
// system, named, table-dummy and invalid sets; set::it_inc; membcopy.
#include "eval/setgen.h"

#include <cmath>
#include <cstdint>

#include "eval/dispatch.h"
#include "eval/evalerr.h"
#include "eval/indexing.h"
#include "eval/slice.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "session/located.h"
#include "session/loop.h"
#include "support/format.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/symbol.h"

namespace vexo {

namespace {

set3p* rec3(set* s) { return static_cast<set3p*>(s); }
expr* xf(void* p) { return static_cast<expr*>(p); }

// Largest count a set can hold: ordinals are 32-bit.
constexpr double MAX_COUNT = 2147483647.0;

}  // namespace

// ---- Ranges ----------------------------------------------------------------

int32_t range_bounds(set* s, TVA* tva, double* lower, double* stride) {
  set3p* r = rec3(s);
  double L = eval_num(xf(r->f1), tva);
  if (std::isinf(L)) eerror(tva, "range with infinite lower bound");
  double U = eval_num(xf(r->f2), tva);
  if (std::isinf(U)) eerror(tva, "range with infinite upper bound");
  double B = r->f3 ? eval_num(xf(r->f3), tva) : 1.;
  if (B == 0) eerror(tva, "zero stride");
  *lower = L;
  *stride = B;
  double q = (U - L) / B;
  if (q < 0) return 0;
  // A count beyond 32 bits (or a NaN bound) cannot be listed.
  if (!(q < MAX_COUNT - 1)) eerror(tva, "range too large");
  return static_cast<int32_t>(q) + 1;
}

symbol* range_member(double lower, double stride, int32_t i) {
  return Number(std::fma(double(i), stride, lower));
}

symbol* range_pass_member(double lower, double stride, int32_t i,
                          symbol* own) {
  double x = std::fma(double(i), stride, lower);
  if (x >= SMALL_INT_MIN && x < SMALL_INT_END && x == std::trunc(x))
    return Number(x);
  // Bound as every number is (that of 0), but nameless and in no table.
  *own = symbol{nullptr, Number(0)->binding, nullptr, x};
  return own;
}

void range_genall(set* s, TVA* tva) {
  double L, B;
  int32_t n = range_bounds(s, tva, &L, &B);
  free_members(s);
  for (int32_t i = 0; i < n; ++i) {
    if (poll_step()) break;  // the set is cleared with the command
    symbol* x = range_member(L, B, i);
    set_append(s, &x);
  }
}

int range_in(set* s, symbol** tuple, TVA* tva) {
  symbol* x = tuple[0];
  if (!is_number(x)) return NOT_MEMBER;
  set3p* r = rec3(s);
  double B = r->f3 ? eval_num(xf(r->f3), tva) : 1.;
  double L = eval_num(xf(r->f1), tva);
  double q = (x->value - L) / B;
  if (q < 0) return NOT_MEMBER;
  double U = eval_num(xf(r->f2), tva);
  if (B > 0 ? x->value > U : x->value < U) return NOT_MEMBER;
  if (!(q + 0.25 < MAX_COUNT)) {
    // A member too far from the start for its position to be counted is
    // still a member.
    double k = std::trunc(q + 0.25);
    return Number(std::fma(k, B, L)) == x ? MEMBER_NO_ORD : NOT_MEMBER;
  }
  int32_t k = static_cast<int32_t>(q + 0.25);
  return Number(std::fma(double(k), B, L)) == x ? k : NOT_MEMBER;
}

// ---- Intervals
// ---------------------------------------------------------------

namespace {

struct set_interval* interval(set* s) {
  return static_cast<struct set_interval*>(s);
}

// The name of an interval in messages: a built-in's, its declaration's, or
// null.
const char* interval_name(set* s) {
  if (const char* n = interval(s)->name) return n;
  return s->owner ? xnode_name(s->owner) : nullptr;
}

}  // namespace

int interval_in(set* s, symbol** tuple, TVA* tva) {
  struct set_interval* iv = interval(s);
  if (iv->type & 8) return MEMBER_NO_ORD;
  symbol* x = tuple[0];
  if (!is_number(x)) return NOT_MEMBER;
  double v = x->value;
  if ((iv->type & 4) && v != std::floor(v)) return NOT_MEMBER;
  double L = eval_num(iv->lower, tva);
  double U = eval_num(iv->upper, tva);
  bool inside;
  switch (iv->type & 3) {
    case 0:
      inside = L < v && v < U;
      break;
    case 1:
      inside = L < v && v <= U;
      break;
    case 2:
      inside = L <= v && v < U;
      break;
    default:
      inside = L <= v && v <= U;
  }
  return inside ? MEMBER_NO_ORD : NOT_MEMBER;
}

void interval_genall(set* s, TVA* tva) {
  struct set_interval* iv = interval(s);
  const char* name = interval_name(s);
  if ((iv->type & 12) != 4)
    eerror(tva, "Attempt to iterate over %s.", name ? name : "an interval");
  double L = eval_num(iv->lower, tva);
  double U = eval_num(iv->upper, tva);
  if (L <= -INFINITY || U >= INFINITY) {
    if (name)
      eerror(tva, "Attempt to iterate over %s = an infinite set.", name);
    eerror(tva, "Attempt to iterate over an infinite set.");
  }
  if (std::isnan(L) || std::isnan(U))
    eerror(tva, "Invalid endpoint for %s.",
           name ? name : "an integer interval");
  double F = std::ceil(L);
  if (!(iv->type & 2) && F == L) F += 1;
  double G = std::floor(U);
  if (!(iv->type & 1) && G == U) G -= 1;
  double c = G - F + 1;
  if (c > MAX_COUNT) {
    if (name) eerror(tva, "Oversize integer interval %s.", name);
    eerror(tva, "Oversize integer interval.");
  }
  free_members(s);
  for (int32_t i = 0, n = c < 1 ? 0 : int32_t(c); i < n; ++i) {
    symbol* x = Number(F + i);
    set_append(s, &x);
  }
}

// ---- Conditional sets -----------------------------------------------------

// The set that the condition chooses; null when its dimension differs
// from s's (reported when the expression was read): it gives no members.
static set* chosen(set* s, TVA* tva) {
  set3p* r = rec3(s);
  set* c = static_cast<set*>(eval_true(xf(r->f1), tva) ? r->f2 : r->f3);
  return c->arity == s->arity ? c : nullptr;
}

int if_in(set* s, symbol** tuple, TVA* tva) {
  set* c = chosen(s, tva);
  return c ? static_cast<int>(set_in(c, tuple, tva)) : NOT_MEMBER;
}

void if_genall(set* s, TVA* tva) {
  if (set* c = chosen(s, tva))
    membcopy(s, c, tva);
  else
    free_members(s);
}

void membcopy(set* d, set* s, TVA* tva) {
  if (s->nmem < 0) set_genall(s, tva);
  free_members(d);
  d->new_htab(s->nmem);
  for (setmem* m = s->first; m; m = m->next)
    if (m->ord >= 0) d->addmem(m->tup());
}

// ---- Literal sets -----------------------------------------------------------

void slit_genall(set* s, TVA* tva) {
  set3p* r = rec3(s);
  int n = static_cast<int>(reinterpret_cast<intptr_t>(r->f2));
  free_members(s);
  s->new_htab(n);
  symbol* t[TUPMAX];
  expr* e = xf(r->f1);
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < s->arity; ++j, e = e->next) t[j] = eval_sym(e, tva);
    if (!s->addmem(t)) continue;
    // Reported and skipped; generation goes on, but the report counts as
    // an error (towards the exit status and the error limit).
    if (!mgwhere(tva)) {
      Fprintf(Stderr, "duplicate member %s in literal set\n",
              slist(s->arity, t, 1));
      warninc(2);
    }
  }
}

int slit_in(set* s, symbol** tuple, TVA* tva) {
  // Through set_genall, so that members which depend on a loop's dummy
  // are dropped when the loop moves on (later tests read the table).
  set_genall(s, tva);
  return s->lookup(tuple);
}

// ---- System sets
// -------------------------------------------------------------

void sys_genall(set* s, TVA*) {
  free_members(s);
  const xclass_rec& c = xclass[s->cword];
  for (int i = 0; i < c.n; ++i) {
    xnode* d = c.a[i];
    if (d->num < N_System_Pars) continue;
    set_append(s, &d->name);
  }
  if (s->nmem > 0) s->rehash();
}

// The declaration a member names, or null.
static xnode* declared(symbol* x) {
  void* b = x->binding;
  if (!b || is_number(x)) return nullptr;
  uint32_t k = bound_kind(b);
  return k < N_DKINDS && k >= DK_VAR ? static_cast<xnode*>(b) : nullptr;
}

int sys_in(set* s, symbol** tuple, TVA*) {
  xnode* d = declared(tuple[0]);
  return d && xtype[d->kind] == s->cword ? MEMBER_NO_ORD : NOT_MEMBER;
}

// Constraints are members without a known position: their names are
// listed in declaration order, which membership does not look up.
static int constraint_member(symbol* x, bool logical) {
  xnode* d = declared(x);
  if (!d || (d->kind != DK_CON && d->kind != DK_CONI)) return NOT_MEMBER;
  bool is_logical = static_cast<constr*>(d)->logbody != nullptr;
  return is_logical == logical ? MEMBER_NO_ORD : NOT_MEMBER;
}

int constr_in(set*, symbol** tuple, TVA*) {
  return constraint_member(tuple[0], false);
}
int lconstr_in(set*, symbol** tuple, TVA*) {
  return constraint_member(tuple[0], true);
}

// ---- Routines that must not run --------------------------------------------

int named_in(set*, symbol**, TVA* tva) {
  terror(tva, "named_in called");
  return NOT_MEMBER;
}
void named_genall(set* s, TVA* tva) {
  terror(tva, "named_genall called");
  s->nmem = 0;
}
int db_in(set*, symbol**, TVA* tva) {
  terror(tva, "db_in called");
  return NOT_MEMBER;
}
void db_genall(set* s, TVA* tva) {
  terror(tva, "db_genall called");
  s->nmem = 0;
}

int invalid_in(set* s, symbol**, TVA* tva) { invalid_genall(s, tva); }

void invalid_genall(set* s, TVA* tva) {
  set2p* r = static_cast<set2p*>(s);
  eerror(tva, "no data for %s %s", static_cast<const char*>(r->f1),
         static_cast<const char*>(r->f2));
}

// ---- Use counts ------------------------------------------------------------

void set_it_inc(set* s) {
  ++s->nuse;
  switch (s->sclass) {
    case SC_ENUM:
    case SC_RANGE:
    case SC_LITERAL:
    case SC_SYS:
    case SC_SYSENUM:
    case SC_SUBSCR:
    case SC_INVALID:
    case SC_NAMED:
      return;
    case SC_SPEC:
    case SC_SPECSET:
      for (Index* ix = static_cast<set_spec*>(s)->first; ix; ix = ix->next)
        set_it_inc(ix->s);
      return;
    case SC_UNION:
    case SC_DIFF:
    case SC_SYMDIFF:
    case SC_INTER:
      set_it_inc(static_cast<set*>(rec3(s)->f1));
      set_it_inc(static_cast<set*>(rec3(s)->f2));
      return;
    case SC_SETOF:
    case SC_ITUNION:
    case SC_ITINTER:
      set_it_inc(static_cast<set*>(rec3(s)->f1));
      return;
    case SC_IF:
      set_it_inc(static_cast<set*>(rec3(s)->f2));
      set_it_inc(static_cast<set*>(rec3(s)->f3));
      return;
    case SC_ORDERED:
      if (list* cell = static_cast<list*>(rec3(s)->f2))
        if (cell->item.s) set_it_inc(cell->item.s);
      set_it_inc(static_cast<set*>(rec3(s)->f1));
      return;
    case SC_CROSS: {
      set** f = static_cast<set**>(rec3(s)->f1);
      for (int i = 0; i < s->cword; ++i) set_it_inc(f[i]);
      return;
    }
    case SC_SLICE:
      set_it_inc(static_cast<set*>(rec3(s)->f3));
      return;
    case SC_INTERVAL:
      s->nuse = 0;
      return;
    default:
      bug("impossible type %d in set::it_inc", int(s->sclass));
  }
}

}  // namespace vexo
