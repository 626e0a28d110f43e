// Rows and columns that presolve adds to the collected problem: the
// linearisations of piecewise-linear terms (presolve/pllin.h) and of set
// domains (presolve/isdom.h), and the variables of complementarity
// conditions (presolve/compl.h).  Room is made first, for everything a
// phase will add (lin_reserve: every array of the problem grows once, the
// objectives move behind the new rows); the rows and columns are then
// filled in at their final numbers, and their terms join the column
// lists in row order.
#ifndef VEXO_PRESOLVE_LINADD_H
#define VEXO_PRESOLVE_LINADD_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "instance/ac.h"
#include "instance/varref.h"
#include "presolve/presolve.h"

namespace vexo {

struct Presolve;
struct xnode;
struct setmem;
struct symbol;

// Makes room for nrows more rows (after the constraints) and ncols more
// columns (kept, sent after the kept ones) at once; the room must be
// used up (lin_done) before more is made.
void lin_reserve(Presolve* P, int32_t nrows, int32_t ncols);
// Reports a bug unless the room made is used up.
void lin_done(const Presolve* P);

// Reports a bug: more rows (or columns) added than lin_reserve made room
// for.
[[noreturn]] void lin_overflow(bool rows);
// Reports a bug: lin_add::fresh given rows out of order.
[[noreturn]] void lin_order_bug();

// Fills the room made by lin_reserve, in order.
struct lin_add {
  Presolve* P;
  explicit lin_add(Presolve* p) : P(p) {}
  // A row with its bounds, named by a generated name's text (dname) and
  // its numeric subscript, or null.  Returns its number.
  int32_t row(double lb, double ub, const char* name, setmem* subs = nullptr) {
    if (P->lin_row >= P->lin_row_end) lin_overflow(true);
    int32_t r = P->lin_row++;
    P->rlb[r] = lb;
    P->rub[r] = ub;
    if (P->rlb2 != P->rlb) P->rlb2[r] = lb;
    if (P->rub2 != P->rub) P->rub2[r] = ub;
    P->ac->con_names[r] = {nullptr, subs, name};
    return r;
  }
  int32_t col(double lb, double ub, uint32_t status, const char* name,
              setmem* subs = nullptr) {
    return col(lb, ub, status, {nullptr, subs, name});
  }
  // A column named by a declaration record (gen_name) and subscripts.
  int32_t col(double lb, double ub, uint32_t status, xnode* decl,
              setmem* subs);
  // The term joins col's list at row's place; every term is made, also
  // with coefficient 0.
  void term(int32_t row, int32_t col, double coef);
  // The n terms t of column col, their rows increasing and below those
  // of col's terms (a column just added has none), made in one go.
  struct entry {
    int32_t row;
    double coef;
  };
  void fresh(int32_t col, const entry* t, int n) {
    varref* l = P->cols[col];
    int32_t below = l ? l->index : INT32_MAX;
    for (int i = n; i-- > 0;) {
      if (t[i].row >= below) lin_order_bug();
      below = t[i].row;
      l = new_varref_seq(l, t[i].row, t[i].coef);
    }
    P->cols[col] = l;
  }

 private:
  int32_t col(double lb, double ub, uint32_t status, const xname& name) {
    if (P->lin_col >= P->lin_col_end) lin_overflow(false);
    int32_t j = P->lin_col++;
    P->vlb[j] = P->vlb0[j] = lb;
    P->vub[j] = P->vub0[j] = ub;
    P->vstat[j] = status;
    P->ac->var_names[j] = name;
    return j;
  }
};

// Special ordered sets, sent to the solver as the suffixes "sos" (the set
// value of each member column, and of each row that picks one member) and
// "sosref" (each member's reference value, rising within a set).  A set's
// value is 16 times its number (counted over the presolve) plus its kind:
// SOS_DOMAIN, one member of a set domain's binaries is 1 (a set of type
// 1); SOS_PLTERM, at most two neighbouring point columns of a
// piecewise-linear term are positive (type 2).
enum : int32_t { SOS_DOMAIN = 4, SOS_PLTERM = 8 };
// Room for so many more members and sets, made at once.
void sos_reserve(Presolve* P, int32_t members, int32_t sets);
// A new set of the given kind: its value.
int32_t sos_set(Presolve* P, int32_t kind);
// Doubles the room for members (sos_member, when what was reserved is
// used up).
void sos_more_members(Presolve* P);
inline void sos_member(Presolve* P, int32_t col, int32_t set, double ref) {
  AC* ac = P->ac;
  if (!ac->sos_cols || size_t(ac->n_sos_cols + 1) * sizeof(sos_entry) >
                           (size_t{8} << ac->sos_cols_k))
    sos_more_members(P);
  ac->sos_cols[ac->n_sos_cols++] = {col, set, ref};
}
void sos_pick_row(Presolve* P, int32_t row, int32_t set);

// Makes room for n more rows: every per-constraint and per-row array of
// the problem (and the row status of P) grows, the objectives move up by
// n (their terms' row numbers too), the counts follow.
void c_upgrade(Presolve* P, int32_t n);
// Makes room for n more columns: the per-variable arrays and the sending
// order grow (the removed variables move up behind the new ones), the
// Presolve record's copies of their addresses are refreshed, the counts
// follow.
void v_upgrade_chk(Presolve* P, int32_t n);

// The name of a generated row or column: "(" + first entity + "@" +
// [second entity + "@"] + tag + ")", the tag followed by "_k" when k > 1;
// an entity is its declaration's name and, when subscripted, its
// subscripts' plain texts in brackets.  The text lives until the next
// presolve (gen_names_free); a row or column takes it as an xname with no declaration, the text in the tail
// and at most one numeric subscript (sm_gen), so that a linearisation's
// hundreds of thousands of names take no declaration records.
const char* dname(const xname* first, const xname* second, const char* tag,
                  int k);
// The same in two steps, for the several names of one source: dname_for
// sets the entities and k, dname_tag makes the name of a tag of len bytes.
void dname_for(const xname* first, const xname* second, int k);
const char* dname_tag(const char* tag, size_t len);
template <size_t N>
const char* dname_tag(const char (&tag)[N]) {
  return dname_tag(tag, N - 1);
}
// The member record of the number j (0, 1, ...) for a subscript, from a
// cache kept until the next presolve.
setmem* sm_gen(int32_t j);
// The member records of 0 .. n-1 (sm_gen's), valid until sm_gen or
// sm_gen_upto makes more.
setmem* const* sm_gen_upto(int32_t n);
// A declaration record of the given name (no indexing), zeroed and sized
// as a variable's, for generated entities that take another entity's
// subscripts.  It lives until the next presolve.
xnode* gen_name(const char* text);
// Appends one entity's part of a generated name to out.
void xdname(std::vector<char>& out, const xname* e);
// Frees the name records of the last presolve (its names are no longer
// in the problem, which was collected again).
void gen_names_free();
// Start-up and `reset`: the records lay in freed memory.
void gen_names_reset();

}  // namespace vexo

#endif  // VEXO_PRESOLVE_LINADD_H
