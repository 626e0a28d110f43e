// Evaluation dispatch.  Evaluating a node is one indirect call of the
// routine bound in it (the functab entry of its opcode) with the node and
// the evaluation context; a routine evaluates its operands the same way.
// What the call returns (an eval_result, eval/optab.h) follows from the opcode:
//   number   d, a double;
//   logical  i, nonzero for true (callers test for nonzero only);
//   string   cs, a counted string: the caller receives one reference and
//            releases it (release_cstr) on every path; a routine that hands
//            an operand's string on hands its reference on;
//   symbol   sp, the address of a cell holding an interned symbol (the
//            node's own operand cell, a frame cell, a pNumber cell); not
//            owned;
//   tuple    sp, the first of arity consecutive symbol cells, valid until
//            the same node is evaluated again in the same frame.
//
// This module holds the calling helpers, the routine that stands in the
// table for opcodes whose routine is not built yet, and the leaf routines.
#ifndef VEXO_EVAL_DISPATCH_H
#define VEXO_EVAL_DISPATCH_H

#include "frontend/expr.h"
#include "support/text.h"

namespace vexo {

struct TVA;

// The node's value, by kind.
inline eval_result eval(expr* e, TVA* tva) { return e->op(e, tva); }
inline double eval_num(expr* e, TVA* tva) { return e->op(e, tva).d; }
inline bool eval_true(expr* e, TVA* tva) { return e->op(e, tva).i != 0; }
inline cstr* eval_str(expr* e, TVA* tva) { return e->op(e, tva).cs; }
inline symbol* eval_sym(expr* e, TVA* tva) { return *e->op(e, tva).sp; }

// Drops one reference to s, freeing it when it was the last.
inline void release_cstr(cstr* s) { zap_cstr(&s); }
// s with one more reference.
inline cstr* ref_cstr(cstr* s) {
  ++s->refcnt;
  return s;
}
// A string received from an operand while further operands are evaluated:
// the reference is dropped when the holder goes out of scope, also when an
// evaluation error abandons the command through it.
class held_cstr {
 public:
  explicit held_cstr(cstr* s) : s_(s) {}
  held_cstr(const held_cstr&) = delete;
  held_cstr& operator=(const held_cstr&) = delete;
  ~held_cstr() { zap_cstr(&s_); }
  const char* text() const { return s_->text(); }
  cstr* get() const { return s_; }

 private:
  cstr* s_;
};

// The routine of every functab slot whose row in eval/opcodes.def says
// unbuilt: the value comes with a part of the system not written yet, so
// "<operator> (opcode %d) cannot be evaluated yet" is reported and the
// command abandoned (bailout).
eval_result f_unbuilt(expr* e, TVA* tva);

// ---- Leaves ------------------------------------------------------------

// OPNUM 150.  L: the double.  -> number L.
eval_result f_OPNUM(expr* e, TVA* tva);
// OPLIT 148, OPLITLIST 149.  L: an interned symbol (149: the tuple
// cells).  -> symbol: the address of the node's own L cell.
eval_result f_OPLIT(expr* e, TVA* tva);
inline constexpr efunc f_OPLITLIST = f_OPLIT;
// OPSTR 213.  L: the node's string.  -> string L with one more reference.
eval_result f_OPSTR(expr* e, TVA* tva);
// OPLOGLIT 76.  L: a 32-bit truth value.  -> logical L.
eval_result f_OPLOGLIT(expr* e, TVA* tva);
// OPDUMMY 170.  L: the dummy's level, R: its position.  -> symbol: the
// cell lev[L] + R of the context; no bounds check (the compiler
// guarantees level and position).
eval_result f_OPDUMMY(expr* e, TVA* tva);
// OPLOOPDUMMY 209.  L: the loop's dummy record, whose level is the
// nesting depth of its `for` loop and whose offset its component in the
// loop's members.  -> symbol: that component of the member the running
// loop of that depth has bound (loop_values).
eval_result f_OPLOOPDUMMY(expr* e, TVA* tva);
// The members the running `for` loops have bound, by nesting depth (from
// 1, without limit): loop_values binds the cells of depth (null: none
// runs) and returns what it held.  Written by the command executor.
symbol** loop_values(int depth, symbol** cells);
// A loop over a range binds an integer beyond the small-number cache as
// its own number: a number symbol with a null name, in no table, so that
// a pass costs no memory.  f_OPLOOPDUMMY puts the interned number in the
// cell before it hands the cell out; eval_sym_peek alone sees the loop's
// own number.
// The symbol e evaluates to, for its number (or a name's text) read at
// once: a loop dummy's own number stays as it is, not interned.
symbol* eval_sym_peek(expr* e, TVA* tva);

// Fast list forms, bound only by the binding of defined-variable bodies
// (functab holds guard routines for these opcodes).  L: the operand list,
// chained by next, evaluated in order.
// OPSUMLIST 54.  -> number: 0 plus the members, left to right; 0 if empty.
eval_result f_OPSUMLIST1(expr* e, TVA* tva);
// ANDLIST 70.  -> logical: 0 at the first false member (later members are
// not evaluated); 1 if none (or none at all).
eval_result f_OPANDLIST1(expr* e, TVA* tva);
// ORLIST 71.  -> logical: 1 at the first true member; 0 if none.
eval_result f_OPORLIST1(expr* e, TVA* tva);

}  // namespace vexo

#endif  // VEXO_EVAL_DISPATCH_H
