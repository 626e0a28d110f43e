// Expression graphs of the nl problem file.
#include "solver/nlexpr.h"

#include <cstring>

#include "eval/funclib.h"
#include "eval/optab.h"
#include "frontend/expr.h"
#include "instance/ac.h"
#include "instance/names.h"
#include "instance/varref.h"
#include "solver/nlwrite.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

nlvars nlv;

// elistput's constant, appended to a list for one call.
static expr* xtemp;

void nlexpr_reinit() { xtemp = nullptr; }

void graph_setup(const AC* ac) {
  nlv.Nv = ac->n_var;
  nlv.Delta = 0;
  nlv.Vip = ac->var_pos;
  nlv.Vnames = ac->var_names;
}

const char* Xwho0(const xname*) { return ""; }

// Operators the writer emits on its own, beside a node's own opcode.
enum : int {
  NL_PLUS = OPPLUS,
  NL_MINUS = OPMINUS,
  NL_MULT = OPMULT,
  NL_MIN = MINLIST,
  NL_MAX = MAXLIST,
  NL_NEG = OPUMINUS,
  NL_SUMLIST = OPSUMLIST,
  NL_IF = OPIFSYM65
};

static void oput(nlfile* f, int op) {
  apr(f, oput_fmt, op, op < N_OPNAMES && opname[op] ? opname[op] : "");
}
static void count_put(nlfile* f, int n) { apr(f, "%d\n", n); }

static int chain_len(const expr* e) {
  int n = 0;
  for (; e; e = e->next) ++n;
  return n;
}

// The variable item of index i.
static void var_put(nlfile* f, int32_t i) {
  if (i < nlv.Nv) {
    apr(f, "v%d\t#%s\n", nlv.Vip ? nlv.Vip[i] : i,
        nlv.Vnames ? Xwho(&nlv.Vnames[i]) : "");
  } else {
    // No defined variables are collected yet, so they have no names.
    apr(f, "v%d\t#nl(%s)\n", nlv.Vip ? nlv.Vip[i + nlv.Delta] : i, "");
  }
}

void v1put(nlfile* f, const varref* v) {
  if (v->coef == 1) {
  } else if (v->coef == -1) {
    oput(f, NL_NEG);
  } else {
    oput(f, NL_MULT);
    nput(f, v->coef);
  }
  var_put(f, v->index);
}

static bool is_number(const expr* e) {
  return opcode(e) == OPNUM && !(e->opword & 0x124);
}

// A min/max list (shape SH_ARGLIST): the optional leading operand in L,
// the list in R.
static void arglist_put(nlfile* f, expr* e) {
  int op = opcode(e);
  int n = chain_len(e->R.e) + (e->L.e ? 1 : 0);
  if (!e->L.e) {
    if (op == MINLIST2) op = NL_MIN;
    if (op == MAXLIST2) op = NL_MAX;
  }
  oput(f, op);
  count_put(f, n);
  if (e->L.e) eput(f, e->L.e);
  for (expr* a = e->R.e; a; a = a->next) eput(f, a);
}

// A piecewise-linear term: its slopes and breakpoints, then its variable.
static void plterm_put(nlfile* f, expr* e) {
  const plterm* t = static_cast<const plterm*>(e->L.p);
  oput(f, opcode(e));
  count_put(f, t->n_slopes);
  const double* b = const_cast<plterm*>(t)->bs();
  for (int32_t i = 0, n = 2 * t->n_slopes - 1; i < n; ++i) nput(f, b[i]);
  var_put(f, t->index);
}

static void linpart_put(nlfile* f, const varref* v) {
  int n = 0;
  for (const varref* t = v; t; t = t->next) ++n;
  if (n == 1) {
    v1put(f, v);
    return;
  }
  if (n == 2) {
    oput(f, NL_PLUS);
  } else {
    oput(f, NL_SUMLIST);
    count_put(f, n);
  }
  for (; v; v = v->next) v1put(f, v);
}

