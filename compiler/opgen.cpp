// Opcode generation.
#include "compiler/opgen.h"

#include "compiler/eexpr.h"
#include "eval/set.h"
#include "frontend/expr.h"

namespace vexo {

int32_t m_mandrew;
int32_t m_optrew;

// Stand-in: no routine is bound yet; the node stops naming its record,
// which its level is about to recycle.
void opgen(eexpr* e, Index*, int) {
  if (!e->is_set() && e->e && ee_of(e->e) == e) e->e->op = nullptr;
}

// Stand-in: the members go, the set is generated again when next needed.
void Clearset(set* s) {
  free_members(s);
  s->nmem = -1;
}

}  // namespace vexo
