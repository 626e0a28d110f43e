// Value storage of declarations.
#include "data/values.h"

#include <cstring>
#include <vector>

#include "data/readdata.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "frontend/decl.h"
#include "frontend/paramdcl.h"
#include "instance/stamps.h"
#include "session/loop.h"
#include "support/format.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

// Kind of a declaration without its indexed bit.
static uint32_t base_kind(const xnode* d) { return d->kind & ~1u; }

static int sub_arity(const xnode* d) {
  return d->indexing ? d->indexing->arity : 0;
}

size_t val_size(const xnode* d) {
  switch (base_kind(d)) {
    case DK_SPARAM:
      return sizeof(symval);
    case DK_PROB:
      return 0;
    default:
      return 8;
  }
}

bool val_symbolic(const xnode* d) {
  uint32_t k = base_kind(d);
  return k == DK_SPARAM || k == DK_SVAR;
}

sufvals* sufv_find(const xnode2* d, int n) {
  for (sufvals* s = static_cast<sufvals*>(d->sufv); s; s = s->next)
    if (s->sufnum == n) return s;
  return nullptr;
}

int svupdate(symval* v, cstr* s, symbol* num) {
  if (s) {
    const char* t = s->text();
    if ((v->sym && !is_number(v->sym) && !std::strcmp(v->sym->name, t)) ||
        (v->str && (v->str == s || !std::strcmp(v->str->text(), t)))) {
      zap_cstr(&s);
      return 0;
    }
    zap_cstr(&v->str);
    v->str = s;
    v->sym = nullptr;
    return 1;
  }
  if (v->sym == num) return 0;
  v->sym = num;
  if (v->str && std::strcmp(v->str->text(), num->name) != 0) zap_cstr(&v->str);
  return 1;
}

// Makes the block *p (class *k, -1 or a null *p for none) hold need bytes,
// of which the first have are kept; new bytes are zero.  Classes at least
// double, so that growing by one member at a time costs amortised O(1).
static void grow(void** p, int32_t* k, size_t need, size_t have) {
  if (*p && need <= (size_t{8} << *k)) return;
  int knew = htcl(need);
  if (*p && knew <= *k) knew = *k + 1;
  void* b = *p ? ext_mblk(*k, *p, knew, have) : new_mblk(knew);
  if (!*p) have = 0;
  std::memset(static_cast<char*>(b) + have, 0, (size_t{8} << knew) - have);
  *p = b;
  *k = knew;
}

void val_extend(xnode2* d, int extra) {
  size_t n = static_cast<size_t>(d->nvals);
  size_t need = n + 1 + (extra ? 1 : 0);
  if (size_t esz = val_size(d)) grow(&d->vals, &d->valk, need * esz, n * esz);
  if (d->stat) grow(reinterpret_cast<void**>(&d->stat), &d->statk, need, n);
  for (sufvals* s = static_cast<sufvals*>(d->sufv); s; s = s->next)
    grow(reinterpret_cast<void**>(&s->v), &s->k, need * 8, n * 8);
}

uint8_t* stat_of(xnode2* d, int32_t i) {
  size_t need = static_cast<size_t>(i < d->nvals ? d->nvals : i + 1);
  size_t have = d->stat ? size_t{8} << d->statk : 0;
  grow(reinterpret_cast<void**>(&d->stat), &d->statk, need, have);
  return d->stat + i;
}

// The suffix array of suffix number n of d, made (empty) when absent.
static sufvals* sufv_of(xnode2* d, int n) {
  sufvals* s = sufv_find(d, n);
  if (!s) {
    s = static_cast<sufvals*>(new_mblk(htcl(sizeof(sufvals)), 1));
    s->next = static_cast<sufvals*>(d->sufv);
    s->sufnum = n;
    s->k = -1;
    d->sufv = s;
  }
  return s;
}

void* val_cell(xnode2* d, int kind, int32_t i) {
  if (kind < 3) return static_cast<char*>(d->vals) + i * val_size(d);
  sufvals* s = sufv_of(d, kind - 3);
  size_t need = static_cast<size_t>(i < d->nvals ? d->nvals : i + 1) * 8;
  grow(reinterpret_cast<void**>(&s->v), &s->k, need,
       s->v ? size_t{8} << s->k : 0);
  return s->v + i;
}

