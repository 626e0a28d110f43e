// Expression graphs of the nl problem file: the nonlinear part of each
// constraint, logical constraint and objective in prefix order, one item
// per node through the item writer of the write under way (apr, nput,
// solver/nlwrite.h).  The operator numbers are the opcodes of
// eval/opcodes.def; how a node is written follows its tree shape
// (op_types).
#ifndef VEXO_SOLVER_NLEXPR_H
#define VEXO_SOLVER_NLEXPR_H

#include <cstdint>

namespace vexo {

struct AC;
struct expr;
struct nlfile;
struct varref;
struct xname;

// Variable numbering of the graphs of the write under way: an index below
// Nv is a variable, written as the position Vip gives it; an index at or
// above Nv stands for (the nonlinear part of) a defined variable, written
// as Vip[index + Delta].  Names for comments come from Vnames.
struct nlvars {
  int32_t Nv;
  int32_t Delta;
  const int32_t* Vip;
  const xname* Vnames;
};
// Set by outmps for each write (graph_setup).
extern nlvars nlv;

// What the graphs of the write under way use, found by graph_setup: the
// imported functions they call and the defined variables (the bodies
// presolve keeps in ac's dv_* fields) they refer to, directly or through
// other defined variables.  A defined variable used nowhere is not sent.
struct nluses {
  int32_t n_funcs;  // F segments
  // Defined variables by use: in constraints and objectives, in several
  // constraints only, several objectives only, one constraint only, one
  // objective only (header line 10); numbered in the file in this order
  // from n_var_sent on.
  int32_t comb, comc, como, comc1, como1;
};
extern nluses nlu;
// Sets nlv and nlu from ac, and marks the functions called (function::used,
// after zero_frefs).  Graph segment s (C segments 0 .. n_con_sent
// - 1, then L, then O) is the place a defined variable is first used at.
void graph_setup(const AC* ac);
// The F segments: "F%d %d %d %s\n" per imported function called
// (number, type word, argument count word, name), in the order of their
// first calls in the file.
void Fput(nlfile* f);
// Writes the V segments of the defined variables that must stand before
// graph segment s (every one left when s is past the last segment), each
// "V%d %d %d\t#%s\n" (number, linear terms, 1 + the number of its one
// constraint or objective or 0, name), its linear terms "%d %.16g\n" and
// its nonlinear part with its constant.  A defined variable goes just
// before its first user; one used by another goes before that one.
void Vput(nlfile* f, const AC* ac, int32_t s);
// The row of the constraint, logical constraint or objective sent at
// place i of its segments.
int32_t nl_con_row(const AC* ac, int32_t i);
int32_t nl_logical_row(const AC* ac, int32_t i);
int32_t nl_obj_row(const AC* ac, int32_t i);
// The defined variables sent, in their file order: their columns (for
// the names of the "col" file); *n receives the count.
const int32_t* defvars_sent(int32_t* n);

// Writes node e and, recursively, its operands.  An operand shape the
// writer does not know ends the session (badtype, "eput").
void eput(nlfile* f, expr* e);
// Writes the sum of the terms of the list e (linked through next) plus
// the constant c; an empty list is the number c alone.
void elistput(nlfile* f, expr* e, double c);
// Writes one linear term inside a nonlinear expression.
void v1put(nlfile* f, const varref* v);
// The comment name source when comments are off: "".
const char* Xwho0(const xname* n);

// The writer's temporary number node (elistput's constant), made on first
// use, and what the last write's graphs used: forgotten by outmps_reinit
// (solver/nlwrite.h).
void nlexpr_reinit();

}  // namespace vexo

#endif  // VEXO_SOLVER_NLEXPR_H
