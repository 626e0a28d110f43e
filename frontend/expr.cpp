// Expression nodes and their pool.
#include "frontend/expr.h"

#include "eval/set.h"
#include "frontend/rawtok.h"
#include "frontend/strexpr.h"
#include "support/list.h"
#include "support/message.h"
#include "support/pool.h"

namespace vexo {

expr* expr_free_list;
expr* svsub0;

void* expr::operator new(size_t) {
  expr* e = expr_free_list;
  if (!e) return mem(sizeof(expr));  // arena memory comes zeroed
  pool_take(e, sizeof(expr));
  expr_free_list = e->next;
  e->next = nullptr;
  e->op = nullptr;
  return e;
}

static void put_expr(void* p, int) {
  expr* e = static_cast<expr*>(p);
  e->next = expr_free_list;
  expr_free_list = e;
}

void expr::operator delete(expr* e, std::destroying_delete_t) {
  if (e) pool_free_chain(e, &expr_free_list, sizeof(expr), put_expr);
}

void expr::operator delete(void* p) {
  if (p) pool_free(p, sizeof(expr), p, put_expr);
}

void expr_reset() { expr_free_list = nullptr; }

uint32_t nest_check(uint32_t depth) {
  if (depth > MAX_NESTING) {
    error(0, "expression nested too deeply");
    bailout();
  }
  return depth;
}

uint32_t chain_nest(const expr* chain) {
  uint32_t d = 0;
  for (const expr* x = chain; x; x = x->next)
    if (x->depth > d) d = x->depth;
  return d;
}

expr* undeclared_elem(expr* e) {
  if (e->opword != opword(OP279)) return e;
  symbol* s = e->L.sym;
  free_expr(e);
  return not_declared(s);
}

eval_result svsub_oper(expr* e, TVA*) {
  eval_result v;
  v.p = e->R.p;
  return v;
}

expr* make_svsub(setmem* member) {
  if (!svsub0) {
    // Outside the arena: the node is kept for the whole process, and the
    // `reset` command frees the arena.
    svsub0 = static_cast<expr*>(mymalloc_ZEF(sizeof(expr)));
    svsub0->next = nullptr;
    svsub0->opword = opword(OPNUM, EF_CONST | EF_NUMERIC);
    svsub0->L.e = svsub0;
    svsub0->op = svsub_oper;
  }
  svsub0->R.p = member->tup();
  return svsub0;
}

}  // namespace vexo
