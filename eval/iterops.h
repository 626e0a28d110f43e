// Iterated operators and counting: the routines of the operators that run
// over an indexing expression (sum, prod, min, max, exists, forall) or over
// an argument list whose items may be iterated (count, numberof, the
// counting relations, alldiff, alldistinct, alldisjoint, the list min and
// max), and the guard routines of opcodes that the compiler always
// rewrites before evaluation.
//
// Iterated node (SH_ITERATED): L the indexing expression, R the body.
// Argument list (SH_ARGLIST, SH_SETARGS): R the first item (OPARG), chained by
// next; an item's L is null (a plain item, its R the expression, or for
// the set operators the set) or an indexing expression (its R a nested
// item list, walked once per tuple).  An item's kind is read from its
// expression's flags: numeric, string, or else symbol-valued.
#ifndef VEXO_EVAL_ITEROPS_H
#define VEXO_EVAL_ITEROPS_H

#include "eval/optab.h"

namespace vexo {

// SUM 7, PROD 8, MIN 9, MAX 10.  -> number: over all tuples in order; 0,
// 1, +Infinity, -Infinity when there is none.  A NaN value makes min and
// max NaN.
eval_result f_SUM(expr* e, TVA* tva);
eval_result f_PROD(expr* e, TVA* tva);
eval_result f_MIN(expr* e, TVA* tva);
eval_result f_MAX(expr* e, TVA* tva);
// EXISTS 17.  -> logical: 1 at the first tuple whose body is true (the
// walk is closed there), 0 when none is.  FORALL 18: the body's value at
// the first tuple where it is false, 1 when none is.
eval_result f_EXISTS(expr* e, TVA* tva);
eval_result f_FORALL(expr* e, TVA* tva);

// OPCOUNT 59.  R: items.  -> number of true items over all iterations.
eval_result f_OPCOUNT(expr* e, TVA* tva);
// OPNUMBEROF 60, OPNUMBEROFs 61.  L: the value sought (a number, a string
// or a member), R: items.  -> number of items equal to it: a number
// counts numeric items and numeric members of that value (NaN never
// counts); a text counts strings and non-numeric members of that text.
eval_result f_OPNUMBEROF(expr* e, TVA* tva);
eval_result f_OPNUMBEROFs(expr* e, TVA* tva);
// OPATLEAST 62, OPATMOST 63, OPEXACTLY 66 and their negations 67, 68, 69.
// L: the bound k, R: the count node.  -> logical: k <= count, k >= count,
// k == count, negated.
eval_result f_OPATLEAST(expr* e, TVA* tva);
eval_result f_OPATMOST(expr* e, TVA* tva);
eval_result f_OPEXACTLY(expr* e, TVA* tva);
eval_result f_OPNOTATLEAST(expr* e, TVA* tva);
eval_result f_OPNOTATMOST(expr* e, TVA* tva);
eval_result f_OPNOTEXACTLY(expr* e, TVA* tva);
// OPALLDIFF 74 (numeric items), OPALLDIFFs 89 (items of any kind; a number
// and a string always differ), and their negations OPSOMESAME 75,
// OPSOMESAMEs 90.  R: items.  -> logical: no two items equal (fewer than
// two: true).  A NaN among two or more items makes alldiff false.
eval_result f_OPALLDIFF(expr* e, TVA* tva);
eval_result f_OPSOMESAME(expr* e, TVA* tva);
eval_result f_OPALLDIFFs(expr* e, TVA* tva);
eval_result f_OPSOMESAMEs(expr* e, TVA* tva);
// OPALLDISTINCT 93, OPNOTDISTINCT 94.  R: items whose R is a set.  ->
// logical: no two sets have the same members.
eval_result f_OPALLDISTINCT(expr* e, TVA* tva);
eval_result f_OPNOTDISTINCT(expr* e, TVA* tva);
// OPALLDISJOINT 91, OPNOTDISJOINT 92.  -> logical: no member lies in two
// of the sets (sets of different dimension are disjoint).
eval_result f_OPALLDISJOINT(expr* e, TVA* tva);
eval_result f_OPNOTDISJOINT(expr* e, TVA* tva);
// MINLIST2 99, MAXLIST2 100.  R: items.  -> number: the minimum (maximum)
// of all items, +Infinity (-Infinity) when there is none; the values are
// taken from the last to the first.
eval_result f_MINLIST2(expr* e, TVA* tva);
eval_result f_MAXLIST2(expr* e, TVA* tva);

// Guards: opcodes the compiler always rewrites or binds elsewhere.  Each
// reports "<routine> called" through terror and answers 0.
eval_result f_OPRELOPCH(expr* e, TVA* tva);  // 163
eval_result f_OPVARVAL(expr* e, TVA* tva);   // 146, 147
eval_result f_ORLIST(expr* e, TVA* tva);     // 71
eval_result f_ANDLIST(expr* e, TVA* tva);    // 70
eval_result f_OPPLTERM(expr* e, TVA* tva);   // 64
eval_result f_OPSUMLIST(expr* e, TVA* tva);  // 54
eval_result f_OPIFrew(expr* e, TVA* tva);    // 36

}  // namespace vexo

#endif  // VEXO_EVAL_ITEROPS_H
