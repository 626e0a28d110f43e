// Arithmetic, logical and relational builders.
#include "frontend/exprbuild.h"

#include "eval/set.h"
#include "eval/setclass.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/strexpr.h"
#include "session/located.h"
#include "session/startup.h"
#include "support/list.h"
#include "support/message.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

const int bop_plumin[4] = {0, 0, 0, 0};
const int bop_mult[4] = {0, 0, 0, 1};
const int bop_div[4] = {0, 1, 0, 1};
const int bop_nonlin[4] = {0, 1, 1, 1};

static int vars_index(const expr* L, const expr* R) {
  return (has_flag(L, EF_VARS) ? 2 : 0) + (R && has_flag(R, EF_VARS) ? 1 : 0);
}

bool is_logical(const expr* e) {
  switch (opcode(e)) {
    case EXISTS:
    case FORALL:
    case OPISIN:
    case OPOR:
    case OPAND:
    case LT:
    case LE:
    case EQ:
    case EQrs:
    case EQsr:
    case EQss:
    case GE:
    case GT:
    case NE:
    case NErs:
    case NEsr:
    case NEss:
    case OPNOT:
    case OPATLEAST:
    case OPATMOST:
    case OPEXACTLY:
    case OPNOTATLEAST:
    case OPNOTATMOST:
    case OPNOTEXACTLY:
    case OPIMPELSE72:
    case OP_IFF:
    case OPALLDIFF:
    case OPSOMESAME:
    case OPLOGLIT:
    case OPIMPLIES:
    case OPIMPLIEDBY:
    case OPIMPELSE79:
    case EQcss:
    case EQscs:
    case EQcscs:
    case NEcss:
    case NEscs:
    case NEcscs:
    case OPALLDIFFs:
    case OPSOMESAMEs:
    case OPALLDISJOINT:
    case OPNOTDISJOINT:
    case OPALLDISTINCT:
    case OPNOTDISTINCT:
    case OPWITHIN:
    case OPNOTWITHIN:
    case OPCONTAINS:
    case OPNOTCONTAINS:
    case OPINCHECK:
    case OPINCHECKs:
    case OPISNOTIN:
    case OPTESTZ:
    case OPTESTNZ:
      return true;
    case OPIF111:  // a choice between two conditions is a condition
      return e->R.e && is_logical(e->R.e->L.e) && is_logical(e->R.e->R.e);
    default:
      return false;
  }
}

expr* not_tuple(expr* e) {
  if (!e || opcode(e) != OPSYMLIST) return e;
  error(0, "a list in parentheses is not a value here");
  set_rc_bit(8);
  edelete(e);
  return new_num(0.);
}

expr* make_numeric(expr* e) {
  e = not_tuple(e);
  // A condition used as a number is 1 where it holds, else 0 (some
  // conditions carry the numeric flag of their operands).
  if (e && is_logical(e)) return makeif(e, new_num(1.), new_num(0.));
  if (has_flag(e, EF_NUMERIC)) return e;
  switch (opcode(e)) {
    case OPIFSYMstr113:
      error(0, "Cannot convert character string to a number.");
      break;
    case OPIFSYM112: {
      expr* pair = e->R.e;
      for (operand* b : {&pair->L, &pair->R}) {
        expr* x = b->e;
        if (opcode(x) == OPNUM2SYM) {
          b->e = x->L.e;
          free_node(x);
        } else {
          b->e = make_numeric(x);
        }
      }
      pair->opword = opword(OP261, EF_NUMERIC);
      e->opword = opword(OPIF111, EF_NUMERIC | (eflags(e) & EF_VARS));
      return e;
    }
    case OPRANDVAR:
      e->opword = opword(OPRANDVARNUM, eflags(e) | EF_NUMERIC);
      return e;
    case OPRANDVARNUMSUB:
      e->opword = opword(OPRANDVARSUB, eflags(e) | EF_STRING);
      return e;
  }
  return new_expr(opword(OPSYM2NUM, EF_NUMERIC | (eflags(e) & EF_VARS)), e);
}

