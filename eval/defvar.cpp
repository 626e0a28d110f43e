// Defined variables.
#include "eval/defvar.h"

#include <climits>
#include <cmath>
#include <vector>

#include "compiler/plterm.h"
#include "compiler/tva.h"
#include "eval/set.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/vardcl.h"
#include "instance/ac.h"
#include "instance/names.h"
#include "instance/varref.h"
#include "session/batch.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"

namespace vexo {

AC* defc_ac;
int32_t n_dvals;

namespace {

// The defined variable being computed, for the error location.
const xname* defxn;

}  // namespace

void defvars_from(AC* ac) { defc_ac = ac; }

void dvals_collected() { n_dvals = 0; }

void defvar_reset() {
  defc_ac = nullptr;
  n_dvals = 0;
  defxn = nullptr;
}

const xname* take_defxn() {
  const xname* d = defxn;
  defxn = nullptr;
  return d;
}

// ---- Binding ------------------------------------------------------------

namespace {

bool bindable(int32_t sh) {
  switch (sh) {
    case SH_LITERAL:
    case SH_NUMBER:
    case SH_ENTITY:
    case SH_LOGLIT:
    case SH_LINPART:
    case SH_LITLIST:
    case SH_UNARY:
    case SH_FUNC1:
    case SH_SAMPLE:
    case SH_RECPAR:
    case SH_BINARY:
    case SH_FUNC2:
    case SH_COUNTREL:
    case SH_SUBSCRIPTED:
    case SH_LOOKUP:
    case SH_LIST:
    case SH_SYMLIST:
    case SH_IF:
    case SH_IMPELSE:
    case SH_CALL:
    case SH_STRING:
    case SH_ARGLIST:
    case SH_VARVAL:
    case SH_SVARVAL:
    case SH_PLTERM:
    case SH_SUMLIST:
      return true;
  }
  return false;
}

// The walk keeps the nodes still to bind on a stack of its own, so that
// the deep chains of unrolled products cost no recursion.
struct binder : walker_defaults {
  std::vector<expr*> todo;
  void operand(expr*& x) {
    if (x) todo.push_back(x);
  }
  void chain(expr*& c) {
    for (expr* x = c; x; x = x->next) todo.push_back(x);
  }
  void args(expr*& a, bool) {
    for (expr* x = a; x; x = x->next) {
      if (opcode(x) != OPARG) continue;
      if (x->L.p)
        args(x->R.e, false);
      else if (x->R.e)
        todo.push_back(x->R.e);
    }
  }
};

void bind1(expr* e) {
  int op = opcode(e);
  int32_t sh = shape(e);
  if (!bindable(sh)) badtype("dvopgen", e->opword);
  e->op = op < N_EVAL_OPCODES ? functab[size_t(op)] : nullptr;
  switch (sh) {
    case SH_VARVAL: {
      int32_t pos = e->L.i - (defc_ac ? defc_ac->dv_off : 0);
      if (pos < 0 || !defc_ac || !defc_ac->dv_val2) {
        e->op = f_OPVARVAL1;
      } else {
        e->R = pos;
        e->op = f_OPVARVAL2;
      }
      break;
    }
    case SH_SVARVAL:
      e->op = f_OPSVARVAL1;
      break;
    case SH_PLTERM:
      e->op = f_OPPLTERM1;
      break;
    case SH_SUMLIST:
      if (op == OPSUMLIST)
        e->op = f_OPSUMLIST1;
      else if (op == ANDLIST)
        e->op = f_OPANDLIST1;
      else if (op == ORLIST)
        e->op = f_OPORLIST1;
      else
        badtype("dvopgen", e->opword);
      break;
  }
}

}  // namespace

void dvopgen(expr* e) {
  if (!e) return;
  binder b;
  b.todo.push_back(e);
  while (!b.todo.empty()) {
    expr* x = b.todo.back();
    b.todo.pop_back();
    bind1(x);
    visit_operands(x, b);
  }
}

// ---- Values -----------------------------------------------------------------

namespace {

double column(AC* ac, int32_t c, TVA* tva) {
  if (ac->var_status && (ac->var_status[c] & DV_STALE))
    return def_comp(ac, c, tva);
  return ac->var_init_val[c];
}

// The defined variable's declaration when its numbering follows a
// defining constraint (var x = ... in the model), else null.
var* defined_by_constraint(int32_t i) {
  var* v = var_of_column(i);
  return v && v->defcon ? v : nullptr;
}

}  // namespace

void dv_cdef(AC* ac) {
  int k = elem_class(ac->var_class, 4);
  ac->dv_cmap = static_cast<int32_t*>(new_mblk(k, 1));
  for (int32_t b = 0; b < ac->n_dv_bodies; ++b) {
    int32_t c = ac->dv_col ? ac->dv_col[b] : -1;
    if (c >= 0 && c < ac->n_var) ac->dv_cmap[c] = b + 1;
  }
}

double def_comp(AC* ac, int32_t i, TVA* tva) {
  if (trans_state < 3) {
    if (AC* a = output_time(ac, 3)) ac = a;
  }
  uint32_t* st = ac->var_status;
  uint32_t was = st[i];
  st[i] &= ~uint32_t(DV_STALE);
  if (was & DV_SETTLED) return ac->var_init_val[i];
  ++n_dvals;
  if (!ac->dv_cmap) dv_cdef(ac);
  int32_t k = ac->dv_cmap[i] - 1;
  var* dv = nullptr;
  if (k < 0 && (dv = defined_by_constraint(i))) {
    k = i - dv->gen.first_col + dv->defcon->gen.first_col;
    ac->dv_cmap[i] = k + 1;
  }
  expr* body = ac->dv_bodies && k >= 0 && k < ac->n_dv_bodies
                   ? ac->dv_bodies[k]
                   : nullptr;
  double sum = 0;
  bool linpart = false;
  // Values are read at the top level too (the solution reader): a context
  // of its own evaluates then.
  tva_hold own{nullptr};
  if (body && !tva) tva = own.t = new_tva();
  if (body) {
    struct naming {
      const xname* saved = defxn;
      TVA* t;
      AC* saved_ac;
      ~naming() {
        defxn = saved;
        t->ac = saved_ac;
      }
    } n{defxn, tva, tva->ac};
    defxn = ac->var_names ? &ac->var_names[i] : nullptr;
    // The body's column evaluators read the columns of the context's
    // collected problem.
    tva->ac = ac;
    if (!body->op) {
      AC* saved = defc_ac;
      defc_ac = ac;
      for (expr* x = body; x; x = x->next) dvopgen(x);
      defc_ac = saved;
    }
    for (expr* x = body; x; x = x->next) {
      if (opcode(x) == OPLINPART) linpart = true;
      sum += eval_num(x, tva);
    }
  }
  if (ac->dv_val2 && i >= ac->dv_off) ac->dv_val2[i - ac->dv_off] = sum;
  bool lindef = ac->var_lindef && ac->var_lindef[i];
  if (lindef) {
    for (varref* v = ac->var_lindef[i]; v; v = vnext(v))
      sum = std::fma(v->coef, column(ac, v->index, tva), sum);
  } else if (!dv && k >= 0) {
    dv = defined_by_constraint(i);
  }
  if (!lindef && dv && k < ac->n_con) {
    // The definition is the defining constraint's row k, the variable's
    // own term among its linear ones.
    varref* row = ac->row_terms ? ac->row_terms[k] : nullptr;
    if (st[i] & DV_SETTLED) {
      double s = sum;
      for (varref* v = row; v; v = vnext(v))
        if (v->index != i) s = std::fma(v->coef, column(ac, v->index, tva), s);
      double c = ac->dv_const && k < ac->n_dv_bodies ? ac->dv_const[k] : 0;
      return ac->var_init_val[i] = c - s;
    }
    plterm* pl = ac->row_plterms ? ac->row_plterms[k] : nullptr;
    if (linpart || pl) {
      if (!body)
        for (plterm* t = pl; t; t = t->next)
          sum -= plval(t, column(ac, t->index, tva));
    } else if (st[i] & DV_DEFINED) {
      for (varref* v = row; v; v = vnext(v))
        if (v->index != i &&
            !(st[v->index] & (DV_DEFINED | DV_SETTLED)))
          sum -= v->coef * column(ac, v->index, tva);
    }
  }
  double r;
  bool in_range = k >= 0 && k < ac->n_dv_bodies;
  double rhs = ac->dv_rhs && in_range ? ac->dv_rhs[k] : Infinity;
  if (rhs < Infinity)
    r = dv ? rhs - sum : sum - rhs;
  else
    r = sum + (ac->dv_const && in_range ? ac->dv_const[k] : 0);
  ac->var_init_val[i] = r;
  return r;
}

namespace {

// The member of v's domain that member k's value selects.
setmem* symvar_member(var* v, int32_t k) {
  set* s = v->domain;
  if (s->nmem < 0) set_genall(s, cur_tva);
  setmem** byord = set_ordidx(s, cur_tva);
  const cvgen& g = v->gen;
  const double* vals = g.cur_vals ? g.cur_vals : g.init_vals;
  double x = vals ? vals[k] : 0;
  int32_t n = std::isnan(x) || x < INT_MIN || x > INT_MAX ? INT_MIN
                                                           : int32_t(x);
  if (n < 0 || n >= s->nmem)
    bug("Out of range val_num = %d for %s", n, v->name->name);
  return byord[n];
}

}  // namespace

symbol* symvarval(var* v, int32_t k) { return symvar_member(v, k)->tup()[0]; }

// ---- Evaluators -----------------------------------------------------------

eval_result f_OPVARVAL1(expr* e, TVA* tva) {
  return {.d = column(tva->ac, e->L.i, tva)};
}

eval_result f_OPVARVAL2(expr* e, TVA* tva) {
  AC* ac = tva->ac;
  int32_t p = e->R.i;
  int32_t c = p + ac->dv_off;
  if (ac->var_status[c] & DV_STALE) def_comp(ac, c, tva);
  return {.d = ac->dv_val2[p]};
}

eval_result f_OPSVARVAL1(expr* e, TVA* tva) {
  int32_t c = e->L.i;
  var* v = vxfind(c);
  if (!v) bug("f_OPSVARVAL1: no variable of column %d", c);
  (void)tva;
  // The member's own cell: valid while the domain keeps its members.
  return {.sp = symvar_member(v, c - v->gen.first_col)->tup()};
}

eval_result f_OPLINPART(expr* e, TVA* tva) {
  AC* ac = tva->ac;
  double s = 0;
  for (varref* v = e->L.vr; v; v = vnext(v))
    s = std::fma(v->coef, column(ac, v->index, tva), s);
  return {.d = s};
}

eval_result f_OPPLTERM1(expr* e, TVA* tva) {
  const plterm* t = static_cast<const plterm*>(e->L.p);
  return {.d = plval(t, column(tva->ac, e->R.i, tva))};
}

}  // namespace vexo
