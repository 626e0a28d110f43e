// Set operations, iterated set operations, setof, products, ordered sets
// and subscripted sets.
#include "eval/setops.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "compiler/copy.h"
#include "compiler/recomp.h"
#include "data/values.h"
#include "eval/dispatch.h"
#include "eval/evalerr.h"
#include "eval/indexing.h"
#include "eval/iterate.h"
#include "eval/pcheck.h"
#include "eval/setgen.h"
#include "eval/slice.h"
#include "frontend/dummy.h"
#include "frontend/expr.h"
#include "frontend/paramdcl.h"
#include "report/prset.h"
#include "session/cmdmem.h"
#include "support/format.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

namespace {

set3p* rec3(set* s) { return static_cast<set3p*>(s); }
set* left(set* s) { return static_cast<set*>(rec3(s)->f1); }
set* right(set* s) { return static_cast<set*>(rec3(s)->f2); }
// An operand of two-operand set s; null for one whose dimension differs
// from s's (reported when the expression was read): it takes no part, as
// if it had no members, so that no tuple of the wrong length is read.
set* lop(set* s) {
  set* o = left(s);
  return o->arity == s->arity ? o : nullptr;
}
set* rop(set* s) {
  set* o = right(s);
  return o->arity == s->arity ? o : nullptr;
}

bool has(set* s, symbol** t, TVA* tva) {
  return s && set_in(s, t, tva) != NOT_MEMBER;
}

void generated(set* s, TVA* tva) {
  if (s && s->nmem < 0) set_genall(s, tva);
}

// Appends the members of s (null: none) that keep says to keep.
template <class F>
void append_if(set* d, set* s, F keep) {
  if (!s) return;
  for (setmem* m = s->first; m; m = m->next)
    if (m->ord >= 0 && keep(m->tup())) set_append(d, m->tup());
}

}  // namespace

// ---- Two operands ---------------------------------------------------------

int union_in(set* s, symbol** t, TVA* tva) {
  return has(lop(s), t, tva) || has(rop(s), t, tva) ? MEMBER_NO_ORD
                                                     : NOT_MEMBER;
}

void union_genall(set* s, TVA* tva) {
  set *L = lop(s), *R = rop(s);
  generated(L, tva);
  generated(R, tva);
  free_members(s);
  s->new_htab(L ? L->nmem : 0);
  for (set* o : {L, R})
    for (setmem* m = o ? o->first : nullptr; m; m = m->next)
      if (m->ord >= 0) s->addmem(m->tup());
}

int diff_in(set* s, symbol** t, TVA* tva) {
  return has(lop(s), t, tva) && !has(rop(s), t, tva) ? MEMBER_NO_ORD
                                                      : NOT_MEMBER;
}

void diff_genall(set* s, TVA* tva) {
  set *L = lop(s), *R = rop(s);
  generated(L, tva);
  free_members(s);
  append_if(s, L, [&](symbol** t) { return !has(R, t, tva); });
}

int symdiff_in(set* s, symbol** t, TVA* tva) {
  return has(lop(s), t, tva) != has(rop(s), t, tva) ? MEMBER_NO_ORD
                                                     : NOT_MEMBER;
}

void symdiff_genall(set* s, TVA* tva) {
  set *L = lop(s), *R = rop(s);
  generated(L, tva);
  generated(R, tva);
  free_members(s);
  append_if(s, L, [&](symbol** t) { return !has(R, t, tva); });
  append_if(s, R, [&](symbol** t) { return !has(L, t, tva); });
}

int inter_in(set* s, symbol** t, TVA* tva) {
  if (!has(lop(s), t, tva)) return NOT_MEMBER;
  return has(rop(s), t, tva) ? MEMBER_NO_ORD : NOT_MEMBER;
}

void inter_genall(set* s, TVA* tva) {
  set *L = lop(s), *R = rop(s);
  if (!L || !R) {
    free_members(s);
    return;
  }
  for (set* o : {L, R})
    if (o->sclass == SC_SUBSCR) generated(o, tva);
  // Walk the smaller operand and probe the other.
  bool walk_right = L->nmem < 0 || (R->nmem >= 0 && R->nmem < L->nmem);
  set* w = walk_right ? R : L;
  set* o = walk_right ? L : R;
  generated(w, tva);
  free_members(s);
  append_if(s, w, [&](symbol** t) { return has(o, t, tva); });
}

