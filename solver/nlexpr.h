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
// Sets nlv from ac: no defined variables are collected yet, so every
// index is a variable and Vip is var_pos.
void graph_setup(const AC* ac);

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
// use; forgotten by outmps_reinit (solver/nlwrite.h).
void nlexpr_reinit();

}  // namespace vexo

#endif  // VEXO_SOLVER_NLEXPR_H
