// Shared expressions: the record pool, the hash table and its equality.
#include "compiler/eexpr.h"

#include <cstring>

#include "compiler/compile.h"
#include "compiler/context.h"
#include "compiler/opgen.h"
#include "eval/funclib.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "eval/setclass.h"
#include "frontend/expr.h"
#include "frontend/strexpr.h"
#include "instance/names.h"
#include "support/list.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

eelink* eehashtab;
uint32_t eeh_mask;
uint32_t eeh_count;
int eeh_k;
eelink hdiscard;
eexpr* eexpr_free_list;
int no_common;
expr* e_nomatch;
uint8_t Distributable[N_EEOPS];
uint8_t opgenclass[N_EEOPS];
uint8_t canvary[N_EEOPS];

// ---- Records ---------------------------------------------------------------

// Records are carved from slabs of the arena, and the slab table (bases in
// ascending address order) lets ee_of tell a record from any other value a
// routine field may hold: a dummy node that was never compiled keeps its
// name's symbol there, and a symbol followed by a node can read like a
// record of that node.
namespace {

constexpr size_t SLAB_RECS = 512;
constexpr size_t SLAB_BYTES = SLAB_RECS * sizeof(eexpr);

uintptr_t* slab_base;  // a block of class slab_hcl, nslabs entries used
int nslabs;
int slab_hcl;
char* slab_next;  // the current slab's first record not handed out yet
char* slab_end;

void add_slab(char* b) {
  size_t cap = slab_base ? (size_t{8} << slab_hcl) / sizeof(uintptr_t) : 0;
  if (static_cast<size_t>(nslabs) == cap) {
    int k = htcl(sizeof(uintptr_t) * (cap ? 2 * cap : 16));
    slab_base = static_cast<uintptr_t*>(
        slab_base ? ext_mblk(slab_hcl, slab_base, k,
                             sizeof(uintptr_t) * static_cast<size_t>(nslabs))
                  : new_mblk(k));
    slab_hcl = k;
  }
  uintptr_t a = reinterpret_cast<uintptr_t>(b);
  int i = nslabs;
  for (; i > 0 && slab_base[i - 1] > a; --i) slab_base[i] = slab_base[i - 1];
  slab_base[i] = a;
  ++nslabs;
}

// The record whose address p is, or null when p is not the start of a
// record slot.
eexpr* record_at(const void* p) {
  uintptr_t a = reinterpret_cast<uintptr_t>(p);
  int lo = 0, hi = nslabs;
  while (lo < hi) {
    int mid = (lo + hi) / 2;
    if (slab_base[mid] <= a)
      lo = mid + 1;
    else
      hi = mid;
  }
  if (lo == 0) return nullptr;
  uintptr_t off = a - slab_base[lo - 1];
  if (off >= SLAB_BYTES || off % sizeof(eexpr)) return nullptr;
  return static_cast<eexpr*>(const_cast<void*>(p));
}

}  // namespace

void* eexpr::operator new(size_t) {
  eexpr* r = eexpr_free_list;
  if (r) {
    pool_take(r, sizeof(eexpr));
    eexpr_free_list = static_cast<eexpr*>(static_cast<void*>(r->h.next));
    std::memset(static_cast<void*>(r), 0, sizeof(eexpr));
    return r;
  }
  if (slab_next == slab_end) {
    slab_next = static_cast<char*>(mem(SLAB_BYTES));
    slab_end = slab_next + SLAB_BYTES;
    add_slab(slab_next);
  }
  void* fresh = slab_next;
  slab_next += sizeof(eexpr);
  return fresh;
}

static void unlink(eexpr* r) {
  r->h.prev->next = r->h.next;
  r->h.next->prev = r->h.prev;
  r->h.next = r->h.prev = nullptr;
}

static void link_front(eelink* head, eexpr* r) {
  r->h.next = head->next;
  r->h.prev = head;
  head->next->prev = &r->h;
  head->next = &r->h;
}

// The bucket of a hash: the product's top bits, since the hashes built by
// massage differ mostly in their low bits.
static eelink* bucket(int64_t hash) {
  return &eehashtab[(static_cast<uint64_t>(hash) * 0x9E3779B97F4A7C15ull) >>
                    32 & eeh_mask];
}

// Empty circular heads, 2^bits of them.
static void new_table(int bits) {
  size_t n = size_t{1} << bits;
  eeh_k = htcl(n * sizeof(eelink));
  eehashtab = static_cast<eelink*>(new_mblk(eeh_k));
  eeh_mask = static_cast<uint32_t>(n - 1);
  for (size_t i = 0; i < n; ++i)
    eehashtab[i].next = eehashtab[i].prev = &eehashtab[i];
}