// ---- Iterated union and intersection ------------------------------------

namespace {

set_spec* over(set* s) { return static_cast<set_spec*>(rec3(s)->f1); }
set* body_set(set* s) { return right(s); }

}  // namespace

int itunion_in(set* s, symbol** t, TVA* tva) {
  set_spec* ss = over(s);
  if (TVA* c = ss_begin(ss, tva)) do {
      if (has(body_set(s), t, c)) {
        ss_end1(ss, c);
        return MEMBER_NO_ORD;
      }
    } while (ss_continue(ss, c));
  return NOT_MEMBER;
}

void itunion_genall(set* s, TVA* tva) {
  set_spec* ss = over(s);
  set* b = body_set(s);
  free_members(s);
  if (TVA* c = ss_begin(ss, tva)) do {
      generated(b, c);
      if (!s->htab) s->new_htab(b->nmem);
      for (setmem* m = b->first; m; m = m->next)
        if (m->ord >= 0) s->addmem(m->tup());
    } while (ss_continue(ss, c));
}

int itinter_in(set* s, symbol** t, TVA* tva) {
  set_spec* ss = over(s);
  TVA* c = ss_begin(ss, tva);
  if (!c) eerror(tva, "empty iterator in iterated intersection");
  do {
    if (!has(body_set(s), t, c)) {
      ss_end1(ss, c);
      return NOT_MEMBER;
    }
  } while (ss_continue(ss, c));
  return MEMBER_NO_ORD;
}

void itinter_genall(set* s, TVA* tva) {
  set_spec* ss = over(s);
  set* b = body_set(s);
  free_members(s);
  TVA* c = ss_begin(ss, tva);
  if (!c) eerror(tva, "empty iterator in iterated intersection");
  // The candidates, each pass putting its survivors in front of a new
  // list (so the order flips with each pass).
  setmem* cand = nullptr;
  bool first = true;
  do {
    generated(b, c);
    setmem* kept = nullptr;
    if (first) {
      for (setmem* m = b->first; m; m = m->next) {
        if (m->ord < 0) continue;
        setmem* n = new_setmem(s->arity);
        std::memcpy(n->tup(), m->tup(), sizeof(symbol*) * s->arity);
        n->next = kept;
        kept = n;
      }
      first = false;
    } else {
      while (cand) {
        setmem* n = cand;
        cand = n->next;
        if (has(b, n->tup(), c)) {
          n->next = kept;
          kept = n;
        } else {
          n->next = nullptr;
          del_setmem(s->arity, n);
        }
      }
    }
    cand = kept;
  } while (ss_continue(ss, c));
  s->first = cand;
  s->lastnext = &s->first;
  for (setmem* m = cand; m; m = m->next) {
    m->ord = s->nmem++;
    s->lastnext = &m->next;
  }
}

// ---- setof ---------------------------------------------------------------

void setof_genall(set* s, TVA* tva) {
  set_spec* ss = over(s);
  expr* tup = static_cast<expr*>(rec3(s)->f2);
  free_members(s);
  s->new_htab(0);
  symbol* t[TUPMAX];
  if (TVA* c = ss_begin(ss, tva)) do {
      int i = 0;
      for (expr* e = tup; e; e = e->next) t[i++] = eval_sym(e, c);
      s->addmem(t);
    } while (ss_continue(ss, c));
}

int setof_in(set* s, symbol** t, TVA* tva) {
  s->makesettab(tva);
  return s->lookup(t);
}

// ---- Products -------------------------------------------------------------

namespace {

set** factors(set* s) { return static_cast<set**>(rec3(s)->f1); }

}  // namespace

