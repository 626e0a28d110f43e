// The generated members of variables, constraints and objectives.
#include "instance/members.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "eval/set.h"
#include "frontend/decl.h"
#include "frontend/suffix.h"
#include "frontend/vardcl.h"
#include "instance/ac.h"
#include "instance/stamps.h"
#include "instance/sufdecl.h"
#include "instance/sufstore.h"
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

bool members_hold_values(const xnode* d) {
  return is_convar(d) && (d->kind & ~1u) != DK_SVAR &&
         static_cast<const convar*>(d)->ninst >= 0;
}

set* subscript_set(xnode2* d) {
  return members_hold_values(d) ? static_cast<convar*>(d)->gen.members
                                : d->dindex;
}

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
  g.saved_count = m->nmem;
  size_t arity = size_t(m->arity);
  g.saved_subs_class =
      htcl(std::max<size_t>(arity * size_t(m->nmem), 1) * sizeof(symbol*));
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
  // A first release keeps what follows the members by subscript; a
  // partial generation abandoned meanwhile has nothing of its own to keep.
  if (!g.saved_count && g.member_count > 0) {
    savesol(d);
    g.saved_count = g.member_count;
  }
  free_block(g.lb);
  free_block(g.ub);
  free_block(g.init_vals);
  g.lb = g.ub = g.init_vals = nullptr;
  if (set* m = g.members) {
    g.members = nullptr;
    // Suffix values stay laid out for these members until dropcheck.
    sufstore& st = d->sufs;
    if (st.suf_vals && !st.suf_subs && m->nmem > 0)
      st.suf_subs = m;
    else
      sdelete(m);
  }
}

namespace {

// A new enumerated set with the members of s, or null when it has none.
set* member_copy(const set* s) {
  return s && s->nmem > 0 ? set_copy(s) : nullptr;
}

// Drops every suffix value of d, with the record array and the layout.
void sufs_free(sufstore& st) {
  for (int k = 0; k < st.n_suf_vals; ++k) dotdel2(&st, k);
  if (st.suf_vals) del_mblk(st.vals_k, st.suf_vals);
  st.suf_vals = nullptr;
  st.n_suf_vals = 0;
  if (st.suf_subs) sdelete(st.suf_subs);
  st.suf_subs = nullptr;
}

// The suffix values of indexed d laid out for its current members: a
// member found in the old layout (suf_subs) keeps its slots, a new one
// gets the suffix's default.  suf_subs then describes the new layout, so
// that the next regeneration finds the values again.
void suf_remap(convar* d) {
  sufstore& st = d->sufs;
  set* now = d->gen.members;
  if (!st.suf_vals) return;
  if (!now || now->nmem <= 0 || d->gen.member_count <= 0) {
    sufs_free(st);
    return;
  }
  if (!st.suf_subs) {
    st.suf_subs = member_copy(now);
    return;
  }
  if (same_members(st.suf_subs, now)) return;
  int shift = st.suf_shift;
  int32_t per = int32_t(1) << shift;
  int32_t slots = now->nmem << shift;
  // Old member number of each new member, -1 for a new subscript.
  std::vector<int64_t> from;
  from.reserve(size_t(now->nmem));
  for (setmem* m = now->first; m; m = m->next)
    if (m->ord >= 0) from.push_back(set_lookup(st.suf_subs, m->tup()));
  for (int k = 0; k < st.n_suf_vals; ++k) {
    SufVal* v = st.suf_vals[k];
    if (!v) continue;
    suffix* s = suf_bynum(k);
    double dflt = s ? s->init_value : 0;
    int kc = htcl(sizeof(double) * size_t(slots));
    auto* nv = static_cast<double*>(new_mblk(kc, 1));
    v->n_int = v->n_real = 0;
    for (size_t j = 0; j < from.size(); ++j)
      for (int32_t q = 0; q < per; ++q) {
        double x = from[j] >= 0 && v->values ? v->values[(from[j] << shift) + q]
                                             : dflt;
        nv[(int64_t(j) << shift) + q] = x;
        sufv_adjust(v, 0, x);
      }
    if (v->values) del_mblk(v->values_class, v->values);
    v->values = nv;
    v->values_class = kc;
  }
  sdelete(st.suf_subs);
  st.suf_subs = member_copy(now);
}

}  // namespace

void dropcheck(convar* d, int empty, TVA*) {
  cvgen& g = d->gen;
  suf_remap(d);
  int32_t n = g.member_count;
  int32_t old_n = g.saved_count;
  int step = two_slots(d) ? 2 : 1;
  // Where each old member went: -1 for one that is gone.
  std::vector<int32_t> to(size_t(old_n), -1);
  bool moved = old_n != n;
  if (!(d->kind & 1)) {
    if (old_n > 0 && n > 0) to[0] = 0;
  } else if (g.saved_subs && g.saved_subs != scalar_subscrs && g.members) {
    size_t arity = size_t(g.members->arity);
    for (int32_t i = 0; i < old_n; ++i)
      to[size_t(i)] =
          int32_t(set_lookup(g.members, g.saved_subs + arity * size_t(i)));
  }
  for (int32_t i = 0; i < old_n; ++i) moved |= to[size_t(i)] != i;
  uint8_t* old_status = g.saved_status ? g.saved_status : g.member_status;
  if (g.saved_status && g.member_status) free_block(g.member_status);
  double* old_vals = g.cur_vals;
  g.saved_status = g.member_status = nullptr;
  g.cur_vals = nullptr;
  g.state_count = 0;
  if (n > 0 && (old_status || (d->flags & CV_ALLDROPPED))) figalloc(d);
  if (n > 0 && old_vals) vval_alloc(d);
  for (int32_t i = 0; i < old_n; ++i) {
    int32_t j = to[size_t(i)];
    if (j < 0) continue;
    for (int q = 0; q < step; ++q) {
      size_t a = size_t(i) * size_t(step) + size_t(q);
      size_t b = size_t(j) * size_t(step) + size_t(q);
      uint8_t st = old_status ? old_status[a] : uint8_t(GS_HASVAL);
      if (old_vals && (st & GS_HASVAL)) {
        g.cur_vals[b] = old_vals[a];
        g.member_status[b] |= GS_HASVAL;
      }
      if (st & GS_DROPPED) g.member_status[b] |= GS_DROPPED;
    }
    if (g.member_status &&
        (g.member_status[size_t(j) * size_t(step)] & GS_DROPPED))
      ++g.state_count;
  }
  free_block(old_status);
  free_block(old_vals);
  if (g.saved_subs && g.saved_subs != scalar_subscrs) free_block(g.saved_subs);
  g.saved_subs = nullptr;
  g.saved_count = 0;
  // What refers to the members' values sees them moved.
  if (moved) d->stamp2 = std::max(d->stamp2, nextgenlev - 1);
  if (d->flags & CV_ALLDROPPED) {
    g.state_count = n;
  } else if (empty) {
    set_trans_state(1);
  }
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
  b.saved_count = a.member_count;
  a.saved_count = 0;
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
