// Pending assignments of table reads.
#include "data/outarg.h"

#include <cstring>
#include <vector>

#include "compiler/tva.h"
#include "data/table.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "frontend/decl.h"
#include "instance/ac.h"
#include "session/let.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

namespace {

constexpr int PAGE_CLASS = 10;  // 8 KB pages
constexpr size_t PAGE_BYTES = size_t{8} << PAGE_CLASS;

// A run of pages handing out words.
struct page_run {
  std::vector<void*> pages;
  size_t used = PAGE_BYTES;

  void* take(size_t n) {
    if (used + n > PAGE_BYTES) {
      pages.push_back(new_mblk(PAGE_CLASS));
      used = 0;
    }
    void* p = static_cast<char*>(pages.back()) + used;
    used += n;
    return p;
  }
  void release() {
    for (void* p : pages) del_mblk(PAGE_CLASS, p);
    pages.clear();
    used = PAGE_BYTES;
  }
};

struct slot {
  xnode* d;
  Outarg* head;
  Outarg* tail;
};

page_run recs, subs;
std::vector<int32_t> slot_of;  // by declaration number: slot + 1, or 0
std::vector<slot> slots;

void clear_state() {
  recs.release();
  subs.release();
  slot_of.clear();
  slots.clear();
}

}  // namespace

Outarg* new_outarg(int n) {
  Outarg* o = static_cast<Outarg*>(recs.take(sizeof(Outarg)));
  std::memset(o, 0, sizeof *o);
  if (n > 0 && size_t(n) * sizeof(symbol*) <= PAGE_BYTES)
    o->sub = static_cast<symbol**>(subs.take(size_t(n) * sizeof(symbol*)));
  return o;
}

void outarg_put(xnode* d, Outarg* oa) {
  size_t num = static_cast<size_t>(d->num);
  if (slot_of.size() <= num) slot_of.resize(num + 1, 0);
  int32_t& k = slot_of[num];
  if (!k) {
    slots.push_back({d, nullptr, nullptr});
    k = static_cast<int32_t>(slots.size());
  }
  slot& s = slots[size_t(k - 1)];
  oa->next = nullptr;
  if (s.tail)
    s.tail->next = oa;
  else
    s.head = oa;
  s.tail = oa;
}

bool outarg_pending() { return !slots.empty(); }

namespace {

// A context of its own in which errors name the table being read.
struct table_context {
  tva_hold h{new_tva()};
  explicit table_context(Table* tb) {
    if (cur_ac) {
      cur_ac->table_tva = h.t;
      cur_ac->table_name = tb ? tb->name->name : nullptr;
    }
  }
  ~table_context() {
    if (cur_ac) {
      cur_ac->table_tva = nullptr;
      cur_ac->table_name = nullptr;
    }
  }
};

}  // namespace

void outarg_check(Table* tb) {
  if (slots.empty()) return;
  table_context tc(tb);
  for (slot& x : slots) check_outargs(x.d, x.head, tc.h.t);
}

void outarg_clear(int apply, Table* tb) {
  if (slots.empty()) {
    clear_state();
    return;
  }
  // The state is taken over first: an error while storing leaves through
  // the bail-out, which finds nothing pending any more.
  std::vector<slot> work;
  work.swap(slots);
  page_run r = recs, s = subs;
  recs.pages.clear();
  subs.pages.clear();
  clear_state();
  struct release_all {
    std::vector<slot>& w;
    page_run& r;
    page_run& s;
    ~release_all() {
      for (slot& x : w)
        for (Outarg* o = x.head; o; o = o->next) zap_cstr(&o->s);
      r.release();
      s.release();
    }
  } guard{work, r, s};
  if (!apply) return;
  table_context tc(tb);
  TVA* t = tc.h.t;
  for (slot& x : work) {
    // Values outside the target's own indexing are dropped silently (it
    // may use the set the same read has just stored).
    if (x.d->indexing) {
      Outarg** pp = &x.head;
      while (Outarg* o = *pp) {
        if (o->sub && set_in(x.d->indexing, o->sub, t) == NOT_MEMBER) {
          zap_cstr(&o->s);
          *pp = o->next;
        } else {
          pp = &o->next;
        }
      }
    }
  }
  for (slot& x : work) assign_outargs(x.d, x.head, t);
}

void outarg_reset() {
  recs = page_run{};
  subs = page_run{};
  slot_of.clear();
  slots.clear();
}

}  // namespace vexo
