// The instantiating copy.
#include "compiler/ecopy.h"

#include <cerrno>
#include <cmath>
#include <cstring>

#include "compiler/opgen.h"
#include "compiler/plterm.h"
#include "eval/arith.h"
#include "eval/dispatch.h"
#include "eval/evalerr.h"
#include "eval/indexing.h"
#include "eval/iterate.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/strexpr.h"
#include "instance/names.h"
#include "instance/varref.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/format.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/sort.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

namespace {

constexpr std::array<uint32_t, 146> make_not() {
  std::array<uint32_t, 146> t{};
  constexpr int pairs[][2] = {
      {EXISTS, FORALL},         {OPISIN, OPISNOTIN},
      {OPOR, OPAND},            {EQ, NE},
      {EQrs, NErs},             {EQsr, NEsr},
      {EQss, NEss},             {OPATLEAST, OPNOTATLEAST},
      {OPATMOST, OPNOTATMOST},  {OPEXACTLY, OPNOTEXACTLY},
      {ANDLIST, ORLIST},        {OPALLDIFF, OPSOMESAME},
      {EQscs, NEscs},           {EQcscs, NEcscs},
      {OPALLDIFFs, OPSOMESAMEs}, {OPALLDISJOINT, OPNOTDISJOINT},
      {OPWITHIN, OPNOTWITHIN},  {OPTESTZ, OPTESTNZ}};
  for (const auto& p : pairs) {
    t[size_t(p[0])] = opword(p[1]);
    t[size_t(p[1])] = opword(p[0]);
  }
  return t;
}

}  // namespace

const std::array<uint32_t, 146> Not = make_not();