// Doubles the table; every record moves to its new bucket in the order
// it had, so look-ups keep finding the newest equal record first.
static void grow_table() {
  eelink* old = eehashtab;
  uint32_t nold = eeh_mask + 1;
  int kold = eeh_k;
  int bits = 0;
  while ((uint32_t{1} << bits) < 2 * nold) ++bits;
  new_table(bits);
  for (uint32_t i = 0; i < nold; ++i) {
    eelink* head = &old[i];
    // From the tail, each pushed to the front: the order is kept.
    for (eelink* l = head->prev; l != head;) {
      eelink* p = l->prev;
      eexpr* r = static_cast<eexpr*>(static_cast<void*>(l));
      link_front(bucket(r->hash), r);
      l = p;
    }
  }
  del_mblk(kold, old);
}

// Enters r at the front of its bucket.
static void enter(eexpr* r) {
  if (++eeh_count > 2 * (eeh_mask + 1) && eeh_mask < (1u << 30)) grow_table();
  link_front(bucket(r->hash), r);
}

// Takes r (linked) out of the table or the discard list.
static void leave(eexpr* r) {
  if (!(r->flags & EE_DISCARDED)) --eeh_count;
  r->flags &= ~EE_DISCARDED;
  unlink(r);
}

static void put_eexpr(void* p, int) {
  eexpr* r = static_cast<eexpr*>(p);
  r->h.next = static_cast<eelink*>(static_cast<void*>(eexpr_free_list));
  eexpr_free_list = r;
}

void eexpr::operator delete(void* p) {
  eexpr* r = static_cast<eexpr*>(p);
  if (!r) return;
  if (r->is_set() && r->s && r->s->ee == r) r->s->ee = nullptr;
  if (r->hashed()) leave(r);
  r->e = nullptr;
  pool_free(r, sizeof(eexpr), &r->h.next, put_eexpr);
  // A node's op may still point here: ee_of reads e (null now) to learn
  // that the record is no longer the node's.
  pool_unpoison(&r->e, sizeof r->e);
}

// Steps shared by both initialisations: flags, placement, table, chain.
static void place(eexpr* r, uint64_t lev, int hashit) {
  if (lev & ~ccon->scope)
    bug("level has impossible levbits 0x%lx", static_cast<unsigned long>(lev));
  context_rec* c = ccon;
  while (c > con && !(c->levbit & lev)) --c;
  r->con = c;
  r->levbits = lev;
  if (hashit)
    enter(r);
  else
    r->h.next = r->h.prev = nullptr;
  r->lnext = c->chain;
  c->chain = r;
}

static uint32_t start_flags(uint64_t lev) {
  if (lev & ee_no_mand) return EE_COND;
  if ((lev & ccon->levbit) && !iflevel) return EE_MANDATED;
  return 0;
}

void eexpr::eexpr_init(expr* node, int64_t hash_, uint64_t lev, int hashit,
                       double stamp_) {
  e = node;
  hash = hash_;
  stamp = stamp_;
  flags = start_flags(lev);
  if (!is_set()) {
    node->op = reinterpret_cast<efunc>(this);
    int opc = opcode(node);
    if ((node->opword & (EF_VARS | EF_RANDVAR)) && opc < N_EEOPS &&
        !canvary[opc] && opc != OPIFrew)
      lev |= ccon->levbit;
  }
  if (node == e_nomatch) hashit = 0;
  place(this, lev, hashit);
}

void eexpr::sinit(set* st, int64_t hash_, uint64_t lev, int hashit,
                  double stamp_) {
  s = st;
  hash = hash_ | EE_SETHASH;
  stamp = stamp_;
  flags = start_flags(lev);
  place(this, lev, hashit);
}

// An uncompiled dummy's routine slot holds its name (support/symbol.h),
// which the test below reads as a record up to its node word.
static_assert(offsetof(eexpr, e) + sizeof(expr*) <= sizeof(symbol));

eexpr* ee_of(const expr* e) {
  if (!e || !e->op) return nullptr;
  eexpr* r = record_at(reinterpret_cast<void*>(e->op));
  return r && r->e == e && !r->is_set() ? r : nullptr;
}

expr* uneval(expr* e) {
  if (e && (e->opword & ~7u) == opword(OPEVAL)) return e->L.e;
  return e;
}

// ---- Start-up --------------------------------------------------------------

