// Generation of constraint and objective members.
#include "instance/gencon.h"

#include <cmath>
#include <cstring>
#include <exception>
#include <initializer_list>
#include <string>
#include <vector>

#include "compiler/genterms.h"
#include "compiler/tva.h"
#include "eval/dispatch.h"
#include "eval/evalerr.h"
#include "eval/indexing.h"
#include "eval/iterate.h"
#include "eval/set.h"
#include "frontend/conbody.h"
#include "frontend/condcl.h"
#include "frontend/expr.h"
#include "frontend/strexpr.h"
#include "frontend/vardcl.h"
#include "instance/ac.h"
#include "instance/genmod.h"
#include "instance/members.h"
#include "instance/memberset.h"
#include "instance/varref.h"
#include "support/format.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"

namespace vexo {

namespace {

// Generations of variables, constraints and objectives so far: a target
// made after a variable holds none of the terms of its earlier members.
int32_t gen_count;

// ---- Per-member arrays -------------------------------------------------------

int slots_per_member(const convar* d) { return (d->flags & CV_TWOSLOTS) ? 2 : 1; }

// The class of d's arrays of `bytes` bytes per slot.
int array_class(const convar* d, int bytes) {
  return elem_class(d->gen.member_class + slots_per_member(d) - 1, bytes);
}

// Moves *a (of class k, n bytes in use) to a zeroed block of class k + 1.
template <typename T>
void move_up(T** a, int k, size_t used) {
  if (!*a) return;
  void* b = new_mblk(k + 1, 1);
  std::memcpy(b, *a, used);
  del_mblk(k, *a);
  *a = static_cast<T*>(b);
}

void free_block(void* p) {
  if (p) del_mblk(blkclass(p), p);
}

// The entries of the pointer array a (its block zeroed beyond the used
// ones).
template <typename T>
int32_t entries(T** a) {
  return int32_t((size_t(8) << blkclass(a)) / sizeof(T*));
}

template <typename T>
void free_array(T** a) {
  free_block(*a);
  *a = nullptr;
}

// ---- Bodies --------------------------------------------------------------------

// Lists a body left behind when its evaluation was abandoned (an error
// leaves them for the next member otherwise).
void gm_discard() {
  free_varref(gm_v);
  gm_v = nullptr;
  ldelete(gm_e);
  gm_e = nullptr;
  while (plterm* p = gm_p) {
    gm_p = p->next;
    del_mblk(p->block_class, p);
  }
  gm_i = 0;
}

// Evaluates body e in generation mode: its constant, its terms left on the
// lists (empty before).
double gen_body(expr* e, TVA* c) {
  gm_discard();
  return eval_num(e, c);
}

// Moves what a body left on the lists into slot s of d's term arrays, each
// made on first use; the nonlinear parts in source order.
void take_terms(convar* d, int32_t s) {
  cvgen& g = d->gen;
  if (gm_v) {
    if (!g.lin) g.lin = static_cast<varref**>(gm_array(d, 8));
    g.lin[s] = gm_v;
    gm_v = nullptr;
  }
  if (gm_e) {
    if (!g.nonlin) g.nonlin = static_cast<expr**>(gm_array(d, 8));
    g.nonlin[s] = reverse(gm_e);
    gm_e = nullptr;
  }
  if (gm_p) {
    if (!g.pl) g.pl = static_cast<plterm**>(gm_array(d, 8));
    g.pl[s] = gm_p;
    gm_p = nullptr;
  }
}

[[noreturn]] void inappropriate(TVA* c, double x) {
  mgwhere(c);
  Fprintf(Stderr, "Inappropriate use of %g.\n", x);
  bailout();
}

// ---- Rows ----------------------------------------------------------------------

// Where a row's bound comes from: no bound (the infinity of its side), the
// body's constant moved across (-c), or a range's first or second bound
// expression less c.
enum side_rule : uint8_t { NO_BOUND, NEG_CONST, FIRST_LESS_C, SECOND_LESS_C };

struct row_rule {
  side_rule lower, upper;
};

// Row bounds by relation code (frontend/conbody.h); codes 5 to 7 are not
// made (ctype_known refuses them).
constexpr row_rule row_rules[] = {
    {NEG_CONST, NEG_CONST},          // 0 body = 0
    {NO_BOUND, NEG_CONST},           // 1 body <= 0
    {NEG_CONST, NO_BOUND},           // 2 body >= 0
    {FIRST_LESS_C, SECOND_LESS_C},   // 3 lo <= body <= hi
    {SECOND_LESS_C, FIRST_LESS_C},   // 4 lo >= body >= hi
    {NO_BOUND, NO_BOUND},            // 5..7 (never met)
    {NO_BOUND, NO_BOUND},
    {NO_BOUND, NO_BOUND},
    {NO_BOUND, NO_BOUND},            // 8 a lone expression
};

double side_value(side_rule r, double none, double c, expr* range, TVA* ctx) {
  switch (r) {
    case NO_BOUND:
      return none;
    case NEG_CONST:
      return -c;
    case FIRST_LESS_C:
      return eval_num(range->L.e, ctx) - c;
    case SECOND_LESS_C:
      return eval_num(range->R.e, ctx) - c;
  }
  return none;
}

// The slot that gen2constr fills next (gen1constr sets it per member).
int32_t next_slot;

// The number of d's next member, room made for it.
int32_t next_member(convar* d) {
  gm_grow(d);
  return d->gen.member_count;
}

[[noreturn]] void bad_ctype(TVA* c, int ctype) {
  eerror(c, "unexpected ctype %d in gen1constr\n", ctype);
}

// ---- Declarations ----------------------------------------------------------------

// Whether a set of ss never got data (the declaration is then left
// ungenerated: the command that cited it says what is missing).
bool lacks_data(set_spec* ss) {
  if (ss)
    for (Index* ix = ss->first; ix; ix = ix->next)
      if (ix->s && set_without_data(ix->s)) return true;
  return false;
}

// Starts the generation of c's members: none yet, the arrays' first class
// holds one member of a scalar, two of an indexed declaration.
void begin_members(constr* c) {
  cvgen& g = c->gen;
  gen_release(c);
  g.gen_seq = ++gen_count;
  g.member_count = 0;
  g.member_class = int32_t(c->kind & 1);
  if (g.members) sdelete(g.members);
  g.members = nullptr;
}

using member_gen = void (*)(constr*, TVA*, set_spec*, expr*);

// When an error abandons the generation of d's members (the command's
// exception passes), what they made so far goes: the next generation
// starts afresh, and nothing reads a half-built row meanwhile.
class partial_members {
 public:
  explicit partial_members(constr* d) : d_(d) {}
  ~partial_members() {
    if (std::uncaught_exceptions() > pending_) {
      gm_discard();
      gen_release(d_);
    }
  }
  partial_members(const partial_members&) = delete;
  partial_members& operator=(const partial_members&) = delete;

