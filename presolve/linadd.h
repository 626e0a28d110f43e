// Rows and columns that presolve adds to the collected problem: the
// linearisations of piecewise-linear terms (presolve/pllin.h) and of set
// domains (presolve/isdom.h) gather what they make in a lin_add and hand
// it over once, so every array of the problem grows once.
//
// While gathering, new columns are numbered from the problem's variable
// count on and new rows from its row count (constraints plus objectives)
// on, so that the objectives keep their numbers; lin_commit moves the new
// rows to just after the constraints and the objectives behind them.
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

struct added_row {
  double lb, ub;
  xname name;
};
struct added_col {
  double lb, ub;
  uint32_t status;  // VS_INT or VS_BIN, or 0
  xname name;
};
struct added_term {
  int32_t row, col;  // gathering numbers (see above)
  double coef;
};

struct lin_add {
  int32_t row0 = 0;  // the first new row's gathering number (nrows)
  int32_t col0 = 0;  // the first new column's number (nvars)
  std::vector<added_row> rows;
  std::vector<added_col> cols;
  std::vector<added_term> terms;
  explicit lin_add(const Presolve* P);
  // A generated name's text (dname) and its numeric subscript, or null.
  int32_t row(double lb, double ub, const char* name, setmem* subs = nullptr);
  int32_t col(double lb, double ub, uint32_t status, const char* name,
              setmem* subs = nullptr);
  // A column named by a declaration record (gen_name) and subscripts.
  int32_t col(double lb, double ub, uint32_t status, xnode* decl,
              setmem* subs);
  // Every term is made, also with coefficient 0.
  void term(int32_t row, int32_t col, double coef) {
    terms.push_back({row, col, coef});
  }
};

// Hands the gathered rows, columns and terms to the collected problem
// and the Presolve record: the arrays grow (c_upgrade, v_upgrade_chk),
// the new rows follow the kept constraints and the new columns the kept
// variables, and the terms join the column lists in row order.
void lin_commit(Presolve* P, lin_add& a);
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