static void fill_tables() {
  std::memset(Distributable, 0, sizeof Distributable);
  std::memset(opgenclass, 0, sizeof opgenclass);
  std::memset(canvary, 0, sizeof canvary);
  for (int op : {OPPLUS, OPMINUS, OPMULT, OPDIV}) Distributable[op] = 2;
  Distributable[SUM] = 3;
  Distributable[OPUMINUS] = 1;
  for (int op : {OPIF35, OPIFrew, OPIFSYM65, OPIF111}) Distributable[op] = 4;
  for (int op : {OPVAR164, OPVARSUB165, OPRECVAR166}) Distributable[op] = 5;
  Distributable[OPPL] = 6;

  opgenclass[OPEVAL] = 1;
  // A loop dummy too: reading its cell is cheaper than a stored copy, and
  // a copy would intern every number of the loop for the session.
  for (int op : {OP_RECPAR, OP_RECSPAR, OPSVEXOVAR, OPSVEXOVARSUB, OPLIT,
                 OPNUM, OPENV, OPENVSUB, OPLOOPDUMMY})
    opgenclass[op] = 2;
  opgenclass[OPIFrew] = 3;
  for (int op : {OPSTR, OPDOLLAR, OPDOLLAR0}) opgenclass[op] = 4;
  opgenclass[OP246] = 5;

  for (int op : {OPVARREF87, OPVAR164, OPVARSUB165, OPRECVAR166})
    canvary[op] = 1;
}

void eehashtab_init() {
  no_common = 0;
  e_nomatch = nullptr;
  eexpr_free_list = nullptr;
  // The slabs went with the arena (mem_reset) or were never made.
  slab_base = nullptr;
  nslabs = slab_hcl = 0;
  slab_next = slab_end = nullptr;
  new_table(12);
  eeh_count = 0;
  hdiscard.next = hdiscard.prev = &hdiscard;
  fill_tables();
}

// ---- Look-ups and equality ---------------------------------------------------

static eexpr* rec_of(eelink* l) {
  return static_cast<eexpr*>(static_cast<void*>(l));
}

eexpr* ehash(int64_t hash, expr* e) {
  if (e == e_nomatch) return nullptr;
  eelink* head = bucket(hash);
  for (eelink* l = head->next; l != head; l = l->next) {
    eexpr* r = rec_of(l);
    if (r->hash != hash || r->is_set() || !r->e) continue;
    if (!same_expr(r->e, e)) continue;
    if (ee_of(r->e) != r) {
      ee_rewlist = new_list(ee_rewlist, r);
      r->e->op = reinterpret_cast<efunc>(r);
    }
    return r;
  }
  return nullptr;
}

// Argument lists of calls: the list-head marker is skipped on either side,
// an iterated argument (set part) makes the lists unequal.
int same_args(expr* a, expr* b) {
  constexpr uint32_t MARK = opword(OP258);
  if (a && a->opword == MARK) a = a->next;
  if (b && b->opword == MARK) b = b->next;
  for (; a && b; a = a->next, b = b->next) {
    if (a->L.p || b->L.p) return 0;
    expr* x = uneval(a->R.e);
    expr* y = uneval(b->R.e);
    if (x == y) continue;
    if (!x || !y || !same_expr(x, y)) return 0;
  }
  return !a && !b;
}

// Elements of two operand lists, after unwrapping OPEVAL: identical
// (deep 0) or equal op words and same_expr (deep 1).
static int same_elems(expr* a, expr* b, int deep) {
  for (; a && b; a = a->next, b = b->next) {
    expr* x = uneval(a);
    expr* y = uneval(b);
    if (x == y) continue;
    if (!deep || x->opword != y->opword || !same_expr(x, y)) return 0;
  }
  return !a && !b;
}

int same_list(expr* a, expr* b) { return same_elems(a, b, 0); }

// The string chains of OPSTR and the option references; an option
// reference's environment (not a string) is compared as an expression.
static int same_strings(expr* a, expr* b) {
  for (;;) {
    if (!a || !b) return a == b;
    if (a->opword != b->opword) return 0;
    if (shape(a) != SH_STRING) return a == b || same_expr(a, b);
    cstr* x = a->L.cs;
    cstr* y = b->L.cs;
    if (x != y && x && y && std::strcmp(x->text(), y->text()) != 0) return 0;
    a = a->R.e;
    b = b->R.e;
  }
}

