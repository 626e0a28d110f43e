// Elementary functions and arithmetic errors.
#include "eval/elemfunc.h"

#include <cerrno>
#include <cmath>

#include "eval/evalerr.h"
#include "presolve/rounding.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/symbol.h"

namespace vexo {

int allow_NaN;

namespace {

// The shared part of the non-finite rule: 1 when the caller is to keep
// its value (allow_NaN has made it NaN, or the error was swallowed); 0
// after mgwhere has written the location, with errno as the computation
// left it, for the caller's message.
bool keep_value(TVA* tva, double* r) {
  if (allow_NaN) {
    errno = 0;
    *r = qNaN;
    return true;
  }
  int err = errno;
  if (mgwhere(tva)) return true;
  errno = err;
  return false;
}

template <class F>
evalue unary(expr* e, TVA* tva, const char* name, F f) {
  double x = eval_num(e->L.e, tva);
  double r = f(x);
  if (!std::isfinite(r)) introuble(tva, name, x, &r);
  return {.d = r};
}

template <class F>
evalue binary(expr* e, TVA* tva, const char* name, F f) {
  double x = eval_num(e->L.e, tva);
  double y = eval_num(e->R.e, tva);
  double r = f(x, y);
  if (!std::isfinite(r)) introuble2(tva, name, x, y, &r);
  return {.d = r};
}

// The division rule for a zero divisor; fmt holds the dividend's place.
double zero_divisor(TVA* tva, const char* fmt, double a) {
  if (allow_NaN) return qNaN;
  if (mgwhere(tva)) return 0;
  Fprintf(Stderr, fmt, a);
  bailout();
}

// The domain error of sqrt, atanh and acosh.
double domain_error() {
  errno = EDOM;
  return qNaN;
}

}  // namespace

void introuble(TVA* tva, const char* name, double x, double* r) {
  if (keep_value(tva, r)) return;
  const char* m = msgBf("can't evaluate %s(%.g)", name, x);
  Perror(m);
  bailout();
}

void introuble2(TVA* tva, const char* name, double x, double y, double* r) {
  if (keep_value(tva, r)) return;
  const char* m = msgBf("can't evaluate %s(%.g,%.g)", name, x, y);
  Perror(m);
  bailout();
}

// ---- One argument ----------------------------------------------------------

evalue f_OP_tanh(expr* e, TVA* tva) {
  return unary(e, tva, "tanh", [](double x) {
    return x >= 175 ? 1 : x <= -175 ? -1 : std::tanh(x);
  });
}
evalue f_OP_tan(expr* e, TVA* tva) {
  return unary(e, tva, "tan", [](double x) { return std::tan(x); });
}
evalue f_OP_sqrt(expr* e, TVA* tva) {
  return unary(e, tva, "sqrt",
               [](double x) { return x < 0 ? domain_error() : std::sqrt(x); });
}
evalue f_OP_sinh(expr* e, TVA* tva) {
  return unary(e, tva, "sinh", [](double x) { return std::sinh(x); });
}
evalue f_OP_sin(expr* e, TVA* tva) {
  return unary(e, tva, "sin", [](double x) { return std::sin(x); });
}
evalue f_OP_log10(expr* e, TVA* tva) {
  return unary(e, tva, "log10", [](double x) { return std::log10(x); });
}
evalue f_OP_log(expr* e, TVA* tva) {
  return unary(e, tva, "log", [](double x) { return std::log(x); });
}
evalue f_OP_exp(expr* e, TVA* tva) {
  return unary(e, tva, "exp", [](double x) {
    double r = std::exp(x);
    if (!std::isfinite(r) && x < 0) {
      errno = 0;
      r = 0;
    }
    return r;
  });
}
evalue f_OP_cosh(expr* e, TVA* tva) {
  return unary(e, tva, "cosh", [](double x) { return std::cosh(x); });
}
evalue f_OP_cos(expr* e, TVA* tva) {
  return unary(e, tva, "cos", [](double x) { return std::cos(x); });
}
evalue f_OP_atanh(expr* e, TVA* tva) {
  return unary(e, tva, "atanh", [](double x) {
    if (x <= -1 || x >= 1) return domain_error();
    return 0.5 * std::log((1 + x) / (1 - x));
  });
}
evalue f_OP_atan(expr* e, TVA* tva) {
  return unary(e, tva, "atan", [](double x) { return std::atan(x); });
}
evalue f_OP_asinh(expr* e, TVA* tva) {
  double x = eval_num(e->L.e, tva);
  double t = std::fabs(x);
  double r = t > 1 ? std::log(t + t * std::sqrt(1 / (t * t) + 1))
                   : std::log(t + std::sqrt(t * t + 1));
  if (x < 0) r = -r;
  if (!std::isfinite(r)) introuble(tva, "asinh", t, &r);
  return {.d = r};
}
evalue f_OP_asin(expr* e, TVA* tva) {
  return unary(e, tva, "asin", [](double x) { return std::asin(x); });
}
evalue f_OP_acosh(expr* e, TVA* tva) {
  return unary(e, tva, "acosh", [](double x) {
    if (x < 1) return domain_error();
    if (x > 281474976710656.)  // 2^48: (x - 1)(x + 1) would lose x's digits
      return std::log(x + x * std::sqrt((1 - 1 / x) * (1 + 1 / x)));
    return std::log(x + std::sqrt((x - 1) * (x + 1)));
  });
}
evalue f_OP_acos(expr* e, TVA* tva) {
  return unary(e, tva, "acos", [](double x) { return std::acos(x); });
}

// ---- Two arguments ---------------------------------------------------------

evalue f_OP_atan2(expr* e, TVA* tva) {
  return binary(e, tva, "atan2",
                [](double y, double x) { return std::atan2(y, x); });
}
evalue f_OPREM(expr* e, TVA* tva) {
  return binary(e, tva, "fmod",
                [](double a, double b) { return std::fmod(a, b); });
}
evalue f_OPPOW(expr* e, TVA* tva) { return binary(e, tva, "pow", mypow); }

// ---- Division --------------------------------------------------------------

evalue f_OPDIV(expr* e, TVA* tva) {
  double a = eval_num(e->L.e, tva);
  double b = eval_num(e->R.e, tva);
  if (b == 0) return {.d = zero_divisor(tva, "can't compute %g/0\n", a)};
  return {.d = a / b};
}
evalue f_OPintDIV(expr* e, TVA* tva) {
  double a = eval_num(e->L.e, tva);
  double b = eval_num(e->R.e, tva);
  if (b == 0) return {.d = zero_divisor(tva, "can't compute %g div 0\n", a)};
  double q = a / b;
  return {.d = q >= 0 ? std::floor(q) : std::ceil(q)};
}

}  // namespace vexo
