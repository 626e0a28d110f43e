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

#include <cmath>

namespace vexo {

// The general cases of the operations below, rounded down (up false) or up.
double diff_rounded(double a, double b, bool up);
double fma_rounded(double a, double b, double c, bool up);
double quot_rounded(double a, double b, bool up);

// Exact shortcuts for the operands presolve meets most (zero bounds, unit
// coefficients): no rounding takes part, so they are taken inline.  A zero
// subtrahend leaves a nonzero finite a as it is.
inline double diff_dir(double a, double b, bool up) {
  if (b == 0 && a != 0 && std::isfinite(a)) return a;
  return diff_rounded(a, b, up);
}
// A product that is exactly zero (a zero times a finite number) leaves a
// finite c as it is, but for the sign of a sum of two zeros of opposite
// signs: -0 rounding down, +0 up.
inline double fma_dir(double a, double b, double c, bool up) {
  if (((a == 0 && std::isfinite(b)) || (b == 0 && std::isfinite(a))) &&
      std::isfinite(c)) {
    if (c != 0 || (std::signbit(a) != std::signbit(b)) == std::signbit(c))
      return c;
    return up ? 0.0 : -0.0;
  }
  return fma_rounded(a, b, c, up);
}
// Division by 1 or -1 is exact.
inline double quot_dir(double a, double b, bool up) {
  if (b == 1) return a;
  if (b == -1) return -a;
  return quot_rounded(a, b, up);
}

// a - b, rounded down / up.
inline double diffl(double a, double b) { return diff_dir(a, b, false); }
inline double diffu(double a, double b) { return diff_dir(a, b, true); }
// *c = a * b + *c with one (fused) rounding, down / up.
inline void macl(double a, double b, double* c) {
  *c = fma_dir(a, b, *c, false);
}
inline void macu(double a, double b, double* c) {
  *c = fma_dir(a, b, *c, true);
}
// *c = *c - a * b with one (fused) rounding, down / up.
inline void msacl(double a, double b, double* c) {
  *c = fma_dir(-a, b, *c, false);
}
inline void msacu(double a, double b, double* c) {
  *c = fma_dir(-a, b, *c, true);
}
// a / b, rounded down / up.
inline double quotl(double a, double b) { return quot_dir(a, b, false); }
inline double quotu(double a, double b) { return quot_dir(a, b, true); }
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