int same_expr(expr* a, expr* b) {
  if (a->opword != b->opword || no_common) return 0;
  // Minus signs written in different places stay apart, so that each is
  // shown as written.
  if (opcode(a) == OPUMINUS && a->R.n != b->R.n) return 0;
  switch (shape(a)) {
    case SH_LITERAL:
    case SH_UNARY:
    case SH_FUNC1:
    case SH_FROM_NUMBER:
    case SH_ENTITY:
    case SH_SETFUNC:
    case SH_ALIAS:
    case SH_LOOPDUMMY:
    case SH_SYN:
    case SH_RECPAR:
      return a->L.p == b->L.p;
    case SH_BINARY:
    case SH_SUBSCRIPTED:
    case SH_IF:
    case SH_FUNC2:
    case SH_SETREL:
    case SH_LOOKUPSL:
    case SH_SYNSUB:
    case SH_COUNTREL:
    case SH_IMPELSE:
      return a->L.p == b->L.p && a->R.p == b->R.p;
    case SH_ITERATED:
    case SH_PL:
    case SH_SETARGS:
      return 0;
    case SH_LIST:
      return same_elems(a->L.e, b->L.e, 1);
    case SH_NUMBER:
      return a->L.d == b->L.d;
    case SH_MEMBERSHIP:
      return a->L.p && a->L.p == b->L.p && a->R.p == b->R.p;
    case SH_DUMMY:
      return a->L.i == b->L.i && a->R.i == b->R.i;
    case SH_TO_NUMBER:
      return same_expr(a->L.e, b->L.e);
    case SH_LOOKUP:
      // The looked-up entity stands for its subscript set.
      return a->R.p == b->R.p && a->L.p == b->L.p;
    case SH_SYMLIST:
      return same_elems(a->L.e, b->L.e, 0);
    case SH_EVAL:
      return a->L.p == b->L.p && a->next == b->next;
    case SH_CALL: {
      const function* f = static_cast<const function*>(a->L.x);
      return a->L.p == b->L.p && f && !(f->fflags & 0x10000) &&
             same_args(a->R.e, b->R.e);
    }
    case SH_ORD:
      return a->L.p == b->L.p && a->R.e && b->R.e && a->R.e->R.p == b->R.e->R.p;
    case SH_NEXT:
      return a->L.e && b->L.e && a->L.e->L.p == b->L.e->L.p &&
             a->L.e->R.p == b->L.e->R.p && a->R.e && b->R.e &&
             a->R.e->R.p == b->R.e->R.p;
    case SH_DOT:
    case SH_DOTSUB:
    case SH_SYNDOT:
    case SH_SUF:
    case SH_SUFSUB:
      return a->L.e->L.p == b->L.e->L.p && a->L.e->R.i == b->L.e->R.i &&
             a->R.p == b->R.p;
    case SH_RELOPCH:
      if (!a->R.p && !b->R.p) return a->L.p == b->L.p && a->next == b->next;
      if (a->R.p && b->R.p) return a->L.p == b->L.p && a->R.p == b->R.p;
      return 0;
    case SH_STRING:
      return same_strings(a, b);
    case SH_SYNSUF:
      return a->L.e->L.p == b->L.e->L.p && a->L.e->R.p == b->L.e->R.p &&
             a->R.p == b->R.p;
    case SH_ARGLIST:
      return a->L.p == b->L.p && same_args(a->R.e, b->R.e);
    case SH_LOGLIT:
      return a->L.i == b->L.i;
  }
  badtype("same_expr", a->opword);
}

int same_set_enum(set* a, set* b) {
  // The values of two declarations stay apart: each names its own
  // declaration in messages.
  if (a->owner != b->owner) return 0;
  if (a->arity != b->arity || a->nmem != b->nmem || a->nmem < 0) return 0;
  if ((a->ee && (a->ee->flags & EE_RUNTIME)) ||
      (b->ee && (b->ee->flags & EE_RUNTIME)))
    return 0;
  size_t n = sizeof(symbol*) * static_cast<size_t>(a->arity);
  const setmem* x = a->first;
  const setmem* y = b->first;
  for (; x && y; x = x->next, y = y->next)
    if (std::memcmp(x->tup(), y->tup(), n) != 0) return 0;
  return !x && !y;
}

// Sub-set pairs: identical, or equal by same_set.
static int same_sub(set* a, set* b) { return a == b || same_set(a, b); }