namespace {

// ---- Nodes ------------------------------------------------------------------

// A node of a copy with its opcode's routine.
expr* mk(uint32_t opw, operand l = nullptr, operand r = nullptr) {
  expr* n = new_expr(opw, l, r);
  int op = int(opw >> OPSHIFT);
  n->op = op < N_EVAL_OPCODES ? functab[size_t(op)] : nullptr;
  return n;
}
expr* mknum(double v) {
  expr* n = new_num(v);
  n->op = f_OPNUM;
  return n;
}
expr* mkloglit(bool v) { return mk(opword(OPLOGLIT), int32_t(v ? 1 : 0)); }
expr* mkstr(cstr* s) { return mk(opword(OPSTR, EF_STRING), s); }
expr* mkvarval(int64_t col) {
  return mk(opword(OPVARVAL146, EF_NUMERIC | EF_VARS), int32_t(col));
}

bool is_num(const expr* e) { return opcode(e) == OPNUM; }
bool is_num(const expr* e, double v) { return is_num(e) && e->L.d == v; }
bool is_loglit(const expr* e) { return opcode(e) == OPLOGLIT; }
bool has_vars(const expr* e) { return e && (e->opword & VARS_MASK); }

// Depth again after an operand changed (new_expr measured the old ones).
void redepth(expr* e) { e->depth = nest_check(expr_nesting(e)); }

// Flags of a numeric node built for source flags f: f with 2.
uint32_t numeric(uint32_t f) { return (f & EF_MASK) | EF_NUMERIC; }

// The truth value a copy decides: 1 true, 0 false, -1 undecided (not a
// constant, or a NaN number).
int truth(const expr* e) {
  if (is_loglit(e)) return e->L.i != 0;
  if (is_num(e)) {
    if (std::isnan(e->L.d)) return -1;
    return e->L.d != 0;
  }
  return -1;
}

// Makes a deciding constant e the logical literal v.
expr* as_loglit(expr* e, bool v) {
  e->opword = opword(OPLOGLIT);
  e->op = f_OPLOGLIT;
  e->L = int32_t(v ? 1 : 0);
  e->R.p = nullptr;
  return e;
}

// An item appended to the chain of a list node (L first, R last).
void append(expr* list, expr* item) {
  item->next = nullptr;
  if (list->R.e)
    list->R.e->next = item;
  else
    list->L.e = item;
  list->R.e = item;
  if (item->depth + 1 > list->depth) list->depth = nest_check(item->depth + 1);
}

// A chain being built, first and last.
struct chain {
  expr* first = nullptr;
  expr* last = nullptr;
  int32_t n = 0;
  void add(expr* x) {
    x->next = nullptr;
    if (last)
      last->next = x;
    else
      first = x;
    last = x;
    ++n;
  }
  void push(expr* x) {
    x->next = first;
    first = x;
    if (!last) last = x;
    ++n;
  }
};

// What an error part-way through a copy leaves is given back: the items
// gathered so far are deleted however the walk ends.
struct held_chain : chain {
  ~held_chain() {
    if (first) ldelete(first);
  }
  expr* take() {
    expr* f = first;
    first = last = nullptr;
    return f;
  }
};

[[noreturn]] void no_rule(expr* e, TVA* tva) {
  // The command is abandoned after the message: a copy never holds a node
  // it has no rule for.
  if (!mgwhere(tva))
    Fprintf(Stderr, "unexpected type 0x%x in %s()\n", e->opword, "ecopy");
  bailout();
}

// ---- Values of variable-free nodes -------------------------------------------

// The node for symbol s: a number for a numeric member, else its text.
expr* sym_node(symbol* s) {
  if (is_number(s)) return mknum(s->value);
  return mkstr(new_cstring(s->name));
}

// The value of e (its opcode's value kind k, flags f) as a copy node.
expr* value_node(int k, uint32_t f, int op, eval_result v) {
  switch (k) {
    case RK_INT:
      return mkloglit(v.i != 0);
    case RK_REAL:
      return mknum(v.d);
    case RK_STR:
      return mkstr(v.cs);
    case RK_IF:
    case RK_SYM:
      if (op == OPEVAL || k == RK_IF) {
        if (f & EF_NUMERIC) return mknum(v.d);
        if (f & EF_STRING) return mkstr(v.cs);
      }
      return sym_node(*v.sp);
  }
  return nullptr;
}

expr* evaluated(expr* e, TVA* tva) {
  // A wrapper of a shared node yields what the node yields.
  const expr* w = e;
  while (shape(w) == SH_EVAL && w->L.e) w = w->L.e;
  int k = rewkind(w);
  if (k == RK_LIST || k > RK_STR) {
    if (!mgwhere(tva))
      Fprintf(Stderr, "unexpected rewclass %d for op 0x%x in ecopy\n", k,
              e->opword);
    bailout();
  }
  return value_node(k, w->opword, opcode(w), eval(e, tva));
}

// n (a node of the copy whose operands are constants) evaluated now: its
// value replaces it; n and its operands go.
expr* folded(expr* n, TVA* tva) {
  int k = rewkind(n);
  if (!n->op || k == RK_LIST || k > RK_STR) return n;
  eval_result v = n->op(n, tva);
  expr* r;
  if (k == RK_REAL && is_num(n->L.e)) {
    // The left number takes the value.
    r = n->L.e;
    r->L.d = v.d;
    n->L.e = nullptr;
  } else {
    r = value_node(k, n->opword, opcode(n), v);
  }
  edelete(n);
  return r;
}

bool constant(const expr* e) {
  int op = opcode(e);
  return op == OPNUM || op == OPLOGLIT || op == OPSTR;
}

// ---- Generic rules ------------------------------------------------------------

// A node with e's op word over the copies a and b (b may be null),
// evaluated now when both are constants.
expr* binary(expr* e, expr* a, expr* b, TVA* tva) {
  expr* n = mk(e->opword, a, b);
  if (constant(a) && (!b || constant(b))) return folded(n, tva);
  return n;
}

expr* unary(expr* e, TVA* tva) {
  expr* a = ecopy(e->L.e, tva);
  expr* n = mk(e->opword, a);
  if (constant(a)) return folded(n, tva);
  return n;
}

expr* not_rule(expr* e, TVA* tva) {
  expr* a = ecopy(e->L.e, tva);
  int t = truth(a);
  if (t >= 0) return as_loglit(a, !t);
  return mk(opword(OPNOT, eflags(e)), a);
}

// ---- Sums and products ------------------------------------------------------------

// a + b of two copies, the variable part first.
expr* sum_of(expr* a, expr* b, uint32_t flags) {
  if (is_num(a) && is_num(b)) return fold(OPPLUS, a, b);
  if (is_num(a, 0)) {
    free_node(a);
    return b;
  }
  if (opcode(a) == OPSUMLIST) {
    if (is_num(b, 0))
      free_node(b);
    else
      append(a, b);
    return a;
  }
  if (opcode(b) == OPSUMLIST) {
    append(b, a);
    return b;
  }
  a->next = b;
  expr* n = mk(opword(OPSUMLIST, numeric(flags)), a, b);
  return n;
}

expr* plus_rule(expr* e, TVA* tva) {
  expr *a, *b;
  if (has_vars(e->R.e) && !has_vars(e->L.e)) {
    a = ecopy(e->R.e, tva);
    b = ecopy(e->L.e, tva);
  } else {
    a = ecopy(e->L.e, tva);
    b = ecopy(e->R.e, tva);
  }
  return sum_of(a, b, eflags(e));
}

expr* minus_rule(expr* e, TVA* tva) {
  expr* a = ecopy(e->L.e, tva);
  expr* b = ecopy(e->R.e, tva);
  if (opcode(b) == OPMULT && is_num(b->L.e)) {
    b->L.e->L.d = -b->L.e->L.d;
    return sum_of(a, b, eflags(e));
  }
  if (is_num(a) && is_num(b)) return fold(OPMINUS, a, b);
  if (is_num(a, 0)) {
    free_node(a);
    return mk(opword(OPUMINUS, numeric(eflags(e))), b);
  }
  if (is_num(b, 0)) {
    free_node(b);
    return a;
  }
  return binary(e, a, b, tva);
}

expr* mult_rule(expr* e, TVA* tva) {
  expr* first = e->L.e;
  expr* second = e->R.e;
  if (has_vars(first) && !has_vars(second)) std::swap(first, second);
  expr* a = ecopy(first, tva);
  if (is_num(a, 0)) return a;
  expr* b = ecopy(second, tva);
  if (is_num(b, 0)) {
    edelete(a);
    return b;
  }
  if (is_num(b, 1)) {
    free_node(b);
    return a;
  }
  if (is_num(a) && is_num(b)) return fold(OPMULT, a, b);
  if (is_num(b)) std::swap(a, b);
  if (is_num(a, -1)) {
    free_node(a);
    return mk(opword(OPUMINUS, numeric(eflags(e))), b);
  }
  if (is_num(a, 1)) {
    free_node(a);
    return b;
  }
  return binary(e, a, b, tva);
}

// / and mod.
expr* quotient_rule(expr* e, TVA* tva) {
  expr* a = ecopy(e->L.e, tva);
  if (is_num(a, 0)) return a;
  expr* b = ecopy(e->R.e, tva);
  if (is_num(a) && is_num(b)) return fold(opcode(e), a, b);
  return binary(e, a, b, tva);
}

expr* power_rule(expr* e, TVA* tva) {
  expr* a = ecopy(e->L.e, tva);
  if (is_num(a, 1)) return a;
  expr* b = ecopy(e->R.e, tva);
  if (!is_num(b)) return binary(e, a, b, tva);
  double p = b->L.d;
  if (p == 1) {
    free_node(b);
    return a;
  }
  if (p == 0) {
    if (is_num(a, 0)) return mk(e->opword, a, b);  // 0^0 stays
    edelete(a);
    b->L.d = 1;
    return b;
  }
  if (is_num(a)) return binary(e, a, b, tva);
  if (p == -1) {
    b->L.d = 1;
    return mk(opword(OPDIV, numeric(eflags(e))), b, a);
  }
  if (p == 0.5) {
    free_node(b);
    return mk(opword(OP_sqrt, numeric(eflags(e))), a);
  }
  return binary(e, a, b, tva);
}

// ---- Logical operators ------------------------------------------------------------

// or (is_or) and and: a constant first operand that decides ends the copy;
// constants that do not decide drop out.
expr* andor_rule(expr* e, TVA* tva, bool is_or) {
  expr* first = e->L.e;
  expr* second = e->R.e;
  if (has_vars(second) && !has_vars(first)) std::swap(first, second);
  int decides = is_or ? 1 : 0;
  expr* a = ecopy(first, tva);
  int ta = truth(a);
  if (ta == decides) return as_loglit(a, decides);
  expr* b = ecopy(second, tva);
  int tb = truth(b);
  if (ta >= 0) {
    // a drops out.
    free_node(a);
    return tb >= 0 ? as_loglit(b, tb) : b;
  }
  if (tb == decides) {
    edelete(a);
    return as_loglit(b, decides);
  }
  if (tb >= 0) {
    free_node(b);
    return a;
  }
  return binary(e, a, b, tva);
}

// atleast, atmost, exactly and their negations: k (L) against the count X
// (R).
expr* countrel_rule(expr* e, TVA* tva) {
  expr* k = ecopy(e->L.e, tva);
  expr* x = ecopy(e->R.e, tva);
  if (opcode(x) == OPPLUS && is_num(x->R.e)) {
    // A constant part of the count moves to the bound.
    expr* c = x->R.e;
    expr* rest = x->L.e;
    if (is_num(k)) {
      k->L.d -= c->L.d;
      free_node(c);
      free_node(x);
    } else {
      c->L.d = -c->L.d;
      x->L.e = k;
      redepth(x);
      k = x;
    }
    x = rest;
  }
  if (!is_num(k)) return binary(e, k, x, tva);
  double kv = k->L.d;
  int op = opcode(e);
  if (is_num(x)) {
    double v = x->L.d;
    bool r = op == OPATLEAST      ? v >= kv
             : op == OPATMOST     ? v <= kv
             : op == OPEXACTLY    ? v == kv
             : op == OPNOTATLEAST ? v < kv
             : op == OPNOTATMOST  ? v > kv
                                  : v != kv;
    free_node(k);
    x->L.d = r;
    return x;
  }
  int r = -1;
  switch (op) {
    case OPATLEAST:
      if (kv <= 0) r = 1;
      break;
    case OPATMOST:
    case OPEXACTLY:
      if (kv < 0) r = 0;
      break;
    case OPNOTATLEAST:
      if (kv <= 0) r = 0;
      break;
    case OPNOTATMOST:
    case OPNOTEXACTLY:
      if (kv < 0) r = 1;
      break;
  }
  if (r < 0) return binary(e, k, x, tva);
  edelete(x);
  k->L.d = r;
  return k;
}

expr* binary_rule(expr* e, TVA* tva) {
  switch (opcode(e)) {
    case OPPLUS:
      return plus_rule(e, tva);
    case OPMINUS:
      return minus_rule(e, tva);
    case OPMULT:
      return mult_rule(e, tva);
    case OPDIV:
    case OPREM:
      return quotient_rule(e, tva);
    case OPPOW:
      return power_rule(e, tva);
    case OPOR:
      return andor_rule(e, tva, true);
    case OPAND:
      return andor_rule(e, tva, false);
    case OPATLEAST:
    case OPATMOST:
    case OPEXACTLY:
    case OPNOTATLEAST:
    case OPNOTATMOST:
    case OPNOTEXACTLY:
      return countrel_rule(e, tva);
  }
  expr* a = ecopy(e->L.e, tva);
  expr* b = e->R.e ? ecopy(e->R.e, tva) : nullptr;
  return binary(e, a, b, tva);
}

// ---- Iterated operators -----------------------------------------------------------

expr* list_of(const chain& c, int op, uint32_t flags) {
  expr* n = mk(opword(op, flags), c.first, c.last);
  return n;
}

expr* iter_sum(expr* e, TVA* tva) {
  set_spec* ss = e->L.ss;
  TVA* c = ss_begin(ss, tva);
  if (!c) return mknum(0);
  held_chain items;
  double total = 0;
  do {
    expr* x = ecopy(e->R.e, c);
    if (is_num(x)) {
      total += x->L.d;
      free_node(x);
    } else {
      items.add(x);
    }
  } while (ss_continue(ss, c));
  if (!items.n) return mknum(total);
  if (total != 0) items.push(mknum(total));
  if (items.n == 1) return items.take();
  chain got = items;
  items.take();
  if (got.n == 2) {
    got.first->next = nullptr;
    return mk(opword(OPPLUS, EF_NUMERIC | EF_VARS), got.first, got.last);
  }
  return list_of(got, OPSUMLIST, EF_NUMERIC | EF_VARS);
}

expr* iter_prod(expr* e, TVA* tva) {
  set_spec* ss = e->L.ss;
  TVA* c = ss_begin(ss, tva);
  if (!c) return mknum(1);
  struct held {
    expr* x = nullptr;
    ~held() { edelete(x); }
  } acc;
  double prod = 1;
  do {
    expr* x = ecopy(e->R.e, c);
    if (is_num(x)) {
      prod *= x->L.d;
      free_node(x);
    } else {
      acc.x = acc.x ? mk(opword(OPMULT, EF_NUMERIC | EF_VARS), acc.x, x) : x;
    }
  } while (ss_continue(ss, c));
  expr* r = acc.x;
  acc.x = nullptr;
  if (!r) return mknum(prod);
  if (prod == 1) return r;
  return mk(opword(OPMULT, EF_NUMERIC | EF_VARS), mknum(prod), r);
}

// min (is_min) and max of copies: numbers fold into one running value,
// the other items are prepended to c.
struct extreme {
  bool is_min;
  double start, v;
  held_chain items;
  explicit extreme(bool m)
      : is_min(m), start(m ? Infinity : negInfinity), v(start) {}
  void take(expr* x) {
    if (is_num(x)) {
      double d = x->L.d;
      if (is_min ? d < v : d > v) v = d;
      free_node(x);
    } else {
      items.push(x);
    }
  }
  expr* result() {
    if (!items.n) return mknum(v);
    if (v != start) items.push(mknum(v));
    if (items.n == 1) return items.take();
    expr* first = items.take();
    return mk(opword(is_min ? MINLIST : MAXLIST, EF_NUMERIC | EF_VARS), first);
  }
};

expr* iter_extreme(expr* e, TVA* tva, bool is_min) {
  set_spec* ss = e->L.ss;
  extreme m(is_min);
  if (TVA* c = ss_begin(ss, tva)) do
      m.take(ecopy(e->R.e, c));
    while (ss_continue(ss, c));
  return m.result();
}

expr* list_extreme(expr* e, TVA* tva, bool is_min) {
  extreme m(is_min);
  for (expr* x = e->L.e; x; x = x->next) m.take(ecopy(x, tva));
  return m.result();
}

// exists (any) and forall, and the and- and or-lists, over copies: an item
// that decides ends the walk and is the result; items decided the other
// way drop out; what is left is joined by or or and.
struct truths {
  bool any;
  held_chain items;
  explicit truths(bool a) : any(a) {}
  // Takes x; true when x decided the whole (it is then the result).
  expr* decided = nullptr;
  bool take(expr* x) {
    int t = truth(x);
    if (t == int(any)) {
      decided = x;
      return true;
    }
    if (t >= 0)
      free_node(x);
    else
      items.add(x);
    return false;
  }
  expr* result(uint32_t src_flags) {
    if (decided) return decided;
    if (!items.n) return mknum(any ? 0 : 1);
    if (items.n == 1) return items.take();
    uint32_t f = EF_VARS | (src_flags & (EF_VARS | EF_RANDVAR));
    chain got = items;
    items.take();
    if (got.n == 2) {
      got.first->next = nullptr;
      return mk(opword(any ? OPOR : OPAND, f), got.first, got.last);
    }
    return list_of(got, any ? ORLIST : ANDLIST, f);
  }
};

expr* iter_truth(expr* e, TVA* tva, bool any) {
  set_spec* ss = e->L.ss;
  truths t(any);
  if (TVA* c = ss_begin(ss, tva)) do
      if (t.take(ecopy(e->R.e, c))) {
        // The walk ends here: its frame comes down with the clean-ups of
        // its levels.
        ss_end1(ss, c);
        break;
      }
    while (ss_continue(ss, c));
  return t.result(e->opword);
}

expr* truth_list(expr* e, TVA* tva, bool any) {
  truths t(any);
  for (expr* x = e->L.e; x; x = x->next)
    if (t.take(ecopy(x, tva))) break;
  return t.result(e->opword);
}

expr* sumlist_rule(expr* e, TVA* tva) {
  held_chain items;
  double total = 0;
  for (expr* x = e->L.e; x; x = x->next) {
    expr* c = ecopy(x, tva);
    if (is_num(c)) {
      total += c->L.d;
      free_node(c);
    } else {
      items.add(c);
    }
  }
  if (!items.n) return mknum(total);
  if (total != 0) items.add(mknum(total));
  if (items.n == 1) return items.take();
  chain got = items;
  items.take();
  return list_of(got, OPSUMLIST, numeric(eflags(e)));
}

// ---- Argument lists -----------------------------------------------------------

expr* args_copy(expr* args, TVA* tva) {
  return reverse(cpargs(args, nullptr, tva));
}

expr* call_rule(expr* e, TVA* tva) {
  if (!e->L.x) no_rule(e, tva);
  return mk(e->opword, e->L.x, args_copy(e->R.e, tva));
}

expr* count_rule(expr* n) {
  double k = 0;
  expr** p = &n->R.e;
  while (expr* a = *p) {
    expr* x = a->R.e;
    int t = truth(x);
    if (t >= 0 || is_num(x)) {
      if (t != 0) ++k;
      *p = a->next;
      a->next = nullptr;
      edelete(a);
    } else {
      p = &a->next;
    }
  }
  if (!n->R.e) {
    edelete(n);
    return mknum(k);
  }
  redepth(n);
  if (k == 0) return n;
  return mk(opword(OPPLUS, EF_NUMERIC | EF_VARS | EF_NONLIN), n, mknum(k));
}

expr* arglist_rule(expr* e, TVA* tva) {
  expr* l = e->L.e ? ecopy(e->L.e, tva) : nullptr;
  struct held {
    expr* x;
    ~held() { edelete(x); }
  } hl{l};
  expr* args = args_copy(e->R.e, tva);
  hl.x = nullptr;
  expr* n = mk(e->opword, l, args);
  switch (opcode(e)) {
    case OPCOUNT:
      return count_rule(n);
    case OPNUMBEROF:
    case OPNUMBEROFs:
      return simplify_numberof(n);
    case OPALLDIFF:
    case OPSOMESAME:
    case OPALLDIFFs:
    case OPSOMESAMEs:
      return simplify_alldiff(n);
    case MINLIST2:
      return simplify_mlist2(n, -1.0);
    case MAXLIST2:
      return simplify_mlist2(n, 1.0);
  }
  return n;
}

// ---- If-then-else -------------------------------------------------------------

// not c for the implication's simplification.
expr* negated(expr* c) {
  int op = opcode(c);
  if (op == OPNOT) {
    expr* x = c->L.e;
    free_node(c);
    return x;
  }
  if (op == LT || op == LE || op == GE || op == GT)
    return mk(opword(OPNOT), c);
  uint32_t n = op < int(Not.size()) ? Not[size_t(op)] : 0;
  if (!n) bug("Not[%d] = 0", op);
  c->opword = n;
  int nop = int(n >> OPSHIFT);
  c->op = functab[size_t(nop)];
  return c;
}

// a ==> b else c with a logical-literal branch: c the condition, a the
// then-part, b the else-part.
expr* implication(expr* c, expr* a, expr* b) {
  auto andor = [](int op, expr* x, expr* y) { return mk(opword(op), x, y); };
  if (is_loglit(a)) {
    bool av = a->L.i != 0;
    if (is_loglit(b)) {
      bool bv = b->L.i != 0;
      free_node(a);
      if (av == bv) {
        edelete(c);
        return as_loglit(b, av);
      }
      free_node(b);
      return av ? c : negated(c);  // a ? true : false is c
    }
    free_node(a);
    return av ? andor(OPOR, c, b) : andor(OPAND, negated(c), b);
  }
  if (is_loglit(b)) {
    bool bv = b->L.i != 0;
    free_node(b);
    return bv ? andor(OPOR, negated(c), a) : andor(OPAND, c, a);
  }
  return nullptr;
}

}  // namespace

