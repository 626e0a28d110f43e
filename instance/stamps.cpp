// Generation stamps of declarations and the bookkeeping of changes.
#include "instance/stamps.h"
#include "instance/problem.h"

#include <algorithm>
#include <cmath>

#include "eval/set.h"
#include "frontend/decl.h"
#include "frontend/keywords.h"
#include "frontend/vardcl.h"
#include "instance/ac.h"
#include "instance/varref.h"
#include "instance/xcg.h"

namespace vexo {

varref* fixchanges;
int var_changes;
int con_changes;

void changes_sent() { var_changes = con_changes = 0; }

void changes_collected() {
  free_varref(fixchanges);
  changes_reinit();
}

void changes_reinit() {
  fixchanges = nullptr;
  var_changes = con_changes = 0;
}

bool is_convar(const xnode* d) {
  uint32_t k = d->kind & ~1u;
  return k == DK_VAR || k == DK_SVAR || k == DK_CON || k == DK_OBJ;
}

namespace {

// Whether the last xcg found declaration number n to bear on the problem
// (tsr): without marks, every declaration does.
bool marked(int64_t n) {
  if (!tsr) return true;
  return n >= 0 && n < (int64_t{8} << tsr_k) && tsr[n];
}

}  // namespace

void ts_update(xnode* d, int k) {
  if (k == 0) {
    d->stamp = nextgenlev;
    if (d->flags & XF_INPROB) {
      prob_changed();
      if (trans_state > 1) set_trans_state(1);
      return;
    }
  } else if (is_convar(d)) {
    static_cast<convar*>(d)->stamp2 = nextgenlev;
  }
  if (trans_state > 1 && marked(int64_t{d->num} + k)) set_trans_state(1);
}

void solution_values(convar* d) { d->stamp2 = nextgenlev; }

namespace {

// A changed member i of variable declaration v.
void var_change(const convar* v, int32_t i) {
  const AC* ac = cur_ac;
  const cvgen& g = v->gen;
  if (ac && ac->var_pos && ac->var_init_val && i >= 0 &&
      i < g.member_count) {
    int32_t c = g.first_col + i;
    // A value that cannot be a coefficient (a random member's NaN) is
    // no fixed value presolve could use.
    if (c >= 0 && c < ac->n_var && std::isfinite(ac->var_init_val[c]) &&
        ac->var_pos[c] >= ac->n_var_sent + ac->n_subst_var) {
      varref_kill0 = 0;
      fixchanges = new_varref(fixchanges, c, ac->var_init_val[c]);
      return;
    }
  }
  ++var_changes;
}

}  // namespace

void note_change(xnode2* d, int32_t i) {
  uint32_t kind = d->kind & ~1u;
  if (kind == DK_VAR || kind == DK_SVAR) {
    var_change(static_cast<convar*>(d), i);
    return;
  }
  if (kind == DK_CON || kind == DK_OBJ) {
    ++con_changes;
    return;
  }
  if (d->kind != DK_PARAMI && d->kind != DK_SPARAMI && d->kind != DK_SETI)
    return;
  // Never generated: its first generation checks every member.
  if (d->xr.stamp <= 0 || !d->dindex || i < 0 || i >= d->nvals) return;
  setmem* m = set_ordidx(d->dindex, nullptr)[i];
  if (!m) return;
  if (!d->pending) d->pending = set_enum(new_enum(), d->dindex->arity);
  set_addmem(d->pending, m->tup());
}

double chg_stamp(const xnode* d) { return std::max(d->stamp, d->xr.instamp); }

}  // namespace vexo
