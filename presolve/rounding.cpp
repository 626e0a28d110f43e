// Directed-rounding arithmetic and mypow.  This file is compiled with
// -frounding-math (CMakeLists.txt), so no operation is folded on the
// assumption of round-to-nearest.
#include "presolve/rounding.h"

#include <cerrno>
#include <cfenv>
#include <cmath>

#include "support/symbol.h"

namespace vexo {

namespace {

// op on a, b, c with the rounding mode set to mode, then back to
// round-to-nearest.  The operands are read from volatile cells after the
// first mode change and the result is written to one before the second, so
// the operation cannot be moved out from between them.
template <class F>
double in_mode(int mode, double a, double b, double c, F op) {
  volatile double va = a, vb = b, vc = c;
  fesetround(mode);
  volatile double r = op(va, vb, vc);
  fesetround(FE_TONEAREST);
  return r;
}

double diff(double a, double b, double) { return a - b; }
double mac(double a, double b, double c) { return std::fma(a, b, c); }
double msac(double a, double b, double c) { return std::fma(-a, b, c); }
double quot(double a, double b, double) { return a / b; }
double qsum(double a, double b, double c) { return a + b / c; }

}  // namespace

double diffl(double a, double b) { return in_mode(FE_DOWNWARD, a, b, 0, diff); }
double diffu(double a, double b) { return in_mode(FE_UPWARD, a, b, 0, diff); }
void macl(double a, double b, double* c) {
  *c = in_mode(FE_DOWNWARD, a, b, *c, mac);
}
void macu(double a, double b, double* c) {
  *c = in_mode(FE_UPWARD, a, b, *c, mac);
}
void msacl(double a, double b, double* c) {
  *c = in_mode(FE_DOWNWARD, a, b, *c, msac);
}
void msacu(double a, double b, double* c) {
  *c = in_mode(FE_UPWARD, a, b, *c, msac);
}
double quotl(double a, double b) { return in_mode(FE_DOWNWARD, a, b, 0, quot); }
double quotu(double a, double b) { return in_mode(FE_UPWARD, a, b, 0, quot); }
double qsuml(double a, double b, double c) {
  return in_mode(FE_DOWNWARD, a, b, c, qsum);
}
double qsumu(double a, double b, double c) {
  return in_mode(FE_UPWARD, a, b, c, qsum);
}

// 2^64: integer powers up to it go by repeated squaring.
constexpr double TWO64 = 18446744073709551616.;

// Binary exponents far beyond the double range, for ldexp.
constexpr double EXP_CLAMP = 1e6;

double mypow(double x, double y) {
  if (y == 0) return 1;
  const double y0 = y;
  const bool invert = y < 0;
  if (invert) y = -y;
  double n;
  double f = std::modf(y, &n);
  double w = 1;
  // x <= 0 with a fractional (or huge) power: only 0^(y > 0) has a value.
  auto nonpositive_base = [&] {
    if (x == 0 && y0 > 0) return 0.;
    errno = EDOM;
    return qNaN;
  };
  if (f != 0) {  // also a NaN y
    if (x <= 0) return nonpositive_base();
    if (f > 0.5) {  // keep the fraction in (-0.5, 0.5]
      n += 1;
      f -= 1;
    }
    w = std::exp(f * std::log(x));
  }
  if (!(n <= TWO64)) {  // beyond repeated squaring (or NaN)
    if (x <= 0) return nonpositive_base();
    return std::exp(y0 * std::log(x));
  }
  // x = m * 2^e with m in [0.5, 1); the mantissa is squared and brought
  // back into [0.5, 1) at each step, the exponents are kept apart (as
  // doubles: they may outgrow any integer type before the final scaling).
  int e0;
  double m = std::frexp(x, &e0);
  double e = e0, ex = 0;
  while (n > 0) {
    double half = std::floor(n / 2);
    if (n != 2 * half) {  // this bit of n is set
      w *= m;
      ex += e;
    }
    n = half;
    if (n == 0) break;
    m *= m;
    e *= 2;
    if (m < 0.5) {
      m *= 2;
      e -= 1;
    }
  }
  if (invert) {
    w = 1 / w;
    ex = -ex;
  }
  errno = 0;
  int k = ex > EXP_CLAMP    ? static_cast<int>(EXP_CLAMP)
          : ex < -EXP_CLAMP ? -static_cast<int>(EXP_CLAMP)
                            : static_cast<int>(ex);
  double r = std::ldexp(w, k);
  if (!std::isfinite(r) && ex < 0) {
    errno = 0;
    r = 0;
  } else if (std::isinf(r) && !errno) {
    errno = ERANGE;  // a pole (0 to a negative power), as pow reports it
  }
  return r;
}

}  // namespace vexo
