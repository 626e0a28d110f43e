// Membership and generation of the set classes built from other sets: the
// two-operand operations, iterated union and intersection, setof, the
// Cartesian product, ordered sets with their collations, and the member
// sets of indexed set declarations (subscripted sets).  Operands are
// generated first when not yet generated.  Orders: a union lists the left
// operand's members, then the right's new ones; an intersection the
// members of the operand it walks (the smaller one); a difference and a
// symmetric difference their left members, then the right's; a product
// its combinations in odometer order, the last factor fastest.
#ifndef VEXO_EVAL_SETOPS_H
#define VEXO_EVAL_SETOPS_H

#include "eval/set.h"

namespace vexo {

struct setdcl;
struct list;

int union_in(set* s, symbol** tuple, TVA* tva);
void union_genall(set* s, TVA* tva);
int diff_in(set* s, symbol** tuple, TVA* tva);
void diff_genall(set* s, TVA* tva);
int symdiff_in(set* s, symbol** tuple, TVA* tva);
void symdiff_genall(set* s, TVA* tva);
int inter_in(set* s, symbol** tuple, TVA* tva);
void inter_genall(set* s, TVA* tva);

// Iterated union and intersection over an indexing expression.  An
// intersection over no tuple ends the command with "empty iterator in
// iterated intersection"; each pass of its generation reverses the order
// of the surviving members.
int itunion_in(set* s, symbol** tuple, TVA* tva);
void itunion_genall(set* s, TVA* tva);
int itinter_in(set* s, symbol** tuple, TVA* tva);
void itinter_genall(set* s, TVA* tva);

// setof: one member per accepted tuple, first occurrences kept in order.
int setof_in(set* s, symbol** tuple, TVA* tva);
void setof_genall(set* s, TVA* tva);

// The product: membership answers the member's ordinal in generation
// order (or -2 when a factor does not know its positions).
int cross_in(set* s, symbol** tuple, TVA* tva);
void cross_genall(set* s, TVA* tva);

// Ordered sets (class 13): the underlying set's members in the order of
// the ordered-by set, reversed for "ordered by reversed".
int ordered_in(set* s, symbol** tuple, TVA* tva);
void ordered_genall(set* s, TVA* tva);

// Sorts the generated members of s into the order of the declaration's
// ordered-by set (reversed with its reverse flag); ordinals are renumbered
// along the new order.  A member the ordering set lacks ends the command
// (not_within).
void set_sort(setdcl* d, set* s, TVA* tva);
// The display order of two symbols: numbers by value before strings,
// strings by byte order.
int display_comp(const symbol* a, const symbol* b);
// The EBCDIC code of each byte, for the EBCDIC collation.
extern const unsigned char ASCII_to_EBCDIC[256];
// Comparator of 32-bit integers for Qsort.
int intcomp(const void* a, const void* b);

// S[i], the member set of an indexed set declaration (class 19): a member
// set stored for the subscript, else computed from the declaration's
// defining expression under the subscript (and stored).  A subscript
// outside the declaration's indexing ends the command (badsub), and so
// does a declaration without a defining expression (novalue).  Data given
// for the subscript come first.
int set_subscr_in(set* s, symbol** tuple, TVA* tva);
void set_subscr_genall(set* s, TVA* tva);
// The member set of declaration d at subscript tuple: the one data gave,
// else one computed before, else computed from the definition and stored.
// A definition that refers to d itself computes each member set with a
// private copy under the guard of eval/pcheck.h: a member set defined
// through itself reports "sorry, no implicit definitions: cannot evaluate"
// and ends the command.
set* subscr_genall(setdcl* d, symbol* const* tuple, TVA* tva);
// Drops the member sets computed from d's definition (instance reset).
void subscr_reset(setdcl* d);
// Tests every member of m, a member set (or the value set) of declaration
// d, against each set of the within list (cells holding the sets) in the
// context tva: the first member outside one ends the command (not_within;
// m is released first when own is set).  Then an ordered d has m sorted
// (set_sort).
void within_check(setdcl* d, set* m, list* within, TVA* tva, bool own);

}  // namespace vexo

#endif  // VEXO_EVAL_SETOPS_H
