// Distribution of factors over linear sums.  A constraint or objective body
// is needed as a sum of terms: a coefficient times a variable (linear), a
// coefficient times a piecewise-linear term, and a coefficient times a
// nonlinear part.  dist pushes a multiplying factor down through unary
// minus, +, -, products and quotients with one constant side, iterated sums
// and conditionals whose test is free of variables, and ends every branch
// in a term node pairing the accumulated factor (L) with what remains (R).
// Factors and results are the compiler's shared records, so equal factors
// are shared.
#ifndef VEXO_FRONTEND_DISTRIB_H
#define VEXO_FRONTEND_DISTRIB_H

namespace vexo {

struct eexpr;
struct expr;

// Distributes factor f over the expression at *slot; the slot receives the
// rewritten expression (logged).  Returns its record.
eexpr* dist(eexpr* f, expr** slot);
// dist with the factor one; the result counts one use more.
eexpr* distrib(expr** slot);
// The whole expression at *slot as one nonlinear term with factor one.
void ldistrib(expr** slot);
// The negated factor.
eexpr* neg(eexpr* f);

}  // namespace vexo

#endif  // VEXO_FRONTEND_DISTRIB_H
