// Opcode generation: binds every compiled node to its evaluation routine and
// decides where a shared value lives, so that a value used many times is
// computed once per member of its own level:
//   STORE    a node needed at its level (mandated, not conditional): a STORE
//            node among the level's on-bind hooks computes the value after
//            each new member and deposits it in the node, which has become
//            a literal of the value's kind;
//   REWRITE  any other node used more than once or forced: the first
//            evaluation computes the value, turns the node into a literal
//            and files a restore record among the level's clean-up hooks,
//            which turns it back when the level moves to its next member;
//   plain    the routine of its opcode (functab).
// No node is made during evaluation: opgen makes them all.
#ifndef VEXO_COMPILER_OPGEN_H
#define VEXO_COMPILER_OPGEN_H

#include <cstdint>

#include "eval/optab.h"

namespace vexo {

struct eexpr;
struct expr;
struct Index;
struct set;
struct set_spec;

// STORE and REWRITE nodes planted over the whole run (the sizing
// statistics of compiler/tva.h report them).  Each planting also writes the
// running count into the planted node as its serial number.
extern int32_t m_mandrew;
extern int32_t m_optrew;

// Value kinds of the stored forms.
enum : int {
  RK_INT = 0,   // 32-bit integer (truth values, ordinals, instance numbers)
  RK_REAL = 1,  // double
  RK_SYM = 2,   // a symbol cell
  RK_LIST = 3,  // a pointer (tuple cells)
  RK_IF = 4,    // numeric rewritable conditional: the branch is kept
  RK_STR = 5,   // counted string
  RK_ENV = 6,   // environment pointer
  RK_SIF = 7    // symbolic rewritable conditional
};
// The value kind of node e (by its opcode; synonym references by their
// flags).
int rewkind(const expr* e);

// Plants the evaluation of one record at the level of ix: withset 1 when a
// closing level hands it over (a set record then makes ix its error context
// with a CLEARSET node), 0 for level 0.  Bugs (end the session): "invalid
// refct %d in opgen", "opnumber %d in opgen", "invalid opgen case".
void opgen(eexpr* e, Index* ix, int withset);

// Distributes the conjuncts of an indexing condition (record cond) over the
// open levels of ss: conjuncts that read none of ss's dummies go to its
// precondition, the others to the condition of the entry of their own
// level, and ss->split is set (iteration then no longer tests the whole
// condition).  Called by ss_start while the levels are open; the slots and
// the AND nodes it makes are logged (compiler/recomp.h).
void st_adjust(eexpr* cond, set_spec* ss);

// Forgets the members of a set so that it is generated again (nmem -1):
// they are freed, except those of subscripted sets, slices and named sets
// (classes 19, 21, 23), which belong to other sets.
void Clearset(set* s);
// Frees the set's private node (its CLEARSET node, which holds nothing of
// its own) and clears the field.
void del_privnode(set* s);

// Literal evaluators left behind by STORE and REWRITE: the integer in R,
// the address of the symbol cell R, the pointer in R, the string in R with
// one more reference.  (The double of kind r is read by f_OPNUM.)
eval_result f_OP_NUM_i(expr* e, TVA* tva);
eval_result f_OPLIT1(expr* e, TVA* tva);
eval_result f_OPSYMLIT(expr* e, TVA* tva);
eval_result f_OPCST1(expr* e, TVA* tva);

// STORE nodes (on-bind or completion hooks).  L: the copy of the node's
// computation, R: the value node.  Evaluate L, deposit the value in R,
// return it (the string of kind c stays with the value node).
eval_result f_OP_STORE_i(expr* m, TVA* tva);
eval_result f_OP_STORE_r(expr* m, TVA* tva);
eval_result f_OP_STORE_s(expr* m, TVA* tva);
eval_result f_OP_STORE_l(expr* m, TVA* tva);
eval_result f_OP_STORE_c(expr* m, TVA* tva);
eval_result f_OP_STORE_e(expr* m, TVA* tva);

// REWRITE nodes.  L: the restore record (L the level's Index, R the copy of
// the computation).  Evaluate the copy, keep the value in the node, make it
// a literal and file the record among the Index's clean-up hooks.  The
// conditional forms evaluate the test once and become a wrapper of the
// chosen branch.  Errors are those of the computation; nothing changes
// before it has succeeded.
eval_result f_OP_REWRITE_i(expr* x, TVA* tva);
eval_result f_OP_REWRITE_r(expr* x, TVA* tva);
eval_result f_OP_REWRITE_s(expr* x, TVA* tva);
eval_result f_OP_REWRITE_l(expr* x, TVA* tva);
eval_result f_OP_REWRITE_if(expr* x, TVA* tva);
eval_result f_OP_REWRITE_c(expr* x, TVA* tva);
eval_result f_OP_REWRITE_sif(expr* x, TVA* tva);

// Restore records (clean-up hooks, eval/indexing.h cleanup_fn): the node
// becomes a REWRITE node again and the record waits at ix; kind c drops
// the literal's reference to its string.
void f_OP_RESTORE_i(expr* r, Index* ix);
void f_OP_RESTORE_r(expr* r, Index* ix);
void f_OP_RESTORE_s(expr* r, Index* ix);
void f_OP_RESTORE_l(expr* r, Index* ix);
void f_OP_RESTORE_if(expr* r, Index* ix);
void f_OP_RESTORE_c(expr* r, Index* ix);
void f_OP_RESTORE_sif(expr* r, Index* ix);
// The CLEARSET node of a set compiled inside a level (clean-up hook):
// Clearset of its L.
void f_OPCLEARSET(expr* n, Index* ix);

// Opcodes of the stored forms: value nodes 233..238, REWRITE nodes
// 239..245, the CLEARSET node, STORE nodes 266..271, restore records
// 272..278.
constexpr int OP_VALUE0 = 233;
constexpr int OP_REWRITE0 = 239;
constexpr int OP_CLEARSET = 264;
constexpr int OP_STORE0 = 266;
constexpr int OP_RESTORE0 = 272;

// What a STORE or REWRITE left in a node, given back: the node takes the
// op word, routine and operands of the copy of its computation (the copy is
// freed; a string kept by a value node loses the node's reference).
void unplant(expr* x, expr* copy);

// Start-up and `reset`: the counters restart.
void opgen_reset();

}  // namespace vexo

#endif  // VEXO_COMPILER_OPGEN_H