static set* data_index(xnode2* d);

// ---- statement collection --------------------------------------------------

void dcol_start(dcol* c, xnode2* d, int kind) {
  c->d = d;
  c->kind = kind;
  c->esz = kind >= 3 ? 8 : static_cast<int>(val_size(d));
  int n = sub_arity(d);
  c->indx = n ? set_enum(new_enum(), n) : nullptr;
  c->el = nullptr;
  c->elk = -1;
  c->nel = 0;
}

// Releases the strings held by element cells that were not stored.
static void drop_cell(const dcol* c, void* cell) {
  if (c->esz == static_cast<int>(sizeof(symval)))
    zap_cstr(&static_cast<symval*>(cell)->str);
}

void dcol_free(dcol* c) {
  if (c->el) {
    for (int32_t i = 0; i < c->nel; ++i)
      drop_cell(c, static_cast<char*>(c->el) + i * c->esz);
    del_mblk(c->elk, c->el);
  }
  if (c->indx) sdelete(c->indx);
  c->el = nullptr;
  c->elk = -1;
  c->nel = 0;
  c->indx = nullptr;
}

void* addval(dcol* c, symbol* const* tuple) {
  if (c->indx ? set_addmem(c->indx, const_cast<symbol**>(tuple)) != 0
              : c->nel > 0) {
    Squawk("%s already defined", sub_name(c->d, tuple));
    return nullptr;
  }
  size_t esz = static_cast<size_t>(c->esz ? c->esz : 8);
  size_t have = static_cast<size_t>(c->nel) * esz;
  grow(&c->el, &c->elk, have + esz, have);
  return static_cast<char*>(c->el) + c->nel++ * esz;
}

void el_number(dcol* c, void* cell, double v) {
  if (c->kind < 3 && val_symbolic(c->d)) {
    if (c->esz == static_cast<int>(sizeof(symval)))
      *static_cast<symval*>(cell) = {Number(v), nullptr};
    else
      *static_cast<symbol**>(cell) = Number(v);
    return;
  }
  *static_cast<double*>(cell) = v;
}

void el_string(dcol* c, void* cell, cstr* s) {
  if (c->esz == static_cast<int>(sizeof(symval))) {
    *static_cast<symval*>(cell) = {nullptr, s};
    return;
  }
  if (c->kind < 3 && val_symbolic(c->d))
    *static_cast<symbol**>(cell) = Symbol(s->text(), 1);
  zap_cstr(&s);
}

// Stores an element into the declaration's cell; returns 1 when the value
// changed.  The element's string passes to the cell.
static int store(const dcol* c, void* to, void* from) {
  if (c->esz == static_cast<int>(sizeof(symval))) {
    symval* e = static_cast<symval*>(from);
    int r =
        svupdate(static_cast<symval*>(to), e->str, e->str ? nullptr : e->sym);
    e->str = nullptr;
    return r;
  }
  if (std::memcmp(to, from, 8) == 0) return 0;
  std::memcpy(to, from, 8);
  return 1;
}

// Records that c's suffix values of its declaration changed: they are due
// for checking again, also when the stamp has not moved since the last
// check.
static void sufv_changed(const dcol* c) {
  if (c->kind < 3) return;
  if (sufvals* s = sufv_find(c->d, c->kind - 3)) {
    s->changed = nextgenlev;
    s->checked = 0;
  }
}

// The scalar form of end_param: the one element, if any, into member 0.
static void end_scalar(dcol* c) {
  xnode2* d = c->d;
  if (!c->nel) return;
  bool added = !d->nvals;
  if (added) {
    val_extend(d, 0);
    d->nvals = 1;
    if (c->kind >= 3 && is_convar(d)) *stat_of(d, 0) |= MS_NOVALUE;
  }
  if (c->esz && (store(c, val_cell(d, c->kind, 0), c->el) || added))
    sufv_changed(c);
  if (c->kind < 3 && d->stat) d->stat[0] &= ~MS_NOVALUE;
  ts_update(d, 0);
  if (c->kind < 3) note_change(d, 0);
}

