// The stand-in routine of unbuilt opcodes and the leaf routines.
#include "eval/dispatch.h"

#include "compiler/tva.h"
#include "frontend/dummy.h"
#include "support/message.h"

namespace vexo {

evalue f_unbuilt(expr* e, TVA*) {
  bug("no evaluation routine for opcode %d", opcode(e));
}

evalue f_OPNUM(expr* e, TVA*) { return {.d = e->L.d}; }

evalue f_OPLIT(expr* e, TVA*) { return {.sp = &e->L.sym}; }

evalue f_OPSTR(expr* e, TVA*) { return {.cs = ref_cstr(e->L.cs)}; }

evalue f_OPLOGLIT(expr* e, TVA*) { return {.i = e->L.i}; }

evalue f_OPDUMMY(expr* e, TVA* tva) {
  return {.sp = tva->lev[e->L.i] + e->R.i};
}

evalue f_OPLOOPDUMMY(expr* e, TVA* tva) {
  const dummy* d = static_cast<const dummy*>(e->L.p);
  return {.sp = tva->lev[d->level] + d->offset};
}

evalue f_OPSUMLIST1(expr* e, TVA* tva) {
  double s = 0;
  for (expr* m = e->L.e; m; m = m->next) s += eval_num(m, tva);
  return {.d = s};
}

evalue f_OPANDLIST1(expr* e, TVA* tva) {
  for (expr* m = e->L.e; m; m = m->next)
    if (!eval_true(m, tva)) return {.i = 0};
  return {.i = 1};
}

evalue f_OPORLIST1(expr* e, TVA* tva) {
  for (expr* m = e->L.e; m; m = m->next)
    if (eval_true(m, tva)) return {.i = 1};
  return {.i = 0};
}

}  // namespace vexo
