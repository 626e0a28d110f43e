// Collection of the problem, the merge step and the copiers.
#include "instance/collect.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "compiler/tva.h"
#include "eval/defvar.h"
#include "eval/dispatch.h"
#include "eval/set.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/strexpr.h"
#include "frontend/vardcl.h"
#include "instance/ac.h"
#include "instance/members.h"
#include "instance/names.h"
#include "instance/problem.h"
#include "instance/renum.h"
#include "instance/stamps.h"
#include "instance/sufdecl.h"
#include "instance/sufstore.h"
#include "instance/xcg.h"
#include "presolve/presolve.h"
#include "session/infiles.h"
#include "session/loop.h"
#include "session/opttable.h"
#include "session/sysdecls.h"
#include "support/message.h"
#include "support/format.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/pool.h"
#include "support/symbol.h"

namespace vexo {

list* relax2list;
int vardefs;

namespace {

// What a variable, constraint or objective declaration was when the last
// collection took it: the generation it came from (gen_seq) and, for a
// constraint or objective, the rows each member took, so that the next
// collection can tell whether its rows stand where they stood and hold
// what they held.
struct source_decl {
  xnode* d;
  int32_t gen_seq;
  int32_t first_col;
  int32_t member_count;
  int64_t terms;              // its linear terms before the columns merged
  std::vector<uint8_t> rows;  // rows per member (constraints, objectives)
  // The columns its rows' linear terms lie in (col_lo > col_hi: none), so
  // that a later collection that fills its rows anew visits only those
  // columns to take its old terms out.
  int32_t col_lo = INT32_MAX, col_hi = -1;
  int32_t old_lo = INT32_MAX, old_hi = -1;  // the same, last collection
};

// The last collection, for the next one to keep what did not change: the
// record it filled and the presolve count then (a presolve rewrites the
// record's lists), the problem, and the declarations in the order the
// filling pass met them.  Empty while nothing reusable was collected.
struct collected_from {
  AC* ac = nullptr;
  int presolve_at = 0;
  problem* prob = nullptr;
  std::vector<source_decl> decls;
  int64_t jac_nonzeros = 0, grad_nonzeros = 0;  // as that collection left
};

// Scratch of the merge: the first linear and piecewise-linear term of each
// column in the slot being merged.  Every entry is null between slots.
struct merge_scratch {
  std::vector<varref*> lin;
  std::vector<plterm*> pl;
  bool dirty = false;  // an error left entries behind
  void fit(int32_t col) {
    if (size_t(col) >= lin.size()) lin.resize(size_t(col) + 1);
  }
  void fit_pl(int32_t col) {
    if (size_t(col) >= pl.size()) pl.resize(std::max(lin.size(), size_t(col) + 1));
  }
};

// The scratch kept between collections that reuse the last one: a fresh
// one per collection would cost zeroing a pointer per column, which
// would outweigh a small change.  A collection that starts over does
// not keep it (it holds no memory then).
merge_scratch& kept_scratch() {
  static merge_scratch s;
  return s;
}

collected_from& last_collection() {
  static collected_from c;
  return c;
}

}  // namespace

void collect_reset() {
  relax2list = nullptr;
  vardefs = 0;
  last_collection() = collected_from{};
  kept_scratch() = merge_scratch{};
}

// ---- Piecewise-linear terms -------------------------------------------------

namespace {

// A term record with room for n slopes.
plterm* new_plterm(int32_t n) {
  int k = htcl(sizeof(plterm) + 16 * size_t(n));
  auto* t = static_cast<plterm*>(new_mblk(k, 1));
  t->block_class = k;
  return t;
}

void free_plterm(plterm* t) { del_mblk(t->block_class, t); }

double slope(plterm* t, int32_t i) { return t->bs()[2 * i]; }
double breakpoint(plterm* t, int32_t i) { return t->bs()[2 * i - 1]; }

}  // namespace

plterm* plmerge(plterm* a, plterm* b) {
  int32_t na = a->n_slopes, nb = b->n_slopes;
  plterm* t = new_plterm(na + nb - 1);
  double* o = t->bs();
  int32_t n = 1;
  o[0] = slope(a, 0) + slope(b, 0);
  // ia, ib: the breakpoints of a and b passed so far.
  for (int32_t ia = 0, ib = 0; ia + 1 < na || ib + 1 < nb;) {
    bool more_a = ia + 1 < na, more_b = ib + 1 < nb;
    double x = !more_b || (more_a && breakpoint(a, ia + 1) <= breakpoint(b, ib + 1))
                   ? breakpoint(a, ia + 1)
                   : breakpoint(b, ib + 1);
    if (more_a && breakpoint(a, ia + 1) == x) ++ia;
    if (more_b && breakpoint(b, ib + 1) == x) ++ib;
    double s = slope(a, ia) + slope(b, ib);
    if (s == o[2 * (n - 1)]) continue;  // no bend here
    o[2 * n - 1] = x;
    o[2 * n] = s;
    ++n;
  }
  t->n_slopes = n;
  t->index = a->index;
  t->kept = a->kept;
  t->merged = 0;
  free_plterm(a);
  free_plterm(b);
  return t;
}

// ---- The merge step ---------------------------------------------------------

namespace {

int32_t slots_of(const convar* d) {
  int32_t n = d->gen.member_count;
  if (n <= 0) return 0;
  return (d->flags & CV_TWOSLOTS) ? 2 * n : n;
}

// Whether a slot holds each variable at most once and nothing the merge
// would change: no piecewise-linear term, no zero coefficient, and columns
// that strictly increase or strictly decrease along the list (as a sum
// over an index set generates them).  Such a slot needs no scratch.
bool merged_already(const varref* v, plterm* const* pl) {
  if (pl && *pl) return false;
  if (!v) return true;
  if (v->coef == 0) return false;
  const varref* w = vnext(v);
  if (!w) return true;
  bool up = w->index > v->index;
  for (; w; v = w, w = vnext(w))
    if (w->coef == 0 || w->index == v->index || (w->index > v->index) != up)
      return false;
  return true;
}

void merge_slot(varref** lin, plterm** pl, merge_scratch& s) {
  // Linear terms: later terms of a column go into its first.
  for (list_slot<varref> p = head_slot(lin); p.get();) {
    varref* t = p.get();
    s.fit(t->index);
    if (varref* f = s.lin[size_t(t->index)]) {
      f->coef += t->coef;
      p.set(vnext(t));
      free_1varref(t);
    } else {
      s.lin[size_t(t->index)] = t;
      p = link_of(t);
    }
  }
  // Piecewise-linear terms: merged per column, then given the column's
  // linear coefficient; one slope left makes a linear term.
  for (plterm** p = pl; p && *p;) {
    plterm* t = *p;
    s.fit(t->index);
    s.fit_pl(t->index);
    if (plterm* f = s.pl[size_t(t->index)]) {
      *p = t->next;  // t goes; f's place takes the merged term
      for (plterm** q = pl; *q; q = &(*q)->next)
        if (*q == f) {
          plterm* next = f->next;
          bool after_f = p == &f->next;
          plterm* m = plmerge(f, t);
          m->next = next;
          *q = m;
          if (after_f) p = &m->next;
          s.pl[size_t(m->index)] = m;
          break;
        }
    } else {
      s.pl[size_t(t->index)] = t;
      p = &t->next;
    }
  }
  for (plterm** p = pl; p && *p;) {
    plterm* t = *p;
    size_t c = size_t(t->index);
    s.pl[c] = nullptr;
    if (varref* f = s.lin[c]) {
      for (int32_t i = 0; i < t->n_slopes; ++i) t->bs()[2 * i] += f->coef;
      f->coef = 0;
    }
    if (t->n_slopes == 1) {
      double sl = t->bs()[0];
      *p = t->next;
      free_plterm(t);
      if (varref* f = s.lin[c])
        f->coef = sl;
      else
        *lin = new_varref(*lin, int32_t(c), sl);
      continue;
    }
    p = &t->next;
  }
  // Terms that merging cancelled go; the scratch is left clean.
  for (list_slot<varref> p = head_slot(lin); p.get();) {
    varref* t = p.get();
    s.lin[size_t(t->index)] = nullptr;
    if (t->coef == 0) {
      p.set(vnext(t));
      free_1varref(t);
    } else {
      p = link_of(t);
    }
  }
}

}  // namespace

namespace {

// The merge over decls with scratch s, which needs a pointer per column
// (sized on first need: slots merged already need none); s is left with
// every entry null.
void merge_decls(AC* ac, list* decls, merge_scratch& s) {
  if (s.dirty) s = merge_scratch{};
  int32_t last_col = std::max(ac ? ac->n_var_gen : 0, 1) - 1;
  s.dirty = true;
  for (list* l = decls; l; l = l->next) {
    auto* d = static_cast<convar*>(l->item.p);
    cvgen& g = d->gen;
    if (!g.lin && !g.pl) continue;
    int32_t n = slots_of(d);
    for (int32_t k = 0; k < n; ++k) {
      if (!g.lin) {
        // A slot whose merged term becomes linear needs a list to go to.
        g.lin = static_cast<varref**>(
            new_mblk((d->flags & CV_TWOSLOTS) ? g.member_class + 1
                                              : g.member_class, 1));
      }
      plterm** pl = g.pl ? &g.pl[k] : nullptr;
      if (merged_already(g.lin[k], pl)) continue;
      s.fit(last_col);
      merge_slot(&g.lin[k], pl, s);
    }
  }
  s.dirty = false;
}

}  // namespace

void gencollect(AC* ac, list* decls) {
  merge_scratch s;
  merge_decls(ac, decls, s);
}

// ---- Copiers ----------------------------------------------------------------

namespace {

expr* dup(const expr* e) {
  expr* n = static_cast<expr*>(expr::operator new(sizeof(expr)));
  std::memcpy(static_cast<void*>(n), e, sizeof(expr));
  n->next = nullptr;
  return n;
}

varref* copy_terms(const varref* v) {
  varref* head = nullptr;
  list_slot<varref> tail = head_slot(&head);
  int kill0 = varref_kill0;
  varref_kill0 = 0;  // a copy keeps every term
  for (; v; v = vnext(v)) {
    varref* n = new_varref(nullptr, v->index, v->coef);
    tail.set(n);
    tail = link_of(n);
  }
  varref_kill0 = kill0;
  return head;
}

expr* copy_args(expr* a, bool sets, int if_lev);

// The copy walk: the operand cells of a fresh duplicate of the node are
// replaced by copies; what the copy shares (sets, strings) gains a
// reference.
struct copy_walk {
  int if_lev;
  void operand(expr*& e) { e = copye(e, if_lev); }
  void chain(expr*& c) { c = copyel(c, if_lev); }
  void args(expr*& a, bool sets) { a = copy_args(a, sets, if_lev); }
  static void operand_set(set*& s) {
    if (s) ++s->refcnt;
  }
  static void text(cstr*& c) {
    if (c) ref_cstr(c);
  }
  static void plain(expr*& p) {
    if (p) p = dup(p);
  }
  template <class V>
  void inner(expr*& h, V visit) {
    h = dup(h);
    visit(h, *this);
  }
  static void func(xnode*) {}
  static void ref(varref*& v) { v = copy_terms(v); }
  static void block(expr* e) {
    if (!e->L.p) return;
    void* b = new_mblk(e->R.i);
    std::memcpy(b, e->L.p, size_t{8} << e->R.i);
    e->L.p = b;
  }
};

expr* copy_args(expr* a, bool sets, int if_lev) {
  expr* head = nullptr;
  expr** tail = &head;
  for (; a; a = a->next) {
    expr* n = dup(a);
    if (opcode(a) != OP258) {
      if (a->L.ss)
        badtype("copye", a->opword);  // indexed entries are unrolled
      if (sets)
        copy_walk::operand_set(n->R.s);
      else
        n->R.e = copye(a->R.e, if_lev);
    }
    *tail = n;
    tail = &n->next;
  }
  return head;
}

// Comparisons of two sides with variables, outside conditionals, are sent
// as their difference compared with 0.
expr* diff_compared(expr* e, int if_lev) {
  uint32_t vf = EF_VARS | EF_NONLIN | EF_RANDOM | EF_RANDVAR;
  expr* l = copye(e->L.e, if_lev);
  expr* r = copye(e->R.e, if_lev);
  expr* d = new_expr(opword(OPMINUS, EF_NUMERIC | ((eflags(l) | eflags(r)) & vf)),
                     l, r);
  d->op = functab[OPMINUS];
  expr* z = new_num(0);
  z->op = functab[OPNUM];
  expr* n = new_expr(e->opword, d, z);
  n->op = e->op;
  return n;
}

}  // namespace

expr* copye(expr* e, int if_lev) {
  if (!e) return nullptr;
  int sh = shape(e);
  if (sh == SH_BINARY && alg_comp[opcode(e)] && !if_lev && e->L.e &&
      e->R.e && has_flag(e->L.e, EF_VARS) && has_flag(e->R.e, EF_VARS))
    return diff_compared(e, if_lev);
  // A symbol list's cells and a piecewise-linear term's record have one
  // owner each; instantiated parts hold neither.
  if (sh == SH_SYMLIST || sh == SH_PLTERM) badtype("copye", e->opword);
  expr* n = dup(e);
  copy_walk w{sh == SH_IF || sh == SH_IMPELSE ? if_lev + 1 : if_lev};
  if (!visit_operands(n, w)) {
    free_node(n);
    badtype("copye", e->opword);
  }
  if (sh == SH_SUMLIST && e->R.e) {
    expr* last = n->L.e;
    while (last && last->next) last = last->next;
    n->R.e = last;
  }
  return n;
}

expr* copyel(expr* chain, int if_lev) {
  expr* head = nullptr;
  expr** tail = &head;
  for (; chain; chain = chain->next) {
    *tail = copye(chain, if_lev);
    tail = &(*tail)->next;
  }
  return head;
}

// ---- Names ------------------------------------------------------------------

namespace {

bool is_var_kind(uint32_t k) {
  k &= ~1u;
  return k == DK_VAR || k == DK_SVAR;
}

// The member records of d in member order, one per step (null for a
// scalar and past the last).
struct member_cursor {
  setmem* m;
  explicit member_cursor(const convar* d)
      : m(d->gen.members ? d->gen.members->first : nullptr) {}
  setmem* next() {
    setmem* r = m;
    if (m) m = m->next;
    return r;
  }
};

template <class T>
T* zeroed(int k) {
  return static_cast<T*>(new_mblk(k, 1));
}

int class_of(int32_t n, size_t size) {
  return htcl(size * size_t(std::max(n, 1)));
}

}  // namespace

void vnamegen(AC* ac) {
  int32_t n = std::max(ac->n_var_gen, ac->n_var);
  ac->var_names_class = class_of(n, sizeof(xname));
  xname* names = zeroed<xname>(ac->var_names_class);
  ac->var_names = Vname = names;
  for (xnode* x = decls; x; x = x->next) {
    if (!is_var_kind(x->kind)) continue;
    auto* d = static_cast<convar*>(x);
    const cvgen& g = d->gen;
    if (g.first_col < 0 || g.member_count <= 0) continue;
    member_cursor m(d);
    for (int32_t i = 0; i < g.member_count && g.first_col + i < n; ++i)
      names[g.first_col + i] = {x, m.next(), nullptr};
  }
}

// ---- Collection -------------------------------------------------------------

namespace {

const char* const Left_suf = ".L";
const char* const Right_suf = ".R";

bool slot_dropped(const convar* d, int32_t k) {
  return (d->flags & CV_ALLDROPPED) ||
         (d->gen.member_status && (d->gen.member_status[k] & GS_DROPPED));
}

bool is_logical(const convar* d) {
  return (d->kind & ~1u) == DK_CON && static_cast<const constr*>(d)->logbody;
}

}  // namespace

int32_t rows_of_member(const convar* d, int32_t i) {
  bool two = d->flags & CV_TWOSLOTS;
  int32_t k = two ? 2 * i : i;
  if (slot_dropped(d, k)) return 0;
  if (is_logical(d)) {
    const expr* e = d->gen.logexpr ? d->gen.logexpr[k] : nullptr;
    if (!e || (opcode(e) == OPLOGLIT && e->L.i)) return 0;  // always true
    return 1;
  }
  return two ? 2 : 1;
}

namespace {

// The row-level counts of the counting pass.
struct tally {
  int32_t n_var = 0, n_con = 0, n_obj = 0, n_logical = 0, n_compl = 0;
  int32_t n_sym = 0, n_rand = 0, vardefs = 0;
  bool eqdefs = false;  // equalities may define their lone left variable
  int32_t con_decls = 0, obj_decls = 0, var_decls = 0;
  bool pl = false;
};

// The counts of a constraint or objective declaration.
void count_rows(const convar* d, tally* t, bool obj) {
  int32_t rows = 0;
  for (int32_t i = 0; i < d->gen.member_count; ++i) {
    int32_t r = rows_of_member(d, i);
    rows += r;
    if (r == 2) ++t->n_compl;
  }
  if (!rows) return;
  if (d->gen.pl) t->pl = true;
  if (obj) {
    t->n_obj += rows;
    ++t->obj_decls;
    return;
  }
  t->n_con += rows;
  if (d->gen.eq_col) t->eqdefs = true;
  if (is_logical(d)) t->n_logical += rows;
  ++t->con_decls;
}

bool has_columns(const convar* d) {
  return d->gen.first_col >= 0 && d->gen.member_count > 0;
}

tally count_pass() {
  tally t;
  for (xnode* x = decls; x; x = x->next) {
    uint32_t k = x->kind & ~1u;
    auto* d = static_cast<convar*>(x);
    if (is_var_kind(k)) {
      if (!has_columns(d)) continue;
      ++t.var_decls;
      int32_t n = d->gen.member_count;
      t.n_var = std::max(t.n_var, d->gen.first_col + n);
      if (k == DK_SVAR) t.n_sym += n;
      if (d->flags & VF_RANDOM) t.n_rand += n;
      auto* v = static_cast<var*>(d);
      if ((d->flags & VF_DEFINED) && v->defcon) {
        t.vardefs += n;
        count_rows(v->defcon, &t, false);
      }
    } else if (k == DK_CON) {
      count_rows(d, &t, false);
    } else if (k == DK_OBJ) {
      count_rows(d, &t, true);
    }
  }
  return t;
}

// The declarations the filling pass meets, in its order: variables with
// columns, every constraint and objective.
std::vector<source_decl> sources() {
  std::vector<source_decl> v;
  for (xnode* x = decls; x; x = x->next) {
    uint32_t k = x->kind & ~1u;
    auto* d = static_cast<convar*>(x);
    const cvgen& g = d->gen;
    if (is_var_kind(k)) {
      if (has_columns(d))
        v.push_back({x, g.gen_seq, g.first_col, g.member_count, 0, {}});
    } else if (k == DK_CON || k == DK_OBJ) {
      source_decl s{x, g.gen_seq, -1, g.member_count, 0, {}};
      s.rows.resize(size_t(std::max(g.member_count, 0)));
      for (int32_t i = 0; i < g.member_count; ++i)
        s.rows[size_t(i)] = uint8_t(rows_of_member(d, i));
      v.push_back(std::move(s));
    }
  }
  return v;
}

// The merge step for the constraints and objectives generated since the
// last collection (every one the first time): a row then holds each
// variable once.  Merging a merged list leaves it as it is.  reuse: this
// collection keeps the last one's rows, and the scratch is kept for the
// next such one.
void merge_generated(AC* ac, const std::vector<source_decl>& src,
                     bool reuse) {
  const collected_from& l = last_collection();
  bool same = l.ac == ac && l.decls.size() == src.size();
  std::vector<list> cells;
  cells.reserve(src.size());
  for (size_t i = 0; i < src.size(); ++i) {
    if (is_var_kind(src[i].d->kind)) continue;
    if (same && l.decls[i].d == src[i].d &&
        l.decls[i].gen_seq == src[i].gen_seq)
      continue;
    list c{};
    c.item.p = src[i].d;
    cells.push_back(c);
  }
  // A merge that an error abandoned left entries behind: a clean one.
  if (!reuse || kept_scratch().dirty) kept_scratch() = merge_scratch{};
  if (cells.empty()) return;
  for (size_t i = 0; i + 1 < cells.size(); ++i) cells[i].next = &cells[i + 1];
  if (reuse)
    merge_decls(ac, cells.data(), kept_scratch());
  else
    gencollect(ac, cells.data());
}

// What a collection keeps of the last one: its column lists and its
// nonlinear parts by row, taken out of the record before it is emptied,
// and per declaration (in the order of sources) whether its rows stay.
struct kept_parts {
  // The per-column arrays that the filling pass writes in full: the
  // columns are the same, so the blocks serve again.
  double* var_lb = nullptr;
  double* var_ub = nullptr;
  double* var_init_val = nullptr;
  uint32_t* var_status = nullptr;
  varref** col_nl_rows = nullptr;  // empty before a presolve
  // The columns' names: the same declarations and members.
  xname* var_names = nullptr;
  int var_names_class = 0;
  varref** cols = nullptr;
  expr** con_nonlin = nullptr;
  expr** obj_nonlin = nullptr;
  int con_class = 0, obj_class = 0, var_class = 0;
  int32_t n_con = 0, n_obj = 0, n_var = 0;
  int64_t jac_nonzeros = 0, grad_nonzeros = 0;
  std::vector<char> keep;
  // The last collection's columns in this one's numbering (-1: gone);
  // moved: some column moved or went, or a variable was generated again
  // (its names point to its new members).
  std::vector<int32_t> colmap;
  bool moved = false;
};

// The columns lo..hi of the last collection in this one's numbering: the
// new numbers of the first and last columns that stayed (the map keeps the
// order of the columns that stay), or an empty range.
void map_range(const std::vector<int32_t>& map, int32_t* lo, int32_t* hi) {
  int32_t n = int32_t(map.size()), a = *lo, b = std::min(*hi, n - 1);
  *lo = INT32_MAX;
  *hi = -1;
  for (int32_t c = std::max(a, 0); c <= b; ++c)
    if (map[size_t(c)] >= 0) {
      *lo = map[size_t(c)];
      break;
    }
  for (int32_t c = b; c >= std::max(a, 0); --c)
    if (map[size_t(c)] >= 0) {
      *hi = map[size_t(c)];
      break;
    }
}

// The column map from the last collection's variables (last) to this
// one's (now): a variable not generated since keeps its members in order
// wherever its first column went; one generated again keeps its columns
// when they stand where they stood and as many, else its old columns go
// (the rows that use it were generated again, so no row kept holds them).
// False when a variable came or went.
bool column_map(const std::vector<source_decl>& now,
                const std::vector<source_decl>& last, int32_t n_var,
                kept_parts* k) {
  k->colmap.assign(size_t(n_var), -1);
  for (size_t i = 0; i < now.size(); ++i) {
    const source_decl& a = now[i];
    const source_decl& b = last[i];
    if (!is_var_kind(a.d->kind)) continue;
    bool regen = a.gen_seq != b.gen_seq;
    bool same = a.first_col == b.first_col && a.member_count == b.member_count;
    if (regen) k->moved = true;
    if (regen && !same) continue;
    if (a.member_count != b.member_count) return false;
    for (int32_t j = 0; j < b.member_count; ++j)
      if (b.first_col + j < n_var)
        k->colmap[size_t(b.first_col + j)] = a.first_col + j;
  }
  for (int32_t c = 0; c < n_var && !k->moved; ++c)
    k->moved = k->colmap[size_t(c)] != c;
  return true;
}

// Whether this collection may keep the rows of the declarations not
// generated since the last one (k->keep gets which; their term counts
// come over into now, their column ranges in this one's numbering): the
// record is as that collection left it (no presolve since, nothing taken
// over), the problem and its declarations are the same, every row stands
// where it stood, and nothing asks for the whole record to be rebuilt
// (piecewise-linear terms, defined variables).  Columns may have moved
// (k->colmap).
bool reusable(const AC* ac, const tally& t, std::vector<source_decl>& now,
              kept_parts* k) {
  const collected_from& l = last_collection();
  if (l.ac != ac || l.presolve_at != presolve_count || at_eof ||
      l.prob != cur_prob || now.size() != l.decls.size())
    return false;
  if (!ac->col_terms || ac->row_terms || ac->col_plterms || t.pl ||
      t.vardefs || ac->n_con != t.n_con || ac->n_obj != t.n_obj)
    return false;
  for (size_t i = 0; i < now.size(); ++i)
    if (now[i].d != l.decls[i].d) return false;
  if (!column_map(now, l.decls, ac->n_var, k)) return false;
  k->keep.assign(now.size(), 0);
  for (size_t i = 0; i < now.size(); ++i) {
    source_decl& a = now[i];
    const source_decl& b = l.decls[i];
    if (is_var_kind(a.d->kind)) continue;
    if (a.member_count != b.member_count || a.rows != b.rows) return false;
    int32_t lo = b.col_lo, hi = b.col_hi;
    if (k->moved) map_range(k->colmap, &lo, &hi);
    if (a.gen_seq != b.gen_seq) {
      a.old_lo = lo;
      a.old_hi = hi;
      continue;
    }
    k->keep[i] = 1;
    a.terms = b.terms;
    a.col_lo = lo;
    a.col_hi = hi;
  }
  return true;
}

void take_kept(AC* ac, kept_parts* k) {
  k->cols = ac->col_terms;
  k->con_nonlin = ac->con_nonlin;
  k->obj_nonlin = ac->obj_nonlin;
  k->con_class = ac->con_class;
  k->obj_class = ac->obj_class;
  k->n_con = ac->n_con;
  k->n_obj = ac->n_obj;
  k->n_var = ac->n_var;
  k->var_class = ac->var_class;
  if (ac->var_lb_alt == ac->var_lb && ac->var_ub_alt == ac->var_ub) {
    k->var_lb = ac->var_lb;
    k->var_ub = ac->var_ub;
    k->var_init_val = ac->var_init_val;
    k->var_status = ac->var_status;
    ac->var_lb = ac->var_ub = ac->var_lb_alt = ac->var_ub_alt = nullptr;
    ac->var_init_val = nullptr;
    ac->var_status = nullptr;
    k->col_nl_rows = ac->col_nl_rows;
    ac->col_nl_rows = nullptr;
  }
  k->var_names = ac->var_names;
  k->var_names_class = ac->var_names_class;
  if (Vname == ac->var_names) Vname = nullptr;
  ac->var_names = nullptr;
  ac->col_terms = nullptr;
  ac->con_nonlin = ac->obj_nonlin = nullptr;
}

// The kept parts brought to this collection's columns (n_var of them)
// when columns moved: the column lists move to their new numbers (those
// of columns that went are freed, their terms no longer counted), the
// per-column blocks serve again when their class still fits, the kept
// rows' nonlinear parts refer to the new numbers, and the names are made
// again.  Work in proportion to the columns, not to the terms.
void v_upgrade(kept_parts* k, int32_t n_var) {
  if (!k->moved) return;
  const std::vector<int32_t>& map = k->colmap;
  int kv = class_of(n_var, 8);
  varref** cols = zeroed<varref*>(kv);
  for (int32_t c = 0; c < k->n_var; ++c) {
    varref* l = k->cols[c];
    if (map[size_t(c)] >= 0) {
      cols[map[size_t(c)]] = l;
      continue;
    }
    while (l) {
      varref* next = vnext(l);
      --(l->index < k->n_con ? k->jac_nonzeros : k->grad_nonzeros);
      free_1varref(l);
      l = next;
    }
  }
  del_mblk(k->var_class, k->cols);
  k->cols = cols;
  if (k->var_lb && kv != k->var_class) {
    del_mblk(k->var_class, k->var_lb);
    del_mblk(k->var_class, k->var_ub);
    del_mblk(k->var_class, k->var_init_val);
    del_mblk(elem_class(k->var_class, 4), k->var_status);
    del_mblk(k->var_class, k->col_nl_rows);
    k->var_lb = k->var_ub = k->var_init_val = nullptr;
    k->var_status = nullptr;
    k->col_nl_rows = nullptr;
  }
  int32_t n = int32_t(map.size());
  for (int32_t r = 0; k->con_nonlin && r < k->n_con; ++r)
    for (expr* e = k->con_nonlin[r]; e; e = e->next) Vpewalk(e, map.data(), n);
  for (int32_t j = 0; k->obj_nonlin && j < k->n_obj; ++j)
    for (expr* e = k->obj_nonlin[j]; e; e = e->next) Vpewalk(e, map.data(), n);
  if (k->var_names) del_mblk(k->var_names_class, k->var_names);
  k->var_names = nullptr;
}

void allocate(AC* ac, const tally& t, const kept_parts* old) {
  int32_t nrows = t.n_con + t.n_obj;
  int32_t ndecl = t.con_decls + t.obj_decls + t.var_decls;
  ac->decl_class = class_of(ndecl, sizeof(xnode*));
  ac->con_decls = zeroed<xnode*>(ac->decl_class);
  ac->obj_decls = ac->con_decls + t.con_decls;
  ac->var_decls = ac->obj_decls + t.obj_decls;

  int kv = ac->var_class = class_of(t.n_var, 8);
  if (old && old->var_lb) {
    ac->var_lb = old->var_lb;
    ac->var_ub = old->var_ub;
    ac->var_init_val = old->var_init_val;
    ac->var_status = old->var_status;
    ac->col_nl_rows = old->col_nl_rows;
  } else {
    ac->var_lb = zeroed<double>(kv);
    ac->var_ub = zeroed<double>(kv);
    ac->var_init_val = zeroed<double>(kv);
    ac->var_status = zeroed<uint32_t>(elem_class(kv, 4));
    ac->col_nl_rows = zeroed<varref*>(kv);
  }
  ac->var_lb_alt = ac->var_lb;
  ac->var_ub_alt = ac->var_ub;

  int kc = ac->con_class = class_of(t.n_con, 8);
  if (t.n_logical) ac->con_kind = zeroed<int32_t>(elem_class(kc, 4));
  ac->con_nonlin = zeroed<expr*>(kc);
  ac->con_lb = zeroed<double>(kc);
  ac->con_ub = zeroed<double>(kc);
  ac->con_init_dual = zeroed<double>(kc);
  ac->shape_work.lower = ac->shape_alt.lower = ac->con_lb;
  ac->shape_work.upper = ac->shape_alt.upper = ac->con_ub;
  if (t.vardefs || t.eqdefs) ac->con_defvar = zeroed<int32_t>(elem_class(kc, 4));
  ac->con_names_class = class_of(t.n_con, sizeof(xname));
  ac->con_names = zeroed<xname>(ac->con_names_class);

  int ko = ac->obj_class = class_of(t.n_obj, 8);
  if (t.n_obj) {
    ac->obj_nonlin = zeroed<expr*>(ko);
    ac->obj_const = zeroed<double>(ko);
    ac->obj_sense = zeroed<uint8_t>(elem_class(ko, 1));
    ac->obj_order = zeroed<int32_t>(elem_class(ko, 4));
    for (int32_t j = 0; j < t.n_obj; ++j) ac->obj_order[j] = j;
  }
  ac->obj_names_class = class_of(t.n_obj, sizeof(xname));
  ac->obj_names = zeroed<xname>(ac->obj_names_class);

  int kr = ac->row_class = class_of(nrows, 8);
  ac->row_terms = zeroed<varref*>(kr);
  if (t.pl) ac->row_plterms = zeroed<plterm*>(kr);
  if (t.n_compl) {
    ac->cpair = zeroed<uint8_t>(elem_class(kr, 1));
    ac->compl_ub0 = zeroed<double>(kr);
    ac->compl_class = class_of(t.n_compl, 4);
    ac->compl_first = zeroed<int32_t>(ac->compl_class);
  }
  if (t.n_sym) {
    ac->sym_var_list_class = class_of(t.n_sym, 4);
    ac->sym_var_list = zeroed<int32_t>(ac->sym_var_list_class);
  }
}

template <class T>
int64_t length(const T* l) {
  int64_t n = 0;
  for (; l; l = l->next) ++n;
  return n;
}

// Expression lists are walked and linked as term lists are.
using vexo::set_vnext;
using vexo::vnext;
expr* vnext(const expr* e) { return e->next; }
void set_vnext(expr* e, expr* next) { e->next = next; }

// The list src taken over (src cleared), or copied in order item by item
// with copy1 (which may make nothing: a zero term).
template <class T, class F>
T* take_or_copy(T*& src, bool take, F copy1) {
  if (take) {
    T* v = src;
    src = nullptr;
    return v;
  }
  T* head = nullptr;
  T* last = nullptr;
  for (T* v = src; v; v = vnext(v))
    if (T* n = copy1(v)) {
      if (last)
        set_vnext(last, n);
      else
        head = n;
      last = n;
    }
  return head;
}

// The filling pass's position and choices.
struct filler {
  AC* ac = nullptr;
  bool take = false;  // after the end of input: the members' lists are
                      // taken over
  int32_t row = 0, obj = 0, compl_no = 0, sym = 0;
  int32_t n_con_decl = 0, n_obj_decl = 0, n_var_decl = 0;
  int64_t terms_before = 0;
  int32_t pl_before = 0;
  int32_t col_lo = INT32_MAX, col_hi = -1;  // the columns of the terms met
  // Collecting whole without taking over: the members' linear terms by
  // row, which the column lists copy (transpose_copy) in one pass.  The
  // lists stay the members'.
  std::vector<varref*> lin_rows;

