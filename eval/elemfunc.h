// Evaluation routines of the built-in mathematical functions and of
// division, integer division, remainder and power, with their one rule for
// results that are not finite numbers: option allow_NaN turns them into NaN
// silently; otherwise the error is reported with its location and the
// command is abandoned (bailout), unless it happens while nonlinear
// expressions are simplified quietly, when the value is kept and the error
// only noted (mgwhere, eval/evalerr.h).  The success path is one operand
// evaluation, one computation and one finiteness test.
#ifndef VEXO_EVAL_ELEMFUNC_H
#define VEXO_EVAL_ELEMFUNC_H

#include "eval/dispatch.h"

namespace vexo {

// Option allow_NaN: nonzero makes non-finite results NaN without a
// message.  Default 0.
extern int allow_NaN;

// The rule for a non-finite result *r of function name at x: with
// allow_NaN errno is cleared and *r becomes NaN; when mgwhere swallows the
// error *r is kept; otherwise "can't evaluate %s(%.g)" and the system's
// text for errno are written and the command is abandoned.
void introuble(TVA* tva, const char* name, double x, double* r);
// The same for two arguments: "can't evaluate %s(%.g,%.g)".
void introuble2(TVA* tva, const char* name, double x, double y, double* r);

// ---- Functions of one argument: number L -> number ---------------------
// Errors: a non-finite result goes through introuble, the name being the
// function's (asinh writes |x| as its argument).

evalue f_OP_tanh(expr* e, TVA* tva);   // 37: 1 from 175 up, -1 to -175
evalue f_OP_tan(expr* e, TVA* tva);    // 38
evalue f_OP_sqrt(expr* e, TVA* tva);   // 39: L < 0 gives EDOM
evalue f_OP_sinh(expr* e, TVA* tva);   // 40
evalue f_OP_sin(expr* e, TVA* tva);    // 41
evalue f_OP_log10(expr* e, TVA* tva);  // 42
evalue f_OP_log(expr* e, TVA* tva);    // 43
// 44: an infinite result for L < 0 is 0 (errno cleared); exp(-1000) is 0
// without a message, exp(1000) is an error.
evalue f_OP_exp(expr* e, TVA* tva);
evalue f_OP_cosh(expr* e, TVA* tva);   // 45
evalue f_OP_cos(expr* e, TVA* tva);    // 46
evalue f_OP_atanh(expr* e, TVA* tva);  // 47: |L| >= 1 gives EDOM
evalue f_OP_atan(expr* e, TVA* tva);   // 49
evalue f_OP_asinh(expr* e, TVA* tva);  // 50
evalue f_OP_asin(expr* e, TVA* tva);   // 51
evalue f_OP_acosh(expr* e, TVA* tva);  // 52: L < 1 gives EDOM
evalue f_OP_acos(expr* e, TVA* tva);   // 53

// ---- Functions of two arguments: numbers L, R -> number ----------------
// Errors: a non-finite result goes through introuble2.

evalue f_OP_atan2(expr* e, TVA* tva);  // 48: atan2(L, R), name "atan2"
evalue f_OPREM(expr* e, TVA* tva);     // 4: fmod(L, R), name "fmod"
evalue f_OPPOW(expr* e, TVA* tva);     // 5: mypow(L, R), name "pow"

// ---- Division: numbers L, R -> number ----------------------------------
// Errors: R == 0 gives NaN with allow_NaN, 0 when mgwhere swallows the
// error, else "can't compute %g/0" ("%g div 0") and the command is
// abandoned.  A nonzero R never reports, whatever the quotient.

evalue f_OPDIV(expr* e, TVA* tva);     // 3: L / R
evalue f_OPintDIV(expr* e, TVA* tva);  // 55: L / R truncated toward zero

}  // namespace vexo

#endif  // VEXO_EVAL_ELEMFUNC_H
