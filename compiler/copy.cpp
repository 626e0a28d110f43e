// Private copies of compiled definitions.
#include "compiler/copy.h"

#include <cstring>
#include <unordered_map>
#include <vector>

#include "compiler/context.h"
#include "compiler/opgen.h"
#include "eval/dispatch.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "eval/slice.h"
#include "frontend/decl.h"
#include "frontend/dummy.h"
#include "frontend/expr.h"
#include "frontend/paramdcl.h"
#include "support/list.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/text.h"

namespace vexo {

namespace {

// A new node like x (op word, routine, depth) with operands l and r, on no
// list.
expr* node_like(const expr* x, operand l, operand r) {
  expr* n = static_cast<expr*>(expr::operator new(sizeof(expr)));
  std::memcpy(static_cast<void*>(n), x, sizeof(expr));
  n->next = nullptr;
  n->L = l;
  n->R = r;
  return n;
}

bool is_store(const expr* h) {
  int op = opcode(h);
  return op >= OP_STORE0 && op < OP_STORE0 + 6;
}
bool is_restore(const expr* r) {
  int op = opcode(r);
  return op >= OP_RESTORE0 && op <= OP_RESTORE0 + 6;
}

// The REWRITE routine that restore record r gives its node back.
efunc rewrite_fn(const expr* r) {
  struct pair {
    cleanup_fn restore;
    efunc rewrite;
  };
  static const pair pairs[] = {
      {f_OP_RESTORE_i, f_OP_REWRITE_i},    {f_OP_RESTORE_r, f_OP_REWRITE_r},
      {f_OP_RESTORE_s, f_OP_REWRITE_s},    {f_OP_RESTORE_l, f_OP_REWRITE_l},
      {f_OP_RESTORE_if, f_OP_REWRITE_if},  {f_OP_RESTORE_c, f_OP_REWRITE_c},
      {f_OP_RESTORE_sif, f_OP_REWRITE_sif}};
  for (const pair& p : pairs)
    if (cleanup_of(r->op) == p.restore) return p.rewrite;
  return nullptr;
}

// Whether REWRITE node x waits for its first evaluation at its level (its
// L is then its restore record); otherwise it is a literal, and its record
// waits among its Index's clean-up hooks.
bool unevaluated(const expr* x) {
  for (efunc f :
       {f_OP_REWRITE_i, f_OP_REWRITE_r, f_OP_REWRITE_s, f_OP_REWRITE_l,
        f_OP_REWRITE_if, f_OP_REWRITE_c, f_OP_REWRITE_sif})
    if (x->op == f) return true;
  return false;
}

// A set of the source held by a new record or node as well: it gains a
// reference (s null gives null).
set* shared(set* s) {
  if (s) ++s->refcnt;
  return s;
}
cstr* shared(cstr* s) { return s ? ref_cstr(s) : s; }

// A copied set record starts empty and not generated, with one reference
// and no error context of its own yet.
void fresh(set* c) {
  c->link = nullptr;
  c->nmem = -1;
  c->k = 0;
  c->mask = 0;
  c->first = nullptr;
  c->htab = nullptr;
  c->lastnext = &c->first;
  c->ee = nullptr;
  c->refcnt = 1;
  c->errctx = nullptr;
  c->privnode = nullptr;
  c->slices = nullptr;
  c->ordidx = nullptr;
}

// A byte copy of set record s of record type R (the type its class uses),
// from R's free list.
template <class R>
R* dup_set(const set* s, R* (*make)()) {
  R* c = make();
  std::memcpy(static_cast<void*>(c), s, sizeof(R));
  fresh(c);
  return c;
}

// Whether s is the current value of its own declaration (shared by every
// evaluation).
bool own_value(const set* s) {
  const xnode* d = s->owner;
  return d && (d->kind == DK_SET || d->kind == DK_SETI) &&
         static_cast<const setdcl*>(d)->value == s;
}

// One copy being made: the map from source objects to their copies, and
// the context messages name.
class copier {
 public:
  explicit copier(TVA* t) : tva_(t) {}