  // Counts the terms of a row and widens the range of columns met.
  void note_terms(const varref* v) {
    for (; v; v = vnext(v)) {
      ++terms_before;
      col_lo = std::min(col_lo, v->index);
      col_hi = std::max(col_hi, v->index);
    }
  }

  varref* terms(varref*& src) {
    note_terms(src);
    return take_or_copy(src, take, [](const varref* v) {
      return new_varref(nullptr, v->index, v->coef);
    });
  }
  plterm* plterms(plterm*& src) {
    pl_before += int32_t(length(src));
    return take_or_copy(src, take, [](const plterm* p) {
      plterm* n = new_plterm(p->n_slopes);
      int k = n->block_class;
      std::memcpy(static_cast<void*>(n), p,
                  sizeof(plterm) + 16 * size_t(p->n_slopes));
      n->block_class = k;
      n->next = nullptr;
      return n;
    });
  }
  expr* parts(expr*& src, int if_lev) {
    return take_or_copy(src, take,
                        [if_lev](expr* e) { return copye(e, if_lev); });
  }

  // The parts of slot k of d into row r (constraints, then objectives).
  void row_parts(convar* d, int32_t k, int32_t r, expr** nonlin) {
    cvgen& g = d->gen;
    if (g.lin && lin_rows.empty()) {
      ac->row_terms[r] = terms(g.lin[k]);
    } else if (g.lin) {
      lin_rows[size_t(r)] = g.lin[k];
      note_terms(g.lin[k]);
    }
    if (g.pl && ac->row_plterms) ac->row_plterms[r] = plterms(g.pl[k]);
    if (g.nonlin) *nonlin = parts(g.nonlin[k], 0);
  }

