// Generation of constraint and objective members.  A constraint or
// objective declaration is generated member by member in the walk of its
// indexing (gen_constr, gen_obj); each member's body is evaluated once with
// the member's subscript bound, the term evaluators (compiler/genterms.h)
// leaving its linear terms, nonlinear parts and piecewise-linear terms on
// the generator's lists and yielding its constant, which moves into the
// row's bounds (or an objective's constant).  What a member gets is kept in
// the declaration's per-member arrays (cvgen, instance/members.h).
#ifndef VEXO_INSTANCE_GENCON_H
#define VEXO_INSTANCE_GENCON_H

#include <cstdint>

namespace vexo {

struct TVA;
struct constr;
struct convar;
struct expr;
struct set_spec;
struct var;

// Generates every member of constraint c (kinds 8, 9) or objective o
// (kinds 10, 11) in the walk's context tva: a scalar has its one member
// unless its condition is false, an indexed one a member per tuple of its
// indexing, in walk order, in a fresh member set.  Errors of the members
// abandon the command (bailout; genmod_cleanup discards the partial
// members).  Return 1, or 0 (nothing generated) when a set of the
// indexing never got data.
int gen_constr(constr* c, TVA* tva);
int gen_obj(constr* o, TVA* tva);

// One member of constraint c, with the context positioned on its
// subscript: a logical constraint's instantiated expression, or its row
// (two rows for a complementarity, gen2constr each), then its initial dual
// (from `:=`, else `default`).  lookup and sufinit are not used yet.
// Errors: those of gen2constr; "unexpected ctype %d in gen1constr" (after
// the location) for a relation code the body builders never make
// (ctype_known, frontend/conbody.h), abandoning the command.
void gen1constr(constr* c, TVA* ctx, set_spec* lookup, expr* sufinit);
// The row of relation ctype with body (the root node of its kind code) in
// the next slot of c: its terms and its bounds, the body's constant moved
// to the sides.  A bound that is NaN or infinite on the wrong side (an
// equality's bounds must be finite) is reported after the location,
// "Inappropriate use of %g.", and abandons the command; so is a lone
// expression (code 8) whose constant is not finite.  A null body is an
// empty row with bounds 0, 0.
void gen2constr(constr* c, int ctype, expr* body, TVA* ctx);
// One member of objective o: its constant and terms; a constant that is
// not finite is "Inappropriate use of %g." and abandons the command.  An
// objective without a body gets neither.
void gen1obj(constr* o, TVA* ctx, set_spec* lookup, expr* sufinit);

// Start-up and `reset`: no generation counted (cvgen::gen_seq).
void gencon_reset();

// Makes room in d's per-member arrays (cvgen) for member member_count:
// when the member count has reached the capacity (1 << member_class), every
// array present moves to a block of the next class, the old entries copied
// and the rest zeroed.  Arrays made later are made in the current class.
void gm_grow(convar* d);
// A zeroed block for d's per-member array of `bytes` bytes per slot in d's
// current class (two slots per member under CV_TWOSLOTS).
void* gm_array(const convar* d, int bytes);
// Frees what the member generators made for d (a constraint or
// objective): bounds, constants, initial duals, term lists, logical
// expressions, the equality columns.  The member set, the member count and
// the first row stay.  The generator runs it before d's members are made
// again (what a generation abandoned by an error left stays until then).
void gen_release(convar* d);

// What member i (column j) of variable v adds to other declarations, with
// the context c positioned on its subscript (gen1var calls these):
// gen_defrow: a defined variable's row in its defining constraint v->defcon,
// member i: the negated definition's terms with the term (j, 1) and its
// constant; a constant that is not finite is "Inappropriate use of %g."
// and abandons the command.
void gen_defrow(var* v, TVA* c, int32_t i, int32_t j);
// gen_colterms: the terms of v's `to`, `from`, `coeff`, `cover` and `obj`
// clauses, each clause over its indexing, in front of the named target
// member's linear terms (a zero coefficient adds none).  A target member
// that does not exist is reported after the location, "<name>[<subscript>]
// does not exist", and abandons the command.  Cautions (Cautions nonzero):
// a `to` coefficient below 0 or a `from` coefficient above 0, "x[1] has
// \"to N[2] -2\""; a second `to` (or `from`) term of one member, "x[1] has
// multiple \"to\" clauses" (not when the front end cautioned about two
// unindexed clauses).  Errors of evaluation abandon the command.
void gen_colterms(var* v, TVA* c, int32_t j);
// Before v's members are generated again (its old first column and member
// count still in place): its defined variables' rows go, and the terms its
// clauses put on targets that were not generated again since go too.
void var_terms_begin(var* v);
// After an error abandoned v's generation (the columns it reached still in
// place): what its members put on other declarations goes.
void var_terms_abandon(var* v);

}  // namespace vexo

#endif  // VEXO_INSTANCE_GENCON_H
