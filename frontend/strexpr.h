// String expressions, deletion of trees and small tree walks.  The string
// builders convert operands to strings, join them with `&` (adjacent
// literals are folded once, when the expression is built) and turn strings
// into symbols.  edelete and its relatives give every node of a tree back
// to the node pool, following the shape of each opcode (what L and R own).
// The walks test argument lists for variables and non-numeric arguments,
// refuse a misused entity reference, and retype variable references under
// the Sample operator.
#ifndef VEXO_FRONTEND_STREXPR_H
#define VEXO_FRONTEND_STREXPR_H

#include <cstdint>

namespace vexo {

struct expr;
struct varref;
struct xnode;

// The operand as a string: strings unchanged; symbolic parameter
// references and OPNUM2SYM take their string forms in place; literals
// become string literals (numbers formatted by gfmt); anything else is
// wrapped in OPNUM2STR or OPSYM2STR.
expr* make_string(expr* e);
// Every node of the chain made a string; the chain comes back reversed.
expr* list2string(expr* chain);
// L & R.  Two numeric operands give the caution "Converting two numeric
// values to strings to concatenate them.".
expr* concat(expr* L, expr* R);
// Adjacent string literals of the chain merged; one node, or an OPCONCAT
// over the chain.
expr* strcrunch(expr* chain);
// The operand as a symbol: a string literal interned in place (OPLIT),
// anything else wrapped in OPSTR2SYM.
expr* make_sym(expr* e);

// Nesting depth of a node from its operands as its shape lays them out
// (1 + the deepest; an argument-list entry, whose layout its holder
// knows, and a node without operands: 1).  new_expr stores it.
uint32_t expr_nesting(const expr* e);

// Deletes a tree (null does nothing), following the node shapes; the node
// and the chain after it through next go back to the pool.  A shape no
// builder makes is an internal error (ends the session).
void edelete(expr* e);
// Deletes every tree of a chain.
void ldelete(expr* chain);
// Deletes an argument list of OPARG entries; sets nonzero: the plain
// arguments are sets.
void adelete(expr* args, int sets);

// 4 when an argument of the list (nested lists included) involves
// variables, else 0.
int has_variable(expr* args);
// 1 when an argument does not yield a number, else 0.
int has_nonnumeric(expr* args);
// Reports a reference whose value cannot be used ("%s reference to %s
// %s."), frees e's chain and returns the number 0.
expr* baduse(expr* e);

// Sample(e): e itself without random values, else the Sample operator
// (OPSVEXOE, or OPSVEXOESTR for a string) over e with its variable
// references retyped by primaladj.
expr* Sample(expr* e);
// Retypes the variable references of a tree (and of argument lists) into
// the forms the Sample operator evaluates.
void primaladj(expr* e);
void aprimaladj(expr* args);

}  // namespace vexo

#endif  // VEXO_FRONTEND_STREXPR_H