expr* make_symbolic(expr* e) {
  e = not_tuple(e);
  // A condition's value is 1 or 0 as a number first (its raw value is no
  // member).
  if (e && is_logical(e)) e = make_numeric(e);
  if (has_flag(e, EF_NUMERIC))
    return new_expr(opword(OPNUM2SYM, eflags(e) & EF_VARS), e);
  if (has_flag(e, EF_STRING)) {
    if (e->opword == opword(OPSTR, EF_STRING) && !e->R.p) return make_sym(e);
    return new_expr(opword(OPSTR2SYM), e);
  }
  return e;
}

expr* negate(expr* e) {
  if (!e) return nullptr;
  if (opcode(e) == OPUMINUS) {
    expr* x = e->L.e;
    free_node(e);
    return x;
  }
  if (e->opword == opword(OPNUM, EF_CONST | EF_NUMERIC)) {
    e->L.d = -e->L.d;
    return e;
  }
  e = make_numeric(e);
  return new_expr(opword(OPUMINUS, eflags(e) | EF_NUMERIC), e);
}

// An operand of a function that takes a string: numbers are refused (with
// variables) or converted, with the messages naming the function.
static expr* string_arg(expr* e, const char* name) {
  if (has_flag(e, EF_NUMERIC)) {
    if (has_flag(e, EF_VARS | EF_RANDVAR)) {
      error(0, "%s does not work with variables", name);
      edelete(e);
      ++Blank->refcnt;
      return new_str(Blank);
    }
    error(0, "Numeric argument passed to %s", name);
  }
  return make_string(e);
}

expr* binop(uint32_t op, expr* L, expr* R, const int* nonlin) {
  if (op == opword(OPMATCH, EF_NUMERIC)) {
    L = string_arg(L, opname[OPMATCH]);
    R = string_arg(R, opname[OPMATCH]);
    return new_expr(op, L, R);
  }
  L = make_numeric(L);
  if (R) R = make_numeric(R);
  uint32_t fl = eflags(L), fr = R ? eflags(R) : fl;
  uint32_t f = (fl | fr) & ~uint32_t(EF_CONST);
  if (fl & fr & EF_CONST) f |= EF_CONST;
  if (nonlin && nonlin[vars_index(L, R)]) f |= EF_NONLIN;
  return new_expr(op | f, L, R);
}

expr* mulop(uint32_t op, expr* L, expr* R, const int* nonlin) {
  int minus = 0;
  int64_t path = 0;
  for (expr** x : {&L, &R}) {
    if (*x && opcode(*x) == OPUMINUS) {
      expr* m = *x;
      // The sign's path through m, one step longer.
      int64_t below = m->R.n > 0 ? m->R.n : NEG_PATH_END;
      path = below < (int64_t{1} << NEG_PATH_MAX)
                 ? below << 1 | (x == &L ? 0 : 1)
                 : 0;
      *x = m->L.e;
      free_node(m);
      ++minus;
    }
  }
  expr* e = binop(op, L, R, nonlin);
  if (minus == 1) {
    e = make_numeric(e);
    e = new_expr(opword(OPUMINUS, eflags(e) | EF_NUMERIC), e);
    e->R.n = path;
  }
  return e;
}

expr* unop(uint32_t op, expr* e, int nonlin) {
  if (op > opword(OPCONCAT, 15)) {
    e = string_arg(e, opname[op >> OPSHIFT]);
    return new_expr(op, e);
  }
  e = make_numeric(e);
  uint32_t f = eflags(e);
  if (op & EF_STRING)
    f &= ~uint32_t(EF_CONST | EF_NUMERIC);
  else if (nonlin && (f & EF_VARS))
    f |= EF_NONLIN;
  return new_expr(op | f, e);
}

