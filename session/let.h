// The let command and the commands update data and reset data.
//
// let assigns the value of an expression to a param, a symbolic param, a
// set, or a member of one, once or for each member of an indexing.  The
// values go into the per-member arrays of the declaration (xnode2,
// data/values.h), as data do; when anything changed the declaration is
// recorded as changed (ts_update, instance/stamps.h) and the members that
// got new values are noted (note_change), so that what depends on them is
// generated again at its next use and nothing else is.  An error in the
// middle of an indexed assignment keeps the members assigned before it
// (their changes are recorded before the error goes on); a refusal leaves
// every value as it was.
//
// reset data forgets the data of entities (they are read or computed
// again); update data lets new data replace values already present.
#ifndef VEXO_SESSION_LET_H
#define VEXO_SESSION_LET_H

#include <cstdint>

namespace vexo {

struct Outarg;

struct cmd_fields;
struct convar;
struct expr;
struct set_spec;
struct symbol;
struct suffix;
struct TVA;
struct xnode;
struct xnode2;
struct xrecomp;

// The handlers of command kinds 40 (let) and 79, 80 (reset data, update
// data: the action and the list of names).
void let_cmd(cmd_fields* c);
void ru_cmd(cmd_fields* c);
// The handler of kinds 35-38: drop, restore, fix and unfix.
void dropadd_run(cmd_fields* c);
// The handler of kind 27: objective NAME [subscript].
void objective_run(cmd_fields* c);

// drop and fix (k 0), restore and unfix (k 1) of the target (a constraint
// or objective reference, or a variable's for fix; null: every declaration
// of the kind) over the indexing or none.  Dropped constraints and
// objectives leave the problem, fixed variables are sent as constants at
// their current values.  *value (fix x := v, or null): stored as the
// current value before fixing.  Fixing a defined variable is refused
// ("Can't fix defined variable %s"), unfixing it does nothing.  A change
// marks the problem changed; a member already in the wanted state is no
// change.
void dropadd(int k, set_spec* ix, expr* target, expr** value, int fix,
             xrecomp* xr);

// objective: every objective dropped but the chosen one (the member the
// subscript names of an indexed one; without a subscript its first
// member).  A subscript that names no generated member is reported and
// nothing changes.  A change of the objective in force marks the problem
// changed.
void objective(convar* chosen, expr* sub, xrecomp* xr);

// let: the indexing or null, the target (a reference as the grammar built
// it), the slot of the value (an expression, or a set when is_set) and the
// command's recompilation state.  Refusals are reported (error kind 0) and
// the command does nothing; errors of evaluation abandon it (bailout).
void let(set_spec* ix, expr* target, void* value, int is_set, xrecomp* xr);

// read (data/readcmd.h): the targets of items (a chain of OPARG entries
// over param references, numeric or symbolic; with all 0 only the first
// entry) take the next values of the read input in turn (read_next), once
// or for each member of ix, the first target's first.  A target of another kind is "invalid read
// item(s)"; errors abandon the command, what was assigned before stays.
void let_read(set_spec* ix, expr* items, int all, xrecomp* xr);
// The member number of the subscript that the compiled look-up sub yields
// for d (an indexed param or set), in context tva.  A subscript that is no
// member yet must lie in d's indexing (else the bad-subscript error, which
// abandons the command); it is then added (addnow), unless lookup_only,
// when -1 is returned.  *tuple receives the evaluated subscript.
int32_t letsub(expr* sub, xnode2* d, TVA* tva, int lookup_only,
               symbol** tuple);
// Adds the member tuple (not yet a member; null for a scalar d) with a
// cleared status byte and a zero value; returns its number.
int32_t addnow(xnode2* d, symbol* const* tuple);

// Stores the values a table read delivered for the param, symbolic param,
// variable (its current value) or constraint (its dual) d (chain in the
// order given; each value's subscript lies in d's indexing; members of a
// variable or constraint that are not generated are passed over).
// Strings are taken from the chain (their references pass to d).
// Built-in params are left alone; another kind of target is an internal
// error; an ungenerated variable or constraint ends the command.  check_outargs runs first, for every target of the read,
// so that nothing is stored when one of them fails it.
void assign_outargs(xnode* d, Outarg* chain, TVA* tva);
// A string for a numeric param, a variable or a constraint: "Cannot assign
// %Q to %s%s.\n" after the location (in context tva), and the command is
// abandoned (bailout).
void check_outargs(xnode* d, Outarg* chain, TVA* tva);
// Records that d, a param that had no member, has taken all its members
// at once (a table read): d is recorded as changed as by let, and its next
// generation checks every member (instead of each noted one by one).
void filled_in_bulk(xnode2* d);
// Stores x as member `member`'s value of suffix s on d (a generated
// variable, constraint or objective, or a problem by its data index), as
// let does; true when the value changed.
bool suffix_assign(xnode2* d, int32_t member, suffix* s, double x);

// "%s cannot be subscripted" (k = 0) or "%s must be subscripted" (k = 1).
void mustsub(symbol* name, int k);

// Runs and empties the clean-up lists of compilation level 0.
void fel_clear();

// Marks the current problem changed when something of it was generated.
// The collected problem keeps no timestamp table yet, so there is nothing
// else to free.  do_reset_ts is the same as a clean-up routine.
void reset_ts();
void do_reset_ts(void* unused);

// reset data (action 0) and update data (action 1) of one entity, named
// by name, or given as d (then name may be null).  Messages for names
// that are not declared, built-in params and entities without data are
// reported and the list goes on.
void ru_item(int action, symbol* name, xnode* d);
// The same for every entity.
void update(int action);

}  // namespace vexo

#endif  // VEXO_SESSION_LET_H
