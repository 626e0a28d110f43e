// Evaluation routines that test members and sets against sets, count a
// set and find a member's position.  Each follows eval/dispatch.h; L and
// R are the node's operands.  Membership is the answer of set_in (a
// member's ordinal, MEMBER_NO_ORD or NOT_MEMBER, eval/set.h); a set whose
// members are walked or counted is generated first when it has not been.
// Errors are those of evaluating the operands and generating the sets.
#ifndef VEXO_EVAL_SETTEST_H
#define VEXO_EVAL_SETTEST_H

#include "eval/dispatch.h"

namespace vexo {

// ---- A member and a set: L the member (a symbol, or a tuple), R the set
// -> logical ----------------------------------------------------------------

eval_result f_OPISIN(expr* e, TVA* tva);     // 19: L is a member of R
eval_result f_OPISNOTIN(expr* e, TVA* tva);  // 128: L is not a member of R
// 108: the symbolic value L (a string when the node is string-valued,
// flag 16) is a member of R.
eval_result f_OPINCHECKs(expr* e, TVA* tva);
// 107: the number L, as a member, is a member of R.
eval_result f_OPINCHECK(expr* e, TVA* tva);

// ---- Two sets: L, R -> logical ---------------------------------------------
// The members of the walked set are tested in order; the first one missing
// ends the walk.  An empty walked set is within (contains) anything.

eval_result f_OPWITHIN(expr* e, TVA* tva);     // 95: every member of L is in R
eval_result f_OPNOTWITHIN(expr* e, TVA* tva);  // 96: not f_OPWITHIN
eval_result f_OPCONTAINS(expr* e, TVA* tva);   // 97: every member of R is in L
eval_result f_OPNOTCONTAINS(expr* e, TVA* tva);  // 98: not f_OPCONTAINS

// ---- Counting and positions ------------------------------------------------

// OPCARD 114.  L: the set (R its text).  -> number: its members.
eval_result f_OPCARD(expr* e, TVA* tva);
// OPORD0 116.  L: the member, R: a holder node whose R is the set.  ->
// number: 1 + the member's position (from 0) in the set, 0 when it is not
// a member.  A member whose class does not know its position is found
// among the generated members; were it not there, "unexpected return %d
// in f_OPORD0" is reported (terror) and, should the session go on, it
// counts as absent: the answer is never below 0.
eval_result f_OPORD0(expr* e, TVA* tva);
// OPLOOKUP 174.  L: a declared entity, R: its subscript tuple.  -> the
// 32-bit position of the tuple among the entity's members with values
// (xnode2::dindex), or NOT_MEMBER; the tuple is not evaluated while the
// entity has no members with values.
eval_result f_OPLOOKUP(expr* e, TVA* tva);
// OPLOOKUPsl 175 (the set owned by the node), 176.  L: the set, R: the
// tuple.  -> the 32-bit answer of set_in.
eval_result f_OPLOOKUPsl(expr* e, TVA* tva);

}  // namespace vexo

#endif  // VEXO_EVAL_SETTEST_H