// First data of an indexed declaration: the statement's index set and its
// element list become the declaration's.
static void take_over(dcol* c) {
  xnode2* d = c->d;
  d->dindex = c->indx;
  d->dindex->owner = d;
  int32_t n = c->nel;
  if (c->kind < 3 && c->esz) {
    if (d->vals) del_mblk(d->valk, d->vals);
    d->vals = c->el;
    d->valk = c->elk;
    d->nvals = n;
  } else {
    // Suffix values only: a zeroed value array beside them.
    size_t esz = val_size(d);
    if (esz) grow(&d->vals, &d->valk, static_cast<size_t>(n) * esz, 0);
    d->nvals = n;
    if (c->kind >= 3) {
      sufvals* s = sufv_of(d, c->kind - 3);
      if (s->v) del_mblk(s->k, s->v);
      s->v = static_cast<double*>(c->el);
      s->k = c->elk;
      sufv_changed(c);
      if (is_convar(d)) {
        stat_of(d, n - 1);
        std::memset(d->stat, MS_NOVALUE, static_cast<size_t>(n));
      }
    } else {
      del_mblk(c->elk, c->el);
    }
  }
  c->indx = nullptr;
  c->el = nullptr;
  c->elk = -1;
  c->nel = 0;
  if (c->kind < 3)
    for (int32_t i = 0; i < n; ++i) note_change(d, i);
}

void end_param(dcol* c) {
  xnode2* d = c->d;
  // Messages here must not abort the statement half way.
  int saved_eexit = suspend_warning_exit();
  // Plain data mark the declaration read; a statement that gave nothing
  // (only errors, say) leaves it open for the data that mend it.  The
  // permission of `update data` is used up by these data: further data
  // are refused again.
  if (c->kind == 0 && (c->indx ? c->indx->nmem > 0 : c->nel > 0)) {
    d->dflags |= DF_READ;
    d->dflags &= ~DF_UPDATE;
  }
  if (!c->indx) {
    end_scalar(c);
  } else if (!c->indx->nmem) {
    // Nothing added.
  } else if (!d->dindex) {
    take_over(c);
    ts_update(d, 0);
  } else {
    bool changed = false;
    bool sufchanged = false;
    for (setmem* m = c->indx->first; m; m = m->next) {
      void* from = static_cast<char*>(c->el) + m->ord * c->esz;
      int64_t ord = set_lookup(d->dindex, m->tup());
      if (ord < 0) {
        val_extend(d, 0);
        set_addmem(data_index(d), m->tup());
        ord = d->nvals++;
        if (c->kind >= 3 && is_convar(d)) *stat_of(d, ord) |= MS_NOVALUE;
        if (c->esz) {
          store(c, val_cell(d, c->kind, ord), from);
          sufchanged = true;
        }
        if (c->kind < 3) note_change(d, static_cast<int32_t>(ord));
        changed = true;
        continue;
      }
      int32_t i = static_cast<int32_t>(ord);
      uint8_t st = d->stat ? d->stat[i] : 0;
      if ((st & MS_COMPUTED) && !(d->dflags & DF_DATADFLT)) {
        Squawk("%s already has a value computed from its default",
               sub_name(d, m->tup()));
        continue;
      }
      if (c->esz && store(c, val_cell(d, c->kind, i), from)) {
        *stat_of(d, i) |= MS_CHANGED;
        if (c->kind < 3) note_change(d, i);
        changed = sufchanged = true;
      }
      if (c->kind < 3 && (st & MS_NOVALUE)) d->stat[i] &= ~MS_NOVALUE;
    }
    if (changed) ts_update(d, 0);
    if (sufchanged) sufv_changed(c);
  }
  dcol_free(c);
  resume_warning_exit(saved_eexit);
}

// ---- members added and dropped one by one -----------------------------------

// d's data index set, made (empty) when absent, to add members to: one that
// other holders share (a variable indexed alike, instance/memberset.h) is
// copied first.
static set* data_index(xnode2* d) {
  if (!d->dindex) {
    d->dindex = set_enum(new_enum(), sub_arity(d));
    d->dindex->owner = d;
  } else if (d->dindex->refcnt > 1) {
    d->dindex = mutable_set(d->dindex);
    d->dindex->owner = d;
  }
  return d->dindex;
}

