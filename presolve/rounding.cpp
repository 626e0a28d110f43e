// Directed-rounding arithmetic and mypow.  This file is compiled with
// -frounding-math (CMakeLists.txt), so no operation is folded on the
// assumption of round-to-nearest.
#include "presolve/rounding.h"

#include <cerrno>
#include <cfenv>
#include <cmath>
#include <cstdint>

#include "support/symbol.h"

namespace vexo {

namespace {

// op on a, b, c with the rounding mode set to mode, then back to
// round-to-nearest.  The operands are read from volatile cells after the
// first mode change and the result is written to one before the second, so
// the operation cannot be moved out from between them.  The slow path:
// taken only where the fast one below cannot vouch for its result.
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
double quot(double a, double b, double) { return a / b; }
double qsum(double a, double b, double c) { return a + b / c; }

// The fast paths of the other operations, as rounding::sum_fast does the
// sum's (rounding.h).
using rounding::directed;
using rounding::nearest;
using rounding::safe;
using rounding::safe_nz;
using rounding::sum_fast;

// a * b + c with one rounding, down or up.
inline bool fma_fast(double a, double b, double c, bool up, double* out) {
  if ((a == 0 || b == 0) && std::isfinite(a) && std::isfinite(b) &&
      std::isfinite(c) && nearest()) {
    // The product is a zero: c is the sum, or, when c is a zero too, the
    // zeros' rule of a sum.
    bool neg = std::signbit(a) != std::signbit(b);
    *out = c != 0 || neg == std::signbit(c) ? c : up ? 0.0 : -0.0;
    return true;
  }
  double r1 = std::fma(a, b, c);
  double u1 = a * b;
  if (!safe_nz(r1) || !safe(c) || !safe(u1) || (u1 == 0 && a != 0 && b != 0) ||
      !nearest())
    return false;
  // The error of a fused multiply-add: a * b + c = r1 + r2 + r3 exactly,
  // r2 the error rounded (0 only when the error is).
  double u2 = std::fma(a, b, -u1);
  double a1 = c + u2, t = a1 - c;
  double z = (c - (a1 - t)) + (u2 - t);
  double b1 = u1 + a1, t2 = b1 - u1;
  double b2 = (u1 - (b1 - t2)) + (a1 - t2);
  double g = (b1 - r1) + b2;
  double r2 = g + z;
  *out = directed(r1, r2, up);
  return true;
}

// a / b, down or up.
inline bool quot_fast(double a, double b, bool up, double* out) {
  double q = a / b;
  if (a == 0 && b != 0 && !std::isnan(b) && nearest()) {
    *out = q;  // a zero of the operands' sign, exactly
    return true;
  }
  if (!safe_nz(q) || !safe_nz(a) || !safe_nz(b) || !nearest()) return false;
  // a - q * b is exact here; the truth is q + rem / b.
  double rem = std::fma(-q, b, a);
  *out = directed(q, b > 0 ? rem : -rem, up);
  return true;
}

// qsum's steps, each rounded down or up.
double qsum_dir(double a, double b, double c, bool up) {
  double q, r;
  if (quot_fast(b, c, up, &q) && sum_fast(a, q, up, &r)) return r;
  return in_mode(up ? FE_UPWARD : FE_DOWNWARD, a, b, c, qsum);
}

}  // namespace

double diff_rounded(double a, double b, bool up) {
  double r;
  if (sum_fast(a, -b, up, &r)) return r;
  return in_mode(up ? FE_UPWARD : FE_DOWNWARD, a, b, 0, diff);
}

double fma_rounded(double a, double b, double c, bool up) {
  double r;
  // (fma_dir took the factors 1 and -1.)
  if (fma_fast(a, b, c, up, &r)) return r;
  return in_mode(up ? FE_UPWARD : FE_DOWNWARD, a, b, c, mac);
}

double quot_rounded(double a, double b, bool up) {
  double r;
  if (quot_fast(a, b, up, &r)) return r;
  return in_mode(up ? FE_UPWARD : FE_DOWNWARD, a, b, 0, quot);
}

double qsuml(double a, double b, double c) { return qsum_dir(a, b, c, false); }
double qsumu(double a, double b, double c) { return qsum_dir(a, b, c, true); }

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
