// User functions and their libraries.
#include "eval/funclib.h"

#include "eval/set.h"
#include "session/loop.h"

namespace vexo {

void cmd_where() { cmdwhere(); }
void show_funcs() {}
void ix_details_ZEF() {}
void at_reset() {}
void at_exit() {}

void gen_AVAILFUNCS(set* s, TVA*) { s->nmem = 0; }
void gen_AVAILFUNC2(set* s, TVA*) { s->nmem = 0; }
void gen_SFUNCS(set* s, TVA*) { s->nmem = 0; }

}  // namespace vexo
