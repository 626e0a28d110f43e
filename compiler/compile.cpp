// The compilation bracket and level-0 planting.
#include "compiler/compile.h"

#include "compiler/context.h"
#include "compiler/eexpr.h"
#include "compiler/massage.h"
#include "compiler/opgen.h"
#include "compiler/recomp.h"
#include "compiler/setmassage.h"
#include "compiler/tva.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "frontend/strexpr.h"
#include "session/infiles.h"
#include "support/list.h"
#include "support/pool.h"

namespace vexo {

expr* one;
expr* negone;
eexpr* eone;
eexpr* enegone;
eexpr* epmone;
list* ee_rewlist;

namespace {

// The first compilation: the built-in sets and the two constants become
// the permanent level-0 records.
void first_start() {
  for (set* s = AvailSets; s; s = s->link) {
    s->errctx = nullptr;
    set* slot = s;
    if (eexpr* r = set_massage(&slot)) {
      ++r->nuse;
      if (r->con < ccon) sforce(ccon, slot);
    }
  }
  one = new_num(1.0);
  negone = new_num(-1.0);
  eone = massage(&one);
  enegone = massage(&negone);
  eone->flags |= EE_PERM;
  enegone->flags |= EE_PERM;
  epmone = con[0].chain;
  con[0].chain = nullptr;
  // Nothing of this compilation is ever undone.
  drop_retained(retained);
  retained = nullptr;
  lev0->cells = 0;
  lev0->nrew = 0;
  lev0->rew = nullptr;
}

}  // namespace

void compile_start() {
  con[0].chain = nullptr;
  retained = nullptr;
  if (!one)
    first_start();
  else
    lev0_clear();
  eone->nuse = enegone->nuse = 1;
  lev0->cells = 0;
  free_list(ee_rewlist);
  ee_rewlist = nullptr;
}

eexpr* mri(expr** pe, int mand) {
  if (!pe || !*pe) return nullptr;
  eexpr* e = massage(pe);
  ++e->nuse;
  if (e->con < ccon) {
    e->flags |= EE_FORCED;
    return e;
  }
  if (mand) mandate(e);
  return e;
}

eexpr* smri(set** ps, int mand) {
  if (!ps || !*ps) return nullptr;
  (*ps)->errctx = nullptr;
  eexpr* e = set_massage(ps);
  ++e->nuse;
  if (e->con < ccon)
    sforce(ccon, *ps);
  else if (mand)
    smandate(*ps);
  return e;
}

void lev0_compile(eexpr* chain, Index* ix, bool private_sets) {
  while (chain) {
    eexpr* e = chain;
    chain = e->lnext;
    // Nothing runs the on-bind hooks of level 0: its values are never
    // STOREd.
    if (!ix) {
      if (!e->is_set() && e->e) {
        e->flags &= ~EE_MANDATED;
        opgen(e, lev0, 0);
      }
      delete e;
      continue;
    }
    if (!e->is_set()) {
      if (e->e) {
        e->flags &= ~EE_MANDATED;
        opgen(e, lev0, 0);
      }
      if (e->hashed() && !(e->flags & EE_PERM)) rm_hash(e);
    } else if (e->s && !at_eof) {
      opgen(e, ix, private_sets && !e->s->owner);
      e->s->ee = e;
    }
  }
  if (!rew_list) {
    if (lev0->rew)
      del_mblk(htcl(sizeof(expr*) * size_t(lev0->nrew)), lev0->rew);
    lev0->nrew = 0;
    lev0->rew = nullptr;
  } else if (at_eof) {
    free_list(rew_list);
    rew_list = nullptr;
  } else {
    rewlist(lev0);
  }
}

TVA* compile_end(xrecomp* x) {
  if (x) {
    x->chain = con[0].chain;
    x->retained = retained;
    con[0].chain = nullptr;
    retained = nullptr;
    if (rew_list0) rew_save(x);
    lev0_compile(x->chain, lev00, true);
    x->nlev0rew = lev0->nrew;
    x->lev0rew = lev0->rew;
    lev0->nrew = 0;
    lev0->rew = nullptr;
  } else {
    drop_retained(retained);
    retained = nullptr;
    eexpr* chain = con[0].chain;
    con[0].chain = nullptr;
    lev0_compile(chain, nullptr);
  }
  lev0_compile(epmone, lev0);
  con[0].chain = nullptr;
  plant_rewlist();
  tva_lencomp();
  TVA* t = new_tva();
  for (int k = 0; k < dac.n; ++k) dac.mark[dac.list[k]] = 0;
  return t;
}

void plant_rewlist() {
  for (list* l = ee_rewlist; l; l = l->next) {
    eexpr* e = static_cast<eexpr*>(l->item.p);
    if (e->e && ee_of(e->e) == e) {
      e->flags &= ~EE_MANDATED;
      opgen(e, lev0, 0);
    }
  }
  free_list(ee_rewlist);
  ee_rewlist = nullptr;
}

void e1delete(expr* e) {
  if (e && ee_of(e)) return;
  edelete(e);
}

void compile_reset() {
  one = negone = nullptr;
  eone = enegone = epmone = nullptr;
  ee_rewlist = nullptr;
}

}  // namespace vexo