  expr* cpexpr(expr* x);
  expr* lcpexpr(expr* list);
  set* cpset(set* s);
  set_spec* cp_set_spec(set_spec* ss);
  void end_set_spec(set_spec* ss);
  expr* cparglist(expr* list, bool sets);
  expr* and_copy(expr* x, int mode);
  list* copy_checks(list* checks);
  list* copy_sets(list* cells);

 private:
  void enter(const void* src, void* copy) {
    auto [it, added] = map_.try_emplace(src, copy);
    if (!added) {
      terror(tva_, "cp_lookup: unexpected hit");
      it->second = copy;
    }
  }
  void* find(const void* src) const {
    auto it = map_.find(src);
    return it == map_.end() ? nullptr : it->second;
  }
  void* expect(const void* src) const {
    auto it = map_.find(src);
    if (it == map_.end()) eerror(tva_, "cp_lookup: unexpected miss");
    return it->second;
  }
  [[noreturn]] void badtype(const expr* x) const {
    eerror(tva_, "unexpected type 0x%x in %s()", x->opword, "cpexpr");
  }

  expr* one(expr* x, expr* l) {
    return l == x->L.e ? x : node_like(x, l, x->R);
  }
  expr* two(expr* x, expr* l, expr* r) {
    return l == x->L.e && r == x->R.e ? x : node_like(x, l, r);
  }
  // x, or a copy of it with copies of the operands visit_operands lays
  // out, where one differs from its source.
  expr* rebuilt(expr* x);
  expr* relist(const std::vector<expr*>& src, const std::vector<expr*>& cp);
  expr* copy_hooks(expr* h);
  void copy_rewrites(Index* ix, Index* c);
  expr* restore_of(expr* x, Index* ix);
  void copy_errctx(const set* s, set* c);
  set* class_copy(set* s);
  set* expr_field(set* s, void* set3p::*f, bool list);

  std::unordered_map<const void*, void*> map_;
  TVA* tva_;
};

// ---- Expressions ---------------------------------------------------------

// The list whose nodes were src, now cp (the copy of each, or the node
// itself): the source list when nothing changed; else new nodes up to the
// last changed one, which links to the source's unchanged tail.
expr* copier::relist(const std::vector<expr*>& src,
                     const std::vector<expr*>& cp) {
  int last = -1;
  for (size_t i = 0; i < src.size(); ++i)
    if (cp[i] != src[i]) last = static_cast<int>(i);
  if (last < 0) return src.empty() ? nullptr : src[0];
  expr* next = src[static_cast<size_t>(last)]->next;
  for (int i = last; i >= 0; --i) {
    expr* s = src[static_cast<size_t>(i)];
    expr* n = cp[static_cast<size_t>(i)];
    if (n == s) n = node_like(s, s->L, s->R);
    n->next = next;
    next = n;
  }
  return next;
}

expr* copier::lcpexpr(expr* list) {
  std::vector<expr*> src, cp;
  for (expr* x = list; x; x = x->next) {
    src.push_back(x);
    cp.push_back(cpexpr(x));
  }
  return relist(src, cp);
}

expr* copier::cparglist(expr* list, bool sets) {
  std::vector<expr*> src, cp;
  for (expr* a = list; a; a = a->next) {
    src.push_back(a);
    expr* c;
    if (opcode(a) == OP258) {
      // A dummy position: a node of its own, like a dummy reference.
      c = node_like(a, a->L, a->R);
    } else if (a->L.ss) {
      set_spec* ss = cp_set_spec(a->L.ss);
      expr* sub = cparglist(a->R.e, sets);
      end_set_spec(ss);
      c = node_like(a, ss, sub);
    } else if (sets) {
      set* s = cpset(a->R.s);
      c = s == a->R.s ? a : node_like(a, nullptr, s);
    } else {
      expr* v = cpexpr(a->R.e);
      c = v == a->R.e ? a : node_like(a, nullptr, v);
    }
    cp.push_back(c);
  }
  return relist(src, cp);
}

// The copy walk of a node whose operands visit_operands lays out: each
// operand copied into the visited cells (a scratch copy of the node, or of
// an inner node); changed once one copy differs from its source.  The node
// itself is copied only then (commit): what the copy shares with its source
// (sets, strings) gains a reference, and the dot or suffix node it holds is
// duplicated.
struct copy_walk {
  explicit copy_walk(copier& cp) : c(cp) {}

