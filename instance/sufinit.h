// Values of generated members that do not come from the declaration's
// bounds and terms: the suffix initialisations of a declaration
// (`suffix s e` clauses) evaluated member by member, and the values that
// data gave by subscript before the members were generated.
#ifndef VEXO_INSTANCE_SUFINIT_H
#define VEXO_INSTANCE_SUFINIT_H

#include <cstdint>

namespace vexo {

struct TVA;
struct convar;
struct expr;
struct set_spec;
struct xnode;

// Evaluates the suffix initialisations (`suffix s e` clauses, OP248 nodes:
// L the suffix, R the value) for member `member` of d in context ctx: a
// symbolic suffix's value is the number its table gives the name
// (suf2num, whose errors end the command).  A value of 0 stores nothing.
// The values are stored by sufinit_flush once d's members are complete
// (values kept from before then stand where they belong).  ss: unused
// (problems number their suffix members by a set of their own).
void do_sufinit(xnode* d, int32_t member, expr* clauses, set_spec** ss,
                TVA* ctx);
// Stores the values do_sufinit evaluated for d's members (suffix value
// records made as needed, other members keeping the suffix's default) and
// forgets any evaluated for another declaration whose generation was
// abandoned.
void sufinit_flush(convar* d, TVA* tva);
// Start-up and `reset`: nothing evaluated.
void sufinit_reset();

// Moves what data gave to members of ent (a numeric variable, a
// constraint or an objective) by subscript (its data index, data/values.h)
// into its generated members with the same subscripts: a value becomes
// the member's current value (status GS_HASVAL), a suffix value goes into
// the member's suffix values (the arrays made as needed); the values of
// subscripts that have no member are dropped.  The data index is emptied.
// Nothing for other kinds, for a declaration not generated yet or one
// without such data.
void copy_sufs(xnode* ent, TVA* tva);

}  // namespace vexo

#endif  // VEXO_INSTANCE_SUFINIT_H
