// The set record and its member store: member nodes and record free lists,
// the tuple hash, building and growth of the hash tables, insertion,
// look-up, membership, copy on write and release.
#include "eval/set.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "compiler/eexpr.h"
#include "compiler/opgen.h"
#include "compiler/tva.h"
#include "eval/indexing.h"
#include "eval/iterate.h"
#include "eval/setgen.h"
#include "eval/slice.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/strexpr.h"
#include "instance/ac.h"
#include "session/loop.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"

namespace vexo {

setmem* free_setmem[TUPMAX + 1];
set* enum_free_list;
set* db_free_list;
set* set2p_free_list;
set* set3p_free_list;
set* set_interval_free_list;

// The innermost running generator's holder.
static gen_hold* gen_top;
// Sets generated while an interrupt was pending: they may have stopped
// short.  They serve the rest of the interrupted command and are put back
// to not generated at its bail-out (set_gen_abandon).
static std::vector<set*> cut_sets;
// Member nodes set aside in one block by set_reserve, per arity: the next
// one and the end of the block (recorded memory, dropped by `reset`).
static char* bulk_next[TUPMAX + 1];
static char* bulk_end[TUPMAX + 1];

void set_reset() {
  gen_top = nullptr;
  cut_sets.clear();
  for (setmem*& m : free_setmem) m = nullptr;
  for (int a = 0; a <= TUPMAX; ++a) bulk_next[a] = bulk_end[a] = nullptr;
  enum_free_list = db_free_list = nullptr;
  set2p_free_list = set3p_free_list = set_interval_free_list = nullptr;
}

// Multipliers of the tuple hash by table order k; 46337 beyond.
static const uint32_t fudge[32] = {
    3,    3,    3,    3,    3,    5,     7,     11,    17,    23,   31,
    43,   61,   83,   131,  179,  251,   359,   503,   719,   1021, 1447,
    2053, 2897, 4093, 5791, 8191, 11587, 16381, 23173, 32771, 46337};

// Bucket of a tuple in a table of order k: the pointer words combined by
// h = h * F + m[i], shifted right by 5.  Symbols are 32-byte records laid
// out in order in their pool, so the shift leaves a step of one between
// neighbours (a smaller one leaves buckets that no tuple reaches, and the
// chains long), and tuples made in order land in neighbouring buckets.
static inline uint64_t tuple_hash(symbol* const* t, int arity, int k) {
  if (arity <= 0) return 0;
  uint64_t h = reinterpret_cast<uintptr_t>(t[0]);
  if (arity > 1) {
    uint64_t f = k < 32 ? fudge[k] : 46337;
    for (int i = 1; i < arity; i++)
      h = h * f + reinterpret_cast<uintptr_t>(t[i]);
  }
  return h >> 5;
}

static inline bool same_tuple(const setmem* m, symbol* const* t, int arity) {
  symbol* const* u = m->tup();
  for (int i = 0; i < arity; i++)
    if (u[i] != t[i]) return false;
  return true;
}

// Table order for n members: 2^k is the least power of two not below n;
// n of 0 or 1 gives k = n.
static int order_for(int n) {
  if (n <= 1) return n < 0 ? 0 : n;
  int k = 0;
  for (uint32_t v = static_cast<uint32_t>(n - 1); v; v >>= 1) k++;
  return k;
}

void tuple_limit(int n) {
  if (n <= TUPMAX) return;
  error(0, "%d components in a tuple; at most %d are allowed", n, TUPMAX);
  bailout();
}

static void check_arity(int arity) {
  if (arity < 0 || arity > TUPMAX) bug("arity %d > TUPMAX = %d", arity, TUPMAX);
}

static size_t node_size(int arity) {
  return sizeof(setmem) + size_t(arity) * sizeof(symbol*);
}

setmem* new_setmem(int arity) {
  check_arity(arity);
  size_t size = node_size(arity);
  setmem* m = free_setmem[arity];
  if (m) {
    pool_take(m, size);
    free_setmem[arity] = m->next;
    m->next = nullptr;
    return m;
  }
  if (bulk_next[arity] != bulk_end[arity]) {
    // Not cleared in advance: the block is written once, node by node.
    m = reinterpret_cast<setmem*>(bulk_next[arity]);
    bulk_next[arity] += size;
    *m = setmem{};
    return m;
  }
  return static_cast<setmem*>(mem(size));
}

// Sets aside one block for count more nodes of the arity when that many
// are worth it and neither the free list nor the block set aside before
// can serve them (nodes given back go to the free list, which is taken
// first, so a set read again reuses its old nodes).
static void reserve_nodes(int arity, int64_t count) {
  constexpr int64_t BULK_MIN = 4096;
  if (count < BULK_MIN || free_setmem[arity]) return;
  size_t size = node_size(arity);
  if (int64_t((bulk_end[arity] - bulk_next[arity]) / size) >= count) return;
  char* p = static_cast<char*>(Malloc_bulk(size * size_t(count)));
  bulk_next[arity] = p;
  bulk_end[arity] = p + size * size_t(count);
}

// Links one member node on the free list of its arity.
static void put_setmem(void* p, int arity) {
  setmem* m = static_cast<setmem*>(p);
  m->next = free_setmem[arity];
  free_setmem[arity] = m;
}

void del_setmem(int arity, setmem* first) {
  if (!first) return;
  check_arity(arity);
  pool_free_chain(first, &free_setmem[arity], node_size(arity), put_setmem,
                  arity);
}

// A record of `size` bytes from a free list or the arena, zeroed, with its
// order tail at its own order head.
static set* take_record(set** freelist, size_t size) {
  set* s = *freelist;
  if (s) {
    pool_take(s, size);
    *freelist = s->link;
    std::memset(static_cast<void*>(s), 0, size);
  } else {
    s = static_cast<set*>(mem(size));
  }
  s->lastnext = &s->first;
  return s;
}

// Links a released record on the free list L.
template <set** L>
static void put_record(void* p, int) {
  set* s = static_cast<set*>(p);
  s->link = *L;
  *L = s;
}

// Puts a released record of `size` bytes back on its class's free list L
// (take_record's counterpart).
template <set** L>
static void give_record(set* s, size_t size) {
  pool_free(s, size, &s->link, put_record<L>);
}

set* new_enum() { return take_record(&enum_free_list, sizeof(set)); }
set* new_setdb() { return take_record(&db_free_list, sizeof(set)); }
set2p* new_set2p() {
  return static_cast<set2p*>(take_record(&set2p_free_list, sizeof(set2p)));
}
set3p* new_set3p() {
  return static_cast<set3p*>(take_record(&set3p_free_list, sizeof(set3p)));
}
set_interval* new_set_interval() {
  return static_cast<set_interval*>(
      take_record(&set_interval_free_list, sizeof(set_interval)));
}

static void free_table(set* s) {
  if (s->htab) {
    del_mblk(s->k, s->htab);
    s->htab = nullptr;
  }
  if (s->ordidx) {
    del_mblk(s->k, s->ordidx);
    s->ordidx = nullptr;
  }
}

// The head of the bucket chain of tuple t.
static inline setmem** bucket(const set* s, symbol* const* t) {
  return s->htab + (tuple_hash(t, s->arity, s->k) & s->mask);
}

// Searches the chain from p for tuple t.  A member deleted and added again
// has a dead node (ordinal -1) in front of its live one: returns the live
// node, or null with *dead at the first dead one (null when none).
static setmem* find_in_chain(setmem* p, symbol* const* t, int arity,
                             setmem** dead) {
  *dead = nullptr;
  for (; p; p = p->hnext) {
    if (same_tuple(p, t, arity)) {
      if (p->ord != -1) return p;
      if (!*dead) *dead = p;
    }
  }
  return nullptr;
}

// Links m into the chain at b: at the head, or directly behind dead, a
// matching member marked deleted.
static void link_in_chain(setmem** b, setmem* dead, setmem* m) {
  if (dead) {
    m->hnext = dead->hnext;
    dead->hnext = m;
  } else {
    m->hnext = *b;
    *b = m;
  }
}

// Links m into its bucket.  Returns the live duplicate met (m then stays
// out), if any.
static setmem* link_member(set* s, setmem* m) {
  setmem** b = bucket(s, m->tup());
  setmem* dead;
  if (setmem* live = find_in_chain(*b, m->tup(), s->arity, &dead)) return live;
  link_in_chain(b, dead, m);
  return nullptr;
}

void set::new_htab(int n) {
  free_table(this);
  k = order_for(n);
  mask = (1 << k) - 1;
  htab = static_cast<setmem**>(new_mblk(k, 1));
}

void set::rehash() {
  new_htab(nmem);
  for (setmem* m = first; m; m = m->next) {
    if (link_member(this, m)) bug("set::rehash finds duplicate entry");
  }
}

int set::addmem(symbol* const* t) {
  setmem** b = bucket(this, t);
  setmem* dead;
  if (find_in_chain(*b, t, arity, &dead)) return 1;
  setmem* m = new_setmem(arity);
  link_in_chain(b, dead, m);
  *lastnext = m;
  lastnext = &m->next;
  m->ord = nmem++;
  if (arity > 0) std::memcpy(m->tup(), t, arity * sizeof(symbol*));
  if (mask != 0 && m->ord <= mask) {
    if (ordidx) ordidx[m->ord] = m;
  } else {
    rehash();
  }
  return 0;
}

int set::lookup(symbol* const* t, setmem** node, setmem*** slot) {
  setmem** b = bucket(this, t);
  if (slot) *slot = b;
  // The live node answers, the dead one only when there is no live one.
  setmem* dead;
  setmem* live = find_in_chain(*b, t, arity, &dead);
  if (node) *node = live ? live : dead;
  return live ? live->ord : -1;
}

void set::makesettab(TVA* tva) {
  if (htab) return;
  if (nmem == -1) {
    set_genall(this, tva);
    if (htab) return;
  }
  new_htab(nmem);
  int walked = 0;
  for (setmem* m = first; m; m = m->next) {
    if (link_member(this, m))
      terror(tva, "duplicate member in set::makesettab");
    m->ord = walked++;
  }
  if (walked != nmem)
    terror(tva, "wrong card (%d rather than %d) in set::maketab", walked, nmem);
}

int64_t set_in(set* s, symbol** tuple, TVA* tva) {
  if (!s->htab) {
    if (!s->nuse) {
      if (!s->in) bug("set of class %u has no membership test", s->sclass);
      return s->in(s, tuple, tva);
    }
    s->makesettab(tva);
  }
  return s->lookup(tuple);
}

int64_t set_lookup(set* s, symbol** tuple, setmem** where) {
  if (!s->htab) s->makesettab(nullptr);
  return s->lookup(tuple, where);
}

int set_addmem(set* s, symbol** tuple) {
  if (!s->htab) s->makesettab(nullptr);
  return s->addmem(tuple);
}

void set_reserve(set* s, int64_t n) {
  if (!s->htab) s->makesettab(nullptr);
  if (n > (int64_t{1} << 30)) return;
  reserve_nodes(s->arity, n - s->nmem);
  if (n <= int64_t(s->mask) + 1) return;
  s->new_htab(static_cast<int>(n));
  for (setmem* m = s->first; m; m = m->next)
    if (link_member(s, m)) bug("set_reserve finds duplicate entry");
}

setmem** prevlookup(set* s, symbol* const* tuple) {
  if (!s->htab) return nullptr;
  setmem** link = bucket(s, tuple);
  for (; *link; link = &(*link)->hnext)
    if (same_tuple(*link, tuple, s->arity)) return link;
  return nullptr;
}

setmem* set_append(set* s, symbol* const* t) {
  setmem* m = new_setmem(s->arity);
  if (s->arity > 0) std::memcpy(m->tup(), t, s->arity * sizeof(symbol*));
  *s->lastnext = m;
  s->lastnext = &m->next;
  m->ord = s->nmem++;
  return m;
}

void set_forget_table(set* s) { free_table(s); }

// Frees the ordinal index of a set that shows another set's members (the
// index is its own, made by set_ordidx; the table is not).
static void drop_own_ordidx(set* s) {
  if (s->ordidx) del_mblk(s->k, s->ordidx);
  s->ordidx = nullptr;
}

void set_adopt(set* d, set* m) {
  drop_own_ordidx(d);
  d->nmem = m->nmem;
  d->first = m->first;
  d->lastnext = m->first ? m->lastnext : &d->first;
  d->htab = m->htab;
  d->k = m->k;
  d->mask = m->mask;
}

setmem** set_ordidx(set* s, TVA* tva) {
  if (s->nmem < 0) set_genall(s, tva);
  if (!s->htab) s->makesettab(tva);
  if (!s->ordidx) {
    s->ordidx = static_cast<setmem**>(new_mblk(s->k, 1));
    for (setmem* m = s->first; m; m = m->next)
      if (m->ord >= 0 && m->ord <= s->mask) s->ordidx[m->ord] = m;
  }
  return s->ordidx;
}

namespace {

// What set_genall changes around the generator, put back however the
// generator ends: the set's error context heads err_fel (its private node
// on that Index's clean-up hooks when the members are to be kept), and the
// collected problem's current entity names the set's owner.
class genall_frame {
 public:
  genall_frame(set* s, TVA* tva, bool keeps_members)
      : entry_{err_fel, nullptr}, ac_(tva ? tva->ac : nullptr) {
    if (Index* ix = static_cast<Index*>(s->errctx)) {
      if (expr* p = s->privnode; p && keeps_members) {
        // Once on the list: its run takes it off again.
        expr* h = ix->cleanup;
        while (h && h != p) h = h->next;
        if (!h) push_cleanup(ix, p);
      }
      entry_.ix = ix;
      err_fel = &entry_;
    }
    if (ac_) gen_decl_ = ac_->gen_decl;
    if (s->owner) {
      if (s->genall == invalid_genall) invalid_genall(s, tva);
      if (ac_) ac_->gen_decl = s->owner;
    }
  }
  genall_frame(const genall_frame&) = delete;
  genall_frame& operator=(const genall_frame&) = delete;
  ~genall_frame() {
    if (entry_.ix) err_fel = entry_.next;
    if (ac_) ac_->gen_decl = gen_decl_;
  }