expr* makeif(expr* cond, expr* t, expr* e) {
  if (!e) e = new_num(0.);
  uint32_t cv = has_flag(cond, EF_VARS) ? EF_VARS | EF_NONLIN : 0;
  // Two conditions make a condition; a condition beside anything else is
  // taken as its number.
  bool lt = is_logical(t), le = is_logical(e);
  if (lt != le) {
    if (lt)
      t = make_numeric(t);
    else
      e = make_numeric(e);
  }
  if ((lt && le) || (has_flag(t, EF_NUMERIC) && has_flag(e, EF_NUMERIC))) {
    uint32_t ft = eflags(t), fe = eflags(e);
    uint32_t f = (ft | fe) & ~uint32_t(EF_CONST);
    if (ft & fe & EF_CONST) f |= EF_CONST;
    if (bop_plumin[vars_index(t, e)]) f |= EF_NONLIN;
    expr* pair = new_expr(opword(OP261, f | EF_NUMERIC), t, e);
    return new_expr(opword(OPIF111, f | EF_NUMERIC | cv), cond, pair);
  }
  if (has_flag(t, EF_NUMERIC)) t = make_symbolic(t);
  if (has_flag(e, EF_NUMERIC)) e = make_symbolic(e);
  uint32_t f = ((eflags(t) | eflags(e)) & (EF_VARS | EF_NONLIN)) |
               (eflags(cond) & EF_RANDOM) | cv;
  int opc = OPIFSYMstr113;
  if (has_flag(t, EF_STRING) && has_flag(e, EF_STRING)) {
    f |= EF_STRING;
  } else {
    opc = OPIFSYM112;
    t = make_symbolic(t);
    e = make_symbolic(e);
  }
  expr* pair = new_expr(opword(OP262), t, e);
  return new_expr(opword(opc, f), cond, pair);
}

expr* makeimpli(uint32_t op, expr* cond, expr* t, expr* e) {
  uint32_t f = eflags(cond) | eflags(t) | (e ? eflags(e) : 0);
  expr* r = t;
  if (e) {
    uint32_t pv =
        has_flag(t, EF_VARS) || has_flag(e, EF_VARS) ? EF_VARS | EF_NONLIN : 0;
    r = new_expr(opword(OP262, pv), t, e);
  }
  if (f & EF_VARS) op |= EF_VARS | EF_NONLIN;
  return new_expr(op, cond, r);
}

expr* logical_not(expr* e) {
  // A condition is a truth value already: converting it as a symbol would
  // read the truth value as a member.
  uint32_t f = eflags(e) | EF_NUMERIC;
  if (f & EF_VARS) f |= EF_NONLIN;
  return new_expr(opword(OPNOT, f), e);
}

const char* relop_name(uint32_t op) {
  switch (op >> OPSHIFT) {
    case LT:
      return "<";
    case LE:
      return "<=";
    case GE:
      return ">=";
    case GT:
      return ">";
  }
  return "???";
}

// Operand kind of a comparison: 0 number, 1 symbol, 2 string.
static int kind_of(const expr* e) {
  return has_flag(e, EF_NUMERIC) ? 0 : has_flag(e, EF_STRING) ? 2 : 1;
}

// The == variant for operand kinds (left, right), or -1 when a number is
// compared with a string.
static int eq_variant(int l, int r) {
  static const int tab[3][3] = {
      {EQ, EQrs, -1}, {EQsr, EQss, EQscs}, {-1, EQcss, EQcscs}};
  return tab[l][r];
}

static int ne_of(int eq) { return eq < EQcss ? eq + (NE - EQ) : eq + 3; }

expr* relop(expr* L, uint32_t op, expr* R, expr** keep) {
  // A list in parentheses is no value; a condition compared is compared
  // as its number, 1 or 0.
  L = not_tuple(L);
  R = not_tuple(R);
  if (is_logical(L)) L = make_numeric(L);
  if (is_logical(R)) R = make_numeric(R);
  if ((op == opword(EQ) || op == opword(NE)) && !has_flag(L, EF_VARS) &&
      !has_flag(R, EF_VARS)) {
    int v = eq_variant(kind_of(L), kind_of(R));
    if (v < 0) {
      if (keep)
        *keep = R;
      else
        edelete(R);
      edelete(L);
      return new_expr(opword(OPLOGLIT), int32_t(op == opword(NE) ? 1 : 0));
    }
    op = opword(op == opword(NE) ? ne_of(v) : v);
  } else {
    L = make_numeric(L);
    R = make_numeric(R);
    if (has_flag(L, EF_VARS) || has_flag(R, EF_VARS)) op |= EF_VARS | EF_NONLIN;
  }
  if (keep) *keep = nullptr;
  return new_expr(op | ((eflags(L) | eflags(R)) & EF_RANDOM), L, R);
}

static bool ordered_cmp(uint32_t op) { return (op & EF_NUMERIC) != 0; }

