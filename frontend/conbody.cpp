// Constraint bodies, complementarity constraints and piecewise-linear
// terms: the normalised trees that constraint declarations keep.
#include "frontend/conbody.h"

#include "eval/indexing.h"
#include "eval/optab.h"
#include "eval/ordered.h"
#include "frontend/expr.h"
#include "frontend/exprbuild.h"
#include "frontend/strexpr.h"
#include "support/list.h"
#include "support/message.h"

namespace vexo {

int strict_ineq_warn;

static inline bool has(const expr* e, uint32_t f) { return has_flag(e, f); }

static bool is_symbolic(const expr* e) {
  return !has(e, EF_NUMERIC) && !has(e, EF_STRING);
}

// A body root holds a kind code, not an op word, so edelete cannot follow
// it; this deletes a body as stbody builds it.
static void body_delete(expr* b) {
  if (!b) return;
  if (b->opword == CB_RANGE || b->opword == CB_RANGER) {
    edelete(b->L.e);
    expr* pair = b->R.e;
    edelete(pair->L.e);
    edelete(pair->R.e);
    free_expr(pair);
    free_expr(b);
  } else if (b->opword <= CB_GE || b->opword == CB_EXPR) {
    edelete(b->L.e);
    free_expr(b);
  } else {
    edelete(b);  // a logical constraint
  }
}

expr* stbody2(expr* e) { return new_expr(opword(OP286, 0), e); }

// A symbol-valued side: strings become symbols.
static expr* symside(expr* e) { return has(e, EF_STRING) ? make_sym(e) : e; }

static expr* one_comparison(expr* L, uint32_t op, expr* R, int flags) {
  int oc = static_cast<int>(op >> OPSHIFT);
  if (oc == EQ || oc == NE) {
    bool ln = has(L, EF_NUMERIC), rn = has(R, EF_NUMERIC);
    bool numeric = (ln && rn) || (ln && is_symbolic(R) && !has(R, EF_VARS)) ||
                   (rn && is_symbolic(L) && !has(L, EF_VARS)) ||
                   (oc == EQ && ((ln && (eflags(L) & 6) == 6) ||
                                 (rn && (eflags(R) & 6) == 6)));
    if (!numeric) {
      L = symside(L);
      R = symside(R);
      bool ls = !has(L, EF_NUMERIC), rs = !has(R, EF_NUMERIC);
      int opc;
      if (ls && rs)
        opc = oc == EQ ? EQss : NEss;
      else if (ls)
        opc = oc == EQ ? EQsr : NEsr;
      else
        opc = oc == EQ ? EQrs : NErs;
      return stbody2(new_expr(opword(opc, 0), L, R));
    }
  }
  L = make_numeric(L);
  R = make_numeric(R);
  if (oc == LT || oc == GT || oc == NE) {
    if (strict_ineq_warn == 2) {
      error(0, "Constraint with strict inequality disallowed.");
      edelete(L);
      edelete(R);
      return nullptr;
    }
    if (strict_ineq_warn == 1) {
      error(2,
            "Treating strict inequality constraint as a logical "
            "constraint.");
    }
    return stbody2(relop(L, op, R, nullptr));
  }
  uint32_t kind = oc == EQ ? CB_EQ : oc == LE ? CB_LE : CB_GE;
  if (flags & STB_REVERSE) {
    expr* t = L;
    L = R;
    R = t;
    if (kind != CB_EQ) kind = kind == CB_LE ? CB_GE : CB_LE;
  }
  expr* diff =
      new_expr(opword(OPMINUS, eflags(L) | eflags(R) | EF_NUMERIC), L, R);
  return new_expr(kind, diff);
}

expr* stbody(expr* left, uint32_t op, expr* right, uint32_t op2, expr* right2,
             int flags) {
  if (!op2) return one_comparison(left, op, right, flags);
  left = make_numeric(left);
  right = make_numeric(right);
  right2 = make_numeric(right2);
  bool bad = false;
  if (has(left, EF_VARS)) {
    error(0,
          "nonconstant left-most expression in double inequality "
          "constraint");
    bad = true;
  }
  if (has(right2, EF_VARS)) {
    error(0,
          "nonconstant right-most expression in double inequality "
          "constraint");
    bad = true;
  }
  int oc = static_cast<int>(op >> OPSHIFT);
  int oc2 = static_cast<int>(op2 >> OPSHIFT);
  if (oc != oc2 || (oc != LE && oc != GE)) {
    error(0,
          "double inequality must be ... <= ... <= ... or "
          "... >= ... >= ...");
    bad = true;
  }
  if (bad) {
    edelete(left);
    edelete(right);
    edelete(right2);
    return nullptr;
  }
  if (flags & STB_REVERSE) {
    left = negate(left);
    right = negate(right);
    right2 = negate(right2);
    oc = oc == LE ? GE : LE;
  }
  expr* bounds = new_expr(0, left, right2);
  return new_expr(oc == LE ? CB_RANGE : CB_RANGER, right, bounds);
}

// Deletes the operands of a comparison chain and its cells.
static void chain_delete(list* c) {
  int i = 0;
  for (list* p = c; p; p = p->next, i++) {
    if (!(i & 1)) edelete(p->item.e);  // operands, between the op words
  }
  free_list(c);
}

expr* stbody1(list* chain) {
  int n = listlen(chain);
  if (n != 3 && n != 5) {
    error(0, "constraints must express an equality or 1 or 2 inequalities");
    chain_delete(chain);
    return nullptr;
  }
  chain = reverse(chain);
  list* c = chain;
  expr* a = c->item.e;
  uint32_t op = static_cast<uint32_t>((c = c->next)->item.i);
  expr* b = (c = c->next)->item.e;
  uint32_t op2 = 0;
  expr* d = nullptr;
  if (n == 5) {
    op2 = static_cast<uint32_t>((c = c->next)->item.i);
    d = (c = c->next)->item.e;
  }
  free_list(chain);
  return stbody(a, op, b, op2, d, 0);
}

// The inequalities a comparison chain stands for: 2 for =, 1 for <= and
// >=; 3 (never acceptable) after reporting a strict or != comparison.
static int n_ineq(list* chain) {
  int n = 0;
  bool bad = false;
  int i = 0;
  for (list* c = chain; c; c = c->next, i++) {
    if (!(i & 1)) continue;
    uint32_t op = static_cast<uint32_t>(c->item.i);
    switch (static_cast<int>(op >> OPSHIFT)) {
      case EQ:
        n += 2;
        break;
      case LE:
      case GE:
        n += 1;
        break;
      case LT:
        error(0, "Inappropriate comparison operator %s", "<");
        bad = true;
        break;
      case GT:
        error(0, "Inappropriate comparison operator %s", ">");
        bad = true;
        break;
      case NE:
        error(0, "Inappropriate comparison operator %s", "!=");
        bad = true;
        break;
      default:
        bug("n_ineq: unexpected comparison op word 0x%x", op);
    }
  }
  return bad ? 3 : n;
}

static expr* side(list* chain) {
  if (!chain->next) {
    expr* e = make_numeric(chain->item.e);
    free_list(chain);
    return new_expr(CB_EXPR, e);
  }
  return stbody1(chain);
}

expr* compldcl(list* left, list* right) {
  int nl = n_ineq(left);
  int nr = n_ineq(right);
  if (nl + nr != 2) {
    error(0,
          "complementarity constraints must involve exactly two "
          "inequalities\n\tor a single equality");
    chain_delete(left);
    chain_delete(right);
    return nullptr;
  }
  expr* lb = side(left);
  expr* rb = side(right);
  if (!lb || !rb) {
    body_delete(lb);
    body_delete(rb);
    return nullptr;
  }
  uint32_t lk = lb->opword, rk = rb->opword;
  auto eqlike = [](uint32_t k) {
    return k == CB_EQ || k == CB_RANGE || k == CB_RANGER;
  };
  uint32_t kind;
  if ((lk == CB_LE && rk == CB_GE) || (lk == CB_GE && rk == CB_LE))
    kind = CC_INEQ;
  else if (eqlike(lk))
    kind = CC_LEFT;
  else if (eqlike(rk))
    kind = CC_RIGHT;
  else
    kind = CC_PLAIN;
  return new_expr(kind, lb, rb);
}

// The union of the flags of a list's entries.
static uint32_t entry_flags(const expr* l) {
  uint32_t f = 0;
  for (; l; l = l->next) f |= eflags(l);
  return f;
}

int makepl_numeric(expr* entries) {
  for (expr* e = entries; e; e = e->next) {
    expr* v = e->R.e;
    if (v && opcode(v) == OP246) {  // a nested list
      if (makepl_numeric(v)) return 1;
      continue;
    }
    if (has(v, EF_VARS | EF_RANDVAR)) {
      error(0,
            "In declarations, variables may not appear in slope or "
            "breakpoint lists\n\tof piecewise-linear terms.");
      return 1;
    }
    e->R = make_numeric(v);
  }
  return 0;
}

static const char treating[] = "\n\tTreating this <<...;...>>(...) as zero.";

expr* makepl(expr* first, expr* second, expr* v, expr* z) {
  uint32_t lf = entry_flags(first) | entry_flags(second);
  if (lf & (EF_VARS | EF_RANDVAR)) {
    error(0, "variable in <<...; ...>>");
  } else if (lf & EF_RANDOM) {
    error(0, "random expression in <<...; ...>>");
  }
  if (lf & (EF_VARS | EF_RANDVAR | EF_RANDOM)) {
    ldelete(first);
    ldelete(second);
    edelete(v);
    edelete(z);
    return new_num(0);
  }
  v = make_numeric(v);
  if (makepl_numeric(first) || makepl_numeric(second)) {
    ldelete(first);
    ldelete(second);
    edelete(z);
    return v;
  }
  if (z) z = make_numeric(z);
  first = reverse(first);
  second = reverse(second);
  expr* lists = new_expr(opword(OP259, EF_NUMERIC), first, second);
  expr* args = new_expr(opword(OP260, EF_NUMERIC), v, z);
  expr* pl = new_expr(opword(OPPL, EF_NUMERIC), lists, args);
  const char* form = z ? "(v,z)" : "(v)";
  if (!z || !has(z, EF_VARS)) {
    if (has(v, EF_VARS)) {
      set_eflags(pl, EF_NUMERIC | EF_NONLIN | EF_VARS);
      int oc = opcode(v);
      bool plain = (oc == OPVAR164 || oc == OPVARSUB165 || oc == OPRECVAR166) &&
                   (eflags(v) == 6 || eflags(v) == 7);
      if (!plain) {
        error(0,
              "v other than simple or subscripted variable in "
              "<<...;...>>%s%s",
              form, treating);
        edelete(pl);
        return new_num(0);
      }
    }
    return pl;
  }
  error(0, "<<...;...>>%s has a variable in z%s", form, treating);
  edelete(pl);
  return new_num(0);
}

expr* pllist(expr* next, set_spec* indexing, expr* value) {
  value = make_numeric(value);
  if (has(value, EF_VARS)) error(0, "variable within <<...;...>>");
  if (indexing && !ordered_set(indexing, 0)) {
    error(0, "iteration over unordered set within <<...;...>>");
  }
  expr* e = new_expr(opword(OP246, EF_NUMERIC), indexing, value);
  e->next = next;
  if (indexing) end_context(indexing, nullptr);
  return e;
}

}  // namespace vexo
