// Constructors of the set classes.  Each set form of the language is one set
// record (eval/set.h) whose class code says what its members are; these
// constructors fill the record from the parsed operands: kind tag, class
// code, reference count 1, member count -1 (not generated), arity, the
// class's fields, and the class's membership and generation routines taken
// from set_class_in/set_class_genall (the evaluator's routines).  The
// class's release routine (set_release, eval/set.h) gives back what the
// record owns.  Constructors own the operands they are given; operand
// expressions are made numeric (make_numeric) or symbol-valued (symlist)
// by the front end's builders, and messages mark the statement's error in
// the return code (set_rc_bit).
//
// Class fields (set2p/set3p f1, f2, f3):
//   4 range        f1 lower, f2 upper, f3 stride (numeric expressions)
//   5-8 binop      f1 left set, f2 right set
//   9 setof        f1 indexing (set_spec), f2 tuple expression chain
//   10, 11         f1 indexing, f2 operand set
//   12 if          f1 condition, f2 "then" set, f3 "else" set
//   13 ordered     f1 underlying set, f2 the ordered-by cell {next, set}
//   14 literal     f1 member expressions (tuples concatenated), f2 the
//                  number of tuples (integer)
//   15 cross       f1 array of factor sets (an mblk of class f2), factor
//                  count in cword
//   19 subscripted f1 declaration, f2 lookup node, f3 member set
//                  (frontend/refs.h set_subscr)
//   22 interval    lower, upper, type, name (struct set_interval)
//   23 named       owner = the set declaration
#ifndef VEXO_EVAL_SETCLASS_H
#define VEXO_EVAL_SETCLASS_H

#include <cstdint>

#include "eval/set.h"

namespace vexo {

struct expr;
struct list;
struct set_spec;
struct xnode;

// Membership and generation routines of each class (eval/setgen.h,
// setops.h, slice.h, iterate.h), copied into every record a constructor
// makes.  A null entry (the codes without a class) gives a routine that
// reports "set class %d cannot be evaluated yet" through terror.
extern const set_in_fn set_class_in[N_SET_CLASSES];
extern const set_genall_fn set_class_genall[N_SET_CLASSES];

// a .. b by c (class 4); by null means 1.  A bound or stride with
// variables reports "variable in %s of range set" and becomes 0 (bounds)
// or 1 (stride).
set* set_range(expr* from, expr* to, expr* by);
// A union, diff, symdiff, inter B (code 5, 6, 7, 8); arities reconciled as
// arity_check says.  Another code is an internal error.
set* set_binop(set* L, set* R, int code);
// A cross B (class 15): two factors, arity the sum.
set* set_cross(set* L, set* R);
// setof indexing tuple (class 9); tuple is the symbol-valued chain of
// member expressions in source order.  Ends the indexing's scope.
set* setof(set_spec* ix, expr* tuple);
// Iterated union (10) or inter (11) of s over ix; ends the scope.
set* it_setop(set_spec* ix, set* s, int code);
// if cond then A else B (class 12): "variable in logical set expression"
// for a condition with variables; arities reconciled.
set* set_if(expr* cond, set* a, set* b);
// {e1, e2, ...} (class 14, arity 1): members is the parser's chain (newest
// first), made symbol-valued.
set* set_literal(expr* members);
// {(a, b), (c, d), ...}: tuples as tulist makes them (cells newest first,
// each holding its chain in source order).  A tuple of another length than
// the first reports "tuple 1 has %d components, tuple %d has %d" and is
// dropped.
set* set_literal(list* tuples);
// interval [lo, hi] and the like (class 22).  kind 0 real, 1 integer (type
// gains 4), anything else "invalid interval type"; type bit 1 upper end
// closed, 2 lower end closed.  The record type is struct set_interval.
set* set_interval(int kind, expr* lo, expr* hi, int type);
// The value of a declared set (class 23), owner the declaration.
set* set_named(xnode* sd);
// A finished indexing used as a set: ends its scope; one index without a
// condition (and not a slice) gives that index's set itself; otherwise the
// indexing becomes class 3.
set* set_spec_set(set_spec* ss);
// s in the order of the ordered-by cell's set (class 13, arity 1).
set* set_ordered(set* s, list* orderby);
// All declarations of entity class c (XC_..., class 16, arity 1): the
// constraint classes answer membership with constr_in and lconstr_in.
set* set_sys(int c);
// Stands for missing data (class 20): using it ends the command with "no
// data for <what> <name>".  The texts must outlive the set.
set* set_invalid(const char* what, const char* name);
// The set of a table dummy (class 24, arity 1) at the given column; table
// reading supplies its members.
set* set_db(int column);

// The record of S[subs] (class 19): f1 the set declaration, f2 the lookup
// node (owned), f3 no member set yet; arity as given.  bad nonzero (a
// wrong number of subscripts) gives the record the routines
// set_suberr_in/set_suberr_genall, which report the error when the set is
// used: the evaluation's location (mgwhere) and "wrong number of
// subscripts for set %s", then the command is abandoned (bailout).
set* new_set_subscr(xnode* sd, expr* lookup, int arity, int bad);
[[noreturn]] int set_suberr_in(set* s, symbol** tuple, TVA* tva);
[[noreturn]] void set_suberr_genall(set* s, TVA* tva);

// Dimension reconciliation of two operands: the arity the result takes
// (an operand of arity 0, a subscripted set of open dimension, takes the
// other's).  Reports "left set operand has dimen %d, right has %d" and
// "dimen of %s needs to be given" (8 ORed into rc).
int arity_check(set* L, set* R);
// Gives a set of arity 0 the arity n (stored in its declaration too); n 0
// gives the once-per-declaration message.  op is the caller's opcode (for
// messages of the caller; not used here).
void fixarity(set* s, int n, int op);
// An empty set of the arity: s itself when it has that arity already, else
// s is released and a new empty enumerated set made.
set* empty_set(int arity, set* s);

// Start-up and `reset`: forgets the declaration last told that its
// dimension must be given.
void setclass_reset();

}  // namespace vexo

#endif  // VEXO_EVAL_SETCLASS_H