  // Reusing the last collection (see reuse below): a kept declaration's
  // rows take their nonlinear parts from the old arrays, and their terms
  // stay in the old column lists; fresh marks the rows filled anew.
  expr** old_con_nonlin = nullptr;
  expr** old_obj_nonlin = nullptr;
  std::vector<char> fresh;

  void variables(var* v);
  void constraints(constr* c, int32_t defcol, bool keep = false);
  void objectives(constr* o, bool keep = false);
};

// The pieces (points and closed intervals) of a numeric domain set,
// unsorted.  A set of other kinds contributes its numeric members.
void domain_pieces(set* s, TVA* tva, std::vector<std::pair<double, double>>& out) {
  if (s->sclass == SC_UNION) {
    auto* b = static_cast<set2p*>(s);
    domain_pieces(static_cast<set*>(b->f1), tva, out);
    domain_pieces(static_cast<set*>(b->f2), tva, out);
    return;
  }
  if (s->sclass == SC_INTERVAL) {
    auto* iv = static_cast<set_interval*>(s);
    double lo = iv->lower ? eval_num(iv->lower, tva) : negInfinity;
    double hi = iv->upper ? eval_num(iv->upper, tva) : Infinity;
    if (lo <= hi) out.push_back({lo, hi});
    return;
  }
  if (s->nmem < 0) set_genall(s, tva);
  for (setmem* m = s->first; m; m = m->next)
    if (m->ord >= 0 && is_number(m->tup()[0]))
      out.push_back({m->tup()[0]->value, m->tup()[0]->value});
}

// Sorted, with pieces that meet or overlap merged.
void domain_sort(std::vector<std::pair<double, double>>& p) {
  std::sort(p.begin(), p.end());
  size_t k = 0;
  for (size_t i = 0; i < p.size(); ++i) {
    if (k && p[i].first <= p[k - 1].second)
      p[k - 1].second = std::max(p[k - 1].second, p[i].second);
    else
      p[k++] = p[i];
  }
  p.resize(k);
}

// Column c's domain: its bounds narrowed to the pieces that meet them,
// and, with two pieces or more left, the pieces kept for presolve's
// linearisation (instance/varref.h Inset).  With none left the bounds
// cross, which presolve reports.
void domain_member(AC* ac, int32_t c,
                   const std::vector<std::pair<double, double>>& all) {
  double lb = ac->var_lb[c], ub = ac->var_ub[c];
  std::vector<std::pair<double, double>> p;
  for (auto [lo, hi] : all)
    if (hi >= lb && lo <= ub) p.push_back({std::max(lo, lb), std::min(hi, ub)});
  if (p.empty()) {
    ac->var_lb[c] = std::isfinite(ub) ? ub + 1 : 1;
    ac->var_ub[c] = ac->var_lb[c] - 1;
    return;
  }
  ac->var_lb[c] = p.front().first;
  ac->var_ub[c] = p.back().second;
  if (p.size() < 2) return;
  if (!ac->var_domain)
    ac->var_domain = zeroed<var_dom>(elem_class(ac->var_class, 16));
  int k = htcl(sizeof(Inset) + 24 * p.size());
  auto* d = static_cast<Inset*>(new_mblk(k, 1));
  d->cap = 0;
  d->n = int32_t(p.size());
  d->k = k;
  double* iv = reinterpret_cast<double*>(d + 1);
  for (size_t i = 0; i < p.size(); ++i) {
    iv[3 * i] = p[i].first;
    iv[3 * i + 1] = p[i].second;
  }
  ac->var_domain[c].ivals = d;
}

void filler::variables(var* v) {
  cvgen& g = v->gen;
  ac->var_decls[n_var_decl++] = v;
  int32_t c0 = g.first_col, n = g.member_count;
  bool rand = v->flags & VF_RANDOM;
  uint32_t flags = uint32_t(v->flags) & (VF_INTEGER | VF_BINARY | VF_FIXED |
                                         VF_DEFINED | VF_SYMBOLIC | VF_ARC);
  // The relax suffix relaxes integrality member by member: values between
  // 0 and 2 now, 2 or more only when the problem is sent.
  const SufVal* relax = nullptr;
  if (!relax_integrality && (flags & 3) && relax_suf)
    relax = sufval_of(v, relax_suf->classnum);
  bool listed = false;
  for (int32_t i = 0; i < n; ++i) {
    int32_t c = c0 + i;
    ac->var_lb[c] = rand || !g.lb ? negInfinity : g.lb[i];
    ac->var_ub[c] = rand || !g.ub ? Infinity : g.ub[i];
    uint32_t st = flags;
    if (slot_dropped(v, i)) st |= 0x84;
    if (relax && relax->values) {
      double r = relax->values[i];
      if (r > 0 && r < 2) {
        st &= ~3u;
      } else if (r >= 2 && !listed) {
        list* l = new list;
        l->item.p = v;
        l->next = relax2list;
        relax2list = l;
        listed = true;
      }
    }
    ac->var_status[c] = st;
    if ((v->kind & ~1u) == DK_SVAR) ac->sym_var_list[sym++] = c;
  }
  if (v->domain && !(flags & VF_SYMBOLIC) && !rand) {
    std::vector<std::pair<double, double>> pieces;
    domain_pieces(v->domain, cur_tva, pieces);
    domain_sort(pieces);
    for (int32_t i = 0; i < n; ++i) domain_member(ac, c0 + i, pieces);
  }
  dpov_set(v, n, ac->var_init_val + c0);
  if ((v->flags & VF_DEFINED) && v->defcon) constraints(v->defcon, c0);
}

// Rows of constraint c; defcol: for a defined variable's defining
// constraint, the first column it defines, else -1.
void filler::constraints(constr* c, int32_t defcol, bool keep) {
  cvgen& g = c->gen;
  bool two = c->flags & CV_TWOSLOTS, logical = is_logical(c);
  member_cursor m(c);
  int32_t first = row;
  for (int32_t i = 0; i < g.member_count; ++i) {
    setmem* sub = m.next();
    int32_t nr = rows_of_member(c, i);
    for (int32_t j = 0; j < nr; ++j) {
      int32_t k = two ? 2 * i + j : i;
      int32_t r = row++;
      const char* tail = two ? (j ? Right_suf : Left_suf) : nullptr;
      ac->con_names[r] = {c, sub, tail};
      ac->con_init_dual[r] = member_value(c, k);
      if (keep) {
        std::swap(ac->con_nonlin[r], old_con_nonlin[r]);
      } else if (!fresh.empty()) {
        fresh[size_t(r)] = 1;
      }
      if (logical) {
        if (!keep) ac->con_nonlin[r] = parts(g.logexpr[k], 1);
        ac->con_kind[r] = 1;
        ac->con_lb[r] = negInfinity;
        ac->con_ub[r] = Infinity;
        continue;
      }
      // A defining row (v - definition = 0) keeps the definition's
      // constant in consts: v less the definition's terms equals it.
      double def = defcol >= 0 && g.consts ? g.consts[k] : 0;
      ac->con_lb[r] = g.lb ? g.lb[k] : def;
      ac->con_ub[r] = g.ub ? g.ub[k] : def;
      if (!keep) row_parts(c, k, r, &ac->con_nonlin[r]);
      if (defcol >= 0)
        ac->con_defvar[r] = defcol + i + 1;
      else if (g.eq_col)  // option substout: x = ... may define x
        ac->con_defvar[r] = g.eq_col[k];
      if (two) {
        // A side that is a lone expression keeps its constant here: the
        // expression is the row's body less it.
        bool lone = ac->con_lb[r] <= negInfinity && ac->con_ub[r] >= Infinity;
        ac->compl_ub0[r] = !lone ? ac->con_ub[r] : g.consts ? g.consts[k] : 0;
        ac->cpair[r] = uint8_t(j + 1);
        if (!j) ac->compl_first[compl_no++] = r;
      }
    }
  }
  // The first row stands in first_col for the solution values; a
  // declaration with members outside the problem reaches its rows through
  // its constraint map (make_cmap), built again for this numbering.
  // A member that took no row (left out, or a logical constraint that
  // always holds) makes the declaration need the map.
  int32_t slots = slots_of(c);
  g.first_col = row > first ? first : -1;
  g.n_in_prob = row - first < slots ? slots : 0;
  if (row > first) ac->con_decls[n_con_decl++] = c;
}

void filler::objectives(constr* o, bool keep) {
  cvgen& g = o->gen;
  member_cursor m(o);
  int32_t first = obj;
  bool max = (o->flags & 7) == CF_MAXIMIZE;
  for (int32_t i = 0; i < g.member_count; ++i) {
    setmem* sub = m.next();
    if (!rows_of_member(o, i)) continue;
    int32_t j = obj++;
    ac->obj_names[j] = {o, sub, nullptr};
    ac->obj_const[j] = g.consts ? g.consts[i] : 0;
    ac->obj_sense[j] = max ? 1 : 0;
    if (keep)
      std::swap(ac->obj_nonlin[j], old_obj_nonlin[j]);
    else if (!fresh.empty())
      fresh[size_t(ac->n_con + j)] = 1;
    if (!keep) row_parts(o, i, ac->n_con + j, &ac->obj_nonlin[j]);
  }
  g.first_col = obj > first ? first : -1;
  g.n_in_prob = obj - first < g.member_count ? g.member_count : 0;
  if (obj > first) ac->obj_decls[n_obj_decl++] = o;
}

int32_t chain_length(expr** a, int32_t n) {
  int32_t len = 0;
  for (int32_t i = 0; a && i < n; ++i)
    for (expr* e = a[i]; e; e = e->next) ++len;
  return len;
}

// The column lists of the last collection brought up to date: the terms
// of the rows filled anew (fresh) leave, the new rows' terms (row_terms)
// join in row order.  Only the columns lo..hi hold either, and in each
// column the walk stops past the last fresh row (rmax) once nothing is
// left to add, so the work follows the rows filled anew, not the model.
// heads: a null pointer per column, left so.  The nonzero counts are
// those of the last collection (old) with the changes made.
void merge_columns(AC* ac, varref** cols, const std::vector<char>& fresh,
                   const kept_parts& old, int32_t lo, int32_t hi,
                   int32_t rmax, std::vector<varref*>& heads) {
  int32_t nrows = ac->n_con + ac->n_obj;
  varref** rows = ac->row_terms;
  ac->row_terms = nullptr;
  if (heads.size() < size_t(ac->n_var)) heads.resize(size_t(ac->n_var));
  for (int32_t r = nrows - 1; r >= 0; --r) {
    if (!rows || !rows[r]) continue;
    for (varref* t = rows[r]; t;) {
      varref* next = vnext(t);
      size_t c = size_t(uint32_t(t->index));
      if (c >= heads.size() || int32_t(c) < lo || int32_t(c) > hi)
        bug("merge_columns: column %d of row %d outside %d..%d", t->index,
            r, lo, hi);
      t->index = r;
      set_vnext(t, heads[c]);
      heads[c] = t;
      t = next;
    }
  }
  if (rows) del_mblk(ac->row_class, rows);
  int64_t jac = old.jac_nonzeros, grad = old.grad_nonzeros;
  auto count = [&](const varref* t, int64_t d) {
    (t->index < ac->n_con ? jac : grad) += d;
  };
  int32_t end = std::min(hi, ac->n_var - 1);
  for (int32_t c = std::max(lo, 0); c <= end; ++c) {
    // The lists' records lie far apart: the first two of the columns
    // ahead are fetched while this one is walked.
    if (c + 16 <= end && cols[c + 16]) __builtin_prefetch(cols[c + 16]);
    if (c + 8 <= end && cols[c + 8] && cols[c + 8]->link)
      __builtin_prefetch(vnext(cols[c + 8]));
    varref* a = cols[c];
    varref* b = heads[size_t(c)];
    heads[size_t(c)] = nullptr;
    list_slot<varref> tail = head_slot(&cols[c]);
    while (a || b) {
      if (a && fresh[size_t(a->index)]) {
        varref* next = vnext(a);
        count(a, -1);
        free_1varref(a);
        a = next;
        continue;
      }
      if (!b && a->index > rmax) break;  // the rest stays as it is
      varref* t;
      if (b && (!a || b->index < a->index)) {
        t = b;
        b = vnext(b);
        count(t, 1);
      } else {
        t = a;
        a = vnext(a);
      }
      tail.set(t);
      tail = link_of(t);
    }
    tail.set(a);
  }
  ac->jac_nonzeros = jac;
  ac->grad_nonzeros = grad;
  ac->col_terms = cols;
  ac->n_pl_con = ac->n_pl_obj = 0;
}

// Row lists made column lists, counting what they hold: the rows taken
// over (row_terms) are moved, the members' rows (lin_rows, when not
// empty) copied.
void transpose_rows(AC* ac, const std::vector<varref*>& lin_rows) {
  int32_t nrows = ac->n_con + ac->n_obj;
  if (!lin_rows.empty()) {
    int64_t counts[2];
    del_mblk(ac->row_class, ac->row_terms);
    ac->row_terms = nullptr;
    ac->col_terms = transpose_copy(lin_rows.data(), ac->var_class, nrows,
                                   ac->n_con, counts);
    ac->jac_nonzeros = counts[0];
    ac->grad_nonzeros = counts[1];
  } else {
    ac->col_terms = transpose(&ac->row_terms, ac->row_class, ac->var_class,
                              nrows);
    ac->jac_nonzeros = ac->grad_nonzeros = 0;
    for (int32_t c = 0; c < ac->n_var; ++c)
      for (varref* v = ac->col_terms[c]; v; v = vnext(v))
        ++(v->index < ac->n_con ? ac->jac_nonzeros : ac->grad_nonzeros);
  }
  ac->n_pl_con = ac->n_pl_obj = 0;
  if (!ac->row_plterms) return;
  ac->col_plterms = transpose(&ac->row_plterms, ac->row_class, ac->var_class,
                              nrows);
  for (int32_t c = 0; c < ac->n_var; ++c)
    for (plterm* p = ac->col_plterms[c]; p; p = p->next)
      ++(p->index < ac->n_con ? ac->n_pl_con : ac->n_pl_obj);
}

// Fills ac from the declarations; src: the declarations in the order of
// sources, whose term counts it records; old: what the last collection
// left to keep, or null.
void fill(AC* ac, const tally& t, std::vector<source_decl>& src,
          kept_parts* old) {
  ac->n_var = ac->n_var_aux = t.n_var;
  ac->n_con = ac->n_con_aux = t.n_con;
  ac->n_obj = t.n_obj;
  ac->n_logical = t.n_logical;
  ac->n_alg_con = t.n_con - t.n_logical;
  ac->n_compl = t.n_compl;
  ac->n_sym_member = t.n_sym;
  ac->n_rand_var = t.n_rand;
  ac->n_defvar = vardefs = t.vardefs;
  ac->n_con_decl = t.con_decls;
  ac->n_obj_decl = t.obj_decls;
  ac->n_var_decl = t.var_decls;
  ac->n_prob = 1;
  ac->n_con_added = 0;
  ac->n_pl_var_added = ac->n_pl_con_added = 0;
  ac->n_pl_lin = ac->n_cvar = 0;
  ac->n_compl_nd = ac->n_compl_nzlb = 0;
  ac->n_compl_lin = ac->n_compl_nonlin = ac->n_compl_sent = 0;
  ac->prob_link = cur_prob;
  ac->prob = &ac->prob_link;
  // The constraints and objectives that generation left out of decls
  // (out of the problem as a whole) take no row; the filling pass numbers
  // the others.
  for (int cls : {XC_CONS, XC_LOGCONS, XC_OBJS})
    for (int32_t i = 0; i < xclass[cls].n; ++i)
      if (auto* d = static_cast<convar*>(xclass[cls].a[i])) {
        d->gen.first_col = -1;
        d->gen.n_in_prob = slots_of(d);
      }
  if (!t.n_var && !t.n_con && !t.n_obj) return;

  allocate(ac, t, old);
  filler f;
  f.ac = ac;
  f.take = at_eof > 0;
  if (!f.take && !old) f.lin_rows.assign(size_t(t.n_con + t.n_obj), nullptr);
  if (old) {
    f.old_con_nonlin = old->con_nonlin;
    f.old_obj_nonlin = old->obj_nonlin;
    f.fresh.assign(size_t(t.n_con + t.n_obj), 0);
  }
  size_t at = 0;
  int32_t lo = INT32_MAX, hi = -1;
  for (xnode* x = decls; x; x = x->next) {
    uint32_t k = x->kind & ~1u;
    if (is_var_kind(k) && !has_columns(static_cast<convar*>(x))) continue;
    if (!is_var_kind(k) && k != DK_CON && k != DK_OBJ) continue;
    bool keep = old && old->keep[at];
    int64_t before = f.terms_before;
    f.col_lo = INT32_MAX;
    f.col_hi = -1;
    if (is_var_kind(k))
      f.variables(static_cast<var*>(x));
    else if (k == DK_CON)
      f.constraints(static_cast<constr*>(x), -1, keep);
    else
      f.objectives(static_cast<constr*>(x), keep);
    if (keep) {
      f.terms_before += src[at].terms;
    } else {
      src[at].terms = f.terms_before - before;
      src[at].col_lo = f.col_lo;
      src[at].col_hi = f.col_hi;
      if (!is_var_kind(k)) {
        // The columns that the fresh rows' old and new terms lie in.
        lo = std::min({lo, f.col_lo, src[at].old_lo});
        hi = std::max({hi, f.col_hi, src[at].old_hi});
      }
    }
    ++at;
  }
  if (ac->n_logical) alc_gen(ac);
  ac->n_nonlin_parts_con = chain_length(ac->con_nonlin, ac->n_con);
  ac->n_nonlin_parts_obj = chain_length(ac->obj_nonlin, ac->n_obj);
  if (old) {
    int32_t rmax = -1;
    for (size_t r = 0; r < f.fresh.size(); ++r)
      if (f.fresh[r]) rmax = int32_t(r);
    merge_columns(ac, old->cols, f.fresh, *old, lo, hi, rmax,
                  kept_scratch().lin);
    // The old parts of the rows filled anew.
    exprzap(&old->con_nonlin, old->con_class, old->n_con);
    exprzap(&old->obj_nonlin, old->obj_class, old->n_obj);
  } else {
    transpose_rows(ac, f.lin_rows);
  }
  if (show_stats > 5) {
    int64_t after = ac->jac_nonzeros + ac->grad_nonzeros;
    if (after == f.terms_before)
      Printf("%zd nonzeros\n", size_t(after));
    else
      Printf("collect reduces nonzeros from %zd to %zd\n",
             size_t(f.terms_before), size_t(after));
    int32_t pl = ac->n_pl_con + ac->n_pl_obj;
    if (pl == f.pl_before)
      Printf("%d piecewise-linear terms\n", pl);
    else
      Printf("collect reduces piecewise-linear terms from %d to %d\n",
             f.pl_before, pl);
  }
}

}  // namespace

AC* collect(AC* ac) {
  changes_collected();
  dvals_collected();
  varref_kill0 = 1;
  if (need_prob) get_prob();
  AC* x = xcg(1);
  if (!x) return nullptr;
  ac = x;
  clear_req_collect();
  // The rows of declarations not generated since the last collection
  // stay as they were collected, when they still stand where they stood.
  std::vector<source_decl> src = sources();
  tally t = count_pass();
  kept_parts old;
  bool reuse = reusable(ac, t, src, &old);
  merge_generated(ac, src, reuse);
  old.jac_nonzeros = last_collection().jac_nonzeros;
  old.grad_nonzeros = last_collection().grad_nonzeros;
  last_collection() = collected_from{};
  if (reuse) {
    take_kept(ac, &old);
    v_upgrade(&old, t.n_var);
  }
  col_teardown(ac);
  free_list(relax2list);
  relax2list = nullptr;
  vardefs = 0;
  fill(ac, t, src, reuse ? &old : nullptr);
  ac->shape_ptr = &ac->n_var_sent;
  if (old.var_names && old.var_names_class ==
                           class_of(std::max(ac->n_var_gen, ac->n_var),
                                    sizeof(xname))) {
    ac->var_names = Vname = old.var_names;
    ac->var_names_class = old.var_names_class;
  } else {
    if (old.var_names) del_mblk(old.var_names_class, old.var_names);
    vnamegen(ac);
  }
  // After the end of input the lists were taken over: nothing to keep.
  if (!at_eof)
    last_collection() = {ac, presolve_count, cur_prob, std::move(src),
                         ac->jac_nonzeros, ac->grad_nonzeros};
  set_trans_state(2);
  return ac;
}

}  // namespace vexo
