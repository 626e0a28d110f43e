// References to random variables.  A member of a random variable holds a
// random expression (its distribution, drawn anew at each evaluation) or,
// once fixed, dropped or given a number, a plain value.  A reference asks
// for it in one of three forms: a draw, the text, or the number.
#ifndef VEXO_EVAL_RANDVAR_H
#define VEXO_EVAL_RANDVAR_H

#include <cstdint>

#include "eval/dispatch.h"

namespace vexo {

struct var;

// The random expression of member k of v, or null when the member holds a
// plain value: the whole declaration dropped or fixed, the member dropped
// or fixed, or no expression kept for it.
expr* rand_expr(const var* v, int32_t k);

// OPSVEXOVAR 143, OPSVEXOVARSUB 144.  L: a variable, R (SUB): the
// subscript.  -> number: a draw of the member's random expression, else
// its value.  Errors: "ungenerated variable", an invalid subscript
// (badsub1), those of the draw; all abandon the command.
eval_result f_OPSVEXOVAR(expr* e, TVA* tva);
eval_result f_OPSVEXOVARSUB(expr* e, TVA* tva);
// OPRANDVAR 188, OPRANDVARSUB 189.  -> a new counted string: the random
// expression's text, else the value's shortest text.  Errors as above.
eval_result f_OPRANDVAR(expr* e, TVA* tva);
eval_result f_OPRANDVARSUB(expr* e, TVA* tva);
// OPRANDVARNUM 190, OPRANDVARNUMSUB 191.  -> number: the member's value.
// A member still random cannot be a number: "can't convert
// \"Random(...)\" to a number." (cant_convert).  An invalid subscript goes
// to badsub2.  Errors abandon the command.
eval_result f_OPRANDVARNUM(expr* e, TVA* tva);
eval_result f_OPRANDVARNUMSUB(expr* e, TVA* tva);

}  // namespace vexo

#endif  // VEXO_EVAL_RANDVAR_H