  copier& c;
  bool changed = false;
  // What a node shares when it is copied: at most two sets (SH_SETREL),
  // one string, one dot or suffix node.
  set* kept_sets[2] = {};
  int n_kept = 0;
  cstr* text_ = nullptr;
  expr** plain_ = nullptr;

  void operand(expr*& x) { take(x, c.cpexpr(x)); }
  void chain(expr*& x) { take(x, c.lcpexpr(x)); }
  void args(expr*& a, bool sets) { take(a, c.cparglist(a, sets)); }
  void operand_set(set*& s) {
    set* n = c.cpset(s);
    if (n == s)
      kept_sets[n_kept++] = s;
    else
      take(s, n);
  }
  void text(cstr* t) { text_ = t; }
  void plain(expr*& p) { plain_ = &p; }
  // Pairs, lists and holders are copied as their node is: only when an
  // operand under them changed.
  template <class V>
  void inner(expr*& h, V visit) {
    expr scratch = *h;
    copy_walk w(c);
    visit(&scratch, w);
    if (w.changed) take(h, w.commit(h, scratch));
  }
  static void func(xnode*) {}
  static void ref(varref*) {}
  static void block(expr*) {}

  template <class T>
  void take(T*& cell, T* copy) {
    if (copy == cell) return;
    cell = copy;
    changed = true;
  }
  // A new node like x with the operands of scratch.
  expr* commit(const expr* x, expr& scratch) {
    for (int k = 0; k < n_kept; ++k) shared(kept_sets[k]);
    shared(text_);
    if (plain_ && *plain_)
      *plain_ = node_like(*plain_, (*plain_)->L, (*plain_)->R);
    return node_like(x, scratch.L, scratch.R);
  }
};

expr* copier::rebuilt(expr* x) {
  expr scratch = *x;
  copy_walk w(*this);
  visit_operands(&scratch, w);
  return w.changed ? w.commit(x, scratch) : x;
}

expr* copier::cpexpr(expr* x) {
  if (!x) return nullptr;
  switch (shape(x)) {
    // Leaves: literals, unsubscripted references, loop dummies, aliases,
    // dot and suffix values of whole entities, synonyms.
    case SH_LITERAL:
    case SH_NUMBER:
    case SH_ENTITY:
    case SH_DOT:
    case SH_ALIAS:
    case SH_LOOPDUMMY:
    case SH_SUF:
    case SH_SYN:
    case SH_LOGLIT:   // logical literal
    case SH_LITLIST:  // literal tuple
      return x;
    // The wrapped node and the placeholder, which deletion leaves to their
    // owners, are copied like operands.
    case SH_EVAL:
    case SH_INTCHECK:
      return one(x, cpexpr(x->L.e));
    // Both cells copied as operands.
    case SH_RELOPCH:
    case SH_VARAC:
      return two(x, cpexpr(x->L.e), cpexpr(x->R.e));
    case SH_ITERATED:
    case SH_PLENTRY: {
      // The indexing's scope covers the body.
      set_spec* ss = cp_set_spec(x->L.ss);
      expr* body = cpexpr(x->R.e);
      end_set_spec(ss);
      if (!ss && body == x->R.e) return x;
      return node_like(x, ss, body);
    }
    case SH_DUMMY:
      // Every path from a copied node down to a dummy is new.
      return node_like(x, x->L, x->R);
    case SH_SYMLIST:
      // A tuple: new cells of its own (made on its first evaluation).
      return node_like(x, lcpexpr(x->L.e), nullptr);
    case SH_VALUE:
    case SH_REWRITE: {
      void* c = find(x);
      return c ? static_cast<expr*>(c) : x;
    }
    case SH_STRING: {
      // R: the environment, a single node as the massager takes it.
      expr* r = cpexpr(x->R.e);
      return r == x->R.e ? x : node_like(x, shared(x->L.cs), r);
    }
    // The operands as visit_operands lays them out.
    case SH_UNARY:
    case SH_FUNC1:
    case SH_FROM_NUMBER:
    case SH_TO_NUMBER:
    case SH_RECPAR:
    case SH_BINARY:
    case SH_FUNC2:
    case SH_COUNTREL:  // the bound and the count node
    case SH_SUBSCRIPTED:
    case SH_LOOKUP:
    case SH_LIST:
    case SH_SUMLIST:  // sum, and, or of a list
    case SH_PL:
    case SH_IF:
    case SH_IMPELSE:  // implication with an else-part
    case SH_MEMBERSHIP:
    case SH_SETREL:
    case SH_CALL:
    case SH_SETFUNC:
    case SH_ORD:
    case SH_NEXT:
    case SH_DOTSUB:
    case SH_SYNDOT:
    case SH_SUFSUB:
    case SH_SYNSUF:
    case SH_LOOKUPSL:
    case SH_ARGLIST:
    case SH_SETARGS:
      return rebuilt(x);
  }
  badtype(x);
}

// Conditions: each conjunct has one copy, which the indexing's condition,
// its precondition and its entries' conditions all reach.  Mode 2 copies
// the whole condition (its operands in mode 3, which copies afresh); mode 0
// rebuilds a slot from the conjuncts' copies.
expr* copier::and_copy(expr* x, int mode) {
  if (!x) return nullptr;
  if (opcode(x) == OPAND) {
    int m = mode == 2 ? 3 : mode;
    expr* l = and_copy(x->L.e, m);
    expr* r = and_copy(x->R.e, m);
    return node_like(x, l, r);
  }
  if (mode == 0) {
    // A conjunct the whole condition did not show (it stood inside a
    // shared part) gets a copy of its own.
    if (void* c = find(x)) return static_cast<expr*>(c);
  } else if (mode == 2 && find(x)) {
    terror(tva_, "cp_lookup: unexpected hit");
  }
  expr* c = cpexpr(x);
  map_[x] = c;
  return c;
}

// ---- Indexing expressions ------------------------------------------------

// The hooks of a copied Index: a STORE writes into a new value node (the
// copy of its source's, which every reference reaches through the map);
// its computation is copied by end_set_spec.
expr* copier::copy_hooks(expr* h) {
  expr* first = nullptr;
  expr** tail = &first;
  for (; h; h = h->next) {
    expr* n;
    if (is_store(h)) {
      expr* x = h->R.e;
      expr* v = node_like(x, nullptr, nullptr);
      enter(x, v);
      n = node_like(h, h->L, v);
    } else {
      n = node_like(h, h->L, h->R);
    }
    *tail = n;
    tail = &n->next;
  }
  return first;
}

// The restore record of REWRITE node x of ix.
expr* copier::restore_of(expr* x, Index* ix) {
  if (unevaluated(x)) {
    expr* r = x->L.e;
    if (r && is_restore(r)) return r;
  } else {
    for (expr* r = ix->cleanup; r; r = r->next)
      if (is_restore(r) && r->L.e == x) return r;
  }
  eerror(tva_, "cp_lookup: unexpected miss");
}

// The REWRITE nodes of ix, new in c: each waits for its first evaluation
// with a restore record of its own at c; the computations are copied by
// end_set_spec.
void copier::copy_rewrites(Index* ix, Index* c) {
  c->rew = nullptr;
  if (ix->nrew <= 0) return;
  c->rew = static_cast<expr**>(
      new_mblk(htcl(sizeof(expr*) * static_cast<size_t>(ix->nrew))));
  for (int i = 0; i < ix->nrew; ++i) {
    expr* x = ix->rew[i];
    expr* r = restore_of(x, ix);
    expr* nr = node_like(r, static_cast<void*>(c), r->R);
    expr* nx = node_like(x, nr, unevaluated(x) ? x->R : operand(nullptr));
    nx->op = rewrite_fn(r);
    enter(x, nx);
    c->rew[i] = nx;
  }
}

// The error context of copy c of set s: the copy of s's Index, with a
// CLEARSET node of c's own.
void copier::copy_errctx(const set* s, set* c) {
  c->errctx = s->errctx;
  if (s->errctx && s->errctx != lev00) c->errctx = expect(s->errctx);
  if (const expr* p = s->privnode) c->privnode = node_like(p, c, p->R);
}

set_spec* copier::cp_set_spec(set_spec* ss) {
  if (!ss) return nullptr;
  Index* first = nullptr;
  Index** tail = &first;
  Index* outer = nullptr;
  for (Index* ix = ss->first; ix; ix = ix->next) {
    Index* c = static_cast<Index*>(Index::operator new(sizeof(Index)));
    std::memcpy(static_cast<void*>(c), ix, sizeof(Index));
    c->next = nullptr;
    c->outer = outer;
    outer = c;
    // No member bound yet.
    c->cur = nullptr;
    c->vals = nullptr;
    c->savelev = nullptr;
    set* s = cpset(ix->s);
    c->s = s == ix->s ? shared(s) : s;
    c->cleanup = nullptr;
    *tail = c;
    tail = &c->next;
    enter(ix, c);
    c->onbind = copy_hooks(ix->onbind);
    c->complete = copy_hooks(ix->complete);
    copy_rewrites(ix, c);
  }
  set_spec* n =
      static_cast<set_spec*>(set_spec::operator new(sizeof(set_spec)));
  std::memcpy(static_cast<void*>(n), ss, sizeof(set_spec));
  fresh(n);
  n->first = first;
  copy_errctx(ss, n);
  return n;
}

void copier::end_set_spec(set_spec* ss) {
  if (!ss) return;
  if (!ss->first) {
    ss->cond = cpexpr(ss->cond);
    return;
  }
  ss->cond = and_copy(ss->cond, 2);
  ss->precond = and_copy(ss->precond, 0);
  for (Index* c = ss->first; c; c = c->next) {
    for (int i = 0; i < c->nrew; ++i) {
      expr* r = c->rew[i]->L.e;
      r->R.e = cpexpr(r->R.e);
    }
    c->cond = and_copy(c->cond, 0);
    // A value node keeps its computation until it holds a value, as its
    // source does (error messages find the subscript there).
    for (expr* hooks : {c->onbind, c->complete})
      for (expr* m = hooks; m; m = m->next)
        if (is_store(m)) m->R.e->L.e = m->L.e = cpexpr(m->L.e);
  }
}

// ---- Sets ----------------------------------------------------------------

// s itself when its expression field f (a list when list is set) copies
// unchanged, else a copy of s holding the copied field.
set* copier::expr_field(set* s, void* set3p::*f, bool list) {
  expr* src = static_cast<expr*>(static_cast<set3p*>(s)->*f);
  expr* c = list ? lcpexpr(src) : cpexpr(src);
  if (c == src) return s;
  set3p* n = dup_set(s, new_set3p);
  n->*f = c;
  return n;
}

// The copy of s by its class; s itself when nothing in it was copied (it
// then depends on no dummy of the copied definition, and holds nothing that
// one evaluation could spoil for another).
set* copier::class_copy(set* s) {
  switch (s->sclass) {
    case SC_ENUM:
    case SC_INVALID:
      return s;
    case SC_SPECSET: {
      set_spec* n = cp_set_spec(static_cast<set_spec*>(s));
      end_set_spec(n);
      return n;
    }
    case SC_RANGE:
    case SC_IF: {
      set3p* r = static_cast<set3p*>(s);
      if (s->sclass == SC_RANGE) {
        expr* a = cpexpr(static_cast<expr*>(r->f1));
        expr* b = cpexpr(static_cast<expr*>(r->f2));
        expr* c = cpexpr(static_cast<expr*>(r->f3));
        if (a == r->f1 && b == r->f2 && c == r->f3) return s;
        set3p* n = dup_set(s, new_set3p);
        n->f1 = a;
        n->f2 = b;
        n->f3 = c;
        return n;
      }
      expr* a = cpexpr(static_cast<expr*>(r->f1));
      set* b = cpset(static_cast<set*>(r->f2));
      set* c = cpset(static_cast<set*>(r->f3));
      if (a == r->f1 && b == r->f2 && c == r->f3) return s;
      set3p* n = dup_set(s, new_set3p);
      n->f1 = a;
      n->f2 = b == r->f2 ? shared(b) : b;
      n->f3 = c == r->f3 ? shared(c) : c;
      return n;
    }
    case SC_UNION:
    case SC_DIFF:
    case SC_SYMDIFF:
    case SC_INTER: {
      set2p* r = static_cast<set2p*>(s);
      set* a = cpset(static_cast<set*>(r->f1));
      set* b = cpset(static_cast<set*>(r->f2));
      if (a == r->f1 && b == r->f2) return s;
      set2p* n = dup_set(s, new_set2p);
      n->f1 = a == r->f1 ? shared(a) : a;
      n->f2 = b == r->f2 ? shared(b) : b;
      return n;
    }
    case SC_SETOF: {
      set2p* r = static_cast<set2p*>(s);
      set2p* n = dup_set(s, new_set2p);
      set_spec* ix = cp_set_spec(static_cast<set_spec*>(r->f1));
      n->f1 = ix;
      n->f2 = lcpexpr(static_cast<expr*>(r->f2));
      end_set_spec(ix);
      return n;
    }
    case SC_ITUNION:
    case SC_ITINTER: {
      set3p* r = static_cast<set3p*>(s);
      set3p* n = dup_set(s, new_set3p);
      set_spec* ix = cp_set_spec(static_cast<set_spec*>(r->f1));
      n->f1 = ix;
      set* o = cpset(static_cast<set*>(r->f2));
      n->f2 = o == r->f2 ? shared(o) : o;
      end_set_spec(ix);
      return n;
    }
    case SC_ORDERED: {
      set2p* r = static_cast<set2p*>(s);
      set* u = cpset(static_cast<set*>(r->f1));
      list* cell = static_cast<list*>(r->f2);
      set* by = cell ? cpset(cell->item.s) : nullptr;
      if (u == r->f1 && (!cell || by == cell->item.s)) return s;
      set2p* n = dup_set(s, new_set2p);
      n->f1 = u == r->f1 ? shared(u) : u;
      if (cell && by != cell->item.s) n->f2 = new_list(cell->next, by);
      return n;
    }
    case SC_LITERAL:
      return expr_field(s, &set3p::f1, true);
    case SC_CROSS: {
      set3p* r = static_cast<set3p*>(s);
      set** f = static_cast<set**>(r->f1);
      int nf = s->cword;
      std::vector<set*> c(static_cast<size_t>(nf));
      bool changed = false;
      for (int i = 0; i < nf; ++i) {
        c[static_cast<size_t>(i)] = cpset(f[i]);
        changed |= c[static_cast<size_t>(i)] != f[i];
      }
      if (!changed) return s;
      set3p* n = dup_set(s, new_set3p);
      int k = static_cast<int>(reinterpret_cast<intptr_t>(r->f2));
      set** nfac = static_cast<set**>(new_mblk(k));
      for (int i = 0; i < nf; ++i) {
        set* x = c[static_cast<size_t>(i)];
        nfac[i] = x == f[i] ? shared(x) : x;
      }
      n->f1 = nfac;
      return n;
    }
    case SC_SUBSCR: {
      set* n = expr_field(s, &set3p::f2, false);
      // A copy finds the member set for its subscript again.
      if (n != s) static_cast<set3p*>(n)->f3 = nullptr;
      return n;
    }
    case SC_SLICE: {
      // f1 the key expressions, f2 the slice record, f3 the sliced set.
      set3p* r = static_cast<set3p*>(s);
      expr* key = lcpexpr(static_cast<expr*>(r->f1));
      set* S = cpset(static_cast<set*>(r->f3));
      if (key == r->f1 && S == r->f3) return s;
      const slice_rec* rec = static_cast<const slice_rec*>(r->f2);
      if (S != r->f3)
        // A copied set is sliced by a record of its own.
        return set_slice(S, key, rec->pos, rec->nfix, rec->whole);
      set3p* n = dup_set(s, new_set3p);
      n->f1 = key;
      ++static_cast<slice_rec*>(n->f2)->refcnt;
      shared(S);
      return n;
    }
    case SC_INTERVAL: {
      set_interval* r = static_cast<set_interval*>(s);
      expr* lo = cpexpr(r->lower);
      expr* hi = cpexpr(r->upper);
      if (lo == r->lower && hi == r->upper) return s;
      set_interval* n = dup_set(s, new_set_interval);
      n->lower = lo;
      n->upper = hi;
      return n;
    }
  }
  eerror(tva_, "unexpected subtype %d in cpset", static_cast<int>(s->sclass));
}

set* copier::cpset(set* s) {
  if (!s) return nullptr;
  if (void* c = find(s)) return static_cast<set*>(c);
  if (own_value(s)) {
    enter(s, s);
    return s;
  }
  set* c = class_copy(s);
  if (c != s && s->sclass != SC_SPECSET) copy_errctx(s, c);
  enter(s, c);
  return c;
}

// ---- Check and within lists ----------------------------------------------

list* copier::copy_checks(list* checks) {
  if (!checks) return nullptr;
  // Every check of a list tests the value put into the one slot node they
  // share; the copy's checks share a slot of their own.
  expr* slot = checks->item.e->L.e;
  expr* own = slot ? node_like(slot, slot->L, slot->R) : nullptr;
  list* first = nullptr;
  list** tail = &first;
  for (list* c = checks; c; c = c->next) {
    expr* src = c->item.e;
    expr* n = cpexpr(src);
    if (slot && n->L.e == slot) {
      if (n == src) n = node_like(src, own, src->R);
      n->L.e = own;
    }
    *tail = new_list(nullptr, n);
    tail = &(*tail)->next;
  }
  return first;
}

list* copier::copy_sets(list* cells) {
  list* first = nullptr;
  list** tail = &first;
  for (list* c = cells; c; c = c->next) {
    set* s = cpset(c->item.s);
    *tail = new_list(nullptr, s == c->item.s ? shared(s) : s);
    tail = &(*tail)->next;
  }
  return first;
}

}  // namespace

namespace {
e_copy* record(set_spec* ss, expr* e, set* s, list* items) {
  e_copy* r = new_e_copy();
  r->ss = ss;
  r->e = e;
  r->s = s;
  r->items = items;
  return r;
}
}  // namespace

e_copy* copy_e(expr* e, param* p, TVA* t) {
  copier cp(t);
  set_spec* ss = cp.cp_set_spec(p->indexing);
  expr* body = cp.cpexpr(e);
  list* checks = cp.copy_checks(p->checks);
  cp.end_set_spec(ss);
  return record(ss, body, nullptr, checks);
}

e_copy* copy_s(setdcl* s, TVA* t) {
  copier cp(t);
  set_spec* ss = cp.cp_set_spec(s->indexing);
  set* def = cp.cpset(s->asgn ? s->asgn : s->dflt);
  list* within = cp.copy_sets(s->within);
  cp.end_set_spec(ss);
  return record(ss, nullptr, def, within);
}

}  // namespace vexo
