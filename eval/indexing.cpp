// Indexing expressions: Index items and their set_spec wrapper.
#include "eval/indexing.h"

#include <algorithm>
#include <cstring>

#include "frontend/expr.h"
#include "frontend/strexpr.h"
#include "support/list.h"
#include "support/pool.h"

namespace vexo {

Index::Index(Index* outer, set* s_, expr* dummies_, int open)
    : next(outer), s(s_), dummies(dummies_), level(0),
      ndum(listlen(dummies_)) {
  if (open) {
    new_context();
    level = sslevel;
  }
}

void* Index::operator new(size_t size) { return new_mblk(htcl(size), 1); }
void Index::operator delete(void* p) {
  if (p) del_mblk(0, p);
}

set_spec::set_spec(Index* chain, expr* cond_, int flag_) {
  // The head is set field by field: the record is not a set of the store's
  // own classes, and every field must hold a defined value.
  set* head = this;
  std::memset(static_cast<void*>(head), 0, sizeof(set));
  kind = SET_KIND;
  nmem = -1;
  sclass = SC_SPEC;
  refcnt = 1;
  // The grammar builds the chain newest first; keep it in source order.
  first = reverse(chain);
  cond = cond_;
  flag = flag_;
  nindex = 0;
  int32_t ar = 0;
  uint32_t d = nest_of(cond);
  for (Index* ix = first; ix; ix = ix->next) {
    ++nindex;
    ar += ix->ndum ? ix->ndum : (ix->s ? ix->s->arity : 0);
    d = std::max({d, nest_of(ix->s), chain_nest(ix->dummies)});
  }
  arity = ar;
  depth = nest_check(d + 1);
}

void* set_spec::operator new(size_t size) {
  return new_mblk(htcl(size), 1);
}
void set_spec::operator delete(void* p) {
  if (p) del_mblk(0, p);
}

void index_free(Index* first) {
  while (first) {
    Index* nx = first->next;
    if (first->s) sdelete(first->s);
    edelete(first->dummies);
    delete first;
    first = nx;
  }
}

void set_spec_delete(set_spec* ss) {
  if (!ss) return;
  index_free(ss->first);
  edelete(ss->cond);
  delete ss;
}

int set_spec_count(set_spec* ss) { return ss ? ss->nindex : 0; }

}  // namespace vexo
