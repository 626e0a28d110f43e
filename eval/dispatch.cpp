// The stand-in routine of unbuilt opcodes and the leaf routines.
#include "eval/dispatch.h"

#include <algorithm>
#include <cstdlib>

#include "compiler/tva.h"
#include "eval/evalerr.h"
#include "frontend/dummy.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"

namespace vexo {

eval_result f_unbuilt(expr* e, TVA* tva) {
  // A value whose evaluation comes with a later part of the system (the
  // values of generated problems, for instance): the command is abandoned
  // with a plain message.
  int op = opcode(e);
  const char* name = op < N_OPNAMES ? opname[op] : nullptr;
  if (!mgwhere(tva))
    Fprintf(Stderr, "%s (opcode %d) cannot be evaluated yet\n",
            name && *name ? name : "this expression", op);
  bailout();
}

eval_result f_OPNUM(expr* e, TVA*) { return {.d = e->L.d}; }

eval_result f_OPLIT(expr* e, TVA*) { return {.sp = &e->L.sym}; }

eval_result f_OPSTR(expr* e, TVA*) { return {.cs = ref_cstr(e->L.cs)}; }

eval_result f_OPLOGLIT(expr* e, TVA*) { return {.i = e->L.i}; }

eval_result f_OPDUMMY(expr* e, TVA* tva) {
  return {.sp = tva->lev[e->L.i] + e->R.i};
}

// The cells of the running for loops by depth (entry 0 unused), grown
// when a deeper loop starts.  Plain memory: every loop has ended before a
// reset, and the array serves the next session as it is.
static symbol*** loop_cells;
static size_t n_loop_cells;

symbol** loop_values(int depth, symbol** cells) {
  if (depth < 1) bug("loop depth %d", depth);
  size_t d = static_cast<size_t>(depth);
  if (d >= n_loop_cells) {
    size_t n = std::max(d + 1, 2 * n_loop_cells + 16);
    auto a = static_cast<symbol***>(mymalloc_ZEF(n * sizeof(symbol**)));
    std::fill(a, a + n, nullptr);
    if (loop_cells) std::copy(loop_cells, loop_cells + n_loop_cells, a);
    std::free(loop_cells);
    loop_cells = a;
    n_loop_cells = n;
  }
  symbol** old = loop_cells[d];
  loop_cells[d] = cells;
  return old;
}

// The cell of loop dummy reference e.
static symbol** loop_cell(expr* e) {
  const dummy* d = static_cast<const dummy*>(e->L.p);
  symbol** cells = d->level < n_loop_cells ? loop_cells[d->level] : nullptr;
  if (!cells) bug("loop dummy %s of no running loop", d->name->name);
  return cells + d->offset;
}

eval_result f_OPLOOPDUMMY(expr* e, TVA*) {
  symbol** c = loop_cell(e);
  // The symbol may be compared, kept or printed: the loop's own number
  // gives way to the interned one for the rest of the pass.
  if (!(*c)->name) *c = Number((*c)->value);
  return {.sp = c};
}

symbol* eval_sym_peek(expr* e, TVA* tva) {
  if (opcode(e) == OPLOOPDUMMY) return *loop_cell(e);
  return eval_sym(e, tva);
}

eval_result f_OPSUMLIST1(expr* e, TVA* tva) {
  double s = 0;
  for (expr* m = e->L.e; m; m = m->next) s += eval_num(m, tva);
  return {.d = s};
}

eval_result f_OPANDLIST1(expr* e, TVA* tva) {
  for (expr* m = e->L.e; m; m = m->next)
    if (!eval_true(m, tva)) return {.i = 0};
  return {.i = 1};
}

eval_result f_OPORLIST1(expr* e, TVA* tva) {
  for (expr* m = e->L.e; m; m = m->next)
    if (eval_true(m, tva)) return {.i = 1};
  return {.i = 0};
}

}  // namespace vexo