int same_set(set* a, set* b) {
  if (a == b) return 1;
  if (!a || !b) return 0;
  // As for enumerated sets: sets of two declarations stay apart, so that
  // messages name the set as written.
  if (a->sclass != b->sclass || a->owner != b->owner) return 0;
  auto f = [](set* s, int k) -> void* {
    set3p* t = static_cast<set3p*>(s);
    return k == 1 ? t->f1 : k == 2 ? t->f2 : t->f3;
  };
  switch (a->sclass) {
    case SC_ENUM:
      return same_set_enum(a, b);
    case SC_SPEC:
    case SC_SPECSET: {
      set_spec* x = static_cast<set_spec*>(a);
      set_spec* y = static_cast<set_spec*>(b);
      if (x->cond != y->cond) return 0;
      Index *i = x->first, *j = y->first;
      for (; i && j; i = i->next, j = j->next)
        if (!same_sub(i->s, j->s)) return 0;
      return !i && !j;
    }
    case SC_RANGE:
    case SC_IF:
      return f(a, 1) == f(b, 1) && f(a, 2) == f(b, 2) && f(a, 3) == f(b, 3);
    case SC_UNION:
    case SC_DIFF:
    case SC_SYMDIFF:
    case SC_INTER:
    case SC_SUBSCR:
    case SC_INVALID:
      return f(a, 1) == f(b, 1) && f(a, 2) == f(b, 2);
    case SC_SETOF:
    case SC_ITUNION:
    case SC_ITINTER:
    case SC_NAMED:
      return 0;
    case SC_ORDERED: {
      // Ordered by another set: never shared.
      if (f(a, 2) || f(b, 2)) return 0;
      set* x = static_cast<set*>(f(a, 1));
      set* y = static_cast<set*>(f(b, 1));
      uint64_t ra = a->owner ? a->owner->flags & 32 : 0;
      uint64_t rb = b->owner ? b->owner->flags & 32 : 0;
      if (ra != rb) return 0;
      if (x && y) return same_sub(x, y);
      // A missing underlying set: the ordered set itself taken as class 1.
      set* s1 = x ? x : a;
      set* s2 = y ? y : b;
      uint32_t c1 = s1->sclass, c2 = s2->sclass;
      s1->sclass = s2->sclass = SC_ENUM;
      int r = same_sub(s1, s2);
      s1->sclass = c1;
      s2->sclass = c2;
      return r;
    }
    case SC_LITERAL:
      return a->arity == b->arity && f(a, 2) == f(b, 2) &&
             same_list(static_cast<expr*>(f(a, 1)),
                       static_cast<expr*>(f(b, 1)));
    case SC_CROSS: {
      if (a->arity != b->arity || a->cword != b->cword) return 0;
      set** x = static_cast<set**>(f(a, 1));
      set** y = static_cast<set**>(f(b, 1));
      for (int k = 0; k < a->cword; ++k)
        if (!same_sub(x[k], y[k])) return 0;
      return 1;
    }
    case SC_SYS:
      return a->cword == b->cword;
    case SC_SLICE:
      return f(a, 2) == f(b, 2) &&
             same_expr(static_cast<expr*>(f(a, 1)), static_cast<expr*>(f(b, 1)));
    case SC_INTERVAL: {
      struct set_interval* x = static_cast<struct set_interval*>(a);
      struct set_interval* y = static_cast<struct set_interval*>(b);
      return x->type == y->type && x->lower == y->lower && x->upper == y->upper;
    }
  }
  bug("unexpected subtype %d in same_set", static_cast<int>(a->sclass));
}

eexpr* shash(int64_t hash, set* s) {
  eelink* head = bucket(hash);
  for (eelink* l = head->next; l != head; l = l->next) {
    eexpr* r = rec_of(l);
    if (r->hash != hash || !r->is_set()) continue;
    if (!r->s || !s) {
      if (r->s != s) continue;
    } else if (r->s != s && !same_set(r->s, s)) {
      continue;
    }
    if (r->s) ++r->s->refcnt;
    return r;
  }
  return nullptr;
}

// ---- Leaving the table -------------------------------------------------------

int disc(eexpr* r) {
  if (r->hashed()) {
    leave(r);
    link_front(&hdiscard, r);
    r->flags |= EE_DISCARDED;
  }
  return 0;
}

void rm_hash(eexpr* r) {
  if (r->hashed()) leave(r);
}

void del_ee(set* s) {
  if (eexpr* r = s->ee) {
    // A set that took over another's record leaves that record alone.
    if (r->is_set() && r->s == s) {
      rm_hash(r);
      r->s = nullptr;
    }
    s->ee = nullptr;
  }
  del_privnode(s);
}

void arg_refinc(expr* args) {
  for (expr* a = args; a; a = a->next) {
    if (a->opword == opword(OP258) || a->L.p) continue;
    expr* x = a->R.e;
    if (!x || x->opword == opword(OP281)) continue;
    eexpr* r = ee_of(a);
    if (!r) r = ee_of(x);
    if (r) ++r->nuse;
    if (uneval(x) != x)
      if (eexpr* w = ee_of(x->L.e)) ++w->nuse;
  }
}

}  // namespace vexo
