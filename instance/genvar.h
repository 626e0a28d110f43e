// Generation of variable members.  A variable declaration is generated
// member by member in the walk of its indexing (gen_var); each member
// (gen1var) gets the next column of the problem and its bounds.
#ifndef VEXO_INSTANCE_GENVAR_H
#define VEXO_INSTANCE_GENVAR_H
#include <cstdint>

namespace vexo {
struct TVA;
struct expr;
struct set_spec;
struct var;
// Generates every member of v (kinds 2, 3, 16, 17) in the walk's context
// tva: a scalar has its one member unless its condition is false (then no
// member and first column -1); an indexed one a member per tuple of its
// indexing, in walk order, in a fresh member set.  The columns follow the
// problem's last column (n_var_gen); when v held the last columns before,
// it takes them back first.  Errors of the members abandon the command
// (bailout; genmod_cleanup gives the columns back).  Returns 1, or 0
// (nothing generated) when a set of v's indexing never got data.
int gen_var(var* v, TVA* tva);
// One member of v, with the context c positioned on its subscript: the
// next member number and column, the bounds.  A lower bound of +Infinity
// (or NaN), or an upper bound of -Infinity (or NaN), is reported after the
// location, "Inappropriate use of %g.", and abandons the command (bailout).
// A binary variable's bounds are brought into [0, 1].  sufinit: the
// suffix initialisations, evaluated for the member (do_sufinit).  lookup
// is not used yet.
void gen1var(var* v, TVA* c, set_spec* lookup, expr* sufinit);
// Member i of the random variable v takes the distribution d (random
// calls kept as calls), copied with the dummies' values of context c; an
// earlier one is replaced.
void set_distribution(var* v, int32_t i, expr* d, TVA* c);
// After an error abandoned the generation of v: its partial columns go
// back to the problem (when they are its last ones) and it has no member.
void gen_var_abandon(var* v, TVA* tva);
}  // namespace vexo
#endif  // VEXO_INSTANCE_GENVAR_H