void cross_genall(set* s, TVA* tva) {
  int n = s->cword;
  set** f = factors(s);
  free_members(s);
  setmem* cur[TUPMAX];
  for (int i = 0; i < n; ++i) {
    generated(f[i], tva);
    if (f[i]->nmem == 0) return;
  }
  symbol* t[TUPMAX];
  // The odometer: cur[i] is factor i's member in the combination.
  auto live = [](setmem* m) {
    while (m && m->ord < 0) m = m->next;
    return m;
  };
  for (int i = 0; i < n; ++i) cur[i] = live(f[i]->first);
  for (;;) {
    symbol** p = t;
    for (int i = 0; i < n; ++i) {
      int a = f[i]->arity;
      std::memcpy(p, cur[i]->tup(), sizeof(symbol*) * a);
      p += a;
    }
    set_append(s, t);
    int i = n - 1;
    for (; i >= 0; --i) {
      cur[i] = live(cur[i]->next);
      if (cur[i]) break;
      cur[i] = live(f[i]->first);
    }
    if (i < 0) return;
  }
}

int cross_in(set* s, symbol** t, TVA* tva) {
  set** f = factors(s);
  int64_t r = 0;
  bool known = true;
  for (int i = 0; i < s->cword; ++i) {
    int64_t a = set_in(f[i], t, tva);
    if (a == NOT_MEMBER) return NOT_MEMBER;
    if (a < 0 || f[i]->nmem < 0)
      known = false;
    else if (known)
      r = r * f[i]->nmem + a;
    if (r > INT32_MAX) known = false;
    t += f[i]->arity;
  }
  return known ? static_cast<int>(r) : MEMBER_NO_ORD;
}

// ---- Ordered sets and sorting ------------------------------------------

const unsigned char ASCII_to_EBCDIC[256] = {
    0x00, 0x01, 0x02, 0x03, 0x37, 0x2D, 0x2E, 0x2F, 0x16, 0x05, 0x25, 0x0B,
    0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x12, 0x13, 0x3C, 0x3D, 0x32, 0x26,
    0x18, 0x19, 0x3F, 0x27, 0x1C, 0x1D, 0x1E, 0x1F, 0x40, 0x5A, 0x7F, 0x7B,
    0x5B, 0x6C, 0x50, 0x7D, 0x4D, 0x5D, 0x5C, 0x4E, 0x6B, 0x60, 0x4B, 0x61,
    0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0x7A, 0x5E,
    0x4C, 0x7E, 0x6E, 0x6F, 0x7C, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7,
    0xC8, 0xC9, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0xE2,
    0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xAD, 0xE0, 0xBD, 0x5F, 0x6D,
    0x79, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x91, 0x92,
    0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6,
    0xA7, 0xA8, 0xA9, 0xC0, 0x4F, 0xD0, 0xA1, 0x07, 0x04, 0x06, 0x08, 0x09,
    0x0A, 0x14, 0x15, 0x17, 0x1A, 0x1B, 0x20, 0x21, 0x22, 0x23, 0x24, 0x28,
    0x29, 0x2A, 0x2B, 0x2C, 0x30, 0x31, 0x33, 0x34, 0x35, 0x36, 0x38, 0x39,
    0x3A, 0x3B, 0x3E, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49,
    0x4A, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x62, 0x63,
    0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x70, 0x71, 0x72, 0x73, 0x74,
    0x75, 0x76, 0x77, 0x78, 0x80, 0x8A, 0x8B, 0x8C, 0x8D, 0x8E, 0x8F, 0x90,
    0x9A, 0x9B, 0x9C, 0x9D, 0x9E, 0x9F, 0xA0, 0xAA, 0xAB, 0xAC, 0xAE, 0xAF,
    0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xBB,
    0xBC, 0xBE, 0xBF, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF, 0xDA, 0xDB, 0xDC,
    0xDD, 0xDE, 0xDF, 0xE1, 0xEA, 0xEB, 0xEC, 0xED, 0xEE, 0xEF, 0xFA, 0xFB,
    0xFC, 0xFD, 0xFE, 0xFF};

int display_comp(const symbol* a, const symbol* b) {
  if (a == b) return 0;
  bool na = is_number(a), nb = is_number(b);
  if (na != nb) return na ? -1 : 1;
  if (na) return a->value < b->value ? -1 : a->value > b->value ? 1 : 0;
  return std::strcmp(a->name, b->name);
}