 private:
  constr* d_;
  int pending_ = std::uncaught_exceptions();
};

// Generates each member of d with gen, in the walk of its indexing.
int gen_members(constr* d, TVA* tva, member_gen gen) {
  if (lacks_data(d->indexing)) return 0;
  begin_members(d);
  partial_members guard(d);
  cvgen& g = d->gen;
  set_spec* ss = d->indexing;
  bool indexed = d->kind & 1;
  if (!ss) {
    gen(d, tva, nullptr, d->sufinit);
  } else {
    // The members are built on the side (the set may be one that an
    // earlier declaration holds).
    member_builder b(ss->arity);
    if (TVA* c = ss_begin(ss, tva)) do {
        if (indexed) b.add(ss->first->vals);
        gen(d, c, nullptr, d->sufinit);
      } while (ss_continue(ss, c));
    if (indexed) g.members = b.finish();
  }
  if (!g.member_count) {
    gen_release(d);
    if (g.members) sdelete(g.members);
    g.members = nullptr;
  }
  return 1;
}

}  // namespace

// ---- Arrays ----------------------------------------------------------------------

void gencon_reset() { gen_count = 0; }

void* gm_array(const convar* d, int bytes) {
  return new_mblk(array_class(d, bytes), 1);
}

void gm_grow(convar* d) {
  cvgen& g = d->gen;
  if (g.member_count < (int32_t(1) << g.member_class)) return;
  size_t n = size_t(g.member_count) * size_t(slots_per_member(d));
  int k8 = array_class(d, 8), k4 = array_class(d, 4);
  for (double** a : {&g.lb, &g.ub, &g.consts, &g.init_vals})
    move_up(a, k8, n * 8);
  move_up(&g.lin, k8, n * 8);
  move_up(&g.nonlin, k8, n * 8);
  move_up(&g.pl, k8, n * 8);
  move_up(&g.logexpr, k8, n * 8);
  move_up(&g.eq_col, k4, n * 4);
  ++g.member_class;
}

void gen_release(convar* d) {
  cvgen& g = d->gen;
  for (double** a : {&g.lb, &g.ub, &g.consts, &g.init_vals}) free_array(a);
  free_array(&g.eq_col);
  // Every slot of a list array is freed, not only the counted members':
  // an abandoned member may have stored some of its lists.
  if (g.lin) vrefzap(&g.lin, blkclass(g.lin), entries(g.lin));
  if (g.nonlin) exprzap(&g.nonlin, blkclass(g.nonlin), entries(g.nonlin));
  if (g.pl) plzap(&g.pl, blkclass(g.pl), entries(g.pl));
  if (g.logexpr) exprzap(&g.logexpr, blkclass(g.logexpr), entries(g.logexpr));
}

// ---- Members -----------------------------------------------------------------------

void gen2constr(constr* c, int ctype, expr* body, TVA* ctx) {
  cvgen& g = c->gen;
  int32_t s = next_slot++;
  if (!g.lb) g.lb = static_cast<double*>(gm_array(c, 8));
  if (!g.ub) g.ub = static_cast<double*>(gm_array(c, 8));
  if (!ctype_known(ctype)) bad_ctype(ctx, ctype);
  if (!body) {
    // A node without a body: an empty row.
    g.lb[s] = g.ub[s] = 0;
    return;
  }
  double k = gen_body(body->L.e, ctx);
  const row_rule& r = row_rules[ctype];
  double lo = side_value(r.lower, negInfinity, k, body->R.e, ctx);
  double hi = side_value(r.upper, Infinity, k, body->R.e, ctx);
  // -Infinity below and +Infinity above are the absence of a bound.
  if (!(lo < Infinity)) inappropriate(ctx, lo);
  if (!(hi > negInfinity)) inappropriate(ctx, hi);
  if (ctype == CB_EXPR) {
    if (!std::isfinite(k)) inappropriate(ctx, k);
    if (!g.consts) g.consts = static_cast<double*>(gm_array(c, 8));
    g.consts[s] = -k;
  }
  if (ctype == CB_EQ && gm_i) {
    if (!g.eq_col) g.eq_col = static_cast<int32_t*>(gm_array(c, 4));
    g.eq_col[s] = int32_t(gm_i);
  }
  gm_i = 0;
  take_terms(c, s);
  g.lb[s] = lo;
  g.ub[s] = hi;
}

void gen1constr(constr* c, TVA* ctx, set_spec*, expr*) {
  int32_t i = next_member(c);
  cvgen& g = c->gen;
  if (c->logbody) {
    double k = gen_body(c->logbody, ctx);
    if (!g.logexpr) g.logexpr = static_cast<expr**>(gm_array(c, 8));
    expr* e = gm_e;
    gm_e = nullptr;
    if (!e) {
      // The expression decided itself: its truth stands as a literal.
      e = new_expr(opword(OPLOGLIT), int32_t(k != 0));
      e->op = f_OPLOGLIT;
    }
    g.logexpr[i] = e;
    gm_discard();
  } else {
    int w = int(c->flags & 15);
    next_slot = i * slots_per_member(c);
    if ((w & CB_COMPL) && c->body) {
      // A complementarity: each side is a row of its own code.
      for (expr* side : {c->body->L.e, c->body->R.e})
        gen2constr(c, side ? int(side->opword) : int(CB_EQ), side, ctx);
    } else {
      gen2constr(c, w, c->body, ctx);
    }
  }
  if (expr* d = c->idual ? c->idual : c->ddual) {
    double y = eval_num(d, ctx);
    if (!g.init_vals) g.init_vals = static_cast<double*>(gm_array(c, 8));
    g.init_vals[i] = y;
  }
  g.member_count = i + 1;
  ++ctx->ac->n_con_gen;
}

void gen1obj(constr* o, TVA* ctx, set_spec*, expr*) {
  int32_t i = next_member(o);
  cvgen& g = o->gen;
  if (o->body) {
    double k = gen_body(o->body, ctx);
    if (!std::isfinite(k)) inappropriate(ctx, k);
    if (!g.consts) g.consts = static_cast<double*>(gm_array(o, 8));
    g.consts[i] = k;
    gm_i = 0;
    take_terms(o, i);
  }
  g.member_count = i + 1;
  ++ctx->ac->n_obj_gen;
}

int gen_constr(constr* c, TVA* tva) { return gen_members(c, tva, gen1constr); }

int gen_obj(constr* o, TVA* tva) { return gen_members(o, tva, gen1obj); }

// ---- Variables' rows and column clauses ------------------------------------------

namespace {

// The name of member tuple of d as messages print it: "x", "x[2]",
// "x['a',3]".
std::string member_text(const xnode* d, symbol* const* tuple) {
  return std::string(d->name->name) + (tuple ? slist1(d, tuple) : "");
}

// The subscript of the member of v being generated (its indexing's
// cells), or null for a scalar.
symbol* const* var_tuple(const var* v) {
  return v->indexing && v->indexing->first ? v->indexing->first->vals
                                           : nullptr;
}

// The member of t's target that its subscripts name in context c; after
// the location, "<target>[<subscript>] does not exist" and the command
// abandoned when there is none.
int32_t target_member(var_term* t, TVA* c) {
  constr* d = t->con;
  const cvgen& g = d->gen;
  if (!t->lookup) {
    if (g.member_count > 0) return 0;
    mgwhere(c);
    Fprintf(Stderr, "%s does not exist\n", d->name->name);
    bailout();
  }
  symbol** tuple = getbadsub(t->lookup, c);
  int arity = d->indexing ? d->indexing->arity : 1;
  std::vector<symbol*> sub(tuple, tuple + arity);
  int64_t k = g.members ? set_lookup(g.members, sub.data()) : -1;
  if (k >= 0 && k < g.member_count) return int32_t(k);
  mgwhere(c);
  Fprintf(Stderr, "%s does not exist\n", member_text(d, sub.data()).c_str());
  bailout();
}

// How many `to` and `from` terms the member being generated has put.
int32_t arc_terms[2];

const char* const arc_name[2] = {"to", "from"};
const double arc_sign[2] = {1.0, -1.0};

// The term (column j, coefficient) of clause t, its subscripts bound in
// cc (v's member bound there too), on its target's member.
void column_term(var* v, var_term* t, TVA* cc, int32_t j) {
  int32_t k = target_member(t, cc);
  gm_discard();
  double a = t->coef ? eval_num(t->coef, cc) : 1.0;
  // A coefficient with variables (the front end cautioned) adds nothing.
  gm_discard();
  if (a != 0) {
    constr* d = t->con;
    cvgen& g = d->gen;
    int32_t s = k * slots_per_member(d);
    if (!g.lin) g.lin = static_cast<varref**>(gm_array(d, 8));
    g.lin[s] = new_varref(g.lin[s], j, a);
  }
  if (t->kind != VT_TO && t->kind != VT_FROM) return;
  int w = t->kind == VT_TO ? 0 : 1;
  if (a * arc_sign[w] < 0)
    error(2, "%s has \"%s %s %g\"",
          member_text(v, var_tuple(v)).c_str(), arc_name[w],
          member_text(t->con, t->lookup ? getbadsub(t->lookup, cc)
                                        : nullptr)
              .c_str(),
          a);
  // A second term of one kind; the front end has cautioned about two
  // unindexed clauses already.
  uint64_t said = w ? VF_FROMWARN : VF_TOWARN;
  if (++arc_terms[w] == 2 && !(v->flags & said))
    error(2, "%s has multiple \"%s\" clauses",
          member_text(v, var_tuple(v)).c_str(), arc_name[w]);
}

}  // namespace

void gen_colterms(var* v, TVA* c, int32_t j) {
  arc_terms[0] = arc_terms[1] = 0;
  for (var_term* t = v->arcs; t; t = t->next) {
    // A target never generated (left for want of data) takes no terms.
    if (!t->con->gen.gen_seq) continue;
    if (!t->ix) {
      column_term(v, t, c, j);
      continue;
    }
    if (TVA* cc = ss_begin(t->ix, c)) do
        column_term(v, t, cc, j);
      while (ss_continue(t->ix, cc));
  }
}

void gen_defrow(var* v, TVA* c, int32_t i, int32_t j) {
  constr* d = v->defcon;
  cvgen& g = d->gen;
  g.member_count = i;
  gm_grow(d);
  // Earlier columns' definitions may be referred to, not this one's.
  recvar_lim = j;
  // init is the negated definition: its constant is -(the definition's).
  double k = gen_body(v->init, c);
  if (!std::isfinite(k)) inappropriate(c, -k);
  if (!g.consts) g.consts = static_cast<double*>(gm_array(d, 8));
  g.consts[i] = -k;
  gm_v = new_varref(gm_v, j, 1.0);
  gm_i = 0;
  take_terms(d, i);
  g.member_count = i + 1;
  ++c->ac->n_con_gen;
}

namespace {

// Takes the terms of columns lo .. hi - 1 out of the lists of v's clause
// targets; with only_old, not out of targets generated after v was (they
// hold none of its terms).
void strip_columns(var* v, int32_t lo, int32_t hi, bool only_old) {
  if (lo < 0 || hi <= lo) return;
  for (var_term* t = v->arcs; t; t = t->next) {
    constr* d = t->con;
    cvgen& g = d->gen;
    if (!g.lin || (only_old && g.gen_seq > v->gen.gen_seq)) continue;
    int32_t n = g.member_count * slots_per_member(d);
    for (int32_t s = 0; s < n; ++s)
      for (list_slot<varref> p = head_slot(&g.lin[s]); p.get();) {
        varref* r = p.get();
        if (r->index >= lo && r->index < hi) {
          p.set(vnext(r));
          free_1varref(r);
        } else {
          p = link_of(r);
        }
      }
  }
}

}  // namespace

void var_terms_begin(var* v) {
  const cvgen& g = v->gen;
  if (constr* d = v->defcon) {
    gen_release(d);
    d->gen.member_count = 0;
    d->gen.member_class = 0;
  }
  strip_columns(v, g.first_col, g.first_col + g.member_count, true);
  v->gen.gen_seq = ++gen_count;
}

void var_terms_abandon(var* v) {
  const cvgen& g = v->gen;
  strip_columns(v, g.first_col, g.first_col + g.member_count, false);
  if (constr* d = v->defcon) {
    gen_release(d);
    d->gen.member_count = 0;
  }
}

}  // namespace vexo