expr* iecopy(expr* e, TVA* tva) {
  if (!e) return mknum(0);
  if (opcode(e) == OPNUM2SYM)
    eerror(tva, "%s\n\t%s",
           "Cannot convert a numerical \"then\" or \"else\" to string",
           "in if-then-else expressions that solvers must evaluate.");
  return ecopy(e, tva);
}

namespace {

// The if-then-else rules.  Returns the copy, or null with *next set to
// the branch the condition chose (the copy goes on with it).
expr* if_rule(expr* e, TVA* tva, expr** next) {
  int op = opcode(e);
  uint32_t opw = op == OPIFSYM65 ? opword(OPIFSYMstr101, EF_VARS | EF_STRING)
                 : op == OPIMPELSE72 || op == OPIMPELSE79 ? opword(OPIMPELSE72)
                                                          : e->opword;
  expr* pair = e->R.e;
  expr* c = ecopy(e->L.e, tva);
  int t = truth(c);
  if (t >= 0) {
    free_node(c);
    *next = t ? pair->L.e : pair->R.e;
    return nullptr;
  }
  struct held {
    expr* x;
    ~held() { edelete(x); }
  } hc{c};
  expr* a = iecopy(pair->L.e, tva);
  struct held_a {
    expr* x;
    ~held_a() { edelete(x); }
  } ha{a};
  expr* b = iecopy(pair->R.e, tva);
  hc.x = ha.x = nullptr;
  if (opw == opword(OPIMPELSE72))
    if (expr* r = implication(c, a, b)) return r;
  expr* p = mk(opword(OP261, EF_NUMERIC), a, b);
  return mk(opw | EF_VARS | EF_NONLIN, c, p);
}

// The if-then-else whose condition is known at this level (243): the
// condition decides now, and until the level moves on the node is a
// wrapper of the chosen branch, for this copy and every later one.
expr* if_rewrite(expr* x, TVA* tva) {
  expr* r = x->L.e;
  expr* src = r->R.e;
  bool numeric_form = x->op == f_OP_REWRITE_if;
  expr* pair = src->R.e;
  expr* b = eval_true(src->L.e, tva) ? pair->L.e : pair->R.e;
  Index* ix = static_cast<Index*>(r->L.p);
  r->L.e = x;
  r->opword = x->opword;  // kept while the node is rewritten
  push_cleanup(ix, r, numeric_form ? RESTORE_if_copy : RESTORE_sif_copy);
  uint32_t f = b->opword & (EF_VARS | EF_RANDVAR);
  if (numeric_form) {
    x->opword = opword(OPEVALr160, EF_NUMERIC | f);
    x->op = functab[OPEVALr160];
  } else {
    x->opword = opword(OPEVAL, f);
    x->op = functab[OPEVAL];
  }
  x->L.e = b;
  return b;
}

bool armed_if(const expr* x) {
  return x->op == f_OP_REWRITE_if || x->op == f_OP_REWRITE_sif;
}

// ---- The random variables ----------------------------------------------------

expr* randvar_sub(expr* e, TVA* tva) {
  xnode* v = e->L.x;
  symbol** t = getbadsub(e->R.e, tva);
  int n = v->indexing ? v->indexing->arity : 1;
  expr* lit;
  if (n > 1) {
    int k = htcl(size_t(n) * sizeof(symbol*));
    symbol** b = static_cast<symbol**>(new_mblk(k));
    std::memcpy(b, t, size_t(n) * sizeof(symbol*));
    lit = mk(opword(OPLITLIST, EF_CONST), static_cast<void*>(b), int32_t(k));
  } else {
    lit = mk(opword(OPLIT, EF_CONST), t[0]);
  }
  return mk(e->opword, v, mk(opword(OPLOOKUP), v, lit));
}

// ---- The piecewise-linear terms ------------------------------------------------

expr* pl_rule(expr* e, TVA* tva) {
  plterm* t = plcrunch(e->L.e, tva);
  struct held {
    plterm* t;
    ~held() {
      if (t) del_mblk(t->block_class, t);
    }
  } h{t};
  expr* arg = e->R.e;
  int64_t col = eval(arg->L.e, tva).i;
  double v = arg->R.e ? plval(t, eval_num(arg->R.e, tva)) : 0;
  expr* n;
  if (t->n_slopes > 1) {
    t->index = int32_t(col);
    h.t = nullptr;
    n = mk(opword(OPPLTERM, EF_NUMERIC | EF_VARS), static_cast<void*>(t),
           int32_t(col));
  } else {
    double s = t->bs()[0];
    n = s == 0 ? mknum(0)
               : mk(opword(OPMULT, EF_NUMERIC | EF_VARS), mknum(s),
                    mkvarval(col));
  }
  if (v == 0) return n;
  if (is_num(n)) {
    n->L.d = -v;
    return n;
  }
  return mk(opword(OPMINUS, EF_NUMERIC | EF_VARS), n, mknum(v));
}

}  // namespace

