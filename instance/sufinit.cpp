// Values of generated members besides bounds and terms.
#include "instance/sufinit.h"

#include <vector>

#include "compiler/tva.h"
#include "data/values.h"
#include "eval/dispatch.h"
#include "eval/paramref.h"
#include "eval/set.h"
#include "frontend/decl.h"
#include "frontend/suffix.h"
#include "frontend/vardcl.h"
#include "instance/members.h"
#include "instance/sufdecl.h"
#include "instance/sufstore.h"
#include "instance/suftab.h"

namespace vexo {

namespace {

// A suffix value evaluated for a member, waiting for the member's
// declaration to be complete.
struct pending_value {
  convar* d;
  int32_t member;
  suffix* s;
  double x;
};
std::vector<pending_value>& pending() {
  static std::vector<pending_value> p;
  return p;
}

// Stores x as member j's value of suffix s in d.
void put_suffix(convar* d, suffix* s, int32_t j, double x, TVA* tva) {
  suf_put(d, s, j << d->sufs.suf_shift, x, tva ? tva->ac : nullptr);
}

}  // namespace

void do_sufinit(xnode* d, int32_t member, expr* clauses, set_spec**,
                TVA* ctx) {
  for (expr* a = clauses; a; a = a->next) {
    suffix* s = static_cast<suffix*>(a->L.x);
    double x;
    if (s->type_bits & SUF_SYMBOLIC) {
      symval v = symbolic_value(a->R.e, ctx);
      x = suf2num(s, v.str, v.sym, ctx);
    } else {
      x = eval_num(a->R.e, ctx);
    }
    if (x != 0)
      pending().push_back({static_cast<convar*>(d), member, s, x});
  }
}

void sufinit_flush(convar* d, TVA* tva) {
  for (const pending_value& p : pending())
    if (p.d == d && p.member < d->gen.member_count)
      put_suffix(d, p.s, p.member, p.x, tva);
  pending().clear();
}

void sufinit_reset() { std::vector<pending_value>().swap(pending()); }

void copy_sufs(xnode* ent, TVA* tva) {
  if (!members_hold_values(ent)) return;
  convar* d = static_cast<convar*>(ent);
  if (d->nvals <= 0) return;
  cvgen& g = d->gen;
  // The generated member of each data member, -1 for none.
  std::vector<int32_t> to(size_t(d->nvals), -1);
  if (!(d->kind & 1)) {
    if (g.member_count > 0) to[0] = 0;
  } else if (d->dindex && g.members) {
    for (setmem* m = d->dindex->first; m; m = m->next)
      if (m->ord >= 0 && m->ord < d->nvals)
        to[size_t(m->ord)] = int32_t(set_lookup(g.members, m->tup()));
  }
  const double* vals = static_cast<const double*>(d->vals);
  int step = (d->flags & CV_TWOSLOTS) ? 2 : 1;
  for (int32_t i = 0; i < d->nvals; ++i) {
    int32_t j = to[size_t(i)];
    if (j < 0) continue;
    bool has_value = !(d->stat && (d->stat[i] & MS_NOVALUE));
    if (has_value && vals) {
      if (!g.cur_vals) vval_alloc(d);
      g.cur_vals[size_t(j) * size_t(step)] = vals[i];
      g.member_status[size_t(j) * size_t(step)] |= GS_HASVAL;
    }
    for (sufvals* s = static_cast<sufvals*>(d->sufv); s; s = s->next)
      if (s->v)
        if (suffix* sd = suf_bynum(s->sufnum))
          put_suffix(d, sd, j, s->v[i], tva);
  }
  val_drop(d, 1);
  if (d->pending) {
    sdelete(d->pending);
    d->pending = nullptr;
  }
}

}  // namespace vexo
