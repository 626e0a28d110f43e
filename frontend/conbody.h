// Constraint bodies, complementarity constraints and piecewise-linear terms.
// A body is normalised into a root node whose op word is a small kind code
// (not an opcode): 0 equality, 1 at most, 2 at least (L the difference left
// minus right, an OPMINUS node), 3 and 4 double inequalities (L the middle,
// R a pair node {left bound, right bound}), 8 a lone expression (one side of
// a complementarity).  A comparison that is not numeric becomes a logical
// constraint (opcode 286 over the comparison).  A complementarity root holds
// 8..11 with L and R its two bodies.  The constraint declaration keeps the
// tree; the compiler and the instance generator read the codes.
//
// Builders report with error kind 0 (the strict-inequality caution with
// kind 2) and return null (a dropped constraint) or OPNUM 0 (a rejected
// piecewise-linear term).
#ifndef VEXO_FRONTEND_CONBODY_H
#define VEXO_FRONTEND_CONBODY_H

#include <cstdint>

namespace vexo {

struct expr;
struct list;
struct set_spec;

// Kind codes of a body's root.
enum : uint32_t {
  CB_EQ = 0,      // difference = 0
  CB_LE = 1,      // difference <= 0
  CB_GE = 2,      // difference >= 0
  CB_RANGE = 3,   // lo <= body <= hi
  CB_RANGER = 4,  // lo >= body >= hi
  CB_EXPR = 8,    // a lone expression, made numeric
  // Complementarity roots.
  CC_PLAIN = 8,  // neither side an inequality or equality
  CC_INEQ = 9,   // an at-most side against an at-least side
  CC_LEFT = 10,  // left side an equality or double inequality
  CC_RIGHT = 11  // right side an equality or double inequality
};
// Bit of a constraint's kind code (the low four bits of its flags) that
// marks a complementarity: the root's two sides carry their own codes.
constexpr uint32_t CB_COMPL = 8;

// Whether code is a relation the body builders make (0 to 4, or 8 a lone
// expression).  Codes 5 to 7 and above 8 are never made: the compiler and
// the instance generator refuse them alike.
inline bool ctype_known(int code) {
  return (code >= 0 && code <= int(CB_RANGER)) || code == int(CB_EXPR);
}

// Bit of stbody's flags: reversed orientation (right minus left).
constexpr int STB_REVERSE = 32;

// Option strict_ineq_warn: how a strict inequality (<, >, numeric !=) in a
// constraint is taken: 2 refused, 1 a logical constraint after a caution,
// other values a logical constraint silently.  The option's storage; the
// session's option table updates it.
extern int strict_ineq_warn;

// One comparison left op right, or a double inequality when op2 is nonzero
// (left op right op2 right2).  op and op2 are comparison op words (f_LE 23
// and f_GE 28 with flags 2, f_EQ 24, f_NE 30, f_LT 22, f_GT 29).  Takes over
// the operands; null after an error (the operands deleted).
expr* stbody(expr* left, uint32_t op, expr* right, uint32_t op2, expr* right2,
             int flags);
// The same from a comparison chain of relopchain (cells alternating operand
// and op word, in reverse); the cells are freed.  One or two comparisons.
expr* stbody1(list* chain);
// A logical constraint: opcode 286 with L = e.
expr* stbody2(expr* e);
// left complements right, each a comparison chain (one cell: a lone
// expression).  Null after an error.
expr* compldcl(list* left, list* right);

// The piecewise-linear term <<first; second>>(v) or (v, z): an OPPL node, or
// OPNUM 0 (or v alone) after an error.  Takes over all operands; z may be
// null.
expr* makepl(expr* first, expr* second, expr* v, expr* z);
// Makes every value of a slope or breakpoint list (a chain of entries)
// numeric; 1 after reporting a variable in it, else 0.
int makepl_numeric(expr* entries);
// One list entry (opcode 246, L the optional indexing, R the value) linked
// in front of next.  Closes the indexing's dummy scope.
expr* pllist(expr* next, set_spec* indexing, expr* value);

}  // namespace vexo

#endif  // VEXO_FRONTEND_CONBODY_H
