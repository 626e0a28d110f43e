// Generation stamps of declarations and the bookkeeping of changes.
#include "instance/stamps.h"

#include <algorithm>

#include "eval/set.h"
#include "frontend/decl.h"
#include "frontend/vardcl.h"

namespace vexo {

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
  if (k == 0)
    d->stamp = nextgenlev;
  else if (is_convar(d))
    static_cast<convar*>(d)->stamp2 = nextgenlev;
  if (trans_state > 1 && marked(int64_t{d->num} + k)) set_trans_state(1);
}

void note_change(xnode2* d, int32_t i) {
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
