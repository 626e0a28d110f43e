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

#include <cstdint>
#include <vector>

#include "instance/ac.h"

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

// Fills the room made by lin_reserve, in order.
struct lin_add {
  Presolve* P;
  explicit lin_add(Presolve* p) : P(p) {}
  // A row with its bounds, named by a generated name's text (dname) and
  // its numeric subscript, or null.  Returns its number.
  int32_t row(double lb, double ub, const char* name, setmem* subs = nullptr);
  int32_t col(double lb, double ub, uint32_t status, const char* name,
              setmem* subs = nullptr);
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
  void fresh(int32_t col, const entry* t, int n);
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
void sos_member(Presolve* P, int32_t col, int32_t set, double ref);
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
