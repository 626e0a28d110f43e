// Pending assignments of table reads.
#include "data/outarg.h"

#include <cstring>
#include <vector>

#include "compiler/tva.h"
#include "data/table.h"
#include "data/values.h"
#include "eval/dispatch.h"
#include "eval/dotvalue.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "eval/evalerr.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "frontend/paramdcl.h"
#include "frontend/vardcl.h"
#include "instance/sufdecl.h"
#include "instance/suftab.h"
#include "instance/ac.h"
#include "session/let.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
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

// A target's chain; for suffix values also the suffix and whether names
// of its table are taken.
struct slot {
  xnode* d;
  Outarg* head;
  Outarg* tail;
  suffix* s = nullptr;
  bool names = false;
  // Suffix values: the member of d each value is for, found when the
  // values are checked (empty until then).
  std::vector<int32_t> members;
};

void link(slot& s, Outarg* oa) {
  oa->next = nullptr;
  if (s.tail)
    s.tail->next = oa;
  else
    s.head = oa;
  s.tail = oa;
}

page_run recs, subs;
std::vector<int32_t> slot_of;  // by declaration number: slot + 1, or 0
std::vector<slot> slots;
std::vector<slot> sufslots;  // one per (entity, suffix) pair

void clear_state() {
  recs.release();
  subs.release();
  slot_of.clear();
  slots.clear();
  sufslots.clear();
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
    slots.push_back({d, nullptr, nullptr, nullptr, false, {}});
    k = static_cast<int32_t>(slots.size());
  }
  link(slots[size_t(k - 1)], oa);
}

void sufout_put(xnode* ent, suffix* s, bool names, Outarg* oa) {
  // Few pairs per read: a linear search finds the pair.
  for (slot& x : sufslots)
    if (x.d == ent && x.s == s && x.names == names) {
      link(x, oa);
      return;
    }
  sufslots.push_back({ent, nullptr, nullptr, s, names, {}});
  link(sufslots.back(), oa);
}

namespace {

// The kind of ungenerated entity d is, for the message.
const char* ungenerated(const xnode* d) {
  uint32_t k = d->kind & ~1u;
  return k == DK_VAR   ? "ungenerated variable"
         : k == DK_OBJ ? "ungenerated objective"
                       : "ungenerated constraint";
}

}  // namespace

Outarg* outarg_OK(expr* e, TVA* tva, xnode** target, suffix** sfx,
                  int* symbolic) {
  *target = nullptr;
  *sfx = nullptr;
  *symbolic = 0;
  xnode* d;
  expr* sub = nullptr;
  bool generated = true;  // members are those generated (not a param's)
  // A function taking numbers only sees its arguments converted.
  while (shape(e) == SH_TO_NUMBER || shape(e) == SH_FROM_NUMBER) e = e->L.e;
  switch (opcode(e)) {
    case OPPARSUB:
    case OPSPARSUB:
    case OPSPARSUBSTR:
      sub = e->R.e;
      [[fallthrough]];
    case OPPAR:
    case OPSPAR:
    case OPSPARSTR: {
      d = e->L.x;
      // Built-in params and those computed from `:=` take no values.
      if (d->num < N_System_Pars || static_cast<param*>(d)->asgn)
        return nullptr;
      *symbolic = (d->kind & ~1u) == DK_SPARAM;
      generated = false;
      break;
    }
    case OPPRIMALSUB:
    case OPDUALSUB:
      sub = e->R.e;
      [[fallthrough]];
    case OPPRIMAL:
    case OPDUAL:
      d = e->L.x;
      if (d->flags & VF_DEFINED) return nullptr;
      break;
    case OPSUFSUB:
    case OPSUFSUBSYM:
      sub = e->R.e;
      [[fallthrough]];
    case OPSUF:
    case OPSUFSYM: {
      d = e->L.e->L.x;
      uint32_t k = d->kind & ~1u;
      if (k != DK_VAR && k != DK_CON && k != DK_OBJ) return nullptr;
      *sfx = static_cast<suffix*>(e->L.e->R.p);
      *symbolic = opcode(e) == OPSUFSYM || opcode(e) == OPSUFSUBSYM;
      break;
    }
    case OPSYNSUB:
    case OPSYNSUF:
    case OPSYNSUFSYM: {
      // An element of a synonym array names one member of an entity of
      // the current problem: its variable value or constraint dual, or a
      // suffix of it.
      bool suf = opcode(e) != OPSYNSUB;
      const symbol* syn = suf ? e->L.e->L.sym : e->L.sym;
      symbol* const* tup;
      xnode* s = syn_target(syn, e->R.e, tva, suf, &tup);
      if (!s || (!suf && (s->flags & VF_DEFINED))) return nullptr;
      if (suf) {
        *sfx = static_cast<suffix*>(e->L.e->R.p);
        *symbolic = opcode(e) == OPSYNSUFSYM;
      }
      int n = tup && s->indexing ? s->indexing->arity : 0;
      Outarg* o = new_outarg(n);
      if (n) std::memcpy(o->sub, tup, sizeof(symbol*) * size_t(n));
      *target = s;
      return o;
    }
    default:
      return nullptr;
  }
  if (generated && static_cast<convar*>(d)->ninst < 0)
    badthing(tva, ungenerated(d), d, nullptr);
  int n = sub && d->indexing ? d->indexing->arity : 0;
  Outarg* o = new_outarg(n);
  if (sub) {
    if (generated) {
      if (eval(sub, tva).i < 0) badsub2(sub, d, tva);
    } else if (eval(sub, tva).i < 0) {
      // A param's member may be new: its subscript lies in the indexing.
      symbol** t = getbadsub(sub, tva);
      if (set_in(d->indexing, t, tva) == NOT_MEMBER) badsub(tva, d, t);
    }
    std::memcpy(o->sub, getbadsub(sub, tva), sizeof(symbol*) * size_t(n));
  }
  *target = d;
  return o;
}

