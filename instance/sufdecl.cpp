// Suffix declarations (least form).
#include "instance/sufdecl.h"

#include <cstring>

#include "eval/set.h"
#include "frontend/condcl.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "frontend/paramdcl.h"
#include "frontend/rawtok.h"
#include "frontend/suffix.h"
#include "report/prex.h"
#include "support/format.h"
#include "support/list.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"

namespace vexo {

int stage_declared;

void* suffix::operator new(size_t size) { return xmem(XM_SUFFIX, size); }
void suffix::operator delete(void* p) { xmem_free(XM_SUFFIX, p); }

suffix* new_suffix(symbol* name, cstr* alias) {
  suffix* s = new suffix;
  xrecomp_constr(s, name, alias, nullptr, DK_SUFFIX, 0);
  return s;
}

void suffix::addtype(uint32_t bits) { sflags |= bits; }

void suffix::add_in(set* s) {
  if (s->arity != 1) {
    error(0, "a suffix cannot be in a set of dimen %d", s->arity);
    sdelete(s);
    return;
  }
  list* c = new list;
  c->next = checks;
  c->item.e = new_expr(opword(OPINCHECK), nullptr, s);
  checks = c;
}

void suffix::add_dir(int code) { dir = code; }

suffix* suffix::finish_dcl() {
  Curdclname = nullptr;
  finish_check(&checks, sflags);
  xnode* old = nullptr;
  if (yychain(this, &old)) return this;
  suffix* r = static_cast<suffix*>(x_copy(old, this, XM_SUFFIX));
  if (!old) {
    r->depslot = static_cast<uint32_t>(r->num);
    r->sufnum = static_cast<uint32_t>(r->classnum);
    if (dot_names) {
      symbol* nm = r->name;
      set_addmem(dot_names, &nm);
    }
    add_dsuffix(r->name, 0, r->depslot, (r->sflags & SUF_SYMBOLIC) != 0);
    // An explicit declaration of suffix stage (the system's own
    // declaration is forgotten by sufdecl_reset).
    if (std::strcmp(r->name->name, "stage") == 0) stage_declared = 1;
  }
  return r;
}

void sufredecl_start(symbol* name) { redecl_of_class(XC_SUFFIXES, name); }

suffix* suff_named(symbol* name) {
  xnode* d = xclass_find(XC_SUFFIXES, name);
  if (!d) d = xclass_find(XC_SYSTEM_SUFFIXES, name);
  return static_cast<suffix*>(d);
}

suffix* suff_show(symbol* name) {
  suffix* s = suff_named(name);
  if (!s)
    Fprintf(display_stream(), "### %s is not a declared suffix.\n",
            name->name);
  return s;
}

void sufdecl_reset() { stage_declared = 0; }

}  // namespace vexo