int intcomp(const void* a, const void* b) {
  int32_t x = *static_cast<const int32_t*>(a);
  int32_t y = *static_cast<const int32_t*>(b);
  return x < y ? -1 : x > y;
}

namespace {

int ebcdic_comp(const char* a, const char* b) {
  for (;; ++a, ++b) {
    int d = ASCII_to_EBCDIC[static_cast<unsigned char>(*a)] -
            ASCII_to_EBCDIC[static_cast<unsigned char>(*b)];
    if (d || !*a) return d;
  }
}

}  // namespace

// The text of a clause that a member fails (prefix and the set written
// out with flag), in command memory.
static const char* joined(const char* prefix, const char* text) {
  size_t a = std::strlen(prefix), b = std::strlen(text);
  char* c = static_cast<char*>(cmdmem(a + b + 1));
  std::memcpy(c, prefix, a);
  std::memcpy(c + a, text, b + 1);
  return c;
}

static const char* clause_text(const char* prefix, set* W, int flag) {
  cstr* t = sprset(W, flag);
  const char* c = joined(prefix, t->text());
  release_cstr(t);
  return c;
}

namespace {

// The `ordered by` clause of d: its text as the model wrote it (the set
// itself is compiled by now, its operands possibly replaced by values).
// Ended by ";" and a newline as the text of a within clause is.
const char* ordered_clause(setdcl* d, set* W) {
  const char* c = d->orderby_text ? joined("ordered by ", d->orderby_text)
                                  : clause_text("ordered by ", W, 1);
  return joined(c, ";\n");
}

// Sorts the members of s by W (reversed when reverse is set).
void sort_by(setdcl* d, set* s, set* W, bool reverse, TVA* tva) {
  int n = s->nmem;
  if (n <= 1) {
    if (n == 1) {
      s->first->ord = 0;
      s->lastnext = &s->first->next;
    }
    return;
  }
  while (W->sclass == SC_IF) {
    set3p* c = rec3(W);
    W = static_cast<set*>(eval_true(static_cast<expr*>(c->f1), tva) ? c->f2
                                                                    : c->f3);
  }
  std::vector<setmem*> a;
  a.reserve(size_t(n));
  for (setmem* m = s->first; m; m = m->next) a.push_back(m);
  auto sym = [](const setmem* m) { return m->tup()[0]; };
  bool collation = W->sclass == SC_INTERVAL &&
                   (static_cast<struct set_interval*>(W)->type & 8);
  if (collation) {
    switch (static_cast<struct set_interval*>(W)->type & 3) {
      case 0:
        std::stable_sort(a.begin(), a.end(), [&](setmem* x, setmem* y) {
          return std::strcmp(sym(x)->name, sym(y)->name) < 0;
        });
        break;
      case 1:
        std::stable_sort(a.begin(), a.end(), [&](setmem* x, setmem* y) {
          return ebcdic_comp(sym(x)->name, sym(y)->name) < 0;
        });
        break;
      default:
        std::stable_sort(a.begin(), a.end(), [&](setmem* x, setmem* y) {
          return display_comp(sym(x), sym(y)) < 0;
        });
    }
  } else if (W->sclass == SC_INTERVAL) {
    for (setmem* m : a)
      if (set_in(W, m->tup(), tva) == NOT_MEMBER)
        not_within(tva, d, m->tup(), 1, ordered_clause(d, W));
    std::stable_sort(a.begin(), a.end(), [&](setmem* x, setmem* y) {
      return sym(x)->value < sym(y)->value;
    });
  } else {
    for (setmem* m : a) {
      int64_t k = set_lookup(W, m->tup());
      if (k < 0) not_within(tva, d, m->tup(), 1, ordered_clause(d, W));
      m->ord = static_cast<int32_t>(k);
    }
    std::stable_sort(a.begin(), a.end(),
                     [](setmem* x, setmem* y) { return x->ord < y->ord; });
  }
  if (reverse) std::reverse(a.begin(), a.end());
  s->first = a[0];
  for (int i = 0; i < n; ++i) {
    a[size_t(i)]->ord = i;
    a[size_t(i)]->next = i + 1 < n ? a[size_t(i) + 1] : nullptr;
  }
  s->lastnext = &a[size_t(n) - 1]->next;
  // Ordinals moved: an ordinal index would be wrong.
  if (s->ordidx) {
    del_mblk(s->k, s->ordidx);
    s->ordidx = nullptr;
  }
}

}  // namespace

