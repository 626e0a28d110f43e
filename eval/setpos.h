// Positions of members in ordered sets (ord, member, first, last, next,
// prev, nextw, prevw) and the conversions of strings and symbols to
// numbers (num, and the conversion the compiler puts where a member stands
// for a number).  Each follows eval/dispatch.h; the set of a position
// routine is generated first when it has not been, and a member's position
// is its ordinal there (0 for the first).  Every failure writes the
// location (mgwhere) and its message, then abandons the command (bailout).
#ifndef VEXO_EVAL_SETPOS_H
#define VEXO_EVAL_SETPOS_H

#include "eval/dispatch.h"

namespace vexo {

// OPORD 115.  L: the member, R: a holder node whose R is the set.  ->
// number: 1 + the member's position.  Errors: "%s is not in %s -- can't
// evaluate ord." (a string member quoted).
eval_result f_OPORD(expr* e, TVA* tva);
// OPELEMENT 117.  L: a number k, R as for ord.  -> symbol: the k-th member
// (1 for the first).  Errors: "can't compute member(%.15g,%s):\n\targ 1 is
// not an integer between 1 and %d".
eval_result f_OPELEMENT(expr* e, TVA* tva);
// OPFIRST 118, OPLAST 119.  L: the set.  -> symbol: its first (last)
// member.  Errors: "can't compute first: set %s is empty" (last).
eval_result f_OPFIRST(expr* e, TVA* tva);
eval_result f_OPLAST(expr* e, TVA* tva);
// OPNEXT120 .. OPNEXT127 (opcode - 120: bit 0 backward, bit 1 the offset
// is 1, bit 2 wrapping).  L: a pair node of the member and the offset (the
// builder keeps a backward form's offset negated), R as for ord.  ->
// symbol: the member offset places away; the wrapping forms count modulo
// the set's size.  Errors: an empty set, a member not in the set ("... --
// can't evaluate next."), "Third argument to %s = %.15g is not an
// integer.", and a place outside the set (bad_next, eval/evalerr.h).
eval_result f_OPNEXT(expr* e, TVA* tva);

// OPNUMBER 135.  L: a string.  -> number: its text read as a number,
// blanks and control characters around it allowed.  Errors: "nonnumeric
// string in num(\"%s\")." for no number or other characters after it.
eval_result f_OPNUMBER(expr* e, TVA* tva);
// OPSYM2NUM 171.  L: a symbol (or a string, flag 16).  -> number: the value
// of a numeric symbol.  Errors: anything else cannot be converted
// (cant_convert, eval/evalerr.h).
eval_result f_OPSYM2NUM(expr* e, TVA* tva);

}  // namespace vexo

#endif  // VEXO_EVAL_SETPOS_H