 private:
  err_ctx entry_;
  AC* ac_;
  xnode* gen_decl_ = nullptr;
};

}  // namespace

void set_genall(set* s, TVA* tva) {
  if (!s->genall) bug("set of class %u has no generator", s->sclass);
  if (s->slices) slice_cache_clear(s);
  genall_frame f(s, tva, true);
  gen_hold hold(s);
  s->genall(s, tva);
  hold.done();
  // An interrupt stops the walks of indexing expressions short.
  if (gotbreak) cut_sets.push_back(s);
}

int32_t set_range_walk(set* s, TVA* tva, double* lower, double* stride) {
  genall_frame f(s, tva, false);
  return range_bounds(s, tva, lower, stride);
}

gen_hold::gen_hold(set* s) : s_(s), outer_(gen_top) { gen_top = this; }

gen_hold::~gen_hold() {
  if (gen_top == this) gen_top = outer_;
}

void set_gen_abandon() {
  for (gen_hold* h = gen_top; h; h = h->outer_)
    if (set* s = h->s_) {
      h->s_ = nullptr;
      Clearset(s);
    }
  gen_top = nullptr;
  for (set* s : cut_sets) Clearset(s);
  cut_sets.clear();
}

int enum_in(set* s, symbol** tuple, TVA* tva) {
  if (!s->htab) s->makesettab(tva);
  return s->lookup(tuple);
}

void enum_genall(set* s, TVA* tva) {
  if (s->owner) {
    eerror(tva, "no data for set %s", xnode_name(s->owner));
  }
  terror(tva, "enum_genall called!");
  // Should the report return, the set stands as an empty one.
  s->nmem = 0;
}

xnode* set_without_data(const set* s) {
  return s->nmem < 0 && s->sclass == SC_ENUM && s->genall == enum_genall
             ? s->owner
             : nullptr;
}

set* set_enum(set* s, int arity) {
  check_arity(arity);
  s->sclass = SC_ENUM;
  s->refcnt = 1;
  s->kind = SET_KIND;
  s->arity = arity;
  s->nmem = 0;
  free_table(s);
  s->k = 0;
  s->mask = 0;
  s->htab = static_cast<setmem**>(new_mblk(0, 1));
  s->in = enum_in;
  s->genall = enum_genall;
  return s;
}

set* set_copy(const set* s) {
  set* c = set_enum(new_enum(), s->arity);
  if (s->nmem > 0) {
    c->new_htab(s->nmem);
    for (setmem* m = s->first; m; m = m->next)
      if (m->ord >= 0) c->addmem(m->tup());
  }
  return c;
}

set* mutable_set(set* s) {
  if (s->refcnt < 2) return s;
  set* c = set_copy(s);
  s->refcnt--;
  return c;
}

bool same_members(const set* a, const set* b) {
  if (!a || a->nmem < 0 || a->nmem != b->nmem || a->arity != b->arity)
    return false;
  const setmem* x = a->first;
  const setmem* y = b->first;
  size_t w = sizeof(symbol*) * size_t(a->arity);
  for (;;) {
    while (x && x->ord < 0) x = x->next;
    while (y && y->ord < 0) y = y->next;
    if (!x || !y) return !x && !y;
    if (std::memcmp(x->tup(), y->tup(), w) != 0) return false;
    x = x->next;
    y = y->next;
  }
}

// Out of the compiler's table of shared sets, its private node deleted;
// a set being released is no longer waiting to be cleared.
static void withdraw(set* s) {
  del_ee(s);
  if (!cut_sets.empty())
    cut_sets.erase(std::remove(cut_sets.begin(), cut_sets.end(), s),
                   cut_sets.end());
}

// Drops the order list without giving its nodes back (they belong to
// someone else).
static void detach_members(set* s) {
  s->first = nullptr;
  s->lastnext = &s->first;
  s->nmem = 0;
}

void free_members(set* s) {
  if (s->slices) slice_cache_clear(s);
  if (s->first) del_setmem(s->arity, s->first);
  detach_members(s);
  free_table(s);
}

void drop_members(set* s) {
  if (s->slices) slice_cache_clear(s);
  detach_members(s);
  drop_own_ordidx(s);
  s->htab = nullptr;
  s->k = 0;
  s->mask = 0;
}

// The release of a common-size record that owns its members.
static void release_enum(set* s) {
  withdraw(s);
  if (s->slices) del_slice(s);
  free_members(s);
  give_record<&enum_free_list>(s, sizeof(set));
}

static void run_release(set* s) {
  if (set_release[s->sclass]) set_release[s->sclass](s);
}

void del_enum(set* s) {
  if (--s->refcnt > 0) return;
  release_enum(s);
}

void sdelete(set* s) {
  if (!s) return;
  uint32_t c = s->sclass;
  if (c < 1 || c > 24) return;
  if (--s->refcnt > 0) return;
  withdraw(s);
  if (s->slices) del_slice(s);
  switch (c) {
    case SC_ENUM:
      release_enum(s);
      break;
    case SC_NAMED:
      // The members and buckets belong to the declaration.
      drop_members(s);
      release_enum(s);
      break;
    case SC_SPEC:
    case SC_SPECSET:
      run_release(s);
      break;
    case SC_RANGE:
    case SC_ITUNION:
    case SC_ITINTER:
    case SC_IF:
    case SC_LITERAL:
    case SC_CROSS:
    case SC_SUBSCR:
      run_release(s);
      give_record<&set3p_free_list>(s, sizeof(set3p));
      break;
    case SC_SLICE:
      // Its members belong to the slice record.
      detach_members(s);
      release_slice(s);
      give_record<&set3p_free_list>(s, sizeof(set3p));
      break;
    case SC_UNION:
    case SC_DIFF:
    case SC_SYMDIFF:
    case SC_INTER:
    case SC_SETOF:
    case SC_ORDERED:
    case SC_INVALID:
      run_release(s);
      give_record<&set2p_free_list>(s, sizeof(set2p));
      break;
    case SC_SYS:
    case SC_DB:
      give_record<&db_free_list>(s, sizeof(set));
      break;
    case SC_INTERVAL: {
      set_interval* si = static_cast<set_interval*>(s);
      edelete(si->lower);
      edelete(si->upper);
      si->lower = si->upper = nullptr;
      give_record<&set_interval_free_list>(s, sizeof(set_interval));
      break;
    }
    default:  // 17, 18
      break;
  }
}

}  // namespace vexo