void eput(nlfile* f, expr* e) {
  int op = opcode(e);
  if (is_number(e)) {
    nput(f, e->L.d);
    return;
  }
  if (op == OPSTR) {
    const char* s = e->L.cs->text();
    apr(f, "h%d:%s\n", static_cast<int>(std::strlen(s)), s);
    return;
  }
  switch (op_types[op]) {
    case SH_UNARY:
    case SH_FUNC1:
    case SH_RECPAR:
      oput(f, op);
      eput(f, e->L.e);
      return;
    case SH_BINARY:
    case SH_FUNC2:
      oput(f, op);
      eput(f, e->L.e);
      eput(f, e->R.e);
      return;
    case SH_LIST:
      oput(f, op);
      count_put(f, chain_len(e->L.e));
      for (expr* a = e->L.e; a; a = a->next) eput(f, a);
      return;
    case SH_IF:
    case SH_IMPELSE:
      oput(f, op == OPIFSYMstr101 ? NL_IF : op);
      eput(f, e->L.e);
      eput(f, e->R.e->L.e);
      eput(f, e->R.e->R.e);
      return;
    case SH_TO_NUMBER:
      eput(f, e->L.e);
      return;
    case SH_VARVAL:
      var_put(f, e->L.i);
      return;
    case SH_PLTERM:
      plterm_put(f, e);
      return;
    case SH_CALL: {
      // Imported functions are numbered by the F segment, which lists none
      // until the function libraries are loaded (funcs_used).
      function* fn = static_cast<function*>(e->L.x);
      int n = chain_len(e->R.e);
      apr(f, "f%d %d\t#%s\n", 0, n, fn->name ? fn->name->name : "");
      for (expr* a = e->R.e; a; a = a->next) eput(f, a);
      return;
    }
    case SH_SUMLIST: {
      int n = chain_len(e->L.e);
      if (n > 2) {
        oput(f, op);
        count_put(f, n);
        for (expr* a = e->L.e; a; a = a->next) eput(f, a);
      } else {
        oput(f, NL_PLUS);
        expr* a = e->L.e;
        if (a) {
          eput(f, a);
          if (a->next)
            eput(f, a->next);
          else
            nput(f, 0);
        } else {
          nput(f, 0);
          nput(f, 0);
        }
      }
      return;
    }
    case SH_COUNTREL:
      oput(f, op);
      eput(f, e->L.e);
      arglist_put(f, e->R.e);
      return;
    case SH_ARGLIST:
      arglist_put(f, e);
      return;
    case SH_LINPART:
      linpart_put(f, e->L.vr);
      return;
    default:
      badtype("eput", e->opword);
  }
}

static bool is_neg(const expr* e) { return opcode(e) == OPUMINUS; }

void elistput(nlfile* f, expr* e, double c) {
  if (!e) {
    nput(f, c);
    return;
  }
  expr* last = e;
  while (last->next) last = last->next;
  if (c != 0) {
    if (!xtemp) xtemp = new_num(0);
    xtemp->L.d = c;
    xtemp->next = nullptr;
    last->next = xtemp;
  }
  int n = chain_len(e);
  if (n == 1) {
    eput(f, e);
  } else if (n == 2) {
    expr* b = e->next;
    if (is_neg(e)) {
      oput(f, NL_MINUS);
      eput(f, b);
      eput(f, e->L.e);
    } else if (is_neg(b)) {
      oput(f, NL_MINUS);
      eput(f, e);
      eput(f, b->L.e);
    } else {
      oput(f, NL_PLUS);
      eput(f, e);
      eput(f, b);
    }
  } else {
    int m = 0, k = 0;
    for (expr* a = e; a; a = a->next) {
      if (is_neg(a))
        ++m;
      else if (!is_number(a))
        ++k;
    }
    if (k + 1 >= m) {
      oput(f, NL_SUMLIST);
      count_put(f, n);
      for (expr* a = e; a; a = a->next) eput(f, a);
    } else {
      // Mostly negated terms: the negation of a sum of the negated terms.
      oput(f, NL_NEG);
      oput(f, NL_SUMLIST);
      count_put(f, n);
      for (expr* a = e; a; a = a->next) {
        if (is_number(a)) {
          nput(f, -a->L.d);
        } else if (is_neg(a)) {
          eput(f, a->L.e);
        } else {
          oput(f, NL_NEG);
          eput(f, a);
        }
      }
    }
  }
  last->next = nullptr;
}

}  // namespace vexo
