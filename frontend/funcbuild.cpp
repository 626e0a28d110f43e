// Builders of the function-like expressions: min/max lists, count and the
// cardinality constraints, and the random-argument tests.
#include "frontend/funcbuild.h"

#include <cstring>

#include "eval/builtin.h"
#include "frontend/cmdbuild.h"
#include "frontend/expr.h"
#include "frontend/exprbuild.h"
#include "frontend/strexpr.h"
#include "report/prset.h"
#include "support/list.h"
#include "support/text.h"

namespace vexo {

int randvar_rhs;

constexpr uint32_t CARRIED = EF_VARS | EF_RANDVAR;

// Walks the plain arguments of a list, nested groups included.
template <class F>
static void each_arg(expr* args, F f) {
  for (expr* a = args; a; a = a->next) {
    if (opcode(a) == OP258) continue;
    if (a->L.ss)
      each_arg(a->R.e, f);
    else if (a->R.e)
      f(a);
  }
}

uint32_t varargs(expr* args) {
  uint32_t fl = 0;
  each_arg(args, [&](expr* a) { fl |= eflags(a->R.e) & CARRIED; });
  return fl;
}

uint32_t mkargsnum(expr* args) {
  uint32_t fl = 0;
  each_arg(args, [&](expr* a) {
    a->R.e = make_numeric(a->R.e);
    fl |= eflags(a->R.e) & CARRIED;
  });
  return fl;
}

int nosym_varargs(expr* args, uint32_t* flags) {
  int n = 0;
  for (expr* a = args; a; a = a->next)
    if (opcode(a) == OPARG && a->L.ss) ++n;
  if (flags) *flags = varargs(args);
  return n;
}

// Calls f with the cell of every argument expression of a list: the plain
// entries, the lists of indexed entries, and the expressions that an
// indexed print item holds directly in place of a list.  f may replace the
// expression in its cell (keeping its next link).
template <class F>
static void each_cell(expr** cell, F f) {
  for (expr** p = cell; *p; p = &(*p)->next) {
    expr* a = *p;
    if (opcode(a) == OP258) continue;
    if (opcode(a) != OPARG)
      f(p);
    else if (a->L.ss)
      each_cell(&a->R.e, f);
    else if (a->R.e)
      f(&a->R.e);
  }
}

int anystoch(expr* args) {
  bool r = false;
  each_cell(&args, [&](expr** a) { r = r || has_flag(*a, EF_RANDOM); });
  return r;
}

expr* vreduc(uint32_t op, expr* args) {
  args = reverse(args);
  uint32_t f = mkargsnum(args);
  op |= EF_NUMERIC;
  if (f) op |= f | EF_NONLIN;
  if (nosym_varargs(args, nullptr))
    return new_expr(op + opword(MINLIST2 - MINLIST), nullptr, args);
  // Plain arguments only: the node holds the expressions themselves.
  expr *first = nullptr, **tail = &first;
  while (args) {
    expr* n = args->next;
    if (opcode(args) != OP258) {
      *tail = args->R.e;
      tail = &args->R.e->next;
    }
    args->next = nullptr;
    free_expr(args);
    args = n;
  }
  return new_expr(op, first);
}

expr* count_op(expr* args) {
  uint32_t f = varargs(args);
  uint32_t op =
      opword(OPCOUNT, EF_NUMERIC | f | (f ? uint32_t(EF_NONLIN) : 0u));
  return new_expr(op, nullptr, args);
}

expr* atkword(int which, expr* k, expr* args) {
  static const int opc[3] = {OPATLEAST, OPATMOST, OPEXACTLY};
  k = make_numeric(k);
  expr* c = count_op(args);
  uint32_t f = (eflags(k) | eflags(c)) & CARRIED;
  return new_expr(
      opword(opc[which], EF_NUMERIC | f | (f ? uint32_t(EF_NONLIN) : 0u)), k,
      c);
}

cstr* randify1(expr* e) {
  cstr* t = sprex2(e);
  size_t n = std::strlen(t->text());
  cstr* r = new_cstr(n + 9);
  std::memcpy(r->text(), "Random(", 7);
  std::memcpy(r->text() + 7, t->text(), n);
  std::memcpy(r->text() + 7 + n, ")", 2);
  zap_cstr(&t);
  return r;
}

expr* randifye(expr* e) {
  switch (opcode(e)) {
    case OPPRIMAL:
      e->opword = opword(OPRANDVAR, EF_STRING);
      return e;
    case OPPRIMALSUB:
      e->opword = opword(OPRANDVARSUB, EF_STRING);
      return e;
    default: {
      expr* s = new_str(randify1(e));
      s->next = e->next;
      e->next = nullptr;
      edelete(e);
      return s;
    }
  }
}

expr* randify(expr* args) {
  each_cell(&args, [](expr** a) {
    if (has_flag(*a, EF_RANDOM)) *a = randifye(*a);
  });
  return args;
}

void randvarchk(expr* e) {
  if (e && has_flag(e, EF_RANDVAR)) random_rhs_begin();
}

expr* probability(symbol* sym, expr* cond) {
  uint32_t cf = eflags(cond) & (EF_NUMERIC | EF_RANDOM);
  expr* arg = makeif(cond, new_num(1.), new_num(0.));
  arg->opword |= cf;
  return funceval(sym, new_expr(opword(OPARG), nullptr, arg));
}

}  // namespace vexo