list* relopchain(expr* first, list* chain, uint32_t op, expr* e) {
  if (first) chain = new_list(nullptr, first);
  bool said = false;
  if (ordered_cmp(op) && chain && has_flag(chain->item.e, EF_STRING)) {
    error(0, "Invalid comparison string %s ... .", relop_name(op));
    said = true;
  }
  chain = new_list_int(chain, int32_t(op));
  chain = new_list(chain, e);
  if (!said && ordered_cmp(op) && has_flag(e, EF_STRING))
    error(0, "Invalid comparison ... %s string.", relop_name(op));
  return chain;
}

static bool is_false_lit(const expr* e) {
  return opcode(e) == OPLOGLIT && e->L.i == 0;
}

expr* relop_adj(list* chain) {
  chain = reverse(chain);
  list* c = chain;
  expr* keep = nullptr;
  expr* a = c->item.e;
  uint32_t op = uint32_t(c->next->item.i);
  c = c->next->next;
  expr* last = relop(a, op, c->item.e, &keep);
  expr* result = last;
  for (c = c->next; c; c = c->next->next) {
    op = uint32_t(c->item.i);
    expr* x = c->next->item.e;
    if (opcode(result) == OPLOGLIT) {
      if (is_false_lit(result)) {
        // Decided false: the rest of the chain is never evaluated.
        for (list* d = c->next; d; d = d->next ? d->next->next : nullptr)
          edelete(d->item.e);
        break;
      }
      free_node(result);
      expr* k = keep;
      keep = nullptr;
      last = result = relop(k, op, x, &keep);
      continue;
    }
    expr* l2;
    expr* w1 = nullptr;
    expr* mid = nullptr;
    if (last) {
      // Share the middle operand: the first wrapper owns it, the second
      // (its marker) refers to it for the new comparison.
      mid = last->R.e;
      w1 = new_expr(opword(OPRELOPCH, eflags(mid)), mid);
      l2 = new_expr(opword(OPRELOPCH, eflags(mid)), mid);
      w1->R.e = l2;
      last->R.e = w1;
    } else {
      // The previous step was decided at once and gave up its right
      // operand, which this step takes over alone.
      l2 = keep;
      keep = nullptr;
    }
    if (ordered_cmp(op)) {
      l2 = make_numeric(l2);
      x = make_numeric(x);
    }
    expr* cmp = relop(l2, op, x, &keep);
    if (opcode(cmp) == OPLOGLIT) {
      // Decided: the marker was dropped, so the middle operand goes back
      // to the previous comparison unshared.
      if (w1) {
        last->R.e = mid;
        free_node(w1);
      }
      last = nullptr;
    } else {
      last = cmp;
    }
    uint32_t f = has_flag(result, EF_VARS) || has_flag(cmp, EF_VARS)
                     ? EF_VARS | EF_NONLIN
                     : 0;
    result = new_expr(opword(OPAND, f), result, cmp);
  }
  free_list(chain);
  edelete(keep);
  return result;
}

expr* in_test(expr* tuple, set* s, uint32_t op) {
  int n = listlen(tuple);
  expr* sl = new_expr(opword(OPSYMLIST), tuple);
  if (s->arity != n) {
    if (s->arity == 0)
      fixarity(s, n, int(op >> OPSHIFT));
    else
      error(0, "members of %s have arity %d, not %d",
            s->owner ? xnode_name(s->owner) : "this set expression", s->arity,
            n);
  }
  return new_expr(op, sl, s);
}

expr* alldiff(expr* x, expr* args) {
  uint32_t v = uint32_t(has_variable(args));
  if (!x) {
    int opc = has_nonnumeric(args) ? OPALLDIFFs : OPALLDIFF;
    return new_expr(opword(opc, v), nullptr, args);
  }
  int opc = has_flag(x, EF_NUMERIC) && !has_nonnumeric(args) ? OPNUMBEROF
                                                             : OPNUMBEROFs;
  return new_expr(opword(opc, EF_NUMERIC | v | (eflags(x) & EF_VARS)), x, args);
}

expr* alldisjoint(expr* args) {
  return new_expr(opword(OPALLDISJOINT), nullptr, args);
}

expr* alldistinct(expr* args) {
  return new_expr(opword(OPALLDISTINCT), nullptr, args);
}

}  // namespace vexo
