// Named problems (least form).
#include "instance/problem.h"

#include "eval/indexing.h"
#include "frontend/expr.h"
#include "frontend/rawtok.h"
#include "support/list.h"
#include "support/pool.h"
#include "support/symbol.h"

namespace vexo {

problem* cur_prob;
problem* initial_prob;

void* problem::operator new(size_t size) { return xmem(XM_PROBLEM, size); }
void problem::operator delete(void* p) { xmem_free(XM_PROBLEM, p); }

void prob_add(problem* p, xnode* d) {
  expr* ent = new_expr(opword(OPARG), new_expr(opword(OP281), d));
  ent->next = p->ents;
  p->ents = ent;
  xrefer(d, static_cast<uint32_t>(p->num));
}

problem* new_problem(symbol* name, cstr* alias, set_spec* ix, expr* settings,
                     expr* items) {
  problem* p = new problem;
  xrecomp_constr(p, name, alias, ix, DK_PROB + (ix && ix->nindex > 0 ? 1 : 0), 1);
  ldelete(settings);
  p->ents = items;
  if (ix) end_context(ix, nullptr);
  Curdclname = nullptr;
  xnode* old = nullptr;
  if (yychain(p, &old)) return p;
  problem* r = static_cast<problem*>(x_copy(old, p, XM_PROBLEM));
  cur_prob = r;
  return r;
}

void sysdecl_problems() {
  initial_prob =
      new_problem(Symbol("Initial", 0), nullptr, nullptr, nullptr, nullptr);
  cur_prob = initial_prob;
}

void problem_reset() { cur_prob = initial_prob = nullptr; }

}  // namespace vexo
