// List cells, tuple lists and the lexical context stack.
#include "support/list.h"

#include <cstring>

#include "eval/indexing.h"
#include "frontend/decl.h"
#include "frontend/dummy.h"
#include "frontend/expr.h"
#include "frontend/lexer.h"
#include "frontend/paramdcl.h"
#include "support/message.h"
#include "support/pool.h"

namespace vexo {

list* list_free_list;

list* sycontext;
int32_t sslevel;
int32_t ssoffset;
dummy* last_dummy;
int32_t Dummy_refs[MAX_SSLEVEL + 1];

int32_t next_dummy_offset() { return ssoffset++; }

void newest_dummy(dummy* d) { last_dummy = d; }

void count_dummy_ref(uint32_t level, int delta) { Dummy_refs[level] += delta; }

void list_reset() {
  list_free_list = nullptr;
  sycontext = nullptr;
  sslevel = ssoffset = 0;
  last_dummy = nullptr;
  forget_braces();
}

void* list::operator new(size_t) {
  list* c = list_free_list;
  if (!c) return mem(sizeof(list));
  pool_take(c, sizeof(list));
  list_free_list = c->next;
  return c;
}

static void put_list(void* p, int) {
  list* c = static_cast<list*>(p);
  c->next = list_free_list;
  list_free_list = c;
}

void list::operator delete(list* c, std::destroying_delete_t) {
  if (c) pool_free_chain(c, &list_free_list, sizeof(list), put_list);
}

void list::operator delete(void* p) {
  if (p) pool_free(p, sizeof(list), p, put_list);
}

// The link of a record chained through its first word, whatever its type
// (copied bytewise, so any record type may be walked).
static void* link_of(const void* x) {
  void* next;
  std::memcpy(&next, x, sizeof next);
  return next;
}
static void set_link(void* x, void* next) {
  std::memcpy(x, &next, sizeof next);
}

void* reverse(void* first) {
  void* done = nullptr;
  for (void* x = first; x;) {
    void* rest = link_of(x);
    set_link(x, done);
    done = x;
    x = rest;
  }
  return done;
}

int32_t listlen(const void* first) {
  int32_t n = 0;
  for (const void* x = first; x; x = link_of(x)) ++n;
  return n;
}

list* tulist(list* rest, expr* elements) {
  void* done = nullptr;
  for (void* x = elements; x;) {
    void* after = link_of(x);
    // The filter sees the element cut out of the chain, so that freeing a
    // placeholder frees only it.
    set_link(x, nullptr);
    void* y = undeclared_elem(static_cast<expr*>(x));
    set_link(y, done);
    done = y;
    x = after;
  }
  return new_list(rest, done);
}

void new_context() {
  list* lower = new_list_int(sycontext, ssoffset);
  list* upper = new_list(lower, last_dummy);
  sycontext = upper;
  if (++sslevel > MAX_SSLEVEL) bug("context stack overflow");
  Dummy_refs[sslevel] = 0;
  ssoffset = 0;
  last_dummy = nullptr;
}

// Closes the innermost context: the scope's dummies give their names back,
// and the enclosing scope's state comes off the stack.
static void close_context() {
  if (last_dummy) dummy_release(last_dummy);
  // A recovery can ask to close scopes a nested reading level closed
  // already: with none open there is nothing more to give back.
  if (!sycontext) {
    last_dummy = nullptr;
    return;
  }
  list* upper = sycontext;
  list* lower = upper->next;
  last_dummy = upper->item.d;
  ssoffset = lower->item.i;
  sycontext = lower->next;
  lower->next = nullptr;
  free_list(upper);
  dummy_level_closed(sslevel);
  --sslevel;
}

void context_end(int n) {
  while (n-- > 0) close_context();
}

void end_context(set_spec* ss, xnode* decl) {
  int n = 0;
  if (ss) {
    n = set_spec_count(ss);
  } else if (decl) {
    n = set_spec_count(decl->indexing);
  }
  context_end(n);
  if (decl)
    while (sycontext) close_context();
}

void rebind_saved(const void* from, void* to) {
  auto fix = [&](dummy* first) {
    for (dummy* d = first; d; d = d->next)
      if (d->oldval == from) d->oldval = to;
  };
  fix(last_dummy);
  // Each level of the stack: the upper cell holds the enclosing scope's
  // dummies, the lower one its offset.
  for (list* up = sycontext; up && up->next; up = up->next->next)
    fix(up->item.d);
}

void end_all_contexts() {
  finish_current_setdcl();
  context_end(listlen(sycontext) / 2);
  forget_braces();
}

}  // namespace vexo