// ---- The copy ----------------------------------------------------------------

expr* ecopy(expr* e, TVA* tva) {
  for (;;) {
    if (!(e->opword & VARS_MASK)) return evaluated(e, tva);
    int op = opcode(e);
    switch (shape(e)) {
      case SH_UNARY:
        if (op == OPNOT) return not_rule(e, tva);
        return unary(e, tva);
      case SH_BINARY:
      case SH_FUNC2:
      case SH_COUNTREL:
        return binary_rule(e, tva);
      case SH_ITERATED:
        switch (op) {
          case SUM:
            return iter_sum(e, tva);
          case PROD:
            return iter_prod(e, tva);
          case MIN:
            return iter_extreme(e, tva, true);
          case MAX:
            return iter_extreme(e, tva, false);
          case EXISTS:
            return iter_truth(e, tva, true);
          case FORALL:
            return iter_truth(e, tva, false);
        }
        break;
      case SH_SUBSCRIPTED:
        if (op == OPSVEXOVARSUB) return randvar_sub(e, tva);
        break;
      case SH_FUNC1:
        if (op == OPVARREF87) return mkvarval(eval(e->L.e, tva).i);
        if (op == OPVARREF88)
          return mk(opword(OPVARVAL147, EF_CONST | EF_VARS),
                    int32_t(eval(e->L.e, tva).i));
        return unary(e, tva);
      case SH_TO_NUMBER:
      case SH_RECPAR:
        return unary(e, tva);
      case SH_LIST:
        if (op == MINLIST) return list_extreme(e, tva, true);
        if (op == MAXLIST) return list_extreme(e, tva, false);
        break;
      case SH_PL:
        if (op == OPPL) return pl_rule(e, tva);
        break;
      case SH_NUMBER:
        return mknum(e->L.d);
      case SH_IF:
        if (op == OPIFrew || op == OPIF111 || op == OPIFSYM112 ||
            op == OPIFSYMstr113) {
          expr* pair = e->R.e;
          e = eval_true(e->L.e, tva) ? pair->L.e : pair->R.e;
          if (!e) return mknum(0);
          continue;
        }
        [[fallthrough]];
      case SH_IMPELSE: {
        expr* next = nullptr;
        if (expr* r = if_rule(e, tva, &next)) return r;
        if (!next) return mknum(0);
        e = next;
        continue;
      }
      case SH_ENTITY:
        if (op == OPSVEXOVAR) return mk(e->opword, e->L.x);
        break;
      case SH_EVAL:
        e = e->L.e;
        continue;
      case SH_VALUE:
      case SH_REWRITE:
        switch (op) {
          case 233:
          case 239:
            return mkvarval(eval(e, tva).i);
          case 234:
            return mknum(eval_num(e, tva));
          case 240:
            // A shared numeric computation with variables: its copy.  (An
            // evaluated one holds its number in L.)
            if (e->op == f_OP_REWRITE_r) {
              e = e->L.e->R.e;
              continue;
            }
            return mknum(e->L.d);
          case 243:
            // Armed: L its restore record; chosen at this level: L the
            // branch.
            e = armed_if(e) ? if_rewrite(e, tva) : e->L.e;
            continue;
        }
        break;
      case SH_VARVAL:
        return mk(e->opword, e->L);
      case SH_CALL:
        return call_rule(e, tva);
      case SH_SUMLIST:
        if (op == OPSUMLIST) return sumlist_rule(e, tva);
        if (op == ANDLIST) return truth_list(e, tva, false);
        if (op == ORLIST) return truth_list(e, tva, true);
        break;
      case SH_ARGLIST:
        return arglist_rule(e, tva);
      case SH_LOGLIT:
        return mknum(e->L.i);
    }
    no_rule(e, tva);
  }
}

