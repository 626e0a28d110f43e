// The evaluators of the terms of constraint and objective bodies.  The
// front end splits a body into a sum of terms, each a coefficient (L,
// without variables) times something with variables (R), and the instance
// generator evaluates the body once per member with the member's dummy
// values.  Instead of a value from variable values, each term puts the
// member's instance of itself in front of one of the generator's lists
// (gm_v, gm_e, gm_p, gm_i: instance/genmod.h) and yields only its constant
// part, so that the body's value is the member's constant.
#ifndef VEXO_COMPILER_GENTERMS_H
#define VEXO_COMPILER_GENTERMS_H

#include "eval/optab.h"

namespace vexo {

struct varref;
struct plterm;

// What a body evaluated in generation mode leaves besides its constant
// part: the term evaluators (compiler/genterms.h) put each term in front
// of one of these lists; the member generators take them over after a body
// is evaluated (the terms come in the
// reverse order of their evaluation).
extern varref* gm_v;  // linear terms (column, coefficient)
extern expr* gm_e;    // instantiated nonlinear parts, chained by next
extern plterm* gm_p;  // piecewise-linear terms, each with its column
extern uint32_t gm_i;  // the column of a defining equality's variable + 1
// Written outside compiler/, by design: gm_v, gm_e, gm_p and gm_i by the
// member generators (instance/gencon.cpp), which take the lists over after
// each body and empty them.
// Start-up and reset: the lists are empty.
void genterms_reset();

struct expr;
struct TVA;

// OPVARAC 86 ("lin."), R a variable reference (its column): the term
// (column, coefficient) on gm_v; 0.  OPVARACDEF 102 ("lindef."): the same,
// and gm_i := column + 1 while option substout has bit 1.  A coefficient that is not finite: new_varref's
// error ("can't multiply ...").
eval_result f_OPVARAC(expr* e, TVA* tva);
eval_result f_OPVARACDEF(expr* e, TVA* tva);
// OPNLAC 103 ("nl."), R the nonlinear expression: its instantiated copy
// (compiler/ecopy.h), times the coefficient, on gm_e with no routine; a
// copy that is a number K yields c*K instead.  A coefficient 0 copies
// nothing.
eval_result f_OPNLAC(expr* e, TVA* tva);
// OPPLAC 104 ("pl."), R a piecewise-linear term (OPPL) of one variable:
// the term record with slopes times the coefficient on gm_p, or, with one
// slope s, the linear term (column, c*s) on gm_v; yields -c times the term
// at its reference point (0 without one).
eval_result f_OPPLAC(expr* e, TVA* tva);

// An instantiated copy of e (with random parameters) that can be
// evaluated: copied in tva, its variable references retyped (primaladj)
// and its routines bound for tva's collected problem (dvopgen).  The copy
// is the caller's.
expr* randcopy(expr* e, TVA* tva);

}  // namespace vexo

#endif  // VEXO_COMPILER_GENTERMS_H