bool outarg_pending() { return !slots.empty() || !sufslots.empty(); }

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

namespace {

// The member of the pair's entity a value is for; an invalid-subscript
// error when it has no generated member.
int32_t sufout_member(const slot& x, const Outarg* o, TVA* t) {
  auto* d = static_cast<convar*>(x.d);
  if (d->ninst < 0)
    badthing(t, (d->kind & ~1u) == DK_VAR   ? "ungenerated variable"
                : (d->kind & ~1u) == DK_OBJ ? "ungenerated objective"
                                            : "ungenerated constraint",
             d, nullptr);
  if (!(d->kind & 1)) return 0;
  int32_t k = d->gen.members ? static_cast<int32_t>(
                                   set_lookup(d->gen.members, o->sub))
                             : -1;
  if (k < 0 || k >= d->gen.member_count) badsub(t, d, o->sub);
  return k;
}

// Checks the values of one (entity, suffix) pair before anything of the
// read is stored: each has a generated member of the entity, and a string
// is a name of a symbolic suffix's table (turned into its number now) or
// fails.
void check_sufout(slot& x, TVA* t) {
  x.members.clear();
  for (Outarg* o = x.head; o; o = o->next) {
    x.members.push_back(sufout_member(x, o, t));
    if (!o->s) continue;
    if (!x.names) {
      mgwhere(t);
      Fprintf(Stderr, "Cannot assign %Q to %s.%s.\n", o->s->text(),
              sub_name(x.d, (x.d->kind & 1) ? o->sub : nullptr),
              x.s->name->name);
      bailout();
    }
    cstr* text = o->s;
    o->s = nullptr;
    o->v = suf2num(x.s, text, nullptr, t);
  }
}

// Stores the (checked) values of one (entity, suffix) pair.
void assign_sufout(slot& x, TVA* t) {
  size_t i = 0;
  for (Outarg* o = x.head; o; o = o->next, ++i)
    suffix_assign(static_cast<xnode2*>(x.d),
                  i < x.members.size() ? x.members[i]
                                       : sufout_member(x, o, t),
                  x.s, o->v);
}

}  // namespace

void outarg_check(Table* tb) {
  if (slots.empty() && sufslots.empty()) return;
  table_context tc(tb);
  for (slot& x : slots) check_outargs(x.d, x.head, tc.h.t);
  for (slot& x : sufslots) check_sufout(x, tc.h.t);
}

void outarg_clear(int apply, Table* tb) {
  if (slots.empty() && sufslots.empty()) {
    clear_state();
    return;
  }
  // The state is taken over first: an error while storing leaves through
  // the bail-out, which finds nothing pending any more.
  std::vector<slot> work;
  work.swap(slots);
  size_t ntargets = work.size();
  work.insert(work.end(), sufslots.begin(), sufslots.end());
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
  for (size_t i = 0; i < ntargets; ++i) {
    slot& x = work[i];
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
  for (size_t i = 0; i < ntargets; ++i) {
    slot& x = work[i];
    uint32_t k = x.d->kind & ~1u;
    if (k == DK_PARAM || k == DK_SPARAM) {
      // A param's new members are made room for at once.
      int64_t count = 0;
      for (Outarg* o = x.head; o; o = o->next) ++count;
      val_reserve(static_cast<xnode2*>(x.d), count);
    }
    assign_outargs(x.d, x.head, t);
  }
  for (size_t i = ntargets; i < work.size(); ++i) assign_sufout(work[i], t);
}

void outarg_reset() {
  recs = page_run{};
  subs = page_run{};
  slot_of.clear();
  slots.clear();
  sufslots.clear();
}

}  // namespace vexo
