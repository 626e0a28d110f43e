// Builders of the function-like expressions of the grammar: min and max of
// a list, count, atleast/atmost/exactly, the random-argument tests, and the
// argument-list walks they share.  An argument list is a chain of OPARG
// entries (L null and R the argument, or L an indexing and R a nested list
// repeated for each of its members), built newest first by the grammar.
#ifndef VEXO_FRONTEND_FUNCBUILD_H
#define VEXO_FRONTEND_FUNCBUILD_H

#include <cstdint>

namespace vexo {

// Written outside frontend/, by design: randvar_rhs by the random attribute
// (eval/builtin.cpp), which owns the clean-up that clears it.

struct expr;
struct symbol;
struct cstr;

// The flags 0x104 (variables, random variables) of every argument of the
// list, nested groups included, ORed.  mkargsnum also makes each argument
// numeric.
uint32_t varargs(expr* args);
uint32_t mkargsnum(expr* args);
// Number of iterated argument groups of the list; *flags receives the
// ORed argument flags 0x104.
int nosym_varargs(expr* args, uint32_t* flags);
// 1 when an argument (at any depth) is flagged random (32), else 0.
int anystoch(expr* args);

// min or max of a list: op is the op word of MINLIST or MAXLIST; args the
// parser's list (newest first).  Without iterated groups the node holds
// the plain expressions (source order); with one, opcode + 88 (MINLIST2,
// MAXLIST2) over the argument list.
expr* vreduc(uint32_t op, expr* args);
// count(conditions): OPCOUNT with flag 2 and the carried flags; args in
// source order (as for atkword).
expr* count_op(expr* args);
// atleast (0), atmost (1), exactly (2) k (args).
expr* atkword(int which, expr* k, expr* args);

// Print, printf and read items (and built-in arguments) with random
// values: every argument flagged random (32), nested groups included, is
// replaced by randifye of it.  Returns the list.
expr* randify(expr* args);
// The random form of one expression: a reference to a variable's value
// becomes the reference to the random variable (its text: the
// distribution); any other expression becomes the string constant of
// randify1's text, and the expression is deleted.
expr* randifye(expr* e);
// "Random(" + the expression's text on one line + ")": a new string.
cstr* randify1(expr* e);

// Marks that a comparison or definition has a random variable as its left
// operand: sets randvar_rhs when e refers to a random variable.
void randvarchk(expr* e);
// Set by randvarchk and by the random attribute (make_random,
// eval/builtin.h), which clears it again at the end of the command or of
// the declaration.
extern int randvar_rhs;

// Probability(condition) of the stochastic operator bound to sym: the
// call (funceval) of that operator on `if cond then 1 else 0`.
expr* probability(symbol* sym, expr* cond);

}  // namespace vexo

#endif  // VEXO_FRONTEND_FUNCBUILD_H