int32_t val_add(xnode2* d, symbol* const* t) {
  if (d->indexing && sub_arity(d) > 0) {
    val_extend(d, 0);
    if (set_addmem(data_index(d), const_cast<symbol**>(t)))
      bug("val_add: a member twice");
  } else if (d->nvals) {
    bug("val_add: a second member of a scalar");
  } else {
    val_extend(d, 0);
  }
  return d->nvals++;
}

void val_reserve(xnode2* d, int64_t extra) {
  if (extra <= 0 || extra > (int64_t{1} << 30)) return;
  size_t n = static_cast<size_t>(d->nvals), need = n + size_t(extra);
  if (size_t esz = val_size(d)) grow(&d->vals, &d->valk, need * esz, n * esz);
  if (d->stat) grow(reinterpret_cast<void**>(&d->stat), &d->statk, need, n);
  if (d->indexing && sub_arity(d) > 0) {
    set* s = data_index(d);
    set_reserve(s, s->nmem + extra);
  }
}

int32_t val_append(xnode2* d, symbol* const* t) {
  if (!d->indexing || sub_arity(d) <= 0) return val_add(d, t);
  val_extend(d, 0);
  set* s = data_index(d);
  // A fresh index gets its table at its first look-up.
  if (s->nmem == 0 && s->htab) set_forget_table(s);
  if (!s->htab)
    set_append(s, t);
  else if (s->addmem(t))
    bug("val_append: a member twice");
  return d->nvals++;
}

void val_share(xnode2* d, set* index) {
  if (d->nvals || !d->indexing || index->arity != sub_arity(d))
    bug("val_share: %s cannot take a data index", d->name->name);
  size_t n = static_cast<size_t>(index->nmem);
  if (size_t esz = val_size(d)) grow(&d->vals, &d->valk, n * esz, 0);
  if (d->stat) grow(reinterpret_cast<void**>(&d->stat), &d->statk, n, 0);
  for (sufvals* s = static_cast<sufvals*>(d->sufv); s; s = s->next)
    grow(reinterpret_cast<void**>(&s->v), &s->k, n * 8, 0);
  ++index->refcnt;
  if (d->dindex) sdelete(d->dindex);
  d->dindex = index;
  d->nvals = index->nmem;
}

void val_share_numbers(xnode2* d, set* index, double* vals, int k) {
  size_t n = static_cast<size_t>(index->nmem), cap = size_t{8} << k;
  if (val_size(d) != sizeof(double) || n * sizeof(double) > cap)
    bug("val_share_numbers: %s cannot take %zu numbers", d->name->name, n);
  std::memset(vals + n, 0, cap - n * sizeof(double));
  if (d->vals) del_mblk(d->valk, d->vals);
  d->vals = vals;
  d->valk = k;
  val_share(d, index);
}

// Drops the members i of d for which gone(i) holds, with their cells
// (strings of symbolic values and member sets of indexed sets released)
// and suffix values; the survivors keep their order and are numbered again
// from 0 in the data index.
template <class Gone>
static void drop_where(xnode2* d, Gone gone) {
  int32_t n = d->nvals;
  int32_t kept = 0;
  for (int32_t i = 0; i < n; ++i) kept += !gone(i);
  if (kept == n) return;
  size_t esz = val_size(d);
  bool sets = d->kind == DK_SETI;
  char* vals = static_cast<char*>(d->vals);
  set* index = d->dindex;
  set* survivors = index ? set_enum(new_enum(), index->arity) : nullptr;
  // The subscripts by ordinal.
  std::vector<symbol* const*> tup(size_t(n), nullptr);
  for (setmem* m = index ? index->first : nullptr; m; m = m->next)
    if (m->ord >= 0 && m->ord < n) tup[size_t(m->ord)] = m->tup();
  int32_t j = 0;
  for (int32_t i = 0; i < n; ++i) {
    symbol* const* t = tup[size_t(i)];
    if (gone(i)) {
      if (esz == sizeof(symval))
        zap_cstr(&reinterpret_cast<symval*>(vals)[i].str);
      else if (sets && reinterpret_cast<set**>(vals)[i])
        sdelete(reinterpret_cast<set**>(vals)[i]);
      continue;
    }
    if (survivors) set_addmem(survivors, const_cast<symbol**>(t));
    if (j != i) {
      if (esz) std::memcpy(vals + j * esz, vals + i * esz, esz);
      if (d->stat) d->stat[j] = d->stat[i];
      for (sufvals* s = static_cast<sufvals*>(d->sufv); s; s = s->next)
        if (s->v) s->v[j] = s->v[i];
    }
    ++j;
  }
  if (esz) std::memset(vals + kept * esz, 0, size_t(n - kept) * esz);
  if (d->stat) std::memset(d->stat + kept, 0, size_t(n - kept));
  for (sufvals* s = static_cast<sufvals*>(d->sufv); s; s = s->next)
    if (s->v) std::memset(s->v + kept, 0, size_t(n - kept) * 8);
  if (index) {
    survivors->owner = d;
    sdelete(index);
    d->dindex = survivors;
  }
  d->nvals = kept;
}

