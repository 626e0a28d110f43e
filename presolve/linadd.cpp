// Rows and columns added by presolve, and the names they carry.
#include "presolve/linadd.h"

#include <algorithm>
#include <cstring>

#include "frontend/decl.h"
#include "frontend/vardcl.h"
#include "instance/ac.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "instance/names.h"
#include "presolve/internal.h"
#include "presolve/presolve.h"
#include "solver/nlwrite.h"
#include "support/format.h"
#include "support/message.h"
#include "support/machine.h"
#include "support/pool.h"
#include "support/symbol.h"

namespace vexo {

// ---- Names -------------------------------------------------------------------

namespace {

// Generated names' records: sized as a variable declaration and zeroed,
// so readers that look into a name's declaration find no members, flags
// or values.  They are carved from chunks of NAMES_PER_CHUNK, linked for
// freeing.
constexpr int32_t NAMES_PER_CHUNK = 32;
struct name_chunk {
  name_chunk* next;
  int32_t used, k;
  var* rec(int32_t i) {
    return reinterpret_cast<var*>(reinterpret_cast<char*>(this + 1) +
                                  size_t(i) * sizeof(var));
  }
};
static_assert(std::is_trivially_destructible_v<name_chunk> &&
              sizeof(name_chunk) % alignof(var) == 0);

name_chunk* names_made;  // the chunks of the last presolve, newest first

// Numeric subscripts 0, 1, ...: member records of one symbol each, in
// blocks that stay while names point into them (sm_blocks chains them:
// the first word of each block links the one before).
setmem** sm_cache;  // by number
int32_t sm_n;       // numbers cached
int sm_cache_k;
void* sm_blocks;

// Generated names' texts: packed in blocks chained as sm_blocks are,
// text_at the free room of the newest, text_left its bytes.  Interning
// them as symbols would cost a hash lookup per name and keep them for the
// session; they are dropped with the problem that holds them.  Each block
// is twice the last, up to TEXT_BLOCK_MAX: a linearisation's names fill
// tens of megabytes, and blocks that large are backed by huge pages (one
// page fault per 2 MiB of names instead of one per 4 KiB).
void* text_blocks;
char* text_at;
size_t text_left;
size_t text_block;  // the size of the next block, 0 for the first
constexpr size_t TEXT_BLOCK = 1 << 16, TEXT_BLOCK_MAX = size_t{16} << 20;

// The last name's text up to its tag, and the entities it came from: a
// linearisation names several rows and columns after one pair in a row.
std::vector<char> dname_text;
size_t dname_prefix;
xname dname_key[2];
bool dname_keyed, dname_two;
// The end of the last name: "_k)" (k > 1) or ")", and the NUL.
char dname_end[16];
size_t dname_end_len;
int dname_k = -1;

struct sm_rec {  // a member record with its one symbol
  setmem m;
  symbol* sym;
};

}  // namespace

// Frees a chain of blocks whose first word links the block before.
static void free_chain(void** head) {
  while (void* b = *head) {
    std::memcpy(head, b, sizeof b);
    del_mblk(blkclass(b), b);
  }
}

void gen_names_free() {
  dname_keyed = false;  // its texts may be freed
  while (name_chunk* c = names_made) {
    names_made = c->next;
    del_mblk(c->k, c);
  }
  free_chain(&text_blocks);
  text_at = nullptr;
  text_left = 0;
  text_block = 0;
  free_chain(&sm_blocks);
  if (sm_cache) del_mblk(sm_cache_k, sm_cache);
  sm_cache = nullptr;
  sm_n = 0;
}

void gen_names_reset() {
  dname_keyed = false;
  dname_k = -1;
  names_made = nullptr;
  text_blocks = nullptr;
  text_at = nullptr;
  text_left = 0;
  text_block = 0;
  sm_cache = nullptr;
  sm_blocks = nullptr;
  sm_n = 0;
}

setmem* sm_gen(int32_t j) {
  if (j < sm_n) return sm_cache[j];
  int32_t n = std::max(2 * sm_n, std::max(j + 1, int32_t(16)));
  int k = htcl(sizeof(setmem*) * size_t(n));
  auto* c = static_cast<setmem**>(new_mblk(k, 1));
  if (sm_n) std::memcpy(c, sm_cache, sizeof(setmem*) * size_t(sm_n));
  if (sm_cache) del_mblk(sm_cache_k, sm_cache);
  sm_cache = c;
  sm_cache_k = k;
  // The new records in one block after a link word.
  int32_t add = n - sm_n;
  char* b = static_cast<char*>(
      new_mblk(htcl(sizeof(sm_rec) * size_t(add + 1)), 1));
  std::memcpy(b, &sm_blocks, sizeof sm_blocks);
  sm_blocks = b;
  auto* r = reinterpret_cast<sm_rec*>(b) + 1;
  for (int32_t i = 0; i < add; ++i) {
    r[i].m.ord = sm_n + i;
    r[i].sym = Number(sm_n + i);
    sm_cache[sm_n + i] = &r[i].m;
  }
  sm_n = n;
  return sm_cache[j];
}

setmem* const* sm_gen_upto(int32_t n) {
  if (n > sm_n) sm_gen(n - 1);
  return sm_cache;
}

void xdname(std::vector<char>& out, const xname* e) {
  auto put = [&](const char* s) { out.insert(out.end(), s, s + std::strlen(s)); };
  int arity;
  if (e->decl) {
    put(e->decl->name->name);
    arity = e->subs && e->decl->indexing ? e->decl->indexing->arity : 0;
  } else {  // itself a generated name
    put(e->tail);
    arity = e->subs ? 1 : 0;
  }
  symbol* const* t = arity ? e->subs->tup() : nullptr;
  for (int i = 0; i < arity; ++i) {
    out.push_back(i ? ',' : '[');
    put(t[i]->name);
  }
  if (arity) out.push_back(']');
  out.push_back('@');
}

namespace {

bool same_entity(const xname& a, const xname& b) {
  return a.decl == b.decl && a.subs == b.subs && a.tail == b.tail;
}

}  // namespace

// Room for n bytes of name text: a new block when the newest is full.
static char* text_room(size_t n) {
  if (n > text_left) {
    text_block = std::clamp(2 * text_block, TEXT_BLOCK, TEXT_BLOCK_MAX);
    size_t m = std::max(text_block, n + sizeof(void*));
    char* b = static_cast<char*>(new_mblk(htcl(m)));
    std::memcpy(b, &text_blocks, sizeof text_blocks);
    text_blocks = b;
    text_at = b + sizeof(void*);
    text_left = (size_t{8} << blkclass(b)) - sizeof(void*);
  }
  char* t = text_at;
  text_at += n;
  text_left -= n;
  return t;
}

void dname_for(const xname* first, const xname* second, int k) {
  std::vector<char>& s = dname_text;
  if (!dname_keyed || !same_entity(dname_key[0], *first) ||
      dname_two != (second != nullptr) ||
      (second && !same_entity(dname_key[1], *second))) {
    s.assign(1, '(');
    xdname(s, first);
    if (second) xdname(s, second);
    dname_prefix = s.size();
    dname_key[0] = *first;
    if (second) dname_key[1] = *second;
    dname_two = second != nullptr;
    dname_keyed = true;
  }
  // "_k)" and the NUL, made once per k (a term's names share it).
  if (k != dname_k) {
    char digits[12];
    int nd = 0;
    if (k > 1)
      for (unsigned v = unsigned(k); v; v /= 10)
        digits[nd++] = char('0' + v % 10);
    char* o = dname_end;
    if (nd) {
      *o++ = '_';
      while (nd) *o++ = digits[--nd];
    }
    *o++ = ')';
    *o++ = 0;
    dname_end_len = size_t(o - dname_end);
    dname_k = k;
  }
}

const char* dname_tag(const char* tag, size_t len) {
  char* t = text_room(dname_prefix + len + dname_end_len);
  std::memcpy(t, dname_text.data(), dname_prefix);
  std::memcpy(t + dname_prefix, tag, len);
  std::memcpy(t + dname_prefix + len, dname_end, dname_end_len);
  return t;
}

const char* dname(const xname* first, const xname* second, const char* tag,
                  int k) {
  dname_for(first, second, k);
  return dname_tag(tag, std::strlen(tag));
}

xnode* gen_name(const char* text) {
  name_chunk* c = names_made;
  if (!c || c->used == NAMES_PER_CHUNK) {
    int k = htcl(sizeof(name_chunk) + NAMES_PER_CHUNK * sizeof(var));
    c = static_cast<name_chunk*>(new_mblk(k, 1));
    c->k = k;
    c->next = names_made;
    names_made = c;
  }
  var* d = c->rec(c->used++);
  d->name = Symbol(text, 1);
  return d;
}

// ---- Filling -----------------------------------------------------------------

void lin_overflow(bool rows) {
  bug(rows ? "presolve adds more rows than counted"
           : "presolve adds more columns than counted");
}

int32_t lin_add::col(double lb, double ub, uint32_t status, xnode* decl,
                     setmem* subs) {
  return col(lb, ub, status, {decl, subs, nullptr});
}

void lin_add::term(int32_t row, int32_t col, double coef) {
  list_slot<varref> p = head_slot(&P->cols[col]);
  while (p.get() && p.get()->index < row) p = link_of(p.get());
  p.set(new_varref_seq(p.get(), row, coef));
}

void lin_order_bug() { bug("presolve adds terms out of row order"); }

// ---- Special ordered sets --------------------------------------------------

namespace {

// Room for m entries in *a (n of them, in a block of class *k).
void sos_room(sos_entry** a, int32_t n, int32_t* k, int32_t m) {
  if (*a && size_t(m) * sizeof(sos_entry) <= (size_t{8} << *k)) return;
  int kn = htcl(sizeof(sos_entry) * size_t(std::max(m, 16)));
  auto* b = static_cast<sos_entry*>(new_mblk(kn));
  if (*a) {
    std::memcpy(b, *a, sizeof(sos_entry) * size_t(n));
    del_mblk(*k, *a);
  }
  *a = b;
  *k = kn;
}

// Appends e to the entries *a, which double when full (sos_reserve made
// room for what was counted).
void sos_push(sos_entry** a, int32_t* n, int32_t* k, sos_entry e) {
  if (!*a || size_t(*n + 1) * sizeof(sos_entry) > (size_t{8} << *k))
    sos_room(a, *n, k, 2 * *n + 1);
  (*a)[(*n)++] = e;
}

}  // namespace

void sos_reserve(Presolve* P, int32_t members, int32_t sets) {
  AC* ac = P->ac;
  if (members > 0)
    sos_room(&ac->sos_cols, ac->n_sos_cols, &ac->sos_cols_k,
             ac->n_sos_cols + members);
  if (sets > 0)
    sos_room(&ac->sos_rows, ac->n_sos_rows, &ac->sos_rows_k,
             ac->n_sos_rows + sets);
}

int32_t sos_set(Presolve* P, int32_t kind) {
  AC* ac = P->ac;
  ac->sos_last = ((ac->sos_last >> 4) + 1) << 4 | kind;
  return ac->sos_last;
}

void sos_more_members(Presolve* P) {
  AC* ac = P->ac;
  sos_room(&ac->sos_cols, ac->n_sos_cols, &ac->sos_cols_k,
           2 * ac->n_sos_cols + 1);
}

void sos_pick_row(Presolve* P, int32_t row, int32_t set) {
  AC* ac = P->ac;
  sos_push(&ac->sos_rows, &ac->n_sos_rows, &ac->sos_rows_k, {row, set, 0});
}

// ---- Growing ------------------------------------------------------------------

namespace {

// *a (entries of T, in a block of class kold) moved to class knew: the
// first n entries kept, the rest zero.  Nothing when *a is null.
template <class T>
void regrow(T** a, int kold, int knew, int32_t n) {
  if (!*a) return;
  *a = static_cast<T*>(upgrade(*a, kold, knew, size_t(n) * sizeof(T)));
}

// A per-row array: constraints kept, n zeroed rows after them, the
// objectives behind those, the rest of the block zero.
template <class T>
void regrow_rows(T** a, int kold, int knew, int32_t ncons, int32_t nobj,
                 int32_t n) {
  if (!*a) return;
  // Zeroed by the pool: a fresh block's pages come zero from the system
  // and are touched only where the rows go.
  T* b = static_cast<T*>(new_mblk(knew, 1));
  std::memcpy(b, *a, sizeof(T) * size_t(ncons));
  std::memcpy(b + ncons + n, *a + ncons, sizeof(T) * size_t(nobj));
  del_mblk(kold, *a);
  *a = b;
}

int class_for(int32_t n, size_t size) {
  return htcl(size * size_t(std::max(n, 1)));
}

}  // namespace

void c_upgrade(Presolve* P, int32_t n) {
  if (n <= 0) return;
  AC* ac = P->ac;
  jac_forget(ac);
  int32_t nc = P->ncons, no = ac->n_obj, nc1 = nc + n;
  // Per constraint.
  int k = ac->con_class, kn = std::max(k, class_for(nc1, 8));
  if (kn > k) {
    bool alt_l = ac->shape_alt.lower && ac->shape_alt.lower != ac->con_lb;
    bool alt_u = ac->shape_alt.upper && ac->shape_alt.upper != ac->con_ub;
    regrow(&ac->con_nonlin, k, kn, nc);
    regrow(&ac->con_kind, elem_class(k, 4), elem_class(kn, 4), nc);
    regrow(&ac->con_order, elem_class(k, 4), elem_class(kn, 4), nc);
    regrow(&ac->con_lb, k, kn, nc);
    regrow(&ac->con_ub, k, kn, nc);
    if (alt_l) regrow(&ac->shape_alt.lower, k, kn, nc);
    if (alt_u) regrow(&ac->shape_alt.upper, k, kn, nc);
    regrow(&ac->con_init_dual, k, kn, nc);
    regrow(&ac->con_duals, k, kn, nc);
    regrow(&ac->con_defvar, elem_class(k, 4), elem_class(kn, 4), nc);
    regrow(&ac->compl_var, elem_class(k, 4), elem_class(kn, 4), nc);
    if (!alt_l) ac->shape_alt.lower = ac->con_lb;
    if (!alt_u) ac->shape_alt.upper = ac->con_ub;
    ac->shape_work.lower = ac->con_lb;
    ac->shape_work.upper = ac->con_ub;
    ac->con_class = kn;
  }
  nam_upgrade(nc1, nc, &ac->con_names_class, &ac->con_names);
  // Per row: the objectives move up.
  k = ac->row_class;
  kn = std::max(k, class_for(P->nrows + n, 8));
  int k4 = elem_class(k, 4), kn4 = elem_class(kn, 4);
  regrow_rows(&ac->row_terms, k, kn, nc, no, n);
  regrow_rows(&ac->row_plterms, k, kn, nc, no, n);
  regrow_rows(&ac->cpair, elem_class(k, 1), elem_class(kn, 1), nc, no, n);
  regrow_rows(&ac->compl_ub0, k, kn, nc, no, n);
  regrow_rows(&ac->con_pos, k4, kn4, nc, no, n);
  bool alt_order = ac->shape_alt.order == ac->shape_work.order;
  regrow_rows(&ac->shape_work.order, ac->shape_work.k, kn4, nc, no, n);
  ac->shape_work.k = kn4;
  if (alt_order) {
    ac->shape_alt.order = ac->shape_work.order;
    ac->shape_alt.k = kn4;
  } else {
    regrow_rows(&ac->shape_alt.order, ac->shape_alt.k, kn4, nc, no, n);
    ac->shape_alt.k = kn4;
  }
  ac->con_order_sent = nullptr;
  if (P->rstat) {
    uint32_t* old = P->rstat;
    uint32_t* b = static_cast<uint32_t*>(new_mblk(kn4, 1));
    std::memcpy(b, old, 4 * size_t(nc));
    std::memcpy(b + nc1, old + nc, 4 * size_t(no));
    scratch_swap(P, old, b, kn4);
    P->rstat = b;
  }
  ac->row_class = kn;
  // Objective rows in the column lists.
  for (int32_t j = 0; j < P->nvars; ++j) {
    for (varref* t = ac->col_terms ? ac->col_terms[j] : nullptr; t;
         t = vnext(t))
      if (t->index >= nc) t->index += n;
    for (plterm* t = ac->col_plterms ? ac->col_plterms[j] : nullptr; t;
         t = t->next)
      if (t->index >= nc) t->index += n;
    for (varref* t = ac->col_nl_rows ? ac->col_nl_rows[j] : nullptr; t;
         t = vnext(t))
      if (t->index >= nc) t->index += n;
  }
  P->ncons = ac->n_con = nc1;
  P->nrows += n;
  P->nfc += n;
  P->nfc2 += n;
  P->rlb = ac->con_lb;
  P->rub = ac->con_ub;
  P->rlb2 = ac->shape_alt.lower;
  P->rub2 = ac->shape_alt.upper;
  P->rorder = ac->shape_work.order;
  P->cpair = ac->cpair;
  P->rub0 = ac->compl_ub0;
  P->dflag = ac->con_kind;
  P->plrow = ac->row_plterms;
}

void v_upgrade_chk(Presolve* P, int32_t n) {
  if (n <= 0) return;
  AC* ac = P->ac;
  int32_t nv = P->nvars, nv1 = nv + n;
  int k = ac->var_class, kn = std::max(k, class_for(nv1, 8));
  if (kn > k) {
    int k4 = elem_class(k, 4), kn4 = elem_class(kn, 4);
    regrow(&ac->var_order, k4, kn4, nv);
    regrow(&ac->var_pos, k4, kn4, nv);
    regrow(&ac->var_rc, k, kn, nv);
    regrow(&ac->var_lindef, k, kn, nv);
    regrow(&ac->dv_cmap, k4, kn4, nv);
    regrow(&ac->dv_val2, k, kn, nv);
    // v_upgrade sets var_class.
    v_upgrade(ac, kn, nv);
  }
  nam_upgrade(nv1, nv, &ac->var_names_class, &ac->var_names);
  // The removed variables stand behind the kept ones: they move up.
  int32_t* vo = ac->var_order;
  int32_t* pos = ac->var_pos;
  int32_t nfv = P->nfv;
  std::memmove(vo + nfv + n, vo + nfv, 4 * size_t(nv - nfv));
  for (int32_t i = 0; i < n; ++i) vo[nfv + i] = nv + i;
  for (int32_t i = 0; i < nv1; ++i) pos[vo[i]] = i;
  P->nvars = ac->n_var = nv1;
  P->nfv += n;
  P->vorder = vo;
  P->vinv = ac->var_pos;
  P->vstat = ac->var_status;
  P->vlb0 = ac->var_lb;
  P->vub0 = ac->var_ub;
  P->vlb = ac->var_lb_alt;
  P->vub = ac->var_ub_alt;
  P->cols = ac->col_terms;
  P->vpl = ac->col_plterms;
  P->nlcols = ac->col_nl_rows;
}

// ---- Making room --------------------------------------------------------------

void lin_reserve(Presolve* P, int32_t nrows, int32_t ncols) {
  lin_done(P);
  AC* ac = P->ac;
  int32_t nc0 = P->ncons, nv0 = P->nvars;
  c_upgrade(P, nrows);
  v_upgrade_chk(P, ncols);
  if (!ac->col_terms && P->nvars > 0)
    ac->col_terms = P->cols = static_cast<varref**>(new_mblk(ac->var_class, 1));
  P->lin_row = nc0;
  P->lin_row_end = nc0 + std::max(nrows, 0);
  P->lin_col = nv0;
  P->lin_col_end = nv0 + std::max(ncols, 0);
}

void lin_done(const Presolve* P) {
  if (P->lin_row != P->lin_row_end || P->lin_col != P->lin_col_end)
    bug("presolve adds %d rows and %d columns fewer than counted",
        P->lin_row_end - P->lin_row, P->lin_col_end - P->lin_col);
}

}  // namespace vexo
