// Recompilation records and undo.
#include "compiler/recomp.h"

#include <cstring>

#include "compiler/context.h"
#include "compiler/eexpr.h"
#include "compiler/opgen.h"
#include "data/values.h"
#include "eval/indexing.h"
#include "eval/pcheck.h"
#include "eval/set.h"
#include "eval/setops.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "frontend/paramdcl.h"
#include "frontend/vardcl.h"
#include "instance/members.h"
#include "instance/names.h"
#include "support/list.h"
#include "support/message.h"
#include "support/pool.h"

namespace vexo {

es_retain* retained;

namespace {

constexpr size_t RETAIN_HEAD = offsetof(es_retain, ent);

uint32_t capacity(const es_retain* b) {
  return static_cast<uint32_t>(((size_t{8} << b->hcl) - RETAIN_HEAD) /
                               sizeof(retain_ent));
}

}  // namespace

retain_ent* Retain(expr** where, expr* old, set* put) {
  es_retain* b = retained;
  if (!b || b->n >= capacity(b)) {
    int k = b ? static_cast<int>(b->hcl) + 1 : 3;
    es_retain* nb = static_cast<es_retain*>(new_mblk(k));
    if (b) {
      std::memcpy(static_cast<void*>(nb), b,
                  RETAIN_HEAD + b->n * sizeof(retain_ent));
      del_mblk(static_cast<int>(b->hcl), b);
    } else {
      nb->n = 0;
    }
    nb->hcl = static_cast<uint32_t>(k);
    retained = b = nb;
  }
  retain_ent* e = &b->ent[b->n++];
  e->where = where;
  e->old = old;
  e->put = put;
  return e;
}

// ---- Rewrites
// ----------------------------------------------------------------

void rew_save(xrecomp* x) {
  int nlists = 0, nsaved = 0;
  for (list* l = rew_list0; l; l = l->next) {
    Index* ix = static_cast<Index*>(l->item.p);
    nlists += (ix->onbind != nullptr) + (ix->complete != nullptr);
    nsaved += ix->nrew;
  }
  x->nsavedlists = nlists;
  x->savedlists = nullptr;
  if (nlists)
    x->savedlists = static_cast<expr***>(
        new_mblk(htcl(sizeof(expr**) * static_cast<size_t>(nlists))));
  x->nsaved = nsaved;
  x->saved = nullptr;
  if (nsaved)
    x->saved = static_cast<expr**>(
        new_mblk(htcl(sizeof(expr*) * static_cast<size_t>(nsaved))));
  int kl = 0, ks = 0;
  for (list* l = rew_list0; l; l = l->next) {
    Index* ix = static_cast<Index*>(l->item.p);
    if (ix->onbind) x->savedlists[kl++] = &ix->onbind;
    if (ix->complete) x->savedlists[kl++] = &ix->complete;
    for (int k = 0; k < ix->nrew; ++k) x->saved[ks++] = ix->rew[k];
  }
  free_list(rew_list0);
  rew_list0 = nullptr;
}

namespace {

// The REWRITE routine of each kind: a node whose routine is one of them
// has not been evaluated since it was planted or restored, so its L is
// its restore record.
bool armed(const expr* x) {
  efunc f = x->op;
  return f == f_OP_REWRITE_i || f == f_OP_REWRITE_r || f == f_OP_REWRITE_s ||
         f == f_OP_REWRITE_l || f == f_OP_REWRITE_if || f == f_OP_REWRITE_c ||
         f == f_OP_REWRITE_sif;
}

expr* record_of(expr* x) {
  if (!armed(x)) bug("rewrite of opcode %d undone while evaluated", opcode(x));
  return x->L.e;
}

void swap_operands(expr* a, expr* b) {
  operand l = a->L, r = a->R;
  a->L = b->L;
  a->R = b->R;
  b->L = l;
  b->R = r;
}

}  // namespace

void rew_reset(int n, expr** arr, expr*** owner) {
  for (int i = n - 1; i >= 0; --i) {
    expr* x = arr[i];
    expr* r = record_of(x);
    expr* c = r->R.e;
    if (owner) {
      r->R.e = nullptr;
      unplant(x, c);
      x->op = nullptr;
      free_node(r);
      continue;
    }
    // Undone for the duration of a compilation: a marker keeps what the
    // re-application needs.  It is a record, not a tree node (R holds a
    // routine), so it is made empty and filled: new_expr would measure
    // its operands by the opcode's shape.
    expr* m = new_expr(0);
    m->opword = x->opword;
    m->L.e = x;
    m->R.p = reinterpret_cast<void*>(c->op);
    m->op = x->op;
    c->next = m;
    arr[i] = r;
    swap_operands(x, c);
    x->opword = c->opword;
    x->op = nullptr;
  }
  if (owner) {
    if (arr) del_mblk(htcl(sizeof(expr*) * static_cast<size_t>(n)), arr);
    *owner = nullptr;
  }
}

void rew_redo(int n, expr** arr) {
  for (int i = n - 1; i >= 0; --i) {
    expr* r = arr[i];
    expr* c = r->R.e;
    expr* m = c->next;
    c->next = nullptr;
    c->op = reinterpret_cast<efunc>(m->R.p);
    expr* x = m->L.e;
    arr[i] = x;
    swap_operands(x, c);
    x->opword = m->opword;
    x->op = m->op;
    free_node(m);
  }
}

namespace {
// The command record whose compilation is kept between loop passes.
xrecomp* held;
}  // namespace

void undo_command(xrecomp* x) {
  if (held == x) held = nullptr;
  if (lev0) run_cleanup(lev0);
  // The command's own set expressions are generated afresh next time.
  if (lev00) run_cleanup(lev00);
  rew_reset(x->nlev0rew, x->lev0rew, &x->lev0rew);
  x->nlev0rew = 0;
  es_reset(x);
}

void hold_compiled(xrecomp* x) {
  if (held && held != x) release_held();
  run_cleanup(lev0);
  run_cleanup(lev00);
  held = x;
}

bool compiled_held(const xrecomp* x) { return x && held == x; }

void release_held() {
  if (held) undo_command(held);
}

void lev0_clear() {
  // A held compilation goes first, while the rewrites it planted are
  // still in place.
  release_held();
  run_cleanups(&lev0->cleanup, lev0);
  run_cleanups(&lev00->cleanup, lev0);
  free_list(rew_list0);
  rew_list0 = nullptr;
  for (list* l = rew_list; l; l = l->next) {
    expr* x = l->item.e;
    expr* r = record_of(x);
    unplant(x, r->R.e);
    free_node(r);
  }
  free_list(rew_list);
  rew_list = nullptr;
}

// ---- The retained log
// ----------------------------------------------------------

void reset_retained(es_retain* b) {
  if (!b) return;
  for (uint32_t i = b->n; i-- > 0;) {
    retain_ent& e = b->ent[i];
    if (!e.put || e.put == Display) {
      if (e.where)
        *e.where = e.old;
      else if (!e.put)
        free_node(e.old);  // a node made by the compilation
    } else if (e.put == reinterpret_cast<set*>(e.old)) {
      set* old = e.put;
      old->ee = nullptr;
      sdelete(reinterpret_cast<set*>(*e.where));
      *e.where = e.old;
    } else {
      free_node(reinterpret_cast<expr*>(e.put));
      if (e.where) *e.where = e.old;
    }
  }
  del_mblk(static_cast<int>(b->hcl), b);
}

set* retained_renew(xrecomp* x, set** where, set* now) {
  es_retain* b = x->retained;
  if (!b) return nullptr;
  expr** w = reinterpret_cast<expr**>(where);
  for (uint32_t i = 0; i < b->n; ++i) {
    retain_ent& e = b->ent[i];
    if (e.where != w || e.put != Display) continue;
    set* was = reinterpret_cast<set*>(e.old);
    e.old = reinterpret_cast<expr*>(now);
    return was;
  }
  return nullptr;
}

// x takes the node it was made from (as unplant does), its own content
// kept for the destructor.
void parsed_view::take(expr* x, const expr* from) {
  nodes_.emplace_back(x, *x);
  x->opword = from->opword;
  x->L = from->L;
  x->R = from->R;
}

parsed_view::parsed_view(xrecomp* x) {
  for (int i = 0; i < x->nsavedlists; ++i)
    for (expr* m = *x->savedlists[i]; m; m = m->next) take(m->R.e, m->L.e);
  for (auto [n, arr] : {std::pair{x->nsaved, x->saved},
                        std::pair{x->nlev0rew, x->lev0rew}})
    for (int i = n - 1; i >= 0; --i)
      if (armed(arr[i])) take(arr[i], arr[i]->L.e->R.e);
  if (es_retain* b = x->retained)
    for (uint32_t i = b->n; i-- > 0;) {
      const retain_ent& e = b->ent[i];
      if (!e.where) continue;
      slots_.emplace_back(e.where, *e.where);
      *e.where = e.old;
    }
}

parsed_view::~parsed_view() {
  for (auto s = slots_.rbegin(); s != slots_.rend(); ++s) *s->first = s->second;
  for (auto n = nodes_.rbegin(); n != nodes_.rend(); ++n) *n->first = n->second;
}

void drop_retained(es_retain* b) {
  if (!b) return;
  for (uint32_t i = 0; i < b->n; ++i) {
    retain_ent& e = b->ent[i];
    if (e.where && !e.put && e.old) free_node(e.old);
  }
  del_mblk(static_cast<int>(b->hcl), b);
}

void eeth_clear(xrecomp* x) {
  eexpr* e = x->chain;
  x->chain = nullptr;
  while (e) {
    eexpr* nx = e->lnext;
    delete e;
    e = nx;
  }
}

void es_reset(xrecomp* x) {
  for (int i = 0; i < x->nsavedlists; ++i) {
    expr** head = x->savedlists[i];
    for (expr* m = *head; m; m = m->next) unplant(m->R.e, m->L.e);
    free_expr(*head);
    *head = nullptr;
  }
  if (x->savedlists)
    del_mblk(htcl(sizeof(expr**) * static_cast<size_t>(x->nsavedlists)),
             x->savedlists);
  x->savedlists = nullptr;
  x->nsavedlists = 0;
  if (x->saved) rew_reset(x->nsaved, x->saved, &x->saved);
  x->nsaved = 0;
  if (x->retained) {
    reset_retained(x->retained);
    x->retained = nullptr;
  }
  eeth_clear(x);
}

// ---- Generated data
// ----------------------------------------------------------

void xreset(xnode* d) {
  xrecomp& x = d->xr;
  if (!(x.state & XR_GENERATED)) return;
  x.state &= ~XR_GENERATED;
  run_cleanups(&x.restores, lev0);
  switch (d->kind) {
    case DK_PARAM:
    case DK_PARAMI:
    case DK_SPARAM:
    case DK_SPARAMI: {
      // Values read as data stay; computed ones go (all of them for a
      // param defined by `:=`), and so does what evaluations of a
      // self-referring definition left.
      param* p = static_cast<param*>(d);
      val_drop(p, p->asgn != nullptr);
      if (p->asgn) p->ninst = -1;
      rec_reset(p->asgn);
      rec_reset(p->dflt);
      break;
    }
    case DK_SETI: {
      // The member sets computed from the definition go.
      setdcl* s = static_cast<setdcl*>(d);
      subscr_reset(s);
      if (s->sflags & SF_RECCACHE) rec_set_reset(s);
      break;
    }
    case DK_VAR:
    case DK_VARI:
    case DK_SVAR:
    case DK_SVARI:
    case DK_CON:
    case DK_CONI:
    case DK_OBJ:
    case DK_OBJI:
      // Their per-member arrays belong to instance generation.
      static_cast<convar*>(d)->ninst = -1;
      cv_release(static_cast<convar*>(d));
      break;
    case DK_SET:
    case DK_CHECK:
    case DK_PROB:
    case DK_PROBI:
    case DK_ENV:
    case DK_ENVI:
    case DK_SUFFIX:
    case DK_FUNCTION:
      break;
    default:
      badtype("xreset", d->kind);
  }
}

// ---- Set-update dependencies
// -------------------------------------------------

namespace {

// A ring link: the head in a set declaration (its circ words) and every
// entry begin with these two words.
struct ring {
  ring* next;
  ring* prev;
};

struct sud_ent {
  ring link;
  xnode* dep;
};

struct sud_blk {
  uint32_t hcl;
  uint32_t n;
  sud_ent ent[];
};

ring* ring_of(setdcl* s) {
  ring* h = reinterpret_cast<ring*>(s->circ);
  if (!h->next) h->next = h->prev = h;
  return h;
}

bool is_setdcl(const xnode* d) {
  return d && (d->kind == DK_SET || d->kind == DK_SETI);
}

}  // namespace

void sud_build(xnode* d) {
  sud_del(d);
  int n = 0;
  for (int k = 0; k < dac.n; ++k)
    if (is_setdcl(dac.bynum[dac.list[k]])) ++n;
  if (n) {
    int hcl = htcl(offsetof(sud_blk, ent) + sizeof(sud_ent) * size_t(n));
    sud_blk* b = static_cast<sud_blk*>(new_mblk(hcl));
    b->hcl = static_cast<uint32_t>(hcl);
    b->n = static_cast<uint32_t>(n);
    int i = 0;
    for (int k = dac.n; k-- > 0;) {
      xnode* s = dac.bynum[dac.list[k]];
      if (!is_setdcl(s)) continue;
      sud_ent& e = b->ent[i++];
      ring* h = ring_of(static_cast<setdcl*>(s));
      e.dep = d;
      e.link.prev = h;
      e.link.next = h->next;
      h->next->prev = &e.link;
      h->next = &e.link;
    }
    d->xr.sud = b;
  }
  dac_clear();
}

void sud_notify(setdcl* s) {
  ring* h = ring_of(s);
  while (h->next != h) {
    ring* e = h->next;
    xnode* dep = reinterpret_cast<sud_ent*>(e)->dep;
    dep->xr.instamp = 2.0;
    dep->xr.stamp = 1.0;
    if (dep->xr.sud) {
      sud_del(dep);
    } else {
      // A record that lost its block (copied over by a redeclaration)
      // leaves the ring entry by entry.
      e->prev->next = e->next;
      e->next->prev = e->prev;
    }
  }
}

void sud_del(xnode* d) {
  sud_blk* b = static_cast<sud_blk*>(d->xr.sud);
  if (!b) return;
  for (uint32_t i = 0; i < b->n; ++i) {
    ring& l = b->ent[i].link;
    l.prev->next = l.next;
    l.next->prev = l.prev;
  }
  del_mblk(static_cast<int>(b->hcl), b);
  d->xr.sud = nullptr;
}

void recomp_reset() {
  retained = nullptr;
  held = nullptr;
}

}  // namespace vexo
