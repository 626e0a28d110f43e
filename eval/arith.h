// Evaluation routines of the operators that combine numbers and truth
// values: arithmetic, rounding, comparisons of numbers, symbols and
// strings, the logical connectives, the conditional expressions and the
// pass-through shells the compiler plants around operands.  Each follows
// eval/dispatch.h; L and R are the node's operands.  Binary routines
// evaluate L first, then R, unless said otherwise; strings received from
// operands are released on every path.  None of them raises an error of
// its own (division, powers and the elementary functions are
// eval/elemfunc.h's).
#ifndef VEXO_EVAL_ARITH_H
#define VEXO_EVAL_ARITH_H

#include <cstdint>

#include "eval/dispatch.h"

namespace vexo {

// The update rule of every minimum and maximum (lists here, iterations
// too): the running value r becomes v when v is below (above) r or when v
// is NaN, so that one NaN operand makes the result NaN.
inline double min_step(double r, double v) { return v < r || v != v ? v : r; }
inline double max_step(double r, double v) { return v > r || v != v ? v : r; }

// The digit count of round, trunc and precision: d truncated toward zero
// to 32 bits, saturating at the limits; NaN gives the most negative value.
int32_t digit_count(double d);

// ---- Arithmetic: numbers L, R -> number --------------------------------

evalue f_OPPLUS(expr* e, TVA* tva);   // 0: L + R
evalue f_OPMINUS(expr* e, TVA* tva);  // 1: L - R
evalue f_OPMULT(expr* e, TVA* tva);   // 2: L * R
// 6: d = L - R; d unless d is below 0 (then 0); a NaN d is returned.
evalue f_OPLESS(expr* e, TVA* tva);
evalue f_OPUMINUS(expr* e, TVA* tva);  // 16: -L
// 15: -L when L < 0, else L (-0 and NaN come back unchanged).
evalue f_ABS(expr* e, TVA* tva);
evalue f_FLOOR(expr* e, TVA* tva);  // 13: floor of L
evalue f_CEIL(expr* e, TVA* tva);   // 14: ceiling of L

// ---- Minimum and maximum of a list: L the operand list -> number -------

// 11: each operand evaluated once, in order; empty list +infinity.
evalue f_MINLIST(expr* e, TVA* tva);
// 12: the same; empty list -infinity.
evalue f_MAXLIST(expr* e, TVA* tva);

// ---- Rounding: number L, digit count R -> number -----------------------

// 56: L with R significant digits (the number formatter's text of L at
// that precision, read back).
evalue f_OPprecision(expr* e, TVA* tva);
// 57: L rounded to R decimal places (fixed notation read back; ties as
// the formatter rounds them, to even).
evalue f_OPround(expr* e, TVA* tva);
// 58: L truncated toward zero to R decimal places.
evalue f_OPtrunc(expr* e, TVA* tva);

// ---- Comparisons of numbers L, R -> logical ----------------------------

evalue f_LT(expr* e, TVA* tva);  // 22: L < R
evalue f_LE(expr* e, TVA* tva);  // 23: L <= R
evalue f_EQ(expr* e, TVA* tva);  // 24: L == R
evalue f_GE(expr* e, TVA* tva);  // 28: L >= R
evalue f_GT(expr* e, TVA* tva);  // 29: L > R
evalue f_NE(expr* e, TVA* tva);  // 30: L != R

// ---- Comparisons with symbols -> logical -------------------------------
// A symbol is a number exactly when it is numeric (is_number); a number
// never equals a string-valued symbol.

// 25: number L, symbol R (R first): R numeric with the value L.
evalue f_EQrs(expr* e, TVA* tva);
// 26: symbol L, number R (L first): L numeric with the value R.
evalue f_EQsr(expr* e, TVA* tva);
// 27: symbols L, R: the same symbol.
evalue f_EQss(expr* e, TVA* tva);
evalue f_NErs(expr* e, TVA* tva);  // 31: not f_EQrs (NaN differs)
evalue f_NEsr(expr* e, TVA* tva);  // 32: not f_EQsr
evalue f_NEss(expr* e, TVA* tva);  // 33: not f_EQss

// ---- Comparisons with strings -> logical -------------------------------
// A string equals a symbol that is not numeric and whose name has the same
// bytes; a numeric symbol never equals a string (the member 3 and "3"
// differ).

// 80: string L, symbol R (R first).
evalue f_EQcss(expr* e, TVA* tva);
// 81: symbol L, string R (L first).
evalue f_EQscs(expr* e, TVA* tva);
// 82: strings L, R: the same bytes.
evalue f_EQcscs(expr* e, TVA* tva);
evalue f_NEcss(expr* e, TVA* tva);   // 83: not f_EQcss
evalue f_NEscs(expr* e, TVA* tva);   // 84: not f_EQscs
evalue f_NEcscs(expr* e, TVA* tva);  // 85: not f_EQcscs

// ---- Logical ------------------------------------------------------------

// 34: logical L -> 1 when the low 32 bits of L are 0, else 0.
evalue f_OPNOT(expr* e, TVA* tva);
evalue f_OPTESTNZ(expr* e, TVA* tva);  // 145: number L -> L != 0
evalue f_OPTESTZ(expr* e, TVA* tva);   // 129: number L -> L == 0
// 21: logicals L, R -> L when false (R not evaluated), else R's own value
// (any nonzero integer for true).
evalue f_OPAND(expr* e, TVA* tva);
// 20: -> 1 when L is true (R not evaluated), else R's value.
evalue f_OPOR(expr* e, TVA* tva);
// 77: -> 1 when L is false (R not evaluated), else R's value.
evalue f_OPIMPLIES(expr* e, TVA* tva);
// 78: -> 1 when L is true (R not evaluated), else not R.
evalue f_OPIMPLIEDBY(expr* e, TVA* tva);
// 73: -> R's value when L is true, else not R (R always evaluated).
evalue f_OP_IFF(expr* e, TVA* tva);

// ---- Conditionals: L the condition, R a node holding the then-part (L)
// and the else-part (R); only the chosen part is evaluated ---------------

// 72, 79: -> the chosen part's logical value.
evalue f_OPIMPELSE(expr* e, TVA* tva);
// 35, 111: -> the chosen part's number.
evalue f_OPIF(expr* e, TVA* tva);
// 65, 112: -> the chosen part's symbol cell.
evalue f_OPIFSYM(expr* e, TVA* tva);
// 101, 113: -> the chosen part's string, its reference handed on.
evalue f_OPIFSYMstr(expr* e, TVA* tva);

// ---- Type tests: number L -> logical -----------------------------------

// 105 "binary (0 or 1)": L is 0 or 1.
evalue f_OP_ISLOGICAL(expr* e, TVA* tva);
// 106 "an integer": floor(L) == L (true for infinities and -0, false for
// NaN).
evalue f_OP_ISINTEGER(expr* e, TVA* tva);

// ---- Pass-through shells: L's value, handed on unchanged ---------------
// Distinct routines, so that code that looks at a node's routine can tell
// the forms apart.

evalue f_OPEVAL(expr* e, TVA* tva);       // 158
evalue f_OPEVALc(expr* e, TVA* tva);      // 159: string-valued
evalue f_OPEVALr(expr* e, TVA* tva);      // 160, 162: numeric
evalue f_OPALGCON(expr* e, TVA* tva);     // 161
evalue f_OPVARREF(expr* e, TVA* tva);     // 87, 88
evalue f_OPSVEXOE(expr* e, TVA* tva);     // 141: a random draw
evalue f_OPSVEXOESTR(expr* e, TVA* tva);  // 142: string-valued draw

// 206: L a declaration -> string: its alias with one more reference, or
// the shared empty string Blank with one more reference.
evalue f_OPALIAS(expr* e, TVA* tva);

}  // namespace vexo

#endif  // VEXO_EVAL_ARITH_H
