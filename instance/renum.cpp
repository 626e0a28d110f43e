// Column numbering.
#include "instance/renum.h"

#include <vector>

#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/vardcl.h"
#include "instance/ac.h"
#include "instance/members.h"
#include "instance/varref.h"
#include "support/pool.h"

namespace vexo {

namespace {

// Whether a variable of the current genmod call got provisional column
// numbers (moved), and whether one of them changed its count or got
// columns it did not have, so that the columns after it move (general).
bool moved;
bool general;

struct vpe_walker : walker_defaults {
  const int32_t* perm;
  int32_t n;
  int32_t map(int32_t c) const { return c >= 0 && c < n ? perm[c] : c; }
  void operand(expr*& e) { walk(e); }
  void chain(expr*& e) {
    for (expr* x = e; x; x = x->next) walk(x);
  }
  void args(expr*& e, bool) {
    for (expr* x = e; x; x = x->next)
      if (x->R.e) walk(x->R.e);
  }
  void walk(expr* e) {
    if (!e) return;
    switch (opcode(e)) {
      case OPVARVAL146:
      case OPVARVAL147: {
        int32_t c = map(e->L.i);
        if (c >= 0) {
          e->L.i = c;
        } else {
          // A column that went: the reference is worth 0.
          e->opword = opword(OPNUM, EF_CONST | EF_NUMERIC);
          e->L.d = 0;
          e->op = functab[OPNUM];
        }
        return;
      }
      case OPPLTERM: {
        int32_t c = map(e->R.i);
        e->R.i = c >= 0 ? c : 0;
        static_cast<plterm*>(e->L.p)->index = e->R.i;
        return;
      }
    }
    visit_operands(e, *this);
  }
};

// The terms of list *head mapped; a term of a column that went goes.
template <class T, class Free>
void map_list(T** head, const int32_t* perm, int32_t n, Free drop) {
  for (list_slot<T> p = head_slot(head); p.get();) {
    T* t = p.get();
    int32_t c = t->index >= 0 && t->index < n ? perm[t->index] : t->index;
    if (c < 0) {
      p.set(vnext(t));
      set_vnext(t, nullptr);
      drop(t);
      continue;
    }
    t->index = c;
    p = link_of(t);
  }
}

void apply_to_class(int cls, const int32_t* perm, int32_t n) {
  const xclass_rec& c = xclass[cls];
  for (int32_t i = 0; i < c.n; ++i)
    if (xnode* d = c.a[i]) ApplyVperm(static_cast<convar*>(d), perm, n);
}

// Whether the variables' columns already lie in declaration order, one
// after another from 0 to n without a gap (the usual case: variables
// generated for the first time, in order), so that no number changes.
bool in_declaration_order(const xclass_rec& vars, int32_t n) {
  int32_t next = 0;
  for (int32_t i = 0; i < vars.n; ++i) {
    const xnode* d = vars.a[i];
    if (!d) continue;
    const cvgen& g = static_cast<const convar*>(d)->gen;
    if (g.member_count <= 0 || g.first_col < 0) continue;
    if (g.first_col != next) return false;
    next += g.member_count;
  }
  return next == n;
}

}  // namespace

void renum_begin() {
  moved = false;
  general = false;
}

int32_t columns_begin(var*, AC* ac, int32_t old_first, int32_t old_n) {
  if (old_n > 0 && old_first >= 0 && old_first + old_n == ac->n_var_gen) {
    // Its columns were the last ones: taken back.  References to its old
    // members are in rows that use it, which are generated again.
    ac->n_var_gen = old_first;
    return old_first;
  }
  moved = true;
  return ac->n_var_gen;
}

void columns_gone(AC* ac, int32_t old_first, int32_t old_n) {
  if (old_n <= 0 || old_first < 0) return;
  if (old_first + old_n == ac->n_var_gen) {
    ac->n_var_gen = old_first;
    return;
  }
  moved = general = true;
}

void columns_end(var* v, AC* ac, int32_t old_first, int32_t old_n) {
  cvgen& g = v->gen;
  int32_t n = g.member_count;
  int32_t first = g.first_col;
  if (first == old_first || first < 0) {
    if (n != old_n) general = true;
    return;
  }
  if (n > 0 && n == old_n && old_first >= 0 &&
      first + n == ac->n_var_gen) {
    // Back to its old columns: only the rows its members wrote into hold
    // the provisional numbers.
    std::vector<int32_t> perm(size_t(ac->n_var_gen));
    for (int32_t i = 0; i < ac->n_var_gen; ++i) perm[size_t(i)] = i;
    for (int32_t i = 0; i < n; ++i) perm[size_t(first + i)] = old_first + i;
    int32_t m = int32_t(perm.size());
    if (v->defcon) ApplyVperm(v->defcon, perm.data(), m);
    for (var_term* t = v->arcs; t; t = t->next)
      if (t->con) ApplyVperm(t->con, perm.data(), m);
    ac->n_var_gen -= n;
    g.first_col = old_first;
    return;
  }
  general = true;
}

void Renumber(AC* ac) {
  bool due = moved && general;
  renum_begin();
  if (!due) return;
  const xclass_rec& vars = xclass[XC_ALLVARS];
  if (in_declaration_order(vars, ac->n_var_gen)) return;
  // Final numbers in declaration order, by old or provisional number; a
  // column whose variable holds it no more stays -1.
  std::vector<int32_t> perm(size_t(ac->n_var_gen), -1);
  int32_t next = 0;
  for (int32_t i = 0; i < vars.n; ++i) {
    xnode* d = vars.a[i];
    if (!d) continue;
    cvgen& g = static_cast<convar*>(d)->gen;
    if (g.member_count <= 0 || g.first_col < 0) continue;
    for (int32_t k = 0; k < g.member_count; ++k)
      if (size_t(g.first_col + k) < perm.size())
        perm[size_t(g.first_col + k)] = next + k;
    g.first_col = next;
    next += g.member_count;
  }
  ac->n_var_gen = next;
  bool same = true;
  for (size_t i = 0; i < perm.size() && same; ++i)
    same = perm[i] == int32_t(i);
  if (same) return;
  int32_t n = int32_t(perm.size());
  for (int cls : {XC_CONS, XC_LOGCONS, XC_OBJS})
    apply_to_class(cls, perm.data(), n);
  // What was collected numbered the columns otherwise.
  if (trans_state > 1) set_trans_state(1);
}

void ApplyVperm(convar* c, const int32_t* perm, int32_t n) {
  cvgen& g = c->gen;
  int32_t slots = g.member_count * ((c->flags & CV_TWOSLOTS) ? 2 : 1);
  if (slots <= 0) return;
  for (int32_t i = 0; i < slots; ++i) {
    if (g.lin)
      map_list(&g.lin[i], perm, n, [](varref* t) { free_varref(t); });
    if (g.pl)
      map_list(&g.pl[i], perm, n,
               [](plterm* t) { del_mblk(t->block_class, t); });
    if (g.nonlin)
      for (expr* e = g.nonlin[i]; e; e = e->next) Vpewalk(e, perm, n);
    if (g.logexpr && g.logexpr[i]) Vpewalk(g.logexpr[i], perm, n);
  }
}

void Vpewalk(expr* e, const int32_t* perm, int32_t n) {
  vpe_walker w;
  w.perm = perm;
  w.n = n;
  w.walk(e);
}

int32_t first_num(const convar* d) { return d->gen.first_col; }

void renum_reset() { renum_begin(); }

}  // namespace vexo
