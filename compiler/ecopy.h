// The instantiating copy of expressions that involve decision variables.
// When a member of a constraint, objective or defined variable is
// generated, the compiled body is copied for the current values of its
// dummies (the TVA): every part without variables is computed now,
// iterated operators are unrolled over their sets, an if-then-else whose
// condition is known now is replaced by the chosen branch, variable
// references become the variables' column numbers (OPVARVAL146 nodes), and
// the arithmetic is simplified as the copy is built (constants folded, 0
// and 1 operands dropped, the variable part of a sum put first).  The copy
// is a new tree from the node pool; the source tree is left as it was,
// except that a rewritable if-then-else (243) is turned into a wrapper of
// its chosen branch until its loop level moves on (RESTORE_if_copy).
//
// Nodes of a copy, beyond the source forms copied as they are:
//   OPNUM 150 (flags 1, 2)     a number, routine f_OPNUM
//   OPSTR 213 (flag 16)        a string
//   OPLOGLIT 76                a truth value: L 0 or 1
//   OPVARVAL146 (flags 2, 4)   a variable: L its column; 147 (flags 1, 4)
//                              a symbolic variable
//   OPSUMLIST 54               items chained by next, L first, R last
//   OPARG 250                  argument entries: L null, R the argument
//   OPPLTERM 64 (flags 2, 4)   L a plterm record (instance/varref.h), R
//                              the column
//   MINLIST/MAXLIST 11/12, ORLIST/ANDLIST 71/70, OPOR/OPAND 20/21
//   if-then-else (flags 4, 8 added): L the condition, R a pair (261, flag
//   2) of the two branches
// Every node made carries its opcode's routine; the instance generator
// may clear them.
#ifndef VEXO_COMPILER_ECOPY_H
#define VEXO_COMPILER_ECOPY_H

#include <array>
#include <cstdint>

namespace vexo {

struct expr;
struct Index;
struct TVA;

// Flags of a node that may hold variables: decision variables, random
// values, random variables.  A node with none of them is variable-free.
constexpr uint32_t VARS_MASK = 4 | 32 | 256;

// The negation of each logical operator 0..145: the op word (opcode << 9,
// no flags) of the operator that yields the opposite truth value, 0 for
// an operator without one (<, <=, >=, > included: they are negated by a
// `not` over them).
extern const std::array<uint32_t, 146> Not;

// The instantiated copy of e for the dummy values of tva.  Errors: those
// of the evaluations made (they abandon the command); an opcode without a
// copy rule is reported ("unexpected type 0x%x in ecopy()") and a
// variable-free node of no known value kind ("unexpected rewclass %d for
// op 0x%x in ecopy"), and both abandon the command (bailout); nothing
// else is made then.
expr* ecopy(expr* e, TVA* tva);
// ecopy of the then- or else-part of an if-then-else.  A part that turns
// a number into a string (OPNUM2SYM 172) cannot be sent to a solver: "Cannot
// convert a numerical \"then\" or \"else\" to string\n\tin if-then-else
// expressions that solvers must evaluate." and the command is abandoned.
expr* iecopy(expr* e, TVA* tva);
// Copies the argument list args (OPARG entries, an entry with an indexing
// holding a nested list; OP258 markers skipped), unrolling indexed entries
// over their tuples, and puts the new entries in front of acc, so that
// the result is in reverse order: the caller reverses it.
expr* cpargs(expr* args, expr* acc, TVA* tva);
// Constant folding of two numbers (OPNUM nodes): for + - * (opcodes 0, 1,
// 2) a holds the result and b is freed; a division by 0 and a remainder
// whose fmod fails are not folded: a quotient (3) or remainder (4) node
// over a and b is returned.
expr* fold(int opc, expr* a, expr* b);
// A list minimum (MINLIST2 99, sign -1) or maximum (MAXLIST2 100, sign
// 1): its number arguments become one, the smallest or largest, appended
// at the end; a list of numbers only becomes that number.
expr* simplify_mlist2(expr* e, double sign);
// numberof over copied arguments: the arguments that are numbers or
// strings are counted now; what is left is compared at solve time (one
// argument: an if-then-else of 1 and 0), plus the count.
expr* simplify_numberof(expr* e);
// alldiff (74, 89) or its negation (75, 90) over copied arguments: two
// equal numbers or two equal strings among them decide it now (0 for
// alldiff, 1 for its negation); otherwise the node stays (89 and 90
// become 74 and 75).
expr* simplify_alldiff(expr* e);

// Clean-up hooks (eval/indexing.h) of a rewritable if-then-else that a
// copy turned into a wrapper of its chosen branch: the node is made a
// rewritable if-then-else again, waiting at ix (numeric, and string or
// symbol form).
void RESTORE_if_copy(expr* r, Index* ix);
void RESTORE_sif_copy(expr* r, Index* ix);

// Comparators of alldiff's sort (qsortv): numbers by the sign of their
// difference, strings by strcmp; two equal elements set the int that dup
// points at, so that the caller, after the sort, knows a duplicate exists.
int rcomparj(const void* a, const void* b, void* dup);
int scomparj(const void* a, const void* b, void* dup);

}  // namespace vexo

#endif  // VEXO_COMPILER_ECOPY_H
