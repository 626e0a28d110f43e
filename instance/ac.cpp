// The collected problem record.
#include "instance/ac.h"

#include "support/pool.h"

namespace vexo {

AC* cur_ac;

AC* new_ac() {
  if (!cur_ac) {
    cur_ac = static_cast<AC*>(mem(sizeof(AC)));
    cur_ac->ac_self = cur_ac;
    return cur_ac;
  }
  cur_ac->gen_decl = nullptr;
  cur_ac->work = 0;
  return cur_ac;
}

void ac_reset() { cur_ac = nullptr; }

void set_lubs(AC*) {}
void statshow(AC*) {}
double con_dual(constr*, int32_t, TVA*) { return 0; }
double var_value(var*, int32_t, TVA*) { return 0; }

}  // namespace vexo
