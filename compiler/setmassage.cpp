// Massaging of sets and indexing expressions.
#include "compiler/setmassage.h"

#include <vector>

#include "compiler/context.h"
#include "compiler/eexpr.h"
#include "compiler/massage.h"
#include "compiler/opgen.h"
#include "compiler/recomp.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "eval/setclass.h"
#include "eval/slice.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/paramdcl.h"
#include "frontend/strexpr.h"
#include "support/list.h"
#include "support/message.h"

namespace vexo {

namespace {

constexpr uint64_t B31 = 0x80000000u;

uint64_t H(const eexpr* r) { return r ? static_cast<uint64_t>(r->hash) : 0; }
double mx(double a, double b) { return a > b ? a : b; }
uint64_t addr(const void* p) { return reinterpret_cast<uintptr_t>(p) >> 3; }

template <class T>
T*& field(set* s, int k) {
  set3p* t = static_cast<set3p*>(s);
  void** f = k == 1 ? &t->f1 : k == 2 ? &t->f2 : &t->f3;
  return *reinterpret_cast<T**>(f);
}

// The place receives t in place of its set (logged).
void take(set** ps, set* t) {
  if (*ps == t) return;
  Retain_set(ps, *ps, *ps);
  *ps = t;
}

// What one class gives the common end: the record, the running stamp and
// whether cached members are kept whatever the stamps say.
struct sres {
  eexpr* r;
  double stamp;
  bool keep;
};

// The sharing rule: an equal set found in the table is adopted when every
// operand record was in use before; otherwise a new hashed record, the
// operands counted and those at an outer level forced.
sres share(set** ps, uint64_t h, uint64_t lev, double stamp,
           const std::vector<eexpr*>& ops, bool used = true) {
  set* s = *ps;
  for (eexpr* o : ops)
    if (o && !o->nuse) used = false;
  h |= B31;
  if (eexpr* f = shash(static_cast<int64_t>(h), s)) {
    if (f->s == s) {
      --s->refcnt;
      return {f, stamp, false};
    }
    if (used) {
      take(ps, f->s);
      return {f, stamp, false};
    }
    disc(f);
    --f->s->refcnt;
  }
  eexpr* r = new eexpr;
  r->sinit(s, static_cast<int64_t>(h), lev ? lev : 1, 1, stamp);
  s->ee = r;
  for (eexpr* o : ops) {
    if (!o) continue;
    ++o->nuse;
    if (o->con < r->con) o->flags |= EE_FORCED;
  }
  return {r, stamp, false};
}

// A record that is never looked up.
sres private_rec(set* s, uint64_t h, uint64_t lev, double stamp, bool keep) {
  eexpr* r = new eexpr;
  r->sinit(s, static_cast<int64_t>(h | B31), lev ? lev : 1, 0, stamp);
  s->ee = r;
  return {r, stamp, keep};
}

uint64_t member_hash(const set* s) {
  uint64_t h = 0;
  for (const setmem* m = s->first; m; m = m->next)
    for (int k = 0; k < s->arity; ++k) h = h * 33 + addr(m->tup()[k]);
  return s->first ? h | B31 : B31;
}

// Whether s is the current value of its (scalar) set declaration.
bool decl_value(const set* s) {
  const xnode* d = s->owner;
  return d && d->kind == DK_SET && static_cast<const setdcl*>(d)->value == s;
}

// Enumerated data: an equal set compiled before replaces this one, unless
// this one is a declaration's current value.  The data reader replaces and
// frees a declaration's value in its slot (and the declaration's own
// compiled form logs that slot), so the value stays there; the older equal
// set, still held by compiled forms made before the data changed, leaves
// the table.
sres enumerated(set** ps, uint64_t h) {
  set* s = *ps;
  h |= B31;
  eexpr* f = shash(static_cast<int64_t>(h), s);
  double stamp = nextgenlev - 1;
  if (f && f->s != s && decl_value(s)) {
    disc(f);
    --f->s->refcnt;
    f = nullptr;
  }
  if (!f) {
    eexpr* r = new eexpr;
    r->sinit(s, static_cast<int64_t>(h), 1, 1, s->stamp);
    r->flags |= EE_ENUM;
    s->ee = r;
    return {r, stamp, true};
  }
  if (f->s == s) {
    --s->refcnt;
  } else {
    sdelete(s);
    *ps = f->s;
  }
  return {f, stamp, true};
}

// Records of the elements of a compiled list: levels, hash, stamp; each
// element counted (an OPEVAL wrapper's wrapped node too).
struct elems {
  uint64_t lev = 0, hash = 0;
  double stamp = 0;
  bool used = true;
};
elems list_elems(expr* l, context_rec* inner) {
  elems m;
  for (; l; l = l->next) {
    eexpr* r = ee_of(l);
    if (!r) continue;
    if (!r->nuse) m.used = false;
    ++r->nuse;
    if (uneval(l) != l)
      if (eexpr* w = ee_of(l->L.e)) ++w->nuse;
    if (inner && !(r->levbits & inner->levbit)) r->flags |= EE_FORCED;
    m.lev |= r->levbits;
    m.hash = m.hash * 33 + H(r);
    m.stamp = mx(m.stamp, r->stamp);
  }
  return m;
}

sres named(set** ps) {
  set* s = *ps;
  xnode* d = s->owner;
  if (d && d == rec_xnode) {
    s->in = named_in1;
    s->genall = named_genall1;
    note_self_ref();
    eexpr* r = new eexpr;
    r->sinit(s, static_cast<int64_t>(33 * reinterpret_cast<uintptr_t>(d)),
             let_sslev, 1, d->stamp);
    s->ee = r;
    return {r, d->stamp, false};
  }
  if (!d || d->kind != DK_SET || !static_cast<setdcl*>(d)->value)
    return private_rec(s, B31, 1, s->stamp, true);
  setdcl* sd = static_cast<setdcl*>(d);
  eexpr* r = sd->value->ee ? sd->value->ee : set_massage(&sd->value);
  set* ds = sd->value;
  take(ps, ds);
  ++ds->refcnt;
  dep_note(d->num);
  return {r, r->stamp, true};
}

sres compile_set(set** ps) {
  set* s = *ps;
  switch (s->sclass) {
    case SC_ENUM:
      return enumerated(ps, member_hash(s));
    case SC_SYS:
      return enumerated(ps, 33 * member_hash(s) + uint64_t(s->cword));
    case SC_SYSENUM:
      return private_rec(s, addr(s), 1, 1.0, false);
    case SC_SPECSET: {
      set_spec* ss = static_cast<set_spec*>(s);
      ss_start(ss, nullptr);
      ss_end(ss);
      eexpr* r = ss->ee;
      if (r->s && r->s != ss) {
        // An equal indexing compiled before serves in its place.
        take(ps, r->s);
        ss->ee = nullptr;
      }
      return {r, r->stamp, true};
    }
    case SC_RANGE: {
      eexpr* a = massage(&field<expr>(s, 1));
      eexpr* b = massage(&field<expr>(s, 2));
      eexpr* c = massage(&field<expr>(s, 3));
      uint64_t h = 33 * (33 * H(c) + H(b)) + H(a);
      uint64_t lev = 0;
      double stamp = 0;
      for (eexpr* x : {a, b, c})
        if (x) {
          lev |= x->levbits;
          stamp = mx(stamp, x->stamp);
        }
      return share(ps, h, lev, stamp, {a, b, c});
    }
    case SC_UNION:
    case SC_DIFF:
    case SC_SYMDIFF:
    case SC_INTER: {
      eexpr* a = set_massage(&field<set>(s, 1));
      eexpr* b = set_massage(&field<set>(s, 2));
      return share(ps, 33 * H(a) + H(b), a->levbits | b->levbits,
                   mx(a->stamp, b->stamp), {a, b});
    }
    case SC_INTERVAL: {
      struct set_interval* iv = static_cast<struct set_interval*>(s);
      eexpr *lo = nullptr, *hi = nullptr;
      if (!(iv->type & 8)) {
        lo = massage(&iv->lower);
        hi = massage(&iv->upper);
      }
      uint64_t h = 33 * (33 * uint64_t(uint32_t(iv->type)) + H(lo)) + H(hi);
      uint64_t lev = 1;
      double stamp = 0;
      for (eexpr* x : {lo, hi})
        if (x) {
          lev |= x->levbits;
          stamp = mx(stamp, x->stamp);
        }
      return share(ps, h, lev, stamp, {lo, hi});
    }
    case SC_LITERAL: {
      double stamp = 0;
      lmassage(&field<expr>(s, 1), &stamp);
      elems m = list_elems(field<expr>(s, 1), nullptr);
      return share(ps, 33 * m.hash + 14, m.lev, mx(stamp, m.stamp), {}, m.used);
    }
    case SC_SETOF: {
      set_spec* ix = field<set_spec>(s, 1);
      ss_start(ix, nullptr);
      double stamp = 0;
      lmassage(&field<expr>(s, 2), &stamp);
      elems m = list_elems(field<expr>(s, 2), ccon);
      ss_end(ix);
      eexpr* ir = ix->ee;
      if (ir) ++ir->nuse;
      uint64_t lev = (m.lev | (ir ? ir->levbits : 0)) & ccon->scope;
      return private_rec(s, m.hash, lev,
                         mx(mx(stamp, m.stamp), ir ? ir->stamp : 0), false);
    }
    case SC_ITUNION:
    case SC_ITINTER: {
      set_spec* ix = field<set_spec>(s, 1);
      ss_start(ix, nullptr);
      eexpr* b = set_massage(&field<set>(s, 2));
      sforce(ccon, field<set>(s, 2));
      ++b->nuse;
      // The body's record belongs to the dummy's level, which ss_end
      // closes (its records recycled): what is needed of it is read first.
      uint64_t bhash = H(b);
      uint64_t blev = b->levbits;
      double bstamp = b->stamp;
      ss_end(ix);
      eexpr* ir = ix->ee;
      if (ir) ++ir->nuse;
      uint64_t lev = (blev | (ir ? ir->levbits : 0)) & ccon->scope;
      return private_rec(s, bhash, lev, mx(bstamp, ir ? ir->stamp : 0), false);
    }
    case SC_IF: {
      eexpr* c = massage(&field<expr>(s, 1));
      ++iflevel;
      eexpr* a = set_massage(&field<set>(s, 2));
      eexpr* b = set_massage(&field<set>(s, 3));
      --iflevel;
      uint64_t h = 33 * (33 * H(b) + H(a)) + H(c);
      return share(ps, h, c->levbits | a->levbits | b->levbits,
                   mx(c->stamp, mx(a->stamp, b->stamp)), {c, a, b});
    }
    case SC_ORDERED: {
      list* cell = field<list>(s, 2);
      eexpr* b = cell ? set_massage(&cell->item.s) : nullptr;
      eexpr* a = set_massage(&field<set>(s, 1));
      uint64_t lev = (a ? a->levbits : 1) | (b ? b->levbits : 0);
      double stamp = mx(a ? a->stamp : 0, b ? b->stamp : 0);
      return share(ps, 33 * H(b) + H(a), lev, stamp, {a, b});
    }
    case SC_SUBSCR: {
      xnode* d = field<xnode>(s, 1);
      eexpr* sr = massage(&field<expr>(s, 2));
      double stamp = mx(d ? d->stamp : 0, sr ? sr->stamp : 0);
      uint64_t lev = (sr ? sr->levbits : 0) | 1;
      if (d && d == rec_xnode) {
        lev |= let_sslev;
        note_self_ref();
      }
      return share(ps, 33 * addr(d) + H(sr), lev, stamp, {sr});
    }
    case SC_CROSS: {
      set** f = field<set*>(s, 1);
      std::vector<eexpr*> ops;
      uint64_t h = 0, lev = 0;
      double stamp = 0;
      for (int k = 0; k < s->cword; ++k) {
        eexpr* r = set_massage(&f[k]);
        ops.push_back(r);
        h = h * 33 + H(r);
        lev |= r->levbits;
        stamp = mx(stamp, r->stamp);
      }
      return share(ps, h * 33 + 15, lev, stamp, ops);
    }
    case SC_INVALID:
      return private_rec(s, addr(s), 1, s->stamp, true);
    case SC_SLICE: {
      // The sliced set first, then the key; a slice is keyed afresh where
      // it is used, so its members are never dropped here.
      eexpr* b = set_massage(&field<set>(s, 3));
      slice_rebase(s);
      ++b->nuse;
      double stamp = 0;
      lmassage(&field<expr>(s, 1), &stamp);
      elems m = list_elems(field<expr>(s, 1), nullptr);
      return private_rec(s, 33 * H(b) + m.hash, m.lev | b->levbits,
                         mx(mx(stamp, m.stamp), b->stamp), true);
    }
    case SC_NAMED:
      return named(ps);
    case SC_DB: {
      int L = s->cword;
      Index* ix = L >= 0 && L <= curcon ? con[L].ix : nullptr;
      if (!ix || !ix->s || !ix->s->ee)
        bug("unexpected subtype %d in set_massage", static_cast<int>(SC_DB));
      take(ps, ix->s);
      ++ix->s->refcnt;
      return {ix->s->ee, ix->s->ee->stamp, true};
    }
  }
  bug("unexpected subtype %d in set_massage", static_cast<int>(s->sclass));
}

}  // namespace

eexpr* set_massage(set** ps) {
  set* s = *ps;
  if (!s) return nullptr;
  if (eexpr* r = s->ee) {
    if (r->s && r->s != s) {
      take(ps, r->s);
      ++r->s->refcnt;
    }
    return r;
  }
  del_privnode(s);
  sres x = compile_set(ps);
  eexpr* r = x.r;
  if (curss) curss->depmask |= r->levbits;
  if (r->s && r->s != *ps) take(ps, r->s);
  set* cur = *ps;
  cur->ee = r;
  if (x.stamp > r->stamp) r->stamp = x.stamp;
  if (x.stamp > cur->stamp) {
    if (!x.keep && cur->nmem >= 0) Clearset(cur);
    cur->stamp = x.stamp;
  }
  return r;
}

// The value set of the declaration a named set refers to.
static set* decl_set(set* s) {
  xnode* d = s->owner;
  return d && d->kind == DK_SET ? static_cast<setdcl*>(d)->value : nullptr;
}

int named_in1(set* s, symbol** tuple, TVA* tva) {
  set* ds = decl_set(s);
  return ds ? static_cast<int>(set_in(ds, tuple, tva)) : NOT_MEMBER;
}

void named_genall1(set* s, TVA* tva) {
  set* ds = decl_set(s);
  if (!ds) return;
  if (ds->nmem < 0) set_genall(ds, tva);
  set_adopt(s, ds);
}

eval_result r_chaineval(expr* e, TVA* tva) {
  expr* x = e->L.e;
  return x->op(x, tva);
}

eval_result s_chaineval(expr* e, TVA* tva) { return r_chaineval(e, tva); }

}  // namespace vexo
