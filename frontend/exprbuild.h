// Arithmetic, logical and relational builders.  The grammar builds every
// operator node through these functions.  A builder takes operand trees
// whose flags are already set, coerces each operand to the kind of value the
// operator needs (number, symbol or string), combines the operands' flags
// into the new node's flags and reports misuse at once (errors of kind 0,
// which return): it then goes on with a harmless substitute, so that the
// parser can continue.  Builders own the operands they are given; an
// operand they do not keep is deleted (edelete).  They fold only what the
// node shapes decide: the negation of a numeric literal, a double unary
// minus, and the comparison of a number with a string.
#ifndef VEXO_FRONTEND_EXPRBUILD_H
#define VEXO_FRONTEND_EXPRBUILD_H

#include <cstdint>

namespace vexo {

struct expr;
struct list;
struct set;
struct cstr;

// Nonlinearity tables of the binary builders, indexed by
// (left involves variables) * 2 + (right involves variables): nonzero
// entries make the result nonlinear (flag 8).
extern const int bop_plumin[4];  // + - less: never
extern const int bop_mult[4];    // *: both sides
extern const int bop_div[4];     // / div: a divisor with variables
extern const int bop_nonlin[4];  // ^ mod and the like: either side

// The operand as a number: numeric operands unchanged; a string `if`
// reports "Cannot convert character string to a number." and is wrapped;
// a symbolic `if` turns numeric in place; random-variable references take
// their numeric form; a condition becomes 1 where it holds, else 0;
// anything else is wrapped in OPSYM2NUM.  May report.
expr* make_numeric(expr* e);
// Whether e's opcode yields a truth value (a condition already).
bool is_logical(const expr* e);
// A parenthesised list of two or more items (OPSYMLIST) where a single
// value is wanted: "a list in parentheses is not a value here", return-code
// bit 8, and the number 0 in its place.  Other expressions unchanged.
expr* not_tuple(expr* e);
// The operand as a symbol: numbers wrapped in OPNUM2SYM, a string literal
// interned in place (OPLIT), other strings wrapped in OPSTR2SYM; symbols
// unchanged.
expr* make_symbolic(expr* e);

// Unary minus: -(-x) is x, a numeric literal is negated in place, anything
// else is wrapped in OPUMINUS.  null gives null.
expr* negate(expr* e);
// Binary operator node.  op: the op word (opcode with the operator's own
// flags, 2 for numeric operators); nonlin: one of the tables above.  The
// `match` operator takes strings ("Numeric argument passed to %s", "%s
// does not work with variables"); other operators take numbers.  A null R
// (one-argument round and trunc) leaves R empty.
expr* binop(uint32_t op, expr* L, expr* R, const int* nonlin);
// binop for multiplicative operators: unary minus is taken off the
// operands and put back once over the result when one sign was removed
// (its R keeps where the sign was written, see NEG_PATH_END).
expr* mulop(uint32_t op, expr* L, expr* R, const int* nonlin);
// Unary operator or one-argument function; nonlin nonzero for a nonlinear
// function.  Functions of a string argument (opcodes from 132 on with
// their flags) report numeric operands as binop does for match.
expr* unop(uint32_t op, expr* e, int nonlin);
// if cond then a else b (b null: the number 0).
expr* makeif(expr* cond, expr* then_e, expr* else_e);
// Implications: op is OPIMPLIES 77, OPIMPLIEDBY 78, OPIMPELSE72 or 79,
// OP_IFF 73; else_e null when there is no else.
expr* makeimpli(uint32_t op, expr* cond, expr* then_e, expr* else_e);
// Logical negation: OPNOT over a condition (cond_expr's result), taken
// as it is.
expr* logical_not(expr* e);
// Comparison node.  op: the op word of the operator (EQ, NE without flags;
// LT, LE, GE, GT with flag 2).  == and != pick the variant by operand
// kinds; a number compared with a string is decided at once: the result is
// OPLOGLIT (L 1 for !=, 0 for ==), the left operand is deleted and the
// right one goes to *keep (deleted when keep is null).  Otherwise *keep is
// set to null.
expr* relop(expr* L, uint32_t op, expr* R, expr** keep);
// One more step of a comparison chain (cells alternating operand and op
// word, newest first): with first non-null the chain starts with it.
// Reports "Invalid comparison string %s ... ." and "Invalid comparison ...
// %s string." for ordered comparisons of strings.  Returns the chain.
list* relopchain(expr* first, list* chain, uint32_t op, expr* e);
// The chain a op1 b op2 c ... as the conjunction of its comparisons, each
// middle operand shared through two OPRELOPCH nodes.  Frees the cells.
expr* relop_adj(list* chain);
// Membership of a tuple (a chain of symbol-valued expressions, as symlist
// makes it) in a set; op is the op word of OPISIN 19 or OPISNOTIN 128.
// Reports "members of %s have arity %d, not %d"; a set of unknown arity
// (0) takes the tuple's length.
expr* in_test(expr* tuple, set* s, uint32_t op);
// alldiff (x null) and numberof x in (args); args is an argument list of
// OPARG entries in source order.
expr* alldiff(expr* x, expr* args);
expr* alldisjoint(expr* args);
expr* alldistinct(expr* args);

// Printable form of a comparison op word for messages ("<", "<=", ">=",
// ">", else "???").
const char* relop_name(uint32_t op);

}  // namespace vexo

#endif  // VEXO_FRONTEND_EXPRBUILD_H
