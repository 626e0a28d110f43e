// The evaluators of the terms of bodies.
#include "compiler/genterms.h"

#include "compiler/ecopy.h"
#include "compiler/plterm.h"
#include "compiler/tva.h"
#include "eval/defvar.h"
#include "eval/dispatch.h"
#include "frontend/expr.h"
#include "frontend/strexpr.h"
#include "instance/genmod.h"
#include "instance/varref.h"
#include "session/opttable.h"
#include "support/pool.h"

namespace vexo {

varref* gm_v;
expr* gm_e;
plterm* gm_p;
uint32_t gm_i;

void genterms_reset() {
  gm_v = nullptr;
  gm_e = nullptr;
  gm_p = nullptr;
  gm_i = 0;
}

namespace {

// The term on gm_v; its column.
int32_t linear(expr* e, TVA* tva) {
  varref* head = gm_v;
  int32_t col = int32_t(eval(e->R.e, tva).i);
  double c = eval_num(e->L.e, tva);
  gm_v = new_varref(head, col, c);
  return col;
}

}  // namespace

eval_result f_OPVARAC(expr* e, TVA* tva) {
  linear(e, tva);
  return {.d = 0};
}

eval_result f_OPVARACDEF(expr* e, TVA* tva) {
  int32_t col = linear(e, tva);
  if (solveout & 1) gm_i = uint32_t(col) + 1;
  return {.d = 0};
}

eval_result f_OPNLAC(expr* e, TVA* tva) {
  double c = eval_num(e->L.e, tva);
  if (c == 0) return {.d = 0};
  expr* x = e->R.e;
  if (opcode(x) == OPUMINUS) {
    c = -c;
    x = x->L.e;
  }
  expr* y = ecopy(x, tva);
  if (y->opword == opword(OPNUM, EF_CONST | EF_NUMERIC)) {
    double k = y->L.d;
    free_node(y);
    return {.d = c * k};
  }
  expr* t;
  if (c == -1)
    t = new_expr(opword(OPUMINUS, EF_NUMERIC | EF_VARS), y);
  else if (c == 1)
    t = y;
  else
    t = new_expr(opword(OPMULT, EF_NUMERIC | EF_VARS), new_num(c), y);
  t->op = nullptr;
  t->next = gm_e;
  gm_e = t;
  return {.d = 0};
}

eval_result f_OPPLAC(expr* e, TVA* tva) {
  double c = eval_num(e->L.e, tva);
  if (c == 0) return {.d = 0};
  expr* pl = e->R.e;
  struct held {
    plterm* t;
    ~held() {
      if (t) del_mblk(t->block_class, t);
    }
  } h{plcrunch(pl->L.e, tva)};
  plterm* t = h.t;
  expr* arg = pl->R.e;
  int32_t col = int32_t(eval(arg->L.e, tva).i);
  double r = arg->R.e ? -c * plval(t, eval_num(arg->R.e, tva)) : 0;
  if (t->n_slopes == 1) {
    gm_v = new_varref(gm_v, col, c * t->bs()[0]);
    return {.d = r};
  }
  h.t = nullptr;
  t->index = col;
  t->next = gm_p;
  gm_p = t;
  if (c != 1)
    for (int32_t k = 0; k < t->n_slopes; ++k) t->bs()[2 * k] *= c;
  return {.d = r};
}

expr* randcopy(expr* e, TVA* tva) {
  defvars_from(tva->ac);
  expr* copy = ecopy(e, tva);
  primaladj(copy);
  dvopgen(copy);
  return copy;
}

}  // namespace vexo
