// Arithmetic, logical and relational evaluation routines.
#include "eval/arith.h"

#include <climits>
#include <cmath>
#include <cstring>

#include "frontend/decl.h"
#include "presolve/rounding.h"
#include "session/startup.h"
#include "support/machine.h"
#include "support/numfmt.h"
#include "support/strtod.h"
#include "support/symbol.h"

namespace vexo {

namespace {

double lnum(expr* e, TVA* tva) { return eval_num(e->L.e, tva); }
double rnum(expr* e, TVA* tva) { return eval_num(e->R.e, tva); }
bool ltrue(expr* e, TVA* tva) { return eval_true(e->L.e, tva); }
bool rtrue(expr* e, TVA* tva) { return eval_true(e->R.e, tva); }

eval_result num(double d) { return {.d = d}; }
eval_result truth(bool b) { return {.i = b}; }

// The then-part or the else-part of a conditional node.
expr* chosen(expr* e, TVA* tva) {
  return ltrue(e, tva) ? e->R.e->L.e : e->R.e->R.e;
}

// The comparisons of a symbol with a number or a text read it at once
// (eval_sym_peek): a loop's integer is compared without being interned.
// A symbol and a number: equal when the symbol is numeric with that value.
bool sym_is_num(const symbol* s, double x) {
  return is_number(s) && s->value == x;
}
// A symbol and a text: equal when the symbol is not numeric and its name
// has the same bytes.
bool sym_is_text(const symbol* s, const char* t) {
  return !is_number(s) && std::strcmp(s->name, t) == 0;
}

bool eq_rs(expr* e, TVA* tva) {
  symbol* s = eval_sym_peek(e->R.e, tva);
  return sym_is_num(s, lnum(e, tva));
}
bool eq_sr(expr* e, TVA* tva) {
  symbol* s = eval_sym_peek(e->L.e, tva);
  return sym_is_num(s, rnum(e, tva));
}
bool eq_ss(expr* e, TVA* tva) {
  symbol* s = eval_sym(e->L.e, tva);
  return s == eval_sym(e->R.e, tva);
}
bool eq_css(expr* e, TVA* tva) {
  symbol* s = eval_sym_peek(e->R.e, tva);
  held_cstr c(eval_str(e->L.e, tva));
  return sym_is_text(s, c.text());
}
bool eq_scs(expr* e, TVA* tva) {
  symbol* s = eval_sym_peek(e->L.e, tva);
  held_cstr c(eval_str(e->R.e, tva));
  return sym_is_text(s, c.text());
}
bool eq_cscs(expr* e, TVA* tva) {
  held_cstr a(eval_str(e->L.e, tva));
  held_cstr b(eval_str(e->R.e, tva));
  return std::strcmp(a.text(), b.text()) == 0;
}

// Places beyond these bounds change no double: every finite double is an
// exact decimal with at most 1074 places, and below 10^309 in magnitude.
// Clamping keeps the formatter from writing (or dtoa from computing with)
// absurd digit counts.
constexpr int32_t MAX_PLACES = 1100;
constexpr int32_t MIN_PLACES = -400;
int32_t places(double d) {
  int32_t n = digit_count(d);
  return n > MAX_PLACES ? MAX_PLACES : n < MIN_PLACES ? MIN_PLACES : n;
}

// x in fixed notation with n places, read back.
double fixed(double x, int32_t n) {
  return Strtod(ffmt(x, n, nullptr), nullptr);
}

}  // namespace

int32_t digit_count(double d) {
  if (d != d) return INT32_MIN;
  if (d >= 2147483647.) return INT32_MAX;
  if (d <= -2147483648.) return INT32_MIN;
  return static_cast<int32_t>(d);
}

// ---- Arithmetic ----------------------------------------------------------

eval_result f_OPPLUS(expr* e, TVA* tva) {
  double l = lnum(e, tva);
  return num(l + rnum(e, tva));
}
eval_result f_OPMINUS(expr* e, TVA* tva) {
  double l = lnum(e, tva);
  return num(l - rnum(e, tva));
}
eval_result f_OPMULT(expr* e, TVA* tva) {
  double l = lnum(e, tva);
  return num(l * rnum(e, tva));
}
eval_result f_OPLESS(expr* e, TVA* tva) {
  double l = lnum(e, tva);
  double d = l - rnum(e, tva);
  return num(d < 0 ? 0 : d);
}
eval_result f_OPUMINUS(expr* e, TVA* tva) { return num(-lnum(e, tva)); }
eval_result f_ABS(expr* e, TVA* tva) {
  double x = lnum(e, tva);
  return num(x < 0 ? -x : x);
}
eval_result f_FLOOR(expr* e, TVA* tva) { return num(std::floor(lnum(e, tva))); }
eval_result f_CEIL(expr* e, TVA* tva) { return num(std::ceil(lnum(e, tva))); }

// ---- Minimum and maximum of a list -----------------------------------------

// The list in L folded with step; empty is the value of an empty list.
template <double (*step)(double, double)>
eval_result list_extreme(expr* e, TVA* tva, double empty) {
  expr* m = e->L.e;
  if (!m) return num(empty);
  double r = eval_num(m, tva);
  while ((m = m->next)) r = step(r, eval_num(m, tva));
  return num(r);
}

eval_result f_MINLIST(expr* e, TVA* tva) {
  return list_extreme<min_step>(e, tva, Infinity);
}
eval_result f_MAXLIST(expr* e, TVA* tva) {
  return list_extreme<max_step>(e, tva, negInfinity);
}

// ---- Rounding --------------------------------------------------------------

eval_result f_OPprecision(expr* e, TVA* tva) {
  double x = lnum(e, tva);
  int32_t n = digit_count(rnum(e, tva));
  return num(Strtod(gfmt(x, n, nullptr), nullptr));
}
// The places of round and trunc: 0 when the second argument is left out.
static double places_arg(expr* e, TVA* tva) {
  return e->R.e ? rnum(e, tva) : 0.;
}
// x truncated to n places (n not 0): x itself when it reads back unchanged at
// n places; otherwise half a unit of the last place is taken off (toward
// zero) and x rounded again.  That subtraction is inexact: for x tiny beside
// the unit it gives exactly minus half a unit, which rounds a whole unit
// across zero.  Truncation never moves away from zero: a result across zero
// is 0, and one beyond x (which the arithmetic does not rule out) steps back
// one unit.
static double trunc_places(double x, int32_t n) {
  double r = fixed(x, n);
  if (r == x) return r;
  double d = 0.5 * mypow(10, -n);
  // Half a unit beyond the double range: every finite x truncates to zero.
  if (!std::isfinite(d)) return std::copysign(0., x);
  bool pos = x > 0;
  r = fixed(pos ? x - d : x + d, n);
  if (pos ? r > x : r < x) {
    double u = 2 * d;
    r = fixed(pos ? r - u : r + u, n);
  }
  if (pos ? r < 0 : r > 0) r = std::copysign(0., x);
  return r;
}
eval_result f_OPround(expr* e, TVA* tva) {
  double x = lnum(e, tva);
  int32_t n = places(places_arg(e, tva));
  double r = fixed(x, n);
  // The nearest multiple of the unit can lie beyond the double range (round
  // of 1.7e308 to -308 places is 2e308): the nearest one that fits is the
  // one toward zero.
  if (std::isinf(r) && std::isfinite(x)) r = trunc_places(x, n);
  return num(r);
}
eval_result f_OPtrunc(expr* e, TVA* tva) {
  double x = lnum(e, tva);
  double digits = places_arg(e, tva);
  if (digits == 0) return num(x >= 0 ? std::floor(x) : std::ceil(x));
  return num(trunc_places(x, places(digits)));
}

// ---- Comparisons of numbers ------------------------------------------------

eval_result f_LT(expr* e, TVA* tva) {
  double l = lnum(e, tva);
  return truth(l < rnum(e, tva));
}
eval_result f_LE(expr* e, TVA* tva) {
  double l = lnum(e, tva);
  return truth(l <= rnum(e, tva));
}
eval_result f_EQ(expr* e, TVA* tva) {
  double l = lnum(e, tva);
  return truth(l == rnum(e, tva));
}
eval_result f_GE(expr* e, TVA* tva) {
  double l = lnum(e, tva);
  return truth(l >= rnum(e, tva));
}
eval_result f_GT(expr* e, TVA* tva) {
  double l = lnum(e, tva);
  return truth(l > rnum(e, tva));
}
eval_result f_NE(expr* e, TVA* tva) {
  double l = lnum(e, tva);
  return truth(l != rnum(e, tva));
}

// ---- Comparisons with symbols and strings ----------------------------------

eval_result f_EQrs(expr* e, TVA* tva) { return truth(eq_rs(e, tva)); }
eval_result f_EQsr(expr* e, TVA* tva) { return truth(eq_sr(e, tva)); }
eval_result f_EQss(expr* e, TVA* tva) { return truth(eq_ss(e, tva)); }
eval_result f_NErs(expr* e, TVA* tva) { return truth(!eq_rs(e, tva)); }
eval_result f_NEsr(expr* e, TVA* tva) { return truth(!eq_sr(e, tva)); }
eval_result f_NEss(expr* e, TVA* tva) { return truth(!eq_ss(e, tva)); }
eval_result f_EQcss(expr* e, TVA* tva) { return truth(eq_css(e, tva)); }
eval_result f_EQscs(expr* e, TVA* tva) { return truth(eq_scs(e, tva)); }
eval_result f_EQcscs(expr* e, TVA* tva) { return truth(eq_cscs(e, tva)); }
eval_result f_NEcss(expr* e, TVA* tva) { return truth(!eq_css(e, tva)); }
eval_result f_NEscs(expr* e, TVA* tva) { return truth(!eq_scs(e, tva)); }
eval_result f_NEcscs(expr* e, TVA* tva) { return truth(!eq_cscs(e, tva)); }

// ---- Logical ---------------------------------------------------------------

eval_result f_OPNOT(expr* e, TVA* tva) {
  return truth(static_cast<int32_t>(eval(e->L.e, tva).i) == 0);
}
eval_result f_OPTESTNZ(expr* e, TVA* tva) { return truth(lnum(e, tva) != 0); }
eval_result f_OPTESTZ(expr* e, TVA* tva) { return truth(lnum(e, tva) == 0); }
eval_result f_OPAND(expr* e, TVA* tva) {
  eval_result l = eval(e->L.e, tva);
  return l.i ? eval(e->R.e, tva) : l;
}
eval_result f_OPOR(expr* e, TVA* tva) {
  return ltrue(e, tva) ? truth(true) : eval(e->R.e, tva);
}
eval_result f_OPIMPLIES(expr* e, TVA* tva) {
  return ltrue(e, tva) ? eval(e->R.e, tva) : truth(true);
}
eval_result f_OPIMPLIEDBY(expr* e, TVA* tva) {
  return truth(ltrue(e, tva) || !rtrue(e, tva));
}
eval_result f_OP_IFF(expr* e, TVA* tva) {
  if (ltrue(e, tva)) return eval(e->R.e, tva);
  return truth(!rtrue(e, tva));
}

// ---- Conditionals ----------------------------------------------------------
// One routine per value kind, so that the compiler's binding and the
// printers can tell them apart; the evaluation is the same.

eval_result f_OPIMPELSE(expr* e, TVA* tva) { return eval(chosen(e, tva), tva); }
eval_result f_OPIF(expr* e, TVA* tva) { return eval(chosen(e, tva), tva); }
eval_result f_OPIFSYM(expr* e, TVA* tva) { return eval(chosen(e, tva), tva); }
eval_result f_OPIFSYMstr(expr* e, TVA* tva) {
  return eval(chosen(e, tva), tva);
}

// ---- Type tests ------------------------------------------------------------

eval_result f_OP_ISLOGICAL(expr* e, TVA* tva) {
  double x = lnum(e, tva);
  return truth(x == 0 || x == 1);
}
eval_result f_OP_ISINTEGER(expr* e, TVA* tva) {
  double x = lnum(e, tva);
  return truth(std::floor(x) == x);
}

// ---- Pass-through shells ---------------------------------------------------

eval_result f_OPEVAL(expr* e, TVA* tva) { return eval(e->L.e, tva); }
eval_result f_OPEVALc(expr* e, TVA* tva) { return eval(e->L.e, tva); }
eval_result f_OPEVALr(expr* e, TVA* tva) { return eval(e->L.e, tva); }
eval_result f_OPALGCON(expr* e, TVA* tva) { return eval(e->L.e, tva); }
eval_result f_OPVARREF(expr* e, TVA* tva) { return eval(e->L.e, tva); }
eval_result f_OPSVEXOE(expr* e, TVA* tva) { return eval(e->L.e, tva); }
eval_result f_OPSVEXOESTR(expr* e, TVA* tva) { return eval(e->L.e, tva); }

eval_result f_OPALIAS(expr* e, TVA*) {
  cstr* a = e->L.x->alias;
  return {.cs = ref_cstr(a ? a : Blank)};
}

}  // namespace vexo
