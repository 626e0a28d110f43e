// Linear terms and their pool; freeing arrays of term lists.
#include "instance/varref.h"

#include <cstring>

#include "eval/evalerr.h"
#include "eval/set.h"
#include "frontend/decl.h"
#include "frontend/strexpr.h"
#include "frontend/vardcl.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"

namespace vexo {

varref* varref_freelist;
varref* varref_bump;
varref* varref_bump_end;
int varref_kill0;

namespace {

constexpr int TERMS_PER_BLOCK = 1600;
// Small blocks before the large ones (102,400 terms), and the terms of a
// large block (16 MiB).
constexpr int SMALL_BLOCKS = 64;
constexpr size_t LARGE_TERMS = (size_t{16} << 20) / sizeof(varref);

// Small blocks taken since start-up or `reset`.
int small_blocks;

bool is_variable(const xnode* d) {
  uint32_t k = d->kind & ~1u;
  return k == DK_VAR || k == DK_SVAR;
}


// The column lists of the n row lists r in a zero-filled block of class
// new_k: the terms themselves (Copy false) or copies of them (new_varref,
// the rows left as they are).  Rows are taken from the last to the first,
// so every column lists its rows in increasing order.  counts, when not
// null, gets the terms placed in rows below split and in the others.
template <bool Copy, class T>
T** columns_of(T* const* r, int new_k, int32_t n, int32_t split,
               int64_t* counts) {
  if (!r) n = 0;
  T** cols = static_cast<T**>(new_mblk(new_k, 1));
  size_t ncols = (size_t{8} << new_k) / sizeof(T*);
  int64_t placed[2] = {0, 0};
  for (int32_t i = n - 1; i >= 0; --i) {
    int64_t& count = placed[i < split ? 0 : 1];
    for (T* t = r[i]; t;) {
      T* next = vnext(t);
      size_t c = static_cast<size_t>(static_cast<uint32_t>(t->index));
      if (c >= ncols)
        bug("transpose: column %d of row %d outside %zu columns", t->index,
            i, ncols);
      if constexpr (Copy) {
        T* head = cols[c];
        cols[c] = new_varref(head, i, t->coef);
        count += cols[c] != head;
      } else {
        t->index = i;
        set_vnext(t, cols[c]);
        cols[c] = t;
        ++count;
      }
      t = next;
    }
  }
  if (counts) {
    counts[0] = placed[0];
    counts[1] = placed[1];
  }
  return cols;
}

template <class T>
T** transpose_lists(T*** rows, int old_k, int new_k, int32_t n) {
  T** r = *rows;
  *rows = nullptr;
  T** cols = columns_of<false>(r, new_k, n, 0, nullptr);
  if (r) del_mblk(old_k, r);
  return cols;
}

}  // namespace

void varref_reinit() {
  varref_freelist = nullptr;
  varref_bump = varref_bump_end = nullptr;
  varref_kill0 = 0;
  small_blocks = 0;
}

varref* varref_refill() {
  // The block is handed out in order as terms are made: no pass links it
  // first, and its pages are touched only when used.  Once a problem has
  // taken SMALL_BLOCKS blocks it is a large one: its terms come in blocks
  // of LARGE_TERMS, which the arena backs with huge pages, so that filling
  // them costs one page fault per 2 MiB instead of one per 4 KiB (the
  // faults took a third of the time of a run with ten million terms).  The
  // unused tail of the newest block is never touched.
  size_t n = TERMS_PER_BLOCK;
  if (small_blocks < SMALL_BLOCKS)
    ++small_blocks;
  else
    n = LARGE_TERMS;
  auto* b = static_cast<varref*>(narena_take(n * sizeof(varref)));
  varref_bump = b + 1;
  varref_bump_end = b + n;
  return b;
}

void varref_nonfinite(int32_t index, double coef) {
  mgwhere(nullptr);
  Fprintf(Stderr, "can't multiply ");
  if (var* v = vxfind(index)) {
    Fprintf(Stderr, "%s", v->name->name);
    const cvgen& g = v->gen;
    int32_t j = index - g.first_col;
    if ((v->kind & 1) && g.members && j < g.members->nmem) {
      setmem* m = set_ordidx(g.members, nullptr)[j];
      if (m) Fprintf(Stderr, "%s", slist(g.members->arity, m->tup(), 0));
    }
  }
  Fprintf(Stderr, " by %s\n", std::isnan(coef) ? "NaN" : "Infinity");
  bailout();
}

void free_varref(varref* v) {
  if (!v) return;
  varref* last = v;
  while (last->link) last = varref_at(last->link);
  set_vnext(last, varref_freelist);
  varref_freelist = v;
}

var* var_of_column(int32_t n) {
  const xclass_rec& c = xclass[XC_ALLVARS];
  for (int32_t i = 0; i < c.n; ++i) {
    xnode* d = c.a[i];
    if (!d || !is_variable(d)) continue;
    const cvgen& g = static_cast<var*>(d)->gen;
    if (g.member_count > 0 && n >= g.first_col &&
        n - g.first_col < g.member_count)
      return static_cast<var*>(d);
  }
  return nullptr;
}

var* vxfind(int32_t n) {
  var* v = var_of_column(n);
  if (!v) Fprintf(Stderr, "<<< Bug: vxfind(%d) failure>>> by ", n);
  return v;
}

varref** transpose(varref*** rows, int old_k, int new_k, int32_t n) {
  return transpose_lists(rows, old_k, new_k, n);
}

plterm** transpose(plterm*** rows, int old_k, int new_k, int32_t n) {
  return transpose_lists(rows, old_k, new_k, n);
}

varref** transpose_copy(varref* const* rows, int new_k, int32_t n,
                        int32_t split, int64_t counts[2]) {
  return columns_of<true>(rows, new_k, n, split, counts);
}

void vrefzap(varref*** a, int k, int32_t n) {
  varref** p = *a;
  if (!p) return;
  for (int32_t i = 0; i < n; ++i) free_varref(p[i]);
  del_mblk(k, p);
  *a = nullptr;
}

void exprzap(expr*** a, int k, int32_t n) {
  expr** p = *a;
  if (!p) return;
  for (int32_t i = 0; i < n; ++i) ldelete(p[i]);
  del_mblk(k, p);
  *a = nullptr;
}

void plzap(plterm*** a, int k, int32_t n) {
  plterm** p = *a;
  if (!p) return;
  for (int32_t i = 0; i < n; ++i)
    for (plterm* t = p[i]; t;) {
      plterm* next = vnext(t);
      del_mblk(t->block_class, t);
      t = next;
    }
  del_mblk(k, p);
  *a = nullptr;
}

void Is_zap(var_dom** a, int k, int32_t n) {
  var_dom* p = *a;
  if (!p) return;
  for (int32_t i = 0; i < n; ++i) {
    if (p[i].members) del_enum(p[i].members);
    if (p[i].ivals) del_mblk(p[i].ivals->k, p[i].ivals);
  }
  del_mblk(k + 1, p);
  *a = nullptr;
}

void cvszap(CVseen* c) {
  if (c->block) del_mblk(c->k, c->block);
  c->block = nullptr;
  c->k = c->n_decls = c->n_sufs = 0;
}

}  // namespace vexo
