// Evaluation errors and their texts.  Every evaluation error is written in
// one shape: the location preamble of mgwhere, one message line naming the
// entity and the offending subscript, then bailout (support/message.h),
// which abandons the command and does not return.  Only the summary of
// discarded subscripts (badsubs) returns.  Everything is written to Stderr.
#ifndef VEXO_EVAL_EVALERR_H
#define VEXO_EVAL_EVALERR_H

#include <cstdint>

#include "eval/dispatch.h"

namespace vexo {

struct TVA;
struct xnode;
struct setdcl;
struct setmem;
struct symbol;
struct cstr;

// Option bad_subscripts: how many discarded subscripts badsubs lists
// (written by its update routine, session/opttable.h).
extern int bad_subscripts;

// Writes the location preamble of an evaluation error in tva (null: the
// context of cur_ac): the error block, the command's location, then what
// was being evaluated (a table being read, the declaration being
// generated, the parameter member being computed) and a tab; the caller's
// message follows on the same line.  Returns 1, having written nothing,
// when the error is to be swallowed (quiet simplification of nonlinear
// expressions: errno is cleared and the error noted), else 0.  With no
// context and no cur_ac, and for an unknown declaration kind, a bug (ends
// the session).
int mgwhere(TVA* tva);

// Writes name, then the current subscript of the declaration d being
// generated as bound in the context of tva's accumulator (tva null: the
// current accumulator) -- each value "[" or "," and its text, strings
// quoted -- then "]" and tail.  An unindexed d, a null tva or an unbound
// first level give name and tail only; a level without values ends the
// list with "...".
void Subscr(xnode* d, TVA* tva, const char* name, const char* tail);

// The printed subscript of the n symbols of tuple, in command memory
// (session/cmdmem.h): mode 0 "[a,'b']"; mode 1 the member alone, unquoted,
// for n = 1, else "(a,'b')".  Strings are quoted, numbers are their text.
// A null tuple gives "".
const char* slist(int n, symbol* const* tuple, int mode);
// slist of tuple with ent's arity in mode 0; "" for an unindexed ent.
const char* slist1(const xnode* ent, symbol* const* tuple);

// After mgwhere, "<text> <name><subscript>\n", then bailout.  badsub:
// "invalid subscript"; badrsub: "bad subscript (use before def?) for
// defined var" (and badsub1 is badsub again); novalue: "no value for";
// implicitdef: "sorry, no implicit definitions: cannot evaluate".
[[noreturn]] void badsub(TVA* tva, xnode* ent, symbol* const* tuple);
[[noreturn]] void badrsub(TVA* tva, xnode* ent, symbol* const* tuple);
[[noreturn]] void novalue(TVA* tva, xnode* ent, symbol* const* tuple);
[[noreturn]] void implicitdef(TVA* tva, xnode* ent, symbol* const* tuple);
[[noreturn]] void badthing(TVA* tva, const char* text, xnode* ent,
                           symbol* const* tuple);

// The reporter of invalid subscripts in use: badsub, or badrsub while a
// defined-variable reference is evaluated.
using badsub_fn = void (*)(TVA* tva, xnode* ent, symbol* const* tuple);
extern badsub_fn badsub1;

// The look-up node behind a subscript evaluator: through a value or
// rewrite wrapper (SH_VALUE, SH_REWRITE) to its first operand, through a
// restore record to its second.  Its second operand is the tuple
// expression.
expr* sub_source(expr* sub);
// The tuple behind a subscript evaluator (sub_source), evaluated.
symbol** getbadsub(expr* sub, TVA* tva);
// getbadsub, then badsub1.  Does not return.
[[noreturn]] void badsub2(expr* sub, xnode* ent, TVA* tva);

// An ordinal map: for the subscript evaluator's ordinal, the ordinal in
// the entity's own values (>= 0), or -1 - k for an invalid subscript whose
// tuple starts at syms[k].
struct Subadj {
  xnode* ent;     // the entity whose subscripts are mapped
  int32_t* map;   // by subscript ordinal
  symbol** syms;  // subscript tuples of ent, flat
};
// The mapped ordinal; an invalid one is reported by badsub with its tuple.
int32_t sub_adj(const Subadj* sa, int32_t ord, TVA* tva);

// A member of set declaration s outside one of its within-clauses: after
// mgwhere, "<name>[<subscript>] contains <member>, which is not\n\t<clause>"
// with the member (n symbols) in slist mode 1 and clause the text of the
// violated clause; counts a warning (warninc 2), then bailout.
[[noreturn]] void not_within(TVA* tva, setdcl* s, symbol* const* tuple, int n,
                             const char* clause);

// The summary of count subscripts of ent discarded because its indexing
// set changed, members from first (chained by next): one line for a single
// one, else the count and at most bad_subscripts of them, then "\tand %d
// more." for the rest.  Returns.
void badsubs(TVA* tva, xnode* ent, setmem* first, int count);

// next, prev, nextw, prevw (opword's opcode 120..127) found no member:
// member of the set whose text is set_text, the offset as the user wrote
// it, and bound: the members from member to the end when the target lies
// past it, minus member's ordinal when it lies before the start.  Does not
// return.
[[noreturn]] void bad_next(TVA* tva, symbol* member, const char* set_text,
                           int offset, int bound, uint32_t opword);

// The string s (its reference is taken over) that operand yielded cannot
// be a number: "can't convert %s%s = %Q to a number." for a symbolic
// parameter reference, else "can't convert %Q to a number.".  Does not
// return.
[[noreturn]] void cant_convert(expr* operand, cstr* s, TVA* tva);

// OPFUNCbad 184.  L: the function.  Errors: always; "can't evaluate
// %s\n\t(%s function of variable argument)." ("symbolic" or "random").
eval_result f_OPFUNCbad(expr* e, TVA* tva);

}  // namespace vexo

#endif  // VEXO_EVAL_EVALERR_H
