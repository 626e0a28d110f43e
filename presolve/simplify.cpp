// Nonlinear simplification of the rows' nonlinear parts.
#include "presolve/simplify.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <utility>
#include <vector>

#include "compiler/ecopy.h"
#include "compiler/plterm.h"
#include "compiler/tva.h"
#include "eval/funclib.h"
#include "eval/dispatch.h"
#include "frontend/expr.h"
#include "frontend/strexpr.h"
#include "instance/ac.h"
#include "instance/names.h"
#include "instance/varref.h"
#include "presolve/bounds.h"
#include "presolve/fixing.h"
#include "presolve/internal.h"
#include "presolve/presolve.h"
#include "session/opttable.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"

namespace vexo {

namespace {

// ---- Nodes ----------------------------------------------------------------

bool isk(const expr* e) { return e && e->opword == SIMP_NUM; }

void set_k(expr* e, double v) {
  e->opword = SIMP_NUM;
  e->L.d = v;
  e->R.p = nullptr;
  e->op = f_OPNUM;
}

expr* num(double v) {
  expr* e = new_num(v);
  e->op = f_OPNUM;
  return e;
}

// A whole subtree back to the pool (not what follows it through next).
void kill(expr* e) {
  if (!e) return;
  e->next = nullptr;
  edelete(e);
}

expr* node(int opc, uint32_t flags, expr* l, expr* r) {
  expr* e = new_expr(opword(opc, flags), l, r);
  e->op = functab[size_t(opc)];
  return e;
}

void retag(expr* e, int opc, uint32_t flags) {
  e->opword = opword(opc, flags);
  e->op = functab[size_t(opc)];
}

uint32_t varflags(const expr* a, const expr* b) {
  return (((a ? eflags(a) : 0) | (b ? eflags(b) : 0)) & (EF_VARS | EF_NONLIN)) |
         EF_NUMERIC;
}

// -x, or y when x is -y; a constant has its value negated.
expr* negate(expr* x) {
  if (isk(x)) {
    x->L.d = -x->L.d;
    return x;
  }
  if (opcode(x) == OPUMINUS) {
    expr* y = x->L.e;
    free_node(x);
    return y;
  }
  return node(OPUMINUS, eflags(x) | EF_NUMERIC, x, nullptr);
}

// ---- Folding ----------------------------------------------------------------

// The context of folds: the driver's (P->ac->simp_tva) while it runs.
TVA* fold_tva(Presolve* P) {
  AC* ac = P->ac;
  if (!ac->simp_tva) ac->simp_tva = cur_tva;
  return ac->simp_tva;
}

// Evaluates e, whose operands are constants, by its own routine; on
// success e becomes the constant (its operands freed by the caller's
// free_ops) and true is returned.  A failed evaluation keeps e.
bool eval_fold(Presolve* P, expr* e, double* v) {
  int op = opcode(e);
  if (op >= N_EVAL_OPCODES) return false;
  TVA* tva = fold_tva(P);
  if (!tva) return false;
  AC* ac = P->ac;
  int32_t quiet = ac->simp_quiet;
  ac->simp_quiet = 1;
  ac->simp_err = 0;
  errno = 0;
  efunc saved = e->op;
  e->op = functab[size_t(op)];
  double r = eval_num(e, tva);
  e->op = saved;
  ac->simp_quiet = quiet;
  bool ok = !ac->simp_err && !std::isnan(r);
  ac->simp_err = 0;
  errno = 0;
  if (ok) *v = r;
  return ok;
}

// ---- Multiplicative and distributive rules ----------------------------------

// The form of a product or quotient p with one constant operand: the flag
// bit 8 of mult when the constant is on the right; -1 when p is neither
// d*y (constant left) nor d/y nor y/d.
int inner_form(const expr* p) {
  int op = opcode(p);
  if (op == OPMULT && isk(p->L.e) && !isk(p->R.e)) return 0;
  if (op == OPDIV && isk(p->L.e) && !isk(p->R.e)) return 2;
  if (op == OPDIV && isk(p->R.e) && !isk(p->L.e)) return 8 | 1;
  return -1;
}

// The flags of mult for node e (constant on one side), or -1.
int mult_flags(const expr* e) {
  int op = opcode(e);
  if (op == OPMULT && isk(e->L.e)) {
    switch (inner_form(e->R.e)) {
      case 0: return 0;
      case 2: return 2;
      case 9: return 9;
    }
  } else if (op == OPDIV && isk(e->L.e)) {
    switch (inner_form(e->R.e)) {
      case 0: return 3;
      case 2: return 1;
      case 9: return 10;
    }
  } else if (op == OPDIV && isk(e->R.e)) {
    switch (inner_form(e->L.e)) {
      case 0: return 37;
      case 2: return 39;
      case 9: return 30;
    }
  }
  return -1;
}

// A term distconst can scale: a constant, a product with a constant left
// operand, a quotient by a constant.
bool scalable(const expr* t, bool lists) {
  if (isk(t)) return lists;
  int op = opcode(t);
  return (op == OPMULT && isk(t->L.e)) || (op == OPDIV && isk(t->R.e));
}

}  // namespace

void mult(expr* e, int flags) {
  expr *k, *p, *d, *y;
  if (flags & 4) {
    k = e->R.e;
    p = e->L.e;
  } else {
    k = e->L.e;
    p = e->R.e;
  }
  if (flags & 8) {
    d = p->R.e;
    y = p->L.e;
  } else {
    d = p->L.e;
    y = p->R.e;
  }
  double kv = k->L.d, dv = d->L.d, c;
  if (flags & 1) {
    double nu = (flags & 32) ? dv : kv, de = (flags & 32) ? kv : dv;
    if (de == 0) return;
    c = nu / de;
  } else {
    c = kv * dv;
  }
  presolve_assoc[2] |= 2;
  if (!std::isfinite(c)) return;
  set_k(k, c);
  retag(e, (flags & 2) ? OPDIV : OPMULT, (eflags(y) | EF_NUMERIC));
  if (flags & 16) {
    e->L.e = y;
    e->R.e = k;
  } else {
    e->L.e = k;
    e->R.e = y;
  }
  free_node(d);
  free_node(p);
}

void applyconst(double c, expr* t) {
  if (isk(t)) {
    t->L.d *= c;
  } else if (opcode(t) == OPMULT && isk(t->L.e)) {
    t->L.e->L.d *= c;
  } else if (opcode(t) == OPDIV && isk(t->R.e)) {
    expr* d = t->R.e;
    d->L.d = c / d->L.d;
    t->R.e = t->L.e;
    t->L.e = d;
    retag(t, OPMULT, eflags(t) | EF_NUMERIC);
  } else {
    bug("applyconst botch");
  }
}

void distconst(expr* e, int overlist) {
  expr* k = e->L.e;
  expr* s = e->R.e;
  double c = k->L.d;
  if (overlist) {
    for (expr* t = s->L.e; t; t = t->next) applyconst(c, t);
  } else {
    applyconst(c, s->L.e);
    applyconst(c, s->R.e);
  }
  free_node(k);
  e->opword = s->opword;
  e->op = s->op;
  e->L = s->L;
  e->R = s->R;
  free_node(s);
  presolve_assoc[2] |= 4;
}

namespace {

expr* simp(Presolve* P, expr* e, int* kind);

// The kind of a simplified tree: linear when made of variable values,
// sums and constant multiples, else nonlinear.
int lin_kind(const expr* e) {
  if (isk(e)) return SK_CONST;
  switch (opcode(e)) {
    case OPVARVAL146:
      // A defined variable solved out stays in the nonlinear part.
      return eflags(e) & EF_NONLIN ? SK_NONLIN : SK_LINEAR;
    case OPUMINUS:
      return lin_kind(e->L.e);
    case OPPLUS:
    case OPMINUS:
      return std::max(lin_kind(e->L.e), lin_kind(e->R.e));
    case OPSUMLIST: {
      int k = SK_CONST;
      for (const expr* t = e->L.e; t; t = t->next) k = std::max(k, lin_kind(t));
      return k;
    }
    case OPMULT:
      if (isk(e->L.e)) return lin_kind(e->R.e);
      if (isk(e->R.e)) return lin_kind(e->L.e);
      return SK_NONLIN;
    case OPDIV:
      return isk(e->R.e) && e->R.e->L.d != 0 ? lin_kind(e->L.e) : SK_NONLIN;
  }
  return SK_NONLIN;
}

// ---- Sums -------------------------------------------------------------------

// The leading constant of x when x is d + y, d - y or a sum list headed by
// a constant; null otherwise.
expr* lead_const(expr* x) {
  int op = opcode(x);
  if ((op == OPPLUS || op == OPMINUS) && isk(x->L.e)) return x->L.e;
  if (op == OPSUMLIST && x->L.e && isk(x->L.e)) return x->L.e;
  return nullptr;
}

expr* sumlist_finish(Presolve* P, expr* e, int* kind);

// c + x, c - x (sub) with x headed by the constant d: the constant gathers.
// Returns the new node, or null when the rule does not apply.
expr* add_const(expr* e, expr* c, expr* x, bool sub) {
  expr* d = lead_const(x);
  if (!d) return nullptr;
  presolve_assoc[2] |= 1;
  double s = sub ? -1 : 1;
  double nc = c->L.d + s * d->L.d;
  int xo = opcode(x);
  expr* y;
  double ys = s;
  if (xo == OPSUMLIST) {
    x->L.e = d->next;
    free_node(d);
    y = x;
    if (y->L.e && !y->L.e->next) {
      expr* only = y->L.e;
      free_node(y);
      y = only;
    }
  } else {
    if (xo == OPMINUS) ys = -s;
    y = x->R.e;
    free_node(d);
    free_node(x);
  }
  set_k(c, nc);
  retag(e, ys > 0 ? OPPLUS : OPMINUS, varflags(y, nullptr));
  e->L.e = c;
  e->R.e = y;
  return e;
}

// The additive rules for binary + and - (addassoc): the constant goes to
// the left of a sum, and constants of nested sums gather.
expr* additive(expr* e) {
  int op = opcode(e);
  expr *l = e->L.e, *r = e->R.e;
  if (op == OPPLUS && isk(r) && !isk(l)) {
    e->L.e = r;
    e->R.e = l;
    std::swap(l, r);
  }
  if (isk(l)) return add_const(e, l, r, op == OPMINUS);
  if (op == OPMINUS && isk(r)) {
    // x - c is x + (-c).
    r->L.d = -r->L.d;
    e->L.e = r;
    e->R.e = l;
    retag(e, OPPLUS, eflags(e));
    if (expr* x = add_const(e, r, l, false)) return x;
    return e;
  }
  return nullptr;
}

// ---- Simplification by shape ------------------------------------------------

void report_div0(Presolve* P) {
  int32_t row = P->ac->simp_index;
  if (row < 0 || row >= P->nrows || !P->rstat) return;
  if (P->rstat[row] & RS_DIVZERO) return;
  P->rstat[row] |= RS_DIVZERO;
  badcon(P, row, 0, "division by zero.");
}

expr* binary(Presolve* P, expr* e, int* kind) {
  int kl, kr;
  e->L.e = simplify(P, e->L.e, &kl);
  if (!e->R.e) {
    // A two-argument function called with one.
    if (isk(e->L.e)) {
      double v;
      if (eval_fold(P, e, &v)) {
        kill(e->L.e);
        set_k(e, v);
        *kind = SK_CONST;
      }
    }
    return e;
  }
  e->R.e = simplify(P, e->R.e, &kr);
  expr *l = e->L.e, *r = e->R.e;
  int op = opcode(e);
  if (isk(l) && isk(r)) {
    double v;
    if (eval_fold(P, e, &v)) {
      free_node(l);
      free_node(r);
      set_k(e, v);
      *kind = SK_CONST;
      return e;
    }
    if (op == OPDIV && r->L.d == 0) report_div0(P);
    return e;
  }
  bool add = op == OPPLUS || op == OPMINUS;
  if (add) *kind = std::max(kl, kr);
  if ((op == OPMULT || op == OPDIV) &&
      (opcode(l) == OPUMINUS || opcode(r) == OPUMINUS)) {
    bool nl = opcode(l) == OPUMINUS, nr = opcode(r) == OPUMINUS;
    if (nl) {
      e->L.e = l->L.e;
      free_node(l);
    }
    if (nr) {
      e->R.e = r->L.e;
      free_node(r);
    }
    expr* x = simplify(P, e, kind);
    if (nl != nr) {
      if (!has_flag(x, 0x104) && !isk(x) && opcode(x) != OPUMINUS)
        bug("neg botch in simplify");
      x = negate(x);
    }
    return x;
  }
  if (op == OPREM && opcode(r) == OPUMINUS) {
    e->R.e = r->L.e;
    free_node(r);
    r = e->R.e;
  }
  if (isk(l) && l->L.d == 0) {
    switch (op) {
      case OPPLUS:
        free_node(l);
        free_node(e);
        *kind = kr;
        return r;
      case OPMINUS:
        free_node(l);
        free_node(e);
        *kind = kr;
        return negate(r);
      case OPMULT:
      case OPDIV:
      case OPREM:
        kill(r);
        free_node(l);
        set_k(e, 0);
        ++P->nsimp;
        *kind = SK_CONST;
        return e;
    }
  }
  if (isk(r) && r->L.d == 0) {
    switch (op) {
      case OPPLUS:
      case OPMINUS:
        free_node(r);
        free_node(e);
        *kind = kl;
        return l;
      case OPMULT:
        kill(l);
        free_node(r);
        set_k(e, 0);
        ++P->nsimp;
        *kind = SK_CONST;
        return e;
      case OPDIV:
        report_div0(P);
        return e;
    }
  }
  if (add) {
    if (addassoc)
      if (expr* x = additive(e)) {
        *kind = std::max(kl, kr);
        return x;
      }
    return e;
  }
  if (op == OPMULT && (isk(l) || isk(r))) {
    if (isk(r)) {
      e->L.e = r;
      e->R.e = l;
      std::swap(l, r);
      std::swap(kl, kr);
    }
    *kind = kr;
    double c = l->L.d;
    if (c == 1 || c == -1) {
      free_node(l);
      free_node(e);
      return c == 1 ? r : negate(r);
    }
    if (multassoc) {
      int f = mult_flags(e);
      if (f >= 0) {
        mult(e, f);
        return e;
      }
    }
    if (distassoc) {
      int ro = opcode(r);
      if ((ro == OPPLUS || ro == OPMINUS) && scalable(r->L.e, false) &&
          scalable(r->R.e, false)) {
        distconst(e, 0);
        return e;
      }
      if (ro == OPSUMLIST && r->L.e) {
        bool all = true;
        for (expr* t = r->L.e; t && all; t = t->next) all = scalable(t, true);
        if (all) {
          distconst(e, 1);
          return e;
        }
      }
    }
    return e;
  }
  if (op == OPDIV && isk(r)) {
    *kind = kl;
    double c = r->L.d;
    if (c == 1 || c == -1) {
      free_node(r);
      free_node(e);
      return c == 1 ? l : negate(l);
    }
    if (multassoc) {
      int f = mult_flags(e);
      if (f >= 0) mult(e, f);
    }
    return e;
  }
  if (op == OPDIV && isk(l) && multassoc) {
    int f = mult_flags(e);
    if (f >= 0) {
      mult(e, f);
      if (opcode(e) == OPMULT) *kind = lin_kind(e->R.e);
    }
  }
  return e;
}

// A sum list (opcode 54): terms simplified; with addassoc constants
// gather in front and nested sums are spliced; constant zeros go.
expr* sumlist(Presolve* P, expr* e, int* kind) {
  double acc = 0;
  int k = SK_CONST;
  expr** link = &e->L.e;
  bool first = true;
  while (*link) {
    int tk;
    expr* t = simplify(P, *link, &tk);
    *link = t;
    if (isk(t) && (addassoc || t->L.d == 0)) {
      if (addassoc) {
        acc += t->L.d;
        if (!first) presolve_assoc[2] |= 1;
      }
      *link = t->next;
      free_node(t);
      continue;
    }
    if (addassoc && opcode(t) == OPSUMLIST && t->L.e) {
      // Spliced: its terms take its place (already simplified).
      expr* in = t->L.e;
      if (isk(in)) {
        acc += in->L.d;
        expr* n = in->next;
        free_node(in);
        in = n;
      }
      if (!first) presolve_assoc[2] |= 1;
      expr* rest = t->next;
      free_node(t);
      if (!in) {
        *link = rest;
        continue;
      }
      *link = in;
      expr* last = in;
      while (last->next) {
        k = std::max(k, lin_kind(last));
        last = last->next;
      }
      k = std::max(k, lin_kind(last));
      last->next = rest;
      link = &last->next;
      first = false;
      continue;
    }
    if (addassoc && (opcode(t) == OPPLUS || opcode(t) == OPMINUS) &&
        isk(t->L.e)) {
      acc += t->L.e->L.d;
      presolve_assoc[2] |= 1;
      expr* y = t->R.e;
      free_node(t->L.e);
      expr* n = t->next;
      if (opcode(t) == OPPLUS) {
        free_node(t);
        t = y;
      } else {
        t->next = nullptr;
        retag(t, OPUMINUS, eflags(y) | EF_NUMERIC);
        t->L.e = y;
        t->R.p = nullptr;
      }
      t->next = n;
      *link = t;
      tk = lin_kind(t);
    }
    k = std::max(k, tk);
    link = &t->next;
    first = false;
  }
  if (addassoc && acc != 0) {
    expr* c = num(acc);
    c->next = e->L.e;
    e->L.e = c;
  }
  *kind = k;
  return sumlist_finish(P, e, kind);
}

// Both modes: an empty list is 0, one element the element; leading
// constants summed; two elements a binary +.
expr* sumlist_finish(Presolve* P, expr* e, int* kind) {
  (void)P;
  expr* a = e->L.e;
  if (a && isk(a)) {
    while (a->next && isk(a->next)) {
      expr* b = a->next;
      a->L.d += b->L.d;
      a->next = b->next;
      free_node(b);
    }
    if (a->L.d == 0 && a->next) {
      e->L.e = a->next;
      free_node(a);
    }
  }
  a = e->L.e;
  if (!a) {
    set_k(e, 0);
    *kind = SK_CONST;
    return e;
  }
  if (!a->next) {
    free_node(e);
    if (isk(a)) *kind = SK_CONST;
    return a;
  }
  if (!a->next->next) {
    expr* b = a->next;
    a->next = b->next = nullptr;
    if (isk(b)) std::swap(a, b);
    retag(e, OPPLUS, varflags(a, b));
    e->L.e = a;
    e->R.e = b;
  }
  return e;
}

// ---- Lists of arguments -----------------------------------------------------

// min or max over a plain chain at *link (opcodes 11, 12): constants
// removed, their extreme kept; returns whether any element is left, with
// *m the extreme and *n the constants removed.
bool extreme_list(Presolve* P, expr** link, bool is_max, double* m, int* n) {
  *n = 0;
  bool left = false;
  while (*link) {
    int k;
    expr* t = simplify(P, *link, &k);
    *link = t;
    if (isk(t)) {
      double v = t->L.d;
      if (!*n || (is_max ? v > *m : v < *m)) *m = v;
      ++*n;
      *link = t->next;
      free_node(t);
      continue;
    }
    left = true;
    link = &t->next;
  }
  return left;
}

expr* minmax_list(Presolve* P, expr* e, int* kind) {
  double m = 0;
  int n;
  bool left = extreme_list(P, &e->L.e, opcode(e) == MAXLIST, &m, &n);
  if (!left) {
    if (n) {
      set_k(e, m);
      *kind = SK_CONST;
    }
    return e;
  }
  if (n) {
    expr* last = e->L.e;
    while (last->next) last = last->next;
    last->next = num(m);
  }
  return e;
}

// The arguments of an argument list (OPARG cells, the argument in R)
// simplified numerically; returns whether all became constants.
bool argsimplify(Presolve* P, expr* args) {
  bool all = true;
  for (expr* a = args; a; a = a->next) {
    if (opcode(a) != OPARG || a->L.p || !a->R.e) {
      all = false;
      continue;
    }
    int k;
    a->R.e = simplify(P, a->R.e, &k);
    all = all && isk(a->R.e);
  }
  return all;
}

// The same for logical arguments: a decided one becomes the number 0 or 1.
bool largsimplify(Presolve* P, expr* args) {
  bool all = true;
  for (expr* a = args; a; a = a->next) {
    if (opcode(a) != OPARG || a->L.p || !a->R.e) {
      all = false;
      continue;
    }
    int v;
    expr* x = lsimplify(P, a->R.e, &v);
    if (v != LV_OPEN) x = num(v);
    a->R.e = x;
    all = all && v != LV_OPEN;
  }
  return all;
}

// count (59): decided arguments count and go; when any went, the result
// is the reduced count plus their number.
expr* count_list(Presolve* P, expr* e, int* kind) {
  largsimplify(P, e->R.e);
  int m = 0, removed = 0;
  expr** link = &e->R.e;
  while (expr* a = *link) {
    if (opcode(a) == OPARG && !a->L.p && isk(a->R.e)) {
      m += a->R.e->L.d != 0;
      ++removed;
      *link = a->next;
      kill(a);
      continue;
    }
    link = &a->next;
  }
  if (!e->R.e) {
    set_k(e, m);
    *kind = SK_CONST;
    return e;
  }
  if (!removed || !m) return e;
  uint32_t f = (eflags(e) & 0x104) | EF_NUMERIC | EF_NONLIN;
  return node(OPPLUS, f, e, num(m));
}

// Other argument lists: min and max of lists, numberof, alldiff.
expr* arglist(Presolve* P, expr* e, int* kind) {
  int op = opcode(e);
  if (op == OPCOUNT) return count_list(P, e, kind);
  if (e->L.e) {
    int k;
    e->L.e = simplify(P, e->L.e, &k);
  }
  argsimplify(P, e->R.e);
  expr* r = e;
  if (op == MINLIST2 || op == MAXLIST2)
    r = simplify_mlist2(e, op == MAXLIST2 ? 1.0 : -1.0);
  else if ((op == OPNUMBEROF || op == OPNUMBEROFs) && e->L.e && isk(e->L.e))
    r = simplify_numberof(e);
  if (isk(r)) *kind = SK_CONST;
  return r;
}

// Imported function calls: the arguments simplified.  A call whose
// arguments are all constant becomes its value when the function is
// available and gives the same result at every call; its library's count
// of uses stays, as the model still holds the call.
expr* call(Presolve* P, expr* e, int* kind) {
  bool constant = true;
  for (expr* a = e->R.e; a; a = a->next) {
    int k = SK_NONLIN;
    if (opcode(a) == OPARG && !a->L.p && a->R.e)
      a->R.e = simplify(P, a->R.e, &k);
    if (k != SK_CONST) constant = false;
  }
  const auto* f = static_cast<const function*>(e->L.x);
  double v;
  if (!constant || !f || !f->funcp || (f->fflags & 0x10000) ||
      !eval_fold(P, e, &v))
    return e;
  for (expr* a = e->R.e, *n; a; a = n) {
    n = a->next;
    kill(a);
  }
  set_k(e, v);
  *kind = SK_CONST;
  return e;
}

// ---- Conditionals -----------------------------------------------------------

expr* conditional(Presolve* P, expr* e, int* kind) {
  int v;
  ++P->ifdepth;
  e->L.e = lsimplify(P, e->L.e, &v);
  expr* pair = e->R.e;
  if (v == LV_OPEN) {
    int k;
    if (pair->L.e) pair->L.e = simplify(P, pair->L.e, &k);
    if (pair->R.e) pair->R.e = simplify(P, pair->R.e, &k);
    --P->ifdepth;
    return e;
  }
  expr* keep = v ? pair->L.e : pair->R.e;
  kill(v ? pair->R.e : pair->L.e);
  free_node(pair);
  free_node(e);
  --P->ifdepth;
  if (!keep) {
    *kind = SK_CONST;
    return num(0);
  }
  return simplify(P, keep, kind);
}

// ---- The walk ---------------------------------------------------------------

expr* simp(Presolve* P, expr* e, int* kind) {
  *kind = SK_NONLIN;
  int op = opcode(e);
  switch (shape(e)) {
    case SH_NUMBER:
      if (isk(e)) e->op = f_OPNUM;
      *kind = SK_CONST;
      return e;
    case SH_LITERAL:
    case SH_STRING:
    case SH_LOGLIT:
      *kind = SK_CONST;
      return e;
    case SH_UNARY:
    case SH_FUNC1: {
      if (!e->L.e) return e;
      int k;
      e->L.e = simplify(P, e->L.e, &k);
      expr* x = e->L.e;
      if (op == OPUMINUS) {
        *kind = k;
        if (isk(x)) {
          free_node(e);
          x->L.d = -x->L.d;
          return x;
        }
        if (opcode(x) == OPUMINUS) {
          expr* y = x->L.e;
          free_node(x);
          free_node(e);
          return y;
        }
        return e;
      }
      double v;
      if (isk(x) && eval_fold(P, e, &v)) {
        free_node(x);
        set_k(e, v);
        *kind = SK_CONST;
      }
      return e;
    }
    case SH_BINARY:
    case SH_FUNC2:
      if (!e->L.e) return e;
      return binary(P, e, kind);
    case SH_IF:
      return conditional(P, e, kind);
    case SH_VARVAL: {
      int32_t j = e->L.i;
      if (j >= 0 && j < P->nvars && P->vlb[j] >= P->vub[j]) {
        set_k(e, P->vlb[j]);
        *kind = SK_CONST;
      } else {
        *kind = eflags(e) & EF_NONLIN ? SK_NONLIN : SK_LINEAR;
      }
      return e;
    }
    case SH_PLTERM: {
      const plterm* t = static_cast<const plterm*>(e->L.p);
      if (t && t->index >= 0 && t->index < P->nvars &&
          P->vlb[t->index] >= P->vub[t->index]) {
        double v = plval(t, P->vlb[t->index]);
        e->R.p = nullptr;
        kill(e);
        *kind = SK_CONST;
        return num(v);
      }
      return e;
    }
    case SH_CALL:
      return call(P, e, kind);
    case SH_LIST:
      if (op == MINLIST || op == MAXLIST) return minmax_list(P, e, kind);
      return e;
    case SH_SUMLIST:
      if (op == OPSUMLIST) return sumlist(P, e, kind);
      return e;
    case SH_ARGLIST:
      return arglist(P, e, kind);
  }
  // No rule for this shape: left as it is, nonlinear.
  return e;
}

// ---- Logical expressions ----------------------------------------------------

// The complementary operator of op (compiler/ecopy.h's Not), or -1.
// exists and forall are left out: their bodies would need complementing.
int not_op(int op) {
  if (op < 0 || op >= int(Not.size()) || op == EXISTS || op == FORALL)
    return -1;
  uint32_t w = Not[size_t(op)];
  return (w & 0x7ffff) && !(w & 0x80000) ? int(w >> OPSHIFT) : -1;
}

// !c: the complementary operator, the operand of a !, or a new ! node.
expr* complement(expr* c) {
  int op = opcode(c);
  if (op == OPNOT) {
    expr* y = c->L.e;
    free_node(c);
    return y;
  }
  if (not_op(op) >= 0) {
    retag(c, not_op(op), eflags(c));
    // !(a && b) is !a || !b: the operands of a junction are complemented
    // too (the complementary operator alone would change the meaning).
    if (op == OPOR || op == OPAND) {
      c->L.e = complement(c->L.e);
      c->R.e = complement(c->R.e);
    } else if (op == ANDLIST || op == ORLIST) {
      for (expr** l = &c->L.e; *l; l = &(*l)->next) {
        expr* nx = (*l)->next;
        (*l)->next = nullptr;
        *l = complement(*l);
        (*l)->next = nx;
      }
    }
    return c;
  }
  return node(OPNOT, eflags(c), c, nullptr);
}

expr* decided(expr* e, int* value, int v) {
  kill(e);
  *value = v ? LV_TRUE : LV_FALSE;
  return nullptr;
}

// Counting relations: k against the count n.
bool count_holds(int op, double k, double n) {
  switch (op) {
    case OPATLEAST: return n >= k;
    case OPATMOST: return n <= k;
    case OPEXACTLY: return n == k;
    case OPNOTATLEAST: return !(n >= k);
    case OPNOTATMOST: return !(n <= k);
    default: return n != k;
  }
}

expr* lsimp_countrel(Presolve* P, expr* e, int* value) {
  int op = opcode(e), k;
  e->L.e = simplify(P, e->L.e, &k);
  expr* c = e->R.e;
  if (c) c = e->R.e = simplify(P, c, &k);
  expr* b = e->L.e;
  if (isk(b) && c && opcode(c) == OPPLUS && isk(c->R.e) &&
      opcode(c->L.e) == OPCOUNT) {
    // count + m: m moves onto the bound.
    b->L.d -= c->R.e->L.d;
    e->R.e = c->L.e;
    free_node(c->R.e);
    free_node(c);
    c = e->R.e;
  }
  if (isk(b) && c && isk(c))
    return decided(e, value, count_holds(op, b->L.d, c->L.d));
  if (isk(b)) {
    double kb = b->L.d;
    if (op == OPATLEAST && kb <= 0) return decided(e, value, 1);
    if (op == OPNOTATLEAST && kb <= 0) return decided(e, value, 0);
    if ((op == OPATMOST || op == OPEXACTLY) && kb < 0)
      return decided(e, value, 0);
    if ((op == OPNOTATMOST || op == OPNOTEXACTLY) && kb < 0)
      return decided(e, value, 1);
  }
  *value = LV_OPEN;
  return e;
}

bool comparison(int op) { return op >= LT && op <= NEss; }

double compare(int op, double a, double b) {
  switch (op) {
    case LT: return a < b;
    case LE: return a <= b;
    case EQ: return a == b;
    case GE: return a >= b;
    case GT: return a > b;
    default: return a != b;
  }
}

// && and ||: absorbing and neutral decided operands.
expr* lsimp_andor(Presolve* P, expr* e, int* value) {
  int absorb = opcode(e) == OPOR ? 1 : 0;
  int vl, vr;
  e->L.e = lsimplify(P, e->L.e, &vl);
  if (vl == absorb) {
    kill(e->R.e);
    free_node(e);
    *value = absorb;
    return nullptr;
  }
  e->R.e = lsimplify(P, e->R.e, &vr);
  if (vr == absorb) {
    kill(e->L.e);
    free_node(e);
    *value = absorb;
    return nullptr;
  }
  expr *l = e->L.e, *r = e->R.e;
  if (vl != LV_OPEN && vr != LV_OPEN) {
    free_node(e);
    *value = 1 - absorb;
    return nullptr;
  }
  *value = LV_OPEN;
  if (vl != LV_OPEN) {
    free_node(e);
    return r;
  }
  if (vr != LV_OPEN) {
    free_node(e);
    return l;
  }
  return e;
}

expr* lsimp_list(Presolve* P, expr* e, int* value) {
  int absorb = opcode(e) == ORLIST ? 1 : 0;
  expr** link = &e->L.e;
  while (*link) {
    int v;
    expr* nx = (*link)->next;
    (*link)->next = nullptr;
    expr* t = lsimplify(P, *link, &v);
    if (v == absorb) {
      *link = nx;
      return decided(e, value, absorb);
    }
    if (v != LV_OPEN) {
      *link = nx;
      continue;
    }
    t->next = nx;
    *link = t;
    link = &t->next;
  }
  expr* a = e->L.e;
  if (!a) return decided(e, value, 1 - absorb);
  *value = LV_OPEN;
  if (!a->next) {
    free_node(e);
    return a;
  }
  if (!a->next->next) {
    expr* b = a->next;
    a->next = nullptr;
    retag(e, absorb ? OPOR : OPAND, eflags(e));
    e->L.e = a;
    e->R.e = b;
  }
  return e;
}

// c ==> T else E (opcode 72).
expr* lsimp_impelse(Presolve* P, expr* e, int* value) {
  int vc, vt, ve;
  expr* c = lsimplify(P, e->L.e, &vc);
  expr* pair = e->R.e;
  if (vc != LV_OPEN) {
    expr* keep = vc ? pair->L.e : pair->R.e;
    kill(vc ? pair->R.e : pair->L.e);
    free_node(pair);
    free_node(e);
    if (!keep) {
      *value = LV_TRUE;
      return nullptr;
    }
    return lsimplify(P, keep, value);
  }
  e->L.e = c;
  expr* t = pair->L.e ? lsimplify(P, pair->L.e, &vt) : nullptr;
  if (!pair->L.e) vt = LV_TRUE;
  expr* f = pair->R.e ? lsimplify(P, pair->R.e, &ve) : nullptr;
  if (!pair->R.e) ve = LV_TRUE;
  pair->L.e = t;
  pair->R.e = f;
  *value = LV_OPEN;
  if (vt == LV_OPEN && ve == LV_OPEN) return e;
  free_node(pair);
  free_node(e);
  if (vt != LV_OPEN && ve != LV_OPEN) {
    if (vt == ve) return decided(c, value, vt);
    return vt ? c : complement(c);
  }
  if (vt == LV_TRUE) return node(OPOR, eflags(c), c, f);
  if (vt == LV_FALSE) return node(OPAND, eflags(c), complement(c), f);
  if (ve == LV_TRUE) return node(OPOR, eflags(c), complement(c), t);
  return node(OPAND, eflags(c), c, t);
}

expr* lsimp_iff(Presolve* P, expr* e, int* value) {
  int vl, vr;
  e->L.e = lsimplify(P, e->L.e, &vl);
  e->R.e = lsimplify(P, e->R.e, &vr);
  expr *l = e->L.e, *r = e->R.e;
  if (vl != LV_OPEN && vr != LV_OPEN) {
    free_node(e);
    *value = vl == vr;
    return nullptr;
  }
  *value = LV_OPEN;
  if (vl == LV_OPEN && vr == LV_OPEN) return e;
  free_node(e);
  int v = vl == LV_OPEN ? vr : vl;
  expr* other = vl == LV_OPEN ? l : r;
  return v ? other : complement(other);
}

expr* lsimp(Presolve* P, expr* e, int* value) {
  *value = LV_OPEN;
  int op = opcode(e);
  if (op == OPOR || op == OPAND) return lsimp_andor(P, e, value);
  if (op == OPNOT) {
    int v;
    expr* x = lsimplify(P, e->L.e, &v);
    if (v != LV_OPEN) {
      free_node(e);
      *value = 1 - v;
      return nullptr;
    }
    e->L.e = x;
    int xo = opcode(x);
    if (xo == OPNOT) {
      expr* y = x->L.e;
      free_node(x);
      free_node(e);
      return y;
    }
    if (not_op(xo) >= 0) {
      free_node(e);
      return complement(x);
    }
    return e;
  }
  if (comparison(op)) {
    int k;
    e->L.e = simplify(P, e->L.e, &k);
    e->R.e = simplify(P, e->R.e, &k);
    if (isk(e->L.e) && isk(e->R.e))
      return decided(e, value, compare(op, e->L.e->L.d, e->R.e->L.d) != 0);
    return e;
  }
  switch (op) {
    case OPATLEAST:
    case OPATMOST:
    case OPEXACTLY:
    case OPNOTATLEAST:
    case OPNOTATMOST:
    case OPNOTEXACTLY:
      return lsimp_countrel(P, e, value);
    case ANDLIST:
    case ORLIST:
      return lsimp_list(P, e, value);
    case OPIMPELSE72:
      return lsimp_impelse(P, e, value);
    case OP_IFF:
      return lsimp_iff(P, e, value);
    case OPALLDIFF:
    case OPSOMESAME:
    case OPALLDIFFs:
    case OPSOMESAMEs: {
      if (argsimplify(P, e->R.e)) {
        std::vector<double> v;
        for (expr* a = e->R.e; a; a = a->next) v.push_back(a->R.e->L.d);
        std::sort(v.begin(), v.end());
        bool distinct = std::adjacent_find(v.begin(), v.end()) == v.end();
        bool alldiff = op == OPALLDIFF || op == OPALLDIFFs;
        return decided(e, value, alldiff == distinct);
      }
      expr* r = simplify_alldiff(e);
      if (opcode(r) == OPNUM) return decided(r, value, r->L.d != 0);
      return r;
    }
    case OPLOGLIT:
      return decided(e, value, e->L.i != 0);
    case OPNUM:
      return decided(e, value, e->L.d != 0);
    case OPALGCON: {
      int v;
      expr* x = lsimplify(P, e->L.e, &v);
      if (v != LV_OPEN) {
        free_node(e);
        *value = v;
        return nullptr;
      }
      e->L.e = x;
      return e;
    }
  }
  // No rule: left undecided as it is.
  return e;
}

}  // namespace

expr* simplify(Presolve* P, expr* e, int* kind) {
  expr* nx = e->next;
  e->next = nullptr;
  expr* r = simp(P, e, kind);
  r->next = nx;
  return r;
}

expr* lsimplify(Presolve* P, expr* e, int* value) {
  expr* nx = e->next;
  e->next = nullptr;
  expr* r = lsimp(P, e, value);
  if (r) r->next = nx;
  return r;
}

// ---- Rows -------------------------------------------------------------------

namespace {

// The pending list of row for nl2l: made on first need.
void linq_push(Presolve* P, int32_t row, expr* t) {
  if (!P->linq) {
    int k = elem_class(P->ac->row_class, 8);
    P->linq = static_cast<expr**>(new_mblk(k, 1));
    scratch_add(P, P->linq, k);
    int k4 = elem_class(P->ac->row_class, 4);
    P->linrows = static_cast<int32_t*>(new_mblk(k4, 1));
    scratch_add(P, P->linrows, k4);
    P->nlinrows = 0;
  }
  if (!P->linq[row]) P->linrows[P->nlinrows++] = row;
  t->next = P->linq[row];
  P->linq[row] = t;
}

// Subtracts c from row's finite bounds (both pairs).
void bounds_less(Presolve* P, int32_t row, double c) {
  auto less = [&](double* b, bool upper) {
    if (upper ? b[row] < Infinity : b[row] > negInfinity) b[row] -= c;
  };
  less(P->rlb, false);
  less(P->rub, true);
  if (P->rlb2 != P->rlb) less(P->rlb2, false);
  if (P->rub2 != P->rub) less(P->rub2, true);
}

// A constant c moved out of row's body.
void const_out(Presolve* P, int32_t row, double c) {
  if (c == 0) return;
  if (row >= P->ncons)
    P->ac->obj_const[row - P->ncons] += c;
  else
    bounds_less(P, row, c);
}

// Swaps the sides of a relation (< with >, <= with >=).
int swapped(int op) {
  switch (op) {
    case LT: return GT;
    case GT: return LT;
    case LE: return GE;
    case GE: return LE;
  }
  return op;
}

// An integer variable under unary minus and constant factors: its column
// and the product of the factors; -1 when body is not such a form.
int32_t scaled_int_var(const Presolve* P, const expr* body, double* s) {
  *s = 1;
  for (;;) {
    int op = opcode(body);
    if (op == OPUMINUS) {
      *s = -*s;
      body = body->L.e;
    } else if (op == OPMULT && isk(body->L.e)) {
      *s *= body->L.e->L.d;
      body = body->R.e;
    } else if (op == OPMULT && isk(body->R.e)) {
      *s *= body->R.e->L.d;
      body = body->L.e;
    } else if (op == OPDIV && isk(body->R.e) && body->R.e->L.d != 0) {
      *s /= body->R.e->L.d;
      body = body->L.e;
    } else {
      break;
    }
  }
  if (opcode(body) != OPVARVAL146 || !*s || !std::isfinite(*s)) return -1;
  int32_t j = body->L.i;
  if (j < 0 || j >= P->nvars || !(P->vstat[j] & (VS_INT | VS_BIN))) return -1;
  return j;
}

// Bounds of the strict relations on a single integer variable: false when
// the relation stays logical.
bool strict_bounds(Presolve* P, expr* body, int op, double c, double* lo,
                   double* hi) {
  if (relax_integrality & 1) return false;
  double s;
  int32_t j = scaled_int_var(P, body, &s);
  if (j < 0) return false;
  c /= s;
  if (s < 0) op = swapped(op);
  *lo = negInfinity;
  *hi = Infinity;
  if (op == LT) {
    double f = std::floor(c);
    *hi = std::min(f == c ? f - 1 : f, P->vub[j]);
  } else if (op == GT) {
    double f = std::ceil(c);
    *lo = std::max(f == c ? f + 1 : f, P->vlb[j]);
  } else if (P->vlb[j] == c) {
    *lo = c + 1;
  } else if (P->vub[j] == c) {
    *hi = c - 1;
  } else {
    return false;
  }
  // The body becomes the variable itself (factors moved onto c).
  return true;
}

// Turns the undecided logical constraint *part of row into an algebraic
// row when it is a comparison with a constant side (or a non-strict one
// between two expressions).  Returns whether it did.
bool logical_to_row(Presolve* P, int32_t row, expr** part) {
  expr* e = *part;
  expr* wrap = nullptr;
  if (opcode(e) == OPALGCON) {
    wrap = e;
    e = e->L.e;
  }
  int op = opcode(e);
  if (op != LT && op != LE && op != EQ && op != GE && op != GT && op != NE)
    return false;
  expr *l = e->L.e, *r = e->R.e;
  if (isk(l) && !isk(r)) {
    std::swap(l, r);
    op = swapped(op);
  }
  bool strict = op == LT || op == GT || op == NE;
  double c = 0;
  expr* body;
  double lo = negInfinity, hi = Infinity;
  if (isk(r)) {
    c = r->L.d;
    body = l;
    if (strict) {
      if (!strict_bounds(P, body, op, c, &lo, &hi)) return false;
      double s;
      int32_t j = scaled_int_var(P, body, &s);
      kill(body);
      body = new_expr(opword(OPVARVAL146, EF_NUMERIC | EF_VARS), j);
      body->op = functab[OPVARVAL146];
    }
    free_node(r);
  } else {
    if (strict) return false;
    body = node(OPMINUS, varflags(l, r), l, r);
  }
  if (!strict) {
    if (op == LE || op == EQ) hi = c;
    if (op == GE || op == EQ) lo = c;
  }
  free_node(e);
  if (wrap) free_node(wrap);
  int k;
  body = simplify(P, body, &k);
  P->rlb[row] = lo;
  P->rub[row] = hi;
  if (P->rlb2 != P->rlb) P->rlb2[row] = lo;
  if (P->rub2 != P->rub) P->rub2[row] = hi;
  P->dflag[row] = CK_CONVERTED;
  if (P->rstat) P->rstat[row] &= ~uint32_t(RS_LOGICAL);
  // The linear part of the body joins the row's linear terms.
  expr* nl = nullptr;
  expr* lin = nullptr;
  if (k == SK_NONLIN && !P->keepnl) {
    expr** nt = &nl;
    expr** lt = &lin;
    linsplit(body, &nt, &lt, 1);
  } else {
    nl = body;
  }
  while (lin) {
    expr* n = lin->next;
    linq_push(P, row, lin);
    lin = n;
  }
  *part = nl;
  // The converted row's terms take the algebraic path.
  esimplify(P, row, part, nullptr);
  return true;
}

}  // namespace

int esimplify(Presolve* P, int32_t row, expr** part, const int32_t* logical) {
  AC* ac = P->ac;
  ac->simp_index = row;
  P->ifdepth = 0;
  errno = 0;
  if (!*part) return 0;
  if (logical && row < P->ncons && (logical[row] & 3)) {
    int v;
    expr* e = lsimplify(P, *part, &v);
    if (v != LV_OPEN) {
      expr* lit = new_expr(opword(OPLOGLIT), int32_t(v));
      lit->op = functab[OPLOGLIT];
      *part = lit;
      if (v) return 1;
      false_lc(P, row);
      return 0;
    }
    *part = e;
    logical_to_row(P, row, part);
    return 0;
  }
  double c = 0;
  bool had = false;
  expr** link = part;
  while (*link) {
    had = true;
    int k;
    expr* x = simplify(P, *link, &k);
    if (k == SK_CONST && isk(x)) {
      c += x->L.d;
      *link = x->next;
      free_node(x);
      continue;
    }
    if (k == SK_LINEAR && !P->keepnl) {
      *link = x->next;
      linq_push(P, row, x);
      continue;
    }
    *link = x;
    link = &x->next;
  }
  if (had && !*part) ++P->nsimp;
  if (c != 0) {
    if (row < P->ncons && P->cpair && P->cpair[row]) {
      *link = num(c);
    } else {
      const_out(P, row, c);
    }
  }
  return 0;
}

void linsplit(expr* e, expr*** nl, expr*** lin, double scale) {
  auto put = [&](expr* x, expr*** tail) {
    if (scale == -1)
      x = negate(x);
    else if (scale != 1)
      x = node(OPMULT, eflags(x) | EF_NUMERIC, num(scale), x);
    x->next = nullptr;
    **tail = x;
    *tail = &x->next;
  };
  switch (opcode(e)) {
    case OPPLUS:
    case OPMINUS: {
      expr *l = e->L.e, *r = e->R.e;
      bool sub = opcode(e) == OPMINUS;
      free_node(e);
      linsplit(l, nl, lin, scale);
      linsplit(r, nl, lin, sub ? -scale : scale);
      return;
    }
    case OPUMINUS: {
      expr* l = e->L.e;
      free_node(e);
      linsplit(l, nl, lin, -scale);
      return;
    }
    case OPSUMLIST: {
      expr* t = e->L.e;
      free_node(e);
      while (t) {
        expr* n = t->next;
        t->next = nullptr;
        linsplit(t, nl, lin, scale);
        t = n;
      }
      return;
    }
    case OPMULT:
      if (isk(e->L.e) || isk(e->R.e)) {
        expr* k = isk(e->L.e) ? e->L.e : e->R.e;
        expr* y = k == e->L.e ? e->R.e : e->L.e;
        double s = scale * k->L.d;
        free_node(k);
        free_node(e);
        linsplit(y, nl, lin, s);
        return;
      }
      break;
    case OPDIV:
      if (isk(e->R.e) && e->R.e->L.d != 0) {
        double s = scale / e->R.e->L.d;
        expr* y = e->L.e;
        free_node(e->R.e);
        free_node(e);
        linsplit(y, nl, lin, s);
        return;
      }
      break;
    case OPVARVAL146:
      if (eflags(e) & EF_NONLIN) break;
      put(e, lin);
      return;
  }
  put(e, nl);
}

namespace {

// e2v's walk: terms scaled by s; false after a zero divisor.
bool e2v_walk(Presolve* P, int32_t row, expr* e, double s, varref** out,
              double* constant) {
  bool ok = true;
  switch (opcode(e)) {
    case OPVARVAL146:
      *out = new_varref(*out, e->L.i, s);
      break;
    case OPNUM:
      *constant += s * e->L.d;
      break;
    case OPPLUS:
    case OPMINUS:
      ok = e2v_walk(P, row, e->L.e, s, out, constant) &&
           e2v_walk(P, row, e->R.e, opcode(e) == OPMINUS ? -s : s, out,
                    constant);
      e->L.e = e->R.e = nullptr;
      break;
    case OPUMINUS:
      ok = e2v_walk(P, row, e->L.e, -s, out, constant);
      e->L.e = nullptr;
      break;
    case OPSUMLIST: {
      expr* t = e->L.e;
      e->L.e = nullptr;
      while (t) {
        expr* n = t->next;
        t->next = nullptr;
        if (ok) ok = e2v_walk(P, row, t, s, out, constant);
        else kill(t);
        t = n;
      }
      break;
    }
    case OPMULT: {
      bool lk = isk(e->L.e), rk = isk(e->R.e);
      if (!lk && !rk) bug("linear * linear in e2v!");
      expr* k = lk ? e->L.e : e->R.e;
      expr* y = lk ? e->R.e : e->L.e;
      ok = e2v_walk(P, row, y, s * k->L.d, out, constant);
      free_node(k);
      e->L.e = e->R.e = nullptr;
      break;
    }
    case OPDIV: {
      if (!isk(e->R.e)) bug("OPDIV botch in e2v");
      double d = e->R.e->L.d;
      if (d == 0) {
        badcon(P, row, 0, "Division by zero.");
        kill(e->L.e);
        ok = false;
      } else {
        ok = e2v_walk(P, row, e->L.e, s / d, out, constant);
      }
      free_node(e->R.e);
      e->L.e = e->R.e = nullptr;
      break;
    }
    default:
      badtype("e2v", e->opword);
  }
  free_node(e);
  return ok;
}

// Adds a to the coefficient of row in column list *col (increasing rows);
// a zero result removes the term.
void col_add(varref** head, int32_t row, double a) {
  list_slot<varref> col = head_slot(head);
  while (col.get() && col.get()->index < row) col = link_of(col.get());
  if (col.get() && col.get()->index == row) {
    double v = col.get()->coef + a;
    if (v == 0) {
      varref* t = col.get();
      col.set(vnext(t));
      set_vnext(t, nullptr);
      free_varref(t);
    } else {
      col.get()->coef = v;
    }
    return;
  }
  if (a != 0) col.set(new_varref(col.get(), row, a));
}

}  // namespace

varref* e2v(Presolve* P, int32_t row, expr* e, double* constant) {
  varref* out = nullptr;
  double c = 0;
  if (!e2v_walk(P, row, e, 1, &out, &c)) {
    free_varref(out);
    return nullptr;
  }
  *constant += c;
  return out;
}

int nl2l(Presolve* P) {
  if (!P->linq || !P->nlinrows) return 0;
  std::sort(P->linrows, P->linrows + P->nlinrows);
  AC* ac = P->ac;
  std::vector<std::pair<int32_t, double>> terms;
  int n = 0;
  for (int32_t i = 0; i < P->nlinrows; ++i) {
    int32_t row = P->linrows[i];
    expr* t = P->linq[row];
    P->linq[row] = nullptr;
    terms.clear();
    double c = 0;
    while (t) {
      expr* nx = t->next;
      t->next = nullptr;
      varref* v = e2v(P, row, t, &c);
      for (varref* x = v; x; x = vnext(x))
        terms.emplace_back(x->index, x->coef);
      free_varref(v);
      t = nx;
    }
    std::stable_sort(terms.begin(), terms.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t k = 0; k < terms.size();) {
      int32_t j = terms[k].first;
      double a = 0;
      for (; k < terms.size() && terms[k].first == j; ++k) a += terms[k].second;
      if (a != 0) col_add(&ac->col_terms[j], row, a);
    }
    const_out(P, row, c);
    ++n;
  }
  P->nlinrows = 0;
  return n;
}

// ---- The driver's step ------------------------------------------------------

namespace {

// The context of folds for one run of simplify_rows.
struct fold_context {
  AC* ac;
  TVA* saved;
  tva_hold own{nullptr};
  explicit fold_context(AC* a) : ac(a), saved(a->simp_tva) {
    if (!ac->simp_tva) {
      if (!cur_tva || cur_tva->ac != ac) own.t = new_tva();
      ac->simp_tva = own.t ? own.t : cur_tva;
    }
  }
  ~fold_context() {
    ac->simp_tva = saved;
    ac->simp_index = -1;
  }
};

bool row_gone(const Presolve* P, int32_t r) {
  return r < P->ncons && P->rstat && (P->rstat[r] & RS_GONE);
}

}  // namespace

void simplify_rows(Presolve* P) {
  AC* ac = P->ac;
  fold_context fc(ac);
  for (int32_t r = 0; r < P->ncons; ++r) {
    expr* e = ac->con_nonlin[r];
    // A logical constraint already decided was reported when decided.
    if (row_gone(P, r) || !e || (opcode(e) == OPLOGLIT && !e->next)) continue;
    if (esimplify(P, r, &ac->con_nonlin[r], P->dflag)) {
      // Always true: the row goes.
      ++P->nlogtrue;
      rowelim(P, r, 2);
    }
  }
  for (int32_t o = 0; ac->obj_nonlin && o < ac->n_obj; ++o)
    if (ac->obj_nonlin[o])
      esimplify(P, P->ncons + o, &ac->obj_nonlin[o], nullptr);
  nl2l(P);
  if (P->dflag) {
    int32_t n = 0;
    for (int32_t r = 0; r < P->ncons; ++r) n += P->dflag[r] == CK_CONVERTED;
    ac->n_pre_log_alg_con = n;
  }
}

}  // namespace vexo
