// Constructors of the set classes and the reconciliation of operand
// dimensions.
#include "eval/setclass.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "eval/evalerr.h"
#include "eval/indexing.h"
#include "eval/iterate.h"
#include "eval/setgen.h"
#include "eval/setops.h"
#include "eval/slice.h"
#include "frontend/decl.h"
#include "frontend/dummy.h"
#include "frontend/expr.h"
#include "frontend/exprbuild.h"
#include "frontend/paramdcl.h"
#include "frontend/strexpr.h"
#include "instance/names.h"
#include "session/located.h"
#include "support/format.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"

namespace vexo {

const set_in_fn set_class_in[N_SET_CLASSES] = {
    nullptr,    enum_in,      spec_in,     spec_in,    range_in,
    union_in,   diff_in,      symdiff_in,  inter_in,   setof_in,
    itunion_in, itinter_in,   if_in,       ordered_in, slit_in,
    cross_in,   sys_in,       nullptr,     nullptr,    set_subscr_in,
    invalid_in, set_slice_in, interval_in, named_in,   db_in};
const set_genall_fn set_class_genall[N_SET_CLASSES] = {
    nullptr,        enum_genall,      set_spec_genall, set_spec_genall,
    range_genall,   union_genall,     diff_genall,     symdiff_genall,
    inter_genall,   setof_genall,     itunion_genall,  itinter_genall,
    if_genall,      ordered_genall,   slit_genall,     cross_genall,
    sys_genall,     nullptr,          nullptr,         set_subscr_genall,
    invalid_genall, set_slice_genall, interval_genall, named_genall,
    db_genall};

static int unready_in(set* s, symbol**, TVA* tva) {
  terror(tva, "set class %d cannot be evaluated yet", int(s->sclass));
  return NOT_MEMBER;
}
static void unready_genall(set* s, TVA* tva) {
  terror(tva, "set class %d cannot be evaluated yet", int(s->sclass));
}

// A subscripted set used with the wrong number of subscripts: the error is
// reported where the set is used.
[[noreturn]] static void suberr(set* s, TVA* tva) {
  mgwhere(tva);
  Fprintf(Stderr, "wrong number of subscripts for set %s\n",
          xnode_name(static_cast<xnode*>(static_cast<set3p*>(s)->f1)));
  bailout();
}
int set_suberr_in(set* s, symbol**, TVA* tva) { suberr(s, tva); }
void set_suberr_genall(set* s, TVA* tva) { suberr(s, tva); }

// The declaration last told that its dimension must be given.
static xnode* fixarity_lastdecl;

void setclass_reset() { fixarity_lastdecl = nullptr; }

static void del_e(expr* e) { edelete(e); }
static void del_chain(expr* e) {
  while (e) {
    expr* n = e->next;
    e->next = nullptr;
    del_e(e);
    e = n;
  }
}
static void del_s(void* s) {
  if (s) sdelete(static_cast<set*>(s));
}
static expr* numeric(expr* e) { return e ? make_numeric(e) : e; }
static bool has_vars(const expr* e) {
  return e && has_flag(e, EF_VARS | EF_RANDVAR);
}

// The class release routines: the generated members, their table and
// ordinal index go with the record (free_members), and so do the operands
// it owns.
static void release_range(set* s) {
  set3p* r = static_cast<set3p*>(s);
  free_members(s);
  del_e(static_cast<expr*>(r->f1));
  del_e(static_cast<expr*>(r->f2));
  del_e(static_cast<expr*>(r->f3));
}
static void release_binop(set* s) {
  set2p* r = static_cast<set2p*>(s);
  free_members(s);
  del_s(r->f1);
  del_s(r->f2);
}
static void release_setof(set* s) {
  set2p* r = static_cast<set2p*>(s);
  free_members(s);
  del_s(r->f1);
  del_chain(static_cast<expr*>(r->f2));
}
static void release_itop(set* s) {
  set3p* r = static_cast<set3p*>(s);
  free_members(s);
  del_s(r->f1);
  del_s(r->f2);
}
static void release_if(set* s) {
  set3p* r = static_cast<set3p*>(s);
  free_members(s);
  del_e(static_cast<expr*>(r->f1));
  del_s(r->f2);
  del_s(r->f3);
}
static void release_ordered(set* s) {
  set2p* r = static_cast<set2p*>(s);
  free_members(s);
  del_s(r->f1);
  // The ordered-by cell belongs to the declaration.
}
static void release_literal(set* s) {
  free_members(s);
  del_chain(static_cast<expr*>(static_cast<set3p*>(s)->f1));
}
static void release_cross(set* s) {
  set3p* r = static_cast<set3p*>(s);
  free_members(s);
  set** f = static_cast<set**>(r->f1);
  if (f) {
    for (int i = 0; i < s->cword; ++i) del_s(f[i]);
    del_mblk(int(reinterpret_cast<intptr_t>(r->f2)), f);
  }
}
static void release_subscr(set* s) {
  set3p* r = static_cast<set3p*>(s);
  // The adopted members belong to the member set.
  drop_members(s);
  del_e(static_cast<expr*>(r->f2));
  del_s(r->f3);
}

static void release_spec(set* s) { set_spec_delete(static_cast<set_spec*>(s)); }

void (*const set_release[N_SET_CLASSES])(set*) = {
    nullptr,       nullptr,         release_spec,    release_spec,
    release_range, release_binop,   release_binop,   release_binop,
    release_binop, release_setof,   release_itop,    release_itop,
    release_if,    release_ordered, release_literal, release_cross,
    nullptr,       nullptr,         nullptr,         release_subscr,
    nullptr,       nullptr,         nullptr,         nullptr,
    nullptr};

// The depth of a new record from its operands' depths (one level more than
// the deepest); a record beyond the nesting limit is refused.
static void nest(set* r, std::initializer_list<uint32_t> operands) {
  r->depth = nest_check(std::max(operands) + 1);
}

// The common head of a new record: kind, class, not generated, one
// reference, arity and the class routines.
static void head(set* s, uint32_t c, int arity) {
  s->kind = SET_KIND;
  s->sclass = c;
  s->nmem = -1;
  s->refcnt = 1;
  s->arity = arity;
  s->in = set_class_in[c] ? set_class_in[c] : unready_in;
  s->genall = set_class_genall[c] ? set_class_genall[c] : unready_genall;
}

static xnode* arity_decl(set* s) {
  if (s->sclass == SC_SUBSCR)
    return static_cast<xnode*>(static_cast<set3p*>(s)->f1);
  return s->owner;
}

void fixarity(set* s, int n, int) {
  xnode* d = arity_decl(s);
  if (n == 0) {
    if (d != fixarity_lastdecl) {
      fixarity_lastdecl = d;
      error(0, "dimen of %s needs to be given", d ? xnode_name(d) : "set");
    }
    set_rc_bit(8);
    return;
  }
  s->arity = n;
  if (d) static_cast<setdcl*>(d)->dimen = n;
}

int arity_check(set* L, set* R) {
  int a = L->arity, b = R->arity;
  if (a == b && a) return a;
  if (!a && b) {
    fixarity(L, b, 0);
    return b;
  }
  if (a && !b) {
    fixarity(R, a, 0);
    return a;
  }
  if (!a) {
    fixarity(L, 0, 0);
    return 1;
  }
  error(0, "left set operand has dimen %d, right has %d", a, b);
  set_rc_bit(8);
  return a;
}

set* empty_set(int arity, set* s) {
  if (s && s->arity == arity && s->sclass == SC_ENUM && s->nmem == 0) return s;
  if (s) sdelete(s);
  set* e = set_enum(new_enum(), arity);
  return e;
}

static expr* range_bound(expr* e, const char* what, double dflt) {
  if (has_vars(e)) {
    error(0, "variable in %s of range set", what);
    del_e(e);
    e = new_num(dflt);
  }
  return numeric(e);
}

set* set_range(expr* from, expr* to, expr* by) {
  set3p* r = new_set3p();
  head(r, SC_RANGE, 1);
  r->f1 = range_bound(from, "lower bound", 0.);
  r->f2 = range_bound(to, "upper bound", 0.);
  if (!by) by = new_num(1.);
  r->f3 = by ? range_bound(by, "stride", 1.) : nullptr;
  nest(r,
       {nest_of(static_cast<expr*>(r->f1)), nest_of(static_cast<expr*>(r->f2)),
        nest_of(static_cast<expr*>(r->f3))});
  return r;
}

set* set_binop(set* L, set* R, int code) {
  if (code < int(SC_UNION) || code > int(SC_INTER))
    badtype("set_binop::set_binop", unsigned(code));
  set2p* r = new_set2p();
  head(r, uint32_t(code), arity_check(L, R));
  r->f1 = L;
  r->f2 = R;
  nest(r, {nest_of(L), nest_of(R)});
  return r;
}

set* set_cross(set* L, set* R) {
  tuple_limit(L->arity + R->arity);
  set3p* r = new_set3p();
  head(r, SC_CROSS, L->arity + R->arity);
  int k = htcl(2 * sizeof(set*));
  set** f = static_cast<set**>(new_mblk(k));
  f[0] = L;
  f[1] = R;
  r->f1 = f;
  r->f2 = reinterpret_cast<void*>(intptr_t(k));
  r->cword = 2;
  nest(r, {nest_of(L), nest_of(R)});
  return r;
}

set* setof(set_spec* ix, expr* tuple) {
  int n = listlen(tuple);
  tuple_limit(n);
  set2p* r = new_set2p();
  head(r, SC_SETOF, n);
  r->f1 = ix;
  r->f2 = tuple;
  end_context(ix, nullptr);
  nest(r, {nest_of(ix), chain_nest(tuple)});
  return r;
}

set* it_setop(set_spec* ix, set* s, int code) {
  if (code != int(SC_ITUNION) && code != int(SC_ITINTER))
    bug("type %d in it_setop::it_setop", code);
  set3p* r = new_set3p();
  head(r, uint32_t(code), s->arity);
  r->f1 = ix;
  r->f2 = s;
  end_context(ix, nullptr);
  nest(r, {nest_of(ix), nest_of(s)});
  return r;
}

static bool lone_empty(const set* s) {
  return s->sclass == SC_ENUM && s->nmem == 0 && s->refcnt == 1;
}

set* set_if(expr* cond, set* a, set* b) {
  if (has_vars(cond)) error(0, "variable in logical set expression");
  int n;
  if (a->arity == b->arity && a->arity) {
    n = a->arity;
  } else if (!a->arity || !b->arity) {
    n = arity_check(a, b);
  } else if (lone_empty(a)) {
    n = b->arity;
    a = empty_set(n, a);
  } else if (lone_empty(b)) {
    n = a->arity;
    b = empty_set(n, b);
  } else {
    error(0, "\"then\" set has dimen %d, \"else\" has dimen %d", a->arity,
          b->arity);
    set_rc_bit(8);
    n = a->arity;
  }
  set3p* r = new_set3p();
  head(r, SC_IF, n);
  r->f1 = cond;
  r->f2 = a;
  r->f3 = b;
  nest(r, {nest_of(cond), nest_of(a), nest_of(b)});
  return r;
}

// The parser's chain (newest first) in source order, symbol-valued.
static expr* symbols(expr* chain) { return symlist(SYML_LITSET, chain); }

set* set_literal(expr* members) {
  set3p* r = new_set3p();
  head(r, SC_LITERAL, 1);
  expr* m = symbols(members);
  r->f1 = m;
  r->f2 = reinterpret_cast<void*>(intptr_t(listlen(m)));
  nest(r, {chain_nest(m)});
  return r;
}

set* set_literal(list* tuples) {
  tuples = reverse(tuples);
  int k0 = tuples ? listlen(tuples->item.e) : 1;
  tuple_limit(k0);
  expr *first = nullptr, *last = nullptr;
  intptr_t kept = 0;
  int i = 0;
  for (list* t = tuples; t; t = t->next) {
    ++i;
    expr* c = t->item.e;
    int k = listlen(c);
    if (k != k0) {
      error(0, "tuple 1 has %d components, tuple %d has %d", k0, i, k);
      del_chain(c);
      continue;
    }
    // symlist takes a chain newest first.
    c = symbols(reverse(c));
    if (!c) continue;
    if (last)
      last->next = c;
    else
      first = c;
    for (last = c; last->next; last = last->next) {
    }
    ++kept;
  }
  free_list(tuples);
  set3p* r = new_set3p();
  head(r, SC_LITERAL, k0);
  r->f1 = first;
  r->f2 = reinterpret_cast<void*>(kept);
  nest(r, {chain_nest(first)});
  return r;
}

set* set_interval(int kind, expr* lo, expr* hi, int type) {
  struct set_interval* r = new_set_interval();
  if (kind == 1)
    type |= 4;
  else if (kind != 0)
    error(0, "invalid interval type");
  head(r, SC_INTERVAL, 1);
  if (lo) {
    lo = numeric(lo);
    hi = numeric(hi);
  }
  r->lower = lo;
  r->upper = hi;
  r->type = type;
  r->name = nullptr;
  nest(r, {nest_of(lo), nest_of(hi)});
  return r;
}

set* set_named(xnode* sd) {
  set* r = new_enum();
  head(r, SC_NAMED, static_cast<setdcl*>(sd)->dimen);
  r->owner = sd;
  return r;
}

set* set_spec_set(set_spec* ss) {
  end_context(ss, nullptr);
  Index* ix = ss->first;
  if (ix && !ix->next && !ss->cond && ix->s && ix->s->sclass != SC_SLICE) {
    set* s = ix->s;
    ++s->refcnt;
    sdelete(ss);
    return s;
  }
  ss->sclass = SC_SPECSET;
  ss->in = set_class_in[SC_SPECSET] ? set_class_in[SC_SPECSET] : unready_in;
  ss->genall = set_class_genall[SC_SPECSET] ? set_class_genall[SC_SPECSET]
                                            : unready_genall;
  return ss;
}

set* set_sys(int c) {
  set* r = new_setdb();
  head(r, SC_SYS, 1);
  r->cword = c;
  if (c == XC_CONS)
    r->in = constr_in;
  else if (c == XC_LOGCONS)
    r->in = lconstr_in;
  return r;
}

set* set_invalid(const char* what, const char* name) {
  set2p* r = new_set2p();
  head(r, SC_INVALID, 1);
  r->f1 = const_cast<char*>(what);
  r->f2 = const_cast<char*>(name);
  return r;
}

set* set_db(int column) {
  set* r = new_setdb();
  head(r, SC_DB, 1);
  r->cword = column;
  return r;
}

set* set_ordered(set* s, list* orderby) {
  set2p* r = new_set2p();
  head(r, SC_ORDERED, 1);
  r->f1 = s;
  r->f2 = orderby;
  nest(r, {nest_of(s)});
  return r;
}

set* new_set_subscr(xnode* sd, expr* lookup, int arity, int bad) {
  set3p* r = new_set3p();
  head(r, SC_SUBSCR, arity);
  if (bad) {
    r->in = set_suberr_in;
    r->genall = set_suberr_genall;
  }
  r->f1 = sd;
  r->f2 = lookup;
  r->f3 = nullptr;
  nest(r, {nest_of(lookup)});
  return r;
}

}  // namespace vexo
