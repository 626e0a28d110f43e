// Indexing expressions: Index items and their set_spec wrapper.
#include "eval/indexing.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "eval/iterate.h"
#include "eval/slice.h"
#include "frontend/expr.h"
#include "frontend/strexpr.h"
#include "support/list.h"
#include "support/message.h"
#include "support/pool.h"

namespace vexo {

Index::Index(Index* prev, set* s_, expr* dummies_, int open)
    : next(prev), s(s_), dummies(dummies_), level(0), ndum(listlen(dummies_)) {
  cells = s_ ? s_->arity : 0;
  if (open) {
    new_context();
    level = sslevel;
  }
}

namespace {

// The fixed components gathered for one item: positions and the values
// they must take.
struct selection {
  int n = 0;
  int32_t pos[TUPMAX];
  expr* key[TUPMAX];
};

// Position of dummy d among ix's dummies, when d is one of them.
int own_position(const Index* ix, const expr* d) {
  if (opcode(d) != OPDUMMY || d->L.i != ix->level) return -1;
  int p = 0;
  for (const expr* x = ix->dummies; x; x = x->next, ++p)
    if (x->R.i == d->R.i) return p;
  return -1;
}

// A value fixed before ix takes its values: a literal, a loop's dummy or a
// dummy of an outer level.
bool known_before(const expr* x, const Index* ix) {
  return opcode(x) == OPLIT || opcode(x) == OPLOOPDUMMY ||
         (opcode(x) == OPDUMMY && x->L.i < ix->level);
}

// The condition c without its conjuncts "dummy of ix == known value",
// which go to sel (one per position, a free position always left).
expr* strip(expr* c, Index* ix, selection& sel) {
  if (!c) return nullptr;
  if (opcode(c) == OPAND) {
    c->L.e = strip(c->L.e, ix, sel);
    c->R.e = strip(c->R.e, ix, sel);
    if (c->L.e && c->R.e) return c;
    expr* rest = c->L.e ? c->L.e : c->R.e;
    free_node(c);
    return rest;
  }
  if (opcode(c) != EQss) return c;
  expr *d = c->L.e, *x = c->R.e;
  if (own_position(ix, d) < 0) std::swap(d, x);
  int p = own_position(ix, d);
  if (p < 0 || !known_before(x, ix) || sel.n + 1 >= ix->s->arity) return c;
  for (int i = 0; i < sel.n; ++i)
    if (sel.pos[i] == p) return c;
  int i = sel.n++;
  for (; i > 0 && sel.pos[i - 1] > p; --i) {
    sel.pos[i] = sel.pos[i - 1];
    sel.key[i] = sel.key[i - 1];
  }
  sel.pos[i] = p;
  sel.key[i] = x;
  count_dummy_ref(ix->level, -1);
  free_node(d);
  free_node(c);
  return nullptr;
}

// Whether ix names a dummy for every component of its set.
bool all_dummies(const Index* ix) {
  if (!ix->s || ix->s->arity < 2 || ix->ndum != ix->s->arity) return false;
  for (const expr* x = ix->dummies; x; x = x->next)
    if (opcode(x) != OPDUMMY || x->L.i != ix->level) return false;
  return true;
}

}  // namespace

void* Index::operator new(size_t size) { return new_mblk(htcl(size), 1); }
void Index::operator delete(void* p) {
  if (p) del_mblk(0, p);
}

set_spec::set_spec(Index* chain, expr* cond_, int flag_) {
  // The head is set field by field: the record is not a set of the store's
  // own classes, and every field must hold a defined value.
  set* head = this;
  std::memset(static_cast<void*>(head), 0, sizeof(set));
  head->lastnext = &head->first;
  kind = SET_KIND;
  nmem = -1;
  sclass = SC_SPEC;
  refcnt = 1;
  in = spec_in;
  genall = set_spec_genall;
  // The grammar builds the chain newest first; keep it in source order.
  first = reverse(chain);
  cond = cond_;
  flag = flag_;
  if (cond && has_flag(cond, EF_VARS | EF_RANDVAR))
    error(0, "variable in such-that part of set specification");
  nindex = 0;
  int32_t ar = 0;
  uint32_t d = nest_of(cond);
  Index* prev = nullptr;
  for (Index* ix = first; ix; prev = ix, ix = ix->next) {
    ix->outer = prev;
    ++nindex;
    if (cond && all_dummies(ix)) {
      selection sel;
      cond = strip(cond, ix, sel);
      if (sel.n) {
        expr* key = nullptr;
        for (int i = sel.n; i-- > 0;) {
          sel.key[i]->next = key;
          key = sel.key[i];
        }
        ix->s = set_slice(ix->s, key, sel.pos, sel.n, 1);
      }
    }
    ar += ix->ndum ? ix->ndum : (ix->s ? ix->s->arity : 0);
    d = std::max({d, nest_of(ix->s), chain_nest(ix->dummies)});
    ix->cells = ix->s ? ix->s->arity : 0;
  }
  tuple_limit(ar);
  arity = ar;
  depth = nest_check(d + 1);
}

void* set_spec::operator new(size_t size) { return new_mblk(htcl(size), 1); }
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
  free_members(ss);
  index_free(ss->first);
  edelete(ss->cond);
  delete ss;
}

int set_spec_count(set_spec* ss) { return ss ? ss->nindex : 0; }

}  // namespace vexo