void val_drop(xnode2* d, int all) {
  drop_where(d, [d, all](int32_t i) {
    return all || (d->stat && (d->stat[i] & MS_COMPUTED));
  });
}

void val_discard(xnode2* d, const uint8_t* gone) {
  drop_where(d, [gone](int32_t i) { return gone[i] != 0; });
}

void val_truncate(xnode2* d, int32_t n) {
  drop_where(d, [n](int32_t i) { return i >= n; });
}

setdcl* sole_set(const xnode* d) {
  const set_spec* ss = d->indexing;
  if (!ss || ss->cond || ss->precond) return nullptr;
  const Index* x = ss->first;
  if (!x || x->next || x->cond || !x->s || !x->s->owner ||
      x->s->owner->kind != DK_SET ||
      (x->s->sclass != SC_NAMED && x->s->sclass != SC_ENUM))
    return nullptr;
  for (const expr* e = x->dummies; e; e = e->next)
    if (opcode(e) != OPDUMMY) return nullptr;
  return static_cast<setdcl*>(x->s->owner);
}

set* shareable_index(const xnode* d) {
  setdcl* sd = sole_set(d);
  if (!sd || sd->asgn) return nullptr;
  set* v = sd->value;
  if (!v || v == sd->dflt || v->sclass != SC_ENUM || v->owner != sd ||
      v->nmem <= 0 || v->arity != sub_arity(d))
    return nullptr;
  int32_t k = 0;
  for (const setmem* m = v->first; m; m = m->next)
    if (m->ord != k++) return nullptr;
  return k == v->nmem ? v : nullptr;
}

// ---- member sets of indexed sets ------------------------------------------

set* gsfinish(setdcl* d, symbol* const* sub) {
  symbol** t = const_cast<symbol**>(sub);
  int64_t ord = set_lookup(data_index(d), t);
  set** cells;
  if (ord < 0) {
    ord = val_add(d, t);
    cells = static_cast<set**>(d->vals);
  } else {
    cells = static_cast<set**>(d->vals);
    if (cells[ord]) sdelete(cells[ord]);
    if (d->stat) d->stat[ord] &= ~MS_FROMDFLT;
  }
  set* m = set_enum(new_enum(), d->dimen);
  m->owner = d;
  cells[ord] = m;
  ts_update(d, 0);
  note_change(d, static_cast<int32_t>(ord));
  return m;
}

set* member_set(setdcl* d, symbol* const* sub) {
  if (!d->dindex) return nullptr;
  int64_t ord = set_lookup(d->dindex, const_cast<symbol**>(sub));
  return ord < 0 ? nullptr : static_cast<set**>(d->vals)[ord];
}

// ---- names for messages ----------------------------------------------------

static mstr* name_buf;

const char* sub_name(const xnode* d, symbol* const* tuple) {
  mstr_free(&name_buf);
  mprintf(&name_buf, "%s", d->name->name);
  int n = sub_arity(d);
  if (tuple && n) {
    for (int i = 0; i < n; ++i)
      mprintf(&name_buf, is_number(tuple[i]) ? "%c%s" : "%c%Q", i ? ',' : '[',
              tuple[i]->name);
    mprintf(&name_buf, "]");
  }
  return mstr_val(name_buf);
}

void values_reset() { name_buf = nullptr; }

}  // namespace vexo
