// Shared expressions (eexpr) and their hash table.
#include "compiler/eexpr.h"

#include "eval/set.h"

namespace vexo {

void eehashtab_init() {}

void del_ee(set* s) {
  s->ee = nullptr;
  s->privnode = nullptr;
}

}  // namespace vexo