expr* cpargs(expr* args, expr* acc, TVA* tva) {
  for (expr* a = args; a; a = a->next) {
    if (opcode(a) == OP258) continue;
    if (opcode(a) != OPARG) {
      expr* n = new_expr(opword(OPARG), nullptr, ecopy(a, tva));
      n->next = acc;
      acc = n;
      continue;
    }
    if (set_spec* ss = a->L.ss) {
      if (TVA* c = ss_begin(ss, tva)) do
          acc = cpargs(a->R.e, acc, c);
        while (ss_continue(ss, c));
      continue;
    }
    expr* n = new_expr(opword(OPARG), nullptr, ecopy(a->R.e, tva));
    n->next = acc;
    acc = n;
  }
  return acc;
}

expr* fold(int opc, expr* a, expr* b) {
  double x = a->L.d, y = b->L.d;
  switch (opc) {
    case OPPLUS:
      a->L.d = x + y;
      break;
    case OPMINUS:
      a->L.d = x - y;
      break;
    case OPMULT:
      a->L.d = x * y;
      break;
    case OPDIV:
      if (y == 0) {
        errno = 0;
        return mk(opword(OPDIV, EF_NUMERIC), a, b);
      }
      a->L.d = x / y;
      break;
    case OPREM: {
      errno = 0;
      double r = std::fmod(x, y);
      if (errno || (std::isnan(r) && !std::isnan(x) && !std::isnan(y))) {
        errno = 0;
        return mk(opword(OPREM, EF_NUMERIC), a, b);
      }
      a->L.d = r;
      break;
    }
    default:
      bug("fold: opcode %d", opc);
  }
  free_node(b);
  return a;
}