void set_sort(setdcl* d, set* s, TVA* tva) {
  if (!d->orderby || !d->orderby->item.s) return;
  sort_by(d, s, d->orderby->item.s, (d->sflags & SF_REVERSED) != 0, tva);
}

int ordered_in(set* s, symbol** t, TVA* tva) {
  s->makesettab(tva);
  return s->lookup(t);
}

void ordered_genall(set* s, TVA* tva) {
  set* u = left(s);
  generated(u, tva);
  xnode* owner = s->owner ? s->owner : u->owner;
  if (!owner || owner->kind != DK_SET) bug("sd botch in ordered_genall");
  free_members(s);
  append_if(s, u, [](symbol**) { return true; });
  list* cell = static_cast<list*>(rec3(s)->f2);
  setdcl* d = static_cast<setdcl*>(owner);
  if (cell && cell->item.s)
    sort_by(d, s, cell->item.s, (d->sflags & SF_REVERSED) != 0, tva);
}

// ---- Subscripted sets ---------------------------------------------------

void within_check(setdcl* d, set* m, list* within, TVA* tva, bool own) {
  // The clauses' texts as the model wrote them (the sets are compiled).
  list* text = within == d->within ? d->within_text : nullptr;
  for (list* w = within; w; w = w->next, text = text ? text->next : nullptr) {
    set* ws = w->item.s;
    for (setmem* x = m->first; x; x = x->next) {
      if (x->ord < 0 || set_in(ws, x->tup(), tva) != NOT_MEMBER) continue;
      symbol* bad[TUPMAX];
      int n = m->arity;
      std::memcpy(bad, x->tup(), sizeof(symbol*) * size_t(n));
      if (own) sdelete(m);
      not_within(tva, d, bad, n,
                 text ? joined("", static_cast<const char*>(text->item.p))
                      : clause_text("", ws, 0));
    }
  }
  if (d->sflags & SF_ORDERED) set_sort(d, m, tva);
}

namespace {

setdcl* decl_of(set* s) { return static_cast<setdcl*>(rec3(s)->f1); }

// The subscript of a subscripted set, evaluated: the key of its lookup
// node is a symbol list, or its one element once compiled.  The lookup
// node may be shared with a subscript evaluated elsewhere, and so be
// wrapped as a stored or rewritten value.
void subscript(set* s, symbol** t, TVA* tva) {
  expr* key = sub_source(static_cast<expr*>(rec3(s)->f2))->R.e;
  if (opcode(key) != OPSYMLIST) {
    t[0] = eval_sym(key, tva);
    return;
  }
  int i = 0;
  for (expr* e = key->L.e; e && i < TUPMAX; e = e->next)
    t[i++] = eval_sym(e, tva);
}

// The member set stored for the subscript, or null: the one data gave, else
// the one computed before.
set* stored(setdcl* d, symbol* const* t) {
  if (set* m = member_set(d, t)) return m;
  if (!d->msubs) return nullptr;
  int64_t k = d->msubs->lookup(t);
  return k < 0 ? nullptr : d->msets[k];
}

void store(setdcl* d, symbol* const* t, set* m) {
  if (!d->msubs) {
    d->msubs = set_enum(new_enum(), d->indexing ? d->indexing->arity : 0);
    d->msets = nullptr;
  }
  int k = d->msubs->nmem;
  d->msubs->addmem(t);
  size_t cap = d->msets ? (size_t(8) << d->mk) / sizeof(set*) : 0;
  if (size_t(k) >= cap) {
    int nk = htcl(sizeof(set*) * (2 * cap + 4));
    set** a = static_cast<set**>(new_mblk(nk));
    if (d->msets) {
      std::memcpy(a, d->msets, sizeof(set*) * size_t(k));
      del_mblk(d->mk, d->msets);
    }
    d->msets = a;
    d->mk = nk;
  }
  d->msets[k] = m;
  // Computed member sets are generated data: an instance reset drops them.
  d->xr.state |= XR_GENERATED;
}

// The defining set expression, or null.
set* definition(setdcl* d) { return d->asgn ? d->asgn : d->dflt; }

// A subscript outside the indexing, or a declaration without a definition,
// ends the command.
void check_subscript(setdcl* d, symbol* const* t, TVA* tva) {
  if (!d->indexing ||
      set_in(d->indexing, const_cast<symbol**>(t), tva) == NOT_MEMBER)
    badsub(tva, d, t);
  if (!definition(d)) novalue(tva, d, t);
}

bool self_referring(const setdcl* d) {
  return (d->sflags & SF_RECCACHE) && d->cache;
}

// The member set of def, bound in context c, as a new enumerated set
// checked against the within sets (cells of `within`) and sorted.
set* member_set_of(setdcl* d, set* def, list* within, TVA* c) {
  generated(def, c);
  set* m = set_enum(new_enum(), def->arity);
  m->new_htab(def->nmem);
  for (setmem* x = def->first; x; x = x->next)
    if (x->ord >= 0) m->addmem(x->tup());
  within_check(d, m, within, c, true);
  return m;
}

// A copy of d's definition for one member: from d's free list, or made.
e_copy* set_copy(setdcl* d, TVA* tva) {
  if (e_copy* c = take_copy(&d->copies)) return c;
  d->xr.state |= XR_GENERATED;
  return copy_s(d, tva);
}

}  // namespace

