// User functions and their libraries.
#include "eval/funclib.h"

#include "eval/set.h"
#include "frontend/rawtok.h"
#include "session/loop.h"
#include "support/pool.h"

namespace vexo {

void* function::operator new(size_t size) { return xmem(XM_FUNCTION, size); }
void function::operator delete(void* p) { xmem_free(XM_FUNCTION, p); }

function* function::finish_dcl() {
  Curdclname = nullptr;
  xnode* old = nullptr;
  if (yychain(this, &old)) return this;
  return static_cast<function*>(x_copy(old, this, XM_FUNCTION));
}

function* funcdcl(symbol* name, cstr* alias, funcarg* args, int flags,
                  expr* pipe, expr* format) {
  function* f = new function;
  xrecomp_constr(f, name, alias, nullptr, DK_FUNCTION, 1);
  f->args = args;
  f->fflags = static_cast<uint32_t>(flags);
  f->pipe = pipe;
  f->format = format;
  return f->finish_dcl();
}

void cmd_where() { cmdwhere(); }
void show_funcs() {}
void ix_details_ZEF() {}
void at_reset() {}
void at_exit() {}

void gen_AVAILFUNCS(set* s, TVA*) { s->nmem = 0; }
void gen_AVAILFUNC2(set* s, TVA*) { s->nmem = 0; }
void gen_SFUNCS(set* s, TVA*) { s->nmem = 0; }

}  // namespace vexo