expr* simplify_mlist2(expr* e, double sign) {
  expr* best = nullptr;
  expr** p = &e->R.e;
  while (expr* a = *p) {
    if (opcode(a) == OPARG && a->R.e && is_num(a->R.e)) {
      *p = a->next;
      a->next = nullptr;
      if (!best || best->R.e->L.d * sign < a->R.e->L.d * sign) {
        if (best) edelete(best);
        best = a;
      } else {
        edelete(a);
      }
    } else {
      p = &a->next;
    }
  }
  if (!best) return e;
  if (!e->R.e) {
    expr* n = best->R.e;
    best->R.e = nullptr;
    edelete(best);
    edelete(e);
    return n;
  }
  *p = best;
  redepth(e);
  return e;
}

expr* simplify_numberof(expr* e) {
  expr* x = e->L.e;
  if (opcode(e) == OPNUMBEROFs && has_flag(x, EF_NUMERIC)) {
    expr** p = &e->R.e;
    while (expr* a = *p) {
      if (a->R.e && has_flag(a->R.e, EF_STRING)) {
        *p = a->next;
        a->next = nullptr;
        edelete(a);
      } else {
        p = &a->next;
      }
    }
    if (!e->R.e) {
      edelete(e);
      return mknum(0);
    }
    e->opword = opword(OPNUMBEROF, numeric(eflags(e)));
    e->op = functab[OPNUMBEROF];
  }
  bool num_sought = is_num(x);
  bool str_sought = opcode(x) == OPSTR;
  if (!num_sought && !str_sought) return e;
  double count = 0;
  expr** p = &e->R.e;
  while (expr* a = *p) {
    expr* v = a->R.e;
    bool gone = false;
    if (num_sought) {
      if (is_num(v)) {
        gone = true;
        count += v->L.d == x->L.d;
      } else if (has_flag(v, EF_STRING)) {
        gone = true;
      }
    } else if (opcode(v) == OPSTR) {
      gone = true;
      count += std::strcmp(v->L.cs->text(), x->L.cs->text()) == 0;
    } else if (has_flag(v, EF_NUMERIC)) {
      gone = true;
    }
    if (gone) {
      *p = a->next;
      a->next = nullptr;
      edelete(a);
    } else {
      p = &a->next;
    }
  }
  expr* args = e->R.e;
  if (!args) {
    edelete(e);
    return mknum(count);
  }
  if (!args->next) {
    // One argument left: if arg == x then 1 else 0.
    expr* v = args->R.e;
    args->R.e = nullptr;
    edelete(args);
    uint32_t cmp;
    if (has_vars(v))
      cmp = opword(EQ, EF_VARS | EF_NONLIN);
    else if (has_flag(v, EF_NUMERIC | EF_STRING))
      cmp = opword(str_sought ? EQcscs : EQ);
    else
      cmp = opword(str_sought ? EQscs : EQrs);
    expr* c = mk(cmp, v, x);
    expr* pair = mk(opword(OP261, EF_NUMERIC), mknum(1), mknum(0));
    e->opword = opword(OPIF35, EF_NUMERIC | EF_VARS | EF_NONLIN);
    e->op = functab[OPIF35];
    e->L.e = c;
    e->R.e = pair;
    redepth(e);
  } else {
    redepth(e);
  }
  if (count == 0) return e;
  return mk(opword(OPPLUS, eflags(e) | EF_NUMERIC), e, mknum(count));
}

