// Directed-rounding arithmetic and the power function.  Bound propagation
// must never let rounding make a deduced interval narrower than the truth:
// a lower bound is computed with every operation rounded toward minus
// infinity, an upper bound toward plus infinity.  Each routine here gives
// exactly the result of its one operation done in the directed mode, and
// leaves round-to-nearest in force, the mode the rest of the program runs
// in (the previous mode is not restored).  Mostly without touching the
// mode: the operation is rounded to nearest and corrected by its exact
// error; the rare cases that correction cannot settle (results near the
// ends of the exponent range, zeros, infinities, another mode in force)
// switch the mode for the one operation.
//
// mypow is the power function of the evaluator's "^", of presolve's
// tolerance quantisation and of the dual recovery.
#ifndef VEXO_PRESOLVE_ROUNDING_H
#define VEXO_PRESOLVE_ROUNDING_H

namespace vexo {

// a - b, rounded down / up.
double diffl(double a, double b);
double diffu(double a, double b);
// *c = a * b + *c with one (fused) rounding, down / up.
void macl(double a, double b, double* c);
void macu(double a, double b, double* c);
// *c = *c - a * b with one (fused) rounding, down / up.
void msacl(double a, double b, double* c);
void msacu(double a, double b, double* c);
// a / b, rounded down / up.
double quotl(double a, double b);
double quotu(double a, double b);
// a + b / c, the quotient and the sum each rounded down / up.
double qsuml(double a, double b, double c);
double qsumu(double a, double b, double c);

// x to the power y, errno as the standard library sets it: 1 for y = 0
// whatever x; a fractional y with x <= 0 gives 0 for x = 0 and y > 0,
// else EDOM and a quiet NaN.  Integer powers up to 2^64 are computed by
// repeated squaring of the normalised mantissa (nothing over- or underflows
// before the final scaling); larger ones as exp(y log x).  A result that is
// not finite while its binary exponent is negative is 0; an infinite one
// sets ERANGE.  Callers test only whether the result is finite.
double mypow(double x, double y);

}  // namespace vexo

#endif  // VEXO_PRESOLVE_ROUNDING_H
