// Slices of a set by fixed positions.
#include "eval/slice.h"

#include <cstring>
#include <vector>

#include "eval/dispatch.h"
#include "eval/setclass.h"
#include "frontend/expr.h"
#include "support/message.h"
#include "support/pool.h"

namespace vexo {

static set3p* rec3(set* s) { return static_cast<set3p*>(s); }
static slice_rec* rec_of(set* s) {
  return static_cast<slice_rec*>(rec3(s)->f2);
}

// Frees what a build made: the key set and the member sets.
static void drop_build(slice_rec* r) {
  if (!r->keys) return;
  for (int i = 0; i < r->keys->nmem; ++i) sdelete(r->msets[i]);
  if (r->msets) del_mblk(r->mk, r->msets);
  r->msets = nullptr;
  sdelete(r->keys);
  r->keys = nullptr;
}

static void free_rec(slice_rec* r) {
  drop_build(r);
  if (r->empty) sdelete(r->empty);
  del_mblk(htcl(sizeof(slice_rec)), r);
}

static void unref_rec(slice_rec* r) {
  if (--r->refcnt <= 0) free_rec(r);
}

static bool same_pattern(const slice_rec* r, int nfix, const int32_t* pos,
                         int whole) {
  if (r->nfix != nfix || r->whole != whole) return false;
  for (int i = 0; i < nfix; ++i)
    if (r->pos[i] != pos[i]) return false;
  return true;
}

slice_rec* find_slice(set* S, int nfix, const int32_t* pos, int whole) {
  for (slice_rec* r = static_cast<slice_rec*>(S->slices); r; r = r->next)
    if (same_pattern(r, nfix, pos, whole)) return r;
  return nullptr;
}

// The record of S for the pattern: a shared one from S's cache, or a new
// one (cached when S has no owner); the caller holds one reference.
static slice_rec* record_for(set* S, const int32_t* pos, int nfix, int whole) {
  if (nfix < 0 || nfix > S->arity || nfix > TUPMAX)
    bug("slice of %d positions of a set of dimen %d", nfix, S->arity);
  slice_rec* r = S->owner ? nullptr : find_slice(S, nfix, pos, whole);
  if (r) {
    ++r->refcnt;
  } else {
    r = static_cast<slice_rec*>(new_mblk(htcl(sizeof(slice_rec)), 1));
    r->nfix = nfix;
    r->whole = whole;
    r->arity = S->arity;
    std::memcpy(r->pos, pos, sizeof(int32_t) * nfix);
    r->sliced = S;
    r->refcnt = 1;
    r->empty = set_enum(new_enum(), whole ? S->arity : S->arity - nfix);
    if (!S->owner) {
      // The cache holds the record until S goes.
      r->next = static_cast<slice_rec*>(S->slices);
      S->slices = r;
      ++r->refcnt;
    }
  }
  return r;
}

set* set_slice(set* S, expr* key, const int32_t* pos, int nfix, int whole) {
  slice_rec* r = record_for(S, pos, nfix, whole);
  set3p* s = new_set3p();
  s->kind = SET_KIND;
  s->sclass = SC_SLICE;
  s->nmem = -1;
  s->refcnt = 1;
  s->arity = whole ? S->arity : S->arity - nfix;
  s->in = set_slice_in;
  s->genall = set_slice_genall;
  s->f1 = key;
  s->f2 = r;
  s->f3 = S;
  return s;
}

// The record from S's members: their keys first, then each key's member
// set filled with its members together, so that a member set's nodes lie
// side by side and its table is sized once.
static void build(slice_rec* r, TVA* tva) {
  set* S = r->sliced;
  // Generating S marks the records of its cache stale: first.
  if (S->nmem < 0) set_genall(S, tva);
  drop_build(r);
  r->stale = 0;
  int n = r->nfix, ar = r->arity;
  size_t mar = size_t(r->whole ? ar : ar - n);
  r->keys = set_enum(new_enum(), n);
  // Each member's key ordinal and the part its member set holds, in S's
  // order; then the parts grouped by key.
  std::vector<int32_t> kord, count;
  std::vector<symbol*> parts;
  kord.reserve(size_t(S->nmem));
  parts.reserve(size_t(S->nmem) * mar);
  symbol* key[TUPMAX];
  for (setmem* m = S->first; m; m = m->next) {
    if (m->ord < 0) continue;
    symbol** t = m->tup();
    for (int j = 0, f = 0; j < ar; ++j) {
      if (f < n && r->pos[f] == j)
        key[f++] = t[j];
      else if (!r->whole)
        parts.push_back(t[j]);
    }
    if (r->whole) parts.insert(parts.end(), t, t + ar);
    int ord = r->keys->lookup(key);
    if (ord < 0) {
      ord = r->keys->nmem;
      r->keys->addmem(key);
      count.push_back(0);
    }
    ++count[size_t(ord)];
    kord.push_back(ord);
  }
  size_t nk = count.size();
  std::vector<size_t> at(nk + 1, 0);
  for (size_t k = 0; k < nk; ++k) at[k + 1] = at[k] + size_t(count[k]);
  std::vector<symbol*> grouped(parts.size());
  {
    std::vector<size_t> next(at.begin(), at.end() - 1);
    for (size_t i = 0; i < kord.size(); ++i) {
      size_t to = next[size_t(kord[i])]++;
      for (size_t c = 0; c < mar; ++c)
        grouped[to * mar + c] = parts[i * mar + c];
    }
  }
  r->mk = htcl(sizeof(set*) * (nk ? nk : 1));
  r->msets = static_cast<set**>(new_mblk(r->mk));
  for (size_t k = 0; k < nk; ++k) {
    set* ms = set_enum(new_enum(), int(mar));
    ms->new_htab(count[k]);
    r->msets[k] = ms;
    for (size_t i = at[k]; i < at[k + 1]; ++i)
      if (ms->addmem(grouped.data() + i * mar))
        terror(tva, "bug: duplicate slice member");
  }
}

// The member set of the key the slice's key expressions give now, or null.
static set* keyed(set* s, TVA* tva) {
  slice_rec* r = rec_of(s);
  if (!r->keys || r->stale || r->sliced->nmem < 0) build(r, tva);
  symbol* key[TUPMAX];
  int i = 0;
  for (expr* e = static_cast<expr*>(rec3(s)->f1); e && i < r->nfix; e = e->next)
    key[i++] = eval_sym(e, tva);
  int ord = static_cast<int>(r->keys->lookup(key));
  return ord < 0 ? nullptr : r->msets[ord];
}

void slice_rebase(set* s) {
  slice_rec* r = rec_of(s);
  set* S = static_cast<set*>(rec3(s)->f3);
  if (r->sliced == S) return;
  rec3(s)->f2 = record_for(S, r->pos, r->nfix, r->whole);
  unref_rec(r);
}

void set_slice_genall(set* s, TVA* tva) {
  if (s->slices) slice_cache_clear(s);
  set* m = keyed(s, tva);
  set_adopt(s, m ? m : rec_of(s)->empty);
}

int set_slice_in(set* s, symbol** tuple, TVA* tva) {
  set* m = keyed(s, tva);
  return m ? static_cast<int>(set_in(m, tuple, tva)) : NOT_MEMBER;
}

void slice_cache_clear(set* S) {
  for (slice_rec* r = static_cast<slice_rec*>(S->slices); r; r = r->next)
    r->stale = 1;
}

void del_slice(set* S) {
  slice_rec* r = static_cast<slice_rec*>(S->slices);
  S->slices = nullptr;
  while (r) {
    slice_rec* next = r->next;
    r->next = nullptr;
    // Slices still using the record keep it; it no longer has a set to
    // be rebuilt from, so it keeps what it has.
    r->sliced = nullptr;
    unref_rec(r);
    r = next;
  }
}

void release_slice(set* s) {
  set3p* r = rec3(s);
  for (expr* e = static_cast<expr*>(r->f1); e;) {
    expr* n = e->next;
    e->next = nullptr;
    edelete(e);
    e = n;
  }
  // The adopted members and table belong to the record's member sets.
  drop_members(s);
  set* S = static_cast<set*>(r->f3);
  unref_rec(static_cast<slice_rec*>(r->f2));
  sdelete(S);
  r->f1 = r->f2 = r->f3 = nullptr;
}

}  // namespace vexo
