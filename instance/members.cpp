// The generated members of variables, constraints and objectives.
#include "instance/members.h"

#include <algorithm>
#include <cstring>

#include "eval/set.h"
#include "frontend/decl.h"
#include "frontend/vardcl.h"
#include "instance/ac.h"
#include "instance/xcg.h"
#include "session/batch.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"

namespace vexo {

namespace {

symbol* scalar_marker[1];

bool two_slots(const convar* d) { return d->flags & CV_TWOSLOTS; }

int32_t slots(const convar* d) {
  return d->gen.member_count * (two_slots(d) ? 2 : 1);
}

// A zeroed block for n entries of `bytes` bytes per slot of d: the class
// that member_class gives them, or more when the class was not raised with
// the count.
void* slot_block(const convar* d, int bytes, int* k) {
  int c = elem_class(d->gen.member_class + (two_slots(d) ? 1 : 0), bytes);
  *k = std::max(c, htcl(size_t(std::max(slots(d), 1)) * size_t(bytes)));
  return new_mblk(*k, 1);
}

void free_block(void* p) {
  if (p) del_mblk(blkclass(p), p);
}

}  // namespace

symbol** const scalar_subscrs = scalar_marker;

uint8_t* figalloc(convar* d) {
  cvgen& g = d->gen;
  free_block(g.member_status);
  int k;
  g.member_status = static_cast<uint8_t*>(slot_block(d, 1, &k));
  if (d->flags & CV_ALLDROPPED)
    std::memset(g.member_status, GS_DROPPED, size_t(slots(d)));
  return g.member_status;
}

double* vval_alloc(convar* d) {
  cvgen& g = d->gen;
  free_block(g.cur_vals);
  int k;
  g.cur_vals = static_cast<double*>(slot_block(d, 8, &k));
  if (g.init_vals)
    std::memcpy(g.cur_vals, g.init_vals, size_t(slots(d)) * sizeof(double));
  if (!g.member_status) figalloc(d);
  return g.cur_vals;
}

double member_value(const convar* v, int32_t i) {
  const cvgen& g = v->gen;
  if (g.member_status && g.cur_vals && (g.member_status[i] & GS_HASVAL))
    return g.cur_vals[i];
  return g.init_vals ? g.init_vals[i] : 0;
}

double* dpov_set(var* v, int32_t n, double* out) {
  const cvgen& g = v->gen;
  for (int32_t i = 0; i < n; ++i)
    out[i] = g.rand_mark && g.rand_mark[i] ? qNaN : member_value(v, i);
  return out + n;
}

void savesol(convar* d) {
  cvgen& g = d->gen;
  bool indexed = d->kind & 1;
  if (d->flags & CV_NOSAVE) {
    free_block(g.cur_vals);
    g.cur_vals = nullptr;
    if (!indexed) return;
  }
  if (!indexed) {
    if (g.cur_vals) g.saved_subs = scalar_subscrs;
    return;
  }
  set* m = g.members;
  if (!m) return;
  if (g.n_dropped && g.n_dropped < m->nmem) {
    free_block(g.saved_status);
    g.saved_status = g.member_status;
    g.member_status = nullptr;
  }
  if (m->nmem <= 0) return;
  if (g.saved_subs && g.saved_subs != scalar_subscrs) free_block(g.saved_subs);
  size_t arity = size_t(m->arity);
  g.saved_subs_class = htcl(std::max<size_t>(arity * size_t(m->nmem), 1) *
                            sizeof(symbol*));
  g.saved_subs = static_cast<symbol**>(new_mblk(g.saved_subs_class));
  symbol** out = g.saved_subs;
  for (setmem* s = m->first; s; s = s->next)
    if (s->ord >= 0) {
      std::memcpy(out, s->tup(), arity * sizeof(symbol*));
      out += arity;
    }
}

void cv_release(convar* d) {
  cvgen& g = d->gen;
  free_block(g.lb);
  free_block(g.ub);
  g.lb = g.ub = nullptr;
  if (g.members) sdelete(g.members);
  g.members = nullptr;
}

void dropsavechk(xnode* from, xnode* to) {
  uint32_t k = from->kind;
  if (k != DK_VAR && k != DK_CON && k != DK_OBJ) return;
  convar* f = static_cast<convar*>(from);
  cvgen& a = f->gen;
  cvgen& b = static_cast<convar*>(to)->gen;
  savesol(f);
  b.member_status = a.member_status;
  b.saved_status = a.saved_status;
  b.cur_vals = a.cur_vals;
  b.saved_subs = a.saved_subs;
  b.saved_subs_class = a.saved_subs_class;
  b.member_class = a.member_class;
  b.member_count = a.member_count;
  a.member_status = a.saved_status = nullptr;
  a.cur_vals = nullptr;
  a.saved_subs = nullptr;
}

AC* get_ts3(AC* ac) {
  if (trans_state < 1) ac = xcg(1);
  if (ac) ac = output_time(ac, 3);
  if (!ac) bailout();
  return ac;
}

}  // namespace vexo
