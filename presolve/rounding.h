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

#include <bit>
#include <cfenv>
#include <cmath>
#include <cstdint>
#ifdef __SSE2_MATH__
#include <immintrin.h>
#endif

namespace vexo {

// The general cases of the operations below, rounded down (up false) or up.
double diff_rounded(double a, double b, bool up);
double fma_rounded(double a, double b, double c, bool up);
double quot_rounded(double a, double b, bool up);

// The fast path of a directed sum, inline for the callers' common cases.
// Changing the rounding mode costs far more than the operation itself, so
// the sum is done rounded to nearest, its exact error is computed by an
// error-free transformation, and the result is stepped one unit outward
// when the error lies on the wrong side.  This is exactly what the
// directed mode gives whenever the result is finite and nonzero and no
// operand is near the ends of the exponent range (where the transformation
// stops being exact); exact zeros follow the sign rules of the mode; the
// other cases, and a call made while another mode is in force, are left
// to the slow path (reading the mode is cheap; setting it is not).
namespace rounding {

// Magnitudes well inside the normal range, or 0.
constexpr double TINY = 0x1p-800, HUGE = 0x1p800;
inline bool safe(double v) {
  double m = std::fabs(v);
  return v == 0 || (m >= TINY && m <= HUGE);
}
inline bool safe_nz(double v) {
  double m = std::fabs(v);
  return m >= TINY && m <= HUGE;
}

// Whether round-to-nearest is in force.  Where doubles are computed by the
// SSE unit its control register is read directly: far cheaper than
// fegetround, which reads the x87 control word.
inline bool nearest() {
#ifdef __SSE2_MATH__
  return (_mm_getcsr() & 0x6000) == 0;
#else
  return fegetround() == FE_TONEAREST;
#endif
}

// The neighbour of finite nonzero r away from zero or toward it.
inline double step(double r, bool outward) {
  uint64_t u = std::bit_cast<uint64_t>(r);
  return std::bit_cast<double>(outward ? u + 1 : u - 1);
}

// r rounded to nearest with the exact error err (truth = r + err), moved
// to the directed result: down when up is false.
inline double directed(double r, double err, bool up) {
  if (up ? err > 0 : err < 0) return step(r, (r > 0) == up);
  return r;
}

// a + b rounded down or up; false when the slow path must do it.
inline bool sum_fast(double a, double b, bool up, double* out) {
  double s = a + b;
  if (s == 0 && safe(a) && safe(b) && nearest()) {
    // A sum is 0 only exactly: two zeros of one sign keep it, any other
    // pair gives -0 rounding down, +0 up.
    bool same = a == 0 && b == 0 && std::signbit(a) == std::signbit(b);
    *out = same ? a : up ? 0.0 : -0.0;
    return true;
  }
  if (!safe_nz(s) || !safe(a) || !safe(b) || !nearest()) return false;
  double bb = s - a;
  double err = (a - (s - bb)) + (b - bb);
  *out = directed(s, err, up);
  return true;
}

}  // namespace rounding

// Exact shortcuts for the operands presolve meets most (zero bounds, unit
// coefficients) and the fast path of a difference are taken inline.  A
// zero subtrahend leaves a nonzero finite a as it is.
inline double diff_dir(double a, double b, bool up) {
  if (b == 0 && a != 0 && std::isfinite(a)) return a;
  double r;
  if (rounding::sum_fast(a, -b, up, &r)) return r;
  return diff_rounded(a, b, up);
}
// A product that is exactly zero (a zero times a finite number) leaves a
// finite c as it is, but for the sign of a sum of two zeros of opposite
// signs: -0 rounding down, +0 up.  A factor of 1 or -1 makes the product
// exact: one directed sum.
inline double fma_dir(double a, double b, double c, bool up) {
  if (((a == 0 && std::isfinite(b)) || (b == 0 && std::isfinite(a))) &&
      std::isfinite(c)) {
    if (c != 0 || (std::signbit(a) != std::signbit(b)) == std::signbit(c))
      return c;
    return up ? 0.0 : -0.0;
  }
  if (a == 1 || a == -1 || b == 1 || b == -1) {
    double p = a == 1 ? b : a == -1 ? -b : b == 1 ? a : -a, r;
    if (p != 0 && rounding::sum_fast(c, p, up, &r)) return r;
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