int rcomparj(const void* a, const void* b, void* dup) {
  double x = *static_cast<const double*>(a);
  double y = *static_cast<const double*>(b);
  if (x < y) return -1;
  if (x > y) return 1;
  *static_cast<int*>(dup) = 1;
  return 0;
}

int scomparj(const void* a, const void* b, void* dup) {
  int c = std::strcmp(*static_cast<const char* const*>(a),
                      *static_cast<const char* const*>(b));
  if (!c) *static_cast<int*>(dup) = 1;
  return c;
}

expr* simplify_alldiff(expr* e) {
  int op = opcode(e);
  if (op == OPALLDIFFs || op == OPSOMESAMEs) {
    e->opword = opword(op == OPALLDIFFs ? OPALLDIFF : OPSOMESAME,
                       eflags(e) | EF_VARS);
    e->op = functab[size_t(opcode(e))];
  }
  double dupval = opcode(e) == OPALLDIFF ? 0 : 1;
  size_t nn = 0, ns = 0;
  for (expr* a = e->R.e; a; a = a->next) {
    if (opcode(a) != OPARG || !a->R.e) continue;
    if (is_num(a->R.e)) ++nn;
    if (opcode(a->R.e) == OPSTR) ++ns;
  }
  if (nn < 2 && ns < 2) return e;
  // Numbers first, then the texts, in one block.
  int k = htcl((nn + ns) * 8);
  void* blk = new_mblk(k);
  double* nums = static_cast<double*>(blk);
  const char** strs = reinterpret_cast<const char**>(nums + nn);
  size_t i = 0, j = 0;
  for (expr* a = e->R.e; a; a = a->next) {
    if (opcode(a) != OPARG || !a->R.e) continue;
    if (is_num(a->R.e)) nums[i++] = a->R.e->L.d;
    if (opcode(a->R.e) == OPSTR) strs[j++] = a->R.e->L.cs->text();
  }
  int dup = 0;
  if (nn > 1) qsortv(nums, nn, sizeof(double), rcomparj, &dup);
  if (!dup && ns > 1) qsortv(strs, ns, sizeof(char*), scomparj, &dup);
  del_mblk(k, blk);
  if (!dup) return e;
  edelete(e);
  return mknum(dupval);
}

void RESTORE_if_copy(expr* r, Index* ix) {
  expr* x = r->L.e;
  x->opword = r->opword;
  r->opword = opword(OP_RESTORE0 + RK_IF);
  r->L.p = ix;
  x->L.e = r;
  x->op = f_OP_REWRITE_if;
  r->op = cleanup_op(f_OP_RESTORE_if);
}

void RESTORE_sif_copy(expr* r, Index* ix) {
  expr* x = r->L.e;
  x->opword = r->opword;
  r->opword = opword(OP_RESTORE0 + RK_IF);
  r->L.p = ix;
  x->L.e = r;
  x->op = f_OP_REWRITE_sif;
  r->op = cleanup_op(f_OP_RESTORE_sif);
}

}  // namespace vexo
