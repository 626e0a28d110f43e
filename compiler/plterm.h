// Piecewise-linear terms.  A term <<b1, ..., bn; s0, ..., sn>> x (or
// (x, x0)) is the continuous function that is 0 at 0 and has slope s0
// left of b1, s(k) between b(k) and b(k+1) and sn right of bn; with a
// reference point x0 it is f(x) - f(x0).  Its compiled form is an OPPL
// node: L a node 259 whose L is the breakpoint list and R the slope list
// (chains of OP246 entries: L an indexing or null, R the value, or a
// nested list of entries repeated for every tuple of the indexing), R a
// node 260 whose L is the argument and R the reference point or null.
//
// Each evaluation or instantiation turns the two lists, evaluated for the
// current dummy values, into a plterm record (instance/varref.h): the
// slopes with the breakpoints between them, runs of equal slopes and
// zero-length segments reduced away.
#ifndef VEXO_COMPILER_PLTERM_H
#define VEXO_COMPILER_PLTERM_H

#include "eval/optab.h"

namespace vexo {

struct expr;
struct plterm;
struct TVA;

// Left by plval pointing at the slope of the segment its argument lies in
// (at a breakpoint, the segment on the side of 0); presolve's derivatives
// read it.
extern const double* pl_slope;
// Start-up and `reset`: pl_slope forgotten (it pointed into a freed
// record).
void pl_reset();

// The checked and reduced term record of breakpoints-and-slopes node bs (259)
// for the dummy values of tva, in a block of its own (block_class); the
// caller frees it (del_mblk) unless it hands it on.  Errors (the command
// is abandoned): "piecewise-linear term has %d slopes, %d breakpoints"
// when there is not one slope more than breakpoints; "piecewise-linear
// breakpoint %d bigger than breakpoint %d" (numbered from 1) when the
// breakpoints decrease; those of the list values' evaluation.
plterm* plcrunch(expr* bs, TVA* tva);
// Appends the values of list (a chain of OP246 entries) to the gathering
// record *r, whose n_slopes counts the values so far; a full record is
// replaced by one of the next size class.
void plcrunchx1(plterm** r, expr* list, TVA* tva);
// The value of term t at x, outward from 0, one fused multiply-add per
// segment crossed; sets pl_slope.
double plval(const plterm* t, double x);

// OPPL 185.  L: the breakpoints-and-slopes node, R: the argument node.  -> number: the
// term at the argument, less the term at the reference point when there
// is one.  Errors: plcrunch's.
eval_result f_OPPL(expr* e, TVA* tva);

}  // namespace vexo

#endif  // VEXO_COMPILER_PLTERM_H