set* subscr_genall(setdcl* d, symbol* const* t, TVA* tva) {
  if (set* m = stored(d, t)) return m;
  check_subscript(d, t, tva);
  set* m;
  if (self_referring(d)) {
    // Members of the definition may need other members of d: a private
    // copy, and the guard against a member defined through itself.
    cur_member cm(tva, nullptr, nullptr);
    copy_hold copy(&d->copies, set_copy(d, tva));
    e_copy* cp = copy.get();
    TVA* c = ss_begin1(cp->ss, tva, t);
    guard_hold guard(d->cache, t, c, d);
    m = member_set_of(d, cp->s, cp->items, c);
    ss_end1(cp->ss, c);
  } else {
    TVA* c = ss_begin1(d->indexing, tva, t);
    m = member_set_of(d, definition(d), d->within, c);
    ss_end1(d->indexing, c);
  }
  store(d, t, m);
  return m;
}

void set_subscr_genall(set* s, TVA* tva) {
  symbol* t[TUPMAX];
  subscript(s, t, tva);
  set* m = subscr_genall(decl_of(s), t, tva);
  if (s->slices) slice_cache_clear(s);
  ++m->refcnt;
  if (set* old = static_cast<set*>(rec3(s)->f3)) sdelete(old);
  rec3(s)->f3 = m;
  set_adopt(s, m);
}

int set_subscr_in(set* s, symbol** tuple, TVA* tva) {
  setdcl* d = decl_of(s);
  symbol* t[TUPMAX];
  subscript(s, t, tva);
  if (set* m = stored(d, t)) return static_cast<int>(set_in(m, tuple, tva));
  // A self-referring definition is answered from the whole member set,
  // computed (and kept) under the guard.
  if (self_referring(d))
    return static_cast<int>(set_in(subscr_genall(d, t, tva), tuple, tva));
  check_subscript(d, t, tva);
  TVA* c = ss_begin1(d->indexing, tva, t);
  int r = static_cast<int>(set_in(definition(d), tuple, c));
  ss_end1(d->indexing, c);
  return r;
}

void subscr_reset(setdcl* d) {
  if (!d->msubs) return;
  for (int k = 0; k < d->msubs->nmem; ++k) sdelete(d->msets[k]);
  if (d->msets) del_mblk(d->mk, d->msets);
  sdelete(d->msubs);
  d->msubs = nullptr;
  d->msets = nullptr;
  d->mk = 0;
}

}  // namespace vexo
