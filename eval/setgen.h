// Membership and generation of the set classes whose members follow from
// their own fields: ranges, intervals, conditional, literal, system,
// named, table-dummy and invalid sets (the class table is in
// eval/setclass.cpp; indexing expressions are eval/iterate.h, the classes
// built from other sets eval/setops.h, slices eval/slice.h).
//
// Every `in` routine answers the member's ordinal, MEMBER_NO_ORD (-2) for a
// member whose position it does not know, or NOT_MEMBER (-1).  Every
// generator fills the order list and member count (ordinals 0, 1, ...); a
// generator may end the command through eerror.
#ifndef VEXO_EVAL_SETGEN_H
#define VEXO_EVAL_SETGEN_H

#include "eval/set.h"

namespace vexo {

// a .. b by c (class 4).  Generation: "range with infinite lower bound",
// "range with infinite upper bound", "zero stride", "range too large" end
// the command; member i is the interned L + i * B (one fused multiply-add),
// no table.  Membership is arithmetic: the ordinal when the progression's
// member at that position is the very symbol.
int range_in(set* s, symbol** tuple, TVA* tva);
void range_genall(set* s, TVA* tva);
// The range s evaluated in tva: its member count, with the first member's
// value and the stride in *lower and *stride (the errors of range_genall:
// infinite bounds, zero stride, more than 2^31 - 2 members).
int32_t range_bounds(set* s, TVA* tva, double* lower, double* stride);
// Member i (from 0) of the range that range_bounds described.
symbol* range_member(double lower, double stride, int32_t i);
// The same member bound by a loop for one pass: a small integer's symbol,
// otherwise *own (a number symbol with a null name, eval/dispatch.h) set
// to the value.
symbol* range_pass_member(double lower, double stride, int32_t i,
                          symbol* own);

// Intervals (class 22): membership by the bounds (every symbol for the
// collations ASCII, EBCDIC, Display), -2 or -1; only integer intervals can
// be listed ("Attempt to iterate over ..." for the others and for infinite
// ones, "Invalid endpoint for ...", "Oversize integer interval ...").
int interval_in(set* s, symbol** tuple, TVA* tva);
void interval_genall(set* s, TVA* tva);

// if c then A else B (class 12): the chosen set answers; generation copies
// its members.
int if_in(set* s, symbol** tuple, TVA* tva);
void if_genall(set* s, TVA* tva);

// Literal sets (class 14), regenerated from their expressions each time: a
// repeated member is reported ("duplicate member %s in literal set"),
// counted as an error (warninc 2) and skipped.
int slit_in(set* s, symbol** tuple, TVA* tva);
void slit_genall(set* s, TVA* tva);

// System sets (class 16): the names of the declarations of one class.
// Membership answers -2 or -1 (also for the constraint classes).
int sys_in(set* s, symbol** tuple, TVA* tva);
int constr_in(set* s, symbol** tuple, TVA* tva);
int lconstr_in(set* s, symbol** tuple, TVA* tva);
void sys_genall(set* s, TVA* tva);

// Routines that must never run: massaging replaces named sets, table
// reading fills table-dummy sets.  They report through terror.
int named_in(set* s, symbol** tuple, TVA* tva);
void named_genall(set* s, TVA* tva);
int db_in(set* s, symbol** tuple, TVA* tva);
void db_genall(set* s, TVA* tva);

// Missing data (class 20): "no data for %s %s" ends the command.
[[noreturn]] int invalid_in(set* s, symbol** tuple, TVA* tva);
[[noreturn]] void invalid_genall(set* s, TVA* tva);

// set::it_inc: s will be tested repeatedly (declarations, display, let,
// tables): its use count and those of the sets it is built from are
// raised, so that each gets a table on its first membership test.
// Intervals and slices are never tabled.  A class that cannot occur is a
// bug ("impossible type %d in set::it_inc").
void set_it_inc(set* s);

// d becomes a copy of s's members in order, with a table (s generated
// first when needed).
void membcopy(set* d, set* s, TVA* tva);

}  // namespace vexo

#endif  // VEXO_EVAL_SETGEN_H
